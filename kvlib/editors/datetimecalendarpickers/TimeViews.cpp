#include "kvlib/editors/datetimecalendarpickers/TimeViews.h"

#include <algorithm>
#include <cmath>

#include "framework/SysUtils.h"

namespace timeviewskv {

struct TColumn {
  TTimeCalendarViewColTypeKv Type;
  bool Share;  // an equal part of the width the w-wide columns leave
};

struct TLayout {
  std::vector<TColumn> Columns;
  Integer OkCol;
  std::vector<TTimeCalendarViewActiveRegionKv> Regions;
};

// The six layouts: hour, minute and second; hour and minute; hour alone; each 24 then 12 hours.
const TLayout& LayoutOf(Integer Kind) {
  constexpr auto B = tcvctBlankKv, H = tcvctHourKv, C = tcvctColonKv, M = tcvctMinuteKv, S = tcvctSecondKv,
                 P = tcvctAmPmKv;
  static const TLayout Layouts[6] = {
      {{{B, false}, {H, true}, {C, false}, {M, true}, {C, false}, {S, true}, {B, false}},
       5,
       {tcarHoursKv, tcarMinutesKv, tcarSecondsKv, tcarOKButtonKv}},
      {{{B, false}, {H, true}, {C, false}, {M, true}, {C, false}, {S, true}, {B, false}, {P, true}, {B, false}},
       7,
       {tcarHoursKv, tcarMinutesKv, tcarSecondsKv, tcarOKButtonKv}},
      {{{B, false}, {B, true}, {H, true}, {C, false}, {M, true}, {B, true}, {B, false}},
       5,
       {tcarHoursKv, tcarMinutesKv, tcarOKButtonKv}},
      {{{B, false}, {H, true}, {C, false}, {M, true}, {P, true}, {B, false}}, 4, {tcarHoursKv, tcarMinutesKv, tcarOKButtonKv}},
      {{{B, false}, {B, true}, {B, false}, {H, true}, {B, false}, {B, true}, {B, false}}, 5, {tcarHoursKv, tcarOKButtonKv}},
      {{{B, false}, {B, true}, {H, true}, {P, true}, {B, true}, {B, false}}, 4, {tcarHoursKv, tcarOKButtonKv}},
  };
  return Layouts[Kind];
}

constexpr Integer HMS12Layout = 1;

void DecodeAll(TDateTime D, Word& H, Word& N, Word& S, Word& MS) { DecodeTime(D, H, N, S, MS); }

}  // namespace timeviewskv

namespace tvk = timeviewskv;

// ---- Pick views ------------------------------------------------------------------------------------

TTimeUnitCalendarViewKv::TTimeUnitCalendarViewKv(TComponent* AOwner) : TCustomCalendarViewKv(AOwner) {
  SetFixedColCount(0);
  SetFixedRowCount(0);
}

bool TTimeUnitCalendarViewKv::SelectNextView(bool Forward, bool Animated) {
  if (Forward || !GetCalendar() || !GetCalendar()->GetTimeView()) return false;
  GetCalendar()->ShowCalendarView(GetCalendar()->GetTimeView(), false, Animated);
  return true;
}

void TTimeUnitCalendarViewKv::KeyDown(Word& Key, TShiftState Shift) {
  if (Key != VK_RETURN) {
    TCustomCalendarViewKv::KeyDown(Key, Shift);
    return;
  }
  ShowTimeView();
  if (!Shift.Contains(ssCtrl) && GetCalendar())
    if (auto* TimeView = dynamic_cast<TTimeCalendarViewKv*>(GetCalendar()->GetTimeView()))
      TimeView->SelectNextRegion(true);
  Key = 0;
}

void TTimeUnitCalendarViewKv::ShowTimeView() {
  if (GetCalendar() && GetCalendar()->GetTimeView())
    GetCalendar()->ShowCalendarView(GetCalendar()->GetTimeView(), false, true);
}

void TTimeUnitCalendarViewKv::ShowPickerView(TCustomCalendarViewKv* View) {
  if (GetCalendar() && View) GetCalendar()->ShowCalendarView(View, true, true);
}

