#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "register/PreRead.h"
#include "register/TransferCommands.h"
#include "register/TransferFixture.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

const std::string ConfirmBox = "box Вы уверены что хотите записать установки в ККМ?";
// What every write does before its question: it reads what it will overwrite.
const std::vector<std::string> PreReadCalls = {"repaint toolbar", "disable toolbar and pages",
                                               "status Чтение установок ККМ", "status "};
const std::string PurchasesBox = "box ККМ содержит покупки.\r\nНеобходимо вывести контрольную ленту.";
const std::string LinkFailureBox =
    "box Не удается установить интерфейс с ККМ\r\nПричина: ККМ не ответила на свой адрес\r\nПроверьте кабель, питание "
    "ККМ и выбранный порт.";
const std::string PartialWrite =
    "\r\nЗапись установок прервана: установки в ККМ записаны не полностью. Повторите запись.";
const std::string PartialWriteBox = LinkFailureBox + PartialWrite;
const std::string NoFirmwareBox =
    "box В ККМ обнаружена версия ПО ниже 1.0.4.\r\nРекомендуется установить указанную версию.";
constexpr std::uint8_t Untouched = 0xEE;

class WriteCommandTest : public TTransferTest {
 protected:
  explicit WriteCommandTest(std::int32_t version = 104) : TTransferTest(version) {
    // Whatever the register held before, so that an unwritten byte shows.
    std::fill(Kkm.Memory().begin() + 0x0400, Kkm.Memory().begin() + 0x0600, Untouched);
    std::fill(Kkm.Memory().begin() + 0x1800, Kkm.Memory().begin() + 0x1900, Untouched);
    std::fill(Kkm.Memory().begin() + 0x2E00, Kkm.Memory().begin() + 0x2F00, Untouched);
    Kkm.Memory()[0x38D0] = Untouched;
    Kkm.SetPurchaseCounter(0);
    Put(0x1A88, Ascii("ITOG       12.50"));
    Put(0x1B28, Ascii("SMENA 3         "));
    View.Answers().push_back(TAnswer::Yes);
  }

  bool Write() { return WriteSettingsToKkm(Link, Connection, Settings, View, Rules, Backup, TTransferWay::Bytewise); }

  std::vector<TExchange> Writes(std::uint16_t address, const TBytes& bytes) const {
    std::vector<TExchange> writes;
    for (std::size_t i = 0; i < bytes.size(); ++i)
      writes.push_back({WriteCommand, static_cast<std::uint16_t>(address + i), {bytes[i]}});
    return writes;
  }

  // The exchanges from the purchase counter on: the write as it was before it read
  // ahead of its question.
  std::vector<TExchange> WriteExchanges() const {
    const std::vector<TExchange> all = Exchanges();
    const TExchange counter{ReadCommand, Map.PurchaseCounter, {}};
    return {std::find(all.begin(), all.end(), counter), all.end()};
  }

  // The calls after the confirmation; the ones before it are the pre-read's.
  std::vector<std::string> CallsAfterConfirmation() const {
    const auto question = std::find_if(View.Calls.begin(), View.Calls.end(), IsConfirmation);
    EXPECT_EQ(std::vector<std::string>(View.Calls.begin(), question), PreReadCalls);
    return {question == View.Calls.end() ? question : question + 1, View.Calls.end()};
  }
  static bool IsConfirmation(const std::string& call) { return call.starts_with(ConfirmBox); }

  std::vector<TExchange> WritesOf(std::uint8_t command) const {
    std::vector<TExchange> writes;
    for (const TExchange& e : Exchanges())
      if (e.Command == command) writes.push_back(e);
    return writes;
  }

