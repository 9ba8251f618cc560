// Dynamic variables: the dummy that joins on write, names without case, typed accessors, the
// text form of string variables, and duplicates refused without losing anything.

#include "kvlib/foundation/DynVarsKv.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "framework/SysUtils.h"
#include "kvlib/foundation/KvLibLangConsts.h"
#include "tests/framework/FuzzHarness.h"

// A component that carries its parameters as dynamic variables, streamed with it.
class TDynPropsHolder : public TComponent {
  DECLARE_CLASS(TDynPropsHolder, TComponent)
 public:
  explicit TDynPropsHolder(TComponent* AOwner) : TComponent(AOwner), FDynProps(std::make_unique<TDynVarsKv>(this)) {}
  TDynVarsKv* GetDynProps() const { return FDynProps.get(); }
  PUBLISHED_DECL(TDynPropsHolder);

 private:
  std::unique_ptr<TDynVarsKv> FDynProps;
};

PUBLISHED_DEF(TDynPropsHolder) { PROP_READONLY(DynProps); }

namespace {

String DuplicateMessage(const String& Name) {
  return Format(KvLibLanguageConsts()->GetDuplicateVarNameKv(), {Name});
}

// The message of what Body raises, empty when it raises nothing.
template <class F>
String RaisedMessage(F Body) {
  try {
    Body();
  } catch (const Exception& E) {
    return E.Message();
  }
  return String();
}

TEST(DynVars, LookupOfAbsentNameGivesDummyThatJoinsWhenWritten) {
  TDynVarsKv Vars(nullptr);
  Integer Changes = 0;
  Vars.SetOnChange([&Changes](TObject*) { ++Changes; });
  TDynVarKv* A = Vars.GetDynVar(L"A");
  EXPECT_EQ(A->GetName(), L"A");
  EXPECT_TRUE(A->GetIsNull());
  EXPECT_EQ(A->GetAsInteger(), 0);
  EXPECT_EQ(Vars.GetCount(), 0);
  EXPECT_EQ(Changes, 0);

  A->SetAsInteger(7);
  EXPECT_EQ(Vars.GetCount(), 1);
  EXPECT_GT(Changes, 0);
  EXPECT_EQ(Vars.FindDynVar(L"a"), A);  // names without case
  // Only ASCII letters fold, under every user locale: "fiyat" is "FIYAT", never "FİYAT".
  TDynVarKv* Price = Vars.CreateDynVar(L"fiyat", 1);
  EXPECT_EQ(Vars.FindDynVar(L"FIYAT"), Price);
  EXPECT_EQ(Vars.FindDynVar(L"FİYAT"), nullptr);
  Vars.DeleteDynVar(L"Fiyat");
  // The next absent name gets a fresh dummy; A stays a member.
  TDynVarKv* B = Vars.GetDynVar(L"B");
  EXPECT_NE(B, A);
  EXPECT_EQ(Vars.GetDynVar(L"A")->GetAsInteger(), 7);
  EXPECT_FALSE(A->GetIsDummy());
  EXPECT_TRUE(B->GetIsDummy());
}

TEST(DynVars, DummyOverwrittenByLaterVariableOfItsNameIsRefused) {
  TDynVarsKv Vars(nullptr);
  TDynVarKv* Dummy = Vars.GetDynVar(L"X");
  Vars.CreateDynVar(L"X", 1);
  EXPECT_EQ(RaisedMessage([&] { Dummy->SetAsInteger(2); }), DuplicateMessage(L"X"));
  ASSERT_EQ(Vars.GetCount(), 1);
  EXPECT_EQ(Vars[0]->GetAsInteger(), 1);
}

TEST(DynVars, TypedAccessorsStoreTheirTypeAndReadNullAsZero) {
  TDynVarsKv Vars(nullptr);
  TDynVarKv* V = Vars.GetDynVar(L"V");
  V->SetAsBoolean(true);
  EXPECT_EQ(VarType(V->GetValue()), varBoolean);
  EXPECT_TRUE(V->GetAsBoolean());
  V->SetAsInteger(-5);
  EXPECT_EQ(VarType(V->GetValue()), varInteger);
  EXPECT_EQ(V->GetAsFloat(), -5.0);
  V->SetAsFloat(2.5);
  EXPECT_EQ(VarType(V->GetValue()), varDouble);
  V->SetAsCurrency(Currency(1.25));
  EXPECT_EQ(VarType(V->GetValue()), varCurrency);
  EXPECT_EQ(V->GetAsCurrency(), Currency(1.25));
  V->SetAsDateTime(TDateTime(45000.5));
  EXPECT_EQ(VarType(V->GetValue()), varDate);
  EXPECT_EQ(V->GetAsDateTime().Val, 45000.5);
  V->SetAsString(L"abc");
  EXPECT_EQ(V->GetAsString(), L"abc");
  EXPECT_THROW(V->GetAsInteger(), Exception);  // no number: the variant's conversion error

  V->SetValue(Null);
  EXPECT_TRUE(V->GetIsNull());
  EXPECT_FALSE(V->GetAsBoolean());
  EXPECT_EQ(V->GetAsInteger(), 0);
  EXPECT_EQ(V->GetAsFloat(), 0.0);
  EXPECT_EQ(V->GetAsCurrency(), Currency(0));
  EXPECT_EQ(V->GetAsRefObject(), nullptr);
  EXPECT_EQ(V->GetAsString(), L"");
}

TEST(DynVars, ObjectReferenceSurvivesWhole) {
  TDynVarsKv Vars(nullptr);
  TObject Obj;
  Vars.CreateDynVar(L"Column", &Obj);
  Vars.GetDynVar(L"Other")->SetAsRefObject(&Obj);
  EXPECT_EQ(Vars.FindDynVar(L"Column")->GetAsRefObject(), &Obj);
  EXPECT_EQ(Vars.FindDynVar(L"Other")->GetAsRefObject(), &Obj);
}

TEST(DynVars, AsStringChangesSilentlyWhileValueNotifies) {
  TDynVarsKv Vars(nullptr);
  TDynVarKv* V = Vars.CreateDynVar(L"S", L"a");
  Integer Changes = 0;
  Vars.SetOnChange([&Changes](TObject*) { ++Changes; });
  V->SetAsString(L"b");
  EXPECT_EQ(Changes, 0);
  EXPECT_EQ(V->GetAsString(), L"b");
  V->SetValue(L"c");
  EXPECT_EQ(Changes, 1);
}

TEST(DynVars, DuplicatesAreRefusedAndNothingIsLost) {
  TDynVarsKv Vars(nullptr);
  Vars.CreateDynVar(L"A", 1);
  TDynVarKv* B = Vars.CreateDynVar(L"B", 2);
  EXPECT_EQ(RaisedMessage([&] { Vars.CreateDynVar(L"a", 3); }), DuplicateMessage(L"a"));
  EXPECT_EQ(RaisedMessage([&] { B->SetName(L"A"); }), DuplicateMessage(L"A"));
  ASSERT_EQ(Vars.GetCount(), 2);
  EXPECT_EQ(B->GetName(), L"B");
  EXPECT_EQ(Vars.FindDynVar(L"A")->GetAsInteger(), 1);
  B->SetName(L"b");  // its own name in another case is no duplicate
  EXPECT_EQ(B->GetName(), L"b");

  TDynVarsKv Other(nullptr);
  TDynVarKv* Moved = Other.CreateDynVar(L"A", 9);
  EXPECT_EQ(RaisedMessage([&] { Vars.AddDynVar(Moved); }), DuplicateMessage(L"A"));
  EXPECT_EQ(Moved->VarCollection(), &Other);
  Moved->SetName(L"C");
  Vars.AddDynVar(Moved);
  EXPECT_EQ(Vars.GetCount(), 3);
  EXPECT_EQ(Other.GetCount(), 0);
  Vars.RemoveDynVar(Moved);
  EXPECT_EQ(Vars.GetCount(), 2);
  delete Moved;
}

TEST(DynVars, DisplayNameShowsNameAndValue) {
  TDynVarsKv Vars(nullptr);
  struct TCase {
    const wchar_t* Name;
    Variant Value;
    const wchar_t* Display;
  } Cases[] = {
      {L"X", Variant(5), L"X=5"},
      {L"", Variant(L"v"), L"(EmptyName)=v"},
      {L"N", Null, L"N=(Null)"},
      {L"U", Unassigned, L"U=(Empty)"},
      {L"Arr", VarArrayOf({1, 2}), L"Arr=?"},  // no text form
  };
  for (auto& C : Cases) {
    TDynVarKv V(nullptr);
    V.SetName(C.Name);
    V.SetValue(C.Value);
    EXPECT_EQ(V.GetDisplayName(), C.Display);
  }
}

TEST(DynVars, EqualityComparesNamesExactly) {
  TDynVarsKv L(nullptr), R(nullptr);
  L.CreateDynVar(L"A", 1);
  R.CreateDynVar(L"a", 1);
  EXPECT_FALSE(L.IsEqual(&R));
  R[0]->SetName(L"A");
  EXPECT_TRUE(L.IsEqual(&R));
  R[0]->SetAsFloat(1.0);  // another variant type
  EXPECT_FALSE(L.IsEqual(&R));
}

TEST(DynVars, AssignValuesTakesOnlyNamesBothHave) {
  TDynVarsKv Target(nullptr), Source(nullptr);
  Target.CreateDynVar(L"A", 1);
  Target.CreateDynVar(L"B", 2);
  Source.CreateDynVar(L"B", 20);
  Source.CreateDynVar(L"C", 30);
  Target.AssignValues(&Source);
  ASSERT_EQ(Target.GetCount(), 2);
  EXPECT_EQ(Target.FindDynVar(L"A")->GetAsInteger(), 1);
  EXPECT_EQ(Target.FindDynVar(L"B")->GetAsInteger(), 20);
  EXPECT_FALSE(Target.VarExists(L"C"));

  TDynVarsKv Copy(nullptr);
  Copy.Assign(&Source);
  EXPECT_TRUE(Copy.IsEqual(&Source));
}

TEST(DynVars, StreamWithTheirOwner) {
  TDynPropsHolder Source(nullptr);
  Source.SetName(L"Holder");
  Source.GetDynProps()->CreateDynVar(L"Count", 3);
  Source.GetDynProps()->CreateDynVar(L"Title", String(L"Dağ evi"));
  Source.GetDynProps()->CreateDynVar(L"Empty", Null);
  TMemoryStream M;
  M.WriteComponent(&Source);
  M.SetPosition(0);
  TDynPropsHolder Copy(nullptr);
  M.ReadComponent(&Copy);
  EXPECT_TRUE(Copy.GetDynProps()->IsEqual(Source.GetDynProps()));
  EXPECT_EQ(Copy.GetDynProps()->GetNamePath(), L"Holder.DynProps");
}

TEST(StringVars, TextFormRoundTrips) {
  TStringVarsKv Vars(nullptr);
  EXPECT_EQ(Vars.GetAsTextString(), L"");
  Vars.SetFromTextString(L"x=1\r\ny=2=3\r\nnoequals");
  ASSERT_EQ(Vars.GetCount(), 3);
  EXPECT_EQ(Vars.GetVarValue(L"x"), L"1");
  EXPECT_EQ(Vars.GetVarValue(L"Y"), L"2=3");
  EXPECT_EQ(Vars[2]->GetName(), L"");
  EXPECT_EQ(Vars.GetAsTextString(), L"x=1\r\ny=2=3\r\n=\r\n");
  Vars.SetVarValue(L"x", L"ş");
  EXPECT_EQ(Vars.GetVarValue(L"x"), L"ş");
}

TEST(StringVars, BadTextKeepsTheVariablesItHad) {
  TStringVarsKv Vars(nullptr);
  Vars.SetFromTextString(L"a=1\r\nb=2");
  Integer Changes = 0;
  Vars.SetOnChange([&Changes](TObject*) { ++Changes; });
  EXPECT_EQ(RaisedMessage([&] { Vars.SetFromTextString(L"c=3\r\nC=4"); }), DuplicateMessage(L"C"));
  EXPECT_EQ(Vars.GetAsTextString(), L"a=1\r\nb=2\r\n");
  EXPECT_EQ(Changes, 0);
}

TEST(StringVars, UnknownNameRaisesNamingTheCollection) {
  TStringVarsKv Vars(nullptr);
  const String Expected = L"A Variable named 'q' doesn't exist in the Collection 'TStringVarsKv'";
  EXPECT_EQ(RaisedMessage([&] { Vars.GetVarValue(L"q"); }), Expected);
  EXPECT_EQ(RaisedMessage([&] { Vars.SetVarValue(L"q", L"1"); }), Expected);
}

TEST(StringVars, ATextOfManyLinesIsReadInOnePass) {
  // 100,000 lines: comparing every name with every other would take many minutes.
  const Integer Count = 100000;
  String Text;
  for (Integer I = 0; I < Count; ++I) Text += L"v" + IntToStr(I) + L"=" + IntToStr(I) + L"\r\n";
  TStringVarsKv Vars(nullptr);
  Vars.SetFromTextString(Text);
  ASSERT_EQ(Vars.GetCount(), Count);
  EXPECT_EQ(Vars.GetVarValue(L"V99999"), L"99999");
  // A repeat of the first name on the last line is found, and nothing is replaced.
  EXPECT_EQ(RaisedMessage([&] { Vars.SetFromTextString(Text + L"V0=x\r\n"); }), DuplicateMessage(L"V0"));
  EXPECT_EQ(Vars.GetCount(), Count);
  EXPECT_EQ(Vars.GetVarValue(L"v0"), L"0");
}

// The lookup by name against a scan of the items, after thousands of random changes.
TEST(DynVars, LookupByNameAgreesWithTheItemsAfterEveryKindOfChange) {
  TDynVarsKv Vars(nullptr);
  TDynVarsKv Other(nullptr);
  std::mt19937 Rng(4242);
  const wchar_t* const Names[] = {L"a", L"A", L"b", L"B", L"ç", L"Ç", L"i", L"I", L"İ", L"ı", L"", L"x1", L"X1"};
  auto Name = [&] { return String(Names[Rng() % std::size(Names)]); };
  auto Scan = [&](const String& N) -> TDynVarKv* {
    for (Integer I = 0; I < Vars.GetCount(); ++I)
      if (SameText(Vars[I]->GetName(), N)) return Vars[I];
    return nullptr;
  };
  for (Integer Step = 0; Step < 5000; ++Step) {
    try {
      switch (Rng() % 9) {
        case 0: Vars.CreateDynVar(Name(), Step); break;
        case 1: if (Vars.GetCount()) Vars[Integer(Rng() % Vars.GetCount())]->SetName(Name()); break;
        case 2: Vars.DeleteDynVar(Name()); break;
        case 3: if (Vars.GetCount()) delete Vars[Integer(Rng() % Vars.GetCount())]; break;
        case 4: Vars.GetDynVar(Name())->SetAsInteger(Step); break;  // a dummy joins
        case 5: Other.CreateDynVar(Name(), Step); break;
        case 6: if (Other.GetCount()) Vars.AddDynVar(Other[0]); break;
        case 7:
          if (Vars.GetCount()) {
            TDynVarKv* Out = Vars[0];
            Vars.RemoveDynVar(Out);
            delete Out;
          }
          break;
        case 8: if (Rng() % 20 == 0) Vars.Clear(); else static_cast<TCollection&>(Vars).Add(); break;
      }
    } catch (const Exception&) {
    }
    for (const wchar_t* N : Names) ASSERT_EQ(Vars.FindDynVar(N), Scan(N)) << "step " << Step;
  }
}

// "name=value" texts, mutated: what reads has unique names and reads again as it writes.
TEST(StringVarsFuzz, TextsReadWholeOrNotAtAll) {
  TFuzzSuite Suite{"string variables",
                   {FuzzBytes("x=1\r\ny=2=3\r\nnoequals"), FuzzBytes(UTF8Encode(L"ad=Dağ\nsoyad=Işık\r\n"))},
                   2000,
                   0x1F83D9ABFB41BD6BULL,
                   {"=", "\r\n", "\n", "\r", "X", "x"}};
  String Many;
  for (Integer I = 0; I < 40000; ++I) Many += L"n" + IntToStr(I) + L"=\r\n";
  Suite.Hostile = {FuzzBytes(UTF8Encode(Many)), FuzzBytes(UTF8Encode(Many + L"N39999=1"))};
  Fuzz(Suite, [](const TBytes& B) {
    TStringVarsKv Vars(nullptr);
    Vars.SetFromTextString(UTF8ToString(std::string(B.begin(), B.end())));
    for (Integer I = 0; I < Vars.GetCount(); ++I) EXPECT_EQ(Vars.FindDynVar(Vars[I]->GetName()), Vars[I]);
    const String Text = Vars.GetAsTextString();
    TStringVarsKv Again(nullptr);
    Again.SetFromTextString(Text);
    EXPECT_EQ(Again.GetAsTextString(), Text);
  });
}

}  // namespace
