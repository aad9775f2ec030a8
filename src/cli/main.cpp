// skyrelay-update-cli: the update from a terminal, on the same core as the
// desktop program.
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "core/process.h"
#include "core/settings_file.h"
#include "link/link.h"
#include "link/serial_setup.h"
#include "package/description.h"
#include "package/package_check.h"
#include "device/station.h"
#include "qt/qt_host.h"
#include "qt/serial_ports.h"
#include "sim/sim.h"
#include "sim/sim_options.h"
#include "sim/virtual_host.h"
#include "run/commands.h"
#include "run/update_run.h"

namespace skyrelay::cli {
namespace {

constexpr const char* kUsage =
    "Aufruf: skyrelay-update-cli [Optionen] update [DATEI.TUP]\n"
    "        skyrelay-update-cli [Optionen] check DATEI.TUP\n"
    "        skyrelay-update-cli [Optionen] ping [--no-wait]\n"
    "        skyrelay-update-cli ports\n"
    "\n"
    "Befehle:\n"
    "  update [DATEI.TUP]  Update wie mit der Schaltfläche \"Update\": Port öffnen, Update,\n"
    "                      Port schließen. Ohne Datei gilt die in den Einstellungen gemerkte.\n"
    "  check DATEI.TUP     Prüft das Update-Paket (Beschreibung, Firmware-, Sprach-, Weichen-\n"
    "                      und Zeichendateien), ohne einen Port zu benutzen.\n"
    "  ping [--no-wait]    Port-Test \"in\" (wartet auf die Antwort) oder \"out\" (--no-wait).\n"
    "  ports               Listet die seriellen Ports mit Beschreibung, Hersteller und\n"
    "                      USB-Kennung, um das LocoNet-Interface zu erkennen.\n"
    "\n"
    "Optionen:\n"
    "  --port DEV          Serieller Port: /dev/ttyUSB0, ttyACM0 oder eine Nummer (1 = "
    "/dev/ttyS0)\n"
    "  --interface 1|2|3   1 Zentrale (seriell), 2 Interface 71530, 3 schnelle Interfaces\n"
    "  --settings FILE     Einstellungsdatei (Vorgabe: neben dem Programm oder ~/.config)\n"
    "  --save              --port/--interface (und die Datei) in die Einstellungen schreiben\n"
    "  --yes, --no         jede Frage mit Ja bzw. Nein beantworten\n"
    "  --trace FILE        jede LocoNet-Nachricht protokollieren\n"
    "  --simulate          gegen das eingebaute simulierte LocoNet (virtuelle Zeit)\n"
    "  --sim-OPTION WERT   Einstellungen der Simulation (siehe unten)\n"
    "  --help, --version\n";

std::atomic<bool> gCancel{false};

// Ctrl-C, Ctrl-\ (SIGQUIT), SIGTERM and a hang-up (the terminal or the ssh
// connection closes) end the run at its next wait or question; the run then
// releases the command station (a few seconds at most) and the program ends.
// Further signals do not cut the release short.
void OnSignal(int) {
  const int savedErrno = errno;  // the interrupted code may be about to look at it
  if (gCancel.exchange(true)) {
    static const char kNote[] = "\nBitte warten: die Zentrale wird freigegeben ...\n";
    // Whoever showed the output may be gone: the note is then lost, nothing else.
    const ssize_t ignored = ::write(2, kNote, sizeof kNote - 1);
    (void)ignored;
  }
  errno = savedErrno;
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a question waiting for input sees the signal
  sigset_t handled;
  sigemptyset(&handled);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    // A hang-up that was ignored when the program started (nohup) stays ignored:
    // whoever started it so wants the run to go on without the terminal.
    struct sigaction before {};
    if (signal == SIGHUP && sigaction(SIGHUP, nullptr, &before) == 0 &&
        before.sa_handler == SIG_IGN) {
      continue;
    }
    sigaction(signal, &action, nullptr);
    sigaddset(&handled, signal);
  }
  // Blocked by whoever started the program, they would never arrive.
  sigprocmask(SIG_UNBLOCK, &handled, nullptr);
  // A reader that went away (| head, a tee killed with the program) makes a
  // write fail with EPIPE instead of ending the program before the release.
  std::signal(SIGPIPE, SIG_IGN);
}

// Ends a run at a yield after Ctrl-C, where that is safe.
void StopIfCancelled(const Context* ctx) {
  if (gCancel.load() && ctx->MayAbandonRun()) throw RunCancelled{};
}

struct Options {
  std::string command;
  std::vector<std::string> arguments;
  std::optional<std::string> port;
  std::optional<int> interfaceKind;
  std::string settingsPath;
  bool save = false;
  std::optional<bool> answer;
  std::string tracePath;
  bool simulate = false;
  bool noWait = false;
  std::vector<std::pair<std::string, std::string>> simOptions;
};

// 0 parsed, 2 usage error; `exit` set for --help and --version.
int Parse(int argc, char** argv, Options& o, bool& exitNow) {
  exitNow = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "skyrelay-update-cli: %s braucht einen Wert\n", a.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      std::printf("%s\nSimulation:\n%s", kUsage, sim::SimOptionsHelp("--sim-").c_str());
      exitNow = true;
      return 0;
    } else if (a == "--version") {
      std::printf("skyrelay-update-cli %s (%s)\n", SKYRELAY_VERSION,
                  std::string(CurrentBrand().BrandCode).c_str());
      exitNow = true;
      return 0;
    } else if (a == "--port") {
      if (!value(v)) return 2;
      o.port = v;
    } else if (a == "--interface") {
      if (!value(v)) return 2;
      if (v != "1" && v != "2" && v != "3") {
        std::fprintf(stderr, "skyrelay-update-cli: --interface nimmt 1, 2 oder 3\n");
        return 2;
      }
      o.interfaceKind = std::stoi(v);
    } else if (a == "--settings") {
      if (!value(o.settingsPath)) return 2;
    } else if (a == "--trace") {
      if (!value(o.tracePath)) return 2;
    } else if (a == "--save") {
      o.save = true;
    } else if (a == "--yes") {
      o.answer = true;
    } else if (a == "--no") {
      o.answer = false;
    } else if (a == "--simulate") {
      o.simulate = true;
    } else if (a == "--no-wait") {
      o.noWait = true;
    } else if (a.rfind("--sim-", 0) == 0) {
      const std::string name = a.substr(6);
      if (sim::SimOptionTakesValue(name)) {
        if (!value(v)) return 2;
      } else {
        v.clear();
      }
      o.simOptions.emplace_back(name, v);
    } else if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "skyrelay-update-cli: unbekannte Option %s\n%s", a.c_str(), kUsage);
      return 2;
    } else if (o.command.empty()) {
      o.command = a;
    } else {
      o.arguments.push_back(a);
    }
  }
  if (o.command != "update" && o.command != "check" && o.command != "ping" &&
      o.command != "ports") {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if ((o.command == "check" && o.arguments.size() != 1) ||
      (o.command == "update" && o.arguments.size() > 1) ||
      (o.command == "ping" && !o.arguments.empty()) || (o.noWait && o.command != "ping") ||
      (o.command == "ports" && !o.arguments.empty())) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  return 0;
}

