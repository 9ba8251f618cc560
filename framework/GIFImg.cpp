#include "framework/GIFImg.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "framework/WinApi.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/StreamIO.h"

using namespace fw_graphics;

namespace {

const size_t MaxPixels = size_t(1) << 26;
const size_t MaxTotalBytes = size_t(1) << 26;

// Raised inside the parser when the data stops or breaks; the frames read so far are kept.
struct TGIFDamage {
  const wchar_t* Problem;
};

// Decodes the LZW image data into Count colour indices; stops quietly at the end code, at
// the end of the data or at a code that cannot be; pixels never reached stay 0.
void DecodeLZW(const Byte* Data, size_t Size, Integer MinCodeSize, Byte* Out, size_t Count) {
  if (MinCodeSize < 1 || MinCodeSize > 11) throw TGIFDamage{L"the image data is damaged"};
  const int Clear = 1 << MinCodeSize, End = Clear + 1;
  static thread_local Word Prefix[4096];
  static thread_local Byte Suffix[4096];
  static thread_local Byte Stack[4097];
  for (int I = 0; I < Clear; ++I) Suffix[I] = Byte(I);
  int CodeSize = MinCodeSize + 1, Next = Clear + 2, Old = -1;
  Byte First = 0;
  size_t Pos = 0, Done = 0;
  UInt64 Bits = 0;
  int BitCount = 0;
  while (Done < Count) {
    while (BitCount < CodeSize && Pos < Size) {
      Bits |= UInt64(Data[Pos++]) << BitCount;
      BitCount += 8;
    }
    if (BitCount < CodeSize) return;
    int Code = int(Bits & ((1u << CodeSize) - 1));
    Bits >>= CodeSize;
    BitCount -= CodeSize;
    if (Code == Clear) {
      CodeSize = MinCodeSize + 1;
      Next = Clear + 2;
      Old = -1;
      continue;
    }
    if (Code == End) return;
    if (Old < 0) {
      if (Code >= Clear) return;
      Out[Done++] = First = Byte(Code);
      Old = Code;
      continue;
    }
    int In = Code, Top = 0;
    if (Code >= Next) {
      if (Code > Next) return;  // a code from nowhere: the data is damaged
      Stack[Top++] = First;
      Code = Old;
    }
    while (Code >= Clear && Top < 4096) {
      Stack[Top++] = Suffix[Code];
      Code = Prefix[Code];
    }
    First = Suffix[Code];
    Stack[Top++] = First;
    while (Top > 0 && Done < Count) Out[Done++] = Stack[--Top];
    if (Next < 4096) {
      Prefix[Next] = Word(Old);
      Suffix[Next] = First;
      if (++Next == (1 << CodeSize) && CodeSize < 12) ++CodeSize;
    }
    Old = In;
  }
}

std::vector<Cardinal> ReadColorTable(const Byte* D, size_t N, size_t& Pos, int SizeBits) {
  size_t Count = size_t(2) << SizeBits;
  if (N - Pos < Count * 3) throw TGIFDamage{L"the data ends too early"};
  std::vector<Cardinal> C(Count);
  for (size_t I = 0; I < Count; ++I, Pos += 3) C[I] = Cardinal(D[Pos]) << 16 | Cardinal(D[Pos + 1]) << 8 | D[Pos + 2];
  return C;
}

// The sub-blocks that follow an extension or an image, joined.
TBytes ReadSubBlocks(const Byte* D, size_t N, size_t& Pos) {
  TBytes Out;
  for (;;) {
    if (Pos >= N) throw TGIFDamage{L"the data ends too early"};
    size_t Len = D[Pos++];
    if (Len == 0) return Out;
    if (N - Pos < Len) throw TGIFDamage{L"the data ends too early"};
    Out.insert(Out.end(), D + Pos, D + Pos + Len);
    Pos += Len;
  }
}

// Decodes a frame into F.Pixels, keeping only the part inside the logical screen (the rest is
// never seen); Budget is what is left for all frames and shrinks by what this one keeps. The
// decoding buffer is no larger than the LZW data can fill: pixels the data never reaches are 0.
void StoreFrame(TGIFFrame& F, Integer ScreenW, Integer ScreenH, Integer MinCode, const TBytes& Lzw, size_t& Budget) {
  if (MinCode < 1 || MinCode > 11) throw TGIFDamage{L"the image data is damaged"};
  const Integer W = F.Width, H = F.Height;
  Integer X0 = 0, Y0 = 0, X1 = W, Y1 = H;  // the kept part, in frame coordinates
  if (ScreenW > 0 && ScreenH > 0) {
    X0 = std::clamp(-F.Left, 0, W);
    Y0 = std::clamp(-F.Top, 0, H);
    X1 = std::clamp(ScreenW - F.Left, X0, W);
    Y1 = std::clamp(ScreenH - F.Top, Y0, H);
  }
  const size_t KeptW = size_t(X1 - X0), KeptH = size_t(Y1 - Y0), Kept = KeptW * KeptH;
  if (Kept > MaxPixels) throw TGIFDamage{L"a frame is too large"};
  size_t Cost = Kept + F.ColorMap.size() * sizeof(Cardinal);
  if (Cost > Budget) throw TGIFDamage{L"the frames are too large"};
  Budget -= Cost;
  // Each code is at least MinCode + 1 bits and yields at most 4096 pixels.
  size_t Codes = Lzw.size() * 8 / size_t(MinCode + 1);
  size_t Decoded = std::min({size_t(W) * H, Codes * 4096, MaxPixels});
  std::vector<Byte> Raw(Decoded, 0);
  DecodeLZW(Lzw.data(), Lzw.size(), MinCode, Raw.data(), Decoded);
  // The stored row of each frame row: interlaced images store every 8th row first, and so on.
  std::vector<Integer> StoredRow(static_cast<size_t>(H));
  if (F.Interlaced && H > 1) {
    static const int Starts[4] = {0, 4, 2, 1}, Steps[4] = {8, 8, 4, 2};
    Integer Row = 0;
    for (int P = 0; P < 4; ++P)
      for (Integer Y = Starts[P]; Y < H; Y += Steps[P]) StoredRow[size_t(Y)] = Row++;
  } else {
    for (Integer Y = 0; Y < H; ++Y) StoredRow[size_t(Y)] = Y;
  }
  F.Pixels.assign(Kept, 0);
  for (Integer Y = Y0; Y < Y1; ++Y) {
    size_t From = size_t(StoredRow[size_t(Y)]) * W + X0;
    if (From >= Decoded) continue;
    size_t Len = std::min(KeptW, Decoded - From);
    std::memcpy(F.Pixels.data() + size_t(Y - Y0) * KeptW, Raw.data() + From, Len);
  }
  F.Left += X0;
  F.Top += Y0;
  F.Width = Integer(KeptW);
  F.Height = Integer(KeptH);
}

// ---- The default animation timer: SetTimer without a window, dispatched by the message loop.

std::map<UINT_PTR, class TThreadTimer*>& ThreadTimers() {
  static std::map<UINT_PTR, TThreadTimer*> M;
  return M;
}

class TThreadTimer : public TAnimationTimer {
 public:
  explicit TThreadTimer(std::function<void()> OnTick) : FOnTick(std::move(OnTick)) {}
  ~TThreadTimer() override { Stop(); }
  void Start(Cardinal Interval) override {
    Stop();
    FId = SetTimer(nullptr, 0, Interval, &TThreadTimer::Proc);
    if (FId) ThreadTimers()[FId] = this;
  }
  void Stop() override {
    if (!FId) return;
    KillTimer(nullptr, FId);
    ThreadTimers().erase(FId);
    FId = 0;
  }

