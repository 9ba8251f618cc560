#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/Zip.h"
#include "tests/framework/FuzzHarness.h"

namespace {

TBytes Pattern(size_t Size, unsigned Seed) {
  TBytes B(Size);
  UInt64 X = Seed * 2654435761u + 1;
  for (auto& C : B) {
    X = X * 6364136223846793005ull + 1442695040888963407ull;
    C = Byte(X >> 56);
  }
  return B;
}

TBytes FileBytes(const String& Name) {
  TFileStream F(Name, fmOpenRead | fmShareDenyNone);
  TBytes B(size_t(F.GetSize()));
  if (!B.empty()) F.ReadBuffer(B.data(), Integer(B.size()));
  return B;
}

TBytes StreamBytes(TMemoryStream& S) {
  const Byte* P = static_cast<const Byte*>(S.GetMemory());
  return TBytes(P, P + S.GetSize());
}

class ZipFile : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t Buf[MAX_PATH];
    GetTempPathW(MAX_PATH, Buf);
    Root = IncludeTrailingPathDelimiter(Buf) + L"qal-zip-" + IntToStr(Integer(GetCurrentProcessId())) + L"-" +
           IntToStr(Integer(GetTickCount())) + L"\\";
    ASSERT_TRUE(ForceDirectories(Root));
  }
  void TearDown() override { RemoveTree(ExcludeTrailingPathDelimiter(Root)); }

  static void RemoveTree(const String& Dir) {
    TSearchRec F;
    if (FindFirst(Dir + L"\\*", faAnyFile, F) == 0) {
      do {
        if (F.Name == L"." || F.Name == L"..") continue;
        String Path = Dir + L"\\" + F.Name;
        if (F.Attr & faDirectory) RemoveTree(Path);
        else DeleteFile(Path);
      } while (FindNext(F) == 0);
      FindClose(F);
    }
    RemoveDir(Dir);
  }

  // Every file and folder below Dir, relative, "\"-separated, folders ending in "\".
  static std::vector<String> Listing(const String& Dir, const String& Prefix = String()) {
    std::vector<String> R;
    TSearchRec F;
    if (FindFirst(Dir + L"\\*", faAnyFile, F) == 0) {
      do {
        if (F.Name == L"." || F.Name == L"..") continue;
        if (F.Attr & faDirectory) {
          R.push_back(Prefix + F.Name + L"\\");
          for (auto& S : Listing(Dir + L"\\" + F.Name, Prefix + F.Name + L"\\")) R.push_back(S);
        } else {
          R.push_back(Prefix + F.Name);
        }
      } while (FindNext(F) == 0);
      FindClose(F);
    }
    std::sort(R.begin(), R.end());
    return R;
  }

  String Root;
};

struct Entry {
  String Name;
  TBytes Data;
};

std::vector<Entry> SampleEntries() {
  return {
      {L"empty.txt", {}},
      {L"readme.txt", TBytes{'M', 'e', 'r', 'h', 'a', 'b', 'a'}},
      {L"random.bin", Pattern(700 * 1024, 1)},               // incompressible, several blocks
      {L"zeros/sıfır.bin", TBytes(900 * 1024, 0)},           // compressible, a UTF-8 name in a folder
      {L"klasör/İçerik Ğüşöç.txt", Pattern(1000, 2)},
  };
}

TEST_F(ZipFile, RoundTripsStoredAndDeflatedEntries) {
  for (TZipCompression Compression : {zcStored, zcDeflate}) {
    SCOPED_TRACE(Compression == zcStored ? "stored" : "deflate");
    TMemoryStream Archive;
    {
      TZipFile Z;
      Z.Open(&Archive, zmWrite);
      for (const auto& E : SampleEntries()) Z.Add(E.Data, E.Name, Compression);
      Z.Close();
    }
    TZipFile Z;
    Archive.SetPosition(0);
    Z.Open(&Archive, zmRead);
    const auto Entries = SampleEntries();
    ASSERT_EQ(Z.GetFileCount(), Integer(Entries.size()));
    for (Integer I = 0; I < Z.GetFileCount(); ++I) {
      const Entry& E = Entries[size_t(I)];
      SCOPED_TRACE(UTF8Encode(E.Name));
      EXPECT_EQ(Z.GetFileName(I), E.Name);
      EXPECT_EQ(Z.IndexOf(E.Name), I);
      const TZipHeader& H = Z.GetFileInfo(I);
      EXPECT_EQ(H.CompressionMethod, Word(Compression));
      EXPECT_EQ(H.UncompressedSize, E.Data.size());
      bool Ascii = std::all_of(E.Name.begin(), E.Name.end(), [](wchar_t C) { return C < 0x80; });
      EXPECT_EQ((H.Flag & 0x0800) != 0, !Ascii) << "UTF-8 flag only where the name needs it";
      TBytes Back;
      Z.Read(I, Back);
      EXPECT_EQ(Back, E.Data);
    }
    if (Compression == zcDeflate) {
      EXPECT_LT(Z.GetFileInfo(3).CompressedSize, 10000u);
    }

    const String Target = Root + (Compression == zcStored ? L"stored" : L"deflate");
    Z.ExtractAll(Target);
    for (const auto& E : Entries) {
      String Name = E.Name;
      for (auto& C : Name)
        if (C == L'/') C = L'\\';
      EXPECT_EQ(FileBytes(Target + L"\\" + Name), E.Data) << UTF8Encode(E.Name);
    }
  }
}

