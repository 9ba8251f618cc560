#include "kvlib/foundation/ToolCtrlsKv.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "framework/DB.h"
#include "framework/FMTBcd.h"
#include "framework/Mask.h"
#include "framework/SqlTimSt.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/controls/WinControl.h"
#include "framework/forms/Application.h"
#include "kvlib/foundation/KvLibVCL.h"
#include "framework/Graphics.h"
#include "framework/classes/Lists.h"
#include "framework/classes/Strings.h"

namespace {

// Built once and only read afterwards, so every thread may pass it to a conversion.
const TFormatSettings& FixedFormatSettings() {
  static const TFormatSettings Settings = [] {
    TFormatSettings S = TFormatSettings::Invariant();
    S.DecimalSeparator = L'.';
    S.DateSeparator = L'-';
    S.ShortDateFormat = L"YYYY/MM/DD";
    S.TimeSeparator = L':';
    S.LongTimeFormat = L"HH:NN:SS";
    return S;
  }();
  return Settings;
}

bool IsOrdinalVarType(TVarType T) {
  switch (T) {
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varLongWord:
    case varInt64: case varUInt64:
      return true;
    default:
      return false;
  }
}

// Both arrays with the same dimensions and the same bounds of the first one.
bool SameArrayShape(const Variant& V1, const Variant& V2) {
  Integer Dims = VarArrayDimCount(V1);
  return Dims == VarArrayDimCount(V2) && VarArrayLowBound(V1, 1) == VarArrayLowBound(V2, 1) &&
         VarArrayHighBound(V1, 1) == VarArrayHighBound(V2, 1);
}

TVariantRelationship NullAwareCompare(const Variant& V1, const Variant& V2) {
  bool Null1 = VarIsNull(V1), Null2 = VarIsNull(V2);
  if (Null1 && Null2) return vrEqual;
  if (Null1) return vrLessThan;
  if (Null2) return vrGreaterThan;
  return VarCompareValue(V1, V2);
}

String NumericDisplayFormat(TField* Field) {
  auto* Numeric = dynamic_cast<TNumericField*>(Field);
  return Numeric ? Numeric->GetDisplayFormat() : String();
}

// The largest value a Currency holds, for FMT BCD values that would overflow it.
constexpr Double MaxCurrencyMagnitude = 922337203685477.0;

}  // namespace

// ---- Conversions ------------------------------------------------------------------------------

String FloatToStrInvariant(Double Value) { return FloatToStr(Value, FixedFormatSettings()); }

String VarToStrFixedFormat(const Variant& V) {
  const TFormatSettings& S = FixedFormatSettings();
  TVarType T = VarType(V);
  // Every kind whose text depends on the settings goes through the fixed ones; the rest
  // (integers, strings, Booleans, Null) reads the same under any locale.
  switch (T) {
    case varCurrency: return CurrToStr(V.AsCurrency(), S);
    case varDate: return DateTimeToStr(V.AsDateTime(), S);
    case varSingle: return FloatToStrF(V.AsDouble(), ffGeneral, 7, 0, S);
    case varDouble: return FloatToStr(V.AsDouble(), S);
    default: break;
  }
  if (T == VarFMTBcd()) return BcdToStr(VarToBcd(V), S);
  if (T == VarSQLTimeStamp()) return SQLTimeStampToStr(String(), VarToSQLTimeStamp(V), S);
  return VarToStr(V);
}

Variant StrToVarFixedFormat(const String& Text, TVarType AVarType) {
  const TFormatSettings& S = FixedFormatSettings();
  switch (AVarType) {
    case varDate: return Variant(StrToDateTime(Text, S));
    case varDouble: return Variant(Double(StrToFloat(Text, S)));
    case varSingle: return Variant(Single(StrToFloat(Text, S)));
    case varCurrency: return Variant(StrToCurr(Text, S));
    default: break;
  }
  if (AVarType == VarFMTBcd()) return VarFMTBcdCreate(StrToBcd(Text, S));
  if (AVarType == VarSQLTimeStamp()) return VarSQLTimeStampCreate(StrToSQLTimeStamp(Text, S));
  if (IsOrdinalVarType(AVarType)) {
    // "2.5" into an integer kind rounds as a number does; the cast alone would read the
    // decimals with the user's separator.
    Int64 I;
    Extended E;
    if (!TryStrToInt64(Text, I) && TryStrToFloat(Text, E, S)) return VarAsType(Variant(Double(E)), AVarType);
  }
  return VarAsType(Variant(Text), AVarType);
}

String VarToStrDateTime(const Variant& V) {
  if (VarType(V) == varDate) return DateTimeToStr(V.AsDateTime());
  return VarToStr(V);
}

String VarArrayToStrKv(const Variant& V) {
  if (!VarIsArray(V)) return VarToStr(V);
  String Result = L"[";
  Integer Low = VarArrayLowBound(V, 1);
  for (Integer I = Low, High = VarArrayHighBound(V, 1); I <= High; ++I) {
    if (I > Low) Result += L", ";
    Result += VarArrayToStrKv(V[I]);
  }
  return Result + L"]";
}

