#include "framework/db/Fields.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "framework/classes/Streams.h"
#include "framework/db/DBConsts.h"
#include "framework/db/DataSet.h"
#include "framework/sysutils/Encoding.h"
#include "framework/sysutils/Strings.h"

const wchar_t* const FieldTypeNames[FieldTypeCount] = {
    L"Unknown", L"String", L"SmallInt", L"Integer", L"Word", L"Boolean", L"Float", L"Currency", L"BCD",
    L"Date", L"Time", L"DateTime", L"Bytes", L"VarBytes", L"AutoInc", L"Blob", L"Memo", L"Graphic",
    L"FmtMemo", L"ParadoxOle", L"DBaseOle", L"TypedBinary", L"Cursor", L"FixedChar", L"WideString",
    L"Largeint", L"ADT", L"Array", L"Reference", L"DataSet", L"OraBlob", L"OraClob", L"Variant",
    L"Interface", L"IDispatch", L"Guid", L"TimeStamp", L"FMTBcd", L"FixedWideChar", L"WideMemo",
    L"OraTimeStamp", L"OraInterval", L"LongWord", L"Shortint", L"Byte", L"Extended", L"Connection",
    L"Params", L"Stream", L"TimeStampOffset", L"Object", L"Single"};

const TFieldTypes ftBlobTypes{ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary,
                              ftOraBlob, ftOraClob, ftWideMemo};
const TFieldTypes ftNonTextTypes{ftBytes, ftVarBytes, ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle,
                                 ftDBaseOle, ftTypedBinary, ftCursor, ftADT, ftArray, ftReference, ftDataSet,
                                 ftOraBlob, ftOraClob, ftWideMemo};

namespace {
AnsiString ToAnsi(const String& S) {
  TBytes B = TEncoding::ANSI()->GetBytes(S);
  return AnsiString(B.begin(), B.end());
}
String FromAnsi(const char* P, size_t N) {
  return TEncoding::ANSI()->GetString(reinterpret_cast<const Byte*>(P), Integer(N));
}
bool KeysEqual(const Variant& A, const Variant& B) {
  if (VarIsArray(A) || VarIsArray(B)) {
    if (!VarIsArray(A) || !VarIsArray(B)) return false;
    Integer L = VarArrayLowBound(A, 1), H = VarArrayHighBound(A, 1);
    if (VarArrayHighBound(B, 1) - VarArrayLowBound(B, 1) != H - L) return false;
    for (Integer I = 0; I <= H - L; ++I)
      if (!KeysEqual(A[L + I], B[VarArrayLowBound(B, 1) + I])) return false;
    return true;
  }
  try {
    return VarSameValue(A, B);
  } catch (const EVariantError&) {
    return false;
  }
}
}  // namespace

// ---- TLookupList ---------------------------------------------------------------------------------

void TLookupList::Add(const Variant& AKey, const Variant& AValue) { FList.emplace_back(AKey, AValue); }

Variant TLookupList::ValueOfKey(const Variant& AKey) const {
  if (AKey.IsNull() || AKey.IsEmpty()) return Null;
  for (const auto& E : FList)
    if (KeysEqual(E.first, AKey)) return E.second;
  return Null;
}

// ---- TField --------------------------------------------------------------------------------------

PUBLISHED_DEF(TField) {
  PROP(Alignment).Default(taLeftJustify);
  PROP(AutoGenerateValue).Default(arNone);
  PROP(ConstraintErrorMessage);
  PROP(DefaultExpression);
  PROP(DisplayLabel).Stored(&TField::IsDisplayLabelStored);
  PROP(DisplayWidth).Stored(&TField::IsDisplayWidthStored);
  PROP(FieldKind).Default(fkData);
  PROP(FieldName);
  PROP(KeyFields);
  PROP(LookupCache).Default(false);
  PROP(LookupDataSet);
  PROP(LookupKeyFields);
  PROP(LookupResultField);
  PROP(Origin);
  PROP(ProviderFlags).Default(TProviderFlags{pfInUpdate, pfInWhere});
  PROP(ReadOnly).Default(false);
  PROP(Required).Default(false);
  PROP(Visible).Default(true);
  EVENT(OnChange);
  EVENT(OnGetText);
  EVENT(OnSetText);
  EVENT(OnValidate);
}

TField::TField(TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField() {
  if (FDataSet) {
    TDataSet* D = FDataSet;
    FDataSet = nullptr;
    D->FFields->Remove(this);
    D->FAggFields->Remove(this);
    if (!D->GetComponentState().Contains(csDestroying)) D->DataEvent(deFieldListChange, 0);
  }
  SetLookupDataSet(nullptr);
}

void TField::Assign(TPersistent* Source) {
  if (!Source) {
    Clear();
    return;
  }
  if (auto* F = dynamic_cast<TField*>(Source)) {
    SetAsVariant(F->GetAsVariant());
    return;
  }
  TComponent::Assign(Source);
}

void TField::SetDataSet(TDataSet* ADataSet) {
  if (ADataSet == FDataSet) return;
  if (FDataSet) FDataSet->CheckInactive();
  if (ADataSet) {
    ADataSet->CheckInactive();
    if (!FFieldName.empty() && ADataSet->FindField(FFieldName))
      DatabaseErrorFmt(SDuplicateFieldName, {FFieldName}, ADataSet);
  }
  if (FDataSet) {
    TDataSet* D = FDataSet;
    FDataSet = nullptr;
    D->FFields->Remove(this);
    D->FAggFields->Remove(this);
    D->DataEvent(deFieldListChange, 0);
  }
  if (ADataSet) {
    if (FFieldKind == fkAggregate) ADataSet->FAggFields->Add(this);
    else ADataSet->FFields->Add(this);
    FDataSet = ADataSet;
    ADataSet->DataEvent(deFieldListChange, 0);
  }
}

void TField::SetFieldName(const String& Value) {
  if (FFieldName == Value) return;
  if (FDataSet) {
    TField* Other = FDataSet->FindField(Value);
    if (Other && Other != this) DatabaseErrorFmt(SDuplicateFieldName, {Value}, FDataSet);
  }
  FFieldName = Value;
  if (FDataSet) FDataSet->DataEvent(deFieldListChange, 0);
}

void TField::SetFieldKind(TFieldKind Value) {
  if (FFieldKind == Value) return;
  if (FDataSet) FDataSet->CheckInactive();
  FFieldKind = Value;
}

void TField::SetCalculated(bool Value) { SetFieldKind(Value ? fkCalculated : fkData); }
void TField::SetLookup(bool Value) { SetFieldKind(Value ? fkLookup : fkData); }

Integer TField::GetIndex() const { return FDataSet ? FDataSet->FFields->IndexOf(const_cast<TField*>(this)) : -1; }

void TField::SetIndex(Integer Value) {
  if (!FDataSet) return;
  FDataSet->FFields->SetFieldIndex(this, Value);
  FDataSet->DataEvent(deFieldListChange, 0);
}

void TField::SetSize(Integer Value) {
  if (FDataSet) FDataSet->CheckInactive();
  CheckTypeSize(Value);
  FSize = Value;
}

void TField::CheckTypeSize(Integer Value) {
  if (Value != 0) DatabaseError(SInvalidFieldSize);
}

void TField::SetReadOnly(bool Value) {
  if (FReadOnly == Value) return;
  FReadOnly = Value;
  PropertyChanged(true);
}

void TField::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  PropertyChanged(true);
}

void TField::SetDisplayLabel(const String& Value) {
  String V = Value == FFieldName ? String() : Value;
  if (FDisplayLabel == V) return;
  FDisplayLabel = V;
  PropertyChanged(true);
}

void TField::SetDisplayWidth(Integer Value) {
  if (FDisplayWidth == Value) return;
  FDisplayWidth = Value;
  PropertyChanged(true);
}

void TField::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  PropertyChanged(false);
}

