#include "sim/PtyRegisterServer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <vector>

namespace {

constexpr TLineNs StopCheckNs = 50'000'000;

TLineNs NowNs() {
  return static_cast<TLineNs>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

struct TTimedByte {
  std::uint8_t Byte;
  TLineNs Ns;
  TParity Parity = TParity::Unknown;
};

// A pseudo-terminal carries no ninth bit, but it keeps the sender's choice of stick
// parity (CMSPAR, with PARODD for MARK) in its line settings, while it drops PARENB.
// The sender switches parity only after an answer to what it sent before, and the
// bytes are taken from the terminal as soon as they are written, so the settings at
// that moment are those the bytes were sent with.
TParity LineParity(int terminal) {
  termios line{};
  if (tcgetattr(terminal, &line) != 0 || (line.c_cflag & CMSPAR) == 0) return TParity::Unknown;
  return (line.c_cflag & PARODD) != 0 ? TParity::Mark : TParity::Space;
}

}  // namespace

TPtyRegisterServer::~TPtyRegisterServer() {
  if (Slave >= 0) close(Slave);
  if (Master >= 0) close(Master);
}

bool TPtyRegisterServer::Open() {
  Master = posix_openpt(O_RDWR | O_NOCTTY);
  if (Master < 0) return false;
  if (grantpt(Master) != 0 || unlockpt(Master) != 0) return false;
  const char* name = ptsname(Master);
  if (name == nullptr) return false;
  Device = name;
  Slave = open(Device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (Slave < 0) return false;
  termios raw{};
  if (tcgetattr(Slave, &raw) == 0) {
    cfmakeraw(&raw);
    tcsetattr(Slave, TCSANOW, &raw);
  }
  fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
  return true;
}

void TPtyRegisterServer::Serve(const std::atomic<bool>& stop) {
  std::deque<TTimedByte> inbound;  // from the PC, by the time each is taken
  TLineNs receiverFreeNs = 0;
  while (!stop.load()) {
    TLineNs now = NowNs();
    while (!inbound.empty() && inbound.front().Ns <= now) {
      const TTimedByte& byte = inbound.front();
      for (const TLineRecord& answer : Kkm.Receive(byte.Byte, byte.Parity, byte.Ns)) {
        Adapter.Arrive(answer.Byte, answer.ArrivedNs);
      }
      inbound.pop_front();
    }
    const std::vector<std::uint8_t> due = Adapter.Take(now);
    if (!due.empty() && write(Master, due.data(), due.size()) < 0 && errno != EAGAIN) return;

    TLineNs next = now + StopCheckNs;
    if (!inbound.empty()) next = std::min(next, inbound.front().Ns);
    next = std::min(next, Adapter.NextDeliveryNs());
    const TLineNs waitNs = next > now ? next - now : 0;
    const timespec timeout{static_cast<time_t>(waitNs / 1'000'000'000), static_cast<long>(waitNs % 1'000'000'000)};
    pollfd watch{Master, POLLIN, 0};
    if (ppoll(&watch, 1, &timeout, nullptr) <= 0 || (watch.revents & POLLIN) == 0) continue;
    std::uint8_t chunk[256];
    const ssize_t got = read(Master, chunk, sizeof chunk);
    if (got <= 0) continue;
    now = NowNs();
    const TParity parity = LineParity(Slave);
    for (ssize_t i = 0; i < got; ++i) {
      receiverFreeNs = std::max(now, receiverFreeNs) + CharacterNs;
      inbound.push_back({chunk[i], receiverFreeNs, parity});
    }
  }
}