  // A document with every kind of field filled.
  void FillDocument() {
    Settings.Tax(1) = {true, "18,00", "НДС", "И"};
    Settings.Tax(2) = {true, "10,00", "Налог с продаж", "Н"};
    Settings.Tax(3) = {true, "05,50", "T3", "И"};
    Settings.Tax(4) = {true, "01,25", "Сбор", "Н"};
    for (int n = 1; n <= RateCount; ++n) {
      Settings.Discount(n) = "0" + std::to_string(n) + ",00";
      Settings.Surcharge(n) = std::to_string(n) + "2,50";
    }
    for (int g = 1; g <= GroupCount; ++g) {
      const int rate = g % 9;
      Settings.Group(g) = {g % 4 == 0 ? "" : std::to_string(g % 4), g % 2 && rate ? std::to_string(rate) : "",
                           g % 2 == 0 && rate ? std::to_string(rate) : ""};
    }
  }

  static std::uint8_t Sum(const TBytes& bytes) {
    return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
  }
};

TEST_F(WriteCommandTest, AllTaxesDisabledWritesZeroDigitsAndNoNames) {
  Settings.Tax(2).Rate = "12,50";  // not sent for a tax that is off
  ASSERT_TRUE(Write());

  const TBytes zeros(4, 0x30);
  std::vector<TExchange> expected = {{ReadCommand, 0x1306, {}}, {ReadCommand, 0x1307, {}}};
  expected = expected + DisplayCall(WritingText, OfTaxesText);
  for (int t = 1; t <= 4; ++t)
    expected = expected + Writes(TaxKindAddress(Map, t), {0}) + Writes(TaxRateAddress(Map, t), zeros);
  TBytes rates;
  for (int n = 0; n < 8; ++n) rates = Cat(rates, Ascii("0000"));
  expected = expected + DisplayCall(WritingText, OfDiscountsText) + Writes(Map.DiscountTable, rates) +
             DisplayCall(WritingText, OfSurchargesText) + Writes(Map.SurchargeTable, rates) +
             DisplayCall(WritingText, OfGroupsText) + Writes(Map.GroupTable, TBytes(GroupCount, 0));
  // 80 zero digits: 0xF00, a checksum of 0.
  expected = expected + Writes(Map.SettingsChecksum, {0}) + Writes(Map.SettingsChecksumCopy, {0});
  const TBytes image =
      Cat(Cat(rates, rates), Cat(TBytes(GroupCount + 4, 0), Cat(zeros, Cat(zeros, Cat(zeros, zeros)))));
  expected = expected + std::vector<TExchange>{{BlockCommand, 0x043C, TBytes(image.begin(), image.begin() + 64)},
                                               {BlockCommand, 0x047C, TBytes(image.begin() + 64, image.begin() + 128)},
                                               {BlockCommand, 0x04BC, TBytes(image.begin() + 128, image.end())},
                                               {BlockCommand, 0x04FC, {0}}};
  // The check reads the settings block back, 16 bytes an exchange; no tax is on, so no name.
  for (int range = 0; range < 12; ++range)
    expected.push_back({ReadCommand, static_cast<std::uint16_t>(Map.SurchargeTable + 16 * range), {}});
  expected = expected + DisplayCall(Cat(WritingText, Ascii(" OK!"))) +
             DisplayCall(Ascii("ITOG       12.50"), Ascii("SMENA 3         "));
  EXPECT_EQ(WriteExchanges(), expected);

  EXPECT_EQ(At(Map.TaxNameTable, 4 * 18), TBytes(4 * 18, Untouched));
  EXPECT_EQ(Kkm.DisplayLine(1), Ascii("ITOG       12.50"));
  const std::vector<std::string> calls = CallsAfterConfirmation();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "repaint toolbar");
  EXPECT_EQ(calls[1], "disable toolbar and pages");
  EXPECT_EQ(calls[2], "status Запись налогов. Налог - 1");
  EXPECT_TRUE(View.Has("status Запись скидок. Скидка - 8"));
  EXPECT_TRUE(View.Has("status Запись надбавок. Надбавка - 8"));
  EXPECT_TRUE(View.Has("status Запись товарных групп. Группа - 108"));
  EXPECT_EQ(std::vector<std::string>(View.Calls.end() - 2, View.Calls.end()),
            (std::vector<std::string>{"status Запись OK!", "SetAll"}));
  EXPECT_EQ(View.Shown().size(), 1u);
  EXPECT_FALSE(View.Has("ButtonDisabled"));
}

