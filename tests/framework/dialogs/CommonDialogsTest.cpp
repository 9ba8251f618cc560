#include <gtest/gtest.h>

#include <memory>

#include <dlgs.h>

#include "framework/Classes.h"
#include "framework/Dialogs.h"
#include "framework/ExtDlgs.h"
#include "framework/Graphics.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"
#include "framework/classes/ObjectText.h"
#include "framework/dialogs/DialogDriver.h"

using namespace dlgtest;

namespace {

// A folder of its own with a few files, removed at the end. The file dialogs make the folder
// chosen in them the current one, which is put back first.
struct TTempFolder {
  String Path;
  std::vector<String> Files;
  wchar_t Current[MAX_PATH] = {};
  TTempFolder() {
    GetCurrentDirectoryW(MAX_PATH, Current);
    wchar_t Temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, Temp);
    Path = String(Temp) + L"qal_dialogs_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(Path.c_str(), nullptr);
  }
  String Add(const String& Name) {
    String F = Path + L"\\" + Name;
    HANDLE H = CreateFileW(F.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(H);
    Files.push_back(F);
    return F;
  }
  ~TTempFolder() {
    SetCurrentDirectoryW(Current);
    for (const String& F : Files) DeleteFileW(F.c_str());
    RemoveDirectoryW(Path.c_str());
  }
};

// The file-name box of the open and save dialogs: an edit, or the edit inside a combo box.
HWND FileNameEdit(HWND Dlg) {
  for (int Id : {cmb13, edt1}) {
    HWND W = GetDlgItem(Dlg, Id);
    if (!W) continue;
    wchar_t Class[32] = {};
    GetClassNameW(W, Class, 32);
    if (_wcsicmp(Class, L"Edit") == 0) return W;
    HWND Edit = nullptr;
    EnumChildWindows(
        W,
        [](HWND C, LPARAM Data) -> BOOL {
          wchar_t Name[32] = {};
          GetClassNameW(C, Name, 32);
          if (_wcsicmp(Name, L"Edit") != 0) return TRUE;
          *reinterpret_cast<HWND*>(Data) = C;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&Edit));
    if (Edit) return Edit;
  }
  return nullptr;
}

// Steps that type Text into the file-name box of the dialog when it shows, then press Enter.
std::vector<TDialogDriver::TStep> EnterFileName(const String& Text, String* Title = nullptr) {
  auto Edit = std::make_shared<HWND>(nullptr);
  return {[Edit, Text, Title] {
            HWND Dlg = FindSystemDialog();
            if (!Dlg || !(*Edit = FileNameEdit(Dlg))) return false;
            if (Title) *Title = WindowText(Dlg);
            SetWindowTextW(*Edit, Text.c_str());
            return true;
          },
          [Edit] {
            PostKey(*Edit, VK_RETURN);
            return true;
          }};
}

std::vector<TDialogDriver::TStep> CancelDialog() {
  return {[] {
    HWND Dlg = FindSystemDialog();
    if (!Dlg) return false;
    PostMessageW(Dlg, WM_COMMAND, IDCANCEL, 0);
    return true;
  }};
}

String StreamText(TMemoryStream& Binary) {
  TMemoryStream Text;
  Binary.SetPosition(0);
  ObjectBinaryToText(&Binary, &Text);
  return UTF8ToString(std::string(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize())));
}

