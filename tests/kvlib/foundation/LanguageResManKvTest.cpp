// The language constants as their own Turkish resource gives them, and the language manager:
// the list of languages, switching, and re-reading a component from an embedded resource, an
// external file and a damaged or hostile file.

#include "kvlib/foundation/LanguageResManKv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "framework/WinApi.h"
#include "kvlib/foundation/KvLibLangConsts.h"
#include "tests/framework/FuzzHarness.h"

// A component with two texts that counts the language notices it hears.
class TLangTestComponent : public TComponent, public ILanguageChangeConsumerKv {
  DECLARE_CLASS(TLangTestComponent, TComponent)
 public:
  using TComponent::TComponent;
  String GetCaption() const { return FCaption; }
  void SetCaption(const String& Value) { FCaption = Value; }
  String GetHint() const { return FHint; }
  void SetHint(const String& Value) { FHint = Value; }
  void LanguageResourceChanged() override { ++Notices; }
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  Integer Notices = 0;
  PUBLISHED_DECL(TLangTestComponent);

 private:
  String FCaption = L"İleri", FHint = L"Sonraki sayfa";
};

PUBLISHED_DEF(TLangTestComponent) {
  PROP(Caption);
  PROP(Hint);
}

namespace {

String Utf8(const std::string& S) { return UTF8ToString(S); }

struct TQuoted {
  const wchar_t* Prop;
  const char* Text;  // UTF-8, as the texts are written
};

TEST(KvLibLanguageConsts, TextsComeFromTheTurkishResourceByteForByte) {
  // The texts users see, exactly; the sort commands say which way they sort.
  const TQuoted Cases[] = {
      {L"Language", "Turkish"},
      {L"DuplicateVarNameKv", "Koleksiyonda '%s' adlı bir değişken zaten var"},
      {L"FieldNameNotFound", "Alan '%s' bulunamadı"},
      {L"UnsupportedFieldTypeKv", " %s alanında desteklenmeyen (%s) alan tipi bulundu"},
      {L"DeleteMultipleRecordsQuestionKv", "Seçilen %d kayıt silinsin mi ?"},
      {L"DeleteAllRecordsQuestionKv", "Tüm kayıtlat silinsin mi ?"},
      {L"PageOfPages", "Sayfa %d of %d"},
      {L"FindDialogStringNotFoundMessage", "\"%s\" metni bulunamadı."},
      {L"ClearSelectedCells", "Seçili hücreleri temizle?"},
      {L"ErrorDuringInsertValue", "Değer eklenirken hata oluştu:"},
      {L"IgnoreError", "Hata yoksayılsın mı?"},
      {L"InvalidTextFormat", "Yanlış metin biçimi"},
      {L"InvalidVCLDBIFFormat", "Yanlış VCLDBIF biçimi"},
      {L"QuoteIsAbsentKv", "Tek tırnak yok sayıldı: "},
      {L"LeftBracketExpectedKv", "'(' gerekli: "},
      {L"RightBracketExpectedKv", "')' gerekli: "},
      {L"ErrorInExpressionKv", "İfade de hata var:  "},
      {L"UnexpectedExpressionBeforeNullKv", " Null' den önce gereksz ifade : "},
      {L"UnexpectedExpressionAfterOperatorKv", "İşlemciden sonra gereksiz ifade var: "},
      {L"IncorrectExpressionKv", "Hatalı ifade : "},
      {L"UnexpectedANDorORKv", "Gereksiz AND veya OR: "},
      {L"STFilterListItem_Empties", "(Boş)"},
      {L"STFilterListItem_NotEmpties", "(Dolu)"},
      {L"STFilterListItem_All", "(Tümü)"},
      {L"STFilterListItem_ClearFilter", "(Filtreyi sıfırla)"},
      {L"STFilterListItem_SortingByAscend", "(Küçükten büyüğe)"},
      {L"STFilterListItem_SortingByDescend", "(Büyükten küçüğe)"},
      {L"STFilterListItem_CustomFilter", "(Özel...)"},
      {L"SearchPanelEditorPromptText", "Ara..."},
      {L"GroupingPanelText", "Gruplamak için bir sütun başlığını bu alana sürükleyiniz"},
      {L"NoDataKv", "<No Records>"},
      {L"GridLoadingModeTextKv", "Loading..."},
      {L"TodayKv", "Today"},
      {L"CalculatorError", "Error"},
      {L"FirstRecordKv", "İlk Kayıt"},
      {L"CancelEditKv", "Değişikliği İptal Et"},
      {L"ConfirmCaptionKv", "Onay"},
      {L"RefreshRecordKv", "Veriyi Tazele"},
      {L"SortingByThisColumnIsNotPossibleKv", "Bu sütuna göre sıralama yapılamıyor"},
      {L"GroupingByThisColumnIsNotPossibleKv", "Bu sütuna göre gruplama yapılamıyor"},
      {L"SimpFilter_does_not_equal", "eşit değil"},
      {L"SimpFilter_is_not_blank", "boş olmayanlar"},
      // Texts the family authors in Turkish for the properties whose text is not given.
      {L"DBGridKvFindDlg_FindWhat", "&Aranan:"},
      {L"DBGridKvSimpleFilterDialog_OneCharWildcardInfo", "Tek bir karakter yerine \"_\" kullanın"},
      {L"OKButtonKv", "Tamam"},
      {L"CancelButtonKv", "İptal"},
      {L"DBGridKvGroupingFooter_Empty", "(Empty)"},
      // Absent from the resource: the English defaults stay, and the memo window has no caption.
      {L"CustomizeColumnsDialog", "Customize columns ..."},
      {L"DBGridKvCustomizeColumnsDialog_Caption", "Columns setup"},
      {L"DBGridKvCustomizeColumnsDialog_EnterColumnWidthS", "Column width(s)"},
      {L"MemoEditWin_Caption", ""},
  };
  TKvLibLanguageConsts* C = KvLibLanguageConsts();
  for (const TQuoted& Q : Cases) EXPECT_EQ(GetStrProp(C, Q.Prop), Utf8(Q.Text)) << std::wstring(Q.Prop);
}

TEST(KvLibLanguageConsts, EveryTextButTheCaptionOfTheMemoWindowIsSet) {
  TKvLibLanguageConsts* C = KvLibLanguageConsts();
  std::vector<PPropInfo> Texts;
  for (PPropInfo P : GetPropList(C))
    if (P->DeclaringClass == TKvLibLanguageConsts::StaticClass()) Texts.push_back(P);
  ASSERT_EQ(Texts.size(), 270u);
  EXPECT_EQ(Texts.front()->Name, L"Language");
  EXPECT_EQ(Texts.back()->Name, L"DBGridKvCustomizeColumnsDialog_EnterColumnWidthS");
  for (PPropInfo P : Texts)
    if (P->Name != L"MemoEditWin_Caption") EXPECT_FALSE(GetStrProp(C, P->Name).empty()) << std::wstring(P->Name);
}

TEST(KvLibLanguageConsts, RegistersItselfOnceWithTheManager) {
  TKvLibLanguageConsts* C = KvLibLanguageConsts();
  RegisterKvLibLanguageConsts();
  TLanguageResourceManagerKv* M = LanguageResourceManager();
  Integer Found = 0;
  for (Integer I = 0; I < M->GetResObjectCount(); ++I) {
    TResObjectKv* R = M->GetResObject(I);
    if (R->RefResObject.Get() != C) continue;
    ++Found;
    EXPECT_EQ(R->ResourceName, L"TKvLibLanguageConsts");
    EXPECT_EQ(R->ExtResourceFileName, L"KvLibLangConsts");
    EXPECT_EQ(R->DefaultResourceLanguage, L"ENU");
  }
  EXPECT_EQ(Found, 1);
  // Nothing in the program sets a language: the constants keep their own resource's texts.
  EXPECT_TRUE(M->GetActiveLanguageAbbr().empty());
}

// A folder of its own under the temporary folder, removed with what it holds.
class TTempFolder {
 public:
  TTempFolder() {
    wchar_t Dir[MAX_PATH];
    GetTempPathW(MAX_PATH, Dir);
    FPath = String(Dir) + L"kvlang_" + IntToStr(Integer(GetCurrentProcessId())) + L"_" + IntToStr(++Counter);
    ForceDirectories(FPath);
  }
  ~TTempFolder() {
    for (const String& F : FFiles) DeleteFile(F);
    RemoveDir(FPath);
  }
  const String& Path() const { return FPath; }
  void Write(const String& Name, const std::string& Bytes) {
    const String FileName = FPath + L"\\" + Name;
    std::ofstream Out(FileName.c_str(), std::ios::binary);
    Out << Bytes;
    FFiles.push_back(FileName);
  }

