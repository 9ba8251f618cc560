// The family's base classes (control, lists, memory stream, object wrapper) and its small
// routines around rectangles, message parameters, locale comparison and bookmarks.

#include "kvlib/foundation/KvLibVCL.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "framework/DB.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "tests/framework/db/ArrayDataSet.h"

namespace {

// Counts its own destruction, to see who frees it.
class TCounted : public TObject {
 public:
  explicit TCounted(Integer* Freed) : FFreed(Freed) {}
  ~TCounted() override { ++*FFreed; }

 private:
  Integer* FFreed;
};

TEST(ObjectListKv, OwnsItsItemsOnlyWhenAsked) {
  Integer Freed = 0;
  TCounted A(&Freed), B(&Freed);
  {
    TObjectListKv List;
    List.Add(&A);
    List.Add(&B);
    List.Clear();
    List.Add(&A);
    List.Remove(&A);
    List.Add(&B);
  }
  EXPECT_EQ(Freed, 0);

  {
    TObjectListKv Owning(true);
    Owning.Add(new TCounted(&Freed));
    Owning.Add(new TCounted(&Freed));
    Owning.Delete(0);
    EXPECT_EQ(Freed, 1);
    Owning.Clear();
    EXPECT_EQ(Freed, 2);
  }
}

TEST(ObjectListKv, SortsWithACompareFunction) {
  Integer Freed = 0;
  TCounted A(&Freed), B(&Freed), C(&Freed);
  TObjectListKv List;
  List.Add(&B);
  List.Add(&C);
  List.Add(&A);
  // By address, which the test knows the order of.
  List.Sort([](Pointer P1, Pointer P2) -> Integer { return P1 < P2 ? -1 : P1 > P2 ? 1 : 0; });
  for (Integer I = 1; I < List.GetCount(); ++I) EXPECT_LT(List.GetItems(I - 1), List.GetItems(I));
}

TEST(MemoryStreamKv, CapacityMovesInSteps) {
  TMemoryStreamKv S;
  S.SetCapacity(1);
  EXPECT_EQ(S.GetCapacity(), 8192);
  S.SetCapacity(8193);
  EXPECT_EQ(S.GetCapacity(), 16384);
  S.SetCapacity(8192);
  EXPECT_EQ(S.GetCapacity(), 8192);

  const char Data[100] = "abc";
  S.Write(Data, 100);
  S.SetCapacity(100);  // the stream's size itself is kept unrounded
  EXPECT_EQ(S.GetCapacity(), 100);
  EXPECT_EQ(std::memcmp(S.GetMemory(), Data, 100), 0);

  S.SetCapacity(0);
  EXPECT_EQ(S.GetCapacity(), 0);
  EXPECT_EQ(S.GetMemory(), nullptr);
  EXPECT_EQ(S.BlockSize(), 0);
}

TEST(MemoryStreamKv, ManySmallWritesMoveTheBlockRarely) {
  TMemoryStreamKv S;
  Byte Piece[100];
  std::set<NativeInt> Blocks;
  const Integer Pieces = 30000;  // about 3 MB
  bool WholeSteps = true, BlockHoldsCapacity = true;
  for (Integer I = 0; I < Pieces; ++I) {
    std::memset(Piece, I & 0xFF, sizeof Piece);
    S.Write(Piece, sizeof Piece);
    WholeSteps = WholeSteps && S.GetCapacity() % 8192 == 0;
    BlockHoldsCapacity = BlockHoldsCapacity && S.BlockSize() >= S.GetCapacity();
    Blocks.insert(S.BlockSize());
  }
  EXPECT_TRUE(WholeSteps);
  EXPECT_TRUE(BlockHoldsCapacity);
  EXPECT_EQ(S.GetSize(), Int64(Pieces) * 100);
  EXPECT_LT(Blocks.size(), 30u);  // geometric growth, not one step per 8 KB (366 of them)
  const Byte* P = static_cast<const Byte*>(S.GetMemory());
  for (Integer I : {0, 1, 255, 256, Pieces - 1}) EXPECT_EQ(P[I * 100 + 50], Byte(I & 0xFF)) << I;

  S.SetSize(10);
  EXPECT_EQ(S.GetCapacity(), 8192);
  EXPECT_LT(S.BlockSize(), 1 << 20);  // a stream cut down gives back its memory
}

TEST(InterfacedObjectWrapper, CarriesAnObjectInAVariant) {
  Integer Freed = 0;
  TCounted Obj(&Freed);
  Variant V;
  RefObjectToVariant(&Obj, V);
  EXPECT_EQ(VarType(V), varUnknown);
  EXPECT_EQ(RefObjectFromVariant(V), &Obj);
  Variant Copy = V;
  EXPECT_EQ(RefObjectFromVariant(Copy), &Obj);
  V = Null;
  Copy = Null;
  EXPECT_EQ(Freed, 0);  // the wrapper went, the object stays

  RefObjectToVariant(nullptr, V);
  EXPECT_EQ(RefObjectFromVariant(V), nullptr);
}

class TOtherIntf : public TInterfacedObject {};

TEST(InterfacedObjectWrapper, OtherInterfacesAreRefused) {
  Variant Other(IPtr<IInterface>(new TOtherIntf));
  EXPECT_THROW(RefObjectFromVariant(Other), EInvalidCast);
  EXPECT_THROW(RefObjectFromVariant(Variant(5)), Exception);
}

// A descendant with its own rescale, which the base rescale must pass by.
class TRescaled : public TCustomControlKv {
 public:
  using TCustomControlKv::TCustomControlKv;
  Integer OwnRescales = 0;

