// Every kind of fault the simulated register can make, at every exchange of a full
// read and a full write in turn, each way of exchanging, on each settings layout:
// whatever happens, the
// command ends in time and in one of its two ways, and leaves the document and the
// register in a state that a user can be told about.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "link/LinkTimes.h"
#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "sim/RegisterContents.h"

namespace {

struct TFault {
  TFaultKind Kind;
  TAnswerKind Answer;
};

// Each fault that can spoil an answer of that kind; an echo and an acknowledgement are
// one byte, so dropping or cutting it is silence.
const std::vector<TFault> Faults = {
    {TFaultKind::Silence, TAnswerKind::Echo},
    {TFaultKind::Late, TAnswerKind::Echo},
    {TFaultKind::WrongByte, TAnswerKind::Echo},
    {TFaultKind::Busy, TAnswerKind::Echo},
    {TFaultKind::Silence, TAnswerKind::Acknowledgement},
    {TFaultKind::Late, TAnswerKind::Acknowledgement},
    {TFaultKind::WrongByte, TAnswerKind::Acknowledgement},
    {TFaultKind::Silence, TAnswerKind::Reply},
    {TFaultKind::Late, TAnswerKind::Reply},
    {TFaultKind::DropByte, TAnswerKind::Reply},
    {TFaultKind::CorruptChecksum, TAnswerKind::Reply},
    {TFaultKind::CutShort, TAnswerKind::Reply},
    {TFaultKind::Unplugged, TAnswerKind::Echo},
    {TFaultKind::Unplugged, TAnswerKind::Acknowledgement},
    {TFaultKind::Unplugged, TAnswerKind::Reply},
};

// The longest one spoilt answer can add to a command: a block write's resend after
// 1650 ms and its 20 ms, and a little for the line.
constexpr TTick FailureAllowanceMs = BusyBlockEchoTimeLimit + BlockEchoTimeLimit + 100;

const char* const PartialWrite = "Запись установок прервана: установки в ККМ записаны не полностью. Повторите запись.";

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, next = 0; next != std::string::npos; at = next + 2) {
    next = text.find("\r\n", at);
    lines.push_back(text.substr(at, next == std::string::npos ? next : next - at));
  }
  return lines;
}

// A register of that version holding a register's settings in use, with the link
// connected, the map selected and the window recorded.
struct TRig : TSimulatedKkm {
  TRig(std::int32_t version, TTransferWay way) : TSimulatedKkm(version), Way(way) {
    Map = FindFirmware(version)->Map;
    ProgramSettings(Kkm, InUseSettings());
    Kkm.SetPurchaseCounter(0);
    std::copy_n("ITOG       12.50SMENA 3         ", 16, Kkm.Memory().begin() + 0x1A88);
    View.Answers().push_back(TAnswer::Yes);
  }

  bool Read(TKkmSettings& settings) { return ReadSettingsFromKkm(Link, ConnectionOf(Link), settings, View, Way); }
  bool Write(TKkmSettings& settings) {
    return WriteSettingsToKkm(Link, ConnectionOf(Link), settings, View, Rules, Backup, Way);
  }

  TTransferWay Way;
  TRamMap Map;
  TRecordingWindowView View;
  TRecordingRuleView Rules;
  TRecordingBackup Backup;
};

struct TSweep {
  int Runs = 0;
  int Failures = 0;
};

// How many answers of the fault's kind come before exchange i: an echo and an
// acknowledgement for every exchange, a reply for every read.
int AnswersBefore(const std::vector<TExchange>& exchanges, std::size_t i, TAnswerKind answer) {
  if (answer != TAnswerKind::Reply) return static_cast<int>(i);
  return static_cast<int>(std::count_if(exchanges.begin(), exchanges.begin() + static_cast<std::ptrdiff_t>(i),
                                        [](const TExchange& e) { return e.Command == ReadCommand; }));
}

