#pragma once
// TGIFImage: a GIF picture with all its frames, their delays, disposal and transparency, and
// its animation. The animation advances on a timer of the UI thread; the timer is abstract
// (AnimationTimerFactory) so that the controls layer can drive it, and a thread timer of the
// message loop is used until it does. Drawing shows the current frame.

#include <functional>
#include <memory>
#include <vector>

#include "framework/graphics/Graphic.h"

class TBitmap;

enum TDisposalMethod { dmNone, dmNoDisposal, dmBackground, dmPrevious };
enum TGIFAnimationLoop { glDisabled, glEnabled, glContinously };

struct TGIFFrame {
  Integer Left = 0, Top = 0, Width = 0, Height = 0;
  Integer Delay = 0;  // hundredths of a second
  TDisposalMethod Disposal = dmNone;
  bool Transparent = false;
  Byte TransparentIndex = 0;
  bool Interlaced = false;
  std::vector<Cardinal> ColorMap;  // the frame's own table or the global one (BGR)
  std::vector<Byte> Pixels;        // colour indices, Width * Height, top row first
};

// A one-shot timer on the UI thread: OnTick runs once Interval milliseconds after Start.
class TAnimationTimer {
 public:
  virtual ~TAnimationTimer() = default;
  virtual void Start(Cardinal Interval) = 0;
  virtual void Stop() = 0;
};
using TAnimationTimerFactory = std::unique_ptr<TAnimationTimer> (*)(std::function<void()> OnTick);
// Replaceable by the controls layer; the default uses SetTimer without a window.
extern TAnimationTimerFactory AnimationTimerFactory;

class TGIFImage : public TGraphic {
  DECLARE_CLASS(TGIFImage, TGraphic)
 public:
  TGIFImage();
  ~TGIFImage() override;
  // "GIF87a" or "GIF89a".
  static bool CanLoadFromData(const Byte* Data, size_t Size);

  void Assign(TPersistent* Source) override;
  // A damaged or truncated file keeps the frames read before the damage; with none it raises
  // EInvalidGraphic.
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  bool SupportsPartialTransparency() override { return false; }

  bool GetEmpty() override { return FFrames.empty(); }
  Integer GetWidth() override { return FWidth; }
  void SetWidth(Integer) override {}
  Integer GetHeight() override { return FHeight; }
  void SetHeight(Integer) override {}

  const std::vector<TGIFFrame>& GetImages() const { return FFrames; }
  // The Netscape loop count: 0 loops for ever; -1 when the file gives none.
  Integer GetLoopCount() const { return FLoopCount; }
  // True when the file ended or broke before its trailer.
  bool GetTruncated() const { return FTruncated; }

  // Animation.
  bool GetAnimate() const { return FAnimate; }
  void SetAnimate(bool Value);
  // Percent of the recorded speed: 50 shows each frame twice as long.
  Integer GetAnimationSpeed() const { return FAnimationSpeed; }
  void SetAnimationSpeed(Integer Value);
  TGIFAnimationLoop GetAnimateLoop() const { return FAnimateLoop; }
  void SetAnimateLoop(TGIFAnimationLoop Value) { FAnimateLoop = Value; }
  Integer GetCurrentFrame() const { return FCurrentFrame; }
  void SetCurrentFrame(Integer Index);
  // Moves to the next frame as the loop rules say (stopping the animation at the end of its
  // loops) and fires OnChange and OnPaint.
  void NextFrame();
  // How long the current frame stays, in milliseconds, at the animation speed.
  Cardinal GetFrameDelay() const;
  // Fired after each frame change, for the control that shows the picture.
  TNotifyEvent GetOnPaint() const { return FOnPaint; }
  void SetOnPaint(const TNotifyEvent& Value) { FOnPaint = Value; }

  // The current frame as it appears (earlier frames composed under it), straight BGRA.
  std::vector<Cardinal> GetFramePixels(Integer Index);

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void AssignTo(TPersistent* Dest) override;

 private:
  void Clear();
  void Parse(const Byte* Data, size_t Size, size_t& Used);
  void RenderTo(Integer Index);
  TBitmap* Rendered();
  void Tick();

  TBytes FData;
  std::vector<TGIFFrame> FFrames;
  Integer FWidth = 0;
  Integer FHeight = 0;
  Cardinal FBackgroundColor = 0;  // BGR
  Integer FLoopCount = -1;
  bool FTruncated = false;

  bool FAnimate = false;
  Integer FAnimationSpeed = 100;
  TGIFAnimationLoop FAnimateLoop = glEnabled;
  Integer FCurrentFrame = 0;
  Integer FLoopsDone = 0;
  std::unique_ptr<TAnimationTimer> FTimer;
  TNotifyEvent FOnPaint;

  // Composition state: the screen after FComposed frames, and the one saved for dmPrevious.
  std::vector<Cardinal> FScreen;
  std::vector<Cardinal> FSaved;
  Integer FComposed = -1;
  std::unique_ptr<TBitmap> FRendered;
  Integer FRenderedFrame = -1;
  bool FRenderedTransparent = false;
};
