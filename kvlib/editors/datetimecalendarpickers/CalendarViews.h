#pragma once
// The calendar views (part of the unit DateTimeCalendarPickersKv): small owner-drawn grids that
// show the period around their picker's date as cells (decades, years, months, six weeks of
// days), step the date with the arrow keys and zoom to a finer or coarser view. A view never
// takes the focus: its picker keeps it and passes its key-down on. Everything a view asks of its
// picker goes through ICalendarViewPickerKv, which the picker (the view's owner) implements.

#include <memory>
#include <vector>

#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/grids/GridsKv.h"

class TCustomCalendarViewKv;
class TDaysCalendarViewDayInfoItem;

DECLARE_ENUM(TInteractiveInputMethodKv, iimKeyboardKv, iimMouseKv)
DECLARE_ENUM(TCalendarViewDrawStateItemKv, cvdsSelectedKv, cvdsHotTrackKv, cvdsPressedKv, cvdsNowKv, cvdsHolidayKv)
using TCalendarViewDrawStateKv = Set<TCalendarViewDrawStateItemKv, 8>;

// The thirteen colours every view paints with, copied from its picker before each paint.
class TCustomCalendarViewPaintBufferKv : public TPersistent {
  DECLARE_CLASS(TCustomCalendarViewPaintBufferKv, TPersistent)
 public:
  TColor HolidayFontColor = clRed;
  TColor HolidayOutsidePeriodFontColor = clRed;
  TColor HolidaySelectedFontColor = clRed;
  TColor HotTrackCellBrushColor = clWindow;
  TColor HotTrackCellFontColor = clWindowText;
  TColor InsideHorzFrameColor = clBtnFace;
  TColor InsideVertFrameColor = clBtnFace;
  TColor NormalCellBrushColor = clWindow;
  TColor NormalCellFontColor = clWindowText;
  TColor OutsidePeriodCellFontColor = clGrayText;
  TColor SelectedCellBrushColor = clHighlight;
  TColor SelectedCellFontColor = clHighlightText;
  TColor TodayCellFrameColor = clHighlight;
};

// What the views need from the picker that owns them. The picker shows one view at a time and
// keeps every view on its own date.
class ICalendarViewPickerKv {
 public:
  virtual ~ICalendarViewPickerKv() = default;
  virtual TDateTime GetDateTime() = 0;
  // At once, without animation.
  virtual void SetDateTime(TDateTime Value) = 0;
  // Slides the view when Value leaves the shown period.
  virtual void SetDateTimeAnimated(TDateTime Value) = 0;
  virtual void ShowCalendarView(TCustomCalendarViewKv* View, bool ZoomIn, bool Animated) = 0;
  virtual void NextPeriod(bool Animated) = 0;
  virtual void PriorPeriod(bool Animated) = 0;
  virtual TInteractiveInputMethodKv GetInputMethod() = 0;
  virtual void SetInputMethod(TInteractiveInputMethodKv Value) = 0;
  // Refreshes the picker's own colours and copies them into Buffer.
  virtual void FillViewPaintBuffer(TCustomCalendarViewPaintBufferKv* Buffer) = 0;
  virtual TFont* GetCalendarWeekNoFont() = 0;
  virtual void DrawCalendarViewCellBackgraund(TCustomCalendarViewKv* View, TCanvas* Canvas, const TRect& ARect,
                                              TCalendarViewDrawStateKv State) = 0;
  // The caller owns the item.
  virtual TDaysCalendarViewDayInfoItem* CreateDayInfoItem() = 0;
  virtual void FillDayInfo(TDaysCalendarViewDayInfoItem* Item, TDateTime ADate) = 0;
  virtual void DoDateTimeSelected() = 0;
  virtual void DateTimeElementSelected(Byte Element) = 0;
  // The views the user zooms through, coarsest first.
  virtual std::vector<TCustomCalendarViewKv*> GetCalendarViewList() = 0;
  virtual TCalendarDateTimeUnitsKv GetTimeUnits() = 0;
  virtual TCustomCalendarViewKv* GetDaysView() = 0;
  virtual TCustomCalendarViewKv* GetTimeView() = 0;
  virtual TCustomCalendarViewKv* GetHours24View() = 0;
  virtual TCustomCalendarViewKv* GetHours12View() = 0;
  virtual TCustomCalendarViewKv* GetMinutesView() = 0;
  virtual TCustomCalendarViewKv* GetSecondsView() = 0;
};

class TCustomCalendarViewKv : public TCustomGridKv {
  DECLARE_CLASS(TCustomCalendarViewKv, TCustomGridKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_SYSCOLORCHANGE, TMessage, CMSysColorChange)
    MESSAGE_HANDLER(CM_STYLECHANGED, TMessage, CMStyleChanged)
  END_MESSAGE_MAP

