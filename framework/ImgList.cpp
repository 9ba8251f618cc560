#include "framework/ImgList.h"

#include <algorithm>

#include "framework/WinShell.h"
#include "framework/classes/Filer.h"
#include "framework/classes/Streams.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/StreamIO.h"

using namespace fw_graphics;

// commctrl.h declares these only when IStream is known before it, which WinApi.h does not do.
extern "C" {
HIMAGELIST WINAPI ImageList_Read(IStream* Stream);
BOOL WINAPI ImageList_Write(HIMAGELIST List, IStream* Stream);
}

namespace {

COLORREF ListColor(TColor C) {
  if (C == clNone) return CLR_NONE;
  if (C == clDefault) return CLR_DEFAULT;
  return ColorToRGB(C);
}

// A private copy of a bitmap's handle: the image list API wants one no DC holds.
struct TBitmapCopy {
  TBitmap Copy;
  explicit TBitmapCopy(TBitmap* Source) {
    if (Source) Copy.Assign(Source);
  }
  HBITMAP Handle() { return Copy.GetEmpty() ? nullptr : Copy.GetHandle(); }
};

struct TComStream {
  IStream* S = nullptr;
  ~TComStream() {
    if (S) S->Release();
  }
};

const Cardinal DrawingStyles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
const Cardinal ImageTypes[] = {0, ILD_MASK};

}  // namespace

// ---- TChangeLink ------------------------------------------------------------------------------

TChangeLink::~TChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

void TChangeLink::SetSender(TCustomImageList* Value) { FSender = Value; }

void TChangeLink::Change() {
  if (FSender) DoEvent(FOnChange, FSender);
}

// ---- TCustomImageList -------------------------------------------------------------------------

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, Integer AWidth, Integer AHeight) : TComponent(AOwner) {
  FWidth = std::max(1, AWidth);
  FHeight = std::max(1, AHeight);
}

TCustomImageList::~TCustomImageList() {
  Teardown();
  FreeHandle();
}

void TCustomImageList::DestroyContents() {
  FClients.clear();
  inherited::DestroyContents();
}

