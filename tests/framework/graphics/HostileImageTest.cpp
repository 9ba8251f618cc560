#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "framework/GIFImg.h"
#include "framework/Graphics.h"
#include "framework/Jpeg.h"
#include "framework/PngImage.h"
#include "framework/WinApi.h"

namespace {

TBytes Hex(const char* H) {
  TBytes B;
  for (; H[0] && H[1]; H += 2) B.push_back(Byte(std::stoi(std::string(H, 2), nullptr, 16)));
  return B;
}

TBytes Cat(std::initializer_list<TBytes> Parts) {
  TBytes R;
  for (const auto& P : Parts) R.insert(R.end(), P.begin(), P.end());
  return R;
}

TBytes Str(const std::string& S) { return TBytes(S.begin(), S.end()); }
TBytes ShortStr(const std::string& S) { return Cat({TBytes{Byte(S.size())}, Str(S)}); }

TBytes Repeat(const TBytes& B, size_t N) {
  TBytes R;
  for (size_t I = 0; I < N; ++I) R.insert(R.end(), B.begin(), B.end());
  return R;
}

void LoadInto(TMemoryStream& M, const TBytes& Data) {
  M.Clear();
  if (!Data.empty()) M.WriteBuffer(Data.data(), Integer(Data.size()));
  M.SetPosition(0);
}

// A component with a picture, as a form stores an image.
class THostilePictureHolder : public TComponent {
  DECLARE_CLASS(THostilePictureHolder, TComponent)
 public:
  explicit THostilePictureHolder(TComponent* AOwner) : TComponent(AOwner) {}
  TPicture* GetPicture() const { return FPicture.get(); }
  void SetPicture(TPicture* Value) { FPicture->Assign(Value); }
  PUBLISHED_DECL(THostilePictureHolder);

 private:
  std::unique_ptr<TPicture> FPicture = std::make_unique<TPicture>();
};

}  // namespace

PUBLISHED_DEF(THostilePictureHolder) { PROP(Picture); }

