#include <gtest/gtest.h>

#include <winsvc.h>

#include <functional>

#include "framework/dialogs/DialogDriver.h"
#include "installer/InstallerTestUtil.h"
#include "htmllabel/MarkupLabel.h"
#include "installer/MessageBoxU.h"

using namespace insttest;

namespace {

// A service of the stand-in service program, installed in the test's Wine prefix for real and
// removed again (its process ended first when it would not stop).
class TTestService {
 public:
  TTestService(const String& Name, const String& LogFile, bool IgnoreStop = false) : FName(Name) {
    RemoveService(Name);
    SC_HANDLE Manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    String Command = L"\"" + BinFolder() + L"standin_service.exe\" \"" + LogFile + L"\"" +
                     (IgnoreStop ? L" ignore-stop" : L"");
    SC_HANDLE Service = CreateServiceW(Manager, Name.c_str(), Name.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                       Command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(Service, nullptr) << "cannot install " << Name.c_str();
    if (Service) CloseServiceHandle(Service);
    CloseServiceHandle(Manager);
  }
  ~TTestService() { RemoveService(FName); }
  void Start() { StartTestService(FName); }

 private:
  String FName;
};

// The service log's lines.
std::vector<String> ServiceLog(const String& File) { return Lines(ReadText(File)); }

std::vector<String> ListOf(TStrings* L) {
  std::vector<String> R;
  for (Integer I = 0; I < L->GetCount(); ++I) R.push_back(L->GetStrings(I));
  return R;
}

// Answers the wizard's confirmation box once it is up: Yes only after its countdown, as the
// operator must wait for it; records its caption and text.
class TConfirmationAnswer {
 public:
  explicit TConfirmationAnswer(bool Yes)
      : FDriver({[this, Yes] {
          auto* Box = dynamic_cast<TMessageBox*>(Screen->GetActiveForm());
          if (!Box || !Box->GetVisible()) return false;
          Caption = Box->GetCaption();
          Text = Box->lbMessage->GetHTMLText()->GetText();
          if (Text.size() >= 2 && Text.compare(Text.size() - 2, 2, L"\r\n") == 0) Text.resize(Text.size() - 2);
          if (Yes) {
            for (int I = 0; I < 10; ++I) Box->TimerTimer(Box->Timer);
            Box->cmdEvet->Click();
          } else {
            EXPECT_EQ(Box->cmdHayir->GetCaption(), L"&Hayır");
            Box->cmdHayir->Click();
          }
          return true;
        }}) {}
  bool Answered() const { return FDriver.Finished(); }
  String Caption, Text;  // the text as marked up