String FieldValueToDisplayText(const Variant& Value, TField* Field, const String& Format) {
  if (VarIsEmpty(Value) || VarIsNull(Value)) return String();
  switch (Field->GetDataType()) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: {
      if (!Format.empty()) return FormatFloat(Format, Value.AsDouble());
      String DisplayFormat = NumericDisplayFormat(Field);
      if (!DisplayFormat.empty()) return FormatFloat(DisplayFormat, Value.AsDouble());
      return IntToStr(Value.AsInt64());
    }
    case ftFloat: case ftCurrency: {
      if (!Format.empty()) return FormatFloat(Format, Value.AsDouble());
      String DisplayFormat = NumericDisplayFormat(Field);
      if (!DisplayFormat.empty()) return FormatFloat(DisplayFormat, Value.AsDouble());
      auto* Float = dynamic_cast<TFloatField*>(Field);
      Integer Precision = Float ? Float->GetPrecision() : 15;
      if (Float && Float->GetCurrency())
        return FloatToStrF(Value.AsDouble(), ffCurrency, Precision, FormatSettings.CurrencyDecimals);
      return FloatToStrF(Value.AsDouble(), ffGeneral, Precision, 0);
    }
    case ftBCD: case ftFMTBcd: {
      if (!Format.empty()) return FormatFloat(Format, Value.AsDouble());
      bool AsCurrencyText = false;
      if (auto* Bcd = dynamic_cast<TBCDField*>(Field)) AsCurrencyText = Bcd->GetCurrency();
      if (auto* FmtBcd = dynamic_cast<TFMTBCDField*>(Field)) AsCurrencyText = FmtBcd->GetCurrency();
      TFloatFormat Form = AsCurrencyText ? ffCurrency : ffGeneral;
      Integer Digits = AsCurrencyText ? FormatSettings.CurrencyDecimals : 0;
      // An FMT BCD value past the Currency range keeps its digits instead of overflowing.
      if (VarType(Value) == VarFMTBcd()) {
        TBcd Bcd = VarToBcd(Value);
        if (std::abs(BcdToDouble(Bcd)) >= MaxCurrencyMagnitude) return BcdToStrF(Bcd, Form, 32, Digits);
      }
      String DisplayFormat = NumericDisplayFormat(Field);
      if (!DisplayFormat.empty()) return FormatCurr(DisplayFormat, Value.AsCurrency());
      return CurrToStrF(Value.AsCurrency(), Form, Digits);
    }
    case ftDate: case ftTime: case ftDateTime: {
      TDateTime DateTime = Value.AsDateTime();
      if (!Format.empty()) return FormatDateTime(Format, DateTime);
      if (Field->GetDataType() == ftDate) return FormatDateTime(FormatSettings.ShortDateFormat, DateTime);
      if (Field->GetDataType() == ftTime) return FormatDateTime(FormatSettings.LongTimeFormat, DateTime);
      return FormatDateTime(L"c", DateTime);
    }
    default:
      return VarToStr(Value);
  }
}

String FormatMaskTextKv(const String& EditMask, const String& Value) {
  if (MaskGetMaskSave(EditMask)) return PadInputLiterals(EditMask, Value, MaskGetMaskBlank(EditMask));
  return FormatMaskText(EditMask, Value);
}

TDateTime DateTimeWithoutMSec(TDateTime Value) {
  TTimeStamp Stamp = DateTimeToTimeStamp(Value);
  Stamp.Time -= Stamp.Time % MSecsPerSec;
  return TimeStampToDateTime(Stamp);
}

void ReplaceTimeOfDateTime(TDateTime& DateValue, TDateTime TimeValue) {
  Extended Days = Int(DateValue.Val);
  Extended Time = std::abs(Frac(TimeValue.Val));
  DateValue = TDateTime(Days >= 0 ? Days + Time : Days - Time);
}

// ---- Comparisons ------------------------------------------------------------------------------

bool DBVarValuesEqual(const Variant& V1, const Variant& V2) {
  try {
    bool Array1 = VarIsArray(V1), Array2 = VarIsArray(V2);
    if (Array1 != Array2) return false;
    if (Array1 && SameArrayShape(V1, V2)) {
      Integer Low = VarArrayLowBound(V1, 1), High = VarArrayHighBound(V1, 1);
      if (High < Low) return false;
      for (Integer I = Low; I <= High; ++I)
        if (!(V1[I] == V2[I])) return false;
      return true;
    }
    if (VarIsEmpty(V1) != VarIsEmpty(V2)) return false;
    return V1 == V2;
  } catch (const Exception&) {
    return false;
  }
}

TVariantRelationship DBVarCompareValue(const Variant& V1, const Variant& V2) {
  bool Array1 = VarIsArray(V1), Array2 = VarIsArray(V2);
  if (Array1 != Array2) return vrNotEqual;
  if (Array1) {
    // Keys of different lengths cannot be ordered: not equal rather than an exception.
    if (!SameArrayShape(V1, V2)) return vrNotEqual;
    Integer Low = VarArrayLowBound(V1, 1), High = VarArrayHighBound(V1, 1);
    if (High < Low) return vrNotEqual;
    for (Integer I = Low; I <= High; ++I) {
      TVariantRelationship R = NullAwareCompare(V1[I], V2[I]);
      if (R != vrEqual) return R;
    }
    return vrEqual;
  }
  return NullAwareCompare(V1, V2);
}

// ---- Arrays and lists -------------------------------------------------------------------------

namespace {

// Checks first, so a refused call leaves the array as it was; the opened slots keep what they held.
template <class T>
void ToolCtrlsArrayInsertRange(std::vector<T>& Extents, Integer StartIndex, Integer Amount) {
  if (Amount < 0) throw Exception(L"ArrayInsertRange: (Amount < 0)");
  if (StartIndex > Integer(Extents.size())) throw Exception(L"ArrayInsertRange: StartIndex > Length(Extents)");
  // A negative start would move items to before the array's first slot.
  if (StartIndex < 0) throw Exception(L"ArrayInsertRange: (StartIndex < 0)");
  size_t OldLength = Extents.size();
  Extents.resize(OldLength + size_t(Amount));
  std::copy_backward(Extents.begin() + StartIndex, Extents.begin() + Integer(OldLength), Extents.end());
}

template <class T>
void ToolCtrlsArrayDeleteRange(std::vector<T>& Extents, Integer StartIndex, Integer Amount) {
  if (Amount < 0) throw Exception(L"ArrayDeleteRange: (Amount < 0)");
  if (Int64(StartIndex) + Amount > Int64(Extents.size()))
    throw Exception(L"ArrayDeleteRange: StartIndex + Amount > Length(Extents)");
  if (StartIndex < 0) throw Exception(L"ArrayDeleteRange: (StartIndex < 0)");
  Extents.erase(Extents.begin() + StartIndex, Extents.begin() + StartIndex + Amount);
}

}  // namespace

