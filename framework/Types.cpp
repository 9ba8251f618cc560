#include "framework/Types.h"

#include <algorithm>

bool IntersectRect(TRect& Dest, const TRect& R1, const TRect& R2) {
  Dest = TRect(std::max(R1.Left, R2.Left), std::max(R1.Top, R2.Top), std::min(R1.Right, R2.Right),
               std::min(R1.Bottom, R2.Bottom));
  if (Dest.IsEmpty()) {
    Dest = TRect();
    return false;
  }
  return true;
}

bool UnionRect(TRect& Dest, const TRect& R1, const TRect& R2) {
  if (R1.IsEmpty()) Dest = R2;
  else if (R2.IsEmpty()) Dest = R1;
  else
    Dest = TRect(std::min(R1.Left, R2.Left), std::min(R1.Top, R2.Top), std::max(R1.Right, R2.Right),
                 std::max(R1.Bottom, R2.Bottom));
  if (Dest.IsEmpty()) {
    Dest = TRect();
    return false;
  }
  return true;
}

bool OffsetRect(TRect& R, LongInt DX, LongInt DY) {
  R.Left += DX;
  R.Right += DX;
  R.Top += DY;
  R.Bottom += DY;
  return true;
}

bool InflateRect(TRect& R, LongInt DX, LongInt DY) {
  R.Left -= DX;
  R.Right += DX;
  R.Top -= DY;
  R.Bottom += DY;
  return true;
}
