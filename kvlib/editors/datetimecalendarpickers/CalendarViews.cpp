#include "kvlib/editors/datetimecalendarpickers/CalendarViews.h"

#include <algorithm>
#include <cmath>

#include "framework/DateUtils.h"
#include "framework/SysUtils.h"
#include "framework/controls/Mouse.h"
#include "kvlib/foundation/KvLibCore.h"

namespace calendarviewskv {

// 0001-01-01 and 9999-12-31 as days of a time stamp.
constexpr Integer FirstTimeStampDay = 1;
constexpr Integer LastTimeStampDay = DateDelta + 2958465;
// 0001-01-01 as a date-time.
constexpr double FirstDateTime = -693593.0;

Integer YearOfView(TDateTime D) {
  Word Y, M, Day;
  DecodeDate(D, Y, M, Day);
  return Y;
}

bool DateRepresentable(double D) { return D >= FirstDateTime && D <= MaxDateTime; }

// The whole day a date-time lies on, also before 1899-12-30.
double DayOf(TDateTime D) { return std::trunc(D.Val); }

TDateTime WithTimeOf(double Day, TDateTime TimeSource) {
  TDateTime R = Day;
  ReplaceTime(R, TimeSource);
  return R;
}

}  // namespace calendarviewskv

namespace cvk = calendarviewskv;

// ---- TCustomCalendarViewKv ------------------------------------------------------------------------

TCustomCalendarViewKv::TCustomCalendarViewKv(TComponent* AOwner)
    : TCustomGridKv(AOwner),
      FPaintBuffer(std::make_unique<TCustomCalendarViewPaintBufferKv>()),
      FPicker(dynamic_cast<ICalendarViewPickerKv*>(AOwner)) {
  SetOptions(TGridOptionsKv{goDrawFocusSelectedKv});
  SetParentFont(true);
  SetBorderStyle(bsNone);
  GetHorzScrollBar()->SetVisibleMode(sbNeverShowKv);
  GetVertScrollBar()->SetVisibleMode(sbNeverShowKv);
}

TCustomCalendarViewKv::~TCustomCalendarViewKv() = default;

bool TCustomCalendarViewKv::SelectNextView(bool Forward, bool Animated) {
  if (!FPicker) return false;
  std::vector<TCustomCalendarViewKv*> List = FPicker->GetCalendarViewList();
  auto It = std::find(List.begin(), List.end(), this);
  if (It == List.end()) return false;
  size_t Index = size_t(It - List.begin());
  if (Forward ? Index + 1 >= List.size() : Index == 0) return false;
  FPicker->ShowCalendarView(List[Forward ? Index + 1 : Index - 1], Forward, Animated);
  return true;
}

std::vector<Integer> TCustomCalendarViewKv::ShareLength(Integer Total, Integer Count) {
  std::vector<Integer> Lengths;
  if (Count <= 0) return Lengths;
  Total = std::max(Total, 0);
  for (Integer I = 0; I < Count; ++I) Lengths.push_back(Total / Count + (I < Total % Count ? 1 : 0));
  return Lengths;
}

void TCustomCalendarViewKv::LayoutCells() {
  if (!HandleAllocated()) return;
  std::vector<Integer> Cols = ShareLength(GetClientWidth(), GetColCount());
  for (size_t I = 0; I < Cols.size(); ++I) SetColWidths(Integer(I), Cols[I]);
  std::vector<Integer> Rows = ShareLength(GetClientHeight(), GetRowCount());
  for (size_t I = 0; I < Rows.size(); ++I) SetRowHeights(Integer(I), Rows[I]);
}

void TCustomCalendarViewKv::CalcViewSize(Integer&, Integer&) {}

void TCustomCalendarViewKv::DateTimeChanged() { Invalidate(); }

void TCustomCalendarViewKv::UpdatePaintBuffer() {
  if (FPicker) FPicker->FillViewPaintBuffer(FPaintBuffer.get());
}

void TCustomCalendarViewKv::SetCellCanvasColors(bool HotTrack, bool Selected) {
  TCanvas* Canvas = GetCanvas();
  const TCustomCalendarViewPaintBufferKv& B = *FPaintBuffer;
  if (Selected) {
    Canvas->GetBrush()->SetColor(B.SelectedCellBrushColor);
    Canvas->GetFont()->SetColor(B.SelectedCellFontColor);
  } else if (HotTrack) {
    Canvas->GetBrush()->SetColor(B.HotTrackCellBrushColor);
    Canvas->GetFont()->SetColor(B.HotTrackCellFontColor);
  } else {
    Canvas->GetBrush()->SetColor(B.NormalCellBrushColor);
    Canvas->GetFont()->SetColor(B.NormalCellFontColor);
  }
}

