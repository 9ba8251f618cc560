#include <gtest/gtest.h>

#include <memory>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/SysUtils.h"
#include "framework/WinShell.h"
#include "htmllabel/GdipObjects.h"
#include "htmllabel/PictureFixtures.h"
#include "htmllabel/PictureStore.h"

namespace {

void LoadStored(THTMLPicture& Pic, const fixtures::TData& D) {
  TMemoryStream M;
  if (!D.empty()) M.WriteBuffer(D.data(), Integer(D.size()));
  M.SetPosition(0);
  Pic.LoadFromStream(&M);
}

struct TStoreScreen {
  TBitmap Bmp;
  TStoreScreen(Integer W, Integer H) {
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(W, H);
    Bmp.GetCanvas()->GetBrush()->SetColor(clWhite);
    Bmp.GetCanvas()->FillRect(Rect(0, 0, W, H));
  }
  TCanvas* Canvas() { return Bmp.GetCanvas(); }
  bool AllWhite() {
    for (Integer Y = 0; Y < Bmp.GetHeight(); ++Y)
      for (Integer X = 0; X < Bmp.GetWidth(); ++X)
        if (Canvas()->GetPixel(X, Y) != clWhite) return false;
    return true;
  }
};

String TempFile(const String& Name, const fixtures::TData& D) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Path = String(Dir) + Name;
  TFileStream F(Path, fmCreate);
  F.WriteBuffer(D.data(), Integer(D.size()));
  return Path;
}

}  // namespace

TEST(HTMLPicture, EveryFormatLoadsAndDraws) {
  struct {
    const char* Name;
    fixtures::TData Data;
    Integer Width, Height;
  } Cases[] = {
      {"png", fixtures::Png(7, 5, 0xFF0000FF), 7, 5},
      {"jpeg", fixtures::Jpeg(8, 8, 0xFF0000FF), 8, 8},
      {"bmp", fixtures::Bmp(6, 4, 0x0000FF), 6, 4},
      {"ico", fixtures::Ico(16, 16), 16, 16},
      {"gif", fixtures::ThreeFrameGif(), 16, 12},
  };
  for (auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    THTMLPicture Pic;
    EXPECT_TRUE(Pic.GetEmpty());
    LoadStored(Pic, C.Data);
    EXPECT_FALSE(Pic.GetEmpty());
    EXPECT_EQ(Pic.GetWidth(), C.Width);
    EXPECT_EQ(Pic.GetHeight(), C.Height);
    TStoreScreen Screen(20, 20);
    Pic.Draw(Screen.Canvas(), Rect(0, 0, 16, 16));
    EXPECT_NE(Screen.Canvas()->GetPixel(2, 2), clWhite);
    EXPECT_EQ(Screen.Canvas()->GetPixel(18, 18), clWhite);
  }
}

TEST(HTMLPicture, PngIsNoGif) {
  THTMLPicture Pic;
  LoadStored(Pic, fixtures::Png(4, 4));
  EXPECT_FALSE(Pic.GetIsGIF());
  EXPECT_EQ(Pic.GetFrameCount(), -1);
  EXPECT_EQ(Pic.GetFrameTime(1), -1);
}

