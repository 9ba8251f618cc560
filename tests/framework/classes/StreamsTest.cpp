#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/sysutils/Encoding.h"

namespace {

String TempName(const wchar_t* Name) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  return String(Dir) + Name;
}

// Keeps its memory on the global heap and records every capacity it is asked for.
class TGlobalMemoryStream : public TMemoryStream {
  DECLARE_CLASS(TGlobalMemoryStream, TMemoryStream)
 public:
  std::vector<NativeInt> Requests;
  ~TGlobalMemoryStream() override { Clear(); }

 protected:
  void* Realloc(NativeInt& NewCapacity) override {
    Requests.push_back(NewCapacity);
    if (NewCapacity > 0 && NewCapacity != FSize) NewCapacity = (NewCapacity + 4095) & ~NativeInt(4095);
    if (NewCapacity == GetCapacity()) return GetMemory();
    if (FBlock) GlobalUnlock(FBlock);
    if (NewCapacity == 0) {
      if (FBlock) GlobalFree(FBlock);
      FBlock = nullptr;
      return nullptr;
    }
    HGLOBAL B = FBlock ? GlobalReAlloc(FBlock, SIZE_T(NewCapacity), GMEM_MOVEABLE) : GlobalAlloc(GMEM_MOVEABLE, SIZE_T(NewCapacity));
    if (!B) throw EStreamError(L"Out of memory while expanding memory stream");
    FBlock = B;
    return GlobalLock(FBlock);
  }

 private:
  HGLOBAL FBlock = nullptr;
};

TEST(MemoryStream, EveryCapacityChangeGoesThroughRealloc) {
  std::vector<Byte> Data(10000);
  for (size_t I = 0; I < Data.size(); ++I) Data[I] = Byte(I * 7);
  TGlobalMemoryStream S;
  S.WriteBuffer(Data.data(), 100);
  EXPECT_EQ(S.GetCapacity(), 4096);
  S.WriteBuffer(Data.data() + 100, 9900);
  EXPECT_EQ(S.GetCapacity(), 12288);
  EXPECT_EQ(S.GetSize(), 10000);
  S.SetSize(5000);  // shrinking goes through Realloc too, rounded by it
  EXPECT_EQ(S.GetCapacity(), 8192);
  EXPECT_EQ(S.GetPosition(), 5000);
  EXPECT_EQ(std::memcmp(S.GetMemory(), Data.data(), 5000), 0);
  S.Clear();
  EXPECT_EQ(S.GetMemory(), nullptr);
  EXPECT_EQ(S.Requests, (std::vector<NativeInt>{100, 10000, 5000, 0}));
}

TEST(MemoryStream, OwnReallocGrowsInEightKilobyteSteps) {
  TMemoryStream S;
  Byte B = 1;
  S.WriteBuffer(&B, 1);
  EXPECT_EQ(S.GetCapacity(), 8192);
  std::vector<Byte> Big(8192, 2);
  S.WriteBuffer(Big.data(), Integer(Big.size()));
  EXPECT_EQ(S.GetCapacity(), 16384);
  S.SetSize(3);
  EXPECT_EQ(S.GetCapacity(), 8192);
  Byte Back[3] = {};
  S.SetPosition(0);
  EXPECT_EQ(S.Read(Back, 10), 3);
  EXPECT_EQ(Back[0], 1);
  EXPECT_EQ(Back[2], 2);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TMemoryStream S;
  S.WriteBuffer("ab", 2);
  S.SetPosition(6);
  S.WriteBuffer("z", 1);
  ASSERT_EQ(S.GetSize(), 7);
  EXPECT_EQ(std::memcmp(S.GetMemory(), "ab\0\0\0\0z", 7), 0);
  EXPECT_EQ(S.Seek(-2, soEnd), 5);
  EXPECT_EQ(S.Seek(1, soCurrent), 6);
}

TEST(MemoryStream, ReadBufferAndWriteBufferAreAllOrNothing) {
  TMemoryStream S;
  S.WriteBuffer("abc", 3);
  S.SetPosition(1);
  char Buf[4];
  try {
    S.ReadBuffer(Buf, 4);
    FAIL();
  } catch (const EReadError& E) {
    EXPECT_EQ(E.Message(), L"Stream read error");
  }
  TResourceStream R(HInstance(), L"QAL_TEST_DATA", RT_RCDATA);
  try {
    R.WriteBuffer("x", 1);
    FAIL();
  } catch (const EStreamError& E) {
    EXPECT_EQ(E.Message(), L"Can't write to a read-only resource stream");
  }
}

TEST(MemoryStream, CopyFromWithZeroCountCopiesTheWholeSource) {
  TStringStream Src(L"0123456789");
  Src.SetPosition(7);
  TMemoryStream Dst;
  EXPECT_EQ(Dst.CopyFrom(&Src, 0), 10);
  EXPECT_EQ(Dst.GetSize(), 10);
  Src.SetPosition(2);
  TMemoryStream Part;
  EXPECT_EQ(Part.CopyFrom(&Src, 3), 3);
  EXPECT_EQ(std::memcmp(Part.GetMemory(), "234", 3), 0);
  Src.SetPosition(8);
  EXPECT_THROW(Part.CopyFrom(&Src, 3), EReadError);
}

