// The console program against simulated registers: its exit codes, its lines, its JSON,
// several ports at once and register after register on one port.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "console/ConsoleCommands.h"
#include "document/Cp1251.h"
#include "document/LocalTime.h"
#include "link/KkmFrames.h"
#include "register/RegisterRecords.h"
#include "settingsfile/FileAccess.h"
#include "settingsfile/Journal.h"
#include "settingsfile/SettingsFile.h"
#include "sim/RegisterContents.h"
#include "sim/SimulatedLine.h"
#include "support/RecordingMessages.h"
#include "support/TemporaryFolder.h"

#if __has_include(<QJsonDocument>)
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#define ORBI7_JSON_TESTS 1
#endif

namespace {

// A register on each named port, each on a virtual clock of its own, so that every
// port's thread keeps its own time; any other port is absent.
class TConsoleBench {
 public:
  TConsoleBench() {
    System.Ports.Open = [this](const std::string& device) -> TOpenedPort {
      const auto port = Registers.find(device);
      if (port == Registers.end()) return TOpenedPort::Failed(TPortFault::Absent);
      return TOpenedPort::Opened(std::make_unique<TSimulatedLine>(port->second->Clock, port->second->Kkm));
    };
    System.Ports.ButtonDevice = [](int n) { return "COM" + std::to_string(n); };
    System.Ports.List = [] { return std::vector<TSerialPortInfo>{}; };
    System.ClockFor = [this](const std::string& device) -> TClock& {
      const auto port = Registers.find(device);
      return port == Registers.end() ? Spare : port->second->Clock;
    };
    System.BackupFolder = Folder.Path / "backups";
    System.JournalFolder = Folder.Path / "journal";
    System.Out = [this](const std::string& text) { Take(Out, text); };
    System.Err = [this](const std::string& text) { Take(Err, text); };
    System.Interrupted = &Interrupted;
  }

  TSimulatedRegister& Add(const std::string& device, int number = 37, std::int32_t version = 104) {
    auto& port = Registers[device];
    port = std::make_unique<TPort>(number, version);
    return port->Kkm;
  }

  // The settings file of the document, in the test's folder.
  std::string File(const TKkmSettings& settings, const char* name = "shop.dat") {
    const std::string path = Utf8FromPath(Folder.Path / name);
    TRecordingMessages messages;
    EXPECT_TRUE(SaveSettingsFile(path, settings, messages));
    return path;
  }

  int Run(std::vector<std::string> args) { return RunConsole(args, System); }

  struct TPort {
    TPort(int number, std::int32_t version) : Kkm(number, version) {}
    TVirtualClock Clock{0};
    TSimulatedRegister Kkm;
  };
  std::map<std::string, std::unique_ptr<TPort>> Registers;
  TVirtualClock Spare{0};
  TTemporaryFolder Folder;
  TConsoleSystem System;
  std::atomic<bool> Interrupted{false};
  std::mutex Lock;
  std::string Out;
  std::string Err;
  std::function<void(const std::string&)> OnOut;