TDateTime TTimeUnitCalendarViewKv::RecodeTimePart(Integer Hour, Integer Minute, Integer Second) {
  Word H, N, S, MS;
  tvk::DecodeAll(FDate, H, N, S, MS);
  TDateTime R = FDate;
  ReplaceTime(R, EncodeTime(Word(Hour < 0 ? H : Hour), Word(Minute < 0 ? N : Minute), Word(Second < 0 ? S : Second),
                            MS));
  return R;
}

bool TTimeUnitCalendarViewKv::SameDate(TDateTime A, TDateTime B) { return std::trunc(A.Val) == std::trunc(B.Val); }

// ---- 24 hours --------------------------------------------------------------------------------------

THours24CalendarViewKv::THours24CalendarViewKv(TComponent* AOwner) : TTimeUnitCalendarViewKv(AOwner) {
  SetColCount(8);
  SetRowCount(3);
  SetDateTime(Now());
  SetSelectNextViewOnClick(false);
}

Integer THours24CalendarViewKv::CellHour(Integer ACol, Integer ARow) {
  if (ACol < 0 || ACol >= 8 || ARow < 0 || ARow >= 3) return -1;
  return ACol + 8 * ARow;
}

bool THours24CalendarViewKv::GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected,
                                         bool& OutsidePeriod) {
  Integer Hour = CellHour(ACol, ARow);
  if (Hour < 0) return false;
  Word H, N, S, MS;
  tvk::DecodeAll(FDate, H, N, S, MS);
  Text = HourText(Hour);
  Selected = Hour == H;
  OutsidePeriod = false;
  return true;
}

void THours24CalendarViewKv::StepHorz(bool Forward) { StepPickerMSecs(Int64(Forward ? 1 : -1) * MSecsPerDay / 24); }
void THours24CalendarViewKv::StepVert(bool Forward) { StepPickerMSecs(Int64(Forward ? 8 : -8) * MSecsPerDay / 24); }

bool THours24CalendarViewKv::DateInViewRange(TDateTime ADateTime) { return SameDate(ADateTime, FDate); }

String THours24CalendarViewKv::GetDateInfoText() { return DateToStr(FDate); }

TDateTime THours24CalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  TDateTime R;
  return TryIncDateTime(ADateTime, Int64(MoveForward ? 1 : -1) * MSecsPerDay, R) ? R : ADateTime;
}

bool THours24CalendarViewKv::TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) {
  ADateTime = FDate;
  Integer Hour = CellHour(Cell.X, Cell.Y);
  if (Hour < 0) return false;
  ADateTime = RecodeTimePart(Hour, -1, -1);
  return true;
}

void THours24CalendarViewKv::DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                              const TRect& ACellRect, const TPoint& GridMousePos,
                                              const TPoint& CellMousePos) {
  TTimeUnitCalendarViewKv::DoCellMouseClick(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
  if (!GetCalendar()) return;
  TCalendarDateTimeUnitsKv Units = GetCalendar()->GetTimeUnits();
  if (Button == mbLeft && Units.Contains(cdtuMinuteKv) && !Units.Contains(cdtuSecondKv))
    ShowPickerView(GetCalendar()->GetMinutesView());
  else if (Button == mbLeft || Button == mbRight)
    ShowTimeView();
}

String THours24CalendarViewKv::HourText(Integer Hour) { return IntToStr(Hour); }

// ---- 12 hours --------------------------------------------------------------------------------------

THours12CalendarViewKv::THours12CalendarViewKv(TComponent* AOwner) : THours24CalendarViewKv(AOwner) {
  SetColCount(6);
  SetRowCount(6);
}

Integer THours12CalendarViewKv::CellHour(Integer ACol, Integer ARow) {
  if (ACol < 0 || ACol >= 6) return -1;
  if (ARow == 1 || ARow == 2) return 6 * (ARow - 1) + ACol;
  if (ARow == 4 || ARow == 5) return 12 + 6 * (ARow - 4) + ACol;
  return -1;
}

String THours12CalendarViewKv::HourText(Integer Hour) { return IntToStr(Hour % 12 == 0 ? 12 : Hour % 12); }

void THours12CalendarViewKv::StepVert(bool Forward) { StepPickerMSecs(Int64(Forward ? 6 : -6) * MSecsPerDay / 24); }

void THours12CalendarViewKv::Paint() {
  FRow0Drawn = false;
  FRow3Drawn = false;
  THours24CalendarViewKv::Paint();
}

void THours12CalendarViewKv::DrawLabel(Integer ARow) {
  TRect R = CellRect(0, ARow);
  for (Integer C = 1; C < 6; ++C) R.Right += GetColWidths(C);
  TCanvas* Canvas = GetCanvas();
  Canvas->GetFont()->Assign(GetFont());
  SetCellCanvasColors(false, false);
  Canvas->FillRect(R);
  Canvas->GetBrush()->SetStyle(bsClear);
  WriteTextKv(Canvas, R, false, 0, 0, ARow == 0 ? L"AM" : L"PM", 2, 1, false, false, 0, 0, 0, true);
  Canvas->GetBrush()->SetStyle(bsSolid);
  // Only the row drawn counts: a paint that covers both label rows draws both.
  (ARow == 0 ? FRow0Drawn : FRow3Drawn) = true;
}

void THours12CalendarViewKv::DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  if (ARow == 0 || ARow == 3) {
    bool& Drawn = ARow == 0 ? FRow0Drawn : FRow3Drawn;
    if (ACol == 0 || !Drawn) DrawLabel(ARow);
    return;
  }
  THours24CalendarViewKv::DrawCell(ACol, ARow, ARect, State);
}

