#include "settingsfile/FileText.h"

#include <cstddef>
#include <cstdint>

#include "document/Cp1251.h"
#include "settingsfile/SettingsFile.h"

namespace {

constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view Utf16BeMark = "\xFE\xFF";
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

std::u32string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  const auto unitAt = [&](std::size_t i) -> char32_t {
    const std::uint8_t first = static_cast<std::uint8_t>(bytes[i]);
    const std::uint8_t second = static_cast<std::uint8_t>(bytes[i + 1]);
    return bigEndian ? first << 8 | second : second << 8 | first;
  };
  std::u32string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        text += 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
        continue;
      }
    }
    text += unit >= 0xD800 && unit <= 0xDFFF ? U'\uFFFD' : unit;
  }
  return text;
}

std::string EncodeUtf16(std::u32string_view text, bool bigEndian) {
  std::string bytes(bigEndian ? Utf16BeMark : Utf16LeMark);
  const auto put = [&](char32_t unit) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  };
  for (const char32_t c : text) {
    if (c < 0x10000) {
      put(c);
    } else {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

bool IsValidUtf8(std::string_view bytes) {
  const std::string again = EncodeUtf8(DecodeUtf8(bytes));
  return again == bytes;
}

bool HasNonAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

bool HasSectionHeader(std::string_view bytes, bool utf8) {
  for (const char* name : {TaxSection, RateSection, GroupSection}) {
    const std::string header = "[" + (utf8 ? std::string(name) : Utf8ToCp1251(name)) + "]";
    if (bytes.find(header) != std::string_view::npos) return true;
  }
  return false;
}

bool IsUnmarkedUtf8(std::string_view bytes) {
  return HasNonAscii(bytes) && IsValidUtf8(bytes) && HasSectionHeader(bytes, true) && !HasSectionHeader(bytes, false);
}

}  // namespace

TFileEncoding SettingsFileEncoding(std::string_view bytes) {
  if (bytes.starts_with(Utf16LeMark)) return TFileEncoding::Utf16Le;
  if (bytes.starts_with(Utf16BeMark)) return TFileEncoding::Utf16Be;
  if (bytes.starts_with(Utf8Mark)) return TFileEncoding::Utf8Marked;
  return IsUnmarkedUtf8(bytes) ? TFileEncoding::Utf8 : TFileEncoding::Cp1251;
}

std::string UnicodeFileText(std::string_view bytes, TFileEncoding encoding) {
  switch (encoding) {
    case TFileEncoding::Utf16Le:
    case TFileEncoding::Utf16Be: return EncodeUtf8(DecodeUtf16(bytes.substr(2), encoding == TFileEncoding::Utf16Be));
    case TFileEncoding::Utf8Marked: bytes.remove_prefix(Utf8Mark.size()); break;
    case TFileEncoding::Utf8:
    case TFileEncoding::Cp1251: break;
  }
  return EncodeUtf8(DecodeUtf8(bytes));
}

std::string UnicodeFileBytes(std::string_view text, TFileEncoding encoding) {
  switch (encoding) {
    case TFileEncoding::Utf16Le:
    case TFileEncoding::Utf16Be: return EncodeUtf16(DecodeUtf8(text), encoding == TFileEncoding::Utf16Be);
    case TFileEncoding::Utf8Marked: return std::string(Utf8Mark) + std::string(text);
    case TFileEncoding::Utf8:
    case TFileEncoding::Cp1251: break;
  }
  return std::string(text);
}

std::string SettingsFileText(std::string bytes) {
  const TFileEncoding encoding = SettingsFileEncoding(bytes);
  if (encoding == TFileEncoding::Cp1251) return bytes;
  return Utf8ToCp1251(UnicodeFileText(bytes, encoding));
}