TEST_F(WriteCommandTest, PausesBelongToTheSequence) {
  ASSERT_TRUE(Write());
  const auto sent = Records(TDirection::ToRegister);
  std::vector<TLineNs> gaps;
  for (std::size_t i = 1; i < sent.size(); ++i) gaps.push_back(sent[i].SentNs - sent[i - 1].ArrivedNs);
  const auto longer = [&](TLineNs ms) {
    return std::count_if(gaps.begin(), gaps.end(), [ms](TLineNs gap) { return gap > ms * 1'000'000; });
  };
  // 150 ms twice (the first after the counter reads), 200 ms after three blocks,
  // 600 ms for "Запись OK!"; 50 ms before each checksum byte.
  EXPECT_EQ(longer(140), 6);
  EXPECT_EQ(longer(500), 1);
  EXPECT_EQ(longer(45), 8);
}

TEST_F(WriteCommandTest, TaxesNamesKindsAndProgress) {
  FillDocument();
  Settings.Tax(2).Name = "Налог с продаж и услуг";  // 22 characters
  Settings.Tax(4).Kind = "И";                       // tax 4 is always "Н"
  Kkm.Memory()[TaxNameAddress(Map, 1) + 17] = 0x55;
  ASSERT_TRUE(Write());

  EXPECT_EQ(At(Map.TaxKindTable, 4), (TBytes{1, 2, 1, 2}));
  EXPECT_EQ(At(Map.TaxRateTable, 16), Ascii("1800100005500125"));
  TBytes nds = {0xCD, 0xC4, 0xD1};
  nds.resize(16, 0);
  EXPECT_EQ(At(TaxNameAddress(Map, 1), 18), Cat(Cat({1}, nds), {0x55}));  // the spare byte is never written
  // "Налог с продаж и" : the first 16 characters.
  EXPECT_EQ(At(TaxNameAddress(Map, 2) + 1, 16),
            (TBytes{0xCD, 0xE0, 0xEB, 0xEE, 0xE3, 0x20, 0xF1, 0x20, 0xEF, 0xF0, 0xEE, 0xE4, 0xE0, 0xE6, 0x20, 0xE8}));
  EXPECT_EQ(WritesOf(WriteCommand).size(), 4u * 22 + 64 + 108 + 2 + 6 * 4);

  // Two runs of the indicator: the pre-read's 16 range reads, then the write's with
  // the same 16 reads of its check.
  std::vector<std::vector<TRecordingWindowView::TProgress>> runs(1);
  for (const auto& step : View.Progress) {
    if (step.Total == 0) {
      runs.emplace_back();
    } else {
      runs.back().push_back(step);
    }
  }
  ASSERT_EQ(runs.size(), 3u);
  const int preRead = 12 + 4;
  const int total = 2 + 4 * 22 + 64 + 108 + 2 + 4 + 36 + preRead;
  EXPECT_EQ(runs[0].front().Total, preRead);
  EXPECT_EQ(runs[0].back().Done, preRead);
  EXPECT_EQ(runs[1].front().Total, total);
  EXPECT_EQ(runs[1].back().Done, total);
}

