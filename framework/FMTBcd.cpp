#include "framework/FMTBcd.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "framework/SysUtils.h"

const TBcd NullBcd{};

// ---- Exact decimal arithmetic -----------------------------------------------------------------
// A TBcd is worked on as sign, decimal digits (most significant first, no leading zeros, none
// for zero) and the count of them after the point.

namespace {

using TDigits = std::vector<Byte>;

struct TDec {
  bool Neg = false;
  TDigits D;
  int Scale = 0;
};

constexpr int MaxDigits = 64;
constexpr int MaxPlaces = 63;

[[noreturn]] void RaiseOverflow() { throw EBcdOverflowException(L"BCD overflow"); }

void TrimLeading(TDigits& D) {
  size_t I = 0;
  while (I < D.size() && D[I] == 0) ++I;
  D.erase(D.begin(), D.begin() + I);
}

int CmpMag(const TDigits& A, const TDigits& B) {
  if (A.size() != B.size()) return A.size() < B.size() ? -1 : 1;
  for (size_t I = 0; I < A.size(); ++I)
    if (A[I] != B[I]) return A[I] < B[I] ? -1 : 1;
  return 0;
}

TDigits AddMag(const TDigits& A, const TDigits& B) {
  TDigits R(std::max(A.size(), B.size()) + 1, 0);
  int Carry = 0;
  for (size_t I = 0; I < R.size(); ++I) {
    int S = Carry;
    if (I < A.size()) S += A[A.size() - 1 - I];
    if (I < B.size()) S += B[B.size() - 1 - I];
    R[R.size() - 1 - I] = Byte(S % 10);
    Carry = S / 10;
  }
  TrimLeading(R);
  return R;
}

// A - B for A >= B.
TDigits SubMag(const TDigits& A, const TDigits& B) {
  TDigits R(A.size(), 0);
  int Borrow = 0;
  for (size_t I = 0; I < A.size(); ++I) {
    int S = A[A.size() - 1 - I] - Borrow - (I < B.size() ? B[B.size() - 1 - I] : 0);
    Borrow = S < 0;
    R[R.size() - 1 - I] = Byte(S + (Borrow ? 10 : 0));
  }
  TrimLeading(R);
  return R;
}

TDigits MulMag(const TDigits& A, const TDigits& B) {
  if (A.empty() || B.empty()) return {};
  std::vector<int> Acc(A.size() + B.size(), 0);
  for (size_t I = 0; I < A.size(); ++I)
    for (size_t J = 0; J < B.size(); ++J) Acc[I + J + 1] += A[I] * B[J];
  for (size_t K = Acc.size() - 1; K > 0; --K) {
    Acc[K - 1] += Acc[K] / 10;
    Acc[K] %= 10;
  }
  TDigits R(Acc.begin(), Acc.end());
  TrimLeading(R);
  return R;
}

// Long division: Q = A / B, Rem = A mod B.
void DivMag(const TDigits& A, const TDigits& B, TDigits& Q, TDigits& Rem) {
  Q.assign(A.size(), 0);
  Rem.clear();
  for (size_t I = 0; I < A.size(); ++I) {
    Rem.push_back(A[I]);
    TrimLeading(Rem);
    Byte Count = 0;
    while (CmpMag(Rem, B) >= 0) {
      Rem = SubMag(Rem, B);
      ++Count;
    }
    Q[I] = Count;
  }
  TrimLeading(Q);
}

TDigits Shifted(TDigits D, int Zeros) {
  if (!D.empty()) D.insert(D.end(), size_t(Zeros), 0);
  return D;
}

// Drops digits below NewScale, halves to even.
void RoundTo(TDec& X, int NewScale) {
  if (X.Scale <= NewScale) return;
  size_t Drop = size_t(X.Scale - NewScale);
  X.Scale = NewScale;
  if (Drop > X.D.size()) {
    X.D.clear();
  } else {
    size_t Keep = X.D.size() - Drop;
    int First = X.D[Keep];
    bool Rest = false;
    for (size_t I = Keep + 1; I < X.D.size(); ++I) Rest = Rest || X.D[I] != 0;
    bool LastOdd = Keep > 0 && (X.D[Keep - 1] & 1);
    X.D.resize(Keep);
    if (First > 5 || (First == 5 && (Rest || LastOdd))) X.D = AddMag(X.D, TDigits{1});
  }
  TrimLeading(X.D);
  if (X.D.empty()) X.Neg = false;
}

void StripTrailingZeros(TDec& X) {
  while (X.Scale > 0 && !X.D.empty() && X.D.back() == 0) {
    X.D.pop_back();
    --X.Scale;
  }
  if (X.D.empty()) X.Scale = 0;
}

int IntDigits(const TDec& X) { return std::max(0, int(X.D.size()) - X.Scale); }

TDec FromBcd(const TBcd& B) {
  TDec X;
  int Prec = std::min<int>(B.Precision, MaxDigits);
  for (int I = 0; I < Prec; ++I) {
    Byte Pair = B.Fraction[I / 2];
    X.D.push_back(Byte(I % 2 == 0 ? Pair >> 4 : Pair & 0x0F));
  }
  for (auto& Digit : X.D)
    if (Digit > 9) throw EBcdException(L"Invalid BCD value");
  X.Scale = B.SignSpecialPlaces & 0x3F;
  X.Neg = (B.SignSpecialPlaces & 0x80) != 0;
  TrimLeading(X.D);
  if (X.D.empty()) X.Neg = false;
  return X;
}

// Fits the value into 64 digits, rounding away fraction digits when needed.
TBcd ToBcd(TDec X) {
  if (X.Scale > MaxPlaces) RoundTo(X, MaxPlaces);
  for (;;) {
    if (IntDigits(X) > MaxDigits) RaiseOverflow();
    int Total = std::max<int>(int(X.D.size()), X.Scale);
    if (Total <= MaxDigits) break;
    RoundTo(X, MaxDigits - IntDigits(X));
  }
  TBcd B;
  int Total = std::max<int>({int(X.D.size()), X.Scale, 1});
  TDigits D(size_t(Total) - X.D.size(), 0);
  D.insert(D.end(), X.D.begin(), X.D.end());
  B.Precision = Byte(Total);
  B.SignSpecialPlaces = Byte(X.Scale) | (X.Neg && !X.D.empty() ? 0x80 : 0);
  for (int I = 0; I < Total; ++I) B.Fraction[I / 2] |= Byte(I % 2 == 0 ? D[I] << 4 : D[I]);
  return B;
}

void Align(TDec& A, TDec& B) {
  if (A.Scale < B.Scale) {
    A.D = Shifted(A.D, B.Scale - A.Scale);
    A.Scale = B.Scale;
  } else if (B.Scale < A.Scale) {
    B.D = Shifted(B.D, A.Scale - B.Scale);
    B.Scale = A.Scale;
  }
}

TDec Add(TDec A, TDec B) {
  Align(A, B);
  TDec R;
  R.Scale = A.Scale;
  if (A.Neg == B.Neg) {
    R.D = AddMag(A.D, B.D);
    R.Neg = A.Neg;
  } else if (CmpMag(A.D, B.D) >= 0) {
    R.D = SubMag(A.D, B.D);
    R.Neg = A.Neg;
  } else {
    R.D = SubMag(B.D, A.D);
    R.Neg = B.Neg;
  }
  if (R.D.empty()) R.Neg = false;
  return R;
}

int Compare(TDec A, TDec B) {
  if (A.Neg != B.Neg) return A.Neg ? -1 : 1;
  Align(A, B);
  int C = CmpMag(A.D, B.D);
  return A.Neg ? -C : C;
}

TDec Divide(const TDec& A, const TDec& B) {
  if (B.D.empty()) throw EZeroDivide(L"Floating point division by zero");
  TDec R;
  if (A.D.empty()) return R;
  // The quotient has IntEstimate or one fewer integer digits; the fraction takes the rest.
  int IntEstimate = (int(A.D.size()) - A.Scale) - (int(B.D.size()) - B.Scale) + 1;
  int Scale = std::clamp(MaxDigits - std::max(IntEstimate, 1), 0, MaxPlaces);
  TDigits Rem;
  for (;;) {
    // One digit more than kept, plus a sticky digit for a non-zero remainder, decide the rounding.
    int K = Scale + 1 + B.Scale - A.Scale;
    TDigits Num = A.D, Den = B.D;
    if (K >= 0) Num = Shifted(Num, K);
    else Den = Shifted(Den, -K);
    DivMag(Num, Den, R.D, Rem);
    R.Scale = Scale + 1;
    if (Scale >= MaxPlaces || std::max(IntDigits(R), 1) + Scale >= MaxDigits) break;
    ++Scale;
  }
  if (!Rem.empty()) {
    R.D = Shifted(R.D.empty() ? TDigits{0} : R.D, 1);
    R.D.back() = 1;
    TrimLeading(R.D);
    ++R.Scale;
  }
  R.Neg = A.Neg != B.Neg;
  RoundTo(R, Scale);
  StripTrailingZeros(R);
  if (R.D.empty()) R.Neg = false;
  return R;
}

bool ParseDec(const String& S0, Char DecimalSeparator, TDec& X) {
  String S = Trim(S0);
  size_t I = 0, N = S.size();
  X = TDec();
  if (I < N && (S[I] == L'+' || S[I] == L'-')) X.Neg = S[I++] == L'-';
  bool AnyDigit = false, Point = false;
  int Fraction = 0;
  for (; I < N; ++I) {
    Char C = S[I];
    if (C >= L'0' && C <= L'9') {
      X.D.push_back(Byte(C - L'0'));
      AnyDigit = true;
      if (Point) ++Fraction;
    } else if (C == DecimalSeparator && !Point) {
      Point = true;
    } else {
      break;
    }
  }
  if (!AnyDigit) return false;
  long Exponent = 0;
  if (I < N && (S[I] == L'e' || S[I] == L'E')) {
    ++I;
    bool ENeg = false;
    if (I < N && (S[I] == L'+' || S[I] == L'-')) ENeg = S[I++] == L'-';
    if (I >= N) return false;
    for (; I < N && S[I] >= L'0' && S[I] <= L'9'; ++I) {
      Exponent = Exponent * 10 + (S[I] - L'0');
      if (Exponent > 10000) return false;
    }
    if (ENeg) Exponent = -Exponent;
  }
  if (I != N) return false;
  long Scale = Fraction - Exponent;
  if (Scale < 0) {
    X.D = Shifted(X.D, int(-Scale));
    Scale = 0;
  }
  X.Scale = int(Scale);
  TrimLeading(X.D);
  if (X.D.empty()) {
    X.Neg = false;
    X.Scale = std::min(X.Scale, MaxPlaces);
  }
  if (X.Scale > MaxPlaces) RoundTo(X, MaxPlaces);
  return true;
}

// Digits as text: "-123.45"; the fraction shows exactly X.Scale digits.
String DecToText(const TDec& X, Char DecimalSeparator, Char ThousandSeparator = 0) {
  String Digits;
  for (Byte D : X.D) Digits += wchar_t(L'0' + D);
  if (int(Digits.size()) <= X.Scale) Digits.insert(0, size_t(X.Scale) - Digits.size() + 1, L'0');
  String Int = Digits.substr(0, Digits.size() - size_t(X.Scale));
  String Frac = Digits.substr(Digits.size() - size_t(X.Scale));
  if (ThousandSeparator)
    for (int P = int(Int.size()) - 3; P > 0; P -= 3) Int.insert(size_t(P), 1, ThousandSeparator);
  String R = X.Neg && !X.D.empty() ? L"-" + Int : Int;
  if (!Frac.empty()) R += DecimalSeparator + Frac;
  return R;
}

TDec FromUnsigned(UInt64 V, bool Neg) {
  TDec X;
  while (V) {
    X.D.insert(X.D.begin(), Byte(V % 10));
    V /= 10;
  }
  X.Neg = Neg && !X.D.empty();
  return X;
}

// The integer part (rounded unless Truncate) as a wide integer; raises beyond 64 bits.
__int128 ToInt(TDec X, bool Truncate) {
  if (Truncate) {
    size_t Keep = X.D.size() > size_t(X.Scale) ? X.D.size() - size_t(X.Scale) : 0;
    X.D.resize(Keep);
    X.Scale = 0;
  } else {
    RoundTo(X, 0);
  }
  if (X.D.size() > 20) RaiseOverflow();
  __int128 V = 0;
  for (Byte D : X.D) V = V * 10 + D;
  return X.Neg ? -V : V;
}

}  // namespace

