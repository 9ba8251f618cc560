#pragma once
// TRegistry: a key of the Windows registry opened below RootKey, with typed reads and writes of
// its values; TRegIniFile: a registry key used as an ini file (sections are subkeys, keys are
// value names, an empty key name is the section's default value).

#include <memory>

#include "framework/IniFiles.h"

struct HKEY__;
typedef HKEY__* HKEY;  // as the Win32 headers declare it
class TStrings;

DECLARE_EXCEPTION(ERegistryException, Exception)

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  Integer DataSize = 0;
};

struct TRegKeyInfo {
  Integer NumSubKeys = 0, MaxSubKeyLen = 0, NumValues = 0, MaxValueLen = 0, MaxDataLen = 0;
};

class TRegistry : public TObject {
  DECLARE_CLASS(TRegistry, TObject)
 public:
  // HKEY_CURRENT_USER and KEY_ALL_ACCESS.
  TRegistry();
  explicit TRegistry(LongWord AAccess);
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY GetRootKey() const { return FRootKey; }
  void SetRootKey(HKEY Value);
  // The access asked for when keys are opened; KEY_WOW64_64KEY or KEY_WOW64_32KEY pick a view.
  LongWord GetAccess() const { return FAccess; }
  void SetAccess(LongWord Value) { FAccess = Value; }
  HKEY GetCurrentKey() const { return FCurrentKey; }
  const String& GetCurrentPath() const { return FCurrentPath; }
  bool GetLazyWrite() const { return FLazyWrite; }
  void SetLazyWrite(bool Value) { FLazyWrite = Value; }

  // Key is relative to the current key, or absolute below RootKey when it starts with "\".
  bool OpenKey(const String& Key, bool CanCreate);
  bool OpenKeyReadOnly(const String& Key);
  bool CreateKey(const String& Key);
  // Deletes the key with all its subkeys.
  bool DeleteKey(const String& Key);
  bool KeyExists(const String& Key);
  void CloseKey();
  bool HasSubKeys();
  bool GetKeyInfo(TRegKeyInfo& Value);
  void GetKeyNames(TStrings* Strings);
  void GetValueNames(TStrings* Strings);
  bool ValueExists(const String& Name);
  bool DeleteValue(const String& Name);
  bool GetDataInfo(const String& ValueName, TRegDataInfo& Value);
  // -1 when the value does not exist.
  Integer GetDataSize(const String& ValueName);
  TRegDataType GetDataType(const String& ValueName);

  // Reads raise ERegistryException for a missing value (ReadString answers "") or one of
  // another type; writes raise it when the value cannot be set.
  String ReadString(const String& Name);
  void WriteString(const String& Name, const String& Value);
  void WriteExpandString(const String& Name, const String& Value);
  Integer ReadInteger(const String& Name);
  void WriteInteger(const String& Name, Integer Value);
  bool ReadBool(const String& Name);
  void WriteBool(const String& Name, bool Value);
  Integer ReadBinaryData(const String& Name, void* Buffer, Integer BufSize);
  void WriteBinaryData(const String& Name, const void* Buffer, Integer BufSize);
  // Floats, currencies and dates are stored as binary values of their bytes.
  Double ReadFloat(const String& Name);
  void WriteFloat(const String& Name, Double Value);
  Currency ReadCurrency(const String& Name);
  void WriteCurrency(const String& Name, Currency Value);
  TDateTime ReadDate(const String& Name) { return ReadDateTime(Name); }
  void WriteDate(const String& Name, TDateTime Value) { WriteDateTime(Name, Value); }
  TDateTime ReadDateTime(const String& Name);
  void WriteDateTime(const String& Name, TDateTime Value);
  TDateTime ReadTime(const String& Name) { return ReadDateTime(Name); }
  void WriteTime(const String& Name, TDateTime Value) { WriteDateTime(Name, Value); }

 private:
  HKEY GetBaseKey(bool Relative) const;
  void ChangeKey(HKEY Value, const String& Path);
  void PutData(const String& Name, const void* Buffer, Integer Size, LongWord Type);
  Integer GetData(const String& Name, void* Buffer, Integer Size, TRegDataType& Type);
  void CheckType(const String& Name, TRegDataType Actual, TRegDataType Wanted, bool AlsoExpand = false);

  HKEY FRootKey;
  HKEY FCurrentKey = nullptr;
  String FCurrentPath;
  LongWord FAccess;
  bool FLazyWrite = true;
  bool FCloseRootKey = false;
};

class TRegIniFile : public TCustomIniFile {
  DECLARE_CLASS(TRegIniFile, TCustomIniFile)
 public:
  // FileName is the key path below HKEY_CURRENT_USER, created when missing.
  explicit TRegIniFile(const String& FileName);
  TRegIniFile(const String& FileName, LongWord AAccess);
  ~TRegIniFile() override;

  TRegistry* GetRegistry() const { return FRegistry.get(); }
  String ReadString(const String& Section, const String& Ident, const String& Default) override;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  // Integers are DWORD values; a string value that holds a number reads as one too.
  Integer ReadInteger(const String& Section, const String& Ident, Integer Default) override;
  void WriteInteger(const String& Section, const String& Ident, Integer Value) override;
  bool ReadBool(const String& Section, const String& Ident, bool Default) override;
  void WriteBool(const String& Section, const String& Ident, bool Value) override;
  void ReadSection(const String& Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(const String& Section, TStrings* Strings) override;
  bool SectionExists(const String& Section) override;
  bool ValueExists(const String& Section, const String& Ident) override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  void UpdateFile() override {}

 private:
  // Opens Section below the file's key on a second registry object; false when absent.
  bool OpenSection(TRegistry& R, const String& Section, bool CanCreate);
  std::unique_ptr<TRegistry> FRegistry;
};
