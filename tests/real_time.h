// Helpers of the tests that run the real programs in real time: reading their
// output files and polling for what they do.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace skyrelay::test {

using Clock = std::chrono::steady_clock;

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ostringstream s;
  s << std::ifstream(p, std::ios::binary).rdbuf();
  return s.str();
}

// How often `part` occurs in `text` (overlapping occurrences count).
inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

inline double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Polls `done` every 10 ms for at most `seconds`.
template <class Done>
bool Within(double seconds, Done done) {
  for (const auto start = Clock::now(); !done();
       std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
    if (Since(start) > seconds) return false;
  }
  return true;
}

// In a child about to run a program: the signals as a login shell leaves them,
// whatever the test runner ignored or blocked.
inline void DefaultSignals() {
  for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE}) ::signal(signal, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Runs `command` in the shell, on a new pseudo-terminal when `terminal` is given;
// with the hang-up ignored when asked (as "trap '' HUP" in a script does); with
// `outputClosed` its standard output and error are a pipe nobody reads any more.
inline pid_t Spawn(const std::string& command, int* terminal = nullptr, bool hangUpIgnored = false,
                   bool outputClosed = false) {
  const pid_t pid = terminal ? forkpty(terminal, nullptr, nullptr, nullptr) : fork();
  if (pid == 0) {
    DefaultSignals();
    if (hangUpIgnored) ::signal(SIGHUP, SIG_IGN);
    int ends[2];
    if (outputClosed && pipe(ends) == 0) {
      close(ends[0]);
      dup2(ends[1], 1);
      dup2(ends[1], 2);
    }
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Other programs started later must not hold the terminal open: closing it
  // here is its hang-up.
  if (terminal && *terminal >= 0) fcntl(*terminal, F_SETFD, FD_CLOEXEC);
  return pid;
}

// The exit status when the process ends within `seconds` (128 + the signal that
// ended it), else -1 (and it is killed).
inline int Wait(pid_t pid, double seconds) {
  int status = 0;
  const bool ended = Within(seconds, [&] { return waitpid(pid, &status, WNOHANG) == pid; });
  if (!ended && kill(pid, SIGKILL) == 0) waitpid(pid, &status, 0);
  if (!ended) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// What a program run through the shell printed and how it ended.
struct Ran {
  int status = -1;  // the exit status; -1 when it did not exit
  std::string out;  // what `command` writes to standard output
};

// Runs `command` through the shell and waits for its end.
inline Ran RunShell(const std::string& command) {
  Ran ran;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return ran;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) ran.out.append(buffer, n);
  const int status = pclose(pipe);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ran;
}

}  // namespace skyrelay::test
