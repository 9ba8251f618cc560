// Storage interceptors: the registry, and a form's bounds kept at one DPI and restored at another,
// maximised, centred, or off every monitor.

#include "kvlib/foundation/PropFilerKv.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "framework/TypInfo.h"
#include "framework/WinApi.h"
#include "tests/framework/FuzzHarness.h"

namespace {

class TOtherInterceptor : public TStoragePropertyInterceptor {
  DECLARE_CLASS(TOtherInterceptor, TStoragePropertyInterceptor)
 public:
  using TStoragePropertyInterceptor::TStoragePropertyInterceptor;
};

struct TFormDeleter {
  void operator()(TForm* F) const { delete F; }
};
using TFormPtr = std::unique_ptr<TForm, TFormDeleter>;

TFormPtr NewForm(Integer L, Integer T, Integer W, Integer H) {
  TFormPtr F(TComponent::Create<TForm>(nullptr, 0));
  F->SetBounds(L, T, W, H);
  return F;
}

// As a property filer would read the interceptor back: by the published names.
void ReadBack(TFormStoragePropertyInterceptor& I, std::initializer_list<std::pair<const wchar_t*, Integer>> Values) {
  for (auto& [Name, Value] : Values) SetOrdProp(&I, Name, Value);
  I.Readed();
}

TEST(StoragePropertyInterceptors, FormsAreRegisteredAndALaterRegistrationReplaces) {
  EXPECT_EQ(TClass(FindStoragePropertyInterceptorClass(TForm::StaticClass())),
            TFormStoragePropertyInterceptor::StaticClass());
  EXPECT_EQ(TClass(FindStoragePropertyInterceptorClass(TComponent::StaticClass())), nullptr);

  RegisterStoragePropertyInterceptor(TCustomForm::StaticClass(), TOtherInterceptor::StaticClass());
  EXPECT_EQ(TClass(FindStoragePropertyInterceptorClass(TForm::StaticClass())), TOtherInterceptor::StaticClass());
  // Unregistering needs both classes to match.
  UnregisterStoragePropertyInterceptor(TCustomForm::StaticClass(), TFormStoragePropertyInterceptor::StaticClass());
  EXPECT_EQ(TClass(FindStoragePropertyInterceptorClass(TForm::StaticClass())), TOtherInterceptor::StaticClass());
  RegisterStoragePropertyInterceptor(TCustomForm::StaticClass(), TFormStoragePropertyInterceptor::StaticClass());
  EXPECT_EQ(TClass(FindStoragePropertyInterceptorClass(TForm::StaticClass())),
            TFormStoragePropertyInterceptor::StaticClass());

  // Made through its class, as a filer makes it.
  TFormPtr F = NewForm(10, 20, 300, 200);
  std::unique_ptr<TStoragePropertyInterceptor> I(FindStoragePropertyInterceptorClass(TForm::StaticClass()).Create(
      static_cast<TObject*>(F.get())));
  EXPECT_TRUE(I->NeedIntercept());
  EXPECT_EQ(GetOrdProp(I.get(), L"Width"), 300);
}

TEST(FormStorageInterceptor, PublishesTheLiveRestoredBoundsAndTheDpiTakenAt) {
  TFormPtr F = NewForm(100, 50, 800, 600);
  TFormStoragePropertyInterceptor I(F.get());
  F->SetBounds(110, 60, 640, 480);
  EXPECT_EQ(GetOrdProp(&I, L"Left"), 110);
  EXPECT_EQ(GetOrdProp(&I, L"Top"), 60);
  EXPECT_EQ(GetOrdProp(&I, L"Width"), 640);
  EXPECT_EQ(GetOrdProp(&I, L"Height"), 480);
  EXPECT_EQ(GetOrdProp(&I, L"PixelsPerInch"), Screen->GetPixelsPerInch());
  // The window state and active control are applied when read, never written.
  EXPECT_TRUE(GetPropInfo(&I, L"WindowState")->GetOrd == nullptr);
  EXPECT_TRUE(GetPropInfo(&I, L"ActiveControl")->GetObj == nullptr);

  TFormStoragePropertyInterceptor None(nullptr);
  EXPECT_EQ(GetOrdProp(&None, L"Width"), 0);
  EXPECT_NO_THROW(None.Readed());
}

TEST(FormStorageInterceptor, BoundsSavedAtOneDpiAreRestoredScaledToTheCurrentOne) {
  const Integer Now = Screen->GetPixelsPerInch();
  struct TCase {
    Integer StoredDpi;
    TRect Stored, Restored;  // left, top, width, height
  } Cases[] = {
      {Now * 2 / 3, {100, 50, 800, 600}, {150, 75, 1200, 900}},  // taken at 64 when the screen has 96
      {Now * 2, {200, 100, 1000, 800}, {100, 50, 500, 400}},
      {Now, {30, 40, 500, 300}, {30, 40, 500, 300}},
      {0, {30, 40, 500, 300}, {30, 40, 500, 300}},  // no stored DPI: not scaled to nothing
  };
  for (const TCase& C : Cases) {
    TFormPtr F = NewForm(0, 0, 200, 100);
    TFormStoragePropertyInterceptor I(F.get());
    ReadBack(I, {{L"Left", C.Stored.Left},
                 {L"Top", C.Stored.Top},
                 {L"Width", C.Stored.Right},
                 {L"Height", C.Stored.Bottom},
                 {L"PixelsPerInch", C.StoredDpi}});
    EXPECT_EQ(F->GetLeft(), C.Restored.Left) << C.StoredDpi;
    EXPECT_EQ(F->GetTop(), C.Restored.Top) << C.StoredDpi;
    EXPECT_EQ(F->GetWidth(), C.Restored.Right) << C.StoredDpi;
    EXPECT_EQ(F->GetHeight(), C.Restored.Bottom) << C.StoredDpi;
  }
}

TEST(FormStorageInterceptor, BoundsOffEveryMonitorComeBackOntoTheNearestWorkArea) {
  const TRect Area = Screen->GetWorkAreaRect();
  TFormPtr F = NewForm(0, 0, 200, 100);
  TFormStoragePropertyInterceptor I(F.get());
  ReadBack(I, {{L"Left", -5000}, {L"Top", -4000}, {L"Width", 300}, {L"Height", 200}});
  EXPECT_EQ(F->GetLeft(), Area.Left);
  EXPECT_EQ(F->GetTop(), Area.Top);
  EXPECT_EQ(F->GetWidth(), 300);
  EXPECT_EQ(F->GetHeight(), 200);

  // Far to the right and larger than the screen: shrunk to it.
  TFormStoragePropertyInterceptor J(F.get());
  ReadBack(J, {{L"Left", Area.Right + 3000}, {L"Top", 10}, {L"Width", Area.Width() + 500}, {L"Height", 100}});
  EXPECT_EQ(F->GetLeft(), Area.Left);
  EXPECT_EQ(F->GetWidth(), Area.Width());

  // Partly visible bounds are the user's choice and stay.
  TFormStoragePropertyInterceptor K(F.get());
  ReadBack(K, {{L"Left", Area.Right - 50}, {L"Top", 10}, {L"Width", 300}, {L"Height", 100}});
  EXPECT_EQ(F->GetLeft(), Area.Right - 50);
}

TEST(FormStorageInterceptor, MaximisedFormKeepsItsStateAndGetsTheStoredRestoredBounds) {
  TFormPtr F = NewForm(0, 0, 200, 100);
  F->HandleNeeded();
  TFormStoragePropertyInterceptor I(F.get());
  ReadBack(I, {{L"WindowState", wsMaximized}, {L"Left", 40}, {L"Top", 30}, {L"Width", 400}, {L"Height", 300}});
  EXPECT_EQ(F->GetWindowState(), wsMaximized);
  const TRect R = GetFormNormalBounds(F.get());
  EXPECT_EQ(R, TRect(40, 30, 440, 330));
  EXPECT_FALSE(IsWindowVisible(F->GetHandle()));  // placing it did not show it
  // And the interceptor reads the restored bounds while the form is maximised.
  TFormStoragePropertyInterceptor Again(F.get());
  EXPECT_EQ(GetOrdProp(&Again, L"Width"), 400);
}

TEST(FormStorageInterceptor, CentredFormStaysWhereItWasStoredOnlyWhenAPositionWasRead) {
  for (TPosition P : {poScreenCenter, poDesktopCenter}) {
    TFormPtr F = NewForm(0, 0, 200, 100);
    F->SetPosition(P);
    TFormStoragePropertyInterceptor Sized(F.get());
    ReadBack(Sized, {{L"Width", 300}, {L"Height", 200}});
    EXPECT_EQ(F->GetPosition(), P);
    TFormStoragePropertyInterceptor Placed(F.get());
    ReadBack(Placed, {{L"Left", 70}, {L"Top", 80}});
    EXPECT_EQ(F->GetPosition(), poDesigned);
    F->Show();
    EXPECT_EQ(F->GetLeft(), 70);
    EXPECT_EQ(F->GetTop(), 80);
    F->Hide();
  }
}

// The form lies on the work area, at least in part, with at least its smallest size and no
// larger than any screen could be, whatever was stored.
void ExpectUsableBounds(TForm* F, Integer MinWidth, Integer MinHeight) {
  const TRect Area = Screen->GetWorkAreaRect();
  EXPECT_GE(F->GetWidth(), MinWidth);
  EXPECT_GE(F->GetHeight(), MinHeight);
  EXPECT_LE(F->GetWidth(), 16384);
  EXPECT_LE(F->GetHeight(), 16384);
  EXPECT_LT(F->GetLeft(), Area.Right);
  EXPECT_LT(F->GetTop(), Area.Bottom);
  EXPECT_GT(Int64(F->GetLeft()) + F->GetWidth(), Area.Left);
  EXPECT_GT(Int64(F->GetTop()) + F->GetHeight(), Area.Top);
}

TEST(FormStorageInterceptor, HostileStoredBoundsGiveAUsableForm) {
  const TRect Area = Screen->GetWorkAreaRect();
  const Integer MinW = GetSystemMetrics(SM_CXMINTRACK), MinH = GetSystemMetrics(SM_CYMINTRACK);
  const struct {
    const char* What;
    Integer Left, Top, Width, Height, Dpi;
  } Cases[] = {
      {"no size, off to the right", 5000, 100, 0, 0, 0},
      {"negative size", 100, 100, -300, -200, 0},
      {"all at the largest", INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0},
      {"all at the smallest", INT_MIN, INT_MIN, INT_MIN, INT_MIN, 0},
      {"right edge past the largest", INT_MAX - 1000, 10, 2000, 100, 0},
      {"scaled past the largest", 1 << 29, 1 << 29, 1 << 29, 1 << 29, 1},
      {"a DPI below nothing", 10, 10, 300, 200, -96},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TFormPtr F = NewForm(0, 0, 200, 100);
    TFormStoragePropertyInterceptor I(F.get());
    ReadBack(I, {{L"Left", C.Left}, {L"Top", C.Top}, {L"Width", C.Width}, {L"Height", C.Height},
                 {L"PixelsPerInch", C.Dpi}});
    ExpectUsableBounds(F.get(), MinW, MinH);
  }
  // A Left of 5000 without a width: the smallest form, at the right edge of the work area.
  TFormPtr F = NewForm(0, 0, 200, 100);
  TFormStoragePropertyInterceptor I(F.get());
  ReadBack(I, {{L"Left", 5000}, {L"Top", 100}, {L"Width", 0}, {L"Height", 0}});
  EXPECT_EQ(F->GetWidth(), MinW);
  EXPECT_EQ(F->GetLeft(), Area.Right - MinW);
  // The form's own smallest size counts when it is larger.
  F->GetConstraints()->SetMinWidth(MinW + 150);
  F->GetConstraints()->SetMinHeight(MinH + 100);
  TFormStoragePropertyInterceptor J(F.get());
  ReadBack(J, {{L"Left", 10}, {L"Top", 10}, {L"Width", 1}, {L"Height", 1}});
  EXPECT_EQ(F->GetWidth(), MinW + 150);
  EXPECT_EQ(F->GetHeight(), MinH + 100);
  EXPECT_EQ(F->GetLeft(), 10);
}

// Stored bounds of a settings file, mutated: five 32-bit numbers (left, top, width, height, DPI).
TEST(FormBoundsFuzz, AnyStoredBoundsGiveAUsableForm) {
  auto Tuple = [](std::initializer_list<Integer> V) {
    TBytes B(20, 0);
    std::memcpy(B.data(), std::data(V), std::min<size_t>(V.size() * 4, 20));
    return B;
  };
  const Integer Dpi = Screen->GetPixelsPerInch();
  TFuzzSuite Suite{"form bounds", {Tuple({100, 50, 800, 600, Dpi}), Tuple({-20, 0, 300, 200, Dpi * 2})}, 3000,
                   0x5BE0CD19137E2179ULL};
  const Integer MinW = GetSystemMetrics(SM_CXMINTRACK), MinH = GetSystemMetrics(SM_CYMINTRACK);
  TFormPtr F = NewForm(0, 0, 200, 100);
  Fuzz(Suite, [&](const TBytes& B) {
    Integer V[5] = {};
    std::memcpy(V, B.data(), std::min<size_t>(B.size(), sizeof V));
    TFormStoragePropertyInterceptor I(F.get());
    ReadBack(I, {{L"Left", V[0]}, {L"Top", V[1]}, {L"Width", V[2]}, {L"Height", V[3]}, {L"PixelsPerInch", V[4]}});
    ExpectUsableBounds(F.get(), MinW, MinH);
  });
}

}  // namespace
