#pragma once
// The grid the grid tests drive: the base grid with its protected operations in reach, a count of
// the layouts and rebuilds it ran, and its settings published so that it streams.

#include <gtest/gtest.h>

#include <functional>

#include "framework/Forms.h"
#include "framework/controls/ControlsTestUtil.h"
#include "kvlib/grids/GridToolCtrlsKv.h"
#include "kvlib/grids/GridsKv.h"

namespace gridtest {

class TTestGridKv : public TCustomGridKv {
  DECLARE_CLASS(TTestGridKv, TCustomGridKv)
 public:
  explicit TTestGridKv(TComponent* AOwner) : TCustomGridKv(AOwner) {}
  using TCustomGridKv::CalcMaxScrollPositions;
  using TCustomGridKv::CalcSizingState;
  using TCustomGridKv::CreateParams;
  using TCustomGridKv::DeleteColumn;
  using TCustomGridKv::DeleteRow;
  using TCustomGridKv::GetHitTestCursor;
  using TCustomGridKv::GetHorzScrollBarParams;
  using TCustomGridKv::GetVertScrollBarParams;
  using TCustomGridKv::IsThemedSelectionCell;
  using TCustomGridKv::SetAnchorCell;

  void SetOutBoundaryData(TGridOutBoundaryDataKv* Value) { GetOutBoundaryData()->Assign(Value); }
  void SetBackgroundData(TGridBackgroundDataKv* Value) { GetBackgroundData()->Assign(Value); }
  void SetScaleFactorForTest(Single Value) { FScaleFactor = Value; }

  Integer PositionRebuilds = 0;
  Integer DrawStyleNotices = 0;

  PUBLISHED_DECL(TTestGridKv);

 protected:
  void RolPositionsUpdated() override {
    ++PositionRebuilds;
    TCustomGridKv::RolPositionsUpdated();
  }
  void DrawStyleChanged() override {
    ++DrawStyleNotices;
    TCustomGridKv::DrawStyleChanged();
  }
};

// A grid of W x H pixels without a border on a form of its own, its window made.
struct TGridOnForm {
  ctltest::TFormHolder Form{700, 500};
  TTestGridKv* Grid;
  explicit TGridOnForm(Integer W = 300, Integer H = 120) : Grid(new TTestGridKv(Form.Form)) {
    Grid->SetBorderStyle(bsNone);
    Grid->SetBounds(0, 0, W, H);
    Grid->SetParent(Form.Form);
    Grid->HandleNeeded();
  }
  TTestGridKv* operator->() const { return Grid; }
};

inline String CaughtMessage(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const Exception& E) {
    return E.Message();
  }
  return String();
}

}  // namespace gridtest
