#include "framework/StrUtils.h"

bool StartsStr(const String& ASubText, const String& AText) {
  return ASubText.size() <= AText.size() && AText.compare(0, ASubText.size(), ASubText) == 0;
}

bool StartsText(const String& ASubText, const String& AText) {
  if (ASubText.empty()) return true;
  if (ASubText.size() > AText.size()) return false;
  return AnsiStrLIComp(ASubText.c_str(), AText.c_str(), Cardinal(ASubText.size())) == 0;
}

bool EndsStr(const String& ASubText, const String& AText) {
  return ASubText.size() <= AText.size() &&
         AText.compare(AText.size() - ASubText.size(), ASubText.size(), ASubText) == 0;
}

bool EndsText(const String& ASubText, const String& AText) {
  if (ASubText.empty()) return true;
  if (ASubText.size() > AText.size()) return false;
  return AnsiSameText(ASubText, AText.substr(AText.size() - ASubText.size()));
}

bool ContainsStr(const String& AText, const String& ASubText) { return AText.find(ASubText) != String::npos; }

bool ContainsText(const String& AText, const String& ASubText) {
  return AnsiUpperCase(AText).find(AnsiUpperCase(ASubText)) != String::npos;
}

String ReplaceStr(const String& AText, const String& AFromText, const String& AToText) {
  return StringReplace(AText, AFromText, AToText, {rfReplaceAll});
}

String ReplaceText(const String& AText, const String& AFromText, const String& AToText) {
  return StringReplace(AText, AFromText, AToText, {rfReplaceAll, rfIgnoreCase});
}

TStringDynArray SplitString(const String& S, const String& Delimiters) {
  TStringDynArray R;
  if (S.empty()) return R;
  size_t From = 0;
  for (;;) {
    size_t P = S.find_first_of(Delimiters, From);
    if (P == String::npos) {
      R.push_back(S.substr(From));
      return R;
    }
    R.push_back(S.substr(From, P - From));
    From = P + 1;
  }
}

String LeftStr(const String& AText, Integer ACount) { return Copy(AText, 1, ACount); }

String RightStr(const String& AText, Integer ACount) {
  if (ACount <= 0) return String();
  if (ACount >= Length(AText)) return AText;
  return AText.substr(AText.size() - size_t(ACount));
}

String MidStr(const String& AText, Integer AStart, Integer ACount) { return Copy(AText, AStart, ACount); }

String DupeString(const String& AText, Integer ACount) {
  String R;
  if (ACount <= 0) return R;
  R.reserve(AText.size() * size_t(ACount));
  for (Integer I = 0; I < ACount; ++I) R += AText;
  return R;
}

String ReverseString(const String& S) {
  String R(S.rbegin(), S.rend());
  // Keep surrogate pairs in their order so that characters outside the BMP survive.
  for (size_t I = 0; I + 1 < R.size(); ++I)
    if (R[I] >= 0xDC00 && R[I] <= 0xDFFF && R[I + 1] >= 0xD800 && R[I + 1] <= 0xDBFF) {
      std::swap(R[I], R[I + 1]);
      ++I;
    }
  return R;
}

String StuffString(const String& AText, Integer AStart, Integer ASubLength, const String& ASubText) {
  return Copy(AText, 1, AStart - 1) + ASubText + Copy(AText, AStart + ASubLength);
}

namespace {
template <class C>
Integer IndexOf(const String& AText, const C& AValues, bool IgnoreCase) {
  Integer I = 0;
  for (const String& V : AValues) {
    if (IgnoreCase ? AnsiSameText(AText, V) : AText == V) return I;
    ++I;
  }
  return -1;
}
}  // namespace

Integer IndexStr(const String& AText, std::initializer_list<String> AValues) { return IndexOf(AText, AValues, false); }
Integer IndexText(const String& AText, std::initializer_list<String> AValues) { return IndexOf(AText, AValues, true); }
Integer IndexStr(const String& AText, const std::vector<String>& AValues) { return IndexOf(AText, AValues, false); }
Integer IndexText(const String& AText, const std::vector<String>& AValues) { return IndexOf(AText, AValues, true); }