 protected:
  void ChangeScale(Integer M, Integer D, bool IsDpiChange) override {
    ++OwnRescales;
    TCustomControlKv::ChangeScale(M, D, IsDpiChange);
  }
};

TEST(CustomControlKv, StartsUnscaledAndRemakesItsWindow) {
  TForm* Form = new TForm(nullptr, 0);
  Form->AfterConstruction();
  auto* Control = new TRescaled(Form);
  Control->SetParent(Form);
  Control->SetBounds(0, 0, 100, 50);
  EXPECT_EQ(Control->GetScaleFactor(), 1.0f);
  HWND Before = Control->GetHandle();
  Control->RecreateWndHandle();
  HWND After = Control->GetHandle();
  EXPECT_NE(After, nullptr);
  EXPECT_TRUE(IsWindow(After));
  EXPECT_FALSE(Before != After && IsWindow(Before));

  Control->BaseChangeScale(2, 1, false);
  EXPECT_EQ(Control->GetWidth(), 200);
  EXPECT_EQ(Control->GetHeight(), 100);
  EXPECT_EQ(Control->GetScaleFactor(), 2.0f);
  EXPECT_EQ(Control->OwnRescales, 0);
  delete Form;
}

// A white bitmap to draw into, and the box of whatever is not white afterwards.
class Paper {
 public:
  Paper(Integer W, Integer H) {
    Bmp.SetSize(W, H);
    C = Bmp.GetCanvas();
    C->GetBrush()->SetColor(clWhite);
    C->FillRect(TRect(0, 0, W, H));
    C->GetFont()->SetColor(clBlack);
    C->GetFont()->SetHeight(-16);
  }
  TRect Ink() {
    TRect R(Bmp.GetWidth(), Bmp.GetHeight(), -1, -1);
    for (Integer Y = 0; Y < Bmp.GetHeight(); ++Y)
      for (Integer X = 0; X < Bmp.GetWidth(); ++X)
        if (C->GetPixel(X, Y) != clWhite) {
          R.Left = std::min(R.Left, X);
          R.Top = std::min(R.Top, Y);
          R.Right = std::max(R.Right, X + 1);
          R.Bottom = std::max(R.Bottom, Y + 1);
        }
    return R;
  }
  TBitmap Bmp;
  TCanvas* C;
};

TEST(DrawTextWithParams, AlignsAndLaysOutInTheRectangle) {
  struct {
    const char* Name;
    Byte Alignment, Layout;
    bool (*Check)(const TRect& Ink);
  } const Cases[] = {
      {"left top", 0, 0, [](const TRect& I) { return I.Left < 20 && I.Top < 20; }},
      {"right top", 1, 0, [](const TRect& I) { return I.Left > 100 && I.Right <= 200 && I.Top < 20; }},
      {"centre centre", 2, 1, [](const TRect& I) { return I.Left > 40 && I.Right < 160 && I.Top > 30 && I.Bottom < 70; }},
      {"left bottom", 0, 2, [](const TRect& I) { return I.Left < 20 && I.Top > 70 && I.Bottom <= 100; }},
  };
  for (const auto& Case : Cases) {
    Paper P(200, 100);
    TDrawTextParamsKv Params;
    Params.Alignment = Case.Alignment;
    Params.Layout = Case.Layout;
    Params.WrapMode = 2;
    DrawTextWithParams(P.C, L"Hamit", TRect(0, 0, 200, 100), TRect(), Params);
    TRect Ink = P.Ink();
    EXPECT_TRUE(Ink.Right > Ink.Left && Case.Check(Ink))
        << Case.Name << ": " << Ink.Left << "," << Ink.Top << "," << Ink.Right << "," << Ink.Bottom;
  }
}

TEST(DrawTextWithParams, EllipsisKeepsTheTextInsideAndClearBrushLeavesTheBackground) {
  Paper P(200, 40);
  TDrawTextParamsKv Params;
  Params.EndEllipsis = true;
  Params.WrapMode = 2;
  P.C->GetBrush()->SetColor(clRed);
  DrawTextWithParams(P.C, L"Çok uzun bir başlık metni burada kesilir", TRect(0, 0, 60, 40), TRect(), Params);
  TRect Ink = P.Ink();
  EXPECT_LE(Ink.Right, 60);
  EXPECT_EQ(P.C->GetBrush()->GetStyle(), bsClear);  // not opaque: the red brush painted nothing
  EXPECT_NE(P.C->GetPixel(Ink.Left, Ink.Top + 1), clRed);
}

TEST(FillRectAlphaBlend, BlendsAConstantOpacity) {
  Paper P(60, 60);
  FillRectAlphaBlend(P.C, TRect(10, 10, 20, 20), clBlack, 128);
  TColor Mid = P.C->GetPixel(15, 15);
  EXPECT_NEAR(Mid & 0xFF, 127, 2);
  EXPECT_EQ(P.C->GetPixel(25, 25), clWhite);
  FillRectAlphaBlend(P.C, TRect(0, 30, 60, 60), clBlack, 255);  // a larger fill grows the shared bitmap
  EXPECT_EQ(P.C->GetPixel(59, 59) & 0xFFFFFF, 0);
  EXPECT_EQ(P.C->GetPixel(15, 15), Mid);
}

TEST(TextMeasures, ExtentsAndHeights) {
  Paper P(10, 10);
  TSize Size;
  std::vector<Integer> Extents{1, 2, 3, 4, 5, 6};
  GetTextCharExtents(P.C, L"İğne", Size, Extents);
  ASSERT_EQ(Extents.size(), 4u);
  EXPECT_GT(Extents[0], 0);
  for (size_t I = 1; I < Extents.size(); ++I) EXPECT_GT(Extents[I], Extents[I - 1]);
  EXPECT_EQ(Size.cx, Extents.back());
  GetTextCharExtents(P.C, L"", Size, Extents);
  EXPECT_TRUE(Extents.empty());
  EXPECT_EQ(Size.cx, 0);

  TFont Font;
  Font.SetHeight(-20);
  Integer Plain = GetFontTextHeight(nullptr, &Font, false);
  EXPECT_GE(Plain, 20);
  EXPECT_GE(GetFontTextHeight(nullptr, &Font, true), Plain);
  EXPECT_EQ(FontCharHeight(&Font), 20);
  EXPECT_EQ(MiddleDotChar(), Char(0x00B7));
}

TEST(RectRoutines, Table) {
  EXPECT_EQ(InflateRectSides(TRect(10, 10, 20, 20), -1, -2, 3, 4), TRect(9, 8, 23, 24));
  EXPECT_EQ(MirrorRectInRect(TRect(0, 0, 100, 50), TRect(10, 5, 30, 15)), TRect(70, 5, 90, 15));
  EXPECT_EQ(MirrorRectInRect(TRect(20, 0, 120, 50), TRect(20, 5, 120, 15)), TRect(20, 5, 120, 15));
  EXPECT_EQ(MirrorPointInRect(TRect(0, 0, 100, 50), TPoint(10, 7)), TPoint(90, 7));
  TRect R(5, 6, 15, 26);
  MoveRectTo(R, -3, 4);
  EXPECT_EQ(R, TRect(-3, 4, 7, 24));
  MoveRectToPoint(R, TPoint(1, 2));
  EXPECT_EQ(R, TRect(1, 2, 11, 22));
  ClearRect(R);
  EXPECT_EQ(R, TRect(0, 0, 0, 0));

  struct {
    TRect R;
    bool Empty;
  } const Cases[] = {{TRect(0, 0, 0, 0), true},   {TRect(0, 0, 1, 1), false}, {TRect(0, 0, 5, 0), true},
                     {TRect(0, 0, 0, 5), true},   {TRect(5, 5, 1, 9), true},  {TRect(-5, -5, -1, -1), false}};
  for (const auto& C : Cases) EXPECT_EQ(RectIsEmpty(C.R), C.Empty) << C.R.Left << "," << C.R.Right;
}

TEST(MessageParameters, PointsAndRecords) {
  struct {
    LPARAM LParam;
    TPoint Expected;
  } const Cases[] = {
      {LPARAM(0xFFFF0001u), TPoint(1, -1)},
      {LPARAM(0x0001FFFFu), TPoint(-1, 1)},
      {LPARAM(0x00640032u), TPoint(50, 100)},
      {LPARAM(0x80007FFFu), TPoint(32767, -32768)},
  };
  for (const auto& C : Cases) EXPECT_EQ(LParamToPoint(C.LParam), C.Expected) << std::hex << C.LParam;
  EXPECT_EQ(LParamToPoint(SmallPointToLParam(SmallPoint(-7, -300))), TPoint(-7, -300));

  TCounted* Obj = nullptr;
  Integer Freed = 0;
  TCounted Local(&Freed);
  Obj = &Local;
  EXPECT_EQ(IntPtrToObject(ObjectToIntPtr(Obj)), Obj);

  // Pointer-sized parameters survive the copy whole.
  TMessage A, B;
  const LPARAM Big = LPARAM(0x1234567890ABCDEFll);
  CopyToMessage(A, WM_USER + 5, WPARAM(~0ull), Big, LRESULT(-2));
  CopyMessage(A, B);
  EXPECT_EQ(B.Msg, Cardinal(WM_USER + 5));
  EXPECT_EQ(B.WParam, WPARAM(~0ull));
  EXPECT_EQ(B.LParam, Big);
  EXPECT_EQ(B.Result, LRESULT(-2));
}

TEST(LocaleStrings, CompareOverACount) {
  struct {
    const wchar_t *S1, *S2;
    Integer Count;
    bool IgnoreCase;
    Integer Expected;
  } const Cases[] = {
      {L"abc", L"ABD", 2, true, 0},   {L"abc", L"ABD", 0, true, -1}, {L"abd", L"abc", 3, false, 1},
      {L"ab", L"abc", 0, false, -1},  {L"ab", L"abc", 2, false, 0},  {L"abc", L"abc", 0, false, 0},
      {L"", L"", 0, true, 0},         {L"b", L"a", 5, true, 1},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(CompareStringsLocale(C.S1, C.S2, C.Count, C.IgnoreCase), C.Expected) << C.S1 << " " << C.S2;
    EXPECT_EQ(CompareWideStringsLocale(C.S1, C.S2, C.Count, C.IgnoreCase), C.Expected) << C.S1 << " " << C.S2;
  }
  EXPECT_EQ(CompareTextLocale(L"Şule", L"şULE"), 0);
  EXPECT_NE(CompareStrLocale(L"Şule", L"şULE"), 0);
  EXPECT_EQ(NullSafeVarToStr(Null), L"");
  EXPECT_EQ(NullSafeVarToStr(Variant(12)), L"12");
  wchar_t Buf[8];
  EXPECT_EQ(CopyWideChars(Buf, L"Ğüz"), Buf);
  EXPECT_EQ(String(Buf), L"Ğüz");
  // A text longer than the buffer is cut and terminated, never written past the end.
  wchar_t Small[6] = {1, 1, 1, 1, 1, 1};  // the sixth character takes the terminator
  CopyWideChars(Small, L"Kadıköy merkez");
  EXPECT_EQ(String(Small), L"Kadık");
  EXPECT_EQ(CopyWideChars(Buf, 0, L"abc"), Buf);
  EXPECT_EQ(String(Buf), L"Ğüz");
  EXPECT_TRUE(IsCharInSet(L'b', {L'a', L'b'}));
  EXPECT_FALSE(IsCharInSet(L'c', {L'a', L'b'}));
  EXPECT_EQ(RGBColor(1, 2, 3), TColor(0x030201));
}

TEST(DataSetBookmarks, EmptyIsNeverValidAndTheDataSetDecidesTheRest) {
  EXPECT_FALSE(DataSetBookmarkValid(nullptr, TBookmark()));  // the dataset is not asked

  TArrayDataSet DS(nullptr);
  DS.GetFieldDefs()->Add(L"A", ftInteger);
  DS.Open();
  for (Integer I = 1; I <= 2; ++I) {
    DS.Append();
    DS.FieldByName(L"A")->SetAsInteger(I);
    DS.Post();
  }
  DS.First();
  TBookmark First = DS.GetBookmark();
  DS.Next();
  TBookmark Second = DS.GetBookmark();
  EXPECT_TRUE(DataSetBookmarkValid(&DS, First));
  EXPECT_LT(DataSetCompareBookmarks(&DS, First, Second), 0);
  EXPECT_GT(DataSetCompareBookmarks(&DS, Second, First), 0);
  EXPECT_EQ(DataSetCompareBookmarks(&DS, First, First), 0);
  DS.Delete();
  EXPECT_FALSE(DataSetBookmarkValid(&DS, Second));
}

// A component with a published data source, as the data-aware controls have.
class TSourced : public TComponent {
  DECLARE_CLASS(TSourced, TComponent)
 public:
  using TComponent::TComponent;
  TDataSource* GetDataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* Value) { FDataSource = Value; }
  TComponent* GetOther() const { return FOther; }
  void SetOther(TComponent* Value) { FOther = Value; }
  PUBLISHED_DECL(TSourced);

