#include "framework/sysutils/Format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "framework/sysutils/Strings.h"

String (*FormatVariantArgHook)(const Variant& V) = nullptr;
const wchar_t* const DefaultTrueBoolStr = L"True";
const wchar_t* const DefaultFalseBoolStr = L"False";

namespace {

// ---- Decimal digits of a float ------------------------------------------------------------------

// A float as decimal digits: Value = 0.D1D2D3... * 10^Exp. Digits holds no trailing zeros and
// is empty for zero.
struct TDecimal {
  bool Negative = false;
  bool Nan = false;
  bool Inf = false;
  Integer Exp = 0;
  std::string Digits;
};

// Enough digits that a value lying exactly on a rounding half shows as "5000...".
constexpr int ExactDigits = 30;
// Significant digits a float keeps when it is written out: a Double's worth.
constexpr int FloatPrecision = 15;

TDecimal ToDecimal(Extended V) {
  TDecimal D;
  if (std::isnan(V)) {
    D.Nan = true;
    return D;
  }
  D.Negative = std::signbit(V);
  if (std::isinf(V)) {
    D.Inf = true;
    return D;
  }
  if (V == 0) {
    D.Negative = false;
    return D;
  }
  char Buf[64];
  __mingw_snprintf(Buf, sizeof(Buf), "%.*Le", ExactDigits - 1, std::fabs(V));
  // "d.ddddde+XX"
  const char* P = Buf;
  for (; *P && *P != 'e'; ++P)
    if (*P >= '0' && *P <= '9') D.Digits += *P;
  D.Exp = (*P == 'e' ? std::atoi(P + 1) : 0) + 1;
  while (!D.Digits.empty() && D.Digits.back() == '0') D.Digits.pop_back();
  return D;
}

// Keeps Count significant digits, rounding a half away from zero.
void RoundDigits(TDecimal& D, int Count) {
  if (D.Nan || D.Inf || D.Digits.empty()) return;
  if (Count >= int(D.Digits.size())) return;
  if (Count < 0) {
    D.Digits.clear();
    D.Exp = 0;
    return;
  }
  bool Up = D.Digits[size_t(Count)] >= '5';
  D.Digits.resize(size_t(Count));
  if (Up) {
    int I = Count - 1;
    while (I >= 0 && D.Digits[size_t(I)] == '9') D.Digits[size_t(I--)] = '0';
    if (I < 0) {
      D.Digits.insert(D.Digits.begin(), '1');
      D.Exp++;
    } else {
      D.Digits[size_t(I)]++;
    }
  }
  while (!D.Digits.empty() && D.Digits.back() == '0') D.Digits.pop_back();
  if (D.Digits.empty()) D.Exp = 0;
}

TDecimal CurrToDecimal(Currency C) {
  TDecimal D;
  Int64 Raw = C.Raw();
  D.Negative = Raw < 0;
  UInt64 U = D.Negative ? UInt64(0) - UInt64(Raw) : UInt64(Raw);
  if (U == 0) {
    D.Negative = false;
    return D;
  }
  std::string S = std::to_string(U);
  D.Exp = Integer(S.size()) - 4;
  D.Digits = S;
  while (!D.Digits.empty() && D.Digits.back() == '0') D.Digits.pop_back();
  return D;
}

Char DigitAt(const TDecimal& D, int I) { return I >= 0 && I < int(D.Digits.size()) ? Char(D.Digits[size_t(I)]) : L'0'; }

String IntegerDigits(const TDecimal& D) {
  String R;
  for (int I = 0; I < D.Exp; ++I) R += DigitAt(D, I);
  return R.empty() ? String(L"0") : R;
}

String FractionDigits(const TDecimal& D, int Count) {
  String R;
  for (int I = 0; I < Count; ++I) R += DigitAt(D, D.Exp + I);
  return R;
}

String AddThousands(const String& IntPart, Char Sep) {
  if (Sep == L'\0') return IntPart;
  String R;
  int N = Length(IntPart);
  for (int I = 0; I < N; ++I) {
    if (I > 0 && (N - I) % 3 == 0) R += Sep;
    R += IntPart[size_t(I)];
  }
  return R;
}

String ExponentText(Integer E, bool AlwaysSign, int MinDigits) {
  String R;
  if (E < 0) R += L'-';
  else if (AlwaysSign) R += L'+';
  String N = std::to_wstring(E < 0 ? -E : E);
  if (Length(N) < MinDigits) N.insert(0, size_t(MinDigits - Length(N)), L'0');
  return R + N;
}

String SpecialText(const TDecimal& D) {
  if (D.Nan) return L"NAN";
  return D.Negative ? L"-INF" : L"INF";
}

// "d.dddE+XX" with all Precision digits kept (ffExponent).
String ExponentForm(const TDecimal& D, int Precision, int ExpDigits, Char DecSep, bool AlwaysSign, bool TrimZeros) {
  String M;
  M += DigitAt(D, 0);
  String Frac;
  for (int I = 1; I < Precision; ++I) Frac += DigitAt(D, I);
  if (TrimZeros)
    while (!Frac.empty() && Frac.back() == L'0') Frac.pop_back();
  if (!Frac.empty()) M += DecSep + Frac;
  return M + L'E' + ExponentText(D.Digits.empty() ? 0 : D.Exp - 1, AlwaysSign, ExpDigits);
}

String CurrencyForm(const String& Number, bool Negative, const TFormatSettings& FS) {
  const String& C = FS.CurrencyString;
  if (!Negative) {
    switch (FS.CurrencyFormat) {
      case 1: return Number + C;
      case 2: return C + L' ' + Number;
      case 3: return Number + L' ' + C;
      default: return C + Number;
    }
  }
  switch (FS.NegCurrFormat) {
    case 1: return L'-' + C + Number;
    case 2: return C + L'-' + Number;
    case 3: return C + Number + L'-';
    case 4: return L'(' + Number + C + L')';
    case 5: return L'-' + Number + C;
    case 6: return Number + L'-' + C;
    case 7: return Number + C + L'-';
    case 8: return L'-' + Number + L' ' + C;
    case 9: return L'-' + C + L' ' + Number;
    case 10: return Number + L' ' + C + L'-';
    case 11: return C + L' ' + Number + L'-';
    case 12: return C + L' ' + L'-' + Number;
    case 13: return Number + L'-' + L' ' + C;
    case 14: return L'(' + C + L' ' + Number + L')';
    case 15: return L'(' + Number + L' ' + C + L')';
    default: return L'(' + C + Number + L')';
  }
}

// The body of FloatToStrF and CurrToStrF once the value is in decimal digits.
String DecimalToText(TDecimal D, TFloatFormat Format, int Precision, int Digits, const TFormatSettings& FS,
                     bool IsCurrency) {
  if (D.Nan || D.Inf) return SpecialText(D);
  Precision = std::clamp(Precision, 2, 18);
  if (IsCurrency && Format != ffExponent) Precision = 19;
  switch (Format) {
    case ffExponent: {
      Digits = std::clamp(Digits, 0, 4);
      RoundDigits(D, Precision);
      String S = ExponentForm(D, Precision, Digits, FS.DecimalSeparator, true, false);
      return (D.Negative && !D.Digits.empty() ? L"-" : L"") + S;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      Digits = std::clamp(Digits, 0, 18);
      if (D.Exp > Precision) return DecimalToText(D, ffGeneral, Precision, 0, FS, IsCurrency);
      RoundDigits(D, std::min(Precision, D.Exp + Digits));
      String Int = IntegerDigits(D);
      if (Format != ffFixed) Int = AddThousands(Int, FS.ThousandSeparator);
      String Num = Int;
      if (Digits > 0) Num += FS.DecimalSeparator + FractionDigits(D, Digits);
      bool Neg = D.Negative && !D.Digits.empty();  // no sign on a value that rounded to zero
      if (Format == ffCurrency) return CurrencyForm(Num, Neg, FS);
      return (Neg ? L"-" : L"") + Num;
    }
    default: {  // ffGeneral
      Digits = std::clamp(Digits, 0, 4);
      RoundDigits(D, IsCurrency ? 19 : Precision);
      if (D.Digits.empty()) return L"0";
      String S;
      if (D.Exp > Precision || D.Exp < -3) {
        S = ExponentForm(D, int(D.Digits.size()), Digits, FS.DecimalSeparator, false, true);
      } else {
        S = IntegerDigits(D);
        int FracCount = int(D.Digits.size()) - D.Exp;
        if (FracCount > 0) S += FS.DecimalSeparator + FractionDigits(D, FracCount);
      }
      return (D.Negative ? L"-" : L"") + S;
    }
  }
}

// ---- FormatFloat ------------------------------------------------------------------------------

// The sections of a picture format: positive;negative;zero. Quotes protect ';'.
std::vector<String> SplitSections(const String& Fmt) {
  std::vector<String> R(1);
  Char Quote = 0;
  for (Char C : Fmt) {
    if (Quote) {
      if (C == Quote) Quote = 0;
    } else if (C == L'"' || C == L'\'') {
      Quote = C;
    } else if (C == L';') {
      R.emplace_back();
      continue;
    }
    R.back() += C;
  }
  return R;
}

struct TPicture {
  int IntPlaces = 0;      // digit placeholders before the decimal point
  int MinInt = 0;         // of which from the first '0' on
  int FracPlaces = 0;     // digit placeholders after the point
  int MinFrac = 0;        // up to and including the last '0' after the point
  bool Thousands = false;
  bool Scientific = false;
};

TPicture ScanPicture(const String& S) {
  TPicture P;
  bool AfterPoint = false, SeenZero = false;
  Char Quote = 0;
  for (size_t I = 0; I < S.size(); ++I) {
    Char C = S[I];
    if (Quote) {
      if (C == Quote) Quote = 0;
      continue;
    }
    if (C == L'"' || C == L'\'') {
      Quote = C;
    } else if ((C == L'E' || C == L'e') && I + 1 < S.size() && (S[I + 1] == L'+' || S[I + 1] == L'-')) {
      P.Scientific = true;
      break;  // the exponent's zeros are not mantissa placeholders
    } else if (C == L'.') {
      AfterPoint = true;
    } else if (C == L',') {
      if (!AfterPoint) P.Thousands = true;
    } else if (C == L'0' || C == L'#') {
      if (AfterPoint) {
        P.FracPlaces++;
        if (C == L'0') P.MinFrac = P.FracPlaces;
      } else {
        P.IntPlaces++;
        if (C == L'0' && !SeenZero) {
          SeenZero = true;
          P.MinInt = 0;
        }
        if (SeenZero) P.MinInt++;
      }
    }
  }
  return P;
}

// Writes one section for the magnitude in D (the caller adds the sign) with at most Precision
// significant digits.
String ApplyPicture(const String& S, TDecimal D, int Precision, const TFormatSettings& FS, bool& IsZero) {
  TPicture P = ScanPicture(S);
  String IntText, FracText;
  Integer ExpValue = 0;
  if (P.Scientific) {
    int Sig = std::max(P.IntPlaces + P.FracPlaces, 1);
    RoundDigits(D, std::min(Sig, Precision));
    ExpValue = D.Digits.empty() ? 0 : D.Exp - std::max(P.IntPlaces, 1);
    for (int I = 0; I < std::max(P.IntPlaces, 1); ++I) IntText += DigitAt(D, I);
    for (int I = 0; I < P.FracPlaces; ++I) FracText += DigitAt(D, std::max(P.IntPlaces, 1) + I);
    size_t B = 0;  // the leading zeros a '#' need not show
    while (B < IntText.size() && Length(IntText) - int(B) > std::max(P.MinInt, 1) && IntText[B] == L'0') ++B;
    IntText.erase(0, B);
  } else {
    RoundDigits(D, std::min(Precision, D.Exp + P.FracPlaces));
    IntText = D.Exp > 0 ? IntegerDigits(D) : String();
    FracText = FractionDigits(D, P.FracPlaces);
    if (Length(IntText) < P.MinInt) IntText.insert(0, size_t(P.MinInt - Length(IntText)), L'0');
    if (P.Thousands) IntText = AddThousands(IntText, FS.ThousandSeparator);
  }
  IsZero = D.Digits.empty();
  while (Length(FracText) > P.MinFrac && FracText.back() == L'0') FracText.pop_back();

  String R;
  int IntSeen = 0, FracSeen = 0;
  bool AfterPoint = false;
  // The integer digits fill the placeholders from the right; extra ones go to the first.
  int Extra = Length(IntText) - P.IntPlaces;
  size_t IntPos = 0;
  auto TakeInt = [&](int N) {
    N = std::clamp(N, 0, Length(IntText) - int(IntPos));
    R.append(IntText, IntPos, size_t(N));
    IntPos += size_t(N);
  };
  for (size_t I = 0; I < S.size(); ++I) {
    Char C = S[I];
    if (C == L'"' || C == L'\'') {
      size_t J = S.find(C, I + 1);
      if (J == String::npos) J = S.size();
      R.append(S, I + 1, J - I - 1);
      I = J;
    } else if ((C == L'E' || C == L'e') && P.Scientific && I + 1 < S.size() && (S[I + 1] == L'+' || S[I + 1] == L'-')) {
      bool AlwaysSign = S[I + 1] == L'+';
      size_t J = I + 2;
      int Zeros = 0;
      while (J < S.size() && S[J] == L'0') ++J, ++Zeros;
      R += C;
      R += ExponentText(ExpValue, AlwaysSign, std::min(Zeros, 4));
      I = J - 1;
      AfterPoint = true;
    } else if (C == L'0' || C == L'#') {
      if (!AfterPoint) {
        if (IntSeen == 0 && Extra > 0) TakeInt(Extra);
        ++IntSeen;
        // This placeholder's digit exists when the text is at least as long as the places left.
        if (Length(IntText) - int(IntPos) >= P.IntPlaces - IntSeen + 1) {
          if (P.Thousands) {
            TakeInt(Length(IntText));
          } else {
            TakeInt(1);
          }
        }
      } else if (FracSeen < Length(FracText)) {
        R += FracText[size_t(FracSeen++)];
      }
    } else if (C == L'.') {
      if (!AfterPoint) {
        if (IntSeen == 0 && Extra > 0) TakeInt(Extra);
        AfterPoint = true;
        if (!FracText.empty()) R += FS.DecimalSeparator;
      }
    } else if (C == L',') {
      // the thousands flag; the separators come with the digits
    } else {
      R += C;
    }
  }
  if (!AfterPoint && IntPos < IntText.size()) TakeInt(Length(IntText));
  return R;
}

String FormatDecimal(const String& Format, const TDecimal& Value, const TFormatSettings& FS, bool IsCurrency) {
  if (Value.Nan || Value.Inf) return SpecialText(Value);
  if (Format.empty()) return DecimalToText(Value, ffGeneral, IsCurrency ? 19 : FloatPrecision, 0, FS, IsCurrency);
  std::vector<String> Sections = SplitSections(Format);
  TDecimal Abs = Value;
  Abs.Negative = false;
  bool Zero = Value.Digits.empty();
  size_t Section = 0;
  if (Zero && Sections.size() >= 3 && !Sections[2].empty()) Section = 2;
  else if (Value.Negative && Sections.size() >= 2 && !Sections[1].empty()) Section = 1;
  bool RoundedToZero = false;
  String R = ApplyPicture(Sections[Section], Abs, IsCurrency ? 19 : FloatPrecision, FS, RoundedToZero);
  if (Section == 0 && Value.Negative && !RoundedToZero) R.insert(0, 1, L'-');
  return R;
}

// ---- Parsing ----------------------------------------------------------------------------------

// A float in the settings' notation: blanks, sign, digits with the decimal separator, an
// optional exponent, blanks. Nothing else is accepted.
bool ParseFloat(const String& S, Extended& Value, Char DecSep) {
  size_t I = 0, N = S.size();
  while (I < N && S[I] <= L' ') ++I;
  std::string A;
  if (I < N && (S[I] == L'+' || S[I] == L'-')) A += char(S[I++]);
  bool Digits = false;
  while (I < N && S[I] >= L'0' && S[I] <= L'9') A += char(S[I++]), Digits = true;
  if (I < N && S[I] == DecSep) {
    A += '.';
    ++I;
    while (I < N && S[I] >= L'0' && S[I] <= L'9') A += char(S[I++]), Digits = true;
  }
  if (!Digits) return false;
  if (I < N && (S[I] == L'E' || S[I] == L'e')) {
    A += 'e';
    ++I;
    if (I < N && (S[I] == L'+' || S[I] == L'-')) A += char(S[I++]);
    bool ExpDigits = false;
    while (I < N && S[I] >= L'0' && S[I] <= L'9') A += char(S[I++]), ExpDigits = true;
    if (!ExpDigits) return false;
  }
  while (I < N && S[I] <= L' ') ++I;
  if (I != N) return false;
  Extended V = __mingw_strtold(A.c_str(), nullptr);
  if (std::isinf(V) || std::isnan(V)) return false;
  Value = V;
  return true;
}

// Integers as the framework's Val reads them: blanks, sign, decimal or "$"/"0x"/"x" hex.
bool ParseInt(const String& S, Int64 Min, Int64 Max, UInt64 HexMax, Int64& Value) {
  size_t I = 0, N = S.size();
  while (I < N && S[I] == L' ') ++I;
  bool Neg = false;
  if (I < N && (S[I] == L'+' || S[I] == L'-')) Neg = S[I++] == L'-';
  bool Hex = false;
  if (I < N && S[I] == L'$') {
    Hex = true;
    ++I;
  } else if (I + 1 < N && S[I] == L'0' && (S[I + 1] == L'x' || S[I + 1] == L'X')) {
    Hex = true;
    I += 2;
  } else if (I < N && (S[I] == L'x' || S[I] == L'X')) {
    Hex = true;
    ++I;
  }
  if (I >= N) return false;
  UInt64 U = 0;
  UInt64 Limit = Hex ? HexMax : (Neg ? UInt64(0) - UInt64(Min) : UInt64(Max));
  for (; I < N; ++I) {
    Char C = S[I];
    int D = (C >= L'0' && C <= L'9') ? C - L'0'
            : (Hex && C >= L'A' && C <= L'F') ? C - L'A' + 10
            : (Hex && C >= L'a' && C <= L'f') ? C - L'a' + 10
                                               : -1;
    if (D < 0) return false;
    UInt64 Base = Hex ? 16 : 10;
    if (U > (Limit - UInt64(D)) / Base) return false;
    U = U * Base + UInt64(D);
  }
  Int64 V;
  if (Hex && HexMax != UInt64(Max)) {
    // Hex covers the unsigned range of the type and wraps to negative, as in "$FFFFFFFF" = -1.
    V = HexMax == 0xFFFFFFFFull ? Int64(Integer(Cardinal(U))) : Int64(U);
  } else {
    V = Int64(U);
  }
  Value = Neg ? Int64(UInt64(0) - UInt64(V)) : V;
  return true;
}

[[noreturn]] void ConvertError(const wchar_t* Msg, const String& S) { throw EConvertError(Format(Msg, {S})); }

// ---- Format -----------------------------------------------------------------------------------

String ToHex(UInt64 V, int MinDigits) {
  wchar_t Buf[24];
  swprintf(Buf, 24, L"%llX", (unsigned long long)V);
  String R = Buf;
  if (Length(R) < MinDigits) R.insert(0, size_t(MinDigits - Length(R)), L'0');
  return R;
}

class TFormatter {
 public:
  TFormatter(const String& Fmt, TVarRecs Args, const TFormatSettings& FS) : FFmt(Fmt), FArgs(Args.begin(), Args.end()), FFS(FS) {}

