// The standard pictures: cut out of the image lists whole (alpha included), the disabled look
// from the disabled lists, and the size chosen for a scale factor and a size limit.

#include "kvlib/foundation/KvLibImageReses.h"

#include <gtest/gtest.h>

#include "framework/Graphics.h"
#include "kvlib/foundation/KvLibImageListRes.h"

namespace {

std::vector<Cardinal> PixelsOf(TGraphic* G) { return dynamic_cast<TBitmap*>(G)->GetPixelsBGRA(); }

TEST(KvLibImageListDataMod, ListsHoldEveryPictureAtItsSize) {
  TKvLibImageListDataMod* M = KvLibImageListDataMod();
  struct TCase {
    TImageList* List;
    Integer Size;
  } Cases[] = {{M->imList12_12, 12}, {M->imList12_12_Dis, 12}, {M->imList16_16, 16},
               {M->imList16_16_Dis, 16}, {M->imList24_24, 24}, {M->imList24_24_Dis, 24}};
  for (const TCase& C : Cases) {
    ASSERT_NE(C.List, nullptr);
    EXPECT_EQ(C.List->GetWidth(), C.Size);
    EXPECT_EQ(C.List->GetHeight(), C.Size);
    EXPECT_EQ(C.List->GetCount(), KvLibStdImageCount);
  }
}

TEST(KvLibImageListDataMod, CutPictureIsTheDrawnOneWithItsAlpha) {
  TKvLibImageListDataMod* M = KvLibImageListDataMod();
  for (Integer Index : {0, 9, 14, 20}) {
    std::unique_ptr<TGraphic> G(TKvLibImageListDataMod::GetImageFromImageList(M->imList16_16, Index));
    ASSERT_EQ(G->GetWidth(), 16);
    ASSERT_EQ(G->GetHeight(), 16);
    EXPECT_EQ(dynamic_cast<TBitmap*>(G.get())->GetAlphaFormat(), afDefined);
    const auto Want = RenderKvLibStdImage(Index, 16, false);
    const auto Got = PixelsOf(G.get());
    Integer Opaque = 0, Clear = 0;
    for (size_t I = 0; I < Want.size(); ++I) {
      EXPECT_EQ(Got[I] >> 24, Want[I] >> 24) << "picture " << Index << " pixel " << I;
      Opaque += (Want[I] >> 24) == 255;
      Clear += (Want[I] >> 24) == 0;
    }
    // Every picture has a solid body on a see-through ground.
    EXPECT_GT(Opaque, 10) << Index;
    EXPECT_GT(Clear, 40) << Index;
  }
  EXPECT_THROW(TKvLibImageListDataMod::GetImageFromImageList(M->imList16_16, 400), Exception);
}

TEST(KvLibImageResources, SizeIsChosenByScaleAndLimit) {
  TResourceImageItemKv* Item = KvLibImageResources()->GetGridScrollBarNavNextImageItem();
  struct TCase {
    Integer MaxWidth;
    Double Scale;
    Integer Width;
  } Cases[] = {
      {100, 1.0, 12}, {100, 1.45, 16}, {100, 1.5, 16}, {100, 1.99, 16}, {100, 2.0, 24}, {100, 3.0, 24},
      {16, 2.0, 12},  // neither 24 nor 16 is narrower than the limit
      {17, 2.0, 16}, {25, 2.0, 24}, {100, 0.5, 12},
  };
  for (const TCase& C : Cases) {
    TGraphic* G = Item->GetGraphic(TSize{C.MaxWidth, C.MaxWidth}, C.Scale, false, false);
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(G->GetWidth(), C.Width) << C.MaxWidth << " at " << C.Scale;
  }
}

TEST(KvLibImageResources, DisabledRequestTakesTheDisabledPictureOfTheSameIndex) {
  TKvLibImageResources* R = KvLibImageResources();
  struct TCase {
    TResourceImageItemKv* Item;
    Integer Index;
  } Cases[] = {{R->GetGridScrollBarNavFirstImageItem(), 0}, {R->GetGridScrollBarNavPostImageItem(), 7},
               {R->GetSearchPanelFilterImageItem(), 14}, {R->GetCustomizeColumnsDialogDown(), 16},
               {R->GetCustomizeColumnsDialogSetColWidth(), 20}};
  for (const TCase& C : Cases) {
    TGraphic* Normal = C.Item->GetGraphic(TSize{100, 100}, 2.0, false, false);
    TGraphic* Disabled = C.Item->GetGraphic(TSize{100, 100}, 2.0, true, true);
    ASSERT_NE(Normal, Disabled);
    const auto Want = RenderKvLibStdImage(C.Index, 24, true);
    const auto Got = PixelsOf(Disabled);
    for (size_t I = 0; I < Want.size(); ++I) ASSERT_EQ(Got[I] >> 24, Want[I] >> 24) << C.Index;
    EXPECT_NE(PixelsOf(Normal), Got);
  }
}

TEST(ResourceImageItem, OneGraphicIsAlwaysTheAnswer) {
  TResourceImageItemKv Item;
  EXPECT_EQ(Item.GetGraphic(TSize{100, 100}, 2.0, false, false), nullptr);
  auto* Only = new TBitmap(12, 12);
  Item.InitGraphics({Only}, {});
  EXPECT_EQ(Item.GetGraphic(TSize{1, 1}, 3.0, false, false), Only);
  Item.InitGraphics({new TBitmap(12, 12), new TBitmap(24, 24)}, {new TBitmap(12, 12)});  // frees Only
  EXPECT_EQ(Item.GetStdImageCount(), 2);
  EXPECT_EQ(Item.GetGraphic(TSize{100, 100}, 2.0, false, false)->GetWidth(), 24);
}

}  // namespace
