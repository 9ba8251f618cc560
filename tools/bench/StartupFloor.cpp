// The second reference for the wizard's start-up: the least a plain Win32 program does to start as
// the wizard is asked to, with no framework and no visual style. It loads the same system
// libraries with the same manifest, starts sockets, OLE, GDI+ and the common controls, makes the
// main form's windows (a captioned window with its menu, four radio groups with their eight
// buttons, two group boxes, the folder edit with its button, five check boxes, the progress bar,
// the rich-text log view, two buttons and the status bar), runs the start-up checks (the local
// address through a datagram socket, the connection state from WinINet, and one HTTPS request
// through WinHTTP), then shows the window and waits for input.
// Nothing leaves the machine: the address looked up is the loopback one, and the request goes to
// a loopback port (the benchmark also points the proxy at a closed loopback port).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <richedit.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <uxtheme.h>
#include <wininet.h>

// WinINet's and WinHTTP's headers do not mix: the few WinHTTP calls are declared here.
extern "C" {
__declspec(dllimport) void* WINAPI WinHttpOpen(const wchar_t*, DWORD, const wchar_t*, const wchar_t*, DWORD);
__declspec(dllimport) void* WINAPI WinHttpConnect(void*, const wchar_t*, WORD, DWORD);
__declspec(dllimport) void* WINAPI WinHttpOpenRequest(void*, const wchar_t*, const wchar_t*, const wchar_t*,
                                                       const wchar_t*, const wchar_t**, DWORD);
__declspec(dllimport) BOOL WINAPI WinHttpSendRequest(void*, const wchar_t*, DWORD, void*, DWORD, DWORD, DWORD_PTR);
__declspec(dllimport) BOOL WINAPI WinHttpReceiveResponse(void*, void*);
__declspec(dllimport) BOOL WINAPI WinHttpCloseHandle(void*);
struct FloorGdiplusInput {
  UINT32 GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = TRUE;
  BOOL SuppressExternalCodecs = FALSE;
};
__declspec(dllimport) int WINAPI GdiplusStartup(ULONG_PTR*, const FloorGdiplusInput*, void*);
}

