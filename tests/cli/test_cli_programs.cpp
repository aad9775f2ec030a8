// The command-line program and the pseudo-terminal simulator, run as the user
// runs them: exit statuses, texts, and one update over a real pseudo-terminal.
#include <gtest/gtest.h>
#include <signal.h>
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

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class CliTest : public ::testing::Test {
 protected:
  testfiles::TempDir dir;

  // Runs the command-line program with stdin from /dev/null (no terminal).
  Result Cli(const std::string& arguments) {
    const fs::path out = dir.path() / "out.txt";
    const fs::path err = dir.path() / "err.txt";
    const std::string command = std::string(SKYRELAY_CLI_PATH) + " --settings '" +
                                (dir.path() / "settings.cfg").string() + "' " + arguments +
                                " < /dev/null > '" + out.string() + "' 2> '" + err.string() + "'";
    const int raw = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
  }

  std::string Sample() { return sim::WriteSamplePackage(dir.Folder() + "paket"); }

  // A package with a little configuration data and no firmware: quick in real time.
  std::string SmallPackage() {
    dir.Write("klein/liste.bin", std::string(512, '\x01'));
    const sim::ByteVector c = sim::CharacterBytes(0, 3, 9);
    dir.Write("klein/z.bin", std::string(c.begin(), c.end()));
    return dir.Write("klein/klein.tup", "WEICHENLISTE=liste.bin\r\nZEICHEN=z.bin\r\n");
  }
};

TEST_F(CliTest, UsageErrorsAndHelp) {
  EXPECT_EQ(Cli("").status, 2);
  EXPECT_EQ(Cli("frobnicate").status, 2);
  EXPECT_EQ(Cli("--bogus update").status, 2);
  EXPECT_EQ(Cli("--interface 5 update x.tup").status, 2);
  EXPECT_EQ(Cli("check").status, 2);
  EXPECT_EQ(Cli("--simulate update").status, 2) << "no file given and none remembered";
  const Result help = Cli("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("update [DATEI.TUP]"), std::string::npos);
  EXPECT_EQ(Cli("--version").status, 0);
}

TEST_F(CliTest, SimulatedUpdateOfTheSamplePackage) {
  const Result r = Cli("--simulate --yes update '" + Sample() + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Firmware ok!"), std::string::npos);
  EXPECT_NE(r.err.find("neue Konfiguration"), std::string::npos);
  EXPECT_NE(r.err.find("Update beendet"), std::string::npos);
  EXPECT_NE(r.err.find("== Update 58400 ==\n     Firmware-Update ok!"), std::string::npos);
}

TEST_F(CliTest, ExitStatusFollowsHowTheRunEnded) {
  const std::string sample = Sample();
  struct Case {
    std::string options;
    int status;
    std::string seen;
  } cases[] = {
      // Declined by the user: not a failure. Nobody to ask: refused.
      {"--no", 0, "Update beendet"},
      {"", 2, "Bitte --yes (jede Frage mit Ja) oder --no (mit Nein) angeben."},
      {"--no --sim-texts NONE", 1, "Fehler beim Update"},
      {"--yes --sim-corrupt-page 0x300200:5", 1, "Flash Block kann nicht beschrieben werden!"},
      {"--yes --sim-article 58401", 1, "== Fehler ==\nFehler!"},
      {"--yes --sim-wrong-version", 1, "Es wurde die falsche Version nach dem Update gelesen!"},
      {"--yes --sim-silent-handheld", 1, "PM01= 20"},
  };
  for (const Case& c : cases) {
    const Result r = Cli("--simulate " + c.options + " update '" + sample + "'");
    EXPECT_EQ(r.status, c.status) << c.options << "\n" << r.err;
    EXPECT_NE(r.err.find(c.seen), std::string::npos) << c.options << "\n" << r.err;
  }
}

TEST_F(CliTest, RemembersThePackageWithSave) {
  const std::string sample = Sample();
  EXPECT_EQ(Cli("--simulate --no --save --port 7 --interface 3 update '" + sample + "'").status, 0);
  const std::string settings = ReadAll(dir.path() / "settings.cfg");
  EXPECT_EQ(settings, fs::absolute(sample).string() + "\r\n3\r\n7\r\n");
  const Result again = Cli("--simulate --no update");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find("Update beendet"), std::string::npos);
}

TEST_F(CliTest, CheckReportsEachFault) {
  const std::string sample = Sample();
  const Result sound = Cli("check '" + sample + "'");
  EXPECT_EQ(sound.status, 0) << sound.out;

  dir.Write("paket/texte/english.txt", "00: GOOD\r\n\r\n02: AFTER\r\n");
  fs::remove(dir.path() / "paket/zeichen/zeichen2.bin");
  dir.Write("paket/weichen/liste.bin", std::string(100, '\0'));
  const Result broken = Cli("check '" + sample + "'");
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.out.find("english.txt:2:"), std::string::npos) << broken.out;
  EXPECT_NE(broken.out.find("zeichen2.bin"), std::string::npos) << broken.out;
  EXPECT_NE(broken.out.find("liste.bin"), std::string::npos) << broken.out;
}

