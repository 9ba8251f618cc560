#include "htmllabel/PictureStore.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"
#include "htmllabel/GdipObjects.h"

namespace {

std::atomic<Int64> Decodes{0};

// Where each frame of a GIF starts: a graphic control extension directly followed by an image
// descriptor. The file is walked block by block and every read is checked against its end, so
// truncated or crafted data only ends the walk; LZW data is skipped, never taken for a block.
std::vector<size_t> ScanGifFrames(const Byte* D, size_t N) {
  std::vector<size_t> Frames;
  if (N < 13 || std::memcmp(D, "GIF8", 4) != 0) return Frames;
  size_t Pos = 13;
  if (D[10] & 0x80) Pos += 3 * (size_t(1) << ((D[10] & 7) + 1));
  // Skips the data sub-blocks starting at Q; N + 1 when they run past the end.
  auto SkipSubBlocks = [&](size_t Q) {
    while (Q < N) {
      size_t Len = D[Q++];
      if (Len == 0) return Q;
      Q += Len;
    }
    return N + 1;
  };
  while (Pos < N) {
    Byte B = D[Pos];
    if (B == 0x21) {
      if (Pos + 2 >= N) break;
      bool IsControl = D[Pos + 1] == 0xF9 && D[Pos + 2] == 4;
      size_t Q = SkipSubBlocks(Pos + 2);
      if (Q >= N) break;
      // The descriptor's ten bytes must all be there for the frame to count.
      if (IsControl && Q == Pos + 8 && D[Q] == 0x2C && Q + 10 <= N) Frames.push_back(Pos);
      Pos = Q;
    } else if (B == 0x2C) {
      if (Pos + 10 > N) break;
      Byte Packed = D[Pos + 9];
      size_t Q = Pos + 10;
      if (Packed & 0x80) Q += 3 * (size_t(1) << ((Packed & 7) + 1));
      Q += 1;  // LZW minimum code size
      if (Q > N) break;
      Q = SkipSubBlocks(Q);
      if (Q > N) break;
      Pos = Q;
    } else {
      break;  // the trailer, or bytes that are no block
    }
  }
  return Frames;
}

Word ReadWord(const Byte* P) { return Word(P[0] | (P[1] << 8)); }

struct TStreamRef {
  IStream* S = nullptr;
  ~TStreamRef() {
    if (S) S->Release();
  }
};

struct TGlobalBlock {
  HGLOBAL H = nullptr;
  ~TGlobalBlock() {
    if (H) GlobalFree(H);
  }
};

}  // namespace

// The decoded image kept for drawing, with the stream GDI+ reads it from.
struct THTMLPicture::TDecoded {
  TStreamRef Stream;
  std::unique_ptr<TGPImage> Image;
  TGPImageFormat Format = ifUndefined;
  std::unique_ptr<TBitmap> Bitmap;  // bitmaps draw through the framework, made on first draw
  bool BitmapTried = false;
};

PUBLISHED_DEF(THTMLPicture) {
  PROP(Stretch).Default(false);
  PROP(Frame).Default(1);
  EVENT(OnFrameChange);
  EVENT(OnDownLoadProgress);
  EVENT(OnDownLoadCancel);
  EVENT(OnDownLoadComplete);
  EVENT(OnDownLoadError);
}

THTMLPicture::THTMLPicture() : FDatastream(std::make_unique<TMemoryStream>()) {}

THTMLPicture::~THTMLPicture() = default;

Int64 THTMLPicture::DecodeCount() { return Decodes.load(); }

void THTMLPicture::ResetCounts() {
  FFrameCount = -1;
  FFramesScanned = false;
  FFrames.clear();
  FNextCount = -1;
  FTimerCount = -1;
}

// New data: frames are counted again and the picture is decoded once, here.
void THTMLPicture::DataChanged() {
  ResetCounts();
  FIsEmpty = !RefreshSize();
}

