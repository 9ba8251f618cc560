// Edit buttons: the control's up/down halves and repeat on driven timer ticks, the glyph styles it
// paints, the button's stored and assigned properties through streaming, its action link, its
// change notices and its collection.

#include "kvlib/foundation/ButtonsKv.h"

#include <gtest/gtest.h>

#include "framework/ActnList.h"
#include "framework/Menus.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"
#include "kvlib/foundation/DropDownFormKv.h"
#include "kvlib/foundation/ToolCtrlsKv.h"

using namespace ctltest;
using namespace buttontest;

// An owner of edit buttons as a grid column would be: one button of its own and a collection,
// streamed with it, and a default draw-back time for the collection.
class TEditButtonsHost : public TComponent, public IEditButtonsOwnerKv {
  DECLARE_CLASS(TEditButtonsHost, TComponent)
 public:
  explicit TEditButtonsHost(TComponent* AOwner)
      : TComponent(AOwner),
        FEditButton(std::make_unique<TVisibleEditButtonKv>(static_cast<TWinControl*>(nullptr))),
        FEditButtons(std::make_unique<TEditButtonsKv>(this, TEditButtonKv::StaticClass())) {
    Action = new TAction(this);
    Action->SetName(L"actFind");
  }
  TVisibleEditButtonKv* GetEditButton() const { return FEditButton.get(); }
  void SetEditButton(TVisibleEditButtonKv* Value) { FEditButton->Assign(Value); }
  TEditButtonsKv* GetEditButtons() const { return FEditButtons.get(); }
  void SetEditButtons(TEditButtonsKv* Value) { FEditButtons->Assign(Value); }
  TEditButtonDrawBackTimeKv GetEditButtonDrawBackTime() override { return DrawBackTime; }

  TAction* Action;
  TEditButtonDrawBackTimeKv DrawBackTime = edbtNeverKv;
  PUBLISHED_DECL(TEditButtonsHost);

 private:
  std::unique_ptr<TVisibleEditButtonKv> FEditButton;
  std::unique_ptr<TEditButtonsKv> FEditButtons;
};

PUBLISHED_DEF(TEditButtonsHost) {
  PROP(EditButton);
  PROP(EditButtons);
}

namespace {

String StreamText(TComponent* C) {
  TMemoryStream Bin, Text;
  Bin.WriteComponent(C);
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  std::string S(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize()));
  return String(S.begin(), S.end());
}

void StreamInto(TComponent* From, TComponent* Into) {
  TMemoryStream M;
  M.WriteComponent(From);
  M.SetPosition(0);
  M.ReadComponent(Into);
}

bool Has(const String& Text, const String& Line) { return Text.find(Line) != String::npos; }

// An edit-button control at (10, 10), 16 x 20, on a form.
struct TControlForm {
  TFormHolder F{100, 60};
  TEditButtonControlKv* C;
  std::vector<bool> Downs;  // TopButton of each down event
  Integer Clicks = 0;
  explicit TControlForm(TEditButtonStyleKv Style) {
    C = new TEditButtonControlKv(F.Form);
    C->SetParent(F.Form);
    C->SetBounds(10, 10, 16, 20);
    C->SetStyle(Style);
    C->SetOnDown([this](TObject*, bool Top, bool&, bool&) { Downs.push_back(Top); });
    C->SetOnClick([this](TObject*) { ++Clicks; });
    F->Show();
  }
  void Post(UINT Msg, WPARAM Keys, Integer X, Integer Y) { PostMouse(F.Form, Msg, Keys, X + 10, Y + 10); }
};

TEST(EditButtonControlKv, UpperHalfRepeatsAfter400ThenEvery100) {
  TControlForm T(ebsUpDownKv);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 8, 3);
  EXPECT_EQ(T.Downs, (std::vector<bool>{true}));
  EXPECT_EQ(T.C->GetButtonNum(), 1);
  TTimer* Timer = OwnedTimer(T.C);
  ASSERT_NE(Timer, nullptr);
  EXPECT_TRUE(Timer->GetEnabled());
  EXPECT_EQ(Timer->GetInterval(), 400u);
  Tick(Timer);
  EXPECT_EQ(Timer->GetInterval(), 100u);
  Tick(Timer);
  EXPECT_EQ(T.Downs, (std::vector<bool>{true, true, true}));
  EXPECT_TRUE(Timer->GetEnabled());
  T.Post(WM_LBUTTONUP, 0, 8, 3);
  EXPECT_FALSE(Timer->GetEnabled());
  EXPECT_EQ(T.C->GetButtonNum(), 0);
  EXPECT_EQ(T.Clicks, 1);
}

