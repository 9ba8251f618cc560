// The data-aware edit: its own value while unbound, posting on assignment, refused values, the
// field's length and characters, the stored Text, pasting, button shortcuts, Escape, exit, and the
// line of a missing required value.

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/Clipbrd.h"
#include "framework/DB.h"
#include "framework/StdCtrls.h"
#include "framework/classes/ObjectText.h"
#include "framework/graphics/Bitmap.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;

namespace {

// One record of a name (30), a code (20) and a number, a source, and an edit without a window.
struct TEditData {
  TArrayDataSet DS{nullptr};
  TDataSource Source{nullptr};
  std::unique_ptr<TDBEditKv> Edit = std::make_unique<TDBEditKv>(nullptr);
  Integer Posts = 0;

  explicit TEditData(const Variant& Name = L"ok") {
    DS.GetFieldDefs()->Add(L"NAME", ftWideString, 30);
    DS.GetFieldDefs()->Add(L"CODE", ftWideString, 20);
    DS.GetFieldDefs()->Add(L"NUM", ftInteger);
    DS.Open();
    DS.AppendRecord({Name, L"k1", 7});
    Source.SetDataSet(&DS);
  }
  ~TEditData() { Edit.reset(); }
  void Bind(const String& Field) {
    Edit->SetDataSource(&Source);
    Edit->SetDataField(Field);
  }
  TField* Field(const String& Name) { return DS.FieldByName(Name); }
  void RejectBad(const String& Name) {
    Field(Name)->SetOnValidate([](TField* F) {
      if (F->GetAsString() == L"bad") throw EDatabaseError(L"reddedildi");
    });
  }
};

// Reaches the key handling directly, with a shift state of the test's choosing, and refuses the
// characters of Refused as a field's character test would.
class TKeyDBEditKv : public TDBEditKv {
 public:
  using TDBEditKv::TDBEditKv;
  using TCustomDBEditKv::KeyDown;
  bool IsValidChar(Char C) override { return Refused.find(C) == String::npos && TDBEditKv::IsValidChar(C); }
  String Refused;
};

// An edit and a plain edit to take the focus away, on a shown form.
struct TEditForm {
  TFormHolder F{300, 120};
  TKeyDBEditKv* Edit;
  TEdit* Other;
  TExceptionLog Errors;
  TEditForm() {
    Edit = new TKeyDBEditKv(F.Form);
    Edit->SetParent(F.Form);
    Edit->SetBounds(10, 10, 150, 21);
    Other = new TEdit(F.Form);
    Other->SetParent(F.Form);
    Other->SetBounds(10, 60, 120, 21);
    F->Show();
    Other->SetFocus();
    Pump();
  }
  void Type(const String& Text) {
    for (Char C : Text) PostMessageW(Edit->GetHandle(), WM_CHAR, WPARAM(C), 0);
    Pump();
  }
  void Key(Word Key) {
    PostMessageW(Edit->GetHandle(), WM_KEYDOWN, Key, 0);
    PostMessageW(Edit->GetHandle(), WM_KEYUP, Key, LPARAM(0xC0000000));
    Pump();
  }
  bool AllSelected() { return Edit->GetSelStart() == 0 && Edit->GetSelLength() == Integer(Edit->GetEditText().size()); }
};

String WrittenText(TComponent* C) {
  TMemoryStream Bin, Text;
  Bin.WriteComponent(C);
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  std::string S(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize()));
  return String(S.begin(), S.end());
}

TEST(DBEditData, UnboundEditHoldsItsOwnValue) {
  TDBEditKv Edit(nullptr);
  TFieldDataLinkKv* Link = Edit.GetDataLink();
  EXPECT_TRUE(VarIsNull(Link->DataIndependentValue));
  Edit.SetText(L"abc");
  EXPECT_EQ(VarToStr(Link->DataIndependentValue), L"abc");
  EXPECT_EQ(VarToStr(Edit.GetValue()), L"abc");
  EXPECT_FALSE(Link->GetEditing());  // posted: the link left its edit
  Edit.Clear();
  EXPECT_EQ(VarToStr(Link->DataIndependentValue), L"");
  EXPECT_EQ(Edit.GetText(), L"");
  Edit.SetValue(Variant(42));
  EXPECT_EQ(Edit.GetText(), L"42");
}

