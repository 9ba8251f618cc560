// 10,000 paints of a label-sized picture: a THTMLPicture keeps its decoded image, so painting
// decodes nothing and leaks nothing. For contrast, paints that decode the bytes each time.
#include <chrono>
#include <cstdio>
#include <memory>

#include "framework/Graphics.h"
#include "framework/WinShell.h"
#include "framework/graphics/GdiPlusCodec.h"
#include <psapi.h>
#include <shlwapi.h>
#include "htmllabel/GdipObjects.h"
#include "htmllabel/PictureStore.h"

namespace {

constexpr int Paints = 10000;
constexpr Integer W = 320, H = 64;

// Committed private memory and working set of the process (what Wine reports of it).
struct TUsage {
  size_t CommitKiB, WorkingKiB;
  static TUsage Now() {
    PROCESS_MEMORY_COUNTERS C{};
    C.cb = sizeof(C);
    GetProcessMemoryInfo(GetCurrentProcess(), &C, sizeof(C));
    return {C.PagefileUsage / 1024, C.WorkingSetSize / 1024};
  }
};

TBytes PictureBytes(const wchar_t* Mime) {
  std::vector<Cardinal> Pixels(size_t(W) * H);
  for (Integer Y = 0; Y < H; ++Y)
    for (Integer X = 0; X < W; ++X) Pixels[size_t(Y) * W + X] = 0xFF000000u | Cardinal(X * 255 / W) << 16 | Cardinal(Y * 4) << 8 | 0x60;
  return fw_graphics::GdiPlusEncode(Mime, W, H, Pixels.data(), 90);
}

void Report(const char* What, int Count, double Ms, Int64 Decodes, const TUsage& Before, const TUsage& After) {
  std::printf("  %6d paints, %-22s %8.1f ms %8.2f us/paint  decodes %6lld  commit %6zu -> %6zu KiB  working set %6zu -> %6zu KiB\n",
              Count, What, Ms, Ms * 1000 / Count, static_cast<long long>(Decodes), Before.CommitKiB, After.CommitKiB,
              Before.WorkingKiB, After.WorkingKiB);
}

void PaintHTMLPicture(const char* Name, const TBytes& Data, TCanvas* Canvas) {
  THTMLPicture Pic;
  TMemoryStream M;
  M.WriteBuffer(Data.data(), Integer(Data.size()));
  M.SetPosition(0);
  Int64 D0 = THTMLPicture::DecodeCount();
  Pic.LoadFromStream(&M);
  Int64 DLoaded = THTMLPicture::DecodeCount();
  Pic.Draw(Canvas, Rect(0, 0, W, H));  // the first paint may make what it keeps
  TUsage Before = TUsage::Now();
  Int64 D1 = THTMLPicture::DecodeCount();
  auto T0 = std::chrono::steady_clock::now();
  for (int I = 0; I < Paints; ++I) Pic.Draw(Canvas, Rect(0, 0, W, H));
  double Ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - T0).count();
  TUsage After = TUsage::Now();
  std::printf("%s: %lld decode(s) on load, %lld on the first paint\n", Name, static_cast<long long>(DLoaded - D0),
              static_cast<long long>(D1 - DLoaded));
  Report("THTMLPicture", Paints, Ms, THTMLPicture::DecodeCount() - D1, Before, After);
}

// A tenth of the paints: decoding each time is slow enough to show with fewer.
void PaintDecodingEachTime(const TBytes& Data, TCanvas* Canvas) {
  constexpr int Count = Paints / 10;
  TUsage Before = TUsage::Now();
  auto T0 = std::chrono::steady_clock::now();
  for (int I = 0; I < Count; ++I) {
    IStream* S = SHCreateMemStream(Data.data(), UINT(Data.size()));
    {
      TGPImage Image(S);
      TGPGraphics G(Canvas->GetHandle());
      G.DrawImageRect(&Image, 0, 0, W, H);
    }
    S->Release();
  }
  double Ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - T0).count();
  Report("decoding each time", Count, Ms, Count, Before, TUsage::Now());
}

}  // namespace

int main() {
  if (InitializeGdipObjects() != Ok) {
    std::printf("GDI+ did not start\n");
    return 1;
  }
  {
    TBitmap Label;
    Label.SetPixelFormat(pf24bit);
    Label.SetSize(W, H);
    TBytes Png = PictureBytes(L"image/png");
    TBytes Jpeg = PictureBytes(L"image/jpeg");
    std::printf("picture %dx%d, %d paints into a %dx%d label bitmap\n", W, H, Paints, W, H);
    PaintHTMLPicture("PNG", Png, Label.GetCanvas());
    PaintDecodingEachTime(Png, Label.GetCanvas());
    PaintHTMLPicture("JPEG", Jpeg, Label.GetCanvas());
    PaintDecodingEachTime(Jpeg, Label.GetCanvas());
  }
  FinalizeGdipObjects();
  return 0;
}
