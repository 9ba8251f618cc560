#include "framework/ActnList.h"

#include <algorithm>

#include "framework/Controls.h"

// ---- TBasicActionLink -------------------------------------------------------------------------

TBasicActionLink::~TBasicActionLink() {
  if (FAction) FAction->UnRegisterChanges(this);
}

bool TBasicActionLink::Execute(TComponent* AComponent) {
  if (!FAction) return false;
  FAction->SetActionComponent(AComponent);
  struct TReset {  // the handler may free the action
    TComponentRef<TBasicAction> A;
    ~TReset() {
      if (A) A->SetActionComponent(nullptr);
    }
  } Reset{TComponentRef<TBasicAction>(FAction)};
  return FAction->Execute();
}

bool TBasicActionLink::Update() { return FAction && FAction->Update(); }

void TBasicActionLink::SetAction(TBasicAction* Value) {
  if (FAction == Value) return;
  if (FAction) FAction->UnRegisterChanges(this);
  FAction = Value;
  if (Value) Value->RegisterChanges(this);
}

void TBasicActionLink::Change() { DoEvent(FOnChange, FAction); }

// ---- TBasicAction -----------------------------------------------------------------------------

void TBasicAction::DestroyContents() {
  std::vector<TBasicActionLink*> Clients;
  Clients.swap(FClients);
  for (TBasicActionLink* L : Clients) L->Change();
  inherited::DestroyContents();
}

bool TBasicAction::Execute() {
  if (!FOnExecute) return false;
  FOnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!FOnUpdate) return false;
  FOnUpdate(this);
  return true;
}

void TBasicAction::RegisterChanges(TBasicActionLink* Value) { FClients.push_back(Value); }

void TBasicAction::UnRegisterChanges(TBasicActionLink* Value) {
  FClients.erase(std::remove(FClients.begin(), FClients.end(), Value), FClients.end());
}

void TBasicAction::SetOnExecute(const TNotifyEvent& Value) {
  if (FOnExecute == Value) return;
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients))
    if (auto* AL = dynamic_cast<TActionLink*>(L)) AL->SetOnExecute(Value);
  FOnExecute = Value;
  Change();
}

void TBasicAction::Change() {
  DoEvent(FOnChange, this);
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients)) L->Change();
}

// ---- TContainedAction -------------------------------------------------------------------------

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TCustomActionList* Value) {
  if (FActionList == Value) return;
  if (FActionList) {
    auto& L = FActionList->FActions;
    L.erase(std::remove(L.begin(), L.end(), this), L.end());
  }
  FActionList = Value;
  if (Value) Value->FActions.push_back(this);
}

TComponent* TContainedAction::GetParentComponent() const { return FActionList; }

void TContainedAction::SetParentComponent(TComponent* AParent) {
  if (auto* List = dynamic_cast<TCustomActionList*>(AParent)) SetActionList(List);
}

Integer TContainedAction::GetIndex() const {
  if (!FActionList) return -1;
  auto& L = FActionList->FActions;
  auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : Integer(It - L.begin());
}

bool TContainedAction::Execute() {
  if (FActionList && FActionList->ExecuteAction(this)) return true;
  return inherited::Execute();
}

bool TContainedAction::Update() {
  if (FActionList && FActionList->UpdateAction(this)) return true;
  return inherited::Update();
}

// ---- TCustomAction ----------------------------------------------------------------------------

bool TCustomAction::Execute() {
  Update();
  if (!FEnabled) return false;
  if (FAutoCheck) SetChecked(!FChecked);
  return inherited::Execute();
}

void TCustomAction::SetCaption(const String& Value) {
  if (FCaption == Value) return;
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients))
    if (auto* AL = dynamic_cast<TActionLink*>(L)) AL->SetCaption(Value);
  FCaption = Value;
  Change();
}

void TCustomAction::SetChecked(bool Value) {
  if (FChecked == Value) return;
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients))
    if (auto* AL = dynamic_cast<TActionLink*>(L)) AL->SetChecked(Value);
  FChecked = Value;
  // Checking one action of a group unchecks the others of that group in the same list.
  if (Value && FGroupIndex > 0 && FActionList)
    for (Integer I = 0; I < FActionList->GetActionCount(); ++I)
      if (auto* A = dynamic_cast<TCustomAction*>(FActionList->GetAction(I)); A && A != this && A->FGroupIndex == FGroupIndex)
        A->SetChecked(false);
  Change();
}

void TCustomAction::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients))
    if (auto* AL = dynamic_cast<TActionLink*>(L)) AL->SetEnabled(Value);
  FEnabled = Value;
  Change();
}

