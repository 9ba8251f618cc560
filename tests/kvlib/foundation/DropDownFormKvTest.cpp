// Drop-down forms and their call parameters under Wine: a form found by instance, by registered
// class name or as a class's shared instance, values passed in and assigned back, the WM_USER
// click guard, placement in the work area, the size kept between calls, deactivation, and a form
// whose edit is freed while it is open.

#include "kvlib/foundation/DropDownFormKv.h"

#include <gtest/gtest.h>

#include "framework/StdCtrls.h"
#include "kvlib/foundation/ButtonsKv.h"
#include "kvlib/foundation/ButtonsKvTestUtil.h"
#include "kvlib/foundation/toolctrls/DropDownParts.h"
#include "tests/framework/db/ArrayDataSet.h"

using namespace ctltest;

// A drop-down form that shows the first value it gets and answers Answer; WM_APP + 1 accepts.
class TTestPickFormKv : public TCustomDropDownFormKv {
  DECLARE_CLASS(TTestPickFormKv, TCustomDropDownFormKv)
  BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_APP + 1, TMessage, WMAccept)
  END_MESSAGE_MAP

 public:
  using TCustomDropDownFormKv::TCustomDropDownFormKv;
  Variant Seen;
  Variant Answer = String(L"yeni");
  std::vector<String> Log;
  void Accept() {
    SetModalResult(mrOk);
    Close();
  }

 protected:
  void InitForm(TWinControl* Host, TDynVarsKv* DynParams) override {
    inherited::InitForm(Host, DynParams);
    Seen = DynParams && DynParams->GetCount() ? DynParams->GetItem(0)->GetValue() : Unassigned;
    Log.push_back(L"init");
  }
  void ReturnParams(TWinControl* Host, TDynVarsKv* DynParams) override {
    inherited::ReturnParams(Host, DynParams);
    if (DynParams && DynParams->GetCount()) DynParams->GetItem(0)->SetValue(Answer);
    Log.push_back(L"return");
  }
  void WMAccept(TMessage&) { Accept(); }
};

// The same form, of which the class keeps one shared instance.
class TTestSharedFormKv : public TTestPickFormKv {
  DECLARE_CLASS(TTestSharedFormKv, TTestPickFormKv)
 public:
  using TTestPickFormKv::TTestPickFormKv;
  void AfterConstruction() override {
    inherited::AfterConstruction();
    SetAsGlobalRef();
  }
};

namespace {

// An edit with its own drop-down button, which notes the click guard messages it receives.
class TDropTestEdit : public TEdit {
  DECLARE_CLASS(TDropTestEdit, TEdit)
 public:
  explicit TDropTestEdit(TComponent* AOwner)
      : TEdit(AOwner), Button(std::make_unique<TVisibleEditButtonKv>(static_cast<TWinControl*>(this))) {}
  std::unique_ptr<TVisibleEditButtonKv> Button;
  std::vector<std::pair<WPARAM, LPARAM>> Guards;
  TDropDownFormCallParamsKv* Params() { return Button->GetDropDownFormParams(); }
  bool Drop() {
    TDropDownFormCallParamsKv* P = Params();
    P->SetEditControl(this);
    P->SetEditButton(Button.get());
    P->SetOnGetVarValueProc([this](Variant& V) { V = GetText(); });
    P->SetOnSetVarValueProc([this](const Variant& V) { SetText(VarToStr(V)); });
    bool Handled = false;
    P->CheckShowDropDownForm(Handled);
    return Handled;
  }

 protected:
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_USER) Guards.push_back({Message.WParam, Message.LParam});
    inherited::WndProc(Message);
  }
};

// A form with the edit at (20, 20).
struct TEditForm {
  TFormHolder F{300, 120};
  TDropTestEdit* Edit;
  TEditForm() {
    Edit = new TDropTestEdit(F.Form);
    Edit->SetParent(F.Form);
    Edit->SetBounds(20, 20, 120, 21);
    F->Show();
    Edit->SetFocus();
    Pump();
  }
};

TTestPickFormKv* NewPickForm(TComponent* Owner = nullptr) {
  auto* F = TComponent::Create<TTestPickFormKv>(Owner, 0);
  F->SetBounds(0, 0, 180, 120);
  return F;
}

TRect WorkArea() { return Screen->MonitorFromRect(TRect(0, 0, 10, 10))->GetWorkareaRect(); }

