#include "framework/Dialogs.h"

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Printers.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

// ---- Building the message and input forms --------------------------------------------------------

// Layout in pixels.
constexpr Integer Margin = 12;
constexpr Integer IconGap = 12;       // between the icon and the text
constexpr Integer TextGap = 16;       // between the text (or the edit) and the buttons
constexpr Integer ButtonGap = 6;      // between buttons
constexpr Integer ButtonHeight = 25;
constexpr Integer MinButtonWidth = 75;
constexpr Integer IconSize = 32;

struct TButtonKind {
  const wchar_t* Name;
  const wchar_t* Caption;
  const wchar_t* TurkishCaption;
  TModalResult Result;
};

// In TMsgDlgBtn's order; the Turkish texts are the ones Windows itself shows in Turkish.
const TButtonKind ButtonKinds[] = {
    {L"Yes", L"&Yes", L"&Evet", mrYes},
    {L"No", L"&No", L"&Hayır", mrNo},
    {L"OK", L"OK", L"Tamam", mrOk},
    {L"Cancel", L"Cancel", L"İptal", mrCancel},
    {L"Abort", L"&Abort", L"&Durdur", mrAbort},
    {L"Retry", L"&Retry", L"&Yeniden Dene", mrRetry},
    {L"Ignore", L"&Ignore", L"&Yoksay", mrIgnore},
    {L"All", L"&All", L"&Tümü", mrAll},
    {L"NoToAll", L"N&o to All", L"Tümüne H&ayır", mrNoToAll},
    {L"YesToAll", L"Yes to &All", L"Tümüne E&vet", mrYesToAll},
    {L"Help", L"&Help", L"&Yardım", mrNone},
    {L"Close", L"&Close", L"&Kapat", mrClose},
};

// The dialogs speak the user's display language as the system's own boxes do: Turkish for a
// Turkish user, English for everyone else.
bool DialogsSpeakTurkish() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_TURKISH; }

const wchar_t* DialogsCaptionOf(const TButtonKind& Kind) {
  return DialogsSpeakTurkish() ? Kind.TurkishCaption : Kind.Caption;
}

// A dialog button whose window id is its modal result, so that the button can be found by what
// it answers (the help button, which answers nothing, by mrHelp).
class TDialogButton : public TButton {
  DECLARE_CLASS(TDialogButton, TButton)
 public:
  using TButton::TButton;

 protected:
  void CreateWnd() override {
    inherited::CreateWnd();
    TModalResult Id = GetModalResult() != mrNone ? GetModalResult() : mrHelp;
    SetWindowLongPtrW(FHandle, GWLP_ID, LONG_PTR(Id));
  }
};

// The message form: its close box and Escape answer the cancel button's result, and it has no
// close box when no button cancels.
class TMessageForm : public TForm {
  DECLARE_CLASS(TMessageForm, TForm)
 public:
  using TForm::TForm;
  TButton* CancelButton = nullptr;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_CLOSE && GetFormState().Contains(fsModal)) {
      if (CancelButton) SetModalResult(CancelButton->GetModalResult());
      return;
    }
    inherited::WndProc(Message);
  }
};

// Measures text in a font with DrawText's rules.
class TTextMeasure {
 public:
  explicit TTextMeasure(TFont* Font) : FDC(CreateCompatibleDC(nullptr)) {
    if (FDC) FOld = SelectObject(FDC, Font->GetHandle());
  }
  ~TTextMeasure() {
    if (!FDC) return;
    SelectObject(FDC, FOld);
    DeleteDC(FDC);
  }
  TTextMeasure(const TTextMeasure&) = delete;
  TTextMeasure& operator=(const TTextMeasure&) = delete;

  TSize Measure(const String& Text, UINT Flags, Integer MaxWidth) {
    RECT R{0, 0, MaxWidth, 0};
    if (FDC && !Text.empty()) DrawTextW(FDC, Text.c_str(), Integer(Text.size()), &R, Flags | DT_CALCRECT);
    return TSize{R.right - R.left, R.bottom - R.top};
  }

 private:
  HDC FDC;
  HGDIOBJ FOld = nullptr;
};

constexpr UINT MessageTextFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;

// The widest text line a dialog shows before wrapping.
Integer MaxTextWidth() {
  Integer W = Screen ? Screen->GetWidth() / 2 : 0;
  return W > 0 ? std::max(W, 240) : 480;
}

