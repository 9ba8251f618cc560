#include "kvlib/foundation/DBUtilsKv.h"

#include <algorithm>
#include <cmath>

#include "framework/DB.h"
#include "framework/SysUtils.h"
#include "framework/Variants.h"
#include "kvlib/foundation/KvLibLangConsts.h"

namespace {

// Language texts of the filter parser, from the family's language constants.
enum TFilterTextKv {
  ftxQuoteIsAbsent,
  ftxLeftBracketExpected,
  ftxErrorInExpression,
  ftxUnexpectedExpressionAfterOperator,
  ftxUnexpectedExpressionBeforeNull,
  ftxIncorrectExpression,
  ftxUnexpectedANDorOR
};

String FilterLanguageText(TFilterTextKv Text) {
  TKvLibLanguageConsts* C = KvLibLanguageConsts();
  switch (Text) {
    case ftxQuoteIsAbsent: return C->GetQuoteIsAbsentKv();
    case ftxLeftBracketExpected: return C->GetLeftBracketExpectedKv();
    case ftxErrorInExpression: return C->GetErrorInExpressionKv();
    case ftxUnexpectedExpressionAfterOperator: return C->GetUnexpectedExpressionAfterOperatorKv();
    case ftxUnexpectedExpressionBeforeNull: return C->GetUnexpectedExpressionBeforeNullKv();
    case ftxIncorrectExpression: return C->GetIncorrectExpressionKv();
    case ftxUnexpectedANDorOR: return C->GetUnexpectedANDorORKv();
  }
  return String();
}

// The parser's keyword texts besides the English keywords (LIKE has none).
const wchar_t* const SFilterNot = L"Not";
const wchar_t* const SFilterAnd = L"AND";
const wchar_t* const SFilterOr = L"OR";
const wchar_t* const SFilterIn = L"In";
const wchar_t* const SFilterNull = L"Null";

}  // namespace

// ---- TBMListKv --------------------------------------------------------------------------------

TBMListKv::~TBMListKv() {
  try {
    TBMListKv::Clear();
  } catch (...) {
  }
}

const TBookmark& TBMListKv::GetItem(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) TList::Error(SListIndexError, Index);
  return FList[size_t(Index)];
}

void TBMListKv::SetItem(Integer Index, const TBookmark& Item) {
  if (Index < 0 || Index >= GetCount()) TList::Error(SListIndexError, Index);
  FList[size_t(Index)] = Item;
  DropCache();
}

void TBMListKv::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (--FUpdateCount == 0) Changed();
}

TDataSet* TBMListKv::CheckedDataSet() {
  TDataSet* DataSet = GetDataSet();
  if (!DataSet) RaiseError(SDataSetClosed);
  return DataSet;
}

Integer TBMListKv::CompareBookmarks(const TBookmark& Item1, const TBookmark& Item2) {
  return DataSetCompareBookmarks(CheckedDataSet(), Item1, Item2);
}

bool TBMListKv::Find(const TBookmark& Item, Integer& Index) {
  if (FCacheIndex >= 0 && CompareBookmarks(Item, FCache) == 0) {
    Index = FCacheIndex;
    return FCacheFind;
  }
  bool Result = false;
  const Integer Count = GetCount();
  if (Count == 0 || CompareBookmarks(FList[0], Item) > 0) {
    Index = 0;
  } else if (CompareBookmarks(FList[size_t(Count - 1)], Item) < 0) {
    Index = Count;
  } else {
    Integer Lo = 0, Hi = Count - 1;
    while (Hi >= Lo) {
      Integer Mid = (Lo + Hi) / 2;
      Integer C = CompareBookmarks(FList[size_t(Mid)], Item);
      if (C < 0) {
        Lo = Mid + 1;
      } else {
        Hi = Mid - 1;
        if (C == 0) {
          Result = true;
          Lo = Mid;
        }
      }
    }
    Index = Lo;
  }
  FCache = Item;
  FCacheIndex = Index;
  FCacheFind = Result;
  return Result;
}

Integer TBMListKv::IndexOf(const TBookmark& Item) {
  Integer Index;
  return Find(Item, Index) ? Index : -1;
}

TBookmark TBMListKv::GetCurrentBookmark() {
  if (!FLinkActive) RaiseError(SDataSetClosed);
  return CheckedDataSet()->GetBookmark();
}

bool TBMListKv::GetCurrentRowSelected() {
  if (FList.empty()) return false;
  Integer Index;
  return Find(GetCurrentBookmark(), Index);
}

void TBMListKv::SetCurrentRowSelected(bool Value) {
  TBookmark Current = GetCurrentBookmark();
  Integer Index;
  if (Find(Current, Index) == Value) return;
  if (Value)
    InsertBookmarkAt(Index, Current);
  else
    DeleteItem(Index);
}

void TBMListKv::InsertBookmarkAt(Integer Index, const TBookmark& Item) {
  if (Index < 0 || Index > GetCount()) TList::Error(SListIndexError, Index);
  FList.insert(FList.begin() + Index, Item);
  DropCache();
  if (!Updating()) Changed();
}

void TBMListKv::DeleteItem(Integer Index) {
  if (Index < 0 || Index >= GetCount()) TList::Error(SListIndexError, Index);
  FList.erase(FList.begin() + Index);
  DropCache();
  if (!Updating()) Changed();
}

void TBMListKv::AppendItem(const TBookmark& Item) { InsertBookmarkAt(GetCount(), Item); }

void TBMListKv::AppendBookmark(const TBookmark& Item) {
  Integer Index;
  if (!Find(Item, Index)) InsertBookmarkAt(Index, Item);
}

bool TBMListKv::DeleteBookmark(const TBookmark& Item) {
  Integer Index;
  if (!Find(Item, Index)) return false;
  DeleteItem(Index);
  return true;
}

void TBMListKv::Clear() {
  if (FList.empty()) return;
  BeginUpdate();
  try {
    for (Integer I = GetCount() - 1; I >= 0; --I) DeleteItem(I);
  } catch (...) {
    --FUpdateCount;
    throw;
  }
  --FUpdateCount;
  Changed();
  Invalidate();
}

void TBMListKv::SetLinkActive(bool Value) {
  Clear();
  UpdateState();
  FLinkActive = Value;
}

void TBMListKv::Changed() { DropCache(); }

void TBMListKv::RaiseError(const String& Msg) { throw Exception(Msg); }

void TBMListKv::QuickSort(TDataSet* DataSet, TBMListSortCompareKv Compare, Integer Left, Integer Right) {
  Integer I;
  do {
    I = Left;
    Integer J = Right, P = (Left + Right) / 2;
    do {
      while (Compare(this, DataSet, I, P) < 0) ++I;
      while (Compare(this, DataSet, J, P) > 0) --J;
      if (I <= J) {
        if (I != J) std::swap(FList[size_t(I)], FList[size_t(J)]);
        // The pivot is an index: follow its entry when it moved.
        if (P == I)
          P = J;
        else if (P == J)
          P = I;
        ++I;
        --J;
      }
    } while (I <= J);
    if (Left < J) QuickSort(DataSet, Compare, Left, J);
    Left = I;
  } while (I < Right);
}

void TBMListKv::CustomSort(TDataSet* DataSet, TBMListSortCompareKv Compare) {
  if (GetCount() <= 1) return;
  QuickSort(DataSet, Compare, 0, GetCount() - 1);
  DropCache();
}

void TBMListKv::SortByBookmarks() {
  CustomSort(GetDataSet(), [](TBMListKv* List, TDataSet* DataSet, Integer Index1, Integer Index2) {
    return DataSetCompareBookmarks(DataSet, List->FList[size_t(Index1)], List->FList[size_t(Index2)]);
  });
}

