#include "framework/sysutils/Strings.h"

#include "framework/WinShell.h"

namespace {

Char AsciiUpper(Char C) { return (C >= L'a' && C <= L'z') ? Char(C - 32) : C; }
Char AsciiLower(Char C) { return (C >= L'A' && C <= L'Z') ? Char(C + 32) : C; }

Integer Sign(int R) { return R < 0 ? -1 : (R > 0 ? 1 : 0); }

// CompareStringW gives 1, 2 or 3 for less, equal, greater.
Integer LocaleCompare(const wchar_t* S1, int L1, const wchar_t* S2, int L2, DWORD Flags) {
  int R = CompareStringW(SysLocale.DefaultLCID, Flags, S1, L1, S2, L2);
  if (R == 0) {  // the system refused (bad flags or text): fall back to ordinal order
    int C = std::wmemcmp(S1, S2, size_t(std::min(L1, L2)));
    return C != 0 ? Sign(C) : Sign(L1 - L2);
  }
  return R - CSTR_EQUAL;
}

String LocaleMap(const wchar_t* S, int L, DWORD Flags) {
  if (L <= 0) return String();
  int N = LCMapStringW(SysLocale.DefaultLCID, Flags, S, L, nullptr, 0);
  if (N <= 0) return String(S, size_t(L));
  String R(size_t(N), L'\0');
  LCMapStringW(SysLocale.DefaultLCID, Flags, S, L, R.data(), N);
  return R;
}
String LocaleMap(const String& S, DWORD Flags) { return LocaleMap(S.data(), Length(S), Flags); }

// The one rule of every case-insensitive text routine (AnsiCompareText, AnsiSameText, the
// string lists, StringReplace with rfIgnoreCase, the *Text routines of StrUtils): two texts are
// equal when their AnsiUpperCase forms are, and ordered as the locale collates those forms.
// Under a Turkish locale i goes with İ and ı with I, as AnsiUpperCase maps them. The system's
// NORM_IGNORECASE is not used: it folds i with I whatever the locale (Wine's at least), which
// made EndsText find what ContainsText missed.
Integer LocaleCompareText(const wchar_t* S1, int L1, const wchar_t* S2, int L2) {
  const DWORD Upper = LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING;
  String U1 = LocaleMap(S1, L1, Upper), U2 = LocaleMap(S2, L2, Upper);
  if (U1 == U2) return 0;
  Integer R = LocaleCompare(U1.data(), Length(U1), U2.data(), Length(U2), 0);
  if (R != 0) return R;
  // Texts the collation cannot tell apart (characters it ignores) still differ.
  int C = std::wmemcmp(U1.data(), U2.data(), std::min(U1.size(), U2.size()));
  return C != 0 ? Sign(C) : Sign(Length(U1) - Length(U2));
}

int PLen(const wchar_t* S, Cardinal MaxLen = 0xFFFFFFFF) {
  if (!S) return 0;
  Cardinal N = 0;
  while (N < MaxLen && S[N]) ++N;
  return int(N);
}

}  // namespace

// ---- Case and comparison ----------------------------------------------------------------------

String UpperCase(const String& S) {
  String R = S;
  for (auto& C : R) C = AsciiUpper(C);
  return R;
}

String LowerCase(const String& S) {
  String R = S;
  for (auto& C : R) C = AsciiLower(C);
  return R;
}

Integer CompareStr(const String& S1, const String& S2) {
  size_t N = std::min(S1.size(), S2.size());
  for (size_t I = 0; I < N; ++I)
    if (S1[I] != S2[I]) return Integer(S1[I]) - Integer(S2[I]);
  return Length(S1) - Length(S2);
}

Integer CompareText(const String& S1, const String& S2) {
  size_t N = std::min(S1.size(), S2.size());
  for (size_t I = 0; I < N; ++I) {
    Char A = AsciiUpper(S1[I]), B = AsciiUpper(S2[I]);
    if (A != B) return Integer(A) - Integer(B);
  }
  return Length(S1) - Length(S2);
}

bool SameStr(const String& S1, const String& S2) { return S1 == S2; }
bool SameText(const String& S1, const String& S2) { return S1.size() == S2.size() && CompareText(S1, S2) == 0; }

String AnsiUpperCase(const String& S) { return LocaleMap(S, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING); }
String AnsiLowerCase(const String& S) { return LocaleMap(S, LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING); }

