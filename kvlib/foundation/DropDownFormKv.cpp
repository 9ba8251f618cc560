#include "kvlib/foundation/DropDownFormKv.h"

#include "framework/Forms.h"

// ---- TDropDownFormCallParamsKv ------------------------------------------------------------------

PUBLISHED_DEF(TDropDownFormCallParamsKv) {
  PROP(Align).Default(daCenter);
  PROP(AssignBackFieldNames);
  PROP(DropDownForm);
  PROP(DropDownFormClassName);
  PROP(FormHeight).Default(-1);
  PROP(FormWidth).Default(-1);
  PROP(PassFieldNames);
  PROP(PassParams).Default(pspFieldValueKv);
  PROP(SaveFormSize).Default(true);
}

TDropDownFormCallParamsKv::TDropDownFormCallParamsKv() = default;

TDropDownFormCallParamsKv::~TDropDownFormCallParamsKv() = default;

void TDropDownFormCallParamsKv::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TDropDownFormCallParamsKv*>(Source)) {
    SetAlign(Src->FAlign);
    SetAssignBackFieldNames(Src->FAssignBackFieldNames);
    SetDropDownForm(Src->FDropDownForm);
    SetDropDownFormClassName(Src->FDropDownFormClassName);
    SetFormHeight(Src->FFormHeight);
    SetFormWidth(Src->FFormWidth);
    SetPassFieldNames(Src->FPassFieldNames);
    SetPassParams(Src->FPassParams);
    SetSaveFormSize(Src->FSaveFormSize);
    return;
  }
  inherited::Assign(Source);
}

void TDropDownFormCallParamsKv::SetDropDownForm(TCustomForm* Value) {
  if (FDropDownForm == Value) return;
  FDropDownForm = Value;
  Changed();
}

void TDropDownFormCallParamsKv::SetDropDownFormClassName(const String& Value) {
  if (FDropDownFormClassName == Value) return;
  FDropDownFormClassName = Value;
  Changed();
}

void TDropDownFormCallParamsKv::Changed() { DoEvent(FOnChanged, this); }
