#include "app/WorkJournal.h"

#include "register/Connect.h"

TAnswer TJournalRecorder::Show(TMessageKind kind, const std::string& text) {
  if (kind != TMessageKind::Confirmation) Failure = text;
  return Shown.Show(kind, text);
}

void TJournalRecorder::Begin() {
  Status.clear();
  Failure.clear();
  End = TCommandEnd::Done;
}

TJournalEntry RecordedEntry(const TJournalRecorder& recorder, const char* command, const TKkmConnection& connection,
                            bool done) {
  TJournalEntry entry(command, connection.Device);
  if (connection.Version != 0) {
    entry.Number = KkmNumberText(connection.Address);
    entry.Firmware = DottedVersion(connection.Version);
  }
  const bool failed = !done && !recorder.Failure.empty();
  SetOutcome(entry, failed ? recorder.Failure : recorder.Status);
  if (entry.Outcome.empty()) entry.Outcome = done ? "выполнено" : "не выполнено";
  return entry;
}
