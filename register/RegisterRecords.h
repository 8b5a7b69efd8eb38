#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/TKkmSettings.h"
#include "register/RamList.h"

// How every setting lies in register memory, and the only conversions between
// register bytes and document fields. Register text bytes are Windows-1251; the
// document's texts are UTF-8.

// A discount, surcharge or tax rate: four digit characters, two before the decimal
// separator and two after it; the separator itself is not stored.
inline constexpr int RateBytes = 4;
using RegisterRate = std::array<std::uint8_t, RateBytes>;
inline constexpr std::uint8_t ZeroDigit = 0x30;
inline constexpr RegisterRate SwitchedOffRate = {ZeroDigit, ZeroDigit, ZeroDigit, ZeroDigit};

// The name record of a tax: a marker byte written before each name, the name
// bytes padded with zeros, and a spare byte that is never read or written.
struct TaxNameRecord {
  static constexpr int Size = 18;
  static constexpr int NameOffset = 1;
  static constexpr int NameLength = 16;
  static constexpr std::uint8_t Marker = 1;
};
using TaxNameBytes = std::array<std::uint8_t, TaxNameRecord::NameLength>;

// Tax kind bytes; any other value reads as switched off.
inline constexpr std::uint8_t TaxKindOff = 0;
inline constexpr std::uint8_t TaxKindI = 1;  // "И", taxes 1 to 3 only
inline constexpr std::uint8_t TaxKindN = 2;  // "Н"

// The group byte: bits 0-2 the tax, bits 3-6 a discount or surcharge number,
// bit 7 set when that number is a discount.
inline constexpr std::uint8_t GroupTaxBits = 0x07;
inline constexpr int GroupNumberShift = 3;
inline constexpr std::uint8_t GroupNumberBits = 0x0F;
inline constexpr std::uint8_t GroupDiscountBit = 0x80;
inline constexpr int MaxGroupTax = GroupTaxBits;
inline constexpr int MaxGroupNumber = GroupNumberBits;

// The settings block as the register keeps it from SurchargeTable on: surcharges,
// discounts, groups, then a kind byte and a rate for each tax its layout has room for
// (192 bytes with four taxes, 187 with three), followed by the block's checksum. The
// image is that block and checksum, ready to be written.
using SettingsImage = std::vector<std::uint8_t>;
inline constexpr std::size_t ImageSurchargeOffset = 0;
inline constexpr std::size_t ImageDiscountOffset = ImageSurchargeOffset + RateBytes * RateCount;
inline constexpr std::size_t ImageGroupOffset = ImageDiscountOffset + RateBytes * RateCount;
inline constexpr std::size_t ImageTaxKindOffset = ImageGroupOffset + GroupCount;
constexpr std::size_t ImageTaxRateOffset(int taxCount) {
  return ImageTaxKindOffset + static_cast<std::size_t>(taxCount);
}
constexpr std::size_t SettingsBlockSize(int taxCount) {
  return ImageTaxRateOffset(taxCount) + RateBytes * static_cast<std::size_t>(taxCount);
}
constexpr std::size_t SettingsImageSize(int taxCount) { return SettingsBlockSize(taxCount) + 1; }
static_assert(ImageDiscountOffset == 32 && ImageGroupOffset == 64 && ImageTaxKindOffset == 172);
static_assert(SettingsBlockSize(4) == 192 && SettingsBlockSize(3) == 187);

// The image goes to the settings copy area, the same for every firmware, in blocks of
// 64 bytes from 0x043C on: 64, 64, 64 and 1 bytes of a four-tax image, 64, 64 and 60
// of a three-tax one.
struct TImagePiece {
  std::uint16_t Address;
  std::size_t Offset;
  std::size_t Count;
};
inline constexpr std::uint16_t SettingsCopyAddress = 0x043C;
inline constexpr std::size_t SettingsCopyBlock = 64;
std::vector<TImagePiece> SettingsImagePieces(std::size_t imageSize);

// Rates. DecodeRate gives two characters, DecimalSeparator, two characters.
// EncodeRate takes characters 1, 2, 4 and 5 and skips the third whatever it is;
// it gives nothing unless the text has exactly five characters and those four are
// digits, so that no other text can reach the register as a rate.
std::string DecodeRate(const RegisterRate& bytes);
std::optional<RegisterRate> EncodeRate(std::string_view rateText);

// Tax kinds; t is the tax number 1 to 4. Tax 4 is always "Н": only byte 2 turns it
// on, and reading never changes its Kind. A byte that reads as off leaves Kind as it was.
void DecodeTaxKind(int t, std::uint8_t byte, TTaxSetting& tax);
std::uint8_t EncodeTaxKind(int t, bool enabled, std::string_view kind);

// Tax names. Zero bytes are left out wherever they stand, other control bytes read as
// blanks. Encoding keeps the first
// 16 characters; one that Windows-1251 cannot hold becomes '?'.
std::string DecodeTaxName(const TaxNameBytes& bytes);
TaxNameBytes EncodeTaxName(std::string_view name);

// Group bindings. A field is empty, or a whole number that fits its bits (tax 0-7,
// discount and surcharge 0-15); 0 is not empty. A surcharge wins over a discount.
// EncodeGroupByte gives nothing when a field has no place in the byte.
TGroupBinding DecodeGroupByte(std::uint8_t byte);
std::optional<std::uint8_t> EncodeGroupByte(const TGroupBinding& binding);

// The plain 8-bit sum of the settings block, not complemented.
std::uint8_t SettingsBlockChecksum(std::span<const std::uint8_t> block);

// High byte, then low byte; anything but 0 means the register holds purchases.
int PurchaseCount(std::uint8_t high, std::uint8_t low);

// How many taxes the connected layout has room for: the early firmware keeps only
// three, and there a fourth tax's kind byte would fall on tax 1's rate and its rate
// on the checksum. Taxes beyond this count are neither read nor written; they count
// as switched off.
int LayoutTaxCount(const TRamMap& map);
inline bool HasFourthTax(const TRamMap& map) { return LayoutTaxCount(map) == TaxCount; }

// Record addresses, by 16-bit addition. A number outside its range, and a tax
// beyond LayoutTaxCount, throws std::out_of_range rather than giving an address
// inside another record.
std::uint16_t TaxKindAddress(const TRamMap& map, int t);
std::uint16_t TaxRateAddress(const TRamMap& map, int t);  // first of the four digits
std::uint16_t TaxNameAddress(const TRamMap& map, int t);  // the record's marker byte
std::uint16_t DiscountAddress(const TRamMap& map, int n);
std::uint16_t SurchargeAddress(const TRamMap& map, int n);
std::uint16_t GroupAddress(const TRamMap& map, int g);

// Register memory as a transfer has read it: the bytes of the addresses read, 0 at
// any other.
using TRegisterMemory = std::array<std::uint8_t, 0x10000>;

// The settings that memory holds, by the read's rules: a tax that is off, and one that
// the layout has no room for, has no rate and no name, and keeps its kind.
void DecodeSettings(const TRegisterMemory& memory, const TRamMap& map, TKkmSettings& settings);
