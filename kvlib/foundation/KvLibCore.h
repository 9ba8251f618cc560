#pragma once
// The part of the family's lowest layer (unit KvLibVCL) that draws nothing: the lists and streams
// non-visual units derive from, object references in variants, locale-aware comparison, bookmarks
// and the clock. Units that hold data (the in-memory table, the trees, the data utilities) include
// this one and never parse the window layer.

#include <initializer_list>

#include "framework/Classes.h"
#include "framework/Contnrs.h"
#include "framework/Variants.h"
#include "framework/db/DBTypes.h"

class TDataSet;

// ---- Base classes -----------------------------------------------------------------------------

// An object list that does not own its items unless asked to.
class TObjectListKv : public TObjectList {
  DECLARE_CLASS(TObjectListKv, TObjectList)
 public:
  TObjectListKv() : TObjectList(false) {}
  explicit TObjectListKv(bool AOwnsObjects) : TObjectList(AOwnsObjects) {}
};

// Field references, as the dataset resolves a list of field names into fields.
class TFieldListKv : public TList {
  DECLARE_CLASS(TFieldListKv, TList)
};

// A memory stream whose capacity moves in steps of 2 * FHalfMemoryDelta (8192 bytes) while
// the block behind it grows geometrically, so writing a large export piece by piece is not
// quadratic.
class TMemoryStreamKv : public TMemoryStream {
  DECLARE_CLASS(TMemoryStreamKv, TMemoryStream)
 public:
  TMemoryStreamKv() = default;
  ~TMemoryStreamKv() override;
  // Bytes reserved underneath, at least the capacity.
  NativeInt BlockSize() const { return FBlockSize; }

 protected:
  void* Realloc(NativeInt& NewCapacity) override;

 private:
  Integer FHalfMemoryDelta = 4096;
  void* FBlock = nullptr;
  NativeInt FBlockSize = 0;
};

// Gives back the object a wrapper holds.
class IObjectRefInterface : public virtual IInterface {
 public:
  virtual TObject* GetRefObject() = 0;
};

// Carries an object reference inside a variant. The last release frees the wrapper, never the
// object it holds.
class TInterfacedObjectWrapper : public TInterfacedObject, public IObjectRefInterface {
  DECLARE_CLASS(TInterfacedObjectWrapper, TInterfacedObject)
 public:
  explicit TInterfacedObjectWrapper(TObject* ARefObject) : FRefObject(ARefObject) {}
  Integer _AddRef() override { return TInterfacedObject::_AddRef(); }
  Integer _Release() override { return TInterfacedObject::_Release(); }
  TObject* GetRefObject() override { return FRefObject; }

 private:
  TObject* FRefObject;
};

void RefObjectToVariant(TObject* AObject, Variant& V);
// Raises EInvalidCast when V holds no wrapped object.
TObject* RefObjectFromVariant(const Variant& V);

// ---- Strings and characters -------------------------------------------------------------------

bool IsCharInSet(Char C, std::initializer_list<Char> Set);
// A lead byte of the system's multi-byte code page.
bool IsLeadByteChar(AnsiChar C);
// Null gives "".
String NullSafeVarToStr(const Variant& V);
// Compare by the user's locale over Count characters of each (0: the whole strings): -1, 0 or 1.
Integer CompareWideStringsLocale(const String& S1, const String& S2, Integer Count, bool IgnoreCase);
Integer CompareStringsLocale(const String& S1, const String& S2, Integer Count, bool IgnoreCase);
String UpperCaseLocale(const String& S);
String LowerCaseLocale(const String& S);
Integer CompareStrLocale(const String& S1, const String& S2);
Integer CompareTextLocale(const String& S1, const String& S2);
// Copies Src with its terminator into Dest, which holds DestCapacity characters: what does not
// fit is cut, and the copy is always terminated. Answers Dest.
wchar_t* CopyWideChars(wchar_t* Dest, size_t DestCapacity, const wchar_t* Src);
template <size_t N>
wchar_t* CopyWideChars(wchar_t (&Dest)[N], const wchar_t* Src) {
  return CopyWideChars(Dest, N, Src);
}
void VarArrayRedimKv(Variant& V, Integer HighBound);

// ---- Datasets ---------------------------------------------------------------------------------

Integer DataSetCompareBookmarks(TDataSet* DataSet, const TBookmark& B1, const TBookmark& B2);
// An empty bookmark is never valid; the dataset is not asked.
bool DataSetBookmarkValid(TDataSet* DataSet, const TBookmark& B);

// ---- System -----------------------------------------------------------------------------------

TObject* IntPtrToObject(NativeInt Value);
NativeInt ObjectToIntPtr(TObject* Value);
// 0 Monday to 6 Sunday.
Integer GetLocaleFirstDayOfWeek();
UInt64 GetTickCount64Compat();
