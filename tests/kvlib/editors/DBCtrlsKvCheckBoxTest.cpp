// The data-aware check box: how field values and its own value map to its state, what posting
// writes, the errors a refused value or a dataset that cannot edit give, clicks and keys as a user
// makes them (posted messages), the exit that posts, the stored value lists, and its painting.

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/DB.h"
#include "framework/StdCtrls.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"
#include "kvlib/foundation/ToolCtrlsKv.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;
using namespace buttontest;

namespace {

// One record with a text and a Boolean field, a source, and a box made without a window.
struct TCheckBoxData {
  TArrayDataSet DS{nullptr};
  TDataSource Source{nullptr};
  std::unique_ptr<TDBCheckBoxKv> Box = std::make_unique<TDBCheckBoxKv>(nullptr);

  explicit TCheckBoxData(const Variant& Text = Null, const Variant& Flag = Null) {
    DS.GetFieldDefs()->Add(L"TEXT", ftWideString, 10);
    DS.GetFieldDefs()->Add(L"FLAG", ftBoolean);
    DS.Open();
    DS.AppendRecord({Text, Flag});
    Source.SetDataSet(&DS);
  }
  ~TCheckBoxData() { Box.reset(); }
  void Bind(const String& Field, const String& Checked = L"", const String& Unchecked = L"") {
    if (!Checked.empty()) Box->SetValueChecked(Checked);
    if (!Unchecked.empty()) Box->SetValueUnchecked(Unchecked);
    Box->SetDataSource(&Source);
    Box->SetDataField(Field);
  }
  TField* Field(const String& Name) { return DS.FieldByName(Name); }
};

String CheckStateName(TCheckBoxState S) { return S == cbChecked ? L"checked" : S == cbUnchecked ? L"unchecked" : L"grayed"; }

TEST(DBCheckBoxMapping, FieldTextsMatchTheValueListsIgnoringCase) {
  struct TCase {
    const wchar_t* Checked;
    const wchar_t* Unchecked;
    Variant Text;
    TCheckBoxState Expected;
  };
  const TCase Cases[] = {
      {L"Yes;Y;1", L"No;N;0", L"yes", cbChecked},
      {L"Yes;Y;1", L"No;N;0", L"y", cbChecked},
      {L"Yes;Y;1", L"No;N;0", L"0", cbUnchecked},
      {L"Yes;Y;1", L"No;N;0", L"maybe", cbGrayed},
      {L"Yes;Y;1", L"No;N;0", L"", cbGrayed},
      {L"Yes;Y;1", L"No;N;0", Null, cbGrayed},
      {L"Yes;Y;1", L"No;N;0;", L"", cbUnchecked},  // the empty last item
      {L"Yes;Y;1", L"No;N;0;", Null, cbUnchecked},
      {L" Evet ; E ", L"Hayır", L"e", cbChecked},    // items are trimmed
      {L"Evet", L"Hayır", L"HAYIR", cbUnchecked},
      {L"Yes;Y;1", L"No;N;0", L"Yes;Y", cbGrayed},  // a whole item, not a piece of the list
  };
  for (const TCase& C : Cases) {
    TCheckBoxData T(C.Text);
    T.Bind(L"TEXT", C.Checked, C.Unchecked);
    EXPECT_EQ(CheckStateName(T.Box->GetState()), CheckStateName(C.Expected))
        << "'" << VarToStr(C.Text) << "' against " << C.Checked << " / " << C.Unchecked;
  }
}

TEST(DBCheckBoxMapping, BooleanFieldIsReadDirectlyOnlyWithTheDefaultLists) {
  struct TCase {
    Variant Flag;
    const wchar_t* Checked;
    TCheckBoxState Expected;
  };
  const TCase Cases[] = {
      {true, L"", cbChecked},
      {false, L"", cbUnchecked},
      {Null, L"", cbGrayed},
      {true, L"Doğru;True", cbChecked},  // other lists: matched by the field's text
      {true, L"Evet", cbGrayed},
      {false, L"Evet", cbUnchecked},
  };
  for (const TCase& C : Cases) {
    TCheckBoxData T(Null, C.Flag);
    T.Bind(L"FLAG", C.Checked);
    EXPECT_EQ(CheckStateName(T.Box->GetState()), CheckStateName(C.Expected)) << VarToStr(C.Flag) << " with " << C.Checked;
  }
}

TEST(DBCheckBoxPosting, WritesTheFirstItemClearsOrWritesTheBoolean) {
  struct TCase {
    const wchar_t* Field;
    TCheckBoxState State;
    Variant Expected;
  };
  const TCase Cases[] = {
      {L"TEXT", cbChecked, L"Yes"},   {L"TEXT", cbUnchecked, L"No"}, {L"TEXT", cbGrayed, Null},
      {L"FLAG", cbChecked, true},     {L"FLAG", cbUnchecked, false}, {L"FLAG", cbGrayed, Null},
  };
  for (const TCase& C : Cases) {
    // Start from the opposite value, so that every write shows.
    TCheckBoxData T(C.State == cbGrayed ? Variant(L"Y") : Variant(L"maybe"), C.State == cbGrayed ? Variant(true) : Null);
    // The Boolean field keeps the default lists, which read it as a Boolean too.
    if (String(C.Field) == L"TEXT") T.Bind(C.Field, L" Yes ;Y;1", L"No;N;0");
    else T.Bind(C.Field);
    T.Box->SetState(C.State);
    EXPECT_EQ(T.DS.GetState(), dsEdit);
    Variant V = T.Field(C.Field)->GetValue();
    EXPECT_TRUE(VarIsNull(C.Expected) ? VarIsNull(V) : !VarIsNull(V) && VarToStr(V) == VarToStr(C.Expected))
        << C.Field << " " << CheckStateName(C.State) << ": " << VarToStr(V);
    EXPECT_EQ(T.Box->GetState(), C.State);
  }
}

TEST(DBCheckBoxPosting, UnboundBoxHoldsTrueFalseOrNull) {
  TCheckBoxData T;
  EXPECT_EQ(T.Box->GetState(), cbUnchecked);
  EXPECT_TRUE(DBVarValuesEqual(T.Box->GetDataLink()->DataIndependentValue, false));
  struct TStep {
    std::function<void(TDBCheckBoxKv*)> Set;
    Variant Value;
    bool Checked;
  };
  const TStep Steps[] = {
      {[](TDBCheckBoxKv* B) { B->SetChecked(true); }, true, true},
      {[](TDBCheckBoxKv* B) { B->SetState(cbGrayed); }, Null, false},
      {[](TDBCheckBoxKv* B) { B->SetChecked(false); }, false, false},
      {[](TDBCheckBoxKv* B) { B->SetState(cbChecked); }, true, true},
  };
  for (const TStep& S : Steps) {
    S.Set(T.Box.get());
    const Variant& V = T.Box->GetDataLink()->DataIndependentValue;
    EXPECT_TRUE(VarIsNull(S.Value) ? VarIsNull(V) : DBVarValuesEqual(V, S.Value)) << VarToStr(S.Value);
    EXPECT_EQ(T.Box->GetChecked(), S.Checked);
  }
  // A value that is neither True nor False reads grayed; taking a field and leaving it again
  // brings back a Null value.
  T.Box->GetDataLink()->SetValue(L"evet");
  EXPECT_EQ(T.Box->GetState(), cbGrayed);
  T.Box->GetDataLink()->SetValue(false);
  T.Box->SetDataField(L"TEXT");
  T.Box->SetDataField(L"");
  EXPECT_EQ(T.Box->GetState(), cbGrayed);
  EXPECT_TRUE(VarIsNull(T.Box->GetDataLink()->DataIndependentValue));
}

// Code that sets Checked hears OnClick once per change, as the wizard's option boxes rely on;
// a form being read hears none.
TEST(DBCheckBoxPosting, AssigningFiresOnClickOncePerChange) {
  TCheckBoxData T;
  Integer Clicks = 0;
  T.Box->SetOnClick([&](TObject*) { ++Clicks; });
  T.Box->SetChecked(true);
  T.Box->SetChecked(true);
  EXPECT_EQ(Clicks, 1);
  T.Box->SetChecked(false);
  EXPECT_EQ(Clicks, 2);

  TMemoryStream M;
  T.Box->SetChecked(true);
  M.WriteComponent(T.Box.get());
  M.SetPosition(0);
  TDBCheckBoxKv Read(nullptr);
  Integer ReadClicks = 0;
  Read.SetOnClick([&](TObject*) { ++ReadClicks; });
  M.ReadComponent(&Read);
  EXPECT_TRUE(Read.GetChecked());
  EXPECT_TRUE(DBVarValuesEqual(Read.GetDataLink()->DataIndependentValue, true));
  EXPECT_EQ(ReadClicks, 0);
}

TEST(DBCheckBoxPosting, RefusedValueReloadsTheFieldsValueAndRaises) {
  TCheckBoxData T(L"No");
  T.Bind(L"TEXT", L"Yes", L"No");
  T.Field(L"TEXT")->SetOnValidate([](TField*) { throw EDatabaseError(L"reddedildi"); });
  try {
    T.Box->SetChecked(true);
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& E) {
    EXPECT_EQ(E.Message(), L"reddedildi");
  }
  EXPECT_EQ(T.Box->GetState(), cbUnchecked);
  EXPECT_EQ(T.Field(L"TEXT")->GetAsString(), L"No");
}

TEST(DBCheckBoxPosting, DatasetThatCannotEditRaisesItsError) {
  TCheckBoxData T(L"False");
  T.Bind(L"TEXT");
  T.DS.SetReadOnly(true);
  EXPECT_THROW(T.Box->SetChecked(true), EDatabaseError);
  EXPECT_EQ(T.Box->GetState(), cbUnchecked);
  T.DS.Close();
  EXPECT_THROW(T.Box->SetChecked(true), EDatabaseError);
}

// Named but without a source, the box has no field to write: it keeps its state and writes nothing.
TEST(DBCheckBoxPosting, BoundBoxWithoutAFieldKeepsItsState) {
  TDBCheckBoxKv Box(nullptr);
  Box.SetDataField(L"TEXT");
  EXPECT_FALSE(Box.DataIndepended());
  Box.SetChecked(true);
  EXPECT_TRUE(Box.GetChecked());
}

TEST(DBCheckBoxStreaming, ValueListsAreWrittenOnlyWhenTheyDiffer) {
  TDBCheckBoxKv Box(nullptr);
  Box.SetName(L"chEvet");
  TMemoryStream Plain;
  Plain.WriteComponent(&Box);
  Box.SetValueChecked(L"Evet;E");
  TMemoryStream Bin, Text;
  Bin.WriteComponent(&Box);
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  std::string S(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize()));
  EXPECT_NE(S.find("ValueChecked = 'Evet;E'"), std::string::npos) << S;
  EXPECT_EQ(S.find("ValueUnchecked"), std::string::npos) << S;
  std::string P(static_cast<const char*>(Plain.GetMemory()), size_t(Plain.GetSize()));
  EXPECT_EQ(P.find("Value"), std::string::npos);