TEST_F(ZipFile, AddsFilesAndAppendsToAnExistingArchive) {
  const String Source = Root + L"kaynak ğ.txt";
  {
    TFileStream F(Source, fmCreate);
    F.WriteBuffer("abc", 3);
  }
  const String Name = Root + L"a.zip";
  {
    TZipFile Z;
    Z.Open(Name, zmWrite);
    Z.SetComment(L"yedek ğ");
    Z.Add(Source);
    Z.Add(Source, L"alt\\kopya.txt", zcStored);
  }  // the destructor finishes the archive
  {
    TZipFile Z;
    Z.Open(Name, zmReadWrite);
    EXPECT_EQ(Z.GetComment(), L"yedek ğ");
    Z.Add(TBytes{'x'}, L"son.txt");
    Z.Close();
  }
  TZipFile Z;
  Z.Open(Name, zmRead);
  EXPECT_EQ(Z.GetFileNames(), (std::vector<String>{L"kaynak ğ.txt", L"alt/kopya.txt", L"son.txt"}));
  TBytes B;
  Z.Read(L"ALT\\KOPYA.TXT", B);
  EXPECT_EQ(B, (TBytes{'a', 'b', 'c'}));
  Z.Read(L"son.txt", B);
  EXPECT_EQ(B, TBytes{'x'});
  EXPECT_EQ(Z.GetComment(), L"yedek ğ");
  EXPECT_TRUE(TZipFile::IsValid(Name));
}

TEST_F(ZipFile, ReadsAnArchiveOfAnotherMaker) {
  // Deflate with data descriptors and UTF-8 names, and a folder entry.
  static const Byte Foreign[] = {
      0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x08, 0x08, 0x08, 0x00, 0x05, 0x39, 0xA6, 0x58, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x6B, 0x6C,
      0x61, 0x73, 0xC3, 0xB6, 0x72, 0x2F, 0xC4, 0xB1, 0x6C, 0xC4, 0xB1, 0x6B, 0x2E, 0x74, 0x78, 0x74,
      0xF3, 0x4D, 0x2D, 0xCA, 0x48, 0x4C, 0x4A, 0x54, 0x48, 0x39, 0xBC, 0x27, 0xAF, 0x32, 0x91, 0xCB,
      0x17, 0x2F, 0x17, 0x00, 0x50, 0x4B, 0x07, 0x08, 0x24, 0x6E, 0xE3, 0xB3, 0x14, 0x00, 0x00, 0x00,
      0x2D, 0x00, 0x00, 0x00, 0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x08, 0x08, 0x00, 0x00, 0x05, 0x39,
      0xA6, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x00,
      0x00, 0x00, 0x62, 0x6F, 0xC5, 0x9F, 0x2F, 0x50, 0x4B, 0x07, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x4B, 0x01, 0x02, 0x14, 0x03, 0x14, 0x00, 0x08,
      0x08, 0x08, 0x00, 0x05, 0x39, 0xA6, 0x58, 0x24, 0x6E, 0xE3, 0xB3, 0x14, 0x00, 0x00, 0x00, 0x2D,
      0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80,
      0x01, 0x00, 0x00, 0x00, 0x00, 0x6B, 0x6C, 0x61, 0x73, 0xC3, 0xB6, 0x72, 0x2F, 0xC4, 0xB1, 0x6C,
      0xC4, 0xB1, 0x6B, 0x2E, 0x74, 0x78, 0x74, 0x50, 0x4B, 0x01, 0x02, 0x14, 0x03, 0x14, 0x00, 0x08,
      0x08, 0x00, 0x00, 0x05, 0x39, 0xA6, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80,
      0x01, 0x54, 0x00, 0x00, 0x00, 0x62, 0x6F, 0xC5, 0x9F, 0x2F, 0x50, 0x4B, 0x05, 0x06, 0x00, 0x00,
      0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x73, 0x00, 0x00, 0x00, 0x87, 0x00, 0x00, 0x00, 0x00, 0x00,
  };
  TBytesStream Archive(TBytes(std::begin(Foreign), std::end(Foreign)));
  TZipFile Z;
  Z.Open(&Archive, zmRead);
  EXPECT_EQ(Z.GetFileNames(), (std::vector<String>{L"klasör/ılık.txt", L"boş/"}));
  std::vector<std::pair<String, Int64>> Events;
  Z.SetOnProgress([&](TObject*, const String& FileName, const TZipHeader&, Int64 Position) {
    Events.emplace_back(FileName, Position);
  });
  Z.ExtractAll(Root + L"out");
  EXPECT_EQ(Listing(Root + L"out"), (std::vector<String>{L"boş\\", L"klasör\\", L"klasör\\ılık.txt"}));
  const std::string Text = "Merhaba d\xC3\xBCnya\n";
  const std::string Expected = Text + Text + Text;
  EXPECT_EQ(FileBytes(Root + L"out\\klasör\\ılık.txt"), TBytes(Expected.begin(), Expected.end()));
  ASSERT_EQ(Events.size(), 3u);
  EXPECT_EQ(Events[0], std::make_pair(String(L"klasör/ılık.txt"), Int64(0)));
  EXPECT_EQ(Events[1], std::make_pair(String(L"klasör/ılık.txt"), Int64(Expected.size())));
  EXPECT_EQ(Events[2], std::make_pair(String(L"boş/"), Int64(0)));
}

