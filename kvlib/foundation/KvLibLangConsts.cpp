#include "kvlib/foundation/KvLibLangConsts.h"

#include <memory>

#include "kvlib/foundation/LanguageResManKv.h"

namespace {

std::unique_ptr<TKvLibLanguageConsts>& ConstsInstance() {
  static std::unique_ptr<TKvLibLanguageConsts> Instance;
  return Instance;
}

}  // namespace

TKvLibLanguageConsts::TKvLibLanguageConsts(TComponent* AOwner) : TComponent(AOwner) {
  FDBGridKvGroupingFooter_Sum = L"Sum";
  FDBGridKvGroupingFooter_Count = L"Count";
  FDBGridKvGroupingFooter_Avg = L"Average";
  FDBGridKvGroupingFooter_Max = L"Max";
  FDBGridKvGroupingFooter_Min = L"Min";
  FDBGridKvGroupingFooter_Empty = L"(Empty)";
  FCalculatorError = L"Error";
  FCustomizeColumnsDialog = L"Customize columns ...";
  FDBGridKvCustomizeColumnsDialog_VisibleColumns = L"Visible columns";
  FDBGridKvCustomizeColumnsDialog_HiddenColumns = L"Hidden columns";
  FDBGridKvCustomizeColumnsDialog_Caption = L"Columns setup";
  FDBGridKvCustomizeColumnsDialog_ColumnName = L"Name";
  FDBGridKvCustomizeColumnsDialog_ColumnWidth = L"Width";
  FDBGridKvCustomizeColumnsDialog_SetWidth_Hint = L"Set width";
  FDBGridKvCustomizeColumnsDialog_MoveUp_Hint = L"Move up";
  FDBGridKvCustomizeColumnsDialog_MoveDown_Hint = L"Move down";
  FDBGridKvCustomizeColumnsDialog_Hide_Hint = L"Hide";
  FDBGridKvCustomizeColumnsDialog_Show_Hint = L"Show";
  FDBGridKvCustomizeColumnsDialog_EnterNumericalValue = L"Enter a numerical value";
  FDBGridKvCustomizeColumnsDialog_EnterColumnWidthS = L"Column width(s)";
  // The class is final for this read: a descendant would read its own resources again after
  // its constructor.
  InitInheritedComponent(this, TComponent::StaticClass());
}

PUBLISHED_DEF(TKvLibLanguageConsts) {
#define KV_LANG_CONST_PROP(N) PROP(N);
  KV_LIB_LANGUAGE_CONSTS(KV_LANG_CONST_PROP)
#undef KV_LANG_CONST_PROP
}

TKvLibLanguageConsts* KvLibLanguageConsts() {
  auto& C = ConstsInstance();
  if (!C) {
    C.reset(new TKvLibLanguageConsts(nullptr));
    RegisterKvLibLanguageConsts();
  }
  return C.get();
}

void RegisterKvLibLanguageConsts() {
  TKvLibLanguageConsts* C = ConstsInstance().get();
  if (!C) {
    KvLibLanguageConsts();  // registers itself
    return;
  }
  TLanguageResourceManagerKv* M = LanguageResourceManager();
  for (Integer I = 0; I < M->GetResObjectCount(); ++I)
    if (M->GetResObject(I)->RefResObject.Get() == C) return;
  M->AddLocalizableObject(C, C->ClassName(), L"KvLibLangConsts", L"ENU");
}
