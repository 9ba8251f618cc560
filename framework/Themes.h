#pragma once
// Themes: the style services (StyleServices), the style manager with its custom styles from the
// program's resources, and the style hooks that paint the standard and
// common controls in a custom style.
// The unit lives in framework/themes/, one file per concern.

#include "framework/themes/ThemeTypes.h"
#include "framework/themes/StyleData.h"
#include "framework/themes/StyleServices.h"
#include "framework/themes/StyleManager.h"
#include "framework/themes/StyleHooks.h"
#include "framework/themes/CommonStyleHooks.h"
