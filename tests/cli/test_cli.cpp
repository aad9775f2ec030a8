// The command-line program run as the user runs it: without a terminal, on a
// pseudo-terminal where a key or a signal matters, and against skyrelay-sim
// behind a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../config_test_files.h"
#include "sim/package.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The station's release as the trace shows it: fields 3, 0, 0 and D1 = the
// boot loader version 5 of the simulated station.
const std::string kRelease = "-> ED 1F 08 4E 57 70 05 7F 7F 7F 70 00 00 00 00 30";

std::string ReadAll(const fs::path& p) {
  std::ostringstream s;
  s << std::ifstream(p, std::ios::binary).rdbuf();
  return s.str();
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Polls `done` every 10 ms for at most `seconds`.
template <class Done>
bool Within(double seconds, Done done) {
  for (const auto start = Clock::now(); !done(); std::this_thread::sleep_for(10ms)) {
    if (Since(start) > seconds) return false;
  }
  return true;
}

// Runs `command` in the shell, on a new pseudo-terminal when `terminal` is given.
pid_t Spawn(const std::string& command, int* terminal = nullptr) {
  const pid_t pid = terminal ? forkpty(terminal, nullptr, nullptr, nullptr) : fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// CPU seconds (user and system) a running process has used so far.
double CpuSeconds(pid_t pid) {
  const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
  unsigned long user = 0, system = 0;
  std::sscanf(stat.c_str() + stat.rfind(')') + 2,
              "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system);
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The exit status when the process ends within `seconds`, else -1 (and it is
// killed); `cpu`: the CPU seconds it used in all.
int Wait(pid_t pid, double seconds, double* cpu = nullptr) {
  int status = 0;
  rusage u{};
  const bool ended = Within(seconds, [&] { return wait4(pid, &status, WNOHANG, &u) == pid; });
  if (!ended && kill(pid, SIGKILL) == 0) waitpid(pid, &status, 0);
  const timeval t{u.ru_utime.tv_sec + u.ru_stime.tv_sec, u.ru_utime.tv_usec + u.ru_stime.tv_usec};
  if (cpu) *cpu = static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Ended {
  int status = -1;
  double seconds = 0;  // from the call of Finish to the exit
  double cpu = 0;
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
  std::vector<pid_t> sims;  // ended with the test

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
  pid_t Start(const std::string& arguments, const std::string& tag = "", int* terminal = nullptr) {
    for (const char* name : {"out", "trace"}) fs::remove(File(tag, name));
    return Spawn(std::string(SKYRELAY_CLI_PATH) + " --settings '" + dir.Folder() +
                     "s.cfg' --trace '" + File(tag, "trace").string() + "' " + arguments + " > '" +
                     File(tag, "out").string() + "' 2>&1" + (terminal ? "" : " < /dev/null"),
                 terminal);
  }
  Ended Finish(pid_t pid, const std::string& tag = "", double seconds = 30) {
    const auto start = Clock::now();
    Ended e;
    e.status = Wait(pid, seconds, &e.cpu);
    e.seconds = Since(start);
    e.text = ReadAll(File(tag, "out"));
    e.trace = ReadAll(File(tag, "trace"));
    return e;
  }
  Ended Run(const std::string& arguments) { return Finish(Start(arguments)); }
  bool Shows(const std::string& tag, const std::string& text) const {
    return ReadAll(File(tag, "out")).find(text) != std::string::npos;
  }
  // skyrelay-sim behind a pseudo-terminal; returns the device.
  std::string StartSim(const std::string& options) {
    const fs::path link = dir.path() / ("loconet" + std::to_string(sims.size()));
    sims.push_back(Spawn(std::string(SKYRELAY_SIM_PATH) + " --link '" + link.string() + "' " +
                         options + " > /dev/null 2>&1"));
    EXPECT_TRUE(Within(5, [&] { return fs::is_symlink(link); }));
    return fs::read_symlink(link).string();
  }
  // A package with a little configuration data and no firmware: quick in real time.
  std::string SmallPackage() {
    dir.Write("klein/liste.bin", std::string(512, '\x01'));
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
  // --yes waits about five minutes for the restart: three times "j", then "n".
  const std::string ask =
      "== Achtung ==\nSKY RELAY meldet sich nicht zurück!\n     weiter warten?     \n(j/n) ";
  const std::string waits = "Warte auf den Neustart ...\n\n" + ask + "j\n\n" + ask + "j\n\n" + ask +
                            "j\n\n" + ask +
                            "n  (--yes wartet höchstens etwa 5 Minuten auf den Neustart)\n";
  const int nothingSent = -1;
  const struct Case {
    std::string arguments;
    int status;
    int releases;  // how often the station was released; or nothing sent at all
    std::vector<std::string> once;
  } cases[] = {
      // clang-format off
      {"", 2, nothingSent, {"Aufruf: skyrelay-update-cli"}},
      {"frobnicate", 2, nothingSent, {"Aufruf: "}},
      {"--bogus update", 2, nothingSent, {"unbekannte Option --bogus\nAufruf: "}},
      {"--interface 5 update x.tup", 2, nothingSent, {"--interface nimmt 1, 2 oder 3\n"}},
      {"check", 2, nothingSent, {"Aufruf: "}},
      {"--simulate update", 2, nothingSent, {"keine Update-Datei angegeben und keine gemerkt\n"}},
      {"--help", 0, nothingSent, {"  update [DATEI.TUP]  Update wie", "  --sim-vanish-after N"}},
      {"--version", 0, nothingSent, {"skyrelay-update-cli "}},
      {"check '" + sample + "'", 0, nothingSent, {sample + ": in Ordnung\n"}},
      {"check '" + broken + "'", 1, nothingSent, {"english.txt:2:", "zeichen2.bin", "liste.bin"}},
      // The full update: every step, progress at most every 10 %, the verdict.
      {yes + tup, 0, 1, {"(j/n) j\n0%\n10%\n20%\n30%\n40%\n50%\n60%\n70%\n80%\n90%\n100%\n\n",
          "== Update 58400 ==\n     Firmware-Update ok!", "Firmware ok!\n",
          "Weichenliste\nneue Konfiguration\nUpdate beendet\n",
          "Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben\nDauer: ",
          "Firmware: 63 Seiten geschrieben, 63 geprüft, 0 wiederholt\n"}},
      {"--simulate --no" + tup, 0, 1, {"(j/n) n\n\nUpdate beendet\n",
          "Update erfolgreich: Firmware-Update abgelehnt, Konfiguration nicht übertragen\n"}},
      // Nobody to answer the questions: refused before the port opens.
      {"--simulate" + tup, 2, nothingSent,
          {"Bitte --yes (jede Frage mit Ja) oder --no (mit Nein) angeben."}},
      // The first error in the verdict, and the page figures.
      {yes + "--sim-corrupt-page 0x300200:5" + tup, 1, 1,
          {"Update fehlgeschlagen: Flash Block kann nicht beschrieben werden!\n",
           "Firmware: 6 Seiten geschrieben, 1 geprüft, 5 wiederholt\n"}},
      {yes + "--sim-never-restart" + tup, 1, 1,
          {waits, "Update fehlgeschlagen: SKY RELAY meldet sich nicht zurück!\n"}},
      // A damaged answer is marked in the trace and becomes a time-out, not data.
      {yes + "--sim-damage-answers 1 update '" + small + "'", 0, 0,
          {"Prüfsumme falsch", "Update erfolgreich: "}},
      // Refusals before the port opens.
      {"--yes" + tup, 1, nothingSent, {"Kein Interface gewählt.\nBitte --interface 1 oder 3"}},
      {"--yes --interface 2 --port 1" + tup, 1, nothingSent,
          {"Interface 71530 öffnet keinen Port.\nBitte --interface 1 oder 3 und --port angeben"}},
      {"--yes --interface 3" + tup, 1, nothingSent, {"Kein ComPort gewählt."}},
      {yes + "update '" + empty + "'", 1, nothingSent, {"Keine Update-Datei: " + empty}},
      {"check '" + empty + "'", 1, nothingSent, {"Keine Update-Datei: " + empty}},
      {"--simulate --no --save --port 7 --interface 3" + tup, 0, 1, {"Update beendet\n"}},
      {"--simulate --no update", 0, 1, {"Update beendet\n"}},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Ended e = Run(c.arguments);
    Expect(e, c.status, c.once);
    EXPECT_EQ(Count(e.trace, c.releases == nothingSent ? " -> " : kRelease),
              size_t(c.releases == nothingSent ? 0 : c.releases));
  }
  EXPECT_EQ(ReadAll(dir.path() / "s.cfg"), fs::absolute(sample).string() + "\r\n3\r\n7\r\n");
}

// Ctrl-C and SIGTERM at a question (on a terminal) and during the firmware
// transfer. The second Ctrl-C lands while the station is being released, which
// takes real time on a real port.
TEST_F(Cli, InterruptedRunsReleaseTheStation) {
  const std::string port = "--interface 3 --port " + StartSim("");
  const struct Case {
    const char* name;
    std::string options, when, keys;
    int signal;
    std::string never;
  } cases[] = {
      {"Ctrl-C at a question", "--simulate", "(j/n)", "\x03", 0, "0%"},
      {"Ctrl-C twice at a question", port, "(j/n)", "\x03\x03", 0, "0%"},
      {"SIGTERM at a question", "--simulate", "(j/n)", "", SIGTERM, "0%"},
      {"SIGTERM during the firmware", "--simulate --yes", "0%", "", SIGTERM, "Firmware ok!"},
      {"Ctrl-C during the firmware", port + " --yes", "0%", "\x03", 0, "Firmware ok!"},
  };
  // The trace goes into a pipe read here: the run can go no further ahead than
  // the pipe holds, even in virtual time.
  const fs::path pipe = dir.path() / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int terminal = -1;
    const pid_t pid = Start(c.options + " --trace '" + pipe.string() + "' update '" + sample + "'",
                            "", &terminal);
    // Read without blocking, so that a run that never opens the pipe ends too.
    const int fd = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    std::string trace;
    bool sent = false;
    auto sentAt = Clock::now();
    for (const auto start = Clock::now(); Since(start) < 60;) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 100);
      char buffer[4096];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      // No writer: not yet (the run starts up), or no more (the run has ended).
      if (n == 0 && (!trace.empty() || Since(start) > 10)) break;
      if (n > 0) trace.append(buffer, static_cast<size_t>(n));
      if (sent || !Shows("", c.when)) continue;
      sent = true;
      sentAt = Clock::now();
      if (c.signal != 0) kill(pid, c.signal);
      for (size_t i = 0; i < c.keys.size(); i++) {
        if (i > 0) std::this_thread::sleep_for(10ms);
        EXPECT_EQ(write(terminal, &c.keys[i], 1), 1);
      }
    }
    close(fd);
    Ended e = Finish(pid, "", 10);
    e.trace = trace;
    const double seconds = Since(sentAt);
    close(terminal);
    EXPECT_LT(seconds, 5.0);
    Expect(e, 1,
           {kRelease, "Zentrale wird aus dem Update-Mode genommen",
            "Abgebrochen.\nDie Zentrale ist aus dem Update-Mode genommen.\n"
            "Update fehlgeschlagen: abgebrochen\n"},
           {c.never});
    std::printf("[ figures  ] %s: exit %.3f s after the signal\n", c.name, seconds);
  }
}

// Real pseudo-terminals: an update, a second program finding the port busy
// meanwhile, the port tests "in" and "out", a port that does not exist; then
// an interface that vanishes mid-firmware: one message naming the port, exit 1
// within seconds, and no busy waiting meanwhile.
TEST_F(Cli, RealPortsAgainstTheSimulator) {
  std::string port = StartSim("--station-id none");
  const std::string on = "--interface 3 --port '" + port + "' ";
  const pid_t holder = Start(on + "--yes update '" + SmallPackage() + "'", "u");
  EXPECT_TRUE(Within(10, [&] { return Shows("u", "Lese Version"); }));
  Expect(Run(on + "ping --no-wait"), 1,
         {"Der Port " + port + " wird von einem anderen Programm benutzt: Prozess " +
          std::to_string(holder)},
         {"dialout"});
  Expect(Finish(holder, "u"), 0,
         {"Fehler im Updatefile!\n", "Weichenliste\nneue Konfiguration\nUpdate beendet\n",
          "Update erfolgreich: keine Firmware für diesen Handregler, Konfiguration geschrieben\n",
          "-> ED 0F 01 4E 51 07", "<- ED 0F 01 4E 51 07"});
  EXPECT_EQ(Run(on + "ping").status, 0);
  EXPECT_EQ(Run(on + "ping --no-wait").status, 0);
  Expect(Run("--interface 3 --port /dev/does-not-exist ping --no-wait"), 1,
         {"ComPort Fehler!", "/dev/does-not-exist"});

  port = StartSim("--vanish-after 120");
  const pid_t pid = Start("--interface 3 --port '" + port + "' --yes update '" + sample + "'");
  ASSERT_EQ(Wait(sims.back(), 60), 0);
  sims.pop_back();
  const double cpuBefore = CpuSeconds(pid);
  const Ended e = Finish(pid, "", 30);
  EXPECT_LT(e.seconds, 3.0);
  EXPECT_LT(e.cpu - cpuBefore, 0.05 * e.seconds + 0.1) << "busy after the interface vanished";
  // One message box; the verdict line repeats its text once.
  Expect(e, 1,
         {"\nDie Verbindung zum Interface an " + port + " ist unterbrochen.",
          "Update fehlgeschlagen: Die Verbindung zum Interface"},
         {"Timeout"});
  std::printf(
      "[ figures  ] exit %.2f s after the interface vanished, %.3f s CPU meanwhile "
      "(%.3f s CPU in all)\n",
      e.seconds, e.cpu - cpuBefore, e.cpu);
}

}  // namespace
}  // namespace skyrelay