void TCustomImageList::FreeHandle() {
  if (FHandle && !FShareImages) ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

void TCustomImageList::CreateImageList() {
  static const UINT Depths[] = {ILC_COLORDDB, ILC_COLOR4, ILC_COLOR8, ILC_COLOR16, ILC_COLOR24, ILC_COLOR32};
  UINT Flags = Depths[FColorDepth] | (FMasked ? ILC_MASK : 0);
  FHandle = ImageList_Create(FWidth, FHeight, Flags, FAllocBy, FAllocBy);
  if (!FHandle) throw EInvalidOperation(L"Failed to create the image list");
  ImageList_SetBkColor(FHandle, ListColor(FBkColor));
}

HIMAGELIST TCustomImageList::GetHandle() {
  if (!FHandle) CreateImageList();
  return FHandle;
}

void TCustomImageList::SetHandle(HIMAGELIST Value) {
  if (Value == FHandle) return;
  FreeHandle();
  FHandle = Value;
  if (FHandle) {
    int W = FWidth, H = FHeight;
    ImageList_GetIconSize(FHandle, &W, &H);
    FWidth = W;
    FHeight = H;
    FBkColor = ImageList_GetBkColor(FHandle) == CLR_NONE ? clNone : TColor(ImageList_GetBkColor(FHandle));
  }
  Change();
}

// The list is made again, empty, for a new size, depth or mask setting.
void TCustomImageList::Recreate() {
  if (!FHandle) return;
  FreeHandle();
  CreateImageList();
  Change();
}

void TCustomImageList::Change() {
  for (auto* L : std::vector<TChangeLink*>(FClients)) L->Change();
  DoEvent(FOnChange, this);
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (!Value) return;
  Value->SetSender(this);
  if (std::find(FClients.begin(), FClients.end(), Value) == FClients.end()) FClients.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  auto It = std::find(FClients.begin(), FClients.end(), Value);
  if (It == FClients.end()) return;
  FClients.erase(It);
  Value->SetSender(nullptr);
}

Integer TCustomImageList::GetCount() { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

void TCustomImageList::CheckIndex(Integer Index, bool AllowEnd) {
  if (Index < 0 || Index > GetCount() || (!AllowEnd && Index == GetCount()))
    throw EInvalidOperation(L"Invalid ImageList Index");
}

void TCustomImageList::SetWidth(Integer Value) {
  if (Value == FWidth || Value <= 0) return;
  FWidth = Value;
  Recreate();
}

void TCustomImageList::SetHeight(Integer Value) {
  if (Value == FHeight || Value <= 0) return;
  FHeight = Value;
  Recreate();
}

void TCustomImageList::SetBkColor(TColor Value) {
  if (Value == FBkColor) return;
  FBkColor = Value;
  if (FHandle) ImageList_SetBkColor(FHandle, ListColor(Value));
  Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle Value) {
  if (Value == FDrawingStyle) return;
  FDrawingStyle = Value;
  Change();
}

void TCustomImageList::SetImageType(TImageType Value) {
  if (Value == FImageType) return;
  FImageType = Value;
  Change();
}

void TCustomImageList::SetMasked(bool Value) {
  if (Value == FMasked) return;
  FMasked = Value;
  Recreate();
}

void TCustomImageList::SetColorDepth(TColorDepth Value) {
  if (Value == FColorDepth) return;
  FColorDepth = Value;
  Recreate();
}

void TCustomImageList::Assign(TPersistent* Source) {
  auto* L = dynamic_cast<TCustomImageList*>(Source);
  if (!Source || !L) {
    if (!Source) {
      Clear();
      return;
    }
    inherited::Assign(Source);
    return;
  }
  FreeHandle();
  FWidth = L->FWidth;
  FHeight = L->FHeight;
  FAllocBy = L->FAllocBy;
  FBkColor = L->FBkColor;
  FBlendColor = L->FBlendColor;
  FDrawingStyle = L->FDrawingStyle;
  FImageType = L->FImageType;
  FMasked = L->FMasked;
  FColorDepth = L->FColorDepth;
  FShareImages = false;
  if (L->FHandle) FHandle = ImageList_Duplicate(L->FHandle);
  Change();
}

Integer TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
  if (!Image || Image->GetEmpty()) return -1;
  TBitmapCopy I(Image), M(Mask);
  Integer R = ImageList_Add(GetHandle(), I.Handle(), M.Handle());
  if (R < 0) throw EInvalidOperation(L"Failed to add the image to the image list");
  Change();
  return R;
}

Integer TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
  if (!Image || Image->GetEmpty()) return -1;
  if (MaskColor == clDefault) MaskColor = Image->GetTransparentColor();
  if (!FMasked) return Add(Image, nullptr);
  TBitmapCopy I(Image);
  Integer R = ImageList_AddMasked(GetHandle(), I.Handle(), ColorToRGB(MaskColor));
  if (R < 0) throw EInvalidOperation(L"Failed to add the image to the image list");
  Change();
  return R;
}

Integer TCustomImageList::AddIcon(TIcon* Image) {
  if (!Image || Image->GetEmpty()) return -1;
  Integer R = ImageList_ReplaceIcon(GetHandle(), -1, Image->GetHandle());
  if (R < 0) throw EInvalidOperation(L"Failed to add the icon to the image list");
  Change();
  return R;
}

Integer TCustomImageList::AddImage(TCustomImageList* Value, Integer Index) {
  if (!Value || Index < 0 || Index >= Value->GetCount()) return -1;
  HICON Icon = ImageList_GetIcon(Value->GetHandle(), Index, ILD_TRANSPARENT);
  if (!Icon) return -1;
  Integer R = ImageList_ReplaceIcon(GetHandle(), -1, Icon);
  DestroyIcon(Icon);
  Change();
  return R;
}

void TCustomImageList::AddImages(TCustomImageList* Value) {
  if (!Value) return;
  for (Integer I = 0; I < Value->GetCount(); ++I) AddImage(Value, I);
}

