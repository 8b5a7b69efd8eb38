#include "document/TKkmSettings.h"

#include "document/RateText.h"

std::string& TGroupBinding::Field(TGroupField field) {
  switch (field) {
    case TGroupField::Tax: return Tax;
    case TGroupField::Discount: return Discount;
    case TGroupField::Surcharge: return Surcharge;
  }
  return Tax;
}

const std::string& TGroupBinding::Field(TGroupField field) const {
  return const_cast<TGroupBinding&>(*this).Field(field);
}

TKkmSettings::TKkmSettings() {
  for (auto& tax : Taxes) {
    tax.Rate = DefaultRate;
    tax.Kind = DefaultTaxKind;
  }
  Taxes[3].Kind = FixedTax4Kind;
  Discounts.fill(DefaultRate);
  Surcharges.fill(DefaultRate);
}

void TKkmSettings::Changed(TSection section, int index) const {
  if (Slot.Observer != nullptr) Slot.Observer->SettingsChanged(section, index);
}

void ClearTaxes(TKkmSettings& settings) {
  for (auto& tax : settings.Taxes) {
    tax.Rate.clear();
    tax.Name.clear();
  }
  settings.Changed(TSection::Taxes);
}

void ResetTaxes(TKkmSettings& settings) {
  for (int t = 1; t <= TaxCount; ++t) {
    TTaxSetting& tax = settings.Tax(t);
    tax.Rate = DefaultRate;
    tax.Name.clear();
    if (t < TaxCount) tax.Kind = DefaultTaxKind;
  }
  settings.Changed(TSection::Taxes);
}

void ClearGroups(TKkmSettings& settings) {
  settings.Groups.fill(TGroupBinding{});
  settings.Changed(TSection::Groups);
}

void ClearRates(TKkmSettings& settings) {
  settings.Discounts.fill(std::string());
  settings.Surcharges.fill(std::string());
  settings.Changed(TSection::Discounts);
  settings.Changed(TSection::Surcharges);
}

void ResetRates(TKkmSettings& settings) {
  settings.Discounts.fill(DefaultRate);
  settings.Surcharges.fill(DefaultRate);
  settings.Changed(TSection::Discounts);
  settings.Changed(TSection::Surcharges);
}

namespace {

bool IsProgrammedRate(const std::string& rate) {
  const auto value = DecimalValue(rate);
  return value && *value > 0;
}

}  // namespace

bool IsDiscountProgrammed(const TKkmSettings& settings, int n) { return IsProgrammedRate(settings.Discount(n)); }

bool IsSurchargeProgrammed(const TKkmSettings& settings, int n) { return IsProgrammedRate(settings.Surcharge(n)); }
