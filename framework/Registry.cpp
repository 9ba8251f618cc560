#include "framework/Registry.h"

#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/classes/Strings.h"

namespace {

constexpr LongWord WowBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

bool IsRelative(const String& Key) { return Key.empty() || Key[0] != L'\\'; }

String StripSlashes(const String& Key) {
  String S = Key;
  while (!S.empty() && S.front() == L'\\') S.erase(0, 1);
  while (!S.empty() && S.back() == L'\\') S.pop_back();
  return S;
}

TRegDataType DataTypeOf(DWORD T) {
  switch (T) {
    case REG_SZ:
      return rdString;
    case REG_EXPAND_SZ:
      return rdExpandString;
    case REG_DWORD:
      return rdInteger;
    case REG_BINARY:
      return rdBinary;
    default:
      return rdUnknown;
  }
}

}  // namespace

TRegistry::TRegistry() : TRegistry(KEY_ALL_ACCESS) {}

TRegistry::TRegistry(LongWord AAccess) : FRootKey(HKEY_CURRENT_USER), FAccess(AAccess) {}

TRegistry::~TRegistry() {
  CloseKey();
  if (FCloseRootKey) RegCloseKey(FRootKey);
}

void TRegistry::SetRootKey(HKEY Value) {
  if (Value == FRootKey) return;
  if (FCloseRootKey) {
    RegCloseKey(FRootKey);
    FCloseRootKey = false;
  }
  FRootKey = Value;
  CloseKey();
}

void TRegistry::CloseKey() {
  if (FCurrentKey) {
    if (!FLazyWrite) RegFlushKey(FCurrentKey);
    RegCloseKey(FCurrentKey);
    FCurrentKey = nullptr;
    FCurrentPath.clear();
  }
}

HKEY TRegistry::GetBaseKey(bool Relative) const { return FCurrentKey && Relative ? FCurrentKey : FRootKey; }

void TRegistry::ChangeKey(HKEY Value, const String& Path) {
  CloseKey();
  FCurrentKey = Value;
  FCurrentPath = Path;
}