TEST(EditButtonControlKv, LowerHalfFiresWithTopButtonFalse) {
  for (TEditButtonStyleKv Style : {ebsUpDownKv, ebsAltUpDownKv}) {
    TControlForm T(Style);
    T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 8, 15);
    EXPECT_EQ(T.C->GetButtonNum(), 2);
    Tick(OwnedTimer(T.C));
    EXPECT_EQ(T.Downs, (std::vector<bool>{false, false}));
    T.Post(WM_LBUTTONUP, 0, 8, 15);
  }
}

TEST(EditButtonControlKv, OtherStylesFireOnceUnlessTheHandlerAsksForRepeats) {
  TControlForm T(ebsEllipsisKv);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 8, 15);
  T.Post(WM_LBUTTONUP, 0, 8, 15);
  EXPECT_EQ(T.Downs, (std::vector<bool>{true}));
  EXPECT_EQ(OwnedTimer(T.C), nullptr) << "no repeat was asked for";
  EXPECT_EQ(T.Clicks, 1);

  Integer Repeats = 0;
  T.C->SetOnDown([&](TObject*, bool, bool& AutoRepeat, bool&) {
    EXPECT_FALSE(AutoRepeat);
    AutoRepeat = ++Repeats < 3;
  });
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 8, 15);
  TTimer* Timer = OwnedTimer(T.C);
  ASSERT_NE(Timer, nullptr);
  EXPECT_EQ(Timer->GetInterval(), 400u);
  Tick(Timer);
  Tick(Timer);
  EXPECT_EQ(Repeats, 3);
  EXPECT_FALSE(Timer->GetEnabled());
  T.Post(WM_LBUTTONUP, 0, 8, 15);
}

TEST(EditButtonControlKv, SlidingIntoTheOtherHalfStopsTheRepeatAndTheClick) {
  TControlForm T(ebsUpDownKv);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 8, 3);
  TTimer* Timer = OwnedTimer(T.C);
  ASSERT_NE(Timer, nullptr);
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 8, 16);
  EXPECT_EQ(T.C->GetState(), bsNormalKv);
  Tick(Timer);
  Tick(Timer);
  EXPECT_EQ(T.Downs.size(), 1u) << "the repeat idles";
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 8, 2);
  EXPECT_EQ(T.C->GetState(), bsPressedKv);
  Tick(Timer);
  EXPECT_EQ(T.Downs, (std::vector<bool>{true, true})) << "back in the upper half it goes on";
  T.Post(WM_MOUSEMOVE, MK_LBUTTON, 8, 16);
  T.Post(WM_LBUTTONUP, 0, 8, 16);
  EXPECT_EQ(T.Clicks, 0);
  EXPECT_FALSE(Timer->GetEnabled());
  EXPECT_EQ(T.C->GetButtonNum(), 0);
}

TEST(EditButtonControlKv, NoDoClickSwallowsTheClick) {
  TControlForm T(ebsEllipsisKv);
  T.C->SetNoDoClick(true);
  T.Post(WM_LBUTTONDOWN, MK_LBUTTON, 8, 8);
  T.Post(WM_LBUTTONUP, 0, 8, 8);
  EXPECT_EQ(T.Clicks, 0);
  EXPECT_EQ(T.Downs.size(), 1u);
}

class EditButtonControlKvPainting : public ClassicLook {};

