#include "register/TransferPlan.h"

#include <array>
#include <utility>

#include "link/DisplayExchange.h"

namespace {

constexpr int DisplayExchanges = 6;  // memory exchanges of one DisplayExchange

using TKind = TTransferStep::TKind;

}  // namespace

void TTransferPlan::Status(std::string text) { Plan.push_back({.Kind = TKind::Status, .Text = std::move(text)}); }

void TTransferPlan::Pump() { Plan.push_back({.Kind = TKind::Pump}); }

void TTransferPlan::Delay(TTick ms) { Plan.push_back({.Kind = TKind::Delay, .Ms = ms}); }

void TTransferPlan::Display(std::string line1, std::string line2) {
  Plan.push_back({.Kind = TKind::Display, .Text = std::move(line1), .Line2 = std::move(line2)});
}

void TTransferPlan::RestoreDisplay() { Plan.push_back({.Kind = TKind::RestoreDisplay}); }

void TTransferPlan::Read(std::uint16_t address) { Plan.push_back({.Kind = TKind::Read, .Address = address}); }

void TTransferPlan::ReadThenSkipUnless(std::uint16_t address, std::function<bool(std::uint8_t)> keeps, int skip) {
  Plan.push_back({.Kind = TKind::Read, .Address = address, .Keeps = std::move(keeps), .SkipCount = skip});
}

void TTransferPlan::ReadRange(std::uint16_t address, std::uint8_t count) {
  Plan.push_back({.Kind = TKind::ReadRange, .Address = address, .Count = count});
}

void TTransferPlan::ReadRangeIf(std::uint16_t address, std::uint8_t count,
                                std::function<bool(const TRegisterMemory&)> only) {
  Plan.push_back({.Kind = TKind::ReadRange, .Address = address, .Count = count, .Only = std::move(only)});
}

void TTransferPlan::Write(std::uint16_t address, std::uint8_t value) {
  Plan.push_back({.Kind = TKind::Write, .Address = address, .Bytes = {value}});
}

void TTransferPlan::WriteRange(std::uint16_t address, std::vector<std::uint8_t> bytes) {
  Plan.push_back({.Kind = TKind::WriteRange, .Address = address, .Bytes = std::move(bytes)});
}

void TTransferPlan::WriteBlock(std::uint16_t address, std::vector<std::uint8_t> bytes, TBlockHandshake handshake) {
  Plan.push_back({.Kind = TKind::WriteBlock, .Address = address, .Bytes = std::move(bytes), .Handshake = handshake});
}

int StepExchanges(const TTransferStep& step) {
  switch (step.Kind) {
    case TKind::Display:
    case TKind::RestoreDisplay: return DisplayExchanges;
    case TKind::Read:
    case TKind::ReadRange:
    case TKind::Write:
    case TKind::WriteRange:
    case TKind::WriteBlock: return 1;
    default: return 0;
  }
}

void StoreWrites(const TTransferPlan& plan, TRegisterMemory& memory) {
  for (const TTransferStep& step : plan.Steps()) {
    if (step.Kind != TKind::Write && step.Kind != TKind::WriteRange && step.Kind != TKind::WriteBlock) continue;
    for (std::size_t i = 0; i < step.Bytes.size(); ++i) memory[(step.Address + i) & 0xFFFF] = step.Bytes[i];
  }
}

bool RangesReadAsMeant(const TTransferPlan& plan, const TRegisterMemory& read, const TRegisterMemory& meant) {
  for (const TTransferStep& step : plan.Steps()) {
    if (step.Kind != TKind::ReadRange || (step.Only && !step.Only(read))) continue;
    for (std::size_t i = 0; i < step.Count; ++i) {
      const std::size_t address = (step.Address + i) & 0xFFFF;
      if (read[address] != meant[address]) return false;
    }
  }
  return true;
}

int TTransferPlan::Exchanges() const {
  int exchanges = 0;
  for (const TTransferStep& step : Plan) exchanges += StepExchanges(step);
  return exchanges;
}

TTransferRunner::TTransferRunner(TKkmLink& link, TWindowView& view, int total) : Link(link), View(view), Total(total) {
  View.SetProgress(0, Total);
}

