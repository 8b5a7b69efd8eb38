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

#include "link/PortList.h"
#include "link/PortSystem.h"
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
// probes on the others stop. The port a register was found on stays open, to be
// handed over (TakeFound). When the object goes, every thread has ended but those
// still inside an open of the system's after a grace (a Bluetooth port takes seconds
// to fail): such a thread is not waited for; it ends alone and closes what it opened,
// so whatever its link maker and opener use must outlive it, and a later search joins
// it.
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
  // The register of the first port in order that has one, once Done, with its port
  // still open, once: the connect takes it over.
  std::optional<TFoundKkm> TakeFound();

  struct TShared;

 private:
  const std::vector<std::string> PortDevices;
  std::shared_ptr<TShared> Shared;
  std::vector<std::thread> Threads;
};

// What a search that found nothing says.
inline constexpr const char* NoRegisterFound = "ККМ не найдена ни на одном порту.";

// The devices a search goes over, in its order: the four buttons' devices, then the
// listed ports, each once.
std::vector<std::string> SearchOrder(const std::vector<std::string>& buttons, const std::vector<std::string>& listed);

// The devices of the order less the Bluetooth ports (Windows' BTHENUM as the list tells
// it, Linux's rfcomm), whose opens take seconds and whose far ends are no register,
// unless one is the port chosen.
std::vector<std::string> WithoutBluetooth(std::vector<std::string> order, const std::vector<TSerialPortInfo>& listed,
                                          const std::string& chosen);

// Every device a search of the ports goes over, in its order: the buttons' and the
// listed ones, without Bluetooth ports.
std::vector<std::string> SearchDevices(const TPortSystem& ports, const std::string& chosen);
