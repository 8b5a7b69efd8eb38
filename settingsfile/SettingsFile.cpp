#include "settingsfile/SettingsFile.h"

#include <optional>

#include "document/Cp1251.h"
#include "document/RateText.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/FileText.h"

namespace {

// A key of the file: its word, to which the number of the tax, rate or group is
// added; the value a file without it gives; the field as a message names it (before
// the number); and the document field it holds.
struct TFileKey {
  const char* Word;
  const char* Default;
  const char* Field;
  std::string (*Get)(const TKkmSettings&, int);
  void (*Set)(TKkmSettings&, int, std::string);
};

// Keys written number by number: for each number from 1 to Count, every key of the row.
struct TFileKeyRow {
  const char* Section;
  int Count;
  std::vector<TFileKey> Keys;
};

#define ORBI7_TEXT_FIELD(expression)                                      \
  [](const TKkmSettings& s, int n) { return std::string(s.expression); }, \
      [](TKkmSettings& s, int n, std::string value) { s.expression = std::move(value); }

// Every key of the file, in the order a new file gets them; reading and writing both
// go by it.
const std::vector<TFileKeyRow>& FileKeys() {
  static const std::vector<TFileKeyRow> rows = {
      {TaxSection,
       TaxCount,
       {{"Налог", "", "Налог ", [](const TKkmSettings& s, int t) { return std::string(s.Tax(t).Enabled ? "1" : "0"); },
         [](TKkmSettings& s, int t, std::string value) { s.Tax(t).Enabled = IsEnabledFlag(value); }}}},
      {TaxSection,
       TaxCount,
       {{"Ставка", DefaultRate, "Ставка налога ", ORBI7_TEXT_FIELD(Tax(n).Rate)},
        {"Наимен", "", "Наименование налога ", ORBI7_TEXT_FIELD(Tax(n).Name)}}},
      // Tax 4's kind is fixed.
      {TaxSection, TaxCount - 1, {{"Тип", DefaultTaxKind, "Тип налога ", ORBI7_TEXT_FIELD(Tax(n).Kind)}}},
      {RateSection, RateCount, {{"Скидка", DefaultRate, "Скидка ", ORBI7_TEXT_FIELD(Discount(n))}}},
      {RateSection, RateCount, {{"Надбавка", DefaultRate, "Надбавка ", ORBI7_TEXT_FIELD(Surcharge(n))}}},
      {GroupSection,
       GroupCount,
       {{"ТовГрНал", "", "Налог товарной группы ", ORBI7_TEXT_FIELD(Group(n).Tax)},
        {"ТовГрСкид", "", "Скидка товарной группы ", ORBI7_TEXT_FIELD(Group(n).Discount)},
        {"ТовГрНадб", "", "Надбавка товарной группы ", ORBI7_TEXT_FIELD(Group(n).Surcharge)}}},
  };
  return rows;
}

#undef ORBI7_TEXT_FIELD

// Calls visit(section, key name, key, number) for every key of the file in its order;
// section and name in UTF-8.
template <typename TVisit>
void ForEachKey(TVisit visit) {
  for (const TFileKeyRow& row : FileKeys()) {
    for (int n = 1; n <= row.Count; ++n) {
      for (const TFileKey& key : row.Keys) visit(row.Section, key.Word + std::to_string(n), key, n);
    }
  }
}

// The entries of a document as the program holds them (UTF-8, values raw), each with
// the name of its field as the user knows it.
struct TEntryList {
  std::vector<TProfileEntry> Entries;
  std::vector<std::string> Fields;
};

TEntryList DocumentEntries(const TKkmSettings& settings) {
  TEntryList list;
  ForEachKey([&](const char* section, std::string name, const TFileKey& key, int n) {
    list.Entries.push_back({section, std::move(name), key.Get(settings, n)});
    list.Fields.push_back(key.Field + std::to_string(n));
  });
  return list;
}

// The first field whose value a settings file cannot hold: a line break would end it.
std::optional<std::string> UnsavableField(const TEntryList& list) {
  for (std::size_t i = 0; i < list.Entries.size(); ++i) {
    if (list.Entries[i].Value.find_first_of("\r\n") != std::string::npos) return list.Fields[i];
  }
  return std::nullopt;
}

// A value as it must stand in the file so that a read gives it back: quoted where its
// outer blanks or quotes would be lost. A line break, which no read gives back,
// becomes a blank; the save refuses such a value before it gets here, and only a
// register's garbled rate bytes in a backup can hold one.
std::string FileValue(std::string value) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return ValueReadBackAs(value);
}

// The entries as they stand in a file of that charset.
std::vector<TProfileEntry> FileEntries(std::vector<TProfileEntry> entries, TProfileCharset charset) {
  for (TProfileEntry& entry : entries) {
    entry.Value = FileValue(std::move(entry.Value));
    if (charset == TProfileCharset::Utf8) continue;
    entry.Section = Utf8ToCp1251(entry.Section);
    entry.Key = Utf8ToCp1251(entry.Key);
    entry.Value = Utf8ToCp1251(entry.Value);
  }
  return entries;
}

bool IsDigitOf(char c, int base) {
  if (c >= '0' && c <= '9') return true;
  return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

}  // namespace

bool IsEnabledFlag(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  bool nonZero = false;
  for (const char c : text) {
    if (!IsDigitOf(c, base)) return false;
    nonZero = nonZero || c != '0';
  }
  return nonZero;
}

std::vector<TProfileEntry> SettingsFileEntries(const TKkmSettings& settings) {
  return FileEntries(DocumentEntries(settings).Entries, TProfileCharset::Cp1251);
}