bool TBMListKv::Refresh(bool DeleteInvalid) {
  TDataSet* DataSet = CheckedDataSet();
  bool Result = false;
  DataSet->CheckBrowseMode();
  try {
    if (DeleteInvalid)
      for (Integer I = GetCount() - 1; I >= 0; --I)
        if (!DataSetBookmarkValid(DataSet, FList[size_t(I)])) {
          FList.erase(FList.begin() + I);
          DropCache();
          Result = true;
        }
    SortByBookmarks();
  } catch (...) {
    UpdateState();
    DataSet->UpdateCursorPos();
    if (Result) {
      Changed();
      Invalidate();
    }
    throw;
  }
  UpdateState();
  DataSet->UpdateCursorPos();
  if (Result) {
    Changed();
    Invalidate();
  }
  return Result;
}

void TBMListKv::SelectAll() {
  if (!FLinkActive) return;
  TDataSet* DataSet = CheckedDataSet();
  DataSet->DisableControls();
  BeginUpdate();
  try {
    TBookmark Saved = DataSet->GetBookmark();
    DataSet->First();
    while (!DataSet->Eof()) {
      SetCurrentRowSelected(true);
      DataSet->Next();
    }
    if (!Saved.IsEmpty()) DataSet->GotoBookmark(Saved);
  } catch (...) {
    DataSet->EnableControls();
    EndUpdate();
    throw;
  }
  DataSet->EnableControls();
  EndUpdate();
}

void TBMListKv::Delete() {
  TDataSet* DataSet = CheckedDataSet();
  DataSet->DisableControls();
  try {
    for (Integer I = GetCount() - 1; I >= 0; --I) {
      DataSet->GotoBookmark(FList[size_t(I)]);
      DataSet->Delete();
      DeleteItem(I);
    }
  } catch (...) {
    DataSet->EnableControls();
    throw;
  }
  DataSet->EnableControls();
  UpdateState();
}

// ---- TDataLinkKv ------------------------------------------------------------------------------

void TDataLinkKv::DataEvent(TDataEvent Event, NativeInt Info) {
  inherited::DataEvent(Event, Info);
  DoEvent(FOnDataEvent, Event, Info);
}

// ---- TDatasetFieldValueListKv -------------------------------------------------------------------

TDatasetFieldValueListKv::TDatasetFieldValueListKv()
    : FDataLink(std::make_unique<TDataLinkKv>()),
      FDataSource(std::make_unique<TDataSource>(nullptr)),
      FValues(std::make_unique<TStringList>()) {
  FValues->SetSorted(true);
  FValues->SetDuplicates(dupIgnore);
  FDataLink->SetOnDataEvent([this](TDataEvent Event, NativeInt Info) { DataEvent(Event, Info); });
}

TDatasetFieldValueListKv::~TDatasetFieldValueListKv() {
  FDataLink->SetOnDataEvent(nullptr);
  FDataLink->SetDataSource(nullptr);
  FDataSource->SetDataSet(nullptr);
}

TStrings* TDatasetFieldValueListKv::GetValues() {
  if (FDataObsoleted) RefreshValues();
  return FValues.get();
}

void TDatasetFieldValueListKv::SetFieldName(const String& Value) {
  if (Value == FFieldName) return;
  FFieldName = Value;
  FDataObsoleted = true;
}

TDataSet* TDatasetFieldValueListKv::GetDataSet() { return FDataSource->GetDataSet(); }

void TDatasetFieldValueListKv::SetDataSet(TDataSet* Value) {
  // Coming back from an outside source, the values read were that source's.
  if (FDataLink->GetDataSource() != FDataSource.get()) {
    FDataLink->SetDataSource(FDataSource.get());
    FDataObsoleted = true;
  }
  if (FDataSource->GetDataSet() != Value) {
    FDataObsoleted = true;
    FDataSource->SetDataSet(Value);
  }
}

TDataSource* TDatasetFieldValueListKv::GetDataSource() { return FDataLink->GetDataSource(); }

void TDatasetFieldValueListKv::SetDataSource(TDataSource* Value) {
  if (FDataLink->GetDataSource() == Value) return;
  FDataObsoleted = true;
  FDataLink->SetDataSource(Value);
}

bool TDatasetFieldValueListKv::GetCaseSensitive() const { return FValues->GetCaseSensitive(); }

void TDatasetFieldValueListKv::SetCaseSensitive(bool Value) {
  if (Value == FValues->GetCaseSensitive()) return;
  FValues->SetCaseSensitive(Value);
  // Values that were one under the old rule may be two under the new.
  FDataObsoleted = true;
}

void TDatasetFieldValueListKv::DataEvent(TDataEvent Event, NativeInt) {
  if (Event == deDataSetChange || Event == dePropertyChange || Event == deFieldListChange) FDataObsoleted = true;
}

void TDatasetFieldValueListKv::RefreshValues() {
  FValues->Clear();
  TDataSet* DataSet = FDataLink->GetDataSet();
  if (!FDataLink->GetActive() || !DataSet) return;
  TField* Field = DataSet->FindField(FFieldName);
  if (!Field) return;
  DataSet->DisableControls();
  try {
    TBookmark Saved = DataSet->GetBookmark();
    DataSet->First();
    while (!DataSet->Eof()) {
      FValues->Add(Field->GetAsString());
      DataSet->Next();
    }
    if (!Saved.IsEmpty()) DataSet->GotoBookmark(Saved);
  } catch (...) {
    DataSet->EnableControls();
    throw;
  }
  DataSet->EnableControls();
  // Enabling the controls reports a dataset change: the values are current only after it.
  FDataObsoleted = false;
}

// ---- Field routines ---------------------------------------------------------------------------

void FieldListByNames(TList* List, TDataSet* DataSet, TComponent* Component, const String& Names) {
  Integer Pos = 1;
  while (Pos <= Length(Names)) {
    String Name = ExtractFieldName(Names, Pos);
    TField* Field = DataSet->FindField(Name);
    if (!Field) DatabaseErrorFmt(SFieldNotFound, {Name}, Component);
    if (List) List->Add(Field);
  }
}

void FieldsArrByNames(TDataSet* DataSet, TComponent* Component, const String& Names, TFieldsArrKv& Fields) {
  TFieldsArrKv Result;
  Integer Pos = 1;
  while (Pos <= Length(Names)) {
    String Name = ExtractFieldName(Names, Pos);
    TField* Field = DataSet->FindField(Name);
    if (!Field) DatabaseErrorFmt(SFieldNotFound, {Name}, Component);
    Result.push_back(Field);
  }
  Fields = std::move(Result);
}

void SetFieldsValues(TDataSet* DataSet, const String& Names, const Variant& Value) {
  if (VarIsEmptyParam(Value)) {
    TFieldsArrKv Fields;
    FieldsArrByNames(DataSet, DataSet, Names, Fields);
    for (TField* Field : Fields) Field->Clear();
  } else {
    DataSet->SetFieldValues(Names, Value);
  }
}

void GetFieldsValues(const TFieldsArrKv& Fields, Variant& Value) {
  if (Fields.empty()) {
    Value = Null;
  } else if (Fields.size() == 1) {
    Value = Fields[0]->GetValue();
  } else {
    Value = VarArrayCreate({0, Integer(Fields.size()) - 1}, varVariant);
    for (size_t I = 0; I < Fields.size(); ++I) Value[Integer(I)] = Fields[I]->GetValue();
  }
}

// ---- TOrderByList -----------------------------------------------------------------------------

// The items are the list's own making (ParseOrderByStr), owned or not.
TOrderByList::~TOrderByList() { ClearFreeItems(); }

void TOrderByList::ClearFreeItems() {
  for (Integer I = 0; I < GetCount(); ++I) {
    TObject* Item = GetItems(I);
    // Nil the slot first so an owning list does not free the item a second time.
    bool Owns = GetOwnsObjects();
    SetOwnsObjects(false);
    SetItems(I, nullptr);
    SetOwnsObjects(Owns);
    delete Item;
  }
  Clear();
}