std::string Describe(const char* command, const TRig& rig, std::size_t i, const TFault& fault) {
  return std::string(command) + (rig.Way == TTransferWay::Fast ? " fast " : " bytewise ") +
         std::to_string(rig.Kkm.FirmwareVersion()) + " exchange " + std::to_string(i) + " fault " +
         std::to_string(static_cast<int>(fault.Kind)) + "/" + std::to_string(static_cast<int>(fault.Answer));
}

// Calls run(what, fault) for every fault aimed at every exchange of the clean run in
// turn; only reads have a reply to spoil. Late answers come 2 s late, past every window.
template <typename TRun>
void ForEveryFault(const char* command, const TRig& clean, TSweep& sweep, TRun run) {
  const std::vector<TExchange> exchanges = ExchangesOf(clean);
  for (std::size_t i = 0; i < exchanges.size(); ++i) {
    for (const TFault& fault : Faults) {
      if (fault.Answer == TAnswerKind::Reply && exchanges[i].Command != ReadCommand) continue;
      const TRegisterFault spoil{.Kind = fault.Kind,
                                 .Answer = fault.Answer,
                                 .Skip = AnswersBefore(exchanges, i, fault.Answer),
                                 .LateMs = 2000,
                                 .ByteIndex = 1};
      const std::string what = Describe(command, clean, i, fault);
      const bool done = run(what, spoil);
      ++sweep.Runs;
      sweep.Failures += done ? 0 : 1;
    }
  }
}

// What every run must show, failed or not. A pulled adapter closes its port at once,
// and is told as such within a second unless the command was done but for putting
// the display's lines back.
void CheckEnding(const TRig& rig, bool done, const char* ok, TTick elapsed, TTick clean, const std::string& what) {
  EXPECT_LE(elapsed, clean + FailureAllowanceMs) << what;
  const bool unplugged = rig.Kkm.UnpluggedNs() != TSimulatedRegister::NeverUnplugged;
  EXPECT_EQ(rig.Link.IsOpen(), !unplugged) << what;
  if (unplugged && !done) {
    EXPECT_LE(elapsed, LineTick(rig.Kkm.UnpluggedNs()) + 1000) << what;
    EXPECT_EQ(rig.Link.LastFailure().Reason, TFailureReason::PortRemoved) << what;
  }
  const std::string okStatus = std::string("status ") + ok;
  const bool saidOk = rig.View.Has(okStatus);
  EXPECT_EQ(saidOk, done) << what;
  ASSERT_FALSE(rig.View.Calls.empty()) << what;
  if (!done) {
    const std::vector<std::string> ending(rig.View.Calls.end() - 4, rig.View.Calls.end());
    EXPECT_EQ(std::vector(ending.begin() + 1, ending.end()),
              (std::vector<std::string>{"status Нет связи с ККМ", "SetAll", "ButtonDisabled"}))
        << what;
    // The box says why, in the user's words, and what to check.
    const std::vector<std::string> box = LinesOf(ending.front());
    ASSERT_GE(box.size(), 3u) << what;
    EXPECT_EQ(box[0], "box Не удается установить интерфейс с ККМ") << what;
    EXPECT_NE(rig.Link.LastFailure().Reason, TFailureReason::None) << what;
    EXPECT_EQ(box[1], std::string("Причина: ") + FailureReasonWords(rig.Link.LastFailure().Reason)) << what;
    EXPECT_EQ(box[2], unplugged ? "Подключите адаптер и повторите." : "Проверьте кабель, питание ККМ и выбранный порт.")
        << what;
  } else {
    EXPECT_EQ(rig.View.Calls.back(), "SetAll") << what;
  }
}

void SweepRead(std::int32_t version, TTransferWay way, TSweep& sweep) {
  TRig clean(version, way);
  TKkmSettings expected = FullSettings();
  ProgramSettings(clean.Kkm, expected);
  ASSERT_TRUE(clean.Read(expected));
  const TTick cleanMs = clean.Clock.Now();
  ForEveryFault("read", clean, sweep, [&](const std::string& what, const TRegisterFault& spoil) {
    TRig rig(version, way);
    ProgramSettings(rig.Kkm, FullSettings());
    const TKkmSettings before;  // the document of a freshly started program
    TKkmSettings settings = before;
    rig.Kkm.Inject(spoil);
    const bool done = rig.Read(settings);
    EXPECT_EQ(rig.Kkm.PendingFaults(), 0u) << what << ": the fault never came";
    CheckEnding(rig, done, "Чтение OK!", rig.Clock.Now(), cleanMs, what);
    EXPECT_TRUE(done ? settings == expected : settings == before) << what;
    return done;
  });
}