void ReadSettings(const TProfileFile& file, TKkmSettings& settings) {
  ForEachKey([&](const char* section, const std::string& name, const TFileKey& key, int n) {
    const std::string value = file.GetString(Utf8ToCp1251(section), Utf8ToCp1251(name), Utf8ToCp1251(key.Default));
    key.Set(settings, n, Cp1251ToUtf8(value));
  });
  settings.Changed(TSection::Taxes);
  settings.Changed(TSection::Discounts);
  settings.Changed(TSection::Surcharges);
  settings.Changed(TSection::Groups);
}

namespace {

// The register section's keys, in their order, and the origin's text each holds.
struct TOriginKey {
  const char* Key;
  std::string TRegisterOrigin::*Field;
};

constexpr TOriginKey OriginKeys[] = {
    {"Номер", &TRegisterOrigin::Number},
    {"ПО", &TRegisterOrigin::Firmware},
    {"Дата", &TRegisterOrigin::Date},
    {"Порт", &TRegisterOrigin::Port},
};

std::vector<TProfileEntry> OriginEntries(const TRegisterOrigin& origin) {
  std::vector<TProfileEntry> entries;
  for (const TOriginKey& key : OriginKeys) entries.push_back({RegisterSection, key.Key, origin.*key.Field});
  return entries;
}

// The file's register section made to follow the origin; false when the origin
// cannot stand in the file.
bool PutRegisterOrigin(TProfileFile& file, const TDocumentOrigin& origin, TProfileCharset charset) {
  const std::string section = charset == TProfileCharset::Utf8 ? RegisterSection : Utf8ToCp1251(RegisterSection);
  if (origin) {
    const TProfileFile asRead(charset == TProfileCharset::Utf8 ? Utf8ToCp1251(file.Bytes()) : file.Bytes());
    if (ReadRegisterOrigin(asRead) == origin) return true;
  }
  file.RemoveSection(section);
  if (!origin) return true;
  const std::vector<TProfileEntry> entries = FileEntries(OriginEntries(*origin), charset);
  return file.AppendSection(section, entries);
}

}  // namespace

TDocumentOrigin ReadRegisterOrigin(const TProfileFile& file) {
  const std::string section = Utf8ToCp1251(RegisterSection);
  if (!file.HasSection(section)) return std::nullopt;
  TRegisterOrigin origin;
  for (const TOriginKey& key : OriginKeys) {
    origin.*key.Field = Cp1251ToUtf8(file.GetString(section, Utf8ToCp1251(key.Key), ""));
  }
  return origin;
}

bool ReadSettingsFileBytes(std::string bytes, TKkmSettings& settings, TDocumentOrigin* origin) {
  const TProfileFile file(SettingsFileText(std::move(bytes)));
  ReadSettings(file, settings);
  if (origin != nullptr) *origin = ReadRegisterOrigin(file);
  return file.HasSection(Utf8ToCp1251(TaxSection)) || file.HasSection(Utf8ToCp1251(RateSection)) ||
         file.HasSection(Utf8ToCp1251(GroupSection));
}

namespace {

// The entries written into the file `old` in its own encoding; nothing when one would
// break the file.
std::optional<std::string> FileBytesWith(std::string old, const TEntryList& list, const TDocumentOrigin& origin) {
  const TFileEncoding encoding = SettingsFileEncoding(old);
  const bool unicode = encoding != TFileEncoding::Cp1251;
  const TProfileCharset charset = unicode ? TProfileCharset::Utf8 : TProfileCharset::Cp1251;
  TProfileFile file(unicode ? UnicodeFileText(old, encoding) : std::move(old), charset);
  if (UnsavableField(list) || !file.WriteStrings(FileEntries(list.Entries, charset))) return std::nullopt;
  if (!PutRegisterOrigin(file, origin, charset)) return std::nullopt;
  return unicode ? UnicodeFileBytes(file.Bytes(), encoding) : file.Bytes();
}

}  // namespace

std::optional<std::string> SettingsFileBytes(std::string old, const TKkmSettings& settings,
                                             const TDocumentOrigin& origin) {
  return FileBytesWith(std::move(old), DocumentEntries(settings), origin);
}

bool LoadSettingsFile(const std::string& fileName, TKkmSettings& settings, TUserMessages& messages,
                      TDocumentOrigin* origin) {
  std::optional<std::string> bytes = ReadFileBytes(PathFromUtf8(fileName));
  if (!bytes) {
    messages.Show(TMessageKind::Error, "Не удается прочитать файл " + fileName);
    return false;
  }
  // A file picked by mistake (any file may be chosen) still loads, every key taking
  // its default, but the user is told.
  if (!ReadSettingsFileBytes(std::move(*bytes), settings, origin))
    messages.Show(TMessageKind::Information, "В файле " + fileName + " нет установок ККМ.");
  return true;
}

bool SaveSettingsFile(const std::string& fileName, const TKkmSettings& settings, TUserMessages& messages,
                      const TDocumentOrigin& origin) {
  const std::filesystem::path path = PathFromUtf8(fileName);
  std::error_code error;
  const bool exists = std::filesystem::exists(std::filesystem::status(path, error));
  // An existing file that cannot be read would lose its other content; refuse it.
  std::optional<std::string> old = exists ? ReadFileBytes(path) : std::string();
  const TEntryList list = DocumentEntries(settings);
  if (const auto field = UnsavableField(list)) {
    messages.Show(TMessageKind::Error, "Неверное значение: " + *field + " содержит перевод строки");
    return false;
  }
  std::optional<std::string> bytes = old ? FileBytesWith(std::move(*old), list, origin) : std::nullopt;
  const bool written = bytes && ReplaceFileBytes(path, *bytes);
  if (!written) messages.Show(TMessageKind::Error, "Unable to write to " + fileName);
  return written;
}
