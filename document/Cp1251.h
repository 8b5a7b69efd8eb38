#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one Windows-1251 codec of the program. Inside, every text is UTF-8; register
// bytes and settings-file bytes are Windows-1251, converted only at those borders.

// Every byte has a character (0x98, unassigned, stands for U+0098 so that bytes
// come back unchanged).
std::string Cp1251ToUtf8(std::string_view bytes);

// A character that Windows-1251 cannot hold, and a malformed UTF-8 sequence,
// become '?'.
std::string Utf8ToCp1251(std::string_view text);

bool IsCp1251Character(char32_t c);

// UTF-8 texts as characters. A malformed sequence counts as one character U+FFFD.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);
std::size_t Utf8Length(std::string_view text);
std::string Utf8Left(std::string_view text, std::size_t characters);