void TOrderByList::GetToken(const String& Text, Integer& Pos, String& Token) {
  Token.clear();
  const Integer Len = Length(Text);
  while (Pos <= Len && Text[size_t(Pos - 1)] == L' ') ++Pos;
  if (Pos > Len) return;
  Char C = Text[size_t(Pos - 1)];
  if (C == L',' || C == L';') {
    Token = String(1, C);
    ++Pos;
  } else if (C == L'[') {
    Integer Start = ++Pos;
    while (Pos <= Len && Text[size_t(Pos - 1)] != L']') ++Pos;
    Token = Copy(Text, Start, Pos - Start);
    if (Pos <= Len) ++Pos;
  } else {
    Integer Start = Pos;
    while (Pos <= Len && Text[size_t(Pos - 1)] != L' ' && Text[size_t(Pos - 1)] != L',' &&
           Text[size_t(Pos - 1)] != L';')
      ++Pos;
    Token = Copy(Text, Start, Pos - Start);
    if (Pos <= Len && Text[size_t(Pos - 1)] == L']') ++Pos;
  }
}

void TOrderByList::ParseOrderByStr(const String& Text) {
  // Parsed into a list of its own first, so a failure leaves the current items in place.
  std::vector<std::unique_ptr<TOrderByItemKv>> Parsed;
  Integer Pos = 1;
  String Token;
  GetToken(Text, Pos, Token);
  while (!Token.empty()) {
    Integer FieldIndex = GetFieldIndex(Token);
    if (FieldIndex == -1) throw Exception(String(L" Field - \"") + Token + L"\" not found.");
    bool Desc = false;
    for (;;) {
      GetToken(Text, Pos, Token);
      String Word = AnsiUpperCase(Token);
      if (Word == L"ASC") continue;
      if (Word == L"DESC") {
        Desc = true;
        continue;
      }
      if (Token.empty() || Token == L";" || Token == L",") break;
      throw Exception(String(L" Invalid token - \"") + Token + L"\"");
    }
    auto Item = std::make_unique<TOrderByItemKv>();
    SetItemFieldIndex(Item.get(), FieldIndex);
    Item->Desc = Desc;
    Parsed.push_back(std::move(Item));
    GetToken(Text, Pos, Token);
  }
  ClearFreeItems();
  for (auto& Item : Parsed) Add(Item.release());
}

// ---- Column filter tables ---------------------------------------------------------------------

const wchar_t* const STFilterOperatorsStrMapKv[foNotEqualToNull + 1] = {
    L"", L"=", L"<>", L">", L"<", L">=", L"<=", L"~", L"!~", L"In", L"!In", L"Null", L"Null", L"AND", L"OR",
    L"", L"Null", L"Null"};
const wchar_t* const STFilterOperatorsSQLStrMapKv[foNotEqualToNull + 1] = {
    L"", L"=", L"<>", L">", L"<", L">=", L"<=", L"LIKE", L"NOT LIKE", L"IN", L"NOT IN", L"IS NULL",
    L"IS NOT NULL", L"AND", L"OR", L"", L"= NULL", L"<> NULL"};
const Char STFieldNameBracketsKv[2] = {L'[', L']'};
const wchar_t* const STFilterMarkerKv = L"/*FILTER*/";

const TSTOperandTypeKv STFldTypeMapKv[FieldTypeCount] = {
    botNon,       // ftUnknown
    botString,    // ftString
    botNumber,    // ftSmallint
    botNumber,    // ftInteger
    botNumber,    // ftWord
    botBoolean,   // ftBoolean
    botNumber,    // ftFloat
    botNumber,    // ftCurrency
    botNumber,    // ftBCD
    botDateTime,  // ftDate
    botDateTime,  // ftTime
    botDateTime,  // ftDateTime
    botNon,       // ftBytes
    botNon,       // ftVarBytes
    botNumber,    // ftAutoInc
    botNon,       // ftBlob
    botString,    // ftMemo
    botString,    // ftGraphic
    botString,    // ftFmtMemo
    botString,    // ftParadoxOle
    botString,    // ftDBaseOle
    botString,    // ftTypedBinary
    botString,    // ftCursor
    botString,    // ftFixedChar
    botString,    // ftWideString
    botNumber,    // ftLargeint
    botString,    // ftADT
    botString,    // ftArray
    botNon,       // ftReference
    botNon,       // ftDataSet
    botString,    // ftOraBlob
    botString,    // ftOraClob
    botString,    // ftVariant
    botNon,       // ftInterface
    botNon,       // ftIDispatch
    botString,    // ftGuid
    botDateTime,  // ftTimeStamp
    botNumber,    // ftFMTBcd
    botString,    // ftFixedWideChar
    botString,    // ftWideMemo
    botNon,       // ftOraTimeStamp
    botString,    // ftOraInterval
    botNumber,    // ftLongWord
    botNumber,    // ftShortint
    botNumber,    // ftByte
    botNumber,    // ftExtended
    botNon,       // ftConnection
    botNon,       // ftParams
    botNon,       // ftStream
    botNon,       // ftTimeStampOffset
    botNon,       // ftObject
    botNumber,    // ftSingle
};

// ---- Column filter parser ---------------------------------------------------------------------
//
// What a user types under a column title:
//   filter    := condition [ (AND | OR | & | '|') condition ]
//   condition := value                        the column's default operator applies (first only)
//              | op value | (IN | NOT IN) '(' value {',' value} ')' | (= | <> | !=) NULL
//   op        := = <> != < <= > >= ~ (LIKE) !~ (NOT LIKE) NULL NOT NULL ; ! is NOT
//   value     := 'quoted, '' for a quote' | text up to a blank before an operator, a bracket,
//                a list comma, or the end
// Anything else that raises nothing is looked for as it stands: LIKE with the whole text.

namespace {

// The operator of each default operator, and its wildcards.
struct TDefaultOperatorKv {
  TSTFilterOperatorKv Operator;
  bool LeadingPercent;
  bool TrailingPercent;
};
const TDefaultOperatorKv DefaultOperators[fdoDoesntContain + 1] = {
    {foNon, false, false},      {foEqual, false, false},    {foNotEqual, false, false},
    {foGreaterThan, false, false}, {foLessThan, false, false}, {foGreaterOrEqual, false, false},
    {foLessOrEqual, false, false}, {foLike, false, false},  {foNotLike, false, false},
    {foIn, false, false},       {foNotIn, false, false},    {foLike, false, true},
    {foNotLike, false, true},   {foLike, true, false},      {foNotLike, true, false},
    {foLike, true, true},       {foNotLike, true, true}};

bool IsConversionOperator(TSTFilterOperatorKv Op) { return Op >= foEqual && Op <= foNotIn; }

// One lexeme: nothing, an operator (foNon for "(" and a NOT that leads nowhere), or values.
struct TFilterLexeme {
  enum TKind { lkNone, lkOperator, lkValue } Kind = lkNone;
  TSTFilterOperatorKv Operator = foNon;
  Variant Value;
  bool IsList = false;
  bool NoLexeme() const { return Kind == lkNone || (Kind == lkOperator && Operator == foNon); }
};

// Reads the lexemes of a trimmed filter text. Positions are 1-based.
class TFilterLexer {
 public:
  explicit TFilterLexer(const String& Text) : FText(Text), FLen(Length(Text)) {}

  Integer Pos() const { return FPos; }
  bool PastEnd() const { return FPos > FLen; }
  Char At(Integer P) const { return CharAtPos(FText, P); }
  void SetListsAllowed(bool Value) { FListsAllowed = Value; }

  [[noreturn]] void Fail(TFilterTextKv Text) const {
    throw EFilterExpressionErrorKv(FilterLanguageText(Text) + FText, FPos);
  }

  // Over spaces; blanks that run to the end leave the position where it is.
  void SkipBlanks() {
    Integer P = FPos;
    while (P <= FLen && At(P) == L' ') ++P;
    if (P <= FLen) FPos = P;
  }

  bool SkipChar(Char C) {
    if (At(FPos) != C) return false;
    ++FPos;
    return true;
  }

  TFilterLexeme Read(bool ValueAllowed) {
    TFilterLexeme L;
    if (FPos <= FLen && (FPos == FInBracketPos || At(FPos) == L'\'')) return ReadValueList();
    if (FPos <= FLen && ReadOperator(L)) return L;
    if (ValueAllowed) return ReadValueList();
    return L;
  }