TEST(HTMLPicture, GifFramesAreCountedAndStepped) {
  THTMLPicture Pic;
  Integer Changes = 0;
  Pic.SetOnFrameChange([&](TObject*) { ++Changes; });
  LoadStored(Pic, fixtures::ThreeFrameGif());
  ASSERT_TRUE(Pic.GetIsGIF());
  EXPECT_EQ(Pic.GetFrameCount(), 3);
  EXPECT_EQ(Pic.GetAnimMaxX(), 16);
  EXPECT_EQ(Pic.GetAnimMaxY(), 12);
  struct {
    Integer Frame;
    Word X, Y, W, H;
  } Frames[] = {{1, 0, 0, 16, 12}, {2, 2, 3, 8, 5}, {3, 4, 1, 6, 9}};
  for (auto& F : Frames) {
    SCOPED_TRACE(F.Frame);
    Pic.SetFrame(F.Frame);
    EXPECT_EQ(Pic.GetFrameXPos(), F.X);
    EXPECT_EQ(Pic.GetFrameYPos(), F.Y);
    EXPECT_EQ(Pic.GetFrameXSize(), F.W);
    EXPECT_EQ(Pic.GetFrameYSize(), F.H);
    EXPECT_GT(Pic.GetWidth(), 0);
  }
  EXPECT_EQ(Changes, 3);
  Pic.FrameNext();
  EXPECT_EQ(Pic.GetFrame(), 1);
  Pic.FramePrev();
  EXPECT_EQ(Pic.GetFrame(), 3);
  Pic.FramePrev();
  EXPECT_EQ(Pic.GetFrame(), 2);
  EXPECT_EQ(Pic.GetFrameTime(2), 20);
  EXPECT_TRUE(Pic.GetFrameTransp());
  EXPECT_EQ(Pic.GetFrameDisposal(), 2);
  EXPECT_EQ(Pic.GetFrameTime(3), 30);
  EXPECT_FALSE(Pic.GetFrameTransp());
  EXPECT_EQ(Pic.GetFrameTime(4), -1);
  EXPECT_EQ(Pic.GetFrameTime(0), -1);
}

TEST(HTMLPicture, StepMovesOnWhenTheFrameDelayHasPassed) {
  THTMLPicture Pic;
  LoadStored(Pic, fixtures::ThreeFrameGif());  // delays 10, 20 and 30 hundredths
  // Ticks of 100 ms: frame 1 shows for one tick, frame 2 for two, frame 3 for three.
  const bool Moves[] = {false, true, false, true, false, false, true, true};
  const Integer FrameAfter[] = {1, 2, 2, 3, 3, 3, 1, 2};
  for (size_t I = 0; I < std::size(Moves); ++I) {
    SCOPED_TRACE(I);
    EXPECT_EQ(Pic.Step(), Moves[I]);
    EXPECT_EQ(Pic.GetFrame(), FrameAfter[I]);
  }
  THTMLPicture Still;
  LoadStored(Still, fixtures::Png(3, 3));
  EXPECT_FALSE(Still.Step());
  THTMLPicture Empty;
  EXPECT_FALSE(Empty.Step());
}

TEST(HTMLPicture, TruncatedGifsStopCleanly) {
  fixtures::TData Full = fixtures::ThreeFrameGif();
  Integer Last = 0;
  for (size_t Len = 0; Len <= Full.size(); ++Len) {
    THTMLPicture Pic;
    LoadStored(Pic, fixtures::TData(Full.begin(), Full.begin() + ptrdiff_t(Len)));
    Integer Count = Pic.GetFrameCount();
    if (Len < 5) {
      EXPECT_EQ(Count, -1) << Len;
      continue;
    }
    EXPECT_GE(Count, Last) << Len;
    EXPECT_LE(Count, 3) << Len;
    Last = Count;
    for (Integer F = 1; F <= 3; ++F) Pic.SetFrame(F);  // never reads past the data
    TStoreScreen Screen(4, 4);
    Pic.Draw(Screen.Canvas(), Rect(0, 0, 4, 4));
  }
  EXPECT_EQ(Last, 3);
}

TEST(HTMLPicture, ByteRunsInsideImageDataAreNoFrames) {
  // A frame whose image data holds the bytes of a control extension and a descriptor.
  fixtures::TData D = fixtures::Gif(4, 4, {{0, 0, 4, 4, 5, 1}});
  D.pop_back();  // trailer
  const Byte Image[] = {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0, 2, 12, 0x21, 0xF9, 4, 0, 5, 0, 0, 0, 0x2C, 0, 0, 0, 0};
  D.insert(D.end(), std::begin(Image), std::end(Image));
  D.push_back(0);
  D.push_back(0x3B);
  THTMLPicture Pic;
  LoadStored(Pic, D);
  EXPECT_EQ(Pic.GetFrameCount(), 1);
}

