#pragma once
// TGraphic, the base of every picture format, the registry of formats (by file extension, by
// content and by clipboard format) and TPicture, the holder that picks the format.

#include <functional>
#include <memory>

#include "framework/Types.h"
#include "framework/classes/Persistent.h"
#include "framework/graphics/GdiTypes.h"

class TStream;
class TCanvas;
class TBitmap;
class TIcon;

class TGraphic : public TPersistent {
  DECLARE_CLASS(TGraphic, TPersistent)
 public:
  TGraphic() = default;

  // True when both hold the same picture (compared by their saved data).
  virtual bool Equals(TGraphic* Graphic);
  virtual void LoadFromFile(const String& FileName);
  virtual void SaveToFile(const String& FileName);
  // A stream that is truncated or not of this format raises EInvalidGraphic and leaves the
  // graphic empty.
  virtual void LoadFromStream(TStream* Stream) = 0;
  virtual void SaveToStream(TStream* Stream) = 0;
  virtual void LoadFromClipboardFormat(Word AFormat, NativeUInt AData, HPALETTE APalette);
  virtual void SaveToClipboardFormat(Word& AFormat, NativeUInt& AData, HPALETTE& APalette);
  virtual void SetSize(Integer AWidth, Integer AHeight);
  virtual bool SupportsPartialTransparency() { return false; }

  virtual bool GetEmpty() = 0;
  virtual Integer GetWidth() = 0;
  virtual void SetWidth(Integer Value) = 0;
  virtual Integer GetHeight() = 0;
  virtual void SetHeight(Integer Value) = 0;
  virtual HPALETTE GetPalette() { return nullptr; }
  virtual void SetPalette(HPALETTE) {}
  virtual bool GetTransparent() { return FTransparent; }
  virtual void SetTransparent(bool Value);
  bool GetModified() const { return FModified; }
  void SetModified(bool Value);
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

  // The picture as a form stream stores it; the default is the file format itself.
  virtual void ReadData(TStream* Stream);
  virtual void WriteData(TStream* Stream);

 protected:
  virtual void Changed(TObject* Sender);
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  // Draws blended over the canvas with a constant opacity.
  virtual void DrawTransparent(TCanvas* ACanvas, const TRect& Rect, Byte Opacity);
  // Draws itself onto a bitmap (with its alpha when it has some).
  void AssignTo(TPersistent* Dest) override;

  friend class TCanvas;
  friend class TPicture;

 private:
  bool FTransparent = false;
  bool FModified = false;
  TNotifyEvent FOnChange;
};

using TGraphicClass = TClassRef<TGraphic>;
// Tells whether the first bytes of a stream are of a format; Size is what is available.
using TGraphicSignatureCheck = bool (*)(const Byte* Data, size_t Size);

class TPicture : public TPersistent {
  DECLARE_CLASS(TPicture, TPersistent)
 public:
  TPicture();
  ~TPicture() override;

  void Assign(TPersistent* Source) override;
  // Chooses the format by the file extension.
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);
  // Chooses the format by the content; unknown or damaged data raises EInvalidGraphic and
  // leaves the picture empty.
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);
  void LoadFromClipboardFormat(Word AFormat, NativeUInt AData, HPALETTE APalette);
  void SaveToClipboardFormat(Word& AFormat, NativeUInt& AData, HPALETTE& APalette);
  static bool SupportsClipboardFormat(Word AFormat);

  // Registry of formats. Check, when given, recognises the format by its first bytes.
  static void RegisterFileFormat(const String& AExtension, const String& ADescription, TGraphicClass AGraphicClass,
                                 TGraphicSignatureCheck Check = nullptr);
  static void RegisterClipboardFormat(Word AFormat, TGraphicClass AGraphicClass);
  static void UnregisterGraphicClass(TGraphicClass AClass);
  // The registered class of that name (as form streams store it), or null.
  static TGraphicClass FindGraphicClassName(const String& ClassName);
  // The registered class whose signature the data starts with, or null.
  static TGraphicClass FindGraphicClass(const Byte* Data, size_t Size);

  TGraphic* GetGraphic() const { return FGraphic.get(); }
  // Copies Value into a new graphic of its class (null empties the picture).
  void SetGraphic(TGraphic* Value);
  // The graphic as a bitmap: any other graphic is replaced by an empty bitmap first.
  TBitmap* GetBitmap();
  void SetBitmap(TBitmap* Value);
  TIcon* GetIcon();
  void SetIcon(TIcon* Value);
  Integer GetWidth() const;
  Integer GetHeight() const;
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

  // The "Data" property of form streams: the class name as a short string, then the graphic's
  // own data. An empty picture writes nothing.
  void ReadData(TStream* Stream);
  void WriteData(TStream* Stream);

 protected:
  virtual void Changed(TObject* Sender);

 private:
  void ReplaceGraphic(std::unique_ptr<TGraphic> NewGraphic);
  void LoadGraphic(TGraphicClass Class, const std::function<void(TGraphic*)>& Load);
  std::unique_ptr<TGraphic> FGraphic;
  TNotifyEvent FOnChange;
};

// "Bitmaps (*.bmp)|*.bmp|..." for the open and save dialogs; for one class or for all.
String GraphicFilter(TGraphicClass GraphicClass);
// The first extension registered for the class, without the dot.
String GraphicExtension(TGraphicClass GraphicClass);
// "*.bmp;*.ico;..."
String GraphicFileMask(TGraphicClass GraphicClass);