 private:
  static bool IsWordEnd(Char C) { return C < 32 || String(L" !\"&'()+,-.<=>|~").find(C) != String::npos; }

  // The English keywords are syntax: they fold as identifiers do, so "in" and "like" are
  // keywords under a Turkish user too, whose upper case of i is İ.
  static bool IsKeyword(const String& Word, const wchar_t* English, const wchar_t* Resource) {
    String Upper = AnsiUpperCase(Word);
    return SameIdent(Word, English) || Upper == English || (Resource && Upper == AnsiUpperCase(Resource));
  }

  enum TOperatorKind { okNone, okOp, okNot, okIn };

  // One operator at the position, the position moved past it (and, for IN, past the blanks and
  // the bracket after it); okNone, the position kept, when there is none.
  TOperatorKind ReadOneOperator(TSTFilterOperatorKv& Op) {
    Char C = At(FPos), C2 = At(FPos + 1);
    TOperatorKind Kind = okNone;
    Op = foNon;
    auto Take = [&](Integer Chars, TSTFilterOperatorKv O) {
      FPos += Chars;
      Kind = okOp;
      Op = O;
    };
    if ((C == L'!' && C2 == L'=') || (C == L'<' && C2 == L'>'))
      Take(2, foNotEqual);
    else if (C == L'!') {
      ++FPos;
      Kind = okNot;
    } else if (C == L'&')
      Take(1, foAND);
    else if (C == L'|')
      Take(1, foOR);
    else if (C == L'~')
      Take(1, foLike);
    else if (C == L'(')
      Take(1, foNon);
    else if (C == L'<' && C2 == L'=')
      Take(2, foLessOrEqual);
    else if (C == L'<')
      Take(1, foLessThan);
    else if (C == L'>' && C2 == L'=')
      Take(2, foGreaterOrEqual);
    else if (C == L'>')
      Take(1, foGreaterThan);
    else if (C == L'=')
      Take(1, foEqual);
    else {
      Integer P = FPos;
      while (P <= FLen && !IsWordEnd(At(P))) ++P;
      String Word = Copy(FText, FPos, P - FPos);
      if (Word.empty()) return okNone;
      if (IsKeyword(Word, L"NOT", SFilterNot))
        Kind = okNot;
      else if (IsKeyword(Word, L"AND", SFilterAnd))
        Op = foAND, Kind = okOp;
      else if (IsKeyword(Word, L"OR", SFilterOr))
        Op = foOR, Kind = okOp;
      else if (IsKeyword(Word, L"LIKE", nullptr))
        Op = foLike, Kind = okOp;
      else if (IsKeyword(Word, L"IN", SFilterIn))
        Op = foIn, Kind = okIn;
      else if (IsKeyword(Word, L"NULL", SFilterNull))
        Op = foNull, Kind = okOp;
      else
        return okNone;
      FPos = P;
    }
    SkipBlanks();
    if (Kind == okIn) {
      if (!SkipChar(L'(')) Fail(ftxLeftBracketExpected);
      FInBracketPos = FPos;
    }
    return Kind;
  }

  // An operator lexeme at the position (and the blanks after it); false, the position kept,
  // when there is none. A NOT takes the lexeme after it: LIKE, IN and NULL become their negations,
  // anything else (another NOT too) makes the whole no operator.
  bool ReadOperator(TFilterLexeme& L) {
    // A run of NOTs is walked in a loop, and the run that a later NOT of it starts is known
    // already: OperatorFollows asks at every blank of a value, which would walk it again each time.
    Integer Nots = 0;
    TSTFilterOperatorKv Op = foNon;
    TOperatorKind Kind = okNone;
    Integer FirstNot = 0, LastNot = 0;
    while (Nots == 0 || FPos <= FLen) {
      if (Nots == 0 && FNotRun.First > 0 && FPos >= FNotRun.First && FPos <= FNotRun.Last) {
        Nots = FPos == FNotRun.Last ? 1 : 2;
        Kind = FNotRun.Kind;
        Op = FNotRun.Op;
        FPos = FNotRun.End;
        if (Kind == okIn) FInBracketPos = FPos;
        break;
      }
      const Integer At = FPos;
      Kind = ReadOneOperator(Op);
      if (Kind != okNot) break;
      if (!Nots++) FirstNot = At;
      LastNot = At;
    }
    if (Nots > 0 && FirstNot > 0) FNotRun = {FirstNot, LastNot, FPos, Kind, Op};
    if (Nots == 0 && Kind == okNone) return false;
    L.Kind = TFilterLexeme::lkOperator;
    if (Nots == 0)
      L.Operator = Op;
    else if (Nots > 1 || Kind == okNone)
      L.Operator = foNon;
    else
      L.Operator = Op == foLike ? foNotLike : Op == foIn ? foNotIn : Op == foNull ? foNotNull : foNon;
    return true;
  }

  // Whether the blank at P ends a value: an operator lexeme follows the blanks.
  bool OperatorFollows(Integer P) {
    const Integer SavedPos = FPos, SavedBracket = FInBracketPos;
    FPos = P;
    SkipBlanks();
    bool Result = false;
    TFilterLexeme L;
    if (At(FPos) != L' ' && FPos <= FLen && ReadOperator(L)) {
      switch (L.Operator) {
        case foEqual: case foNotEqual: case foGreaterThan: case foLessThan: case foGreaterOrEqual:
        case foLessOrEqual: case foLike: case foNotLike: case foIn: case foNotIn: case foNull:
        case foNotNull: case foAND: case foOR:
          Result = true;
          break;
        default:
          break;
      }
    }
    FPos = SavedPos;
    FInBracketPos = SavedBracket;
    return Result;
  }

  Variant ReadValue() {
    if (FPos > FLen) return Null;
    // Blanks in front of a quoted value do not make it unquoted ("IN ('a', 'b')").
    Integer Q = FPos;
    while (Q <= FLen && At(Q) == L' ') ++Q;
    if (At(Q) == L'\'') {
      String S;
      Integer P = Q + 1;
      for (;;) {
        if (P > FLen) Fail(ftxQuoteIsAbsent);
        if (At(P) == L'\'') {
          if (At(P + 1) != L'\'') break;
          ++P;
        }
        S += At(P++);
      }
      FPos = P + 1;
      return S;
    }
    // The blanks a list element starts with are its own: "IN (1, NULL)" reads NULL as an element.
    Integer P = FPos;
    bool Started = false;
    for (; P <= FLen; ++P) {
      Char C = At(P);
      if (C == L'(' || C == L')' || (C == L',' && FListsAllowed)) break;
      if (C == L' ' && Started) {
        if (OperatorFollows(P)) break;
        // Every blank of a run has the same answer: the rest of the run need not ask.
        while (At(P + 1) == L' ') ++P;
        continue;
      }
      Started = Started || C != L' ';
    }
    String S = Copy(FText, FPos, P - FPos);
    FPos = P;
    if (AnsiUpperCase(Trim(S)) == L"NULL") return EmptyParam;
    return S;
  }

  TFilterLexeme ReadValueList() {
    std::vector<Variant> Values{ReadValue()};
    while (FListsAllowed && At(FPos) == L',') {
      ++FPos;
      Values.push_back(ReadValue());
    }
    TFilterLexeme L;
    if (Values.size() == 1) {
      if (VarIsNull(Values[0])) return L;
      L.Kind = TFilterLexeme::lkValue;
      L.Value = Values[0];
    } else {
      L.Kind = TFilterLexeme::lkValue;
      L.IsList = true;
      L.Value = VarArrayOf(Values);
    }
    return L;
  }

  // The last run of NOTs walked: its first and last NOT, where reading stopped after the lexeme
  // that ended it, and that lexeme.
  struct TNotRun {
    Integer First = 0, Last = 0, End = 0;
    TOperatorKind Kind = okNone;
    TSTFilterOperatorKv Op = foNon;
  };

