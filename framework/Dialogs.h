#pragma once
// Dialogs: the message dialog and the input query, built in code as framework forms; the
// system's open, save, font and print dialogs as components (Execute shows them modally and
// answers whether the user confirmed); and the shell's folder browser.

#include "framework/classes/Component.h"
#include "framework/controls/ControlTypes.h"

#include <memory>

class TForm;
class TFont;
class TStrings;

// ---- Message dialogs ----------------------------------------------------------------------------

DECLARE_ENUM(TMsgDlgType, mtWarning, mtError, mtInformation, mtConfirmation, mtCustom)
DECLARE_ENUM(TMsgDlgBtn, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll,
             mbHelp, mbClose)
using TMsgDlgButtons = Set<TMsgDlgBtn, 16>;

inline const TMsgDlgButtons mbYesNo{mbYes, mbNo};
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};
inline const TMsgDlgButtons mbAbortIgnore{mbAbort, mbIgnore};

// The caption of a button ("&Yes", "N&o to All"...), the modal result it closes the dialog
// with (mrNone for Help, which does not close it), and the window caption of a dialog type
// ("Warning"...; the application's title for mtCustom). Captions are Turkish ("&Evet", "Uyarı"...)
// when the user's display language is Turkish, English otherwise.
String MsgDlgButtonCaption(TMsgDlgBtn Button);
TModalResult MsgDlgButtonResult(TMsgDlgBtn Button);
String MsgDlgTypeCaption(TMsgDlgType DlgType);

// A message form, not yet shown, owned by the application; the caller shows it modally and
// frees it. Its buttons are named after their kind without "mb" ("Yes", "OK"...), their window
// ids are their modal results, and they stand in the enumeration's order. The default button
// (Enter) is DefaultButton, else OK, else Yes, else the first one; the cancel button (Escape and
// the close box) is Cancel, else No, else Close, else the only button.
TForm* CreateMessageDialog(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
TForm* CreateMessageDialog(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           TMsgDlgBtn DefaultButton);
// Shows the message modally, centred on the screen, and answers the modal result.
Integer MessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, LongInt HelpCtx = 0);
Integer MessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, LongInt HelpCtx,
                   TMsgDlgBtn DefaultButton);
// The same with the dialog's top left corner at X, Y in screen pixels (-1 centres that way).
Integer MessageDlgPos(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, LongInt HelpCtx, Integer X,
                      Integer Y);
// A plain message with an OK button, captioned with the application's title.
void ShowMessage(const String& Msg);

// A one-line question: true, with Value the typed text, when the user confirms with OK; false
// and Value unchanged when cancelled. InputBox answers ADefault when cancelled.
bool InputQuery(const String& ACaption, const String& APrompt, String& Value);
String InputBox(const String& ACaption, const String& APrompt, const String& ADefault);

// The shell's folder browser with Caption above the tree, rooted at Root (the desktop when
// empty) and starting at Directory. True, with Directory the chosen folder, when confirmed; a
// cancel leaves Directory as it was.
bool SelectDirectory(const String& Caption, const String& Root, String& Directory);

// ---- Common dialogs -----------------------------------------------------------------------------

class TCommonDialog : public TComponent {
  DECLARE_CLASS(TCommonDialog, TComponent)
 public:
  using TComponent::TComponent;
  // Shows the dialog modally over the active form; true when the user confirmed it.
  virtual bool Execute() = 0;

  bool GetCtl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value) { FCtl3D = Value; }
  Integer GetHelpContext() const { return FHelpContext; }
  void SetHelpContext(Integer Value) { FHelpContext = Value; }

  PUBLISHED_DECL(TCommonDialog);

 protected:
  // The window the system dialog belongs to: the active form, else the application window.
  static HWND OwnerWindow();
  // Raises when the system dialog failed rather than being cancelled (Error is its extended
  // error code, 0 for a cancel).
  static void CheckDialogError(const wchar_t* What, unsigned long Error);

 private:
  bool FCtl3D = true;
  Integer FHelpContext = 0;
};

DECLARE_ENUM(TOpenOption, ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate,
             ofAllowMultiSelect, ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt,
             ofShareAware, ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames,
             ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent,
             ofForceShowHidden)
using TOpenOptions = Set<TOpenOption, 32>;

// The system's open-file dialog. Filter is "description|mask|description|mask..."; FilterIndex
// counts from 1. After a confirmed Execute, FileName is the chosen file with its full path,
// Files every chosen file (several with ofAllowMultiSelect), FilterIndex the filter in use,
// ofReadOnly whether the read-only box was ticked and ofExtensionDifferent whether the file's
// extension differs from DefaultExt.
class TOpenDialog : public TCommonDialog {
  DECLARE_CLASS(TOpenDialog, TCommonDialog)
 public:
  explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;
  bool Execute() override;

