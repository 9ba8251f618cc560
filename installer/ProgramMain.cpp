// The program file: sets the application up, creates the wizard's main form and runs the message
// loop until it closes.
#include <winsock2.h>

#include "framework/Forms.h"
#include "framework/Themes.h"
#include "framework/WinShell.h"
#include "htmllabel/GdipObjects.h"
#include "installer/QalMain.h"

namespace {
void ProgramMain() {
  Application->Initialize();
  Application->SetMainFormOnTaskbar(true);
  // When the style cannot be selected the style manager shows why, and the wizard goes on unstyled.
  TStyleManager::TrySetStyle(L"Material Black Pearl");
  Application->SetTitle(QalTitle);
  RegisterQalClasses();
  TfrmQalMain* frmQalMain = nullptr;
  Application->CreateForm(frmQalMain);
  Application->Run();
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // The local-address lookup and the folder browser need the socket library and COM ready.
  WSADATA Wsa;
  WSAStartup(MAKEWORD(2, 2), &Wsa);
  OleInitialize(nullptr);
  // The HTML label draws its pictures through GDI+; the forms are freed before it ends.
  InitializeGdipObjects();
  FrameworkStartup();
  ProgramMain();
  FrameworkShutdown();
  FinalizeGdipObjects();
  OleUninitialize();
  WSACleanup();
  return 0;
}