 private:
  void Take(std::string& stream, const std::string& text) {
    {
      const std::lock_guard<std::mutex> lock(Lock);
      stream += text;
    }
    if (&stream == &Out && OnOut) OnOut(text);
  }
};

// The echoes a register gave before the first frame of that command: where a fault
// must start to strike it.
int EchoesBefore(const TSimulatedRegister& kkm, std::uint8_t command) {
  int echoes = 0;
  const std::vector<TLineRecord>& traffic = kkm.Traffic();
  for (std::size_t i = 0; i + 2 < traffic.size(); ++i) {
    const TLineRecord& record = traffic[i];
    if (record.Direction != TDirection::ToRegister || record.Parity != TParity::Mark || record.Byte != kkm.Address())
      continue;
    std::size_t frame = i + 1;
    while (frame < traffic.size() && traffic[frame].Direction != TDirection::ToRegister) ++frame;
    if (frame + 1 < traffic.size() && traffic[frame].Parity == TParity::Space && traffic[frame + 1].Byte == command)
      return echoes;
    ++echoes;
  }
  return echoes;
}

// A fault that strikes every echo from the `later`th frame of the command on, placed by
// a write of the same file to a twin register.
void SpoilFrom(TSimulatedRegister& kkm, std::uint8_t command, int later, TFaultKind kind, const std::string& file) {
  TConsoleBench twin;
  twin.Add("COM1", kkm.Number(), kkm.FirmwareVersion());
  twin.Run({"write", "--port", "COM1", file});
  kkm.Inject({kind, TAnswerKind::Echo, -1, EchoesBefore(twin.Registers["COM1"]->Kkm, command) + later});
}

struct TExitRow {
  const char* Name;
  const char* Command;
  std::function<void(TConsoleBench&, TSimulatedRegister&, const std::string& file)> Spoil;
  int Exit;
  const char* FirstWords;  // of its message
};

TEST(ConsoleCommands, ExitCodes) {
  const std::vector<TExitRow> rows = {
      {"written", "write", [](auto&, auto&, auto&) {}, 0, "Запись OK!"},
      {"same", "compare", [](auto&, auto& kkm, auto&) { ProgramSettings(kkm, InUseSettings()); }, 0,
       "Установки в ККМ совпадают с документом."},
      {"differences", "compare", [](auto&, auto&, auto&) {}, 1, "Запись этого документа изменит в ККМ: 31 поле"},
      {"bad file", "write", [](auto&, auto&, auto& file) { std::filesystem::remove(PathFromUtf8(file)); }, 2,
       "Не удается прочитать файл"},
      {"refused rate", "write",
       [](auto& bench, auto&, auto&) {
         TKkmSettings wrong = InUseSettings();
         wrong.Discount(3) = "1x,00";
         bench.File(wrong, "shop.dat");
       },
       2, ""},
      {"silent", "write", [](auto&, auto& kkm, auto&) { kkm.SetSilent(true); }, 3, "Нет связи с ККМ"},
      {"absent port", "write", [](auto& bench, auto&, auto&) { bench.Registers.clear(); }, 4,
       "Выбранный COM-порт недоступен"},
      {"not confirmed", "write",
       [](auto&, auto& kkm, auto&) { kkm.KeepCell(DiscountAddress(FindFirmware(104)->Map, 1)); }, 5,
       "Запись не подтверждена"},
      {"broken write", "write",
       [](auto&, auto& kkm, auto& file) { SpoilFrom(kkm, KkmCommand::WriteMemory, 5, TFaultKind::Unplugged, file); }, 6,
       "Не удается установить интерфейс с ККМ"},
      {"busy block writes", "write",
       [](auto&, auto& kkm, auto& file) { SpoilFrom(kkm, KkmCommand::WriteBlock, 0, TFaultKind::Busy, file); }, 6,
       "Не удается установить интерфейс с ККМ"},
      {"purchases", "write", [](auto&, auto& kkm, auto&) { kkm.SetPurchaseCounter(3); }, 7, "ККМ содержит покупки."},
      {"unknown firmware", "write", [](auto&, auto& kkm, auto&) { kkm.SetFirmwareVersion(107); }, 8,
       "Версия ПО ККМ не поддерживается: 107"},
  };
  for (const TExitRow& row : rows) {
    SCOPED_TRACE(row.Name);
    TConsoleBench bench;
    TSimulatedRegister& kkm = bench.Add("COM1");
    const std::string file = bench.File(InUseSettings());
    row.Spoil(bench, kkm, file);
    EXPECT_EQ(bench.Run({row.Command, "--port", "COM1", file}), row.Exit);
    const bool failed = row.Exit > 1;
    const std::string& told = failed ? bench.Err : bench.Out;
    EXPECT_NE(told.find(row.FirstWords), std::string::npos) << told;
    EXPECT_EQ((failed ? bench.Out : bench.Err), "");
    // The window's reason follows the first line of a lost link's box.
    if (row.Exit == 3 || row.Exit == 6) {
      EXPECT_NE(told.find("\n  Причина: "), std::string::npos) << told;
      // The command's line trace is kept in memory, with the failure's reason.
      EXPECT_NE(ProgramTraces().Traces().back().find(" failure: "), std::string::npos);
    }
    // One line in the journal: the command, its message's first words, the reason.
    const std::vector<std::string> journal = TJournal(bench.System.JournalFolder, LocalTimeNow).LastLines(1);
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_NE(journal[0].find(row.Command[0] == 'w' ? " · запись · " : " · сравнение · "), std::string::npos);
    EXPECT_NE(journal[0].find(row.FirstWords), std::string::npos) << journal[0];
    EXPECT_EQ(journal[0].find(" · Причина: ") != std::string::npos, row.Exit == 3 || row.Exit == 6) << journal[0];
    // A write that went out kept what the register held.
    const bool wrote = row.Exit == 0 && std::string(row.Command) == "write";
    EXPECT_EQ(std::filesystem::exists(bench.System.BackupFolder), wrote || row.Exit == 5 || row.Exit == 6);
  }
}

TEST(ConsoleCommands, FourPortsAtOnceOneSilent) {
  TConsoleBench bench;
  for (const char* device : {"COM1", "COM2", "COM3", "COM4"}) bench.Add(device, device[3] - '0');
  bench.Registers["COM3"]->Kkm.SetSilent(true);
  const std::string file = bench.File(InUseSettings());
  EXPECT_EQ(bench.Run({"write", "--port", "COM1", "--port", "COM2", "--port", "COM3", "--port", "COM4", file}), 3);
  for (const char* device : {"COM1", "COM2", "COM4"}) {
    TSimulatedRegister& kkm = bench.Registers[device]->Kkm;
    EXPECT_NE(
        bench.Out.find(std::string(device) + " · ККМ № 0" + std::to_string(kkm.Number()) + " · ПО 1.0.4: Запись OK!"),
        std::string::npos)
        << bench.Out;
  }
  EXPECT_EQ(bench.Err.rfind("COM3: Нет связи с ККМ\n  Причина: ККМ не ответила на свой адрес", 0), 0u) << bench.Err;
  EXPECT_NE(bench.Out.find("Итого: ККМ — 4, выполнено — 3, не выполнено — 1. Код выхода 3."), std::string::npos);
  // Each write its own backup, though all four ran in the same second.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bench.System.BackupFolder),
                          std::filesystem::directory_iterator()),
            3);
}

