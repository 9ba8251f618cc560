#include <gtest/gtest.h>

#include <memory>

#include "framework/ComObj.h"
#include "framework/DateUtils.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"
#include "installer/BoxDriver.h"
#include "installer/InstallerTestUtil.h"
#include "installer/QalMain.h"
#include "installer/Version.h"

namespace {

using insttest::LinkTarget;
using insttest::TTestDesktop;

Integer RetailValue(const wchar_t* Name) {
  TRegistry R;
  if (!R.OpenKeyReadOnly(L"\\Software\\Zelkor\\Retail") || !R.ValueExists(Name)) return 0;
  return R.ReadInteger(Name);
}

void DeleteRetailKey() {
  TRegistry R;
  R.DeleteKey(L"\\Software\\Zelkor\\Retail");
}

TDateTime TestNow() { return EncodeDateTime(2031, 6, 7, 8, 9, 10, 0); }

class QalSectorForm : public testing::Test {
 protected:
  void SetUp() override {
    QalClock = &TestNow;
    RegisterQalClasses();
    Application->SetTitle(QalTitle);
    // The main form is not shown, so no start-up runs; it gives the folder and the log.
    Main.reset(TComponent::Create<TfrmQalMain>(nullptr));
    Main->txPath->SetText(L"D:\\Magaza");
    DeleteRetailKey();
  }
  void TearDown() override {
    Main.reset();
    DeleteRetailKey();
    DeleteFile(GetLogFileName());
  }
  String LastLogLine() {
    TStrings* Lines = Main->Memo1->GetLines();
    return Lines->GetCount() ? Lines->GetStrings(Lines->GetCount() - 1) : String();
  }
  std::unique_ptr<TfrmQalMain> Main;
  TTestDesktop Desktop;
};

TEST_F(QalSectorForm, IsLaidOutAsDescribed) {
  std::unique_ptr<TfrmVersion> Form(TComponent::Create<TfrmVersion>(Main.get()));
  EXPECT_EQ(Form->GetBorderStyle(), bsNone);
  EXPECT_EQ(Form->GetPosition(), poOwnerFormCenter);
  EXPECT_EQ(Form->GetClientWidth(), 440);
  EXPECT_EQ(Form->GetClientHeight(), 189);
  EXPECT_EQ(Form->GetPadding()->GetLeft(), 4);
  EXPECT_EQ(Form->GetPadding()->GetBottom(), 4);
  EXPECT_EQ(Form->Panel1->GetCaption(), L"  Sektör");
  EXPECT_EQ(Form->Panel1->GetAlign(), alTop);
  EXPECT_TRUE(Form->Panel1->GetFont()->GetStyle().Contains(fsBold));
  EXPECT_EQ(Form->Panel1->GetFont()->GetSize(), 12);
  EXPECT_EQ(Form->rgSector->GetColumns(), 2);
  EXPECT_EQ(Form->cmdolustur->GetCaption(), L"&Seç");
  EXPECT_EQ(Form->cmdolustur->GetLeft() + Form->cmdolustur->GetWidth(), 440 - 4);
  EXPECT_EQ(Form->cmdolustur->GetTop() + Form->cmdolustur->GetHeight(), 189 - 4);
}

TEST_F(QalSectorForm, ChoiceWritesShortcutsAndTheSector) {
  const struct {
    Integer Item;
    const wchar_t* Caption;
    Integer Written;
  } Cases[] = {{0, L"Restoran", 1}, {1, L"Market", 2}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Item);
    std::unique_ptr<TfrmVersion> Form(TComponent::Create<TfrmVersion>(Main.get()));
    EXPECT_EQ(Form->rgSector->GetItemIndex(), 0);
    EXPECT_EQ(Form->rgSector->GetItems()->GetStrings(C.Item), C.Caption);
    Form->rgSector->SetItemIndex(C.Item);
    Form->cmdolusturClick(Form->cmdolustur);
    EXPECT_EQ(RetailValue(L"PosDefault"), C.Written);
    EXPECT_EQ(RetailValue(L"PosType"), C.Written);
    EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\Dovrik 9.6.lnk"), L"D:\\Magaza\\Zelkor 5.0\\Dovrik96.exe"));
    EXPECT_TRUE(SameFileName(LinkTarget(Desktop.Folder + L"\\ZelkorPos.lnk"), L"D:\\Magaza\\Zelkor 5.0\\ZelkorPOS.exe"));
    EXPECT_EQ(LastLogLine(), L"- [08:09:10] Kısayollar oluşturuldu..");
  }
}

// Shown modally, the form closes after the choice; an error closes it too and reaches the
// installation that showed it, with nothing written to the registry.
TEST_F(QalSectorForm, ShownModallyItClosesAndReportsErrors) {
  const struct {
    const char* Case;
    bool Blocked;
  } Cases[] = {{"written", false}, {"the first shortcut cannot be written", true}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Case);
    DeleteRetailKey();
    Desktop.Clear();
    // A folder in the way of the link file.
    if (C.Blocked) {
      ASSERT_TRUE(CreateDir(Desktop.Folder + L"\\Dovrik 9.6.lnk"));
    }
    Integer LogLines = Main->Memo1->GetLines()->GetCount();
    std::unique_ptr<TfrmVersion> Form(TComponent::Create<TfrmVersion>(Main.get()));
    String Caption;
    TBoxDriver Driver({L"TfrmVersion"}, [&](HWND Box) {
      Caption = FindControl(Box)->GetCaption();
      PostMessageW(Form->cmdolustur->GetHandle(), BM_CLICK, 0, 0);
    });
    if (C.Blocked) {
      EXPECT_THROW(Form->ShowModal(), Exception);
      EXPECT_EQ(RetailValue(L"PosType"), 0);
      EXPECT_EQ(Main->Memo1->GetLines()->GetCount(), LogLines);
    } else {
      EXPECT_NO_THROW(Form->ShowModal());
      EXPECT_EQ(RetailValue(L"PosType"), 1);
    }
    EXPECT_TRUE(Driver.Acted);
    EXPECT_FALSE(Form->GetVisible());
    EXPECT_EQ(Caption, QalTitle);
  }
}

}  // namespace