 public:
  // AOwner is the picker; a view owned by anything else shows and steps nothing of a picker.
  explicit TCustomCalendarViewKv(TComponent* AOwner);
  ~TCustomCalendarViewKv() override;

  // ---- New virtual operations, in slot order --------------------------------------------------
  virtual bool SelectNextView(bool Forward, bool Animated);
  virtual void LayoutCells();
  virtual void CalcViewSize(Integer& Width, Integer& Height);
 protected:
  virtual void DateTimeChanged();
  virtual void UpdatePaintBuffer();
  virtual void SetCellCanvasColors(bool HotTrack, bool Selected);
 public:
  virtual void StepHorz(bool Forward);
  virtual void StepVert(bool Forward);
 protected:
  virtual void DateTimeSelected();
 public:
  virtual bool DateInViewRange(TDateTime ADateTime);
  virtual String GetDateInfoText();
  virtual TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime);
  virtual bool ShowTodayInfo();
  virtual bool TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime);

  // The picker forwards its key-down here.
  void KeyDown(Word& Key, TShiftState Shift) override;
  bool CanFocus() override { return false; }
  // Takes the cursor's position now, so that a view shown under a resting mouse does not treat
  // the next move message as movement.
  void ResetMousePos();

  ICalendarViewPickerKv* GetCalendar() const { return FPicker; }
  TDateTime GetDateTime() const { return FDate; }
  void SetDateTime(TDateTime Value);
  bool GetSelectNextViewOnClick() const { return FSelectNextViewOnClick; }
  void SetSelectNextViewOnClick(bool Value) { FSelectNextViewOnClick = Value; }
  TCustomCalendarViewPaintBufferKv* GetPaintBuffer() const { return FPaintBuffer.get(); }
  TPoint GetMousePos() const { return FMousePos; }
  // The text, the selection and whether a cell of the period shows grey; false for a cell that
  // shows none of these. The views that answer paint their cells alike.
  virtual bool GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected, bool& OutsidePeriod);

 protected:
  void Paint() override;
  void Resize() override;
  // The cells take their sizes as soon as there is a window to measure with.
  void CreateWnd() override;
  bool CanHotTrackCell(Integer ACol, Integer ARow) override { return true; }
  void DoCellMouseDown(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                       const TPoint& GridMousePos, const TPoint& CellMousePos) override;
  void DoCellMouseClick(const TGridCoord& Cell, TMouseButton Button, TShiftState Shift, const TRect& ACellRect,
                        const TPoint& GridMousePos, const TPoint& CellMousePos) override;
  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  // The wheel is left to the picker.
  bool DoMouseWheelDown(TShiftState Shift, const TPoint& MousePos) override { return false; }
  bool DoMouseWheelUp(TShiftState Shift, const TPoint& MousePos) override { return false; }
  void CMSysColorChange(TMessage& Message);
  void CMStyleChanged(TMessage& Message);

  // Shared painting of one cell: colours, background, text centred on one line.
  void PaintCellText(const TRect& ARect, TGridDrawState State, const String& Text, bool Selected,
                     TCalendarViewDrawStateKv Extra, TColor FontColor);
  bool IsMouseInput();
  // The picker's date moved by whole months (day cut to the month's length, time kept); the
  // date unchanged when the result leaves the representable years.
  static TDateTime AddMonthsKeepingDate(TDateTime ADateTime, Integer Months);
  // The picker takes the new date, sliding the view when needed; a step that leaves
  // 0001-01-01 .. 9999-12-31 23:59:59.999 changes nothing.
  void StepPickerDate(TDateTime NewDate);
  // ADateTime moved by MSecs; false when either lies outside 0001-01-01 .. 9999-12-31.
  static bool TryIncDateTime(TDateTime ADateTime, Int64 MSecs, TDateTime& Result);
  TDateTime PickerDate();
  void StepPickerMonths(Integer Months);
  void StepPickerMSecs(Int64 MSecs);
  // Widths (or heights) of Count cells sharing Total: remainder pixels to the first ones.
  static std::vector<Integer> ShareLength(Integer Total, Integer Count);

  TDateTime FDate;
  bool FSelectNextViewOnClick = true;
  std::unique_ptr<TCustomCalendarViewPaintBufferKv> FPaintBuffer;
  TPoint FMousePos{-1, -1};

 private:
  ICalendarViewPickerKv* FPicker;  // the owner, which outlives its views
};

