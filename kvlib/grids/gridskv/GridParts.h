#pragma once
// The settings objects a grid owns (part of the unit GridsKv), each reporting its changes to its
// grid: line colours, the out-boundary strips around the cell area, hot-track spots, the
// background picture, the two scroll bars and the selection look; and the draw style, one
// component shared by every grid that has no style of its own.

#include <memory>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/controls/ControlTypes.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "kvlib/foundation/toolctrls/Pictures.h"

class TCustomGridKv;

// The sides of a cell; left and right lines are vertical, top and bottom lines horizontal.
DECLARE_ENUM(TGridCellBorderTypeKv, cbtTopKv, cbtLeftKv, cbtBottomKv, cbtRightKv)
using TGridCellBorderTypesKv = Set<TGridCellBorderTypeKv, 8>;

// ---- Line colours -----------------------------------------------------------------------------

// Every colour starts unset (clDefault) and its getter then answers a default derived from the
// dark and the bright colour.
class TGridLineColorsKv : public TPersistent {
  DECLARE_CLASS(TGridLineColorsKv, TPersistent)
 public:
  explicit TGridLineColorsKv(TCustomGridKv* AGrid);
  void Assign(TPersistent* Source) override;

  virtual TColor GetCellAreaLineColor(Integer ACol, Integer ARow);
  virtual TColor GetDataHorzColor();
  virtual TColor GetDataVertColor();
  virtual TColor GetFrozenRowLineColor(Integer ARow);
  virtual TColor GetHorzAreaFrozenBorderColor();
  virtual TColor GetHorzAreaFrozenHorzColor();
  virtual TColor GetHorzAreaFrozenVertColor();
  virtual TColor GetContraColLineColor(Integer ACol);
  virtual TColor GetFrozenColLineColor(Integer ACol);
  virtual TColor GetContraRowLineColor(Integer ARow);
  virtual TColor GetVertAreaFrozenBorderColor();
  virtual TColor GetVertAreaFrozenHorzColor();
  virtual TColor GetVertAreaFrozenVertColor();
  virtual TColor GetDarkColor();
  virtual TColor GetBrightColor();
  virtual TColor GetFixedVertColor();
  virtual TColor GetFixedHorzColor();
  virtual TColor GetVertAreaContraVertColor();
  virtual TColor GetVertAreaContraHorzColor();
  virtual TColor GetHorzAreaContraVertColor();
  virtual TColor GetHorzAreaContraHorzColor();
  virtual TColor GetVertAreaContraBorderColor();
  virtual TColor GetHorzAreaContraBorderColor();

  void SetBrightColor(TColor Value);
  void SetDarkColor(TColor Value);
  void SetDataHorzColor(TColor Value);
  void SetDataVertColor(TColor Value);
  bool IsBrightColorStored() const { return FBrightColor != clDefault; }
  bool IsDarkColorStored() const { return FDarkColor != clDefault; }
  bool IsDataHorzColorStored() const { return FDataHorzColor != clDefault; }
  bool IsDataVertColorStored() const { return FDataVertColor != clDefault; }
  TCustomGridKv* GetGrid() const { return FGrid; }

  PUBLISHED_DECL(TGridLineColorsKv);

 protected:
  TPersistent* GetOwner() override;
  // The set value, else Default.
  static TColor SetOr(TColor Value, TColor Default) { return Value != clDefault ? Value : Default; }
  void StoreColor(TColor& Field, TColor Value);

  TColor FBrightColor = clDefault;
  TColor FDarkColor = clDefault;
  TColor FDataHorzColor = clDefault;
  TColor FDataVertColor = clDefault;
  TColor FFixedHorzColor = clDefault;
  TColor FFixedVertColor = clDefault;
  TCustomGridKv* FGrid;  // the grid owns its line colours
  TColor FHorzAreaContraBorderColor = clDefault;
  TColor FHorzAreaContraHorzColor = clDefault;
  TColor FHorzAreaContraVertColor = clDefault;
  TColor FHorzAreaFrozenBorderColor = clDefault;
  TColor FHorzAreaFrozenHorzColor = clDefault;
  TColor FHorzAreaFrozenVertColor = clDefault;
  TColor FVertAreaContraBorderColor = clDefault;
  TColor FVertAreaContraHorzColor = clDefault;
  TColor FVertAreaContraVertColor = clDefault;
  TColor FVertAreaFrozenBorderColor = clDefault;
  TColor FVertAreaFrozenHorzColor = clDefault;
  TColor FVertAreaFrozenVertColor = clDefault;
};

