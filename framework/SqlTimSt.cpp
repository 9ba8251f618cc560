#include "framework/SqlTimSt.h"

#include "framework/SysUtils.h"

const TSQLTimeStamp NullSQLTimeStamp{};

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

// ---- The variant kind -------------------------------------------------------------------------

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
