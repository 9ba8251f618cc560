#include "framework/comctrls/StatusBar.h"

#include "framework/comctrls/CommonControls.h"
#include "framework/graphics/Canvas.h"

PUBLISHED_DEF(TStatusPanel) {
  PROP(Alignment).Default(taLeftJustify);
  PROP(Bevel).Default(pbLowered);
  PROP(Style).Default(psText);
  PROP(Text);
  PROP(Width).Default(50);
}

PUBLISHED_DEF(TStatusBar) {
  PROP(Panels);
  PROP(SimplePanel).Default(false);
  PROP(SimpleText);
  PROP(SizeGrip).Default(true);
  EVENT(OnDrawPanel);
}

// ---- Panels -------------------------------------------------------------------------------------

TStatusPanel::TStatusPanel(TCollection* Collection) : TCollectionItem(Collection) {}

void TStatusPanel::Assign(TPersistent* Source) {
  if (auto* P = dynamic_cast<TStatusPanel*>(Source)) {
    FAlignment = P->FAlignment;
    FBevel = P->FBevel;
    FStyle = P->FStyle;
    FText = P->FText;
    FWidth = P->FWidth;
    Changed(false);
    return;
  }
  inherited::Assign(Source);
}

String TStatusPanel::GetDisplayName() const { return FText.empty() ? inherited::GetDisplayName() : FText; }

void TStatusPanel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Changed(false);
}
void TStatusPanel::SetBevel(TStatusPanelBevel Value) {
  FBevel = Value;
  Changed(false);
}
void TStatusPanel::SetStyle(TStatusPanelStyle Value) {
  FStyle = Value;
  Changed(false);
}
void TStatusPanel::SetText(const String& Value) {
  if (FText == Value) return;
  FText = Value;
  Changed(false);
}
void TStatusPanel::SetWidth(Integer Value) {
  FWidth = std::max(0, Value);
  Changed(true);
}

TStatusPanels::TStatusPanels(TStatusBar* StatusBar) : TCollection(TStatusPanel::StaticClass()), FStatusBar(StatusBar) {}

TPersistent* TStatusPanels::GetOwner() { return FStatusBar; }

void TStatusPanels::Update(TCollectionItem* Item) {
  if (Item) FStatusBar->UpdatePanel(Item->GetIndex());
  else FStatusBar->UpdatePanels();
}

// ---- The bar ------------------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* AOwner)
    : TWinControl(AOwner), FPanels(std::make_unique<TStatusPanels>(this)), FCanvas(std::make_unique<TCanvas>()) {
  FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque};
  SetColor(clBtnFace);
  SetBounds(0, 0, 200, 19);
  SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::CreateParams(TCreateParams& Params) {
  InitCommonControl(ICC_BAR_CLASSES);
  inherited::CreateParams(Params);
  CreateSubClass(Params, STATUSCLASSNAMEW);
  // The framework places the bar (Align); the window must not move itself to its parent's bottom.
  Params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (FSizeGrip) Params.Style |= SBARS_SIZEGRIP;
}

void TStatusBar::CreateWnd() {
  inherited::CreateWnd();
  UpdatePanels();
  if (FSimplePanel) {
    SendMessageW(FHandle, SB_SIMPLE, TRUE, 0);
    SendMessageW(FHandle, SB_SETTEXTW, SB_SIMPLEID, LPARAM(FSimpleText.c_str()));
  }
}

void TStatusBar::SetPanels(TStatusPanels* Value) { FPanels->Assign(Value); }

void TStatusBar::SetSimplePanel(bool Value) {
  if (FSimplePanel == Value) return;
  FSimplePanel = Value;
  if (FHandle) SendMessageW(FHandle, SB_SIMPLE, Value, 0);
  if (FHandle && Value) SendMessageW(FHandle, SB_SETTEXTW, SB_SIMPLEID, LPARAM(FSimpleText.c_str()));
}

void TStatusBar::SetSimpleText(const String& Value) {
  FSimpleText = Value;
  if (FHandle && FSimplePanel) SendMessageW(FHandle, SB_SETTEXTW, SB_SIMPLEID, LPARAM(Value.c_str()));
}

void TStatusBar::SetSizeGrip(bool Value) {
  if (FSizeGrip == Value) return;
  FSizeGrip = Value;
  RecreateWnd();
}

void TStatusBar::UpdatePanels() {
  if (!FHandle) return;
  Integer Count = FPanels->GetCount();
  std::vector<int> Edges(std::max(1, Count));
  Integer Edge = 0;
  for (Integer I = 0; I < Count; ++I) {
    Edge += FPanels->GetItem(I)->GetWidth();
    Edges[I] = I == Count - 1 ? -1 : Edge;
  }
  if (Count == 0) Edges[0] = -1;
  SendMessageW(FHandle, SB_SETPARTS, WPARAM(Edges.size()), LPARAM(Edges.data()));
  for (Integer I = 0; I < Count; ++I) UpdatePanel(I);
  if (Count == 0) SendMessageW(FHandle, SB_SETTEXTW, 0, LPARAM(L""));
}

void TStatusBar::UpdatePanel(Integer Index) {
  if (!FHandle) return;
  TStatusPanel* Panel = FPanels->GetItem(Index);
  static const WPARAM Bevels[] = {SBT_NOBORDERS, 0, SBT_POPOUT};
  WPARAM Flags = WPARAM(Index) | Bevels[Panel->GetBevel()];
  if (Panel->GetStyle() == psOwnerDraw) {
    // The window hands the data back in WM_DRAWITEM; the panel is found by the part index.
    SendMessageW(FHandle, SB_SETTEXTW, Flags | SBT_OWNERDRAW, LPARAM(Panel));
    return;
  }
  // The status window centres text after one tab and right-aligns it after two.
  static const wchar_t* const Prefixes[] = {L"", L"\t\t", L"\t"};
  String Text = Prefixes[Panel->GetAlignment()] + Panel->GetText();
  SendMessageW(FHandle, SB_SETTEXTW, Flags, LPARAM(Text.c_str()));
}

void TStatusBar::DrawPanel(TStatusPanel* Panel, const TRect& Rect) {
  if (FOnDrawPanel) {
    DoEvent(FOnDrawPanel, this, Panel, Rect);
    return;
  }
  FCanvas->FillRect(Rect);
}

void TStatusBar::CNDrawItem(TWMDrawItem& Message) {
  const DRAWITEMSTRUCT* DI = Message.DrawItemStruct;
  Integer Index = Integer(DI->itemID);
  if (Index < 0 || Index >= FPanels->GetCount()) return;
  Integer SavedDC = SaveDC(DI->hDC);
  FCanvas->Lock();
  try {
    FCanvas->SetHandle(DI->hDC);
    FCanvas->GetFont()->Assign(GetFont());
    FCanvas->GetBrush()->SetColor(GetColor());
    FCanvas->GetBrush()->SetStyle(bsSolid);
    DrawPanel(FPanels->GetItem(Index), TRect(DI->rcItem.left, DI->rcItem.top, DI->rcItem.right, DI->rcItem.bottom));
  } catch (...) {
    FCanvas->SetHandle(nullptr);
    FCanvas->Unlock();
    RestoreDC(DI->hDC, SavedDC);
    throw;
  }
  FCanvas->SetHandle(nullptr);
  FCanvas->Unlock();
  RestoreDC(DI->hDC, SavedDC);
  Message.Result = 1;
}