// Register after register on one port: the next is written once it answers with another
// number, until Ctrl+C.
TEST(ConsoleCommands, RepeatWritesEachNewRegister) {
  TConsoleBench bench;
  bench.Add("COM1", 5);
  const std::string file = bench.File(InUseSettings());
  int written = 0;
  bench.OnOut = [&bench, &written](const std::string& text) {
    if (text.find("Запись OK!") == std::string::npos) return;
    if (++written == 2) {
      bench.Interrupted = true;
    } else {
      bench.Registers["COM1"]->Kkm = TSimulatedRegister(6, 105);  // the next one plugged in
    }
  };
  EXPECT_EQ(bench.Run({"write", "--port", "COM1", "--repeat", file}), 0);
  EXPECT_NE(bench.Out.find("COM1 · ККМ № 05 · ПО 1.0.4: Запись OK!"), std::string::npos) << bench.Out;
  EXPECT_NE(bench.Out.find("COM1 · ККМ № 06 · ПО 1.0.5: Запись OK!"), std::string::npos) << bench.Out;
  EXPECT_NE(bench.Out.find("Итого: ККМ — 2, выполнено — 2"), std::string::npos) << bench.Out;
  EXPECT_NE(bench.Err.find("Ожидание ККМ на порту COM1"), std::string::npos);
}

#ifdef ORBI7_JSON_TESTS
TEST(ConsoleCommands, JsonParsesBack) {
  TConsoleBench bench;
  TSimulatedRegister& kkm = bench.Add("COM1");
  ProgramSettings(kkm, FullSettings());
  const std::string file = bench.File(InUseSettings());
  struct TRun {
    std::vector<std::string> Args;
    int Exit;
  };
  for (const TRun& run : {TRun{{"compare", "--json", "--port", "COM1", file}, 1},
                          TRun{{"write", "--port", "COM1", "--port", "COM9", "--json", file}, 4}}) {
    bench.Out.clear();
    bench.Err.clear();
    EXPECT_EQ(bench.Run(run.Args), run.Exit);
    EXPECT_EQ(bench.Err, "");
    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(bench.Out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << bench.Out;
    EXPECT_EQ(json["command"].toString().toStdString(), run.Args.front());
    EXPECT_EQ(json["exit"].toInt(), run.Exit);
    const QJsonObject first = json["registers"].toArray().at(0).toObject();
    EXPECT_EQ(first["device"].toString(), "COM1");
    EXPECT_EQ(first["number"].toString(), "37");
    EXPECT_EQ(first["firmware"].toString(), "1.0.4");
    if (run.Exit == 1) {
      const QJsonObject change = first["differences"].toArray().at(0).toObject();
      EXPECT_EQ(change["field"].toString(), QStringLiteral("Налог 1: ставка"));
      EXPECT_EQ(change["file"].toString(), "20,00");
      EXPECT_FALSE(change["register"].toString().isEmpty());
      continue;
    }
    EXPECT_EQ(first["outcome"].toString(), "done");
    EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(first["backup"].toString().toStdString())));
    EXPECT_EQ(json["registers"].toArray().at(1).toObject()["outcome"].toString(), "port-unavailable");
  }
}
#endif

