#pragma once
// Actions: a command with its caption, enabling, hint, shortcut and handler, shared by the
// controls linked to it (action links keep them in step), grouped in action lists.

#include <memory>
#include <vector>

#include "framework/classes/Component.h"
#include "framework/menus/ShortCut.h"

class TBasicAction;
class TCustomActionList;
class TControl;

class TBasicActionLink : public TObject {
  DECLARE_CLASS(TBasicActionLink, TObject)
 public:
  explicit TBasicActionLink(TObject* AClient) { (void)AClient; }
  ~TBasicActionLink() override;
  virtual bool Execute(TComponent* AComponent = nullptr);
  virtual bool Update();
  TBasicAction* GetAction() const { return FAction; }
  virtual void SetAction(TBasicAction* Value);
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

 protected:
  friend class TBasicAction;
  virtual void Change();

  TComponentRef<TBasicAction> FAction;  // null once the action is freed
  TNotifyEvent FOnChange;
};

class TBasicAction : public TComponent {
  DECLARE_CLASS(TBasicAction, TComponent)
 public:
  explicit TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}
  ~TBasicAction() override { Teardown(); }
  // Fires OnExecute (through the action list first); false when nobody handled it.
  virtual bool Execute();
  virtual bool Update();
  virtual bool HandlesTarget(TObject* Target) { (void)Target; return false; }
  virtual void ExecuteTarget(TObject* Target) { (void)Target; }
  virtual void UpdateTarget(TObject* Target) { (void)Target; }
  void RegisterChanges(TBasicActionLink* Value);
  void UnRegisterChanges(TBasicActionLink* Value);
  TComponent* GetActionComponent() const { return FActionComponent; }
  void SetActionComponent(TComponent* Value) { FActionComponent = Value; }
  TNotifyEvent GetOnExecute() const { return FOnExecute; }
  void SetOnExecute(const TNotifyEvent& Value);
  TNotifyEvent GetOnUpdate() const { return FOnUpdate; }
  void SetOnUpdate(const TNotifyEvent& Value) { FOnUpdate = Value; }
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

 protected:
  virtual void Change();
  // Tells the links the action is going and forgets them (it no longer hears them unregister).
  void DestroyContents() override;

  std::vector<TBasicActionLink*> FClients;
  TComponentRef<TComponent> FActionComponent;
  TNotifyEvent FOnExecute, FOnUpdate, FOnChange;
};

class TContainedAction : public TBasicAction {
  DECLARE_CLASS(TContainedAction, TBasicAction)
 public:
  explicit TContainedAction(TComponent* AOwner) : TBasicAction(AOwner) {}
  ~TContainedAction() override;
  bool Execute() override;
  bool Update() override;
  TCustomActionList* GetActionList() const { return FActionList; }
  void SetActionList(TCustomActionList* Value);
  String GetCategory() const { return FCategory; }
  void SetCategory(const String& Value) { FCategory = Value; }
  Integer GetIndex() const;
  bool HasParent() const override { return FActionList != nullptr; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* AParent) override;

 protected:
  friend class TCustomActionList;
  TComponentRef<TCustomActionList> FActionList;
  String FCategory;
};

class TCustomAction : public TContainedAction {
  DECLARE_CLASS(TCustomAction, TContainedAction)
 public:
  explicit TCustomAction(TComponent* AOwner) : TContainedAction(AOwner) {}
  bool Execute() override;
  String GetCaption() const { return FCaption; }
  void SetCaption(const String& Value);
  bool GetChecked() const { return FChecked; }
  void SetChecked(bool Value);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  String GetHint() const { return FHint; }
  void SetHint(const String& Value);
  TShortCut GetShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  bool GetAutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool Value) { FAutoCheck = Value; }
  Integer GetGroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(Integer Value) { FGroupIndex = Value; }
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  Integer GetHelpContext() const { return FHelpContext; }
  void SetHelpContext(Integer Value) { FHelpContext = Value; }
  // The action is being streamed in: its changes are not pushed to clients yet.
  bool GetLoading() const { return GetComponentState().Contains(csLoading); }

 private:
  String FCaption, FHint;
  bool FChecked = false, FEnabled = true, FVisible = true, FAutoCheck = false;
  TShortCut FShortCut = 0;
  Integer FGroupIndex = 0, FImageIndex = -1, FHelpContext = 0;
};

