#include "register/RegisterForm.h"

#include <algorithm>
#include <limits>
#include <span>

#include "document/RateText.h"
#include "document/SettingsRules.h"

namespace {

constexpr TGroupField GroupFields[] = {TGroupField::Tax, TGroupField::Discount, TGroupField::Surcharge};
// Every number the group page takes has its place in the group byte.
static_assert(MaxGroupTaxNumber <= MaxGroupTax && MaxGroupRateNumber <= MaxGroupNumber);

// A whole number with an optional sign that fits an int, as the group message tells it
// apart from other text; nothing for any other text.
std::optional<long long> SignedIntegerValue(const std::string& text) {
  std::size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > std::numeric_limits<int>::max() + 1ll) return std::nullopt;
  }
  if (text[0] == '-') value = -value;
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return value;
}

TFormFault GroupFault(int g, TGroupField field, const std::string& text) {
  const auto value = SignedIntegerValue(text);
  if (value && (*value < 0 || *value > GroupFieldLimit(field)))
    return {TSection::Groups, g, field, TMessageKind::Plain, GroupFieldRange(field)};
  return {TSection::Groups, g, field, TMessageKind::Error, "'" + text + "' is not a valid integer value"};
}

TFormFault RateFault(TSection section, int n) {
  return {section, n, TGroupField::Tax, TMessageKind::Warning, BadRateWarning(section)};
}

// Builds the form field by field and keeps the first fault.
class TFormBuilder {
 public:
  explicit TFormBuilder(int taxCount) : LayoutTaxes(taxCount) { Form.Image.assign(SettingsImageSize(taxCount), 0); }

  void PutRates(std::size_t offset, const std::array<std::string, RateCount>& rates, TSection section) {
    for (int n = 1; n <= RateCount && !Fault; ++n) PutRate(offset + RateBytes * (n - 1), rates[n - 1], section, n);
  }

  void PutGroups(const TKkmSettings& settings) {
    for (int g = 1; g <= GroupCount && !Fault; ++g) {
      const TGroupBinding& binding = settings.Group(g);
      for (const TGroupField field : GroupFields) {
        if (GroupFieldNumber(binding.Field(field), GroupFieldLimit(field))) continue;
        Fault = GroupFault(g, field, binding.Field(field));
        return;
      }
      Form.Image[ImageGroupOffset + g - 1] = *EncodeGroupByte(binding);
    }
  }

  void PutTaxes(const TKkmSettings& settings) {
    for (int t = 1; t <= LayoutTaxes && !Fault; ++t) {
      const TTaxSetting& tax = settings.Tax(t);
      Form.Image[ImageTaxKindOffset + t - 1] = EncodeTaxKind(t, tax.Enabled, tax.Kind);
      const std::size_t rate = ImageTaxRateOffset(LayoutTaxes) + RateBytes * (t - 1);
      if (!tax.Enabled) {
        std::copy(SwitchedOffRate.begin(), SwitchedOffRate.end(), At(rate));
        continue;
      }
      PutRate(rate, tax.Rate, TSection::Taxes, t);
      Form.Names[t - 1] = EncodeTaxName(tax.Name);
    }
  }

  TRegisterConversion Result() {
    if (Fault) return {std::nullopt, Fault};
    const std::size_t block = SettingsBlockSize(LayoutTaxes);
    Form.Image[block] = SettingsBlockChecksum(std::span(Form.Image).first(block));
    return {std::move(Form), std::nullopt};
  }

 private:
  SettingsImage::iterator At(std::size_t offset) { return Form.Image.begin() + static_cast<std::ptrdiff_t>(offset); }

  void PutRate(std::size_t offset, const std::string& text, TSection section, int n) {
    const std::optional<RegisterRate> rate = EncodeRate(text);
    if (!rate) {
      Fault = RateFault(section, n);
      return;
    }
    std::copy(rate->begin(), rate->end(), At(offset));
  }

  int LayoutTaxes;
  TRegisterForm Form;
  std::optional<TFormFault> Fault;
};

}  // namespace

TRegisterConversion ConvertForRegister(const TKkmSettings& settings, int taxCount) {
  TFormBuilder builder(taxCount);
  builder.PutRates(ImageSurchargeOffset, settings.Surcharges, TSection::Surcharges);
  builder.PutRates(ImageDiscountOffset, settings.Discounts, TSection::Discounts);
  builder.PutGroups(settings);
  builder.PutTaxes(settings);
  return builder.Result();
}
