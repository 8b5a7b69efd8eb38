#include "document/RateText.h"

#include <cstdlib>
#include <string>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsDecimalText(std::string_view text) {
  int digits = 0;
  int separators = 0;
  for (char c : text) {
    if (IsDigit(c)) {
      ++digits;
    } else if (c == DecimalSeparator) {
      ++separators;
    } else {
      return false;
    }
  }
  return digits > 0 && separators <= 1;
}

std::optional<double> DecimalValue(std::string_view text) {
  if (!IsDecimalText(text)) return std::nullopt;
  double whole = 0;
  double fraction = 0;
  double scale = 1;
  bool afterSeparator = false;
  for (char c : text) {
    if (c == DecimalSeparator) {
      afterSeparator = true;
    } else if (afterSeparator) {
      scale /= 10;
      fraction += (c - '0') * scale;
    } else {
      whole = whole * 10 + (c - '0');
    }
  }
  return whole + fraction;
}

bool IsWholeNumberText(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// Digits are added one at a time so that no text, however long, can overflow into a
// number that fits.
std::optional<int> GroupFieldNumber(std::string_view text, int max) {
  if (text.empty()) return 0;
  if (!IsWholeNumberText(text)) return std::nullopt;
  int value = 0;
  for (char c : text) {
    value = value * 10 + (c - '0');
    if (value > max) return std::nullopt;
  }
  return value;
}

namespace {

constexpr int MaxRateCents = 9999;

// The value of a decimal text in hundredths, rounded half up; nothing above 99,99.
std::optional<int> RateCents(std::string_view text) {
  const std::size_t separator = text.find(DecimalSeparator);
  std::string_view whole = text.substr(0, separator);
  const std::string_view fraction = separator == std::string_view::npos ? "" : text.substr(separator + 1);
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  if (whole.size() > 2) return std::nullopt;
  int cents = 0;
  for (char c : whole) cents = cents * 10 + (c - '0');
  for (std::size_t i = 0; i < 2; ++i) cents = cents * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  if (fraction.size() > 2 && fraction[2] >= '5') ++cents;
  if (cents > MaxRateCents) return std::nullopt;
  return cents;
}

}  // namespace

std::optional<std::string> CanonicalRate(std::string_view text) {
  if (!IsDecimalText(text)) return std::nullopt;
  const auto cents = RateCents(text);
  if (!cents) return std::nullopt;
  std::string rate = "00" + std::string(1, DecimalSeparator) + "00";
  rate[0] = static_cast<char>('0' + *cents / 1000);
  rate[1] = static_cast<char>('0' + *cents / 100 % 10);
  rate[3] = static_cast<char>('0' + *cents / 10 % 10);
  rate[4] = static_cast<char>('0' + *cents % 10);
  return rate;
}
