// Qal.exe itself, started as the operator starts it and driven from outside through its windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "UiDriver.h"
#include "framework/Graphics.h"
#include "framework/PngImage.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"

#include <winhttp.h>

namespace {

using namespace UiDriver;

const std::wstring Main = L"TfrmQalMain:Zelkor SQL (Kurulum Sihirbazı)";

// The program as the build made it.
String QalExe() {
  String Path = L"Z:" QAL_EXE_UNIX_PATH;
  for (wchar_t& C : Path)
    if (C == L'/') C = L'\\';
  return Path;
}

// Nothing the program asks of the network may leave the machine: HTTP goes to a closed port of
// the loopback address. WinHTTP prefers the prefix's default proxy to the environment, and a suite
// run earlier in this prefix may have pointed that one at its own server: both are set.
std::vector<std::wstring> LocalOnly() {
  std::wstring Closed = L"127.0.0.1:9";
  WINHTTP_PROXY_INFO Info{};
  Info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  Info.lpszProxy = Closed.data();
  if (!WinHttpSetDefaultProxyConfiguration(&Info)) RaiseLastOSError();
  return {L"http_proxy=http://" + Closed, L"https_proxy=http://" + Closed};
}

bool WaitUntil(const std::function<bool()>& Done, DWORD TimeoutMs = 10000) {
  DWORD Start = GetTickCount();
  while (!Done()) {
    if (GetTickCount() - Start >= TimeoutMs) return false;
    Sleep(10);
  }
  return true;
}

// A folder of the test's own, removed with what it holds.
class TTempFolder {
 public:
  explicit TTempFolder(const String& Name) {
    wchar_t Temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, Temp);
    Path = IncludeTrailingPathDelimiter(Temp) + Name + IntToStr(Integer(GetCurrentProcessId()));
    ForceDirectories(Path);
  }
  ~TTempFolder() {
    std::wstring From = Path + L'\0';
    SHFILEOPSTRUCTW Op{};
    Op.wFunc = FO_DELETE;
    Op.pFrom = From.c_str();
    Op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&Op);
  }
  String Path;
};

void Touch(const String& FileName) {
  HANDLE H = CreateFileW(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(H);
}

// The main form of Program, once its start-up has run (the main button is enabled then).
HWND StartedMainForm(const TProgram& Program) {
  HWND Form = WaitFor(Main, Program.Id(), 30000);
  if (!Form) return nullptr;
  HWND Button = Find(Main + L" > TButton:Güncelle", Program.Id());
  return Button && WaitUntil([&] { return Enabled(Button); }) ? Form : nullptr;
}

class QalProgram : public testing::Test {
 protected:
  void TearDown() override {
    if (Program.Running()) Program.Kill();
  }
  HWND Control(const std::wstring& Below) { return Find(Main + L" > " + Below, Program.Id()); }
  TProgram Program;
};

TEST_F(QalProgram, OpensItsMainFormWithCaptionAndStatus) {
  Program = TProgram::Start(QalExe(), L"", L"", LocalOnly());
  HWND Form = StartedMainForm(Program);
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Text(Form), L"Zelkor SQL (Kurulum Sihirbazı)");
  RECT Client{};
  GetClientRect(Form, &Client);
  EXPECT_EQ(Client.right, 835);
  HWND Status = Control(L"TStatusBar");
  ASSERT_NE(Status, nullptr);
  EXPECT_EQ(StatusPanel(Status, 2), L"Sürüm 7.8");
  EXPECT_EQ(StatusPanel(Status, 0).rfind(L"Yerel IP: ", 0), 0u) << StatusPanel(Status, 0);
  EXPECT_FALSE(StatusPanel(Status, 1).empty());
  for (const wchar_t* Caption : {L"Versiyon", L"Kurulum Tipi", L"Terminal Tipi"})
    EXPECT_NE(Control(std::wstring(L"TRadioGroup:") + Caption), nullptr) << Caption;
  EXPECT_NE(Control(L"TGroupBox:Bileşenler"), nullptr);
  EXPECT_EQ(Text(Control(L"TDBEditKv")), L"C:");
  EXPECT_NE(Control(L"TRichEdit"), nullptr);
  EXPECT_NE(Control(L"TProgressBar"), nullptr);
  HWND Close = Control(L"TButton:Kapat");
  ASSERT_TRUE(Click(Close));
  EXPECT_TRUE(Program.WaitExit());
}

