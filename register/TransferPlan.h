#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/KkmFrames.h"
#include "link/TKkmLink.h"
#include "register/RegisterRecords.h"
#include "register/WindowView.h"

// A transfer is first planned, then run: the read and the write list their steps
// (exchanges with the register, and the status text, display lines, pumps and
// pauses that go with them) in the order they take, and one runner carries them out.
struct TTransferStep {
  enum class TKind { Status, Pump, Delay, Display, RestoreDisplay, Read, ReadRange, Write, WriteRange, WriteBlock };

  TKind Kind;
  std::string Text{};   // Status: the line; Display: the first display line
  std::string Line2{};  // Display: the second display line
  TTick Ms = 0;         // Delay
  std::uint16_t Address = 0;
  std::uint8_t Count = 0;             // ReadRange: the bytes from Address on
  std::vector<std::uint8_t> Bytes{};  // Write: the byte; WriteRange, WriteBlock: the bytes
  TBlockHandshake Handshake = TBlockHandshake::OneEcho;
  // Read: false for the byte read leaves out the next SkipCount steps (a tax that
  // is off has no rate or name to read).
  std::function<bool(std::uint8_t)> Keeps{};
  int SkipCount = 0;
  // ReadRange: when set and false for the memory read so far, the step is left out.
  std::function<bool(const TRegisterMemory&)> Only{};
};

class TTransferPlan {
 public:
  void Status(std::string text);
  void Pump();
  void Delay(TTick ms);
  // The first display step of a plan keeps the lines it replaces; RestoreDisplay
  // puts them back.
  void Display(std::string line1, std::string line2);
  void RestoreDisplay();
  void Read(std::uint16_t address);
  // A read after which the next `skip` steps are left out when keeps(byte) is false.
  void ReadThenSkipUnless(std::uint16_t address, std::function<bool(std::uint8_t)> keeps, int skip);
  // `count` bytes (at most MaxRangeRead) in one exchange; when the register does not
  // answer it, the same bytes one exchange each, and only a failure of one of those
  // fails the step.
  void ReadRange(std::uint16_t address, std::uint8_t count);
  // A range read that is left out unless only(memory read so far) holds.
  void ReadRangeIf(std::uint16_t address, std::uint8_t count, std::function<bool(const TRegisterMemory&)> only);
  void Write(std::uint16_t address, std::uint8_t value);
  // `bytes` (at most MaxRangeRead) in one exchange with command 5; when the register does
  // not acknowledge it, the same bytes one exchange each, and only a failure of one of
  // those fails the step.
  void WriteRange(std::uint16_t address, std::vector<std::uint8_t> bytes);
  void WriteBlock(std::uint16_t address, std::vector<std::uint8_t> bytes, TBlockHandshake handshake);

  const std::vector<TTransferStep>& Steps() const { return Plan; }
  std::size_t Size() const { return Plan.size(); }
  // The exchanges with the register, what the progress indicator counts.
  int Exchanges() const;

 private:
  std::vector<TTransferStep> Plan;
};

// The most bytes a range read asks for, or a range write carries: what every register
// answers, since each display exchange reads and writes 16.
inline constexpr std::uint8_t MaxRangeRead = 16;

// What memory holds once the plan's writes have been stored into it.
void StoreWrites(const TTransferPlan& plan, TRegisterMemory& memory);

// Whether every byte the range reads of `plan` took into `read` (a range left out for
// `read` took none) is the byte `meant` holds there.
bool RangesReadAsMeant(const TTransferPlan& plan, const TRegisterMemory& read, const TRegisterMemory& meant);

// Exchanges of one step: a display exchange is six, a read or write one.
int StepExchanges(const TTransferStep& step);

// Carries out plans, one after another, counting every exchange for the progress
// indicator out of total, and stops at the first failed exchange (a failed display
// exchange is not one: the display shows what it shows). Keeps the bytes read.
class TTransferRunner {
 public:
  TTransferRunner(TKkmLink& link, TWindowView& view, int total);
  TTransferRunner(const TTransferRunner&) = delete;
  TTransferRunner& operator=(const TTransferRunner&) = delete;
  ~TTransferRunner();

  bool Run(const TTransferPlan& plan);
  // A plan that was not counted at the start is to be run too.
  void AddToTotal(int exchanges) { Total += exchanges; }

  // A byte that a read step of this run took; 0 for any other address.
  std::uint8_t ByteAt(std::uint16_t address) const { return Bytes[address]; }
  const TRegisterMemory& Memory() const { return Bytes; }
  // Whether the frame of a write has begun to leave the PC, so that the register may
  // hold a part of what was to be written.
  bool WroteAny() const { return FrameSent; }
  // Why the failed exchange failed.
  const TLinkFailure& Failure() const { return Link.LastFailure(); }

 private:
  bool RunStep(const TTransferStep& step, std::size_t& skip);
  bool ReadRange(const TTransferStep& step);
  bool WriteRange(const TTransferStep& step);
  bool Exchange(const std::function<bool()>& exchange, bool writes);
  void Count(int exchanges);

  TKkmLink& Link;
  TWindowView& View;
  int Total;
  int Done = 0;
  bool FrameSent = false;
  bool LinesKept = false;
  std::string KeptLine1;
  std::string KeptLine2;
  TRegisterMemory Bytes{};
};
