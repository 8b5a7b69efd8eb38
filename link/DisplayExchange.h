#pragma once

#include <string>

#include "link/TKkmLink.h"

// The register's two display lines while settings are transferred.
constexpr std::uint16_t DisplayFirstLine = 0x1A88;
constexpr std::uint16_t DisplaySecondLine = 0x1A98;
constexpr std::uint16_t DisplaySecondLineReadBack = 0x1B28;
constexpr std::uint16_t DisplayUpdate = 0x1B6A;
constexpr std::size_t DisplayLineLength = 16;

// Puts line1 and line2 (UTF-8, cut to 16 characters, padded with spaces, sent in
// Windows-1251) on the register's display and hands back in them the lines it showed
// before, 16 characters each. A line whose read did not happen or failed keeps the
// text passed in. True when all six exchanges succeeded.
bool DisplayExchange(TKkmLink& link, std::string& line1, std::string& line2);
