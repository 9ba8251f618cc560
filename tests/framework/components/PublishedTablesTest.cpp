#include <gtest/gtest.h>

#include <cstdint>

#include "framework/Classes.h"

namespace {

// Ordinals at the ends of their ranges as defaults, and a write-only property.
class TRangeDemo : public TComponent {
  DECLARE_CLASS(TRangeDemo, TComponent)
 public:
  using TComponent::TComponent;
  Cardinal GetMask() const { return FMask; }
  void SetMask(Cardinal Value) { FMask = Value; }
  Integer GetLow() const { return FLow; }
  void SetLow(Integer Value) { FLow = Value; }
  UInt64 GetHuge() const { return FHuge; }
  void SetHuge(UInt64 Value) { FHuge = Value; }
  Word GetCode() const { return FCode; }
  void SetCode(Word Value) { FCode = Value; }
  void SetSecret(const String& Value) { Secret = Value; }
  PUBLISHED_DECL(TRangeDemo);

  String Secret;

 private:
  Cardinal FMask = 0xFFFFFFFFu;
  Integer FLow = INT32_MIN;
  UInt64 FHuge = UINT64_MAX;
  Word FCode = 0xFFFF;
};

PUBLISHED_DEF(TRangeDemo) {
  PROP(Mask).Default(0xFFFFFFFFu);
  PROP(Low).Default(INT32_MIN);
  PROP(Huge).Default(UINT64_MAX);
  PROP(Code).Default(-1);  // written in another type: still the Word 0xFFFF
  PROP_WRITEONLY(Secret);
}

// A descendant that gives an inherited property a new default and adds one of its own.
class TRangeDemo2 : public TRangeDemo {
  DECLARE_CLASS(TRangeDemo2, TRangeDemo)
 public:
  explicit TRangeDemo2(TComponent* AOwner) : TRangeDemo(AOwner) { SetMask(7); }
  Integer GetExtra() const { return FExtra; }
  void SetExtra(Integer Value) { FExtra = Value; }
  PUBLISHED_DECL(TRangeDemo2);

 private:
  Integer FExtra = 0;
};

PUBLISHED_DEF(TRangeDemo2) {
  PROP(Extra).Default(0);
  PROP(Mask).Default(7);
}

// Inherits the table and declares none of its own.
class TRangeDemo3 : public TRangeDemo2 {
  DECLARE_CLASS(TRangeDemo3, TRangeDemo2)
 public:
  using TRangeDemo2::TRangeDemo2;
};

// A class template with a published table of its own.
template <class V>
class TBox : public TComponent {
  DECLARE_CLASS(TBox, TComponent)
 public:
  using TComponent::TComponent;
  V GetValue() const { return FValue; }
  void SetValue(V Value) { FValue = Value; }
  PUBLISHED_DECL(TBox);

