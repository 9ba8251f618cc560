#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "framework/Classes.h"
#include "framework/ComCtrls.h"
#include "framework/Printers.h"
#include "framework/SysUtils.h"
#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

namespace {

constexpr Integer PageW = 400, PageH = 300;

// A printer whose pages are bitmaps in memory and which records the job's steps.
class TPagePrinter : public TPrinter {
  DECLARE_CLASS(TPagePrinter, TPrinter)
 public:
  std::vector<String> Log;
  bool RefuseJob = false;
  Integer OpenContexts = 0;

 protected:
  void LoadPrinters(TStrings* List, Integer& DefaultIndex) override {
    List->Add(L"Sayfa Yazıcısı");
    DefaultIndex = 0;
  }
  std::vector<Byte> LoadDeviceMode(const String&) override { return {}; }
  HDC CreateDeviceContext(const String&, const DEVMODEW*, bool) override {
    HDC DC = CreateCompatibleDC(nullptr);
    BITMAPINFO Info{};
    Info.bmiHeader = {sizeof(BITMAPINFOHEADER), PageW, -PageH, 1, 32, BI_RGB};
    void* Bits = nullptr;
    SelectObject(DC, CreateDIBSection(DC, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
    ClearPage(DC);
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
  static void ClearPage(HDC DC) {
    RECT R{0, 0, PageW, PageH};
    FillRect(DC, &R, HBRUSH(GetStockObject(WHITE_BRUSH)));
  }
};

struct TCurrentPagePrinter {
  TPagePrinter* P = new TPagePrinter();
  TPrinter* Previous = SetPrinter(P);
  ~TCurrentPagePrinter() {
    SetPrinter(Previous);
    delete P;
  }
  TPagePrinter* operator->() const { return P; }
};

struct TLogView {
  TFormHolder F;
  TRichEdit* Memo = new TRichEdit(F.Form);
  explicit TLogView(Integer Lines) {
    Memo->SetParent(F.Form);
    Memo->SetBounds(0, 0, 300, 200);
    for (Integer I = 0; I < Lines; ++I) {
      Memo->GetSelAttributes()->SetColor(I % 2 ? clRed : clNavy);
      Memo->GetLines()->Add(L"- [12:00:" + IntToStr(I) + L"] Kurulum adımı tamamlandı " + IntToStr(I));
    }
  }
};

TEST(RichEditPrint, AFewLinesMakeOnePageOfTheJobOnTheCurrentPrinter) {
  TCurrentPagePrinter T;
  TLogView View(4);
  View.Memo->Print(L"Kurulum günlüğü");
  EXPECT_EQ(T->Log, (std::vector<String>{L"StartDoc Kurulum günlüğü", L"StartPage", L"EndPage", L"EndDoc"}));
  EXPECT_EQ(T->OpenContexts, 0);
  EXPECT_FALSE(Printer()->GetPrinting());
}

TEST(RichEditPrint, ARefusedJobRaisesAndTheViewPrintsLater) {
  TCurrentPagePrinter T;
  TLogView View(3);
  T->RefuseJob = true;
  EXPECT_THROW(View.Memo->Print(L"Günlük"), EPrinter);
  EXPECT_EQ(T->OpenContexts, 0);
  EXPECT_FALSE(Printer()->GetPrinting());
  EXPECT_EQ(View.Memo->GetLines()->GetCount(), 3);
  T->RefuseJob = false;
  T->Log.clear();
  View.Memo->Print(L"Günlük");
  EXPECT_EQ(T->Log.back(), L"EndDoc");
}

}  // namespace
