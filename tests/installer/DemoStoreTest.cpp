// The demo file store that tools/run-wizard.sh serves holds what a new installation and an update
// of each version need: both run whole against its packages, in a prefix set up as the demo's.
#include <gtest/gtest.h>

#include "installer/WizardRunUtil.h"

using namespace insttest;

namespace {

// The files below Folder, as paths relative to it.
void ListFiles(const String& Folder, const String& Prefix, std::vector<String>& Result) {
  WIN32_FIND_DATAW Found;
  HANDLE Search = FindFirstFileW((Folder + L"\\*").c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return;
  do {
    const String Name = Found.cFileName;
    if (Name == L"." || Name == L"..") continue;
    if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListFiles(Folder + L"\\" + Name, Prefix + Name + L"/", Result);
    else Result.push_back(Prefix + Name);
  } while (FindNextFileW(Search, &Found));
  FindClose(Search);
}

class QalDemoWizardStore : public TWizardRun {
 protected:
  void SetUp() override {
    TWizardRun::SetUp();
    if (IsSkipped()) return;
    String Demo = L"Z:" QAL_DEMO_STORE_UNIX_PATH;
    for (wchar_t& C : Demo)
      if (C == L'/') C = L'\\';
    std::vector<String> Files;
    ListFiles(Demo, L"", Files);
    ASSERT_FALSE(Files.empty()) << "no demo store at " << UTF8Encode(Demo);
    // The wizard's own files stay out: no self-update here.
    for (const String& Name : Files) {
      if (Name.rfind(L"diger/", 0) == 0 && ExtractFileExt(Name) != L".zip") continue;
      ForceDirectories(ExtractFileDir(Store.File(Name)));
      ASSERT_TRUE(CopyFileW((Demo + L"\\" + StringReplace(Name, L"/", L"\\", {rfReplaceAll})).c_str(),
                            Store.File(Name).c_str(), FALSE));
    }
    // As the demo's prefix: one loopback adapter for the static address.
    WriteText(Com.Folder + L"\\adapters.txt",
              L"Description=Demo Loopback\r\nIPEnabled=True\r\nIPAddress=127.0.0.1\r\nIPSubnet=255.0.0.0\r\n"
              L"DHCPServer=127.0.0.1\r\n");
    SetEnvironmentVariableW(L"QAL_LOCAL_ADDRESS", L"127.0.0.1");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"QAL_LOCAL_ADDRESS", nullptr);
    TWizardRun::TearDown();
  }
  void FreshForm() {
    if (!Form->GetVisible()) {
      delete Form;
      Form = TComponent::Create<TfrmQalMain>(nullptr);
      Form->Show();
    }
    Form->Memo1->GetLines()->Clear();
  }
  // No step of the run failed.
  static void ExpectNoRedLine(const std::vector<TLogLine>& Log) {
    for (const TLogLine& L : Log) EXPECT_NE(L.Color, LogRed) << UTF8Encode(L.Text);
  }
};

// A new server installation with every option, and then an update of what it installed.
TEST_F(QalDemoWizardStore, NewInstallationAndUpdateOfEachVersion) {
  const String Parent = Work / L"C";
  ForceDirectories(Parent);
  for (const bool IsV6 : {true, false}) {
    SCOPED_TRACE(IsV6 ? "6.0" : "5.0");
    RemoveProductServices(ProductServices);
    const String F = Parent + (IsV6 ? L"\\Zelkor 6.0" : L"\\Zelkor 5.0");

    FreshForm();
    Choose(0, 0, IsV6);
    Tick(Form->chDbDemo, true);
    Form->rgSector->SetItemIndex(0);
    for (TDBCheckBoxKv* Box : {Form->chAnyDesk, Form->chFramework, Form->chStatikIp}) Tick(Box, true);
    Form->txPath->SetText(Parent);
    std::vector<TRunDriver::TStep> Steps{AnswerDialog(mrYes)};
    if (!IsV6) Steps.push_back(ChooseSector(1));
    Steps.push_back(AnswerDialog(mrOk));
    {
      TRunDriver Boxes(Steps);
      EXPECT_EQ(PressMainButton(), L"");
      EXPECT_TRUE(Boxes.Finished());
      ASSERT_FALSE(Boxes.Seen.empty());
      EXPECT_EQ(Boxes.Seen.back(), String(QalTitle) + L": Kurulumu Tamamlandı...");
    }
    std::vector<TLogLine> Log = ColouredLog(Form);
    ExpectNoRedLine(Log);
    ASSERT_FALSE(Log.empty());
    EXPECT_EQ(Log.back().Text, L"Kurulumu Tamamlandı...");
    for (const wchar_t* Service : {L"Zelkor-PG10", L"zelkor-license-server2"})
      EXPECT_EQ(GetServiceState(L"", Service), 4) << Service;
    if (!IsV6) EXPECT_EQ(GetServiceState(L"", L"Halvex20"), 4);
    EXPECT_TRUE(FileExists(Desktop.Folder + (IsV6 ? L"\\Dovrik 10.1.lnk" : L"\\Dovrik 9.6.lnk")));

    FreshForm();
    Choose(1, 0, IsV6);
    Form->txPath->SetText(F);
    Steps = {AnswerDialog(mrYes), AnswerDialog(mrYes)};
    if (!IsV6) Steps.push_back(AnswerInputBox(L"HAYIR"));
    Steps.push_back(AnswerDialog(mrOk));
    {
      TRunDriver Boxes(Steps);
      EXPECT_EQ(PressMainButton(), L"");
      EXPECT_TRUE(Boxes.Finished());
      ASSERT_FALSE(Boxes.Seen.empty());
      EXPECT_EQ(Boxes.Seen.back(), String(QalTitle) + L": Mevcut olan dosyalar güncellendi...");
    }
    ExpectNoRedLine(ColouredLog(Form));
    EXPECT_TRUE(FileExists(F + L"20310131154500.zip"));
    EXPECT_FALSE(DirectoryExists(F + L"Update"));
    for (const wchar_t* Service : {L"Zelkor-PG10", L"zelkor-license-server2"})
      EXPECT_EQ(GetServiceState(L"", Service), 4) << Service;
  }
  TRegistry().DeleteKey(L"\\Software\\Zelkor\\Retail");
}

}  // namespace
