#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <memory>

#include "framework/Classes.h"
#include "framework/ComCtrls.h"
#include "framework/ImgList.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/classes/ObjectText.h"
#include "framework/controls/ControlsTestUtil.h"

using namespace ctltest;

namespace {

// The wizard's main window in small: tool bar, progress bars, the rich-edit log and the status bar.
class TComCtrlsForm : public TForm {
  DECLARE_CLASS(TComCtrlsForm, TForm)
 public:
  using TForm::TForm;
  std::vector<String> Log;
  void BoldButtonClick(TObject*) { Log.push_back(L"BoldButtonClick"); }
  void UpDown1Click(TObject*, TUDBtnType Button) { Log.push_back(Button == btNext ? L"next" : L"prev"); }
  template <class T>
  T* Find(const wchar_t* Name) {
    auto* C = dynamic_cast<T*>(FindComponent(Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
  }
  PUBLISHED_DECL(TComCtrlsForm);
};

PUBLISHED_DEF(TComCtrlsForm) {
  METHOD(BoldButtonClick);
  METHOD(UpDown1Click);
}

void RegisterAll() {
  RegisterStdControls();
  RegisterComControls();
  RegisterClasses({TComCtrlsForm::StaticClass()});
}

struct TComCtrlsHolder {
  TComCtrlsForm* Form;
  TComCtrlsHolder() {
    RegisterAll();
    Form = new TComCtrlsForm(nullptr);
    Form->AfterConstruction();
    Form->Show();
    Pump();
  }
  ~TComCtrlsHolder() {
    delete Form;
    Pump();
  }
  TComCtrlsForm* operator->() const { return Form; }
};

LONG_PTR Style(TWinControl* C) { return GetWindowLongPtrW(C->GetHandle(), GWL_STYLE); }

String WindowText(HWND H) {
  wchar_t B[256] = {};
  GetWindowTextW(H, B, 256);
  return B;
}

String PanelText(TStatusBar* Bar, Integer Index) {
  wchar_t B[256] = {};
  SendMessageW(Bar->GetHandle(), SB_GETTEXTW, WPARAM(Index), LPARAM(B));
  return B;
}

// A left click at the centre of Rect, as the window receives it.
void ClickAt(HWND Wnd, const RECT& R) {
  LPARAM P = MAKELPARAM((R.left + R.right) / 2, (R.top + R.bottom) / 2);
  SendMessageW(Wnd, WM_LBUTTONDOWN, MK_LBUTTON, P);
  SendMessageW(Wnd, WM_LBUTTONUP, 0, P);
  Pump();
}

// The window's id of its button at Index.
Integer CommandOf(HWND ToolBar, Integer Index) {
  TBBUTTON B{};
  SendMessageW(ToolBar, TB_GETBUTTON, WPARAM(Index), LPARAM(&B));
  return B.idCommand;
}

std::string StreamBytes(TMemoryStream& S) {
  return std::string(static_cast<const char*>(S.GetMemory()), size_t(S.GetSize()));
}

// The colour of the characters of line Index, each line selected in turn.
TColor LineColor(TRichEdit* R, Integer Index) {
  Integer Start = Integer(SendMessageW(R->GetHandle(), EM_LINEINDEX, WPARAM(Index), 0));
  R->SetSelStart(Start);
  R->SetSelLength(R->GetLines()->GetStrings(Index).size());
  return R->GetSelAttributes()->GetColor();
}

constexpr TColor White = TColor(0xFFFFFF), Green = TColor(0x008000), Red = TColor(0x0000FF);
const TColor LogColors[] = {White, Green, Red};

// ---- The form resource -------------------------------------------------------------------------

TEST(ComCtrlsResource, EachControlStreamsIntoItsWindow) {
  TComCtrlsHolder F;

  auto* Bar = F->Find<TStatusBar>(L"StatusBar1");
  int Edges[8] = {};
  ASSERT_EQ(SendMessageW(Bar->GetHandle(), SB_GETPARTS, 8, LPARAM(Edges)), 3);
  EXPECT_EQ(Edges[0], 150);
  EXPECT_EQ(Edges[1], 300);
  EXPECT_EQ(Edges[2], -1);  // the last panel takes the rest
  EXPECT_EQ(PanelText(Bar, 0), L"\tYerel IP: 127.0.0.1");  // a tab centres the text
  EXPECT_EQ(PanelText(Bar, 2), L"\tSürüm 7.8");
  EXPECT_EQ(Bar->GetAlign(), alBottom);

  auto* Progress = F->Find<TProgressBar>(L"ProgressBar1");
  PBRANGE Range{};
  SendMessageW(Progress->GetHandle(), PBM_GETRANGE, FALSE, LPARAM(&Range));
  EXPECT_EQ(Range.iLow, 0);
  EXPECT_EQ(Range.iHigh, 255);
  EXPECT_EQ(SendMessageW(Progress->GetHandle(), PBM_GETPOS, 0, 0), 40);
  EXPECT_FALSE(Style(Progress) & PBS_MARQUEE);
  EXPECT_TRUE(Style(F->Find<TProgressBar>(L"pbMarquee")) & PBS_MARQUEE);

  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  EXPECT_TRUE(Style(Memo) & ES_READONLY);
  EXPECT_EQ(Memo->GetScrollBars(), ssVertical);
  EXPECT_FALSE(Style(Memo) & ES_WANTRETURN);
  EXPECT_EQ(Memo->GetDefAttributes()->GetCharset(), 162);
  EXPECT_EQ(Memo->GetDefAttributes()->GetName(), L"Tahoma");
  EXPECT_EQ(Memo->GetDefAttributes()->GetColor(), clWhite);

  auto* Notes = F->Find<TRichEdit>(L"reNotes");
  EXPECT_EQ(Notes->GetLines()->ToStringArray(), (std::vector<String>{L"Birinci satır", L"İkinci satır"}));
  EXPECT_EQ(Notes->GetTextLen(), 13 + 1 + 12);
  EXPECT_TRUE(Style(Notes) & ES_NOHIDESEL);

  auto* Tools = F->Find<TToolBar>(L"ToolBar1");
  HWND T = Tools->GetHandle();
  EXPECT_EQ(SendMessageW(T, TB_BUTTONCOUNT, 0, 0), 5);  // three buttons and the gaps of the edit and up-down
  EXPECT_EQ(Tools->GetButtonCount(), 3);
  EXPECT_EQ(HIMAGELIST(SendMessageW(T, TB_GETIMAGELIST, 0, 0)), F->Find<TImageList>(L"ImageList1")->GetHandle());
  EXPECT_EQ(Tools->GetButton(2), F->Find<TToolButton>(L"CenterAlign"));
  EXPECT_TRUE(SendMessageW(T, TB_ISBUTTONCHECKED, CommandOf(T, 1), 0));  // LeftAlign is down
  auto* Edit = F->Find<TEdit>(L"FontSizeOld");
  RECT Gap{};
  SendMessageW(T, TB_GETITEMRECT, 3, LPARAM(&Gap));
  EXPECT_EQ(Edit->GetLeft(), Gap.left);
  EXPECT_EQ(Gap.right - Gap.left, Edit->GetWidth());
  EXPECT_GE(F->Find<TUpDown>(L"UpDown1")->GetLeft(), Gap.right - 1);

  auto* Up = F->Find<TUpDown>(L"UpDown1");
  EXPECT_EQ(HWND(SendMessageW(Up->GetHandle(), UDM_GETBUDDY, 0, 0)), Edit->GetHandle());
  EXPECT_EQ(SendMessageW(Up->GetHandle(), UDM_GETPOS32, 0, 0), 12);
  EXPECT_EQ(WindowText(Edit->GetHandle()), L"12");
}

TEST(ComCtrlsResource, WrittenAndReadBackItIsTheSameForm) {
  TComCtrlsHolder F;
  TMemoryStream Bin, Text;
  Bin.WriteComponent(F.Form);
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  std::string Written = StreamBytes(Text);
  for (const char* Part : {"Style = pbstMarquee", "Panels = <", "Associate = FontSizeOld", "Images = ImageList1",
                           "Style = tbsCheck", "WantReturns = False"})
    EXPECT_NE(Written.find(Part), std::string::npos) << Part;

  auto* Copy = new TComCtrlsForm(nullptr, 0);
  Copy->AfterConstruction();
  Text.SetPosition(0);
  ReadComponentFromStream(&Text, Copy);
  auto* Bar = Copy->Find<TStatusBar>(L"StatusBar1");
  ASSERT_EQ(Bar->GetPanels()->GetCount(), 3);
  EXPECT_EQ(Bar->GetPanels()->GetItem(2)->GetText(), L"Sürüm 7.8");
  EXPECT_EQ(Bar->GetPanels()->GetItem(1)->GetAlignment(), taCenter);
  EXPECT_EQ(Copy->Find<TProgressBar>(L"pbMarquee")->GetStyle(), pbstMarquee);
  EXPECT_EQ(Copy->Find<TProgressBar>(L"ProgressBar1")->GetPosition(), 40);
  EXPECT_EQ(Copy->Find<TUpDown>(L"UpDown1")->GetAssociate(), Copy->Find<TEdit>(L"FontSizeOld"));
  EXPECT_EQ(Copy->Find<TToolBar>(L"ToolBar1")->GetImages(), Copy->Find<TImageList>(L"ImageList1"));
  EXPECT_TRUE(Copy->Find<TToolButton>(L"LeftAlign")->GetDown());
  EXPECT_FALSE(Copy->Find<TRichEdit>(L"Memo1")->GetWantReturns());
  delete Copy;
}

// ---- Rich edit -----------------------------------------------------------------------------------

// The wizard's log: the colour is set at the caret, then the line is added; past seven lines the
// view is scrolled so that the newest lines are in sight.
TEST(RichEditLog, ColouredLinesKeepTheirColoursAndTheViewFollowsTheLastLine) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  TStrings* Lines = Memo->GetLines();
  for (Integer I = 0; I < 20; ++I) {
    Memo->GetSelAttributes()->SetColor(LogColors[I % 3]);
    Lines->Add(L"- [12:00:" + IntToStr(I) + L"] satır " + IntToStr(I));
    if (Lines->GetCount() > 7) Memo->Perform(EM_LINESCROLL, 0, Lines->GetCount() - 3);
  }
  ASSERT_EQ(Lines->GetCount(), 20);
  EXPECT_EQ(Lines->GetStrings(0), L"- [12:00:0] satır 0");
  EXPECT_EQ(Lines->GetStrings(19), L"- [12:00:19] satır 19");
  EXPECT_TRUE(Style(Memo) & WS_VSCROLL);  // shown once the text is longer than the view
  EXPECT_GT(Memo->GetFirstVisibleLine(), 0);
  Integer LastStart = Integer(SendMessageW(Memo->GetHandle(), EM_LINEINDEX, 19, 0));
  POINTL P{};
  SendMessageW(Memo->GetHandle(), EM_POSFROMCHAR, WPARAM(&P), LastStart);
  EXPECT_GE(P.y, 0);
  EXPECT_LT(P.y, Memo->GetClientHeight());  // the newest line is in the view

  for (Integer I = 0; I < 20; ++I) EXPECT_EQ(LineColor(Memo, I), LogColors[I % 3]) << "line " << I;
}

TEST(RichEditLog, RichTextSavedAndLoadedKeepsTextAndColours) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  for (Integer I = 0; I < 6; ++I) {
    Memo->SetSelStart(Memo->GetTextLen());
    Memo->GetSelAttributes()->SetColor(LogColors[I % 3]);
    Memo->SetSelText((I ? L"\r" : L"") + String(L"Satır ") + IntToStr(I) + L" ğüşıöç İ");
  }
  ASSERT_EQ(Memo->GetLines()->GetCount(), 6);
  TMemoryStream Saved;
  Memo->GetLines()->SaveToStream(&Saved);
  EXPECT_EQ(StreamBytes(Saved).rfind("{\\rtf", 0), 0u);