TEST(DialogComponents, ReadFromAFormStreamAndWrittenAgain) {
  RegisterDialogs();
  RegisterExtDialogs();
  const std::string Source =
      "object frmHost: TForm\n"
      "  object dlgOpen: TOpenDialog\n"
      "    DefaultExt = 'txt'\n"
      "    Filter = 'Metin|*.txt|T'#252'm'#252'|*.*'\n"
      "    FilterIndex = 2\n"
      "    Options = [ofOverwritePrompt, ofHideReadOnly, ofEnableSizing]\n"
      "    Title = 'A'#231\n"
      "  end\n"
      "  object dlgPicture: TSavePictureDialog\n"
      "    Filter = 'PNG|*.png'\n"
      "  end\n"
      "  object dlgFont: TFontDialog\n"
      "    Font.Color = clRed\n"
      "    Font.Height = -16\n"
      "    Font.Name = 'Tahoma'\n"
      "    Font.Style = [fsBold]\n"
      "    Options = [fdEffects, fdLimitSize]\n"
      "    MaxFontSize = 20\n"
      "  end\n"
      "  object dlgPrint: TPrintDialog\n"
      "    Options = [poPageNums]\n"
      "    PrintRange = prPageNums\n"
      "    ToPage = 3\n"
      "  end\n"
      "end\n";
  TMemoryStream Text, Binary;
  Text.WriteBuffer(Source.data(), Integer(Source.size()));
  Text.SetPosition(0);
  ObjectTextToBinary(&Text, &Binary);
  std::unique_ptr<TForm> Form(TComponent::Create<TForm>(nullptr, 0));
  Binary.SetPosition(0);
  Binary.ReadComponent(Form.get());

  auto* Open = dynamic_cast<TOpenDialog*>(Form->FindComponent(L"dlgOpen"));
  ASSERT_NE(Open, nullptr);
  EXPECT_EQ(Open->GetFilter(), L"Metin|*.txt|Tümü|*.*");
  EXPECT_EQ(Open->GetFilterIndex(), 2);
  EXPECT_EQ(Open->GetOptions(), (TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing}));
  EXPECT_EQ(Open->GetTitle(), L"Aç");
  auto* Font = dynamic_cast<TFontDialog*>(Form->FindComponent(L"dlgFont"));
  ASSERT_NE(Font, nullptr);
  EXPECT_EQ(Font->GetFont()->GetHeight(), -16);
  EXPECT_EQ(Font->GetFont()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(Font->GetMaxFontSize(), 20);
  auto* Print = dynamic_cast<TPrintDialog*>(Form->FindComponent(L"dlgPrint"));
  ASSERT_NE(Print, nullptr);
  EXPECT_EQ(Print->GetPrintRange(), prPageNums);
  EXPECT_EQ(Print->GetToPage(), 3);
  EXPECT_NE(dynamic_cast<TSavePictureDialog*>(Form->FindComponent(L"dlgPicture")), nullptr);

  // Written and read into another form, it writes the same again.
  TMemoryStream Written, Again;
  Written.WriteComponent(Form.get());
  std::unique_ptr<TForm> Copy(TComponent::Create<TForm>(nullptr, 0));
  Written.SetPosition(0);
  Written.ReadComponent(Copy.get());
  Again.WriteComponent(Copy.get());
  String Out = StreamText(Written);
  EXPECT_EQ(StreamText(Again), Out);
  EXPECT_NE(Out.find(L"Options = [ofOverwritePrompt, ofHideReadOnly, ofEnableSizing]"), String::npos) << Out;
}

TEST(OpenDialog, DrivenByPostedInputReturnsTheChosenFile) {
  TTempFolder Folder;
  String Wanted = Folder.Add(L"kurulum.txt");
  Folder.Add(L"diğer.log");
  std::unique_ptr<TOpenDialog> D(new TOpenDialog(nullptr));
  D->SetFilter(L"Metin dosyaları (*.txt)|*.txt|Tüm dosyalar|*.*");
  D->SetFilterIndex(2);
  D->SetInitialDir(Folder.Path);
  D->SetOptions(D->GetOptions() + TOpenOptions{ofFileMustExist});
  D->SetTitle(L"Dosya Seçiniz");
  String Title;
  TDialogDriver Driver(EnterFileName(L"kurulum.txt", &Title));
  ASSERT_TRUE(D->Execute());
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(Title, L"Dosya Seçiniz");
  EXPECT_TRUE(SameFileName(D->GetFileName(), Wanted)) << D->GetFileName();
  ASSERT_EQ(D->GetFiles()->GetCount(), 1);
  EXPECT_EQ((*D->GetFiles())[0], D->GetFileName());
  EXPECT_EQ(D->GetFilterIndex(), 2);
}

TEST(OpenDialog, MultiSelectListsEveryChosenFile) {
  TTempFolder Folder;
  String A = Folder.Add(L"a.txt"), B = Folder.Add(L"b.txt");
  std::unique_ptr<TOpenDialog> D(new TOpenDialog(nullptr));
  D->SetInitialDir(Folder.Path);
  D->SetOptions(D->GetOptions() + TOpenOptions{ofAllowMultiSelect});
  TDialogDriver Driver(EnterFileName(L"\"a.txt\" \"b.txt\""));
  ASSERT_TRUE(D->Execute());
  ASSERT_EQ(D->GetFiles()->GetCount(), 2);
  EXPECT_TRUE(SameFileName((*D->GetFiles())[0], A)) << (*D->GetFiles())[0];
  EXPECT_TRUE(SameFileName((*D->GetFiles())[1], B)) << (*D->GetFiles())[1];
  EXPECT_EQ(D->GetFileName(), (*D->GetFiles())[0]);
}

