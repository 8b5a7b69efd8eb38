#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "link/DisplayExchange.h"
#include "link/KkmFrames.h"
#include "support/SimulatedKkm.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Padded(TBytes bytes) {
  bytes.resize(16, ' ');
  return bytes;
}

// "Чтение" and "налогов" in Windows-1251.
const TBytes Reading{0xD7, 0xF2, 0xE5, 0xED, 0xE8, 0xE5};
const TBytes OfTaxes{0xED, 0xE0, 0xEB, 0xEE, 0xE3, 0xEE, 0xE2};

class DisplayExchangeTest : public ::testing::Test, protected TSimulatedKkm {
 protected:
  void ShowOnRegister(std::uint16_t address, const std::string& ascii) {
    std::copy(ascii.begin(), ascii.end(), Kkm.Memory().begin() + address);
  }

  // Each addressed exchange as its command and memory address.
  std::vector<std::pair<std::uint8_t, std::uint16_t>> Exchanges() const {
    std::vector<std::pair<std::uint8_t, std::uint16_t>> exchanges;
    const auto sent = Sent();
    for (std::size_t i = 0; i + 4 < sent.size(); ++i) {
      if (sent[i].second != TParity::Mark || sent[i + 1].second != TParity::Space) continue;
      exchanges.emplace_back(sent[i + 2].first, static_cast<std::uint16_t>(sent[i + 3].first | sent[i + 4].first << 8));
    }
    return exchanges;
  }
};

TEST_F(DisplayExchangeTest, ReadsBothLinesThenWritesEachWithItsUpdateByte) {
  ShowOnRegister(0x1A88, "ITOG       12.50");
  ShowOnRegister(0x1B28, "SMENA 3");
  std::string line1 = "Чтение";
  std::string line2 = "налогов";
  EXPECT_TRUE(DisplayExchange(Link, line1, line2));
  EXPECT_EQ(line1, "ITOG       12.50");
  EXPECT_EQ(line2, "SMENA 3         ");
  EXPECT_EQ(Exchanges(),
            (std::vector<std::pair<std::uint8_t, std::uint16_t>>{
                {0x06, 0x1A88}, {0x06, 0x1B28}, {0x05, 0x1A88}, {0x05, 0x1B6A}, {0x05, 0x1A98}, {0x05, 0x1B6A}}));
  EXPECT_EQ(AddressBytesSent(), 6u);
  EXPECT_EQ(Kkm.DisplayLine(1), Padded(Reading));
  EXPECT_EQ(Kkm.DisplayLine(2), Padded(OfTaxes));
  EXPECT_EQ(Kkm.DisplayUpdates(), 2);
}

TEST_F(DisplayExchangeTest, LinesAreCutOrPaddedToSixteenCharacters) {
  std::string line1 = "Запись установок в ККМ";  // 22 characters
  std::string line2;
  EXPECT_TRUE(DisplayExchange(Link, line1, line2));
  const TBytes cut{0xC7, 0xE0, 0xEF, 0xE8, 0xF1, 0xFC, ' ', 0xF3, 0xF1, 0xF2, 0xE0, 0xED, 0xEE, 0xE2, 0xEE, 0xEA};
  EXPECT_EQ(Kkm.DisplayLine(1), cut);
  EXPECT_EQ(Kkm.DisplayLine(2), TBytes(16, ' '));

  // Sixteen characters go out unchanged, and come back so when the display is restored.
  std::string restore1 = "Запись установок";
  std::string restore2 = "0123456789ABCDEF";
  ShowOnRegister(0x1B28, "0123456789ABCDEF");
  ASSERT_TRUE(DisplayExchange(Link, restore1, restore2));
  EXPECT_EQ(Kkm.DisplayLine(1), cut);
  EXPECT_EQ(restore1, "Запись установок");
  EXPECT_EQ(restore2, "0123456789ABCDEF");
}

TEST_F(DisplayExchangeTest, LinesReadBackKeepTheirZeroBytes) {
  Kkm.Memory()[0x1A88 + 3] = 0;
  std::string line1 = "A";
  std::string line2 = "B";
  ASSERT_TRUE(DisplayExchange(Link, line1, line2));
  EXPECT_EQ(line1, std::string("   \0            ", 16));
}

TEST_F(DisplayExchangeTest, AFailedFirstReadWritesNothingAndKeepsBothTexts) {
  Kkm.Inject({.Kind = TFaultKind::Silence, .Answer = TAnswerKind::Echo});
  std::string line1 = "Запись";
  std::string line2 = "скидок";
  EXPECT_FALSE(DisplayExchange(Link, line1, line2));
  EXPECT_EQ(line1, "Запись");
  EXPECT_EQ(line2, "скидок");
  EXPECT_EQ(AddressBytesSent(), 1u);
  EXPECT_EQ(Kkm.DisplayLine(1), TBytes(16, ' '));
  EXPECT_EQ(Kkm.DisplayUpdates(), 0);
}

TEST_F(DisplayExchangeTest, AFailedSecondReadKeepsOnlyTheSecondText) {
  ShowOnRegister(0x1A88, "OLD FIRST LINE  ");
  Kkm.Inject({.Kind = TFaultKind::CorruptChecksum, .Answer = TAnswerKind::Reply, .Skip = 1});
  std::string line1 = "Чтение";
  std::string line2 = "скидок";
  EXPECT_FALSE(DisplayExchange(Link, line1, line2));
  EXPECT_EQ(line1, "OLD FIRST LINE  ");
  EXPECT_EQ(line2, "скидок");
  EXPECT_EQ(Exchanges().size(), 2u);
}

TEST_F(DisplayExchangeTest, AFailedUpdateByteDoesNotStopTheSecondLine) {
  // Acknowledgements: two reads, the first line, then its update byte.
  Kkm.Inject({.Kind = TFaultKind::WrongByte, .Answer = TAnswerKind::Acknowledgement, .Skip = 3});
  std::string line1 = "Чтение";
  std::string line2 = "налогов";
  EXPECT_TRUE(DisplayExchange(Link, line1, line2));
  EXPECT_EQ(Kkm.DisplayLine(2), Padded(OfTaxes));
}

TEST_F(DisplayExchangeTest, AFailedFirstLineWriteLeavesTheSecondLineAlone) {
  Kkm.Inject({.Kind = TFaultKind::Silence, .Answer = TAnswerKind::Acknowledgement, .Skip = 2});
  std::string line1 = "Чтение";
  std::string line2 = "налогов";
  EXPECT_FALSE(DisplayExchange(Link, line1, line2));
  EXPECT_EQ(Exchanges().size(), 3u);
  EXPECT_EQ(Kkm.DisplayLine(2), TBytes(16, ' '));
}

}  // namespace