TEST(DBEditData, ValuesThatDoNotConvertGiveAnEmptyText) {
  TDBEditKv Edit(nullptr);
  Edit.SetText(L"x");
  Edit.SetValue(VarArrayOf({1, 2}));
  EXPECT_EQ(Edit.GetText(), L"");
  Edit.GetDataLink()->DataIndependentValue = VarArrayOf({L"a"});
  Edit.GetDataLink()->Reset();
  EXPECT_EQ(Edit.GetText(), L"");
}

TEST(DBEditData, BoundEditPostsAtOnce) {
  TEditData T;
  T.Bind(L"NAME");
  EXPECT_EQ(T.Edit->GetText(), L"ok");
  T.Edit->SetText(L"Ayşe");
  EXPECT_EQ(T.DS.GetState(), dsEdit);
  EXPECT_EQ(T.Field(L"NAME")->GetAsString(), L"Ayşe");
  T.Edit->SetValue(Variant(L"Işık"));
  EXPECT_EQ(T.Field(L"NAME")->GetAsString(), L"Işık");
}

// Every way a value reaches the field: a refused one raises, the edit shows the field's value
// again, and the next assignment posts normally (no flag stays raised).
TEST(DBEditData, RefusedValueReloadsTheFieldAndRaises) {
  struct TCase {
    const char* Name;
    std::function<void(TDBEditKv*)> Assign;
  };
  const TCase Cases[] = {
      {"Text", [](TDBEditKv* E) { E->SetText(L"bad"); }},
      {"Value", [](TDBEditKv* E) { E->SetValue(Variant(L"bad")); }},
  };
  for (const TCase& C : Cases) {
    TEditData T;
    T.Bind(L"NAME");
    T.RejectBad(L"NAME");
    Integer Handlers = 0;
    T.Edit->SetOnUpdateData([&](TObject*, bool&) { ++Handlers; });
    try {
      C.Assign(T.Edit.get());
      ADD_FAILURE() << C.Name << ": no error";
    } catch (const EDatabaseError& E) {
      EXPECT_EQ(E.Message(), L"reddedildi") << C.Name;
    }
    EXPECT_EQ(T.Edit->GetText(), L"ok") << C.Name;
    EXPECT_EQ(T.Field(L"NAME")->GetAsString(), L"ok") << C.Name;
    T.Edit->SetText(L"good");
    EXPECT_EQ(T.Field(L"NAME")->GetAsString(), L"good") << C.Name;
    EXPECT_EQ(Handlers, 2) << C.Name;
  }
}

TEST(DBEditData, OnUpdateDataCanWriteItselfAndOnGetFieldDataCanShowItsOwn) {
  TEditData T;
  T.Edit->SetOnGetFieldData([](TObject*, Variant& V, bool& Handled) {
    V = Variant(L"gösterilen");
    Handled = true;
  });
  T.Bind(L"NAME");
  EXPECT_EQ(T.Edit->GetText(), L"gösterilen");
  T.Edit->SetOnUpdateData([&](TObject*, bool& Handled) {
    T.Field(L"CODE")->SetAsString(T.Edit->GetText());
    Handled = true;
  });
  T.Edit->SetText(L"yeni");
  EXPECT_EQ(T.Field(L"CODE")->GetAsString(), L"yeni");
  EXPECT_EQ(T.Field(L"NAME")->GetAsString(), L"ok");
}

