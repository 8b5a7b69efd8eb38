#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/LinkTimes.h"

// The register in software: its memory, its number on the line, its firmware, and
// every answer it gives, with the time each byte of an answer arrives at the PC. It
// knows nothing of how it is reached: the simulated line and the pseudo-terminal
// server both hand it each byte with the time its last bit arrived and carry its
// answers back.

// Nanoseconds on the time base of whoever feeds the register.
using TLineNs = std::uint64_t;

// The ninth bit of a byte. Over a pseudo-terminal it is not carried at all.
enum class TParity { Mark, Space, Unknown };

enum class TDirection { ToRegister, FromRegister };

struct TLineRecord {
  TDirection Direction;
  std::uint8_t Byte;
  TParity Parity;
  TLineNs SentNs;     // its start bit
  TLineNs ArrivedNs;  // its stop bit, at the other end
};

// The answers the register gives, for faults aimed at one of them.
enum class TAnswerKind { Echo, Acknowledgement, Reply };

enum class TFaultKind {
  Silence,          // the answer is not given
  Late,             // it starts LateMs later
  WrongByte,        // its first byte is another one
  DropByte,         // byte ByteIndex of it is not sent
  CorruptChecksum,  // its last byte is another one
  CutShort,         // its last ByteIndex bytes are not sent
  Busy,             // it is the busy answer 0x65 instead
  Unplugged,        // the PC's adapter is pulled out as the answer would start: it never
                    // comes, and nothing passes between them any more (UnpluggedNs)
};

struct TRegisterFault {
  TFaultKind Kind;
  TAnswerKind Answer;
  int Times = 1;  // how many answers of that kind it spoils; negative: all of them
  int Skip = 0;   // how many answers of that kind it leaves alone first
  std::uint64_t LateMs = 0;
  std::size_t ByteIndex = 0;
};

class TSimulatedRegister {
 public:
  static constexpr std::size_t MemorySize = 0x10000;
  static constexpr std::uint16_t PurchaseCounterAddress = 0x1306;
  static constexpr std::uint16_t FirstLineAddress = 0x1A88;
  static constexpr std::uint16_t SecondLineAddress = 0x1A98;
  static constexpr std::uint16_t SecondLineReadBackAddress = 0x1B28;
  static constexpr std::uint16_t DisplayUpdateAddress = 0x1B6A;
  static constexpr std::uint16_t BlockStoreLimit = 0x0A81;  // block writes are stored only below it
  // From the stop bit of a request to the start bit of the answer.
  static constexpr TLineNs DefaultTurnaroundNs = 500'000;

  // number: 0 to 99, the register answers to 0xFF minus its BCD form.
  explicit TSimulatedRegister(int number = 1, std::int32_t firmwareVersion = 104);

  // One byte has arrived; returns the bytes of the answer it brings, if any, each with
  // the time it arrives at the PC. The register's transmitter sends one character
  // at a time, so answers queue behind each other.
  std::vector<TLineRecord> Receive(std::uint8_t byte, TParity parity, TLineNs arrivedNs);

  std::uint8_t Address() const;
  int Number() const { return KkmNumber; }
  std::int32_t FirmwareVersion() const { return Version; }
  void SetFirmwareVersion(std::int32_t version) { Version = version; }

  std::array<std::uint8_t, MemorySize>& Memory() { return Ram; }
  const std::array<std::uint8_t, MemorySize>& Memory() const { return Ram; }
  void SetPurchaseCounter(std::uint16_t purchases);
  std::uint16_t PurchaseCounter() const;
  // The 16 bytes of a display line as they stand.
  std::vector<std::uint8_t> DisplayLine(int line) const;
  // How often 1 has been written to the display update byte.
  int DisplayUpdates() const { return Updates; }

  void Inject(const TRegisterFault& fault) { Faults.push_back(fault); }
  // Injected faults that have not spoilt all their answers yet.
  std::size_t PendingFaults() const { return Faults.size(); }
  // When an Unplugged fault pulled the adapter out; NeverUnplugged until then.
  static constexpr TLineNs NeverUnplugged = ~TLineNs{0};
  TLineNs UnpluggedNs() const { return UnpluggedAtNs; }
  // The adapter plugged in again: lines carry bytes again, and open again.
  void PlugIn() { UnpluggedAtNs = NeverUnplugged; }
  // Answers nothing at all, as if switched off.
  void SetSilent(bool silent) { Silent = silent; }
  // The next `count` times it is addressed it answers busy (0x65) instead; negative:
  // always.
  void SetBusyAnswers(int count) { BusyAnswers = count; }
  void SetLeadingByte(std::uint8_t leading) { LeadingByte = leading; }
  // A cell that acknowledges every write and keeps its value, as a cell the firmware
  // puts back or a memory fault would.
  void KeepCell(std::uint16_t address) { KeptCells.push_back(address); }
  void SetTurnaroundNs(TLineNs ns) { TurnaroundNs = ns; }
  // Reads of more than one byte that touch the `count` bytes from `first` on are
  // acknowledged and then never answered, as by a firmware that reads that memory a
  // byte at a time only. Reads of one byte there are answered. Each call adds a range.
  void RefuseLongReads(std::uint16_t first, std::size_t count) { LongReadsRefused.push_back({first, count}); }
  // Writes (command 5) of more than one byte that touch the `count` bytes from `first`
  // on are acknowledged and not stored, as by a firmware that takes that memory a byte
  // at a time only. Each call adds a range.
  void IgnoreLongWrites(std::uint16_t first, std::size_t count) { LongWritesIgnored.push_back({first, count}); }

  // Every byte both ways, in the order the register saw or sent them.
  const std::vector<TLineRecord>& Traffic() const { return Record; }
  void ClearTraffic() { Record.clear(); }

 private:
  enum class TState { Idle, Selected, InFrame };

  bool IsAddressByte(std::uint8_t byte, TParity parity, TLineNs arrivedNs) const;
  // Carries out a complete, well-formed frame; returns the reply it brings, if any.
  std::vector<std::uint8_t> ExecuteFrame();
  struct TRange {
    std::uint16_t First;
    std::size_t Count;
  };
  // Whether an access of `count` bytes at `address`, more than one, touches one of the ranges.
  static bool LongAccessIn(const std::vector<TRange>& ranges, std::uint16_t address, std::size_t count);
  void Store(std::uint16_t address, const std::uint8_t* bytes, std::size_t n, bool block);
  void Send(std::vector<std::uint8_t> answer, TAnswerKind kind, TLineNs readyNs, std::vector<TLineRecord>& out);
  // Applies the faults aimed at this answer; false when it is not to be given.
  bool Spoil(std::vector<std::uint8_t>& answer, TAnswerKind kind, TLineNs readyNs, TLineNs& lateNs);

  int KkmNumber;
  std::int32_t Version;
  std::array<std::uint8_t, MemorySize> Ram{};
  int Updates = 0;
  bool Silent = false;
  int BusyAnswers = 0;
  std::uint8_t LeadingByte = 0x00;
  TLineNs TurnaroundNs = DefaultTurnaroundNs;
  std::vector<TRegisterFault> Faults;
  TLineNs UnpluggedAtNs = NeverUnplugged;
  std::vector<TRange> LongReadsRefused;
  std::vector<TRange> LongWritesIgnored;

  TState State = TState::Idle;
  TLineNs LastByteNs = 0;
  std::vector<std::uint8_t> Frame;
  TLineNs TransmitterFreeNs = 0;
  std::vector<TLineRecord> Record;
  std::vector<std::uint16_t> KeptCells;
};
