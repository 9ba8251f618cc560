#pragma once
// A stand-in picker for the calendar and time views: it owns the nine views as the real picker
// does, keeps them on its date, shows one at a time and records what the views ask of it.

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/controls/CustomControl.h"
#include "kvlib/editors/DateTimeCalendarPickersKv.h"
#include "kvlib/foundation/toolctrls/LibManager.h"

namespace calviewtest {

inline TDateTime At(Word Y, Word M, Word D, Word H = 0, Word N = 0, Word S = 0, Word MS = 0) {
  // Before 1899-12-30 the time still counts forward from midnight.
  double Day = EncodeDate(Y, M, D).Val, Time = EncodeTime(H, N, S, MS).Val;
  return Day < 0 ? Day - Time : Day + Time;
}

class TTestCalendarPickerKv : public TCustomControl, public ICalendarViewPickerKv {
  DECLARE_CLASS(TTestCalendarPickerKv, TCustomControl)
 public:
  struct TShown {
    TCustomCalendarViewKv* View;
    bool ZoomIn;
  };

  explicit TTestCalendarPickerKv(TComponent* AOwner) : TCustomControl(AOwner) {
    Decades = Add(new TDecadesCalendarViewKv(this));
    Years = Add(new TYearsCalendarViewKv(this));
    Months = Add(new TMonthsCalendarViewKv(this));
    Days = Add(new TDaysCalendarViewKv(this));
    Hours24 = Add(new THours24CalendarViewKv(this));
    Hours12 = Add(new THours12CalendarViewKv(this));
    Minutes = Add(new TMinutesCalendarViewKv(this));
    Seconds = Add(new TSecondsCalendarViewKv(this));
    Time = Add(new TTimeCalendarViewKv(this));
    Current = Days;
  }

  // Places the picker on a shown form and makes View current with its window.
  void ShowOn(TWinControl* Parent, TCustomCalendarViewKv* View) {
    SetBounds(0, 0, 280, 200);
    SetParent(Parent);
    for (TCustomCalendarViewKv* V : All) {
      V->SetBounds(0, 0, 280, 180);
      V->SetParent(this);
      V->SetVisible(V == View);
    }
    Current = View;
    View->SetDateTime(FDateTime);
    View->HandleNeeded();
    ctltest::Pump();
  }

  void SetTimeUnits(TCalendarDateTimeUnitsKv Units) {
    FTimeUnits = Units;
    Time->ResetGrid();
  }

  // ---- ICalendarViewPickerKv ---------------------------------------------------------------------
  TDateTime GetDateTime() override { return FDateTime; }
  void SetDateTime(TDateTime Value) override {
    FDateTime = Value;
    if (Current) Current->SetDateTime(Value);
  }
  void SetDateTimeAnimated(TDateTime Value) override {
    ++AnimatedSets;
    SetDateTime(Value);
  }
  void ShowCalendarView(TCustomCalendarViewKv* View, bool ZoomIn, bool Animated) override {
    Shown.push_back({View, ZoomIn});
    if (View == Current) return;
    if (Current) Current->SetVisible(false);
    Current = View;
    View->SetVisible(true);
    View->SetDateTime(FDateTime);
    View->ResetMousePos();
  }
  void NextPeriod(bool) override { SetDateTimeAnimated(Current->GetNextPeriodDate(true, FDateTime)); }
  void PriorPeriod(bool) override { SetDateTimeAnimated(Current->GetNextPeriodDate(false, FDateTime)); }
  TInteractiveInputMethodKv GetInputMethod() override { return InputMethod; }
  void SetInputMethod(TInteractiveInputMethodKv Value) override { InputMethod = Value; }
  void FillViewPaintBuffer(TCustomCalendarViewPaintBufferKv*) override { ++PaintBufferFills; }
  TFont* GetCalendarWeekNoFont() override { return GetFont(); }
  void DrawCalendarViewCellBackgraund(TCustomCalendarViewKv*, TCanvas* Canvas, const TRect& ARect,
                                      TCalendarViewDrawStateKv State) override {
    Backgrounds.push_back(State);
    Canvas->FillRect(ARect);
  }
  TDaysCalendarViewDayInfoItem* CreateDayInfoItem() override { return new TDaysCalendarViewDayInfoItem(); }
  void FillDayInfo(TDaysCalendarViewDayInfoItem* Item, TDateTime ADate) override {
    Item->SetIsHoliday(!WorkingTimeCalendar()->IsWorkday(ADate));
  }
  void DoDateTimeSelected() override { ++Selections; }
  void DateTimeElementSelected(Byte Element) override {
    if (Element == 7) DoDateTimeSelected();
  }
  std::vector<TCustomCalendarViewKv*> GetCalendarViewList() override {
    std::vector<TCustomCalendarViewKv*> List;
    if (FTimeUnits.Contains(cdtuYearKv)) List.insert(List.end(), {Decades, Years});
    if (FTimeUnits.Contains(cdtuMonthKv)) List.push_back(Months);
    if (FTimeUnits.Contains(cdtuDayKv)) List.push_back(Days);
    if (FTimeUnits.Contains(cdtuHourKv) || FTimeUnits.Contains(cdtuMinuteKv) || FTimeUnits.Contains(cdtuSecondKv))
      List.push_back(Time);
    return List;
  }
  TCalendarDateTimeUnitsKv GetTimeUnits() override { return FTimeUnits; }
  TCustomCalendarViewKv* GetDaysView() override { return Days; }
  TCustomCalendarViewKv* GetTimeView() override { return Time; }
  TCustomCalendarViewKv* GetHours24View() override { return Hours24; }
  TCustomCalendarViewKv* GetHours12View() override { return Hours12; }
  TCustomCalendarViewKv* GetMinutesView() override { return Minutes; }
  TCustomCalendarViewKv* GetSecondsView() override { return Seconds; }

