#pragma once
// The parts a bar owns beside its own data: the title, the grid-wide bar defaults, the drop-down
// box, the spec row, the edit buttons and the cell buttons. Here they hold their data and answer
// the queries the bar core asks of them; painting and editing build on them. The lookup data has
// its own unit, DBLookupUtilsKv.

#include <memory>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/controls/Alignment.h"
#include "framework/controls/ControlTypes.h"
#include "kvlib/foundation/ButtonsKv.h"
#include "kvlib/foundation/DBGridServicesKv.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"

class TAxisBarKv;
class TCustomDBAxisGridKv;
class TDataSet;
class TDataSource;
class TPopupMenu;

DECLARE_ENUM(TTextOrientationKv, tohHorizontal, tohVertical)
DECLARE_ENUM(TCellButtonStyleKv, cbsAuto, cbsEllipsis, cbsNone, cbsUpDown, cbsDropDown, cbsAltDropDown,
             cbsAltUpDown)
DECLARE_ENUM(TEditButtonHorzPlacementKv, ebhpLeftKv, ebhpRightKv, ebhpInContentKv)

// ---- Title ------------------------------------------------------------------------------------

// The title cell of a bar. Its assigned-values flags live in the bar's set.
class TAxisBarTitleKv : public TPersistent {
  DECLARE_CLASS(TAxisBarTitleKv, TPersistent)
 public:
  explicit TAxisBarTitleKv(TAxisBarKv* AxisBar);
  ~TAxisBarTitleKv() override;

  TAxisBarKv* GetAxisBar() const { return FAxisBar; }
  // The assigned caption, else the bound field's display name, else the bar's field name.
  String GetCaption();
  virtual void SetCaption(const String& Value);
  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  const String& GetHint() const { return FHint; }
  void SetHint(const String& Value) { FHint = Value; }
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value) { FImageIndex = Value; }
  TPopupMenu* GetPopupMenu() const;
  void SetPopupMenu(TPopupMenu* Value);
  virtual void RestoreDefaults();

  PUBLISHED_DECL(TAxisBarTitleKv);

 protected:
  TPersistent* GetOwner() override;

 private:
  TAlignment FAlignment = taLeftJustify;
  TAxisBarKv* FAxisBar;
  String FCaption;
  TColor FColor = clBtnFace;
  bool FEndEllipsis = false;
  std::unique_ptr<TFont> FFont;
  String FHint;
  Integer FImageIndex = -1;
  TTextOrientationKv FOrientation = tohHorizontal;
  TComponentRef<TPopupMenu> FPopupMenu;
  bool FToolTips = false;
  bool FTitleButton = false;
};

// ---- Grid-wide defaults ------------------------------------------------------------------------

class TAxisBarDefValuesKv;

// The grid-wide title defaults.
class TAxisBarCaptionDefValuesKv : public TPersistent {
  DECLARE_CLASS(TAxisBarCaptionDefValuesKv, TPersistent)
 public:
  explicit TAxisBarCaptionDefValuesKv(TAxisBarDefValuesKv* ColumnDefValues) : FColumnDefValues(ColumnDefValues) {}
  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { FAlignment = Value; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  bool GetEndEllipsis() const { return FEndEllipsis; }
  void SetEndEllipsis(bool Value) { FEndEllipsis = Value; }
  TTextOrientationKv GetOrientation() const { return FOrientation; }
  void SetOrientation(TTextOrientationKv Value) { FOrientation = Value; }
  bool GetTitleButton() const { return FTitleButton; }
  void SetTitleButton(bool Value) { FTitleButton = Value; }
  bool GetToolTips() const { return FToolTips; }
  void SetToolTips(bool Value) { FToolTips = Value; }

 private:
  TAlignment FAlignment = taLeftJustify;
  TColor FColor = clBtnFace;
  TAxisBarDefValuesKv* FColumnDefValues;
  bool FEndEllipsis = false;
  TTextOrientationKv FOrientation = tohHorizontal;
  bool FTitleButton = false;
  bool FToolTips = false;
};

// The values bars follow while their own are unassigned.
class TAxisBarDefValuesKv : public TPersistent {
  DECLARE_CLASS(TAxisBarDefValuesKv, TPersistent)
 public:
  explicit TAxisBarDefValuesKv(TCustomDBAxisGridKv* Grid);
  ~TAxisBarDefValuesKv() override;

