// What a write reads before its question, the changes the question lists, and the
// backup it keeps before the first byte is written.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "register/PreRead.h"
#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "settingsfile/SettingsBackup.h"
#include "settingsfile/SettingsFile.h"
#include "sim/RegisterContents.h"
#include "support/TemporaryFolder.h"

namespace {

const std::string NoInterfaceBox =
    "box Не удается установить интерфейс с ККМ\r\nПричина: ККМ не ответила на свой адрес\r\nПроверьте кабель, питание "
    "ККМ и выбранный порт.";
const std::string Question = "Вы уверены что хотите записать установки в ККМ?";

// One read as the register saw it: where, and how many bytes.
struct TRange {
  std::uint16_t Address;
  std::size_t Count;
  bool operator==(const TRange&) const = default;
};

class SafeWriteTest : public TTransferTest {
 protected:
  explicit SafeWriteTest(std::int32_t version = 104) : TTransferTest(version) {
    ProgramSettings(Kkm, InUseSettings());
    Kkm.SetPurchaseCounter(0);
    View.Answers().push_back(TAnswer::Yes);
  }

  bool Write(TWriteBackup& backup) {
    return WriteSettingsToKkm(Link, Connection, Settings, View, Rules, backup, TTransferWay::Bytewise);
  }
  bool Write(TBackupFolder& folder) {
    TWriteBackupIn backup(folder);
    return Write(backup);
  }
  bool Write() { return Write(Backup); }

  // The reads the PC asked for, in order.
  std::vector<TRange> Reads() const {
    std::vector<TRange> reads;
    const auto sent = Sent();
    for (std::size_t i = 0; i + 5 < sent.size(); ++i) {
      if (sent[i].second != TParity::Mark || sent[i + 2].first != ReadCommand) continue;
      reads.push_back({static_cast<std::uint16_t>(sent[i + 3].first | sent[i + 4].first << 8), sent[i + 5].first});
    }
    return reads;
  }

  std::vector<TExchange> SettingsWrites() const {
    std::vector<TExchange> writes;
    for (const TExchange& e : Exchanges())
      if (e.Command != ReadCommand) writes.push_back(e);
    return writes;
  }

  // The bytes the pre-read must cover: the settings block without its checksum, and
  // the names of the taxes given.
  std::set<std::uint16_t> Covered(const std::vector<int>& names) const {
    std::set<std::uint16_t> bytes;
    const std::size_t block = SettingsBlockSize(LayoutTaxCount(Map));
    for (std::size_t i = 0; i < block; ++i) bytes.insert(static_cast<std::uint16_t>(Map.SurchargeTable + i));
    for (const int t : names) {
      for (int i = 1; i <= 16; ++i) bytes.insert(static_cast<std::uint16_t>(TaxNameAddress(Map, t) + i));
    }
    return bytes;
  }

  static std::set<std::uint16_t> BytesOf(const std::vector<TRange>& reads) {
    std::set<std::uint16_t> bytes;
    for (const TRange& r : reads)
      for (std::size_t i = 0; i < r.Count; ++i) bytes.insert(static_cast<std::uint16_t>(r.Address + i));
    return bytes;
  }

  // The last question asked.
  std::string Confirmation() const {
    const auto& shown = View.Shown();
    const auto question = std::find_if(shown.rbegin(), shown.rend(),
                                       [](const auto& box) { return box.Kind == TMessageKind::Confirmation; });
    return question == shown.rend() ? std::string() : question->Text;
  }

