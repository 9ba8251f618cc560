#pragma once
// TReader: reads a component stream into components, creating owned components by their
// registered class names, resolving component references by name once everything is read
// (also across roots) and binding events to the root's published methods by name.

#include "framework/classes/Filer.h"

class TCollection;

using TReaderError = Closure<void(TReader* Reader, const String& Message, bool& Handled)>;
using TFindMethodEvent = Closure<void(TReader* Reader, const String& MethodName, const TMethodEntry*& Address, bool& Error)>;
using TSetNameEvent = Closure<void(TReader* Reader, TComponent* Component, String& Name)>;
using TReferenceNameEvent = Closure<void(TReader* Reader, String& Name)>;
using TAncestorNotFoundEvent =
    Closure<void(TReader* Reader, const String& ComponentName, TComponentClass ComponentClass, TComponent*& Component)>;
using TCreateComponentEvent = Closure<void(TReader* Reader, TComponentClass ComponentClass, TComponent*& Component)>;
using TFindComponentClassEvent = Closure<void(TReader* Reader, const String& ClassName, TComponentClass& ComponentClass)>;

class TReader : public TFiler {
  DECLARE_CLASS(TReader, TFiler)
 public:
  explicit TReader(TStream* Stream, Integer BufSize = 4096);
  ~TReader() override;

  void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override;
  void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) override;

  // Reads a whole stream: the signature and the root. With Root null the root is created from
  // its class name; on an error a root made here is freed and the error re-raised.
  TComponent* ReadRootComponent(TComponent* Root);
  // Reads one component (owned by Owner, in Parent) and its children.
  TComponent* ReadComponent(TComponent* Component);
  // Reads components up to the end of the list, each created with AOwner and AParent.
  void ReadComponents(TComponent* AOwner, TComponent* AParent, TGetChildProc Proc);
  // The properties, then the owned components, of Instance (TComponent::ReadState calls it).
  void ReadData(TComponent* Instance);
  void ReadCollection(TCollection* Collection);
  void ReadSignature();
  void ReadPrefix(TFilerFlags& Flags, Integer& AChildPos);

  // Values
  TValueType NextValue();
  TValueType ReadValue();
  void CheckValue(TValueType Value);
  bool EndOfList();
  void ReadListBegin() { CheckValue(vaList); }
  void ReadListEnd() { CheckValue(vaNull); }
  void SkipValue();
  bool ReadBoolean();
  Char ReadChar();
  Integer ReadInteger();
  Int64 ReadInt64();
  Extended ReadFloat();
  Single ReadSingle();
  Double ReadDouble();
  Currency ReadCurrency();
  TDateTime ReadDate();
  String ReadIdent();
  String ReadString();
  String ReadWideString() { return ReadString(); }
  // A short string: a length byte and UTF-8 bytes (names of classes, components, properties).
  String ReadStr();
  // Set elements named by the enumeration of the set's type.
  Int64 ReadSet(PTypeInfo SetType);
  TBytes ReadBinary();
  void Read(void* Buffer, Integer Count);
  // Null, Unassigned (nil), numbers, strings, booleans, currencies and dates; include Variants.h.
  Variant ReadVariant();

  TComponent* GetOwner() const { return FOwner; }
  void SetOwner(TComponent* Value) { FOwner = Value; }
  TComponent* GetParent() const { return FParent; }
  void SetParent(TComponent* Value) { FParent = Value; }
  Int64 GetPosition() const;
  void SetPosition(Int64 Value);

  // Resolves the component references read so far; references to roots not yet loaded wait in
  // the global list until one of them is.
  void FixupReferences();

  TReaderError GetOnError() const { return FOnError; }
  void SetOnError(TReaderError Value) { FOnError = std::move(Value); }
  TFindMethodEvent GetOnFindMethod() const { return FOnFindMethod; }
  void SetOnFindMethod(TFindMethodEvent Value) { FOnFindMethod = std::move(Value); }
  TSetNameEvent GetOnSetName() const { return FOnSetName; }
  void SetOnSetName(TSetNameEvent Value) { FOnSetName = std::move(Value); }
  TReferenceNameEvent GetOnReferenceName() const { return FOnReferenceName; }
  void SetOnReferenceName(TReferenceNameEvent Value) { FOnReferenceName = std::move(Value); }
  TAncestorNotFoundEvent GetOnAncestorNotFound() const { return FOnAncestorNotFound; }
  void SetOnAncestorNotFound(TAncestorNotFoundEvent Value) { FOnAncestorNotFound = std::move(Value); }
  TCreateComponentEvent GetOnCreateComponent() const { return FOnCreateComponent; }
  void SetOnCreateComponent(TCreateComponentEvent Value) { FOnCreateComponent = std::move(Value); }
  TFindComponentClassEvent GetOnFindComponentClass() const { return FOnFindComponentClass; }
  void SetOnFindComponentClass(TFindComponentClassEvent Value) { FOnFindComponentClass = std::move(Value); }

 protected:
  // Asks OnError; true when the handler took the error.
  virtual bool Error(const String& Message);
  virtual const TMethodEntry* FindMethod(TComponent* Root, const String& MethodName);
  virtual TComponentClass FindComponentClass(const String& ClassName);
  virtual void SetName(TComponent* Component, String& Name);
  virtual void ReferenceName(String& Name);

 private:
  struct TFixup;
  void ReadProperty(TPersistent* AInstance);
  void ReadPropValue(TPersistent* Instance, PPropInfo PropInfo);
  void PropertyNotFound(const String& Name);
  [[noreturn]] void PropValueError();
  [[noreturn]] void ReadError(const String& Message);
  void ReadBytes(void* Buffer, Integer Count);
  Byte ReadByte();
  // UTF-8 bytes (names, vaUTF8String); string values of the 8-bit kinds are in the ANSI code page.
  String ReadAnsiBytes(Integer Len);
  String ReadCodePageBytes(Integer Len);
  class TNestingGuard;
  void CheckAvailable(Int64 Count);
  void AddLoaded(TComponent* C);

  TComponent* FOwner = nullptr;
  TComponent* FParent = nullptr;
  String FPropName;  // the property DefineProperties is asked about
  bool FPropDefined = false;
  Integer FNesting = 0;  // components, collections and lists being read inside each other
  std::vector<TComponent*> FLoaded;
  std::vector<TFixup>* FFixups = nullptr;  // while reading a root or a stand-alone component
  TReaderError FOnError;
  TFindMethodEvent FOnFindMethod;
  TSetNameEvent FOnSetName;
  TReferenceNameEvent FOnReferenceName;
  TAncestorNotFoundEvent FOnAncestorNotFound;
  TCreateComponentEvent FOnCreateComponent;
  TFindComponentClassEvent FOnFindComponentClass;
};

// How deeply components, collections and lists may nest in a stream (binary or text): a hostile
// stream must meet a reading error, not the end of the stack.
constexpr Integer MaxStreamNesting = 500;

// Resolves the references waiting for roots that have loaded since.
void GlobalFixupReferences();
// Forgets the waiting references made by Root (or by anything it owns), or to RootName.
void RemoveFixupReferences(TComponent* Root, const String& RootName);
// Finds "Name", "Owner.Name" or "Form2.Panel1.Button1" from Root, then among the global roots.
TComponent* FindNestedComponent(TComponent* Root, const String& NamePath);
