#include "framework/comctrls/ToolBar.h"

#include <algorithm>

#include "framework/ImgList.h"
#include "framework/comctrls/CommonControls.h"

PUBLISHED_DEF(TToolButton) {
  PROP(AllowAllUp).Default(false);
  PROP(Caption);
  PROP(Down).Default(false);
  PROP(Grouped).Default(false);
  PROP(ImageIndex).Default(-1);
  PROP(Style).Default(tbsButton);
}

PUBLISHED_DEF(TToolBar) {
  PROP(AutoSize).Default(false);
  PROP(ButtonHeight).Default(22);
  PROP(ButtonWidth).Default(23);
  PROP(Flat).Default(true);
  PROP(Images);
  PROP(ShowCaptions).Default(false);
}

// ---- Buttons ------------------------------------------------------------------------------------

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption};
  SetBounds(0, 0, 23, 22);
}

TToolBar* TToolButton::GetToolBar() const { return dynamic_cast<TToolBar*>(GetParent()); }

Integer TToolButton::GetIndex() const {
  TToolBar* Bar = GetToolBar();
  if (!Bar) return -1;
  for (Integer I = 0; I < Bar->GetButtonCount(); ++I)
    if (Bar->GetButton(I) == this) return I;
  return -1;
}

void TToolButton::Changed(bool Layout) {
  if (TToolBar* Bar = GetToolBar()) Bar->ButtonChanged(this, Layout);
}

void TToolButton::CMStateChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  Changed(Message.Msg != CM_ENABLEDCHANGED);
}

void TToolButton::SetDown(bool Value) {
  if (FDown == Value) return;
  FDown = Value;
  // One button of a group is down at a time.
  if (Value && FGrouped && FStyle == tbsCheck)
    if (TToolBar* Bar = GetToolBar()) {
      auto Controls = Bar->OrderedControls();
      auto It = std::find(Controls.begin(), Controls.end(), static_cast<TControl*>(this));
      auto InGroup = [](TControl* C) {
        auto* B = dynamic_cast<TToolButton*>(C);
        return B && B->FGrouped && B->FStyle == tbsCheck;
      };
      for (auto J = It; J != Controls.begin() && InGroup(*(J - 1)); --J) static_cast<TToolButton*>(*(J - 1))->FDown = false;
      for (auto J = It + 1; J != Controls.end() && InGroup(*J); ++J) static_cast<TToolButton*>(*J)->FDown = false;
    }
  Changed(false);
}

void TToolButton::SetGrouped(bool Value) {
  if (FGrouped == Value) return;
  FGrouped = Value;
  Changed(true);
}

void TToolButton::SetImageIndex(Integer Value) {
  if (FImageIndex == Value) return;
  FImageIndex = Value;
  Changed(true);
}

void TToolButton::SetStyle(TToolButtonStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  if (Value == tbsSeparator || Value == tbsDivider) {
    if (!GetComponentState().Contains(csLoading)) SetWidth(8);
    FDown = false;
  }
  Changed(true);
}

// ---- The bar ------------------------------------------------------------------------------------

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner), FImageChangeLink(std::make_unique<TChangeLink>()) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks, csSetCaption};
  SetBounds(0, 0, 150, 29);
  SetAlign(alTop);
  FImageChangeLink->SetOnChange({this, &TToolBar::ImageListChange});
}

TToolBar::~TToolBar() = default;

void TToolBar::CreateParams(TCreateParams& Params) {
  InitCommonControl(ICC_BAR_CLASSES);
  inherited::CreateParams(Params);
  CreateSubClass(Params, TOOLBARCLASSNAMEW);
  // The framework places the bar; the window must not move itself to the top of its parent.
  Params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | WS_CLIPCHILDREN;
  if (FFlat) Params.Style |= TBSTYLE_FLAT;
  if (FShowCaptions) Params.Style |= TBSTYLE_LIST;
}

