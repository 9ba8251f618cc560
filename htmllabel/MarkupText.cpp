// The markup's string routines: normalisation, tags, attributes, colours and tag-free positions.

#include "htmllabel/MarkupText.h"

#include <climits>
#include <cmath>
#include <cwchar>
#include <vector>

#include "framework/SysUtils.h"

namespace {

wchar_t UpAscii(wchar_t C) { return (C >= L'a' && C <= L'z') ? wchar_t(C - 32) : C; }

String LowerAscii(const String& S) {
  String R(S);
  for (auto& C : R)
    if (C >= L'A' && C <= L'Z') C = wchar_t(C + 32);
  return R;
}

int HexDigit(wchar_t C) {
  if (C >= L'0' && C <= L'9') return C - L'0';
  if (C >= L'A' && C <= L'F') return C - L'A' + 10;
  if (C >= L'a' && C <= L'f') return C - L'a' + 10;
  return -1;
}

// Replaces every occurrence of From, ignoring ASCII letter case.
String ReplaceAllNoCase(const String& S, const String& From, const String& To) {
  if (From.empty()) return S;
  String U = UpperAscii(S), F = UpperAscii(From);
  String R;
  R.reserve(S.size());
  size_t P = 0;
  for (;;) {
    size_t Q = U.find(F, P);
    if (Q == String::npos) break;
    R.append(S, P, Q - P);
    R += To;
    P = Q + F.size();
  }
  R.append(S, P, String::npos);
  return R;
}

struct TEntity {
  const wchar_t* Name;
  wchar_t Char;
};

const TEntity Entities[] = {
    {L"&eacute;", L'\u00E9'}, {L"&egrave;", L'\u00E8'}, {L"&euml;", L'\u00EB'},  {L"&ecirc;", L'\u00EA'},
    {L"&oacute;", L'\u00F3'}, {L"&ograve;", L'\u00F2'}, {L"&ouml;", L'\u00F6'},  {L"&ocirc;", L'\u00F4'},
    {L"&iacute;", L'\u00ED'}, {L"&igrave;", L'\u00EC'}, {L"&iuml;", L'\u00EF'},  {L"&icirc;", L'\u00EE'},
    {L"&uacute;", L'\u00FA'}, {L"&ugrave;", L'\u00F9'}, {L"&uuml;", L'\u00FC'},  {L"&ucirc;", L'\u00FB'},
    {L"&aacute;", L'\u00E1'}, {L"&agrave;", L'\u00E0'}, {L"&auml;", L'\u00E4'},  {L"&acirc;", L'\u00E2'},
    {L"&Eacute;", L'\u00C9'}, {L"&Egrave;", L'\u00C8'}, {L"&Euml;", L'\u00CB'},  {L"&Ecirc;", L'\u00CA'},
    {L"&Oacute;", L'\u00D3'}, {L"&Ograve;", L'\u00D2'}, {L"&Ouml;", L'\u00D6'},  {L"&Ocirc;", L'\u00D4'},
    {L"&Iacute;", L'\u00CD'}, {L"&Igrave;", L'\u00CC'}, {L"&Iuml;", L'\u00CF'},  {L"&Icirc;", L'\u00CE'},
    {L"&Uacute;", L'\u00DA'}, {L"&Ugrave;", L'\u00D9'}, {L"&Uuml;", L'\u00DC'},  {L"&Ucirc;", L'\u00DB'},
    {L"&Aacute;", L'\u00C1'}, {L"&Agrave;", L'\u00C0'}, {L"&Auml;", L'\u00C4'},  {L"&Acirc;", L'\u00C2'},
    {L"&ccedil;", L'\u00E7'}, {L"&Ccedil;", L'\u00C7'}, {L"&oslash;", L'\u00F8'}, {L"&Oslash;", L'\u00D8'},
    {L"&aring;", L'\u00E5'},  {L"&Aring;", L'\u00C5'},  {L"&copy;", L'\u00A9'},  {L"&reg;", L'\u00AE'},
    {L"&euro;", L'\u20AC'},   {L"&laquo;", L'\u00AB'},  {L"&raquo;", L'\u00BB'}, {L"&atilde;", L'\u00E3'},
    {L"&Atilde;", L'\u00C3'}, {L"&otilde;", L'\u00F5'}, {L"&Otilde;", L'\u00D5'}, {L"&szlig;", L'\u00DF'},
    {L"&trade;", L'\u2122'},  {L"&pound;", L'\u00A3'},  {L"&dollar;", L'$'},     {L"&sect;", L'\u00A7'},
    {L"&permil;", L'\u2030'}, {L"&para;", L'\u00B6'},   {L"&quot;", L'"'},       {L"&apos;", L'\''},
    {L"&yen;", L'\u00A5'},    {L"&curren;", L'\u00A4'}, {L"&cent;", L'\u00A2'},  {L"&plusmn;", L'\u00B1'},
    {L"&iexcl;", L'\u00A1'},  {L"&deg;", L'\u00B0'},
};

struct TNamedColor {
  const wchar_t* Name;
  TColor Color;
};

const TNamedColor NamedColors[] = {
    {L"clred", 0x0000FF},     {L"clblack", 0x000000},   {L"clblue", 0xFF0000},  {L"clgreen", 0x008000},
    {L"claqua", 0xFFFF00},    {L"clyellow", 0x00FFFF},  {L"clfuchsia", 0xFF00FF}, {L"clwhite", 0xFFFFFF},
    {L"cllime", 0x00FF00},    {L"clsilver", 0xC0C0C0},  {L"clgray", 0x808080},  {L"clolive", 0x008080},
    {L"clnavy", 0x800000},    {L"clpurple", 0x800080},  {L"clteal", 0x808000},  {L"clmaroon", 0x000080},
};

const wchar_t* const SystemColorNames[] = {
    L"clbackground", L"clactivecaption", L"clinactivecaption", L"clmenu", L"clwindow", L"clwindowframe",
    L"clmenutext", L"clwindowtext", L"clcaptiontext", L"clactiveborder", L"clinactiveborder",
    L"clappworkspace", L"clhighlight", L"clhighlighttext", L"clbtnface", L"clbtnshadow", L"clgraytext",
    L"clbtntext", L"clinactivecaptiontext", L"clbtnhighlight", L"cl3ddkshadow", L"cl3dlight",
    L"clinfotext", L"clinfobk",
};

}  // namespace