void TCustomImageList::Clear() {
  if (FHandle) ImageList_Remove(FHandle, -1);
  Change();
}

void TCustomImageList::Delete(Integer Index) {
  CheckIndex(Index);
  ImageList_Remove(FHandle, Index);
  Change();
}

void TCustomImageList::Replace(Integer Index, TBitmap* Image, TBitmap* Mask) {
  CheckIndex(Index);
  TBitmapCopy I(Image), M(Mask);
  if (!ImageList_Replace(FHandle, Index, I.Handle(), M.Handle()))
    throw EInvalidOperation(L"Failed to replace the image in the image list");
  Change();
}

void TCustomImageList::ReplaceIcon(Integer Index, TIcon* Image) {
  CheckIndex(Index);
  if (!Image || ImageList_ReplaceIcon(FHandle, Index, Image->GetHandle()) < 0)
    throw EInvalidOperation(L"Failed to replace the image in the image list");
  Change();
}

void TCustomImageList::ReplaceMasked(Integer Index, TBitmap* NewImage, TColor MaskColor) {
  CheckIndex(Index);
  if (!NewImage || NewImage->GetEmpty()) return;
  if (MaskColor == clDefault) MaskColor = NewImage->GetTransparentColor();
  // The mask marks MaskColor; the image has those pixels black, as masked lists expect.
  TBitmap Mask;
  Mask.Assign(NewImage);
  Mask.Mask(MaskColor);
  TBitmap Image;
  Image.Assign(NewImage);
  Image.SetPixelFormat(pf24bit);
  Cardinal Key = ColorToRGB(MaskColor);
  Cardinal KeyBGR = ((Key & 0xFF) << 16) | (Key & 0xFF00) | ((Key >> 16) & 0xFF);
  auto P = Image.GetPixelsBGRA();
  for (auto& C : P) C = (C & 0xFFFFFF) == KeyBGR ? 0xFF000000 : C;
  TBitmap Black;
  Black.SetPixelsBGRA(Image.GetWidth(), Image.GetHeight(), P.data(), afIgnored);
  Replace(Index, &Black, &Mask);
}

void TCustomImageList::Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled) {
  Draw(Canvas, X, Y, Index, FDrawingStyle, FImageType, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, TDrawingStyle ADrawingStyle,
                            TImageType AImageType, bool Enabled) {
  if (!FHandle || Index < 0 || Index >= GetCount()) return;
  DoDraw(Index, Canvas, X, Y, DrawingStyles[ADrawingStyle] | ImageTypes[AImageType], Enabled);
}

void TCustomImageList::DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, Cardinal Style, bool Enabled) {
  if (!FHandle) return;
  if (Enabled && (Style & (ILD_BLEND25 | ILD_BLEND50)) && !(Style & ILD_MASK)) {
    DrawBlended(Index, Canvas, X, Y, (Style & ILD_BLEND50) ? 128 : 64);
  } else if (Enabled) {
    ImageList_DrawEx(FHandle, Index, Canvas->GetHandle(), X, Y, 0, 0, ListColor(FBkColor), ListColor(FBlendColor), Style);
  } else {
    DrawDisabled(Index, Canvas, X, Y);
  }
}