void TCustomCalendarViewKv::StepHorz(bool) {}
void TCustomCalendarViewKv::StepVert(bool) {}

void TCustomCalendarViewKv::DateTimeSelected() {
  if (FPicker) FPicker->DoDateTimeSelected();
}

bool TCustomCalendarViewKv::DateInViewRange(TDateTime) { return true; }

String TCustomCalendarViewKv::GetDateInfoText() { return L"TCustomCalendarViewKv.GetDateInfoText"; }

TDateTime TCustomCalendarViewKv::GetNextPeriodDate(bool, TDateTime ADateTime) { return ADateTime; }

bool TCustomCalendarViewKv::ShowTodayInfo() { return true; }

bool TCustomCalendarViewKv::TryDateFromCell(const TGridCoord&, TDateTime& ADateTime) {
  ADateTime = FDate;
  return false;
}

void TCustomCalendarViewKv::KeyDown(Word& Key, TShiftState Shift) {
  switch (Key) {
    case VK_RETURN:
      if (Shift.Contains(ssCtrl)) {
        if (SelectNextView(false, true)) Key = 0;
      } else if (!SelectNextView(true, true)) {
        DateTimeSelected();
        Key = 0;
      }
      break;
    case VK_PRIOR:
      if (FPicker) FPicker->PriorPeriod(true);
      Key = 0;
      break;
    case VK_NEXT:
      if (FPicker) FPicker->NextPeriod(true);
      Key = 0;
      break;
    case VK_LEFT:
    case VK_RIGHT:
      StepHorz(Key == VK_RIGHT);
      Key = 0;
      break;
    case VK_UP:
    case VK_DOWN:
      StepVert(Key == VK_DOWN);
      Key = 0;
      break;
    default:
      break;
  }
}

void TCustomCalendarViewKv::ResetMousePos() {
  if (Mouse && HandleAllocated()) FMousePos = ScreenToClient(Mouse->GetCursorPos());
}

void TCustomCalendarViewKv::SetDateTime(TDateTime Value) {
  if (Value.Val == FDate.Val) return;
  FDate = Value;
  DateTimeChanged();
}

void TCustomCalendarViewKv::Paint() {
  UpdatePaintBuffer();
  TCustomGridKv::Paint();
}

void TCustomCalendarViewKv::CreateWnd() {
  TCustomGridKv::CreateWnd();
  LayoutCells();
}

void TCustomCalendarViewKv::Resize() {
  TCustomGridKv::Resize();
  LayoutCells();
}

void TCustomCalendarViewKv::DoCellMouseDown(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                            const TRect& ACellRect, const TPoint& GridMousePos,
                                            const TPoint& CellMousePos) {
  TCustomGridKv::DoCellMouseDown(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
  TDateTime D;
  if (Button == mbLeft && FPicker && TryDateFromCell(Cell, D)) FPicker->SetDateTime(D);
}

void TCustomCalendarViewKv::DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                             const TRect& ACellRect, const TPoint& GridMousePos,
                                             const TPoint& CellMousePos) {
  TCustomGridKv::DoCellMouseClick(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
  if (!FSelectNextViewOnClick) return;
  if (Button == mbLeft && Cell.X >= GetFixedColCount() && Cell.Y >= GetFixedRowCount()) {
    if (!SelectNextView(true, true)) DateTimeSelected();
  } else if (Button == mbRight) {
    SelectNextView(false, true);
  }
}

bool TCustomCalendarViewKv::GetCellData(Integer, Integer, String&, bool&, bool&) { return false; }

void TCustomCalendarViewKv::DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  String Text;
  bool Selected = false, Outside = false;
  if (!GetCellData(ACol, ARow, Text, Selected, Outside)) {
    TCanvas* Canvas = GetCanvas();
    Canvas->GetBrush()->SetColor(FPaintBuffer->NormalCellBrushColor);
    Canvas->FillRect(ARect);
    return;
  }
  PaintCellText(ARect, State, Text, Selected, {}, Outside ? FPaintBuffer->OutsidePeriodCellFontColor : clNone);
}

