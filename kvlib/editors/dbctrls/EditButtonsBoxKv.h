#pragma once
// The strip of edit-button controls, separated by one-pixel lines, that an edit shows inside its
// right edge (left for right to left) (part of the unit DBCtrlsKv). It owns the controls, sizes
// them from their edit buttons, computes its width and the buttons' common height, and hands the
// controls' down, click and mouse events to its owner (the control's Tag is its index). Owners
// bracket changes with BeginLayout/EndLayout, set ButtonsCount, fill in each entry's EditButton.

#include <vector>

#include "framework/Controls.h"
#include "kvlib/foundation/ButtonsKv.h"

class TShape;

// One entry of the strip: the control, the line after it, and the edit button it shows.
struct TEditButtonControlLineRec {
  TShape* ButtonLine = nullptr;
  TEditButtonControlKv* EditButtonControl = nullptr;
  TEditButtonKv* EditButton = nullptr;  // the owner's
};
using TEditButtonControlList = std::vector<TEditButtonControlLineRec>;

// Makes the control of a new entry; a strip whose handler leaves it nil makes a plain one.
using TCreateEditButtonControlEvent = Closure<void(TEditButtonControlKv*& EditButtonControl)>;

class TEditButtonsBoxKv : public TWinControl {
  DECLARE_CLASS(TEditButtonsBoxKv, TWinControl)
 public:
  explicit TEditButtonsBoxKv(TComponent* AOwner);

  void BeginLayout() { ++FLayoutCount; }
  // The end of the outermost batch rebuilds the strip.
  void EndLayout();
  // Sizes every control from its button and lays the visible ones out, each followed by its line.
  void UpdateEditButtonControlList();
  // Enabling (a control is enabled with its button while the strip is), the active look and the
  // lines' colour, after the owner's focus or enabling changed.
  void UpdateEditButtonControlsState();

  bool GetBorderActive() const { return FBorderActive; }
  void SetBorderActive(bool Value);
  // The owner fills in each entry's EditButton.
  TEditButtonControlList& GetBtnCtlList() { return FBtnCtlList; }
  // The common height of the visible buttons; 0 while none is visible.
  Integer GetButtonHeight() const;
  Integer GetButtonsCount() const { return Integer(FBtnCtlList.size()); }
  // Fewer entries free their controls and lines; new ones get a control from
  // OnCreateEditButtonControl and a line.
  void SetButtonsCount(Integer Value);
  // The controls' and lines' widths together (less the last line, flat without themes).
  Integer GetButtonsWidth() const { return FButtonsWidth; }
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value) { FFlat = Value; }
  Integer GetMaxButtonHeight() const { return FMaxButtonHeight; }
  void SetMaxButtonHeight(Integer Value) { FMaxButtonHeight = Value; }

  TCreateEditButtonControlEvent GetOnCreateEditButtonControl() const { return FOnCreateEditButtonControl; }
  void SetOnCreateEditButtonControl(const TCreateEditButtonControlEvent& Value) { FOnCreateEditButtonControl = Value; }
  TEditButtonDownEventKv GetOnDown() const { return FOnDown; }
  void SetOnDown(const TEditButtonDownEventKv& Value) { FOnDown = Value; }
  // Given to every control, whose Tag tells the owner which entry it is.
  TNotifyEvent GetOnButtonClick() const { return FOnButtonClick; }
  void SetOnButtonClick(const TNotifyEvent& Value) { FOnButtonClick = Value; }
  TMouseMoveEvent GetOnButtonMouseMove() const { return FOnButtonMouseMove; }
  void SetOnButtonMouseMove(const TMouseMoveEvent& Value) { FOnButtonMouseMove = Value; }
  TMouseEvent GetOnButtonMouseUp() const { return FOnButtonMouseUp; }
  void SetOnButtonMouseUp(const TMouseEvent& Value) { FOnButtonMouseUp = Value; }

 protected:
  // Takes the button's look into the control and sizes it; a visible button may lower
  // CommonHeight toward the height its width calls for.
  virtual void UpdateButtonControl(TEditButtonControlLineRec& Entry, bool AFlat, Integer& CommonHeight,
                                   Integer MaxHeight);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  Integer FLayoutCount = 0;
  TEditButtonControlList FBtnCtlList;
  bool FFlat = false;
  Integer FButtonsWidth = 0;
  // The largest integer while no button is visible.
  Integer FButtonHeight;
  Integer FMaxButtonHeight = 0;
  bool FBorderActive = false;
  TEditButtonDownEventKv FOnDown;
  TNotifyEvent FOnButtonClick;
  TMouseMoveEvent FOnButtonMouseMove;
  TMouseEvent FOnButtonMouseUp;
  TCreateEditButtonControlEvent FOnCreateEditButtonControl;
};