void THours12CalendarViewKv::DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                              const TRect& ACellRect, const TPoint& GridMousePos,
                                              const TPoint& CellMousePos) {
  // The label rows choose nothing.
  if (CellHour(Cell.X, Cell.Y) < 0) return;
  THours24CalendarViewKv::DoCellMouseClick(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
  if (!GetCalendar()) return;
  TCalendarDateTimeUnitsKv Units = GetCalendar()->GetTimeUnits();
  if (Button == mbLeft) {
    if (Units.Contains(cdtuMinuteKv))
      ShowPickerView(GetCalendar()->GetMinutesView());
    else if (Units.Contains(cdtuSecondKv))
      ShowPickerView(GetCalendar()->GetSecondsView());
    else
      ShowTimeView();
  } else if (Button == mbRight) {
    ShowTimeView();
  }
}

// ---- Minutes ---------------------------------------------------------------------------------------

TMinutesCalendarViewKv::TMinutesCalendarViewKv(TComponent* AOwner) : TTimeUnitCalendarViewKv(AOwner) {
  SetColCount(4);
  SetRowCount(3);
  SetDateTime(Now());
  SetSelectNextViewOnClick(false);
}

Integer TMinutesCalendarViewKv::UnitOf(TDateTime ADateTime) {
  Word H, N, S, MS;
  tvk::DecodeAll(ADateTime, H, N, S, MS);
  return N;
}

TDateTime TMinutesCalendarViewKv::WithUnit(TDateTime ADateTime, Integer Value) {
  Word H, N, S, MS;
  tvk::DecodeAll(ADateTime, H, N, S, MS);
  TDateTime R = ADateTime;
  ReplaceTime(R, EncodeTime(H, Word(Value), S, MS));
  return R;
}

void TMinutesCalendarViewKv::StepSnapped(Integer Count) {
  TDateTime Moved;
  if (!TryIncDateTime(PickerDate(), UnitMSecs() * Count, Moved)) return;
  Integer Snapped = Integer(std::lround(UnitOf(Moved) / 5.0)) * 5;
  // 58 and 59 round to 60: that is 0 of the next hour (or minute).
  TDateTime Result;
  if (!TryIncDateTime(WithUnit(Moved, 0), UnitMSecs() * Snapped, Result)) return;
  StepPickerDate(Result);
}

void TMinutesCalendarViewKv::StepHorz(bool Forward) { StepSnapped(Forward ? 5 : -5); }
void TMinutesCalendarViewKv::StepVert(bool Forward) { StepSnapped(Forward ? 20 : -20); }

bool TMinutesCalendarViewKv::GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected,
                                         bool& OutsidePeriod) {
  if (ACol < 0 || ACol >= 4 || ARow < 0 || ARow >= 3) return false;
  Integer Value = 5 * (4 * ARow + ACol);
  Text = (Value < 10 ? L"0" : L"") + IntToStr(Value);
  Selected = Value == UnitOf(FDate);
  OutsidePeriod = false;
  return true;
}

