#include "framework/classes/Streams.h"

#include <algorithm>
#include <cstdlib>

#include "framework/WinApi.h"
#include "framework/sysutils/Encoding.h"

namespace {
constexpr NativeInt MemoryDelta = 0x2000;  // memory streams grow in 8 KB steps
constexpr Integer MaxBufSize = 0xF000;

String SystemText(DWORD Code) {
  wchar_t* Buf = nullptr;
  DWORD N = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buf), 0, nullptr);
  String S;
  if (Buf) {
    S.assign(Buf, N);
    LocalFree(Buf);
  }
  while (!S.empty() && (S.back() == L'\n' || S.back() == L'\r' || S.back() == L' ')) S.pop_back();
  return S;
}

String FullPath(const String& FileName) {
  wchar_t Buf[MAX_PATH * 4];
  DWORD N = GetFullPathNameW(FileName.c_str(), DWORD(std::size(Buf)), Buf, nullptr);
  return N > 0 && N < std::size(Buf) ? String(Buf, N) : FileName;
}
}  // namespace

// ---- TStream ----------------------------------------------------------------------------------

Integer TStream::Read(TBytes& Buffer, Integer Offset, Integer Count) {
  if (Offset < 0 || Count < 0 || Int64(Offset) + Count > Int64(Buffer.size())) return 0;
  return Count ? Read(Buffer.data() + Offset, Count) : 0;
}

Integer TStream::Write(const TBytes& Buffer, Integer Offset, Integer Count) {
  if (Offset < 0 || Count < 0 || Int64(Offset) + Count > Int64(Buffer.size())) return 0;
  return Count ? Write(Buffer.data() + Offset, Count) : 0;
}

void TStream::ReadBuffer(void* Buffer, Integer Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError(L"Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, Integer Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError(L"Stream write error");
}

void TStream::ReadBuffer(TBytes& Buffer, Integer Count) {
  if (Count < 0 || Count > Integer(Buffer.size())) throw EReadError(L"Stream read error");
  ReadBuffer(Buffer.data(), Count);
}

void TStream::WriteBuffer(const TBytes& Buffer, Integer Count) {
  if (Count < 0 || Count > Integer(Buffer.size())) throw EWriteError(L"Stream write error");
  WriteBuffer(Buffer.data(), Count);
}

Int64 TStream::CopyFrom(TStream* Source, Int64 Count) {
  if (Count <= 0) {
    Source->SetPosition(0);
    Count = Source->GetSize();
  }
  Int64 Result = Count;
  std::vector<Byte> Buffer(static_cast<size_t>(std::min<Int64>(Count, MaxBufSize)));
  while (Count != 0) {
    Integer N = static_cast<Integer>(std::min<Int64>(Count, MaxBufSize));
    Source->ReadBuffer(Buffer.data(), N);
    WriteBuffer(Buffer.data(), N);
    Count -= N;
  }
  return Result;
}

Int64 TStream::GetSize() {
  Int64 Pos = Seek(0, soCurrent);
  Int64 Result = Seek(0, soEnd);
  Seek(Pos, soBeginning);
  return Result;
}

void TStream::SetSize(Int64) {}

// ---- THandleStream / TFileStream --------------------------------------------------------------

Integer THandleStream::Read(void* Buffer, Integer Count) {
  DWORD N = 0;
  if (Count < 0 || !ReadFile(reinterpret_cast<HANDLE>(FHandle), Buffer, DWORD(Count), &N, nullptr)) return -1;
  return Integer(N);
}

Integer THandleStream::Write(const void* Buffer, Integer Count) {
  DWORD N = 0;
  if (Count < 0 || !WriteFile(reinterpret_cast<HANDLE>(FHandle), Buffer, DWORD(Count), &N, nullptr)) return -1;
  return Integer(N);
}

Int64 THandleStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  LARGE_INTEGER Dist, NewPos;
  Dist.QuadPart = Offset;
  DWORD Method = Origin == soBeginning ? FILE_BEGIN : Origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(reinterpret_cast<HANDLE>(FHandle), Dist, &NewPos, Method)) return -1;
  return NewPos.QuadPart;
}

void THandleStream::SetSize(Int64 NewSize) {
  Seek(NewSize, soBeginning);
  if (!SetEndOfFile(reinterpret_cast<HANDLE>(FHandle))) RaiseLastOSError();
}

