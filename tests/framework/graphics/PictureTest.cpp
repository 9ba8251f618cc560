#include <gtest/gtest.h>

#include "fixtures/RedSquareIcon.h"
#include "framework/Classes.h"
#include "framework/GIFImg.h"
#include "framework/Graphics.h"
#include "framework/Jpeg.h"
#include "framework/PngImage.h"
#include "framework/WinApi.h"

namespace {

#include "fixtures/alpha_png.inc"
#include "fixtures/anim_gif.inc"

TBytes Bytes(const unsigned char* P, size_t N) { return TBytes(P, P + N); }

TBytes StreamBytes(TMemoryStream& M) {
  const Byte* P = static_cast<const Byte*>(M.GetMemory());
  return TBytes(P, P + M.GetSize());
}

void PictureLoadInto(TMemoryStream& M, const TBytes& Data) {
  M.Clear();
  if (!Data.empty()) M.WriteBuffer(Data.data(), Integer(Data.size()));
  M.SetPosition(0);
}

std::unique_ptr<TBitmap> Sample(TPixelFormat Format) {
  auto B = std::make_unique<TBitmap>();
  B->SetPixelFormat(Format);
  B->SetSize(7, 5);
  TCanvas* C = B->GetCanvas();
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(Rect(0, 0, 7, 5));
  C->SetPixel(0, 0, clRed);
  C->SetPixel(6, 4, clBlue);
  C->SetPixel(3, 2, clBlack);
  return B;
}

TEST(BitmapStream, BmpRoundTripKeepsFormatAndPixels) {
  const TPixelFormat Formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};
  for (auto F : Formats) {
    auto B = Sample(F);
    TMemoryStream M;
    B->SaveToStream(&M);
    M.SetPosition(0);
    TBitmap C;
    C.LoadFromStream(&M);
    EXPECT_EQ(M.GetPosition(), M.GetSize()) << F;
    EXPECT_EQ(C.GetPixelFormat(), F);
    EXPECT_EQ(C.GetWidth(), 7);
    EXPECT_EQ(C.GetHeight(), 5);
    EXPECT_EQ(C.GetPixelsBGRA(), B->GetPixelsBGRA()) << F;
  }
}

TEST(BitmapStream, AlphaBytesSurviveTheRoundTrip) {
  TBitmap A;
  A.SetPixelFormat(pf32bit);
  A.SetSize(2, 1);
  static_cast<Cardinal*>(A.GetScanLine(0))[0] = 0x40112233;
  static_cast<Cardinal*>(A.GetScanLine(0))[1] = 0xFF445566;
  TMemoryStream M;
  A.SaveToStream(&M);
  M.SetPosition(0);
  TBitmap B;
  B.LoadFromStream(&M);
  EXPECT_EQ(static_cast<Cardinal*>(B.GetScanLine(0))[0], 0x40112233u);
  EXPECT_EQ(static_cast<Cardinal*>(B.GetScanLine(0))[1], 0xFF445566u);
}

TEST(BitmapStream, TruncatedOrForeignDataRaisesAndLeavesTheBitmapEmpty) {
  auto B = Sample(pf8bit);
  TMemoryStream M;
  B->SaveToStream(&M);
  TBytes Full = StreamBytes(M);
  const size_t Cuts[] = {1, 10, 20, 54, 54 + 256 * 4 - 1, Full.size() - 1};
  for (size_t Cut : Cuts) {
    PictureLoadInto(M, TBytes(Full.begin(), Full.begin() + Cut));
    TBitmap C;
    C.SetSize(3, 3);
    EXPECT_THROW(C.LoadFromStream(&M), EInvalidGraphic) << Cut;
    EXPECT_TRUE(C.GetEmpty()) << Cut;
  }
  TBytes Huge = Full;
  Huge[18] = 0xFF;  // width far beyond the data
  Huge[19] = 0xFF;
  PictureLoadInto(M, Huge);
  TBitmap C;
  EXPECT_THROW(C.LoadFromStream(&M), EInvalidGraphic);
  PictureLoadInto(M, Bytes(alpha_png, alpha_png_len));
  EXPECT_THROW(C.LoadFromStream(&M), EInvalidGraphic);
}

