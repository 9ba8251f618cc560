#include "kvlib/foundation/ToolCtrlsKv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/FMTBcd.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {

TDateTime At(Word Y, Word Mo, Word D, Word H = 0, Word Mi = 0, Word S = 0, Word MS = 0) {
  TDateTime Result = EncodeDate(Y, Mo, D);
  ReplaceTime(Result, EncodeTime(H, Mi, S, MS));
  return Result;
}

Variant Bcd(const wchar_t* Text) { return VarFMTBcdCreate(StrToBcd(Text, TFormatSettings::Invariant())); }

// Runs the test body with the program-wide settings of a locale, and puts them back after.
class GlobalSettings {
 public:
  explicit GlobalSettings(const TFormatSettings& S) : FSaved(FormatSettings) { FormatSettings = S; }
  ~GlobalSettings() { FormatSettings = FSaved; }

 private:
  TFormatSettings FSaved;
};

struct SettingsCase {
  const wchar_t* Name;
  TFormatSettings (*Make)();
};
const SettingsCase Locales[] = {
    {L"invariant", [] { return TFormatSettings::Invariant(); }},
    {L"tr-TR", [] { return TFormatSettings::Create(L"tr-TR"); }},
};

bool SameSettings(const TFormatSettings& A, const TFormatSettings& B) {
  return A.DecimalSeparator == B.DecimalSeparator && A.ThousandSeparator == B.ThousandSeparator &&
         A.DateSeparator == B.DateSeparator && A.TimeSeparator == B.TimeSeparator &&
         A.ShortDateFormat == B.ShortDateFormat && A.LongTimeFormat == B.LongTimeFormat;
}

// ---- Fixed-format conversions -----------------------------------------------------------------

struct FixedCase {
  Variant Value;
  const wchar_t* Text;
};

TEST(FixedFormatConversion, RoundTripsTheSameUnderEveryLocale) {
  const FixedCase Cases[] = {
      {Variant(1.5), L"1.5"},
      {Variant(-1234.25), L"-1234.25"},
      {Variant(1e20), L"1E20"},
      {Variant(Single(0.5f)), L"0.5"},
      {Variant(Currency::FromRaw(123456)), L"12.3456"},
      {Variant(At(2024, 1, 31, 15, 4, 5)), L"2024-01-31 15:04:05"},
      {Variant(At(2024, 1, 31)), L"2024-01-31"},
      {Variant(At(1899, 12, 29, 6)), L"1899-12-29 06:00:00"},
      {Variant(42), L"42"},
      {Variant(Int64(-9000000000LL)), L"-9000000000"},
      {Variant(String(L"Işık ve ğüşiöç, 1.5")), L"Işık ve ğüşiöç, 1.5"},
      {Bcd(L"123.45"), L"123.45"},
  };
  for (const SettingsCase& L : Locales) {
    GlobalSettings Scope(L.Make());
    for (const FixedCase& C : Cases) {
      SCOPED_TRACE(testing::Message() << "locale " << L.Name << ", text " << C.Text);
      EXPECT_EQ(VarToStrFixedFormat(C.Value), C.Text);
      Variant Back = StrToVarFixedFormat(C.Text, VarType(C.Value));
      EXPECT_EQ(VarType(Back), VarType(C.Value));
      EXPECT_TRUE(VarSameValue(Back, C.Value));
    }
  }
}

TEST(FixedFormatConversion, ReadsIntegersWithAPointDecimalUnderEveryLocale) {
  for (const SettingsCase& L : Locales) {
    GlobalSettings Scope(L.Make());
    SCOPED_TRACE(testing::Message() << "locale " << L.Name);
    EXPECT_EQ(StrToVarFixedFormat(L"2.5", varInteger).AsInteger(), 2);  // halves to even
    EXPECT_EQ(StrToVarFixedFormat(L"3.5", varInt64).AsInt64(), 4);
    EXPECT_EQ(StrToVarFixedFormat(L"-17", varSmallint).AsInteger(), -17);
    EXPECT_EQ(FloatToStrInvariant(-0.125), L"-0.125");
  }
}

