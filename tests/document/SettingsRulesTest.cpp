#include <gtest/gtest.h>

#include <utility>

#include "document/RateText.h"
#include "document/SettingsRules.h"
#include "support/RecordingRuleView.h"

namespace {

using TShown = TRecordingMessages::TShown;

const TShown RateRange{TMessageKind::Plain, "Диапазон вводимых значений - 0..8"};
const TShown TaxRange{TMessageKind::Plain, "Диапазон вводимых значений - 0..3"};
const TShown DiscountNotProgrammed{TMessageKind::Plain, "Данная скидка не запрограммирована"};
const TShown SurchargeNotProgrammed{TMessageKind::Plain, "Данная надбавка не запрограммирована"};
const TShown BadTaxRate{TMessageKind::Warning, "Неверное значение ставки налога"};
const TShown BadDiscount{TMessageKind::Warning, "Неверное значение скидки"};
const TShown BadSurcharge{TMessageKind::Warning, "Неверное значение надбавки"};

// Counts what the document reports as changed.
class TChangeLog : public TSettingsObserver {
 public:
  void SettingsChanged(TSection section, int index) override { Changes.emplace_back(section, index); }
  std::vector<std::pair<TSection, int>> Changes;
};

class SettingsRules : public ::testing::Test {
 protected:
  SettingsRules() { Settings.Watch(&Log); }

  // Types text into a cell one character at a time, as the grid reports it.
  void Type(int g, TGroupField field, const std::string& text) {
    for (std::size_t i = 1; i <= text.size(); ++i) ValidateGroupEntry(Settings, View, g, field, text.substr(0, i));
  }

