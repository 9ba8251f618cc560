#pragma once
// Storage through a substitute: an interceptor publishes the properties of its target that are
// worth keeping, in the form they should be kept. A registry maps target classes to interceptor
// classes; forms are registered from the start with an interceptor that keeps their restored
// bounds in the pixels of the DPI they were taken at, their window state and active control.

#include "framework/Classes.h"
#include "framework/Forms.h"

class TStoragePropertyInterceptor : public TPersistent {
  DECLARE_CLASS(TStoragePropertyInterceptor, TPersistent)
 public:
  using TCtorArgs = ::TCtorArgs<TObject*>;
  explicit TStoragePropertyInterceptor(TObject* ATarget) : FTarget(ATarget) {}
  virtual bool NeedIntercept() { return true; }
  // Called once the interceptor's properties were read back.
  virtual void Readed() {}
  TObject* GetTarget() const { return FTarget; }

 protected:
  TObject* FTarget;  // not owned
};

using TStoragePropertyInterceptorClass = TClassRef<TStoragePropertyInterceptor>;

// A later registration for the same target class replaces the earlier one.
void RegisterStoragePropertyInterceptor(TClass TargetClass, TStoragePropertyInterceptorClass InterceptorClass);
void UnregisterStoragePropertyInterceptor(TClass TargetClass, TStoragePropertyInterceptorClass InterceptorClass);
// The interceptor class of AClass or of its nearest registered ancestor; null when none.
TStoragePropertyInterceptorClass FindStoragePropertyInterceptorClass(TClass AClass);

class TFormStoragePropertyInterceptor : public TStoragePropertyInterceptor {
  DECLARE_CLASS(TFormStoragePropertyInterceptor, TStoragePropertyInterceptor)
 public:
  // Captures the form's restored bounds, the screen's DPI, the window state and active control.
  explicit TFormStoragePropertyInterceptor(TObject* ATarget);

  // Rescales the bounds read back to the current DPI, keeps the size between the form's smallest
  // (its constraints, at least the system's) and 16384 pixels, brings bounds that no monitor shows
  // onto the nearest work area, and applies them with the window state and active control.
  void Readed() override;

  void SetActiveControl(TWinControl* Value) { FActiveControl = Value; }
  // The target form's restored bounds, live; 0 without a form.
  Integer GetHeight() const;
  void SetHeight(Integer Value) { FHeight = Value; }
  Integer GetLeft() const;
  void SetLeft(Integer Value);
  Integer GetPixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(Integer Value) { FPixelsPerInch = Value; }
  Integer GetTop() const;
  void SetTop(Integer Value);
  Integer GetWidth() const;
  void SetWidth(Integer Value) { FWidth = Value; }
  void SetWindowState(TWindowState Value) { FWindowState = Value; }

  PUBLISHED_DECL(TFormStoragePropertyInterceptor);

 protected:
  TCustomForm* TargetForm() const { return dynamic_cast<TCustomForm*>(FTarget); }
  // The current screen DPI the stored bounds are scaled to.
  virtual Integer CurrentPixelsPerInch() const;

 private:
  TComponentRef<TWinControl> FActiveControl;
  Integer FHeight = 0;
  Integer FLeft = 0;
  Integer FPixelsPerInch = 0;
  bool FPosPresent = false;
  Integer FTop = 0;
  Integer FWidth = 0;
  TWindowState FWindowState = wsNormal;
};

// The form's bounds in the normal (restored) state, also while it is maximised or minimised.
TRect GetFormNormalBounds(TCustomForm* Form);
// R moved (and shrunk when larger) onto the work area of the nearest monitor when no monitor
// shows any of it; otherwise R.
TRect BringRectOntoWorkArea(const TRect& R);
