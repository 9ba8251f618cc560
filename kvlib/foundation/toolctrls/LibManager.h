#pragma once
// The family-wide objects of the unit ToolCtrlsKv that controls consult instead of carrying
// their own copies: the library manager (settings), the working-time calendar and the draw
// style with its sort-marker painter. Each can be replaced by an instance of a descendant.

#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/controls/WinControl.h"

DECLARE_ENUM(TWeekDayKv, wwdMondayKv, wwdTuesdayKv, wwdWednesdayKv, wwdThursdayKv, wwdFridayKv, wwdSaturdayKv,
             wwdSundayKv)
using TWeekDaysKv = Set<TWeekDayKv, 8>;

class TKvLibManager : public TPersistent {
  DECLARE_CLASS(TKvLibManager, TPersistent)
 public:
  TKvLibManager();

  Char GetAltDecimalSeparator() const { return FAltDecimalSeparator; }
  void SetAltDecimalSeparator(Char Value) { FAltDecimalSeparator = Value; }
  // Changing it asks every window to repaint its calendars (a posted theme-changed message).
  bool GetDateTimeCalendarPickerHighlightHolidays() const { return FDateTimeCalendarPickerHighlightHolidays; }
  void SetDateTimeCalendarPickerHighlightHolidays(bool Value);
  // The popup forms the date-time and number edits open; their units install them.
  TWinControlClass GetPopupDateTimePickerClass() const { return FPopupDateTimePickerClass; }
  void SetPopupDateTimePickerClass(TWinControlClass Value) { FPopupDateTimePickerClass = Value; }
  TWinControlClass GetPopupCalculatorClass() const { return FPopupCalculatorClass; }
  void SetPopupCalculatorClass(TWinControlClass Value) { FPopupCalculatorClass = Value; }
  // Changing it asks every window to repaint, as above.
  TWeekDaysKv GetWeekWorkingDays() const { return FWeekWorkingDays; }
  void SetWeekWorkingDays(TWeekDaysKv Value);
  bool GetDateTimeCalendarPickerShowTimeSelectionPage() const { return FDateTimeCalendarPickerShowTimeSelectionPage; }
  void SetDateTimeCalendarPickerShowTimeSelectionPage(bool Value) {
    FDateTimeCalendarPickerShowTimeSelectionPage = Value;
  }
  bool GetUseAlphaFormatInAlphaBlend() const { return FUseAlphaFormatInAlphaBlend; }
  void SetUseAlphaFormatInAlphaBlend(bool Value) { FUseAlphaFormatInAlphaBlend = Value; }

 private:
  Char FAltDecimalSeparator = L'.';
  bool FDateTimeCalendarPickerHighlightHolidays = true;
  TWinControlClass FPopupDateTimePickerClass;
  TWinControlClass FPopupCalculatorClass;
  TWeekDaysKv FWeekWorkingDays{wwdMondayKv, wwdTuesdayKv, wwdWednesdayKv, wwdThursdayKv, wwdFridayKv};
  bool FDateTimeCalendarPickerShowTimeSelectionPage = true;
  bool FUseAlphaFormatInAlphaBlend = false;
};

struct TTimeRangeKv {
  TDateTime StartTime = 0;
  TDateTime FinishTime = 0;
};
using TTimeRangesKv = std::vector<TTimeRangeKv>;

class TWorkingTimeCalendarKv : public TComponent {
  DECLARE_CLASS(TWorkingTimeCalendarKv, TComponent)
 public:
  explicit TWorkingTimeCalendarKv(TComponent* AOwner) : TComponent(AOwner) {}
  // The date's weekday is one of the manager's working days.
  virtual bool IsWorkday(TDateTime ADate);
  // One range, 08:00 to 17:00 (times of day), for every date.
  virtual void GetWorkingTime(TDateTime ADate, TTimeRangesKv& ATimeRanges);
};

DECLARE_ENUM(TSortMarkerStyleKv, smstDefaultKv, smstClassicKv, smst3DFrameKv, smstFrameKv, smstSolidKv,
             smstThemeDefinedKv)
DECLARE_ENUM(TSortMarkerKv, smNoneKv, smDownKv, smUpKv)

// The marker size of the drawn styles at a scale: classic and frame (E8 - 1, E8), 3D frame
// (E8, E8), solid (O9, O9 div 2 + 1), with E8 = round(8 s) made even and O9 = round(9 s) made odd;
// (-1, -1) for the theme-defined and any other style.
TSize SortMarkerSizeAtScale(TSortMarkerStyleKv SMStyle, Double Scale);

class TSortMarkerPainterKv : public TPersistent {
  DECLARE_CLASS(TSortMarkerPainterKv, TPersistent)
 public:
  TSortMarkerPainterKv() = default;
  virtual TSize GetSorMarkerSize(TCanvas* Canvas, TSortMarkerStyleKv SMStyle);
  // ARect's top-left places the marker; the canvas pen colour is kept.
  virtual void Draw(TCanvas* Canvas, TSortMarkerStyleKv SMStyle, TSortMarkerKv Direction, const TRect& ARect,
                    TColor FrameBrightColor, TColor FrameDarkColor, TColor FillColor);
};

class TKvLibDrawStyleKv : public TPersistent {
  DECLARE_CLASS(TKvLibDrawStyleKv, TPersistent)
 public:
  TKvLibDrawStyleKv();
  ~TKvLibDrawStyleKv() override;
  TSortMarkerPainterKv* GetSortmarkerPainter() const { return FSortmarkerPainter.get(); }
  // Frees the painter held and takes Value.
  void SetSortmarkerPainter(TSortMarkerPainterKv* Value);

 private:
  std::unique_ptr<TSortMarkerPainterKv> FSortmarkerPainter;
};

// The family-wide instances, made on first use and freed when the program ends.
TKvLibManager* KvLibManager();
TWorkingTimeCalendarKv* WorkingTimeCalendar();
TKvLibDrawStyleKv* KvLibDrawStyle();
// Install a new instance and hand back the previous one, which the caller then owns.
TKvLibManager* SetKvLibManager(TKvLibManager* Manager);
TWorkingTimeCalendarKv* SetWorkingTimeCalendar(TWorkingTimeCalendarKv* Calendar);
TKvLibDrawStyleKv* SetKvLibDrawStyle(TKvLibDrawStyleKv* DrawStyle);
