#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "register/Connect.h"
#include "support/ConnectBench.h"
#include "support/RecordingMessages.h"

namespace {

struct TRecordingConnectView : TConnectView {
  TUserMessages& Messages() override { return Boxes; }
  TRecordingMessages Boxes;
};

std::optional<TKkmConnection> ConnectTo(TConnectBench& bench, const std::string& device) {
  TRecordingConnectView view;
  return Connect(bench.Link, device, view);
}

// Behind a device that passes answers on late, connecting finds the register. Where
// the device tells its latency the bytes on the line are those without one; where it
// does not, the probe sends one more candidate after the register's (none after 99).
TEST(Connect, BehindADeviceWithLatencyItFindsTheRegister) {
  struct TCase {
    std::uint64_t LatencyMs;
    bool Told;
  };
  for (const int number : {0, 37, 99}) {
    TConnectBench plain(number, 105);
    const std::optional<TKkmConnection> connected = ConnectTo(plain, "COM1");
    ASSERT_TRUE(connected);
    const std::uint8_t address = Candidates(number, number).front();
    EXPECT_EQ(plain.Sent(), Mark(Candidates(0, number)) + Mark({address}) + Space({0x01, 0x14, 0xEA}));
    EXPECT_EQ(connected->Firmware, FindFirmware(105));
    const char digits[] = {static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10), 0};
    EXPECT_EQ(ConnectionText(*connected), std::string("COM1 · ККМ № ") + digits + " · ПО 1.0.5");
    for (const TCase c : {TCase{1, true}, TCase{4, true}, TCase{16, true}, TCase{16, false}}) {
      TConnectBench late(number, 105, c.LatencyMs, c.Told);
      const std::optional<TKkmConnection> found = ConnectTo(late, "COM1");
      ASSERT_TRUE(found) << number << " behind " << c.LatencyMs << " ms, told " << c.Told;
      EXPECT_EQ(found->Address, plain.Link.KkmAddress());
      EXPECT_EQ(found->Version, 105);
      auto expected = plain.Sent();
      if (!c.Told && number < 99)
        expected.insert(expected.begin() + number + 1, Mark(Candidates(number + 1, number + 1)).front());
      EXPECT_EQ(late.Sent(), expected) << number << " behind " << c.LatencyMs << " ms, told " << c.Told;
    }
  }
}

TEST(Connect, EachFailureHasItsMessage) {
  struct TCase {
    std::string Device;
    std::int32_t Version;
    bool Silent;
    TRecordingMessages::TShown Box;
  };
  const TCase cases[] = {
      {"COM2", 104, false, {TMessageKind::Warning, "Выбранный COM-порт недоступен\nПорт не найден в системе."}},
      {"COM1",
       104,
       true,
       {TMessageKind::Error,
        "Нет связи с ККМ\r\nПричина: ККМ не ответила на свой адрес\r\nПроверьте кабель, питание ККМ и выбранный "
        "порт."}},
      {"COM1", 0, false, {TMessageKind::Warning, "В ККМ необходимо установить ПО версии не ниже 1.0.4"}},
      {"COM1", 106, false, {TMessageKind::Warning, "Версия ПО ККМ не поддерживается: 106"}},
  };
  for (const auto& c : cases) {
    TConnectBench bench(3, c.Version);
    bench.Kkm.SetSilent(c.Silent);
    TRecordingConnectView view;
    EXPECT_FALSE(Connect(bench.Link, c.Device, view)) << c.Box.Text;
    EXPECT_EQ(view.Boxes.Shown, std::vector<TRecordingMessages::TShown>{c.Box});
  }
}

// The second line of the port box, one row for each reason the system gives.
TEST(Connect, APortThatCannotBeOpenedSaysWhy) {
  struct TCase {
    TPortFault Fault;
    std::string Group;
    std::string Reason;
  };
  const TCase cases[] = {
      {TPortFault::Absent, "", "\nПорт не найден в системе."},
      {TPortFault::Busy, "", "\nПорт занят другой программой."},
      {TPortFault::NoPermission, "uucp", "\nНет прав на порт: пользователь должен входить в группу uucp."},
      {TPortFault::NoPermission, "", "\nНет прав на порт: пользователь должен входить в группу dialout."},
      {TPortFault::NoStickParity, "", "\nПорт не поддерживает четность MARK и SPACE."},
      {TPortFault::Other, "", ""},
  };
  for (const TCase& c : cases) {
    TKkmLink link(SteadyClock(), [&c](const std::string&) { return TOpenedPort::Failed(c.Fault, c.Group); });
    TRecordingConnectView view;
    EXPECT_FALSE(Connect(link, "/dev/ttyUSB0", view));
    ASSERT_EQ(view.Boxes.Shown.size(), 1u);
    EXPECT_EQ(view.Boxes.Shown[0].Kind, TMessageKind::Warning);
    EXPECT_EQ(view.Boxes.Shown[0].Text, "Выбранный COM-порт недоступен" + c.Reason);
  }
  EXPECT_EQ(ConnectionText(TKkmConnection{}), "");  // nothing connected, nothing shown
}

// Mended: a failed attempt used to leave the earlier register's version with whatever
// address the new probe found.
TEST(Connect, AFailedAttemptForgetsTheRegisterConnectedBefore) {
  struct TCase {
    const char* Name;
    const char* Device;
    std::function<void(TSimulatedRegister&)> Spoil;
    std::uint8_t Address;  // what the link holds afterwards
  };
  const TCase cases[] = {
      {"port refused", "COM2", [](TSimulatedRegister&) {}, 0},
      {"silent line", "COM3", [](TSimulatedRegister& kkm) { kkm.SetSilent(true); }, 0},
      // The probe finds the register, but its version query is not acknowledged.
      {"query failed", "COM3",
       [](TSimulatedRegister& kkm) {
         kkm.Inject({.Kind = TFaultKind::Silence, .Answer = TAnswerKind::Acknowledgement, .Times = -1});
       },
       0xF8},
  };
  for (const TCase& c : cases) {
    TConnectBench bench(7, 105);
    ASSERT_TRUE(ConnectTo(bench, "COM1"));
    c.Spoil(bench.Kkm);
    EXPECT_FALSE(ConnectTo(bench, c.Device)) << c.Name;
    EXPECT_EQ(bench.Link.FirmwareVersion(), 0) << c.Name;
    EXPECT_EQ(bench.Link.KkmAddress(), c.Address) << c.Name;
  }
}

}  // namespace
