#pragma once
// A data link that writes down every notification it gets, and a hook that writes down every
// dataset event into the same log, for tests that compare event orders.

#include <vector>

#include "framework/DB.h"
#include "framework/SysUtils.h"

using TDataLinkLog = std::vector<String>;

class TRecordingDataLink : public TDataLink {
 public:
  explicit TRecordingDataLink(TDataLinkLog& Log) : FLog(Log) {}

 protected:
  void ActiveChanged() override { FLog.push_back(GetActive() ? L"link:Active" : L"link:Inactive"); }
  void CheckBrowseMode() override { FLog.push_back(L"link:CheckBrowseMode"); }
  void DataSetChanged() override { FLog.push_back(L"link:DataSetChanged"); }
  void DataSetScrolled(Integer Distance) override { FLog.push_back(L"link:Scrolled " + IntToStr(Distance)); }
  void EditingChanged() override { FLog.push_back(GetEditing() ? L"link:Editing" : L"link:NotEditing"); }
  void LayoutChanged() override { FLog.push_back(L"link:LayoutChanged"); }
  void RecordChanged(TField* Field) override {
    FLog.push_back(Field ? L"link:RecordChanged " + Field->GetFieldName() : L"link:RecordChanged");
  }
  void UpdateData() override { FLog.push_back(L"link:UpdateData"); }

 private:
  TDataLinkLog& FLog;
};

inline void HookDataSetEvents(TDataSet* DS, TDataLinkLog& Log) {
  auto Ev = [&Log](const wchar_t* Name) { return TDataSetNotifyEvent([&Log, Name](TDataSet*) { Log.push_back(Name); }); };
  DS->SetBeforeOpen(Ev(L"BeforeOpen"));
  DS->SetAfterOpen(Ev(L"AfterOpen"));
  DS->SetBeforeClose(Ev(L"BeforeClose"));
  DS->SetAfterClose(Ev(L"AfterClose"));
  DS->SetBeforeInsert(Ev(L"BeforeInsert"));
  DS->SetAfterInsert(Ev(L"AfterInsert"));
  DS->SetBeforeEdit(Ev(L"BeforeEdit"));
  DS->SetAfterEdit(Ev(L"AfterEdit"));
  DS->SetBeforePost(Ev(L"BeforePost"));
  DS->SetAfterPost(Ev(L"AfterPost"));
  DS->SetBeforeCancel(Ev(L"BeforeCancel"));
  DS->SetAfterCancel(Ev(L"AfterCancel"));
  DS->SetBeforeDelete(Ev(L"BeforeDelete"));
  DS->SetAfterDelete(Ev(L"AfterDelete"));
  DS->SetBeforeScroll(Ev(L"BeforeScroll"));
  DS->SetAfterScroll(Ev(L"AfterScroll"));
  DS->SetOnNewRecord(Ev(L"OnNewRecord"));
}
