#pragma once
// The address form: the operator types the server's IPv4 address in four parts; it is probed on
// the server port and, answering or confirmed, added to the picker's list.

#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TfrmIp : public TForm {
  DECLARE_CLASS(TfrmIp, TForm)
 public:
  using TForm::TForm;
  ~TfrmIp() override;

  void FormShow(TObject* Sender);
  // The key-down event of all four parts.
  void txIp1KeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void cmdtamamClick(TObject* Sender);

  TLabel* Label1 = nullptr;
  TEdit* txIp1 = nullptr;
  TEdit* txIp2 = nullptr;
  TEdit* txIp3 = nullptr;
  TEdit* txIp4 = nullptr;
  TButton* cmdtamam = nullptr;
  Word ServerPort = 5452;
  // The picker's list, where the accepted address goes.
  TListBox* ServerList = nullptr;

  PUBLISHED_DECL(TfrmIp);

 protected:
  void Loaded() override;
};

// The last address form the picker opened (owned by the application).
extern TfrmIp* frmIp;

// The range each part of a typed address may take: 1-223, 0-255, 0-255, 1-254.
struct TOctetRange {
  Integer Min, Max;
};
TOctetRange OctetRange(Integer Part);