struct RegisterTestForms {
  RegisterTestForms() { RegisterClasses({TTestPickFormKv::StaticClass(), TTestSharedFormKv::StaticClass()}); }
} TestFormsRegistered;

TEST(DropDownFormCall, AnInstancePassesTheValueAndAssignsItBackOnOk) {
  TEditForm T;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  T.Edit->SetText(L"42");
  T.Edit->Params()->SetDropDownForm(Form.get());
  std::vector<String> Closes;
  T.Edit->Params()->SetOnCloseDropDownFormProc(
      [&](TWinControl* E, TEditButtonKv* B, bool Accept, TCustomForm* F, TDynVarsKv*) {
        EXPECT_EQ(E, T.Edit);
        EXPECT_EQ(B, nullptr);
        EXPECT_EQ(F, Form.get());
        Closes.push_back(Accept ? L"ok" : L"cancel");
      });
  ASSERT_TRUE(T.Edit->Drop());
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->HasCallback());
  EXPECT_EQ(Form->Seen.AsString(), L"42");
  ASSERT_EQ(Form->GetDynParams()->GetCount(), 1);
  EXPECT_EQ(Form->GetDynParams()->GetItem(0)->GetName(), L"") << "no field: the variable has no name";
  auto* Sys = dynamic_cast<TEditControlDropDownFormSysParams*>(Form->GetSysParams());
  ASSERT_NE(Sys, nullptr);
  EXPECT_EQ(Sys->GetEditControl(), T.Edit);
  EXPECT_EQ(Sys->GetEditButton(), T.Edit->Button.get());
  EXPECT_FALSE(Sys->GetFreeFormOnClose());
  EXPECT_EQ(T.Edit->Params()->GetOpenForm(), Form.get());

  Form->Answer = String(L"43");
  Form->Accept();
  EXPECT_EQ(T.Edit->GetText(), L"43");
  EXPECT_FALSE(Form->GetVisible());
  EXPECT_FALSE(Form->HasCallback());
  EXPECT_EQ(Form->GetDynParams(), nullptr);
  EXPECT_EQ(Closes, (std::vector<String>{L"ok"}));
  EXPECT_EQ(Form->Log, (std::vector<String>{L"init", L"return"})) << "ReturnParams before the callback";
  EXPECT_EQ(T.Edit->Params()->GetOpenForm(), nullptr);
  Pump();
  ASSERT_EQ(T.Edit->Guards.size(), 1u);
  EXPECT_EQ(HWND(T.Edit->Guards[0].first), T.Edit->GetHandle());
  EXPECT_EQ(T.Edit->Guards[0].second, LPARAM(static_cast<TObject*>(T.Edit->Button.get())));
}

TEST(DropDownFormCall, CancellingLeavesTheValueAndStillReportsTheClose) {
  TEditForm T;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  T.Edit->SetText(L"42");
  T.Edit->Params()->SetDropDownForm(Form.get());
  std::vector<bool> Accepts;
  T.Edit->Params()->SetOnCloseDropDownFormProc(
      [&](TWinControl*, TEditButtonKv*, bool Accept, TCustomForm*, TDynVarsKv*) { Accepts.push_back(Accept); });
  ASSERT_TRUE(T.Edit->Drop());
  Form->Close();
  EXPECT_EQ(T.Edit->GetText(), L"42");
  EXPECT_EQ(Accepts, (std::vector<bool>{false}));
  EXPECT_EQ(Form->Log, (std::vector<String>{L"init"}));
  Pump();
  EXPECT_EQ(T.Edit->Guards.size(), 1u);
}

TEST(DropDownFormCall, AClassNameMakesAFormPerCallOwnedByTheEditAndFreedOnClose) {
  TEditForm T;
  T.Edit->Params()->SetDropDownFormClassName(L"TTestPickFormKv");
  ASSERT_TRUE(T.Edit->Drop());
  TComponentRef<TCustomForm> Form(T.Edit->Params()->GetOpenForm());
  ASSERT_TRUE(Form);
  EXPECT_EQ(Form->GetOwner(), T.Edit);
  EXPECT_EQ(Form->GetWidth(), 180) << "read from its form resource";
  auto* Pick = static_cast<TTestPickFormKv*>(Form.Get());
  EXPECT_TRUE(Pick->GetSysParams()->GetFreeFormOnClose());
  Pick->Accept();
  EXPECT_TRUE(PumpUntil([&] { return !Form; }));

  // Another call makes another form.
  ASSERT_TRUE(T.Edit->Drop());
  TComponentRef<TCustomForm> Second(T.Edit->Params()->GetOpenForm());
  ASSERT_TRUE(Second);
  Second->Close();
  EXPECT_TRUE(PumpUntil([&] { return !Second; }));
}

