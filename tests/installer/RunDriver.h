#pragma once
// Answers the boxes of a run of the wizard in order: the framework's message dialogs, the
// countdown box, the input box, the server search and the sector form.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "htmllabel/MarkupLabel.h"
#include "installer/InputBoxU.h"
#include "installer/MessageBoxU.h"
#include "installer/Server.h"
#include "installer/Version.h"

namespace insttest {

// Answers the boxes of a run in order from a timer that the run's own message pumps and modal
// loops dispatch. Each step answers true once it has dealt with its box; every box seen is
// noted as "caption: text". A step that waits a minute in vain fails the test and closes what is
// open, so that the run ends.
class TRunDriver {
 public:
  using TStep = std::function<bool(TRunDriver&)>;
  explicit TRunDriver(std::vector<TStep> Steps) : FSteps(std::move(Steps)), FTimer(new TTimer(nullptr)) {
    FTimer->SetInterval(20);
    FTimer->SetOnTimer([this](TObject*) { Tick(); });
    FStepStart = GetTickCount();
  }
  ~TRunDriver() { delete FTimer; }
  TRunDriver(const TRunDriver&) = delete;
  TRunDriver& operator=(const TRunDriver&) = delete;

  bool Finished() const { return FNext == FSteps.size(); }
  std::vector<String> Seen;

 private:
  void Tick() {
    if (Finished() || FBusy) return;
    if (GetTickCount() - FStepStart > 60000) {
      ADD_FAILURE() << "box " << FNext << " of the run did not come";
      FStepStart = GetTickCount();
      if (TCustomForm* F = Screen->GetActiveForm()) F->SetModalResult(mrCancel);
      return;
    }
    // A step may pump messages itself (a click that runs on): no tick may enter it twice.
    FBusy = true;
    bool Done = FSteps[FNext](*this);
    FBusy = false;
    if (Done) {
      ++FNext;
      FStepStart = GetTickCount();
    }
  }
  std::vector<TStep> FSteps;
  TTimer* FTimer;
  size_t FNext = 0;
  DWORD FStepStart = 0;
  bool FBusy = false;
};

// The visible modal form of the run of type T, or null.
template <class T>
T* ShownForm() {
  auto* F = dynamic_cast<T*>(Screen->GetActiveForm());
  return F && F->GetVisible() ? F : nullptr;
}

// The framework's message dialog: answered with Result.
inline TRunDriver::TStep AnswerDialog(TModalResult Result) {
  return [Result](TRunDriver& D) {
    TCustomForm* F = Screen->GetActiveForm();
    auto* Label = F && F->GetVisible() ? dynamic_cast<TLabel*>(F->FindComponent(L"Message")) : nullptr;
    if (!Label) return false;
    D.Seen.push_back(F->GetCaption() + L": " + Label->GetCaption());
    F->SetModalResult(Result);
    return true;
  };
}

// The countdown box: Yes once its countdown has run (ticked at once here), or No.
inline TRunDriver::TStep AnswerCountdownBox(bool Yes) {
  return [Yes](TRunDriver& D) {
    auto* Box = ShownForm<TMessageBox>();
    if (!Box) return false;
    String Text = Box->lbMessage->GetHTMLText()->GetText();
    while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r')) Text.pop_back();
    D.Seen.push_back(Box->GetCaption() + L": " + Text);
    if (Yes) {
      for (int I = 0; I < 10; ++I) Box->TimerTimer(Box->Timer);
      Box->cmdEvet->Click();
    } else {
      Box->cmdHayir->Click();
    }
    return true;
  };
}

// The input box: Typed and Tamam, or Vazgeç when Typed is null.
inline TRunDriver::TStep AnswerInputBox(const wchar_t* Typed) {
  return [Typed](TRunDriver& D) {
    auto* Box = ShownForm<TInputBox>();
    if (!Box) return false;
    String Text = Box->lbPrompt->GetHTMLText()->GetText();
    while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r')) Text.pop_back();
    D.Seen.push_back(Box->GetCaption() + L": " + Text);
    if (Typed) {
      Box->txInput->SetText(Typed);
      Box->cmdTamam->Click();
    } else {
      Box->cmdVazgec->Click();
    }
    return true;
  };
}

// The server search, once its scan has ended: the line Address chosen with Seç.
inline TRunDriver::TStep PickServer(const String& Address) {
  return [Address](TRunDriver& D) {
    auto* Picker = ShownForm<TfrmSunucu>();
    if (!Picker || !Picker->cmdSec->GetEnabled()) return false;
    std::vector<String> Found;
    for (Integer I = 0; I < Picker->lbIp->GetCount(); ++I) Found.push_back(Picker->lbIp->GetItems()->GetStrings(I));
    D.Seen.push_back(L"Sunucular: " + [&] {
      String All;
      for (const String& A : Found) All += (All.empty() ? L"" : L" ") + A;
      return All;
    }());
    Picker->lbIp->SetItemIndex(Picker->lbIp->GetItems()->IndexOf(Address));
    Picker->cmdSec->Click();
    return true;
  };
}

// The sector form: Sector (0 Restoran, 1 Market) chosen with Seç.
inline TRunDriver::TStep ChooseSector(Integer Sector) {
  return [Sector](TRunDriver& D) {
    auto* Form = ShownForm<TfrmVersion>();
    if (!Form) return false;
    D.Seen.push_back(L"Sektör: " + Form->rgSector->GetItems()->GetStrings(Sector));
    Form->rgSector->SetItemIndex(Sector);
    Form->cmdolustur->Click();
    return true;
  };
}

}  // namespace insttest
