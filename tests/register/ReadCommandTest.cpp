#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "register/TransferCommands.h"
#include "register/TransferFixture.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

const std::string NoFirmwareBox =
    "box В ККМ обнаружена версия ПО ниже 1.0.4.\r\nРекомендуется установить указанную версию.";
const std::string LinkFailureBox =
    "box Не удается установить интерфейс с ККМ\r\nПричина: ККМ не ответила на свой адрес\r\nПроверьте кабель, питание "
    "ККМ и выбранный порт.";

// "НДС" in Windows-1251.
const TBytes Nds{0xCD, 0xC4, 0xD1};

class ReadCommandTest : public TTransferTest {
 protected:
  explicit ReadCommandTest(std::int32_t version = 104) : TTransferTest(version) {}

  // A register whose taxes are all on, with distinct rates, names, discounts,
  // surcharges and groups, and a display showing something of its own.
  void FillRegister() {
    const int taxes = LayoutTaxCount(Map);
    for (int t = 1; t <= taxes; ++t) {
      Put(TaxKindAddress(Map, t), {static_cast<std::uint8_t>(t == 1 ? 1 : 2)});
      Put(TaxRateAddress(Map, t), Ascii("0" + std::to_string(t) + "50"));
      TBytes name = t == 1 ? Nds : Ascii("TAX" + std::to_string(t));
      name.resize(16, 0);
      Put(TaxNameAddress(Map, t) + 1, name);
    }
    for (int n = 1; n <= RateCount; ++n) {
      Put(DiscountAddress(Map, n), Ascii("1" + std::to_string(n) + "25"));
      Put(SurchargeAddress(Map, n), Ascii("2" + std::to_string(n) + "75"));
    }
    for (int g = 1; g <= GroupCount; ++g) Put(GroupAddress(Map, g), {static_cast<std::uint8_t>(g)});
    Put(0x1A88, Ascii("ITOG       12.50"));
    Put(0x1B28, Ascii("SMENA 3         "));
  }

  bool Read() { return ReadSettingsFromKkm(Link, Connection, Settings, View, TTransferWay::Bytewise); }

  std::vector<TExchange> Reads(std::uint16_t address, int n) const {
    std::vector<TExchange> reads;
    for (int i = 0; i < n; ++i) reads.push_back({ReadCommand, static_cast<std::uint16_t>(address + i), {}});
    return reads;
  }

  std::vector<TExchange> TaxReads(int t) const {
    return Reads(TaxKindAddress(Map, t), 1) + Reads(TaxRateAddress(Map, t), 4) + Reads(TaxNameAddress(Map, t) + 1, 16);
  }

  std::vector<TExchange> RateAndGroupReads() const {
    std::vector<TExchange> reads = DisplayCall(ReadingText, OfDiscountsText) + Reads(Map.DiscountTable, 32) +
                                   DisplayCall(ReadingText, OfSurchargesText) + Reads(Map.SurchargeTable, 32) +
                                   DisplayCall(ReadingText, OfGroupsText) + Reads(Map.GroupTable, GroupCount);
    return reads + DisplayCall(Cat(ReadingText, Ascii(" OK!"))) +
           DisplayCall(Ascii("ITOG       12.50"), Ascii("SMENA 3         "));
  }
};