void TField::PropertyChanged(bool LayoutAffected) {
  if (FDataSet && FDataSet->GetActive()) FDataSet->DataEvent(LayoutAffected ? deLayoutChange : deDataSetChange, 0);
}

void TField::SetLookupDataSet(TDataSet* Value) {
  if (Value == FLookupDataSet) return;
  if (Value && Value == FDataSet) DatabaseError(SCircularDataLink, this);
  FLookupDataSet = Value;
  if (FLookupList) FLookupList->Clear();
}

void TField::SetKeyFields(const String& Value) { FKeyFields = Value; }
void TField::SetLookupKeyFields(const String& Value) { FLookupKeyFields = Value; }
void TField::SetLookupResultField(const String& Value) { FLookupResultField = Value; }

void TField::SetLookupCache(bool Value) {
  FLookupCache = Value;
  if (Value && FDataSet && FDataSet->GetActive()) RefreshLookupList();
}

TLookupList* TField::GetLookupList() {
  if (!FLookupList) FLookupList = std::make_unique<TLookupList>();
  return FLookupList.get();
}

void TField::RefreshLookupList() {
  TLookupList* L = GetLookupList();
  L->Clear();
  TDataSet* D = FLookupDataSet;
  if (!D || !D->GetActive()) return;
  if (FLookupKeyFields.empty() || FLookupResultField.empty() || FKeyFields.empty())
    DatabaseErrorFmt(SLookupInfoError, {GetDisplayName()}, FDataSet);
  TBookmark B = D->GetBookmark();
  D->DisableControls();
  try {
    D->First();
    while (!D->Eof()) {
      L->Add(D->GetFieldValues(FLookupKeyFields), D->GetFieldValues(FLookupResultField));
      D->Next();
    }
    if (!B.IsEmpty()) D->GotoBookmark(B);
  } catch (...) {
    D->EnableControls();
    throw;
  }
  D->EnableControls();
}

void TField::Bind(bool Binding) {
  if (FFieldKind == fkLookup) {
    if (Binding) {
      if (FLookupCache) RefreshLookupList();
    } else if (FLookupList) {
      FLookupList->Clear();
    }
  }
}

void TField::Change() { DoEvent(FOnChange, this); }

void TField::FocusControl() {
  if (FDataSet && FDataSet->GetActive()) {
    TField* Self = this;
    FDataSet->DataEvent(deFocusControl, reinterpret_cast<NativeInt>(&Self));
  }
}

bool TField::CanModify() {
  if (FReadOnly || !FDataSet) return false;
  if (FFieldKind == fkLookup) return false;
  if (FFieldKind == fkCalculated) return false;
  return FDataSet->CanModify();
}

bool TField::IsValidChar(Char InputChar) { return InputChar != 0; }

void TField::Validate(const TValueBuffer* Buffer) {
  if (!FOnValidate) return;
  const TValueBuffer* Old = FValidating;
  TValueBuffer NullBuffer;  // an empty buffer stands for Null while validating
  FValidating = Buffer ? Buffer : &NullBuffer;
  try {
    FOnValidate(this);
  } catch (...) {
    FValidating = Old;
    throw;
  }
  FValidating = Old;
}

bool TField::GetData(TValueBuffer& Buffer, bool NativeFormat) {
  if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
  if (FValidating) {
    if (FValidating->empty()) return false;
    if (NativeFormat) Buffer = *FValidating;
    else FDataSet->DataConvert(this, *FValidating, Buffer, false);
    return true;
  }
  if (FDataSet->GetState() == dsInactive) DatabaseError(SDataSetClosed, FDataSet);
  if (Integer(Buffer.size()) < GetDataSize()) Buffer.resize(GetDataSize());
  return FDataSet->GetFieldData(this, Buffer, NativeFormat);
}

void TField::SetData(const TValueBuffer* Buffer, bool NativeFormat) {
  if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
  TDataSetState S = FDataSet->GetState();
  bool Computed = FFieldKind == fkCalculated || FFieldKind == fkLookup;
  if (!Computed && !dsWriteModes.Contains(S)) DatabaseError(SNotEditing, FDataSet);
  if (FReadOnly && !Computed && S != dsSetKey && S != dsFilter && S != dsCalcFields && S != dsInternalCalc &&
      S != dsNewValue)
    DatabaseErrorFmt(SFieldReadOnly, {GetDisplayName()}, FDataSet);
  FDataSet->SetFieldData(this, Buffer, NativeFormat);
}

bool TField::ReadNative(void* Dest, Integer Size, bool NativeFormat) {
  TValueBuffer B(Size);
  if (!GetData(B, NativeFormat)) return false;
  std::memset(Dest, 0, Size);
  std::memcpy(Dest, B.data(), std::min<size_t>(Size, B.size()));
  return true;
}

void TField::WriteNative(const void* Source, Integer Size, bool NativeFormat) {
  if (!Source) {
    SetData(nullptr, NativeFormat);
    return;
  }
  TValueBuffer B(static_cast<const Byte*>(Source), static_cast<const Byte*>(Source) + Size);
  SetData(&B, NativeFormat);
}

bool TField::IsNull() {
  if (FValidating) return FValidating->empty();
  TValueBuffer B(GetDataSize());
  return !GetData(B);
}

void TField::Clear() { SetData(nullptr); }

void TField::AccessError(const String& TypeName) {
  DatabaseErrorFmt(SFieldAccessError, {GetDisplayName(), TypeName});
}

void TField::RangeError(const String& Value, const String& Min, const String& Max) {
  DatabaseErrorFmt(SFieldRangeError, {Value, GetDisplayName(), Min, Max});
}

Variant TField::GetAsVariant() { AccessError(L"Variant"); }
void TField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else AccessError(L"Variant");
}
String TField::GetAsString() { return ClassName(); }
void TField::SetAsString(const String&) { AccessError(L"String"); }
Integer TField::GetAsInteger() { AccessError(L"Integer"); }
void TField::SetAsInteger(Integer) { AccessError(L"Integer"); }
Int64 TField::GetAsLargeInt() { AccessError(L"LargeInt"); }
void TField::SetAsLargeInt(Int64) { AccessError(L"LargeInt"); }
Cardinal TField::GetAsLongWord() { return Cardinal(GetAsLargeInt()); }
void TField::SetAsLongWord(Cardinal Value) { SetAsLargeInt(Value); }
Double TField::GetAsFloat() { AccessError(L"Float"); }
void TField::SetAsFloat(Double) { AccessError(L"Float"); }
Single TField::GetAsSingle() { return Single(GetAsFloat()); }
void TField::SetAsSingle(Single Value) { SetAsFloat(Value); }
Extended TField::GetAsExtended() { return GetAsFloat(); }
void TField::SetAsExtended(Extended Value) { SetAsFloat(Double(Value)); }
Currency TField::GetAsCurrency() { return Currency(GetAsFloat()); }
void TField::SetAsCurrency(Currency Value) { SetAsFloat(Value.ToDouble()); }
TBcd TField::GetAsBCD() { AccessError(L"BCD"); }
void TField::SetAsBCD(const TBcd&) { AccessError(L"BCD"); }
TDateTime TField::GetAsDateTime() { AccessError(L"DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError(L"DateTime"); }
TSQLTimeStamp TField::GetAsSQLTimeStamp() { AccessError(L"SQLTimeStamp"); }
void TField::SetAsSQLTimeStamp(const TSQLTimeStamp&) { AccessError(L"SQLTimeStamp"); }
bool TField::GetAsBoolean() { AccessError(L"Boolean"); }
void TField::SetAsBoolean(bool) { AccessError(L"Boolean"); }
AnsiString TField::GetAsAnsiString() { return ToAnsi(GetAsString()); }
void TField::SetAsAnsiString(const AnsiString& Value) { SetAsString(FromAnsi(Value.data(), Value.size())); }
TBytes TField::GetAsBytes() { AccessError(L"Bytes"); }
void TField::SetAsBytes(const TBytes&) { AccessError(L"Bytes"); }
TGUID TField::GetAsGuid() { AccessError(L"TGuid"); }
void TField::SetAsGuid(const TGUID&) { AccessError(L"TGuid"); }

void TField::GetText(String& Text, bool) { Text = GetAsString(); }

String TField::GetText() {
  String T;
  if (FOnGetText) FOnGetText(this, T, false);
  else GetText(T, false);
  return T;
}

void TField::SetText(const String& Value) {
  if (FOnSetText) FOnSetText(this, Value);
  else SetTextValue(Value);
}

String TField::GetDisplayText() {
  String T;
  if (FOnGetText) FOnGetText(this, T, true);
  else GetText(T, true);
  return T;
}

Variant TField::ValueInState(TDataSetState AState) {
  if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
  return FDataSet->GetStateFieldValue(AState, this);
}

Variant TField::GetOldValue() { return ValueInState(dsOldValue); }
Variant TField::GetCurValue() { return ValueInState(dsCurValue); }
Variant TField::GetNewValue() { return ValueInState(dsNewValue); }
void TField::SetNewValue(const Variant& Value) {
  if (!FDataSet) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
  FDataSet->SetStateFieldValue(dsNewValue, this, Value);
}

// ---- TStringField, TWideStringField, TGuidField ---------------------------------------------------

PUBLISHED_DEF(TStringField) {
  PROP(FixedChar).Default(false);
  PROP(Size).Default(20);
  PROP(Transliterate).Default(true);
}

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftString);
  TField::SetSize(20);
}

