#include "settingsfile/ProfileFile.h"

#include <array>
#include <vector>

namespace {

constexpr std::string_view LineEnd = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c - 'A' + 'a');
  for (int c = 0xC0; c <= 0xDF; ++c) table[c] = static_cast<unsigned char>(c + 0x20);  // А-Я
  table[0xA8] = 0xB8;                                                                  // Ё
  return table;
}

constexpr std::array<unsigned char, 256> FoldTable = MakeFoldTable();

enum class TLineKind { Other, Comment, Section, Key };

// One line of the file as a read sees it.
struct TLine {
  std::string_view Text;  // without its line end
  std::string_view End;   // "\r\n", "\n", "\r", or empty on a last line without one
  TLineKind Kind = TLineKind::Other;
  std::string_view Name;   // section name or key, trimmed
  std::string_view Value;  // raw value of a key line, after the '='
};

TLine ClassifyLine(std::string_view text, std::string_view end) {
  TLine line;
  line.Text = text;
  line.End = end;
  const std::size_t first = text.find_first_not_of(" \t\v");
  if (first == std::string_view::npos) return line;
  if (text[first] == ';') {
    line.Kind = TLineKind::Comment;
  } else if (text[first] == '[') {
    line.Kind = TLineKind::Section;
    std::string_view name = text.substr(first + 1);
    name = name.substr(0, name.find(']'));
    line.Name = Trim(name);
  } else if (const std::size_t equals = text.find('='); equals != std::string_view::npos) {
    line.Kind = TLineKind::Key;
    line.Name = Trim(text.substr(0, equals));
    line.Value = text.substr(equals + 1);
  }
  return line;
}

// Calls visit(TLine) for every line; CRLF, LF and CR all end a line.
template <typename TVisit>
void ForEachLine(std::string_view content, TVisit visit) {
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t stop = content.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      visit(ClassifyLine(content.substr(start), {}));
      return;
    }
    const std::size_t endLength =
        content[stop] == '\r' && stop + 1 < content.size() && content[stop + 1] == '\n' ? 2 : 1;
    visit(ClassifyLine(content.substr(start, stop - start), content.substr(stop, endLength)));
    start = stop + endLength;
  }
}

std::string_view ReadValue(std::string_view raw) {
  std::string_view value = Trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value.substr(0, MaxProfileValue);
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool IsWritableName(std::string_view name) {
  return !name.empty() && !HasLineBreak(name) && !IsBlank(name.front()) && !IsBlank(name.back());
}

}  // namespace

std::string ValueReadBackAs(std::string_view value) {
  if (value.empty()) return {};
  const char first = value.front();
  const bool quoted = value.size() >= 2 && (first == '"' || first == '\'') && value.back() == first;
  if (!IsBlank(first) && !IsBlank(value.back()) && !quoted) return std::string(value);
  return '"' + std::string(value) + '"';
}

namespace {

// А-Я are D0 90 to D0 AF and Ё is D0 81 in UTF-8; а-п are D0 B0 to D0 BF, р-я are
// D1 80 to D1 8F and ё is D1 91.
std::string FoldUtf8Name(std::string_view name) {
  std::string folded(name);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(folded[i]);
    if (c >= 'A' && c <= 'Z') folded[i] = static_cast<char>(c - 'A' + 'a');
    if (c != 0xD0 || i + 1 == folded.size()) continue;
    const unsigned char next = static_cast<unsigned char>(folded[i + 1]);
    if (next >= 0x90 && next <= 0x9F) {
      folded[++i] = static_cast<char>(next + 0x20);
    } else if (next >= 0xA0 && next <= 0xAF) {
      folded[i] = '\xD1';
      folded[++i] = static_cast<char>(next - 0x20);
    } else if (next == 0x81) {
      folded[i] = '\xD1';
      folded[++i] = '\x91';
    }
  }
  return folded;
}

}  // namespace

std::string FoldProfileName(std::string_view name, TProfileCharset charset) {
  if (charset == TProfileCharset::Utf8) return FoldUtf8Name(name);
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(FoldTable[static_cast<unsigned char>(c)]);
  return folded;
}

TProfileFile::TProfileFile(std::string bytes, TProfileCharset charset) : Content(std::move(bytes)), Charset(charset) {
  BuildIndex();
}

void TProfileFile::BuildIndex() {
  Index.clear();
  TKeyIndex* section = nullptr;  // keys before the first section cannot be found
  ForEachLine(Content, [&](const TLine& line) {
    if (line.Kind == TLineKind::Section) {
      const auto [where, added] = Index.try_emplace(Fold(line.Name));
      section = added ? &where->second : nullptr;  // a repeated section is never searched
    } else if (line.Kind == TLineKind::Key && section != nullptr) {
      const std::string_view value = ReadValue(line.Value);
      section->try_emplace(Fold(line.Name),
                           TValueSpan{static_cast<std::size_t>(value.data() - Content.data()), value.size()});
    }
  });
}

std::optional<std::string> TProfileFile::Find(std::string_view section, std::string_view key) const {
  const auto keys = Index.find(Fold(section));
  if (keys == Index.end()) return std::nullopt;
  const auto value = keys->second.find(Fold(key));
  if (value == keys->second.end()) return std::nullopt;
  return Content.substr(value->second.Offset, value->second.Length);
}

