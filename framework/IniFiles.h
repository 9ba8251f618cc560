#pragma once
// Ini files: TCustomIniFile's typed reads and writes over a section/key/value store; TIniFile
// over the Windows profile functions (every other section and key of the file is kept), and
// TMemIniFile, which holds the file in memory until UpdateFile.

#include <memory>

#include "framework/System.h"

class TStrings;
class TStream;

DECLARE_EXCEPTION(EIniFileException, Exception)

class TCustomIniFile : public TObject {
  DECLARE_CLASS(TCustomIniFile, TObject)
 public:
  explicit TCustomIniFile(const String& FileName) : FFileName(FileName) {}
  TCustomIniFile(const TCustomIniFile&) = delete;
  TCustomIniFile& operator=(const TCustomIniFile&) = delete;

  const String& GetFileName() const { return FFileName; }
  virtual bool SectionExists(const String& Section);
  virtual bool ValueExists(const String& Section, const String& Ident);
  virtual String ReadString(const String& Section, const String& Ident, const String& Default) = 0;
  virtual void WriteString(const String& Section, const String& Ident, const String& Value) = 0;
  // Integers also read from hexadecimal ("$1F", "0x1F"); text that is no number gives Default.
  virtual Integer ReadInteger(const String& Section, const String& Ident, Integer Default);
  virtual void WriteInteger(const String& Section, const String& Ident, Integer Value);
  Int64 ReadInt64(const String& Section, const String& Ident, Int64 Default);
  void WriteInt64(const String& Section, const String& Ident, Int64 Value);
  // "0" is false, any other number true; booleans are written as 1 and 0.
  virtual bool ReadBool(const String& Section, const String& Ident, bool Default);
  virtual void WriteBool(const String& Section, const String& Ident, bool Value);
  // Floats and dates in the global FormatSettings, as the framework writes them.
  virtual Double ReadFloat(const String& Section, const String& Ident, Double Default);
  virtual void WriteFloat(const String& Section, const String& Ident, Double Value);
  virtual TDateTime ReadDate(const String& Section, const String& Ident, TDateTime Default);
  virtual void WriteDate(const String& Section, const String& Ident, TDateTime Value);
  virtual TDateTime ReadDateTime(const String& Section, const String& Ident, TDateTime Default);
  virtual void WriteDateTime(const String& Section, const String& Ident, TDateTime Value);
  virtual TDateTime ReadTime(const String& Section, const String& Ident, TDateTime Default);
  virtual void WriteTime(const String& Section, const String& Ident, TDateTime Value);
  // Binary data as hexadecimal text; answers the bytes read.
  virtual Integer ReadBinaryStream(const String& Section, const String& Name, TStream* Value);
  virtual void WriteBinaryStream(const String& Section, const String& Name, TStream* Value);
  // The keys of a section; the sections; the key=value lines of a section.
  virtual void ReadSection(const String& Section, TStrings* Strings) = 0;
  virtual void ReadSections(TStrings* Strings) = 0;
  virtual void ReadSectionValues(const String& Section, TStrings* Strings) = 0;
  virtual void EraseSection(const String& Section) = 0;
  virtual void DeleteKey(const String& Section, const String& Ident) = 0;
  virtual void UpdateFile() = 0;

 protected:
  String FFileName;
};

class TIniFile : public TCustomIniFile {
  DECLARE_CLASS(TIniFile, TCustomIniFile)
 public:
  using TCustomIniFile::TCustomIniFile;
  ~TIniFile() override;

  String ReadString(const String& Section, const String& Ident, const String& Default) override;
  // Raises EIniFileException when the file cannot be written. Text outside the ANSI code page
  // turns the file into UTF-16 first (a big-endian file always), keeping all it holds; the old
  // file is replaced only by the whole converted one.
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  void ReadSection(const String& Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(const String& Section, TStrings* Strings) override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  // Flushes what the system buffered for the file.
  void UpdateFile() override;
};

class TMemIniFile : public TCustomIniFile {
  DECLARE_CLASS(TMemIniFile, TCustomIniFile)
 public:
  // Loads FileName when it exists. The file's encoding is kept when it has a byte-order mark;
  // a file without one is read as UTF-8 when it is valid UTF-8, else in the ANSI code page.
  explicit TMemIniFile(const String& FileName);
  ~TMemIniFile() override;

  String ReadString(const String& Section, const String& Ident, const String& Default) override;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  void ReadSection(const String& Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(const String& Section, TStrings* Strings) override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  bool SectionExists(const String& Section) override;
  bool ValueExists(const String& Section, const String& Ident) override;
  // Writes the file: in its own encoding, else ANSI when the text is ASCII and UTF-16 with a
  // byte-order mark otherwise (which the system's profile functions read too), so no letter is lost.
  // The file is written beside and moved over the old one whole.
  void UpdateFile() override;
  void Clear();
  // The whole file as lines, and replacing it from lines.
  void GetStrings(TStrings* List);
  void SetStrings(TStrings* List);
  void Rename(const String& FileName, bool Reload);
  bool GetCaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value) { FCaseSensitive = Value; }

 private:
  struct TSection;
  TSection* FindSection(const String& Name);
  TSection& AddSection(const String& Name);
  bool Same(const String& A, const String& B) const;
  void LoadValues();
  void SetLines(const std::vector<String>& Lines);

  std::vector<std::unique_ptr<TSection>> FSections;
  bool FCaseSensitive = false;
  Integer FEncoding = 0;  // 0 none known, 1 UTF-8 with BOM, 2 UTF-16 with BOM, 3 big-endian UTF-16 with BOM
};
