#pragma once
// The time views (part of the unit DateTimeCalendarPickersKv): the time view with spin fields for
// hours, minutes, seconds and AM/PM and an OK cell, the last page of the picker's view list; and
// the four pick views it zooms into, which show every hour, or every fifth minute or second.

#include <array>
#include <memory>
#include <vector>

#include "framework/ExtCtrls.h"
#include "kvlib/editors/datetimecalendarpickers/CalendarViews.h"

class TTimeUnitCalendarViewKv : public TCustomCalendarViewKv {
  DECLARE_CLASS(TTimeUnitCalendarViewKv, TCustomCalendarViewKv)
 public:
  explicit TTimeUnitCalendarViewKv(TComponent* AOwner);
  // Forward finds nothing finer; backward goes back to the time view.
  bool SelectNextView(bool Forward, bool Animated) override;
  bool ShowTodayInfo() override { return false; }
  void KeyDown(Word& Key, TShiftState Shift) override;

 protected:
  void ShowTimeView();
  void ShowPickerView(TCustomCalendarViewKv* View);
  // FDate with one part replaced; the others, milliseconds too, kept.
  TDateTime RecodeTimePart(Integer Hour, Integer Minute, Integer Second);
  bool SameDate(TDateTime A, TDateTime B);
};

class THours24CalendarViewKv : public TTimeUnitCalendarViewKv {
  DECLARE_CLASS(THours24CalendarViewKv, TTimeUnitCalendarViewKv)
 public:
  explicit THours24CalendarViewKv(TComponent* AOwner);
  void StepHorz(bool Forward) override;
  void StepVert(bool Forward) override;
  bool DateInViewRange(TDateTime ADateTime) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;
  bool TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) override;
  bool GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected, bool& OutsidePeriod) override;

 protected:
  // The hour a cell stands for; -1 for none.
  virtual Integer CellHour(Integer ACol, Integer ARow);
  virtual String HourText(Integer Hour);
  void DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                        const TPoint& GridMousePos, const TPoint& CellMousePos) override;
};

class THours12CalendarViewKv : public THours24CalendarViewKv {
  DECLARE_CLASS(THours12CalendarViewKv, THours24CalendarViewKv)
 public:
  explicit THours12CalendarViewKv(TComponent* AOwner);
  void StepVert(bool Forward) override;

 protected:
  Integer CellHour(Integer ACol, Integer ARow) override;
  // 12 for hours 0 and 12.
  String HourText(Integer Hour) override;
  void Paint() override;
  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) override;
  void DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                        const TPoint& GridMousePos, const TPoint& CellMousePos) override;

 private:
  // The "AM" or "PM" label across a whole label row.
  void DrawLabel(Integer ARow);

  bool FRow0Drawn = false;
  bool FRow3Drawn = false;
};

class TMinutesCalendarViewKv : public TTimeUnitCalendarViewKv {
  DECLARE_CLASS(TMinutesCalendarViewKv, TTimeUnitCalendarViewKv)
 public:
  explicit TMinutesCalendarViewKv(TComponent* AOwner);
  void StepHorz(bool Forward) override;
  void StepVert(bool Forward) override;
  bool DateInViewRange(TDateTime ADateTime) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;
  bool TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) override;
  bool GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected, bool& OutsidePeriod) override;

 protected:
  // The unit's length in milliseconds and its value in a date-time.
  virtual Int64 UnitMSecs() { return 60000; }
  virtual Integer UnitOf(TDateTime ADateTime);
  virtual TDateTime WithUnit(TDateTime ADateTime, Integer Value);
  // Steps by Count units and snaps to a multiple of five; 60 carries into the next larger unit.
  void StepSnapped(Integer Count);
  void DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                        const TPoint& GridMousePos, const TPoint& CellMousePos) override;
};

class TSecondsCalendarViewKv : public TMinutesCalendarViewKv {
  DECLARE_CLASS(TSecondsCalendarViewKv, TMinutesCalendarViewKv)
 public:
  explicit TSecondsCalendarViewKv(TComponent* AOwner);
  bool DateInViewRange(TDateTime ADateTime) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;

 protected:
  Int64 UnitMSecs() override { return 1000; }
  Integer UnitOf(TDateTime ADateTime) override;
  TDateTime WithUnit(TDateTime ADateTime, Integer Value) override;
  void DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                        const TPoint& GridMousePos, const TPoint& CellMousePos) override;
};

DECLARE_ENUM(TTimeCalendarViewActiveRegionKv, tcarHoursKv, tcarMinutesKv, tcarSecondsKv, tcarOKButtonKv)
DECLARE_ENUM(TTimeCalendarViewColTypeKv, tcvctHourKv, tcvctMinuteKv, tcvctSecondKv, tcvctAmPmKv, tcvctColonKv,
             tcvctBlankKv)
