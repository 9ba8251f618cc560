#pragma once
// Image lists over the common controls' image lists: pictures of one size kept in one strip,
// drawn by index (normal, selected, focused, as a mask, or greyed when disabled), with change
// links for the controls that show them and the image data streamed in form resources.

#include <memory>
#include <vector>

#include "framework/TypInfo.h"
#include "framework/classes/Component.h"
#include "framework/graphics/Colors.h"
#include "framework/graphics/GdiTypes.h"

class TCanvas;
class TBitmap;
class TIcon;
class TStream;
class TCustomImageList;

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
ENUM_NAMES(TDrawingStyle, dsFocus, dsSelected, dsNormal, dsTransparent)
enum TImageType { itImage, itMask };
ENUM_NAMES(TImageType, itImage, itMask)
enum TColorDepth { cdDeviceDependent, cd4Bit, cd8Bit, cd16Bit, cd24Bit, cd32Bit };
ENUM_NAMES(TColorDepth, cdDeviceDependent, cd4Bit, cd8Bit, cd16Bit, cd24Bit, cd32Bit)

// How a control hears that an image list changed; the list forgets the link when the link goes.
class TChangeLink : public TObject {
  DECLARE_CLASS(TChangeLink, TObject)
 public:
  TChangeLink() = default;
  ~TChangeLink() override;
  virtual void Change();
  TCustomImageList* GetSender() const { return FSender; }
  void SetSender(TCustomImageList* Value);
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

 private:
  TComponentRef<TCustomImageList> FSender;  // null once the image list is freed
  TNotifyEvent FOnChange;
};

class TCustomImageList : public TComponent {
  DECLARE_CLASS(TCustomImageList, TComponent)
 public:
  explicit TCustomImageList(TComponent* AOwner);
  TCustomImageList(TComponent* AOwner, Integer AWidth, Integer AHeight);  // CreateSize
  ~TCustomImageList() override;
  void Assign(TPersistent* Source) override;

  // Each adds one image (a wider bitmap adds one image per Width pixels); the index of the first.
  Integer Add(TBitmap* Image, TBitmap* Mask);
  Integer AddIcon(TIcon* Image);
  Integer AddImage(TCustomImageList* Value, Integer Index);
  void AddImages(TCustomImageList* Value);
  // MaskColor marks the transparent pixels; clDefault takes the bitmap's transparent colour.
  Integer AddMasked(TBitmap* Image, TColor MaskColor);
  void Clear();
  void Delete(Integer Index);
  void Replace(Integer Index, TBitmap* Image, TBitmap* Mask);
  void ReplaceIcon(Integer Index, TIcon* Image);
  void ReplaceMasked(Integer Index, TBitmap* NewImage, TColor MaskColor);

  void Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled = true);
  void Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, TDrawingStyle ADrawingStyle, TImageType AImageType,
            bool Enabled = true);
  // The image over BkColor (or white when that is clNone); false for an index out of range.
  bool GetBitmap(Integer Index, TBitmap* Image);
  void GetIcon(Integer Index, TIcon* Image);
  void GetIcon(Integer Index, TIcon* Image, TDrawingStyle ADrawingStyle, TImageType AImageType);
  // The strip of images (a grid, Width x Height cells) and its mask; the list keeps them.
  HBITMAP GetImageBitmap();
  HBITMAP GetMaskBitmap();

  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);

  HIMAGELIST GetHandle();
  // Takes over an image list handle (freed with the list unless ShareImages).
  void SetHandle(HIMAGELIST Value);
  bool HandleAllocated() const { return FHandle != nullptr; }
  Integer GetCount();
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value);
  Integer GetHeight() const { return FHeight; }
  void SetHeight(Integer Value);
  Integer GetAllocBy() const { return FAllocBy; }
  void SetAllocBy(Integer Value) { FAllocBy = Value; }
  TColor GetBkColor() const { return FBkColor; }
  void SetBkColor(TColor Value);
  TColor GetBlendColor() const { return FBlendColor; }
  void SetBlendColor(TColor Value) { FBlendColor = Value; }
  TDrawingStyle GetDrawingStyle() const { return FDrawingStyle; }
  void SetDrawingStyle(TDrawingStyle Value);
  TImageType GetImageType() const { return FImageType; }
  void SetImageType(TImageType Value);
  bool GetMasked() const { return FMasked; }
  void SetMasked(bool Value);
  bool GetShareImages() const { return FShareImages; }
  void SetShareImages(bool Value) { FShareImages = Value; }
  // Changing the depth empties the list.
  TColorDepth GetColorDepth() const { return FColorDepth; }
  void SetColorDepth(TColorDepth Value);
  TNotifyEvent GetOnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }

  // The "Bitmap" property of form streams: the common controls' image list stream.
  void ReadData(TStream* Stream);
  void WriteData(TStream* Stream);

 protected:
  virtual void Change();
  virtual void DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, Cardinal Style, bool Enabled = true);
  void DefineProperties(TFiler* Filer) override;
  // Forgets the change links: their reference to the list is null by then.
  void DestroyContents() override;

 private:
  void Initialize(Integer AWidth, Integer AHeight);
  void CreateImageList();
  void FreeHandle();
  void Recreate();
  void CheckIndex(Integer Index, bool AllowEnd = false);
  void DrawDisabled(Integer Index, TCanvas* Canvas, Integer X, Integer Y);
  void DrawBlended(Integer Index, TCanvas* Canvas, Integer X, Integer Y, Cardinal Amount);
  std::vector<Cardinal> RenderOpaque(Integer Index);

  HIMAGELIST FHandle = nullptr;
  Integer FWidth = 16;
  Integer FHeight = 16;
  Integer FAllocBy = 4;
  TColor FBkColor = clNone;
  TColor FBlendColor = clNone;
  TDrawingStyle FDrawingStyle = dsNormal;
  TImageType FImageType = itImage;
  bool FMasked = true;
  bool FShareImages = false;
  TColorDepth FColorDepth = cdDeviceDependent;
  std::vector<TChangeLink*> FClients;
  TNotifyEvent FOnChange;
};

class TImageList : public TCustomImageList {
  DECLARE_CLASS(TImageList, TCustomImageList)
 public:
  using TCustomImageList::TCustomImageList;

  PUBLISHED_DECL(TImageList);
};

// The shell's list of file icons (small or large), shared and never freed by us.
HIMAGELIST GetSystemImageList(bool SmallIcons);
// The index in that list of the shell's icon for a file or folder. A name that does not exist
// is asked by name alone (a file of its extension). -1 when the shell gives none.
Integer GetShellIconIndex(const String& Name, bool SmallIcons);