Integer AnsiCompareStr(const String& S1, const String& S2) {
  return LocaleCompare(S1.data(), Length(S1), S2.data(), Length(S2), 0);
}
Integer AnsiCompareText(const String& S1, const String& S2) {
  return LocaleCompareText(S1.data(), Length(S1), S2.data(), Length(S2));
}
bool AnsiSameStr(const String& S1, const String& S2) { return AnsiCompareStr(S1, S2) == 0; }
bool AnsiSameText(const String& S1, const String& S2) { return AnsiCompareText(S1, S2) == 0; }

Integer AnsiStrComp(const wchar_t* S1, const wchar_t* S2) {
  return LocaleCompare(S1 ? S1 : L"", PLen(S1), S2 ? S2 : L"", PLen(S2), 0);
}
Integer AnsiStrIComp(const wchar_t* S1, const wchar_t* S2) {
  return LocaleCompareText(S1 ? S1 : L"", PLen(S1), S2 ? S2 : L"", PLen(S2));
}
Integer AnsiStrLComp(const wchar_t* S1, const wchar_t* S2, Cardinal MaxLen) {
  return LocaleCompare(S1 ? S1 : L"", PLen(S1, MaxLen), S2 ? S2 : L"", PLen(S2, MaxLen), 0);
}
Integer AnsiStrLIComp(const wchar_t* S1, const wchar_t* S2, Cardinal MaxLen) {
  return LocaleCompareText(S1 ? S1 : L"", PLen(S1, MaxLen), S2 ? S2 : L"", PLen(S2, MaxLen));
}

Integer AnsiPos(const String& SubStr, const String& S) { return Pos(SubStr, S); }

// ---- Trimming, replacing, quoting -------------------------------------------------------------

String Trim(const String& S) {
  size_t B = 0, E = S.size();
  while (B < E && S[B] <= L' ') ++B;
  while (E > B && S[E - 1] <= L' ') --E;
  return S.substr(B, E - B);
}

String TrimLeft(const String& S) {
  size_t B = 0;
  while (B < S.size() && S[B] <= L' ') ++B;
  return S.substr(B);
}

String TrimRight(const String& S) {
  size_t E = S.size();
  while (E > 0 && S[E - 1] <= L' ') --E;
  return S.substr(0, E);
}

String StringReplace(const String& S, const String& OldPattern, const String& NewPattern, TReplaceFlags Flags) {
  if (OldPattern.empty() || S.empty()) return S;
  // Searching in upper-cased copies keeps positions only when the mapping keeps lengths, which
  // the system's simple case mapping does for UTF-16.
  String SearchStr = S, Patt = OldPattern;
  if (Flags.Contains(rfIgnoreCase)) {
    SearchStr = AnsiUpperCase(S);
    Patt = AnsiUpperCase(OldPattern);
    if (SearchStr.size() != S.size()) SearchStr = UpperCase(S), Patt = UpperCase(OldPattern);
  }
  String R;
  R.reserve(S.size());
  size_t From = 0;
  for (;;) {
    size_t P = SearchStr.find(Patt, From);
    if (P == String::npos) break;
    R.append(S, From, P - From);
    R += NewPattern;
    From = P + Patt.size();
    if (!Flags.Contains(rfReplaceAll)) break;
  }
  R.append(S, From, String::npos);
  return R;
}

String QuotedStr(const String& S) { return AnsiQuotedStr(S, L'\''); }

String AnsiQuotedStr(const String& S, Char Quote) {
  String R;
  R.reserve(S.size() + 2);
  R += Quote;
  for (Char C : S) {
    R += C;
    if (C == Quote) R += Quote;
  }
  R += Quote;
  return R;
}

String AnsiExtractQuotedStr(const wchar_t*& Src, Char Quote) {
  String R;
  if (!Src || *Src != Quote) return R;
  ++Src;
  while (*Src) {
    if (*Src == Quote) {
      ++Src;
      if (*Src != Quote) return R;  // closing quote
    }
    R += *Src++;
  }
  return R;
}

String AnsiDequotedStr(const String& S, Char Quote) {
  const wchar_t* P = S.c_str();
  String R = AnsiExtractQuotedStr(P, Quote);
  if ((R.empty() || *P == L'\0') && !S.empty() && (S.front() != Quote || S.back() != Quote)) return S;
  return R;
}

String DequotedStr(const String& S, Char Quote) { return AnsiDequotedStr(S, Quote); }

// ---- Delimiters and character sets ------------------------------------------------------------

bool IsDelimiter(const String& Delimiters, const String& S, Integer Index) {
  if (Index < 1 || Index > Length(S)) return false;
  return Delimiters.find(S[size_t(Index - 1)]) != String::npos;
}

Integer LastDelimiter(const String& Delimiters, const String& S) {
  size_t P = S.find_last_of(Delimiters);
  return P == String::npos ? 0 : Integer(P) + 1;
}