TTransferRunner::~TTransferRunner() { View.SetProgress(0, 0); }

bool TTransferRunner::Run(const TTransferPlan& plan) {
  const auto& steps = plan.Steps();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    std::size_t skip = 0;
    if (!RunStep(steps[i], skip)) return false;
    // What is left out counts as done.
    for (std::size_t s = 1; s <= skip && i + s < steps.size(); ++s) Count(StepExchanges(steps[i + s]));
    i += skip;
  }
  return true;
}

bool TTransferRunner::RunStep(const TTransferStep& step, std::size_t& skip) {
  switch (step.Kind) {
    case TKind::Status: View.SetStatus(step.Text); return true;
    case TKind::Pump: View.ProcessMessages(); return true;
    case TKind::Delay: Link.Delay(step.Ms); return true;
    case TKind::Display:
    case TKind::RestoreDisplay: {
      std::string line1 = step.Kind == TKind::Display ? step.Text : KeptLine1;
      std::string line2 = step.Kind == TKind::Display ? step.Line2 : KeptLine2;
      DisplayExchange(Link, line1, line2);  // its outcome is not looked at: a dead link shows at the next exchange
      if (step.Kind == TKind::Display && !LinesKept) {
        KeptLine1 = std::move(line1);
        KeptLine2 = std::move(line2);
        LinesKept = true;
      }
      Count(DisplayExchanges);
      return true;
    }
    case TKind::Read: {
      std::uint8_t byte = 0;
      if (!Exchange([&] { return ReadMemoryByte(Link, step.Address, byte); }, false)) return false;
      Bytes[step.Address] = byte;
      if (step.Keeps && !step.Keeps(byte)) skip = static_cast<std::size_t>(step.SkipCount);
      return true;
    }
    case TKind::ReadRange: return ReadRange(step);
    case TKind::Write: return Exchange([&] { return WriteMemoryByte(Link, step.Address, step.Bytes.front()); }, true);
    case TKind::WriteRange: return Exchange([&] { return WriteRange(step); }, true);
    case TKind::WriteBlock:
      return Exchange(
          [&] { return WriteMemoryBlock(Link, step.Address, step.Bytes.data(), step.Bytes.size(), step.Handshake); },
          true);
  }
  return false;
}

bool TTransferRunner::ReadRange(const TTransferStep& step) {
  if (step.Only && !step.Only(Bytes)) {
    Count(1);
    return true;
  }
  std::array<std::uint8_t, 255> bytes{};
  const bool whole = ReadMemory(Link, step.Address, step.Count, bytes.data());
  for (std::uint8_t i = 0; !whole && i < step.Count; ++i) {
    if (!ReadMemoryByte(Link, static_cast<std::uint16_t>(step.Address + i), bytes[i])) {
      Count(1);
      return false;
    }
  }
  for (std::uint8_t i = 0; i < step.Count; ++i) Bytes[(step.Address + i) & 0xFFFF] = bytes[i];
  Count(1);
  return true;
}

// A frame the register did not acknowledge may have been stored in part, or not at all:
// the same bytes one by one leave it as whole as the frame would have.
bool TTransferRunner::WriteRange(const TTransferStep& step) {
  const std::uint8_t* bytes = step.Bytes.data();
  if (WriteMemory(Link, step.Address, bytes, step.Bytes.size())) return true;
  for (std::size_t i = 0; i < step.Bytes.size(); ++i) {
    if (!WriteMemoryByte(Link, static_cast<std::uint16_t>(step.Address + i), bytes[i])) return false;
  }
  return true;
}

bool TTransferRunner::Exchange(const std::function<bool()>& exchange, bool writes) {
  const std::uint64_t framesBefore = Link.FramesSent;
  const bool done = exchange();
  if (writes) FrameSent = FrameSent || Link.FramesSent != framesBefore;
  Count(1);
  return done;
}

void TTransferRunner::Count(int exchanges) {
  if (exchanges == 0) return;
  Done += exchanges;
  View.SetProgress(Done, Total);
}
