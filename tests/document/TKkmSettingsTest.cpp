#include "document/TKkmSettings.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class TRecordingObserver : public TSettingsObserver {
 public:
  void SettingsChanged(TSection section, int index) override { Changes.emplace_back(section, index); }
  std::vector<std::pair<TSection, int>> Changes;
};

TKkmSettings FilledDocument() {
  TKkmSettings doc;
  for (int t = 1; t <= TaxCount; ++t) {
    doc.Tax(t) = {true, "1" + std::to_string(t) + ",00", "Налог " + std::to_string(t), "Н"};
  }
  for (int n = 1; n <= RateCount; ++n) {
    doc.Discount(n) = "0" + std::to_string(n) + ",50";
    doc.Surcharge(n) = "1" + std::to_string(n) + ",25";
  }
  for (int g = 1; g <= GroupCount; ++g) doc.Group(g) = {"2", g % 2 ? "3" : "", g % 2 ? "" : "4"};
  return doc;
}

TEST(TKkmSettings, StartsWithTheDefaults) {
  const TKkmSettings doc;
  const char* kinds[] = {"И", "И", "И", "Н"};
  for (int t = 1; t <= TaxCount; ++t) {
    EXPECT_FALSE(doc.Tax(t).Enabled) << t;
    EXPECT_EQ(doc.Tax(t).Rate, "00,00") << t;
    EXPECT_EQ(doc.Tax(t).Name, "") << t;
    EXPECT_EQ(doc.Tax(t).Kind, kinds[t - 1]) << t;
  }
  for (int n = 1; n <= RateCount; ++n) {
    EXPECT_EQ(doc.Discount(n), "00,00");
    EXPECT_EQ(doc.Surcharge(n), "00,00");
    // so no group can be bound to a discount or surcharge yet
    EXPECT_FALSE(IsDiscountProgrammed(doc, n));
    EXPECT_FALSE(IsSurchargeProgrammed(doc, n));
  }
  for (const auto& group : doc.Groups) EXPECT_EQ(group, TGroupBinding{});
}

TEST(TKkmSettings, NumbersCountFromOneAndDepartmentsAreTheLastGroups) {
  TKkmSettings doc;
  doc.Group(FirstDepartmentGroup).Tax = "1";  // department 1
  doc.Group(108).Discount = "8";                // department 8
  EXPECT_EQ(doc.Groups[100].Tax, "1");
  EXPECT_EQ(doc.Groups[107].Discount, "8");
  EXPECT_THROW(doc.Group(109), std::out_of_range);
  EXPECT_THROW(doc.Tax(0), std::out_of_range);
}

TEST(TKkmSettings, GroupFieldsAreReachedByName) {
  TGroupBinding binding{"1", "2", ""};
  EXPECT_EQ(binding.Field(TGroupField::Tax), "1");
  EXPECT_EQ(binding.Field(TGroupField::Discount), "2");
  binding.Field(TGroupField::Surcharge) = "0";
  EXPECT_EQ(binding.Surcharge, "0");
}

TEST(BulkOperations, ClearTaxesEmptiesRateAndNameOnly) {
  TKkmSettings doc = FilledDocument();
  const TKkmSettings before = doc;
  ClearTaxes(doc);
  for (int t = 1; t <= TaxCount; ++t) {
    EXPECT_EQ(doc.Tax(t).Rate, "");
    EXPECT_EQ(doc.Tax(t).Name, "");
    EXPECT_TRUE(doc.Tax(t).Enabled);
    EXPECT_EQ(doc.Tax(t).Kind, "Н");
  }
  EXPECT_EQ(doc.Discounts, before.Discounts);
  EXPECT_EQ(doc.Surcharges, before.Surcharges);
  EXPECT_EQ(doc.Groups, before.Groups);
}

