#pragma once
// Streams: the abstract byte stream and its file, memory, byte-array, string and resource
// forms. TMemoryStream sends every change of its capacity through the virtual Realloc, so a
// descendant can keep the stream's memory wherever it likes (the global heap, a variant array).

#include "framework/System.h"

class TComponent;
class TEncoding;

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// File modes: one access mode, optionally or-ed with one share mode; fmCreate makes or
// truncates the file (with fmExclusive: only a new file).
constexpr Word fmCreate = 0xFF00;
constexpr Word fmOpenRead = 0x0000;
constexpr Word fmOpenWrite = 0x0001;
constexpr Word fmOpenReadWrite = 0x0002;
constexpr Word fmExclusive = 0x0004;
constexpr Word fmShareCompat = 0x0000;
constexpr Word fmShareExclusive = 0x0010;
constexpr Word fmShareDenyWrite = 0x0020;
constexpr Word fmShareDenyRead = 0x0030;
constexpr Word fmShareDenyNone = 0x0040;

class TStream : public TObject {
  DECLARE_CLASS(TStream, TObject)
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Read and Write move at most Count bytes and answer how many they moved.
  virtual Integer Read(void* Buffer, Integer Count) = 0;
  virtual Integer Write(const void* Buffer, Integer Count) = 0;
  virtual Int64 Seek(Int64 Offset, TSeekOrigin Origin) = 0;
  Integer Read(TBytes& Buffer, Integer Offset, Integer Count);
  Integer Write(const TBytes& Buffer, Integer Offset, Integer Count);
  Integer Write(const TBytes& Buffer) { return Write(Buffer, 0, Integer(Buffer.size())); }
  // All or nothing: EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* Buffer, Integer Count);
  void WriteBuffer(const void* Buffer, Integer Count);
  void ReadBuffer(TBytes& Buffer, Integer Count);
  void WriteBuffer(const TBytes& Buffer, Integer Count);
  // Copies Count bytes from Source's position; Count <= 0 copies the whole of Source from its start.
  Int64 CopyFrom(TStream* Source, Int64 Count = 0);

  // A plain value in its memory layout (integers, floats, records without pointers).
  template <class T>
  Integer ReadData(T& Value) {
    static_assert(std::is_trivially_copyable_v<T>, "only plain data");
    return Read(&Value, sizeof(T));
  }
  template <class T>
  Integer WriteData(const T& Value) {
    static_assert(std::is_trivially_copyable_v<T>, "only plain data");
    return Write(&Value, sizeof(T));
  }

  Int64 GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(Int64 Pos) { Seek(Pos, soBeginning); }
  virtual Int64 GetSize();
  virtual void SetSize(Int64 NewSize);

  // Component streaming, defined with the component streaming.
  TComponent* ReadComponent(TComponent* Instance);
  TComponent* ReadComponentRes(TComponent* Instance);
  void WriteComponent(TComponent* Instance);
  void WriteComponentRes(const String& ResName, TComponent* Instance);
  void WriteDescendent(TComponent* Instance, TComponent* Ancestor);
  void WriteDescendentRes(const String& ResName, TComponent* Instance, TComponent* Ancestor);
  void ReadResHeader();
};

// A stream over a Win32 file handle that someone else opens and closes.
class THandleStream : public TStream {
  DECLARE_CLASS(THandleStream, TStream)
 public:
  explicit THandleStream(NativeUInt AHandle) : FHandle(AHandle) {}
  using TStream::Read;
  using TStream::Write;
  Integer Read(void* Buffer, Integer Count) override;    // -1 on a system error
  Integer Write(const void* Buffer, Integer Count) override;
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  void SetSize(Int64 NewSize) override;
  NativeUInt GetHandle() const { return FHandle; }

 protected:
  NativeUInt FHandle;
};

// Opens or creates a file; failures raise EFOpenError 'Cannot open file "X". <system text>'
// or EFCreateError 'Cannot create file "X". <system text>'.
class TFileStream : public THandleStream {
  DECLARE_CLASS(TFileStream, THandleStream)
 public:
  TFileStream(const String& AFileName, Word Mode);
  TFileStream(const String& AFileName, Word Mode, Cardinal Rights);
  ~TFileStream() override;
  const String& GetFileName() const { return FFileName; }

