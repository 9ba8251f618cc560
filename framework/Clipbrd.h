#pragma once
// TClipboard: the system clipboard. Open/Close nest; the first format placed while open empties
// the clipboard once, so several formats can be offered together.

#include "framework/classes/Persistent.h"

class TClipboard : public TPersistent {
  DECLARE_CLASS(TClipboard, TPersistent)
 public:
  TClipboard();
  ~TClipboard() override;
  void Open();
  void Close();
  void Clear();
  bool HasFormat(Word Format) const;
  Integer GetFormatCount() const;
  Word GetFormats(Integer Index) const;
  // The clipboard's handle for Format (owned by the clipboard), or 0.
  NativeUInt GetAsHandle(Word Format);
  // Hands a global memory handle to the clipboard, which owns it from then on.
  void SetAsHandle(Word Format, NativeUInt Value);
  // Copies Size bytes into a new global memory block placed under Format.
  void SetBuffer(Word Format, const void* Buffer, Integer Size);
  // The bytes stored under Format; empty when the format is absent.
  TBytes GetBuffer(Word Format);
  String GetAsText();
  void SetAsText(const String& Value);
  Integer GetTextBuf(wchar_t* Buffer, Integer BufSize);
  void SetTextBuf(const wchar_t* Buffer);

 private:
  void Adding();
  NativeUInt FWindow = 0;
  Integer FOpenRefCount = 0;
  bool FEmptied = false;
};

// The program's clipboard object, made on first use.
TClipboard* Clipboard();
// Replaces the clipboard object; returns the old one (the caller frees it).
TClipboard* SetClipboard(TClipboard* NewClipboard);
