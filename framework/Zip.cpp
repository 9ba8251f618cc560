#include "framework/Zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/classes/Streams.h"

namespace {

constexpr Cardinal LocalSignature = 0x04034B50;
constexpr Cardinal CentralSignature = 0x02014B50;
constexpr Cardinal EndSignature = 0x06054B50;
constexpr Cardinal End64Signature = 0x06064B50;
constexpr Cardinal End64LocatorSignature = 0x07064B50;
constexpr Word Zip64ExtraId = 0x0001;
constexpr Word UnicodePathExtraId = 0x7075;
constexpr Word FlagUTF8 = 0x0800;
constexpr Cardinal Max32 = 0xFFFFFFFFu;
constexpr Word Max16 = 0xFFFF;
constexpr Integer BlockSize = 256 * 1024;
// Entries whose size comes near 4 GB get a ZIP64 record in their local header, since deflate
// may make a little more of incompressible data than it was given.
constexpr UInt64 Zip64LocalThreshold = 0xFFFF0000u;

Word Get16(const Byte* P) { return Word(P[0] | (P[1] << 8)); }
Cardinal Get32(const Byte* P) { return Cardinal(P[0]) | (Cardinal(P[1]) << 8) | (Cardinal(P[2]) << 16) | (Cardinal(P[3]) << 24); }
UInt64 Get64(const Byte* P) { return UInt64(Get32(P)) | (UInt64(Get32(P + 4)) << 32); }
void Put16(TBytes& B, Word V) {
  B.push_back(Byte(V));
  B.push_back(Byte(V >> 8));
}
void Put32(TBytes& B, Cardinal V) {
  Put16(B, Word(V));
  Put16(B, Word(V >> 16));
}
void Put64(TBytes& B, UInt64 V) {
  Put32(B, Cardinal(V));
  Put32(B, Cardinal(V >> 32));
}
void PutBytes(TBytes& B, const TBytes& V) { B.insert(B.end(), V.begin(), V.end()); }

[[noreturn]] void Corrupt(const String& What) { throw EZipException(L"Invalid zip file: " + What); }

// Reads exactly Count bytes at Offset.
void ReadAt(TStream* S, UInt64 Offset, void* Buffer, Integer Count) {
  S->SetPosition(Int64(Offset));
  if (S->Read(Buffer, Count) != Count) Corrupt(L"unexpected end of data");
}

void WriteAll(TStream* S, const void* Data, size_t Count) {
  const Byte* P = static_cast<const Byte*>(Data);
  while (Count > 0) {
    Integer N = Integer(Count > size_t(BlockSize) ? BlockSize : Count);
    S->WriteBuffer(P, N);
    P += N;
    Count -= size_t(N);
  }
}

String DecodeName(const TZipHeader& H) {
  const auto& N = H.FileName;
  if (H.Flag & FlagUTF8)
    return UTF8ToString(std::string(reinterpret_cast<const char*>(N.data()), N.size()));
  // An Info-ZIP Unicode path record wins when it was made for this very name.
  const TBytes& X = H.ExtraField;
  for (size_t P = 0; P + 4 <= X.size();) {
    Word Id = Get16(&X[P]), Len = Get16(&X[P + 2]);
    if (P + 4 + Len > X.size()) break;
    if (Id == UnicodePathExtraId && Len >= 5 && X[P + 4] == 1 &&
        Get32(&X[P + 5]) == Cardinal(crc32(0, N.data(), uInt(N.size()))))
      return UTF8ToString(std::string(reinterpret_cast<const char*>(&X[P + 9]), Len - 5));
    P += 4 + Len;
  }
  bool Ascii = true;
  for (Byte B : N) Ascii = Ascii && B < 0x80;
  if (Ascii) return String(N.begin(), N.end());
  // Archives made without the UTF-8 flag carry names in the OEM code page of their maker.
  int Len = MultiByteToWideChar(CP_OEMCP, 0, reinterpret_cast<const char*>(N.data()), int(N.size()), nullptr, 0);
  String R(size_t(Len), L'\0');
  MultiByteToWideChar(CP_OEMCP, 0, reinterpret_cast<const char*>(N.data()), int(N.size()), R.data(), Len);
  return R;
}

String ArchiveName(const String& Name) {
  String R = Name;
  for (auto& C : R)
    if (C == L'\\') C = L'/';
  return R;
}

// The entry's path below the target folder with "\" separators, or an error when the name could
// leave the folder: an absolute path, a drive or stream (":"), or a ".." segment (also one that
// the system would turn into ".." by dropping trailing dots and blanks).
String SafeRelativePath(const String& EntryName) {
  if (EntryName.empty()) throw EZipException(L"Invalid zip entry name: empty");
  String Path = EntryName;
  for (auto& C : Path)
    if (C == L'/') C = L'\\';
  auto Reject = [&] { throw EZipException(L"Invalid zip entry name: \"" + EntryName + L"\" leaves the target folder"); };
  if (Path[0] == L'\\' || Path.find(L':') != String::npos) Reject();
  for (wchar_t C : Path)
    if (C < 0x20) Reject();
  size_t Start = 0;
  while (Start <= Path.size()) {
    size_t End = Path.find(L'\\', Start);
    if (End == String::npos) End = Path.size();
    String Segment = Path.substr(Start, End - Start);
    if (Segment != L"." && !Segment.empty() && Segment.find_first_not_of(L". ") == String::npos) Reject();
    Start = End + 1;
  }
  return Path;
}

Cardinal DosTimeOf(const FILETIME& Utc) {
  FILETIME Local;
  WORD Date = 0, Time = 0;
  if (!FileTimeToLocalFileTime(&Utc, &Local) || !FileTimeToDosDateTime(&Local, &Date, &Time)) return 0x00210000;
  return (Cardinal(Date) << 16) | Time;
}

Cardinal DosTimeNow() {
  FILETIME Now;
  GetSystemTimeAsFileTime(&Now);
  return DosTimeOf(Now);
}

void SetFileDosTime(NativeUInt Handle, Cardinal DosTime) {
  FILETIME Local, Utc;
  if (DosDateTimeToFileTime(WORD(DosTime >> 16), WORD(DosTime), &Local) && LocalFileTimeToFileTime(&Local, &Utc))
    SetFileTime(reinterpret_cast<HANDLE>(Handle), nullptr, nullptr, &Utc);
}

// Decompresses one entry as it is read; checks size and CRC at the end.
class TZipEntryStream : public TStream {
  DECLARE_CLASS(TZipEntryStream, TStream)
 public:
  TZipEntryStream(TStream* Archive, UInt64 DataOffset, const TZipHeader& Header, const String& Name)
      : FArchive(Archive), FNext(DataOffset), FHeader(Header), FName(Name), FLeft(Header.CompressedSize) {
    if (Header.Flag & 1) throw EZipException(L"Encrypted zip entries are not supported: " + Name);
    if (Header.CompressionMethod != zcStored && Header.CompressionMethod != zcDeflate)
      throw EZipException(Format(L"Unsupported compression method %d: %s", {Integer(Header.CompressionMethod), Name}));
    if (Header.CompressionMethod == zcDeflate) {
      if (inflateInit2(&FZ, -MAX_WBITS) != Z_OK) throw EZipException(L"Cannot start decompression");
      FInflating = true;
    } else if (Header.CompressedSize != Header.UncompressedSize) {
      Corrupt(L"sizes of a stored entry differ: " + Name);
    }
    if (FInflating) {
      // Not zero-filled: a small entry should not pay for a whole block.
      FInputSize = Integer(Header.CompressedSize < UInt64(BlockSize) ? Header.CompressedSize + 1 : BlockSize);
      FInput.reset(new Byte[size_t(FInputSize)]);
    }
  }
  ~TZipEntryStream() override {
    if (FInflating) inflateEnd(&FZ);
  }
  using TStream::Read;
  using TStream::Write;