String UpperAscii(const String& S) {
  String R(S);
  for (auto& C : R) C = UpAscii(C);
  return R;
}

String StripTags(const String& Text) {
  String R;
  R.reserve(Text.size());
  size_t P = 0;
  while (P < Text.size()) {
    size_t L = Text.find(L'<', P);
    if (L == String::npos) break;
    size_t G = Text.find(L'>', L);
    if (G == String::npos) break;
    R.append(Text, P, L - P);
    P = G + 1;
  }
  R.append(Text, P, String::npos);
  return R;
}

String HTMLStrip(const String& Text) {
  String S = ReplaceAllNoCase(ReplaceAllNoCase(Text, L"<BR>", L"\r\n"), L"<HR>", L"\r\n");
  String R;
  // Hidden blocks, first the lower-case form, then the upper-case one.
  const String Open[2] = {L"<z>", L"<Z>"}, Close[2] = {L"</z>", L"</Z>"};
  for (int K = 0; K < 2; ++K) {
    String Rest;
    size_t P = 0;
    for (;;) {
      size_t O = S.find(Open[K], P);
      if (O == String::npos) break;
      size_t C = S.find(Close[K], O + Open[K].size());
      if (C == String::npos) break;
      Rest.append(S, P, O - P);
      P = C + Close[K].size();
    }
    Rest.append(S, P, String::npos);
    S = std::move(Rest);
  }
  size_t P = 0;
  while (P < S.size()) {
    size_t L = S.find(L'<', P);
    if (L == String::npos) break;
    size_t G = S.find(L'>', L);
    if (G == String::npos) break;  // an unclosed "<" ends the tags: the rest stays as it is
    R.append(S, P, L - P);
    P = G + 1;
  }
  if (P < S.size()) R.append(S, P, String::npos);
  return R;
}