void THTMLPicture::Assign(TPersistent* Source) {
  FIsEmpty = true;
  ResetCounts();
  FFrame = 1;
  if (!Source) {
    FDatastream->Clear();
    gpPicture.reset();
    FWidth = FHeight = 0;
    return;
  }
  if (auto* P = dynamic_cast<THTMLPicture*>(Source)) {
    FStretched = P->FStretched;
    FFrame = P->FFrame;
    FID = P->FID;
    FDatastream->Clear();
    P->FDatastream->SaveToStream(FDatastream.get());
    DataChanged();
    Changed(this);
    return;
  }
  TGraphic* Graphic = dynamic_cast<TGraphic*>(Source);
  if (auto* Holder = dynamic_cast<TPicture*>(Source)) {
    Graphic = Holder->GetGraphic();
    if (!Graphic) {
      FDatastream->Clear();
      gpPicture.reset();
      FWidth = FHeight = 0;
      return;
    }
  }
  if (Graphic) {
    TMemoryStream M;
    Graphic->SaveToStream(&M);
    M.SetPosition(0);
    LoadFromStream(&M);
    return;
  }
  inherited::Assign(Source);
}

void THTMLPicture::LoadFromStream(TStream* Stream) {
  if (!Stream) return;
  FDatastream->Clear();
  FDatastream->LoadFromStream(Stream);
  DataChanged();
  Changed(this);
}

void THTMLPicture::SaveToStream(TStream* Stream) {
  if (Stream && FDatastream->GetSize() > 0) Stream->WriteBuffer(FDatastream->GetMemory(), Integer(FDatastream->GetSize()));
}

void THTMLPicture::ReadData(TStream* Stream) {
  if (!Stream) return;
  FDatastream->Clear();
  Int64 Rest = Stream->GetSize() - Stream->GetPosition();
  if (Rest > 0) FDatastream->CopyFrom(Stream, Rest);
  DataChanged();
}

void THTMLPicture::WriteData(TStream* Stream) { SaveToStream(Stream); }

void THTMLPicture::LoadFromFile(const String& FileName) {
  try {
    TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&F);
  } catch (const Exception&) {
    FIsEmpty = true;
  }
}

void THTMLPicture::LoadFromResourceName(NativeUInt Instance, const String& ResName) {
  if (!FindResourceW(reinterpret_cast<HMODULE>(Instance), ResName.c_str(), MAKEINTRESOURCEW(10))) return;
  TResourceStream R(Instance, ResName, MAKEINTRESOURCEW(10));
  LoadFromStream(&R);
}

void THTMLPicture::LoadFromResourceID(NativeUInt Instance, Integer ResID) {
  TResourceStream R(Instance, ResID, MAKEINTRESOURCEW(10));
  LoadFromStream(&R);
}

namespace {

// A drive path ("C:\x.png") or one from the current drive's root ("\x.png"). Two separators start
// a network path (\\host\share, \\?\UNC\..., //host) or a device; anything else names a host, as
// "file://host/share/x.png" does.
bool IsLocalPicturePath(const String& Path) {
  auto Separator = [&Path](size_t I) { return I < Path.size() && (Path[I] == L'\\' || Path[I] == L'/'); };
  if (Separator(0)) return !Separator(1);
  return Path.size() >= 2 && Path[1] == L':' && ((Path[0] | 0x20) >= L'a' && (Path[0] | 0x20) <= L'z');
}

}  // namespace

void THTMLPicture::LoadFromURL(const String& URL) {
  String Upper = UpperCase(URL);
  if (Upper.rfind(L"RES://", 0) == 0) {
    FID = URL;
    LoadFromResourceName(HInstance(), URL.substr(6));
  } else if (Upper.rfind(L"FILE://", 0) == 0) {
    FID = URL;
    // Opening a path on another machine connects to it and hands it the user's credentials: a
    // picture of the markup comes from this machine or not at all.
    if (IsLocalPicturePath(URL.substr(7)))
      LoadFromFile(URL.substr(7));
    else
      FIsEmpty = true;
  } else if (!FAsynch) {
    FURL = URL;
    FID = URL;
  } else if (!FThreadBusy) {
    FURL = URL;
    FThreadBusy = true;
    TThread::Create<TDownLoadThread>(this);
  }
}

void THTMLPicture::LoadFromClipboardFormat(Word, NativeUInt, HPALETTE) {}
void THTMLPicture::SaveToClipboardFormat(Word&, NativeUInt&, HPALETTE&) {}

