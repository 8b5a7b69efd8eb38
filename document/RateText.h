#pragma once

#include <optional>
#include <string>
#include <string_view>

// The decimal separator of every rate text, whatever the locale: files and register
// digits stay the same on every machine, and the literal default below is canonical.
inline constexpr char DecimalSeparator = ',';
inline constexpr const char* DefaultRate = "00,00";

// Digits with at most one decimal separator and at least one digit.
bool IsDecimalText(std::string_view text);

// The value of a decimal text; nothing for any other text.
std::optional<double> DecimalValue(std::string_view text);

// A non-empty text of the digits 0 to 9 only (leading zeros allowed).
bool IsWholeNumberText(std::string_view text);
