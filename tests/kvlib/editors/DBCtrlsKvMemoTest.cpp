// The data-aware memo: its lines as the window holds them, the caret, changes through Lines that
// post at once (and only when something changed), and long lines read whole.

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;

namespace {

// A memo on a shown form, bound to a memo field, counting its posts.
struct TMemoForm {
  TFormHolder F{400, 300};
  TArrayDataSet DS{nullptr};
  TDataSource Source{nullptr};
  TCustomDBMemoKv* Memo;
  Integer Posts = 0;
  explicit TMemoForm(const String& Text, bool WordWrap = true) {
    DS.GetFieldDefs()->Add(L"NOTE", ftWideMemo);
    DS.Open();
    DS.AppendRecord({Text});
    Source.SetDataSet(&DS);
    Memo = new TCustomDBMemoKv(F.Form);
    Memo->SetWordWrap(WordWrap);
    Memo->SetParent(F.Form);
    Memo->SetBounds(0, 0, 380, 280);
    Memo->SetDataSource(&Source);
    Memo->SetDataField(L"NOTE");
    Memo->SetOnUpdateData([this](TObject*, bool&) { ++Posts; });
    F->Show();
    Pump();
  }
  ~TMemoForm() { Memo->SetDataSource(nullptr); }
  String Note() { return DS.FieldByName(L"NOTE")->GetAsString(); }
  std::vector<String> Lines() {
    std::vector<String> R;
    for (Integer I = 0; I < Memo->GetLines()->GetCount(); ++I) R.push_back(Memo->GetLines()->GetStrings(I));
    return R;
  }
};

TEST(DBMemoLines, AFinalLineBreakMakesNoLine) {
  struct TCase {
    const wchar_t* Text;
    std::vector<String> Lines;
  };
  const TCase Cases[] = {
      {L"ab\r\ncde\r\nfghij\r\n", {L"ab", L"cde", L"fghij"}},
      {L"ab\r\ncde\r\nfghij", {L"ab", L"cde", L"fghij"}},
      {L"ab\r\n\r\n", {L"ab", L""}},
      {L"", {}},
  };
  for (const TCase& C : Cases) {
    TMemoForm T(C.Text);
    EXPECT_EQ(T.Lines(), C.Lines) << C.Text;
  }
}

TEST(DBMemoLines, CaretPositionIsColumnAndLine) {
  TMemoForm T(L"ab\r\ncde\r\nfghij\r\n");
  T.Memo->SetCaretPos(TPoint(3, 2));
  DWORD Start = 0, End = 0;
  SendMessageW(T.Memo->GetHandle(), EM_GETSEL, WPARAM(&Start), LPARAM(&End));
  EXPECT_EQ(Start, 12u);
  EXPECT_EQ(End, 12u);
  EXPECT_EQ(T.Memo->GetCaretPos(), TPoint(3, 2));
}

TEST(DBMemoChanges, PutPostsOnce) {
  TMemoForm T(L"ab\r\ncde\r\nfghij\r\n");
  T.Memo->GetLines()->SetStrings(1, L"X");
  EXPECT_EQ(T.Posts, 1);
  EXPECT_EQ(T.Note(), L"ab\r\nX\r\nfghij\r\n");
  T.Memo->GetLines()->SetStrings(7, L"Y");  // no such line: nothing
  EXPECT_EQ(T.Posts, 1);
}

TEST(DBMemoChanges, SameTextInAnotherLineBreakFormPostsNothing) {
  TMemoForm T(L"ab\r\ncde\r\n");
  T.Memo->GetLines()->SetText(L"ab\ncde\n");
  EXPECT_EQ(T.Posts, 0);
  EXPECT_NE(T.DS.GetState(), dsEdit);
  T.Memo->GetLines()->SetText(L"ab\ncdef\r");
  EXPECT_EQ(T.Posts, 1);
  EXPECT_EQ(T.Note(), L"ab\r\ncdef\r\n");
}

TEST(DBMemoChanges, InsertAndDelete) {
  struct TCase {
    const wchar_t* Text;
    const char* Op;
    Integer Index;
    const wchar_t* Expected;
  };
  const TCase Cases[] = {
      {L"a\r\nb", "insert", 1, L"a\r\nX\r\nb"},
      {L"a\r\nb", "insert", 2, L"a\r\nb\r\nX"},     // at the count: after the last line
      {L"a\r\nb\r\n", "insert", 3, L"a\r\nb\r\n"},  // past an empty last line: nothing
      {L"a\r\nb", "insert", -1, L"a\r\nb"},
      {L"a\r\nb\r\nc", "delete", 1, L"a\r\nc"},
      {L"a\r\nb\r\nc", "delete", 2, L"a\r\nb\r\n"},
      {L"a\r\nb", "delete", 5, L"a\r\nb"},
  };
  for (const TCase& C : Cases) {
    TMemoForm T(C.Text);
    if (std::string(C.Op) == "insert") T.Memo->GetLines()->Insert(C.Index, L"X");
    else T.Memo->GetLines()->Delete(C.Index);
    EXPECT_EQ(T.Memo->GetText(), C.Expected) << C.Op << " " << C.Index << " in " << C.Text;
  }
}

TEST(DBMemoLines, LongLineIsReadWhole) {
  String Long(10000, L'ğ');
  Long[9999] = L'z';
  TMemoForm T(L"kısa\r\n" + Long + L"\r\nson", false);  // window lines are the text's lines
  ASSERT_EQ(T.Memo->GetLines()->GetCount(), 3);
  EXPECT_EQ(T.Memo->GetLines()->GetStrings(1), Long);
  T.Memo->GetLines()->SetStrings(2, L"SON");
  EXPECT_EQ(T.Note(), L"kısa\r\n" + Long + L"\r\nSON");  // written back uncut
}

TEST(DBMemoChanges, RefusedValueReloadsTheMemo) {
  TMemoForm T(L"ilk");
  T.Memo->SetOnUpdateData([&](TObject*, bool&) {
    if (T.Memo->GetText().find(L"bad") != String::npos) throw EDatabaseError(L"reddedildi");
  });
  EXPECT_THROW(T.Memo->GetLines()->SetText(L"bad"), EDatabaseError);
  EXPECT_EQ(T.Memo->GetText(), L"ilk");
  EXPECT_THROW(T.Memo->GetLines()->Add(L"bad"), EDatabaseError);
  EXPECT_EQ(T.Memo->GetText(), L"ilk");
}

}  // namespace
