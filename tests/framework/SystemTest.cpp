#include <gtest/gtest.h>

#include "framework/System.h"

namespace {

struct CopyCase {
  const wchar_t* S;
  Integer Index, Count;
  const wchar_t* Expected;
};

TEST(TextRoutines, CopyClipsOutOfRangeParts) {
  const CopyCase Cases[] = {
      {L"İstanbul", 1, 3, L"İst"}, {L"abc", 0, 2, L"ab"}, {L"abc", 3, 10, L"c"},
      {L"abc", 4, 1, L""},         {L"abc", 2, -1, L""},  {L"abc", 2, 0x7FFFFFFF, L"bc"},
  };
  for (const auto& C : Cases) EXPECT_EQ(Copy(C.S, C.Index, C.Count), C.Expected) << C.S << " " << C.Index;
}

TEST(TextRoutines, PosIsOneBasedAndHonoursOffset) {
  EXPECT_EQ(Pos(L"ş", L"aşbş"), 2);
  EXPECT_EQ(Pos(L"ş", L"aşbş", 3), 4);
  EXPECT_EQ(Pos(L"x", L"aşbş"), 0);
  EXPECT_EQ(Pos(L"", L"abc"), 0);
  EXPECT_EQ(Pos(L"a", L"abc", 9), 0);
}

TEST(TextRoutines, DeleteAndInsertAreOneBased) {
  String S = L"Güncelleme";
  Delete(S, 2, 1);
  EXPECT_EQ(S, L"Gncelleme");
  Insert(L"ü", S, 2);
  EXPECT_EQ(S, L"Güncelleme");
  Insert(L"!", S, 100);
  EXPECT_EQ(S, L"Güncelleme!");
  Delete(S, 0, 3);  // out of range: unchanged
  EXPECT_EQ(S, L"Güncelleme!");
}

TEST(TextRoutines, Utf8RoundTripKeepsTurkishLetters) {
  String S = L"ığüşöçİĞÜŞÖÇ";
  EXPECT_EQ(UTF8ToString(UTF8Encode(S)), S);
  EXPECT_EQ(UTF8Encode(L"ı"), std::string("\xC4\xB1"));
}

TEST(Numerics, RoundSendsHalvesToEven) {
  const std::pair<double, Int64> Cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}};
  for (auto [X, R] : Cases) EXPECT_EQ(Round(X), R) << X;
}

TEST(Numerics, CurrencyKeepsFourDecimalsAndRoundsToEven) {
  EXPECT_EQ(Currency(1.23455).Raw(), 12346);  // binary 1.23455 lies just above the half
  EXPECT_EQ((Currency::FromRaw(1) * Currency(0.5)).Raw(), 0);  // exact halves go to even
  EXPECT_EQ((Currency::FromRaw(3) * Currency(0.5)).Raw(), 2);
  EXPECT_EQ((Currency(10) / Currency(3)).Raw(), 33333);
  EXPECT_EQ((Currency(1.5) * Currency(1.5)).Raw(), 22500);
  EXPECT_THROW(Currency(1) / Currency(0), EZeroDivide);
  EXPECT_THROW(Currency(1e300), EOverflow);
}

enum TStyle { stBold, stItalic, stUnderline, stStrike };

TEST(Sets, BehaveAsPascalSets) {
  Set<TStyle> A{stBold, stItalic}, B{stItalic, stStrike};
  EXPECT_TRUE(A.Contains(stBold));
  EXPECT_FALSE(A.Contains(stStrike));
  EXPECT_EQ(A + B, (Set<TStyle>{stBold, stItalic, stStrike}));
  EXPECT_EQ(A * B, Set<TStyle>{stItalic});
  EXPECT_EQ(A - B, Set<TStyle>{stBold});
  EXPECT_TRUE(Set<TStyle>{stItalic} <= A);
  EXPECT_FALSE(A <= B);
  A >> stBold >> stItalic;
  EXPECT_TRUE(A.Empty());
  EXPECT_EQ(Set<TStyle>::FromInt(0b1001), (Set<TStyle>{stBold, stStrike}));
}