  auto* Other = new TRichEdit(F.Form);
  Other->SetParent(F.Form);
  Other->SetBounds(0, 220, 400, 150);
  Other->GetLines()->Add(L"old text");
  Saved.SetPosition(0);
  Other->GetLines()->LoadFromStream(&Saved);
  ASSERT_EQ(Other->GetLines()->GetCount(), 6);
  for (Integer I = 0; I < 6; ++I) {
    EXPECT_EQ(Other->GetLines()->GetStrings(I), L"Satır " + IntToStr(I) + L" ğüşıöç İ");
    EXPECT_EQ(LineColor(Other, I), LogColors[I % 3]) << "line " << I;
  }

  // Plain text is plain text, whatever a rich edit would make of it.
  Other->SetPlainText(true);
  TMemoryStream Plain;
  Other->GetLines()->SaveToStream(&Plain, TEncoding::UTF8());
  EXPECT_NE(StreamBytes(Plain).find("Satır 5"), std::string::npos);
  EXPECT_EQ(StreamBytes(Plain).find("{\\rtf"), std::string::npos);
}

TEST(RichEdit, UnreadableRichTextIsRefusedAndTheTextKept) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  Memo->GetSelAttributes()->SetColor(Green);
  Memo->GetLines()->Add(L"kalsın");
  Memo->GetSelAttributes()->SetColor(Red);
  Memo->GetLines()->Add(L"ikinci");
  const char* Bad[] = {
      "{\\rtf1\\ansi {\\b yarım kalmış",       // cut off inside a group
      "{\\rtf1\\ansi merhaba}}",               // a group closed that never opened
      "{\\rtf1\\ansi merhaba} ve devamı",      // text after the document
      "{\\rtf1\\ansi {\\bin999 abc}}",         // binary data longer than the stream
      "{\\rtf1",                               // the header alone
  };
  for (const char* Text : Bad) {
    TMemoryStream In;
    In.Write(Text, Integer(strlen(Text)));
    In.SetPosition(0);
    EXPECT_THROW(Memo->GetLines()->LoadFromStream(&In), EStreamError) << Text;
    ASSERT_EQ(Memo->GetLines()->GetCount(), 2) << Text;
    EXPECT_EQ(Memo->GetLines()->GetStrings(0), L"kalsın");
    EXPECT_EQ(LineColor(Memo, 0), Green);
    EXPECT_EQ(LineColor(Memo, 1), Red);
  }
  // Text that does not start as rich text is read as plain text.
  std::string Plain = "{rtf değil}\r\nikinci satır";
  TMemoryStream In;
  In.Write(Plain.data(), Integer(Plain.size()));
  In.SetPosition(0);
  Memo->GetLines()->LoadFromStream(&In, TEncoding::UTF8());
  ASSERT_EQ(Memo->GetLines()->GetCount(), 2);
  EXPECT_EQ(Memo->GetLines()->GetStrings(0), L"{rtf değil}");
}