 private:
  V FValue{};
};

template <class V>
PUBLISHED_DEF(TBox<V>) {
  PROP(Value);
}

std::string WriteText(TComponent* Root) {
  TMemoryStream Bin, Text;
  Bin.WriteComponent(Root);
  Bin.SetPosition(0);
  ObjectBinaryToText(&Bin, &Text);
  return std::string(static_cast<const char*>(Text.GetMemory()), size_t(Text.GetSize()));
}

void ReadText(const std::string& T, TComponent* Root) {
  TMemoryStream In;
  In.Write(T.data(), Integer(T.size()));
  In.SetPosition(0);
  ReadComponentFromStream(&In, Root);
}

TEST(PublishedTables, DefaultsCoverTheWholeRangeOfTheirType) {
  struct TCase {
    const char* Name;
    void (*Set)(TRangeDemo&);
    const char* Written;  // null: the value is the default and is not written
  };
  const TCase Cases[] = {
      {"Cardinal at its top default", [](TRangeDemo&) {}, nullptr},
      {"Cardinal past 2^31", [](TRangeDemo& D) { D.SetMask(0x80000000u); }, "Mask = 2147483648"},
      {"Integer at its bottom default", [](TRangeDemo& D) { D.SetLow(INT32_MIN); }, nullptr},
      {"Integer off its bottom default", [](TRangeDemo& D) { D.SetLow(0); }, "Low = 0"},
      {"UInt64 off its top default", [](TRangeDemo& D) { D.SetHuge(5); }, "Huge = 5"},
      {"Word off a default given as -1", [](TRangeDemo& D) { D.SetCode(1); }, "Code = 1"},
  };
  for (const TCase& C : Cases) {
    TRangeDemo D(nullptr);
    D.SetName(L"D");
    C.Set(D);
    std::string T = WriteText(&D);
    if (!C.Written) {
      EXPECT_EQ(T, "object D: TRangeDemo\r\nend\r\n") << C.Name;
      continue;
    }
    EXPECT_NE(T.find(std::string(C.Written) + "\r\n"), std::string::npos) << C.Name << "\n" << T;
    TRangeDemo Back(nullptr);
    ReadText(T, &Back);
    EXPECT_EQ(WriteText(&Back), T) << C.Name;
  }
}

TEST(PublishedTables, WriteOnlyPropertiesAreReadFromStreamsButNeverWritten) {
  PPropInfo P = GetPropInfo(TRangeDemo::StaticClass(), L"secret");
  ASSERT_TRUE(P);
  EXPECT_FALSE(P->IsReadable());
  EXPECT_TRUE(P->IsWritable());
  EXPECT_EQ(P->PropType->Kind, tkUString);

  TRangeDemo D(nullptr);
  ReadText("object D: TRangeDemo\r\n  Secret = 'gizli'\r\nend\r\n", &D);
  EXPECT_EQ(D.Secret, L"gizli");
  EXPECT_EQ(WriteText(&D).find("Secret"), std::string::npos);
  SetStrProp(&D, L"Secret", L"x");
  EXPECT_EQ(D.Secret, L"x");
  EXPECT_THROW(GetStrProp(&D, L"Secret"), EPropertyError);
}

TEST(PublishedTables, TablesAreBuiltOnFirstUseAndOncePerClass) {
  TClass K = TRangeDemo3::StaticClass();
  EXPECT_NE(TRangeDemo2::StaticClass()->PublishedDef(), nullptr);
  EXPECT_EQ(K->PublishedDef(), nullptr);  // inherits its parent's table, declares none
  EXPECT_EQ(K->TypeData.load(), nullptr);  // nothing asked for it yet
  const TPropList& L = GetPropList(K);
  EXPECT_NE(K->TypeData.load(), nullptr);
  EXPECT_EQ(&GetPropList(K), &L);

  // Ancestors first; a redeclared property keeps its place and carries the new default.
  std::vector<String> Names;
  for (PPropInfo P : L) Names.push_back(P->Name);
  EXPECT_EQ(Names, (std::vector<String>{L"Name", L"Tag", L"Mask", L"Low", L"Huge", L"Code", L"Secret", L"Extra"}));
  EXPECT_EQ(GetPropInfo(K, L"MASK")->Default, 7);
  EXPECT_EQ(GetPropInfo(K, L"MASK")->DeclaringClass, TRangeDemo2::StaticClass());
  EXPECT_EQ(GetPropInfo(TRangeDemo::StaticClass(), L"mask")->Default, Int64(0xFFFFFFFFu));
  for (const wchar_t* Name : {L"extra", L"EXTRA", L"Extra", L"tag"}) EXPECT_TRUE(GetPropInfo(K, Name)) << Name;
  for (const wchar_t* Name : {L"Extr", L"Extra ", L"", L"Ex\u0131ra"}) EXPECT_FALSE(GetPropInfo(K, Name)) << Name;
}

TEST(PublishedTables, ClassTemplatesHaveATablePerInstance) {
  EXPECT_EQ(PropType(TBox<Integer>::StaticClass(), L"Value"), tkInteger);
  EXPECT_EQ(PropType(TBox<String>::StaticClass(), L"Value"), tkUString);
  TBox<String> B(nullptr);
  SetStrProp(&B, L"value", L"kutu");
  EXPECT_EQ(B.GetValue(), L"kutu");
}

}  // namespace
