#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/Graphics.h"
#include "framework/Printers.h"

namespace {

// A printer that draws pages into memory and records the job's steps; it can refuse the job.
class TTestPrinter : public TPrinter {
  DECLARE_CLASS(TTestPrinter, TPrinter)
 public:
  std::vector<String> Names{L"Test Printer", L"İkinci Yazıcı"};
  std::vector<String> Log;
  bool RefuseJob = false;
  Integer OpenContexts = 0;
  short LastOrientation = 0;

 protected:
  void LoadPrinters(TStrings* List, Integer& DefaultIndex) override {
    for (const String& N : Names) List->Add(N);
    DefaultIndex = Names.empty() ? -1 : 0;
  }
  std::vector<Byte> LoadDeviceMode(const String&) override { return {}; }
  HDC CreateDeviceContext(const String& Device, const DEVMODEW* Mode, bool ForJob) override {
    Log.push_back((ForJob ? L"dc " : L"ic ") + Device);
    LastOrientation = Mode ? Mode->dmOrientation : 0;
    HDC DC = CreateCompatibleDC(nullptr);
    BITMAPINFO Info{};
    Info.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, 64, 1, 32, BI_RGB};
    void* Bits = nullptr;
    SelectObject(DC, CreateDIBSection(DC, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
    ++OpenContexts;
    return DC;
  }
  void DeleteDeviceContext(HDC DC) override {
    HGDIOBJ Page = GetCurrentObject(DC, OBJ_BITMAP);
    DeleteDC(DC);
    DeleteObject(Page);
    --OpenContexts;
  }
  Integer DeviceStartDoc(HDC, const String& Title) override {
    Log.push_back(L"StartDoc " + Title);
    if (RefuseJob) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    return 1;
  }
  Integer DeviceStartPage(HDC) override { return Record(L"StartPage"); }
  Integer DeviceEndPage(HDC) override { return Record(L"EndPage"); }
  Integer DeviceEndDoc(HDC) override { return Record(L"EndDoc"); }
  Integer DeviceAbortDoc(HDC) override { return Record(L"AbortDoc"); }

 private:
  Integer Record(const wchar_t* Step) {
    Log.push_back(Step);
    return 1;
  }
};

// Makes a test printer the current one for the test's length.
struct TCurrentPrinter {
  TTestPrinter* P = new TTestPrinter();
  TPrinter* Previous = SetPrinter(P);
  ~TCurrentPrinter() {
    SetPrinter(Previous);
    delete P;
  }
  TTestPrinter* operator->() const { return P; }
};

TEST(Printer, JobRunsItsStepsAndTheCanvasDrawsOnThePage) {
  TCurrentPrinter T;
  ASSERT_EQ(Printer(), T.P);
  EXPECT_EQ(Printer()->GetPrinters()->GetCount(), 2);
  EXPECT_EQ(Printer()->GetPrinterIndex(), 0);
  Printer()->SetTitle(L"Kurulum günlüğü");
  Printer()->BeginDoc();
  EXPECT_TRUE(Printer()->GetPrinting());
  EXPECT_EQ(Printer()->GetPageNumber(), 1);
  TCanvas* C = Printer()->GetCanvas();
  C->GetBrush()->SetColor(clRed);
  C->FillRect(TRect(0, 0, 10, 10));
  EXPECT_EQ(GetPixel(Printer()->GetHandle(), 5, 5), RGB(255, 0, 0));
  Printer()->NewPage();
  EXPECT_EQ(Printer()->GetPageNumber(), 2);
  C->TextOut(1, 1, L"ikinci sayfa");
  Printer()->EndDoc();
  EXPECT_FALSE(Printer()->GetPrinting());
  EXPECT_FALSE(Printer()->GetAborted());
  EXPECT_EQ(T->Log, (std::vector<String>{L"dc Test Printer", L"StartDoc Kurulum günlüğü", L"StartPage", L"EndPage",
                                         L"StartPage", L"EndPage", L"EndDoc"}));
  EXPECT_EQ(T->OpenContexts, 0);
}

TEST(Printer, AbortDropsTheJob) {
  TCurrentPrinter T;
  Printer()->BeginDoc();
  Printer()->Abort();
  EXPECT_FALSE(Printer()->GetPrinting());
  EXPECT_TRUE(Printer()->GetAborted());
  EXPECT_EQ(T->Log.back(), L"AbortDoc");
  EXPECT_EQ(T->OpenContexts, 0);
  // The next job starts afresh.
  Printer()->BeginDoc();
  EXPECT_FALSE(Printer()->GetAborted());
  Printer()->EndDoc();
}

TEST(Printer, RefusedJobRaisesAndLeavesNothingOpen) {
  TCurrentPrinter T;
  T->RefuseJob = true;
  try {
    Printer()->BeginDoc();
    FAIL() << "no exception";
  } catch (const EPrinter& E) {
    EXPECT_NE(E.Message().find(L"refused the print job"), String::npos) << E.Message();
    EXPECT_NE(E.Message().find(L"Test Printer"), String::npos) << E.Message();
  }
  EXPECT_FALSE(Printer()->GetPrinting());
  EXPECT_EQ(T->OpenContexts, 0);
}

TEST(Printer, WrongUseRaisesEPrinter) {
  TCurrentPrinter T;
  EXPECT_THROW(Printer()->EndDoc(), EPrinter);
  EXPECT_THROW(Printer()->NewPage(), EPrinter);
  EXPECT_THROW(Printer()->Abort(), EPrinter);
  EXPECT_THROW(Printer()->SetPrinterIndex(2), EPrinter);
  EXPECT_THROW(Printer()->SetPrinterIndex(-2), EPrinter);
  Printer()->BeginDoc();
  EXPECT_THROW(Printer()->BeginDoc(), EPrinter);
  EXPECT_THROW(Printer()->SetOrientation(poLandscape), EPrinter);
  EXPECT_THROW(Printer()->SetPrinterIndex(1), EPrinter);
  Printer()->EndDoc();
}

TEST(Printer, OrientationAndPrinterChoiceReachTheDevice) {
  TCurrentPrinter T;
  Printer()->SetPrinterIndex(1);
  Printer()->SetOrientation(poLandscape);
  EXPECT_EQ(Printer()->GetOrientation(), poLandscape);
  Printer()->BeginDoc();
  Printer()->EndDoc();
  EXPECT_EQ(T->Log.front(), L"dc İkinci Yazıcı");
  EXPECT_EQ(T->LastOrientation, DMORIENT_LANDSCAPE);
  // Another printer starts with its own settings.
  Printer()->SetPrinterIndex(0);
  EXPECT_EQ(Printer()->GetOrientation(), poPortrait);
}

// What the print dialog hands over: the chosen printer by name with its settings.
TEST(Printer, SetPrinterTakesTheNamedPrinterWithItsSettings) {
  TCurrentPrinter T;
  HGLOBAL Mode = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEW));
  auto* M = static_cast<DEVMODEW*>(GlobalLock(Mode));
  M->dmSize = sizeof(DEVMODEW);
  M->dmFields = DM_ORIENTATION | DM_COPIES;
  M->dmOrientation = DMORIENT_LANDSCAPE;
  M->dmCopies = 3;
  GlobalUnlock(Mode);
  Printer()->SetPrinter(L"İkinci Yazıcı", L"winspool", L"", Mode);
  GlobalFree(Mode);  // the printer keeps a copy
  EXPECT_EQ(Printer()->GetPrinterIndex(), 1);
  EXPECT_EQ(Printer()->GetOrientation(), poLandscape);
  EXPECT_EQ(Printer()->GetCopies(), 3);

