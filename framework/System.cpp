#include "framework/System.h"

#include <cfenv>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>

#include "framework/WinShell.h"

// ---- Text -------------------------------------------------------------------------------------

String Copy(const String& S, Integer Index, Integer Count) {
  Integer Len = Length(S);
  if (Index < 1) Index = 1;
  if (Count <= 0 || Index > Len) return String();
  Int64 Avail = Int64(Len) - Index + 1;
  return S.substr(Index - 1, static_cast<size_t>(Count < Avail ? Count : Avail));
}

Integer CompareIdent(std::wstring_view A, std::wstring_view B) {
  size_t N = std::min(A.size(), B.size());
  for (size_t I = 0; I < N; ++I) {
    Char X = UpCase(A[I]), Y = UpCase(B[I]);
    if (X != Y) return Integer(X) - Integer(Y);
  }
  return A.size() < B.size() ? -1 : (A.size() > B.size() ? 1 : 0);
}

Integer Pos(const String& SubStr, const String& S, Integer Offset) {
  if (SubStr.empty() || Offset < 1 || Offset > Length(S)) return 0;
  size_t P = S.find(SubStr, Offset - 1);
  return P == String::npos ? 0 : Integer(P) + 1;
}

Integer Pos(Char C, const String& S, Integer Offset) {
  if (Offset < 1 || Offset > Length(S)) return 0;
  size_t P = S.find(C, Offset - 1);
  return P == String::npos ? 0 : Integer(P) + 1;
}

void Delete(String& S, Integer Index, Integer Count) {
  Integer Len = Length(S);
  if (Index < 1 || Index > Len || Count <= 0) return;
  S.erase(Index - 1, static_cast<size_t>(Count));
}

void Insert(const String& Source, String& S, Integer Index) {
  if (Source.empty()) return;
  if (Index < 1) Index = 1;
  if (Index > Length(S) + 1) Index = Length(S) + 1;
  S.insert(Index - 1, Source);
}

String StringOfChar(Char C, Integer Count) { return Count > 0 ? String(Count, C) : String(); }

std::string UTF8Encode(const String& S) {
  if (S.empty()) return std::string();
  int N = WideCharToMultiByte(CP_UTF8, 0, S.data(), Length(S), nullptr, 0, nullptr, nullptr);
  std::string R(N, '\0');
  WideCharToMultiByte(CP_UTF8, 0, S.data(), Length(S), R.data(), N, nullptr, nullptr);
  return R;
}

String UTF8ToString(const std::string& S) {
  if (S.empty()) return String();
  int N = MultiByteToWideChar(CP_UTF8, 0, S.data(), int(S.size()), nullptr, 0);
  String R(N, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, S.data(), int(S.size()), R.data(), N);
  return R;
}

// ---- Numerics ---------------------------------------------------------------------------------

Int64 Round(Extended X) {
  if (!std::isfinite(X) || X >= 9.2233720368547758e18L || X <= -9.2233720368547758e18L)
    throw EInvalidOp(L"Invalid floating point operation");
  Extended I = std::floor(X);
  Extended D = X - I;
  if (D > 0.5L || (D == 0.5L && std::fmod(I, 2.0L) != 0)) I += 1;
  return static_cast<Int64>(I);
}

Int64 Trunc(Extended X) {
  if (!std::isfinite(X) || X >= 9.2233720368547758e18L || X <= -9.2233720368547758e18L)
    throw EInvalidOp(L"Invalid floating point operation");
  return static_cast<Int64>(X);
}

Extended Frac(Extended X) { return X - std::trunc(X); }
Extended Int(Extended X) { return std::trunc(X); }

// ---- Currency ---------------------------------------------------------------------------------

Currency::Currency(double V) : Currency(static_cast<long double>(V)) {}

Currency::Currency(long double V) {
  long double Scaled = V * 10000.0L;
  if (!std::isfinite(Scaled) || Scaled >= 9.2233720368547758e18L || Scaled <= -9.2233720368547758e18L)
    throw EOverflow(L"Floating point overflow");
  FValue = ::Round(Scaled);
}

Currency Currency::operator*(Currency R) const {
  long double P = (long double)FValue * (long double)R.FValue / 10000.0L;
  if (P >= 9.2233720368547758e18L || P <= -9.2233720368547758e18L) throw EOverflow(L"Floating point overflow");
  return FromRaw(::Round(P));
}

Currency Currency::operator/(Currency R) const {
  if (R.FValue == 0) throw EZeroDivide(L"Floating point division by zero");
  long double Q = (long double)FValue * 10000.0L / (long double)R.FValue;
  if (Q >= 9.2233720368547758e18L || Q <= -9.2233720368547758e18L) throw EOverflow(L"Floating point overflow");
  return FromRaw(::Round(Q));
}

// ---- Object model -----------------------------------------------------------------------------

bool TMetaClass::InheritsFrom(const TMetaClass* AClass) const {
  for (const TMetaClass* C = this; C; C = C->FParent)
    if (C == AClass) return true;
  return false;
}