class TDecadesCalendarViewKv : public TCustomCalendarViewKv {
  DECLARE_CLASS(TDecadesCalendarViewKv, TCustomCalendarViewKv)
 public:
  explicit TDecadesCalendarViewKv(TComponent* AOwner);
  void StepHorz(bool Forward) override;
  void StepVert(bool Forward) override;
  bool DateInViewRange(TDateTime ADateTime) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;
  bool TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) override;

 public:
  bool GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected, bool& OutsidePeriod) override;
};

class TYearsCalendarViewKv : public TCustomCalendarViewKv {
  DECLARE_CLASS(TYearsCalendarViewKv, TCustomCalendarViewKv)
 public:
  explicit TYearsCalendarViewKv(TComponent* AOwner);
  void StepHorz(bool Forward) override;
  void StepVert(bool Forward) override;
  bool DateInViewRange(TDateTime ADateTime) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;
  bool TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) override;

 public:
  bool GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected, bool& OutsidePeriod) override;
};

class TMonthsCalendarViewKv : public TCustomCalendarViewKv {
  DECLARE_CLASS(TMonthsCalendarViewKv, TCustomCalendarViewKv)
 public:
  explicit TMonthsCalendarViewKv(TComponent* AOwner);
  void StepHorz(bool Forward) override;
  void StepVert(bool Forward) override;
  bool DateInViewRange(TDateTime ADateTime) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;
  bool TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) override;

 public:
  bool GetCellData(Integer ACol, Integer ARow, String& Text, bool& Selected, bool& OutsidePeriod) override;
};

class TDaysCalendarViewDayInfoItem : public TPersistent {
  DECLARE_CLASS(TDaysCalendarViewDayInfoItem, TPersistent)
 public:
  bool GetIsHoliday() const { return FIsHoliday; }
  void SetIsHoliday(bool Value) { FIsHoliday = Value; }

 private:
  bool FIsHoliday = false;
};

class TDaysCalendarViewKv : public TCustomCalendarViewKv {
  DECLARE_CLASS(TDaysCalendarViewKv, TCustomCalendarViewKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_WININICHANGE, TMessage, WMWinIniChange)
    MESSAGE_HANDLER(CM_STYLECHANGED, TMessage, CMStyleChanged)
  END_MESSAGE_MAP

 public:
  static constexpr Integer DayCellCount = 42;
  explicit TDaysCalendarViewKv(TComponent* AOwner);
  ~TDaysCalendarViewKv() override;

  void LayoutCells() override;
  void CalcViewSize(Integer& Width, Integer& Height) override;
  void StepHorz(bool Forward) override;
  void StepVert(bool Forward) override;
  bool DateInViewRange(TDateTime ADateTime) override;
  String GetDateInfoText() override;
  TDateTime GetNextPeriodDate(bool MoveForward, TDateTime ADateTime) override;
  bool TryDateFromCell(const TGridCoord& Cell, TDateTime& ADateTime) override;

  TDateTime GetStartDate() const { return FStartDate; }
  Integer GetFirstWeekDayNum() const { return FFirstWeekDayNum; }
  TDaysCalendarViewDayInfoItem* GetDayInfo(Integer Index) const { return FDatesInfoList[size_t(Index)].get(); }
  // Reads the locale's first day of the week again (0 Monday .. 6 Sunday).
  void UpdateFirstWeekDay() { SetFirstWeekDayNum(GetLocaleFirstDayOfWeek()); }
  void SetFirstWeekDayNum(Integer Value);
  // The first date of a month view: the Monday of the week of the month's first day, moved to the
  // first day of the week.
  static TDateTime CalcStartDate(TDateTime ADate, Integer FirstWeekDayNum);
  // The ISO week of a week row's first date; empty past the last representable date.
  String WeekNoText(Integer ARow);
  String DayNameText(Integer ACol);

 protected:
  virtual TDaysCalendarViewDayInfoItem* CreateDayInfoItem();
  virtual void DrawDayCell(Integer ACol, Integer ARow, TGridDrawState State, const TRect& ARect);
  virtual void DrawDayNameCell(Integer ACol, Integer ARow, TGridDrawState State, const TRect& ARect);
  virtual void DrawWeekNoCell(Integer ACol, Integer ARow, TGridDrawState State, const TRect& ARect);

  void DateTimeChanged() override;
  void DrawCell(Integer ACol, Integer ARow, const TRect& ARect, TGridDrawState State) override;
  void WMWinIniChange(TMessage& Message);
  void CMStyleChanged(TMessage& Message);

 private:
  void FillDayInfos();

  std::vector<std::unique_ptr<TDaysCalendarViewDayInfoItem>> FDatesInfoList;
  Integer FFirstWeekDayNum = 0;
  TDateTime FStartDate;
};