class TAnimal : public TObject {
  DECLARE_CLASS(TAnimal, TObject)
 public:
  using TCtorArgs = ::TCtorArgs<const String&>;
  explicit TAnimal(const String& Name) : FName(Name) {}
  virtual String Speak() const = 0;
  String Name() const { return FName; }

 private:
  String FName;
};

class TDog : public TAnimal {
  DECLARE_CLASS(TDog, TAnimal)
 public:
  using TAnimal::TAnimal;
  String Speak() const override { return L"Hav"; }
};

class TPuppy : public TDog {
  DECLARE_CLASS(TPuppy, TDog)
 public:
  using TDog::TDog;
  String Speak() const override { return L"Hav hav"; }
};

TEST(ObjectModel, ClassReferencesActAsVirtualConstructors) {
  TClassRef<TAnimal> Ref = TPuppy::StaticClass();
  TAnimal* A = Ref.Create(String(L"Karabaş"));
  EXPECT_EQ(A->ClassName(), L"TPuppy");
  EXPECT_EQ(A->Speak(), L"Hav hav");
  EXPECT_EQ(A->Name(), L"Karabaş");
  EXPECT_TRUE(A->InheritsFrom(TDog::StaticClass()));
  EXPECT_FALSE(TDog::StaticClass()->InheritsFrom(TPuppy::StaticClass()));
  EXPECT_EQ(A->ClassParent(), TDog::StaticClass());
  delete A;
  EXPECT_THROW(TClassRef<TAnimal>(TAnimal::StaticClass()).Create(String(L"x")), EAbstractError);
}

TEST(ObjectModel, RegistryFindsClassesByNameIgnoringCase) {
  RegisterClass(TDog::StaticClass());
  EXPECT_EQ(GetClass(L"tdog"), TDog::StaticClass());
  EXPECT_EQ(GetClass(L"TCat"), nullptr);
  EXPECT_THROW(FindClass(L"TCat"), EClassNotFound);
  UnRegisterClass(TDog::StaticClass());
  EXPECT_EQ(GetClass(L"TDog"), nullptr);
}

class TCounter : public TObject {
  DECLARE_CLASS(TCounter, TObject)
 public:
  int Count = 0;
  void Tick(TObject*) { ++Count; }
  void Tock(TObject*) { Count += 10; }
};

TEST(Closures, CompareByReceiverAndMethod) {
  TCounter A, B;
  TNotifyEvent E1(&A, &TCounter::Tick), E2(&A, &TCounter::Tick), E3(&B, &TCounter::Tick), E4(&A, &TCounter::Tock);
  EXPECT_TRUE(E1 == E2);
  EXPECT_FALSE(E1 == E3);
  EXPECT_FALSE(E1 == E4);
  EXPECT_EQ(E1.Data(), &A);
  E1(nullptr);
  E4(nullptr);
  EXPECT_EQ(A.Count, 11);
  TNotifyEvent Empty;
  EXPECT_FALSE(Empty);
  DoEvent(Empty, nullptr);  // unassigned events are skipped
  int Calls = 0;
  TNotifyEvent L = [&](TObject*) { ++Calls; };
  TNotifyEvent LCopy = L;
  EXPECT_TRUE(L == LCopy);
  EXPECT_FALSE(L == TNotifyEvent([&](TObject*) { ++Calls; }));
  LCopy(nullptr);
  EXPECT_EQ(Calls, 1);
}

TEST(Exceptions, CarryMessageAndClass) {
  try {
    throw EConvertError(L"'x' geçerli bir tamsayı değil");
  } catch (const Exception& E) {
    EXPECT_EQ(E.ClassName(), L"EConvertError");
    EXPECT_EQ(E.Message(), L"'x' geçerli bir tamsayı değil");
    EXPECT_TRUE(E.InheritsFrom(Exception::StaticClass()));
  }
  EXPECT_THROW(Abort(), EAbort);
  try {
    RaiseLastOSError(2);
  } catch (const EOSError& E) {
    EXPECT_EQ(E.ErrorCode, 2u);
    EXPECT_NE(E.Message().find(L"Code: 2"), String::npos);
  }
}

}  // namespace