bool TRegistry::OpenKey(const String& Key, bool CanCreate) {
  bool Relative = IsRelative(Key);
  String S = StripSlashes(Key);
  HKEY K = nullptr;
  LONG R;
  if (CanCreate && !S.empty())
    R = RegCreateKeyExW(GetBaseKey(Relative), S.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr, &K, nullptr);
  else
    R = RegOpenKeyExW(GetBaseKey(Relative), S.c_str(), 0, FAccess, &K);
  if (R != ERROR_SUCCESS) return false;
  String Path = Relative && !FCurrentPath.empty() ? (S.empty() ? FCurrentPath : FCurrentPath + L"\\" + S) : S;
  ChangeKey(K, Path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const String& Key) {
  bool Relative = IsRelative(Key);
  String S = StripSlashes(Key);
  HKEY K = nullptr;
  // Keep the view the caller chose; ask only for reading.
  LongWord Want = (FAccess & WowBits) | KEY_READ;
  if (RegOpenKeyExW(GetBaseKey(Relative), S.c_str(), 0, Want, &K) != ERROR_SUCCESS) return false;
  FAccess = Want;
  String Path = Relative && !FCurrentPath.empty() ? (S.empty() ? FCurrentPath : FCurrentPath + L"\\" + S) : S;
  ChangeKey(K, Path);
  return true;
}

bool TRegistry::CreateKey(const String& Key) {
  String S = StripSlashes(Key);
  HKEY K = nullptr;
  LONG R = RegCreateKeyExW(GetBaseKey(IsRelative(Key)), S.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr,
                           &K, nullptr);
  if (R != ERROR_SUCCESS) throw ERegistryException(L"Failed to create key " + Key);
  RegCloseKey(K);
  return true;
}

bool TRegistry::DeleteKey(const String& Key) {
  String S = StripSlashes(Key);
  if (S.empty()) return false;
  HKEY Base = GetBaseKey(IsRelative(Key));
  HKEY K = nullptr;
  if (RegOpenKeyExW(Base, S.c_str(), 0, KEY_ALL_ACCESS | (FAccess & WowBits), &K) != ERROR_SUCCESS) return false;
  RegDeleteTreeW(K, nullptr);
  RegCloseKey(K);
  return RegDeleteKeyExW(Base, S.c_str(), FAccess & WowBits, 0) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const String& Key) {
  HKEY K = nullptr;
  String S = StripSlashes(Key);
  if (RegOpenKeyExW(GetBaseKey(IsRelative(Key)), S.c_str(), 0, KEY_READ | (FAccess & WowBits), &K) != ERROR_SUCCESS)
    return false;
  RegCloseKey(K);
  return true;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& Value) {
  Value = TRegKeyInfo();
  DWORD SubKeys = 0, MaxSub = 0, Values = 0, MaxValue = 0, MaxData = 0;
  if (!FCurrentKey || RegQueryInfoKeyW(FCurrentKey, nullptr, nullptr, nullptr, &SubKeys, &MaxSub, nullptr, &Values,
                                       &MaxValue, &MaxData, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  Value.NumSubKeys = Integer(SubKeys), Value.MaxSubKeyLen = Integer(MaxSub), Value.NumValues = Integer(Values);
  Value.MaxValueLen = Integer(MaxValue), Value.MaxDataLen = Integer(MaxData);
  return true;
}

bool TRegistry::HasSubKeys() {
  TRegKeyInfo I;
  return GetKeyInfo(I) && I.NumSubKeys > 0;
}

void TRegistry::GetKeyNames(TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  if (FCurrentKey) {
    wchar_t Buf[256];
    for (DWORD I = 0;; ++I) {
      DWORD Len = 256;
      if (RegEnumKeyExW(FCurrentKey, I, Buf, &Len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      Strings->Add(String(Buf, Len));
    }
  }
  Strings->EndUpdate();
}

void TRegistry::GetValueNames(TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  if (FCurrentKey) {
    std::vector<wchar_t> Buf(16384);
    for (DWORD I = 0;; ++I) {
      DWORD Len = DWORD(Buf.size());
      if (RegEnumValueW(FCurrentKey, I, Buf.data(), &Len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      Strings->Add(String(Buf.data(), Len));
    }
  }
  Strings->EndUpdate();
}

bool TRegistry::ValueExists(const String& Name) {
  TRegDataInfo I;
  return GetDataInfo(Name, I);
}

bool TRegistry::DeleteValue(const String& Name) {
  return FCurrentKey && RegDeleteValueW(FCurrentKey, Name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const String& ValueName, TRegDataInfo& Value) {
  Value = TRegDataInfo();
  DWORD Type = 0, Size = 0;
  if (RegQueryValueExW(GetBaseKey(true), ValueName.c_str(), nullptr, &Type, nullptr, &Size) != ERROR_SUCCESS) return false;
  Value.RegData = DataTypeOf(Type);
  Value.DataSize = Integer(Size);
  return true;
}

Integer TRegistry::GetDataSize(const String& ValueName) {
  TRegDataInfo I;
  return GetDataInfo(ValueName, I) ? I.DataSize : -1;
}

TRegDataType TRegistry::GetDataType(const String& ValueName) {
  TRegDataInfo I;
  return GetDataInfo(ValueName, I) ? I.RegData : rdUnknown;
}

void TRegistry::PutData(const String& Name, const void* Buffer, Integer Size, LongWord Type) {
  if (RegSetValueExW(GetBaseKey(true), Name.c_str(), 0, Type, static_cast<const BYTE*>(Buffer), DWORD(Size)) != ERROR_SUCCESS)
    throw ERegistryException(L"Failed to set data for '" + Name + L"'");
}

Integer TRegistry::GetData(const String& Name, void* Buffer, Integer Size, TRegDataType& Type) {
  DWORD T = 0, S = DWORD(Size);
  if (RegQueryValueExW(GetBaseKey(true), Name.c_str(), nullptr, &T, static_cast<BYTE*>(Buffer), &S) != ERROR_SUCCESS)
    throw ERegistryException(L"Failed to get data for '" + Name + L"'");
  Type = DataTypeOf(T);
  return Integer(S);
}

void TRegistry::CheckType(const String& Name, TRegDataType Actual, TRegDataType Wanted, bool AlsoExpand) {
  if (Actual != Wanted && !(AlsoExpand && Actual == rdExpandString))
    throw ERegistryException(L"Invalid data type for '" + Name + L"'");
}

String TRegistry::ReadString(const String& Name) {
  Integer Len = GetDataSize(Name);
  if (Len <= 0) return String();
  std::vector<wchar_t> Buf(size_t(Len) / 2 + 1, L'\0');
  TRegDataType T;
  Integer Got = GetData(Name, Buf.data(), Len, T);
  CheckType(Name, T, rdString, true);
  String S(Buf.data(), size_t(Got) / 2);
  while (!S.empty() && S.back() == L'\0') S.pop_back();
  return S;
}

void TRegistry::WriteString(const String& Name, const String& Value) {
  PutData(Name, Value.c_str(), Integer((Value.size() + 1) * 2), REG_SZ);
}

void TRegistry::WriteExpandString(const String& Name, const String& Value) {
  PutData(Name, Value.c_str(), Integer((Value.size() + 1) * 2), REG_EXPAND_SZ);
}

Integer TRegistry::ReadInteger(const String& Name) {
  TRegDataInfo I;
  if (!GetDataInfo(Name, I)) throw ERegistryException(L"Failed to get data for '" + Name + L"'");
  CheckType(Name, I.RegData, rdInteger);
  Integer V = 0;
  TRegDataType T;
  GetData(Name, &V, 4, T);
  CheckType(Name, T, rdInteger);
  return V;
}

void TRegistry::WriteInteger(const String& Name, Integer Value) { PutData(Name, &Value, 4, REG_DWORD); }

bool TRegistry::ReadBool(const String& Name) { return ReadInteger(Name) != 0; }
void TRegistry::WriteBool(const String& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

Integer TRegistry::ReadBinaryData(const String& Name, void* Buffer, Integer BufSize) {
  TRegDataInfo I;
  if (!GetDataInfo(Name, I)) throw ERegistryException(L"Failed to get data for '" + Name + L"'");
  if (I.RegData != rdBinary && I.RegData != rdUnknown) throw ERegistryException(L"Invalid data type for '" + Name + L"'");
  if (I.DataSize > BufSize) throw ERegistryException(L"Invalid data type for '" + Name + L"'");
  TRegDataType T;
  return GetData(Name, Buffer, I.DataSize, T);
}

void TRegistry::WriteBinaryData(const String& Name, const void* Buffer, Integer BufSize) {
  PutData(Name, Buffer, BufSize, REG_BINARY);
}

Double TRegistry::ReadFloat(const String& Name) {
  Double V = 0;
  if (ReadBinaryData(Name, &V, 8) != 8) throw ERegistryException(L"Invalid data type for '" + Name + L"'");
  return V;
}

void TRegistry::WriteFloat(const String& Name, Double Value) { WriteBinaryData(Name, &Value, 8); }

Currency TRegistry::ReadCurrency(const String& Name) {
  Int64 V = 0;
  if (ReadBinaryData(Name, &V, 8) != 8) throw ERegistryException(L"Invalid data type for '" + Name + L"'");
  return Currency::FromRaw(V);
}

void TRegistry::WriteCurrency(const String& Name, Currency Value) {
  Int64 V = Value.Raw();
  WriteBinaryData(Name, &V, 8);
}

TDateTime TRegistry::ReadDateTime(const String& Name) { return TDateTime(ReadFloat(Name)); }
void TRegistry::WriteDateTime(const String& Name, TDateTime Value) { WriteFloat(Name, Value.Val); }

// ---- TRegIniFile ------------------------------------------------------------------------------

TRegIniFile::TRegIniFile(const String& FileName) : TRegIniFile(FileName, KEY_ALL_ACCESS) {}

TRegIniFile::TRegIniFile(const String& FileName, LongWord AAccess)
    : TCustomIniFile(FileName), FRegistry(std::make_unique<TRegistry>(AAccess)) {
  FRegistry->SetLazyWrite(false);
  FRegistry->OpenKey(FileName, true);
}

TRegIniFile::~TRegIniFile() = default;

bool TRegIniFile::OpenSection(TRegistry& R, const String& Section, bool CanCreate) {
  R.SetRootKey(FRegistry->GetRootKey());
  String Path = L"\\" + FRegistry->GetCurrentPath();
  if (!Section.empty()) Path += L"\\" + Section;
  return CanCreate ? R.OpenKey(Path, true) : R.OpenKeyReadOnly(Path);
}

String TRegIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  TRegistry R(FRegistry->GetAccess());
  if (!OpenSection(R, Section, false) || !R.ValueExists(Ident)) return Default;
  TRegDataType T = R.GetDataType(Ident);
  if (T == rdInteger) return std::to_wstring(R.ReadInteger(Ident));
  if (T != rdString && T != rdExpandString) return Default;
  return R.ReadString(Ident);
}

void TRegIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  TRegistry R(FRegistry->GetAccess());
  if (!OpenSection(R, Section, true)) throw ERegistryException(L"Failed to create key " + Section);
  R.WriteString(Ident, Value);
}

Integer TRegIniFile::ReadInteger(const String& Section, const String& Ident, Integer Default) {
  TRegistry R(FRegistry->GetAccess());
  if (!OpenSection(R, Section, false) || !R.ValueExists(Ident)) return Default;
  if (R.GetDataType(Ident) == rdInteger) return R.ReadInteger(Ident);
  Integer V;
  return TryStrToInt(ReadString(Section, Ident, String()), V) ? V : Default;
}

void TRegIniFile::WriteInteger(const String& Section, const String& Ident, Integer Value) {
  TRegistry R(FRegistry->GetAccess());
  if (!OpenSection(R, Section, true)) throw ERegistryException(L"Failed to create key " + Section);
  R.WriteInteger(Ident, Value);
}

bool TRegIniFile::ReadBool(const String& Section, const String& Ident, bool Default) {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(const String& Section, const String& Ident, bool Value) {
  WriteInteger(Section, Ident, Value ? 1 : 0);
}

void TRegIniFile::ReadSection(const String& Section, TStrings* Strings) {
  TRegistry R(FRegistry->GetAccess());
  if (OpenSection(R, Section, false))
    R.GetValueNames(Strings);
  else
    Strings->Clear();
}

void TRegIniFile::ReadSections(TStrings* Strings) {
  TRegistry R(FRegistry->GetAccess());
  if (OpenSection(R, String(), false))
    R.GetKeyNames(Strings);
  else
    Strings->Clear();
}

void TRegIniFile::ReadSectionValues(const String& Section, TStrings* Strings) {
  TStringList Names;
  ReadSection(Section, &Names);
  Strings->BeginUpdate();
  Strings->Clear();
  for (Integer I = 0; I < Names.GetCount(); ++I)
    Strings->Add(Names.GetStrings(I) + L"=" + ReadString(Section, Names.GetStrings(I), String()));
  Strings->EndUpdate();
}

bool TRegIniFile::SectionExists(const String& Section) {
  TRegistry R(FRegistry->GetAccess());
  return OpenSection(R, Section, false);
}

bool TRegIniFile::ValueExists(const String& Section, const String& Ident) {
  TRegistry R(FRegistry->GetAccess());
  return OpenSection(R, Section, false) && R.ValueExists(Ident);
}

void TRegIniFile::EraseSection(const String& Section) {
  if (!Section.empty()) FRegistry->DeleteKey(Section);
}

void TRegIniFile::DeleteKey(const String& Section, const String& Ident) {
  TRegistry R(FRegistry->GetAccess());
  if (OpenSection(R, Section, false)) R.DeleteValue(Ident);
}
