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

// The number in a group field: 0 for an empty field; for a whole number text (no
// sign, no blanks) no greater than max, its value; nothing for any other text. The
// one reading of group numbers, for the pages' rules, the write's check and the
// group byte alike.
std::optional<int> GroupFieldNumber(std::string_view text, int max);

// The canonical rate text of a decimal text: the value rounded half up to two
// decimals, two integer digits, the separator, two decimals (7,5 -> 07,50). Nothing
// for any other text and for a value that rounds to 100 or more, which neither the
// five-character text nor the register's four digits can hold.
std::optional<std::string> CanonicalRate(std::string_view text);