void SweepWrite(std::int32_t version, TTransferWay way, TSweep& sweep) {
  TRig clean(version, way);
  TKkmSettings document = FullSettings();
  ASSERT_TRUE(clean.Write(document));
  const TKkmSettings written = document;  // as the rate rules left it
  const std::vector<TExchange> plan = SettingsWrites(clean);
  const auto meant = clean.Kkm.Memory();
  const TTick cleanMs = clean.Clock.Now();
  // What the register held before, as the write's pre-read reads it into the document.
  TKkmSettings held = FullSettings();
  ASSERT_TRUE(TRig(version, way).Read(held));
  ForEveryFault("write", clean, sweep, [&](const std::string& what, const TRegisterFault& spoil) {
    TRig rig(version, way);
    const auto old = rig.Kkm.Memory();
    TKkmSettings settings = FullSettings();
    rig.Kkm.Inject(spoil);
    const bool done = rig.Write(settings);
    EXPECT_EQ(rig.Kkm.PendingFaults(), 0u) << what << ": the fault never came";
    CheckEnding(rig, done, "Запись OK!", rig.Clock.Now(), cleanMs, what);
    EXPECT_TRUE(settings == written) << what;
    // Nothing is written before the old settings are kept, and only those are kept.
    EXPECT_LE(rig.Backup.Saved.size(), 1u) << what;
    const bool kept = !rig.Backup.Saved.empty();
    EXPECT_TRUE(!kept || rig.Backup.Saved.front().Settings == held) << what;
    EXPECT_TRUE(kept || SettingsWrites(rig).empty()) << what;
    // What the register holds is its old memory with the writes sent, and those are
    // the plan's bytes: its first writes, or, where a frame went unacknowledged, its
    // bytes once more one at a time.
    const std::vector<TExchange> sent = SettingsWrites(rig);
    auto expected = old;
    for (const TExchange& e : sent) {
      for (std::size_t b = 0; b < e.Data.size(); ++b) {
        if (e.Command == BlockCommand && e.Address + b >= TSimulatedRegister::BlockStoreLimit) continue;
        EXPECT_EQ(e.Data[b], meant[(e.Address + b) & 0xFFFF]) << what;
        expected[(e.Address + b) & 0xFFFF] = e.Data[b];
      }
    }
    if (way == TTransferWay::Bytewise) {
      EXPECT_LE(sent.size(), plan.size()) << what;
      EXPECT_TRUE(sent.size() <= plan.size() && std::equal(sent.begin(), sent.end(), plan.begin())) << what;
    }
    auto held = rig.Kkm.Memory();
    for (std::uint16_t a = 0x1A88; a <= 0x1B6A; ++a) held[a] = expected[a];  // the display's lines
    EXPECT_TRUE(held == expected) << what;
    if (!done && !sent.empty()) {
      EXPECT_EQ(LinesOf(*(rig.View.Calls.end() - 4)).back(), PartialWrite) << what;
    }
    return done;
  });
}

TEST(FaultSweep, EveryFaultAtEveryExchangeOfAReadAndAWrite) {
  TSweep sweep;
  for (const TTransferWay way : {TTransferWay::Bytewise, TTransferWay::Fast}) {
    for (const std::int32_t version : {103, 104, 105}) {
      SweepRead(version, way, sweep);
      SweepWrite(version, way, sweep);
    }
  }
  std::printf("fault sweep: runs=%d failures=%d\n", sweep.Runs, sweep.Failures);
  EXPECT_GT(sweep.Failures, sweep.Runs / 2);
}

}  // namespace
