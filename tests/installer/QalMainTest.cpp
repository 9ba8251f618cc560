#include <gtest/gtest.h>

#include <winsock2.h>
#include <richedit.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/SysUtils.h"
#include "installer/QalMain.h"
#include "installer/BoxDriver.h"
#include "installer/RunDriver.h"
#include "installer/InstallerTestUtil.h"

namespace {

TDateTime MainNow = 0;
TWindowsVersion TestVersion{6, 1, 1, 0};

// Summed as numbers: with Variants.h in sight, TDateTime + TDateTime is ambiguous.
TDateTime At(Word Y, Word M, Word D, Word H, Word N, Word S) {
  return Double(EncodeDate(Y, M, D)) + Double(EncodeTime(H, N, S, 0));
}

void MainPump() { Application->ProcessMessages(); }

// The main form as the program makes it, with the clock, the Windows version and the connection
// of the test, and no lookup leaving the machine.
class QalMainForm : public testing::Test {
 protected:
  void SetUp() override {
    // As the program does before it makes its main form.
    WSADATA Wsa;
    WSAStartup(MAKEWORD(2, 2), &Wsa);
    QalClock = [] { return MainNow; };
    QalWindowsVersion = [] { return TestVersion; };
    QalInternetConnected = [] { return true; };
    // The self-update's check has tests of its own, against the local download server.
    QalCheckForUpdateAtStart = false;
    QalLocalIPHost = L"127.0.0.1";
    TestVersion = {6, 1, 1, 0};
    MainNow = At(2031, 2, 3, 13, 14, 15);
    RegisterQalClasses();
    Application->SetTitle(QalTitle);
    Form = TComponent::Create<TfrmQalMain>(nullptr);
    Form->Show();
    MainPump();
  }
  void TearDown() override {
    delete Form;
    MainPump();
    WSACleanup();
    // A quit request read by a loop would end every later modal loop of this process.
    EXPECT_FALSE(Application->GetTerminated());
  }
  void Choose(TRadioGroup* Group, Integer Index) {
    Group->GetButtons(Index)->SetChecked(true);
    ASSERT_EQ(Group->GetItemIndex(), Index);
  }
  TfrmQalMain* Form = nullptr;
};

std::string ReadBytes(const String& FileName) {
  std::ifstream In(FileName.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

TEST_F(QalMainForm, ShowsTitleVersionAndEnablesInputsAfterStart) {
  EXPECT_EQ(Form->GetCaption(), L"Zelkor SQL (Kurulum Sihirbazı)");
  TStatusPanels* Panels = Form->StatusBar1->GetPanels();
  EXPECT_EQ(Panels->GetItem(0)->GetText(), L"Yerel IP: 127.0.0.1");  // the route to the probe address
  EXPECT_EQ(Panels->GetItem(2)->GetText(), L"Sürüm 7.8");
  EXPECT_FALSE(Form->Timer1->GetEnabled());
  for (TControl* C : {(TControl*)Form->rgKurulumTipi, (TControl*)Form->rgTerminalTipi, (TControl*)Form->rgVersiyon,
                      (TControl*)Form->GroupBox2, (TControl*)Form->cmdQal, (TControl*)Form->cmdVazgec})
    EXPECT_TRUE(C->GetEnabled()) << C->GetName();
  Form->DisableInputs();
  for (TControl* C : {(TControl*)Form->rgKurulumTipi, (TControl*)Form->rgTerminalTipi, (TControl*)Form->rgVersiyon,
                      (TControl*)Form->GroupBox2, (TControl*)Form->cmdQal, (TControl*)Form->cmdVazgec})
    EXPECT_FALSE(C->GetEnabled()) << C->GetName();
  // Update mode, version 5.0 and a server terminal to start with.
  EXPECT_EQ(Form->rgKurulumTipi->GetItemIndex(), 1);
  EXPECT_EQ(Form->rgVersiyon->GetItemIndex(), 0);
  EXPECT_EQ(Form->rgTerminalTipi->GetItemIndex(), 0);
  EXPECT_TRUE(Form->txPath->GetReadOnly());
  EXPECT_EQ(Form->txPath->GetText(), L"C:");
  // The folder edit's one ellipsis button answers F2 and calls the form's handler.
  ASSERT_EQ(Form->txPath->GetEditButtons()->GetCount(), 1);
  TEditButtonKv* Browse = Form->txPath->GetEditButtons()->GetItem(0);
  EXPECT_EQ(Browse->GetShortCut(), ShortCut(VK_F2, {}));
  EXPECT_EQ(Browse->GetStyle(), ebsEllipsisKv);
  EXPECT_EQ(Browse->GetHint(), L"F2");
  EXPECT_EQ(Browse->GetOnClick(), TButtonClickEventKv(Form, &TfrmQalMain::txPathEditButtons0Click));
  TMenuItem* Remove = Form->MainMenu1->GetItems()->GetItems(0)->GetItems(0);
  EXPECT_EQ(Remove->GetCaption(), L"Hizmetleri Kaldır");
  EXPECT_FALSE(Remove->GetEnabled());
}

// One operator session: each step is what the operator does, followed by what the form shows.
TEST_F(QalMainForm, OptionsStayConsistent) {
  enum TStep { Start, TypeNew, TypeUpdate, Server, Client, V50, V60, DemoOn, DemoOff };
  struct TCase {
    TStep Step;
    const wchar_t* Location;
    const wchar_t* Button;
    bool ServerTicked, ServerEnabled, DemoTicked, DemoEnabled, SectorVisible;
  };
  const wchar_t* Upd = L"Zelkor Klasörünü Seçiniz";
  const wchar_t* New = L"Kurulum Konum";
  const TCase Cases[] = {
      {Start, Upd, L"Güncelle", false, false, false, false, false},
      {TypeNew, New, L"Qal", true, true, false, true, false},
      {DemoOn, New, L"Qal", true, true, true, true, false},
      {V60, New, L"Qal", true, true, true, true, true},
      {DemoOff, New, L"Qal", true, true, false, true, false},
      {Client, New, L"Qal", false, false, false, false, false},
      {Server, New, L"Qal", true, true, true, true, true},
      {V50, New, L"Qal", true, true, true, true, false},
      {TypeUpdate, Upd, L"Güncelle", false, false, false, false, false},
      {Client, Upd, L"Güncelle", false, false, false, false, false},
      {Server, Upd, L"Güncelle", false, false, false, false, false},
      {TypeNew, New, L"Qal", true, true, false, true, false},
  };
  int Row = 0;
  for (const TCase& C : Cases) {
    switch (C.Step) {
      case Start: break;
      case TypeNew: Choose(Form->rgKurulumTipi, 0); break;
      case TypeUpdate: Choose(Form->rgKurulumTipi, 1); break;
      case Server: Choose(Form->rgTerminalTipi, 0); break;
      case Client: Choose(Form->rgTerminalTipi, 1); break;
      case V50: Choose(Form->rgVersiyon, 0); break;
      case V60: Choose(Form->rgVersiyon, 1); break;
      case DemoOn: Form->chDbDemo->SetChecked(true); break;
      case DemoOff: Form->chDbDemo->SetChecked(false); break;
    }
    SCOPED_TRACE(testing::Message() << "row " << Row++);
    EXPECT_EQ(Form->gbKonum->GetCaption(), C.Location);
    EXPECT_EQ(Form->cmdQal->GetCaption(), C.Button);
    EXPECT_EQ(Form->chServer->GetChecked(), C.ServerTicked);
    EXPECT_EQ(Form->chServer->GetEnabled(), C.ServerEnabled);
    EXPECT_EQ(Form->chDbDemo->GetChecked(), C.DemoTicked);
    EXPECT_EQ(Form->chDbDemo->GetEnabled(), C.DemoEnabled);
    EXPECT_EQ(Form->rgSector->GetVisible(), C.SectorVisible);
  }
}

TEST_F(QalMainForm, ChosenFolderLosesItsOuterBackslashes) {
  const struct {
    const wchar_t* Chosen;
    const wchar_t* Shown;
  } Cases[] = {
      {L"D:\\", L"D:"},
      {L"C:\\Program Files\\Zelkor\\", L"C:\\Program Files\\Zelkor"},
      {L"E:\\Veri", L"E:\\Veri"},
  };
  for (const auto& C : Cases) {
    Form->SetChosenFolder(C.Chosen);
    EXPECT_EQ(Form->txPath->GetText(), C.Shown) << C.Chosen;
  }
}

// The folder browser of the tests: it notes its caption and answers Answer (Chosen false: Cancel).
struct TBrowseStandIn {
  static inline std::vector<String> Captions;
  static inline String Answer;
  static inline bool Chosen = true;
  static bool Select(const String& Caption, const String&, String& Directory) {
    Captions.push_back(Caption);
    if (Chosen) Directory = Answer;
    return Chosen;
  }
};

TEST_F(QalMainForm, FolderButtonAndF2BrowseAndSetTheTrimmedFolder) {
  TSelectDirectoryProc Saved = QalSelectDirectory;
  QalSelectDirectory = &TBrowseStandIn::Select;
  TBrowseStandIn::Captions.clear();
  TEditButtonKv* Browse = Form->txPath->GetEditButtons()->GetItem(0);
  TEditButtonControlKv* Control = Form->txPath->GetEditButtonControlByEditButton(Browse);
  ASSERT_NE(Control, nullptr);
  EXPECT_TRUE(Control->GetVisible());
  const struct {
    bool ByKey;
    bool Chosen;
    const wchar_t* Answer;
    const wchar_t* Shown;
  } Cases[] = {
      {true, true, L"\\D:\\Kurulum\\", L"D:\\Kurulum"},
      {false, true, L"E:\\", L"E:"},
      {false, false, L"F:\\Yok", L"E:"},  // cancelled: the edit keeps its folder
      {true, false, L"F:\\Yok", L"E:"},
  };
  size_t Calls = 0;
  for (const auto& C : Cases) {
    TBrowseStandIn::Answer = C.Answer;
    TBrowseStandIn::Chosen = C.Chosen;
    if (C.ByKey) {
      Form->txPath->SetFocus();
      MainPump();
      Form->txPath->Perform(WM_KEYDOWN, VK_F2, 0);
    } else {
      Control->Click();
    }
    MainPump();
    ASSERT_EQ(TBrowseStandIn::Captions.size(), ++Calls) << C.Answer;
    EXPECT_EQ(TBrowseStandIn::Captions.back(), L"Klasör Seçiniz:");
    EXPECT_EQ(Form->txPath->GetText(), C.Shown) << C.Answer;
  }
  // A button with a handler of its own has no default action: the memo editor never opened.
  EXPECT_FALSE(Browse->GetDefaultAction());
  QalSelectDirectory = Saved;
}

TColor LineColor(TRichEdit* Memo, Integer Line) {
  LRESULT Start = SendMessageW(Memo->GetHandle(), EM_LINEINDEX, WPARAM(Line), 0);
  Memo->SetSelStart(Integer(Start) + 3);
  Memo->SetSelLength(1);
  return Memo->GetSelAttributes()->GetColor();
}

TEST_F(QalMainForm, LogLinesCarryTimeAndColour) {
  MainNow = At(2031, 2, 4, 9, 5, 7);
  Form->AddToLog(LogWhite, L"Kurulum başlıyor..");
  Form->AddToLog(LogGreen, L"PostgreSQL hizmeti kuruldu ..");
  Form->AddToLog(LogRed, L"Kurulum tamamlanamadı: erişim engellendi");
  TStrings* Lines = Form->Memo1->GetLines();
  ASSERT_EQ(Lines->GetCount(), 3);
  EXPECT_EQ(Lines->GetStrings(0), L"- [09:05:07] Kurulum başlıyor..");
  EXPECT_EQ(Lines->GetStrings(2), L"- [09:05:07] Kurulum tamamlanamadı: erişim engellendi");
  EXPECT_EQ(LineColor(Form->Memo1, 0), TColor(0xFFFFFF));
  EXPECT_EQ(LineColor(Form->Memo1, 1), TColor(0x008000));
  EXPECT_EQ(LineColor(Form->Memo1, 2), TColor(0x0000FF));
  DeleteFile(GetLogFileName());
}

// The view shows seven lines; the eighth brings the newest ones into sight.
TEST_F(QalMainForm, EighthLogLineScrollsTheView) {
  MainNow = At(2031, 2, 5, 10, 0, 0);
  auto ScrollY = [&] {
    POINT P{};
    SendMessageW(Form->Memo1->GetHandle(), EM_GETSCROLLPOS, 0, LPARAM(&P));
    return P.y;
  };
  for (int I = 1; I <= 7; ++I) Form->AddToLog(LogWhite, L"Satır " + IntToStr(I));
  EXPECT_EQ(ScrollY(), 0);
  Form->AddToLog(LogWhite, L"Satır 8");
  EXPECT_GT(ScrollY(), 0);
  DeleteFile(GetLogFileName());
}

TEST_F(QalMainForm, LogFileIsUtf8WithCrLfAndNoByteOrderMark) {
  MainNow = At(2031, 3, 1, 8, 0, 1);
  String Name = GetLogFileName();
  EXPECT_EQ(ExtractFileName(Name), L"Qal_20310301.log");
  EXPECT_TRUE(SameFileName(ExtractFilePath(Name), ExtractFilePath(ParamStr(0))));
  DeleteFile(Name);
  Form->AddToLog(LogGreen, L"Şirket ığüşöçİ");
  MainNow = At(2031, 3, 1, 8, 0, 2);
  Form->AddToLog(LogRed, L"x");
  EXPECT_EQ(ReadBytes(Name), "- [08:00:01] \xC5\x9Eirket \xC4\xB1\xC4\x9F\xC3\xBC\xC5\x9F\xC3\xB6\xC3\xA7\xC4\xB0\r\n"
                             "- [08:00:02] x\r\n");
  DeleteFile(Name);
}

TEST_F(QalMainForm, LockedLogFileIsPassedOver) {
  MainNow = At(2031, 3, 2, 8, 0, 0);
  String Name = GetLogFileName();
  DeleteFile(Name);
  HANDLE Lock = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
  EXPECT_NO_THROW(Form->AddToLog(LogWhite, L"kilitli"));
  CloseHandle(Lock);
  EXPECT_EQ(Form->Memo1->GetLines()->GetStrings(0), L"- [08:00:00] kilitli");
  EXPECT_EQ(ReadBytes(Name), "");
  DeleteFile(Name);
}

TEST_F(QalMainForm, TwoDaysWriteTwoFiles) {
  MainNow = At(2031, 4, 30, 23, 59, 59);
  String First = GetLogFileName();
  MainNow = At(2031, 5, 1, 0, 0, 1);
  String Second = GetLogFileName();
  DeleteFile(First);
  DeleteFile(Second);
  MainNow = At(2031, 4, 30, 23, 59, 59);
  Form->AddToLog(LogWhite, L"bir");
  MainNow = At(2031, 5, 1, 0, 0, 1);
  Form->AddToLog(LogWhite, L"iki");
  EXPECT_EQ(ExtractFileName(First), L"Qal_20310430.log");
  EXPECT_EQ(ExtractFileName(Second), L"Qal_20310501.log");
  EXPECT_EQ(ReadBytes(First), "- [23:59:59] bir\r\n");
  EXPECT_EQ(ReadBytes(Second), "- [00:00:01] iki\r\n");
  DeleteFile(First);
  DeleteFile(Second);
}

TEST(QalWindowsVersionGate, NeedsWindows7ServicePack1) {
  const struct {
    TWindowsVersion V;
    bool Supported;
  } Cases[] = {
      {{5, 1, 3, 0}, false},  // XP SP3
      {{6, 0, 2, 0}, false},  // Vista SP2
      {{6, 1, 0, 0}, false},  // 7 without a service pack
      {{6, 1, 1, 0}, true},   // 7 SP1
      {{6, 2, 0, 0}, true},   // 8
      {{6, 3, 0, 0}, true},   // 8.1
      {{10, 0, 0, 0}, true},  // 10 and 11
  };
  for (const auto& C : Cases)
    EXPECT_EQ(IsWindowsVersionSupported(C.V), C.Supported)
        << C.V.Major << "." << C.V.Minor << " SP" << C.V.ServicePackMajor;
}

TEST(QalSelfUpdateLeftover, OnlyThe123ExeBesideTheProgramIsDeleted) {
  const String Exe = L"C:\\Zelkor\\Qal.exe";
  const struct {
    const wchar_t* Argument;
    const wchar_t* Deleted;
  } Cases[] = {
      {L"123.exe", L"C:\\Zelkor\\123.exe"},
      {L"C:\\Zelkor\\123.exe", L"C:\\Zelkor\\123.exe"},
      {L"c:\\ZELKOR\\123.EXE", L"c:\\ZELKOR\\123.EXE"},
      {L"C:\\Zelkor\\alt\\..\\123.exe", L"C:\\Zelkor\\123.exe"},
      {L"", L""},
      {L"D:\\veri\\dukkan.db", L""},
      {L"C:\\Diger\\123.exe", L""},
      {L"..\\123.exe", L""},
      {L"alt\\123.exe", L""},
      {L"C:\\Zelkor\\Qal.exe", L""},
  };
  for (const auto& C : Cases) EXPECT_EQ(SelfUpdateLeftover(C.Argument, Exe), C.Deleted) << C.Argument;
}

TEST(QalLogLine, HasTheTimeInBrackets) {
  EXPECT_EQ(FormatLogLine(At(2031, 1, 2, 3, 4, 5), L"Başladı"), L"- [03:04:05] Başladı");
  EXPECT_EQ(FormatLogLine(At(2031, 1, 2, 23, 0, 0), L""), L"- [23:00:00] ");
}

// A quit request that the test takes back, so that its own loops go on.
bool TakeQuit() {
  MSG M;
  return PeekMessageW(&M, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

// The framework's message dialog: its text and its buttons' captions.
String DialogText(HWND Box) {
  auto* Dialog = FindControl(Box);
  auto* Message = Dialog ? dynamic_cast<TLabel*>(Dialog->FindComponent(L"Message")) : nullptr;
  return Message ? Message->GetCaption() : String();
}

void PressDialogButton(HWND Box, const wchar_t* Name) {
  auto* Dialog = FindControl(Box);
  auto* Button = Dialog ? dynamic_cast<TButton*>(Dialog->FindComponent(Name)) : nullptr;
  if (Button) PostMessageW(Button->GetHandle(), BM_CLICK, 0, 0);
}

const wchar_t* const OldWindowsText = L"Kurulum yapabilmek için en az\rwindows service pack 1 kurulu olması gerekiyor.";

TEST_F(QalMainForm, WindowsBefore7ServicePack1IsToldAndTheProgramEnds) {
  const struct {
    TWindowsVersion V;
    bool Refused;
  } Cases[] = {
      {{5, 1, 3, 0}, true},   // XP SP3
      {{6, 0, 2, 0}, true},   // Vista SP2
      {{6, 1, 0, 0}, true},   // 7 without a service pack
      {{6, 1, 1, 0}, false},  // 7 SP1
      {{6, 2, 0, 0}, false},  // 8
      {{6, 3, 0, 0}, false},  // 8.1
      {{10, 0, 0, 0}, false}, // 10 and 11
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.V.Major << "." << C.V.Minor << " SP" << C.V.ServicePackMajor);
    TestVersion = C.V;
    String Said, Caption;
    TBoxDriver Driver({L"#32770"}, [&](HWND Box) {
      wchar_t Text[512] = {};
      GetDlgItemTextW(Box, 0xFFFF, Text, 512);
      Said = Text;
      GetWindowTextW(Box, Text, 512);
      Caption = Text;
      PostMessageW(Box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(Form->CheckWindowsVersion(), !C.Refused);
    EXPECT_EQ(TakeQuit(), C.Refused);
    EXPECT_EQ(Driver.Acted, C.Refused);
    if (C.Refused) {
      EXPECT_EQ(Said, OldWindowsText);
      EXPECT_EQ(Caption, QalTitle);
    }
  }
}

TEST_F(QalMainForm, NoInternetConnectionWarnsAndEnds) {
  QalInternetConnected = [] { return false; };
  String Said;
  TBoxDriver Driver({L"TMessageForm"}, [&](HWND Box) {
    Said = DialogText(Box);
    PressDialogButton(Box, L"OK");
  });
  std::unique_ptr<TfrmQalMain> Second(TComponent::Create<TfrmQalMain>(nullptr));
  Second->Show();
  EXPECT_TRUE(TakeQuit());
  MainPump();
  EXPECT_EQ(Said, L"Zelkor sunucusuna erişim sağlanamadı, internet bağlatınızın\r"
                  L"olduğundan emin olunuz. Qal işleme devam edemiyor şimdi kapatılacak.");
  EXPECT_FALSE(Second->cmdQal->GetEnabled());
}

// The main button asks before it runs; without a version it only warns. Confirmed, the run
// starts: here an update of a folder that is none.
TEST_F(QalMainForm, MainButtonAsksForTheVersion) {
  using insttest::AnswerDialog;
  const struct {
    Integer Version;
    std::vector<insttest::TRunDriver::TStep> Steps;
    std::vector<String> Said;
  } Cases[] = {
      {-1, {AnswerDialog(mrOk)}, {MsgDlgTypeCaption(mtWarning) + L": Versiyon belirtmediniz!"}},
      {0, {AnswerDialog(mrNo)}, {MsgDlgTypeCaption(mtInformation) + L": Seçili Version 5.0 (PostgreSQL) Onaylıyor Musunuz?"}},
      {1,
       {AnswerDialog(mrYes), AnswerDialog(mrOk)},
       {MsgDlgTypeCaption(mtInformation) + L": Seçili Version 6.0 (PostgreSQL) Onaylıyor Musunuz?",
        String(QalTitle) + L": Lütfen Zelkor klasörünü Seçiniz\rKlasörün adı \"Zelkor 6.0\" olduğundan emin olunuz.."}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Version);
    Form->rgVersiyon->SetItemIndex(C.Version);
    insttest::TRunDriver Boxes(C.Steps);
    Form->cmdQalClick(Form->cmdQal);
    EXPECT_TRUE(Boxes.Finished());
    EXPECT_EQ(Boxes.Seen, C.Said);
    EXPECT_FALSE(Form->GetRunning());
    EXPECT_TRUE(Form->cmdQal->GetEnabled());
  }
}

// A close asked for while a run is in progress is refused: the run's steps are still on the stack.
// The run here is a client installation that the operator calls off at its first question.
TEST_F(QalMainForm, RefusesToCloseDuringARun) {
  insttest::TScratchFolder Parent(L"close");
  Choose(Form->rgKurulumTipi, 0);
  Choose(Form->rgTerminalTipi, 1);
  Form->rgVersiyon->SetItemIndex(1);
  Form->txPath->SetText(Parent.Path());
  // The close request waits in the queue until the run, if any, pumps messages.
  auto AnswerAndClose = [this](TModalResult Answer) {
    return [this, Answer](insttest::TRunDriver& D) {
      if (!insttest::AnswerDialog(Answer)(D)) return false;
      PostMessageW(Form->GetHandle(), WM_CLOSE, 0, 0);
      return true;
    };
  };
  const struct {
    const char* What;
    std::vector<insttest::TRunDriver::TStep> Steps;
    bool StaysOpen;
  } Cases[] = {
      {"run", {AnswerAndClose(mrYes), insttest::AnswerCountdownBox(false)}, true},
      {"no run", {AnswerAndClose(mrNo)}, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    Form->Show();
    insttest::TRunDriver Boxes(C.Steps);
    Form->cmdQalClick(Form->cmdQal);
    MainPump();
    EXPECT_TRUE(Boxes.Finished());
    EXPECT_EQ(Form->GetVisible(), C.StaysOpen);
    EXPECT_FALSE(Form->GetRunning());
  }
  EXPECT_FALSE(DirectoryExists(Parent / L"Zelkor 6.0"));
}

}  // namespace
