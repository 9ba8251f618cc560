#include "kvlib/axisgrid/dbaxisgrids/AxisBarParts.h"

#include "framework/DB.h"
#include "framework/Menus.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisBar.h"
#include "kvlib/axisgrid/dbaxisgrids/AxisGrid.h"

// ---- TAxisBarTitleKv ------------------------------------------------------------------------------

TAxisBarTitleKv::TAxisBarTitleKv(TAxisBarKv* AxisBar) : FAxisBar(AxisBar), FFont(std::make_unique<TFont>()) {}

TAxisBarTitleKv::~TAxisBarTitleKv() = default;

String TAxisBarTitleKv::GetCaption() {
  if (FAxisBar && FAxisBar->GetAssignedValues().Contains(cvTitleCaption)) return FCaption;
  if (!FAxisBar) return FCaption;
  if (TField* Field = FAxisBar->GetField()) return Field->GetDisplayLabel();
  return FAxisBar->GetFieldName();
}

void TAxisBarTitleKv::SetCaption(const String& Value) {
  FCaption = Value;
  if (FAxisBar) {
    TAxisBarKvValues V = FAxisBar->GetAssignedValues();
    V << cvTitleCaption;
    FAxisBar->SetAssignedValues(V);
    FAxisBar->Changed(false);
  }
}

TPopupMenu* TAxisBarTitleKv::GetPopupMenu() const { return FPopupMenu; }
void TAxisBarTitleKv::SetPopupMenu(TPopupMenu* Value) { FPopupMenu = Value; }

void TAxisBarTitleKv::RestoreDefaults() {
  if (!FAxisBar) return;
  TAxisBarKvValues V = FAxisBar->GetAssignedValues();
  for (TAxisBarKvValue M : {cvTitleColor, cvTitleCaption, cvTitleAlignment, cvTitleFont, cvTitleButton,
                            cvTitleEndEllipsis, cvTitleToolTips, cvTitleOrientation})
    V >> M;
  FAxisBar->SetAssignedValues(V);
}

TPersistent* TAxisBarTitleKv::GetOwner() { return FAxisBar; }

PUBLISHED_DEF(TAxisBarTitleKv) {
  PROP(Caption);
  PROP(Font);
  PROP(Hint);
  PROP(ImageIndex).Default(-1);
  PROP(PopupMenu);
}

// ---- Grid-wide defaults --------------------------------------------------------------------------

TAxisBarDefValuesKv::TAxisBarDefValuesKv(TCustomDBAxisGridKv* Grid) : FGrid(Grid) {}
TAxisBarDefValuesKv::~TAxisBarDefValuesKv() = default;

TAxisBarCaptionDefValuesKv* TAxisBarDefValuesKv::GetTitle() {
  if (!FTitle) FTitle.reset(CreateTitleDefValues());
  return FTitle.get();
}

TAxisBarCaptionDefValuesKv* TAxisBarDefValuesKv::CreateTitleDefValues() { return new TAxisBarCaptionDefValuesKv(this); }

// ---- TColumnDropDownBoxKv ----------------------------------------------------------------------------

TColumnDropDownBoxKv::~TColumnDropDownBoxKv() = default;
TDataSource* TColumnDropDownBoxKv::GetListSource() const { return FListSource; }
void TColumnDropDownBoxKv::SetListSource(TDataSource* Value) { FListSource = Value; }

PUBLISHED_DEF(TColumnDropDownBoxKv) {
  PROP(ListSource);
  PROP(ListField);
  PROP(Rows).Default(7);
  PROP(Width).Default(0);
  PROP(Sizable).Default(false);
  PROP(ShowTitles).Default(false);
}

// ---- Edit buttons -----------------------------------------------------------------------------------

TAxisBarVisibleEditButtonKv::TAxisBarVisibleEditButtonKv(TCollection* Collection) : TAxisBarEditButtonKv(Collection) {
  SetVisible(true);
}

TAxisBarMainEditButtonKv::TAxisBarMainEditButtonKv(TAxisBarKv* AxisBar)
    : TAxisBarEditButtonKv(static_cast<TCollection*>(nullptr)), FAxisBar(AxisBar) {}

void TAxisBarMainEditButtonKv::SetButtonStyle(TCellButtonStyleKv Value) {
  if (FButtonStyle == Value) return;
  FButtonStyle = Value;
  Changed();
}

// ---- Cell buttons -------------------------------------------------------------------------------------

TCellButtonKv::TCellButtonKv(TCollection* Collection)
    : TAxisBarVisibleEditButtonKv(Collection), FFont(std::make_unique<TFont>()) {}

TCellButtonKv::~TCellButtonKv() = default;

void TCellButtonKv::SetHorzPlacement(TEditButtonHorzPlacementKv Value) {
  if (FHorzPlacement == Value) return;
  FHorzPlacement = Value;
  Changed();
}

void TCellButtonKv::SetCaption(const String& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  Changed();
}

PUBLISHED_DEF(TCellButtonKv) {
  PROP(HorzPlacement).Default(ebhpRightKv);
  PROP(Pressable).Default(true);
  PROP(Caption);
  PROP(Font);
}

Integer TCellButtonsKv::InContentButtonCount() const {
  Integer N = 0;
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetCellButton(I)->GetHorzPlacement() == ebhpInContentKv) ++N;
  return N;
}

Integer TCellButtonsKv::InContentVisibleButtonCount() const {
  Integer N = 0;
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetCellButton(I)->GetHorzPlacement() == ebhpInContentKv && GetCellButton(I)->GetVisible()) ++N;
  return N;
}
