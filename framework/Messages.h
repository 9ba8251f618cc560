#pragma once
// Window messages as records: TMessage and the typed views of it that handlers take, the
// framework's own component messages (CM_*) and the reflected notifications (CN_*), and the
// message map that lets a class handle a message by a method and pass the rest on.
//
// Every record is a view of the same 32 bytes (Msg, WParam, LParam, Result on x64), so a
// handler may take the typed record while the window procedure builds a TMessage.

#include "framework/WinApi.h"
#include "framework/Types.h"

// ---- The message records ----------------------------------------------------------------------

struct TMessage {
  Cardinal Msg = 0;
  Cardinal MsgFiller = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;

  Word WParamLo() const { return LOWORD(WParam); }
  Word WParamHi() const { return HIWORD(WParam); }
  Word LParamLo() const { return LOWORD(LParam); }
  Word LParamHi() const { return HIWORD(LParam); }
};
static_assert(sizeof(TMessage) == 32, "a message record is 32 bytes on x64");
using PMessage = TMessage*;

// Keyboard: WM_KEYDOWN/UP, WM_CHAR, WM_SYSKEYDOWN/UP, WM_SYSCHAR and the CM_ key messages.
struct TWMKey {
  Cardinal Msg;
  Cardinal MsgFiller;
  Word CharCode;
  Word Unused;
  Cardinal CharCodeFiller;
  LongInt KeyData;
  Cardinal KeyDataFiller;
  LRESULT Result;
};
using TWMKeyDown = TWMKey;
using TWMKeyUp = TWMKey;
using TWMChar = TWMKey;
using TWMSysKeyDown = TWMKey;
using TWMSysKeyUp = TWMKey;
using TWMSysChar = TWMKey;
using TCMDialogKey = TWMKey;
using TCMDialogChar = TWMKey;
using TCMWantSpecialKey = TWMKey;

// Mouse buttons and moves, in client coordinates.
struct TWMMouse {
  Cardinal Msg;
  Cardinal MsgFiller;
  LongInt Keys;
  Cardinal KeysFiller;
  union {
    struct {
      SmallInt XPos;
      SmallInt YPos;
    };
    TSmallPoint Pos;
  };
  Cardinal PosFiller;
  LRESULT Result;
};
using TWMLButtonDown = TWMMouse;
using TWMLButtonUp = TWMMouse;
using TWMLButtonDblClk = TWMMouse;
using TWMRButtonDown = TWMMouse;
using TWMRButtonUp = TWMMouse;
using TWMRButtonDblClk = TWMMouse;
using TWMMButtonDown = TWMMouse;
using TWMMButtonUp = TWMMouse;
using TWMMButtonDblClk = TWMMouse;
using TWMMouseMove = TWMMouse;
using TCMDesignHitTest = TWMMouse;

// WM_MOUSEWHEEL: the position is in screen coordinates.
struct TWMMouseWheel {
  Cardinal Msg;
  Cardinal MsgFiller;
  Word Keys;
  SmallInt WheelDelta;
  Cardinal KeysFiller;
  SmallInt XPos;
  SmallInt YPos;
  Cardinal PosFiller;
  LRESULT Result;
};

// Messages with no parameters: WM_CLOSE, WM_DESTROY, WM_CANCELMODE, CM_ENTER, CM_EXIT...
struct TWMNoParams {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused1;
  LPARAM Unused2;
  LRESULT Result;
};
using TWMClose = TWMNoParams;
using TWMDestroy = TWMNoParams;
using TWMCancelMode = TWMNoParams;
using TCMEnter = TWMNoParams;
using TCMExit = TWMNoParams;
using TCMRelease = TWMNoParams;

// WM_PAINT (a DC in WParam means "paint into this DC"), WM_ERASEBKGND, WM_PRINTCLIENT.
struct TWMPaint {
  Cardinal Msg;
  Cardinal MsgFiller;
  HDC DC;
  LPARAM Unused;
  LRESULT Result;
};
using TWMEraseBkgnd = TWMPaint;
using TWMPrintClient = TWMPaint;

struct TWMNCPaint {
  Cardinal Msg;
  Cardinal MsgFiller;
  HRGN RGN;
  LPARAM Unused;
  LRESULT Result;
};

struct TWMSize {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM SizeType;
  Word Width;
  Word Height;
  Cardinal WidthFiller;
  LRESULT Result;
};

struct TWMMove {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  SmallInt XPos;
  SmallInt YPos;
  Cardinal PosFiller;
  LRESULT Result;
};

struct TWMWindowPosMsg {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  WINDOWPOS* WindowPos;
  LRESULT Result;
};
using TWMWindowPosChanged = TWMWindowPosMsg;
using TWMWindowPosChanging = TWMWindowPosMsg;

