#include "framework/ComObj.h"

#include "framework/SysUtils.h"
#include "framework/WinShell.h"

namespace {

// Joins the thread to COM once; the apartment is left when the thread ends.
struct TComApartment {
  bool Joined = false;
  TComApartment() {
    HRESULT Hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Joined = SUCCEEDED(Hr);  // S_FALSE (already joined) needs its own CoUninitialize too
  }
  ~TComApartment() {
    if (Joined) CoUninitialize();
  }
};

void EnsureCom() { thread_local TComApartment Apartment; }

// Wine's message table lacks the automation errors; these are the texts Windows gives.
const wchar_t* KnownOleText(HRESULT Code) {
  switch (Code) {
    case DISP_E_UNKNOWNNAME: return L"Unknown name.";
    case DISP_E_MEMBERNOTFOUND: return L"Member not found.";
    case DISP_E_TYPEMISMATCH: return L"Type mismatch.";
    case DISP_E_BADPARAMCOUNT: return L"Invalid number of parameters.";
    case DISP_E_PARAMNOTOPTIONAL: return L"Parameter not optional.";
    case DISP_E_BADVARTYPE: return L"Bad variable type.";
    case DISP_E_OVERFLOW: return L"Out of present range.";
    case DISP_E_NONAMEDARGS: return L"No named arguments.";
    case REGDB_E_CLASSNOTREG: return L"Class not registered";
    case CO_E_CLASSSTRING: return L"Invalid class string";
    case MK_E_SYNTAX: return L"Invalid syntax";
    case MK_E_UNAVAILABLE: return L"Operation unavailable";
    case E_NOINTERFACE: return L"No such interface supported";
    default: return nullptr;
  }
}

String BStrText(BSTR B) { return B ? String(B, SysStringLen(B)) : String(); }

// Frees what an EXCEPINFO holds on every way out.
struct TExcepInfo : EXCEPINFO {
  TExcepInfo() : EXCEPINFO{} {}
  ~TExcepInfo() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
};

[[noreturn]] void RaiseDispatchError(HRESULT Hr, TExcepInfo& Info, const String& Name) {
  if (Hr != DISP_E_EXCEPTION) {
    String Msg = OleErrorMessage(Hr);
    // The member's name makes "Unknown name." useful to whoever reads the log.
    if (Hr == DISP_E_UNKNOWNNAME || Hr == DISP_E_MEMBERNOTFOUND) Msg += L" (" + Name + L")";
    throw EOleSysError(Msg, Integer(Hr));
  }
  if (Info.pfnDeferredFillIn) Info.pfnDeferredFillIn(&Info);
  HRESULT Code = Info.scode ? Info.scode : Info.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_DISPATCH, Info.wCode)
                                                      : DISP_E_EXCEPTION;
  String Msg = Trim(BStrText(Info.bstrDescription));
  if (Msg.empty()) Msg = OleErrorMessage(Code);
  EOleException E(Msg, Integer(Code), BStrText(Info.bstrSource));
  E.SetHelpContext(Integer(Info.dwHelpContext));
  throw E;
}

// The IDispatch of a value, AddRef'd.
IDispatch* DispatchOf(const Variant& V) {
  if (IDispatch* D = VarToOleDispatch(V)) {
    D->AddRef();
    return D;
  }
  if (IUnknown* U = VarToOleUnknown(V)) {
    IDispatch* D = nullptr;
    if (SUCCEEDED(U->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&D))) && D) return D;
  }
  throw EOleError(L"Variant does not reference an automation object");
}

struct TDispatchRef {
  IDispatch* P;
  ~TDispatchRef() {
    if (P) P->Release();
  }
};

// Owns the argument VARIANTs while a call runs.
struct TOleArgs {
  std::vector<VARIANT> Items;
  explicit TOleArgs(size_t Count) : Items(Count) {
    for (VARIANT& V : Items) VariantInit(&V);
  }
  ~TOleArgs() {
    for (VARIANT& V : Items) VariantClear(&V);
  }
};

Variant Invoke(IDispatch* Disp, DISPID Id, WORD Flags, const String& Name, std::initializer_list<Variant> Args,
               bool WantResult) {
  // IDispatch takes the arguments last first.
  TOleArgs OleArgs(Args.size());
  size_t I = Args.size();
  for (const Variant& A : Args) VariantToOle(A, OleArgs.Items[--I]);
  DISPID PutId = DISPID_PROPERTYPUT;
  DISPPARAMS Params{OleArgs.Items.empty() ? nullptr : OleArgs.Items.data(), nullptr, UINT(Args.size()), 0};
  if (Flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    Params.rgdispidNamedArgs = &PutId;
    Params.cNamedArgs = 1;
  }
  VARIANT Result;
  VariantInit(&Result);
  TExcepInfo Info;
  UINT ArgErr = 0;
  HRESULT Hr = Disp->Invoke(Id, IID_NULL, LOCALE_USER_DEFAULT, Flags, &Params, WantResult ? &Result : nullptr,
                            &Info, &ArgErr);
  if (FAILED(Hr)) {
    VariantClear(&Result);
    RaiseDispatchError(Hr, Info, Name);
  }
  Variant Answer;
  try {
    Answer = OleToVariant(Result);
  } catch (...) {
    VariantClear(&Result);
    throw;
  }
  VariantClear(&Result);
  return Answer;
}

