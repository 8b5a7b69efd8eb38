#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "link/KkmConnect.h"
#include "register/PortSearch.h"
#include "sim/SimulatedLine.h"
#include "sim/SimulatedRegister.h"
#include "support/RecordingMessages.h"

namespace {

// One port a search goes over: a virtual clock of its own, and a register (silent
// where none answers) or no device at all. It counts its opens, and an open can be held
// until the test lets it go, as a Bluetooth port's open hangs.
struct TSearchedPort {
  TSearchedPort(int number, bool silent, bool present) : Kkm(number, 104), Present(present) { Kkm.SetSilent(silent); }

  TVirtualClock Clock{0};
  TSimulatedRegister Kkm;
  bool Present;
  std::atomic<int> Opens{0};
  std::atomic<bool> Held{false};
  std::atomic<bool> Closed{false};  // the last port it opened
};

// A port that says when it is closed.
class TClosingPort final : public TForwardingPort {
 public:
  TClosingPort(std::unique_ptr<TSerialPort> port, std::atomic<bool>& closed)
      : TForwardingPort(std::move(port)), Closed(closed) {}
  ~TClosingPort() override { Closed = true; }

 private:
  std::atomic<bool>& Closed;
};

// COM1 silent, COM2 absent, COM3 a register at number 99, COM4 one at number 05.
struct TSearchBench {
  TSearchBench() {
    Ports.try_emplace("COM1", 0, true, true);
    Ports.try_emplace("COM2", 0, false, false);
    Ports.try_emplace("COM3", 99, false, true);
    Ports.try_emplace("COM4", 5, false, true);
  }

  std::unique_ptr<TPortSearch> Start(std::vector<std::string> devices) {
    return std::make_unique<TPortSearch>(std::move(devices), [this](const std::string& device) {
      TSearchedPort& port = Ports.at(device);
      return std::make_unique<TKkmLink>(port.Clock, [&port](const std::string& name) {
        ++port.Opens;
        while (port.Held) std::this_thread::yield();
        if (!port.Present) return TOpenedPort::Failed(TPortFault::Absent);
        TOpenedPort opened = SimulatedPortOpener(port.Clock, port.Kkm)(name);
        return TOpenedPort::Opened(std::make_unique<TClosingPort>(std::move(opened.Port), port.Closed));
      });
    });
  }

  static void AwaitDone(const TPortSearch& search) {
    while (!search.Done()) std::this_thread::yield();
  }

  std::map<std::string, TSearchedPort> Ports;
};

std::size_t CandidatesSent(const TSimulatedRegister& kkm) {
  std::size_t count = 0;
  for (const auto& record : kkm.Traffic()) count += record.Parity == TParity::Mark ? 1 : 0;
  return count;
}

// The port found is handed over open: the link that connects talks to the register on
// it without opening the device again.
TEST(PortSearch, TheFirstPortInOrderWithARegisterCountsAndIsHandedOverOpen) {
  TSearchBench bench;
  auto search = bench.Start({"COM1", "COM2", "COM3", "COM4"});
  TSearchBench::AwaitDone(*search);
  std::optional<TFoundKkm> found = search->TakeFound();
  ASSERT_TRUE(found && found->Port);
  EXPECT_EQ(found->Device, "COM3");
  EXPECT_EQ(found->Address, 0x66);
  EXPECT_EQ(found->Version, 104);
  const auto states = search->States();
  EXPECT_EQ(states[0], TSearchState::NotFound);
  EXPECT_EQ(states[1], TSearchState::Unavailable);
  EXPECT_EQ(states[2], TSearchState::Found);
  search.reset();  // every thread has ended
  // The silent line got nothing but the probe's candidates.
  for (const auto& record : bench.Ports.at("COM1").Kkm.Traffic()) EXPECT_EQ(record.Parity, TParity::Mark);
  TSearchedPort& port = bench.Ports.at("COM3");
  TKkmLink link(port.Clock, [](const std::string&) { return TOpenedPort::Failed(TPortFault::Busy); });
  struct : TConnectView {
    TUserMessages& Messages() override { return Told; }
    TRecordingMessages Told;
  } view;
  ASSERT_TRUE(ConnectFound(link, std::move(*found), view));
  EXPECT_TRUE(QueryVersion(link));
  EXPECT_EQ(port.Opens, 1);
}

// Each silent line's own clock stops the search half way through its probe; every
// probe has ended within 100 ms of that on its clock.
TEST(PortSearch, StoppingEndsEveryProbeWithin100Ms) {
  TSearchBench bench;
  bench.Ports.at("COM3").Kkm.SetSilent(true);
  bench.Ports.at("COM4").Kkm.SetSilent(true);
  constexpr TTick StopAt = 600;
  std::atomic<TPortSearch*> running{nullptr};
  for (const char* device : {"COM1", "COM3", "COM4"}) {
    bench.Ports.at(device).Clock.At(StopAt, [&running] {
      while (running.load() == nullptr) std::this_thread::yield();
      running.load()->Stop();
    });
  }
  auto search = bench.Start({"COM1", "COM3", "COM4"});
  running.store(search.get());
  TSearchBench::AwaitDone(*search);
  EXPECT_FALSE(search->TakeFound());
  search.reset();  // every thread has ended
  for (const char* device : {"COM1", "COM3", "COM4"}) {
    EXPECT_LE(bench.Ports.at(device).Clock.Now(), StopAt + 100) << device;
    EXPECT_LT(CandidatesSent(bench.Ports.at(device).Kkm), 60u) << device;
  }
}

// A port whose open hangs is not waited for once the register is found elsewhere; it
// closes what it opened when its open returns at last.
TEST(PortSearch, AnOpenThatHangsIsNotWaitedFor) {
  TSearchBench bench;
  bench.Ports.at("COM4").Held = true;
  auto search = bench.Start({"COM3", "COM4"});
  TSearchBench::AwaitDone(*search);
  while (bench.Ports.at("COM4").Opens == 0) std::this_thread::yield();
  search.reset();  // returns with COM4 still inside its open, the port found not taken closed
  EXPECT_TRUE(bench.Ports.at("COM3").Closed);
  TSearchedPort& held = bench.Ports.at("COM4");
  EXPECT_FALSE(held.Closed);
  held.Held = false;
  for (int i = 0; i < 2000 && !held.Closed; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(held.Closed);
}

TEST(PortSearch, OrderIsTheButtonsThenTheListEachOnce) {
  EXPECT_EQ(SearchOrder({"COM1", "COM2", "COM3", "COM4"}, {"COM3", "COM7", "COM1", "COM12"}),
            (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM7", "COM12"}));
  // Bluetooth ports only when chosen, a button's too.
  std::vector<TSerialPortInfo> listed(4);
  for (std::size_t i = 0; i < listed.size(); ++i)
    listed[i].Device = std::vector{"COM3", "COM6", "/dev/rfcomm0", "COM7"}[i];
  listed[0].Bluetooth = listed[1].Bluetooth = true;
  const std::vector<std::string> order = {"COM1", "COM3", "COM6", "/dev/rfcomm0", "COM7"};
  EXPECT_EQ(WithoutBluetooth(order, listed, ""), (std::vector<std::string>{"COM1", "COM7"}));
  EXPECT_EQ(WithoutBluetooth(order, listed, "COM6"), (std::vector<std::string>{"COM1", "COM6", "COM7"}));
}

}  // namespace