 private:
  static inline Integer Counter = 0;
  String FPath;
  std::vector<String> FFiles;
};

// Collects what reaches the application's exception handler.
class TShownErrors {
 public:
  TShownErrors() {
    Application->SetOnException([this](TObject*, Exception* E) {
      Classes.push_back(E->ClassName());
      Messages.push_back(E->Message());
    });
  }
  ~TShownErrors() { Application->SetOnException(nullptr); }
  std::vector<String> Classes, Messages;
};

TEST(LanguageResourceManager, EmbeddedLanguagesAreTheResourcesNamedClassUnderscoreThreeLetters) {
  TLanguageResourceManagerKv M;
  M.SetResourcePlacement(lrpEmbeddedKv);
  M.LoadListOfAvailableLanguages(L"TLangTestComponent");
  // _ENGL has four letters and XTLANG... does not start with the prefix.
  ASSERT_EQ(M.GetLanguageList()->GetCount(), 2);
  EXPECT_GE(M.IndexOfLanguage(L"DEU"), 0);
  EXPECT_GE(M.IndexOfLanguage(L"ENU"), 0);
  EXPECT_EQ(M.IndexOfLanguage(L"deu"), -1);  // exact
  EXPECT_EQ(M.IndexOfLanguage(L"FRA"), -1);
}

TEST(LanguageResourceManager, SwitchingLanguageRereadsEmbeddedResourceOverCurrentTexts) {
  TLanguageResourceManagerKv M;
  M.SetResourcePlacement(lrpEmbeddedKv);
  M.LoadListOfAvailableLanguages(L"TLangTestComponent");
  TLangTestComponent C(nullptr);
  M.AddLocalizableObject(&C, L"TLangTestComponent", L"LangTest", L"TRK");
  EXPECT_EQ(C.GetCaption(), L"İleri");  // no language set yet: nothing read

  M.SetActiveLanguageAbbr(L"DEU");
  EXPECT_EQ(C.GetCaption(), L"Weiter");
  EXPECT_EQ(C.GetHint(), Utf8("Zur nächsten Seite"));
  EXPECT_EQ(C.Notices, 1);

  // The ENU resource gives only the caption: the hint keeps what it had.
  M.SetActiveLanguageAbbr(L"ENU");
  EXPECT_EQ(C.GetCaption(), L"Next");
  EXPECT_EQ(C.GetHint(), Utf8("Zur nächsten Seite"));

  // A component registered while a language is set reads it at once.
  TLangTestComponent Late(nullptr);
  M.AddLocalizableObject(&Late, L"TLangTestComponent", L"LangTest", L"TRK");
  EXPECT_EQ(Late.GetCaption(), L"Next");
}

TEST(LanguageResourceManager, UnsupportedLanguageIsRefusedAndTheOldOneKept) {
  TLanguageResourceManagerKv M;
  M.SetResourcePlacement(lrpEmbeddedKv);
  M.LoadListOfAvailableLanguages(L"TLangTestComponent");
  M.SetActiveLanguageAbbr(L"ENU");
  try {
    M.SetActiveLanguageAbbr(L"TRK");
    FAIL() << "no exception";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), L"Language \"TRK\" is not supported");
  }
  EXPECT_EQ(M.GetActiveLanguageAbbr(), L"ENU");
  M.SetActiveLanguageAbbr(L"enu");  // the list is searched without case
  EXPECT_EQ(M.GetActiveLanguageAbbr(), L"enu");
}

