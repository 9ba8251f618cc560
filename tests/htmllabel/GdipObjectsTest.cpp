#include <gtest/gtest.h>

#include <memory>

#include "framework/Graphics.h"
#include "framework/WinShell.h"
#include <shlwapi.h>
#include <gdiplus.h>
#include "htmllabel/GdipObjects.h"
#include "htmllabel/PictureFixtures.h"

namespace {

struct TMemStream {
  IStream* S;
  explicit TMemStream(const fixtures::TData& D) : S(SHCreateMemStream(D.data(), UINT(D.size()))) {}
  ~TMemStream() {
    if (S) S->Release();
  }
};

String FamilyName(TGPFont* Font) {
  Gdiplus::GpFontFamily* Family = nullptr;
  Gdiplus::DllExports::GdipGetFamily(reinterpret_cast<Gdiplus::GpFont*>(Font->NativeFont()), &Family);
  WCHAR Name[LF_FACESIZE] = {};
  Gdiplus::DllExports::GdipGetFamilyName(Family, Name, 0);
  Gdiplus::DllExports::GdipDeleteFontFamily(Family);
  return Name;
}

struct TScreenBitmap {
  TBitmap Bmp;
  TScreenBitmap(Integer W, Integer H) {
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(W, H);
    Bmp.GetCanvas()->GetBrush()->SetColor(clWhite);
    Bmp.GetCanvas()->FillRect(Rect(0, 0, W, H));
  }
  TCanvas* Canvas() { return Bmp.GetCanvas(); }
};

}  // namespace

TEST(GdipImage, FormatIsReadFromTheStream) {
  struct {
    const char* Name;
    fixtures::TData Data;
    TGPImageFormat Format;
    Cardinal Width, Height;
  } Cases[] = {
      {"png", fixtures::Png(7, 5), ifPNG, 7, 5},
      {"gif", fixtures::ThreeFrameGif(), ifGIF, 16, 12},
      {"jpeg", fixtures::Jpeg(9, 4), ifJPEG, 9, 4},
      {"bmp", fixtures::Bmp(3, 6, 0x112233), ifBMP, 3, 6},
      {"ico", fixtures::Ico(16, 16), fixtures::RunningOnWine() ? ifBMP : ifIcon, 16, 16},
  };
  for (auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TMemStream Stream(C.Data);
    TGPImage Image(Stream.S);
    ASSERT_NE(Image.NativeImage(), nullptr);
    EXPECT_EQ(Image.GetLastStatus(), Ok);
    EXPECT_EQ(Image.GetFormat(), C.Format);
    EXPECT_EQ(Image.GetWidth(), C.Width);
    EXPECT_EQ(Image.GetHeight(), C.Height);
  }
}

TEST(GdipImage, UndecodableDataLeavesAnEmptyObjectWithItsStatus) {
  fixtures::TData Garbage(64, 0x5A);
  TMemStream Stream(Garbage);
  TGPImage Image(Stream.S);
  EXPECT_EQ(Image.NativeImage(), nullptr);
  EXPECT_NE(Image.GetLastStatus(), Ok);
  EXPECT_EQ(Image.GetLastStatus(), Ok);  // read once, then reset
  // Operations on the empty object answer a status instead of raising.
  EXPECT_EQ(Image.GetWidth(), 0u);
  EXPECT_EQ(Image.GetFormat(), ifUndefined);
  EXPECT_EQ(Image.GetLastStatus(), InvalidParameter);
  TGPImage NoStream(static_cast<IStream*>(nullptr));
  EXPECT_EQ(NoStream.GetLastStatus(), InvalidParameter);
}

TEST(GdipMatrix, ResetGivesTheIdentity) {
  TGPMatrix M(2, 0, 0, 3, 15, -4);
  EXPECT_FALSE(M.IsIdentity());
  EXPECT_FLOAT_EQ(M.OffsetX(), 15);
  EXPECT_FLOAT_EQ(M.OffsetY(), -4);
  EXPECT_EQ(M.Reset(), Ok);
  EXPECT_TRUE(M.IsIdentity());
  EXPECT_FLOAT_EQ(M.OffsetX(), 0);
  std::unique_ptr<TGPMatrix> Clone(M.Clone());
  ASSERT_NE(Clone, nullptr);
  EXPECT_TRUE(Clone->IsIdentity());
}

TEST(GdipMatrix, RotateAtTurnsAroundTheCentre) {
  for (MatrixOrder Order : {MatrixOrderPrepend, MatrixOrderAppend}) {
    TGPMatrix M;
    M.RotateAt(90, TGPPointF{10, 10}, Order);
    TGPPointF Pts[] = {{10, 10}, {20, 10}};
    ASSERT_EQ(M.TransformPoints(Pts, 2), Ok);
    EXPECT_NEAR(Pts[0].X, 10, 1e-3);
    EXPECT_NEAR(Pts[0].Y, 10, 1e-3);
    EXPECT_NEAR(Pts[1].X, 10, 1e-3);
    EXPECT_NEAR(Pts[1].Y, 20, 1e-3);
  }
}

