#include "framework/sysutils/Encoding.h"

#include <memory>

#include "framework/WinApi.h"

namespace {
[[noreturn]] void RangeError() { throw EEncodingError(L"Invalid byte range for the encoding"); }

bool StartsWith(const TBytes& Buffer, const TBytes& Preamble) {
  return !Preamble.empty() && Buffer.size() >= Preamble.size() &&
         std::equal(Preamble.begin(), Preamble.end(), Buffer.begin());
}
}  // namespace

// ---- TEncoding --------------------------------------------------------------------------------

TEncoding* TEncoding::Default() { return ANSI(); }

TEncoding* TEncoding::ANSI() {
  static const std::unique_ptr<TEncoding> E(new TMBCSEncoding(GetACP()));
  return E.get();
}

TEncoding* TEncoding::ASCII() {
  static const std::unique_ptr<TEncoding> E(new TMBCSEncoding(20127));
  return E.get();
}

TEncoding* TEncoding::UTF8() {
  static const std::unique_ptr<TEncoding> E(new TUTF8Encoding(true));
  return E.get();
}

TEncoding* TEncoding::UTF8NoBOM() {
  static const std::unique_ptr<TEncoding> E(new TUTF8Encoding(false));
  return E.get();
}

TEncoding* TEncoding::Unicode() {
  static const std::unique_ptr<TEncoding> E(new TUnicodeEncoding);
  return E.get();
}

TEncoding* TEncoding::BigEndianUnicode() {
  static const std::unique_ptr<TEncoding> E(new TBigEndianUnicodeEncoding);
  return E.get();
}

bool TEncoding::IsStandardEncoding(const TEncoding* AEncoding) {
  return AEncoding && (AEncoding == ANSI() || AEncoding == ASCII() || AEncoding == UTF8() ||
                       AEncoding == UTF8NoBOM() || AEncoding == Unicode() || AEncoding == BigEndianUnicode());
}

TEncoding* TEncoding::GetEncoding(Integer CodePage) {
  switch (CodePage) {
    case 1200: return new TUnicodeEncoding;
    case 1201: return new TBigEndianUnicodeEncoding;
    case CP_UTF8: return new TUTF8Encoding(true);
    default: return new TMBCSEncoding(static_cast<Cardinal>(CodePage));
  }
}

Integer TEncoding::GetBufferEncoding(const TBytes& Buffer, TEncoding*& AEncoding, TEncoding* ADefaultEncoding) {
  if (AEncoding) return StartsWith(Buffer, AEncoding->GetPreamble()) ? Integer(AEncoding->GetPreamble().size()) : 0;
  for (TEncoding* E : {UTF8(), Unicode(), BigEndianUnicode()}) {
    if (StartsWith(Buffer, E->GetPreamble())) {
      AEncoding = E;
      return Integer(E->GetPreamble().size());
    }
  }
  AEncoding = ADefaultEncoding ? ADefaultEncoding : Default();
  return 0;
}

TBytes TEncoding::Convert(TEncoding* Source, TEncoding* Destination, const TBytes& Bytes) {
  return Destination->GetBytes(Source->GetString(Bytes));
}

TBytes TEncoding::Convert(TEncoding* Source, TEncoding* Destination, const TBytes& Bytes, Integer StartIndex,
                          Integer Count) {
  return Destination->GetBytes(Source->GetString(Bytes, StartIndex, Count));
}

TBytes TEncoding::GetBytes(const String& S) const { return GetBytes(S.data(), Length(S)); }

TBytes TEncoding::GetBytes(const Char* Chars, Integer CharCount) const {
  if (CharCount <= 0) return {};
  TBytes R(GetByteCountCore(Chars, CharCount));
  if (!R.empty()) R.resize(GetBytesCore(Chars, CharCount, R.data(), Integer(R.size())));
  return R;
}

Integer TEncoding::GetByteCount(const String& S) const { return S.empty() ? 0 : GetByteCountCore(S.data(), Length(S)); }

String TEncoding::GetString(const TBytes& Bytes) const { return GetString(Bytes.data(), Integer(Bytes.size())); }

String TEncoding::GetString(const TBytes& Bytes, Integer ByteIndex, Integer ByteCount) const {
  if (ByteIndex < 0 || ByteCount < 0 || Int64(ByteIndex) + ByteCount > Int64(Bytes.size())) RangeError();
  return GetString(Bytes.data() + ByteIndex, ByteCount);
}