// One small entry whose sizes and offset stand in a ZIP64 extra record, and a ZIP64 end record,
// as an archive over 4 GB has them.
TBytes Zip64Archive(const std::string& Name, const std::string& Data) {
  TBytes B;
  auto P16 = [&](unsigned V) { B.push_back(Byte(V)); B.push_back(Byte(V >> 8)); };
  auto P32 = [&](Cardinal V) { P16(V & 0xFFFF); P16(V >> 16); };
  auto P64 = [&](UInt64 V) { P32(Cardinal(V)); P32(Cardinal(V >> 32)); };
  auto Text = [&](const std::string& S) { B.insert(B.end(), S.begin(), S.end()); };
  const Cardinal CRC = 0x3610A686;  // of "hello"
  P32(0x04034B50); P16(45); P16(0x0800); P16(0); P32(0x58A63905); P32(CRC); P32(0xFFFFFFFF); P32(0xFFFFFFFF);
  P16(unsigned(Name.size())); P16(20); Text(Name); P16(1); P16(16); P64(Data.size()); P64(Data.size());
  Text(Data);
  const UInt64 Dir = B.size();
  P32(0x02014B50); P16(45); P16(45); P16(0x0800); P16(0); P32(0x58A63905); P32(CRC); P32(0xFFFFFFFF); P32(0xFFFFFFFF);
  P16(unsigned(Name.size())); P16(28); P16(0); P16(0); P16(0); P32(0); P32(0xFFFFFFFF); Text(Name);
  P16(1); P16(24); P64(Data.size()); P64(Data.size()); P64(0);
  const UInt64 DirSize = B.size() - Dir, End64 = B.size();
  P32(0x06064B50); P64(44); P16(45); P16(45); P32(0); P32(0); P64(1); P64(1); P64(DirSize); P64(Dir);
  P32(0x07064B50); P32(0); P64(End64); P32(1);
  P32(0x06054B50); P16(0); P16(0); P16(0xFFFF); P16(0xFFFF); P32(0xFFFFFFFF); P32(0xFFFFFFFF); P16(0);
  return B;
}

TEST_F(ZipFile, ReadsZip64Records) {
  TBytesStream Archive(Zip64Archive("büyük.txt", "hello"));
  TZipFile Z;
  Z.Open(&Archive, zmRead);
  ASSERT_EQ(Z.GetFileCount(), 1);
  EXPECT_EQ(Z.GetFileName(0), L"büyük.txt");
  EXPECT_EQ(Z.GetFileInfo(0).UncompressedSize, 5u);
  TBytes B;
  Z.Read(0, B);
  EXPECT_EQ(B, (TBytes{'h', 'e', 'l', 'l', 'o'}));
}