void ArrayInsertRange(TVariantArrayKv& Extents, Integer StartIndex, Integer Amount) {
  ToolCtrlsArrayInsertRange(Extents, StartIndex, Amount);
}

void ArrayDeleteRange(TVariantArrayKv& Extents, Integer StartIndex, Integer Amount) {
  ToolCtrlsArrayDeleteRange(Extents, StartIndex, Amount);
}

void ArrayInsertRange(TIntegerArrayKv& Extents, Integer StartIndex, Integer Amount) {
  ToolCtrlsArrayInsertRange(Extents, StartIndex, Amount);
}

void ArrayDeleteRange(TIntegerArrayKv& Extents, Integer StartIndex, Integer Amount) {
  ToolCtrlsArrayDeleteRange(Extents, StartIndex, Amount);
}

Integer StringsLocate(TStrings* Strings, const String& Text, Integer Options) {
  bool IgnoreCase = (Options & slCaseInsensitiveKv) != 0;
  bool Partial = (Options & slPartialKeyKv) != 0;
  for (Integer I = 0, Count = Strings->GetCount(); I < Count; ++I) {
    String Item = Strings->GetStrings(I);
    if (Partial) {
      if (Item.size() < Text.size()) continue;
      Item.resize(Text.size());
    }
    if (IgnoreCase ? AnsiCompareText(Item, Text) == 0 : CompareStr(Item, Text) == 0) return I;
  }
  return -1;
}

bool FieldsCanModify(TList* FieldList) {
  for (Integer I = 0; I < FieldList->GetCount(); ++I)
    if (!static_cast<TField*>(FieldList->GetItems(I))->CanModify()) return false;
  return true;
}

bool FieldsArrCanModify(const TFieldsArrKv& Fields) {
  for (TField* Field : Fields)
    if (!Field->CanModify()) return false;
  return true;
}

// ---- Dates and locale -------------------------------------------------------------------------

TCalendarDateTimeUnitsKv DateTimeFormatToUnits(const String& Format) {
  TCalendarDateTimeUnitsKv Units;
  String F = AnsiUpperCase(Format);
  size_t I = 0;
  while (I < F.size()) {
    Char C = F[I];
    if (C == L'\'' || C == L'"') {
      size_t Close = F.find(C, I + 1);
      I = Close == String::npos ? F.size() : Close + 1;
      continue;
    }
    bool AmPm = false;
    for (const wchar_t* Token : {L"AM/PM", L"AMPM", L"A/P"}) {
      if (F.compare(I, wcslen(Token), Token) == 0) {
        Units << cdtuAmPmKv;
        I += wcslen(Token);
        AmPm = true;
        break;
      }
    }
    if (AmPm) continue;
    switch (C) {
      case L'Y': Units << cdtuYearKv; break;
      case L'M': Units << cdtuMonthKv; break;
      case L'D': Units << cdtuDayKv; break;
      case L'H': Units << cdtuHourKv; break;
      case L'N': Units << cdtuMinuteKv; break;
      case L'S': Units << cdtuSecondKv; break;
      default: break;
    }
    ++I;
  }
  return Units;
}

void GetLocaleClockSettings(THoursTimeFormatKv& HoursFormat, TAmPmPosKv& AmPmPos) {
  Integer Locale = Integer(GetUserDefaultLCID());
  String Hours = GetLocaleStr(Locale, LOCALE_ITIME, L"0");
  String Marker = GetLocaleStr(Locale, LOCALE_ITIMEMARKPOSN, L"0");
  HoursFormat = !Hours.empty() && Hours[0] == L'0' ? htfAmPm12hKv : htf24hKv;
  AmPmPos = !Marker.empty() && Marker[0] == L'0' ? appAmPmSuffixKv : appAmPmPrefixKv;
}

// ---- Types ------------------------------------------------------------------------------------

bool VarIsNumericKv(const Variant& V) {
  switch (VarType(V)) {
    case varSmallint: case varInteger: case varSingle: case varDouble: case varCurrency: case varShortInt:
    case varByte: case varWord: case varLongWord: case varInt64:
      return true;
    default:
      return VarType(V) == VarFMTBcd();
  }
}

bool IsNumericFieldType(TFieldType FieldType) {
  switch (FieldType) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD: case ftFMTBcd:
    case ftLongWord: case ftShortint: case ftByte: case ftExtended: case ftSingle:
      return true;
    default:
      return false;
  }
}

bool IsStringFieldType(TFieldType FieldType) {
  switch (FieldType) {
    case ftString: case ftMemo: case ftFmtMemo: case ftFixedChar: case ftWideString: case ftOraClob:
    case ftVariant: case ftGuid: case ftFixedWideChar: case ftWideMemo:
      return true;
    default:
      return false;
  }
}

// ---- Small routines ---------------------------------------------------------------------------

TPoint InterpolatePoint(const TPoint& P1, const TPoint& P2, Double Fraction) {
  return TPoint(LongInt(P1.X + Trunc((P2.X - P1.X) * Fraction)), LongInt(P1.Y + Trunc((P2.Y - P1.Y) * Fraction)));
}

TSizeGripPosition MirroredSizeGripPosition(TSizeGripPosition Position) {
  static const TSizeGripPosition Mirror[] = {sgpTopRight, sgpTopLeft, sgpBottomLeft, sgpBottomRight};
  return Mirror[Position];
}

Integer ScaleByFourThirds(Integer Value, bool Flag) {
  return Flag ? Integer(Round(Extended(Value) * 4 / 3)) : Value;
}

