#pragma once
// The family's buttons. The speed button has four states of its own (normal, hot, pressed,
// disabled), takes its picture per state from image lists, a standard image item or a glyph
// bitmap cut into cells, and fires a down event that repeats while the button is held. Edit
// buttons describe the small buttons at the side of an edit, a grid column or a cell (a drop-down
// arrow, an ellipsis, a glyph, an up/down pair, plus, minus); the edit-button control shows one of
// them and repeats its down event while it is held.

#include <memory>
#include <vector>

#include "framework/ActnList.h"
#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/ImgList.h"
#include "framework/graphics/Bitmap.h"
#include "framework/themes/ThemeTypes.h"

class TDropDownFormCallParamsKv;
class TEditButtonKv;
class TEditButtonControlKv;
class TPopupMenu;
class TResourceImageItemKv;
class TTimer;

DECLARE_ENUM(TButtonStateKv, bsNormalKv, bsHotKv, bsPressedKv, bsDisabledKv)
DECLARE_ENUM(TButtonLayoutKv, blGlyphLeftKv, blGlyphRightKv, blGlyphTopKv, blGlyphBottomKv)
using TNumGlyphsKv = Integer;

// AutoRepeat comes in as the button's AutoRepeat; true afterwards makes the event repeat.
using TButtonDownEventKv = Closure<void(TObject* Sender, bool& AutoRepeat, bool& Handled)>;

// The first repeat of a held button comes after this many milliseconds, the next ones after
// the second.
constexpr Cardinal ButtonRepeatFirstDelayKv = 400;
constexpr Cardinal ButtonRepeatIntervalKv = 100;

// ---- Pictures per state -----------------------------------------------------------------------

// An image list and an image index for each of the four states. The lists are references.
class TButtonImagesKv : public TPersistent {
  DECLARE_CLASS(TButtonImagesKv, TPersistent)
 public:
  TButtonImagesKv() = default;
  void Assign(TPersistent* Source) override;

  // The list of the state; hot, pressed and disabled fall back to the normal list.
  TCustomImageList* GetStateImages(TButtonStateKv State) const;
  // -1 for a value outside the four states.
  Integer GetStateIndex(TButtonStateKv State) const;

  TCustomImageList* GetNormalImages() const { return FNormalImages; }
  void SetNormalImages(TCustomImageList* Value);
  TCustomImageList* GetHotImages() const { return FHotImages; }
  void SetHotImages(TCustomImageList* Value);
  TCustomImageList* GetPressedImages() const { return FPressedImages; }
  void SetPressedImages(TCustomImageList* Value);
  TCustomImageList* GetDisabledImages() const { return FDisabledImages; }
  void SetDisabledImages(TCustomImageList* Value);
  Integer GetNormalIndex() const { return FNormalIndex; }
  void SetNormalIndex(Integer Value);
  Integer GetHotIndex() const { return FHotIndex; }
  void SetHotIndex(Integer Value);
  Integer GetPressedIndex() const { return FPressedIndex; }
  void SetPressedIndex(Integer Value);
  Integer GetDisabledIndex() const { return FDisabledIndex; }
  void SetDisabledIndex(Integer Value);

  PUBLISHED_DECL(TButtonImagesKv);

 protected:
  // After an index setter changed a value.
  virtual void ImagesIndexChanged() {}
  // After a list setter changed a value, with the new list.
  virtual void ImagesListChanged(TCustomImageList* NewList) { (void)NewList; }

 private:
  void SetList(TComponentRef<TCustomImageList>& Field, TCustomImageList* Value);
  void SetIndex(Integer& Field, Integer Value);
  TComponentRef<TCustomImageList> FNormalImages, FHotImages, FPressedImages, FDisabledImages;
  Integer FNormalIndex = 0, FHotIndex = 0, FPressedIndex = 0, FDisabledIndex = 0;
};

// ---- Glyph bitmap cells -----------------------------------------------------------------------

// An image list of one cell size that remembers which slots are in use: adding takes the first
// free slot (the list grows when none is free), deleting only frees the slot.
class TGlyphList : public TImageList {
  DECLARE_CLASS(TGlyphList, TImageList)
 public:
  TGlyphList(Integer AWidth, Integer AHeight);
  Integer AddMasked(TBitmap* Image, TColor MaskColor);
  void Delete(Integer Index);
  // The slots in use.
  Integer GetCount() const { return FCount; }