TDialogButton* AddButton(TForm* Form, const TButtonKind& Kind, TTextMeasure& Measure) {
  auto* B = new TDialogButton(Form);
  B->SetName(Kind.Name);
  const wchar_t* Caption = DialogsCaptionOf(Kind);
  B->SetCaption(Caption);
  B->SetModalResult(Kind.Result);
  B->SetParent(Form);
  Integer W = std::max(MinButtonWidth, Integer(Measure.Measure(Caption, DT_SINGLELINE, 0).cx) + 24);
  B->SetBounds(0, 0, W, ButtonHeight);
  return B;
}

const wchar_t* IconOf(TMsgDlgType DlgType) {
  switch (DlgType) {
    case mtWarning: return IDI_WARNING;
    case mtError: return IDI_ERROR;
    case mtInformation: return IDI_INFORMATION;
    case mtConfirmation: return IDI_QUESTION;
    default: return nullptr;
  }
}

std::unique_ptr<TForm> NewDialogForm(const String& Caption) {
  std::unique_ptr<TForm> Form(TComponent::Create<TMessageForm>(Application, 0));
  Form->SetBorderStyle(bsDialog);
  Form->SetPosition(poScreenCenter);
  Form->SetCaption(Caption);
  return Form;
}

// The window a system dialog belongs to: the active form, else the application window.
HWND DialogOwner() {
  if (Screen)
    if (TCustomForm* Form = Screen->GetActiveForm())
      if (Form->HandleAllocated() && IsWindowVisible(Form->GetHandle())) return Form->GetHandle();
  DWORD Pid = 0;
  HWND Active = GetActiveWindow();
  if (Active && GetWindowThreadProcessId(Active, &Pid) && Pid == GetCurrentProcessId()) return Active;
  return Application ? Application->GetHandle() : nullptr;
}

Integer ShowAndFree(TForm* Form) {
  std::unique_ptr<TForm> Holder(Form);
  return Form->ShowModal();
}

}  // namespace

String MsgDlgButtonCaption(TMsgDlgBtn Button) { return DialogsCaptionOf(ButtonKinds[Button]); }
TModalResult MsgDlgButtonResult(TMsgDlgBtn Button) { return ButtonKinds[Button].Result; }

String MsgDlgTypeCaption(TMsgDlgType DlgType) {
  if (DialogsSpeakTurkish()) switch (DlgType) {
      case mtWarning: return L"Uyarı";
      case mtError: return L"Hata";
      case mtInformation: return L"Bilgi";
      case mtConfirmation: return L"Onay";
      default: break;
    }
  switch (DlgType) {
    case mtWarning: return L"Warning";
    case mtError: return L"Error";
    case mtInformation: return L"Information";
    case mtConfirmation: return L"Confirm";
    default: return Application ? Application->GetTitle() : String();
  }
}