TEST_F(ZipFile, WritesZip64EndRecordsForManyEntries) {
  const Integer Count = 70000;  // more than a plain end record can count
  TMemoryStream Archive;
  {
    TZipFile Z;
    Z.Open(&Archive, zmWrite);
    for (Integer I = 0; I < Count; ++I) Z.Add(TBytes{Byte(I)}, L"d/" + IntToStr(I), zcStored);
  }
  const TBytes Bytes = StreamBytes(Archive);
  const Byte* End = Bytes.data() + Bytes.size() - 22;
  ASSERT_EQ(End[0] | End[1] << 8 | End[2] << 16 | End[3] << 24, 0x06054B50);
  EXPECT_EQ(End[10] | End[11] << 8, 0xFFFF) << "the count is in the ZIP64 record";
  TZipFile Z;
  Archive.SetPosition(0);
  Z.Open(&Archive, zmRead);
  ASSERT_EQ(Z.GetFileCount(), Count);
  TBytes B;
  Z.Read(L"d/69999", B);
  EXPECT_EQ(B, TBytes{Byte(69999)});
}

// A stream as long as it is written, which keeps only the blocks that hold more than zeros: an
// archive past 4 GB of zeros fits in memory.
class THoleStream : public TStream {
  DECLARE_CLASS(THoleStream, TStream)
 public:
  using TStream::Read;
  using TStream::Write;
  static constexpr Int64 Block = 64 * 1024;
  Integer Read(void* Buffer, Integer Count) override {
    Integer N = Integer(std::max<Int64>(0, std::min<Int64>(Count, FSize - FPosition)));
    Byte* Out = static_cast<Byte*>(Buffer);
    for (Integer Done = 0; Done < N;) {
      const Int64 At = FPosition + Done, Index = At / Block, Offset = At % Block;
      const Integer Part = Integer(std::min<Int64>(N - Done, Block - Offset));
      auto Found = FBlocks.find(Index);
      if (Found == FBlocks.end()) std::fill(Out + Done, Out + Done + Part, Byte(0));
      else std::copy_n(Found->second.data() + Offset, Part, Out + Done);
      Done += Part;
    }
    FPosition += N;
    return N;
  }
  Integer Write(const void* Buffer, Integer Count) override {
    const Byte* In = static_cast<const Byte*>(Buffer);
    for (Integer Done = 0; Done < Count;) {
      const Int64 At = FPosition + Done, Index = At / Block, Offset = At % Block;
      const Integer Part = Integer(std::min<Int64>(Count - Done, Block - Offset));
      auto Found = FBlocks.find(Index);
      if (Found != FBlocks.end() || std::any_of(In + Done, In + Done + Part, [](Byte B) { return B != 0; })) {
        TBytes& B = FBlocks[Index];
        B.resize(size_t(Block));
        std::copy_n(In + Done, Part, B.data() + Offset);
      }
      Done += Part;
    }
    FPosition += Count;
    FSize = std::max(FSize, FPosition);
    return Count;
  }
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override {
    FPosition = Origin == soBeginning ? Offset : Origin == soCurrent ? FPosition + Offset : FSize + Offset;
    return FPosition;
  }
  Int64 GetSize() override { return FSize; }
  void SetSize(Int64 NewSize) override { FSize = NewSize; }

 private:
  std::map<Int64, TBytes> FBlocks;
  Int64 FPosition = 0, FSize = 0;
};

// Size zero bytes.
class TZeroStream : public TStream {
  DECLARE_CLASS(TZeroStream, TStream)
 public:
  explicit TZeroStream(Int64 Size) : FSize(Size) {}
  using TStream::Read;
  using TStream::Write;
  Integer Read(void* Buffer, Integer Count) override {
    const Integer N = Integer(std::max<Int64>(0, std::min<Int64>(Count, FSize - FPosition)));
    std::memset(Buffer, 0, size_t(N));
    FPosition += N;
    return N;
  }
  Integer Write(const void*, Integer) override { return 0; }
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override {
    FPosition = Origin == soBeginning ? Offset : Origin == soCurrent ? FPosition + Offset : FSize + Offset;
    return FPosition;
  }
  Int64 GetSize() override { return FSize; }

 private:
  Int64 FSize, FPosition = 0;
};