DECLARE_ENUM(TTimeCalendarViewPressedButtonTypeKv, tcpbtHoursUpKv, tcpbtHoursDownKv, tcpbtMinutesUpKv,
             tcpbtMinutesDownKv, tcpbtSecondsUpKv, tcpbtSecondsDownKv)

class TTimeCalendarViewKv : public TCustomCalendarViewKv {
  DECLARE_CLASS(TTimeCalendarViewKv, TCustomCalendarViewKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_WININICHANGE, TMessage, WMWinIniChange)
  END_MESSAGE_MAP

 public:
  // Region actions: 0 the unit - 1, 1 the unit + 1, 2 open the unit's pick view (OK: select).
  using TRegionActionKv = void (TTimeCalendarViewKv::*)(Integer Action);

  explicit TTimeCalendarViewKv(TComponent* AOwner);
  ~TTimeCalendarViewKv() override;

  // ---- New virtual operations, in slot order --------------------------------------------------
  virtual bool WheelIncrement(TShiftState Shift, const TPoint& MousePos, bool Up);
  virtual void HoursRegionAction(Integer Action);
  virtual void MinutesRegionAction(Integer Action);
  virtual void OkRegionAction(Integer Action);
  virtual void StartButtonRepeat(const TGridCoord& Cell, TTimeCalendarViewPressedButtonTypeKv ButtonType);
  virtual void SecondsRegionAction(Integer Action);
  virtual void SelectNextRegion(bool Forward);
  virtual void TimerTick(TObject* Sender);

  bool AmPm12() const { return FHoursFormat == htfAmPm12hKv; }
  // The unit wraps in its range without carrying into the next larger one.
  void IncrementHour(Integer N);
  void IncrementMinute(Integer N);
  void IncrementSecond(Integer N);
  // Columns, regions and the OK cell from the picker's time units and the clock.
  void ResetGrid();
  void ResetRegion() { SetActiveRegion(tcarHoursKv); }

  void LayoutCells() override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;
  bool ShowTodayInfo() override { return false; }

  TTimeCalendarViewActiveRegionKv GetActiveRegion() const { return FActiveRegion; }
  void SetActiveRegion(TTimeCalendarViewActiveRegionKv Value);
  const std::vector<TTimeCalendarViewColTypeKv>& GetColTypes() const { return FColTypes; }
  const std::vector<TTimeCalendarViewActiveRegionKv>& GetVisibleRegions() const { return FVisibleRegions; }
  Integer GetOkButtonCol() const { return FOkButtonCol; }
  THoursTimeFormatKv GetHoursFormat() const { return FHoursFormat; }
  TAmPmPosKv GetAmPmPos() const { return FAmPmPos; }
  // The clock the locale gives; the grid is laid out again when it changed.
  void SetClockSettings(THoursTimeFormatKv HoursFormat, TAmPmPosKv AmPmPos);
  TTimer* GetTimer() const { return FTimer.get(); }
  TGridCoord GetPressedCell() const { return FPressedCell; }
  // The text a cell shows: the values in row 2, "OK" in the OK cell; empty elsewhere.
  String CellText(Integer ACol, Integer ARow);

 protected:
  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) override;
  void DoCellMouseDown(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                       const TPoint& GridMousePos, const TPoint& CellMousePos) override;
  void DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                        const TPoint& GridMousePos, const TPoint& CellMousePos) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  bool DoMouseWheelDown(TShiftState Shift, const TPoint& MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, const TPoint& MousePos) override;
  void WMWinIniChange(TMessage& Message);

 private:
  TTimeCalendarViewColTypeKv ColType(Integer ACol) const;
  bool IsUnitCol(Integer ACol) const;
  void ShowUnitView(TTimeCalendarViewColTypeKv Unit);
  void StepUnit(TTimeCalendarViewColTypeKv Unit, Integer N);
  void SetPickerDate(TDateTime Value);
  void DrawArrow(const TRect& ARect, bool Up);

  TTimeCalendarViewActiveRegionKv FActiveRegion = tcarHoursKv;
  TAmPmPosKv FAmPmPos = appAmPmSuffixKv;
  std::vector<TTimeCalendarViewColTypeKv> FColTypes;
  THoursTimeFormatKv FHoursFormat = htf24hKv;
  Integer FOkButtonCol = 0;
  TTimeCalendarViewPressedButtonTypeKv FPressedButtonType = tcpbtHoursUpKv;
  TGridCoord FPressedCell{-1, -1};
  std::array<TRegionActionKv, 4> FRegionProcList{};
  std::unique_ptr<TTimer> FTimer;
  std::vector<TTimeCalendarViewActiveRegionKv> FVisibleRegions;
  // Which of the six column layouts is in place (-1 none yet); its w-wide columns and the
  // first 12-hour layout's moved pixels follow from it.
  Integer FLayoutKind = -1;
};
