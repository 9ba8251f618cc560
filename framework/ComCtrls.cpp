#include "framework/ComCtrls.h"

#include "framework/ImgList.h"

void RegisterComControls() {
  RegisterClasses({TProgressBar::StaticClass(), TStatusBar::StaticClass(), TRichEdit::StaticClass(),
                   TToolBar::StaticClass(), TToolButton::StaticClass(), TUpDown::StaticClass(),
                   TImageList::StaticClass()});
}
