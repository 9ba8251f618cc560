// The field routines of the family: display texts of field values, edit-mask texts, whether
// a set of fields can be changed, and the numeric and text field-type sets.

#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/DB.h"
#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

class ScopedSettings {
 public:
  explicit ScopedSettings(const TFormatSettings& S) : FSaved(FormatSettings) { FormatSettings = S; }
  ~ScopedSettings() { FormatSettings = FSaved; }

 private:
  TFormatSettings FSaved;
};

TDateTime FieldsAt(Word Y, Word Mo, Word D, Word H = 0, Word Mi = 0, Word S = 0) {
  TDateTime Result = EncodeDate(Y, Mo, D);
  ReplaceTime(Result, EncodeTime(H, Mi, S, 0));
  return Result;
}

Variant FieldsBcd(const wchar_t* Text) { return VarFMTBcdCreate(StrToBcd(Text, TFormatSettings::Invariant())); }

// An open dataset with one field of the type asked for.
class OneField {
 public:
  explicit OneField(TFieldType Type, Integer Size = 0) : DS(new TArrayDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"F", Type, Size);
    DS->Open();
    F = DS->FieldByName(L"F");
  }
  ~OneField() { delete DS; }
  TArrayDataSet* DS;
  TField* F;
};

void NoSetup(TField*) {}
void DisplayFormat0000(TField* F) { static_cast<TNumericField*>(F)->SetDisplayFormat(L"0000000"); }
void DisplayFormatThousands(TField* F) { static_cast<TNumericField*>(F)->SetDisplayFormat(L"#,##0.00"); }
void Precision4(TField* F) { static_cast<TFloatField*>(F)->SetPrecision(4); }
void DateDisplayFormat(TField* F) { static_cast<TDateTimeField*>(F)->SetDisplayFormat(L"yyyy"); }

struct DisplayCase {
  TFieldType Type;
  Integer Size;
  void (*Setup)(TField*);
  Variant Value;
  const wchar_t* Format;
  const wchar_t* Expected;
};

TEST(FieldDisplayText, ByFieldTypeUnderInvariantSettings) {
  ScopedSettings Scope(TFormatSettings::Invariant());
  const DisplayCase Cases[] = {
      {ftInteger, 0, NoSetup, Null, L"", L""},
      {ftInteger, 0, NoSetup, Unassigned, L"0.00", L""},
      {ftInteger, 0, NoSetup, Variant(1234), L"", L"1234"},
      {ftInteger, 0, NoSetup, Variant(1234), L"#,##0", L"1,234"},
      {ftSmallint, 0, DisplayFormat0000, Variant(-12), L"", L"-0000012"},
      {ftWord, 0, DisplayFormat0000, Variant(12), L"0.0", L"12.0"},  // the caller's format wins
      {ftFloat, 0, NoSetup, Variant(0.1), L"", L"0.1"},
      {ftFloat, 0, Precision4, Variant(1.0 / 3), L"", L"0.3333"},
      {ftFloat, 0, NoSetup, Variant(1234.5), L"0.00", L"1234.50"},
      {ftFloat, 0, DisplayFormatThousands, Variant(1234.5), L"", L"1,234.50"},
      {ftBCD, 2, NoSetup, Variant(Currency(12.5)), L"", L"12.5"},
      {ftBCD, 2, NoSetup, Variant(Currency(12.5)), L"0.000", L"12.500"},
      {ftBCD, 2, DisplayFormatThousands, Variant(Currency(1234.5)), L"", L"1,234.50"},
      {ftFMTBcd, 4, NoSetup, FieldsBcd(L"123456789012.1234"), L"", L"123456789012.1234"},
      // Past the Currency range the digits are kept rather than overflowing.
      {ftFMTBcd, 2, NoSetup, FieldsBcd(L"12345678901234567890.5"), L"", L"12345678901234567890.5"},
      {ftDate, 0, NoSetup, Variant(FieldsAt(2024, 1, 31)), L"", L"01/31/2024"},
      {ftDate, 0, NoSetup, Variant(FieldsAt(2024, 1, 31)), L"yyyy-mm-dd", L"2024-01-31"},
      {ftDate, 0, DateDisplayFormat, Variant(FieldsAt(2024, 1, 31)), L"", L"01/31/2024"},
      {ftTime, 0, NoSetup, Variant(FieldsAt(1899, 12, 30, 15, 4, 5)), L"", L"15:04:05"},
      {ftDateTime, 0, NoSetup, Variant(FieldsAt(2024, 1, 31, 15, 4, 5)), L"", L"01/31/2024 15:04:05"},
      {ftDateTime, 0, NoSetup, Variant(FieldsAt(2024, 1, 31)), L"", L"01/31/2024"},
      {ftDateTime, 0, NoSetup, Variant(FieldsAt(2024, 1, 31, 15, 4, 5)), L"hh:nn", L"15:04"},
      {ftString, 10, NoSetup, Variant(String(L"Iğdır")), L"0.00", L"Iğdır"},
      {ftBoolean, 0, NoSetup, Variant(true), L"", L"True"},
  };
  for (const DisplayCase& C : Cases) {
    OneField Data(C.Type, C.Size);
    C.Setup(Data.F);
    EXPECT_EQ(FieldValueToDisplayText(C.Value, Data.F, C.Format), String(C.Expected))
        << FieldTypeNames[C.Type] << " " << VarToStr(C.Value) << " / " << C.Format;
  }
}

