#include "framework/SqlTimSt.h"

#include <cmath>

#include "framework/SysUtils.h"

const TSQLTimeStamp NullSQLTimeStamp{};
const TSQLTimeStampOffset NullSQLTimeStampOffset{};

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime DateTime) {
  Word Y, M, D, H, N, S, MS;
  DecodeDate(DateTime, Y, M, D);
  DecodeTime(DateTime, H, N, S, MS);
  TSQLTimeStamp R;
  R.Year = SmallInt(Y);
  R.Month = M;
  R.Day = D;
  R.Hour = H;
  R.Minute = N;
  R.Second = S;
  R.Fractions = MS;
  return R;
}

bool TrySQLTimeStampToDateTime(const TSQLTimeStamp& DateTime, TDateTime& Value) {
  if (DateTime == NullSQLTimeStamp) {
    Value = 0;
    return true;
  }
  TDateTime D, T;
  if (DateTime.Year < 1 || DateTime.Fractions > 999 || !TryEncodeDate(Word(DateTime.Year), DateTime.Month, DateTime.Day, D) ||
      !TryEncodeTime(DateTime.Hour, DateTime.Minute, DateTime.Second, Word(DateTime.Fractions), T))
    return false;
  // Before 1899-12-30 the day count is negative and the time of day still counts away from zero.
  Value = D.Val >= 0 ? D.Val + T.Val : D.Val - T.Val;
  return true;
}

TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& DateTime) {
  TDateTime R;
  if (!TrySQLTimeStampToDateTime(DateTime, R)) throw ESQLTimeStampException(L"Invalid SQL time stamp");
  return R;
}

String SQLTimeStampToStr(const String& Format, const TSQLTimeStamp& DateTime, const TFormatSettings& AFormatSettings) {
  String F = Format.empty() ? AFormatSettings.ShortDateFormat + L" " + AFormatSettings.LongTimeFormat : Format;
  return FormatDateTime(F, SQLTimeStampToDateTime(DateTime), AFormatSettings);
}

String SQLTimeStampToStr(const String& Format, const TSQLTimeStamp& DateTime) {
  return SQLTimeStampToStr(Format, DateTime, FormatSettings);
}

bool TryStrToSQLTimeStamp(const String& S, TSQLTimeStamp& TimeStamp, const TFormatSettings& AFormatSettings) {
  TDateTime D;
  if (!TryStrToDateTime(S, D, AFormatSettings)) return false;
  TimeStamp = DateTimeToSQLTimeStamp(D);
  return true;
}

bool TryStrToSQLTimeStamp(const String& S, TSQLTimeStamp& TimeStamp) {
  return TryStrToSQLTimeStamp(S, TimeStamp, FormatSettings);
}

TSQLTimeStamp StrToSQLTimeStamp(const String& S, const TFormatSettings& AFormatSettings) {
  TSQLTimeStamp R;
  if (!TryStrToSQLTimeStamp(S, R, AFormatSettings))
    throw ESQLTimeStampException(L"'" + S + L"' is not a valid SQL time stamp");
  return R;
}

TSQLTimeStamp StrToSQLTimeStamp(const String& S) { return StrToSQLTimeStamp(S, FormatSettings); }

Integer SQLTimeStampCompare(const TSQLTimeStamp& A, const TSQLTimeStamp& B) {
  const Int64 KA[] = {A.Year, A.Month, A.Day, A.Hour, A.Minute, A.Second, A.Fractions};
  const Int64 KB[] = {B.Year, B.Month, B.Day, B.Hour, B.Minute, B.Second, B.Fractions};
  for (size_t I = 0; I < std::size(KA); ++I)
    if (KA[I] != KB[I]) return KA[I] < KB[I] ? -1 : 1;
  return 0;
}

// ---- With offset ------------------------------------------------------------------------------

TSQLTimeStampOffset SQLTimeStampToSQLTimeStampOffset(const TSQLTimeStamp& TimeStamp) {
  TSQLTimeStampOffset R;
  R.Year = TimeStamp.Year;
  R.Month = TimeStamp.Month;
  R.Day = TimeStamp.Day;
  R.Hour = TimeStamp.Hour;
  R.Minute = TimeStamp.Minute;
  R.Second = TimeStamp.Second;
  R.Fractions = TimeStamp.Fractions;
  return R;
}

