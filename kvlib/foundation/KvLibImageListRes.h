#pragma once
// The family's standard pictures (navigator, search panel and column-dialog buttons): six image
// lists of the same 21 pictures at 12, 16 and 24 pixels, each in a normal and a disabled look.
// The lists come from the data module's form resource; their pictures are drawn from the small
// vector descriptions in KvLibImageListRes.cpp, so every size is sharp.

#include "framework/Forms.h"
#include <vector>

#include "framework/ImgList.h"

class TGraphic;

class TKvLibImageListDataMod : public TDataModule {
  DECLARE_CLASS(TKvLibImageListDataMod, TDataModule)
 public:
  explicit TKvLibImageListDataMod(TComponent* AOwner);
  // Reads the form resource, then draws the pictures into the lists it made.
  void AfterConstruction() override;

  // The picture at ImageIndex as a new 32-bit bitmap with a defined alpha channel; the caller
  // owns it.
  static TGraphic* GetImageFromImageList(TCustomImageList* ImageList, Integer ImageIndex);

  TImageList* imList12_12 = nullptr;
  TImageList* imList12_12_Dis = nullptr;
  TImageList* imList16_16 = nullptr;
  TImageList* imList16_16_Dis = nullptr;
  TImageList* imList24_24 = nullptr;
  TImageList* imList24_24_Dis = nullptr;
};

// The number of pictures in each list.
constexpr Integer KvLibStdImageCount = 21;
// The picture Index drawn at Size pixels as top-down BGRA rows with straight alpha.
std::vector<Cardinal> RenderKvLibStdImage(Integer Index, Integer Size, bool Disabled);

// The one data module, made on first use and freed at exit.
TKvLibImageListDataMod* KvLibImageListDataMod();
