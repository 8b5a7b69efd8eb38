#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <vector>

#include "document/RateText.h"
#include "register/Firmware.h"
#include "register/RegisterForm.h"
#include "register/RegisterRecords.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Repeat(std::uint8_t byte, std::size_t count) { return TBytes(count, byte); }

TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes all;
  for (const TBytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TBytes BytesOf(const SettingsImage& image) { return TBytes(image.begin(), image.end()); }

// The image of a document that has a register form.
SettingsImage ImageOf(const TKkmSettings& settings, int taxCount) {
  const TRegisterConversion conversion = ConvertForRegister(settings, taxCount);
  EXPECT_FALSE(conversion.Fault.has_value());
  return conversion.Form ? conversion.Form->Image : SettingsImage();
}

TRamMap Selected(std::int32_t version) { return FindFirmware(version)->Map; }

TGroupBinding Binding(std::string tax, std::string discount, std::string surcharge) {
  return TGroupBinding{std::move(tax), std::move(discount), std::move(surcharge)};
}

// Rates ----------------------------------------------------------------------

TEST(RegisterRate, DecodesTwoDigitsTheCommaAndTwoDigits) {
  ASSERT_EQ(DecimalSeparator, ',');
  EXPECT_EQ(DecodeRate({0x31, 0x32, 0x35, 0x30}), "12,50");
  EXPECT_EQ(DecodeRate({0x30, 0x37, 0x35, 0x30}), "07,50");
  EXPECT_EQ(DecodeRate({0x30, 0x30, 0x30, 0x30}), "00,00");
}

TEST(RegisterRate, DecodesOtherBytesAsWindows1251Characters) {
  // Memory that holds no digits still gives five characters of valid text.
  EXPECT_EQ(DecodeRate({0xC0, 0x41, 0x00, 0xE0}), std::string("АA,") + '\0' + "а");
}

TEST(RegisterRate, EncodingSkipsTheThirdCharacterWhateverItIs) {
  const RegisterRate expected = {0x31, 0x32, 0x35, 0x30};
  for (const char* text : {"12,50", "12.50", "12x50", "12 50", "12б50"}) {
    EXPECT_EQ(EncodeRate(text), expected) << text;
  }
  EXPECT_EQ(EncodeRate("05,00"), (RegisterRate{0x30, 0x35, 0x30, 0x30}));
  EXPECT_EQ(EncodeRate("99,99"), (RegisterRate{0x39, 0x39, 0x39, 0x39}));
}

TEST(RegisterRate, RefusesTextsThatAreNotFiveCharactersWithFourDigits) {
  for (const char* text : {"", "1,50", "12,5", "100,00", "12,500", " 2,50", "1a,50", "12,5-", "ab,cd", "1б,50"}) {
    EXPECT_FALSE(EncodeRate(text).has_value()) << text;
  }
}

TEST(RegisterRate, EveryCanonicalRateSurvivesTheRoundTrip) {
  for (int value = 0; value <= 9999; value += 37) {
    const RegisterRate bytes = {
        static_cast<std::uint8_t>('0' + value / 1000), static_cast<std::uint8_t>('0' + value / 100 % 10),
        static_cast<std::uint8_t>('0' + value / 10 % 10), static_cast<std::uint8_t>('0' + value % 10)};
    EXPECT_EQ(EncodeRate(DecodeRate(bytes)), bytes) << value;
  }
}

// Tax kinds ------------------------------------------------------------------

TTaxSetting TaxWithKind(const char* kind) {
  TTaxSetting tax;
  tax.Enabled = true;
  tax.Rate = "18,00";
  tax.Name = "НДС";
  tax.Kind = kind;
  return tax;
}

TEST(TaxKind, DecodesTheKindOfTaxesOneToThree) {
  TTaxSetting tax = TaxWithKind("Н");
  DecodeTaxKind(1, 1, tax);
  EXPECT_TRUE(tax.Enabled);
  EXPECT_EQ(tax.Kind, "И");
  DecodeTaxKind(3, 2, tax);
  EXPECT_TRUE(tax.Enabled);
  EXPECT_EQ(tax.Kind, "Н");
}

TEST(TaxKind, AnyOtherByteSwitchesTheTaxOffAndKeepsTheRest) {
  TTaxSetting expected = TaxWithKind("И");
  expected.Enabled = false;
  for (std::uint8_t byte : {0, 3, 0x80, 0xFF}) {
    TTaxSetting tax = TaxWithKind("И");
    DecodeTaxKind(2, byte, tax);
    EXPECT_EQ(tax, expected) << +byte;
  }
}

TEST(TaxKind, TaxFourIsOnOnlyWithKindN) {
  TTaxSetting tax = TaxWithKind("И");
  DecodeTaxKind(4, 1, tax);
  EXPECT_FALSE(tax.Enabled);
  DecodeTaxKind(4, 2, tax);
  EXPECT_TRUE(tax.Enabled);
  EXPECT_EQ(tax.Kind, "И");  // reading never changes tax 4's kind
}

TEST(TaxKind, Encodes) {
  EXPECT_EQ(EncodeTaxKind(1, false, "И"), 0);
  EXPECT_EQ(EncodeTaxKind(4, false, "Н"), 0);
  EXPECT_EQ(EncodeTaxKind(1, true, "И"), 1);
  EXPECT_EQ(EncodeTaxKind(3, true, "И"), 1);
  EXPECT_EQ(EncodeTaxKind(2, true, "Н"), 2);
  // Only the exact text "И" is kind И.
  EXPECT_EQ(EncodeTaxKind(2, true, "и"), 2);
  EXPECT_EQ(EncodeTaxKind(2, true, ""), 2);
  EXPECT_EQ(EncodeTaxKind(2, true, "И "), 2);
  EXPECT_EQ(EncodeTaxKind(4, true, "И"), 2);
}

// Tax names ------------------------------------------------------------------

TEST(TaxName, ThreeLettersAreWindows1251BytesPaddedWithZeros) {
  const TaxNameBytes bytes = EncodeTaxName("НДС");
  EXPECT_EQ(TBytes(bytes.begin(), bytes.end()), Concat({{0xCD, 0xC4, 0xD1}, Repeat(0, 13)}));
  EXPECT_EQ(DecodeTaxName(bytes), "НДС");
}

TEST(TaxName, KeepsTheFirstSixteenCharacters) {
  const TaxNameBytes bytes = EncodeTaxName("АБВГДЕЁЖЗИЙКЛМНОПРСТ");
  const TBytes expected = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xA8, 0xC6,
                           0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE};
  EXPECT_EQ(TBytes(bytes.begin(), bytes.end()), expected);
  EXPECT_EQ(DecodeTaxName(bytes), "АБВГДЕЁЖЗИЙКЛМНО");
}

