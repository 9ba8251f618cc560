#include "framework/Contnrs.h"

TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(Pointer Ptr, TListNotification Action) {
  if (FOwnsObjects && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
  TList::Notify(Ptr, Action);
}

Integer TObjectList::FindInstanceOf(TClass AClass, bool AExact, Integer AStartAt) const {
  for (Integer I = AStartAt < 0 ? 0 : AStartAt; I < GetCount(); ++I) {
    TObject* O = GetItems(I);
    if (!O) continue;
    if (AExact ? O->ClassType() == AClass : O->InheritsFrom(AClass)) return I;
  }
  return -1;
}
