#include "framework/NetEncoding.h"

namespace {

bool IsUnreserved(wchar_t C) {
  if ((C >= L'A' && C <= L'Z') || (C >= L'a' && C <= L'z') || (C >= L'0' && C <= L'9')) return true;
  switch (C) {
    case L'!': case L'$': case L'\'': case L'(': case L')': case L'*': case L'-': case L'.':
    case L'@': case L'_':
      return true;
    default:
      return false;
  }
}

int HexValue(wchar_t C) {
  if (C >= L'0' && C <= L'9') return C - L'0';
  if (C >= L'A' && C <= L'F') return C - L'A' + 10;
  if (C >= L'a' && C <= L'f') return C - L'a' + 10;
  return -1;
}

}  // namespace

TNetEncoding* TNetEncoding::URL() {
  static TURLEncoding Instance;
  return &Instance;
}

String TURLEncoding::DoEncode(const String& Input) const {
  static const wchar_t Hex[] = L"0123456789ABCDEF";
  String Result;
  Result.reserve(Input.size() * 3);
  // UTF-8 of the whole text at once, so that a surrogate pair becomes one 4-byte character; an
  // unpaired surrogate becomes U+FFFD's bytes.
  const std::string Bytes = UTF8Encode(Input);
  for (unsigned char B : Bytes) {
    if (B < 0x80 && IsUnreserved(wchar_t(B))) {
      Result += wchar_t(B);
    } else if (B == ' ') {
      Result += L'+';
    } else {
      Result += L'%';
      Result += Hex[B >> 4];
      Result += Hex[B & 15];
    }
  }
  return Result;
}

String TURLEncoding::DoDecode(const String& Input) const {
  std::string Bytes;
  Bytes.reserve(Input.size());
  size_t Start = 0;  // of the run of plain characters not yet copied
  auto Flush = [&](size_t End) {
    if (End > Start) Bytes += UTF8Encode(Input.substr(Start, End - Start));
  };
  for (size_t I = 0; I < Input.size(); ++I) {
    wchar_t C = Input[I];
    if (C == L'+') {
      Flush(I);
      Bytes += ' ';
      Start = I + 1;
    } else if (C == L'%' && I + 2 < Input.size() && HexValue(Input[I + 1]) >= 0 &&
               HexValue(Input[I + 2]) >= 0) {
      Flush(I);
      Bytes += char(HexValue(Input[I + 1]) * 16 + HexValue(Input[I + 2]));
      Start = I + 3;
      I += 2;
    }
  }
  Flush(Input.size());
  return UTF8ToString(Bytes);
}