TEST(MemoryStream, LoadAndSaveThroughFiles) {
  String Name = TempName(L"qal_memstream_test.bin");
  TMemoryStream S;
  S.WriteBuffer("payload", 7);
  S.SaveToFile(Name);
  TMemoryStream Back;
  Back.LoadFromFile(Name);
  EXPECT_EQ(Back.GetSize(), 7);
  EXPECT_EQ(std::memcmp(Back.GetMemory(), "payload", 7), 0);
  DeleteFileW(Name.c_str());
}

TEST(FileStream, FailuresNameTheFileAndTheSystemReason) {
  String Missing = TempName(L"qal_no_such_dir\\x.txt");
  try {
    TFileStream F(Missing, fmOpenRead);
    FAIL();
  } catch (const EFOpenError& E) {
    EXPECT_EQ(E.Message().rfind(L"Cannot open file \"" + Missing + L"\". ", 0), 0u) << UTF8Encode(E.Message());
    EXPECT_GT(E.Message().size(), Missing.size() + 22) << "carries the system text";
  }
  try {
    TFileStream F(Missing, fmCreate);
    FAIL();
  } catch (const EFCreateError& E) {
    EXPECT_EQ(E.Message().rfind(L"Cannot create file \"", 0), 0u);
  }
}

TEST(FileStream, ShareModesAndReadWriteRoundTrip) {
  String Name = TempName(L"qal_filestream_test.bin");
  {
    TFileStream F(Name, fmCreate);
    F.WriteBuffer("0123456789", 10);
    F.SetSize(4);
    EXPECT_EQ(F.GetSize(), 4);
  }
  {
    TFileStream R(Name, fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(TFileStream(Name, fmOpenWrite), EFOpenError);
    TFileStream R2(Name, fmOpenRead | fmShareDenyWrite);
    char Buf[8] = {};
    EXPECT_EQ(R.Read(Buf, 8), 4);
    EXPECT_STREQ(Buf, "0123");
    EXPECT_EQ(R.Write("x", 1), -1) << "opened for reading";
  }
  EXPECT_THROW(TFileStream(Name, fmCreate | fmExclusive), EFCreateError);
  DeleteFileW(Name.c_str());
}

TEST(ResourceStream, ReadsByNameAndByIdAndNamesWhatIsMissing) {
  TResourceStream ByName(HInstance(), L"QAL_TEST_DATA", RT_RCDATA);
  EXPECT_EQ(ByName.GetSize(), 7);
  char Buf[8] = {};
  ByName.ReadBuffer(Buf, 7);
  EXPECT_STREQ(Buf, "Zelkor");
  TResourceStream ById(HInstance(), 4711, RT_RCDATA);
  EXPECT_EQ(ById.GetSize(), 5);
  struct Case {
    std::function<void()> Open;
    const wchar_t* Message;
  };
  const Case Cases[] = {
      {[] { TResourceStream(HInstance(), L"NOPE", RT_RCDATA); }, L"Resource NOPE not found"},
      {[] { TResourceStream(HInstance(), 999, RT_RCDATA); }, L"Resource 999 not found"},
      {[] { TResourceStream(HInstance(), L"QAL_TEST_DATA", RT_BITMAP); }, L"Resource QAL_TEST_DATA not found"},
  };
  for (const auto& C : Cases) {
    try {
      C.Open();
      ADD_FAILURE() << UTF8Encode(C.Message);
    } catch (const EResNotFound& E) {
      EXPECT_EQ(E.Message(), C.Message);
    }
  }
}

TEST(StringStream, HoldsTextInItsEncoding) {
  TStringStream U(L"çay", TEncoding::UTF8());
  EXPECT_EQ(U.GetSize(), 4);
  EXPECT_EQ(U.GetDataString(), L"çay");
  U.SetPosition(U.GetSize());
  U.WriteString(L" şekerli");
  EXPECT_EQ(U.GetDataString(), L"çay şekerli");
  U.SetPosition(5);
  EXPECT_EQ(U.ReadString(100), L"şekerli");
  TStringStream W(L"ab", TEncoding::GetEncoding(1200), true);
  EXPECT_EQ(W.GetSize(), 4);
  TStringStream A(L"abc");
  EXPECT_EQ(A.GetEncoding(), TEncoding::Default());
  EXPECT_EQ(A.GetDataString(), L"abc");
}

TEST(BytesStream, GrowsItsArray) {
  TBytesStream S(TBytes{1, 2, 3});
  EXPECT_EQ(S.GetSize(), 3);
  EXPECT_EQ(S.GetCapacity(), 3);
  S.Seek(0, soEnd);
  Byte B = 4;
  S.WriteBuffer(&B, 1);
  EXPECT_EQ(S.GetSize(), 4);
  EXPECT_EQ(S.GetBytes().size(), 8192u) << "the array is the capacity";
  EXPECT_EQ(S.GetBytes()[3], 4);
}

}  // namespace