void TToolBar::CreateWnd() {
  inherited::CreateWnd();
  SendMessageW(FHandle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  if (!FShowCaptions) SendMessageW(FHandle, TB_SETMAXTEXTROWS, 0, 0);
}

// The buttons need their children's windows (a combo box's place is its width), made after
// CreateWnd.
void TToolBar::CreateHandle() {
  inherited::CreateHandle();
  if (FHandle) RecreateButtons();
}

void TToolBar::Loaded() {
  inherited::Loaded();
  RecreateButtons();
}

void TToolBar::WndProc(TMessage& Message) {
  // The window presses its own buttons: mouse input goes to it, not to the button controls over it.
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL) {
    TControl::WndProc(Message);
    return;
  }
  if (Message.Msg == WM_PAINT) SyncImages();
  inherited::WndProc(Message);
}

std::vector<TControl*> TToolBar::OrderedControls() const {
  std::vector<TControl*> R;
  for (Integer I = 0; I < GetControlCount(); ++I) R.push_back(GetControl(I));
  std::stable_sort(R.begin(), R.end(), [](TControl* A, TControl* B) { return A->GetLeft() < B->GetLeft(); });
  return R;
}

Integer TToolBar::GetButtonCount() const {
  Integer N = 0;
  for (Integer I = 0; I < GetControlCount(); ++I)
    if (dynamic_cast<TToolButton*>(GetControl(I))) ++N;
  return N;
}

TToolButton* TToolBar::GetButton(Integer Index) const {
  Integer N = 0;
  for (TControl* C : OrderedControls())
    if (auto* B = dynamic_cast<TToolButton*>(C))
      if (N++ == Index) return B;
  throw EListError(L"List index out of bounds (%d)", {Index});
}

void TToolBar::SyncImages() {
  HIMAGELIST Wanted = FImages ? FImages->GetHandle() : nullptr;
  if (FHandle && Wanted != FImageHandle) {
    SendMessageW(FHandle, TB_SETIMAGELIST, 0, LPARAM(Wanted));
    FImageHandle = Wanted;
  }
}

namespace {

BYTE ButtonState(TToolButton* B) {
  BYTE State = 0;
  if (B->GetEnabled()) State |= TBSTATE_ENABLED;
  if (B->GetDown()) State |= TBSTATE_CHECKED;
  if (!B->GetVisible()) State |= TBSTATE_HIDDEN;
  return State;
}

}  // namespace

void TToolBar::RecreateButtons() {
  if (!FHandle || FUpdating || GetComponentState().Contains(csLoading)) return;
  FUpdating = true;
  try {
    for (Integer I = Integer(SendMessageW(FHandle, TB_BUTTONCOUNT, 0, 0)) - 1; I >= 0; --I)
      SendMessageW(FHandle, TB_DELETEBUTTON, WPARAM(I), 0);
    SyncImages();
    if (FImages) SendMessageW(FHandle, TB_SETBITMAPSIZE, 0, MAKELPARAM(FImages->GetWidth(), FImages->GetHeight()));
    SendMessageW(FHandle, TB_SETBUTTONSIZE, 0, MAKELPARAM(FButtonWidth, FButtonHeight));
    auto Controls = OrderedControls();
    std::vector<String> Captions(Controls.size());
    std::vector<TBBUTTON> Buttons(Controls.size());
    for (size_t I = 0; I < Controls.size(); ++I) {
      TBBUTTON& B = Buttons[I];
      auto* Button = dynamic_cast<TToolButton*>(Controls[I]);
      if (!Button || Button->FStyle == tbsSeparator || Button->FStyle == tbsDivider) {
        // A gap as wide as the control it leaves room for.
        B.fsStyle = BTNS_SEP;
        B.iBitmap = Controls[I]->GetWidth();
        B.fsState = Controls[I]->GetVisible() ? 0 : TBSTATE_HIDDEN;
        B.iString = -1;
        continue;
      }
      if (!Button->FCommand) Button->FCommand = FNextCommand++;
      B.idCommand = Button->FCommand;
      B.iBitmap = Button->FImageIndex >= 0 ? Button->FImageIndex : I_IMAGENONE;
      B.fsState = ButtonState(Button);
      B.fsStyle = BTNS_BUTTON;
      if (Button->FStyle == tbsCheck) B.fsStyle = BTNS_CHECK | (Button->FGrouped ? BTNS_GROUP : 0);
      if (Button->FStyle == tbsDropDown) B.fsStyle = BTNS_DROPDOWN;
      Captions[I] = Button->GetCaption();
      B.iString = FShowCaptions ? INT_PTR(Captions[I].c_str()) : -1;
    }
    if (!Buttons.empty()) SendMessageW(FHandle, TB_ADDBUTTONSW, WPARAM(Buttons.size()), LPARAM(Buttons.data()));
    Integer Bottom = 0;
    for (size_t I = 0; I < Controls.size(); ++I) {
      RECT R{};
      SendMessageW(FHandle, TB_GETITEMRECT, WPARAM(I), LPARAM(&R));
      TControl* C = Controls[I];
      if (dynamic_cast<TToolButton*>(C)) C->SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top);
      else C->SetBounds(R.left, R.top + std::max<Integer>(0, (R.bottom - R.top - C->GetHeight()) / 2), C->GetWidth(),
                        C->GetHeight());
      Bottom = std::max<Integer>(Bottom, std::max<Integer>(R.bottom, C->GetTop() + C->GetHeight()));
    }
    if (FAutoSize && Bottom > 0) SetHeight(Bottom + 2);
  } catch (...) {
    FUpdating = false;
    throw;
  }
  FUpdating = false;
}

