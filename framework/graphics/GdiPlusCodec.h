#pragma once
// Decoding and encoding of compressed picture formats through GDI+ (which Wine provides), with
// the pixels as straight (not premultiplied) 32-bit BGRA, top row first.

#include <vector>

#include "framework/System.h"

namespace fw_graphics {
// False when GDI+ cannot decode the data.
bool GdiPlusDecode(const Byte* Data, size_t Size, Integer& Width, Integer& Height, std::vector<Cardinal>& Pixels);
// MimeType picks the encoder ("image/png", "image/jpeg"); Quality 1..100 for JPEG, else 0.
TBytes GdiPlusEncode(const wchar_t* MimeType, Integer Width, Integer Height, const Cardinal* Pixels, Integer Quality = 0);
}  // namespace fw_graphics