TForm* CreateMessageDialog(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, TMsgDlgBtn DefaultButton) {
  std::unique_ptr<TForm> Form = NewDialogForm(MsgDlgTypeCaption(DlgType));
  auto* MessageForm = static_cast<TMessageForm*>(Form.get());
  TTextMeasure Measure(Form->GetFont());

  Integer IconWidth = 0;
  if (const wchar_t* IconId = IconOf(DlgType)) {
    auto* Image = new TImage(Form.get());
    Image->SetName(L"Image");
    Image->SetParent(Form.get());
    Image->SetBounds(Margin, Margin, IconSize, IconSize);
    if (HICON Shared = LoadIconW(nullptr, IconId)) Image->GetPicture()->GetIcon()->SetHandle(CopyIcon(Shared));
    IconWidth = IconSize + IconGap;
  }

  TSize Text = Measure.Measure(Msg, MessageTextFlags, MaxTextWidth());
  auto* Label = new TLabel(Form.get());
  Label->SetName(L"Message");
  Label->SetParent(Form.get());
  Label->SetAutoSize(false);
  Label->SetShowAccelChar(false);
  Label->SetWordWrap(true);
  Label->SetCaption(Msg);

  std::vector<TDialogButton*> Made;
  for (Integer I = 0; I <= Integer(mbClose); ++I)
    if (Buttons.Contains(TMsgDlgBtn(I))) Made.push_back(AddButton(Form.get(), ButtonKinds[I], Measure));
  if (Made.empty()) Made.push_back(AddButton(Form.get(), ButtonKinds[mbOK], Measure));

  auto Find = [&](TMsgDlgBtn B) -> TDialogButton* {
    for (TDialogButton* D : Made)
      if (D->GetName() == ButtonKinds[B].Name) return D;
    return nullptr;
  };
  TDialogButton* Default = Find(DefaultButton);
  if (!Default) Default = Find(mbOK);
  if (!Default) Default = Find(mbYes);
  if (!Default) Default = Made.front();
  Default->SetDefault(true);
  TDialogButton* Cancel = Find(mbCancel);
  if (!Cancel) Cancel = Find(mbNo);
  if (!Cancel) Cancel = Find(mbClose);
  if (!Cancel && Made.size() == 1) Cancel = Made.front();
  if (Cancel) Cancel->SetCancel(true);
  MessageForm->CancelButton = Cancel;
  Form->SetBorderIcons(Cancel ? TBorderIcons{biSystemMenu} : TBorderIcons{});

  Integer ButtonsWidth = 0;
  for (TDialogButton* B : Made) ButtonsWidth += B->GetWidth() + (ButtonsWidth ? ButtonGap : 0);
  Integer BodyHeight = std::max(Integer(Text.cy), IconWidth ? IconSize : 0);
  Integer ClientWidth = std::max(IconWidth + Integer(Text.cx), ButtonsWidth) + 2 * Margin;
  Integer ButtonTop = Margin + BodyHeight + TextGap;
  Form->SetClientWidth(ClientWidth);
  Form->SetClientHeight(ButtonTop + ButtonHeight + Margin);
  Label->SetBounds(Margin + IconWidth, Margin + (BodyHeight - Text.cy) / 2, Text.cx, Text.cy);
  Integer X = (ClientWidth - ButtonsWidth) / 2;
  for (TDialogButton* B : Made) {
    B->SetBounds(X, ButtonTop, B->GetWidth(), ButtonHeight);
    X += B->GetWidth() + ButtonGap;
  }
  Form->SetActiveControl(Default);
  return Form.release();
}

TForm* CreateMessageDialog(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  return CreateMessageDialog(Msg, DlgType, Buttons, mbOK);
}

Integer MessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, LongInt HelpCtx) {
  return MessageDlgPos(Msg, DlgType, Buttons, HelpCtx, -1, -1);
}

Integer MessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, LongInt HelpCtx,
                   TMsgDlgBtn DefaultButton) {
  (void)HelpCtx;
  return ShowAndFree(CreateMessageDialog(Msg, DlgType, Buttons, DefaultButton));
}

Integer MessageDlgPos(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, LongInt HelpCtx, Integer X,
                      Integer Y) {
  (void)HelpCtx;
  TForm* Form = CreateMessageDialog(Msg, DlgType, Buttons);
  std::unique_ptr<TForm> Holder(Form);
  if (X >= 0 || Y >= 0) {
    TRect Work = Screen ? Screen->GetWorkAreaRect() : TRect(0, 0, 0, 0);
    if (X < 0) X = Work.Left + (Work.Width() - Form->GetWidth()) / 2;
    if (Y < 0) Y = Work.Top + (Work.Height() - Form->GetHeight()) / 2;
    Form->SetPosition(poDesigned);
    Form->SetBounds(X, Y, Form->GetWidth(), Form->GetHeight());
  }
  return Form->ShowModal();
}

void ShowMessage(const String& Msg) { MessageDlg(Msg, mtCustom, {mbOK}); }

