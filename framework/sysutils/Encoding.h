#pragma once
// TEncoding: conversion between UTF-16 text and bytes. The shared instances (Default, ANSI,
// ASCII, UTF8, Unicode, BigEndianUnicode) belong to the class and are never freed by callers;
// GetEncoding and Clone make instances the caller frees.

#include "framework/System.h"

class TEncoding : public TObject {
  DECLARE_CLASS(TEncoding, TObject)
 public:
  ~TEncoding() override = default;

  // The system's ANSI code page, as the framework's Default on Windows.
  static TEncoding* Default();
  static TEncoding* ANSI();
  static TEncoding* ASCII();
  // UTF-8 with the EF BB BF preamble; UTF8NoBOM is the same without one.
  static TEncoding* UTF8();
  static TEncoding* UTF8NoBOM();
  // UTF-16 little endian with FF FE; BigEndianUnicode with FE FF.
  static TEncoding* Unicode();
  static TEncoding* BigEndianUnicode();
  // A new encoding for a Windows code page (1200/1201 give the UTF-16 ones, 65001 UTF-8);
  // the caller frees it. Raises EEncodingError for a code page the system does not know.
  static TEncoding* GetEncoding(Integer CodePage);
  static bool IsStandardEncoding(const TEncoding* AEncoding);

  // Detects a preamble in Buffer. With AEncoding nil, the UTF-8/UTF-16 preamble found decides
  // it (else ADefaultEncoding, else Default) and the result is the preamble's length; with
  // AEncoding given, the result is its preamble's length when Buffer starts with it, else 0.
  static Integer GetBufferEncoding(const TBytes& Buffer, TEncoding*& AEncoding,
                                   TEncoding* ADefaultEncoding = nullptr);
  static TBytes Convert(TEncoding* Source, TEncoding* Destination, const TBytes& Bytes);
  static TBytes Convert(TEncoding* Source, TEncoding* Destination, const TBytes& Bytes, Integer StartIndex,
                        Integer Count);

  TBytes GetBytes(const String& S) const;
  TBytes GetBytes(const Char* Chars, Integer CharCount) const;
  Integer GetByteCount(const String& S) const;
  String GetString(const TBytes& Bytes) const;
  // ByteIndex and ByteCount must lie inside Bytes (EEncodingError otherwise).
  String GetString(const TBytes& Bytes, Integer ByteIndex, Integer ByteCount) const;
  String GetString(const Byte* Bytes, Integer ByteCount) const;
  Integer GetCharCount(const TBytes& Bytes) const;
  virtual TBytes GetPreamble() const = 0;
  virtual Integer GetMaxByteCount(Integer CharCount) const = 0;
  virtual Integer GetMaxCharCount(Integer ByteCount) const = 0;
  virtual TEncoding* Clone() const = 0;
  virtual Cardinal GetCodePage() const = 0;
  virtual String GetEncodingName() const;
  virtual bool GetIsSingleByte() const { return false; }

 protected:
  TEncoding() = default;
  virtual Integer GetByteCountCore(const Char* Chars, Integer CharCount) const = 0;
  virtual Integer GetBytesCore(const Char* Chars, Integer CharCount, Byte* Bytes, Integer ByteCount) const = 0;
  virtual Integer GetCharCountCore(const Byte* Bytes, Integer ByteCount) const = 0;
  virtual Integer GetCharsCore(const Byte* Bytes, Integer ByteCount, Char* Chars, Integer CharCount) const = 0;
};

// A Windows multi-byte code page (the ANSI page, ASCII, UTF-8, ...). Bytes that do not form a
// character decode to U+FFFD, and characters the page lacks encode as its default character.
class TMBCSEncoding : public TEncoding {
  DECLARE_CLASS(TMBCSEncoding, TEncoding)
 public:
  explicit TMBCSEncoding(Cardinal CodePage);
  TBytes GetPreamble() const override { return {}; }
  Integer GetMaxByteCount(Integer CharCount) const override;
  Integer GetMaxCharCount(Integer ByteCount) const override { return ByteCount + 1; }
  TEncoding* Clone() const override { return new TMBCSEncoding(FCodePage); }
  Cardinal GetCodePage() const override { return FCodePage; }
  bool GetIsSingleByte() const override { return FMaxCharSize == 1; }

 protected:
  Integer GetByteCountCore(const Char* Chars, Integer CharCount) const override;
  Integer GetBytesCore(const Char* Chars, Integer CharCount, Byte* Bytes, Integer ByteCount) const override;
  Integer GetCharCountCore(const Byte* Bytes, Integer ByteCount) const override;
  Integer GetCharsCore(const Byte* Bytes, Integer ByteCount, Char* Chars, Integer CharCount) const override;

  Cardinal FCodePage;
  Integer FMaxCharSize = 1;
};

class TUTF8Encoding : public TMBCSEncoding {
  DECLARE_CLASS(TUTF8Encoding, TMBCSEncoding)
 public:
  explicit TUTF8Encoding(bool EmitPreamble = true);
  TBytes GetPreamble() const override;
  Integer GetMaxByteCount(Integer CharCount) const override { return (CharCount + 1) * 3; }
  TEncoding* Clone() const override { return new TUTF8Encoding(FEmitPreamble); }

 private:
  bool FEmitPreamble;
};

class TUnicodeEncoding : public TEncoding {
  DECLARE_CLASS(TUnicodeEncoding, TEncoding)
 public:
  TUnicodeEncoding() = default;
  TBytes GetPreamble() const override;
  Integer GetMaxByteCount(Integer CharCount) const override { return (CharCount + 1) * 2; }
  Integer GetMaxCharCount(Integer ByteCount) const override { return ByteCount / 2 + ByteCount % 2 + 1; }
  TEncoding* Clone() const override { return new TUnicodeEncoding; }
  Cardinal GetCodePage() const override { return 1200; }

 protected:
  Integer GetByteCountCore(const Char* Chars, Integer CharCount) const override;
  Integer GetBytesCore(const Char* Chars, Integer CharCount, Byte* Bytes, Integer ByteCount) const override;
  Integer GetCharCountCore(const Byte* Bytes, Integer ByteCount) const override;
  Integer GetCharsCore(const Byte* Bytes, Integer ByteCount, Char* Chars, Integer CharCount) const override;
  virtual bool BigEndian() const { return false; }
};

class TBigEndianUnicodeEncoding : public TUnicodeEncoding {
  DECLARE_CLASS(TBigEndianUnicodeEncoding, TUnicodeEncoding)
 public:
  TBytes GetPreamble() const override;
  TEncoding* Clone() const override { return new TBigEndianUnicodeEncoding; }
  Cardinal GetCodePage() const override { return 1201; }

 protected:
  bool BigEndian() const override { return true; }
};