  bool GetAlwaysShowEditButton() const { return FAlwaysShowEditButton; }
  void SetAlwaysShowEditButton(bool Value) { FAlwaysShowEditButton = Value; }
  bool GetAutoDropDown() const { return FAutoDropDown; }
  void SetAutoDropDown(bool Value) { FAutoDropDown = Value; }
  bool GetDblClickNextVal() const { return FDblClickNextVal; }
  void SetDblClickNextVal(bool Value) { FDblClickNextVal = Value; }
  bool GetDropDownShowTitles() const { return FDropDownShowTitles; }
  void SetDropDownShowTitles(bool Value) { FDropDownShowTitles = Value; }
  bool GetDropDownSizing() const { return FDropDownSizing; }
  void SetDropDownSizing(bool Value) { FDropDownSizing = Value; }
  TEditButtonDrawBackTimeKv GetEditButtonDrawBackTime() const { return FEditButtonDrawBackTime; }
  void SetEditButtonDrawBackTime(TEditButtonDrawBackTimeKv Value) { FEditButtonDrawBackTime = Value; }
  bool GetEndEllipsis() const { return FEndEllipsis; }
  void SetEndEllipsis(bool Value) { FEndEllipsis = Value; }
  TCustomDBAxisGridKv* GetGrid() const { return FGrid; }
  bool GetHighlightRequired() const { return FHighlightRequired; }
  void SetHighlightRequired(bool Value) { FHighlightRequired = Value; }
  TTextLayout GetLayout() const { return FLayout; }
  void SetLayout(TTextLayout Value) { FLayout = Value; }
  // Made on first use, so that a descendant's factory is the one that runs.
  TAxisBarCaptionDefValuesKv* GetTitle();
  bool GetToolTips() const { return FToolTips; }
  void SetToolTips(bool Value) { FToolTips = Value; }

 protected:
  virtual TAxisBarCaptionDefValuesKv* CreateTitleDefValues();

 private:
  bool FAlwaysShowEditButton = false;
  bool FAutoDropDown = false;
  bool FDblClickNextVal = false;
  bool FDropDownShowTitles = false;
  bool FDropDownSizing = false;
  TEditButtonDrawBackTimeKv FEditButtonDrawBackTime = edbtWhenHotKv;
  bool FEndEllipsis = false;
  TCustomDBAxisGridKv* FGrid;
  bool FHighlightRequired = false;
  TTextLayout FLayout = tlTop;
  std::unique_ptr<TAxisBarCaptionDefValuesKv> FTitle;
  bool FToolTips = false;
};

// ---- Drop-down box ----------------------------------------------------------------------------

// The list a bar drops down from another dataset.
class TColumnDropDownBoxKv : public TPersistent {
  DECLARE_CLASS(TColumnDropDownBoxKv, TPersistent)
 public:
  explicit TColumnDropDownBoxKv(TPersistent* Owner) : FOwner(Owner) {}
  ~TColumnDropDownBoxKv() override;

  TDataSource* GetListSource() const;
  void SetListSource(TDataSource* Value);
  const String& GetListField() const { return FListField; }
  void SetListField(const String& Value) { FListField = Value; }
  Integer GetRows() const { return FRows; }
  void SetRows(Integer Value) { FRows = Value; }
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value) { FWidth = Value; }
  bool GetSizable() const { return FSizable; }
  void SetSizable(bool Value) { FSizable = Value; }
  bool GetShowTitles() const { return FShowTitles; }
  void SetShowTitles(bool Value) { FShowTitles = Value; }

  PUBLISHED_DECL(TColumnDropDownBoxKv);

 protected:
  TPersistent* GetOwner() override { return FOwner; }

 private:
  TPersistent* FOwner;
  TComponentRef<TDataSource> FListSource;
  String FListField;
  Integer FRows = 7;
  Integer FWidth = 0;
  bool FSizable = false;
  bool FShowTitles = false;
};

// ---- Spec row ----------------------------------------------------------------------------------

