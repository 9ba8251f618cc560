#include "framework/Clipbrd.h"

#include <memory>

#include "framework/WinApi.h"

namespace {
std::unique_ptr<TClipboard>& ClipboardInstance() {
  static std::unique_ptr<TClipboard> Instance;
  return Instance;
}

// Global memory that is freed unless handed over to the clipboard.
struct TGlobalMemory {
  HGLOBAL Handle;
  explicit TGlobalMemory(SIZE_T Size) : Handle(GlobalAlloc(GMEM_MOVEABLE, Size)) {
    if (!Handle) throw EOutOfMemory(L"Out of memory");
  }
  ~TGlobalMemory() {
    if (Handle) GlobalFree(Handle);
  }
  HGLOBAL Release() {
    HGLOBAL H = Handle;
    Handle = nullptr;
    return H;
  }
};
}  // namespace

TClipboard* Clipboard() {
  auto& I = ClipboardInstance();
  if (!I) I = std::make_unique<TClipboard>();
  return I.get();
}

TClipboard* SetClipboard(TClipboard* NewClipboard) {
  auto& I = ClipboardInstance();
  TClipboard* Old = I.release();
  I.reset(NewClipboard);
  return Old;
}

TClipboard::TClipboard() {
  // The clipboard needs an owner window: without one, EmptyClipboard leaves it ownerless and
  // SetClipboardData then fails.
  FWindow = reinterpret_cast<NativeUInt>(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                         reinterpret_cast<HINSTANCE>(HInstance()), nullptr));
}

TClipboard::~TClipboard() {
  while (FOpenRefCount > 0) Close();
  if (FWindow) DestroyWindow(reinterpret_cast<HWND>(FWindow));
}

void TClipboard::Open() {
  if (FOpenRefCount == 0) {
    // Another program may hold the clipboard for a moment.
    bool Opened = false;
    for (int Try = 0; Try < 10 && !(Opened = OpenClipboard(reinterpret_cast<HWND>(FWindow))); ++Try) Sleep(10);
    if (!Opened) throw Exception(L"Cannot open clipboard");
    FEmptied = false;
  }
  ++FOpenRefCount;
}

void TClipboard::Close() {
  if (FOpenRefCount == 0) return;
  if (--FOpenRefCount == 0) {
    CloseClipboard();
    FEmptied = false;
  }
}

void TClipboard::Clear() {
  Open();
  try {
    EmptyClipboard();
    FEmptied = true;
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TClipboard::Adding() {
  if (FOpenRefCount != 0 && !FEmptied) {
    EmptyClipboard();
    FEmptied = true;
  }
}

bool TClipboard::HasFormat(Word Format) const { return IsClipboardFormatAvailable(Format) != 0; }

Integer TClipboard::GetFormatCount() const { return CountClipboardFormats(); }

Word TClipboard::GetFormats(Integer Index) const {
  auto* Self = const_cast<TClipboard*>(this);
  Self->Open();
  UINT F = 0;
  for (Integer I = 0; I <= Index; ++I) {
    F = EnumClipboardFormats(F);
    if (!F) break;
  }
  Self->Close();
  return Word(F);
}

NativeUInt TClipboard::GetAsHandle(Word Format) {
  Open();
  NativeUInt H = reinterpret_cast<NativeUInt>(GetClipboardData(Format));
  Close();
  return H;
}

void TClipboard::SetAsHandle(Word Format, NativeUInt Value) {
  Open();
  try {
    Adding();
    if (!SetClipboardData(Format, reinterpret_cast<HANDLE>(Value))) RaiseLastOSError();
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TClipboard::SetBuffer(Word Format, const void* Buffer, Integer Size) {
  if (Size < 0) throw EArgumentOutOfRangeException(L"Negative clipboard buffer size");
  Open();
  try {
    TGlobalMemory Mem(SIZE_T(Size ? Size : 1));
    if (Size) {
      void* P = GlobalLock(Mem.Handle);
      std::memcpy(P, Buffer, size_t(Size));
      GlobalUnlock(Mem.Handle);
    }
    Adding();
    if (!SetClipboardData(Format, Mem.Handle)) RaiseLastOSError();
    Mem.Release();
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

TBytes TClipboard::GetBuffer(Word Format) {
  TBytes Result;
  Open();
  HANDLE H = GetClipboardData(Format);
  if (H) {
    SIZE_T Size = GlobalSize(H);
    if (const void* P = GlobalLock(H)) {
      Result.assign(static_cast<const Byte*>(P), static_cast<const Byte*>(P) + Size);
      GlobalUnlock(H);
    }
  }
  Close();
  return Result;
}

String TClipboard::GetAsText() {
  String Result;
  Open();
  HANDLE H = GetClipboardData(CF_UNICODETEXT);
  if (H) {
    if (auto* P = static_cast<const wchar_t*>(GlobalLock(H))) {
      SIZE_T Max = GlobalSize(H) / sizeof(wchar_t);
      Result.assign(P, wcsnlen(P, Max));
      GlobalUnlock(H);
    }
  }
  Close();
  return Result;
}

void TClipboard::SetAsText(const String& Value) { SetBuffer(CF_UNICODETEXT, Value.c_str(), Integer((Value.size() + 1) * sizeof(wchar_t))); }

Integer TClipboard::GetTextBuf(wchar_t* Buffer, Integer BufSize) {
  if (!Buffer || BufSize <= 0) return 0;
  String S = GetAsText();
  Integer N = std::min(Integer(S.size()), BufSize - 1);
  std::memcpy(Buffer, S.data(), size_t(N) * sizeof(wchar_t));
  Buffer[N] = 0;
  return N;
}

void TClipboard::SetTextBuf(const wchar_t* Buffer) { SetAsText(Buffer ? Buffer : L""); }
