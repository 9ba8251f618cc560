#pragma once
// Inside the storage unit only: what its files share beyond the public interface.

#include <utility>

#include "framework/DB.h"
#include "framework/Variants.h"

// Runs its action when it goes out of scope, error or not: the bracket's closing half.
template <class F>
class TMTScopeExitKv {
 public:
  explicit TMTScopeExitKv(F Action) : FAction(std::move(Action)) {}
  ~TMTScopeExitKv() {
    if (FArmed) FAction();
  }
  TMTScopeExitKv(const TMTScopeExitKv&) = delete;
  TMTScopeExitKv& operator=(const TMTScopeExitKv&) = delete;
  // The action is no longer needed (the work completed otherwise).
  void Dismiss() { FArmed = false; }

 private:
  F FAction;
  bool FArmed = true;
};

// Source converted for storing under AVarType, or Null when the type cannot take it.
Variant MTConvertOrNull(const Variant& Source, TVarType AVarType);

bool MTIsByteArray(const Variant& V);
TBytes MTByteArrayBytes(const Variant& V);
Variant MTBytesToByteArray(const Byte* Data, size_t Count);

// Field types whose values a stream holds as binary. Oracle blobs keep byte arrays as the
// others do, which the variant encoding cannot carry: they are written as binary too.
bool MTIsBinaryFieldType(TFieldType T);
// The name a variant field's value is tagged with when the stream's own tags would not bring
// its type back (a BCD, a time stamp, an integer or text of another width, a byte array); null
// for a type written plain.
const wchar_t* MTTypeTagOf(TVarType T);
