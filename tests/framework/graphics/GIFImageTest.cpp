#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/GIFImg.h"
#include "framework/Graphics.h"
#include "framework/WinApi.h"

namespace {

#include "fixtures/anim_gif.inc"
#include "fixtures/noise_gif.inc"
#include "fixtures/noise_interlaced_gif.inc"
#include "fixtures/noise_rgb.inc"

void Load(TGIFImage& G, const unsigned char* Data, size_t Size) {
  TMemoryStream M;
  if (Size) M.WriteBuffer(Data, Integer(Size));
  M.SetPosition(0);
  G.LoadFromStream(&M);
}

constexpr Cardinal Red = 0xFFFF0000, Blue = 0xFF0000FF, Lime = 0xFF00FF00, Clear = 0;

TEST(GIFImage, ReadsEveryFrameWithDelaysDisposalAndTransparency) {
  TGIFImage G;
  Load(G, anim_gif, anim_gif_len);
  ASSERT_EQ(G.GetImages().size(), 3u);
  EXPECT_EQ(G.GetWidth(), 8);
  EXPECT_EQ(G.GetHeight(), 8);
  EXPECT_EQ(G.GetLoopCount(), 0);
  EXPECT_FALSE(G.GetTruncated());
  struct Expect {
    Integer Delay;
    TDisposalMethod Disposal;
    bool Transparent;
  };
  const Expect Frames[] = {{10, dmNoDisposal, false}, {20, dmBackground, true}, {30, dmPrevious, true}};
  for (size_t I = 0; I < 3; ++I) {
    EXPECT_EQ(G.GetImages()[I].Delay, Frames[I].Delay) << I;
    EXPECT_EQ(G.GetImages()[I].Disposal, Frames[I].Disposal) << I;
    EXPECT_EQ(G.GetImages()[I].Transparent, Frames[I].Transparent) << I;
  }
}

TEST(GIFImage, ComposesFramesAsTheirDisposalSays) {
  TGIFImage G;
  Load(G, anim_gif, anim_gif_len);
  struct Probe {
    Integer Frame, X, Y;
    Cardinal Pixel;
  };
  const Probe Probes[] = {
      {0, 0, 0, Red},  {0, 7, 7, Red},  {1, 0, 0, Red},   {1, 3, 3, Blue},  {1, 5, 5, Blue},
      {1, 6, 6, Red},  {2, 0, 0, Lime}, {2, 3, 3, Clear}, {2, 7, 7, Clear}, {0, 3, 3, Red},
  };
  for (const auto& P : Probes) EXPECT_EQ(G.GetFramePixels(P.Frame)[P.Y * 8 + P.X], P.Pixel) << P.Frame << " " << P.X << "," << P.Y;
}

TEST(GIFImage, DecodesLargeCodeTablesAndInterlacing) {
  TGIFImage Plain, Interlaced;
  Load(Plain, noise_gif, noise_gif_len);
  Load(Interlaced, noise_interlaced_gif, noise_interlaced_gif_len);
  ASSERT_EQ(noise_rgb_len, 40u * 30 * 3);
  ASSERT_EQ(Plain.GetWidth(), 40);
  ASSERT_EQ(Plain.GetHeight(), 30);
  EXPECT_FALSE(Plain.GetImages()[0].Interlaced);
  EXPECT_TRUE(Interlaced.GetImages()[0].Interlaced);
  auto P = Plain.GetFramePixels(0);
  int Wrong = 0;
  for (size_t I = 0; I < 40 * 30; ++I) {
    Cardinal Want = 0xFF000000 | Cardinal(noise_rgb[3 * I]) << 16 | Cardinal(noise_rgb[3 * I + 1]) << 8 | noise_rgb[3 * I + 2];
    Wrong += P[I] != Want;
  }
  EXPECT_EQ(Wrong, 0);
  EXPECT_EQ(Interlaced.GetFramePixels(0), P);
}

TEST(GIFImage, TruncatedFilesKeepTheFramesReadOrRaise) {
  // Cut at every length: either an error or the frames complete before the cut, never more.
  for (size_t Cut = 0; Cut < anim_gif_len; ++Cut) {
    TGIFImage G;
    try {
      Load(G, anim_gif, Cut);
      EXPECT_TRUE(G.GetTruncated()) << Cut;
      EXPECT_LE(G.GetImages().size(), 3u);
      EXPECT_EQ(G.GetFramePixels(0)[0], Red);
    } catch (const EInvalidGraphic&) {
      EXPECT_TRUE(G.GetEmpty());
    }
  }
  const std::pair<size_t, size_t> Cases[] = {{66, 1}, {anim_gif_len - 1, 3}};  // before the second frame; no trailer
  for (auto [Cut, Frames] : Cases) {
    TGIFImage G;
    Load(G, anim_gif, Cut);
    EXPECT_EQ(G.GetImages().size(), Frames) << Cut;
  }
  TGIFImage G;
  EXPECT_THROW(Load(G, anim_gif, 12), EInvalidGraphic);
  EXPECT_THROW(Load(G, anim_gif, 0), EInvalidGraphic);
}

TEST(GIFImage, DamagedBytesNeverCrash) {
  std::vector<Byte> D(noise_gif, noise_gif + noise_gif_len);
  UInt64 Seed = 12345;
  for (int Round = 0; Round < 200; ++Round) {
    auto Copy = D;
    for (int K = 0; K < 4; ++K) {
      Seed = Seed * 6364136223846793005ull + 1442695040888963407ull;
      Copy[13 + (Seed >> 33) % (Copy.size() - 13)] = Byte(Seed >> 24);
    }
    TGIFImage G;
    try {
      Load(G, Copy.data(), Copy.size());
      for (size_t F = 0; F < G.GetImages().size(); ++F) G.GetFramePixels(Integer(F));
    } catch (const EInvalidGraphic&) {
    }
  }
}

TEST(GIFImage, DrawsTheCurrentFrameWithTransparency) {
  TGIFImage G;
  Load(G, anim_gif, anim_gif_len);
  G.SetTransparent(true);
  TBitmap B;
  B.SetSize(8, 8);
  auto Paint = [&] {
    B.GetCanvas()->GetBrush()->SetColor(clGreen);
    B.GetCanvas()->FillRect(Rect(0, 0, 8, 8));
    B.GetCanvas()->Draw(0, 0, &G);
  };
  G.SetCurrentFrame(1);
  Paint();
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 0), clRed);
  EXPECT_EQ(B.GetCanvas()->GetPixel(3, 3), clBlue);
  G.SetCurrentFrame(2);
  Paint();
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 0), clLime);
  EXPECT_EQ(B.GetCanvas()->GetPixel(3, 3), clGreen);
  G.SetTransparent(false);  // clear pixels take the background colour
  Paint();
  EXPECT_EQ(B.GetCanvas()->GetPixel(3, 3), clRed);
}