TClass TObject::StaticClass() {
  static const TMetaClass Meta(L"TObject", nullptr, fw_detail::Factory<TObject, TCtorArgs>::Get(),
                               &typeid(TCtorArgs), typeid(TObject));
  return &Meta;
}

void RaiseAbstractClass(TClass AClass) {
  throw EAbstractError(L"Cannot create instance of abstract class " + (AClass ? AClass->ClassName() : String(L"nil")));
}

void RaiseFactoryMismatch(TClass AClass) {
  throw EInvalidCast(L"Class " + AClass->ClassName() + L" is not made by this kind of class reference");
}

void RaiseInvalidCast() { throw EInvalidCast(L"Invalid class typecast"); }
void RaiseIntfCast() { throw EIntfCastError(L"Interface not supported"); }

// Calling an unassigned closure is a programming error, reported as std::function reports it.
void fw_closure::RaiseEmptyClosure() { throw std::bad_function_call(); }

Integer TInterfacedObject::_AddRef() { return ++FRefCount; }

Integer TInterfacedObject::_Release() {
  Integer R = --FRefCount;
  if (R == 0) delete this;
  return R;
}

// ---- Exceptions -------------------------------------------------------------------------------

const char* Exception::what() const noexcept {
  try {
    FWhat = UTF8Encode(FMessage);
  } catch (...) {
    return "Exception";
  }
  return FWhat.c_str();
}

void Abort() { throw EAbort(L"Operation aborted"); }

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

void RaiseLastOSError(Cardinal Code) {
  String Msg;
  if (Code != 0) {
    wchar_t* Buf = nullptr;
    DWORD N = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                 FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buf), 0, nullptr);
    if (Buf) {
      Msg.assign(Buf, N);
      LocalFree(Buf);
    }
    while (!Msg.empty() && (Msg.back() == L'\n' || Msg.back() == L'\r' || Msg.back() == L' ' || Msg.back() == L'.'))
      Msg.pop_back();
    Msg = L"System Error.  Code: " + std::to_wstring(Code) + L".\r\n" + Msg;
  } else {
    Msg = L"A call to an OS function failed";
  }
  EOSError E(Msg);
  E.ErrorCode = Code;
  throw E;
}

void AbstractError(const String& Operation) { throw EAbstractError(L"Abstract error: " + Operation); }

// ---- Program arguments ------------------------------------------------------------------------

namespace {
std::vector<String>& Args() {
  static std::vector<String> A = [] {
    std::vector<String> R;
    int N = 0;
    LPWSTR* V = CommandLineToArgvW(GetCommandLineW(), &N);
    if (V) {
      for (int I = 1; I < N; ++I) R.emplace_back(V[I]);
      LocalFree(V);
    }
    return R;
  }();
  return A;
}
}  // namespace

NativeUInt HInstance() { return reinterpret_cast<NativeUInt>(GetModuleHandleW(nullptr)); }
NativeUInt MainInstance() { return HInstance(); }

String ParamStr(Integer Index) {
  if (Index == 0) {
    wchar_t Buf[MAX_PATH * 4];
    DWORD N = GetModuleFileNameW(nullptr, Buf, DWORD(std::size(Buf)));
    return String(Buf, N);
  }
  auto& A = Args();
  return Index >= 1 && Index <= Integer(A.size()) ? A[Index - 1] : String();
}

Integer ParamCount() { return Integer(Args().size()); }

// ---- Class registry ---------------------------------------------------------------------------

namespace {
struct TClassRegistry {
  std::mutex Lock;
  std::map<String, TClass> ByName;  // keyed by upper-case name: class names match case-insensitively
};
TClassRegistry& ClassRegistry() {
  static TClassRegistry R;
  return R;
}
String Key(const String& S) {
  String K = S;
  for (auto& C : K) C = UpCase(C);
  return K;
}
}  // namespace

void RegisterClass(TClass AClass) {
  auto& R = ClassRegistry();
  std::lock_guard<std::mutex> G(R.Lock);
  R.ByName.emplace(Key(AClass->ClassName()), AClass);
}

void RegisterClasses(std::initializer_list<TClass> Classes) {
  for (TClass C : Classes) RegisterClass(C);
}

void UnRegisterClass(TClass AClass) {
  auto& R = ClassRegistry();
  std::lock_guard<std::mutex> G(R.Lock);
  auto It = R.ByName.find(Key(AClass->ClassName()));
  if (It != R.ByName.end() && It->second == AClass) R.ByName.erase(It);
}

TClass GetClass(const String& ClassName) {
  auto& R = ClassRegistry();
  std::lock_guard<std::mutex> G(R.Lock);
  auto It = R.ByName.find(Key(ClassName));
  return It == R.ByName.end() ? nullptr : It->second;
}

TClass FindClass(const String& ClassName) {
  TClass C = GetClass(ClassName);
  if (!C) throw EClassNotFound(L"Class " + ClassName + L" not found");
  return C;
}
