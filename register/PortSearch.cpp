#include "register/PortSearch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <utility>

#include "link/KkmConnect.h"

// What the window's thread and the search's threads share; a thread that outlives the
// search keeps it alive.
struct TPortSearch::TShared {
  explicit TShared(std::size_t ports) : States(ports, TSearchState::Searching), Registers(ports), Opening(ports) {}

  // The first port that is not NotFound or Unavailable, if it has found a register.
  std::optional<std::size_t> Deciding() const {
    for (std::size_t i = 0; i < States.size(); ++i) {
      if (States[i] == TSearchState::Found) return i;
      if (States[i] == TSearchState::Searching) return std::nullopt;
    }
    return std::nullopt;
  }

  void Finish(std::size_t index, TSearchState state, TFoundKkm found = {}) {
    const std::lock_guard guard(Lock);
    States[index] = state;
    Registers[index] = std::move(found);
    if (Deciding()) Stopping.store(true);
    --Running;
    Changed.notify_all();
  }

  bool Ended(std::size_t index) const {
    const std::lock_guard guard(Lock);
    return States[index] != TSearchState::Searching;
  }

  void SetOpening(std::size_t index, bool opening) {
    const std::lock_guard guard(Lock);
    Opening[index] = opening;
    Changed.notify_all();
  }

  mutable std::mutex Lock;
  std::condition_variable Changed;
  std::vector<TSearchState> States;
  std::vector<TFoundKkm> Registers;
  std::vector<bool> Opening;
  std::size_t Running = 0;
  std::atomic<bool> Stopping{false};
};

namespace {

constexpr int OpenGraceMs = 300;

// The threads of searches gone while they were still inside an open, joined by a later
// search once they have ended. No thread is detached while the program runs: the
// Windows build's thread library can corrupt its heap, or lose a thread, when a detach
// meets the thread's own end (seen under Wine about one search in five). Only a thread
// still inside its open when the program ends is let go, to end with the process.
class TLeftThreads {
 public:
  TLeftThreads() = default;
  TLeftThreads(const TLeftThreads&) = delete;
  TLeftThreads& operator=(const TLeftThreads&) = delete;
  ~TLeftThreads() {
    JoinEnded();
    for (TLeft& left : Left) left.Thread.detach();
  }

  void Keep(std::thread thread, std::shared_ptr<TPortSearch::TShared> shared, std::size_t index) {
    const std::lock_guard guard(Lock);
    Left.push_back({std::move(thread), std::move(shared), index});
  }

  void JoinEnded() {
    std::vector<TLeft> ended;
    {
      const std::lock_guard guard(Lock);
      const auto still = std::partition(Left.begin(), Left.end(), [](const TLeft& left) { return !left.Ended(); });
      std::move(still, Left.end(), std::back_inserter(ended));
      Left.erase(still, Left.end());
    }
    for (TLeft& left : ended) left.Thread.join();
  }

 private:
  struct TLeft {
    bool Ended() const { return Shared->Ended(Index); }
    std::thread Thread;
    std::shared_ptr<TPortSearch::TShared> Shared;
    std::size_t Index;
  };
  std::mutex Lock;
  std::vector<TLeft> Left;
};

TLeftThreads& LeftThreads() {
  static TLeftThreads left;
  return left;
}

// The whole connect sequence but the firmware row, which the window's thread picks;
// the port found stays open. The link, with any other port it opened, is gone before
// the outcome is told.
void SearchPort(const std::shared_ptr<TPortSearch::TShared>& shared, std::size_t index, const std::string& device,
                const TPortSearch::TLinkMaker& makeLink, TTraceRing::TId trace) {
  TSearchState state = TSearchState::Unavailable;
  TFoundKkm found;
  {
    const std::unique_ptr<TKkmLink> link = makeLink(device);
    link->TraceCommand(ProgramTraces(), trace);
    link->SetStopFlag(&shared->Stopping);
    shared->SetOpening(index, true);
    const bool opened = link->OpenPort(device);
    shared->SetOpening(index, false);
    if (opened && ProbeAddress(*link) && QueryVersion(*link)) {
      state = TSearchState::Found;
      found = {device, link->KkmAddress(), link->FirmwareVersion(), link->ReleasePort()};
    } else if (opened) {
      state = TSearchState::NotFound;
    }
  }
  shared->Finish(index, state, std::move(found));
}

}  // namespace