// The image rendered over white and over black: where both agree, the image is opaque.
std::vector<Cardinal> TCustomImageList::RenderOpaque(Integer Index) {
  std::vector<Cardinal> Over[2];
  for (int I = 0; I < 2; ++I) {
    TBitmap Probe;
    Probe.SetPixelFormat(pf24bit);
    Probe.SetSize(FWidth, FHeight);
    Probe.GetCanvas()->GetBrush()->SetColor(I ? clBlack : clWhite);
    Probe.GetCanvas()->FillRect(Rect(0, 0, FWidth, FHeight));
    ImageList_DrawEx(FHandle, Index, Probe.GetCanvas()->GetHandle(), 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    Over[I] = Probe.GetPixelsBGRA();
  }
  for (size_t I = 0; I < Over[0].size(); ++I)
    if (Over[0][I] != Over[1][I]) Over[0][I] = 0;
  return Over[0];
}

// The selected and focused looks: the image mixed with the blend colour (the highlight colour
// unless one is set), done here because not every image list implementation blends.
void TCustomImageList::DrawBlended(Integer Index, TCanvas* Canvas, Integer X, Integer Y, Cardinal Amount) {
  auto P = RenderOpaque(Index);
  Cardinal C = ColorToRGB(FBlendColor == clNone || FBlendColor == clDefault ? clHighlight : FBlendColor);
  Cardinal CR = C & 0xFF, CG = (C >> 8) & 0xFF, CB = (C >> 16) & 0xFF;
  for (auto& Px : P) {
    if (!(Px >> 24)) continue;
    auto Mix = [Amount](Cardinal A, Cardinal B) { return (A * (256 - Amount) + B * Amount) >> 8; };
    Px = 0xFF000000 | Mix((Px >> 16) & 0xFF, CR) << 16 | Mix((Px >> 8) & 0xFF, CG) << 8 | Mix(Px & 0xFF, CB);
  }
  TBitmap B;
  B.SetPixelsBGRA(FWidth, FHeight, P.data(), afPremultiplied);
  Canvas->Draw(X, Y, &B);
}

// The disabled look: the image's shape embossed, highlight one pixel down-right under shadow.
void TCustomImageList::DrawDisabled(Integer Index, TCanvas* Canvas, Integer X, Integer Y) {
  auto P = RenderOpaque(Index);
  std::vector<Cardinal> Shape(P.size());
  auto Paint = [&](TColor Color, Integer DX) {
    Cardinal C = ColorToRGB(Color);
    Cardinal BGRA = 0xFF000000 | ((C & 0xFF) << 16) | (C & 0xFF00) | ((C >> 16) & 0xFF);
    // The shape is every opaque pixel that is not white, as the classic disabled glyph has it.
    for (size_t I = 0; I < P.size(); ++I) Shape[I] = (P[I] >> 24) && (P[I] & 0xFFFFFF) != 0xFFFFFF ? BGRA : 0;
    TBitmap B;
    B.SetPixelsBGRA(FWidth, FHeight, Shape.data(), afPremultiplied);
    Canvas->Draw(X + DX, Y + DX, &B);
  };
  Paint(clBtnHighlight, 1);
  Paint(clBtnShadow, 0);
}

bool TCustomImageList::GetBitmap(Integer Index, TBitmap* Image) {
  if (!Image || !FHandle || Index < 0 || Index >= GetCount()) return false;
  if (FColorDepth == cd32Bit) Image->SetPixelFormat(pf32bit);
  Image->SetSize(FWidth, FHeight);
  Image->GetCanvas()->GetBrush()->SetColor(FBkColor == clNone ? clWhite : FBkColor);
  Image->GetCanvas()->FillRect(Rect(0, 0, FWidth, FHeight));
  ImageList_Draw(FHandle, Index, Image->GetCanvas()->GetHandle(), 0, 0, ILD_NORMAL);
  Image->GetCanvas()->Refresh();
  return true;
}

void TCustomImageList::GetIcon(Integer Index, TIcon* Image) { GetIcon(Index, Image, FDrawingStyle, FImageType); }

void TCustomImageList::GetIcon(Integer Index, TIcon* Image, TDrawingStyle ADrawingStyle, TImageType AImageType) {
  if (!Image || !FHandle || Index < 0 || Index >= GetCount()) return;
  Image->SetHandle(ImageList_GetIcon(FHandle, Index, DrawingStyles[ADrawingStyle] | ImageTypes[AImageType]));
}

HBITMAP TCustomImageList::GetImageBitmap() {
  IMAGEINFO Info{};
  if (!FHandle || GetCount() == 0 || !ImageList_GetImageInfo(FHandle, 0, &Info)) return nullptr;
  return Info.hbmImage;
}

HBITMAP TCustomImageList::GetMaskBitmap() {
  IMAGEINFO Info{};
  if (!FHandle || GetCount() == 0 || !ImageList_GetImageInfo(FHandle, 0, &Info)) return nullptr;
  return Info.hbmMask;
}

void TCustomImageList::ReadData(TStream* Stream) {
  Int64 Start;
  TBytes Data = ReadToEnd(Stream, Start);
  TComStream S;
  if (Data.empty() || CreateStreamOnHGlobal(nullptr, TRUE, &S.S) != S_OK)
    throw EReadError(L"Failed to read ImageList data from stream");
  ULONG Written = 0;
  S.S->Write(Data.data(), ULONG(Data.size()), &Written);
  LARGE_INTEGER Zero{};
  S.S->Seek(Zero, STREAM_SEEK_SET, nullptr);
  HIMAGELIST H = ImageList_Read(S.S);
  if (!H) throw EReadError(L"Failed to read ImageList data from stream");
  ULARGE_INTEGER Used{};
  S.S->Seek(Zero, STREAM_SEEK_CUR, &Used);
  SetStreamPosition(Stream, Start + Int64(std::min<UInt64>(Used.QuadPart, Data.size())));
  FreeHandle();
  FHandle = H;
  int W = FWidth, Hh = FHeight;
  ImageList_GetIconSize(FHandle, &W, &Hh);
  FWidth = W;
  FHeight = Hh;
  ImageList_SetBkColor(FHandle, ListColor(FBkColor));
  Change();
}

void TCustomImageList::WriteData(TStream* Stream) {
  TComStream S;
  if (CreateStreamOnHGlobal(nullptr, TRUE, &S.S) != S_OK || !ImageList_Write(GetHandle(), S.S))
    throw EWriteError(L"Failed to write ImageList data to stream");
  ULARGE_INTEGER End{};
  LARGE_INTEGER Zero{};
  S.S->Seek(Zero, STREAM_SEEK_END, &End);
  HGLOBAL G = nullptr;
  GetHGlobalFromStream(S.S, &G);
  if (const void* P = GlobalLock(G)) {
    WriteBytes(Stream, P, size_t(End.QuadPart));
    GlobalUnlock(G);
  }
}

void TCustomImageList::DefineProperties(TFiler* Filer) {
  inherited::DefineProperties(Filer);
  Filer->DefineBinaryProperty(L"Bitmap", {this, &TCustomImageList::ReadData}, {this, &TCustomImageList::WriteData},
                              GetCount() > 0);
}

HIMAGELIST GetSystemImageList(bool SmallIcons) {
  SHFILEINFOW Info{};
  return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(L"C:\\", 0, &Info, sizeof(Info),
                                                     SHGFI_SYSICONINDEX | (SmallIcons ? SHGFI_SMALLICON : SHGFI_LARGEICON)));
}

Integer GetShellIconIndex(const String& Name, bool SmallIcons) {
  UINT Flags = SHGFI_SYSICONINDEX | (SmallIcons ? SHGFI_SMALLICON : SHGFI_LARGEICON);
  DWORD Attributes = GetFileAttributesW(Name.c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES) {
    Flags |= SHGFI_USEFILEATTRIBUTES;
    Attributes = FILE_ATTRIBUTE_NORMAL;
  }
  SHFILEINFOW Info{};
  if (!SHGetFileInfoW(Name.c_str(), Attributes, &Info, sizeof(Info), Flags)) return -1;
  return Info.iIcon;
}

PUBLISHED_DEF(TImageList) {
  PROP(AllocBy).Default(4);
  PROP(BlendColor).Default(clNone);
  PROP(BkColor).Default(clNone);
  PROP(DrawingStyle).Default(dsNormal);
  PROP(Height).Default(16);
  PROP(ImageType).Default(itImage);
  PROP(Masked).Default(true);
  PROP(ShareImages).Default(false);
  PROP(Width).Default(16);
  PROP(ColorDepth).Default(cdDeviceDependent);
  EVENT(OnChange);
}