struct TWMCommand {
  Cardinal Msg;
  Cardinal MsgFiller;
  Word ItemID;
  Word NotifyCode;
  Cardinal NotifyCodeFiller;
  HWND Ctl;
  LRESULT Result;
};

struct TWMNotify {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM IDCtrl;
  NMHDR* NMHdr;
  LRESULT Result;
};

struct TWMSetFocus {
  Cardinal Msg;
  Cardinal MsgFiller;
  HWND FocusedWnd;
  LPARAM Unused;
  LRESULT Result;
};
using TWMKillFocus = TWMSetFocus;

struct TWMTimer {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM TimerID;
  TIMERPROC TimerProc;
  LRESULT Result;
};

struct TWMGetDlgCode {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  MSG* MsgPtr;
  LRESULT Result;
};

struct TWMNCHitTest {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  SmallInt XPos;
  SmallInt YPos;
  Cardinal PosFiller;
  LRESULT Result;
};

struct TWMSetCursor {
  Cardinal Msg;
  Cardinal MsgFiller;
  HWND CursorWnd;
  Word HitTest;
  Word MouseMsg;
  Cardinal MouseMsgFiller;
  LRESULT Result;
};

struct TWMActivate {
  Cardinal Msg;
  Cardinal MsgFiller;
  Word Active;  // WA_INACTIVE, WA_ACTIVE, WA_CLICKACTIVE
  Word Minimized;
  Cardinal ActiveFiller;
  HWND ActiveWindow;
  LRESULT Result;
};

struct TWMMouseActivate {
  Cardinal Msg;
  Cardinal MsgFiller;
  HWND TopLevel;
  Word HitTestCode;
  Word MouseMsg;
  Cardinal MouseMsgFiller;
  LRESULT Result;
};

struct TWMContextMenu {
  Cardinal Msg;
  Cardinal MsgFiller;
  HWND hWnd;
  SmallInt XPos;  // screen coordinates; -1,-1 when opened from the keyboard
  SmallInt YPos;
  Cardinal PosFiller;
  LRESULT Result;
};

struct TWMScroll {
  Cardinal Msg;
  Cardinal MsgFiller;
  Word ScrollCode;
  SmallInt Pos;
  Cardinal ScrollCodeFiller;
  HWND ScrollBar;
  LRESULT Result;
};
using TWMHScroll = TWMScroll;
using TWMVScroll = TWMScroll;

struct TWMSysCommand {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM CmdType;
  SmallInt XPos;
  SmallInt YPos;
  Cardinal PosFiller;
  LRESULT Result;
};

struct TWMCtlColor {
  Cardinal Msg;
  Cardinal MsgFiller;
  HDC ChildDC;
  HWND ChildWnd;
  LRESULT Result;
};
using TWMCtlColorEdit = TWMCtlColor;
using TWMCtlColorStatic = TWMCtlColor;
using TWMCtlColorBtn = TWMCtlColor;
using TWMCtlColorListBox = TWMCtlColor;

struct TWMDrawItem {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Ctl;
  DRAWITEMSTRUCT* DrawItemStruct;
  LRESULT Result;
};

struct TWMMeasureItem {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM IDCtl;
  MEASUREITEMSTRUCT* MeasureItemStruct;
  LRESULT Result;
};

struct TWMNCCalcSize {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM CalcValidRects;
  NCCALCSIZE_PARAMS* CalcSize_Params;
  LRESULT Result;
};

struct TWMGetMinMaxInfo {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  MINMAXINFO* MinMaxInfo;
  LRESULT Result;
};

struct TWMSettingChange {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Flag;
  const wchar_t* Section;
  LRESULT Result;
};

struct TWMSetText {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  const wchar_t* Text;
  LRESULT Result;
};

struct TWMGetText {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM TextMax;
  wchar_t* Text;
  LRESULT Result;
};

struct TWMShowWindow {
  Cardinal Msg;
  Cardinal MsgFiller;
  BOOL Show;
  Cardinal ShowFiller;
  LPARAM Status;
  LRESULT Result;
};

struct TWMEnable {
  Cardinal Msg;
  Cardinal MsgFiller;
  BOOL Enabled;
  Cardinal EnabledFiller;
  LPARAM Unused;
  LRESULT Result;
};

// ---- Component messages (CM_*) ----------------------------------------------------------------
// The framework's own notices, sent to a control when its state or an ancestor's changes.

