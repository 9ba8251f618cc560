#include "framework/IniFiles.h"

#include <cwctype>
#include <unordered_map>

#include "framework/SysUtils.h"
#include "framework/WinApi.h"
#include "framework/classes/Streams.h"
#include "framework/classes/Strings.h"

namespace {

bool ParseInt64(const String& Text, Int64& Value) {
  String S = Trim(Text);
  if (S.empty()) return false;
  bool Neg = S[0] == L'-';
  size_t I = (S[0] == L'-' || S[0] == L'+') ? 1 : 0;
  int Base = 10;
  if (I < S.size() && S[I] == L'$') {
    Base = 16;
    ++I;
  } else if (I + 1 < S.size() && S[I] == L'0' && (S[I + 1] == L'x' || S[I + 1] == L'X')) {
    Base = 16;
    I += 2;
  }
  if (I >= S.size()) return false;
  std::uint64_t V = 0;
  for (; I < S.size(); ++I) {
    int D = HexDigitValue(S[I]);
    if (D < 0 || D >= Base) return false;
    V = V * Base + D;
  }
  Value = Neg ? -Int64(V) : Int64(V);
  return true;
}

}  // namespace

// ---- TCustomIniFile ---------------------------------------------------------------------------

bool TCustomIniFile::SectionExists(const String& Section) {
  TStringList L;
  ReadSection(Section, &L);
  return L.GetCount() > 0;
}

bool TCustomIniFile::ValueExists(const String& Section, const String& Ident) {
  TStringList L;
  ReadSection(Section, &L);
  return L.IndexOf(Ident) >= 0;
}

Integer TCustomIniFile::ReadInteger(const String& Section, const String& Ident, Integer Default) {
  Int64 V;
  if (!ParseInt64(ReadString(Section, Ident, String()), V) || V < INT32_MIN || V > UINT32_MAX) return Default;
  return Integer(V);
}

void TCustomIniFile::WriteInteger(const String& Section, const String& Ident, Integer Value) {
  WriteString(Section, Ident, std::to_wstring(Value));
}

Int64 TCustomIniFile::ReadInt64(const String& Section, const String& Ident, Int64 Default) {
  Int64 V;
  return ParseInt64(ReadString(Section, Ident, String()), V) ? V : Default;
}

void TCustomIniFile::WriteInt64(const String& Section, const String& Ident, Int64 Value) {
  WriteString(Section, Ident, std::to_wstring(Value));
}

bool TCustomIniFile::ReadBool(const String& Section, const String& Ident, bool Default) {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const String& Section, const String& Ident, bool Value) {
  WriteString(Section, Ident, Value ? L"1" : L"0");
}

Double TCustomIniFile::ReadFloat(const String& Section, const String& Ident, Double Default) {
  String S = ReadString(Section, Ident, String());
  Extended V;
  return !S.empty() && TryStrToFloat(S, V) ? Double(V) : Default;
}

void TCustomIniFile::WriteFloat(const String& Section, const String& Ident, Double Value) {
  WriteString(Section, Ident, FloatToStr(Value));
}

TDateTime TCustomIniFile::ReadDate(const String& Section, const String& Ident, TDateTime Default) {
  String S = ReadString(Section, Ident, String());
  TDateTime V;
  return !S.empty() && TryStrToDate(S, V) ? V : Default;
}

void TCustomIniFile::WriteDate(const String& Section, const String& Ident, TDateTime Value) {
  WriteString(Section, Ident, DateToStr(Value));
}

TDateTime TCustomIniFile::ReadDateTime(const String& Section, const String& Ident, TDateTime Default) {
  String S = ReadString(Section, Ident, String());
  TDateTime V;
  return !S.empty() && TryStrToDateTime(S, V) ? V : Default;
}

void TCustomIniFile::WriteDateTime(const String& Section, const String& Ident, TDateTime Value) {
  WriteString(Section, Ident, DateTimeToStr(Value));
}

TDateTime TCustomIniFile::ReadTime(const String& Section, const String& Ident, TDateTime Default) {
  String S = ReadString(Section, Ident, String());
  TDateTime V;
  return !S.empty() && TryStrToTime(S, V) ? V : Default;
}

void TCustomIniFile::WriteTime(const String& Section, const String& Ident, TDateTime Value) {
  WriteString(Section, Ident, TimeToStr(Value));
}

