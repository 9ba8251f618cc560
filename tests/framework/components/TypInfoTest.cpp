#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "tests/framework/components/StreamingFixture.h"

namespace {

TEST(TypInfo, PropertiesAreListedAncestorsFirstWithTheirKinds) {
  TPropList L = GetPropList(TDemoPanel::StaticClass());
  std::vector<String> Names;
  for (PPropInfo P : L) Names.push_back(P->Name);
  ASSERT_GE(Names.size(), 4u);
  EXPECT_EQ(Names[0], L"Name");
  EXPECT_EQ(Names[1], L"Tag");
  EXPECT_EQ(Names[2], L"Caption");
  const std::pair<const wchar_t*, TTypeKind> Kinds[] = {
      {L"Caption", tkUString}, {L"Left", tkInteger},  {L"Visible", tkEnumeration}, {L"Align", tkEnumeration},
      {L"Options", tkSet},     {L"Ratio", tkFloat},   {L"Price", tkFloat},         {L"Big", tkInt64},
      {L"Tag", tkInt64},       {L"Letter", tkWChar},  {L"Font", tkClass},          {L"Buddy", tkClass},
      {L"OnClick", tkMethod},
  };
  for (auto [N, K] : Kinds) EXPECT_EQ(PropType(TDemoPanel::StaticClass(), N), K) << N;
  EXPECT_TRUE(IsPublishedProp(TDemoPanel::StaticClass(), L"caption"));
  EXPECT_FALSE(IsPublishedProp(TDemoPanel::StaticClass(), L"Data"));
  EXPECT_EQ(GetTypeData(GetPropInfo(TDemoPanel::StaticClass(), L"Buddy")->PropType)->ClassType,
            TDemoControl::StaticClass());
  TPropList Floats;
  EXPECT_EQ(GetPropList(TDemoControl::StaticClass(), TTypeKinds{tkFloat}, Floats), 4);
  EXPECT_EQ(Floats[0]->Name, L"Price");  // sorted by name
}

TEST(TypInfo, ValuesAreReadAndWrittenByName) {
  TDemoForm F(nullptr);
  auto* C = new TDemoControl(&F);
  SetOrdProp(C, L"Left", 42);
  EXPECT_EQ(C->GetLeft(), 42);
  SetEnumProp(C, L"Align", L"DACLIENT");
  EXPECT_EQ(C->GetAlign(), daClient);
  EXPECT_EQ(GetEnumProp(C, L"Align"), L"daClient");
  EXPECT_THROW(SetEnumProp(C, L"Align", L"daNowhere"), EPropertyConvertError);
  SetSetProp(C, L"Options", L"[dsItalic,dsUnderline]");
  EXPECT_EQ(GetSetProp(C, L"Options", true), L"[dsItalic,dsUnderline]");
  SetStrProp(C, L"Caption", L"Çıkış");
  EXPECT_EQ(GetStrProp(C, L"Caption"), L"Çıkış");
  SetFloatProp(C, L"Price", 1.5L);
  EXPECT_EQ(C->GetPrice().Raw(), 15000);
  EXPECT_EQ(GetFloatProp(C, L"Price"), 1.5L);
  EXPECT_EQ(GetObjectProp(C, L"Font"), C->GetFont());
  EXPECT_EQ(GetObjectProp(C, L"Font", TComponent::StaticClass()), nullptr);  // not of that class
  auto* D = new TDemoControl(&F);
  SetObjectProp(C, L"Buddy", D);
  EXPECT_EQ(C->GetBuddy(), D);
  EXPECT_THROW(SetObjectProp(C, L"Buddy", &F), EInvalidCast);
  EXPECT_THROW(GetOrdProp(C, L"NoSuch"), EPropertyError);
  EXPECT_THROW(GetStrProp(C, L"Left"), EPropertyError);
  EXPECT_EQ(GetEnumName(TypeInfo<TDemoStyle>(), 2), L"dsUnderline");
  EXPECT_EQ(GetEnumValue(TypeInfo<bool>(), L"true"), 1);
}

TEST(TypInfo, EventsAreFoundAndSetThroughPublishedMethods) {
  TDemoForm F(nullptr);
  auto* C = new TDemoControl(&F);
  C->SetName(L"btn");
  const TMethodEntry* M = MethodAddress(TDemoForm::StaticClass(), L"buttonclick");
  ASSERT_TRUE(M);
  EXPECT_EQ(MethodName(TDemoForm::StaticClass(), M), L"ButtonClick");
  SetMethodProp(C, L"OnClick", TMethod{M, &F});
  DoEvent(C->GetOnClick(), C);
  EXPECT_EQ(F.Clicks, std::vector<String>{L"btn"});
  TMethod Back = GetMethodProp(C, L"OnClick");
  EXPECT_EQ(Back.Code, M);
  EXPECT_EQ(Back.Data, &F);
  // A handler that is not published is assigned but has no name.
  C->SetOnClick([](TObject*) {});
  EXPECT_EQ(GetMethodProp(C, L"OnClick").Code, nullptr);
  SetMethodProp(C, L"OnClick", TMethod{});
  EXPECT_FALSE(C->GetOnClick());
  EXPECT_EQ(MethodAddress(TDemoForm::StaticClass(), L"Nope"), nullptr);
}

TEST(TypInfo, StoredPredicatesAndDefaultsAreVisible) {
  TDemoControl C(nullptr);
  PPropInfo Hint = GetPropInfo(&C, L"Hint");
  C.SetHint(L"-");
  EXPECT_FALSE(IsStoredProp(&C, Hint));
  C.SetHint(L"x");
  EXPECT_TRUE(IsStoredProp(&C, Hint));
  EXPECT_FALSE(IsStoredProp(&C, GetPropInfo(&C, L"Scratch")));
  EXPECT_FALSE(IsStoredProp(&C, GetPropInfo(&C, L"Name")));
  EXPECT_EQ(GetPropInfo(&C, L"Visible")->Default, 1);
  EXPECT_EQ(GetPropInfo(&C, L"Left")->Default, NoDefault);
  EXPECT_EQ(GetPropInfo(&C, L"Options")->Default, 1);  // {dsBold}
}

}  // namespace