std::string ProgramFolder(const char* argv0) {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) self = std::filesystem::absolute(argv0, error);
  return self.parent_path().string();
}

const char* OpcodeName(uint8_t op) {
  switch (op) {
    case 0x81:
      return "BUSY";
    case 0x82:
      return "GLOBAL_OFF";
    case 0x83:
      return "GLOBAL_ON";
    case 0xA0:
      return "LOCO_SPEED";
    case 0xA1:
      return "LOCO_DIRF";
    case 0xB0:
      return "SWITCH_REQUEST";
    case 0xB4:
      return "LONG_ACK";
    case 0xBC:
      return "SWITCH_STATE";
    case 0xBF:
      return "LOCO_ADDRESS";
    case 0xE5:
      return "PEER_TRANSFER";
    case 0xED:
      return "LONG_MESSAGE";
    default:
      return "OTHER";
  }
}

// The world of one program run: the real port or the simulation.
struct Session {
  Options options;
  Console console;
  std::unique_ptr<QCoreApplication> app;
  std::unique_ptr<sim::SimLoNet> sim;
  std::unique_ptr<Host> host;
  std::unique_ptr<Context> ctx;
  std::FILE* trace = nullptr;

  Session(const Options& o)
      : options(o),
        console(stderr, stdin, ::isatty(2) != 0, ::isatty(0) != 0, o.answer, &gCancel) {}
  ~Session() {
    if (trace) std::fclose(trace);
  }
};