void TToolBar::UpdateButtonStates() {
  if (!FHandle) return;
  for (TControl* C : OrderedControls())
    if (auto* B = dynamic_cast<TToolButton*>(C); B && B->FCommand)
      SendMessageW(FHandle, TB_SETSTATE, WPARAM(B->FCommand), MAKELPARAM(ButtonState(B), 0));
}

void TToolBar::ButtonChanged(TToolButton*, bool Layout) {
  if (Layout) RecreateButtons();
  else UpdateButtonStates();
}

void TToolBar::AlignControls(TControl*, TRect&) { RecreateButtons(); }

void TToolBar::CMControlChange(TMessage& Message) {
  inherited::Dispatch(&Message);
  auto* C = reinterpret_cast<TControl*>(Message.WParam);
  bool Inserting = Message.LParam != 0;
  // A control added in code goes after the others.
  if (Inserting && C && !GetComponentState().Contains(csLoading) && !C->GetComponentState().Contains(csLoading)) {
    Integer Right = 0;
    for (Integer I = 0; I < GetControlCount(); ++I)
      if (GetControl(I) != C) Right = std::max(Right, GetControl(I)->GetLeft() + GetControl(I)->GetWidth());
    if (C->GetLeft() < Right) C->SetLeft(Right);
  }
  // A control leaves the child list after this message; the realign that follows builds again.
  if (Inserting) RecreateButtons();
}

void TToolBar::CMEnabledChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  UpdateButtonStates();
}

void TToolBar::CNCommand(TWMCommand& Message) {
  TToolButton* Clicked = nullptr;
  for (TControl* C : OrderedControls())
    if (auto* B = dynamic_cast<TToolButton*>(C); B && B->FCommand) {
      // The window has pressed or released check buttons (a group's others too): read them back.
      if (B->FStyle == tbsCheck) B->FDown = SendMessageW(FHandle, TB_ISBUTTONCHECKED, WPARAM(B->FCommand), 0) != 0;
      if (B->FCommand == Integer(Message.ItemID)) Clicked = B;
    }
  if (Clicked) {
    Clicked->Click();
    Message.Result = 1;
  }
}

void TToolBar::ImageListChange(TObject*) {
  FImageHandle = nullptr;
  RecreateButtons();
}

void TToolBar::SetImages(TCustomImageList* Value) {
  if (FImages) FImages->UnRegisterChanges(FImageChangeLink.get());
  FImages = Value;
  if (Value) Value->RegisterChanges(FImageChangeLink.get());
  RecreateButtons();
}

void TToolBar::SetAutoSize(bool Value) {
  FAutoSize = Value;
  RecreateButtons();
}

void TToolBar::SetButtonHeight(Integer Value) {
  FButtonHeight = Value;
  RecreateButtons();
}

void TToolBar::SetButtonWidth(Integer Value) {
  FButtonWidth = Value;
  RecreateButtons();
}

void TToolBar::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  RecreateWnd();
}

void TToolBar::SetShowCaptions(bool Value) {
  if (FShowCaptions == Value) return;
  FShowCaptions = Value;
  RecreateWnd();
}