 private:
  std::vector<bool> FUsed;
  Integer FCount = 0;
};

class TCustomSpeedButtonKv;

// A speed button's glyph bitmap, cut into one cell per state (NumGlyphs cells side by side), and
// the drawing of glyph and caption by the button's layout.
class TButtonGlyph : public TObject {
  DECLARE_CLASS(TButtonGlyph, TObject)
 public:
  explicit TButtonGlyph(TCustomSpeedButtonKv* Owner);
  ~TButtonGlyph() override;

  TBitmap* GetGlyph() const { return FOriginal.get(); }
  // Copies the bitmap, takes its transparent colour and, for a strip of two to four squares,
  // its number of cells.
  void SetGlyph(TBitmap* Value);
  TNumGlyphsKv GetNumGlyphs() const { return FNumGlyphs; }
  // Values below 1 are not taken.
  void SetNumGlyphs(TNumGlyphsKv Value);
  TColor GetTransparentColor() const { return FTransparentColor; }
  // Drops the cells made so far; they are made again when drawn.
  void Invalidate();
  // The glyph list slot of the state's cell, made on first use; -1 for an empty bitmap.
  Integer CreateButtonGlyph(TButtonStateKv State);
  TGlyphList* GetGlyphList() const { return FGlyphList.get(); }

  // Draws glyph and caption in Client by the layout, moved by Offset; answers the text bounds.
  TRect Draw(TCanvas* Canvas, const TRect& Client, const TPoint& Offset, const String& Caption,
             TButtonLayoutKv Layout, Integer Margin, Integer Spacing, TButtonStateKv State, bool Transparent,
             LongInt BiDiFlags);
  // Where glyph and caption go, as Draw places them.
  void CalcButtonLayout(TCanvas* Canvas, const TRect& Client, const TPoint& Offset, const String& Caption,
                        TButtonLayoutKv Layout, Integer Margin, Integer Spacing, TPoint& GlyphPos,
                        TRect& TextBounds, LongInt BiDiFlags);

  void SetThemeDetails(const TThemedElementDetails& Value) { FThemeDetails = Value; }
  void SetThemesEnabled(bool Value) { FThemesEnabled = Value; }
  void SetThemeTextColor(bool Value) { FThemeTextColor = Value; }
  bool GetPaintOnGlass() const { return FPaintOnGlass; }
  void SetPaintOnGlass(bool Value) { FPaintOnGlass = Value; }
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

 private:
  void GlyphChanged(TObject* Sender);
  TSize GlyphSize();
  void DrawButtonGlyph(TCanvas* Canvas, const TPoint& GlyphPos, TButtonStateKv State, bool Transparent);
  void DrawButtonText(TCanvas* Canvas, const String& Caption, TRect TextBounds, TButtonStateKv State,
                      LongInt BiDiFlags);

  TCustomSpeedButtonKv* FOwner;
  std::unique_ptr<TBitmap> FOriginal;
  std::unique_ptr<TGlyphList> FGlyphList;
  TColor FTransparentColor = TColor(0x008080);
  TNumGlyphsKv FNumGlyphs = 1;
  Integer FIndexs[4] = {-1, -1, -1, -1};
  TThemedElementDetails FThemeDetails{};
  bool FThemesEnabled = false;
  bool FThemeTextColor = true;
  bool FPaintOnGlass = false;
  TNotifyEvent FOnChange;
};

// ---- Speed button -----------------------------------------------------------------------------