TEST(BulkOperations, ResetTaxesKeepsEnabledAndTax4Kind) {
  TKkmSettings doc = FilledDocument();
  doc.Tax(1).Enabled = false;
  const TKkmSettings before = doc;
  ResetTaxes(doc);
  for (int t = 1; t <= TaxCount; ++t) {
    EXPECT_EQ(doc.Tax(t).Rate, "00,00");
    EXPECT_EQ(doc.Tax(t).Name, "");
    EXPECT_EQ(doc.Tax(t).Enabled, before.Tax(t).Enabled);
  }
  EXPECT_EQ(doc.Tax(1).Kind, "И");
  EXPECT_EQ(doc.Tax(2).Kind, "И");
  EXPECT_EQ(doc.Tax(3).Kind, "И");
  EXPECT_EQ(doc.Tax(4).Kind, "Н");
  EXPECT_EQ(doc.Discounts, before.Discounts);
  EXPECT_EQ(doc.Groups, before.Groups);
}

TEST(BulkOperations, ClearGroupsTouchesNothingElse) {
  TKkmSettings doc = FilledDocument();
  const TKkmSettings before = doc;
  ClearGroups(doc);
  for (const auto& group : doc.Groups) EXPECT_EQ(group, TGroupBinding{});
  EXPECT_EQ(doc.Taxes, before.Taxes);
  EXPECT_EQ(doc.Discounts, before.Discounts);
  EXPECT_EQ(doc.Surcharges, before.Surcharges);
}

TEST(BulkOperations, ClearAndResetRatesLeaveTheBindingsThatNameThem) {
  TKkmSettings doc = FilledDocument();
  const TKkmSettings before = doc;
  ClearRates(doc);
  for (int n = 1; n <= RateCount; ++n) {
    EXPECT_EQ(doc.Discount(n), "");
    EXPECT_EQ(doc.Surcharge(n), "");
    EXPECT_FALSE(IsDiscountProgrammed(doc, n));
  }
  EXPECT_EQ(doc.Group(1).Discount, "3");  // still bound to discount 3
  EXPECT_EQ(doc.Groups, before.Groups);
  EXPECT_EQ(doc.Taxes, before.Taxes);

  ResetRates(doc);
  for (int n = 1; n <= RateCount; ++n) {
    EXPECT_EQ(doc.Discount(n), "00,00");
    EXPECT_EQ(doc.Surcharge(n), "00,00");
  }
  EXPECT_EQ(doc.Groups, before.Groups);
}

TEST(BulkOperations, TellTheObserverWhatChanged) {
  TKkmSettings doc;
  TRecordingObserver observer;
  doc.Watch(&observer);
  ClearTaxes(doc);
  ResetTaxes(doc);
  ClearGroups(doc);
  ClearRates(doc);
  ResetRates(doc);
  const std::vector<std::pair<TSection, int>> expected = {
      {TSection::Taxes, 0},      {TSection::Taxes, 0},      {TSection::Groups, 0},
      {TSection::Discounts, 0}, {TSection::Surcharges, 0}, {TSection::Discounts, 0},
      {TSection::Surcharges, 0}};
  EXPECT_EQ(observer.Changes, expected);
}

TEST(TKkmSettings, ACopyDoesNotTakeTheObserverAlong) {
  TKkmSettings doc;
  TRecordingObserver observer;
  doc.Watch(&observer);
  TKkmSettings copy = doc;
  ClearGroups(copy);
  EXPECT_TRUE(observer.Changes.empty());
  doc = copy;  // assigning values keeps the window's own observer
  ClearGroups(doc);
  EXPECT_EQ(observer.Changes.size(), 1u);
}

TEST(Programmed, OnlyARateAboveZeroCounts) {
  TKkmSettings doc;
  const std::pair<const char*, bool> cases[] = {
      {"00,00", false}, {"0", false},     {"", false},      {"00,01", true}, {"5", true},
      {"12,5", true},   {"1,2,3", false}, {"5.5", false},   {"x", false},    {",5", true},
      {",", false},     {" 5", false},    {"-1", false},    {"99,99", true},
  };
  for (const auto& [rate, programmed] : cases) {
    doc.Discount(3) = rate;
    doc.Surcharge(8) = rate;
    EXPECT_EQ(IsDiscountProgrammed(doc, 3), programmed) << rate;
    EXPECT_EQ(IsSurchargeProgrammed(doc, 8), programmed) << rate;
  }
}

}  // namespace