TEST(LanguageResourceManager, ExternalFilesListOnlyLanguagesTheSystemKnows) {
  TTempFolder Dir;
  const std::string Body = "object LangTest: TLangTestComponent\r\n  Caption = 'Weiter'\r\nend\r\n";
  Dir.Write(L"LangTest.deu.dfm", Body);
  Dir.Write(L"LangTest.ENU.dfm", Body);
  Dir.Write(L"LangTest.QQQ.dfm", Body);  // no system language
  Dir.Write(L"LangTest.XX.dfm", Body);
  Dir.Write(L"LangTest.dfm", Body);
  TLanguageResourceManagerKv M;
  M.SetResourceFolderPath(Dir.Path());
  M.LoadListOfAvailableLanguages(L"LangTest");
  ASSERT_EQ(M.GetLanguageList()->GetCount(), 2);
  EXPECT_GE(M.IndexOfLanguage(L"DEU"), 0);
  EXPECT_GE(M.IndexOfLanguage(L"ENU"), 0);
}

TEST(LanguageResourceManager, ComponentIsRereadFromExternalTextFile) {
  TTempFolder Dir;
  Dir.Write(L"LangTest.DEU.dfm", "\xEF\xBB\xBF" "object LangTest: TLangTestComponent\r\n  Hint = 'Zur n\xC3\xA4" "chsten Seite'\r\nend\r\n");
  TLanguageResourceManagerKv M;
  M.SetResourceFolderPath(Dir.Path());
  M.LoadListOfAvailableLanguages(L"LangTest");
  TLangTestComponent C(nullptr);
  M.AddLocalizableObject(&C, L"TLangTestComponent", L"LangTest", L"TRK");
  M.AddChangeNotifyConsumer(&C, L"TRK");
  M.SetActiveLanguageAbbr(L"DEU");
  EXPECT_EQ(C.GetHint(), Utf8("Zur nächsten Seite"));
  EXPECT_EQ(C.GetCaption(), L"İleri");
  EXPECT_EQ(C.Notices, 1);  // as a consumer; the external read itself tells nobody
}

