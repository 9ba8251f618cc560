#include <gtest/gtest.h>

#include <uxtheme.h>

#include "framework/Controls.h"
#include "framework/graphics/Bitmap.h"
#include "framework/themes/ThemesTestUtil.h"

using namespace themetest;

namespace {

TEST(StyleColors, SystemColorsResolveThroughTheActiveStyle) {
  struct Case {
    TColor Color;
    TColor Styled;  // under Material Black Pearl
  };
  const Case Cases[] = {
      {clBtnFace, Hex(0x17181C)},   {clWindow, Hex(0x222429)},      {clWindowText, Hex(0xE6E6E8)},
      {clBtnText, Hex(0xE6E6E8)},   {clHighlight, Hex(0x3A8EE6)},   {clHighlightText, Hex(0xFFFFFF)},
      {clGrayText, Hex(0x7C7F88)},  {clInfoBk, Hex(0x2A2C33)},      {clMenuBar, Hex(0x17181C)},
      {clRed, clRed},               {Hex(0x123456), Hex(0x123456)}, {clNone, clNone},
  };
  for (const Case& C : Cases) EXPECT_EQ(StyleServices()->GetSystemColor(C.Color), C.Color) << std::hex << C.Color;
  TPearlStyle Pearl;
  for (const Case& C : Cases) EXPECT_EQ(StyleServices()->GetSystemColor(C.Color), C.Styled) << std::hex << C.Color;
}

TEST(StyleColors, StyleAndFontColorsOfBothStyles) {
  struct Case {
    TStyleColor Color;
    TColor System, Pearl;
  };
  const Case Colors[] = {{scEdit, clWindow, Hex(0x222429)},
                         {scEditDisabled, clBtnFace, Hex(0x1A1B1F)},
                         {scButtonNormal, clBtnFace, Hex(0x2A2C33)},
                         {scGrid, clWindow, Hex(0x1C1D22)},
                         {scBorder, clWindowFrame, Hex(0x3A3D45)}};
  struct FontCase {
    TStyleFont Font;
    TColor System, Pearl;
  };
  const FontCase Fonts[] = {{sfEditBoxTextNormal, clWindowText, Hex(0xE6E6E8)},
                            {sfEditBoxTextDisabled, clGrayText, Hex(0x6E717A)},
                            {sfGridItemSelected, clHighlightText, Hex(0xFFFFFF)},
                            {sfWindowTextNormal, clWindowText, Hex(0xE6E6E8)}};
  for (const Case& C : Colors) EXPECT_EQ(StyleServices()->GetStyleColor(C.Color), C.System) << StyleColorName(C.Color);
  for (const FontCase& C : Fonts) EXPECT_EQ(StyleServices()->GetStyleFontColor(C.Font), C.System) << StyleFontName(C.Font);
  TPearlStyle Pearl;
  for (const Case& C : Colors) EXPECT_EQ(StyleServices()->GetStyleColor(C.Color), C.Pearl) << StyleColorName(C.Color);
  for (const FontCase& C : Fonts) EXPECT_EQ(StyleServices()->GetStyleFontColor(C.Font), C.Pearl) << StyleFontName(C.Font);
}

TEST(StyleColors, ElementColorsOfTheCustomStyle) {
  struct Case {
    TThemedElementDetails Details;
    TElementColor Which;
    TColor Expected;  // clNone: the style leaves it undefined
  };
  TCustomStyleServices* S = StyleServices();
  const Case Cases[] = {
      {S->GetElementDetails(tgCellNormal), ecFillColor, Hex(0x1C1D22)},
      {S->GetElementDetails(tgCellNormal), ecTextColor, Hex(0xE6E6E8)},
      {S->GetElementDetails(tgCellSelected), ecFillColor, Hex(0x3A8EE6)},
      {S->GetElementDetails(tgClassicFixedCellNormal), ecFillColor, Hex(0x1E1F24)},
      {S->GetElementDetails(tgClassicFixedCellNormal), ecEdgeShadowColor, Hex(0x0D0E10)},
      {S->GetElementDetails(tgFixedCellNormal), ecBorderColor, Hex(0x2E3037)},
      {S->GetElementDetails(tgGradientFixedCellNormal), ecGradientColor1, Hex(0x262830)},
      {S->GetElementDetails(tgGradientFixedCellNormal), ecGradientColor2, Hex(0x1C1D22)},
      {S->GetElementDetails(tlGroupHeaderCloseSelected), ecFillColor, Hex(0x3A8EE6)},
      {S->GetElementDetails(tpChunk), ecFillColor, Hex(0x3A8EE6)},
      {S->GetElementDetails(tbPushButtonDisabled), ecTextColor, Hex(0x6E717A)},
      {S->GetElementDetails(tgCellNormal), ecGlyphColor, clNone},
      {S->GetElementDetails(tpChunk), ecBorderColor, clNone},
  };
  // Under the system style with themes off, no element defines colours.
  if (!S->Enabled())
    for (const Case& C : Cases) {
      TColor Color = clBlack;
      EXPECT_FALSE(S->GetElementColor(C.Details, C.Which, Color));
      EXPECT_EQ(Color, clNone);
    }
  TPearlStyle Pearl;
  for (const Case& C : Cases) {
    TColor Color = clBlack;
    EXPECT_EQ(StyleServices()->GetElementColor(C.Details, C.Which, Color), C.Expected != clNone)
        << ElementDetailsName(C.Details) << " " << C.Which;
    EXPECT_EQ(Color, C.Expected) << ElementDetailsName(C.Details) << " " << C.Which;
  }
}

TEST(StyleColors, ElementDetailsCarryTheSystemThemeParts) {
  struct Case {
    TThemedElementDetails Details;
    TThemedElement Element;
    Integer Part, State;
    const wchar_t* Name;
  };
  TCustomStyleServices* S = StyleServices();
  const Case Cases[] = {
      {S->GetElementDetails(tbPushButtonPressed), teButton, 1, 3, L"tbPushButtonPressed"},
      {S->GetElementDetails(tbCheckBoxMixedDisabled), teButton, 3, 12, L"tbCheckBoxMixedDisabled"},
      {S->GetElementDetails(tsSizeBoxTopLeftAlign), teScrollBar, 10, 4, L"tsSizeBoxTopLeftAlign"},
      {S->GetElementDetails(tlGroupHeaderCloseSelectedNotFocused), teListView, 6, 13,
       L"tlGroupHeaderCloseSelectedNotFocused"},
      {S->GetElementDetails(ttbSplitButtonHot), teToolBar, 3, 2, L"ttbSplitButtonHot"},
      {S->GetElementDetails(tmcGridCellBackgroundToday), teMonthCal, 5, 5, L"tmcGridCellBackgroundToday"},
      {S->GetElementDetails(twWindowRoot), teWindow, 0, 0, L"twWindowRoot"},
      {S->GetElementDetails(ttGlyphOpened), teTreeview, 2, 2, L"ttGlyphOpened"},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(C.Details, (TThemedElementDetails{C.Element, C.Part, C.State})) << C.Name;
    EXPECT_EQ(ElementDetailsName(C.Details), C.Name);
    TThemedElementDetails Found;
    ASSERT_TRUE(FindElementDetails(C.Name, Found));
    EXPECT_EQ(Found, C.Details);
  }
}

// ---- The style text ---------------------------------------------------------------------------

TEST(StyleText, MalformedStylesNameTheirLine) {
  struct Case {
    const wchar_t* Text;
    const wchar_t* Message;
  };
  const Case Cases[] = {
      {L"[Style]\nName = A\n[SystemColors]\nclBtnFace = 123456", L"line 4"},
      {L"[Style]\nName = A\n[SystemColors]\nclRed = #123456", L"\"clRed\" is not a system colour"},
      {L"[Style]\nName = A\n[Elements]\ntbNoSuchThing = fill #000000", L"\"tbNoSuchThing\" is not an element"},
      {L"[Style]\nName = A\n[Elements]\ntpChunk = paint #000000", L"unknown element parameter \"paint\""},
      {L"[Style]\nName = A\n[Elements]\ntpChunk = fill #00000G", L"line 4"},
      {L"[Style]\nName = A\n[Elements]\ntpChunk = radius 99", L"a radius is 0 to 16"},
      {L"[Colors]\nclBtnFace = #000000", L"unknown section [Colors]"},
      {L"Name = A", L"before any section"},
      {L"[Style]\nAuthor = B", L"it has no name"},
      {L"[StyleFonts]\nsfNothing = #000000", L"\"sfNothing\" is not a style font colour"},
  };
  for (const Case& C : Cases) {
    try {
      TStyleData::Parse(C.Text);
      ADD_FAILURE() << "accepted: " << String(C.Text);
    } catch (const EStyleEngineException& E) {
      EXPECT_NE(E.Message().find(C.Message), String::npos) << E.Message();
    }
  }
}

TEST(StyleText, StateTheStyleLeavesOutFallsBackToThePartsFirst) {
  auto Data = TStyleData::Parse(L"\xFEFF; a comment\n[Style]\nName = Small\n[Elements]\n"
                                L"tbPushButtonNormal = fill #102030, border #405060, radius 2\n");
  EXPECT_EQ(Data->Name, L"Small");
  const TElementStyle* Hot = Data->FindElement(ElementDetailsOf(tbPushButtonHot));
  ASSERT_NE(Hot, nullptr);
  EXPECT_EQ(Hot->Fill, Hex(0x102030));
  EXPECT_EQ(Hot->Radius, 2);
  EXPECT_EQ(Data->FindElement(ElementDetailsOf(tbCheckBoxCheckedNormal)), nullptr);
}

// ---- The style manager ------------------------------------------------------------------------

struct TErrorCapture {
  std::vector<String> Shown;
  TErrorCapture() {
    TStyleManager::SetErrorDisplay([this](const String& Message) { Shown.push_back(Message); });
  }
  ~TErrorCapture() { TStyleManager::SetErrorDisplay(nullptr); }
};

TEST(StyleManager, SelectsTheEmbeddedStyleByName) {
  EXPECT_FALSE(TStyleManager::IsCustomStyleActive());
  EXPECT_TRUE(StyleServices()->IsSystemStyle());
  EXPECT_EQ(StyleServices()->Name(), L"Windows");
  auto Names = TStyleManager::StyleNames();
  EXPECT_EQ(Names.front(), L"Windows");
  EXPECT_NE(std::find(Names.begin(), Names.end(), String(PearlName)), Names.end());
  TErrorCapture Errors;
  EXPECT_TRUE(TStyleManager::TrySetStyle(L"material black pearl"));  // names match without case
  EXPECT_TRUE(TStyleManager::IsCustomStyleActive());
  EXPECT_FALSE(StyleServices()->IsSystemStyle());
  EXPECT_TRUE(StyleServices()->Enabled());
  EXPECT_EQ(StyleServices()->Name(), PearlName);
  EXPECT_TRUE(TStyleManager::TrySetStyle(TStyleManager::SystemStyleName));
  EXPECT_FALSE(TStyleManager::IsCustomStyleActive());
  EXPECT_TRUE(Errors.Shown.empty());
}

TEST(StyleManager, AStyleThatCannotBeSelectedShowsTheErrorAndLeavesTheStyleAsItWas) {
  TErrorCapture Errors;
  EXPECT_FALSE(TStyleManager::TrySetStyle(L"Material White Pearl"));
  ASSERT_EQ(Errors.Shown.size(), 1u);
  EXPECT_NE(Errors.Shown[0].find(L"\"Material White Pearl\""), String::npos) << Errors.Shown[0];
  EXPECT_FALSE(TStyleManager::IsCustomStyleActive());
  // A malformed resource is refused the same way, and says where it is wrong.
  EXPECT_FALSE(TStyleManager::TrySetStyle(L"BROKENSTYLE"));
  ASSERT_EQ(Errors.Shown.size(), 2u);
  EXPECT_NE(Errors.Shown[1].find(L"line 5"), String::npos) << Errors.Shown[1];
  // With a custom style active, a failed change keeps it; without the dialog nothing is shown.
  TPearlStyle Pearl;
  EXPECT_FALSE(TStyleManager::TrySetStyle(L"Nothing", false));
  EXPECT_EQ(Errors.Shown.size(), 2u);
  EXPECT_EQ(StyleServices()->Name(), PearlName);
  EXPECT_THROW(TStyleManager::SetStyle(L"Nothing"), EStyleEngineException);
}

// ---- Drawing ----------------------------------------------------------------------------------

struct TCanvasShot {
  TBitmap Bitmap;
  TCanvasShot(Integer W, Integer H) : Bitmap(W, H) {
    Bitmap.GetCanvas()->GetBrush()->SetColor(clFuchsia);
    Bitmap.GetCanvas()->FillRect(TRect(0, 0, W, H));
  }
  HDC DC() { return Bitmap.GetCanvas()->GetHandle(); }
  TColor At(Integer X, Integer Y) { return Bitmap.GetCanvas()->GetPixel(X, Y); }
  Integer Count(TColor C) {
    Integer N = 0;
    for (Integer Y = 0; Y < Bitmap.GetHeight(); ++Y)
      for (Integer X = 0; X < Bitmap.GetWidth(); ++X) N += At(X, Y) == C;
    return N;
  }
};

TEST(DrawElement, CustomStyleDrawsItsElementsFromTheStyleTable) {
  TPearlStyle Pearl;
  TCustomStyleServices* S = StyleServices();
  {
    TCanvasShot B(40, 20);
    ASSERT_TRUE(S->DrawElement(B.DC(), S->GetElementDetails(tbPushButtonNormal), TRect(0, 0, 40, 20)));
    EXPECT_EQ(B.At(20, 10), Hex(0x2A2C33));  // face
    EXPECT_EQ(B.At(20, 0), Hex(0x3A3D45));   // border
    EXPECT_EQ(B.At(20, 19), Hex(0x3A3D45));
  }
  {
    TCanvasShot B(13, 13);
    S->DrawElement(B.DC(), S->GetElementDetails(tbCheckBoxUncheckedNormal), TRect(0, 0, 13, 13));
    EXPECT_EQ(B.At(6, 6), Hex(0x222429));
    EXPECT_EQ(B.At(0, 6), Hex(0x5A5E68));
    EXPECT_EQ(B.Count(clWhite), 0);
    TCanvasShot C(13, 13);
    S->DrawElement(C.DC(), S->GetElementDetails(tbCheckBoxCheckedNormal), TRect(0, 0, 13, 13));
    EXPECT_EQ(C.At(0, 6), Hex(0x3A8EE6));  // accent box
    EXPECT_GT(C.Count(clWhite), 8);        // with a white check mark
  }
  {
    TCanvasShot B(30, 10);
    S->DrawElement(B.DC(), S->GetElementDetails(tgCellSelected), TRect(0, 0, 30, 10));
    EXPECT_EQ(B.At(15, 5), Hex(0x3A8EE6));
    // A clip rectangle keeps the drawing inside it.
    TCanvasShot Clipped(30, 10);
    TRect Clip(0, 0, 10, 10);
    S->DrawElement(Clipped.DC(), S->GetElementDetails(tgCellSelected), TRect(0, 0, 30, 10), &Clip);
    EXPECT_EQ(Clipped.At(5, 5), Hex(0x3A8EE6));
    EXPECT_EQ(Clipped.At(20, 5), clFuchsia);
  }
  {
    TCanvasShot B(17, 17);
    S->DrawElement(B.DC(), S->GetElementDetails(tsArrowBtnDownNormal), TRect(0, 0, 17, 17));
    EXPECT_EQ(B.At(1, 1), Hex(0x1E1F24));
    EXPECT_GT(B.Count(Hex(0x9A9DA5)), 4);  // the arrow
  }
  {
    // Size boxes: the grip's dots gather in the corner the element names.
    struct Grip {
      TThemedScrollBar Element;
      TPoint Dot, Empty;
    };
    const Grip Grips[] = {{tsSizeBoxRightAlign, {13, 13}, {2, 2}},
                          {tsSizeBoxLeftAlign, {2, 13}, {13, 2}},
                          {tsSizeBoxTopRightAlign, {13, 2}, {2, 13}},
                          {tsSizeBoxTopLeftAlign, {2, 2}, {13, 13}}};
    for (const Grip& G : Grips) {
      TCanvasShot B(17, 17);
      S->DrawElement(B.DC(), S->GetElementDetails(G.Element), TRect(0, 0, 17, 17));
      EXPECT_EQ(B.At(G.Dot.X, G.Dot.Y), Hex(0x5A5E68)) << ElementDetailsName(S->GetElementDetails(G.Element));
      EXPECT_EQ(B.At(G.Empty.X, G.Empty.Y), Hex(0x17181C)) << ElementDetailsName(S->GetElementDetails(G.Element));
    }
  }
  {
    // An edge in the style's own 3D colours.
    TCanvasShot B(10, 10);
    TRect Content;
    S->DrawEdge(B.DC(), S->GetElementDetails(tbPushButtonNormal), TRect(0, 0, 10, 10), eeRaisedOuter, efRect, &Content);
    EXPECT_EQ(B.At(0, 5), Hex(0x272930));
    EXPECT_EQ(B.At(9, 5), Hex(0x070809));
    EXPECT_EQ(Content, TRect(1, 1, 9, 9));
  }
}

TEST(DrawElement, CustomStyleMeasuresAndWritesItsElements) {
  TPearlStyle Pearl;
  TCustomStyleServices* S = StyleServices();
  TRect Content;
  ASSERT_TRUE(S->GetElementContentRect(nullptr, S->GetElementDetails(tbPushButtonNormal), TRect(0, 0, 40, 20), Content));
  EXPECT_EQ(Content, TRect(3, 3, 37, 17));
  EXPECT_TRUE(S->HasTransparentParts(S->GetElementDetails(tbCheckBoxCheckedNormal)));
  EXPECT_TRUE(S->HasTransparentParts(S->GetElementDetails(tbPushButtonNormal))) << "rounded corners";
  EXPECT_FALSE(S->HasTransparentParts(S->GetElementDetails(tgCellNormal)));
  TSize Size;
  ASSERT_TRUE(S->GetElementSize(nullptr, S->GetElementDetails(ttGlyphClosed), esActual, Size));
  EXPECT_EQ(Size, TSize(9, 9));
  // Text in the element's own text colour unless a colour is given.
  TCanvasShot B(60, 16);
  TRect R(0, 0, 60, 16);
  S->DrawText(B.DC(), S->GetElementDetails(tgCellSelected), L"Şişli", R, DT_SINGLELINE);
  EXPECT_GT(B.Count(clWhite), 5);
  TCanvasShot Red(60, 16);
  S->DrawText(Red.DC(), S->GetElementDetails(tgCellSelected), L"Şişli", R, DT_SINGLELINE, clRed);
  EXPECT_GT(Red.Count(clRed), 5);
  EXPECT_EQ(Red.Count(clWhite), 0);
}

// The program's controls unthemed for one test, as on a system with themes off.
struct TThemesOff {
  DWORD Saved = GetThemeAppProperties();
  TThemesOff() {
    SetThemeAppProperties(0);
    StyleServices()->UpdateThemes();
  }
  ~TThemesOff() {
    SetThemeAppProperties(Saved);
    StyleServices()->UpdateThemes();
  }
};

TEST(DrawElement, SystemStyleDrawsThroughTheSystemTheme) {
  TCustomStyleServices* S = StyleServices();
  if (!S->Enabled()) GTEST_SKIP() << "the system theme is off";
  EXPECT_TRUE(S->Theme(teButton));
  EXPECT_FALSE(S->Theme(teGrid)) << "the system has no grid class";
  TCanvasShot B(40, 20);
  ASSERT_TRUE(S->DrawElement(B.DC(), S->GetElementDetails(tbPushButtonNormal), TRect(0, 0, 40, 20)));
  EXPECT_NE(B.At(20, 10), clFuchsia);
  TSize Size;
  EXPECT_TRUE(S->GetElementSize(B.DC(), S->GetElementDetails(tbCheckBoxCheckedNormal), esActual, Size));
  EXPECT_GT(Size.cx, 0);
}

TEST(DrawElement, SystemStyleDrawsClassicElementsWhileThemesAreOff) {
  TThemesOff Off;
  TCustomStyleServices* S = StyleServices();
  ASSERT_FALSE(S->Enabled());
  EXPECT_FALSE(S->Theme(teButton));
  {
    TCanvasShot B(40, 20);
    S->DrawElement(B.DC(), S->GetElementDetails(tbPushButtonNormal), TRect(0, 0, 40, 20));
    EXPECT_EQ(B.At(20, 10), TColor(GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(B.At(39, 19), TColor(GetSysColor(COLOR_3DDKSHADOW)));
  }
  {
    TCanvasShot B(13, 13);
    S->DrawElement(B.DC(), S->GetElementDetails(tbCheckBoxCheckedNormal), TRect(0, 0, 13, 13));
    EXPECT_EQ(B.At(3, 3), TColor(GetSysColor(COLOR_WINDOW)));
    EXPECT_GT(B.Count(TColor(GetSysColor(COLOR_WINDOWTEXT))), 4);  // the check mark
  }
  {
    TCanvasShot B(30, 10);
    S->DrawElement(B.DC(), S->GetElementDetails(tgCellSelected), TRect(0, 0, 30, 10));
    EXPECT_EQ(B.At(15, 5), TColor(GetSysColor(COLOR_HIGHLIGHT)));
  }
  TSize Size;
  ASSERT_TRUE(S->GetElementSize(nullptr, S->GetElementDetails(tbCheckBoxCheckedNormal), esActual, Size));
  EXPECT_EQ(Size, TSize(13, 13));
}

}  // namespace
