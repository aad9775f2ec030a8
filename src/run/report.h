// What an update run did, as data: the verdict line, the exit status and the
// desktop's status line are made from this alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/transfer.h"
#include "core/events.h"
#include "core/host.h"
#include "device/device_link.h"
#include "package/package_problem.h"
#include "update/firmware_update.h"
#include "update/identify.h"

namespace skyrelay {

enum class RunEnd { NotRun, Finished, Failed, Cancelled };

// The station's release at the end of a run that asked for its update mode.
enum class Release { NotNeeded, Confirmed, Unconfirmed };

// Why the port of a run did not open.
struct PortProblem {
  PortFailure failure = PortFailure::None;
  std::string port;                    // the device the settings name
  std::vector<std::string> available;  // the serial ports there are
};

// The backup of the user's data before the configuration is written.
// Skipped: the handheld did not answer before the backup; the configuration
// that follows ends before it writes anything, so nothing was saved.
enum class BackupEnd { NotRun, Saved, ReadFailed, SaveFailed, Skipped };

struct BackupResult {
  BackupEnd end = BackupEnd::NotRun;
  // The file written (or meant to be).
  std::string path;
  // The read that got no answer (ReadFailed), or why the file was not saved (SaveFailed).
  std::optional<CommandError> error;
  std::string saveProblem;
  size_t bytes = 0;
  double seconds = 0;  // the time the backup took
};

struct RunReport {
  RunEnd end = RunEnd::NotRun;
  // The station did not take its update mode (see stationError), or the
  // handheld was not identified (see identification): nothing was written.
  bool endedBeforeHandheld = false;
  std::optional<CommandError> stationError;
  // The station answered none of the identification requests: the run went on
  // as for a station that needs no update mode.
  bool stationIdUnanswered = false;
  Identification identification;
  FirmwareResult firmware;
  BackupResult backup;
  ConfigurationResult configuration;
  Release release = Release::NotNeeded;
  // What ended the run when nothing else should have (an exception).
  std::string unexpectedError;
  // The first failure the run told the user of, and how a question was answered.
  std::optional<Notice> firstError;
  // What kept the run from starting: the port, or the package check's problems.
  std::optional<PortProblem> portProblem;
  std::vector<PackageProblem> packageProblems;
  // A risky question that the answer policy said No to (only --force says Yes).
  std::optional<Notice> refused;
  double startedAt = 0;
  double endedAt = 0;
  // Commands sent again because their answer did not come or came damaged.
  long answersRepeated = 0;
};

// Keeps `notice` as the run's first error when it is the first failure told:
// a failure notice, or the restart question answered No.
void NoteFirstError(RunReport& report, const Notice& notice, Answer answer);

// The likely cause of a failed run, for the sentence that tells the user what
// to do.
enum class RunCause {
  None,
  Cancelled,
  PortMissing,          // the chosen port does not exist
  PortNoPermission,     // the user may not open it
  PortInUse,            // another program has it
  PortUnusable,         // any other reason it did not open
  SettingMissing,       // no interface or port chosen
  PackageFileMissing,   // a file the description names is not there
  PackageBroken,        // the package check found problems
  NoEcho,               // the interface sends nothing back
  LinkLost,             // the interface went away during the run
  NoStation,            // the command station does not answer its update-mode commands
  NoHandheld,           // no handheld answers
  HandheldUnknown,      // the handheld was not recognised
  NoFirmwareForKind,    // the package has no firmware for the handheld's kind or article
  RefusedWithoutForce,  // a risky question that --yes alone answers No
  Declined,             // the user said No to the firmware
  HandheldSilent,       // the handheld stopped answering while being written
  PageNotWritten,       // a flash page did not take its data
  RestartProblem,       // the handheld did not come back as expected after the installation
  BackupFailed,         // the backup before the configuration could not be read or saved
  ConfigurationIncomplete,
  ReleaseUnconfirmed,
  Other,
};

RunCause CauseOf(const RunReport& report);
// One plain German sentence: the likely cause and what to do. Empty for a
// successful run.
std::string GermanCause(const RunReport& report);

// While it lives, every notice told through `host` goes to NoteFirstError of
// `report`.
class ReportWatch {
 public:
  ReportWatch(Host& host, RunReport& report) : host_(host) {
    host.onNotice = [&report](const Notice& notice, Answer answer) {
      NoteFirstError(report, notice, answer);
    };
  }
  ~ReportWatch() { host_.onNotice = nullptr; }
  ReportWatch(const ReportWatch&) = delete;
  ReportWatch& operator=(const ReportWatch&) = delete;

 private:
  Host& host_;
};

// True when the run ended the way a user would call a success: it finished,
// the station (when it was asked into update mode) confirmed its release, the
// configuration transfer (when it ran) went through without a shortfall, the
// user was shown no failure (a time-out or lost echo that the stage got over
// aside), no risky question was refused, and the firmware stage ended Ok, was
// declined by the user, or had nothing to do in a package of configuration data
// only.
bool RunSucceeded(const RunReport& report);

// One line that says how the run ended: "Update erfolgreich: " and what was
// done, or "Update fehlgeschlagen: ", the first error and, after " – ", its
// likely cause and what to do.
std::string RunVerdict(const RunReport& report);

}  // namespace skyrelay
