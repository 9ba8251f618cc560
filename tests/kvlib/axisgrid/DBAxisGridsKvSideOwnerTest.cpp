// Replacing a data source that belongs to the grid by side, at design time: the grid asks, and
// only a confirmed replacement frees the old source; a refusal frees nothing.

#include <gtest/gtest.h>

#include "framework/Dialogs.h"
#include "framework/StdCtrls.h"
#include "tests/framework/dialogs/DialogDriver.h"
#include "tests/kvlib/axisgrid/AxisGridTestUtil.h"

using namespace axisgridtest;

namespace {

class TSideOwnedSourceKv : public TDataSource, public ISideOwnedComponentKv {
  DECLARE_CLASS(TSideOwnedSourceKv, TDataSource)
 public:
  using TDataSource::TDataSource;
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  bool IsSideParentedBy(TComponent* AComponent) override { return FSideParent == AComponent; }
  void SetSideParent(TComponent* AComponent) override { FSideParent = AComponent; }

 private:
  TComponent* FSideParent = nullptr;
};

class TDesignedAxisGridKv : public TTestAxisGridKv {
  DECLARE_CLASS(TDesignedAxisGridKv, TTestAxisGridKv)
 public:
  using TTestAxisGridKv::TTestAxisGridKv;
  using TTestAxisGridKv::SetDesigning;
};

// Answers the next message dialog with Enter (Yes) or Escape (No), remembering its text.
struct TSideOwnerAnswer {
  String Text;
  dlgtest::TDialogDriver Driver;
  explicit TSideOwnerAnswer(bool Yes)
      : Driver({[this, Yes] {
          TCustomForm* F = Screen->GetActiveForm();
          if (!F || !F->GetVisible() || !F->FindComponent(L"Message") || !GetFocus()) return false;
          if (auto* L = dynamic_cast<TLabel*>(F->FindComponent(L"Message"))) Text = L->GetCaption();
          dlgtest::PostKey(GetFocus(), Yes ? VK_RETURN : VK_ESCAPE);
          return true;
        }}) {}
};

}  // namespace

TEST(AxisGridSideOwner, OnlyAConfirmedReplacementFreesTheOldSource) {
  ctltest::TFormHolder Form;
  auto* Grid = new TDesignedAxisGridKv(Form.Form);
  Grid->SetName(L"Grid1");
  Grid->SetParent(Form.Form);
  Grid->HandleNeeded();
  auto* Old = new TSideOwnedSourceKv(Form.Form);
  Old->SetName(L"Source1");
  Grid->SetDataSource(Old);
  Old->SetSideParent(Grid);
  auto* New = new TSideOwnedSourceKv(Form.Form);
  TComponentRef<TDataSource> OldRef(Old), NewRef(New);
  Grid->SetDesigning(true, false);

  {
    TSideOwnerAnswer No(false);
    Grid->SetDataSource(New);
    EXPECT_TRUE(No.Driver.Finished());
    EXPECT_EQ(No.Text,
              L"Component \"Source1\" belongs to \"Grid1\"and will be deleted if DataSource property is assigned by a "
              L"new component or nil.\r\nDo you want to assign new component to the DataSource property and delete "
              L"\"Source1\" ?");
  }
  EXPECT_EQ(Grid->GetDataSource(), Old);
  ASSERT_NE(OldRef.Get(), nullptr);
  ASSERT_NE(NewRef.Get(), nullptr);
  EXPECT_TRUE(New->IsSideParentedBy(nullptr));

  {
    TSideOwnerAnswer Yes(true);
    Grid->SetDataSource(New);
    EXPECT_TRUE(Yes.Driver.Finished());
  }
  EXPECT_EQ(Grid->GetDataSource(), New);
  EXPECT_EQ(OldRef.Get(), nullptr);
  EXPECT_TRUE(New->IsSideParentedBy(Grid));
  Grid->SetDesigning(false, false);
}
