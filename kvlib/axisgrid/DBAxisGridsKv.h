#pragma once
// DBAxisGridsKv: the data-aware axis grid and its column model. The grid and its data link
// (dbaxisgrids/AxisGrid), the bar and the parts it owns (dbaxisgrids/AxisBar, AxisBarParts,
// AxisCellParams) and the bars collection (dbaxisgrids/AxisBars).

#include "kvlib/axisgrid/dbaxisgrids/AxisBar.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisBarParts.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisBars.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisCellParams.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisGrid.h"
#include "kvlib/axisgrid/dbaxisgrids/DBLookupUtilsKv.h"
