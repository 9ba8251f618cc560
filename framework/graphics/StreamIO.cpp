#include "framework/graphics/StreamIO.h"

#include "framework/classes/Streams.h"
#include "framework/graphics/Graphic.h"

namespace fw_graphics {

TBytes ReadToEnd(TStream* Stream, Int64& Start) {
  Start = Stream->GetPosition();
  Int64 Count = Stream->GetSize() - Start;
  TBytes Data;
  if (Count <= 0) return Data;
  Data.resize(size_t(Count));
  Data.resize(ReadUpTo(Stream, Data.data(), Data.size()));
  return Data;
}

TBytes ReadExactly(TStream* Stream, size_t Count, const wchar_t* What) {
  // A damaged size field must not commit gigabytes before the short read is noticed.
  Int64 Left = Stream->GetSize() - Stream->GetPosition();
  if (Left < 0 || Count > size_t(Left)) InvalidGraphic(What, L"the data ends too early");
  TBytes Data(Count);
  if (ReadUpTo(Stream, Data.data(), Count) != Count) InvalidGraphic(What, L"the data ends too early");
  return Data;
}

size_t ReadUpTo(TStream* Stream, void* Buffer, size_t Count) {
  size_t Done = 0;
  while (Done < Count) {
    Integer Part = Integer(std::min<size_t>(Count - Done, 0x40000000));
    Integer N = Stream->Read(static_cast<Byte*>(Buffer) + Done, Part);
    if (N <= 0) break;
    Done += size_t(N);
  }
  return Done;
}

Int64 StreamPosition(TStream* Stream) { return Stream->GetPosition(); }
void SetStreamPosition(TStream* Stream, Int64 Position) { Stream->SetPosition(Position); }

void WriteBytes(TStream* Stream, const void* Data, size_t Count) {
  if (Count) Stream->WriteBuffer(Data, Integer(Count));
}

TBytes GraphicData(TGraphic* Graphic) {
  TMemoryStream M;
  Graphic->WriteData(&M);
  const Byte* P = static_cast<const Byte*>(M.GetMemory());
  return TBytes(P, P + M.GetSize());
}

void InvalidGraphic(const String& Format, const String& Problem) {
  throw EInvalidGraphic(L"Invalid " + Format + L" picture: " + Problem);
}

}  // namespace fw_graphics