// A windowless push button with four states of its own. OnPaint, when assigned, replaces the
// default painting. A left press fires OnDown; when the handler leaves AutoRepeat true it fires
// again 400 ms later and then every 100 ms while the button stays pressed under the mouse.
class TCustomSpeedButtonKv : public TGraphicControl {
  DECLARE_CLASS(TCustomSpeedButtonKv, TGraphicControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_ENABLEDCHANGED, TMessage, CMEnabledChanged)
    MESSAGE_HANDLER(CM_MOUSEENTER, TCMMouseEnter, CMMouseEnter)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TCMMouseLeave, CMMouseLeave)
    MESSAGE_HANDLER(CM_DIALOGCHAR, TCMDialogChar, CMDialogChar)
    MESSAGE_HANDLER(CM_TEXTCHANGED, TMessage, CMTextChanged)
    MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
    MESSAGE_HANDLER(CM_SYSCOLORCHANGE, TMessage, CMSysColorChange)
  END_MESSAGE_MAP

 public:
  explicit TCustomSpeedButtonKv(TComponent* AOwner);
  ~TCustomSpeedButtonKv() override;

  bool GetAutoRepeat() const { return FAutoRepeat; }
  void SetAutoRepeat(bool Value) { FAutoRepeat = Value; }
  bool GetFlat() const { return FFlat; }
  void SetFlat(bool Value);
  TBitmap* GetGlyph() const;
  void SetGlyph(TBitmap* Value);
  TButtonLayoutKv GetLayout() const { return FLayout; }
  void SetLayout(TButtonLayoutKv Value);
  Integer GetMargin() const { return FMargin; }
  // Values below -1 are ignored.
  void SetMargin(Integer Value);
  TNumGlyphsKv GetNumGlyphs() const;
  // Kept within 1 to 4.
  void SetNumGlyphs(TNumGlyphsKv Value);
  Integer GetSpacing() const { return FSpacing; }
  void SetSpacing(Integer Value);
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  HPALETTE GetPalette();

  Double GetForegroundScaleFactor() const { return FForegroundScaleFactor; }
  void SetForegroundScaleFactor(Double Value);
  // A standard picture of the family; when set, it is the glyph. A reference.
  TResourceImageItemKv* GetResourceImageItem() const { return FResourceImageItem; }
  void SetResourceImageItem(TResourceImageItemKv* Value);
  TButtonImagesKv* GetInternalEditButtonImages() const { return FInternalEditButtonImages.get(); }

  TButtonStateKv GetState() const { return FState; }
  bool GetMouseInControl() const { return FMouseInControl; }
  bool GetLocalDragging() const { return FLocalDragging; }
  TButtonGlyph* GetButtonGlyph() const { return FButtonGlyph.get(); }

  TNotifyEvent GetOnPaint() const { return FOnPaint; }
  void SetOnPaint(const TNotifyEvent& Value) { FOnPaint = Value; }
  TButtonDownEventKv GetOnDown() const { return FOnDown; }
  void SetOnDown(const TButtonDownEventKv& Value) { FOnDown = Value; }

  // The pictures to draw from (the button's own images in the base).
  virtual TButtonImagesKv* GetActiveButtonImages();
  // True when the active images give a list and an index for the current state, or a standard
  // picture is set.
  virtual bool IsCustomGlyph();
  virtual TSize GetCustomGlyphSize();
  virtual void DrawCustomGlyph(TCanvas* Canvas, const TPoint& Pos);

 protected:
  virtual void GlyphBitmapChanged(TObject* Sender);
  virtual void DoButtonDown(bool& AutoRepeat, bool& Handled);
  // Disabled, else hot under the mouse, else pressed while dragging, else normal.
  virtual void RecalcButtonState();
  virtual Integer GetButtonTheme() { return 4; }
  virtual void DefaultPaint();
  // Paints the face; answers where the foreground goes, its press offset and the theme element.
  virtual void PaintBackground(TRect& PaintRect, TPoint& Offset, TThemedElementDetails& Details);
  virtual void PaintForeground(TRect& PaintRect, const TPoint& Offset, const TThemedElementDetails& Details);

  void Loaded() override;
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

  // Sends the button a mouse enter or leave by what lies under the cursor (flat buttons only).
  void UpdateTracking();
  void StartRepeatTimer(Cardinal Interval);
  void StopRepeatTimer();
  TTimer* GetRepeatTimer() const { return FRepeatTimer; }
  bool PointInButton(Integer X, Integer Y) const { return X >= 0 && X < FWidth && Y >= 0 && Y < FHeight; }

  void CMEnabledChanged(TMessage& Message);
  void CMMouseEnter(TCMMouseEnter& Message);
  void CMMouseLeave(TCMMouseLeave& Message);
  void CMDialogChar(TCMDialogChar& Message);
  void CMTextChanged(TMessage& Message);
  void CMFontChanged(TMessage& Message);
  void CMSysColorChange(TMessage& Message);

  TButtonStateKv FState = bsNormalKv;
  bool FMouseInControl = false;
  bool FLocalDragging = false;

 private:
  void RepeatTimerTick(TObject* Sender);

  std::unique_ptr<TButtonImagesKv> FInternalEditButtonImages;
  std::unique_ptr<TButtonGlyph> FButtonGlyph;
  TTimer* FRepeatTimer = nullptr;  // owned through the component list, made on first use
  bool FAutoRepeat = false;
  bool FFlat = false;
  bool FTransparent = true;
  TButtonLayoutKv FLayout = blGlyphLeftKv;
  Integer FMargin = -1;
  Integer FSpacing = 4;
  Double FForegroundScaleFactor = 1.0;
  TResourceImageItemKv* FResourceImageItem = nullptr;  // family-wide pictures, never freed before us
  TNotifyEvent FOnPaint;
  TButtonDownEventKv FOnDown;
};

