#pragma once
// The Turkish collation the table's indexes keep under a Turkish user: the order of the system's
// Turkish comparison (CompareStringW), made from the system's own weights for each UTF-16 value
// once, so that every text has a key and a comparison costs no system call. Where the system
// departs from the Turkish alphabet (Wine takes ı, I and İ for variants of i) the alphabet holds:
// ı before i as a letter of its own, I the capital of ı and İ that of i. Characters whose weights
// do not come apart character by character (kana, jamo, a few compatibility forms) order after
// all others, by their codes.

#include <string>

#include "framework/System.h"

// A key whose byte order is the collation's order of the texts: the letters' weights, then the
// accents', then the case's (lower before upper), then the places of hyphens and apostrophes,
// which the first levels pass over. Every text has one.
bool TurkishSortKeyKv(const String& S, std::string& Key);
void TurkishSortKeyKv(const Char* S, size_t N, std::string& Key);
// The same key without its case level: the order of the case-insensitive comparison.
void TurkishSortKeyNoCaseKv(const Char* S, size_t N, std::string& Key);
// The order of the keys (negative, 0 or positive) without making them, unless the texts agree
// on their letters.
Integer TurkishCompareKv(const Char* A, Integer NA, const Char* B, Integer NB);
// The first letters' weights in a number whose order is the collation's as far as it goes: equal
// prefixes leave the order to TurkishCompareKv.
UInt64 TurkishSortPrefixKv(const Char* S, size_t N);