namespace {
HANDLE OpenOrCreate(const String& FileName, Word Mode) {
  static const DWORD ShareModes[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
  unsigned ShareIndex = (Mode & 0xF0) >> 4;
  DWORD Share = ShareIndex < std::size(ShareModes) ? ShareModes[ShareIndex] : 0;
  if ((Mode & fmCreate) == fmCreate)
    return CreateFileW(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, Share, nullptr,
                       (Mode & fmExclusive) ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  static const DWORD Access[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE, 0};
  return CreateFileW(FileName.c_str(), Access[Mode & 3], Share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

TFileStream::TFileStream(const String& AFileName, Word Mode) : TFileStream(AFileName, Mode, 0) {}

TFileStream::TFileStream(const String& AFileName, Word Mode, Cardinal)
    : THandleStream(reinterpret_cast<NativeUInt>(INVALID_HANDLE_VALUE)), FFileName(AFileName) {
  HANDLE H = OpenOrCreate(AFileName, Mode);
  if (H == INVALID_HANDLE_VALUE) {
    String Text = SystemText(GetLastError());
    if ((Mode & fmCreate) == fmCreate)
      throw EFCreateError(L"Cannot create file \"" + FullPath(AFileName) + L"\". " + Text);
    throw EFOpenError(L"Cannot open file \"" + FullPath(AFileName) + L"\". " + Text);
  }
  FHandle = reinterpret_cast<NativeUInt>(H);
}

TFileStream::~TFileStream() {
  if (reinterpret_cast<HANDLE>(FHandle) != INVALID_HANDLE_VALUE) CloseHandle(reinterpret_cast<HANDLE>(FHandle));
}

// ---- TCustomMemoryStream ----------------------------------------------------------------------

Integer TCustomMemoryStream::Read(void* Buffer, Integer Count) {
  if (FPosition >= 0 && Count >= 0) {
    NativeInt Avail = FSize - FPosition;
    if (Avail > 0) {
      Integer N = Avail > Count ? Count : Integer(Avail);
      std::memcpy(Buffer, static_cast<Byte*>(FMemory) + FPosition, N);
      FPosition += N;
      return N;
    }
  }
  return 0;
}

Int64 TCustomMemoryStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case soBeginning: FPosition = NativeInt(Offset); break;
    case soCurrent: FPosition += NativeInt(Offset); break;
    case soEnd: FPosition = FSize + NativeInt(Offset); break;
  }
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream) {
  NativeInt Left = FSize;
  const Byte* P = static_cast<const Byte*>(FMemory);
  while (Left > 0) {
    Integer N = Integer(std::min<NativeInt>(Left, 0x40000000));
    Stream->WriteBuffer(P, N);
    P += N;
    Left -= N;
  }
}

void TCustomMemoryStream::SaveToFile(const String& FileName) {
  TFileStream Stream(FileName, fmCreate);
  SaveToStream(&Stream);
}

// ---- TMemoryStream ----------------------------------------------------------------------------

TMemoryStream::~TMemoryStream() { std::free(FOwnBlock); }

void* TMemoryStream::Realloc(NativeInt& NewCapacity) {
  if (NewCapacity > 0 && NewCapacity != FSize) NewCapacity = (NewCapacity + (MemoryDelta - 1)) & ~(MemoryDelta - 1);
  void* Result = FMemory;
  if (NewCapacity != FCapacity) {
    if (NewCapacity == 0) {
      std::free(FOwnBlock);
      FOwnBlock = nullptr;
      Result = nullptr;
    } else {
      void* P;
      if (FOwnBlock && FOwnBlock == FMemory) {
        P = NewCapacity > 0 ? std::realloc(FOwnBlock, size_t(NewCapacity)) : nullptr;
      } else {
        P = NewCapacity > 0 ? std::malloc(size_t(NewCapacity)) : nullptr;
        if (P && FMemory) std::memcpy(P, FMemory, size_t(std::min(FSize, NewCapacity)));
      }
      if (!P) throw EStreamError(L"Out of memory while expanding memory stream");
      FOwnBlock = P;
      Result = P;
    }
  }
  return Result;
}

void TMemoryStream::SetCapacity(NativeInt NewCapacity) {
  SetPointer(Realloc(NewCapacity), FSize);
  FCapacity = NewCapacity;
}

Integer TMemoryStream::Write(const void* Buffer, Integer Count) {
  if (FPosition >= 0 && Count >= 0) {
    NativeInt Pos = FPosition + Count;
    if (Pos > 0) {
      if (Pos > FSize) {
        NativeInt OldSize = FSize;
        // Geometric growth: many small writes must not copy the whole block each time.
        if (Pos > FCapacity) SetCapacity(std::max(Pos, FCapacity + FCapacity / 2));
        FSize = Pos;
        // Bytes skipped by a position beyond the end read as zeros, not as stale memory.
        if (FPosition > OldSize) std::memset(static_cast<Byte*>(FMemory) + OldSize, 0, size_t(FPosition - OldSize));
      }
      std::memcpy(static_cast<Byte*>(FMemory) + FPosition, Buffer, size_t(Count));
      FPosition = Pos;
      return Count;
    }
  }
  return 0;
}

void TMemoryStream::SetSize(Int64 NewSize) {
  NativeInt OldPosition = FPosition;
  SetCapacity(NativeInt(NewSize));
  FSize = NativeInt(NewSize);
  if (OldPosition > NewSize) Seek(0, soEnd);
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  Int64 Count = Stream->GetSize();
  SetSize(Count);
  Byte* P = static_cast<Byte*>(FMemory);
  while (Count > 0) {
    Integer N = Integer(std::min<Int64>(Count, 0x40000000));
    Stream->ReadBuffer(P, N);
    P += N;
    Count -= N;
  }
}

void TMemoryStream::LoadFromFile(const String& FileName) {
  TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&Stream);
}

// ---- TBytesStream / TStringStream -------------------------------------------------------------

TBytesStream::TBytesStream(const TBytes& ABytes) : FBytes(ABytes) {
  SetPointer(FBytes.data(), NativeInt(FBytes.size()));
  SetCapacity(NativeInt(FBytes.size()));
}

TBytesStream::~TBytesStream() = default;

void* TBytesStream::Realloc(NativeInt& NewCapacity) {
  if (NewCapacity > 0 && NewCapacity != FSize) NewCapacity = (NewCapacity + (MemoryDelta - 1)) & ~(MemoryDelta - 1);
  if (NewCapacity != GetCapacity()) {
    if (NewCapacity < 0) throw EStreamError(L"Out of memory while expanding memory stream");
    try {
      FBytes.resize(size_t(NewCapacity));
    } catch (const std::bad_alloc&) {
      throw EStreamError(L"Out of memory while expanding memory stream");
    }
  }
  return FBytes.empty() ? nullptr : FBytes.data();
}

TStringStream::TStringStream() : TStringStream(String(), TEncoding::Default(), false) {}

TStringStream::TStringStream(const String& AString) : TStringStream(AString, TEncoding::Default(), false) {}

TStringStream::TStringStream(const String& AString, TEncoding* AEncoding, bool AOwnsEncoding)
    : TBytesStream((AEncoding ? AEncoding : TEncoding::Default())->GetBytes(AString)),
      FEncoding(AEncoding ? AEncoding : TEncoding::Default()),
      FOwnsEncoding(AOwnsEncoding && AEncoding && !TEncoding::IsStandardEncoding(AEncoding)) {}

TStringStream::TStringStream(const String& AString, Integer ACodePage)
    : TStringStream(AString, TEncoding::GetEncoding(ACodePage), true) {}

TStringStream::TStringStream(const TBytes& ABytes) : TBytesStream(ABytes), FEncoding(TEncoding::Default()) {}

TStringStream::~TStringStream() {
  if (FOwnsEncoding) delete FEncoding;
}

String TStringStream::GetDataString() const {
  return FEncoding->GetString(static_cast<const Byte*>(FMemory), Integer(FSize));
}

String TStringStream::ReadString(Integer Count) {
  NativeInt Avail = FSize - FPosition;
  if (FPosition < 0 || Avail <= 0 || Count <= 0) return String();
  if (Count > Avail) Count = Integer(Avail);
  String S = FEncoding->GetString(static_cast<const Byte*>(FMemory) + FPosition, Count);
  FPosition += Count;
  return S;
}

void TStringStream::WriteString(const String& AString) {
  TBytes B = FEncoding->GetBytes(AString);
  Write(B);
}

// ---- TResourceStream --------------------------------------------------------------------------

TResourceStream::TResourceStream(NativeUInt Instance, const String& ResName, const wchar_t* ResType) {
  Initialize(Instance, ResName.c_str(), ResType, false);
}

TResourceStream::TResourceStream(NativeUInt Instance, Integer ResID, const wchar_t* ResType) {
  Initialize(Instance, MAKEINTRESOURCEW(ResID), ResType, true);
}

void TResourceStream::Initialize(NativeUInt Instance, const wchar_t* Name, const wchar_t* ResType, bool FromID) {
  HMODULE Module = reinterpret_cast<HMODULE>(Instance);
  auto NotFound = [&] {
    String N = FromID ? std::to_wstring(reinterpret_cast<NativeUInt>(Name)) : String(Name);
    throw EResNotFound(L"Resource " + N + L" not found");
  };
  HRSRC Info = FindResourceW(Module, Name, ResType);
  if (!Info) NotFound();
  HGLOBAL Data = LoadResource(Module, Info);
  if (!Data) NotFound();
  SetPointer(LockResource(Data), NativeInt(SizeofResource(Module, Info)));
}

Integer TResourceStream::Write(const void*, Integer) {
  throw EStreamError(L"Can't write to a read-only resource stream");
}
