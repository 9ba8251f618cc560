// Storage interceptors: the registry, and a form's bounds kept at one DPI and restored at another,
// maximised, centred, or off every monitor.

#include "kvlib/foundation/PropFilerKv.h"

#include <gtest/gtest.h>

#include <memory>

#include "framework/TypInfo.h"
#include "framework/WinApi.h"

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

}  // namespace
