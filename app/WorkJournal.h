#pragma once

#include <string>

#include "document/UserMessages.h"
#include "register/CommandEnd.h"
#include "register/Firmware.h"
#include "settingsfile/Journal.h"

// What one command of the window told, for its line in the journal: the boxes pass on
// to the user, the last of them is remembered for a command that fails, and so are the
// status text and how the command ended.
class TJournalRecorder final : public TUserMessages {
 public:
  explicit TJournalRecorder(TUserMessages& shown) : Shown(shown) {}

  TAnswer Show(TMessageKind kind, const std::string& text) override;
  // Forgets the command before.
  void Begin();
  // The command's line: its outcome the failure's box, or the status text after a
  // command that did what it was asked (`done`); the register it worked with.
  TJournalEntry Entry(const char* command, const TKkmConnection& connection, bool done) const;

  std::string Status;
  TCommandEnd End = TCommandEnd::Done;

 private:
  TUserMessages& Shown;
  std::string Failure;
};
