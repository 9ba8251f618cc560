#include "kvlib/foundation/toolctrls/LibManager.h"

#include <cmath>

#include "framework/DateUtils.h"
#include "framework/Themes.h"
#include "framework/WinApi.h"
#include "framework/sysutils/OSVersion.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "kvlib/foundation/toolctrls/Painting.h"

namespace {

constexpr Cardinal WM_THEMECHANGED_KV = 0x031A;

std::unique_ptr<TKvLibManager>& SharedManager() {
  static std::unique_ptr<TKvLibManager> Instance;
  return Instance;
}
std::unique_ptr<TWorkingTimeCalendarKv>& SharedCalendar() {
  static std::unique_ptr<TWorkingTimeCalendarKv> Instance;
  return Instance;
}
std::unique_ptr<TKvLibDrawStyleKv>& SharedDrawStyle() {
  static std::unique_ptr<TKvLibDrawStyleKv> Instance;
  return Instance;
}

Integer EvenEight(Double Scale) {
  Integer V = RoundEvenKv(8 * Scale);
  return (V & 1) ? V - 1 : V;
}
Integer OddNine(Double Scale) {
  Integer V = RoundEvenKv(9 * Scale);
  return (V & 1) ? V : V - 1;
}

// The default style is the classic one; the themed one needs the theme's header arrows.
TSortMarkerStyleKv EffectiveStyle(TSortMarkerStyleKv SMStyle) {
  if (SMStyle == smstDefaultKv) return smstClassicKv;
  if (SMStyle == smstThemeDefinedKv && !TOSVersion::Check(6)) return smstFrameKv;
  return SMStyle;
}

void Line(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  Canvas->MoveTo(X1, Y1);
  Canvas->LineTo(X2, Y2);
}

}  // namespace

// ---- Library manager --------------------------------------------------------------------------

TKvLibManager::TKvLibManager() : FUseAlphaFormatInAlphaBlend(ThemesEnabledKv()) {}

void TKvLibManager::SetDateTimeCalendarPickerHighlightHolidays(bool Value) {
  if (FDateTimeCalendarPickerHighlightHolidays == Value) return;
  FDateTimeCalendarPickerHighlightHolidays = Value;
  PostMessageOnce(WM_THEMECHANGED_KV, 0, 0);
}

void TKvLibManager::SetWeekWorkingDays(TWeekDaysKv Value) {
  if (FWeekWorkingDays == Value) return;
  FWeekWorkingDays = Value;
  PostMessageOnce(WM_THEMECHANGED_KV, 0, 0);
}

// ---- Working-time calendar --------------------------------------------------------------------

bool TWorkingTimeCalendarKv::IsWorkday(TDateTime ADate) {
  // DayOfTheWeek counts Monday 1 to Sunday 7.
  auto Day = TWeekDayKv(DayOfTheWeek(ADate) - 1);
  return KvLibManager()->GetWeekWorkingDays().Contains(Day);
}

void TWorkingTimeCalendarKv::GetWorkingTime(TDateTime, TTimeRangesKv& ATimeRanges) {
  ATimeRanges.assign(1, TTimeRangeKv{EncodeTime(8, 0, 0, 0), EncodeTime(17, 0, 0, 0)});
}

// ---- Sort markers -----------------------------------------------------------------------------

TSize SortMarkerSizeAtScale(TSortMarkerStyleKv SMStyle, Double Scale) {
  Integer E8 = EvenEight(Scale), O9 = OddNine(Scale);
  switch (EffectiveStyle(SMStyle)) {
    case smstClassicKv:
    case smstFrameKv: return TSize(E8 - 1, E8);
    case smst3DFrameKv: return TSize(E8, E8);
    case smstSolidKv: return TSize(O9, O9 / 2 + 1);
    default: return TSize(-1, -1);
  }
}

TSize TSortMarkerPainterKv::GetSorMarkerSize(TCanvas* Canvas, TSortMarkerStyleKv SMStyle) {
  TSortMarkerStyleKv Style = EffectiveStyle(SMStyle);
  if (Style == smstThemeDefinedKv) {
    TSize S;
    TCustomStyleServices* Services = StyleServices();
    Canvas->RequiredState(TCanvasState{csHandleValid});
    if (Services->GetElementSize(Canvas->GetHandle(), Services->GetElementDetails(thHeaderSortArrowSortedUp),
                                 esActual, S))
      return TSize(S.cx - 2, S.cy + 1);
    return TSize(-1, -1);
  }
  return SortMarkerSizeAtScale(Style, GetCanvasScaleFactor(Canvas));
}