// ---- Text -------------------------------------------------------------------------------------

bool TryStrToBcd(const String& AValue, TBcd& Bcd, const TFormatSettings& AFormatSettings) {
  TDec X;
  if (!ParseDec(AValue, AFormatSettings.DecimalSeparator, X)) return false;
  try {
    Bcd = ToBcd(X);
  } catch (const EBcdException&) {
    return false;
  }
  return true;
}

bool TryStrToBcd(const String& AValue, TBcd& Bcd) { return TryStrToBcd(AValue, Bcd, FormatSettings); }

TBcd StrToBcd(const String& AValue, const TFormatSettings& AFormatSettings) {
  TDec X;
  if (!ParseDec(AValue, AFormatSettings.DecimalSeparator, X))
    throw EBcdException(L"'" + AValue + L"' is not a valid BCD value");
  return ToBcd(X);
}

TBcd StrToBcd(const String& AValue) { return StrToBcd(AValue, FormatSettings); }

String BcdToStr(const TBcd& Bcd, const TFormatSettings& AFormatSettings) {
  TDec X = FromBcd(Bcd);
  StripTrailingZeros(X);
  return DecToText(X, AFormatSettings.DecimalSeparator);
}

String BcdToStr(const TBcd& Bcd) { return BcdToStr(Bcd, FormatSettings); }