// MaxLength follows the string field while it is 0; switching to another field of the same size
// resets it first, so the new field's size is taken.
TEST(DBEditData, MaxLengthComesFromTheStringField) {
  TEditData T;
  T.Bind(L"NAME");
  EXPECT_EQ(T.Edit->GetMaxLength(), 30);
  T.Edit->SetDataField(L"CODE");
  EXPECT_EQ(T.Edit->GetMaxLength(), 20);
  T.Edit->SetDataField(L"NUM");
  EXPECT_EQ(T.Edit->GetMaxLength(), 0);  // the string field's length goes; a number gives none
  TEditData Own;
  Own.Edit->SetMaxLength(5);
  Own.Bind(L"NAME");
  EXPECT_EQ(Own.Edit->GetMaxLength(), 5);
}

TEST(DBEditData, FieldEditMaskAndAlignmentUnlessAssigned) {
  TEditData T;
  T.Field(L"CODE")->SetEditMask(L">LL;1;_");
  T.Field(L"NUM")->SetAlignment(taRightJustify);
  T.Bind(L"CODE");
  EXPECT_EQ(T.Edit->GetEditMask(), L">LL;1;_");
  T.Edit->SetDataField(L"NUM");
  EXPECT_EQ(T.Edit->GetEditMask(), L"");
  EXPECT_EQ(T.Edit->GetAlignment(), taRightJustify);
  T.Edit->SetAlignment(taCenter);
  T.Edit->SetEditMask(L"000");
  T.Edit->SetDataField(L"CODE");
  EXPECT_EQ(T.Edit->GetAlignment(), taCenter);
  EXPECT_EQ(T.Edit->GetEditMask(), L"000");
}

TEST(DBEditStreaming, TextIsStoredOnlyForANonEmptyUnboundEdit) {
  struct TCase {
    const wchar_t* Text;
    bool Bound;
    bool Stored;
  };
  const TCase Cases[] = {{L"abc", false, true}, {L"", false, false}, {L"ok", true, false}};
  for (const TCase& C : Cases) {
    TEditData T;
    T.Edit->SetName(L"txPath");
    if (C.Bound) T.Bind(L"NAME");
    else if (*C.Text) T.Edit->SetText(C.Text);
    String S = WrittenText(T.Edit.get());
    EXPECT_EQ(S.find(L"Text = ") != String::npos, C.Stored) << C.Text << " " << C.Bound << "\n" << S;
  }
  TDBEditKv Edit(nullptr);
  Edit.SetName(L"txPath");
  Edit.SetText(L"C:");
  TMemoryStream M;
  M.WriteComponent(&Edit);
  M.SetPosition(0);
  TDBEditKv Read(nullptr);
  M.ReadComponent(&Read);
  EXPECT_EQ(Read.GetText(), L"C:");
  EXPECT_EQ(VarToStr(Read.GetDataLink()->DataIndependentValue), L"C:");
}

TEST(DBEditText, FlattenLineBreaks) {
  struct TCase {
    const wchar_t* In;
    const wchar_t* Out;
  };
  const TCase Cases[] = {
      {L"a\r\nb\r\n", L"a b"}, {L"a\n\rb", L"a b"},   {L"a\nb\rc", L"a b c"}, {L"a\r\n\r\nb", L"a  b"},
      {L"\r\n\r\n", L""},      {L"\r\na", L" a"},    {L"ab", L"ab"},         {L"a\n\nb\n", L"a  b"},
  };
  for (const TCase& C : Cases) EXPECT_EQ(FlattenLineBreaksKv(C.In), C.Out) << C.In;
}

// ---- On a form --------------------------------------------------------------------------------

TEST(DBEditInput, PastedLinesBecomeOneLine) {
  TEditForm T;
  T.Edit->SetFocus();
  Pump();
  Clipboard()->SetAsText(L"a\r\nb\r\n");
  T.Edit->Perform(WM_PASTE);
  EXPECT_EQ(T.Edit->GetText(), L"a b");
  EXPECT_EQ(VarToStr(T.Edit->GetDataLink()->DataIndependentValue), L"a b");
  EXPECT_EQ(T.Edit->GetSelStart(), 3);

  // Cut to MaxLength in place of the selection.
  T.Edit->SetText(L"xy");
  T.Edit->SetMaxLength(4);
  T.Edit->SetSelStart(1);
  T.Edit->SetSelLength(0);
  Clipboard()->SetAsText(L"1\r\n2\r\n3");
  T.Edit->Perform(WM_PASTE);
  EXPECT_EQ(T.Edit->GetText(), L"x1 y");
  EXPECT_TRUE(T.Errors.Messages.empty());
}

