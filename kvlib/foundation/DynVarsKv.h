#pragma once
// Named values a component carries without a property of its own for each: variant values
// (`TDynVarsKv`, the family's DynProps and the parameters of drop-down forms) and string values
// readable and writable as "name=value" lines (`TStringVarsKv`). Looking up a name that does not
// exist yields a detached dummy variable, which joins the collection once something is written
// to it. Names are unique in a collection and compare without ASCII case.

#include <memory>
#include <unordered_map>

#include "framework/Classes.h"
#include "framework/Variants.h"

class TCustomDynVarsKv;

class TCustomDynVarKv : public TCollectionItem {
  DECLARE_CLASS(TCustomDynVarKv, TCollectionItem)
 public:
  explicit TCustomDynVarKv(TCollection* Collection);
  // Leaves its collection while still whole, so that the collection's name lookup forgets it.
  ~TCustomDynVarKv() override;
  // A variable in no collection that joins AOwnerWhenDummy when written; its value is Unassigned.
  static TCustomDynVarKv* CreateAsDummy(TClassRef<TCustomDynVarKv> VarClass, TCustomDynVarsKv* AOwnerWhenDummy);

  // Name, then value.
  void Assign(TPersistent* Source) override;
  String GetDisplayName() const override;

  // Value := Null, without a change notification; a dummy stays a dummy.
  void Clear();
  TCustomDynVarsKv* VarCollection() const;
  bool GetIsDummy() const { return FIsDummy; }
  // Same variant type, equal values (unless this one is Unassigned), the same name (exact case)
  // and the same null state.
  bool IsEqual(TCustomDynVarKv* Value) const;

  String GetName() const { return FName; }
  // Raises the duplicate message when another variable of the collection has the name.
  void SetName(const String& Value);
  Variant GetValue() const { return FData; }
  void SetValue(const Variant& Value);
  bool GetIsNull() const;

 protected:
  friend class TCustomDynVarsKv;
  void AttachDummy();
  void SetAsStringValue(const String& Value);

  Variant FData;
  bool FIsDummy = false;
  String FName;
  TCustomDynVarsKv* FOwnerWhenDummy = nullptr;
};

using TCustomDynVarClassKv = TClassRef<TCustomDynVarKv>;

class TDynVarKv : public TCustomDynVarKv {
  DECLARE_CLASS(TDynVarKv, TCustomDynVarKv)
 public:
  using TCustomDynVarKv::TCustomDynVarKv;

  // Null and Unassigned read as false, 0 or nil; other values convert by the variant rules.
  bool GetAsBoolean() const;
  void SetAsBoolean(bool Value);
  Currency GetAsCurrency() const;
  void SetAsCurrency(Currency Value);
  TDateTime GetAsDateTime() const;
  void SetAsDateTime(TDateTime Value);
  Double GetAsFloat() const;
  void SetAsFloat(Double Value);
  Integer GetAsInteger() const;
  void SetAsInteger(Integer Value);
  // The object travels as a reference wrapper (never a number): a pointer survives whole.
  TObject* GetAsRefObject() const;
  void SetAsRefObject(TObject* Value);
  String GetAsString() const;
  // Stores the text without a change notification.
  void SetAsString(const String& Value);

  PUBLISHED_DECL(TDynVarKv);
};

class TStringVarKv : public TCustomDynVarKv {
  DECLARE_CLASS(TStringVarKv, TCustomDynVarKv)
 public:
  using TCustomDynVarKv::TCustomDynVarKv;
  String GetValue() const;
  void SetValue(const String& Value);

  PUBLISHED_DECL(TStringVarKv);
};

class TCustomDynVarsKv : public TCollection {
  DECLARE_CLASS(TCustomDynVarsKv, TCollection)
 public:
  explicit TCustomDynVarsKv(TPersistent* Owner);
  ~TCustomDynVarsKv() override;

  virtual TCustomDynVarClassKv GetDynVarClass() const { return TCustomDynVarKv::StaticClass(); }

  TCustomDynVarKv* FindDynVar(const String& VarName) const;
  bool VarExists(const String& VarName) const { return FindDynVar(VarName) != nullptr; }
  // The variable, or the collection's dummy named VarName.
  TCustomDynVarKv* GetDynVar(const String& VarName);
  TCustomDynVarKv* CreateDynVar(const String& VarName, const Variant& AValue);
  TCustomDynVarKv* CreateDynVar(const String& VarName, TObject* AValue);
  void DeleteDynVar(const String& VarName);
  // Moves Value into this collection; raises the duplicate message when its name is taken.
  void AddDynVar(TCustomDynVarKv* Value);
  // Takes Value out of this collection without freeing it.
  void RemoveDynVar(TCustomDynVarKv* Value);
  // The values of the variables both collections name; the others stay as they are.
  void AssignValues(TCustomDynVarsKv* Value);
  bool IsEqual(TCustomDynVarsKv* Value) const;
  TCustomDynVarKv* GetItem(Integer Index) const;
  void SetItem(Integer Index, TCustomDynVarKv* Value);
  TCustomDynVarKv* GetDummyVar() const { return FDummyVar.get(); }

  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