bool InputQuery(const String& ACaption, const String& APrompt, String& Value) {
  std::unique_ptr<TForm> Form = NewDialogForm(ACaption);
  Form->SetBorderIcons({biSystemMenu});
  TTextMeasure Measure(Form->GetFont());
  TSize Text = Measure.Measure(APrompt, MessageTextFlags, MaxTextWidth());
  Integer Width = std::max(260, Integer(Text.cx));

  auto* Prompt = new TLabel(Form.get());
  Prompt->SetName(L"Prompt");
  Prompt->SetParent(Form.get());
  Prompt->SetAutoSize(false);
  Prompt->SetShowAccelChar(false);
  Prompt->SetWordWrap(true);
  Prompt->SetCaption(APrompt);
  Prompt->SetBounds(Margin, Margin, Text.cx, Text.cy);

  auto* Edit = new TEdit(Form.get());
  Edit->SetName(L"Value");
  Edit->SetParent(Form.get());
  Integer EditTop = Margin + Text.cy + (Text.cy ? 6 : 0);
  Edit->SetBounds(Margin, EditTop, Width, 21);
  Edit->SetText(Value);

  TDialogButton* Ok = AddButton(Form.get(), ButtonKinds[mbOK], Measure);
  TDialogButton* Cancel = AddButton(Form.get(), ButtonKinds[mbCancel], Measure);
  Ok->SetDefault(true);
  Cancel->SetCancel(true);
  static_cast<TMessageForm*>(Form.get())->CancelButton = Cancel;
  Integer ButtonTop = EditTop + 21 + TextGap;
  Integer Right = Margin + Width;
  Cancel->SetBounds(Right - Cancel->GetWidth(), ButtonTop, Cancel->GetWidth(), ButtonHeight);
  Ok->SetBounds(Cancel->GetLeft() - ButtonGap - Ok->GetWidth(), ButtonTop, Ok->GetWidth(), ButtonHeight);
  Form->SetClientWidth(Width + 2 * Margin);
  Form->SetClientHeight(ButtonTop + ButtonHeight + Margin);
  Form->SetActiveControl(Edit);

  if (Form->ShowModal() != mrOk) return false;
  Value = Edit->GetText();
  return true;
}

String InputBox(const String& ACaption, const String& APrompt, const String& ADefault) {
  String Value = ADefault;
  InputQuery(ACaption, APrompt, Value);
  return Value;
}

// ---- Folder browser -----------------------------------------------------------------------------

namespace {

int CALLBACK BrowseCallback(HWND Wnd, UINT Msg, LPARAM, LPARAM Data) {
  if (Msg == BFFM_INITIALIZED) {
    const auto* Start = reinterpret_cast<const String*>(Data);
    if (!Start->empty()) SendMessageW(Wnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(Start->c_str()));
  }
  return 0;
}

struct TCoTaskPtr {
  void* P = nullptr;
  ~TCoTaskPtr() { CoTaskMemFree(P); }
};

// Keeps COM initialised on this thread while the shell needs it.
struct TComScope {
  HRESULT Hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~TComScope() {
    if (SUCCEEDED(Hr)) CoUninitialize();
  }
};

}  // namespace

bool SelectDirectory(const String& Caption, const String& Root, String& Directory) {
  TComScope Com;
  TCoTaskPtr RootList;
  if (!Root.empty()) {
    PIDLIST_ABSOLUTE L = nullptr;
    if (SUCCEEDED(SHParseDisplayName(Root.c_str(), nullptr, &L, 0, nullptr))) RootList.P = L;
  }
  wchar_t DisplayName[MAX_PATH] = {};
  const String Start = Directory;
  BROWSEINFOW Info{};
  Info.hwndOwner = DialogOwner();
  Info.pidlRoot = static_cast<PCIDLIST_ABSOLUTE>(RootList.P);
  Info.pszDisplayName = DisplayName;
  Info.lpszTitle = Caption.c_str();
  Info.ulFlags = BIF_RETURNONLYFSDIRS;
  Info.lpfn = BrowseCallback;
  Info.lParam = reinterpret_cast<LPARAM>(&Start);
  TCoTaskPtr Chosen;
  Chosen.P = SHBrowseForFolderW(&Info);
  if (!Chosen.P) return false;
  wchar_t Path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(Chosen.P), Path)) return false;
  Directory = Path;
  return true;
}

// ---- Common dialogs -----------------------------------------------------------------------------

PUBLISHED_DEF(TCommonDialog) {
  PROP(Ctl3D).Default(true);
  PROP(HelpContext).Default(0);
}

HWND TCommonDialog::OwnerWindow() { return DialogOwner(); }

void TCommonDialog::CheckDialogError(const wchar_t* What, unsigned long Error) {
  if (Error) throw Exception(Format(L"The %s dialog could not be shown (error 0x%x)", {What, Integer(Error)}));
}