TEST(HTMLPicture, CraftedGifsNeverReadPastTheirData) {
  fixtures::TData Gif = fixtures::ThreeFrameGif();
  fixtures::TData HugeTable = Gif;
  HugeTable[10] = 0x87;  // a global colour table longer than the file
  fixtures::TData LongBlock = Gif;
  LongBlock[19 + 13 + 8 + 10 + 1] = 0xFF;  // the first data sub-block runs past the end
  fixtures::TData Header(Gif.begin(), Gif.begin() + 13);
  fixtures::TData NoDescriptor = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0, 0, 0, 0x21, 0xF9, 4, 0, 1, 0, 0, 0};
  for (auto* D : {&HugeTable, &LongBlock, &Header, &NoDescriptor}) {
    THTMLPicture Pic;
    LoadStored(Pic, *D);
    EXPECT_GE(Pic.GetFrameCount(), 0);
    EXPECT_LE(Pic.GetFrameCount(), 3);
  }
  THTMLPicture Pic;
  LoadStored(Pic, NoDescriptor);
  EXPECT_EQ(Pic.GetFrameCount(), 0);
  EXPECT_TRUE(Pic.GetEmpty());
}

TEST(HTMLPicture, BadDataLeavesAnEmptyUndrawnPicture) {
  fixtures::TData Png = fixtures::Png(8, 8), Jpeg = fixtures::Jpeg(8, 8), Bmp = fixtures::Bmp(8, 8, 0xFF),
                  Gif = fixtures::ThreeFrameGif();
  fixtures::TData Crafted = Bmp;
  Crafted[18] = 0xFF;  // width and height far beyond the pixels that follow
  Crafted[19] = 0xFF;
  Crafted[22] = 0xFF;
  Crafted[23] = 0xFF;
  struct {
    const char* Name;
    fixtures::TData Data;
  } Cases[] = {
      {"nothing", {}},
      {"png signature", fixtures::TData(Png.begin(), Png.begin() + 8)},
      {"png header only", fixtures::TData(Png.begin(), Png.begin() + 33)},
      {"jpeg start", fixtures::TData(Jpeg.begin(), Jpeg.begin() + 20)},
      {"bmp header", fixtures::TData(Bmp.begin(), Bmp.begin() + 30)},
      {"bmp crafted size", Crafted},
      {"gif header", fixtures::TData(Gif.begin(), Gif.begin() + 20)},
      {"text", {'<', 'h', 't', 'm', 'l', '>'}},
  };
  for (auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    THTMLPicture Pic;
    LoadStored(Pic, C.Data);
    EXPECT_TRUE(Pic.GetEmpty());
    EXPECT_EQ(Pic.GetWidth(), 0);
    TStoreScreen Screen(8, 8);
    Pic.Draw(Screen.Canvas(), Rect(0, 0, 8, 8));
    EXPECT_TRUE(Screen.AllWhite());
    // The bytes are kept as they came.
    EXPECT_EQ(Pic.GetDatastream()->GetSize(), Int64(C.Data.size()));
  }
}

TEST(HTMLPicture, DecodesOnceUntilDataOrFrameChange) {
  THTMLPicture Pic;
  Int64 Before = THTMLPicture::DecodeCount();
  LoadStored(Pic, fixtures::Png(32, 32));
  EXPECT_EQ(THTMLPicture::DecodeCount() - Before, 1);
  TStoreScreen Screen(32, 32);
  for (int I = 0; I < 50; ++I) Pic.Draw(Screen.Canvas(), Rect(0, 0, 32, 32));
  EXPECT_EQ(THTMLPicture::DecodeCount() - Before, 1);
  LoadStored(Pic, fixtures::ThreeFrameGif());
  EXPECT_EQ(THTMLPicture::DecodeCount() - Before, 2);
  Pic.SetFrame(2);
  for (int I = 0; I < 50; ++I) Pic.Draw(Screen.Canvas(), Rect(0, 0, 32, 32));
  EXPECT_EQ(THTMLPicture::DecodeCount() - Before, 3);
}