class TSpeedButtonKv : public TCustomSpeedButtonKv {
  DECLARE_CLASS(TSpeedButtonKv, TCustomSpeedButtonKv)
 public:
  using TCustomSpeedButtonKv::TCustomSpeedButtonKv;
  PUBLISHED_DECL(TSpeedButtonKv);
};

// ---- Edit buttons -----------------------------------------------------------------------------

DECLARE_ENUM(TEditButtonStyleKv, ebsDropDownKv, ebsEllipsisKv, ebsGlyphKv, ebsUpDownKv, ebsPlusKv, ebsMinusKv,
             ebsAltDropDownKv, ebsAltUpDownKv)
// When the button background is drawn.
DECLARE_ENUM(TEditButtonDrawBackTimeKv, edbtAlwaysKv, edbtNeverKv, edbtWhenHotKv)

inline bool IsUpDownEditButtonStyle(TEditButtonStyleKv Style) {
  return Style == ebsUpDownKv || Style == ebsAltUpDownKv;
}

using TButtonClickEventKv = Closure<void(TObject* Sender, bool& Handled)>;
// TopButton: the press is on the single button or the upper half of an up/down pair.
using TEditButtonDownEventKv = Closure<void(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled)>;
using TRefComponentNotifyEventKv = Closure<void(TObject* Sender, TComponent* RefComponent)>;

// An owner of edit buttons that answers their default draw-back time (the grid columns).
class IEditButtonsOwnerKv : public virtual IInterface {
 public:
  virtual TEditButtonDrawBackTimeKv GetEditButtonDrawBackTime() = 0;
};

// The pictures of an edit button: an index change is a change of the button, a list change a
// change of a component it refers to.
class TEditButtonImagesKv : public TButtonImagesKv {
  DECLARE_CLASS(TEditButtonImagesKv, TButtonImagesKv)
 public:
  explicit TEditButtonImagesKv(TEditButtonKv* Owner) : FOwner(Owner) {}
  TEditButtonKv* GetOwnerButton() const { return FOwner; }

 protected:
  TPersistent* GetOwner() override;
  void ImagesIndexChanged() override;
  void ImagesListChanged(TCustomImageList* NewList) override;

 private:
  TEditButtonKv* FOwner;  // the button owns these images
};

// The link of an edit button to its action: Enabled, Hint, ShortCut and Visible follow the
// action while the button's value equals the action's.
class TEditButtonActionLinkKv : public TActionLink {
  DECLARE_CLASS(TEditButtonActionLinkKv, TActionLink)
 public:
  using TCtorArgs = ::TCtorArgs<TEditButtonKv*>;
  explicit TEditButtonActionLinkKv(TEditButtonKv* AClient) : TActionLink(nullptr), FClient(AClient) {}
  bool IsEnabledLinked() const override;
  bool IsHintLinked() const override;
  bool IsShortCutLinked() const override;
  bool IsVisibleLinked() const override;
  void SetEnabled(bool Value) override;
  void SetHint(const String& Value) override;
  void SetShortCut(TShortCut Value) override;
  void SetVisible(bool Value) override;

