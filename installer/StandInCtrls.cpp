#include "installer/StandInCtrls.h"

#include "framework/StdCtrls.h"

PUBLISHED_DEF(TStandInEditButton) {
  PROP(Hint);
  PROP(ShortCut).Default(0);
  EVENT(OnClick);
}

PUBLISHED_DEF(TStandInButtonEdit) { PROP(EditButtons); }

void RegisterStandInControls() { RegisterClasses({TStandInButtonEdit::StaticClass()}); }

// ---- A button -----------------------------------------------------------------------------------

TStandInEditButton::TStandInEditButton(TCollection* Collection) : TCollectionItem(Collection) {}

void TStandInEditButton::Assign(TPersistent* Source) {
  if (auto* B = dynamic_cast<TStandInEditButton*>(Source)) {
    FHint = B->FHint;
    FShortCut = B->FShortCut;
    FOnClick = B->FOnClick;
    Changed(false);
    return;
  }
  inherited::Assign(Source);
}

void TStandInEditButton::SetHint(const String& Value) {
  if (FHint == Value) return;
  FHint = Value;
  Changed(false);
}

void TStandInEditButton::Click() {
  bool Handled = false;
  DoEvent(FOnClick, this, Handled);
}

// ---- The buttons --------------------------------------------------------------------------------

TStandInEditButtons::TStandInEditButtons(TStandInButtonEdit* Edit)
    : TCollection(TStandInEditButton::StaticClass()), FEdit(Edit) {}

TPersistent* TStandInEditButtons::GetOwner() { return FEdit; }

void TStandInEditButtons::Update(TCollectionItem*) { FEdit->ButtonsChanged(); }

// ---- The edit -----------------------------------------------------------------------------------

namespace {
constexpr Integer ButtonWidth = 21;
}

TStandInButtonEdit::TStandInButtonEdit(TComponent* AOwner)
    : TEdit(AOwner), FEditButtons(std::make_unique<TStandInEditButtons>(this)) {}

TStandInButtonEdit::~TStandInButtonEdit() = default;

TButton* TStandInButtonEdit::GetButtonControl(Integer Index) const {
  return Index >= 0 && Index < Integer(FButtonControls.size()) ? FButtonControls[size_t(Index)] : nullptr;
}

void TStandInButtonEdit::ButtonsChanged() {
  if (GetComponentState().Contains(csLoading) || GetComponentState().Contains(csDestroying)) return;
  while (Integer(FButtonControls.size()) > FEditButtons->GetCount()) {
    delete FButtonControls.back();
    FButtonControls.pop_back();
  }
  while (Integer(FButtonControls.size()) < FEditButtons->GetCount()) {
    auto* B = new TButton(this);
    B->SetCaption(L"...");
    // The edit keeps the focus, as the family's edit buttons never take it.
    B->SetTabStop(false);
    B->SetOnClick({this, &TStandInButtonEdit::ButtonControlClick});
    B->SetParent(this);
    FButtonControls.push_back(B);
  }
  for (Integer I = 0; I < FEditButtons->GetCount(); ++I) {
    FButtonControls[size_t(I)]->SetHint(FEditButtons->GetItem(I)->GetHint());
    FButtonControls[size_t(I)]->SetShowHint(true);
  }
  ArrangeButtons();
}

void TStandInButtonEdit::ArrangeButtons() {
  // The client width is the window's: without one there is nothing to measure yet, and asking
  // would make the window (and its parents') while the form is still being read. CreateWnd comes back.
  if (!HandleAllocated()) return;
  Integer Right = GetClientWidth();
  Integer Height = GetClientHeight();
  for (TButton* B : FButtonControls) {
    Right -= ButtonWidth;
    B->SetBounds(Right, 0, ButtonWidth, Height);
  }
  SetEditMargins(-1, GetClientWidth() - Right);
}

void TStandInButtonEdit::ButtonControlClick(TObject* Sender) {
  for (size_t I = 0; I < FButtonControls.size(); ++I)
    if (FButtonControls[I] == Sender) FEditButtons->GetItem(Integer(I))->Click();
}

void TStandInButtonEdit::KeyDown(Word& Key, TShiftState Shift) {
  TShortCut Pressed = ShortCut(Key, Shift);
  for (Integer I = 0; I < FEditButtons->GetCount(); ++I) {
    TStandInEditButton* B = FEditButtons->GetItem(I);
    if (B->GetShortCut() != 0 && B->GetShortCut() == Pressed) {
      Key = 0;
      B->Click();
      return;
    }
  }
  inherited::KeyDown(Key, Shift);
}

void TStandInButtonEdit::Loaded() {
  inherited::Loaded();
  ButtonsChanged();
}

void TStandInButtonEdit::CreateWnd() {
  inherited::CreateWnd();
  ArrangeButtons();
}

void TStandInButtonEdit::Resize() {
  inherited::Resize();
  ArrangeButtons();
}
