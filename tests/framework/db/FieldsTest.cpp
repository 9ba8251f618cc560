// Field classes: the conversions each offers between its native value and text, numbers,
// dates and Null, and the native layouts they hand the dataset.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/DB.h"
#include "framework/sysutils/DateTime.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

// One open dataset in edit mode with a single field of the type asked for.
class OneField {
 public:
  OneField(TFieldType Type, Integer Size = 0) : DS(new TArrayDataSet(nullptr)) {
    DS->GetFieldDefs()->Add(L"F", Type, Size);
    DS->Open();
    DS->Append();
    F = DS->FieldByName(L"F");
  }
  ~OneField() { delete DS; }
  TArrayDataSet* DS;
  TField* F;
};

struct TTextCase {
  TFieldType Type;
  Integer Size;
  const wchar_t* Input;      // through AsString
  const wchar_t* AsString;   // read back
  double AsFloat;            // NaN: not compared
  const wchar_t* Class;
};

TEST(Fields, TextRoundTripsPerClass) {
  const double NoFloat = std::numeric_limits<double>::quiet_NaN();
  const TTextCase Cases[] = {
      {ftString, 10, L"abc", L"abc", NoFloat, L"TStringField"},
      {ftString, 3, L"abcdef", L"abc", NoFloat, L"TStringField"},  // cut to Size
      {ftString, 10, L"12.5", L"12.5", 12.5, L"TStringField"},
      {ftWideString, 10, L"Şişli İğne", L"Şişli İğne", NoFloat, L"TWideStringField"},
      {ftSmallint, 0, L"-32768", L"-32768", -32768, L"TSmallintField"},
      {ftInteger, 0, L" 42 ", L"42", 42, L"TIntegerField"},
      {ftWord, 0, L"65535", L"65535", 65535, L"TWordField"},
      {ftShortint, 0, L"-128", L"-128", -128, L"TShortintField"},
      {ftByte, 0, L"255", L"255", 255, L"TByteField"},
      {ftLongWord, 0, L"4294967295", L"4294967295", 4294967295.0, L"TLongWordField"},
      {ftLargeint, 0, L"-9000000000", L"-9000000000", -9e9, L"TLargeintField"},
      {ftAutoInc, 0, L"7", L"7", 7, L"TAutoIncField"},
      {ftFloat, 0, L"0.1", L"0.1", 0.1, L"TFloatField"},
      {ftCurrency, 0, L"1234.5", L"1234.5", 1234.5, L"TCurrencyField"},
      {ftSingle, 0, L"0.5", L"0.5", 0.5, L"TSingleField"},
      {ftExtended, 0, L"-2.25", L"-2.25", -2.25, L"TExtendedField"},
      {ftBCD, 2, L"12.3456", L"12.35", 12.35, L"TBCDField"},  // Size is the decimals kept
      {ftFMTBcd, 4, L"123456789012.1234", L"123456789012.1234", 123456789012.1234, L"TFMTBCDField"},
      {ftBoolean, 0, L"t", L"True", NoFloat, L"TBooleanField"},
      {ftBoolean, 0, L"FALSE", L"False", NoFloat, L"TBooleanField"},
      {ftGuid, 38, L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", NoFloat,
       L"TGuidField"},
      {ftMemo, 0, L"long text", L"long text", NoFloat, L"TMemoField"},
      {ftWideMemo, 0, L"Çok uzun ğ", L"Çok uzun ğ", NoFloat, L"TWideMemoField"},
      {ftVarBytes, 8, L"abc", L"abc", NoFloat, L"TVarBytesField"},
  };
  FormatSettings.DecimalSeparator = L'.';
  for (const TTextCase& C : Cases) {
    SCOPED_TRACE(C.Class);
    SCOPED_TRACE(C.Input);
    OneField T(C.Type, C.Size);
    EXPECT_EQ(T.F->ClassName(), C.Class);
    EXPECT_TRUE(T.F->IsNull());
    T.F->SetAsString(C.Input);
    EXPECT_FALSE(T.F->IsNull());
    EXPECT_EQ(T.F->GetAsString(), C.AsString);
    if (!std::isnan(C.AsFloat)) {
      EXPECT_DOUBLE_EQ(T.F->GetAsFloat(), C.AsFloat);
    }
    // The value survives a post and comes back from the stored record.
    T.DS->Post();
    EXPECT_EQ(T.F->GetAsString(), C.AsString);
    T.DS->Edit();
    T.F->Clear();
    EXPECT_TRUE(T.F->IsNull());
    EXPECT_TRUE(T.F->GetAsVariant().IsNull());
    T.DS->Cancel();
    EXPECT_EQ(T.F->GetAsString(), C.AsString);
  }
}

TEST(Fields, BadTextAndOutOfRangeValuesAreRefused) {
  struct TCase {
    TFieldType Type;
    const wchar_t* Input;
    const wchar_t* Message;
  } Cases[] = {
      {ftInteger, L"1x", L"'1x' is not a valid integer value for field 'F'"},
      {ftSmallint, L"40000", L"40000 is not a valid value for field 'F'. The allowed range is -32768 to 32767"},
      {ftByte, L"-1", L"-1 is not a valid value for field 'F'. The allowed range is 0 to 255"},
      {ftFloat, L"1,2,3", L"'1,2,3' is not a valid floating point value for field 'F'"},
      {ftBoolean, L"maybe", L"'maybe' is not a valid boolean value for field 'F'"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Input);
    OneField T(C.Type);
    try {
      T.F->SetAsString(C.Input);
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& E) {
      EXPECT_EQ(E.Message(), C.Message);
    }
    EXPECT_TRUE(T.F->IsNull());  // nothing was stored
  }
}

