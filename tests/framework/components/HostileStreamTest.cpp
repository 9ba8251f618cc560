#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/Classes.h"
#include "framework/WinApi.h"
#include "tests/framework/components/StreamingFixture.h"

namespace {

std::string Bytes(TMemoryStream& M) { return std::string(static_cast<const char*>(M.GetMemory()), size_t(M.GetSize())); }

void Fill(TMemoryStream& M, const std::string& S) {
  M.Clear();
  if (!S.empty()) M.WriteBuffer(S.data(), Integer(S.size()));
  M.SetPosition(0);
}

std::string ShortStr(const std::string& S) { return char(S.size()) + S; }

std::string Repeat(const std::string& S, size_t N) {
  std::string R;
  R.reserve(S.size() * N);
  for (size_t I = 0; I < N; ++I) R += S;
  return R;
}

std::string TextToBinary(const std::string& T) {
  TMemoryStream In, Out;
  Fill(In, T);
  ObjectTextToBinary(&In, &Out);
  return Bytes(Out);
}

std::string BinaryToText(const std::string& B) {
  TMemoryStream In, Out;
  Fill(In, B);
  ObjectBinaryToText(&In, &Out);
  return Bytes(Out);
}

// The form's root with its Tag property about to get a value.
const std::string TagPrefix = "TPF0" + ShortStr("TDemoForm") + ShortStr("F") + ShortStr("Tag");

std::string NestedComponents(size_t N) {
  std::string S = "TPF0" + ShortStr("TDemoForm") + ShortStr("F") + std::string(1, '\0');
  for (size_t I = 0; I < N; ++I) S += ShortStr("TDemoControl") + ShortStr("c" + std::to_string(I)) + std::string(1, '\0');
  return S + std::string(N + 1, '\0');
}

// ---- Nesting ----------------------------------------------------------------------------------

TEST(HostileStreams, DeepNestingInBinaryStreamsIsAReadingError) {
  RegisterDemoClasses();
  const size_t N = 20000;  // beyond what the stack holds when each level recurses
  const std::pair<const char*, std::string> Cases[] = {
      {"lists", TagPrefix + std::string(N, '\x01') + std::string(N + 2, '\0')},
      {"collections", TagPrefix + Repeat(std::string("\x0E\x01", 2) + ShortStr("Item"), N) + std::string(3 * N, '\0')},
      {"components", NestedComponents(6000)},
  };
  int Live = DemoLiveCount();
  for (const auto& [Name, Data] : Cases) {
    TMemoryStream M;
    Fill(M, Data);
    try {
      delete M.ReadComponent(nullptr);
      ADD_FAILURE() << Name;
    } catch (const EReadError& E) {
      EXPECT_NE(E.Message().find(L"nests too deeply"), String::npos) << Name << ": " << E.Message();
    }
    EXPECT_EQ(DemoLiveCount(), Live) << Name;
    // The converter to text walks the same values.
    EXPECT_THROW(BinaryToText(Data), EReadError) << Name;
  }
}

TEST(HostileStreams, DeepNestingInTextIsAParserError) {
  RegisterDemoClasses();
  const size_t N = 20000;
  const std::string Head = "object R: TDemoForm\r\n  Tag = ";
  const std::pair<const char*, std::string> Cases[] = {
      {"lists", Head + std::string(N, '(')},
      {"objects", "object R: TDemoForm\r\n" + Repeat("object A: TDemoControl\r\n", N)},
      {"collections", Head + Repeat("< item Items = ", N)},
  };
  for (const auto& [Name, Text] : Cases) {
    try {
      TextToBinary(Text);
      ADD_FAILURE() << Name;
    } catch (const EParserError& E) {
      EXPECT_NE(E.Message().find(L"nests too deeply"), String::npos) << Name << ": " << E.Message();
    }
  }
}

TEST(HostileStreams, NestingThatFormsUseStillReads) {
  RegisterDemoClasses();
  // A hundred levels of lists and of components go through both forms unchanged.
  std::string Text = "object R: TDemoForm\r\n  Tag = " + std::string(100, '(') + "1" + std::string(100, ')') + "\r\nend\r\n";
  std::string B = TextToBinary(Text);
  EXPECT_EQ(TextToBinary(BinaryToText(B)), B);
  std::unique_ptr<TComponent> F;
  {
    TMemoryStream M;
    Fill(M, NestedComponents(100));
    F.reset(M.ReadComponent(nullptr));
  }
  EXPECT_EQ(F->GetComponentCount(), 100);
}

// ---- Number and string fidelity ---------------------------------------------------------------

TEST(HostileStreams, CurrencyIsWrittenAndReadAsTenThousandths) {
  RegisterDemoClasses();
  const std::pair<const char*, Int64> Cases[] = {
      {"15000c", 15000},             // 1.5
      {"123456c", 123456},           // 12.3456
      {"-1c", -1},                   // -0.0001
      {"9000000000000000000c", 9000000000000000000LL},
      {"2.5E4c", 25000},
  };
  for (auto [Text, Raw] : Cases) {
    std::string B = TextToBinary(std::string("object F: TDemoForm\r\n  object C: TDemoControl\r\n    Price = ") + Text +
                                 "\r\n  end\r\nend\r\n");
    TMemoryStream M;
    Fill(M, B);
    std::unique_ptr<TComponent> F(M.ReadComponent(nullptr));
    auto* C = static_cast<TDemoControl*>(F->FindComponent(L"C"));
    EXPECT_EQ(C->GetPrice().Raw(), Raw) << Text;
  }
  TDemoForm F(nullptr);
  F.SetName(L"F");
  auto* C = new TDemoControl(&F);
  C->SetName(L"C");
  C->SetPrice(Currency(1.5));
  TMemoryStream M;
  M.WriteComponent(&F);
  EXPECT_NE(BinaryToText(Bytes(M)).find("Price = 15000c\r\n"), std::string::npos) << BinaryToText(Bytes(M));
}

TEST(HostileStreams, EightBitStringsAreInTheAnsiCodePage) {
  RegisterDemoClasses();
  // "Kafé" as a short string (vaString) and as a long one (vaLString), byte E9 in the ANSI page.
  std::string Short = "\x06" + ShortStr("Kaf\xE9");
  std::string Long = std::string("\x0C\x04\x00\x00\x00", 5) + "Kaf\xE9";
  wchar_t E9 = 0;
  MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, &E9, 1);
  for (const std::string& Value : {Short, Long}) {
    std::string B = "TPF0" + ShortStr("TDemoForm") + ShortStr("F") + ShortStr("Caption") + Value + std::string(2, '\0');
    TMemoryStream M;
    Fill(M, B);
    std::unique_ptr<TComponent> F(M.ReadComponent(nullptr));
    EXPECT_EQ(static_cast<TDemoForm*>(F.get())->GetCaption(), String(L"Kaf") + E9);
    EXPECT_NE(BinaryToText(B).find("Caption = 'Kaf'#" + std::to_string(unsigned(E9)) + "\r\n"), std::string::npos);
  }
}