  TDecadesCalendarViewKv* Decades;
  TYearsCalendarViewKv* Years;
  TMonthsCalendarViewKv* Months;
  TDaysCalendarViewKv* Days;
  THours24CalendarViewKv* Hours24;
  THours12CalendarViewKv* Hours12;
  TMinutesCalendarViewKv* Minutes;
  TSecondsCalendarViewKv* Seconds;
  TTimeCalendarViewKv* Time;
  TCustomCalendarViewKv* Current = nullptr;
  std::vector<TCustomCalendarViewKv*> All;

  TInteractiveInputMethodKv InputMethod = iimKeyboardKv;
  std::vector<TShown> Shown;
  std::vector<TCalendarViewDrawStateKv> Backgrounds;
  Integer AnimatedSets = 0;
  Integer Selections = 0;
  Integer PaintBufferFills = 0;

 private:
  template <class T>
  T* Add(T* View) {
    All.push_back(View);
    return View;
  }
  TDateTime FDateTime = At(2026, 3, 15, 10, 40);
  TCalendarDateTimeUnitsKv FTimeUnits{cdtuYearKv, cdtuMonthKv, cdtuDayKv};
};

// The views in the order the picker makes them.
enum TViewIndex { vDecades, vYears, vMonths, vDays, vHours24, vHours12, vMinutes, vSeconds, vTime };

// A picker on a shown form with the view current, dated Date.
struct TPickerOnForm {
  ctltest::TFormHolder Form{400, 300};
  TTestCalendarPickerKv* Picker;
  TPickerOnForm(TViewIndex View, TDateTime Date) : Picker(new TTestCalendarPickerKv(Form.Form)) {
    Form->Show();
    Picker->SetDateTime(Date);
    Picker->ShowOn(Form.Form, Picker->All[size_t(View)]);
  }
  TTestCalendarPickerKv* operator->() const { return Picker; }
};

// Posts a press and a release at the centre of a cell of View.
inline void ClickCell(TCustomCalendarViewKv* View, Integer ACol, Integer ARow, bool Right = false) {
  TRect R = View->CellRect(ACol, ARow);
  LPARAM Pos = MAKELPARAM((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
  HWND Wnd = View->GetHandle();
  PostMessageW(Wnd, Right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, Right ? MK_RBUTTON : MK_LBUTTON, Pos);
  ctltest::Pump();
  PostMessageW(Wnd, Right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, Pos);
  ctltest::Pump();
}

inline String CellText(TCustomCalendarViewKv* View, Integer ACol, Integer ARow, bool* Selected = nullptr,
                       bool* Outside = nullptr) {
  String Text;
  bool S = false, O = false;
  View->GetCellData(ACol, ARow, Text, S, O);
  if (Selected) *Selected = S;
  if (Outside) *Outside = O;
  return Text;
}

inline void PressKey(TCustomCalendarViewKv* View, Word Key, bool Ctrl = false) {
  Word K = Key;
  View->KeyDown(K, Ctrl ? TShiftState{ssCtrl} : TShiftState{});
}

}  // namespace calviewtest
