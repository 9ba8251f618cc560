#pragma once
// The family's named standard pictures, cut out of the image lists of KvLibImageListRes: each
// item holds one picture at 12, 16 and 24 pixels, normal and disabled, and hands out the size that
// suits a scale factor and a size limit.

#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Types.h"

class TGraphic;

class TResourceImageItemKv : public TPersistent {
  DECLARE_CLASS(TResourceImageItemKv, TPersistent)
 public:
  TResourceImageItemKv();
  ~TResourceImageItemKv() override;

  // Frees the graphics of a list and empties it.
  virtual void ClearGraphics(std::vector<std::unique_ptr<TGraphic>>& Graphics);
  // Frees what the item held, then takes the graphics given, smallest first.
  virtual void InitGraphics(std::vector<TGraphic*> AStdImages, std::vector<TGraphic*> ADisableImages);
  // The disabled or normal picture for the limit and scale; IsDackTheme is not used. The item
  // keeps owning it.
  virtual TGraphic* GetGraphic(const TSize& MaxSize, Double ScaleFactor, bool IsDisabled, bool IsDackTheme);
  // The largest picture no wider than the first one times ScaleFactor and narrower than MaxSize.cx;
  // the first one when none is.
  virtual TGraphic* GetImageForScale(const std::vector<std::unique_ptr<TGraphic>>& Images, const TSize& MaxSize,
                                     Double ScaleFactor);

  Integer GetStdImageCount() const { return Integer(FStdImages.size()); }
  Integer GetDisableImageCount() const { return Integer(FDisableImages.size()); }

 private:
  std::vector<std::unique_ptr<TGraphic>> FStdImages;
  std::vector<std::unique_ptr<TGraphic>> FDisableImages;
};

#define KV_LIB_IMAGE_RESOURCE_ITEMS(X)                                                                       \
  X(GridScrollBarNavFirstImageItem, 0) X(GridScrollBarNavPriorImageItem, 1) X(GridScrollBarNavNextImageItem, 2) \
  X(GridScrollBarNavLastImageItem, 3) X(GridScrollBarNavInsertImageItem, 4)                                  \
  X(GridScrollBarNavDeleteImageItem, 5) X(GridScrollBarNavEditImageItem, 6)                                  \
  X(GridScrollBarNavPostImageItem, 7) X(GridScrollBarNavCancelImageItem, 8)                                  \
  X(GridScrollBarNavRefreshImageItem, 9) X(SearchPanelCancelSearchImageItem, 10)                             \
  X(SearchPanelFindNextImageItem, 11) X(SearchPanelFindPriorImageItem, 12) X(SearchPanelMenuImageItem, 13)   \
  X(SearchPanelFilterImageItem, 14) X(CustomizeColumnsDialogDown, 16) X(CustomizeColumnsDialogUp, 17)        \
  X(CustomizeColumnsDialogLeft, 18) X(CustomizeColumnsDialogRight, 19) X(CustomizeColumnsDialogSetColWidth, 20)

// The 20 named items (picture 15 of the lists is not used).
class TKvLibImageResources : public TPersistent {
  DECLARE_CLASS(TKvLibImageResources, TPersistent)
 public:
  // Cuts each used picture out of the data module's six lists.
  TKvLibImageResources();
  ~TKvLibImageResources() override;

#define KV_LIB_IMAGE_ITEM_GETTER(Name, Index) \
  TResourceImageItemKv* Get##Name() const { return F##Name.get(); }
  KV_LIB_IMAGE_RESOURCE_ITEMS(KV_LIB_IMAGE_ITEM_GETTER)
#undef KV_LIB_IMAGE_ITEM_GETTER

 private:
#define KV_LIB_IMAGE_ITEM_FIELD(Name, Index) std::unique_ptr<TResourceImageItemKv> F##Name;
  KV_LIB_IMAGE_RESOURCE_ITEMS(KV_LIB_IMAGE_ITEM_FIELD)
#undef KV_LIB_IMAGE_ITEM_FIELD
};

// The one instance, made on first use and freed at exit.
TKvLibImageResources* KvLibImageResources();
