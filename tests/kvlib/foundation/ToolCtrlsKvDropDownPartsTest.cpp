// The special row (cells text, owner defaults, key location), the MRU list (adding, limit,
// prefix filtering) and the size grip (resizing its host within the work area through posted
// mouse input, its window region per corner).

#include "kvlib/foundation/toolctrls/DropDownParts.h"

#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"

using namespace ctltest;

namespace {

std::vector<String> Cells(TSpecRowKv& Row) {
  std::vector<String> R;
  for (Integer I = 0; I < Row.GetCellsStrings()->GetCount(); ++I) R.push_back(Row.GetCellText(I));
  return R;
}

TEST(SpecRow, CellsTextSplitsAtSemicolonsOutsideQuotes) {
  struct {
    String Text;
    std::vector<String> Expected;
  } Cases[] = {
      {L"\"a;b\";c; d", {L"a;b", L"c", L" d"}},
      {L"  Hiçbiri", {L"Hiçbiri"}},
      {L"\"say \"\"yes\"\"\";x", {L"say \"yes\"", L"x"}},
      {L"a;\r\nb;", {L"a", L"b"}},
      {L"a b;c\td", {L"a b", L"c", L"d"}},
      {L"", {}},
  };
  for (auto& C : Cases) {
    TSpecRowKv Row(nullptr);
    Row.SetCellsText(C.Text);
    EXPECT_EQ(Cells(Row), C.Expected) << C.Text;
  }
  TSpecRowKv Row(nullptr);
  Row.SetCellsText(L"a;b");
  EXPECT_EQ(Row.GetCellText(2), L"");
  EXPECT_EQ(Row.GetCellText(-1), L"");
}

TEST(SpecRow, LocatesItsKeyOnlyWhileVisible) {
  TSpecRowKv Row(nullptr);
  EXPECT_TRUE(VarIsEmptyParam(Row.GetValue()));
  EXPECT_EQ(Row.GetShortCut(), TextToShortCut(L"Alt+Del"));
  EXPECT_TRUE(Row.GetShowIfNotInKeyList());
  Row.SetValue(VarArrayOf({1, String(L"A")}));
  EXPECT_FALSE(Row.LocateKey(VarArrayOf({1, String(L"A")}))) << "invisible";
  Row.SetVisible(true);
  EXPECT_TRUE(Row.LocateKey(VarArrayOf({1, String(L"A")})));
  EXPECT_FALSE(Row.LocateKey(VarArrayOf({1, String(L"B")})));
  EXPECT_FALSE(Row.LocateKey(1));
  Row.SetValue(EmptyParam);
  EXPECT_TRUE(Row.LocateKey(EmptyParam));
  EXPECT_FALSE(Row.LocateKey(Null));
}

TEST(SpecRow, ColourAndFontAreTheOwnersUntilAssigned) {
  TFormHolder F;
  auto* Owner = new TCustomControl(F.Form);
  Owner->SetParent(F.Form);
  Owner->SetColor(clYellow);
  Owner->GetFont()->SetName(L"Tahoma");
  Owner->GetFont()->SetSize(14);
  TSpecRowKv Row(Owner);
  EXPECT_EQ(Row.GetColor(), clYellow);
  EXPECT_EQ(Row.GetFont()->GetSize(), 14);
  EXPECT_FALSE(Row.IsColorStored());
  EXPECT_FALSE(Row.IsFontStored());
  Owner->SetColor(clAqua);
  Owner->GetFont()->SetSize(9);
  EXPECT_EQ(Row.GetColor(), clAqua);
  EXPECT_EQ(Row.GetFont()->GetSize(), 9);
  EXPECT_FALSE(Row.IsFontStored()) << "following the owner is not an assignment";
  Row.SetColor(clRed);
  Row.GetFont()->SetSize(20);
  EXPECT_TRUE(Row.IsColorStored());
  EXPECT_TRUE(Row.IsFontStored());
  Owner->SetColor(clBlue);
  Owner->GetFont()->SetSize(8);
  EXPECT_EQ(Row.GetColor(), clRed);
  EXPECT_EQ(Row.GetFont()->GetSize(), 20);
}

TEST(SpecRow, ChangesAreReportedOnceOutsideAnUpdateBracket) {
  TSpecRowKv Row(nullptr), Copy(nullptr);
  Integer Changes = 0;
  Copy.SetOnChanged([&](TObject*) { ++Changes; });
  Row.SetCellsText(L"Yok");
  Row.SetValue(0);
  Row.SetVisible(true);
  Row.SetShowIfNotInKeyList(false);
  Row.SetColor(clLime);
  Copy.Assign(&Row);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(Copy.GetCellsText(), L"Yok");
  EXPECT_EQ(Copy.GetValue().AsInteger(), 0);
  EXPECT_TRUE(Copy.GetVisible());
  EXPECT_FALSE(Copy.GetShowIfNotInKeyList());
  EXPECT_EQ(Copy.GetColor(), clLime);
  EXPECT_FALSE(Copy.IsFontStored()) << "an unassigned font is not copied";
  Changes = 0;
  Copy.SetVisible(true);  // the same value
  EXPECT_EQ(Changes, 0);
  Copy.SetValue(Variant(1));
  EXPECT_EQ(Changes, 1);
}

std::vector<String> Lines(TStrings* S) {
  std::vector<String> R;
  for (Integer I = 0; I < S->GetCount(); ++I) R.push_back(S->GetStrings(I));
  return R;
}

TEST(MRUList, AddMovesAKnownTextToTheEndAndKeepsTheLimit) {
  TMRUListKv L(nullptr);
  EXPECT_EQ(L.GetLimit(), 100);
  EXPECT_EQ(L.GetRows(), 7);
  EXPECT_TRUE(L.GetAutoAdd());
  L.GetItems()->Add(L"x");
  L.GetItems()->Add(L"abc");
  L.GetItems()->Add(L"y");
  L.Add(L"abc");
  EXPECT_EQ(Lines(L.GetItems()), (std::vector<String>{L"x", L"y", L"abc"}));
  L.Add(L"ABC");
  EXPECT_EQ(Lines(L.GetItems()), (std::vector<String>{L"x", L"y", L"abc"})) << "found ignoring case";
  L.Add(L"   ");
  L.Add(L"");
  EXPECT_EQ(L.GetItems()->GetCount(), 3);
  L.SetCaseSensitive(true);
  L.Add(L"ABC");
  EXPECT_EQ(Lines(L.GetItems()), (std::vector<String>{L"x", L"y", L"abc", L"ABC"}));
  L.Add(L" z ");
  EXPECT_EQ(L.GetItems()->GetStrings(4), L" z ") << "kept as given";

  TMRUListKv Full(nullptr);
  for (Integer I = 0; I < 100; ++I) Full.Add(L"t" + IntToStr(I));
  Full.Add(L"t100");
  EXPECT_EQ(Full.GetItems()->GetCount(), 100);
  EXPECT_EQ(Full.GetItems()->GetStrings(0), L"t1");
  Full.SetLimit(3);
  EXPECT_EQ(Lines(Full.GetItems()), (std::vector<String>{L"t98", L"t99", L"t100"}));
}

TEST(MRUList, TurkishLettersMatchAsTheUsersLocaleCases) {
  TMRUListKv L(nullptr);
  L.Add(L"İstanbul");
  L.Add(L"istanbul");
  bool Turkish = SysLocale.PriLangID == 0x1F;
  EXPECT_EQ(L.GetItems()->GetCount(), Turkish ? 1 : 2);
  TMRUListKv Words(nullptr);
  Words.GetItems()->Add(L"ılık");
  Words.GetItems()->Add(L"ilik");
  TStringList Out;
  Words.FilterItemsTo(&Out, L"IL");
  std::vector<String> Expected = Turkish ? std::vector<String>{L"ılık"} : std::vector<String>{L"ılık", L"ilik"};
  EXPECT_EQ(Lines(&Out), Expected);
}

TEST(MRUList, FilterKeepsItemsBeginningWithTheMask) {
  TMRUListKv L(nullptr);
  for (const wchar_t* S : {L"Ankara", L"antalya", L"Bursa", L"an", L"A"}) L.GetItems()->Add(S);
  TStringList Out;
  Out.Add(L"old");
  EXPECT_TRUE(L.FilterItemsTo(&Out, L"an"));
  EXPECT_EQ(Lines(&Out), (std::vector<String>{L"Ankara", L"antalya", L"an"}));
  L.SetCaseSensitive(true);
  L.FilterItemsTo(&Out, L"An");
  EXPECT_EQ(Lines(&Out), (std::vector<String>{L"Ankara"}));
  L.FilterItemsTo(&Out, L"");
  EXPECT_EQ(Out.GetCount(), 5);
  // The handler has the last word.
  Integer Asked = 0;
  L.SetOnFilterItem([&](TObject*, bool& Accept) { Accept = ++Asked % 2 == 0; });
  L.FilterItemsTo(&Out, L"");
  EXPECT_EQ(Lines(&Out), (std::vector<String>{L"antalya", L"an"}));
  TMRUListKv Empty(nullptr);
  EXPECT_TRUE(Empty.FilterItemsTo(&Out, L"x"));
  EXPECT_EQ(Out.GetCount(), 0);
}

TEST(MRUList, AWaitingKeyPressCutsALongFilterShort) {
  TFormHolder F;
  F->Show();
  TMRUListKv L(nullptr);
  for (Integer I = 0; I < 250; ++I) L.GetItems()->Add(L"k" + IntToStr(I));
  PostMessageW(F->GetHandle(), WM_KEYDOWN, 'K', 0);
  TStringList Out;
  EXPECT_FALSE(L.FilterItemsTo(&Out, L"k"));
  EXPECT_EQ(Out.GetCount(), 1) << "checked after the first item";
  L.SetCancelIfKeyInQueue(false);
  EXPECT_TRUE(L.FilterItemsTo(&Out, L"k"));
  EXPECT_EQ(Out.GetCount(), 250);
  Pump();
}

TEST(MRUList, ActiveItemsAndEvents) {
  TMRUListKv L(nullptr);
  std::vector<String> Log;
  L.SetOnActiveChanged([&](TObject*) { Log.push_back(L"active"); });
  L.SetOnSetDropDown([&](TObject*) { Log.push_back(L"drop"); });
  L.SetOnSetCloseUpEvent([&](TObject*, bool Accept) { Log.push_back(Accept ? L"up ok" : L"up"); });
  L.SetOnFillAutogenItems([&](TMRUListKv*, TStrings* S) { S->Add(L"from data"); });
  L.SetActive(true);
  L.SetActive(true);
  L.DropDown();
  L.CloseUp(true);
  EXPECT_EQ(Log, (std::vector<String>{L"active", L"drop", L"up ok"}));
  L.PrepareActiveItems();
  EXPECT_EQ(L.GetAutogenItems()->GetCount(), 0) << "only for field values";
  L.SetListSourceKind(lskDataSetFieldValuesKv);
  L.PrepareActiveItems();
  EXPECT_EQ(L.GetActiveItems(), L.GetAutogenItems());
  EXPECT_EQ(Lines(L.GetActiveItems()), (std::vector<String>{L"from data"}));
  TMRUListKv Copy(nullptr);
  L.GetItems()->Add(L"a");
  L.SetLimit(5);
  Copy.Assign(&L);
  EXPECT_TRUE(Copy.GetActive());
  EXPECT_EQ(Copy.GetLimit(), 5);
  EXPECT_EQ(Lines(Copy.GetItems()), (std::vector<String>{L"a"}));
}

// ---- Size grip --------------------------------------------------------------------------------

TRect WorkArea() { return Screen->MonitorFromRect(TRect(0, 0, 10, 10))->GetWorkareaRect(); }

// A borderless host of 200 x 150 at (100, 100) of the work area, with a grip in one corner.
struct TGripHost {
  TFormHolder F{200, 150};
  TSizeGripKv* Grip;
  TRect Work = WorkArea();
  Integer Resized = 0;
  explicit TGripHost(TSizeGripPosition Position) {
    F->SetBounds(Work.Left + 100, Work.Top + 100, 200, 150);
    Grip = new TSizeGripKv(F.Form);
    Grip->SetParent(F.Form);
    Grip->SetPosition(Position);
    Grip->SetOnParentResized([this](TObject*) { ++Resized; });
    F->Show();
    Grip->HandleNeeded();
    Grip->UpdatePosition();
  }
  TPoint ScreenPoint(Integer DX, Integer DY) { return Grip->ClientToScreen(TPoint(2 + DX, 2 + DY)); }
  void Post(UINT Msg, WPARAM Keys, const TPoint& Screen) {
    TPoint P = Grip->ScreenToClient(Screen);
    PostMessageW(Grip->GetHandle(), Msg, Keys, MAKELPARAM(Word(P.X), Word(P.Y)));
    Pump();
  }
};

TEST(SizeGrip, DraggingResizesTheHostFromItsCorner) {
  struct {
    TSizeGripPosition Position;
    Integer DX, DY;
    TRect Expected;  // relative to (100, 100) of the work area
  } Cases[] = {
      {sgpBottomRight, 50, 30, Bounds(100, 100, 250, 180)},
      {sgpBottomLeft, -50, 30, Bounds(50, 100, 250, 180)},
      {sgpTopRight, 50, -30, Bounds(100, 70, 250, 180)},
      {sgpTopLeft, 40, 20, Bounds(140, 120, 160, 130)},
  };
  for (auto& C : Cases) {
    TGripHost T(C.Position);
    TPoint Start = T.ScreenPoint(0, 0);
    T.Post(WM_LBUTTONDOWN, MK_LBUTTON, Start);
    T.Post(WM_MOUSEMOVE, MK_LBUTTON, TPoint(Start.X + C.DX, Start.Y + C.DY));
    TRect E = C.Expected;
    E = TRect(E.Left + T.Work.Left, E.Top + T.Work.Top, E.Right + T.Work.Left, E.Bottom + T.Work.Top);
    EXPECT_EQ(T.F->GetBoundsRect(), E) << int(C.Position);
    EXPECT_EQ(T.Resized, 1);
    // The grip sits in its corner again.
    TRect G = T.Grip->GetBoundsRect();
    bool Right = C.Position == sgpBottomRight || C.Position == sgpTopRight;
    bool Bottom = C.Position == sgpBottomRight || C.Position == sgpBottomLeft;
    EXPECT_EQ(Right ? G.Right : G.Left, Right ? T.F->GetClientWidth() : 0);
    EXPECT_EQ(Bottom ? G.Bottom : G.Top, Bottom ? T.F->GetClientHeight() : 0);
    T.Post(WM_LBUTTONUP, 0, TPoint(Start.X + C.DX, Start.Y + C.DY));
  }
}

TEST(SizeGrip, TheHostStaysInsideTheWorkArea) {
  {
    TGripHost T(sgpBottomRight);
    TPoint Start = T.ScreenPoint(0, 0);
    T.Post(WM_LBUTTONDOWN, MK_LBUTTON, Start);
    T.Post(WM_MOUSEMOVE, MK_LBUTTON, TPoint(Start.X + 5000, Start.Y + 5000));
    EXPECT_EQ(T.F->GetLeft() + T.F->GetWidth(), T.Work.Right);
    EXPECT_EQ(T.F->GetTop() + T.F->GetHeight(), T.Work.Bottom);
    T.Post(WM_LBUTTONUP, 0, Start);
  }
  {
    // Dragged left from the bottom-left corner: wider to the left, the right edge fixed, stopped
    // at the work area's left edge.
    TGripHost T(sgpBottomLeft);
    Integer Right = T.F->GetLeft() + T.F->GetWidth();
    TPoint Start = T.ScreenPoint(0, 0);
    T.Post(WM_LBUTTONDOWN, MK_LBUTTON, Start);
    T.Post(WM_MOUSEMOVE, MK_LBUTTON, TPoint(Start.X - 60, Start.Y));
    EXPECT_EQ(T.F->GetLeft() + T.F->GetWidth(), Right);
    EXPECT_EQ(T.F->GetWidth(), 260);
    T.Post(WM_MOUSEMOVE, MK_LBUTTON, TPoint(Start.X - 5000, Start.Y));
    EXPECT_EQ(T.F->GetLeft(), T.Work.Left);
    EXPECT_EQ(T.F->GetLeft() + T.F->GetWidth(), Right);
    T.Post(WM_LBUTTONUP, 0, Start);
  }
}

TEST(SizeGrip, MovingWithoutAPressedButtonResizesNothing) {
  TGripHost T(sgpBottomRight);
  TPoint Start = T.ScreenPoint(0, 0);
  T.Post(WM_MOUSEMOVE, 0, TPoint(Start.X + 40, Start.Y + 40));
  EXPECT_EQ(T.F->GetWidth(), 200);
  EXPECT_EQ(T.Resized, 0);
}

TEST(SizeGrip, TheWindowIsATriangleInItsCorner) {
  struct {
    TSizeGripPosition Position;
    TPoint Inside, Outside;
    TCursor Cursor;
  } Cases[] = {
      {sgpBottomRight, {-2, -2}, {1, 1}, crSizeNWSE},
      {sgpBottomLeft, {1, -2}, {-2, 1}, crSizeNESW},
      {sgpTopLeft, {1, 1}, {-2, -2}, crSizeNWSE},
      {sgpTopRight, {-2, 1}, {1, -2}, crSizeNESW},
  };
  for (auto& C : Cases) {
    TGripHost T(C.Position);
    Integer W = T.Grip->GetWidth(), H = T.Grip->GetHeight();
    auto At = [&](TPoint P) { return TPoint(P.X < 0 ? W + P.X : P.X, P.Y < 0 ? H + P.Y : P.Y); };
    HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(T.Grip->GetHandle(), Rgn), ERROR);
    TPoint In = At(C.Inside), Out = At(C.Outside);
    EXPECT_TRUE(PtInRegion(Rgn, In.X, In.Y)) << int(C.Position);
    EXPECT_FALSE(PtInRegion(Rgn, Out.X, Out.Y)) << int(C.Position);
    EXPECT_EQ(T.Grip->GetCursor(), C.Cursor);
    T.Grip->SetTriangleWindow(false);
    ASSERT_NE(GetWindowRgn(T.Grip->GetHandle(), Rgn), ERROR);
    EXPECT_TRUE(PtInRegion(Rgn, Out.X, Out.Y));
    DeleteObject(Rgn);
  }
}

