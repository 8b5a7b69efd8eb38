#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// The line traces of the last commands, in the trace's own format, kept in memory for
// support whether or not a trace file was asked for: at most five commands, each cut
// at a fifth of 2 MB with a line saying so. A command's links (the ports of a search,
// say) add to its trace at once from their threads.
class TTraceRing {
 public:
  using TId = std::uint64_t;
  static constexpr std::size_t KeptCommands = 5;
  static constexpr std::size_t MaxBytes = 2 * 1024 * 1024;
  static constexpr std::size_t CommandBytes = MaxBytes / KeptCommands;

  // A new command's trace, headed "--- <local time> <title>"; the sixth pushes out
  // the first.
  TId Begin(const std::string& title);
  // A line for the command's trace; nothing once it has been pushed out.
  void Append(TId id, const std::string& line);
  // The traces kept, oldest first.
  std::vector<std::string> Traces() const;

 private:
  struct TTrace {
    TId Id = 0;
    std::string Text;
  };
  mutable std::mutex Lock;
  std::deque<TTrace> Kept;
  TId Next = 1;
};

// The program's own ring, which every link's trace goes to.
TTraceRing& ProgramTraces();
