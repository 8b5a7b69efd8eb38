#include "app/WorkJournal.h"

#include "register/Connect.h"

namespace {

const char* const Declined = "Отменено: ответ «Нет»";

}  // namespace

TAnswer TJournalRecorder::Show(TMessageKind kind, const std::string& text) {
  if (!IsQuestion(kind)) Failure = text;
  return Shown.Show(kind, text);
}

void TJournalRecorder::Begin() {
  Status.clear();
  Failure.clear();
  End = TCommandEnd::Done;
}

TJournalEntry TJournalRecorder::Entry(const char* command, const TKkmConnection& connection, bool done) const {
  TJournalEntry entry(command, connection.Device);
  if (connection.Version != 0) {
    entry.Number = KkmNumberText(connection.Address);
    entry.Firmware = DottedVersion(connection.Version);
  }
  // A write declined at its question has only the pre-read's status to tell.
  SetOutcome(entry, End == TCommandEnd::Declined ? Declined : !done && !Failure.empty() ? Failure : Status);
  if (entry.Outcome.empty()) entry.Outcome = done ? "выполнено" : "не выполнено";
  return entry;
}
