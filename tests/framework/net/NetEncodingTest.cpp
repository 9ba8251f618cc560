#include <gtest/gtest.h>

#include "framework/NetEncoding.h"

namespace {

TEST(URLEncoding, EncodesByTheQueryRules) {
  struct Case {
    const wchar_t* Text;
    const wchar_t* Encoded;
  };
  const Case Cases[] = {
      {L"", L""},
      {L"Zelkor 6.0.zip", L"Zelkor+6.0.zip"},
      {L"postgresql.zip", L"postgresql.zip"},
      {L"AZaz09", L"AZaz09"},
      {L"!$'()*-.@_", L"!$'()*-.@_"},                         // kept as they are
      {L"/", L"%2F"},                                          // a path is encoded segment by segment
      {L"a&b=c?d#e%f+g", L"a%26b%3Dc%3Fd%23e%25f%2Bg"},
      {L"~,;:[]{}\"<>\\^`|", L"%7E%2C%3B%3A%5B%5D%7B%7D%22%3C%3E%5C%5E%60%7C"},
      {L"\u0131", L"%C4%B1"},                                  // dotless i
      {L"Ğİşçöü", L"%C4%9E%C4%B0%C5%9F%C3%A7%C3%B6%C3%BC"},
      {L"\u20AC", L"%E2%82%AC"},                               // three bytes
      {L"\U0001F600", L"%F0%9F%98%80"},                        // a surrogate pair is one character
      {L"a\tb\r\n", L"a%09b%0D%0A"},
      {L"  ", L"++"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(TNetEncoding::URL()->Encode(C.Text), C.Encoded) << UTF8Encode(C.Text);
    EXPECT_EQ(TNetEncoding::URL()->Decode(C.Encoded), C.Text) << UTF8Encode(C.Encoded);
  }
}

TEST(URLEncoding, DecodeKeepsAPercentWithoutTwoHexDigits) {
  EXPECT_EQ(TNetEncoding::URL()->Decode(L"100%"), L"100%");
  EXPECT_EQ(TNetEncoding::URL()->Decode(L"%zz%4"), L"%zz%4");
  EXPECT_EQ(TNetEncoding::URL()->Decode(L"%c4%b1"), L"\u0131");  // lower-case hex is read too
}

}  // namespace
