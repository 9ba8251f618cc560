#pragma once
// TWriter: writes components to the binary component stream. Properties at their default (or,
// for a descendant, equal to the ancestor's) and properties whose stored rule says no are left
// out; events are written as the names of the root's published methods.

#include "framework/classes/Filer.h"

class TCollection;

class TWriter : public TFiler {
  DECLARE_CLASS(TWriter, TFiler)
 public:
  explicit TWriter(TStream* Stream, Integer BufSize = 4096);

  void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override;
  void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) override;

  // The signature and Root with its children.
  void WriteRootComponent(TComponent* Root);
  // As WriteRootComponent, writing only what differs from AAncestor (an instance of an ancestor
  // class); components the ancestor has are flagged inherited.
  void WriteDescendent(TComponent* Root, TComponent* AAncestor);
  void WriteComponent(TComponent* Component);
  // Prefix, class and name, properties, children (TComponent::WriteState calls it).
  void WriteData(TComponent* Instance);
  void WriteSignature();
  void WritePrefix(TFilerFlags Flags, Integer AChildPos);
  void WriteProperties(TPersistent* Instance);
  void WriteCollection(TCollection* Value);

  void WriteValue(TValueType Value);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  void WriteBoolean(bool Value);
  void WriteChar(Char Value);
  // The smallest integer tag that holds Value.
  void WriteInteger(Int64 Value);
  void WriteFloat(Extended Value);
  void WriteSingle(Single Value);
  void WriteDouble(Double Value);
  void WriteCurrency(Currency Value);
  void WriteDate(TDateTime Value);
  // "False", "True", "nil" and "Null" become their own tags.
  void WriteIdent(const String& Ident);
  // ASCII text as a byte string, anything else as UTF-16.
  void WriteString(const String& Value);
  void WriteWideString(const String& Value);
  void WriteUTF8String(const String& Value);
  void WriteStr(const String& Value);
  void WriteSet(PTypeInfo SetType, Int64 Value);
  void WriteBinary(const void* Data, Integer Count);
  void Write(const void* Buffer, Integer Count);

  Int64 GetPosition() const;
  TComponent* GetRootAncestor() const { return FRootAncestor; }

 private:
  void WriteProperty(TPersistent* Instance, PPropInfo PropInfo);
  void WritePropName(const String& Name);
  String ComponentReference(TComponent* C);
  TComponent* FindAncestorOf(TComponent* Component);

  TComponent* FRootAncestor = nullptr;
  String FPropPath;
  std::vector<TComponent*> FAncestorChildren;  // the ancestor's children, for child positions
};

// True when both collections would be written the same.
bool CollectionsEqual(TCollection* C1, TCollection* C2);