TEST(BitmapStream, LoadsFromResourcesByNameAndId) {
  TBitmap B;
  B.LoadFromResourceName(HInstance(), L"GRAPHICSTESTGLYPH");
  EXPECT_EQ(B.GetWidth(), 6);
  EXPECT_EQ(B.GetHeight(), 5);
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 0), clRed);
  EXPECT_EQ(B.GetCanvas()->GetPixel(5, 4), clYellow);
  TBitmap C;
  C.LoadFromResourceID(HInstance(), 101);
  EXPECT_EQ(C.GetPixelsBGRA(), B.GetPixelsBGRA());
  EXPECT_THROW(C.LoadFromResourceName(HInstance(), L"NOSUCHBITMAP"), EResNotFound);
}

TEST(Png, LoadsWithAlphaAndRoundTrips) {
  TMemoryStream M;
  PictureLoadInto(M, Bytes(alpha_png, alpha_png_len));
  TPngImage P;
  P.LoadFromStream(&M);
  ASSERT_EQ(P.GetWidth(), 6);
  ASSERT_EQ(P.GetHeight(), 4);
  EXPECT_EQ(P.GetTransparencyMode(), ptmPartial);
  EXPECT_TRUE(P.SupportsPartialTransparency());
  const auto& Px = P.GetPixels();
  EXPECT_EQ(Px[0], 0xFF0000FFu);            // opaque blue
  EXPECT_EQ(Px[1] & 0xFFFFFF, 0xFF0000u);   // red...
  EXPECT_NEAR(int(Px[1] >> 24), 127, 1);    // ...at half
  EXPECT_EQ(Px[23] >> 24, 0u);              // clear
  // Saved as loaded.
  TMemoryStream Out;
  P.SaveToStream(&Out);
  EXPECT_EQ(StreamBytes(Out), Bytes(alpha_png, alpha_png_len));
  // Through a bitmap and a fresh encoding, the pixels stay.
  TBitmap B;
  B.Assign(&P);
  EXPECT_EQ(B.GetPixelFormat(), pf32bit);
  EXPECT_EQ(B.GetAlphaFormat(), afDefined);
  TPngImage Q;
  Q.Assign(&B);
  TMemoryStream Enc;
  Q.SaveToStream(&Enc);
  Enc.SetPosition(0);
  TPngImage R;
  R.LoadFromStream(&Enc);
  EXPECT_EQ(R.GetPixels(), P.GetPixels());
}

TEST(Png, DrawsBlendedOverTheCanvas) {
  TMemoryStream M;
  PictureLoadInto(M, Bytes(alpha_png, alpha_png_len));
  TPngImage P;
  P.LoadFromStream(&M);
  TBitmap B;
  B.SetSize(6, 4);
  B.GetCanvas()->GetBrush()->SetColor(clWhite);
  B.GetCanvas()->FillRect(Rect(0, 0, 6, 4));
  B.GetCanvas()->Draw(0, 0, &P);
  EXPECT_EQ(B.GetCanvas()->GetPixel(0, 0), clBlue);
  EXPECT_EQ(B.GetCanvas()->GetPixel(5, 3), clWhite);
  Cardinal Half = ColorToRGB(B.GetCanvas()->GetPixel(1, 0));
  EXPECT_EQ(Half & 0xFF, 0xFFu);
  EXPECT_NEAR(int((Half >> 8) & 0xFF), 128, 2);
}

TEST(Png, TruncatedDataRaisesAndLeavesTheImageEmpty) {
  TBytes Full = Bytes(alpha_png, alpha_png_len);
  for (size_t Cut = 0; Cut < Full.size(); Cut += 7) {
    TMemoryStream M;
    PictureLoadInto(M, TBytes(Full.begin(), Full.begin() + Cut));
    TPngImage P;
    EXPECT_THROW(P.LoadFromStream(&M), EInvalidGraphic) << Cut;
    EXPECT_TRUE(P.GetEmpty());
  }
}

