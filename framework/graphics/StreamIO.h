#pragma once
// The few stream operations the picture formats need, in one place.

#include "framework/System.h"

class TStream;
class TGraphic;

namespace fw_graphics {
// Everything from the stream's position to its end; Start receives that position.
TBytes ReadToEnd(TStream* Stream, Int64& Start);
// Reads exactly Count bytes or raises EInvalidGraphic naming What.
TBytes ReadExactly(TStream* Stream, size_t Count, const wchar_t* What);
// At most Count bytes; the number read.
size_t ReadUpTo(TStream* Stream, void* Buffer, size_t Count);
Int64 StreamPosition(TStream* Stream);
void SetStreamPosition(TStream* Stream, Int64 Position);
void WriteBytes(TStream* Stream, const void* Data, size_t Count);
inline void WriteBytes(TStream* Stream, const TBytes& Data) { WriteBytes(Stream, Data.data(), Data.size()); }

// What WriteData writes, as bytes.
TBytes GraphicData(TGraphic* Graphic);

// Little-endian reads from a buffer whose bounds the caller has checked.
inline Word GetWord(const Byte* P) { return Word(P[0] | (P[1] << 8)); }
inline Cardinal GetDWord(const Byte* P) { return Cardinal(P[0]) | (Cardinal(P[1]) << 8) | (Cardinal(P[2]) << 16) | (Cardinal(P[3]) << 24); }
inline void PutWord(TBytes& B, Word V) { B.push_back(Byte(V)); B.push_back(Byte(V >> 8)); }
inline void PutDWord(TBytes& B, Cardinal V) { for (int I = 0; I < 4; ++I) B.push_back(Byte(V >> (8 * I))); }

// Raises EInvalidGraphic with a message that names the format and what is wrong.
[[noreturn]] void InvalidGraphic(const String& Format, const String& Problem);
}  // namespace fw_graphics