TEST(DropDownFormCall, AClassThatKeepsASharedInstanceIsReusedAndNotFreed) {
  TEditForm T;
  T.Edit->Params()->SetDropDownFormClassName(L"TTestSharedFormKv");
  ASSERT_TRUE(T.Edit->Drop());
  TCustomDropDownFormKv* Shared = TCustomDropDownFormKv::GetGlobalRef(TTestSharedFormKv::StaticClass());
  ASSERT_NE(Shared, nullptr);
  EXPECT_EQ(T.Edit->Params()->GetOpenForm(), Shared);
  EXPECT_FALSE(Shared->GetSysParams()->GetFreeFormOnClose());
  TComponentRef<TCustomForm> Ref(Shared);
  Shared->Close();
  Pump();
  ASSERT_TRUE(Ref);
  ASSERT_TRUE(T.Edit->Drop());
  EXPECT_EQ(T.Edit->Params()->GetOpenForm(), Shared);
  Shared->Close();
  delete Shared;
  EXPECT_EQ(TCustomDropDownFormKv::GetGlobalRef(TTestSharedFormKv::StaticClass()), nullptr);
}

TEST(DropDownFormCall, AnUnregisteredClassNameRaisesBeforeAnythingIsMade) {
  TEditForm T;
  T.Edit->Params()->SetDropDownFormClassName(L"TNoSuchFormKv");
  Integer Components = T.Edit->GetComponentCount();
  try {
    T.Edit->Drop();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), L"Class 'TNoSuchFormKv' is not registered");
  }
  EXPECT_EQ(T.Edit->GetComponentCount(), Components);
  EXPECT_EQ(T.Edit->Params()->GetOpenForm(), nullptr);
}

TEST(DropDownFormCall, NoFormOrAFormWithoutTheInterfaceOpensNothing) {
  TEditForm T;
  EXPECT_FALSE(T.Edit->Drop());
  std::unique_ptr<TForm> Plain(TComponent::Create<TForm>(nullptr, 0));
  T.Edit->Params()->SetDropDownForm(Plain.get());
  EXPECT_FALSE(T.Edit->Drop());
  EXPECT_FALSE(Plain->GetVisible());
}

TEST(DropDownFormCall, TheOpenProcedureMayPutAnotherFormIn) {
  TEditForm T;
  std::unique_ptr<TTestPickFormKv> Other(NewPickForm());
  T.Edit->Params()->SetDropDownFormClassName(L"TTestPickFormKv");
  T.Edit->Params()->SetOnOpenDropDownFormProc(
      [&](TWinControl*, TEditButtonKv*, TCustomForm*& F, TDynVarsKv*) { F = Other.get(); });
  Integer Components = T.Edit->GetComponentCount();
  ASSERT_TRUE(T.Edit->Drop());
  EXPECT_EQ(T.Edit->Params()->GetOpenForm(), Other.get());
  EXPECT_EQ(T.Edit->GetComponentCount(), Components) << "the form made for the call is not kept";
  EXPECT_FALSE(Other->GetSysParams()->GetFreeFormOnClose());
  Other->Close();
}

TEST(DropDownFormCall, TheSizeTheUserLeftIsTheSizeOfTheNextCall) {
  TEditForm T;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  T.Edit->Params()->SetDropDownForm(Form.get());
  ASSERT_TRUE(T.Edit->Drop());
  EXPECT_EQ(Form->GetWidth(), 180) << "FormWidth -1 leaves the designed width";
  Form->SetBounds(Form->GetLeft(), Form->GetTop(), 300, 200);
  Form->Close();
  EXPECT_EQ(T.Edit->Params()->GetFormWidth(), 300);
  EXPECT_EQ(T.Edit->Params()->GetFormHeight(), 200);
  EXPECT_EQ(Form->GetWidth(), 180);
  EXPECT_EQ(Form->GetHeight(), 120);
  ASSERT_TRUE(T.Edit->Drop());
  EXPECT_EQ(Form->GetWidth(), 300);
  EXPECT_EQ(Form->GetHeight(), 200);
  Form->Close();
}

