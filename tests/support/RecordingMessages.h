#pragma once

#include <deque>
#include <string>
#include <vector>

#include "document/UserMessages.h"

// Message boxes answered by the test: every box is recorded; confirmations take the
// next scripted answer (No when the script has run out, so nothing is destroyed by
// a box the test did not expect).
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
    if (kind != TMessageKind::Confirmation) return TAnswer::Ok;
    if (Answers.empty()) return TAnswer::No;
    const TAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }

  std::vector<TShown> Shown;
  std::deque<TAnswer> Answers;
  void (*OnShow)() = nullptr;  // runs while the box is "open"
};
