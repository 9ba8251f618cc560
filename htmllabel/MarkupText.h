#pragma once
// MarkupText: the small HTML-like markup that labels show, as string routines that work on
// marked-up text without drawing it: normalisation before layout, tags and attributes, colours,
// numbers, plain text and tag-free positions (highlighting).

#include "framework/System.h"
#include "framework/graphics/Colors.h"

// Positions are 1-based.

// ASCII letters upper-cased, the rest untouched: tag and attribute names compare so under any locale.
String UpperAscii(const String& Text);
// Plain text: <BR> and <HR> become CR LF, <z>...</z> blocks are cut out, other tags removed.
String HTMLStrip(const String& Text);
// Removes every "<...>"; stops at a "<" without a later ">" and keeps the rest as it stands.
String StripTags(const String& Text);
// String position of the N-th character outside tags; length + 1 for one past the last; else 0.
Integer VisibleCharPos(const String& Text, Integer N);
// Position (Offset + position within Text after its first Offset characters) of Search, 0 when
// absent or when Search is empty. Pos receives the same value.
Integer FindVisibleText(const String& Search, const String& Text, Integer Offset, bool CaseSensitive,
                        Integer& Pos);
// Wraps every occurrence of Search (found in the tag-free view) in <Tag>...</Tag>. An empty
// Search leaves the text unchanged.
String InsertTagAroundText(const String& Text, const String& Search, const String& Tag, bool CaseSensitive);
// Removes every <Tag> and </Tag>, in any letter case.
String RemoveTagPair(const String& Text, const String& Tag);

// Lower-case colour name ("clred", "clhighlight") to a colour; 0 for an unknown name.
TColor ColorNameToColor(const String& Name);
// "#RRGGBB" in either letter case; a short or invalid pair counts 0.
TColor HexColorToColor(const String& Value);
// A "#" value through HexColorToColor, anything else lower-cased through ColorNameToColor.
TColor MarkupColor(const String& Value);

// Named character references, each name replaced where it occurs with exactly its letter case.
String DecodeNamedEntities(const String& Text);
// "&#n;" and "&#n" followed by a non-digit become the character n (surrogate pairs above 0xFFFF);
// 0, surrogates, values above 0x10FFFF and malformed references stay as written.
String DecodeNumericEntities(const String& Text);
// "<#abc>" becomes "#abc".
String UnwrapHashTags(const String& Text);
// CR becomes "<BR>" when Breaks is set (else it is removed); LF is removed.
String TextToHtmlBreaks(const String& Text, bool Breaks);
// The whole normalisation that precedes layout. Prefix processing is off when the text contains
// " & "; "&amp;" then reads as a plain "&", otherwise as "&&" (one shown ampersand).
String NormalizeMarkup(const String& Text);

// Plain text (a path, a name, an error message) made into markup that shows it as it is, with
// prefix processing on: "<" and ">" as "&lt;" and "&gt;", "&" as "&#38;&#38;" (decoded after the
// named references, and a doubled "&" shows one), followed by an empty tag "<>" before a letter
// so that "&lt;" typed in the text is not read as a reference, and line ends as "<BR>". A text
// around it that contains " & " turns prefix processing off and would show "&&".
String HtmlEscape(const String& Text);

// Leading blanks, optional sign, decimal digits or "$"/"0x" hexadecimal; 0 without digits.
// A value beyond the integer range saturates.
Integer StrToIntOrZero(const String& Text);
// The value with "," read as "." and the invariant decimal point; 0 when the text is no number.
double StrToFloatAnySep(const String& Text);

// The quoted value of an attribute of a tag: the name must stand as a whole word (after a blank)
// followed by optional blanks and "="; the value lies between the next two double quotes.
// Found is false when the tag has no such attribute.
String TagAttribute(const String& Tag, const String& Name, bool* Found = nullptr);