void TCustomCalendarViewKv::PaintCellText(const TRect& ARect, TGridDrawState State, const String& Text, bool Selected,
                                          TCalendarViewDrawStateKv Extra, TColor FontColor) {
  TCanvas* Canvas = GetCanvas();
  Canvas->GetFont()->Assign(GetFont());
  // With keyboard input no cell is hot, so the mouse resting somewhere does not compete with the
  // keyboard's selection.
  bool HotTrack = State.Contains(gdHotTrack) && IsMouseInput();
  SetCellCanvasColors(HotTrack, Selected);
  TCalendarViewDrawStateKv DrawState = Extra;
  if (HotTrack) DrawState << cvdsHotTrackKv;
  if (Selected) DrawState << cvdsSelectedKv;
  if (FPicker)
    FPicker->DrawCalendarViewCellBackgraund(this, Canvas, ARect, DrawState);
  else
    Canvas->FillRect(ARect);
  if (FontColor != clNone) Canvas->GetFont()->SetColor(FontColor);
  Canvas->GetBrush()->SetStyle(bsClear);
  bool OneLine = Text.find(L'\n') == String::npos;
  WriteTextKv(Canvas, ARect, false, 0, 0, Text, 2, 1, false, false, 0, 0, 0, OneLine);
  Canvas->GetBrush()->SetStyle(bsSolid);
}

bool TCustomCalendarViewKv::IsMouseInput() { return FPicker && FPicker->GetInputMethod() == iimMouseKv; }

void TCustomCalendarViewKv::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (FPicker) FPicker->SetInputMethod(iimMouseKv);
  TCustomGridKv::MouseDown(Button, Shift, X, Y);
}

void TCustomCalendarViewKv::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TPoint P(X, Y);
  if (P != FMousePos) {
    FMousePos = P;
    if (FPicker) FPicker->SetInputMethod(iimMouseKv);
  }
  TCustomGridKv::MouseMove(Shift, X, Y);
}

void TCustomCalendarViewKv::CMSysColorChange(TMessage& Message) {
  TCustomGridKv::Dispatch(&Message);
  Invalidate();
}

void TCustomCalendarViewKv::CMStyleChanged(TMessage& Message) {
  TCustomGridKv::CMStyleChanged(Message);
  Invalidate();
}

TDateTime TCustomCalendarViewKv::AddMonthsKeepingDate(TDateTime ADateTime, Integer Months) {
  Word Y, M, D;
  DecodeDate(ADateTime, Y, M, D);
  Int64 Total = Int64(Y) * 12 + (M - 1) + Months;
  Int64 NewYear = Total >= 0 ? Total / 12 : (Total - 11) / 12;
  Integer NewMonth = Integer(Total - NewYear * 12) + 1;
  if (NewYear < 1 || NewYear > 9999) return ADateTime;
  Word Day = std::min<Word>(D, MonthDays[IsLeapYear(Word(NewYear)) ? 1 : 0][NewMonth]);
  TDateTime R = EncodeDate(Word(NewYear), Word(NewMonth), Day);
  ReplaceTime(R, ADateTime);
  return R;
}

bool TCustomCalendarViewKv::TryIncDateTime(TDateTime ADateTime, Int64 MSecs, TDateTime& Result) {
  if (!cvk::DateRepresentable(ADateTime)) return false;
  Int64 Moved = TimeStampToMSecs(DateTimeToTimeStamp(ADateTime)) + MSecs;
  Int64 Day = Moved / MSecsPerDay;
  if (Moved < 0 || Day < cvk::FirstTimeStampDay || Day > cvk::LastTimeStampDay) return false;
  Result = TimeStampToDateTime(MSecsToTimeStamp(Moved));
  return true;
}

void TCustomCalendarViewKv::StepPickerDate(TDateTime NewDate) {
  if (!FPicker || !cvk::DateRepresentable(NewDate) || NewDate.Val == FPicker->GetDateTime().Val) return;
  FPicker->SetDateTimeAnimated(NewDate);
}

TDateTime TCustomCalendarViewKv::PickerDate() { return FPicker ? FPicker->GetDateTime() : FDate; }

void TCustomCalendarViewKv::StepPickerMonths(Integer Months) {
  StepPickerDate(AddMonthsKeepingDate(PickerDate(), Months));
}

void TCustomCalendarViewKv::StepPickerMSecs(Int64 MSecs) {
  TDateTime R;
  if (TryIncDateTime(PickerDate(), MSecs, R)) StepPickerDate(R);
}