 private:
  TDataSource* FDataSource = nullptr;
  TComponent* FOther = nullptr;
};

PUBLISHED_DEF(TSourced) {
  PROP(DataSource);
  PROP(Other);
}

TEST(DataSetBookmarks, DataSetOfAPublishedDataSource) {
  TArrayDataSet DS(nullptr);
  TDataSource Source(nullptr);
  Source.SetDataSet(&DS);
  TSourced Obj(nullptr);
  PPropInfo DataSourceProp = GetPropInfo(&Obj, L"DataSource");
  PPropInfo OtherProp = GetPropInfo(&Obj, L"Other");
  ASSERT_NE(DataSourceProp, nullptr);
  EXPECT_EQ(GetPropDataSourceDataSet(&Obj, DataSourceProp), nullptr);  // no source yet
  Obj.SetDataSource(&Source);
  EXPECT_EQ(GetPropDataSourceDataSet(&Obj, DataSourceProp), &DS);
  Obj.SetOther(&Source);
  EXPECT_EQ(GetPropDataSourceDataSet(&Obj, OtherProp), &DS);
  Obj.SetOther(&DS);  // a component, not a data source
  EXPECT_EQ(GetPropDataSourceDataSet(&Obj, OtherProp), nullptr);
  EXPECT_EQ(GetPropDataSourceDataSet(&Obj, GetPropInfo(&Obj, L"Name")), nullptr);
  EXPECT_EQ(GetPropDataSourceDataSet(&Obj, nullptr), nullptr);
}

