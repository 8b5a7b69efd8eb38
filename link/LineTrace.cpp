#include "link/LineTrace.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "document/LocalTime.h"

namespace {

// Names are UTF-8 inside the program; on Windows they reach the system as UTF-16, so
// that any folder name works.
std::FILE* OpenForAppending(const std::string& utf8) {
  const std::filesystem::path path(std::u8string(utf8.begin(), utf8.end()));
#ifdef _WIN32
  return _wfopen(path.c_str(), L"ab");
#else
  return std::fopen(path.c_str(), "ab");
#endif
}

class TTracedPort final : public TForwardingPort {
 public:
  TTracedPort(std::unique_ptr<TSerialPort> port, TLineTrace& trace) : TForwardingPort(std::move(port)), Trace(trace) {}

  void SetParity(bool mark) override {
    Mark = mark;
    Port->SetParity(mark);
  }
  void Purge() override {
    TracePurged();
    Port->Purge();
  }
  void FullPurge() override {
    TracePurged();
    Port->FullPurge();
  }
  std::size_t ReadBytes(std::uint8_t* buffer, std::size_t n) override {
    const std::size_t got = Port->ReadBytes(buffer, n);
    for (std::size_t i = 0; i < got; ++i) Trace.Event("< " + HexByte(buffer[i]) + " none");
    return got;
  }
  std::size_t WriteBytes(const std::uint8_t* bytes, std::size_t n) override {
    const std::size_t done = Port->WriteBytes(bytes, n);
    for (std::size_t i = 0; i < done; ++i) Trace.Event("> " + HexByte(bytes[i]) + (Mark ? " MARK" : " SPACE"));
    return done;
  }

 private:
  // What a purge throws away is often what tells why an exchange failed (an answer
  // that came too late), so it is taken first and traced.
  void TracePurged() {
    const std::size_t queued = Port->InputQueued();
    if (queued == 0) return;
    std::vector<std::uint8_t> bytes(queued);
    const std::size_t got = Port->ReadBytes(bytes.data(), queued);
    for (std::size_t i = 0; i < got; ++i) Trace.Event("< " + HexByte(bytes[i]) + " none purged");
  }

  TLineTrace& Trace;
  bool Mark = true;  // ports open with MARK
};

}  // namespace

void TLineTrace::Start(TClock& clock) {
  Clock = &clock;
  StartUs = clock.NowUs();
}

bool TLineTrace::Open(const std::string& path) {
  File.reset(OpenForAppending(path));
  if (!File) return false;
  std::fprintf(File.get(), "--- %s\n", TimeStampText(LocalTimeNow()).c_str());
  return true;
}

void TLineTrace::Close() { File.reset(); }

void TLineTrace::KeepIn(TTraceRing& ring, TTraceRing::TId id) {
  Ring = &ring;
  RingId = id;
}

void TLineTrace::Event(const std::string& text) {
  if (!IsOpen()) return;
  char line[32];
  std::snprintf(line, sizeof line, "%10.3f ", static_cast<double>(Clock->NowUs() - StartUs) / 1000.0);
  if (Ring != nullptr) Ring->Append(RingId, line + text);
  if (!File) return;
  // Written through at once: a trace is most wanted when the program did not end well.
  std::fprintf(File.get(), "%s%s\n", line, text.c_str());
  std::fflush(File.get());
}

std::string TraceFileFromEnvironment() {
#ifdef _WIN32
  const wchar_t* named = _wgetenv(L"ORBI7_TRACE");
  if (named == nullptr) return {};
  const std::u8string utf8 = std::filesystem::path(named).u8string();
  return std::string(utf8.begin(), utf8.end());
#else
  const char* named = std::getenv("ORBI7_TRACE");
  return named == nullptr ? std::string() : std::string(named);
#endif
}

std::string HexByte(std::uint8_t byte) {
  const char* const digits = "0123456789ABCDEF";
  return {digits[byte >> 4], digits[byte & 0x0F]};
}

std::unique_ptr<TSerialPort> TracedPort(std::unique_ptr<TSerialPort> port, TLineTrace& trace) {
  return std::make_unique<TTracedPort>(std::move(port), trace);
}
