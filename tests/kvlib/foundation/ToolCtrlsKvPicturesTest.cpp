// Graphic providers, pictures from blob fields, placed pictures and the hint window.

#include "kvlib/foundation/ToolCtrlsKv.h"

#include <gtest/gtest.h>

#include <cstring>

#include "framework/Classes.h"
#include "framework/DB.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

// The bytes of a small saved bitmap.
TBytes BitmapBytes(Integer W, Integer H) {
  TBitmap Bmp;
  Bmp.SetPixelFormat(pf24bit);
  Bmp.SetSize(W, H);
  TMemoryStream S;
  Bmp.SaveToStream(&S);
  const auto* P = static_cast<const Byte*>(S.GetMemory());
  return TBytes(P, P + S.GetSize());
}

// Word 1, word 0x0100 and the size of the data that follows, in front of Data.
TBytes WithHeader(const TBytes& Data, Cardinal SizeWord) {
  TBytes R = {1, 0, 0, 1, 0, 0, 0, 0};
  std::memcpy(R.data() + 4, &SizeWord, 4);
  R.insert(R.end(), Data.begin(), Data.end());
  return R;
}

// An open dataset with one blob record.
class OneBlob {
 public:
  explicit OneBlob(const TBytes& Data, TFieldType Type = ftGraphic) : DS(new TArrayDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"B", Type);
    DS->GetFieldDefs()->Add(L"N", ftInteger);
    DS->Open();
    DS->Append();
    DS->FieldByName(L"B")->SetAsBytes(Data);
    DS->Post();
  }
  ~OneBlob() { delete DS; }
  TBlobField* Field() { return static_cast<TBlobField*>(DS->FieldByName(L"B")); }
  TArrayDataSet* DS;
};

TEST(GraphicFromField, ReadsAPlainBitmap) {
  OneBlob B(BitmapBytes(3, 2));
  std::unique_ptr<TGraphic> G(CreateGraphicFromField(B.Field()));
  ASSERT_NE(G, nullptr);
  ASSERT_TRUE(G->InheritsFrom(TBitmap::StaticClass()));
  EXPECT_EQ(G->GetWidth(), 3);
  EXPECT_EQ(G->GetHeight(), 2);
  EXPECT_TRUE(static_cast<TBitmap*>(G.get())->GetIgnorePalette());
}

TEST(GraphicFromField, SkipsTheHeaderOnlyWhenTheOptionIsSetAndItMatches) {
  TBytes Bmp = BitmapBytes(3, 2);
  struct {
    TBytes Data;
    bool Option;
    Integer Width;  // 0: an empty graphic
  } Cases[] = {
      {WithHeader(Bmp, Cardinal(Bmp.size())), true, 3},
      {WithHeader(Bmp, Cardinal(Bmp.size())), false, 0},
      {WithHeader(Bmp, Cardinal(Bmp.size() + 1)), true, 0},
      {Bmp, true, 3},
  };
  for (auto& T : Cases) {
    OneBlob B(T.Data);
    B.Field()->SetGraphicHeader(T.Option);
    std::unique_ptr<TGraphic> G(CreateGraphicFromField(B.Field()));
    ASSERT_NE(G, nullptr);
    EXPECT_TRUE(G->InheritsFrom(TBitmap::StaticClass()));
    EXPECT_EQ(G->GetWidth(), T.Width) << T.Option << " " << T.Data.size();
    EXPECT_EQ(G->GetEmpty(), T.Width == 0);
  }
}

TEST(GraphicFromField, OnlyBlobFieldsAreRead) {
  OneBlob B(BitmapBytes(2, 2));
  EXPECT_EQ(CreateGraphicFromField(nullptr), nullptr);
  EXPECT_EQ(CreateGraphicFromField(B.DS->FieldByName(L"N")), nullptr);
  std::unique_ptr<TPicture> P(CreatePictureFromField(B.Field()));
  EXPECT_EQ(P->GetWidth(), 2);
  TPicture Empty;
  AssignPictureFromField(B.DS->FieldByName(L"N"), &Empty);
  EXPECT_EQ(Empty.GetGraphic(), nullptr);
}