Integer TCustomIniFile::ReadBinaryStream(const String& Section, const String& Name, TStream* Value) {
  String Text = ReadString(Section, Name, String());
  TBytes B;
  for (size_t I = 0; I + 1 < Text.size(); I += 2) {
    int Hi = HexDigitValue(Text[I]), Lo = HexDigitValue(Text[I + 1]);
    if (Hi < 0 || Lo < 0) break;
    B.push_back(Byte(Hi * 16 + Lo));
  }
  if (!B.empty()) Value->WriteBuffer(B.data(), Integer(B.size()));
  return Integer(B.size());
}

void TCustomIniFile::WriteBinaryStream(const String& Section, const String& Name, TStream* Value) {
  static const wchar_t Digits[] = L"0123456789ABCDEF";
  String Text;
  Byte Buf[1024];
  for (Integer N; (N = Value->Read(Buf, sizeof Buf)) > 0;)
    for (Integer I = 0; I < N; ++I) {
      Text += Digits[Buf[I] >> 4];
      Text += Digits[Buf[I] & 15];
    }
  WriteString(Section, Name, Text);
}

// ---- TIniFile ---------------------------------------------------------------------------------

TIniFile::~TIniFile() {
  try {
    UpdateFile();
  } catch (...) {
  }
}

String TIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  std::vector<wchar_t> Buf(2048);
  for (;;) {
    DWORD N = GetPrivateProfileStringW(Section.c_str(), Ident.c_str(), Default.c_str(), Buf.data(), DWORD(Buf.size()),
                                       FFileName.c_str());
    if (N + 1 < Buf.size()) return String(Buf.data(), N);
    Buf.resize(Buf.size() * 4);
  }
}

namespace {
bool FitsAnsi(const String& S) {
  if (S.empty()) return true;
  BOOL Lost = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, S.data(), int(S.size()), nullptr, 0, nullptr, &Lost);
  return !Lost;
}

enum TIniEncoding { ieAnsi, ieUtf8, ieUtf16, ieUtf16BE };

TIniEncoding IniEncodingOf(const std::string& Head) {
  if (Head.size() >= 2 && Byte(Head[0]) == 0xFF && Byte(Head[1]) == 0xFE) return ieUtf16;
  if (Head.size() >= 2 && Byte(Head[0]) == 0xFE && Byte(Head[1]) == 0xFF) return ieUtf16BE;
  if (Head.size() >= 3 && Byte(Head[0]) == 0xEF && Byte(Head[1]) == 0xBB && Byte(Head[2]) == 0xBF) return ieUtf8;
  return ieAnsi;
}

// The file's bytes (up to Limit of them), empty when it cannot be read.
std::string IniFileBytes(const String& FileName, size_t Limit = size_t(-1)) {
  HANDLE H = CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  std::string B;
  if (H == INVALID_HANDLE_VALUE) return B;
  char Buf[8192];
  DWORD N = 0;
  while (B.size() < Limit && ReadFile(H, Buf, DWORD(std::min(sizeof Buf, Limit - B.size())), &N, nullptr) && N > 0)
    B.append(Buf, N);
  CloseHandle(H);
  return B;
}

void IniSwapUtf16(String& Text) {
  for (auto& C : Text) C = wchar_t((C >> 8) | (C << 8));
}