TEST(TaxName, ACharacterWithoutAByteBecomesAQuestionMark) {
  const TaxNameBytes bytes = EncodeTaxName("Ω€1");
  EXPECT_EQ(TBytes(bytes.begin(), bytes.begin() + 4), (TBytes{'?', 0x88, '1', 0}));
  EXPECT_EQ(DecodeTaxName(bytes), "?€1");
}

TEST(TaxName, DecodingLeavesOutZeroBytesWhereverTheyStand) {
  TaxNameBytes bytes{};
  bytes[0] = 0xCD;
  bytes[3] = 'A';
  bytes[15] = 0xD1;
  EXPECT_EQ(DecodeTaxName(bytes), "НAС");
  EXPECT_EQ(DecodeTaxName(TaxNameBytes{}), "");
}

// Mended: a line break or another control byte in a register's name made the
// document impossible to save; it reads as a blank.
TEST(TaxName, ControlBytesReadAsBlanks) {
  TaxNameBytes bytes{};
  const std::uint8_t name[] = {'A', 0x0A, 'B', 0x0D, 0x09, 'C', 0x7F, 0x1F};
  std::copy(std::begin(name), std::end(name), bytes.begin());
  EXPECT_EQ(DecodeTaxName(bytes), "A B  C  ");
}

// Group bytes ----------------------------------------------------------------

TEST(GroupByte, Decodes) {
  EXPECT_EQ(DecodeGroupByte(0x9A), Binding("2", "3", ""));
  EXPECT_EQ(DecodeGroupByte(0x1B), Binding("3", "", "3"));
  EXPECT_EQ(DecodeGroupByte(0x80), Binding("", "", ""));
  EXPECT_EQ(DecodeGroupByte(0x41), Binding("1", "", "8"));
  EXPECT_EQ(DecodeGroupByte(0x88), Binding("", "1", ""));
  EXPECT_EQ(DecodeGroupByte(0x93), Binding("3", "2", ""));
  EXPECT_EQ(DecodeGroupByte(0x00), Binding("", "", ""));
}

