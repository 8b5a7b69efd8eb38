// The Windows build against a register on a real COM port: Wine maps COM4 to the
// pseudo-terminal of an orbi7sim started as register number 37, firmware 1.0.5,
// holding 0x0102 purchases (see serial-end-to-end beside this file). Everything goes
// through the Win32 backend, in real time. The tests run in the order they stand and
// share the register.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/DisplayExchange.h"
#include "link/KkmConnect.h"
#include "link/KkmFrames.h"
#include "link/TKkmLink.h"
#include "link/Win32SerialPort.h"
#include "register/Connect.h"
#include "register/TransferCommands.h"
#include "register/TransferFixture.h"
#include "settingsfile/SettingsBackup.h"
#include "settingsfile/SettingsFile.h"

namespace {

const std::string MappedPort = "COM4";
constexpr std::uint8_t AddressOf37 = 0xFF - 0x37;

class TConnectRecorder final : public TConnectView {
 public:
  TUserMessages& Messages() override { return Boxes; }
  TRecordingMessages Boxes;
};

class SerialEndToEnd : public ::testing::Test {
 protected:
  void ConnectMapped() {
    TConnectRecorder view;
    const auto found = Connect(Link, MappedPort, view);
    ASSERT_TRUE(found.has_value());
    Map = found->Firmware->Map;
  }

  static TKkmLink Link;  // one port for the whole run, as in the program
  static TRamMap Map;
};

TKkmLink SerialEndToEnd::Link;
TRamMap SerialEndToEnd::Map;

TEST_F(SerialEndToEnd, ConnectFindsTheRegisterAndItsFirmware) {
  TConnectRecorder view;
  const auto found = Connect(Link, MappedPort, view);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->Address, AddressOf37);
  EXPECT_EQ(found->Version, 105);
  EXPECT_EQ(found->Firmware, FindFirmware(105));
  EXPECT_EQ(ConnectionText(*found), "COM4 · ККМ № 37 · ПО 1.0.5");
  EXPECT_TRUE(view.Boxes.Shown.empty());
}

TEST_F(SerialEndToEnd, MemoryReadsAndWrites) {
  ConnectMapped();
  // Set by the simulator's command line, not by anything here.
  std::uint8_t purchases[2] = {0, 0};
  ASSERT_TRUE(ReadMemory(Link, Map.PurchaseCounter, 2, purchases));
  EXPECT_EQ(purchases[0], 0x01);
  EXPECT_EQ(purchases[1], 0x02);

  ASSERT_TRUE(WriteMemoryByte(Link, 0x0441, 0xC4));
  std::uint8_t value = 0;
  ASSERT_TRUE(ReadMemoryByte(Link, 0x0441, value));
  EXPECT_EQ(value, 0xC4);

  std::vector<std::uint8_t> block(64);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0xA0 ^ i);
  ASSERT_TRUE(WriteMemoryBlock(Link, 0x0500, block.data(), block.size(), TBlockHandshake::BusyAnswers));
  std::vector<std::uint8_t> back(block.size());
  ASSERT_TRUE(ReadMemory(Link, 0x0500, 32, back.data()));
  ASSERT_TRUE(ReadMemory(Link, 0x0520, 32, back.data() + 32));
  EXPECT_EQ(back, block);

  std::string line1 = "Проверка";
  std::string line2 = "связи";
  ASSERT_TRUE(DisplayExchange(Link, line1, line2));
}

// Processor time of this process, user and kernel, in milliseconds.
double CpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto ms = [](const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
}

TEST_F(SerialEndToEnd, WaitingOnAQuietLineTakesItsTimeAndNoProcessor) {
  ConnectMapped();
  const double cpuStart = CpuMs();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Link.WaitForInput(1, 500));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(500));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  EXPECT_LT(CpuMs() - cpuStart, 100.0);
}

TEST_F(SerialEndToEnd, SettingsGoInOnlyWithoutPurchasesAndComeBackAsWritten) {
  ConnectMapped();
  TKkmSettings settings;
  settings.Tax(1) = {true, "20,00", "НДС", "И"};
  settings.Tax(2) = {true, "10,00", "Налог с продаж", "Н"};
  settings.Tax(4) = {true, "01,50", "Сбор", "Н"};
  settings.Discount(3) = "03,00";
  settings.Surcharge(8) = "12,50";
  for (int g = 1; g <= GroupCount; g += 7) settings.Group(g) = {"2", g % 2 ? "3" : "", g % 2 ? "" : "8"};

  // What the register held, read as the write's pre-read reads it into the document.
  TKkmSettings held = settings;
  TRecordingWindowView before;
  ASSERT_TRUE(ReadSettingsFromKkm(Link, ConnectionOf(Link), held, before, TTransferWay::Bytewise));

  // The backups go to the user's application data folder, as the system names it.
  TBackupFolder backups(DefaultBackupFolder());
  TWriteBackupIn backup(backups);
  TRecordingWindowView view;
  TRecordingRuleView rules;
  view.Answers().push_back(TAnswer::Yes);
  EXPECT_FALSE(WriteSettingsToKkm(Link, ConnectionOf(Link), settings, view, rules, backup, TTransferWay::Bytewise));
  ASSERT_FALSE(view.Shown().empty());
  EXPECT_EQ(view.Shown().back().Text, "ККМ содержит покупки.\r\nНеобходимо вывести контрольную ленту.");

  const std::uint8_t none[2] = {0, 0};
  ASSERT_TRUE(WriteMemory(Link, Map.PurchaseCounter, none, 2));
  TRecordingWindowView writing;
  writing.Answers().push_back(TAnswer::Yes);
  ASSERT_TRUE(WriteSettingsToKkm(Link, ConnectionOf(Link), settings, writing, rules, backup, TTransferWay::Bytewise));
  EXPECT_EQ(writing.Status, "Запись OK!");
  const std::string confirmation = writing.Shown().front().Text;
  const std::string folder = backup.Folder();
  EXPECT_NE(folder.find("AppData\\Roaming\\orbi7prog\\backups"), std::string::npos) << folder;
  const std::size_t named = confirmation.find("Прежние установки будут сохранены в файл " + folder + "\\kkm37-105-");
  ASSERT_NE(named, std::string::npos) << confirmation;
  const std::string file = confirmation.substr(confirmation.find(folder, named));
  TKkmSettings kept;
  TRecordingMessages loading;
  ASSERT_TRUE(LoadSettingsFile(file, kept, loading)) << file;
  EXPECT_EQ(kept, held);

  TKkmSettings read;
  for (auto& group : read.Groups) group = {"1", "1", ""};
  TRecordingWindowView reading;
  ASSERT_TRUE(ReadSettingsFromKkm(Link, ConnectionOf(Link), read, reading, TTransferWay::Bytewise));
  EXPECT_EQ(reading.Status, "Чтение OK!");
  TKkmSettings expected = settings;
  expected.Tax(3).Rate.clear();  // a tax that is off is not read
  EXPECT_EQ(read, expected);
}

