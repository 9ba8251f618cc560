// The wizard's downloads and self-update. Suites named *LocalServer run against the local download
// server of the CTest fixture (tools/download-server.py), which this Wine prefix reaches as the
// vendor's host; they write the files they need into its store.
#include <gtest/gtest.h>

#include <richedit.h>
#include <tlhelp32.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "framework/Classes.h"
#include "framework/NetHTTPClient.h"
#include "framework/SysUtils.h"
#include "framework/Zip.h"
#include "installer/DownloadHost.h"
#include "installer/QalMain.h"
#include "tests/framework/net/LocalDownloadServer.h"

namespace {

// No test of this program reaches a download server unless it asks: the main form's start-up
// skips its self-update check here.
class TNoUpdateAtStart : public testing::Environment {
 public:
  void SetUp() override { QalCheckForUpdateAtStart = false; }
};
testing::Environment* const NoUpdateAtStart = testing::AddGlobalTestEnvironment(new TNoUpdateAtStart);

TEST(QalDownloadUrl, EncodesEachSegmentAndKeepsTheSlashes) {
  const String Prefix = String(L"https://indir.example.com/api/dosyalar/indir?token=") + DownloadToken + L"&ad=";
  const struct {
    const wchar_t* RemotePath;
    const wchar_t* Ad;
  } Cases[] = {
      {L"Zelkor 5.0.zip", L"Zelkor+5.0.zip"},
      {L"diger/postgresql.zip", L"diger/postgresql.zip"},
      {L"diger/ılık.zip", L"diger/%C4%B1l%C4%B1k.zip"},
      {L"Şube İçin/Ğ ü.zip", L"%C5%9Eube+%C4%B0%C3%A7in/%C4%9E+%C3%BC.zip"},
      {L"a&b=c?d#e%f+g/x", L"a%26b%3Dc%3Fd%23e%25f%2Bg/x"},
      {L"!$'()*-.@_~", L"!$'()*-.@_%7E"},
      {L"a\\b:c", L"a%5Cb%3Ac"},
      {L"diger//x.zip", L"diger//x.zip"},  // empty segments stay
      {L"/x/", L"/x/"},
      {L"", L""},
  };
  for (const auto& C : Cases) EXPECT_EQ(BuildDownloadUrl(C.RemotePath), Prefix + C.Ad) << UTF8Encode(C.RemotePath);
  EXPECT_EQ(String(DownloadToken).size(), 64u);
}

TDateTime TestNow() { return Double(EncodeDate(2031, 6, 1)) + Double(EncodeTime(10, 20, 30, 0)); }

TBytes FileBytes(const String& Name) {
  TFileStream F(Name, fmOpenRead | fmShareDenyNone);
  TBytes B(size_t(F.GetSize()));
  if (!B.empty()) F.ReadBuffer(B.data(), Integer(B.size()));
  return B;
}

void WriteBytes(const String& Name, const TBytes& Bytes) {
  ForceDirectories(ExtractFileDir(Name));
  TFileStream F(Name, fmCreate);
  if (!Bytes.empty()) F.WriteBuffer(Bytes.data(), Integer(Bytes.size()));
}

TBytes BytesOf(const std::string& S) { return TBytes(S.begin(), S.end()); }

void RemoveTree(const String& Dir) {
  TSearchRec F;
  if (FindFirst(Dir + L"\\*", faAnyFile, F) == 0) {
    do {
      if (F.Name == L"." || F.Name == L"..") continue;
      String Path = Dir + L"\\" + F.Name;
      if (F.Attr & faDirectory) RemoveTree(Path);
      else DeleteFile(Path);
    } while (FindNext(F) == 0);
    FindClose(F);
  }
  RemoveDir(Dir);
}

// Every file and folder below Dir, relative, folders ending in "\".
std::vector<String> Listing(const String& Dir, const String& Prefix = String()) {
  std::vector<String> R;
  TSearchRec F;
  if (FindFirst(Dir + L"\\*", faAnyFile, F) == 0) {
    do {
      if (F.Name == L"." || F.Name == L"..") continue;
      if (F.Attr & faDirectory) {
        R.push_back(Prefix + F.Name + L"\\");
        for (auto& S : Listing(Dir + L"\\" + F.Name, Prefix + F.Name + L"\\")) R.push_back(S);
      } else {
        R.push_back(Prefix + F.Name);
      }
    } while (FindNext(F) == 0);
    FindClose(F);
  }
  std::sort(R.begin(), R.end());
  return R;
}

struct TLogLine {
  TColor Color;
  String Text;  // without the time
  bool operator==(const TLogLine&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TLogLine& L) {
  return Out << (L.Color == LogWhite ? "white " : L.Color == LogGreen ? "green " : L.Color == LogRed ? "red " : "? ")
             << UTF8Encode(L.Text);
}

// The main form as the program makes it, with a fixed clock and no lookup leaving the machine; a
// work folder of its own.
class WizardForm : public testing::Test {
 protected:
  void SetUp() override {
    QalClock = &TestNow;
    QalWindowsVersion = [] { return TWindowsVersion{6, 1, 1, 0}; };
    QalInternetConnected = [] { return true; };
    QalLocalIPHost = L"127.0.0.1";
    RegisterQalClasses();
    Application->SetTitle(QalTitle);
    Form = TComponent::Create<TfrmQalMain>(nullptr);
    Form->Show();
    Application->ProcessMessages();
    wchar_t Buf[MAX_PATH];
    GetTempPathW(MAX_PATH, Buf);
    Work = IncludeTrailingPathDelimiter(Buf) + L"qal-indir-" + IntToStr(Integer(GetCurrentProcessId())) + L"-" +
           IntToStr(Integer(GetTickCount())) + L"\\";
    ASSERT_TRUE(ForceDirectories(Work));
  }
  void TearDown() override {
    delete Form;
    Application->ProcessMessages();
    RemoveTree(ExcludeTrailingPathDelimiter(Work));
    DeleteFile(GetLogFileName());
    QalSelfUpdateExe.clear();
  }

