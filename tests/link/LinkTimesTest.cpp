// Every time limit and pause of the link, pinned by the values the register is
// known to keep to (not by the program's own constants): an answer that arrives when
// exactly the window has passed is taken, one a millisecond later is not. Windows
// start when what they answer has left the PC, and a USB adapter's latency
// lengthens those that wait for the register, but not the fixed pauses.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "link/KkmConnect.h"
#include "link/KkmFrames.h"
#include "support/SimulatedKkm.h"

namespace {

using TOperation = std::function<bool(TKkmLink&)>;

bool ReadOne(TKkmLink& link) {
  std::uint8_t value = 0;
  return ReadMemoryByte(link, 0x1306, value);
}
bool WriteOne(TKkmLink& link) { return WriteMemoryByte(link, 0x0200, 9); }
bool WriteBlockOf(TKkmLink& link, std::size_t n) {
  const std::vector<std::uint8_t> block(n, 0x3C);
  const auto handshake = link.FirmwareVersion() == 105 ? TBlockHandshake::BusyAnswers : TBlockHandshake::OneEcho;
  return WriteMemoryBlock(link, 0x043C, block.data(), n, handshake);
}
bool WriteBlock(TKkmLink& link) { return WriteBlockOf(link, 1); }
bool WriteBlock64(TKkmLink& link) { return WriteBlockOf(link, 64); }

struct TWindowCase {
  const char* Name;
  std::int32_t Version;
  TOperation Operation;
  TAnswerKind Answer;
  TTick WindowMs;         // from the anchor to the last tick at which the answer is taken
  bool WidenedByLatency;  // a wait for the register, not a fixed pause
};

void PrintTo(const TWindowCase& step, std::ostream* out) { *out << step.Name; }

// Where a window starts and when its answer has come, as the register saw the
// traffic: echoes and acknowledgements answer the byte the PC sent just before, a
// reply's window starts with its acknowledgement.
struct TWindow {
  std::size_t AnchorIndex;  // in the records of its direction
  bool AnchorSent;
  std::size_t AnswerIndex;  // in the records from the register
};

TWindow FindWindow(const TSimulatedKkm& run, TAnswerKind answer) {
  const auto sent = run.Records(TDirection::ToRegister);
  const auto answers = run.Records(TDirection::FromRegister);
  if (answer == TAnswerKind::Reply) return {1, false, answers.size() - 1};
  const std::size_t index = answer == TAnswerKind::Echo ? 0 : 1;
  std::size_t anchor = 0;
  while (anchor + 1 < sent.size() && sent[anchor + 1].ArrivedNs <= answers[index].SentNs) ++anchor;
  return {anchor, true, index};
}

TTick Gap(const TSimulatedKkm& run, const TWindow& window, std::uint64_t latencyMs) {
  const auto sent = run.Records(TDirection::ToRegister);
  const auto answers = run.Records(TDirection::FromRegister);
  std::vector<TLineNs> arrivals;
  for (const TLineRecord& answer : answers) arrivals.push_back(answer.ArrivedNs);
  const auto delivered = DeliveryTimes(arrivals, latencyMs);
  const TLineNs anchor = window.AnchorSent ? sent[window.AnchorIndex].ArrivedNs : delivered[window.AnchorIndex];
  return LineTick(delivered[window.AnswerIndex]) - LineTick(anchor);
}

class LinkWindows : public ::testing::TestWithParam<std::tuple<TWindowCase, std::uint64_t>> {};

TEST_P(LinkWindows, AnAnswerAtTheEndOfItsWindowIsTakenOneMillisecondLaterIsNot) {
  const auto& [step, latency] = GetParam();
  const TTick window = step.WindowMs + (step.WidenedByLatency ? latency : 0);
  TWindow where{};
  TTick natural = 0;
  {
    TSimulatedKkm run(step.Version, latency);
    ASSERT_TRUE(step.Operation(run.Link));
    where = FindWindow(run, step.Answer);
    natural = Gap(run, where, latency);
    ASSERT_LT(natural, window);
  }
  const auto runLate = [&](TTick late, TTick& gap) {
    TSimulatedKkm run(step.Version, latency);
    run.Kkm.Inject({.Kind = TFaultKind::Late, .Answer = step.Answer, .LateMs = late});
    const bool done = step.Operation(run.Link);
    gap = Gap(run, where, latency);
    return done;
  };
  // Behind an adapter a late answer may round into the next tick; the latest answer
  // still in the window is sought from the natural one.
  TTick late = window - natural;
  TTick gap = 0;
  bool done = runLate(late, gap);
  while (gap > window) done = runLate(--late, gap);
  EXPECT_GE(gap, window - 1);
  EXPECT_TRUE(done) << "arriving " << gap << " ms after the window opened";
  EXPECT_FALSE(runLate(late + 1, gap)) << "arriving " << gap << " ms after the window opened";
  EXPECT_GT(gap, window);
}

// (The probe's window has a test of its own: an echo after it counts for the
// candidate before.) The version query reads its answers after fixed pauses, each read under the port's limit of
// 100 ms and 20 ms a byte: 40 + 1 + 120 for the echo, 400 + 1 + 120 for the
// acknowledgement.
INSTANTIATE_TEST_SUITE_P(
    EveryWindow, LinkWindows,
    ::testing::Combine(
        ::testing::Values(
            TWindowCase{"ReadEcho", 104, ReadOne, TAnswerKind::Echo, 500, true},
            TWindowCase{"ReadAcknowledgement", 104, ReadOne, TAnswerKind::Acknowledgement, 700, true},
            TWindowCase{"ReadReply", 104, ReadOne, TAnswerKind::Reply, 700, true},
            TWindowCase{"WriteEcho", 104, WriteOne, TAnswerKind::Echo, 500, true},
            TWindowCase{"WriteAcknowledgement", 104, WriteOne, TAnswerKind::Acknowledgement, 700, true},
            TWindowCase{"BlockEcho104", 104, WriteBlock, TAnswerKind::Echo, 20, true},
            TWindowCase{"BlockEcho100", 100, WriteBlock, TAnswerKind::Echo, 20, true},
            TWindowCase{"BlockAcknowledgement104", 104, WriteBlock64, TAnswerKind::Acknowledgement, 200, true},
            TWindowCase{"BlockAcknowledgement105", 105, WriteBlock, TAnswerKind::Acknowledgement, 200, true},
            TWindowCase{"VersionEcho", 104, QueryVersion, TAnswerKind::Echo, 40 + 1 + 100 + 20, false},
            TWindowCase{"VersionAcknowledgement", 104, QueryVersion, TAnswerKind::Acknowledgement, 400 + 1 + 100 + 20,
                        false}),
        ::testing::Values(0u, 16u)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).Name) + "_latency" + std::to_string(std::get<1>(info.param));
    });