TEST_F(EditButtonControlKvPainting, EachStylePaintsItsGlyph) {
  struct {
    TEditButtonStyleKv Style;
    TDrawButtonControlStyleKv Drawn;
  } Cases[] = {{ebsDropDownKv, bcsDropDownKv}, {ebsEllipsisKv, bcsEllipsisKv}, {ebsUpDownKv, bcsUpDownKv},
               {ebsPlusKv, bcsPlusKv},         {ebsMinusKv, bcsMinusKv},       {ebsAltDropDownKv, bcsAltDropDownKv},
               {ebsAltUpDownKv, bcsAltUpDownKv}};
  for (auto& C : Cases) {
    TControlForm T(C.Style);
    auto Shot = PaintForm(T.F.Form);
    TBitmap Expected(16, 20);
    Expected.GetCanvas()->GetBrush()->SetColor(T.F->GetColor());
    Expected.GetCanvas()->FillRect(TRect(0, 0, 16, 20));
    PaintButtonControlKv(Expected.GetCanvas(), TRect(0, 0, 16, 20), clWindow, C.Drawn, 0, false, false, true,
                         cbUnchecked, 1.0, true);
    Integer Differ = 0;
    for (Integer Y = 0; Y < 20; ++Y)
      for (Integer X = 0; X < 16; ++X)
        Differ += (Shot->GetCanvas()->GetPixel(10 + X, 10 + Y) & 0xFFFFFF) !=
                  (Expected.GetCanvas()->GetPixel(X, Y) & 0xFFFFFF);
    EXPECT_EQ(Differ, 0) << int(C.Style);
  }
}

TEST_F(EditButtonControlKvPainting, DrawBackTimeDecidesTheFace) {
  TControlForm T(ebsEllipsisKv);
  T.F->SetColor(clWhite);
  auto Face = [&] { return PixelOf(T.F.Form, 10 + 3, 10 + 3); };
  EXPECT_EQ(Face(), TColor(ColorToRGB(clBtnFace))) << "edbtAlwaysKv";
  T.C->SetDrawBackTime(edbtNeverKv);
  EXPECT_EQ(Face(), clWhite);
  T.C->SetDrawBackTime(edbtWhenHotKv);
  EXPECT_EQ(Face(), clWhite);
  T.Post(WM_MOUSEMOVE, 0, 8, 8);
  EXPECT_EQ(Face(), TColor(ColorToRGB(clBtnFace))) << "hot";
}

TEST_F(EditButtonControlKvPainting, GlyphStyleImagesMoveDownWhileHeldDown) {
  TControlForm T(ebsGlyphKv);
  auto Images = SolidImages({clRed}, 4, 4);
  T.C->GetOwnImages()->SetNormalImages(Images.get());
  // The red square lies centred: columns 6 to 9, rows 8 to 11.
  auto Shot = PaintForm(T.F.Form);
  EXPECT_EQ(Shot->GetCanvas()->GetPixel(10 + 6, 10 + 8) & 0xFFFFFF, clRed);
  EXPECT_NE(Shot->GetCanvas()->GetPixel(10 + 10, 10 + 12) & 0xFFFFFF, clRed);
  T.C->SetAlwaysDown(true);
  EXPECT_EQ(T.C->GetButtonNum(), 1);
  Shot = PaintForm(T.F.Form);
  EXPECT_NE(Shot->GetCanvas()->GetPixel(10 + 6, 10 + 8) & 0xFFFFFF, clRed);
  EXPECT_EQ(Shot->GetCanvas()->GetPixel(10 + 10, 10 + 12) & 0xFFFFFF, clRed);
  // The edit button's own images, when given, are drawn instead.
  TEditButtonKv Button(static_cast<TWinControl*>(nullptr));
  auto Blue = SolidImages({clBlue}, 4, 4);
  Button.GetImages()->SetNormalImages(Blue.get());
  T.C->SetExternalImages(Button.GetImages());
  EXPECT_EQ(PixelOf(T.F.Form, 10 + 10, 10 + 12), clBlue);
  T.C->SetExternalImages(nullptr);
}

TEST(EditButtonKv, NumGlyphsStaysBetweenOneAndFour) {
  TEditButtonKv B(static_cast<TWinControl*>(nullptr));
  struct {
    Integer Set, Got;
  } Cases[] = {{0, 1}, {9, 4}, {-3, 1}, {3, 3}, {4, 4}};
  for (auto& C : Cases) {
    B.SetNumGlyphs(C.Set);
    EXPECT_EQ(B.GetNumGlyphs(), C.Got) << C.Set;
  }
}

