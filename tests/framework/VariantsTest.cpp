#include <gtest/gtest.h>

#include <thread>

#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"
#include "framework/Variants.h"
#include "framework/WinShell.h"

namespace {

// Number and date texts in these tests assume these settings, whatever the machine's locale.
class VariantsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FormatSettings.DecimalSeparator = L'.';
    FormatSettings.ThousandSeparator = L',';
    FormatSettings.DateSeparator = L'-';
    FormatSettings.TimeSeparator = L':';
    FormatSettings.ShortDateFormat = L"yyyy-mm-dd";
    FormatSettings.LongTimeFormat = L"hh:nn:ss";
  }
  void TearDown() override { FormatSettings = FSaved; }

 private:
  TFormatSettings FSaved = FormatSettings;
};

std::string Text(const Variant& V) {
  try {
    return UTF8Encode(VarTypeAsText(V.Type()) + L":" + VarToStr(V));
  } catch (const Exception& E) {
    return UTF8Encode(VarTypeAsText(V.Type()) + L":<" + E.Message() + L">");
  }
}

const TDateTime May5 = TDateTime(45417.5);  // 2024-05-05 12:00

// ---- Kinds ------------------------------------------------------------------------------------

TEST_F(VariantsTest, EveryConstructorGivesTheKindAndTextOfItsType) {
  struct Case {
    Variant V;
    TVarType Type;
    const char* Text;
  };
  const Case Cases[] = {
      {Variant(), varEmpty, "Empty:"},
      {Null, varNull, "Null:"},
      {Variant(short(-7)), varSmallint, "Smallint:-7"},
      {Variant(42), varInteger, "Integer:42"},
      {Variant(1.5f), varSingle, "Single:1.5"},
      {Variant(0.1), varDouble, "Double:0.1"},
      {Variant(Currency(12.3456)), varCurrency, "Currency:12.3456"},
      {Variant(May5), varDate, "Date:2024-05-05 12:00:00"},
      {Variant(TDateTime(45417.0)), varDate, "Date:2024-05-05"},
      {Variant(L"Şişli"), varUString, "UnicodeString:Şişli"},
      {Variant(String(L"x")), varUString, "UnicodeString:x"},
      {Variant(L'ç'), varUString, "UnicodeString:ç"},
      {Variant(AnsiString("abc")), varString, "String:abc"},
      {Variant(true), varBoolean, "Boolean:True"},
      {Variant(false), varBoolean, "Boolean:False"},
      {Variant((signed char)-5), varShortInt, "ShortInt:-5"},
      {Variant((unsigned char)200), varByte, "Byte:200"},
      {Variant((unsigned short)65535), varWord, "Word:65535"},
      {Variant(4000000000u), varLongWord, "LongWord:4000000000"},
      {Variant(Int64(-9000000000)), varInt64, "Int64:-9000000000"},
      {Variant(UInt64(18000000000000000000ull)), varUInt64, "UInt64:18000000000000000000"},
      {EmptyParam, varError, "Error:<Could not convert variant of type (Error) into type (UnicodeString)>"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(VarType(C.V), C.Type) << C.Text;
    EXPECT_EQ(Text(C.V), C.Text);
  }
}

TEST_F(VariantsTest, NullAndUnassignedStayDistinct) {
  Variant N = Null, U = Unassigned;
  EXPECT_TRUE(VarIsNull(N));
  EXPECT_FALSE(VarIsEmpty(N));
  EXPECT_FALSE(VarIsClear(N));
  EXPECT_TRUE(VarIsEmpty(U));
  EXPECT_TRUE(VarIsClear(U));
  EXPECT_FALSE(VarIsNull(U));
  EXPECT_TRUE(VarIsEmptyParam(EmptyParam));
  EXPECT_FALSE(VarIsEmptyParam(N) || VarIsEmptyParam(U) || VarIsNull(EmptyParam) || VarIsEmpty(EmptyParam));

  EXPECT_EQ(VarToStr(N), L"");
  EXPECT_EQ(VarToStrDef(N, L"(yok)"), L"(yok)");
  EXPECT_EQ(VarToStrDef(U, L"(yok)"), L"");
  EXPECT_EQ(U.AsInteger(), 0);
  EXPECT_FALSE(U.AsBoolean());
  EXPECT_THROW(N.AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(N.AsBoolean(), EVariantTypeCastError);  // a Null filter result is no Boolean
  EXPECT_THROW(N.AsString(), EVariantTypeCastError);

  EXPECT_TRUE(N == Null);
  EXPECT_FALSE(N == U);
  EXPECT_FALSE(N == Variant(0));
  EXPECT_TRUE(U == Variant(0));  // Unassigned meets a number as 0
  EXPECT_TRUE(VarSameValue(N, Null));
  EXPECT_FALSE(VarSameValue(U, Variant(0)));
  EXPECT_FALSE(VarSameValue(N, U));
}

TEST_F(VariantsTest, KindPredicatesFollowTheFramework) {
  struct Case {
    Variant V;
    bool Ordinal, Float, Numeric, Str;
  };
  const Case Cases[] = {
      {Variant(1), true, false, true, false},          {Variant(true), true, false, true, false},
      {Variant(UInt64(1)), true, false, true, false},  {Variant(1.0), false, true, true, false},
      {Variant(Currency(1)), false, true, true, false}, {Variant(May5), false, false, false, false},
      {Variant(L"1"), false, false, false, true},      {Variant(AnsiString("1")), false, false, false, true},
      {Null, false, false, false, false},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(VarIsOrdinal(C.V), C.Ordinal) << Text(C.V);
    EXPECT_EQ(VarIsFloat(C.V), C.Float) << Text(C.V);
    EXPECT_EQ(VarIsNumeric(C.V), C.Numeric) << Text(C.V);
    EXPECT_EQ(VarIsStr(C.V), C.Str) << Text(C.V);
  }
  EXPECT_TRUE(VarIsType(Variant(1), {varSmallint, varInteger}));
  EXPECT_FALSE(VarIsType(Variant(1), varInt64));
}

// ---- Conversions ------------------------------------------------------------------------------

TEST_F(VariantsTest, StringDataShowsTheTextOfStringKindsOnly) {
  const Variant Texts[] = {Variant(L"Şişli"), Variant(AnsiString("abc")), VarAsType(Variant(L"İğne"), varOleStr),
                           Variant(String())};
  for (const Variant& V : Texts) {
    ASSERT_NE(V.StringData(), nullptr) << VarTypeAsText(V.Type());
    EXPECT_EQ(*V.StringData(), V.AsString());
    Variant Copy = V;
    EXPECT_EQ(Copy.StringData(), V.StringData());  // copies share the text
  }
  const Variant Others[] = {Variant(), Null, Variant(42), Variant(1.5), Variant(May5), Variant(true),
                            VarArrayOf({Variant(L"a")}), Variant(Currency(1))};
  for (const Variant& V : Others) EXPECT_EQ(V.StringData(), nullptr) << VarTypeAsText(V.Type());
}

// String values take their blocks from a shared store of blocks: made, copied and freed on several
// threads at once, each keeps its own text.
TEST_F(VariantsTest, StringValuesOnManyThreadsKeepTheirTexts) {
  std::atomic<Integer> Wrong{0};
  auto Work = [&Wrong](Integer Seed) {
    std::vector<Variant> Kept;
    for (Integer I = 0; I < 10000; ++I) {
      String Text = L"Şişli-" + std::to_wstring(Seed) + L"-" + std::to_wstring(I);
      Variant V(Text), Copy = V;
      Kept.push_back(I % 3 == 0 ? VarAsType(V, varOleStr) : Copy);
      if (I % 2 == 0) {
        std::swap(Kept[size_t(I) % Kept.size()], Kept.back());
        Kept.pop_back();
      }
      if (Copy.AsString() != Text) ++Wrong;
    }
    for (const Variant& V : Kept)
      if (V.AsString().rfind(L"Şişli-" + std::to_wstring(Seed) + L"-", 0) != 0) ++Wrong;
  };
  std::vector<std::thread> Threads;
  for (Integer T = 0; T < 4; ++T) Threads.emplace_back(Work, T);
  for (std::thread& T : Threads) T.join();
  EXPECT_EQ(Wrong.load(), 0);
}

TEST_F(VariantsTest, VarAsTypeConvertsBetweenKinds) {
  struct Case {
    Variant V;
    TVarType To;
    const char* Text;
  };
  const Case Cases[] = {
      {Variant(L"42"), varInteger, "Integer:42"},
      {Variant(L" 42"), varInteger, "Integer:42"},
      {Variant(L"2.5"), varInteger, "Integer:2"},  // halves to even
      {Variant(L"3.5"), varInteger, "Integer:4"},
      {Variant(L"True"), varInteger, "Integer:-1"},
      {Variant(L"1.25"), varDouble, "Double:1.25"},
      {Variant(L"1.25"), varCurrency, "Currency:1.25"},
      {Variant(L"2024-05-05 12:00:00"), varDate, "Date:2024-05-05 12:00:00"},
      {Variant(L"false"), varBoolean, "Boolean:False"},
      {Variant(L"0"), varBoolean, "Boolean:False"},
      {Variant(L"7"), varBoolean, "Boolean:True"},
      {Variant(-2.5), varInteger, "Integer:-2"},
      {Variant(1e10), varInt64, "Int64:10000000000"},
      {Variant(Currency(2.5)), varInteger, "Integer:2"},
      {Variant(Currency(1.2345)), varDouble, "Double:1.2345"},
      {Variant(1.23456), varCurrency, "Currency:1.2346"},
      {Variant(true), varInteger, "Integer:-1"},
      {Variant(true), varUString, "UnicodeString:True"},
      {Variant(0), varBoolean, "Boolean:False"},
      {Variant(45417.5), varDate, "Date:2024-05-05 12:00:00"},
      {Variant(May5), varDouble, "Double:45417.5"},
      {Variant(300), varByte, "Byte:<Overflow while converting variant of type (Integer) into type (Byte)>"},
      {Variant(-1), varLongWord, "LongWord:<Overflow while converting variant of type (Integer) into type (LongWord)>"},
      {Variant(65535), varWord, "Word:65535"},
      {Variant(42), varOleStr, "OleStr:42"},
      {Variant(42), varString, "String:42"},
      {Unassigned, varInteger, "Integer:0"},
      {Unassigned, varUString, "UnicodeString:"},
      {Unassigned, varNull, "Null:"},
  };
  for (const auto& C : Cases) {
    Variant R;
    try {
      R = VarAsType(C.V, C.To);
    } catch (const Exception& E) {
      EXPECT_EQ(UTF8Encode(VarTypeAsText(C.To) + L":<" + E.Message() + L">"), C.Text) << Text(C.V);
      continue;
    }
    EXPECT_EQ(Text(R), C.Text) << Text(C.V);
  }
}

TEST_F(VariantsTest, FailedConversionsRaiseTheCastErrorNamingBothKinds) {
  struct Case {
    Variant V;
    TVarType To;
    const wchar_t* Message;
  };
  const Case Cases[] = {
      {Variant(L"abc"), varDouble, L"Could not convert variant of type (UnicodeString) into type (Double)"},
      {Variant(L"abc"), varInteger, L"Could not convert variant of type (UnicodeString) into type (Integer)"},
      {Variant(L"31-31-2024"), varDate, L"Could not convert variant of type (UnicodeString) into type (Date)"},
      {Variant(L"maybe"), varBoolean, L"Could not convert variant of type (UnicodeString) into type (Boolean)"},
      {Null, varInteger, L"Could not convert variant of type (Null) into type (Integer)"},
      {Null, varUString, L"Could not convert variant of type (Null) into type (UnicodeString)"},
      {VarArrayOf({1, 2}), varInteger, L"Could not convert variant of type (Array Variant) into type (Integer)"},
  };
  for (const auto& C : Cases) {
    try {
      VarAsType(C.V, C.To);
      ADD_FAILURE() << "no error for " << Text(C.V);
    } catch (const EVariantTypeCastError& E) {
      EXPECT_EQ(E.Message(), C.Message);
    }
  }
}

TEST_F(VariantsTest, NamedConversionsRaiseOnBadText) {
  EXPECT_EQ(Variant(L"12").AsInteger(), 12);
  EXPECT_EQ(Variant(L"1.5").AsDouble(), 1.5);
  EXPECT_EQ(Variant(L"1.5").AsCurrency().Raw(), 15000);
  EXPECT_EQ(Variant(3).AsString(), L"3");
  EXPECT_EQ(Variant(L"TRUE").AsBoolean(), true);
  EXPECT_EQ(Variant(L"abc").AsAnsiString(), "abc");
  EXPECT_THROW(Variant(L"12x").AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(Variant(3e9).AsInteger(), EVariantOverflowError);
  EXPECT_THROW(Variant(1e300).AsCurrency(), EVariantOverflowError);
  EXPECT_DOUBLE_EQ(VarToDateTime(Variant(L"2024-05-05 12:00:00")).Val, 45417.5);
  EXPECT_EQ(VarType(VarFromDateTime(May5)), varDate);
}

TEST_F(VariantsTest, FormatTakesVariantArgumentsAsText) {
  Variant V = 1.5, N = Null;
  EXPECT_EQ(Format(L"[%s] [%s] [%s]", {V, N, Variant(L"ş")}), L"[1.5] [] [ş]");
}

// ---- Operators --------------------------------------------------------------------------------

enum TOp { Add, Sub, Mul, Dvd, IDiv, Md, And, Or, Xor };

Variant Apply(const Variant& L, TOp Op, const Variant& R) {
  switch (Op) {
    case Add: return L + R;
    case Sub: return L - R;
    case Mul: return L * R;
    case Dvd: return L / R;
    case IDiv: return Div(L, R);
    case Md: return L % R;
    case And: return L & R;
    case Or: return L | R;
    default: return L ^ R;
  }
}

TEST_F(VariantsTest, ArithmeticPicksTheResultKindAndPropagatesNull) {
  struct Case {
    Variant L;
    TOp Op;
    Variant R;
    const char* Text;
  };
  const Case Cases[] = {
      {1, Add, 2, "Integer:3"},
      {Variant(short(1)), Add, Variant((unsigned char)2), "Integer:3"},
      {2147483647, Add, 1, "Int64:2147483648"},  // grows instead of wrapping
      {Variant(Int64(5)), Add, 1, "Int64:6"},
      {7, Dvd, 2, "Double:3.5"},
      {7, IDiv, 2, "Integer:3"},
      {-7, Md, 2, "Integer:-1"},
      {7.6, IDiv, 2, "Integer:4"},
      {1, Add, 0.5, "Double:1.5"},
      {Variant(Currency(1.1)), Add, 2, "Currency:3.1"},
      {Variant(Currency(10)), Dvd, Variant(Currency(3)), "Currency:3.3333"},
      {Variant(Currency(1.5)), Mul, 0.5, "Double:0.75"},
      {Variant(May5), Add, 1, "Date:2024-05-06 12:00:00"},
      {Variant(May5), Sub, 0.5, "Date:2024-05-05"},
      {Variant(May5), Sub, Variant(TDateTime(45416.5)), "Double:1"},
      {Variant(L"ab"), Add, Variant(L"cd"), "UnicodeString:abcd"},
      {Variant(L"1"), Add, 2, "Double:3"},  // a string meets a number as a number
      {2, Mul, Variant(L"1.5"), "Double:3"},
      {Variant(L"6"), Sub, Variant(L"2"), "Double:4"},
      {Variant(L"1.25"), Add, Variant(Currency(1)), "Currency:2.25"},
      {Null, Add, 1, "Null:"},
      {1, Mul, Null, "Null:"},
      {Null, Add, Variant(L"x"), "Null:"},
      {Unassigned, Add, 5, "Integer:5"},
      {Unassigned, Add, Variant(L"x"), "UnicodeString:x"},
      {true, And, false, "Boolean:False"},
      {true, Or, false, "Boolean:True"},
      {true, Xor, true, "Boolean:False"},
      {12, And, 10, "Integer:8"},
      {12, Or, 3, "Integer:15"},
      {Variant(L"True"), And, true, "Boolean:True"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Text(Apply(C.L, C.Op, C.R)), C.Text) << Text(C.L) << " op" << C.Op << " " << Text(C.R);
}

TEST_F(VariantsTest, ArithmeticErrors) {
  EXPECT_THROW(Variant(L"abc") + 1, EVariantTypeCastError);
  EXPECT_THROW(Variant(1) / Variant(0), EZeroDivide);
  EXPECT_THROW(Div(Variant(1), Variant(0)), EDivByZero);
  EXPECT_THROW(Variant(Int64(INT64_MAX)) * Variant(Int64(INT64_MAX)), EVariantOverflowError);
  EXPECT_THROW(VarArrayOf({1}) + 1, EVariantInvalidOpError);
  EXPECT_THROW(EmptyParam + 1, EVariantInvalidOpError);
}

TEST_F(VariantsTest, UnaryOperators) {
  EXPECT_EQ(Text(-Variant(5)), "Integer:-5");
  EXPECT_EQ(Text(-Variant(Currency(1.5))), "Currency:-1.5");
  EXPECT_EQ(Text(-Null), "Null:");
  EXPECT_EQ(Text(~Variant(true)), "Boolean:False");
  EXPECT_EQ(Text(~Variant(0)), "Integer:-1");
  Variant Sum = 0;
  for (int I = 1; I <= 4; ++I) Sum += I;
  EXPECT_EQ(Text(Sum), "Integer:10");
}

// ---- Comparisons ------------------------------------------------------------------------------

TEST_F(VariantsTest, ComparisonsCoerceAcrossKinds) {
  struct Case {
    Variant L, R;
    TVariantRelationship Rel;  // the coercing comparison (VarCompareValue)
  };
  const Case Cases[] = {
      {1, 2, vrLessThan},
      {Variant(2.5), 2, vrGreaterThan},
      {Variant(L"10"), 9, vrGreaterThan},  // as numbers, not as texts
      {Variant(L"10"), 10, vrEqual},
      {Variant(L"10"), Variant(L"9"), vrLessThan},  // two texts compare as texts
      {Variant(L"abc"), Variant(L"abd"), vrLessThan},
      {Variant(L"a"), Variant(L"A"), vrLessThan},  // case counts
      {Variant(Currency(1.5)), 1.5, vrEqual},
      {Variant(Currency(1)), 1, vrEqual},
      {Variant(Int64(9007199254740993)), Variant(Int64(9007199254740992)), vrGreaterThan},  // beyond a double
      {Variant(UInt64(18000000000000000000ull)), Variant(-1), vrGreaterThan},
      {Variant(May5), Variant(L"2024-05-05 12:00:00"), vrEqual},
      {Variant(May5), 45417.5, vrEqual},
      {true, false, vrGreaterThan},
      {Variant(L"True"), true, vrEqual},
      {Unassigned, Unassigned, vrEqual},
      {Unassigned, 0, vrNotEqual},  // Unassigned against a value is no order
      {Null, Null, vrEqual},
      {Null, 5, vrNotEqual},
      {5, Null, vrNotEqual},
      {Unassigned, Null, vrNotEqual},
      {EmptyParam, EmptyParam, vrEqual},
  };
  for (const auto& C : Cases) EXPECT_EQ(VarCompareValue(C.L, C.R), C.Rel) << Text(C.L) << " vs " << Text(C.R);
}

TEST_F(VariantsTest, ComparisonOperatorsOrderNullFirst) {
  EXPECT_TRUE(Null < Variant(0));
  EXPECT_TRUE(Variant(L"") > Null);
  EXPECT_FALSE(Null < Null);
  EXPECT_TRUE(Null <= Null);
  EXPECT_TRUE(Variant(1) != Variant(2));
  EXPECT_TRUE(Variant(L"2") <= 2);
  EXPECT_TRUE(Variant(L"2") >= Variant(1.5));
  EXPECT_THROW((void)(Variant(L"abc") == 1), EVariantTypeCastError);
  EXPECT_THROW((void)(VarArrayOf({1}) == VarArrayOf({1})), EVariantInvalidOpError);
  EXPECT_THROW(VarCompareValue(VarArrayOf({1}), VarArrayOf({1})), EVariantInvalidOpError);
}

class TThing : public TInterfacedObject {
  DECLARE_CLASS(TThing, TInterfacedObject)
};

TEST_F(VariantsTest, InterfacesTravelCountedAndCompareByIdentity) {
  IPtr<IInterface> A(new TThing), B(new TThing);
  {
    Variant V = A, W = V;
    EXPECT_EQ(VarType(V), varUnknown);
    EXPECT_EQ(dynamic_cast<TThing*>(A.Get())->RefCount(), 2);  // copies of a variant share one reference
    EXPECT_TRUE(V.AsInterface() == A);
    EXPECT_TRUE(V == W);
    EXPECT_EQ(VarCompareValue(V, Variant(B)), vrNotEqual);
    EXPECT_FALSE(VarIsClear(V));
    EXPECT_THROW(V.AsString(), EVariantTypeCastError);
  }
  EXPECT_EQ(dynamic_cast<TThing*>(A.Get())->RefCount(), 1);
  EXPECT_TRUE(VarIsClear(VarAsType(Unassigned, varUnknown)));
}

// ---- Arrays -----------------------------------------------------------------------------------

TEST_F(VariantsTest, ArraysHaveBoundsAndElements) {
  Variant A = VarArrayCreate({1, 3}, varVariant);
  EXPECT_TRUE(VarIsArray(A));
  EXPECT_EQ(VarType(A), varArray | varVariant);
  EXPECT_EQ(VarTypeAsText(VarType(A)), L"Array Variant");
  EXPECT_EQ(VarArrayDimCount(A), 1);
  EXPECT_EQ(VarArrayLowBound(A, 1), 1);
  EXPECT_EQ(VarArrayHighBound(A, 1), 3);
  EXPECT_TRUE(VarIsEmpty(A[1]));
  A[1] = 10;
  A[2] = L"iki";
  A[3] = Null;
  EXPECT_EQ(Text(A[1]), "Integer:10");
  EXPECT_EQ(Text(A[2]), "UnicodeString:iki");
  EXPECT_TRUE(VarIsNull(A[3]));
  EXPECT_THROW((void)Variant(A[0]), EVariantBadIndexError);
  EXPECT_THROW(A[4] = 1, EVariantBadIndexError);
  EXPECT_THROW(VarArrayLowBound(A, 2), EVariantBadIndexError);
  EXPECT_EQ(VarArrayDimCount(Variant(1)), 0);

  VarArrayRedim(A, 4);
  EXPECT_EQ(VarArrayHighBound(A, 1), 4);
  EXPECT_EQ(Text(A[2]), "UnicodeString:iki");
  EXPECT_TRUE(VarIsEmpty(A[4]));
  VarArrayRedim(A, 1);
  EXPECT_EQ(VarArrayHighBound(A, 1), 1);
  EXPECT_EQ(Text(A[1]), "Integer:10");
}

TEST_F(VariantsTest, CopiesOfAnArrayAreIndependent) {
  Variant Key = VarArrayOf({1, L"a"});
  Variant Copy = Key;
  Copy[1] = L"b";
  Key[0] = Key[0] + 1;  // the last key element grows, as a view's key does
  EXPECT_EQ(Text(Key[0]), "Integer:2");
  EXPECT_EQ(Text(Key[1]), "UnicodeString:a");
  EXPECT_EQ(Text(Copy[0]), "Integer:1");
  EXPECT_EQ(Text(Copy[1]), "UnicodeString:b");
}

TEST_F(VariantsTest, TypedArraysCoerceTheirElements) {
  Variant A = VarArrayCreate({0, 2}, varInteger);
  EXPECT_EQ(Text(A[0]), "Integer:0");
  A[1] = L"17";
  A[2] = 2.5;
  EXPECT_EQ(Text(A[1]), "Integer:17");
  EXPECT_EQ(Text(A[2]), "Integer:2");
  EXPECT_THROW(A[0] = L"x", EVariantTypeCastError);

  Variant S = VarArrayCreate({0, 1}, varOleStr);
  S[0] = 5;
  EXPECT_EQ(Text(S[0]), "OleStr:5");
  EXPECT_EQ(Text(S[1]), "OleStr:");

  Variant B = VarArrayCreate({0, 3}, varByte);
  Byte* P = static_cast<Byte*>(VarArrayLock(B));
  P[0] = 1;
  P[3] = 255;
  EXPECT_THROW(VarArrayRedim(B, 10), EVariantArrayLockedError);
  VarArrayUnlock(B);
  VarArrayRedim(B, 4);
  EXPECT_EQ(Text(B[0]), "Byte:1");
  EXPECT_EQ(Text(B[3]), "Byte:255");
  EXPECT_THROW(VarArrayCreate({0, 1}, varNull), EVariantBadVarTypeError);
  EXPECT_THROW(VarArrayCreate({0}, varVariant), EVariantArrayCreateError);
}

TEST_F(VariantsTest, MultiDimensionalArraysIndexEveryDimension) {
  Variant M = VarArrayCreate({1, 2, 0, 2}, varDouble);
  EXPECT_EQ(VarArrayDimCount(M), 2);
  EXPECT_EQ(VarArrayLowBound(M, 2), 0);
  EXPECT_EQ(VarArrayHighBound(M, 2), 2);
  for (int I = 1; I <= 2; ++I)
    for (int J = 0; J <= 2; ++J) VarArrayPut(M, I * 10 + J, {I, J});
  EXPECT_EQ(Text(VarArrayGet(M, {2, 1})), "Double:21");
  EXPECT_EQ(Text(VarArrayGet(M, {1, 2})), "Double:12");
  EXPECT_THROW(VarArrayGet(M, {1}), EVariantBadIndexError);
  EXPECT_THROW(VarArrayGet(M, {3, 0}), EVariantBadIndexError);
  VarArrayRedim(M, 3);  // the last dimension grows; every element keeps its place
  EXPECT_EQ(Text(VarArrayGet(M, {2, 1})), "Double:21");
  EXPECT_EQ(Text(VarArrayGet(M, {1, 2})), "Double:12");
  EXPECT_EQ(Text(VarArrayGet(M, {2, 3})), "Double:0");
}

TEST_F(VariantsTest, NestedArraysServeAsMultiFieldKeys) {
  Variant List = VarArrayOf({VarArrayOf({1, L"A"}), VarArrayOf({2, L"B"})});
  EXPECT_TRUE(VarIsArray(List[0]));
  EXPECT_EQ(Text(List[1][1]), "UnicodeString:B");
  EXPECT_EQ(VarArrayHighBound(List[1], 1), 1);
  Variant Keys = VarArrayOf({});
  EXPECT_EQ(VarArrayHighBound(Keys, 1), -1);
}

// ---- OLE --------------------------------------------------------------------------------------

struct OleVariantHolder {
  VARIANT V;
  OleVariantHolder() { VariantInit(&V); }
  ~OleVariantHolder() { VariantClear(&V); }
};

TEST_F(VariantsTest, OleRoundTripKeepsKindAndValue) {
  const Variant Cases[] = {
      Unassigned,
      Null,
      Variant(short(-3)),
      Variant(123456),
      Variant(1.5f),
      Variant(2.25),
      Variant(Currency(-12.3456)),
      Variant(May5),
      Variant(true),
      Variant(false),
      Variant((signed char)-1),
      Variant((unsigned char)255),
      Variant((unsigned short)65000),
      Variant(4000000000u),
      Variant(Int64(-1) << 40),
      Variant(UInt64(1) << 63),
      EmptyParam,
  };
  for (const auto& C : Cases) {
    OleVariantHolder H;
    VariantToOle(C, H.V);
    EXPECT_EQ(H.V.vt, VarType(C));
    Variant Back = OleToVariant(H.V);
    EXPECT_EQ(Text(Back), Text(C));
  }
  OleVariantHolder S;
  VariantToOle(Variant(L"Güncelleme"), S.V);
  ASSERT_EQ(S.V.vt, VT_BSTR);
  EXPECT_EQ(String(S.V.bstrVal, SysStringLen(S.V.bstrVal)), L"Güncelleme");
  EXPECT_EQ(Text(OleToVariant(S.V)), "OleStr:Güncelleme");
}

TEST_F(VariantsTest, OleArraysBecomeSafeArrays) {
  Variant Ips = VarArrayCreate({0, 1}, varOleStr);
  Ips[0] = L"192.168.1.10";
  Ips[1] = L"10.0.0.1";
  OleVariantHolder H;
  VariantToOle(Ips, H.V);
  ASSERT_EQ(H.V.vt, VT_ARRAY | VT_BSTR);
  LONG Lo = -1, Hi = -1;
  SafeArrayGetLBound(H.V.parray, 1, &Lo);
  SafeArrayGetUBound(H.V.parray, 1, &Hi);
  EXPECT_EQ(Lo, 0);
  EXPECT_EQ(Hi, 1);
  BSTR B = nullptr;
  LONG Index = 1;
  SafeArrayGetElement(H.V.parray, &Index, &B);
  EXPECT_EQ(String(B), L"10.0.0.1");
  SysFreeString(B);
  Variant Back = OleToVariant(H.V);
  EXPECT_EQ(VarType(Back), varArray | varOleStr);
  EXPECT_EQ(Text(Back[0]), "OleStr:192.168.1.10");
  EXPECT_TRUE(Back[1] == Variant(L"10.0.0.1"));

  Variant Mixed = VarArrayOf({1, L"x", Null, VarArrayOf({2.5})});
  OleVariantHolder M;
  VariantToOle(Mixed, M.V);
  EXPECT_EQ(M.V.vt, VT_ARRAY | VT_VARIANT);
  Variant MB = OleToVariant(M.V);
  EXPECT_EQ(Text(MB[0]), "Integer:1");
  EXPECT_EQ(Text(MB[1]), "OleStr:x");
  EXPECT_TRUE(VarIsNull(MB[2]));
  EXPECT_EQ(Text(MB[3][0]), "Double:2.5");

  Variant Grid = VarArrayCreate({1, 2, 5, 7}, varInteger);
  VarArrayPut(Grid, 42, {2, 6});
  OleVariantHolder G;
  VariantToOle(Grid, G.V);
  SafeArrayGetLBound(G.V.parray, 2, &Lo);
  SafeArrayGetUBound(G.V.parray, 2, &Hi);
  EXPECT_EQ(Lo, 5);
  EXPECT_EQ(Hi, 7);
  LONG Idx[2] = {2, 6};
  LONG Value = 0;
  SafeArrayGetElement(G.V.parray, Idx, &Value);
  EXPECT_EQ(Value, 42);
  EXPECT_EQ(Text(VarArrayGet(OleToVariant(G.V), {2, 6})), "Integer:42");
}

TEST_F(VariantsTest, OleByReferenceAndDecimalValuesAreRead) {
  LONG L = 77;
  VARIANT R;
  VariantInit(&R);
  R.vt = VT_I4 | VT_BYREF;
  R.plVal = &L;
  EXPECT_EQ(Text(OleToVariant(R)), "Integer:77");

  VARIANT Inner;
  VariantInit(&Inner);
  Inner.vt = VT_R8;
  Inner.dblVal = 0.5;
  R.vt = VT_VARIANT | VT_BYREF;
  R.pvarVal = &Inner;
  EXPECT_EQ(Text(OleToVariant(R)), "Double:0.5");

  VARIANT D;
  VariantInit(&D);
  D.vt = VT_DECIMAL;
  D.decVal.scale = 2;
  D.decVal.sign = DECIMAL_NEG;
  D.decVal.Hi32 = 0;
  D.decVal.Lo64 = 12345678901234567890ull;
  Variant B = OleToVariant(D);
  EXPECT_TRUE(VarIsFMTBcd(B));
  EXPECT_EQ(VarToStr(B), L"-123456789012345678.9");
}

TEST_F(VariantsTest, ComObjectsPassThroughOle) {
  IStream* Stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &Stream), S_OK);
  Variant V = Variant::FromOleUnknown(Stream);
  Stream->Release();  // the variant keeps its own reference
  EXPECT_EQ(VarType(V), varUnknown);
  EXPECT_EQ(VarToOleUnknown(V), Stream);
  OleVariantHolder H;
  VariantToOle(V, H.V);
  ASSERT_EQ(H.V.vt, VT_UNKNOWN);
  EXPECT_EQ(H.V.punkVal, Stream);
  Variant Back = OleToVariant(H.V);
  EXPECT_TRUE(Back == V);
  EXPECT_EQ(VarToOleDispatch(V), nullptr);

  IPtr<IInterface> Own(new TThing);
  OleVariantHolder Bad;
  EXPECT_THROW(VariantToOle(Variant(Own), Bad.V), EVariantTypeCastError);
}

}  // namespace