// The frame of the query goes out 40 ms after the address byte has left (once its
// echo is there), and the query ends 400 ms after the frame has left.
TEST(LinkPauses, TheVersionQueryPausesFor40And400ms) {
  TSimulatedKkm run;
  ASSERT_TRUE(QueryVersion(run.Link));
  const auto sent = run.Records(TDirection::ToRegister);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1].SentNs, (LineTick(sent[0].ArrivedNs) + 40 + 1) * 1'000'000);
  EXPECT_EQ(run.Clock.Now(), LineTick(sent[3].ArrivedNs) + 400 + 1);
}

// Under version 105 an echo later than 1650 ms brings the one resend.
TEST(LinkPauses, UnderVersion105AnEchoAfter1650msBringsTheResend) {
  TTick natural = 0;
  TWindow where{};
  {
    TSimulatedKkm run(105);
    ASSERT_TRUE(WriteBlock(run.Link));
    where = FindWindow(run, TAnswerKind::Echo);
    natural = Gap(run, where, 0);
  }
  for (const TTick late : {1650 - natural, 1650 - natural + 1}) {
    TSimulatedKkm run(105);
    run.Kkm.Inject({.Kind = TFaultKind::Late, .Answer = TAnswerKind::Echo, .LateMs = late});
    const bool done = WriteBlock(run.Link);
    if (late == 1650 - natural) {
      EXPECT_TRUE(done);
    }
    EXPECT_EQ(run.AddressBytesSent(), late == 1650 - natural ? 1u : 2u);
  }
}

// A write returns while its bytes are still on their way, as a driver's does; the
// block write's acknowledgement window starts only when the last of its 70
// characters has left, some 80 ms later.
TEST(LinkDrain, TheBlockAcknowledgementWindowStartsWhenTheFrameHasLeft) {
  TSimulatedKkm line;
  const std::vector<std::uint8_t> block(64, 0x3C);
  const auto frame = WriteFrame(KkmCommand::WriteBlock, 0x043C, block.data(), block.size());
  ASSERT_EQ(line.Link.WriteBytes(frame.data(), frame.size()), 70u);
  EXPECT_EQ(line.Clock.Now(), 0u);
  EXPECT_EQ(line.Records(TDirection::ToRegister).back().ArrivedNs, 70 * CharacterNs);
  ASSERT_TRUE(line.Link.Send(frame.data(), 1));
  EXPECT_EQ(line.Clock.Now(), LineTick(71 * CharacterNs));

  for (const auto& [afterMs, succeeds] : {std::pair<TTick, bool>{190, true}, {210, false}}) {
    TSimulatedKkm run(104);
    // The acknowledgement's last bit arrives afterMs after the frame's last bit did.
    const TTick natural = LineTick(CharacterNs + TSimulatedRegister::DefaultTurnaroundNs);
    run.Kkm.Inject({.Kind = TFaultKind::Late, .Answer = TAnswerKind::Acknowledgement, .LateMs = afterMs - natural});
    EXPECT_EQ(WriteBlock64(run.Link), succeeds) << afterMs << " ms";
    const auto sent = run.Records(TDirection::ToRegister);
    const auto answers = run.Records(TDirection::FromRegister);
    ASSERT_EQ(sent.size(), 71u);
    const TLineNs gapNs = answers.back().ArrivedNs - sent.back().ArrivedNs;
    EXPECT_GE(gapNs, (afterMs - 1) * 1'000'000);
    EXPECT_LE(gapNs, (afterMs + 1) * 1'000'000);
  }
}

}  // namespace