// The product folder's backup can pass 4 GB: an entry of that size, and one whose data starts
// beyond it, need the ZIP64 records.
TEST_F(ZipFile, WritesZip64ForAnEntryPast4GB) {
  const Int64 Big = 0x100000000LL + 12345;
  THoleStream Archive;
  {
    TZipFile Z;
    Z.Open(&Archive, zmWrite);
    Z.Add(TBytes{'a'}, L"önce.txt", zcStored);
    TZeroStream Zeros(Big);
    Z.Add(&Zeros, L"veri/büyük.bin", zcStored);
    Z.Add(TBytes{'s', 'o', 'n'}, L"sonra.txt", zcStored);
  }
  Archive.SetPosition(0);
  TZipFile Z;
  Z.Open(&Archive, zmRead);
  ASSERT_EQ(Z.GetFileNames(), (std::vector<String>{L"önce.txt", L"veri/büyük.bin", L"sonra.txt"}));
  EXPECT_EQ(Z.GetFileInfo(1).UncompressedSize, UInt64(Big));
  EXPECT_EQ(Z.GetFileInfo(1).CompressedSize, UInt64(Big));
  EXPECT_GT(Z.GetFileInfo(2).LocalHeaderOffset, UInt64(Big));
  TStream* Raw = nullptr;
  TZipHeader Local;
  Z.Read(1, Raw, Local);
  std::unique_ptr<TStream> Entry(Raw);
  ASSERT_GE(Local.ExtraField.size(), 20u);
  EXPECT_EQ(Local.ExtraField[0] | Local.ExtraField[1] << 8, 0x0001) << "sizes in the local ZIP64 record";
  TBytes B;
  Z.Read(2, B);
  EXPECT_EQ(B, (TBytes{'s', 'o', 'n'}));
  Z.Read(0, B);
  EXPECT_EQ(B, TBytes{'a'});
}

TEST_F(ZipFile, RejectsEntriesThatLeaveTheTargetFolder) {
  const wchar_t* Escaping[] = {
      L"../evil.txt", L"a/../../evil.txt", L"..\\evil.txt", L"a\\..\\..\\evil.txt", L"/evil.txt",
      L"\\evil.txt", L"C:/evil.txt", L"C:evil.txt", L"ok.txt:evil", L"a/.. /evil.txt", L"a/.../evil.txt",
      L"\\\\server\\share\\evil.txt", L"..",
  };
  const String Target = Root + L"hedef\\";
  for (const wchar_t* Name : Escaping) {
    SCOPED_TRACE(UTF8Encode(Name));
    TMemoryStream Archive;
    {
      TZipFile Z;
      Z.Open(&Archive, zmWrite);
      Z.Add(TBytes{'o', 'k'}, L"good.txt");
      Z.Add(TBytes{'x'}, Name);
      Z.Add(TBytes{'o', 'k'}, L"later.txt");
    }
    Archive.SetPosition(0);
    TZipFile Z;
    Z.Open(&Archive, zmRead);
    EXPECT_THROW(Z.Extract(1, Target), EZipException);
    EXPECT_THROW(Z.ExtractAll(Target), EZipException);
    // The entry before it was written, nothing of the bad one anywhere, and the extraction stopped.
    EXPECT_EQ(Listing(ExcludeTrailingPathDelimiter(Root)), (std::vector<String>{L"hedef\\", L"hedef\\good.txt"}));
    EXPECT_FALSE(FileExists(L"C:\\evil.txt"));
  }
}

TEST_F(ZipFile, ExtractsOnlyTheNameWithoutSubfolders) {
  TMemoryStream Archive;
  {
    TZipFile Z;
    Z.Open(&Archive, zmWrite);
    Z.Add(TBytes{'1'}, L"a/b/c.txt");
  }
  Archive.SetPosition(0);
  TZipFile Z;
  Z.Open(&Archive, zmRead);
  Z.Extract(L"a/b/c.txt", Root + L"flat", false);
  EXPECT_EQ(Listing(Root + L"flat"), std::vector<String>{L"c.txt"});
}

