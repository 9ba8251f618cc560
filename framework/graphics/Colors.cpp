#include "framework/graphics/Colors.h"

#include "framework/WinApi.h"

namespace {

struct TColorIdent {
  TColor Value;
  const wchar_t* Name;
};

const TColorIdent ColorIdents[] = {
    {clBlack, L"clBlack"},
    {clMaroon, L"clMaroon"},
    {clGreen, L"clGreen"},
    {clOlive, L"clOlive"},
    {clNavy, L"clNavy"},
    {clPurple, L"clPurple"},
    {clTeal, L"clTeal"},
    {clGray, L"clGray"},
    {clSilver, L"clSilver"},
    {clRed, L"clRed"},
    {clLime, L"clLime"},
    {clYellow, L"clYellow"},
    {clBlue, L"clBlue"},
    {clFuchsia, L"clFuchsia"},
    {clAqua, L"clAqua"},
    {clWhite, L"clWhite"},
    {clMoneyGreen, L"clMoneyGreen"},
    {clSkyBlue, L"clSkyBlue"},
    {clCream, L"clCream"},
    {clMedGray, L"clMedGray"},
    {clActiveBorder, L"clActiveBorder"},
    {clActiveCaption, L"clActiveCaption"},
    {clAppWorkSpace, L"clAppWorkSpace"},
    {clBackground, L"clBackground"},
    {clBtnFace, L"clBtnFace"},
    {clBtnHighlight, L"clBtnHighlight"},
    {clBtnShadow, L"clBtnShadow"},
    {clBtnText, L"clBtnText"},
    {clCaptionText, L"clCaptionText"},
    {clDefault, L"clDefault"},
    {clGradientActiveCaption, L"clGradientActiveCaption"},
    {clGradientInactiveCaption, L"clGradientInactiveCaption"},
    {clGrayText, L"clGrayText"},
    {clHighlight, L"clHighlight"},
    {clHighlightText, L"clHighlightText"},
    {clHotLight, L"clHotLight"},
    {clInactiveBorder, L"clInactiveBorder"},
    {clInactiveCaption, L"clInactiveCaption"},
    {clInactiveCaptionText, L"clInactiveCaptionText"},
    {clInfoBk, L"clInfoBk"},
    {clInfoText, L"clInfoText"},
    {clMenu, L"clMenu"},
    {clMenuBar, L"clMenuBar"},
    {clMenuHighlight, L"clMenuHighlight"},
    {clMenuText, L"clMenuText"},
    {clNone, L"clNone"},
    {clScrollBar, L"clScrollBar"},
    {cl3DDkShadow, L"cl3DDkShadow"},
    {cl3DLight, L"cl3DLight"},
    {clWindow, L"clWindow"},
    {clWindowFrame, L"clWindowFrame"},
    {clWindowText, L"clWindowText"},
};

bool TryParseInteger(const String& S, Integer& Value) {
  size_t I = 0;
  while (I < S.size() && S[I] == L' ') ++I;
  size_t End = S.size();
  while (End > I && S[End - 1] == L' ') --End;
  bool Negative = false;
  if (I < End && (S[I] == L'-' || S[I] == L'+')) Negative = S[I++] == L'-';
  unsigned Base = 10;
  if (I < End && S[I] == L'$') {
    Base = 16;
    ++I;
  } else if (I + 1 < End && S[I] == L'0' && (S[I + 1] == L'x' || S[I + 1] == L'X')) {
    Base = 16;
    I += 2;
  }
  if (I >= End) return false;
  UInt64 V = 0;
  for (; I < End; ++I) {
    Char C = S[I];
    unsigned D;
    if (C >= L'0' && C <= L'9') D = C - L'0';
    else if (Base == 16 && C >= L'a' && C <= L'f') D = C - L'a' + 10;
    else if (Base == 16 && C >= L'A' && C <= L'F') D = C - L'A' + 10;
    else return false;
    V = V * Base + D;
    if (V > 0xFFFFFFFFull) return false;
  }
  // Hex literals cover the whole 32 bits (system colours); decimal ones stay in Integer range.
  if (Base == 10 && V > (Negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
  Value = Negative ? Integer(0 - Cardinal(V)) : Integer(Cardinal(V));
  return true;
}

}  // namespace

TColorRef ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(Color & 0xFF);
  return TColorRef(Color);
}

bool ColorToIdent(Integer Color, String& Ident) {
  for (const auto& C : ColorIdents)
    if (C.Value == Color) {
      Ident = C.Name;
      return true;
    }
  return false;
}

bool IdentToColor(const String& Ident, Integer& Color) {
  for (const auto& C : ColorIdents)
    if (SameIdent(Ident, C.Name)) {
      Color = C.Value;
      return true;
    }
  return false;
}

String ColorToString(TColor Color) {
  String S;
  if (ColorToIdent(Color, S)) return S;
  wchar_t Buf[16];
  swprintf(Buf, 16, L"$%.8X", unsigned(Color));
  return Buf;
}

TColor StringToColor(const String& S) {
  Integer C;
  if (IdentToColor(S, C) || TryParseInteger(S, C)) return C;
  throw EConvertError(L"'" + S + L"' is not a valid integer value");
}

void GetColorValues(const std::function<void(const String&)>& Proc) {
  for (const auto& C : ColorIdents) Proc(C.Name);
}
