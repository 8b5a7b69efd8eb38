#include "console/ConsoleOptions.h"

#include <array>
#include <utility>

namespace {

struct TCommandName {
  const char* Name;
  TConsoleCommand Command;
};

constexpr std::array<TCommandName, 7> Commands = {{
    {"ports", TConsoleCommand::Ports},
    {"find", TConsoleCommand::Find},
    {"read", TConsoleCommand::Read},
    {"write", TConsoleCommand::Write},
    {"compare", TConsoleCommand::Compare},
    {"diagnostics", TConsoleCommand::Diagnostics},
    {"sheet", TConsoleCommand::Sheet},
}};

const char* const UsageHint = "\nСправка: orbi7cli --help";

TParsedOptions Refused(std::string fault, bool json) { return {std::nullopt, std::move(fault) + UsageHint, json}; }

// An option's value: the next argument, or what follows "=" in "--port=COM7".
class TArguments {
 public:
  explicit TArguments(const std::vector<std::string>& args) : Args(args) {}

  bool More() const { return Next < Args.size(); }
  std::string Take() { return Args[Next++]; }
  std::optional<std::string> Value(const std::string& inline_) {
    if (!inline_.empty()) return inline_;
    if (!More()) return std::nullopt;
    return Take();
  }

 private:
  const std::vector<std::string>& Args;
  std::size_t Next = 0;
};

// What the command needs of the ports and files it was given; empty when all is well.
std::string Missing(const TConsoleOptions& o, const std::vector<std::string>& positional) {
  const bool needsPort = o.Command == TConsoleCommand::Read || o.Command == TConsoleCommand::Write ||
                         o.Command == TConsoleCommand::Compare;
  const bool takesFile = o.Command == TConsoleCommand::Write || o.Command == TConsoleCommand::Compare ||
                         o.Command == TConsoleCommand::Sheet;
  if (needsPort && o.Ports.empty()) return "Команде " + o.CommandName + " нужен порт: --port PORT";
  if (!needsPort && !o.Ports.empty()) return "Команда " + o.CommandName + " не принимает --port";
  if (o.Command == TConsoleCommand::Read && o.Ports.size() > 1) return "Команда read читает одну ККМ: один --port";
  for (const std::string& port : o.Ports) {
    if (port == AutoPort && o.Ports.size() > 1) return "--port auto ищет ККМ сам и не сочетается с другими --port";
  }
  if (o.Repeat && (o.Command != TConsoleCommand::Write || o.Ports.size() != 1 || o.Ports[0] == AutoPort))
    return "--repeat годится только для write с одним названным портом";
  if (o.AnyRegister && o.Command != TConsoleCommand::Write) return "--any-register годится только для write";
  const bool writesFile = o.Command == TConsoleCommand::Read || o.Command == TConsoleCommand::Diagnostics ||
                          o.Command == TConsoleCommand::Sheet;
  if (writesFile && o.Output.empty()) return "Команде " + o.CommandName + " нужен файл: -o FILE";
  if (!writesFile && !o.Output.empty()) return "Команда " + o.CommandName + " не принимает -o";
  if (takesFile && positional.size() != 1) return "Команде " + o.CommandName + " нужен один файл установок";
  if (!takesFile && !positional.empty()) return "Лишний параметр: " + positional.front();
  return {};
}

}  // namespace