TEST(FixedFormatConversion, LocaleTextIsRejected) {
  GlobalSettings Scope(TFormatSettings::Create(L"tr-TR"));
  EXPECT_THROW(StrToVarFixedFormat(L"1,5", varDouble), EConvertError);
  EXPECT_THROW(StrToVarFixedFormat(L"31.01.2024", varDate), EConvertError);
  EXPECT_THROW(StrToVarFixedFormat(L"12,5", varCurrency), EConvertError);
}

TEST(FixedFormatConversion, LeavesTheProgramSettingsAlone) {
  GlobalSettings Scope(TFormatSettings::Create(L"tr-TR"));
  const TFormatSettings Before = FormatSettings;
  VarToStrFixedFormat(Variant(At(2024, 1, 31, 15, 4, 5)));
  VarToStrFixedFormat(Variant(1.5));
  StrToVarFixedFormat(L"2024-01-31 15:04:05", varDate);
  EXPECT_THROW(StrToVarFixedFormat(L"not a date", varDate), EConvertError);
  EXPECT_TRUE(SameSettings(FormatSettings, Before));
  EXPECT_EQ(FloatToStr(1.5), L"1,5");
}

// A conversion on a second thread never shows in the formatting of the first.
TEST(FixedFormatConversion, IsSafeBesideFormattingOnAnotherThread) {
  GlobalSettings Scope(TFormatSettings::Create(L"tr-TR"));
  std::atomic<bool> Stop{false};
  std::atomic<int> WrongFixed{0}, Rounds{0};
  std::thread Worker([&] {
    while (!Stop) {
      if (VarToStrFixedFormat(Variant(2.25)) != L"2.25") ++WrongFixed;
      if (StrToVarFixedFormat(L"2024-01-31", varDate).AsDateTime().Val != At(2024, 1, 31).Val) ++WrongFixed;
      ++Rounds;
    }
  });
  // The two threads overlap for the whole loop below.
  while (Rounds == 0) std::this_thread::yield();
  int WrongLocal = 0;
  for (int I = 0; I < 3000; ++I) {
    if (FloatToStr(1.5) != L"1,5") ++WrongLocal;
    if (FormatSettings.DecimalSeparator != L',') ++WrongLocal;
  }
  Stop = true;
  Worker.join();
  EXPECT_GT(Rounds.load(), 1);
  EXPECT_EQ(WrongLocal, 0);
  EXPECT_EQ(WrongFixed.load(), 0);
}

TEST(VariantText, ArraysInBrackets) {
  EXPECT_EQ(VarArrayToStrKv(Variant(5)), L"5");
  EXPECT_EQ(VarArrayToStrKv(VarArrayOf({1, L"a", VarArrayOf({2, 3})})), L"[1, a, [2, 3]]");
  EXPECT_EQ(VarArrayToStrKv(VarArrayOf({L"", L"b"})), L"[, b]");
  EXPECT_EQ(VarArrayToStrKv(VarArrayCreate({0, -1}, varVariant)), L"[]");
}

TEST(DateTimeParts, TimeReplacedAndMillisecondsDropped) {
  struct {
    double Date, Time, Expected;
  } const Cases[] = {
      {45322.25, 0.75, 45322.75},
      {45322.9, 1.5, 45322.5},   // the time's whole days do not count
      {-1.25, 0.5, -1.5},        // before the epoch the fraction keeps its sign convention
      {-1.25, -0.25, -1.25},
      {0.9, 0.25, 0.25},
  };
  for (const auto& C : Cases) {
    TDateTime D(C.Date);
    ReplaceTimeOfDateTime(D, TDateTime(C.Time));
    EXPECT_DOUBLE_EQ(D.Val, C.Expected) << C.Date << " " << C.Time;
  }
  EXPECT_DOUBLE_EQ(DateTimeWithoutMSec(At(2024, 1, 31, 15, 4, 5, 999)).Val, At(2024, 1, 31, 15, 4, 5).Val);
  EXPECT_DOUBLE_EQ(DateTimeWithoutMSec(At(1899, 12, 29, 6, 0, 1, 500)).Val, At(1899, 12, 29, 6, 0, 1).Val);
}

