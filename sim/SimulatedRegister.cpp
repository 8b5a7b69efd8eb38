#include "sim/SimulatedRegister.h"

#include <algorithm>
#include <numeric>

namespace {

// A frame whose bytes stop coming for this long is given up (the PC sends a frame in
// one go), and over a line without parity the next byte is taken as an address again.
constexpr TLineNs FrameGapNs = 100'000'000;

constexpr std::uint8_t Bcd(int value) { return static_cast<std::uint8_t>((value / 10) * 16 + value % 10); }

std::uint8_t Checksum(const std::vector<std::uint8_t>& bytes, std::size_t n) {
  const unsigned sum = std::accumulate(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), 0u);
  return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

}  // namespace

TSimulatedRegister::TSimulatedRegister(int number, std::int32_t firmwareVersion)
    : KkmNumber(number), Version(firmwareVersion) {
  const std::uint8_t spaces[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  std::copy(std::begin(spaces), std::end(spaces), Ram.begin() + FirstLineAddress);
  std::copy(std::begin(spaces), std::end(spaces), Ram.begin() + SecondLineAddress);
  std::copy(std::begin(spaces), std::end(spaces), Ram.begin() + SecondLineReadBackAddress);
}

std::uint8_t TSimulatedRegister::Address() const { return static_cast<std::uint8_t>(0xFF - Bcd(KkmNumber)); }

void TSimulatedRegister::SetPurchaseCounter(std::uint16_t purchases) {
  Ram[PurchaseCounterAddress] = static_cast<std::uint8_t>(purchases >> 8);
  Ram[PurchaseCounterAddress + 1] = static_cast<std::uint8_t>(purchases & 0xFF);
}

std::uint16_t TSimulatedRegister::PurchaseCounter() const {
  return static_cast<std::uint16_t>(Ram[PurchaseCounterAddress] << 8 | Ram[PurchaseCounterAddress + 1]);
}

std::vector<std::uint8_t> TSimulatedRegister::DisplayLine(int line) const {
  const std::size_t at = line == 1 ? FirstLineAddress : SecondLineAddress;
  return {Ram.begin() + static_cast<std::ptrdiff_t>(at), Ram.begin() + static_cast<std::ptrdiff_t>(at + 16)};
}

bool TSimulatedRegister::IsAddressByte(std::uint8_t byte, TParity parity, TLineNs arrivedNs) const {
  if (parity != TParity::Unknown) return parity == TParity::Mark;
  // Without the ninth bit: an address is expected whenever no frame is under way. The
  // frames of this link are never as long as an address byte is large, so the address
  // sent again after an echo is still told from a frame length.
  switch (State) {
    case TState::Idle: return true;
    case TState::Selected: return byte == Address();
    case TState::InFrame: break;
  }
  return arrivedNs - LastByteNs > FrameGapNs;
}

std::vector<TLineRecord> TSimulatedRegister::Receive(std::uint8_t byte, TParity parity, TLineNs arrivedNs) {
  Record.push_back({TDirection::ToRegister, byte, parity, arrivedNs - CharacterNs, arrivedNs});
  std::vector<TLineRecord> out;
  if (Silent) return out;
  const bool address = IsAddressByte(byte, parity, arrivedNs);
  if (State == TState::InFrame && arrivedNs - LastByteNs > FrameGapNs) State = TState::Idle;
  LastByteNs = arrivedNs;
  if (address) {
    State = TState::Idle;
    if (byte != Address()) return out;
    if (BusyAnswers != 0) {
      if (BusyAnswers > 0) --BusyAnswers;
      Send({0x65}, TAnswerKind::Echo, arrivedNs, out);
      return out;
    }
    State = TState::Selected;
    Frame.clear();
    Send({byte}, TAnswerKind::Echo, arrivedNs, out);
    return out;
  }
  if (State == TState::Idle) return out;
  State = TState::InFrame;
  Frame.push_back(byte);
  if (Frame.size() < std::size_t{Frame.front()} + 2) return out;
  State = TState::Idle;
  // A frame that fails its checksum is not acknowledged and does nothing.
  if (Checksum(Frame, Frame.size() - 1) != Frame.back()) return out;
  Send({Frame.back()}, TAnswerKind::Acknowledgement, arrivedNs, out);
  auto reply = ExecuteFrame();
  if (!reply.empty()) Send(std::move(reply), TAnswerKind::Reply, arrivedNs, out);
  return out;
}

std::vector<std::uint8_t> TSimulatedRegister::ExecuteFrame() {
  const std::size_t length = Frame.front();
  const std::uint8_t command = Frame[1];
  std::vector<std::uint8_t> reply;
  if (length == 1 && command == 0x14) {
    reply.assign(10, 0);
    reply[0] = LeadingByte;
    reply[6] = Bcd(Version / 100 % 100);
    reply[7] = Bcd(Version % 100);
    reply.push_back(Checksum(reply, reply.size()));
    return reply;
  }
  if (length < 4) return reply;
  const auto address = static_cast<std::uint16_t>(Frame[2] | Frame[3] << 8);
  const std::size_t count = Frame[4];
  if (command == 0x06 && length == 4) {
    if (LongAccessIn(LongReadsRefused, address, count)) return reply;
    reply.push_back(LeadingByte);
    for (std::size_t i = 0; i < count; ++i) reply.push_back(Ram[(address + i) & 0xFFFF]);
    reply.push_back(Checksum(reply, reply.size()));
  } else if ((command == 0x05 || command == 0x17) && length == 4 + count) {
    if (command == 0x05 && LongAccessIn(LongWritesIgnored, address, count)) return reply;
    Store(address, Frame.data() + 5, count, command == 0x17);
  }
  return reply;
}

bool TSimulatedRegister::LongAccessIn(const std::vector<TRange>& ranges, std::uint16_t address, std::size_t count) {
  return count > 1 && std::any_of(ranges.begin(), ranges.end(), [&](const TRange& range) {
           return address < range.First + range.Count && range.First < address + count;
         });
}

void TSimulatedRegister::Store(std::uint16_t address, const std::uint8_t* bytes, std::size_t n, bool block) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = (address + i) & 0xFFFF;
    if (block && at >= BlockStoreLimit) continue;
    if (std::find(KeptCells.begin(), KeptCells.end(), at) != KeptCells.end()) continue;
    Ram[at] = bytes[i];
    if (at == DisplayUpdateAddress && bytes[i] == 1) ++Updates;
  }
}