Integer VisibleCharPos(const String& Text, Integer N) {
  if (N < 1) return 0;
  Integer Count = 0;
  bool InTag = false;
  for (size_t I = 0; I < Text.size(); ++I) {
    wchar_t C = Text[I];
    if (InTag) {
      if (C == L'>') InTag = false;
      continue;
    }
    if (C == L'<') {
      InTag = true;
      continue;
    }
    if (++Count == N) return Integer(I + 1);
  }
  return N == Count + 1 ? Integer(Text.size() + 1) : 0;
}

Integer FindVisibleText(const String& Search, const String& Text, Integer Offset, bool CaseSensitive,
                        Integer& Pos) {
  Pos = 0;
  if (Search.empty() || Offset < 0 || size_t(Offset) >= Text.size()) return 0;
  size_t F = CaseSensitive ? Text.find(Search, size_t(Offset))
                           : AnsiUpperCase(Text).find(AnsiUpperCase(Search), size_t(Offset));
  if (F != String::npos) Pos = Integer(F + 1);
  return Pos;
}

String InsertTagAroundText(const String& Text, const String& Search, const String& Tag, bool CaseSensitive) {
  if (Search.empty() || Tag.empty()) return Text;
  const String Plain = StripTags(Text);
  // Find all tag-free positions first, then insert from the back so earlier positions stay valid.
  std::vector<Integer> Found;
  Integer Offset = 0, P = 0;
  while (FindVisibleText(Search, Plain, Offset, CaseSensitive, P) > 0) {
    Found.push_back(P);
    Offset = P - 1 + Integer(Search.size());
  }
  String R = Text;
  const String OpenTag = L"<" + Tag + L">", CloseTag = L"</" + Tag + L">";
  for (auto It = Found.rbegin(); It != Found.rend(); ++It) {
    // The closing tag goes right after the last matched visible character.
    Integer Last = VisibleCharPos(R, *It + Integer(Search.size()) - 1);
    Integer First = VisibleCharPos(R, *It);
    if (Last <= 0 || First <= 0) continue;
    R.insert(size_t(Last), CloseTag);
    R.insert(size_t(First - 1), OpenTag);
  }
  return R;
}

String RemoveTagPair(const String& Text, const String& Tag) {
  if (Tag.empty()) return Text;
  String T = UpperAscii(Tag);
  return ReplaceAllNoCase(ReplaceAllNoCase(Text, L"<" + T + L">", L""), L"</" + T + L">", L"");
}

TColor ColorNameToColor(const String& Name) {
  for (const auto& C : NamedColors)
    if (Name == C.Name) return C.Color;
  for (size_t I = 0; I < sizeof(SystemColorNames) / sizeof(SystemColorNames[0]); ++I)
    if (Name == SystemColorNames[I]) return TColor(clSystemColor | Integer(I + 1));
  return 0;
}

namespace {

// The hexadecimal pair at At of Value; 0 for a pair that is short or has another character.
Integer HexPairToByte(const String& Value, size_t At) {
  if (Value.size() < At + 2) return 0;
  const int A = HexDigit(Value[At]), B = HexDigit(Value[At + 1]);
  return (A < 0 || B < 0) ? 0 : A * 16 + B;
}

}  // namespace

TColor HexColorToColor(const String& Value) {
  return TColor(HexPairToByte(Value, 1) + 256 * HexPairToByte(Value, 3) + 65536 * HexPairToByte(Value, 5));
}

TColor MarkupColor(const String& Value) {
  if (!Value.empty() && Value[0] == L'#') return HexColorToColor(Value);
  return ColorNameToColor(LowerAscii(Value));
}

String DecodeNamedEntities(const String& Text) {
  if (Text.find(L'&') == String::npos) return Text;
  // One pass over the text: every name is a whole "&...;" so no two can overlap.
  String R;
  R.reserve(Text.size());
  const size_t N = Text.size();
  for (size_t I = 0; I < N;) {
    if (Text[I] == L'&') {
      const TEntity* Hit = nullptr;
      for (const auto& E : Entities) {
        size_t L = std::wcslen(E.Name);
        if (Text.compare(I, L, E.Name) == 0) {
          Hit = &E;
          break;
        }
      }
      if (Hit) {
        R += Hit->Char;
        I += std::wcslen(Hit->Name);
        continue;
      }
    }
    R += Text[I++];
  }
  return R;
}

