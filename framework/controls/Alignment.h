#pragma once
// The text alignment on its own, for units that need it without the Win32 headers (the
// dataset's fields).

#include "framework/TypInfo.h"

DECLARE_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter)
using TLeftRight = TAlignment;
