#pragma once
// A small form-like family of components declared only through published-property tables,
// shared by the streaming and TypInfo tests.

#include "framework/Classes.h"
#include "framework/Variants.h"

DECLARE_ENUM(TDemoAlign, daNone, daTop, daBottom, daClient)
DECLARE_ENUM(TDemoStyle, dsBold, dsItalic, dsUnderline, dsStrikeOut)
using TDemoStyles = Set<TDemoStyle, 32>;

// Live instances, so that tests can tell a leak from a free.
inline int& DemoLiveCount() {
  static int N = 0;
  return N;
}

class TDemoFont : public TPersistent {
  DECLARE_CLASS(TDemoFont, TPersistent)
 public:
  String GetName() const { return FName; }
  void SetName(const String& V) { FName = V; }
  Integer GetSize() const { return FSize; }
  void SetSize(Integer V) { FSize = V; }
  TDemoStyles GetStyle() const { return FStyle; }
  void SetStyle(TDemoStyles V) { FStyle = V; }
  void Assign(TPersistent* Source) override {
    if (auto* F = dynamic_cast<TDemoFont*>(Source)) {
      FName = F->FName, FSize = F->FSize, FStyle = F->FStyle;
      return;
    }
    inherited::Assign(Source);
  }
  PUBLISHED_DECL(TDemoFont);

 private:
  String FName = L"Tahoma";
  Integer FSize = 8;
  TDemoStyles FStyle;
};

class TDemoColumn : public TCollectionItem {
  DECLARE_CLASS(TDemoColumn, TCollectionItem)
 public:
  using TCollectionItem::TCollectionItem;
  String GetCaption() const { return FCaption; }
  void SetCaption(const String& V) { FCaption = V; }
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer V) { FWidth = V; }
  TDemoAlign GetAlign() const { return FAlign; }
  void SetAlign(TDemoAlign V) { FAlign = V; }
  void Assign(TPersistent* Source) override {
    if (auto* C = dynamic_cast<TDemoColumn*>(Source)) {
      FCaption = C->FCaption, FWidth = C->FWidth, FAlign = C->FAlign;
      return;
    }
    inherited::Assign(Source);
  }
  PUBLISHED_DECL(TDemoColumn);

 private:
  String FCaption;
  Integer FWidth = 64;
  TDemoAlign FAlign = daNone;
};

class TDemoPanel;

// A control: a component with a parent panel (or the form itself) and every kind of property.
class TDemoControl : public TComponent {
  DECLARE_CLASS(TDemoControl, TComponent)
 public:
  explicit TDemoControl(TComponent* AOwner);
  ~TDemoControl() override;

  String GetCaption() const { return FCaption; }
  void SetCaption(const String& V) { FCaption = V; }
  Integer GetLeft() const { return FLeft; }
  void SetLeft(Integer V) { FLeft = V; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool V) { FVisible = V; }
  TDemoAlign GetAlign() const { return FAlign; }
  void SetAlign(TDemoAlign V) { FAlign = V; }
  TDemoStyles GetOptions() const { return FOptions; }
  void SetOptions(TDemoStyles V) { FOptions = V; }
  double GetRatio() const { return FRatio; }
  void SetRatio(double V) { FRatio = V; }
  Single GetScale() const { return FScale; }
  void SetScale(Single V) { FScale = V; }
  Currency GetPrice() const { return FPrice; }
  void SetPrice(Currency V) { FPrice = V; }
  TDateTime GetWhen() const { return FWhen; }
  void SetWhen(TDateTime V) { FWhen = V; }
  Int64 GetBig() const { return FBig; }
  void SetBig(Int64 V) { FBig = V; }
  Char GetLetter() const { return FLetter; }
  void SetLetter(Char V) { FLetter = V; }
  TDemoFont* GetFont() const { return FFont.get(); }
  void SetFont(TDemoFont* V) { FFont->Assign(V); }
  TOwnedCollection* GetColumns() const { return FColumns.get(); }
  void SetColumns(TOwnedCollection* V) { FColumns->Assign(V); }
  TStringList* GetLines() const { return FLines.get(); }
  void SetLines(TStringList* V) { FLines->Assign(V); }
  TDemoControl* GetBuddy() const { return FBuddy; }
  void SetBuddy(TDemoControl* V) { FBuddy = V; }
  String GetHint() const { return FHint; }
  void SetHint(const String& V) { FHint = V; }
  bool IsHintStored() const { return FHint != L"-"; }
  String GetScratch() const { return FScratch; }
  void SetScratch(const String& V) { FScratch = V; }
  TNotifyEvent GetOnClick() const { return FOnClick; }
  void SetOnClick(TNotifyEvent V) { FOnClick = V; }
  Variant GetValue() const { return FValue; }
  void SetValue(const Variant& V) { FValue = V; }
  Integer GetShade() const { return FShade; }
  void SetShade(Integer V) { FShade = V; }
  static bool IdentToShade(const String& Ident, Integer& V) {
    if (Ident == L"shDark") return V = 0x202020, true;
    return false;
  }
  static bool ShadeToIdent(Integer V, String& Ident) {
    if (V == 0x202020) return Ident = L"shDark", true;
    return false;
  }
  TBytes Data;  // streamed as the binary property "Data"
  TDemoPanel* Parent = nullptr;

  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  int LoadedCount = 0;
  void Loaded() override {
    inherited::Loaded();
    ++LoadedCount;
  }