TSQLTimeStamp SQLTimeStampOffsetToSQLTimeStamp(const TSQLTimeStampOffset& TimeStamp) {
  TSQLTimeStamp R;
  R.Year = TimeStamp.Year;
  R.Month = TimeStamp.Month;
  R.Day = TimeStamp.Day;
  R.Hour = TimeStamp.Hour;
  R.Minute = TimeStamp.Minute;
  R.Second = TimeStamp.Second;
  R.Fractions = TimeStamp.Fractions;
  return R;
}

TSQLTimeStampOffset DateTimeToSQLTimeStampOffset(TDateTime DateTime, Integer TZOffsetHour, Integer TZOffsetMinute) {
  if (TZOffsetHour < -14 || TZOffsetHour > 14 || TZOffsetMinute < -59 || TZOffsetMinute > 59)
    throw ESQLTimeStampException(L"Invalid time zone offset");
  TSQLTimeStampOffset R = SQLTimeStampToSQLTimeStampOffset(DateTimeToSQLTimeStamp(DateTime));
  R.TimeZoneHour = SmallInt(TZOffsetHour);
  R.TimeZoneMinute = SmallInt(TZOffsetMinute);
  return R;
}

TDateTime SQLTimeStampOffsetToDateTime(const TSQLTimeStampOffset& DateTime) {
  return SQLTimeStampToDateTime(SQLTimeStampOffsetToSQLTimeStamp(DateTime));
}

String SQLTimeStampOffsetToStr(const String& Format, const TSQLTimeStampOffset& DateTime) {
  Integer Minutes = DateTime.TimeZoneHour * 60 + DateTime.TimeZoneMinute;
  Integer Abs = Minutes < 0 ? -Minutes : Minutes;
  wchar_t Zone[16];
  swprintf(Zone, 16, L" %c%02d:%02d", Minutes < 0 ? L'-' : L'+', Abs / 60, Abs % 60);
  return SQLTimeStampToStr(Format, SQLTimeStampOffsetToSQLTimeStamp(DateTime)) + Zone;
}

bool TryStrToSQLTimeStampOffset(const String& S0, TSQLTimeStampOffset& TimeStamp) {
  String S = Trim(S0);
  Integer H = 0, M = 0;
  size_t N = S.size();
  auto Digit = [&](size_t I) { return S[I] >= L'0' && S[I] <= L'9'; };
  if (N >= 6 && (S[N - 6] == L'+' || S[N - 6] == L'-') && Digit(N - 5) && Digit(N - 4) && S[N - 3] == L':' &&
      Digit(N - 2) && Digit(N - 1)) {
    H = (S[N - 5] - L'0') * 10 + (S[N - 4] - L'0');
    M = (S[N - 2] - L'0') * 10 + (S[N - 1] - L'0');
    if (H > 14 || M > 59) return false;
    if (S[N - 6] == L'-') {
      H = -H;
      M = -M;
    }
    S = TrimRight(S.substr(0, N - 6));
  }
  TSQLTimeStamp T;
  if (!TryStrToSQLTimeStamp(S, T)) return false;
  TimeStamp = SQLTimeStampToSQLTimeStampOffset(T);
  TimeStamp.TimeZoneHour = SmallInt(H);
  TimeStamp.TimeZoneMinute = SmallInt(M);
  return true;
}

TSQLTimeStampOffset StrToSQLTimeStampOffset(const String& S) {
  TSQLTimeStampOffset R;
  if (!TryStrToSQLTimeStampOffset(S, R)) throw ESQLTimeStampException(L"'" + S + L"' is not a valid SQL time stamp");
  return R;
}

// ---- The variant kinds ------------------------------------------------------------------------

namespace {

struct TStampPayload : Variant::TPayload {
  explicit TStampPayload(const TSQLTimeStamp& S) : Stamp(S) {}
  TSQLTimeStamp Stamp;
};

const TSQLTimeStamp& PayloadStamp(const Variant& V) { return static_cast<const TStampPayload*>(V.CustomData())->Stamp; }

class TSQLTimeStampVariantType : public TCustomVariantType {
  DECLARE_CLASS(TSQLTimeStampVariantType, TCustomVariantType)
 public:
  TSQLTimeStampVariantType() : TCustomVariantType(L"SQLTimeStampVariantType") {}

  Variant Make(const TSQLTimeStamp& S) const { return Variant::FromCustom(VarType(), std::make_shared<TStampPayload>(S)); }

  bool IsClear(const Variant& V) const override { return PayloadStamp(V) == NullSQLTimeStamp; }

