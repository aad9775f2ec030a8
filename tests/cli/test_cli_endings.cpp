// How the command-line program ends: Ctrl-C and SIGTERM on a real terminal,
// unattended runs, refusals before the port opens, and the verdict lines.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "../config_test_files.h"
#include "sim/package.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The station's release as the trace shows it: fields 3, 0, 0 and D1 = the
// boot loader version 5 of the simulated station.
constexpr const char* kRelease = "-> ED 1F 08 4E 57 70 05 7F 7F 7F 70 00 00 00 00 30";

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

struct Ended {
  int status = -1;
  double seconds = -1;  // from the signal to the exit
  std::string err;
  std::string trace;
};

class CliEndings : public ::testing::Test {
 protected:
  testfiles::TempDir dir;
  fs::path err = dir.path() / "err.txt";
  fs::path trace = dir.path() / "trace.txt";

  std::string Command(const std::string& arguments) {
    return std::string(SKYRELAY_CLI_PATH) + " --settings '" + (dir.path() / "s.cfg").string() +
           "' --trace '" + trace.string() + "' " + arguments + " 2> '" + err.string() + "'";
  }

  // Runs without a terminal.
  Ended Run(const std::string& arguments) {
    fs::remove(trace);
    // Bounded in case a run does not end on its own.
    const int raw =
        std::system(("timeout 20 " + Command(arguments) + " < /dev/null > /dev/null").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0, ReadAll(err), ReadAll(trace)};
  }