TEST(EditButtonKv, DefaultsOfTheThreeKinds) {
  TEditButtonKv Plain(static_cast<TWinControl*>(nullptr));
  TDropDownEditButtonKv DropDown(static_cast<TWinControl*>(nullptr));
  TVisibleEditButtonKv Visible(static_cast<TWinControl*>(nullptr));
  EXPECT_EQ(Plain.GetShortCut(), 0);
  EXPECT_FALSE(Plain.GetVisible());
  EXPECT_EQ(DropDown.GetShortCut(), TextToShortCut(L"Alt+Down"));
  EXPECT_FALSE(DropDown.GetVisible());
  EXPECT_EQ(Visible.GetShortCut(), 32808);
  EXPECT_TRUE(Visible.GetVisible());
  EXPECT_TRUE(Plain.GetEnabled());
  EXPECT_EQ(Plain.GetStyle(), ebsDropDownKv);
  EXPECT_TRUE(Plain.GetGlyph()->GetTransparent());
  EXPECT_EQ(Plain.GetDropDownFormParams()->GetAlign(), daCenter);
  EXPECT_EQ(Plain.GetDropDownFormParams()->GetPassParams(), pspFieldValueKv);
}

TEST(EditButtonKv, DrawBackTimeComesFromTheCollectionOwnerUntilAssigned) {
  TEditButtonsHost Host(nullptr);
  TEditButtonKv* Item = Host.GetEditButtons()->Add();
  EXPECT_EQ(Item->GetDrawBackTime(), edbtNeverKv);
  Host.DrawBackTime = edbtWhenHotKv;
  EXPECT_EQ(Item->GetDrawBackTime(), edbtWhenHotKv);
  EXPECT_EQ(Host.GetEditButton()->GetDrawBackTime(), edbtAlwaysKv) << "no collection: always";
  EXPECT_FALSE(Item->GetDrawBackTimeStored());

  Item->SetDrawBackTimeStored(true);  // takes the default in
  Host.DrawBackTime = edbtNeverKv;
  EXPECT_EQ(Item->GetDrawBackTime(), edbtWhenHotKv);
  Item->SetDrawBackTimeStored(false);
  EXPECT_EQ(Item->GetDrawBackTime(), edbtNeverKv);
  Item->SetDrawBackTime(edbtAlwaysKv);
  EXPECT_TRUE(Item->GetDrawBackTimeStored());
  EXPECT_EQ(Item->GetDrawBackTime(), edbtAlwaysKv);
}

TEST(EditButtonKv, DefaultActionIsTheOwnersUntilAssigned) {
  TEditButtonKv B(static_cast<TWinControl*>(nullptr));
  EXPECT_FALSE(B.GetDefaultAction());
  B.SetOwnerDefaultAction(true);
  EXPECT_TRUE(B.GetDefaultAction());
  EXPECT_FALSE(B.IsDefaultActionStored());
  B.SetDefaultAction(false);
  EXPECT_FALSE(B.GetDefaultAction());
  EXPECT_TRUE(B.IsDefaultActionStored());
}