  String Run() {
    String R;
    size_t I = 0, N = FFmt.size();
    while (I < N) {
      Char C = FFmt[I++];
      if (C != L'%') {
        R += C;
        continue;
      }
      if (I < N && FFmt[I] == L'%') {
        R += L'%';
        ++I;
        continue;
      }
      // %[index:][-][width][.prec]type
      bool Left = false;
      int Width = -1, Prec = -1;
      int Num = -1;
      if (!ReadNumber(I, Num)) Num = -1;
      if (I < N && FFmt[I] == L':') {
        if (Num < 0) Num = 0;
        FNext = size_t(Num);
        ++I;
        Num = -1;
      }
      if (Num < 0) {
        if (I < N && FFmt[I] == L'-') {
          Left = true;
          ++I;
        }
        ReadNumber(I, Num);
      }
      Width = Num;
      if (I < N && FFmt[I] == L'.') {
        ++I;
        if (!ReadNumber(I, Prec)) InvalidFormat();
      }
      if (I >= N) InvalidFormat();
      Char Type = Char(UpCase(FFmt[I++]));
      String Text = Convert(Type, Prec);
      if (Width > Length(Text)) {
        if (Left) Text.append(size_t(Width - Length(Text)), L' ');
        else Text.insert(0, size_t(Width - Length(Text)), L' ');
      }
      R += Text;
    }
    return R;
  }

