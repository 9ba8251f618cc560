#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "framework/ActnList.h"
#include "framework/Classes.h"
#include "framework/ComCtrls.h"
#include "framework/DB.h"
#include "framework/ExtCtrls.h"
#include "framework/ImgList.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/graphics/Bitmap.h"
#include "tests/framework/controls/ControlsTestUtil.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;

namespace {

// Components made on the stack and filled with what they hold, then left to go out of scope:
// what they own goes with them, and whatever outlived them no longer reaches them. (Menus and
// their items: the StackMenus tests.)
using TRefs = std::vector<TComponentRef<TComponent>>;

void Watch(TRefs& Refs, std::initializer_list<TComponent*> Components) {
  for (TComponent* C : Components) Refs.emplace_back(C);
}

bool AllGone(const TRefs& Refs) {
  for (auto& R : Refs)
    if (R) return false;
  return true;
}

struct TStackCase {
  const char* Name;
  std::function<void()> Run;
};

// An image list that a menu and an item outlive.
void ImageListCase() {
  auto Menu = std::make_unique<TPopupMenu>(nullptr);
  auto* Item = new TMenuItem(Menu.get());
  Menu->GetItems()->Add(Item);
  {
    TImageList Images(nullptr);
    TBitmap Picture;
    Picture.SetSize(16, 16);
    Images.Add(&Picture, nullptr);
    Menu->SetImages(&Images);
    Item->SetSubMenuImages(&Images);
    Menu->GetHandle();
  }
  EXPECT_EQ(Menu->GetImages(), nullptr);
  EXPECT_EQ(Item->GetSubMenuImages(), nullptr);
  Item->SetImageIndex(0);  // rebuilds the entry, asking for its image list
  EXPECT_EQ(Item->GetImageList(), nullptr);
}

// An action with a menu item and a control linked to it.
void ActionCase() {
  auto Menu = std::make_unique<TPopupMenu>(nullptr);
  auto* Item = new TMenuItem(Menu.get());
  Menu->GetItems()->Add(Item);
  auto Button = std::make_unique<TButton>(nullptr);
  {
    TAction Action(nullptr);
    Action.SetCaption(L"Kaydet");
    Item->SetAction(&Action);
    Button->SetAction(&Action);
  }
  EXPECT_EQ(Item->GetAction(), nullptr);
  EXPECT_EQ(Button->GetAction(), nullptr);
  Item->Click();
  Item->SetCaption(L"Sonra");
}

// An action list holding actions it owns and one owned elsewhere.
void ActionListCase() {
  auto Owner = std::make_unique<TComponent>(nullptr);
  auto* Outside = new TAction(Owner.get());
  TRefs Owned;
  {
    TActionList List(nullptr);
    for (int I = 0; I < 3; ++I) {
      auto* A = new TAction(&List);
      A->SetActionList(&List);
      Owned.emplace_back(A);
    }
    Outside->SetActionList(&List);
  }
  EXPECT_TRUE(AllGone(Owned));
  EXPECT_EQ(Outside->GetActionList(), nullptr);
  EXPECT_FALSE(Outside->Execute());
}

// Windowed controls holding panels, buttons and radio buttons, shown in a form.
void StatusBarCase() {
  TFormHolder F;
  {
    TStatusBar Bar(F.Form);
    Bar.SetParent(F.Form);
    for (int I = 0; I < 3; ++I) Bar.GetPanels()->Add()->SetText(L"Panel");
    Bar.HandleNeeded();
  }
  EXPECT_EQ(F->GetControlCount(), 0);
  EXPECT_EQ(F->GetComponentCount(), 0);
}

void ToolBarCase() {
  TFormHolder F;
  TRefs Buttons;
  {
    TToolBar Bar(nullptr);
    Bar.SetParent(F.Form);
    for (int I = 0; I < 3; ++I) {
      auto* B = new TToolButton(&Bar);
      B->SetParent(&Bar);
      Buttons.emplace_back(B);
    }
    Bar.HandleNeeded();
  }
  EXPECT_TRUE(AllGone(Buttons));
  EXPECT_EQ(F->GetControlCount(), 0);
}

void RadioGroupCase() {
  TFormHolder F;
  {
    TRadioGroup Group(nullptr);
    Group.SetParent(F.Form);
    Group.GetItems()->Add(L"Bir");
    Group.GetItems()->Add(L"İki");
    Group.SetItemIndex(1);
    Group.HandleNeeded();
  }
  EXPECT_EQ(F->GetControlCount(), 0);
}

// A dataset with its fields, watched by a data source that outlives it.
void DataSetCase() {
  auto Source = std::make_unique<TDataSource>(nullptr);
  TRefs Fields;
  {
    TArrayDataSet Data(nullptr);
    Data.GetFieldDefs()->Add(L"ID", ftInteger);
    Data.GetFieldDefs()->Add(L"AD", ftWideString, 20);
    Data.Open();
    Data.AppendRecord({1, L"Bir"});
    Source->SetDataSet(&Data);
    for (Integer I = 0; I < Data.GetFieldCount(); ++I) Fields.emplace_back(Data.GetFields()->GetField(I));
  }
  EXPECT_TRUE(AllGone(Fields));
  EXPECT_EQ(Source->GetDataSet(), nullptr);
}

// A data source between a dataset and a data link that both outlive it.
void DataSourceCase() {
  auto Data = std::make_unique<TArrayDataSet>(nullptr);
  Data->GetFieldDefs()->Add(L"ID", ftInteger);
  Data->Open();
  TDataLink Link;
  {
    TDataSource Source(nullptr);
    Source.SetDataSet(Data.get());
    Link.SetDataSource(&Source);
    EXPECT_TRUE(Link.GetActive());
  }
  EXPECT_EQ(Link.GetDataSource(), nullptr);
  EXPECT_FALSE(Link.GetActive());
  Data->Close();
}

// A data module owning a menu, an image list and actions.
void DataModuleCase() {
  TRefs Owned;
  {
    TDataModule Module(nullptr, 0);
    auto* Images = new TImageList(&Module);
    auto* Menu = new TPopupMenu(&Module);
    Menu->SetImages(Images);
    auto* Item = new TMenuItem(&Module);
    Menu->GetItems()->Add(Item);
    auto* List = new TActionList(&Module);
    auto* Action = new TAction(&Module);
    Action->SetActionList(List);
    Item->SetAction(Action);
    Menu->GetHandle();
    Watch(Owned, {Images, Menu, Item, List, Action});
  }
  EXPECT_TRUE(AllGone(Owned));
}

const TStackCase StackCases[] = {
    {"ImageList", ImageListCase},   {"Action", ActionCase},         {"ActionList", ActionListCase},
    {"StatusBar", StatusBarCase},   {"ToolBar", ToolBarCase},       {"RadioGroup", RadioGroupCase},
    {"DataSet", DataSetCase},       {"DataSource", DataSourceCase}, {"DataModule", DataModuleCase},
};

class StackComponents : public ::testing::TestWithParam<TStackCase> {};

TEST_P(StackComponents, FreesWhatItHoldsAndLetsGoOfWhatOutlivesIt) { GetParam().Run(); }

INSTANTIATE_TEST_SUITE_P(Kinds, StackComponents, ::testing::ValuesIn(StackCases),
                         [](const ::testing::TestParamInfo<TStackCase>& I) { return std::string(I.param.Name); });

}  // namespace