TEST(RichEdit, FormattingOutlivesANewWindow) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  Memo->GetSelAttributes()->SetColor(Red);
  Memo->GetLines()->Add(L"kırmızı");
  Memo->GetSelAttributes()->SetColor(Green);
  Memo->GetLines()->Add(L"yeşil");
  Memo->SetModified(false);
  Integer Changes = 0;
  Memo->SetOnChange([&](TObject*) { ++Changes; });
  HWND Before = Memo->GetHandle();
  Memo->SetHideSelection(false);  // a window style: the window is made again
  EXPECT_NE(Memo->GetHandle(), Before);
  EXPECT_EQ(Changes, 0);
  EXPECT_FALSE(Memo->GetModified());
  EXPECT_TRUE(Style(Memo) & ES_NOHIDESEL);
  ASSERT_EQ(Memo->GetLines()->GetCount(), 2);
  EXPECT_EQ(LineColor(Memo, 0), Red);
  EXPECT_EQ(LineColor(Memo, 1), Green);
  EXPECT_EQ(Memo->GetDefAttributes()->GetName(), L"Tahoma");
}

TEST(RichEdit, LinesEditParagraphsInPlace) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  TStrings* L = Memo->GetLines();
  L->Add(L"bir");
  L->Add(L"üç");
  L->Insert(1, L"iki");
  L->Add(L"dört");
  L->SetStrings(3, L"DÖRT");
  L->Delete(0);
  EXPECT_EQ(L->ToStringArray(), (std::vector<String>{L"iki", L"üç", L"DÖRT"}));
  EXPECT_EQ(Memo->GetTextLen(), 3 + 1 + 2 + 1 + 4);  // a paragraph break counts one
  Memo->SetSelStart(4);
  Memo->SetSelLength(2);
  EXPECT_EQ(Memo->GetSelText(), L"üç");
  EXPECT_EQ(Memo->FindText(L"DÖRT", 0, Memo->GetTextLen(), true, false), 7);
  EXPECT_EQ(Memo->FindText(L"IKI", 0, Memo->GetTextLen(), false, false), 0);
  EXPECT_EQ(Memo->FindText(L"IKI", 0, Memo->GetTextLen(), true, false), -1);
  EXPECT_EQ(Memo->FindText(L"DÖRT", 0, 6, true, false), -1);  // only within the range
  L->Clear();
  EXPECT_EQ(L->GetCount(), 0);
}