// ---- Out-boundary strips ----------------------------------------------------------------------

// Which strip owns a corner: with the horizontal priority the top or bottom strip runs through
// it, with the vertical one the left or right strip does.
DECLARE_ENUM(TCornerDrawPriorityKv, crpHorizontalDataPriorityKv, crpVerticalDataPriorityKv)

class TGridOutBoundaryDataKv : public TPersistent {
  DECLARE_CLASS(TGridOutBoundaryDataKv, TPersistent)
 public:
  explicit TGridOutBoundaryDataKv(TCustomGridKv* AGrid) : FGrid(AGrid) {}
  void Assign(TPersistent* Source) override;

  // The strip's rectangle in the grid's client coordinates; false, and ARect left alone, when
  // the strip has no size.
  bool GetOutBoundaryRect(TRect& ARect, TGridCellBorderTypeKv OutBoundaryType);
  void InvalidateOutBoundary(TGridCellBorderTypeKv OutBoundaryType);

  Integer GetBottomIndent() const { return FBottomIndent; }
  void SetBottomIndent(Integer Value) { SetValue(FBottomIndent, Value); }
  Integer GetLeftIndent() const { return FLeftIndent; }
  void SetLeftIndent(Integer Value) { SetValue(FLeftIndent, Value); }
  Integer GetRightIndent() const { return FRightIndent; }
  void SetRightIndent(Integer Value) { SetValue(FRightIndent, Value); }
  Integer GetTopIndent() const { return FTopIndent; }
  void SetTopIndent(Integer Value) { SetValue(FTopIndent, Value); }
  TCornerDrawPriorityKv GetLeftBottomDrawPriority() const { return FLeftBottomDrawPriority; }
  void SetLeftBottomDrawPriority(TCornerDrawPriorityKv Value) { SetValue(FLeftBottomDrawPriority, Value); }
  TCornerDrawPriorityKv GetLeftTopDrawPriority() const { return FLeftTopDrawPriority; }
  void SetLeftTopDrawPriority(TCornerDrawPriorityKv Value) { SetValue(FLeftTopDrawPriority, Value); }
  TCornerDrawPriorityKv GetRightBottomDrawPriority() const { return FRightBottomDrawPriority; }
  void SetRightBottomDrawPriority(TCornerDrawPriorityKv Value) { SetValue(FRightBottomDrawPriority, Value); }
  TCornerDrawPriorityKv GetRightTopDrawPriority() const { return FRightTopDrawPriority; }
  void SetRightTopDrawPriority(TCornerDrawPriorityKv Value) { SetValue(FRightTopDrawPriority, Value); }
  TCustomGridKv* GetGrid() const { return FGrid; }

  PUBLISHED_DECL(TGridOutBoundaryDataKv);

 protected:
  TPersistent* GetOwner() override;

 private:
  // Every setting changes the strips, so each one lays the grid out again.
  template <class T>
  void SetValue(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }
  void Changed();

  Integer FBottomIndent = 0;
  TCustomGridKv* FGrid;  // the grid owns its strips
  TCornerDrawPriorityKv FLeftBottomDrawPriority = crpHorizontalDataPriorityKv;
  Integer FLeftIndent = 0;
  TCornerDrawPriorityKv FLeftTopDrawPriority = crpHorizontalDataPriorityKv;
  TCornerDrawPriorityKv FRightBottomDrawPriority = crpHorizontalDataPriorityKv;
  Integer FRightIndent = 0;
  TCornerDrawPriorityKv FRightTopDrawPriority = crpHorizontalDataPriorityKv;
  Integer FTopIndent = 0;
};

// ---- Hot-track spot ---------------------------------------------------------------------------

class TGridHotTrackSpotKv : public TPersistent {
  DECLARE_CLASS(TGridHotTrackSpotKv, TPersistent)
 public:
  TGridHotTrackSpotKv() = default;
  void Assign(TPersistent* Source) override;

  Integer GetCol() const { return FCol; }
  void SetCol(Integer Value) { FCol = Value; }
  Integer GetInCellX() const { return FInCellX; }
  void SetInCellX(Integer Value) { FInCellX = Value; }
  Integer GetInCellY() const { return FInCellY; }
  void SetInCellY(Integer Value) { FInCellY = Value; }
  Integer GetRow() const { return FRow; }
  void SetRow(Integer Value) { FRow = Value; }