// The program asks for administrator rights, the themed common controls and per-monitor DPI.
TEST_F(QalProgram, CarriesItsManifest) {
  HMODULE Exe = LoadLibraryExW(QalExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(Exe, nullptr);
  HRSRC Found = FindResourceW(Exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(Found, nullptr);
  const char* Data = static_cast<const char*>(LockResource(LoadResource(Exe, Found)));
  std::string Manifest(Data, SizeofResource(Exe, Found));
  FreeLibrary(Exe);
  for (const char* Part : {"level=\"requireAdministrator\"", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                           ">true/pm<", "PerMonitorV2"})
    EXPECT_NE(Manifest.find(Part), std::string::npos) << Part;
}

// The operator's choices, made with clicks, keep the component boxes consistent.
TEST_F(QalProgram, OptionBoxesFollowTheChoices) {
  Program = TProgram::Start(QalExe(), L"", L"", LocalOnly());
  ASSERT_NE(StartedMainForm(Program), nullptr);
  const std::wstring New = L"TGroupButton: &Yeni Kurulum", Update = L"TGroupButton: &Güncelleme",
                     Server = L"TGroupButton: &Sunucu", Client = L"TGroupButton: İste&mci",
                     V50 = L"TGroupButton:5.0 (PostgreSQL)", V60 = L"TGroupButton:6.0 (PostgreSQL)",
                     Demo = L"TDBCheckBoxKv: Örnek Veritabanı (DEMO)";
  HWND Location = Control(L"TGroupBox:Zelkor Klasörünü Seçiniz");
  HWND MainButton = Control(L"TButton:Güncelle");
  HWND ServerBox = Control(L"TDBCheckBoxKv: Veritabanı Sunucusu");
  HWND DemoBox = Control(Demo);
  HWND Sector = Control(L"TGroupButton:Market");
  ASSERT_TRUE(Location && MainButton && ServerBox && DemoBox && Sector);
  struct TCase {
    std::wstring Click;
    const wchar_t* Location;
    const wchar_t* Button;
    bool ServerTicked, ServerEnabled, DemoTicked, DemoEnabled, SectorVisible;
  };
  const wchar_t* Upd = L"Zelkor Klasörünü Seçiniz";
  const wchar_t* Loc = L"Kurulum Konum";
  const TCase Cases[] = {
      {L"", Upd, L"Güncelle", false, false, false, false, false},
      {New, Loc, L"Qal", true, true, false, true, false},
      {Demo, Loc, L"Qal", true, true, true, true, false},
      {V60, Loc, L"Qal", true, true, true, true, true},
      {Client, Loc, L"Qal", false, false, false, false, false},
      {Server, Loc, L"Qal", true, true, true, true, true},
      {V50, Loc, L"Qal", true, true, true, true, false},
      {Update, Upd, L"Güncelle", false, false, false, false, false},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(testing::Message() << "after " << String(C.Click));
    if (!C.Click.empty()) {
      ASSERT_TRUE(Click(Control(C.Click)));
    }
    auto Shown = [&] {
      return Text(Location) == C.Location && Text(MainButton) == C.Button &&
             (Checked(ServerBox) == BST_CHECKED) == C.ServerTicked && Enabled(ServerBox) == C.ServerEnabled &&
             (Checked(DemoBox) == BST_CHECKED) == C.DemoTicked && Enabled(DemoBox) == C.DemoEnabled &&
             Visible(Sector) == C.SectorVisible;
    };
    // The clicks are posted: the program shows their outcome a moment later.
    EXPECT_TRUE(WaitUntil(Shown, 5000));
    EXPECT_EQ(Text(Location), C.Location);
    EXPECT_EQ(Text(MainButton), C.Button);
    EXPECT_EQ(Checked(ServerBox) == BST_CHECKED, C.ServerTicked);
    EXPECT_EQ(Enabled(ServerBox), C.ServerEnabled);
    EXPECT_EQ(Checked(DemoBox) == BST_CHECKED, C.DemoTicked);
    EXPECT_EQ(Enabled(DemoBox), C.DemoEnabled);
    EXPECT_EQ(Visible(Sector), C.SectorVisible);
  }
  // The main button asks first; No leaves everything as it was.
  ASSERT_TRUE(Click(MainButton));
  std::vector<std::wstring> Box = Answer(L"TMessageForm", L"&No", Program.Id());
  ASSERT_FALSE(Box.empty());
  EXPECT_EQ(Box[0], L"Information");
  EXPECT_TRUE(WaitUntil([&] { return !Find(L"TMessageForm", Program.Id()) && Enabled(MainButton); }));
  HWND Form = Find(Main, Program.Id());
  AltF4(Form);
  EXPECT_TRUE(Program.WaitExit());
}

// The argument the self-update leaves is deleted only when it names "123.exe" beside the program.
TEST_F(QalProgram, DeletesOnlyTheLeftoverOfTheSelfUpdate) {
  TTempFolder Folder(L"QalStart");
  String Exe = Folder.Path + L"\\Qal.exe";
  ASSERT_TRUE(CopyFileW(QalExe().c_str(), Exe.c_str(), FALSE));
  ForceDirectories(Folder.Path + L"\\alt");
  const struct {
    const wchar_t* File;      // created before the start, below the program's folder
    const wchar_t* Argument;  // relative names count from the program's folder
    bool Deleted;
  } Cases[] = {
      {L"123.exe", L"123.exe", true},
      {L"123.exe", nullptr, true},  // the full path
      {L"dukkan.db", nullptr, false},
      {L"alt\\123.exe", L"alt\\123.exe", false},
  };
  for (const auto& C : Cases) {
    String File = Folder.Path + L"\\" + C.File;
    SCOPED_TRACE(File);
    Touch(File);
    String Argument = C.Argument ? String(C.Argument) : File;
    // Started from another working folder, as a shortcut may start it.
    Program = TProgram::Start(Exe, L"\"" + Argument + L"\"", Folder.Path + L"\\alt", LocalOnly());
    ASSERT_NE(StartedMainForm(Program), nullptr);
    EXPECT_EQ(!FileExists(File), C.Deleted);
    AltF4(Find(Main, Program.Id()));
    EXPECT_TRUE(Program.WaitExit());
    DeleteFile(File);
  }
}

// On a Windows older than 7 SP1 (Wine pretends Vista SP2 for this program) the operator is told,
// the program ends, and nothing of the start-up runs.
TEST_F(QalProgram, EndsOnWindowsBefore7ServicePack1) {
  TTempFolder Folder(L"QalVista");
  String Exe = Folder.Path + L"\\QalVista.exe";
  ASSERT_TRUE(CopyFileW(QalExe().c_str(), Exe.c_str(), FALSE));
  Touch(Folder.Path + L"\\123.exe");
  const String Key = L"\\Software\\Wine\\AppDefaults\\QalVista.exe";
  {
    TRegistry R;
    ASSERT_TRUE(R.OpenKey(Key, true));
    R.WriteString(L"Version", L"vista");
  }
  struct TRemoveKey {
    String Key;
    ~TRemoveKey() { TRegistry().DeleteKey(Key); }
  } Remove{Key};
  Program = TProgram::Start(Exe, L"123.exe", L"", LocalOnly());
  std::vector<std::wstring> Box = Answer(L"#32770", L"OK", Program.Id(), 30000);
  ASSERT_FALSE(Box.empty());
  EXPECT_EQ(Box[0], L"Zelkor SQL (Kurulum Sihirbazı)");
  EXPECT_NE(std::find(Box.begin(), Box.end(),
                      L"Kurulum yapabilmek için en az\rwindows service pack 1 kurulu olması gerekiyor."),
            Box.end());
  EXPECT_TRUE(Program.WaitExit());
  EXPECT_TRUE(FileExists(Folder.Path + L"\\123.exe"));
}

// Under a real screen: the main form as the operator sees it, kept as a picture beside the build
// (artifacts/qal-main-form.png), and its parts where the form's description puts them.
TEST_F(QalProgram, MainFormOnScreen) {
  Program = TProgram::Start(QalExe(), L"", L"", LocalOnly());
  HWND Form = StartedMainForm(Program);
  ASSERT_NE(Form, nullptr);
  SetForegroundWindow(Form);
  Sleep(300);  // the X server draws what Wine sent it

  String Artifacts = ExtractFilePath(ExcludeTrailingPathDelimiter(ExtractFilePath(ParamStr(0)))) + L"artifacts";
  ForceDirectories(Artifacts);
  String Bmp = Artifacts + L"\\qal-main-form.bmp";
  ASSERT_TRUE(CaptureToBmp(Form, Bmp));
  TBitmap Shot;
  Shot.LoadFromFile(Bmp);
  TPngImage Png;
  Png.Assign(&Shot);
  Png.SaveToFile(Artifacts + L"\\qal-main-form.png");
  DeleteFile(Bmp);

  // Top to bottom: version, installation and terminal type side by side, location, components,
  // progress, log, buttons, status bar.
  auto Top = [&](const std::wstring& Below) { return ScreenRect(Find(Main + L" > " + Below, Program.Id())).top; };
  const std::wstring Order[] = {L"TRadioGroup:Versiyon", L"TRadioGroup:Kurulum Tipi", L"TGroupBox:Zelkor Klasörünü Seçiniz",
                                L"TGroupBox:Bileşenler", L"TProgressBar", L"TRichEdit", L"TButton:Kapat",
                                L"TStatusBar"};
  for (size_t I = 1; I < std::size(Order); ++I)
    EXPECT_LT(Top(Order[I - 1]), Top(Order[I])) << String(Order[I - 1]) << " above " << String(Order[I]);
  EXPECT_EQ(Top(L"TRadioGroup:Kurulum Tipi"), Top(L"TRadioGroup:Terminal Tipi"));
  RECT Whole = ScreenRect(Form);
  RECT Status = ScreenRect(Find(Main + L" > TStatusBar", Program.Id()));
  EXPECT_LE(Status.bottom, Whole.bottom);
  // The style paints the form dark: a pixel between the log and the buttons.
  RECT Log = ScreenRect(Find(Main + L" > TRichEdit", Program.Id()));
  TColor Back = ColorToRGB(Shot.GetCanvas()->GetPixel(Log.left - Whole.left + 4, Log.bottom - Whole.top + 6));
  Integer Luminance = (77 * GetRValue(Back) + 150 * GetGValue(Back) + 29 * GetBValue(Back)) >> 8;
  EXPECT_LT(Luminance, 100);
  AltF4(Form);
  EXPECT_TRUE(Program.WaitExit());
}

}  // namespace
