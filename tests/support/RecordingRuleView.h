#pragma once

#include <string>
#include <vector>

#include "document/RuleView.h"
#include "support/RecordingMessages.h"

// The window as the settings rules see it. Every call, message boxes included, is
// recorded as a line of text in the order it happened; boxes also in Shown.
class TRecordingRuleView : public TRuleView {
 public:
  TUserMessages& Messages() override { return Boxes; }
  void ShowPage(TSettingsPage page) override { Calls.push_back("page " + std::to_string(static_cast<int>(page))); }
  void FocusTaxRate(int tax) override { Calls.push_back("focus tax " + std::to_string(tax)); }
  void MakeRateRowCurrent(TRateList list, int n) override {
    Calls.push_back((list == TRateList::Discounts ? "discount row " : "surcharge row ") + std::to_string(n));
  }

  const std::vector<TRecordingMessages::TShown>& Shown() const { return Boxes.Shown; }
  void Clear() {
    Calls.clear();
    Boxes.Shown.clear();
  }

  std::vector<std::string> Calls;

 private:
  TCallLoggingMessages Boxes{Calls};
};
