#pragma once
// The link between an action and a menu item: caption, checking, enabling, hint, shortcut,
// visibility and the click follow the action while the item's own value still equals it.

#include "framework/ActnList.h"
#include "framework/menus/MenuItem.h"

class TMenuActionLink : public TActionLink {
  DECLARE_CLASS(TMenuActionLink, TActionLink)
 public:
  explicit TMenuActionLink(TMenuItem* AClient) : TActionLink(AClient), FClient(AClient) {}
  bool IsCaptionLinked() const override;
  bool IsCheckedLinked() const override;
  bool IsEnabledLinked() const override;
  bool IsHintLinked() const override;
  bool IsShortCutLinked() const override;
  bool IsVisibleLinked() const override;
  bool IsOnExecuteLinked() const override;
  void SetCaption(const String& Value) override;
  void SetChecked(bool Value) override;
  void SetEnabled(bool Value) override;
  void SetHint(const String& Value) override;
  void SetShortCut(TShortCut Value) override;
  void SetVisible(bool Value) override;
  void SetOnExecute(const TNotifyEvent& Value) override;

 protected:
  TMenuItem* FClient;
};