TEST(DropDownFormCall, ReadOnlyDataMakesTheFormReadOnlyAndTheButtonIsHeldDown) {
  TEditForm T;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  auto* Control = T.Edit->Button->CreateEditButtonControl();
  T.Edit->Params()->SetDropDownForm(Form.get());
  T.Edit->Params()->SetEditButtonControl(Control);
  T.Edit->Params()->SetOnCheckDataIsReadOnly([](bool& RO) { RO = true; });
  ASSERT_TRUE(T.Edit->Drop());
  EXPECT_TRUE(Form->GetReadOnly());
  EXPECT_TRUE(Control->GetAlwaysDown());
  Form->Close();
}

TEST(DropDownFormCall, AFormWhoseEditIsFreedFirstClosesWithoutCallingBack) {
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  Integer Closes = 0;
  {
    TEditForm T;
    T.Edit->Params()->SetDropDownForm(Form.get());
    T.Edit->Params()->SetOnCloseDropDownFormProc(
        [&](TWinControl*, TEditButtonKv*, bool, TCustomForm*, TDynVarsKv*) { ++Closes; });
    ASSERT_TRUE(T.Edit->Drop());
    ASSERT_TRUE(Form->GetVisible());
    EXPECT_EQ(Form->GetMasterFocusControl(), T.Edit);
    delete T.Edit;
    EXPECT_FALSE(Form->GetVisible());
    EXPECT_FALSE(Form->HasCallback());
    EXPECT_EQ(Form->GetDynParams(), nullptr);
    EXPECT_EQ(Form->GetMasterFocusControl(), nullptr);
  }
  // Closing or freeing it later touches nothing of the edit.
  Form->Show();
  Form->Close();
  Pump();
  EXPECT_EQ(Closes, 0);
}

TEST(DropDownFormCall, AnEditFreedAfterAnotherTookItsFormLeavesTheOtherCallAlone) {
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  TEditForm First, Second;
  First.Edit->Params()->SetDropDownForm(Form.get());
  Second.Edit->Params()->SetDropDownForm(Form.get());
  // Opening the form for the second call ends the first one, with the first call's own values.
  std::vector<TDynVarsKv*> FirstCloses;
  First.Edit->Params()->SetOnCloseDropDownFormProc(
      [&](TWinControl*, TEditButtonKv*, bool Accept, TCustomForm*, TDynVarsKv* Dyn) {
        EXPECT_FALSE(Accept);
        FirstCloses.push_back(Dyn);
      });
  ASSERT_TRUE(First.Edit->Drop());
  TDynVarsKv* FirstValues = Form->GetDynParams();
  ASSERT_TRUE(Second.Edit->Drop());
  EXPECT_NE(Form->GetDynParams(), nullptr);
  EXPECT_NE(Form->GetDynParams(), FirstValues);
  EXPECT_EQ(FirstCloses, (std::vector<TDynVarsKv*>{FirstValues}));
  delete First.Edit;
  EXPECT_TRUE(Form->GetVisible());
  EXPECT_TRUE(Form->HasCallback());
  Second.Edit->SetText(L"");
  Form->Accept();
  EXPECT_EQ(Second.Edit->GetText(), L"yeni");
}

TEST(DropDownFormCall, ChoosingTheFormReportsAChange) {
  TDropDownFormCallParamsKv P;
  Integer Changes = 0;
  P.SetOnChanged([&](TObject*) { ++Changes; });
  P.SetDropDownFormClassName(L"TTestPickFormKv");
  P.SetDropDownFormClassName(L"TTestPickFormKv");
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  P.SetDropDownForm(Form.get());
  EXPECT_EQ(Changes, 2);
  TDropDownFormCallParamsKv Copy;
  Copy.Assign(&P);
  EXPECT_EQ(Copy.GetDropDownForm(), Form.get());
  Form.reset();
  EXPECT_EQ(P.GetDropDownForm(), nullptr) << "a freed form is forgotten";
}

TEST(DropDownFormCall, APerCallFormGoesWithTheEditThatOwnsIt) {
  TEditForm T;
  T.Edit->Params()->SetDropDownFormClassName(L"TTestPickFormKv");
  ASSERT_TRUE(T.Edit->Drop());
  TComponentRef<TCustomForm> Form(T.Edit->Params()->GetOpenForm());
  ASSERT_TRUE(Form);
  delete T.Edit;
  EXPECT_FALSE(Form);
  Pump();
}