TEST(HostileStreams, InfinitiesAndNaNRoundTripThroughText) {
  RegisterDemoClasses();
  const double Inf = std::numeric_limits<double>::infinity();
  struct Case {
    double Ratio;
    Single Scale;
    const char* RatioText;
    const char* ScaleText;
  };
  const Case Cases[] = {
      {Inf, -std::numeric_limits<Single>::infinity(), "Ratio = INF\r\n", "Scale = -INFs\r\n"},
      {-Inf, std::numeric_limits<Single>::infinity(), "Ratio = -INF\r\n", "Scale = INFs\r\n"},
      {std::nan(""), std::numeric_limits<Single>::quiet_NaN(), "Ratio = NAN\r\n", "Scale = NANs\r\n"},
  };
  for (const auto& C : Cases) {
    TDemoForm F(nullptr);
    F.SetName(L"F");
    auto* X = new TDemoControl(&F);
    X->SetName(L"X");
    X->SetRatio(C.Ratio);
    X->SetScale(C.Scale);
    TMemoryStream M;
    M.WriteComponent(&F);
    std::string T = BinaryToText(Bytes(M));
    EXPECT_NE(T.find(C.RatioText), std::string::npos) << T;
    EXPECT_NE(T.find(C.ScaleText), std::string::npos) << T;
    EXPECT_EQ(TextToBinary(T), Bytes(M));
    TMemoryStream Back;
    Fill(Back, TextToBinary(T));
    std::unique_ptr<TComponent> G(Back.ReadComponent(nullptr));
    auto* Y = static_cast<TDemoControl*>(G->FindComponent(L"X"));
    if (std::isnan(C.Ratio)) {
      EXPECT_TRUE(std::isnan(Y->GetRatio()));
      EXPECT_TRUE(std::isnan(Y->GetScale()));
    } else {
      EXPECT_EQ(Y->GetRatio(), C.Ratio);
      EXPECT_EQ(Y->GetScale(), C.Scale);
    }
  }
}