TEST(DBEditInput, UnboundEditBecomesWritableWhenTyped) {
  TEditForm T;
  EXPECT_NE(GetWindowLongW(T.Edit->GetHandle(), GWL_STYLE) & ES_READONLY, 0);
  T.Edit->SetFocus();
  Pump();
  T.Type(L"ab");
  EXPECT_EQ(T.Edit->GetText(), L"ab");
  EXPECT_TRUE(T.Edit->GetDataLink()->GetEditing());
  T.Other->SetFocus();
  Pump();
  EXPECT_EQ(VarToStr(T.Edit->GetDataLink()->DataIndependentValue), L"ab");
  EXPECT_NE(GetWindowLongW(T.Edit->GetHandle(), GWL_STYLE) & ES_READONLY, 0);
}

// A bound edit drops what the character test refuses; an unbound one has no field to ask.
TEST(DBEditInput, CharacterTheFieldRefusesIsDropped) {
  TEditForm T;
  T.Edit->Refused = L"x";
  T.Edit->SetFocus();
  Pump();
  T.Type(L"1x2");
  EXPECT_EQ(T.Edit->GetText(), L"1x2");
  TEditData D;
  T.Edit->SetDataSource(&D.Source);
  T.Edit->SetDataField(L"CODE");
  T.Edit->SelectAll();
  T.Type(L"1x2");
  EXPECT_EQ(T.Edit->GetText(), L"12");
  T.Other->SetFocus();
  Pump();
  EXPECT_EQ(D.Field(L"CODE")->GetAsString(), L"12");
  T.Edit->SetDataSource(nullptr);
}

TEST(DBEditInput, EscapeReloadsTheFieldSelected) {
  TEditForm T;
  TEditData D(L"kayıt");
  T.Edit->SetDataSource(&D.Source);
  T.Edit->SetDataField(L"NAME");
  T.Edit->SetFocus();
  Pump();
  T.Edit->SetSelStart(5);
  T.Type(L"xyz");
  EXPECT_EQ(T.Edit->GetText(), L"kayıtxyz");
  T.Key(VK_ESCAPE);
  EXPECT_EQ(T.Edit->GetText(), L"kayıt");
  EXPECT_TRUE(T.AllSelected());
  T.Edit->SetDataSource(nullptr);
}

TEST(DBEditInput, RefusedValueOnExitKeepsTheFocusSelected) {
  TEditForm T;
  TEditData D;
  T.Edit->SetDataSource(&D.Source);
  T.Edit->SetDataField(L"NAME");
  D.RejectBad(L"NAME");
  T.Edit->SetFocus();
  Pump();
  T.Edit->SelectAll();
  T.Type(L"bad");
  T.Other->SetFocus();
  Pump();
  EXPECT_EQ(T.Errors.Messages, (std::vector<String>{L"reddedildi"}));
  EXPECT_TRUE(T.Edit->Focused());
  EXPECT_EQ(T.Edit->GetText(), L"bad");
  EXPECT_TRUE(T.AllSelected());
  EXPECT_EQ(D.Field(L"NAME")->GetAsString(), L"ok");
  T.Edit->SetDataSource(nullptr);
}

TEST(DBEditInput, MaskedTextThatFailsTheMaskRaisesTheMaskError) {
  TEditForm T;
  T.Edit->SetEditMask(L"000;1;_");
  T.Edit->SetFocus();
  Pump();
  T.Type(L"1");
  T.Other->SetFocus();
  Pump();
  ASSERT_EQ(T.Errors.Messages.size(), 1u);
  EXPECT_EQ(T.Errors.Messages[0], SMaskEditErr);
  EXPECT_TRUE(T.Edit->Focused());
}

