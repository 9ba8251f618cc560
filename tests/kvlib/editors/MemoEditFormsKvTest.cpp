// The shared memo editor window: one instance, its captions, the values in and out, read-only use
// and the modal memo-editing routine.

#include "kvlib/editors/MemoEditFormsKv.h"

#include <gtest/gtest.h>

#include <functional>

#include "framework/Buttons.h"
#include "framework/StdCtrls.h"
#include "kvlib/editors/MemoEditFormsKvTestUtil.h"

using namespace ctltest;

TEST(MemoEditWin, OneSharedWindowOwnedByTheApplicationWithTheFamilysCaptions) {
  TMemoEditWinKv* W = TMemoEditWinKv::GlobalInstance();
  ASSERT_NE(W, nullptr);
  EXPECT_EQ(W, TMemoEditWinKv::GlobalInstance());
  EXPECT_EQ(W->GetGlobalRef(), W);
  EXPECT_EQ(W->GetOwner(), Application);
  EXPECT_NE(Application->GetMainForm(), W);
  EXPECT_EQ(W->sbOk->GetCaption(), L"Tamam");
  EXPECT_EQ(W->sbCancel->GetCaption(), L"İptal");
  EXPECT_EQ(W->GetCaption(), L"");
  // The memo fills the left, the buttons and the line keep the right edge.
  EXPECT_EQ(W->Memo1->GetAlign(), alClient);
  EXPECT_EQ(W->Panel1->GetAlign(), alRight);
  EXPECT_EQ(W->Bevel1->GetAlign(), alRight);
  EXPECT_GE(W->Panel1->GetWidth(), 70) << "the buttons show";
  EXPECT_NE(GetClass(L"TMemoEditWinKv"), nullptr);
}

TEST(MemoEditWin, ValuesInAndOutByTheirCount) {
  TMemoEditWinKv* W = TMemoEditWinKv::GlobalInstance();
  const struct {
    std::vector<const wchar_t*> In;
    const wchar_t* Shown;
    TDropDownPassParamsKv Pass;
    std::vector<const wchar_t*> Out;  // after OK with the memo's text changed to "yeni"
  } Cases[] = {
      {{L"abc"}, L"abc", pspFieldValueKv, {L"yeni"}},
      {{L"bir", L"iki"}, L"bir", pspRecordValuesKv, {L"yeni", L"iki"}},
      // Nothing passed: the memo keeps what it had and nothing is returned.
      {{}, L"bir", pspByFieldNamesKv, {}},
  };
  for (const auto& C : Cases) {
    TDynVarsKv Dyn(nullptr);
    for (size_t I = 0; I < C.In.size(); ++I) Dyn.CreateDynVar(L"V" + IntToStr(Integer(I)), Variant(String(C.In[I])));
    W->SetReadOnly(false);
    W->CustomDropDownFormKvInitForm(W, &Dyn);
    EXPECT_EQ(W->Memo1->GetText(), C.Shown);
    EXPECT_EQ(W->GetPassParams(), C.Pass);
    EXPECT_TRUE(W->sbOk->GetEnabled());
    W->Memo1->SetText(L"yeni");
    W->CustomDropDownFormKvReturnParams(W, &Dyn);
    ASSERT_EQ(Dyn.GetCount(), Integer(C.Out.size()));
    for (size_t I = 0; I < C.Out.size(); ++I) EXPECT_EQ(Dyn.GetItem(Integer(I))->GetValue().AsString(), C.Out[I]);
    W->Memo1->SetText(L"bir");
  }
}

TEST(MemoEditWin, ReadOnlyUseDisablesOkAndTheMemo) {
  TMemoEditWinKv* W = TMemoEditWinKv::GlobalInstance();
  TDynVarsKv Dyn(nullptr);
  Dyn.CreateDynVar(String(), Variant(String(L"sabit")));
  W->SetReadOnly(true);
  W->CustomDropDownFormKvInitForm(W, &Dyn);
  EXPECT_FALSE(W->sbOk->GetEnabled());
  EXPECT_TRUE(W->Memo1->GetReadOnly());
  W->SetReadOnly(false);
  W->CustomDropDownFormKvInitForm(W, &Dyn);
  EXPECT_TRUE(W->sbOk->GetEnabled());
  EXPECT_FALSE(W->Memo1->GetReadOnly());
}

TEST(MemoEditWin, TheRoutineAnswersWhetherTheUserAccepted) {
  const struct {
    bool Ok;
    bool ReadOnly;
    bool Answer;
    const wchar_t* Text;
  } Cases[] = {
      {true, false, true, L"abcx"},
      {false, false, false, L"abc"},
      {false, true, false, L"abc"},
  };
  ASSERT_NE(MemoEditDialogProc, nullptr);
  for (const auto& C : Cases) {
    TMemoModalAnswer Answer([&](TMemoEditWinKv* W) {
      EXPECT_EQ(W->Memo1->GetText(), L"abc");
      EXPECT_EQ(W->Memo1->GetReadOnly(), C.ReadOnly);
      W->Memo1->SetText(L"abcx");
      if (C.Ok) W->sbOkClick(nullptr);
      else W->sbCancelClick(nullptr);
    });
    String Text = L"abc";
    EXPECT_EQ(MemoEditDialogProc(Text, TRect(), C.ReadOnly), C.Answer);
    EXPECT_EQ(Answer.Shown(), 1);
    EXPECT_EQ(Text, C.Text);
    EXPECT_EQ(TMemoEditWinKv::GlobalInstance()->GetDynParams(), nullptr) << "the call's values are gone";
  }
}