  void Cast(Variant& Dest, const Variant& Source) const override {
    TVarType T = Source.Type();
    if (T == varEmpty) {
      Dest = Make(NullSQLTimeStamp);
    } else if (VarIsStr(Source)) {
      TSQLTimeStamp S;
      if (!TryStrToSQLTimeStamp(Source.AsString(), S)) RaiseCastError(T, VarType());
      Dest = Make(S);
    } else if (T == varDate || VarIsNumeric(Source)) {
      Dest = Make(DateTimeToSQLTimeStamp(Source.AsDateTime()));
    } else if (VarIsSQLTimeStampOffset(Source)) {
      Dest = Make(SQLTimeStampOffsetToSQLTimeStamp(VarToSQLTimeStampOffset(Source)));
    } else {
      RaiseCastError(T, VarType());
    }
  }

  void CastTo(Variant& Dest, const Variant& Source, TVarType AVarType) const override {
    const TSQLTimeStamp& S = PayloadStamp(Source);
    switch (AVarType) {
      case varOleStr: case varString: case varUString:
        Dest = VarAsType(Variant(SQLTimeStampToStr(String(), S)), AVarType);
        return;
      case varDate: Dest = Variant(SQLTimeStampToDateTime(S)); return;
      case varSingle: case varDouble: case varCurrency: case varInt64: case varInteger:
        Dest = VarAsType(Variant(SQLTimeStampToDateTime(S).Val), AVarType);
        return;
      default: RaiseCastError(VarType(), AVarType);
    }
  }

  void Compare(const Variant& Left, const Variant& Right, TVarCompareResult& Relationship) const override {
    Integer C = SQLTimeStampCompare(PayloadStamp(Left), PayloadStamp(Right));
    Relationship = C < 0 ? crLessThan : C > 0 ? crGreaterThan : crEqual;
  }

  bool LeftPromotion(const Variant& V, TVarOp Operator, TVarType& RequiredVarType) const override {
    RequiredVarType = VarType();
    return Operator == opCompare && Promotable(V);
  }
  bool RightPromotion(const Variant& V, TVarOp Operator, TVarType& RequiredVarType) const override {
    RequiredVarType = VarType();
    return Operator == opCompare && Promotable(V);
  }

 private:
  static bool Promotable(const Variant& V) {
    return V.Type() == varEmpty || V.Type() == varDate || VarIsStr(V) || VarIsNumeric(V);
  }
};

const TSQLTimeStampVariantType& StampType() {
  static const TSQLTimeStampVariantType T;
  return T;
}

struct TOffsetPayload : Variant::TPayload {
  explicit TOffsetPayload(const TSQLTimeStampOffset& S) : Stamp(S) {}
  TSQLTimeStampOffset Stamp;
};

const TSQLTimeStampOffset& PayloadOffset(const Variant& V) {
  return static_cast<const TOffsetPayload*>(V.CustomData())->Stamp;
}

// Milliseconds since 0001-01-01 UTC, for ordering stamps with different offsets.
Int64 Instant(const TSQLTimeStampOffset& S) {
  double Local = SQLTimeStampOffsetToDateTime(S).Val;
  Int64 Ms = Int64(std::llround(Local * 86400000.0));
  return Ms - (Int64(S.TimeZoneHour) * 60 + S.TimeZoneMinute) * 60000;
}

class TSQLTimeStampOffsetVariantType : public TCustomVariantType {
  DECLARE_CLASS(TSQLTimeStampOffsetVariantType, TCustomVariantType)
 public:
  TSQLTimeStampOffsetVariantType() : TCustomVariantType(L"SQLTimeStampOffsetVariantType") {}

  Variant Make(const TSQLTimeStampOffset& S) const {
    return Variant::FromCustom(VarType(), std::make_shared<TOffsetPayload>(S));
  }

  bool IsClear(const Variant& V) const override { return PayloadOffset(V) == NullSQLTimeStampOffset; }

  void Cast(Variant& Dest, const Variant& Source) const override {
    TVarType T = Source.Type();
    if (T == varEmpty) {
      Dest = Make(NullSQLTimeStampOffset);
    } else if (VarIsStr(Source)) {
      TSQLTimeStampOffset S;
      if (!TryStrToSQLTimeStampOffset(Source.AsString(), S)) RaiseCastError(T, VarType());
      Dest = Make(S);
    } else if (T == varDate || VarIsNumeric(Source)) {
      Dest = Make(DateTimeToSQLTimeStampOffset(Source.AsDateTime()));
    } else if (VarIsSQLTimeStamp(Source)) {
      Dest = Make(SQLTimeStampToSQLTimeStampOffset(VarToSQLTimeStamp(Source)));
    } else {
      RaiseCastError(T, VarType());
    }
  }

