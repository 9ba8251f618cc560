#include "framework/sysutils/Files.h"

#include "framework/WinShell.h"
#include "framework/sysutils/Strings.h"

namespace {

// Attributes of Name, following a link to its target when asked; INVALID_FILE_ATTRIBUTES when
// it (or the target) does not exist.
DWORD Attributes(const String& Name, bool FollowLink) {
  DWORD A = GetFileAttributesW(Name.c_str());
  if (A == INVALID_FILE_ATTRIBUTES || !(A & FILE_ATTRIBUTE_REPARSE_POINT) || !FollowLink) return A;
  // A link: ask the target by opening it (a dangling link fails).
  HANDLE H = CreateFileW(Name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (H == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
  BY_HANDLE_FILE_INFORMATION Info{};
  bool Ok = GetFileInformationByHandle(H, &Info);
  CloseHandle(H);
  return Ok ? Info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

TDateTime FileTimeToLocalDateTime(const FILETIME& FT, Integer* DosTime) {
  FILETIME Local;
  SYSTEMTIME ST;
  if (!FileTimeToLocalFileTime(&FT, &Local) || !FileTimeToSystemTime(&Local, &ST)) return TDateTime();
  if (DosTime) {
    WORD Date = 0, Time = 0;
    *DosTime = FileTimeToDosDateTime(&Local, &Date, &Time) ? Integer((Cardinal(Date) << 16) | Time) : -1;
  }
  double V = 0;
  SystemTimeToVariantTime(&ST, &V);
  // SystemTimeToVariantTime drops the milliseconds.
  return TDateTime(V + (V >= 0 ? 1 : -1) * ST.wMilliseconds / 86400000.0);
}

bool IsPathDelim(Char C) { return C == L'\\' || C == L'/'; }

// The search matches the record takes: the special attributes not asked for are excluded.
bool Matches(const WIN32_FIND_DATAW& D, Integer ExcludeAttr) { return (Integer(D.dwFileAttributes) & ExcludeAttr) == 0; }

void Fill(TSearchRec& F, const WIN32_FIND_DATAW& D) {
  F.Size = (Int64(D.nFileSizeHigh) << 32) | D.nFileSizeLow;
  F.Attr = Integer(D.dwFileAttributes);
  F.Name = D.cFileName;
  F.TimeStamp = FileTimeToLocalDateTime(D.ftLastWriteTime, &F.Time);
}

}  // namespace

// ---- Existence, folders, files ----------------------------------------------------------------

bool FileExists(const String& FileName, bool FollowLink) {
  if (FileName.empty()) return false;
  DWORD A = Attributes(FileName, FollowLink);
  return A != INVALID_FILE_ATTRIBUTES && !(A & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const String& Directory, bool FollowLink) {
  if (Directory.empty()) return false;
  DWORD A = Attributes(Directory, FollowLink);
  return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const String& Dir) {
  if (Dir.empty()) throw EInOutError(L"Unable to create directory");
  String D = ExcludeTrailingPathDelimiter(Dir);
  if (D.size() < 3 || DirectoryExists(D) || ExtractFilePath(D) == D) return true;
  String Drive = ExtractFileDrive(D);
  if (!Drive.empty() && SameFileName(D, Drive)) return true;  // a drive or a share: nothing to make
  String Parent = ExtractFilePath(D);
  if (!Parent.empty() && !ForceDirectories(Parent)) return false;
  // Another process may have made it in the meantime.
  return CreateDir(D) || DirectoryExists(D);
}

bool CreateDir(const String& Dir) { return CreateDirectoryW(Dir.c_str(), nullptr) != 0; }
bool RemoveDir(const String& Dir) { return RemoveDirectoryW(Dir.c_str()) != 0; }
bool DeleteFile(const String& FileName) { return DeleteFileW(FileName.c_str()) != 0; }
bool RenameFile(const String& OldName, const String& NewName) { return MoveFileW(OldName.c_str(), NewName.c_str()) != 0; }
bool CopyFile(const String& ExistingName, const String& NewName, bool FailIfExists) {
  return CopyFileW(ExistingName.c_str(), NewName.c_str(), FailIfExists) != 0;
}

Integer FileGetAttr(const String& FileName, bool FollowLink) {
  DWORD A = Attributes(FileName, FollowLink);
  return A == INVALID_FILE_ATTRIBUTES ? -1 : Integer(A);
}

Integer FileSetAttr(const String& FileName, Integer Attr, bool /*FollowLink*/) {
  return SetFileAttributesW(FileName.c_str(), DWORD(Attr)) ? 0 : Integer(GetLastError());
}

bool FileAge(const String& FileName, TDateTime& FileDateTime, bool FollowLink) {
  WIN32_FILE_ATTRIBUTE_DATA D;
  if (FollowLink && (Attributes(FileName, true) == INVALID_FILE_ATTRIBUTES)) return false;
  if (!GetFileAttributesExW(FileName.c_str(), GetFileExInfoStandard, &D)) return false;
  FileDateTime = FileTimeToLocalDateTime(D.ftLastWriteTime, nullptr);
  return true;
}

Int64 FileSize(const String& FileName) {
  WIN32_FILE_ATTRIBUTE_DATA D;
  if (!GetFileAttributesExW(FileName.c_str(), GetFileExInfoStandard, &D)) return -1;
  return (Int64(D.nFileSizeHigh) << 32) | D.nFileSizeLow;
}

String GetCurrentDir() {
  DWORD N = GetCurrentDirectoryW(0, nullptr);
  String R(N, L'\0');
  N = GetCurrentDirectoryW(N, R.data());
  R.resize(N);
  return R;
}

bool SetCurrentDir(const String& Dir) { return SetCurrentDirectoryW(Dir.c_str()) != 0; }

String ExpandFileName(const String& FileName) {
  if (FileName.empty()) return String();
  DWORD N = GetFullPathNameW(FileName.c_str(), 0, nullptr, nullptr);
  if (N == 0) return FileName;
  String R(N, L'\0');
  N = GetFullPathNameW(FileName.c_str(), N, R.data(), nullptr);
  R.resize(N);
  return R;
}

String GetEnvironmentVariable(const String& Name) {
  DWORD N = GetEnvironmentVariableW(Name.c_str(), nullptr, 0);
  if (N == 0) return String();
  String R(N, L'\0');
  N = GetEnvironmentVariableW(Name.c_str(), R.data(), N);
  R.resize(N);
  return R;
}

// ---- Enumeration ------------------------------------------------------------------------------

Integer FindFirst(const String& Path, Integer Attr, TSearchRec& F) {
  const Integer Special = faHidden | faSysFile | faDirectory;
  F.ExcludeAttr = ~Attr & Special;
  WIN32_FIND_DATAW D;
  HANDLE H = FindFirstFileW(Path.c_str(), &D);
  if (H == INVALID_HANDLE_VALUE) {
    F.FindHandle = 0;
    return Integer(GetLastError());
  }
  F.FindHandle = reinterpret_cast<NativeUInt>(H);
  while (!Matches(D, F.ExcludeAttr)) {
    if (!FindNextFileW(H, &D)) {
      Integer Err = Integer(GetLastError());
      FindClose(F);
      return Err == ERROR_NO_MORE_FILES ? ERROR_FILE_NOT_FOUND : Err;
    }
  }
  Fill(F, D);
  return 0;
}

Integer FindNext(TSearchRec& F) {
  if (!F.FindHandle) return ERROR_INVALID_HANDLE;
  WIN32_FIND_DATAW D;
  do {
    if (!FindNextFileW(reinterpret_cast<HANDLE>(F.FindHandle), &D)) return Integer(GetLastError());
  } while (!Matches(D, F.ExcludeAttr));
  Fill(F, D);
  return 0;
}

void FindClose(TSearchRec& F) {
  if (F.FindHandle) ::FindClose(reinterpret_cast<HANDLE>(F.FindHandle));
  F.FindHandle = 0;
}

// ---- File names -------------------------------------------------------------------------------

String ExtractFilePath(const String& FileName) {
  return Copy(FileName, 1, LastDelimiter(L"\\:", FileName));
}

String ExtractFileDir(const String& FileName) {
  Integer I = LastDelimiter(L"\\:", FileName);
  // Keep the delimiter of a root ("C:\") and of a bare drive ("C:").
  if (I > 1 && FileName[size_t(I - 1)] == PathDelim && !IsDelimiter(L"\\:", FileName, I - 1)) --I;
  return Copy(FileName, 1, I);
}

String ExtractFileName(const String& FileName) {
  return Copy(FileName, LastDelimiter(L"\\:", FileName) + 1);
}

String ExtractFileExt(const String& FileName) {
  Integer I = LastDelimiter(L".\\:", FileName);
  if (I > 0 && FileName[size_t(I - 1)] == L'.') return Copy(FileName, I);
  return String();
}

String ExtractFileDrive(const String& FileName) {
  if (FileName.size() >= 2 && FileName[1] == DriveDelim) return FileName.substr(0, 2);
  if (FileName.size() >= 2 && IsPathDelim(FileName[0]) && IsPathDelim(FileName[1])) {
    // \\server\share
    size_t I = 2;
    int Parts = 0;
    while (I < FileName.size()) {
      if (IsPathDelim(FileName[I]) && ++Parts == 2) break;
      ++I;
    }
    return Parts >= 1 ? FileName.substr(0, I) : String();
  }
  return String();
}

String ChangeFileExt(const String& FileName, const String& Extension) {
  Integer I = LastDelimiter(L".\\:", FileName);
  if (I == 0 || FileName[size_t(I - 1)] != L'.') I = Length(FileName) + 1;
  return Copy(FileName, 1, I - 1) + Extension;
}

Integer AnsiCompareFileName(const String& S1, const String& S2) {
  int R = CompareStringOrdinal(S1.data(), Length(S1), S2.data(), Length(S2), TRUE);
  return R == 0 ? CompareStr(S1, S2) : R - CSTR_EQUAL;
}

bool SameFileName(const String& S1, const String& S2) { return AnsiCompareFileName(S1, S2) == 0; }

String IncludeTrailingPathDelimiter(const String& S) {
  if (!S.empty() && S.back() == PathDelim) return S;
  return S + PathDelim;
}

String ExcludeTrailingPathDelimiter(const String& S) {
  if (!S.empty() && S.back() == PathDelim) return S.substr(0, S.size() - 1);
  return S;
}
