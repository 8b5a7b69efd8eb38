#pragma once

#include <array>
#include <string>

// The one set of register settings that the program edits. Every field is held as
// the text its page shows; numbers are derived from the texts where needed.
// Arrays are indexed from 0, the program's numbers from 1: Taxes[0] is tax 1,
// Groups[100] is group 101 (department 1).

inline constexpr int TaxCount = 4;
inline constexpr int RateCount = 8;  // discounts, and surcharges
inline constexpr int GroupCount = 108;
inline constexpr int FirstDepartmentGroup = 101;

struct TTaxSetting {
  bool Enabled = false;
  std::string Rate;
  std::string Name;  // at most 16 characters in the register; longer texts are kept
  std::string Kind;  // "И" or "Н"; tax 4 is always "Н"

  bool operator==(const TTaxSetting&) const = default;
};

enum class TGroupField { Tax, Discount, Surcharge };

struct TGroupBinding {
  std::string Tax;        // empty or 0..3; empty and 0 mean no tax
  std::string Discount;   // empty or 0..8
  std::string Surcharge;  // empty or 0..8; never filled together with Discount

  std::string& Field(TGroupField field);
  const std::string& Field(TGroupField field) const;

  bool operator==(const TGroupBinding&) const = default;
};

// What changed behind the widgets' back. Index 0 means the whole section,
// otherwise the number (1-based) of the tax, rate or group.
enum class TSection { Taxes, Discounts, Surcharges, Groups };

class TSettingsObserver {
 public:
  virtual void SettingsChanged(TSection section, int index) = 0;

 protected:
  ~TSettingsObserver() = default;
};

// Holds the observer without letting it travel with copies of the document:
// a copy is a value, not a second view of the same window.
class TObserverSlot {
 public:
  TObserverSlot() = default;
  TObserverSlot(const TObserverSlot&) {}
  TObserverSlot& operator=(const TObserverSlot&) { return *this; }
  bool operator==(const TObserverSlot&) const { return true; }

  TSettingsObserver* Observer = nullptr;
};

class TKkmSettings {
 public:
  TKkmSettings();  // the defaults of a freshly started program

  std::array<TTaxSetting, TaxCount> Taxes;
  std::array<std::string, RateCount> Discounts;
  std::array<std::string, RateCount> Surcharges;
  std::array<TGroupBinding, GroupCount> Groups;

  TTaxSetting& Tax(int t) { return Taxes.at(t - 1); }
  const TTaxSetting& Tax(int t) const { return Taxes.at(t - 1); }
  std::string& Discount(int n) { return Discounts.at(n - 1); }
  const std::string& Discount(int n) const { return Discounts.at(n - 1); }
  std::string& Surcharge(int n) { return Surcharges.at(n - 1); }
  const std::string& Surcharge(int n) const { return Surcharges.at(n - 1); }
  TGroupBinding& Group(int g) { return Groups.at(g - 1); }
  const TGroupBinding& Group(int g) const { return Groups.at(g - 1); }

  // Everything that changes fields on its own (bulk operations, rules, a register
  // read, a file load) reports it here so that the widgets follow.
  void Watch(TSettingsObserver* observer) { Slot.Observer = observer; }
  void Changed(TSection section, int index = 0) const;

  bool operator==(const TKkmSettings&) const = default;

 private:
  TObserverSlot Slot;
};

// Bulk operations of the pages' buttons.
void ClearTaxes(TKkmSettings& settings);
void ResetTaxes(TKkmSettings& settings);
void ClearGroups(TKkmSettings& settings);
void ClearRates(TKkmSettings& settings);
void ResetRates(TKkmSettings& settings);

// A discount or surcharge is programmed when its rate reads as a number above zero.
bool IsDiscountProgrammed(const TKkmSettings& settings, int n);
bool IsSurchargeProgrammed(const TKkmSettings& settings, int n);

inline constexpr const char* DefaultTaxKind = "И";
inline constexpr const char* FixedTax4Kind = "Н";
// What the kinds stand for, as the taxes page and the customer's sheet explain them.
inline constexpr const char* TaxKindHint = "И - Исчисляемый, Н - Начисляемый";
