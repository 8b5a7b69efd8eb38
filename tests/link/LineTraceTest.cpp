#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "link/KkmFrames.h"
#include "link/LineTrace.h"
#include "sim/SimulatedLine.h"
#include "sim/SimulatedRegister.h"

namespace {

void SetTraceVariable(const std::string& value) {
#ifdef _WIN32
  _putenv_s("ORBI7_TRACE", value.c_str());
#else
  if (value.empty()) {
    unsetenv("ORBI7_TRACE");
  } else {
    setenv("ORBI7_TRACE", value.c_str(), 1);
  }
#endif
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The events of the trace without their times, which must not go backwards.
std::vector<std::string> Events(const std::vector<std::string>& lines) {
  std::vector<std::string> events;
  double last = 0;
  const std::regex timed(R"(^ *([0-9]+\.[0-9]{3}) (.*)$)");
  for (const std::string& line : lines) {
    std::smatch match;
    if (!std::regex_match(line, match, timed)) continue;
    const double ms = std::stod(match[1]);
    EXPECT_GE(ms, last) << line;
    last = ms;
    events.push_back(match[2]);
  }
  return events;
}

class LineTrace : public ::testing::Test {
 protected:
  void TearDown() override {
    SetTraceVariable("");
    std::filesystem::remove(File);
  }

  // One file a test, since the tests may run at the same time.
  std::filesystem::path File =
      std::filesystem::temp_directory_path() /
      ("orbi7-trace-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
       std::to_string(static_cast<long>(std::chrono::steady_clock::now().time_since_epoch().count())) + ".txt");
  TVirtualClock Clock{0};
  TSimulatedRegister Kkm{1, 104};
  TKkmLink Link{Clock, SimulatedPortOpener(Clock, Kkm)};
};

TEST_F(LineTrace, TellsEveryByteWithItsParityAndEachFailureWithItsReason) {
  std::filesystem::remove(File);
  SetTraceVariable(File.string());
  TTraceRing ring;
  Link.TraceCommand(ring, ring.Begin("read COM1"));
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Link.UseRegister(Kkm.Address(), Link.FirmwareVersion());
  Kkm.Memory()[0x0100] = 0x42;
  std::uint8_t value = 0;
  ASSERT_TRUE(ReadMemoryByte(Link, 0x0100, value));
  Kkm.Inject({.Kind = TFaultKind::WrongByte, .Answer = TAnswerKind::Acknowledgement});
  EXPECT_FALSE(WriteMemoryByte(Link, 0x0100, 0x07));
  EXPECT_EQ(Link.LastFailure().Reason, TFailureReason::WrongAcknowledgement);
  EXPECT_EQ(Link.LastFailure().Exchange, "WriteMemory 0x0100 1");
  Link.ClosePort();

  const auto lines = Lines(File);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("--- ", 0), 0u) << lines[0];  // the local time of the opening
  const std::vector<std::string> read = {"open COM1",
                                         "begin ReadMemory 0x0100 1",
                                         "> FE MARK",
                                         "< FE none",
                                         "> 04 SPACE",
                                         "> 06 SPACE",
                                         "> 00 SPACE",
                                         "> 01 SPACE",
                                         "> 01 SPACE",
                                         "> F3 SPACE",
                                         "< F3 none",
                                         "< 00 none",
                                         "< 42 none",
                                         "< BD none",
                                         "end ReadMemory 0x0100 1: ok",
                                         "begin WriteMemory 0x0100 1",
                                         "> FE MARK",
                                         "< FE none",
                                         "> 05 SPACE",
                                         "> 05 SPACE",
                                         "> 00 SPACE",
                                         "> 01 SPACE",
                                         "> 01 SPACE",
                                         "> 07 SPACE",
                                         "> EC SPACE",
                                         "< ED none",
                                         "failure: wrong acknowledgement in WriteMemory 0x0100 1",
                                         "end WriteMemory 0x0100 1: failed",
                                         "close"};
  EXPECT_EQ(Events(lines), read);
  // The same lines in memory, under the command's head.
  std::istringstream kept(ring.Traces().at(0));
  std::vector<std::string> keptLines;
  for (std::string line; std::getline(kept, line);) keptLines.push_back(line);
  EXPECT_TRUE(keptLines.at(0).starts_with("--- ") && keptLines[0].ends_with(" read COM1")) << keptLines[0];
  EXPECT_EQ(Events(keptLines), read);
}

// The last five commands stay, each within its share of 2 MB, each with its own lines
// however their links take turns.
TEST(TraceRing, TheSixthCommandPushesOutTheFirstAndTheBoundHolds) {
  TTraceRing ring;
  std::vector<TTraceRing::TId> ids;
  for (int n = 1; n <= 6; ++n) ids.push_back(ring.Begin("command " + std::to_string(n)));
  for (int round = 0; round < 20000; ++round) {
    for (std::size_t i = 0; i < ids.size(); ++i) ring.Append(ids[i], std::string(40, static_cast<char>('a' + i)));
  }
  const std::vector<std::string> traces = ring.Traces();
  ASSERT_EQ(traces.size(), TTraceRing::KeptCommands);
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < traces.size(); ++i) {
    EXPECT_NE(traces[i].find(" command " + std::to_string(i + 2) + "\n"), std::string::npos);
    EXPECT_NE(traces[i].find(std::string(40, static_cast<char>('b' + i)) + "\n"), std::string::npos);
    EXPECT_EQ(traces[i].find(std::string(40, 'a')), std::string::npos);  // the first's lines went with it
    EXPECT_TRUE(traces[i].ends_with("the rest of the command is not kept\n"));
    bytes += traces[i].size();
  }
  EXPECT_LE(bytes, TTraceRing::MaxBytes);
}

TEST_F(LineTrace, ALateAnswerThrownAwayByAPurgeIsTraced) {
  SetTraceVariable(File.string());
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Link.UseRegister(Kkm.Address(), Link.FirmwareVersion());
  Kkm.Inject({.Kind = TFaultKind::Late, .Answer = TAnswerKind::Echo, .LateMs = 600});
  std::uint8_t value = 0;
  EXPECT_FALSE(ReadMemoryByte(Link, 0x0100, value));
  EXPECT_EQ(Link.LastFailure().Reason, TFailureReason::NoEcho);
  Clock.Advance(200);
  EXPECT_TRUE(ReadMemoryByte(Link, 0x0100, value));
  Link.ClosePort();
  const auto events = Events(Lines(File));
  EXPECT_NE(std::find(events.begin(), events.end(), "failure: no echo in ReadMemory 0x0100 1"), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "< FE none purged"), events.end());
}

TEST_F(LineTrace, WithoutTheVariableNothingIsWritten) {
  std::filesystem::remove(File);
  SetTraceVariable("");
  TTraceRing ring;
  Link.TraceCommand(ring, ring.Begin("read COM1"));
  ASSERT_TRUE(Link.OpenPort("COM1"));
  Link.UseRegister(Kkm.Address(), Link.FirmwareVersion());
  std::uint8_t value = 0;
  EXPECT_TRUE(ReadMemoryByte(Link, 0x0100, value));
  Link.ClosePort();
  EXPECT_FALSE(std::filesystem::exists(File));
  // Kept in memory all the same.
  EXPECT_NE(ring.Traces().at(0).find("> FE MARK\n"), std::string::npos);
}

}  // namespace