Integer DefaultFlatButtonWidth = Integer(Round(Extended(GetSystemMetrics(SM_CXVSCROLL) + 1) / 3 * 2));

// ---- Input state ------------------------------------------------------------------------------

TShiftState GetShiftStateKv() {
  TShiftState S;
  if (GetKeyState(VK_SHIFT) < 0) S << ssShift;
  if (GetKeyState(VK_MENU) < 0) S << ssAlt;
  if (GetKeyState(VK_CONTROL) < 0) S << ssCtrl;
  return S;
}

bool IsMouseButtonDown(TMouseButton Button) {
  int Key;
  switch (Button) {
    case mbLeft: Key = VK_LBUTTON; break;
    case mbRight: Key = VK_RBUTTON; break;
    case mbMiddle: Key = VK_MBUTTON; break;
    default: return false;
  }
  return GetAsyncKeyState(Key) < 0;
}

bool IsDoubleClickKv(const TPoint& FirstPoint, const TPoint& Point, Cardinal Elapsed) {
  if (Elapsed > GetDoubleClickTime()) return false;
  return std::abs(Point.X - FirstPoint.X) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
         std::abs(Point.Y - FirstPoint.Y) <= GetSystemMetrics(SM_CYDOUBLECLK);
}

void PostMessageOnce(Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  MSG Waiting;
  if (PeekMessageW(&Waiting, nullptr, Msg, Msg, PM_NOREMOVE)) return;
  PostMessageW(Application ? Application->GetHandle() : nullptr, Msg, WParam, LParam);
}

// ---- Controls and popups ----------------------------------------------------------------------

namespace {

// The first left-button message waiting for the window of Control, when it is a press or a
// double click and, where asked, falls inside Control's client area.
bool PeekMouseDown(TControl* Control, bool ChildOnly, bool CheckClientArea) {
  if (!Control) return false;
  TWinControl* Window = dynamic_cast<TWinControl*>(Control);
  if (!Window) Window = Control->GetParent();
  if (!Window || !Window->HandleAllocated()) return false;
  HWND Handle = Window->GetHandle();
  MSG M;
  if (!PeekMessageW(&M, Handle, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE | PM_NOYIELD)) return false;
  if (M.message != WM_LBUTTONDOWN && M.message != WM_LBUTTONDBLCLK) return false;
  TPoint P(SmallInt(LOWORD(M.lParam)), SmallInt(HIWORD(M.lParam)));
  if ((ChildOnly || Control != Window) && Window->ControlAtPos(P, true) != Control) return false;
  if (CheckClientArea && !Control->GetClientRect().Contains(Control->ScreenToClient(Window->ClientToScreen(P))))
    return false;
  PeekMessageW(&M, Handle, M.message, M.message, PM_REMOVE | PM_NOYIELD);
  return true;
}

}  // namespace

bool PeekMouseDownForControl(TControl* Control) { return PeekMouseDown(Control, false, true); }

bool PeekMouseDownAtControl(TControl* Control) { return PeekMouseDown(Control, true, false); }

TRect ControlScreenRect(TControl* Control) {
  TPoint Origin = Control->GetClientOrigin();
  return Bounds(Origin.X, Origin.Y, Control->GetWidth(), Control->GetHeight());
}

void AdjustPopupBounds(const TRect& HostRect, TControl* DropDown, Integer Align, TPoint& Pos) {
  RECT Host = {HostRect.Left, HostRect.Top, HostRect.Right, HostRect.Bottom};
  MONITORINFO Info = {};
  Info.cbSize = sizeof(Info);
  GetMonitorInfoW(MonitorFromRect(&Host, MONITOR_DEFAULTTONEAREST), &Info);
  const TRect Work(Info.rcWork.left, Info.rcWork.top, Info.rcWork.right, Info.rcWork.bottom);
  auto Tell = [DropDown](TSizeGripChangePosition Way) { DropDown->Perform(CM_SIZEGRIPCHANGEPOSITION, WPARAM(Way), 0); };

  Integer Height = DropDown->GetHeight();
  bool FitsAbove = HostRect.Top - Height >= Work.Top;
  bool FitsBelow = Work.Bottom >= HostRect.Bottom + Height;
  bool Upward = !FitsBelow && (FitsAbove || Work.Bottom - HostRect.Bottom < HostRect.Top - Work.Top);
  Integer Y;
  if (Upward) {
    if (!FitsAbove) DropDown->SetHeight(HostRect.Top - Work.Top);
    Y = HostRect.Top - DropDown->GetHeight();
    Tell(sgcpToTop);
  } else {
    if (!FitsBelow) DropDown->SetHeight(Work.Bottom - HostRect.Bottom);
    Y = HostRect.Bottom;
    Tell(sgcpToBottom);
  }

  Integer X = HostRect.Left;
  if (Align == 1)
    X += HostRect.Width() - DropDown->GetWidth();
  else if (Align == 2)
    X -= (DropDown->GetWidth() - HostRect.Width()) / 2;
  if (Work.Width() < DropDown->GetWidth()) DropDown->SetWidth(Work.Width());
  Integer Width = DropDown->GetWidth();
  if (X + Width > Work.Right) {
    X = Work.Right - Width;
    Tell(sgcpToLeft);
  } else if (X < Work.Left) {
    X = Work.Left;
    Tell(sgcpToRight);
  } else {
    Tell(Align == 1 ? sgcpToLeft : sgcpToRight);
  }
  Pos = TPoint(X, Y);
}

void AdjustPopupBoundsForControl(TControl* Host, TControl* DropDown, Integer Align, TPoint& Pos) {
  TRect R = Host->GetBoundsRect();
  if (TWinControl* Parent = Host->GetParent()) {
    TPoint TopLeft = Parent->ClientToScreen(R.TopLeft());
    R = Bounds(TopLeft.X, TopLeft.Y, R.Width(), R.Height());
  }
  AdjustPopupBounds(R, DropDown, Align, Pos);
}