namespace {

// The end of the digits of a numeric reference whose digits start at D.
size_t NumericEntityEnd(const String& Text, size_t D) {
  size_t E = D;
  while (E < Text.size() && Text[E] >= L'0' && Text[E] <= L'9') ++E;
  return E;
}

}  // namespace

String DecodeNumericEntities(const String& Text) {
  String R;
  R.reserve(Text.size());
  size_t P = 0;
  const size_t N = Text.size();
  while (P < N) {
    size_t A = Text.find(L"&#", P);
    if (A == String::npos) break;
    R.append(Text, P, A - P);
    const size_t D = A + 2, E = NumericEntityEnd(Text, D);
    // A reference needs 1 to 6 digits followed by ";" or by another character (kept).
    bool Ok = E > D && E - D <= 6 && E < N;
    unsigned long V = 0;
    if (Ok) {
      for (size_t I = D; I < E; ++I) V = V * 10 + unsigned(Text[I] - L'0');
      Ok = V > 0 && V <= 0x10FFFF && !(V >= 0xD800 && V <= 0xDFFF);
    }
    if (!Ok) {
      R += L"&#";
      P = A + 2;
      continue;
    }
    if (V > 0xFFFF) {
      V -= 0x10000;
      R += wchar_t(0xD800 + (V >> 10));
      R += wchar_t(0xDC00 + (V & 0x3FF));
    } else {
      R += wchar_t(V);
    }
    P = Text[E] == L';' ? E + 1 : E;
  }
  R.append(Text, P, String::npos);
  return R;
}

String UnwrapHashTags(const String& Text) {
  String R;
  R.reserve(Text.size());
  size_t P = 0;
  for (;;) {
    size_t M = Text.find(L"<#", P);
    if (M == String::npos) break;
    R.append(Text, P, M - P);
    size_t G = Text.find(L'>', M + 2);
    if (G == String::npos) {
      P = M + 1;  // only the "<" goes
      break;
    }
    R.append(Text, M + 1, G - M - 1);
    P = G + 1;
  }
  R.append(Text, P, String::npos);
  return R;
}

String TextToHtmlBreaks(const String& Text, bool Breaks) {
  String R;
  R.reserve(Text.size());
  for (wchar_t C : Text) {
    if (C == L'\n') continue;
    if (C == L'\r') {
      if (Breaks) R += L"<BR>";
      continue;
    }
    R += C;
  }
  return R;
}

String NormalizeMarkup(const String& Text) {
  String S = Text;
  if (S.find(L'&') != String::npos) {
    bool NoPrefix = S.find(L" & ") != String::npos;
    S = DecodeNamedEntities(S);
    S = ReplaceAllNoCase(S, L"&amp;", NoPrefix ? L"&" : L"&&");
  }
  S = UnwrapHashTags(S);
  S = DecodeNumericEntities(S);
  return TextToHtmlBreaks(S, true);
}

String HtmlEscape(const String& Text) {
  String R;
  R.reserve(Text.size() + Text.size() / 4);
  const size_t N = Text.size();
  for (size_t I = 0; I < N; ++I) {
    const wchar_t C = Text[I];
    switch (C) {
      case L'<':
        R += L"&lt;";
        break;
      case L'>':
        R += L"&gt;";
        break;
      case L'&': {
        R += L"&#38;&#38;";
        const wchar_t Next = I + 1 < N ? Text[I + 1] : L'\0';
        if ((Next >= L'a' && Next <= L'z') || (Next >= L'A' && Next <= L'Z')) R += L"<>";
        break;
      }
      case L'\r':
        R += L"<BR>";
        if (I + 1 < N && Text[I + 1] == L'\n') ++I;
        break;
      case L'\n':
        R += L"<BR>";
        break;
      default:
        R += C;
    }
  }
  return R;
}

