#pragma once
// SysUtils text routines: ASCII and locale-aware case and comparison, trimming, replacing,
// quoting, delimiters and character sets. The Ansi* routines follow the locale in
// SysLocale.DefaultLCID (the user's locale at start) through the system's collation and case
// mapping; the others touch only 'A'..'Z' and 'a'..'z'.
//
// Every case-insensitive text routine has one rule: texts are equal ignoring case when their
// AnsiUpperCase forms are equal, so under a Turkish locale "ini" matches "İNİ" and not "INI".
// File names, extensions, ini sections and keys are no text in this sense: they compare as the
// file system does (SameFileName in sysutils/Files.h), and names of components and properties
// by SameIdent (System.h).

#include "framework/sysutils/FormatSettings.h"

// ---- Case and comparison ----------------------------------------------------------------------

String UpperCase(const String& S);
String LowerCase(const String& S);
// Ordinal comparison: <0, 0 or >0.
Integer CompareStr(const String& S1, const String& S2);
// Ordinal comparison with 'a'..'z' folded to 'A'..'Z'.
Integer CompareText(const String& S1, const String& S2);
bool SameStr(const String& S1, const String& S2);
bool SameText(const String& S1, const String& S2);

String AnsiUpperCase(const String& S);
String AnsiLowerCase(const String& S);
Integer AnsiCompareStr(const String& S1, const String& S2);
// Compares the AnsiUpperCase forms by the locale's collation: 0 exactly when they are equal.
Integer AnsiCompareText(const String& S1, const String& S2);
bool AnsiSameStr(const String& S1, const String& S2);
bool AnsiSameText(const String& S1, const String& S2);
Integer AnsiStrComp(const wchar_t* S1, const wchar_t* S2);
Integer AnsiStrIComp(const wchar_t* S1, const wchar_t* S2);
// Compares at most MaxLen characters of each.
Integer AnsiStrLComp(const wchar_t* S1, const wchar_t* S2, Cardinal MaxLen);
Integer AnsiStrLIComp(const wchar_t* S1, const wchar_t* S2, Cardinal MaxLen);
// 1-based position of SubStr in S, 0 when absent.
Integer AnsiPos(const String& SubStr, const String& S);
inline Char AnsiLastChar(const String& S) { return S.empty() ? L'\0' : S.back(); }

// ---- Trimming, replacing, quoting -------------------------------------------------------------

// Remove the characters up to ' ' (control characters and blanks) from the ends.
String Trim(const String& S);
String TrimLeft(const String& S);
String TrimRight(const String& S);

enum TReplaceFlag { rfReplaceAll, rfIgnoreCase };
using TReplaceFlags = Set<TReplaceFlag>;
// rfIgnoreCase compares with the locale's case mapping, as AnsiUpperCase does.
String StringReplace(const String& S, const String& OldPattern, const String& NewPattern, TReplaceFlags Flags);

// 'It''s' from It's.
String QuotedStr(const String& S);
String AnsiQuotedStr(const String& S, Char Quote);
// Reads a quoted string at Src, undoubling the quote; Src ends after the closing quote (or at
// the end of the text when it is missing). Empty when Src does not start with Quote.
String AnsiExtractQuotedStr(const wchar_t*& Src, Char Quote);
// The unquoted text when S is quoted with Quote; S itself otherwise.
String AnsiDequotedStr(const String& S, Char Quote);
String DequotedStr(const String& S, Char Quote = L'\'');

// ---- Delimiters and character sets ------------------------------------------------------------

// Whether S[Index] (1-based) is one of Delimiters.
bool IsDelimiter(const String& Delimiters, const String& S, Integer Index);
// 1-based index of the last character of S that is one of Delimiters, 0 when none.
Integer LastDelimiter(const String& Delimiters, const String& S);

// A set of single-byte characters: TSysCharSet{'a', 'b'}.
using TSysCharSet = Set<Byte>;
inline bool CharInSet(Char C, const TSysCharSet& CharSet) { return C < 0x100 && CharSet.Contains(Byte(C)); }

enum TTextLineBreakStyle { tlbsLF, tlbsCRLF, tlbsCR };
// Every CR, LF, CR LF or LF CR becomes one line break of the given style.
String AdjustLineBreaks(const String& S, TTextLineBreakStyle Style = tlbsCRLF);
inline constexpr const wchar_t* sLineBreak = L"\r\n";

// A Pascal identifier: a letter or '_' first, then letters, digits and '_'; with AllowDots,
// dotted names ("Unit.Name").
bool IsValidIdent(const String& Ident, bool AllowDots = false);

// ---- Multi-byte helpers -----------------------------------------------------------------------

// Text is UTF-16, so the only "lead" characters are high surrogates; LeadBytes holds the lead
// bytes of the system's ANSI code page for code that looks at raw key codes.
enum TMbcsByteType { mbSingleByte, mbLeadByte, mbTrailByte };
TMbcsByteType ByteType(const String& S, Integer Index);
inline bool IsLeadChar(Char C) { return C >= 0xD800 && C <= 0xDBFF; }
inline bool IsLeadByteChar(Char C) { return IsLeadChar(C); }
extern TSysCharSet LeadBytes;

// ---- GUIDs ------------------------------------------------------------------------------------

struct TGUID {
  Cardinal D1 = 0;
  Word D2 = 0;
  Word D3 = 0;
  Byte D4[8] = {};
  bool operator==(const TGUID& R) const = default;
};
// Fresh random GUID; 0 on success, as the system's HRESULT.
Integer CreateGUID(TGUID& Guid);
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in upper case.
String GUIDToString(const TGUID& Guid);
// Raises EConvertError when S is not in that form.
TGUID StringToGUID(const String& S);
