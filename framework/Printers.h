#pragma once
// Printers: TPrinter, the current printer (Printer()), with its list of installed printers, a
// canvas over the printer's device context and the print job (BeginDoc, NewPage, EndDoc,
// Abort). A missing printer and a job the printer refuses raise EPrinter.
//
// The device calls are virtual so that a stand-in (a test printer drawing into memory) can be
// made the current printer with SetPrinter(NewPrinter).

#include "framework/TypInfo.h"
#include "framework/WinApi.h"
#include "framework/classes/Strings.h"

#include <memory>
#include <vector>

class TCanvas;

DECLARE_ENUM(TPrinterOrientation, poPortrait, poLandscape)

class TPrinter : public TObject {
  DECLARE_CLASS(TPrinter, TObject)
 public:
  TPrinter();
  ~TPrinter() override;

  // Starts a job titled Title and its first page; the canvas then draws on the page.
  void BeginDoc();
  // Ends the page and starts the next.
  void NewPage();
  // Ends the page and the job.
  void EndDoc();
  // Drops the job; Aborted answers true until the next BeginDoc.
  void Abort();
  // Reads the list of printers again (printers added or removed since).
  void Refresh();

  // The names of the installed printers.
  TStrings* GetPrinters();
  // The current printer's index in Printers; -1 selects the system's default printer.
  Integer GetPrinterIndex();
  void SetPrinterIndex(Integer Value);
  // The current printer by its names and settings (a DEVMODE in global memory; the caller
  // frees the copy it gets with GlobalFree). SetPrinter takes a copy of ADeviceMode when given.
  void GetPrinter(String& ADevice, String& ADriver, String& APort, HGLOBAL& ADeviceMode);
  void SetPrinter(const String& ADevice, const String& ADriver, const String& APort, HGLOBAL ADeviceMode);

  TCanvas* GetCanvas();
  // The job's device context while printing, else an information context of the printer.
  HDC GetHandle();
  Integer GetPageWidth();
  Integer GetPageHeight();
  Integer GetPageNumber() const { return FPageNumber; }
  TPrinterOrientation GetOrientation();
  void SetOrientation(TPrinterOrientation Value);
  Integer GetCopies();
  void SetCopies(Integer Value);
  String GetTitle() const { return FTitle; }
  void SetTitle(const String& Value) { FTitle = Value; }
  bool GetPrinting() const { return FPrinting; }
  bool GetAborted() const { return FAborted; }

 protected:
  // The installed printers and the index of the default one (-1 when none is the default).
  virtual void LoadPrinters(TStrings* Names, Integer& DefaultIndex);
  // The settings of Device (a DEVMODEW with its driver's extra bytes), empty when unknown.
  virtual std::vector<Byte> LoadDeviceMode(const String& Device);
  // A device context (ForJob) or an information context for Device with DevMode applied.
  virtual HDC CreateDeviceContext(const String& Device, const DEVMODEW* DevMode, bool ForJob);
  virtual void DeleteDeviceContext(HDC DC);
  // The job's steps; each answers the system's result (> 0 for success).
  virtual Integer DeviceStartDoc(HDC DC, const String& Title);
  virtual Integer DeviceStartPage(HDC DC);
  virtual Integer DeviceEndPage(HDC DC);
  virtual Integer DeviceEndDoc(HDC DC);
  virtual Integer DeviceAbortDoc(HDC DC);

 private:
  void CheckPrinting(bool Value);
  void CheckPrinter();
  String DeviceName();
  void SelectDevice(Integer Index);
  void FreeInfoContext();
  void EndJob();
  DEVMODEW* DevMode();
  [[noreturn]] void Fail(const String& What, Integer OSError);

  std::unique_ptr<TStrings> FPrinters;
  bool FPrintersLoaded = false;
  Integer FDefaultIndex = -1;
  Integer FPrinterIndex = -1;  // -1 until a printer is chosen: the default one
  std::vector<Byte> FDevMode;
  bool FDevModeLoaded = false;
  std::unique_ptr<TCanvas> FCanvas;
  HDC FDC = nullptr;  // the job's device context
  HDC FIC = nullptr;  // the information context outside a job
  String FTitle;
  bool FPrinting = false;
  bool FAborted = false;
  Integer FPageNumber = 0;
};

// The current printer, made on first use.
TPrinter* Printer();
// Makes NewPrinter the current printer and answers the previous one, which the caller then
// owns (null when none was made yet). The current printer lives until the process ends, as the
// framework's own lists do.
TPrinter* SetPrinter(TPrinter* NewPrinter);
