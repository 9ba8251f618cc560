#include "installer/Version.h"

#include <utility>

#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "installer/QalMain.h"

PUBLISHED_DEF(TfrmVersion) {
  METHOD(FormShow);
  METHOD(cmdolusturClick);
}

void WriteRetailSector(Integer Sector) {
  Integer Value = Sector == 1 ? 2 : 1;
  TRegistry Registry;
  // Without its key the values would land in the root of the user's hive.
  if (!Registry.OpenKey(L"\\Software\\Zelkor\\Retail", true))
    throw ERegistryException(L"Failed to create key \\Software\\Zelkor\\Retail");
  Registry.WriteInteger(L"PosDefault", Value);
  Registry.WriteInteger(L"PosType", Value);
  Registry.CloseKey();
}

void TfrmVersion::Loaded() {
  inherited::Loaded();
  Panel1 = RequireComponent<TPanel>(this, L"Panel1");
  rgSector = RequireComponent<TRadioGroup>(this, L"rgSector");
  cmdolustur = RequireComponent<TButton>(this, L"cmdolustur");
}

TfrmQalMain* TfrmVersion::QalMain() {
  if (auto* Main = dynamic_cast<TfrmQalMain*>(GetOwner())) return Main;
  if (auto* Main = dynamic_cast<TfrmQalMain*>(Application->GetMainForm())) return Main;
  throw Exception(L"The sector form needs the wizard's main form");
}

Integer TfrmVersion::ShowModal() {
  FError = nullptr;
  Integer Result = inherited::ShowModal();
  if (FError) std::rethrow_exception(std::exchange(FError, nullptr));
  return Result;
}

void TfrmVersion::FormShow(TObject*) { SetCaption(Application->GetTitle()); }

void TfrmVersion::cmdolusturClick(TObject*) {
  try {
    TfrmQalMain* Main = QalMain();
    String Folder = Main->txPath->GetText();
    String Desktop = GetDesktopFolder();
    CreateShortcut(Folder + L"\\Zelkor 5.0\\Dovrik96.exe", Desktop + L"\\Dovrik 9.6.lnk", L"", L"");
    CreateShortcut(Folder + L"\\Zelkor 5.0\\ZelkorPOS.exe", Desktop + L"\\ZelkorPos.lnk", L"", L"");
    WriteRetailSector(rgSector->GetItemIndex());
    Main->AddToLog(LogGreen, L"Kısayollar oluşturuldu..");
  } catch (...) {
    // A click handler's error would end in the application's error dialog; the installation
    // that showed the form must hear it instead.
    FError = std::current_exception();
  }
  Close();
}