void TCustomAction::SetHint(const String& Value) {
  if (FHint == Value) return;
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients))
    if (auto* AL = dynamic_cast<TActionLink*>(L)) AL->SetHint(Value);
  FHint = Value;
  Change();
}

void TCustomAction::SetShortCut(TShortCut Value) {
  if (FShortCut == Value) return;
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients))
    if (auto* AL = dynamic_cast<TActionLink*>(L)) AL->SetShortCut(Value);
  FShortCut = Value;
  Change();
}

void TCustomAction::SetVisible(bool Value) {
  if (FVisible == Value) return;
  for (TBasicActionLink* L : std::vector<TBasicActionLink*>(FClients))
    if (auto* AL = dynamic_cast<TActionLink*>(L)) AL->SetVisible(Value);
  FVisible = Value;
  Change();
}

void TCustomAction::SetImageIndex(Integer Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  Change();
}

// ---- TCustomActionList ------------------------------------------------------------------------

PUBLISHED_DEF(TCustomActionList) {
  EVENT(OnExecute);
  EVENT(OnUpdate);
}

void TCustomActionList::GetChildren(TGetChildProc Proc, TComponent* Root) {
  for (TContainedAction* A : FActions)
    if (A->GetOwner() == Root) Proc(A);
}

bool TCustomActionList::ExecuteAction(TBasicAction* Action) {
  bool Handled = false;
  if (FEnabled && FOnExecute) FOnExecute(Action, Handled);
  return Handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* Action) {
  bool Handled = false;
  if (FEnabled && FOnUpdate) FOnUpdate(Action, Handled);
  return Handled;
}

bool TCustomActionList::IsShortCut(TShortCut ShortCut) {
  for (TContainedAction* A : std::vector<TContainedAction*>(FActions))
    if (auto* CA = dynamic_cast<TCustomAction*>(A); CA && CA->GetShortCut() == ShortCut && ShortCut != 0) {
      CA->Update();
      return CA->GetEnabled() && CA->Execute();
    }
  return false;
}

// ---- TActionLink ------------------------------------------------------------------------------

bool TActionLink::IsCaptionLinked() const { return dynamic_cast<TCustomAction*>(FAction.Get()) != nullptr; }
bool TActionLink::IsCheckedLinked() const { return dynamic_cast<TCustomAction*>(FAction.Get()) != nullptr; }
bool TActionLink::IsEnabledLinked() const { return dynamic_cast<TCustomAction*>(FAction.Get()) != nullptr; }
bool TActionLink::IsHintLinked() const { return dynamic_cast<TCustomAction*>(FAction.Get()) != nullptr; }
bool TActionLink::IsShortCutLinked() const { return dynamic_cast<TCustomAction*>(FAction.Get()) != nullptr; }
bool TActionLink::IsVisibleLinked() const { return dynamic_cast<TCustomAction*>(FAction.Get()) != nullptr; }
bool TActionLink::IsOnExecuteLinked() const { return FAction != nullptr; }

// ---- TControlActionLink -----------------------------------------------------------------------

bool TControlActionLink::IsCaptionLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetCaption() == A->GetCaption();
}
bool TControlActionLink::IsEnabledLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetEnabled() == A->GetEnabled();
}
bool TControlActionLink::IsHintLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetHint() == A->GetHint();
}
bool TControlActionLink::IsVisibleLinked() const {
  auto* A = dynamic_cast<TCustomAction*>(FAction.Get());
  return A && FClient->GetVisible() == A->GetVisible();
}
bool TControlActionLink::IsOnExecuteLinked() const { return FAction && FClient->GetOnClick() == FAction->GetOnExecute(); }
void TControlActionLink::SetCaption(const String& Value) {
  if (IsCaptionLinked()) FClient->SetCaption(Value);
}
void TControlActionLink::SetEnabled(bool Value) {
  if (IsEnabledLinked()) FClient->SetEnabled(Value);
}
void TControlActionLink::SetHint(const String& Value) {
  if (IsHintLinked()) FClient->SetHint(Value);
}
void TControlActionLink::SetVisible(bool Value) {
  if (IsVisibleLinked()) FClient->SetVisible(Value);
}
void TControlActionLink::SetOnExecute(const TNotifyEvent& Value) {
  if (IsOnExecuteLinked()) FClient->SetOnClick(Value);
}

PUBLISHED_DEF(TAction) {
  PROP(Category);
  PROP(Caption);
  PROP(Checked).Default(false);
  PROP(Enabled).Default(true);
  PROP(Hint);
  PROP(ShortCut).Default(0);
  PROP(Visible).Default(true);
  PROP(AutoCheck).Default(false);
  PROP(GroupIndex).Default(0);
  PROP(ImageIndex).Default(-1);
  PROP(HelpContext).Default(0);
  EVENT(OnExecute);
  EVENT(OnUpdate);
}
