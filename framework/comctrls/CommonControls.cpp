#include "framework/comctrls/CommonControls.h"

#include <atomic>

void InitCommonControl(DWORD Classes) {
  static std::atomic<DWORD> Done{0};
  if ((Done.load() & Classes) == Classes) return;
  INITCOMMONCONTROLSEX Icc{sizeof(Icc), Classes};
  InitCommonControlsEx(&Icc);
  Done.fetch_or(Classes);
}