 private:
  static void CALLBACK Proc(HWND, UINT, UINT_PTR Id, DWORD) {
    auto It = ThreadTimers().find(Id);
    if (It == ThreadTimers().end()) {
      KillTimer(nullptr, Id);
      return;
    }
    TThreadTimer* T = It->second;
    T->Stop();
    T->FOnTick();
  }
  std::function<void()> FOnTick;
  UINT_PTR FId = 0;
};

std::unique_ptr<TAnimationTimer> MakeThreadTimer(std::function<void()> OnTick) {
  return std::make_unique<TThreadTimer>(std::move(OnTick));
}

}  // namespace

TAnimationTimerFactory AnimationTimerFactory = &MakeThreadTimer;

TGIFImage::TGIFImage() = default;

TGIFImage::~TGIFImage() { FTimer.reset(); }

bool TGIFImage::CanLoadFromData(const Byte* Data, size_t Size) {
  return Size >= 6 && std::memcmp(Data, "GIF8", 4) == 0 && (Data[4] == '7' || Data[4] == '9') && Data[5] == 'a';
}

void TGIFImage::Clear() {
  SetAnimate(false);
  FData.clear();
  FFrames.clear();
  FWidth = FHeight = 0;
  FBackgroundColor = 0;
  FLoopCount = -1;
  FTruncated = false;
  FCurrentFrame = 0;
  FLoopsDone = 0;
  FScreen.clear();
  FSaved.clear();
  FComposed = -1;
  FRendered.reset();
  FRenderedFrame = -1;
}

