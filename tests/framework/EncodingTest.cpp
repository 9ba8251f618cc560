#include <gtest/gtest.h>

#include <memory>

#include "framework/sysutils/Encoding.h"

namespace {

TEST(Encoding, BytesOfTheStandardEncodings) {
  struct Case {
    TEncoding* E;
    const wchar_t* Text;
    TBytes Bytes;
    TBytes Preamble;
  };
  const Case Cases[] = {
      {TEncoding::UTF8(), L"aş", {'a', 0xC5, 0x9F}, {0xEF, 0xBB, 0xBF}},
      {TEncoding::UTF8NoBOM(), L"aş", {'a', 0xC5, 0x9F}, {}},
      {TEncoding::Unicode(), L"aş", {'a', 0, 0x5F, 0x01}, {0xFF, 0xFE}},
      {TEncoding::BigEndianUnicode(), L"aş", {0, 'a', 0x01, 0x5F}, {0xFE, 0xFF}},
      {TEncoding::ASCII(), L"a\x7f", {'a', 0x7F}, {}},
      {TEncoding::ANSI(), L"abc", {'a', 'b', 'c'}, {}},
      {TEncoding::UTF8(), L"", {}, {0xEF, 0xBB, 0xBF}},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(C.E->GetBytes(C.Text), C.Bytes) << UTF8Encode(C.E->ClassName());
    EXPECT_EQ(C.E->GetString(C.Bytes), C.Text) << UTF8Encode(C.E->ClassName());
    EXPECT_EQ(C.E->GetPreamble(), C.Preamble) << UTF8Encode(C.E->ClassName());
  }
  TBytes Ascii = TEncoding::ASCII()->GetBytes(L"ş");  // the system's best fit or '?'
  ASSERT_EQ(Ascii.size(), 1u);
  EXPECT_LT(Ascii[0], 0x80);
  EXPECT_EQ(TEncoding::Default(), TEncoding::ANSI());
}

TEST(Encoding, BadInputDecodesToReplacementCharacters) {
  EXPECT_EQ(TEncoding::UTF8()->GetString(TBytes{'a', 0xFF, 'b'}), L"a\xFFFD" L"b");
  EXPECT_EQ(TEncoding::Unicode()->GetString(TBytes{'a', 0, 'b'}), L"a\xFFFD");
  EXPECT_THROW(TEncoding::UTF8()->GetString(TBytes{'a'}, 0, 2), EEncodingError);
  EXPECT_EQ(TEncoding::UTF8()->GetString(TBytes{'x', 'a', 'b'}, 1, 2), L"ab");
}

TEST(Encoding, BufferEncodingComesFromThePreamble) {
  struct Case {
    TBytes Buffer;
    TEncoding* Given;
    TEncoding* Expected;
    Integer Skip;
  };
  const Case Cases[] = {
      {{0xEF, 0xBB, 0xBF, 'a'}, nullptr, TEncoding::UTF8(), 3},
      {{0xFF, 0xFE, 'a', 0}, nullptr, TEncoding::Unicode(), 2},
      {{0xFE, 0xFF, 0, 'a'}, nullptr, TEncoding::BigEndianUnicode(), 2},
      {{'a', 'b'}, nullptr, TEncoding::Default(), 0},
      {{0xEF, 0xBB}, nullptr, TEncoding::Default(), 0},
      {{}, nullptr, TEncoding::Default(), 0},
      {{0xEF, 0xBB, 0xBF, 'a'}, TEncoding::UTF8(), TEncoding::UTF8(), 3},
      {{0xFF, 0xFE, 'a', 0}, TEncoding::UTF8(), TEncoding::UTF8(), 0},
      {{'a'}, TEncoding::UTF8NoBOM(), TEncoding::UTF8NoBOM(), 0},
  };
  for (const auto& C : Cases) {
    TEncoding* E = C.Given;
    EXPECT_EQ(TEncoding::GetBufferEncoding(C.Buffer, E), C.Skip);
    EXPECT_EQ(E, C.Expected);
  }
  TEncoding* E = nullptr;
  TEncoding::GetBufferEncoding(TBytes{'a'}, E, TEncoding::UTF8());
  EXPECT_EQ(E, TEncoding::UTF8()) << "the caller's default";
}

TEST(Encoding, CodePagesAndConversion) {
  std::unique_ptr<TEncoding> Turkish(TEncoding::GetEncoding(1254));
  EXPECT_EQ(Turkish->GetBytes(L"şİ"), (TBytes{0xFE, 0xDD}));
  EXPECT_EQ(Turkish->GetString(TBytes{0xFD, 0xF0}), L"ığ");
  EXPECT_TRUE(Turkish->GetIsSingleByte());
  EXPECT_FALSE(TEncoding::IsStandardEncoding(Turkish.get()));
  std::unique_ptr<TEncoding> Copy(Turkish->Clone());
  EXPECT_EQ(Copy->GetCodePage(), 1254u);
  EXPECT_EQ(TEncoding::Convert(Turkish.get(), TEncoding::UTF8(), TBytes{0xFE}), (TBytes{0xC5, 0x9F}));
  EXPECT_THROW(TEncoding::GetEncoding(12345), EEncodingError);
  std::unique_ptr<TEncoding> U16(TEncoding::GetEncoding(1200));
  EXPECT_EQ(U16->GetPreamble(), (TBytes{0xFF, 0xFE}));
}

}  // namespace