namespace {
String CurrencyPattern(const String& Number, bool Neg, const TFormatSettings& FS) {
  const String& C = FS.CurrencyString;
  if (!Neg) {
    switch (FS.CurrencyFormat) {
      case 0: return C + Number;
      case 1: return Number + C;
      case 2: return C + L" " + Number;
      default: return Number + L" " + C;
    }
  }
  switch (FS.NegCurrFormat) {
    case 0: return L"(" + C + Number + L")";
    case 1: return L"-" + C + Number;
    case 2: return C + L"-" + Number;
    case 3: return C + Number + L"-";
    case 4: return L"(" + Number + C + L")";
    case 5: return L"-" + Number + C;
    case 6: return Number + L"-" + C;
    case 7: return Number + C + L"-";
    case 8: return L"-" + Number + L" " + C;
    case 9: return L"-" + C + L" " + Number;
    case 10: return Number + L" " + C + L"-";
    case 11: return C + L" " + Number + L"-";
    case 12: return C + L" -" + Number;
    case 13: return Number + L"- " + C;
    case 14: return L"(" + C + L" " + Number + L")";
    default: return L"(" + Number + L" " + C + L")";
  }
}
}  // namespace

String BcdToStrF(const TBcd& Bcd, TFloatFormat Format, Integer Precision, Integer Digits,
                 const TFormatSettings& AFormatSettings) {
  TDec X = FromBcd(Bcd);
  Digits = std::clamp(Digits, 0, MaxPlaces);
  switch (Format) {
    case ffGeneral: {
      Precision = std::clamp(Precision, 1, MaxDigits);
      if (IntDigits(X) > Precision)
        return FloatToStrF(BcdToDouble(Bcd), ffGeneral, Precision, Digits, AFormatSettings);
      if (int(X.D.size()) > Precision) RoundTo(X, X.Scale - (int(X.D.size()) - Precision));
      StripTrailingZeros(X);
      return DecToText(X, AFormatSettings.DecimalSeparator);
    }
    case ffFixed: case ffNumber: case ffCurrency: {
      RoundTo(X, Digits);
      if (X.Scale < Digits) {
        X.D = Shifted(X.D, Digits - X.Scale);
        X.Scale = Digits;
      }
      Char Thousands = Format == ffFixed ? Char(0) : AFormatSettings.ThousandSeparator;
      if (Format != ffCurrency) return DecToText(X, AFormatSettings.DecimalSeparator, Thousands);
      bool Neg = X.Neg;
      X.Neg = false;
      return CurrencyPattern(DecToText(X, AFormatSettings.DecimalSeparator, Thousands), Neg, AFormatSettings);
    }
    default: return FloatToStrF(BcdToDouble(Bcd), Format, Precision, Digits, AFormatSettings);
  }
}