 private:
  String FFileName;
};

// A stream over a block of memory it reads from: the block is someone else's.
class TCustomMemoryStream : public TStream {
  DECLARE_CLASS(TCustomMemoryStream, TStream)
 public:
  using TStream::Read;
  using TStream::Write;
  Integer Read(void* Buffer, Integer Count) override;
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  Int64 GetSize() override { return FSize; }
  void SaveToStream(TStream* Stream);
  void SaveToFile(const String& FileName);
  void* GetMemory() const { return FMemory; }

 protected:
  void SetPointer(void* Ptr, NativeInt Size) {
    FMemory = Ptr;
    FSize = Size;
  }
  void* FMemory = nullptr;
  NativeInt FSize = 0;
  NativeInt FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
  DECLARE_CLASS(TMemoryStream, TCustomMemoryStream)
 public:
  TMemoryStream() = default;
  // Frees only a block that this class's own Realloc made: a descendant that keeps the memory
  // elsewhere releases it in its own destructor (call Clear there).
  ~TMemoryStream() override;
  using TStream::Write;

  Integer Write(const void* Buffer, Integer Count) override;
  void SetSize(Int64 NewSize) override;
  void Clear();
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(const String& FileName);
  NativeInt GetCapacity() const { return FCapacity; }
  virtual void SetCapacity(NativeInt NewCapacity);

 protected:
  // Answers the memory for NewCapacity bytes, keeping the first Size bytes; may round
  // NewCapacity, which then becomes the capacity. This one rounds to 8 KB steps and raises
  // EStreamError "Out of memory while expanding memory stream" when the heap refuses.
  virtual void* Realloc(NativeInt& NewCapacity);

 private:
  NativeInt FCapacity = 0;
  void* FOwnBlock = nullptr;  // the block Realloc took from the heap, if the memory is still that
};

// A memory stream whose memory is a byte array. Like the framework's, GetBytes answers the
// whole array, which may be longer than the stream (its capacity): use GetSize for the data.
class TBytesStream : public TMemoryStream {
  DECLARE_CLASS(TBytesStream, TMemoryStream)
 public:
  explicit TBytesStream(const TBytes& ABytes = TBytes());
  ~TBytesStream() override;
  const TBytes& GetBytes() const { return FBytes; }

 protected:
  void* Realloc(NativeInt& NewCapacity) override;

 private:
  TBytes FBytes;
};

// A byte stream holding text in an encoding (the ANSI code page unless one is given).
class TStringStream : public TBytesStream {
  DECLARE_CLASS(TStringStream, TBytesStream)
 public:
  TStringStream();
  explicit TStringStream(const String& AString);
  // Frees AEncoding with the stream when AOwnsEncoding and it is not a shared instance.
  TStringStream(const String& AString, TEncoding* AEncoding, bool AOwnsEncoding = false);
  TStringStream(const String& AString, Integer ACodePage);
  explicit TStringStream(const TBytes& ABytes);
  ~TStringStream() override;

  String GetDataString() const;
  // Reads at most Count bytes from the position as text.
  String ReadString(Integer Count);
  void WriteString(const String& AString);
  TEncoding* GetEncoding() const { return FEncoding; }

 private:
  TEncoding* FEncoding;
  bool FOwnsEncoding = false;
};

// A read-only stream over a resource of a module: by name or by numeric id, of a type such as
// RT_RCDATA. A missing resource raises EResNotFound "Resource X not found".
class TResourceStream : public TCustomMemoryStream {
  DECLARE_CLASS(TResourceStream, TCustomMemoryStream)
 public:
  TResourceStream(NativeUInt Instance, const String& ResName, const wchar_t* ResType);
  TResourceStream(NativeUInt Instance, Integer ResID, const wchar_t* ResType);
  using TStream::Write;
  // Raises EStreamError: a resource cannot be written.
  Integer Write(const void* Buffer, Integer Count) override;

 private:
  void Initialize(NativeUInt Instance, const wchar_t* Name, const wchar_t* ResType, bool FromID);
};
