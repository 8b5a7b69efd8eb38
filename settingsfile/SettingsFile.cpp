#include "settingsfile/SettingsFile.h"

#include <optional>

#include "document/Cp1251.h"
#include "document/RateText.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/FileText.h"

namespace {

std::string KeyName(const char* word, int number) { return Utf8ToCp1251(word + std::to_string(number)); }

// The entries of a document, each with the name of its field as the user knows it.
struct TEntryList {
  std::vector<TProfileEntry> Entries;
  std::vector<std::string> Fields;
  std::string Section;

  void Add(const char* word, int number, const std::string& value, const char* field) {
    Entries.push_back({Section, KeyName(word, number), Utf8ToCp1251(value)});
    Fields.push_back(field + std::to_string(number));
  }
};

TEntryList DocumentEntries(const TKkmSettings& settings) {
  TEntryList list;
  list.Entries.reserve(TaxCount * 4 - 1 + RateCount * 2 + GroupCount * 3);
  list.Section = Utf8ToCp1251(TaxSection);
  for (int t = 1; t <= TaxCount; ++t) list.Add("Налог", t, settings.Tax(t).Enabled ? "1" : "0", "Налог ");
  for (int t = 1; t <= TaxCount; ++t) {
    list.Add("Ставка", t, settings.Tax(t).Rate, "Ставка налога ");
    list.Add("Наимен", t, settings.Tax(t).Name, "Наименование налога ");
  }
  for (int t = 1; t < TaxCount; ++t) list.Add("Тип", t, settings.Tax(t).Kind, "Тип налога ");  // tax 4's is fixed

  list.Section = Utf8ToCp1251(RateSection);
  for (int n = 1; n <= RateCount; ++n) list.Add("Скидка", n, settings.Discount(n), "Скидка ");
  for (int n = 1; n <= RateCount; ++n) list.Add("Надбавка", n, settings.Surcharge(n), "Надбавка ");

  list.Section = Utf8ToCp1251(GroupSection);
  for (int g = 1; g <= GroupCount; ++g) {
    const TGroupBinding& group = settings.Group(g);
    list.Add("ТовГрНал", g, group.Tax, "Налог товарной группы ");
    list.Add("ТовГрСкид", g, group.Discount, "Скидка товарной группы ");
    list.Add("ТовГрНадб", g, group.Surcharge, "Надбавка товарной группы ");
  }
  return list;
}

// The first field whose value a settings file cannot hold: a line break would end it.
std::optional<std::string> UnsavableField(const TEntryList& list) {
  for (std::size_t i = 0; i < list.Entries.size(); ++i) {
    if (list.Entries[i].Value.find_first_of("\r\n") != std::string::npos) return list.Fields[i];
  }
  return std::nullopt;
}

class TSettingsReader {
 public:
  TSettingsReader(const TProfileFile& file, const char* section) : File(file), Section(Utf8ToCp1251(section)) {}

  std::string Get(const char* word, int number, const char* defaultValue) const {
    return Cp1251ToUtf8(File.GetString(Section, KeyName(word, number), Utf8ToCp1251(defaultValue)));
  }

 private:
  const TProfileFile& File;
  std::string Section;
};

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
  return DocumentEntries(settings).Entries;
}

void ReadSettings(const TProfileFile& file, TKkmSettings& settings) {
  const TSettingsReader taxes(file, TaxSection);
  for (int t = 1; t <= TaxCount; ++t) settings.Tax(t).Enabled = IsEnabledFlag(taxes.Get("Налог", t, ""));
  for (int t = 1; t <= TaxCount; ++t) {
    settings.Tax(t).Rate = taxes.Get("Ставка", t, DefaultRate);
    settings.Tax(t).Name = taxes.Get("Наимен", t, "");
  }
  for (int t = 1; t < TaxCount; ++t) settings.Tax(t).Kind = taxes.Get("Тип", t, DefaultTaxKind);

  const TSettingsReader rates(file, RateSection);
  for (int n = 1; n <= RateCount; ++n) settings.Discount(n) = rates.Get("Скидка", n, DefaultRate);
  for (int n = 1; n <= RateCount; ++n) settings.Surcharge(n) = rates.Get("Надбавка", n, DefaultRate);

  const TSettingsReader groups(file, GroupSection);
  for (int g = 1; g <= GroupCount; ++g) {
    TGroupBinding& group = settings.Group(g);
    group.Tax = groups.Get("ТовГрНал", g, "");
    group.Discount = groups.Get("ТовГрСкид", g, "");
    group.Surcharge = groups.Get("ТовГрНадб", g, "");
  }

  settings.Changed(TSection::Taxes);
  settings.Changed(TSection::Discounts);
  settings.Changed(TSection::Surcharges);
  settings.Changed(TSection::Groups);
}

bool LoadSettingsFile(const std::string& fileName, TKkmSettings& settings, TUserMessages& messages) {
  std::optional<std::string> bytes = ReadFileBytes(PathFromUtf8(fileName));
  if (!bytes) {
    messages.Show(TMessageKind::Error, "Не удается прочитать файл " + fileName);
    return false;
  }
  const TProfileFile file(SettingsFileText(std::move(*bytes)));
  ReadSettings(file, settings);
  // A file picked by mistake (any file may be chosen) still loads, every key taking
  // its default, but the user is told.
  const bool hasSettings = file.HasSection(Utf8ToCp1251(TaxSection)) || file.HasSection(Utf8ToCp1251(RateSection)) ||
                           file.HasSection(Utf8ToCp1251(GroupSection));
  if (!hasSettings) messages.Show(TMessageKind::Information, "В файле " + fileName + " нет установок ККМ.");
  return true;
}

bool SaveSettingsFile(const std::string& fileName, const TKkmSettings& settings, TUserMessages& messages) {
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
  bool written = false;
  if (old) {
    TProfileFile file(std::move(*old));
    written = file.WriteStrings(list.Entries) && ReplaceFileBytes(path, file.Bytes());
  }
  if (!written) messages.Show(TMessageKind::Error, "Unable to write to " + fileName);
  return written;
}
