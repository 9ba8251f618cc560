#include "kvlib/editors/dbctrls/DBCheckBoxKv.h"

#include "kvlib/editors/dbctrls/FieldDataLinkKv.h"
#include "kvlib/editors/dbctrls/PaintCanvasScopeKv.h"

#include "framework/ActnList.h"
#include "framework/DB.h"
#include "framework/Themes.h"
#include "framework/classes/Reader.h"
#include "framework/classes/Writer.h"
#include "kvlib/foundation/DynVarsKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

namespace {

// One item after another from the ";"-separated list, each trimmed; an empty text also matches an
// empty list and one that ends with ";" (its empty last item).
bool DBCheckBoxValueMatch(const String& List, const String& Text) {
  size_t Start = 0;
  while (Start < List.size()) {
    size_t End = List.find(L';', Start);
    if (End == String::npos) End = List.size();
    if (AnsiSameText(Trim(List.substr(Start, End - Start)), Text)) return true;
    Start = End + 1;
  }
  return Text.empty() && (List.empty() || List.back() == L';');
}

String DBCheckBoxFirstItem(const String& List) { return Trim(List.substr(0, List.find(L';'))); }

}  // namespace

PUBLISHED_DEF(TDBCheckBoxKv) {
  PROP(Alignment).Default(taRightJustify);
  PROP(AllowGrayed).Default(false);
  PROP(AlwaysShowBorder).Default(false);
  PROP(Caption);
  PROP(DataField);
  PROP(DataSource);
  PROP(DynProps);
  PROP(Flat).Default(false);
  PROP(ReadOnly).Default(false);
  PROP(TabStop).Default(true);
  PROP(Checked).Default(false);
  PROP(State).Stored(&TDBCheckBoxKv::IsStateStored);
  PROP(WordWrap).Default(false);
  EVENT(OnUpdateData);
}

TCustomDBCheckBoxKv::TCustomDBCheckBoxKv(TComponent* AOwner)
    : TCustomCheckBox(AOwner),
      FCanvas(std::make_unique<TControlCanvas>()),
      FDataLink(std::make_unique<TFieldDataLinkKv>()),
      FDynProps(std::make_unique<TDynVarsKv>(this)),
      FValueCheck(STextTrue),
      FValueUncheck(STextFalse) {
  FCanvas->SetControl(this);
  SetBounds(0, 0, 97, 17);
  SetTabStop(true);
  FControlStyle >> csDoubleClicks;
  FControlStyle << csReplicatable;
  FDataLink->SetControl(this);
  FDataLink->SetOnDataChange({this, &TCustomDBCheckBoxKv::DataChange});
  FDataLink->SetOnUpdateData({this, &TCustomDBCheckBoxKv::LinkUpdateData});
  FDataLink->DataIndependentValue = false;
}

TCustomDBCheckBoxKv::~TCustomDBCheckBoxKv() {
  FDataLink->SetOnDataChange(nullptr);
  FDataLink->SetOnUpdateData(nullptr);
  FDataLink->SetDataSource(nullptr);
}

// ---- State and posting ------------------------------------------------------------------------

void TCustomDBCheckBoxKv::SetState(TCheckBoxState Value) {
  if (GetComponentState().Contains(csDesigning) && !DataIndepended()) return;
  if (!DataIndepended())
    if (TDataSource* Source = GetDataSource())
      if (TDataSet* DataSet = Source->GetDataSet()) DataSet->Edit();
  InternalSetState(Value);
  if (FDataPosting) return;
  try {
    UpdateData();
  } catch (...) {
    FDataLink->Reset();
    throw;
  }
}

