#pragma once
// Helpers for the style tests: a custom style active for one test, and colour measures.

#include <gtest/gtest.h>

#include "framework/Themes.h"

namespace themetest {

inline const wchar_t* const PearlName = L"Material Black Pearl";

// The custom style for the length of a test; the system style again after.
struct TPearlStyle {
  TPearlStyle() { TStyleManager::SetStyle(PearlName); }
  ~TPearlStyle() { TStyleManager::SetStyle(TStyleManager::SystemStyleName); }
};

inline Integer Luminance(TColor C) {
  TColorRef V = ColorToRGB(C);
  return (Integer(V & 0xFF) * 299 + Integer((V >> 8) & 0xFF) * 587 + Integer((V >> 16) & 0xFF) * 114) / 1000;
}

constexpr TColor Hex(unsigned V) { return RGB(Byte(V >> 16), Byte(V >> 8), Byte(V)); }

}  // namespace themetest