TEST_F(WriteCommandTest, GroupBytesChecksumAndBlockCopy) {
  Settings.Discount(3) = "03,00";
  Settings.Surcharge(8) = "08,00";
  Settings.Group(1) = {"2", "3", ""};
  Settings.Group(2) = {"1", "", "8"};
  Settings.Group(3) = {"", "", ""};
  Settings.Group(4) = {"0", "0", ""};
  ASSERT_TRUE(Write());

  EXPECT_EQ(At(Map.GroupTable, 4), (TBytes{0x9A, 0x41, 0x00, 0x80}));
  // The four-tax layout has the image's order, so the block copy is the table area byte for byte.
  const TBytes block = At(Map.SurchargeTable, 192);
  EXPECT_EQ(At(0x043C, 192), block);
  const std::uint8_t checksum = Sum(block);
  EXPECT_NE(checksum, 0);
  EXPECT_EQ(Kkm.Memory()[Map.SettingsChecksum], checksum);
  EXPECT_EQ(Kkm.Memory()[Map.SettingsChecksumCopy], checksum);
  EXPECT_EQ(Kkm.Memory()[0x04FC], checksum);
  EXPECT_EQ(Kkm.Memory()[0x04FD], Untouched);
}

TEST_F(WriteCommandTest, ReadAfterWriteGivesBackTheDocument) {
  FillDocument();
  Settings.Tax(3).Enabled = false;
  ASSERT_TRUE(Write());

  TKkmSettings read;
  read.Tax(3) = {true, "99,99", "OLD", "И"};
  for (auto& group : read.Groups) group = {"7", "15", ""};
  TRecordingWindowView readView;
  ASSERT_TRUE(ReadSettingsFromKkm(Link, Connection, read, readView, TTransferWay::Bytewise));
  TKkmSettings expected = Settings;
  expected.Tax(3).Rate.clear();
  expected.Tax(3).Name.clear();
  EXPECT_EQ(read, expected);
}

TEST_F(WriteCommandTest, PurchasesInTheRegisterStopTheWrite) {
  for (const std::uint16_t purchases : {0x0001, 0x0100}) {
    Kkm.ClearTraffic();
    View.Calls.clear();
    View.Answers().push_back(TAnswer::Yes);
    Kkm.SetPurchaseCounter(purchases);
    EXPECT_FALSE(Write());
    EXPECT_EQ(WriteExchanges(), (std::vector<TExchange>{{ReadCommand, 0x1306, {}}, {ReadCommand, 0x1307, {}}}))
        << purchases;
    EXPECT_EQ(CallsAfterConfirmation(),
              (std::vector<std::string>{"repaint toolbar", "disable toolbar and pages", PurchasesBox, "SetAll"}));
  }
  EXPECT_EQ(At(Map.SurchargeTable, 193), TBytes(193, Untouched));
  EXPECT_TRUE(Backup.Saved.empty());
}

TEST_F(WriteCommandTest, NothingIsSentWhenRefusedBeforeTheTransfer) {
  View.Answers().clear();
  View.Answers().push_back(TAnswer::No);
  EXPECT_FALSE(Write());
  // No: the pre-read has read, nothing is written and nothing kept.
  EXPECT_EQ(CallsAfterConfirmation(), (std::vector<std::string>{"SetAll"}));
  EXPECT_TRUE(WritesOf(WriteCommand).empty());
  EXPECT_TRUE(WriteExchanges().empty());
  EXPECT_TRUE(Backup.Saved.empty());

  Kkm.ClearTraffic();
  View.Calls.clear();
  Settings.Discount(2) = "1,2,3";
  EXPECT_FALSE(Write());  // the rules' own warning
  EXPECT_EQ(Rules.Shown().size(), 1u);
  EXPECT_TRUE(View.Calls.empty());

  Settings.Discount(2) = "00,00";
  for (const std::int32_t version : {0, 106}) {  // not connected, a firmware without a row
    View.Calls.clear();
    Link.UseRegister(Link.KkmAddress(), version);
    Connection = ConnectionOf(Link);
    EXPECT_FALSE(Write());
    EXPECT_EQ(View.Calls, (std::vector<std::string>{NoFirmwareBox, "ButtonDisabled"}));
  }
  EXPECT_TRUE(Kkm.Traffic().empty());
}

