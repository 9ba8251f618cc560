// A COM server of our own for the tests, in place of the firewall and WMI objects, which Wine
// does not implement. DllRegisterServer registers it under the programmatic ids
// "HNetCfg.FwMgr", "HNetCfg.FWOpenPort", "WbemScripting.SWbemLocator" and the moniker prefix
// "winmgmts" in place of the system's own classes; DllUnregisterServer puts those back. It works
// in the folder named by the environment variable QAL_COM_STANDIN:
//   calls.log     one UTF-8 line for every call that changes something (written by the stand-in)
//   adapters.txt  the network adapters WMI reports, read at every connection and written back
//                 when a method changes one: blocks of Key=Value lines, a blank line between
//                 adapters; keys Description, IPEnabled, IPAddress, IPSubnet, DHCPServer,
//                 DefaultIPGateway (lists separated by ","; "null" or a missing key is Null),
//                 DNSResult and EnableStaticResult (what SetDNSServerSearchOrder and
//                 EnableStatic answer, 0 by default; EnableStatic changes nothing unless 0)
//   fail.txt      names one member ("GloballyOpenPorts.Add", "FWOpenPort.Port"...) that raises
//                 "access denied" as the real objects do without administrator rights
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using std::wstring;

// Fresh identities of the stand-in's classes.
const CLSID CLSID_StandinFwMgr = {0xD7EFB299, 0x7886, 0x42F2, {0xAB, 0x32, 0x20, 0x2E, 0x40, 0xF6, 0xDD, 0x87}};
const CLSID CLSID_StandinFwOpenPort = {0x15D8CEDB, 0xEAD5, 0x4110, {0xA0, 0xC6, 0x03, 0xEC, 0x3D, 0x1D, 0x93, 0x93}};
const CLSID CLSID_StandinLocator = {0x065F0E78, 0xD124, 0x4891, {0x9A, 0x3D, 0x46, 0xEC, 0xCC, 0x2F, 0x22, 0xA3}};
const CLSID CLSID_StandinWinMgmts = {0x17DCFF81, 0x38C4, 0x42BE, {0xA5, 0x68, 0xEC, 0x58, 0x88, 0x33, 0x9C, 0xED}};

const HRESULT WBEM_E_INVALID_QUERY_ = HRESULT(0x80041017);

HMODULE Module = nullptr;
LONG Objects = 0;

// ---- files --------------------------------------------------------------------------------

wstring Folder() {
  wchar_t Buf[MAX_PATH] = {};
  DWORD N = GetEnvironmentVariableW(L"QAL_COM_STANDIN", Buf, MAX_PATH);
  wstring F(Buf, N < MAX_PATH ? N : 0);
  if (!F.empty() && F.back() != L'\\') F += L'\\';
  return F;
}

std::string Utf8(const wstring& S) {
  int N = WideCharToMultiByte(CP_UTF8, 0, S.c_str(), int(S.size()), nullptr, 0, nullptr, nullptr);
  std::string R(size_t(N), '\0');
  WideCharToMultiByte(CP_UTF8, 0, S.c_str(), int(S.size()), R.data(), N, nullptr, nullptr);
  return R;
}

wstring FromUtf8(const std::string& S) {
  int N = MultiByteToWideChar(CP_UTF8, 0, S.c_str(), int(S.size()), nullptr, 0);
  wstring R(size_t(N), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, S.c_str(), int(S.size()), R.data(), N);
  return R;
}