constexpr Cardinal CM_BASE = 0xB000;
constexpr Cardinal CM_ACTIVATE = CM_BASE + 0;
constexpr Cardinal CM_DEACTIVATE = CM_BASE + 1;
constexpr Cardinal CM_GOTFOCUS = CM_BASE + 2;
constexpr Cardinal CM_LOSTFOCUS = CM_BASE + 3;
constexpr Cardinal CM_CANCELMODE = CM_BASE + 4;
constexpr Cardinal CM_DIALOGKEY = CM_BASE + 5;
constexpr Cardinal CM_DIALOGCHAR = CM_BASE + 6;
constexpr Cardinal CM_FOCUSCHANGED = CM_BASE + 7;
constexpr Cardinal CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr Cardinal CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr Cardinal CM_HITTEST = CM_BASE + 10;
constexpr Cardinal CM_VISIBLECHANGED = CM_BASE + 11;
constexpr Cardinal CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr Cardinal CM_COLORCHANGED = CM_BASE + 13;
constexpr Cardinal CM_FONTCHANGED = CM_BASE + 14;
constexpr Cardinal CM_CURSORCHANGED = CM_BASE + 15;
constexpr Cardinal CM_CTL3DCHANGED = CM_BASE + 16;
constexpr Cardinal CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr Cardinal CM_TEXTCHANGED = CM_BASE + 18;
constexpr Cardinal CM_MOUSEENTER = CM_BASE + 19;
constexpr Cardinal CM_MOUSELEAVE = CM_BASE + 20;
constexpr Cardinal CM_MENUCHANGED = CM_BASE + 21;
constexpr Cardinal CM_APPKEYDOWN = CM_BASE + 22;
constexpr Cardinal CM_APPSYSCOMMAND = CM_BASE + 23;
constexpr Cardinal CM_BUTTONPRESSED = CM_BASE + 24;
constexpr Cardinal CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr Cardinal CM_ENTER = CM_BASE + 26;
constexpr Cardinal CM_EXIT = CM_BASE + 27;
constexpr Cardinal CM_DESIGNHITTEST = CM_BASE + 28;
constexpr Cardinal CM_ICONCHANGED = CM_BASE + 29;
constexpr Cardinal CM_WANTSPECIALKEY = CM_BASE + 30;
constexpr Cardinal CM_INVOKEHELP = CM_BASE + 31;
constexpr Cardinal CM_WINDOWHOOK = CM_BASE + 32;
constexpr Cardinal CM_RELEASE = CM_BASE + 33;
constexpr Cardinal CM_SHOWHINTCHANGED = CM_BASE + 34;
constexpr Cardinal CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
constexpr Cardinal CM_SYSCOLORCHANGE = CM_BASE + 36;
constexpr Cardinal CM_WININICHANGE = CM_BASE + 37;
constexpr Cardinal CM_FONTCHANGE = CM_BASE + 38;
constexpr Cardinal CM_TIMECHANGE = CM_BASE + 39;
constexpr Cardinal CM_TABSTOPCHANGED = CM_BASE + 40;
constexpr Cardinal CM_UIACTIVATE = CM_BASE + 41;
constexpr Cardinal CM_UIDEACTIVATE = CM_BASE + 42;
constexpr Cardinal CM_DOCWINDOWACTIVATE = CM_BASE + 43;
constexpr Cardinal CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr Cardinal CM_GETDATALINK = CM_BASE + 45;
constexpr Cardinal CM_CHILDKEY = CM_BASE + 46;
constexpr Cardinal CM_DRAG = CM_BASE + 47;
constexpr Cardinal CM_HINTSHOW = CM_BASE + 48;
constexpr Cardinal CM_DIALOGHANDLE = CM_BASE + 49;
constexpr Cardinal CM_ISTOOLCONTROL = CM_BASE + 50;
constexpr Cardinal CM_RECREATEWND = CM_BASE + 51;
constexpr Cardinal CM_INVALIDATE = CM_BASE + 52;
constexpr Cardinal CM_SYSFONTCHANGED = CM_BASE + 53;
constexpr Cardinal CM_CONTROLCHANGE = CM_BASE + 54;
constexpr Cardinal CM_CHANGED = CM_BASE + 55;
constexpr Cardinal CM_DOCKCLIENT = CM_BASE + 56;
constexpr Cardinal CM_UNDOCKCLIENT = CM_BASE + 57;
constexpr Cardinal CM_FLOAT = CM_BASE + 58;
constexpr Cardinal CM_BORDERCHANGED = CM_BASE + 59;
constexpr Cardinal CM_BIDIMODECHANGED = CM_BASE + 60;
constexpr Cardinal CM_PARENTBIDIMODECHANGED = CM_BASE + 61;
constexpr Cardinal CM_ALLCHILDRENFLIPPED = CM_BASE + 62;
constexpr Cardinal CM_ACTIONUPDATE = CM_BASE + 63;
constexpr Cardinal CM_ACTIONEXECUTE = CM_BASE + 64;
constexpr Cardinal CM_HINTSHOWPAUSE = CM_BASE + 65;
constexpr Cardinal CM_DOCKNOTIFICATION = CM_BASE + 66;
constexpr Cardinal CM_MOUSEWHEEL = CM_BASE + 67;
constexpr Cardinal CM_ISSHORTCUT = CM_BASE + 68;
constexpr Cardinal CM_UPDATEACTIONS = CM_BASE + 69;
constexpr Cardinal CM_INVALIDATEDOCKHOST = CM_BASE + 70;
constexpr Cardinal CM_SETACTIVECONTROL = CM_BASE + 71;
constexpr Cardinal CM_POPUPHWNDDESTROY = CM_BASE + 72;
constexpr Cardinal CM_CREATEPOPUP = CM_BASE + 73;
constexpr Cardinal CM_DESTROYHANDLE = CM_BASE + 74;
constexpr Cardinal CM_MOUSEACTIVATE = CM_BASE + 75;
constexpr Cardinal CM_CONTROLLISTCHANGING = CM_BASE + 76;
constexpr Cardinal CM_BUFFEREDPRINTCLIENT = CM_BASE + 77;
constexpr Cardinal CM_UNTHEMECONTROL = CM_BASE + 78;
constexpr Cardinal CM_DOUBLEBUFFEREDCHANGED = CM_BASE + 79;
constexpr Cardinal CM_PARENTDOUBLEBUFFEREDCHANGED = CM_BASE + 80;
constexpr Cardinal CM_STYLECHANGED = CM_BASE + 81;
constexpr Cardinal CM_THEMECHANGED = CM_BASE + 82;
constexpr Cardinal CM_GESTURE = CM_BASE + 83;
constexpr Cardinal CM_PARENTVISIBLECHANGED = CM_BASE + 84;

