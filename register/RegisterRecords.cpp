#include "register/RegisterRecords.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "document/Cp1251.h"
#include "document/RateText.h"

namespace {

constexpr std::size_t RateLength = 5;
constexpr std::size_t SeparatorPosition = 2;
constexpr std::string_view KindI = "И";
constexpr std::string_view KindN = "Н";

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

std::string CharactersOf(std::uint8_t first, std::uint8_t second) {
  const char bytes[] = {static_cast<char>(first), static_cast<char>(second)};
  return Cp1251ToUtf8(std::string_view(bytes, 2));
}

std::string NumberText(int number) { return number == 0 ? std::string() : std::to_string(number); }

int CheckedNumber(int number, int last, const char* what) {
  if (number < 1 || number > last) throw std::out_of_range(std::string(what) + " number out of range");
  return number;
}

std::uint16_t At(std::uint16_t table, int offset) { return static_cast<std::uint16_t>(table + offset); }

std::uint8_t Byte(const TRegisterMemory& memory, std::uint16_t address) { return memory[address]; }

RegisterRate RateAt(const TRegisterMemory& memory, std::uint16_t address) {
  RegisterRate rate{};
  for (int i = 0; i < RateBytes; ++i) rate[i] = Byte(memory, static_cast<std::uint16_t>(address + i));
  return rate;
}

}  // namespace

std::string DecodeRate(const RegisterRate& bytes) {
  return CharactersOf(bytes[0], bytes[1]) + DecimalSeparator + CharactersOf(bytes[2], bytes[3]);
}

std::optional<RegisterRate> EncodeRate(std::string_view rateText) {
  const std::u32string text = DecodeUtf8(rateText);
  if (text.size() != RateLength) return std::nullopt;
  RegisterRate rate{};
  std::size_t next = 0;
  for (std::size_t i = 0; i < RateLength; ++i) {
    if (i == SeparatorPosition) continue;
    if (!IsDigit(text[i])) return std::nullopt;
    rate[next++] = static_cast<std::uint8_t>(text[i]);
  }
  return rate;
}

void DecodeTaxKind(int t, std::uint8_t byte, TTaxSetting& tax) {
  if (t == TaxCount) {
    tax.Enabled = byte == TaxKindN;
    return;
  }
  tax.Enabled = byte == TaxKindI || byte == TaxKindN;
  if (tax.Enabled) tax.Kind = byte == TaxKindI ? KindI : KindN;
}

std::uint8_t EncodeTaxKind(int t, bool enabled, std::string_view kind) {
  if (!enabled) return TaxKindOff;
  if (t == TaxCount) return TaxKindN;
  return kind == KindI ? TaxKindI : TaxKindN;
}

// A control byte becomes a blank, so that a name read from the register can always
// be shown and saved (a line break in a settings file would end its value).
std::string DecodeTaxName(const TaxNameBytes& bytes) {
  std::string name;
  for (std::uint8_t b : bytes) {
    if (b == 0) continue;
    name += b < 0x20 || b == 0x7F ? ' ' : static_cast<char>(b);
  }
  return Cp1251ToUtf8(name);
}

TaxNameBytes EncodeTaxName(std::string_view name) {
  const std::string bytes = Utf8ToCp1251(Utf8Left(name, TaxNameRecord::NameLength));
  TaxNameBytes out{};
  const std::size_t count = std::min(bytes.size(), out.size());
  std::transform(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count), out.begin(),
                 [](char c) { return static_cast<std::uint8_t>(c); });
  return out;
}

TGroupBinding DecodeGroupByte(std::uint8_t byte) {
  TGroupBinding binding;
  binding.Tax = NumberText(byte & GroupTaxBits);
  const int number = (byte >> GroupNumberShift) & GroupNumberBits;
  (byte & GroupDiscountBit ? binding.Discount : binding.Surcharge) = NumberText(number);
  return binding;
}