  Bin.SetPosition(0);
  TDBCheckBoxKv Read(nullptr);
  Bin.ReadComponent(&Read);
  EXPECT_EQ(Read.GetValueChecked(), L"Evet;E");
  EXPECT_EQ(Read.GetValueUnchecked(), L"False");
  EXPECT_EQ(reinterpret_cast<TFieldDataLinkKv*>(Read.Perform(CM_GETDATALINK)), Read.GetDataLink());
}

// ---- On a form --------------------------------------------------------------------------------

// A box at (10, 10) and an edit to take the focus away, on a shown form.
struct TCheckBoxForm {
  TFormHolder F{300, 120};
  TDBCheckBoxKv* Box;
  TEdit* Other;
  Integer Clicks = 0;
  TExceptionLog Errors;
  TCheckBoxForm() {
    Box = new TDBCheckBoxKv(F.Form);
    Box->SetParent(F.Form);
    Box->SetBounds(10, 10, 120, 20);
    Box->SetCaption(L"Sunucu");
    Box->SetOnClick([this](TObject*) { ++Clicks; });
    Other = new TEdit(F.Form);
    Other->SetParent(F.Form);
    Other->SetBounds(10, 50, 120, 21);
    F->Show();
    Other->SetFocus();
    Pump();
  }
  void Click() {
    PostMouse(Box, WM_LBUTTONDOWN, MK_LBUTTON, 8, 9);
    PostMouse(Box, WM_LBUTTONUP, 0, 8, 9);
  }
};

