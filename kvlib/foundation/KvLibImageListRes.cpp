#include "kvlib/foundation/KvLibImageListRes.h"

#include <cmath>
#include <memory>

#include "framework/Graphics.h"
#include "framework/WinApi.h"

namespace {

// ---- The pictures as vector descriptions --------------------------------------------------------
// Each picture is a list of filled polygons on a 24 x 24 grid, drawn in order (a later shape covers
// an earlier one). Lines and arcs are turned into polygons of their width.

struct TPt {
  double X, Y;
};

struct TShape {
  std::vector<TPt> Points;
  Cardinal Color;  // 0xRRGGBB
};

using TVectorPicture = std::vector<TShape>;

constexpr Cardinal NavBlue = 0x2B579A;
constexpr Cardinal Green = 0x2E8B3A;
constexpr Cardinal Red = 0xC8312B;
constexpr Cardinal Dark = 0x505050;
constexpr Cardinal Orange = 0xD98A1C;

TShape Poly(std::initializer_list<TPt> P, Cardinal Color) { return TShape{std::vector<TPt>(P), Color}; }

TShape Rect(double L, double T, double R, double B, Cardinal Color) {
  return Poly({{L, T}, {R, T}, {R, B}, {L, B}}, Color);
}

// A straight stroke of width W from A to B.
TShape Line(TPt A, TPt B, double W, Cardinal Color) {
  const double DX = B.X - A.X, DY = B.Y - A.Y, Len = std::hypot(DX, DY);
  const double NX = -DY / Len * W / 2, NY = DX / Len * W / 2;
  return Poly({{A.X + NX, A.Y + NY}, {B.X + NX, B.Y + NY}, {B.X - NX, B.Y - NY}, {A.X - NX, A.Y - NY}}, Color);
}

// A ring segment of width W around (CX, CY), from angle A0 to A1 in degrees (0 = right, clockwise
// on screen).
TShape Arc(double CX, double CY, double R, double A0, double A1, double W, Cardinal Color) {
  TShape S{{}, Color};
  const int Steps = 24;
  for (int I = 0; I <= Steps; ++I) {
    const double A = (A0 + (A1 - A0) * I / Steps) * 3.14159265358979323846 / 180;
    S.Points.push_back({CX + (R + W / 2) * std::cos(A), CY + (R + W / 2) * std::sin(A)});
  }
  for (int I = Steps; I >= 0; --I) {
    const double A = (A0 + (A1 - A0) * I / Steps) * 3.14159265358979323846 / 180;
    S.Points.push_back({CX + (R - W / 2) * std::cos(A), CY + (R - W / 2) * std::sin(A)});
  }
  return S;
}

// An arrow with a shaft, pointing from A to B.
TVectorPicture Arrow(TPt A, TPt B, Cardinal Color) {
  const double DX = B.X - A.X, DY = B.Y - A.Y, Len = std::hypot(DX, DY);
  const double UX = DX / Len, UY = DY / Len;
  const TPt Base{B.X - UX * 8, B.Y - UY * 8};
  return {Line(A, Base, 4, Color),
          Poly({{B.X, B.Y}, {Base.X - UY * 7, Base.Y + UX * 7}, {Base.X + UY * 7, Base.Y - UX * 7}}, Color)};
}

TVectorPicture Picture(Integer Index) {
  switch (Index) {
    case 0:  // first record: a bar and a triangle pointing left
      return {Rect(5, 5, 8, 19, NavBlue), Poly({{19, 5}, {19, 19}, {9, 12}}, NavBlue)};
    case 1:  // prior record
      return {Poly({{16, 5}, {16, 19}, {7, 12}}, NavBlue)};
    case 2:  // next record
      return {Poly({{8, 5}, {8, 19}, {17, 12}}, NavBlue)};
    case 3:  // last record
      return {Poly({{5, 5}, {5, 19}, {15, 12}}, NavBlue), Rect(16, 5, 19, 19, NavBlue)};
    case 4:  // insert: a plus
      return {Rect(10, 4, 14, 20, Green), Rect(4, 10, 20, 14, Green)};
    case 5:  // delete: a minus
      return {Rect(4, 10, 20, 14, Red)};
    case 6:  // edit: a pencil
      return {Line({7, 17}, {18, 6}, 5, Orange), Poly({{3.5, 20.5}, {4.9, 15.0}, {9.0, 19.1}}, Dark),
              Line({17.2, 6.8}, {19.2, 4.8}, 5, Red)};
    case 7:  // post: a check mark
      return {Line({4, 12}, {10, 18}, 4, Green), Line({8.6, 18}, {20, 6}, 4, Green)};
    case 8:  // cancel: a cross
      return {Line({5, 5}, {19, 19}, 4, Red), Line({19, 5}, {5, 19}, 4, Red)};
    case 9:  // refresh: a circular arrow
      return {Arc(12, 12, 7, -60, 220, 3.5, NavBlue), Poly({{16.5, 2.0}, {21.5, 8.5}, {13.0, 9.5}}, NavBlue)};
    case 10:  // search panel: clear the search
      return {Line({7, 7}, {17, 17}, 3, Dark), Line({17, 7}, {7, 17}, 3, Dark)};
    case 11:  // find next: a triangle pointing down
      return {Poly({{5, 8}, {19, 8}, {12, 17}}, NavBlue)};
    case 12:  // find prior: a triangle pointing up
      return {Poly({{5, 16}, {19, 16}, {12, 7}}, NavBlue)};
    case 13:  // search options: three lines
      return {Rect(4, 5, 20, 8, Dark), Rect(4, 10.5, 20, 13.5, Dark), Rect(4, 16, 20, 19, Dark)};
    case 14:  // filter: a funnel
      return {Poly({{3, 4}, {21, 4}, {14, 12}, {14, 20}, {10, 18}, {10, 12}}, NavBlue)};
    case 15:  // not used
      return {};
    case 16:  // column dialog: down
      return Arrow({12, 3}, {12, 21}, NavBlue);
    case 17:  // up
      return Arrow({12, 21}, {12, 3}, NavBlue);
    case 18:  // left
      return Arrow({21, 12}, {3, 12}, NavBlue);
    case 19:  // right
      return Arrow({3, 12}, {21, 12}, NavBlue);
    case 20: {  // set column width: a double arrow between two bars
      TVectorPicture P{Rect(2, 4, 4.5, 20, Dark), Rect(19.5, 4, 22, 20, Dark), Line({8, 12}, {16, 12}, 3, NavBlue),
                 Poly({{5.5, 12}, {10, 7.5}, {10, 16.5}}, NavBlue), Poly({{18.5, 12}, {14, 7.5}, {14, 16.5}}, NavBlue)};
      return P;
    }
  }
  return {};
}

bool Inside(const std::vector<TPt>& P, double X, double Y) {
  bool In = false;
  for (size_t I = 0, J = P.size() - 1; I < P.size(); J = I++)
    if ((P[I].Y > Y) != (P[J].Y > Y) && X < (P[J].X - P[I].X) * (Y - P[I].Y) / (P[J].Y - P[I].Y) + P[I].X) In = !In;
  return In;
}

// The disabled look: the grey of the colour's luminance, lightened.
Cardinal DisabledColor(Cardinal C) {
  const Cardinal R = (C >> 16) & 0xFF, G = (C >> 8) & 0xFF, B = C & 0xFF;
  const Cardinal L = (R * 77 + G * 150 + B * 29) >> 8;
  const Cardinal Grey = 128 + L / 2;
  return (Grey << 16) | (Grey << 8) | Grey;
}

std::unique_ptr<TKvLibImageListDataMod>& DataModInstance() {
  static std::unique_ptr<TKvLibImageListDataMod> Instance;
  return Instance;
}

}  // namespace

