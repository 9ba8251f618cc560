// The edit image (its width and the notices it sends its edit) and the placeholder text (when it
// shows, its font, its alignment and where it paints in an edit's text area).

#include "kvlib/editors/DBCtrlsKv.h"

#include <gtest/gtest.h>

#include "framework/ImgList.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"

using namespace ctltest;
using namespace buttontest;

// An edit as the placeholder sees one: it answers the placeholder's questions from plain fields,
// paints the placeholder while it shows, and records the image's layout notices.
class TPlaceholderEdit : public TCustomControl, public IEmptyDataInfoEditKv {
  DECLARE_CLASS(TPlaceholderEdit, TCustomControl)
 public:
  explicit TPlaceholderEdit(TComponent* AOwner)
      : TCustomControl(AOwner),
        Image(std::make_unique<TEditImageKv>(this)),
        Info(std::make_unique<TControlEmptyDataInfoKv>(this)) {}
  ~TPlaceholderEdit() override {
    Info.reset();
    Image.reset();
  }
  TAlignment GetEditTextAlignment() override { return Alignment; }
  bool IsEditEmpty() override { return Empty; }
  TEditImageKv* GetEditImage() override { return Image.get(); }
  Integer GetEditButtonsWidth() override { return ButtonsWidth; }
  void GetEditTextMargins(Integer& Horz, Integer& Vert) override {
    Horz = 2;
    Vert = 1;
  }
  TColor GetEditActualColor() override { return clYellow; }
  TCanvas* GetEditCanvas() override { return GetCanvas(); }

  TAlignment Alignment = taLeftJustify;
  bool Empty = true;
  Integer ButtonsWidth = 0;
  std::vector<WPARAM> ImageNotices;
  std::unique_ptr<TEditImageKv> Image;
  std::unique_ptr<TControlEmptyDataInfoKv> Info;

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == CM_EDITIMAGECHANGEDKV) ImageNotices.push_back(Message.WParam);
    inherited::WndProc(Message);
  }
  void Paint() override {
    if (Info && Info->Showing()) Info->PaintEmptyDataInfo();
  }
};