  PUBLISHED_DECL(TDemoControl);

 protected:
  void DefineProperties(TFiler* Filer) override {
    inherited::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        L"Data",
        [this](TStream* S) {
          Data.resize(size_t(S->GetSize()));
          if (!Data.empty()) S->ReadBuffer(Data.data(), Integer(Data.size()));
        },
        [this](TStream* S) { S->WriteBuffer(Data.data(), Integer(Data.size())); }, !Data.empty());
  }

 private:
  String FCaption, FHint, FScratch;
  Integer FLeft = 0;
  bool FVisible = true;
  TDemoAlign FAlign = daNone;
  TDemoStyles FOptions{dsBold};
  double FRatio = 0;
  Single FScale = 0;
  Currency FPrice;
  TDateTime FWhen;
  Int64 FBig = 0;
  Char FLetter = L'A';
  std::unique_ptr<TDemoFont> FFont = std::make_unique<TDemoFont>();
  std::unique_ptr<TOwnedCollection> FColumns;
  std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
  TComponentRef<TDemoControl> FBuddy;  // null once the buddy is freed
  TNotifyEvent FOnClick;
  Variant FValue;
  Integer FShade = 0;
};

// A control that holds others: its children are streamed inside it.
class TDemoPanel : public TDemoControl {
  DECLARE_CLASS(TDemoPanel, TDemoControl)
 public:
  using TDemoControl::TDemoControl;
  ~TDemoPanel() override {
    for (auto* C : Children) C->Parent = nullptr;
  }
  std::vector<TDemoControl*> Children;
  void GetChildren(TGetChildProc Proc, TComponent* Root) override {
    for (auto* C : Children)
      if (C->GetOwner() == Root) Proc(C);
  }
  void SetChildOrder(TComponent* Child, Integer Order) override {
    auto It = std::find(Children.begin(), Children.end(), Child);
    if (It == Children.end() || Order < 0 || Order >= Integer(Children.size())) return;
    Children.erase(It);
    Children.insert(Children.begin() + Order, static_cast<TDemoControl*>(Child));
  }
};

inline TDemoControl::TDemoControl(TComponent* AOwner)
    : TComponent(AOwner), FColumns(std::make_unique<TOwnedCollection>(this, TDemoColumn::StaticClass())) {
  ++DemoLiveCount();
}
inline TDemoControl::~TDemoControl() {
  SetParentComponent(nullptr);
  --DemoLiveCount();
}
inline TComponent* TDemoControl::GetParentComponent() const { return Parent; }
inline void TDemoControl::SetParentComponent(TComponent* Value) {
  if (Parent) Parent->Children.erase(std::find(Parent->Children.begin(), Parent->Children.end(), this));
  Parent = dynamic_cast<TDemoPanel*>(Value);
  if (Parent) Parent->Children.push_back(this);
}

// A form: the root; its own controls (those without a parent) are its children.
class TDemoForm : public TComponent {
  DECLARE_CLASS(TDemoForm, TComponent)
 public:
  explicit TDemoForm(TComponent* AOwner) : TComponent(AOwner) { ++DemoLiveCount(); }
  ~TDemoForm() override { --DemoLiveCount(); }
  String GetCaption() const { return FCaption; }
  void SetCaption(const String& V) { FCaption = V; }
  TNotifyEvent GetOnShow() const { return FOnShow; }
  void SetOnShow(TNotifyEvent V) { FOnShow = V; }
  std::vector<String> Clicks;
  void ButtonClick(TObject* Sender) { Clicks.push_back(static_cast<TComponent*>(Sender)->GetName()); }
  void FormShow(TObject*) { Clicks.push_back(L"show"); }
  void GetChildren(TGetChildProc Proc, TComponent* Root) override {
    for (Integer I = 0; I < GetComponentCount(); ++I) {
      TComponent* C = GetComponents(I);
      if (!C->HasParent() || !C->GetParentComponent()) Proc(C);
    }
    (void)Root;
  }
  void SetChildOrder(TComponent* Child, Integer Order) override { Child->SetComponentIndex(Order); }
  TComponent* GetChildParent() override { return nullptr; }

  PUBLISHED_DECL(TDemoForm);

 private:
  String FCaption;
  TNotifyEvent FOnShow;
};

inline void RegisterDemoClasses() {
  RegisterClasses({TDemoForm::StaticClass(), TDemoControl::StaticClass(), TDemoPanel::StaticClass()});
}
