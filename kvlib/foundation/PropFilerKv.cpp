#include "kvlib/foundation/PropFilerKv.h"

#include <algorithm>
#include <vector>

#include "framework/WinApi.h"

namespace {

// Parallel lists: the interceptor class at each position serves the target class there.
struct TInterceptorRegistry {
  std::vector<TClass> Interceptors;
  std::vector<TClass> Targets;
};

TInterceptorRegistry& Registry() {
  static TInterceptorRegistry R = [] {
    TInterceptorRegistry Initial;
    Initial.Targets.push_back(TCustomForm::StaticClass());
    Initial.Interceptors.push_back(TFormStoragePropertyInterceptor::StaticClass());
    return Initial;
  }();
  return R;
}

Integer ScaleValue(Integer Value, Integer M, Integer D) {
  return Integer(MulDiv(Value, M, D));
}

}  // namespace

void RegisterStoragePropertyInterceptor(TClass TargetClass, TStoragePropertyInterceptorClass InterceptorClass) {
  TInterceptorRegistry& R = Registry();
  for (Integer I = Integer(R.Targets.size()) - 1; I >= 0; --I)
    if (R.Targets[I] == TargetClass) UnregisterStoragePropertyInterceptor(TargetClass, R.Interceptors[I]);
  R.Targets.push_back(TargetClass);
  R.Interceptors.push_back(InterceptorClass);
}

void UnregisterStoragePropertyInterceptor(TClass TargetClass, TStoragePropertyInterceptorClass InterceptorClass) {
  TInterceptorRegistry& R = Registry();
  for (Integer I = Integer(R.Targets.size()) - 1; I >= 0; --I)
    if (R.Targets[I] == TargetClass && R.Interceptors[I] == TClass(InterceptorClass)) {
      R.Targets.erase(R.Targets.begin() + I);
      R.Interceptors.erase(R.Interceptors.begin() + I);
    }
}

TStoragePropertyInterceptorClass FindStoragePropertyInterceptorClass(TClass AClass) {
  TInterceptorRegistry& R = Registry();
  for (TClass C = AClass; C; C = C->ClassParent())
    for (size_t I = 0; I < R.Targets.size(); ++I)
      if (R.Targets[I] == C) return R.Interceptors[I];
  return nullptr;
}

TRect GetFormNormalBounds(TCustomForm* Form) {
  if (Form->GetWindowState() != wsNormal && Form->HandleAllocated()) {
    WINDOWPLACEMENT P{};
    P.length = sizeof(P);
    if (GetWindowPlacement(Form->GetHandle(), &P)) {
      const RECT& N = P.rcNormalPosition;
      return TRect(N.left, N.top, N.right, N.bottom);
    }
  }
  return TRect(Form->GetLeft(), Form->GetTop(), Form->GetLeft() + Form->GetWidth(), Form->GetTop() + Form->GetHeight());
}

TRect BringRectOntoWorkArea(const TRect& R) {
  RECT Native{R.Left, R.Top, R.Right, R.Bottom};
  if (MonitorFromRect(&Native, MONITOR_DEFAULTTONULL)) return R;
  MONITORINFO Info{};
  Info.cbSize = sizeof(Info);
  if (!GetMonitorInfoW(MonitorFromRect(&Native, MONITOR_DEFAULTTONEAREST), &Info)) return R;
  const TRect Area(Info.rcWork.left, Info.rcWork.top, Info.rcWork.right, Info.rcWork.bottom);
  const Integer W = std::min(R.Width(), Area.Width()), H = std::min(R.Height(), Area.Height());
  const Integer Left = std::clamp(R.Left, Area.Left, Area.Right - W);
  const Integer Top = std::clamp(R.Top, Area.Top, Area.Bottom - H);
  return TRect(Left, Top, Left + W, Top + H);
}

// ---- TFormStoragePropertyInterceptor ------------------------------------------------------------

TFormStoragePropertyInterceptor::TFormStoragePropertyInterceptor(TObject* ATarget)
    : TStoragePropertyInterceptor(ATarget) {
  if (TCustomForm* Form = TargetForm()) {
    const TRect B = GetFormNormalBounds(Form);
    FLeft = B.Left;
    FTop = B.Top;
    FWidth = B.Width();
    FHeight = B.Height();
    FWindowState = Form->GetWindowState();
    FActiveControl = Form->GetActiveControl();
  }
  FPixelsPerInch = CurrentPixelsPerInch();
}

