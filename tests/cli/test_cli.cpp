// The command-line program run as the user runs it: without a terminal, on a
// pseudo-terminal where a key, a signal or a hang-up matters, in pipelines, and
// against skyrelay-sim behind a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../config_test_files.h"
#include "../real_time.h"
#include "../support.h"
#include "package/intel_hex.h"
#include "run/backup.h"
#include "run/info.h"
#include "run/rescue_note.h"
#include "sim/package.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using skyrelay::test::Count;
using skyrelay::test::DefaultSignals;
using skyrelay::test::ReadAll;
using skyrelay::test::Since;
using skyrelay::test::Spawn;
using skyrelay::test::Wait;
using skyrelay::test::Within;
using namespace std::chrono_literals;

// The station's release: fields 3, 0, 0 and D1 = the boot loader version 5 of
// the simulated station; as the program's trace shows it.
const std::string kReleaseBytes = "ED 1F 08 4E 57 70 05 7F 7F 7F 70 00 00 00 00 30";
const std::string kRelease = "-> " + kReleaseBytes;

// The bytes of a trace's lines that went `direction` ("->" from the PC, "<-" to
// it), all lines joined: "ED 1F 08 ...". Reads the program's trace (a name
// after the bytes) and skyrelay-sim's (bytes only) alike.
std::string TracedBytes(const std::string& trace, const std::string& direction) {
  std::istringstream lines(trace);
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string time, way;
    if (!(words >> time >> way) || way != direction) continue;
    for (std::string b;
         words >> b && b.size() == 2 && std::isxdigit(b[0]) && std::isxdigit(b[1]);) {
      out += (out.empty() ? "" : " ") + b;
    }
  }
  return out;
}

// Whether `bytes` ("ED 1F ...") are whole LocoNet messages one after another,
// each with its length and checksum, and nothing else.
bool OnlyLocoNetMessages(const std::string& bytes) {
  std::vector<int> b;
  std::istringstream words(bytes);
  for (std::string w; words >> w;) b.push_back(std::stoi(w, nullptr, 16));
  for (size_t i = 0; i < b.size();) {
    if ((b[i] & 0x80) == 0) return false;
    static constexpr size_t kLength[4] = {2, 4, 6, 0};
    const size_t n = kLength[(b[i] >> 5) & 3] != 0 ? kLength[(b[i] >> 5) & 3]
                     : i + 1 < b.size()            ? static_cast<size_t>(b[i + 1])
                                                   : 0;
    if (n < 2 || i + n > b.size()) return false;
    int sum = 0;
    for (size_t k = i; k < i + n; k++) {
      if (k > i && (b[k] & 0x80) != 0) return false;
      sum ^= b[k];
    }
    if (sum != 0xFF) return false;
    i += n;
  }
  return !b.empty();
}

struct Ended {
  int status = -1;
  double seconds = 0;       // from the call of Finish to the exit
  std::string text, trace;  // what it printed (stdout and stderr), what it sent and received
};

// The exit status; each of `once` appears exactly once in what the run printed
// and traced, none of `never`.
void Expect(const Ended& e, int status, const std::vector<std::string>& once,
            const std::vector<std::string>& never = {}) {
  EXPECT_EQ(e.status, status) << e.text;
  const std::string all = e.text + e.trace;
  for (const std::string& t : once) EXPECT_EQ(Count(all, t), 1u) << t << "\n" << e.text;
  for (const std::string& t : never) EXPECT_EQ(Count(all, t), 0u) << t << "\n" << e.text;
}

class Cli : public ::testing::Test {
 protected:
  testfiles::TempDir dir;
  const std::string sample = sim::WriteSamplePackage(dir.Folder() + "paket");
  // The program's backups go into the test's folder, never the user's.
  std::vector<pid_t> sims;  // ended with the test

  // Programs started otherwise keep their notes of interrupted runs and their
  // backups here too.
  void SetUp() override {
    setenv("XDG_STATE_HOME", (dir.Folder() + "state-other").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir.Folder() + "data").c_str(), 1);
  }
  void TearDown() override {
    for (pid_t pid : sims) {
      kill(pid, SIGTERM);
      Wait(pid, 5);
    }
  }
  fs::path File(const std::string& tag, const std::string& name) const {
    return dir.path() / (tag + name);
  }
  // Starts the program with its own settings, trace and output file, reading
  // from the pseudo-terminal `terminal` when given, else from /dev/null.
  pid_t Start(const std::string& arguments, const std::string& tag = "", int* terminal = nullptr,
              bool hangUpIgnored = false) {
    for (const char* name : {"out", "trace"}) fs::remove(File(tag, name));
    // A note of an interrupted run goes to the test's folder, never the user's;
    // runs side by side have one each.
    return Spawn("env XDG_STATE_HOME='" + dir.Folder() + "state" + tag + "' " +
                     std::string(SKYRELAY_CLI_PATH) + " --language de --settings '" + dir.Folder() +
                     "s.cfg' --trace '" + File(tag, "trace").string() + "' " + arguments + " > '" +
                     File(tag, "out").string() + "' 2>&1" + (terminal ? "" : " < /dev/null"),
                 terminal, hangUpIgnored);
  }
  Ended Finish(pid_t pid, const std::string& tag = "", double seconds = 30) {
    const auto start = Clock::now();
    Ended e;
    e.status = Wait(pid, seconds);
    e.seconds = Since(start);
    e.text = ReadAll(File(tag, "out"));
    e.trace = ReadAll(File(tag, "trace"));
    return e;
  }
  Ended Run(const std::string& arguments) { return Finish(Start(arguments)); }
  bool Shows(const std::string& tag, const std::string& text) const {
    return ReadAll(File(tag, "out")).find(text) != std::string::npos;
  }
  // skyrelay-sim behind a pseudo-terminal, started with `redirect` (its trace
  // goes to stderr); ended with the test.
  struct Sim {
    std::string device;  // /dev/pts/N
    fs::path link;       // --link to it
    fs::path trace;      // --trace: every byte from and to the PC
    std::string Trace() const { return ReadAll(trace); }
  };
  Sim StartSim(const std::string& options, const std::string& redirect = "> /dev/null") {
    const std::string n = std::to_string(sims.size());
    const Sim sim{"", dir.path() / ("loconet" + n), dir.path() / ("sim" + n)};
    sims.push_back(Spawn(std::string(SKYRELAY_SIM_PATH) + " --trace --link '" + sim.link.string() +
                         "' " + options + " " + redirect + " 2> '" + sim.trace.string() + "'"));
    EXPECT_TRUE(Within(5, [&] { return fs::is_symlink(sim.link); }));
    return {fs::read_symlink(sim.link).string(), sim.link, sim.trace};
  }
  // A package with a little configuration data and no firmware: quick in real time.
  static constexpr int kSmallPackageStatus = 0;
  std::string SmallPackage() {
    const sim::ByteVector list = sim::TurnoutListBytes(3);
    dir.Write("klein/liste.bin", std::string(list.begin(), list.end()));
    const sim::ByteVector c = sim::CharacterBytes(0, 3, 9);
    dir.Write("klein/z.bin", std::string(c.begin(), c.end()));
    return dir.Write("klein/klein.tup", "WEICHENLISTE=liste.bin\r\nZEICHEN=z.bin\r\n");
  }
};