void TStringField::CheckTypeSize(Integer Value) {
  if (Value < 0) DatabaseError(SInvalidFieldSize);
}

bool TStringField::GetValue(String& Value) {
  TValueBuffer B(GetDataSize());
  if (!GetData(B)) return false;
  size_t N = std::find(B.begin(), B.end(), Byte(0)) - B.begin();
  Value = FromAnsi(reinterpret_cast<const char*>(B.data()), N);
  return true;
}

String TStringField::GetAsString() {
  String S;
  GetValue(S);
  if (FFixedChar) S = TrimRight(S);
  return S;
}

void TStringField::SetAsString(const String& Value) { SetAsAnsiString(ToAnsi(Value)); }

AnsiString TStringField::GetAsAnsiString() { return ToAnsi(GetAsString()); }

void TStringField::SetAsAnsiString(const AnsiString& Value) {
  TValueBuffer B(GetDataSize(), 0);
  size_t N = std::min<size_t>(Value.size(), size_t(GetSize()));
  std::memcpy(B.data(), Value.data(), N);
  SetData(&B);
}

Variant TStringField::GetAsVariant() {
  String S;
  if (!GetValue(S)) return Null;
  return FFixedChar ? TrimRight(S) : S;
}

void TStringField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else SetAsString(VarToStr(Value));
}

Integer TStringField::GetAsInteger() {
  Int64 V = GetAsLargeInt();
  if (V < std::numeric_limits<Integer>::min() || V > std::numeric_limits<Integer>::max())
    DatabaseErrorFmt(SInvalidIntegerValue, {GetAsString(), GetDisplayName()});
  return Integer(V);
}

Int64 TStringField::GetAsLargeInt() {
  String S = Trim(GetAsString());
  Int64 V = 0;
  if (!TryStrToInt64(S, V)) DatabaseErrorFmt(SInvalidIntegerValue, {S, GetDisplayName()});
  return V;
}

Double TStringField::GetAsFloat() {
  String S = Trim(GetAsString());
  Double V = 0;
  if (!TryStrToFloat(S, V)) DatabaseErrorFmt(SInvalidFloatValue, {S, GetDisplayName()});
  return V;
}

bool TStringField::GetAsBoolean() {
  String S = GetAsString();
  return !S.empty() && (S[0] == L'Y' || S[0] == L'y' || S[0] == L'T' || S[0] == L't' || S[0] == L'1');
}

TWideStringField::TWideStringField(TComponent* AOwner) : TStringField(AOwner) { SetDataType(ftWideString); }

bool TWideStringField::GetValue(String& Value) {
  TValueBuffer B(GetDataSize());
  if (!GetData(B)) return false;
  const wchar_t* P = reinterpret_cast<const wchar_t*>(B.data());
  size_t Max = B.size() / 2, N = 0;
  while (N < Max && P[N]) ++N;
  Value.assign(P, N);
  return true;
}

String TWideStringField::GetAsString() {
  String S;
  GetValue(S);
  return S;
}

void TWideStringField::SetAsString(const String& Value) {
  TValueBuffer B(GetDataSize(), 0);
  size_t N = std::min<size_t>(Value.size(), size_t(GetSize()));
  std::memcpy(B.data(), Value.data(), N * 2);
  SetData(&B);
}

AnsiString TWideStringField::GetAsAnsiString() { return ToAnsi(GetAsString()); }
void TWideStringField::SetAsAnsiString(const AnsiString& Value) { SetAsString(FromAnsi(Value.data(), Value.size())); }

Variant TWideStringField::GetAsVariant() {
  String S;
  if (!GetValue(S)) return Null;
  return S;
}

void TWideStringField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else SetAsString(VarToStr(Value));
}

TGuidField::TGuidField(TComponent* AOwner) : TStringField(AOwner) {
  SetDataType(ftGuid);
  TField::SetSize(GuidSize);
}

void TGuidField::CheckTypeSize(Integer Value) {
  if (Value != GuidSize) DatabaseError(SInvalidFieldSize);
}

TGUID TGuidField::GetAsGuid() {
  String S = GetAsString();
  if (S.empty()) return TGUID{};
  return StringToGUID(S);
}

void TGuidField::SetAsGuid(const TGUID& Value) { SetAsString(GUIDToString(Value)); }

// ---- Numeric fields -------------------------------------------------------------------------------

PUBLISHED_DEF(TNumericField) {
  PROP(Alignment).Default(taRightJustify);
  PROP(DisplayFormat);
  PROP(EditFormat);
}

TNumericField::TNumericField(TComponent* AOwner) : TField(AOwner) { SetAlignment(taRightJustify); }

void TNumericField::SetDisplayFormat(const String& Value) {
  if (FDisplayFormat == Value) return;
  FDisplayFormat = Value;
  PropertyChanged(false);
}

void TNumericField::SetEditFormat(const String& Value) {
  if (FEditFormat == Value) return;
  FEditFormat = Value;
  PropertyChanged(false);
}

PUBLISHED_DEF(TIntegerField) {
  PROP(MaxValue).Default(0);
  PROP(MinValue).Default(0);
}

TIntegerField::TIntegerField(TComponent* AOwner) : TNumericField(AOwner) { SetDataType(ftInteger); }

bool TIntegerField::GetValue(Int64& Value) {
  Integer V = 0;
  if (!ReadNative(&V, 4)) return false;
  Value = V;
  return true;
}

void TIntegerField::SetValue64(Int64 Value) {
  CheckRange(Value, std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max());
  Integer V = Integer(Value);
  WriteNative(&V, 4);
}

void TIntegerField::CheckRange(Int64 Value, Int64 Min, Int64 Max) {
  if (FMinValue != 0 || FMaxValue != 0) {
    Min = std::max<Int64>(Min, FMinValue);
    Max = std::min<Int64>(Max, FMaxValue);
  }
  if (Value < Min || Value > Max) RangeError(IntToStr(Value), IntToStr(Min), IntToStr(Max));
}

Integer TIntegerField::GetAsInteger() {
  Int64 V = 0;
  GetValue(V);
  return Integer(V);
}

void TIntegerField::SetAsInteger(Integer Value) { SetValue64(Value); }
void TIntegerField::SetAsLargeInt(Int64 Value) { SetValue64(Value); }

void TIntegerField::SetAsFloat(Double Value) {
  if (!std::isfinite(Value) || Value > 9.2e18 || Value < -9.2e18)
    RangeError(FloatToStr(Value), IntToStr(FMinValue), IntToStr(FMaxValue));
  SetValue64(Round(Value));
}

