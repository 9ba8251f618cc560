#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/WinApi.h"

namespace {

// A 4 x 4 glyph: a blue 2 x 2 square on fuchsia.
std::unique_ptr<TBitmap> Glyph(TColor Centre = clBlue) {
  auto B = std::make_unique<TBitmap>();
  B->SetPixelFormat(pf24bit);
  B->SetSize(4, 4);
  B->GetCanvas()->GetBrush()->SetColor(clFuchsia);
  B->GetCanvas()->FillRect(Rect(0, 0, 4, 4));
  B->GetCanvas()->GetBrush()->SetColor(Centre);
  B->GetCanvas()->FillRect(Rect(1, 1, 3, 3));
  return B;
}

std::unique_ptr<TBitmap> Surface(TColor Fill) {
  auto B = std::make_unique<TBitmap>();
  B->SetPixelFormat(pf24bit);
  B->SetSize(8, 8);
  B->GetCanvas()->GetBrush()->SetColor(Fill);
  B->GetCanvas()->FillRect(Rect(0, 0, 8, 8));
  return B;
}

TEST(ImageList, AddMaskedDrawsTransparently) {
  TImageList L(nullptr, 4, 4);
  EXPECT_EQ(L.AddMasked(Glyph().get(), clFuchsia), 0);
  EXPECT_EQ(L.AddMasked(Glyph(clRed).get(), clDefault), 1);  // the bottom-left pixel
  EXPECT_EQ(L.GetCount(), 2);
  auto S = Surface(clGreen);
  L.Draw(S->GetCanvas(), 2, 2, 0);
  EXPECT_EQ(S->GetCanvas()->GetPixel(2, 2), clGreen);
  EXPECT_EQ(S->GetCanvas()->GetPixel(3, 3), clBlue);
  L.Draw(S->GetCanvas(), 2, 2, 1);
  EXPECT_EQ(S->GetCanvas()->GetPixel(3, 3), clRed);
  EXPECT_EQ(S->GetCanvas()->GetPixel(5, 5), clGreen);
  // The mask alone: black where the image is.
  auto M = Surface(clWhite);
  L.Draw(M->GetCanvas(), 0, 0, 0, dsNormal, itMask);
  EXPECT_EQ(M->GetCanvas()->GetPixel(1, 1), clBlack);
  EXPECT_EQ(M->GetCanvas()->GetPixel(0, 0), clWhite);
}

TEST(ImageList, DisabledImagesAreEmbossedInSystemColours) {
  TImageList L(nullptr, 4, 4);
  L.AddMasked(Glyph().get(), clFuchsia);
  auto S = Surface(clWhite);
  L.Draw(S->GetCanvas(), 0, 0, 0, false);
  TColor Shadow = TColor(ColorToRGB(clBtnShadow)), Light = TColor(ColorToRGB(clBtnHighlight));
  EXPECT_EQ(S->GetCanvas()->GetPixel(1, 1), Shadow);
  EXPECT_EQ(S->GetCanvas()->GetPixel(3, 3), Light);  // the highlight one pixel down-right
  EXPECT_EQ(S->GetCanvas()->GetPixel(0, 0), clWhite);
  EXPECT_NE(S->GetCanvas()->GetPixel(2, 2), clBlue);
}

TEST(ImageList, GetBitmapRendersOverTheBackgroundColour) {
  TImageList L(nullptr, 4, 4);
  L.AddMasked(Glyph().get(), clFuchsia);
  L.SetBkColor(clYellow);
  TBitmap B;
  ASSERT_TRUE(L.GetBitmap(0, &B));
  EXPECT_EQ(B.GetWidth(), 4);
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 0), clYellow);
  EXPECT_EQ(B.GetCanvas()->GetPixel(1, 2), clBlue);
  EXPECT_FALSE(L.GetBitmap(5, &B));
  TIcon I;
  L.GetIcon(0, &I);
  EXPECT_EQ(I.GetWidth(), 4);
}

TEST(ImageList, ReplaceDeleteAndClearKeepTheCountAndNotifyLinks) {
  TImageList L(nullptr, 4, 4);
  int Notified = 0;
  TChangeLink Link;
  Link.SetOnChange([&](TObject* Sender) {
    EXPECT_EQ(Sender, &L);
    ++Notified;
  });
  L.RegisterChanges(&Link);
  L.AddMasked(Glyph().get(), clFuchsia);
  L.AddMasked(Glyph(clRed).get(), clFuchsia);
  L.ReplaceMasked(0, Glyph(clLime).get(), clFuchsia);
  auto S = Surface(clWhite);
  L.Draw(S->GetCanvas(), 0, 0, 0);
  EXPECT_EQ(S->GetCanvas()->GetPixel(1, 1), clLime);
  EXPECT_EQ(S->GetCanvas()->GetPixel(0, 0), clWhite);
  L.Delete(0);
  EXPECT_EQ(L.GetCount(), 1);
  EXPECT_THROW(L.Delete(3), EInvalidOperation);
  L.Clear();
  EXPECT_EQ(L.GetCount(), 0);
  EXPECT_EQ(Notified, 5);
  {
    TChangeLink Gone;
    L.RegisterChanges(&Gone);
  }  // a freed link leaves the list
  L.Clear();
  EXPECT_EQ(Notified, 6);
  L.UnRegisterChanges(&Link);
  L.Clear();
  EXPECT_EQ(Notified, 6);
}

