#pragma once

#include <optional>
#include <string>

// The register a document was last read from or written to, as a settings file keeps
// it in its section "ККМ": the texts stand as the file holds them, so that a file
// saved again keeps them as they were.
struct TRegisterOrigin {
  std::string Number;    // "37", as the register calls itself
  std::string Firmware;  // "1.0.4"
  std::string Date;      // "2026-12-10 14:03", when it was read or written
  std::string Port;      // "COM7", "/dev/ttyUSB0"

  bool operator==(const TRegisterOrigin&) const = default;
};

// A document's origin: none for one that never met a register.
using TDocumentOrigin = std::optional<TRegisterOrigin>;