  String GetDefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const String& Value) { FDefaultExt = Value; }
  String GetFileName() const { return FFileName; }
  void SetFileName(const String& Value) { FFileName = Value; }
  TStrings* GetFiles() const { return FFiles.get(); }
  String GetFilter() const { return FFilter; }
  void SetFilter(const String& Value) { FFilter = Value; }
  Integer GetFilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(Integer Value) { FFilterIndex = Value; }
  String GetInitialDir() const { return FInitialDir; }
  void SetInitialDir(const String& Value) { FInitialDir = Value; }
  TOpenOptions GetOptions() const { return FOptions; }
  void SetOptions(TOpenOptions Value) { FOptions = Value; }
  String GetTitle() const { return FTitle; }
  void SetTitle(const String& Value) { FTitle = Value; }

  PUBLISHED_DECL(TOpenDialog);

 protected:
  // The title shown when Title is empty (empty: the system's own).
  virtual String DefaultTitle() const { return String(); }
  bool DoExecute(bool Save);

 private:
  String FDefaultExt;
  String FFileName;
  std::unique_ptr<TStrings> FFiles;
  String FFilter;
  Integer FFilterIndex = 1;
  String FInitialDir;
  TOpenOptions FOptions{ofHideReadOnly, ofEnableSizing};
  String FTitle;
};

class TSaveDialog : public TOpenDialog {
  DECLARE_CLASS(TSaveDialog, TOpenDialog)
 public:
  using TOpenDialog::TOpenDialog;
  bool Execute() override;
};

DECLARE_ENUM(TFontDialogDevice, fdScreen, fdPrinter, fdBoth)
DECLARE_ENUM(TFontDialogOption, fdAnsiOnly, fdTrueTypeOnly, fdEffects, fdFixedPitchOnly, fdForceFontExist,
             fdNoFaceSel, fdNoOEMFonts, fdNoSimulations, fdNoSizeSel, fdNoStyleSel, fdNoVectorFonts, fdShowHelp,
             fdWysiwyg, fdLimitSize, fdScalableOnly, fdApplyButton)
using TFontDialogOptions = Set<TFontDialogOption, 16>;

// The system's font dialog, starting at Font and writing the choice back to it (its colour too
// with fdEffects). MinFontSize/MaxFontSize limit the sizes offered with fdLimitSize.
class TFontDialog : public TCommonDialog {
  DECLARE_CLASS(TFontDialog, TCommonDialog)
 public:
  explicit TFontDialog(TComponent* AOwner);
  ~TFontDialog() override;
  bool Execute() override;

  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* Value);
  TFontDialogDevice GetDevice() const { return FDevice; }
  void SetDevice(TFontDialogDevice Value) { FDevice = Value; }
  Integer GetMinFontSize() const { return FMinFontSize; }
  void SetMinFontSize(Integer Value) { FMinFontSize = Value; }
  Integer GetMaxFontSize() const { return FMaxFontSize; }
  void SetMaxFontSize(Integer Value) { FMaxFontSize = Value; }
  TFontDialogOptions GetOptions() const { return FOptions; }
  void SetOptions(TFontDialogOptions Value) { FOptions = Value; }

  PUBLISHED_DECL(TFontDialog);

 private:
  std::unique_ptr<TFont> FFont;
  TFontDialogDevice FDevice = fdScreen;
  Integer FMinFontSize = 0;
  Integer FMaxFontSize = 0;
  TFontDialogOptions FOptions{fdEffects};
};

DECLARE_ENUM(TPrintRange, prAllPages, prSelection, prPageNums)
DECLARE_ENUM(TPrintDialogOption, poPrintToFile, poPageNums, poSelection, poWarning, poHelp, poDisablePrintToFile)
using TPrintDialogOptions = Set<TPrintDialogOption, 8>;

// The system's print dialog over the current printer (Printer()); a confirmed Execute makes
// the chosen printer, with its settings, the current one and reads back the copies, range and
// pages. With no printer installed Execute raises EPrinter.
class TPrintDialog : public TCommonDialog {
  DECLARE_CLASS(TPrintDialog, TCommonDialog)
 public:
  using TCommonDialog::TCommonDialog;
  bool Execute() override;

  bool GetCollate() const { return FCollate; }
  void SetCollate(bool Value) { FCollate = Value; }
  Integer GetCopies() const { return FCopies; }
  void SetCopies(Integer Value) { FCopies = Value; }
  Integer GetFromPage() const { return FFromPage; }
  void SetFromPage(Integer Value) { FFromPage = Value; }
  Integer GetToPage() const { return FToPage; }
  void SetToPage(Integer Value) { FToPage = Value; }
  Integer GetMinPage() const { return FMinPage; }
  void SetMinPage(Integer Value) { FMinPage = Value; }
  Integer GetMaxPage() const { return FMaxPage; }
  void SetMaxPage(Integer Value) { FMaxPage = Value; }
  TPrintDialogOptions GetOptions() const { return FOptions; }
  void SetOptions(TPrintDialogOptions Value) { FOptions = Value; }
  bool GetPrintToFile() const { return FPrintToFile; }
  void SetPrintToFile(bool Value) { FPrintToFile = Value; }
  TPrintRange GetPrintRange() const { return FPrintRange; }
  void SetPrintRange(TPrintRange Value) { FPrintRange = Value; }

  PUBLISHED_DECL(TPrintDialog);

 private:
  bool FCollate = false;
  Integer FCopies = 0;
  Integer FFromPage = 0;
  Integer FToPage = 0;
  Integer FMinPage = 0;
  Integer FMaxPage = 0;
  TPrintDialogOptions FOptions;
  bool FPrintToFile = false;
  TPrintRange FPrintRange = prAllPages;
};

// Registers the dialog components for form streams.
void RegisterDialogs();