TEST(HTMLPicture, AssignCopiesOrEmpties) {
  THTMLPicture Source;
  LoadStored(Source, fixtures::ThreeFrameGif());
  Source.SetFrame(2);
  Source.SetStretch(true);
  Source.SetID(L"res://ANIM");
  THTMLPicture Copy;
  Integer Changes = 0;
  Copy.SetOnChange([&](TObject*) { ++Changes; });
  Copy.Assign(&Source);
  EXPECT_FALSE(Copy.GetEmpty());
  EXPECT_EQ(Copy.GetFrame(), 2);
  EXPECT_TRUE(Copy.GetStretch());
  EXPECT_EQ(Copy.GetID(), L"res://ANIM");
  EXPECT_EQ(Copy.GetFrameXSize(), 8);
  EXPECT_GE(Changes, 1);

  TPicture Holder;
  Copy.Assign(&Holder);  // a holder without a graphic
  EXPECT_TRUE(Copy.GetEmpty());
  EXPECT_EQ(Copy.GetDatastream()->GetSize(), 0);

  TBitmap Bmp;
  Bmp.SetSize(5, 3);
  Copy.Assign(&Bmp);
  EXPECT_FALSE(Copy.GetEmpty());
  EXPECT_EQ(Copy.GetWidth(), 5);
  Copy.Assign(nullptr);
  EXPECT_TRUE(Copy.GetEmpty());
}

TEST(HTMLPicture, ResourceAddressLoadsTheLinkedResource) {
  THTMLPictureCache Cache;
  THTMLPicture* Pic = Cache.AddPicture();
  Pic->LoadFromURL(L"res://LOGO");
  EXPECT_FALSE(Pic->GetEmpty());
  EXPECT_EQ(Pic->GetWidth(), 6);
  EXPECT_EQ(Pic->GetHeight(), 4);
  EXPECT_EQ(Cache.FindPicture(L"res://LOGO"), Pic);
  EXPECT_EQ(Cache.FindPicture(L"RES://LOGO"), nullptr);

  THTMLPicture Missing;
  LoadStored(Missing, fixtures::Png(2, 3));
  Missing.LoadFromURL(L"RES://NO_SUCH_PICTURE");
  EXPECT_EQ(Missing.GetHeight(), 3);  // left as it was
  EXPECT_EQ(Missing.GetID(), L"RES://NO_SUCH_PICTURE");
  EXPECT_THROW(Missing.LoadFromResourceID(HInstance(), 4321), EResNotFound);
}

TEST(HTMLPicture, FileAddressLoadsTheFile) {
  String Path = TempFile(L"qal_htmlpicture.gif", fixtures::ThreeFrameGif());
  THTMLPicture Pic;
  Pic.LoadFromURL(L"file://" + Path);
  EXPECT_FALSE(Pic.GetEmpty());
  EXPECT_EQ(Pic.GetFrameCount(), 3);
  EXPECT_EQ(Pic.GetID(), L"file://" + Path);
  DeleteFileW(Path.c_str());
  THTMLPicture Missing;
  Missing.LoadFromURL(L"FILE://" + Path);
  EXPECT_TRUE(Missing.GetEmpty());
}

TEST(HTMLPicture, FileAddressesOfOtherMachinesAreNeverOpened) {
  // A file the host forms would reach were they read as a local path: under the current folder,
  // as "127.0.0.1\share\x.gif".
  const String Saved = GetCurrentDir();
  wchar_t Temp[MAX_PATH];
  GetTempPathW(MAX_PATH, Temp);
  const String Dir = ExcludeTrailingPathDelimiter(Temp);
  ForceDirectories(Dir + L"\\127.0.0.1\\share");
  const String Local = TempFile(L"127.0.0.1\\share\\x.gif", fixtures::ThreeFrameGif());
  SetCurrentDir(Dir);
  const wchar_t* const Refused[] = {
      L"file://\\\\127.0.0.1\\share\\x.gif", L"file:////127.0.0.1/share/x.gif", L"file://\\/127.0.0.1/share/x.gif",
      L"FILE://\\\\?\\UNC\\127.0.0.1\\share\\x.gif", L"file://\\\\.\\UNC\\127.0.0.1\\share\\x.gif",
      L"file://127.0.0.1/share/x.gif", L"file://127.0.0.1\\share\\x.gif", L"file://"};
  for (const wchar_t* URL : Refused) {
    THTMLPicture Pic;
    Pic.LoadFromURL(URL);
    EXPECT_TRUE(Pic.GetEmpty()) << UTF8Encode(URL);
    EXPECT_EQ(Pic.GetID(), URL);
  }
  // This machine's files still load: by drive, and from the drive's root.
  for (const String& URL : {L"file://" + Local, L"file://" + Local.substr(2)}) {
    THTMLPicture Pic;
    Pic.LoadFromURL(URL);
    EXPECT_FALSE(Pic.GetEmpty()) << UTF8Encode(URL);
  }
  SetCurrentDir(Saved);
  DeleteFileW(Local.c_str());
  RemoveDir(Dir + L"\\127.0.0.1\\share");
  RemoveDir(Dir + L"\\127.0.0.1");
}

