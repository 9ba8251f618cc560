#pragma once
// NetEncoding: the URL encoder of the network units. TNetEncoding::URL() is a shared instance
// that callers never free.

#include "framework/System.h"

class TNetEncoding : public TObject {
  DECLARE_CLASS(TNetEncoding, TObject)
 public:
  // Query-string form: A-Z, a-z, 0-9 and ! $ ' ( ) * - . @ _ stay; a space becomes "+"; every
  // other character is written as the bytes of its UTF-8 form, each "%" and two upper-case hex
  // digits. "/" is encoded too: a caller encodes a path segment by segment.
  static TNetEncoding* URL();

  String Encode(const String& Input) const { return DoEncode(Input); }
  // The reverse: "+" is a space, "%XX" a byte; the bytes are read as UTF-8. A "%" without two
  // hex digits after it stays as it is.
  String Decode(const String& Input) const { return DoDecode(Input); }

 protected:
  TNetEncoding() = default;
  virtual String DoEncode(const String& Input) const = 0;
  virtual String DoDecode(const String& Input) const = 0;
};

class TURLEncoding : public TNetEncoding {
  DECLARE_CLASS(TURLEncoding, TNetEncoding)
 public:
  TURLEncoding() = default;

 protected:
  String DoEncode(const String& Input) const override;
  String DoDecode(const String& Input) const override;
};
