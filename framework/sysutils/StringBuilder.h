#pragma once
// TStringBuilder: a growable text buffer; indexes are 0-based as the framework's, and every
// Append/Insert/Remove/Replace answers the builder itself so calls chain.

#include "framework/System.h"

class TStringBuilder : public TObject {
  DECLARE_CLASS(TStringBuilder, TObject)
 public:
  TStringBuilder() = default;
  explicit TStringBuilder(Integer ACapacity);
  explicit TStringBuilder(const String& Value);

  TStringBuilder* Append(const String& Value);
  TStringBuilder* Append(const wchar_t* Value);
  TStringBuilder* Append(Char Value);
  TStringBuilder* Append(Char Value, Integer RepeatCount);
  TStringBuilder* Append(const String& Value, Integer StartIndex, Integer Count);
  TStringBuilder* Append(bool Value);  // "True" / "False"
  TStringBuilder* Append(Integer Value);
  TStringBuilder* Append(Cardinal Value);
  TStringBuilder* Append(Int64 Value);
  TStringBuilder* Append(UInt64 Value);
  TStringBuilder* Append(double Value);  // shortest text that reads back the same, '.' decimal
  TStringBuilder* Append(const TObject* Value);  // its ToString
  TStringBuilder* AppendLine();  // CR LF
  TStringBuilder* AppendLine(const String& Value);
  TStringBuilder* Insert(Integer Index, const String& Value);
  TStringBuilder* Remove(Integer StartIndex, Integer RemoveLength);
  TStringBuilder* Replace(const String& OldValue, const String& NewValue);
  TStringBuilder* Replace(const String& OldValue, const String& NewValue, Integer StartIndex, Integer Count);
  TStringBuilder* Replace(Char OldChar, Char NewChar);
  TStringBuilder* Clear();
  String ToString() const override { return FData; }
  String ToString(Integer StartIndex, Integer StrLength) const;
  bool Equals(TStringBuilder* Other) const { return Other && Other->FData == FData; }

  Integer GetLength() const { return Length(FData); }
  // Shorter cuts the text; longer pads it with #0.
  void SetLength(Integer Value);
  Integer GetCapacity() const { return static_cast<Integer>(FData.capacity()); }
  void SetCapacity(Integer Value);
  // Out-of-range indexes raise ERangeError.
  Char GetChars(Integer Index) const;
  void SetChars(Integer Index, Char Value);

 private:
  void CheckRange(Integer Index, Integer Count, Integer Limit) const;
  String FData;
};
