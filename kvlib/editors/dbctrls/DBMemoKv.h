#pragma once
// The family's data-aware memo (part of the unit DBCtrlsKv): a data-aware edit that word-wraps,
// keeps Enter, and offers its text as Lines, read and written on its window. Every change made
// through Lines enters edit mode first and posts at once, like an assignment to Text.

#include <memory>

#include "framework/classes/Strings.h"
#include "kvlib/editors/dbctrls/DBEditKv.h"

class TCustomDBMemoKv;

// The memo's lines as its window holds them; a final line break does not make a line.
class TDBMemoStringsKv : public TStrings {
  DECLARE_CLASS(TDBMemoStringsKv, TStrings)
 public:
  explicit TDBMemoStringsKv(TCustomDBMemoKv* Memo) : FMemo(Memo) {}

  Integer GetCount() const override;
  // The whole line, however long.
  String Get(Integer Index) const override;
  void Put(Integer Index, const String& S) override;
  void Insert(Integer Index, const String& S) override;
  void Delete(Integer Index) override;
  void Clear() override;
  String GetTextStr() const override;
  // Line breaks become CR LF; the same text changes nothing and posts nothing.
  void SetTextStr(const String& Value) override;
  TCustomDBMemoKv* GetMemo() const { return FMemo; }

 protected:
  void SetUpdateState(bool Updating) override;

 private:
  TCustomDBMemoKv* FMemo;  // the memo owns its lines
};

class TCustomDBMemoKv : public TCustomDBEditKv {
  DECLARE_CLASS(TCustomDBMemoKv, TCustomDBEditKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_GETDLGCODE, TWMGetDlgCode, WMGetDlgCode)
  END_MESSAGE_MAP

 public:
  explicit TCustomDBMemoKv(TComponent* AOwner);
  ~TCustomDBMemoKv() override;

  TPoint GetCaretPos() { return GetCaretPosSlot(); }
  void SetCaretPos(const TPoint& Value) { SetCaretPosSlot(Value); }
  TStrings* GetLines() const { return FLines.get(); }
  void SetLines(TStrings* Value) { FLines->Assign(Value); }
  bool IsLinesStored() { return DataIndepended(); }
  TScrollStyle GetScrollBars() const { return FScrollBars; }

  // A bound memo puts its dataset into edit state (not at design time).
  void BeginLinesChange();
  // Posts unless a post is running; a refused value reloads the memo and the error passes on.
  void EndLinesChange();
  // The window's text could not be changed: the memo reloads, no edit of ours stays open.
  void AbandonLinesChange();

  virtual TPoint GetCaretPosSlot();
  virtual void SetCaretPosSlot(const TPoint& Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void KeyPress(Char& Key) override;
  void Loaded() override;
  void WMGetDlgCode(TWMGetDlgCode& Message);

 private:
  std::unique_ptr<TStrings> FLines;
  TScrollStyle FScrollBars = ssNone;
  bool FMemoWantTabs = false;
  bool FLinesEditBegan = false;  // the change bracket put the dataset into edit state
};