TEST(GroupByte, Encodes) {
  EXPECT_EQ(EncodeGroupByte(Binding("2", "3", "")), 0x9A);
  EXPECT_EQ(EncodeGroupByte(Binding("3", "", "3")), 0x1B);
  EXPECT_EQ(EncodeGroupByte(Binding("1", "", "8")), 0x41);
  EXPECT_EQ(EncodeGroupByte(Binding("0", "1", "")), 0x88);
  EXPECT_EQ(EncodeGroupByte(Binding("3", "2", "")), 0x93);
  EXPECT_EQ(EncodeGroupByte(Binding("", "", "")), 0x00);
  EXPECT_EQ(EncodeGroupByte(Binding("7", "", "15")), 0x7F);
  EXPECT_EQ(EncodeGroupByte(Binding("003", "02", "")), 0x93);
}

TEST(GroupByte, ZeroIsNotEmptyAndASurchargeWins) {
  EXPECT_EQ(EncodeGroupByte(Binding("", "0", "")), 0x80);
  EXPECT_EQ(EncodeGroupByte(Binding("2", "0", "")), 0x82);
  EXPECT_EQ(EncodeGroupByte(Binding("", "5", "3")), 0x18);
  EXPECT_EQ(EncodeGroupByte(Binding("1", "4", "0")), 0x01);
}

TEST(GroupByte, EveryByteComesBackExceptABareDiscountFlag) {
  for (int value = 0; value <= 0xFF; ++value) {
    const auto byte = static_cast<std::uint8_t>(value);
    const bool numberless = (byte & 0x78) == 0;
    const std::uint8_t expected = numberless ? byte & 0x07 : byte;
    EXPECT_EQ(EncodeGroupByte(DecodeGroupByte(byte)), expected) << value;
  }
}

// The byte refuses what has no place in it; the document's conversion names the field,
// which the group page's own range decides.
TEST(GroupByte, NamesTheFieldThatHasNoPlaceInTheByte) {
  struct TCase {
    TGroupBinding Binding;
    TGroupField Field;
  };
  const TCase cases[] = {
      {Binding("8", "", ""), TGroupField::Tax},
      {Binding("x", "", ""), TGroupField::Tax},
      {Binding("-1", "", ""), TGroupField::Tax},
      {Binding("1", "16", ""), TGroupField::Discount},
      {Binding("1", " 3", ""), TGroupField::Discount},
      {Binding("1", "3,0", ""), TGroupField::Discount},
      {Binding("", "", "99999999999999999999"), TGroupField::Surcharge},
      {Binding("", "", "+1"), TGroupField::Surcharge},
      // A bad discount is not hidden by a surcharge that wins.
      {Binding("", "abc", "2"), TGroupField::Discount},
  };
  for (const TCase& c : cases) {
    const std::string shown = c.Binding.Tax + "|" + c.Binding.Discount + "|" + c.Binding.Surcharge;
    EXPECT_FALSE(EncodeGroupByte(c.Binding).has_value()) << shown;
    TKkmSettings settings;
    settings.Group(3) = c.Binding;
    const TRegisterConversion conversion = ConvertForRegister(settings, 4);
    EXPECT_FALSE(conversion.Form.has_value()) << shown;
    ASSERT_TRUE(conversion.Fault.has_value()) << shown;
    EXPECT_EQ(conversion.Fault->Field, c.Field) << shown;
  }
  EXPECT_TRUE(EncodeGroupByte(Binding("7", "15", "")).has_value());
}

// Checksum and purchase counter ----------------------------------------------

TEST(SettingsChecksum, IsThePlainSumModulo256) {
  std::array<std::uint8_t, SettingsBlockSize(4)> block{};
  EXPECT_EQ(SettingsBlockChecksum(block), 0x00);
  block.fill(0xFF);  // 192 * 255 = 0xBF40
  EXPECT_EQ(SettingsBlockChecksum(block), 0x40);
  block.fill(0);
  block[0] = 0x01;
  block[191] = 0x02;
  EXPECT_EQ(SettingsBlockChecksum(block), 0x03);
}

