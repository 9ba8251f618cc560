#include <gtest/gtest.h>

#include "framework/Classes.h"
#include "tests/framework/components/StreamingFixture.h"

namespace {

std::string Bytes(TMemoryStream& M) { return std::string(static_cast<const char*>(M.GetMemory()), size_t(M.GetSize())); }

std::string ToBinary(TComponent* Root) {
  TMemoryStream M;
  M.WriteComponent(Root);
  return Bytes(M);
}

std::string BinaryToText(const std::string& B) {
  TMemoryStream In, Out;
  In.Write(B.data(), Integer(B.size()));
  In.SetPosition(0);
  ObjectBinaryToText(&In, &Out);
  return Bytes(Out);
}

std::string StreamingTextToBinary(const std::string& T) {
  TMemoryStream In, Out;
  In.Write(T.data(), Integer(T.size()));
  In.SetPosition(0);
  ObjectTextToBinary(&In, &Out);
  return Bytes(Out);
}

TComponent* StreamingReadText(const std::string& T, TComponent* Root) {
  TMemoryStream In;
  In.Write(T.data(), Integer(T.size()));
  In.SetPosition(0);
  return ReadComponentFromStream(&In, Root);
}

// A form with nested controls, a collection, a sub-object, string lists, binary data, every
// kind of value, references between siblings and events bound to the form's methods.
TDemoForm* MakeForm() {
  RegisterDemoClasses();
  auto* F = new TDemoForm(nullptr);
  F->SetName(L"frmMain");
  F->SetCaption(L"Kurulum Sihirbazı — İleri");
  F->SetOnShow({F, &TDemoForm::FormShow});
  auto* Panel = new TDemoPanel(F);
  Panel->SetName(L"pnlTop");
  Panel->SetAlign(daTop);
  Panel->SetOptions({dsItalic, dsStrikeOut});
  auto* Ok = new TDemoControl(F);
  Ok->SetName(L"btnOk");
  Ok->SetParentComponent(Panel);
  Ok->SetCaption(L"Tamam 'şimdi'");
  Ok->SetLeft(-300);
  Ok->SetVisible(false);
  Ok->SetRatio(0.1);
  Ok->SetScale(2.5f);
  Ok->SetPrice(Currency(12.3456));
  Ok->SetWhen(TDateTime(45000.25));
  Ok->SetBig(Int64(1) << 40);
  Ok->SetLetter(L'ğ');
  Ok->GetFont()->SetName(L"Segoe UI");
  Ok->GetFont()->SetStyle({dsBold, dsUnderline});
  Ok->SetOnClick({F, &TDemoForm::ButtonClick});
  Ok->Data = {0, 1, 2, 0xFE, 0xFF};
  Ok->SetValue(Variant(L"değer"));
  Ok->SetShade(0x202020);
  auto* Cancel = new TDemoControl(F);
  Cancel->SetName(L"btnCancel");
  Cancel->SetParentComponent(Panel);
  Cancel->SetBuddy(Ok);
  Cancel->SetOnClick({F, &TDemoForm::ButtonClick});
  Cancel->SetTag(NativeInt(-7));
  Cancel->SetValue(Variant(2.5));
  Cancel->SetShade(77);
  auto* Grid = new TDemoControl(F);
  Grid->SetName(L"grdList");
  auto* C1 = static_cast<TDemoColumn*>(Grid->GetColumns()->Add());
  C1->SetCaption(L"Ürün");
  C1->SetWidth(120);
  auto* C2 = static_cast<TDemoColumn*>(Grid->GetColumns()->Add());
  C2->SetAlign(daClient);
  Grid->GetLines()->Add(L"satır 1");
  Grid->GetLines()->Add(L"");
  Grid->GetLines()->Add(L"it's");
  Grid->SetBuddy(Cancel);
  return F;
}

TEST(Streaming, BinaryAndTextFormsRoundTripByteForByte) {
  std::unique_ptr<TDemoForm> F(MakeForm());
  std::string B1 = ToBinary(F.get());
  ASSERT_EQ(B1.substr(0, 4), "TPF0");

  TMemoryStream In;
  In.Write(B1.data(), Integer(B1.size()));
  In.SetPosition(0);
  std::unique_ptr<TComponent> G(In.ReadComponent(nullptr));
  ASSERT_TRUE(G);
  EXPECT_EQ(ToBinary(G.get()), B1);

  std::string T1 = BinaryToText(B1);
  std::string B2 = StreamingTextToBinary(T1);
  EXPECT_EQ(B2, B1);
  EXPECT_EQ(BinaryToText(B2), T1);
}

TEST(Streaming, ReadFormKeepsEveryValue) {
  std::unique_ptr<TDemoForm> F(MakeForm());
  std::string T = BinaryToText(ToBinary(F.get()));
  std::unique_ptr<TDemoForm> G(static_cast<TDemoForm*>(StreamingReadText(T, nullptr)));
  EXPECT_EQ(G->GetName(), L"frmMain");
  EXPECT_EQ(G->GetCaption(), F->GetCaption());
  auto* Panel = static_cast<TDemoPanel*>(G->FindComponent(L"pnlTop"));
  auto* Ok = static_cast<TDemoControl*>(G->FindComponent(L"btnOk"));
  auto* Cancel = static_cast<TDemoControl*>(G->FindComponent(L"btnCancel"));
  auto* Grid = static_cast<TDemoControl*>(G->FindComponent(L"grdList"));
  ASSERT_TRUE(Panel && Ok && Cancel && Grid);
  EXPECT_EQ(Panel->Children, (std::vector<TDemoControl*>{Ok, Cancel}));
  EXPECT_EQ(Ok->Parent, Panel);
  EXPECT_EQ(Grid->Parent, nullptr);
  EXPECT_EQ(Panel->GetAlign(), daTop);
  EXPECT_EQ(Panel->GetOptions(), (TDemoStyles{dsItalic, dsStrikeOut}));
  EXPECT_EQ(Ok->GetCaption(), L"Tamam 'şimdi'");
  EXPECT_EQ(Ok->GetLeft(), -300);
  EXPECT_FALSE(Ok->GetVisible());
  EXPECT_EQ(Ok->GetRatio(), 0.1);
  EXPECT_EQ(Ok->GetScale(), 2.5f);
  EXPECT_EQ(Ok->GetPrice().Raw(), 123456);
  EXPECT_EQ(double(Ok->GetWhen()), 45000.25);
  EXPECT_EQ(Ok->GetBig(), Int64(1) << 40);
  EXPECT_EQ(Ok->GetLetter(), L'ğ');
  EXPECT_EQ(Ok->GetFont()->GetName(), L"Segoe UI");
  EXPECT_EQ(Ok->GetFont()->GetStyle(), (TDemoStyles{dsBold, dsUnderline}));
  EXPECT_EQ(Ok->Data, (TBytes{0, 1, 2, 0xFE, 0xFF}));
  EXPECT_EQ(Cancel->GetBuddy(), Ok);
  EXPECT_EQ(Cancel->GetTag(), -7);
  EXPECT_EQ(Ok->GetValue().AsString(), L"değer");
  EXPECT_EQ(Cancel->GetValue().Type(), varDouble);
  EXPECT_EQ(Cancel->GetValue().AsDouble(), 2.5);
  EXPECT_TRUE(Grid->GetValue().IsEmpty());
  EXPECT_EQ(Ok->GetShade(), 0x202020);
  EXPECT_EQ(Cancel->GetShade(), 77);
  EXPECT_EQ(Grid->GetBuddy(), Cancel);
  ASSERT_EQ(Grid->GetColumns()->GetCount(), 2);
  EXPECT_EQ(static_cast<TDemoColumn*>(Grid->GetColumns()->GetItem(0))->GetCaption(), L"Ürün");
  EXPECT_EQ(static_cast<TDemoColumn*>(Grid->GetColumns()->GetItem(0))->GetWidth(), 120);
  EXPECT_EQ(static_cast<TDemoColumn*>(Grid->GetColumns()->GetItem(1))->GetAlign(), daClient);
  EXPECT_EQ(Grid->GetLines()->GetText(), L"satır 1\r\n\r\nit's\r\n");
  // Events are bound to the new form's methods.
  DoEvent(Ok->GetOnClick(), Ok);
  DoEvent(Cancel->GetOnClick(), Cancel);
  DoEvent(G->GetOnShow(), G.get());
  EXPECT_EQ(G->Clicks, (std::vector<String>{L"btnOk", L"btnCancel", L"show"}));
  EXPECT_EQ(Ok->LoadedCount, 1);
  EXPECT_FALSE(Ok->GetComponentState().Contains(csLoading));
  EXPECT_FALSE(G->GetComponentState().Contains(csReading));
}

TEST(Streaming, TextFormReadsAsExpected) {
  std::unique_ptr<TDemoForm> F(MakeForm());
  std::string T = BinaryToText(ToBinary(F.get()));
  for (const char* Line : {"object frmMain: TDemoForm\r\n",
                           "  Caption = 'Kurulum Sihirbaz'#305' '#8212' '#304'leri'\r\n",
                           "  OnShow = FormShow\r\n",
                           "  object pnlTop: TDemoPanel\r\n",
                           "    Options = [dsItalic, dsStrikeOut]\r\n",
                           "      Caption = 'Tamam '#39#351'imdi'#39\r\n",
                           "      Scale = 2.5s\r\n",
                           "      Price = 123456c\r\n",
                           "      When = 45000.25d\r\n",
                           "      Font.Name = 'Segoe UI'\r\n",
                           "      OnClick = ButtonClick\r\n",
                           "      Data = {000102FEFF}\r\n",
                           "      Buddy = btnOk\r\n",
                           "      Value = 'de'#287'er'\r\n      Shade = shDark\r\n",
                           "      Value = 2.5\r\n      Shade = 77\r\n",
                           "    Columns = <\r\n      item\r\n        Caption = #220'r'#252'n'\r\n        Width = 120\r\n      end\r\n"
                           "      item\r\n        Align = daClient\r\n      end>\r\n",
                           "    Lines.Strings = (\r\n      'sat'#305'r 1'\r\n      ''\r\n      'it'#39's')\r\n"}) {
    EXPECT_NE(T.find(Line), std::string::npos) << Line << "\n--- in ---\n" << T;
  }
}

TEST(Streaming, BinaryDataShorterThan32BytesStaysOnItsPropertysLine) {
  RegisterDemoClasses();
  const struct {
    size_t Size;
    const char* Text;
  } Cases[] = {
      {1, "    Data = {AB}\r\n"},
      {31, "    Data = {ABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABAB}\r\n"},
      {32, "    Data = {\r\n      ABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABAB}\r\n"},
      {33, "    Data = {\r\n      ABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABAB\r\n      AB}\r\n"},
  };
  for (const auto& C : Cases) {
    TDemoForm F(nullptr);
    F.SetName(L"F");
    auto* Control = new TDemoControl(&F);
    Control->SetName(L"C");
    Control->Data = TBytes(C.Size, 0xAB);
    const std::string B = ToBinary(&F);
    const std::string T = BinaryToText(B);
    EXPECT_NE(T.find(C.Text), std::string::npos) << C.Size << "\n--- in ---\n" << T;
    EXPECT_EQ(StreamingTextToBinary(T), B) << C.Size;
  }
}

TEST(Streaming, DefaultsAreNotWrittenAndStoredRulesHold) {
  RegisterDemoClasses();
  TDemoForm F(nullptr);
  F.SetName(L"F");
  auto* C = new TDemoControl(&F);
  C->SetName(L"C");
  C->SetScratch(L"never");
  C->SetHint(L"-");  // IsHintStored says no
  std::string T = BinaryToText(ToBinary(&F));
  // Left has no default, so it is written even at zero, as are a non-empty string and a
  // collection; everything else is at its default.
  EXPECT_EQ(T,
            "object F: TDemoForm\r\n  object C: TDemoControl\r\n    Left = 0\r\n    Font.Name = 'Tahoma'\r\n"
            "    Columns = <>\r\n  end\r\nend\r\n");
  C->SetHint(L"ipucu");
  C->SetOptions({});
  C->SetTag(5);
  T = BinaryToText(ToBinary(&F));
  EXPECT_NE(T.find("Hint = 'ipucu'"), std::string::npos);
  EXPECT_NE(T.find("Options = []"), std::string::npos);
  EXPECT_NE(T.find("Tag = 5"), std::string::npos);
}

TEST(Streaming, AbsentPropertiesKeepTheirValues) {
  RegisterDemoClasses();
  TDemoForm F(nullptr);
  auto* C = new TDemoControl(&F);
  C->SetName(L"C");
  C->SetLeft(5);
  C->SetCaption(L"eski");
  StreamingReadText("object F: TDemoForm\r\n  inherited C: TDemoControl\r\n    Caption = 'yeni'\r\n  end\r\nend\r\n", &F);
  EXPECT_EQ(C->GetCaption(), L"yeni");
  EXPECT_EQ(C->GetLeft(), 5);
  EXPECT_EQ(F.GetName(), L"F");
}

// ---- Bad input ----

struct BadCase {
  const char* Text;
  const wchar_t* Message;  // part of the error's message
};

TEST(Streaming, BadInputRaisesNamedErrorsAfterApplyingWhatWasRead) {
  RegisterDemoClasses();
  const BadCase Cases[] = {
      {"object F: TDemoForm\r\n  Caption = 'a'\r\n  Bogus = 1\r\nend\r\n", L"Error reading F.Bogus: Property Bogus does not exist"},
      {"object F: TDemoForm\r\n  Caption = 'a'\r\n  object X: TNoSuchClass\r\n  end\r\nend\r\n", L"Class TNoSuchClass not found"},
      {"object F: TDemoForm\r\n  Caption = 'a'\r\n  object X: TDemoControl\r\n    Align = daSideways\r\n  end\r\nend\r\n",
       L"Error reading X.Align: Invalid property value: daSideways is not a value of TDemoAlign"},
      {"object F: TDemoForm\r\n  Caption = 'a'\r\n  object X: TDemoControl\r\n    Options = [dsBold, dsBlink]\r\n  end\r\nend\r\n",
       L"dsBlink"},
      {"object F: TDemoForm\r\n  Caption = 'a'\r\n  OnShow = NoSuchHandler\r\nend\r\n", L"Method 'NoSuchHandler' not found"},
      {"object F: TDemoForm\r\n  Caption = 'a'\r\n  Caption = 12\r\nend\r\n", L"Error reading F.Caption: Invalid property value"},
  };
  for (const auto& C : Cases) {
    int Live = DemoLiveCount();
    TDemoForm F(nullptr);
    F.SetName(L"F");
    try {
      StreamingReadText(C.Text, &F);
      ADD_FAILURE() << C.Text;
    } catch (const EFilerError& E) {
      EXPECT_NE(E.Message().find(C.Message), String::npos) << E.Message();
    }
    EXPECT_EQ(F.GetCaption(), L"a") << C.Text;  // what came before the fault was applied
    EXPECT_EQ(F.GetComponentCount(), 0) << C.Text;  // the half-read component was freed
    EXPECT_FALSE(F.GetComponentState().Contains(csLoading));
    EXPECT_EQ(DemoLiveCount(), Live + 1);
  }
}

TEST(Streaming, TruncatedStreamsAndUnknownTagsRaiseWithoutLeaks) {
  std::unique_ptr<TDemoForm> F(MakeForm());
  std::string B = ToBinary(F.get());
  int Live = DemoLiveCount();
  for (size_t Cut = 0; Cut < B.size(); Cut += 7) {
    TMemoryStream M;
    M.Write(B.data(), Integer(Cut));
    M.SetPosition(0);
    EXPECT_THROW(M.ReadComponent(nullptr), EFilerError) << Cut;
    EXPECT_EQ(DemoLiveCount(), Live) << Cut;
  }
  // An unknown tag in place of the form's first property value.
  std::string Bad = StreamingTextToBinary("object F: TDemoForm\r\n  Caption = 'x'\r\nend\r\n");
  size_t TagAt = Bad.find("Caption") + 7;
  Bad[TagAt] = char(99);
  TMemoryStream M;
  M.Write(Bad.data(), Integer(Bad.size()));
  M.SetPosition(0);
  try {
    M.ReadComponent(nullptr);
    ADD_FAILURE();
  } catch (const EReadError& E) {
    EXPECT_NE(E.Message().find(L"unknown value tag 99"), String::npos) << E.Message();
  }
  EXPECT_EQ(DemoLiveCount(), Live);
}

TEST(Streaming, DamagedBytesRaiseErrorsNotCrashes) {
  std::unique_ptr<TDemoForm> F(MakeForm());
  std::string B = ToBinary(F.get());
  int Live = DemoLiveCount();
  for (size_t At = 4; At < B.size(); ++At)
    for (char V : {char(0), char(0x7F), char(0xFF)}) {
      std::string D = B;
      D[At] = V;
      TMemoryStream M;
      M.Write(D.data(), Integer(D.size()));
      M.SetPosition(0);
      try {
        delete M.ReadComponent(nullptr);  // a damaged value may still be a valid one
      } catch (const Exception&) {
      }
      ASSERT_EQ(DemoLiveCount(), Live) << At;
    }
}

TEST(Streaming, TextSyntaxErrorsNameTheLine) {
  try {
    StreamingTextToBinary("object F: TDemoForm\r\n  Caption = 'open\r\nend\r\n");
    FAIL();
  } catch (const EParserError& E) {
    EXPECT_EQ(E.Message(), L"Unterminated string on line 2");
  }
}

// ---- Reader events ----

class TEventLog : public TObject {
  DECLARE_CLASS(TEventLog, TObject)
 public:
  std::vector<String> Log;
  void OnError(TReader*, const String& Message, bool& Handled) {
    Log.push_back(L"error: " + Message);
    Handled = true;
  }
  void OnFindClass(TReader*, const String& ClassName, TComponentClass& C) {
    if (ClassName == L"TOldButton") C = TDemoControl::StaticClass();
  }
  void OnSetName(TReader*, TComponent*, String& Name) { Name += L"2"; }
  void OnReferenceName(TReader*, String& Name) {
    Log.push_back(L"ref: " + Name);
    Name = L"b2";
  }
  void OnCreate(TReader* R, TComponentClass C, TComponent*& Component) {
    Log.push_back(L"create: " + C->ClassName());
    Component = C.Create(R->GetOwner());
  }
  void OnFindMethod(TReader*, const String& Name, const TMethodEntry*& Address, bool& Error) {
    if (Name == L"OldClick") {
      Address = MethodAddress(TDemoForm::StaticClass(), L"ButtonClick");
      Error = false;
    }
  }
};

TEST(Streaming, ReaderEventsSteerTheRead) {
  RegisterDemoClasses();
  TEventLog L;
  TDemoForm F(nullptr);
  std::string B = StreamingTextToBinary(
      "object F: TDemoForm\r\n"
      "  Legacy = 3\r\n"
      "  object a: TOldButton\r\n    Buddy = bx\r\n    OnClick = OldClick\r\n  end\r\n"
      "  object b: TDemoControl\r\n  end\r\n"
      "end\r\n");
  TMemoryStream M;
  M.Write(B.data(), Integer(B.size()));
  M.SetPosition(0);
  TReader R(&M);
  R.SetOnError({&L, &TEventLog::OnError});
  R.SetOnFindComponentClass({&L, &TEventLog::OnFindClass});
  R.SetOnSetName({&L, &TEventLog::OnSetName});
  R.SetOnReferenceName({&L, &TEventLog::OnReferenceName});
  R.SetOnCreateComponent({&L, &TEventLog::OnCreate});
  R.SetOnFindMethod({&L, &TEventLog::OnFindMethod});
  R.ReadRootComponent(&F);
  EXPECT_EQ(L.Log, (std::vector<String>{L"error: Property Legacy does not exist", L"create: TDemoControl",
                                        L"ref: bx", L"create: TDemoControl"}));
  auto* A = static_cast<TDemoControl*>(F.FindComponent(L"a2"));
  ASSERT_TRUE(A);
  EXPECT_EQ(A->GetBuddy(), F.FindComponent(L"b2"));
  DoEvent(A->GetOnClick(), A);
  EXPECT_EQ(F.Clicks, std::vector<String>{L"a2"});
}

TEST(Streaming, AncestorNotFoundEventSuppliesTheInheritedComponent) {
  RegisterDemoClasses();
  TDemoForm F(nullptr);
  auto* Elsewhere = new TDemoControl(&F);
  Elsewhere->SetName(L"Real");
  std::string B = StreamingTextToBinary("inherited F: TDemoForm\r\n  inherited Missing: TDemoControl\r\n    Left = 9\r\n  end\r\nend\r\n");
  TMemoryStream M;
  M.Write(B.data(), Integer(B.size()));
  M.SetPosition(0);
  TReader R(&M);
  R.SetOnAncestorNotFound([&](TReader*, const String& Name, TComponentClass, TComponent*& C) {
    if (Name == L"Missing") C = Elsewhere;
  });
  R.ReadRootComponent(&F);
  EXPECT_EQ(Elsewhere->GetLeft(), 9);

  M.SetPosition(0);
  TReader R2(&M);
  EXPECT_THROW(R2.ReadRootComponent(&F), EReadError);
}

// ---- References across roots ----

TComponent* GOtherForm = nullptr;
TComponent* FindOther(const String& Name) {
  return GOtherForm && Name == GOtherForm->GetName() ? GOtherForm : nullptr;
}

TEST(Streaming, ReferencesAcrossFormsResolveWhenTheOtherFormLoads) {
  RegisterDemoClasses();
  RegisterFindGlobalComponentProc(&FindOther);
  std::unique_ptr<TComponent> A(StreamingReadText(
      "object FormA: TDemoForm\r\n  object x: TDemoControl\r\n    Buddy = FormB.target\r\n  end\r\nend\r\n", nullptr));
  auto* X = static_cast<TDemoControl*>(A->FindComponent(L"x"));
  EXPECT_EQ(X->GetBuddy(), nullptr);  // FormB is not loaded yet
  std::unique_ptr<TDemoForm> B(new TDemoForm(nullptr));
  GOtherForm = B.get();
  StreamingReadText("object FormB: TDemoForm\r\n  object target: TDemoControl\r\n  end\r\nend\r\n", B.get());
  EXPECT_EQ(X->GetBuddy(), B->FindComponent(L"target"));
  // Written back, the reference names the other form.
  EXPECT_NE(BinaryToText(ToBinary(A.get())).find("Buddy = FormB.target"), std::string::npos);
  B.reset();  // the free notification clears the reference
  EXPECT_EQ(X->GetBuddy(), nullptr);
  GOtherForm = nullptr;
  UnregisterFindGlobalComponentProc(&FindOther);
}

TEST(Streaming, PendingReferencesOfAFreedFormAreForgotten) {
  RegisterDemoClasses();
  std::unique_ptr<TComponent> A(StreamingReadText(
      "object FormC: TDemoForm\r\n  object x: TDemoControl\r\n    Buddy = FormD.target\r\n  end\r\nend\r\n", nullptr));
  std::unique_ptr<TComponent> E(StreamingReadText(
      "object FormE: TDemoForm\r\n  object y: TDemoControl\r\n    Buddy = FormD.target\r\n  end\r\nend\r\n", nullptr));
  A.reset();
  delete E->FindComponent(L"y");  // a waiting component freed while its form lives on
  // Loading the target form later must not touch the freed one.
  RegisterFindGlobalComponentProc(&FindOther);
  std::unique_ptr<TDemoForm> D(new TDemoForm(nullptr));
  GOtherForm = D.get();
  StreamingReadText("object FormD: TDemoForm\r\n  object target: TDemoControl\r\n  end\r\nend\r\n", D.get());
  GOtherForm = nullptr;
  UnregisterFindGlobalComponentProc(&FindOther);
}

// ---- Descendants ----

TEST(Streaming, DescendantsWriteOnlyDifferencesWithInheritedFlags) {
  RegisterDemoClasses();
  auto Make = [] {
    auto* F = new TDemoForm(nullptr);
    F->SetName(L"Base");
    auto* A = new TDemoControl(F);
    A->SetName(L"A");
    A->SetCaption(L"same");
    auto* B = new TDemoControl(F);
    B->SetName(L"B");
    return F;
  };
  std::unique_ptr<TDemoForm> Ancestor(Make()), Desc(Make());
  static_cast<TDemoControl*>(Desc->FindComponent(L"B"))->SetCaption(L"changed");
  Desc->FindComponent(L"B")->SetComponentIndex(0);
  auto* C = new TDemoControl(Desc.get());
  C->SetName(L"C");
  TMemoryStream M;
  M.WriteDescendent(Desc.get(), Ancestor.get());
  std::string T = BinaryToText(Bytes(M));
  EXPECT_EQ(T,
            "inherited Base: TDemoForm\r\n"
            "  inherited B: TDemoControl [0]\r\n    Caption = 'changed'\r\n  end\r\n"
            "  inherited A: TDemoControl [1]\r\n  end\r\n"
            "  object C: TDemoControl\r\n    Left = 0\r\n    Font.Name = 'Tahoma'\r\n    Columns = <>\r\n  end\r\n"
            "end\r\n");
  // Read over a fresh instance of the ancestor: the inherited ones are found, C is made.
  std::unique_ptr<TDemoForm> Fresh(Make());
  M.SetPosition(0);
  M.ReadComponent(Fresh.get());
  EXPECT_EQ(static_cast<TDemoControl*>(Fresh->FindComponent(L"B"))->GetCaption(), L"changed");
  EXPECT_EQ(Fresh->GetComponents(0)->GetName(), L"B");
  EXPECT_NE(Fresh->FindComponent(L"C"), nullptr);
  EXPECT_EQ(Fresh->GetComponentCount(), 3);
}

TEST(Streaming, InlineFlagSurvivesTheTextForm) {
  std::string T =
      "object F: TDemoForm\r\n  inline Frame1: TDemoPanel\r\n    Left = 0\r\n    Font.Name = 'Tahoma'\r\n"
      "    Columns = <>\r\n  end\r\nend\r\n";
  RegisterDemoClasses();
  std::unique_ptr<TComponent> F(StreamingReadText(T, nullptr));
  EXPECT_TRUE(F->FindComponent(L"Frame1")->GetComponentState().Contains(csInline));
  EXPECT_EQ(BinaryToText(StreamingTextToBinary(T)), T);
  EXPECT_EQ(BinaryToText(ToBinary(F.get())), T);
}

// ---- Formats and resources ----

TEST(Streaming, TestStreamFormatTellsTheForms) {
  auto Format = [](const std::string& S) {
    TMemoryStream M;
    M.Write(S.data(), Integer(S.size()));
    M.SetPosition(0);
    auto R = TestStreamFormat(&M);
    EXPECT_EQ(M.GetPosition(), 0);
    return R;
  };
  EXPECT_EQ(Format("TPF0\x00"), sofBinary);
  EXPECT_EQ(Format("\xFF\x0A\x00"), sofBinary);
  EXPECT_EQ(Format("object F: TForm\r\nend"), sofText);
  EXPECT_EQ(Format("  inherited F: TForm\r\nend"), sofText);
  EXPECT_EQ(Format("\xEF\xBB\xBFobject F: TForm\r\nend"), sofUTF8Text);
  EXPECT_EQ(Format("<html>"), sofUnknown);
  EXPECT_EQ(Format(""), sofUnknown);
}

TEST(Streaming, Utf8TextWithRawTurkishLettersReads) {
  RegisterDemoClasses();
  std::string T = "\xEF\xBB\xBFobject F: TDemoForm\r\n  Caption = '" + UTF8Encode(L"Güle güle, Iğdır") + "'\r\nend\r\n";
  std::unique_ptr<TDemoForm> F(static_cast<TDemoForm*>(StreamingReadText(T, nullptr)));
  EXPECT_EQ(F->GetCaption(), L"Güle güle, Iğdır");
}

TEST(Streaming, ComponentResourcesRoundTripThroughResHeaders) {
  std::unique_ptr<TDemoForm> F(MakeForm());
  TMemoryStream M;
  M.WriteComponentRes(L"TDemoForm", F.get());
  EXPECT_EQ(Bytes(M).substr(0, 13), std::string("\xFF\x0A\x00TDEMOFORM\x00\x30\x10", 15).substr(0, 13));
  M.SetPosition(0);
  TMemoryStream Text;
  ObjectResourceToText(&M, &Text);
  EXPECT_EQ(Bytes(Text), BinaryToText(ToBinary(F.get())));
  M.SetPosition(0);
  std::unique_ptr<TComponent> G(M.ReadComponentRes(nullptr));
  EXPECT_EQ(ToBinary(G.get()), ToBinary(F.get()));
}

}  // namespace

