#pragma once
// The small types of the Controls unit: alignment, anchors, styles and states, mouse buttons,
// cursors, window creation parameters and the event signatures of controls.

#include "framework/Messages.h"
#include "framework/classes/Component.h"
#include "framework/controls/Alignment.h"
#include "framework/controls/ShiftState.h"
#include "framework/graphics/Colors.h"

class TControl;
class TWinControl;
class TDragObject;

DECLARE_ENUM(TBiDiMode, bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly)

DECLARE_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom)
using TAlignSet = Set<TAlign, 8>;

DECLARE_ENUM(TAnchorKind, akLeft, akTop, akRight, akBottom)
using TAnchors = Set<TAnchorKind, 4>;
inline const TAnchors AnchorAlign[] = {
    {akLeft, akTop},                     // alNone
    {akLeft, akTop, akRight},            // alTop
    {akLeft, akRight, akBottom},         // alBottom
    {akLeft, akTop, akBottom},           // alLeft
    {akRight, akTop, akBottom},          // alRight
    {akLeft, akTop, akRight, akBottom},  // alClient
    {akLeft, akTop},                     // alCustom
};

DECLARE_ENUM(TMouseButton, mbLeft, mbRight, mbMiddle)

enum TControlStyleItem {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption,
  csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable,
  csNoStdEvents, csDisplayDragImage, csReflector, csActionClient, csMenuEvents, csNeedsBorderPaint,
  csParentBackground, csPannable, csAlignWithMargins, csGestures, csPaintBlackOpaqueOnGlass,
  csOverrideStylePaint
};
using TControlStyle = Set<TControlStyleItem, 32>;

enum TControlStateItem {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating,
  csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking, csDesignerHide, csPanning,
  csRecreating, csAligning, csGlassPaint, csPrintClient
};
using TControlState = Set<TControlStateItem, 32>;

// Forms add the sizeable and tool-window styles to the two every control knows.
DECLARE_ENUM(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)
using TBorderStyle = TFormBorderStyle;

DECLARE_ENUM(TDragMode, dmManual, dmAutomatic)
// Where a drop-down lines up with the control it drops from.
DECLARE_ENUM(TDropDownAlign, daLeft, daRight, daCenter)
DECLARE_ENUM(TDragKind, dkDrag, dkDock)
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
enum TScrollBarKind { sbHorizontal, sbVertical };
using TCaption = String;
enum TImeMode { imDisable, imClose, imOpen, imDontCare, imSAlpha, imAlpha, imHira, imSKata, imKata, imChinese, imSHanguel, imHanguel };
DECLARE_ENUM(TStyleElement, seFont, seClient, seBorder)
using TStyleElements = Set<TStyleElement, 8>;
DECLARE_ENUM(TTextLayout, tlTop, tlCenter, tlBottom)

using TCursor = SmallInt;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSize = crSizeAll;

using TModalResult = Integer;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrClose = IDCLOSE;
constexpr TModalResult mrHelp = IDHELP;
constexpr TModalResult mrTryAgain = IDTRYAGAIN;
constexpr TModalResult mrContinue = IDCONTINUE;
constexpr TModalResult mrAll = mrContinue + 1;
constexpr TModalResult mrNoToAll = mrAll + 1;
constexpr TModalResult mrYesToAll = mrNoToAll + 1;

// What CreateParams fills in before the window is made.
struct TCreateParams {
  String Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  Integer X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSW WindowClass{};
  wchar_t WinClassName[64] = {};
};

// Event signatures.
using TWndMethod = Closure<void(TMessage& Message)>;
using TKeyEvent = Closure<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = Closure<void(TObject* Sender, Char& Key)>;
using TMouseEvent = Closure<void(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y)>;
using TMouseMoveEvent = Closure<void(TObject* Sender, TShiftState Shift, Integer X, Integer Y)>;
using TMouseWheelEvent = Closure<void(TObject* Sender, TShiftState Shift, Integer WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = Closure<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TContextPopupEvent = Closure<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TDragOverEvent = Closure<void(TObject* Sender, TObject* Source, Integer X, Integer Y, TDragState State, bool& Accept)>;
using TDragDropEvent = Closure<void(TObject* Sender, TObject* Source, Integer X, Integer Y)>;
using TStartDragEvent = Closure<void(TObject* Sender, TDragObject*& DragObject)>;
using TEndDragEvent = Closure<void(TObject* Sender, TObject* Target, Integer X, Integer Y)>;
using TCanResizeEvent = Closure<void(TObject* Sender, Integer& NewWidth, Integer& NewHeight, bool& Resize)>;

// The shift state of a mouse or key message: Keys are the MK_* bits of a mouse message.
TShiftState KeysToShiftState(Word Keys);
// The shift state of a key message: the Alt bit of its KeyData, Shift and Ctrl from the keyboard.
TShiftState KeyDataToShiftState(LongInt KeyData);
// The shift state of the keyboard now.
TShiftState KeyboardStateToShiftState();
