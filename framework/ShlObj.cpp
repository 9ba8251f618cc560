#include "framework/ShlObj.h"

#include "framework/ComObj.h"
#include "framework/WinShell.h"

namespace {

// Joins the thread to COM for one call when nobody has (a thread joined already stays as it was).
struct TComScope {
  bool Joined;
  TComScope() : Joined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComScope() {
    if (Joined) CoUninitialize();
  }
};

template <class T>
struct TComRef {
  T* P = nullptr;
  ~TComRef() {
    if (P) P->Release();
  }
  T* operator->() const { return P; }
};

void NewShellLink(TComRef<IShellLinkW>& Link, TComRef<IPersistFile>& File) {
  OleCheck(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                            reinterpret_cast<void**>(&Link.P)));
  OleCheck(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File.P)));
}

}  // namespace

String GetSpecialFolderPath(Integer Csidl) {
  wchar_t Path[MAX_PATH + 1] = {};
  if (FAILED(SHGetFolderPathW(nullptr, Csidl, nullptr, SHGFP_TYPE_CURRENT, Path))) return String();
  return Path;
}

void SaveShellLink(const TShellLink& Link, const String& LinkFile) {
  TComScope Com;
  TComRef<IShellLinkW> Shell;
  TComRef<IPersistFile> File;
  NewShellLink(Shell, File);
  OleCheck(Shell->SetArguments(Link.Arguments.c_str()));
  OleCheck(Shell->SetDescription(Link.Description.c_str()));
  OleCheck(Shell->SetPath(Link.Path.c_str()));
  if (!Link.WorkingDirectory.empty()) OleCheck(Shell->SetWorkingDirectory(Link.WorkingDirectory.c_str()));
  // Saved as a copy: the link object does not take LinkFile as its current file.
  OleCheck(File->Save(LinkFile.c_str(), FALSE));
}

TShellLink LoadShellLink(const String& LinkFile) {
  TComScope Com;
  TComRef<IShellLinkW> Shell;
  TComRef<IPersistFile> File;
  NewShellLink(Shell, File);
  OleCheck(File->Load(LinkFile.c_str(), STGM_READ));
  TShellLink Link;
  wchar_t Buffer[INFOTIPSIZE + 1] = {};
  if (SUCCEEDED(Shell->GetPath(Buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) Link.Path = Buffer;
  Buffer[0] = 0;
  if (SUCCEEDED(Shell->GetArguments(Buffer, INFOTIPSIZE))) Link.Arguments = Buffer;
  Buffer[0] = 0;
  if (SUCCEEDED(Shell->GetDescription(Buffer, INFOTIPSIZE))) Link.Description = Buffer;
  Buffer[0] = 0;
  if (SUCCEEDED(Shell->GetWorkingDirectory(Buffer, MAX_PATH))) Link.WorkingDirectory = Buffer;
  return Link;
}
