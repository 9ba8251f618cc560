#include <gtest/gtest.h>

#include <cstddef>

#include "framework/SqlTimSt.h"
#include "framework/SysUtils.h"

namespace {

class SqlTimStTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormatSettings.DateSeparator = L'-';
    FormatSettings.TimeSeparator = L':';
    FormatSettings.ShortDateFormat = L"yyyy-mm-dd";
    FormatSettings.LongTimeFormat = L"hh:nn:ss";
  }
  void TearDown() override { FormatSettings = FSaved; }

 private:
  TFormatSettings FSaved = FormatSettings;
};

TSQLTimeStamp Stamp(int Y, int M, int D, int H = 0, int N = 0, int S = 0, int Ms = 0) {
  TSQLTimeStamp T;
  T.Year = SmallInt(Y);
  T.Month = Word(M);
  T.Day = Word(D);
  T.Hour = Word(H);
  T.Minute = Word(N);
  T.Second = Word(S);
  T.Fractions = LongWord(Ms);
  return T;
}

TEST_F(SqlTimStTest, KeepsTheFrameworksRecordLayout) {
  EXPECT_EQ(sizeof(TSQLTimeStamp), 16u);
  EXPECT_EQ(offsetof(TSQLTimeStamp, Second), 10u);
  EXPECT_EQ(offsetof(TSQLTimeStamp, Fractions), 12u);
}

TEST_F(SqlTimStTest, ConvertsToAndFromDateTime) {
  struct Case {
    TSQLTimeStamp S;
    double D;
  };
  const Case Cases[] = {
      {Stamp(2024, 5, 5, 12, 0, 0, 0), 45417.5},
      {Stamp(1899, 12, 30), 0},
      {Stamp(1899, 12, 29, 6), -1.25},
      {Stamp(2000, 2, 29, 18), 36585.75},
  };
  for (const auto& C : Cases) {
    EXPECT_DOUBLE_EQ(SQLTimeStampToDateTime(C.S).Val, C.D) << C.D;
    EXPECT_TRUE(DateTimeToSQLTimeStamp(C.D) == C.S) << C.D;
  }
  TSQLTimeStamp Ms = Stamp(2024, 5, 5, 12, 30, 15, 250);
  EXPECT_TRUE(DateTimeToSQLTimeStamp(SQLTimeStampToDateTime(Ms)) == Ms);
  EXPECT_EQ(SQLTimeStampToDateTime(NullSQLTimeStamp).Val, 0);
}

TEST_F(SqlTimStTest, InvalidStampsRaise) {
  const TSQLTimeStamp Bad[] = {Stamp(2024, 13, 1), Stamp(2023, 2, 29), Stamp(2024, 1, 1, 24),
                               Stamp(2024, 1, 1, 0, 0, 0, 1000), Stamp(0, 1, 1)};
  for (const auto& S : Bad) {
    TDateTime D;
    EXPECT_FALSE(TrySQLTimeStampToDateTime(S, D));
    EXPECT_THROW(SQLTimeStampToDateTime(S), ESQLTimeStampException);
  }
}

TEST_F(SqlTimStTest, TextConversions) {
  TSQLTimeStamp S = Stamp(2024, 5, 5, 12, 30, 15, 250);
  EXPECT_EQ(SQLTimeStampToStr(L"yyyy-mm-dd hh:nn:ss.zzz", S), L"2024-05-05 12:30:15.250");
  EXPECT_EQ(SQLTimeStampToStr(String(), Stamp(2024, 5, 5)), L"2024-05-05 00:00:00");
  EXPECT_TRUE(StrToSQLTimeStamp(L"2024-05-05 12:30:15") == Stamp(2024, 5, 5, 12, 30, 15));
  TSQLTimeStamp T;
  EXPECT_FALSE(TryStrToSQLTimeStamp(L"yarın", T));
  try {
    StrToSQLTimeStamp(L"yarın");
    ADD_FAILURE();
  } catch (const ESQLTimeStampException& E) {
    EXPECT_EQ(E.Message(), L"'yarın' is not a valid SQL time stamp");
  }
}

TEST_F(SqlTimStTest, CompareGoesFieldByField) {
  EXPECT_EQ(SQLTimeStampCompare(Stamp(2024, 1, 1), Stamp(2024, 1, 1)), 0);
  EXPECT_EQ(SQLTimeStampCompare(Stamp(2024, 1, 1, 0, 0, 0, 1), Stamp(2024, 1, 1)), 1);
  EXPECT_EQ(SQLTimeStampCompare(Stamp(2023, 12, 31, 23), Stamp(2024, 1, 1)), -1);
}