  void CastTo(Variant& Dest, const Variant& Source, TVarType AVarType) const override {
    const TSQLTimeStampOffset& S = PayloadOffset(Source);
    switch (AVarType) {
      case varOleStr: case varString: case varUString:
        Dest = VarAsType(Variant(SQLTimeStampOffsetToStr(String(), S)), AVarType);
        return;
      case varDate: Dest = Variant(SQLTimeStampOffsetToDateTime(S)); return;
      case varSingle: case varDouble: case varCurrency: case varInt64: case varInteger:
        Dest = VarAsType(Variant(SQLTimeStampOffsetToDateTime(S).Val), AVarType);
        return;
      default: RaiseCastError(VarType(), AVarType);
    }
  }

  void Compare(const Variant& Left, const Variant& Right, TVarCompareResult& Relationship) const override {
    Int64 A = Instant(PayloadOffset(Left)), B = Instant(PayloadOffset(Right));
    Relationship = A < B ? crLessThan : A > B ? crGreaterThan : crEqual;
  }

  bool LeftPromotion(const Variant& V, TVarOp Operator, TVarType& RequiredVarType) const override {
    RequiredVarType = VarType();
    return Operator == opCompare && Promotable(V);
  }
  bool RightPromotion(const Variant& V, TVarOp Operator, TVarType& RequiredVarType) const override {
    RequiredVarType = VarType();
    return Operator == opCompare && Promotable(V);
  }

 private:
  static bool Promotable(const Variant& V) {
    return V.Type() == varEmpty || V.Type() == varDate || VarIsStr(V) || VarIsNumeric(V) || VarIsSQLTimeStamp(V);
  }
};

const TSQLTimeStampOffsetVariantType& OffsetType() {
  static const TSQLTimeStampOffsetVariantType T;
  return T;
}

}  // namespace

TVarType VarSQLTimeStamp() { return StampType().VarType(); }
bool VarIsSQLTimeStamp(TVarType AVarType) { return AVarType == VarSQLTimeStamp(); }
bool VarIsSQLTimeStamp(const Variant& AValue) { return AValue.Type() == VarSQLTimeStamp(); }
Variant VarSQLTimeStampCreate() { return StampType().Make(NullSQLTimeStamp); }
Variant VarSQLTimeStampCreate(const TSQLTimeStamp& ASQLTimeStamp) { return StampType().Make(ASQLTimeStamp); }
Variant VarSQLTimeStampCreate(TDateTime AValue) { return StampType().Make(DateTimeToSQLTimeStamp(AValue)); }
Variant VarSQLTimeStampCreate(const String& AValue) { return StampType().Make(StrToSQLTimeStamp(AValue)); }
void VarSQLTimeStampCreate(Variant& ADest, const TSQLTimeStamp& ASQLTimeStamp) {
  ADest = VarSQLTimeStampCreate(ASQLTimeStamp);
}

TSQLTimeStamp VarToSQLTimeStamp(const Variant& AValue) {
  if (VarIsSQLTimeStamp(AValue)) return PayloadStamp(AValue);
  return PayloadStamp(VarAsType(AValue, VarSQLTimeStamp()));
}

TVarType VarSQLTimeStampOffset() { return OffsetType().VarType(); }
bool VarIsSQLTimeStampOffset(TVarType AVarType) { return AVarType == VarSQLTimeStampOffset(); }
bool VarIsSQLTimeStampOffset(const Variant& AValue) { return AValue.Type() == VarSQLTimeStampOffset(); }
Variant VarSQLTimeStampOffsetCreate() { return OffsetType().Make(NullSQLTimeStampOffset); }
Variant VarSQLTimeStampOffsetCreate(const TSQLTimeStampOffset& ASQLTimeStampOffset) {
  return OffsetType().Make(ASQLTimeStampOffset);
}
Variant VarSQLTimeStampOffsetCreate(TDateTime AValue) { return OffsetType().Make(DateTimeToSQLTimeStampOffset(AValue)); }
Variant VarSQLTimeStampOffsetCreate(const String& AValue) { return OffsetType().Make(StrToSQLTimeStampOffset(AValue)); }

TSQLTimeStampOffset VarToSQLTimeStampOffset(const Variant& AValue) {
  if (VarIsSQLTimeStampOffset(AValue)) return PayloadOffset(AValue);
  return PayloadOffset(VarAsType(AValue, VarSQLTimeStampOffset()));
}
