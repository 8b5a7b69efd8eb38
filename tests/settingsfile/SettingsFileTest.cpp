#include <gtest/gtest.h>

#include "settingsfile/SettingsFile.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "document/Cp1251.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/FileText.h"
#include "support/RecordingMessages.h"

namespace fs = std::filesystem;

namespace {

std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

// File names are UTF-8 here, as the window gives them; on Windows a plain string
// would be taken in the ANSI code page.
fs::path P(const std::string& utf8) { return PathFromUtf8(utf8); }
std::string Utf8(const fs::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

class TTempFolder {
 public:
  TTempFolder() {
    std::random_device random;
    do {
      Path = fs::temp_directory_path() / ("orbi7-settingsfile-" + std::to_string(random()));
    } while (!fs::create_directory(Path));
  }
  ~TTempFolder() {
    std::error_code error;
    fs::remove_all(Path, error);
  }
  std::string File(const std::string& name) const { return Utf8(Path / P(name)); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(Path)) names.insert(Utf8(item.path().filename()));
    return names;
  }
  fs::path Path;
};

void Put(const std::string& fileName, const std::string& bytes) {
  std::ofstream(P(fileName), std::ios::binary) << bytes;
}

std::string Get(const std::string& fileName) {
  std::ifstream in(P(fileName), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class TRecordingObserver : public TSettingsObserver {
 public:
  void SettingsChanged(TSection section, int index) override { Changes.emplace_back(section, index); }
  std::vector<std::pair<TSection, int>> Changes;
};

// A document in which no field holds its default.
TKkmSettings Filled() {
  TKkmSettings settings;
  for (int t = 1; t <= TaxCount; ++t) {
    settings.Tax(t) = {t % 2 == 1, "1" + std::to_string(t) + ",50", "Налог №" + std::to_string(t), "Н"};
  }
  for (int n = 1; n <= RateCount; ++n) {
    settings.Discount(n) = "0" + std::to_string(n) + ",25";
    settings.Surcharge(n) = "1" + std::to_string(n) + ",75";
  }
  for (int g = 1; g <= GroupCount; ++g) {
    settings.Group(g) = {std::to_string(g % 4), g % 2 == 0 ? std::to_string(g % 9) : "",
                         g % 2 == 1 ? std::to_string(g % 9) : ""};
  }
  return settings;
}

// What a save must write for the document, built key by key.
std::string ExpectedFile(const TKkmSettings& s) {
  std::string text = "[Налоги]\r\n";
  for (int t = 1; t <= TaxCount; ++t)
    text += "Налог" + std::to_string(t) + "=" + (s.Tax(t).Enabled ? "1" : "0") + "\r\n";
  for (int t = 1; t <= TaxCount; ++t) {
    text += "Ставка" + std::to_string(t) + "=" + s.Tax(t).Rate + "\r\n";
    text += "Наимен" + std::to_string(t) + "=" + s.Tax(t).Name + "\r\n";
  }
  for (int t = 1; t <= 3; ++t) text += "Тип" + std::to_string(t) + "=" + s.Tax(t).Kind + "\r\n";
  text += "[Скидки/Надбавки]\r\n";
  for (int n = 1; n <= RateCount; ++n) text += "Скидка" + std::to_string(n) + "=" + s.Discount(n) + "\r\n";
  for (int n = 1; n <= RateCount; ++n) text += "Надбавка" + std::to_string(n) + "=" + s.Surcharge(n) + "\r\n";
  text += "[ТовГр]\r\n";
  for (int g = 1; g <= GroupCount; ++g) {
    text += "ТовГрНал" + std::to_string(g) + "=" + s.Group(g).Tax + "\r\n";
    text += "ТовГрСкид" + std::to_string(g) + "=" + s.Group(g).Discount + "\r\n";
    text += "ТовГрНадб" + std::to_string(g) + "=" + s.Group(g).Surcharge + "\r\n";
  }
  return W(text);
}

TKkmSettings LoadedFrom(const std::string& bytes, TKkmSettings settings = Filled()) {
  ReadSettings(TProfileFile(bytes), settings);
  return settings;
}

// ---- Loading ----

TEST(SettingsFileLoad, FileAsWindowsWritesItGivesTheDocument) {
  TTempFolder folder;
  const std::string name = folder.File("shop.dat");
  // "[Налоги]\r\nНалог1=1\r\n" spelt out byte by byte, the rest through the codec.
  std::string bytes = "[\xCD\xE0\xEB\xEE\xE3\xE8]\r\n\xCD\xE0\xEB\xEE\xE3\x31=1\r\n";
  bytes +=
      W("Налог2=0\r\nНалог3=0\r\nНалог4=1\r\n"
        "Ставка1=18,00\r\nНаимен1=НДС\r\nСтавка2=10,00\r\nНаимен2=НДС льготный\r\n"
        "Ставка3=05,00\r\nНаимен3=\r\nСтавка4=02,00\r\nНаимен4=С продаж\r\n"
        "Тип1=И\r\nТип2=Н\r\nТип3=И\r\n"
        "[Скидки/Надбавки]\r\n"
        "Скидка1=03,00\r\nСкидка2=00,00\r\nСкидка3=00,00\r\nСкидка4=00,00\r\n"
        "Скидка5=00,00\r\nСкидка6=00,00\r\nСкидка7=00,00\r\nСкидка8=07,50\r\n"
        "Надбавка1=01,00\r\nНадбавка2=00,00\r\nНадбавка3=00,00\r\nНадбавка4=00,00\r\n"
        "Надбавка5=00,00\r\nНадбавка6=00,00\r\nНадбавка7=00,00\r\nНадбавка8=12.50\r\n"
        "[ТовГр]\r\n");
  for (int g = 1; g <= GroupCount; ++g) {
    const std::string n = std::to_string(g);
    const std::string tax = g == 1 ? "1" : g == 108 ? "3" : "";
    const std::string discount = g == 1 ? "1" : "";
    const std::string surcharge = g == 108 ? "8" : "";
    bytes += W("ТовГрНал" + n + "=" + tax + "\r\nТовГрСкид" + n + "=" + discount + "\r\nТовГрНадб" + n + "=" +
               surcharge + "\r\n");
  }
  Put(name, bytes);

  TKkmSettings expected;
  expected.Tax(1) = {true, "18,00", "НДС", "И"};
  expected.Tax(2) = {false, "10,00", "НДС льготный", "Н"};
  expected.Tax(3) = {false, "05,00", "", "И"};
  expected.Tax(4) = {true, "02,00", "С продаж", "Н"};
  expected.Discount(1) = "03,00";
  expected.Discount(8) = "07,50";
  expected.Surcharge(1) = "01,00";
  expected.Surcharge(8) = "12.50";  // taken as it stands
  expected.Group(1) = {"1", "1", ""};
  expected.Group(108) = {"3", "", "8"};

  TKkmSettings settings = Filled();
  TRecordingObserver observer;
  settings.Watch(&observer);
  TRecordingMessages messages;
  EXPECT_TRUE(LoadSettingsFile(name, settings, messages));
  EXPECT_EQ(settings, expected);
  EXPECT_TRUE(messages.Shown.empty());
  const std::vector<std::pair<TSection, int>> changes = {
      {TSection::Taxes, 0}, {TSection::Discounts, 0}, {TSection::Surcharges, 0}, {TSection::Groups, 0}};
  EXPECT_EQ(observer.Changes, changes);
}

TEST(SettingsFileLoad, MissingKeysGiveTheDefaults) {
  TKkmSettings fixedKind = Filled();
  fixedKind.Tax(4).Kind = "Н";
  const TKkmSettings loaded = LoadedFrom(W("[Налоги]\r\nНалог2=1\r\nНаимен3=Третий\r\n"), fixedKind);
  TKkmSettings expected;
  expected.Tax(2).Enabled = true;
  expected.Tax(3).Name = "Третий";
  EXPECT_EQ(loaded, expected);

  // An empty file, too; tax 4's kind is never read.
  TKkmSettings odd = Filled();
  odd.Tax(4).Kind = "x";
  const TKkmSettings empty = LoadedFrom("", odd);
  EXPECT_EQ(empty.Tax(4).Kind, "x");
  for (int t = 1; t <= 3; ++t) EXPECT_EQ(empty.Tax(t), (TTaxSetting{false, "00,00", "", "И"}));
  EXPECT_EQ(empty.Discounts, TKkmSettings().Discounts);
  EXPECT_EQ(empty.Surcharges, TKkmSettings().Surcharges);
  EXPECT_EQ(empty.Groups, TKkmSettings().Groups);
}

TEST(SettingsFileLoad, FileWithoutGroupSectionUnbindsEveryGroup) {
  std::string bytes = ExpectedFile(Filled());
  bytes.erase(bytes.find(W("[ТовГр]")));
  const TKkmSettings loaded = LoadedFrom(bytes);
  EXPECT_EQ(loaded.Taxes, Filled().Taxes);
  for (int g = 1; g <= GroupCount; ++g) EXPECT_EQ(loaded.Group(g), TGroupBinding{}) << g;
}

TEST(SettingsFileLoad, EnableFlagsAreWholeNumbers) {
  const auto enabled = [](const std::string& value) {
    return LoadedFrom(W("[Налоги]\r\nНалог1=" + value + "\r\n")).Tax(1).Enabled;
  };
  EXPECT_TRUE(enabled("0x1"));
  EXPECT_FALSE(enabled("yes"));
  for (const char* on : {"1", "2", "-1", "+7", "0X1f", "0xA", "007", " 1 ", "\"1\"", "99999999999999999999"}) {
    EXPECT_TRUE(enabled(on)) << on;
  }
  for (const char* off : {"0", "00", "0x0", "-0", "", "0x", "1a", "0x1g", "1 1", "true", "+", "1,0", "١"}) {
    EXPECT_FALSE(enabled(off)) << off;
  }
}

TEST(SettingsFileLoad, ValuesAreTakenAsTheyStand) {
  const std::string longName = "Налог на добавленную стоимость";  // 30 characters
  std::string tooLong;
  for (int i = 0; i < 3000; ++i) tooLong += "Я";
  const TKkmSettings loaded =
      LoadedFrom(W("[налоги]\r\n"
                   "НАИМЕН1=" +
                   longName +
                   "\r\n"
                   "  Наимен2 \t=  \"  в кавычках  \"  \r\n"
                   "Наимен3=  без кавычек\t\r\n"
                   "Наимен4=" +
                   tooLong +
                   "\r\n"
                   "Ставка1='12,5'\r\n"
                   "Тип1=X\r\n"
                   "[ТОВГР]\r\nтовгрнал5= 7 \r\n"));
  EXPECT_EQ(loaded.Tax(1).Name, longName);
  EXPECT_EQ(loaded.Tax(2).Name, "  в кавычках  ");
  EXPECT_EQ(loaded.Tax(3).Name, "без кавычек");
  EXPECT_EQ(loaded.Tax(4).Name, std::string(tooLong, 0, 2047 * 2));  // 2047 characters of two UTF-8 bytes
  EXPECT_EQ(loaded.Tax(1).Rate, "12,5");
  EXPECT_EQ(loaded.Tax(1).Kind, "X");
  EXPECT_EQ(loaded.Group(5).Tax, "7");
}

std::string Utf16(std::string_view utf8, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char32_t c : DecodeUtf8(utf8)) {
    const char high = static_cast<char>(c >> 8);
    const char low = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// The same settings as other editors save them: UTF-16 of either byte order with its
// mark (Notepad writes no line end after the last line), UTF-8 with and without one. An
// edit saved over such a file keeps what the file is written in, and its other lines,
// and reloads as edited; so do names with outer blanks and quotes.
// Mended: the save wrote Windows-1251 into a Unicode file, and the edit was lost.
TEST(SettingsFileLoad, FilesInUtf16AndUtf8LoadAndSaveOverAsWhatTheyAre) {
  const std::string utf8 = "; ☃\r\n" + Cp1251ToUtf8(ExpectedFile(Filled()));
  const std::string lastLine = utf8.substr(0, utf8.size() - 2);
  TTempFolder folder;
  struct TCase {
    const char* Name;
    std::string Bytes;
  };
  const TCase cases[] = {{"utf16.dat", Utf16(utf8, false)},
                         {"utf16-no-last-line-end.dat", Utf16(lastLine, false)},
                         {"utf16be.dat", Utf16(lastLine, true)},
                         {"utf8-mark.dat", "\xEF\xBB\xBF" + utf8},
                         {"utf8.dat", utf8},
                         {"cp1251.dat", ExpectedFile(Filled())}};
  TKkmSettings edited = Filled();
  for (int g = 1; g <= GroupCount; ++g) edited.Group(g) = {};
  edited.Discount(3) = "33,33";
  edited.Tax(1).Name = "НДС ";
  edited.Tax(2).Name = "\"Сбор\"";
  for (const TCase& c : cases) {
    const std::string name = folder.File(c.Name);
    Put(name, c.Bytes);
    TKkmSettings loaded;
    TRecordingMessages messages;
    ASSERT_TRUE(LoadSettingsFile(name, loaded, messages)) << c.Name;
    EXPECT_EQ(loaded, Filled()) << c.Name;
    ASSERT_TRUE(SaveSettingsFile(name, edited, messages)) << c.Name;
    ASSERT_TRUE(LoadSettingsFile(name, loaded, messages)) << c.Name;
    EXPECT_EQ(loaded, edited) << c.Name;
    EXPECT_TRUE(messages.Shown.empty()) << c.Name;
    const std::string saved = Get(name);
    EXPECT_EQ(SettingsFileEncoding(saved), SettingsFileEncoding(c.Bytes)) << c.Name;
    EXPECT_EQ(saved.substr(0, 2), c.Bytes.substr(0, 2)) << c.Name;
    if (SettingsFileEncoding(saved) != TFileEncoding::Cp1251) {
      EXPECT_EQ(UnicodeFileText(saved, SettingsFileEncoding(saved)).substr(0, 7), "; ☃\r\n") << c.Name;
    }
  }
  // The names keep their blanks and quotes as Windows' profile functions read them.
  EXPECT_NE(Get(folder.File("cp1251.dat")).find(W("Наимен1=\"НДС \"\r\n")), std::string::npos);
  EXPECT_NE(Get(folder.File("cp1251.dat")).find(W("Наимен2=\"\"Сбор\"\"\r\n")), std::string::npos);
  // "[ТовГр]" in Windows-1251 next to text that reads as UTF-8 ("Ð¢" is valid UTF-8
  // when read byte for byte): the program's own encoding wins.
  const std::string mixed = W("[ТовГр]\r\nТовГрНал1=2\r\n") + "; \xC3\xA9\r\n";
  EXPECT_EQ(Cp1251ToUtf8(SettingsFileText(mixed)), Cp1251ToUtf8(mixed));
}

// The register section follows the document's origin in every encoding and with the
// file's own line ends: added at the end, kept byte for byte when it names the same
// register, written anew for another, and gone for a document that never met one, which
// then saves as a file without it does.
TEST(SettingsFileSave, TheRegisterSectionFollowsTheOriginInTheFilesOwnWriting) {
  const TRegisterOrigin first{"37", "1.0.4", "2026-12-10 14:03", "COM7"};
  const TRegisterOrigin second{"05", "1.0.5", "2026-12-11 09:30", "/dev/ttyUSB0"};
  const std::string crlf = "; ☃\r\n" + Cp1251ToUtf8(ExpectedFile(Filled()));
  std::string lf = crlf;
  std::erase(lf, '\r');
  struct TCase {
    const char* Name;
    std::string Bytes;
    const char* LineEnd;
  };
  const TCase cases[] = {{"cp1251.dat", W(crlf), "\r\n"},
                         {"cp1251-lf.dat", W(lf), "\n"},
                         {"utf8.dat", "\xEF\xBB\xBF" + lf, "\n"},
                         {"utf16.dat", Utf16(crlf.substr(0, crlf.size() - 2), false), "\r\n"}};
  TTempFolder folder;
  for (const TCase& c : cases) {
    const std::string name = folder.File(c.Name);
    const auto text = [&name] {
      const std::string bytes = Get(name);
      const TFileEncoding encoding = SettingsFileEncoding(bytes);
      return encoding == TFileEncoding::Cp1251 ? Cp1251ToUtf8(bytes) : UnicodeFileText(bytes, encoding);
    };
    const auto loadedOrigin = [&name] {
      TKkmSettings loaded;
      TDocumentOrigin origin;
      TRecordingMessages quiet;
      EXPECT_TRUE(LoadSettingsFile(name, loaded, quiet, &origin));
      EXPECT_EQ(loaded, Filled());
      return origin;
    };
    TRecordingMessages messages;
    Put(name, c.Bytes);
    ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages));
    const std::string described = Get(name);
    ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages, first)) << c.Name;
    const std::string end = c.LineEnd;
    EXPECT_TRUE(text().ends_with("[ККМ]" + end + "Номер=37" + end + "ПО=1.0.4" + end + "Дата=2026-12-10 14:03" + end +
                                 "Порт=COM7" + end))
        << c.Name;
    EXPECT_EQ(SettingsFileEncoding(Get(name)), SettingsFileEncoding(described)) << c.Name;
    EXPECT_EQ(loadedOrigin(), first) << c.Name;
    const std::string withFirst = Get(name);
    ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages, first));
    EXPECT_EQ(Get(name), withFirst) << c.Name;
    ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages, second));
    EXPECT_EQ(loadedOrigin(), second) << c.Name;
    EXPECT_EQ(text().find("Номер=37"), std::string::npos) << c.Name;
    ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages));
    EXPECT_EQ(Get(name), described) << c.Name;
    EXPECT_EQ(loadedOrigin(), std::nullopt) << c.Name;
    EXPECT_TRUE(messages.Shown.empty()) << c.Name;
  }
}