std::vector<Cardinal> RenderKvLibStdImage(Integer Index, Integer Size, bool Disabled) {
  // 4 x 4 samples a pixel: the share of samples a shape covers is the pixel's opacity.
  constexpr int N = 4;
  const TVectorPicture Pic = Picture(Index);
  std::vector<Cardinal> Pixels(size_t(Size) * Size, 0);
  const double Scale = 24.0 / Size;
  for (Integer Y = 0; Y < Size; ++Y)
    for (Integer X = 0; X < Size; ++X) {
      Cardinal R = 0, G = 0, B = 0, Covered = 0;
      for (int SY = 0; SY < N; ++SY)
        for (int SX = 0; SX < N; ++SX) {
          const double PX = (X + (SX + 0.5) / N) * Scale, PY = (Y + (SY + 0.5) / N) * Scale;
          for (auto It = Pic.rbegin(); It != Pic.rend(); ++It)
            if (Inside(It->Points, PX, PY)) {
              const Cardinal C = Disabled ? DisabledColor(It->Color) : It->Color;
              R += (C >> 16) & 0xFF;
              G += (C >> 8) & 0xFF;
              B += C & 0xFF;
              ++Covered;
              break;
            }
        }
      if (!Covered) continue;
      Cardinal Alpha = Covered * 255 / (N * N);
      if (Disabled) Alpha = Alpha * 3 / 4;
      Pixels[size_t(Y) * Size + X] = (Alpha << 24) | ((R / Covered) << 16) | ((G / Covered) << 8) | (B / Covered);
    }
  return Pixels;
}