 private:
  dlgtest::TDialogDriver FDriver;
};

class QalServices : public TMainFormTest {
 protected:
  void SetUp() override {
    TMainFormTest::SetUp();
    // Services of this kind that an earlier run left behind would join the groups.
    for (const wchar_t* Name : {L"ZelkorBackupA", L"ZelkorBackupB", L"zelkorbackupC", L"XZelkorBackup",
                                L"Zelkor-PG10", L"postgresql-x64-12", L"PostgreSQL-9.6", L"ZELKOR-PG11",
                                L"mypostgresql", L"HalvexGuardian20", L"Halvex20", L"Halvex21"})
      RemoveService(Name);
  }
  TScratchFolder Folder{L"services"};
  String LogFile = Folder / L"services.log";
};

TEST_F(QalServices, StateOfAServiceThroughItsLife) {
  EXPECT_EQ(GetServiceState(L"", L"ZelkorBackupA"), 0);  // not installed
  {
    TTestService Service(L"ZelkorBackupA", LogFile);
    EXPECT_EQ(GetServiceState(L"", L"ZelkorBackupA"), 1);
    Form->RunNet(L"start ZelkorBackupA");
    EXPECT_EQ(GetServiceState(L"", L"ZelkorBackupA"), 4);
    Form->RunNet(L"Stop ZelkorBackupA");
    for (int Try = 0; Try < 100 && GetServiceState(L"", L"ZelkorBackupA") != 1; ++Try) Sleep(20);
    EXPECT_EQ(GetServiceState(L"", L"ZelkorBackupA"), 1);
  }
  EXPECT_EQ(GetServiceState(L"", L"ZelkorBackupA"), 0);
  EXPECT_EQ(ServiceLog(LogFile), (std::vector<String>{L"start ZelkorBackupA", L"stop ZelkorBackupA"}));
  EXPECT_TRUE(LogLines(Form).empty());
}

TEST_F(QalServices, BackupServicesStopAndStartOnceEach) {
  TTestService A(L"ZelkorBackupA", LogFile), B(L"ZelkorBackupB", LogFile);
  TTestService C(L"zelkorbackupC", LogFile), D(L"XZelkorBackup", LogFile);  // not the product's: case counts
  for (TTestService* S : {&A, &B, &C, &D}) S->Start();
  DeleteFileW(LogFile.c_str());

  // Twice, as a second update in one run of the wizard does: the list does not grow.
  Form->StopBackupServices();
  Form->StopBackupServices();
  EXPECT_EQ(ListOf(Form->FBackupServices.get()), (std::vector<String>{L"ZelkorBackupA", L"ZelkorBackupB"}));
  EXPECT_EQ(GetServiceState(L"", L"ZelkorBackupA"), 1);
  EXPECT_EQ(GetServiceState(L"", L"zelkorbackupC"), 4);
  Form->StartBackupServices();
  EXPECT_EQ(ServiceLog(LogFile), (std::vector<String>{L"stop ZelkorBackupA", L"stop ZelkorBackupB",
                                                      L"start ZelkorBackupA", L"start ZelkorBackupB"}));
  EXPECT_EQ(GetServiceState(L"", L"ZelkorBackupB"), 4);
}

TEST_F(QalServices, PostgreSqlServicesStopInRegistryOrderAndStartInTheSame) {
  const std::vector<String> Product{L"PostgreSQL-9.6", L"Zelkor-PG10", L"ZELKOR-PG11"};  // case ignored
  std::vector<std::unique_ptr<TTestService>> Services;
  for (const String& Name : Product) Services.push_back(std::make_unique<TTestService>(Name, LogFile));
  Services.push_back(std::make_unique<TTestService>(L"mypostgresql", LogFile));
  for (auto& S : Services) S->Start();
  DeleteFileW(LogFile.c_str());
  TFakeTime::Install(100);

  Form->StopPostgreSqlServices();
  std::vector<String> Order = ListOf(Form->FPostgreSqlServices.get());
  EXPECT_EQ(std::set<String>(Order.begin(), Order.end()), std::set<String>(Product.begin(), Product.end()));
  for (const String& Name : Product) EXPECT_EQ(GetServiceState(L"", Name), 1) << Name.c_str();
  EXPECT_EQ(GetServiceState(L"", L"mypostgresql"), 4);
  Form->StartPostgreSqlServices();

  std::vector<String> Expected, Log;
  for (const String& Name : Order) Expected.push_back(L"stop " + Name);
  for (const String& Name : Order) Expected.push_back(L"start " + Name);
  EXPECT_EQ(ServiceLog(LogFile), Expected);
  for (const String& Name : Order) Log.push_back(L"PostgreSQL hizmeti durduruluyor: " + Name);
  for (const String& Name : Order) Log.push_back(L"PostgreSQL hizmeti başlatılıyor: " + Name);
  EXPECT_EQ(LogLines(Form), Log);
  for (const String& Name : Product) EXPECT_EQ(GetServiceState(L"", Name), 4) << Name.c_str();
}

// The service's name goes into the box's markup as plain text.
TEST_F(QalServices, PostgreSqlServiceThatWillNotStopAsksAfterAMinute) {
  const String Name = L"Zelkor-PG<10>&Co";
  TTestService Stubborn(Name, LogFile, true);
  Stubborn.Start();
  for (bool Yes : {false, true}) {
    SCOPED_TRACE(Yes ? "Evet" : "Hayır");
    Form->Memo1->GetLines()->Clear();
    TFakeTime::Install(7000);  // every reading of the clock moves it 7 s
    TConfirmationAnswer Answer(Yes);
    bool Aborted = false;
    try {
      Form->StopPostgreSqlServices();
    } catch (const EAbort&) {
      Aborted = true;
    }
    EXPECT_TRUE(Answer.Answered());
    EXPECT_EQ(Aborted, !Yes);
    // Polled every half second until the minute was over.
    EXPECT_GE(TFakeTime::Pauses, 7);
    EXPECT_LE(TFakeTime::Pauses, 9);
    EXPECT_EQ(TFakeTime::Paused, Cardinal(TFakeTime::Pauses) * 500);
    EXPECT_EQ(LogLines(Form), (std::vector<String>{L"PostgreSQL hizmeti durduruluyor: " + Name,
                                                   L"PostgreSQL hizmeti durdurulamadı: " + Name}));
    EXPECT_EQ(Answer.Caption, L"Uyarı");
    EXPECT_EQ(Answer.Text, L"<b>Zelkor-PG&lt;10&gt;&#38;&#38;<>Co</b> veritabanı hizmeti durdurulamadı. Bu durumda "
                           L"alınacak yedek bozuk/eksik olabilir. Yine de devam etmek istiyor musunuz?");
    EXPECT_EQ(GetServiceState(L"", Name), 4);
  }
}

struct TRestartRequests {
  static inline int Count = 0;
  static inline Cardinal Answer = 0;
};

TEST_F(QalServices, HalvexServiceThatWillNotStopEndsTheRun) {
  TTestService Guardian(L"HalvexGuardian20", LogFile);
  TTestService Halvex(L"Halvex20", LogFile, true);
  QalRestartWindows = [] {
    ++TRestartRequests::Count;
    return TRestartRequests::Answer;
  };
  const struct {
    const char* What;
    bool Yes;
    Cardinal RestartAnswer;
    int Restarts;
    std::vector<String> Log;
  } Cases[] = {
      {"Hayır", false, 0, 0, {}},
      {"Evet", true, 0, 1, {}},
      {"Evet, restart refused", true, ERROR_PRIVILEGE_NOT_HELD, 1,
       {L"Windows yeniden başlatılamadı: " + SysErrorMessage(ERROR_PRIVILEGE_NOT_HELD)}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    Guardian.Start();
    Halvex.Start();
    Form->Memo1->GetLines()->Clear();
    TRestartRequests::Count = 0;
    TRestartRequests::Answer = C.RestartAnswer;
    TConfirmationAnswer Answer(C.Yes);
    // Whatever the answer, nothing more may run while the service holds the product's files.
    EXPECT_THROW(Form->StopHalvexServices(), EAbort);
    EXPECT_TRUE(Answer.Answered());
    EXPECT_EQ(Answer.Caption, L"Uyarı");
    EXPECT_EQ(Answer.Text, L"Kuruluma devam edebilmek için windowsu tekrar başlatılması gerekmektedir,şimdi "
                           L"windowsun yeniden başlatılmasını istiyor musunuz?");
    EXPECT_EQ(TRestartRequests::Count, C.Restarts);
    EXPECT_EQ(LogLines(Form), C.Log);
    EXPECT_EQ(GetServiceState(L"", L"HalvexGuardian20"), 1);
  }
}

TEST_F(QalServices, HalvexServicesThatStopLetTheRunGoOn) {
  TTestService Halvex(L"Halvex21", LogFile);
  Halvex.Start();
  EXPECT_NO_THROW(Form->StopHalvexServices());  // the guardian and Halvex20 are not installed
  EXPECT_EQ(GetServiceState(L"", L"Halvex21"), 1);
  EXPECT_EQ(ServiceLog(LogFile), (std::vector<String>{L"start Halvex21", L"stop Halvex21"}));
}

}  // namespace
