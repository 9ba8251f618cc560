#include "framework/Printers.h"

#include "framework/Graphics.h"
#include "framework/SysUtils.h"

#include <winspool.h>
// The framework names, not the spooler's A/W macros.
#undef GetPrinter
#undef SetPrinter

namespace {

// The printer's canvas: its device context is the printer's (the job's while printing), and
// its font keeps its point size at the printer's resolution.
class TPrinterCanvas : public TCanvas {
  DECLARE_CLASS(TPrinterCanvas, TCanvas)
 public:
  explicit TPrinterCanvas(TPrinter* APrinter) : FPrinter(APrinter) {}
  void UpdateFont() {
    if (!FHandle) return;
    Integer Dpi = GetDeviceCaps(FHandle, LOGPIXELSY);
    TFont* F = GetFont();
    if (Dpi <= 0 || F->GetPixelsPerInch() == Dpi) return;
    Integer Size = F->GetSize();
    F->SetPixelsPerInch(Dpi);
    F->SetSize(Size);
  }

 protected:
  void CreateHandle() override {
    SetHandle(FPrinter->GetHandle());
    UpdateFont();
  }

 private:
  TPrinter* FPrinter;
};

TPrinter*& CurrentPrinter() {
  static TPrinter* P = nullptr;
  return P;
}

}  // namespace

TPrinter::TPrinter() : FPrinters(std::make_unique<TStringList>()), FCanvas(std::make_unique<TPrinterCanvas>(this)) {}

TPrinter::~TPrinter() {
  if (FPrinting) {
    try {
      Abort();
    } catch (...) {
    }
  }
  FCanvas->SetHandle(nullptr);
  FreeInfoContext();
}

[[noreturn]] void TPrinter::Fail(const String& What, Integer OSError) {
  String Msg = What;
  if (OSError) Msg += L": " + SysErrorMessage(Cardinal(OSError));
  throw EPrinter(Msg);
}

// ---- Printers and the current one ---------------------------------------------------------------

void TPrinter::LoadPrinters(TStrings* Names, Integer& DefaultIndex) {
  DWORD Needed = 0, Returned = 0;
  const DWORD Flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  EnumPrintersW(Flags, nullptr, 4, nullptr, 0, &Needed, &Returned);
  std::vector<Byte> Buffer(Needed);
  if (Needed && EnumPrintersW(Flags, nullptr, 4, Buffer.data(), Needed, &Needed, &Returned)) {
    auto* Info = reinterpret_cast<PRINTER_INFO_4W*>(Buffer.data());
    for (DWORD I = 0; I < Returned; ++I)
      if (Info[I].pPrinterName) Names->Add(Info[I].pPrinterName);
  }
  DWORD Size = 0;
  GetDefaultPrinterW(nullptr, &Size);
  String Default(Size, L'\0');
  if (Size && GetDefaultPrinterW(Default.data(), &Size)) {
    Default.resize(wcslen(Default.c_str()));
    DefaultIndex = Names->IndexOf(Default);
  }
}

std::vector<Byte> TPrinter::LoadDeviceMode(const String& Device) {
  std::vector<Byte> Result;
  HANDLE H = nullptr;
  if (!OpenPrinterW(const_cast<wchar_t*>(Device.c_str()), &H, nullptr)) return Result;
  LONG Size = DocumentPropertiesW(nullptr, H, const_cast<wchar_t*>(Device.c_str()), nullptr, nullptr, 0);
  if (Size >= LONG(sizeof(DEVMODEW))) {
    Result.resize(size_t(Size));
    if (DocumentPropertiesW(nullptr, H, const_cast<wchar_t*>(Device.c_str()),
                            reinterpret_cast<DEVMODEW*>(Result.data()), nullptr, DM_OUT_BUFFER) < 0)
      Result.clear();
  }
  ClosePrinter(H);
  return Result;
}

HDC TPrinter::CreateDeviceContext(const String& Device, const DEVMODEW* Mode, bool ForJob) {
  return ForJob ? CreateDCW(L"WINSPOOL", Device.c_str(), nullptr, Mode)
                : CreateICW(L"WINSPOOL", Device.c_str(), nullptr, Mode);
}

void TPrinter::DeleteDeviceContext(HDC DC) { DeleteDC(DC); }

Integer TPrinter::DeviceStartDoc(HDC DC, const String& Title) {
  DOCINFOW Info{};
  Info.cbSize = sizeof(Info);
  Info.lpszDocName = Title.c_str();
  return StartDocW(DC, &Info);
}

Integer TPrinter::DeviceStartPage(HDC DC) { return ::StartPage(DC); }
Integer TPrinter::DeviceEndPage(HDC DC) { return ::EndPage(DC); }
Integer TPrinter::DeviceEndDoc(HDC DC) { return ::EndDoc(DC); }
Integer TPrinter::DeviceAbortDoc(HDC DC) { return ::AbortDoc(DC); }