void TCustomDBCheckBoxKv::InternalSetState(TCheckBoxState Value) {
  if (FState == Value) return;
  FState = Value;
  if (FHandle) SendMessageW(FHandle, BM_SETCHECK, WPARAM(Value), 0);
  if (!FClicksDisabled && !GetComponentState().Contains(csLoading)) {
    TDispatchScope Scope(this);
    Perform(CM_CHANGED, 0, LPARAM(this));
    TCustomCheckBox::Click();
    if (Scope.Deleted()) return;
  }
  Invalidate();
  FModified = true;
}

void TCustomDBCheckBoxKv::UpdateData() {
  bool Handled = false;
  FDataPosting = true;
  try {
    DoEvent(FOnUpdateData, this, Handled);
  } catch (...) {
    FDataPosting = false;
    throw;
  }
  FDataPosting = false;
  if (!Handled) InternalUpdatePostData();
}

void TCustomDBCheckBoxKv::InternalUpdatePostData() {
  if (DataIndepended()) {
    FDataLink->SetValue(FState == cbGrayed ? Variant(Null) : Variant(FState == cbChecked));
    return;
  }
  // A bound box whose dataset is not open has no field to write.
  TField* Field = GetField();
  if (!Field) return;
  if (FState == cbGrayed) Field->Clear();
  else if (Field->GetDataType() == ftBoolean) Field->SetAsBoolean(FState == cbChecked);
  else Field->SetText(DBCheckBoxFirstItem(FState == cbChecked ? FValueCheck : FValueUncheck));
}

TCheckBoxState TCustomDBCheckBoxKv::GetFieldState() {
  if (DataIndepended()) {
    const Variant& Value = FDataLink->DataIndependentValue;
    if (DBVarValuesEqual(Value, Variant(true))) return cbChecked;
    if (DBVarValuesEqual(Value, Variant(false))) return cbUnchecked;
    return cbGrayed;
  }
  TField* Field = GetField();
  if (!Field) return cbUnchecked;
  if (Field->GetDataType() == ftBoolean && FValueCheck == STextTrue && FValueUncheck == STextFalse) {
    if (Field->IsNull()) return cbGrayed;
    return Field->GetAsBoolean() ? cbChecked : cbUnchecked;
  }
  String Text = Field->GetText();
  if (DBCheckBoxValueMatch(FValueCheck, Text)) return cbChecked;
  if (DBCheckBoxValueMatch(FValueUncheck, Text)) return cbUnchecked;
  return cbGrayed;
}

void TCustomDBCheckBoxKv::DataChange(TObject*) {
  if (GetComponentState().Contains(csDestroying)) return;
  InternalSetState(GetFieldState());
  FModified = false;
}

void TCustomDBCheckBoxKv::Toggle() {
  if (!FDataLink->Edit()) return;
  switch (FState) {
    case cbUnchecked: InternalSetState(GetAllowGrayed() ? cbGrayed : cbChecked); break;
    case cbChecked: InternalSetState(cbUnchecked); break;
    case cbGrayed: InternalSetState(cbChecked); break;
  }
  FDataLink->Modified();
  Invalidate();
}

void TCustomDBCheckBoxKv::Click() {
  Toggle();
  Perform(CM_CHANGED, 0, LPARAM(this));
}

// ---- Properties -------------------------------------------------------------------------------

TLeftRight TCustomDBCheckBoxKv::GetControlsAlignment() const {
  if (UseRightToLeftAlignment() && GetAlignment() == taRightJustify) return taLeftJustify;
  return taRightJustify;
}

String TCustomDBCheckBoxKv::GetDataField() const { return FDataLink->GetFieldName(); }
void TCustomDBCheckBoxKv::SetDataField(const String& Value) { FDataLink->SetFieldName(Value); }
TDataSource* TCustomDBCheckBoxKv::GetDataSource() const { return FDataLink->GetDataSource(); }
TField* TCustomDBCheckBoxKv::GetField() const { return FDataLink->GetField(); }
bool TCustomDBCheckBoxKv::GetReadOnly() const { return FDataLink->GetReadOnly(); }
void TCustomDBCheckBoxKv::SetReadOnly(bool Value) { FDataLink->SetReadOnly(Value); }
bool TCustomDBCheckBoxKv::DataIndepended() const { return FDataLink->GetDataIndepended(); }

