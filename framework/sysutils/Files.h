#pragma once
// SysUtils file routines: existence tests, folders, deleting, renaming and copying, directory
// enumeration with FindFirst/FindNext/FindClose, and file-name parsing. Names may hold any
// Unicode text; paths use '\' but '/' is accepted where the system accepts it.

#include "framework/sysutils/FormatSettings.h"

// ---- Attributes -------------------------------------------------------------------------------

inline constexpr Integer faReadOnly = 0x00000001;
inline constexpr Integer faHidden = 0x00000002;
inline constexpr Integer faSysFile = 0x00000004;
inline constexpr Integer faVolumeID = 0x00000008;
inline constexpr Integer faDirectory = 0x00000010;
inline constexpr Integer faArchive = 0x00000020;
inline constexpr Integer faNormal = 0x00000080;
inline constexpr Integer faTemporary = 0x00000100;
inline constexpr Integer faSymLink = 0x00000400;
inline constexpr Integer faReparsePoint = 0x00000400;
inline constexpr Integer faCompressed = 0x00000800;
inline constexpr Integer faEncrypted = 0x00004000;
inline constexpr Integer faVirtual = 0x00010000;
inline constexpr Integer faAnyFile = 0x000001FF;

inline constexpr Char PathDelim = L'\\';
inline constexpr Char DriveDelim = L':';
inline constexpr Char PathSep = L';';

// ---- Existence, folders, files ----------------------------------------------------------------

// A file (not a folder) exists at FileName.
bool FileExists(const String& FileName, bool FollowLink = true);
bool DirectoryExists(const String& Directory, bool FollowLink = true);
// Creates Dir and every missing parent; true when Dir exists afterwards. Raises
// EInOutError "Unable to create directory" for an empty name.
bool ForceDirectories(const String& Dir);
bool CreateDir(const String& Dir);
// Removes an empty folder.
bool RemoveDir(const String& Dir);
bool DeleteFile(const String& FileName);
// Moves or renames; fails when NewName exists.
bool RenameFile(const String& OldName, const String& NewName);
// Copies a file; with FailIfExists false an existing NewName is overwritten.
bool CopyFile(const String& ExistingName, const String& NewName, bool FailIfExists);

// Attributes as fa* bits, -1 when the file does not exist.
Integer FileGetAttr(const String& FileName, bool FollowLink = true);
// 0 on success, else the system error code.
Integer FileSetAttr(const String& FileName, Integer Attr, bool FollowLink = true);
// Last write time in local time; false when the file does not exist.
bool FileAge(const String& FileName, TDateTime& FileDateTime, bool FollowLink = true);
// Size in bytes, -1 when the file does not exist.
Int64 FileSize(const String& FileName);

String GetCurrentDir();
bool SetCurrentDir(const String& Dir);
// The full path of FileName, relative to the current folder; "..\" and ".\" resolved.
String ExpandFileName(const String& FileName);
// The value of an environment variable, empty when unset.
String GetEnvironmentVariable(const String& Name);

// ---- Enumeration ------------------------------------------------------------------------------

struct TSearchRec {
  Integer Time = 0;       // last write time, DOS packed, local time
  Int64 Size = 0;
  Integer Attr = 0;       // fa* bits
  String Name;            // name only, no folder
  Integer ExcludeAttr = 0;
  NativeUInt FindHandle = 0;
  TDateTime TimeStamp;    // last write time, local time
};

// Finds the first entry matching Path ("C:\dir\*.txt"). Attr lists the special attributes
// (faHidden, faSysFile, faDirectory) to include besides plain files; faAnyFile takes all.
// Returns 0 on success, else the system error code (ERROR_FILE_NOT_FOUND...). Call FindClose
// after a successful FindFirst.
Integer FindFirst(const String& Path, Integer Attr, TSearchRec& F);
Integer FindNext(TSearchRec& F);
void FindClose(TSearchRec& F);

// ---- File names -------------------------------------------------------------------------------

// The drive and folder part with its trailing '\': "C:\a\b.txt" -> "C:\a\".
String ExtractFilePath(const String& FileName);
// The same without the trailing '\' (kept for a root: "C:\").
String ExtractFileDir(const String& FileName);
// The part after the last '\' or ':' (the system's own delimiters; '/' is kept).
String ExtractFileName(const String& FileName);
// The extension with its dot, empty when none: "a.tar.gz" -> ".gz".
String ExtractFileExt(const String& FileName);
// "C:" or "\\server\share", empty when FileName has neither.
String ExtractFileDrive(const String& FileName);
String ChangeFileExt(const String& FileName, const String& Extension);
// File names and extensions compare as the file system does: ordinally, ignoring case by the
// system's own upper-case table, whatever the user's locale (under a Turkish locale "setup.ini"
// and "SETUP.INI" are still one file). Negative, zero or positive.
Integer AnsiCompareFileName(const String& S1, const String& S2);
bool SameFileName(const String& S1, const String& S2);
String IncludeTrailingPathDelimiter(const String& S);
String ExcludeTrailingPathDelimiter(const String& S);
inline String IncludeTrailingBackslash(const String& S) { return IncludeTrailingPathDelimiter(S); }
inline String ExcludeTrailingBackslash(const String& S) { return ExcludeTrailingPathDelimiter(S); }