TEST(RichEdit, SelectionAndParagraphAttributesReachTheWindow) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  Memo->GetLines()->Add(L"biçimli metin");
  Memo->SetSelStart(0);
  Memo->SetSelLength(6);
  TTextAttributes* A = Memo->GetSelAttributes();
  A->SetStyle(TFontStyles{fsBold, fsUnderline});
  A->SetSize(14);
  A->SetName(L"Courier New");
  EXPECT_EQ(A->GetStyle(), (TFontStyles{fsBold, fsUnderline}));
  EXPECT_EQ(A->GetSize(), 14);
  EXPECT_EQ(A->GetName(), L"Courier New");
  TParaAttributes* P = Memo->GetParagraph();
  P->SetAlignment(taCenter);
  P->SetFirstIndent(12);
  P->SetNumbering(nsBullet);
  EXPECT_EQ(P->GetAlignment(), taCenter);
  EXPECT_EQ(P->GetFirstIndent(), 12);
  EXPECT_EQ(P->GetNumbering(), nsBullet);
  // The rest of the line keeps the default look.
  Memo->SetSelStart(8);
  Memo->SetSelLength(4);
  EXPECT_EQ(A->GetStyle(), TFontStyles());
  TFont Font;
  Font.Assign(Memo->GetDefAttributes());
  EXPECT_EQ(Font.GetName(), L"Tahoma");
  EXPECT_EQ(Font.GetCharset(), 162);
}