// Mended: a file picked by mistake under "Все файлы" emptied the document silently.
TEST(SettingsFileLoad, AFileWithoutSettingsLoadsTheDefaultsAndSaysSo) {
  TTempFolder folder;
  const std::string name = folder.File("notes.txt");
  Put(name, "[Other]\r\nkey=value\r\n");
  TKkmSettings loaded = Filled();
  TRecordingMessages messages;
  ASSERT_TRUE(LoadSettingsFile(name, loaded, messages));
  EXPECT_EQ(loaded, LoadedFrom("", Filled()));
  const std::vector<TRecordingMessages::TShown> told = {
      {TMessageKind::Information, "В файле " + name + " нет установок ККМ."}};
  EXPECT_EQ(messages.Shown, told);
  // One section is enough to be a settings file.
  Put(name, W("[ТовГр]\r\n"));
  messages.Shown.clear();
  ASSERT_TRUE(LoadSettingsFile(name, loaded, messages));
  EXPECT_TRUE(messages.Shown.empty());
}

TEST(SettingsFileLoad, UnreadableFileChangesNothing) {
  TTempFolder folder;
  for (const std::string& name : {folder.File("missing.dat"), Utf8(folder.Path), folder.File("no/such.dat")}) {
    TKkmSettings settings = Filled();
    TRecordingObserver observer;
    settings.Watch(&observer);
    TRecordingMessages messages;
    EXPECT_FALSE(LoadSettingsFile(name, settings, messages));
    EXPECT_EQ(settings, Filled());
    EXPECT_TRUE(observer.Changes.empty());
    const std::vector<TRecordingMessages::TShown> shown = {{TMessageKind::Error, "Не удается прочитать файл " + name}};
    EXPECT_EQ(messages.Shown, shown);
  }
  EXPECT_EQ(folder.Names(), std::set<std::string>{});
}