TEST(OpenDialog, CancelledAnswersFalseAndKeepsTheFileName) {
  std::unique_ptr<TOpenDialog> D(new TOpenDialog(nullptr));
  D->SetFileName(L"C:\\eski.txt");
  TDialogDriver Driver(CancelDialog());
  EXPECT_FALSE(D->Execute());
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(D->GetFileName(), L"C:\\eski.txt");
  EXPECT_EQ(D->GetFiles()->GetCount(), 0);
}

TEST(SaveDialog, AddsTheDefaultExtension) {
  TTempFolder Folder;
  std::unique_ptr<TSaveDialog> D(new TSaveDialog(nullptr));
  D->SetInitialDir(Folder.Path);
  D->SetDefaultExt(L"txt");
  D->SetFilter(L"Metin|*.txt");
  TDialogDriver Driver(EnterFileName(L"rapor"));
  ASSERT_TRUE(D->Execute());
  EXPECT_TRUE(SameFileName(D->GetFileName(), Folder.Path + L"\\rapor.txt")) << D->GetFileName();
}

TEST(PictureDialogs, OfferTheRegisteredGraphicFormatsUnderTheirTitles) {
  std::unique_ptr<TOpenPictureDialog> Open(new TOpenPictureDialog(nullptr));
  std::unique_ptr<TSavePictureDialog> Save(new TSavePictureDialog(nullptr));
  EXPECT_EQ(Open->GetFilter(), GraphicFilter(TGraphic::StaticClass()));
  EXPECT_NE(Open->GetFilter().find(L"*.bmp"), String::npos);
  struct Case {
    TOpenDialog* Dialog;
    String Title;
  };
  for (const Case& C : {Case{Open.get(), L"Load Picture"}, Case{Save.get(), L"Save Picture As"}}) {
    String Title;
    TDialogDriver Driver({[&Title] {
      HWND Dlg = FindSystemDialog();
      if (!Dlg) return false;
      Title = WindowText(Dlg);
      PostMessageW(Dlg, WM_COMMAND, IDCANCEL, 0);
      return true;
    }});
    EXPECT_FALSE(C.Dialog->Execute());
    EXPECT_EQ(Title, C.Title);
  }
}

TEST(FontDialog, ChosenFaceAndSizeAreWrittenBackToTheFont) {
  std::unique_ptr<TFontDialog> D(new TFontDialog(nullptr));
  D->GetFont()->SetSize(9);
  D->GetFont()->SetColor(clRed);
  String Face;
  TDialogDriver Driver({[&Face] {
                          // A face the dialog offers (which depends on the fonts installed).
                          HWND Dlg = FindSystemDialog();
                          HWND Faces = Dlg ? GetDlgItem(Dlg, cmb1) : nullptr;
                          if (!Faces || SendMessageW(Faces, CB_GETCOUNT, 0, 0) <= 0) return false;
                          Integer Last = Integer(SendMessageW(Faces, CB_GETCOUNT, 0, 0)) - 1;
                          wchar_t Name[LF_FACESIZE] = {};
                          SendMessageW(Faces, CB_GETLBTEXT, Last, LPARAM(Name));
                          Face = Name;
                          SendMessageW(Faces, CB_SETCURSEL, Last, 0);
                          SendMessageW(Dlg, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), LPARAM(Faces));
                          return true;
                        },
                        [] {
                          // The sizes of the new face are listed now.
                          HWND Dlg = FindSystemDialog();
                          HWND Sizes = GetDlgItem(Dlg, cmb3);
                          LRESULT At = SendMessageW(Sizes, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(L"14"));
                          if (At < 0) return false;
                          SendMessageW(Sizes, CB_SETCURSEL, WPARAM(At), 0);
                          SendMessageW(Dlg, WM_COMMAND, MAKEWPARAM(cmb3, CBN_SELCHANGE), LPARAM(Sizes));
                          return true;
                        },
                        [] {
                          PostMessageW(FindSystemDialog(), WM_COMMAND, IDOK, 0);
                          return true;
                        }});
  ASSERT_TRUE(D->Execute());
  EXPECT_EQ(D->GetFont()->GetName(), Face);
  EXPECT_EQ(D->GetFont()->GetSize(), 14);
  EXPECT_EQ(D->GetFont()->GetColor(), clRed);
}

// ---- Folder browser -------------------------------------------------------------------------------

