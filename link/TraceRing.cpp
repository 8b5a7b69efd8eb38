#include "link/TraceRing.h"

#include <algorithm>

#include "document/LocalTime.h"

namespace {

const char* const CutLine = "... trace cut here: the rest of the command is not kept\n";

}  // namespace

TTraceRing::TId TTraceRing::Begin(const std::string& title) {
  const std::string head = "--- " + TimeStampText(LocalTimeNow()) + " " + title + "\n";
  const std::lock_guard guard(Lock);
  if (Kept.size() == KeptCommands) Kept.pop_front();
  Kept.push_back({Next, head});
  return Next++;
}

void TTraceRing::Append(TId id, const std::string& line) {
  const std::lock_guard guard(Lock);
  const auto trace = std::find_if(Kept.begin(), Kept.end(), [id](const TTrace& kept) { return kept.Id == id; });
  if (trace == Kept.end()) return;
  std::string& text = trace->Text;
  const std::size_t room = CommandBytes - std::string(CutLine).size();
  if (text.size() > room) return;  // cut already
  if (text.size() + line.size() + 1 > room) {
    text += CutLine;
    return;
  }
  text += line;
  text += '\n';
}

std::vector<std::string> TTraceRing::Traces() const {
  const std::lock_guard guard(Lock);
  std::vector<std::string> traces;
  for (const TTrace& trace : Kept) traces.push_back(trace.Text);
  return traces;
}

TTraceRing& ProgramTraces() {
  static TTraceRing ring;
  return ring;
}