// ---- Saving ----

TEST(SettingsFileSave, NewFileHoldsEveryKeyInOrder) {
  TTempFolder folder;
  const std::string name = folder.File("новый.dat");
  for (const TKkmSettings& settings : {TKkmSettings(), Filled()}) {
    fs::remove(P(name));
    TRecordingMessages messages;
    EXPECT_TRUE(SaveSettingsFile(name, settings, messages));
    EXPECT_TRUE(messages.Shown.empty());
    const std::string bytes = Get(name);
    EXPECT_EQ(bytes, ExpectedFile(settings));
    EXPECT_EQ(SettingsFileEntries(settings).size(), 15u + 16u + 324u);
    TKkmSettings loaded;
    ReadSettings(TProfileFile(bytes), loaded);
    EXPECT_EQ(loaded, settings);
  }
  // Empty values are written, not left out.
  EXPECT_NE(Get(name).find(W("\r\nТовГрСкид1=\r\nТовГрНадб1=1\r\n")), std::string::npos);
  EXPECT_EQ(Get(name).rfind(W("\r\nТовГрНадб108=\r\n")), Get(name).size() - W("\r\nТовГрНадб108=\r\n").size());
  EXPECT_EQ(folder.Names(), std::set<std::string>{"новый.dat"});
}

TEST(SettingsFileSave, ExistingFileKeepsItsOtherContent) {
  TTempFolder folder;
  const std::string name = folder.File("shop.dat");
  const std::string before =
      W("; written by hand\r\n"
        "[Касса]\r\nНомер=7\r\n"
        "[налоги]\r\nналог1=1\r\nСвой ключ=оставить\r\n;после ключей\r\n"
        "[ТовГр]\n"
        "ТовГрНал2=3\n");
  Put(name, before);
  TKkmSettings settings;
  settings.Group(2).Tax = "1";
  TRecordingMessages messages;
  ASSERT_TRUE(SaveSettingsFile(name, settings, messages));

  std::string taxKeys;
  for (const char* key : {"Налог2=0", "Налог3=0", "Налог4=0", "Ставка1=00,00", "Наимен1=", "Ставка2=00,00", "Наимен2=",
                          "Ставка3=00,00", "Наимен3=", "Ставка4=00,00", "Наимен4=", "Тип1=И", "Тип2=И", "Тип3=И"}) {
    taxKeys += std::string(key) + "\r\n";
  }
  const std::string expectedStart =
      W("; written by hand\r\n"
        "[Касса]\r\nНомер=7\r\n"
        "[налоги]\r\nналог1=0\r\nСвой ключ=оставить\r\n" +
        taxKeys +
        ";после ключей\r\n"
        "[ТовГр]\n"
        "ТовГрНал2=1\r\n"  // replaced where it stands, the new keys after it
        "ТовГрНал1=\r\nТовГрСкид1=\r\nТовГрНадб1=\r\nТовГрСкид2=\r\n");
  const std::string after = Get(name);
  EXPECT_EQ(after.substr(0, expectedStart.size()), expectedStart);
  // The group keys continue, then the missing rate section comes last.
  const std::size_t rates = after.find(W("[Скидки/Надбавки]\r\nСкидка1=00,00\r\n"));
  ASSERT_NE(rates, std::string::npos);
  EXPECT_LT(after.find(W("ТовГрНадб108=\r\n")), rates);
  EXPECT_EQ(after.substr(after.size() - W("Надбавка8=00,00\r\n").size()), W("Надбавка8=00,00\r\n"));

  const TProfileFile file(after);
  EXPECT_EQ(file.Find(W("Касса"), W("Номер")), "7");
  EXPECT_EQ(file.Find(W("Налоги"), W("Свой ключ")), W("оставить"));
  TKkmSettings loaded = Filled();
  ReadSettings(file, loaded);
  EXPECT_EQ(loaded, settings);
}