bool TMinutesCalendarViewKv::DateInViewRange(TDateTime ADateTime) {
  Word H1, N1, S1, MS1, H2, N2, S2, MS2;
  tvk::DecodeAll(ADateTime, H1, N1, S1, MS1);
  tvk::DecodeAll(FDate, H2, N2, S2, MS2);
  return SameDate(ADateTime, FDate) && H1 == H2;
}

String TMinutesCalendarViewKv::GetDateInfoText() {
  return DateToStr(FDate) + L" " + FormatDateTime(L"HH", FDate) + L":(M)";
}

TDateTime TMinutesCalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  TDateTime R;
  return TryIncDateTime(ADateTime, Int64(MoveForward ? 1 : -1) * UnitMSecs() * 60, R) ? R : ADateTime;
}

bool TMinutesCalendarViewKv::TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) {
  ADateTime = FDate;
  if (Cell.X < 0 || Cell.X >= 4 || Cell.Y < 0 || Cell.Y >= 3) return false;
  ADateTime = WithUnit(FDate, 5 * (4 * Cell.Y + Cell.X));
  return true;
}

void TMinutesCalendarViewKv::DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                              const TRect& ACellRect, const TPoint& GridMousePos,
                                              const TPoint& CellMousePos) {
  TTimeUnitCalendarViewKv::DoCellMouseClick(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
  if (Button == mbLeft || Button == mbRight) ShowTimeView();
}

// ---- Seconds ---------------------------------------------------------------------------------------

TSecondsCalendarViewKv::TSecondsCalendarViewKv(TComponent* AOwner) : TMinutesCalendarViewKv(AOwner) {}

Integer TSecondsCalendarViewKv::UnitOf(TDateTime ADateTime) {
  Word H, N, S, MS;
  tvk::DecodeAll(ADateTime, H, N, S, MS);
  return S;
}

TDateTime TSecondsCalendarViewKv::WithUnit(TDateTime ADateTime, Integer Value) {
  Word H, N, S, MS;
  tvk::DecodeAll(ADateTime, H, N, S, MS);
  TDateTime R = ADateTime;
  ReplaceTime(R, EncodeTime(H, N, Word(Value), MS));
  return R;
}

bool TSecondsCalendarViewKv::DateInViewRange(TDateTime ADateTime) {
  Word H1, N1, S1, MS1, H2, N2, S2, MS2;
  tvk::DecodeAll(ADateTime, H1, N1, S1, MS1);
  tvk::DecodeAll(FDate, H2, N2, S2, MS2);
  return SameDate(ADateTime, FDate) && H1 == H2 && N1 == N2;
}

String TSecondsCalendarViewKv::GetDateInfoText() {
  return DateToStr(FDate) + L" " + FormatDateTime(L"HH:NN", FDate) + L":(S)";
}

TDateTime TSecondsCalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  TDateTime R;
  return TryIncDateTime(ADateTime, Int64(MoveForward ? 1 : -1) * MSecsPerSec * 60, R) ? R : ADateTime;
}

void TSecondsCalendarViewKv::DoCellMouseClick(const TGridCoord&, TMouseButton, TShiftState, const TRect&,
                                              const TPoint&, const TPoint&) {
  ShowTimeView();
}

// ---- Time view -------------------------------------------------------------------------------------

TTimeCalendarViewKv::TTimeCalendarViewKv(TComponent* AOwner)
    : TCustomCalendarViewKv(AOwner), FTimer(std::make_unique<TTimer>(nullptr)) {
  TControlStyle Style = GetControlStyle();
  Style >> csDoubleClicks;
  SetControlStyle(Style);
  GetLocaleClockSettings(FHoursFormat, FAmPmPos);
  SetFixedColCount(0);
  SetFixedRowCount(0);
  SetRowCount(6);
  ResetGrid();
  SetSelectNextViewOnClick(false);
  FTimer->SetEnabled(false);
  FTimer->SetOnTimer([this](TObject* Sender) { TimerTick(Sender); });
  FRegionProcList = {&TTimeCalendarViewKv::HoursRegionAction, &TTimeCalendarViewKv::MinutesRegionAction,
                     &TTimeCalendarViewKv::SecondsRegionAction, &TTimeCalendarViewKv::OkRegionAction};
  FActiveRegion = tcarHoursKv;
  SetDateTime(Now());
}