  Integer Read(void* Buffer, Integer Count) override {
    if (Count <= 0 || FDone) return 0;
    Byte* Out = static_cast<Byte*>(Buffer);
    Integer Produced = 0;
    if (!FInflating) {
      UInt64 N = FLeft < UInt64(Count) ? FLeft : UInt64(Count);
      if (N) ReadAt(FArchive, FNext, Out, Integer(N));
      FNext += N;
      FLeft -= N;
      Produced = Integer(N);
    } else {
      FZ.next_out = Out;
      FZ.avail_out = uInt(Count);
      while (FZ.avail_out > 0 && !FStreamEnd) {
        if (FZ.avail_in == 0 && FLeft > 0) {
          Integer N = Integer(FLeft < UInt64(FInputSize) ? FLeft : UInt64(FInputSize));
          ReadAt(FArchive, FNext, FInput.get(), N);
          FNext += UInt64(N);
          FLeft -= UInt64(N);
          FZ.next_in = FInput.get();
          FZ.avail_in = uInt(N);
        }
        int Rc = inflate(&FZ, Z_NO_FLUSH);
        if (Rc == Z_STREAM_END) {
          FStreamEnd = true;
        } else if (Rc == Z_BUF_ERROR && FZ.avail_in == 0 && FLeft == 0) {
          Corrupt(L"compressed data ends early: " + FName);
        } else if (Rc != Z_OK && Rc != Z_BUF_ERROR) {
          Corrupt(L"bad compressed data: " + FName);
        }
      }
      Produced = Count - Integer(FZ.avail_out);
    }
    if (UInt64(Produced) > FHeader.UncompressedSize - FPosition) Corrupt(L"entry larger than its header says: " + FName);
    FCRC = crc32(FCRC, Out, uInt(Produced));
    FPosition += UInt64(Produced);
    if ((FInflating && FStreamEnd) || (!FInflating && FLeft == 0)) Finish();
    return Produced;
  }
  Integer Write(const void*, Integer) override { throw EStreamError(L"A zip entry stream cannot be written"); }
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override {
    if (Origin == soCurrent && Offset == 0) return Int64(FPosition);
    if (Origin == soBeginning && UInt64(Offset) == FPosition) return Offset;
    if (Origin == soEnd && Offset == 0 && FDone) return Int64(FPosition);
    throw EStreamError(L"A zip entry stream reads forward only");
  }
  Int64 GetSize() override { return Int64(FHeader.UncompressedSize); }