TEST(HostileStreams, OverflowingOrEmptyNumbersAreParserErrors) {
  const char* Values[] = {"99999999999999999999", "-9223372036854775809", "-", "$", "-$", "$1FFFFFFFFFFFFFFFF",
                          "1E9999",               "1E",                   "1E99999c", "99999999999999999999c",
                          "1E99s"};
  for (const char* V : Values) {
    try {
      TextToBinary(std::string("object F: TDemoForm\r\n  Tag = ") + V + "\r\nend\r\n");
      ADD_FAILURE() << V;
    } catch (const EParserError& E) {
      EXPECT_NE(E.Message().find(L"on line 2"), String::npos) << V << ": " << E.Message();
    }
  }
  // The extremes themselves are numbers.
  for (const char* V : {"9223372036854775807", "-9223372036854775808", "$FFFFFFFFFFFFFFFF"})
    EXPECT_NO_THROW(TextToBinary(std::string("object F: TDemoForm\r\n  Tag = ") + V + "\r\nend\r\n")) << V;
}

// ---- Layout -----------------------------------------------------------------------------------

TEST(HostileStreams, TextLayoutFollowsTheStandardForm) {
  RegisterDemoClasses();
  TDemoForm F(nullptr);
  F.SetName(L"F");
  // 70 characters with a quote at 40 and a letter outside ASCII at 66.
  String Long = String(40, L'a') + L"'" + String(25, L'b') + L"ş" + String(3, L'c');
  F.SetCaption(Long);
  auto* C = new TDemoControl(&F);
  C->SetName(L"C");
  C->SetCaption(L"it's");
  C->Data = TBytes(40, 0xAB);
  C->GetLines()->Add(String(65, L'x'));
  TMemoryStream M;
  M.WriteComponent(&F);
  std::string T = BinaryToText(Bytes(M));
  const char* Expected[] = {
      // A string longer than 64 characters starts on its own line and is cut every 64.
      "  Caption = \r\n    '" /* 40 a */ "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa'#39'" /* 23 b */
      "bbbbbbbbbbbbbbbbbbbbbbb' +\r\n    'bb'#351'ccc'\r\n",
      "    Caption = 'it'#39's'\r\n",
      // Binary data: 32 bytes to a line, each line of its own.
      "    Data = {\r\n      ABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABAB\r\n      ABABABABABABABAB}\r\n",
      "    Lines.Strings = (\r\n      \r\n        'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx' +\r\n        'x')\r\n",
  };
  for (const char* E : Expected) EXPECT_NE(T.find(E), std::string::npos) << E << "\n--- in ---\n" << T;
  // And it reads back to the same stream.
  EXPECT_EQ(TextToBinary(T), Bytes(M));
}

// ---- Memory streams ---------------------------------------------------------------------------

class TCountingStream : public TMemoryStream {
 public:
  int Changes = 0;
  void SetCapacity(NativeInt NewCapacity) override {
    if (NewCapacity != GetCapacity()) ++Changes;
    TMemoryStream::SetCapacity(NewCapacity);
  }
};

TEST(HostileStreams, MemoryStreamGrowsGeometrically) {
  TCountingStream M;
  const char Chunk[16] = "0123456789abcde";
  for (int I = 0; I < 0x100000 / 16; ++I) M.WriteBuffer(Chunk, 16);
  EXPECT_EQ(M.GetSize(), 0x100000);
  // A megabyte written 16 bytes at a time: a few dozen reallocations, not one per 8 KB.
  EXPECT_LT(M.Changes, 40);
  EXPECT_EQ(std::memcmp(static_cast<const char*>(M.GetMemory()) + 0xFFFF0, Chunk, 16), 0);
}

}  // namespace
