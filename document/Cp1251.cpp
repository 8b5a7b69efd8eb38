#include "document/Cp1251.h"

#include <array>

namespace {

constexpr char32_t Replacement = 0xFFFD;

// Characters of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F.
constexpr std::array<char32_t, 64> HighTable = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char32_t CharacterOfByte(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return HighTable[byte - 0x80];
}

// -1 when the character has no byte.
int ByteOfCharacter(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  if (c >= 0x0410 && c <= 0x044F) return static_cast<int>(0xC0 + (c - 0x0410));
  for (std::size_t i = 0; i < HighTable.size(); ++i) {
    if (HighTable[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the character at text[pos] and advances pos past it.
char32_t NextCharacter(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) return lead;
  int length = 0;
  char32_t c = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 1, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 2, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 3, c = lead & 0x07, minimum = 0x10000;
  } else {
    return Replacement;
  }
  for (int i = 0; i < length; ++i) {
    if (pos >= text.size()) return Replacement;
    const auto next = static_cast<unsigned char>(text[pos]);
    if ((next & 0xC0) != 0x80) return Replacement;
    c = (c << 6) | (next & 0x3F);
    ++pos;
  }
  const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  if (c < minimum || c > 0x10FFFF || surrogate) return Replacement;
  return c;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char b : bytes) AppendUtf8(out, CharacterOfByte(static_cast<unsigned char>(b)));
  return out;
}

std::string Utf8ToCp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const int byte = ByteOfCharacter(NextCharacter(text, pos));
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  return out;
}

bool IsCp1251Character(char32_t c) { return ByteOfCharacter(c) >= 0; }

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  for (std::size_t pos = 0; pos < text.size();) out += NextCharacter(text, pos);
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) AppendUtf8(out, c);
  return out;
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) NextCharacter(text, pos);
  return count;
}

std::string Utf8Left(std::string_view text, std::size_t characters) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < characters && pos < text.size(); ++i) NextCharacter(text, pos);
  return std::string(text.substr(0, pos));
}
