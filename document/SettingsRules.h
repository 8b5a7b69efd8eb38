#pragma once

#include <string>

#include "document/RuleView.h"
#include "document/TKkmSettings.h"

// The rules that keep the document fit to be written into the register. They tell
// the user themselves and report every field they change through Changed().

// The numbers the pages take in a group field (tax 0 to 3, discount and surcharge 0
// to 8), and the message that tells the user so.
inline constexpr int MaxGroupTaxNumber = 3;
inline constexpr int MaxGroupRateNumber = RateCount;
int GroupFieldLimit(TGroupField field);
const char* GroupFieldRange(TGroupField field);

// The warning for a rate of the section (Taxes, Discounts or Surcharges) that is not a
// rate, as Error_Proc gives it.
const char* BadRateWarning(TSection section);

// Stores text as field of group g (1 to 108) and checks it at once; a discount
// empties the group's surcharge and the reverse, even when it is then refused.
void ValidateGroupEntry(TKkmSettings& settings, TRuleView& view, int g, TGroupField field, const std::string& text);

// Brings the eight rates of the list into canonical form, stopping at the first bad
// one; false when it found one (and has told the user and shown it).
bool NormaliseRateList(TKkmSettings& settings, TRuleView& view, TRateList list);

// Checks the rates of the enabled taxes and all discounts and surcharges before a
// register write, rewriting them in canonical form; true = the write may go ahead.
bool Error_Proc(TKkmSettings& settings, TRuleView& view);

// Stores the kind of tax t (1 to 3): "И" and "Н" stay, anything else becomes "И".
void NormaliseKind(TKkmSettings& settings, int t, const std::string& text);