String TIntegerField::GetAsString() {
  Int64 V = 0;
  return GetValue(V) ? IntToStr(V) : String();
}

void TIntegerField::SetAsString(const String& Value) {
  String S = Trim(Value);
  if (S.empty()) {
    Clear();
    return;
  }
  Int64 V = 0;
  if (!TryStrToInt64(S, V)) DatabaseErrorFmt(SInvalidIntegerValue, {Value, GetDisplayName()});
  SetValue64(V);
}

Variant TIntegerField::GetAsVariant() {
  Int64 V = 0;
  if (!GetValue(V)) return Null;
  return Integer(V);
}

void TIntegerField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetValue64(Value.AsInt64());
}

void TIntegerField::GetText(String& Text, bool DisplayText) {
  Int64 V = 0;
  if (!GetValue(V)) {
    Text.clear();
    return;
  }
  const String& Fmt = DisplayText || GetEditFormat().empty() ? GetDisplayFormat() : GetEditFormat();
  Text = Fmt.empty() ? IntToStr(V) : FormatFloat(Fmt, Extended(V));
}

TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftSmallint); }
bool TSmallintField::GetValue(Int64& Value) {
  SmallInt V = 0;
  if (!ReadNative(&V, 2)) return false;
  Value = V;
  return true;
}
void TSmallintField::SetValue64(Int64 Value) {
  CheckRange(Value, -32768, 32767);
  SmallInt V = SmallInt(Value);
  WriteNative(&V, 2);
}

TShortintField::TShortintField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftShortint); }
bool TShortintField::GetValue(Int64& Value) {
  ShortInt V = 0;
  if (!ReadNative(&V, 1)) return false;
  Value = V;
  return true;
}
void TShortintField::SetValue64(Int64 Value) {
  CheckRange(Value, -128, 127);
  ShortInt V = ShortInt(Value);
  WriteNative(&V, 1);
}

TByteField::TByteField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftByte); }
bool TByteField::GetValue(Int64& Value) {
  Byte V = 0;
  if (!ReadNative(&V, 1)) return false;
  Value = V;
  return true;
}
void TByteField::SetValue64(Int64 Value) {
  CheckRange(Value, 0, 255);
  Byte V = Byte(Value);
  WriteNative(&V, 1);
}

TWordField::TWordField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftWord); }
bool TWordField::GetValue(Int64& Value) {
  Word V = 0;
  if (!ReadNative(&V, 2)) return false;
  Value = V;
  return true;
}
void TWordField::SetValue64(Int64 Value) {
  CheckRange(Value, 0, 65535);
  Word V = Word(Value);
  WriteNative(&V, 2);
}

TAutoIncField::TAutoIncField(TComponent* AOwner) : TIntegerField(AOwner) {
  SetDataType(ftAutoInc);
  SetAutoGenerateValue(arAutoInc);
}

TLongWordField::TLongWordField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftLongWord); }
bool TLongWordField::GetValue(Int64& Value) {
  Cardinal V = 0;
  if (!ReadNative(&V, 4)) return false;
  Value = V;
  return true;
}
void TLongWordField::SetValue64(Int64 Value) {
  CheckRange(Value, 0, 4294967295LL);
  Cardinal V = Cardinal(Value);
  WriteNative(&V, 4);
}
Cardinal TLongWordField::GetAsLongWord() { return Cardinal(GetAsLargeInt()); }
Int64 TLongWordField::GetAsLargeInt() {
  Int64 V = 0;
  GetValue(V);
  return V;
}
Variant TLongWordField::GetAsVariant() {
  Int64 V = 0;
  if (!GetValue(V)) return Null;
  return Cardinal(V);
}

TLargeintField::TLargeintField(TComponent* AOwner) : TIntegerField(AOwner) { SetDataType(ftLargeint); }
bool TLargeintField::GetValue(Int64& Value) { return ReadNative(&Value, 8); }
void TLargeintField::SetValue64(Int64 Value) {
  if ((FLargeMin != 0 || FLargeMax != 0) && (Value < FLargeMin || Value > FLargeMax))
    RangeError(IntToStr(Value), IntToStr(FLargeMin), IntToStr(FLargeMax));
  WriteNative(&Value, 8);
}
Int64 TLargeintField::GetAsLargeInt() {
  Int64 V = 0;
  GetValue(V);
  return V;
}
Variant TLargeintField::GetAsVariant() {
  Int64 V = 0;
  if (!GetValue(V)) return Null;
  return (long long)V;
}

// ---- Floats ----------------------------------------------------------------------------------------

PUBLISHED_DEF(TFloatField) {
  PROP(Currency).Default(false);
  PROP(MaxValue);
  PROP(MinValue);
  PROP(Precision).Default(15);
}

TFloatField::TFloatField(TComponent* AOwner) : TNumericField(AOwner) { SetDataType(ftFloat); }

void TFloatField::SetCurrency(bool Value) {
  if (FCurrency == Value) return;
  FCurrency = Value;
  PropertyChanged(false);
}

void TFloatField::SetPrecision(Integer Value) {
  if (Value < 2) Value = 2;
  if (Value > 15) Value = 15;
  if (FPrecision == Value) return;
  FPrecision = Value;
  PropertyChanged(false);
}

bool TFloatField::GetValue(Double& Value) { return ReadNative(&Value, 8); }
void TFloatField::StoreValue(Double Value) { WriteNative(&Value, 8); }

Double TFloatField::GetAsFloat() {
  Double V = 0;
  GetValue(V);
  return V;
}

void TFloatField::SetAsFloat(Double Value) {
  if ((FMinValue != 0 || FMaxValue != 0) && (Value < FMinValue || Value > FMaxValue))
    RangeError(FloatToStr(Value), FloatToStr(FMinValue), FloatToStr(FMaxValue));
  StoreValue(Value);
}

Integer TFloatField::GetAsInteger() { return Integer(Round(GetAsFloat())); }

String TFloatField::GetAsString() {
  Double V = 0;
  return GetValue(V) ? FloatToStr(V) : String();
}

void TFloatField::SetAsString(const String& Value) {
  String S = Trim(Value);
  if (S.empty()) {
    Clear();
    return;
  }
  Double V = 0;
  if (!TryStrToFloat(S, V)) DatabaseErrorFmt(SInvalidFloatValue, {Value, GetDisplayName()});
  SetAsFloat(V);
}

Variant TFloatField::GetAsVariant() {
  Double V = 0;
  if (!GetValue(V)) return Null;
  return V;
}

void TFloatField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetAsFloat(Value.AsDouble());
}

void TFloatField::GetText(String& Text, bool DisplayText) {
  Double V = 0;
  if (!GetValue(V)) {
    Text.clear();
    return;
  }
  String Fmt = DisplayText || GetEditFormat().empty() ? GetDisplayFormat() : GetEditFormat();
  if (!Fmt.empty()) Text = FormatFloat(Fmt, V);
  else if (FCurrency && DisplayText) Text = FloatToStrF(V, ffCurrency, FPrecision, FormatSettings.CurrencyDecimals);
  else if (FCurrency) Text = FloatToStrF(V, ffFixed, FPrecision, FormatSettings.CurrencyDecimals);
  else Text = FloatToStrF(V, ffGeneral, FPrecision, 0);
}

TCurrencyField::TCurrencyField(TComponent* AOwner) : TFloatField(AOwner) {
  SetDataType(ftCurrency);
  FCurrency = true;
}

TSingleField::TSingleField(TComponent* AOwner) : TFloatField(AOwner) {
  SetDataType(ftSingle);
  FPrecision = 7;
}
bool TSingleField::GetValue(Double& Value) {
  Single V = 0;
  if (!ReadNative(&V, 4)) return false;
  Value = V;
  return true;
}
void TSingleField::StoreValue(Double Value) {
  Single V = Single(Value);
  WriteNative(&V, 4);
}
Variant TSingleField::GetAsVariant() {
  Double V = 0;
  if (!GetValue(V)) return Null;
  return Single(V);
}