namespace {

// The libraries the wizard imports that the calls below do not name: each named once, so that the
// loader maps the same set at start.
const void* volatile Imported[] = {reinterpret_cast<const void*>(&AlphaBlend), reinterpret_cast<const void*>(&OpenThemeData),
                                reinterpret_cast<const void*>(&SysAllocString), reinterpret_cast<const void*>(&ShellExecuteW),
                                reinterpret_cast<const void*>(&PathFileExistsW), reinterpret_cast<const void*>(&RegOpenKeyExW)};

HINSTANCE Instance;
HFONT Font;

LRESULT CALLBACK WindowProc(HWND Window, UINT Msg, WPARAM W, LPARAM L) {
  if (Msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(Window, Msg, W, L);
}

HWND Child(const wchar_t* Class, const wchar_t* Text, DWORD Style, int X, int Y, int W, int H, HWND Parent) {
  HWND C = CreateWindowExW(0, Class, Text, WS_CHILD | WS_VISIBLE | Style, X, Y, W, H, Parent, nullptr, Instance, nullptr);
  SendMessageW(C, WM_SETFONT, WPARAM(Font), 0);
  return C;
}

HWND RadioGroup(HWND Parent, const wchar_t* Caption, const wchar_t* A, const wchar_t* B, int X, int Y, int W, int H) {
  HWND Box = Child(L"BUTTON", Caption, BS_GROUPBOX, X, Y, W, H, Parent);
  Child(L"BUTTON", A, BS_AUTORADIOBUTTON, 8, 18, W / 2 - 16, 17, Box);
  Child(L"BUTTON", B, BS_AUTORADIOBUTTON, W / 2, 18, W / 2 - 16, 17, Box);
  return Box;
}

void LocalAddress() {
  addrinfoW Hints{};
  Hints.ai_family = AF_INET;
  Hints.ai_socktype = SOCK_DGRAM;
  Hints.ai_protocol = IPPROTO_UDP;
  addrinfoW* Found = nullptr;
  if (GetAddrInfoW(L"127.0.0.1", L"80", &Hints, &Found) != 0 || !Found) return;
  SOCKET S = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (S != INVALID_SOCKET) {
    if (connect(S, Found->ai_addr, int(Found->ai_addrlen)) == 0) {
      sockaddr_in Local{};
      int Len = sizeof(Local);
      getsockname(S, reinterpret_cast<sockaddr*>(&Local), &Len);
    }
    closesocket(S);
  }
  FreeAddrInfoW(Found);
}

void VersionRequest() {
  void* Session = WinHttpOpen(L"StartupFloor/1.0", 0 /* the default proxy */, nullptr, nullptr, 0);
  void* Connection = Session ? WinHttpConnect(Session, L"127.0.0.1", 9, 0) : nullptr;
  void* Request = Connection ? WinHttpOpenRequest(Connection, L"GET", L"/diger/qal.txt", nullptr, nullptr, nullptr,
                                                  0x00800000 /* WINHTTP_FLAG_SECURE */)
                             : nullptr;
  if (Request && WinHttpSendRequest(Request, nullptr, 0, nullptr, 0, 0, 0)) WinHttpReceiveResponse(Request, nullptr);
  if (Request) WinHttpCloseHandle(Request);
  if (Connection) WinHttpCloseHandle(Connection);
  if (Session) WinHttpCloseHandle(Session);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE AInstance, HINSTANCE, LPWSTR, int Show) {
  Instance = AInstance;
  for (const void* volatile& Function : Imported)
    if (!Function) return 1;
  WSADATA Wsa;
  WSAStartup(MAKEWORD(2, 2), &Wsa);
  OleInitialize(nullptr);
  FloorGdiplusInput Input;
  ULONG_PTR Token = 0;
  GdiplusStartup(&Token, &Input, nullptr);
  INITCOMMONCONTROLSEX Controls{sizeof(Controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&Controls);

  WNDCLASSW Class{};
  Class.lpfnWndProc = WindowProc;
  Class.hInstance = Instance;
  Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  Class.lpszClassName = L"QalStartupFloor";
  RegisterClassW(&Class);
  HMENU Menu = CreateMenu(), Actions = CreatePopupMenu();
  AppendMenuW(Actions, MF_STRING | MF_GRAYED, 1, L"Hizmetleri Kaldır");
  AppendMenuW(Menu, MF_POPUP, UINT_PTR(Actions), L"İşlemler");
  HWND Form = CreateWindowExW(0, Class.lpszClassName, L"Zelkor SQL (Kurulum Sihirbazı)",
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                              851, 585, nullptr, Menu, Instance, nullptr);
  Font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");

  RadioGroup(Form, L"Versiyon", L"5.0 (PostgreSQL)", L"6.0 (PostgreSQL)", 8, 4, 819, 44);
  RadioGroup(Form, L"Kurulum Tipi", L" &Yeni Kurulum", L" &Güncelleme", 8, 52, 405, 64);
  RadioGroup(Form, L"Terminal Tipi", L" &Sunucu", L" İste&mci", 422, 52, 405, 64);
  HWND Location = Child(L"BUTTON", L"Zelkor Klasörünü Seçiniz", BS_GROUPBOX, 8, 120, 819, 50, Form);
  HWND Path = Child(L"EDIT", L"C:", ES_READONLY | ES_AUTOHSCROLL, 10, 20, 799, 21, Location);
  Child(L"BUTTON", L"...", 0, 778, 0, 21, 17, Path);
  HWND Components = Child(L"BUTTON", L"Bileşenler", BS_GROUPBOX, 8, 174, 819, 46, Form);
  const wchar_t* Boxes[] = {L" Veritabanı Sunucusu", L" Örnek Veritabanı (DEMO)", L".Net Framework", L" AnyDesk",
                            L"İp Sabitlensin"};
  for (int I = 0; I < 5; ++I) Child(L"BUTTON", Boxes[I], BS_AUTOCHECKBOX, 10 + I * 160, 20, 150, 17, Components);
  ShowWindow(RadioGroup(Form, L"", L"Market", L"Restoran", 8, 224, 819, 40), SW_HIDE);
  Child(PROGRESS_CLASSW, L"", 0, 8, 286, 819, 17, Form);
  LoadLibraryW(L"msftedit.dll");
  Child(MSFTEDIT_CLASS, L"", ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER, 8, 308, 819, 160, Form);
  Child(L"BUTTON", L"Güncelle", 0, 624, 474, 100, 30, Form);
  Child(L"BUTTON", L"Kapat", 0, 727, 474, 100, 30, Form);
  HWND Status = Child(STATUSCLASSNAMEW, L"", 0, 0, 0, 0, 0, Form);
  int Panels[] = {150, 300, -1};
  SendMessageW(Status, SB_SETPARTS, 3, LPARAM(Panels));

  LocalAddress();
  DWORD Flags = 0;
  InternetGetConnectedState(&Flags, 0);
  VersionRequest();

  ShowWindow(Form, Show);
  UpdateWindow(Form);
  MSG Msg;
  while (GetMessageW(&Msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  return 0;
}