 private:
  const String& FFmt;
  std::vector<TVarRec> FArgs;
  const TFormatSettings& FFS;
  size_t FNext = 0;

  [[noreturn]] void InvalidFormat() const {
    throw EConvertError(L"Format '" + FFmt + L"' invalid or incompatible with argument");
  }

  const TVarRec& NextArg() {
    if (FNext >= FArgs.size()) throw EConvertError(L"No argument for format '" + FFmt + L"'");
    return FArgs[FNext++];
  }

  // Reads digits or '*' (the value taken from the next argument); false when neither is there.
  bool ReadNumber(size_t& I, int& Value) {
    if (I < FFmt.size() && FFmt[I] == L'*') {
      ++I;
      const TVarRec& A = NextArg();
      if (A.Kind != TVarRec::vtInteger) InvalidFormat();
      Value = int(A.VInt64);
      return true;
    }
    if (I >= FFmt.size() || FFmt[I] < L'0' || FFmt[I] > L'9') return false;
    Int64 V = 0;
    while (I < FFmt.size() && FFmt[I] >= L'0' && FFmt[I] <= L'9') {
      V = V * 10 + (FFmt[I++] - L'0');
      if (V > 0x7FFFFFFF) InvalidFormat();
    }
    Value = int(V);
    return true;
  }

