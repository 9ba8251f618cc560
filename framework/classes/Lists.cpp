#include "framework/classes/Lists.h"

#include <algorithm>

const wchar_t* const SListIndexError = L"List index out of bounds (%d)";
const wchar_t* const SListCapacityError = L"List capacity out of bounds (%d)";
const wchar_t* const SListCountError = L"List count out of bounds (%d)";

namespace {
String WithNumber(const String& Msg, NativeInt Data) {
  String S = Msg;
  size_t P = S.find(L"%d");
  if (P != String::npos) S.replace(P, 2, std::to_wstring(static_cast<long long>(Data)));
  return S;
}
}  // namespace

TList::~TList() = default;

void TList::Error(const String& Msg, NativeInt Data) { throw EListError(WithNumber(Msg, Data)); }

Pointer TList::Get(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  return FList[Index];
}

void TList::Put(Integer Index, Pointer Item) {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  Pointer Old = FList[Index];
  if (Item == Old) return;
  FList[Index] = Item;
  if (Old) Notify(Old, lnDeleted);
  if (Item) Notify(Item, lnAdded);
}

void TList::Grow() {
  Integer Delta = FCapacity > 64 ? FCapacity / 4 : FCapacity > 8 ? 16 : 4;
  SetCapacity(FCapacity + Delta);
}

void TList::Notify(Pointer, TListNotification) {}

Integer TList::Add(Pointer Item) {
  Integer Result = GetCount();
  if (Result == FCapacity) Grow();
  FList.push_back(Item);
  if (Item) Notify(Item, lnAdded);
  return Result;
}

void TList::Insert(Integer Index, Pointer Item) {
  if (Index < 0 || Index > GetCount()) Error(SListIndexError, Index);
  if (GetCount() == FCapacity) Grow();
  FList.insert(FList.begin() + Index, Item);
  if (Item) Notify(Item, lnAdded);
}

void TList::Delete(Integer Index) {
  if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index);
  Pointer Temp = FList[Index];
  FList.erase(FList.begin() + Index);
  if (Temp) Notify(Temp, lnDeleted);
}

Integer TList::Remove(Pointer Item) {
  Integer Result = IndexOf(Item);
  if (Result >= 0) Delete(Result);
  return Result;
}

Pointer TList::Extract(Pointer Item) {
  Integer I = IndexOf(Item);
  if (I < 0) return nullptr;
  FList.erase(FList.begin() + I);
  Notify(Item, lnExtracted);
  return Item;
}

Integer TList::IndexOf(Pointer Item) const {
  auto It = std::find(FList.begin(), FList.end(), Item);
  return It == FList.end() ? -1 : static_cast<Integer>(It - FList.begin());
}

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TList::SetCount(Integer NewCount) {
  if (NewCount < 0) Error(SListCountError, NewCount);
  if (NewCount > FCapacity) SetCapacity(NewCount);
  if (NewCount > GetCount())
    FList.resize(NewCount, nullptr);
  else
    for (Integer I = GetCount() - 1; I >= NewCount; --I) Delete(I);
}

void TList::SetCapacity(Integer NewCapacity) {
  if (NewCapacity < GetCount()) Error(SListCapacityError, NewCapacity);
  if (NewCapacity > FCapacity) FList.reserve(NewCapacity);
  if (NewCapacity == 0) FList.shrink_to_fit();
  FCapacity = NewCapacity;
}

void TList::Exchange(Integer Index1, Integer Index2) {
  if (Index1 < 0 || Index1 >= GetCount()) Error(SListIndexError, Index1);
  if (Index2 < 0 || Index2 >= GetCount()) Error(SListIndexError, Index2);
  std::swap(FList[Index1], FList[Index2]);
}

void TList::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  if (CurIndex < 0 || CurIndex >= GetCount()) Error(SListIndexError, CurIndex);
  if (NewIndex < 0 || NewIndex >= GetCount()) Error(SListIndexError, NewIndex);
  Pointer Item = FList[CurIndex];
  FList.erase(FList.begin() + CurIndex);
  FList.insert(FList.begin() + NewIndex, Item);
}

void TList::Pack() { FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end()); }

void TList::Sort(TListSortCompare Compare) {
  SortList([Compare](Pointer A, Pointer B) { return Compare(A, B); });
}

void TList::SortList(const TListSortCompareFunc& Compare) {
  // A merge sort stays inside the list even when the comparison is inconsistent.
  std::stable_sort(FList.begin(), FList.end(), [&](Pointer A, Pointer B) { return Compare(A, B) < 0; });
}

void TList::Assign(TList* Source) {
  Clear();
  if (!Source) return;
  SetCapacity(Source->GetCount());
  for (Pointer P : Source->FList) Add(P);
}

Pointer TList::First() const { return Get(0); }
Pointer TList::Last() const { return Get(GetCount() - 1); }

TList* TList::Expand() {
  if (GetCount() == FCapacity) Grow();
  return this;
}