TEST(SystemRoutines, PendingMessagesAndLocale) {
  TForm* Form = new TForm(nullptr, 0);
  Form->AfterConstruction();
  HWND Wnd = Form->GetHandle();
  const UINT Msg = WM_USER + 321;
  PostMessageW(Wnd, Msg, 1, 0);
  PostMessageW(Wnd, Msg, 2, 0);
  RemovePendingMessage(Wnd, Msg);
  MSG M;
  ASSERT_TRUE(PeekMessageW(&M, Wnd, Msg, Msg, PM_REMOVE));
  EXPECT_EQ(M.wParam, WPARAM(2));
  EXPECT_FALSE(PeekMessageW(&M, Wnd, Msg, Msg, PM_REMOVE));
  delete Form;

  Integer Day = GetLocaleFirstDayOfWeek();
  EXPECT_GE(Day, 0);
  EXPECT_LE(Day, 6);
  EXPECT_GT(GetTickCount64Compat(), 0u);
}

TEST(SystemRoutines, DropShadowClassStyle) {
  TCreateParams Params;
  Params.WindowClass.style = CS_DBLCLKS;
  EXPECT_TRUE(SetDropShadowStyle(nullptr, Params, true));
  EXPECT_EQ(Params.WindowClass.style, UINT(CS_DBLCLKS | CS_DROPSHADOW));
  EXPECT_TRUE(SetDropShadowStyle(nullptr, Params, false));
  EXPECT_EQ(Params.WindowClass.style, UINT(CS_DBLCLKS));
}

