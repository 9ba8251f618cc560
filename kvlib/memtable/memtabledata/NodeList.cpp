#include "kvlib/memtable/memtabledata/NodeList.h"

#include "framework/SysUtils.h"
#include "kvlib/memtable/memtabledata/RecordsView.h"

namespace NodeListKv {
constexpr size_t MaxChunk = 256;
constexpr size_t FillChunk = 192;  // a list made whole leaves room for inserts
}  // namespace NodeListKv

TMTNodeListKv::~TMTNodeListKv() {
  Clear();
  for (TMTNodeChunkKv* C : FSpare) delete C;
}

TMTNodeChunkKv* TMTNodeListKv::NewChunk() {
  if (FSpare.empty()) return new TMTNodeChunkKv;
  TMTNodeChunkKv* C = FSpare.back();
  FSpare.pop_back();
  return C;
}

void TMTNodeListKv::AppendBulk(TMemRecViewKv* Node) {
  if (FChunks.empty() || FChunks.back()->Items.size() >= NodeListKv::FillChunk) {
    TMTNodeChunkKv* C = NewChunk();
    C->Ordinal = Integer(FChunks.size());
    FChunks.push_back(C);
  }
  TMTNodeChunkKv* C = FChunks.back();
  SetPlace(Node, C, Integer(C->Items.size()));
  C->Items.push_back(Node);
  ++FCount;
}

void TMTNodeListKv::SetPlace(TMemRecViewKv* Node, TMTNodeChunkKv* C, Integer At) const {
  Node->FChunk[FWhich] = C;
  Node->FAt[FWhich] = At;
}

void TMTNodeListKv::AddToSums(Integer Ordinal, Integer Delta) {
  for (size_t I = size_t(Ordinal) + 1; I < FSums.size(); I += I & (~I + 1)) FSums[I] += Delta;
}

// Chunks from FromChunk on take their ordinals anew, and the sums are made again.
void TMTNodeListKv::Renumber(Integer FromChunk) {
  for (size_t I = size_t(FromChunk); I < FChunks.size(); ++I) FChunks[I]->Ordinal = Integer(I);
  FSums.assign(FChunks.size() + 1, 0);
  for (size_t I = 1; I < FSums.size(); ++I) {
    FSums[I] += Integer(FChunks[I - 1]->Items.size());
    size_t Up = I + (I & (~I + 1));
    if (Up < FSums.size()) FSums[Up] += FSums[I];
  }
}

TMTNodeChunkKv* TMTNodeListKv::ChunkOf(Integer Index, Integer& At) const {
  // The last chunk whose preceding sum is at most Index, by descending the Fenwick tree.
  size_t Pos = 0;
  Integer Rest = Index;
  size_t Step = 1;
  while (Step * 2 < FSums.size()) Step *= 2;
  for (; Step; Step /= 2)
    if (Pos + Step < FSums.size() && FSums[Pos + Step] <= Rest) {
      Pos += Step;
      Rest -= FSums[Pos];
    }
  At = Rest;
  return FChunks[Pos];
}

TMemRecViewKv* TMTNodeListKv::Get(Integer Index) const {
  if (Index < 0 || Index >= FCount) return nullptr;
  Integer At;
  TMTNodeChunkKv* C = ChunkOf(Index, At);
  return C->Items[size_t(At)];
}

bool TMTNodeListKv::Contains(const TMemRecViewKv* Node) const { return Node->FChunk[FWhich] != nullptr; }

Integer TMTNodeListKv::IndexOf(const TMemRecViewKv* Node) const {
  TMTNodeChunkKv* C = Node->FChunk[FWhich];
  if (!C) return -1;
  Integer Sum = 0;
  for (size_t I = size_t(C->Ordinal); I > 0; I -= I & (~I + 1)) Sum += FSums[I];
  return Sum + Node->FAt[FWhich];
}

void TMTNodeListKv::Insert(Integer Index, TMemRecViewKv* Node) {
  if (Index < 0 || Index > FCount) throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  if (FChunks.empty()) {
    FChunks.push_back(NewChunk());
    Renumber(0);
  }
  TMTNodeChunkKv* C;
  Integer At;
  if (Index == FCount) {
    C = FChunks.back();
    At = Integer(C->Items.size());
  } else {
    C = ChunkOf(Index, At);
  }
  C->Items.insert(C->Items.begin() + At, Node);
  for (size_t I = size_t(At); I < C->Items.size(); ++I) SetPlace(C->Items[I], C, Integer(I));
  ++FCount;
  if (C->Items.size() <= NodeListKv::MaxChunk) {
    AddToSums(C->Ordinal, 1);
    return;
  }
  // A full chunk gives its second half to a new one after it.
  TMTNodeChunkKv* N = NewChunk();
  size_t Half = C->Items.size() / 2;
  N->Items.assign(C->Items.begin() + Half, C->Items.end());
  C->Items.resize(Half);
  for (size_t I = 0; I < N->Items.size(); ++I) SetPlace(N->Items[I], N, Integer(I));
  FChunks.insert(FChunks.begin() + C->Ordinal + 1, N);
  Renumber(C->Ordinal);
}

TMemRecViewKv* TMTNodeListKv::Delete(Integer Index) {
  if (Index < 0 || Index >= FCount) throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  Integer At;
  TMTNodeChunkKv* C = ChunkOf(Index, At);
  TMemRecViewKv* Node = C->Items[size_t(At)];
  C->Items.erase(C->Items.begin() + At);
  for (size_t I = size_t(At); I < C->Items.size(); ++I) SetPlace(C->Items[I], C, Integer(I));
  SetPlace(Node, nullptr, -1);
  --FCount;
  if (!C->Items.empty()) {
    AddToSums(C->Ordinal, -1);
  } else {
    Integer Ord = C->Ordinal;
    FChunks.erase(FChunks.begin() + Ord);
    FSpare.push_back(C);
    Renumber(Ord);
  }
  return Node;
}

void TMTNodeListKv::Clear() {
  for (TMTNodeChunkKv* C : FChunks) {
    C->Items.clear();
    FSpare.push_back(C);
  }
  FChunks.clear();
  FSums.assign(1, 0);
  FCount = 0;
}

void TMTNodeListKv::Release() {
  for (TMTNodeChunkKv* C : FChunks)
    for (TMemRecViewKv* N : C->Items) SetPlace(N, nullptr, -1);
  Clear();
}

void TMTNodeListKv::Assign(const std::vector<TMemRecViewKv*>& Nodes) {
  Clear();
  for (size_t From = 0; From < Nodes.size(); From += NodeListKv::FillChunk) {
    TMTNodeChunkKv* C = NewChunk();
    size_t To = std::min(Nodes.size(), From + NodeListKv::FillChunk);
    C->Items.assign(Nodes.begin() + From, Nodes.begin() + To);
    for (size_t I = 0; I < C->Items.size(); ++I) SetPlace(C->Items[I], C, Integer(I));
    FChunks.push_back(C);
  }
  FCount = Integer(Nodes.size());
  Renumber(0);
}

std::vector<TMemRecViewKv*> TMTNodeListKv::ToVector() const {
  std::vector<TMemRecViewKv*> R;
  R.reserve(size_t(FCount));
  ForEach([&](TMemRecViewKv* N) { R.push_back(N); });
  return R;
}
