#include "framework/graphics/Graphic.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "framework/WinApi.h"
#include "framework/classes/Streams.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/StreamIO.h"
#include "framework/GIFImg.h"
#include "framework/Jpeg.h"
#include "framework/PngImage.h"

using namespace fw_graphics;

// ---- TGraphic ---------------------------------------------------------------------------------

bool TGraphic::Equals(TGraphic* Graphic) {
  if (!Graphic) return false;
  if (Graphic == this) return true;
  if (Graphic->ClassType() != ClassType()) return false;
  if (GetEmpty() || Graphic->GetEmpty()) return GetEmpty() == Graphic->GetEmpty();
  return GraphicData(this) == GraphicData(Graphic);
}

void TGraphic::LoadFromFile(const String& FileName) {
  TFileStream S(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&S);
}

void TGraphic::SaveToFile(const String& FileName) {
  TFileStream S(FileName, fmCreate);
  SaveToStream(&S);
}

void TGraphic::LoadFromClipboardFormat(Word, NativeUInt, HPALETTE) {
  throw EInvalidGraphic(L"Unsupported clipboard format");
}

void TGraphic::SaveToClipboardFormat(Word&, NativeUInt&, HPALETTE&) {
  throw EInvalidGraphic(L"Unsupported clipboard format");
}

void TGraphic::SetSize(Integer AWidth, Integer AHeight) {
  SetWidth(AWidth);
  SetHeight(AHeight);
}

void TGraphic::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed(this);
}

void TGraphic::SetModified(bool Value) {
  if (Value) Changed(this);
  else FModified = false;
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  DoEvent(FOnChange, this);
}

void TGraphic::ReadData(TStream* Stream) { LoadFromStream(Stream); }
void TGraphic::WriteData(TStream* Stream) { SaveToStream(Stream); }

void TGraphic::DrawTransparent(TCanvas* ACanvas, const TRect& R, Byte Opacity) {
  if (R.IsEmpty()) return;
  // Draw over a copy of what lies beneath, then blend the copy back with the opacity.
  TBitmap Under;
  Under.SetPixelFormat(pf32bit);
  Under.SetSize(R.Width(), R.Height());
  HDC Dest = ACanvas->GetHandle();
  BitBlt(Under.GetCanvas()->GetHandle(), 0, 0, R.Width(), R.Height(), Dest, R.Left, R.Top, SRCCOPY);
  Under.GetCanvas()->StretchDraw(Rect(0, 0, R.Width(), R.Height()), this);
  BLENDFUNCTION BF{AC_SRC_OVER, 0, Opacity, 0};
  AlphaBlend(Dest, R.Left, R.Top, R.Width(), R.Height(), Under.GetCanvas()->GetHandle(), 0, 0, R.Width(), R.Height(), BF);
}

void TGraphic::AssignTo(TPersistent* Dest) {
  auto* B = dynamic_cast<TBitmap*>(Dest);
  if (!B) {
    inherited::AssignTo(Dest);
    return;
  }
  B->Assign(nullptr);
  if (GetEmpty()) return;
  bool Alpha = SupportsPartialTransparency();
  B->SetPixelFormat(Alpha ? pf32bit : pf24bit);
  B->SetSize(GetWidth(), GetHeight());
  if (Alpha) {
    // Blending over transparent black leaves premultiplied pixels with the picture's alpha.
    std::vector<Cardinal> Zero(size_t(GetWidth()) * GetHeight(), 0);
    B->SetPixelsBGRA(GetWidth(), GetHeight(), Zero.data(), afPremultiplied);
  }
  B->GetCanvas()->Draw(0, 0, this);
  if (Alpha) B->SetAlphaFormat(afDefined);
}

// ---- The registry of formats ------------------------------------------------------------------

namespace {

struct TFileFormat {
  String Extension;  // lower case, no dot
  String Description;
  TGraphicClass GraphicClass;
  TGraphicSignatureCheck Check;
};

struct TClipboardFormat {
  Word Format;
  TGraphicClass GraphicClass;
};

bool IsBMP(const Byte* D, size_t N) { return N >= 2 && D[0] == 'B' && D[1] == 'M'; }
bool IsICO(const Byte* D, size_t N) { return N >= 4 && D[0] == 0 && D[1] == 0 && D[2] == 1 && D[3] == 0; }

String LowerExt(String S) {
  for (auto& C : S)
    if (C >= L'A' && C <= L'Z') C = Char(C + 32);
  return S;
}

struct TFormats {
  std::vector<TFileFormat> Files;
  std::vector<TClipboardFormat> Clipboard;
  TFormats() {
    Files.push_back({L"bmp", L"Bitmaps", TBitmap::StaticClass(), IsBMP});
    Files.push_back({L"ico", L"Icons", TIcon::StaticClass(), IsICO});
    Files.push_back({L"png", L"Portable Network Graphics", TPngImage::StaticClass(), TPngImage::CanLoadFromData});
    Files.push_back({L"jpg", L"JPEG Image File", TJPEGImage::StaticClass(), TJPEGImage::CanLoadFromData});
    Files.push_back({L"jpeg", L"JPEG Image File", TJPEGImage::StaticClass(), TJPEGImage::CanLoadFromData});
    Files.push_back({L"jpe", L"JPEG Image File", TJPEGImage::StaticClass(), TJPEGImage::CanLoadFromData});
    Files.push_back({L"jfif", L"JPEG Image File", TJPEGImage::StaticClass(), TJPEGImage::CanLoadFromData});
    Files.push_back({L"gif", L"GIF Image", TGIFImage::StaticClass(), TGIFImage::CanLoadFromData});
    Clipboard.push_back({CF_BITMAP, TBitmap::StaticClass()});
    Clipboard.push_back({CF_DIB, TBitmap::StaticClass()});
  }
};

TFormats& Formats() {
  static TFormats F;
  return F;
}

String Extension(const String& FileName) {
  size_t Dot = FileName.find_last_of(L".\\/:");
  if (Dot == String::npos || FileName[Dot] != L'.') return String();
  return LowerExt(FileName.substr(Dot + 1));
}

}  // namespace