void TGIFImage::Parse(const Byte* D, size_t N, size_t& Used) {
  const wchar_t* Fmt = L"GIF";
  if (N < 6 || !CanLoadFromData(D, N)) InvalidGraphic(Fmt, L"it does not start with \"GIF87a\" or \"GIF89a\"");
  if (N < 13) InvalidGraphic(Fmt, L"the data ends too early");
  Integer ScreenW = GetWord(D + 6), ScreenH = GetWord(D + 8);
  Byte Packed = D[10], BgIndex = D[11];
  size_t Pos = 13;
  std::vector<Cardinal> Global;
  TGIFFrame Pending;  // carries the graphic control extension to the next image
  // What all frames together may keep: a few bytes of data must not claim gigabytes.
  size_t Budget = MaxTotalBytes;
  const wchar_t* Damage = nullptr;
  try {
    if (Packed & 0x80) {
      Global = ReadColorTable(D, N, Pos, Packed & 7);
      if (BgIndex < Global.size()) FBackgroundColor = Global[BgIndex];
    }
    for (;;) {
      if (Pos >= N) throw TGIFDamage{L"the data ends too early"};
      Byte Block = D[Pos++];
      if (Block == 0x3B) break;
      if (Block == 0x21) {
        if (Pos >= N) throw TGIFDamage{L"the data ends too early"};
        Byte Label = D[Pos++];
        TBytes Body = ReadSubBlocks(D, N, Pos);
        if (Label == 0xF9 && Body.size() >= 4) {
          Pending.Disposal = TDisposalMethod(std::min(3, (Body[0] >> 2) & 7));
          Pending.Transparent = Body[0] & 1;
          Pending.Delay = GetWord(Body.data() + 1);
          Pending.TransparentIndex = Body[3];
        } else if (Label == 0xFF && Body.size() >= 14 &&
                   (std::memcmp(Body.data(), "NETSCAPE2.0", 11) == 0 || std::memcmp(Body.data(), "ANIMEXTS1.0", 11) == 0) &&
                   Body[11] == 1) {
          FLoopCount = GetWord(Body.data() + 12);
        }
        continue;
      }
      if (Block != 0x2C) throw TGIFDamage{L"an unknown block was found"};
      if (N - Pos < 9) throw TGIFDamage{L"the data ends too early"};
      TGIFFrame F = Pending;
      Pending = TGIFFrame();
      F.Left = GetWord(D + Pos);
      F.Top = GetWord(D + Pos + 2);
      F.Width = GetWord(D + Pos + 4);
      F.Height = GetWord(D + Pos + 6);
      Byte FP = D[Pos + 8];
      Pos += 9;
      F.Interlaced = FP & 0x40;
      F.ColorMap = (FP & 0x80) ? ReadColorTable(D, N, Pos, FP & 7) : Global;
      if (Pos >= N) throw TGIFDamage{L"the data ends too early"};
      Integer MinCode = D[Pos++];
      TBytes Lzw = ReadSubBlocks(D, N, Pos);
      StoreFrame(F, ScreenW, ScreenH, MinCode, Lzw, Budget);
      FFrames.push_back(std::move(F));
    }
  } catch (const TGIFDamage& E) {
    Damage = E.Problem;
  }
  if (Damage) {
    if (FFrames.empty()) InvalidGraphic(Fmt, Damage);
    FTruncated = true;
  }
  if (FFrames.empty()) InvalidGraphic(Fmt, L"it holds no image");
  // A screen of size 0 takes the extent of the frames.
  if (ScreenW == 0 || ScreenH == 0)
    for (const auto& F : FFrames) {
      ScreenW = std::max(ScreenW, F.Left + F.Width);
      ScreenH = std::max(ScreenH, F.Top + F.Height);
    }
  if (size_t(ScreenW) * ScreenH > MaxPixels || ScreenW == 0 || ScreenH == 0) InvalidGraphic(Fmt, L"the size is not valid");
  FWidth = ScreenW;
  FHeight = ScreenH;
  Used = std::min(Pos, N);
}