bool TCustomDBCheckBoxKv::IsStateStored() const { return DataIndepended() && FState != cbUnchecked; }

void TCustomDBCheckBoxKv::SetAlwaysShowBorder(bool Value) {
  if (FAlwaysShowBorder == Value) return;
  FAlwaysShowBorder = Value;
  Invalidate();
}

void TCustomDBCheckBoxKv::SetDataSource(TDataSource* Value) {
  TComponentState CS = GetComponentState();
  bool Fixed = FDataLink->GetDataSourceFixed() && (CS.Contains(csLoading) || CS.Contains(csDestroying));
  if (!Fixed) FDataLink->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
}

void TCustomDBCheckBoxKv::SetDynProps(TDynVarsKv* Value) { FDynProps->Assign(Value); }

void TCustomDBCheckBoxKv::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  if (FHandle) RecreateWnd();
}

void TCustomDBCheckBoxKv::SetValueChecked(const String& Value) {
  FValueCheck = Value;
  DataChange(this);
}

void TCustomDBCheckBoxKv::SetValueUnchecked(const String& Value) {
  FValueUncheck = Value;
  DataChange(this);
}

bool TCustomDBCheckBoxKv::ExecuteAction(TBasicAction* Action) {
  return ExecuteDataControlActionKv(this, FDataLink.get(), Action);
}

bool TCustomDBCheckBoxKv::UpdateAction(TBasicAction* Action) {
  return UpdateDataControlActionKv(this, FDataLink.get(), Action);
}

void TCustomDBCheckBoxKv::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == opRemove && FDataLink && AComponent == GetDataSource()) SetDataSource(nullptr);
}

void TCustomDBCheckBoxKv::DefineProperties(TFiler* Filer) {
  inherited::DefineProperties(Filer);
  Filer->DefineProperty(L"ValueChecked", {this, &TCustomDBCheckBoxKv::ReadValueChecked},
                        {this, &TCustomDBCheckBoxKv::WriteValueChecked}, FValueCheck != STextTrue);
  Filer->DefineProperty(L"ValueUnchecked", {this, &TCustomDBCheckBoxKv::ReadValueUnchecked},
                        {this, &TCustomDBCheckBoxKv::WriteValueUnchecked}, FValueUncheck != STextFalse);
}

void TCustomDBCheckBoxKv::ReadValueChecked(TReader* Reader) { SetValueChecked(Reader->ReadString()); }
void TCustomDBCheckBoxKv::WriteValueChecked(TWriter* Writer) { Writer->WriteString(FValueCheck); }
void TCustomDBCheckBoxKv::ReadValueUnchecked(TReader* Reader) { SetValueUnchecked(Reader->ReadString()); }
void TCustomDBCheckBoxKv::WriteValueUnchecked(TWriter* Writer) { Writer->WriteString(FValueUncheck); }

// ---- Keys and mouse ---------------------------------------------------------------------------

void TCustomDBCheckBoxKv::KeyPress(Char& Key) {
  inherited::KeyPress(Key);
  if (Key == 8 || Key == L' ') FDataLink->Edit();
  else if (Key == 27) FDataLink->Reset();
}

void TCustomDBCheckBoxKv::KeyDown(Word& Key, TShiftState Shift) {
  inherited::KeyDown(Key, Shift);
  if (Key == VK_SPACE && !FToggleKeyDown) {
    FToggleKeyDown = true;
    Invalidate();
  }
}

void TCustomDBCheckBoxKv::KeyUp(Word& Key, TShiftState Shift) {
  inherited::KeyUp(Key, Shift);
  if (Key == VK_SPACE && FToggleKeyDown) {
    FToggleKeyDown = false;
    Invalidate();
  }
}