Variant DispatchResult(IDispatch* D) {
  Variant V = Variant::FromOleDispatch(D);  // keeps its own reference
  D->Release();
  return V;
}

}  // namespace

String OleErrorMessage(long ErrorCode) {
  String Msg = SysErrorMessage(Cardinal(ErrorCode));
  if (Msg.empty())
    if (const wchar_t* Known = KnownOleText(HRESULT(ErrorCode))) Msg = Known;
  if (Msg.empty()) Msg = Format(L"OLE error %.8X", {Cardinal(ErrorCode)});
  return Msg;
}

long OleCheck(long Result) {
  if (FAILED(HRESULT(Result))) throw EOleSysError(OleErrorMessage(Result), Integer(Result));
  return Result;
}

Variant CreateOleObject(const String& ClassName) {
  EnsureCom();
  CLSID ClassID;
  OleCheck(CLSIDFromProgID(ClassName.c_str(), &ClassID));
  IDispatch* D = nullptr;
  OleCheck(CoCreateInstance(ClassID, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(&D)));
  return DispatchResult(D);
}

Variant GetActiveOleObject(const String& ClassName) {
  EnsureCom();
  CLSID ClassID;
  OleCheck(CLSIDFromProgID(ClassName.c_str(), &ClassID));
  IUnknown* U = nullptr;
  OleCheck(GetActiveObject(ClassID, nullptr, &U));
  IDispatch* D = nullptr;
  HRESULT Hr = U->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&D));
  U->Release();
  OleCheck(Hr);
  return DispatchResult(D);
}

Variant OleGetObject(const String& Name) {
  EnsureCom();
  IBindCtx* Ctx = nullptr;
  OleCheck(CreateBindCtx(0, &Ctx));
  IMoniker* Moniker = nullptr;
  ULONG Eaten = 0;
  HRESULT Hr = MkParseDisplayName(Ctx, Name.c_str(), &Eaten, &Moniker);
  IDispatch* D = nullptr;
  if (SUCCEEDED(Hr)) {
    Hr = Moniker->BindToObject(Ctx, nullptr, IID_IDispatch, reinterpret_cast<void**>(&D));
    Moniker->Release();
  }
  Ctx->Release();
  OleCheck(Hr);
  return DispatchResult(D);
}

Variant Variant::OleInvoke(TDispatchKind Kind, const String& Name, std::initializer_list<Variant> Args) const {
  TDispatchRef Disp{DispatchOf(*this)};
  LPOLESTR Names[] = {const_cast<LPOLESTR>(Name.c_str())};
  DISPID Id = DISPID_UNKNOWN;
  HRESULT Hr = Disp.P->GetIDsOfNames(IID_NULL, Names, 1, LOCALE_USER_DEFAULT, &Id);
  if (FAILED(Hr)) {
    TExcepInfo None;
    RaiseDispatchError(Hr, None, Name);
  }
  switch (Kind) {
    case dkPropertyGet: return Invoke(Disp.P, Id, DISPATCH_PROPERTYGET, Name, Args, true);
    case dkPropertyPut: {
      // An object is assigned by reference where the member takes it so, else by value.
      if (VarToOleUnknown(*(Args.end() - 1))) {
        try {
          return Invoke(Disp.P, Id, DISPATCH_PROPERTYPUTREF, Name, Args, false);
        } catch (const EOleSysError& E) {
          if (E.ErrorCode != Integer(DISP_E_MEMBERNOTFOUND)) throw;
        }
      }
      return Invoke(Disp.P, Id, DISPATCH_PROPERTYPUT, Name, Args, false);
    }
    case dkFunction: return Invoke(Disp.P, Id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, Name, Args, true);
    case dkProcedure: return Invoke(Disp.P, Id, DISPATCH_METHOD, Name, Args, false);
  }
  return Unassigned;
}

TOleEnum::TOleEnum(const Variant& Collection) {
  TDispatchRef Disp{DispatchOf(Collection)};
  DISPPARAMS None{};
  VARIANT Result;
  VariantInit(&Result);
  TExcepInfo Info;
  HRESULT Hr = Disp.P->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              &None, &Result, &Info, nullptr);
  if (FAILED(Hr)) RaiseDispatchError(Hr, Info, L"_NewEnum");
  IUnknown* U = (Result.vt == VT_UNKNOWN || Result.vt == VT_DISPATCH) ? Result.punkVal : nullptr;
  IEnumVARIANT* E = nullptr;
  Hr = U ? U->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&E)) : E_NOINTERFACE;
  VariantClear(&Result);
  OleCheck(Hr);
  FEnumerator = Variant::FromOleUnknown(E);
  E->Release();
}

bool TOleEnum::MoveNext() {
  auto* E = static_cast<IEnumVARIANT*>(VarToOleUnknown(FEnumerator));
  if (!E) return false;
  VARIANT Item;
  VariantInit(&Item);
  ULONG Fetched = 0;
  HRESULT Hr = E->Next(1, &Item, &Fetched);
  if (Hr != S_OK || Fetched != 1) {
    VariantClear(&Item);
    FCurrent = Unassigned;
    FEnumerator = Unassigned;  // the end: later calls answer false without asking again
    OleCheck(Hr);
    return false;
  }
  try {
    FCurrent = OleToVariant(Item);
  } catch (...) {
    VariantClear(&Item);
    throw;
  }
  VariantClear(&Item);
  return true;
}
