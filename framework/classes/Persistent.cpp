#include "framework/classes/Persistent.h"

void TPersistent::Assign(TPersistent* Source) {
  if (Source)
    Source->AssignTo(this);
  else
    AssignTo(this);  // assigning nil is an error unless a descendant handles it
}

void TPersistent::AssignTo(TPersistent* Dest) {
  String SourceName = this == Dest ? String(L"nil") : ClassName();
  throw EConvertError(L"Cannot assign a " + SourceName + L" to a " + Dest->ClassName());
}

void TPersistent::DefineProperties(TFiler*) {}

TPersistent* TPersistent::GetOwner() { return nullptr; }

String TPersistent::GetNamePath() {
  String S = ClassName();
  if (TPersistent* Owner = GetOwner()) {
    String OwnerPath = Owner->GetNamePath();
    if (!OwnerPath.empty()) S = OwnerPath + L"." + S;
  }
  return S;
}
