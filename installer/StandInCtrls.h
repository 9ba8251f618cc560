#pragma once
// Framework controls standing in for the component family's data-aware edit with edit buttons,
// which the wizard's forms will use once it exists. They publish the family's names for what the
// wizard uses (EditButtons, each button's ShortCut, Hint and OnClick with its Handled flag), so that
// swapping a form resource to the family's class leaves the wizard's handlers as they are.

#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/StdCtrls.h"
#include "framework/menus/ShortCut.h"

class TButton;
class TStandInButtonEdit;

// The family's edit-button click (the same type as ButtonsKv's): Handled tells the edit that the
// click was taken care of.
using TButtonClickEventKv = Closure<void(TObject* Sender, bool& Handled)>;

// One button at the right edge of the edit, drawn as an ellipsis button.
class TStandInEditButton : public TCollectionItem {
  DECLARE_CLASS(TStandInEditButton, TCollectionItem)
 public:
  explicit TStandInEditButton(TCollection* Collection);
  void Assign(TPersistent* Source) override;

  String GetHint() const { return FHint; }
  void SetHint(const String& Value);
  TShortCut GetShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value) { FShortCut = Value; }
  TButtonClickEventKv GetOnClick() const { return FOnClick; }
  void SetOnClick(const TButtonClickEventKv& Value) { FOnClick = Value; }

  // Fires OnClick, as the button's press and its shortcut do.
  void Click();

  PUBLISHED_DECL(TStandInEditButton);

 private:
  String FHint;
  TShortCut FShortCut = 0;
  TButtonClickEventKv FOnClick;
};

class TStandInEditButtons : public TCollection {
  DECLARE_CLASS(TStandInEditButtons, TCollection)
 public:
  explicit TStandInEditButtons(TStandInButtonEdit* Edit);
  TStandInEditButton* Add() { return static_cast<TStandInEditButton*>(TCollection::Add()); }
  TStandInEditButton* GetItem(Integer Index) const {
    return static_cast<TStandInEditButton*>(TCollection::GetItem(Index));
  }
  TStandInEditButton* operator[](Integer Index) const { return GetItem(Index); }

 protected:
  TPersistent* GetOwner() override;
  void Update(TCollectionItem* Item) override;

 private:
  TStandInButtonEdit* FEdit;
};

// An edit with its edit buttons inside its right edge; a button's shortcut pressed in the edit
// clicks it.
class TStandInButtonEdit : public TEdit {
  DECLARE_CLASS(TStandInButtonEdit, TEdit)
 public:
  explicit TStandInButtonEdit(TComponent* AOwner);
  ~TStandInButtonEdit() override;

  TStandInEditButtons* GetEditButtons() const { return FEditButtons.get(); }
  void SetEditButtons(TStandInEditButtons* Value) { FEditButtons->Assign(Value); }
  // The control that shows button Index.
  TButton* GetButtonControl(Integer Index) const;

  PUBLISHED_DECL(TStandInButtonEdit);

 protected:
  void KeyDown(Word& Key, TShiftState Shift) override;
  void Loaded() override;
  void CreateWnd() override;
  void Resize() override;

 private:
  friend class TStandInEditButtons;
  void ButtonsChanged();
  void ArrangeButtons();
  void ButtonControlClick(TObject* Sender);
  std::unique_ptr<TStandInEditButtons> FEditButtons;
  std::vector<TButton*> FButtonControls;  // owned by the edit
};

// Registers the stand-in classes for the form resources.
void RegisterStandInControls();