  const String& FText;
  const Integer FLen;
  Integer FPos = 1;
  Integer FInBracketPos = 0;
  bool FListsAllowed = false;
  TNotRun FNotRun;
};

String PercentWrapped(const Variant& Value, const TDefaultOperatorKv& Default) {
  String S = VarToStr(Value);
  if (Default.TrailingPercent && CharAtPos(S, 1) != L'%') S += L'%';
  if (Default.LeadingPercent && CharAtPos(S, 1) != L'%') S = L'%' + S;
  return S;
}

Variant ConvertOneOperand(const Variant& V, TSTOperandTypeKv Type) {
  String S = Trim(VarToStr(V));
  if (Type == botNumber) {
    // A number past the double's range would become INF, which no filter reads back.
    Double D = 0;
    if (!TryStrToFloat(S, D) || !std::isfinite(D))
      throw EConvertError(Format(L"'%s' is not a valid floating point value", {S}));
    return Variant(D);
  }
  if (SameText(S, L"NOW")) return String(L"NOW");
  return Variant(StrToDateTime(S));
}

Variant ConvertOperand(TSTFilterOperatorKv Op, const Variant& V, TSTOperandTypeKv Type) {
  if (!IsConversionOperator(Op)) return EmptyParam;
  if (Type != botNumber && Type != botDateTime) return V;
  if (VarIsNull(V) || VarIsEmptyParam(V)) return V;
  if (!VarIsArray(V)) return ConvertOneOperand(V, Type);
  Variant Result = V;
  for (Integer I = VarArrayLowBound(V, 1); I <= VarArrayHighBound(V, 1); ++I) {
    Variant E = V[I];
    if (VarIsNull(E) || VarIsEmptyParam(E)) continue;
    Result[I] = AnsiUpperCase(Trim(VarToStr(E))) == L"NULL" ? EmptyParam : ConvertOneOperand(E, Type);
  }
  return Result;
}

}  // namespace

void ClearSTFilterExpression(TSTFilterExpressionKv& Expression) {
  Expression.Operator1 = foNon;
  Expression.Operand1 = EmptyParam;
  Expression.Relation = foNon;
  Expression.Operator2 = foNon;
  Expression.Operand2 = EmptyParam;
}

Char CharAtPos(const String& Text, Integer Pos) {
  return Pos >= 1 && Pos <= Length(Text) ? Text[size_t(Pos - 1)] : Char(0);
}

bool ParseSTFilterExpression(const String& AText, TSTFilterExpressionKv& Expression,
                             TSTFilterDefaultOperatorKv DefaultOperator) {
  // Built apart and stored only when the whole text was read, so a text that raises leaves the
  // filter in force as it was.
  TSTFilterExpressionKv E;
  E.ExpressionType = Expression.ExpressionType;
  const String Text = Trim(AText);
  if (Text.empty()) {
    Expression = E;
    return false;
  }
  auto Fallback = [&]() {
    // What cannot be read as conditions is looked for as it stands.
    ClearSTFilterExpression(E);
    E.Operator1 = foLike;
    E.Operand1 = Text;
    Expression = E;
    return false;
  };
  TFilterLexer Lx(Text);
  bool Result = false;

  TFilterLexeme L = Lx.Read(true);
  if (L.Kind == TFilterLexeme::lkValue) {
    if (DefaultOperator != fdoAuto) {
      const TDefaultOperatorKv& D = DefaultOperators[DefaultOperator];
      E.Operator1 = D.Operator;
      E.Operand1 = (D.LeadingPercent || D.TrailingPercent) && !VarIsArray(L.Value) ? Variant(PercentWrapped(L.Value, D))
                                                                                   : L.Value;
    } else {
      E.Operator1 = L.IsList ? foIn : E.ExpressionType == botString ? foLike : foEqual;
      E.Operand1 = L.Value;
    }
  } else {
    if (L.NoLexeme()) Lx.Fail(ftxErrorInExpression);
    // AND or OR cannot start a condition: there is nothing for them to join.
    if (L.Operator == foAND || L.Operator == foOR) Lx.Fail(ftxUnexpectedANDorOR);
    E.Operator1 = L.Operator;
    bool InList = E.Operator1 == foIn || E.Operator1 == foNotIn;
    Lx.SetListsAllowed(InList);
    TFilterLexeme O = Lx.Read(true);
    if (O.Kind == TFilterLexeme::lkOperator && O.Operator == foNull) {
      if (E.Operator1 == foEqual)
        E.Operator1 = foNull;
      else if (E.Operator1 == foNotEqual)
        E.Operator1 = foNotNull;
      else
        return Fallback();
    } else if (O.Kind != TFilterLexeme::lkValue) {
      Lx.Fail(ftxUnexpectedExpressionAfterOperator);
    } else {
      E.Operand1 = O.Value;
    }
    if (InList) {
      Lx.SkipBlanks();
      Lx.SetListsAllowed(false);
      if (!Lx.SkipChar(L')')) return Fallback();
    }
  }

  Lx.SkipBlanks();
  L = Lx.Read(false);
  if (L.NoLexeme()) {
    if (!Lx.PastEnd()) return Fallback();
  } else if (L.Kind != TFilterLexeme::lkOperator || (L.Operator != foAND && L.Operator != foOR)) {
    Lx.Fail(ftxUnexpectedANDorOR);
  } else {
    E.Relation = L.Operator;
    Lx.SkipBlanks();
    L = Lx.Read(true);
    if (L.NoLexeme()) {
      if (!Lx.PastEnd()) Lx.Fail(ftxIncorrectExpression);
    } else if (L.Kind == TFilterLexeme::lkValue) {
      E.Operator2 = L.IsList ? foIn : E.ExpressionType == botString ? foLike : foEqual;
      E.Operand2 = L.Value;
      Result = true;
    } else {
      if (L.Operator == foAND || L.Operator == foOR) Lx.Fail(ftxUnexpectedANDorOR);
      E.Operator2 = L.Operator;
      Lx.SetListsAllowed(E.Operator2 == foIn || E.Operator2 == foNotIn);
      TFilterLexeme O = Lx.Read(true);
      if (O.Kind == TFilterLexeme::lkOperator && O.Operator == foNull) {
        if (E.Operator2 == foEqual)
          E.Operator2 = foNull;
        else if (E.Operator2 == foNotEqual)
          E.Operator2 = foNotNull;
        else
          Lx.Fail(ftxUnexpectedExpressionBeforeNull);
      } else if (O.Kind != TFilterLexeme::lkValue) {
        Lx.Fail(ftxUnexpectedExpressionAfterOperator);
      } else {
        E.Operand2 = O.Value;
      }
      Lx.SetListsAllowed(false);
      Result = true;
    }
  }
  if (E.Relation != foNon && E.Operator2 == foNon) Lx.Fail(ftxErrorInExpression);

  E.Operand1 = ConvertOperand(E.Operator1, E.Operand1, E.ExpressionType);
  E.Operand2 = ConvertOperand(E.Operator2, E.Operand2, E.ExpressionType);
  Expression = E;
  return Result;
}

// ---- Column filter builder --------------------------------------------------------------------