TEST(Fields, NativeLayoutsOfTheNumericAndDateKinds) {
  {
    OneField T(ftSmallint);
    T.F->SetAsInteger(-2);
    TValueBuffer B;
    ASSERT_TRUE(T.F->GetData(B));
    EXPECT_EQ(B, (TValueBuffer{0xFE, 0xFF}));
    EXPECT_EQ(T.F->GetDataSize(), 2);
  }
  {
    OneField T(ftBoolean);
    T.F->SetAsBoolean(true);
    TValueBuffer B;
    ASSERT_TRUE(T.F->GetData(B));
    EXPECT_EQ(B, (TValueBuffer{1, 0}));
  }
  {
    OneField T(ftString, 4);
    T.F->SetAsString(L"ab");
    TValueBuffer B;
    ASSERT_TRUE(T.F->GetData(B));
    EXPECT_EQ(B, (TValueBuffer{'a', 'b', 0, 0, 0}));
  }
  {
    // A date is stored as the day number counted from 0001-01-01 as day 1.
    OneField T(ftDate);
    T.F->SetAsDateTime(EncodeDate(2021, 3, 4));
    TValueBuffer B;
    ASSERT_TRUE(T.F->GetData(B));
    Integer Day = 0;
    std::memcpy(&Day, B.data(), 4);
    EXPECT_EQ(Day, DateTimeToTimeStamp(EncodeDate(2021, 3, 4)).Date);
    EXPECT_EQ(T.F->GetAsDateTime().Val, EncodeDate(2021, 3, 4).Val);
  }
  {
    // A time: milliseconds since midnight.
    OneField T(ftTime);
    T.F->SetAsDateTime(EncodeTime(1, 2, 3, 4));
    TValueBuffer B;
    ASSERT_TRUE(T.F->GetData(B));
    Integer MS = 0;
    std::memcpy(&MS, B.data(), 4);
    EXPECT_EQ(MS, ((1 * 60 + 2) * 60 + 3) * 1000 + 4);
  }
  {
    // BCD: native TBcd, read by the field as a currency.
    OneField T(ftBCD, 4);
    T.F->SetAsCurrency(Currency(12.5));
    TValueBuffer B;
    ASSERT_TRUE(T.F->GetData(B));
    ASSERT_EQ(B.size(), sizeof(TBcd));
    TBcd Bcd;
    std::memcpy(&Bcd, B.data(), sizeof(Bcd));
    EXPECT_EQ(BcdToStr(Bcd), L"12.5");
  }
}

TEST(Fields, DateTimeTextAndDisplayFormat) {
  OneField T(ftDateTime);
  auto* D = static_cast<TDateTimeField*>(T.F);
  TDateTime V = EncodeDate(2024, 5, 6);
  ReplaceTime(V, EncodeTime(7, 8, 9, 0));
  D->SetAsDateTime(V);
  D->SetDisplayFormat(L"yyyy-mm-dd hh:nn");
  EXPECT_EQ(D->GetDisplayText(), L"2024-05-06 07:08");
  EXPECT_EQ(D->GetAsString(), DateTimeToStr(V));
  D->Clear();
  EXPECT_EQ(D->GetDisplayText(), L"");
}

TEST(Fields, NumericDisplayAndEditFormats) {
  OneField T(ftFloat);
  auto* F = static_cast<TFloatField*>(T.F);
  F->SetAsFloat(1234.5);
  F->SetDisplayFormat(L"#,##0.00");
  F->SetEditFormat(L"0.0");
  EXPECT_EQ(F->GetDisplayText(), L"1,234.50");
  EXPECT_EQ(F->GetText(), L"1234.5");
}

TEST(Fields, BooleanDisplayValues) {
  OneField T(ftBoolean);
  auto* B = static_cast<TBooleanField*>(T.F);
  B->SetDisplayValues(L"Evet;Hayır");
  B->SetAsString(L"H");
  EXPECT_FALSE(B->GetAsBoolean());
  EXPECT_EQ(B->GetDisplayText(), L"Hayır");
  B->SetAsString(L"evet");
  EXPECT_EQ(B->GetAsString(), L"Evet");
}

TEST(Fields, GetAndSetTextEventsAndValidate) {
  OneField T(ftInteger);
  T.F->SetOnGetText([](TField* F, String& Text, bool Display) {
    Text = (Display ? L"#" : L"") + IntToStr(F->GetAsInteger());
  });
  T.F->SetOnSetText([](TField* F, const String& Text) { F->SetAsInteger(StrToInt(Text) * 10); });
  T.F->SetText(L"4");
  EXPECT_EQ(T.F->GetAsInteger(), 40);
  EXPECT_EQ(T.F->GetDisplayText(), L"#40");
  EXPECT_EQ(T.F->GetText(), L"40");
  // OnValidate sees the incoming value and may refuse it before it is stored.
  T.F->SetOnValidate([](TField* F) {
    if (F->GetAsInteger() < 0) throw EDatabaseError(L"negative");
  });
  EXPECT_THROW(T.F->SetAsInteger(-1), EDatabaseError);
  EXPECT_EQ(T.F->GetAsInteger(), 40);
}

TEST(Fields, FieldTypeOrderIsTheStandardOne) {
  EXPECT_EQ(Integer(ftWideString), 24);
  EXPECT_EQ(Integer(ftTimeStamp), 36);
  EXPECT_EQ(Integer(ftTimeStampOffset), 49);
  EXPECT_EQ(Integer(ftSingle), 51);
  EXPECT_EQ(FieldTypeCount, 52);
  EXPECT_STREQ(FieldTypeNames[ftFMTBcd], L"FMTBcd");
}

}  // namespace