TParsedOptions ParseConsoleOptions(const std::vector<std::string>& args) {
  TConsoleOptions options;
  std::vector<std::string> positional;
  bool json = false;
  bool help = false;
  bool version = false;
  for (const std::string& arg : args) json = json || arg == "--json";
  TArguments line(args);
  while (line.More()) {
    const std::string arg = line.Take();
    const std::size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const std::string inline_ = equals == std::string::npos ? "" : arg.substr(equals + 1);
    if (name == "--port" || name == "-o" || name == "--output" || name == "--trace") {
      const std::optional<std::string> value = line.Value(inline_);
      if (!value || value->empty()) return Refused("Параметру " + name + " нужно значение", json);
      if (name == "--port") {
        options.Ports.push_back(*value);
      } else if (name == "--trace") {
        options.Trace = *value;
      } else {
        options.Output = *value;
      }
    } else if (name == "--bytewise" || name == "--repeat" || name == "--any-register" || name == "--json" ||
               name == "--help" || name == "-h" || name == "--version") {
      if (!inline_.empty()) return Refused("Параметр " + name + " не принимает значения", json);
      options.Bytewise = options.Bytewise || name == "--bytewise";
      options.Repeat = options.Repeat || name == "--repeat";
      options.AnyRegister = options.AnyRegister || name == "--any-register";
      help = help || name == "--help" || name == "-h";
      version = version || name == "--version";
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Refused("Неизвестный параметр: " + arg, json);
    } else {
      positional.push_back(arg);
    }
  }
  options.Json = json;
  if (help || version) {
    options.Command = help ? TConsoleCommand::Help : TConsoleCommand::Version;
    return {options, {}, json};
  }
  if (positional.empty()) return Refused("Не задана команда", json);
  options.CommandName = positional.front();
  positional.erase(positional.begin());
  bool known = false;
  for (const TCommandName& command : Commands) {
    if (options.CommandName != command.Name) continue;
    options.Command = command.Command;
    known = true;
  }
  if (!known) return Refused("Неизвестная команда: " + options.CommandName, json);
  if (const std::string missing = Missing(options, positional); !missing.empty()) return Refused(missing, json);
  if (!positional.empty()) options.File = positional.front();
  return {options, {}, json};
}

std::string ConsoleUsage() {
  return "orbi7cli — установки ККМ ОРБИ-7 из командной строки.\n"
         "\n"
         "Команды:\n"
         "  orbi7cli ports                         порты компьютера, их описания и USB-идентификаторы\n"
         "  orbi7cli find                          найти ККМ на всех портах\n"
         "  orbi7cli read --port PORT -o FILE      прочитать установки ККМ в файл\n"
         "  orbi7cli write --port PORT [--port PORT...] FILE\n"
         "                                         записать файл установок в ККМ (без вопроса); файл,\n"
         "                                         прочитанный из ККМ с другим номером, не пишется (код 2)\n"
         "  orbi7cli write --port PORT --repeat FILE\n"
         "                                         записывать ККМ за ККМ на одном порту до Ctrl+C\n"
         "  orbi7cli compare --port PORT [--port PORT...] FILE\n"
         "                                         что изменила бы запись файла в ККМ\n"
         "  orbi7cli diagnostics -o FILE           файл диагностики для поддержки: версии, порты,\n"
         "                                         настройки, журнал работы за 7 дней\n"
         "  orbi7cli sheet FILE -o PDF             лист установок для владельца ККМ: налоги, скидки,\n"
         "                                         надбавки и товарные группы файла, в PDF\n"
         "\n"
         "Параметры:\n"
         "  --port PORT    COM7, /dev/ttyUSB0; auto — найти ККМ, как find\n"
         "  --trace FILE   записать протокол обмена по линии в FILE\n"
         "  --bytewise     побайтный обмен: чтение и запись по байту за обмен (медленнее)\n"
         "  --any-register write: записать и в ККМ с другим номером, чем в разделе [ККМ] файла\n"
         "  --json         один документ JSON на стандартный вывод\n"
         "  --help         эта справка\n"
         "  --version      версия программы\n"
         "\n"
         "Коды выхода (при нескольких ККМ — наибольший):\n"
         "  0  выполнено; отличий нет\n"
         "  1  сравнение нашло отличия\n"
         "  2  ошибка в командной строке; файл не читается, не пишется или не проходит проверку\n"
         "  3  ККМ не отвечает (до изменения ККМ)\n"
         "  4  порт не открывается\n"
         "  5  запись не подтверждена проверкой\n"
         "  6  запись прервана после изменения ККМ\n"
         "  7  ККМ содержит покупки\n"
         "  8  версия ПО ККМ не поддерживается\n";
}