std::string TProfileFile::GetString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  if (auto value = Find(section, key)) return std::move(*value);
  while (!defaultValue.empty() && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
  return std::string(defaultValue.substr(0, MaxProfileValue));
}

bool TProfileFile::IsWritable(const TProfileEntry& entry) {
  return IsWritableName(entry.Section) && entry.Section.find(']') == std::string::npos && IsWritableName(entry.Key) &&
         entry.Key.find('=') == std::string::npos && entry.Key.front() != ';' && entry.Key.front() != '[' &&
         !HasLineBreak(entry.Value);
}

bool TProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const TProfileEntry entry{std::string(section), std::string(key), std::string(value)};
  return WriteStrings(std::span(&entry, 1));
}

namespace {

// A line of the file being rewritten. Lines added to the file hang on the line they
// follow, so that nothing is ever inserted into the middle of the list.
struct TEditLine {
  std::string Text;
  std::string End;
  std::vector<std::size_t> Following;
};

struct TEditKey {
  std::size_t Line;
  std::string Spelling;  // as found in the file; a replaced line keeps it
};

struct TEditSection {
  std::size_t Anchor;  // the last key line, or the header while there is none
  std::unordered_map<std::string, TEditKey> Keys;
};

}  // namespace

bool TProfileFile::WriteStrings(std::span<const TProfileEntry> entries) {
  for (const TProfileEntry& entry : entries) {
    if (!IsWritable(entry)) return false;
  }
  if (entries.empty()) return true;

  std::vector<TEditLine> lines;
  std::unordered_map<std::string, TEditSection> sections;
  TEditSection* current = nullptr;
  ForEachLine(Content, [&](const TLine& line) {
    const std::size_t number = lines.size();
    lines.push_back({std::string(line.Text), std::string(line.End), {}});
    if (line.Kind == TLineKind::Section) {
      const auto [where, added] = sections.try_emplace(Fold(line.Name), TEditSection{number, {}});
      current = added ? &where->second : nullptr;
    } else if (line.Kind == TLineKind::Key && current != nullptr) {
      current->Anchor = number;
      current->Keys.try_emplace(Fold(line.Name), TEditKey{number, std::string(line.Name)});
    }
  });
  const std::size_t originalCount = lines.size();
  std::vector<std::size_t> newSections;  // header lines appended at the end, in order

  for (const TProfileEntry& entry : entries) {
    auto section = sections.find(Fold(entry.Section));
    if (section == sections.end()) {
      // The file must end with a line end before a section can follow it.
      if (newSections.empty() && !lines.empty() && lines[originalCount - 1].End.empty()) {
        lines[originalCount - 1].End = LineEnd;
      }
      newSections.push_back(lines.size());
      lines.push_back({"[" + entry.Section + "]", std::string(LineEnd), {}});
      section = sections.try_emplace(Fold(entry.Section), TEditSection{newSections.back(), {}}).first;
    }
    TEditSection& target = section->second;
    const std::string foldedKey = Fold(entry.Key);
    if (const auto key = target.Keys.find(foldedKey); key != target.Keys.end()) {
      lines[key->second.Line].Text = key->second.Spelling + "=" + entry.Value;
      lines[key->second.Line].End = LineEnd;
      continue;
    }
    if (lines[target.Anchor].End.empty()) lines[target.Anchor].End = LineEnd;
    const std::size_t added = lines.size();
    lines.push_back({entry.Key + "=" + entry.Value, std::string(LineEnd), {}});
    lines[target.Anchor].Following.push_back(added);
    target.Keys.try_emplace(foldedKey, TEditKey{added, entry.Key});
  }

  std::string out;
  out.reserve(Content.size() + entries.size() * 32);
  const auto emit = [&](const TEditLine& line) {
    out += line.Text;
    out += line.End;
    for (const std::size_t next : line.Following) out += lines[next].Text + lines[next].End;
  };
  for (std::size_t i = 0; i < originalCount; ++i) emit(lines[i]);
  for (const std::size_t header : newSections) emit(lines[header]);
  Content = std::move(out);
  BuildIndex();
  return true;
}

namespace {

// How the file ends its lines: as its first line does, "\r\n" when it has none.
std::string_view FileLineEnd(std::string_view content) {
  std::string_view end = LineEnd;
  bool found = false;
  ForEachLine(content, [&](const TLine& line) {
    if (!found && !line.End.empty()) {
      end = line.End;
      found = true;
    }
  });
  return end;
}

}  // namespace

void TProfileFile::RemoveSection(std::string_view section) {
  const std::string folded = Fold(section);
  std::string out;
  bool inside = false;
  ForEachLine(Content, [&](const TLine& line) {
    if (line.Kind == TLineKind::Section) inside = Fold(line.Name) == folded;
    if (inside) return;
    out += line.Text;
    out += line.End;
  });
  if (out.size() == Content.size()) return;
  Content = std::move(out);
  BuildIndex();
}

bool TProfileFile::AppendSection(std::string_view section, std::span<const TProfileEntry> entries) {
  for (const TProfileEntry& entry : entries) {
    if (!IsWritable({std::string(section), entry.Key, entry.Value})) return false;
  }
  const std::string end(FileLineEnd(Content));
  if (!Content.empty() && Content.back() != '\n' && Content.back() != '\r') Content += end;
  Content += "[" + std::string(section) + "]" + end;
  for (const TProfileEntry& entry : entries) Content += entry.Key + "=" + entry.Value + end;
  BuildIndex();
  return true;
}