  String VariantText(const TVarRec& A) {
    if (!FormatVariantArgHook) InvalidFormat();
    return FormatVariantArgHook(*A.VVariant);
  }

  Int64 IntArg(const TVarRec& A, bool& Is64) {
    Is64 = A.Kind == TVarRec::vtInt64;
    if (A.Kind == TVarRec::vtInteger || A.Kind == TVarRec::vtInt64) return A.VInt64;
    if (A.Kind == TVarRec::vtVariant) {
      Int64 V;
      if (!TryStrToInt64(VariantText(A), V)) InvalidFormat();
      Is64 = V < -2147483648LL || V > 2147483647LL;
      return V;
    }
    InvalidFormat();
  }

  TDecimal FloatArg(const TVarRec& A) {
    if (A.Kind == TVarRec::vtExtended) return ToDecimal(A.VExtended);
    if (A.Kind == TVarRec::vtCurrency) return CurrToDecimal(Currency::FromRaw(A.VCurrency));
    if (A.Kind == TVarRec::vtVariant) {
      Extended V;
      if (!TryStrToFloat(VariantText(A), V, FFS)) InvalidFormat();
      return ToDecimal(V);
    }
    InvalidFormat();
  }

  String Convert(Char Type, int Prec) {
    const TVarRec& A = NextArg();
    bool Is64 = false;
    switch (Type) {
      case L'D': {
        Int64 V = IntArg(A, Is64);
        String S = std::to_wstring(V < 0 ? UInt64(0) - UInt64(V) : UInt64(V));
        if (Prec > Length(S)) S.insert(0, size_t(Prec - Length(S)), L'0');
        return V < 0 ? L'-' + S : S;
      }
      case L'U': {
        Int64 V = IntArg(A, Is64);
        UInt64 U = Is64 ? UInt64(V) : UInt64(Cardinal(V));
        String S = std::to_wstring(U);
        if (Prec > Length(S)) S.insert(0, size_t(Prec - Length(S)), L'0');
        return S;
      }
      case L'X': {
        Int64 V = IntArg(A, Is64);
        return ToHex(Is64 ? UInt64(V) : UInt64(Cardinal(V)), Prec);
      }
      case L'E': {
        int P = Prec < 0 ? FloatPrecision : std::clamp(Prec, 1, 18);
        return DecimalToText(FloatArg(A), ffExponent, P, 3, FFS, false);
      }
      case L'F':
      case L'N':
      case L'M': {
        int Digits = Prec < 0 ? (Type == L'M' ? FFS.CurrencyDecimals : 2) : std::clamp(Prec, 0, 18);
        TFloatFormat F = Type == L'F' ? ffFixed : (Type == L'N' ? ffNumber : ffCurrency);
        bool Curr = A.Kind == TVarRec::vtCurrency;
        return DecimalToText(FloatArg(A), F, FloatPrecision, Digits, FFS, Curr);
      }
      case L'G': {
        int P = Prec < 0 ? FloatPrecision : std::clamp(Prec, 2, 18);
        return DecimalToText(FloatArg(A), ffGeneral, P, 0, FFS, false);
      }
      case L'P': {
        if (A.Kind != TVarRec::vtPointer && A.Kind != TVarRec::vtObject) InvalidFormat();
        return ToHex(UInt64(reinterpret_cast<NativeUInt>(A.VPointer)), int(sizeof(void*) * 2));
      }
      case L'S': {
        String S;
        if (A.Kind == TVarRec::vtString) S = A.VString;
        else if (A.Kind == TVarRec::vtChar) S = String(1, A.VChar);
        else if (A.Kind == TVarRec::vtVariant) S = VariantText(A);
        else InvalidFormat();
        if (Prec >= 0 && Prec < Length(S)) S.resize(size_t(Prec));
        return S;
      }
      default:
        InvalidFormat();
    }
  }
};

}  // namespace

