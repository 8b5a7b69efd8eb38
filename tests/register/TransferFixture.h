#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "register/RamList.h"
#include "register/RegisterRecords.h"
#include "register/WindowView.h"
#include "sim/RegisterContents.h"
#include "support/RecordingBackup.h"
#include "support/RecordingMessages.h"
#include "support/RecordingRuleView.h"
#include "support/SimulatedKkm.h"

// The main window as the transfer commands see it. Every call but the pumps and the
// progress is recorded as a line of text, in order; boxes also in Shown.
class TRecordingWindowView : public TWindowView {
 public:
  TUserMessages& Messages() override { return Boxes; }
  void SetStatus(const std::string& text) override {
    Calls.push_back("status " + text);
    Status = text;
  }
  void SetAll() override { Calls.push_back("SetAll"); }
  void ButtonEnabled() override { Calls.push_back("ButtonEnabled"); }
  void ButtonDisabled() override { Calls.push_back("ButtonDisabled"); }
  void DisableToolbarAndPages() override { Calls.push_back("disable toolbar and pages"); }
  void RepaintToolbar() override { Calls.push_back("repaint toolbar"); }
  void ProcessMessages() override {
    ++Pumps;
    if (OnPump) OnPump(Status);
  }
  void SetProgress(int done, int total) override { Progress.push_back({done, total}); }
  void ShowGroupCell(int g, TGroupField field) override {
    Calls.push_back("group cell " + std::to_string(g) + " " + std::to_string(static_cast<int>(field)));
  }

  const std::vector<TRecordingMessages::TShown>& Shown() const { return Boxes.Shown; }
  std::deque<TAnswer>& Answers() { return Boxes.Answers; }
  bool Has(const std::string& call) const { return std::find(Calls.begin(), Calls.end(), call) != Calls.end(); }

  struct TProgress {
    int Done;
    int Total;
  };

  std::vector<std::string> Calls;
  std::vector<TProgress> Progress;
  std::string Status;
  int Pumps = 0;
  // Runs at each pump with the status line of the moment: how a test pulls the
  // plug at a chosen item.
  std::function<void(const std::string&)> OnPump;

 private:
  TCallLoggingMessages Boxes{Calls};
};

// One addressed exchange as the register saw it: the request frame after the
// address byte, without its length and checksum.
struct TExchange {
  std::uint8_t Command;
  std::uint16_t Address;
  std::vector<std::uint8_t> Data;  // what a write carried

  bool operator==(const TExchange&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TExchange& e) {
  return out << "cmd " << int{e.Command} << " at 0x" << std::hex << e.Address << std::dec << " (" << e.Data.size()
             << " bytes)";
}

inline constexpr std::uint8_t ReadCommand = 0x06;
inline constexpr std::uint8_t WriteCommand = 0x05;
inline constexpr std::uint8_t BlockCommand = 0x17;

// Every exchange that got as far as its frame, in order, as the register saw them.
inline std::vector<TExchange> ExchangesOf(const TSimulatedKkm& run) {
  std::vector<TExchange> exchanges;
  const auto sent = run.Sent();
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (sent[i].second != TParity::Mark) continue;
    std::vector<std::uint8_t> frame;
    for (std::size_t j = i + 1; j < sent.size() && sent[j].second == TParity::Space; ++j)
      frame.push_back(sent[j].first);
    if (frame.size() < 6) continue;
    TExchange e{frame[1], static_cast<std::uint16_t>(frame[2] | frame[3] << 8), {}};
    if (e.Command != ReadCommand) e.Data.assign(frame.begin() + 5, frame.end() - 1);
    exchanges.push_back(e);
  }
  return exchanges;
}

inline bool InDisplayMemory(std::uint16_t address) { return address >= 0x1A88 && address <= 0x1B6A; }

// The writes of settings (the display's lines are not settings) in order.
inline std::vector<TExchange> SettingsWrites(const TSimulatedKkm& run) {
  std::vector<TExchange> writes;
  for (const TExchange& e : ExchangesOf(run)) {
    if (e.Command != ReadCommand && !InDisplayMemory(e.Address)) writes.push_back(e);
  }
  return writes;
}

// A register of the given firmware on the virtual clock, the map selected for it,
// the window recorded.
class TTransferTest : public ::testing::Test, protected TSimulatedKkm {
 protected:
  explicit TTransferTest(std::int32_t version = 104) : TSimulatedKkm(version), Connection(ConnectionOf(Link)) {
    Map = FindFirmware(version)->Map;
  }

  std::vector<TExchange> Exchanges() const { return ExchangesOf(*this); }

  static std::vector<TExchange> DisplayCall(const std::vector<std::uint8_t>& line1 = {},
                                            const std::vector<std::uint8_t>& line2 = {}) {
    auto padded = [](std::vector<std::uint8_t> bytes) {
      bytes.resize(16, ' ');
      return bytes;
    };
    return {{ReadCommand, 0x1A88, {}},
            {ReadCommand, 0x1B28, {}},
            {WriteCommand, 0x1A88, padded(line1)},
            {WriteCommand, 0x1B6A, {1}},
            {WriteCommand, 0x1A98, padded(line2)},
            {WriteCommand, 0x1B6A, {1}}};
  }

  void Put(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), Kkm.Memory().begin() + address);
  }
  std::vector<std::uint8_t> At(std::uint16_t address, std::size_t n) const {
    return std::vector<std::uint8_t>(Kkm.Memory().begin() + address, Kkm.Memory().begin() + address + n);
  }

  TRamMap Map;
  TKkmConnection Connection;  // made when the link was set up
  TKkmSettings Settings;
  TRecordingWindowView View;
  TRecordingRuleView Rules;
  TRecordingBackup Backup;
};

// Windows-1251 forms of the display texts.
inline const std::vector<std::uint8_t> ReadingText{0xD7, 0xF2, 0xE5, 0xED, 0xE8, 0xE5};        // "Чтение"
inline const std::vector<std::uint8_t> WritingText{0xC7, 0xE0, 0xEF, 0xE8, 0xF1, 0xFC};        // "Запись"
inline const std::vector<std::uint8_t> OfTaxesText{0xED, 0xE0, 0xEB, 0xEE, 0xE3, 0xEE, 0xE2};  // "налогов"
inline const std::vector<std::uint8_t> OfDiscountsText{0xF1, 0xEA, 0xE8, 0xE4, 0xEE, 0xEA};    // "скидок"
inline const std::vector<std::uint8_t> OfSurchargesText{0xED, 0xE0, 0xE4, 0xE1, 0xE0, 0xE2, 0xEE, 0xEA};  // "надбавок"
inline const std::vector<std::uint8_t> OfGroupsText{0xF2, 0xEE, 0xE2, 0xE0, 0xF0, 0xED, 0xFB,
                                                    0xF5, 0x20, 0xE3, 0xF0, 0xF3, 0xEF, 0xEF};  // "товарных групп"

inline std::vector<std::uint8_t> Ascii(const std::string& text) { return {text.begin(), text.end()}; }

inline std::vector<std::uint8_t> Cat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::vector<TExchange> operator+(std::vector<TExchange> a, const std::vector<TExchange>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