TEST_F(ReadCommandTest, FullReadTakesEveryByteInOrderAndRestoresTheDisplay) {
  FillRegister();
  Settings.Group(7).Discount = "5";  // a group byte of 7 binds tax 7 and nothing else
  ASSERT_TRUE(Read());

  const auto expected = DisplayCall(ReadingText, OfTaxesText) + TaxReads(1) + TaxReads(2) + TaxReads(3) + TaxReads(4) +
                        RateAndGroupReads();
  EXPECT_EQ(Exchanges(), expected);
  EXPECT_EQ(AddressBytesSent(), 256u + 6 * 6);
  EXPECT_EQ(Kkm.DisplayLine(1), Ascii("ITOG       12.50"));
  EXPECT_EQ(Kkm.DisplayLine(2), Ascii("SMENA 3         "));

  EXPECT_EQ(Settings.Tax(1), (TTaxSetting{true, "01,50", "НДС", "И"}));
  EXPECT_EQ(Settings.Tax(2), (TTaxSetting{true, "02,50", "TAX2", "Н"}));
  EXPECT_EQ(Settings.Tax(4), (TTaxSetting{true, "04,50", "TAX4", "Н"}));
  EXPECT_EQ(Settings.Discount(3), "13,25");
  EXPECT_EQ(Settings.Surcharge(8), "28,75");
  EXPECT_EQ(Settings.Group(7), (TGroupBinding{"7", "", ""}));
  EXPECT_EQ(Settings.Group(0x1B), (TGroupBinding{"3", "", "3"}));
  EXPECT_EQ(Settings.Group(0x13), (TGroupBinding{"3", "", "2"}));
  EXPECT_EQ(Settings.Group(0x60), (TGroupBinding{"", "", "12"}));

  EXPECT_EQ(View.Calls.front(), "repaint toolbar");
  EXPECT_EQ(View.Calls[1], "disable toolbar and pages");
  EXPECT_EQ(View.Calls[2], "status Чтение налогов. Налог - 1");
  EXPECT_TRUE(View.Has("status Чтение скидок. Скидка - 8"));
  EXPECT_TRUE(View.Has("status Чтение надбавок. Надбавка - 1"));
  EXPECT_TRUE(View.Has("status Чтение товарных групп. Группа - 108"));
  EXPECT_EQ(std::vector<std::string>(View.Calls.end() - 2, View.Calls.end()),
            (std::vector<std::string>{"status Чтение OK!", "SetAll"}));
  EXPECT_TRUE(View.Shown().empty());
  EXPECT_FALSE(View.Has("ButtonDisabled"));
  // One pump after the first display, one per tax, discount, surcharge and group,
  // one before each name byte.
  EXPECT_EQ(View.Pumps, 1 + 4 + 16 + 108 + 64);
}

TEST_F(ReadCommandTest, PausesBelongToTheSequence) {
  FillRegister();
  ASSERT_TRUE(Read());
  const auto sent = Records(TDirection::ToRegister);
  EXPECT_GT(sent.front().SentNs, 150'000'000u);  // 150 ms before the first display exchange
  // The longest silence on the line is the 600 ms while "Чтение OK!" is shown.
  TLineNs longest = 0;
  for (std::size_t i = 1; i < sent.size(); ++i) longest = std::max(longest, sent[i].SentNs - sent[i - 1].ArrivedNs);
  EXPECT_GT(longest, 600'000'000u);
  EXPECT_LT(longest, 700'000'000u);
}

TEST_F(ReadCommandTest, ProgressCountsEveryExchangeAndIsHiddenAtTheEnd) {
  FillRegister();
  Put(TaxKindAddress(Map, 2), {0});
  ASSERT_TRUE(Read());
  ASSERT_GE(View.Progress.size(), 3u);
  const int total = View.Progress.front().Total;
  EXPECT_EQ(total, 4 * 21 + 64 + 108 + 36);
  for (std::size_t i = 1; i + 1 < View.Progress.size(); ++i) {
    EXPECT_EQ(View.Progress[i].Total, total);
    EXPECT_GE(View.Progress[i].Done, View.Progress[i - 1].Done);
  }
  EXPECT_EQ(View.Progress[View.Progress.size() - 2].Done, total);  // a tax that is off counts as done
  EXPECT_EQ(View.Progress.back().Total, 0);
}

TEST_F(ReadCommandTest, KindBytesThatSwitchTaxesOff) {
  FillRegister();
  Put(TaxKindAddress(Map, 2), {0});
  Put(TaxKindAddress(Map, 3), {3});
  Put(TaxKindAddress(Map, 4), {1});  // tax 4 is on only with 2
  Settings.Tax(2) = {true, "09,99", "OLD", "И"};
  ASSERT_TRUE(Read());

  EXPECT_EQ(Settings.Tax(2), (TTaxSetting{false, "", "", "И"}));  // the kind stays as it was
  EXPECT_FALSE(Settings.Tax(3).Enabled);
  EXPECT_EQ(Settings.Tax(4), (TTaxSetting{false, "", "", "Н"}));
  const auto expected = DisplayCall(ReadingText, OfTaxesText) + TaxReads(1) + Reads(TaxKindAddress(Map, 2), 1) +
                        Reads(TaxKindAddress(Map, 3), 1) + Reads(TaxKindAddress(Map, 4), 1) + RateAndGroupReads();
  EXPECT_EQ(Exchanges(), expected);
}

