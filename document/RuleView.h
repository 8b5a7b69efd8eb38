#pragma once

#include "document/UserMessages.h"

// The three settings pages, in the order of their tabs.
enum class TSettingsPage { Groups, Taxes, Rates };

// The two lists of rates, each on its own grid of the rates page.
enum class TRateList { Discounts, Surcharges };

// What the settings rules may do to the window when they refuse an entry; the main
// window implements it, tests record it.
class TRuleView {
 public:
  virtual TUserMessages& Messages() = 0;
  virtual void ShowPage(TSettingsPage page) = 0;
  virtual void FocusTaxRate(int tax) = 0;  // puts the keyboard focus into the rate box
  // Makes row n (1 to 8) of the list's grid current without moving the focus into it.
  virtual void MakeRateRowCurrent(TRateList list, int n) = 0;

 protected:
  ~TRuleView() = default;
};
