#pragma once
// TToolBar over the common controls' tool bar window, and TToolButton, its buttons. The bar
// lays its children out in one row in the order of their Left: buttons become the window's own
// buttons (drawn and pressed by it, with images from Images); any other control (a combo box, an
// edit) gets a gap of its width with the control placed in it.

#include <memory>
#include <vector>

#include "framework/controls/CustomControl.h"

class TCustomImageList;
class TChangeLink;
class TToolBar;

DECLARE_ENUM(TToolButtonStyle, tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider)

class TToolButton : public TGraphicControl {
  DECLARE_CLASS(TToolButton, TGraphicControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, CMStateChanged)
    MESSAGE_HANDLER(CM_VISIBLECHANGED, TMessage, CMStateChanged)
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, CMStateChanged)
  END_MESSAGE_MAP

 public:
  explicit TToolButton(TComponent* AOwner);

  TToolBar* GetToolBar() const;
  // The button's place among the bar's buttons, or -1 off a bar.
  Integer GetIndex() const;

  bool GetAllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
  bool GetDown() const { return FDown; }
  void SetDown(bool Value);
  bool GetGrouped() const { return FGrouped; }
  void SetGrouped(bool Value);
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  TToolButtonStyle GetStyle() const { return FStyle; }
  void SetStyle(TToolButtonStyle Value);

  PUBLISHED_DECL(TToolButton);

 protected:
  void CMStateChanged(TMessage& Message);

 private:
  friend class TToolBar;
  void Changed(bool Layout);
  bool FAllowAllUp = false;
  bool FDown = false;
  bool FGrouped = false;
  Integer FImageIndex = -1;
  TToolButtonStyle FStyle = tbsButton;
  Integer FCommand = 0;  // the window's id for the button
};

class TToolBar : public TWinControl {
  DECLARE_CLASS(TToolBar, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_COMMAND, TWMCommand, CNCommand)
    MESSAGE_HANDLER(CM_CONTROLCHANGE, TMessage, CMControlChange)
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, CMEnabledChanged)
  END_MESSAGE_MAP

 public:
  explicit TToolBar(TComponent* AOwner);
  ~TToolBar() override;

  void WndProc(TMessage& Message) override;

  Integer GetButtonCount() const;
  TToolButton* GetButton(Integer Index) const;

  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  Integer GetButtonHeight() const { return FButtonHeight; }
  void SetButtonHeight(Integer Value);
  Integer GetButtonWidth() const { return FButtonWidth; }
  void SetButtonWidth(Integer Value);
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value);
  TCustomImageList* GetImages() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  bool GetShowCaptions() const { return FShowCaptions; }
  void SetShowCaptions(bool Value);

  // Gives the window its buttons again from the child controls and places the children.
  void RecreateButtons();

  PUBLISHED_DECL(TToolBar);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void CreateHandle() override;
  void Loaded() override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void CNCommand(TWMCommand& Message);
  void CMControlChange(TMessage& Message);
  void CMEnabledChanged(TMessage& Message);

 private:
  friend class TToolButton;
  std::vector<TControl*> OrderedControls() const;
  void ButtonChanged(TToolButton* Button, bool Layout);
  void SyncImages();
  void ImageListChange(TObject* Sender);
  void UpdateButtonStates();

  TComponentRef<TCustomImageList> FImages;
  std::unique_ptr<TChangeLink> FImageChangeLink;
  bool FAutoSize = false;
  Integer FButtonHeight = 22;
  Integer FButtonWidth = 23;
  bool FFlat = true;
  bool FShowCaptions = false;
  bool FUpdating = false;
  Integer FNextCommand = 1;
  HIMAGELIST FImageHandle = nullptr;  // the list the window draws from
};
