#pragma once
// MemTableKv: the in-memory table as a framework dataset. Its parts, in memtablekv/:
//   - DataDriver: the abstract data driver and the consumer interface it keeps its table by;
//   - MemTable: the table (TCustomMemTableKv, TMemTableKv), its record buffers (TMTRecBuf), its
//     bookmarks (TBookmarkDataKv) and the blob stream (TMemBlobStreamKv); the class is defined in
//     MemTable.cpp (opening, buffers, cursor, bookmarks), MemTableFieldData.cpp (values, calculated
//     fields, aggregates, blobs) and MemTableEditing.cpp (editing, change log, driver).

#include "kvlib/memtable/MemTableDataKv.h"
#include "kvlib/memtable/memtablekv/DataDriver.h"
#include "kvlib/memtable/memtablekv/MemTable.h"
