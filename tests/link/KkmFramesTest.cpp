#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/KkmFrames.h"
#include "support/SimulatedKkm.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

class KkmFrames : public ::testing::Test, protected TSimulatedKkm {};

TEST_F(KkmFrames, WorkedFramesGoOutByteForByteWithTheirParity) {
  std::uint8_t line[16] = {};
  ASSERT_TRUE(ReadMemory(Link, 0x1A88, 16, line));
  EXPECT_EQ(Sent(), Mark({0xFE}) + Space({0x04, 0x06, 0x88, 0x1A, 0x10, 0x43}));
  EXPECT_EQ(Answered()[1], 0x43);
  Kkm.ClearTraffic();

  ASSERT_TRUE(WriteMemoryByte(Link, 0x1B6A, 1));
  EXPECT_EQ(Sent(), Mark({0xFE}) + Space({0x05, 0x05, 0x6A, 0x1B, 0x01, 0x01, 0x6E}));
  EXPECT_EQ(Answered(), (TBytes{0xFE, 0x6E}));
  EXPECT_EQ(Kkm.Memory()[0x1B6A], 1);
  Kkm.ClearTraffic();

  const std::uint8_t value = 0x5A;
  ASSERT_TRUE(WriteMemoryBlock(Link, 0x04FC, &value, 1, TBlockHandshake::OneEcho));
  EXPECT_EQ(Sent(), Mark({0xFE}) + Space({0x05, 0x17, 0xFC, 0x04, 0x01, 0x5A, 0x88}));
  EXPECT_EQ(Answered(), (TBytes{0xFE, 0x88}));
  EXPECT_EQ(Kkm.Memory()[0x04FC], 0x5A);
}

TEST_F(KkmFrames, SixteenByteWriteFrame) {
  // "Чтение" in Windows-1251 and ten spaces.
  TBytes text{0xD7, 0xF2, 0xE5, 0xED, 0xE8, 0xE5};
  text.resize(16, ' ');
  ASSERT_TRUE(WriteMemory(Link, 0x1A88, text.data(), text.size()));
  TBytes frame{0x14, 0x05, 0x88, 0x1A, 0x10};
  frame.insert(frame.end(), text.begin(), text.end());
  frame.push_back(0x8C);
  EXPECT_EQ(Sent(), Mark({0xFE}) + Space(frame));
  EXPECT_EQ(Kkm.DisplayLine(1), text);
}

TEST_F(KkmFrames, VersionQueryFrameAndItsReply) {
  EXPECT_EQ(FrameChecksum(VersionQueryFrame.data(), 2), VersionQueryFrame[2]);
  ASSERT_TRUE(SelectKkm(Link));
  Link.WriteBytes(VersionQueryFrame.data(), VersionQueryFrame.size());
  Link.Pause(400);
  ASSERT_EQ(Link.InputQueued(), 12u);
  TBytes answer(12);
  Link.ReadBytes(answer.data(), answer.size());
  EXPECT_EQ(Sent(), Mark({0xFE}) + Space({0x01, 0x14, 0xEA}));
  EXPECT_EQ(answer[0], 0xEA);
  EXPECT_EQ(answer[1 + 6], 0x01);
  EXPECT_EQ(answer[1 + 7], 0x04);
  EXPECT_EQ(FrameChecksum(answer.data() + 1, 10), answer[11]);
}

TEST_F(KkmFrames, AReplyWhoseSumExceeds255IsTakenModulo256) {
  Kkm.Memory()[0x1306] = 0xFF;
  Kkm.SetLeadingByte(1);
  std::uint8_t value = 0;
  EXPECT_TRUE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(value, 0xFF);
  EXPECT_EQ(Answered(), (TBytes{0xFE, 0xDB, 0x01, 0xFF, 0xFF}));
}

TEST_F(KkmFrames, AWrongEchoFailsBeforeAnyFrameIsSent) {
  Kkm.Inject({.Kind = TFaultKind::WrongByte, .Answer = TAnswerKind::Echo, .Times = 2});
  std::uint8_t value = 0x33;
  EXPECT_FALSE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(value, 0x33);
  EXPECT_FALSE(WriteMemoryByte(Link, 0x0100, 7));
  EXPECT_EQ(Sent(), Mark({0xFE, 0xFE}));
  EXPECT_EQ(Kkm.Memory()[0x0100], 0);
}

