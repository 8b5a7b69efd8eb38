// libFuzzer harness for the profile file reader and writer.
//
// An input is a file's bytes, optionally followed by a NUL and a script of writes:
// records separated by 0x01, each "section 0x02 key 0x02 value". An input of odd
// length is taken as a file in UTF-8, an even one as Windows-1251. The harness reads
// names from the script, applies the writes as one batch and one at a time, and
// aborts when the two disagree, when a read breaks the rules, or when writing the
// same batch again changes the file.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settingsfile/ProfileFile.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::vector<TProfileEntry> Script(std::string_view script) {
  // Names of the settings file always take part: "Налоги"/"Налог1", "ТовГр"/"ТовГрНал1".
  std::vector<TProfileEntry> entries = {{"\xCD\xE0\xEB\xEE\xE3\xE8", "\xCD\xE0\xEB\xEE\xE3\x31", "1"},
                                        {"\xD2\xEE\xE2\xC3\xF0", "\xD2\xEE\xE2\xC3\xF0\xCD\xE0\xEB\x31", ""}};
  if (script.empty()) return entries;
  for (const std::string_view record : Split(script, '\x01')) {
    if (entries.size() >= 64) break;
    const std::vector<std::string_view> fields = Split(record, '\x02');
    entries.push_back({std::string(fields[0]), std::string(fields.size() > 1 ? fields[1] : ""),
                       std::string(fields.size() > 2 ? fields[2] : "")});
  }
  return entries;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

// A value that a read gives back exactly as it was written.
bool ReadsBackUnchanged(const std::string& value) {
  if (value.size() > MaxProfileValue) return false;
  if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))) return false;
  return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view bytes = input.substr(0, nul);
  const std::string_view script = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  const std::vector<TProfileEntry> entries = Script(script);
  const TProfileCharset charset = size % 2 == 1 ? TProfileCharset::Utf8 : TProfileCharset::Cp1251;

  const TProfileFile original{std::string(bytes), charset};
  Check(original.Bytes() == bytes);
  for (const TProfileEntry& entry : entries) {
    if (const auto value = original.Find(entry.Section, entry.Key)) Check(value->size() <= MaxProfileValue);
    Check(original.GetString(entry.Section, entry.Key, entry.Value).size() <= MaxProfileValue);
  }

  TProfileFile batch = original;
  const bool written = batch.WriteStrings(entries);
  bool allWritable = true;
  for (const TProfileEntry& entry : entries) allWritable = allWritable && TProfileFile::IsWritable(entry);
  Check(written == allWritable);
  if (!written) {
    Check(batch.Bytes() == bytes);
    return 0;
  }

  TProfileFile single = original;
  for (const TProfileEntry& entry : entries) Check(single.WriteString(entry.Section, entry.Key, entry.Value));
  Check(single.Bytes() == batch.Bytes());

  // The last value written for each name is what a read finds.
  std::map<std::pair<std::string, std::string>, const TProfileEntry*> last;
  for (const TProfileEntry& entry : entries) {
    last[{FoldProfileName(entry.Section, charset), FoldProfileName(entry.Key, charset)}] = &entry;
  }
  for (const auto& [name, entry] : last) {
    const auto value = batch.Find(entry->Section, entry->Key);
    Check(value.has_value());
    if (ReadsBackUnchanged(entry->Value)) Check(*value == entry->Value);
  }

  const std::string once = batch.Bytes();
  Check(batch.WriteStrings(entries));
  Check(batch.Bytes() == once);
  return 0;
}