// A read's file names its register; another register takes it only with --any-register,
// and without it is left as it was.
TEST(ConsoleCommands, AFileOfAnotherRegisterIsWrittenOnlyWhenAsked) {
  TConsoleBench bench;
  ProgramSettings(bench.Add("COM1"), FullSettings());
  TSimulatedRegister& other = bench.Add("COM2", 5, 105);
  const std::string file = Utf8FromPath(bench.Folder.Path / "read.dat");
  const std::string started = TimeStampText(LocalTimeNow()).substr(0, 16);
  ASSERT_EQ(bench.Run({"read", "--port", "COM1", "-o", file}), 0);
  const std::string ended = TimeStampText(LocalTimeNow()).substr(0, 16);
  const std::string text = Cp1251ToUtf8(ReadFileBytes(PathFromUtf8(file)).value_or(""));
  const std::string date = text.substr(text.find("Дата=") + std::string("Дата=").size(), 16);
  EXPECT_TRUE(text.ends_with("\r\n[ККМ]\r\nНомер=37\r\nПО=1.0.4\r\nДата=" + date + "\r\nПорт=COM1\r\n")) << text;
  EXPECT_TRUE(date == started || date == ended) << date;
  EXPECT_EQ(bench.Run({"write", "--port", "COM1", file}), 0);
  const auto before = other.Memory();
  EXPECT_EQ(bench.Run({"write", "--port", "COM2", file}), 2);
  EXPECT_NE(bench.Err.find("Установки прочитаны из ККМ № 37, а подключена ККМ № 05. Установки не записаны"),
            std::string::npos)
      << bench.Err;
  EXPECT_EQ(other.Memory(), before);
  EXPECT_EQ(bench.Run({"write", "--port", "COM2", "--any-register", file}), 0);
  EXPECT_NE(other.Memory(), before);
}

// The diagnostics after a failed read: the version, the system, the listed ports, the
// window's kept settings, the read's journal line and its probe's trace; a folder that
// is not there takes no file.
TEST(ConsoleCommands, DiagnosticsAfterAFailedRead) {
  TConsoleBench bench;
  bench.Add("COM1").SetSilent(true);
  bench.System.Ports.List = [] {
    return std::vector<TSerialPortInfo>{{"COM1", "USB-SERIAL CH340", "1A86:7523", "", "", false}};
  };
  bench.System.SystemVersion = [] { return "Windows 10.0.19045"; };
  bench.System.WindowSettings = [] { return TKeptSettings{{"Port/LastDevice", "COM7"}}; };
  EXPECT_EQ(bench.Run({"read", "--port", "COM1", "-o", Utf8FromPath(bench.Folder.Path / "read.dat")}), 3);
  const std::string file = Utf8FromPath(bench.Folder.Path / "diagnostics.txt");
  EXPECT_EQ(bench.Run({"diagnostics", "-o", file}), 0);
  const std::string text = ReadFileBytes(PathFromUtf8(file)).value_or("");
  const std::string line = TJournal(bench.System.JournalFolder, LocalTimeNow).LastLines(1).at(0);
  EXPECT_NE(line.find(" · чтение · COM1 — USB-SERIAL CH340 (USB 1A86:7523) · Нет связи с ККМ"), std::string::npos);
  for (const std::string& part :
       {std::string("Система: Windows 10.0.19045"), std::string("COM1 — USB-SERIAL CH340 (USB 1A86:7523)"),
        std::string("Port/LastDevice=COM7"), line})
    EXPECT_NE(text.find("\n" + part + "\n"), std::string::npos) << part << "\n" << text;
  EXPECT_TRUE(text.starts_with("orbi7prog 1.")) << text;
  EXPECT_NE(text.find(" connect COM1\n"), std::string::npos) << text;
  EXPECT_EQ(bench.Run({"diagnostics", "-o", Utf8FromPath(bench.Folder.Path / "none" / "d.txt")}), 2);
}