// The simulator behind a pseudo-terminal, and the program talking to it as to a
// real interface.
class PtySimulator {
 public:
  PtySimulator(const fs::path& link, const std::string& options) : link_(link) {
    pid_ = fork();
    if (pid_ == 0) {
      const std::string command = std::string("exec ") + SKYRELAY_SIM_PATH + " --link '" +
                                  link.string() + "' " + options + " > /dev/null 2>&1";
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 200 && !fs::exists(link); i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~PtySimulator() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  bool Ready() const { return fs::exists(link_); }

 private:
  fs::path link_;
  pid_t pid_;
};

TEST_F(CliTest, UpdateOverAPseudoTerminal) {
  const fs::path link = dir.path() / "loconet";
  PtySimulator sim(link, "--station-id none");
  ASSERT_TRUE(sim.Ready());
  const fs::path trace = dir.path() / "trace.txt";
  const Result r = Cli("--port '" + link.string() + "' --interface 3 --yes --trace '" +
                       trace.string() + "' update '" + SmallPackage() + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Fehler im Updatefile!"), std::string::npos) << "no firmware named";
  EXPECT_NE(r.err.find("Weichenliste"), std::string::npos);
  EXPECT_NE(r.err.find("Update beendet"), std::string::npos);
  const std::string t = ReadAll(trace);
  EXPECT_NE(t.find("-> ED 0F 01 4E 51 07"), std::string::npos) << "station asked";
  EXPECT_NE(t.find("<- B4 6D 7F 59  LONG_ACK"), std::string::npos);
}

TEST_F(CliTest, PortErrors) {
  const Result missing = Cli("--port /dev/does-not-exist --interface 3 ping --no-wait");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("ComPort Fehler!"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("/dev/does-not-exist"), std::string::npos) << missing.err;

  const fs::path link = dir.path() / "loconet";
  PtySimulator sim(link, "");
  ASSERT_TRUE(sim.Ready());
  const Result in = Cli("--port '" + link.string() + "' --interface 3 ping");
  EXPECT_EQ(in.status, 0) << in.err;
  const Result out = Cli("--port '" + link.string() + "' --interface 3 ping --no-wait");
  EXPECT_EQ(out.status, 0) << out.err;
}

TEST_F(CliTest, CtrlCReleasesTheStation) {
  const fs::path link = dir.path() / "loconet";
  PtySimulator sim(link, "");
  ASSERT_TRUE(sim.Ready());
  const fs::path err = dir.path() / "err.txt";
  const fs::path trace = dir.path() / "trace.txt";
  const std::string sample = Sample();
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string command = std::string("exec ") + SKYRELAY_CLI_PATH + " --settings '" +
                                (dir.path() / "s.cfg").string() + "' --port '" + link.string() +
                                "' --interface 3 --yes --trace '" + trace.string() + "' update '" +
                                sample + "' < /dev/null > /dev/null 2> '" + err.string() + "'";
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the station is in update mode and the firmware is being written.
  for (int i = 0; i < 1000 && ReadAll(err).find("0%") == std::string::npos; i++) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string e = ReadAll(err);
  EXPECT_NE(e.find("Zentrale wird aus dem Update-Mode genommen"), std::string::npos) << e;
  // The release: a station message with fields 3, 0, 0 and D1 = the boot loader version 5.
  EXPECT_NE(ReadAll(trace).find("-> ED 1F 08 4E 57 70 05 7F 7F 7F 70 00 00 00 00 30"),
            std::string::npos);
}

}  // namespace
}  // namespace skyrelay