namespace {

String BracketedName(const String& FieldName) {
  return String(1, STFieldNameBracketsKv[0]) + FieldName + STFieldNameBracketsKv[1];
}

bool IsNullForm(TSTFilterOperatorKv Op) {
  return Op == foNull || Op == foNotNull || Op == foEqualToNull || Op == foNotEqualToNull;
}

// An absent element (the word NULL in a list) stands for Null.
bool IsNullElement(const Variant& V) { return VarIsNull(V) || VarIsEmptyParam(V) || VarIsEmpty(V); }

String ValueText(const Variant& Value, TDataSet* DataSet, const TDateValueToDatasetDateStringEventKv& DateProc) {
  TVarType T = VarType(Value) & varTypeMask;
  // The dataset's filter reads numbers with "." whatever the user's locale.
  if (T == varDouble || T == varSingle || T == varCurrency) return FloatToStrInvariant(Value.AsDouble());
  if (T == varDate) {
    if (DateProc) {
      String Text;
      DateProc(DataSet, Value, Text);
      return Text;
    }
    return QuotedStr(DateTimeToStr(Value.AsDateTime()));
  }
  return QuotedStr(VarToStr(Value));
}

Variant ElementOf(const Variant& Value, Integer Index) {
  if (!VarIsArray(Value)) return Value;
  Integer I = VarArrayLowBound(Value, 1) + Index;
  return I <= VarArrayHighBound(Value, 1) ? Value[I] : Variant(Null);
}

String MultiFieldCondition(TSTFilterOperatorKv Op, const Variant& Value, const String& FieldNames, TDataSet* DataSet,
                           const TDateValueToDatasetDateStringEventKv& DateProc) {
  String Result = L"( ";
  Integer Pos = 1, Index = 0;
  while (Pos <= Length(FieldNames)) {
    String Name = ExtractFieldName(FieldNames, Pos);
    if (Index > 0) Result += L" AND ";
    Result += L" " + BracketedName(Name) + L" " + STFilterOperatorsSQLStrMapKv[Op];
    if (!IsNullForm(Op)) Result += L" " + ValueText(ElementOf(Value, Index), DataSet, DateProc);
    ++Index;
  }
  return Result + L" )";
}

}  // namespace

void DefaultFilterConditionText(TSTFilterOperatorKv Operator, const Variant& Value, const String& FieldName,
                                TDataSet* DataSet, const TDateValueToDatasetDateStringEventKv& DateValueToString,
                                bool LikeSupported, bool NullAsComparison, bool InSupported, String& Result) {
  const String F = BracketedName(FieldName);
  const bool FieldList = FieldName.find(L';') != String::npos;
  if (NullAsComparison) {
    if (Operator == foNull) Operator = foEqualToNull;
    if (Operator == foNotNull) Operator = foNotEqualToNull;
  }
  auto Text = [&](const Variant& V) { return ValueText(V, DataSet, DateValueToString); };

  if (Operator == foIn || Operator == foNotIn) {
    const bool Not = Operator == foNotIn;
    const bool IsArray = VarIsArray(Value);
    if (InSupported && IsArray && !FieldList) {
      // [A] In(1 ,  2) with the Null elements as a condition of their own: an In( list that
      // would be empty is left out rather than written broken.
      String List;
      bool NullNoted = false;
      for (Integer I = VarArrayLowBound(Value, 1); I <= VarArrayHighBound(Value, 1); ++I) {
        Variant E = Value[I];
        if (IsNullElement(E))
          NullNoted = true;
        else
          List += Text(E) + L" ,  ";
      }
      Result = L" (";
      if (!List.empty()) Result += F + (Not ? L" Not In(" : L" In(") + List.substr(0, List.size() - 4) + L") ";
      if (NullNoted) {
        if (!List.empty()) Result += Not ? L" AND " : L" OR ";
        Result += F + (Not ? L" Is Not Null " : L" Is Null ");
      }
      Result += L")";
      return;
    }
    String Body;
    auto AddElement = [&](const Variant& E) {
      if (FieldList)
        Body += MultiFieldCondition(foEqual, E, FieldName, DataSet, DateValueToString) + L" OR ";
      else if (IsNullElement(E))
        Body += F + L" Is Null OR ";
      else
        Body += F + L" = " + Text(E) + L" OR ";
    };
    if (IsArray)
      for (Integer I = VarArrayLowBound(Value, 1); I <= VarArrayHighBound(Value, 1); ++I) AddElement(Value[I]);
    else
      AddElement(Value);
    if (Body.size() >= 4) Body.resize(Body.size() - 4);
    // NOT covers the whole alternative, not only its first comparison.
    Result = Not ? L" ( NOT (" + Body + L"))" : L" (" + Body + L")";
    return;
  }

  if (Operator == foLike || Operator == foNotLike) {
    Result = L" " + String(1, STFieldNameBracketsKv[0]) + FieldName;
    if (LikeSupported) {
      if (Operator == foNotLike) Result = L" Not (" + Result;
      Result += String(1, STFieldNameBracketsKv[1]) + L" Like ";
    } else {
      Result += String(1, STFieldNameBracketsKv[1]) + (Operator == foLike ? L" = " : L" <> ");
    }
    Result += Text(Value);
    if (Operator == foNotLike && LikeSupported) Result += L")";
    return;
  }

  if (FieldList) {
    Result = MultiFieldCondition(Operator, Value, FieldName, DataSet, DateValueToString);
    return;
  }
  Result = L" " + F + L" " + STFilterOperatorsSQLStrMapKv[Operator];
  if (!IsNullForm(Operator)) Result += L" " + Text(Value);
}

namespace {

// The standard condition builder writes a date column's operand as a date and a number column's as
// a finite number: what it cannot write that way (NOW, which the parser keeps as text for builders
// of the caller's own; an infinite number) is refused instead of written as a filter that the
// dataset cannot read.
void CheckDefaultWritableOperand(TSTOperandTypeKv Type, TSTFilterOperatorKv Op, const Variant& Value, TField* Field) {
  if (!IsConversionOperator(Op) || (Type != botDateTime && Type != botNumber)) return;
  auto Check = [&](const Variant& V) {
    if (IsNullElement(V)) return;
    const TVarType T = VarType(V) & varTypeMask;
    const bool Writable = Type == botDateTime ? T == varDate
                                              : (T == varDouble || T == varSingle || T == varCurrency) &&
                                                    std::isfinite(V.AsDouble());
    if (!Writable) DatabaseErrorFmt(SInvalidFilterValue, {VarToStr(V), Field->GetDisplayName()});
  };
  if (!VarIsArray(Value)) return Check(Value);
  for (Integer I = VarArrayLowBound(Value, 1); I <= VarArrayHighBound(Value, 1); ++I) Check(Value[I]);
}

}  // namespace

String BuildColumnFilterString(IColumnKv* Column, TSTFilterConditionTextProcKv ConditionProc,
                               const TDateValueToDatasetDateStringEventKv& DateValueToString, bool UseOrigin,
                               bool LikeSupported, bool NullAsComparison, bool InSupported) {
  if (!Column) return String();
  TField* Field = nullptr;
  IDBLookupDataKv* Lookup = Column->GetLookupParams();
  if (Lookup && Lookup->GetLookupActive()) {
    TFieldsArrKv Keys;
    Lookup->GetKeyFields(Keys);
    if (!Keys.empty()) Field = Keys[0];
  } else {
    Field = Column->GetField();
  }
  ISTColumnFilterKv* Filter = Column->GetSTFilter();
  if (!Field || !Filter) return String();
  if (!ConditionProc) ConditionProc = DefaultFilterConditionText;

  String FieldName;
  if (UseOrigin && !Field->GetOrigin().empty() && Filter->GetDataField().empty())
    FieldName = Field->GetOrigin();
  else
    Filter->GetFilterFieldName(FieldName);

  TSTFilterExpressionKv E;
  Filter->GetExpression(E);
  if (E.ExpressionType == botNon || E.Operator1 == foNon) return String();
  if (ConditionProc == DefaultFilterConditionText) {
    CheckDefaultWritableOperand(E.ExpressionType, E.Operator1, E.Operand1, Field);
    if (E.Relation != foNon) CheckDefaultWritableOperand(E.ExpressionType, E.Operator2, E.Operand2, Field);
  }
  String Result, Second;
  ConditionProc(E.Operator1, E.Operand1, FieldName, Field->GetDataSet(), DateValueToString, LikeSupported,
                NullAsComparison, InSupported, Result);
  if (E.Relation != foNon) {
    ConditionProc(E.Operator2, E.Operand2, FieldName, Field->GetDataSet(), DateValueToString, LikeSupported,
                  NullAsComparison, false, Second);
    Result += L" " + String(STFilterOperatorsSQLStrMapKv[E.Relation]) + Second;
  }
  if (E.Relation == foOR) Result = L"(" + Result + L")";
  return Result;
}