TEST(PurchaseCounter, HighByteThenLowByte) {
  EXPECT_EQ(PurchaseCount(0x00, 0x01), 1);
  EXPECT_EQ(PurchaseCount(0x01, 0x00), 256);
}

// Layout and addresses -------------------------------------------------------

TEST(TaxLayout, EarlyFirmwareHasNoFourthTax) {
  for (std::uint8_t version : {100, 101, 102, 103}) {
    EXPECT_EQ(LayoutTaxCount(Selected(version)), 3) << +version;
    EXPECT_FALSE(HasFourthTax(Selected(version))) << +version;
  }
  EXPECT_TRUE(HasFourthTax(Selected(104)));
  EXPECT_TRUE(HasFourthTax(Selected(105)));
}

TEST(RecordAddress, FourTaxFirmware) {
  const TRamMap map = Selected(104);
  EXPECT_EQ(TaxKindAddress(map, 1), 0x18D8);
  EXPECT_EQ(TaxKindAddress(map, 4), 0x18DB);
  EXPECT_EQ(TaxRateAddress(map, 4), 0x18E8);
  EXPECT_EQ(TaxNameAddress(map, 1), 0x2E23);
  EXPECT_EQ(TaxNameAddress(map, 4), 0x2E23 + 54);
  EXPECT_EQ(SurchargeAddress(map, 1), 0x182C);
  EXPECT_EQ(DiscountAddress(map, 8), 0x1868);
  EXPECT_EQ(GroupAddress(map, 1), 0x186C);
  EXPECT_EQ(GroupAddress(map, 108), 0x18D7);
}

TEST(RecordAddress, ThreeTaxFirmwareHasNoAddressForTaxFour) {
  const TRamMap map = Selected(103);
  EXPECT_EQ(TaxKindAddress(map, 3), 0x18C3);
  EXPECT_EQ(TaxRateAddress(map, 3) + 3, map.SettingsChecksum - 1);
  EXPECT_EQ(TaxNameAddress(map, 3), 0x18D6 + 36);
  EXPECT_THROW(TaxKindAddress(map, 4), std::out_of_range);
  EXPECT_THROW(TaxRateAddress(map, 4), std::out_of_range);
  EXPECT_THROW(TaxNameAddress(map, 4), std::out_of_range);
}

TEST(RecordAddress, NumbersOutsideTheirTablesThrow) {
  const TRamMap map = Selected(105);
  EXPECT_THROW(TaxKindAddress(map, 0), std::out_of_range);
  EXPECT_THROW(TaxRateAddress(map, 5), std::out_of_range);
  EXPECT_THROW(DiscountAddress(map, 0), std::out_of_range);
  EXPECT_THROW(SurchargeAddress(map, 9), std::out_of_range);
  EXPECT_THROW(GroupAddress(map, 109), std::out_of_range);
}

TEST(RecordAddress, AddsInSixteenBits) {
  TRamMap map;
  map.GroupTable = 0xFFFF;
  EXPECT_EQ(GroupAddress(map, 2), 0x0000);
}

// The image is the four-tax register's settings block, byte for byte.
TEST(SettingsImageLayout, FollowsTheFourTaxBlockInRegisterMemory) {
  const TRamMap map = Selected(105);
  const auto offset = [&](std::uint16_t address) { return static_cast<std::size_t>(address - map.SurchargeTable); };
  for (int n = 1; n <= RateCount; ++n) {
    EXPECT_EQ(offset(SurchargeAddress(map, n)), ImageSurchargeOffset + 4 * (n - 1));
    EXPECT_EQ(offset(DiscountAddress(map, n)), ImageDiscountOffset + 4 * (n - 1));
  }
  for (int g = 1; g <= GroupCount; ++g) EXPECT_EQ(offset(GroupAddress(map, g)), ImageGroupOffset + g - 1);
  for (int t = 1; t <= TaxCount; ++t) {
    EXPECT_EQ(offset(TaxKindAddress(map, t)), ImageTaxKindOffset + t - 1);
    EXPECT_EQ(offset(TaxRateAddress(map, t)), ImageTaxRateOffset(4) + 4 * (t - 1));
  }
  EXPECT_EQ(offset(map.SettingsChecksum), SettingsBlockSize(4));
  EXPECT_EQ(SettingsBlockSize(4), 192u);
}

