#pragma once
// The family's base grid: the geometry of its axes, the grid control with its options, settings
// objects, layout and hit testing, and its cell editor. The unit is large, so it lives in
// kvlib/grids/gridskv/ with one file per concern:
//   GridAxis.h     cells, ranges and the axis model (64-bit positions of the rolling cells)
//   GridParts.h    line colours, out-boundary strips, hot-track spots, background picture,
//                  scroll-bar settings, draw style and selection parameters
//   CustomGrid.h   TCustomGridKv: structure, options, virtual operations, geometry
//   InplaceEdit.h  the cell editor
//   ListBoxes.h    the list boxes built on the grid and their item objects
// PopupListboxForm.h (the popup list form and the MRU list) brings the form layer and is included
// where it is used.

#include "kvlib/grids/gridskv/GridAxis.h"
#include "kvlib/grids/gridskv/GridParts.h"
#include "kvlib/grids/gridskv/CustomGrid.h"
#include "kvlib/grids/gridskv/InplaceEdit.h"
#include "kvlib/grids/gridskv/ListBoxes.h"