TTimeCalendarViewKv::~TTimeCalendarViewKv() { FTimer->SetEnabled(false); }

void TTimeCalendarViewKv::SetClockSettings(THoursTimeFormatKv HoursFormat, TAmPmPosKv AmPmPos) {
  if (HoursFormat == FHoursFormat && AmPmPos == FAmPmPos) return;
  FHoursFormat = HoursFormat;
  FAmPmPos = AmPmPos;
  ResetGrid();
}

void TTimeCalendarViewKv::WMWinIniChange(TMessage& Message) {
  TCustomCalendarViewKv::Dispatch(&Message);
  THoursTimeFormatKv Hours;
  TAmPmPosKv Pos;
  GetLocaleClockSettings(Hours, Pos);
  SetClockSettings(Hours, Pos);
}

void TTimeCalendarViewKv::ResetGrid() {
  TCalendarDateTimeUnitsKv Units = GetCalendar()
                                       ? GetCalendar()->GetTimeUnits()
                                       : TCalendarDateTimeUnitsKv{cdtuHourKv, cdtuMinuteKv, cdtuSecondKv};
  Integer Kind;
  if (!Units.Contains(cdtuHourKv))
    return;  // minutes or seconds without hours have no layout of their own
  else if (Units.Contains(cdtuMinuteKv) && Units.Contains(cdtuSecondKv))
    Kind = 0;
  else if (Units.Contains(cdtuMinuteKv))
    Kind = 2;
  else
    Kind = 4;
  if (AmPm12()) ++Kind;
  const tvk::TLayout& L = tvk::LayoutOf(Kind);
  FLayoutKind = Kind;
  FColTypes.clear();
  for (const tvk::TColumn& C : L.Columns) FColTypes.push_back(C.Type);
  FOkButtonCol = L.OkCol;
  FVisibleRegions = L.Regions;
  SetFixedColCount(0);
  SetFixedRowCount(0);
  SetColCount(Integer(FColTypes.size()));
  SetRowCount(6);
  LayoutCells();
  Invalidate();
}

void TTimeCalendarViewKv::LayoutCells() {
  if (!HandleAllocated() || FLayoutKind < 0) return;
  const tvk::TLayout& L = tvk::LayoutOf(FLayoutKind);
  TCanvas* Canvas = GetCanvas();
  Canvas->GetFont()->Assign(GetFont());
  Integer W = Canvas->TextWidth(L"00");
  Integer Fixed = 0, Sharing = 0;
  for (const tvk::TColumn& C : L.Columns) C.Share ? ++Sharing : Fixed += W;
  std::vector<Integer> Shares = ShareLength(GetClientWidth() - Fixed, Sharing);
  std::vector<Integer> Widths;
  size_t NextShare = 0;
  for (const tvk::TColumn& C : L.Columns) Widths.push_back(C.Share ? Shares[NextShare++] : W);
  if (FLayoutKind == tvk::HMS12Layout) {
    // The blank before AM/PM gives its width to the three value columns.
    Widths[6] = 0;
    Widths[1] += W / 3;
    Widths[3] += 2 * W / 3 - W / 3;
    Widths[5] += W - 2 * W / 3;
  }
  for (size_t I = 0; I < Widths.size(); ++I) SetColWidths(Integer(I), Widths[I]);
  std::vector<Integer> Rows = ShareLength(GetClientHeight(), 6);
  Integer Half = GetClientHeight() / 6 / 2;
  Rows[4] -= Half;
  Rows[5] += Half;
  for (size_t I = 0; I < Rows.size(); ++I) SetRowHeights(Integer(I), Rows[I]);
}

TTimeCalendarViewColTypeKv TTimeCalendarViewKv::ColType(Integer ACol) const {
  return ACol >= 0 && ACol < Integer(FColTypes.size()) ? FColTypes[size_t(ACol)] : tcvctBlankKv;
}