TEST(EditButtonKvStreaming, OnlyAssignedAndChangedValuesAreWritten) {
  TEditButtonsHost Host(nullptr);
  Host.SetName(L"Host");
  String Plain = StreamText(&Host);
  for (const wchar_t* Absent : {L"DrawBackTime", L"DefaultAction", L"ShortCut", L"Visible", L"Enabled", L"Style"})
    EXPECT_FALSE(Has(Plain, Absent)) << Absent << "\n" << Plain;

  TVisibleEditButtonKv* B = Host.GetEditButton();
  B->SetDrawBackTime(edbtWhenHotKv);
  B->SetDefaultAction(false);
  B->SetVisible(false);
  B->SetShortCut(0);
  B->SetStyle(ebsEllipsisKv);
  B->SetHint(L"Klasör seç");
  B->GetDropDownFormParams()->SetDropDownFormClassName(L"TMemoFormKv");
  B->GetDropDownFormParams()->SetFormWidth(300);
  TEditButtonKv* Item = Host.GetEditButtons()->Add();
  Item->SetStyle(ebsPlusKv);
  Item->SetWidth(12);
  String Text = StreamText(&Host);
  for (const wchar_t* Line : {L"DrawBackTime = edbtWhenHotKv", L"DefaultAction = False", L"Visible = False",
                              L"ShortCut = 0", L"Style = ebsEllipsisKv", L"DropDownFormClassName = 'TMemoFormKv'",
                              L"FormWidth = 300", L"Style = ebsPlusKv", L"Width = 12"})
    EXPECT_TRUE(Has(Text, Line)) << Line << "\n" << Text;
  EXPECT_FALSE(Has(Text, L"DrawBackTimeStored"));

  TEditButtonsHost Copy(nullptr);
  StreamInto(&Host, &Copy);
  TVisibleEditButtonKv* C = Copy.GetEditButton();
  EXPECT_TRUE(C->GetDrawBackTimeStored());
  EXPECT_EQ(C->GetDrawBackTime(), edbtWhenHotKv);
  EXPECT_TRUE(C->IsDefaultActionStored());
  EXPECT_FALSE(C->GetVisible());
  EXPECT_EQ(C->GetShortCut(), 0);
  EXPECT_EQ(C->GetStyle(), ebsEllipsisKv);
  EXPECT_EQ(C->GetHint(), L"Klasör seç");
  EXPECT_EQ(C->GetDropDownFormParams()->GetFormWidth(), 300);
  ASSERT_EQ(Copy.GetEditButtons()->GetCount(), 1);
  EXPECT_EQ(Copy.GetEditButtons()->GetItem(0)->GetStyle(), ebsPlusKv);
  EXPECT_FALSE(Copy.GetEditButtons()->GetItem(0)->GetDrawBackTimeStored());
}

TEST(EditButtonKvStreaming, LinkedValuesAreLeftToTheAction) {
  TEditButtonsHost Host(nullptr);
  Host.SetName(L"Host");
  Host.Action->SetHint(L"Bul");
  Host.Action->SetEnabled(false);
  TEditButtonKv* B = Host.GetEditButtons()->Add();
  B->SetAction(Host.Action);
  EXPECT_EQ(B->GetHint(), L"Bul");
  EXPECT_FALSE(B->GetEnabled());
  EXPECT_TRUE(B->GetVisible()) << "an action's properties are taken whole outside loading";
  EXPECT_FALSE(B->IsHintStored());
  EXPECT_FALSE(B->IsEnabledStored());
  String Text = StreamText(&Host);
  EXPECT_TRUE(Has(Text, L"Action = actFind")) << Text;
  EXPECT_FALSE(Has(Text, L"Hint")) << Text;

  TEditButtonsHost Copy(nullptr);
  Copy.Action->SetHint(L"Bul");
  StreamInto(&Host, &Copy);
  ASSERT_EQ(Copy.GetEditButtons()->GetCount(), 1);
  EXPECT_EQ(Copy.GetEditButtons()->GetItem(0)->GetAction(), Copy.Action);
  EXPECT_EQ(Copy.GetEditButtons()->GetItem(0)->GetHint(), L"Bul");
}

TEST(EditButtonKv, ActionChangesReachTheButtonWhileItsValueIsTheActions) {
  TEditButtonsHost Host(nullptr);
  TEditButtonKv* B = Host.GetEditButtons()->Add();
  Host.Action->SetHint(L"Bul");
  B->SetAction(Host.Action);
  Host.Action->SetHint(L"Ara");
  EXPECT_EQ(B->GetHint(), L"Ara");
  Host.Action->SetShortCut(TextToShortCut(L"F3"));
  EXPECT_EQ(B->GetShortCut(), TextToShortCut(L"F3"));
  Host.Action->SetVisible(false);
  EXPECT_FALSE(B->GetVisible());
  // Once the button holds a value of its own, the action no longer sets that one.
  B->SetHint(L"Kendi ipucu");
  EXPECT_TRUE(B->IsHintStored());
  // The action's own change event still copies all four.
  Host.Action->SetEnabled(false);
  EXPECT_EQ(B->GetHint(), L"Ara");
  EXPECT_FALSE(B->GetEnabled());
  B->SetAction(nullptr);
  EXPECT_EQ(B->GetActionLink(), nullptr);
}

