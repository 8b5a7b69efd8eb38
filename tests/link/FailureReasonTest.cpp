// Every way an exchange fails leaves its reason and the exchange it happened in.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/DisplayExchange.h"
#include "link/KkmConnect.h"
#include "link/KkmFrames.h"
#include "register/FailureBox.h"
#include "support/SimulatedKkm.h"

namespace {

struct TFailureCase {
  const char* Name;
  std::function<void(TSimulatedRegister&)> Spoil;
  std::function<bool(TKkmLink&)> Operation;
  TFailureReason Reason;
  std::string Exchange;
  std::string Words;  // as the box of a lost link gives the reason
};

void PrintTo(const TFailureCase& step, std::ostream* out) { *out << step.Name; }

TRegisterFault Fault(TFaultKind kind, TAnswerKind answer, std::size_t byteIndex = 0) {
  return {.Kind = kind, .Answer = answer, .ByteIndex = byteIndex};
}

bool ReadCounter(TKkmLink& link) {
  std::uint8_t value = 0;
  return ReadMemoryByte(link, 0x1306, value);
}

class FailureReasons : public ::testing::TestWithParam<TFailureCase> {};

TEST_P(FailureReasons, AreRecordedWithTheExchangeAndClearedByTheNextOperation) {
  const TFailureCase& step = GetParam();
  TSimulatedKkm run(105);
  step.Spoil(run.Kkm);
  EXPECT_FALSE(step.Operation(run.Link));
  EXPECT_EQ(run.Link.LastFailure().Reason, step.Reason) << FailureReasonText(run.Link.LastFailure().Reason);
  EXPECT_EQ(run.Link.LastFailure().Exchange, step.Exchange);
  const bool pulled = step.Reason == TFailureReason::PortRemoved;
  EXPECT_EQ(LinkFailureBox("Нет связи с ККМ", run.Link.LastFailure()),
            "Нет связи с ККМ\r\nПричина: " + step.Words + "\r\n" +
                (pulled ? "Подключите адаптер и повторите." : "Проверьте кабель, питание ККМ и выбранный порт."));
  EXPECT_EQ(run.Link.IsOpen(), !pulled && step.Reason != TFailureReason::NoPort);

  run.Kkm.PlugIn();
  run.Kkm.SetSilent(false);
  run.Kkm.SetBusyAnswers(0);
  run.Link.UseRegister(run.Kkm.Address(), run.Link.FirmwareVersion());
  ASSERT_TRUE(run.Link.OpenPort("COM1"));
  run.Clock.Advance(2000);  // whatever was late has come and gone
  EXPECT_TRUE(ReadCounter(run.Link));
  EXPECT_EQ(run.Link.LastFailure().Reason, TFailureReason::None);
}

const std::vector<std::uint8_t> TooLong(MaxWriteCount + 1, 0);

INSTANTIATE_TEST_SUITE_P(
    EveryReason, FailureReasons,
    ::testing::Values(
        TFailureCase{"NoEcho", [](auto& kkm) { kkm.Inject(Fault(TFaultKind::Silence, TAnswerKind::Echo)); },
                     ReadCounter, TFailureReason::NoEcho, "ReadMemory 0x1306 1", "ККМ не ответила на свой адрес"},
        TFailureCase{"WrongEcho", [](auto& kkm) { kkm.Inject(Fault(TFaultKind::WrongByte, TAnswerKind::Echo)); },
                     ReadCounter, TFailureReason::WrongEcho, "ReadMemory 0x1306 1", "ККМ ответила неверно"},
        TFailureCase{"NoAcknowledgement",
                     [](auto& kkm) { kkm.Inject(Fault(TFaultKind::Silence, TAnswerKind::Acknowledgement)); },
                     [](TKkmLink& link) { return WriteMemoryByte(link, 0x0400, 7); }, TFailureReason::NoAcknowledgement,
                     "WriteMemory 0x0400 1", "ККМ не подтвердила прием"},
        TFailureCase{"WrongAcknowledgement",
                     [](auto& kkm) { kkm.Inject(Fault(TFaultKind::WrongByte, TAnswerKind::Acknowledgement)); },
                     ReadCounter, TFailureReason::WrongAcknowledgement, "ReadMemory 0x1306 1", "ККМ ответила неверно"},
        TFailureCase{"ShortReply", [](auto& kkm) { kkm.Inject(Fault(TFaultKind::CutShort, TAnswerKind::Reply, 1)); },
                     ReadCounter, TFailureReason::ShortReply, "ReadMemory 0x1306 1", "ответ ККМ неполный"},
        TFailureCase{"ReplyChecksum",
                     [](auto& kkm) { kkm.Inject(Fault(TFaultKind::CorruptChecksum, TAnswerKind::Reply)); }, ReadCounter,
                     TFailureReason::ReplyChecksum, "ReadMemory 0x1306 1", "ответ ККМ искажен"},
        TFailureCase{"BusyTooLong", [](auto& kkm) { kkm.SetBusyAnswers(-1); },
                     [](TKkmLink& link) {
                       const std::uint8_t byte = 1;
                       return WriteMemoryBlock(link, 0x04FC, &byte, 1, TBlockHandshake::BusyAnswers);
                     },
                     TFailureReason::BusyTooLong, "WriteMemoryBlock 0x04FC 1", "ККМ занята слишком долго"},
        TFailureCase{"Refused", [](auto&) {},
                     [](TKkmLink& link) { return WriteMemory(link, 0x2000, TooLong.data(), TooLong.size()); },
                     TFailureReason::Refused, "WriteMemory 0x2000 252", "команда не может быть передана"},
        TFailureCase{"InsideADisplayExchange",
                     [](auto& kkm) { kkm.Inject(Fault(TFaultKind::Silence, TAnswerKind::Echo)); },
                     [](TKkmLink& link) {
                       std::string line1 = "Чтение";
                       std::string line2 = "налогов";
                       return DisplayExchange(link, line1, line2);
                     },
                     TFailureReason::NoEcho, "DisplayExchange / ReadMemory 0x1A88 16", "ККМ не ответила на свой адрес"},
        TFailureCase{"ProbeOfASilentLine", [](auto& kkm) { kkm.SetSilent(true); }, ProbeAddress, TFailureReason::NoEcho,
                     "ProbeAddress", "ККМ не ответила на свой адрес"},
        TFailureCase{"VersionNotAnswered",
                     [](auto& kkm) {
                       kkm.Inject(Fault(TFaultKind::Silence, TAnswerKind::Acknowledgement));
                       kkm.Inject(Fault(TFaultKind::Silence, TAnswerKind::Reply));
                     },
                     QueryVersion, TFailureReason::NoAcknowledgement, "QueryVersion", "ККМ не подтвердила прием"},
        TFailureCase{"VersionReplyInsteadOfTheAcknowledgement",
                     [](auto& kkm) { kkm.Inject(Fault(TFaultKind::Silence, TAnswerKind::Acknowledgement)); },
                     QueryVersion, TFailureReason::WrongAcknowledgement, "QueryVersion", "ККМ ответила неверно"},
        TFailureCase{"PulledOutBeforeTheAcknowledgement",
                     [](auto& kkm) { kkm.Inject(Fault(TFaultKind::Unplugged, TAnswerKind::Acknowledgement)); },
                     [](TKkmLink& link) { return WriteMemoryByte(link, 0x0400, 7); }, TFailureReason::PortRemoved,
                     "WriteMemory 0x0400 1", "порт отключен от компьютера"},
        TFailureCase{"NoPort", [](auto&) {},
                     [](TKkmLink& link) {
                       link.ClosePort();
                       return ReadCounter(link);
                     },
                     TFailureReason::NoPort, "ReadMemory 0x1306 1", "порт не открыт"}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
