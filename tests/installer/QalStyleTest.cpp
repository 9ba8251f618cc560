// The wizard under its visual style: the program carries "Material Black Pearl", selects it before
// its main form is made, and the form then shows dark surfaces with light Turkish captions.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "framework/Themes.h"
#include "framework/graphics/Bitmap.h"
#include "installer/QalMain.h"

namespace {

const wchar_t StyleName[] = L"Material Black Pearl";

std::string StyleResource(HMODULE Module) {
  HRSRC Info = FindResourceW(Module, L"MATERIALBLACKPEARL", TStyleManager::StyleResourceType);
  HGLOBAL Data = Info ? LoadResource(Module, Info) : nullptr;
  const char* Bytes = Data ? static_cast<const char*>(LockResource(Data)) : nullptr;
  return Bytes ? std::string(Bytes, SizeofResource(Module, Info)) : std::string();
}

// The style this executable paints with is the one linked into Qal.exe.
TEST(QalStyle, TheProgramCarriesTheStyleTheseTestsPaintWith) {
  HMODULE Qal = LoadLibraryExW(L"Z:" QAL_EXE_UNIX_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(Qal, nullptr) << "cannot open " << String(L"Z:" QAL_EXE_UNIX_PATH);
  std::string InProgram = StyleResource(Qal);
  FreeLibrary(Qal);
  EXPECT_NE(InProgram.find("Name = Material Black Pearl"), std::string::npos);
  EXPECT_EQ(InProgram, StyleResource(GetModuleHandleW(nullptr)));
}

Integer Luminance(TColorRef C) {
  return (Integer(GetRValue(C)) * 299 + Integer(GetGValue(C)) * 587 + Integer(GetBValue(C)) * 114) / 1000;
}

void Pump() { Application->ProcessMessages(); }

void PumpFor(DWORD Ms) {
  DWORD End = GetTickCount() + Ms;
  while (GetTickCount() < End) {
    Pump();
    Sleep(10);
  }
}

// The pixels of a window as the screen shows them, in window coordinates.
class TScreenShot {
 public:
  explicit TScreenShot(HWND Wnd) {
    GetWindowRect(Wnd, &FWindow);
    FShot = std::make_unique<TBitmap>(FWindow.right - FWindow.left, FWindow.bottom - FWindow.top);
    HDC Screen = GetDC(nullptr);
    BitBlt(FShot->GetCanvas()->GetHandle(), 0, 0, FShot->GetWidth(), FShot->GetHeight(), Screen, FWindow.left,
           FWindow.top, SRCCOPY);
    ReleaseDC(nullptr, Screen);
  }
  // A rectangle of a control's client area, in window coordinates.
  TRect OfClient(TWinControl* C, const TRect& R) const {
    POINT P{R.Left, R.Top};
    ClientToScreen(C->GetHandle(), &P);
    return TRect(P.x - FWindow.left, P.y - FWindow.top, P.x - FWindow.left + R.Width(), P.y - FWindow.top + R.Height());
  }
  TRect OfScreen(const RECT& R) const {
    return TRect(R.left - FWindow.left, R.top - FWindow.top, R.right - FWindow.left, R.bottom - FWindow.top);
  }
  TColorRef At(Integer X, Integer Y) const { return ColorToRGB(FShot->GetCanvas()->GetPixel(X, Y)); }
  Integer LuminanceAt(Integer X, Integer Y) const { return Luminance(At(X, Y)); }
  Integer Brightest(const TRect& R) const { return Extreme(R, true); }
  Integer Darkest(const TRect& R) const { return Extreme(R, false); }
  void Save(const String& FileName) const { FShot->SaveToFile(FileName); }

 private:
  Integer Extreme(const TRect& R, bool Max) const {
    Integer Result = Max ? -1 : 256;
    for (Integer Y = R.Top; Y < R.Bottom; ++Y)
      for (Integer X = R.Left; X < R.Right; ++X) {
        Integer L = Luminance(At(X, Y));
        Result = Max ? std::max(Result, L) : std::min(Result, L);
      }
    return Result;
  }
  RECT FWindow{};
  std::unique_ptr<TBitmap> FShot;
};

TDateTime FixedNow() { return Double(EncodeDate(2031, 2, 3)) + Double(EncodeTime(13, 14, 15, 0)); }
TWindowsVersion Windows7SP1() { return {6, 1, 1, 0}; }
bool Connected() { return true; }

// Starts as the program does: the style first, then the title and the main form; the clock, the
// Windows version and the connection are the test's, and no lookup leaves the machine.
TEST(QalStyle, OnScreenTheMainFormIsDarkWithLightTurkishCaptions) {
  QalClock = FixedNow;
  QalWindowsVersion = Windows7SP1;
  QalInternetConnected = Connected;
  QalLocalIPHost = L"127.0.0.1";
  std::vector<String> Errors;
  TStyleManager::SetErrorDisplay([&](const String& Message) { Errors.push_back(Message); });
  ASSERT_TRUE(TStyleManager::TrySetStyle(StyleName)) << (Errors.empty() ? String() : Errors[0]);
  TStyleManager::SetErrorDisplay(nullptr);
  EXPECT_TRUE(TStyleManager::IsCustomStyleActive());
  EXPECT_EQ(StyleServices()->Name(), StyleName);
  Application->SetTitle(QalTitle);
  RegisterQalClasses();
  std::unique_ptr<TfrmQalMain> Form(TComponent::Create<TfrmQalMain>(nullptr));
  Form->Show();
  HWND Wnd = Form->GetHandle();
  SetWindowPos(Wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  PumpFor(300);
  RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  PumpFor(300);
  TScreenShot Shot(Wnd);

  // Samples: the surface of each (dark), and where its Turkish caption stands (light there).
  struct Sample {
    const char* What;
    TRect Surface;
    TRect Caption;
  };
  auto Client = [&](TWinControl* C, Integer L, Integer T, Integer R, Integer B) {
    return Shot.OfClient(C, TRect(L, T, R, B));
  };
  auto Within = [&](TWinControl* C) { return Client(C, 0, 0, C->GetWidth(), C->GetHeight()); };
  TRadioGroup* Terminal = Form->rgTerminalTipi;
  const Sample Samples[] = {
      // Between the controls, left of the buttons and under the log.
      {"form", Client(Form.get(), 200, 448, 600, 458), TRect()},
      {"group 'Bileşenler'", Client(Form->GroupBox2, 530, 44, 800, 64), Client(Form->GroupBox2, 0, 0, 120, 14)},
      {"group 'Kurulum Tipi'", Client(Form->rgKurulumTipi, 200, 20, 390, 60), Client(Form->rgKurulumTipi, 0, 0, 120, 14)},
      {"check box 'İp Sabitlensin'", Client(Form->chStatikIp, 200, 0, 240, 17), Within(Form->chStatikIp)},
      {"radio button 'İstemci'", Client(Terminal->GetButtons(1), Terminal->GetButtons(1)->GetWidth() - 30, 0,
                                        Terminal->GetButtons(1)->GetWidth(), 8),
       Within(Terminal->GetButtons(1))},
      {"button 'Kapat'", Client(Form->cmdVazgec, 6, 4, 20, 10), Within(Form->cmdVazgec)},
      {"status bar 'Sürüm 7.8'", Client(Form->StatusBar1, 310, 3, 330, 8), Within(Form->StatusBar1)},
  };
  for (const Sample& S : Samples) {
    EXPECT_LT(Shot.Brightest(S.Surface), 80) << S.What << ": surface";
    if (S.Caption.Width() > 0) {
      EXPECT_GT(Shot.Brightest(S.Caption), 180) << S.What << ": caption";
    }
  }
  // The menu bar: its entry "İşlemler" and the rest of the bar beside it.
  MENUBARINFO Bar{};
  Bar.cbSize = sizeof(Bar);
  ASSERT_TRUE(GetMenuBarInfo(Wnd, OBJID_MENU, 0, &Bar));
  RECT Entry;
  ASSERT_TRUE(GetMenuItemRect(Wnd, GetMenu(Wnd), 0, &Entry));
  TRect EntryRect = Shot.OfScreen(Entry), BarRect = Shot.OfScreen(Bar.rcBar);
  EXPECT_LT(Shot.Brightest(TRect(EntryRect.Right + 4, BarRect.Top, BarRect.Right - 4, BarRect.Bottom)), 80)
      << "menu bar";
  EXPECT_LT(Shot.LuminanceAt(EntryRect.Left + 2, EntryRect.Top + 2), 80) << "menu bar: 'İşlemler'";
  EXPECT_GT(Shot.Brightest(EntryRect), 180) << "menu bar: 'İşlemler'";
  if (HasFailure()) Shot.Save(L"QalStyleOnScreen.bmp");  // to look at what went wrong

  // Without a window manager the screen shows no title bar: the frame as the form paints it.
  RECT W;
  GetWindowRect(Wnd, &W);
  TBitmap Frame(W.right - W.left, W.bottom - W.top);
  Frame.GetCanvas()->GetBrush()->SetColor(clGray);  // neither dark nor light
  Frame.GetCanvas()->FillRect(TRect(0, 0, Frame.GetWidth(), Frame.GetHeight()));
  Form->Perform(WM_PRINT, WPARAM(Frame.GetCanvas()->GetHandle()), PRF_NONCLIENT);
  Integer CaptionBottom = Shot.OfScreen(Bar.rcBar).Top;
  ASSERT_GT(CaptionBottom, 8);
  Integer Dark = 255, Light = 0;
  for (Integer Y = 2; Y < CaptionBottom - 2; ++Y)
    for (Integer X = 4; X < 300; ++X) {
      Integer L = Luminance(ColorToRGB(Frame.GetCanvas()->GetPixel(X, Y)));
      Dark = std::min(Dark, L);
      Light = std::max(Light, L);
    }
  EXPECT_LT(Dark, 60) << "title bar";
  EXPECT_GT(Light, 180) << "title bar: 'Zelkor SQL (Kurulum Sihirbazı)'";

  Form->Hide();
  Pump();
  Form.reset();
  Pump();
  TStyleManager::SetStyle(TStyleManager::SystemStyleName);
}

}  // namespace