TEST(LanguageResourceManager, ComponentIsRereadFromExternalBinaryFile) {
  TLangTestComponent Source(nullptr);
  Source.SetName(L"LangTest");
  Source.SetCaption(L"Suivant");
  TMemoryStream M;
  M.WriteComponent(&Source);
  TTempFolder Dir;
  Dir.Write(L"LangTest.FRA.dfm", std::string(static_cast<const char*>(M.GetMemory()), size_t(M.GetSize())));
  TLanguageResourceManagerKv M2;
  M2.SetResourceFolderPath(Dir.Path());
  M2.LoadListOfAvailableLanguages(L"LangTest");
  TLangTestComponent C(nullptr);
  M2.AddLocalizableObject(&C, L"TLangTestComponent", L"LangTest", L"TRK");
  M2.SetActiveLanguageAbbr(L"FRA");
  EXPECT_EQ(C.GetCaption(), L"Suivant");
}

// A control that counts the setting-change messages it is sent.
class TSettingProbe : public TControl {
 public:
  using TControl::TControl;
  Integer Heard = 0;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_SETTINGCHANGE) ++Heard;
    TControl::WndProc(Message);
  }
};

TEST(LanguageResourceManager, ChangeReachesConsumersThenFormsAndWhatTheyOwn) {
  TLanguageResourceManagerKv M;
  M.GetLanguageList()->Add(L"DEU");
  M.SetResourcePlacement(lrpEmbeddedKv);
  TLangTestComponent Consumer(nullptr);
  M.AddChangeNotifyConsumer(&Consumer, L"DEU");
  std::unique_ptr<TForm> F(TComponent::Create<TForm>(nullptr, 0));
  auto* Panel = new TComponent(F.get());  // owned, not parented: still reached
  auto* Deep = new TSettingProbe(Panel);
  auto* Direct = new TSettingProbe(F.get());
  M.SetActiveLanguageAbbr(L"DEU");
  EXPECT_EQ(Consumer.Notices, 1);
  EXPECT_EQ(Direct->Heard, 1);
  EXPECT_EQ(Deep->Heard, 1);
  // A consumer added in the language it is written in hears nothing.
  TLangTestComponent Native(nullptr);
  M.AddChangeNotifyConsumer(&Native, L"DEU");
  EXPECT_EQ(Native.Notices, 0);
  M.DeleteChangeNotifyConsumer(&Consumer);
  EXPECT_EQ(M.GetChangeNotifyConsumerCount(), 1);
}

