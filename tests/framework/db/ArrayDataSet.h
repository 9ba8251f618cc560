#pragma once
// A small dataset over an in-memory array of records, for testing the dataset base and for the
// family's code before the in-memory table exists. Values are kept in the native layout of
// each field type; a record's bookmark is its never-reused id.

#include <optional>

#include "framework/DB.h"

class TArrayDataSet : public TDataSet {
  DECLARE_CLASS(TArrayDataSet, TDataSet)
 public:
  explicit TArrayDataSet(TComponent* AOwner);
  ~TArrayDataSet() override;

  bool GetFieldData(TField* Field, TValueBuffer& Buffer) override;
  void SetFieldData(TField* Field, const TValueBuffer* Buffer) override;
  using TDataSet::GetFieldData;
  using TDataSet::SetFieldData;
  TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  Integer GetRecordCount() override;
  Integer GetRecNo() override;
  void SetRecNo(Integer Value) override;
  bool BookmarkValid(const TBookmark& Bookmark) override;
  Integer CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
  bool CanModify() override { return !FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  // The stored records (by physical field), for tests that look behind the dataset.
  Integer StoredCount() const { return Integer(FRecords.size()); }
  // Number of buffers handed out and not yet freed.
  Integer LiveBuffers() const { return FLiveBuffers; }
  // Writes one stored value directly, as another user of the data would (for CurValue tests).
  void PokeStored(Integer RecIndex, TField* Field, const Variant& Value);

 protected:
  TRecordBuffer AllocRecBuf() override;
  void FreeRecBuf(TRecordBuffer& Buffer) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() override { return FOpen; }
  void InternalFirst() override { FCursor = -1; }
  void InternalLast() override { FCursor = Integer(FRecords.size()); }
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void ClearCalcFields(TRecordBuffer Buffer) override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalEdit() override;
  void InternalGotoBookmark(const TBookmark& Bookmark) override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  void GetBookmarkData(TRecordBuffer Buffer, TBookmark& Bookmark) override;
  void SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Bookmark) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  bool EvaluatesFilterText() override { return true; }

 private:
  using TValues = std::vector<std::optional<TBytes>>;
  struct TRecord {
    Int64 Id = 0;
    TValues Values;  // by FieldNo - 1
  };
  struct TBuf {
    Int64 Id = 0;
    TBookmarkFlag Flag = bfCurrent;
    TValues Values;
    TValues Calc;  // by the field's index
  };
  TBuf* Buf(TRecordBuffer B) const { return reinterpret_cast<TBuf*>(B); }
  TBuf* ActiveRecBuf();
  Integer IndexOfId(Int64 Id) const;
  bool Accepted(TRecordBuffer Buffer);
  // A small interpreter of the filter byte code: comparisons, AND, OR, NOT, IS [NOT] NULL over
  // fields and integer, float, Boolean and string constants.
  Variant Evaluate(Integer Node);
  void Fill(TRecordBuffer Buffer, Integer Index);
  std::vector<TRecord> FRecords;
  Integer FCursor = -1;
  Int64 FNextId = 1;
  Integer FLiveBuffers = 0;
  bool FOpen = false;
  bool FReadOnly = false;
  TRecordBuffer FFilterBuffer = 0;
  TRecordBuffer FOldBuffer = 0;
};
