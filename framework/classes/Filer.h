#pragma once
// TFiler: what TReader and TWriter share. The binary component stream is the "TPF0" signature
// followed by the root component: an optional flags prefix, the class name and the component
// name (short strings), the properties (name, tagged value) up to a null tag, then the owned
// components, each laid out the same way, up to a null tag.

#include "framework/classes/Component.h"

class TStream;
class TReader;
class TWriter;

// The tag in front of every value of a component stream.
enum TValueType : Byte {
  vaNull, vaList, vaInt8, vaInt16, vaInt32, vaExtended, vaString, vaIdent, vaFalse, vaTrue, vaBinary,
  vaSet, vaLString, vaNil, vaCollection, vaSingle, vaCurrency, vaDate, vaWString, vaInt64, vaUTF8String,
  vaDouble
};
// Flags in a component's prefix: it exists in an ancestor, has a child position, is inline (a frame).
enum TFilerFlag { ffInherited, ffChildPos, ffInline };
using TFilerFlags = Set<TFilerFlag, 8>;

using TReaderProc = Closure<void(TReader* Reader)>;
using TWriterProc = Closure<void(TWriter* Writer)>;
using TStreamProc = Closure<void(TStream* Stream)>;

class TFiler : public TObject {
  DECLARE_CLASS(TFiler, TObject)
 public:
  explicit TFiler(TStream* Stream) : FStream(Stream) {}
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  // Called from DefineProperties: a property the published-property table cannot express.
  // HasData tells the writer whether there is anything to write.
  virtual void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) = 0;
  virtual void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) = 0;
  virtual void FlushBuffer() {}

  TStream* GetStream() const { return FStream; }
  TComponent* GetRoot() const { return FRoot; }
  virtual void SetRoot(TComponent* Value) { FRoot = Value; }
  TComponent* GetLookupRoot() const { return FLookupRoot; }
  // The object being compared against while writing a descendant (null otherwise).
  TPersistent* GetAncestor() const { return FAncestor; }
  void SetAncestor(TPersistent* Value) { FAncestor = Value; }
  bool GetIgnoreChildren() const { return FIgnoreChildren; }
  void SetIgnoreChildren(bool Value) { FIgnoreChildren = Value; }

 protected:
  TStream* FStream;
  TComponent* FRoot = nullptr;
  TComponent* FLookupRoot = nullptr;
  TPersistent* FAncestor = nullptr;
  bool FIgnoreChildren = false;
};

// Finds a loaded root component (a form, a data module) by name, for references across roots.
using TFindGlobalComponent = TComponent* (*)(const String& Name);
void RegisterFindGlobalComponentProc(TFindGlobalComponent Proc);
void UnregisterFindGlobalComponentProc(TFindGlobalComponent Proc);
TComponent* FindGlobalComponent(const String& Name);