  // What a read of the register gives now, into a copy of the document as it stands.
  TKkmSettings ReadBack() {
    TKkmSettings read = Settings;
    TRecordingWindowView view;
    EXPECT_TRUE(ReadSettingsFromKkm(Link, Connection, read, view, TTransferWay::Bytewise));
    return read;
  }
};

class SafeWriteLayouts : public SafeWriteTest, public ::testing::WithParamInterface<std::int32_t> {
 protected:
  SafeWriteLayouts() : SafeWriteTest(GetParam()) {}
};

TEST_P(SafeWriteLayouts, PreReadCoversExactlyWhatTheWriteOverwritesInRangesOfSixteen) {
  Settings = FullSettings();
  View.Answers() = {TAnswer::No};
  EXPECT_FALSE(Write());

  const std::vector<TRange> reads = Reads();
  const int taxes = LayoutTaxCount(Map);
  const std::size_t block = SettingsBlockSize(taxes);
  ASSERT_EQ(reads.size(), (block + 15) / 16 + static_cast<std::size_t>(taxes));
  std::vector<int> names;
  for (int t = 1; t <= taxes; ++t) names.push_back(t);
  EXPECT_EQ(BytesOf(reads), Covered(names));
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < reads.size(); ++i) {
    EXPECT_GT(reads[i].Count, 1u) << i;
    EXPECT_LE(reads[i].Count, 16u) << i;
    if (i > 0) {
      EXPECT_GT(reads[i].Address, reads[i - 1].Address) << i;  // in the map's order
    }
    bytes += reads[i].Count;
  }
  EXPECT_EQ(bytes, Covered(names).size());  // nothing read twice

  // Nothing written, the display not touched, the status and the indicator moved on.
  EXPECT_TRUE(SettingsWrites().empty());
  EXPECT_TRUE(Backup.Saved.empty());
  EXPECT_TRUE(View.Has("status Чтение установок ККМ"));
  const int exchanges = static_cast<int>(reads.size());
  ASSERT_GE(View.Progress.size(), 2u);
  EXPECT_EQ(View.Progress.front().Total, exchanges);
  EXPECT_EQ(View.Progress[View.Progress.size() - 2].Done, exchanges);
  EXPECT_EQ(View.Progress.back().Total, 0);
  EXPECT_EQ(View.Calls.back(), "SetAll");
  EXPECT_FALSE(View.Has("ButtonDisabled"));
}

// The pre-read goes ahead of the purchase counter, and the write after it then runs as
// it always has (its traffic is pinned by the write's own tests).
TEST_P(SafeWriteLayouts, PreReadGoesAheadOfTheWriteWhichThenWritesTheDocument) {
  Settings = FullSettings();
  ASSERT_TRUE(Write());
  const std::vector<TExchange> all = Exchanges();
  const auto counter = std::find(all.begin(), all.end(), TExchange{ReadCommand, Map.PurchaseCounter, {}});
  ASSERT_NE(counter, all.end());
  EXPECT_EQ(counter - all.begin(), PreReadPlan(Map, Settings).Exchanges());
  // Every exchange before the counter is a pre-read range.
  for (auto e = all.begin(); e != counter; ++e) EXPECT_EQ(e->Command, ReadCommand);
  TKkmSettings expected = Settings;
  if (!HasFourthTax(Map)) expected.Tax(4) = {false, "", "", expected.Tax(4).Kind};
  EXPECT_EQ(ReadBack(), expected);
  EXPECT_EQ(Backup.Saved.size(), 1u);
}

// Cells that acknowledge the write and keep their value: the check after the write
// reads them back, names each field, and the write is not confirmed. The read and
// write buttons stay on, and the register's display gets its lines back.
TEST_P(SafeWriteLayouts, AWriteTheRegisterDoesNotKeepIsNotConfirmed) {
  Settings = FullSettings();
  Kkm.KeepCell(static_cast<std::uint16_t>(DiscountAddress(Map, 3) + 1));
  Kkm.KeepCell(TaxRateAddress(Map, 1));
  Kkm.KeepCell(GroupAddress(Map, 12));
  const std::vector<std::uint8_t> shown = Kkm.DisplayLine(1);
  EXPECT_FALSE(Write());
  const std::string expected =
      "Запись не подтверждена: ККМ хранит не то, что было записано.\r\n"
      "Налог 1: ставка — записано 18,00, в ККМ 28,00\r\n"
      "Скидка 3 — записано 03,00, в ККМ 00,00\r\n"
      "Группа 12: надбавка — записано 3, в ККМ —\r\n"
      "Прежние установки сохранены в файл " +
      Backup.Names.at(0);
  ASSERT_FALSE(View.Shown().empty());
  EXPECT_EQ(View.Shown().back().Kind, TMessageKind::Error);
  EXPECT_EQ(View.Shown().back().Text, expected);
  EXPECT_EQ(View.Status, "Запись не подтверждена");
  EXPECT_EQ(View.Calls.back(), "SetAll");
  EXPECT_EQ(std::count(View.Calls.begin(), View.Calls.end(), "ButtonDisabled"), 0);
  EXPECT_EQ(Kkm.DisplayLine(1), shown);
}

