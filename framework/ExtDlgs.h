#pragma once
// ExtDlgs: the open and save dialogs for pictures, offering every registered graphic format.

#include "framework/Dialogs.h"

// An open dialog whose filter lists the registered graphic formats, titled "Load Picture".
class TOpenPictureDialog : public TOpenDialog {
  DECLARE_CLASS(TOpenPictureDialog, TOpenDialog)
 public:
  explicit TOpenPictureDialog(TComponent* AOwner);

 protected:
  String DefaultTitle() const override;
};

// The same for saving, titled "Save Picture As".
class TSavePictureDialog : public TOpenPictureDialog {
  DECLARE_CLASS(TSavePictureDialog, TOpenPictureDialog)
 public:
  using TOpenPictureDialog::TOpenPictureDialog;
  bool Execute() override;

 protected:
  String DefaultTitle() const override;
};

// Registers the picture dialogs for form streams.
void RegisterExtDialogs();