String BcdToStrF(const TBcd& Bcd, TFloatFormat Format, Integer Precision, Integer Digits) {
  return BcdToStrF(Bcd, Format, Precision, Digits, FormatSettings);
}

String FormatBcd(const String& Format, const TBcd& Bcd) {
  TDec X = FromBcd(Bcd);
  StripTrailingZeros(X);
  Currency C;
  if (X.Scale <= 4 && BCDToCurr(Bcd, C)) return FormatCurr(Format, C);
  return FormatFloat(Format, BcdToDouble(Bcd));
}

// ---- Arithmetic -------------------------------------------------------------------------------

void BcdAdd(const TBcd& bcdIn1, const TBcd& bcdIn2, TBcd& bcdOut) { bcdOut = ToBcd(Add(FromBcd(bcdIn1), FromBcd(bcdIn2))); }

void BcdSubtract(const TBcd& bcdIn1, const TBcd& bcdIn2, TBcd& bcdOut) {
  TDec B = FromBcd(bcdIn2);
  B.Neg = !B.Neg && !B.D.empty();
  bcdOut = ToBcd(Add(FromBcd(bcdIn1), B));
}

void BcdMultiply(const TBcd& bcdIn1, const TBcd& bcdIn2, TBcd& bcdOut) {
  TDec A = FromBcd(bcdIn1), B = FromBcd(bcdIn2), R;
  R.D = MulMag(A.D, B.D);
  R.Scale = A.Scale + B.Scale;
  R.Neg = A.Neg != B.Neg && !R.D.empty();
  bcdOut = ToBcd(R);
}

