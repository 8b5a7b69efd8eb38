#pragma once

// How a command with the register ended, for a caller that acts on it (the console's
// exit codes). The window tells the user by its boxes alone.
enum class TCommandEnd {
  Done,
  Declined,         // the user said no to the question
  Refused,          // a rule refused a field of the document; nothing was sent
  BackupRefused,    // the register's settings could not be kept; nothing was written
  PortUnavailable,  // the port could not be opened
  NoAnswer,         // the link failed before anything in the register was changed
  UnknownFirmware,  // a firmware version the program has no map for
  Purchases,        // the register holds purchases; nothing was written
  NotConfirmed,     // the check after the write found the register holding otherwise
  BrokenWrite,      // the link failed after the write had begun to change the register
};
