#include "framework/StdCtrls.h"

void RegisterStdControls() {
  RegisterClasses({TLabel::StaticClass(), TEdit::StaticClass(), TMemo::StaticClass(), TButton::StaticClass(),
                   TCheckBox::StaticClass(), TRadioButton::StaticClass(), TGroupBox::StaticClass(),
                   TListBox::StaticClass(), TComboBox::StaticClass(), TScrollBar::StaticClass()});
}
