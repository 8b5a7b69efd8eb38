#include "register/PortSearch.h"

#include <algorithm>
#include <utility>

#include "link/KkmConnect.h"

TPortSearch::TPortSearch(std::vector<std::string> devices, TLinkMaker makeLink)
    : PortDevices(std::move(devices)),
      PortStates(PortDevices.size(), TSearchState::Searching),
      Registers(PortDevices.size()) {
  Threads.reserve(PortDevices.size());
  for (std::size_t i = 0; i < PortDevices.size(); ++i)
    Threads.emplace_back([this, i, makeLink] { Search(i, makeLink); });
}

TPortSearch::~TPortSearch() {
  Stop();
  for (std::thread& thread : Threads) thread.join();
}

void TPortSearch::Stop() { Stopping.store(true); }

// The whole connect sequence but the firmware row, which the window's thread picks.
void TPortSearch::Search(std::size_t index, const TLinkMaker& makeLink) {
  const std::unique_ptr<TKkmLink> link = makeLink(PortDevices[index]);
  link->SetStopFlag(&Stopping);
  if (!link->OpenPort(PortDevices[index])) return Finish(index, TSearchState::Unavailable);
  if (!ProbeAddress(*link) || !QueryVersion(*link)) return Finish(index, TSearchState::NotFound);
  const std::uint8_t address = link->KkmAddress;
  const std::int32_t version = link->FirmwareVersion;
  link->ClosePort();  // for the window's thread to open
  Finish(index, TSearchState::Found, address, version);
}

void TPortSearch::Finish(std::size_t index, TSearchState state, std::uint8_t address, std::int32_t version) {
  const std::lock_guard guard(Lock);
  PortStates[index] = state;
  Registers[index] = {PortDevices[index], address, version};
  if (Deciding()) Stopping.store(true);
}

// The first port that is not NotFound or Unavailable, if it has found a register.
std::optional<std::size_t> TPortSearch::Deciding() const {
  for (std::size_t i = 0; i < PortStates.size(); ++i) {
    if (PortStates[i] == TSearchState::Found) return i;
    if (PortStates[i] == TSearchState::Searching) return std::nullopt;
  }
  return std::nullopt;
}

std::vector<TSearchState> TPortSearch::States() const {
  const std::lock_guard guard(Lock);
  return PortStates;
}

bool TPortSearch::Done() const {
  const std::lock_guard guard(Lock);
  return Deciding().has_value() || std::none_of(PortStates.begin(), PortStates.end(),
                                                [](TSearchState s) { return s == TSearchState::Searching; });
}

std::optional<TFoundKkm> TPortSearch::Found() const {
  const std::lock_guard guard(Lock);
  const std::optional<std::size_t> index = Deciding();
  if (!index) return std::nullopt;
  return Registers[*index];
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