// ---- Text measuring and search ----------------------------------------------------------------

// The en dash stands where a Turkish capital letter (U+011E) would have made "DAĞ" two words.
const String WordDelimitersKv =
    L" .;,:(){}\"'/\\<>!?[]-+*=\t\u2018\u2019\u201C\u201D\u00A0\u2013\u201E";

namespace {

bool IsWordDelimiter(Char C) { return WordDelimitersKv.find(C) != String::npos; }

Integer DefaultFindTextPos(const String& SubText, const String& Text, Integer StartPos, bool IgnoreCase,
                           bool WholeWord) {
  return FindTextPos(SubText, Text, IgnoreCase, WholeWord, StartPos);
}

}  // namespace

TFindTextPosProcKv FindTextPosProcKv = DefaultFindTextPos;

Integer FindTextPos(const String& SubText, const String& Text, bool IgnoreCase, bool WholeWord, Integer StartPos) {
  String Sub = IgnoreCase ? AnsiUpperCase(SubText) : SubText;
  String T = IgnoreCase ? AnsiUpperCase(Text) : Text;
  if (Sub.empty()) return 0;
  if (!WholeWord) return Pos(Sub, T, StartPos);
  const Integer Len = Integer(T.size()), SubLen = Integer(Sub.size());
  for (Integer Start = StartPos;;) {
    Integer Hit = Pos(Sub, T, Start);
    if (Hit == 0) return 0;
    Integer After = Hit - 1 + SubLen;  // 0-based index of the character after the hit
    bool FreeBefore = Hit == 1 || IsWordDelimiter(T[size_t(Hit - 2)]);
    bool FreeAfter = After >= Len || IsWordDelimiter(T[size_t(After)]);
    if (FreeBefore && FreeAfter) return Hit;
    if (After >= Len) return 0;
    // From the next character: a whole word may begin inside a rejected hit ("a-a" in "ba-a-a").
    Start = Hit + 1;
  }
}

Integer CharPosInStr(Char Ch, const String& Text) {
  size_t P = Text.find(Ch);
  return P == String::npos ? 0 : Integer(P) + 1;
}

bool FindTextPositions(const String& Text, const String& SubText, std::vector<Integer>& Positions, bool IgnoreCase,
                       bool WholeWords, bool BeginsWith) {
  Positions.clear();
  String T = IgnoreCase ? AnsiUpperCase(Text) : Text;
  String Sub = IgnoreCase ? AnsiUpperCase(SubText) : SubText;
  auto Find = [&](Integer Start) {
    return IgnoreCase ? FindTextPosProcKv(Sub, T, Start, true, WholeWords)
                      : FindTextPos(Sub, T, false, WholeWords, Start);
  };
  for (Integer Hit = Find(1); Hit > 0; Hit = Find(Hit + 1)) {
    Positions.push_back(Hit - 1);
    if (BeginsWith) break;
  }
  if (BeginsWith) {
    bool AtStart = !Positions.empty() && Positions[0] == 0;
    if (!AtStart) Positions.clear();
    return AtStart;
  }
  return !Positions.empty();
}

String ShortenTextWithEllipsis(const String& Text, TCanvas* Canvas, Integer MaxWidth) {
  if (Text.empty() || Canvas->TextWidth(Text) <= MaxWidth) return Text;
  // The candidates are the first K characters and "..." for K = Len - 2 down to 0; their widths
  // grow with K, so the longest that fits is found by bisection rather than trying each.
  const Integer Len = Integer(Text.size());
  auto Candidate = [&](Integer K) { return Text.substr(0, size_t(K)) + L"..."; };
  Integer Lo = 0, Hi = std::max(0, Len - 2);  // the answer lies in [Lo, Hi]
  if (Canvas->TextWidth(Candidate(Lo)) > MaxWidth) return Candidate(0);
  while (Lo < Hi) {
    Integer Mid = Lo + (Hi - Lo + 1) / 2;
    if (Canvas->TextWidth(Candidate(Mid)) <= MaxWidth)
      Lo = Mid;
    else
      Hi = Mid - 1;
  }
  return Candidate(Lo);
}

Integer TextWidthByDrawText(TCanvas* Canvas, const String& Text) {
  Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid});
  RECT R{0, 0, 1, 0};
  DrawTextW(Canvas->GetHandle(), Text.c_str(), int(Text.size()), &R, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return R.right - R.left;
}

Byte IsRightToLeftChar(const String& Text, Byte Default) {
  if (Text.empty()) return 0;
  WORD Type = 0;
  if (!GetStringTypeExW(LOCALE_INVARIANT, CT_CTYPE2, Text.c_str(), 1, &Type)) return Default;
  if (Type == C2_LEFTTORIGHT) return 0;
  if (Type == C2_RIGHTTOLEFT || Type == C2_ARABICNUMBER) return 1;
  return Default;
}

Integer SumIntRange(const std::vector<Integer>& Values, Integer From, Integer To) {
  Integer Sum = 0;
  for (Integer I = std::max(From, 0); I <= To && I < Integer(Values.size()); ++I) Sum += Values[size_t(I)];
  return Sum;
}

Integer FindLineBreak(const String& Text, Integer Start, Integer MaxWidth, Integer& Width,
                      const std::vector<Integer>& Widths, bool WordWrap) {
  const Integer Len = Integer(Text.size());
  Integer Sum = 0, LastBlank = -1, WidthToBlank = 0;
  for (Integer I = Start; I < Len; ++I) {
    Char C = Text[size_t(I)];
    Sum += Widths[size_t(I)];
    if (WordWrap && (C == L'\r' || C == L'\n')) {
      Integer End = I + 1;
      if (C == L'\r' && End < Len && Text[size_t(End)] == L'\n') Sum += Widths[size_t(End++)];
      Width = Sum;
      return End;
    }
    if (C == L' ') {
      LastBlank = I;
      WidthToBlank = Sum;
    }
    if (Sum > MaxWidth && LastBlank >= 0) {
      if (WordWrap) {
        Width = WidthToBlank;
        return LastBlank + 1;
      }
      Width = Sum;
      return I;
    }
  }
  Width = Sum;
  return Len;
}

