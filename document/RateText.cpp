#include "document/RateText.h"

#include <cstdlib>

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