bool THTMLPicture::RefreshSize() {
  gpPicture.reset();
  FWidth = FHeight = 0;
  FFrameXPos = FFrameYPos = FFrameXSize = FFrameYSize = 0;
  FAnimMaxX = FAnimMaxY = 0;
  size_t N = size_t(FDatastream->GetSize());
  if (N == 0) return false;
  const Byte* D = static_cast<const Byte*>(FDatastream->GetMemory());
  TGlobalBlock Block;
  Block.H = GlobalAlloc(GMEM_MOVEABLE, N);
  if (!Block.H) throw Exception(L"Could not allocate memory for image");
  Byte* Dest = static_cast<Byte*>(GlobalLock(Block.H));
  if (!Dest) throw Exception(L"Could not allocate memory for image");
  size_t Used = N;
  if (GetFrameCount() >= 1) {
    FAnimMaxX = SmallInt(ReadWord(D + 6));
    FAnimMaxY = SmallInt(ReadWord(D + 8));
    // The wanted frame decodes as the first: the frames before it are left out.
    size_t First = FFrames.front();
    size_t From = FFrame >= 1 && size_t(FFrame) <= FFrames.size() ? FFrames[size_t(FFrame) - 1] : N;
    if (From < N) {
      const Byte* Desc = D + From + 8;
      FFrameXPos = ReadWord(Desc + 1);
      FFrameYPos = ReadWord(Desc + 3);
      FFrameXSize = ReadWord(Desc + 5);
      FFrameYSize = ReadWord(Desc + 7);
    }
    std::memcpy(Dest, D, First);
    std::memcpy(Dest + First, D + From, N - From);
    Used = First + (N - From);
  } else {
    std::memcpy(Dest, D, N);
  }
  GlobalUnlock(Block.H);
  if (Used < N) {
    HGLOBAL Smaller = GlobalReAlloc(Block.H, Used ? Used : 1, GMEM_MOVEABLE);
    if (Smaller) Block.H = Smaller;
  }
  auto Decoded = std::make_unique<TDecoded>();
  // The stream owns the block from here on.
  if (CreateStreamOnHGlobal(Block.H, TRUE, &Decoded->Stream.S) != S_OK) return false;
  Block.H = nullptr;
  ULARGE_INTEGER Size;
  Size.QuadPart = Used;
  Decoded->Stream.S->SetSize(Size);
  ++Decodes;
  Decoded->Image = std::make_unique<TGPImage>(Decoded->Stream.S, false);
  if (!Decoded->Image->NativeImage()) return false;
  FWidth = Integer(Decoded->Image->GetWidth());
  FHeight = Integer(Decoded->Image->GetHeight());
  Decoded->Format = Decoded->Image->GetFormat();
  if (FWidth <= 0 || FHeight <= 0) {
    FWidth = FHeight = 0;
    return false;
  }
  gpPicture = std::move(Decoded);
  return true;
}

void THTMLPicture::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (FIsEmpty || FDatastream->GetSize() == 0 || !gpPicture || !ACanvas) return;
  if (gpPicture->Format == ifBMP || gpPicture->Format == ifMemoryBMP) {
    if (!gpPicture->BitmapTried) {
      gpPicture->BitmapTried = true;
      auto Bmp = std::make_unique<TBitmap>();
      try {
        FDatastream->SetPosition(0);
        ++Decodes;
        Bmp->LoadFromStream(FDatastream.get());
        Bmp->SetTransparentMode(tmAuto);
        Bmp->SetTransparent(true);
        gpPicture->Bitmap = std::move(Bmp);
      } catch (const Exception&) {
      }
    }
    if (gpPicture->Bitmap) {
      ACanvas->StretchDraw(Rect, gpPicture->Bitmap.get());
      return;
    }
    // Data the framework's bitmap cannot read (an icon that GDI+ reports as a bitmap) still
    // draws through GDI+.
  }
  TGPGraphics Graphics(ACanvas->GetHandle());
  Graphics.DrawImageRect(gpPicture->Image.get(), Rect.Left, Rect.Top, Rect.Right - Rect.Left, Rect.Bottom - Rect.Top);
}