// ---- Format -----------------------------------------------------------------------------------

String Format(const String& Fmt, TVarRecs Args) { return Format(Fmt, Args, FormatSettings); }

String Format(const String& Fmt, TVarRecs Args, const TFormatSettings& AFormatSettings) {
  return TFormatter(Fmt, Args, AFormatSettings).Run();
}

// ---- Floats and currency to text --------------------------------------------------------------

String FloatToStr(Extended Value) { return FloatToStr(Value, FormatSettings); }
String FloatToStr(Extended Value, const TFormatSettings& FS) { return FloatToStrF(Value, ffGeneral, FloatPrecision, 0, FS); }

String FloatToStrF(Extended Value, TFloatFormat Format, Integer Precision, Integer Digits) {
  return FloatToStrF(Value, Format, Precision, Digits, FormatSettings);
}
String FloatToStrF(Extended Value, TFloatFormat Format, Integer Precision, Integer Digits, const TFormatSettings& FS) {
  return DecimalToText(ToDecimal(Value), Format, Precision, Digits, FS, false);
}

String FormatFloat(const String& Format, Extended Value) { return FormatFloat(Format, Value, FormatSettings); }
String FormatFloat(const String& Format, Extended Value, const TFormatSettings& FS) {
  return FormatDecimal(Format, ToDecimal(Value), FS, false);
}

