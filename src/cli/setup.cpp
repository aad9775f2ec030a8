#include "cli/setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <span>

#include "cli/json_output.h"
#include "core/settings_file.h"
#include "core/translate.h"
#include "link/link.h"
#include "package/display_code.h"
#include "qt/qt_host.h"
#include "sim/sim.h"
#include "sim/sim_options.h"
#include "sim/virtual_host.h"

namespace skyrelay::cli {

namespace {

std::atomic<bool> gCancel{false};
// The note of a second signal, in the chosen language: made before the
// handler may need it, which can only write it.
char gWaitNote[256] = "\nBitte warten: die Zentrale wird freigegeben ...\n";
size_t gWaitNoteLength = std::strlen(gWaitNote);
// The first of the signals that ended the run, for the exit status.
std::atomic<int> gSignal{0};

// Ctrl-C, Ctrl-\ (SIGQUIT), SIGTERM and a hang-up (the terminal or the ssh
// connection closes) end the run at its next wait or question; the run then
// releases the command station (a few seconds at most) and the program ends.
// Further signals do not cut the release short.
void OnSignal(int signal) {
  const int savedErrno = errno;  // the interrupted code may be about to look at it
  int none = 0;
  gSignal.compare_exchange_strong(none, signal);
  if (gCancel.exchange(true)) {
    // Whoever showed the output may be gone: the note is then lost, nothing else.
    const ssize_t ignored = ::write(2, gWaitNote, gWaitNoteLength);
    (void)ignored;
  }
  errno = savedErrno;
}

// Ends a run at a yield after Ctrl-C, where that is safe.
void StopIfCancelled(const Context* ctx) {
  if (gCancel.load() && ctx->link.MayAbandonRun()) throw RunCancelled{};
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

// The host of the real programs, with the console as status line and message boxes.
class ConsoleQtHost : public QtHostBase {
 public:
  explicit ConsoleQtHost(Console& console) : console_(console) {}
  void SetStatus(const std::string& text) override { console_.Status(text); }
  void ShowStatus(const StatusLine& status) override { console_.Status(status); }
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override {
    return console_.Message(text, title, icon, buttons);
  }
  Answer Show(const Notice& notice) override { return console_.Message(notice); }
  void ShowProgress(const RunProgress& progress) override { console_.Progress(progress); }
  void SetVersionLabels(const std::string& radio, const std::string& digitalSet) override {
    if (!radio.empty()) console_.Status(Fill(Tr("Cli", "Handregler - Version: %1"), {radio}));
    if (!digitalSet.empty() && CurrentBrand().digitalSetLabelsVisible) {
      console_.Status(Fill(Tr("Cli", "Digital Set - Version: %1"), {digitalSet}));
    }
  }

 private:
  Console& console_;
};

// The simulation's host with the console: notices (and whether a question is
// risky) go to it as the core raised them.
class ConsoleVirtualHost : public VirtualHost {
 public:
  ConsoleVirtualHost(sim::SimLoNet* sim, Console& console) : VirtualHost(sim), console_(console) {}
  Answer Show(const Notice& notice) override { return console_.Message(notice); }
  void ShowProgress(const RunProgress& progress) override { console_.Progress(progress); }

 private:
  Console& console_;
};

// One line of the trace: time, direction, bytes, opcode name; a sent message that
// repeats an unanswered one says so.
std::string TraceLine(double t, bool sent, std::span<const uint8_t> bytes, bool repeat) {
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
  if (sent && repeat) line += "  wiederholt";
  return line + "\n";
}

}  // namespace

void InstallSignalHandlers() {
  const std::string note = Tr("Cli", "\nBitte warten: die Zentrale wird freigegeben ...\n");
  gWaitNoteLength = std::min(note.size(), sizeof gWaitNote - 1);
  std::memcpy(gWaitNote, note.data(), gWaitNoteLength);
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

int EndingSignal() {
  return gSignal.load();
}

Session::Session(const Options& o)
    : options(o), console(stderr, stdin, ::isatty(2) != 0, ::isatty(0) != 0, o.answers, &gCancel) {}

Session::~Session() {
  if (trace) std::fclose(trace);
}

namespace {

// Makes `host` the session's host and builds the world on it: the host drives
// the world's link and stops a run at its next yield once a signal came.
template <class HostType>
void Adopt(Session& s, std::unique_ptr<HostType> host) {
  HostType* raw = host.get();
  s.host = std::move(host);
  s.ctx = std::make_unique<Context>(*s.host);
  raw->Attach(&s.ctx->link);
  const Context* ctx = s.ctx.get();
  raw->afterYield = [ctx] { StopIfCancelled(ctx); };
}

}  // namespace

int BuildWorld(Session& s, int argc, char** argv) {
  if (s.options.simulate) {
    s.sim = std::make_unique<sim::SimLoNet>();
    for (const auto& [name, value] : s.options.simOptions) {
      std::string error;
      if (!sim::ApplySimOption(*s.sim, name, value, error)) {
        return WrongUsage("--sim-" + name + ": " + error);
      }
    }
    auto host = std::make_unique<ConsoleVirtualHost>(s.sim.get(), s.console);
    Console* console = &s.console;
    host->onStatusLine = [console](const StatusLine& status) { console->Status(status); };
    // However long it runs, the simulation keeps no history.
    host->statusLimit = 0;
    host->messageLimit = 0;
    host->answerQuestion = [console](const RecordedMessage& m) {
      return console->Show(ShownMessage{m.text, m.title, m.icon, m.buttons}, m.kind);
    };
    host->onMessage = [console](const RecordedMessage& m) {
      if (m.buttons == Buttons::Ok)
        console->Show(ShownMessage{m.text, m.title, m.icon, m.buttons}, m.kind);
    };
    Adopt(s, std::move(host));
  } else {
    s.app = std::make_unique<QCoreApplication>(argc, argv);
    Adopt(s, std::make_unique<ConsoleQtHost>(s.console));
  }
  return 0;
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
                   Tr("Cli",
                      "skyrelay-update-cli: --trace %s würde die Datei %s des Update-Pakets "
                      "überschreiben; bitte eine andere Datei angeben.\n")
                       .c_str(),
                   path.c_str(), file.c_str());
      if (s.json) s.json->Fail("trace-refused", "--trace " + path + ": " + file);
      return 2;
    }
    if (same(s.options.settingsPath)) {
      std::fprintf(stderr,
                   Tr("Cli",
                      "skyrelay-update-cli: --trace %s würde die Einstellungsdatei %s "
                      "überschreiben; bitte eine andere Datei angeben.\n")
                       .c_str(),
                   path.c_str(), s.options.settingsPath.c_str());
      if (s.json) s.json->Fail("trace-refused", "--trace " + path + ": " + s.options.settingsPath);
      return 2;
    }
  }
  s.trace = std::fopen(path.c_str(), "w");
  if (!s.trace) {
    std::fprintf(stderr,
                 Tr("Cli", "skyrelay-update-cli: %s kann nicht geschrieben werden\n").c_str(),
                 path.c_str());
    if (s.json) s.json->Fail("trace-refused", "--trace " + path);
    return 2;
  }
  // Line by line, each written at once: a run that is killed leaves its trace
  // whole up to the last message. A write that fails (a reader gone) changes
  // nothing for the run.
  std::FILE* trace = s.trace;
  const LinkStats& stats = s.ctx->link.stats;
  s.ctx->link.stats.observer = [trace, &stats](double t, bool sent,
                                               std::span<const uint8_t> bytes) {
    const std::string line = TraceLine(t, sent, bytes, stats.repeating);
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
    if (s.json) s.json->Fail("settings-not-written", problem);
    return 1;
  }
  if (s.options.simulate) {
    // The simulation needs no port; the fast interface is the plain one.
    settings.InterfaceKind = 3;
    if (settings.ComPortNumber.empty()) settings.ComPortNumber = "sim";
  }
  return 0;
}

}  // namespace skyrelay::cli