TEST(RichEdit, PrintingWithoutAPrinterFailsCleanly) {
  wchar_t Device[256] = {};
  GetProfileStringW(L"windows", L"device", L"", Device, 256);
  if (Device[0]) GTEST_SKIP() << "this machine has a default printer";
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  Memo->GetLines()->Add(L"yazdırılacak");
  EXPECT_THROW(Memo->Print(L"Günlük"), EPrinter);
  EXPECT_EQ(Memo->GetLines()->GetStrings(0), L"yazdırılacak");
}

TEST(RichEdit, ChangesAndSelectionMovesAreReported) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  std::vector<String> Events;
  Memo->SetOnChange([&](TObject*) { Events.push_back(L"change"); });
  Memo->SetOnSelectionChange([&](TObject*) { Events.push_back(L"selection"); });
  Memo->GetLines()->Add(L"bir");
  EXPECT_NE(std::find(Events.begin(), Events.end(), L"change"), Events.end());
  Events.clear();
  Memo->SetSelStart(1);
  EXPECT_EQ(Events, (std::vector<String>{L"selection"}));
}

TEST(RichEdit, ScrollsToALineAndToTheCaret) {
  TComCtrlsHolder F;
  auto* Memo = F->Find<TRichEdit>(L"Memo1");
  for (Integer I = 0; I < 40; ++I) Memo->GetLines()->Add(L"satır " + IntToStr(I));
  Memo->ScrollToLine(10);
  EXPECT_EQ(Memo->GetFirstVisibleLine(), 10);
  Memo->ScrollToLine(0);
  EXPECT_EQ(Memo->GetFirstVisibleLine(), 0);
  Memo->SetSelStart(Memo->GetTextLen());
  Memo->ScrollToCaret();
  EXPECT_GT(Memo->GetFirstVisibleLine(), 20);
}