String FormatCurr(const String& Format, Currency Value) { return FormatCurr(Format, Value, FormatSettings); }
String FormatCurr(const String& Format, Currency Value, const TFormatSettings& FS) {
  return FormatDecimal(Format, CurrToDecimal(Value), FS, true);
}

String CurrToStr(Currency Value) { return CurrToStr(Value, FormatSettings); }
String CurrToStr(Currency Value, const TFormatSettings& FS) {
  return DecimalToText(CurrToDecimal(Value), ffGeneral, 19, 0, FS, true);
}

String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits) {
  return CurrToStrF(Value, Format, Digits, FormatSettings);
}
String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits, const TFormatSettings& FS) {
  return DecimalToText(CurrToDecimal(Value), Format, 19, Digits, FS, true);
}

// ---- Text to floats and currency --------------------------------------------------------------

Extended StrToFloat(const String& S) { return StrToFloat(S, FormatSettings); }
Extended StrToFloat(const String& S, const TFormatSettings& FS) {
  Extended V;
  if (!ParseFloat(S, V, FS.DecimalSeparator)) ConvertError(L"'%s' is not a valid floating point value", S);
  return V;
}

Extended StrToFloatDef(const String& S, Extended Default) { return StrToFloatDef(S, Default, FormatSettings); }
Extended StrToFloatDef(const String& S, Extended Default, const TFormatSettings& FS) {
  Extended V;
  return ParseFloat(S, V, FS.DecimalSeparator) ? V : Default;
}

