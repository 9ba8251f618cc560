#pragma once
// MemTableDataKv: the storage of the in-memory table. Its parts, one file each in memtabledata/:
//   - Values: the pool records come from, the conversion every stored value passes through, and
//     stored values read in place (TMTValueRefKv);
//   - DataFields: field descriptors (TMTDataFieldKv and its nine typed classes) and the data
//     structure (TMTDataStructKv), with the streaming of single values;
//   - Records: the memory record (TMemoryRecordKv), its values packed by field type, with its
//     value versions, and the update error holder;
//   - RecordsList: the records list with its positions, change log and notifications, and the
//     notificator;
//   - Indexes: the indexes and the unique-key violation;
//   - Storage: the storage object (TMemTableDataKv) with its counter, and the streaming of records;
//   - Collation: the Turkish collation the indexes keep under a Turkish user;
//   - ExprEvaluator: filter and aggregate expressions evaluated over records and views;
//   - RecordsView: the filtered, sorted view over the records, followed incrementally;
//   - MemoryTree: the view's record tree, each record under the record its reference names;
//   - Aggregates: the view's aggregate values, one per aggregate field of its dataset.
//
// A change of a stored record travels synchronously: to the indexes of the records list first
// (they may refuse it by raising), then to the storage object, which computes calculated
// fields, then to every attached notificator in attachment order.

#include "kvlib/memtable/memtabledata/Values.h"
#include "kvlib/memtable/memtabledata/DataFields.h"
#include "kvlib/memtable/memtabledata/Records.h"
#include "kvlib/memtable/memtabledata/RecordsList.h"
#include "kvlib/memtable/memtabledata/Indexes.h"
#include "kvlib/memtable/memtabledata/Storage.h"
#include "kvlib/memtable/memtabledata/Collation.h"
#include "kvlib/memtable/memtabledata/ExprEvaluator.h"
#include "kvlib/memtable/memtabledata/MemoryTree.h"
#include "kvlib/memtable/memtabledata/RecordsView.h"
#include "kvlib/memtable/memtabledata/Aggregates.h"

// Registers the storage classes for streaming and sets the unit's type codes; counted, so each
// pair runs once however many units ask. The test main and the program call them.
void MemTableDataKvStartup();
void MemTableDataKvShutdown();