// ---- Reflected notifications (CN_*) -----------------------------------------------------------
// A parent reflects a child's WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR* and scroll messages back to
// the child as CN_BASE + the message, so a control handles its own notifications.

constexpr Cardinal CN_BASE = 0xBC00;
constexpr Cardinal CN_CHARTOITEM = CN_BASE + WM_CHARTOITEM;
constexpr Cardinal CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr Cardinal CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
constexpr Cardinal CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr Cardinal CN_CTLCOLORDLG = CN_BASE + WM_CTLCOLORDLG;
constexpr Cardinal CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr Cardinal CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr Cardinal CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX;
constexpr Cardinal CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR;
constexpr Cardinal CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr Cardinal CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
constexpr Cardinal CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr Cardinal CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr Cardinal CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr Cardinal CN_PARENTNOTIFY = CN_BASE + WM_PARENTNOTIFY;
constexpr Cardinal CN_VKEYTOITEM = CN_BASE + WM_VKEYTOITEM;
constexpr Cardinal CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr Cardinal CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr Cardinal CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr Cardinal CN_CHAR = CN_BASE + WM_CHAR;
constexpr Cardinal CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr Cardinal CN_SYSCHAR = CN_BASE + WM_SYSCHAR;
constexpr Cardinal CN_NOTIFY = CN_BASE + WM_NOTIFY;

// ---- Component message records ----------------------------------------------------------------

class TControl;
class TWinControl;
class TBasicAction;
struct THintInfo;

// CM_CANCELMODE: Sender is the control that asked the others to leave their modes.
struct TCMCancelMode {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  TControl* Sender;
  LRESULT Result;
};

// CM_FOCUSCHANGED, sent to a form's controls when the focus moved to Sender.
struct TCMFocusChanged {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  TWinControl* Sender;
  LRESULT Result;
};

// CM_CHILDKEY: a key typed in Sender, offered to its parents first; Result 1 consumes it.
struct TCMChildKey {
  Cardinal Msg;
  Cardinal MsgFiller;
  Word CharCode;
  Word Unused;
  Cardinal CharCodeFiller;
  TWinControl* Sender;
  LRESULT Result;
};

// CM_HINTSHOW: the control may change the hint or answer 1 to refuse it.
struct TCMHintShow {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Reserved;
  THintInfo* HintInfo;
  LRESULT Result;
};

// CM_HINTSHOWPAUSE: WParam says whether a hint was showing; Pause points at the pause to use.
struct TCMHintShowPause {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM WasActive;
  Integer* Pause;
  LRESULT Result;
};

