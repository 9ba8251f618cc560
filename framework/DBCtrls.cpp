#include "framework/DBCtrls.h"

#include "framework/Controls.h"
#include "framework/DB.h"

TField* GetFieldProperty(TDataSet* DataSet, TComponent* Control, const String& FieldName) {
  TField* Field = DataSet->FindField(FieldName);
  if (!Field) DatabaseErrorFmt(SFieldNotFound, {FieldName}, Control);
  return Field;
}

bool DBUseRightToLeftAlignment(TControl* Control, TField* Field) {
  if (!Control->UseRightToLeftAlignment()) return false;
  return !Field || Field->GetAlignment() != taCenter;
}