TEST(Jpeg, EncodesAndDecodesABitmap) {
  TBitmap B;
  B.SetPixelFormat(pf24bit);
  B.SetSize(16, 16);
  B.GetCanvas()->GetBrush()->SetColor(RGB(200, 40, 40));
  B.GetCanvas()->FillRect(Rect(0, 0, 16, 16));
  TJPEGImage J;
  J.Assign(&B);
  J.SetCompressionQuality(95);
  TMemoryStream M;
  J.SaveToStream(&M);
  ASSERT_GT(M.GetSize(), 100);
  M.SetPosition(0);
  TPicture P;
  P.LoadFromStream(&M);
  ASSERT_TRUE(Is<TJPEGImage>(P.GetGraphic()));
  EXPECT_EQ(P.GetWidth(), 16);
  TBitmap C;
  C.Assign(P.GetGraphic());
  Cardinal Mid = ColorToRGB(C.GetCanvas()->GetPixel(8, 8));
  EXPECT_NEAR(int(Mid & 0xFF), 200, 8);
  EXPECT_NEAR(int((Mid >> 8) & 0xFF), 40, 8);
  // Cut before its end marker, it is refused.
  TBytes Full = StreamBytes(M);
  PictureLoadInto(M, TBytes(Full.begin(), Full.end() - 2));
  EXPECT_THROW(P.LoadFromStream(&M), EInvalidGraphic);
  EXPECT_EQ(P.GetGraphic(), nullptr);
}

TEST(Picture, ChoosesTheClassByContent) {
  struct Case {
    TBytes Data;
    TClass Class;
  };
  TMemoryStream BmpStream;
  Sample(pf24bit)->SaveToStream(&BmpStream);
  const Case Cases[] = {{Bytes(alpha_png, alpha_png_len), TPngImage::StaticClass()},
                        {Bytes(anim_gif, anim_gif_len), TGIFImage::StaticClass()},
                        {StreamBytes(BmpStream), TBitmap::StaticClass()}};
  for (const auto& C : Cases) {
    TMemoryStream M;
    PictureLoadInto(M, C.Data);
    TPicture P;
    int Changes = 0;
    P.SetOnChange([&](TObject*) { ++Changes; });
    P.LoadFromStream(&M);
    ASSERT_NE(P.GetGraphic(), nullptr);
    EXPECT_EQ(P.GetGraphic()->ClassType(), C.Class);
    EXPECT_GT(P.GetWidth(), 0);
    EXPECT_GE(Changes, 1);
  }
}

TEST(Picture, UnknownOrTruncatedStreamsRaiseAndLeaveThePictureEmpty) {
  TPicture P;
  P.GetBitmap()->SetSize(2, 2);
  const TBytes Cases[] = {TBytes{}, TBytes{'h', 'e', 'l', 'l', 'o'}, Bytes(alpha_png, 40), Bytes(anim_gif, 12)};
  for (const auto& Data : Cases) {
    TMemoryStream M;
    PictureLoadInto(M, Data);
    try {
      P.LoadFromStream(&M);
      ADD_FAILURE() << "no error for " << Data.size() << " bytes";
    } catch (const EInvalidGraphic& E) {
      EXPECT_FALSE(E.Message().empty());
    }
    EXPECT_EQ(P.GetGraphic(), nullptr);
    P.GetBitmap()->SetSize(2, 2);
  }
}

TEST(Picture, DataPropertyNamesTheClassAndRoundTrips) {
  TMemoryStream Source;
  PictureLoadInto(Source, Bytes(alpha_png, alpha_png_len));
  TPicture P;
  P.LoadFromStream(&Source);
  TMemoryStream Data;
  P.WriteData(&Data);
  TBytes D = StreamBytes(Data);
  ASSERT_GT(D.size(), 10u);
  EXPECT_EQ(D[0], 9);
  EXPECT_EQ(std::string(D.begin() + 1, D.begin() + 10), "TPngImage");
  Data.SetPosition(0);
  TPicture Q;
  Q.ReadData(&Data);
  ASSERT_TRUE(Is<TPngImage>(Q.GetGraphic()));
  EXPECT_EQ(static_cast<TPngImage*>(Q.GetGraphic())->GetPixels(), static_cast<TPngImage*>(P.GetGraphic())->GetPixels());
  // A bitmap keeps its size before the file.
  TPicture B;
  B.SetGraphic(Sample(pf24bit).get());
  TMemoryStream BD;
  B.WriteData(&BD);
  TBytes BB = StreamBytes(BD);
  EXPECT_EQ(std::string(BB.begin() + 1, BB.begin() + 8), "TBitmap");
  EXPECT_EQ(BB[8] | BB[9] << 8 | BB[10] << 16, int(BB.size() - 12));
  BD.SetPosition(0);
  TPicture BQ;
  BQ.ReadData(&BD);
  ASSERT_TRUE(Is<TBitmap>(BQ.GetGraphic()));
  EXPECT_EQ(BQ.GetBitmap()->GetPixelsBGRA(), Sample(pf24bit)->GetPixelsBGRA());
  // Unknown class names and short data are refused.
  TBytes Bad = {4, 'T', 'F', 'o', 'o', 1, 2, 3};
  PictureLoadInto(BD, Bad);
  EXPECT_THROW(BQ.ReadData(&BD), EInvalidGraphic);
  EXPECT_EQ(BQ.GetGraphic(), nullptr);
  PictureLoadInto(BD, TBytes(BB.begin(), BB.begin() + 20));
  EXPECT_THROW(BQ.ReadData(&BD), EInvalidGraphic);
  EXPECT_EQ(BQ.GetGraphic(), nullptr);
}