Integer StrToIntOrZero(const String& Text) {
  size_t P = 0, N = Text.size();
  while (P < N && (Text[P] == L' ' || Text[P] == L'\t')) ++P;
  bool Neg = false;
  if (P < N && (Text[P] == L'+' || Text[P] == L'-')) Neg = Text[P++] == L'-';
  int Base = 10;
  if (P < N && Text[P] == L'$') {
    Base = 16;
    ++P;
  } else if (P + 1 < N && Text[P] == L'0' && (Text[P + 1] == L'x' || Text[P + 1] == L'X') && P + 2 < N &&
             HexDigit(Text[P + 2]) >= 0) {
    Base = 16;
    P += 2;
  }
  long long V = 0;
  bool Any = false;
  for (; P < N; ++P) {
    int D = Base == 16 ? HexDigit(Text[P]) : ((Text[P] >= L'0' && Text[P] <= L'9') ? Text[P] - L'0' : -1);
    if (D < 0) break;
    Any = true;
    if (V <= (long long)INT_MAX + 1) V = V * Base + D;
  }
  if (!Any) return 0;
  if (Neg) V = -V;
  if (V > INT_MAX) return INT_MAX;
  if (V < INT_MIN) return INT_MIN;
  return Integer(V);
}

double StrToFloatAnySep(const String& Text) {
  String S = Text;
  for (auto& C : S)
    if (C == L',') C = L'.';
  size_t B = S.find_first_not_of(L" \t"), E = S.find_last_not_of(L" \t");
  if (B == String::npos) return 0;
  S = S.substr(B, E - B + 1);
  // Invariant parsing by hand: sign, digits, one ".", digits, optional exponent.
  size_t P = 0;
  bool Neg = false;
  if (P < S.size() && (S[P] == L'+' || S[P] == L'-')) Neg = S[P++] == L'-';
  double V = 0, Scale = 1;
  bool Any = false, Dot = false;
  for (; P < S.size(); ++P) {
    wchar_t C = S[P];
    if (C >= L'0' && C <= L'9') {
      Any = true;
      if (Dot) {
        Scale /= 10;
        V += (C - L'0') * Scale;
      } else {
        V = V * 10 + (C - L'0');
      }
    } else if (C == L'.' && !Dot) {
      Dot = true;
    } else {
      break;
    }
  }
  if (P < S.size() && (S[P] == L'e' || S[P] == L'E') && Any) {
    size_t Q = P + 1;
    bool ENeg = false;
    if (Q < S.size() && (S[Q] == L'+' || S[Q] == L'-')) ENeg = S[Q++] == L'-';
    int Ex = 0;
    bool EAny = false;
    for (; Q < S.size() && S[Q] >= L'0' && S[Q] <= L'9'; ++Q) {
      EAny = true;
      if (Ex < 400) Ex = Ex * 10 + (S[Q] - L'0');
    }
    if (EAny) {
      V *= std::pow(10.0, ENeg ? -Ex : Ex);
      P = Q;
    }
  }
  if (!Any || P != S.size() || !std::isfinite(V)) return 0;
  return Neg ? -V : V;
}

String TagAttribute(const String& Tag, const String& Name, bool* Found) {
  if (Found) *Found = false;
  const String U = UpperAscii(Tag), N = UpperAscii(Name);
  size_t P = 0;
  while ((P = U.find(N, P)) != String::npos) {
    size_t Q = P + N.size();
    bool Before = P > 0 && (U[P - 1] == L' ' || U[P - 1] == L'\t');
    size_t E = Q;
    while (E < U.size() && (U[E] == L' ' || U[E] == L'\t')) ++E;
    if (Before && E < U.size() && U[E] == L'=') {
      if (Found) *Found = true;
      size_t Q1 = Tag.find(L'"', E + 1);
      if (Q1 == String::npos) return String();
      size_t Q2 = Tag.find(L'"', Q1 + 1);
      if (Q2 == String::npos) return String();
      return Tag.substr(Q1 + 1, Q2 - Q1 - 1);
    }
    P = Q;
  }
  return String();
}