class TAction : public TCustomAction {
  DECLARE_CLASS(TAction, TCustomAction)
 public:
  explicit TAction(TComponent* AOwner) : TCustomAction(AOwner) {}

  PUBLISHED_DECL(TAction);
};

using TActionEvent = Closure<void(TBasicAction* Action, bool& Handled)>;

class TCustomActionList : public TComponent {
  DECLARE_CLASS(TCustomActionList, TComponent)
 public:
  explicit TCustomActionList(TComponent* AOwner) : TComponent(AOwner) {}
  // Its own actions go while their list is whole: each leaves it as it goes.
  ~TCustomActionList() override { Teardown(); }
  // Offers the action to OnExecute/OnUpdate; true when the list handled it.
  virtual bool ExecuteAction(TBasicAction* Action);
  virtual bool UpdateAction(TBasicAction* Action);
  bool IsShortCut(TShortCut ShortCut);
  Integer GetActionCount() const { return Integer(FActions.size()); }
  TContainedAction* GetAction(Integer Index) const { return FActions.at(Index); }
  bool GetState() const { return FEnabled; }
  void SetState(bool Value) { FEnabled = Value; }
  TActionEvent GetOnExecute() const { return FOnExecute; }
  void SetOnExecute(const TActionEvent& Value) { FOnExecute = Value; }
  TActionEvent GetOnUpdate() const { return FOnUpdate; }
  void SetOnUpdate(const TActionEvent& Value) { FOnUpdate = Value; }
  void GetChildren(TGetChildProc Proc, TComponent* Root) override;

  PUBLISHED_DECL(TCustomActionList);

 private:
  friend class TContainedAction;
  std::vector<TContainedAction*> FActions;
  bool FEnabled = true;
  TActionEvent FOnExecute, FOnUpdate;
};

class TActionList : public TCustomActionList {
  DECLARE_CLASS(TActionList, TCustomActionList)
 public:
  explicit TActionList(TComponent* AOwner) : TCustomActionList(AOwner) {}
};

// The link between an action and a client: which of the client's properties follow the action.
class TActionLink : public TBasicActionLink {
  DECLARE_CLASS(TActionLink, TBasicActionLink)
 public:
  using TBasicActionLink::TBasicActionLink;
  virtual bool IsCaptionLinked() const;
  virtual bool IsCheckedLinked() const;
  virtual bool IsEnabledLinked() const;
  virtual bool IsHintLinked() const;
  virtual bool IsShortCutLinked() const;
  virtual bool IsVisibleLinked() const;
  virtual bool IsOnExecuteLinked() const;
  virtual void SetCaption(const String&) {}
  virtual void SetChecked(bool) {}
  virtual void SetEnabled(bool) {}
  virtual void SetHint(const String&) {}
  virtual void SetShortCut(TShortCut) {}
  virtual void SetVisible(bool) {}
  virtual void SetOnExecute(const TNotifyEvent&) {}
};

// A control's link: caption, enabling, hint and visibility follow the action; a click executes it.
class TControlActionLink : public TActionLink {
  DECLARE_CLASS(TControlActionLink, TActionLink)
 public:
  explicit TControlActionLink(TControl* AClient) : TActionLink(nullptr), FClient(AClient) {}
  bool IsCaptionLinked() const override;
  bool IsEnabledLinked() const override;
  bool IsHintLinked() const override;
  bool IsVisibleLinked() const override;
  bool IsOnExecuteLinked() const override;
  void SetCaption(const String& Value) override;
  void SetEnabled(bool Value) override;
  void SetHint(const String& Value) override;
  void SetVisible(bool Value) override;
  void SetOnExecute(const TNotifyEvent& Value) override;

 protected:
  TControl* FClient;
};
