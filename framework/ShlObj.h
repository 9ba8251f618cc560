#pragma once
// ShlObj: the shell's special folders and shell links (.lnk files).

#include "framework/System.h"

// The path of the special folder Csidl (CSIDL_DESKTOPDIRECTORY, CSIDL_SYSTEMX86... from the
// shell's headers), at most 260 characters; empty when the system has no such folder.
String GetSpecialFolderPath(Integer Csidl);

// What a shell link holds.
struct TShellLink {
  String Path;  // the target
  String Arguments;
  String Description;
  String WorkingDirectory;
};

// Writes Link to LinkFile through the shell's link object (IShellLinkW, saved by its
// IPersistFile), replacing the file. Raises EOleSysError with the system's text.
void SaveShellLink(const TShellLink& Link, const String& LinkFile);
// Reads a shell link back; raises EOleSysError when LinkFile is none.
TShellLink LoadShellLink(const String& LinkFile);