// ---- Comparisons ------------------------------------------------------------------------------

struct CompareCase {
  Variant A, B;
  bool Equal;
  TVariantRelationship Relation;
};

TEST(DBVariantComparison, NullAndArrayKeys) {
  const Variant EmptyArray = VarArrayCreate({0, -1}, varVariant);
  const CompareCase Cases[] = {
      {Null, Null, true, vrEqual},
      {Unassigned, Null, false, vrGreaterThan},
      {Null, Variant(5), false, vrLessThan},
      {Variant(5), Null, false, vrGreaterThan},
      {Variant(1), Variant(1.0), true, vrEqual},
      {Variant(1), Variant(2), false, vrLessThan},
      {Variant(L"b"), Variant(L"a"), false, vrGreaterThan},
      {VarArrayOf({1}), VarArrayOf({1}), true, vrEqual},
      {EmptyArray, EmptyArray, false, vrNotEqual},
      {VarArrayOf({1}), Variant(1), false, vrNotEqual},
      {Variant(1), VarArrayOf({1}), false, vrNotEqual},
      {VarArrayOf({1, 2}), VarArrayOf({1}), false, vrNotEqual},
      {VarArrayOf({1, L"x"}), VarArrayOf({1, L"x"}), true, vrEqual},
      {VarArrayOf({1, Null}), VarArrayOf({1, 2}), false, vrLessThan},
      {VarArrayOf({1, 3}), VarArrayOf({1, 2}), false, vrGreaterThan},
      {VarArrayOf({2, 1}), VarArrayOf({1, 9}), false, vrGreaterThan},
      {VarArrayOf({Null, 1}), VarArrayOf({Null, 1}), true, vrEqual},
  };
  for (const CompareCase& C : Cases) {
    SCOPED_TRACE(testing::Message() << VarArrayToStrKv(C.A) << " vs " << VarArrayToStrKv(C.B));
    EXPECT_EQ(DBVarValuesEqual(C.A, C.B), C.Equal);
    EXPECT_EQ(DBVarCompareValue(C.A, C.B), C.Relation);
  }
}

TEST(DBVariantComparison, EqualityAnswersFalseWhereTheValuesDoNotConvert) {
  EXPECT_FALSE(DBVarValuesEqual(Variant(L"abc"), Variant(1)));
  EXPECT_FALSE(DBVarValuesEqual(VarArrayOf({L"abc"}), VarArrayOf({1})));
  EXPECT_FALSE(DBVarValuesEqual(VarArrayOf({VarArrayOf({1})}), VarArrayOf({VarArrayOf({1})})));
}

// ---- Arrays -----------------------------------------------------------------------------------

TVariantArrayKv Abc() { return {Variant(L"a"), Variant(L"b"), Variant(L"c")}; }

String Join(const TVariantArrayKv& A) {
  String S;
  for (const Variant& V : A) S += VarToStr(V) + L"|";
  return S;
}

TEST(VariantArrayEditing, InsertShiftsTheTail) {
  struct {
    Integer Start, Amount;
    const wchar_t* Expected;  // the opened slots keep what was there
  } const Cases[] = {
      {3, 2, L"a|b|c|||"},
      {1, 2, L"a|b|c|b|c|"},
      {0, 1, L"a|a|b|c|"},
      {2, 0, L"a|b|c|"},
      {0, 0, L"a|b|c|"},
  };
  for (const auto& C : Cases) {
    TVariantArrayKv A = Abc();
    ArrayInsertRange(A, C.Start, C.Amount);
    EXPECT_EQ(Join(A), C.Expected) << C.Start << " " << C.Amount;
  }
}