TEST(HTMLPicture, OtherAddressesStayEmpty) {
  THTMLPicture Pic;
  Pic.LoadFromURL(L"http://127.0.0.1/logo.png");
  EXPECT_TRUE(Pic.GetEmpty());
  EXPECT_TRUE(Pic.GetThreadBusy());
  EXPECT_EQ(Pic.GetURL(), L"http://127.0.0.1/logo.png");
  // A second address starts no second thread.
  Pic.LoadFromURL(L"http://127.0.0.1/other.png");
  EXPECT_EQ(Pic.GetURL(), L"http://127.0.0.1/logo.png");
  EXPECT_TRUE(Pic.GetEmpty());

  THTMLPicture Sync;
  Sync.SetAsynch(false);
  Sync.LoadFromURL(L"http://127.0.0.1/x.gif");
  EXPECT_FALSE(Sync.GetThreadBusy());
  EXPECT_EQ(Sync.GetID(), L"http://127.0.0.1/x.gif");
  EXPECT_TRUE(Sync.GetEmpty());
}

TEST(HTMLPictureCache, AnimateStepsEveryPicture) {
  THTMLPictureCache Cache;
  LoadStored(*Cache.AddPicture(), fixtures::ThreeFrameGif());
  LoadStored(*Cache.AddPicture(), fixtures::Png(2, 2));
  EXPECT_FALSE(Cache.Animate());
  EXPECT_TRUE(Cache.Animate());
  EXPECT_EQ(Cache.GetPicture(0)->GetFrame(), 2);
  Cache.SetPicture(1, new THTMLPicture());
  EXPECT_EQ(Cache.GetCount(), 2);
  Cache.ClearPictures();
  EXPECT_EQ(Cache.GetCount(), 0);
}

namespace {
struct TStoreFixture {
  TPictureStore Store{nullptr};
  TStoreFixture() {
    TPictureItem* Logo = Store.GetItems()->Add();
    Logo->SetName(L"Logo");
    LoadStored(*Logo->GetPicture(), fixtures::Png(6, 4));
    TPictureItem* Anim = Store.GetItems()->Add();
    Anim->SetName(L"Anim");
    LoadStored(*Anim->GetPicture(), fixtures::ThreeFrameGif());
  }
};
}  // namespace

TEST(PictureStore, FindsPicturesByNameIgnoringCase) {
  TStoreFixture F;
  EXPECT_EQ(F.Store.FindPicture(L"logo"), F.Store.GetItems()->GetItem(0)->GetPicture());
  EXPECT_EQ(F.Store.FindPicture(L"ANIM"), F.Store.GetItems()->GetItem(1)->GetPicture());
  EXPECT_EQ(F.Store.FindPicture(L"Logos"), nullptr);
  EXPECT_EQ(F.Store.GetVersion(), L"2.1.0.0");
  F.Store.SetVersion(L"9");
  EXPECT_EQ(F.Store.GetVersion(), L"2.1.0.0");
}