TEST_F(WriteCommandTest, GroupFieldWithoutAFitNumberStopsBeforeAnythingIsSent) {
  struct TCase {
    int Group;
    TGroupField Field;
    std::string Text;
    TMessageKind Kind;
    std::string Box;
  };
  const TCase cases[] = {
      {5, TGroupField::Tax, "x1", TMessageKind::Error, "'x1' is not a valid integer value"},
      {6, TGroupField::Discount, "2.5", TMessageKind::Error, "'2.5' is not a valid integer value"},
      {7, TGroupField::Surcharge, "99999999999", TMessageKind::Error, "'99999999999' is not a valid integer value"},
      {8, TGroupField::Tax, "4", TMessageKind::Plain, "Диапазон вводимых значений - 0..3"},
      {9, TGroupField::Discount, "9", TMessageKind::Plain, "Диапазон вводимых значений - 0..8"},
      {10, TGroupField::Surcharge, "-1", TMessageKind::Plain, "Диапазон вводимых значений - 0..8"},
      // Mended: what a file can bring but the pages never take used to pass this check
      // and stop the write after the confirmation without a word.
      {11, TGroupField::Tax, "+3", TMessageKind::Error, "'+3' is not a valid integer value"},
      {12, TGroupField::Discount, "-0", TMessageKind::Error, "'-0' is not a valid integer value"},
      {13, TGroupField::Surcharge, " 2", TMessageKind::Error, "' 2' is not a valid integer value"},
      {14, TGroupField::Tax, "1 ", TMessageKind::Error, "'1 ' is not a valid integer value"},
  };
  for (const TCase& c : cases) {
    TKkmSettings settings;
    settings.Group(c.Group).Field(c.Field) = c.Text;
    Settings = settings;
    View.Calls.clear();
    EXPECT_FALSE(Write()) << c.Text;
    EXPECT_EQ(View.Shown().back(), (TRecordingMessages::TShown{c.Kind, c.Box})) << c.Text;
    EXPECT_EQ(View.Calls,
              (std::vector<std::string>{
                  "box " + c.Box,
                  "group cell " + std::to_string(c.Group) + " " + std::to_string(static_cast<int>(c.Field)), "SetAll"}))
        << c.Text;
  }
  EXPECT_TRUE(Kkm.Traffic().empty());
}

TEST_F(WriteCommandTest, LinkDyingDuringTheGroupsLeavesTheRestUnwritten) {
  FillDocument();
  View.OnPump = [this](const std::string& status) {
    if (status == "Запись товарных групп. Группа - 50") Kkm.SetSilent(true);
  };
  EXPECT_FALSE(Write());

  EXPECT_EQ(At(Map.TaxRateTable, 4), Ascii("1800"));
  EXPECT_EQ(At(Map.SurchargeTable, 4), Ascii("1250"));
  EXPECT_EQ(At(Map.DiscountTable + 28, 4), Ascii("0800"));
  EXPECT_EQ(At(Map.GroupTable + 48, 1), TBytes{*EncodeGroupByte(Settings.Group(49))});
  EXPECT_EQ(At(Map.GroupTable + 49, 59), TBytes(59, Untouched));
  EXPECT_EQ(Kkm.Memory()[Map.SettingsChecksum], Untouched);
  EXPECT_EQ(Kkm.Memory()[Map.SettingsChecksumCopy], Untouched);
  EXPECT_EQ(At(0x043C, 193), TBytes(193, Untouched));
  // Mended: the box says that the register holds a part of the write.
  EXPECT_EQ(std::vector<std::string>(View.Calls.end() - 4, View.Calls.end()),
            (std::vector<std::string>{PartialWriteBox, "status Нет связи с ККМ", "SetAll", "ButtonDisabled"}));
  TBytes groups = OfGroupsText;
  groups.resize(16, ' ');
  EXPECT_EQ(Kkm.DisplayLine(2), groups);  // not restored
}

