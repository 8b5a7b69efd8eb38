#pragma once

#include <deque>
#include <string>
#include <vector>

#include "document/UserMessages.h"

// Message boxes answered by the test: every box is recorded; confirmations take the
// next scripted answer (No when the script has run out, so nothing is destroyed by
// a box the test did not expect), and so does a broken write's box when the script
// has Retry next.
class TRecordingMessages : public TUserMessages {
 public:
  struct TShown {
    TMessageKind Kind;
    std::string Text;
    bool operator==(const TShown&) const = default;
  };

  TAnswer Show(TMessageKind kind, const std::string& text) override {
    Shown.push_back({kind, text});
    if (OnShow) OnShow();
    const bool retry = kind == TMessageKind::BrokenWrite && !Answers.empty() && Answers.front() == TAnswer::Retry;
    if (!IsQuestion(kind) && !retry) return TAnswer::Ok;
    if (Answers.empty()) return TAnswer::No;
    const TAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }

  std::vector<TShown> Shown;
  std::deque<TAnswer> Answers;
  void (*OnShow)() = nullptr;  // runs while the box is "open"
};

// The same, also noting each box as "box <text>" in a list of calls shared with
// other recorders, so that tests see boxes in order among the other calls.
class TCallLoggingMessages : public TRecordingMessages {
 public:
  explicit TCallLoggingMessages(std::vector<std::string>& calls) : Calls(calls) {}
  TAnswer Show(TMessageKind kind, const std::string& text) override {
    Calls.push_back("box " + text);
    return TRecordingMessages::Show(kind, text);
  }

 private:
  std::vector<std::string>& Calls;
};
