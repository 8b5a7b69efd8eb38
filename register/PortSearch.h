#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/TKkmLink.h"
#include "register/Connect.h"

// Where the search stands on one port.
enum class TSearchState {
  Searching,
  Found,        // a register answered the probe and the version query
  NotFound,     // nothing answered, or the search was stopped first
  Unavailable,  // the port could not be opened
};

// Looks for a register on several ports at once: one thread per port, each with a
// link of its own, sharing nothing but the outcome. The port that counts is the
// first in the given order on which a register was found; once it is known, the
// probes on the others stop. Every thread has ended when the object is gone.
class TPortSearch {
 public:
  // Makes the link of one port's thread (on the thread itself); the link opens the
  // device by the opener it was made with.
  using TLinkMaker = std::function<std::unique_ptr<TKkmLink>(const std::string& device)>;

  TPortSearch(std::vector<std::string> devices, TLinkMaker makeLink);
  TPortSearch(const TPortSearch&) = delete;
  TPortSearch& operator=(const TPortSearch&) = delete;
  ~TPortSearch();

  // Ends every probe at its next candidate; harmless when done.
  void Stop();

  const std::vector<std::string>& Devices() const { return PortDevices; }
  std::vector<TSearchState> States() const;
  // True once the outcome is known: a register found on the first port that counts,
  // or none on any port (or the search stopped).
  bool Done() const;
  // The register of the first port in order that has one, once Done.
  std::optional<TFoundKkm> Found() const;

 private:
  void Search(std::size_t index, const TLinkMaker& makeLink);
  void Finish(std::size_t index, TSearchState state, std::uint8_t address = 0, std::int32_t version = 0);
  std::optional<std::size_t> Deciding() const;  // under Lock

  const std::vector<std::string> PortDevices;
  mutable std::mutex Lock;
  std::vector<TSearchState> PortStates;
  std::vector<TFoundKkm> Registers;
  std::atomic<bool> Stopping{false};
  std::vector<std::thread> Threads;
};

// The devices a search goes over, in its order: the four buttons' devices, then the
// listed ports, each once.
std::vector<std::string> SearchOrder(const std::vector<std::string>& buttons, const std::vector<std::string>& listed);