  String Device, Driver, Port;
  HGLOBAL Copy = nullptr;
  Printer()->GetPrinter(Device, Driver, Port, Copy);
  ASSERT_NE(Copy, nullptr);
  EXPECT_EQ(Device, L"İkinci Yazıcı");
  EXPECT_EQ(static_cast<DEVMODEW*>(GlobalLock(Copy))->dmOrientation, DMORIENT_LANDSCAPE);
  GlobalUnlock(Copy);
  GlobalFree(Copy);
  // A printer not in the list (added since it was read) is taken as well.
  Printer()->SetPrinter(L"Yeni Yazıcı", L"winspool", L"", nullptr);
  EXPECT_EQ((*Printer()->GetPrinters())[Printer()->GetPrinterIndex()], L"Yeni Yazıcı");
}

TEST(Printer, WithoutPrintersEveryUseRaisesEPrinter) {
  TCurrentPrinter T;
  T->Names.clear();
  EXPECT_EQ(Printer()->GetPrinters()->GetCount(), 0);
  EXPECT_EQ(Printer()->GetPrinterIndex(), -1);
  EXPECT_THROW(Printer()->BeginDoc(), EPrinter);
  EXPECT_THROW(Printer()->GetPageWidth(), EPrinter);
  EXPECT_THROW(Printer()->GetCanvas()->TextOut(0, 0, L"x"), EPrinter);
  EXPECT_THROW(Printer()->SetPrinterIndex(0), EPrinter);
  std::unique_ptr<TPrintDialog> D(new TPrintDialog(nullptr));
  EXPECT_THROW(D->Execute(), EPrinter);
  EXPECT_FALSE(Printer()->GetPrinting());
  EXPECT_EQ(T->OpenContexts, 0);
}

// Under Wine there is usually no printer at all: the system's own list then fails the same way.
TEST(Printer, SystemPrinterWithNoneInstalledRaisesEPrinter) {
  std::unique_ptr<TPrinter> P(new TPrinter());
  if (P->GetPrinters()->GetCount() > 0) GTEST_SKIP() << "this prefix has a printer";
  try {
    P->BeginDoc();
    FAIL() << "no exception";
  } catch (const EPrinter& E) {
    EXPECT_EQ(E.Message(), L"No printer is installed");
  }
  EXPECT_FALSE(P->GetPrinting());
}

}  // namespace