TEST_F(SqlTimStTest, VariantKindConvertsToDateAndText) {
  Variant V = VarSQLTimeStampCreate(Stamp(2024, 5, 5, 12, 30, 15));
  EXPECT_TRUE(VarIsSQLTimeStamp(V));
  EXPECT_EQ(VarTypeAsText(VarType(V)), L"SQLTimeStampVariantType");
  EXPECT_EQ(VarToStr(V), L"2024-05-05 12:30:15");
  TDateTime D = VarToDateTime(V);
  EXPECT_TRUE(DateTimeToSQLTimeStamp(D) == Stamp(2024, 5, 5, 12, 30, 15));
  EXPECT_EQ(VarType(VarAsType(V, varDate)), varDate);
  EXPECT_EQ(VarAsType(V, varDouble).AsDouble(), D.Val);

  EXPECT_TRUE(VarToSQLTimeStamp(Variant(L"2024-05-05")) == Stamp(2024, 5, 5));
  EXPECT_TRUE(VarToSQLTimeStamp(Variant(TDateTime(45417.5))) == Stamp(2024, 5, 5, 12));
  EXPECT_TRUE(VarIsSQLTimeStamp(VarSQLTimeStampCreate(L"2024-05-05 08:00:00")));
  EXPECT_TRUE(VarIsClear(VarSQLTimeStampCreate()));
  EXPECT_THROW(VarAsType(Variant(L"yarın"), VarSQLTimeStamp()), EVariantTypeCastError);
}

TEST_F(SqlTimStTest, VariantKindComparesWithDatesButDoesNoArithmetic) {
  Variant V = VarSQLTimeStampCreate(Stamp(2024, 5, 5, 12));
  EXPECT_TRUE(V == Variant(TDateTime(45417.5)));
  EXPECT_TRUE(V > Variant(TDateTime(45417.0)));
  EXPECT_TRUE(Variant(L"2024-05-06") > V);
  EXPECT_EQ(VarCompareValue(V, VarSQLTimeStampCreate(Stamp(2024, 5, 5, 12))), vrEqual);
  EXPECT_EQ(VarCompareValue(V, Null), vrNotEqual);
  EXPECT_THROW(V + 1, EVariantInvalidOpError);
  EXPECT_TRUE(VarIsNull(V + Null));
}

TEST_F(SqlTimStTest, OffsetStampsWriteAndReadTheirZone) {
  EXPECT_EQ(sizeof(TSQLTimeStampOffset), 20u);
  EXPECT_EQ(offsetof(TSQLTimeStampOffset, TimeZoneHour), 16u);
  struct Case {
    Integer H, M;
    const wchar_t* Text;
  };
  const Case Cases[] = {{3, 0, L"2024-05-05 12:00:00 +03:00"}, {-5, -30, L"2024-05-05 12:00:00 -05:30"},
                        {0, 0, L"2024-05-05 12:00:00 +00:00"}};
  for (const auto& C : Cases) {
    TSQLTimeStampOffset S = DateTimeToSQLTimeStampOffset(TDateTime(45417.5), C.H, C.M);
    EXPECT_EQ(SQLTimeStampOffsetToStr(String(), S), C.Text);
    TSQLTimeStampOffset Back = StrToSQLTimeStampOffset(C.Text);
    EXPECT_TRUE(Back == S);
    EXPECT_EQ(Back.TimeZoneHour, C.H);
    EXPECT_EQ(Back.TimeZoneMinute, C.M);
    EXPECT_EQ(SQLTimeStampOffsetToDateTime(S).Val, 45417.5);  // the wall clock, not moved by the zone
  }
  EXPECT_TRUE(StrToSQLTimeStampOffset(L"2024-05-05 12:00:00-05:30") == DateTimeToSQLTimeStampOffset(45417.5, -5, -30));
  EXPECT_TRUE(StrToSQLTimeStampOffset(L"2024-05-05") == DateTimeToSQLTimeStampOffset(45417.0));
  EXPECT_THROW(StrToSQLTimeStampOffset(L"2024-05-05 12:00:00 +15:00"), ESQLTimeStampException);
  EXPECT_THROW(DateTimeToSQLTimeStampOffset(45417.0, 3, 75), ESQLTimeStampException);
}

TEST_F(SqlTimStTest, OffsetVariantsCompareByInstant) {
  Variant Istanbul = VarSQLTimeStampOffsetCreate(L"2024-05-05 12:00:00 +03:00");
  Variant London = VarSQLTimeStampOffsetCreate(L"2024-05-05 10:00:00 +01:00");
  Variant Berlin = VarSQLTimeStampOffsetCreate(L"2024-05-05 12:00:00 +02:00");
  EXPECT_TRUE(VarIsSQLTimeStampOffset(Istanbul));
  EXPECT_EQ(VarTypeAsText(VarType(Istanbul)), L"SQLTimeStampOffsetVariantType");
  EXPECT_EQ(VarCompareValue(Istanbul, London), vrEqual);
  EXPECT_EQ(VarCompareValue(Istanbul, Berlin), vrLessThan);
  EXPECT_EQ(VarToStr(Istanbul), L"2024-05-05 12:00:00 +03:00");
  EXPECT_EQ(VarToDateTime(Istanbul).Val, 45417.5);
  EXPECT_TRUE(VarToSQLTimeStamp(Istanbul) == Stamp(2024, 5, 5, 12));
  Variant Plain = VarSQLTimeStampCreate(Stamp(2024, 5, 5, 12));
  EXPECT_EQ(VarCompareValue(Plain, Berlin), vrGreaterThan);  // a stamp without a zone counts as UTC
  EXPECT_EQ(VarCompareValue(Berlin, Plain), vrLessThan);
  EXPECT_TRUE(VarToSQLTimeStampOffset(Plain) == DateTimeToSQLTimeStampOffset(45417.5));
  EXPECT_THROW(Istanbul + 1, EVariantInvalidOpError);
}

}  // namespace
