#pragma once
// Points, sizes and rectangles, laid out as their Win32 counterparts so that a TRect* is a RECT*.

#include "framework/System.h"

struct TPoint {
  LongInt X = 0, Y = 0;
  constexpr TPoint() = default;
  constexpr TPoint(LongInt AX, LongInt AY) : X(AX), Y(AY) {}
  bool operator==(const TPoint&) const = default;
};

struct TSmallPoint {
  SmallInt x = 0, y = 0;
};

struct TSize {
  LongInt cx = 0, cy = 0;
  constexpr TSize() = default;
  constexpr TSize(LongInt W, LongInt H) : cx(W), cy(H) {}
  bool operator==(const TSize&) const = default;
};

struct TRect {
  LongInt Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr TRect() = default;
  constexpr TRect(LongInt L, LongInt T, LongInt R, LongInt B) : Left(L), Top(T), Right(R), Bottom(B) {}
  constexpr TRect(const TPoint& TL, const TPoint& BR) : Left(TL.X), Top(TL.Y), Right(BR.X), Bottom(BR.Y) {}
  constexpr LongInt Width() const { return Right - Left; }
  constexpr LongInt Height() const { return Bottom - Top; }
  constexpr TPoint TopLeft() const { return {Left, Top}; }
  constexpr TPoint BottomRight() const { return {Right, Bottom}; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(const TPoint& P) const { return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom; }
  bool operator==(const TRect&) const = default;
};

constexpr TPoint Point(LongInt X, LongInt Y) { return {X, Y}; }
constexpr TSmallPoint SmallPoint(LongInt X, LongInt Y) { return {SmallInt(X), SmallInt(Y)}; }
constexpr TRect Rect(LongInt L, LongInt T, LongInt R, LongInt B) { return {L, T, R, B}; }
constexpr TRect Bounds(LongInt L, LongInt T, LongInt W, LongInt H) { return {L, T, L + W, T + H}; }
constexpr TSize Size(LongInt W, LongInt H) { return {W, H}; }
constexpr bool PtInRect(const TRect& R, const TPoint& P) { return R.Contains(P); }
constexpr bool IsRectEmpty(const TRect& R) { return R.IsEmpty(); }
// The framework's var-parameter forms; true when the result is not empty.
bool IntersectRect(TRect& Dest, const TRect& R1, const TRect& R2);
bool UnionRect(TRect& Dest, const TRect& R1, const TRect& R2);
bool OffsetRect(TRect& R, LongInt DX, LongInt DY);
bool InflateRect(TRect& R, LongInt DX, LongInt DY);
constexpr TPoint CenterPoint(const TRect& R) { return {(R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2}; }