TEST(SettingsFileSave, SavingTwiceGivesTheSameBytes) {
  TTempFolder folder;
  const std::string name = folder.File("twice.dat");
  Put(name, W("[Other]\r\nx=1\r\n[Налоги]\r\nНалог1=5\r\n"));
  TRecordingMessages messages;
  ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages));
  const std::string once = Get(name);
  ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages));
  EXPECT_EQ(Get(name), once);
  // Writing the keys one by one would have given the same file.
  TProfileFile single(W("[Other]\r\nx=1\r\n[Налоги]\r\nНалог1=5\r\n"));
  for (const TProfileEntry& entry : SettingsFileEntries(Filled())) {
    ASSERT_TRUE(single.WriteString(entry.Section, entry.Key, entry.Value));
  }
  EXPECT_EQ(single.Bytes(), once);
}

#ifndef _WIN32
// Windows has no such permission bits, and symbolic links there need a privilege.
TEST(SettingsFileSave, FileKeepsItsPermissionsAndLinksStayLinks) {
  TTempFolder folder;
  const std::string name = folder.File("real.dat");
  Put(name, "");
  fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::string link = folder.File("link.dat");
  fs::create_symlink(name, link);
  TRecordingMessages messages;
  ASSERT_TRUE(SaveSettingsFile(link, Filled(), messages));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Get(name), ExpectedFile(Filled()));
  EXPECT_EQ(fs::status(name).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"link.dat", "real.dat"}));
}
#endif

