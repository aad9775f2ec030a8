// The command-line program on a pseudo-terminal whose far side goes away, or is
// held by another program; and the trace of a damaged answer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
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

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

// Starts a program with stdin from /dev/null, stdout into a pipe (when asked)
// and stderr into a file.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& err, int* out = nullptr) {
  int pipeFds[2] = {-1, -1};
  if (out && pipe(pipeFds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out ? pipeFds[1] : e, 1);
    dup2(e, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (out) {
    close(pipeFds[1]);
    *out = pipeFds[0];
  }
  return pid;
}

// The simulator's device path, the first line it prints.
std::string FirstLine(int fd) {
  std::string line;
  char c;
  while (read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// CPU seconds a running process has used so far.
double CpuSeconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(f)), {});
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; i++) {
    if (i == 14 || i == 15) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Waits up to `seconds` for the process to end; -1 when it did not (it is then killed).
int WaitFor(pid_t pid, double seconds, rusage* usage = nullptr) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  rusage ignored{};
  while (Clock::now() < end) {
    if (wait4(pid, &status, WNOHANG, usage ? usage : &ignored) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

struct LinkTest : ::testing::Test {
  testfiles::TempDir dir;
  std::vector<std::string> Cli(const std::string& port, std::vector<std::string> rest) {
    std::vector<std::string> args{
        SKYRELAY_CLI_PATH, "--settings", dir.Folder() + "s.cfg", "--port", port,
        "--interface",     "3"};
    args.insert(args.end(), rest.begin(), rest.end());
    return args;
  }
};

// The interface vanishes mid-firmware: one message naming the port, exit 1 within
// seconds, and no busy waiting meanwhile.
TEST_F(LinkTest, VanishingInterfaceEndsTheProgramWithinSeconds) {
  const std::string tup = sim::WriteSamplePackage(dir.Folder() + "paket");
  int simOut = -1;
  const pid_t simPid =
      Spawn({SKYRELAY_SIM_PATH, "--vanish-after", "120"}, dir.path() / "sim.txt", &simOut);
  const std::string pty = FirstLine(simOut);
  ASSERT_FALSE(pty.empty());
  const fs::path err = dir.path() / "cli.txt";
  const pid_t cli = Spawn(Cli(pty, {"--yes", "update", tup}), err);

  ASSERT_EQ(WaitFor(simPid, 60), 0) << ReadAll(dir.path() / "sim.txt");
  const auto vanished = Clock::now();
  const double cpuBefore = CpuSeconds(cli);
  rusage usage{};
  const int status = WaitFor(cli, 30, &usage);
  const double seconds = std::chrono::duration<double>(Clock::now() - vanished).count();
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  close(simOut);

  const std::string text = ReadAll(err);
  EXPECT_EQ(status, 1) << text;
  EXPECT_LT(seconds, 3.0) << text;
  EXPECT_LT(cpu - cpuBefore, 0.05 * seconds + 0.1) << "busy after the interface vanished";
  // One message box; the verdict line repeats its text once.
  EXPECT_EQ(Count(text, "\nDie Verbindung zum Interface an " + pty + " ist unterbrochen."), 1u)
      << text;
  EXPECT_EQ(Count(text, "Update fehlgeschlagen: Die Verbindung zum Interface"), 1u) << text;
  EXPECT_EQ(Count(text, "Timeout"), 0u) << text;
  std::printf(
      "[ figures  ] exit %.2f s after the interface vanished, %.3f s CPU meanwhile "
      "(%.3f s CPU in all)\n",
      seconds, cpu - cpuBefore, cpu);
}

// A port that another program holds is busy, and says by whom; no dialout advice.
TEST_F(LinkTest, PortHeldByAnotherProgramSaysItIsInUse) {
  int simOut = -1;
  const pid_t simPid =
      Spawn({SKYRELAY_SIM_PATH, "--silent-handheld"}, dir.path() / "sim.txt", &simOut);
  const std::string pty = FirstLine(simOut);
  ASSERT_FALSE(pty.empty());
  const pid_t holder = Spawn(Cli(pty, {"ping"}), dir.path() / "holder.txt");
  std::this_thread::sleep_for(std::chrono::milliseconds(700));

  const pid_t second = Spawn(Cli(pty, {"ping", "--no-wait"}), dir.path() / "second.txt");
  EXPECT_EQ(WaitFor(second, 20), 1);
  const std::string text = ReadAll(dir.path() / "second.txt");
  EXPECT_NE(text.find("Der Port " + pty + " wird von einem anderen Programm benutzt: Prozess " +
                      std::to_string(holder)),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("dialout"), std::string::npos) << text;

  kill(holder, SIGKILL);
  WaitFor(holder, 5);
  kill(simPid, SIGTERM);
  WaitFor(simPid, 5);
  close(simOut);
}

// A damaged answer is marked in the trace, and the run does not take it as data.
TEST_F(LinkTest, TraceMarksADamagedAnswer) {
  const std::string tup = dir.Write("klein/klein.tup", "WEICHENLISTE=liste.bin\r\n");
  dir.Write("klein/liste.bin", std::string(512, '\x01'));
  const fs::path trace = dir.path() / "trace.txt";
  const pid_t cli =
      Spawn({SKYRELAY_CLI_PATH, "--settings", dir.Folder() + "s.cfg", "--simulate", "--yes",
             "--sim-damage-answers", "1", "--trace", trace.string(), "update", tup},
            dir.path() / "cli.txt");
  EXPECT_EQ(WaitFor(cli, 60), 0) << ReadAll(dir.path() / "cli.txt");
  EXPECT_EQ(Count(ReadAll(trace), "Prüfsumme falsch"), 1u) << ReadAll(trace);
}

}  // namespace
}  // namespace skyrelay