// ---- Decades -------------------------------------------------------------------------------------

TDecadesCalendarViewKv::TDecadesCalendarViewKv(TComponent* AOwner) : TCustomCalendarViewKv(AOwner) {
  SetFixedColCount(0);
  SetFixedRowCount(0);
  SetColCount(4);
  SetRowCount(3);
  SetDateTime(Now());
}

bool TDecadesCalendarViewKv::GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected,
                                         bool& OutsidePeriod) {
  Integer Y = cvk::YearOfView(FDate);
  Integer S = Y / 100 * 100 + 40 * ARow + 10 * ACol - 10;
  Text = IntToStr(S) + L"-\r\n" + IntToStr(S + 9) + L"  ";
  Selected = S <= Y && Y <= S + 9;
  OutsidePeriod = S / 100 != Y / 100 || S < 0;
  return true;
}

void TDecadesCalendarViewKv::StepHorz(bool Forward) { StepPickerMonths(Forward ? 120 : -120); }
void TDecadesCalendarViewKv::StepVert(bool Forward) { StepPickerMonths(Forward ? 480 : -480); }

bool TDecadesCalendarViewKv::DateInViewRange(TDateTime ADateTime) {
  return cvk::YearOfView(ADateTime) / 100 == cvk::YearOfView(FDate) / 100;
}

String TDecadesCalendarViewKv::GetDateInfoText() {
  Integer Century = cvk::YearOfView(FDate) / 100 * 100;
  return IntToStr(Century) + L"-" + IntToStr(Century + 99);
}

TDateTime TDecadesCalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  return AddMonthsKeepingDate(ADateTime, MoveForward ? 1200 : -1200);
}

bool TDecadesCalendarViewKv::TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) {
  ADateTime = FDate;
  if (Cell.X < 0 || Cell.X >= GetColCount() || Cell.Y < 0 || Cell.Y >= GetRowCount()) return false;
  Word Y, M, D;
  DecodeDate(FDate, Y, M, D);
  Integer Year = Y / 100 * 100 + 40 * Cell.Y + 10 * Cell.X + Y % 10 - 10;
  TDateTime R;
  if (Year < 1 || Year > 9999 || !TryEncodeDate(Word(Year), M, D, R)) return false;
  ReplaceTime(R, FDate);
  ADateTime = R;
  return true;
}

// ---- Years ---------------------------------------------------------------------------------------

TYearsCalendarViewKv::TYearsCalendarViewKv(TComponent* AOwner) : TCustomCalendarViewKv(AOwner) {
  SetFixedColCount(0);
  SetFixedRowCount(0);
  SetColCount(4);
  SetRowCount(3);
  SetDateTime(Now());
}

bool TYearsCalendarViewKv::GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected,
                                       bool& OutsidePeriod) {
  Integer Y = cvk::YearOfView(FDate);
  Integer Year = Y / 10 * 10 + 4 * ARow + ACol - 1;
  Text = IntToStr(Year);
  Selected = Year == Y;
  OutsidePeriod = Year / 10 != Y / 10 || Year < 0;
  return true;
}

void TYearsCalendarViewKv::StepHorz(bool Forward) { StepPickerMonths(Forward ? 12 : -12); }
void TYearsCalendarViewKv::StepVert(bool Forward) { StepPickerMonths(Forward ? 48 : -48); }

bool TYearsCalendarViewKv::DateInViewRange(TDateTime ADateTime) {
  return cvk::YearOfView(ADateTime) / 10 == cvk::YearOfView(FDate) / 10;
}

String TYearsCalendarViewKv::GetDateInfoText() {
  Integer Decade = cvk::YearOfView(FDate) / 10 * 10;
  return IntToStr(Decade) + L"-" + IntToStr(Decade + 9);
}

TDateTime TYearsCalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  return AddMonthsKeepingDate(ADateTime, MoveForward ? 120 : -120);
}

bool TYearsCalendarViewKv::TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) {
  ADateTime = FDate;
  if (Cell.X < 0 || Cell.X >= GetColCount() || Cell.Y < 0 || Cell.Y >= GetRowCount()) return false;
  Word Y, M, D;
  DecodeDate(FDate, Y, M, D);
  Integer Year = Y / 10 * 10 + 4 * Cell.Y + Cell.X - 1;
  TDateTime R;
  if (Year < 1 || Year > 9999 || !TryEncodeDate(Word(Year), M, D, R)) return false;
  ReplaceTime(R, FDate);
  ADateTime = R;
  return true;
}