namespace {
// 80-bit extended in its 10-byte form (sign, 15-bit exponent, 64-bit mantissa with the explicit
// integer bit), written from and read into a double.
void DoubleToExt10(Double D, Byte* P) {
  std::memset(P, 0, 10);
  if (D == 0) {
    if (std::signbit(D)) P[9] = 0x80;
    return;
  }
  int Exp = 0;
  double M = std::frexp(std::fabs(D), &Exp);  // 0.5 <= M < 1
  UInt64 Mant = UInt64(std::ldexp(M, 64));
  Integer E = Exp - 1 + 16383;
  std::memcpy(P, &Mant, 8);
  Word SE = Word(E) | (D < 0 ? 0x8000 : 0);
  std::memcpy(P + 8, &SE, 2);
}
Double Ext10ToDouble(const Byte* P) {
  UInt64 Mant = 0;
  Word SE = 0;
  std::memcpy(&Mant, P, 8);
  std::memcpy(&SE, P + 8, 2);
  Integer E = SE & 0x7FFF;
  if (Mant == 0 && E == 0) return (SE & 0x8000) ? -0.0 : 0.0;
  double V = std::ldexp(double(Mant), E - 16383 - 63);
  return (SE & 0x8000) ? -V : V;
}
}  // namespace

TExtendedField::TExtendedField(TComponent* AOwner) : TFloatField(AOwner) {
  SetDataType(ftExtended);
  FPrecision = 15;
}
bool TExtendedField::GetValue(Double& Value) {
  Byte B[10];
  if (!ReadNative(B, 10)) return false;
  Value = Ext10ToDouble(B);
  return true;
}
void TExtendedField::StoreValue(Double Value) {
  Byte B[10];
  DoubleToExt10(Value, B);
  WriteNative(B, 10);
}
Extended TExtendedField::GetAsExtended() { return GetAsFloat(); }
void TExtendedField::SetAsExtended(Extended Value) { SetAsFloat(Double(Value)); }

// ---- BCD ---------------------------------------------------------------------------------------------

PUBLISHED_DEF(TBCDField) {
  PROP(Currency).Default(false);
  PROP(MaxValue);
  PROP(MinValue);
  PROP(Precision).Default(0);
  PROP(Size).Default(4);
}

TBCDField::TBCDField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftBCD);
  TField::SetSize(4);
}

void TBCDField::CheckTypeSize(Integer Value) {
  if (Value < 0 || Value > 4) DatabaseError(SInvalidFieldSize);
}

bool TBCDField::GetValue(Currency& Value) {
  Int64 Raw = 0;
  if (!ReadNative(&Raw, 8, false)) return false;
  Value = Currency::FromRaw(Raw);
  return true;
}

Currency TBCDField::GetAsCurrency() {
  Currency C;
  GetValue(C);
  return C;
}

void TBCDField::SetAsCurrency(Currency Value) {
  if ((FMinValue != Currency() || FMaxValue != Currency()) && (Value < FMinValue || Value > FMaxValue))
    RangeError(CurrToStr(Value), CurrToStr(FMinValue), CurrToStr(FMaxValue));
  Int64 Raw = Value.Raw();
  WriteNative(&Raw, 8, false);
}

TBcd TBCDField::GetAsBCD() {
  TBcd B;
  if (!ReadNative(&B, sizeof(B))) return NullBcd;
  return B;
}

void TBCDField::SetAsBCD(const TBcd& Value) {
  Currency C;
  if (!BCDToCurr(Value, C)) throw EBcdOverflowException(L"BCD overflow");
  SetAsCurrency(C);
}

String TBCDField::GetAsString() {
  Currency C;
  return GetValue(C) ? CurrToStr(C) : String();
}

void TBCDField::SetAsString(const String& Value) {
  String S = Trim(Value);
  if (S.empty()) {
    Clear();
    return;
  }
  Currency C;
  if (!TryStrToCurr(S, C)) DatabaseErrorFmt(SInvalidFloatValue, {Value, GetDisplayName()});
  SetAsCurrency(C);
}

Variant TBCDField::GetAsVariant() {
  Currency C;
  if (!GetValue(C)) return Null;
  return C;
}

void TBCDField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetAsCurrency(Value.AsCurrency());
}

void TBCDField::GetText(String& Text, bool DisplayText) {
  Currency C;
  if (!GetValue(C)) {
    Text.clear();
    return;
  }
  String Fmt = DisplayText || GetEditFormat().empty() ? GetDisplayFormat() : GetEditFormat();
  if (!Fmt.empty()) Text = FormatCurr(Fmt, C);
  else if (FCurrency && DisplayText) Text = CurrToStrF(C, ffCurrency, FormatSettings.CurrencyDecimals);
  else if (FCurrency) Text = CurrToStrF(C, ffFixed, FormatSettings.CurrencyDecimals);
  else Text = CurrToStr(C);
}

PUBLISHED_DEF(TFMTBCDField) {
  PROP(Currency).Default(false);
  PROP(MaxValue);
  PROP(MinValue);
  PROP(Precision).Default(0);
  PROP(Size).Default(8);
}

TFMTBCDField::TFMTBCDField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftFMTBcd);
  TField::SetSize(8);
}

void TFMTBCDField::CheckTypeSize(Integer Value) {
  if (Value < 0 || Value > MaxFMTBcdFractionSize) DatabaseError(SInvalidFieldSize);
}

bool TFMTBCDField::GetValue(TBcd& Value) { return ReadNative(&Value, sizeof(TBcd)); }

TBcd TFMTBCDField::GetAsBCD() {
  TBcd B;
  if (!GetValue(B)) return NullBcd;
  return B;
}

void TFMTBCDField::SetAsBCD(const TBcd& Value) {
  TBcd V = Value;
  if (FPrecision > 0) {
    TBcd N;
    if (!NormalizeBcd(Value, N, Word(FPrecision), Word(GetSize()))) throw EBcdOverflowException(L"BCD overflow");
    V = N;
  }
  if (!FMinValue.empty() && BcdCompare(V, StrToBcd(FMinValue)) < 0) RangeError(BcdToStr(V), FMinValue, FMaxValue);
  if (!FMaxValue.empty() && BcdCompare(V, StrToBcd(FMaxValue)) > 0) RangeError(BcdToStr(V), FMinValue, FMaxValue);
  WriteNative(&V, sizeof(V));
}

Currency TFMTBCDField::GetAsCurrency() {
  Currency C;
  BCDToCurr(GetAsBCD(), C);
  return C;
}

void TFMTBCDField::SetAsCurrency(Currency Value) {
  TBcd B;
  CurrToBCD(Value, B);
  SetAsBCD(B);
}

String TFMTBCDField::GetAsString() {
  TBcd B;
  return GetValue(B) ? BcdToStr(B) : String();
}

void TFMTBCDField::SetAsString(const String& Value) {
  String S = Trim(Value);
  if (S.empty()) {
    Clear();
    return;
  }
  TBcd B;
  if (!TryStrToBcd(S, B)) DatabaseErrorFmt(SInvalidFloatValue, {Value, GetDisplayName()});
  SetAsBCD(B);
}

Variant TFMTBCDField::GetAsVariant() {
  TBcd B;
  if (!GetValue(B)) return Null;
  return VarFMTBcdCreate(B);
}

void TFMTBCDField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetAsBCD(VarToBcd(Value));
}

void TFMTBCDField::GetText(String& Text, bool DisplayText) {
  TBcd B;
  if (!GetValue(B)) {
    Text.clear();
    return;
  }
  String Fmt = DisplayText || GetEditFormat().empty() ? GetDisplayFormat() : GetEditFormat();
  if (!Fmt.empty()) Text = FormatBcd(Fmt, B);
  else if (FCurrency && DisplayText) Text = BcdToStrF(B, ffCurrency, 32, FormatSettings.CurrencyDecimals);
  else Text = BcdToStr(B);
}

