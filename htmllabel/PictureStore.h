#pragma once
// PictureStore: the picture that HTML markup refers to by name or address (THTMLPicture, which
// keeps the file's bytes and draws them through GDI+), the per-label cache of pictures loaded by
// address, and the design-time container of named pictures that labels share.

#include <map>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/TypInfo.h"

class TControl;
class TPictureStore;

using TDownloadProgressEvent = Closure<void(TObject* Sender, Cardinal dwSize, Cardinal dwTotSize)>;
using TDownloadCancelEvent = Closure<void(TObject* Sender, bool& Cancel)>;
using TDownloadCompleteEvent = Closure<void(TObject* Sender)>;
using TDownloadErrorEvent = Closure<void(TObject* Sender, const String& err)>;

class THTMLPicture : public TGraphic {
  DECLARE_CLASS(THTMLPicture, TGraphic)
 public:
  THTMLPicture();
  ~THTMLPicture() override;

  void Assign(TPersistent* Source) override;
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  // A file that cannot be read leaves the picture empty; nothing escapes.
  void LoadFromFile(const String& FileName) override;
  // Loads the module's raw-data resource of that name; a missing one leaves the picture as it was.
  void LoadFromResourceName(NativeUInt Instance, const String& ResName);
  // Raises EResNotFound when the module has no such resource.
  void LoadFromResourceID(NativeUInt Instance, Integer ResID);
  // "RES://name" and "FILE://path" load at once, a path only of this machine (a drive or the
  // drive's root: a network path or a host leaves the picture empty); any other address waits for
  // a download thread that does no work, so the picture stays empty.
  void LoadFromURL(const String& URL);
  void LoadFromClipboardFormat(Word AFormat, NativeUInt AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(Word& AFormat, NativeUInt& AData, HPALETTE& APalette) override;
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

  bool GetEmpty() override { return FIsEmpty; }
  Integer GetWidth() override { return FWidth; }
  Integer GetHeight() override { return FHeight; }
  void SetWidth(Integer) override {}
  void SetHeight(Integer) override {}
  Integer GetMaxWidth() { return FWidth; }
  Integer GetMaxHeight() { return FHeight; }

  bool GetStretch() const { return FStretched; }
  void SetStretch(bool Value) { FStretched = Value; }
  Integer GetFrame() const { return FFrame; }
  void SetFrame(Integer Value);
  TNotifyEvent GetOnFrameChange() const { return FOnFrameChange; }
  void SetOnFrameChange(const TNotifyEvent& Value) { FOnFrameChange = Value; }
  TDownloadProgressEvent GetOnDownLoadProgress() const { return FOnDownLoadProgress; }
  void SetOnDownLoadProgress(const TDownloadProgressEvent& Value) { FOnDownLoadProgress = Value; }
  TDownloadCancelEvent GetOnDownLoadCancel() const { return FOnDownLoadCancel; }
  void SetOnDownLoadCancel(const TDownloadCancelEvent& Value) { FOnDownLoadCancel = Value; }
  TDownloadCompleteEvent GetOnDownLoadComplete() const { return FOnDownLoadComplete; }
  void SetOnDownLoadComplete(const TDownloadCompleteEvent& Value) { FOnDownLoadComplete = Value; }
  TDownloadErrorEvent GetOnDownLoadError() const { return FOnDownLoadError; }
  void SetOnDownLoadError(const TDownloadErrorEvent& Value) { FOnDownLoadError = Value; }

  // Frame stepping wraps around the frame count.
  void FrameNext();
  void FramePrev();
  // One 100 ms animation tick; true when it moved to the next frame.
  bool Step();
  // The delay of the n-th frame in hundredths of a second, or -1.
  Integer GetFrameTime(Integer n);
  bool GetIsGIF();
  // Counted once; -1 when not a GIF.
  Integer GetFrameCount();

  const String& GetID() const { return FID; }
  void SetID(const String& Value) { FID = Value; }
  const String& GetURL() const { return FURL; }
  bool GetAsynch() const { return FAsynch; }
  void SetAsynch(bool Value) { FAsynch = Value; }
  bool GetThreadBusy() const { return FThreadBusy; }
  Word GetFrameXPos() const { return FFrameXPos; }
  Word GetFrameYPos() const { return FFrameYPos; }
  Word GetFrameXSize() const { return FFrameXSize; }
  Word GetFrameYSize() const { return FFrameYSize; }
  bool GetFrameTransp() const { return FFrameTransp; }
  SmallInt GetFrameDisposal() const { return FFrameDisposal; }
  SmallInt GetAnimMaxX() const { return FAnimMaxX; }
  SmallInt GetAnimMaxY() const { return FAnimMaxY; }
  TMemoryStream* GetDatastream() const { return FDatastream.get(); }
  // How many times any picture decoded its data (for the paint benchmark).
  static Int64 DecodeCount();

  PUBLISHED_DECL(THTMLPicture);

 protected:
  void ReadData(TStream* Stream) override;
  void WriteData(TStream* Stream) override;

 private:
  struct TDecoded;
  void DataChanged();
  // Decodes the data (for a GIF, from the current frame on) and keeps the image for drawing;
  // false when it cannot be decoded.
  bool RefreshSize();
  void ResetCounts();

  std::unique_ptr<TMemoryStream> FDatastream;
  std::unique_ptr<TDecoded> gpPicture;  // the decoded picture; cleared when data is assigned
  std::vector<size_t> FFrames;  // where each frame's graphic control extension starts
  bool FFramesScanned = false;
  bool FIsEmpty = true;
  bool FStretched = false;
  Integer FLogPixX = 96, FLogPixY = 96;
  String FURL;
  String FID;
  Integer FHeight = 0, FWidth = 0;
  bool FIsDB = false;
  bool FAsynch = true;
  bool FThreadBusy = false;
  Integer FFrame = 1;
  Integer FFrameCount = -1;
  TNotifyEvent FOnFrameChange;
  Word FFrameXPos = 0, FFrameYPos = 0, FFrameXSize = 0, FFrameYSize = 0;
  bool FFrameTransp = false;
  SmallInt FFrameDisposal = 0;
  SmallInt FAnimMaxX = 0, FAnimMaxY = 0;
  Integer FNextCount = -1;
  Integer FTimerCount = -1;
  TDownloadProgressEvent FOnDownLoadProgress;
  TDownloadCancelEvent FOnDownLoadCancel;
  TDownloadCompleteEvent FOnDownLoadComplete;
  TDownloadErrorEvent FOnDownLoadError;
};

// The pictures one label loaded by address; it owns them.
class THTMLPictureCache : public TList {
  DECLARE_CLASS(THTMLPictureCache, TList)
 public:
  THTMLPictureCache() = default;
  ~THTMLPictureCache() override;
  THTMLPicture* AddPicture();
  // The first picture whose ID is exactly ID, or null.
  THTMLPicture* FindPicture(const String& ID);
  THTMLPicture* GetPicture(Integer Index) const;
  // Frees the picture that was there.
  void SetPicture(Integer Index, THTMLPicture* Value);
  void ClearPictures();
  // Steps every picture; true when any changed frame.
  bool Animate();
};

class TPictureItem : public TCollectionItem {
  DECLARE_CLASS(TPictureItem, TCollectionItem)
 public:
  explicit TPictureItem(TCollection* Collection);
  ~TPictureItem() override;
  void Assign(TPersistent* Source) override;
  THTMLPicture* GetPicture() const { return FPicture.get(); }
  // Copies the graphic into the item's own picture.
  void SetPicture(THTMLPicture* Value);
  String GetName() const { return FName; }
  void SetName(const String& Value) { FName = Value; }
  Integer GetTag() const { return FTag; }
  void SetTag(Integer Value) { FTag = Value; }