void BcdDivide(const TBcd& Dividend, const TBcd& Divisor, TBcd& bcdOut) {
  bcdOut = ToBcd(Divide(FromBcd(Dividend), FromBcd(Divisor)));
}

void BcdDivide(const TBcd& Dividend, Integer Divisor, TBcd& bcdOut) { BcdDivide(Dividend, IntegerToBcd(Divisor), bcdOut); }

Integer BcdCompare(const TBcd& bcd1, const TBcd& bcd2) { return Compare(FromBcd(bcd1), FromBcd(bcd2)); }
bool IsBcdNegative(const TBcd& Bcd) { return FromBcd(Bcd).Neg; }
bool IsBcdZero(const TBcd& Bcd) { return FromBcd(Bcd).D.empty(); }

// ---- Numbers ----------------------------------------------------------------------------------

TBcd DoubleToBcd(Double Value) {
  if (!std::isfinite(Value)) throw EBcdException(L"Invalid BCD value");
  char Buf[64];
  std::snprintf(Buf, sizeof Buf, "%.15g", Value);
  TDec X;
  if (!ParseDec(String(Buf, Buf + std::strlen(Buf)), L'.', X)) throw EBcdException(L"Invalid BCD value");
  return ToBcd(X);
}

void DoubleToBcd(Double Value, TBcd& bcd) { bcd = DoubleToBcd(Value); }

Double BcdToDouble(const TBcd& Bcd) {
  TDec X = FromBcd(Bcd);
  std::string S = X.Neg ? "-" : "";
  for (Byte D : X.D) S += char('0' + D);
  if (X.D.empty()) return 0;
  S += "e-" + std::to_string(X.Scale);
  return std::strtod(S.c_str(), nullptr);
}

bool CurrToBCD(Currency Curr, TBcd& BCD, Integer Precision, Integer Decimals) {
  Int64 Raw = Curr.Raw();
  TDec X = FromUnsigned(Raw < 0 ? UInt64(0) - UInt64(Raw) : UInt64(Raw), Raw < 0);
  X.Scale = 4;
  Decimals = std::clamp(Decimals, 0, MaxPlaces);
  if (Decimals < 4) RoundTo(X, Decimals);
  else {
    X.D = Shifted(X.D, Decimals - 4);
    X.Scale = Decimals;
  }
  if (Precision > MaxDigits || IntDigits(X) > Precision - Decimals) return false;
  BCD = ToBcd(X);
  return true;
}

bool BCDToCurr(const TBcd& BCD, Currency& Curr) {
  TDec X = FromBcd(BCD);
  RoundTo(X, 4);
  X.D = Shifted(X.D, 4 - X.Scale);
  if (X.D.size() > 19) return false;
  __int128 V = 0;
  for (Byte D : X.D) V = V * 10 + D;
  if (X.Neg) V = -V;
  if (V > INT64_MAX || V < INT64_MIN) return false;
  Curr = Currency::FromRaw(Int64(V));
  return true;
}

TBcd Int64ToBcd(Int64 Value) {
  return ToBcd(FromUnsigned(Value < 0 ? UInt64(0) - UInt64(Value) : UInt64(Value), Value < 0));
}