TEST_F(ZipFile, EmptyEntryReportsPositionZero) {
  TMemoryStream Archive;
  {
    TZipFile Z;
    Z.Open(&Archive, zmWrite);
    Z.Add(TBytes{}, L"bos.txt", zcDeflate);
  }
  Archive.SetPosition(0);
  TZipFile Z;
  Z.Open(&Archive, zmRead);
  std::vector<std::pair<Int64, UInt64>> Events;  // position, the header's size
  Z.SetOnProgress([&](TObject* Sender, const String&, const TZipHeader& Header, Int64 Position) {
    EXPECT_EQ(Sender, &Z);
    Events.emplace_back(Position, Header.UncompressedSize);
  });
  Z.ExtractAll(Root);
  EXPECT_EQ(Events, (std::vector<std::pair<Int64, UInt64>>{{0, 0}}));
  EXPECT_TRUE(FileExists(Root + L"bos.txt"));
  EXPECT_EQ(FileSize(Root + L"bos.txt"), 0);
}

TEST_F(ZipFile, ReportsProgressPerBlock) {
  const TBytes Data = Pattern(1000 * 1000, 3);
  TMemoryStream Archive;
  {
    TZipFile Z;
    Z.Open(&Archive, zmWrite);
    Z.Add(Data, L"big.bin");
  }
  Archive.SetPosition(0);
  TZipFile Z;
  Z.Open(&Archive, zmRead);
  std::vector<Int64> Positions;
  Z.SetOnProgress([&](TObject*, const String&, const TZipHeader&, Int64 Position) { Positions.push_back(Position); });
  Z.ExtractAll(Root);
  ASSERT_GE(Positions.size(), 3u);
  EXPECT_EQ(Positions.front(), 0);
  EXPECT_EQ(Positions.back(), Int64(Data.size()));
  EXPECT_TRUE(std::is_sorted(Positions.begin(), Positions.end()));
  EXPECT_EQ(FileBytes(Root + L"big.bin"), Data);
}

// Adding reports too, so that a caller can show a large entry's progress and stay responsive.
TEST_F(ZipFile, ReportsProgressPerBlockWhileAdding) {
  const TBytes Data = Pattern(1000 * 1000, 5);
  for (TZipCompression Compression : {zcStored, zcDeflate}) {
    SCOPED_TRACE(Compression == zcStored ? "stored" : "deflate");
    TMemoryStream Archive;
    TZipFile Z;
    Z.Open(&Archive, zmWrite);
    std::vector<Int64> Positions;
    std::vector<String> Names;
    Z.SetOnProgress([&](TObject* Sender, const String& Name, const TZipHeader& Header, Int64 Position) {
      EXPECT_EQ(Sender, &Z);
      EXPECT_EQ(Header.UncompressedSize, UInt64(Data.size()));
      Positions.push_back(Position);
      Names.push_back(Name);
    });
    Z.Add(Data, L"klasör/büyük.bin", Compression);
    ASSERT_GE(Positions.size(), 3u);
    EXPECT_EQ(Positions.front(), 0);
    EXPECT_EQ(Positions.back(), Int64(Data.size()));
    EXPECT_TRUE(std::is_sorted(Positions.begin(), Positions.end()));
    EXPECT_EQ(Names.front(), L"klasör/büyük.bin");
    Z.Close();
    Archive.SetPosition(0);
    TZipFile R;
    R.Open(&Archive, zmRead);
    R.ExtractAll(Root);
    EXPECT_EQ(FileBytes(Root + L"klasör\\büyük.bin"), Data);
  }
}

TEST_F(ZipFile, CorruptDataFailsItsCheckAndLeavesNoFile) {
  for (TZipCompression Compression : {zcStored, zcDeflate}) {
    SCOPED_TRACE(Compression == zcStored ? "stored" : "deflate");
    TMemoryStream Archive;
    {
      TZipFile Z;
      Z.Open(&Archive, zmWrite);
      Z.Add(Pattern(5000, 4), L"a.bin", Compression);
    }
    // A byte in the middle of the entry's data.
    static_cast<Byte*>(Archive.GetMemory())[30 + 5 + 2000] ^= 0x55;
    Archive.SetPosition(0);
    TZipFile Z;
    Z.Open(&Archive, zmRead);
    EXPECT_THROW(Z.ExtractAll(Root), EZipException);
    EXPECT_FALSE(FileExists(Root + L"a.bin"));
    TBytes B;
    EXPECT_THROW(Z.Read(0, B), EZipException);
  }
}