void TCustomDBCheckBoxKv::WMLButtonDown(TWMMouse& Message) {
  // Taking the focus must not click the box; a box the focus cannot reach is not pressed.
  if (!GetComponentState().Contains(csDesigning) && !Focused()) {
    FClicksDisabled = true;
    try {
      if (CanFocus()) SetFocus();
    } catch (...) {
      FClicksDisabled = false;
      throw;
    }
    FClicksDisabled = false;
    if (!Focused()) return;
  }
  inherited::Dispatch(&Message);
  Invalidate();
}

void TCustomDBCheckBoxKv::RepaintAfter(TMessage& Message) {
  inherited::Dispatch(&Message);
  Invalidate();
}

void TCustomDBCheckBoxKv::CMMouseEnter(TCMMouseEnter& Message) {
  FMouseAboveControl = true;
  Invalidate();
  inherited::Dispatch(&Message);
}

void TCustomDBCheckBoxKv::CMMouseLeave(TCMMouseLeave& Message) {
  FMouseAboveControl = false;
  Invalidate();
  inherited::Dispatch(&Message);
}

void TCustomDBCheckBoxKv::CMCtl3DChanged(TMessage& Message) {
  inherited::Dispatch(&Message);
  if (FHandle) RecreateWnd();
}

void TCustomDBCheckBoxKv::CNCommand(TWMCommand& Message) {
  if (FClicksDisabled) return;
  if (Message.NotifyCode == BN_CLICKED) Toggle();
}

void TCustomDBCheckBoxKv::CMWantSpecialKey(TCMWantSpecialKey& Message) {
  if (Message.CharCode == VK_ESCAPE && FModified) {
    Message.Result = 1;
    return;
  }
  inherited::Dispatch(&Message);
}

void TCustomDBCheckBoxKv::CMExit(TCMExit& Message) {
  try {
    FDataLink->UpdateRecord();
  } catch (...) {
    SetFocus();
    throw;
  }
  inherited::Dispatch(&Message);
}

void TCustomDBCheckBoxKv::CMGetDataLink(TMessage& Message) { Message.Result = LRESULT(FDataLink.get()); }

// ---- Painting ---------------------------------------------------------------------------------

void TCustomDBCheckBoxKv::WMPaint(TWMPaint& Message) {
  FControlState << csCustomPaint;
  try {
    inherited::Dispatch(&Message);
  } catch (...) {
    FControlState >> csCustomPaint;
    throw;
  }
  FControlState >> csCustomPaint;
}

void TCustomDBCheckBoxKv::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  if (!ThemesEnabledKv() || !FHandle) {
    inherited::Dispatch(&Message);
    return;
  }
  // Themed, the box is erased with the brush its static-control colour answers.
  auto Brush = HBRUSH(Perform(CN_CTLCOLORSTATIC, WPARAM(Message.DC), LPARAM(FHandle)));
  RECT R;
  ::GetClientRect(FHandle, &R);
  FillRect(Message.DC, &R, Brush);
  Message.Result = 1;
}

void TCustomDBCheckBoxKv::PaintWindow(HDC DC) {
  TPaintCanvasScopeKv Scope(FCanvas.get(), DC);
  FCanvas->UpdateTextFlags();
  Paint();
}

void TCustomDBCheckBoxKv::Paint() {
  if (FControlState.Contains(csPaintCopy)) {
    DrawCheckBoxAndCaption(GetFieldState(), false, false, false);
    return;
  }
  bool Hot = FMouseAboveControl;
  bool BeingClicked = FHandle && (SendMessageW(FHandle, BM_GETSTATE, 0, 0) & BST_PUSHED);
  DrawCheckBoxAndCaption(FState, Focused(), Hot, (Hot && BeingClicked) || FToggleKeyDown);
}

