#pragma once
// A data link that writes down every notification it gets, for tests that compare event orders.

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