// A shortcut presses an enabled button and is consumed; a disabled button's passes on (Ctrl+A
// then selects all as usual).
TEST(DBEditInput, ButtonShortcutsPressOnlyEnabledButtons) {
  struct TCase {
    bool Main;
    bool Enabled;
    Integer Clicks;
  };
  const TCase Cases[] = {{true, true, 1}, {true, false, 0}, {false, true, 1}, {false, false, 0}};
  for (const TCase& C : Cases) {
    TEditForm T;
    T.Edit->SetText(L"metin");
    Integer Clicks = 0;
    TEditButtonKv* Button = C.Main ? T.Edit->GetEditButton() : T.Edit->GetEditButtons()->Add();
    Button->SetVisible(true);
    Button->SetShortCut(ShortCut('A', TShiftState{ssCtrl}));
    Button->SetEnabled(C.Enabled);
    Button->SetOnClick([&](TObject*, bool& Handled) {
      ++Clicks;
      Handled = true;
    });
    T.Edit->SetFocus();
    Pump();
    T.Edit->SetSelStart(2);
    T.Edit->SetSelLength(0);
    Word Key = 'A';
    T.Edit->KeyDown(Key, TShiftState{ssCtrl});
    EXPECT_EQ(Key, 0);
    EXPECT_EQ(Clicks, C.Clicks) << C.Main << C.Enabled;
    EXPECT_EQ(T.AllSelected(), C.Clicks == 0) << C.Main << C.Enabled;
  }
}

// ---- The required-value line ------------------------------------------------------------------

Integer RedDotsOnBottomRow(TDBEditKv* Edit) {
  TBitmap B;
  B.SetSize(Edit->GetClientRect().Width(), Edit->GetClientRect().Height());
  B.GetCanvas()->GetBrush()->SetColor(clWhite);
  B.GetCanvas()->FillRect(TRect(0, 0, B.GetWidth(), B.GetHeight()));
  Edit->DrawRequiredState(B.GetCanvas());
  Integer N = 0;
  for (Integer X = 0; X < B.GetWidth(); ++X)
    if (B.GetCanvas()->GetPixel(X, B.GetHeight() - 1) == TColor(255)) ++N;
  return N;
}

TEST(DBEditPainting, RequiredLineOnlyWhileEditingANullRequiredField) {
  struct TCase {
    TDataSetState State;
    bool Highlight;
    bool Null;
    bool Expected;
  };
  const TCase Cases[] = {
      {dsInsert, true, true, true},  {dsBrowse, true, true, false}, {dsInsert, false, true, false},
      {dsEdit, true, false, false},  {dsEdit, true, true, true},
  };
  for (const TCase& C : Cases) {
    TEditData T(C.Null ? Variant(Null) : Variant(L"dolu"));
    T.Field(L"NAME")->SetRequired(true);
    T.Bind(L"NAME");
    T.Edit->SetBounds(0, 0, 100, 21);
    T.Edit->SetHighlightRequired(C.Highlight);
    if (C.State == dsInsert) T.DS.Append();
    else if (C.State == dsEdit) T.DS.Edit();
    if (C.State == dsInsert && !C.Null) T.Field(L"NAME")->SetAsString(L"dolu");
    EXPECT_EQ(RedDotsOnBottomRow(T.Edit.get()) > 10, C.Expected) << Integer(C.State) << C.Highlight << C.Null;
  }
  TDBEditKv Edit(nullptr);
  Edit.SetBounds(0, 0, 100, 21);
  Edit.SetHighlightRequired(true);
  EXPECT_GT(RedDotsOnBottomRow(&Edit), 10);  // unbound and empty
  bool Asked = false;
  Edit.SetOnCheckDrawRequiredState([&](TObject*, bool& Draw) {
    Asked = true;
    Draw = false;
  });
  EXPECT_EQ(RedDotsOnBottomRow(&Edit), 0);
  EXPECT_TRUE(Asked);
}

}  // namespace