// Without a terminal, in the order given (the last two remember and reuse the
// package). The device's own faults are the core's; here only what the program
// adds: options, refusals, answers, the verdict, the page figures, the trace.
TEST_F(Cli, EveryEndHasItsStatusAndTexts) {
  const std::string small = SmallPackage();
  const std::string empty = dir.Write("leer.tup", "FUNKVERSION=2.1\r\n");
  const std::string broken = sim::WriteSamplePackage(dir.Folder() + "kaputt");
  dir.Write("kaputt/texte/english.txt", "00: GOOD\r\n\r\n02: AFTER\r\n");
  fs::remove(dir.path() / "kaputt/zeichen/zeichen2.bin");
  dir.Write("kaputt/weichen/liste.bin", std::string(100, '\0'));
  const std::string yes = "--simulate --yes ", tup = " update '" + sample + "'";
  const std::string help = " (siehe skyrelay-update-cli --help)\n";
  const std::string cause = ". Interface und Port müssen gewählt sein.\n";
  // --yes waits about five minutes for the restart: three times "j", then "n".
  const std::string ask =
      "== Achtung ==\nSKY RELAY meldet sich nicht zurück!\n     weiter warten?     \n(j/n) ";
  const std::string waits = ask + "n  (--yes wartet höchstens etwa 5 Minuten auf den Neustart)\n";
  const int nothingSent = -1;
  const struct Case {
    std::string arguments;
    int status;
    int releases;  // how often the station was released; or nothing sent at all
    std::vector<std::string> once;
  } cases[] = {
      // clang-format off
      // Wrong usage: one line naming what is wrong, exit 2.
      {"", 2, nothingSent, {"kein Befehl angegeben" + help}},
      {"frobnicate", 2, nothingSent, {"unbekannter Befehl frobnicate" + help}},
      {"--bogus update", 2, nothingSent, {"unbekannte Option --bogus" + help}},
      {"--interface 5 update x.tup", 2, nothingSent, {"--interface nimmt 1, 2 oder 3" + help}},
      {"update --port", 2, nothingSent, {"--port braucht einen Wert" + help}},
      {"check", 2, nothingSent, {"check braucht DATEI.TUP" + help}},
      {"--simulate update", 2, nothingSent, {"keine angegeben und keine gemerkt)" + help}},
      {"--simulate update a.tup b.tup", 2, nothingSent, {"überzähliges Argument b.tup für update" + help}},
      {"--simulate info x", 2, nothingSent, {"überzähliges Argument x für info" + help}},
      {"--simulate --no-wait info", 2, nothingSent, {"--no-wait gilt nur für ping" + help}},
      {"--yes --no" + tup, 2, nothingSent, {"--yes und --no schließen einander aus" + help}},
      {"--force --no" + tup, 2, nothingSent, {"--force und --no schließen einander aus" + help}},
      {"--simulate --sim-article x" + tup, 2, nothingSent, {"--sim-article: "}},
      {"--help", 0, nothingSent, {"  update [DATEI.TUP]  Update wie", "  --sim-vanish-after N"}},
      {"--version", 0, nothingSent, {"skyrelay-update-cli "}},
      {"check '" + sample + "'", 0, nothingSent, {sample + ": in Ordnung\n"}},
      {"check '" + broken + "'", 1, nothingSent, {"english.txt:2:", "zeichen2.bin", "liste.bin"}},
      // The full update: every step, progress at stage changes and every 10 %, the verdict.
      {yes + tup, 0, 1, {"(j/n) j\nFirmware 0 von 497 · 0 % · ",
          "Einstellungen 1 von 1 · 100 % · ",
          "== Update 58400 ==\n     Firmware-Update ok!", "Firmware ok!\n",
          "Weichenliste\n", "neue Konfiguration\nEinstellungen 1 von 1 · 100 % · ",
          "Update beendet\n", "Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben\nDauer: ",
          "Firmware: 63 Seiten geschrieben, 63 geprüft, 0 wiederholt\n"}},
      {"--simulate --no" + tup, 0, 1, {"(j/n) n\n\nUpdate beendet\n",
          "Update erfolgreich: Firmware-Update abgelehnt, Konfiguration nicht übertragen\n"}},
      // Risky questions: --yes alone refuses them and the verdict names --force;
      // --force loads all the same.
      {yes + "--sim-version 2.1" + tup, 1, 1,
          {"(j/n) n  (--yes allein sagt hier nicht Ja; --force tut es)\n",
           "Update fehlgeschlagen: Die Handregler Software ist aktuell! Eine schon installierte "
           "oder ältere Version lädt --yes allein nicht; --force lädt sie trotzdem.\n"}},
      {yes + "--sim-article 12345" + tup, 1, 1,
          {"Update fehlgeschlagen: Handregler konnte nicht erkannt werden! Einen nicht erkannten "
           "Handregler aktualisiert --yes allein nicht; --force versucht es trotzdem.\n"}},
      {"--simulate --force --sim-version 3.0" + tup, 0, 1,
          {"Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben\n"}},
      // Nobody to answer the questions: refused before the port opens.
      {"--simulate" + tup, 2, nothingSent,
          {"Bitte --yes (jede Frage mit Ja) oder --no (mit Nein) angeben."}},
      // The first error in the verdict, and the page figures.
      {yes + "--sim-corrupt-page 0x300200:5" + tup, 1, 1,
          {"Update fehlgeschlagen: Flash Block kann nicht beschrieben werden! ",
           "Firmware: 6 Seiten geschrieben, 1 geprüft, 5 wiederholt\n"}},
      {yes + "--sim-never-restart" + tup, 1, 1,
          {waits, "Update fehlgeschlagen: SKY RELAY meldet sich nicht zurück! "}},
      // A damaged answer is marked in the trace and becomes a time-out, not data;
      // the identification it answered is asked again, its line marked, and the
      // verdict counts the repeat.
      {yes + "--sim-damage-answers 1 update '" + small + "'", kSmallPackageStatus, 1,
          {"Prüfsumme falsch", "  wiederholt\n", "\n1 Antwort wiederholt\n", "Weichenliste\n", "Update beendet\n",
           "Update erfolgreich: keine Firmware im Paket, Konfiguration geschrieben\n"}},
      // Refusals before the port opens, each with the verdict and its cause.
      {"--yes" + tup, 1, nothingSent, {"Kein Interface gewählt.\nBitte --interface 1 oder 3",
          "Update fehlgeschlagen: Kein Interface gewählt. Bitte --interface 1 oder 3 und --port "
          "angeben (mit --save merken)" + cause}},
      {"--yes --interface 2 --port 1" + tup, 1, nothingSent,
          {"Interface 71530 öffnet keinen Port.\nBitte --interface 1 oder 3 und --port angeben",
           "Update fehlgeschlagen: Interface 71530 öffnet keinen Port. Bitte"}},
      {"--yes --interface 3" + tup, 1, nothingSent,
          {"Kein ComPort gewählt.\nBitte", "Update fehlgeschlagen: Kein ComPort gewählt. Bitte"}},
      {"--yes --interface 3 --port /dev/does-not-exist" + tup, 1, nothingSent,
          {"Update fehlgeschlagen: Der Port /dev/does-not-exist wurde nicht gefunden. Den Port "
           "/dev/does-not-exist gibt es nicht"}},
      {yes + "update '" + empty + "'", 1, nothingSent,
          {"Update fehlgeschlagen: Keine Update-Datei: " + empty}},
      {yes + "update '" + broken + "'", 1, nothingSent,
          {"Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen:\n",
           "zeichen2.bin fehlt – ist das Update-Paket vollständig ausgepackt?\n"}},
      {yes + "update '" + dir.Folder() + "fehlt.tup'", 1, nothingSent,
          {"Die Update-Datei wurde nicht gefunden!\nUpdate fehlgeschlagen: "}},
      {"check '" + empty + "'", 1, nothingSent, {"Keine Update-Datei: " + empty}},
      {"--simulate --no --save --port 7 --interface 3" + tup, 0, 1, {"Update beendet\n"}},
      {"--simulate --no update", 0, 1, {"Update beendet\n"}},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Ended e = Run(c.arguments);
    Expect(e, c.status, c.once);
    // Wrong usage is one line; a run that fails says so in its verdict, and a
    // run's progress takes a line at most per stage and tenth.
    if (c.arguments.find("never-restart") != std::string::npos) {
      EXPECT_EQ(Count(e.text, ask + "j\n"), 3u);
    }
    if (c.once[0].ends_with(help)) {
      EXPECT_EQ(Count(e.text, "\n"), 1u);
    }
    if (c.status == 1 && c.arguments.find(" update") != std::string::npos) {
      EXPECT_EQ(Count(e.text, "Update fehlgeschlagen: "), 1u) << e.text;
    }
    EXPECT_LE(Count(e.text, " vergangen"), 30u);
    EXPECT_EQ(Count(e.trace, c.releases == nothingSent ? " -> " : kRelease),
              size_t(c.releases == nothingSent ? 0 : c.releases));
  }
  EXPECT_EQ(ReadAll(dir.path() / "s.cfg"), fs::absolute(sample).string() + "\r\n3\r\n7\r\n");
}