// The host of the real programs, with the console as status line and message boxes.
class ConsoleQtHost : public QtHostBase {
 public:
  explicit ConsoleQtHost(Console& console) : console_(console) {}
  void SetStatus(const std::string& text) override { console_.Status(text); }
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override {
    return console_.Message(text, title, icon, buttons);
  }
  void SetVersionLabels(const std::string& funk, const std::string& zentrale) override {
    if (!funk.empty()) console_.Status("Handregler - Version: " + funk);
    if (!zentrale.empty() && CurrentBrand().digitalSetLabelsVisible) {
      console_.Status("Digital Set - Version: " + zentrale);
    }
  }

 private:
  Console& console_;
};

int BuildWorld(Session& s, int argc, char** argv) {
  if (s.options.simulate) {
    s.sim = std::make_unique<sim::SimLoNet>();
    for (const auto& [name, value] : s.options.simOptions) {
      std::string error;
      if (!sim::ApplySimOption(*s.sim, name, value, error)) {
        std::fprintf(stderr, "skyrelay-update-cli: --sim-%s: %s\n", name.c_str(), error.c_str());
        return 2;
      }
    }
    auto host = std::make_unique<VirtualHost>(s.sim.get());
    Console* console = &s.console;
    host->onStatus = [console](const std::string& text) { console->Status(text); };
    // However long it runs, the simulation keeps no history.
    host->statusLimit = 0;
    host->messageLimit = 0;
    host->answerQuestion = [console](const RecordedMessage& m) {
      return console->Message(m.text, m.title, m.icon, m.buttons);
    };
    host->onMessage = [console](const RecordedMessage& m) {
      if (m.buttons == Buttons::Ok) console->Message(m.text, m.title, m.icon, m.buttons);
    };
    VirtualHost* raw = host.get();
    s.host = std::move(host);
    s.ctx = std::make_unique<Context>(*s.host);
    raw->Attach(s.ctx.get());
    const Context* ctx = s.ctx.get();
    raw->afterYield = [ctx] { StopIfCancelled(ctx); };
  } else {
    s.app = std::make_unique<QCoreApplication>(argc, argv);
    auto host = std::make_unique<ConsoleQtHost>(s.console);
    ConsoleQtHost* raw = host.get();
    s.host = std::move(host);
    s.ctx = std::make_unique<Context>(*s.host);
    raw->Attach(s.ctx.get());
    const Context* ctx = s.ctx.get();
    raw->afterYield = [ctx] { StopIfCancelled(ctx); };
  }
  return 0;
}

// One line of the trace: time, direction, bytes, opcode name.
std::string TraceLine(double t, bool sent, std::span<const uint8_t> bytes) {
  char part[32];
  std::snprintf(part, sizeof part, "%10.3f %s", t, sent ? "->" : "<-");
  std::string line = part;
  for (uint8_t b : bytes) {
    std::snprintf(part, sizeof part, " %02X", b);
    line += part;
  }
  line += "  ";
  if (!bytes.empty()) line += OpcodeName(bytes[0]);
  if (!sent && !ChecksumValid(bytes)) line += "  Prüfsumme falsch";
  return line + "\n";
}

// Opens the --trace file once the settings are read and the package is loaded,
// before anything is sent. Opening empties the file: it must be none of
// `readFiles` (the package's files) and not the settings file.
int OpenTrace(Session& s, const std::vector<std::string>& readFiles) {
  const std::string& path = s.options.tracePath;
  if (path.empty()) return 0;
  // A path that does not exist yet is no file of anybody's.
  struct stat traceFile {};
  if (::stat(path.c_str(), &traceFile) == 0) {
    auto same = [&](const std::string& other) {
      struct stat st {};
      return !other.empty() && ::stat(other.c_str(), &st) == 0 && st.st_dev == traceFile.st_dev &&
             st.st_ino == traceFile.st_ino;
    };
    for (const std::string& file : readFiles) {
      if (!same(file)) continue;
      std::fprintf(stderr,
                   "skyrelay-update-cli: --trace %s würde die Datei %s des Update-Pakets "
                   "überschreiben; bitte eine andere Datei angeben.\n",
                   path.c_str(), file.c_str());
      return 2;
    }
    if (same(s.options.settingsPath)) {
      std::fprintf(stderr,
                   "skyrelay-update-cli: --trace %s würde die Einstellungsdatei %s "
                   "überschreiben; bitte eine andere Datei angeben.\n",
                   path.c_str(), s.options.settingsPath.c_str());
      return 2;
    }
  }
  s.trace = std::fopen(path.c_str(), "w");
  if (!s.trace) {
    std::fprintf(stderr, "skyrelay-update-cli: %s kann nicht geschrieben werden\n", path.c_str());
    return 2;
  }
  // Line by line, each written at once: a run that is killed leaves its trace
  // whole up to the last message. A write that fails (a reader gone) changes
  // nothing for the run.
  std::FILE* trace = s.trace;
  s.ctx->stats.observer = [trace](double t, bool sent, std::span<const uint8_t> bytes) {
    const std::string line = TraceLine(t, sent, bytes);
    std::fwrite(line.data(), 1, line.size(), trace);
    std::fflush(trace);
  };
  return 0;
}