// ---- Boolean -------------------------------------------------------------------------------------

PUBLISHED_DEF(TBooleanField) { PROP(DisplayValues); }

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftBoolean);
  FTextValues[0] = STextFalse;
  FTextValues[1] = STextTrue;
}

void TBooleanField::SetDisplayValues(const String& Value) {
  FDisplayValues = Value;
  if (Value.empty()) {
    FTextValues[0] = STextFalse;
    FTextValues[1] = STextTrue;
  } else {
    Integer P = Pos(L';', Value);
    if (P == 0) P = Length(Value) + 1;
    FTextValues[1] = Copy(Value, 1, P - 1);
    FTextValues[0] = Copy(Value, P + 1);
  }
  PropertyChanged(true);
}

Integer TBooleanField::GetDefaultWidth() const {
  return std::max(Length(FTextValues[0]), Length(FTextValues[1]));
}

bool TBooleanField::GetAsBoolean() {
  Word V = 0;
  ReadNative(&V, 2);
  return V != 0;
}

void TBooleanField::SetAsBoolean(bool Value) {
  Word V = Value ? 1 : 0;
  WriteNative(&V, 2);
}

String TBooleanField::GetAsString() {
  Word V = 0;
  if (!ReadNative(&V, 2)) return String();
  return FTextValues[V != 0 ? 1 : 0];
}

void TBooleanField::SetAsString(const String& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  // A leading part of a text counts, so "T" and "F" (or "Y" for "Yes") are accepted.
  auto Matches = [&](const String& Text) {
    return !Text.empty() && AnsiCompareText(Copy(Text, 1, Length(Value)), Value) == 0;
  };
  if (Matches(FTextValues[0])) SetAsBoolean(false);
  else if (Matches(FTextValues[1])) SetAsBoolean(true);
  else DatabaseErrorFmt(SInvalidBoolValue, {Value, GetDisplayName()});
}

Variant TBooleanField::GetAsVariant() {
  Word V = 0;
  if (!ReadNative(&V, 2)) return Null;
  return V != 0;
}

void TBooleanField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetAsBoolean(Value.AsBoolean());
}

void TBooleanField::GetText(String& Text, bool) { Text = GetAsString(); }

// ---- Dates and times -----------------------------------------------------------------------------

PUBLISHED_DEF(TDateTimeField) { PROP(DisplayFormat); }

TDateTimeField::TDateTimeField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftDateTime); }

void TDateTimeField::SetDisplayFormat(const String& Value) {
  if (FDisplayFormat == Value) return;
  FDisplayFormat = Value;
  PropertyChanged(false);
}

bool TDateTimeField::GetValue(TDateTime& Value) {
  Double D = 0;
  if (!ReadNative(&D, 8, false)) return false;
  Value = TDateTime(D);
  return true;
}

TDateTime TDateTimeField::GetAsDateTime() {
  TDateTime D;
  GetValue(D);
  return D;
}

void TDateTimeField::SetAsDateTime(TDateTime Value) {
  Double D = Value.Val;
  WriteNative(&D, 8, false);
}

String TDateTimeField::GetAsString() {
  String T;
  GetText(T, false);
  return T;
}

void TDateTimeField::SetAsString(const String& Value) {
  if (Trim(Value).empty()) {
    Clear();
    return;
  }
  switch (GetDataType()) {
    case ftDate: SetAsDateTime(StrToDate(Value)); break;
    case ftTime: SetAsDateTime(StrToTime(Value)); break;
    default: SetAsDateTime(StrToDateTime(Value)); break;
  }
}

Variant TDateTimeField::GetAsVariant() {
  TDateTime D;
  if (!GetValue(D)) return Null;
  return D;
}

void TDateTimeField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetAsDateTime(Value.AsDateTime());
}

void TDateTimeField::GetText(String& Text, bool DisplayText) {
  TDateTime D;
  if (!GetValue(D)) {
    Text.clear();
    return;
  }
  String Fmt;
  if (DisplayText && !FDisplayFormat.empty()) Fmt = FDisplayFormat;
  else if (GetDataType() == ftDate) Fmt = FormatSettings.ShortDateFormat;
  else if (GetDataType() == ftTime) Fmt = FormatSettings.LongTimeFormat;
  Text = Fmt.empty() ? DateTimeToStr(D) : FormatDateTime(Fmt, D);
}

TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner) { SetDataType(ftDate); }
TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner) { SetDataType(ftTime); }

PUBLISHED_DEF(TSQLTimeStampField) { PROP(DisplayFormat); }

TSQLTimeStampField::TSQLTimeStampField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftTimeStamp); }

void TSQLTimeStampField::SetDisplayFormat(const String& Value) {
  if (FDisplayFormat == Value) return;
  FDisplayFormat = Value;
  PropertyChanged(false);
}

TSQLTimeStamp TSQLTimeStampField::GetAsSQLTimeStamp() {
  TSQLTimeStamp T;
  if (!ReadNative(&T, sizeof(T))) return NullSQLTimeStamp;
  return T;
}

void TSQLTimeStampField::SetAsSQLTimeStamp(const TSQLTimeStamp& Value) { WriteNative(&Value, sizeof(Value)); }

String TSQLTimeStampField::GetAsString() {
  String T;
  GetText(T, false);
  return T;
}

void TSQLTimeStampField::SetAsString(const String& Value) {
  if (Trim(Value).empty()) Clear();
  else SetAsSQLTimeStamp(StrToSQLTimeStamp(Value));
}

Variant TSQLTimeStampField::GetAsVariant() {
  TSQLTimeStamp T;
  if (!ReadNative(&T, sizeof(T))) return Null;
  return VarSQLTimeStampCreate(T);
}

void TSQLTimeStampField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else SetAsSQLTimeStamp(VarToSQLTimeStamp(Value));
}

void TSQLTimeStampField::GetText(String& Text, bool DisplayText) {
  TSQLTimeStamp T;
  if (!ReadNative(&T, sizeof(T))) {
    Text.clear();
    return;
  }
  Text = SQLTimeStampToStr(DisplayText ? FDisplayFormat : String(), T);
}

TSQLTimeStampOffsetField::TSQLTimeStampOffsetField(TComponent* AOwner) : TSQLTimeStampField(AOwner) {
  SetDataType(ftTimeStampOffset);
}

TSQLTimeStampOffset TSQLTimeStampOffsetField::GetAsSQLTimeStampOffset() {
  TSQLTimeStampOffset T;
  if (!ReadNative(&T, sizeof(T))) return NullSQLTimeStampOffset;
  return T;
}

void TSQLTimeStampOffsetField::SetAsSQLTimeStampOffset(const TSQLTimeStampOffset& Value) {
  WriteNative(&Value, sizeof(Value));
}

TSQLTimeStamp TSQLTimeStampOffsetField::GetAsSQLTimeStamp() {
  return SQLTimeStampOffsetToSQLTimeStamp(GetAsSQLTimeStampOffset());
}

void TSQLTimeStampOffsetField::SetAsSQLTimeStamp(const TSQLTimeStamp& Value) {
  SetAsSQLTimeStampOffset(SQLTimeStampToSQLTimeStampOffset(Value));
}

String TSQLTimeStampOffsetField::GetAsString() {
  TSQLTimeStampOffset T;
  if (!ReadNative(&T, sizeof(T))) return String();
  return SQLTimeStampOffsetToStr(String(), T);
}

Variant TSQLTimeStampOffsetField::GetAsVariant() {
  TSQLTimeStampOffset T;
  if (!ReadNative(&T, sizeof(T))) return Null;
  return VarSQLTimeStampOffsetCreate(T);
}

void TSQLTimeStampOffsetField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else SetAsSQLTimeStampOffset(VarToSQLTimeStampOffset(Value));
}

// ---- Binary --------------------------------------------------------------------------------------

TBinaryField::TBinaryField(TComponent* AOwner) : TField(AOwner) { TField::SetSize(16); }