TEST(DropDownFormCall, PressingAgainEndsTheCallStillOpen) {
  TEditForm T;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  T.Edit->Params()->SetDropDownForm(Form.get());
  std::vector<bool> Accepts;
  T.Edit->Params()->SetOnCloseDropDownFormProc(
      [&](TWinControl*, TEditButtonKv*, bool Accept, TCustomForm*, TDynVarsKv*) { Accepts.push_back(Accept); });
  ASSERT_TRUE(T.Edit->Drop());
  ASSERT_TRUE(T.Edit->Drop());
  EXPECT_EQ(Accepts, (std::vector<bool>{false}));
  EXPECT_TRUE(Form->GetVisible());
  Form->Close();
  EXPECT_EQ(Accepts, (std::vector<bool>{false, false}));
}

// ---- Values of a dataset ----------------------------------------------------------------------

struct TPriceData {
  TArrayDataSet DS{nullptr};
  TDataSource Source{nullptr};
  TDataLink Link;
  TPriceData() {
    DS.GetFieldDefs()->Add(L"ID", ftInteger);
    DS.GetFieldDefs()->Add(L"PRICE", ftInteger);
    DS.GetFieldDefs()->Add(L"NAME", ftWideString, 20);
    DS.Open();
    DS.AppendRecord({1, 10, String(L"Çay")});
    Source.SetDataSet(&DS);
    Link.SetDataSource(&Source);
  }
  ~TPriceData() { Link.SetDataSource(nullptr); }
};

TEST(DropDownFormCall, WhatTravelsFollowsPassParams) {
  TEditForm T;
  TPriceData D;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  TDropDownFormCallParamsKv* P = T.Edit->Params();
  P->SetDropDownForm(Form.get());
  P->SetDataLink(&D.Link);
  P->SetField(D.DS.FieldByName(L"PRICE"));
  struct {
    TDropDownPassParamsKv Pass;
    String Names;
    std::vector<String> Expected;  // name=value of each variable
  } Cases[] = {
      {pspFieldValueKv, L"", {L"PRICE=42"}},  // the edit's own value under the field's name
      {pspByFieldNamesKv, L"NAME; ID", {L"NAME=Çay", L"ID=1"}},
      {pspByFieldNamesKv, L"", {}},
      {pspRecordValuesKv, L"", {L"ID=1", L"PRICE=10", L"NAME=Çay"}},
      {pspCustomValuesKv, L"NAME", {}},
  };
  T.Edit->SetText(L"42");
  for (auto& C : Cases) {
    P->SetPassParams(C.Pass);
    P->SetPassFieldNames(C.Names);
    std::vector<String> Got;
    P->SetOnOpenDropDownFormProc([&](TWinControl*, TEditButtonKv*, TCustomForm*&, TDynVarsKv* Dyn) {
      for (Integer I = 0; I < Dyn->GetCount(); ++I)
        Got.push_back(Dyn->GetItem(I)->GetName() + L"=" + VarToStr(Dyn->GetItem(I)->GetValue()));
    });
    ASSERT_TRUE(T.Edit->Drop());
    EXPECT_EQ(Got, C.Expected) << int(C.Pass) << " " << C.Names;
    Form->Close();
  }
}

TEST(DropDownFormCall, AssignBackWritesTheNamedFieldsAndPostsTheEditItBegan) {
  TEditForm T;
  TPriceData D;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  TDropDownFormCallParamsKv* P = T.Edit->Params();
  P->SetDropDownForm(Form.get());
  P->SetDataLink(&D.Link);
  P->SetPassParams(pspRecordValuesKv);
  P->SetAssignBackFieldNames(L"PRICE");
  P->SetOnOpenDropDownFormProc([](TWinControl*, TEditButtonKv*, TCustomForm*&, TDynVarsKv* Dyn) {
    Dyn->FindDynVar(L"PRICE")->SetValue(99);
  });
  ASSERT_TRUE(T.Edit->Drop());
  Form->Answer = String(L"Kahve");  // goes to ID, the first variable, which is not assigned back
  Form->Accept();
  EXPECT_EQ(D.DS.GetState(), dsBrowse);
  EXPECT_EQ(D.DS.FieldByName(L"PRICE")->GetAsInteger(), 99);
  EXPECT_EQ(D.DS.FieldByName(L"NAME")->GetAsString(), L"Çay");
}

