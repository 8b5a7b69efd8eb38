#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "document/Cp1251.h"
#include "settingsfile/ProfileFile.h"

namespace {

// The file's bytes are Windows-1251; the cases are written in UTF-8 and converted.
std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

std::optional<std::string> Read(std::string_view file, std::string_view section, std::string_view key) {
  return TProfileFile(W(file)).Find(W(section), W(key));
}

std::string Written(std::string_view before, const std::vector<TProfileEntry>& entries) {
  TProfileFile file(W(before));
  for (const TProfileEntry& entry : entries) {
    EXPECT_TRUE(file.WriteString(W(entry.Section), W(entry.Key), W(entry.Value)));
  }
  return file.Bytes();
}

// ---- Reading ----

// In Windows-1251 and in UTF-8 alike, where Unicode files are updated.
TEST(ProfileFileRead, SectionsAndKeysMatchWithoutRegardToCase) {
  for (const TProfileCharset charset : {TProfileCharset::Cp1251, TProfileCharset::Utf8}) {
    const auto read = [charset](std::string_view file, std::string_view section, std::string_view key) {
      const auto bytes = [charset](std::string_view text) {
        return charset == TProfileCharset::Utf8 ? std::string(text) : W(text);
      };
      return TProfileFile(bytes(file), charset).Find(bytes(section), bytes(key));
    };
    EXPECT_EQ(read("[Settings]\r\nColour=red\r\n", "sETTINGS", "COLOUR"), "red");
    EXPECT_EQ(read("[НАЛОГИ]\r\nналог1=1\r\n", "Налоги", "НаЛоГ1"), "1");
    EXPECT_EQ(read("[Ёлка]\r\nёж=2\r\nЯРУС=3\r\n", "ёЛКА", "ЁЖ"), "2");
    EXPECT_EQ(read("[Ёлка]\r\nЯРУС=3\r\n", "ёлка", "ярус"), "3");
    // Only letter pairs fold: Ђ and ђ are different names, and so are Ш and и, whose
    // UTF-8 bytes differ by as much as a pair's.
    EXPECT_EQ(read("[A]\r\nЂ=3\r\n", "a", "ђ"), std::nullopt);
    EXPECT_EQ(read("[A]\r\nШ=3\r\n", "a", "и"), std::nullopt);
    // Folding is by letter, not by byte distance: a Latin letter never matches a Cyrillic one.
    EXPECT_EQ(read("[A]\r\nA=4\r\n", "А", "А"), std::nullopt);
  }
}

TEST(ProfileFileRead, BlanksAroundKeysAndValuesAreDropped) {
  EXPECT_EQ(Read("[A]\r\n \t\vkey \t= \v value with  inner blanks \t\v\r\n", "A", "key"), "value with  inner blanks");
  EXPECT_EQ(Read("[A]\r\nkey=   \r\n", "A", "key"), "");
  // Other control characters are data.
  EXPECT_EQ(Read("[A]\r\nkey=\fx\f\r\n", "A", "key"), "\fx\f");
}

TEST(ProfileFileRead, OnePairOfMatchingOuterQuotesIsDropped) {
  const std::string file =
      "[Q]\r\n"
      "double=\"a b\"\r\n"
      "single='x'\r\n"
      "mixed=\"x'\r\n"
      "lone=\"\r\n"
      "empty=\"\"\r\n"
      "outside=  \" padded \"  \r\n"
      "twice=\"\"a\"\"\r\n"
      "inner=a\"b\"\r\n";
  EXPECT_EQ(Read(file, "Q", "double"), "a b");
  EXPECT_EQ(Read(file, "Q", "single"), "x");
  EXPECT_EQ(Read(file, "Q", "mixed"), "\"x'");
  EXPECT_EQ(Read(file, "Q", "lone"), "\"");
  EXPECT_EQ(Read(file, "Q", "empty"), "");
  EXPECT_EQ(Read(file, "Q", "outside"), " padded ");
  EXPECT_EQ(Read(file, "Q", "twice"), "\"a\"");
  EXPECT_EQ(Read(file, "Q", "inner"), "a\"b\"");
  // Names keep their quotation marks.
  EXPECT_EQ(Read("[\"S\"]\r\n'k'=1\r\n", "\"S\"", "'k'"), "1");
  EXPECT_EQ(Read("[\"S\"]\r\n'k'=1\r\n", "S", "k"), std::nullopt);
}

// Every value written in the form ValueReadBackAs gives comes back as it was, and
// only values a read would change are put in quotes.
TEST(ProfileFileRead, ValueReadBackAsSurvivesARead) {
  struct TCase {
    std::string Value;
    bool Quoted;
  };
  const TCase cases[] = {{"", false},          {"НДС", false},  {" НДС", true}, {"НДС  ", true},
                         {"\tx\v", true},      {"\"x\"", true}, {"'x'", true},  {"\"x'", false},
                         {"a \"b\" c", false}, {"\"", false},   {"\" \"", true}};
  for (const TCase& c : cases) {
    const std::string written = ValueReadBackAs(c.Value);
    EXPECT_EQ(written != c.Value, c.Quoted) << c.Value;
    TProfileFile file;
    ASSERT_TRUE(file.WriteString("S", "K", written)) << c.Value;
    EXPECT_EQ(file.Find("S", "K"), c.Value) << c.Value;
  }
}

TEST(ProfileFileRead, CommentsAreWholeLinesOnly) {
  const std::string file = "[A]\r\n;k1=1\r\n \t;k2=2\r\nk3=a ;b\r\n#k4=4\r\n";
  EXPECT_EQ(Read(file, "A", "k1"), std::nullopt);
  EXPECT_EQ(Read(file, "A", ";k1"), std::nullopt);
  EXPECT_EQ(Read(file, "A", "k2"), std::nullopt);
  EXPECT_EQ(Read(file, "A", "k3"), "a ;b");
  EXPECT_EQ(Read(file, "A", "#k4"), "4");
  EXPECT_EQ(Read("[A]\r\n;comment\r\n[B]\r\nk=1\r\n", "B", "k"), "1");
}

TEST(ProfileFileRead, SectionHeaders) {
  EXPECT_EQ(Read("  \t[ Name \t] ignored text\r\nk=1\r\n", "Name", "k"), "1");
  EXPECT_EQ(Read("[Open\r\nk=2\r\n", "Open", "k"), "2");
  EXPECT_EQ(Read("[a]b]\r\nk=3\r\n", "a", "k"), "3");
  // A section runs to the next header.
  EXPECT_EQ(Read("[A]\r\n[B]\r\nk=4\r\n", "A", "k"), std::nullopt);
}

TEST(ProfileFileRead, OnlyKeyLinesInsideSectionsAreFound) {
  const std::string file = "k=0\r\n[A]\r\nnot a key\r\nx=1\r\n";
  EXPECT_EQ(Read(file, "A", "k"), std::nullopt);
  EXPECT_EQ(Read(file, "A", "not a key"), std::nullopt);
  EXPECT_EQ(Read(file, "A", "x"), "1");
  EXPECT_EQ(Read(file, "", "k"), std::nullopt);
  // The key ends at the first '='; the value may hold more of them.
  EXPECT_EQ(Read("[A]\r\nk=a=b\r\n", "A", "k"), "a=b");
}

TEST(ProfileFileRead, FirstDuplicateWins) {
  const std::string file = "[A]\r\nk=1\r\nK=2\r\n[B]\r\n[a]\r\nk=3\r\nm=4\r\n";
  EXPECT_EQ(Read(file, "A", "k"), "1");
  EXPECT_EQ(Read(file, "A", "m"), std::nullopt);  // only the first [A] is searched
}

TEST(ProfileFileRead, DefaultWhenNotFoundLosesTrailingSpacesOnly) {
  const TProfileFile file(W("[A]\r\nk=1\r\n"));
  EXPECT_EQ(file.GetString("A", "k", "default"), "1");
  EXPECT_EQ(file.GetString("A", "missing", "x  "), "x");
  EXPECT_EQ(file.GetString("B", "k", "  x\t "), "  x\t");
  EXPECT_EQ(TProfileFile().GetString("A", "k", "00,00"), "00,00");
  // A key that is there, even with an empty value, is not replaced by the default.
  EXPECT_EQ(TProfileFile("[A]\r\nk=\r\n").GetString("A", "k", "d"), "");
}

TEST(ProfileFileRead, ValuesAreCutAt2047Characters) {
  const std::string exact(MaxProfileValue, 'a');
  const std::string longer(3000, 'b');
  EXPECT_EQ(Read("[A]\r\nk=" + exact + "\r\n", "A", "k"), exact);
  EXPECT_EQ(Read("[A]\r\nk=" + longer + "\r\n", "A", "k"), longer.substr(0, 2047));
  EXPECT_EQ(Read("[A]\r\nk=\"" + longer + "\"\r\n", "A", "k"), longer.substr(0, 2047));
  EXPECT_EQ(TProfileFile().GetString("A", "k", longer), longer.substr(0, 2047));
}

TEST(ProfileFileRead, AllLineEndsReadTheSame) {
  for (const std::string end : {"\r\n", "\n", "\r"}) {
    const std::string file = "[A]" + end + "k=1" + end + end + "m=2" + end + "[B]" + end + "last=3";
    EXPECT_EQ(Read(file, "A", "k"), "1") << end.size();
    EXPECT_EQ(Read(file, "A", "m"), "2") << end.size();
    EXPECT_EQ(Read(file, "B", "last"), "3") << end.size();
  }
  EXPECT_EQ(Read("[A]\nk=1\r\rm=2\r\n", "A", "m"), "2");
}

TEST(ProfileFileRead, ByteOrderMarkIsPartOfTheFirstLine) {
  EXPECT_EQ(TProfileFile("\xEF\xBB\xBF[A]\r\nk=1\r\n").Find("A", "k"), std::nullopt);
  EXPECT_EQ(TProfileFile("\xEF\xBB\xBF\r\n[A]\r\nk=1\r\n").Find("A", "k"), "1");
}

// ---- Writing ----

TEST(ProfileFileWrite, NewOrEmptyFile) {
  EXPECT_EQ(Written("", {{"Налоги", "Налог1", "1"}}), W("[Налоги]\r\nНалог1=1\r\n"));
  EXPECT_EQ(Written("", {{"A", "k", ""}}), "[A]\r\nk=\r\n");
  EXPECT_EQ(W("[Налоги]"), "[\xCD\xE0\xEB\xEE\xE3\xE8]");  // what goes on disk
}

TEST(ProfileFileWrite, MissingSectionIsAppendedAtTheEnd) {
  EXPECT_EQ(Written("[A]\r\na=1\r\n", {{"B", "b", "2"}}), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");
  EXPECT_EQ(Written("[A]\r\na=1", {{"B", "b", "2"}}), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");
  EXPECT_EQ(Written("[A]\r\na=1\n\n", {{"B", "b", "2"}}), "[A]\r\na=1\n\n[B]\r\nb=2\r\n");
  EXPECT_EQ(Written(";only a comment", {{"B", "b", "2"}, {"C", "c", "3"}, {"B", "d", "4"}}),
            ";only a comment\r\n[B]\r\nb=2\r\nd=4\r\n[C]\r\nc=3\r\n");
}

TEST(ProfileFileWrite, MissingKeyGoesAfterTheLastKeyLineOfItsSection) {
  EXPECT_EQ(Written("[A]\r\na=1\r\n;c\r\n\r\n[B]\r\nb=1\r\n", {{"A", "n", "2"}, {"A", "m", "3"}}),
            "[A]\r\na=1\r\nn=2\r\nm=3\r\n;c\r\n\r\n[B]\r\nb=1\r\n");
  // Unknown lines between and after keys stay where they are.
  EXPECT_EQ(Written("[A]\r\njunk\r\na=1\r\nmore junk\r\n", {{"A", "n", "2"}}),
            "[A]\r\njunk\r\na=1\r\nn=2\r\nmore junk\r\n");
  // A section without keys gets the key right after its header.
  EXPECT_EQ(Written("[A]\r\n;c\r\n[B]\r\n", {{"A", "k", "1"}}), "[A]\r\nk=1\r\n;c\r\n[B]\r\n");
  EXPECT_EQ(Written("[A]", {{"A", "k", "1"}}), "[A]\r\nk=1\r\n");
  EXPECT_EQ(Written("[A]\r\na=1", {{"A", "k", "1"}}), "[A]\r\na=1\r\nk=1\r\n");
  // Only the first of two sections of the same name takes new keys.
  EXPECT_EQ(Written("[A]\r\na=1\r\n[B]\r\n[a]\r\nb=2\r\n", {{"A", "c", "3"}}),
            "[A]\r\na=1\r\nc=3\r\n[B]\r\n[a]\r\nb=2\r\n");
  // Keys before the first section do not count as the section's keys.
  EXPECT_EQ(Written("k=0\r\n[A]\r\n", {{"A", "k", "1"}}), "k=0\r\n[A]\r\nk=1\r\n");
}

TEST(ProfileFileWrite, ExistingKeyIsReplacedWhereItStands) {
  EXPECT_EQ(Written("[A]\r\n  Key \t= old \r\nnext=1\r\n", {{"a", "KEY", "new"}}), "[A]\r\nKey=new\r\nnext=1\r\n");
  EXPECT_EQ(Written("[A]\r\nk=1\r\nk=2\r\n", {{"A", "K", "3"}}), "[A]\r\nk=3\r\nk=2\r\n");
  EXPECT_EQ(Written("[A]\r\nk=1", {{"A", "k", "2"}}), "[A]\r\nk=2\r\n");
  EXPECT_EQ(Written("[A]\r\nk=1\r\n", {{"A", "k", ""}}), "[A]\r\nk=\r\n");
  // Values go in as they are.
  EXPECT_EQ(Written("[A]\r\nk=1\r\n", {{"A", "k", " \"q\" ;x "}}), "[A]\r\nk= \"q\" ;x \r\n");
}

TEST(ProfileFileWrite, OtherLinesAreKeptByteForByte) {
  const std::string before = "top=0\nodd line\r[A]   ; note\nk=1\n\t;comment\r\n\x01\xFF junk\r\n[B]\rx = 1 \r";
  TProfileFile file(before);  // raw bytes: no conversion on the way in
  ASSERT_TRUE(file.WriteString("A", "k", "2"));
  EXPECT_EQ(file.Bytes(), "top=0\nodd line\r[A]   ; note\nk=2\r\n\t;comment\r\n\x01\xFF junk\r\n[B]\rx = 1 \r");
  TProfileFile untouched(before);
  EXPECT_TRUE(untouched.WriteStrings({}));
  EXPECT_EQ(untouched.Bytes(), before);
}

TEST(ProfileFileWrite, WorkedExample) {
  EXPECT_EQ(Written(";note\r\n[Налоги]\r\nНалог1=1\r\n;end\r\n",
                    {{"Налоги", "Ставка1", "12,50"}, {"Налоги", "налог1", "0"}, {"ТовГр", "ТовГрНал1", ""}}),
            W(";note\r\n[Налоги]\r\nНалог1=0\r\nСтавка1=12,50\r\n;end\r\n[ТовГр]\r\nТовГрНал1=\r\n"));
}

TEST(ProfileFileWrite, EntriesThatWouldBreakTheFileAreRefused) {
  const std::string before = "[A]\r\nk=1\r\n";
  const std::vector<TProfileEntry> refused = {
      {"A", "k", "two\r\nlines"}, {"A", "k", "cr\r"}, {"A", "k", "lf\n"}, {"A", "a=b", "1"}, {"A", ";k", "1"},
      {"A", "[k", "1"},           {"A]", "k", "1"},   {"A", "", "1"},     {"", "k", "1"},    {"A", " k", "1"},
      {"A", "k\t", "1"},          {"A\n", "k", "1"},
  };
  for (const TProfileEntry& entry : refused) {
    TProfileFile file(before);
    EXPECT_FALSE(file.WriteString(entry.Section, entry.Key, entry.Value)) << entry.Section << "/" << entry.Key;
    EXPECT_EQ(file.Bytes(), before);
  }
  // One bad entry refuses the whole batch.
  TProfileFile file(before);
  const std::vector<TProfileEntry> batch = {{"A", "k", "2"}, {"B", "m", "bad\n"}};
  EXPECT_FALSE(file.WriteStrings(batch));
  EXPECT_EQ(file.Bytes(), before);
  EXPECT_EQ(file.Find("A", "k"), "1");
}

TEST(ProfileFileWrite, BatchEqualsWritingOneAtATime) {
  const std::string before =
      "orphan=1\r\n[Налоги]\nналог1 = 5\n;c\r\n[Other]\r\nx=1\r\n[НАЛОГИ]\r\nСтавка1=9\r\n[ТовГр]\r\nunknown";
  std::vector<TProfileEntry> entries;
  for (const char* section : {"Налоги", "ТовГр", "New", "Other"}) {
    for (const char* key : {"Налог1", "Ставка1", "x", "Y", "orphan"}) entries.push_back({W(section), W(key), "v"});
  }
  entries.push_back({W("налоги"), W("СТАВКА1"), "again"});
  entries.push_back({W("new"), "y", "again"});

  TProfileFile batch(W(before));
  ASSERT_TRUE(batch.WriteStrings(entries));
  TProfileFile single(W(before));
  for (const TProfileEntry& entry : entries) ASSERT_TRUE(single.WriteString(entry.Section, entry.Key, entry.Value));
  EXPECT_EQ(batch.Bytes(), single.Bytes());

  EXPECT_EQ(batch.Find(W("Налоги"), W("ставка1")), "again");
  EXPECT_EQ(batch.Find("NEW", "Y"), "again");
  EXPECT_EQ(batch.Find("Other", "x"), "v");
  // Writing the same batch again changes nothing.
  const std::string once = batch.Bytes();
  ASSERT_TRUE(batch.WriteStrings(entries));
  EXPECT_EQ(batch.Bytes(), once);
}

}  // namespace