TPortSearch::TPortSearch(std::vector<std::string> devices, TLinkMaker makeLink)
    : PortDevices(std::move(devices)), Shared(std::make_shared<TShared>(PortDevices.size())) {
  Shared->Running = PortDevices.size();
  // The probes of every port go to one trace, as one command.
  const TTraceRing::TId trace = ProgramTraces().Begin("search");
  for (std::size_t i = 0; i < PortDevices.size(); ++i) {
    Threads.emplace_back([shared = Shared, i, device = PortDevices[i], makeLink, trace] {
      SearchPort(shared, i, device, makeLink, trace);
    });
  }
}

// Every probe ends within 100 ms of the stop, and most opens well within the grace
// given them; a thread still inside an open after that is left to end alone. The
// ports of registers found and not taken are closed here.
TPortSearch::~TPortSearch() {
  Stop();
  {
    std::unique_lock lock(Shared->Lock);
    Shared->Changed.wait_for(lock, std::chrono::milliseconds(OpenGraceMs), [this] { return Shared->Running == 0; });
    Shared->Changed.wait(lock, [this] {
      const std::size_t opening = std::count(Shared->Opening.begin(), Shared->Opening.end(), true);
      return Shared->Running == opening;
    });
    for (TFoundKkm& found : Shared->Registers) found.Port.reset();
  }
  for (std::size_t i = 0; i < Threads.size(); ++i) {
    if (Shared->Ended(i)) {
      Threads[i].join();
    } else {
      LeftThreads().Keep(std::move(Threads[i]), Shared, i);
    }
  }
  LeftThreads().JoinEnded();
}

void TPortSearch::Stop() { Shared->Stopping.store(true); }

std::vector<TSearchState> TPortSearch::States() const {
  const std::lock_guard guard(Shared->Lock);
  return Shared->States;
}

bool TPortSearch::Done() const {
  const std::lock_guard guard(Shared->Lock);
  const auto& states = Shared->States;
  return Shared->Deciding().has_value() ||
         std::none_of(states.begin(), states.end(), [](TSearchState s) { return s == TSearchState::Searching; });
}

std::optional<TFoundKkm> TPortSearch::TakeFound() {
  const std::lock_guard guard(Shared->Lock);
  const std::optional<std::size_t> index = Shared->Deciding();
  if (!index) return std::nullopt;
  TFoundKkm& found = Shared->Registers[*index];
  return TFoundKkm{found.Device, found.Address, found.Version, std::move(found.Port)};
}

std::vector<std::string> SearchOrder(const std::vector<std::string>& buttons, const std::vector<std::string>& listed) {
  std::vector<std::string> order;
  for (const auto* devices : {&buttons, &listed}) {
    for (const std::string& device : *devices) {
      if (std::find(order.begin(), order.end(), device) == order.end()) order.push_back(device);
    }
  }
  return order;
}

std::vector<std::string> SearchDevices(const TPortSystem& ports, const std::string& chosen) {
  std::vector<std::string> buttons;
  for (int n = FirstPortNumber; n <= LastPortNumber; ++n) buttons.push_back(ports.ButtonDevice(n));
  const std::vector<TSerialPortInfo> listed = ports.List();
  std::vector<std::string> devices;
  for (const TSerialPortInfo& port : listed) devices.push_back(port.Device);
  return WithoutBluetooth(SearchOrder(buttons, devices), listed, chosen);
}

std::vector<std::string> WithoutBluetooth(std::vector<std::string> order, const std::vector<TSerialPortInfo>& listed,
                                          const std::string& chosen) {
  const auto bluetooth = [&](const std::string& device) {
    if (device == chosen) return false;
    if (device.find("rfcomm") != std::string::npos) return true;
    return std::any_of(listed.begin(), listed.end(),
                       [&](const TSerialPortInfo& port) { return port.Bluetooth && port.Device == device; });
  };
  std::erase_if(order, bluetooth);
  return order;
}