 private:
  Integer FCol = -1;
  Integer FInCellX = 0;
  Integer FInCellY = 0;
  Integer FRow = -1;
};

// ---- Background picture -----------------------------------------------------------------------

class TGridBackgroundDataKv : public TPersistent {
  DECLARE_CLASS(TGridBackgroundDataKv, TPersistent)
 public:
  explicit TGridBackgroundDataKv(TCustomGridKv* AGrid);
  ~TGridBackgroundDataKv() override;
  void Assign(TPersistent* Source) override;

  virtual bool Showing() { return FVisible; }
  // The grid's cell area.
  virtual TRect BoundRect();
  // The grid colour over the whole control, then the picture.
  virtual void PaintBackgroundData(TCanvas* Canvas);

  // Where the picture goes inside BoundRect, margins included.
  TRect PictureRect();

  Integer GetHorzMargin() const { return FImageHorzMargin; }
  void SetHorzMargin(Integer Value);
  TPicture* GetPicture() const;
  void SetPicture(TPicture* Value);
  TImagePlacementKv GetPlacement() const { return FImagePlacement; }
  void SetPlacement(TImagePlacementKv Value);
  Integer GetVertMargin() const { return FImageVertMargin; }
  void SetVertMargin(Integer Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  TCustomGridKv* GetGrid() const { return FGrid; }

  PUBLISHED_DECL(TGridBackgroundDataKv);

 protected:
  TPersistent* GetOwner() override;

 private:
  void BackgroundPictureChanged(TObject* Sender);
  void InvalidateGrid();

  TCustomGridKv* FGrid;  // the grid owns its background
  Integer FImageHorzMargin = 0;
  TImagePlacementKv FImagePlacement = ipCenterCenterKv;
  Integer FImageVertMargin = 0;
  std::unique_ptr<TPictureKv> FPicture;
  bool FVisible = false;
};

// ---- Scroll-bar settings ----------------------------------------------------------------------

DECLARE_ENUM(TScrollBarVisibleModeKv, sbAlwaysShowKv, sbNeverShowKv, sbAutoShowKv)

class TGridScrollBarKv : public TPersistent {
  DECLARE_CLASS(TGridScrollBarKv, TPersistent)
 public:
  TGridScrollBarKv(TCustomGridKv* AGrid, TScrollBarKind AKind);
  // Copies every setting but the kind.
  void Assign(TPersistent* Source) override;

  // Always, never, or (auto) when the grid's bar parameters for this kind leave something to
  // scroll.
  virtual bool CalcScrollBarVisible();
  virtual void UpdateGridScrollBars();
  virtual void SmoothStepChanged() {}
  // ActualSize, no more than the system's scroll-bar height while IsKeepMaxSizeInDefault.
  virtual Integer ActualScrollBarBoxSize();
  // The grid's system size when Size is 0 or less, else Size at the control's scale.
  virtual Integer ActualSize();
  virtual bool IsKeepMaxSizeInDefault() { return false; }
  virtual bool IsScrollBarShowing() { return CalcScrollBarVisible(); }
  virtual bool ScrollBarPanel() { return true; }

  bool CheckHideScrollBar() { return !IsScrollBarShowing(); }
  // The bar of the grid's panel of this kind.
  void GetScrollBarParams(Integer& APosition, Integer& AMin, Integer& AMax, Integer& APageSize);
  void SetScrollBarParams(Integer APosition, Integer AMin, Integer AMax, Integer APageSize);

  TCustomGridKv* GetGrid() const { return FGrid; }
  TScrollBarKind GetKind() const { return FKind; }
  Integer GetSize() const { return FSize; }
  void SetSize(Integer Value);
  bool GetSmoothStep() const { return FSmoothStep; }
  void SetSmoothStep(bool Value);
  bool GetTracking() const { return FTracking; }
  void SetTracking(bool Value) { FTracking = Value; }
  // True unless never shown; True sets the auto mode, False the never mode.
  bool GetVisible() const { return FVisibleMode != sbNeverShowKv; }
  void SetVisible(bool Value) { SetVisibleMode(Value ? sbAutoShowKv : sbNeverShowKv); }
  TScrollBarVisibleModeKv GetVisibleMode() const { return FVisibleMode; }
  void SetVisibleMode(TScrollBarVisibleModeKv Value);