void TSortMarkerPainterKv::Draw(TCanvas* Canvas, TSortMarkerStyleKv SMStyle, TSortMarkerKv Direction,
                                const TRect& ARect, TColor, TColor FrameDarkColor, TColor FillColor) {
  if (Direction == smNoneKv) return;
  TSortMarkerStyleKv Style = EffectiveStyle(SMStyle);
  TPen* Pen = Canvas->GetPen();
  TColor SavedPen = Pen->GetColor();
  Double Scale = Style == smstThemeDefinedKv ? 1.0 : GetCanvasScaleFactor(Canvas);
  Integer L = ARect.Left, T = ARect.Top;
  bool Up = Direction == smUpKv;
  switch (Style) {
    case smstClassicKv:
    case smstFrameKv: {
      Integer B = EvenEight(Scale), C = B / 2;
      Pen->SetColor(FrameDarkColor == clDefault ? MixColors(clGray, cl3DDkShadow, 50) : FrameDarkColor);
      if (Up) {
        Line(Canvas, L, T + B - 1, L + B - 1, T + B - 1);
        Line(Canvas, L + C - 1, T, L, T + B - 1);
        Line(Canvas, L + C - 1, T, L + B - 2, T + B - 1);
      } else {
        Line(Canvas, L, T, L + B - 1, T);
        Line(Canvas, L, T, L + C, T + B);
        Line(Canvas, L + B - 2, T, L + C - 1, T + B - 1);
      }
      break;
    }
    case smst3DFrameKv: {
      Integer B = EvenEight(Scale), C = B / 2;
      TColor Light = GetStyledSystemColor(clWindow);
      if (Up) {
        Pen->SetColor(Light);
        Line(Canvas, L, T + B - 1, L + B, T + B - 1);
        Line(Canvas, L + C, T, L + B, T + B);
        Pen->SetColor(FrameDarkColor);
        Line(Canvas, L + C - 1, T, L, T + B - 1);
      } else {
        Pen->SetColor(FrameDarkColor);
        Line(Canvas, L, T, L + B, T);
        Line(Canvas, L + C - 1, T + B - 1, L, T);
        Pen->SetColor(Light);
        Line(Canvas, L + C, T + B - 1, L + B - 1, T);
      }
      break;
    }
    case smstSolidKv: {
      Integer B = OddNine(Scale), N = B / 2;
      std::vector<TPoint> Lines;
      for (Integer I = 0; I <= N; ++I) {
        Integer Y = Up ? T + N - I : T + I;
        Lines.push_back(TPoint(L + I, Y));
        Lines.push_back(TPoint(L + B - I, Y));
      }
      DrawGradientLines(Canvas, TPoint(0, 0), Lines, FillColor, FillColor);
      break;
    }
    case smstThemeDefinedKv: {
      TCustomStyleServices* Services = StyleServices();
      Canvas->RequiredState(TCanvasState{csHandleValid});
      auto D = Services->GetElementDetails(Up ? thHeaderSortArrowSortedUp : thHeaderSortArrowSortedDown);
      Services->DrawElement(Canvas->GetHandle(), D, ARect);
      break;
    }
    default: break;
  }
  Pen->SetColor(SavedPen);
}

// ---- Draw style -------------------------------------------------------------------------------

TKvLibDrawStyleKv::TKvLibDrawStyleKv() : FSortmarkerPainter(std::make_unique<TSortMarkerPainterKv>()) {}

TKvLibDrawStyleKv::~TKvLibDrawStyleKv() = default;

void TKvLibDrawStyleKv::SetSortmarkerPainter(TSortMarkerPainterKv* Value) {
  if (Value == FSortmarkerPainter.get()) return;
  FSortmarkerPainter.reset(Value);
}

// ---- Family-wide instances --------------------------------------------------------------------

TKvLibManager* KvLibManager() {
  if (!SharedManager()) SharedManager() = std::make_unique<TKvLibManager>();
  return SharedManager().get();
}

TWorkingTimeCalendarKv* WorkingTimeCalendar() {
  if (!SharedCalendar()) SharedCalendar().reset(new TWorkingTimeCalendarKv(nullptr));
  return SharedCalendar().get();
}

TKvLibDrawStyleKv* KvLibDrawStyle() {
  if (!SharedDrawStyle()) SharedDrawStyle() = std::make_unique<TKvLibDrawStyleKv>();
  return SharedDrawStyle().get();
}

TKvLibManager* SetKvLibManager(TKvLibManager* Manager) {
  TKvLibManager* Previous = SharedManager().release();
  SharedManager().reset(Manager);
  return Previous;
}

TWorkingTimeCalendarKv* SetWorkingTimeCalendar(TWorkingTimeCalendarKv* Calendar) {
  TWorkingTimeCalendarKv* Previous = SharedCalendar().release();
  SharedCalendar().reset(Calendar);
  return Previous;
}

TKvLibDrawStyleKv* SetKvLibDrawStyle(TKvLibDrawStyleKv* DrawStyle) {
  TKvLibDrawStyleKv* Previous = SharedDrawStyle().release();
  SharedDrawStyle().reset(DrawStyle);
  return Previous;
}
