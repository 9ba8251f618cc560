#pragma once
// Graphics: colours, fonts, pens and brushes, the canvas, and the picture formats (bitmaps,
// icons, the picture holder and its format registry). The unit is large, so it lives in
// framework/graphics/ with one file per concern.

#include "framework/Types.h"
#include "framework/graphics/Colors.h"
#include "framework/graphics/GraphicsObjects.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Graphic.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Icon.h"
