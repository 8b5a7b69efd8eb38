#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "sim/AdapterBuffer.h"
#include "sim/SimulatedRegister.h"

// Serves a simulated register on a pseudo-terminal, so that the real serial code can
// talk to it. A pseudo-terminal carries no parity bit; each byte gets the parity its
// sender had set on the terminal (MARK or SPACE stick parity), and without such a
// setting the register tells an address from frame bytes by where it is in the
// protocol. Both directions are paced at 9600 baud: a byte written by the PC is taken
// only when its last bit would have arrived, and each answer byte is handed over when
// its last bit would have arrived at the PC, or, behind a USB adapter's latency
// timer, when the adapter would pass it on.
class TPtyRegisterServer {
 public:
  explicit TPtyRegisterServer(TSimulatedRegister& kkm) : Kkm(kkm) {}
  TPtyRegisterServer(const TPtyRegisterServer&) = delete;
  TPtyRegisterServer& operator=(const TPtyRegisterServer&) = delete;
  ~TPtyRegisterServer();

  // Creates the pseudo-terminal; false when the system has none to give.
  bool Open();
  // The device the PC opens, for example /dev/pts/3.
  const std::string& DeviceName() const { return Device; }
  // Set before serving.
  void SetLatencyMs(std::uint64_t ms) { Adapter.SetLatencyMs(ms); }

  // Runs the register until stop is set; it looks at stop at least every 50 ms.
  void Serve(const std::atomic<bool>& stop);

 private:
  TSimulatedRegister& Kkm;
  TAdapterBuffer Adapter;
  int Master = -1;
  // Held open so that the pseudo-terminal outlives the PC closing and reopening it.
  int Slave = -1;
  std::string Device;
};
