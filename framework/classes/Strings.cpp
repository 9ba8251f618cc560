#include "framework/classes/Strings.h"

#include <memory>

#include "framework/WinApi.h"
#include "framework/classes/Streams.h"
#include "framework/sysutils/Encoding.h"
#include "framework/sysutils/Strings.h"

const wchar_t* const SDuplicateString = L"String list does not allow duplicates";
const wchar_t* const SSortedListError = L"Operation not allowed on sorted list";

namespace {
Integer LocaleCompare(const String& S1, const String& S2, bool CaseSensitive) {
  return CaseSensitive ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

bool IsBlank(Char C) { return C >= 1 && C <= L' '; }

// Encloses S in Quote, doubling the quotes inside.
String QuotedStr(const String& S, Char Quote) {
  String R(1, Quote);
  for (Char C : S) {
    R += C;
    if (C == Quote) R += Quote;
  }
  R += Quote;
  return R;
}

// Reads a quoted item at P (which is at the opening quote); a doubled quote is one quote, and a
// missing closing quote takes the rest. P ends after the closing quote.
String ExtractQuoted(const String& Text, size_t& P, Char Quote) {
  String R;
  ++P;
  while (P < Text.size()) {
    Char C = Text[P++];
    if (C == Quote) {
      if (P < Text.size() && Text[P] == Quote)
        ++P;
      else
        break;
    }
    R += C;
  }
  return R;
}

void FreeIfOwned(TEncoding*& E) {
  if (E && !TEncoding::IsStandardEncoding(E)) delete E;
  E = nullptr;
}

TEncoding* KeepEncoding(TEncoding* Value) {
  if (!Value || TEncoding::IsStandardEncoding(Value)) return Value;
  return Value->Clone();
}
}  // namespace

// ---- TStrings ---------------------------------------------------------------------------------

TStrings::TStrings() : FDefaultEncoding(TEncoding::Default()) {}

TStrings::~TStrings() {
  FreeIfOwned(FEncoding);
  FreeIfOwned(FDefaultEncoding);
}

void TStrings::Error(const String& Msg, NativeInt Data) const {
  String S = Msg;
  size_t P = S.find(L"%d");
  if (P != String::npos) S.replace(P, 2, std::to_wstring(static_cast<long long>(Data)));
  throw EStringListError(S);
}

Integer TStrings::Add(const String& S) {
  Integer Result = GetCount();
  Insert(Result, S);
  return Result;
}

Integer TStrings::AddObject(const String& S, TObject* AObject) {
  Integer Result = Add(S);
  PutObject(Result, AObject);
  return Result;
}

TStrings* TStrings::AddPair(const String& Name, const String& Value) {
  Add(Name + FNameValueSeparator + Value);
  return this;
}

TStrings* TStrings::AddPair(const String& Name, const String& Value, TObject* AObject) {
  AddObject(Name + FNameValueSeparator + Value, AObject);
  return this;
}

void TStrings::AddStrings(TStrings* Strings) {
  BeginUpdate();
  try {
    for (Integer I = 0; I < Strings->GetCount(); ++I) AddObject(Strings->Get(I), Strings->GetObject(I));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::AddStrings(const std::vector<String>& Strings) {
  BeginUpdate();
  try {
    for (const String& S : Strings) Add(S);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* Src = dynamic_cast<TStrings*>(Source)) {
    if (Src == this) return;
    BeginUpdate();
    try {
      Clear();
      SetDefaultEncoding(Src->FDefaultEncoding);
      SetEncoding(Src->FEncoding);
      FNameValueSeparator = Src->FNameValueSeparator;
      FQuoteChar = Src->FQuoteChar;
      FDelimiter = Src->FDelimiter;
      FLineBreak = Src->FLineBreak;
      FStrictDelimiter = Src->FStrictDelimiter;
      FWriteBOM = Src->FWriteBOM;
      FTrailingLineBreak = Src->FTrailingLineBreak;
      AddStrings(Src);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

void TStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (--FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::InsertObject(Integer Index, const String& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

bool TStrings::Equals(TStrings* Strings) const {
  if (!Strings || Strings->GetCount() != GetCount()) return false;
  for (Integer I = 0; I < GetCount(); ++I)
    if (Get(I) != Strings->Get(I)) return false;
  return true;
}

void TStrings::Exchange(Integer Index1, Integer Index2) {
  BeginUpdate();
  try {
    TObject* TempObject = GetObject(Index1);
    String TempString = Get(Index1);
    Put(Index1, Get(Index2));
    PutObject(Index1, GetObject(Index2));
    Put(Index2, TempString);
    PutObject(Index2, TempObject);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  BeginUpdate();
  try {
    String TempString = Get(CurIndex);
    TObject* TempObject = GetObject(CurIndex);
    PutObject(CurIndex, nullptr);  // so that an owning list does not free it on Delete
    Delete(CurIndex);
    InsertObject(NewIndex, TempString, TempObject);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

Integer TStrings::IndexOf(const String& S) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (CompareStrings(Get(I), S) == 0) return I;
  return -1;
}

Integer TStrings::IndexOfName(const String& Name) const {
  for (Integer I = 0; I < GetCount(); ++I) {
    String S = Get(I);
    size_t P = S.find(FNameValueSeparator);
    if (P != String::npos && CompareStrings(S.substr(0, P), Name) == 0) return I;
  }
  return -1;
}

Integer TStrings::IndexOfObject(TObject* AObject) const {
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetObject(I) == AObject) return I;
  return -1;
}

void TStrings::LoadFromStream(TStream* Stream, TEncoding* Encoding) {
  BeginUpdate();
  try {
    Int64 Size = Stream->GetSize() - Stream->GetPosition();
    TBytes Buffer(static_cast<size_t>(Size > 0 ? Size : 0));
    if (!Buffer.empty()) Stream->ReadBuffer(Buffer.data(), Integer(Buffer.size()));
    Integer Skip = TEncoding::GetBufferEncoding(Buffer, Encoding, FDefaultEncoding);
    SetEncoding(Encoding);
    SetTextStr(Encoding->GetString(Buffer, Skip, Integer(Buffer.size()) - Skip));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::SaveToStream(TStream* Stream, TEncoding* Encoding) {
  if (!Encoding) Encoding = FEncoding ? FEncoding : FDefaultEncoding ? FDefaultEncoding : TEncoding::Default();
  TBytes Buffer = Encoding->GetBytes(GetTextStr());
  if (FWriteBOM) {
    TBytes Preamble = Encoding->GetPreamble();
    if (!Preamble.empty()) Stream->WriteBuffer(Preamble.data(), Integer(Preamble.size()));
  }
  if (!Buffer.empty()) Stream->WriteBuffer(Buffer.data(), Integer(Buffer.size()));
}

void TStrings::LoadFromFile(const String& FileName, TEncoding* Encoding) {
  TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&Stream, Encoding);
}

void TStrings::SaveToFile(const String& FileName, TEncoding* Encoding) {
  TFileStream Stream(FileName, fmCreate);
  SaveToStream(&Stream, Encoding);
}

std::vector<String> TStrings::ToStringArray() const {
  std::vector<String> R;
  R.reserve(GetCount());
  for (Integer I = 0; I < GetCount(); ++I) R.push_back(Get(I));
  return R;
}

std::vector<TObject*> TStrings::ToObjectArray() const {
  std::vector<TObject*> R;
  R.reserve(GetCount());
  for (Integer I = 0; I < GetCount(); ++I) R.push_back(GetObject(I));
  return R;
}

void TStrings::SetCapacity(Integer) {}

String TStrings::GetCommaText() const {
  auto* Self = const_cast<TStrings*>(this);
  Char OldDelimiter = FDelimiter, OldQuote = FQuoteChar;
  bool OldStrict = FStrictDelimiter;
  Self->FDelimiter = L',';
  Self->FQuoteChar = L'"';
  Self->FStrictDelimiter = false;
  String R;
  try {
    R = GetDelimitedText();
  } catch (...) {
    Self->FDelimiter = OldDelimiter, Self->FQuoteChar = OldQuote, Self->FStrictDelimiter = OldStrict;
    throw;
  }
  Self->FDelimiter = OldDelimiter, Self->FQuoteChar = OldQuote, Self->FStrictDelimiter = OldStrict;
  return R;
}

void TStrings::SetCommaText(const String& Value) {
  Char OldDelimiter = FDelimiter, OldQuote = FQuoteChar;
  bool OldStrict = FStrictDelimiter;
  FDelimiter = L',';
  FQuoteChar = L'"';
  FStrictDelimiter = false;
  try {
    SetDelimitedText(Value);
  } catch (...) {
    FDelimiter = OldDelimiter, FQuoteChar = OldQuote, FStrictDelimiter = OldStrict;
    throw;
  }
  FDelimiter = OldDelimiter, FQuoteChar = OldQuote, FStrictDelimiter = OldStrict;
}

String TStrings::GetDelimitedText() const {
  Integer Count = GetCount();
  if (Count == 1 && Get(0).empty()) return String(2, FQuoteChar);
  String Result;
  for (Integer I = 0; I < Count; ++I) {
    String S = Get(I);
    bool NeedsQuotes = false;
    for (Char C : S)
      if (C == L'\0' || C == FQuoteChar || C == FDelimiter || (!FStrictDelimiter && IsBlank(C))) {
        NeedsQuotes = C != L'\0';
        break;
      }
    if (I > 0) Result += FDelimiter;
    Result += NeedsQuotes ? QuotedStr(S, FQuoteChar) : S;
  }
  return Result;
}

void TStrings::SetDelimitedText(const String& Value) {
  BeginUpdate();
  try {
    Clear();
    size_t P = 0, N = Value.size();
    auto SkipBlanks = [&] {
      if (!FStrictDelimiter)
        while (P < N && IsBlank(Value[P])) ++P;
    };
    SkipBlanks();
    while (P < N) {
      String S;
      if (Value[P] == FQuoteChar) {
        S = ExtractQuoted(Value, P, FQuoteChar);
      } else {
        size_t P1 = P;
        while (P < N && (FStrictDelimiter || Value[P] > L' ') && Value[P] != FDelimiter) ++P;
        S = Value.substr(P1, P - P1);
      }
      Add(S);
      SkipBlanks();
      if (P < N && Value[P] == FDelimiter) {
        if (P + 1 == N) Add(String());  // a trailing delimiter ends with an empty item
        ++P;
        SkipBlanks();
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

String TStrings::ExtractName(const String& S, bool AllNames) const {
  size_t P = S.find(FNameValueSeparator);
  if (P != String::npos) return S.substr(0, P);
  return AllNames ? S : String();
}

String TStrings::GetNames(Integer Index) const { return ExtractName(Get(Index), false); }
String TStrings::GetKeyNames(Integer Index) const { return ExtractName(Get(Index), true); }

String TStrings::GetValues(const String& Name) const {
  Integer I = IndexOfName(Name);
  return I >= 0 ? GetValueFromIndex(I) : String();
}

void TStrings::SetValues(const String& Name, const String& Value) {
  Integer I = IndexOfName(Name);
  if (!Value.empty()) {
    if (I < 0) I = Add(String());
    Put(I, Name + FNameValueSeparator + Value);
  } else if (I >= 0) {
    Delete(I);
  }
}

String TStrings::GetValueFromIndex(Integer Index) const {
  if (Index < 0) return String();
  String S = Get(Index);
  size_t P = S.find(FNameValueSeparator);
  return P == String::npos ? String() : S.substr(P + 1);
}

void TStrings::SetValueFromIndex(Integer Index, const String& Value) {
  if (!Value.empty()) {
    if (Index < 0) Index = Add(String());
    Put(Index, GetNames(Index) + FNameValueSeparator + Value);
  } else if (Index >= 0) {
    Delete(Index);
  }
}

void TStrings::SetDefaultEncoding(TEncoding* Value) {
  if (Value == FDefaultEncoding) return;
  FreeIfOwned(FDefaultEncoding);
  FDefaultEncoding = KeepEncoding(Value);
}

void TStrings::SetEncoding(TEncoding* Value) {
  if (Value == FEncoding) return;
  FreeIfOwned(FEncoding);
  FEncoding = KeepEncoding(Value);
}

void TStrings::Put(Integer Index, const String& S) {
  TObject* Temp = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, Temp);
}

TObject* TStrings::GetObject(Integer) const { return nullptr; }
void TStrings::PutObject(Integer, TObject*) {}

String TStrings::GetTextStr() const {
  String Result;
  Integer Count = GetCount();
  for (Integer I = 0; I < Count; ++I) {
    Result += Get(I);
    if (I < Count - 1 || FTrailingLineBreak) Result += FLineBreak;
  }
  return Result;
}

void TStrings::SetTextStr(const String& Value) {
  BeginUpdate();
  try {
    Clear();
    size_t P = 0, N = Value.size();
    if (FLineBreak == L"\r\n") {
      while (P < N) {
        size_t Start = P;
        while (P < N && Value[P] != L'\r' && Value[P] != L'\n') ++P;
        Add(Value.substr(Start, P - Start));
        if (P < N && Value[P] == L'\r') ++P;
        if (P < N && Value[P] == L'\n') ++P;
      }
    } else if (!FLineBreak.empty()) {
      while (P < N) {
        size_t LB = Value.find(FLineBreak, P);
        size_t End = LB == String::npos ? N : LB;
        Add(Value.substr(P, End - P));
        P = LB == String::npos ? N : LB + FLineBreak.size();
      }
    } else {
      Add(Value);
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

Integer TStrings::CompareStrings(const String& S1, const String& S2) const {
  return AnsiCompareText(S1, S2);
}

// ---- TStringList ------------------------------------------------------------------------------

TStringList::~TStringList() {
  FOnChange = nullptr;
  FOnChanging = nullptr;
  if (FOwnsObjects)
    for (auto& Item : FList) delete Item.FObject;
}

void TStringList::Changed() {
  if (GetUpdateCount() == 0)
    DoEvent(FOnChange, this);
  else
    FChangedWhileUpdating = true;
}

void TStringList::Changing() {
  if (GetUpdateCount() == 0) {
    DoEvent(FOnChanging, this);
  } else if (!FChangingFired) {
    FChangingFired = true;
    DoEvent(FOnChanging, this);
  }
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating) {
    FChangingFired = false;
    FChangedWhileUpdating = false;
  } else if (FChangedWhileUpdating) {
    FChangedWhileUpdating = false;
    FChangingFired = false;
    Changed();
  }
}

Integer TStringList::Add(const String& S) { return AddObject(S, nullptr); }

Integer TStringList::AddObject(const String& S, TObject* AObject) {
  Integer Result;
  if (!FSorted) {
    Result = GetCount();
  } else if (Find(S, Result)) {
    switch (FDuplicates) {
      case dupIgnore: return Result;
      case dupError: Error(SDuplicateString, 0);
      case dupAccept: break;
    }
  }
  InsertItem(Result, S, AObject);
  return Result;
}

void TStringList::InsertItem(Integer Index, const String& S, TObject* AObject) {
  Changing();
  FList.insert(FList.begin() + Index, TStringItem{S, AObject});
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  std::vector<TStringItem> Old;
  Old.swap(FList);
  if (FOwnsObjects)
    for (auto& Item : Old) delete Item.FObject;
  Changed();
}

void TStringList::Delete(Integer Index) {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  Changing();
  TObject* Obj = FList[Index].FObject;
  FList.erase(FList.begin() + Index);
  if (FOwnsObjects) delete Obj;
  Changed();
}

void TStringList::Exchange(Integer Index1, Integer Index2) {
  if (Index1 < 0 || Index1 >= GetCount()) Error(SListIndexError, Index1);
  if (Index2 < 0 || Index2 >= GetCount()) Error(SListIndexError, Index2);
  Changing();
  ExchangeItems(Index1, Index2);
  Changed();
}

void TStringList::ExchangeItems(Integer Index1, Integer Index2) { std::swap(FList[Index1], FList[Index2]); }

bool TStringList::Find(const String& S, Integer& Index) const {
  bool Result = false;
  Integer L = 0, H = GetCount() - 1;
  while (L <= H) {
    Integer I = (L + H) >> 1;
    Integer C = CompareStrings(FList[I].FString, S);
    if (C < 0) {
      L = I + 1;
    } else {
      H = I - 1;
      if (C == 0) {
        Result = true;
        if (FDuplicates != dupAccept) L = I;
      }
    }
  }
  Index = L;
  return Result;
}

Integer TStringList::IndexOf(const String& S) const {
  if (!FSorted) return TStrings::IndexOf(S);
  Integer I;
  return Find(S, I) ? I : -1;
}

void TStringList::Insert(Integer Index, const String& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(Integer Index, const String& S, TObject* AObject) {
  if (FSorted) Error(SSortedListError, 0);
  if (Index < 0 || Index > GetCount()) Error(SListIndexError, Index);
  InsertItem(Index, S, AObject);
}

String TStringList::Get(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  return FList[Index].FString;
}

void TStringList::Put(Integer Index, const String& S) {
  if (FSorted) Error(SSortedListError, 0);
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  Changing();
  FList[Index].FString = S;
  Changed();
}

TObject* TStringList::GetObject(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  return FList[Index].FObject;
}

void TStringList::PutObject(Integer Index, TObject* AObject) {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  Changing();
  FList[Index].FObject = AObject;
  Changed();
}

void TStringList::SetCapacity(Integer NewCapacity) {
  if (NewCapacity < GetCount()) Error(SListCapacityError, NewCapacity);
  FList.reserve(NewCapacity);
}

namespace {
Integer StringListCompareStrings(TStringList* List, Integer Index1, Integer Index2) {
  return LocaleCompare(List->GetStrings(Index1), List->GetStrings(Index2), List->GetCaseSensitive());
}
}  // namespace

void TStringList::Sort() { CustomSort(StringListCompareStrings); }

void TStringList::CustomSort(TStringListSortCompare Compare) {
  if (FSorted || GetCount() <= 1) return;
  Changing();
  QuickSort(0, GetCount() - 1, Compare);
  Changed();
}

void TStringList::QuickSort(Integer L, Integer R, TStringListSortCompare SCompare) {
  Integer I;
  do {
    I = L;
    Integer J = R, P = (L + R) >> 1;
    do {
      // The bounds keep an inconsistent comparison from walking off the list.
      while (I < R && SCompare(this, I, P) < 0) ++I;
      while (J > L && SCompare(this, J, P) > 0) --J;
      if (I <= J) {
        if (I != J) ExchangeItems(I, J);
        if (P == I)
          P = J;
        else if (P == J)
          P = I;
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) QuickSort(L, J, SCompare);
    L = I;
  } while (I < R);
}

void TStringList::SetSorted(bool Value) {
  if (FSorted == Value) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (FCaseSensitive == Value) return;
  FCaseSensitive = Value;
  if (FSorted) {
    FSorted = false;
    SetSorted(true);
  }
}

Integer TStringList::CompareStrings(const String& S1, const String& S2) const {
  return LocaleCompare(S1, S2, FCaseSensitive);
}
