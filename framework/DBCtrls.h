#pragma once
// What the data-aware controls share of the dataset layer: finding a control's field by name,
// with an error that names the control, and the right-to-left rule for a control showing a field.

#include "framework/System.h"

class TComponent;
class TControl;
class TDataSet;
class TField;

// The field FieldName of DataSet; a missing one raises "Field 'X' not found" for Control.
TField* GetFieldProperty(TDataSet* DataSet, TComponent* Control, const String& FieldName);
// Whether Control lays Field's text out right to left: the control reads right to left and the
// field's text is not centred (a centred text stays where it is either way).
bool DBUseRightToLeftAlignment(TControl* Control, TField* Field);