  // Runs on a pseudo-terminal; once `waitFor` shows on stderr, types `keys`
  // (Ctrl-C is "\x03") or sends `signal`, and waits for the end.
  Ended RunOnTerminal(const std::string& arguments, const std::string& waitFor,
                      const std::string& keys, int signal = 0) {
    fs::remove(err);
    fs::remove(trace);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
      const std::string command = "exec " + Command(arguments);
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 1000 && ReadAll(err).find(waitFor) == std::string::npos; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto start = Clock::now();
    if (signal != 0) kill(pid, signal);
    for (char c : keys) {
      EXPECT_EQ(write(master, &c, 1), 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int status = 0;
    for (int i = 0; i < 1000 && waitpid(pid, &status, WNOHANG) == 0; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (waitpid(pid, &status, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    close(master);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds, ReadAll(err), ReadAll(trace)};
  }
};

TEST_F(CliEndings, CtrlCAndSigtermAtAQuestionReleaseTheStation) {
  const std::string sample = sim::WriteSamplePackage(dir.Folder() + "paket");
  struct Case {
    const char* name;
    std::string keys;
    int signal;
  } cases[] = {
      {"Ctrl-C", "\x03", 0},
      {"Ctrl-C twice", "\x03\x03", 0},
      {"SIGTERM", "", SIGTERM},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Ended e = RunOnTerminal("--simulate update '" + sample + "'", "(j/n)", c.keys, c.signal);
    EXPECT_EQ(e.status, 1) << e.err;
    EXPECT_LT(e.seconds, 5.0);
    EXPECT_NE(e.err.find("Abgebrochen.\nDie Zentrale ist aus dem Update-Mode genommen.\n"
                         "Update fehlgeschlagen: abgebrochen\n"),
              std::string::npos)
        << e.err;
    EXPECT_EQ(Count(e.trace, kRelease), 1u) << e.trace;
    // Nothing of the firmware was sent after the question.
    EXPECT_EQ(e.err.find("0%"), std::string::npos);
  }
}

TEST_F(CliEndings, SigtermDuringASimulatedTransferReleasesTheStation) {
  const std::string sample = sim::WriteSamplePackage(dir.Folder() + "paket");
  // The trace goes into a pipe read here line by line: the run, in virtual time,
  // can go no further ahead than the pipe holds.
  ASSERT_EQ(mkfifo(trace.c_str(), 0600), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string command = "exec " + Command("--simulate --yes update '" + sample + "'");
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::ifstream pipe(trace);
  std::string line;
  int messages = 0;
  bool releaseSeen = false;
  while (std::getline(pipe, line)) {
    // Well into the firmware transfer.
    if (++messages == 3000) kill(pid, SIGTERM);
    if (messages > 3000 && line.find(kRelease) != std::string::npos) releaseSeen = true;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string e = ReadAll(err);
  EXPECT_NE(e.find("Die Zentrale ist aus dem Update-Mode genommen.\n"), std::string::npos) << e;
  EXPECT_EQ(e.find("Firmware ok!"), std::string::npos);
  EXPECT_TRUE(releaseSeen);
}

TEST_F(CliEndings, UnattendedRunsEndOnTheirOwn) {
  const std::string sample = sim::WriteSamplePackage(dir.Folder() + "paket");

  const Ended done = Run("--simulate --yes update '" + sample + "'");
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_NE(done.err.find("Update beendet\n"), std::string::npos);
  EXPECT_NE(done.err.find("Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben\n"
                          "Dauer: "),
            std::string::npos)
      << done.err;
  EXPECT_NE(done.err.find("Firmware: 63 Seiten geschrieben, 63 geprüft, 0 wiederholt\n"),
            std::string::npos);
  EXPECT_LT(Count(done.err, "\n"), 60u) << done.err;
  EXPECT_EQ(Count(done.trace, kRelease), 1u);

  // --yes waits for a restart about five minutes, then gives up.
  const Ended never = Run("--simulate --yes --sim-never-restart update '" + sample + "'");
  EXPECT_EQ(never.status, 1);
  EXPECT_EQ(Count(never.err, "weiter warten?"), 4u) << never.err;
  EXPECT_EQ(Count(never.err, "(j/n) j"), 4u) << "the firmware question and three waits";
  EXPECT_NE(never.err.find("Update fehlgeschlagen: SKY RELAY meldet sich nicht zurück!"),
            std::string::npos)
      << never.err;
  EXPECT_EQ(Count(never.trace, kRelease), 1u);

  // A language file gone: its texts are not written, and the run says so.
  fs::remove(dir.path() / "paket/texte/english.txt");
  const Ended shortRun = Run("--simulate --yes update '" + sample + "'");
  EXPECT_EQ(shortRun.status, 1);
  EXPECT_NE(shortRun.err.find("Update fehlgeschlagen: " + (dir.path() / "paket").string()),
            std::string::npos)
      << shortRun.err;
  EXPECT_NE(shortRun.err.find("english.txt Datei nicht gefunden!"), std::string::npos);
}

TEST_F(CliEndings, RefusalsBeforeThePortOpens) {
  const std::string sample = sim::WriteSamplePackage(dir.Folder() + "paket");
  const std::string empty = dir.Write("leer.tup", "FUNKVERSION=2.1\r\n");
  struct Case {
    std::string arguments;
    int status;
    std::string text;
  } cases[] = {
      {"--yes update '" + sample + "'", 1, "Kein Interface gewählt.\nBitte --interface 1 oder 3"},
      {"--yes --interface 2 --port 1 update '" + sample + "'", 1,
       "Interface 71530 öffnet keinen Port.\nBitte --interface 1 oder 3 und --port angeben"},
      {"--yes --interface 3 update '" + sample + "'", 1, "Kein ComPort gewählt."},
      {"--simulate --yes update '" + empty + "'", 1, "Keine Update-Datei: " + empty},
      {"--simulate update '" + sample + "'", 2, "Bitte --yes (jede Frage mit Ja) oder --no"},
  };
  for (const Case& c : cases) {
    const Ended e = Run(c.arguments);
    EXPECT_EQ(e.status, c.status) << c.arguments << "\n" << e.err;
    EXPECT_NE(e.err.find(c.text), std::string::npos) << c.arguments << "\n" << e.err;
    EXPECT_EQ(e.trace, "") << c.arguments;
  }
}

}  // namespace
}  // namespace skyrelay
