#pragma once
// The server picker: probes the database port on every host of the local /24 network and lets
// the operator pick one of the hosts that answer; when none does, the address form opens.
// The picker's modal result is mrOk exactly when a line of lbIp is selected: its text is the
// server's address.

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TfrmSunucu : public TForm {
  DECLARE_CLASS(TfrmSunucu, TForm)
 public:
  using TForm::TForm;

  void FormShow(TObject* Sender);
  void Timer1Timer(TObject* Sender);
  void cmdSecClick(TObject* Sender);
  void cmdVazgecClick(TObject* Sender);
  // Adds to List every host of the local address's /24 that accepts a connection on Port, in
  // host order. Nothing is probed when the local address is not a known IPv4 address.
  void ScanServers(Integer Port, TListBox* List, TProgressBar* Bar);

  TPanel* Panel1 = nullptr;
  TListBox* lbIp = nullptr;
  TProgressBar* progressIp = nullptr;
  TPanel* Panel3 = nullptr;
  TButton* cmdSec = nullptr;
  TButton* cmdVazgec = nullptr;
  TTimer* Timer1 = nullptr;
  // The TCP port probed, set by the caller before the form is shown.
  Word ServerPort = 5452;

  PUBLISHED_DECL(TfrmSunucu);

 protected:
  void Loaded() override;
};

// Ends a scan under way in any picker of the program (set by Seç and Vazgeç); a scan that
// starts clears it.
extern bool ServerScanStopped;

// The first three parts of a dotted IPv4 address followed by ".", "192.168.1." for
// "192.168.1.20"; empty when Address is no such address.
String ScanPrefix(const String& Address);