void THTMLPicture::SetFrame(Integer Value) {
  FFrame = Value;
  if (FDatastream->GetSize() > 0) {
    RefreshSize();
    DoEvent(FOnFrameChange, this);
  }
}

void THTMLPicture::FrameNext() {
  Integer Count = GetFrameCount();
  if (Count < 1) return;
  SetFrame(FFrame >= Count ? 1 : FFrame + 1);
}

void THTMLPicture::FramePrev() {
  Integer Count = GetFrameCount();
  if (Count < 1) return;
  SetFrame(FFrame <= 1 ? Count : FFrame - 1);
}

bool THTMLPicture::Step() {
  if (FIsEmpty || GetFrameCount() < 2) return false;
  if (FNextCount < 0) {
    FNextCount = std::max<Integer>(GetFrameTime(FFrame), 0);
    FTimerCount = 0;
  }
  if (FTimerCount * 10 < FNextCount) {
    ++FTimerCount;
    return false;
  }
  FrameNext();
  FNextCount += std::max<Integer>(GetFrameTime(FFrame), 0);
  ++FTimerCount;
  return true;
}

Integer THTMLPicture::GetFrameTime(Integer n) {
  if (GetFrameCount() < 1 || n < 1 || n > FFrameCount) return -1;
  const Byte* G = static_cast<const Byte*>(FDatastream->GetMemory()) + FFrames[size_t(n) - 1];
  Byte Packed = G[3];
  FFrameTransp = (Packed & 1) != 0;
  FFrameDisposal = SmallInt((Packed >> 2) & 7);
  return ReadWord(G + 4);
}

bool THTMLPicture::GetIsGIF() {
  return FDatastream->GetSize() >= 5 && std::memcmp(FDatastream->GetMemory(), "GIF8", 4) == 0;
}

Integer THTMLPicture::GetFrameCount() {
  if (!FFramesScanned) {
    FFramesScanned = true;
    if (GetIsGIF()) {
      FFrames = ScanGifFrames(static_cast<const Byte*>(FDatastream->GetMemory()), size_t(FDatastream->GetSize()));
      FFrameCount = Integer(FFrames.size());
    } else {
      FFrameCount = -1;
    }
  }
  return FFrameCount;
}

// ---- THTMLPictureCache ----

THTMLPictureCache::~THTMLPictureCache() { ClearPictures(); }

THTMLPicture* THTMLPictureCache::AddPicture() {
  auto* P = new THTMLPicture();
  Add(P);
  return P;
}

THTMLPicture* THTMLPictureCache::FindPicture(const String& ID) {
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetPicture(I)->GetID() == ID) return GetPicture(I);
  return nullptr;
}

THTMLPicture* THTMLPictureCache::GetPicture(Integer Index) const { return static_cast<THTMLPicture*>(Get(Index)); }

void THTMLPictureCache::SetPicture(Integer Index, THTMLPicture* Value) {
  THTMLPicture* Old = GetPicture(Index);
  if (Old == Value) return;
  Put(Index, Value);
  delete Old;
}

void THTMLPictureCache::ClearPictures() {
  for (Integer I = 0; I < GetCount(); ++I) delete GetPicture(I);
  Clear();
}

bool THTMLPictureCache::Animate() {
  bool Any = false;
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetPicture(I)->Step()) Any = true;
  return Any;
}

// ---- TPictureItem ----

PUBLISHED_DEF(TPictureItem) {
  PROP(Picture);
  PROP(Name);
  PROP(Tag).Default(0);
}

TPictureItem::TPictureItem(TCollection* Collection)
    : TCollectionItem(Collection), FPicture(std::make_unique<THTMLPicture>()) {
  FPicture->SetOnChange({this, &TPictureItem::PictureChanged});
}

TPictureItem::~TPictureItem() = default;

void TPictureItem::PictureChanged(TObject*) { Changed(false); }

void TPictureItem::SetPicture(THTMLPicture* Value) { FPicture->Assign(Value); }

void TPictureItem::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TPictureItem*>(Source)) {
    FPicture->Assign(S->FPicture.get());
    FName = S->FName;
    FTag = S->FTag;
    return;
  }
  inherited::Assign(Source);
}

// ---- TPictureCollection ----