TEST(DropDownFormCall, AFailedWriteBackCancelsTheEditItBegan) {
  TEditForm T;
  TPriceData D;
  ctltest::TExceptionLog Errors;
  std::unique_ptr<TTestPickFormKv> Form(NewPickForm());
  TDropDownFormCallParamsKv* P = T.Edit->Params();
  P->SetDropDownForm(Form.get());
  P->SetDataLink(&D.Link);
  P->SetPassParams(pspRecordValuesKv);
  P->SetAssignBackFieldNames(L"PRICE;NOPE");
  P->SetOnOpenDropDownFormProc([](TWinControl*, TEditButtonKv*, TCustomForm*&, TDynVarsKv* Dyn) {
    Dyn->FindDynVar(L"PRICE")->SetValue(99);
  });
  ASSERT_TRUE(T.Edit->Drop());
  Form->Accept();
  ASSERT_EQ(Errors.Messages.size(), 1u);
  EXPECT_NE(Errors.Messages[0].find(L"NOPE"), String::npos) << Errors.Messages[0];
  EXPECT_EQ(D.DS.GetState(), dsBrowse);
  EXPECT_EQ(D.DS.FieldByName(L"PRICE")->GetAsInteger(), 10) << "nothing half written";
  EXPECT_EQ(P->GetOpenForm(), nullptr) << "the call is over all the same";
}

TEST(DropDownFormCall, AnUnknownPassedFieldRaisesAndFreesTheFormMadeForTheCall) {
  TEditForm T;
  TPriceData D;
  TDropDownFormCallParamsKv* P = T.Edit->Params();
  P->SetDropDownFormClassName(L"TTestPickFormKv");
  P->SetDataLink(&D.Link);
  P->SetPassParams(pspByFieldNamesKv);
  P->SetPassFieldNames(L"PRICE;NOPE");
  Integer Components = T.Edit->GetComponentCount();
  EXPECT_ANY_THROW(T.Edit->Drop());
  EXPECT_EQ(T.Edit->GetComponentCount(), Components);
}

// ---- The form itself --------------------------------------------------------------------------

struct TOpenedForm {
  std::unique_ptr<TTestPickFormKv> Form{NewPickForm()};
  TDynVarsKv Dyn{nullptr};
  TDropDownFormSysParams Sys;
  std::vector<bool> Accepts;
  void Open(const TRect& R, TDropDownAlign Align = daLeft) {
    Form->ExecuteNomodal(R, nullptr,
                         [this](TCustomForm*, bool Accept, TDynVarsKv*, TDropDownFormSysParams*) {
                           Accepts.push_back(Accept);
                         },
                         &Sys, &Dyn, Align);
  }
};

TEST(DropDownForm, OpensUnderTheControlOrAboveItWhenThereIsMoreRoomThere) {
  TRect W = WorkArea();
  TOpenedForm T;
  // Near the top: under the control.
  T.Open(TRect(W.Left + 50, W.Top + 10, W.Left + 150, W.Top + 31));
  EXPECT_EQ(T.Form->GetDropLayout(), dlUnderControlKv);
  EXPECT_EQ(T.Form->GetBoundsRect(), Bounds(W.Left + 50, W.Top + 32, 180, 120));
  EXPECT_EQ(T.Form->GetSizeGrip()->GetPosition(), sgpBottomRight);
  EXPECT_EQ(T.Form->GetSizeGrip2()->GetPosition(), sgpBottomLeft);
  T.Form->Close();
  // At the bottom of the screen: above it, grips at the top corners, close button top-right.
  T.Open(TRect(W.Left + 50, W.Bottom - 30, W.Left + 150, W.Bottom - 9));
  EXPECT_EQ(T.Form->GetDropLayout(), dlAboveControlKv);
  EXPECT_EQ(T.Form->GetBoundsRect(), Bounds(W.Left + 50, W.Bottom - 30 - 120, 180, 120));
  EXPECT_EQ(T.Form->GetSizeGrip()->GetPosition(), sgpTopRight);
  EXPECT_EQ(T.Form->GetSizeGrip2()->GetPosition(), sgpTopLeft);
  TDDFCloseButtonKv* Close = T.Form->GetCloseButton();
  EXPECT_TRUE(Close->GetVisible());
  EXPECT_EQ(Close->GetLeft(), T.Form->GetClientWidth() - Close->GetWidth() - 18);
  EXPECT_EQ(Close->GetTop(), T.Form->GetBorderWidth());
  EXPECT_EQ(T.Form->GetSizingBar()->GetAlign(), alTop);
  T.Form->Close();
  EXPECT_EQ(T.Accepts, (std::vector<bool>{false, false}));
}