TEST(VariantArrayEditing, DeleteClosesTheGap) {
  struct {
    Integer Start, Amount;
    const wchar_t* Expected;
  } const Cases[] = {
      {1, 1, L"a|c|"}, {0, 3, L""}, {3, 0, L"a|b|c|"}, {0, 2, L"c|"}, {2, 1, L"a|b|"},
  };
  for (const auto& C : Cases) {
    TVariantArrayKv A = Abc();
    ArrayDeleteRange(A, C.Start, C.Amount);
    EXPECT_EQ(Join(A), C.Expected) << C.Start << " " << C.Amount;
  }
}

TEST(VariantArrayEditing, ErrorsLeaveTheArrayAsItWas) {
  struct {
    bool Insert;
    Integer Start, Amount;
    const wchar_t* Message;
  } const Cases[] = {
      {true, 0, -1, L"ArrayInsertRange: (Amount < 0)"},
      {true, 4, 1, L"ArrayInsertRange: StartIndex > Length(Extents)"},
      {true, -1, 1, L"ArrayInsertRange: (StartIndex < 0)"},
      {false, 0, -1, L"ArrayDeleteRange: (Amount < 0)"},
      {false, 2, 2, L"ArrayDeleteRange: StartIndex + Amount > Length(Extents)"},
      {false, 1, 0x7FFFFFFF, L"ArrayDeleteRange: StartIndex + Amount > Length(Extents)"},
      {false, -1, 1, L"ArrayDeleteRange: (StartIndex < 0)"},
  };
  for (const auto& C : Cases) {
    TVariantArrayKv A = Abc();
    String Message;
    try {
      if (C.Insert)
        ArrayInsertRange(A, C.Start, C.Amount);
      else
        ArrayDeleteRange(A, C.Start, C.Amount);
    } catch (const Exception& E) {
      Message = E.Message();
    }
    EXPECT_EQ(Message, C.Message);
    EXPECT_EQ(Join(A), L"a|b|c|") << C.Message;
  }
}