// ---- Months --------------------------------------------------------------------------------------

TMonthsCalendarViewKv::TMonthsCalendarViewKv(TComponent* AOwner) : TCustomCalendarViewKv(AOwner) {
  SetFixedColCount(0);
  SetFixedRowCount(0);
  SetColCount(4);
  SetRowCount(3);
  SetDateTime(Now());
}

bool TMonthsCalendarViewKv::GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected,
                                        bool& OutsidePeriod) {
  Word Y, M, D;
  DecodeDate(FDate, Y, M, D);
  Integer Month = 4 * ARow + ACol + 1;
  if (Month < 1 || Month > 12) return false;
  Text = FormatSettings.ShortMonthNames[Month - 1];
  Selected = Month == M;
  OutsidePeriod = false;
  return true;
}

void TMonthsCalendarViewKv::StepHorz(bool Forward) { StepPickerMonths(Forward ? 1 : -1); }
void TMonthsCalendarViewKv::StepVert(bool Forward) { StepPickerMonths(Forward ? 4 : -4); }

bool TMonthsCalendarViewKv::DateInViewRange(TDateTime ADateTime) {
  return cvk::YearOfView(ADateTime) == cvk::YearOfView(FDate);
}

String TMonthsCalendarViewKv::GetDateInfoText() { return IntToStr(cvk::YearOfView(FDate)); }

TDateTime TMonthsCalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  return AddMonthsKeepingDate(ADateTime, MoveForward ? 12 : -12);
}

bool TMonthsCalendarViewKv::TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) {
  ADateTime = FDate;
  if (Cell.X < 0 || Cell.X >= GetColCount() || Cell.Y < 0 || Cell.Y >= GetRowCount()) return false;
  Word Y, M, D;
  DecodeDate(FDate, Y, M, D);
  Integer Month = 4 * Cell.Y + Cell.X + 1;
  ADateTime = AddMonthsKeepingDate(FDate, Month - M);
  return true;
}

// ---- Days ----------------------------------------------------------------------------------------

TDaysCalendarViewKv::TDaysCalendarViewKv(TComponent* AOwner) : TCustomCalendarViewKv(AOwner) {
  SetFixedColCount(1);
  SetFixedRowCount(1);
  SetColCount(8);
  SetRowCount(7);
  for (Integer I = 0; I < DayCellCount; ++I) FDatesInfoList.emplace_back(CreateDayInfoItem());
  FFirstWeekDayNum = std::clamp(GetLocaleFirstDayOfWeek(), 0, 6);
  SetDateTime(Now());
}

TDaysCalendarViewKv::~TDaysCalendarViewKv() = default;

TDaysCalendarViewDayInfoItem* TDaysCalendarViewKv::CreateDayInfoItem() {
  TDaysCalendarViewDayInfoItem* Item = GetCalendar() ? GetCalendar()->CreateDayInfoItem() : nullptr;
  return Item ? Item : new TDaysCalendarViewDayInfoItem();
}

TDateTime TDaysCalendarViewKv::CalcStartDate(TDateTime ADate, Integer FirstWeekDayNum) {
  Word Y, M, D;
  DecodeDate(ADate, Y, M, D);
  TDateTime First = EncodeDate(Y, M, 1);
  double Monday = First.Val - (DayOfTheWeek(First) - 1);
  if (FirstWeekDayNum > 0) Monday += FirstWeekDayNum - 7;
  return Monday;
}

void TDaysCalendarViewKv::SetFirstWeekDayNum(Integer Value) {
  Value = std::clamp(Value, 0, 6);
  if (Value != FFirstWeekDayNum) {
    FFirstWeekDayNum = Value;
    FStartDate = CalcStartDate(FDate, FFirstWeekDayNum);
  }
  Invalidate();
  DateTimeChanged();
}

void TDaysCalendarViewKv::DateTimeChanged() {
  TCustomCalendarViewKv::DateTimeChanged();
  FStartDate = CalcStartDate(FDate, FFirstWeekDayNum);
  FillDayInfos();
}

void TDaysCalendarViewKv::FillDayInfos() {
  if (!GetCalendar()) return;
  for (Integer I = 0; I < DayCellCount; ++I)
    GetCalendar()->FillDayInfo(FDatesInfoList[size_t(I)].get(), FStartDate.Val + I);
}