// Answers typed on the terminal, in --simulate: "j" after a line that is no
// answer (the question is asked again), "n", Ctrl-D (No); and a terminal that
// hangs up while its signal is ignored: the question then ends with No at once,
// and the run goes on without the firmware.
TEST_F(Cli, AnswersFromTheTerminal) {
  const std::string loaded =
      "Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben\n";
  const std::string declined =
      "Update erfolgreich: Firmware-Update abgelehnt, Konfiguration nicht übertragen\n";
  const struct Case {
    const char* name;
    std::string keys;
    bool hangUp;
    size_t questions;  // how often the question was asked
    std::string verdict;
    std::string options = "", prompt = "(j/n) ";
  } cases[] = {
      {"a line that is no answer, then j", "x\nj\n", false, 2, loaded},
      {"Enter alone, then j", "\nj\n", false, 2, loaded},
      {"n", "n\n", false, 1, declined},
      {"Ctrl-D", "\x04", false, 1, declined},
      {"hang-up, its signal ignored", "", true, 1, declined},
      // Loading an older version is risky: Enter alone is No.
      {"Enter alone, older version", "\n", false, 1, declined, " --sim-version 3.0", "(j/N) "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int terminal = -1;
    const pid_t pid =
        Start("--simulate" + c.options + " update '" + sample + "'", "", &terminal, c.hangUp);
    EXPECT_TRUE(Within(10, [&] { return Shows("", c.prompt); }));
    if (c.hangUp) close(terminal);
    for (const char key : c.keys) {
      EXPECT_EQ(write(terminal, &key, 1), 1);
      std::this_thread::sleep_for(10ms);
    }
    const Ended e = Finish(pid, "", 10);
    if (!c.hangUp) close(terminal);
    Expect(e, 0, {c.verdict}, {"Abgebrochen"});
    EXPECT_EQ(Count(e.text, c.prompt), c.questions);
    EXPECT_LT(e.seconds, 5.0);
  }
}

// The signals that end a run: Ctrl-C, Ctrl-\ (keys on the terminal), a
// hang-up (the terminal closes), SIGTERM (kill); at the version question and
// during the firmware transfer, on the simulator behind a real pseudo-terminal,
// all cases at once. Each run ends with exit 128 + the signal's number after
// releasing the station, as
// the simulator saw it on the line; the same signal once more, while the station
// is being released, does not cut the release short. The last rows are the same
// in --simulate, with the trace going into a pipe read here: the run can go no
// further ahead than the pipe holds, even in virtual time.
TEST_F(Cli, EverySignalEndsTheRunAndReleasesTheStation) {
  enum class Way { Key, HangUp, Kill };
  struct Case {
    std::string name;
    int signal;
    Way way;
    std::string key, moment, never;
    bool simulate = false;
    // As the run goes:
    pid_t pid = -1;
    int terminal = -1, pipe = -1;
    Sim sim{};
    bool signalled = false, again = false, ended = false;
    Clock::time_point signalledAt{};
    double seconds = 0;
    Ended e{};
  };
  const struct Signal {
    const char* name;
    int signal;
    Way way;
    std::string key;
  } signals[] = {{"Ctrl-C", SIGINT, Way::Key, "\x03"},
                 {"Ctrl-\\", SIGQUIT, Way::Key, "\x1c"},
                 {"hang-up", SIGHUP, Way::HangUp, ""},
                 {"SIGTERM", SIGTERM, Way::Kill, ""}};
  // The firmware transfer's first progress line.
  const std::string firmware = "Firmware 0 von 497";
  std::vector<Case> cases;
  for (const Signal& g : signals) {
    cases.push_back(
        {g.name + std::string(" at the question"), g.signal, g.way, g.key, "(j/n)", firmware});
    cases.push_back({g.name + std::string(" during the firmware"), g.signal, g.way, g.key, firmware,
                     "Firmware ok!"});
  }
  cases.push_back(
      {"Ctrl-C at the question, --simulate", SIGINT, Way::Key, "\x03", "(j/n)", firmware, true});
  cases.push_back({"SIGTERM during the firmware, --simulate", SIGTERM, Way::Kill, "", firmware,
                   "Firmware ok!", true});

  for (size_t i = 0; i < cases.size(); i++) {
    Case& c = cases[i];
    const std::string tag = std::to_string(i);
    std::string options = "--simulate";
    if (c.simulate) {
      const fs::path pipe = File(tag, "pipe");
      EXPECT_EQ(mkfifo(pipe.c_str(), 0600), 0);
      options += " --trace '" + pipe.string() + "'";
    } else {
      // The station takes its time to confirm the release, so that the
      // second signal surely comes while the run waits for it.
      c.sim = StartSim("--release-delay 0.8");
      options = "--interface 3 --port " + c.sim.device;
    }
    if (c.moment != "(j/n)") options += " --yes";
    c.pid = Start(options + " update '" + sample + "'", tag, &c.terminal);
    // Read without blocking, so that a run that never opens the pipe ends too.
    if (c.simulate) c.pipe = open(File(tag, "pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  auto deliver = [](Case& c) {
    if (c.way == Way::Key) {
      EXPECT_EQ(write(c.terminal, c.key.data(), 1), 1);
    } else if (c.way == Way::HangUp) {
      close(c.terminal);
      c.terminal = -1;
    } else {
      kill(c.pid, c.signal);
    }
  };
  for (const auto start = Clock::now(); Since(start) < 60; std::this_thread::sleep_for(5ms)) {
    bool running = false;
    for (size_t i = 0; i < cases.size(); i++) {
      Case& c = cases[i];
      if (c.pipe >= 0) {
        char buffer[4096];
        const ssize_t n = read(c.pipe, buffer, sizeof buffer);
        if (n > 0) c.e.trace.append(buffer, static_cast<size_t>(n));
      }
      if (c.ended) continue;
      running = true;
      if (!c.signalled && Shows(std::to_string(i), c.moment)) {
        deliver(c);
        c.signalled = true;
        c.signalledAt = Clock::now();
      } else if (c.signalled && !c.again &&
                 Shows(std::to_string(i), "Zentrale wird aus dem Update-Mode genommen")) {
        // During the release; sent directly, as a hung-up terminal takes no more keys.
        kill(c.pid, c.signal);
        c.again = true;
      }
      int status = 0;
      if (waitpid(c.pid, &status, WNOHANG) == c.pid) {
        c.ended = true;
        c.seconds = Since(c.signalledAt);
        c.e.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
    }
    if (!running) break;
  }
  for (size_t i = 0; i < cases.size(); i++) {
    Case& c = cases[i];
    SCOPED_TRACE(c.name);
    if (!c.ended) {
      kill(c.pid, SIGKILL);
      waitpid(c.pid, nullptr, 0);
    }
    if (c.terminal >= 0) close(c.terminal);
    if (c.pipe >= 0) {
      char buffer[4096];
      for (ssize_t n; (n = read(c.pipe, buffer, sizeof buffer)) > 0;) {
        c.e.trace.append(buffer, static_cast<size_t>(n));
      }
      close(c.pipe);
    } else {
      c.e.trace = ReadAll(File(std::to_string(i), "trace"));
    }
    c.e.text = ReadAll(File(std::to_string(i), "out"));
    EXPECT_TRUE(c.ended && c.signalled);
    EXPECT_LT(c.seconds, 5.0);
    Expect(c.e, 128 + c.signal,
           {kRelease, "Zentrale wird aus dem Update-Mode genommen",
            "Abgebrochen.\nDie Zentrale ist aus dem Update-Mode genommen.\n"
            "Update fehlgeschlagen: abgebrochen. "},
           {c.never});
    // In virtual time the release is over before a second signal could come.
    if (!c.simulate) {
      EXPECT_EQ(Count(c.e.text, "\nBitte warten: die Zentrale wird freigegeben ...\n"), 1u);
    }
    const std::string line =
        TracedBytes(c.simulate ? c.e.trace : c.sim.Trace(), c.simulate ? "->" : "<-");
    EXPECT_EQ(Count(line, kReleaseBytes), 1u);
  }
}

// Output that goes away during a run on the simulator's port: "| head -3" stops
// reading after three lines; "| tee" dies with the program's own Ctrl-C to the
// whole process group, before the release's status lines. Writes then fail;
// the run goes on and releases the station all the same, and the exit status is
// the run's.
TEST_F(Cli, OutputThatGoesAwayDoesNotStopTheRelease) {
  const std::string small = SmallPackage();
  const std::string program = std::string(SKYRELAY_CLI_PATH) + " --language de --settings '" +
                              dir.Folder() + "s.cfg' --trace '" + File("", "trace").string() + "' ";
  {
    SCOPED_TRACE("| head -3");
    const Sim sim = StartSim("");
    const pid_t pid =
        Spawn("sh -c '{ " + program + "--interface 3 --port " + sim.device + " --yes update " +
              small + " < /dev/null; echo $? > " + File("", "status").string() +
              "; } 2>&1 | head -3 > " + File("", "head").string() + "'");
    EXPECT_EQ(Wait(pid, 30), 0);
    EXPECT_EQ(ReadAll(File("", "status")), std::to_string(kSmallPackageStatus) + "\n");
    EXPECT_EQ(Count(ReadAll(File("", "head")), "\n"), 3u);
    EXPECT_EQ(Count(ReadAll(File("", "trace")), kRelease), 1u);
    EXPECT_EQ(Count(TracedBytes(sim.Trace(), "<-"), kReleaseBytes), 1u);
  }
  {
    SCOPED_TRACE("| tee, Ctrl-C to the process group");
    const Sim sim = StartSim("");
    // What a shell without job control does for "program 2>&1 | tee log": both
    // in one process group of their own, joined by a pipe.
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      dup2(pipeEnds[1], 1);
      dup2(pipeEnds[1], 2);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      DefaultSignals();
      execl("/bin/sh", "sh", "-c",
            ("exec " + program + "--interface 3 --port " + sim.device + " --yes update '" + sample +
             "' < /dev/null")
                .c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    setpgid(pid, pid);
    const std::string log = File("", "log").string();
    const pid_t tee = fork();
    if (tee == 0) {
      setpgid(0, pid);
      dup2(pipeEnds[0], 0);
      dup2(open("/dev/null", O_WRONLY), 1);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      DefaultSignals();
      execlp("tee", "tee", log.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    setpgid(tee, pid);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    EXPECT_TRUE(
        Within(15, [&] { return ReadAll(log).find("Firmware 0 von 497") != std::string::npos; }));
    kill(-pid, SIGINT);
    EXPECT_EQ(Wait(tee, 5), 128 + SIGINT);
    EXPECT_EQ(Wait(pid, 10), 128 + SIGINT);
    EXPECT_EQ(Count(ReadAll(log), "Update fehlgeschlagen"), 0u) << "tee outlived the program";
    EXPECT_EQ(Count(ReadAll(File("", "trace")), kRelease), 1u);
    EXPECT_EQ(Count(TracedBytes(sim.Trace(), "<-"), kReleaseBytes), 1u);
  }
}

// Started with its standard descriptors closed, a program must not take the
// port (or anything else it opens) for standard output or error: the simulator
// (0 and 1 closed, its trace on 2) and the program (all three closed) put
// nothing on the line but LocoNet messages, and the update runs as usual.
TEST_F(Cli, ClosedStandardDescriptorsKeepTheLineClean) {
  const Sim sim = StartSim("", "0<&- 1>&-");
  const pid_t pid = Spawn(std::string(SKYRELAY_CLI_PATH) + " --language de --settings '" +
                          dir.Folder() + "s.cfg' --interface 3 --port " + sim.device +
                          " --yes update '" + SmallPackage() + "' 0<&- 1>&- 2>&-");
  EXPECT_EQ(Wait(pid, 30), kSmallPackageStatus);
  const std::string fromPc = TracedBytes(sim.Trace(), "->");
  EXPECT_TRUE(OnlyLocoNetMessages(fromPc)) << fromPc;
  EXPECT_EQ(Count(fromPc, kReleaseBytes), 1u);
}

// --trace never empties a file the run reads: the description (given or
// remembered, by its name or a link), another file of the package, the settings
// file (also for "ping"). Refused with exit 2 and one line before anything is
// sent, the file left as it was. A trace that is none of them is written line by
// line: a run killed at a question leaves every message that went over the line.
TEST_F(Cli, TraceNeverEmptiesWhatTheRunReads) {
  const std::string settings = dir.Folder() + "s.cfg";
  const std::string link = dir.Folder() + "paket/verweis.tup";
  fs::create_symlink(sample, link);
  const std::string language = dir.Folder() + "paket/texte/english.txt";
  const std::string package = "würde die Datei ", ofPackage = " des Update-Pakets überschreiben";
  const std::string ofSettings = "würde die Einstellungsdatei " + settings + " überschreiben";
  const struct Case {
    std::string arguments, file;  // file: the --trace, which must stay as it is
    int status;
    std::string once;
  } cases[] = {
      // clang-format off
      // Remembers the package for the rows without one.
      {"--simulate --no --save update '" + sample + "'", "", 0, "Update beendet\n"},
      {"--simulate --no update '" + sample + "'", sample, 2, package + sample + ofPackage},
      {"--simulate --no update", sample, 2, package + sample + ofPackage},
      {"--simulate --no update", link, 2, package + sample + ofPackage},
      {"--simulate --no update '" + link + "'", sample, 2, package + link + ofPackage},
      {"--simulate --no update", language, 2, package + language + ofPackage},
      {"--simulate --no update", settings, 2, ofSettings},
      {"--simulate ping", settings, 2, ofSettings},
      {"--simulate --no update --trace '" + dir.Folder() + "fehlt/trace'", "", 2,
          dir.Folder() + "fehlt/trace kann nicht geschrieben werden\n"},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments + " --trace " + c.file);
    const std::string before = c.file.empty() ? "" : ReadAll(c.file);
    const Ended e = Run(c.arguments + (c.file.empty() ? "" : " --trace '" + c.file + "'"));
    if (c.file.empty()) {
      Expect(e, c.status, {c.once});
      continue;
    }
    Expect(e, c.status, {c.once}, {"Start\n"});
    EXPECT_EQ(Count(e.text, "\n"), 1u) << e.text;
    EXPECT_EQ(ReadAll(c.file), before);
  }

  // Killed at the version question: what the simulator received from the PC is
  // exactly what the trace says was sent.
  const Sim sim = StartSim("");
  const std::string other = sim::WriteSamplePackage(dir.Folder() + "paket2");
  int terminal = -1;
  const pid_t pid =
      Start("--interface 3 --port " + sim.device + " update '" + other + "'", "k", &terminal);
  EXPECT_TRUE(Within(15, [&] { return Shows("k", "(j/n)"); }));
  kill(pid, SIGKILL);
  EXPECT_EQ(Finish(pid, "k").status, 128 + SIGKILL);
  close(terminal);
  const std::string trace = ReadAll(File("k", "trace"));
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back(), '\n');
  EXPECT_EQ(TracedBytes(trace, "->"), TracedBytes(sim.Trace(), "->"));
  // Every line whole: time, direction, one message, the opcode's name.
  std::istringstream lines(trace);
  for (std::string l; std::getline(lines, l);) {
    std::istringstream words(l);
    std::string time, way, first, name;
    words >> time >> way >> first;
    for (std::string w; words >> w;) name = w;
    EXPECT_EQ(time.find('.'), time.size() - 4) << l;
    EXPECT_TRUE(OnlyLocoNetMessages(TracedBytes(l, way))) << l;
    EXPECT_EQ(name, first == "ED" ? "LONG_MESSAGE" : first == "B4" ? "LONG_ACK" : name) << l;
    EXPECT_GT(name.size(), 2u) << l;
  }
}

// One device, one program: while a program has the simulator's port open (it
// waits at the version question), a second one (an update, the port test "out")
// is refused with the first one named, whether each uses the device's
// own name or a symbolic link to it; the second sends nothing, the first goes on.
// All rows at once.
TEST_F(Cli, OneDeviceOneProgram) {
  const std::string small = SmallPackage();
  const struct Case {
    const char* name;
    bool firstByLink, secondByLink;
    std::string second;  // what the second one does
  } cases[] = {
      {"link, then the device", true, false, "--yes update '" + small + "'"},
      {"device, then the link", false, true, "ping --no-wait"},
      {"device, then the device", false, false, "ping --no-wait"},
  };
  struct Running {
    Sim sim;
    pid_t pid;
    int terminal;
  };
  std::vector<Running> first;
  for (const Case& c : cases) {
    Running r{StartSim(""), -1, -1};
    const std::string port = c.firstByLink ? r.sim.link.string() : r.sim.device;
    r.pid = Start("--interface 3 --port '" + port + "' update '" + sample + "'",
                  "first" + std::to_string(first.size()), &r.terminal);
    first.push_back(r);
  }
  for (size_t i = 0; i < first.size(); i++) {
    const Case& c = cases[i];
    Running& r = first[i];
    SCOPED_TRACE(c.name);
    const std::string tag = "first" + std::to_string(i);
    EXPECT_TRUE(Within(15, [&] { return Shows(tag, "(j/n)"); }));
    const std::string port = c.secondByLink ? r.sim.link.string() : r.sim.device;
    const std::string before = TracedBytes(r.sim.Trace(), "->");
    const Ended e = Run("--interface 3 --port '" + port + "' " + c.second);
    Expect(e, 1, {"Den Port " + port + " benutzt ein anderes Programm – bitte dieses beenden.\n"},
           {"dialout"});
    EXPECT_GE(Count(e.text, "Der Port " + port + " wird von einem anderen Programm benutzt: " +
                                "Prozess " + std::to_string(r.pid) + " (skyrelay-update)"),
              1u);
    // Nothing reached the line (the port test's own trace lists its messages,
    // written or not).
    EXPECT_EQ(TracedBytes(r.sim.Trace(), "->"), before) << "the second one sent something";
    // The first one is still at its question, and its port works: declining
    // the firmware, it finishes.
    EXPECT_EQ(write(r.terminal, "n\n", 2), 2);
  }
  for (size_t i = 0; i < first.size(); i++) {
    SCOPED_TRACE(cases[i].name);
    Expect(Finish(first[i].pid, "first" + std::to_string(i), 60), 0,
           {"Update erfolgreich: Firmware-Update abgelehnt, Konfiguration nicht übertragen\n"});
    close(first[i].terminal);
  }
}

// Real pseudo-terminals: the port tests "in" and "out", a port that does not
// exist (one line, at once, German only) and no port at all; then an interface
// that vanishes mid-firmware: one message naming the port, exit 1 within seconds.
TEST_F(Cli, RealPortsAgainstTheSimulator) {
  std::string port = StartSim("").device;
  const std::string on = "--interface 3 --port '" + port + "' ";
  EXPECT_EQ(Run(on + "ping").status, 0);
  EXPECT_EQ(Run(on + "ping --no-wait").status, 0);
  for (const char* wait : {"", " --no-wait"}) {
    const Ended e = Run("--interface 3 --port /dev/does-not-exist ping" + std::string(wait));
    Expect(e, 1,
           {"Port-Test fehlgeschlagen: Der Port /dev/does-not-exist wurde nicht gefunden. Den "
            "Port /dev/does-not-exist gibt es nicht"},
           {"Message kann nicht gesendet werden!", "such file"});
    EXPECT_EQ(Count(e.text, "\n"), 1u) << e.text;
    EXPECT_LT(e.seconds, 3.0);
  }
  Expect(Run("--interface 3 ping"), 1,
         {"Port-Test nicht möglich: Kein ComPort gewählt. Bitte --interface 1 oder 3"});

  port = StartSim("--vanish-after 120").device;
  const pid_t pid = Start("--interface 3 --port '" + port + "' --yes update '" + sample + "'");
  ASSERT_EQ(Wait(sims.back(), 60), 0);
  sims.pop_back();
  const Ended e = Finish(pid, "", 30);
  EXPECT_LT(e.seconds, 3.0);
  // One message box; the verdict line repeats its text once.
  Expect(e, 1,
         {"\nDie Verbindung zum Interface an " + port + " ist unterbrochen.",
          "Update fehlgeschlagen: Die Verbindung zum Interface"},
         {"Timeout"});
}

// After a run that was killed with the station in its update mode: every start
// that uses the port tells of the note; "release" goes to the note's port,
// naming its boot loader version, and removes it; "update --yes" releases first;
// a station that does not confirm the release keeps the note; a damaged note is
// said to be damaged and changes nothing else.
TEST_F(Cli, ReleaseAfterAnInterruptedRun) {
  const std::string folder = dir.Folder() + "state/skyrelay-update";
  const auto noteThere = [&] { return ReadRescueNote(folder).note.has_value(); };
  const Sim sim = StartSim("");
  const RescueNote note{"08.12.2026 01:23", sim.link.string(), 3, 5, "/tmp/sicherung.bin"};
  const std::string told =
      "Der letzte Lauf wurde unterbrochen (begonnen am 08.12.2026 01:23, Port " +
      sim.link.string() + ", Interface 3).\n";
  const std::string on = "--interface 3 --port '" + sim.link.string() + "' ";
  ASSERT_TRUE(WriteRescueNote(folder, note));
  Expect(Run(on + "info"), 0,
         {told, "kann zurückgeschrieben werden: skyrelay-update-cli restore /tmp/sicherung.bin\n",
          "Freigeben mit: skyrelay-update-cli release\n"},
         {kRelease});
  EXPECT_TRUE(noteThere());
  Expect(Run("--simulate info"), 0, {}, {told});  // the simulation leaves the user's note alone
  Expect(Run("release"), 0, {told, "Die Zentrale ist aus dem Update-Mode genommen.\n", kRelease});
  EXPECT_EQ(Count(TracedBytes(sim.Trace(), "<-"), kReleaseBytes), 1u);
  EXPECT_FALSE(noteThere());

  ASSERT_TRUE(WriteRescueNote(folder, note));
  Expect(Run(on + "--yes update '" + SmallPackage() + "'"), kSmallPackageStatus,
         {told, "Die Zentrale jetzt aus dem Update-Mode nehmen?\n(j/n) j\n",
          "Die Zentrale ist aus dem Update-Mode genommen.\n", "Update erfolgreich: "});
  EXPECT_EQ(Count(TracedBytes(sim.Trace(), "<-"), kReleaseBytes), 3u) << "and the run's own";
  EXPECT_FALSE(noteThere());

  const Sim silent = StartSim("--silent-station");
  ASSERT_TRUE(
      WriteRescueNote(folder, RescueNote{"08.12.2026 01:23", silent.link.string(), 3, 5, ""}));
  Expect(Run("release"), 1,
         {"Die Zentrale hat die Freigabe nicht bestätigt!\n",
          "bitte die Zentrale aus- und wieder einschalten.\n"});
  EXPECT_TRUE(noteThere());

  dir.Write("state/skyrelay-update/zentrale-im-update-mode", "kaputt");
  Expect(Run(on + "release"), 0,
         {"Die Notiz " + folder +
              "/zentrale-im-update-mode über einen unterbrochenen Lauf ist "
              "beschädigt und wird nicht beachtet.\n",
          "Die Zentrale ist aus dem Update-Mode genommen.\n"});
}

// "backup" reads without writing; the backup an update made before its
// configuration, written back by "restore --yes", gives the handheld its areas
// as they were before the update, byte for byte (skyrelay-sim's dump); a
// damaged file is refused before a byte goes to the port.
TEST_F(Cli, BackupAndRestoreAgainstTheSimulator) {
  const sim::SimLoNet before;
  const auto areas = [&](const std::vector<uint8_t>& memory, const FlashImage& like) {
    FlashImage image;
    for (const auto& [address, bytes] : like) {
      image[address].assign(memory.begin() + address, memory.begin() + address + bytes.size());
    }
    return image;
  };
  const std::string saved = dir.Folder() + "handregler.hex";
  EXPECT_EQ(Run("--simulate backup '" + saved + "'").status, 0);
  const FlashImage all = ReadBackupFile(saved).image;
  EXPECT_EQ(ImageSize(all), 39u * 512);
  EXPECT_EQ(areas(before.flash.memory, all), all);

  const fs::path dump = dir.path() / "dump.bin";
  const Sim sim = StartSim("--dump '" + dump.string() + "'");
  const std::string on = "--interface 3 --port '" + sim.link.string() + "' --yes ";
  EXPECT_EQ(Run(on + "update '" + SmallPackage() + "'").status, kSmallPackageStatus);
  std::vector<fs::path> backups;
  for (const auto& e : fs::recursive_directory_iterator(dir.path() / "data")) {
    if (e.path().extension() == ".hex") backups.push_back(e.path());
  }
  ASSERT_EQ(backups.size(), 1u);
  const FlashImage image = ReadBackupFile(backups[0].string()).image;
  EXPECT_EQ(ImageSize(image), 2u * 512) << "the settings block's page and the turnout list";

  std::string damaged = ReadAll(backups[0]);
  damaged[damaged.find(':', 100) + 12] ^= 1;
  const std::string traced = sim.Trace();
  Expect(Run(on + "restore '" + dir.Write("kaputt.hex", damaged) + "'"), 1,
         {"Keine Sicherung im Intel-HEX-Format (Zeile "});
  EXPECT_EQ(sim.Trace(), traced) << "nothing sent";

  Expect(Run(on + "restore '" + backups[0].string() + "'"), 0,
         {"2 Seiten zurückgeschrieben, 0 davon fehlerhaft.\n"});
  kill(sims.back(), SIGTERM);
  ASSERT_EQ(Wait(sims.back(), 10), 0);
  sims.pop_back();
  const std::string flash = ReadAll(dump);
  ASSERT_EQ(flash.size(), before.flash.memory.size());
  EXPECT_EQ(areas(std::vector<uint8_t>(flash.begin(), flash.end()), image),
            areas(before.flash.memory, image));
}

// What "info" reads, on the simulated LocoNet: the station's identification and
// the handheld's, without a question (also for a handheld of unknown kind),
// without a byte of the handheld's flash changed and without the station's
// update mode; the port is closed again. What keeps it from reading has its
// cause, as an update's would.
TEST(CliInfo, ReadsWithoutWritingOrAsking) {
  const struct Case {
    const char* name;
    std::function<void(test::SimWorld&)> set;
    bool answered;
    RunCause cause;  // of a reading that failed
  } cases[] = {
      {"a handheld and a station", [](test::SimWorld&) {}, true, RunCause::None},
      {"a handheld of unknown kind",
       [](test::SimWorld& w) { w.sim.handheld.articleNumber = 12345; }, true, RunCause::None},
      {"a station that does not tell its identification",
       [](test::SimWorld& w) { w.sim.station.idNumber = -1; }, true, RunCause::None},
      {"no handheld", [](test::SimWorld& w) { w.sim.handheld.present = false; }, false,
       RunCause::NoHandheld},
      {"a port that is not there",
       [](test::SimWorld& w) {
         w.host.virtualPort().failOpen = true;
         w.host.ports = {"/dev/ttyUSB0"};
       },
       false, RunCause::PortMissing},
      {"no port chosen", [](test::SimWorld& w) { w.ctx.settings.ComPortNumber.clear(); }, false,
       RunCause::SettingMissing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::SimWorld w;
    w.host.Port().Close();
    w.ctx.settings.ComPortNumber = "sim";
    c.set(w);
    w.sim.ApplyHandheldConfig();
    const std::vector<uint8_t> flash = w.sim.flash.memory;
    const DeviceInfo info = ReadDeviceInfo(w.ctx);
    EXPECT_EQ(info.handheldAnswered, c.answered);
    if (!c.answered) {
      EXPECT_EQ(CauseOf(w.ctx.report), c.cause);
    }
    EXPECT_EQ(info.portFailure.has_value(),
              c.cause == RunCause::PortMissing || c.cause == RunCause::SettingMissing);
    EXPECT_TRUE(w.host.messages.empty());
    EXPECT_FALSE(w.host.Port().IsOpen());
    EXPECT_EQ(w.sim.stationLog.enterRequests, 0);
    EXPECT_EQ(w.sim.stationLog.finishRequests, 0);
    EXPECT_EQ(w.sim.flash.memory, flash);
    if (!c.answered) continue;
    EXPECT_EQ(info.stationId, w.sim.station.idNumber < 0
                                  ? std::nullopt
                                  : std::optional<int64_t>(w.sim.station.idNumber));
    const HandheldIdentity& id = info.handheld.identity;
    EXPECT_EQ(id.articleNumber, std::to_string(w.sim.handheld.articleNumber));
    EXPECT_EQ(id.kind,
              w.sim.handheld.articleNumber == 12345 ? HandheldKind::Unknown : HandheldKind::Radio);
    EXPECT_EQ(id.version, "1.0");
  }
  // The port's failure names the ports there are.
  test::SimWorld w;
  w.host.Port().Close();
  w.ctx.settings.ComPortNumber = "/dev/ttyNONE";
  w.host.virtualPort().failOpen = true;
  w.host.ports = {"/dev/ttyUSB0"};
  ReadDeviceInfo(w.ctx);
  EXPECT_EQ(GermanCause(w.ctx.report),
            "Den Port /dev/ttyNONE gibt es nicht – vorhandene Ports: /dev/ttyUSB0.");
}

// "info" as the user runs it: what it read, in German; exit 0 only when the
// handheld answered, else the cause; after Ctrl-C the signal's status.
TEST_F(Cli, InfoPrintsWhatItRead) {
  Expect(Run("--simulate info"), 0,
         {"Zentrale: Kennung 4200000001 (wird für das Update in den Update-Mode gesetzt)\n",
          "Handregler: Artikel 58400, Funk- oder LocoNet-Handregler\n",
          "Installierte Firmware: 1.0 vom: "},
         {"(j/n)", kRelease});
  Expect(Run("--simulate --sim-article 12345 --sim-station-id none info"), 0,
         {"Zentrale: keine Kennung gemeldet\n", "Handregler: Artikel 12345, nicht erkannt\n"},
         {"(j/n)"});
  Expect(Run("--simulate --sim-silent-handheld info"), 1,
         {"Handregler: keine Antwort\n",
          "Kein Handregler antwortet – ist er am LocoNet eingesteckt?\n"});
  Expect(Run("--interface 3 --port /dev/does-not-exist info"), 1,
         {"Info nicht möglich: Der Port /dev/does-not-exist wurde nicht gefunden."});
}

}  // namespace
}  // namespace skyrelay
