#pragma once
// The style services: what every control asks to paint in the active visual style. The system
// style answers with the system colours and draws through the theme API, or through the classic
// routines (DrawFrameControl, DrawEdge) while themes are off. A custom style (TCustomStyle)
// answers from its own tables and draws its elements itself.

#include <memory>

#include "framework/Types.h"
#include "framework/WinApi.h"
#include "framework/themes/StyleData.h"

class TControl;

class TCustomStyleServices : public TObject {
  DECLARE_CLASS(TCustomStyleServices, TObject)
 public:
  TCustomStyleServices();
  ~TCustomStyleServices() override;

  // True while elements draw styled: the system style while the system theme is on; a custom
  // style always.
  virtual bool Enabled() const;
  bool Available() const { return true; }
  virtual bool IsSystemStyle() const { return true; }
  virtual String Name() const;

  // A system colour (clBtnFace...) becomes the style's colour for it; other colours pass unchanged.
  virtual TColor GetSystemColor(TColor Color) const;
  virtual TColor GetStyleColor(TStyleColor Color) const;
  virtual TColor GetStyleFontColor(TStyleFont Font) const;

  template <class E>
  TThemedElementDetails GetElementDetails(E Element) const {
    return ElementDetailsOf(Element);
  }
  // False (and Color clNone) when the style does not define that colour for the element.
  virtual bool GetElementColor(const TThemedElementDetails& Details, TElementColor ElementColor, TColor& Color) const;
  virtual bool GetElementSize(HDC DC, const TThemedElementDetails& Details, TElementSize ElementSize,
                              TSize& Result) const;
  virtual bool GetElementContentRect(HDC DC, const TThemedElementDetails& Details, const TRect& BoundingRect,
                                     TRect& ContentRect) const;
  virtual bool HasTransparentParts(const TThemedElementDetails& Details) const;

  virtual bool DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R,
                           const TRect* ClipRect = nullptr) const;
  virtual bool DrawEdge(HDC DC, const TThemedElementDetails& Details, const TRect& R, TElementEdge Edge,
                        TElementEdgeFlags Flags, TRect* ContentRect = nullptr) const;
  // Flags are DrawText's DT_ flags; Color clNone takes the element's text colour. GlowSize draws
  // a glow behind the text where the system theme offers one.
  virtual bool DrawText(HDC DC, const TThemedElementDetails& Details, const String& S, TRect& R, Cardinal Flags,
                        TColor Color = clNone, Integer GlowSize = 0) const;
  virtual bool DrawIcon(HDC DC, const TThemedElementDetails& Details, const TRect& R, HIMAGELIST Images,
                        Integer Index) const;
  // Fills Bounds (the whole window when null) of Window's DC with what its parent shows there.
  virtual bool DrawParentBackground(HWND Window, HDC DC, const TThemedElementDetails* Details,
                                    bool OnlyIfTransparent, const TRect* Bounds = nullptr) const;

  // The system theme's handle for a family (an HTHEME for the raw theme API); null while themes
  // are off, for families the system has no class for, and under a custom style.
  HANDLE Theme(TThemedElement Element) const;
  // Whether Control paints through the style: styles enabled and the control not opted out.
  bool ThemeControl(TControl* Control) const;
  // Forgets the theme handles after the system theme changed.
  void UpdateThemes();

 protected:
  bool ThemedSystem() const;

 private:
  mutable HANDLE FThemes[ThemedElementCount] = {};
  mutable bool FThemesOpened[ThemedElementCount] = {};
};

// A style read from the program's resources.
class TCustomStyle : public TCustomStyleServices {
  DECLARE_CLASS(TCustomStyle, TCustomStyleServices)
 public:
  explicit TCustomStyle(std::unique_ptr<TStyleData> Data);
  ~TCustomStyle() override;

  bool Enabled() const override { return true; }
  bool IsSystemStyle() const override { return false; }
  String Name() const override { return FData->Name; }
  TColor GetSystemColor(TColor Color) const override;
  TColor GetStyleColor(TStyleColor Color) const override;
  TColor GetStyleFontColor(TStyleFont Font) const override;
  bool GetElementColor(const TThemedElementDetails& Details, TElementColor ElementColor, TColor& Color) const override;
  bool GetElementSize(HDC DC, const TThemedElementDetails& Details, TElementSize ElementSize,
                      TSize& Result) const override;
  bool GetElementContentRect(HDC DC, const TThemedElementDetails& Details, const TRect& BoundingRect,
                             TRect& ContentRect) const override;
  bool HasTransparentParts(const TThemedElementDetails& Details) const override;
  bool DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R,
                   const TRect* ClipRect = nullptr) const override;
  bool DrawEdge(HDC DC, const TThemedElementDetails& Details, const TRect& R, TElementEdge Edge,
                TElementEdgeFlags Flags, TRect* ContentRect = nullptr) const override;
  bool DrawText(HDC DC, const TThemedElementDetails& Details, const String& S, TRect& R, Cardinal Flags,
                TColor Color = clNone, Integer GlowSize = 0) const override;
  bool DrawIcon(HDC DC, const TThemedElementDetails& Details, const TRect& R, HIMAGELIST Images,
                Integer Index) const override;
  bool DrawParentBackground(HWND Window, HDC DC, const TThemedElementDetails* Details, bool OnlyIfTransparent,
                            const TRect* Bounds = nullptr) const override;

  const TStyleData& Data() const { return *FData; }

 private:
  // The element's drawing parameters: the style's own, else ones made from its system colours.
  TElementStyle ElementStyle(const TThemedElementDetails& Details) const;
  std::unique_ptr<TStyleData> FData;
};

// The active style's services (the system style when no custom style is selected).
TCustomStyleServices* StyleServices();