void TPicture::RegisterFileFormat(const String& AExtension, const String& ADescription, TGraphicClass AGraphicClass,
                                  TGraphicSignatureCheck Check) {
  String Ext = LowerExt(AExtension);
  if (!Ext.empty() && Ext[0] == L'.') Ext.erase(0, 1);
  auto& F = Formats().Files;
  // A later registration of an extension replaces the earlier one.
  F.erase(std::remove_if(F.begin(), F.end(), [&](const TFileFormat& E) { return E.Extension == Ext; }), F.end());
  F.push_back({Ext, ADescription, AGraphicClass, Check});
}

void TPicture::RegisterClipboardFormat(Word AFormat, TGraphicClass AGraphicClass) {
  Formats().Clipboard.push_back({AFormat, AGraphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass AClass) {
  auto& F = Formats().Files;
  F.erase(std::remove_if(F.begin(), F.end(), [&](const TFileFormat& E) { return E.GraphicClass->InheritsFrom(AClass); }), F.end());
  auto& C = Formats().Clipboard;
  C.erase(std::remove_if(C.begin(), C.end(), [&](const TClipboardFormat& E) { return E.GraphicClass->InheritsFrom(AClass); }), C.end());
}

bool TPicture::SupportsClipboardFormat(Word AFormat) {
  for (const auto& E : Formats().Clipboard)
    if (E.Format == AFormat) return true;
  return false;
}

TGraphicClass TPicture::FindGraphicClassName(const String& ClassName) {
  for (const auto& E : Formats().Files)
    if (E.GraphicClass->ClassName() == ClassName) return E.GraphicClass;
  for (const auto& E : Formats().Clipboard)
    if (E.GraphicClass->ClassName() == ClassName) return E.GraphicClass;
  return nullptr;
}

TGraphicClass TPicture::FindGraphicClass(const Byte* Data, size_t Size) {
  for (const auto& E : Formats().Files)
    if (E.Check && E.Check(Data, Size)) return E.GraphicClass;
  return nullptr;
}

String GraphicFilter(TGraphicClass GraphicClass) {
  String Filters, Descriptions;
  int Count = 0;
  for (const auto& E : Formats().Files) {
    if (GraphicClass && !E.GraphicClass->InheritsFrom(GraphicClass)) continue;
    if (Count++) {
      Filters += L";";
      Descriptions += L"|";
    }
    Filters += L"*." + E.Extension;
    Descriptions += E.Description + L" (*." + E.Extension + L")|*." + E.Extension;
  }
  if (Count > 1) return L"All (" + Filters + L")|" + Filters + L"|" + Descriptions;
  return Descriptions;
}

String GraphicExtension(TGraphicClass GraphicClass) {
  for (const auto& E : Formats().Files)
    if (E.GraphicClass == GraphicClass) return E.Extension;
  for (const auto& E : Formats().Files)
    if (GraphicClass && E.GraphicClass->InheritsFrom(GraphicClass)) return E.Extension;
  return String();
}

String GraphicFileMask(TGraphicClass GraphicClass) {
  String Mask;
  for (const auto& E : Formats().Files) {
    if (GraphicClass && !E.GraphicClass->InheritsFrom(GraphicClass)) continue;
    if (!Mask.empty()) Mask += L";";
    Mask += L"*." + E.Extension;
  }
  return Mask;
}

// ---- TPicture ---------------------------------------------------------------------------------

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) { DoEvent(FOnChange, this); }

void TPicture::ReplaceGraphic(std::unique_ptr<TGraphic> NewGraphic) {
  FGraphic = std::move(NewGraphic);
  if (FGraphic) FGraphic->SetOnChange({this, &TPicture::Changed});
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    ReplaceGraphic(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> N(TGraphicClass(Value->ClassType()).Create());
  N->Assign(Value);
  ReplaceGraphic(std::move(N));
}

void TPicture::SetBitmap(TBitmap* Value) { SetGraphic(Value); }
void TPicture::SetIcon(TIcon* Value) { SetGraphic(Value); }

TBitmap* TPicture::GetBitmap() {
  if (!dynamic_cast<TBitmap*>(FGraphic.get())) ReplaceGraphic(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(FGraphic.get());
}

TIcon* TPicture::GetIcon() {
  if (!dynamic_cast<TIcon*>(FGraphic.get())) ReplaceGraphic(std::make_unique<TIcon>());
  return static_cast<TIcon*>(FGraphic.get());
}

Integer TPicture::GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
Integer TPicture::GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }

void TPicture::Assign(TPersistent* Source) {
  if (!Source) SetGraphic(nullptr);
  else if (auto* P = dynamic_cast<TPicture*>(Source)) SetGraphic(P->GetGraphic());
  else if (auto* G = dynamic_cast<TGraphic*>(Source)) SetGraphic(G);
  else inherited::Assign(Source);
}

// Loads into a fresh graphic; on failure the picture is left empty and the error goes on.
void TPicture::LoadGraphic(TGraphicClass Class, const std::function<void(TGraphic*)>& Load) {
  std::unique_ptr<TGraphic> N(Class.Create());
  try {
    Load(N.get());
  } catch (...) {
    if (FGraphic) ReplaceGraphic(nullptr);
    throw;
  }
  ReplaceGraphic(std::move(N));
}

void TPicture::LoadFromFile(const String& FileName) {
  String Ext = Extension(FileName);
  TGraphicClass Class;
  for (const auto& E : Formats().Files)
    if (E.Extension == Ext) Class = E.GraphicClass;
  if (!Class) {
    if (FGraphic) ReplaceGraphic(nullptr);
    throw EInvalidGraphic(L"Unknown picture file extension (." + Ext + L")");
  }
  LoadGraphic(Class, [&](TGraphic* G) { G->LoadFromFile(FileName); });
}

void TPicture::SaveToFile(const String& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::LoadFromStream(TStream* Stream) {
  Byte Head[64];
  Int64 Start = StreamPosition(Stream);
  size_t N = ReadUpTo(Stream, Head, sizeof(Head));
  SetStreamPosition(Stream, Start);
  TGraphicClass Class = FindGraphicClass(Head, N);
  if (!Class) {
    if (FGraphic) ReplaceGraphic(nullptr);
    throw EInvalidGraphic(N == 0 ? L"Cannot load a picture from empty data"
                                 : L"Unknown picture format: the data is not of any registered picture type");
  }
  LoadGraphic(Class, [&](TGraphic* G) { G->LoadFromStream(Stream); });
}

void TPicture::SaveToStream(TStream* Stream) {
  if (FGraphic) FGraphic->SaveToStream(Stream);
}

void TPicture::LoadFromClipboardFormat(Word AFormat, NativeUInt AData, HPALETTE APalette) {
  TGraphicClass Class;
  for (const auto& E : Formats().Clipboard)
    if (E.Format == AFormat) Class = E.GraphicClass;
  if (!Class) throw EInvalidGraphic(L"Unsupported clipboard format");
  LoadGraphic(Class, [&](TGraphic* G) { G->LoadFromClipboardFormat(AFormat, AData, APalette); });
}

void TPicture::SaveToClipboardFormat(Word& AFormat, NativeUInt& AData, HPALETTE& APalette) {
  if (FGraphic) FGraphic->SaveToClipboardFormat(AFormat, AData, APalette);
}

void TPicture::ReadData(TStream* Stream) {
  Byte Len = 0;
  if (ReadUpTo(Stream, &Len, 1) != 1) {
    if (FGraphic) ReplaceGraphic(nullptr);
    throw EInvalidGraphic(L"Invalid picture data: the data ends too early");
  }
  std::string Name(Len, '\0');
  if (ReadUpTo(Stream, Name.data(), Len) != Len) {
    if (FGraphic) ReplaceGraphic(nullptr);
    throw EInvalidGraphic(L"Invalid picture data: the data ends too early");
  }
  if (Name.empty()) {
    ReplaceGraphic(nullptr);
    return;
  }
  String ClassName(Name.begin(), Name.end());
  TGraphicClass Class = FindGraphicClassName(ClassName);
  if (!Class) {
    if (FGraphic) ReplaceGraphic(nullptr);
    throw EInvalidGraphic(L"Invalid picture data: unknown picture class " + ClassName);
  }
  LoadGraphic(Class, [&](TGraphic* G) { G->ReadData(Stream); });
}

void TPicture::WriteData(TStream* Stream) {
  if (!FGraphic) return;
  String ClassName = FGraphic->ClassName();
  std::string Name(ClassName.begin(), ClassName.end());
  Byte Len = Byte(std::min<size_t>(Name.size(), 255));
  WriteBytes(Stream, &Len, 1);
  WriteBytes(Stream, Name.data(), Len);
  FGraphic->WriteData(Stream);
}
