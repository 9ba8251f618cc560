#include <gtest/gtest.h>

#include "framework/Graphics.h"
#include "framework/WinApi.h"

namespace {

// An off-screen picture filled with one colour.
std::unique_ptr<TBitmap> Surface(Integer W, Integer H, TColor Fill, TPixelFormat Format = pf24bit) {
  auto B = std::make_unique<TBitmap>();
  B->SetPixelFormat(Format);
  B->SetSize(W, H);
  B->GetCanvas()->GetBrush()->SetColor(Fill);
  B->GetCanvas()->FillRect(Rect(0, 0, W, H));
  return B;
}

TColor Px(TBitmap& B, Integer X, Integer Y) { return B.GetCanvas()->GetPixel(X, Y); }

int CountColour(TBitmap& B, const TRect& R, TColor C) {
  int N = 0;
  for (Integer Y = R.Top; Y < R.Bottom; ++Y)
    for (Integer X = R.Left; X < R.Right; ++X) N += Px(B, X, Y) == C;
  return N;
}

TEST(Canvas, FillRectPaintsExactlyTheRectangle) {
  auto B = Surface(20, 20, clWhite);
  B->GetCanvas()->GetBrush()->SetColor(clRed);
  B->GetCanvas()->FillRect(Rect(5, 5, 10, 12));
  EXPECT_EQ(CountColour(*B, Rect(0, 0, 20, 20), clRed), 5 * 7);
  EXPECT_EQ(Px(*B, 5, 5), clRed);
  EXPECT_EQ(Px(*B, 9, 11), clRed);
  EXPECT_EQ(Px(*B, 10, 11), clWhite);
  EXPECT_EQ(Px(*B, 9, 12), clWhite);
}

TEST(Canvas, LinesLeaveTheirEndPointUnpainted) {
  auto B = Surface(10, 10, clWhite);
  TCanvas* C = B->GetCanvas();
  C->GetPen()->SetColor(clBlue);
  C->MoveTo(1, 1);
  C->LineTo(6, 1);
  EXPECT_EQ(Px(*B, 5, 1), clBlue);
  EXPECT_EQ(Px(*B, 6, 1), clWhite);
  EXPECT_EQ(C->GetPenPos(), Point(6, 1));
  C->Polyline({Point(1, 3), Point(1, 8)});
  EXPECT_EQ(Px(*B, 1, 7), clBlue);
  EXPECT_EQ(Px(*B, 1, 8), clWhite);
}

TEST(Canvas, DottedXorLineDrawnTwiceDisappears) {
  auto B = Surface(40, 10, clWhite);
  TCanvas* C = B->GetCanvas();
  C->GetBrush()->SetColor(clGreen);
  C->FillRect(Rect(0, 0, 20, 10));  // two backgrounds under the line
  C->GetPen()->SetStyle(psDot);
  C->GetPen()->SetMode(pmXor);
  C->GetPen()->SetColor(clWhite);
  C->GetBrush()->SetStyle(bsClear);
  auto Before = B->GetPixelsBGRA();
  C->MoveTo(0, 5);
  C->LineTo(40, 5);
  auto Drawn = B->GetPixelsBGRA();
  int Changed = 0, Gaps = 0;
  for (Integer X = 0; X < 40; ++X) (Drawn[5 * 40 + X] != Before[5 * 40 + X] ? Changed : Gaps)++;
  EXPECT_GT(Changed, 5);
  EXPECT_GT(Gaps, 5);  // dotted: not every pixel
  C->MoveTo(0, 5);
  C->LineTo(40, 5);
  EXPECT_EQ(B->GetPixelsBGRA(), Before);
}

TEST(Canvas, AlternatePenPaintsEveryOtherPixel) {
  auto B = Surface(20, 3, clWhite);
  TCanvas* C = B->GetCanvas();
  C->GetPen()->SetStyle(psAlternate);
  C->GetPen()->SetColor(clBlack);
  C->MoveTo(0, 1);
  C->LineTo(20, 1);
  EXPECT_EQ(CountColour(*B, Rect(0, 1, 20, 2), clBlack), 10);
  EXPECT_NE(Px(*B, 0, 1), Px(*B, 1, 1));
}

TEST(Canvas, TextIsOpaqueWithASolidBrushAndTransparentWithAClearOne) {
  for (bool Clear : {false, true}) {
    auto B = Surface(60, 30, clWhite);
    TCanvas* C = B->GetCanvas();
    C->GetFont()->SetColor(clBlack);
    C->GetFont()->SetSize(12);
    C->GetBrush()->SetColor(clYellow);
    if (Clear) C->GetBrush()->SetStyle(bsClear);
    TSize S = C->TextExtent(L"Wg");
    ASSERT_GT(S.cx, 0);
    EXPECT_EQ(C->TextHeight(L"Wg"), S.cy);
    C->TextOut(2, 2, L"Wg");
    TRect Cell = Bounds(2, 2, S.cx, S.cy);
    EXPECT_GT(CountColour(*B, Cell, clBlack), 0) << Clear;
    if (Clear) EXPECT_EQ(CountColour(*B, Cell, clYellow), 0);
    else EXPECT_GT(CountColour(*B, Cell, clYellow), 0);
    EXPECT_EQ(Px(*B, 2 + S.cx + 1, 2), clWhite);
  }
}

TEST(Canvas, TextRectClipsAndFillsItsRectangle) {
  auto B = Surface(60, 30, clWhite);
  TCanvas* C = B->GetCanvas();
  C->GetBrush()->SetColor(clAqua);
  C->GetFont()->SetColor(clBlack);
  C->TextRect(Rect(10, 5, 20, 25), 10, 5, L"WWWWWWWW");
  EXPECT_EQ(Px(*B, 9, 10), clWhite);
  EXPECT_EQ(CountColour(*B, Rect(20, 0, 60, 30), clBlack), 0);  // clipped
  EXPECT_GT(CountColour(*B, Rect(10, 5, 20, 25), clAqua), 0);
  EXPECT_EQ(CountColour(*B, Rect(10, 5, 20, 25), clWhite), 0);
}

TEST(Canvas, TextRectWithFormatMeasuresAndEllipsises) {
  auto B = Surface(10, 10, clWhite);
  TCanvas* C = B->GetCanvas();
  String Text = L"Lütfen Bekleyiniz...";
  TRect R(0, 0, 0, 0);
  C->TextRect(R, Text, {tfCalcRect, tfSingleLine});
  EXPECT_EQ(R.Width(), C->TextWidth(Text));
  EXPECT_EQ(R.Height(), C->TextHeight(Text));
  String Long = L"abcdefghijklmnopqrstuvwxyz";
  TRect Narrow(0, 0, C->TextWidth(L"abcdef"), 20);
  C->TextRect(Narrow, Long, {tfSingleLine, tfEndEllipsis, tfModifyString});
  EXPECT_NE(Long, L"abcdefghijklmnopqrstuvwxyz");
  EXPECT_NE(Long.find(L"..."), String::npos);
}

TEST(Canvas, HandleSelectsFontPenAndBrush) {
  auto B = Surface(4, 4, clWhite);
  TCanvas* C = B->GetCanvas();
  C->GetFont()->SetName(L"Courier New");
  C->GetPen()->SetWidth(3);
  C->GetBrush()->SetColor(clLime);
  HDC DC = C->GetHandle();
  EXPECT_EQ(GetCurrentObject(DC, OBJ_FONT), C->GetFont()->GetHandle());
  EXPECT_EQ(GetCurrentObject(DC, OBJ_PEN), C->GetPen()->GetHandle());
  EXPECT_EQ(GetCurrentObject(DC, OBJ_BRUSH), C->GetBrush()->GetHandle());
  EXPECT_EQ(GetBkColor(DC), 0x00FF00u);
  // Changing a colour and back selects the objects again.
  C->GetFont()->SetColor(clBlack);
  C->GetFont()->SetColor(clRed);
  DC = C->GetHandle();
  EXPECT_EQ(GetTextColor(DC), 0x0000FFu);
}

TEST(Canvas, PlainCanvasWithoutHandleRaises) {
  TCanvas C;
  EXPECT_THROW(C.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
}

TEST(Canvas, CopyRectStretchesWithCopyMode) {
  auto Src = Surface(2, 2, clBlue);
  auto B = Surface(8, 8, clWhite);
  B->GetCanvas()->CopyRect(Rect(0, 0, 4, 4), Src->GetCanvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(CountColour(*B, Rect(0, 0, 8, 8), clBlue), 16);
  B->GetCanvas()->SetCopyMode(cmSrcInvert);
  B->GetCanvas()->CopyRect(Rect(0, 0, 4, 4), Src->GetCanvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(Px(*B, 0, 0), clBlack);
}

TEST(Canvas, FloodFillAndPixels) {
  auto B = Surface(10, 10, clWhite);
  TCanvas* C = B->GetCanvas();
  C->GetBrush()->SetStyle(bsClear);
  C->GetPen()->SetColor(clBlack);
  C->Rectangle(2, 2, 8, 8);
  C->GetBrush()->SetColor(clRed);
  C->FloodFill(4, 4, clBlack, fsBorder);
  EXPECT_EQ(Px(*B, 4, 4), clRed);
  EXPECT_EQ(Px(*B, 0, 0), clWhite);
  C->SetPixel(0, 0, clFuchsia);
  EXPECT_EQ(C->GetPixel(0, 0), clFuchsia);
  EXPECT_EQ(C->GetClipRect(), Rect(0, 0, 10, 10));
}

TEST(Bitmap, AlphaBitmapBlendsOverTheBackground) {
  TBitmap A;
  A.SetPixelFormat(pf32bit);
  A.SetSize(3, 1);
  auto* Row = static_cast<Cardinal*>(A.GetScanLine(0));
  Row[0] = 0x80FF0000;  // red at half (BGRA: blue in the low byte)
  Row[1] = 0x00FF0000;  // clear
  Row[2] = 0xFF00FF00;  // opaque green
  A.SetAlphaFormat(afDefined);
  auto B = Surface(3, 1, clWhite);
  B->GetCanvas()->Draw(0, 0, &A);
  Cardinal P0 = ColorToRGB(Px(*B, 0, 0));
  EXPECT_EQ(int(P0 & 0xFF), 255);                // red
  EXPECT_NEAR(int((P0 >> 8) & 0xFF), 127, 2);    // green
  EXPECT_NEAR(int((P0 >> 16) & 0xFF), 127, 2);   // blue
  EXPECT_EQ(Px(*B, 1, 0), clWhite);
  EXPECT_EQ(Px(*B, 2, 0), clLime);
  // Premultiplying keeps what is drawn.
  A.SetAlphaFormat(afPremultiplied);
  EXPECT_EQ(static_cast<Cardinal*>(A.GetScanLine(0))[0], 0x80800000u);
  auto C = Surface(3, 1, clWhite);
  C->GetCanvas()->Draw(0, 0, &A);
  EXPECT_EQ(C->GetPixelsBGRA(), B->GetPixelsBGRA());
  // With constant opacity too.
  auto D = Surface(3, 1, clBlack);
  D->GetCanvas()->Draw(0, 0, &A, 128);
  EXPECT_NEAR(int((ColorToRGB(Px(*D, 2, 0)) >> 8) & 0xFF), 128, 2);
}

TEST(Bitmap, TransparentBitmapIsDrawnThroughItsMask) {
  TBitmap G;
  G.SetSize(4, 4);
  G.GetCanvas()->GetBrush()->SetColor(clFuchsia);
  G.GetCanvas()->FillRect(Rect(0, 0, 4, 4));
  G.GetCanvas()->GetBrush()->SetColor(clBlue);
  G.GetCanvas()->FillRect(Rect(1, 1, 3, 3));
  G.SetTransparent(true);
  EXPECT_EQ(G.GetTransparentMode(), tmAuto);
  EXPECT_EQ(G.GetTransparentColor(), clFuchsia);  // the bottom-left pixel
  auto B = Surface(8, 8, clGreen);
  B->GetCanvas()->Draw(0, 0, &G);
  EXPECT_EQ(Px(*B, 0, 0), clGreen);
  EXPECT_EQ(Px(*B, 3, 3), clGreen);
  EXPECT_EQ(Px(*B, 1, 1), clBlue);
  EXPECT_EQ(Px(*B, 2, 2), clBlue);
  auto S = Surface(8, 8, clGreen);
  S->GetCanvas()->StretchDraw(Rect(0, 0, 8, 8), &G);
  EXPECT_EQ(CountColour(*S, Rect(0, 0, 8, 8), clBlue), 16);
  EXPECT_EQ(CountColour(*S, Rect(0, 0, 8, 8), clGreen), 48);
  // The mask: white where the transparent colour is.
  TBitmap M;
  M.SetHandle(G.ReleaseMaskHandle());
  EXPECT_TRUE(M.GetMonochrome() || M.GetPixelFormat() == pfDevice);
  EXPECT_EQ(Px(M, 0, 0), clWhite);
  EXPECT_EQ(Px(M, 1, 1), clBlack);
  // A fixed colour replaces the automatic one.
  G.SetTransparentColor(clBlue);
  EXPECT_EQ(G.GetTransparentMode(), tmFixed);
  auto F = Surface(8, 8, clGreen);
  F->GetCanvas()->Draw(0, 0, &G);
  EXPECT_EQ(Px(*F, 0, 0), clFuchsia);
  EXPECT_EQ(Px(*F, 1, 1), clGreen);
}

TEST(Bitmap, PixelFormatsConvertAndScanLinesAreTopDown) {
  auto B = Surface(5, 3, clWhite);
  B->GetCanvas()->SetPixel(0, 0, clRed);
  B->GetCanvas()->SetPixel(4, 2, clBlue);
  auto* Top = static_cast<Byte*>(B->GetScanLine(0));
  EXPECT_EQ(Top[0], 0);  // BGR of red
  EXPECT_EQ(Top[2], 255);
  EXPECT_THROW(B->GetScanLine(3), EInvalidGraphicOperation);
  const TPixelFormat Formats[] = {pf32bit, pf16bit, pf15bit, pf8bit, pf4bit, pf24bit};
  for (auto F : Formats) {
    B->SetPixelFormat(F);
    EXPECT_EQ(B->GetPixelFormat(), F);
    EXPECT_EQ(Px(*B, 0, 0), clRed) << F;
    EXPECT_EQ(Px(*B, 4, 2), clBlue) << F;
    EXPECT_EQ(Px(*B, 2, 1), clWhite) << F;
  }
  B->SetMonochrome(true);
  EXPECT_EQ(B->GetPixelFormat(), pf1bit);
  EXPECT_EQ(Px(*B, 2, 1), clWhite);
  EXPECT_EQ(Px(*B, 4, 2), clBlack);
}

TEST(Bitmap, ResizingKeepsThePictureAtTheTopLeft) {
  auto B = Surface(2, 2, clRed);
  B->SetSize(4, 3);
  EXPECT_EQ(B->GetWidth(), 4);
  EXPECT_EQ(Px(*B, 1, 1), clRed);
  EXPECT_EQ(Px(*B, 3, 2), clWhite);
  B->SetSize(0, 3);
  EXPECT_TRUE(B->GetEmpty());
}

TEST(Bitmap, ReleaseHandleGivesOwnershipAndKeepsPixels) {
  auto B = Surface(3, 3, clTeal);
  HBITMAP H = B->ReleaseHandle();
  ASSERT_NE(H, nullptr);
  EXPECT_NE(B->GetHandle(), H);
  EXPECT_EQ(Px(*B, 1, 1), clTeal);
  TBitmap C;
  C.SetHandle(H);  // takes it over
  EXPECT_EQ(C.GetWidth(), 3);
  EXPECT_EQ(Px(C, 2, 2), clTeal);
}

}  // namespace