namespace {

class TResFormBase : public TDemoForm {
  DECLARE_CLASS(TResFormBase, TDemoForm)
 public:
  using TDemoForm::TDemoForm;
};

class TResForm : public TResFormBase {
  DECLARE_CLASS(TResForm, TResFormBase)
 public:
  using TResFormBase::TResFormBase;
};

TEST(Streaming, InitInheritedComponentReadsEachClassResourceFromTheAncestorDown) {
  RegisterDemoClasses();
  std::unique_ptr<TResForm> F(new TResForm(nullptr));
  EXPECT_TRUE(InitInheritedComponent(F.get(), TDemoForm::StaticClass()));
  EXPECT_EQ(F->GetName(), L"ResForm");
  EXPECT_EQ(F->GetCaption(), L"Kurulum Sihirbazı");
  auto* Title = static_cast<TDemoControl*>(F->FindComponent(L"lblTitle"));
  auto* Next = static_cast<TDemoControl*>(F->FindComponent(L"btnNext"));
  ASSERT_TRUE(Title && Next);
  EXPECT_EQ(Title->GetCaption(), L"Hoş geldiniz");  // the descendant's resource overrides
  EXPECT_EQ(Title->GetLeft(), 8);                   // and keeps what it does not mention
  EXPECT_EQ(Next->GetCaption(), L"İleri >");
  EXPECT_EQ(Next->GetBuddy(), Title);
  DoEvent(Next->GetOnClick(), Next);
  DoEvent(F->GetOnShow(), F.get());
  EXPECT_EQ(F->Clicks, (std::vector<String>{L"btnNext", L"show"}));
  EXPECT_EQ(F->GetComponentCount(), 2);

  // The base class alone reads only its own resource; a class without one reads nothing.
  std::unique_ptr<TResFormBase> B(new TResFormBase(nullptr));
  EXPECT_TRUE(InitInheritedComponent(B.get(), TDemoForm::StaticClass()));
  EXPECT_EQ(B->GetCaption(), L"Temel");
  std::unique_ptr<TDemoForm> D(new TDemoForm(nullptr));
  EXPECT_FALSE(InitInheritedComponent(D.get(), TComponent::StaticClass()));
  EXPECT_THROW(ReadComponentRes(L"TNOSUCHFORM", D.get()), EResNotFound);
}

}  // namespace
