#include "link/TraceRing.h"

#include <algorithm>
#include <ctime>

namespace {

const char* const CutLine = "... trace cut here: the rest of the command is not kept\n";

}  // namespace

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32] = "";
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

TTraceRing::TId TTraceRing::Begin(const std::string& title) {
  const std::string head = "--- " + LocalTimeText() + " " + title + "\n";
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
