#pragma once
// DBCtrlsKv: the family's data-aware editors. The unit is large, so it lives in
// kvlib/editors/dbctrls/ with one file per concern; this header brings all of them.
// - FieldDataLinkKv: the link through which every editor reads and writes its field, or its own
//   value while unbound.
// - EditImageKv, EmptyDataInfoKv: the picture at an edit's left edge and the placeholder text.
// - DBCheckBoxKv: the data-aware check box.
// - EditButtonsBoxKv: the strip of edit-button controls inside an edit.
// - ControlLabelKv: the label attached to an editor and its placement.
// - InplaceEditKv: the interfaces between an edit and a grid-like holder that uses it in place.
// - DBEditKv: the data-aware edit (its parts in DBEdit*Kv.cpp: data, input, painting, in-place
//   role, buttons and drop-down forms, MRU list); DBMemoKv: the data-aware memo;
//   DBComboBoxKv: the combo edit.

#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/editors/dbctrls/EditImageKv.h"
#include "kvlib/editors/dbctrls/EmptyDataInfoKv.h"
#include "kvlib/editors/dbctrls/DBCheckBoxKv.h"
#include "kvlib/editors/dbctrls/EditButtonsBoxKv.h"
#include "kvlib/editors/dbctrls/ControlLabelKv.h"
#include "kvlib/editors/dbctrls/InplaceEditKv.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"
#include "kvlib/editors/dbctrls/DBMemoKv.h"
#include "kvlib/editors/dbctrls/DBComboBoxKv.h"
#include "kvlib/editors/dbctrls/DateTimeEditFormatKv.h"

// Registers the unit's controls for form resources.
void RegisterDBCtrlsKv();