// Bytes written beside the file and moved over it whole: a failure midway leaves the old file.
void ReplaceIniFile(const String& FileName, const std::string& Bytes) {
  const String Temp = FileName + L"." + IntToStr(Integer(GetCurrentProcessId())) + L"-" +
                      IntToStr(Integer(GetTickCount())) + L".tmp";
  HANDLE H = CreateFileW(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (H == INVALID_HANDLE_VALUE) throw EIniFileException(L"Unable to write to " + FileName);
  DWORD W = 0;
  bool Ok = WriteFile(H, Bytes.data(), DWORD(Bytes.size()), &W, nullptr) && W == Bytes.size();
  Ok = CloseHandle(H) && Ok;
  if (!Ok || !MoveFileExW(Temp.c_str(), FileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(Temp.c_str());
    throw EIniFileException(L"Unable to write to " + FileName);
  }
}

// The profile functions write a file in the encoding they find: an ANSI file in the ANSI code
// page, which loses letters outside it (Turkish ı, ş, ğ under a Western code page); and only
// UTF-16 in its own byte order is read by every Windows. So before such text is written, or
// whenever the file is big-endian, the whole file becomes UTF-16, keeping everything the
// profile functions read from it.
void PrepareIniFile(const String& FileName, bool TextFitsAnsi) {
  const TIniEncoding Encoding = IniEncodingOf(IniFileBytes(FileName, 3));
  if (Encoding == ieUtf16 || (TextFitsAnsi && Encoding != ieUtf16BE)) return;
  const std::string B = IniFileBytes(FileName);
  String Text;
  if (Encoding == ieUtf16BE) {
    Text.assign((B.size() - 2) / 2, L'\0');
    std::memcpy(Text.data(), B.data() + 2, Text.size() * 2);
    IniSwapUtf16(Text);
  } else {
    // Decoded as the profile functions decode it, damaged sequences alike.
    const size_t Skip = Encoding == ieUtf8 ? 3 : 0;
    const UINT CodePage = Encoding == ieUtf8 ? CP_UTF8 : CP_ACP;
    int N = MultiByteToWideChar(CodePage, 0, B.data() + Skip, int(B.size() - Skip), nullptr, 0);
    Text.assign(size_t(std::max(N, 0)), L'\0');
    if (N > 0) MultiByteToWideChar(CodePage, 0, B.data() + Skip, int(B.size() - Skip), Text.data(), N);
  }
  std::string Out = "\xFF\xFE";
  Out.append(reinterpret_cast<const char*>(Text.data()), Text.size() * 2);
  ReplaceIniFile(FileName, Out);
}
}  // namespace

void TIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  PrepareIniFile(FFileName, FitsAnsi(Section) && FitsAnsi(Ident) && FitsAnsi(Value));
  if (!WritePrivateProfileStringW(Section.c_str(), Ident.c_str(), Value.c_str(), FFileName.c_str()))
    throw EIniFileException(L"Unable to write to " + FFileName);
}

namespace {
// The profile functions answer lists as strings separated by nulls.
void ReadNullList(const wchar_t* Section, const String& FileName, TStrings* Strings) {
  std::vector<wchar_t> Buf(16384);
  DWORD N;
  for (;;) {
    N = GetPrivateProfileStringW(Section, nullptr, nullptr, Buf.data(), DWORD(Buf.size()), FileName.c_str());
    if (N + 2 < Buf.size()) break;
    Buf.resize(Buf.size() * 4);
  }
  Strings->BeginUpdate();
  Strings->Clear();
  for (const wchar_t* P = Buf.data(); P < Buf.data() + N && *P; P += wcslen(P) + 1) Strings->Add(P);
  Strings->EndUpdate();
}
}  // namespace

void TIniFile::ReadSection(const String& Section, TStrings* Strings) { ReadNullList(Section.c_str(), FFileName, Strings); }

void TIniFile::ReadSections(TStrings* Strings) { ReadNullList(nullptr, FFileName, Strings); }

void TIniFile::ReadSectionValues(const String& Section, TStrings* Strings) {
  TStringList Keys;
  ReadSection(Section, &Keys);
  Strings->BeginUpdate();
  Strings->Clear();
  for (Integer I = 0; I < Keys.GetCount(); ++I)
    Strings->Add(Keys.GetStrings(I) + L"=" + ReadString(Section, Keys.GetStrings(I), String()));
  Strings->EndUpdate();
}

void TIniFile::EraseSection(const String& Section) {
  if (!WritePrivateProfileStringW(Section.c_str(), nullptr, nullptr, FFileName.c_str()) &&
      GetFileAttributesW(FFileName.c_str()) != INVALID_FILE_ATTRIBUTES)
    throw EIniFileException(L"Unable to write to " + FFileName);
}

void TIniFile::DeleteKey(const String& Section, const String& Ident) {
  WritePrivateProfileStringW(Section.c_str(), Ident.c_str(), nullptr, FFileName.c_str());
}

void TIniFile::UpdateFile() { WritePrivateProfileStringW(nullptr, nullptr, nullptr, FFileName.c_str()); }

// ---- TMemIniFile ------------------------------------------------------------------------------

// A section keeps its lines in order; comments and blank lines have no key.
struct TMemIniFile::TSection {
  String Name;
  struct TLine {
    bool IsValue;
    String Key, Value;  // Key holds the raw text of a line that is no value
  };
  std::vector<TLine> Lines;
};