TEST_F(KkmFrames, AWrongAcknowledgementFailsEvenWhenDataFollow) {
  Kkm.Memory()[0x1306] = 0x12;
  Kkm.Inject({.Kind = TFaultKind::WrongByte, .Answer = TAnswerKind::Acknowledgement, .Times = 2});
  std::uint8_t value = 0x33;
  EXPECT_FALSE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(value, 0x33);
  Link.Pause(100);
  EXPECT_EQ(Answered().size(), 5u);  // echo, acknowledgement, the whole reply
  EXPECT_FALSE(WriteMemoryByte(Link, 0x0100, 7));
}

TEST_F(KkmFrames, SpoiltRepliesFail) {
  Kkm.Memory()[0x1306] = 0x12;
  std::uint8_t value = 0x33;

  Kkm.Inject({.Kind = TFaultKind::CutShort, .Answer = TAnswerKind::Reply, .ByteIndex = 1});
  EXPECT_FALSE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(value, 0x33);

  Kkm.Inject({.Kind = TFaultKind::DropByte, .Answer = TAnswerKind::Reply, .ByteIndex = 0});
  EXPECT_FALSE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(value, 0x33);

  // The data byte is there as received; only the result tells that it is not to be trusted.
  Kkm.Inject({.Kind = TFaultKind::CorruptChecksum, .Answer = TAnswerKind::Reply});
  EXPECT_FALSE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(value, 0x12);

  value = 0;
  EXPECT_TRUE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(value, 0x12);
}

TEST_F(KkmFrames, AReplyOneByteShortFailsJustAfterItsLimit) {
  std::uint8_t line[16] = {};
  Kkm.Inject({.Kind = TFaultKind::CutShort, .Answer = TAnswerKind::Reply, .ByteIndex = 1});
  EXPECT_FALSE(ReadMemory(Link, 0x1A88, 16, line));
  const auto answers = Records(TDirection::FromRegister);
  EXPECT_EQ(answers.size(), 2u + 17u);
  EXPECT_EQ(Clock.Now(), LineTick(answers[1].ArrivedNs) + ReplyTimeLimit + 1);
}

// Each wait starts when the address byte has left the PC.
TEST_F(KkmFrames, ASilentRegisterLeavesEveryOperationToItsTimeLimit) {
  Kkm.SetSilent(true);
  std::uint8_t value = 0;
  EXPECT_FALSE(ReadMemoryByte(Link, 0x1306, value));
  EXPECT_EQ(Clock.Now(), LineTick(Records(TDirection::ToRegister)[0].ArrivedNs) + 500 + 1);
  EXPECT_FALSE(WriteMemoryBlock(Link, 0x043C, &value, 1, TBlockHandshake::OneEcho));
  EXPECT_EQ(Clock.Now(), LineTick(Records(TDirection::ToRegister)[1].ArrivedNs) + 20 + 1);
  EXPECT_EQ(Sent(), Mark({0xFE, 0xFE}));
}

TEST_F(KkmFrames, BlockWritesStartNoHigherThan0A80) {
  const std::uint8_t bytes[2] = {0x11, 0x22};
  EXPECT_TRUE(WriteMemoryBlock(Link, 0x0A80, bytes, 2, TBlockHandshake::OneEcho));
  EXPECT_EQ(Kkm.Memory()[0x0A80], 0x11);
  EXPECT_EQ(Kkm.Memory()[0x0A81], 0);  // the register keeps block writes below 0x0A81
  Kkm.ClearTraffic();
  const TTick before = Clock.Now();
  EXPECT_FALSE(WriteMemoryBlock(Link, 0x0A81, bytes, 1, TBlockHandshake::OneEcho));
  EXPECT_TRUE(Kkm.Traffic().empty());
  EXPECT_EQ(Clock.Now(), before);
}