bool TSimulatedRegister::Spoil(std::vector<std::uint8_t>& answer, TAnswerKind kind, TLineNs readyNs, TLineNs& lateNs) {
  bool given = true;
  for (auto& fault : Faults) {
    if (fault.Answer != kind || fault.Times == 0) continue;
    if (fault.Skip > 0) {
      --fault.Skip;
      continue;
    }
    if (fault.Times > 0) --fault.Times;
    switch (fault.Kind) {
      case TFaultKind::Silence: given = false; break;
      case TFaultKind::Late: lateNs += fault.LateMs * 1'000'000; break;
      case TFaultKind::WrongByte: answer.front() ^= 0x01; break;
      case TFaultKind::CorruptChecksum: answer.back() ^= 0x01; break;
      case TFaultKind::DropByte:
        if (fault.ByteIndex < answer.size())
          answer.erase(answer.begin() + static_cast<std::ptrdiff_t>(fault.ByteIndex));
        break;
      case TFaultKind::CutShort: answer.resize(answer.size() - std::min(fault.ByteIndex, answer.size())); break;
      case TFaultKind::Busy: answer.assign(1, 0x65); break;
      case TFaultKind::Unplugged:
        given = false;
        UnpluggedAtNs = std::min(UnpluggedAtNs, readyNs);
        break;
    }
  }
  std::erase_if(Faults, [](const TRegisterFault& fault) { return fault.Times == 0; });
  return given;
}

void TSimulatedRegister::Send(std::vector<std::uint8_t> answer, TAnswerKind kind, TLineNs readyNs,
                              std::vector<TLineRecord>& out) {
  TLineNs lateNs = 0;
  if (!Spoil(answer, kind, readyNs, lateNs)) return;
  TLineNs start = std::max(readyNs + TurnaroundNs, TransmitterFreeNs) + lateNs;
  for (const std::uint8_t byte : answer) {
    const TLineRecord sent{TDirection::FromRegister, byte, TParity::Space, start, start + CharacterNs};
    Record.push_back(sent);
    out.push_back(sent);
    start += CharacterNs;
  }
  TransmitterFreeNs = start;
}