// A first settings write whose frame went out may have changed the register; one
// whose address was not even echoed has not.
TEST_F(WriteCommandTest, FailedTaxByteIsALinkFailure) {
  FillDocument();
  // Acknowledged: the pre-read, the two counter reads and the first display call; tax
  // 1's kind byte is not.
  const int preRead = PreReadPlan(Map, Settings).Exchanges();
  Kkm.Inject({TFaultKind::Silence, TAnswerKind::Acknowledgement, 1, preRead + 2 + 6});
  EXPECT_FALSE(Write());
  EXPECT_EQ(View.Status, "Нет связи с ККМ");
  EXPECT_FALSE(View.Has("status Запись налогов. Налог - 2"));
  EXPECT_EQ(WriteExchanges().size(), 2u + 6 + 1);
  EXPECT_EQ(View.Calls.back(), "ButtonDisabled");
  EXPECT_TRUE(View.Has(
      "box Не удается установить интерфейс с ККМ\r\nПричина: ККМ не подтвердила прием\r\nПроверьте кабель, питание "
      "ККМ и выбранный порт." +
      PartialWrite));

  View.Calls.clear();
  View.Answers().push_back(TAnswer::Yes);
  Kkm.Inject({TFaultKind::Silence, TAnswerKind::Echo, 1, preRead + 2 + 6});
  EXPECT_FALSE(Write());
  EXPECT_TRUE(View.Has(LinkFailureBox));
  EXPECT_FALSE(View.Has(PartialWriteBox));
}

class WriteThreeTaxCommandTest : public WriteCommandTest {
 protected:
  WriteThreeTaxCommandTest() : WriteCommandTest(103) {}
};

TEST_F(WriteThreeTaxCommandTest, TaxFourIsNotWritten) {
  FillDocument();
  ASSERT_TRUE(Write());

  EXPECT_EQ(At(Map.TaxKindTable, 3), (TBytes{1, 2, 1}));
  EXPECT_EQ(At(Map.TaxRateTable, 12), Ascii("180010000550"));  // tax 1's rate follows the kinds
  EXPECT_EQ(At(Map.SettingsChecksum + 1, 3), TBytes(3, Untouched));
  for (const TExchange& e : WritesOf(WriteCommand)) {
    EXPECT_FALSE(e.Address >= Map.SettingsChecksum + 1 && e.Address <= Map.SettingsChecksum + 3) << e;
    EXPECT_FALSE(e.Address == Map.TaxKindTable + 3 && e.Data == TBytes{2}) << e;
  }
  EXPECT_FALSE(View.Has("status Запись налогов. Налог - 4"));
  // The user is told before the question, and the write goes on.
  const std::string noFourthTax = "box В ККМ этой версии нет налога 4: он не будет записан.";
  ASSERT_TRUE(View.Has(noFourthTax));
  EXPECT_LT(std::find(View.Calls.begin(), View.Calls.end(), noFourthTax),
            std::find_if(View.Calls.begin(), View.Calls.end(), IsConfirmation));

  // Mended: the register's own 187-byte block sums to its checksum byte, and the copy
  // area holds that block and checksum, 188 bytes, as on the four-tax firmware.
  const TBytes block = At(Map.SurchargeTable, 187);
  EXPECT_EQ(Kkm.Memory()[Map.SettingsChecksum], Sum(block));
  EXPECT_EQ(Kkm.Memory()[Map.SettingsChecksumCopy], Sum(block));
  EXPECT_EQ(At(0x043C, 188), Cat(block, {Sum(block)}));
  EXPECT_EQ(At(0x043C + 188, 5), TBytes(5, Untouched));
  std::vector<std::size_t> blockSizes;
  for (const TExchange& e : WritesOf(BlockCommand)) blockSizes.push_back(e.Data.size());
  EXPECT_EQ(blockSizes, (std::vector<std::size_t>{64, 64, 60}));
}

}  // namespace