PUBLISHED_DEF(TFormStoragePropertyInterceptor) {
  PROP_WRITEONLY(ActiveControl);
  PROP(Height);
  PROP(Left);
  PROP(PixelsPerInch);
  PROP(Top);
  PROP(Width);
  PROP_WRITEONLY(WindowState);
}

Integer TFormStoragePropertyInterceptor::CurrentPixelsPerInch() const {
  return Screen ? Screen->GetPixelsPerInch() : 96;
}

Integer TFormStoragePropertyInterceptor::GetHeight() const {
  TCustomForm* Form = TargetForm();
  return Form ? GetFormNormalBounds(Form).Height() : 0;
}

Integer TFormStoragePropertyInterceptor::GetLeft() const {
  TCustomForm* Form = TargetForm();
  return Form ? GetFormNormalBounds(Form).Left : 0;
}

void TFormStoragePropertyInterceptor::SetLeft(Integer Value) {
  FLeft = Value;
  FPosPresent = true;
}

Integer TFormStoragePropertyInterceptor::GetTop() const {
  TCustomForm* Form = TargetForm();
  return Form ? GetFormNormalBounds(Form).Top : 0;
}

void TFormStoragePropertyInterceptor::SetTop(Integer Value) {
  FTop = Value;
  FPosPresent = true;
}

Integer TFormStoragePropertyInterceptor::GetWidth() const {
  TCustomForm* Form = TargetForm();
  return Form ? GetFormNormalBounds(Form).Width() : 0;
}

void TFormStoragePropertyInterceptor::Readed() {
  // A stored DPI of 0 (missing or damaged) would make every bound -1: keep the values as read.
  const Integer Current = CurrentPixelsPerInch();
  if (FPixelsPerInch > 0 && Current > 0 && FPixelsPerInch != Current) {
    FHeight = ScaleValue(FHeight, Current, FPixelsPerInch);
    FLeft = ScaleValue(FLeft, Current, FPixelsPerInch);
    FTop = ScaleValue(FTop, Current, FPixelsPerInch);
    FWidth = ScaleValue(FWidth, Current, FPixelsPerInch);
  }
  TCustomForm* Form = TargetForm();
  if (!Form) return;
  // Settings files are user-editable and may hold anything: a size below the form's smallest
  // (none at all, negative) or beyond any screen, a place so far out that the right edge passes
  // the integer range. Sizes are kept between the form's smallest and 16384 pixels and places
  // within reach of that, before bounds that no monitor shows (a monitor since removed, which
  // would leave the window out of reach) come onto the nearest work area.
  constexpr Int64 Largest = 16384, Farthest = Int64(1) << 24;
  const Int64 MinWidth = std::max<Int64>(Form->GetConstraints()->GetMinWidth(), GetSystemMetrics(SM_CXMINTRACK));
  const Int64 MinHeight = std::max<Int64>(Form->GetConstraints()->GetMinHeight(), GetSystemMetrics(SM_CYMINTRACK));
  FWidth = Integer(std::clamp<Int64>(FWidth, std::min(MinWidth, Largest), Largest));
  FHeight = Integer(std::clamp<Int64>(FHeight, std::min(MinHeight, Largest), Largest));
  FLeft = Integer(std::clamp<Int64>(FLeft, -Farthest, Farthest));
  FTop = Integer(std::clamp<Int64>(FTop, -Farthest, Farthest));
  const TRect B = BringRectOntoWorkArea(TRect(FLeft, FTop, FLeft + FWidth, FTop + FHeight));
  FLeft = B.Left;
  FTop = B.Top;
  FWidth = B.Width();
  FHeight = B.Height();

  Form->SetWindowState(FWindowState);
  if (FActiveControl) Form->SetActiveControl(FActiveControl);
  if (Form->GetWindowState() != wsNormal) {
    WINDOWPLACEMENT P{};
    P.length = sizeof(P);
    HWND Wnd = Form->GetHandle();
    if (GetWindowPlacement(Wnd, &P)) {
      P.rcNormalPosition = RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
      if (!IsWindowVisible(Wnd)) P.showCmd = SW_HIDE;  // only the restored place changes
      SetWindowPlacement(Wnd, &P);
    }
  } else {
    Form->SetBounds(FLeft, FTop, FWidth, FHeight);
  }
  // The stored place wins over centring; no window is recreated for it.
  if ((Form->GetPosition() == poScreenCenter || Form->GetPosition() == poDesktopCenter) &&
      !Form->GetComponentState().Contains(csDesigning) && FPosPresent)
    Form->SetPosition(poDesigned);
}
