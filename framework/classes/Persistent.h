#pragma once
// TPersistent: an object that can copy itself from another (Assign) and be written to and read
// from a component stream.

#include "framework/System.h"

class TFiler;

class TPersistent : public TObject {
  DECLARE_CLASS(TPersistent, TObject)
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  ~TPersistent() override = default;

  // Copies Source into this object; the default asks Source to AssignTo, then raises.
  virtual void Assign(TPersistent* Source);
  virtual String GetNamePath();

 protected:
  // Raises EConvertError "Cannot assign a X to a Y".
  virtual void AssignTo(TPersistent* Dest);
  // Adds properties the published-property table cannot express (binary data, legacy names).
  virtual void DefineProperties(TFiler* Filer);
  virtual TPersistent* GetOwner();

  friend class TFiler;
  friend class TReader;
  friend class TWriter;
};

using TPersistentClass = TClassRef<TPersistent>;