TEST(EditButtonKv, ActionsTakenWhileLoadingKeepTheButtonsOwnValues) {
  TEditButtonKv B(static_cast<TWinControl*>(nullptr));
  B.SetHint(L"Kendi");
  B.SetShortCut(TextToShortCut(L"F4"));
  TAction A(nullptr);
  A.SetHint(L"Eylem");
  A.SetShortCut(TextToShortCut(L"F5"));
  A.SetEnabled(false);
  TAction L(nullptr);
  L.SetHint(L"Eylem");
  L.SetEnabled(false);
  L.SetState(csLoading, true);
  B.SetAction(&L);
  EXPECT_EQ(B.GetHint(), L"Kendi");
  EXPECT_EQ(B.GetShortCut(), TextToShortCut(L"F4"));
  EXPECT_FALSE(B.GetEnabled()) << "Enabled still held its default";
  B.SetAction(nullptr);
  B.SetAction(&A);
  EXPECT_EQ(B.GetHint(), L"Eylem");
  EXPECT_EQ(B.GetShortCut(), TextToShortCut(L"F5"));
  B.SetAction(nullptr);
}

TEST(EditButtonKv, ClickRunsOnClickElseTheActionForTheEditControl) {
  TFormHolder F;
  TAction A(nullptr);
  TComponent* RanFor = nullptr;
  Integer Runs = 0;
  A.SetOnExecute([&](TObject*) {
    ++Runs;
    RanFor = A.GetActionComponent();
  });
  TEditButtonKv Own(static_cast<TWinControl*>(F.Form));
  bool Handled = false;
  Own.Click(&Own, Handled);
  EXPECT_FALSE(Handled) << "neither an event nor an action";
  Own.SetAction(&A);
  Own.Click(&Own, Handled);
  EXPECT_TRUE(Handled);
  EXPECT_EQ(RanFor, F.Form);

  TEditButtonsHost Host(nullptr);
  TEditButtonKv* Item = Host.GetEditButtons()->Add();
  Item->SetAction(&A);
  Handled = false;
  Item->Click(Item, Handled);
  EXPECT_EQ(RanFor, &Host) << "a collection item runs it for the collection's owner";
  EXPECT_EQ(Runs, 2);

  Item->SetOnClick([](TObject*, bool& H) { H = false; });
  Handled = true;
  Item->Click(Item, Handled);
  EXPECT_FALSE(Handled);
  EXPECT_EQ(Runs, 2) << "OnClick decides alone";
  Item->SetAction(nullptr);
  Own.SetAction(nullptr);
}

TEST(EditButtonKv, AFreedActionLeavesTheButtonWithout) {
  TEditButtonKv B(static_cast<TWinControl*>(nullptr));
  auto* A = new TAction(nullptr);
  B.SetAction(A);
  delete A;
  EXPECT_EQ(B.GetAction(), nullptr);
  bool Handled = false;
  B.Click(&B, Handled);
  EXPECT_FALSE(Handled);
}

TEST(EditButtonKv, SettersReportChangesToTheOwner) {
  TEditButtonsHost Host(nullptr);
  TEditButtonsKv* Buttons = Host.GetEditButtons();
  TEditButtonKv* B = Buttons->Add();
  std::vector<TObject*> Heard;
  Buttons->SetOnChanged([&](TObject* Item) { Heard.push_back(Item); });
  struct {
    const char* What;
    std::function<void()> Set;
    bool Reports;
  } Cases[] = {
      {"Style", [&] { B->SetStyle(ebsMinusKv); }, true},
      {"same Style", [&] { B->SetStyle(ebsMinusKv); }, false},
      {"Width", [&] { B->SetWidth(20); }, true},
      {"Visible", [&] { B->SetVisible(true); }, true},
      {"Enabled", [&] { B->SetEnabled(false); }, true},
      {"Hint", [&] { B->SetHint(L"İpucu"); }, true},
      {"NumGlyphs", [&] { B->SetNumGlyphs(2); }, true},
      {"clamped NumGlyphs", [&] { B->SetNumGlyphs(2); }, false},
      {"Glyph", [&] { B->SetGlyph(B->GetGlyph()); }, true},
      {"ShortCut", [&] { B->SetShortCut(5); }, false},
      {"OnClick", [&] { B->SetOnClick([](TObject*, bool&) {}); }, true},
      {"image index", [&] { B->GetImages()->SetHotIndex(3); }, true},
  };
  for (auto& C : Cases) {
    Heard.clear();
    C.Set();
    EXPECT_EQ(Heard.size(), C.Reports ? 1u : 0u) << C.What;
    if (C.Reports && !Heard.empty()) EXPECT_EQ(Heard[0], B) << C.What;
  }
  // The button's own handler takes the notice instead of the collection.
  Integer Own = 0;
  B->SetOnChanged([&](TObject*) { ++Own; });
  Heard.clear();
  B->SetWidth(21);
  EXPECT_EQ(Own, 1);
  EXPECT_TRUE(Heard.empty());
}