// The settings: file, then the command line; --save writes them back.
int LoadSettings(Session& s, const char* argv0) {
  Options& o = s.options;
  if (o.settingsPath.empty()) o.settingsPath = DefaultSettingsPath(ProgramFolder(argv0));
  Settings& settings = s.ctx->settings;
  ReadSettingsFile(o.settingsPath, settings);
  if (o.port) settings.ComPortNumber = *o.port;
  if (o.interfaceKind) settings.InterfaceKind = *o.interfaceKind;
  if (o.command == "update" && !o.arguments.empty()) {
    std::error_code error;
    settings.UpdateFilePath = std::filesystem::absolute(o.arguments[0], error).string();
  }
  std::string problem;
  if (o.save && !WriteSettingsFile(o.settingsPath, settings, &problem)) {
    std::fprintf(stderr, "skyrelay-update-cli: %s\n", problem.c_str());
    return 1;
  }
  if (s.options.simulate) {
    // The simulation needs no port; the fast interface is the plain one.
    settings.InterfaceKind = 3;
    if (settings.ComPortNumber.empty()) settings.ComPortNumber = "sim";
  }
  return 0;
}

// The last lines of an update: the verdict, the time taken and the pages.
void PrintVerdict(Session& s) {
  const Context& ctx = *s.ctx;
  const UpdateState& u = ctx.upd;
  s.console.Finish();
  if (u.runEnded == UpdateState::RunEnd::Cancelled) {
    std::fprintf(stderr, "Abgebrochen.\n");
    if (u.releaseResult == 0)
      std::fprintf(stderr, "Die Zentrale ist aus dem Update-Mode genommen.\n");
  }
  if (u.releaseResult > 0) {
    std::fprintf(stderr, "Die Zentrale hat die Freigabe nicht bestätigt!\n");
  }
  std::fprintf(stderr, "%s\n", RunVerdict(ctx, s.console.firstError()).c_str());
  std::fprintf(stderr, "Dauer: %.1f s\n", u.runEndedAt - u.runStartedAt);
  if (u.pagesWritten > 0) {
    std::fprintf(stderr, "Firmware: %d Seiten geschrieben, %d geprüft, %d wiederholt\n",
                 u.pagesWritten, u.pagesVerified, u.pagesRepeated);
  }
}

int RunUpdateCommand(Session& s) {
  Context& ctx = *s.ctx;
  if (ctx.settings.UpdateFilePath.empty()) {
    std::fprintf(stderr, "skyrelay-update-cli: keine Update-Datei angegeben und keine gemerkt\n%s",
                 kUsage);
    return 2;
  }
  // Nobody could answer a question: the run would say No for the user.
  if (!s.options.answer && ::isatty(0) == 0) {
    std::fprintf(stderr,
                 "skyrelay-update-cli: ohne Terminal kann niemand die Fragen des Updates "
                 "beantworten.\nBitte --yes (jede Frage mit Ja) oder --no (mit Nein) angeben.\n");
    return 2;
  }
  std::error_code error;
  if (!std::filesystem::exists(ctx.settings.UpdateFilePath, error)) {
    s.console.Message(ctx.settings.UpdateFilePath + "\rDie Update-Datei wurde nicht gefunden!",
                      "Fehler!", Icon::Stop, Buttons::Ok);
    return 1;
  }
  // A package that does not load cleanly is not sent to a handheld.
  const int messagesBefore = s.console.messagesShown();
  LoadUpdateDescription(ctx, ctx.settings.UpdateFilePath);
  if (s.console.messagesShown() != messagesBefore) {
    std::fprintf(stderr, "Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen.\n");
    return 1;
  }
  if (const int rc = OpenTrace(s, PackageFilePaths(ctx.desc, ctx.settings.UpdateFilePath));
      rc != 0) {
    return rc;
  }
  const bool started =
      UpdateCommand(ctx, "Bitte --interface 1 oder 3 und --port angeben (mit --save merken).");
  s.console.Finish();
  if (!started) {
    if (ctx.upd.runEnded == UpdateState::RunEnd::Cancelled) std::fprintf(stderr, "Abgebrochen.\n");
    return 1;
  }
  if (s.sim) {
    std::fprintf(stderr,
                 "Simulation: %.1f s LocoNet-Zeit, %ld Nachrichten gesendet, %ld empfangen, "
                 "Busbelegung %.1f s\n",
                 ctx.host.Now(), ctx.stats.messagesSent, ctx.stats.messagesReceived,
                 s.sim->busTime);
  }
  PrintVerdict(s);
  return LastRunSucceeded(ctx) ? 0 : 1;
}