bool TTimeCalendarViewKv::IsUnitCol(Integer ACol) const {
  TTimeCalendarViewColTypeKv T = ColType(ACol);
  return T == tcvctHourKv || T == tcvctMinuteKv || T == tcvctSecondKv;
}

void TTimeCalendarViewKv::SetActiveRegion(TTimeCalendarViewActiveRegionKv Value) {
  if (Value == FActiveRegion) return;
  FActiveRegion = Value;
  Invalidate();
}

void TTimeCalendarViewKv::SetPickerDate(TDateTime Value) {
  if (GetCalendar())
    GetCalendar()->SetDateTime(Value);
  else
    SetDateTime(Value);
}

void TTimeCalendarViewKv::IncrementHour(Integer N) {
  TDateTime D = PickerDate();
  Word H, M, S, MS;
  DecodeTime(D, H, M, S, MS);
  Integer NewHour = ((Integer(H) + N) % 24 + 24) % 24;
  ReplaceTime(D, EncodeTime(Word(NewHour), M, S, MS));
  SetPickerDate(D);
}

void TTimeCalendarViewKv::IncrementMinute(Integer N) {
  TDateTime D = PickerDate();
  Word H, M, S, MS;
  DecodeTime(D, H, M, S, MS);
  Integer NewMinute = ((Integer(M) + N) % 60 + 60) % 60;
  ReplaceTime(D, EncodeTime(H, Word(NewMinute), S, MS));
  SetPickerDate(D);
}

void TTimeCalendarViewKv::IncrementSecond(Integer N) {
  TDateTime D = PickerDate();
  Word H, M, S, MS;
  DecodeTime(D, H, M, S, MS);
  Integer NewSecond = ((Integer(S) + N) % 60 + 60) % 60;
  ReplaceTime(D, EncodeTime(H, M, Word(NewSecond), MS));
  SetPickerDate(D);
}

void TTimeCalendarViewKv::StepUnit(TTimeCalendarViewColTypeKv Unit, Integer N) {
  if (Unit == tcvctHourKv) IncrementHour(N);
  if (Unit == tcvctMinuteKv) IncrementMinute(N);
  if (Unit == tcvctSecondKv) IncrementSecond(N);
}

void TTimeCalendarViewKv::ShowUnitView(TTimeCalendarViewColTypeKv Unit) {
  ICalendarViewPickerKv* Picker = GetCalendar();
  if (!Picker) return;
  TCustomCalendarViewKv* View = Unit == tcvctHourKv     ? (AmPm12() ? Picker->GetHours12View() : Picker->GetHours24View())
                                : Unit == tcvctMinuteKv ? Picker->GetMinutesView()
                                                        : Picker->GetSecondsView();
  if (View) Picker->ShowCalendarView(View, true, true);
}

void TTimeCalendarViewKv::HoursRegionAction(Integer Action) {
  if (Action == 2)
    ShowUnitView(tcvctHourKv);
  else
    IncrementHour(Action == 1 ? 1 : -1);
}

void TTimeCalendarViewKv::MinutesRegionAction(Integer Action) {
  if (Action == 2)
    ShowUnitView(tcvctMinuteKv);
  else
    IncrementMinute(Action == 1 ? 1 : -1);
}

void TTimeCalendarViewKv::SecondsRegionAction(Integer Action) {
  if (Action == 2)
    ShowUnitView(tcvctSecondKv);
  else
    IncrementSecond(Action == 1 ? 1 : -1);
}

void TTimeCalendarViewKv::OkRegionAction(Integer Action) {
  if (Action == 2 && GetCalendar()) GetCalendar()->DateTimeElementSelected(7);
}

void TTimeCalendarViewKv::SelectNextRegion(bool Forward) {
  if (FVisibleRegions.empty()) return;
  auto It = std::find(FVisibleRegions.begin(), FVisibleRegions.end(), FActiveRegion);
  size_t Count = FVisibleRegions.size();
  size_t Index;
  if (It == FVisibleRegions.end())
    Index = Forward ? 0 : Count - 1;
  else
    Index = (size_t(It - FVisibleRegions.begin()) + (Forward ? 1 : Count - 1)) % Count;
  FActiveRegion = FVisibleRegions[Index];
  Invalidate();
}

