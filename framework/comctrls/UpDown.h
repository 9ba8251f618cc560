#pragma once
// TUpDown over the common controls' up-down window: a pair of arrows stepping Position between
// Min and Max, optionally attached to an edit (Associate) whose text shows the position.

#include "framework/controls/WinControl.h"

DECLARE_ENUM(TUDAlignButton, udLeft, udRight)
DECLARE_ENUM(TUDBtnType, btNext, btPrev)

using TUDClickEvent = Closure<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = Closure<void(TObject* Sender, bool& AllowChange)>;

class TUpDown : public TWinControl {
  DECLARE_CLASS(TUpDown, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_NOTIFY, TWMNotify, CNNotify)
    MESSAGE_HANDLER(CN_VSCROLL, TWMVScroll, CNScroll)
  END_MESSAGE_MAP

 public:
  explicit TUpDown(TComponent* AOwner);

  TWinControl* GetAssociate() const { return FAssociate; }
  void SetAssociate(TWinControl* Value);
  TUDAlignButton GetAlignButton() const { return FAlignButton; }
  void SetAlignButton(TUDAlignButton Value);
  bool GetArrowKeys() const { return FArrowKeys; }
  void SetArrowKeys(bool Value);
  Integer GetIncrement() const { return FIncrement; }
  void SetIncrement(Integer Value);
  Integer GetMin() const { return FMin; }
  void SetMin(Integer Value);
  Integer GetMax() const { return FMax; }
  void SetMax(Integer Value);
  Integer GetPosition();
  void SetPosition(Integer Value);
  TUDClickEvent GetOnClick() const { return FOnClick; }
  void SetOnClick(const TUDClickEvent& Value) { FOnClick = Value; }
  TUDChangingEvent GetOnChanging() const { return FOnChanging; }
  void SetOnChanging(const TUDChangingEvent& Value) { FOnChanging = Value; }

  PUBLISHED_DECL(TUpDown);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Loaded() override;
  virtual bool CanChange();
  virtual void Click(TUDBtnType Button);
  void CNNotify(TWMNotify& Message);
  void CNScroll(TWMScroll& Message);

 private:
  void AttachAssociate();
  void ApplyRange();

  TComponentRef<TWinControl> FAssociate;
  TUDAlignButton FAlignButton = udRight;
  bool FArrowKeys = true;
  Integer FIncrement = 1;
  Integer FMin = 0;
  Integer FMax = 100;
  Integer FPosition = 0;
  TUDClickEvent FOnClick;
  TUDChangingEvent FOnChanging;
};