TEST(GIFImage, NextFrameFollowsTheLoopRules) {
  TGIFImage G;
  Load(G, anim_gif, anim_gif_len);
  int Paints = 0, Changes = 0;
  G.SetOnPaint([&](TObject*) { ++Paints; });
  G.SetOnChange([&](TObject*) { ++Changes; });
  std::vector<Integer> Seen;
  for (int I = 0; I < 5; ++I) {
    G.NextFrame();
    Seen.push_back(G.GetCurrentFrame());
  }
  EXPECT_EQ(Seen, (std::vector<Integer>{1, 2, 0, 1, 2}));  // loop count 0: for ever
  EXPECT_EQ(Paints, 5);
  EXPECT_EQ(Changes, 5);
  G.SetAnimateLoop(glDisabled);
  G.NextFrame();  // at the end: stays
  EXPECT_EQ(G.GetCurrentFrame(), 2);
  EXPECT_FALSE(G.GetAnimate());
}

TEST(GIFImage, AnimationSpeedStretchesTheDelays) {
  TGIFImage G;
  Load(G, anim_gif, anim_gif_len);
  EXPECT_EQ(G.GetFrameDelay(), 100u);
  G.SetAnimationSpeed(50);  // half the recorded speed
  EXPECT_EQ(G.GetFrameDelay(), 200u);
  G.SetCurrentFrame(2);
  EXPECT_EQ(G.GetFrameDelay(), 600u);
}

// A timer the test fires by hand.
struct FakeTimer : TAnimationTimer {
  static inline std::vector<Cardinal> Starts;
  static inline std::function<void()> Tick;
  explicit FakeTimer(std::function<void()> T) { Tick = std::move(T); }
  void Start(Cardinal Interval) override { Starts.push_back(Interval); }
  void Stop() override { Starts.push_back(0); }
};

TEST(GIFImage, AnimateDrivesFramesThroughTheTimer) {
  auto Saved = AnimationTimerFactory;
  AnimationTimerFactory = [](std::function<void()> T) -> std::unique_ptr<TAnimationTimer> {
    return std::make_unique<FakeTimer>(std::move(T));
  };
  FakeTimer::Starts.clear();
  {
    TGIFImage G;
    Load(G, anim_gif, anim_gif_len);
    G.SetAnimationSpeed(50);
    G.SetAnimate(true);
    FakeTimer::Tick();
    FakeTimer::Tick();
    EXPECT_EQ(G.GetCurrentFrame(), 2);
    EXPECT_EQ(FakeTimer::Starts, (std::vector<Cardinal>{200, 400, 600}));
    G.SetAnimate(false);
    EXPECT_EQ(FakeTimer::Starts.back(), 0u);
  }
  AnimationTimerFactory = Saved;
}

TEST(GIFImage, DefaultTimerAdvancesFromTheMessageLoop) {
  TGIFImage G;
  Load(G, anim_gif, anim_gif_len);
  G.SetAnimationSpeed(1000);
  G.SetAnimate(true);
  DWORD Until = GetTickCount() + 3000;
  MSG Msg;
  while (G.GetCurrentFrame() == 0 && GetTickCount() < Until) {
    while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&Msg);
    Sleep(5);
  }
  EXPECT_NE(G.GetCurrentFrame(), 0);
  G.SetAnimate(false);
}

TEST(GIFImage, SavesTheFileItLoaded) {
  TGIFImage G;
  Load(G, anim_gif, anim_gif_len);
  TMemoryStream M;
  G.SaveToStream(&M);
  ASSERT_EQ(M.GetSize(), Int64(anim_gif_len));
  EXPECT_EQ(std::memcmp(M.GetMemory(), anim_gif, anim_gif_len), 0);
  TGIFImage H;
  H.Assign(&G);
  EXPECT_EQ(H.GetImages().size(), 3u);
  TBitmap B;
  B.Assign(&G);
  EXPECT_EQ(B.GetPixelFormat(), pf32bit);
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 0), clRed);
}

}  // namespace
