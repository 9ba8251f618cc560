#include "framework/sysutils/StringBuilder.h"

#include <cstdio>

namespace {
[[noreturn]] void OutOfRange(Integer Index) {
  throw ERangeError(L"Index out of bounds (" + std::to_wstring(Index) + L")");
}
}  // namespace

TStringBuilder::TStringBuilder(Integer ACapacity) { SetCapacity(ACapacity); }
TStringBuilder::TStringBuilder(const String& Value) : FData(Value) {}

void TStringBuilder::CheckRange(Integer Index, Integer Count, Integer Limit) const {
  if (Index < 0 || Index > Limit) OutOfRange(Index);
  if (Count < 0 || Int64(Index) + Count > Limit) OutOfRange(Index + Count);
}

TStringBuilder* TStringBuilder::Append(const String& Value) {
  FData += Value;
  return this;
}

TStringBuilder* TStringBuilder::Append(const wchar_t* Value) {
  if (Value) FData += Value;
  return this;
}

TStringBuilder* TStringBuilder::Append(Char Value) {
  FData += Value;
  return this;
}

TStringBuilder* TStringBuilder::Append(Char Value, Integer RepeatCount) {
  if (RepeatCount > 0) FData.append(size_t(RepeatCount), Value);
  return this;
}

TStringBuilder* TStringBuilder::Append(const String& Value, Integer StartIndex, Integer Count) {
  CheckRange(StartIndex, Count, Length(Value));
  FData.append(Value, size_t(StartIndex), size_t(Count));
  return this;
}

TStringBuilder* TStringBuilder::Append(bool Value) { return Append(Value ? L"True" : L"False"); }
TStringBuilder* TStringBuilder::Append(Integer Value) { return Append(std::to_wstring(Value)); }
TStringBuilder* TStringBuilder::Append(Cardinal Value) { return Append(std::to_wstring(Value)); }
TStringBuilder* TStringBuilder::Append(Int64 Value) { return Append(std::to_wstring(Value)); }
TStringBuilder* TStringBuilder::Append(UInt64 Value) { return Append(std::to_wstring(Value)); }

TStringBuilder* TStringBuilder::Append(double Value) {
  char Buf[40];
  for (int Precision = 15; Precision <= 17; ++Precision) {
    std::snprintf(Buf, sizeof Buf, "%.*G", Precision, Value);
    if (std::strtod(Buf, nullptr) == Value) break;
  }
  for (const char* P = Buf; *P; ++P) FData += static_cast<Char>(*P);
  return this;
}

TStringBuilder* TStringBuilder::Append(const TObject* Value) { return Value ? Append(Value->ToString()) : this; }

TStringBuilder* TStringBuilder::AppendLine() { return Append(L"\r\n"); }
TStringBuilder* TStringBuilder::AppendLine(const String& Value) { return Append(Value)->AppendLine(); }

TStringBuilder* TStringBuilder::Insert(Integer Index, const String& Value) {
  if (Index < 0 || Index > GetLength()) OutOfRange(Index);
  FData.insert(size_t(Index), Value);
  return this;
}

TStringBuilder* TStringBuilder::Remove(Integer StartIndex, Integer RemoveLength) {
  CheckRange(StartIndex, RemoveLength, GetLength());
  FData.erase(size_t(StartIndex), size_t(RemoveLength));
  return this;
}

TStringBuilder* TStringBuilder::Replace(const String& OldValue, const String& NewValue) {
  return Replace(OldValue, NewValue, 0, GetLength());
}

TStringBuilder* TStringBuilder::Replace(const String& OldValue, const String& NewValue, Integer StartIndex,
                                        Integer Count) {
  CheckRange(StartIndex, Count, GetLength());
  if (OldValue.empty()) throw EArgumentException(L"The text to replace is empty");
  size_t End = size_t(StartIndex) + size_t(Count);
  size_t P = FData.find(OldValue, size_t(StartIndex));
  while (P != String::npos && P + OldValue.size() <= End) {
    FData.replace(P, OldValue.size(), NewValue);
    End = End - OldValue.size() + NewValue.size();
    P = FData.find(OldValue, P + NewValue.size());
  }
  return this;
}

TStringBuilder* TStringBuilder::Replace(Char OldChar, Char NewChar) {
  for (Char& C : FData)
    if (C == OldChar) C = NewChar;
  return this;
}

TStringBuilder* TStringBuilder::Clear() {
  FData.clear();
  return this;
}

String TStringBuilder::ToString(Integer StartIndex, Integer StrLength) const {
  CheckRange(StartIndex, StrLength, GetLength());
  return FData.substr(size_t(StartIndex), size_t(StrLength));
}

void TStringBuilder::SetLength(Integer Value) {
  if (Value < 0) OutOfRange(Value);
  FData.resize(size_t(Value), L'\0');
}

void TStringBuilder::SetCapacity(Integer Value) {
  if (Value < GetLength()) OutOfRange(Value);
  FData.reserve(size_t(Value));
}

Char TStringBuilder::GetChars(Integer Index) const {
  if (Index < 0 || Index >= GetLength()) OutOfRange(Index);
  return FData[size_t(Index)];
}

void TStringBuilder::SetChars(Integer Index, Char Value) {
  if (Index < 0 || Index >= GetLength()) OutOfRange(Index);
  FData[size_t(Index)] = Value;
}