TStrings* TPrinter::GetPrinters() {
  if (!FPrintersLoaded) {
    FPrinters->Clear();
    FDefaultIndex = -1;
    LoadPrinters(FPrinters.get(), FDefaultIndex);
    FPrintersLoaded = true;
  }
  return FPrinters.get();
}

void TPrinter::Refresh() {
  CheckPrinting(false);
  String Current = FPrinterIndex >= 0 && FPrinterIndex < FPrinters->GetCount() ? (*FPrinters)[FPrinterIndex] : String();
  FPrintersLoaded = false;
  GetPrinters();
  Integer Index = Current.empty() ? -1 : FPrinters->IndexOf(Current);
  if (Index != FPrinterIndex) SelectDevice(Index);
}

Integer TPrinter::GetPrinterIndex() {
  GetPrinters();
  if (FPrinterIndex >= 0) return FPrinterIndex;
  if (FDefaultIndex >= 0) return FDefaultIndex;
  return FPrinters->GetCount() > 0 ? 0 : -1;
}

void TPrinter::SetPrinterIndex(Integer Value) {
  CheckPrinting(false);
  GetPrinters();
  if (Value < -1 || Value >= FPrinters->GetCount())
    throw EPrinter(Format(L"There is no printer with index %d", {Value}));
  SelectDevice(Value);
}

void TPrinter::SelectDevice(Integer Index) {
  FreeInfoContext();
  FPrinterIndex = Index;
  FDevMode.clear();
  FDevModeLoaded = false;
}

void TPrinter::CheckPrinter() {
  if (GetPrinterIndex() < 0) throw EPrinter(L"No printer is installed");
}

String TPrinter::DeviceName() {
  CheckPrinter();
  return (*FPrinters)[GetPrinterIndex()];
}

DEVMODEW* TPrinter::DevMode() {
  if (!FDevModeLoaded) {
    FDevMode = LoadDeviceMode(DeviceName());
    if (FDevMode.size() < sizeof(DEVMODEW)) {
      // The driver told nothing: a plain description that still carries orientation and copies.
      FDevMode.assign(sizeof(DEVMODEW), 0);
      auto* M = reinterpret_cast<DEVMODEW*>(FDevMode.data());
      M->dmSpecVersion = DM_SPECVERSION;
      M->dmSize = sizeof(DEVMODEW);
      M->dmFields = DM_ORIENTATION | DM_COPIES;
      M->dmOrientation = DMORIENT_PORTRAIT;
      M->dmCopies = 1;
    }
    FDevModeLoaded = true;
  }
  return reinterpret_cast<DEVMODEW*>(FDevMode.data());
}

void TPrinter::GetPrinter(String& ADevice, String& ADriver, String& APort, HGLOBAL& ADeviceMode) {
  ADevice = DeviceName();
  ADriver = L"winspool";
  APort.clear();
  DEVMODEW* M = DevMode();
  size_t Size = M->dmSize + M->dmDriverExtra;
  if (Size > FDevMode.size()) Size = FDevMode.size();
  ADeviceMode = GlobalAlloc(GMEM_MOVEABLE, Size);
  if (!ADeviceMode) throw EOutOfMemory(L"Out of memory");
  std::memcpy(GlobalLock(ADeviceMode), M, Size);
  GlobalUnlock(ADeviceMode);
}

void TPrinter::SetPrinter(const String& ADevice, const String& ADriver, const String& APort, HGLOBAL ADeviceMode) {
  (void)ADriver, (void)APort;
  CheckPrinting(false);
  GetPrinters();
  Integer Index = FPrinters->IndexOf(ADevice);
  if (Index < 0) {
    // A printer added since the list was read.
    FPrintersLoaded = false;
    GetPrinters();
    Index = FPrinters->IndexOf(ADevice);
    if (Index < 0) Index = FPrinters->Add(ADevice);
  }
  SelectDevice(Index);
  if (ADeviceMode) {
    size_t Size = GlobalSize(ADeviceMode);
    if (const void* P = GlobalLock(ADeviceMode)) {
      if (Size >= sizeof(DEVMODEW)) {
        FDevMode.assign(static_cast<const Byte*>(P), static_cast<const Byte*>(P) + Size);
        FDevModeLoaded = true;
      }
      GlobalUnlock(ADeviceMode);
    }
  }
}

TPrinterOrientation TPrinter::GetOrientation() {
  return DevMode()->dmOrientation == DMORIENT_LANDSCAPE ? poLandscape : poPortrait;
}

void TPrinter::SetOrientation(TPrinterOrientation Value) {
  CheckPrinting(false);
  DEVMODEW* M = DevMode();
  M->dmOrientation = Value == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  M->dmFields |= DM_ORIENTATION;
  FreeInfoContext();
}

