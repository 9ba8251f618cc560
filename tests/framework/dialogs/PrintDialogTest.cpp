#include <gtest/gtest.h>

#include <dlgs.h>
#include <winspool.h>
// The framework names, not the spooler's A/W macros.
#undef GetPrinter
#undef SetPrinter

#include <memory>

#include "framework/Dialogs.h"
#include "framework/Printers.h"
#include "framework/SysUtils.h"
#include "framework/dialogs/DialogDriver.h"

using namespace dlgtest;

namespace {

const wchar_t PrinterName[] = L"Qal Test Printer";
const wchar_t DriverName[] = L"Wine PostScript Driver";

// A printer installed in the Wine prefix for the test's length, over Wine's PostScript driver
// with the printer description Wine's spooler carries, printing to a file port. The system's
// print dialog opens only where a printer is installed.
class TInstalledPrinter {
 public:
  TInstalledPrinter() {
    wchar_t Temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, Temp);
    FDescription = String(Temp) + L"qal_test_printer.ppd";
    HMODULE Spooler = LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC Res = Spooler ? FindResourceW(Spooler, MAKEINTRESOURCEW(1), L"PPDFILE") : nullptr;
    if (!Res) {
      FError = L"this spooler carries no printer description";
      return;
    }
    const void* Bytes = LockResource(LoadResource(Spooler, Res));
    DWORD Size = SizeofResource(Spooler, Res), Written = 0;
    HANDLE F = CreateFileW(FDescription.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    WriteFile(F, Bytes, Size, &Written, nullptr);
    CloseHandle(F);
    FreeLibrary(Spooler);

    DRIVER_INFO_3W Driver{};
    Driver.cVersion = 3;
    Driver.pName = const_cast<wchar_t*>(DriverName);
    Driver.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
    Driver.pDataFile = FDescription.data();
    Driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
    if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&Driver),
                             APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY)) {
      FError = L"the driver: " + SysErrorMessage(Integer(GetLastError()));
      return;
    }
    PRINTER_INFO_2W Info{};
    Info.pPrinterName = const_cast<wchar_t*>(PrinterName);
    Info.pPortName = const_cast<wchar_t*>(L"FILE:");
    Info.pDriverName = const_cast<wchar_t*>(DriverName);
    Info.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    Info.pDatatype = const_cast<wchar_t*>(L"RAW");
    FPrinter = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&Info));
    // Left behind by a run that ended early.
    if (!FPrinter && GetLastError() == ERROR_PRINTER_ALREADY_EXISTS)
      OpenPrinterW(const_cast<wchar_t*>(PrinterName), &FPrinter, nullptr);
    if (!FPrinter) FError = L"the printer: " + SysErrorMessage(Integer(GetLastError()));
  }
  ~TInstalledPrinter() {
    if (FPrinter) {
      PRINTER_DEFAULTSW Rights{nullptr, nullptr, PRINTER_ALL_ACCESS};
      HANDLE Admin = nullptr;
      if (OpenPrinterW(const_cast<wchar_t*>(PrinterName), &Admin, &Rights)) {
        DeletePrinter(Admin);
        ClosePrinter(Admin);
      }
      ClosePrinter(FPrinter);
    }
    // Other tests find the machine without a default printer again.
    WriteProfileStringW(L"windows", L"device", nullptr);
    DeleteFileW(FDescription.c_str());
  }
  bool Ready() const { return FPrinter != nullptr; }
  String Error() const { return FError; }

 private:
  String FDescription, FError;
  HANDLE FPrinter = nullptr;
};

// The system's printers as the current printer, read after the test printer was installed.
struct TSystemPrinter {
  TPrinter* Previous = SetPrinter(new TPrinter());
  ~TSystemPrinter() { delete SetPrinter(Previous); }
};

String SelectedPrinterName() {
  TPrinter* P = Printer();
  return P->GetPrinterIndex() >= 0 ? (*P->GetPrinters())[P->GetPrinterIndex()] : String();
}

void SetItemText(HWND Dlg, int Id, const wchar_t* Text) { SetWindowTextW(GetDlgItem(Dlg, Id), Text); }

TEST(PrintDialog, DrivenByPostedInputItAnswersTheRangeAndCopiesAndSelectsThePrinter) {
  TInstalledPrinter Installed;
  ASSERT_TRUE(Installed.Ready()) << Installed.Error();
  TSystemPrinter System;
  ASSERT_GE(Printer()->GetPrinters()->IndexOf(PrinterName), 0);
  Printer()->SetPrinterIndex(Printer()->GetPrinters()->IndexOf(PrinterName));

  std::unique_ptr<TPrintDialog> D(new TPrintDialog(nullptr));
  D->SetOptions({poPageNums});
  D->SetMinPage(1);
  D->SetMaxPage(9);
  D->SetFromPage(1);
  D->SetToPage(9);
  String Offered;
  TDialogDriver Driver({[&Offered] {
                          HWND Dlg = FindSystemDialog();
                          if (!Dlg) return false;
                          Offered = WindowText(GetDlgItem(Dlg, cmb4));
                          // Pages 2 to 5, three copies.
                          SendMessageW(GetDlgItem(Dlg, rad3), BM_CLICK, 0, 0);
                          SetItemText(Dlg, edt1, L"2");
                          SetItemText(Dlg, edt2, L"5");
                          SetItemText(Dlg, edt3, L"3");
                          PostKey(GetDlgItem(Dlg, edt3), VK_RETURN);
                          return true;
                        }});
  ASSERT_TRUE(D->Execute());
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(Offered, PrinterName);
  EXPECT_EQ(D->GetPrintRange(), prPageNums);
  EXPECT_EQ(D->GetFromPage(), 2);
  EXPECT_EQ(D->GetToPage(), 5);
  EXPECT_EQ(D->GetCopies(), 3);
  EXPECT_EQ(SelectedPrinterName(), PrinterName);
}

TEST(PrintDialog, CancelledAnswersFalseAndKeepsItsValues) {
  TInstalledPrinter Installed;
  ASSERT_TRUE(Installed.Ready()) << Installed.Error();
  TSystemPrinter System;
  std::unique_ptr<TPrintDialog> D(new TPrintDialog(nullptr));
  D->SetOptions({poPageNums});
  D->SetMaxPage(9);
  D->SetToPage(4);
  D->SetCopies(2);
  TDialogDriver Driver({[] {
    HWND Dlg = FindSystemDialog();
    if (!Dlg) return false;
    SetItemText(Dlg, edt3, L"7");
    PostKey(GetDlgItem(Dlg, edt3), VK_ESCAPE);
    return true;
  }});
  EXPECT_FALSE(D->Execute());
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(D->GetCopies(), 2);
  EXPECT_EQ(D->GetToPage(), 4);
}

}  // namespace