// Each cell that the write changes, kept alone by the register, is found by the check:
// one field off is as unconfirmed as three.
TEST_P(SafeWriteLayouts, EveryCellKeptAloneLeavesTheWriteUnconfirmed) {
  Settings = FullSettings();
  const auto before = Kkm.Memory();
  ASSERT_TRUE(Write());
  std::set<std::uint16_t> changed;
  for (const TExchange& e : SettingsWrites()) {
    const bool checksum = e.Address == Map.SettingsChecksum || e.Address == Map.SettingsChecksumCopy;
    if (e.Command == BlockCommand || checksum || e.Address >= TSimulatedRegister::FirstLineAddress) continue;
    for (std::size_t b = 0; b < e.Data.size(); ++b) {
      if (before[e.Address + b] != e.Data[b]) changed.insert(static_cast<std::uint16_t>(e.Address + b));
    }
  }
  EXPECT_GT(changed.size(), 100u);
  struct TRig : SafeWriteLayouts {
    void TestBody() override {}
    // The status a write of the full settings ends with.
    std::string WriteKeeping(std::uint16_t cell) {
      Kkm.KeepCell(cell);
      Settings = FullSettings();
      Write();
      return View.Status;
    }
  };
  for (const std::uint16_t cell : changed) EXPECT_EQ(TRig().WriteKeeping(cell), "Запись не подтверждена") << cell;
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, SafeWriteLayouts, ::testing::Values(103, 104, 105));

// The comparison reads as the pre-read does and lists what a write of the document
// would change, with no limit; it writes nothing and leaves the document as it is.
TEST_F(SafeWriteTest, ComparisonListsWhatAWriteWouldChangeAndWritesNothing) {
  struct TCase {
    std::function<void(TKkmSettings&)> Edit;
    std::string Shown;
  };
  const TCase cases[] = {
      {[](TKkmSettings&) {}, "Установки в ККМ совпадают с документом."},
      {[](TKkmSettings& s) {
         s.Discount(3) = "5";  // brought into form on a copy only
         s.Group(12).Tax = "1";
       },
       "Запись этого документа изменит в ККМ: 2 поля\r\nСкидка 3: 00,00 → 05,00\r\nГруппа 12: налог — → 1"},
  };
  for (const TCase& c : cases) {
    Kkm.ClearTraffic();
    Settings = InUseSettings();
    c.Edit(Settings);
    const TKkmSettings before = Settings;
    ASSERT_TRUE(CompareWithKkm(Link, Connection, Settings, View, Rules));
    EXPECT_EQ(View.Shown().back(), (TRecordingMessages::TShown{TMessageKind::Information, c.Shown}));
    EXPECT_EQ(Settings, before);
    EXPECT_EQ(Reads().size(), 12u + 2u);  // the block in ranges of 16, the names of the two taxes on
    EXPECT_TRUE(SettingsWrites().empty());
    EXPECT_EQ(View.Calls.back(), "SetAll");
  }
}

TEST_F(SafeWriteTest, NameIsReadOnlyOfATaxThatIsOnInTheDocumentOrInTheRegister) {
  Settings = InUseSettings();  // taxes 1 and 2 on in the register
  Settings.Tax(2).Enabled = false;
  Settings.Tax(3) = {true, "07,00", "Т3", "И"};
  View.Answers() = {TAnswer::No};
  EXPECT_FALSE(Write());
  EXPECT_EQ(BytesOf(Reads()), Covered({1, 2, 3}));
  // The tax left out counts as done.
  EXPECT_EQ(View.Progress[View.Progress.size() - 2].Done, View.Progress.front().Total);
}