// Knows data that starts with "QQ", as an icon.
class TQQProvider : public TGraphicProviderKv {
  DECLARE_CLASS(TQQProvider, TGraphicProviderKv)
 public:
  TQQProvider() = default;
  TGraphicClass GetImageClassForStream(const Byte* Start, size_t Size) override {
    return Size >= 2 && Start[0] == 'Q' && Start[1] == 'Q' ? TGraphicClass(TIcon::StaticClass()) : nullptr;
  }
};

TEST(GraphicProviders, TheBitmapProviderKnowsBMAndNothingShorter) {
  const Byte BM[] = {'B', 'M', 0, 0};
  EXPECT_EQ(TClass(GetGraphicClassForData(BM, 4)), TBitmap::StaticClass());
  EXPECT_EQ(TClass(GetGraphicClassForData(BM, 1)), nullptr);
  EXPECT_EQ(TClass(GetGraphicClassForData(nullptr, 0)), nullptr);
  const Byte Other[] = {'G', 'I', 'F'};
  EXPECT_EQ(TClass(GetGraphicClassForData(Other, 3)), nullptr);
}

TEST(GraphicProviders, ALaterRegistrationIsAskedFirstAndCountsOnce) {
  Integer Before = GraphicProviderCount();
  RegisterGraphicProvider(TQQProvider::StaticClass());
  const Integer After = GraphicProviderCount();
  EXPECT_GE(After, Before);
  EXPECT_LE(After, Before + 1);
  RegisterGraphicProvider(TQQProvider::StaticClass());
  RegisterGraphicProvider(TBMPGraphicProviderKv::StaticClass());
  EXPECT_EQ(GraphicProviderCount(), After);
  const Byte QQ[] = {'Q', 'Q'};
  EXPECT_EQ(TClass(GetGraphicClassForData(QQ, 2)), TIcon::StaticClass());
  const Byte BM[] = {'B', 'M'};
  EXPECT_EQ(TClass(GetGraphicClassForData(BM, 2)), TBitmap::StaticClass());
}

// A bitmap whose reading fails the way a broken stream does, not as unreadable picture data.
class TFailingBitmap : public TBitmap {
  DECLARE_CLASS(TFailingBitmap, TBitmap)
 public:
  TFailingBitmap() { ++Alive; }
  ~TFailingBitmap() override { --Alive; }
  void LoadFromStream(TStream*) override { throw EReadError(L"Stream read error"); }
  static inline Integer Alive = 0;
};

// Knows data that starts with "ZZ", as the failing bitmap.
class TZZProvider : public TGraphicProviderKv {
  DECLARE_CLASS(TZZProvider, TGraphicProviderKv)
 public:
  TZZProvider() = default;
  TGraphicClass GetImageClassForStream(const Byte* Start, size_t Size) override {
    return Size >= 2 && Start[0] == 'Z' && Start[1] == 'Z' ? TGraphicClass(TFailingBitmap::StaticClass()) : nullptr;
  }
};

TEST(GraphicFromField, AFailureOtherThanUnreadableDataFreesTheGraphicAndPassesOn) {
  RegisterGraphicProvider(TZZProvider::StaticClass());
  OneBlob B(TBytes{'Z', 'Z', 0, 0});
  EXPECT_THROW(std::unique_ptr<TGraphic>(CreateGraphicFromField(B.Field())), EReadError);
  EXPECT_EQ(TFailingBitmap::Alive, 0);
  // Garbage that no provider knows is an empty bitmap, no error.
  OneBlob Garbage(TBytes{'x', 'y', 'z', 1, 2, 3});
  std::unique_ptr<TGraphic> G(CreateGraphicFromField(Garbage.Field()));
  ASSERT_NE(G, nullptr);
  EXPECT_TRUE(G->GetEmpty());
}

// A picture of W x H.
std::unique_ptr<TPictureKv> PictureOf(Integer W, Integer H) {
  auto P = std::make_unique<TPictureKv>();
  TBitmap Bmp;
  Bmp.SetSize(W, H);
  P->SetBitmap(&Bmp);
  return P;
}

