#include "kvlib/grids/GridToolCtrlsKv.h"

#include <algorithm>

TGridScrollBarPanelControlKv::TGridScrollBarPanelControlKv(TComponent* AOwner, TScrollBarKind AKind)
    : TCustomPanel(AOwner), FKind(AKind) {
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
  SetShowCaption(false);
}

void TGridScrollBarPanelControlKv::SetParams(Integer APosition, Integer AMin, Integer AMax, Integer APageSize) {
  FPosition = APosition;
  FMin = AMin;
  FMax = std::max(AMax, AMin);
  FPageSize = APageSize;
}

void TGridScrollBarPanelControlKv::GetParams(Integer& APosition, Integer& AMin, Integer& AMax,
                                             Integer& APageSize) const {
  APosition = FPosition;
  AMin = FMin;
  AMax = FMax;
  APageSize = FPageSize;
}

void TGridScrollBarPanelControlKv::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TCustomPanel::SetBounds(ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0));
}

TSizeGripPanelKv::TSizeGripPanelKv(TComponent* AOwner) : TCustomPanel(AOwner) {
  SetBevelOuter(bvNone);
  SetBevelInner(bvNone);
  SetShowCaption(false);
}

void TSizeGripPanelKv::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TCustomPanel::SetBounds(ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0));
}
