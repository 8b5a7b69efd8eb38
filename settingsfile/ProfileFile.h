#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

// A private-profile ("INI") file held in memory, read and updated the way the
// Windows profile functions do it. Everything here is bytes: section names, keys and
// values are as they stand in the file (Windows-1251, or UTF-8 where the caller says
// so); converting to the program's UTF-8 is the caller's business. Names match
// without regard to case, Cyrillic letters included.

// The longest value a read gives back; longer values are cut.
inline constexpr std::size_t MaxProfileValue = 2047;

struct TProfileEntry {
  std::string Section;
  std::string Key;
  std::string Value;
};

// What the bytes of a profile file are: Windows-1251, as the program writes it, or
// UTF-8, in which a file that other editors saved in Unicode is updated.
enum class TProfileCharset { Cp1251, Utf8 };

// Case folding of names: ASCII letters and the Cyrillic letters А-Я and Ё become
// lower case, in the bytes of the charset.
std::string FoldProfileName(std::string_view name, TProfileCharset charset = TProfileCharset::Cp1251);

// The text to write for a value so that a read gives back exactly that value: one
// with blanks at either end, or in quotes of its own, goes into quotes, since a read
// drops the blanks around a value and one pair of matching outer quotes.
std::string ValueReadBackAs(std::string_view value);

class TProfileFile {
 public:
  TProfileFile() = default;
  explicit TProfileFile(std::string bytes, TProfileCharset charset = TProfileCharset::Cp1251);

  const std::string& Bytes() const { return Content; }

  // The value as a read finds it (blanks around it dropped, one pair of matching
  // outer quotes dropped, cut to MaxProfileValue), or nothing when the section or
  // the key is not there.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // As Find, with the default in place of nothing; the default loses trailing spaces.
  std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

  // Writes the entries in their order, with the same result as writing them one at
  // a time: an existing key is replaced where it stands, a missing key goes after
  // the last key line of its section, a missing section goes at the end of the file.
  // The file is rewritten in one pass whatever the number of entries. Refuses the
  // whole batch, changing nothing, when an entry could not be read back as written:
  // a line break anywhere, a key holding '=' or starting with ';' or '[', a section
  // holding ']', an empty name or a name with blanks at either end.
  bool WriteStrings(std::span<const TProfileEntry> entries);
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);

  static bool IsWritable(const TProfileEntry& entry);

  // Takes every section of that name out of the file, its header and every line up to
  // the next section's header.
  void RemoveSection(std::string_view section);

  // Puts a new section with the entries at the end of the file, every line ended as
  // the file's first line is ("\r\n" in a file without one); values are written as
  // they are, as WriteStrings writes them. Refuses, changing nothing, what WriteStrings
  // refuses.
  bool AppendSection(std::string_view section, std::span<const TProfileEntry> entries);

  // Whether a section of that name stands in the file, empty or not.
  bool HasSection(std::string_view section) const { return Index.contains(Fold(section)); }

 private:
  struct TValueSpan {
    std::size_t Offset;
    std::size_t Length;
  };
  using TKeyIndex = std::unordered_map<std::string, TValueSpan>;

  void BuildIndex();
  std::string Fold(std::string_view name) const { return FoldProfileName(name, Charset); }

  std::string Content;
  TProfileCharset Charset = TProfileCharset::Cp1251;
  // Folded section name -> folded key -> value. Only what a read can find: the
  // first section of each name and the first key of each name in it.
  std::unordered_map<std::string, TKeyIndex> Index;
};