  // The log lines added since the last call.
  std::vector<TLogLine> NewLogLines() {
    std::vector<TLogLine> R;
    TStrings* Lines = Form->Memo1->GetLines();
    for (; Seen < Lines->GetCount(); ++Seen) {
      LRESULT Start = SendMessageW(Form->Memo1->GetHandle(), EM_LINEINDEX, WPARAM(Seen), 0);
      Form->Memo1->SetSelStart(Integer(Start) + 3);
      Form->Memo1->SetSelLength(1);
      String Line = Lines->GetStrings(Seen);
      R.push_back({Form->Memo1->GetSelAttributes()->GetColor(), Line.size() > 13 ? Line.substr(13) : Line});
    }
    // The log adds its next line where the caret is: at the end.
    Form->Memo1->SetSelStart(Integer(GetWindowTextLengthW(Form->Memo1->GetHandle())));
    Form->Memo1->SetSelLength(0);
    return R;
  }

  TfrmQalMain* Form = nullptr;
  String Work;
  Integer Seen = 0;
};

using QalDownloadProgress = WizardForm;

TEST_F(QalDownloadProgress, FollowsTheLengthOrRunsAsMarquee) {
  TProgressBar* Bar = Form->ProgressBar1;
  const Int64 SixGB = 6000000000;
  const struct {
    Int64 ContentLength, ReadCount;
    TProgressBarStyle Style;
    Integer Max, Position;
  } Cases[] = {
      {1000, 0, pbstNormal, 1000, 0},
      {1000, 250, pbstNormal, 1000, 250},
      {SixGB, SixGB / 2, pbstNormal, 1000, 500},  // 64-bit arithmetic
      {SixGB, SixGB, pbstNormal, 1000, 1000},
      {-1, 4096, pbstMarquee, 1000, 1000},       // no length: marquee, the rest untouched
      {-1, 8192, pbstMarquee, 1000, 1000},
      {2000, 1000, pbstNormal, 1000, 500},       // a length again: back to normal
  };
  bool Abort = false;
  for (const auto& C : Cases) {
    Form->NetHTTPClient1ReceiveData(Form->NetHTTPClient1, C.ContentLength, C.ReadCount, Abort);
    EXPECT_EQ(Bar->GetStyle(), C.Style) << C.ReadCount;
    EXPECT_EQ(Bar->GetMax(), C.Max) << C.ReadCount;
    if (C.Style == pbstNormal) EXPECT_EQ(Bar->GetPosition(), C.Position) << C.ReadCount;
  }
  EXPECT_FALSE(Abort);

  TZipHeader Header;
  const struct {
    const wchar_t* FileName;
    UInt64 Size;
    Int64 Position;
    Integer Expected;
  } Entries[] = {
      {L"Zelkor/boş.txt", 0, 0, 0},  // an empty entry shows 0
      {L"Zelkor/a.bin", 1000, 0, 0},
      {L"Zelkor/a.bin", 1000, 333, 33},
      {L"Zelkor/a.bin", 1000, 1000, 100},
      {L"veri/büyük.dat", UInt64(SixGB), SixGB / 4, 25},
  };
  for (const auto& E : Entries) {
    Header.UncompressedSize = E.Size;
    Form->ZipExtractProgress(nullptr, E.FileName, Header, E.Position);
    EXPECT_EQ(Bar->GetMax(), 100);
    EXPECT_EQ(Bar->GetPosition(), E.Expected) << UTF8Encode(E.FileName) << " " << E.Position;
    EXPECT_EQ(Form->lbStatus->GetCaption(), E.FileName);
  }
}

// ---- Against the local download server ----------------------------------------------------------

class WizardServer : public WizardForm {
 protected:
  static void SetUpTestSuite() {
    if (!LocalDownloadServer::StateFolder().empty()) LocalDownloadServer::Prepare();
  }
  void SetUp() override {
    if (LocalDownloadServer::StateFolder().empty()) GTEST_SKIP() << "needs the download server of the CTest fixture";
    WizardForm::SetUp();
    Store = LocalDownloadServer::StateFolder() + L"\\store\\";
  }
  // A file of the vendor's store, by its remote path.
  String StoreFile(const String& RemotePath) const {
    return Store + StringReplace(RemotePath, L"/", L"\\", {rfReplaceAll});
  }
  String Store;
};

using QalDownloadLocalServer = WizardServer;

// An archive of the entries, in order, written to File.
void MakeZip(const String& File, const std::vector<std::pair<String, TBytes>>& Entries) {
  ForceDirectories(ExtractFileDir(File));
  TZipFile Z;
  Z.Open(File, zmWrite);
  for (const auto& [Name, Data] : Entries) Z.Add(Data, Name);
  Z.Close();
}

TBytes Pattern(size_t Size) {
  TBytes B(Size);
  UInt64 X = 12345;
  for (auto& C : B) {
    X = X * 6364136223846793005ull + 1442695040888963407ull;
    C = Byte(X >> 56);
  }
  return B;
}

struct TBarState {
  TProgressBarStyle Style;
  Integer Max, Position;
};

TEST_F(QalDownloadLocalServer, DownloadsAndExtractsAPackage) {
  const TBytes Big = Pattern(3 * 1024 * 1024 + 17);
  MakeZip(StoreFile(L"paket/Zelkor Demo.zip"), {{L"Zelkor/boş.txt", {}},
                                                {L"Zelkor/alt/ğüşıöç İ.txt", BytesOf("merhaba")},
                                                {L"Zelkor/büyük.bin", Big}});
  // The form resource binds the client's event to the form.
  EXPECT_TRUE(Form->NetHTTPClient1->GetOnReceiveData() ==
              TReceiveDataEvent(Form, &TfrmQalMain::NetHTTPClient1ReceiveData));
  for (const wchar_t* RemotePath : {L"paket/Zelkor Demo.zip", L"paket/uzunluksuz.zip"}) {
    SCOPED_TRACE(UTF8Encode(RemotePath));
    const bool WithLength = String(RemotePath) == L"paket/Zelkor Demo.zip";
    if (!WithLength) CopyFile(StoreFile(L"paket/Zelkor Demo.zip").c_str(), StoreFile(RemotePath).c_str(), FALSE);
    std::vector<TBarState> Bar;
    Form->NetHTTPClient1->SetOnReceiveData([&](TObject* Sender, Int64 Length, Int64 Count, bool& Abort) {
      Form->NetHTTPClient1ReceiveData(Sender, Length, Count, Abort);
      Bar.push_back({Form->ProgressBar1->GetStyle(), Form->ProgressBar1->GetMax(), Form->ProgressBar1->GetPosition()});
    });
    const String Target = Work + L"yeni\\klasör";
    Form->DownloadAndExtract(Target, true, RemotePath);

    EXPECT_EQ(Listing(Target), (std::vector<String>{L"Zelkor\\", L"Zelkor\\alt\\", L"Zelkor\\alt\\ğüşıöç İ.txt",
                                                    L"Zelkor\\boş.txt", L"Zelkor\\büyük.bin"}));
    EXPECT_EQ(FileBytes(Target + L"\\Zelkor\\büyük.bin"), Big);
    EXPECT_EQ(FileBytes(Target + L"\\Zelkor\\alt\\ğüşıöç İ.txt"), BytesOf("merhaba"));
    const String P = RemotePath;
    EXPECT_EQ(NewLogLines(), (std::vector<TLogLine>{{LogWhite, P + L" indiriliyor..."},
                                                    {LogGreen, P + L" indirme tamamlandı..."},
                                                    {LogWhite, P + L" genişletiliyor..."},
                                                    {LogGreen, P + L" genişletildi..."}}));
    // The download moved the bar in thousandths up to the end, or ran it as a marquee.
    ASSERT_GE(Bar.size(), 2u);
    for (const auto& B : Bar) EXPECT_EQ(B.Style, WithLength ? pbstNormal : pbstMarquee);
    if (WithLength) {
      EXPECT_EQ(Bar.front().Position, 0);
      EXPECT_EQ(Bar.back().Max, 1000);
      EXPECT_EQ(Bar.back().Position, 1000);
    }
    // The extraction ends on the last entry's last block.
    EXPECT_EQ(Form->ProgressBar1->GetStyle(), pbstNormal);
    EXPECT_EQ(Form->ProgressBar1->GetMax(), 100);
    EXPECT_EQ(Form->ProgressBar1->GetPosition(), 100);
    EXPECT_EQ(Form->lbStatus->GetCaption(), L"Zelkor/büyük.bin");
    // Other suites may use the server meanwhile: the request is somewhere in its log.
    const std::vector<String> Requests = LocalDownloadServer::Requests();
    const String Sent = String(L"GET /api/dosyalar/indir?token=") + DownloadToken + L"&ad=" +
                        (WithLength ? L"paket/Zelkor+Demo.zip" : L"paket/uzunluksuz.zip");
    EXPECT_NE(std::find(Requests.begin(), Requests.end(), Sent), Requests.end());
    RemoveTree(Target);
  }
}

TEST_F(QalDownloadLocalServer, AFailedDownloadIsLoggedRaisedAndLeavesNoArchive) {
  WriteBytes(StoreFile(L"paket/bozuk.zip"), BytesOf("PK\3\4 bu bir zip değil"));
  MakeZip(StoreFile(L"paket/kacak.zip"), {{L"iyi.txt", BytesOf("iyi")}, {L"../dışarı.txt", BytesOf("kötü")},
                                          {L"sonra.txt", BytesOf("sonra")}});
  MakeZip(StoreFile(L"paket/kesik.zip"), {{L"veri.bin", Pattern(200000)}});  // served cut after 1000 bytes
  MakeZip(StoreFile(L"paket/duran.zip"), {{L"veri.bin", Pattern(200000)}});  // stops after 1000 bytes
  DeleteFile(StoreFile(L"paket/yok.zip"));
  Form->NetHTTPClient1->SetResponseTimeout(1500);
  const struct {
    const wchar_t* RemotePath;
    bool Downloads;                 // the body arrives whole
    const wchar_t* Message;         // of the error raised; empty: the client's own text
    std::vector<String> Extracted;  // what stays in the target folder
  } Cases[] = {
      {L"paket/yok.zip", false, L"paket/yok.zip indirilemedi (HTTP 404 Not Found).", {}},
      {L"paket/kesik.zip", false, L"", {}},
      {L"paket/duran.zip", false, L"", {}},
      {L"paket/bozuk.zip", true, L"", {}},
      {L"paket/kacak.zip", true, L"Invalid zip entry name: \"../dışarı.txt\" leaves the target folder",
       {L"iyi.txt"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(UTF8Encode(C.RemotePath));
    const String Target = Work + L"hedef";
    String Raised;
    try {
      Form->DownloadAndExtract(Target, true, C.RemotePath);
      ADD_FAILURE() << "no error";
    } catch (const Exception& E) {
      Raised = E.Message();
    }
    if (*C.Message) EXPECT_EQ(Raised, C.Message);
    EXPECT_FALSE(Raised.empty());
    std::vector<TLogLine> Expected{{LogWhite, String(C.RemotePath) + L" indiriliyor..."}};
    if (C.Downloads) {
      Expected.push_back({LogGreen, String(C.RemotePath) + L" indirme tamamlandı..."});
      Expected.push_back({LogWhite, String(C.RemotePath) + L" genişletiliyor..."});
    }
    Expected.push_back({LogRed, String(C.RemotePath) + L" başarısız: " + Raised});
    EXPECT_EQ(NewLogLines(), Expected);
    // No archive left behind, nothing written outside the target.
    EXPECT_EQ(Listing(Target), C.Extracted);
    std::vector<String> Everything{L"hedef\\"};
    for (const auto& E : C.Extracted) Everything.push_back(L"hedef\\" + E);
    EXPECT_EQ(Listing(ExcludeTrailingPathDelimiter(Work)), Everything);
    RemoveTree(Target);
  }
}

// A target folder that cannot be made is named with the system's reason, before anything is asked
// of the server.
TEST_F(QalDownloadLocalServer, AFolderThatCannotBeMadeIsNamedWithItsReason) {
  MakeZip(StoreFile(L"paket/kucuk.zip"), {{L"a.txt", BytesOf("a")}});
  WriteBytes(Work + L"dosya", BytesOf("bir dosya, klasör değil"));
  const String Blocked = Work + L"dosya";
  String Raised;
  try {
    Form->DownloadAndExtract(Blocked + L"\\hedef", true, L"paket/kucuk.zip");
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    Raised = E.Message();
  }
  const String Start = Blocked + L" klasörü oluşturulamadı: ";
  EXPECT_TRUE(Raised.starts_with(Start) && Raised.size() > Start.size()) << Raised;
  EXPECT_EQ(NewLogLines(), (std::vector<TLogLine>{{LogWhite, L"paket/kucuk.zip indiriliyor..."},
                                                  {LogRed, L"paket/kucuk.zip başarısız: " + Raised}}));
  EXPECT_EQ(FileBytes(Blocked), BytesOf("bir dosya, klasör değil"));
}

// ---- The self-update -------------------------------------------------------------------------------

class QalSelfUpdateLocalServer : public WizardServer {
 protected:
  void SetUp() override {
    WizardServer::SetUp();
    if (IsSkipped()) return;
    Program = Work + L"program\\";
    ForceDirectories(Program);
    QalSelfUpdateExe = Program + L"Qal.exe";
    ForceDirectories(Work + L"baska");
    SavedDir = GetCurrentDir();
    SetCurrentDir(Work + L"baska");  // the current folder is not the program's
  }
  void TearDown() override {
    if (!SavedDir.empty()) SetCurrentDir(SavedDir);
    WizardServer::TearDown();
  }
  String Program, SavedDir;
};

// The wizard beside the tests that the round serves and starts.
String WizardExe() { return ExtractFilePath(ParamStr(0)) + L"self_update_wizard.exe"; }

// The rules of the server's state folder, with one more for the time of a test.
class TExtraRule {
 public:
  explicit TExtraRule(const std::string& Rule) : FFile(LocalDownloadServer::StateFolder() + L"\\rules.json") {
    const TBytes Old = FileBytes(FFile);
    FSaved.assign(Old.begin(), Old.end());
    std::string Rules = FSaved;
    const size_t Brace = Rules.find('{');
    Rules.insert(Brace + 1, Rule + (Rules.find('"') == std::string::npos ? "" : ", "));
    Write(Rules);
  }
  ~TExtraRule() { Write(FSaved); }

 private:
  void Write(const std::string& Text) {
    // Whole at once: the server reads the file on every request.
    const String Temp = FFile + L".new";
    WriteBytes(Temp, TBytes(Text.begin(), Text.end()));
    MoveFileExW(Temp.c_str(), FFile.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  String FFile;
  std::string FSaved;
};

// A copy of the wizard whose import of the user interface library names one that does not exist:
// a Windows executable by every header, which the loader gives up at once.
TBytes WizardThatCannotStart() {
  TBytes B = FileBytes(WizardExe());
  const std::string Name = "user32.dll";
  auto At = std::search(B.begin(), B.end(), Name.begin(), Name.end(),
                        [](Byte A, char C) { return std::tolower(A) == std::tolower(Byte(C)); });
  if (At != B.end()) At[4] = '9';
  return B;
}

TBytes WizardAsLibrary() {
  TBytes B = FileBytes(WizardExe());
  const size_t Pe = B[0x3C] | B[0x3D] << 8 | B[0x3E] << 16 | B[0x3F] << 24;
  B[Pe + 23] |= IMAGE_FILE_DLL >> 8;
  return B;
}

TEST_F(QalSelfUpdateLocalServer, DecidesByTheVersionFile) {
  // The Turkish user's settings: the version file's "." must not depend on them.
  const TFormatSettings Saved = FormatSettings;
  FormatSettings.DecimalSeparator = L',';
  FormatSettings.ThousandSeparator = L'.';
  WriteBytes(StoreFile(L"guncelleme/sayfa.exe"), BytesOf("<html><body>Oturum açın</body></html>"));
  WriteBytes(StoreFile(L"guncelleme/kesik.exe"), FileBytes(WizardExe()));
  WriteBytes(StoreFile(L"guncelleme/kutuphane.exe"), WizardAsLibrary());
  WriteBytes(StoreFile(L"guncelleme/acilmaz.exe"), WizardThatCannotStart());
  DeleteFile(StoreFile(L"guncelleme/yok.exe"));
  const String Downloading = L"Yeni versiyon indiriliyor..";
  const String Cancelled = L" Güncelleme iptal edildi.";
  // Long enough for the local server, short for the cases that wait.
  Form->NetHTTPClient1->SetResponseTimeout(1500);
  enum TStale { NoStale, Stale, LockedStale };
  const struct {
    const char* Version;  // null: no version file (404)
    const wchar_t* RemoteExe;
    TStale Old;
    std::vector<TLogLine> Log;  // a red line with "*" is matched around it
    const char* Rule = nullptr;  // for the version file, while the case runs
  } Cases[] = {
      {" 7.8 ", L"guncelleme/sayfa.exe", NoStale, {}},
      {"7.80\r\n", L"guncelleme/sayfa.exe", NoStale, {}},
      {"7,9", L"guncelleme/sayfa.exe", NoStale, {}},
      {"abc", L"guncelleme/sayfa.exe", NoStale, {}},
      {"", L"guncelleme/sayfa.exe", NoStale, {}},
      {nullptr, L"guncelleme/sayfa.exe", NoStale,
       {{LogRed, L"Sürüm bilgisi alınamadı (HTTP 404) - güncelleme kontrolü atlandı."}}},
      {"7.9", L"guncelleme/sayfa.exe", NoStale,
       {{LogRed, L"Sürüm bilgisi alınamadı (HTTP 503) - güncelleme kontrolü atlandı."}},
       R"("diger/qal.txt": {"status": 503, "reason": "Service Unavailable"})"},
      // The connection drops in the middle of the version file.
      {"7.9", L"guncelleme/sayfa.exe", NoStale, {{LogRed, L"Güncelleme kontrolü yapılamadı: *"}},
       R"("diger/qal.txt": {"cut": 1})"},
      // A version file that never ends is given up at a few kilobytes; one that stops coming,
      // comes a byte at a time, or never comes, once the client has waited its time-out.
      {"7.9", L"guncelleme/sayfa.exe", NoStale,
       {{LogRed, L"Güncelleme kontrolü yapılamadı: Sürüm bilgisi 4096 bayttan uzun."}},
       R"("diger/qal.txt": {"endless": true})"},
      {"7.9", L"guncelleme/sayfa.exe", NoStale, {{LogRed, L"Güncelleme kontrolü yapılamadı: *"}},
       R"("diger/qal.txt": {"stall": 1})"},
      {"7.9", L"guncelleme/sayfa.exe", NoStale, {{LogRed, L"Güncelleme kontrolü yapılamadı: *"}},
       R"("diger/qal.txt": {"drip": 5})"},
      {"7.9", L"guncelleme/sayfa.exe", NoStale, {{LogRed, L"Güncelleme kontrolü yapılamadı: *"}},
       R"("diger/qal.txt": {"mute": true})"},
      {"7.81", L"guncelleme/yok.exe", NoStale,
       {{LogWhite, Downloading}, {LogRed, L"Yeni Qal.exe indirilemedi (HTTP 404 Not Found)." + Cancelled}}},
      {"\xEF\xBB\xBF" "7.9\n", L"guncelleme/sayfa.exe", NoStale,
       {{LogWhite, Downloading}, {LogRed, L"Yeni Qal.exe geçerli bir program değil." + Cancelled}}},
      {"7.9", L"guncelleme/kutuphane.exe", NoStale,
       {{LogWhite, Downloading}, {LogRed, L"Yeni Qal.exe geçerli bir program değil." + Cancelled}}},
      {"7.9", L"guncelleme/kesik.exe", NoStale, {{LogWhite, Downloading}, {LogRed, L"*" + Cancelled}}},
      {"7.9", L"guncelleme/acilmaz.exe", NoStale,
       {{LogWhite, Downloading},
        {LogGreen, L"Yeni versiyon indirildi.."},
        {LogRed, L"Yeni Qal.exe başlatılamadı: *" + Cancelled}}},
      // A leftover of an earlier round is removed first, unless something holds it.
      {"7.9", L"guncelleme/sayfa.exe", Stale,
       {{LogWhite, Downloading}, {LogRed, L"Yeni Qal.exe geçerli bir program değil." + Cancelled}}},
      {"7.9", L"guncelleme/sayfa.exe", LockedStale,
       {{LogRed, L"Mevcut Qal.exe yeniden adlandırılamadı - güncelleme atlandı."}}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << (C.Version ? C.Version : "404") << " " << UTF8Encode(C.RemoteExe));
    std::unique_ptr<TExtraRule> Rule(C.Rule ? new TExtraRule(C.Rule) : nullptr);
    if (C.Version) WriteBytes(StoreFile(L"diger/qal.txt"), BytesOf(C.Version));
    else DeleteFile(StoreFile(L"diger/qal.txt"));
    WriteBytes(Program + L"Qal.exe", BytesOf("eski program"));
    HANDLE Lock = INVALID_HANDLE_VALUE;
    if (C.Old != NoStale) WriteBytes(Program + L"123.exe", BytesOf("bayat"));
    if (C.Old == LockedStale)
      Lock = CreateFileW((Program + L"123.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);

    EXPECT_EQ(Form->CheckForUpdate(C.RemoteExe), 0);

    if (Lock != INVALID_HANDLE_VALUE) CloseHandle(Lock);
    const std::vector<TLogLine> Log = NewLogLines();
    ASSERT_EQ(Log.size(), C.Log.size()) << testing::PrintToString(Log);
    for (size_t I = 0; I < Log.size(); ++I) {
      EXPECT_EQ(Log[I].Color, C.Log[I].Color) << Log[I];
      const String& Want = C.Log[I].Text;
      const size_t Star = Want.find(L'*');
      if (Star == String::npos) EXPECT_EQ(Log[I].Text, Want);
      else EXPECT_TRUE(Log[I].Text.starts_with(Want.substr(0, Star)) && Log[I].Text.ends_with(Want.substr(Star + 1)) &&
                       Log[I].Text.size() > Want.size())
          << Log[I];
    }
    // The running program is back under its own name, whatever happened.
    EXPECT_EQ(FileBytes(Program + L"Qal.exe"), BytesOf("eski program"));
    const std::vector<String> Left =
        C.Old == LockedStale ? std::vector<String>{L"123.exe", L"Qal.exe"} : std::vector<String>{L"Qal.exe"};
    EXPECT_EQ(Listing(ExcludeTrailingPathDelimiter(Program)), Left);
    EXPECT_EQ(Listing(Work + L"baska"), std::vector<String>{});
    EXPECT_TRUE(Form->cmdQal->GetEnabled());
    DeleteFile(Program + L"123.exe");
  }
  FormatSettings = Saved;
}

// An error of any kind out of the transfer (here one that is no framework exception) is logged, the
// running program keeps its name and the inputs come back.
TEST_F(QalSelfUpdateLocalServer, AnyErrorOfTheCheckGivesTheInputsBack) {
  WriteBytes(StoreFile(L"guncelleme/kesik.exe"), FileBytes(WizardExe()));
  WriteBytes(StoreFile(L"diger/qal.txt"), BytesOf("7.9"));
  const struct {
    Int64 ThrowAbove;  // a transfer longer than this throws
    String Line;
  } Cases[] = {
      {-1, L"Güncelleme kontrolü yapılamadı: aktarım kesildi"},
      {4096, L"aktarım kesildi Güncelleme iptal edildi."},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.ThrowAbove);
    WriteBytes(Program + L"Qal.exe", BytesOf("eski program"));
    Form->NetHTTPClient1->SetOnReceiveData([&](TObject*, Int64 Length, Int64, bool&) {
      if (Length > C.ThrowAbove) throw std::runtime_error("aktarım kesildi");
    });
    EXPECT_EQ(Form->CheckForUpdate(L"guncelleme/kesik.exe"), 0);
    const std::vector<TLogLine> Log = NewLogLines();
    ASSERT_FALSE(Log.empty());
    EXPECT_EQ(Log.back(), (TLogLine{LogRed, C.Line}));
    EXPECT_EQ(FileBytes(Program + L"Qal.exe"), BytesOf("eski program"));
    EXPECT_EQ(Listing(ExcludeTrailingPathDelimiter(Program)), std::vector<String>{L"Qal.exe"});
    EXPECT_TRUE(Form->cmdQal->GetEnabled());
    EXPECT_FALSE(Application->FindComponent(L"frmWait"));
  }
}

// The wait form is up, on top of everything, with the inputs disabled while a newer wizard comes,
// and gone after, here once the new one could not be started; a check that finds no newer version
// shows none.
TEST_F(QalSelfUpdateLocalServer, TheWaitFormIsUpWhileTheNewWizardComes) {
  WriteBytes(StoreFile(L"guncelleme/acilmaz.exe"), WizardThatCannotStart());
  const struct {
    const char* Version;
    bool Newer;
  } Cases[] = {{"7.9", true}, {"7.8", false}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Version);
    WriteBytes(StoreFile(L"diger/qal.txt"), BytesOf(C.Version));
    WriteBytes(Program + L"Qal.exe", BytesOf("eski program"));
    Integer Transfers = 0, WithWait = 0;
    Form->NetHTTPClient1->SetOnReceiveData([&](TObject*, Int64, Int64, bool&) {
      ++Transfers;
      auto* Wait = dynamic_cast<TCustomForm*>(Application->FindComponent(L"frmWait"));
      if (!Wait) return;
      EXPECT_TRUE(Wait->GetVisible());
      EXPECT_TRUE(GetWindowLongPtrW(Wait->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
      EXPECT_FALSE(Form->cmdQal->GetEnabled());
      EXPECT_FALSE(Form->gbKonum->GetEnabled()) << "the folder group";
      ++WithWait;
    });
    EXPECT_EQ(Form->CheckForUpdate(L"guncelleme/acilmaz.exe"), 0);
    EXPECT_GT(Transfers, 0);
    if (C.Newer) EXPECT_GT(WithWait, 0);
    else EXPECT_EQ(WithWait, 0);
    EXPECT_FALSE(Application->FindComponent(L"frmWait"));
    EXPECT_TRUE(Form->cmdQal->GetEnabled());
    NewLogLines();
  }
}

// The processes whose program is File, each with its handle.
std::vector<std::pair<DWORD, HANDLE>> ProcessesOf(const String& File) {
  std::vector<std::pair<DWORD, HANDLE>> R;
  HANDLE Snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (Snap == INVALID_HANDLE_VALUE) return R;
  PROCESSENTRY32W E{};
  E.dwSize = sizeof(E);
  for (BOOL Ok = Process32FirstW(Snap, &E); Ok; Ok = Process32NextW(Snap, &E)) {
    HANDLE P = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, E.th32ProcessID);
    if (!P) continue;
    wchar_t Name[MAX_PATH];
    DWORD Size = MAX_PATH;
    if (QueryFullProcessImageNameW(P, 0, Name, &Size) && SameFileName(Name, File)) R.emplace_back(E.th32ProcessID, P);
    else CloseHandle(P);
  }
  CloseHandle(Snap);
  return R;
}

// The day's log lines of the wizard in Folder, without their times.
std::vector<String> WizardLog(const String& Folder) {
  std::vector<String> R;
  TSearchRec F;
  if (FindFirst(Folder + L"Qal_*.log", faAnyFile, F) == 0) {
    do {
      const TBytes B = FileBytes(Folder + F.Name);
      const String All = UTF8ToString(std::string(B.begin(), B.end()));
      for (size_t Start = 0, End; (End = All.find(L"\r\n", Start)) != String::npos; Start = End + 2)
        R.push_back(All.substr(Start + 13, End - Start - 13));
    } while (FindNext(F) == 0);
    FindClose(F);
  }
  return R;
}

bool Contains(const std::vector<String>& Lines, const String& Line) {
  return std::find(Lines.begin(), Lines.end(), Line) != Lines.end();
}

// Starts the wizard Exe with Arguments in Folder; its process handle.
HANDLE StartWizard(const String& Exe, const String& Arguments, const String& Folder) {
  String CommandLine = L"\"" + Exe + L"\"" + (Arguments.empty() ? L"" : L" " + Arguments);
  STARTUPINFOW Startup{};
  Startup.cb = sizeof(Startup);
  PROCESS_INFORMATION Info{};
  if (!CreateProcessW(Exe.c_str(), CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder.c_str(), &Startup,
                      &Info))
    return nullptr;
  CloseHandle(Info.hThread);
  return Info.hProcess;
}

template <class F>
bool WaitUntil(F Done, DWORD Milliseconds) {
  for (DWORD Deadline = GetTickCount() + Milliseconds; !Done();) {
    if (GetTickCount() > Deadline) return false;
    Sleep(50);
  }
  return true;
}

// Closes every running wizard of the program file Exe as the operator would; their count.
size_t CloseWizards(const String& Exe) {
  auto Running = ProcessesOf(Exe);
  for (auto& [Pid, Process] : Running) {
    EnumWindows(
        [](HWND W, LPARAM Pid) -> BOOL {
          DWORD Owner = 0;
          GetWindowThreadProcessId(W, &Owner);
          if (Owner == DWORD(Pid)) PostMessageW(W, WM_CLOSE, 0, 0);
          return TRUE;
        },
        LPARAM(Pid));
    if (WaitForSingleObject(Process, 30000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "a wizard did not close";
      TerminateProcess(Process, 1);
    }
    CloseHandle(Process);
  }
  return Running.size();
}

TEST_F(QalSelfUpdateLocalServer, TheServedWizardReplacesTheRunningOne) {
  const TBytes Old = FileBytes(WizardExe());
  TBytes New = Old;
  const std::string Mark = "-- yeni surum --";
  New.insert(New.end(), Mark.begin(), Mark.end());  // beyond the image: it runs the same
  WriteBytes(Program + L"Qal.exe", Old);
  WriteBytes(StoreFile(L"diger/Qal.exe"), New);
  WriteBytes(StoreFile(L"diger/qal.txt"), BytesOf("7.9"));
  // The new wizard reads the version file too: it finds none and stays.
  TExtraRule Once(R"("diger/qal.txt": {"after": 1, "status": 404, "reason": "Not Found"})");

  // The old wizard, started from another folder: it downloads, starts the new one and ends.
  const String Exe = Program + L"Qal.exe";
  HANDLE Process = StartWizard(Exe, L"", Work + L"baska");
  ASSERT_TRUE(Process);
  const DWORD Ended = WaitForSingleObject(Process, 60000);
  if (Ended != WAIT_OBJECT_0) TerminateProcess(Process, 1);
  DWORD Code = 1;
  GetExitCodeProcess(Process, &Code);
  CloseHandle(Process);
  ASSERT_EQ(Ended, WAIT_OBJECT_0) << testing::PrintToString(WizardLog(Program));
  EXPECT_EQ(Code, 0u);

  // The new one deletes "123.exe" and goes on with its start-up.
  const String Done = L"Sürüm bilgisi alınamadı (HTTP 404) - güncelleme kontrolü atlandı.";
  WaitUntil([&] { return !FileExists(Program + L"123.exe") && Contains(WizardLog(Program), Done); }, 60000);
  EXPECT_EQ(CloseWizards(Exe), 1u) << "the new wizard runs";

  const std::vector<String> Log = WizardLog(Program);
  const std::vector<String> Expected{L"Yeni versiyon indiriliyor..", L"Yeni versiyon indirildi..", Done};
  EXPECT_EQ(Log, Expected);
  std::vector<String> Files = Listing(ExcludeTrailingPathDelimiter(Program));
  Files.erase(std::remove_if(Files.begin(), Files.end(), [](const String& F) { return F.starts_with(L"Qal_"); }),
              Files.end());
  EXPECT_EQ(Files, std::vector<String>{L"Qal.exe"});
  EXPECT_TRUE(FileBytes(Exe) == New) << "the folder holds the new executable";
  EXPECT_EQ(Listing(Work + L"baska"), std::vector<String>{});
}

// The old file may stay held a while (the old wizard still closing): the new one tries again for
// some seconds, and only then gives up with a red line and goes on.
TEST_F(QalSelfUpdateLocalServer, TheNewWizardWaitsForTheOldFile) {
  const String Exe = Program + L"Qal.exe";
  const String Old = Program + L"123.exe";
  WriteBytes(Exe, FileBytes(WizardExe()));
  WriteBytes(StoreFile(L"diger/qal.txt"), BytesOf("7.8"));
  for (bool LetGo : {true, false}) {
    SCOPED_TRACE(LetGo ? "let go" : "held");
    WriteBytes(Old, BytesOf("eski"));
    HANDLE Lock = CreateFileW(Old.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Lock, INVALID_HANDLE_VALUE);
    HANDLE Process = StartWizard(Exe, L"123.exe", Work + L"baska");
    ASSERT_TRUE(Process);
    CloseHandle(Process);
    auto GaveUp = [&] {
      for (const String& L : WizardLog(Program))
        if (L.starts_with(L"Eski Qal.exe silinemedi: ")) return true;
      return false;
    };
    if (LetGo) {
      Sleep(1500);
      CloseHandle(Lock);
      EXPECT_TRUE(WaitUntil([&] { return !FileExists(Old); }, 30000));
    } else {
      EXPECT_TRUE(WaitUntil(GaveUp, 60000));
      CloseHandle(Lock);
      EXPECT_TRUE(FileExists(Old));
    }
    EXPECT_EQ(CloseWizards(Exe), 1u);
    EXPECT_EQ(GaveUp(), !LetGo) << testing::PrintToString(WizardLog(Program));
    TSearchRec F;
    if (FindFirst(Program + L"Qal_*.log", faAnyFile, F) == 0) {
      do DeleteFile(Program + F.Name);
      while (FindNext(F) == 0);
      FindClose(F);
    }
  }
}

}  // namespace