TBcd IntegerToBcd(Integer Value) { return Int64ToBcd(Value); }

Int64 BcdToInt64(const TBcd& Bcd, bool Truncate) {
  __int128 V = ToInt(FromBcd(Bcd), Truncate);
  if (V > INT64_MAX || V < INT64_MIN) RaiseOverflow();
  return Int64(V);
}

Integer BcdToInteger(const TBcd& Bcd, bool Truncate) {
  Int64 V = BcdToInt64(Bcd, Truncate);
  if (V > INT32_MAX || V < INT32_MIN) RaiseOverflow();
  return Integer(V);
}

bool NormalizeBcd(const TBcd& InBcd, TBcd& OutBcd, Word Prec, Word Scale) {
  if (Prec < 1 || Prec > MaxDigits || Scale > Prec || Scale > MaxPlaces) return false;
  TDec X = FromBcd(InBcd);
  if (X.Scale > Scale) RoundTo(X, Scale);
  X.D = Shifted(X.D, Scale - X.Scale);
  X.Scale = Scale;
  if (IntDigits(X) > Prec - Scale) return false;
  TBcd B;
  TDigits D(size_t(Prec) - X.D.size(), 0);
  D.insert(D.end(), X.D.begin(), X.D.end());
  B.Precision = Byte(Prec);
  B.SignSpecialPlaces = Byte(Scale) | (X.Neg ? 0x80 : 0);
  for (int I = 0; I < Prec; ++I) B.Fraction[I / 2] |= Byte(I % 2 == 0 ? D[I] << 4 : D[I]);
  OutBcd = B;
  return true;
}

Word BcdPrecision(const TBcd& Bcd) { return Word(IntDigits(FromBcd(Bcd))); }
Word BcdScale(const TBcd& Bcd) { return Word(Bcd.SignSpecialPlaces & 0x3F); }

// ---- The variant kind -------------------------------------------------------------------------

namespace {

struct TBcdPayload : Variant::TPayload {
  explicit TBcdPayload(const TBcd& B) : Bcd(B) {}
  TBcd Bcd;
};

const TBcd& PayloadBcd(const Variant& V) { return static_cast<const TBcdPayload*>(V.CustomData())->Bcd; }

class TFMTBcdVariantType : public TCustomVariantType {
  DECLARE_CLASS(TFMTBcdVariantType, TCustomVariantType)
 public:
  TFMTBcdVariantType() : TCustomVariantType(L"FMTBcdVariantType") {}

  Variant Make(const TBcd& B) const { return Variant::FromCustom(VarType(), std::make_shared<TBcdPayload>(B)); }

  void Cast(Variant& Dest, const Variant& Source) const override {
    TVarType T = Source.Type();
    switch (T) {
      case varEmpty: Dest = Make(NullBcd); return;
      case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varLongWord:
      case varInt64: case varBoolean:
        Dest = Make(Int64ToBcd(Source.AsInt64()));
        return;
      case varUInt64: Dest = Make(ToBcd(FromUnsigned(Source.AsUInt64(), false))); return;
      case varSingle: case varDouble: case varDate:
        try {
          Dest = Make(DoubleToBcd(Source.AsDouble()));
        } catch (const EBcdException&) {
          RaiseCastError(T, VarType());
        }
        return;
      case varCurrency: {
        TBcd B;
        CurrToBCD(Source.AsCurrency(), B);
        Dest = Make(B);
        return;
      }
      case varOleStr: case varString: case varUString: {
        TBcd B;
        if (!TryStrToBcd(Source.AsString(), B)) RaiseCastError(T, VarType());
        Dest = Make(B);
        return;
      }
      default: RaiseCastError(T, VarType());
    }
  }