TEST(LanguageResourceManager, MissingFileOrResourceIsNoError) {
  TTempFolder Dir;
  TLanguageResourceManagerKv M;
  M.SetResourceFolderPath(Dir.Path());
  TLangTestComponent C(nullptr);
  EXPECT_THROW(
      {
        try {
          M.ReadComponentExternalResource(&C, L"LangTest");
        } catch (const Exception& E) {
          EXPECT_EQ(E.Message(), L"ActiveLanguage is not defined");
          throw;
        }
      },
      Exception);
  M.GetLanguageList()->Add(L"DEU");
  M.SetActiveLanguageAbbr(L"DEU");
  M.ReadComponentExternalResource(&C, L"LangTest");
  M.ReadComponentResource(&C, L"TLangTestComponent_XYZ");
  EXPECT_EQ(C.GetCaption(), L"İleri");
  EXPECT_EQ(C.Notices, 0);
}

// Depth objects inside each other.
std::string Nested(Integer Depth) {
  std::string S;
  for (Integer I = 0; I < Depth; ++I) S += "object A: TLangTestComponent\r\n";
  for (Integer I = 0; I < Depth; ++I) S += "end\r\n";
  return S;
}

TEST(LanguageResourceManager, DamagedOrHostileFilesAreShownAsReadingErrors) {
  struct TCase {
    const char* What;
    std::string Bytes;
    const char* Caption;  // after the read: what was read before the damage stays
  };
  const TCase Cases[] = {
      {"misspelt property", "object LangTest: TLangTestComponent\r\n  Caption = 'Weiter'\r\n  Captoin = 'x'\r\nend\r\n",
       "Weiter"},
      {"unterminated string", "object LangTest: TLangTestComponent\r\n  Caption = 'Weiter\r\n", "İleri"},
      {"unknown child class", "object LangTest: TLangTestComponent\r\n  object X: TNoSuchClassKv\r\n  end\r\nend\r\n",
       "İleri"},
      {"binary cut short", std::string("TPF0\x12TLangTestComponent\x08LangTest\x07" "Caption\x06\x7F" "ab", 44),
       "İleri"},
      {"nesting far too deep", Nested(600), "İleri"},
      // An error of the component rather than of the reader: a root name that is no name.
      {"root named \"a b\"", std::string("TPF0\x12TLangTestComponent\x03" "a b\0\0", 29), "İleri"},
  };
  for (const TCase& Case : Cases) {
    TLanguageResourceManagerKv M;
    TLangTestComponent C(nullptr);
    TShownErrors Shown;
    TMemoryStream S;
    S.Write(Case.Bytes.data(), Integer(Case.Bytes.size()));
    S.SetPosition(0);
    EXPECT_NO_THROW(M.ReadComponentFromStream(&C, &S)) << Case.What;
    EXPECT_EQ(Shown.Classes.size(), 1u) << Case.What;
    EXPECT_EQ(C.GetCaption(), Utf8(Case.Caption)) << Case.What;
  }
}

