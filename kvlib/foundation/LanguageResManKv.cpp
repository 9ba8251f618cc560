#include "kvlib/foundation/LanguageResManKv.h"

#include <algorithm>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/WinApi.h"

namespace {

std::unique_ptr<TLanguageResourceManagerKv>& ManagerInstance() {
  static std::unique_ptr<TLanguageResourceManagerKv> Instance;
  return Instance;
}

// The enumeration's state travels in its lParam, not in a shared variable.
struct TEmbeddedNames {
  String Prefix;
  TStringList* List;
};

BOOL CALLBACK CollectLanguageResource(HMODULE, LPCWSTR, LPWSTR Name, LONG_PTR Param) {
  // Resources named by number come as integer ids, never as text.
  if (IS_INTRESOURCE(Name)) return TRUE;
  auto* State = reinterpret_cast<TEmbeddedNames*>(Param);
  const String ResName(Name);
  const size_t Len = State->Prefix.size();
  if (ResName.size() == Len + 3 && ResName.compare(0, Len, State->Prefix) == 0) State->List->Add(ResName.substr(Len, 3));
  return TRUE;
}

void BroadcastToOwned(TComponent* Owner, Cardinal Msg, NativeUInt WParam, NativeInt LParam) {
  for (Integer I = 0; I < Owner->GetComponentCount(); ++I) {
    TComponent* C = Owner->GetComponents(I);
    if (auto* Control = dynamic_cast<TControl*>(C)) Control->Perform(Msg, WPARAM(WParam), LPARAM(LParam));
    BroadcastToOwned(C, Msg, WParam, LParam);
  }
}

}  // namespace

TLanguageResourceManagerKv* LanguageResourceManager() {
  auto& M = ManagerInstance();
  if (!M) M = std::make_unique<TLanguageResourceManagerKv>();
  return M.get();
}

void BroadcastMessageToForms(Cardinal Msg, NativeUInt WParam, NativeInt LParam) {
  if (!Screen) return;
  for (Integer I = 0; I < Screen->GetFormCount(); ++I) {
    TCustomForm* Form = Screen->GetForms(I);
    Form->Perform(Msg, WPARAM(WParam), LPARAM(LParam));
    BroadcastToOwned(Form, Msg, WParam, LParam);
  }
}

TLanguageResourceManagerKv::TLanguageResourceManagerKv() : FLanguageList(std::make_unique<TStringList>()) {}

TLanguageResourceManagerKv::~TLanguageResourceManagerKv() = default;

void TLanguageResourceManagerKv::LoadListOfAvailableLanguages(const String& BaseFileName) {
  FLanguageList->Clear();
  if (FResourcePlacement == lrpEmbeddedKv)
    LoadEmbeddedLanguageList(BaseFileName);
  else
    LoadExternalLanguageList(BaseFileName);
}

void TLanguageResourceManagerKv::LoadEmbeddedLanguageList(const String& BaseFileName) {
  TEmbeddedNames State{UpperCase(BaseFileName) + L"_", FLanguageList.get()};
  EnumResourceNamesW(reinterpret_cast<HMODULE>(HInstance()), MAKEINTRESOURCEW(10), CollectLanguageResource,
                     reinterpret_cast<LONG_PTR>(&State));
}

void TLanguageResourceManagerKv::LoadExternalLanguageList(const String& BaseFileName) {
  if (FResourceFolderPath.empty()) FResourceFolderPath = GetCurrentDir() + L"\\Res";
  TSearchRec F;
  if (FindFirst(FResourceFolderPath + L"\\" + BaseFileName + L".???.dfm", faAnyFile, F) != 0) return;
  do {
    if (F.Name == L"." || F.Name == L".." || (F.Attr & faDirectory)) continue;
    String Ext = ExtractFileExt(ChangeFileExt(ExtractFileName(F.Name), String()));
    if (!Ext.empty()) Ext.erase(0, 1);
    Ext = UpperCase(Ext);
    if (IsSystemLanguageAbbr(Ext)) FLanguageList->Add(Ext);
  } while (FindNext(F) == 0);
  FindClose(F);
}

