#include "kvlib/foundation/KvLibImageReses.h"

#include "framework/Graphics.h"
#include "kvlib/foundation/KvLibImageListRes.h"

namespace {

std::unique_ptr<TKvLibImageResources>& ResourcesInstance() {
  static std::unique_ptr<TKvLibImageResources> Instance;
  return Instance;
}

}  // namespace

TResourceImageItemKv::TResourceImageItemKv() = default;

TResourceImageItemKv::~TResourceImageItemKv() = default;

void TResourceImageItemKv::ClearGraphics(std::vector<std::unique_ptr<TGraphic>>& Graphics) { Graphics.clear(); }

void TResourceImageItemKv::InitGraphics(std::vector<TGraphic*> AStdImages, std::vector<TGraphic*> ADisableImages) {
  ClearGraphics(FStdImages);
  ClearGraphics(FDisableImages);
  for (TGraphic* G : AStdImages) FStdImages.emplace_back(G);
  for (TGraphic* G : ADisableImages) FDisableImages.emplace_back(G);
}

TGraphic* TResourceImageItemKv::GetGraphic(const TSize& MaxSize, Double ScaleFactor, bool IsDisabled, bool) {
  const auto& Images = IsDisabled ? FDisableImages : FStdImages;
  if (Images.empty()) return nullptr;
  if (Images.size() == 1) return Images[0].get();
  return GetImageForScale(Images, MaxSize, ScaleFactor);
}

TGraphic* TResourceImageItemKv::GetImageForScale(const std::vector<std::unique_ptr<TGraphic>>& Images,
                                                 const TSize& MaxSize, Double ScaleFactor) {
  if (Images.empty()) return nullptr;
  const Integer Target = Integer(Images[0]->GetWidth() * ScaleFactor);
  for (size_t I = Images.size() - 1; I >= 1; --I) {
    TGraphic* G = Images[I].get();
    if (G && G->GetWidth() <= Target && G->GetWidth() < MaxSize.cx) return G;
  }
  return Images[0].get();
}

TKvLibImageResources::TKvLibImageResources() {
  TKvLibImageListDataMod* M = KvLibImageListDataMod();
  auto Make = [M](Integer Index) {
    auto Item = std::make_unique<TResourceImageItemKv>();
    std::vector<std::unique_ptr<TGraphic>> Std, Dis;
    for (TCustomImageList* L : {M->imList12_12, M->imList16_16, M->imList24_24})
      Std.emplace_back(TKvLibImageListDataMod::GetImageFromImageList(L, Index));
    for (TCustomImageList* L : {M->imList12_12_Dis, M->imList16_16_Dis, M->imList24_24_Dis})
      Dis.emplace_back(TKvLibImageListDataMod::GetImageFromImageList(L, Index));
    std::vector<TGraphic*> StdRaw, DisRaw;
    for (auto& G : Std) StdRaw.push_back(G.release());
    for (auto& G : Dis) DisRaw.push_back(G.release());
    Item->InitGraphics(StdRaw, DisRaw);
    return Item;
  };
#define KV_LIB_IMAGE_ITEM_MAKE(Name, Index) F##Name = Make(Index);
  KV_LIB_IMAGE_RESOURCE_ITEMS(KV_LIB_IMAGE_ITEM_MAKE)
#undef KV_LIB_IMAGE_ITEM_MAKE
}

TKvLibImageResources::~TKvLibImageResources() = default;

TKvLibImageResources* KvLibImageResources() {
  auto& R = ResourcesInstance();
  if (!R) R = std::make_unique<TKvLibImageResources>();
  return R.get();
}