TEST_F(SafeWriteTest, RangeTheRegisterWillNotReadWholeIsReadByteByByteAndTheWriteGoesOn) {
  const std::size_t refusedByte = Map.GroupTable + 20u;
  Kkm.RefuseLongReads(static_cast<std::uint16_t>(refusedByte), 1);
  const TKkmSettings held = ReadBack();
  Kkm.ClearTraffic();
  Settings = FullSettings();
  ASSERT_TRUE(Write());
  EXPECT_EQ(View.Status, "Запись OK!");

  std::vector<TRange> reads = Reads();
  const auto refused = std::find_if(reads.begin(), reads.end(), [refusedByte](const TRange& r) {
    return r.Address <= refusedByte && refusedByte < r.Address + r.Count;
  });
  ASSERT_NE(refused, reads.end());
  ASSERT_EQ(refused->Count, 16u);
  for (std::size_t i = 0; i < 16; ++i) {
    ASSERT_LT(refused + 1 + static_cast<std::ptrdiff_t>(i), reads.end());
    EXPECT_EQ(refused[1 + static_cast<std::ptrdiff_t>(i)],
              (TRange{static_cast<std::uint16_t>(refused->Address + i), 1}));
  }
  ASSERT_EQ(Backup.Saved.size(), 1u);
  EXPECT_EQ(Backup.Saved[0].Settings, held);
}

// A pre-read that cannot read a range even byte by byte is a lost link: at every range
// in turn, the register stops answering for good.
TEST_F(SafeWriteTest, LinkLostAtAnyRangeOfThePreReadWritesNothingAndKeepsNoBackup) {
  Settings = FullSettings();
  const int ranges = PreReadPlan(Map, Settings).Exchanges();
  for (int i = 0; i < ranges; ++i) {
    TSimulatedKkm run(104);
    ProgramSettings(run.Kkm, InUseSettings());
    const auto old = run.Kkm.Memory();
    run.Kkm.Inject({TFaultKind::Silence, TAnswerKind::Echo, -1, i});
    TRecordingWindowView view;
    view.Answers().push_back(TAnswer::Yes);
    TRecordingBackup backup;
    TKkmSettings settings = FullSettings();
    EXPECT_FALSE(
        WriteSettingsToKkm(run.Link, ConnectionOf(run.Link), settings, view, Rules, backup, TTransferWay::Bytewise))
        << i;
    EXPECT_TRUE(run.Kkm.Memory() == old) << i;
    EXPECT_TRUE(backup.Names.empty() && backup.Saved.empty()) << i;
    const std::vector<std::string> ending(view.Calls.end() - 4, view.Calls.end());
    EXPECT_EQ(ending, (std::vector<std::string>{NoInterfaceBox, "status Нет связи с ККМ", "SetAll", "ButtonDisabled"}))
        << i;
    EXPECT_EQ(settings, FullSettings()) << i;
  }
}

TEST_F(SafeWriteTest, QuestionListsWhatTheRegisterWillReadDifferentlyAndNamesTheBackup) {
  Settings = InUseSettings();
  Settings.Tax(1).Rate = "18,00";
  Settings.Tax(2).Enabled = false;
  Settings.Tax(2).Rate = "99,00";                                   // not written for a tax that is off
  Settings.Tax(3) = {true, "07,00", "Налог на налог и сбор", "И"};  // the register keeps 16 characters
  Settings.Discount(3) = "05,00";
  Settings.Group(12) = {"1", "", ""};
  Settings.Group(13) = {"", "2", "3"};  // a surcharge wins over a discount
  View.Answers() = {TAnswer::No};
  EXPECT_FALSE(Write());
  EXPECT_EQ(Confirmation(), Question +
                                "\r\n\r\n"
                                "Налог 1: ставка 20,00 → 18,00\r\n"
                                "Налог 2: включен → выключен\r\n"
                                "Налог 3: выключен → включен\r\n"
                                "Налог 3: ставка — → 07,00\r\n"
                                "Налог 3: наименование — → «Налог на налог и»\r\n"
                                "Налог 3: вид — → И\r\n"
                                "Скидка 3: 00,00 → 05,00\r\n"
                                "Группа 12: налог — → 1\r\n"
                                "Группа 13: надбавка — → 3\r\n"
                                "\r\n"
                                "Прежние установки будут сохранены в файл backups/kkm1-104.dat");

  View.Calls.clear();
  Settings = ReadBack();
  View.Answers() = {TAnswer::No};
  EXPECT_FALSE(Write());
  EXPECT_NE(Confirmation().find(Question + "\r\n\r\nУстановки в ККМ не изменятся.\r\n\r\n"), std::string::npos);
}

