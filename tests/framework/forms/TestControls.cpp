#include "tests/framework/forms/TestControls.h"

namespace ctltest {

PUBLISHED_DEF(TTestPanel) { PROP(Caption); }

PUBLISHED_DEF(TTestButton) {
  PROP(Caption);
  PROP(ModalResult).Default(0);
}

PUBLISHED_DEF(TLayoutForm) { METHOD(FormKeyDown); }

}  // namespace ctltest