TEST(Picture, GraphicIsCopiedAndBitmapReplacesOtherGraphics) {
  auto B = Sample(pf24bit);
  TPicture P;
  P.SetGraphic(B.get());
  ASSERT_NE(P.GetGraphic(), B.get());
  EXPECT_TRUE(P.GetGraphic()->Equals(B.get()));
  TMemoryStream M;
  PictureLoadInto(M, Bytes(anim_gif, anim_gif_len));
  P.LoadFromStream(&M);
  EXPECT_TRUE(Is<TGIFImage>(P.GetGraphic()));
  TBitmap* Bmp = P.GetBitmap();
  EXPECT_TRUE(Bmp->GetEmpty());
  EXPECT_EQ(P.GetGraphic(), Bmp);
  TPicture Q;
  Q.Assign(&P);
  EXPECT_TRUE(Is<TBitmap>(Q.GetGraphic()));
  Q.Assign(nullptr);
  EXPECT_EQ(Q.GetGraphic(), nullptr);
}

TEST(Picture, RegistryGivesFiltersAndExtensions) {
  EXPECT_EQ(GraphicExtension(TBitmap::StaticClass()), L"bmp");
  EXPECT_EQ(GraphicExtension(TPngImage::StaticClass()), L"png");
  EXPECT_EQ(GraphicFilter(TBitmap::StaticClass()), L"Bitmaps (*.bmp)|*.bmp");
  String All = GraphicFilter(TGraphic::StaticClass());
  EXPECT_EQ(All.rfind(L"All (*.bmp;*.ico;*.png;", 0), 0u) << All;
  EXPECT_NE(All.find(L"|GIF Image (*.gif)|*.gif"), String::npos);
  EXPECT_EQ(TPicture::FindGraphicClassName(L"TGIFImage"), TGIFImage::StaticClass());
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_BITMAP));
}

TEST(Picture, LoadFromFileChoosesByExtension) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Name = String(Dir) + L"qal_graphics_test.bmp";
  Sample(pf24bit)->SaveToFile(Name);
  TPicture P;
  P.LoadFromFile(Name);
  EXPECT_TRUE(Is<TBitmap>(P.GetGraphic()));
  EXPECT_EQ(P.GetWidth(), 7);
  String Odd = String(Dir) + L"qal_graphics_test.xyz";
  CopyFileW(Name.c_str(), Odd.c_str(), FALSE);
  EXPECT_THROW(P.LoadFromFile(Odd), EInvalidGraphic);
  EXPECT_EQ(P.GetGraphic(), nullptr);
  DeleteFileW(Name.c_str());
  DeleteFileW(Odd.c_str());
}

TEST(Icon, RoundTripsAnIconMadeFromAHandle) {
  TIcon I;
  MakeRedSquareIcon(I);
  EXPECT_EQ(I.GetWidth(), 16);
  TMemoryStream M;
  I.SaveToStream(&M);
  M.SetPosition(0);
  TPicture P;
  P.LoadFromStream(&M);
  ASSERT_TRUE(Is<TIcon>(P.GetGraphic()));
  EXPECT_EQ(P.GetWidth(), 16);
  TBitmap B;
  B.SetSize(16, 16);
  B.GetCanvas()->GetBrush()->SetColor(clWhite);
  B.GetCanvas()->FillRect(Rect(0, 0, 16, 16));
  B.GetCanvas()->Draw(0, 0, P.GetGraphic());
  EXPECT_EQ(B.GetCanvas()->GetPixel(8, 8), clRed);
  EXPECT_EQ(B.GetCanvas()->GetPixel(1, 1), clWhite);
  // As a bitmap it keeps its alpha.
  TBitmap A;
  A.Assign(P.GetGraphic());
  EXPECT_EQ(A.GetAlphaFormat(), afDefined);
  EXPECT_EQ(A.GetPixelsBGRA()[8 * 16 + 8], 0xFFFF0000u);
  EXPECT_EQ(A.GetPixelsBGRA()[0] >> 24, 0u);
  // A directory that points past its data is refused.
  TBytes D = StreamBytes(M);
  D[14] = 0xFF;  // image size
  PictureLoadInto(M, D);
  TIcon J;
  EXPECT_THROW(J.LoadFromStream(&M), EInvalidGraphic);
  EXPECT_TRUE(J.GetEmpty());
}

}  // namespace