void TDaysCalendarViewKv::LayoutCells() {
  if (!HandleAllocated()) return;
  TCanvas* Canvas = GetCanvas();
  Canvas->GetFont()->Assign(GetFont());
  Integer WeekNoWidth = std::min(Canvas->TextWidth(L"000"), GetClientWidth());
  SetColWidths(0, WeekNoWidth);
  std::vector<Integer> Days = ShareLength(GetClientWidth() - WeekNoWidth, 7);
  for (Integer I = 0; I < 7; ++I) SetColWidths(I + 1, Days[size_t(I)]);
  std::vector<Integer> Rows = ShareLength(GetClientHeight(), GetRowCount());
  for (size_t I = 0; I < Rows.size(); ++I) SetRowHeights(Integer(I), Rows[I]);
}

void TDaysCalendarViewKv::CalcViewSize(Integer& Width, Integer& Height) {
  if (!HandleAllocated()) return;
  TCanvas* Canvas = GetCanvas();
  Canvas->GetFont()->Assign(GetFont());
  Height = Canvas->TextHeight(L"Wg") * GetRowCount();
  Integer Cell = Canvas->TextWidth(L"0000");
  for (const String& Name : FormatSettings.ShortDayNames) Cell = std::max(Cell, Canvas->TextWidth(Name));
  Cell += 2 * Canvas->TextWidth(L" ");
  Width = Cell * GetColCount();
}

void TDaysCalendarViewKv::StepHorz(bool Forward) { StepPickerMSecs(Int64(Forward ? 1 : -1) * MSecsPerDay); }
void TDaysCalendarViewKv::StepVert(bool Forward) { StepPickerMSecs(Int64(Forward ? 7 : -7) * MSecsPerDay); }

bool TDaysCalendarViewKv::DateInViewRange(TDateTime ADateTime) {
  Word Y1, M1, D1, Y2, M2, D2;
  DecodeDate(ADateTime, Y1, M1, D1);
  DecodeDate(FDate, Y2, M2, D2);
  return Y1 == Y2 && M1 == M2;
}

String TDaysCalendarViewKv::GetDateInfoText() { return FormatDateTime(L"MMMM YYYY", FDate); }

TDateTime TDaysCalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  return AddMonthsKeepingDate(ADateTime, MoveForward ? 1 : -1);
}

bool TDaysCalendarViewKv::TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) {
  ADateTime = FDate;
  if (Cell.X < 1 || Cell.Y < 1 || Cell.X >= GetColCount() || Cell.Y >= GetRowCount()) return false;
  TDateTime R = cvk::WithTimeOf(FStartDate.Val + (7 * Cell.Y + Cell.X - 8), FDate);
  if (R.Val < MinDateTime || R.Val > MaxDateTime) return false;
  ADateTime = R;
  return true;
}

void TDaysCalendarViewKv::DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  if (ACol == 0 && ARow == 0) {
    GetCanvas()->GetBrush()->SetColor(FPaintBuffer->NormalCellBrushColor);
    GetCanvas()->FillRect(ARect);
  } else if (ARow == 0) {
    DrawDayNameCell(ACol, ARow, State, ARect);
  } else if (ACol == 0) {
    DrawWeekNoCell(ACol, ARow, State, ARect);
  } else {
    DrawDayCell(ACol, ARow, State, ARect);
  }
}

void TDaysCalendarViewKv::DrawDayCell(Integer ACol, Integer ARow, TGridDrawState State, const TRect& ARect) {
  Integer Index = 7 * ARow + ACol - 8;
  double Day = FStartDate.Val + Index;
  if (!cvk::DateRepresentable(Day)) {
    GetCanvas()->GetBrush()->SetColor(FPaintBuffer->NormalCellBrushColor);
    GetCanvas()->FillRect(ARect);
    return;
  }
  Word Y, M, D, FY, FM, FD;
  DecodeDate(Day, Y, M, D);
  DecodeDate(FDate, FY, FM, FD);
  bool Selected = Day == cvk::DayOf(FDate);
  bool InMonth = Y == FY && M == FM;
  TCalendarViewDrawStateKv Extra;
  if (Day == cvk::DayOf(Now())) Extra << cvdsNowKv;
  const TCustomCalendarViewPaintBufferKv& B = *FPaintBuffer;
  TColor FontColor = clNone;
  if (KvLibManager()->GetDateTimeCalendarPickerHighlightHolidays() && FDatesInfoList[size_t(Index)]->GetIsHoliday())
    FontColor = Selected ? B.HolidaySelectedFontColor : InMonth ? B.HolidayFontColor : B.HolidayOutsidePeriodFontColor;
  else if (!InMonth)
    FontColor = B.OutsidePeriodCellFontColor;
  PaintCellText(ARect, State, IntToStr(Integer(D)), Selected, Extra, FontColor);
}