TEST(SizeGrip, ChangePositionMovesAlongOneAxis) {
  struct {
    TSizeGripPosition From;
    TSizeGripChangePosition Move;
    TSizeGripPosition To;
  } Cases[] = {
      {sgpTopRight, sgcpToLeft, sgpTopLeft},       {sgpBottomRight, sgcpToLeft, sgpBottomLeft},
      {sgpTopLeft, sgcpToLeft, sgpTopLeft},        {sgpBottomLeft, sgcpToRight, sgpBottomRight},
      {sgpBottomRight, sgcpToTop, sgpTopRight},    {sgpTopLeft, sgcpToBottom, sgpBottomLeft},
      {sgpBottomLeft, sgcpToBottom, sgpBottomLeft},
  };
  for (auto& C : Cases) {
    TSizeGripKv G(nullptr);
    G.SetPosition(C.From);
    G.ChangePosition(C.Move);
    EXPECT_EQ(G.GetPosition(), C.To) << int(C.From) << " " << int(C.Move);
  }
}

TEST(SizeGrip, HiddenAndShownThroughItsWindow) {
  TGripHost T(sgpBottomRight);
  EXPECT_TRUE(T.Grip->GetVisible());
  T.Grip->SetVisible(false);
  EXPECT_FALSE(T.Grip->GetVisible());
  EXPECT_FALSE(IsWindowVisible(T.Grip->GetHandle()));
  T.Grip->SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(T.Grip->GetHandle()));
  EXPECT_EQ(GetClass(L"TSizeGripKv"), TSizeGripKv::StaticClass()) << "named in form resources";
}

class SizeGripPainting : public buttontest::ClassicLook {};

TEST_F(SizeGripPainting, ClassicLinesRunTowardTheCorner) {
  TGripHost T(sgpBottomRight);
  auto Shot = buttontest::PaintForm(T.Grip);
  TColor Shadow = TColor(ColorToRGB(clBtnShadow)), Highlight = TColor(ColorToRGB(clBtnHighlight));
  Integer W = T.Grip->GetWidth(), H = T.Grip->GetHeight();
  // The first group: distance 1 highlight, 2 and 3 shadow from the bottom-right corner.
  EXPECT_EQ(Shot->GetCanvas()->GetPixel(W - 1, H - 1) & 0xFFFFFF, Highlight);
  EXPECT_EQ(Shot->GetCanvas()->GetPixel(W - 1, H - 2) & 0xFFFFFF, Shadow);
  EXPECT_EQ(Shot->GetCanvas()->GetPixel(W - 2, H - 1) & 0xFFFFFF, Shadow);
}

}  // namespace
