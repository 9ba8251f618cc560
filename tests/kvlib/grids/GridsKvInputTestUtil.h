#pragma once
// A grid that edits texts in its cells, on a shown form with the focus, driven through posted
// messages: the keys with their shift state, presses, moves and releases.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "framework/Forms.h"
#include "framework/controls/ControlsTestUtil.h"
#include "kvlib/grids/GridToolCtrlsKv.h"
#include "kvlib/grids/GridsKv.h"

namespace gridinputtest {

class TTextGridKv : public TCustomGridKv {
  DECLARE_CLASS(TTextGridKv, TCustomGridKv)
 public:
  explicit TTextGridKv(TComponent* AOwner) : TCustomGridKv(AOwner) {}
  using TCustomGridKv::CalcMoveTarget;
  using TCustomGridKv::GridTimerTick;
  using TCustomGridKv::SetGridTimer;
  using TCustomGridKv::SetAnchorCell;

  std::map<std::pair<Integer, Integer>, String> Texts;
  std::set<Integer> NoTabStopCols;
  bool ReadOnlyCells = false;
  Integer DblClicks = 0;
  Integer Clicks = 0;
  bool RaiseOnSetEditText = false;
  Integer TimerInterval() const { return Integer(FGridTimer->GetInterval()); }
  bool TimerOn() const { return FGridTimer->GetEnabled(); }
  Integer InplaceCol() const { return FInplaceCol; }

 protected:
  String GetEditText(Integer ACol, Integer ARow) override {
    auto It = Texts.find({ACol, ARow});
    return It == Texts.end() ? String() : It->second;
  }
  void SetEditText(Integer ACol, Integer ARow, const String& Value) override {
    if (RaiseOnSetEditText) throw Exception(L"refused");
    Texts[{ACol, ARow}] = Value;
  }
  // -1 makes the editor read-only.
  Integer GetEditLimit() override { return ReadOnlyCells ? -1 : 0; }
  bool IsTabStopCol(Integer ACol) override { return NoTabStopCols.count(ACol) == 0; }
  void DblClick() override {
    ++DblClicks;
    TCustomGridKv::DblClick();
  }
  void Click() override {
    ++Clicks;
    TCustomGridKv::Click();
  }
};

// The grid on a shown form, its window made and focused; W x H pixels without a border.
struct TInputGrid {
  ctltest::TFormHolder Form{700, 500};
  TTextGridKv* Grid;
  explicit TInputGrid(Integer W = 300, Integer H = 120) : Grid(new TTextGridKv(Form.Form)) {
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, W, H);
    Grid->SetParent(Form.Form);
    Form->Show();
    Grid->SetFocus();
    ctltest::Pump();
  }
  TTextGridKv* operator->() const { return Grid; }
};

// Holds Shift and Ctrl in the thread's keyboard state for one posted key.
inline void SetShiftKeys(bool Shift, bool Ctrl) {
  BYTE Keys[256] = {};
  GetKeyboardState(Keys);
  Keys[VK_SHIFT] = Shift ? 0x80 : 0;
  Keys[VK_CONTROL] = Ctrl ? 0x80 : 0;
  SetKeyboardState(Keys);
}

inline void PostKey(HWND Wnd, Word Key, bool Shift = false, bool Ctrl = false) {
  SetShiftKeys(Shift, Ctrl);
  PostMessageW(Wnd, WM_KEYDOWN, Key, 1);
  ctltest::Pump();
  PostMessageW(Wnd, WM_KEYUP, Key, LPARAM(0xC0000001));
  ctltest::Pump();
  SetShiftKeys(false, false);
}

inline void PostChar(HWND Wnd, wchar_t Ch) {
  PostMessageW(Wnd, WM_CHAR, Ch, 1);
  ctltest::Pump();
}

inline void PostMouse(HWND Wnd, UINT Msg, Integer X, Integer Y, WPARAM Keys = 0) {
  PostMessageW(Wnd, Msg, Keys, MAKELPARAM(X, Y));
  ctltest::Pump();
}

}  // namespace gridinputtest