TEST(DBCheckBoxInput, ClickOnAnUnfocusedBoxFocusesItAndTogglesOnce) {
  TCheckBoxForm T;
  ASSERT_FALSE(T.Box->Focused());
  T.Click();
  EXPECT_TRUE(T.Box->Focused());
  EXPECT_EQ(T.Box->GetState(), cbChecked);
  EXPECT_EQ(T.Clicks, 1);
  EXPECT_EQ(SendMessageW(T.Box->GetHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST(DBCheckBoxInput, AllowGrayedClicksCycleThroughGrayed) {
  TCheckBoxForm T;
  T.Box->SetAllowGrayed(true);
  std::vector<String> Seen;
  for (Integer I = 0; I < 4; ++I) {
    T.Click();
    Seen.push_back(CheckStateName(T.Box->GetState()));
  }
  EXPECT_EQ(Seen, (std::vector<String>{L"grayed", L"checked", L"unchecked", L"grayed"}));
}

// A click changes the box only; leaving it posts, and Escape before that reloads.
TEST(DBCheckBoxInput, ClickPostsOnExitAndEscapeReloads) {
  TCheckBoxForm T;
  TFieldDataLinkKv* Link = T.Box->GetDataLink();
  T.Click();
  EXPECT_TRUE(T.Box->GetChecked());
  EXPECT_TRUE(DBVarValuesEqual(Link->DataIndependentValue, false));
  PostMessageW(T.Box->GetHandle(), WM_CHAR, 27, 0);
  Pump();
  EXPECT_FALSE(T.Box->GetChecked());

  T.Click();
  T.Other->SetFocus();
  Pump();
  EXPECT_TRUE(DBVarValuesEqual(Link->DataIndependentValue, true));
  EXPECT_TRUE(T.Box->GetChecked());
  EXPECT_TRUE(T.Errors.Messages.empty());
}

TEST(DBCheckBoxInput, RefusedValueOnExitKeepsTheFocus) {
  TCheckBoxForm T;
  TCheckBoxData D(L"No");
  T.Box->SetValueChecked(L"Yes");
  T.Box->SetValueUnchecked(L"No");
  T.Box->SetDataSource(&D.Source);
  T.Box->SetDataField(L"TEXT");
  D.Field(L"TEXT")->SetOnValidate([](TField*) { throw EDatabaseError(L"reddedildi"); });
  T.Click();
  EXPECT_TRUE(T.Box->GetChecked());
  EXPECT_EQ(D.DS.GetState(), dsEdit);
  T.Other->SetFocus();
  Pump();
  EXPECT_EQ(T.Errors.Messages, (std::vector<String>{L"reddedildi"}));
  EXPECT_TRUE(T.Box->Focused());
  EXPECT_EQ(D.Field(L"TEXT")->GetAsString(), L"No");
  T.Box->SetDataSource(nullptr);
}

// ---- Painting ---------------------------------------------------------------------------------

class DBCheckBoxPainting : public ClassicLook {};

// The bounding box of the pixels that differ between two pictures of one size.
TRect CheckBoxDiffBounds(TBitmap* A, TBitmap* B) {
  TRect R(A->GetWidth(), A->GetHeight(), 0, 0);
  for (Integer Y = 0; Y < A->GetHeight(); ++Y)
    for (Integer X = 0; X < A->GetWidth(); ++X)
      if (A->GetCanvas()->GetPixel(X, Y) != B->GetCanvas()->GetPixel(X, Y)) {
        R.Left = std::min(R.Left, X);
        R.Top = std::min(R.Top, Y);
        R.Right = std::max(R.Right, X + 1);
        R.Bottom = std::max(R.Bottom, Y + 1);
      }
  return R;
}

TEST_F(DBCheckBoxPainting, GlyphShowsTheStateOnTheSideTheAlignmentGives) {
  TFormHolder F(300, 60);
  auto* Box = new TDBCheckBoxKv(F.Form);
  Box->SetParent(F.Form);
  Box->SetBounds(0, 0, 150, 21);
  Box->SetColor(clWhite);  // painted on white, so only the glyph and the caption show
  Box->SetCaption(L"Örnek");
  F->Show();
  for (TLeftRight Alignment : {taRightJustify, taLeftJustify}) {
    Box->SetAlignment(Alignment);
    TRect Glyph = AlignCheckBoxRect(Box->GetClientRect(), Alignment == taLeftJustify ? taRightJustify : taLeftJustify,
                                    taVerticalCenter);
    Box->SetState(cbUnchecked);
    auto Unchecked = PaintForm(Box);
    for (TCheckBoxState S : {cbChecked, cbGrayed}) {
      Box->SetState(S);
      auto Other = PaintForm(Box);
      TRect D = CheckBoxDiffBounds(Unchecked.get(), Other.get());
      EXPECT_FALSE(D.IsEmpty()) << CheckStateName(S);
      EXPECT_TRUE(D.Left >= Glyph.Left && D.Right <= Glyph.Right && D.Top >= Glyph.Top && D.Bottom <= Glyph.Bottom)
          << CheckStateName(S) << " at " << D.Left << "," << D.Top << "-" << D.Right << "," << D.Bottom;
    }
    // The caption stands 5 pixels off the glyph, on the other side.
    Box->SetCaption(L"");
    auto NoCaption = PaintForm(Box);
    Box->SetCaption(L"Örnek");
    TRect Text = CheckBoxDiffBounds(NoCaption.get(), PaintForm(Box).get());
    if (Alignment == taRightJustify) EXPECT_GE(Text.Left, Glyph.Right + 5);
    else EXPECT_LE(Text.Right, Glyph.Left - 5);
    EXPECT_FALSE(Text.IsEmpty());
  }
}

}  // namespace