TEST(StringsLocate, WholeOrLeadingMatch) {
  TStringList List;
  List.AddStrings(std::vector<String>{L"Cu", L"Orders", L"Customers", L"customers", L"Cust"});
  struct {
    const wchar_t* Text;
    Integer Options;
    Integer Expected;
  } const Cases[] = {
      {L"Cust", 0, 4},
      {L"Cust", slPartialKeyKv, 2},  // the shorter "Cu" is skipped
      {L"cust", slPartialKeyKv, 3},
      {L"cUST", slPartialKeyKv, -1},
      {L"cust", slPartialKeyKv | slCaseInsensitiveKv, 2},
      {L"CUSTOMERS", slCaseInsensitiveKv, 2},
      {L"customers", 0, 3},
      {L"Custo", 0, -1},
      {L"", slPartialKeyKv, 0},
      {L"Nothing", slPartialKeyKv | slCaseInsensitiveKv, -1},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(StringsLocate(&List, C.Text, C.Options), C.Expected) << C.Text << " " << C.Options;
}

// ---- Dates, kinds and small maths -------------------------------------------------------------

TEST(DateTimeFormatUnits, QuotedTextSkippedAndMAlwaysMonth) {
  using U = TCalendarDateTimeUnitsKv;
  struct {
    const wchar_t* Format;
    U Expected;
  } const Cases[] = {
      {L"hh:mm", U{cdtuHourKv, cdtuMonthKv}},
      {L"hh:nn 'am'", U{cdtuHourKv, cdtuMinuteKv}},
      {L"h:nn AMPM", U{cdtuHourKv, cdtuMinuteKv, cdtuAmPmKv}},
      {L"hh:nn:ss am/pm", U{cdtuHourKv, cdtuMinuteKv, cdtuSecondKv, cdtuAmPmKv}},
      {L"a/p h", U{cdtuAmPmKv, cdtuHourKv}},
      {L"yyyy/mm/dd", U{cdtuYearKv, cdtuMonthKv, cdtuDayKv}},
      {L"\"day\" d 'y", U{cdtuDayKv}},  // an unclosed quote runs to the end
      {L"dd.MM.yyyy HH:nn", U{cdtuDayKv, cdtuMonthKv, cdtuYearKv, cdtuHourKv, cdtuMinuteKv}},
      {L"", U{}},
  };
  for (const auto& C : Cases) {
    U Got = DateTimeFormatToUnits(C.Format);
    for (int I = cdtuYearKv; I <= cdtuAmPmKv; ++I)
      EXPECT_EQ(Got.Contains(TCalendarDateTimeUnitKv(I)), C.Expected.Contains(TCalendarDateTimeUnitKv(I)))
          << C.Format << " unit " << I;
  }
}

TEST(VariantKinds, NumericKinds) {
  struct {
    Variant V;
    bool Numeric;
  } const Cases[] = {
      {Variant(short(1)), true},  {Variant(1), true},         {Variant(1.5f), true},
      {Variant(1.5), true},       {Variant(Currency(1)), true}, {Variant((signed char)1), true},
      {Variant((unsigned char)1), true}, {Variant((unsigned short)1), true}, {Variant(1u), true},
      {Variant(1LL), true},       {Bcd(L"1.5"), true},
      {Variant(At(2024, 1, 1)), false}, {Variant(L"1"), false}, {Variant(true), false},
      {Null, false},              {Unassigned, false},
  };
  for (const auto& C : Cases) EXPECT_EQ(VarIsNumericKv(C.V), C.Numeric) << VarTypeAsText(VarType(C.V));
}

TEST(SmallRoutines, Table) {
  EXPECT_EQ(InterpolatePoint(TPoint(0, 0), TPoint(10, -10), 0.55), TPoint(5, -5));
  EXPECT_EQ(InterpolatePoint(TPoint(3, 4), TPoint(3, 4), 0.5), TPoint(3, 4));
  EXPECT_EQ(InterpolatePoint(TPoint(10, 0), TPoint(0, 7), 1.0), TPoint(0, 7));
  EXPECT_EQ(ScaleByFourThirds(3, true), 4);
  EXPECT_EQ(ScaleByFourThirds(10, true), 13);
  EXPECT_EQ(ScaleByFourThirds(11, true), 15);
  EXPECT_EQ(ScaleByFourThirds(-10, true), -13);
  EXPECT_EQ(ScaleByFourThirds(10, false), 10);
  EXPECT_EQ(MirroredSizeGripPosition(sgpTopLeft), sgpTopRight);
  EXPECT_EQ(MirroredSizeGripPosition(sgpTopRight), sgpTopLeft);
  EXPECT_EQ(MirroredSizeGripPosition(sgpBottomRight), sgpBottomLeft);
  EXPECT_EQ(MirroredSizeGripPosition(sgpBottomLeft), sgpBottomRight);
  const TRect R(10, 20, 30, 40);
  EXPECT_TRUE(PointInRectKv(R, TPoint(10, 20)));
  EXPECT_FALSE(PointInRectKv(R, TPoint(30, 20)));
  EXPECT_FALSE(PointInRectKv(R, TPoint(10, 40)));
  EXPECT_EQ(IfThenInt(true, 1, 2), 1);
  EXPECT_EQ(IntMax(-1, -2), -1);
  EXPECT_EQ(IntMin(-1, -2), -2);
  Integer A = 1, B = 2;
  SwapInt(A, B);
  EXPECT_EQ(A * 10 + B, 21);
  EXPECT_GT(DefaultFlatButtonWidth, 0);
}

TEST(InputState, DoubleClickWithinTheSystemLimits) {
  const TPoint P(100, 100);
  EXPECT_TRUE(IsDoubleClickKv(P, P, 0));
  EXPECT_FALSE(IsDoubleClickKv(P, P, GetDoubleClickTime() + 1));
  EXPECT_FALSE(IsDoubleClickKv(P, TPoint(100 + 50, 100), 0));
  EXPECT_FALSE(IsDoubleClickKv(P, TPoint(100, 100 - 50), 0));
}

}  // namespace