  void CastTo(Variant& Dest, const Variant& Source, TVarType AVarType) const override {
    const TBcd& B = PayloadBcd(Source);
    switch (AVarType) {
      case varOleStr: case varString: case varUString: Dest = VarAsType(Variant(BcdToStr(B)), AVarType); return;
      case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varLongWord:
      case varInt64: case varUInt64: {
        __int128 V;
        try {
          V = ToInt(FromBcd(B), false);
        } catch (const EBcdOverflowException&) {
          VarOverflowError(VarType(), AVarType);
        }
        if (V > INT64_MAX || V < INT64_MIN) {
          if (AVarType != varUInt64 || V < 0 || V > (__int128)UINT64_MAX) VarOverflowError(VarType(), AVarType);
          Dest = Variant(static_cast<unsigned long long>(V));
          return;
        }
        Dest = VarAsType(Variant(static_cast<long long>(V)), AVarType);
        return;
      }
      case varSingle: case varDouble: case varDate: Dest = VarAsType(Variant(BcdToDouble(B)), AVarType); return;
      case varCurrency: {
        Currency C;
        if (!BCDToCurr(B, C)) VarOverflowError(VarType(), AVarType);
        Dest = Variant(C);
        return;
      }
      case varBoolean: Dest = Variant(!IsBcdZero(B)); return;
      default: RaiseCastError(VarType(), AVarType);
    }
  }

  void BinaryOp(Variant& Left, const Variant& Right, TVarOp Operator) const override {
    const TBcd &A = PayloadBcd(Left), &B = PayloadBcd(Right);
    TBcd R;
    switch (Operator) {
      case opAdd: BcdAdd(A, B, R); break;
      case opSubtract: BcdSubtract(A, B, R); break;
      case opMultiply: BcdMultiply(A, B, R); break;
      case opDivide: BcdDivide(A, B, R); break;
      default: RaiseInvalidOp();
    }
    Left = Make(R);
  }

  void UnaryOp(Variant& Right, TVarOp Operator) const override {
    if (Operator != opNegate) RaiseInvalidOp();
    TBcd B = PayloadBcd(Right);
    if (!IsBcdZero(B)) B.SignSpecialPlaces ^= 0x80;
    Right = Make(B);
  }

  void Compare(const Variant& Left, const Variant& Right, TVarCompareResult& Relationship) const override {
    Integer C = BcdCompare(PayloadBcd(Left), PayloadBcd(Right));
    Relationship = C < 0 ? crLessThan : C > 0 ? crGreaterThan : crEqual;
  }

  bool LeftPromotion(const Variant& V, TVarOp, TVarType& RequiredVarType) const override {
    RequiredVarType = VarType();
    return Promotable(V.Type());
  }
  bool RightPromotion(const Variant& V, TVarOp, TVarType& RequiredVarType) const override {
    RequiredVarType = VarType();
    return Promotable(V.Type());
  }

 private:
  bool Promotable(TVarType T) const {
    return T == VarType() || T == varEmpty || T == varBoolean || T == varCurrency || T == varDate || T == varSingle || T == varDouble ||
           T == varOleStr || T == varString || T == varUString || (T >= varSmallint && T <= varInteger) ||
           (T >= varShortInt && T <= varUInt64);
  }
};

const TFMTBcdVariantType& BcdType() {
  static const TFMTBcdVariantType T;
  return T;
}

}  // namespace

TVarType VarFMTBcd() { return BcdType().VarType(); }
bool VarIsFMTBcd(TVarType AVarType) { return AVarType == VarFMTBcd(); }
bool VarIsFMTBcd(const Variant& AValue) { return AValue.Type() == VarFMTBcd(); }
Variant VarFMTBcdCreate() { return BcdType().Make(NullBcd); }
Variant VarFMTBcdCreate(const TBcd& ABcd) {
  FromBcd(ABcd);  // refuses digits that are not decimal
  return BcdType().Make(ABcd);
}
void VarFMTBcdCreate(Variant& ADest, const TBcd& ABcd) { ADest = VarFMTBcdCreate(ABcd); }

namespace {
Variant Normalized(const TBcd& B, Word Precision, Word Scale) {
  TBcd N;
  if (!NormalizeBcd(B, N, Precision, Scale)) RaiseOverflow();
  return BcdType().Make(N);
}
}  // namespace

Variant VarFMTBcdCreate(const String& AValue, Word Precision, Word Scale) {
  return Normalized(StrToBcd(AValue), Precision, Scale);
}

Variant VarFMTBcdCreate(Double AValue, Word Precision, Word Scale) {
  return Normalized(DoubleToBcd(AValue), Precision, Scale);
}

TBcd VarToBcd(const Variant& AValue) {
  if (VarIsFMTBcd(AValue)) return PayloadBcd(AValue);
  return PayloadBcd(VarAsType(AValue, VarFMTBcd()));
}