namespace {

TEST(HostileImages, PictureDataWithAHugeSizeFieldIsRefusedBeforeAllocating) {
  RegisterClass(THostilePictureHolder::StaticClass());
  // Picture.Data holding a class name and a size of 1.3 GB (bitmap) or 1.1 GB (JPEG) over two bytes.
  const char* Cases[] = {
      "0a0e00000007544269746d6170ff7f424d0000",
      "0a110000000a544a504547496d616765ffff7f424d00",
      "0a0e00000007544269746d6170f0ffffff0000",
  };
  for (const char* Value : Cases) {
    TBytes Form = Cat({Str("TPF0"), ShortStr("THostilePictureHolder"), ShortStr("P"), ShortStr("Picture.Data"), Hex(Value)});
    TMemoryStream M;
    LoadInto(M, Form);
    THostilePictureHolder H(nullptr);
    try {
      M.ReadComponent(&H);
      ADD_FAILURE() << Value;
    } catch (const EReadError& E) {
      EXPECT_NE(E.Message().find(L"ends too early"), String::npos) << Value << ": " << E.Message();
    }
  }
}

TEST(HostileImages, GifFramesAreClippedToTheScreenAndBoundedInTotal) {
  // A 16 x 16 screen with 30 frames of 8192 x 8192 pixels, one data byte each (440 bytes).
  TBytes Head = Hex("47494638396110001000800000000000000000");
  TBytes Frame = Hex("2c00000000002000200002014400");
  TMemoryStream M;
  LoadInto(M, Cat({Head, Repeat(Frame, 30), Hex("3b")}));
  TGIFImage G;
  G.LoadFromStream(&M);
  ASSERT_EQ(G.GetImages().size(), 30u);
  for (const auto& F : G.GetImages()) {
    EXPECT_EQ(F.Width, 16);
    EXPECT_EQ(F.Height, 16);
    EXPECT_EQ(F.Pixels.size(), 256u);
  }
  EXPECT_EQ(G.GetWidth(), 16);
  // Frames of 4096 x 4096 that fill a large screen stop at a total: the ones read before it are kept.
  TBytes BigHead = Hex("47494638396100100010800000000000000000");
  LoadInto(M, Cat({BigHead, Repeat(Hex("2c00000000001000100002014400"), 5), Hex("3b")}));
  TGIFImage Big;
  Big.LoadFromStream(&M);
  EXPECT_EQ(Big.GetImages().size(), 3u);
  EXPECT_TRUE(Big.GetTruncated());
}

TEST(HostileImages, BitmapWithAFullThirtyTwoBitMaskLoads) {
  TMemoryStream M;
  LoadInto(M, Hex("424d46000000000000004200000028000000010000000100000001002000030000000400000000000000000000000000"
                  "000000000000ffffffff00ff0000ff00000011111111"));
  TBitmap B;
  B.LoadFromStream(&M);
  EXPECT_EQ(B.GetWidth(), 1);
  EXPECT_EQ(B.GetPixelsBGRA()[0] & 0xFFFFFF, 0x111111u);
}

TEST(HostileImages, IconWhoseImageDoesNotFitItsEntryIsRefused) {
  const char* Cases[] = {
      // width 0x40000000, height 2, 32 bits, over 40 bytes
      "0000010001001010000001002000280000001600000028000000000000400200000001002000000000000000000000000000000000000000000000000000",
      // 16 x 16 at 32 bits needs 1,024 bytes of colour and 64 of mask, not 40
      "0000010001001010000001002000280000001600000028000000100000002000000001002000000000000000000000000000000000000000000000000000",
      // negative width
      "00000100010010100000010020002800000016000000280000000000f0ff2000000001002000000000000000000000000000000000000000000000000000",
  };
  for (const char* C : Cases) {
    TMemoryStream M;
    LoadInto(M, Hex(C));
    TIcon I;
    EXPECT_THROW(I.LoadFromStream(&M), EInvalidGraphic) << C;
    EXPECT_TRUE(I.GetEmpty()) << C;
  }
}

TBytes Saved(TGraphic* G) {
  TMemoryStream M;
  G->SaveToStream(&M);
  return TBytes(static_cast<const Byte*>(M.GetMemory()), static_cast<const Byte*>(M.GetMemory()) + M.GetSize());
}

void PutBE16(TBytes& D, size_t At, unsigned V) {
  D[At] = Byte(V >> 8);
  D[At + 1] = Byte(V);
}

TEST(HostileImages, JpegAndPngSizesMustFitTheirData) {
  TBitmap B;
  B.SetPixelFormat(pf24bit);
  B.SetSize(8, 8);
  TJPEGImage J;
  J.Assign(&B);
  TPngImage P;
  P.Assign(&B);
  const TBytes Jpeg = Saved(&J), Png = Saved(&P);
  // The baseline frame header: FF C0, length, precision, then height and width.
  size_t Sof = 2;
  while (Sof + 1 < Jpeg.size() && !(Jpeg[Sof] == 0xFF && Jpeg[Sof + 1] == 0xC0)) ++Sof;
  ASSERT_LT(Sof + 8, Jpeg.size());
  struct Case {
    bool IsJpeg;
    unsigned Width, Height;
    const wchar_t* Message;
  };
  const Case Cases[] = {
      {true, 65535, 65535, L"size is not valid"},
      {true, 4096, 4096, L"larger than the image data holds"},
      {false, 16384, 16384, L"larger than the image data holds"},
  };
  for (const auto& C : Cases) {
    TBytes D = C.IsJpeg ? Jpeg : Png;
    if (C.IsJpeg) {
      PutBE16(D, Sof + 5, C.Height);
      PutBE16(D, Sof + 7, C.Width);
    } else {
      // IHDR follows the signature and the chunk's length and type.
      D[16] = D[17] = D[20] = D[21] = 0;
      PutBE16(D, 18, C.Width);
      PutBE16(D, 22, C.Height);
    }
    TMemoryStream M;
    LoadInto(M, D);
    try {
      if (C.IsJpeg) {
        TJPEGImage K;
        K.LoadFromStream(&M);
      } else {
        TPngImage K;
        K.LoadFromStream(&M);
      }
      ADD_FAILURE() << C.Width;
    } catch (const EInvalidGraphic& E) {
      EXPECT_NE(E.Message().find(C.Message), String::npos) << C.Width << ": " << E.Message();
    }
  }
}

}  // namespace
