#pragma once
// TScreen: the forms of the program, the active form and control, cursors, monitors and the
// screen's resolution. TMonitor: one display with its bounds, work area and DPI.

#include <map>
#include <memory>
#include <vector>

#include "framework/controls/ControlTypes.h"

class TCustomForm;
class TDataModule;

enum TMonitorDefaultTo { mdNearest, mdNull, mdPrimary };

class TMonitor : public TObject {
  DECLARE_CLASS(TMonitor, TObject)
 public:
  explicit TMonitor(HMONITOR Handle, Integer MonitorNum) : FHandle(Handle), FMonitorNum(MonitorNum) {}
  HMONITOR GetHandle() const { return FHandle; }
  Integer GetMonitorNum() const { return FMonitorNum; }
  TRect GetBoundsRect() const;
  TRect GetWorkareaRect() const;
  Integer GetLeft() const { return GetBoundsRect().Left; }
  Integer GetTop() const { return GetBoundsRect().Top; }
  Integer GetWidth() const { return GetBoundsRect().Width(); }
  Integer GetHeight() const { return GetBoundsRect().Height(); }
  bool GetPrimary() const;
  // Effective DPI of this monitor (per monitor from Windows 8.1, else the system's).
  Integer GetPixelsPerInch() const;

 private:
  HMONITOR FHandle;
  Integer FMonitorNum;
};

class TScreen : public TComponent {
  DECLARE_CLASS(TScreen, TComponent)
 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  Integer GetFormCount() const { return Integer(FForms.size()); }
  TCustomForm* GetForms(Integer Index) const { return FForms.at(Index); }
  Integer GetCustomFormCount() const { return GetFormCount(); }
  TCustomForm* GetCustomForms(Integer Index) const { return GetForms(Index); }
  Integer GetDataModuleCount() const { return Integer(FDataModules.size()); }
  TDataModule* GetDataModules(Integer Index) const { return FDataModules.at(Index); }
  TCustomForm* GetActiveForm() const { return FActiveForm; }
  TCustomForm* GetActiveCustomForm() const { return FActiveForm; }
  TWinControl* GetActiveControl() const { return FActiveControl; }

  // Cursors: the stock ones are loaded on first use; a free slot answers the default cursor.
  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  HCURSOR GetCursors(Integer Index);
  void SetCursors(Integer Index, HCURSOR Handle);

  Integer GetMonitorCount();
  TMonitor* GetMonitors(Integer Index);
  TMonitor* GetPrimaryMonitor();
  TMonitor* MonitorFromPoint(const TPoint& Point, TMonitorDefaultTo MonitorDefault = mdNearest);
  TMonitor* MonitorFromRect(const TRect& Rect, TMonitorDefaultTo MonitorDefault = mdNearest);
  TMonitor* MonitorFromWindow(HWND Handle, TMonitorDefaultTo MonitorDefault = mdNearest);
  TRect GetWorkAreaRect() const;
  Integer GetWorkAreaLeft() const { return GetWorkAreaRect().Left; }
  Integer GetWorkAreaTop() const { return GetWorkAreaRect().Top; }
  Integer GetWorkAreaWidth() const { return GetWorkAreaRect().Width(); }
  Integer GetWorkAreaHeight() const { return GetWorkAreaRect().Height(); }
  TRect GetDesktopRect() const;
  Integer GetDesktopLeft() const { return GetDesktopRect().Left; }
  Integer GetDesktopTop() const { return GetDesktopRect().Top; }
  Integer GetDesktopWidth() const { return GetDesktopRect().Width(); }
  Integer GetDesktopHeight() const { return GetDesktopRect().Height(); }
  Integer GetWidth() const;
  Integer GetHeight() const;
  Integer GetPixelsPerInch() const { return FPixelsPerInch; }
  HKL GetDefaultKbLayout() const { return FDefaultKbLayout; }

 private:
  friend class TCustomForm;
  friend class TDataModule;
  void AddForm(TCustomForm* Form) { FForms.push_back(Form); }
  void RemoveForm(TCustomForm* Form);
  void SetActiveForm(TCustomForm* Form);
  void SetActiveControl(TWinControl* Control);
  TMonitor* FindMonitor(HMONITOR Handle);

  std::vector<TCustomForm*> FForms;
  std::vector<TDataModule*> FDataModules;
  TComponentRef<TCustomForm> FActiveForm;
  TComponentRef<TWinControl> FActiveControl;
  TCursor FCursor = crDefault;
  std::map<Integer, HCURSOR> FCursors;
  std::vector<std::unique_ptr<TMonitor>> FMonitors;
  Integer FPixelsPerInch = 96;
  HKL FDefaultKbLayout = nullptr;
};

extern TScreen* Screen;