TEST(ImageList, ThirtyTwoBitImagesKeepTheirAlpha) {
  TImageList L(nullptr, 2, 1);
  L.SetColorDepth(cd32Bit);
  L.SetMasked(false);
  TBitmap A;
  A.SetPixelFormat(pf32bit);
  A.SetSize(2, 1);
  auto* Row = static_cast<Cardinal*>(A.GetScanLine(0));
  Row[0] = 0xFF0000FF;  // opaque blue
  Row[1] = 0x00000000;  // clear
  A.SetAlphaFormat(afDefined);
  L.Add(&A, nullptr);
  auto S = Surface(clRed);
  L.Draw(S->GetCanvas(), 0, 0, 0);
  EXPECT_EQ(S->GetCanvas()->GetPixel(0, 0), clBlue);
  EXPECT_EQ(S->GetCanvas()->GetPixel(1, 0), clRed);
}

TEST(ImageList, ImageDataRoundTripsThroughAStream) {
  TImageList L(nullptr, 4, 4);
  L.AddMasked(Glyph().get(), clFuchsia);
  L.AddMasked(Glyph(clRed).get(), clFuchsia);
  TMemoryStream M;
  L.WriteData(&M);
  ASSERT_GT(M.GetSize(), 0);
  M.SetPosition(0);
  TImageList R(nullptr);
  R.ReadData(&M);
  EXPECT_EQ(R.GetCount(), 2);
  EXPECT_EQ(R.GetWidth(), 4);
  auto S = Surface(clGreen);
  R.Draw(S->GetCanvas(), 0, 0, 1);
  EXPECT_EQ(S->GetCanvas()->GetPixel(1, 1), clRed);
  EXPECT_EQ(S->GetCanvas()->GetPixel(0, 0), clGreen);
  TMemoryStream Bad;
  Bad.WriteBuffer("IL\x01\x01", 4);
  Bad.SetPosition(0);
  EXPECT_THROW(R.ReadData(&Bad), EReadError);
}

TEST(ImageList, ChangingTheSizeEmptiesTheList) {
  TImageList L(nullptr);
  EXPECT_EQ(L.GetWidth(), 16);
  L.SetWidth(4);
  L.SetHeight(4);
  L.AddMasked(Glyph().get(), clFuchsia);
  L.SetWidth(8);
  EXPECT_EQ(L.GetCount(), 0);
  EXPECT_NE(GetSystemImageList(true), nullptr);
}

}  // namespace

namespace {

TEST(ImageList, FormStreamCarriesTheImages) {
  RegisterClass(TImageList::StaticClass());
  TImageList Source(nullptr, 4, 4);
  Source.SetBkColor(clYellow);
  Source.AddMasked(Glyph().get(), clFuchsia);
  Source.AddMasked(Glyph(clRed).get(), clFuchsia);
  TMemoryStream M;
  M.WriteComponent(&Source);
  M.SetPosition(0);
  TImageList Target(nullptr);
  M.ReadComponent(&Target);
  EXPECT_EQ(Target.GetWidth(), 4);
  EXPECT_EQ(Target.GetBkColor(), clYellow);
  ASSERT_EQ(Target.GetCount(), 2);
  TBitmap B;
  Target.GetBitmap(1, &B);
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 0), clYellow);
  EXPECT_EQ(B.GetCanvas()->GetPixel(1, 1), clRed);
}

TEST(ImageList, SelectedStyleBlendsWithTheBlendColour) {
  TImageList L(nullptr, 4, 4);
  L.AddMasked(Glyph(clWhite).get(), clFuchsia);
  L.SetBlendColor(clBlue);
  auto Normal = Surface(clBlack), Selected = Surface(clBlack);
  L.Draw(Normal->GetCanvas(), 0, 0, 0, dsNormal, itImage);
  L.Draw(Selected->GetCanvas(), 0, 0, 0, dsSelected, itImage);
  EXPECT_EQ(Normal->GetCanvas()->GetPixel(1, 1), clWhite);
  Cardinal Mixed = ColorToRGB(Selected->GetCanvas()->GetPixel(1, 1));
  EXPECT_NEAR(int(Mixed & 0xFF), 128, 2);  // half white, half blue
  EXPECT_EQ(Mixed >> 16, 0xFFu);
  EXPECT_EQ(Selected->GetCanvas()->GetPixel(0, 0), clBlack);
}

}  // namespace

TEST(ImageList, ShellIconsAreIndexesIntoTheSystemList) {
  Integer Count = ImageList_GetImageCount(GetSystemImageList(true));
  wchar_t Windows[MAX_PATH] = {};
  GetWindowsDirectoryW(Windows, MAX_PATH);
  // An existing folder, and names that exist nowhere, asked by their extension alone.
  for (const String& Name : {String(Windows), String(L"C:\\yok\\belge.txt"), String(L"kurulum.exe")}) {
    Integer Index = GetShellIconIndex(Name, true);
    EXPECT_GE(Index, 0) << Name;
    EXPECT_LT(Index, ImageList_GetImageCount(GetSystemImageList(true))) << Name;  // the list grows as it is asked
  }
  EXPECT_GT(Count, 0);
}