void TBinaryField::CheckTypeSize(Integer Value) {
  if (Value < 1) DatabaseError(SInvalidFieldSize);
}

TBytes TBinaryField::GetAsBytes() {
  TValueBuffer B(GetDataSize());
  if (!GetData(B)) return TBytes();
  if (GetDataType() == ftVarBytes) {
    Word L = 0;
    std::memcpy(&L, B.data(), 2);
    L = std::min<Word>(L, Word(B.size() - 2));
    return TBytes(B.begin() + 2, B.begin() + 2 + L);
  }
  B.resize(GetSize());
  return B;
}

void TBinaryField::SetAsBytes(const TBytes& Value) {
  TValueBuffer B(GetDataSize(), 0);
  if (GetDataType() == ftVarBytes) {
    Word L = Word(std::min<size_t>(Value.size(), size_t(GetSize())));
    std::memcpy(B.data(), &L, 2);
    std::memcpy(B.data() + 2, Value.data(), L);
  } else {
    std::memcpy(B.data(), Value.data(), std::min<size_t>(Value.size(), B.size()));
  }
  SetData(&B);
}

Variant TBinaryField::GetAsVariant() {
  if (IsNull()) return Null;
  TBytes B = GetAsBytes();
  Variant V = VarArrayCreate({0, Integer(B.size()) - 1}, varByte);
  for (size_t I = 0; I < B.size(); ++I) V[Integer(I)] = B[I];
  return V;
}

void TBinaryField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) {
    Clear();
  } else if (VarIsArray(Value)) {
    TBytes B;
    for (Integer I = VarArrayLowBound(Value, 1); I <= VarArrayHighBound(Value, 1); ++I)
      B.push_back(Byte(Value[I].AsInteger()));
    SetAsBytes(B);
  } else {
    SetAsString(VarToStr(Value));
  }
}

String TBinaryField::GetAsString() {
  TBytes B = GetAsBytes();
  return FromAnsi(reinterpret_cast<const char*>(B.data()), B.size());
}

void TBinaryField::SetAsString(const String& Value) {
  AnsiString A = ToAnsi(Value);
  SetAsBytes(TBytes(A.begin(), A.end()));
}

void TBinaryField::GetText(String& Text, bool) {
  Text = IsNull() ? String() : L"(" + String(FieldTypeNames[GetDataType()]) + L")";
}

TBytesField::TBytesField(TComponent* AOwner) : TBinaryField(AOwner) { SetDataType(ftBytes); }
TVarBytesField::TVarBytesField(TComponent* AOwner) : TBinaryField(AOwner) { SetDataType(ftVarBytes); }

// ---- Blobs ---------------------------------------------------------------------------------------

PUBLISHED_DEF(TBlobField) {
  PROP(BlobType).Default(ftBlob);
  PROP(GraphicHeader).Default(true);
  PROP(Size).Default(0);
  PROP(Transliterate).Default(false);
}

TBlobField::TBlobField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftBlob); }

void TBlobField::CheckTypeSize(Integer Value) {
  if (Value < 0) DatabaseError(SInvalidFieldSize);
}

void TBlobField::SetBlobType(TBlobType Value) {
  if (ftBlobTypes.Contains(Value)) SetDataType(Value);
}

TBytes TBlobField::ReadAll() {
  if (!GetDataSet()) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
  std::unique_ptr<TStream> S(GetDataSet()->CreateBlobStream(this, bmRead));
  if (S) {
    TBytes B(size_t(S->GetSize()));
    S->SetPosition(0);
    if (!B.empty()) S->ReadBuffer(B.data(), Integer(B.size()));
    return B;
  }
  TValueBuffer B;
  if (!GetData(B)) return TBytes();
  return B;
}

void TBlobField::WriteAll(const TBytes& Data) {
  if (!GetDataSet()) DatabaseErrorFmt(SDataSetMissing, {GetDisplayName()});
  std::unique_ptr<TStream> S(GetDataSet()->CreateBlobStream(this, bmWrite));
  if (S) {
    if (!Data.empty()) S->WriteBuffer(Data.data(), Integer(Data.size()));
    return;
  }
  SetData(&Data);
}

void TBlobField::Clear() { TField::Clear(); }

Integer TBlobField::GetBlobSize() { return Integer(ReadAll().size()); }

void TBlobField::LoadFromStream(TStream* Stream) {
  TBytes B(size_t(Stream->GetSize() - Stream->GetPosition()));
  if (!B.empty()) Stream->ReadBuffer(B.data(), Integer(B.size()));
  WriteAll(B);
}

void TBlobField::SaveToStream(TStream* Stream) {
  TBytes B = ReadAll();
  if (!B.empty()) Stream->WriteBuffer(B.data(), Integer(B.size()));
}

void TBlobField::LoadFromFile(const String& FileName) {
  TFileStream S(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&S);
}

void TBlobField::SaveToFile(const String& FileName) {
  TFileStream S(FileName, fmCreate);
  SaveToStream(&S);
}

TBytes TBlobField::GetAsBytes() { return ReadAll(); }
void TBlobField::SetAsBytes(const TBytes& Value) { WriteAll(Value); }

String TBlobField::GetAsString() {
  TBytes B = ReadAll();
  return FromAnsi(reinterpret_cast<const char*>(B.data()), B.size());
}

void TBlobField::SetAsString(const String& Value) { SetAsAnsiString(ToAnsi(Value)); }

AnsiString TBlobField::GetAsAnsiString() {
  TBytes B = ReadAll();
  return AnsiString(B.begin(), B.end());
}

void TBlobField::SetAsAnsiString(const AnsiString& Value) { WriteAll(TBytes(Value.begin(), Value.end())); }

Variant TBlobField::GetAsVariant() {
  if (IsNull()) return Null;
  TBytes B = ReadAll();
  Variant V = VarArrayCreate({0, Integer(B.size()) - 1}, varByte);
  for (size_t I = 0; I < B.size(); ++I) V[Integer(I)] = B[I];
  return V;
}

void TBlobField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) {
    Clear();
  } else if (VarIsArray(Value)) {
    TBytes B;
    for (Integer I = VarArrayLowBound(Value, 1); I <= VarArrayHighBound(Value, 1); ++I)
      B.push_back(Byte(Value[I].AsInteger()));
    WriteAll(B);
  } else {
    SetAsString(VarToStr(Value));
  }
}

void TBlobField::GetText(String& Text, bool) {
  String Name = FieldTypeNames[GetDataType()];
  Text = IsNull() ? L"(" + Name + L")" : L"(" + UpperCase(Name) + L")";
}

TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner) {
  SetDataType(ftMemo);
  SetTransliterate(true);
}
String TMemoField::GetAsString() { return TBlobField::GetAsString(); }
void TMemoField::SetAsString(const String& Value) { TBlobField::SetAsString(Value); }
Variant TMemoField::GetAsVariant() {
  if (IsNull()) return Null;
  return GetAsString();
}

TWideMemoField::TWideMemoField(TComponent* AOwner) : TBlobField(AOwner) { SetDataType(ftWideMemo); }
String TWideMemoField::GetAsString() {
  TBytes B = ReadAll();
  return String(reinterpret_cast<const wchar_t*>(B.data()), B.size() / 2);
}
void TWideMemoField::SetAsString(const String& Value) {
  const Byte* P = reinterpret_cast<const Byte*>(Value.data());
  WriteAll(TBytes(P, P + Value.size() * 2));
}
Variant TWideMemoField::GetAsVariant() {
  if (IsNull()) return Null;
  return GetAsString();
}

TGraphicField::TGraphicField(TComponent* AOwner) : TBlobField(AOwner) { SetDataType(ftGraphic); }

// ---- Variant, interface, aggregate ----------------------------------------------------------------
// Their native buffers hold a live object placed in the bytes: whoever fills a buffer constructs
// it there, and whoever receives the buffer copies the object out and destroys the one in place.

TVariantField::TVariantField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftVariant); }

