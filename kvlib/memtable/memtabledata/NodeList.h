#pragma once
// A list of records-view nodes with positions in O(log n): the nodes sit in chunks of at most 256,
// a Fenwick tree sums the chunks' sizes, and a node knows its chunk and its place there. Inserting
// or deleting in the middle shifts one chunk; a node's position is found from its chunk. A view
// keeps two of them (its sorted list and its view list); a node has a place for each.

#include <vector>

#include "framework/System.h"
#include "kvlib/memtable/memtabledata/Values.h"

class TMemRecViewKv;
struct TMTNodeChunkKv;

class TMTNodeListKv {
 public:
  // Which of the node's two places this list keeps (0 or 1).
  explicit TMTNodeListKv(int Which) : FWhich(Which) {}
  ~TMTNodeListKv();
  TMTNodeListKv(const TMTNodeListKv&) = delete;
  TMTNodeListKv& operator=(const TMTNodeListKv&) = delete;

  Integer Count() const { return FCount; }
  bool Empty() const { return FCount == 0; }
  TMemRecViewKv* Get(Integer Index) const;
  TMemRecViewKv* Last() const { return FCount ? Get(FCount - 1) : nullptr; }
  // The node's position, -1 when it is not in this list.
  Integer IndexOf(const TMemRecViewKv* Node) const;
  bool Contains(const TMemRecViewKv* Node) const;
  void Insert(Integer Index, TMemRecViewKv* Node);
  void Append(TMemRecViewKv* Node) { Insert(FCount, Node); }
  // Takes the node at Index out of the list; answers it.
  TMemRecViewKv* Delete(Integer Index);
  // Forgets every node without touching them (they may be freed already).
  void Clear();
  // Empties the list of live nodes, each of which knows it is no longer in it.
  void Release();
  // The list made of Nodes, in their order.
  void Assign(const std::vector<TMemRecViewKv*>& Nodes);
  // Appends without counting positions until EndBulk: the way a list is made whole.
  void AppendBulk(TMemRecViewKv* Node);
  void EndBulk() { Renumber(0); }
  std::vector<TMemRecViewKv*> ToVector() const;
  template <class F>
  void ForEach(F Action) const;

 private:
  struct TPlace {
    Integer Chunk;
    Integer At;
  };
  TMTNodeChunkKv* ChunkOf(Integer Index, Integer& At) const;
  void SetPlace(TMemRecViewKv* Node, TMTNodeChunkKv* C, Integer At) const;
  void Renumber(Integer FromChunk);
  void AddToSums(Integer Ordinal, Integer Delta);
  // A chunk from the spares (emptied chunks keep their room for the next list made whole).
  TMTNodeChunkKv* NewChunk();

  int FWhich;
  Integer FCount = 0;
  std::vector<TMTNodeChunkKv*> FChunks;
  std::vector<Integer> FSums;  // Fenwick sums of the chunks' sizes, from 1
  std::vector<TMTNodeChunkKv*> FSpare;
};

struct TMTNodeChunkKv {
  Integer Ordinal = 0;
  std::vector<TMemRecViewKv*, TMemTableAllocatorKv<TMemRecViewKv*>> Items;
};

template <class F>
void TMTNodeListKv::ForEach(F Action) const {
  for (TMTNodeChunkKv* C : FChunks)
    for (TMemRecViewKv* N : C->Items) Action(N);
}