TEST_F(KkmFrames, WritesLongerThanAFrameCanCarryAreRefused) {
  TBytes bytes(MaxWriteCount, 0x5C);
  EXPECT_TRUE(WriteMemory(Link, 0x2000, bytes.data(), bytes.size()));
  EXPECT_EQ(Kkm.Memory()[0x2000 + MaxWriteCount - 1], 0x5C);
  EXPECT_EQ(Sent()[1].first, 0xFF);  // length 4 + 251
  Kkm.ClearTraffic();
  bytes.push_back(0x5C);
  EXPECT_FALSE(WriteMemory(Link, 0x3000, bytes.data(), bytes.size()));
  EXPECT_FALSE(WriteMemoryBlock(Link, 0x0100, bytes.data(), bytes.size(), TBlockHandshake::OneEcho));
  EXPECT_TRUE(Kkm.Traffic().empty());
}

TEST_F(KkmFrames, BeforeVersion105ABusyAnswerIsAFailure) {
  Kkm.SetBusyAnswers(1);
  const std::uint8_t value = 1;
  EXPECT_FALSE(WriteMemoryBlock(Link, 0x043C, &value, 1, TBlockHandshake::OneEcho));
  EXPECT_EQ(Sent(), Mark({0xFE}));
}

class KkmFrames105 : public ::testing::Test, protected TSimulatedKkm {
 protected:
  KkmFrames105() : TSimulatedKkm(105) {}
  const TBytes Block = TBytes(64, 0xA5);
};

TEST_F(KkmFrames105, TwoBusyAnswersGiveThreeAddressBytesAndOneFrame) {
  Kkm.SetBusyAnswers(2);
  EXPECT_TRUE(WriteMemoryBlock(Link, 0x043C, Block.data(), Block.size(), TBlockHandshake::BusyAnswers));
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 3u + 70u);
  const TBytes answered = Answered();
  EXPECT_EQ(TBytes(answered.begin(), answered.begin() + 3), (TBytes{0x65, 0x65, 0xFE}));
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].second, i < 3 ? TParity::Mark : TParity::Space) << i;
  }
  EXPECT_EQ(sent[3].first, 68);
  EXPECT_EQ(sent[4].first, KkmCommand::WriteBlock);
  EXPECT_EQ(Kkm.Memory()[0x043C + 63], 0xA5);
}

TEST_F(KkmFrames105, ASilentRegisterGetsOneResendAfter1650ms) {
  Kkm.SetSilent(true);
  EXPECT_FALSE(WriteMemoryBlock(Link, 0x043C, Block.data(), Block.size(), TBlockHandshake::BusyAnswers));
  const auto sent = Records(TDirection::ToRegister);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].SentNs, (LineTick(sent[0].ArrivedNs) + 1650 + 1) * 1'000'000);
  EXPECT_EQ(Clock.Now(), LineTick(sent[1].ArrivedNs) + 20 + 1);
}

TEST_F(KkmFrames105, AnEchoToTheResendIsEnough) {
  Kkm.Inject({.Kind = TFaultKind::Silence, .Answer = TAnswerKind::Echo});
  EXPECT_TRUE(WriteMemoryBlock(Link, 0x043C, Block.data(), Block.size(), TBlockHandshake::BusyAnswers));
  EXPECT_EQ(AddressBytesSent(), 2u);
}

// Mended: a register that never stops answering busy no longer holds the write for ever.
TEST_F(KkmFrames105, ABusyRegisterFailsTheBlockWriteAfterThirtySeconds) {
  Kkm.SetBusyAnswers(-1);
  EXPECT_FALSE(WriteMemoryBlock(Link, 0x043C, Block.data(), Block.size(), TBlockHandshake::BusyAnswers));
  EXPECT_GE(Clock.Now(), BusyTimeLimit);
  EXPECT_LT(Clock.Now(), BusyTimeLimit + 10);
  EXPECT_EQ(Kkm.Memory()[0x043C], 0);
  EXPECT_EQ(Sent().size(), AddressBytesSent());  // no frame
}

TEST_F(KkmFrames105, ABusySpellShorterThanThirtySecondsIsWaitedOut) {
  Kkm.SetBusyAnswers(5000);  // some 3 ms each
  EXPECT_TRUE(WriteMemoryBlock(Link, 0x043C, Block.data(), Block.size(), TBlockHandshake::BusyAnswers));
  EXPECT_EQ(AddressBytesSent(), 5001u);
}

}  // namespace
