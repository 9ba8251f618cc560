#pragma once
// ComObj: COM automation by late binding. An automation object lives in a Variant (varDispatch)
// and is driven by name through IDispatch:
//
//   Variant FwMgr = CreateOleObject(L"HNetCfg.FwMgr");
//   Variant Profile = FwMgr.OlePropertyGet(L"LocalPolicy").OlePropertyGet(L"CurrentProfile");
//   Port.OlePropertySet(L"Port", 5452);
//   Profile.OlePropertyGet(L"GloballyOpenPorts").OleProcedure(L"Add", Port);
//   for (const Variant& Adapter : TOleEnum(Wmi.OleFunction(L"ExecQuery", Wql))) ...
//
// The calling thread is joined to COM (single-threaded apartment) on its first use here.
// Failures raise EOleSysError with the HRESULT and the system's text, or EOleException when
// the object reported an exception of its own (its description, source and code).

#include "framework/Variants.h"

// The errors are System's EOleError family: EOleError for a value that is no automation object;
// EOleSysError with the failed HRESULT in ErrorCode and the system's text for it ("OLE error
// XXXXXXXX" when the system has none); EOleException for an exception the object raised
// (DISP_E_EXCEPTION): its description, its code (scode, or the HRESULT form of wCode) and Source.

// Raises EOleSysError for a failed HRESULT; answers it otherwise.
long OleCheck(long Result);
// The text EOleSysError carries for an HRESULT.
String OleErrorMessage(long ErrorCode);

// A new instance of the class registered under the programmatic id ("Scripting.Dictionary"),
// in process or local server, as its IDispatch.
Variant CreateOleObject(const String& ClassName);
// The running instance that the class registered in the running object table.
Variant GetActiveOleObject(const String& ClassName);
// The object a moniker's display name names ("winmgmts:\\.\root\cimv2"), bound as IDispatch.
Variant OleGetObject(const String& Name);

// The items of an automation collection through its _NewEnum (IEnumVARIANT), in order:
// `for (const Variant& Item : TOleEnum(Collection))`, or MoveNext/Current by hand.
class TOleEnum {
 public:
  explicit TOleEnum(const Variant& Collection);
  bool MoveNext();
  const Variant& Current() const { return FCurrent; }

  class iterator {
   public:
    explicit iterator(TOleEnum* AEnum) : FEnum(AEnum) {}
    const Variant& operator*() const { return FEnum->Current(); }
    iterator& operator++() {
      if (!FEnum->MoveNext()) FEnum = nullptr;
      return *this;
    }
    bool operator!=(const iterator& Other) const { return FEnum != Other.FEnum; }

   private:
    TOleEnum* FEnum;
  };
  iterator begin() { return iterator(MoveNext() ? this : nullptr); }
  iterator end() { return iterator(nullptr); }

 private:
  Variant FEnumerator;  // the IEnumVARIANT, held as varUnknown
  Variant FCurrent;
};