// The window's settings as its toolkit writes them: groups, quotes, escapes, UTF-8.
TEST(ConsoleCommands, WindowSettingsFromTheIniFile) {
  const std::string text =
      "[General]\nTop=\"a, b\"\n\n[Files]\nLastFolder=\"/home/т/Документы \\\"x\\\";y=z\\\\w\\x4e\"\r\n"
      "[Port]\nLastDevice=/dev/ttyUSB0\n[Window]\nGeometry=@ByteArray(\\x1)\n";
  const TKeptSettings expected = {
      {"Top", "a, b"}, {"Files/LastFolder", "/home/т/Документы \"x\";y=z\\wN"}, {"Port/LastDevice", "/dev/ttyUSB0"}};
  EXPECT_EQ(IniSettings(text, {"Port/LastDevice", "Files/LastFolder", "Top", "Files/Missing"}), expected);
}

// The customer's sheet of a settings file: written whole, or a fault of the file.
TEST(ConsoleCommands, SheetOfAFile) {
  struct TRow {
    const char* Name;
    std::function<std::string(TConsoleBench&)> File;
    const char* Pdf;
    int Exit;
    const char* Told;
  };
  const std::vector<TRow> rows = {
      {"written", [](auto& bench) { return bench.File(InUseSettings()); }, "лист.pdf", 0,
       "Лист установок записан в файл "},
      {"no file", [](auto& bench) { return Utf8FromPath(bench.Folder.Path / "нет.dat"); }, "лист.pdf", 2,
       "Не удается прочитать файл"},
      {"no folder for the PDF", [](auto& bench) { return bench.File(InUseSettings()); }, "нет/лист.pdf", 2,
       "Не удалось записать лист установок в файл "},
      // Its fonts go in again under the next application the command makes for itself.
      {"written again", [](auto& bench) { return bench.File(InUseSettings()); }, "лист.pdf", 0,
       "Лист установок записан в файл "},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    TConsoleBench bench;
    const std::string pdf = Utf8FromPath(bench.Folder.Path / PathFromUtf8(row.Pdf));
    EXPECT_EQ(bench.Run({"sheet", row.File(bench), "-o", pdf}), row.Exit);
    EXPECT_NE((row.Exit == 0 ? bench.Out : bench.Err).find(row.Told), std::string::npos) << bench.Out << bench.Err;
    EXPECT_EQ((row.Exit == 0 ? bench.Err : bench.Out), "");
    const std::string written = ReadFileBytes(PathFromUtf8(pdf)).value_or("");
    EXPECT_EQ(written.starts_with("%PDF-"), row.Exit == 0);
    EXPECT_EQ(written.find("/FontFile2") != std::string::npos, row.Exit == 0);
  }
}

TEST(ConsoleCommands, UsageFaults) {
  const std::vector<std::vector<std::string>> lines = {
      {},
      {"flash"},
      {"write", "shop.dat"},
      {"read", "--port", "COM1"},
      {"write", "--port", "auto", "--port", "COM1", "shop.dat"},
      {"write", "--port", "COM1", "--port", "COM2", "--repeat", "shop.dat"},
      {"compare", "--port", "COM1", "--frobnicate", "shop.dat"},
      {"ports", "--port", "COM1"},
      {"diagnostics"},
      {"sheet", "shop.dat"},
      {"sheet", "-o", "shop.pdf"},
      {"sheet", "--port", "COM1", "shop.dat", "-o", "shop.pdf"},
  };
  for (const std::vector<std::string>& line : lines) {
    TConsoleBench bench;
    EXPECT_EQ(bench.Run(line), 2);
    EXPECT_EQ(bench.Out, "");
    EXPECT_NE(bench.Err.find("orbi7cli --help"), std::string::npos);
  }
}

}  // namespace