void BuildTextLines(TCanvas* Canvas, Integer MaxWidth, const String& Text, bool WordWrap, TSize& Size,
                    TTextLinesKv& Lines) {
  Size = TSize();
  Lines.clear();
  if (Text.empty()) return;
  TSize Whole;
  std::vector<Integer> Widths;
  GetTextCharExtents(Canvas, Text, Whole, Widths);
  for (size_t I = Widths.size(); I-- > 1;) Widths[I] -= Widths[I - 1];
  const Integer Len = Integer(Text.size());
  Integer Start = 0;
  do {
    Integer Width = 0;
    Integer End = FindLineBreak(Text, Start, MaxWidth, Width, Widths, WordWrap);
    if (End <= Start) End = Start + 1;  // a line holds one character at least
    Lines.push_back({Start, End - Start, Width, Whole.cy});
    Size.cx = std::max(Size.cx, LongInt(Width));
    Start = End;
  } while (Start < Len && WordWrap);
  Size.cy = LongInt(Lines.size()) * Whole.cy;
}

void CalcWrappedTextSize(TCanvas* Canvas, Integer MaxWidth, const String& Text, bool WordWrap, TSize& Size) {
  TTextLinesKv Lines;
  BuildTextLines(Canvas, MaxWidth, Text, WordWrap, Size, Lines);
}

// ---- World transform and clipping -------------------------------------------------------------

void SetWorldTransformRotation(TCanvas* Canvas, Double Scale, Double Angle, Double DX, Double DY) {
  HDC DC = Canvas->GetHandle();
  SetGraphicsMode(DC, GM_ADVANCED);
  SetMapMode(DC, MM_ANISOTROPIC);
  const Double Rad = Angle * 3.14159265358979323846 / 180.0;
  XFORM X{FLOAT(Scale * std::cos(Rad)), FLOAT(Scale * std::sin(Rad)), FLOAT(-Scale * std::sin(Rad)),
          FLOAT(Scale * std::cos(Rad)), FLOAT(DX), FLOAT(DY)};
  SetWorldTransform(DC, &X);
}

void ResetWorldTransformKv(TCanvas* Canvas) {
  HDC DC = Canvas->GetHandle();
  ModifyWorldTransform(DC, nullptr, MWT_IDENTITY);
  SetGraphicsMode(DC, GM_COMPATIBLE);
}

void RotateCanvasMinus90(TCanvas* Canvas) {
  HDC DC = Canvas->GetHandle();
  // Logical (x, y) lands on device (y, -x): text along x reads upwards.
  XFORM X{0.0f, -1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
  if (!CanvasHasWorldTransform(Canvas)) {
    SetGraphicsMode(DC, GM_ADVANCED);
    SetWorldTransform(DC, &X);
  } else {
    ModifyWorldTransform(DC, &X, MWT_RIGHTMULTIPLY);
  }
}

bool CanvasHasWorldTransform(TCanvas* Canvas) {
  XFORM X{};
  if (!GetWorldTransform(Canvas->GetHandle(), &X)) return false;
  return X.eM11 != 1 || X.eM12 != 0 || X.eM21 != 0 || X.eM22 != 1 || X.eDx != 0 || X.eDy != 0;
}

HRGN SetClipRectKv(TCanvas* Canvas, const TRect& Rect) {
  HDC DC = Canvas->GetHandle();
  HRGN Old = CreateRectRgn(0, 0, 0, 0);
  if (GetClipRgn(DC, Old) != 1) {
    DeleteObject(Old);
    Old = nullptr;
  }
  IntersectClipRect(DC, Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  return Old;
}

void RestoreClipRgnKv(TCanvas* Canvas, HRGN Region) {
  SelectClipRgn(Canvas->GetHandle(), Region);
  if (Region) DeleteObject(Region);
}

// ---- Text painting ----------------------------------------------------------------------------

namespace {

constexpr UINT UnwrappedAlignFlags[3] = {0x840, 0x842, 0x841};
constexpr UINT ReadingOrderFlags[3] = {0, DT_RTLREADING, 0};

void WriteTextByDrawText(TCanvas* Canvas, const TRect& ARect, Integer DX, Integer DY, const String& Text,
                         Integer Alignment, Integer Layout, bool WordWrap, bool EndEllipsis, Integer LeftMarg,
                         Integer RightMarg, Integer ReadingMode, bool SingleLine) {
  UINT Flags = WordWrap ? DT_WORDBREAK : SingleLine ? DT_SINGLELINE : 0;
  if (EndEllipsis) Flags |= DT_END_ELLIPSIS;
  Flags |= UnwrappedAlignFlags[Alignment >= 0 && Alignment < 3 ? Alignment : 0];
  Flags |= ReadingOrderFlags[ReadingMode >= 0 && ReadingMode < 3 ? ReadingMode : 0];
  DRAWTEXTPARAMS Params{sizeof(DRAWTEXTPARAMS), 0, LeftMarg, RightMarg, 0};
  RECT R{ARect.Left, ARect.Top, ARect.Right, ARect.Bottom};
  if (Alignment == 0) R.left += DX;
  else if (Alignment == 2) R.right -= DX;
  else Params.iRightMargin = LeftMarg + DX;
  Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid});
  HDC DC = Canvas->GetHandle();
  String Buf = Text;  // DrawTextEx may write into the text it is given
  if (Layout == 1 || Layout == 2) {
    RECT Calc = R;
    DRAWTEXTPARAMS CalcParams = Params;
    Integer H = DrawTextExW(DC, Buf.data(), int(Buf.size()), &Calc, Flags | DT_CALCRECT, &CalcParams);
    R.top = Layout == 1 ? (R.top + R.bottom - H) / 2 : R.bottom - H - DY;
  } else {
    R.top += DY;
  }
  HRGN Saved = nullptr;
  bool Clip = R.top < ARect.Top && !CanvasHasWorldTransform(Canvas);
  if (Clip) Saved = SetClipRectKv(Canvas, ARect);
  Params.uiLengthDrawn = 0;
  DrawTextExW(DC, Buf.data(), int(Buf.size()), &R, Flags, &Params);
  if (Clip) RestoreClipRgnKv(Canvas, Saved);
}

std::unique_ptr<TBitmap>& ScratchBitmapSlot() {
  static std::unique_ptr<TBitmap> Bitmap;
  return Bitmap;
}

// A brush colour the device can only show dithered (a palette device) breaks up behind text;
// such text is drawn on a true-colour bitmap and copied over whole.
bool BrushIsDithered(TCanvas* Canvas) {
  Canvas->RequiredState(TCanvasState{csHandleValid});
  const COLORREF Color = COLORREF(ColorToRGB(Canvas->GetBrush()->GetColor()));
  const COLORREF Nearest = GetNearestColor(Canvas->GetHandle(), Color);
  return Nearest != CLR_INVALID && Nearest != Color;
}

// Paints through the scratch bitmap: Paint draws into (0, 0, width, height) of it, already
// filled with the brush, in Canvas's font; the result is copied to ARect.
template <class TPaint>
void RenderThroughScratch(TCanvas* Canvas, const TRect& ARect, TPaint Paint) {
  const Integer W = ARect.Width(), H = ARect.Height();
  if (W <= 0 || H <= 0) return;
  TBitmap* Scratch = ScratchBitmapKv();
  TCanvas* SC = Scratch->GetCanvas();
  SC->Lock();
  try {
    if (Scratch->GetWidth() < W || Scratch->GetHeight() < H)
      Scratch->SetSize(std::max(Scratch->GetWidth(), W), std::max(Scratch->GetHeight(), H));
    SC->GetFont()->Assign(Canvas->GetFont());
    SC->GetBrush()->SetColor(Canvas->GetBrush()->GetColor());
    SC->GetBrush()->SetStyle(bsSolid);
    const TRect Area(0, 0, W, H);
    SC->FillRect(Area);
    SC->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid});
    SetBkMode(SC->GetHandle(), TRANSPARENT);
    Paint(SC, Area);
    Canvas->CopyRect(ARect, SC, Area);
  } catch (...) {
    SC->Unlock();
    throw;
  }
  SC->Unlock();
}

}  // namespace