 protected:
  TEditButtonKv* FClient;  // the button owns its link
};
using TEditButtonActionLinkClassKv = TClassRef<TEditButtonActionLinkKv>;

// One edit button: an item of its owner's TEditButtonsKv, or the single button an edit control
// owns directly. Its interface reference counting never frees it.
class TEditButtonKv : public TCollectionItem, public virtual IInterface {
  DECLARE_CLASS(TEditButtonKv, TCollectionItem)
 public:
  // An item of Collection (none: a detached item).
  explicit TEditButtonKv(TCollection* Collection);
  // The single button of EditControl, which owns it.
  explicit TEditButtonKv(TWinControl* EditControl);
  ~TEditButtonKv() override;

  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  void Assign(TPersistent* Source) override;

  // OnClick when assigned; else the action runs (with the edit control, or the collection's
  // owner, as its component) and Handled becomes true.
  virtual void Click(TObject* Sender, bool& Handled);
  virtual void InitiateAction();
  // A control for this button, owned and parented by the edit control.
  virtual TEditButtonControlKv* CreateEditButtonControl();
  // OnChanged when assigned, else the collection's change notice.
  void Changed();
  // OnRefComponentChanged when assigned, else the collection's.
  void RefComponentChanged(TComponent* RefComponent);

  TWinControl* GetEditControl() const { return FEditControl; }
  TEditButtonActionLinkKv* GetActionLink() const { return FActionLink.get(); }

  TBasicAction* GetAction() const;
  void SetAction(TBasicAction* Value);
  // The assigned value when assigned, else the one the owner defines.
  bool GetDefaultAction() const { return FDefaultActionAssigned ? FDefaultAction : FOwnerDefaultAction; }
  void SetDefaultAction(bool Value);
  bool IsDefaultActionStored() const { return FDefaultActionAssigned; }
  // The default action the owner defines, used while none is assigned.
  void SetOwnerDefaultAction(bool Value) { FOwnerDefaultAction = Value; }
  TPopupMenu* GetDropdownMenu() const;
  void SetDropdownMenu(TPopupMenu* Value);
  TDropDownFormCallParamsKv* GetDropDownFormParams() const;
  void SetDropDownFormParams(TDropDownFormCallParamsKv* Value);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool IsEnabledStored() const;
  TBitmap* GetGlyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  String GetHint() const { return FHint; }
  void SetHint(const String& Value);
  bool IsHintStored() const;
  TEditButtonImagesKv* GetImages() const { return FImages.get(); }
  void SetImages(TEditButtonImagesKv* Value);
  Integer GetNumGlyphs() const { return FNumGlyphs; }
  // Kept within 1 to 4.
  void SetNumGlyphs(Integer Value);
  TShortCut GetShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  bool IsShortCutStored() const;
  TEditButtonStyleKv GetStyle() const { return FStyle; }
  void SetStyle(TEditButtonStyleKv Value);
  virtual bool GetVisible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  bool IsVisibleStored() const;
  // 0: the owner's automatic width.
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value);
  // The assigned value when assigned, else DefaultDrawBackTime.
  TEditButtonDrawBackTimeKv GetDrawBackTime() const;
  void SetDrawBackTime(TEditButtonDrawBackTimeKv Value);
  virtual bool IsDrawBackTimeStored() const { return FDrawBackTimeAssigned; }
  bool GetDrawBackTimeStored() const { return FDrawBackTimeAssigned; }
  void SetDrawBackTimeStored(bool Value);
  // The collection's default, asked of its owner; edbtAlwaysKv without one.
  virtual TEditButtonDrawBackTimeKv DefaultDrawBackTime() const;

  TButtonClickEventKv GetOnClick() const { return FOnClick; }
  void SetOnClick(const TButtonClickEventKv& Value);
  TEditButtonDownEventKv GetOnDown() const { return FOnDown; }
  void SetOnDown(const TEditButtonDownEventKv& Value);
  TNotifyEvent GetOnChanged() const { return FOnChanged; }
  void SetOnChanged(const TNotifyEvent& Value) { FOnChanged = Value; }
  TRefComponentNotifyEventKv GetOnRefComponentChanged() const { return FOnRefComponentChanged; }
  void SetOnRefComponentChanged(const TRefComponentNotifyEventKv& Value) { FOnRefComponentChanged = Value; }

  PUBLISHED_DECL(TEditButtonKv);

 protected:
  virtual TDropDownFormCallParamsKv* CreateDropDownFormParams();
  virtual TEditButtonActionLinkClassKv GetActionLinkClass() const;
  // Takes the action's Enabled, Hint, ShortCut and Visible; with CheckDefaults only where the
  // button still holds its default value.
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);

  // The defaults of the descendants.
  bool FVisible = false;
  TShortCut FShortCut = 0;

 private:
  void Init();
  void DoActionChange(TObject* Sender);

  TWinControl* FEditControl = nullptr;  // the edit owns its single button
  std::unique_ptr<TEditButtonActionLinkKv> FActionLink;
  std::unique_ptr<TBitmap> FGlyph;
  std::unique_ptr<TEditButtonImagesKv> FImages;
  // Made on first use, so that a descendant's CreateDropDownFormParams is the one that runs.
  mutable std::unique_ptr<TDropDownFormCallParamsKv> FDropDownFormParams;
  TComponentRef<TPopupMenu> FDropdownMenu;
  bool FEnabled = true;
  String FHint;
  Integer FNumGlyphs = 1;
  TEditButtonStyleKv FStyle = ebsDropDownKv;
  Integer FWidth = 0;
  bool FDefaultAction = false;
  bool FDefaultActionAssigned = false;
  bool FOwnerDefaultAction = false;
  TEditButtonDrawBackTimeKv FDrawBackTime = edbtAlwaysKv;
  bool FDrawBackTimeAssigned = false;
  TButtonClickEventKv FOnClick;
  TEditButtonDownEventKv FOnDown;
  TNotifyEvent FOnChanged;
  TRefComponentNotifyEventKv FOnRefComponentChanged;
};