int RunPingCommand(Session& s) {
  if (const int rc = OpenTrace(s, {}); rc != 0) return rc;
  try {
    const int result = PortTestCommand(*s.ctx, s.options.noWait);
    s.console.Finish();
    // The test runs even when the port did not open; then it has failed all the same.
    const bool opened = s.ctx->host.Port().IsOpen();
    s.ctx->host.Port().Close();
    return result == 0 && opened ? 0 : 1;
  } catch (const RunCancelled&) {
    // The port test puts nothing into update mode; there is nothing to release.
    s.console.Finish();
    std::fprintf(stderr, "Abgebrochen.\n");
    s.ctx->host.Port().Close();
    return 1;
  }
}

int RunCheckCommand(Session& s) {
  const std::vector<PackageProblem> problems = CheckPackage(s.options.arguments[0]);
  for (const PackageProblem& p : problems) {
    std::string where = p.file;
    if (!where.empty() && p.line > 0) where += ":" + std::to_string(p.line);
    if (!where.empty()) where += ": ";
    std::printf("%s%s%s\n", where.c_str(), p.warning ? "Warnung: " : "", p.text.c_str());
  }
  if (problems.empty()) std::printf("%s: in Ordnung\n", s.options.arguments[0].c_str());
  return problems.empty() ? 0 : 1;
}

// The serial ports found, one a line: the device, then what is known about it.
int RunPortsCommand() {
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  if (ports.empty()) {
    std::printf("Keine seriellen Ports gefunden.\n");
    return 0;
  }
  size_t width = 0;
  for (const SerialPortEntry& port : ports) width = std::max(width, port.location.size());
  for (const SerialPortEntry& port : ports) {
    const std::string details = DescribeSerialPort(port);
    std::printf("%-*s  %s\n", static_cast<int>(width), port.location.c_str(),
                details.empty() ? "(keine Angaben)" : details.c_str());
  }
  return 0;
}

}  // namespace

int Main(int argc, char** argv) {
  Options options;
  bool exitNow = false;
  if (const int rc = Parse(argc, argv, options, exitNow); rc != 0 || exitNow) return rc;

  InstallSignalHandlers();

  if (options.command == "ports") return RunPortsCommand();
  Session s(options);
  try {
    // Checking reads files only: no world, no port.
    if (options.command == "check") return RunCheckCommand(s);
    if (const int rc = BuildWorld(s, argc, argv); rc != 0) return rc;
    if (const int rc = LoadSettings(s, argv[0]); rc != 0) return rc;
    if (options.command == "update") return RunUpdateCommand(s);
    return RunPingCommand(s);
  } catch (const std::exception& e) {
    s.console.Finish();
    std::fprintf(stderr, "skyrelay-update-cli: unerwarteter Fehler: %s\n", e.what());
  } catch (const RunCancelled&) {
    s.console.Finish();
    std::fprintf(stderr, "Abgebrochen.\n");
  }
  if (s.ctx) s.ctx->host.Port().Close();
  return 1;
}

}  // namespace skyrelay::cli

int main(int argc, char** argv) {
  // Before anything is opened: a port or file must not become standard error.
  skyrelay::MakeStandardDescriptorsValid();
  return skyrelay::cli::Main(argc, argv);
}