std::tm FixedTime() { return December9(14, 32, 5); }

TEST_F(SafeWriteTest, BackupFileHoldsWhatTheRegisterHeldAndWritingItUndoesTheWrite) {
  TTemporaryFolder folder;
  TBackupFolder backup(folder.Path / "orbi7prog" / "backups", FixedTime);
  // Tax 2's name as a register programmed at its own keyboard may hold it: padded
  // with blanks, and with one in front.
  std::vector<std::uint8_t> padded(16, ' ');  // " НСП" and twelve blanks
  padded[1] = 0xCD;
  padded[2] = 0xD1;
  padded[3] = 0xCF;
  Put(static_cast<std::uint16_t>(TaxNameAddress(Map, 2) + 1), padded);
  const auto old = Kkm.Memory();
  const TKkmSettings held = ReadBack();
  Settings = FullSettings();
  ASSERT_TRUE(Write(backup));

  const std::filesystem::path file = folder.Path / "orbi7prog" / "backups" / "kkm01-104-20261209-143205.dat";
  EXPECT_NE(Confirmation().find("Прежние установки будут сохранены в файл " + Utf8FromPath(file)), std::string::npos)
      << Confirmation();
  TKkmSettings kept;
  TRecordingMessages messages;
  ASSERT_TRUE(LoadSettingsFile(Utf8FromPath(file), kept, messages));
  EXPECT_EQ(kept, held);

  // Written back, the old file restores every setting the register held, byte for byte.
  Settings = kept;
  View.Answers() = {TAnswer::Yes};
  ASSERT_TRUE(Write(backup));
  const std::size_t block = SettingsBlockSize(4) + 1;
  EXPECT_TRUE(std::equal(old.begin() + Map.SurchargeTable, old.begin() + Map.SurchargeTable + block,
                         Kkm.Memory().begin() + Map.SurchargeTable));
  for (const int t : {1, 2}) {
    const auto name = TaxNameAddress(Map, t);
    EXPECT_TRUE(std::equal(old.begin() + name, old.begin() + name + 17, Kkm.Memory().begin() + name)) << t;
  }
  // The second backup did not take the first one's name.
  EXPECT_TRUE(std::filesystem::exists(folder.Path / "orbi7prog" / "backups" / "kkm01-104-20261209-143205-2.dat"));
}

TEST_F(SafeWriteTest, BackupThatCannotBeWrittenStopsTheWriteBeforeAnythingIsWritten) {
  TTemporaryFolder folder;
  std::ofstream(folder.Path / "taken") << "a file where the folder should go";
  TBackupFolder backup(folder.Path / "taken" / "backups", FixedTime);
  const auto old = Kkm.Memory();
  Settings = FullSettings();
  View.Answers() = {TAnswer::Yes};
  EXPECT_FALSE(Write(backup));
  EXPECT_TRUE(SettingsWrites().empty());
  EXPECT_TRUE(Kkm.Memory() == old);
  ASSERT_FALSE(View.Shown().empty());
  EXPECT_EQ(View.Shown().back(),
            (TRecordingMessages::TShown{TMessageKind::Warning,
                                        "Не удается сохранить прежние установки ККМ в папку " + backup.Folder() +
                                            ".\r\nЗапись установок отменена: в ККМ ничего не записано."}));
  EXPECT_EQ(View.Calls.back(), "SetAll");
  EXPECT_FALSE(View.Has("ButtonDisabled"));
}

}  // namespace