// Language files of every form, mutated: no error of reading one reaches the caller, except the
// refusal of a stream that is no component stream at all.
TEST(LanguageFileFuzz, DamagedFilesAreShownNeverRaised) {
  const std::string Text = "object LangTest: TLangTestComponent\r\n  Caption = 'Weiter'\r\n  Hint = 'N'#228'chste'\r\n"
                           "  object Kind: TLangTestComponent\r\n    Caption = 'x'\r\n  end\r\nend\r\n";
  TMemoryStream In, Binary;
  In.Write(Text.data(), Integer(Text.size()));
  In.SetPosition(0);
  ObjectTextToBinary(&In, &Binary);
  const Byte* P = static_cast<const Byte*>(Binary.GetMemory());
  TFuzzSuite Suite{"language file",
                   {FuzzBytes(Text), FuzzBytes("\xEF\xBB\xBF" + Text), TBytes(P, P + Binary.GetSize())},
                   5000,
                   0xCBBB9D5DC1059ED8ULL,
                   {"object ", "end\r\n", "(", "<", "{", "'", "#99999999999", "1E9999", "= ", "1x", "item "}};
  Suite.Hostile = {FuzzBytes(Nested(600)), FuzzBytes("object 1: TLangTestComponent\r\nend\r\n")};
  TShownErrors Shown;
  Fuzz(Suite, [](const TBytes& B) {
    TLanguageResourceManagerKv M;
    TLangTestComponent C(nullptr);
    TMemoryStream S;
    if (!B.empty()) S.Write(B.data(), Integer(B.size()));
    S.SetPosition(0);
    try {
      M.ReadComponentFromStream(&C, &S);
    } catch (const Exception& E) {
      if (E.Message() != L"Invalid stream format.")
        ADD_FAILURE() << UTF8Encode(E.ClassName()) << " reached the caller: " << UTF8Encode(E.Message());
    }
  });
}

TEST(LanguageResourceManager, StreamOfUnknownFormatRaises) {
  TLanguageResourceManagerKv M;
  TLangTestComponent C(nullptr);
  TMemoryStream S;
  S.Write("MZ\x90\x00", 4);
  S.SetPosition(0);
  try {
    M.ReadComponentFromStream(&C, &S);
    FAIL() << "no exception";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), L"Invalid stream format.");
  }
}

TEST(LanguageResourceManager, DeletingComponentRemovesEveryRegistration) {
  TLanguageResourceManagerKv M;
  TLangTestComponent A(nullptr), B(nullptr);
  M.AddLocalizableObject(&A, L"TLangTestComponent", L"LangTest", L"ENU");
  M.AddLocalizableObject(&B, L"TLangTestComponent", L"LangTest", L"ENU");
  M.AddLocalizableObject(&A, L"TLangTestComponent", L"Other", L"ENU");
  M.DeleteLocalizableObject(&A);
  ASSERT_EQ(M.GetResObjectCount(), 1);
  EXPECT_EQ(M.GetResObject(0)->RefResObject.Get(), &B);
}

TEST(LanguageResourceManager, ComponentFreedWhileRegisteredIsPassedBy) {
  TLanguageResourceManagerKv M;
  M.SetResourcePlacement(lrpEmbeddedKv);
  M.LoadListOfAvailableLanguages(L"TLangTestComponent");
  auto* C = new TLangTestComponent(nullptr);
  M.AddLocalizableObject(C, L"TLangTestComponent", L"LangTest", L"TRK");
  M.AddChangeNotifyConsumer(C, L"TRK");
  delete C;
  EXPECT_NO_THROW(M.SetActiveLanguageAbbr(L"DEU"));
}

TEST(LanguageResourceManager, AutoselectFallsBackToEnglishAndAsksTheEvent) {
  TLanguageResourceManagerKv M;
  M.GetLanguageList()->Add(L"ENU");
  M.GetLanguageList()->Add(L"DEU");
  String Abbr;
  M.AutoselectLanguage(0x0407, Abbr);  // German (Germany)
  EXPECT_EQ(Abbr, L"DEU");
  M.AutoselectLanguage(0x041F, Abbr);  // Turkish: not offered
  EXPECT_EQ(Abbr, L"ENU");
  M.SetOnAutoselectLanguage([](TObject*, String& A) { A = L"DEU"; });
  M.AutoselectLanguage(Abbr);
  EXPECT_EQ(Abbr, L"DEU");
  EXPECT_EQ(M.GetSuffixForLocale(0x041F), L"TRK");
  EXPECT_FALSE(M.GetNativeLanguageName(L"TRK").empty());
  EXPECT_TRUE(M.GetNativeLanguageName(L"QQQ").empty());
}

}  // namespace