// CM_MOUSEENTER / CM_MOUSELEAVE: Control is the (possibly windowless) control crossed.
struct TCMMouseEnterLeave {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  TControl* Control;
  LRESULT Result;
};
using TCMMouseEnter = TCMMouseEnterLeave;
using TCMMouseLeave = TCMMouseEnterLeave;

// CM_MOUSEWHEEL: the wheel message offered to the focused control and its parents.
struct TCMMouseWheel {
  Cardinal Msg;
  Cardinal MsgFiller;
  Word ShiftState;  // the bits of TShiftState
  SmallInt WheelDelta;
  Cardinal ShiftStateFiller;
  SmallInt XPos;
  SmallInt YPos;
  Cardinal PosFiller;
  LRESULT Result;
};

// CM_HITTEST: Result nonzero when the client point belongs to the control.
struct TCMHitTest {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  SmallInt XPos;
  SmallInt YPos;
  Cardinal PosFiller;
  LRESULT Result;
};

// CM_CONTROLCHANGE / CM_CONTROLLISTCHANGE: a child inserted into or removed from a parent.
struct TCMControlChange {
  Cardinal Msg;
  Cardinal MsgFiller;
  TControl* Control;
  LPARAM Inserting;
  LRESULT Result;
};
using TCMControlListChange = TCMControlChange;

struct TCMAction {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  TBasicAction* Action;
  LRESULT Result;
};
using TCMActionExecute = TCMAction;
using TCMActionUpdate = TCMAction;

// CM_CHANGED: Child is the control or component that changed.
struct TCMChanged {
  Cardinal Msg;
  Cardinal MsgFiller;
  WPARAM Unused;
  void* Child;
  LRESULT Result;
};

static_assert(sizeof(TWMKey) == sizeof(TMessage) && sizeof(TWMMouse) == sizeof(TMessage) &&
              sizeof(TWMMouseWheel) == sizeof(TMessage) && sizeof(TWMSize) == sizeof(TMessage) &&
              sizeof(TWMCommand) == sizeof(TMessage) && sizeof(TWMActivate) == sizeof(TMessage) &&
              sizeof(TWMScroll) == sizeof(TMessage) && sizeof(TWMSetCursor) == sizeof(TMessage) &&
              sizeof(TCMChildKey) == sizeof(TMessage) && sizeof(TCMMouseWheel) == sizeof(TMessage) &&
              sizeof(TWMShowWindow) == sizeof(TMessage) && sizeof(TWMEnable) == sizeof(TMessage) &&
              sizeof(TWMMove) == sizeof(TMessage) && sizeof(TWMNCHitTest) == sizeof(TMessage),
              "every message record is a view of TMessage");

// ---- Message maps -----------------------------------------------------------------------------
// A class handles messages by methods named in its message map; every other message goes to the
// parent class's map and finally to DefaultHandler. Inside a handler, `inherited::Dispatch(&Message)`
// passes the message on to what the parent class would have done with it.
//
//   class TMyGrid : public TCustomControl {
//     DECLARE_CLASS(TMyGrid, TCustomControl)
//     BEGIN_MESSAGE_MAP
//       MESSAGE_HANDLER(WM_SIZE, TWMSize, WMSize)
//       MESSAGE_HANDLER(CM_FONTCHANGED, TMessage, CMFontChanged)
//     END_MESSAGE_MAP
//     void WMSize(TWMSize& Message);
//     void CMFontChanged(TMessage& Message);
//   };

#define BEGIN_MESSAGE_MAP                                 \
 public:                                                  \
  void Dispatch(void* Message) override {                 \
    switch (static_cast<TMessage*>(Message)->Msg) {
#define MESSAGE_HANDLER(Id, Record, Method)               \
  case (Id):                                              \
    this->Method(*static_cast<Record*>(Message));         \
    return;
#define END_MESSAGE_MAP                                   \
  default:                                                \
    break;                                                \
    }                                                     \
    inherited::Dispatch(Message);                         \
  }                                                       \
                                                          \
 private:

// ---- Helpers ----------------------------------------------------------------------------------

// Point from a mouse message's LParam, sign-extending each half (coordinates left of or above
// a window are negative).
inline TPoint LParamToPoint(LPARAM L) { return {SmallInt(LOWORD(L)), SmallInt(HIWORD(L))}; }
inline LPARAM PointToLParam(const TPoint& P) { return MAKELPARAM(Word(P.X), Word(P.Y)); }
inline TPoint SmallPointToPoint(const TSmallPoint& P) { return {P.x, P.y}; }
inline TSmallPoint PointToSmallPoint(const TPoint& P) { return {SmallInt(P.X), SmallInt(P.Y)}; }