TEST(DropDownForm, IsCutToTheWorkAreaAndAligned) {
  TRect W = WorkArea();
  TOpenedForm T;
  struct {
    TRect Control;
    TDropDownAlign Align;
    Integer Width, Height;
    TRect Expected;
  } Cases[] = {
      {TRect(W.Left + 100, W.Top + 10, W.Left + 200, W.Top + 30), daLeft, 180, 120,
       Bounds(W.Left + 100, W.Top + 31, 180, 120)},
      {TRect(W.Left + 300, W.Top + 10, W.Left + 400, W.Top + 30), daRight, 180, 120,
       Bounds(W.Left + 400 - 180, W.Top + 31, 180, 120)},
      {TRect(W.Left + 300, W.Top + 10, W.Left + 401, W.Top + 30), daCenter, 180, 120,
       Bounds(W.Left + 300 - (180 - 101) / 2, W.Top + 31, 180, 120)},
      // Past the right edge: moved back inside; wider than the work area: narrowed to it.
      {TRect(W.Right - 20, W.Top + 10, W.Right, W.Top + 30), daLeft, 180, 120,
       Bounds(W.Right - 180, W.Top + 31, 180, 120)},
      {TRect(W.Left + 100, W.Top + 10, W.Left + 200, W.Top + 30), daLeft, W.Width() + 50, 120,
       Bounds(W.Left, W.Top + 31, W.Width(), 120)},
      // Taller than the room below, and more room below than above: under it, cut at the bottom.
      {TRect(W.Left + 10, W.Top + 100, W.Left + 50, W.Top + 120), daLeft, 180, W.Height(),
       TRect(W.Left + 10, W.Top + 121, W.Left + 190, W.Bottom)},
  };
  for (auto& C : Cases) {
    T.Form->SetBounds(0, 0, C.Width, C.Height);
    T.Open(C.Control, C.Align);
    EXPECT_EQ(T.Form->GetBoundsRect(), C.Expected) << C.Control.Left << " " << int(C.Align);
    T.Form->Close();
  }
}

TEST(DropDownForm, ClosingWithOkReturnsTheParamsBeforeTheCallback) {
  TOpenedForm T;
  T.Dyn.CreateDynVar(L"V", 1);
  T.Open(TRect(100, 100, 200, 120));
  EXPECT_EQ(T.Form->Seen.AsInteger(), 1);
  PostMessageW(T.Form->GetHandle(), WM_APP + 1, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !T.Accepts.empty(); }));
  EXPECT_EQ(T.Accepts, (std::vector<bool>{true}));
  EXPECT_EQ(T.Dyn.FindDynVar(L"V")->GetAsString(), L"yeni");
  EXPECT_FALSE(T.Form->GetVisible());
}

TEST(DropDownForm, ASecondCloseDuringACloseDoesNothing) {
  TOpenedForm T;
  Integer Closes = 0;
  T.Form->SetOnClose([&](TObject*, TCloseAction&) {
    ++Closes;
    T.Form->Close();
  });
  T.Open(TRect(100, 100, 200, 120));
  T.Form->Close();
  EXPECT_EQ(Closes, 1);
  EXPECT_EQ(T.Accepts.size(), 1u);
}

TEST(DropDownForm, LosingTheActivationClosesItUnlessItIsKeptVisible) {
  TEditForm E;
  TOpenedForm T;
  T.Open(TRect(100, 100, 200, 120));
  ASSERT_TRUE(PumpUntil([&] { return T.Form->GetActive(); })) << "a drop-down takes the activation";
  T.Form->SetKeepFormVisible(true);
  SetActiveWindow(E.F->GetHandle());
  Pump();
  EXPECT_TRUE(T.Form->GetVisible());
  EXPECT_TRUE(T.Accepts.empty());
  T.Form->SetKeepFormVisible(false);
  SetActiveWindow(T.Form->GetHandle());
  ASSERT_TRUE(PumpUntil([&] { return T.Form->GetActive(); }));
  SetActiveWindow(E.F->GetHandle());
  EXPECT_TRUE(PumpUntil([&] { return !T.Form->GetVisible(); }));
  EXPECT_EQ(T.Accepts, (std::vector<bool>{false}));
  EXPECT_EQ(GetFocus(), E.Edit->GetHandle()) << "closed by deactivation: the focus is where it went";
}