TBitmap* ScratchBitmapKv() {
  auto& Slot = ScratchBitmapSlot();
  if (!Slot) {
    Slot = std::make_unique<TBitmap>();
    Slot->SetPixelFormat(pf32bit);
  }
  return Slot.get();
}

void FreeScratchBitmapKv() { ScratchBitmapSlot().reset(); }

void WriteTextKv(TCanvas* Canvas, const TRect& ARect, bool FillRect, Integer DX, Integer DY, const String& Text,
                 Integer Alignment, Integer Layout, bool WordWrap, bool EndEllipsis, Integer LeftMarg,
                 Integer RightMarg, Integer ReadingMode, bool SingleLine) {
  if (BrushIsDithered(Canvas)) {
    // The background is always filled here: the copy covers the whole rectangle.
    RenderThroughScratch(Canvas, ARect, [&](TCanvas* SC, const TRect& Area) {
      WriteTextByDrawText(SC, Area, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, LeftMarg, RightMarg,
                          ReadingMode, SingleLine);
    });
    return;
  }
  TBrush* Brush = Canvas->GetBrush();
  const TColor SavedColor = Brush->GetColor();
  const TBrushStyle SavedStyle = Brush->GetStyle();
  auto Restore = [&] {
    if (FillRect) return;
    Brush->SetStyle(SavedStyle);
    Brush->SetColor(SavedColor);
  };
  if (WordWrap || LeftMarg != 0 || RightMarg != 0 || EndEllipsis || Text.size() > 32768 || !SingleLine) {
    if (FillRect)
      Canvas->FillRect(ARect);
    else
      Brush->SetStyle(bsClear);
    WriteTextByDrawText(Canvas, ARect, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, LeftMarg, RightMarg,
                        ReadingMode, SingleLine);
    Restore();
    return;
  }
  TFontStyles Style = Canvas->GetFont()->GetStyle();
  Integer Width = Alignment != 0 && (Style.Contains(fsBold) || Style.Contains(fsItalic))
                      ? TextWidthByDrawText(Canvas, Text)
                      : Canvas->TextWidth(Text);
  Integer X = ARect.Left + DX;
  if (Alignment == 1) X = ARect.Right - Width - DX - 1;
  if (Alignment == 2) X = ARect.Left < ARect.Right ? ARect.Left + (ARect.Right - ARect.Left) / 2 - Width / 2 : 0;
  Integer Y = ARect.Top + DY;
  Integer H = Canvas->TextHeight(Text);
  if (Layout != 0 && H < ARect.Height() - DY) Y = Layout == 1 ? (ARect.Top + ARect.Bottom - H) / 2 : ARect.Bottom - H - DY;
  if (!FillRect) Brush->SetStyle(bsClear);
  if (ReadingMode == 1) Canvas->SetTextFlags(Canvas->GetTextFlags() | ETO_RTLREADING);
  Canvas->TextRect(ARect, X, Y, Text);
  Restore();
}

