#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "framework/Buttons.h"
#include "framework/Classes.h"
#include "framework/ExtCtrls.h"
#include "framework/GIFImg.h"
#include "framework/Mask.h"
#include "framework/StdCtrls.h"
#include "framework/classes/ObjectText.h"
#include "framework/controls/ControlsTestUtil.h"
#include "framework/graphics/Bitmap.h"

using namespace ctltest;

namespace {

#include "framework/graphics/fixtures/anim_gif.inc"

// The form holding one of every control, declared in its form resource.
class TControlsForm : public TForm {
  DECLARE_CLASS(TControlsForm, TForm)
 public:
  using TForm::TForm;
  std::vector<String> Log;
  void edtNameChange(TObject*) { Log.push_back(L"edtNameChange"); }
  void cmbKindSelect(TObject*) { Log.push_back(L"cmbKindSelect"); }
  void chkGrayClick(TObject*) { Log.push_back(L"chkGrayClick"); }
  void sbPosChange(TObject*) { Log.push_back(L"sbPosChange"); }
  void rgSectorClick(TObject*) { Log.push_back(L"rgSectorClick"); }
  void btnOkClick(TObject*) { Log.push_back(L"btnOkClick"); }
  template <class T>
  T* Find(const wchar_t* Name) {
    auto* C = dynamic_cast<T*>(FindComponent(Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
  }
  PUBLISHED_DECL(TControlsForm);
};

PUBLISHED_DEF(TControlsForm) {
  METHOD(edtNameChange);
  METHOD(cmbKindSelect);
  METHOD(chkGrayClick);
  METHOD(sbPosChange);
  METHOD(rgSectorClick);
  METHOD(btnOkClick);
}

void RegisterAll() {
  RegisterStdControls();
  RegisterExtControls();
  RegisterButtonControls();
  RegisterMaskControls();
  RegisterClasses({TControlsForm::StaticClass()});
}

struct TControlsHolder {
  TControlsForm* Form;
  explicit TControlsHolder(bool Show = true) {
    RegisterAll();
    Form = new TControlsForm(nullptr);
    Form->AfterConstruction();
    if (Show) {
      Form->Show();
      Pump();
    }
  }
  ~TControlsHolder() {
    delete Form;
    Pump();
  }
  TControlsForm* operator->() const { return Form; }
};

String WindowText(HWND H) {
  wchar_t B[256] = {};
  GetWindowTextW(H, B, 256);
  return B;
}

LONG_PTR Style(TWinControl* C) { return GetWindowLongPtrW(C->GetHandle(), GWL_STYLE); }

TWinControl* FocusedControl() { return FindControl(GetFocus()); }

void PostChar(Char C, UINT Msg = WM_CHAR, LPARAM Data = 1) {
  PostMessageW(GetFocus(), Msg, C, Data);
  Pump();
}

void PostKey(Word Key) {
  HWND Wnd = GetFocus();
  PostMessageW(Wnd, WM_KEYDOWN, Key, 1);
  PostMessageW(Wnd, WM_KEYUP, Key, LPARAM(0xC0000001));
  Pump();
}

// ---- Streaming and window state ----------------------------------------------------------------

TEST(StdControlsResource, EveryControlStreamsItsPropertiesIntoItsWindow) {
  TControlsHolder F;
  auto* Lbl = F->Find<TLabel>(L"lblName");
  auto* Edt = F->Find<TEdit>(L"edtName");
  EXPECT_EQ(Lbl->GetCaption(), L"&Ad:");
  EXPECT_EQ(Lbl->GetFocusControl(), Edt);
  EXPECT_GT(Lbl->GetWidth(), 0);  // sized to its caption

  EXPECT_EQ(WindowText(Edt->GetHandle()), L"ABC");  // an upper-case edit shows its text so
  EXPECT_TRUE(Style(Edt) & ES_UPPERCASE);
  EXPECT_EQ(SendMessageW(Edt->GetHandle(), EM_GETLIMITTEXT, 0, 0), 10);

  auto* Msk = F->Find<TMaskEdit>(L"mskDate");
  EXPECT_EQ(WindowText(Msk->GetHandle()), L"01.02.2024");
  EXPECT_EQ(Msk->GetText(), L"01.02.2024");

  auto* Cmb = F->Find<TComboBox>(L"cmbKind");
  EXPECT_EQ(SendMessageW(Cmb->GetHandle(), CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Cmb->GetText(), L"Restoran");
  EXPECT_EQ(Style(Cmb) & 3, CBS_DROPDOWNLIST);

  auto* Chk = F->Find<TCheckBox>(L"chkGray");
  EXPECT_EQ(Chk->GetState(), cbGrayed);
  EXPECT_EQ(SendMessageW(Chk->GetHandle(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  EXPECT_EQ(WindowText(Chk->GetHandle()), L"&Gri");

  auto* RbA = F->Find<TRadioButton>(L"rbA");
  auto* RbB = F->Find<TRadioButton>(L"rbB");
  EXPECT_EQ(RbA->GetParent(), F->Find<TGroupBox>(L"gbBox"));
  EXPECT_EQ(SendMessageW(RbA->GetHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(RbB->GetHandle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  auto* Lst = F->Find<TListBox>(L"lstItems");
  HWND L = Lst->GetHandle();
  ASSERT_EQ(SendMessageW(L, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(Lst->GetItems()->ToStringArray(), (std::vector<String>{L"Armut", L"Elma", L"Zeytin"}));

  auto* Mem = F->Find<TMemo>(L"memLog");
  EXPECT_EQ(WindowText(Mem->GetHandle()), L"bir\r\niki");
  EXPECT_TRUE(Style(Mem) & WS_VSCROLL);
  EXPECT_TRUE(Style(Mem) & ES_MULTILINE);
  Mem->GetLines()->Add(L"üç");
  EXPECT_EQ(WindowText(Mem->GetHandle()), L"bir\r\niki\r\nüç");
  EXPECT_EQ(Mem->GetLines()->GetCount(), 3);
  Mem->GetLines()->Delete(0);
  EXPECT_EQ(WindowText(Mem->GetHandle()), L"iki\r\nüç");

  auto* Sb = F->Find<TScrollBar>(L"sbPos");
  SCROLLINFO SI{sizeof(SI), SIF_ALL};
  GetScrollInfo(Sb->GetHandle(), SB_CTL, &SI);
  EXPECT_EQ(SI.nPos, 20);
  EXPECT_EQ(SI.nMax, 50);
  EXPECT_EQ(SI.nPage, 10u);

  auto* Rg = F->Find<TRadioGroup>(L"rgSector");
  ASSERT_EQ(Rg->GetButtonCount(), 2);
  EXPECT_EQ(Rg->GetItemIndex(), 0);
  EXPECT_EQ(WindowText(Rg->GetButtons(1)->GetHandle()), L"Market");
  EXPECT_EQ(SendMessageW(Rg->GetButtons(0)->GetHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  // Two columns: the second button stands beside the first.
  EXPECT_EQ(Rg->GetButtons(0)->GetTop(), Rg->GetButtons(1)->GetTop());
  EXPECT_GT(Rg->GetButtons(1)->GetLeft(), Rg->GetButtons(0)->GetLeft());

  auto* Pnl = F->Find<TPanel>(L"pnlTop");
  EXPECT_EQ(Pnl->GetCaption(), L"  Sektör");
  EXPECT_EQ(Pnl->GetBevelInner(), bvLowered);
  EXPECT_TRUE(Pnl->GetFont()->GetStyle().Contains(fsBold));
  EXPECT_TRUE(F->Find<TImage>(L"imgLogo")->GetProportional());
  auto* Shp = F->Find<TShape>(L"shpBox");
  EXPECT_EQ(Shp->GetPen()->GetWidth(), 4);
  EXPECT_EQ(Shp->GetPen()->GetColor(), TColor(0x3866F3));
  EXPECT_EQ(F->Find<TBevel>(L"bvlLine")->GetShape(), bsTopLine);
  EXPECT_EQ(F->Find<TSpeedButton>(L"sbBold")->GetGroupIndex(), 1);

  auto* Ok = F->Find<TButton>(L"btnOk");
  EXPECT_EQ(WindowText(Ok->GetHandle()), L"&Tamam");
  EXPECT_EQ(Style(Ok) & 0xF, BS_DEFPUSHBUTTON);
  EXPECT_EQ(F->Find<TButton>(L"btnCancel")->GetModalResult(), mrCancel);
  // Nothing fired while the form was read.
  EXPECT_EQ(F->Log, std::vector<String>{});
}

std::string FormText(TComponent* Root) {
  TMemoryStream M, Out;
  M.WriteComponent(Root);
  M.SetPosition(0);
  ObjectBinaryToText(&M, &Out);
  return std::string(static_cast<const char*>(Out.GetMemory()), size_t(Out.GetSize()));
}

// What a form writes, a form of the same class reads back to the same text: no property is lost
// or invented on the way.
TEST(StdControlsResource, EveryControlWritesWhatItReads) {
  TControlsHolder F(false);
  // A closed combo box is as high as its resource says, whatever height its window has dropped.
  EXPECT_EQ(F->Find<TComboBox>(L"cmbKind")->GetHeight(), 21);
  std::string Written = FormText(F.Form);
  EXPECT_NE(Written.find("object edtName: TEdit"), std::string::npos) << Written;

  TMemoryStream Binary;
  Binary.WriteComponent(F.Form);
  Binary.SetPosition(0);
  auto* Copy = new TControlsForm(nullptr, 0);
  Copy->AfterConstruction();
  std::unique_ptr<TControlsForm> Holder(Copy);
  ReadComponentFromStream(&Binary, Copy);
  EXPECT_EQ(FormText(Copy), Written);
}

TEST(StdControlsResource, EventsFireFromTheWindowsNotices) {
  TControlsHolder F;
  auto* Edt = F->Find<TEdit>(L"edtName");
  Edt->SetFocus();
  Pump();
  SendMessageW(Edt->GetHandle(), EM_SETSEL, 3, 3);
  PostChar(L'x');
  EXPECT_EQ(Edt->GetText(), L"ABCX");  // typed letters follow CharCase
  EXPECT_TRUE(Edt->GetModified());

  auto* Chk = F->Find<TCheckBox>(L"chkGray");
  SendMessageW(Chk->GetHandle(), BM_CLICK, 0, 0);
  EXPECT_EQ(Chk->GetState(), cbChecked);  // grayed -> checked -> unchecked -> grayed
  SendMessageW(Chk->GetHandle(), BM_CLICK, 0, 0);
  SendMessageW(Chk->GetHandle(), BM_CLICK, 0, 0);
  EXPECT_EQ(Chk->GetState(), cbGrayed);
  EXPECT_EQ(SendMessageW(Chk->GetHandle(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);

  auto* RbB = F->Find<TRadioButton>(L"rbB");
  SendMessageW(RbB->GetHandle(), BM_CLICK, 0, 0);
  EXPECT_TRUE(RbB->GetChecked());
  EXPECT_FALSE(F->Find<TRadioButton>(L"rbA")->GetChecked());
  EXPECT_EQ(SendMessageW(F->Find<TRadioButton>(L"rbA")->GetHandle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  auto* Sb = F->Find<TScrollBar>(L"sbPos");
  SendMessageW(F.Form->GetHandle(), WM_HSCROLL, SB_PAGEDOWN, LPARAM(Sb->GetHandle()));
  EXPECT_EQ(Sb->GetPosition(), 21);  // LargeChange 1
  SendMessageW(F.Form->GetHandle(), WM_HSCROLL, SB_BOTTOM, LPARAM(Sb->GetHandle()));
  EXPECT_EQ(Sb->GetPosition(), 41);  // the last page starts at Max - PageSize + 1

  auto* Cmb = F->Find<TComboBox>(L"cmbKind");
  SendMessageW(Cmb->GetHandle(), CB_SETCURSEL, 0, 0);
  SendMessageW(F.Form->GetHandle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Cmb->GetHandle()), CBN_SELCHANGE),
               LPARAM(Cmb->GetHandle()));
  EXPECT_EQ(Cmb->GetText(), L"Market");

  EXPECT_EQ(F->Log, (std::vector<String>{L"edtNameChange", L"chkGrayClick", L"chkGrayClick", L"chkGrayClick",
                                         L"sbPosChange", L"sbPosChange", L"cmbKindSelect"}));
}

TEST(StdControlsResource, MalformedValuesNameThePropertyAndTheComponent) {
  RegisterAll();
  struct Case {
    const char* Body;
    const wchar_t* Expected[2];
  };
  const Case Cases[] = {
      {"  object edtX: TEdit\r\n    Colour = 1\r\n  end\r\n", {L"edtX.Colour", L"does not exist"}},
      {"  object edtX: TEdit\r\n    CharCase = ecTitle\r\n  end\r\n", {L"edtX.CharCase", L"ecTitle"}},
      {"  object lstX: TListBox\r\n    Style = lbVirtual\r\n  end\r\n", {L"lstX.Style", L"lbVirtual"}},
      {"  object mskX: TMaskEdit\r\n    EditMask = '99;12;_'\r\n  end\r\n", {L"mskX.EditMask", L"Invalid edit mask"}},
      {"  object mskX: TMaskEdit\r\n    EditMask = '99\\'\r\n  end\r\n", {L"mskX.EditMask", L"Invalid edit mask"}},
      {"  object mskX: TMaskEdit\r\n    EditMask = '00;1;ab'\r\n  end\r\n", {L"mskX.EditMask", L"Invalid edit mask"}},
  };
  for (const Case& C : Cases) {
    std::string Text = std::string("object F: TForm\r\n") + C.Body + "end\r\n";
    TForm* Form = new TForm(nullptr, 0);
    Form->AfterConstruction();
    TMemoryStream In;
    In.Write(Text.data(), Integer(Text.size()));
    In.SetPosition(0);
    String Message;
    try {
      ReadComponentFromStream(&In, Form);
    } catch (const EReadError& E) {
      Message = E.Message();
    }
    delete Form;
    for (const wchar_t* Part : C.Expected) EXPECT_NE(Message.find(Part), String::npos) << C.Body << " -> " << Message;
  }
}

// ---- Masked edit ------------------------------------------------------------------------------

// Keys of the typing table: printable characters are typed; these stand for special keys.
constexpr Char kLeft = 0x11, kRight = 0x12, kHome = 0x13, kEnd = 0x14, kDel = 0x7F, kBack = 0x08;

void TypeKeys(const String& Keys) {
  for (Char C : Keys) {
    switch (C) {
      case kLeft: PostKey(VK_LEFT); break;
      case kRight: PostKey(VK_RIGHT); break;
      case kHome: PostKey(VK_HOME); break;
      case kEnd: PostKey(VK_END); break;
      case kDel: PostKey(VK_DELETE); break;
      default: PostChar(C); break;
    }
  }
}

TEST(MaskEdit, TypedKeysFillTheMaskPlaces) {
  struct Case {
    const wchar_t* Mask;
    String Keys;
    const wchar_t* EditText;
    const wchar_t* Text;
    Integer Caret;
  };
  const Case Cases[] = {
      {L"!99.99.0000;1;_", L"01022024", L"01.02.2024", L"01.02.2024", 10},            // literals skipped
      {L"(999) 000-0000;1;_", L"5551234567", L"(555) 123-4567", L"(555) 123-4567", 14},
      {L"000-000;0;_", L"123456", L"123-456", L"123456", 7},                             // literals not saved
      {L"99-99;0;_", L"1", L"1_-__", L"1   ", 1},                                        // empty places are blanks
      {L">LL<ll;1;_", L"abCD", L"ABcd", L"ABcd", 4},                                     // case conversion
      {L"000;1;*", L"1", L"1**", L"1  ", 1},                                             // blank character
      {L"9999;1; ", L"12", L"12  ", L"12  ", 2},
      {L"000;1;_", L"1a2", L"12_", L"12 ", 2},                                           // a letter refused
      {L"LLL;1;_", L"a1b", L"ab_", L"ab ", 2},                                           // a digit refused
      {L"AAA;1;_", L"a1-", L"a1_", L"a1 ", 2},
      {L"CCC;1;_", L"a-!", L"a-!", L"a-!", 3},
      {L"###;1;_", L"+1x", L"+1_", L"+1 ", 2},
      {L"000;1;_", String(L"123") + kBack, L"12_", L"12 ", 2},                          // backspace clears
      {L"00.00;1;_", String(L"1234") + kLeft + kLeft + kLeft + L"9", L"19.34", L"19.34", 3},  // overwrite
      {L"000;1;_", String(L"12") + kHome + L"9", L"92_", L"92 ", 1},
      {L"000;1;_", String(L"123") + kHome + kDel, L"_23", L" 23", 0},
      {L"00-00;1;_", String(L"12") + kHome + kRight + kRight, L"12-__", L"12-  ", 3},      // right skips literals
      {L"00-00;1;_", String(L"12-3"), L"12-3_", L"12-3 ", 4},                            // a typed literal steps over
  };
  TFormHolder H;
  H->Show();
  for (const Case& C : Cases) {
    auto* E = new TMaskEdit(H.Form);
    E->SetParent(H.Form);
    E->SetEditMask(C.Mask);
    E->SetFocus();
    Pump();
    E->SelectAll();
    E->SetSelStart(0);
    TypeKeys(C.Keys);
    EXPECT_EQ(E->GetEditText(), C.EditText) << C.Mask;
    EXPECT_EQ(E->GetText(), C.Text) << C.Mask;
    EXPECT_EQ(E->GetSelStart(), C.Caret) << C.Mask;
    delete E;
  }
}

TEST(MaskEdit, ValidationRaisesAndKeepsWhatWasTyped) {
  struct Case {
    const wchar_t* Mask;
    const wchar_t* Typed;
    bool Valid;
    Integer Caret;  // where a failed validation leaves the caret
  };
  const Case Cases[] = {
      {L"000-00;1;_", L"123", false, 4},
      {L"000-00;1;_", L"12345", true, 0},
      {L"000-00;1;_", L"", true, 0},  // nothing entered
      {L"999;1;_", L"1", true, 0},     // optional places may stay empty
      {L"LL0;1;_", L"ab", false, 2},
      {L"(999) 000-0000;1;_", L"5", false, 6},
  };
  TFormHolder H;
  H->Show();
  for (const Case& C : Cases) {
    auto* E = new TMaskEdit(H.Form);
    E->SetParent(H.Form);
    E->SetEditMask(C.Mask);
    E->SetFocus();
    Pump();
    E->SetSelStart(0);
    TypeKeys(C.Typed);
    String Before = E->GetEditText();
    if (C.Valid) {
      EXPECT_NO_THROW(E->ValidateEdit()) << C.Mask << " " << C.Typed;
    } else {
      try {
        E->ValidateEdit();
        ADD_FAILURE() << C.Mask << " " << C.Typed << " passed";
      } catch (const EDBEditError& Err) {
        EXPECT_EQ(Err.Message(), L"Invalid input value.  Use escape key to abandon changes");
        EXPECT_EQ(E->GetSelStart(), C.Caret) << C.Mask;
      }
    }
    EXPECT_EQ(E->GetEditText(), Before) << C.Mask;
    delete E;
  }
}

TEST(MaskEdit, LeavingAnInvalidEditReportsAndKeepsTheFocus) {
  TFormHolder H;
  TExceptionLog Errors;
  H->Show();
  auto* E = new TMaskEdit(H.Form);
  E->SetParent(H.Form);
  E->SetEditMask(L"000-00;1;_");
  auto* Other = new TEdit(H.Form);
  Other->SetParent(H.Form);
  Other->SetTop(40);
  E->SetFocus();
  Pump();
  TypeKeys(L"12");
  PostKey(VK_TAB);
  EXPECT_EQ(Errors.Messages, std::vector<String>{L"Invalid input value.  Use escape key to abandon changes"});
  EXPECT_EQ(FocusedControl(), E);
  EXPECT_EQ(E->GetEditText(), L"12_-__");
  EXPECT_EQ(E->GetSelStart(), 2);
  // Escape abandons the changes.
  PostKey(VK_ESCAPE);
  EXPECT_EQ(E->GetEditText(), L"___-__");
}

TEST(MaskEdit, TextAndEditTextFollowTheSaveFlag) {
  TFormHolder H;
  auto* E = new TMaskEdit(H.Form);
  E->SetParent(H.Form);
  E->SetEditMask(L"(999) 000-0000;0;_");
  E->SetText(L"5551234567");
  EXPECT_EQ(E->GetEditText(), L"(555) 123-4567");
  EXPECT_EQ(E->GetText(), L"5551234567");
  E->SetEditMask(L"(999) 000-0000;1;_");  // the value survives a new mask
  EXPECT_EQ(E->GetText(), L"(555) 123-4567");
  E->Clear();
  EXPECT_EQ(E->GetEditText(), L"(___) ___-____");
  E->SetText(L"(555) 123-4567");
  E->SetEditMask(L"");
  EXPECT_FALSE(E->IsMasked());
  EXPECT_EQ(E->GetText(), L"(555) 123-4567");
}

TEST(MaskRoutines, FormatAndFields) {
  struct Case {
    const wchar_t* Mask;
    const wchar_t* Value;
    const wchar_t* Formatted;
  };
  const Case Cases[] = {
      {L"!99.99.0000;1;_", L"01.02.2024", L"01.02.2024"},
      {L"000-000;0;_", L"123456", L"123-456"},
      {L"000-000;0;*", L"12", L"12*-***"},
      {L"!999;0;_", L"5", L"__5"},
      {L"00\\-00;1;_", L"12-34", L"12-34"},
      {L"000;1; ", L"", L"   "},
      {L">lll", L"abc", L"ABC"},
  };
  for (const Case& C : Cases) EXPECT_EQ(FormatMaskText(C.Mask, C.Value), C.Formatted) << C.Mask;
  EXPECT_EQ(MaskGetFldSeparator(L"99;1;_"), 3);
  EXPECT_EQ(MaskGetFldSeparator(L"9\\;9"), 0);
  EXPECT_EQ(MaskGetFldSeparator(L"999"), 0);
  EXPECT_FALSE(MaskGetMaskSave(L"99;0"));
  EXPECT_TRUE(MaskGetMaskSave(L"99"));
  EXPECT_TRUE(MaskGetMaskSave(L"99;1;_"));
  EXPECT_EQ(MaskGetMaskBlank(L"99;1;*"), L'*');
  EXPECT_EQ(MaskGetMaskBlank(L"99"), L'_');
  EXPECT_EQ(PadInputLiterals(L"00-00", L"12-3", L'#'), L"12-3#");
}

// ---- Mouse and keyboard ----------------------------------------------------------------------

TEST(RadioGroup, PostedClicksSelectTheItem) {
  TControlsHolder F;
  auto* Rg = F->Find<TRadioGroup>(L"rgSector");
  auto Click = [](TWinControl* C) {
    HWND H = C->GetHandle();
    PostMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(H, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump();
  };
  Click(Rg->GetButtons(1));
  EXPECT_EQ(Rg->GetItemIndex(), 1);
  EXPECT_EQ(SendMessageW(Rg->GetButtons(0)->GetHandle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(F->Log, std::vector<String>{L"rgSectorClick"});
  Click(Rg->GetButtons(1));  // the selected item again: no change, no event
  EXPECT_EQ(F->Log, std::vector<String>{L"rgSectorClick"});
  // A disabled group disables its buttons' windows, which then get no mouse input.
  Rg->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Rg->GetButtons(0)->GetHandle()));
  Rg->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(Rg->GetButtons(0)->GetHandle()));
  Click(Rg->GetButtons(0));
  EXPECT_EQ(Rg->GetItemIndex(), 0);
  // New items make new buttons, the selection kept where it still fits.
  Rg->GetItems()->Add(L"Kafe");
  EXPECT_EQ(Rg->GetButtonCount(), 3);
  EXPECT_EQ(Rg->GetItemIndex(), 0);
  EXPECT_EQ(SendMessageW(Rg->GetButtons(0)->GetHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST(Keyboard, TabFollowsTheDeclaredOrder) {
  TControlsHolder F;
  ASSERT_EQ(FocusedControl(), F->Find<TWinControl>(L"edtName"));
  auto* Rg = F->Find<TRadioGroup>(L"rgSector");
  std::vector<TWinControl*> Order = {F->Find<TWinControl>(L"mskDate"),  F->Find<TWinControl>(L"cmbKind"),
                                     F->Find<TWinControl>(L"chkGray"),  F->Find<TWinControl>(L"rbA"),
                                     F->Find<TWinControl>(L"lstItems"), F->Find<TWinControl>(L"memLog"),
                                     F->Find<TWinControl>(L"sbPos"),    Rg->GetButtons(0),
                                     F->Find<TWinControl>(L"btnOk"),    F->Find<TWinControl>(L"btnCancel"),
                                     F->Find<TWinControl>(L"edtName")};
  for (TWinControl* C : Order) {
    PostKey(VK_TAB);
    EXPECT_EQ(FocusedControl(), C) << C->GetName().c_str();
  }
}

TEST(Keyboard, AcceleratorsFocusAndPress) {
  TControlsHolder F;
  auto* Ok = F->Find<TButton>(L"btnOk");
  Ok->SetFocus();
  Pump();
  // A plain letter where the focused control takes no characters.
  PostChar(L'k');
  EXPECT_EQ(FocusedControl(), F->Find<TWinControl>(L"rbB"));
  EXPECT_TRUE(F->Find<TRadioButton>(L"rbB")->GetChecked());
  // Alt+letter from an edit that takes characters: the label gives the focus to its control.
  F->Find<TEdit>(L"edtName")->SetFocus();
  PostChar(L'g', WM_SYSCHAR, LPARAM(0x20000001));
  EXPECT_EQ(FocusedControl(), F->Find<TWinControl>(L"chkGray"));
  EXPECT_EQ(F->Find<TCheckBox>(L"chkGray")->GetState(), cbChecked);
  PostChar(L'a', WM_SYSCHAR, LPARAM(0x20000001));
  EXPECT_EQ(FocusedControl(), F->Find<TWinControl>(L"edtName"));
  EXPECT_EQ(F->Find<TEdit>(L"edtName")->GetText(), L"ABC");  // the letter was not typed
  PostChar(L't', WM_SYSCHAR, LPARAM(0x20000001));
  EXPECT_EQ(F->Log, (std::vector<String>{L"chkGrayClick", L"btnOkClick"}));
}

TEST(Keyboard, DefaultAndCancelAnswerEnterAndEscapeInAModalForm) {
  struct Case {
    const wchar_t* Focus;
    Word Key;
    TModalResult Result;
  };
  const Case Cases[] = {
      {L"edtName", VK_RETURN, mrOk},
      {L"edtName", VK_ESCAPE, mrCancel},
      {L"btnCancel", VK_RETURN, mrCancel},  // a focused button is the one Enter presses
      {L"memLog", VK_RETURN, mrOk},         // the memo does not want returns
      {L"chkGray", VK_ESCAPE, mrCancel},
  };
  for (const Case& C : Cases) {
    TControlsHolder F(false);
    TWinControl* Target = F->Find<TWinControl>(C.Focus);
    TModalResult R = mrNone;
    // Sends the key once the modal loop runs.
    auto* T = new TTimer(F.Form);
    T->SetInterval(10);
    Word Key = C.Key;
    T->SetOnTimer([T, Key, Target](TObject*) {
      T->SetEnabled(false);
      Target->SetFocus();
      PostKey(Key);
    });
    R = F->ShowModal();
    EXPECT_EQ(R, C.Result) << C.Focus;
    EXPECT_EQ(C.Result == mrOk, std::find(F->Log.begin(), F->Log.end(), L"btnOkClick") != F->Log.end()) << C.Focus;
  }
}

// ---- Edits and combo boxes -------------------------------------------------------------------

TEST(Edit, SelectionClipboardAndUndoWorkOnTheWindow) {
  TFormHolder H;
  auto* E = new TEdit(H.Form);
  E->SetParent(H.Form);
  E->SetText(L"Zelkor SQL");
  H->Show();
  E->SetFocus();
  Pump();
  EXPECT_EQ(E->GetSelLength(), 10);  // AutoSelect on entry by keyboard or code
  E->SetSelStart(7);
  E->SetSelLength(3);
  EXPECT_EQ(E->GetSelText(), L"SQL");
  E->CopyToClipboard();
  E->SetSelText(L"Kurulum");
  EXPECT_EQ(E->GetText(), L"Zelkor Kurulum");
  E->Undo();
  EXPECT_EQ(E->GetText(), L"Zelkor SQL");
  E->SelectAll();
  E->PasteFromClipboard();
  EXPECT_EQ(E->GetText(), L"SQL");
  // Without a window the values wait in the control and reach the window when it is made.
  auto* P = new TEdit(H.Form);
  P->SetPasswordChar(L'*');
  P->SetReadOnly(true);
  P->SetText(L"gizli");
  P->SetParent(H.Form);
  EXPECT_EQ(SendMessageW(P->GetHandle(), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_TRUE(GetWindowLongPtrW(P->GetHandle(), GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(WindowText(P->GetHandle()), L"gizli");
}

TEST(Memo, LinesCaretAndSpecialKeys) {
  TFormHolder H;
  auto* M = new TMemo(H.Form);
  M->SetParent(H.Form);
  M->GetLines()->Add(L"bir");
  M->GetLines()->Add(L"iki");
  M->GetLines()->Insert(1, L"arada");
  EXPECT_EQ(M->GetText(), L"bir\r\narada\r\niki");
  H->Show();
  M->GetLines()->SetStrings(2, L"üç");
  EXPECT_EQ(M->GetLines()->ToStringArray(), (std::vector<String>{L"bir", L"arada", L"üç"}));
  M->SetCaretPos(TPoint(2, 1));
  EXPECT_EQ(M->GetCaretPos(), TPoint(2, 1));
  HWND W = M->GetHandle();
  EXPECT_TRUE(SendMessageW(W, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
  EXPECT_FALSE(M->Perform(WM_GETDLGCODE) & DLGC_WANTTAB);
  M->SetWantTabs(true);
  M->SetWantReturns(false);
  EXPECT_TRUE(M->Perform(WM_GETDLGCODE) & DLGC_WANTTAB);
  EXPECT_FALSE(M->Perform(WM_GETDLGCODE) & DLGC_WANTALLKEYS);
}

TEST(Edit, MarginsSurviveANewWindowAndANewFont) {
  TFormHolder H;
  auto* E = new TEdit(H.Form);
  E->SetParent(H.Form);
  E->SetEditMargins(7, 11);
  EXPECT_EQ(E->GetEditMargins(), TPoint(7, 11));  // kept before the window exists
  H->Show();
  EXPECT_EQ(E->GetEditMargins(), TPoint(7, 11));
  E->GetFont()->SetSize(14);
  EXPECT_EQ(E->GetEditMargins(), TPoint(7, 11));
  E->RecreateWnd();
  E->HandleNeeded();
  EXPECT_EQ(E->GetEditMargins(), TPoint(7, 11));
}

TEST(Memo, ALineBeyondTheWindowsLimitIsRefusedAndTheOldTextKept) {
  TFormHolder H;
  auto* M = new TMemo(H.Form);
  M->SetParent(H.Form);
  M->SetMaxLength(10);
  H->Show();
  M->GetLines()->SetText(L"kısa");
  EXPECT_THROW(M->GetLines()->Add(L"sığmayan satır"), EInvalidOperation);
  EXPECT_EQ(M->GetText(), L"kısa");
  M->GetLines()->Add(L"ek");
  EXPECT_EQ(M->GetText(), L"kısa\r\nek");
}

TEST(ComboBox, TypingCompletesAndTheListReportsItsMoves) {
  TFormHolder H;
  auto* C = new TComboBox(H.Form);
  C->GetItems()->Add(L"Market");
  C->GetItems()->Add(L"Restoran");
  C->SetParent(H.Form);
  std::vector<String> Log;
  C->SetOnDropDown([&](TObject*) { Log.push_back(L"drop"); });
  C->SetOnCloseUp([&](TObject*) { Log.push_back(L"close"); });
  C->SetOnChange([&](TObject*) { Log.push_back(L"change " + C->GetText()); });
  H->Show();
  C->SetFocus();
  Pump();
  PostChar(L'R');
  EXPECT_EQ(C->GetText(), L"Restoran");
  EXPECT_EQ(C->GetItemIndex(), 1);
  PostChar(L'x');  // no item starts so: the typed text stays
  EXPECT_EQ(C->GetText(), L"Rx");
  C->SetDroppedDown(true);
  Pump();
  C->SetDroppedDown(false);
  Pump();
  EXPECT_EQ(Log, (std::vector<String>{L"change Restoran", L"change Rx", L"drop", L"close"}));
  C->SetStyle(csDropDownList);  // the window is made again; the items stay
  EXPECT_EQ(SendMessageW(C->GetHandle(), CB_GETCOUNT, 0, 0), 2);
  C->SetText(L"Market");
  EXPECT_EQ(C->GetItemIndex(), 0);
}

TEST(RightToLeft, SystemControlsTakeTheMirroredStyles) {
  TControlsHolder F;
  struct Case {
    const wchar_t* Name;
    LONG_PTR ExStyle;  // expected in the window's extended style
    LONG_PTR Style;    // expected in the style (0: none)
  };
  const Case Cases[] = {
      {L"edtName", WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR, ES_RIGHT},
      {L"lstItems", WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR, 0},
      {L"cmbKind", WS_EX_RTLREADING | WS_EX_RIGHT, 0},
      {L"chkGray", WS_EX_RTLREADING, BS_LEFTTEXT},  // the box moves to the right
      {L"rbA", WS_EX_RTLREADING, BS_LEFTTEXT},
  };
  for (const Case& C : Cases) {
    auto* W = F->Find<TWinControl>(C.Name);
    EXPECT_EQ(GetWindowLongPtrW(W->GetHandle(), GWL_EXSTYLE) & C.ExStyle, 0) << C.Name;
    // The parent's order passed on again, unchanged (as when the form is read), keeps the window.
    HWND Before = W->GetHandle();
    W->Perform(CM_PARENTBIDIMODECHANGED);
    EXPECT_EQ(W->GetHandle(), Before) << C.Name;
    W->SetBiDiMode(bdRightToLeft);
    Pump();
    EXPECT_EQ(GetWindowLongPtrW(W->GetHandle(), GWL_EXSTYLE) & C.ExStyle, C.ExStyle) << C.Name;
    EXPECT_EQ(GetWindowLongPtrW(W->GetHandle(), GWL_STYLE) & C.Style, C.Style) << C.Name;
  }
  // The window made again keeps the control's state.
  EXPECT_EQ(F->Find<TComboBox>(L"cmbKind")->GetItemIndex(), 1);
  EXPECT_EQ(F->Find<TListBox>(L"lstItems")->GetCount(), 3);
  EXPECT_EQ(F->Find<TCheckBox>(L"chkGray")->GetState(), cbGrayed);
  EXPECT_EQ(WindowText(F->Find<TWinControl>(L"edtName")->GetHandle()), L"ABC");
}

TEST(Panel, BevelKindTakesItsEdgesOutOfTheClientArea) {
  TFormHolder H;
  auto* P = new TPanel(H.Form);
  P->SetParent(H.Form);
  P->SetBounds(0, 0, 100, 50);
  P->SetBevelOuter(bvNone);
  auto* Child = new TPanel(H.Form);
  Child->SetParent(P);
  Child->SetAlign(alClient);
  H->Show();
  Pump();
  EXPECT_EQ(P->GetClientRect(), TRect(0, 0, 100, 50));
  P->SetBevelKind(bkTile);
  P->SetBevelEdges(TBevelEdges{beTop, beBottom});
  Pump();
  EXPECT_EQ(P->GetClientRect(), TRect(0, 0, 100, 46));
  EXPECT_EQ(Child->GetBoundsRect(), TRect(0, 0, 100, 46));
  P->SetBevelKind(bkFlat);
  EXPECT_EQ(P->GetClientRect(), TRect(0, 0, 100, 48));
}

TEST(Label, AutoSizeFollowsTheCaptionAndWrapping) {
  TFormHolder H;
  auto* L = new TLabel(H.Form);
  L->SetParent(H.Form);
  L->SetCaption(L"Lütfen Bekleyiniz...");
  Integer OneLine = L->GetHeight();
  Integer Wide = L->GetWidth();
  EXPECT_GT(Wide, 50);
  L->SetCaption(L"Lütfen");
  EXPECT_LT(L->GetWidth(), Wide);
  // Wrapped to a narrow width, the label grows down instead.
  L->SetCaption(L"Lütfen Bekleyiniz...");
  L->SetAutoSize(false);
  L->SetWidth(75);  // wider than the longest word, narrower than the caption
  L->SetWordWrap(true);
  L->SetAutoSize(true);
  EXPECT_LE(L->GetWidth(), 75);
  EXPECT_GE(L->GetHeight(), 2 * OneLine);
  // Right-aligned labels keep their right edge.
  auto* R = new TLabel(H.Form);
  R->SetParent(H.Form);
  R->SetAutoSize(false);
  R->SetBounds(100, 0, 100, 20);
  R->SetAlignment(taRightJustify);
  R->SetCaption(L"Sürüm 7.8");
  R->SetAutoSize(true);
  EXPECT_EQ(R->GetLeft() + R->GetWidth(), 200);
}

// A label made in code sizes itself before it has a parent, as it will once it has one.
TEST(Label, AutoSizeWorksBeforeTheLabelHasAParent) {
  TFormHolder H;
  auto* L = new TLabel(H.Form);
  L->SetCaption(L"Lütfen Bekleyiniz...");
  TSize Apart(L->GetWidth(), L->GetHeight());
  L->SetParent(H.Form);
  L->SetCaption(L"x");
  L->SetCaption(L"Lütfen Bekleyiniz...");
  EXPECT_EQ(TSize(L->GetWidth(), L->GetHeight()), Apart);
  EXPECT_GT(Apart.cx, 50);
}

TEST(RadioGroup, ArrowKeysMoveTheSelection) {
  TControlsHolder F;
  auto* Rg = F->Find<TRadioGroup>(L"rgSector");
  Rg->GetButtons(0)->SetFocus();
  Pump();
  PostKey(VK_DOWN);
  EXPECT_EQ(FocusedControl(), Rg->GetButtons(1));
  EXPECT_EQ(Rg->GetItemIndex(), 1);
  PostKey(VK_UP);
  EXPECT_EQ(Rg->GetItemIndex(), 0);
  EXPECT_EQ(F->Log, (std::vector<String>{L"rgSectorClick", L"rgSectorClick"}));
}

TEST(ScrollBar, ParametersMayBeSetInAnyOrder) {
  TFormHolder H;
  auto* S = new TScrollBar(H.Form);
  S->SetParent(H.Form);
  struct Step {
    std::function<void()> Set;
    Integer Min, Max, Position, PageSize;
  };
  const Step Steps[] = {
      {[&] { S->SetPageSize(0); }, 0, 100, 0, 0},
      {[&] { S->SetParams(150, 0, 200); }, 0, 200, 150, 0},
      {[&] { S->SetMax(10); }, 0, 10, 10, 0},          // position follows the range
      {[&] { S->SetPageSize(50); }, 0, 10, 0, 11},     // a page never exceeds the range
      {[&] { S->SetMin(20); }, 20, 20, 20, 11},        // max is raised to min
      {[&] { S->SetParams(5, 0, 100); }, 0, 100, 5, 11},
  };
  for (const Step& St : Steps) {
    St.Set();
    EXPECT_EQ(S->GetMin(), St.Min);
    EXPECT_EQ(S->GetMax(), St.Max);
    EXPECT_EQ(S->GetPosition(), St.Position);
    EXPECT_EQ(S->GetPageSize(), St.PageSize);
  }
}

// ---- Owner draw and painting -----------------------------------------------------------------

TEST(ListBox, OwnerDrawCallsTheDrawEventPerVisibleItem) {
  TFormHolder H;
  auto* L = new TListBox(H.Form);
  L->SetParent(H.Form);
  L->SetStyle(lbOwnerDrawFixed);
  L->SetItemHeight(20);
  L->SetBounds(0, 0, 100, 100 + 4);  // room for five rows inside the border
  for (Integer I = 0; I < 12; ++I) L->GetItems()->Add(L"item " + std::to_wstring(I));
  std::vector<Integer> Drawn;
  std::vector<String> Texts;
  L->SetOnDrawItem([&](TWinControl* C, Integer Index, TRect Rect, TOwnerDrawState) {
    Drawn.push_back(Index);
    EXPECT_EQ(Rect.Height(), 20);
    EXPECT_NE(static_cast<TListBox*>(C)->GetCanvas()->GetHandle(), nullptr);
  });
  H->Show();
  Pump();
  Drawn.clear();
  L->SetTopIndex(3);
  L->Repaint();
  Pump();
  EXPECT_EQ(Drawn, (std::vector<Integer>{3, 4, 5, 6, 7}));
}

TEST(ListBox, VariableOwnerDrawMeasuresEachItem) {
  TFormHolder H;
  auto* L = new TListBox(H.Form);
  L->SetParent(H.Form);
  L->SetStyle(lbOwnerDrawVariable);
  std::vector<Integer> Measured;
  L->SetOnMeasureItem([&](TWinControl*, Integer Index, Integer& Height) {
    Measured.push_back(Index);
    Height = 10 + Index;
  });
  H->Show();
  L->GetItems()->Add(L"a");
  L->GetItems()->Add(L"b");
  EXPECT_EQ(Measured, (std::vector<Integer>{0, 1}));
  EXPECT_EQ(L->ItemRect(1).Height(), 11);
}

TEST(SpeedButton, GroupedButtonsStayDownOneAtATime) {
  TControlsHolder F;
  auto* B = F->Find<TSpeedButton>(L"sbBold");
  auto* I = F->Find<TSpeedButton>(L"sbItalic");
  auto Click = [&](TSpeedButton* S) {
    HWND H = F.Form->GetHandle();
    LPARAM P = MAKELPARAM(S->GetLeft() + 5, S->GetTop() + 5);
    PostMessageW(H, WM_LBUTTONDOWN, MK_LBUTTON, P);
    PostMessageW(H, WM_LBUTTONUP, 0, P);
    Pump();
  };
  Click(B);
  EXPECT_TRUE(B->GetDown());
  Click(I);
  EXPECT_TRUE(I->GetDown());
  EXPECT_FALSE(B->GetDown());
  Click(I);  // AllowAllUp: the last one comes up too
  EXPECT_FALSE(I->GetDown());
}

TEST(Painting, DisabledAndRightToLeftLooksDiffer) {
  // Each control paints itself into a bitmap through WM_PAINT with a DC; the disabled, mirrored
  // and pressed looks must differ from the plain one.
  TControlsHolder F;
  auto Shot = [](TControl* C) {
    TBitmap B(C->GetWidth(), C->GetHeight());
    B.GetCanvas()->GetBrush()->SetColor(clWhite);
    B.GetCanvas()->FillRect(TRect(0, 0, C->GetWidth(), C->GetHeight()));
    C->Perform(WM_PAINT, WPARAM(B.GetCanvas()->GetHandle()), 0);
    std::vector<TColor> Px;
    for (Integer Y = 0; Y < C->GetHeight(); ++Y)
      for (Integer X = 0; X < C->GetWidth(); ++X) Px.push_back(B.GetCanvas()->GetPixel(X, Y));
    return Px;
  };
  struct Case {
    const wchar_t* Name;
    std::function<void(TControl*)> Change;
  };
  const Case Cases[] = {
      {L"pnlTop", [](TControl* C) { C->SetEnabled(false); }},
      {L"pnlTop", [](TControl* C) { C->SetBiDiMode(bdRightToLeft); static_cast<TPanel*>(C)->SetAlignment(taLeftJustify); }},
      {L"lblName", [](TControl* C) { C->SetEnabled(false); }},
      {L"gbBox", [](TControl* C) { C->SetBiDiMode(bdRightToLeft); }},
      {L"sbBold", [](TControl* C) { static_cast<TSpeedButton*>(C)->SetDown(true); }},
      {L"sbItalic", [](TControl* C) { C->SetEnabled(false); }},
      {L"bvlLine", [](TControl* C) { static_cast<TBevel*>(C)->SetStyle(bsRaised); }},
  };
  for (const Case& K : Cases) {
    TControl* C = F->Find<TControl>(K.Name);
    auto Plain = Shot(C);
    EXPECT_NE(std::count(Plain.begin(), Plain.end(), TColor(clWhite)), Integer(Plain.size())) << K.Name;
    K.Change(C);
    EXPECT_NE(Shot(C), Plain) << K.Name;
    C->SetEnabled(true);
    C->SetBiDiMode(bdLeftToRight);
  }
}

TEST(Image, ProportionalPictureFitsItsBox) {
  TFormHolder H;
  auto* Img = new TImage(H.Form);
  Img->SetParent(H.Form);
  Img->SetBounds(0, 0, 73, 64);
  Img->SetProportional(true);
  TBitmap Pic(150, 130);
  Img->GetPicture()->SetBitmap(&Pic);
  EXPECT_EQ(Img->DestRect(), TRect(0, 0, 73, 63));  // scaled down, shape kept
  Img->SetCenter(true);
  EXPECT_EQ(Img->DestRect(), TRect(0, 0, 73, 63));
  Img->SetProportional(false);
  EXPECT_EQ(Img->DestRect(), TRect(-38, -33, 112, 97));  // centred, not scaled
  Img->SetStretch(true);
  EXPECT_EQ(Img->DestRect(), TRect(0, 0, 73, 64));
}

TEST(Image, AnAnimatedGifPlaysInTheImage) {
  TFormHolder H;
  auto* Img = new TImage(H.Form);
  Img->SetParent(H.Form);
  Img->SetBounds(0, 0, 8, 8);
  {
    TGIFImage G;
    TMemoryStream M;
    M.WriteBuffer(anim_gif, Integer(anim_gif_len));
    M.SetPosition(0);
    G.LoadFromStream(&M);
    Img->GetPicture()->SetGraphic(&G);
  }
  auto* Gif = dynamic_cast<TGIFImage*>(Img->GetPicture()->GetGraphic());
  ASSERT_NE(Gif, nullptr);
  auto Shot = [&] {
    TBitmap B(8, 8);
    Img->Perform(WM_PAINT, WPARAM(B.GetCanvas()->GetHandle()), 0);
    std::vector<TColor> Px;
    for (Integer Y = 0; Y < 8; ++Y)
      for (Integer X = 0; X < 8; ++X) Px.push_back(B.GetCanvas()->GetPixel(X, Y));
    return Px;
  };
  H->Show();
  Pump();
  auto First = Shot();
  Gif->SetAnimationSpeed(1000);
  Gif->SetAnimate(true);
  EXPECT_TRUE(PumpUntil([&] { return Gif->GetCurrentFrame() != 0; }));
  Gif->SetAnimate(false);
  EXPECT_NE(Shot(), First);  // the image shows the frame the animation reached
}

}  // namespace
