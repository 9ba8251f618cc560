// The wizard as the self-update round starts it: Qal.exe's own start, with the local-address probe
// kept on this machine. The round serves this program as the new Qal.exe and starts it as the old.
#include <winsock2.h>

#include "framework/Forms.h"
#include "framework/WinShell.h"
#include "installer/QalMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  WSADATA Wsa;
  WSAStartup(MAKEWORD(2, 2), &Wsa);
  OleInitialize(nullptr);
  FrameworkStartup();
  QalLocalIPHost = L"127.0.0.1";
  Application->Initialize();
  Application->SetMainFormOnTaskbar(true);
  Application->SetTitle(QalTitle);
  RegisterQalClasses();
  TfrmQalMain* frmQalMain = nullptr;
  Application->CreateForm(frmQalMain);
  Application->Run();
  FrameworkShutdown();
  OleUninitialize();
  WSACleanup();
  return 0;
}