void TTimeCalendarViewKv::StartButtonRepeat(const TGridCoord& Cell, TTimeCalendarViewPressedButtonTypeKv ButtonType) {
  FPressedCell = Cell;
  FPressedButtonType = ButtonType;
  FTimer->SetEnabled(false);
  FTimer->SetInterval(400);
  FTimer->SetEnabled(true);
}

void TTimeCalendarViewKv::TimerTick(TObject*) {
  if (FTimer->GetInterval() == 400) FTimer->SetInterval(100);
  if (FHotTrackCell != FPressedCell) return;
  switch (FPressedButtonType) {
    case tcpbtHoursUpKv: IncrementHour(1); break;
    case tcpbtHoursDownKv: IncrementHour(-1); break;
    case tcpbtMinutesUpKv: IncrementMinute(1); break;
    case tcpbtMinutesDownKv: IncrementMinute(-1); break;
    case tcpbtSecondsUpKv: IncrementSecond(1); break;
    case tcpbtSecondsDownKv: IncrementSecond(-1); break;
  }
}

void TTimeCalendarViewKv::DoCellMouseDown(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                          const TRect& ACellRect, const TPoint& GridMousePos,
                                          const TPoint& CellMousePos) {
  TCustomCalendarViewKv::DoCellMouseDown(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
  if (Button != mbLeft || (Cell.Y != 1 && Cell.Y != 3) || !IsUnitCol(Cell.X)) return;
  bool Up = Cell.Y == 1;
  TTimeCalendarViewColTypeKv Unit = ColType(Cell.X);
  StepUnit(Unit, Up ? 1 : -1);
  TTimeCalendarViewPressedButtonTypeKv Pressed;
  if (Unit == tcvctHourKv) {
    SetActiveRegion(tcarHoursKv);
    Pressed = Up ? tcpbtHoursUpKv : tcpbtHoursDownKv;
  } else if (Unit == tcvctMinuteKv) {
    SetActiveRegion(tcarMinutesKv);
    Pressed = Up ? tcpbtMinutesUpKv : tcpbtMinutesDownKv;
  } else {
    SetActiveRegion(tcarSecondsKv);
    Pressed = Up ? tcpbtSecondsUpKv : tcpbtSecondsDownKv;
  }
  StartButtonRepeat(Cell, Pressed);
}

void TTimeCalendarViewKv::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  FTimer->SetEnabled(false);
  TCustomCalendarViewKv::MouseUp(Button, Shift, X, Y);
}

void TTimeCalendarViewKv::DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift,
                                           const TRect& ACellRect, const TPoint& GridMousePos,
                                           const TPoint& CellMousePos) {
  TCustomCalendarViewKv::DoCellMouseClick(Cell, Button, Shift, ACellRect, GridMousePos, CellMousePos);
  if (Button == mbLeft) {
    if (Cell.Y == 5 && Cell.X == FOkButtonCol) {
      if (GetCalendar()) GetCalendar()->DateTimeElementSelected(7);
    } else if (Cell.Y == 2 && IsUnitCol(Cell.X)) {
      ShowUnitView(ColType(Cell.X));
    }
  } else if (Button == mbRight && GetCalendar() && GetCalendar()->GetDaysView()) {
    GetCalendar()->ShowCalendarView(GetCalendar()->GetDaysView(), false, true);
  }
}

bool TTimeCalendarViewKv::WheelIncrement(TShiftState, const TPoint& MousePos, bool Up) {
  TPoint P = HandleAllocated() ? ScreenToClient(MousePos) : MousePos;
  TGridCoord Cell = MouseCoord(P.X, P.Y);
  if (IsUnitCol(Cell.X)) StepUnit(ColType(Cell.X), Up ? 1 : -1);
  return true;
}

bool TTimeCalendarViewKv::DoMouseWheelDown(TShiftState Shift, const TPoint& MousePos) {
  return WheelIncrement(Shift, MousePos, false);
}

bool TTimeCalendarViewKv::DoMouseWheelUp(TShiftState Shift, const TPoint& MousePos) {
  return WheelIncrement(Shift, MousePos, true);
}