TEST(GdipPen, BrushOfASolidPenIsASolidBrush) {
  TGPPen Pen(0xFF102030, 2);
  EXPECT_EQ(Pen.GetPenType(), PenTypeSolidColor);
  std::unique_ptr<TGPBrush> Brush(Pen.GetBrush());
  ASSERT_NE(Brush, nullptr);
  EXPECT_TRUE(Is<TGPSolidBrush>(Brush.get()));
  EXPECT_NE(Brush->NativeBrush(), nullptr);
  TGPHatchBrush Hatch(3, 0xFF112233, 0xFF445566);
  TGPColor Fore = 0;
  EXPECT_EQ(Hatch.GetForegroundColor(Fore), Ok);
  EXPECT_EQ(Fore, 0xFF112233u);
  EXPECT_EQ(Hatch.GetHatchStyle(), 3);
}

TEST(GdipFontFamily, GenericFamiliesAreMadeOnce) {
  TGPFontFamily* Sans = TGPFontFamily::GenericSansSerif();
  ASSERT_NE(Sans, nullptr);
  EXPECT_EQ(TGPFontFamily::GenericSansSerif(), Sans);
  EXPECT_NE(TGPFontFamily::GenericMonospace(), Sans);
}

TEST(GdipFont, FamilyByName) {
  TGPFont Font(L"DejaVu Sans", 12, 1);
  ASSERT_NE(Font.NativeFont(), nullptr);
  EXPECT_EQ(Font.GetLastStatus(), Ok);
  EXPECT_EQ(FamilyName(&Font), L"DejaVu Sans");
  // An unknown name falls back to the generic sans-serif family; where the system has none
  // (Wine without Windows fonts) the font stays empty with the failure status.
  TGPFont Unknown(L"No Such Family Qal", 12);
  if (TGPFontFamily::GenericSansSerif()->NativeFamily()) EXPECT_EQ(Unknown.GetLastStatus(), Ok);
  else EXPECT_EQ(Unknown.GetLastStatus(), InvalidParameter);
}

TEST(GdipGraphics, MakeFontOfAMissingFamilyKeepsSizeAndStyle) {
  TScreenBitmap Screen(10, 10);
  TGPGraphics G(Screen.Canvas()->GetHandle());
  TFont Font;
  Font.SetName(L"No Such Family Qal");
  Font.SetSize(14);
  Font.SetStyle(TFontStyles{fsBold, fsItalic});
  std::unique_ptr<TGPFont> F(G.MakeFont(&Font));
  ASSERT_NE(F->NativeFont(), nullptr);
  Single Size = 0;
  Gdiplus::DllExports::GdipGetFontSize(reinterpret_cast<Gdiplus::GpFont*>(F->NativeFont()), &Size);
  INT Style = 0;
  Gdiplus::DllExports::GdipGetFontStyle(reinterpret_cast<Gdiplus::GpFont*>(F->NativeFont()), &Style);
  EXPECT_FLOAT_EQ(Size, 14);
  EXPECT_EQ(Style, 3);
  // Arial when the system has it (Wine without Windows fonts has not: then a family it has).
  TGPFontFamily Arial(L"Arial");
  if (Arial.NativeFamily()) EXPECT_EQ(FamilyName(F.get()), L"Arial");
  else EXPECT_NE(FamilyName(F.get()), L"");
}

TEST(GdipGraphics, TextSizeAgreesWithTheCanvas) {
  TScreenBitmap Screen(10, 10);
  TFont Font;
  Font.SetName(L"DejaVu Sans");
  Font.SetSize(10);
  Screen.Canvas()->SetFont(&Font);
  TGPGraphics G(Screen.Canvas()->GetHandle());
  for (String Text : {L"Kurulum Sihirbazı", L"Güncelleme", L"i", L"WWWWWWWWWW"}) {
    SCOPED_TRACE(Text);
    Integer CanvasW = Screen.Canvas()->TextWidth(Text), CanvasH = Screen.Canvas()->TextHeight(Text);
    Integer W = G.TextWidth(Text, &Font), H = G.TextHeight(Text, &Font);
    // GDI+ pads a measured string by about a sixth of the em on each side.
    EXPECT_GE(W, CanvasW - 2);
    EXPECT_LE(W, CanvasW + 10);
    EXPECT_NEAR(H, CanvasH, 3);
  }
  EXPECT_EQ(G.TextWidth(L"", &Font), 0);
}

