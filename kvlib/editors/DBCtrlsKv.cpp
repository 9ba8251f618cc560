#include "kvlib/editors/DBCtrlsKv.h"

void RegisterDBCtrlsKv() { RegisterClasses({TDBCheckBoxKv::StaticClass(), TDBEditKv::StaticClass(), TDBComboBoxKv::StaticClass()}); }