TPictureCollection::TPictureCollection(TPersistent* AOwner)
    : TOwnedCollection(AOwner, TPictureItem::StaticClass()) {}

TPictureItem* TPictureCollection::Add() { return static_cast<TPictureItem*>(TCollection::Add()); }
TPictureItem* TPictureCollection::Insert(Integer Index) { return static_cast<TPictureItem*>(TCollection::Insert(Index)); }
TPictureItem* TPictureCollection::GetItem(Integer Index) const {
  return static_cast<TPictureItem*>(TCollection::GetItem(Index));
}
void TPictureCollection::SetItem(Integer Index, TPictureItem* Value) { TCollection::SetItem(Index, Value); }

bool TPictureCollection::Animate() {
  bool Any = false;
  for (Integer I = 0; I < GetCount(); ++I)
    if (GetItem(I)->GetPicture()->Step()) Any = true;
  return Any;
}

void TPictureCollection::Update(TCollectionItem* Item) {
  inherited::Update(Item);
  if (auto* Store = dynamic_cast<TPictureStore*>(Owner())) Store->Changed();
}

// ---- TPictureStore ----

PUBLISHED_DEF(TPictureStore) {
  PROP(Items);
  PROP(Version);
  EVENT(OnChange);
}

TPictureStore::TPictureStore(TComponent* AOwner)
    : TComponent(AOwner), FItems(std::make_unique<TPictureCollection>(this)) {}

TPictureStore::~TPictureStore() {
  for (TControl* C : FControls) C->RemoveFreeNotification(this);
  FControls.clear();
}

void TPictureStore::SetItems(TPictureCollection* Value) { FItems->Assign(Value); }

String TPictureStore::GetVersion() const {
  constexpr Cardinal Version = 0x02010000;
  return IntToStr(Integer(Version >> 24)) + L"." + IntToStr(Integer((Version >> 16) & 0xFF)) + L"." +
         IntToStr(Integer((Version >> 8) & 0xFF)) + L"." + IntToStr(Integer(Version & 0xFF));
}

THTMLPicture* TPictureStore::FindPicture(const String& Name) {
  for (Integer I = 0; I < FItems->GetCount(); ++I)
    if (AnsiSameText(FItems->GetItem(I)->GetName(), Name)) return FItems->GetItem(I)->GetPicture();
  return nullptr;
}

TPicture* TPictureStore::FindBitmap(const String& Name) {
  THTMLPicture* Found = FindPicture(Name);
  if (!Found) return nullptr;
  auto& Holder = FBitmaps[AnsiUpperCase(Name)];
  if (!Holder) Holder = std::make_unique<TPicture>();
  Holder->SetGraphic(Found);
  return Holder.get();
}

void TPictureStore::RegisterControl(TControl* Control) {
  if (!Control) return;
  for (TControl* C : FControls)
    if (C == Control) return;
  FControls.push_back(Control);
  Control->FreeNotification(this);
}

void TPictureStore::UnRegisterControl(TControl* Control) {
  auto It = std::find(FControls.begin(), FControls.end(), Control);
  if (It == FControls.end()) return;
  FControls.erase(It);
  Control->RemoveFreeNotification(this);
}

void TPictureStore::Changed() {
  for (TControl* C : FControls) C->Invalidate();
  DoEvent(FOnChange, this);
}

void TPictureStore::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == opRemove)
    for (size_t I = 0; I < FControls.size(); ++I)
      if (FControls[I] == AComponent) {
        FControls.erase(FControls.begin() + ptrdiff_t(I));
        break;
      }
}

// ---- TDownLoadThread ----

TDownLoadThread::TDownLoadThread(THTMLPicture* HTMLPicture) : TThread(false), FHTMLPicture(HTMLPicture) {
  SetFreeOnTerminate(true);
}

// ---- GetDPIScale ----

double GetDPIScale(TControl* Control) {
  double Scale = 1.0;
  TCustomForm* Form = Control ? GetParentForm(Control) : nullptr;
  if (Form && Form->GetScaled()) {
    if (TMonitor* M = Form->GetMonitor()) Scale = M->GetPixelsPerInch() / 96.0;
  }
  return Scale == 0 ? 1.0 : Scale;
}