// Mended: a read that broke off used to leave a document that mixed what it had read
// with what was there before (and tax rates and names emptied).
TEST_F(ReadCommandTest, ALinkFailingAtGroupFiftyLeavesTheDocumentAsItWas) {
  FillRegister();
  for (int g = 1; g <= GroupCount; ++g) Settings.Group(g) = {"1", "2", ""};
  Settings.Tax(2) = {true, "07,00", "Прежний", "Н"};
  const TKkmSettings before = Settings;
  View.OnPump = [this](const std::string& status) {
    if (status == "Чтение товарных групп. Группа - 50") {
      Kkm.SetSilent(true);
    }
  };
  EXPECT_FALSE(Read());

  EXPECT_EQ(Settings, before);
  EXPECT_EQ(std::vector<std::string>(View.Calls.end() - 4, View.Calls.end()),
            (std::vector<std::string>{LinkFailureBox, "status Нет связи с ККМ", "SetAll", "ButtonDisabled"}));
  EXPECT_FALSE(View.Has("status Чтение OK!"));
  EXPECT_FALSE(View.Has("status Чтение товарных групп. Группа - 51"));

  TBytes groups = OfGroupsText;
  groups.resize(16, ' ');
  EXPECT_EQ(Kkm.DisplayLine(2), groups);  // not restored
}

// Mended: the first characters of a rate or name whose read broke off used to stay in
// the document, and a later write turned them into another rate.
TEST_F(ReadCommandTest, ABrokenOffNameOrRateChangesNothing) {
  FillRegister();
  const TKkmSettings before = Settings;
  // Two display reads, then tax 1's kind, four rate bytes and two name bytes answer
  // well; the third name byte's reply comes with a wrong checksum.
  Kkm.Inject({TFaultKind::CorruptChecksum, TAnswerKind::Reply, 1, 2 + 1 + 4 + 2});
  EXPECT_FALSE(Read());
  EXPECT_EQ(Settings, before);
  EXPECT_EQ(Exchanges().size(), 6u + 1 + 4 + 3);
  EXPECT_EQ(View.Shown().size(), 1u);
  EXPECT_EQ(View.Calls.back(), "ButtonDisabled");
  EXPECT_EQ(View.Status, "Нет связи с ККМ");

  // Echoes answered: the first display call, the taxes, the second display call,
  // discount 1 and two bytes of discount 2.
  Kkm.Inject({TFaultKind::Silence, TAnswerKind::Echo, -1, 6 + 4 * 21 + 6 + 4 + 2});
  EXPECT_FALSE(Read());
  EXPECT_EQ(Settings, before);
}

TEST_F(ReadCommandTest, RefusedWithoutAMapForTheConnectedFirmware) {
  FillRegister();
  const TKkmSettings before = Settings;
  for (const std::int32_t version : {0, 106}) {  // not connected, a firmware without a row
    View.Calls.clear();
    Link.UseRegister(Link.KkmAddress(), version);
    Connection = ConnectionOf(Link);
    EXPECT_FALSE(Read());
    EXPECT_EQ(View.Calls, (std::vector<std::string>{NoFirmwareBox, "ButtonDisabled"})) << version;
  }
  EXPECT_TRUE(Kkm.Traffic().empty());
  EXPECT_EQ(Settings, before);
  EXPECT_TRUE(View.Progress.empty());
}

class ReadThreeTaxCommandTest : public ReadCommandTest {
 protected:
  ReadThreeTaxCommandTest() : ReadCommandTest(103) {}
};

TEST_F(ReadThreeTaxCommandTest, TaxFourIsNotReadAndReadsAsOff) {
  FillRegister();
  Settings.Tax(4) = {true, "05,00", "OLD", "Н"};
  ASSERT_TRUE(Read());
  EXPECT_EQ(Settings.Tax(4), (TTaxSetting{false, "", "", "Н"}));
  EXPECT_EQ(Settings.Tax(3), (TTaxSetting{true, "03,50", "TAX3", "Н"}));
  const auto expected =
      DisplayCall(ReadingText, OfTaxesText) + TaxReads(1) + TaxReads(2) + TaxReads(3) + RateAndGroupReads();
  EXPECT_EQ(Exchanges(), expected);
  EXPECT_FALSE(View.Has("status Чтение налогов. Налог - 4"));
}

}  // namespace