void DrawClippedText(TCanvas* Canvas, const TRect& ARect, Integer DX, Integer DY, const String& Text,
                     Integer Alignment) {
  if (BrushIsDithered(Canvas)) {
    constexpr UINT WrappedAlignFlags[3] = {0x850, 0x852, 0x851};
    RenderThroughScratch(Canvas, ARect, [&](TCanvas* SC, const TRect& Area) {
      RECT R{DX, DY, Area.Right - 1, Area.Bottom - 1};
      DrawTextW(SC->GetHandle(), Text.c_str(), int(Text.size()), &R,
                WrappedAlignFlags[Alignment >= 0 && Alignment < 3 ? Alignment : 0]);
    });
    return;
  }
  Integer Width = Canvas->TextWidth(Text);
  Integer X = ARect.Left + DX;
  if (Alignment == 1) X = ARect.Right - Width - 3;
  if (Alignment == 2) X = ARect.Left + (ARect.Right - ARect.Left) / 2 - Width / 2;
  Canvas->GetBrush()->SetStyle(bsSolid);
  Canvas->TextRect(ARect, X, ARect.Top + DY, Text);
}

// ---- Vertical text and search highlights ------------------------------------------------------

Integer WriteTextVerticalKv(TCanvas* Canvas, const TRect& ARect, bool FillRect, Integer DX, Integer DY,
                            const String& Text, Integer Alignment, Integer Layout, bool WordWrap, bool EndEllipsis,
                            Integer) {
  // Everything the text needs is selected before the save, so the restore leaves the canvas's
  // own idea of its device context true.
  Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid, csBrushValid, csPenValid});
  HDC DC = Canvas->GetHandle();
  Integer Saved = SaveDC(DC);
  try {
    RotateCanvasMinus90(Canvas);
    const Integer W = ARect.Right - ARect.Left;
    TRect R(-ARect.Bottom, ARect.Left, -ARect.Top, ARect.Left + W);
    WriteTextKv(Canvas, R, FillRect, DX, DY, Text, Alignment, Layout, WordWrap, EndEllipsis, 0, 0, 0, false);
  } catch (...) {
    RestoreDC(DC, Saved);
    throw;
  }
  RestoreDC(DC, Saved);
  return 0;
}

void DrawTextSearchHighlights(TCanvas* Canvas, const TRect& ARect, Integer TextLeftOffset, Integer TopOffset,
                              const String& Text, Integer Alignment, bool VertCentred, bool WordWrap, Integer,
                              Integer, Integer, Integer, const String& SearchText, bool IgnoreCase, bool WholeWords,
                              bool BeginsWith, TColor HighlightColor, Integer, Integer, Integer& OutOfViewCount) {
  OutOfViewCount = 0;
  std::vector<Integer> Hits;
  if (!FindTextPositions(Text, SearchText, Hits, IgnoreCase, WholeWords, BeginsWith) || Hits.empty()) return;
  const Integer CellWidth = ARect.Right - ARect.Left, CellHeight = ARect.Bottom - ARect.Top;
  Integer VOffset = TopOffset;
  if (VertCentred) {
    RECT Calc{0, 0, CellWidth, 0};
    Canvas->RequiredState(TCanvasState{csHandleValid, csFontValid});
    DrawTextW(Canvas->GetHandle(), Text.c_str(), Integer(Text.size()), &Calc, DT_WORDBREAK | DT_CALCRECT);
    VOffset = CellHeight / 2 - (Calc.bottom - Calc.top) / 2;
  }
  TSize Size;
  TTextLinesKv Lines;
  BuildTextLines(Canvas, CellWidth - TextLeftOffset, Text, true, Size, Lines);
  if (Lines.empty()) return;
  TSize Whole;
  std::vector<Integer> Extents;  // cumulative: the width of the first I + 1 characters
  GetTextCharExtents(Canvas, Text, Whole, Extents);
  auto WidthUpTo = [&](Integer End) { return End <= 0 ? 0 : Extents[size_t(std::min<Integer>(End, Integer(Extents.size())) - 1)]; };
  const bool RightToLeft = IsRightToLeftChar(Text, 0) == 1;
  const TColor OldBrush = Canvas->GetBrush()->GetColor(), OldFont = Canvas->GetFont()->GetColor();
  try {
    Canvas->GetBrush()->SetColor(HighlightColor);
    Canvas->GetFont()->SetColor(clWindowText);
    const Integer Len = Integer(SearchText.size());
    for (Integer Hit : Hits) {
      size_t L = 0;
      while (L + 1 < Lines.size() && Lines[L + 1].Start <= Hit) ++L;
      const TTextLineInfoKv& Line = Lines[L];
      Integer Offset = Alignment == 1   ? CellWidth - Line.Width - TextLeftOffset - 1
                       : Alignment == 2 ? (CellWidth - Line.Width) / 2
                                        : TextLeftOffset;
      const Integer HitEnd = std::min(Hit + Len, Line.Start + Line.Length);
      Integer X = WidthUpTo(Hit) - WidthUpTo(Line.Start);
      const Integer W = WidthUpTo(HitEnd) - WidthUpTo(Hit);
      if (RightToLeft) X = Line.Width - X - W;  // mirrored within the line
      const Integer Y = Integer(L) * Line.Height;
      TRect R(ARect.Left + Offset + X, ARect.Top + VOffset + Y, ARect.Left + Offset + X + W,
              ARect.Top + VOffset + Y + Line.Height);
      DrawTextDefault(Canvas, Text.substr(size_t(Hit), size_t(HitEnd - Hit)), R);
      if (R.Left >= ARect.Right || R.Top >= ARect.Bottom) ++OutOfViewCount;
    }
  } catch (...) {
    Canvas->GetBrush()->SetColor(OldBrush);
    Canvas->GetFont()->SetColor(OldFont);
    throw;
  }
  Canvas->GetBrush()->SetColor(OldBrush);
  Canvas->GetFont()->SetColor(OldFont);
}