TEST(PictureKv, PlacesThePictureInTheRectangle) {
  auto P = PictureOf(100, 50);
  TRect R(0, 0, 200, 200);
  struct {
    TImagePlacementKv Placement;
    TRect Expected;
  } Cases[] = {
      {ipTopLeftKv, {0, 0, 100, 50}},         {ipTopCenterKv, {50, 0, 150, 50}},
      {ipTopRightKv, {100, 0, 200, 50}},      {ipCenterLeftKv, {0, 75, 100, 125}},
      {ipCenterCenterKv, {50, 75, 150, 125}}, {ipCenterRightKv, {100, 75, 200, 125}},
      {ipBottomLeftKv, {0, 150, 100, 200}},   {ipBottomCenterKv, {50, 150, 150, 200}},
      {ipBottomRightKv, {100, 150, 200, 200}}, {ipFillKv, {-100, 0, 300, 200}},
      {ipReduceFitKv, {50, 75, 150, 125}},    {ipFitKv, {0, 50, 200, 150}},
      {ipStretchKv, {0, 0, 200, 200}},        {ipTileKv, {0, 0, 100, 50}},
  };
  for (auto& T : Cases) EXPECT_EQ(P->GetDestRect(R, T.Placement), T.Expected) << T.Placement;
  // A picture larger than the rectangle is reduced to fit; the rectangle's origin carries over.
  auto Wide = PictureOf(400, 100);
  EXPECT_EQ(Wide->GetDestRect(R, ipReduceFitKv), TRect(0, 75, 200, 125));
  EXPECT_EQ(Wide->GetDestRect(TRect(10, 20, 210, 220), ipFitKv), TRect(10, 95, 210, 145));
  auto Tall = PictureOf(50, 100);
  EXPECT_EQ(Tall->GetDestRect(R, ipFitKv), TRect(50, 0, 150, 200));
  EXPECT_EQ(Tall->GetDestRect(R, ipFillKv), TRect(0, -100, 200, 300));
  TPictureKv Empty;
  EXPECT_EQ(Empty.GetDestRect(R, ipFitKv), R);
  EXPECT_EQ(Empty.GetDestRect(R, ipCenterCenterKv), TRect(100, 100, 100, 100));
}

TEST(PictureKv, TilesFromTheTopLeftPastTheEdges) {
  TBitmap Tile;
  Tile.SetPixelFormat(pf32bit);
  Tile.SetSize(30, 30);
  Tile.GetCanvas()->GetBrush()->SetColor(clWhite);
  Tile.GetCanvas()->FillRect(TRect(0, 0, 30, 30));
  Tile.GetCanvas()->SetPixel(0, 0, clRed);
  TPictureKv P;
  P.SetBitmap(&Tile);
  TBitmap Target;
  Target.SetPixelFormat(pf32bit);
  Target.SetSize(130, 70);
  TCanvas* C = Target.GetCanvas();
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(TRect(0, 0, 130, 70));
  P.PaintTo(C, TRect(0, 0, 100, 50), ipTileKv, TPoint(0, 0), TRect(0, 0, 0, 0));
  Integer Red = 0;
  for (Integer Y = 0; Y < 70; ++Y)
    for (Integer X = 0; X < 130; ++X) Red += (C->GetPixel(X, Y) & 0xFFFFFF) == clRed;
  EXPECT_EQ(Red, 8);  // 4 x 2 tiles
  EXPECT_EQ(C->GetPixel(90, 30) & 0xFFFFFF, clRed);
  EXPECT_EQ(C->GetPixel(129, 30) & 0xFFFFFF, clWhite);  // the last tile reaches past the right edge
}

TEST(HintWindowKv, MeasuresWithTheFontOfTheHintData) {
  auto* W = new THintWindowKv(nullptr);
  TFont Small, Big;
  Small.SetHeight(-11);
  Big.SetHeight(-30);
  TRect A = W->CalcHintRect(400, L"Ayar dosyası", &Small);
  TRect B = W->CalcHintRect(400, L"Ayar dosyası", &Big);
  EXPECT_GT(B.Width(), A.Width());
  EXPECT_GE(B.Height(), 32);
  EXPECT_EQ(A.Left, 0);
  // Word break within the width given.
  TRect Narrow = W->CalcHintRect(40, L"bir iki üç dört beş", &Small);
  EXPECT_LE(Narrow.Width(), 46 + 20);
  EXPECT_GT(Narrow.Height(), A.Height());
  W->ActivateHintData(TRect(0, 0, A.Width(), A.Height()), L"Ayar dosyası", &Big);
  EXPECT_EQ(W->GetFont()->GetHeight(), -30);
  delete W;
}

}  // namespace