TEST(DropDownForm, CloseGivesTheFocusBackToTheControlThatHadIt) {
  TEditForm E;
  TOpenedForm T;
  T.Open(TRect(100, 100, 200, 120));
  EXPECT_EQ(T.Form->GetMasterFocusControl(), E.Edit);
  EXPECT_EQ(T.Form->GetMasterForm(), E.F.Form);
  T.Form->Close();
  Pump();
  EXPECT_EQ(GetFocus(), E.Edit->GetHandle());
}

TEST(DropDownForm, ModalExecuteAnswersWhetherItClosedWithOk) {
  TTestPickFormKv* Form = NewPickForm();
  std::unique_ptr<TTestPickFormKv> Hold(Form);
  TFormHolder Host;
  Host->Show();
  TDynVarsKv Dyn(nullptr);
  Dyn.CreateDynVar(L"V", 5);
  PostMessageW(Form->GetHandle(), WM_APP + 1, 0, 0);
  EXPECT_TRUE(Form->Execute(Host.Form, nullptr, &Dyn, daLeft));
  EXPECT_EQ(Dyn.FindDynVar(L"V")->GetAsString(), L"yeni");
  EXPECT_FALSE(Form->GetVisible());
  PostMessageW(Form->GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(Form->Execute(Host.Form, nullptr, &Dyn, daLeft)) << "closed without OK";
}

TEST(DropDownForm, BorderAndElements) {
  TOpenedForm T;
  TRect Client = T.Form->GetClientRect();
  Integer B = T.Form->GetBorderWidth();
  EXPECT_GE(B, 1);
  EXPECT_EQ(T.Form->GetControlClientRect(), TRect(B, 2 * B, Client.Right - B, Client.Bottom - B));
  T.Form->SetFormElements(TDropDownFormElementsKv{ddfeLeftGripKv});
  T.Open(TRect(100, 100, 200, 120));
  EXPECT_FALSE(T.Form->GetCloseButton()->GetVisible());
  EXPECT_FALSE(T.Form->GetSizingBar()->GetVisible());
  EXPECT_TRUE(T.Form->GetSizeGrip2()->GetVisible());
  EXPECT_FALSE(T.Form->GetSizeGrip()->GetVisible());
  T.Form->Close();
  // Under the control with a sizing bar and the left grip: the close button at the bottom left.
  T.Form->SetFormElements(TDropDownFormElementsKv{ddfeLeftGripKv, ddfeCloseButtonKv, ddfeSizingBarKv});
  T.Open(TRect(100, 100, 200, 120));
  TDDFCloseButtonKv* Close = T.Form->GetCloseButton();
  EXPECT_EQ(Close->GetLeft(), 18);
  EXPECT_EQ(Close->GetTop(), T.Form->GetClientHeight() - Close->GetHeight() - B);
  EXPECT_EQ(T.Form->GetSizingBar()->GetAlign(), alBottom);
  // The close button closes the form.
  Close->GetButton()->Click();
  EXPECT_FALSE(T.Form->GetVisible());
  EXPECT_EQ(T.Accepts, (std::vector<bool>{false, false}));
}

TEST(DropDownForm, TheSizingBarResizesTheForm) {
  TOpenedForm T;
  T.Open(TRect(100, 100, 200, 120));
  TDDFSizingBarKv* Bar = T.Form->GetSizingBar();
  ASSERT_EQ(Bar->GetAlign(), alBottom);
  Integer H = T.Form->GetHeight(), Y = Bar->GetHeight() - 2;
  ASSERT_TRUE(Bar->InSizingArea(Y));
  PostMessageW(Bar->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, Y));
  Pump();
  PostMessageW(Bar->GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, Y + 40));
  Pump();
  EXPECT_EQ(T.Form->GetHeight(), H + 40);
  PostMessageW(Bar->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(10, Y));
  Pump();
  T.Form->Close();
}

}  // namespace