Integer TPrinter::GetCopies() { return DevMode()->dmCopies; }

void TPrinter::SetCopies(Integer Value) {
  CheckPrinting(false);
  if (Value < 1) throw EPrinter(Format(L"Cannot print %d copies", {Value}));
  DEVMODEW* M = DevMode();
  M->dmCopies = short(Value);
  M->dmFields |= DM_COPIES;
  FreeInfoContext();
}

// ---- Device contexts and the canvas -------------------------------------------------------------

HDC TPrinter::GetHandle() {
  if (FPrinting) return FDC;
  if (!FIC) {
    String Device = DeviceName();
    FIC = CreateDeviceContext(Device, DevMode(), false);
    if (!FIC) Fail(Format(L"Cannot open the printer \"%s\"", {Device}), Integer(GetLastError()));
  }
  return FIC;
}

void TPrinter::FreeInfoContext() {
  if (!FIC) return;
  if (FCanvas->GetHandle() == FIC) FCanvas->SetHandle(nullptr);
  DeleteDeviceContext(FIC);
  FIC = nullptr;
}

TCanvas* TPrinter::GetCanvas() { return FCanvas.get(); }

Integer TPrinter::GetPageWidth() { return GetDeviceCaps(GetHandle(), HORZRES); }
Integer TPrinter::GetPageHeight() { return GetDeviceCaps(GetHandle(), VERTRES); }

// ---- The job ------------------------------------------------------------------------------------

void TPrinter::CheckPrinting(bool Value) {
  if (FPrinting == Value) return;
  throw EPrinter(Value ? L"The printer is not printing" : L"Printing is already in progress");
}

void TPrinter::BeginDoc() {
  CheckPrinting(false);
  String Device = DeviceName();
  FreeInfoContext();
  FCanvas->SetHandle(nullptr);
  HDC DC = CreateDeviceContext(Device, DevMode(), true);
  if (!DC) Fail(Format(L"Cannot open the printer \"%s\"", {Device}), Integer(GetLastError()));
  if (DeviceStartDoc(DC, FTitle) <= 0) {
    DWORD Error = GetLastError();
    DeleteDeviceContext(DC);
    Fail(Format(L"The printer \"%s\" refused the print job", {Device}), Integer(Error));
  }
  if (DeviceStartPage(DC) <= 0) {
    DWORD Error = GetLastError();
    DeviceAbortDoc(DC);
    DeleteDeviceContext(DC);
    Fail(Format(L"The printer \"%s\" could not start a page", {Device}), Integer(Error));
  }
  FDC = DC;
  FPrinting = true;
  FAborted = false;
  FPageNumber = 1;
  FCanvas->SetHandle(nullptr);  // the next drawing takes the job's context
}

void TPrinter::NewPage() {
  CheckPrinting(true);
  FCanvas->Refresh();
  if (DeviceEndPage(FDC) <= 0 || DeviceStartPage(FDC) <= 0) {
    DWORD Error = GetLastError();
    String Device = DeviceName();
    Abort();
    Fail(Format(L"The printer \"%s\" could not start a new page", {Device}), Integer(Error));
  }
  ++FPageNumber;
  // The system resets the context's selections with each page.
  FCanvas->Refresh();
}

void TPrinter::EndDoc() {
  CheckPrinting(true);
  bool Ok = DeviceEndPage(FDC) > 0;
  DWORD Error = Ok ? 0 : GetLastError();
  if (Ok) {
    Ok = DeviceEndDoc(FDC) > 0;
    if (!Ok) Error = GetLastError();
  } else {
    DeviceAbortDoc(FDC);
  }
  String Device = (*FPrinters)[GetPrinterIndex()];
  EndJob();
  if (!Ok) {
    FAborted = true;
    Fail(Format(L"The printer \"%s\" could not finish the print job", {Device}), Integer(Error));
  }
}

void TPrinter::Abort() {
  CheckPrinting(true);
  DeviceAbortDoc(FDC);
  EndJob();
  FAborted = true;
}

void TPrinter::EndJob() {
  FCanvas->SetHandle(nullptr);
  HDC DC = FDC;
  FDC = nullptr;
  FPrinting = false;
  FPageNumber = 0;
  if (DC) DeleteDeviceContext(DC);
}

// ---- The current printer ------------------------------------------------------------------------

TPrinter* Printer() {
  TPrinter*& P = CurrentPrinter();
  if (!P) P = new TPrinter();
  return P;
}

TPrinter* SetPrinter(TPrinter* NewPrinter) {
  TPrinter*& P = CurrentPrinter();
  TPrinter* Old = P;
  P = NewPrinter;
  return Old;
}