Integer TLanguageResourceManagerKv::IndexOfLanguage(const String& LangID) const {
  for (Integer I = 0; I < FLanguageList->GetCount(); ++I)
    if (FLanguageList->GetStrings(I) == LangID) return I;
  return -1;
}

void TLanguageResourceManagerKv::SetActiveLanguageAbbr(const String& Value) {
  if (Value == FActiveLanguageAbbr) return;
  if (FLanguageList->IndexOf(Value) < 0) throw Exception(L"Language \"" + Value + L"\" is not supported");
  FActiveLanguageAbbr = Value;
  LanguageChanged();
}

void TLanguageResourceManagerKv::LanguageChanged() {
  // A registration read here may add or delete others: walk by index over what is there.
  for (size_t I = 0; I < FLocObjects.size(); ++I)
    if (!FActiveLanguageAbbr.empty()) ReadObjectResource(FLocObjects[I].get());
  NotifyAllConsumersChange();
}

void TLanguageResourceManagerKv::AutoselectLanguage(Cardinal LocaleID, String& Abbr) {
  Abbr = GetLocaleStr(Integer(LocaleID), LOCALE_SABBREVLANGNAME, String());
  if (!Abbr.empty() && FLanguageList->IndexOf(Abbr) >= 0) return;
  Abbr = GetLocaleStr(Integer(LocaleID & 0x3FF), LOCALE_SABBREVLANGNAME, String());
  if (!Abbr.empty() && FLanguageList->IndexOf(Abbr) >= 0) return;
  Abbr = FLanguageList->GetCount() > 0 && FLanguageList->IndexOf(L"ENU") >= 0 ? String(L"ENU") : String();
}

void TLanguageResourceManagerKv::AutoselectLanguage(String& Abbr) {
  AutoselectLanguage(GetThreadLocale(), Abbr);
  DoEvent(FOnAutoselectLanguage, this, Abbr);
}

String TLanguageResourceManagerKv::GetNativeLanguageName(const String& LanguageAbbr) const {
  TLanguages* L = Languages();
  for (Integer I = 0; I < L->GetCount(); ++I)
    if (L->GetExt(I) == LanguageAbbr) return GetLocaleStr(Integer(L->GetLocaleID(I)), LOCALE_SNATIVELANGNAME, String());
  return String();
}

String TLanguageResourceManagerKv::GetSuffixForLocale(Cardinal LocaleID) const {
  return GetLocaleStr(Integer(LocaleID), LOCALE_SABBREVLANGNAME, String());
}

bool TLanguageResourceManagerKv::IsSystemLanguageAbbr(const String& Abbr) {
  TLanguages* L = Languages();
  for (Integer I = 0; I < L->GetCount(); ++I)
    if (L->GetExt(I) == Abbr) return true;
  return false;
}

void TLanguageResourceManagerKv::AddLocalizableObject(TComponent* Component, const String& ResourceName,
                                                      const String& ExtResourceFileName,
                                                      const String& DefaultResourceLanguage) {
  auto R = std::make_unique<TResObjectKv>();
  R->RefResObject = Component;
  R->ResourceName = ResourceName;
  R->ExtResourceFileName = ExtResourceFileName;
  R->DefaultResourceLanguage = DefaultResourceLanguage;
  TResObjectKv* Added = R.get();
  FLocObjects.push_back(std::move(R));
  if (!FActiveLanguageAbbr.empty() && FActiveLanguageAbbr != DefaultResourceLanguage) ReadObjectResource(Added);
}

void TLanguageResourceManagerKv::DeleteLocalizableObject(TComponent* Component) {
  std::erase_if(FLocObjects, [Component](const std::unique_ptr<TResObjectKv>& R) {
    return R->RefResObject.Get() == Component;
  });
}