TMemIniFile::TMemIniFile(const String& FileName) : TCustomIniFile(FileName) { LoadValues(); }

TMemIniFile::~TMemIniFile() = default;

// Sections and keys compare as the profile functions (and so TIniFile) compare them: as the file
// system compares names, never by the user's locale.
bool TMemIniFile::Same(const String& A, const String& B) const { return FCaseSensitive ? A == B : SameFileName(A, B); }

TMemIniFile::TSection* TMemIniFile::FindSection(const String& Name) {
  for (auto& S : FSections)
    if (Same(S->Name, Name)) return S.get();
  return nullptr;
}

TMemIniFile::TSection& TMemIniFile::AddSection(const String& Name) {
  if (TSection* S = FindSection(Name)) return *S;
  FSections.push_back(std::make_unique<TSection>());
  FSections.back()->Name = Name;
  return *FSections.back();
}

void TMemIniFile::LoadValues() {
  FSections.clear();
  FEncoding = 0;
  const std::string B = IniFileBytes(FFileName);
  String Text;
  const TIniEncoding Encoding = IniEncodingOf(B);
  if (Encoding == ieUtf8) {
    FEncoding = 1;
    Text = UTF8ToString(B.substr(3));
  } else if (Encoding == ieUtf16 || Encoding == ieUtf16BE) {
    FEncoding = Encoding == ieUtf16 ? 2 : 3;
    Text.assign((B.size() - 2) / 2, L'\0');
    std::memcpy(Text.data(), B.data() + 2, Text.size() * 2);
    if (Encoding == ieUtf16BE) IniSwapUtf16(Text);
  } else if (!B.empty()) {
    int Len = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, B.data(), int(B.size()), nullptr, 0);
    UINT Cp = Len > 0 ? CP_UTF8 : CP_ACP;
    Len = MultiByteToWideChar(Cp, 0, B.data(), int(B.size()), nullptr, 0);
    Text.assign(size_t(Len), L'\0');
    MultiByteToWideChar(Cp, 0, B.data(), int(B.size()), Text.data(), Len);
  }
  std::vector<String> Lines;
  String Cur;
  for (size_t I = 0; I < Text.size(); ++I) {
    if (Text[I] == L'\r' || Text[I] == L'\n') {
      Lines.push_back(Cur);
      Cur.clear();
      if (Text[I] == L'\r' && I + 1 < Text.size() && Text[I + 1] == L'\n') ++I;
    } else {
      Cur += Text[I];
    }
  }
  if (!Cur.empty()) Lines.push_back(Cur);
  SetLines(Lines);
}

namespace {
// A key under which every name that Same may call equal falls together, whatever the case rule:
// only ASCII letters and digits count, folded, and i/I (whose case differs between languages)
// is left out with everything else.
String SectionBucket(const String& Name) {
  String K;
  for (Char C : Name) {
    if (C >= L'a' && C <= L'z') C = Char(C - 32);
    if ((C >= L'A' && C <= L'Z' && C != L'I') || (C >= L'0' && C <= L'9')) K += C;
  }
  return K;
}
}  // namespace

void TMemIniFile::SetLines(const std::vector<String>& Lines) {
  FSections.clear();
  // Loading stays linear in the number of sections: a new one is compared only with those of its bucket.
  std::unordered_map<String, std::vector<TSection*>> Index;
  auto Section = [&](const String& Name) -> TSection* {
    auto& Bucket = Index[SectionBucket(Name)];
    for (TSection* S : Bucket)
      if (Same(S->Name, Name)) return S;
    FSections.push_back(std::make_unique<TSection>());
    FSections.back()->Name = Name;
    Bucket.push_back(FSections.back().get());
    return FSections.back().get();
  };
  TSection* Cur = nullptr;
  for (const String& Raw : Lines) {
    String S = Trim(Raw);
    if (S.size() >= 2 && S.front() == L'[' && S.back() == L']') {
      Cur = Section(Trim(S.substr(1, S.size() - 2)));
      continue;
    }
    if (!Cur) {
      if (S.empty()) continue;
      Cur = Section(String());  // lines before the first section
    }
    size_t Eq = S.find(L'=');
    if (S.empty() || S[0] == L';' || S[0] == L'#' || Eq == String::npos)
      Cur->Lines.push_back({false, Raw, String()});
    else
      Cur->Lines.push_back({true, Trim(S.substr(0, Eq)), S.substr(Eq + 1)});
  }
}

String TMemIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  if (TSection* S = FindSection(Section))
    for (auto& L : S->Lines)
      if (L.IsValue && Same(L.Key, Ident)) return L.Value;
  return Default;
}

void TMemIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  TSection& S = AddSection(Section);
  for (auto& L : S.Lines)
    if (L.IsValue && Same(L.Key, Ident)) {
      L.Value = Value;
      return;
    }
  // New keys go after the last value, before trailing blank lines.
  size_t At = S.Lines.size();
  while (At > 0 && !S.Lines[At - 1].IsValue && Trim(S.Lines[At - 1].Key).empty()) --At;
  S.Lines.insert(S.Lines.begin() + At, {true, Ident, Value});
}

void TMemIniFile::ReadSection(const String& Section, TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  if (TSection* S = FindSection(Section))
    for (auto& L : S->Lines)
      if (L.IsValue) Strings->Add(L.Key);
  Strings->EndUpdate();
}

void TMemIniFile::ReadSections(TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  for (auto& S : FSections)
    if (!S->Name.empty()) Strings->Add(S->Name);
  Strings->EndUpdate();
}

void TMemIniFile::ReadSectionValues(const String& Section, TStrings* Strings) {
  Strings->BeginUpdate();
  Strings->Clear();
  if (TSection* S = FindSection(Section))
    for (auto& L : S->Lines)
      if (L.IsValue) Strings->Add(L.Key + L"=" + L.Value);
  Strings->EndUpdate();
}

bool TMemIniFile::SectionExists(const String& Section) { return FindSection(Section) != nullptr; }

bool TMemIniFile::ValueExists(const String& Section, const String& Ident) {
  if (TSection* S = FindSection(Section))
    for (auto& L : S->Lines)
      if (L.IsValue && Same(L.Key, Ident)) return true;
  return false;
}

void TMemIniFile::EraseSection(const String& Section) {
  for (auto It = FSections.begin(); It != FSections.end(); ++It)
    if (Same((*It)->Name, Section)) {
      FSections.erase(It);
      return;
    }
}

void TMemIniFile::DeleteKey(const String& Section, const String& Ident) {
  if (TSection* S = FindSection(Section))
    for (auto It = S->Lines.begin(); It != S->Lines.end(); ++It)
      if (It->IsValue && Same(It->Key, Ident)) {
        S->Lines.erase(It);
        return;
      }
}

void TMemIniFile::Clear() { FSections.clear(); }

void TMemIniFile::GetStrings(TStrings* List) {
  List->BeginUpdate();
  List->Clear();
  for (auto& S : FSections) {
    if (!S->Name.empty() || S != FSections.front()) List->Add(L"[" + S->Name + L"]");
    for (auto& L : S->Lines) List->Add(L.IsValue ? L.Key + L"=" + L.Value : L.Key);
  }
  List->EndUpdate();
}

void TMemIniFile::SetStrings(TStrings* List) {
  std::vector<String> Lines;
  for (Integer I = 0; I < List->GetCount(); ++I) Lines.push_back(List->GetStrings(I));
  SetLines(Lines);
}

void TMemIniFile::Rename(const String& FileName, bool Reload) {
  FFileName = FileName;
  if (Reload) LoadValues();
}

void TMemIniFile::UpdateFile() {
  TStringList L;
  GetStrings(&L);
  String Text = L.GetText();
  bool Ascii = true;
  for (Char C : Text)
    if (C > 0x7F) Ascii = false;
  std::string Bytes;
  Integer Enc = FEncoding ? FEncoding : (Ascii ? 0 : 2);
  if (Enc == 1) {
    Bytes = "\xEF\xBB\xBF" + UTF8Encode(Text);
  } else if (Enc == 2 || Enc == 3) {
    if (Enc == 3) IniSwapUtf16(Text);
    Bytes = Enc == 2 ? "\xFF\xFE" : "\xFE\xFF";
    Bytes.append(reinterpret_cast<const char*>(Text.data()), Text.size() * 2);
  } else {
    Bytes.assign(Text.begin(), Text.end());
  }
  ReplaceIniFile(FFileName, Bytes);
  FEncoding = Enc;
}