void BuildGridFilterString(IDBGridKv* Grid, TSTFilterConditionTextProcKv ConditionProc,
                           const TDateValueToDatasetDateStringEventKv& DateValueToString, bool UseOrigin,
                           bool LikeSupported, bool NullAsComparison, bool InSupported, String& Result) {
  Result.clear();
  TDataSource* Source = Grid ? Grid->GetDataSource() : nullptr;
  if (!Source || !Source->GetDataSet()) return;
  for (Integer I = 0; I < Grid->GetColumnCount(); ++I) {
    String Text = BuildColumnFilterString(Grid->GetColumn(I), ConditionProc, DateValueToString, UseOrigin,
                                          LikeSupported, NullAsComparison, InSupported);
    if (!Text.empty()) Result += Text + L" AND ";
  }
  if (!Result.empty()) Result.resize(Result.size() - 4);
}

// ---- Hooked text routines ---------------------------------------------------------------------

namespace {

String Transformed(const String& Text) { return TextTransformHookKv ? TextTransformHookKv(Text) : Text; }

Integer DefaultCompareTextHooked(const String& S1, const String& S2) {
  return AnsiCompareText(Transformed(S1), Transformed(S2));
}

Integer DefaultFindTextPosHooked(const String& SubText, const String& Text, Integer StartPos, bool IgnoreCase,
                                 bool WholeWords) {
  return FindTextPos(Transformed(SubText), Transformed(Text), IgnoreCase, WholeWords, StartPos);
}

Integer DefaultPosExHooked(const String& SubText, const String& Text, Integer Offset) {
  String Sub = Transformed(SubText);
  return Sub.empty() ? 0 : Pos(Sub, Transformed(Text), Offset);
}

// The foundation's case-insensitive highlight search goes through the hooked routine too.
Integer RoutedFindTextPos(const String& SubText, const String& Text, Integer StartPos, bool IgnoreCase,
                          bool WholeWord) {
  return FindTextPosHooked(SubText, Text, StartPos, IgnoreCase, WholeWord);
}

const bool FindTextPosRouted = (FindTextPosProcKv = RoutedFindTextPos, true);

}  // namespace

TTextTransformProcKv TextTransformHookKv = nullptr;
Integer (*CompareTextHooked)(const String& S1, const String& S2) = DefaultCompareTextHooked;
Integer (*FindTextPosHooked)(const String& SubText, const String& Text, Integer StartPos, bool IgnoreCase,
                             bool WholeWords) = DefaultFindTextPosHooked;
Integer (*PosExHooked)(const String& SubText, const String& Text, Integer Offset) = DefaultPosExHooked;

// ---- Grid text search -------------------------------------------------------------------------

namespace {

// One call of GridLocateText: where it stands among the candidate columns and selected rows.
class TGridTextSearch {
 public:
  TGridTextSearch(IDBGridKv* Grid, TDataSet* DataSet, TLocateTextOptionsKv Options, TLocateTextDirectionKv Direction)
      : FGrid(Grid),
        FDataSet(DataSet),
        FOptions(Options),
        FForward(Direction != ltdUpKv) {
    IDBGridKvSelection* Sel = Grid->GetSelection();
    TDBGridKvSelectionType Type = Sel ? Sel->GetSelectionType() : gstNon;
    bool Inside = Options.Contains(ltoInsideSelectionKv);
    if (Inside && Type == gstRecordBookmarks) FRows = Sel->GetRows();
    if (Inside && Type == gstRectangle) FRect = Sel->GetRect();
  }

  TColumnsKvList Columns;
  Integer ColumnPos = 0;

  bool InsideRows() const { return FRows != nullptr; }
  TBMListKv* Rows() const { return FRows; }

  void CollectColumns(const String& FieldName) {
    IDBGridKvSelection* Sel = FGrid->GetSelection();
    TDBGridKvSelectionType Type = Sel ? Sel->GetSelectionType() : gstNon;
    bool Inside = FOptions.Contains(ltoInsideSelectionKv);
    TColumnsKvList* Visible = FGrid->GetVisibleColumns();
    if (!FieldName.empty()) {
      if (IColumnKv* Column = FGrid->GetFieldColumns(FieldName)) Columns.Add(Column);
    } else if (Inside && Type == gstColumns) {
      TColumnsKvList* Selected = Sel->GetColumns();
      for (Integer I = 0; Selected && I < Selected->Count(); ++I)
        if (FGrid->CanColumnValueReadAsText(Selected->GetColumn(I))) Columns.Add(Selected->GetColumn(I));
    } else if (Inside && Type == gstRectangle) {
      Integer Right = std::min(FRect->GetRightCol(), Visible ? Visible->Count() - 1 : -1);
      for (Integer I = std::max(FRect->GetLeftCol(), 0); I <= Right; ++I)
        if (FGrid->CanColumnValueReadAsText(Visible->GetColumn(I))) Columns.Add(Visible->GetColumn(I));
    } else if (FOptions.Contains(ltoAllFieldsKv)) {
      for (Integer I = 0; Visible && I < Visible->Count(); ++I)
        if (FGrid->CanColumnValueReadAsText(Visible->GetColumn(I))) Columns.Add(Visible->GetColumn(I));
    } else {
      Integer Selected = FGrid->GetSelectedIndex();
      if (Selected >= 0 && Selected < FGrid->GetColumnCount()) Columns.Add(FGrid->GetColumn(Selected));
    }
  }

  // Stands on the current record's place in the selected rows, or on the first selected row.
  void EnterRows() {
    FRowPos = FRows->IndexOf(FDataSet->GetBookmark());
    if (FRowPos < 0) {
      FRowPos = 0;
      FDataSet->GotoBookmark(FRows->GetItem(0));
    }
  }

  bool EndReached() const {
    if (FRows || FRect) return FForward ? FSelEnd : FSelStart;
    return FForward ? FDataSet->Eof() : FDataSet->Bof();
  }

  void GoToStart(bool Forward) {
    if (Forward) {
      if (FRows) {
        FRowPos = 0;
        FDataSet->GotoBookmark(FRows->GetItem(0));
      } else if (FRect) {
        TBookmark Top;
        FRect->GetTopRow(Top);
        FDataSet->GotoBookmark(Top);
      } else {
        FDataSet->First();
      }
    } else {
      if (FRows) {
        FRowPos = FRows->GetCount() - 1;
        FDataSet->GotoBookmark(FRows->GetItem(FRowPos));
      } else if (FRect) {
        TBookmark Bottom;
        FRect->GetBottomRow(Bottom);
        FDataSet->GotoBookmark(Bottom);
      } else {
        FDataSet->Last();
      }
    }
    ColumnPos = 0;
  }

  void Wrap() {
    GoToStart(FForward);
    if (!FForward) ColumnPos = Columns.Count() - 1;
    FWrapped = true;
    FSelEnd = FSelStart = false;
  }

  bool Wrapped() const { return FWrapped; }
  bool Moved() const { return FMoved; }
  void ClearMoved() { FMoved = false; }

  void Step() {
    if (FOptions.Contains(ltoAllFieldsKv)) {
      if (FForward) {
        if (ColumnPos < Columns.Count() - 1) {
          ++ColumnPos;
        } else {
          RecordStep(true);
          ColumnPos = 0;
        }
      } else {
        if (ColumnPos > 0) {
          --ColumnPos;
        } else {
          RecordStep(false);
          ColumnPos = Columns.Count() - 1;
        }
      }
    } else {
      RecordStep(FForward);
    }
  }

