#include <gtest/gtest.h>

#include "framework/Graphics.h"
#include "framework/WinApi.h"

namespace {

TEST(Colors, SystemColoursResolveThroughTheSystem) {
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clWindowText), GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
  EXPECT_EQ(ColorToRGB(0x3866F3), 0x3866F3u);  // red F3, green 66, blue 38
  EXPECT_EQ(ColorToRGB(clNone), Cardinal(clNone));
  EXPECT_EQ(RGB(0xF3, 0x66, 0x38), 0x3866F3);
}

TEST(Colors, StringConversionsUseIdentifiersOrHex) {
  const std::pair<TColor, const wchar_t*> Cases[] = {
      {clRed, L"clRed"},         {clBtnFace, L"clBtnFace"}, {clNone, L"clNone"},
      {clDefault, L"clDefault"}, {0x3866F3, L"$003866F3"},  {clMoneyGreen, L"clMoneyGreen"},
  };
  for (auto [C, S] : Cases) {
    EXPECT_EQ(ColorToString(C), S);
    EXPECT_EQ(StringToColor(S), C) << S;
  }
  EXPECT_EQ(StringToColor(L"clwindow"), clWindow);
  EXPECT_EQ(StringToColor(L"255"), clRed);
  EXPECT_EQ(StringToColor(L"$FF00000F"), clBtnFace);
  EXPECT_THROW(StringToColor(L"clPlaid"), EConvertError);
  EXPECT_THROW(StringToColor(L""), EConvertError);
  Integer C = 0;
  EXPECT_FALSE(IdentToColor(L"$FF", C));
}

struct SizeCase {
  Integer PixelsPerInch, Size, Height;
};

TEST(Font, SizeAndHeightConvertAtThePixelsPerInch) {
  const SizeCase Cases[] = {{96, 8, -11}, {96, 9, -12}, {96, 10, -13}, {96, 12, -16},
                            {120, 8, -13}, {120, 9, -15}, {120, 10, -17}, {120, 12, -20}};
  for (const auto& C : Cases) {
    TFont F;
    F.SetPixelsPerInch(C.PixelsPerInch);
    F.SetSize(C.Size);
    EXPECT_EQ(F.GetHeight(), C.Height) << C.PixelsPerInch << " ppi, " << C.Size << " pt";
    F.SetHeight(C.Height);
    EXPECT_EQ(F.GetSize(), C.Size) << C.PixelsPerInch << " ppi, " << C.Height << " px";
  }
}

TEST(Font, AssignAcrossPixelsPerInchKeepsThePointSize) {
  TFont A, B;
  A.SetPixelsPerInch(96);
  A.SetSize(9);
  B.SetPixelsPerInch(120);
  B.Assign(&A);
  EXPECT_EQ(B.GetSize(), 9);
  EXPECT_EQ(B.GetHeight(), -15);
}

TEST(Font, EqualDataSharesOneHandleAndChangesNotify) {
  TFont A, B;
  A.SetName(L"Tahoma");
  B.SetName(L"Tahoma");
  A.SetStyle({fsBold});
  B.SetStyle({fsBold});
  EXPECT_EQ(A.GetHandle(), B.GetHandle());
  int Changes = 0;
  B.SetOnChange([&](TObject*) { ++Changes; });
  B.SetStyle({fsBold, fsUnderline});
  B.SetColor(clRed);
  B.SetColor(clRed);  // unchanged: no notice
  EXPECT_EQ(Changes, 2);
  EXPECT_NE(A.GetHandle(), B.GetHandle());
  LOGFONTW LF{};
  GetObjectW(B.GetHandle(), sizeof(LF), &LF);
  EXPECT_EQ(LF.lfWeight, FW_BOLD);
  EXPECT_TRUE(LF.lfUnderline);
  EXPECT_STREQ(LF.lfFaceName, L"Tahoma");
  // Detached during an assignment, the handler sees nothing.
  B.SetOnChange(nullptr);
  B.Assign(&A);
  EXPECT_EQ(Changes, 2);
  EXPECT_EQ(B.GetHandle(), A.GetHandle());
}

TEST(Font, HandleRoundTripsItsDescription) {
  TFont A;
  A.SetName(L"Courier New");
  A.SetHeight(-20);
  A.SetStyle({fsItalic, fsStrikeOut});
  A.SetCharset(162);
  A.SetOrientation(900);
  TFont B;
  B.SetHandle(A.GetHandle());
  EXPECT_EQ(B.GetName(), L"Courier New");
  EXPECT_EQ(B.GetHeight(), -20);
  EXPECT_TRUE(B.GetStyle() == (TFontStyles{fsItalic, fsStrikeOut}));
  EXPECT_EQ(B.GetCharset(), 162);
  EXPECT_EQ(B.GetOrientation(), 900);
}

TEST(PenAndBrush, SettingAColourOnAClearBrushMakesItSolid) {
  TBrush B;
  B.SetStyle(bsClear);
  B.SetColor(clRed);
  EXPECT_EQ(B.GetStyle(), bsSolid);
  LOGBRUSH LB{};
  GetObjectW(B.GetHandle(), sizeof(LB), &LB);
  EXPECT_EQ(LB.lbStyle, UINT(BS_SOLID));
  EXPECT_EQ(LB.lbColor, 0x0000FFu);
  B.SetStyle(bsDiagCross);
  GetObjectW(B.GetHandle(), sizeof(LB), &LB);
  EXPECT_EQ(LB.lbStyle, UINT(BS_HATCHED));
  EXPECT_EQ(LB.lbHatch, ULONG_PTR(HS_DIAGCROSS));
}

TEST(PenAndBrush, PenModeChangesDoNotMakeANewHandle) {
  TPen P;
  P.SetWidth(4);
  P.SetColor(0x3866F3);
  HPEN H = P.GetHandle();
  P.SetMode(pmXor);
  EXPECT_EQ(P.GetHandle(), H);
  LOGPEN LP{};
  GetObjectW(H, sizeof(LP), &LP);
  EXPECT_EQ(LP.lopnWidth.x, 4);
  EXPECT_EQ(LP.lopnColor, 0x3866F3u);
}

}  // namespace
