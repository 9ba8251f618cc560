#include "kvlib/editors/MemoEditFormsKv.h"

#include <memory>

#include "framework/Buttons.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "kvlib/foundation/KvLibLangConsts.h"

PUBLISHED_DEF(TMemoEditWinKv) {
  METHOD(CustomDropDownFormKvCreate);
  METHOD(CustomDropDownFormKvInitForm);
  METHOD(CustomDropDownFormKvReturnParams);
  METHOD(sbOkClick);
  METHOD(sbCancelClick);
}

TMemoEditDialogProcKv MemoEditDialogProc = nullptr;

namespace MemoEditFormsKv {

Integer UnitStartCount = 0;

struct TUnit {
  TUnit() {
    if (UnitStartCount++ > 0) return;
    // The window's resource names the framework's controls it is made of.
    RegisterClasses({TMemo::StaticClass(), TPanel::StaticClass(), TBevel::StaticClass(), TSpeedButton::StaticClass()});
    if (!GetClass(TMemoEditWinKv::StaticClass()->ClassName())) RegisterClass(TMemoEditWinKv::StaticClass());
    MemoEditDialogProc = &MemoEditDialogKv;
  }
  ~TUnit() { --UnitStartCount; }
} Unit;

// The first variable's text; an array or a value that does not convert gives an empty text.
String FirstVarText(TDynVarsKv* DynParams) {
  Variant V = DynParams->GetItem(0)->GetValue();
  if (VarIsArray(V)) return String();
  try {
    return VarToStr(V);
  } catch (const Exception&) {
    return String();
  }
}

}  // namespace MemoEditFormsKv

TCustomDropDownFormKv* GetGlobalDropDownFormKv(TClass FormClass) {
  if (TCustomDropDownFormKv* Shared = TCustomDropDownFormKv::GetGlobalRef(FormClass)) return Shared;
  // Owned by the application, though not through CreateForm: the editor must never become the
  // program's main form.
  std::unique_ptr<TCustomForm> Form(TFormClass(FormClass).Create(Application));
  Form->AfterConstruction();
  Form.release();
  return TCustomDropDownFormKv::GetGlobalRef(FormClass);
}

// ---- The window -------------------------------------------------------------------------------

TMemoEditWinKv::TMemoEditWinKv(TComponent* AOwner) : TCustomDropDownFormKv(AOwner) {}

void TMemoEditWinKv::AfterConstruction() {
  inherited::AfterConstruction();
  if (!TCustomDropDownFormKv::GetGlobalRef(ClassType())) SetAsGlobalRef();
}

void TMemoEditWinKv::Loaded() {
  inherited::Loaded();
  Memo1 = RequireComponent<TMemo>(this, L"Memo1");
  Panel1 = RequireComponent<TPanel>(this, L"Panel1");
  sbOk = RequireComponent<TSpeedButton>(this, L"sbOk");
  sbCancel = RequireComponent<TSpeedButton>(this, L"sbCancel");
  Bevel1 = RequireComponent<TBevel>(this, L"Bevel1");
}

Integer TMemoEditWinKv::ShowModal() {
  TDynVarsKv* DynParams = GetDynParams();
  Integer Result = inherited::ShowModal();
  if (Result == mrOk && DynParams && GetDynParams() != DynParams) CustomDropDownFormKvReturnParams(this, DynParams);
  return Result;
}

TCustomDropDownFormKv* TMemoEditWinKv::GetGlobalRef() { return GetGlobalDropDownFormKv(ClassType()); }

TMemoEditWinKv* TMemoEditWinKv::GlobalInstance() {
  return static_cast<TMemoEditWinKv*>(GetGlobalDropDownFormKv(StaticClass()));
}

void TMemoEditWinKv::CustomDropDownFormKvCreate(TObject*) {
  TKvLibLanguageConsts* Texts = KvLibLanguageConsts();
  sbOk->SetCaption(Texts->GetOKButtonKv());
  sbCancel->SetCaption(Texts->GetCancelButtonKv());
  SetCaption(Texts->GetMemoEditWin_Caption());
}

void TMemoEditWinKv::CustomDropDownFormKvInitForm(TCustomDropDownFormKv*, TDynVarsKv* DynParams) {
  Integer Count = DynParams ? DynParams->GetCount() : 0;
  if (Count == 0) {
    FPassParams = pspByFieldNamesKv;
  } else {
    FPassParams = Count == 1 ? pspFieldValueKv : pspRecordValuesKv;
    Memo1->SetText(MemoEditFormsKv::FirstVarText(DynParams));
  }
  sbOk->SetEnabled(!GetReadOnly());
  Memo1->SetReadOnly(GetReadOnly());
}

void TMemoEditWinKv::CustomDropDownFormKvReturnParams(TCustomDropDownFormKv*, TDynVarsKv* DynParams) {
  // Nothing was passed, so there is nothing to return the text in.
  if (!DynParams || DynParams->GetCount() == 0) return;
  DynParams->GetItem(0)->SetValue(Variant(Memo1->GetText()));
}

void TMemoEditWinKv::sbOkClick(TObject*) {
  SetModalResult(mrOk);
  if (GetDropDownMode()) Close();
}

void TMemoEditWinKv::sbCancelClick(TObject*) {
  SetModalResult(mrCancel);
  if (GetDropDownMode()) Close();
}

// ---- The dialog routine -----------------------------------------------------------------------

bool EditTextInWindowKv(TCustomDropDownFormKv* Window, String& Text, bool ReadOnly, bool& Accepted) {
  Accepted = false;
  IDynParamsInteractableKv* Params = nullptr;
  if (!Window || !Supports(Window, Params)) return false;
  TDynVarsKv DynParams(nullptr);
  DynParams.CreateDynVar(String(), Variant(Text));
  Params->SetDynParams(&DynParams);
  struct TForget {
    IDynParamsInteractableKv* P;
    ~TForget() { P->SetDynParams(nullptr); }
  } Forget{Params};
  Window->SetReadOnly(ReadOnly);
  if (Window->ShowModal() != mrOk) return true;
  // The window forgets the values when it closes; they are read from the set handed to it.
  Text = MemoEditFormsKv::FirstVarText(&DynParams);
  Accepted = true;
  return true;
}

bool MemoEditDialogKv(String& Text, const TRect&, bool ReadOnly) {
  bool Accepted = false;
  return EditTextInWindowKv(GetGlobalDropDownFormKv(TMemoEditWinKv::StaticClass()), Text, ReadOnly, Accepted) &&
         Accepted;
}