void TLanguageResourceManagerKv::AddChangeNotifyConsumer(TComponent* Component, const String& DefaultResourceLanguage) {
  FChangeNotifyConsumers.emplace_back();
  FChangeNotifyConsumers.back() = Component;
  if (!FActiveLanguageAbbr.empty() && FActiveLanguageAbbr != DefaultResourceLanguage) NotifyConsumerChange(Component);
}

void TLanguageResourceManagerKv::DeleteChangeNotifyConsumer(TComponent* Component) {
  std::erase_if(FChangeNotifyConsumers, [Component](const TComponentRef<TComponent>& C) { return C.Get() == Component; });
}

void TLanguageResourceManagerKv::NotifyConsumerChange(TComponent* Component) {
  if (ILanguageChangeConsumerKv* Consumer = dynamic_cast<ILanguageChangeConsumerKv*>(Component))
    Consumer->LanguageResourceChanged();
}

void TLanguageResourceManagerKv::NotifyAllConsumersChange() {
  // A consumer may free itself or others while it is told: take the list as it is now.
  std::vector<TComponentRef<TComponent>> Consumers = FChangeNotifyConsumers;
  for (auto& C : Consumers)
    if (C) NotifyConsumerChange(C);
  BroadcastMessageToForms(WM_SETTINGCHANGE, 0, 0);
}

void TLanguageResourceManagerKv::ReadObjectResource(TResObjectKv* ObjectRes) {
  TComponent* C = ObjectRes->RefResObject;
  if (!C) return;
  if (FResourcePlacement == lrpEmbeddedKv)
    ReadComponentEmbeddedResource(C);
  else
    ReadComponentExternalResource(C, ObjectRes->ExtResourceFileName);
}

void TLanguageResourceManagerKv::ReadComponentEmbeddedResource(TComponent* Component) {
  ReadComponentResource(Component, Component->ClassName() + L"_" + FActiveLanguageAbbr);
}

void TLanguageResourceManagerKv::ReadComponentResource(TComponent* Component, const String& ResourceName) {
  // The family is linked statically: its classes live in the program's module.
  const NativeUInt Module = HInstance();
  if (!FindResourceW(reinterpret_cast<HMODULE>(Module), ResourceName.c_str(), MAKEINTRESOURCEW(10))) return;
  TResourceStream S(Module, ResourceName, MAKEINTRESOURCEW(10));
  ReadComponentFromStream(Component, &S);
  NotifyConsumerChange(Component);
}

void TLanguageResourceManagerKv::ReadComponentExternalResource(TComponent* Component, const String& ResourceName) {
  if (FActiveLanguageAbbr.empty()) throw Exception(L"ActiveLanguage is not defined");
  const String FileName = FResourceFolderPath + L"\\" + ResourceName + L"." + FActiveLanguageAbbr + L".dfm";
  if (!FileExists(FileName)) return;
  TFileStream S(FileName, fmOpenRead | fmShareDenyWrite);
  ReadComponentFromStream(Component, &S);
}

void TLanguageResourceManagerKv::ReadComponentFromStream(TComponent* Instance, TStream* Stream) {
  const TStreamOriginalFormat Format = TestStreamFormat(Stream);
  if (Format == sofUnknown) throw EInvalidImage(L"Invalid stream format.");
  // A language file is replaceable by the user: whatever is wrong inside it is a reading error
  // that the user is shown, never a failure of the caller.
  try {
    if (Format == sofBinary) {
      Stream->ReadComponent(Instance);
    } else {
      TMemoryStream Binary;
      ObjectTextToBinary(Stream, &Binary);
      Binary.SetPosition(0);
      Binary.ReadComponent(Instance);
    }
  } catch (const std::exception&) {
    // Any error: a name the file gives that is no valid name (EComponentError), a number that does
    // not convert, as well as the reading errors themselves.
    if (Application) Application->HandleException(this);
  }
}
