// Every reference property lets go of a component freed by someone else: the holder reads null
// and goes on working.

#include <gtest/gtest.h>

#include <functional>

#include "framework/ActnList.h"
#include "framework/DB.h"
#include "framework/ExtCtrls.h"
#include "framework/ImgList.h"
#include "framework/classes/Strings.h"
#include "framework/StdCtrls.h"
#include "framework/controls/ControlsTestUtil.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;

namespace {

// One reference: what it points at, how the holder reports it, and a use of the holder that
// must not touch the freed component.
struct TReference {
  TComponent* Target;
  std::function<TComponent*()> Read;
  std::function<void()> Use;
};

struct TReferenceCase {
  const char* Name;
  std::function<TReference(TForm* Form)> Make;
};

TArrayDataSet* NewDataSet(TComponent* Owner) {
  auto* DS = new TArrayDataSet(Owner);
  DS->GetFieldDefs()->Add(L"ID", ftInteger);
  return DS;
}

const TReferenceCase ReferenceCases[] = {
    {"control's action",
     [](TForm* Form) {
       auto* A = new TAction(Form);
       A->SetCaption(L"Kaydet");
       auto* B = new TButton(Form);
       B->SetParent(Form);
       B->SetAction(A);
       return TReference{A, [B] { return B->GetAction(); }, [B] {
                           B->Click();
                           B->InitiateAction();
                           EXPECT_EQ(B->GetCaption(), L"Kaydet");  // what the action gave stays
                           B->SetAction(nullptr);
                         }};
     }},
    {"label's focus control",
     [](TForm* Form) {
       auto* E = new TEdit(Form);
       E->SetParent(Form);
       auto* L = new TLabel(Form);
       L->SetParent(Form);
       L->SetCaption(L"&Ad");
       L->SetFocusControl(E);
       return TReference{E, [L] { return L->GetFocusControl(); }, [L] {
                           EXPECT_EQ(L->Perform(CM_DIALOGCHAR, L'A'), 0);  // no control to focus
                         }};
     }},
    {"radio group's button",
     [](TForm* Form) {
       auto* G = new TRadioGroup(Form);
       G->SetParent(Form);
       G->GetItems()->Add(L"Bir");
       G->GetItems()->Add(L"İki");
       return TReference{G->GetButtons(0), [G] { return G->GetButtons(0); }, [G] {
                           G->SetItemIndex(0);
                           G->SetItemIndex(-1);
                           G->SetEnabled(false);
                           G->SetWidth(G->GetWidth() + 10);  // arranges the buttons
                           G->GetItems()->Add(L"Üç");         // makes them again
                           ASSERT_EQ(G->GetButtonCount(), 3);
                           EXPECT_NE(G->GetButtons(0), nullptr);
                         }};
     }},
    {"field's lookup dataset",
     [](TForm* Form) {
       auto* Lookup = NewDataSet(Form);
       auto* F = new TIntegerField(Form);
       F->SetLookupDataSet(Lookup);
       return TReference{Lookup, [F] { return F->GetLookupDataSet(); }, [F] {
                           F->SetLookupDataSet(nullptr);
                         }};
     }},
};

TEST(FreedReference, TheHolderSeesNullAndGoesOn) {
  for (const TReferenceCase& C : ReferenceCases) {
    SCOPED_TRACE(C.Name);
    TFormHolder F;
    TReference R = C.Make(F.Form);
    ASSERT_NE(R.Target, nullptr);
    ASSERT_EQ(R.Read(), R.Target);
    delete R.Target;
    EXPECT_EQ(R.Read(), nullptr);
    R.Use();
  }
}

// The reverse direction for the same references: freeing the holder first leaves the
// referenced component whole and free of the holder.
TEST(FreedReference, FreeingTheHolderFirstLeavesTheTargetUsable) {
  TFormHolder F;
  auto* A = new TAction(F.Form);
  auto* B = new TButton(F.Form);
  B->SetParent(F.Form);
  B->SetAction(A);
  delete B;
  A->SetCaption(L"Yeni");  // tells no client any more
  A->Execute();

  auto* DS = NewDataSet(F.Form);
  auto* Src = new TDataSource(F.Form);
  Src->SetDataSet(DS);
  delete Src;
  DS->Open();  // has no source left to tell
  EXPECT_TRUE(DS->GetActive());
  delete DS;
}

TEST(FreedReference, AChangeLinkForgetsItsFreedImageList) {
  auto* List = new TImageList(nullptr);
  Integer Changes = 0;
  TChangeLink Link;
  Link.SetOnChange([&](TObject*) { ++Changes; });
  List->RegisterChanges(&Link);
  List->GetHandle();
  List->SetWidth(24);  // makes the list again: a change
  EXPECT_EQ(Changes, 1);
  delete List;
  EXPECT_EQ(Link.GetSender(), nullptr);
  Link.Change();  // nobody to tell
  EXPECT_EQ(Changes, 1);

  // A link freed first leaves the list.
  TImageList Other(nullptr);
  {
    TChangeLink Short;
    Other.RegisterChanges(&Short);
  }
  Other.SetWidth(20);
}

// A data source freed by another source's handler while the dataset tells them all of a change.
TEST(FreedReference, ASourceFreedWhileTheDataSetNotifiesIsSkipped) {
  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"ID", ftInteger);
  auto* First = new TDataSource(nullptr);
  auto* Second = new TDataSource(nullptr);
  First->SetDataSet(&DS);
  Second->SetDataSet(&DS);
  Integer SecondChanges = 0;
  Second->SetOnStateChange([&](TObject*) { ++SecondChanges; });
  First->SetOnStateChange([&](TObject*) {
    if (!Second) return;
    delete Second;
    Second = nullptr;
  });
  DS.Open();
  EXPECT_EQ(Second, nullptr);
  EXPECT_EQ(SecondChanges, 0);
  EXPECT_EQ(First->GetState(), dsBrowse);
  DS.Close();
  delete First;
}

}  // namespace