void TCustomDBCheckBoxKv::DrawCheckBoxAndCaption(TCheckBoxState AState, bool IsFocused, bool IsHot, bool IsPressed) {
  FCanvas->GetBrush()->SetColor(GetStyledSystemColor(GetColor()));
  TRect Client = GetClientRect();
  bool RightToLeft = UseRightToLeftAlignment();
  bool GlyphRight = GetAlignment() == (RightToLeft ? taRightJustify : taLeftJustify);
  TRect Glyph = AlignCheckBoxRect(Client, GlyphRight ? taRightJustify : taLeftJustify, taVerticalCenter);
  TRect Caption = GlyphRight ? TRect(0, 0, Glyph.Left - 5, Client.Height())
                             : TRect(Glyph.Right + 5, 0, Client.Width(), Client.Height());
  DrawCaption(Caption, IsFocused, IsHot, IsPressed);
  DrawCheckBoxGlyph(Glyph, AState, IsPressed, IsHot, IsFocused);
}

void TCustomDBCheckBoxKv::DrawCheckBoxGlyph(const TRect& Rect, TCheckBoxState AState, bool IsPressed, bool IsHot,
                                            bool IsFocused) {
  bool Designing = GetComponentState().Contains(csDesigning);
  bool Active = IsHot || IsFocused || (FAlwaysShowBorder && !ThemesEnabledKv());
  PaintButtonControlKv(FCanvas.get(), Rect, GetColor(), bcsCheckboxKv, IsPressed ? 1 : 0, FFlat, Active,
                       GetEnabled() || Designing, AState, 1.0, true);
}

void TCustomDBCheckBoxKv::DrawCaption(const TRect& Rect, bool IsFocused, bool, bool) {
  TCanvas* C = FCanvas.get();
  C->SetFont(GetFont());
  C->GetFont()->SetColor(GetStyledSystemColor(GetFont()->GetColor()));
  C->GetBrush()->SetColor(GetStyledSystemColor(GetColor()));
  C->GetBrush()->SetStyle(bsClear);
  String Text = GetCaption();
  TTextFormat Format{GetWordWrap() ? tfWordBreak : tfSingleLine};
  if (UseRightToLeftReading()) Format << tfRtlReading;
  TRect TextRect(Rect.Left, 0, Rect.Right, 0);
  if (!GetWordWrap()) TextRect.Right = Rect.Left;
  C->TextRect(TextRect, Text, Format + TTextFormat{tfCalcRect});
  Integer TextWidth = TextRect.Width(), TextHeight = TextRect.Height();
  TextRect.Left = Rect.Left;
  TextRect.Top = GetHeight() / 2 - TextHeight / 2;
  if (UseRightToLeftAlignment() && GetAlignment() == taRightJustify) TextRect.Left = Rect.Right - TextWidth;
  TextRect.Right = TextRect.Left + TextWidth;
  TextRect.Bottom = TextRect.Top + TextHeight;
  if (GetEnabled() || GetComponentState().Contains(csDesigning)) {
    C->TextRect(TextRect, Text, Format);
  } else {
    TRect Shadow(TextRect.Left + 1, TextRect.Top + 1, TextRect.Right + 1, TextRect.Bottom + 1);
    C->GetFont()->SetColor(GetStyledSystemColor(clHighlightText));
    C->TextRect(Shadow, Text, Format);
    C->GetFont()->SetColor(GetStyledSystemColor(clGrayText));
    C->TextRect(TextRect, Text, Format);
  }
  C->GetBrush()->SetStyle(bsSolid);
  if (!IsFocused) return;
  TRect Focus(TextRect.Left - 1, TextRect.Top - 1, TextRect.Right + 1, TextRect.Bottom + 2);
  Focus.Left = std::max(Focus.Left, 0);
  Focus.Top = std::max(Focus.Top, 0);
  Focus.Right = std::min(Focus.Right, GetWidth());
  Focus.Bottom = std::min(Focus.Bottom, GetHeight());
  C->DrawFocusRect(Focus);
}