// The three-tax image is the 187-byte block that those registers hold, byte for byte.
TEST(SettingsImageLayout, FollowsTheThreeTaxBlockInRegisterMemory) {
  const TRamMap map = Selected(103);
  const auto offset = [&](std::uint16_t address) { return static_cast<std::size_t>(address - map.SurchargeTable); };
  for (int g = 1; g <= GroupCount; ++g) EXPECT_EQ(offset(GroupAddress(map, g)), ImageGroupOffset + g - 1);
  for (int t = 1; t <= 3; ++t) {
    EXPECT_EQ(offset(TaxKindAddress(map, t)), ImageTaxKindOffset + t - 1);
    EXPECT_EQ(offset(TaxRateAddress(map, t)), ImageTaxRateOffset(3) + 4 * (t - 1));
  }
  EXPECT_EQ(offset(map.SettingsChecksum), SettingsBlockSize(3));
  EXPECT_EQ(SettingsBlockSize(3), 187u);
}

TEST(SettingsImageLayout, PiecesCoverTheImageAtTheirFixedAddresses) {
  const auto pieces = [](std::size_t size) {
    std::vector<std::pair<int, std::size_t>> got;
    for (const TImagePiece& piece : SettingsImagePieces(size)) {
      EXPECT_EQ(static_cast<std::size_t>(piece.Address), 0x043C + piece.Offset);
      got.emplace_back(piece.Address, piece.Count);
    }
    return got;
  };
  using TPieces = std::vector<std::pair<int, std::size_t>>;
  EXPECT_EQ(pieces(193), (TPieces{{0x043C, 64}, {0x047C, 64}, {0x04BC, 64}, {0x04FC, 1}}));
  EXPECT_EQ(pieces(188), (TPieces{{0x043C, 64}, {0x047C, 64}, {0x04BC, 60}}));
}

// Settings image -------------------------------------------------------------

TEST(SettingsImage, OfTheDefaultDocument) {
  // 80 digits 0x30 sum to 0xF00.
  const TBytes expected = Concat({Repeat(0x30, 64), Repeat(0x00, 108), Repeat(0x00, 4), Repeat(0x30, 16), {0x00}});
  EXPECT_EQ(BytesOf(ImageOf(TKkmSettings(), 4)), expected);
}

TKkmSettings SomeTaxesAndBindings() {
  TKkmSettings settings;
  settings.Surcharge(1) = "01,50";
  settings.Surcharge(8) = "99,99";
  settings.Discount(2) = "12,50";
  settings.Group(1) = Binding("2", "3", "");
  settings.Group(2) = Binding("1", "", "8");
  settings.Group(50) = Binding("", "0", "");
  settings.Group(108) = Binding("3", "2", "");
  settings.Tax(1) = {true, "18,00", "НДС", "И"};
  settings.Tax(2) = {false, "", "", "И"};  // off: its rate text does not matter
  settings.Tax(3) = {true, "05,00", "НсП", "Н"};
  settings.Tax(4) = {true, "02,50", "Четвёртый", "И"};
  return settings;
}

TEST(SettingsImage, OfADocumentWithTaxesAndBindings) {
  const TRegisterConversion conversion = ConvertForRegister(SomeTaxesAndBindings(), 4);
  ASSERT_TRUE(conversion.Form.has_value());
  const SettingsImage* image = &conversion.Form->Image;
  // Digits above the 80 zero digits (3840): surcharges 1+5 and 4*9, discount 1+2+5,
  // taxes 1+8, 5 and 2+5: 3911. Groups 0x9A+0x41+0x80+0x93 = 494; kinds 1+0+2+2 = 5.
  // 3911 + 494 + 5 = 4410 = 0x113A.
  const TBytes surcharges = Concat({{0x30, 0x31, 0x35, 0x30}, Repeat(0x30, 24), {0x39, 0x39, 0x39, 0x39}});
  const TBytes discounts = Concat({Repeat(0x30, 4), {0x31, 0x32, 0x35, 0x30}, Repeat(0x30, 24)});
  const TBytes groups = Concat({{0x9A, 0x41}, Repeat(0x00, 47), {0x80}, Repeat(0x00, 57), {0x93}});
  const TBytes kinds = {0x01, 0x00, 0x02, 0x02};
  const TBytes taxRates = {0x31, 0x38, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
                           0x30, 0x35, 0x30, 0x30, 0x30, 0x32, 0x35, 0x30};
  EXPECT_EQ(BytesOf(*image), Concat({surcharges, discounts, groups, kinds, taxRates, {0x3A}}));
  // The names go with the taxes that are on.
  const auto& names = conversion.Form->Names;
  EXPECT_EQ(names[0], EncodeTaxName("НДС"));
  EXPECT_FALSE(names[1].has_value());
  EXPECT_EQ(names[3], EncodeTaxName("Четвёртый"));
  EXPECT_FALSE(ConvertForRegister(SomeTaxesAndBindings(), 3).Form->Names[3].has_value());
}