String TEncoding::GetString(const Byte* Bytes, Integer ByteCount) const {
  if (ByteCount <= 0) return String();
  String R(GetCharCountCore(Bytes, ByteCount), L'\0');
  if (!R.empty()) R.resize(GetCharsCore(Bytes, ByteCount, R.data(), Length(R)));
  return R;
}

Integer TEncoding::GetCharCount(const TBytes& Bytes) const {
  return Bytes.empty() ? 0 : GetCharCountCore(Bytes.data(), Integer(Bytes.size()));
}

String TEncoding::GetEncodingName() const {
  CPINFOEXW Info{};
  if (GetCPInfoExW(GetCodePage(), 0, &Info)) return Info.CodePageName;
  return L"Code page " + std::to_wstring(GetCodePage());
}

// ---- TMBCSEncoding ----------------------------------------------------------------------------

TMBCSEncoding::TMBCSEncoding(Cardinal CodePage) : FCodePage(CodePage) {
  CPINFO Info{};
  if (!GetCPInfo(CodePage, &Info)) throw EEncodingError(L"Code page " + std::to_wstring(CodePage) + L" is not supported");
  FMaxCharSize = Integer(Info.MaxCharSize);
}

Integer TMBCSEncoding::GetMaxByteCount(Integer CharCount) const { return (CharCount + 1) * FMaxCharSize; }

Integer TMBCSEncoding::GetByteCountCore(const Char* Chars, Integer CharCount) const {
  return WideCharToMultiByte(FCodePage, 0, Chars, CharCount, nullptr, 0, nullptr, nullptr);
}

Integer TMBCSEncoding::GetBytesCore(const Char* Chars, Integer CharCount, Byte* Bytes, Integer ByteCount) const {
  return WideCharToMultiByte(FCodePage, 0, Chars, CharCount, reinterpret_cast<char*>(Bytes), ByteCount, nullptr,
                             nullptr);
}

Integer TMBCSEncoding::GetCharCountCore(const Byte* Bytes, Integer ByteCount) const {
  return MultiByteToWideChar(FCodePage, 0, reinterpret_cast<const char*>(Bytes), ByteCount, nullptr, 0);
}

Integer TMBCSEncoding::GetCharsCore(const Byte* Bytes, Integer ByteCount, Char* Chars, Integer CharCount) const {
  return MultiByteToWideChar(FCodePage, 0, reinterpret_cast<const char*>(Bytes), ByteCount, Chars, CharCount);
}

// ---- TUTF8Encoding ----------------------------------------------------------------------------

TUTF8Encoding::TUTF8Encoding(bool EmitPreamble) : TMBCSEncoding(CP_UTF8), FEmitPreamble(EmitPreamble) {}

TBytes TUTF8Encoding::GetPreamble() const { return FEmitPreamble ? TBytes{0xEF, 0xBB, 0xBF} : TBytes{}; }

// ---- TUnicodeEncoding -------------------------------------------------------------------------

TBytes TUnicodeEncoding::GetPreamble() const { return {0xFF, 0xFE}; }
TBytes TBigEndianUnicodeEncoding::GetPreamble() const { return {0xFE, 0xFF}; }

Integer TUnicodeEncoding::GetByteCountCore(const Char*, Integer CharCount) const { return CharCount * 2; }

Integer TUnicodeEncoding::GetBytesCore(const Char* Chars, Integer CharCount, Byte* Bytes, Integer ByteCount) const {
  Integer N = std::min(CharCount, ByteCount / 2);
  bool BE = BigEndian();
  for (Integer I = 0; I < N; ++I) {
    Word C = static_cast<Word>(Chars[I]);
    Bytes[2 * I + (BE ? 1 : 0)] = Byte(C & 0xFF);
    Bytes[2 * I + (BE ? 0 : 1)] = Byte(C >> 8);
  }
  return N * 2;
}

// An odd trailing byte cannot form a character; it decodes as U+FFFD rather than vanish.
Integer TUnicodeEncoding::GetCharCountCore(const Byte*, Integer ByteCount) const {
  return ByteCount / 2 + ByteCount % 2;
}

Integer TUnicodeEncoding::GetCharsCore(const Byte* Bytes, Integer ByteCount, Char* Chars, Integer CharCount) const {
  Integer N = std::min(ByteCount / 2, CharCount);
  bool BE = BigEndian();
  for (Integer I = 0; I < N; ++I) {
    Word Lo = Bytes[2 * I + (BE ? 1 : 0)], Hi = Bytes[2 * I + (BE ? 0 : 1)];
    Chars[I] = static_cast<Char>(Lo | (Hi << 8));
  }
  if (ByteCount % 2 && N < CharCount) Chars[N++] = 0xFFFD;
  return N;
}
