#include <gtest/gtest.h>

#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

namespace {

// A control over a system window class and nothing else, as a standard-controls layer makes them.
class TSystemWindow : public TWinControl {
 public:
  TSystemWindow(TComponent* AOwner, const wchar_t* ClassName, DWORD Style)
      : TWinControl(AOwner), FClassName(ClassName), FStyle(Style) {}

 protected:
  void CreateParams(TCreateParams& Params) override {
    TWinControl::CreateParams(Params);
    CreateSubClass(Params, FClassName);
    Params.Style |= FStyle;
    // One window class per system class: the class name alone would be the same for all.
    String Name = String(L"TColorProbe") + FClassName;
    wcsncpy(Params.WinClassName, Name.c_str(), 63);
  }

 private:
  const wchar_t* FClassName;
  DWORD FStyle;
};

struct TMemoryDC {
  HDC DC = CreateCompatibleDC(nullptr);
  ~TMemoryDC() { DeleteDC(DC); }
};

TEST(ControlColors, SystemWindowsTakeTheControlsFontColorAndBrush) {
  struct Case {
    const wchar_t* ClassName;
    DWORD Style;
    UINT Msg;
  };
  const Case Cases[] = {
      {L"EDIT", ES_AUTOHSCROLL, WM_CTLCOLOREDIT},
      {L"EDIT", ES_READONLY, WM_CTLCOLORSTATIC},
      {L"BUTTON", BS_PUSHBUTTON, WM_CTLCOLORBTN},
      {L"BUTTON", BS_AUTOCHECKBOX, WM_CTLCOLORSTATIC},
      {L"STATIC", SS_LEFT, WM_CTLCOLORSTATIC},
      {L"LISTBOX", LBS_NOTIFY, WM_CTLCOLORLISTBOX},
      {L"SCROLLBAR", SBS_HORZ, WM_CTLCOLORSCROLLBAR},
  };
  TFormHolder F;
  for (const Case& C : Cases) {
    auto* W = new TSystemWindow(F.Form, C.ClassName, C.Style);
    W->SetParent(F.Form);
    W->SetColor(clYellow);
    W->GetFont()->SetColor(clRed);
    TMemoryDC M;
    LRESULT R = SendMessageW(F->GetHandle(), C.Msg, WPARAM(M.DC), LPARAM(W->GetHandle()));
    EXPECT_EQ(R, LRESULT(W->GetBrush()->GetHandle())) << C.ClassName << " " << C.Msg;
    EXPECT_EQ(GetTextColor(M.DC), ColorToRGB(clRed)) << C.ClassName;
    EXPECT_EQ(GetBkColor(M.DC), ColorToRGB(clYellow)) << C.ClassName;
    LOGBRUSH LB{};
    ::GetObjectW(reinterpret_cast<HBRUSH>(R), sizeof(LB), &LB);
    EXPECT_EQ(LB.lbColor, ColorToRGB(clYellow)) << C.ClassName;
    delete W;
  }
}

TEST(ControlColors, AComboBoxsOwnEditAsksTheComboBox) {
  TFormHolder F;
  auto* Combo = new TSystemWindow(F.Form, L"COMBOBOX", CBS_DROPDOWN);
  Combo->SetParent(F.Form);
  Combo->SetBounds(10, 10, 150, 120);
  Combo->SetColor(clAqua);
  Combo->GetFont()->SetColor(clNavy);
  HWND Inner = GetWindow(Combo->GetHandle(), GW_CHILD);
  ASSERT_NE(Inner, nullptr);
  TMemoryDC M;
  LRESULT R = SendMessageW(Combo->GetHandle(), WM_CTLCOLOREDIT, WPARAM(M.DC), LPARAM(Inner));
  EXPECT_EQ(R, LRESULT(Combo->GetBrush()->GetHandle()));
  EXPECT_EQ(GetTextColor(M.DC), ColorToRGB(clNavy));
  EXPECT_EQ(GetBkColor(M.DC), ColorToRGB(clAqua));
}

TEST(ControlColors, AColourChangeReachesTheNextAnswer) {
  TFormHolder F;
  auto* Edit = new TSystemWindow(F.Form, L"EDIT", 0);
  Edit->SetParent(F.Form);
  Edit->SetColor(clYellow);
  TMemoryDC M;
  SendMessageW(F->GetHandle(), WM_CTLCOLOREDIT, WPARAM(M.DC), LPARAM(Edit->GetHandle()));
  Edit->SetColor(clLime);
  Edit->GetFont()->SetColor(clMaroon);
  LRESULT R = SendMessageW(F->GetHandle(), WM_CTLCOLOREDIT, WPARAM(M.DC), LPARAM(Edit->GetHandle()));
  LOGBRUSH LB{};
  ::GetObjectW(reinterpret_cast<HBRUSH>(R), sizeof(LB), &LB);
  EXPECT_EQ(LB.lbColor, ColorToRGB(clLime));
  EXPECT_EQ(GetTextColor(M.DC), ColorToRGB(clMaroon));
}

}  // namespace