  // The duplicate-name error, with the family's text.
  [[noreturn]] static void RaiseDuplicateName(const String& VarName);

 protected:
  TCustomDynVarsKv(TPersistent* Owner, TCustomDynVarClassKv ItemClass);
  TPersistent* GetOwner() override { return FOwner; }
  void Update(TCollectionItem* Item) override;
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
  TCustomDynVarKv* GetDummyVarFor(const String& VarName);
  void FreeDynVar(TCustomDynVarKv* Value) { delete Value; }
  // Makes the dummy a member and hands out a fresh dummy.
  void AttachDummyVar(TCustomDynVarKv* DummyVar);

 private:
  friend class TCustomDynVarKv;
  void IndexName(TCustomDynVarKv* Var);
  void UnindexName(TCustomDynVarKv* Var);
  std::unique_ptr<TCustomDynVarKv> FDummyVar;
  // The members by their name folded as names compare, so that finding one is not a walk over all.
  std::unordered_multimap<String, TCustomDynVarKv*> FNameIndex;
  TPersistent* FOwner;
  TNotifyEvent FOnChange;
};

class TDynVarsKv : public TCustomDynVarsKv {
  DECLARE_CLASS(TDynVarsKv, TCustomDynVarsKv)
 public:
  explicit TDynVarsKv(TPersistent* Owner) : TCustomDynVarsKv(Owner, TDynVarKv::StaticClass()) {}
  TCustomDynVarClassKv GetDynVarClass() const override { return TDynVarKv::StaticClass(); }

  TDynVarKv* GetItem(Integer Index) const { return static_cast<TDynVarKv*>(TCustomDynVarsKv::GetItem(Index)); }
  TDynVarKv* operator[](Integer Index) const { return GetItem(Index); }
  TDynVarKv* FindDynVar(const String& VarName) const {
    return static_cast<TDynVarKv*>(TCustomDynVarsKv::FindDynVar(VarName));
  }
  TDynVarKv* GetDynVar(const String& VarName) { return static_cast<TDynVarKv*>(TCustomDynVarsKv::GetDynVar(VarName)); }
  TDynVarKv* CreateDynVar(const String& VarName, const Variant& AValue) {
    return static_cast<TDynVarKv*>(TCustomDynVarsKv::CreateDynVar(VarName, AValue));
  }
  TDynVarKv* CreateDynVar(const String& VarName, TObject* AValue) {
    return static_cast<TDynVarKv*>(TCustomDynVarsKv::CreateDynVar(VarName, AValue));
  }
};

class TStringVarsKv : public TCustomDynVarsKv {
  DECLARE_CLASS(TStringVarsKv, TCustomDynVarsKv)
 public:
  explicit TStringVarsKv(TPersistent* Owner) : TCustomDynVarsKv(Owner, TStringVarKv::StaticClass()) {}
  TCustomDynVarClassKv GetDynVarClass() const override { return TStringVarKv::StaticClass(); }

  TStringVarKv* GetItem(Integer Index) const { return static_cast<TStringVarKv*>(TCustomDynVarsKv::GetItem(Index)); }
  TStringVarKv* operator[](Integer Index) const { return GetItem(Index); }
  TStringVarKv* FindDynVar(const String& VarName) const {
    return static_cast<TStringVarKv*>(TCustomDynVarsKv::FindDynVar(VarName));
  }
  TStringVarKv* CreateDynVar(const String& VarName, const String& AValue);

  // Raise "A Variable named 'X' doesn't exist in the Collection 'TStringVarsKv'" for an unknown name.
  String GetVarValue(const String& VarName) const;
  void SetVarValue(const String& VarName, const String& Value);
  // One "name=value" line per variable, each ending in CR LF.
  String GetAsTextString() const;
  // Replaces the variables with the lines of TextString (name before the first "=", value after
  // it). A repeated name raises the duplicate message and leaves the variables as they were.
  void SetFromTextString(const String& TextString);
};

// What takes its values from a dynamic-variable set and gives them back: the drop-down forms.
class IDynParamsInteractableKv : public virtual IInterface {
 public:
  virtual void SetDynParams(TDynVarsKv* Value) = 0;
  virtual TDynVarsKv* GetDynParams() = 0;
};