std::optional<std::uint8_t> EncodeGroupByte(const TGroupBinding& binding) {
  const auto tax = GroupFieldNumber(binding.Tax, MaxGroupTax);
  const auto discount = GroupFieldNumber(binding.Discount, MaxGroupNumber);
  const auto surcharge = GroupFieldNumber(binding.Surcharge, MaxGroupNumber);
  if (!tax || !discount || !surcharge) return std::nullopt;
  int byte = 0;
  if (!binding.Surcharge.empty()) {
    byte = *surcharge << GroupNumberShift;
  } else if (!binding.Discount.empty()) {
    byte = GroupDiscountBit | *discount << GroupNumberShift;
  }
  return static_cast<std::uint8_t>(byte | *tax);
}

std::uint8_t SettingsBlockChecksum(std::span<const std::uint8_t> block) {
  return static_cast<std::uint8_t>(std::accumulate(block.begin(), block.end(), 0u));
}

int PurchaseCount(std::uint8_t high, std::uint8_t low) { return high * 256 + low; }

int LayoutTaxCount(const TRamMap& map) {
  const bool kindsFit = map.TaxKindTable + TaxCount <= map.TaxRateTable;
  const bool ratesFit = map.TaxRateTable + RateBytes * TaxCount <= map.SettingsChecksum;
  return kindsFit && ratesFit ? TaxCount : TaxCount - 1;
}

std::uint16_t TaxKindAddress(const TRamMap& map, int t) {
  return At(map.TaxKindTable, CheckedNumber(t, LayoutTaxCount(map), "tax") - 1);
}

std::uint16_t TaxRateAddress(const TRamMap& map, int t) {
  return At(map.TaxRateTable, RateBytes * (CheckedNumber(t, LayoutTaxCount(map), "tax") - 1));
}

std::uint16_t TaxNameAddress(const TRamMap& map, int t) {
  return At(map.TaxNameTable, TaxNameRecord::Size * (CheckedNumber(t, LayoutTaxCount(map), "tax") - 1));
}

std::uint16_t DiscountAddress(const TRamMap& map, int n) {
  return At(map.DiscountTable, RateBytes * (CheckedNumber(n, RateCount, "discount") - 1));
}

std::uint16_t SurchargeAddress(const TRamMap& map, int n) {
  return At(map.SurchargeTable, RateBytes * (CheckedNumber(n, RateCount, "surcharge") - 1));
}

std::uint16_t GroupAddress(const TRamMap& map, int g) {
  return At(map.GroupTable, CheckedNumber(g, GroupCount, "group") - 1);
}

std::vector<TImagePiece> SettingsImagePieces(std::size_t imageSize) {
  std::vector<TImagePiece> pieces;
  for (std::size_t offset = 0; offset < imageSize; offset += SettingsCopyBlock) {
    pieces.push_back({static_cast<std::uint16_t>(SettingsCopyAddress + offset), offset,
                      std::min(SettingsCopyBlock, imageSize - offset)});
  }
  return pieces;
}

void DecodeSettings(const TRegisterMemory& memory, const TRamMap& map, TKkmSettings& settings) {
  for (int t = 1; t <= TaxCount; ++t) {
    TTaxSetting& tax = settings.Tax(t);
    tax.Rate.clear();
    tax.Name.clear();
    tax.Enabled = false;
    if (t > LayoutTaxCount(map)) continue;
    DecodeTaxKind(t, Byte(memory, TaxKindAddress(map, t)), tax);
    if (!tax.Enabled) continue;
    tax.Rate = DecodeRate(RateAt(memory, TaxRateAddress(map, t)));
    TaxNameBytes name{};
    for (int j = 0; j < TaxNameRecord::NameLength; ++j)
      name[j] = Byte(memory, static_cast<std::uint16_t>(TaxNameAddress(map, t) + TaxNameRecord::NameOffset + j));
    tax.Name = DecodeTaxName(name);
  }
  for (int n = 1; n <= RateCount; ++n) {
    settings.Discount(n) = DecodeRate(RateAt(memory, DiscountAddress(map, n)));
    settings.Surcharge(n) = DecodeRate(RateAt(memory, SurchargeAddress(map, n)));
  }
  for (int g = 1; g <= GroupCount; ++g) settings.Group(g) = DecodeGroupByte(Byte(memory, GroupAddress(map, g)));
}
