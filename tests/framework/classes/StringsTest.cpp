#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/sysutils/Encoding.h"

namespace {

String Joined(const TStrings& L) {
  String R;
  for (Integer I = 0; I < L.GetCount(); ++I) R += L[I] + L"|";
  return R;
}

TEST(StringListText, SettingSplitsAtCrLfAndCrLf) {
  const std::pair<const wchar_t*, const wchar_t*> Cases[] = {
      {L"", L""},
      {L"a", L"a|"},
      {L"a\r\nb", L"a|b|"},
      {L"a\nb\rc", L"a|b|c|"},
      {L"a\r\n", L"a|"},
      {L"\r\n", L"|"},
      {L"a\n\rb", L"a||b|"},
      {L"a\r\rb", L"a||b|"},
      {L"a\r\n\r\nb\r\n", L"a||b|"},
      {L"ı\tİ\r\nş", L"ı\tİ|ş|"},
  };
  for (auto [Text, Expected] : Cases) {
    TStringList L;
    L.SetText(Text);
    EXPECT_EQ(Joined(L), Expected) << UTF8Encode(Text);
  }
}

TEST(StringListText, GettingEndsEveryLineWithTheLineBreak) {
  TStringList L;
  EXPECT_EQ(L.GetText(), L"");
  L.Add(L"a"), L.Add(L""), L.Add(L"b");
  EXPECT_EQ(L.GetText(), L"a\r\n\r\nb\r\n");
  L.SetTrailingLineBreak(false);
  EXPECT_EQ(L.GetText(), L"a\r\n\r\nb");
  L.SetTrailingLineBreak(true);
  L.SetLineBreak(L"<br>");
  EXPECT_EQ(L.GetText(), L"a<br><br>b<br>");
  L.SetText(L"x<br>y\r\nz<br>");
  EXPECT_EQ(Joined(L), L"x|y\r\nz|");
}

TEST(StringListCommaText, QuotesItemsWithBlanksCommasOrQuotes) {
  const std::pair<std::vector<String>, const wchar_t*> Cases[] = {
      {{}, L""},
      {{L""}, L"\"\""},
      {{L"a", L"b"}, L"a,b"},
      {{L"a b", L"c"}, L"\"a b\",c"},
      {{L"a,b"}, L"\"a,b\""},
      {{L"say \"hi\""}, L"\"say \"\"hi\"\"\""},
      {{L"a", L""}, L"a,"},
      {{L"tab\there"}, L"\"tab\there\""},
      {{L"Müşteri Adı", L"Tutar"}, L"\"Müşteri Adı\",Tutar"},
  };
  for (const auto& [Items, Expected] : Cases) {
    TStringList L;
    L.AddStrings(Items);
    EXPECT_EQ(L.GetCommaText(), Expected);
    TStringList Back;
    Back.SetCommaText(L.GetCommaText());
    EXPECT_TRUE(Back.Equals(&L)) << UTF8Encode(Expected) << " reads back";
  }
}

TEST(StringListCommaText, ReadingSplitsAtCommasAndUnquotedBlanks) {
  const std::pair<const wchar_t*, const wchar_t*> Cases[] = {
      {L"a,b", L"a|b|"},
      {L"  a , b  ", L"a|b|"},
      {L"a b", L"a|b|"},
      {L"\"a b\",c", L"a b|c|"},
      {L"\"a \"\"q\"\"\"", L"a \"q\"|"},
      {L"a,,b", L"a||b|"},
      {L"a,", L"a||"},
      {L",", L"||"},
      {L"\"open", L"open|"},
      {L"\"a\"b,c", L"a|b|c|"},
  };
  for (auto [Text, Expected] : Cases) {
    TStringList L;
    L.SetCommaText(Text);
    EXPECT_EQ(Joined(L), Expected) << UTF8Encode(Text);
  }
}

TEST(StringListCommaText, DelimitedTextFollowsDelimiterQuoteAndStrictness) {
  TStringList L;
  L.SetDelimiter(L';');
  L.SetQuoteChar(L'\'');
  L.SetDelimitedText(L"a b;'c;d';e");
  EXPECT_EQ(Joined(L), L"a|b|c;d|e|");
  L.SetStrictDelimiter(true);
  L.SetDelimitedText(L"a b; c");
  EXPECT_EQ(Joined(L), L"a b| c|");
  EXPECT_EQ(L.GetDelimitedText(), L"a b; c");
  EXPECT_EQ(L.GetCommaText(), L"\"a b\",\" c\"");  // comma text ignores the list's own settings
  EXPECT_EQ(L.GetDelimiter(), L';');
}

TEST(StringListNames, NamesValuesAndValueFromIndex) {
  TStringList L;
  L.SetText(L"Host=localhost\r\nPort=5452\r\nnoseparator\r\nEmpty=\r\nPath=C:\\a=b");
  EXPECT_EQ(L.GetNames(0), L"Host");
  EXPECT_EQ(L.GetNames(2), L"");
  EXPECT_EQ(L.GetKeyNames(2), L"noseparator");
  EXPECT_EQ(L.GetValues(L"port"), L"5452");  // names match ignoring case
  EXPECT_EQ(L.GetValues(L"Path"), L"C:\\a=b");
  EXPECT_EQ(L.GetValues(L"Missing"), L"");
  EXPECT_EQ(L.GetValueFromIndex(2), L"");
  EXPECT_EQ(L.GetValueFromIndex(3), L"");
  EXPECT_EQ(L.IndexOfName(L"EMPTY"), 3);
  L.SetValues(L"Port", L"6000");
  EXPECT_EQ(L[1], L"Port=6000");
  L.SetValues(L"User", L"zelkor");
  EXPECT_EQ(L[L.GetCount() - 1], L"User=zelkor");
  L.SetValues(L"Host", L"");
  EXPECT_EQ(L.IndexOfName(L"Host"), -1);
  L.SetValueFromIndex(0, L"7000");
  EXPECT_EQ(L[0], L"Port=7000");
  L.SetNameValueSeparator(L':');
  L.AddPair(L"Key", L"Value");
  EXPECT_EQ(L.GetValues(L"Key"), L"Value");
}

TEST(StringListSearch, IndexOfIgnoresCaseUnlessCaseSensitive) {
  TStringList L;
  L.Add(L"Zelkor"), L.Add(L"ŞUBE");
  EXPECT_EQ(L.IndexOf(L"zelkor"), 0);
  EXPECT_EQ(L.IndexOf(L"şube"), 1);
  EXPECT_EQ(L.IndexOf(L"x"), -1);
  L.SetCaseSensitive(true);
  EXPECT_EQ(L.IndexOf(L"zelkor"), -1);
  EXPECT_EQ(L.IndexOf(L"Zelkor"), 0);
}

TEST(StringListSort, SortedListFollowsTheLocaleNotCodeUnits) {
  TStringList L;
  for (const wchar_t* S : {L"şeker", L"uzum", L"çay", L"tuz", L"ütü", L"sabun", L"dut", L"cam"}) L.Add(S);
  L.SetSorted(true);
  // Turkish collates ü as a letter of its own, after u; other locales as a u with a mark.
  if (PRIMARYLANGID(LANGIDFROMLCID(SysLocale.DefaultLCID)) == LANG_TURKISH)
    EXPECT_EQ(Joined(L), L"cam|çay|dut|sabun|şeker|tuz|uzum|ütü|");
  else
    EXPECT_EQ(Joined(L), L"cam|çay|dut|sabun|şeker|tuz|ütü|uzum|");
  L.Add(L"Çorba");
  EXPECT_EQ(L.IndexOf(L"çorba"), 2);
  EXPECT_THROW(L.Insert(0, L"x"), EStringListError);
  EXPECT_THROW(L.SetStrings(0, L"x"), EStringListError);
  Integer Index;
  EXPECT_FALSE(L.Find(L"ekmek", Index));
  EXPECT_EQ(Index, 4);
}

TEST(StringListSort, CustomSortAndUnsortedSort) {
  TStringList L;
  L.SetCommaText(L"10,9,100");
  L.CustomSort([](TStringList* List, Integer A, Integer B) {
    return Integer(std::stoi(List->GetStrings(A)) - std::stoi(List->GetStrings(B)));
  });
  EXPECT_EQ(L.GetCommaText(), L"9,10,100");
  L.Sort();
  EXPECT_EQ(L.GetCommaText(), L"10,100,9");
}

TEST(StringListDuplicates, SortedListAppliesTheDuplicatesRule) {
  struct Case {
    TDuplicates Dup;
    bool CaseSensitive;
    Integer Count;
    bool Raises;
  };
  const Case Cases[] = {
      {dupIgnore, false, 2, false}, {dupAccept, false, 3, false}, {dupError, false, 2, true},
      {dupIgnore, true, 3, false},  {dupError, true, 3, false},
  };
  for (const auto& C : Cases) {
    TStringList L;
    L.SetSorted(true);
    L.SetDuplicates(C.Dup);
    L.SetCaseSensitive(C.CaseSensitive);
    L.Add(L"abc"), L.Add(L"x");
    bool Raised = false;
    try {
      Integer I = L.Add(L"ABC");
      if (C.Dup == dupIgnore && !C.CaseSensitive) {
        EXPECT_EQ(I, 0);  // the one already there
      }
    } catch (const EStringListError& E) {
      Raised = true;
      EXPECT_EQ(E.Message(), L"String list does not allow duplicates");
    }
    EXPECT_EQ(Raised, C.Raises) << C.Dup << C.CaseSensitive;
    EXPECT_EQ(L.GetCount(), C.Count) << C.Dup << C.CaseSensitive;
  }
}

struct ChangeCounter {
  int Changing = 0, Change = 0;
  void Hook(TStringList& L) {
    L.SetOnChanging([this](TObject*) { ++Changing; });
    L.SetOnChange([this](TObject*) { ++Change; });
  }
};

TEST(StringListEvents, OnChangeFiresPerChangeOrOnceAfterTheOutermostUpdate) {
  TStringList L;
  ChangeCounter N;
  N.Hook(L);
  L.Add(L"a");
  EXPECT_EQ(N.Change, 1);
  EXPECT_EQ(N.Changing, 1);
  L.SetText(L"x\r\ny\r\nz");  // clear and three adds in one bracket
  EXPECT_EQ(N.Change, 2);
  EXPECT_EQ(N.Changing, 2);
  L.BeginUpdate();
  L.BeginUpdate();
  L.Add(L"b"), L.Delete(0), L.Exchange(0, 1);
  L.EndUpdate();
  EXPECT_EQ(N.Change, 2) << "nothing before the outermost end";
  L.EndUpdate();
  EXPECT_EQ(N.Change, 3);
  EXPECT_EQ(N.Changing, 3);
  L.BeginUpdate();
  EXPECT_EQ(L.IndexOf(L"b"), 2);
  L.EndUpdate();
  EXPECT_EQ(N.Change, 3) << "a bracket without changes fires nothing";
  EXPECT_EQ(N.Changing, 3);
}

TEST(StringListObjects, OwnedObjectsAreFreedOnDeleteAndClearButSurviveMove) {
  int Freed = 0;
  struct TTracked : TObject {
    int& F;
    explicit TTracked(int& AF) : F(AF) {}
    ~TTracked() override { ++F; }
  };
  {
    TStringList L(true);
    auto* A = new TTracked(Freed);
    L.AddObject(L"a", A), L.AddObject(L"b", new TTracked(Freed)), L.AddObject(L"c", new TTracked(Freed));
    L.Move(0, 2);
    EXPECT_EQ(Freed, 0);
    EXPECT_EQ(L.GetObjects(2), A);
    EXPECT_EQ(L.IndexOfObject(A), 2);
    L.Delete(0);
    EXPECT_EQ(Freed, 1);
    L.Clear();
    EXPECT_EQ(Freed, 3);
    L.AddObject(L"d", new TTracked(Freed));
  }
  EXPECT_EQ(Freed, 4);
}

TEST(StringListAssign, CopiesStringsObjectsAndSettings) {
  TStringList Src;
  Src.SetNameValueSeparator(L':');
  Src.AddObject(L"b:1", &Src);
  Src.Add(L"a:2");
  TStringList Dst;
  ChangeCounter N;
  N.Hook(Dst);
  Dst.Add(L"old");
  Dst.Assign(&Src);
  EXPECT_TRUE(Dst.Equals(&Src));
  EXPECT_EQ(Dst.GetObjects(0), &Src);
  EXPECT_EQ(Dst.GetValues(L"a"), L"2");
  EXPECT_EQ(N.Change, 2);  // the Add, then the whole Assign once
  TStringList Sorted;
  Sorted.SetSorted(true);
  Sorted.Assign(&Src);
  EXPECT_EQ(Sorted[0], L"a:2");
  EXPECT_FALSE(Sorted.Equals(&Src));
  TPersistent Other;
  EXPECT_THROW(Dst.Assign(&Other), EConvertError);
}

TBytes Saved(TStrings& L, TEncoding* E = nullptr) {
  TBytesStream S;
  L.SaveToStream(&S, E);
  return TBytes(S.GetBytes().begin(), S.GetBytes().begin() + S.GetSize());
}

TEST(StringListFiles, SavingWritesThePreambleOfTheEncoding) {
  TStringList L;
  L.Add(L"ab");
  EXPECT_EQ(Saved(L), (TBytes{'a', 'b', 13, 10})) << "ANSI without a preamble by default";
  EXPECT_EQ(Saved(L, TEncoding::UTF8()), (TBytes{0xEF, 0xBB, 0xBF, 'a', 'b', 13, 10}));
  EXPECT_EQ(Saved(L, TEncoding::Unicode()), (TBytes{0xFF, 0xFE, 'a', 0, 'b', 0, 13, 0, 10, 0}));
  L.SetWriteBOM(false);
  EXPECT_EQ(Saved(L, TEncoding::UTF8()), (TBytes{'a', 'b', 13, 10}));
}

TEST(StringListFiles, LoadingDetectsThePreambleAndKeepsTheEncodingForSaving) {
  const String Text = L"Şube=İzmir\r\nÜrün=çay\r\n";
  for (TEncoding* E : {TEncoding::UTF8(), TEncoding::Unicode(), TEncoding::BigEndianUnicode()}) {
    TStringList Src;
    Src.SetText(Text);
    TBytes Bytes = Saved(Src, E);
    TBytesStream In(Bytes);
    TStringList L;
    L.LoadFromStream(&In);
    EXPECT_EQ(L.GetText(), Text) << UTF8Encode(E->ClassName());
    EXPECT_EQ(L.GetEncoding(), E);
    EXPECT_EQ(Saved(L), Bytes) << "saved again in the encoding it was read in";
  }
  TBytesStream NoBOM(TBytes{0xC5, 0x9F, '\r', '\n'});
  TStringList L;
  L.LoadFromStream(&NoBOM, TEncoding::UTF8());
  EXPECT_EQ(L[0], L"ş");
}

TEST(StringListFiles, SaveToFileAndLoadFromFileRoundTrip) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Name = String(Dir) + L"qal_strings_test.txt";
  TStringList L;
  L.SetCommaText(L"\"Müşteri Adı\",Tutar");
  L.SaveToFile(Name, TEncoding::UTF8());
  TStringList Back;
  Back.LoadFromFile(Name);
  EXPECT_TRUE(Back.Equals(&L));
  DeleteFileW(Name.c_str());
  EXPECT_THROW(Back.LoadFromFile(Name), EFOpenError);
}

}  // namespace