TEST(SelectDirectory, CancelledAnswersFalseAndLeavesTheDirectory) {
  String Caption;
  TDialogDriver Driver({[&Caption] {
    HWND Dlg = FindSystemDialog();
    if (!Dlg) return false;
    // The caption stands in the dialog as a static text.
    EnumChildWindows(
        Dlg,
        [](HWND W, LPARAM Data) -> BOOL {
          if (WindowText(W) == L"Klasör Seçiniz:") *reinterpret_cast<String*>(Data) = WindowText(W);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&Caption));
    PostKey(GetFocus(), VK_ESCAPE);
    return true;
  }});
  String Dir = L"C:\\Zelkor";
  EXPECT_FALSE(SelectDirectory(L"Klasör Seçiniz:", L"", Dir));
  EXPECT_TRUE(Driver.Finished());
  EXPECT_EQ(Dir, L"C:\\Zelkor");
  EXPECT_EQ(Caption, L"Klasör Seçiniz:");
}

// The folder tree of the browse dialog.
HWND FolderTree(HWND Dlg) {
  HWND Tree = nullptr;
  EnumChildWindows(
      Dlg,
      [](HWND W, LPARAM Data) -> BOOL {
        wchar_t Class[32] = {};
        GetClassNameW(W, Class, 32);
        if (wcscmp(Class, WC_TREEVIEWW) != 0) return TRUE;
        *reinterpret_cast<HWND*>(Data) = W;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&Tree));
  return Tree;
}

String ItemText(HWND Tree, HTREEITEM Item) {
  wchar_t Text[MAX_PATH] = {};
  TVITEMW TV{};
  TV.mask = TVIF_TEXT;
  TV.hItem = Item;
  TV.pszText = Text;
  TV.cchTextMax = MAX_PATH;
  SendMessageW(Tree, TVM_GETITEMW, 0, LPARAM(&TV));
  return Text;
}

HTREEITEM SelectedItem(HWND Tree) { return HTREEITEM(SendMessageW(Tree, TVM_GETNEXTITEM, TVGN_CARET, 0)); }

// The dialog starts at Directory, but under load Wine's folder tree at times ends up with no
// selection at all once shown, and in a new Wine prefix a selection by path stops at the drive.
// The test chooses the folder as the user would: the drive first, then each folder below it
// opened and clicked in turn; then it confirms.
TEST(SelectDirectory, ConfirmedAnswersTheChosenFolder) {
  TTempFolder Folder;
  const String Path = Folder.Path;
  const String Drive = Path.substr(0, 3);
  std::vector<String> Below;  // the folders under the drive, outermost first
  for (size_t I = 3; I < Path.size();) {
    size_t J = Path.find(L'\\', I);
    if (J == String::npos) J = Path.size();
    Below.push_back(Path.substr(I, J - I));
    I = J + 1;
  }
  size_t Depth = 0;  // the folders of Below already chosen
  String Seen = L"(no dialog)";
  TDialogDriver Driver({[&] {
    HWND Dlg = FindSystemDialog();
    HWND Tree = Dlg ? FolderTree(Dlg) : nullptr;
    if (!Tree || !SelectedItem(Tree)) return false;
    if (Depth == 0 && ItemText(Tree, SelectedItem(Tree)).find(Drive.substr(0, 2)) == String::npos) {
      SendMessageW(Dlg, BFFM_SETSELECTIONW, TRUE, LPARAM(Drive.c_str()));
      return false;
    }
    HTREEITEM Item = SelectedItem(Tree);
    Seen = ItemText(Tree, Item);
    if (Depth == Below.size()) {
      PostKey(GetFocus(), VK_RETURN);
      return true;
    }
    SendMessageW(Tree, TVM_EXPAND, TVE_EXPAND, LPARAM(Item));
    for (auto C = HTREEITEM(SendMessageW(Tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(Item))); C;
         C = HTREEITEM(SendMessageW(Tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(C)))) {
      if (SameFileName(ItemText(Tree, C), Below[Depth])) {
        SendMessageW(Tree, TVM_SELECTITEM, TVGN_CARET, LPARAM(C));
        ++Depth;
        break;
      }
    }
    return false;
  }});
  String Dir = L"C:\\";
  ASSERT_TRUE(SelectDirectory(L"Klasör Seçiniz:", L"", Dir))
      << "selected: " << UTF8Encode(Seen) << ", wanted: " << UTF8Encode(Path);
  EXPECT_TRUE(SameFileName(Dir, Folder.Path)) << Dir;
}

}  // namespace
