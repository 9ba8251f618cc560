// Mutation fuzzing (FuzzHarness.h) of the framework's parsers of component streams (binary and
// text), ini files, BMP, ICO, PNG, JPEG and GIF.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "FuzzHarness.h"
#include "graphics/fixtures/RedSquareIcon.h"
#include "framework/Classes.h"
#include "framework/GIFImg.h"
#include "framework/Graphics.h"
#include "framework/IniFiles.h"
#include "framework/Jpeg.h"
#include "framework/PngImage.h"
#include "framework/WinApi.h"
#include "tests/framework/components/StreamingFixture.h"

namespace {

#include "graphics/fixtures/alpha_png.inc"
#include "graphics/fixtures/anim_gif.inc"
#include "graphics/fixtures/noise_gif.inc"
#include "graphics/fixtures/noise_interlaced_gif.inc"

const std::vector<std::string> TextTokens = {
    "object ", "inherited ", "end\r\n", "(", ")", "<", ">", "{", "}", "item ", "'", "#99999999999", "1E9999",
    "99999999999999999999", "-", "$", "=", "[", "]", " + ", "INF", "15000c", "\r\n", "#0", "''", "Tag = "};

TBytes Bytes(TMemoryStream& M) {
  const Byte* P = static_cast<const Byte*>(M.GetMemory());
  return TBytes(P, P + M.GetSize());
}

void LoadInto(TMemoryStream& M, const TBytes& Data) {
  M.Clear();
  if (!Data.empty()) M.WriteBuffer(Data.data(), Integer(Data.size()));
  M.SetPosition(0);
}

// ---- Seeds ------------------------------------------------------------------------------------

class TFuzzPictureHolder : public TComponent {
  DECLARE_CLASS(TFuzzPictureHolder, TComponent)
 public:
  explicit TFuzzPictureHolder(TComponent* AOwner) : TComponent(AOwner) {}
  TPicture* GetPicture() const { return FPicture.get(); }
  void SetPicture(TPicture* Value) { FPicture->Assign(Value); }
  PUBLISHED_DECL(TFuzzPictureHolder);

 private:
  std::unique_ptr<TPicture> FPicture = std::make_unique<TPicture>();
};

}  // namespace

PUBLISHED_DEF(TFuzzPictureHolder) { PROP(Picture); }