bool TryStrToFloat(const String& S, Extended& Value) { return TryStrToFloat(S, Value, FormatSettings); }
bool TryStrToFloat(const String& S, Extended& Value, const TFormatSettings& FS) {
  return ParseFloat(S, Value, FS.DecimalSeparator);
}
bool TryStrToFloat(const String& S, Double& Value) { return TryStrToFloat(S, Value, FormatSettings); }
bool TryStrToFloat(const String& S, Double& Value, const TFormatSettings& FS) {
  Extended V;
  if (!ParseFloat(S, V, FS.DecimalSeparator) || std::fabs(V) > std::numeric_limits<Double>::max()) return false;
  Value = Double(V);
  return true;
}
bool TryStrToFloat(const String& S, Single& Value) { return TryStrToFloat(S, Value, FormatSettings); }
bool TryStrToFloat(const String& S, Single& Value, const TFormatSettings& FS) {
  Extended V;
  if (!ParseFloat(S, V, FS.DecimalSeparator) || std::fabs(V) > std::numeric_limits<Single>::max()) return false;
  Value = Single(V);
  return true;
}

Currency StrToCurr(const String& S) { return StrToCurr(S, FormatSettings); }
Currency StrToCurr(const String& S, const TFormatSettings& FS) {
  Currency C;
  if (!TryStrToCurr(S, C, FS)) ConvertError(L"'%s' is not a valid floating point value", S);
  return C;
}