void TGIFImage::LoadFromStream(TStream* Stream) {
  Int64 Start;
  TBytes Data = ReadToEnd(Stream, Start);
  Clear();
  size_t Used = 0;
  try {
    Parse(Data.data(), Data.size(), Used);
  } catch (...) {
    Clear();
    Changed(this);
    throw;
  }
  Data.resize(Used);
  FData = std::move(Data);
  SetStreamPosition(Stream, Start + Int64(Used));
  Changed(this);
}

void TGIFImage::SaveToStream(TStream* Stream) { WriteBytes(Stream, FData); }

void TGIFImage::Assign(TPersistent* Source) {
  if (!Source) {
    Clear();
    Changed(this);
    return;
  }
  if (auto* G = dynamic_cast<TGIFImage*>(Source)) {
    if (G == this) return;
    Clear();
    if (!G->FData.empty()) {
      size_t Used;
      Parse(G->FData.data(), G->FData.size(), Used);
      FData = G->FData;
    }
    FAnimationSpeed = G->FAnimationSpeed;
    FAnimateLoop = G->FAnimateLoop;
    SetTransparent(G->GetTransparent());
    Changed(this);
    return;
  }
  inherited::Assign(Source);
}

// Composes frames 0..Index onto the screen, continuing from what is composed when it can.
void TGIFImage::RenderTo(Integer Index) {
  size_t ScreenSize = size_t(FWidth) * FHeight;
  if (FComposed < 0 || Index < FComposed) {
    FScreen.assign(ScreenSize, 0);
    FSaved.clear();
    FComposed = -1;
  }
  while (FComposed < Index) {
    if (FComposed >= 0) {
      // The previous frame leaves as its disposal says.
      const TGIFFrame& P = FFrames[FComposed];
      if (P.Disposal == dmBackground) {
        for (Integer Y = std::max(0, P.Top); Y < std::min(FHeight, P.Top + P.Height); ++Y)
          for (Integer X = std::max(0, P.Left); X < std::min(FWidth, P.Left + P.Width); ++X)
            FScreen[size_t(Y) * FWidth + X] = 0;
      } else if (P.Disposal == dmPrevious && FSaved.size() == ScreenSize) {
        FScreen = FSaved;
      }
    }
    const TGIFFrame& F = FFrames[++FComposed];
    if (F.Disposal == dmPrevious) FSaved = FScreen;
    for (Integer Y = 0; Y < F.Height; ++Y) {
      Integer SY = F.Top + Y;
      if (SY < 0 || SY >= FHeight) continue;
      for (Integer X = 0; X < F.Width; ++X) {
        Integer SX = F.Left + X;
        if (SX < 0 || SX >= FWidth) continue;
        Byte I = F.Pixels[size_t(Y) * F.Width + X];
        if (F.Transparent && I == F.TransparentIndex) continue;
        FScreen[size_t(SY) * FWidth + SX] = 0xFF000000 | (I < F.ColorMap.size() ? F.ColorMap[I] : 0);
      }
    }
  }
}

