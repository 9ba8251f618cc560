// The unit's start and end: the scrolling style hook for every grid of the family, and the draw
// style that grids without one of their own share.

#include "kvlib/grids/GridsKv.h"

#include "framework/Themes.h"

namespace {

TGridDrawStyleKv*& GridsKvDefaultDrawStyle() {
  static TGridDrawStyleKv* Style = nullptr;
  return Style;
}

struct TGridsKvUnit {
  TGridsKvUnit() {
    TStyleManager::Engine()->RegisterStyleHook(TCustomGridKv::StaticClass(), TScrollingStyleHook::StaticClass());
    GridsKvDefaultDrawStyle() = new TGridDrawStyleKv(nullptr);
  }
  ~TGridsKvUnit() {
    // The style stops being the default first, so grids still registered stay without one.
    delete GridsKvDefaultDrawStyle();
    TStyleManager::Engine()->UnRegisterStyleHook(TCustomGridKv::StaticClass(), TScrollingStyleHook::StaticClass());
  }
} GridsKvUnit;

}  // namespace

TGridDrawStyleKv* GetDefaultGridDrawStyle() { return GridsKvDefaultDrawStyle(); }

void ForgetDefaultGridDrawStyle(TGridDrawStyleKv* Style) {
  if (GridsKvDefaultDrawStyle() == Style) GridsKvDefaultDrawStyle() = nullptr;
}