void TTimeCalendarViewKv::KeyDown(Word& Key, TShiftState Shift) {
  auto Act = [this](Integer Action) { (this->*FRegionProcList[size_t(FActiveRegion)])(Action); };
  switch (Key) {
    case VK_RETURN:
      if (Shift.Contains(ssCtrl))
        SelectNextView(false, true);
      else
        Act(2);
      break;
    case VK_LEFT: SelectNextRegion(false); break;
    case VK_RIGHT: SelectNextRegion(true); break;
    case VK_UP: Act(1); break;
    case VK_DOWN: Act(0); break;
    default:
      TCustomCalendarViewKv::KeyDown(Key, Shift);
      return;
  }
  Key = 0;
}

String TTimeCalendarViewKv::GetDateInfoText() { return DateToStr(FDate); }

TDateTime TTimeCalendarViewKv::GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) {
  TDateTime R;
  return TryIncDateTime(ADateTime, Int64(MoveForward ? 1 : -1) * MSecsPerDay, R) ? R : ADateTime;
}

String TTimeCalendarViewKv::CellText(Integer ACol, Integer ARow) {
  if (ARow == 5 && ACol == FOkButtonCol) return L"OK";
  if (ARow != 2) return String();
  switch (ColType(ACol)) {
    case tcvctHourKv: {
      if (!AmPm12()) return FormatDateTime(L"h", FDate);
      String S = FormatDateTime(L"h AMPM", FDate);
      return S.size() > 1 && S[1] == L' ' ? S.substr(0, 1) : S.substr(0, 2);
    }
    case tcvctMinuteKv: return FormatDateTime(L"nn", FDate);
    case tcvctSecondKv: return FormatDateTime(L"ss", FDate);
    case tcvctAmPmKv: return FormatDateTime(L"AMPM", FDate);
    case tcvctColonKv: return L":";
    default: return String();
  }
}

void TTimeCalendarViewKv::DrawArrow(const TRect& ARect, bool Up) {
  TCanvas* Canvas = GetCanvas();
  Canvas->GetPen()->SetColor(GetStyledSystemColor(clWindowText));
  Integer Left = ARect.Left + (ARect.Width() - 7) / 2;
  Integer Top = ARect.Top + (ARect.Height() - 4) / 2;
  for (Integer I = 0; I < 4; ++I) {
    Integer Len = 7 - 2 * I;
    Integer Y = Up ? Top + 3 - I : Top + I;
    Canvas->MoveTo(Left + I, Y);
    Canvas->LineTo(Left + I + Len, Y);
  }
}

void TTimeCalendarViewKv::DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) {
  TCanvas* Canvas = GetCanvas();
  Canvas->GetFont()->Assign(GetFont());
  bool SpinCell = IsUnitCol(ACol) && ARow >= 1 && ARow <= 3;
  bool OkCell = ARow == 5 && ACol == FOkButtonCol;
  bool Highlight = false;
  if (IsMouseInput()) {
    Highlight = State.Contains(gdHotTrack) && (SpinCell || OkCell);
  } else {
    TTimeCalendarViewColTypeKv T = ColType(ACol);
    Highlight = (ARow == 2 && ((T == tcvctHourKv && FActiveRegion == tcarHoursKv) ||
                               (T == tcvctMinuteKv && FActiveRegion == tcarMinutesKv) ||
                               (T == tcvctSecondKv && FActiveRegion == tcarSecondsKv))) ||
                (OkCell && FActiveRegion == tcarOKButtonKv);
  }
  SetCellCanvasColors(Highlight, false);
  if (GetCalendar())
    GetCalendar()->DrawCalendarViewCellBackgraund(this, Canvas, ARect,
                                                  Highlight ? TCalendarViewDrawStateKv{cvdsHotTrackKv}
                                                            : TCalendarViewDrawStateKv{});
  else
    Canvas->FillRect(ARect);
  if (IsUnitCol(ACol) && (ARow == 1 || ARow == 3)) {
    DrawArrow(ARect, ARow == 1);
    return;
  }
  String Text = CellText(ACol, ARow);
  if (Text.empty()) return;
  Canvas->GetBrush()->SetStyle(bsClear);
  WriteTextKv(Canvas, ARect, false, 0, 0, Text, 2, 1, false, false, 0, 0, 0, true);
  Canvas->GetBrush()->SetStyle(bsSolid);
}