Variant TVariantField::GetAsVariant() {
  TValueBuffer B(sizeof(Variant));
  if (!GetData(B)) return Null;
  Variant* P = std::launder(reinterpret_cast<Variant*>(B.data()));
  Variant Result = *P;
  P->~Variant();
  return Result;
}

void TVariantField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) {
    Clear();
    return;
  }
  alignas(Variant) TValueBuffer B(sizeof(Variant));
  Variant* P = new (B.data()) Variant(Value);
  try {
    SetData(&B);
  } catch (...) {
    P->~Variant();
    throw;
  }
  P->~Variant();
}

TInterfaceField::TInterfaceField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftInterface); }

IPtr<IInterface> TInterfaceField::GetAsInterface() {
  TValueBuffer B(sizeof(IPtr<IInterface>));
  if (!GetData(B)) return nullptr;
  auto* P = std::launder(reinterpret_cast<IPtr<IInterface>*>(B.data()));
  IPtr<IInterface> Result = *P;
  P->~IPtr<IInterface>();
  return Result;
}

void TInterfaceField::SetAsInterface(const IPtr<IInterface>& Value) {
  if (!Value) {
    Clear();
    return;
  }
  TValueBuffer B(sizeof(IPtr<IInterface>));
  auto* P = new (B.data()) IPtr<IInterface>(Value);
  try {
    SetData(&B);
  } catch (...) {
    P->~IPtr<IInterface>();
    throw;
  }
  P->~IPtr<IInterface>();
}

Variant TInterfaceField::GetAsVariant() {
  IPtr<IInterface> I = GetAsInterface();
  if (!I) return Null;
  return Variant(I);
}

void TInterfaceField::SetAsVariant(const Variant& Value) {
  if (Value.IsNull() || Value.IsEmpty()) Clear();
  else SetAsInterface(Value.AsInterface());
}

TIDispatchField::TIDispatchField(TComponent* AOwner) : TInterfaceField(AOwner) { SetDataType(ftIDispatch); }

PUBLISHED_DEF(TAggregateField) {
  PROP(Active).Default(false);
  PROP(Currency).Default(false);
  PROP(DisplayFormat);
  PROP(Expression);
  PROP(Precision).Default(15);
}

TAggregateField::TAggregateField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftUnknown);
  TField::SetFieldKind(fkAggregate);
}

void TAggregateField::SetExpression(const String& Value) {
  FExpression = Value;
  if (GetDataSet()) GetDataSet()->ResetAggField(this);
}

void TAggregateField::SetActive(bool Value) {
  FActive = Value;
  if (GetDataSet()) GetDataSet()->ResetAggField(this);
}

Variant TAggregateField::GetAsVariant() {
  if (!GetDataSet()) return Null;
  return GetDataSet()->GetAggregateValue(this);
}

void TAggregateField::SetAsVariant(const Variant&) { DatabaseErrorFmt(SFieldReadOnly, {GetDisplayName()}); }

String TAggregateField::GetAsString() { return VarToStr(GetAsVariant()); }

void TAggregateField::GetText(String& Text, bool DisplayText) {
  Variant V = GetAsVariant();
  if (V.IsNull() || V.IsEmpty()) {
    Text.clear();
    return;
  }
  if (DisplayText && !FDisplayFormat.empty() && VarIsNumeric(V)) Text = FormatFloat(FDisplayFormat, V.AsDouble());
  else if (DisplayText && FCurrency && VarIsNumeric(V))
    Text = FloatToStrF(V.AsDouble(), ffCurrency, FPrecision, FormatSettings.CurrencyDecimals);
  else Text = VarToStr(V);
}

// ---- TFields -------------------------------------------------------------------------------------

TFields::~TFields() { FList.clear(); }

void TFields::Add(TField* Field) { FList.push_back(Field); }

void TFields::Remove(TField* Field) { FList.erase(std::remove(FList.begin(), FList.end(), Field), FList.end()); }

void TFields::Clear() {
  while (!FList.empty()) {
    TField* F = FList.back();
    FList.pop_back();
    F->FDataSet = nullptr;
    delete F;
  }
}

TField* TFields::FindField(const String& FieldName) const {
  for (TField* F : FList)
    if (AnsiCompareText(F->GetFieldName(), FieldName) == 0) return F;
  return nullptr;
}

TField* TFields::FieldByName(const String& FieldName) const {
  TField* F = FindField(FieldName);
  if (!F) DatabaseErrorFmt(SFieldNotFound, {FieldName}, FDataSet);
  return F;
}

TField* TFields::FieldByNumber(Integer FieldNo) const {
  for (TField* F : FList)
    if (F->GetFieldNo() == FieldNo) return F;
  return nullptr;
}

Integer TFields::IndexOf(TField* Field) const {
  auto It = std::find(FList.begin(), FList.end(), Field);
  return It == FList.end() ? -1 : Integer(It - FList.begin());
}

TField* TFields::GetField(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) DatabaseError(SFieldIndexError, FDataSet);
  return FList[Index];
}

void TFields::SetFieldIndex(TField* Field, Integer Value) {
  Integer Cur = IndexOf(Field);
  if (Cur < 0) return;
  if (Value < 0) Value = 0;
  if (Value >= GetCount()) Value = GetCount() - 1;
  if (Value == Cur) return;
  FList.erase(FList.begin() + Cur);
  FList.insert(FList.begin() + Value, Field);
}

// ---- Field classes by type -------------------------------------------------------------------------

TFieldClass DefaultFieldClass(TFieldType FieldType) {
  switch (FieldType) {
    case ftString: case ftFixedChar: return TStringField::StaticClass();
    case ftSmallint: return TSmallintField::StaticClass();
    case ftInteger: return TIntegerField::StaticClass();
    case ftWord: return TWordField::StaticClass();
    case ftBoolean: return TBooleanField::StaticClass();
    case ftFloat: return TFloatField::StaticClass();
    case ftCurrency: return TCurrencyField::StaticClass();
    case ftBCD: return TBCDField::StaticClass();
    case ftDate: return TDateField::StaticClass();
    case ftTime: return TTimeField::StaticClass();
    case ftDateTime: return TDateTimeField::StaticClass();
    case ftBytes: return TBytesField::StaticClass();
    case ftVarBytes: return TVarBytesField::StaticClass();
    case ftAutoInc: return TAutoIncField::StaticClass();
    case ftBlob: case ftParadoxOle: case ftDBaseOle: case ftTypedBinary: case ftOraBlob: return TBlobField::StaticClass();
    case ftMemo: case ftFmtMemo: case ftOraClob: return TMemoField::StaticClass();
    case ftGraphic: return TGraphicField::StaticClass();
    case ftWideString: case ftFixedWideChar: return TWideStringField::StaticClass();
    case ftLargeint: return TLargeintField::StaticClass();
    case ftVariant: return TVariantField::StaticClass();
    case ftInterface: return TInterfaceField::StaticClass();
    case ftIDispatch: return TIDispatchField::StaticClass();
    case ftGuid: return TGuidField::StaticClass();
    case ftTimeStamp: case ftOraTimeStamp: return TSQLTimeStampField::StaticClass();
    case ftFMTBcd: return TFMTBCDField::StaticClass();
    case ftWideMemo: return TWideMemoField::StaticClass();
    case ftLongWord: return TLongWordField::StaticClass();
    case ftShortint: return TShortintField::StaticClass();
    case ftByte: return TByteField::StaticClass();
    case ftExtended: return TExtendedField::StaticClass();
    case ftTimeStampOffset: return TSQLTimeStampOffsetField::StaticClass();
    case ftSingle: return TSingleField::StaticClass();
    default: return nullptr;
  }
}

bool OkToChangeFieldAlignment(TField* AField, TAlignment /*Alignment*/) {
  if (!AField) return true;
  switch (AField->GetDataType()) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD:
    case ftDate: case ftTime: case ftDateTime: case ftAutoInc:
      return false;
    default:
      return true;
  }
}