bool ReadText(const wstring& Name, wstring& Text) {
  HANDLE F = CreateFileW(Name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (F == INVALID_HANDLE_VALUE) return false;
  std::string Bytes;
  char Buf[4096];
  DWORD Got = 0;
  while (ReadFile(F, Buf, sizeof Buf, &Got, nullptr) && Got) Bytes.append(Buf, Got);
  CloseHandle(F);
  if (Bytes.size() >= 3 && Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) Bytes.erase(0, 3);
  Text = FromUtf8(Bytes);
  return true;
}

void WriteText(const wstring& Name, const wstring& Text, bool Append) {
  HANDLE F = CreateFileW(Name.c_str(), Append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, Append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (F == INVALID_HANDLE_VALUE) return;
  std::string Bytes = Utf8(Text);
  DWORD Written = 0;
  WriteFile(F, Bytes.data(), DWORD(Bytes.size()), &Written, nullptr);
  CloseHandle(F);
}

void Record(const wstring& Line) {
  if (!Folder().empty()) WriteText(Folder() + L"calls.log", Line + L"\r\n", true);
}

bool Refused(const wstring& Member) {
  wstring Text;
  if (!ReadText(Folder() + L"fail.txt", Text)) return false;
  while (!Text.empty() && std::iswspace(Text.back())) Text.pop_back();
  return Text == Member;
}

// ---- variants -----------------------------------------------------------------------------

struct TVar {
  VARIANT V;
  TVar() { VariantInit(&V); }
  TVar(const TVar& O) {
    VariantInit(&V);
    VariantCopy(&V, const_cast<VARIANT*>(&O.V));
  }
  explicit TVar(const VARIANT& O) {
    VariantInit(&V);
    VariantCopyInd(&V, const_cast<VARIANT*>(&O));
  }
  TVar& operator=(const TVar& O) {
    if (this != &O) VariantCopy(&V, const_cast<VARIANT*>(&O.V));
    return *this;
  }
  ~TVar() { VariantClear(&V); }
  static TVar Str(const wstring& S) {
    TVar R;
    R.V.vt = VT_BSTR;
    R.V.bstrVal = SysAllocStringLen(S.data(), UINT(S.size()));
    return R;
  }
  static TVar Int(LONG I) {
    TVar R;
    R.V.vt = VT_I4;
    R.V.lVal = I;
    return R;
  }
  static TVar Bool(bool B) {
    TVar R;
    R.V.vt = VT_BOOL;
    R.V.boolVal = B ? VARIANT_TRUE : VARIANT_FALSE;
    return R;
  }
  static TVar Null() {
    TVar R;
    R.V.vt = VT_NULL;
    return R;
  }
  static TVar Strings(const std::vector<wstring>& Items) {
    TVar R;
    SAFEARRAY* A = SafeArrayCreateVector(VT_BSTR, 0, ULONG(Items.size()));
    for (LONG I = 0; I < LONG(Items.size()); ++I) {
      BSTR B = SysAllocString(Items[size_t(I)].c_str());
      SafeArrayPutElement(A, &I, B);
      SysFreeString(B);
    }
    R.V.vt = VT_ARRAY | VT_BSTR;
    R.V.parray = A;
    return R;
  }
  static TVar Object(IDispatch* D) {  // takes over the reference
    TVar R;
    R.V.vt = VT_DISPATCH;
    R.V.pdispVal = D;
    return R;
  }
  bool IsNull() const { return V.vt == VT_NULL || V.vt == VT_EMPTY; }
};

wstring Text(const VARIANT& V);

// The elements of a string array (or an array of variants), as texts.
std::vector<wstring> Elements(const VARIANT& V) {
  std::vector<wstring> R;
  if (!(V.vt & VT_ARRAY) || !V.parray) return R;
  LONG Lo = 0, Hi = -1;
  SafeArrayGetLBound(V.parray, 1, &Lo);
  SafeArrayGetUBound(V.parray, 1, &Hi);
  for (LONG I = Lo; I <= Hi; ++I) {
    if ((V.vt & VT_TYPEMASK) == VT_BSTR) {
      BSTR B = nullptr;
      SafeArrayGetElement(V.parray, &I, &B);
      R.push_back(B ? wstring(B, SysStringLen(B)) : wstring());
      SysFreeString(B);
    } else if ((V.vt & VT_TYPEMASK) == VT_VARIANT) {
      VARIANT E;
      VariantInit(&E);
      SafeArrayGetElement(V.parray, &I, &E);
      R.push_back(Text(E));
      VariantClear(&E);
    }
  }
  return R;
}

// How an argument is written to the log: a string array as [a,b]; any other array names its
// element type, so a test sees what travelled.
wstring Text(const VARIANT& V) {
  if (V.vt == (VT_BYREF | VT_VARIANT)) return Text(*V.pvarVal);
  if (V.vt & VT_ARRAY) {
    std::vector<wstring> E = Elements(V);
    wstring R = (V.vt & VT_TYPEMASK) == VT_BSTR ? L"[" : L"array of " + std::to_wstring(V.vt & VT_TYPEMASK) + L"[";
    for (size_t I = 0; I < E.size(); ++I) R += (I ? L"," : L"") + E[I];
    return R + L"]";
  }
  switch (V.vt) {
    case VT_EMPTY: return L"empty";
    case VT_NULL: return L"null";
    case VT_ERROR: return L"missing";
    case VT_BOOL: return V.boolVal ? L"True" : L"False";
    case VT_DISPATCH: return L"object";
    case VT_BSTR: return V.bstrVal ? wstring(V.bstrVal, SysStringLen(V.bstrVal)) : wstring();
    default: {
      VARIANT S;
      VariantInit(&S);
      wstring R = L"?";
      if (SUCCEEDED(VariantChangeType(&S, const_cast<VARIANT*>(&V), 0, VT_BSTR))) R = wstring(S.bstrVal, SysStringLen(S.bstrVal));
      VariantClear(&S);
      return R;
    }
  }
}

bool SameName(const wstring& A, const wstring& B) {
  return CompareStringOrdinal(A.c_str(), int(A.size()), B.c_str(), int(B.size()), TRUE) == CSTR_EQUAL;
}

// ---- the generic automation object ---------------------------------------------------------

// Every member name the stand-in has seen gets one dispatch id, shared by all objects.
std::vector<wstring>& Names() {
  static std::vector<wstring> N;
  return N;
}
DISPID IdOf(const wstring& Name) {
  auto& N = Names();
  for (size_t I = 0; I < N.size(); ++I)
    if (SameName(N[I], Name)) return DISPID(I + 1);
  N.push_back(Name);
  return DISPID(N.size());
}

class TEnum;

// An automation object with named properties and methods. A method gets the arguments in the
// caller's order and answers its result or a failed HRESULT.
class TObject : public IDispatch {
 public:
  using TMethod = std::function<HRESULT(std::vector<TVar>& Args, TVar& Result)>;

  explicit TObject(wstring AKind) : Kind(std::move(AKind)) { InterlockedIncrement(&Objects); }
  virtual ~TObject() { InterlockedDecrement(&Objects); }

  wstring Kind;
  std::map<wstring, TVar> Props;  // names as first set
  std::map<wstring, TMethod> Methods;
  std::vector<TVar> Items;  // a collection's items, walked by _NewEnum
  bool Collection = false;

  TVar* Prop(const wstring& Name) {
    for (auto& P : Props)
      if (SameName(P.first, Name)) return &P.second;
    return nullptr;
  }
  const TMethod* Method(const wstring& Name) {
    for (auto& M : Methods)
      if (SameName(M.first, Name)) return &M.second;
    return nullptr;
  }

  HRESULT __stdcall QueryInterface(REFIID Iid, void** Out) override {
    if (Iid == IID_IUnknown || Iid == IID_IDispatch) {
      *Out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return ULONG(InterlockedIncrement(&FRefs)); }
  ULONG __stdcall Release() override {
    LONG R = InterlockedDecrement(&FRefs);
    if (R == 0) delete this;
    return ULONG(R);
  }
  HRESULT __stdcall GetTypeInfoCount(UINT* Count) override {
    *Count = 0;
    return S_OK;
  }
  HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* Ask, UINT Count, LCID, DISPID* Ids) override {
    HRESULT Hr = S_OK;
    for (UINT I = 0; I < Count; ++I) {
      wstring Name = Ask[I];
      if (Prop(Name) || Method(Name) || (Collection && SameName(Name, L"Count"))) {
        Ids[I] = IdOf(Name);
      } else {
        Ids[I] = DISPID_UNKNOWN;
        Hr = DISP_E_UNKNOWNNAME;
      }
    }
    return Hr;
  }
  HRESULT __stdcall Invoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                           EXCEPINFO* Info, UINT*) override;

  HRESULT Fail(EXCEPINFO* Info, HRESULT Code, const wchar_t* Description) {
    if (Info) {
      *Info = EXCEPINFO{};
      Info->scode = Code;
      Info->bstrSource = SysAllocString(Kind.c_str());
      if (Description) Info->bstrDescription = SysAllocString(Description);
    }
    return DISP_E_EXCEPTION;
  }

 private:
  LONG FRefs = 1;
};

class TEnum : public IEnumVARIANT {
 public:
  explicit TEnum(std::vector<TVar> AItems) : FItems(std::move(AItems)) { InterlockedIncrement(&Objects); }
  virtual ~TEnum() { InterlockedDecrement(&Objects); }
  HRESULT __stdcall QueryInterface(REFIID Iid, void** Out) override {
    if (Iid == IID_IUnknown || Iid == IID_IEnumVARIANT) {
      *Out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return ULONG(InterlockedIncrement(&FRefs)); }
  ULONG __stdcall Release() override {
    LONG R = InterlockedDecrement(&FRefs);
    if (R == 0) delete this;
    return ULONG(R);
  }
  HRESULT __stdcall Next(ULONG Count, VARIANT* Out, ULONG* Fetched) override {
    ULONG N = 0;
    for (; N < Count && FPos < FItems.size(); ++N, ++FPos) {
      VariantInit(&Out[N]);
      VariantCopy(&Out[N], const_cast<VARIANT*>(&FItems[FPos].V));
    }
    if (Fetched) *Fetched = N;
    return N == Count ? S_OK : S_FALSE;
  }
  HRESULT __stdcall Skip(ULONG Count) override {
    FPos = std::min(FItems.size(), FPos + Count);
    return FPos < FItems.size() ? S_OK : S_FALSE;
  }
  HRESULT __stdcall Reset() override {
    FPos = 0;
    return S_OK;
  }
  HRESULT __stdcall Clone(IEnumVARIANT** Out) override {
    auto* E = new TEnum(FItems);
    E->FPos = FPos;
    *Out = E;
    return S_OK;
  }

 private:
  std::vector<TVar> FItems;
  size_t FPos = 0;
  LONG FRefs = 1;
};

HRESULT __stdcall TObject::Invoke(DISPID Id, REFIID, LCID, WORD Flags, DISPPARAMS* Params, VARIANT* Result,
                                  EXCEPINFO* Info, UINT*) {
  if (Id == DISPID_NEWENUM && Collection) {
    if (!Result) return E_INVALIDARG;
    VariantInit(Result);
    Result->vt = VT_UNKNOWN;
    Result->punkVal = new TEnum(Items);
    return S_OK;
  }
  if (Id < 1 || size_t(Id) > Names().size()) return DISP_E_MEMBERNOTFOUND;
  const wstring Name = Names()[size_t(Id - 1)];
  std::vector<TVar> Args;
  for (UINT I = Params->cArgs; I-- > Params->cNamedArgs;) Args.emplace_back(Params->rgvarg[I]);

  if (Flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    TVar* P = Prop(Name);
    if (!P || Params->cArgs < 1) return DISP_E_MEMBERNOTFOUND;
    TVar Value(Params->rgvarg[0]);
    if (Refused(Kind + L"." + Name)) return Fail(Info, E_ACCESSDENIED, nullptr);
    *P = Value;
    Record(Kind + L"." + Name + L"=" + Text(Value.V));
    return S_OK;
  }
  if (Collection && SameName(Name, L"Count")) {
    if (Result) {
      VariantInit(Result);
      Result->vt = VT_I4;
      Result->lVal = LONG(Items.size());
    }
    return S_OK;
  }
  if (const TMethod* M = Method(Name)) {
    if (!(Flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (Refused(Kind + L"." + Name)) return Fail(Info, E_ACCESSDENIED, nullptr);
    TVar R;
    TMethod Call = *M;  // the method may change the object's tables
    HRESULT Hr = Call(Args, R);
    if (Hr == WBEM_E_INVALID_QUERY_) return Fail(Info, Hr, L"Invalid query ");
    if (FAILED(Hr)) return Fail(Info, Hr, nullptr);
    if (Result) {
      VariantInit(Result);
      VariantCopy(Result, &R.V);
    }
    return S_OK;
  }
  if (TVar* P = Prop(Name)) {
    if (!(Flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (Result) {
      VariantInit(Result);
      VariantCopy(Result, &P->V);
    }
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

wstring Arg(std::vector<TVar>& Args, size_t I) { return I < Args.size() ? Text(Args[I].V) : L"missing"; }

// ---- the firewall --------------------------------------------------------------------------

TObject* NewOpenPort() {
  auto* P = new TObject(L"FWOpenPort");
  P->Props[L"Name"] = TVar::Str(L"");
  P->Props[L"Protocol"] = TVar::Int(6);
  P->Props[L"Port"] = TVar::Int(0);
  P->Props[L"Scope"] = TVar::Int(0);
  P->Props[L"Enabled"] = TVar::Bool(true);
  return P;
}

TVar Read(IDispatch* D, const wchar_t* Name) {
  TVar R;
  LPOLESTR N = const_cast<LPOLESTR>(Name);
  DISPID Id;
  if (FAILED(D->GetIDsOfNames(IID_NULL, &N, 1, 0, &Id))) return R;
  DISPPARAMS None{};
  D->Invoke(Id, IID_NULL, 0, DISPATCH_PROPERTYGET, &None, &R.V, nullptr, nullptr);
  return R;
}

TObject* NewFwMgr() {
  auto* Ports = new TObject(L"GloballyOpenPorts");
  Ports->Collection = true;
  Ports->Methods[L"Add"] = [Ports](std::vector<TVar>& Args, TVar&) -> HRESULT {
    if (Args.empty() || Args[0].V.vt != VT_DISPATCH || !Args[0].V.pdispVal) return E_INVALIDARG;
    IDispatch* Port = Args[0].V.pdispVal;
    wstring Line = L"GloballyOpenPorts.Add";
    for (const wchar_t* Name : {L"Name", L"Protocol", L"Port", L"Scope", L"Enabled"})
      Line += wstring(L" ") + Name + L"=" + Text(Read(Port, Name).V);
    Record(Line);
    Port->AddRef();
    Ports->Items.push_back(TVar::Object(Port));
    return S_OK;
  };
  auto* Profile = new TObject(L"CurrentProfile");
  Profile->Props[L"GloballyOpenPorts"] = TVar::Object(Ports);
  auto* Policy = new TObject(L"LocalPolicy");
  Policy->Props[L"CurrentProfile"] = TVar::Object(Profile);
  auto* Mgr = new TObject(L"FwMgr");
  Mgr->Props[L"LocalPolicy"] = TVar::Object(Policy);
  return Mgr;
}

// ---- WMI -----------------------------------------------------------------------------------

struct TAdapter {
  std::vector<std::pair<wstring, wstring>> Keys;  // in file order
  wstring Get(const wstring& K) const {
    for (auto& P : Keys)
      if (SameName(P.first, K)) return P.second;
    return L"null";
  }
  void Set(const wstring& K, const wstring& V) {
    for (auto& P : Keys)
      if (SameName(P.first, K)) {
        P.second = V;
        return;
      }
    Keys.emplace_back(K, V);
  }
};

std::vector<wstring> Split(const wstring& S) {
  std::vector<wstring> R;
  size_t Start = 0;
  while (Start <= S.size()) {
    size_t End = S.find(L',', Start);
    if (End == wstring::npos) End = S.size();
    R.push_back(S.substr(Start, End - Start));
    Start = End + 1;
  }
  return R;
}

wstring Join(const std::vector<wstring>& Items) {
  wstring R;
  for (size_t I = 0; I < Items.size(); ++I) R += (I ? L"," : L"") + Items[I];
  return R;
}

std::vector<TAdapter> LoadAdapters() {
  std::vector<TAdapter> R;
  wstring Text;
  if (!ReadText(Folder() + L"adapters.txt", Text)) return R;
  TAdapter Cur;
  size_t Start = 0;
  while (Start <= Text.size()) {
    size_t End = Text.find(L'\n', Start);
    if (End == wstring::npos) End = Text.size();
    wstring Line = Text.substr(Start, End - Start);
    if (!Line.empty() && Line.back() == L'\r') Line.pop_back();
    size_t Eq = Line.find(L'=');
    if (Line.empty()) {
      if (!Cur.Keys.empty()) R.push_back(Cur);
      Cur = TAdapter();
    } else if (Eq != wstring::npos) {
      Cur.Set(Line.substr(0, Eq), Line.substr(Eq + 1));
    }
    Start = End + 1;
  }
  if (!Cur.Keys.empty()) R.push_back(Cur);
  return R;
}

void SaveAdapters(const std::vector<TAdapter>& All) {
  wstring Text;
  for (const TAdapter& A : All) {
    for (auto& P : A.Keys) Text += P.first + L"=" + P.second + L"\r\n";
    Text += L"\r\n";
  }
  WriteText(Folder() + L"adapters.txt", Text, false);
}

bool IsListKey(const wstring& K) {
  return SameName(K, L"IPAddress") || SameName(K, L"IPSubnet") || SameName(K, L"DefaultIPGateway") ||
         SameName(K, L"DNSServerSearchOrder");
}

TVar ValueOf(const wstring& Key, const wstring& V) {
  if (V == L"null") return TVar::Null();
  if (IsListKey(Key)) return TVar::Strings(Split(V));
  if (SameName(Key, L"IPEnabled") || SameName(Key, L"DHCPEnabled")) return TVar::Bool(SameName(V, L"True"));
  return TVar::Str(V);
}

// One adapter as a WMI object; Index is its place in adapters.txt, where its changes go.
TObject* NewAdapterObject(const TAdapter& A, size_t Index) {
  auto* O = new TObject(L"Win32_NetworkAdapterConfiguration");
  for (const wchar_t* K : {L"Description", L"IPEnabled", L"IPAddress", L"IPSubnet", L"DHCPServer", L"DHCPEnabled",
                           L"DefaultIPGateway", L"DNSServerSearchOrder"})
    O->Props[K] = ValueOf(K, A.Get(K));
  const wstring Desc = A.Get(L"Description");
  auto Change = [Index](const std::function<void(TAdapter&)>& Edit) {
    std::vector<TAdapter> All = LoadAdapters();
    if (Index < All.size()) {
      Edit(All[Index]);
      SaveAdapters(All);
    }
  };
  const wstring StaticResult = A.Get(L"EnableStaticResult");
  O->Methods[L"EnableStatic"] = [Desc, Change, StaticResult](std::vector<TVar>& Args, TVar& R) -> HRESULT {
    Record(L"EnableStatic " + Desc + L" IPAddress=" + Arg(Args, 0) + L" SubnetMask=" + Arg(Args, 1));
    if (Args.size() < 2) return DISP_E_BADPARAMCOUNT;
    if (StaticResult != L"null" && _wtol(StaticResult.c_str()) != 0) {
      R = TVar::Int(_wtol(StaticResult.c_str()));
      return S_OK;
    }
    std::vector<wstring> Addr = Elements(Args[0].V), Mask = Elements(Args[1].V);
    Change([&](TAdapter& A) {
      A.Set(L"IPAddress", Join(Addr));
      A.Set(L"IPSubnet", Join(Mask));
      A.Set(L"DHCPServer", L"null");
      A.Set(L"DHCPEnabled", L"False");
    });
    R = TVar::Int(0);
    return S_OK;
  };
  O->Methods[L"SetGateways"] = [Desc, Change](std::vector<TVar>& Args, TVar& R) -> HRESULT {
    Record(L"SetGateways " + Desc + L" " + Arg(Args, 0));
    if (Args.empty()) return DISP_E_BADPARAMCOUNT;
    std::vector<wstring> Gw = Elements(Args[0].V);
    Change([&](TAdapter& A) { A.Set(L"DefaultIPGateway", Gw.empty() ? L"null" : Join(Gw)); });
    R = TVar::Int(0);
    return S_OK;
  };
  const wstring DnsResult = A.Get(L"DNSResult");
  O->Methods[L"SetDNSServerSearchOrder"] = [Desc, Change, DnsResult](std::vector<TVar>& Args, TVar& R) -> HRESULT {
    LONG Answer = DnsResult == L"null" ? 0 : _wtol(DnsResult.c_str());
    Record(L"SetDNSServerSearchOrder " + Desc + L" " + Arg(Args, 0) + L" -> " + std::to_wstring(Answer));
    if (Answer == 0 && !Args.empty()) {
      std::vector<wstring> Dns = Elements(Args[0].V);
      Change([&](TAdapter& A) { A.Set(L"DNSServerSearchOrder", Join(Dns)); });
    }
    R = TVar::Int(Answer);
    return S_OK;
  };
  return O;
}

// The WQL the wizard writes: SELECT * FROM class [WHERE property = literal]. A string literal
// is in double or single quotes, with \\, \" and \' as its only escapes, as WMI reads it.
struct TQuery {
  wstring Class, Property, Value;
  bool HasWhere = false;
};

bool ParseWql(const wstring& Q, TQuery& Out) {
  size_t P = 0;
  auto SkipBlanks = [&] {
    while (P < Q.size() && std::iswspace(Q[P])) ++P;
  };
  auto Word = [&]() {
    SkipBlanks();
    size_t S = P;
    while (P < Q.size() && (std::iswalnum(Q[P]) || Q[P] == L'_' || Q[P] == L'*')) ++P;
    return Q.substr(S, P - S);
  };
  if (!SameName(Word(), L"SELECT") || Word() != L"*" || !SameName(Word(), L"FROM")) return false;
  Out.Class = Word();
  if (Out.Class.empty()) return false;
  SkipBlanks();
  if (P == Q.size()) return true;
  if (!SameName(Word(), L"WHERE")) return false;
  Out.HasWhere = true;
  Out.Property = Word();
  SkipBlanks();
  if (P >= Q.size() || Q[P] != L'=') return false;
  ++P;
  SkipBlanks();
  if (P < Q.size() && (Q[P] == L'"' || Q[P] == L'\'')) {
    wchar_t Quote = Q[P++];
    for (;;) {
      if (P >= Q.size()) return false;
      wchar_t C = Q[P++];
      if (C == Quote) break;
      if (C == L'\\') {
        if (P >= Q.size() || (Q[P] != L'\\' && Q[P] != L'"' && Q[P] != L'\'')) return false;
        C = Q[P++];
      }
      Out.Value += C;
    }
  } else {
    Out.Value = Word();
    if (Out.Value.empty()) return false;
  }
  SkipBlanks();
  return P == Q.size();
}

TObject* NewServices() {
  auto* S = new TObject(L"SWbemServices");
  S->Methods[L"ExecQuery"] = [](std::vector<TVar>& Args, TVar& R) -> HRESULT {
    wstring Wql = Arg(Args, 0);
    Record(L"ExecQuery " + Wql);
    TQuery Q;
    if (!ParseWql(Wql, Q)) return WBEM_E_INVALID_QUERY_;
    auto* Set = new TObject(L"SWbemObjectSet");
    Set->Collection = true;
    if (SameName(Q.Class, L"Win32_NetworkAdapterConfiguration")) {
      std::vector<TAdapter> All = LoadAdapters();
      for (size_t I = 0; I < All.size(); ++I) {
        const TAdapter& A = All[I];
        if (Q.HasWhere) {
          wstring V = A.Get(Q.Property);
          bool Match = SameName(Q.Property, L"IPEnabled") ? SameName(V, Q.Value) : V == Q.Value;
          if (!Match) continue;
        }
        Set->Items.push_back(TVar::Object(NewAdapterObject(A, I)));
      }
    }
    R = TVar::Object(Set);
    return S_OK;
  };
  return S;
}

TObject* NewLocator() {
  auto* L = new TObject(L"SWbemLocator");
  L->Methods[L"ConnectServer"] = [](std::vector<TVar>& Args, TVar& R) -> HRESULT {
    Record(L"ConnectServer " + Arg(Args, 0) + L" " + Arg(Args, 1));
    R = TVar::Object(NewServices());
    return S_OK;
  };
  return L;
}

// ---- the "winmgmts:" moniker ---------------------------------------------------------------

class TMoniker : public IMoniker {
 public:
  explicit TMoniker(wstring AName) : FName(std::move(AName)) { InterlockedIncrement(&Objects); }
  virtual ~TMoniker() { InterlockedDecrement(&Objects); }
  HRESULT __stdcall QueryInterface(REFIID Iid, void** Out) override {
    if (Iid == IID_IUnknown || Iid == IID_IPersist || Iid == IID_IPersistStream || Iid == IID_IMoniker) {
      *Out = static_cast<IMoniker*>(this);
      AddRef();
      return S_OK;
    }
    *Out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG __stdcall AddRef() override { return ULONG(InterlockedIncrement(&FRefs)); }
  ULONG __stdcall Release() override {
    LONG R = InterlockedDecrement(&FRefs);
    if (R == 0) delete this;
    return ULONG(R);
  }
  HRESULT __stdcall GetClassID(CLSID* Id) override {
    *Id = CLSID_StandinWinMgmts;
    return S_OK;
  }
  HRESULT __stdcall IsDirty() override { return S_FALSE; }
  HRESULT __stdcall Load(IStream*) override { return E_NOTIMPL; }
  HRESULT __stdcall Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT __stdcall GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT __stdcall BindToObject(IBindCtx*, IMoniker*, REFIID Iid, void** Out) override {
    Record(L"GetObject " + FName);
    TObject* S = NewServices();
    HRESULT Hr = S->QueryInterface(Iid, Out);
    S->Release();
    return Hr;
  }
  HRESULT __stdcall BindToStorage(IBindCtx*, IMoniker*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT __stdcall Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** Reduced) override {
    *Reduced = nullptr;
    return MK_S_REDUCED_TO_SELF;
  }
  HRESULT __stdcall ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
  HRESULT __stdcall Enum(BOOL, IEnumMoniker** Out) override {
    *Out = nullptr;
    return S_OK;
  }
  HRESULT __stdcall IsEqual(IMoniker* Other) override { return Other == this ? S_OK : S_FALSE; }
  HRESULT __stdcall Hash(DWORD* Out) override {
    *Out = 0;
    return S_OK;
  }
  HRESULT __stdcall IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return S_FALSE; }
  HRESULT __stdcall GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  HRESULT __stdcall Inverse(IMoniker**) override { return E_NOTIMPL; }
  HRESULT __stdcall CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT __stdcall RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT __stdcall GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* Out) override {
    *Out = static_cast<LPOLESTR>(CoTaskMemAlloc((FName.size() + 1) * sizeof(wchar_t)));
    if (!*Out) return E_OUTOFMEMORY;
    wcscpy(*Out, FName.c_str());
    return S_OK;
  }
  HRESULT __stdcall ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT __stdcall IsSystemMoniker(DWORD* Kind) override {
    *Kind = MKSYS_NONE;
    return S_FALSE;
  }

 private:
  wstring FName;
  LONG FRefs = 1;
};

// ---- class objects -------------------------------------------------------------------------

class TFactory : public IClassFactory, public IParseDisplayName {
 public:
  explicit TFactory(const CLSID& AId) : FId(AId) {}
  HRESULT __stdcall QueryInterface(REFIID Iid, void** Out) override {
    if (Iid == IID_IUnknown || Iid == IID_IClassFactory) {
      *Out = static_cast<IClassFactory*>(this);
    } else if (Iid == IID_IParseDisplayName && FId == CLSID_StandinWinMgmts) {
      *Out = static_cast<IParseDisplayName*>(this);
    } else {
      *Out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG __stdcall AddRef() override { return ULONG(InterlockedIncrement(&Objects)); }
  ULONG __stdcall Release() override { return ULONG(InterlockedDecrement(&Objects)); }
  HRESULT __stdcall CreateInstance(IUnknown* Outer, REFIID Iid, void** Out) override {
    *Out = nullptr;
    if (Outer) return CLASS_E_NOAGGREGATION;
    if (FId == CLSID_StandinWinMgmts) return QueryInterface(Iid, Out);
    TObject* O = FId == CLSID_StandinFwMgr      ? NewFwMgr()
                 : FId == CLSID_StandinFwOpenPort ? NewOpenPort()
                                                  : NewLocator();
    HRESULT Hr = O->QueryInterface(Iid, Out);
    O->Release();
    return Hr;
  }
  HRESULT __stdcall LockServer(BOOL Lock) override {
    if (Lock) InterlockedIncrement(&Objects);
    else InterlockedDecrement(&Objects);
    return S_OK;
  }
  HRESULT __stdcall ParseDisplayName(IBindCtx*, LPOLESTR Name, ULONG* Eaten, IMoniker** Out) override {
    *Out = new TMoniker(Name);
    *Eaten = ULONG(wcslen(Name));
    return S_OK;
  }

 private:
  CLSID FId;
};

struct TClassEntry {
  const CLSID* Id;
  const wchar_t* ProgId;
};
const TClassEntry Classes[] = {
    {&CLSID_StandinFwMgr, L"HNetCfg.FwMgr"},
    {&CLSID_StandinFwOpenPort, L"HNetCfg.FWOpenPort"},
    {&CLSID_StandinLocator, L"WbemScripting.SWbemLocator"},
    {&CLSID_StandinWinMgmts, L"winmgmts"},
};

wstring GuidText(const CLSID& Id) {
  wchar_t Buf[64];
  StringFromGUID2(Id, Buf, 64);
  return Buf;
}

LONG SetValue(const wstring& Key, const wchar_t* Name, const wstring& Value) {
  HKEY K;
  LONG R = RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &K, nullptr);
  if (R != ERROR_SUCCESS) return R;
  R = RegSetValueExW(K, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                     DWORD((Value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(K);
  return R;
}

wstring GetValue(const wstring& Key, const wchar_t* Name) {
  wchar_t Buf[256] = {};
  DWORD Size = sizeof Buf - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, Key.c_str(), Name, RRF_RT_REG_SZ, nullptr, Buf, &Size) != ERROR_SUCCESS)
    return L"";
  return Buf;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, void*) {
  if (Reason == DLL_PROCESS_ATTACH) Module = Instance;
  return TRUE;
}

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID Id, REFIID Iid, void** Out) {
  for (const TClassEntry& C : Classes)
    if (Id == *C.Id) {
      static TFactory* Factories[4] = {};
      size_t I = size_t(&C - Classes);
      if (!Factories[I]) Factories[I] = new TFactory(Id);
      return Factories[I]->QueryInterface(Iid, Out);
    }
  *Out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return Objects == 0 ? S_OK : S_FALSE; }

// Wine reads classes from the machine's registry only, so the stand-in takes the programmatic ids
// over there; the class each one named before is kept beside the stand-in's own class and put
// back by DllUnregisterServer.
__declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  wchar_t Path[MAX_PATH];
  GetModuleFileNameW(Module, Path, MAX_PATH);
  for (const TClassEntry& C : Classes) {
    const wstring Clsid = L"Software\\Classes\\CLSID\\" + GuidText(*C.Id);
    const wstring Prog = L"Software\\Classes\\" + wstring(C.ProgId);
    const wstring Before = GetValue(Prog + L"\\CLSID", nullptr);
    if (Before != GuidText(*C.Id) && SetValue(Clsid, L"Replaced", Before)) return E_FAIL;
    if (SetValue(Clsid, nullptr, wstring(L"Qal stand-in ") + C.ProgId) ||
        SetValue(Clsid + L"\\InprocServer32", nullptr, Path) ||
        SetValue(Clsid + L"\\InprocServer32", L"ThreadingModel", L"Both") ||
        SetValue(Clsid + L"\\ProgID", nullptr, C.ProgId) || SetValue(Prog + L"\\CLSID", nullptr, GuidText(*C.Id)))
      return E_FAIL;
  }
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  for (const TClassEntry& C : Classes) {
    const wstring Clsid = L"Software\\Classes\\CLSID\\" + GuidText(*C.Id);
    const wstring Prog = L"Software\\Classes\\" + wstring(C.ProgId);
    const wstring Before = GetValue(Clsid, L"Replaced");
    if (GetValue(Prog + L"\\CLSID", nullptr) == GuidText(*C.Id)) {
      if (Before.empty()) RegDeleteTreeW(HKEY_LOCAL_MACHINE, Prog.c_str());
      else SetValue(Prog + L"\\CLSID", nullptr, Before);
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, Clsid.c_str());
  }
  return S_OK;
}

}  // extern "C"