String AdjustLineBreaks(const String& S, TTextLineBreakStyle Style) {
  const wchar_t* Break = Style == tlbsCRLF ? L"\r\n" : (Style == tlbsLF ? L"\n" : L"\r");
  String R;
  R.reserve(S.size() + S.size() / 16);
  for (size_t I = 0; I < S.size(); ++I) {
    Char C = S[I];
    if (C == L'\r' || C == L'\n') {
      Char Other = C == L'\r' ? L'\n' : L'\r';
      if (I + 1 < S.size() && S[I + 1] == Other) ++I;
      R += Break;
    } else {
      R += C;
    }
  }
  return R;
}

bool IsValidIdent(const String& Ident, bool AllowDots) {
  auto Alpha = [](Char C) { return (C >= L'A' && C <= L'Z') || (C >= L'a' && C <= L'z') || C == L'_'; };
  auto AlphaNum = [&](Char C) { return Alpha(C) || (C >= L'0' && C <= L'9'); };
  if (Ident.empty()) return false;
  bool StartOfPart = true;
  for (Char C : Ident) {
    if (StartOfPart) {
      if (!Alpha(C)) return false;
      StartOfPart = false;
    } else if (C == L'.' && AllowDots) {
      StartOfPart = true;
    } else if (!AlphaNum(C)) {
      return false;
    }
  }
  return !StartOfPart;
}

// ---- Multi-byte helpers -----------------------------------------------------------------------

TMbcsByteType ByteType(const String& S, Integer Index) {
  if (Index < 1 || Index > Length(S)) return mbSingleByte;
  Char C = S[size_t(Index - 1)];
  if (IsLeadChar(C)) return mbLeadByte;
  if (C >= 0xDC00 && C <= 0xDFFF && Index > 1 && IsLeadChar(S[size_t(Index - 2)])) return mbTrailByte;
  return mbSingleByte;
}

namespace {
TSysCharSet MakeLeadBytes() {
  TSysCharSet R;
  CPINFO Info{};
  if (GetCPInfo(CP_ACP, &Info))
    for (int I = 0; I + 1 < MAX_LEADBYTES && Info.LeadByte[I]; I += 2)
      for (int B = Info.LeadByte[I]; B <= Info.LeadByte[I + 1]; ++B) R.Include(Byte(B));
  return R;
}
}  // namespace

TSysCharSet LeadBytes __attribute__((init_priority(200))) = MakeLeadBytes();

// ---- GUIDs ------------------------------------------------------------------------------------

Integer CreateGUID(TGUID& Guid) {
  static_assert(sizeof(TGUID) == sizeof(GUID), "TGUID is laid out as the system's GUID");
  GUID G;
  HRESULT Hr = CoCreateGuid(&G);
  if (SUCCEEDED(Hr)) std::memcpy(static_cast<void*>(&Guid), &G, sizeof(G));
  return Integer(Hr);
}

String GUIDToString(const TGUID& Guid) {
  wchar_t Buf[40];
  swprintf(Buf, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(Guid.D1), unsigned(Guid.D2),
           unsigned(Guid.D3), Guid.D4[0], Guid.D4[1], Guid.D4[2], Guid.D4[3], Guid.D4[4], Guid.D4[5], Guid.D4[6],
           Guid.D4[7]);
  return Buf;
}

TGUID StringToGUID(const String& S) {
  auto Bad = [&]() -> TGUID { throw EConvertError(L"'" + S + L"' is not a valid GUID value"); };
  if (S.size() != 38 || S[0] != L'{' || S[37] != L'}' || S[9] != L'-' || S[14] != L'-' || S[19] != L'-' ||
      S[24] != L'-')
    return Bad();
  size_t I = 1;
  auto Hex = [&](int Digits) -> UInt64 {
    UInt64 V = 0;
    for (int K = 0; K < Digits; ++K, ++I) {
      if (S[I] == L'-') ++I;
      Char C = S[I];
      int D = (C >= L'0' && C <= L'9') ? C - L'0'
              : (C >= L'A' && C <= L'F') ? C - L'A' + 10
              : (C >= L'a' && C <= L'f') ? C - L'a' + 10
                                         : -1;
      if (D < 0) Bad();
      V = V * 16 + UInt64(D);
    }
    return V;
  };
  TGUID G;
  G.D1 = Cardinal(Hex(8));
  G.D2 = Word(Hex(4));
  G.D3 = Word(Hex(4));
  for (auto& B : G.D4) B = Byte(Hex(2));
  return G;
}