void ExpectSaveFails(const std::string& name, const TKkmSettings& settings = Filled()) {
  TRecordingMessages messages;
  EXPECT_FALSE(SaveSettingsFile(name, settings, messages));
  const std::vector<TRecordingMessages::TShown> shown = {{TMessageKind::Error, "Unable to write to " + name}};
  EXPECT_EQ(messages.Shown, shown);
}

// The temporary file of a save is made anew: a stray file of its name is never
// written over, and another name is taken.
TEST(SettingsFileSave, AStrayTemporaryFileIsLeftAlone) {
  TTempFolder folder;
  const std::string name = folder.File("shop.dat");
  Put(name, W("[Налоги]\r\nНалог1=0\r\n"));
  Put(name + ".~0", "stray");
  TRecordingMessages messages;
  ASSERT_TRUE(SaveSettingsFile(name, Filled(), messages));
  EXPECT_EQ(Get(name + ".~0"), "stray");
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"shop.dat", "shop.dat.~0"}));
  TKkmSettings loaded;
  ASSERT_TRUE(LoadSettingsFile(name, loaded, messages));
  EXPECT_EQ(loaded, Filled());
}

TEST(SettingsFileSave, FailureLeavesTheOldFileAsItWas) {
  TTempFolder folder;
  // A folder in place of the file, and a file in a folder that does not exist.
  fs::create_directory(P(folder.File("folder.dat")));
  ExpectSaveFails(folder.File("folder.dat"));
  EXPECT_TRUE(fs::is_directory(P(folder.File("folder.dat"))));
  ExpectSaveFails(folder.File("missing/shop.dat"));
  EXPECT_EQ(folder.Names(), std::set<std::string>{"folder.dat"});

  const std::string name = folder.File("shop.dat");
  const std::string old = W("[Налоги]\r\nНалог1=1\r\n;keep me\r\n");
  Put(name, old);
#ifndef _WIN32
  // The disk refuses the new content half way: the old file stays and no
  // temporary file is left behind.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ExpectSaveFails(name);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(Get(name), old);
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"folder.dat", "shop.dat"}));
#endif

  // A value that would break the file is not written at all, and the message names
  // its field.
  const std::pair<std::function<void(TKkmSettings&)>, std::string> breaks[] = {
      {[](TKkmSettings& s) { s.Tax(2).Name = "two\nlines"; }, "Наименование налога 2"},
      {[](TKkmSettings& s) { s.Discount(5) = "05,\r00"; }, "Скидка 5"},
      {[](TKkmSettings& s) { s.Group(108).Surcharge = "\n"; }, "Надбавка товарной группы 108"},
  };
  for (const auto& [spoil, field] : breaks) {
    TKkmSettings broken = Filled();
    spoil(broken);
    TRecordingMessages messages;
    EXPECT_FALSE(SaveSettingsFile(name, broken, messages));
    const std::vector<TRecordingMessages::TShown> shown = {
        {TMessageKind::Error, "Неверное значение: " + field + " содержит перевод строки"}};
    EXPECT_EQ(messages.Shown, shown);
    EXPECT_EQ(Get(name), old);
  }
}

}  // namespace
