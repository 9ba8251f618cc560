#pragma once
// StrUtils: prefix, suffix and substring tests, splitting, picking and repeating text.
// The *Text routines ignore case the way the user's locale does (as AnsiSameText: equal
// AnsiUpperCase forms); the *Str routines compare characters exactly.

#include "framework/sysutils/Strings.h"

using TStringDynArray = std::vector<String>;

bool StartsStr(const String& ASubText, const String& AText);
bool StartsText(const String& ASubText, const String& AText);
bool EndsStr(const String& ASubText, const String& AText);
bool EndsText(const String& ASubText, const String& AText);
bool ContainsStr(const String& AText, const String& ASubText);
bool ContainsText(const String& AText, const String& ASubText);
inline bool AnsiStartsStr(const String& ASubText, const String& AText) { return StartsStr(ASubText, AText); }
inline bool AnsiStartsText(const String& ASubText, const String& AText) { return StartsText(ASubText, AText); }
inline bool AnsiEndsStr(const String& ASubText, const String& AText) { return EndsStr(ASubText, AText); }
inline bool AnsiEndsText(const String& ASubText, const String& AText) { return EndsText(ASubText, AText); }
inline bool AnsiContainsStr(const String& AText, const String& ASubText) { return ContainsStr(AText, ASubText); }
inline bool AnsiContainsText(const String& AText, const String& ASubText) { return ContainsText(AText, ASubText); }

String ReplaceStr(const String& AText, const String& AFromText, const String& AToText);
String ReplaceText(const String& AText, const String& AFromText, const String& AToText);
inline String AnsiReplaceStr(const String& AText, const String& AFromText, const String& AToText) {
  return ReplaceStr(AText, AFromText, AToText);
}
inline String AnsiReplaceText(const String& AText, const String& AFromText, const String& AToText) {
  return ReplaceText(AText, AFromText, AToText);
}

// Splits at every character of Delimiters; empty pieces are kept ("a//b" -> "a", "", "b").
TStringDynArray SplitString(const String& S, const String& Delimiters);

String LeftStr(const String& AText, Integer ACount);
String RightStr(const String& AText, Integer ACount);
String MidStr(const String& AText, Integer AStart, Integer ACount);
String DupeString(const String& AText, Integer ACount);
String ReverseString(const String& S);
// Replaces ASubLength characters at AStart (1-based) with ASubText.
String StuffString(const String& AText, Integer AStart, Integer ASubLength, const String& ASubText);

inline String IfThen(bool AValue, const String& ATrue, const String& AFalse = String()) {
  return AValue ? ATrue : AFalse;
}

// Position of AText in AValues (0-based), -1 when absent.
Integer IndexStr(const String& AText, std::initializer_list<String> AValues);
Integer IndexText(const String& AText, std::initializer_list<String> AValues);
Integer IndexStr(const String& AText, const std::vector<String>& AValues);
Integer IndexText(const String& AText, const std::vector<String>& AValues);
inline bool MatchStr(const String& AText, std::initializer_list<String> AValues) { return IndexStr(AText, AValues) >= 0; }
inline bool MatchText(const String& AText, std::initializer_list<String> AValues) { return IndexText(AText, AValues) >= 0; }
inline bool MatchStr(const String& AText, const std::vector<String>& AValues) { return IndexStr(AText, AValues) >= 0; }
inline bool MatchText(const String& AText, const std::vector<String>& AValues) { return IndexText(AText, AValues) >= 0; }
inline Integer AnsiIndexStr(const String& AText, std::initializer_list<String> AValues) { return IndexStr(AText, AValues); }
inline Integer AnsiIndexText(const String& AText, std::initializer_list<String> AValues) { return IndexText(AText, AValues); }
inline bool AnsiMatchStr(const String& AText, std::initializer_list<String> AValues) { return MatchStr(AText, AValues); }
inline bool AnsiMatchText(const String& AText, std::initializer_list<String> AValues) { return MatchText(AText, AValues); }