// ---- Popups -----------------------------------------------------------------------------------

namespace popups {

// A drop-down that writes down which way it was told it opened.
class TRecordingDropDown : public TControl {
 public:
  TRecordingDropDown() : TControl(nullptr) {}
  std::vector<WPARAM> Told;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == CM_SIZEGRIPCHANGEPOSITION) Told.push_back(Message.WParam);
    TControl::WndProc(Message);
  }
};

TRect PrimaryWorkArea() {
  RECT R;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &R, 0);
  return TRect(R.left, R.top, R.right, R.bottom);
}

TEST(PopupBounds, OpensWhereThereIsRoomAndTellsTheWay) {
  const TRect W = PrimaryWorkArea();
  ASSERT_GE(W.Height(), 620);
  ASSERT_GE(W.Width(), 500);
  const Integer L = W.Left, T = W.Top, R = W.Right, B = W.Bottom;
  struct {
    const char* Name;
    TRect Host;
    Integer Width, Height, Align;
    TPoint Pos;
    Integer FinalWidth, FinalHeight;
    std::vector<WPARAM> Told;
  } const Cases[] = {
      {"below", TRect(L + 10, T + 10, L + 110, T + 30), 200, 300, 0, TPoint(L + 10, T + 30), 200, 300,
       {sgcpToBottom, sgcpToRight}},
      {"no room below, room above", TRect(L + 10, B - 120, L + 110, B - 100), 200, 300, 0,
       TPoint(L + 10, B - 420), 200, 300, {sgcpToTop, sgcpToRight}},
      {"neither, more below", TRect(L + 10, T + 50, L + 110, T + 70), 200, W.Height(), 0, TPoint(L + 10, T + 70),
       200, W.Height() - 70, {sgcpToBottom, sgcpToRight}},
      {"neither, more above", TRect(L + 10, B - 70, L + 110, B - 50), 200, W.Height(), 0, TPoint(L + 10, T), 200,
       W.Height() - 70, {sgcpToTop, sgcpToRight}},
      {"right aligned", TRect(L + 300, T + 10, L + 400, T + 30), 200, 100, 1, TPoint(L + 200, T + 30), 200, 100,
       {sgcpToBottom, sgcpToLeft}},
      {"centred", TRect(L + 300, T + 10, L + 400, T + 30), 200, 100, 2, TPoint(L + 250, T + 30), 200, 100,
       {sgcpToBottom, sgcpToRight}},
      {"past the right edge", TRect(R - 50, T + 10, R, T + 30), 200, 100, 0, TPoint(R - 200, T + 30), 200, 100,
       {sgcpToBottom, sgcpToLeft}},
      {"past the left edge", TRect(L, T + 10, L + 100, T + 30), 200, 100, 1, TPoint(L, T + 30), 200, 100,
       {sgcpToBottom, sgcpToRight}},
      {"wider than the screen", TRect(L + 10, T + 10, L + 110, T + 30), W.Width() + 100, 100, 0,
       TPoint(L, T + 30), W.Width(), 100, {sgcpToBottom, sgcpToLeft}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    TRecordingDropDown DropDown;
    DropDown.SetBounds(0, 0, C.Width, C.Height);
    TPoint Pos;
    AdjustPopupBounds(C.Host, &DropDown, C.Align, Pos);
    EXPECT_EQ(Pos, C.Pos);
    EXPECT_EQ(DropDown.GetWidth(), C.FinalWidth);
    EXPECT_EQ(DropDown.GetHeight(), C.FinalHeight);
    EXPECT_EQ(DropDown.Told, C.Told);
  }
}

TEST(MessageQueue, PostMessageOncePostsOneOfANumber) {
  const UINT Msg = WM_APP + 17;
  PostMessageOnce(Msg, 1, 0);
  PostMessageOnce(Msg, 2, 0);
  MSG M;
  int Count = 0;
  WPARAM First = 0;
  while (PeekMessageW(&M, nullptr, Msg, Msg, PM_REMOVE))
    if (Count++ == 0) First = M.wParam;
  EXPECT_EQ(Count, 1);
  EXPECT_EQ(First, 1u);
}

}  // namespace popups

