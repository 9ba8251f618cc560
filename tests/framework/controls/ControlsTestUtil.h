#pragma once
// Helpers for tests that drive real windows under Wine: pumping the queue and capturing the
// exceptions that reach the application.

#include <gtest/gtest.h>

#include <functional>

#include "framework/Forms.h"

namespace ctltest {

// Runs the message loop until Cond holds or TimeoutMs passes; true when Cond held.
inline bool PumpUntil(const std::function<bool()>& Cond, DWORD TimeoutMs = 3000) {
  DWORD End = GetTickCount() + TimeoutMs;
  while (!Cond()) {
    Application->ProcessMessages();
    if (GetTickCount() > End) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

inline void Pump() { Application->ProcessMessages(); }

// Records what reaches Application.HandleException instead of showing the error dialog.
class TExceptionLog {
 public:
  TExceptionLog() {
    Application->SetOnException([this](TObject* Sender, Exception* E) {
      Messages.push_back(E->Message());
      Senders.push_back(Sender);
    });
  }
  ~TExceptionLog() { Application->SetOnException(nullptr); }
  std::vector<String> Messages;
  std::vector<TObject*> Senders;
};

// A form built in code, freed at the end of the test.
struct TFormHolder {
  TForm* Form;
  explicit TFormHolder(Integer W = 400, Integer H = 300) : Form(new TForm(nullptr, 0)) {
    Form->AfterConstruction();
    Form->SetPosition(poDesigned);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(10, 10, W, H);
  }
  ~TFormHolder() {
    delete Form;
    Pump();
  }
  TForm* operator->() const { return Form; }
};

}  // namespace ctltest