TEST(FieldDisplayText, FollowsTheUserLocale) {
  ScopedSettings Scope(TFormatSettings::Create(L"tr-TR"));
  OneField Float(ftFloat), Date(ftDate);
  EXPECT_EQ(FieldValueToDisplayText(Variant(2.5), Float.F, L""), L"2,5");
  EXPECT_EQ(FieldValueToDisplayText(Variant(1234.5), Float.F, L"#,##0.00"), L"1.234,50");
  EXPECT_EQ(FieldValueToDisplayText(Variant(FieldsAt(2024, 1, 31)), Date.F, L""), L"31.01.2024");
}

TEST(FieldDisplayText, CurrencyFieldsShowTheLocaleCurrency) {
  TFormatSettings S = TFormatSettings::Invariant();
  S.CurrencyString = L"TL";
  S.CurrencyFormat = 3;  // "1 TL"
  S.CurrencyDecimals = 2;
  ScopedSettings Scope(S);
  OneField Money(ftCurrency), Bcd2(ftBCD, 4);
  static_cast<TBCDField*>(Bcd2.F)->SetCurrency(true);
  EXPECT_EQ(FieldValueToDisplayText(Variant(1234.5), Money.F, L""), L"1,234.50 TL");
  EXPECT_EQ(FieldValueToDisplayText(Variant(Currency(7.125)), Bcd2.F, L""), L"7.13 TL");
}

struct MaskCase {
  const wchar_t* Mask;
  const wchar_t* Value;
  const wchar_t* Expected;
};

TEST(FormatMaskTextKv, SavedLiteralsArePaddedOtherwiseInputFillsThePlaces) {
  const MaskCase Cases[] = {
      {L"!99/99/0000;1;_", L"12/05/2024", L"12/05/2024"},
      {L"!99/99/0000;1;_", L"", L"__/__/____"},
      {L"00-00;1;*", L"12-", L"12-**"},
      {L"(999) 000-0000;0;_", L"5551234567", L"(555) 123-4567"},
      {L"(999) 000-0000;0;_", L"", L"(___) ___-____"},
      {L"(999) 000-0000;0; ", L"555", L"(555)    -    "},
  };
  for (const MaskCase& C : Cases)
    EXPECT_EQ(FormatMaskTextKv(C.Mask, C.Value), String(C.Expected)) << C.Mask << " / " << C.Value;
}

TEST(FieldsCanModify, EveryFieldMustBeModifiable) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"A", ftInteger);
  DS.GetFieldDefs()->Add(L"B", ftString, 10);
  DS.Open();
  TField* A = DS.FieldByName(L"A");
  TField* B = DS.FieldByName(L"B");
  TList List;
  List.Add(A);
  List.Add(B);
  const TFieldsArrKv Arr{A, B};

  EXPECT_TRUE(FieldsCanModify(&List));
  EXPECT_TRUE(FieldsArrCanModify(Arr));
  TList Empty;
  EXPECT_TRUE(FieldsCanModify(&Empty));
  EXPECT_TRUE(FieldsArrCanModify({}));

  B->SetReadOnly(true);
  EXPECT_FALSE(FieldsCanModify(&List));
  EXPECT_FALSE(FieldsArrCanModify(Arr));
  EXPECT_TRUE(FieldsArrCanModify({A}));

  B->SetReadOnly(false);
  DS.SetReadOnly(true);
  EXPECT_FALSE(FieldsCanModify(&List));
  EXPECT_FALSE(FieldsArrCanModify({A}));
}

TEST(FieldTypeSets, NumericAndTextTypes) {
  struct {
    TFieldType Type;
    bool Numeric, Text;
  } const Cases[] = {
      {ftSmallint, true, false}, {ftInteger, true, false},  {ftWord, true, false},
      {ftFloat, true, false},    {ftCurrency, true, false}, {ftBCD, true, false},
      {ftFMTBcd, true, false},   {ftLongWord, true, false}, {ftShortint, true, false},
      {ftByte, true, false},     {ftExtended, true, false}, {ftSingle, true, false},
      {ftLargeint, false, false}, {ftAutoInc, false, false}, {ftBoolean, false, false},
      {ftDate, false, false},    {ftDateTime, false, false}, {ftBlob, false, false},
      {ftBytes, false, false},   {ftUnknown, false, false},
      {ftString, false, true},   {ftMemo, false, true},     {ftFmtMemo, false, true},
      {ftFixedChar, false, true}, {ftWideString, false, true}, {ftOraClob, false, true},
      {ftVariant, false, true},  {ftGuid, false, true},     {ftFixedWideChar, false, true},
      {ftWideMemo, false, true}, {ftOraBlob, false, false},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(IsNumericFieldType(C.Type), C.Numeric) << FieldTypeNames[C.Type];
    EXPECT_EQ(IsStringFieldType(C.Type), C.Text) << FieldTypeNames[C.Type];
  }
}

}  // namespace