namespace mousedown {

class TTestGraphic : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
};

// Left-button messages posted to a form that holds one windowless child at (50, 50, 150, 90).
class PeekMouseDown : public testing::Test {
 protected:
  void SetUp() override {
    Form = new TForm(nullptr, 0);
    Form->AfterConstruction();
    Form->SetBounds(10, 10, 400, 300);
    Child = new TTestGraphic(Form);
    Child->SetParent(Form);
    Child->SetBounds(50, 50, 100, 40);
    Form->GetHandle();
  }
  void TearDown() override {
    Drain();
    delete Form;
  }
  void Post(UINT Msg, Integer X, Integer Y) { PostMessageW(Form->GetHandle(), Msg, 0, MAKELPARAM(X, Y)); }
  int Drain() {
    MSG M;
    int Count = 0;
    while (PeekMessageW(&M, Form->GetHandle(), WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_REMOVE)) ++Count;
    return Count;
  }
  TForm* Form = nullptr;
  TTestGraphic* Child = nullptr;
};

TEST_F(PeekMouseDown, TakesOnlyAPressOnTheControl) {
  struct {
    const char* Name;
    UINT Msg;
    Integer X, Y;
    bool ForChild, ForForm, AtChild, AtForm;
  } const Cases[] = {
      // The window itself takes presses anywhere in its client area, on its children too.
      {"press on the child", WM_LBUTTONDOWN, 60, 60, true, true, true, false},
      {"double click on the child", WM_LBUTTONDBLCLK, 149, 89, true, true, true, false},
      {"press outside the form's client area", WM_LBUTTONDOWN, 500, 10, false, false, false, false},
      {"release on the child", WM_LBUTTONUP, 60, 60, false, false, false, false},
      {"press beside the child", WM_LBUTTONDOWN, 10, 10, false, true, false, false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const struct {
      bool (*Peek)(TControl*);
      TControl* Control;
      bool Expected;
    } Calls[] = {
        {PeekMouseDownForControl, Child, C.ForChild},
        {PeekMouseDownForControl, Form, C.ForForm},
        {PeekMouseDownAtControl, Child, C.AtChild},
        {PeekMouseDownAtControl, Form, C.AtForm},
    };
    for (const auto& Call : Calls) {
      Post(C.Msg, C.X, C.Y);
      EXPECT_EQ(Call.Peek(Call.Control), Call.Expected);
      // A message taken is gone; one refused stays for its window.
      EXPECT_EQ(Drain(), Call.Expected ? 0 : 1);
    }
  }
}

TEST_F(PeekMouseDown, DisabledChildStillMatches) {
  Child->SetEnabled(false);
  Post(WM_LBUTTONDOWN, 60, 60);
  EXPECT_TRUE(PeekMouseDownForControl(Child));
}

TEST_F(PeekMouseDown, ChildPlacedOnTheScreenThroughItsParent) {
  const TPoint Origin = Form->ClientToScreen(TPoint(50, 50));
  EXPECT_EQ(ControlScreenRect(Child), Bounds(Origin.X, Origin.Y, 100, 40));
  popups::TRecordingDropDown DropDown;
  DropDown.SetBounds(0, 0, 120, 80);
  TPoint Pos;
  AdjustPopupBoundsForControl(Child, &DropDown, 0, Pos);
  EXPECT_EQ(Pos, TPoint(Origin.X, Origin.Y + 40));
}

}  // namespace mousedown

TEST(LocaleClock, TurkishUserReadsTwentyFourHours) {
  if (PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) != LANG_TURKISH) GTEST_SKIP() << "not a Turkish user";
  THoursTimeFormatKv Hours = htfAmPm12hKv;
  TAmPmPosKv Pos = appAmPmSuffixKv;
  GetLocaleClockSettings(Hours, Pos);
  EXPECT_EQ(Hours, htf24hKv);
}