namespace {

// A component with a picture and a font, as a form stores an image and a label.
class TPictureHolder : public TComponent {
  DECLARE_CLASS(TPictureHolder, TComponent)
 public:
  explicit TPictureHolder(TComponent* AOwner) : TComponent(AOwner) {}
  TPicture* GetPicture() const { return FPicture.get(); }
  void SetPicture(TPicture* Value) { FPicture->Assign(Value); }
  TFont* GetFont() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  PUBLISHED_DECL(TPictureHolder);

 private:
  std::unique_ptr<TPicture> FPicture = std::make_unique<TPicture>();
  std::unique_ptr<TFont> FFont = std::make_unique<TFont>();
};

PUBLISHED_DEF(TPictureHolder) {
  PROP(Picture);
  PROP(Font);
}

TEST(PictureStreaming, FormStreamCarriesPictureDataAndFont) {
  RegisterClass(TPictureHolder::StaticClass());
  TPictureHolder Source(nullptr);
  TMemoryStream Gif;
  PictureLoadInto(Gif, Bytes(anim_gif, anim_gif_len));
  Source.GetPicture()->LoadFromStream(&Gif);
  Source.GetFont()->SetName(L"Tahoma");
  Source.GetFont()->SetSize(12);
  Source.GetFont()->SetStyle({fsBold});
  Source.GetFont()->SetColor(clWhite);
  TMemoryStream M;
  M.WriteComponent(&Source);
  M.SetPosition(0);
  TPictureHolder Target(nullptr);
  M.ReadComponent(&Target);
  ASSERT_TRUE(Is<TGIFImage>(Target.GetPicture()->GetGraphic()));
  EXPECT_EQ(static_cast<TGIFImage*>(Target.GetPicture()->GetGraphic())->GetImages().size(), 3u);
  EXPECT_EQ(Target.GetFont()->GetName(), L"Tahoma");
  EXPECT_EQ(Target.GetFont()->GetSize(), 12);
  EXPECT_TRUE(Target.GetFont()->GetStyle() == TFontStyles{fsBold});
  EXPECT_EQ(Target.GetFont()->GetColor(), clWhite);
  // The text form names the property Picture.Data.
  M.SetPosition(0);
  TMemoryStream Text;
  ObjectBinaryToText(&M, &Text);
  std::string T(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize()));
  EXPECT_NE(T.find("Picture.Data"), std::string::npos) << T;
  EXPECT_NE(T.find("fsBold"), std::string::npos) << T;
  // Colours with a name stream as that name, and read back from it.
  EXPECT_NE(T.find("Font.Color = clWhite"), std::string::npos) << T;
}

TEST(PictureStreaming, TextFormReadsNamedAndNumericColours) {
  RegisterClass(TPictureHolder::StaticClass());
  const std::pair<const char*, TColor> Cases[] = {
      {"clBtnFace", clBtnFace}, {"clRed", clRed}, {"4227327", TColor(4227327)}};
  for (auto [Text, Color] : Cases) {
    std::string Src = std::string("object Holder: TPictureHolder\n  Font.Color = ") + Text + "\nend\n";
    TMemoryStream In, Bin;
    In.WriteBuffer(Src.data(), NativeInt(Src.size()));
    In.SetPosition(0);
    ObjectTextToBinary(&In, &Bin);
    Bin.SetPosition(0);
    TPictureHolder Target(nullptr);
    Bin.ReadComponent(&Target);
    EXPECT_EQ(Target.GetFont()->GetColor(), Color) << Text;
  }
}

}  // namespace
