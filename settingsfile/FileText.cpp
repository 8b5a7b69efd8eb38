#include "settingsfile/FileText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "document/Cp1251.h"
#include "settingsfile/SettingsFile.h"

namespace {

constexpr std::string_view Utf16Mark = "\xFF\xFE";
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

std::u32string DecodeUtf16Le(std::string_view bytes) {
  std::u32string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char32_t unit = static_cast<std::uint8_t>(bytes[i]) | static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = static_cast<std::uint8_t>(bytes[i + 2]) | static_cast<std::uint8_t>(bytes[i + 3]) << 8;
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

std::string SettingsFileText(std::string bytes) {
  const std::string_view view = bytes;
  if (view.starts_with(Utf16Mark)) return Utf8ToCp1251(EncodeUtf8(DecodeUtf16Le(view.substr(Utf16Mark.size()))));
  if (view.starts_with(Utf8Mark)) return Utf8ToCp1251(view.substr(Utf8Mark.size()));
  if (IsUnmarkedUtf8(view)) return Utf8ToCp1251(view);
  return bytes;
}
