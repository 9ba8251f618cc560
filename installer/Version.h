#pragma once
// The sector choice that ends a version-5.0 installation: it puts the product's shortcuts on the
// desktop and writes the chosen sector to the registry for the point-of-sale programs.

#include <exception>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

class TfrmQalMain;

class TfrmVersion : public TForm {
  DECLARE_CLASS(TfrmVersion, TForm)
 public:
  using TForm::TForm;

  // Raises, after the form has closed, what went wrong while the shortcuts and the registry were
  // written, so that the installation that asked reports it.
  Integer ShowModal() override;

  void FormShow(TObject* Sender);
  void cmdolusturClick(TObject* Sender);

  TPanel* Panel1 = nullptr;
  TRadioGroup* rgSector = nullptr;
  TButton* cmdolustur = nullptr;

  PUBLISHED_DECL(TfrmVersion);

 protected:
  void Loaded() override;

 private:
  // The form whose folder and log the choice uses: the owner, or else the program's main form.
  TfrmQalMain* QalMain();
  std::exception_ptr FError;
};

// Writes the sector (0 Restoran, 1 Market) as the point-of-sale programs read it:
// HKEY_CURRENT_USER\Software\Zelkor\Retail, PosDefault and PosType.
void WriteRetailSector(Integer Sector);
