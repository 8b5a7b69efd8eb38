#include "console/SystemFacts.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "document/Cp1251.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/ProgramSettingKeys.h"

#ifndef _WIN32
#include <sys/utsname.h>
#endif

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const int lower = std::tolower(static_cast<unsigned char>(c));
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The toolkit quotes a value with spaces at its ends or with , ; = " in it, and escapes
// \ " and control characters; characters beyond ASCII stand as UTF-8.
std::string IniValue(std::string_view raw) {
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '"') continue;
    if (c != '\\' || i + 1 == raw.size()) {
      value += c;
      continue;
    }
    const char escaped = raw[++i];
    if (escaped == 'x') {
      unsigned code = 0;
      for (std::size_t digits = 0; digits < 4 && i + 1 < raw.size(); ++digits) {
        const int digit = HexDigit(raw[i + 1]);
        if (digit < 0) break;
        code = code * 16 + static_cast<unsigned>(digit);
        ++i;
      }
      value += EncodeUtf8(std::u32string(1, static_cast<char32_t>(code)));
      continue;
    }
    switch (escaped) {
      case 'n': value += '\n'; break;
      case 't': value += '\t'; break;
      case 'r': value += '\r'; break;
      case '0': value += '\0'; break;
      default: value += escaped;
    }
  }
  return value;
}

#ifndef _WIN32
// PRETTY_NAME of /etc/os-release, where there is one.
std::string Distribution() {
  const std::optional<std::string> release = ReadFileBytes("/etc/os-release");
  if (!release) return {};
  const std::vector<std::string> keys = {"PRETTY_NAME"};
  const TKeptSettings found = IniSettings("[General]\n" + *release, keys);
  return found.empty() ? std::string() : found.front().second;
}

std::filesystem::path ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && std::filesystem::path(config).is_absolute()) return config;
  const char* home = std::getenv("HOME");
  return home == nullptr ? std::filesystem::path() : std::filesystem::path(home) / ".config";
}
#endif

}  // namespace

TKeptSettings IniSettings(const std::string& text, const std::vector<std::string>& keys) {
  TKeptSettings found;
  std::string section;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = Trimmed(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
      section = std::string(line.substr(1, line.size() - 2));
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string name = std::string(Trimmed(line.substr(0, equals)));
    const std::string key = section == "General" ? name : section + "/" + name;
    for (const std::string& wanted : keys) {
      if (wanted == key) found.emplace_back(key, IniValue(Trimmed(line.substr(equals + 1))));
    }
  }
  return found;
}

#ifndef _WIN32
std::string SystemVersionText() {
  utsname system{};
  // uname fails only for a bad buffer.
  std::string text = uname(&system) == 0 ? std::string(system.sysname) + " " + system.release + " " + system.machine
                                         : std::string("система не определена");
  const std::string distribution = Distribution();
  if (!distribution.empty()) text += " (" + distribution + ")";
  return text;
}

TKeptSettings KeptWindowSettings() {
  const std::filesystem::path folder = ConfigFolder();
  if (folder.empty()) return {};
  const std::optional<std::string> text = ReadFileBytes(folder / "orbi7prog" / "orbi7prog.conf");
  if (!text) return {};
  return IniSettings(*text, {DiagnosedSettingKeys.begin(), DiagnosedSettingKeys.end()});
}
#endif
