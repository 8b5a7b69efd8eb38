// libFuzzer harness for the whole way of a settings file: bytes in any encoding are
// loaded, saved to a new file and over themselves, and loaded again. It aborts when a
// reload differs from the first load, when a second save is not byte for byte the
// first, when a save changes what the file is written in, or when an edited document
// saved over the file does not reload as edited; likewise for the register section.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "settingsfile/FileText.h"
#include "settingsfile/SettingsFile.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

TKkmSettings Loaded(const std::string& bytes, TDocumentOrigin* origin = nullptr) {
  TKkmSettings settings;
  ReadSettingsFileBytes(bytes, settings, origin);
  return settings;
}

// What a technician does to a loaded document: clears the groups, changes a rate and
// pads or quotes the names.
TKkmSettings Edited(TKkmSettings settings) {
  for (int g = 1; g <= GroupCount; ++g) settings.Group(g) = {};
  settings.Discount(1) = "12,34";
  settings.Tax(1).Name = "НДС ";
  settings.Tax(2).Name = "\"Сбор\"";
  settings.Tax(3).Name = " 'с' ";
  return settings;
}

// Saved over `old`, the document reloads as it is, a second save changes nothing, and
// the file keeps its encoding.
void CheckSaveOver(const std::string& old, const TKkmSettings& settings, const TDocumentOrigin& origin = {}) {
  const std::optional<std::string> saved = SettingsFileBytes(old, settings, origin);
  Check(saved.has_value());
  TDocumentOrigin reloaded;
  Check(Loaded(*saved, &reloaded) == settings);
  Check(reloaded == origin);
  Check(SettingsFileEncoding(*saved) == (old.empty() ? TFileEncoding::Cp1251 : SettingsFileEncoding(old)));
  Check(SettingsFileBytes(*saved, settings, origin) == saved);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TDocumentOrigin origin;
  const TKkmSettings first = Loaded(bytes, &origin);
  CheckSaveOver(std::string(), first);
  CheckSaveOver(bytes, first, origin);
  CheckSaveOver(bytes, Edited(first), TRegisterOrigin{"37", "1.0.4", "2026-12-10 14:03", "COM7"});
  return 0;
}