TEST(GdipGraphics, DrawTextMeasuresATrailingBlankAsALetter) {
  TScreenBitmap Screen(200, 40);
  TGPGraphics G(Screen.Canvas()->GetHandle());
  TFont Font;
  Font.SetName(L"DejaVu Sans");
  Font.SetSize(12);
  TRect WithBlank = Rect(5, 5, 5, 25), WithI = WithBlank, Bare = WithBlank;
  Integer H = G.DrawText(L"Evet ", -1, WithBlank, &Font, GPDT_CALCRECT, clNone);
  G.DrawText(L"Eveti", -1, WithI, &Font, GPDT_CALCRECT, clNone);
  G.DrawText(L"Evet", -1, Bare, &Font, GPDT_CALCRECT, clNone);
  EXPECT_EQ(WithBlank.Right, WithI.Right);
  EXPECT_GT(WithBlank.Right, Bare.Right);
  EXPECT_EQ(H, WithBlank.Bottom - WithBlank.Top);
  EXPECT_GT(H, 10);
  // Nothing drawn while measuring.
  EXPECT_EQ(Screen.Canvas()->GetPixel(10, 12), clWhite);
}

TEST(GdipGraphics, DrawTextWithoutBackgroundOnlyDraws) {
  TScreenBitmap Screen(120, 40);
  TFont Font;
  Font.SetName(L"DejaVu Sans");
  Font.SetSize(16);
  Font.SetColor(clBlack);
  TRect R = Rect(2, 2, 100, 32);
  {
    TGPGraphics G(Screen.Canvas()->GetHandle());
    EXPECT_EQ(G.DrawText(L"MMM", -1, R, &Font, 0, clNone), 30);
  }
  EXPECT_EQ(R, Rect(2, 2, 100, 32));
  bool Dark = false;
  for (Integer X = 2; X < 60 && !Dark; ++X)
    for (Integer Y = 2; Y < 32 && !Dark; ++Y) Dark = Screen.Canvas()->GetPixel(X, Y) != clWhite;
  EXPECT_TRUE(Dark);
}

TEST(GdipRoutines, ColorToARGB) {
  EXPECT_EQ(ColorToARGB(clRed), 0xFFFF0000u);
  EXPECT_EQ(ColorToARGB(0x00C08040), 0xFF4080C0u);
  Cardinal Window = GetSysColor(COLOR_WINDOW);
  EXPECT_EQ(ColorToARGB(clWindow), 0xFF000000u | (GetRValue(Window) << 16) | (GetGValue(Window) << 8) | GetBValue(Window));
  TGPRectF R = MakeRectF(1, 2, 3, 4);
  EXPECT_EQ(R.X + R.Y + R.Width + R.Height, 10);
  EXPECT_TRUE(IsWindowsVistaOrLater());  // Wine reports Windows 7
}

TEST(GdipWrappers, PathsFormatsAndRegionsAnswerTheirCalls) {
  TGPGraphicsPath Path;
  EXPECT_EQ(Path.AddRectangle(TGPRectF{2, 3, 10, 20}), Ok);
  EXPECT_EQ(Path.GetPointCount(), 4);
  TGPRectF Bounds;
  EXPECT_EQ(Path.GetBounds(Bounds), Ok);
  EXPECT_FLOAT_EQ(Bounds.X, 2);
  EXPECT_FLOAT_EQ(Bounds.Height, 20);
  TGPRegion Region(TGPRectF{0, 0, 50, 50});
  EXPECT_EQ(Region.Exclude(&Path), Ok);
  TGPStringFormat Format;
  EXPECT_EQ(Format.SetAlignment(StringAlignmentCenter), Ok);
  EXPECT_EQ(Format.GetAlignment(), StringAlignmentCenter);
  TGPStringFormat Copy(&Format);
  EXPECT_EQ(Copy.GetAlignment(), StringAlignmentCenter);
  TGPImageAttributes Attributes;
  EXPECT_EQ(Attributes.SetGamma(1.5f), Ok);
  std::unique_ptr<TGPImageAttributes> Clone(Attributes.Clone());
  EXPECT_NE(Clone->NativeImageAttr(), nullptr);
}

TEST(GdipWrappers, CallsOnAFailedObjectAnswerAStatus) {
  // A failed creation leaves a null handle: every later call reports instead of raising, and a
  // successful call leaves the kept failure in place until it is read.
  TGPPen Pen(static_cast<TGPBrush*>(nullptr));
  EXPECT_EQ(Pen.NativePen(), nullptr);
  EXPECT_EQ(Pen.GetLastStatus(), InvalidParameter);
  EXPECT_EQ(Pen.SetDashStyle(DashStyleDot), InvalidParameter);
  EXPECT_EQ(Pen.GetBrush(), nullptr);
  TGPMatrix Singular(0, 0, 0, 0, 0, 0);
  EXPECT_FALSE(Singular.IsInvertible());
  EXPECT_EQ(Singular.Invert(), InvalidParameter);
  EXPECT_EQ(Singular.Translate(1, 1), Ok);
  EXPECT_EQ(Singular.GetLastStatus(), InvalidParameter);
  EXPECT_EQ(Singular.GetLastStatus(), Ok);
  TGPGraphicsPath Path;
  EXPECT_EQ(Path.AddLines(nullptr, 0), InvalidParameter);
}
