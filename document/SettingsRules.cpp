#include "document/SettingsRules.h"

#include <optional>

#include "document/RateText.h"

namespace {

const char* const TaxRange = "Диапазон вводимых значений - 0..3";
const char* const RateRange = "Диапазон вводимых значений - 0..8";
const char* const DiscountNotProgrammed = "Данная скидка не запрограммирована";
const char* const SurchargeNotProgrammed = "Данная надбавка не запрограммирована";
const char* const BadTaxRate = "Неверное значение ставки налога";
const char* const BadDiscount = "Неверное значение скидки";
const char* const BadSurcharge = "Неверное значение надбавки";

void Refuse(TKkmSettings& settings, TRuleView& view, int g, TGroupField field, const char* message) {
  view.Messages().Show(TMessageKind::Plain, message);
  settings.Group(g).Field(field).clear();
  settings.Changed(TSection::Groups, g);
}

void ValidateTax(TKkmSettings& settings, TRuleView& view, int g) {
  const std::string& text = settings.Group(g).Tax;
  if (text.empty()) return;
  if (!GroupFieldNumber(text, MaxGroupTaxNumber)) Refuse(settings, view, g, TGroupField::Tax, TaxRange);
}

void ValidateRateBinding(TKkmSettings& settings, TRuleView& view, int g, TGroupField field) {
  const bool discount = field == TGroupField::Discount;
  std::string& opposite = settings.Group(g).Field(discount ? TGroupField::Surcharge : TGroupField::Discount);
  if (!opposite.empty()) {
    opposite.clear();
    settings.Changed(TSection::Groups, g);
  }
  const std::string& text = settings.Group(g).Field(field);
  if (text.empty()) return;
  const auto n = GroupFieldNumber(text, MaxGroupRateNumber);
  if (!n) return Refuse(settings, view, g, field, RateRange);
  if (*n == 0) return;
  if (discount && !IsDiscountProgrammed(settings, *n)) return Refuse(settings, view, g, field, DiscountNotProgrammed);
  if (!discount && !IsSurchargeProgrammed(settings, *n)) Refuse(settings, view, g, field, SurchargeNotProgrammed);
}

// A rate text with every comma and full stop read as the decimal separator.
std::string WithSeparator(std::string text) {
  for (char& c : text) {
    if (c == ',' || c == '.') c = DecimalSeparator;
  }
  return text;
}

// The canonical form of a rate, or nothing when the rate is refused. Characters
// other than digits and separators are refused by CanonicalRate itself.
std::optional<std::string> Canonical(const std::string& rate, bool acceptPoints) {
  if (rate.empty()) return std::nullopt;
  return CanonicalRate(acceptPoints ? WithSeparator(rate) : rate);
}

struct TRateListOf {
  std::array<std::string, RateCount>& Rates;
  TSection Section;
};

TRateListOf ListOf(TKkmSettings& settings, TRateList list) {
  if (list == TRateList::Discounts) return {settings.Discounts, TSection::Discounts};
  return {settings.Surcharges, TSection::Surcharges};
}

// Rewrites the list up to its first bad rate, which it reports; true when none is bad.
bool RewriteRates(TKkmSettings& settings, TRuleView& view, TRateList list, bool acceptPoints) {
  const TRateListOf rates = ListOf(settings, list);
  int bad = 0;
  bool rewritten = false;
  for (int n = 1; n <= RateCount && bad == 0; ++n) {
    std::string& rate = rates.Rates.at(n - 1);
    const auto canonical = Canonical(rate, acceptPoints);
    if (!canonical) {
      bad = n;
    } else {
      rewritten = rewritten || rate != *canonical;
      rate = *canonical;
    }
  }
  if (rewritten) settings.Changed(rates.Section);
  if (bad == 0) return true;
  view.Messages().Show(TMessageKind::Warning, BadRateWarning(rates.Section));
  view.ShowPage(TSettingsPage::Rates);
  view.MakeRateRowCurrent(list, bad);
  return false;
}

bool RewriteTaxRates(TKkmSettings& settings, TRuleView& view) {
  for (int t = 1; t <= TaxCount; ++t) {
    TTaxSetting& tax = settings.Tax(t);
    if (!tax.Enabled) continue;
    const auto canonical = Canonical(tax.Rate, true);
    if (!canonical) {
      view.Messages().Show(TMessageKind::Warning, BadRateWarning(TSection::Taxes));
      view.ShowPage(TSettingsPage::Taxes);
      view.FocusTaxRate(t);
      return false;
    }
    if (tax.Rate == *canonical) continue;
    tax.Rate = *canonical;
    settings.Changed(TSection::Taxes, t);
  }
  return true;
}

}  // namespace

void ValidateGroupEntry(TKkmSettings& settings, TRuleView& view, int g, TGroupField field, const std::string& text) {
  settings.Group(g).Field(field) = text;
  if (field == TGroupField::Tax) {
    ValidateTax(settings, view, g);
  } else {
    ValidateRateBinding(settings, view, g, field);
  }
}

bool NormaliseRateList(TKkmSettings& settings, TRuleView& view, TRateList list) {
  return RewriteRates(settings, view, list, true);
}

bool Error_Proc(TKkmSettings& settings, TRuleView& view) {
  return RewriteTaxRates(settings, view) && RewriteRates(settings, view, TRateList::Discounts, false) &&
         RewriteRates(settings, view, TRateList::Surcharges, false);
}

void NormaliseKind(TKkmSettings& settings, int t, const std::string& text) {
  if (t == TaxCount) return;  // tax 4's kind is fixed
  const bool known = text == DefaultTaxKind || text == FixedTax4Kind;
  settings.Tax(t).Kind = known ? text : DefaultTaxKind;
  if (!known) settings.Changed(TSection::Taxes, t);
}

int GroupFieldLimit(TGroupField field) { return field == TGroupField::Tax ? MaxGroupTaxNumber : MaxGroupRateNumber; }

const char* GroupFieldRange(TGroupField field) { return field == TGroupField::Tax ? TaxRange : RateRange; }

const char* BadRateWarning(TSection section) {
  if (section == TSection::Taxes) return BadTaxRate;
  return section == TSection::Discounts ? BadDiscount : BadSurcharge;
}