void TDaysCalendarViewKv::DrawDayNameCell(Integer ACol, Integer, TGridDrawState, const TRect& ARect) {
  TCanvas* Canvas = GetCanvas();
  const TCustomCalendarViewPaintBufferKv& B = *FPaintBuffer;
  Canvas->GetFont()->Assign(GetFont());
  SetCellCanvasColors(false, false);
  Canvas->FillRect(ARect);
  Integer Inset = Integer(std::lround(ARect.Width() * 0.15));
  Integer Left = ARect.Left + (ACol == 1 ? Inset : 0);
  Integer Right = ARect.Right - (ACol == 7 ? Inset : 0);
  Canvas->GetPen()->SetColor(B.InsideHorzFrameColor);
  Canvas->MoveTo(Left, ARect.Bottom - 1);
  Canvas->LineTo(Right, ARect.Bottom - 1);
  Integer WeekDay = (ACol - 1 + FFirstWeekDayNum) % 7;  // 0 Monday .. 6 Sunday
  if (KvLibManager()->GetDateTimeCalendarPickerHighlightHolidays() &&
      !KvLibManager()->GetWeekWorkingDays().Contains(TWeekDayKv(WeekDay)))
    Canvas->GetFont()->SetColor(B.HolidayFontColor);
  Canvas->GetBrush()->SetStyle(bsClear);
  WriteTextKv(Canvas, ARect, false, 0, 0, DayNameText(ACol), 2, 1, false, false, 0, 0, 0, true);
  Canvas->GetBrush()->SetStyle(bsSolid);
}

void TDaysCalendarViewKv::DrawWeekNoCell(Integer, Integer ARow, TGridDrawState, const TRect& ARect) {
  TCanvas* Canvas = GetCanvas();
  const TCustomCalendarViewPaintBufferKv& B = *FPaintBuffer;
  Canvas->GetBrush()->SetColor(B.NormalCellBrushColor);
  Canvas->FillRect(ARect);
  Integer Inset = Integer(std::lround(ARect.Height() * 0.25));
  Canvas->GetPen()->SetColor(B.InsideVertFrameColor);
  Canvas->MoveTo(ARect.Right - 1, ARect.Top + (ARow == 1 ? Inset : 0));
  Canvas->LineTo(ARect.Right - 1, ARect.Bottom - (ARow == 6 ? Inset : 0));
  if (GetCalendar() && GetCalendar()->GetCalendarWeekNoFont())
    Canvas->GetFont()->Assign(GetCalendar()->GetCalendarWeekNoFont());
  else
    Canvas->GetFont()->Assign(GetFont());
  Canvas->GetFont()->SetColor(B.NormalCellFontColor);
  Canvas->GetBrush()->SetStyle(bsClear);
  WriteTextKv(Canvas, ARect, false, 0, 0, WeekNoText(ARow), 2, 1, false, false, 0, 0, 0, true);
  Canvas->GetBrush()->SetStyle(bsSolid);
}

String TDaysCalendarViewKv::WeekNoText(Integer ARow) {
  double First = FStartDate.Val + 7 * (ARow - 1);
  if (First > MaxDateTime || First < cvk::FirstDateTime) return String();
  return IntToStr(Integer(WeekOfTheYear(First)));
}

String TDaysCalendarViewKv::DayNameText(Integer ACol) {
  Integer DayNo = ACol + FFirstWeekDayNum + 1;
  if (DayNo > 7) DayNo -= 7;
  return FormatSettings.ShortDayNames[DayNo - 1];
}

void TDaysCalendarViewKv::WMWinIniChange(TMessage& Message) {
  TCustomCalendarViewKv::Dispatch(&Message);
  UpdateFirstWeekDay();
}

void TDaysCalendarViewKv::CMStyleChanged(TMessage& Message) {
  TCustomCalendarViewKv::CMStyleChanged(Message);
  UpdateFirstWeekDay();
}