  PUBLISHED_DECL(TGridScrollBarKv);

 protected:
  TPersistent* GetOwner() override;

 private:
  TCustomGridKv* FGrid;  // the grid owns its scroll-bar settings
  TScrollBarKind FKind;
  Integer FSize = 0;
  bool FSmoothStep = false;
  bool FTracking = true;
  TScrollBarVisibleModeKv FVisibleMode = sbAutoShowKv;
};

// ---- Selection look ---------------------------------------------------------------------------

DECLARE_ENUM(TGridSelectionDrawStyleKv, gsdsDefaultKv, gsdsClassicKv, gsdsGridThemedKv, gsdsListViewThemedKv)

// The style shared by every grid without one of its own. Grids register with it and hear its
// changes; freeing it returns them to the shared default (or to none while the default itself
// goes).
class TGridDrawStyleKv : public TComponent {
  DECLARE_CLASS(TGridDrawStyleKv, TComponent)
 public:
  explicit TGridDrawStyleKv(TComponent* AOwner);
  ~TGridDrawStyleKv() override;
  void Assign(TPersistent* Source) override;

  virtual bool DefaultDrawFocusFrame();
  virtual TGridSelectionDrawStyleKv GetDefaultActualSelectionStyle();

  void AddChangeNotification(TCustomGridKv* Grid);
  void RemoveChangeNotification(TCustomGridKv* Grid);
  bool GridInChangeNotification(TCustomGridKv* Grid) const;
  Integer GridCount() const { return FGrids.GetCount(); }
  // DrawStyleChanged of every registered grid.
  void Changed();
  TGridSelectionDrawStyleKv GetActualSelectionStyle();
  static bool IsCustomStyleActive();

  TGridSelectionDrawStyleKv GetSelectionStyle() const { return FSelectionStyle; }
  void SetSelectionStyle(TGridSelectionDrawStyleKv Value);
  bool GetDrawFocusFrame();
  void SetDrawFocusFrame(bool Value);
  bool GetDrawFocusFrameStored() const { return FDrawFocusFrameStored; }
  void SetDrawFocusFrameStored(bool Value);
  bool IsDrawFocusFrameStored() const { return FDrawFocusFrameStored; }

  PUBLISHED_DECL(TGridDrawStyleKv);

 private:
  void DetachGrids();

  bool FDrawFocusFrame = false;
  bool FDrawFocusFrameStored = false;
  TObjectListKv FGrids;  // registered, not owned
  TGridSelectionDrawStyleKv FSelectionStyle = gsdsDefaultKv;
};

// The style every grid without its own uses; nil before the unit starts and after it ends.
TGridDrawStyleKv* GetDefaultGridDrawStyle();
// A style being freed stops being the default.
void ForgetDefaultGridDrawStyle(TGridDrawStyleKv* Style);

// The selection look of one grid; a change repaints the grid.
class TGridSelectionDrawParamsKv : public TPersistent {
  DECLARE_CLASS(TGridSelectionDrawParamsKv, TPersistent)
 public:
  explicit TGridSelectionDrawParamsKv(TCustomGridKv* AGrid) : FGrid(AGrid) {}
  void Assign(TPersistent* Source) override;

  virtual bool DefaultDrawFocusFrame();

  TGridSelectionDrawStyleKv GetActualSelectionStyle();
  TGridSelectionDrawStyleKv GetSelectionStyle() const { return FSelectionStyle; }
  void SetSelectionStyle(TGridSelectionDrawStyleKv Value);
  bool GetDrawFocusFrame();
  void SetDrawFocusFrame(bool Value);
  bool GetDrawFocusFrameStored() const { return FDrawFocusFrameStored; }
  void SetDrawFocusFrameStored(bool Value);
  bool IsDrawFocusFrameStored() const { return FDrawFocusFrameStored; }
  TCustomGridKv* GetGrid() const { return FGrid; }

  // Repaints the grid.
  void Changed();

  PUBLISHED_DECL(TGridSelectionDrawParamsKv);

 protected:
  TPersistent* GetOwner() override;

 private:

  bool FDrawFocusFrame = false;
  bool FDrawFocusFrameStored = false;
  TCustomGridKv* FGrid;  // the grid owns its selection parameters
  TGridSelectionDrawStyleKv FSelectionStyle = gsdsDefaultKv;
};