using TEditButtonClassKv = TClassRef<TEditButtonKv>;

// An edit button whose ShortCut defaults to Alt+Down.
class TDropDownEditButtonKv : public TEditButtonKv {
  DECLARE_CLASS(TDropDownEditButtonKv, TEditButtonKv)
 public:
  explicit TDropDownEditButtonKv(TCollection* Collection);
  explicit TDropDownEditButtonKv(TWinControl* EditControl);
  PUBLISHED_DECL(TDropDownEditButtonKv);
};

// A drop-down edit button that is also visible by default.
class TVisibleEditButtonKv : public TEditButtonKv {
  DECLARE_CLASS(TVisibleEditButtonKv, TEditButtonKv)
 public:
  explicit TVisibleEditButtonKv(TCollection* Collection);
  explicit TVisibleEditButtonKv(TWinControl* EditControl);
  PUBLISHED_DECL(TVisibleEditButtonKv);
};

// The further edit buttons of an owner (an edit, a column). OnChanged hears the changed item
// (nil when the whole collection changed).
class TEditButtonsKv : public TCollection {
  DECLARE_CLASS(TEditButtonsKv, TCollection)
 public:
  TEditButtonsKv(TPersistent* Owner, TEditButtonClassKv ItemClass);
  TEditButtonKv* Add() { return static_cast<TEditButtonKv*>(TCollection::Add()); }
  TEditButtonKv* GetItem(Integer Index) const { return static_cast<TEditButtonKv*>(TCollection::GetItem(Index)); }
  void SetItem(Integer Index, TEditButtonKv* Value) { TCollection::SetItem(Index, Value); }
  TEditButtonKv* operator[](Integer Index) const { return GetItem(Index); }
  TPersistent* GetOwner() override { return FOwner; }
  // Asks the owner through IEditButtonsOwnerKv; edbtAlwaysKv when it does not answer.
  virtual TEditButtonDrawBackTimeKv DefaultDrawBackTime();

  TNotifyEvent GetOnChanged() const { return FOnChanged; }
  void SetOnChanged(const TNotifyEvent& Value) { FOnChanged = Value; }
  TRefComponentNotifyEventKv GetOnRefComponentChanged() const { return FOnRefComponentChanged; }
  void SetOnRefComponentChanged(const TRefComponentNotifyEventKv& Value) { FOnRefComponentChanged = Value; }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TPersistent* FOwner;
  TNotifyEvent FOnChanged;
  TRefComponentNotifyEventKv FOnRefComponentChanged;
};