 private:
  void Finish() {
    FDone = true;
    if (FPosition != FHeader.UncompressedSize) Corrupt(L"entry smaller than its header says: " + FName);
    if (FCRC != FHeader.CRC32) throw EZipException(L"CRC error in zip entry: " + FName);
  }

  TStream* FArchive;
  UInt64 FNext;  // archive offset of the next compressed byte
  TZipHeader FHeader;
  String FName;
  UInt64 FLeft;  // compressed bytes not read yet
  UInt64 FPosition = 0;
  uLong FCRC = 0;
  z_stream FZ{};
  bool FInflating = false;
  bool FStreamEnd = false;
  bool FDone = false;
  std::unique_ptr<Byte[]> FInput;
  Integer FInputSize = 0;
};

}  // namespace

TZipFile::TZipFile() = default;

TZipFile::~TZipFile() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report: call Close to see a failure to finish the archive.
  }
  delete FOwnStream;
}

bool TZipFile::IsValid(const String& ZipFileName) {
  try {
    TZipFile Z;
    Z.Open(ZipFileName, zmRead);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void TZipFile::ExtractZipFile(const String& ZipFileName, const String& Path) {
  TZipFile Z;
  Z.Open(ZipFileName, zmRead);
  Z.ExtractAll(Path);
}

void TZipFile::Open(const String& ZipFileName, TZipMode OpenMode) {
  Close();
  Word Mode = OpenMode == zmRead ? Word(fmOpenRead | fmShareDenyWrite)
              : OpenMode == zmReadWrite ? Word(fmOpenReadWrite | fmShareDenyWrite)
                                        : fmCreate;
  std::unique_ptr<TFileStream> File(new TFileStream(ZipFileName, Mode));
  Open(File.get(), OpenMode);
  FOwnStream = File.release();
}

void TZipFile::Open(TStream* ZipFileStream, TZipMode OpenMode) {
  if (!ZipFileStream) throw EZipException(L"No zip stream given");
  if (OpenMode == zmClosed) throw EZipException(L"Invalid zip open mode");
  Close();
  FStream = ZipFileStream;
  FMode = OpenMode;
  FFiles.clear();
  FDataLimits.clear();
  FComment.clear();
  try {
    if (OpenMode == zmWrite) {
      FStartOffset = UInt64(FStream->GetPosition());
      FEndOfData = FStartOffset;
    } else {
      ReadCentralDirectory();
    }
  } catch (...) {
    FStream = nullptr;
    FMode = zmClosed;
    FFiles.clear();
    FDataLimits.clear();
    throw;
  }
}

void TZipFile::Close() {
  if (FMode == zmClosed) return;
  try {
    if (FMode == zmWrite || FMode == zmReadWrite) WriteCentralDirectory();
  } catch (...) {
    FMode = zmClosed;
    FStream = nullptr;
    delete FOwnStream;
    FOwnStream = nullptr;
    throw;
  }
  FMode = zmClosed;
  FStream = nullptr;
  delete FOwnStream;
  FOwnStream = nullptr;
}

void TZipFile::ReadCentralDirectory() {
  const UInt64 Size = UInt64(FStream->GetSize());
  if (Size < 22) Corrupt(L"too short");
  // The end record lies in the last 64 KB + 22 bytes (its comment is at most 64 KB).
  const UInt64 Tail = Size < 65557 ? Size : 65557;
  TBytes Buffer(size_t(Tail), 0);
  ReadAt(FStream, Size - Tail, Buffer.data(), Integer(Tail));
  Integer At = -1;
  for (Integer I = Integer(Tail) - 22; I >= 0; --I) {
    if (Get32(&Buffer[size_t(I)]) == EndSignature && UInt64(I) + 22 + Get16(&Buffer[size_t(I) + 20]) <= Tail) {
      At = I;
      break;
    }
  }
  if (At < 0) Corrupt(L"no end of central directory");
  const Byte* E = &Buffer[size_t(At)];
  const UInt64 EndPos = Size - Tail + UInt64(At);
  UInt64 Count = Get16(E + 10);
  UInt64 DirSize = Get32(E + 12);
  UInt64 DirOffset = Get32(E + 16);
  Word CommentLen = Get16(E + 20);
  FComment = UTF8ToString(std::string(reinterpret_cast<const char*>(E + 22), CommentLen));
  UInt64 DirEnd = EndPos;  // where the central directory ends (before any ZIP64 records)
  if (EndPos >= 20) {
    Byte L[20];
    ReadAt(FStream, EndPos - 20, L, 20);
    if (Get32(L) == End64LocatorSignature) {
      UInt64 End64 = Get64(L + 8);
      Byte R[56];
      if (End64 + 56 > EndPos) Corrupt(L"bad ZIP64 locator");
      ReadAt(FStream, End64, R, 56);
      if (Get32(R) != End64Signature) Corrupt(L"bad ZIP64 end record");
      Count = Get64(R + 32);
      DirSize = Get64(R + 40);
      DirOffset = Get64(R + 48);
      DirEnd = End64;
    }
  }
  // Data before the archive (a self-extracting stub) moves every offset by the same amount.
  if (DirSize > DirEnd || DirOffset > DirEnd - DirSize) Corrupt(L"bad central directory position");
  FStartOffset = DirEnd - DirSize - DirOffset;
  if (Count > DirSize / 46 + 1 && Count > 0) Corrupt(L"bad entry count");
  TBytes Dir(size_t(DirSize), 0);
  if (DirSize) ReadAt(FStream, FStartOffset + DirOffset, Dir.data(), Integer(DirSize));
  size_t P = 0;
  FFiles.reserve(size_t(Count));
  for (UInt64 I = 0; I < Count; ++I) {
    if (P + 46 > Dir.size() || Get32(&Dir[P]) != CentralSignature) Corrupt(L"bad central directory record");
    const Byte* C = &Dir[P];
    TZipHeader H;
    H.MadeByVersion = Get16(C + 4);
    H.RequiredVersion = Get16(C + 6);
    H.Flag = Get16(C + 8);
    H.CompressionMethod = Get16(C + 10);
    H.ModifiedDateTime = Get32(C + 12);
    H.CRC32 = Get32(C + 16);
    H.CompressedSize = Get32(C + 20);
    H.UncompressedSize = Get32(C + 24);
    Word NameLen = Get16(C + 28), ExtraLen = Get16(C + 30), CommentLen2 = Get16(C + 32);
    H.DiskNumberStart = Get16(C + 34);
    H.InternalAttributes = Get16(C + 36);
    H.ExternalAttributes = Get32(C + 38);
    H.LocalHeaderOffset = Get32(C + 42);
    size_t Var = 46;
    if (P + Var + NameLen + ExtraLen + CommentLen2 > Dir.size()) Corrupt(L"bad central directory record");
    H.FileName.assign(C + Var, C + Var + NameLen);
    H.ExtraField.assign(C + Var + NameLen, C + Var + NameLen + ExtraLen);
    H.FileComment.assign(C + Var + NameLen + ExtraLen, C + Var + NameLen + ExtraLen + CommentLen2);
    // ZIP64 values stand in the extra record in this order, each only when its field is full.
    const TBytes& X = H.ExtraField;
    for (size_t Q = 0; Q + 4 <= X.size();) {
      Word Id = Get16(&X[Q]), Len = Get16(&X[Q + 2]);
      if (Q + 4 + Len > X.size()) break;
      if (Id == Zip64ExtraId) {
        size_t R = Q + 4, End = Q + 4 + Len;
        auto Next = [&](UInt64& Field) {
          if (Field != Max32) return;
          if (R + 8 > End) Corrupt(L"bad ZIP64 record");
          Field = Get64(&X[R]);
          R += 8;
        };
        Next(H.UncompressedSize);
        Next(H.CompressedSize);
        Next(H.LocalHeaderOffset);
        break;
      }
      Q += 4 + Len;
    }
    P += Var + NameLen + ExtraLen + CommentLen2;
    FFiles.push_back(std::move(H));
  }
  FEndOfData = FStartOffset + DirOffset;
  // Entries in the order of their data, each with at least its fixed header and its compressed
  // bytes before the next: records that point into each other would extract the same bytes again
  // and again (a few kilobytes becoming gigabytes).
  std::vector<size_t> Order(FFiles.size());
  for (size_t I = 0; I < Order.size(); ++I) Order[I] = I;
  std::sort(Order.begin(), Order.end(),
            [this](size_t A, size_t B) { return FFiles[A].LocalHeaderOffset < FFiles[B].LocalHeaderOffset; });
  FDataLimits.assign(FFiles.size(), DirOffset);
  for (size_t K = 0; K < Order.size(); ++K) {
    const TZipHeader& H = FFiles[Order[K]];
    const UInt64 Limit =
        K + 1 < Order.size() ? std::min(FFiles[Order[K + 1]].LocalHeaderOffset, DirOffset) : DirOffset;
    if (H.LocalHeaderOffset > Limit || Limit - H.LocalHeaderOffset < 30 ||
        H.CompressedSize > Limit - H.LocalHeaderOffset - 30)
      Corrupt(Limit == DirOffset ? L"entry data runs into the central directory" : L"entries overlap");
    FDataLimits[Order[K]] = Limit;
  }
}

void TZipFile::CheckIndex(Integer Index) const {
  if (FMode == zmClosed) throw EZipException(L"The zip file is not open");
  if (Index < 0 || Index >= GetFileCount())
    throw EZipException(Format(L"Zip entry index out of range (%d)", {Index}));
}

std::vector<String> TZipFile::GetFileNames() const {
  std::vector<String> R;
  R.reserve(FFiles.size());
  for (const auto& H : FFiles) R.push_back(DecodeName(H));
  return R;
}

String TZipFile::GetFileName(Integer Index) const {
  CheckIndex(Index);
  return DecodeName(FFiles[size_t(Index)]);
}

const TZipHeader& TZipFile::GetFileInfo(Integer Index) const {
  CheckIndex(Index);
  return FFiles[size_t(Index)];
}

Integer TZipFile::IndexOf(const String& FileName) const {
  const String Wanted = ArchiveName(FileName);
  for (size_t I = 0; I < FFiles.size(); ++I)
    if (SameFileName(ArchiveName(DecodeName(FFiles[I])), Wanted)) return Integer(I);
  return -1;
}

UInt64 TZipFile::DataOffset(Integer Index, TZipHeader* LocalHeader) {
  const TZipHeader& Header = FFiles[size_t(Index)];
  Byte L[30];
  if (Header.LocalHeaderOffset > UInt64(FStream->GetSize())) Corrupt(L"bad local header offset");
  ReadAt(FStream, FStartOffset + Header.LocalHeaderOffset, L, 30);
  if (Get32(L) != LocalSignature) Corrupt(L"bad local header");
  Word NameLen = Get16(L + 26), ExtraLen = Get16(L + 28);
  if (LocalHeader) {
    TZipHeader& H = *LocalHeader;
    H = TZipHeader{};
    H.RequiredVersion = Get16(L + 4);
    H.Flag = Get16(L + 6);
    H.CompressionMethod = Get16(L + 8);
    H.ModifiedDateTime = Get32(L + 10);
    // The sizes and CRC of the central record: a local header may hold zeros and a data descriptor.
    H.CRC32 = Header.CRC32;
    H.CompressedSize = Header.CompressedSize;
    H.UncompressedSize = Header.UncompressedSize;
    H.LocalHeaderOffset = Header.LocalHeaderOffset;
    H.FileName.resize(NameLen);
    H.ExtraField.resize(ExtraLen);
    if (NameLen) ReadAt(FStream, FStartOffset + Header.LocalHeaderOffset + 30, H.FileName.data(), NameLen);
    if (ExtraLen)
      ReadAt(FStream, FStartOffset + Header.LocalHeaderOffset + 30 + NameLen, H.ExtraField.data(), ExtraLen);
  }
  const UInt64 Data = FStartOffset + Header.LocalHeaderOffset + 30 + NameLen + ExtraLen;
  const UInt64 Size = UInt64(FStream->GetSize());
  if (Data > Size || Header.CompressedSize > Size - Data) Corrupt(L"entry data past the end");
  // The local header's own name and extra field count too.
  if (Data + Header.CompressedSize > FStartOffset + FDataLimits[size_t(Index)]) Corrupt(L"entries overlap");
  return Data;
}

void TZipFile::Read(Integer Index, TStream*& Stream, TZipHeader& LocalHeader) {
  CheckIndex(Index);
  const TZipHeader& H = FFiles[size_t(Index)];
  UInt64 Data = DataOffset(Index, &LocalHeader);
  Stream = new TZipEntryStream(FStream, Data, H, DecodeName(H));
}

void TZipFile::Read(const String& FileName, TStream*& Stream, TZipHeader& LocalHeader) {
  Integer Index = IndexOf(FileName);
  if (Index < 0) throw EZipException(L"File not found in the zip file: " + FileName);
  Read(Index, Stream, LocalHeader);
}

void TZipFile::Read(Integer Index, TBytes& Bytes) {
  TStream* S = nullptr;
  TZipHeader Local;
  Read(Index, S, Local);
  std::unique_ptr<TStream> Owned(S);
  const UInt64 Size = FFiles[size_t(Index)].UncompressedSize;
  if (Size > UInt64(0x7FFFFFFF)) throw EZipException(L"Zip entry too large to read into memory");
  // Grown by what really arrives: the header's size is only a claim until the data bears it out.
  TBytes Result;
  Result.reserve(size_t(std::min<UInt64>(Size, UInt64(BlockSize))));
  while (Result.size() < Size) {
    const size_t Got = Result.size();
    Result.resize(Got + size_t(std::min<UInt64>(Size - Got, UInt64(BlockSize))));
    const Integer N = S->Read(Result.data() + Got, Integer(Result.size() - Got));
    if (N <= 0) Corrupt(L"entry smaller than its header says: " + GetFileName(Index));
    Result.resize(Got + size_t(N));
  }
  Byte Extra;
  S->Read(&Extra, 1);  // reaches the end, where the size and CRC are checked
  Bytes = std::move(Result);
}

void TZipFile::Read(const String& FileName, TBytes& Bytes) {
  Integer Index = IndexOf(FileName);
  if (Index < 0) throw EZipException(L"File not found in the zip file: " + FileName);
  Read(Index, Bytes);
}

void TZipFile::Extract(const String& FileName, const String& Path, bool CreateSubdirs) {
  Integer Index = IndexOf(FileName);
  if (Index < 0) throw EZipException(L"File not found in the zip file: " + FileName);
  Extract(Index, Path, CreateSubdirs);
}

void TZipFile::Extract(Integer Index, const String& Path, bool CreateSubdirs) {
  CheckIndex(Index);
  const TZipHeader Header = FFiles[size_t(Index)];
  const String Name = DecodeName(Header);
  const String Relative = SafeRelativePath(Name);
  const String Base = IncludeTrailingPathDelimiter(ExpandFileName(Path.empty() ? GetCurrentDir() : Path));
  const bool IsFolder = Relative.back() == L'\\';
  String Target = CreateSubdirs ? Relative : ExtractFileName(ExcludeTrailingPathDelimiter(Relative));
  Target = ExpandFileName(Base + Target);
  // The checks above keep the entry inside; this one guards against what they did not foresee.
  if (Target.size() < Base.size() || !SameFileName(Target.substr(0, Base.size()), Base))
    throw EZipException(L"Invalid zip entry name: \"" + Name + L"\" leaves the target folder");
  if (IsFolder) {
    if (CreateSubdirs && !ForceDirectories(Target)) RaiseLastOSError();
    DoEvent(FOnProgress, this, Name, Header, Int64(0));
    return;
  }
  TStream* Raw = nullptr;
  TZipHeader Local;
  Read(Index, Raw, Local);
  std::unique_ptr<TStream> Entry(Raw);
  String Folder = ExtractFileDir(Target);
  if (!Folder.empty() && !DirectoryExists(Folder) && !ForceDirectories(Folder)) RaiseLastOSError();
  DoEvent(FOnProgress, this, Name, Header, Int64(0));
  std::unique_ptr<TFileStream> Out(new TFileStream(Target, fmCreate));
  try {
    if (FBuffers.empty()) FBuffers.resize(2 * size_t(BlockSize));
    Byte* const Buffer = FBuffers.data() + BlockSize;
    Int64 Position = 0;
    for (;;) {
      Integer N = Entry->Read(Buffer, BlockSize);
      if (N <= 0) break;
      Out->WriteBuffer(Buffer, N);
      Position += N;
      DoEvent(FOnProgress, this, Name, Header, Position);
    }
    SetFileDosTime(Out->GetHandle(), Header.ModifiedDateTime);
  } catch (...) {
    // Never leave data that failed its check looking like a good file.
    Out.reset();
    DeleteFile(Target);
    throw;
  }
}

void TZipFile::ExtractAll(const String& Path) {
  if (FMode == zmClosed) throw EZipException(L"The zip file is not open");
  for (Integer I = 0; I < GetFileCount(); ++I) Extract(I, Path, true);
}

void TZipFile::Add(const String& FileName, const String& ArchiveFileName, TZipCompression Compression) {
  TFileStream In(FileName, fmOpenRead | fmShareDenyWrite);
  FILETIME Written{};
  Cardinal DosTime = GetFileTime(reinterpret_cast<HANDLE>(In.GetHandle()), nullptr, nullptr, &Written)
                         ? DosTimeOf(Written)
                         : DosTimeNow();
  Integer Attr = FileGetAttr(FileName);
  AddEntry(&In, ArchiveFileName.empty() ? ExtractFileName(FileName) : ArchiveFileName, Compression, DosTime,
           Attr < 0 ? 0 : Cardinal(Attr) & 0xFF);
}

void TZipFile::Add(const TBytes& Data, const String& ArchiveFileName, TZipCompression Compression) {
  TBytesStream In(Data);
  AddEntry(&In, ArchiveFileName, Compression, DosTimeNow(), 0);
}

void TZipFile::Add(TStream* Data, const String& ArchiveFileName, TZipCompression Compression) {
  AddEntry(Data, ArchiveFileName, Compression, DosTimeNow(), 0);
}

void TZipFile::AddEntry(TStream* Data, const String& ArchiveFileName, TZipCompression Compression, Cardinal DosTime,
                        Cardinal Attributes) {
  if (FMode != zmWrite && FMode != zmReadWrite) throw EZipException(L"The zip file is not open for writing");
  if (Compression != zcStored && Compression != zcDeflate)
    throw EZipException(Format(L"Unsupported compression method %d", {Integer(Compression)}));
  const String Name = ArchiveName(ArchiveFileName);
  if (Name.empty()) throw EZipException(L"Invalid zip entry name: empty");
  const std::string Utf8 = UTF8Encode(Name);
  if (Utf8.size() > Max16) throw EZipException(L"Zip entry name too long: " + Name);
  bool Ascii = true;
  for (unsigned char C : Utf8) Ascii = Ascii && C < 0x80;

  const Int64 Start = Data->GetPosition();
  const Int64 Total = Data->GetSize();
  const UInt64 Expected = UInt64(Total > Start ? Total - Start : 0);
  const bool Zip64Local = Expected >= Zip64LocalThreshold;

  TZipHeader H;
  H.Flag = Ascii ? 0 : FlagUTF8;
  H.CompressionMethod = Word(Compression);
  H.ModifiedDateTime = DosTime;
  H.RequiredVersion = Zip64Local ? 45 : Compression == zcDeflate ? 20 : 10;
  H.MadeByVersion = 45;  // MS-DOS attributes, version 4.5
  H.ExternalAttributes = Attributes;
  H.FileName.assign(Utf8.begin(), Utf8.end());
  H.LocalHeaderOffset = FEndOfData - FStartOffset;

  // The local header, with the sizes filled in once the data is written.
  TBytes Local;
  Put32(Local, LocalSignature);
  Put16(Local, H.RequiredVersion);
  Put16(Local, H.Flag);
  Put16(Local, H.CompressionMethod);
  Put32(Local, H.ModifiedDateTime);
  Put32(Local, 0);
  Put32(Local, Zip64Local ? Max32 : 0);
  Put32(Local, Zip64Local ? Max32 : 0);
  Put16(Local, Word(H.FileName.size()));
  Put16(Local, Zip64Local ? 20 : 0);
  PutBytes(Local, H.FileName);
  if (Zip64Local) {
    Put16(Local, Zip64ExtraId);
    Put16(Local, 16);
    Put64(Local, 0);
    Put64(Local, 0);
  }
  FStream->SetPosition(Int64(FEndOfData));
  WriteAll(FStream, Local.data(), Local.size());

  // One pair of buffers for all entries: archives of many small files are common.
  if (FBuffers.empty()) FBuffers.resize(2 * size_t(BlockSize));
  Byte* const InBuf = FBuffers.data();
  Byte* const OutBuf = FBuffers.data() + BlockSize;
  uLong CRC = 0;
  UInt64 Read = 0, Written = 0;
  const String DisplayName = Name;
  // The progress of a large entry: its size as expected, the bytes read so far.
  H.UncompressedSize = Expected;
  DoEvent(FOnProgress, this, DisplayName, H, Int64(0));
  if (Compression == zcStored) {
    for (;;) {
      Integer N = Data->Read(InBuf, BlockSize);
      if (N <= 0) break;
      CRC = crc32(CRC, InBuf, uInt(N));
      FStream->WriteBuffer(InBuf, N);
      Read += UInt64(N);
      DoEvent(FOnProgress, this, DisplayName, H, Int64(Read));
    }
    Written = Read;
  } else {
    z_stream Z{};
    if (deflateInit2(&Z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw EZipException(L"Cannot start compression");
    std::unique_ptr<z_stream, void (*)(z_stream*)> Guard(&Z, [](z_stream* P) { deflateEnd(P); });
    bool End = false;
    while (!End) {
      Integer N = Data->Read(InBuf, BlockSize);
      if (N < 0) N = 0;
      CRC = crc32(CRC, InBuf, uInt(N));
      Read += UInt64(N);
      if (N > 0) DoEvent(FOnProgress, this, DisplayName, H, Int64(Read));
      Z.next_in = InBuf;
      Z.avail_in = uInt(N);
      const int FlushMode = N == 0 ? Z_FINISH : Z_NO_FLUSH;
      do {
        Z.next_out = OutBuf;
        Z.avail_out = uInt(BlockSize);
        int Rc = deflate(&Z, FlushMode);
        if (Rc == Z_STREAM_ERROR) throw EZipException(L"Compression failed");
        Integer Made = BlockSize - Integer(Z.avail_out);
        if (Made) FStream->WriteBuffer(OutBuf, Made);
        Written += UInt64(Made);
        if (Rc == Z_STREAM_END) End = true;
      } while (Z.avail_out == 0 || (FlushMode == Z_FINISH && !End));
    }
  }
  H.CRC32 = Cardinal(CRC);
  H.UncompressedSize = Read;
  H.CompressedSize = Written;
  if (!Zip64Local && (Read >= Max32 || Written >= Max32))
    throw EZipException(L"The data grew past 4 GB while it was added: " + Name);
  const UInt64 After = UInt64(FStream->GetPosition());

  // Sizes and CRC into the local header.
  TBytes Patch;
  Put32(Patch, H.CRC32);
  Put32(Patch, Zip64Local ? Max32 : Cardinal(H.CompressedSize));
  Put32(Patch, Zip64Local ? Max32 : Cardinal(H.UncompressedSize));
  FStream->SetPosition(Int64(FEndOfData + 14));
  FStream->WriteBuffer(Patch.data(), Integer(Patch.size()));
  if (Zip64Local) {
    TBytes Sizes;
    Put64(Sizes, H.UncompressedSize);
    Put64(Sizes, H.CompressedSize);
    FStream->SetPosition(Int64(FEndOfData + 30 + H.FileName.size() + 4));
    FStream->WriteBuffer(Sizes.data(), Integer(Sizes.size()));
  }
  FStream->SetPosition(Int64(After));
  FEndOfData = After;
  FFiles.push_back(std::move(H));
  FDataLimits.push_back(After - FStartOffset);
}

void TZipFile::WriteCentralDirectory() {
  FStream->SetPosition(Int64(FEndOfData));
  const UInt64 DirOffset = FEndOfData - FStartOffset;
  TBytes Dir;
  for (const TZipHeader& H : FFiles) {
    const bool BigU = H.UncompressedSize >= Max32, BigC = H.CompressedSize >= Max32,
               BigO = H.LocalHeaderOffset >= Max32;
    TBytes Extra;
    // Keep what the entry carried, less an old ZIP64 record, which is made anew.
    for (size_t Q = 0; Q + 4 <= H.ExtraField.size();) {
      Word Id = Get16(&H.ExtraField[Q]), Len = Get16(&H.ExtraField[Q + 2]);
      if (Q + 4 + Len > H.ExtraField.size()) break;
      if (Id != Zip64ExtraId) Extra.insert(Extra.end(), H.ExtraField.begin() + Q, H.ExtraField.begin() + Q + 4 + Len);
      Q += 4 + Len;
    }
    if (BigU || BigC || BigO) {
      TBytes Z;
      Put16(Z, Zip64ExtraId);
      Put16(Z, Word(8 * (BigU + BigC + BigO)));
      if (BigU) Put64(Z, H.UncompressedSize);
      if (BigC) Put64(Z, H.CompressedSize);
      if (BigO) Put64(Z, H.LocalHeaderOffset);
      Extra.insert(Extra.begin(), Z.begin(), Z.end());
    }
    if (Extra.size() > Max16) Extra.clear();
    Put32(Dir, CentralSignature);
    Put16(Dir, H.MadeByVersion);
    Put16(Dir, (BigU || BigC || BigO) && H.RequiredVersion < 45 ? Word(45) : H.RequiredVersion);
    Put16(Dir, H.Flag);
    Put16(Dir, H.CompressionMethod);
    Put32(Dir, H.ModifiedDateTime);
    Put32(Dir, H.CRC32);
    Put32(Dir, BigC ? Max32 : Cardinal(H.CompressedSize));
    Put32(Dir, BigU ? Max32 : Cardinal(H.UncompressedSize));
    Put16(Dir, Word(H.FileName.size()));
    Put16(Dir, Word(Extra.size()));
    Put16(Dir, Word(H.FileComment.size()));
    Put16(Dir, H.DiskNumberStart);
    Put16(Dir, H.InternalAttributes);
    Put32(Dir, H.ExternalAttributes);
    Put32(Dir, BigO ? Max32 : Cardinal(H.LocalHeaderOffset));
    PutBytes(Dir, H.FileName);
    PutBytes(Dir, Extra);
    PutBytes(Dir, H.FileComment);
    if (Dir.size() >= size_t(BlockSize)) {
      WriteAll(FStream, Dir.data(), Dir.size());
      Dir.clear();
    }
  }
  WriteAll(FStream, Dir.data(), Dir.size());
  const UInt64 DirEnd = UInt64(FStream->GetPosition());
  const UInt64 DirSize = DirEnd - FEndOfData;
  const UInt64 Count = FFiles.size();
  TBytes End;
  const bool Zip64 = Count >= Max16 || DirSize >= Max32 || DirOffset >= Max32;
  if (Zip64) {
    Put32(End, End64Signature);
    Put64(End, 44);
    Put16(End, 45);
    Put16(End, 45);
    Put32(End, 0);
    Put32(End, 0);
    Put64(End, Count);
    Put64(End, Count);
    Put64(End, DirSize);
    Put64(End, DirOffset);
    Put32(End, End64LocatorSignature);
    Put32(End, 0);
    Put64(End, DirEnd - FStartOffset);
    Put32(End, 1);
  }
  const std::string Comment = UTF8Encode(FComment).substr(0, Max16);
  Put32(End, EndSignature);
  Put16(End, 0);
  Put16(End, 0);
  Put16(End, Count >= Max16 ? Max16 : Word(Count));
  Put16(End, Count >= Max16 ? Max16 : Word(Count));
  Put32(End, DirSize >= Max32 ? Max32 : Cardinal(DirSize));
  Put32(End, DirOffset >= Max32 ? Max32 : Cardinal(DirOffset));
  Put16(End, Word(Comment.size()));
  End.insert(End.end(), Comment.begin(), Comment.end());
  WriteAll(FStream, End.data(), End.size());
  // An archive opened to add entries may have been longer (its old directory).
  if (FStream->GetPosition() < FStream->GetSize()) FStream->SetSize(FStream->GetPosition());
}