TEST_F(ZipFile, BrokenArchivesDoNotOpen) {
  TMemoryStream Good;
  {
    TZipFile Z;
    Z.Open(&Good, zmWrite);
    Z.Add(Pattern(3000, 5), L"a.bin");
  }
  const TBytes Whole = StreamBytes(Good);
  struct Case {
    const char* What;
    TBytes Bytes;
  };
  TBytes BadDirectory = Whole;
  BadDirectory[Whole.size() - 22 - 46 - 5] ^= 0xFF;  // the central record's signature (its name is 5 bytes)
  TBytes BadOffset = Whole;
  BadOffset[Whole.size() - 22 + 19] = 0x7F;      // the directory's offset far past the end
  const Case Cases[] = {
      {"empty", {}},
      {"not a zip", TBytes(100, 'x')},
      {"cut short", TBytes(Whole.begin(), Whole.begin() + Whole.size() / 2)},
      {"bad central record", BadDirectory},
      {"bad directory offset", BadOffset},
  };
  for (const auto& C : Cases) {
    TBytesStream S(C.Bytes);
    TZipFile Z;
    EXPECT_THROW(Z.Open(&S, zmRead), EZipException) << C.What;
    EXPECT_EQ(Z.GetMode(), zmClosed) << C.What;
  }
  const String Name = Root + L"junk.zip";
  {
    TFileStream F(Name, fmCreate);
    F.WriteBuffer("PK\x05\x06", 4);
  }
  EXPECT_FALSE(TZipFile::IsValid(Name));
  EXPECT_FALSE(TZipFile::IsValid(Root + L"missing.zip"));
}

TEST_F(ZipFile, EntryStreamReadsInPieces) {
  const TBytes Data = Pattern(300 * 1000, 6);
  TMemoryStream Archive;
  {
    TZipFile Z;
    Z.Open(&Archive, zmWrite);
    Z.Add(Data, L"p.bin");
  }
  Archive.SetPosition(0);
  TZipFile Z;
  Z.Open(&Archive, zmRead);
  TStream* Raw = nullptr;
  TZipHeader Local;
  Z.Read(L"p.bin", Raw, Local);
  std::unique_ptr<TStream> S(Raw);
  EXPECT_EQ(Local.FileName, (TBytes{'p', '.', 'b', 'i', 'n'}));
  EXPECT_EQ(S->GetSize(), Int64(Data.size()));
  TBytes Back;
  Byte Piece[777];
  for (Integer N; (N = S->Read(Piece, sizeof(Piece))) > 0;) Back.insert(Back.end(), Piece, Piece + N);
  EXPECT_EQ(Back, Data);
}

// ---- Hostile archives ---------------------------------------------------------------------------

// An archive in memory made by the writer.
TBytes MadeArchive(const std::vector<Entry>& Entries, TZipCompression Compression = zcDeflate) {
  TMemoryStream M;
  {
    TZipFile Z;
    Z.Open(&M, zmWrite);
    for (const auto& E : Entries) Z.Add(E.Data, E.Name, Compression);
  }
  return StreamBytes(M);
}

void Put32At(TBytes& B, size_t At, Cardinal V) {
  for (int I = 0; I < 4; ++I) B[At + size_t(I)] = Byte(V >> (8 * I));
}

// Where the central directory of a plain archive starts (its end record has no comment).
size_t DirectoryStart(const TBytes& B) {
  const size_t End = B.size() - 22;
  return size_t(B[End + 16]) | size_t(B[End + 17]) << 8 | size_t(B[End + 18]) << 16 | size_t(B[End + 19]) << 24;
}

// One archive of a single entry whose central record stands Count times, all pointing at the one
// local header: every record extracts the same data again.
TBytes OverlappingArchive(size_t EntrySize, size_t Count) {
  const TBytes One = MadeArchive({{L"a.bin", TBytes(EntrySize, 0)}});
  const size_t Dir = DirectoryStart(One), Record = One.size() - 22 - Dir;
  TBytes B(One.begin(), One.begin() + Dir);
  for (size_t I = 0; I < Count; ++I) B.insert(B.end(), One.begin() + Dir, One.begin() + Dir + Record);
  TBytes End(One.end() - 22, One.end());
  End[8] = End[10] = Byte(Count);
  Put32At(End, 12, Cardinal(Record * Count));
  B.insert(B.end(), End.begin(), End.end());
  return B;
}

// The first central record with 32-bit fields replaced (16 CRC, 20 compressed size, 24
// uncompressed size, 42 local header offset).
TBytes WithCentralFields(const std::vector<Entry>& Entries, TZipCompression Compression,
                         std::initializer_list<std::pair<size_t, Cardinal>> Fields) {
  TBytes B = MadeArchive(Entries, Compression);
  for (const auto& [Field, V] : Fields) Put32At(B, DirectoryStart(B) + Field, V);
  return B;
}

