#pragma once
// TStatusBar over the common controls' status window: a row of panels (TStatusPanels), each
// with its width, alignment, bevel and text or drawn by OnDrawPanel; or one simple panel.

#include <memory>

#include "framework/classes/Collection.h"
#include "framework/controls/WinControl.h"

class TCanvas;
class TStatusBar;

DECLARE_ENUM(TStatusPanelStyle, psText, psOwnerDraw)
DECLARE_ENUM(TStatusPanelBevel, pbNone, pbLowered, pbRaised)

class TStatusPanel : public TCollectionItem {
  DECLARE_CLASS(TStatusPanel, TCollectionItem)
 public:
  explicit TStatusPanel(TCollection* Collection);
  void Assign(TPersistent* Source) override;
  String GetDisplayName() const override;

  TAlignment GetAlignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TStatusPanelBevel GetBevel() const { return FBevel; }
  void SetBevel(TStatusPanelBevel Value);
  TStatusPanelStyle GetStyle() const { return FStyle; }
  void SetStyle(TStatusPanelStyle Value);
  String GetText() const { return FText; }
  void SetText(const String& Value);
  // The last panel reaches the bar's right edge whatever its width.
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer Value);

  PUBLISHED_DECL(TStatusPanel);

 private:
  TAlignment FAlignment = taLeftJustify;
  TStatusPanelBevel FBevel = pbLowered;
  TStatusPanelStyle FStyle = psText;
  String FText;
  Integer FWidth = 50;
};

class TStatusPanels : public TCollection {
  DECLARE_CLASS(TStatusPanels, TCollection)
 public:
  explicit TStatusPanels(TStatusBar* StatusBar);
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  TStatusPanel* GetItem(Integer Index) const { return static_cast<TStatusPanel*>(TCollection::GetItem(Index)); }
  TStatusPanel* operator[](Integer Index) const { return GetItem(Index); }

 protected:
  TPersistent* GetOwner() override;
  void Update(TCollectionItem* Item) override;

 private:
  TStatusBar* FStatusBar;
};

using TDrawPanelEvent = Closure<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TWinControl {
  DECLARE_CLASS(TStatusBar, TWinControl)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(CN_DRAWITEM, TWMDrawItem, CNDrawItem)
  END_MESSAGE_MAP

 public:
  explicit TStatusBar(TComponent* AOwner);
  ~TStatusBar() override;

  TCanvas* GetCanvas() const { return FCanvas.get(); }
  TStatusPanels* GetPanels() const { return FPanels.get(); }
  void SetPanels(TStatusPanels* Value);
  bool GetSimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool Value);
  String GetSimpleText() const { return FSimpleText; }
  void SetSimpleText(const String& Value);
  bool GetSizeGrip() const { return FSizeGrip; }
  void SetSizeGrip(bool Value);
  TDrawPanelEvent GetOnDrawPanel() const { return FOnDrawPanel; }
  void SetOnDrawPanel(const TDrawPanelEvent& Value) { FOnDrawPanel = Value; }

  // Sends the panels (edges, texts, styles) to the window again.
  void UpdatePanels();
  void UpdatePanel(Integer Index);

  PUBLISHED_DECL(TStatusBar);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  virtual void DrawPanel(TStatusPanel* Panel, const TRect& Rect);
  void CNDrawItem(TWMDrawItem& Message);

 private:
  std::unique_ptr<TStatusPanels> FPanels;
  std::unique_ptr<TCanvas> FCanvas;
  bool FSimplePanel = false;
  String FSimpleText;
  bool FSizeGrip = true;
  TDrawPanelEvent FOnDrawPanel;
};