namespace {

std::unique_ptr<TBitmap> SampleBitmap(TPixelFormat Format) {
  auto B = std::make_unique<TBitmap>();
  B->SetPixelFormat(Format);
  B->SetSize(9, 5);
  TCanvas* C = B->GetCanvas();
  C->GetBrush()->SetColor(clWhite);
  C->FillRect(Rect(0, 0, 9, 5));
  C->SetPixel(0, 0, clRed);
  C->SetPixel(8, 4, clBlue);
  return B;
}

TBytes Saved(TGraphic* G) {
  TMemoryStream M;
  G->SaveToStream(&M);
  return Bytes(M);
}

std::vector<TBytes> BitmapSeeds() {
  std::vector<TBytes> S;
  for (TPixelFormat F : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) S.push_back(Saved(SampleBitmap(F).get()));
  // 32-bit bit fields of 10-10-10, and an OS/2 header over 24 bits.
  S.push_back(FuzzHex("424d460000000000000042000000280000000100000001000000010020000300000004000000000000000000000000000000000000000000f03f00fc0f00ff03000011111111"));
  S.push_back(FuzzHex("424d1e000000000000001a0000000c00000001000100010018000000ff00"));
  return S;
}

TBytes IconSeed() {
  TIcon I;
  MakeRedSquareIcon(I);
  return Saved(&I);
}

TBytes JpegSeed() {
  TJPEGImage J;
  J.Assign(SampleBitmap(pf24bit).get());
  return Saved(&J);
}

TBytes PngSeed() {
  TPngImage P;
  P.Assign(SampleBitmap(pf32bit).get());
  return Saved(&P);
}

std::vector<TBytes> GifSeeds() {
  return {TBytes(anim_gif, anim_gif + anim_gif_len), TBytes(noise_gif, noise_gif + noise_gif_len),
          TBytes(noise_interlaced_gif, noise_interlaced_gif + noise_interlaced_gif_len)};
}

TBytes FormSeed() {
  RegisterDemoClasses();
  TDemoForm F(nullptr);
  F.SetName(L"F");
  F.SetCaption(L"Kurulum 'İleri'");
  auto* Panel = new TDemoPanel(&F);
  Panel->SetName(L"P");
  Panel->SetOptions({dsItalic});
  auto* C = new TDemoControl(&F);
  C->SetName(L"C");
  C->SetParentComponent(Panel);
  C->SetCaption(String(80, L'x'));
  C->SetRatio(0.25);
  C->SetScale(1.5f);
  C->SetPrice(Currency(2.5));
  C->SetWhen(TDateTime(45000.5));
  C->SetBig(Int64(1) << 40);
  C->SetTag(-300);
  C->SetBuddy(C);
  C->SetOnClick({&F, &TDemoForm::ButtonClick});
  C->SetValue(Variant(L"değer"));
  C->Data = {1, 2, 3, 0xFF};
  static_cast<TDemoColumn*>(C->GetColumns()->Add())->SetCaption(L"Ürün");
  C->GetLines()->Add(L"satır");
  TMemoryStream M;
  M.WriteComponent(&F);
  return Bytes(M);
}

std::vector<TBytes> ComponentSeeds() {
  std::vector<TBytes> S = {FormSeed()};
  RegisterClass(TFuzzPictureHolder::StaticClass());
  std::vector<std::unique_ptr<TGraphic>> Pictures;
  Pictures.push_back(SampleBitmap(pf24bit));
  auto J = std::make_unique<TJPEGImage>();
  J->Assign(SampleBitmap(pf24bit).get());
  Pictures.push_back(std::move(J));
  auto G = std::make_unique<TGIFImage>();
  TMemoryStream GM;
  LoadInto(GM, GifSeeds()[0]);
  G->LoadFromStream(&GM);
  Pictures.push_back(std::move(G));
  for (auto& P : Pictures) {
    TFuzzPictureHolder H(nullptr);
    H.SetName(L"H");
    H.GetPicture()->SetGraphic(P.get());
    TMemoryStream M;
    M.WriteComponent(&H);
    S.push_back(Bytes(M));
  }
  return S;
}

std::vector<TBytes> TextSeeds() {
  std::vector<TBytes> S;
  for (const TBytes& B : ComponentSeeds()) {
    TMemoryStream In, Out;
    LoadInto(In, B);
    ObjectBinaryToText(&In, &Out);
    S.push_back(Bytes(Out));
  }
  std::string Hand =
      "object F: TDemoForm\r\n  Caption = 'a'#39'b' +\r\n    'c'\r\n  object C: TDemoControl\r\n    Tag = $10\r\n"
      "    Price = 15000c\r\n    Ratio = -INF\r\n    Columns = <\r\n      item\r\n        Width = 3\r\n      end>\r\n"
      "    Lines.Strings = (\r\n      'x')\r\n  end\r\nend\r\n";
  S.push_back(TBytes(Hand.begin(), Hand.end()));
  return S;
}

std::vector<TBytes> IniSeeds() {
  std::string Ansi = "[Genel]\r\nAd=Kurulum\r\n; yorum\r\n[Yollar]\r\nHedef=C:\\Program Files\r\nBo\xFE=\r\n";
  std::string Utf8 = "\xEF\xBB\xBF[Dil]\r\nİleri=İleri >\r\nGeri=< Geri\r\n[dil]\r\nÇıkış=Çıkış\r\n";
  std::wstring Wide = L"\xFEFF[Ayarlar]\r\nAnahtar=Değer\r\n[Boş]\r\n";
  std::string Utf16(reinterpret_cast<const char*>(Wide.data()), Wide.size() * 2);
  std::string Odd = "önce=1\r\n[ ]\r\n[[iç]]\r\n=değer\r\n[a]\r\nx==y\r\n[A]\r\nx=z\r\n[";
  std::vector<TBytes> S;
  for (const std::string& T : {Ansi, Utf8, Utf16, Odd}) S.push_back(TBytes(T.begin(), T.end()));
  return S;
}

// ---- The parsers ------------------------------------------------------------------------------

std::string ShortStr(const std::string& S) { return char(S.size()) + S; }

TEST(Fuzz, BinaryComponentStreams) {
  auto Seeds = ComponentSeeds();
  // Lists nested 15,000 deep, and a bitmap in Picture.Data whose size says 1.3 GB.
  std::string Lists = "TPF0" + ShortStr("TDemoForm") + ShortStr("F") + ShortStr("Tag") + std::string(15000, '\x01') +
                      std::string(15002, '\0');
  std::string Huge = "TPF0" + ShortStr("TFuzzPictureHolder") + ShortStr("P") + ShortStr("Picture.Data") +
                     std::string("\x0A\x0E\0\0\0", 5) + ShortStr("TBitmap") + "\xFF\x7F\x42\x4D" + std::string(2, '\0');
  std::vector<TBytes> Hostile = {TBytes(Lists.begin(), Lists.end()), TBytes(Huge.begin(), Huge.end())};
  int Live = DemoLiveCount();
  Fuzz({"binary", Seeds, 2500, 0x9E3779B97F4A7C15ULL, {}, Hostile}, [](const TBytes& B) {
    TMemoryStream M;
    LoadInto(M, B);
    try {
      delete M.ReadComponent(nullptr);
    } catch (const Exception&) {
    }
    TMemoryStream Text;
    M.SetPosition(0);
    ObjectBinaryToText(&M, &Text);
  });
  EXPECT_EQ(DemoLiveCount(), Live);
}

TEST(Fuzz, TextComponentStreams) {
  auto Seeds = TextSeeds();
  std::string Lists = "object R: TDemoForm\r\n  Tag = " + std::string(10000, '(');
  std::vector<TBytes> Hostile = {TBytes(Lists.begin(), Lists.end())};
  int Live = DemoLiveCount();
  Fuzz({"text", Seeds, 2500, 0xD1B54A32D192ED03ULL, TextTokens, Hostile}, [](const TBytes& B) {
    TMemoryStream M;
    LoadInto(M, B);
    delete ReadComponentFromStream(&M, nullptr);
  });
  EXPECT_EQ(DemoLiveCount(), Live);
}

TEST(Fuzz, IniFiles) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Name = String(Dir) + L"qal_fuzz_" + std::to_wstring(GetCurrentProcessId()) + L".ini";
  // One handle, rewritten for each case: creating the file anew each time is slow under Wine.
  HANDLE H = CreateFileW(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(H, INVALID_HANDLE_VALUE);
  Fuzz({"ini", IniSeeds(), 2000, 0x94D049BB133111EBULL}, [&](const TBytes& B) {
    DWORD W = 0;
    SetFilePointer(H, 0, nullptr, FILE_BEGIN);
    if (!B.empty()) WriteFile(H, B.data(), DWORD(B.size()), &W, nullptr);
    SetEndOfFile(H);
    TMemIniFile Ini(Name);
    TStringList Sections, Values;
    Ini.ReadSections(&Sections);
    for (Integer I = 0; I < Sections.GetCount(); ++I) Ini.ReadSectionValues(Sections.GetStrings(I), &Values);
  });
  CloseHandle(H);
  DeleteFileW(Name.c_str());
}

template <class T>
std::function<void(const TBytes&)> LoadGraphic(std::function<void(T&)> After = nullptr) {
  return [After](const TBytes& B) {
    TMemoryStream M;
    LoadInto(M, B);
    T G;
    G.LoadFromStream(&M);
    if (After) After(G);
  };
}

TEST(Fuzz, Bitmaps) {
  // A full 32-bit channel mask.
  std::vector<TBytes> Hostile = {FuzzHex("424d46000000000000004200000028000000010000000100000001002000030000000400"
                                         "000000000000000000000000000000000000ffffffff00ff0000ff00000011111111")};
  Fuzz({"bmp", BitmapSeeds(), 3000, 0xBF58476D1CE4E5B9ULL, {}, Hostile}, LoadGraphic<TBitmap>());
}

TEST(Fuzz, Icons) {
  // The handle is where the system reads the image: make it for every icon that loads.
  // A width of 2^30 over 40 bytes.
  std::vector<TBytes> Hostile = {FuzzHex("000001000100101000000100200028000000160000002800000000000040020000000100"
                                         "2000000000000000000000000000000000000000000000000000")};
  Fuzz({"ico", {IconSeed()}, 2000, 0x2545F4914F6CDD1DULL, {}, Hostile},
       LoadGraphic<TIcon>([](TIcon& I) { I.GetHandle(); }));
}

TEST(Fuzz, PngImages) {
  Fuzz({"png", {TBytes(alpha_png, alpha_png + alpha_png_len), PngSeed()}, 1500, 0x5851F42D4C957F2DULL},
       LoadGraphic<TPngImage>());
}

TEST(Fuzz, JpegImages) { Fuzz({"jpeg", {JpegSeed()}, 1500, 0x14057B7EF767814FULL}, LoadGraphic<TJPEGImage>()); }

TEST(Fuzz, GifImages) {
  // Two frames of 8192 x 8192 pixels on a 16 x 16 screen, one data byte each.
  std::vector<TBytes> Hostile = {
      FuzzHex("474946383961100010008000000000000000002c000000000020002000020144002c000000000020002000020144003b")};
  Fuzz({"gif", GifSeeds(), 3000, 0x6A09E667F3BCC909ULL, {}, Hostile}, LoadGraphic<TGIFImage>([](TGIFImage& G) {
         G.GetFramePixels(Integer(G.GetImages().size()) - 1);
       }));
}

}  // namespace