TEST_F(ZipFile, HostileArchivesFailWithoutWritingOrAllocatingWhatTheyClaim) {
  const TBytes Small = Pattern(3000, 7);
  struct Case {
    const char* What;
    TBytes Archive;
  };
  const Case Cases[] = {
      // 2 GB claimed by a file of about a hundred bytes.
      {"uncompressed size claims 2 GB", WithCentralFields({{L"a.bin", Small}}, zcDeflate, {{24, 0x7FFFFFFF}})},
      {"inflates past its declared size", WithCentralFields({{L"a.bin", Small}}, zcDeflate, {{24, 1000}})},
      {"eight entries over one local header", OverlappingArchive(4 << 20, 8)},
      {"two entries over one local header", OverlappingArchive(1000, 2)},
      {"stored data running into the directory",
       WithCentralFields({{L"a.bin", Small}}, zcStored, {{20, 3010}, {24, 3010}})},
      {"local header inside the directory",
       WithCentralFields({{L"a.bin", Small}}, zcStored, {{42, Cardinal(30 + 5 + Small.size())}})},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TBytesStream S(C.Archive);
    TZipFile Z;
    bool Opened = false;
    try {
      Z.Open(&S, zmRead);
      Opened = true;
    } catch (const EZipException& E) {
      EXPECT_NE(E.Message().find(L"Invalid zip file"), String::npos) << UTF8Encode(E.Message());
    }
    if (!Opened) continue;
    const String Target = Root + L"out";
    EXPECT_THROW(Z.ExtractAll(Target), EZipException);
    // Whatever was written before the failure is no more than one entry's real data.
    Int64 Written = 0;
    for (const String& F : Listing(Target))
      if (F.back() != L'\\') Written += FileSize(Target + L"\\" + F);
    EXPECT_LE(Written, Int64(4 << 20));
    for (Integer I = 0; I < Z.GetFileCount(); ++I) {
      TBytes B;
      EXPECT_THROW(Z.Read(I, B), EZipException);
    }
    RemoveTree(Target);
  }
}

TEST_F(ZipFile, EntriesSideBySideStillRead) {
  // Stored, deflated and empty entries back to back, the last one against the directory.
  const std::vector<Entry> Entries = {{L"a", Pattern(10, 1)}, {L"b", {}}, {L"c", Pattern(70000, 2)}, {L"d", {}}};
  for (TZipCompression Compression : {zcStored, zcDeflate}) {
    TBytesStream S(MadeArchive(Entries, Compression));
    TZipFile Z;
    Z.Open(&S, zmRead);
    for (Integer I = 0; I < Z.GetFileCount(); ++I) {
      TBytes B;
      Z.Read(I, B);
      EXPECT_EQ(B, Entries[size_t(I)].Data);
    }
  }
}

// Reads every entry of every archive into memory; what reads must be what the header says, and
// all of it together no more than deflate can make of the archive's bytes.
TEST(ZipFuzz, ArchivesReadOrFailCleanly) {
  std::vector<TBytes> Seeds = {
      MadeArchive({{L"a.txt", FuzzBytes("Merhaba")}, {L"klasör/ılık.bin", Pattern(5000, 3)}, {L"boş/", {}}}),
      MadeArchive({{L"s.bin", Pattern(2000, 4)}, {L"z.bin", TBytes(3000, 0)}}, zcStored),
      MadeArchive({{L"zeros.bin", TBytes(200000, 0)}}),
      Zip64Archive("büyük.txt", "hello"),
  };
  TFuzzSuite Suite{"zip", Seeds, 8000, 0x8CB92BA72F3D8DD7ULL};
  Suite.Hostile = {WithCentralFields({{L"a.bin", Pattern(3000, 7)}}, zcDeflate, {{24, 0x7FFFFFFF}}),
                   OverlappingArchive(4 << 20, 8)};
  Fuzz(Suite, [](const TBytes& Data) {
    TBytesStream S(Data);
    TZipFile Z;
    Z.Open(&S, zmRead);
    UInt64 Total = 0;
    for (Integer I = 0; I < Z.GetFileCount(); ++I) {
      TBytes B;
      try {
        Z.Read(I, B);
      } catch (const EZipException&) {
        continue;
      }
      EXPECT_EQ(B.size(), Z.GetFileInfo(I).UncompressedSize);
      Total += B.size();
    }
    EXPECT_LE(Total, UInt64(Data.size()) * 1100 + 65536) << "more came out than the archive holds";
  });
}

}  // namespace
