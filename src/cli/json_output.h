// skyrelay-update-cli --json: one JSON object a line on standard output, for
// scripts that drive the program. Every object is built from the core's typed
// events (status, progress, notices) and the commands' typed results; keys and
// codes never depend on the language of the texts beside them.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "package/package_problem.h"
#include "qt/serial_ports.h"
#include "run/backup.h"
#include "run/info.h"
#include "run/report.h"
#include "run/rescue.h"

namespace skyrelay {
class JsonWriter;
}

namespace skyrelay::cli {

class JsonOutput : public ConsoleObserver {
 public:
  // Writes each object to `out` as one line, flushed at once. `command`: the
  // command the program runs.
  JsonOutput(std::FILE* out, std::string command);
  ~JsonOutput() override;
  JsonOutput(const JsonOutput&) = delete;
  JsonOutput& operator=(const JsonOutput&) = delete;

  // On standard output, which from now on carries the JSON lines alone: what
  // the program prints there otherwise goes to standard error.
  static std::unique_ptr<JsonOutput> OnStandardOutput(std::string command);

  // The console's events: "status", "stage" and "progress", "message" and "question".
  void OnStatus(const StatusLine& status) override;
  void OnProgress(const RunProgress& progress) override;
  void OnShown(const ShownMessage& shown, std::optional<NoticeKind> kind, std::string_view ownKind,
               bool risky, std::optional<Answer> answer) override;

  // The commands' results.
  void Check(const std::string& path, const std::vector<PackageProblem>& problems);
  void Info(const DeviceInfo& info);
  void Ports(const std::vector<SerialPortEntry>& ports);
  void Backup(const std::string& path, const BackupCommandResult& result,
              const std::vector<FlashArea>& areas);
  void Restore(const std::string& path, const RestoreResult& result);
  void ReleaseResult(const StationRelease& release, const std::string& port, int interfaceKind,
                     bool afterInterruptedRun);

  // What went wrong when the world's report does not say it (a usage error, a
  // file that cannot be used): the final report's error code and text.
  void Fail(std::string code, std::string text);
  // The command began (the world's clock) and ended with this world: its
  // report, the answers repeated and the clock are kept for the final report.
  void Began(double now) { began_ = now; }
  void Ended(const RunReport& report, long answersRepeated, double now);

  // The final "report" object; `signal`: the signal that ended the program, or 0.
  void Report(int exitStatus, int signal);

 private:
  struct Failure {
    std::string code;
    std::string text;
  };
  // Writes a line; Emit first writes the last of a run of counting statuses.
  void Write(const std::string& line);
  void Emit(const JsonWriter& w);
  void FlushCounter();

  std::FILE* out_;
  std::string command_;
  std::optional<Failure> failure_;
  std::optional<RunReport> report_;
  long answersRepeated_ = 0;
  double began_ = 0;
  double ended_ = 0;
  double wallBegan_ = 0;
  std::optional<std::string> backupPath_;
  std::optional<int> pagesWritten_;
  // What the last objects said, to leave out what only repeats it.
  int lastStage_ = -1;
  int lastPercent_ = -1;
  bool lastStageComplete_ = false;
  std::string lastCounterKey_;
  std::string skippedCounter_;
};

}  // namespace skyrelay::cli
