#include "framework/ExtDlgs.h"

#include "framework/Graphics.h"

TOpenPictureDialog::TOpenPictureDialog(TComponent* AOwner) : TOpenDialog(AOwner) {
  SetFilter(GraphicFilter(TGraphic::StaticClass()));
}

String TOpenPictureDialog::DefaultTitle() const { return L"Load Picture"; }

bool TSavePictureDialog::Execute() { return DoExecute(true); }

String TSavePictureDialog::DefaultTitle() const { return L"Save Picture As"; }

void RegisterExtDialogs() {
  RegisterClasses({TOpenPictureDialog::StaticClass(), TSavePictureDialog::StaticClass()});
}