// Mended: the three-tax register got the four-tax image, whose checksum is 0xC0 more
// than that of the 187 bytes it holds (tax 4 off: its kind 0 and four zero digits).
TEST(SettingsImage, ThreeTaxLayoutHoldsThreeTaxes) {
  const SettingsImage expected = ImageOf(SomeTaxesAndBindings(), 3);
  const SettingsImage* image = &expected;
  ASSERT_EQ(image->size(), 188u);
  const TBytes kinds = {0x01, 0x00, 0x02};
  const TBytes taxRates = {0x31, 0x38, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x35, 0x30, 0x30};
  EXPECT_EQ(TBytes(image->begin() + 172, image->begin() + 187), Concat({kinds, taxRates}));
  // 4410 less tax 4's kind 2 and its digits 0x30 0x32 0x35 0x30 (199): 4209 = 0x1071.
  EXPECT_EQ(image->back(), 0x71);
  EXPECT_EQ(image->back(), SettingsBlockChecksum(std::span(*image).first(187)));
}

// The first field without a register form, in image order, with the box the user sees.
TEST(SettingsImage, RefusesADocumentWithAFieldThatHasNoRegisterForm) {
  struct TCase {
    std::function<void(TKkmSettings&)> Change;
    int TaxCount;
    std::optional<TFormFault> Fault;
  };
  const char* const NotAnInteger = "'abc' is not a valid integer value";
  const TCase cases[] = {
      {[](TKkmSettings& s) { s.Group(7).Discount = "abc"; }, 4,
       TFormFault{TSection::Groups, 7, TGroupField::Discount, TMessageKind::Error, NotAnInteger}},
      {[](TKkmSettings& s) { s.Group(9).Tax = "4"; }, 4,
       TFormFault{TSection::Groups, 9, TGroupField::Tax, TMessageKind::Plain, "Диапазон вводимых значений - 0..3"}},
      // Surcharges lead the image, so theirs is reported first.
      {[](TKkmSettings& s) { s.Group(7).Discount = "abc", s.Surcharge(3) = "1,5"; }, 4,
       TFormFault{TSection::Surcharges, 3, TGroupField::Tax, TMessageKind::Warning, "Неверное значение надбавки"}},
      {[](TKkmSettings& s) { s.Discount(8) = ""; }, 4,
       TFormFault{TSection::Discounts, 8, TGroupField::Tax, TMessageKind::Warning, "Неверное значение скидки"}},
      {[](TKkmSettings& s) { s.Tax(3).Rate = "100,00"; }, 4,
       TFormFault{TSection::Taxes, 3, TGroupField::Tax, TMessageKind::Warning, "Неверное значение ставки налога"}},
      {[](TKkmSettings& s) { s.Tax(4).Rate = ""; }, 4,
       TFormFault{TSection::Taxes, 4, TGroupField::Tax, TMessageKind::Warning, "Неверное значение ставки налога"}},
      // Only a tax that is written needs a register rate.
      {[](TKkmSettings& s) { s.Tax(4).Rate = ""; }, 3, std::nullopt},
      {[](TKkmSettings& s) { s.Tax(2).Rate = "x"; }, 4, std::nullopt},
  };
  for (const TCase& c : cases) {
    TKkmSettings settings = SomeTaxesAndBindings();
    c.Change(settings);
    const TRegisterConversion conversion = ConvertForRegister(settings, c.TaxCount);
    EXPECT_EQ(conversion.Fault, c.Fault) << (c.Fault ? c.Fault->Message : "none");
    EXPECT_EQ(conversion.Form.has_value(), !c.Fault.has_value());
  }
}

}  // namespace