  TKkmSettings Settings;
  TRecordingRuleView View;
  TChangeLog Log;
};

TEST_F(SettingsRules, DiscountNeedsAProgrammedRate) {
  ValidateGroupEntry(Settings, View, 5, TGroupField::Discount, "1");
  EXPECT_EQ(View.Shown(), std::vector<TShown>{DiscountNotProgrammed});
  EXPECT_EQ(Settings.Group(5).Discount, "");
  EXPECT_EQ(Log.Changes, (std::vector<std::pair<TSection, int>>{{TSection::Groups, 5}}));

  View.Clear();
  Settings.Discount(1) = "5";
  ValidateGroupEntry(Settings, View, 5, TGroupField::Discount, "1");
  EXPECT_TRUE(View.Shown().empty());
  EXPECT_EQ(Settings.Group(5).Discount, "1");

  ValidateGroupEntry(Settings, View, 6, TGroupField::Surcharge, "1");
  EXPECT_EQ(View.Shown(), std::vector<TShown>{SurchargeNotProgrammed});
  EXPECT_EQ(Settings.Group(6).Surcharge, "");
}

TEST_F(SettingsRules, EntryEmptiesTheOppositeCellEvenWhenRefused) {
  Settings.Group(7).Surcharge = "2";
  ValidateGroupEntry(Settings, View, 7, TGroupField::Discount, "3");  // discount 3 not programmed
  EXPECT_EQ(Settings.Group(7), TGroupBinding{});
  ASSERT_FALSE(Log.Changes.empty());
  EXPECT_EQ(Log.Changes.front(), std::make_pair(TSection::Groups, 7));

  Settings.Surcharge(2) = "1,5";
  Settings.Group(7).Discount = "4";
  Settings.Group(7).Tax = "2";
  ValidateGroupEntry(Settings, View, 7, TGroupField::Surcharge, "2");
  EXPECT_EQ(Settings.Group(7), (TGroupBinding{"2", "", "2"}));

  Settings.Group(8).Discount = "4";
  ValidateGroupEntry(Settings, View, 8, TGroupField::Surcharge, "");  // a deletion empties it too
  EXPECT_EQ(Settings.Group(8), TGroupBinding{});
}

TEST_F(SettingsRules, ZeroAndEmptyStayWithoutAMessage) {
  int g = 1;
  for (auto field : {TGroupField::Tax, TGroupField::Discount, TGroupField::Surcharge}) {
    ValidateGroupEntry(Settings, View, g, field, "0");
    EXPECT_EQ(Settings.Group(g).Field(field), "0");
    ValidateGroupEntry(Settings, View, g + 1, field, "00");
    EXPECT_EQ(Settings.Group(g + 1).Field(field), "00");
    ValidateGroupEntry(Settings, View, g + 2, field, "");
    g += 3;
  }
  EXPECT_TRUE(View.Shown().empty());
  EXPECT_TRUE(Log.Changes.empty());
}

TEST_F(SettingsRules, OutOfRangeTextsAreRefusedAndEmptied) {
  Settings.Discount(1) = "5";
  Settings.Surcharge(8) = "5";
  for (const char* text : {"9", "10", "-1", "x", "1a", " 1", "1,"}) {
    View.Clear();
    ValidateGroupEntry(Settings, View, 3, TGroupField::Discount, text);
    EXPECT_EQ(View.Shown(), std::vector<TShown>{RateRange}) << text;
    EXPECT_EQ(Settings.Group(3).Discount, "") << text;
  }
  for (const char* text : {"4", "12", "x"}) {
    View.Clear();
    ValidateGroupEntry(Settings, View, 4, TGroupField::Tax, text);
    EXPECT_EQ(View.Shown(), std::vector<TShown>{TaxRange}) << text;
    EXPECT_EQ(Settings.Group(4).Tax, "") << text;
  }
  ValidateGroupEntry(Settings, View, 108, TGroupField::Surcharge, "08");  // a typed 08 stays and means 8
  EXPECT_EQ(Settings.Group(108).Surcharge, "08");
  View.Clear();
  ValidateGroupEntry(Settings, View, 107, TGroupField::Discount, "000000000000000000001");
  EXPECT_EQ(Settings.Group(107).Discount, "000000000000000000001");
  ValidateGroupEntry(Settings, View, 107, TGroupField::Tax, "18446744073709551619");  // no wrap-around to 3
  EXPECT_EQ(View.Shown(), std::vector<TShown>{TaxRange});
}

TEST_F(SettingsRules, EachKeystrokeIsExamined) {
  Settings.Discount(1) = "05,00";
  Type(9, TGroupField::Discount, "12");
  EXPECT_EQ(View.Shown(), std::vector<TShown>{RateRange});  // 1 was kept, 12 refused
  EXPECT_EQ(Settings.Group(9).Discount, "");

  View.Clear();
  Settings.Discount(1) = "00,00";
  ValidateGroupEntry(Settings, View, 9, TGroupField::Discount, "1");  // the first key of 10
  EXPECT_EQ(View.Shown(), std::vector<TShown>{DiscountNotProgrammed});
}

TEST_F(SettingsRules, TaxMayBeBoundWhileSwitchedOff) {
  ASSERT_FALSE(Settings.Tax(3).Enabled);
  ValidateGroupEntry(Settings, View, 101, TGroupField::Tax, "3");
  EXPECT_EQ(Settings.Group(101).Tax, "3");
  EXPECT_TRUE(View.Shown().empty());
}

TEST(CanonicalRate, RoundsAndPadsOrRefuses) {
  const std::vector<std::pair<const char*, const char*>> good = {
      {"5", "05,00"},      {"7,5", "07,50"},        {"3,456", "03,46"}, {"3,455", "03,46"},  {"3,454", "03,45"},
      {",5", "00,50"},     {"5,", "05,00"},         {"0", "00,00"},     {"099,99", "99,99"}, {"1,005", "01,01"},
      {"99,994", "99,99"}, {"00000012,5", "12,50"}, {"9,999", "10,00"},
  };
  for (const auto& [text, rate] : good) EXPECT_EQ(CanonicalRate(text), std::optional<std::string>(rate)) << text;
  for (const char* text :
       {"", ",", "1,2,3", "100", "123,45", "99,995", "5.5", "a", "1 ", "-1", "12345678901234567890123"}) {
    EXPECT_EQ(CanonicalRate(text), std::nullopt) << text;
  }
}

TEST_F(SettingsRules, LeavingTheDiscountGridRewritesItsRates) {
  Settings.Discount(1) = "5";
  Settings.Discount(2) = "7.5";
  Settings.Discount(3) = "3,456";
  NormaliseRateList(Settings, View, TRateList::Discounts);
  EXPECT_EQ(Settings.Discount(1), "05,00");
  EXPECT_EQ(Settings.Discount(2), "07,50");
  EXPECT_EQ(Settings.Discount(3), "03,46");
  EXPECT_EQ(Settings.Discount(4), "00,00");
  EXPECT_TRUE(View.Calls.empty());
  EXPECT_EQ(Log.Changes, (std::vector<std::pair<TSection, int>>{{TSection::Discounts, 0}}));
}

TEST_F(SettingsRules, RateListStopsAtTheFirstBadRate) {
  const std::vector<std::string> bad = {"", "1,2,3", ",", "5%", "100", "123,45"};
  for (const auto& text : bad) {
    View.Clear();
    Settings.Surcharges = {"1.5", "2", text, "4", "5", "6", "7", "8"};
    NormaliseRateList(Settings, View, TRateList::Surcharges);
    EXPECT_EQ(View.Calls, (std::vector<std::string>{"box Неверное значение надбавки", "page 2", "surcharge row 3"}))
        << text;
    EXPECT_EQ(View.Shown(), std::vector<TShown>{BadSurcharge});
    EXPECT_EQ(Settings.Surcharges,
              (std::array<std::string, RateCount>{"01,50", "02,00", text, "4", "5", "6", "7", "8"}));
  }
  EXPECT_EQ(Settings.Discounts, TKkmSettings().Discounts);
}

TEST_F(SettingsRules, AfterClearRatesBothRulesReportRowOne) {
  ClearRates(Settings);
  NormaliseRateList(Settings, View, TRateList::Discounts);
  EXPECT_EQ(View.Calls, (std::vector<std::string>{"box Неверное значение скидки", "page 2", "discount row 1"}));
  View.Clear();
  EXPECT_FALSE(Error_Proc(Settings, View));
  EXPECT_EQ(View.Calls, (std::vector<std::string>{"box Неверное значение скидки", "page 2", "discount row 1"}));
}

TEST_F(SettingsRules, ErrorProcStopsAtTheFirstBadTaxWithTheEarlierRewritten) {
  Settings.Tax(1) = {true, "5", "НДС", "И"};
  Settings.Tax(2) = {true, "", "", "Н"};
  Settings.Discount(1) = "5";
  EXPECT_FALSE(Error_Proc(Settings, View));
  EXPECT_EQ(Settings.Tax(1).Rate, "05,00");
  EXPECT_EQ(View.Calls, (std::vector<std::string>{"box Неверное значение ставки налога", "page 1", "focus tax 2"}));
  EXPECT_EQ(View.Shown(), std::vector<TShown>{BadTaxRate});
  EXPECT_EQ(Settings.Discount(1), "5");  // not reached
  EXPECT_EQ(Log.Changes, (std::vector<std::pair<TSection, int>>{{TSection::Taxes, 1}}));
}

TEST_F(SettingsRules, ErrorProcSkipsDisabledTaxesAndReadsPointsOnlyInTaxRates) {
  Settings.Tax(1).Rate = "";
  Settings.Tax(3).Rate = "x";
  Settings.Tax(4) = {true, "5.5", "", "Н"};
  Settings.Discount(8) = "1,5";
  Settings.Surcharge(8) = "2";
  EXPECT_TRUE(Error_Proc(Settings, View));
  EXPECT_TRUE(View.Calls.empty());
  EXPECT_EQ(Settings.Tax(4).Rate, "05,50");
  EXPECT_EQ(Settings.Tax(1).Rate, "");
  EXPECT_EQ(Settings.Discount(8), "01,50");
  EXPECT_EQ(Settings.Surcharge(8), "02,00");

  Settings.Discount(4) = "5.5";  // not yet rewritten by the grid: refused here
  EXPECT_FALSE(Error_Proc(Settings, View));
  EXPECT_EQ(View.Calls, (std::vector<std::string>{"box Неверное значение скидки", "page 2", "discount row 4"}));
}

TEST_F(SettingsRules, ErrorProcRefusesEveryBadRateWithItsFieldsWarning) {
  for (const char* text : {"1,2,3", "100", "123,45", "99,995"}) {
    TKkmSettings settings;
    settings.Tax(3) = {true, text, "", "И"};
    View.Clear();
    EXPECT_FALSE(Error_Proc(settings, View)) << text;
    EXPECT_EQ(View.Shown(), std::vector<TShown>{BadTaxRate}) << text;
    EXPECT_EQ(settings.Tax(3).Rate, text);

    settings.Tax(3).Enabled = false;
    settings.Surcharge(5) = text;
    View.Clear();
    EXPECT_FALSE(Error_Proc(settings, View)) << text;
    EXPECT_EQ(View.Calls, (std::vector<std::string>{"box Неверное значение надбавки", "page 2", "surcharge row 5"}));
  }
}

TEST_F(SettingsRules, KindKeepsTheTwoKindsAndReplacesOthers) {
  NormaliseKind(Settings, 2, "Н");
  EXPECT_EQ(Settings.Tax(2).Kind, "Н");
  EXPECT_TRUE(Log.Changes.empty());
  NormaliseKind(Settings, 2, "X");
  EXPECT_EQ(Settings.Tax(2).Kind, "И");
  NormaliseKind(Settings, 1, "НИ");
  EXPECT_EQ(Settings.Tax(1).Kind, "И");
  EXPECT_EQ(Log.Changes, (std::vector<std::pair<TSection, int>>{{TSection::Taxes, 2}, {TSection::Taxes, 1}}));
  NormaliseKind(Settings, 4, "И");
  EXPECT_EQ(Settings.Tax(4).Kind, "Н");
}

}  // namespace
