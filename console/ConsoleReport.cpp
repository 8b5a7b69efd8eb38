#include "console/ConsoleReport.h"

#include <algorithm>
#include <cstdio>

#include "register/TransferCommands.h"

namespace {

const char* const Indent = "  ";

// The lines of a box, whichever line ends it uses.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

// "key": value pairs of one object.
class TJsonObject {
 public:
  TJsonObject& Text(const char* key, const std::string& value) { return Raw(key, Json(value)); }
  TJsonObject& Number(const char* key, int value) { return Raw(key, std::to_string(value)); }
  TJsonObject& Raw(const char* key, const std::string& value) {
    Body += (Body.empty() ? "" : ", ") + Json(key) + ": " + value;
    return *this;
  }
  std::string Str() const { return "{" + Body + "}"; }

 private:
  std::string Body;
};

template <typename T, typename F>
std::string JsonArray(const std::vector<T>& items, F item) {
  std::string out;
  for (const T& each : items) out += (out.empty() ? "" : ",\n    ") + item(each);
  return "[" + (out.empty() ? "" : "\n    " + out + "\n  ") + "]";
}

std::string JsonOutcome(const TRegisterOutcome& outcome) {
  const std::string differences = JsonArray(outcome.Differences, [](const TSettingsChange& change) {
    return TJsonObject().Text("field", change.Name()).Text("register", change.Before).Text("file", change.After).Str();
  });
  return TJsonObject()
      .Text("device", outcome.Device)
      .Text("number", outcome.Number)
      .Text("firmware", outcome.Firmware)
      .Text("outcome", OutcomeWord(outcome))
      .Number("exit", outcome.Exit)
      .Text("message", outcome.Message)
      .Text("backup", outcome.Backup)
      .Raw("differences", differences)
      .Str();
}

std::string JsonPort(const TSerialPortInfo& port) {
  return TJsonObject()
      .Text("device", port.Device)
      .Text("description", port.Description)
      .Text("usb_id", port.UsbId)
      .Text("serial_number", port.SerialNumber)
      .Raw("bluetooth", port.Bluetooth ? "true" : "false")
      .Str();
}

}  // namespace

int ExitOf(TCommandEnd end, bool differs) {
  switch (end) {
    case TCommandEnd::Done: return differs ? ExitDifferences : ExitDone;
    case TCommandEnd::Declined:
    case TCommandEnd::Refused:
    case TCommandEnd::BackupRefused: return ExitUsage;
    case TCommandEnd::PortUnavailable: return ExitPortUnavailable;
    case TCommandEnd::NoAnswer: return ExitNoAnswer;
    case TCommandEnd::UnknownFirmware: return ExitUnknownFirmware;
    case TCommandEnd::Purchases: return ExitPurchases;
    case TCommandEnd::NotConfirmed: return ExitNotConfirmed;
    case TCommandEnd::BrokenWrite: return ExitBrokenWrite;
  }
  return ExitNoAnswer;
}

const char* OutcomeWord(const TRegisterOutcome& outcome) {
  switch (outcome.End) {
    case TCommandEnd::Done:
      return outcome.Exit == ExitDifferences ? "differences" : outcome.Exit == ExitDone ? "done" : "file-not-saved";
    case TCommandEnd::Declined: return "declined";
    case TCommandEnd::Refused: return "refused";
    case TCommandEnd::BackupRefused: return "backup-not-saved";
    case TCommandEnd::PortUnavailable: return "port-unavailable";
    case TCommandEnd::NoAnswer: return "no-answer";
    case TCommandEnd::UnknownFirmware: return "unknown-firmware";
    case TCommandEnd::Purchases: return "purchases";
    case TCommandEnd::NotConfirmed: return "not-confirmed";
    case TCommandEnd::BrokenWrite: return "broken-write";
  }
  return "no-answer";
}

std::string RegisterTitle(const TRegisterOutcome& outcome) {
  if (outcome.Number.empty()) return outcome.Device;
  return outcome.Device + " · ККМ № " + outcome.Number + " · ПО " + outcome.Firmware;
}

std::string OutcomeText(const TRegisterOutcome& outcome) {
  const std::vector<std::string> message = Lines(outcome.Message);
  std::string text = RegisterTitle(outcome) + ": " + message.front() + "\n";
  for (std::size_t i = 1; i < message.size(); ++i) text += Indent + message[i] + "\n";
  for (const std::string& note : outcome.Notes) {
    for (const std::string& line : Lines(note)) text += Indent + line + "\n";
  }
  if (!outcome.Backup.empty()) text += std::string(Indent) + BackupKept + outcome.Backup + "\n";
  for (const TSettingsChange& change : outcome.Differences) text += Indent + change.Line() + "\n";
  return text;
}

std::string SummaryText(const std::vector<TRegisterOutcome>& outcomes, int exit) {
  const auto done = std::count_if(outcomes.begin(), outcomes.end(),
                                  [](const TRegisterOutcome& outcome) { return outcome.Exit <= ExitDifferences; });
  return "Итого: ККМ — " + std::to_string(outcomes.size()) + ", выполнено — " + std::to_string(done) +
         ", не выполнено — " + std::to_string(outcomes.size() - static_cast<std::size_t>(done)) + ". Код выхода " +
         std::to_string(exit) + ".\n";
}

std::string JsonReport(const TConsoleReport& report) {
  TJsonObject json;
  json.Text("command", report.Command)
      .Text("file", report.File)
      .Number("exit", report.Exit)
      .Text("message", report.Message);
  if (report.Command == "ports") {
    json.Raw("ports", JsonArray(report.Ports, JsonPort));
  } else {
    json.Raw("registers", JsonArray(report.Registers, JsonOutcome));
  }
  return json.Str() + "\n";
}