std::vector<Cardinal> TGIFImage::GetFramePixels(Integer Index) {
  if (Index < 0 || Index >= Integer(FFrames.size())) return {};
  RenderTo(Index);
  return FScreen;
}

TBitmap* TGIFImage::Rendered() {
  if (FFrames.empty()) return nullptr;
  if (!FRendered || FRenderedFrame != FCurrentFrame || FRenderedTransparent != GetTransparent()) {
    RenderTo(FCurrentFrame);
    std::vector<Cardinal> P = FScreen;
    if (!GetTransparent())
      for (auto& C : P)
        if (!(C >> 24)) C = 0xFF000000 | FBackgroundColor;
    if (!FRendered) FRendered = std::make_unique<TBitmap>();
    // Alpha is 0 or 255 only, so the pixels are already premultiplied once the clear ones are 0.
    FRendered->SetPixelsBGRA(FWidth, FHeight, P.data(), afPremultiplied);
    FRenderedFrame = FCurrentFrame;
    FRenderedTransparent = GetTransparent();
  }
  return FRendered.get();
}

void TGIFImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (TBitmap* B = Rendered()) ACanvas->StretchDraw(Rect, B);
}

void TGIFImage::AssignTo(TPersistent* Dest) {
  if (auto* B = dynamic_cast<TBitmap*>(Dest)) {
    TBitmap* R = Rendered();
    if (!R) {
      B->Assign(nullptr);
      return;
    }
    B->Assign(R);
    B->SetAlphaFormat(afDefined);
    return;
  }
  inherited::AssignTo(Dest);
}

void TGIFImage::SetCurrentFrame(Integer Index) {
  if (FFrames.empty()) return;
  Index = std::clamp(Index, 0, Integer(FFrames.size()) - 1);
  if (Index == FCurrentFrame) return;
  FCurrentFrame = Index;
  Changed(this);
  DoEvent(FOnPaint, this);
}

Cardinal TGIFImage::GetFrameDelay() const {
  if (FFrames.empty()) return 0;
  // Browsers show frames of no delay (or 10 ms) for 100 ms; so do we.
  Cardinal D = Cardinal(FFrames[FCurrentFrame].Delay) * 10;
  if (D < 20) D = 100;
  return D * 100 / Cardinal(std::max(1, FAnimationSpeed));
}

void TGIFImage::NextFrame() {
  Integer Count = Integer(FFrames.size());
  if (Count == 0) return;
  Integer Next = FCurrentFrame + 1;
  if (Next >= Count) {
    bool Again = FAnimateLoop == glContinously ||
                 (FAnimateLoop == glEnabled && (FLoopCount <= 0 || FLoopsDone < FLoopCount));
    if (!Again) {
      SetAnimate(false);
      return;
    }
    ++FLoopsDone;
    Next = 0;
  }
  FCurrentFrame = Next;
  Changed(this);
  DoEvent(FOnPaint, this);
}

void TGIFImage::Tick() {
  NextFrame();
  if (FAnimate && FTimer) FTimer->Start(GetFrameDelay());
}

void TGIFImage::SetAnimate(bool Value) {
  if (Value == FAnimate) return;
  FAnimate = Value;
  if (!Value) {
    if (FTimer) FTimer->Stop();
    return;
  }
  FLoopsDone = 0;
  if (FFrames.size() < 2 || !AnimationTimerFactory) return;
  if (!FTimer) FTimer = AnimationTimerFactory([this] { Tick(); });
  FTimer->Start(GetFrameDelay());
}

void TGIFImage::SetAnimationSpeed(Integer Value) {
  Value = std::clamp(Value, 0, 1000);
  if (Value == FAnimationSpeed) return;
  FAnimationSpeed = Value;
  if (FAnimate && FTimer) FTimer->Start(GetFrameDelay());
}