namespace {

TEST(EditImage, DrawWidthComesFromWidthOrTheImageList) {
  TImageList Images(nullptr, 16, 16);
  struct TCase {
    bool Visible;
    bool WithList;
    Integer Width;
    Integer Expected;
  };
  const TCase Cases[] = {
      {true, false, 0, 0}, {true, true, 0, 20}, {true, true, 30, 34}, {false, true, 30, 0}, {true, false, 30, 0},
  };
  for (const TCase& C : Cases) {
    TEditImageKv Image(nullptr);
    Image.SetVisible(C.Visible);
    Image.SetWidth(C.Width);
    if (C.WithList) Image.SetImages(&Images);
    EXPECT_EQ(Image.DrawWidth(), C.Expected) << C.Visible << C.WithList << C.Width;
    EXPECT_FALSE(Image.Showing());  // no index yet
  }
}

TEST(EditImage, LayoutChangesReachTheEditAndAssignCopiesFour) {
  TImageList Images(nullptr, 16, 16);
  TPlaceholderEdit Edit(nullptr);
  TEditImageKv* Image = Edit.Image.get();
  Image->SetImages(&Images);
  Image->SetVisible(true);
  Image->SetWidth(24);
  Image->SetUseImageHeight(false);
  Image->SetWidth(24);      // no change: no notice
  Image->SetImageIndex(2);  // the index only repaints
  EXPECT_EQ(Edit.ImageNotices, (std::vector<WPARAM>(4, WPARAM(Image))));
  EXPECT_TRUE(Image->Showing());

  TEditImageKv Copy(nullptr);
  Copy.Assign(Image);
  EXPECT_EQ(Copy.GetImages(), &Images);
  EXPECT_EQ(Copy.GetImageIndex(), 2);
  EXPECT_TRUE(Copy.GetVisible());
  EXPECT_EQ(Copy.GetWidth(), 24);
  EXPECT_TRUE(Copy.GetUseImageHeight());
}

TEST(EditImage, FreedImageListIsForgotten) {
  TPlaceholderEdit Edit(nullptr);
  auto* Images = new TImageList(nullptr, 16, 16);
  Edit.Image->SetImages(Images);
  Edit.Image->SetVisible(true);
  delete Images;
  EXPECT_EQ(Edit.Image->GetImages(), nullptr);
  EXPECT_EQ(Edit.Image->DrawWidth(), 0);
}

TEST(EmptyDataInfo, ShowsOnlyWithTextOrColourWhileTheEditIsEmpty) {
  struct TCase {
    const wchar_t* Text;
    TColor Color;
    bool Empty;
    bool Expected;
  };
  const TCase Cases[] = {
      {L"", clDefault, true, false},        {L"Ara...", clDefault, true, true},
      {L"Ara...", clDefault, false, false}, {L"", clInfoBk, true, true},
      {L"", clInfoBk, false, false},
  };
  for (const TCase& C : Cases) {
    TPlaceholderEdit Edit(nullptr);
    Edit.Info->SetText(C.Text);
    Edit.Info->SetColor(C.Color);
    Edit.Empty = C.Empty;
    EXPECT_EQ(Edit.Info->Showing(), C.Expected) << C.Text << " " << C.Empty;
  }
}

TEST(EmptyDataInfo, FontIsSilverItalicAndFollowsTheEditUntilChanged) {
  TPlaceholderEdit Edit(nullptr);
  Edit.GetFont()->SetName(L"Tahoma");
  Edit.GetFont()->SetSize(11);
  TControlEmptyDataInfoKv Info(&Edit);
  TFont* Font = Info.GetFont();
  EXPECT_EQ(Font->GetColor(), clSilver);
  EXPECT_TRUE(Font->GetStyle().Contains(fsItalic));
  EXPECT_EQ(Font->GetName(), L"Tahoma");
  EXPECT_TRUE(Info.GetParentFont());

  Edit.GetFont()->SetSize(14);
  Info.RefreshDefaultFont();
  EXPECT_EQ(Font->GetSize(), 14);
  EXPECT_EQ(Font->GetColor(), clSilver);

  Font->SetColor(clRed);
  EXPECT_FALSE(Info.GetParentFont());
  Edit.GetFont()->SetSize(9);
  Info.RefreshDefaultFont();
  EXPECT_EQ(Font->GetSize(), 14);
  Info.SetParentFont(true);
  EXPECT_EQ(Font->GetSize(), 9);
  EXPECT_EQ(Font->GetColor(), clRed);
}

TEST(EmptyDataInfo, AlignmentFollowsTheEditUntilStored) {
  TPlaceholderEdit Edit(nullptr);
  Edit.Alignment = taRightJustify;
  TControlEmptyDataInfoKv* Info = Edit.Info.get();
  EXPECT_EQ(Info->GetAlignment(), taRightJustify);
  Info->SetAlignment(taCenter);
  EXPECT_TRUE(Info->GetAlignmentIsStored());
  Edit.Alignment = taLeftJustify;
  EXPECT_EQ(Info->GetAlignment(), taCenter);
  Info->SetAlignmentIsStored(false);
  EXPECT_EQ(Info->GetAlignment(), taLeftJustify);
  // Marking it stored keeps the alignment it shows now.
  Edit.Alignment = taRightJustify;
  Info->SetAlignmentIsStored(true);
  Edit.Alignment = taLeftJustify;
  EXPECT_EQ(Info->GetAlignment(), taRightJustify);
}

// ---- Painting ---------------------------------------------------------------------------------

// The first and last columns holding black ink.
std::pair<Integer, Integer> PlaceholderInkColumns(TBitmap* B) {
  Integer First = -1, Last = -1;
  for (Integer X = 0; X < B->GetWidth(); ++X)
    for (Integer Y = 0; Y < B->GetHeight(); ++Y)
      if ((B->GetCanvas()->GetPixel(X, Y) & 0xFFFFFF) == 0) {
        if (First < 0) First = X;
        Last = X;
        break;
      }
  return {First, Last};
}

class EmptyDataInfoPainting : public ClassicLook {};

// The text stands in the area between the image and the buttons, at the margin from the edge its
// alignment names (mirrored right to left), on the edit's background.
TEST_F(EmptyDataInfoPainting, TextLandsWhereItsAlignmentPutsIt) {
  TFormHolder F(300, 60);
  auto* Edit = new TPlaceholderEdit(F.Form);
  Edit->SetParent(F.Form);
  Edit->SetBounds(0, 0, 200, 20);
  TImageList Images(nullptr, 16, 16);
  Edit->Image->SetImages(&Images);
  Edit->Image->SetVisible(true);  // 20 pixels
  Edit->ButtonsWidth = 30;
  Edit->Info->SetText(L"Ara");
  Edit->Info->GetFont()->SetColor(clBlack);
  F->Show();
  Integer TextWidth;
  {
    TBitmap Measure(1, 1);
    Measure.GetCanvas()->SetFont(Edit->Info->GetFont());
    TextWidth = Measure.GetCanvas()->TextWidth(L"Ara");
  }
  struct TCase {
    TAlignment Alignment;
    bool RightToLeft;
    Integer X;
  };
  const TCase Cases[] = {
      {taLeftJustify, false, 20 + 2},
      {taRightJustify, false, 170 - TextWidth - 2},
      {taCenter, false, (170 + 20 - TextWidth) / 2},
      {taLeftJustify, true, 170 - TextWidth - 2},
      {taRightJustify, true, 20 + 2},
  };
  for (const TCase& C : Cases) {
    Edit->Info->SetAlignment(C.Alignment);
    Edit->SetBiDiMode(C.RightToLeft ? bdRightToLeft : bdLeftToRight);
    auto B = PaintForm(Edit);
    auto [First, Last] = PlaceholderInkColumns(B.get());
    EXPECT_GE(First, C.X) << C.Alignment << " " << C.RightToLeft;
    EXPECT_LE(Last, C.X + TextWidth) << C.Alignment << " " << C.RightToLeft;
    EXPECT_LE(First, C.X + 3) << C.Alignment << " " << C.RightToLeft;
    // The text area takes the edit's background; the image and button areas stay as they were.
    EXPECT_EQ(B->GetCanvas()->GetPixel(22, 18) & 0xFFFFFF, clYellow);
    EXPECT_EQ(B->GetCanvas()->GetPixel(10, 18) & 0xFFFFFF, clWhite);
    EXPECT_EQ(B->GetCanvas()->GetPixel(185, 18) & 0xFFFFFF, clWhite);
  }
  Edit->Info->SetColor(clAqua);
  EXPECT_EQ(PaintForm(Edit)->GetCanvas()->GetPixel(22, 18) & 0xFFFFFF, clAqua);
  Edit->Empty = false;
  EXPECT_EQ(PlaceholderInkColumns(PaintForm(Edit).get()).first, -1);
}

}  // namespace
