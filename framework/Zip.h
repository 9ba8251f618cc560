#pragma once
// Zip: zip archives over zlib (stored and deflate entries). Reads and writes ZIP64 (archives and
// entries over 4 GB, more than 65535 entries) and UTF-8 names. Entries are extracted and added
// block by block, so memory stays small whatever the size; every extracted entry's CRC and size
// are checked, and every entry path is checked before anything is written for it. An archive
// whose entries share bytes with each other or with its central directory does not open.

#include <vector>

#include "framework/System.h"

class TStream;

enum TZipMode { zmClosed, zmRead, zmReadWrite, zmWrite };
enum TZipCompression : Word { zcStored = 0, zcDeflate = 8 };

// One entry as its central directory record holds it. Sizes and the offset are the real ones,
// ZIP64 values included.
struct TZipHeader {
  Word MadeByVersion = 0;
  Word RequiredVersion = 0;
  Word Flag = 0;
  Word CompressionMethod = 0;
  Cardinal ModifiedDateTime = 0;  // DOS date (high word) and time (low word), local time
  Cardinal CRC32 = 0;
  UInt64 CompressedSize = 0;
  UInt64 UncompressedSize = 0;
  Word DiskNumberStart = 0;
  Word InternalAttributes = 0;
  Cardinal ExternalAttributes = 0;
  UInt64 LocalHeaderOffset = 0;
  TBytes FileName;  // as stored: UTF-8 when Flag has bit 11, else the OEM code page
  TBytes ExtraField;
  TBytes FileComment;
};

// Fired once before an entry's first block (Position 0) and after every block written;
// Position counts the entry's uncompressed bytes so far.
using TZipProgressEvent =
    Closure<void(TObject* Sender, const String& FileName, const TZipHeader& Header, Int64 Position)>;

DECLARE_EXCEPTION(EZipException, Exception)

class TZipFile : public TObject {
  DECLARE_CLASS(TZipFile, TObject)
 public:
  TZipFile();
  ~TZipFile() override;
  TZipFile(const TZipFile&) = delete;
  TZipFile& operator=(const TZipFile&) = delete;

  // True when the file opens and its central directory reads.
  static bool IsValid(const String& ZipFileName);
  static void ExtractZipFile(const String& ZipFileName, const String& Path);

  // zmWrite makes a new archive (an existing file is replaced; a stream is written from its
  // position); zmReadWrite opens an archive to add entries to it. The stream stays the caller's.
  void Open(const String& ZipFileName, TZipMode OpenMode);
  void Open(TStream* ZipFileStream, TZipMode OpenMode);
  // Writes the central directory of an archive being written; closes a file opened by name.
  void Close();

  // Extract to Path (the current folder when empty), under the entry's stored folders unless
  // CreateSubdirs is false. An entry whose path is absolute, names a drive or leaves Path with
  // ".." raises EZipException before anything is written for it; an existing file is
  // overwritten; a file whose data fails its CRC or size check is removed and the error raised.
  void Extract(const String& FileName, const String& Path = String(), bool CreateSubdirs = true);
  void Extract(Integer Index, const String& Path = String(), bool CreateSubdirs = true);
  void ExtractAll(const String& Path = String());
  void Read(const String& FileName, TBytes& Bytes);
  void Read(Integer Index, TBytes& Bytes);
  // A new read-only stream that decompresses the entry as it is read (the caller frees it; the
  // archive stays open meanwhile), and the entry's local header. Reading to its end checks the CRC.
  void Read(const String& FileName, TStream*& Stream, TZipHeader& LocalHeader);
  void Read(Integer Index, TStream*& Stream, TZipHeader& LocalHeader);

  // Adds a file under ArchiveFileName (its own name when empty), a byte array, or a stream
  // from its position to its end. "\" in names is stored as "/".
  void Add(const String& FileName, const String& ArchiveFileName = String(), TZipCompression Compression = zcDeflate);
  void Add(const TBytes& Data, const String& ArchiveFileName, TZipCompression Compression = zcDeflate);
  void Add(TStream* Data, const String& ArchiveFileName, TZipCompression Compression = zcDeflate);

  // The index of the entry named FileName ("\" and "/" alike, case ignored), -1 when none.
  Integer IndexOf(const String& FileName) const;
  Integer GetFileCount() const { return Integer(FFiles.size()); }
  std::vector<String> GetFileNames() const;
  String GetFileName(Integer Index) const;
  const TZipHeader& GetFileInfo(Integer Index) const;
  String GetComment() const { return FComment; }
  void SetComment(const String& Value) { FComment = Value; }
  TZipMode GetMode() const { return FMode; }
  TZipProgressEvent GetOnProgress() const { return FOnProgress; }
  void SetOnProgress(const TZipProgressEvent& Value) { FOnProgress = Value; }

 private:
  void CheckIndex(Integer Index) const;
  void ReadCentralDirectory();
  UInt64 DataOffset(Integer Index, TZipHeader* LocalHeader);
  void WriteCentralDirectory();
  void AddEntry(TStream* Data, const String& ArchiveFileName, TZipCompression Compression, Cardinal DosTime,
                Cardinal Attributes);

  TStream* FStream = nullptr;
  TStream* FOwnStream = nullptr;  // the file opened by name
  TZipMode FMode = zmClosed;
  UInt64 FStartOffset = 0;         // where the archive starts in the stream
  UInt64 FEndOfData = 0;           // where the next entry (or the central directory) goes
  std::vector<TZipHeader> FFiles;
  // Per entry, where the next entry's local header (or the central directory) starts: its data
  // must end before that, so that no two entries share bytes.
  std::vector<UInt64> FDataLimits;
  String FComment;
  TZipProgressEvent FOnProgress;
  TBytes FBuffers;  // two blocks for copying, made on first use
};
