#pragma once
// The family's language machinery: the languages the program can offer, the active one, the
// components that re-read their texts from a language-specific component stream when it changes
// (embedded RCDATA "TClassName_ABB" or an external "Base.ABB.dfm" file) and the components that
// only want to hear about the change.

#include <memory>
#include <vector>

#include "framework/Classes.h"

class TStringList;

enum TLanguageResourcePlacementKv { lrpExternalKv, lrpEmbeddedKv };

using TAutoselectResourceLanguageKv = Closure<void(TObject* Sender, String& LanguageAbbr)>;

// Implemented by a component that refreshes its texts itself after its language resource was read
// or the language changed.
class ILanguageChangeConsumerKv : public virtual IInterface {
 public:
  virtual void LanguageResourceChanged() = 0;
};

// One registered localizable component. The reference becomes null when the component is freed
// without being deleted from the manager, so a late language change passes it by.
class TResObjectKv : public TObject {
  DECLARE_CLASS(TResObjectKv, TObject)
 public:
  TComponentRef<TComponent> RefResObject;
  String ResourceName;
  String ExtResourceFileName;
  String DefaultResourceLanguage;
};

class TLanguageResourceManagerKv : public TPersistent {
  DECLARE_CLASS(TLanguageResourceManagerKv, TPersistent)
 public:
  TLanguageResourceManagerKv();
  ~TLanguageResourceManagerKv() override;

  // Fills the list from the program's embedded resources or from the files of the resource
  // folder, as the placement says.
  void LoadListOfAvailableLanguages(const String& BaseFileName);
  TStringList* GetLanguageList() const { return FLanguageList.get(); }
  // Exact (case-sensitive) position in the list, -1 when absent.
  Integer IndexOfLanguage(const String& LangID) const;

  String GetActiveLanguageAbbr() const { return FActiveLanguageAbbr; }
  // Raises "Language "X" is not supported" for a value the list lacks and keeps the old one.
  void SetActiveLanguageAbbr(const String& Value);

  // The locale's abbreviation, then its primary language's, then "ENU", else empty.
  void AutoselectLanguage(Cardinal LocaleID, String& Abbr);
  // For the calling thread's locale, then OnAutoselectLanguage may change the answer.
  void AutoselectLanguage(String& Abbr);
  String GetNativeLanguageName(const String& LanguageAbbr) const;
  String GetSuffixForLocale(Cardinal LocaleID) const;
  static bool IsSystemLanguageAbbr(const String& Abbr);

  void AddLocalizableObject(TComponent* Component, const String& ResourceName, const String& ExtResourceFileName,
                            const String& DefaultResourceLanguage);
  void DeleteLocalizableObject(TComponent* Component);
  TResObjectKv* GetResObject(Integer Index) const { return FLocObjects.at(Index).get(); }
  Integer GetResObjectCount() const { return Integer(FLocObjects.size()); }

  void AddChangeNotifyConsumer(TComponent* Component, const String& DefaultResourceLanguage);
  void DeleteChangeNotifyConsumer(TComponent* Component);
  Integer GetChangeNotifyConsumerCount() const { return Integer(FChangeNotifyConsumers.size()); }
  void NotifyConsumerChange(TComponent* Component);
  // Every consumer in order, then WM_SETTINGCHANGE to every form and every control it owns.
  void NotifyAllConsumersChange();

  void ReadObjectResource(TResObjectKv* ObjectRes);
  void ReadComponentEmbeddedResource(TComponent* Component);
  // A missing resource does nothing.
  void ReadComponentResource(TComponent* Component, const String& ResourceName);
  // Raises "ActiveLanguage is not defined" without an active language; a missing file does nothing.
  void ReadComponentExternalResource(TComponent* Component, const String& ResourceName);
  // Binary, text or UTF-8 text. An unknown format raises "Invalid stream format."; any error of
  // reading a damaged stream goes to the application's exception handler, never to the caller, and
  // the properties read before it keep their new values.
  void ReadComponentFromStream(TComponent* Instance, TStream* Stream);

  String GetResourceFolderPath() const { return FResourceFolderPath; }
  void SetResourceFolderPath(const String& Value) { FResourceFolderPath = Value; }
  TLanguageResourcePlacementKv GetResourcePlacement() const { return FResourcePlacement; }
  void SetResourcePlacement(TLanguageResourcePlacementKv Value) { FResourcePlacement = Value; }
  TAutoselectResourceLanguageKv GetOnAutoselectLanguage() const { return FOnAutoselectLanguage; }
  void SetOnAutoselectLanguage(const TAutoselectResourceLanguageKv& Value) { FOnAutoselectLanguage = Value; }

 protected:
  virtual void LanguageChanged();

 private:
  void LoadEmbeddedLanguageList(const String& BaseFileName);
  void LoadExternalLanguageList(const String& BaseFileName);

  std::unique_ptr<TStringList> FLanguageList;
  std::vector<std::unique_ptr<TResObjectKv>> FLocObjects;
  std::vector<TComponentRef<TComponent>> FChangeNotifyConsumers;
  String FActiveLanguageAbbr;
  TAutoselectResourceLanguageKv FOnAutoselectLanguage;
  String FResourceFolderPath;
  TLanguageResourcePlacementKv FResourcePlacement = lrpExternalKv;
};

// The one manager, made on first use and freed at exit.
TLanguageResourceManagerKv* LanguageResourceManager();
// Sends Msg to every form of the screen and to every control each form owns, at any depth.
void BroadcastMessageToForms(Cardinal Msg, NativeUInt WParam, NativeInt LParam);
