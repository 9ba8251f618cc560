#pragma once
// The small windows a grid shows beside its cells: the panel that carries one of its scroll bars
// and the panel that shows a size grip in a corner.
//
// For now each panel keeps what the grid hands it (the bar's parameters, its bounds, its
// visibility, the grip's corner and mode) without a bar or a grip of its own.

#include "framework/ExtCtrls.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

class TCustomGridKv;

class TGridScrollBarPanelControlKv : public TCustomPanel {
  DECLARE_CLASS(TGridScrollBarPanelControlKv, TCustomPanel)
 public:
  // AOwner is the grid.
  TGridScrollBarPanelControlKv(TComponent* AOwner, TScrollBarKind AKind);

  // A maximum below the minimum is taken as the minimum.
  void SetParams(Integer APosition, Integer AMin, Integer AMax, Integer APageSize);
  void GetParams(Integer& APosition, Integer& AMin, Integer& AMax, Integer& APageSize) const;
  // Negative sizes are taken as 0.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

  TScrollBarKind GetKind() const { return FKind; }
  bool GetKeepMaxSizeInDefault() const { return FKeepMaxSizeInDefault; }
  void SetKeepMaxSizeInDefault(bool Value) { FKeepMaxSizeInDefault = Value; }

 private:
  bool FKeepMaxSizeInDefault = true;
  TScrollBarKind FKind;
  Integer FPosition = 0, FMin = 0, FMax = 0, FPageSize = 0;
};

DECLARE_ENUM(TGripActiveStatusKv, gasNeverKv, gasAutoKv, gasAlwaysKv)

class TSizeGripPanelKv : public TCustomPanel {
  DECLARE_CLASS(TSizeGripPanelKv, TCustomPanel)
 public:
  explicit TSizeGripPanelKv(TComponent* AOwner);
  // Negative sizes are taken as 0.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

  bool GetTriangleWindow() const { return FTriangleWindow; }
  void SetTriangleWindow(bool Value) { FTriangleWindow = Value; }
  TGripActiveStatusKv GetGripActiveStatus() const { return FGripActiveStatus; }
  void SetGripActiveStatus(TGripActiveStatusKv Value) { FGripActiveStatus = Value; }
  TSizeGripPosition GetPosition() const { return FPosition; }
  void SetPosition(TSizeGripPosition Value) { FPosition = Value; }

 private:
  bool FTriangleWindow = false;
  TGripActiveStatusKv FGripActiveStatus = gasAutoKv;
  TSizeGripPosition FPosition = sgpBottomRight;
};