TEST(ThinWrappers, PassPointsRectanglesAndSelections) {
  HRGN Rgn = WinCreatePolygonRgn({TPoint(0, 0), TPoint(10, 0), TPoint(0, 10)}, ALTERNATE);
  ASSERT_NE(Rgn, nullptr);
  EXPECT_TRUE(PtInRegion(Rgn, 2, 2));
  EXPECT_FALSE(PtInRegion(Rgn, 8, 8));
  DeleteObject(Rgn);

  TBitmap Bmp;
  Bmp.SetSize(20, 20);
  TRect R(1, 2, 3, 4);
  WinLPtoDP(Bmp.GetCanvas()->GetHandle(), R);
  EXPECT_EQ(R, TRect(1, 2, 3, 4));
  TRect Calc(0, 0, 1, 0);
  Bmp.GetCanvas()->RequiredState(TCanvasState{csHandleValid, csFontValid});
  EXPECT_GT(DrawTextExPlain(Bmp.GetCanvas()->GetHandle(), L"Ağ", Calc, DT_CALCRECT | DT_SINGLELINE), 0);
  EXPECT_GT(Calc.Right, 1);

  HWND Edit = CreateWindowExW(0, L"EDIT", L"abcdef", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(Edit, nullptr);
  SendEditSetSel(Edit, 2, 4);
  DWORD Start = 0, End = 0;
  SendEditGetSel(Edit, Start, End);
  EXPECT_EQ(Start, 2u);
  EXPECT_EQ(End, 4u);
  EXPECT_EQ(WinSendTextMessage(Edit, WM_SETTEXT, 0, L"Iğdır"), LRESULT(TRUE));
  wchar_t Buf[16] = {};
  WinSendMessage(Edit, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(Buf));
  EXPECT_EQ(String(Buf), L"Iğdır");
  DestroyWindow(Edit);
}

}  // namespace