Currency StrToCurrDef(const String& S, Currency Default) { return StrToCurrDef(S, Default, FormatSettings); }
Currency StrToCurrDef(const String& S, Currency Default, const TFormatSettings& FS) {
  Currency C;
  return TryStrToCurr(S, C, FS) ? C : Default;
}

bool TryStrToCurr(const String& S, Currency& Value) { return TryStrToCurr(S, Value, FormatSettings); }
bool TryStrToCurr(const String& S, Currency& Value, const TFormatSettings& FS) {
  Extended V;
  return ParseFloat(S, V, FS.DecimalSeparator) && TryFloatToCurr(V, Value);
}

bool TryFloatToCurr(Extended Value, Currency& AResult) {
  // The Currency range: ±922337203685477.5807.
  if (!(Value > -922337203685477.5808L && Value < 922337203685477.5807L)) return false;
  AResult = Currency(Value);
  return true;
}

Currency FloatToCurr(Extended Value) {
  Currency C;
  if (!TryFloatToCurr(Value, C))
    throw EConvertError(L"'" + FloatToStr(Value, TFormatSettings::Invariant()) + L"' is not a valid currency value");
  return C;
}

// ---- Integers ---------------------------------------------------------------------------------

String IntToStr(Integer Value) { return std::to_wstring(Value); }
String IntToStr(Int64 Value) { return std::to_wstring(Value); }
String UIntToStr(Cardinal Value) { return std::to_wstring(Value); }
String UIntToStr(UInt64 Value) { return std::to_wstring(Value); }

String IntToHex(Integer Value, Integer Digits) { return ToHex(Cardinal(Value), Digits); }
String IntToHex(Int64 Value, Integer Digits) { return ToHex(UInt64(Value), Digits); }
String IntToHex(UInt64 Value, Integer Digits) { return ToHex(Value, Digits); }

bool TryStrToInt(const String& S, Integer& Value) {
  Int64 V;
  if (!ParseInt(S, -2147483648LL, 2147483647LL, 0xFFFFFFFFull, V)) return false;
  Value = Integer(V);
  return true;
}

Integer StrToInt(const String& S) {
  Integer V;
  if (!TryStrToInt(S, V)) ConvertError(L"'%s' is not a valid integer value", S);
  return V;
}

Integer StrToIntDef(const String& S, Integer Default) {
  Integer V;
  return TryStrToInt(S, V) ? V : Default;
}

bool TryStrToInt64(const String& S, Int64& Value) {
  return ParseInt(S, std::numeric_limits<Int64>::min(), std::numeric_limits<Int64>::max(), ~UInt64(0), Value);
}

Int64 StrToInt64(const String& S) {
  Int64 V;
  if (!TryStrToInt64(S, V)) ConvertError(L"'%s' is not a valid integer value", S);
  return V;
}

Int64 StrToInt64Def(const String& S, Int64 Default) {
  Int64 V;
  return TryStrToInt64(S, V) ? V : Default;
}

// ---- Booleans ---------------------------------------------------------------------------------

String BoolToStr(bool B, bool UseBoolStrs) {
  if (UseBoolStrs) return B ? DefaultTrueBoolStr : DefaultFalseBoolStr;
  return B ? L"-1" : L"0";
}

bool TryStrToBool(const String& S, bool& Value) {
  if (AnsiSameText(S, DefaultTrueBoolStr)) {
    Value = true;
    return true;
  }
  if (AnsiSameText(S, DefaultFalseBoolStr)) {
    Value = false;
    return true;
  }
  Extended V;
  if (ParseFloat(S, V, FormatSettings.DecimalSeparator)) {
    Value = V != 0;
    return true;
  }
  return false;
}

bool StrToBool(const String& S) {
  bool B;
  if (!TryStrToBool(S, B)) ConvertError(L"'%s' is not a valid boolean value", S);
  return B;
}

bool StrToBoolDef(const String& S, bool Default) {
  bool B;
  return TryStrToBool(S, B) ? B : Default;
}