namespace {

struct TOptionFlag {
  TOpenOption Option;
  DWORD Flag;
};

const TOptionFlag OpenFlags[] = {
    {ofReadOnly, OFN_READONLY},
    {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
    {ofHideReadOnly, OFN_HIDEREADONLY},
    {ofNoChangeDir, OFN_NOCHANGEDIR},
    {ofShowHelp, OFN_SHOWHELP},
    {ofNoValidate, OFN_NOVALIDATE},
    {ofAllowMultiSelect, OFN_ALLOWMULTISELECT},
    {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
    {ofPathMustExist, OFN_PATHMUSTEXIST},
    {ofFileMustExist, OFN_FILEMUSTEXIST},
    {ofCreatePrompt, OFN_CREATEPROMPT},
    {ofShareAware, OFN_SHAREAWARE},
    {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
    {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
    {ofNoNetworkButton, OFN_NONETWORKBUTTON},
    {ofNoLongNames, OFN_NOLONGNAMES},
    {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
    {ofEnableIncludeNotify, OFN_ENABLEINCLUDENOTIFY},
    {ofEnableSizing, OFN_ENABLESIZING},
    {ofDontAddToRecent, OFN_DONTADDTORECENT},
    {ofForceShowHidden, OFN_FORCESHOWHIDDEN},
};

// "Text|*.txt|All|*.*" as the system wants it: each part ended by a null, the list by another.
// A description without its mask is left out.
String FilterList(const String& Filter) {
  std::vector<String> Parts;
  size_t Start = 0;
  for (;;) {
    size_t Bar = Filter.find(L'|', Start);
    Parts.push_back(Filter.substr(Start, Bar == String::npos ? String::npos : Bar - Start));
    if (Bar == String::npos) break;
    Start = Bar + 1;
  }
  if (Parts.size() % 2) Parts.pop_back();
  String List;
  for (const String& P : Parts) List += P + L'\0';
  if (!List.empty()) List += L'\0';
  return List;
}

}  // namespace

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner), FFiles(std::make_unique<TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

PUBLISHED_DEF(TOpenDialog) {
  PROP(DefaultExt);
  PROP(FileName);
  PROP(Filter);
  PROP(FilterIndex).Default(1);
  PROP(InitialDir);
  PROP(Options).Default(TOpenOptions{ofHideReadOnly, ofEnableSizing});
  PROP(Title);
}

bool TOpenDialog::Execute() { return DoExecute(false); }
bool TSaveDialog::Execute() { return DoExecute(true); }

bool TOpenDialog::DoExecute(bool Save) {
  const String Filters = FilterList(FFilter);
  const String Title = FTitle.empty() ? DefaultTitle() : FTitle;
  // Room for many names when several may be chosen, and for long paths otherwise.
  std::vector<wchar_t> Buffer(std::max<size_t>(FFileName.size() + 1, FOptions.Contains(ofAllowMultiSelect) ? 65536 : 32768));
  OPENFILENAMEW Ofn{};
  Ofn.lStructSize = sizeof(Ofn);
  Ofn.hwndOwner = OwnerWindow();
  Ofn.lpstrFilter = Filters.empty() ? nullptr : Filters.c_str();
  Ofn.nFilterIndex = DWORD(std::max(FFilterIndex, 0));
  Ofn.lpstrFile = Buffer.data();
  Ofn.nMaxFile = DWORD(Buffer.size());
  Ofn.lpstrInitialDir = FInitialDir.empty() ? nullptr : FInitialDir.c_str();
  Ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  Ofn.lpstrDefExt = FDefaultExt.empty() ? nullptr : FDefaultExt.c_str();
  Ofn.Flags = FOptions.Contains(ofOldStyleDialog) ? 0 : OFN_EXPLORER;
  for (const TOptionFlag& F : OpenFlags)
    if (FOptions.Contains(F.Option)) Ofn.Flags |= F.Flag;
  Ofn.Flags &= ~DWORD(OFN_EXTENSIONDIFFERENT);

  FFiles->Clear();
  auto Run = [&] { return Save ? GetSaveFileNameW(&Ofn) : GetOpenFileNameW(&Ofn); };
  std::copy(FFileName.begin(), FFileName.end(), Buffer.begin());
  BOOL Ok = Run();
  if (!Ok && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
    // The starting name is not a valid file name: start without it.
    Buffer.assign(Buffer.size(), L'\0');
    Ok = Run();
  }
  if (!Ok) {
    CheckDialogError(Save ? L"save" : L"open", CommDlgExtendedError());
    return false;
  }

  const wchar_t* First = Buffer.data();
  const wchar_t* Next = First + wcslen(First) + 1;
  if (FOptions.Contains(ofAllowMultiSelect) && !FOptions.Contains(ofOldStyleDialog) && *Next) {
    // A folder followed by the names chosen in it.
    String Dir = First;
    if (!Dir.empty() && Dir.back() != L'\\') Dir += L'\\';
    for (; *Next; Next += wcslen(Next) + 1) FFiles->Add(Dir + Next);
  } else {
    FFiles->Add(First);
  }
  FFileName = (*FFiles)[0];
  FFilterIndex = Integer(Ofn.nFilterIndex);
  if (Ofn.Flags & OFN_READONLY) FOptions << ofReadOnly;
  else FOptions >> ofReadOnly;
  if (Ofn.Flags & OFN_EXTENSIONDIFFERENT) FOptions << ofExtensionDifferent;
  else FOptions >> ofExtensionDifferent;
  return true;
}

// ---- Font dialog --------------------------------------------------------------------------------

TFontDialog::TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner), FFont(std::make_unique<TFont>()) {}
TFontDialog::~TFontDialog() = default;

PUBLISHED_DEF(TFontDialog) {
  PROP(Font);
  PROP(Device).Default(fdScreen);
  PROP(MinFontSize).Default(0);
  PROP(MaxFontSize).Default(0);
  PROP(Options).Default(TFontDialogOptions{fdEffects});
}

void TFontDialog::SetFont(TFont* Value) { FFont->Assign(Value); }

bool TFontDialog::Execute() {
  static const DWORD Flags[] = {CF_SCRIPTSONLY,   CF_TTONLY,        CF_EFFECTS,       CF_FIXEDPITCHONLY,
                                CF_FORCEFONTEXIST, CF_NOFACESEL,    CF_NOOEMFONTS,    CF_NOSIMULATIONS,
                                CF_NOSIZESEL,     CF_NOSTYLESEL,    CF_NOVECTORFONTS, CF_SHOWHELP,
                                CF_WYSIWYG,       CF_LIMITSIZE,     CF_SCALABLEONLY,  CF_APPLY};
  static const DWORD Devices[] = {CF_SCREENFONTS, CF_PRINTERFONTS, CF_BOTH};
  LOGFONTW Log{};
  GetObjectW(FFont->GetHandle(), sizeof(Log), &Log);
  CHOOSEFONTW Choose{};
  Choose.lStructSize = sizeof(Choose);
  Choose.hwndOwner = OwnerWindow();
  Choose.lpLogFont = &Log;
  Choose.rgbColors = ColorToRGB(FFont->GetColor());
  Choose.Flags = CF_INITTOLOGFONTSTRUCT | Devices[FDevice];
  for (Integer I = 0; I <= Integer(fdApplyButton); ++I)
    if (FOptions.Contains(TFontDialogOption(I))) Choose.Flags |= Flags[I];
  if (FDevice != fdScreen) Choose.hDC = Printer()->GetHandle();
  if (FOptions.Contains(fdLimitSize)) {
    Choose.nSizeMin = FMinFontSize;
    Choose.nSizeMax = FMaxFontSize;
  }
  if (!ChooseFontW(&Choose)) {
    CheckDialogError(L"font", CommDlgExtendedError());
    return false;
  }
  HFONT Chosen = CreateFontIndirectW(&Log);
  FFont->SetHandle(Chosen);
  DeleteObject(Chosen);
  if (FOptions.Contains(fdEffects)) FFont->SetColor(TColor(Choose.rgbColors));
  return true;
}

// ---- Print dialog -------------------------------------------------------------------------------

namespace {

struct TGlobal {
  HGLOBAL H = nullptr;
  ~TGlobal() {
    if (H) GlobalFree(H);
  }
};

HGLOBAL MakeDevNames(const String& Device, const String& Driver, const String& Port) {
  size_t Chars = Driver.size() + Device.size() + Port.size() + 3;
  HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVNAMES) + Chars * sizeof(wchar_t));
  if (!H) throw EOutOfMemory(L"Out of memory");
  auto* Names = static_cast<DEVNAMES*>(GlobalLock(H));
  auto* Text = reinterpret_cast<wchar_t*>(Names + 1);
  WORD Offset = sizeof(DEVNAMES) / sizeof(wchar_t);
  auto Put = [&](const String& S) {
    WORD At = Offset;
    std::copy(S.begin(), S.end(), Text + (Offset - sizeof(DEVNAMES) / sizeof(wchar_t)));
    Offset = WORD(Offset + S.size() + 1);
    return At;
  };
  Names->wDriverOffset = Put(Driver);
  Names->wDeviceOffset = Put(Device);
  Names->wOutputOffset = Put(Port);
  GlobalUnlock(H);
  return H;
}

}  // namespace

PUBLISHED_DEF(TPrintDialog) {
  PROP(Collate).Default(false);
  PROP(Copies).Default(0);
  PROP(FromPage).Default(0);
  PROP(MinPage).Default(0);
  PROP(MaxPage).Default(0);
  PROP(Options).Default(TPrintDialogOptions{});
  PROP(PrintToFile).Default(false);
  PROP(PrintRange).Default(prAllPages);
  PROP(ToPage).Default(0);
}

bool TPrintDialog::Execute() {
  TPrinter* P = Printer();
  String Device, Driver, Port;
  TGlobal Mode, Names;
  P->GetPrinter(Device, Driver, Port, Mode.H);  // raises EPrinter when no printer is installed
  Names.H = MakeDevNames(Device, Driver, Port);

  PRINTDLGW Dlg{};
  Dlg.lStructSize = sizeof(Dlg);
  Dlg.hwndOwner = OwnerWindow();
  Dlg.hDevMode = Mode.H;
  Dlg.hDevNames = Names.H;
  Dlg.Flags = FPrintRange == prSelection ? PD_SELECTION : FPrintRange == prPageNums ? PD_PAGENUMS : PD_ALLPAGES;
  if (FCollate) Dlg.Flags |= PD_COLLATE;
  if (FPrintToFile) Dlg.Flags |= PD_PRINTTOFILE;
  if (!FOptions.Contains(poPrintToFile)) Dlg.Flags |= PD_HIDEPRINTTOFILE;
  if (FOptions.Contains(poDisablePrintToFile)) Dlg.Flags |= PD_DISABLEPRINTTOFILE;
  if (!FOptions.Contains(poPageNums)) Dlg.Flags |= PD_NOPAGENUMS;
  if (!FOptions.Contains(poSelection)) Dlg.Flags |= PD_NOSELECTION;
  if (!FOptions.Contains(poWarning)) Dlg.Flags |= PD_NOWARNING;
  if (FOptions.Contains(poHelp)) Dlg.Flags |= PD_SHOWHELP;
  Dlg.nCopies = WORD(std::max(FCopies, 1));
  Dlg.nFromPage = WORD(FFromPage);
  Dlg.nToPage = WORD(FToPage);
  Dlg.nMinPage = WORD(FMinPage);
  Dlg.nMaxPage = WORD(FMaxPage);
  BOOL Ok = PrintDlgW(&Dlg);
  // The dialog may have replaced either handle.
  Mode.H = Dlg.hDevMode;
  Names.H = Dlg.hDevNames;
  if (!Ok) {
    CheckDialogError(L"print", CommDlgExtendedError());
    return false;
  }

  if (Names.H) {
    auto* N = static_cast<DEVNAMES*>(GlobalLock(Names.H));
    auto* Base = reinterpret_cast<const wchar_t*>(N);
    Device = Base + N->wDeviceOffset;
    Driver = Base + N->wDriverOffset;
    Port = Base + N->wOutputOffset;
    GlobalUnlock(Names.H);
  }
  Integer Copies = Dlg.nCopies;
  bool Collate = (Dlg.Flags & PD_COLLATE) != 0;
  if (Mode.H) {
    if (auto* M = static_cast<DEVMODEW*>(GlobalLock(Mode.H))) {
      if ((M->dmFields & DM_COPIES) && M->dmCopies > Copies) Copies = M->dmCopies;
      if ((M->dmFields & DM_COLLATE) && M->dmCollate == DMCOLLATE_TRUE) Collate = true;
      GlobalUnlock(Mode.H);
    }
  }
  P->SetPrinter(Device, Driver, Port, Mode.H);
  FCopies = Copies;
  FCollate = Collate;
  FPrintToFile = (Dlg.Flags & PD_PRINTTOFILE) != 0;
  FPrintRange = (Dlg.Flags & PD_SELECTION) ? prSelection : (Dlg.Flags & PD_PAGENUMS) ? prPageNums : prAllPages;
  FFromPage = Dlg.nFromPage;
  FToPage = Dlg.nToPage;
  return true;
}

void RegisterDialogs() {
  RegisterClasses({TOpenDialog::StaticClass(), TSaveDialog::StaticClass(), TFontDialog::StaticClass(),
                   TPrintDialog::StaticClass()});
}
