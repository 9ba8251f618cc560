#include <gtest/gtest.h>

#include "framework/sysutils/StringBuilder.h"

namespace {

TEST(StringBuilder, AppendsChainAndEditsInPlace) {
  TStringBuilder B;
  B.Append(L"Tutar: ")->Append(Integer(-12))->Append(L',')->Append(2.5)->Append(L' ', 2)->Append(true);
  EXPECT_EQ(B.ToString(), L"Tutar: -12,2.5  True");
  B.Clear()->Append(L"şube")->AppendLine()->AppendLine(L"x");
  EXPECT_EQ(B.ToString(), L"şube\r\nx\r\n");
  B.Clear()->Append(L"abcabc");
  B.Replace(L"bc", L"X");
  EXPECT_EQ(B.ToString(), L"aXaX");
  B.Insert(0, L">")->Remove(1, 2)->Replace(L'X', L'y');
  EXPECT_EQ(B.ToString(), L">ay");
  EXPECT_EQ(B.GetLength(), 3);
  EXPECT_EQ(B.GetChars(1), L'a');
  B.SetChars(1, L'ı');
  EXPECT_EQ(B.ToString(1, 2), L"ıy");
  B.SetLength(1);
  EXPECT_EQ(B.ToString(), L">");
  B.Clear()->Append(L"aaa")->Replace(L"a", L"aa", 1, 1);
  EXPECT_EQ(B.ToString(), L"aaaa") << "only inside the range";
  B.Clear()->Append(L"0123")->Append(L"xyz", 1, 2)->Append(0.1);
  EXPECT_EQ(B.ToString(), L"0123yz0.1");
  B.Clear()->AppendFormat(L"%s indirilemedi (HTTP %d).", {L"Qal.exe", 404});
  EXPECT_EQ(B.ToString(), L"Qal.exe indirilemedi (HTTP 404).");
}

TEST(StringBuilder, OutOfRangeIndexesRaise) {
  TStringBuilder B(L"abc");
  EXPECT_THROW(B.GetChars(3), ERangeError);
  EXPECT_THROW(B.Remove(2, 5), ERangeError);
  EXPECT_THROW(B.Insert(4, L"x"), ERangeError);
  EXPECT_THROW(B.Append(L"xy", 1, 5), ERangeError);
  EXPECT_EQ(B.ToString(), L"abc");
}

}  // namespace