  PUBLISHED_DECL(TPictureItem);

 private:
  void PictureChanged(TObject* Sender);
  std::unique_ptr<THTMLPicture> FPicture;
  String FName;
  Integer FTag = 0;
};

class TPictureCollection : public TOwnedCollection {
  DECLARE_CLASS(TPictureCollection, TOwnedCollection)
 public:
  explicit TPictureCollection(TPersistent* AOwner);
  TPictureItem* Add();
  TPictureItem* Insert(Integer Index);
  TPictureItem* GetItem(Integer Index) const;
  void SetItem(Integer Index, TPictureItem* Value);
  bool Animate();

 protected:
  void Update(TCollectionItem* Item) override;
};

class TPictureStore : public TComponent {
  DECLARE_CLASS(TPictureStore, TComponent)
 public:
  explicit TPictureStore(TComponent* AOwner);
  ~TPictureStore() override;
  TPictureCollection* GetItems() const { return FItems.get(); }
  void SetItems(TPictureCollection* Value);
  String GetVersion() const;
  void SetVersion(const String&) {}
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

  // The picture of the first item named Name, ignoring letter case, or null.
  THTMLPicture* FindPicture(const String& Name);
  // A picture holder with a copy of the named picture, or null. The store owns the holder and
  // keeps it (one per name) while it lives: a caller may hold it as long as the store exists;
  // asking again for the name refreshes the same holder.
  TPicture* FindBitmap(const String& Name);
  // The control is repainted whenever the pictures change.
  void RegisterControl(TControl* Control);
  // The control is no longer repainted by this store (a label that took another store).
  void UnRegisterControl(TControl* Control);
  Integer RegisteredControlCount() const { return Integer(FControls.size()); }
  // Repaints the registered controls and fires OnChange.
  void Changed();

  PUBLISHED_DECL(TPictureStore);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  std::unique_ptr<TPictureCollection> FItems;
  std::vector<TControl*> FControls;
  std::map<String, std::unique_ptr<TPicture>> FBitmaps;
  TNotifyEvent FOnChange;
};

// Serves a picture named by an address. Its work is empty: it ends at once and loads nothing.
class TDownLoadThread : public TThread {
  DECLARE_CLASS(TDownLoadThread, TThread)
 public:
  explicit TDownLoadThread(THTMLPicture* HTMLPicture);
  THTMLPicture* GetHTMLPicture() const { return FHTMLPicture; }

 protected:
  void Execute() override {}

 private:
  THTMLPicture* FHTMLPicture;
};

// The resolution factor of the control's form: its monitor's pixels per inch / 96 when the form
// scales, else 1.
double GetDPIScale(TControl* Control);
