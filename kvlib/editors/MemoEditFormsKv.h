#pragma once
// MemoEditFormsKv: the family's shared multi-line text editor window. One instance serves the
// whole program: the edits drop it down from a drop-down button without a form of its own and
// show it modally from an ellipsis or glyph button; one unnamed variable carries the text in and
// out. The unit also installs MemoEditDialogProc, the same dialog for code without an edit.

#include "framework/Types.h"
#include "kvlib/foundation/DropDownFormKv.h"

class TBevel;
class TMemo;
class TPanel;
class TSpeedButton;

class TMemoEditWinKv : public TCustomDropDownFormKv {
  DECLARE_CLASS(TMemoEditWinKv, TCustomDropDownFormKv)
 public:
  // Streams the window's resource.
  explicit TMemoEditWinKv(TComponent* AOwner);
  void AfterConstruction() override;
  // The base forgets the values when the modal loop closes the window, before it would return
  // them; the text is returned here into the set the window was given.
  Integer ShowModal() override;

  // The shared window, made (owned by the application) on first use.
  TCustomDropDownFormKv* GetGlobalRef() override;
  static TMemoEditWinKv* GlobalInstance();

  void CustomDropDownFormKvCreate(TObject* Sender);
  void CustomDropDownFormKvInitForm(TCustomDropDownFormKv* Sender, TDynVarsKv* DynParams);
  void CustomDropDownFormKvReturnParams(TCustomDropDownFormKv* Sender, TDynVarsKv* DynParams);
  void sbOkClick(TObject* Sender);
  void sbCancelClick(TObject* Sender);

  TDropDownPassParamsKv GetPassParams() const { return FPassParams; }

  PUBLISHED_DECL(TMemoEditWinKv);

  // The window's components, owned through its component list.
  TMemo* Memo1 = nullptr;
  TPanel* Panel1 = nullptr;
  TSpeedButton* sbOk = nullptr;
  TSpeedButton* sbCancel = nullptr;
  TBevel* Bevel1 = nullptr;

 protected:
  void Loaded() override;

 private:
  TDropDownPassParamsKv FPassParams = pspFieldValueKv;
};

// Shows the shared window modally with Text (Rect is not used); true, with Text the edited text,
// when the user accepted. False without changing Text when the window cannot take parameters.
using TMemoEditDialogProcKv = bool (*)(String& Text, const TRect& Rect, bool ReadOnly);
bool MemoEditDialogKv(String& Text, const TRect& Rect, bool ReadOnly);
// Replaceable; MemoEditDialogKv once the unit has started.
extern TMemoEditDialogProcKv MemoEditDialogProc;

// Shows Window modally with Text as its one unnamed value. False when the window takes no values;
// otherwise Accepted tells whether it closed with OK, and then Text is the value it returned (an
// array or a value that does not convert gives an empty text).
bool EditTextInWindowKv(TCustomDropDownFormKv* Window, String& Text, bool ReadOnly, bool& Accepted);

// The shared instance of a drop-down form class that keeps one: the existing one, else a new one
// owned by the application (its class makes itself the shared instance when constructed).
TCustomDropDownFormKv* GetGlobalDropDownFormKv(TClass FormClass);