TEST(PictureStore, FindBitmapHoldersStayWithTheCaller) {
  TStoreFixture F;
  TPicture* Logo = F.Store.FindBitmap(L"LOGO");
  ASSERT_NE(Logo, nullptr);
  EXPECT_EQ(Logo->GetWidth(), 6);
  TPicture* Anim = F.Store.FindBitmap(L"anim");
  ASSERT_NE(Anim, nullptr);
  // The first holder is still alive and still holds its picture.
  EXPECT_EQ(Logo->GetWidth(), 6);
  EXPECT_EQ(Anim->GetWidth(), 16);
  EXPECT_EQ(F.Store.FindBitmap(L"logo"), Logo);
  EXPECT_EQ(F.Store.FindBitmap(L"none"), nullptr);
  EXPECT_EQ(Logo->GetHeight(), 4);
}

TEST(PictureStore, ChangesRepaintRegisteredControls) {
  TStoreFixture F;
  Integer Changes = 0;
  F.Store.SetOnChange([&](TObject*) { ++Changes; });
  auto* Control = new TControl(nullptr);
  F.Store.RegisterControl(Control);
  F.Store.RegisterControl(Control);
  EXPECT_EQ(F.Store.RegisteredControlCount(), 1);
  LoadStored(*F.Store.GetItems()->GetItem(0)->GetPicture(), fixtures::Png(3, 3));
  EXPECT_GE(Changes, 1);
  delete Control;
  EXPECT_EQ(F.Store.RegisteredControlCount(), 0);
  Integer Before = Changes;
  F.Store.GetItems()->Add();
  EXPECT_GT(Changes, Before);
}

TEST(PictureStore, StreamsItsPictures) {
  TStoreFixture F;
  RegisterClasses({TPictureStore::StaticClass()});
  TMemoryStream M;
  M.WriteComponent(&F.Store);
  M.SetPosition(0);
  TPictureStore Copy(nullptr);
  M.ReadComponent(&Copy);
  ASSERT_EQ(Copy.GetItems()->GetCount(), 2);
  EXPECT_EQ(Copy.GetItems()->GetItem(1)->GetName(), L"Anim");
  THTMLPicture* Anim = Copy.FindPicture(L"anim");
  ASSERT_NE(Anim, nullptr);
  EXPECT_EQ(Anim->GetFrameCount(), 3);
  EXPECT_EQ(Anim->GetDatastream()->GetSize(), F.Store.FindPicture(L"Anim")->GetDatastream()->GetSize());
}

TEST(GdipStart, PicturesStayUndrawnWhileGdiplusIsDown) {
  FinalizeGdipObjects();
  ASSERT_FALSE(GdipObjectsStarted());
  THTMLPicture Pic;
  LoadStored(Pic, fixtures::Png(8, 8, 0xFF000000));
  TStoreScreen Screen(40, 40);
  {
    TGPGraphics G(Screen.Canvas()->GetHandle());
    EXPECT_EQ(G.NativeGraphics(), nullptr);
    EXPECT_EQ(G.GetLastStatus(), GdiplusNotInitialized);
  }
  {
    TGPMatrix M;
    EXPECT_EQ(M.NativeMatrix(), nullptr);
    EXPECT_EQ(M.Clone(), nullptr);
  }
  Pic.Draw(Screen.Canvas(), Rect(24, 24, 32, 32));
  // The canvas still draws its own text.
  Screen.Canvas()->TextOut(0, 0, L"M");
  ASSERT_EQ(InitializeGdipObjects(), Ok);
  EXPECT_TRUE(Pic.GetEmpty());
  EXPECT_EQ(Screen.Canvas()->GetPixel(28, 28), clWhite);
  EXPECT_FALSE(Screen.AllWhite());
  // Loaded again once GDI+ runs, the same bytes draw.
  TMemoryStream M;
  Pic.SaveToStream(&M);
  M.SetPosition(0);
  Pic.LoadFromStream(&M);
  EXPECT_FALSE(Pic.GetEmpty());
}

TEST(GetDPIScale, IsOneWithoutAScaledForm) {
  EXPECT_EQ(GetDPIScale(nullptr), 1.0);
  TControl Control(nullptr);
  EXPECT_EQ(GetDPIScale(&Control), 1.0);
}