TKvLibImageListDataMod::TKvLibImageListDataMod(TComponent* AOwner) : TDataModule(AOwner) {
  RegisterClasses({TImageList::StaticClass()});
}

void TKvLibImageListDataMod::AfterConstruction() {
  inherited::AfterConstruction();
  auto List = [this](const wchar_t* Name) {
    auto* L = dynamic_cast<TImageList*>(FindComponent(Name));
    if (!L) throw EResNotFound(String(L"Image list ") + Name + L" missing from the resource");
    return L;
  };
  imList12_12 = List(L"imList12_12");
  imList12_12_Dis = List(L"imList12_12_Dis");
  imList16_16 = List(L"imList16_16");
  imList16_16_Dis = List(L"imList16_16_Dis");
  imList24_24 = List(L"imList24_24");
  imList24_24_Dis = List(L"imList24_24_Dis");
  for (TImageList* L : {imList12_12, imList12_12_Dis, imList16_16, imList16_16_Dis, imList24_24, imList24_24_Dis}) {
    const bool Disabled = L == imList12_12_Dis || L == imList16_16_Dis || L == imList24_24_Dis;
    const Integer Size = L->GetWidth();
    TBitmap Strip;
    std::vector<Cardinal> Pixels(size_t(Size) * Size * KvLibStdImageCount);
    for (Integer I = 0; I < KvLibStdImageCount; ++I) {
      const std::vector<Cardinal> One = RenderKvLibStdImage(I, Size, Disabled);
      for (Integer Y = 0; Y < Size; ++Y)
        std::copy_n(One.begin() + size_t(Y) * Size, Size,
                    Pixels.begin() + size_t(Y) * Size * KvLibStdImageCount + size_t(I) * Size);
    }
    Strip.SetPixelsBGRA(Size * KvLibStdImageCount, Size, Pixels.data(), afDefined);
    L->Add(&Strip, nullptr);
  }
}

TGraphic* TKvLibImageListDataMod::GetImageFromImageList(TCustomImageList* ImageList, Integer ImageIndex) {
  const Integer W = ImageList->GetWidth(), H = ImageList->GetHeight();
  HBITMAP Source = ImageList->GetImageBitmap();
  BITMAP Info{};
  if (!Source || !GetObjectW(Source, sizeof(Info), &Info) || W <= 0 || H <= 0)
    throw EInvalidOperation(L"The image list has no pictures");
  const Integer Columns = std::max(1, Integer(Info.bmWidth / W));
  const Integer BlockRow = ImageIndex / Columns, Column = ImageIndex % Columns;
  if (ImageIndex < 0 || (BlockRow + 1) * H > Info.bmHeight) throw EInvalidOperation(L"Image index out of range");
  // The whole strip as top-down 32-bit rows, then the picture's block of it.
  std::vector<Cardinal> All(size_t(Info.bmWidth) * Info.bmHeight);
  BITMAPINFO BI{};
  BI.bmiHeader.biSize = sizeof(BI.bmiHeader);
  BI.bmiHeader.biWidth = Info.bmWidth;
  BI.bmiHeader.biHeight = -Info.bmHeight;
  BI.bmiHeader.biPlanes = 1;
  BI.bmiHeader.biBitCount = 32;
  BI.bmiHeader.biCompression = BI_RGB;
  HDC DC = GetDC(nullptr);
  const int Lines = GetDIBits(DC, Source, 0, UINT(Info.bmHeight), All.data(), &BI, DIB_RGB_COLORS);
  ReleaseDC(nullptr, DC);
  if (Lines != Info.bmHeight) throw EInvalidOperation(L"Cannot read the image list's pictures");
  std::vector<Cardinal> Pixels(size_t(W) * H);
  for (Integer R = 0; R < H; ++R)
    std::copy_n(All.begin() + size_t(BlockRow * H + R) * Info.bmWidth + size_t(Column) * W, W,
                Pixels.begin() + size_t(R) * W);
  auto Result = std::make_unique<TBitmap>();
  Result->SetPixelsBGRA(W, H, Pixels.data(), afDefined);
  return Result.release();
}

TKvLibImageListDataMod* KvLibImageListDataMod() {
  auto& M = DataModInstance();
  if (!M) M.reset(TComponent::Create<TKvLibImageListDataMod>(nullptr));
  return M.get();
}