TEST(EditButtonKv, ImageListChangesReportTheReferencedComponent) {
  TEditButtonsHost Host(nullptr);
  TEditButtonKv* B = Host.GetEditButtons()->Add();
  TComponent* Referenced = nullptr;
  Host.GetEditButtons()->SetOnRefComponentChanged([&](TObject*, TComponent* C) { Referenced = C; });
  TImageList L(nullptr);
  B->GetImages()->SetPressedImages(&L);
  EXPECT_EQ(Referenced, &L);
  TComponent* Own = nullptr;
  B->SetOnRefComponentChanged([&](TObject*, TComponent* C) { Own = C; });
  B->GetImages()->SetPressedImages(nullptr);
  EXPECT_EQ(Own, nullptr);
  B->GetImages()->SetNormalImages(&L);
  EXPECT_EQ(Own, &L);
}

TEST(EditButtonKv, AssignCopiesThePropertiesThroughTheSetters) {
  TPopupMenu Menu(nullptr);
  TEditButtonKv From(static_cast<TWinControl*>(nullptr)), To(static_cast<TWinControl*>(nullptr));
  From.SetDropdownMenu(&Menu);
  From.SetStyle(ebsAltUpDownKv);
  From.SetWidth(14);
  From.SetHint(L"Sayı");
  From.SetShortCut(7);
  From.SetVisible(true);
  From.SetEnabled(false);
  From.SetNumGlyphs(3);
  From.GetImages()->SetDisabledIndex(2);
  To.Assign(&From);
  EXPECT_EQ(To.GetDropdownMenu(), &Menu);
  EXPECT_EQ(To.GetStyle(), ebsAltUpDownKv);
  EXPECT_EQ(To.GetWidth(), 14);
  EXPECT_EQ(To.GetHint(), L"Sayı");
  EXPECT_EQ(To.GetShortCut(), 7);
  EXPECT_TRUE(To.GetVisible());
  EXPECT_FALSE(To.GetEnabled());
  EXPECT_EQ(To.GetNumGlyphs(), 3);
  EXPECT_EQ(To.GetImages()->GetDisabledIndex(), 2);
}

TEST(EditButtonKv, ControlIsMadeForTheEditControl) {
  TFormHolder F;
  TEditButtonKv B(static_cast<TWinControl*>(F.Form));
  TEditButtonControlKv* C = B.CreateEditButtonControl();
  EXPECT_EQ(C->GetOwner(), F.Form);
  EXPECT_EQ(C->GetParent(), F.Form);
  EXPECT_EQ(C->GetWidth(), 10);
  EXPECT_EQ(C->GetHeight(), 17);
  EXPECT_TRUE(C->GetVisible());
  EXPECT_FALSE(C->GetTransparent());
  EXPECT_TRUE(C->GetControlStyle().Contains(csReplicatable));
  EXPECT_TRUE(C->GetAdvancedPaint());
}

TEST(EditButtonKv, AFreedDropdownMenuIsForgotten) {
  TEditButtonKv B(static_cast<TWinControl*>(nullptr));
  auto* Menu = new TPopupMenu(nullptr);
  B.SetDropdownMenu(Menu);
  delete Menu;
  EXPECT_EQ(B.GetDropdownMenu(), nullptr);
}

}  // namespace