// The Win32 calls of a whole settings read, counted through the port's table of
// calls; those made inside a parity switch also on their own.
struct TCallCounts {
  int SetCommState = 0, GetCommState = 0, FlushFileBuffers = 0, PurgeComm = 0, SetCommTimeouts = 0;
};
TCallCounts Calls, SwitchCalls;
int Switches = 0;
bool Switching = false;

template <auto Call, int TCallCounts::*Field, typename... TArguments>
BOOL WINAPI Counted(TArguments... arguments) {
  ++(Calls.*Field);
  if (Switching) ++(SwitchCalls.*Field);
  return Call(arguments...);
}

class TSwitchWatchingPort final : public TForwardingPort {
 public:
  using TForwardingPort::TForwardingPort;
  void SetParity(bool mark) override {
    ++Switches;
    Switching = true;
    Port->SetParity(mark);
    Switching = false;
  }
};

TOpenedPort OpenCounted(const std::string& device) {
  TCommCalls calls;
  calls.SetCommState = Counted<&SetCommState, &TCallCounts::SetCommState, HANDLE, LPDCB>;
  calls.GetCommState = Counted<&GetCommState, &TCallCounts::GetCommState, HANDLE, LPDCB>;
  calls.FlushFileBuffers = Counted<&FlushFileBuffers, &TCallCounts::FlushFileBuffers, HANDLE>;
  calls.PurgeComm = Counted<&PurgeComm, &TCallCounts::PurgeComm, HANDLE, DWORD>;
  calls.SetCommTimeouts = Counted<&SetCommTimeouts, &TCallCounts::SetCommTimeouts, HANDLE, LPCOMMTIMEOUTS>;
  TOpenedPort opened = TWin32SerialPort::Open(device, calls);
  if (opened.Port) opened.Port = std::make_unique<TSwitchWatchingPort>(std::move(opened.Port));
  return opened;
}

// Each SetCommState reinitialises the device (several control transfers on a USB
// adapter): a switch of parity is one at most, and needs nothing else; in either way
// of reading.
TEST_F(SerialEndToEnd, ASettingsReadReconfiguresThePortAtMostTwiceAnExchange) {
  Link.ClosePort();  // the port is opened exclusively
  TKkmLink link(SteadyClock(), OpenCounted);
  TConnectRecorder view;
  ASSERT_TRUE(Connect(link, MappedPort, view).has_value());
  for (const TTransferWay way : {TTransferWay::Bytewise, TTransferWay::Fast}) {
    Calls = SwitchCalls = {};
    Switches = 0;
    const std::uint64_t framesBefore = link.FramesSent;
    TKkmSettings read;
    TRecordingWindowView reading;
    ASSERT_TRUE(ReadSettingsFromKkm(link, ConnectionOf(link), read, reading, way));
    const auto exchanges = static_cast<int>(link.FramesSent - framesBefore);
    ASSERT_GT(exchanges, 0);
    std::printf(
        "bench win32-calls%s: exchanges=%d SetCommState=%d GetCommState=%d FlushFileBuffers=%d PurgeComm=%d "
        "SetCommTimeouts=%d; per exchange SetCommState=%.2f; parity switches=%d with SetCommState=%d "
        "GetCommState=%d FlushFileBuffers=%d\n",
        way == TTransferWay::Fast ? "-fast" : "", exchanges, Calls.SetCommState, Calls.GetCommState,
        Calls.FlushFileBuffers, Calls.PurgeComm, Calls.SetCommTimeouts,
        static_cast<double>(Calls.SetCommState) / exchanges, Switches, SwitchCalls.SetCommState,
        SwitchCalls.GetCommState, SwitchCalls.FlushFileBuffers);
    EXPECT_LE(Calls.SetCommState, 2 * exchanges);
    EXPECT_LE(SwitchCalls.SetCommState, Switches);
    EXPECT_EQ(SwitchCalls.GetCommState, 0);
    EXPECT_EQ(SwitchCalls.FlushFileBuffers, 0);
  }
}

}  // namespace