class TAxisBarSpecRowKv : public TSpecRowKv {
  DECLARE_CLASS(TAxisBarSpecRowKv, TSpecRowKv)
 public:
  explicit TAxisBarSpecRowKv(TPersistent* Owner) : TSpecRowKv(Owner) {}
};

// ---- Edit buttons -----------------------------------------------------------------------------

class TAxisBarEditButtonKv : public TEditButtonKv {
  DECLARE_CLASS(TAxisBarEditButtonKv, TEditButtonKv)
 public:
  explicit TAxisBarEditButtonKv(TCollection* Collection) : TEditButtonKv(Collection) {}
};

// Visible from the start.
class TAxisBarVisibleEditButtonKv : public TAxisBarEditButtonKv {
  DECLARE_CLASS(TAxisBarVisibleEditButtonKv, TAxisBarEditButtonKv)
 public:
  explicit TAxisBarVisibleEditButtonKv(TCollection* Collection);
};

// The bar's own button, outside any collection; it carries the bar's ButtonStyle.
class TAxisBarMainEditButtonKv : public TAxisBarEditButtonKv {
  DECLARE_CLASS(TAxisBarMainEditButtonKv, TAxisBarEditButtonKv)
 public:
  explicit TAxisBarMainEditButtonKv(TAxisBarKv* AxisBar);
  TAxisBarKv* GetAxisBar() const { return FAxisBar; }
  TCellButtonStyleKv GetButtonStyle() const { return FButtonStyle; }
  void SetButtonStyle(TCellButtonStyleKv Value);

 private:
  TAxisBarKv* FAxisBar;
  TCellButtonStyleKv FButtonStyle = cbsAuto;
};

class TAxisBarEditButtonsKv : public TEditButtonsKv {
  DECLARE_CLASS(TAxisBarEditButtonsKv, TEditButtonsKv)
 public:
  TAxisBarEditButtonsKv(TPersistent* Owner, TEditButtonClassKv ItemClass) : TEditButtonsKv(Owner, ItemClass) {}
  TAxisBarEditButtonKv* Add() { return static_cast<TAxisBarEditButtonKv*>(TEditButtonsKv::Add()); }
  TAxisBarEditButtonKv* GetEditButton(Integer Index) const {
    return static_cast<TAxisBarEditButtonKv*>(TEditButtonsKv::GetItem(Index));
  }
  void SetEditButton(Integer Index, TAxisBarEditButtonKv* Value) { TEditButtonsKv::SetItem(Index, Value); }
};

// ---- Cell buttons -----------------------------------------------------------------------------

// A button drawn in every data cell of its bar.
class TCellButtonKv : public TAxisBarVisibleEditButtonKv {
  DECLARE_CLASS(TCellButtonKv, TAxisBarVisibleEditButtonKv)
 public:
  explicit TCellButtonKv(TCollection* Collection);
  ~TCellButtonKv() override;

  TEditButtonHorzPlacementKv GetHorzPlacement() const { return FHorzPlacement; }
  void SetHorzPlacement(TEditButtonHorzPlacementKv Value);
  bool GetPressable() const { return FPressable; }
  void SetPressable(bool Value) { FPressable = Value; }
  const String& GetCaption() const { return FCaption; }
  void SetCaption(const String& Value);
  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }

  PUBLISHED_DECL(TCellButtonKv);

 private:
  TEditButtonHorzPlacementKv FHorzPlacement = ebhpRightKv;
  bool FPressable = true;
  String FCaption;
  std::unique_ptr<TFont> FFont;
};

class TCellButtonsKv : public TEditButtonsKv {
  DECLARE_CLASS(TCellButtonsKv, TEditButtonsKv)
 public:
  TCellButtonsKv(TPersistent* Owner, TEditButtonClassKv ItemClass) : TEditButtonsKv(Owner, ItemClass) {}
  TCellButtonKv* Add() { return static_cast<TCellButtonKv*>(TEditButtonsKv::Add()); }
  TCellButtonKv* GetCellButton(Integer Index) const { return static_cast<TCellButtonKv*>(TEditButtonsKv::GetItem(Index)); }
  void SetCellButton(Integer Index, TCellButtonKv* Value) { TEditButtonsKv::SetItem(Index, Value); }
  Integer InContentButtonCount() const;
  Integer InContentVisibleButtonCount() const;
};