TEST(RichEdit, ReturnMakesAParagraphOnlyWhenWanted) {
  TFormHolder F;
  auto* Edit = new TRichEdit(F.Form);
  Edit->SetParent(F.Form);
  F->Show();
  for (bool Want : {true, false}) {
    Edit->SetWantReturns(Want);
    Edit->Clear();
    Edit->GetLines()->Add(L"satır");
    Edit->SetFocus();
    Edit->SetSelStart(5);
    HWND H = Edit->GetHandle();
    PostMessageW(H, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(H, WM_CHAR, L'\r', 1);
    PostMessageW(H, WM_KEYUP, VK_RETURN, LPARAM(0xC0000001));
    Pump();
    EXPECT_EQ(Edit->GetTextLen(), Want ? 6 : 5) << "WantReturns " << Want;
  }
}

// ---- Status bar --------------------------------------------------------------------------------------

TEST(StatusBar, OwnerDrawnPanelIsDrawnInItsRectangle) {
  TFormHolder F;
  auto* Bar = new TStatusBar(F.Form);
  Bar->SetParent(F.Form);
  Bar->SetSizeGrip(false);
  for (Integer W : {100, 80, 50}) Bar->GetPanels()->Add()->SetWidth(W);
  Bar->GetPanels()->GetItem(1)->SetStyle(psOwnerDraw);
  std::vector<std::pair<TStatusPanel*, TRect>> Calls;
  Bar->SetOnDrawPanel([&](TStatusBar* Sender, TStatusPanel* Panel, const TRect& Rect) {
    EXPECT_EQ(Sender, Bar);
    Sender->GetCanvas()->FillRect(Rect);  // the canvas is on the window's DC
    Calls.push_back({Panel, Rect});
  });
  F->Show();
  RedrawWindow(Bar->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  ASSERT_TRUE(PumpUntil([&] { return !Calls.empty(); }));
  RECT Expected{};
  SendMessageW(Bar->GetHandle(), SB_GETRECT, 1, LPARAM(&Expected));
  EXPECT_EQ(Calls[0].first, Bar->GetPanels()->GetItem(1));
  EXPECT_EQ(Calls[0].second, TRect(Expected.left, Expected.top, Expected.right, Expected.bottom));
  for (auto& C : Calls) EXPECT_EQ(C.first, Bar->GetPanels()->GetItem(1));  // text panels are the window's
}

TEST(StatusBar, PanelsAndTheSimplePanelFollowTheirProperties) {
  TComCtrlsHolder F;
  auto* Bar = F->Find<TStatusBar>(L"StatusBar1");
  struct Case {
    TAlignment Alignment;
    const wchar_t* Shown;
  };
  for (const Case& C : {Case{taLeftJustify, L"Sürüm 7.8"}, Case{taCenter, L"\tSürüm 7.8"},
                        Case{taRightJustify, L"\t\tSürüm 7.8"}}) {
    Bar->GetPanels()->GetItem(1)->SetAlignment(C.Alignment);
    Bar->GetPanels()->GetItem(1)->SetText(L"Sürüm 7.8");
    EXPECT_EQ(PanelText(Bar, 1), C.Shown);
  }
  Bar->GetPanels()->GetItem(0)->SetWidth(200);
  int Edges[8] = {};
  SendMessageW(Bar->GetHandle(), SB_GETPARTS, 8, LPARAM(Edges));
  EXPECT_EQ(Edges[0], 200);
  EXPECT_EQ(Edges[1], 350);
  Bar->GetPanels()->Add()->SetText(L"dördüncü");
  EXPECT_EQ(SendMessageW(Bar->GetHandle(), SB_GETPARTS, 8, LPARAM(Edges)), 4);
  EXPECT_EQ(Edges[2], 400);  // the old last panel has its own width now
  EXPECT_EQ(PanelText(Bar, 3), L"dördüncü");
  Bar->GetPanels()->Delete(3);
  EXPECT_EQ(SendMessageW(Bar->GetHandle(), SB_GETPARTS, 8, LPARAM(Edges)), 3);
  EXPECT_EQ(Edges[2], -1);

  Bar->SetSimpleText(L"İpucu");
  Bar->SetSimplePanel(true);
  EXPECT_TRUE(SendMessageW(Bar->GetHandle(), SB_ISSIMPLE, 0, 0));
  EXPECT_EQ(PanelText(Bar, 0), L"İpucu");  // while simple, the window answers the simple text
  Bar->SetSimplePanel(false);
  EXPECT_FALSE(SendMessageW(Bar->GetHandle(), SB_ISSIMPLE, 0, 0));
  EXPECT_EQ(PanelText(Bar, 2), L"\tSürüm 7.8");
}

// ---- Progress bar -----------------------------------------------------------------------------------

TEST(ProgressBar, MarqueeAndNormalStylesAreReadBackFromTheWindow) {
  TComCtrlsHolder F;
  auto* Bar = F->Find<TProgressBar>(L"ProgressBar1");
  HWND H = Bar->GetHandle();
  Bar->SetStyle(pbstMarquee);
  EXPECT_TRUE(GetWindowLongPtrW(H, GWL_STYLE) & PBS_MARQUEE);
  Bar->SetStyle(pbstNormal);
  EXPECT_FALSE(GetWindowLongPtrW(H, GWL_STYLE) & PBS_MARQUEE);
  EXPECT_EQ(SendMessageW(H, PBM_GETPOS, 0, 0), 40);  // the position comes back with the normal style

  struct Case {
    Integer Set, Read;
  };
  for (const Case& C : {Case{100, 100}, Case{300, 255}, Case{-5, 0}, Case{255, 255}}) {
    Bar->SetPosition(C.Set);
    EXPECT_EQ(SendMessageW(H, PBM_GETPOS, 0, 0), C.Read) << C.Set;
    EXPECT_EQ(Bar->GetPosition(), C.Read);
  }
  Bar->SetPosition(40);
  Bar->StepIt();
  EXPECT_EQ(Bar->GetPosition(), 140);
  Bar->StepIt();
  Bar->StepIt();  // past Max: starts again from the beginning
  EXPECT_LT(Bar->GetPosition(), 240);
  Bar->StepBy(-1000);
  EXPECT_EQ(Bar->GetPosition(), 0);

  Bar->SetState(pbsError);
  EXPECT_EQ(Bar->GetState(), pbsError);
  EXPECT_THROW(Bar->SetMin(300), EInvalidOperation);
  EXPECT_EQ(Bar->GetMin(), 0);
}

// ---- Tool bar and up-down --------------------------------------------------------------------------

TEST(ToolBar, ClickingCheckButtonsPressesThemAndFiresOnClickOnce) {
  TComCtrlsHolder F;
  auto* Tools = F->Find<TToolBar>(L"ToolBar1");
  auto* Bold = F->Find<TToolButton>(L"BoldButton");
  auto* Left = F->Find<TToolButton>(L"LeftAlign");
  auto* Center = F->Find<TToolButton>(L"CenterAlign");
  HWND T = Tools->GetHandle();
  RECT R{};
  SendMessageW(T, TB_GETITEMRECT, 0, LPARAM(&R));
  ClickAt(T, R);
  EXPECT_EQ(F->Log, (std::vector<String>{L"BoldButtonClick"}));
  EXPECT_TRUE(Bold->GetDown());
  ClickAt(T, R);
  EXPECT_FALSE(Bold->GetDown());

  SendMessageW(T, TB_GETITEMRECT, 2, LPARAM(&R));
  ClickAt(T, R);
  EXPECT_TRUE(Center->GetDown());
  EXPECT_FALSE(Left->GetDown());  // one of a group

  Left->SetDown(true);  // from code, the window follows
  EXPECT_FALSE(Center->GetDown());
  EXPECT_TRUE(SendMessageW(T, TB_ISBUTTONCHECKED, CommandOf(T, 1), 0));
  EXPECT_FALSE(SendMessageW(T, TB_ISBUTTONCHECKED, CommandOf(T, 2), 0));

  Bold->SetEnabled(false);
  EXPECT_FALSE(SendMessageW(T, TB_ISBUTTONENABLED, CommandOf(T, 0), 0));

  // A button added in code goes to the end of the row.
  auto* Extra = new TToolButton(F.Form);
  Extra->SetParent(Tools);
  EXPECT_EQ(Tools->GetButton(Tools->GetButtonCount() - 1), Extra);
  EXPECT_EQ(SendMessageW(T, TB_BUTTONCOUNT, 0, 0), 6);
  delete Extra;
  EXPECT_EQ(SendMessageW(T, TB_BUTTONCOUNT, 0, 0), 5);
}

TEST(UpDown, ArrowClickStepsTheAssociateAndAsksFirst) {
  TComCtrlsHolder F;
  auto* Up = F->Find<TUpDown>(L"UpDown1");
  auto* Edit = F->Find<TEdit>(L"FontSizeOld");
  HWND U = Up->GetHandle();
  RECT R{};
  GetClientRect(U, &R);
  RECT Top{R.left, R.top, R.right, R.bottom / 2 - 1}, Bottom{R.left, R.bottom / 2 + 1, R.right, R.bottom};
  ClickAt(U, Top);
  EXPECT_EQ(Up->GetPosition(), 13);
  EXPECT_EQ(WindowText(Edit->GetHandle()), L"13");
  ClickAt(U, Bottom);
  EXPECT_EQ(Up->GetPosition(), 12);
  EXPECT_EQ(F->Log, (std::vector<String>{L"next", L"prev"}));

  Up->SetOnChanging([](TObject*, bool& Allow) { Allow = false; });
  ClickAt(U, Top);
  EXPECT_EQ(Up->GetPosition(), 12);
  EXPECT_EQ(WindowText(Edit->GetHandle()), L"12");

  Up->SetPosition(500);  // kept within Min..Max
  EXPECT_EQ(SendMessageW(U, UDM_GETPOS32, 0, 0), 72);
}

}  // namespace