// The control that shows one edit button. It tracks which half of an up/down pair is pressed
// (ButtonNum: 0 none, 1 the single button or the upper half, 2 the lower half) and repeats its
// down event while held: 400 ms after the press and then every 100 ms, by default only for the
// up/down styles and for the others when the down handler asks for it.
class TEditButtonControlKv : public TSpeedButtonKv {
  DECLARE_CLASS(TEditButtonControlKv, TSpeedButtonKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CM_MOUSEENTER, TCMMouseEnter, CMMouseEnter)
    MESSAGE_HANDLER(CM_MOUSELEAVE, TCMMouseLeave, CMMouseLeave)
  END_MESSAGE_MAP

 public:
  explicit TEditButtonControlKv(TComponent* AOwner);
  ~TEditButtonControlKv() override;

  // Stores all three and repaints when one differs.
  void SetState(TButtonStateKv NewState, bool IsActive, Integer ButtonNum);
  TEditButtonStyleKv GetStyle() const { return FStyle; }
  void SetStyle(TEditButtonStyleKv Value);
  // The owner has the focus.
  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  TEditButtonDrawBackTimeKv GetDrawBackTime() const { return FDrawBackTime; }
  void SetDrawBackTime(TEditButtonDrawBackTimeKv Value);
  bool GetAlwaysDown() const { return FAlwaysDown; }
  // Holds the button drawn down (ButtonNum 1) while a drop-down it opened is up; no repaint.
  void SetAlwaysDown(bool Value);
  Integer GetButtonNum() const { return FButtonNum; }
  bool GetNoDoClick() const { return FNoDoClick; }
  void SetNoDoClick(bool Value) { FNoDoClick = Value; }
  bool GetAdvancedPaint() const { return FAdvancedPaint; }
  void SetAdvancedPaint(bool Value) { FAdvancedPaint = Value; }
  // Sets the width without telling anyone; the owner lays its buttons out itself.
  void SetWidthNoNotify(Integer Value) { FWidth = Value; }
  // The images of the edit button this control shows (a reference), drawn instead of its own.
  TEditButtonImagesKv* GetExternalImages() const { return FExternalImages; }
  void SetExternalImages(TEditButtonImagesKv* Value) { FExternalImages = Value; }
  TButtonImagesKv* GetOwnImages() const { return FImages.get(); }

  TEditButtonDownEventKv GetOnDown() const { return FOnDown; }
  void SetOnDown(const TEditButtonDownEventKv& Value) { FOnDown = Value; }

  TButtonImagesKv* GetActiveButtonImages() override;
  void Click() override;
  // Themed: the mouse is over the control; classic: the owner has the focus.
  virtual bool IsHotOrActive();

 protected:
  virtual void DrawImages(TCanvas* Canvas, const TRect& Rect);
  virtual void EditButtonDown(Integer ButtonNum, bool& AutoRepeat);

  void DefaultPaint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void CMMouseEnter(TCMMouseEnter& Message);
  void CMMouseLeave(TCMMouseLeave& Message);

 private:
  // 1 or 2 by the half under Y for an up/down style, 1 for the others; 0 unless pressed.
  Integer ButtonNumAt(Integer Y) const;
  void UpdateDownButtonNum(Integer Y);
  void StartTimer(Cardinal Interval);
  void StopTimer();
  void TimerTick(TObject* Sender);

  bool FActive = false;
  bool FAlwaysDown = false;
  Integer FButtonNum = 0;
  bool FNoDoClick = false;
  bool FAdvancedPaint = true;
  TEditButtonStyleKv FStyle = ebsDropDownKv;
  TEditButtonDrawBackTimeKv FDrawBackTime = edbtAlwaysKv;
  TTimer* FTimer = nullptr;  // owned through the component list, made on first use
  std::unique_ptr<TButtonImagesKv> FImages;
  TEditButtonImagesKv* FExternalImages = nullptr;  // the edit button outlives its control
  TEditButtonDownEventKv FOnDown;
};

// Registers the button classes for form resources.
void RegisterButtonsKv();
