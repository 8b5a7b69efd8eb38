#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "link/KkmFrames.h"
#include "support/SimulatedKkm.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

class SimulatedRegisterTest : public ::testing::Test, protected TSimulatedKkm {};

TEST_F(SimulatedRegisterTest, BytesTakeElevenBitTimesAtNineThousandSixHundredBaud) {
  std::uint8_t value = 0;
  ASSERT_TRUE(ReadMemoryByte(Link, 0x0100, value));
  const auto sent = Records(TDirection::ToRegister);
  const auto answers = Records(TDirection::FromRegister);
  ASSERT_EQ(sent.size(), 7u);
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_EQ(CharacterNs, 1'145'834u);
  for (std::size_t i = 2; i < sent.size(); ++i) EXPECT_EQ(sent[i].SentNs, sent[i - 1].ArrivedNs);  // back to back
  EXPECT_EQ(answers[0].SentNs, sent[0].ArrivedNs + TSimulatedRegister::DefaultTurnaroundNs);
  EXPECT_EQ(answers[1].SentNs, sent[6].ArrivedNs + TSimulatedRegister::DefaultTurnaroundNs);
  for (std::size_t i = 2; i < answers.size(); ++i) EXPECT_EQ(answers[i].SentNs, answers[i - 1].ArrivedNs);
  EXPECT_EQ(Clock.Now(), LineTick(answers.back().ArrivedNs));  // seen at once
}

TEST_F(SimulatedRegisterTest, AnswersOnlyToItsOwnNumberAndQuickly) {
  TSimulatedRegister kkm(37, 105);
  EXPECT_EQ(kkm.Address(), 0xC8);  // 0xFF - 0x37
  EXPECT_TRUE(kkm.Receive(0xC9, TParity::Mark, 1'000'000).empty());
  const auto echo = kkm.Receive(0xC8, TParity::Mark, 2'000'000);
  ASSERT_EQ(echo.size(), 1u);
  EXPECT_EQ(echo[0].Byte, 0xC8);
  EXPECT_LT(echo[0].ArrivedNs - 2'000'000, 10'000'000u);
  EXPECT_EQ(TSimulatedRegister(0).Address(), 0xFF);
  EXPECT_EQ(TSimulatedRegister(99).Address(), 0x66);
}

TEST_F(SimulatedRegisterTest, AFrameWithABadChecksumIsNeitherAcknowledgedNorStored) {
  ASSERT_TRUE(SelectKkm(Link));
  const TBytes frame{0x05, 0x05, 0x00, 0x02, 0x01, 0x77, 0x00};
  Link.WriteBytes(frame.data(), frame.size());
  EXPECT_FALSE(Link.WaitForInput(1, 700));
  EXPECT_EQ(Kkm.Memory()[0x0200], 0);
  EXPECT_TRUE(WriteMemoryByte(Link, 0x0200, 0x77));  // and it takes the next one
  EXPECT_EQ(Kkm.Memory()[0x0200], 0x77);
}

TEST_F(SimulatedRegisterTest, PurchaseCounterHighByteFirst) {
  Kkm.SetPurchaseCounter(0x0102);
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  ASSERT_TRUE(ReadMemoryByte(Link, 0x1306, high));
  ASSERT_TRUE(ReadMemoryByte(Link, 0x1307, low));
  EXPECT_EQ(high, 0x01);
  EXPECT_EQ(low, 0x02);
  EXPECT_EQ(Kkm.PurchaseCounter(), 0x0102);
}

TEST_F(SimulatedRegisterTest, VersionReplyCarriesTheVersionInBcd) {
  TSimulatedKkm run(105);
  ASSERT_TRUE(SelectKkm(run.Link));
  run.Link.WriteBytes(VersionQueryFrame.data(), VersionQueryFrame.size());
  run.Link.Pause(400);
  TBytes answer(12);
  ASSERT_EQ(run.Link.ReadBytes(answer.data(), answer.size()), 12u);
  EXPECT_EQ(answer[7], 0x01);
  EXPECT_EQ(answer[8], 0x05);
}

// Over a pseudo-terminal the ninth bit is lost: the register goes by the protocol.
TBytes Feed(TSimulatedRegister& kkm, const TBytes& bytes, TLineNs& at, TLineNs gapNs = 0) {
  TBytes answers;
  for (auto byte : bytes) {
    at += CharacterNs + gapNs;
    for (const auto& answer : kkm.Receive(byte, TParity::Unknown, at)) answers.push_back(answer.Byte);
  }
  return answers;
}

TEST(SimulatedRegisterWithoutParity, TellsAddressesFromFramesByTheProtocol) {
  TSimulatedRegister kkm(1);
  TLineNs at = 0;
  EXPECT_EQ(Feed(kkm, {0xFE}, at), TBytes{0xFE});
  EXPECT_EQ(Feed(kkm, {0xFE}, at), TBytes{0xFE});  // the address again, not a frame length
  EXPECT_EQ(Feed(kkm, {0x05, 0x05, 0x6A, 0x1B, 0x01, 0x01, 0x6E}, at), TBytes{0x6E});
  EXPECT_EQ(kkm.Memory()[0x1B6A], 1);
  // A frame length 0xFE after the echo is the address; an unknown address is ignored.
  EXPECT_TRUE(Feed(kkm, {0xF0}, at).empty());
  EXPECT_TRUE(Feed(kkm, {0x05, 0x05}, at).empty());
  // A frame that stops half way is given up; the next byte is an address again.
  EXPECT_EQ(Feed(kkm, {0xFE}, at), TBytes{0xFE});
  EXPECT_TRUE(Feed(kkm, {0x05, 0x05, 0x00}, at).empty());
  EXPECT_EQ(Feed(kkm, {0xFE}, at, 200'000'000), TBytes{0xFE});
  EXPECT_EQ(Feed(kkm, {0x04, 0x06, 0x6A, 0x1B, 0x01, 0x6F}, at), (TBytes{0x6F, 0x00, 0x01, 0xFE}));
}

// The demo runs the same line on the steady clock.
TEST(SimulatedLineInRealTime, PacesAReadAtNineThousandSixHundredBaud) {
  TSimulatedRegister kkm(1);
  kkm.Memory()[0x0300] = 0x42;
  TKkmLink link(SteadyClock(), SimulatedPortOpener(SteadyClock(), kkm));
  ASSERT_TRUE(link.OpenPort("COM4"));
  link.UseRegister(kkm.Address(), link.FirmwareVersion());
  std::uint8_t value = 0;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(ReadMemoryByte(link, 0x0300, value));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(value, 0x42);
  EXPECT_GE(took, std::chrono::milliseconds(13));  // twelve characters and two turnarounds
  EXPECT_LT(took, std::chrono::milliseconds(500));
}

}  // namespace