 private:
  void RecordStep(bool Forward) {
    FMoved = true;
    if (FRect) {
      TBookmark Edge;
      if (Forward)
        FRect->GetBottomRow(Edge);
      else
        FRect->GetTopRow(Edge);
      bool AtEdge = FDataSet->CompareBookmarks(FDataSet->GetBookmark(), Edge) == 0;
      if (Forward) {
        if (AtEdge) {
          FSelEnd = true;
        } else {
          FDataSet->Next();
          FSelEnd = FDataSet->Eof();
        }
      } else {
        if (AtEdge) {
          FSelStart = true;
        } else {
          FDataSet->Prior();
          FSelStart = FDataSet->Bof();
        }
      }
    } else if (FRows) {
      if (Forward) {
        if (FRowPos < FRows->GetCount() - 1)
          FDataSet->GotoBookmark(FRows->GetItem(++FRowPos));
        else
          FSelEnd = true;
      } else {
        if (FRowPos > 0)
          FDataSet->GotoBookmark(FRows->GetItem(--FRowPos));
        else
          FSelStart = true;
      }
    } else if (Forward) {
      FDataSet->Next();
    } else {
      FDataSet->Prior();
    }
  }

  IDBGridKv* FGrid;
  TDataSet* FDataSet;
  TLocateTextOptionsKv FOptions;
  bool FForward;
  TBMListKv* FRows = nullptr;
  IDBGridKvSelectionRect* FRect = nullptr;
  Integer FRowPos = 0;
  bool FWrapped = false;
  bool FSelEnd = false;
  bool FSelStart = false;
  bool FMoved = false;
};

bool CellMatches(IColumnKv* Column, const String& Text, TLocateTextOptionsKv Options, TLocateTextMatchingKv Matching,
                 const TCheckColumnValueAcceptEventKv& CheckValueMethod) {
  if (CheckValueMethod) {
    bool Accept = false;
    CheckValueMethod(Column, Accept, Text);
    return Accept;
  }
  String Cell = Options.Contains(ltoMatchFormatKv) ? Column->GetDisplayText() : Column->GetEditText();
  const bool IgnoreCase = Options.Contains(ltoCaseInsensitiveKv);
  String Sub = Text;
  if (IgnoreCase) {
    Cell = AnsiUpperCase(Cell);
    Sub = AnsiUpperCase(Sub);
  }
  switch (Matching) {
    case ltmAnyPartKv:
      // A whole-word search keeps the case rule the caller chose.
      if (Options.Contains(ltoWholeWordsKv)) return FindTextPosHooked(Sub, Cell, 1, IgnoreCase, true) > 0;
      return PosExHooked(Sub, Cell, 1) > 0;
    case ltmWholeKv:
      return Cell == Sub;
    case ltmFromBegingKv:
      return Copy(Cell, 1, Length(Sub)) == Sub;
  }
  return false;
}

bool KeyDownWaiting(HWND Wnd, bool EscapeOnly) {
  if (!Wnd) return false;
  MSG Msg;
  if (!PeekMessageW(&Msg, Wnd, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) return false;
  if (!EscapeOnly) return true;
  if (Msg.wParam != VK_ESCAPE) return false;
  PeekMessageW(&Msg, Wnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
  return true;
}

}  // namespace

bool GridLocateText(IDBGridKv* Grid, const String& FieldName, const String& Text, TLocateTextOptionsKv Options,
                    TLocateTextDirectionKv Direction, TLocateTextMatchingKv Matching, Integer TimeLimit,
                    const TCheckColumnValueAcceptEventKv& CheckValueMethod) {
  // 64-bit ticks: a 32-bit count wraps after 49.7 days and would end the search at once.
  const UInt64 StartTick = GetTickCount64Compat();
  if (!Grid) return false;
  TDataSource* Source = Grid->GetDataSource();
  TDataSet* DataSet = Source ? Source->GetDataSet() : nullptr;
  if (!DataSet || !DataSet->GetActive() || DataSet->IsEmpty()) return false;

  TGridTextSearch S(Grid, DataSet, Options, Direction);
  S.CollectColumns(FieldName);
  IDBGridSearchPanelKv* Panel = Grid->GetSearchPanel();
  const bool PanelActive = Panel && Panel->GetActive();
  Integer Current = PanelActive ? Panel->GetFoundColumnIndex() : Grid->GetSelectedIndex();
  if (Current < 0) Current = 0;
  if (Current < Grid->GetColumnCount()) S.ColumnPos = std::max(S.Columns.IndexOf(Grid->GetColumn(Current)), 0);
  // A selection of records with no row in it gives nothing to search.
  if (S.InsideRows() && S.Rows()->GetCount() == 0) return false;
  if (S.InsideRows()) S.EnterRows();
  if (!PanelActive && Grid->GetRowSelect() && FieldName.empty()) S.ColumnPos = 0;
  TColumnsKvList* Visible = Grid->GetVisibleColumns();
  if (!Visible || Visible->Count() == 0 || S.Columns.Count() == 0) return false;

  bool Result = false;
  DataSet->DisableControls();
  try {
    Grid->SaveBookmark();
    if (Direction == ltdAllKv)
      S.GoToStart(true);
    else
      S.Step();
    for (;;) {
      if (S.EndReached()) {
        if (S.Wrapped()) break;
        S.Wrap();
      }
      IColumnKv* Column = S.Columns.GetColumn(S.ColumnPos);
      if (CellMatches(Column, Text, Options, Matching, CheckValueMethod)) {
        Result = true;
        if (PanelActive)
          Panel->SetFoundColumnIndex(Column->GetIndex());
        else
          Grid->SetSelectedIndex(Column->GetIndex());
        break;
      }
      if (S.Moved()) {
        if (Options.Contains(ltoStopOnEscapeKv) && KeyDownWaiting(Grid->GetGridHandle(), true)) break;
        if (Options.Contains(ltoStopKeyMessageKv) && KeyDownWaiting(GetFocus(), false)) break;
        if (TimeLimit > 0 && GetTickCount64Compat() - StartTick > UInt64(TimeLimit)) break;
        S.ClearMoved();
      }
      S.Step();
    }
    if (!Result) {
      try {
        Grid->RestoreBookmark();
      } catch (const EDatabaseError&) {
      }
    }
  } catch (...) {
    DataSet->EnableControls();
    throw;
  }
  DataSet->EnableControls();
  return Result;
}

// ---- Dataset-feature registry -----------------------------------------------------------------

namespace {

// The registrations by dataset class name; the list owns the providers.
class TFeatureRegistry {
 public:
  TFeatureRegistry() { FList.SetDuplicates(dupError); }
  ~TFeatureRegistry() {
    for (Integer I = FList.GetCount() - 1; I >= 0; --I) {
      delete FList.GetObjects(I);
      FList.Delete(I);
    }
  }
  TStringList FList;
};

TFeatureRegistry& FeatureRegistry() {
  static TFeatureRegistry Registry;
  return Registry;
}

Integer FeatureIndex(const String& ClassName) {
  TStringList& List = FeatureRegistry().FList;
  for (Integer I = 0; I < List.GetCount(); ++I)
    if (SameIdent(List[I], ClassName)) return I;
  return -1;
}

}  // namespace

void RegisterDatasetFeaturesKv(TDatasetFeaturesKv* Features) {
  if (!Features) return;
  String Name = Features->GetDataSetClass() ? Features->GetDataSetClass()->ClassName() : String();
  if (Name.empty() || FeatureIndex(Name) >= 0) {
    delete Features;
    throw EStringListError(SDuplicateString);
  }
  FeatureRegistry().FList.AddObject(Name, Features);
}

void UnregisterDatasetFeaturesKv(TClass DataSetClass) {
  if (!DataSetClass) return;
  Integer I = FeatureIndex(DataSetClass->ClassName());
  if (I < 0) return;
  TStringList& List = FeatureRegistry().FList;
  delete List.GetObjects(I);
  List.Delete(I);
}

TDatasetFeaturesKv* GetDatasetFeatureProvider(TDataSet* DataSet) {
  if (!DataSet) return nullptr;
  // The nearest class up the chain that has an entry wins.
  for (TClass C = DataSet->ClassType(); C; C = C->ClassParent()) {
    Integer I = FeatureIndex(C->ClassName());
    if (I >= 0) return static_cast<TDatasetFeaturesKv*>(FeatureRegistry().FList.GetObjects(I));
  }
  return nullptr;
}
