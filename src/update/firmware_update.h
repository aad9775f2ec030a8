// The firmware update of the handheld: version question, staging the image page
// by page with read-back, installation and restart, version read-back.
#pragma once

#include <optional>
#include <string>

#include "core/host.h"
#include "device/handheld.h"
#include "package/description.h"
#include "update/identify.h"

namespace skyrelay {

// How long the handheld may stay silent after the start of the installation
// before the user is asked whether to go on waiting.
inline constexpr double RestartQuestionSeconds = 70.0;

enum class FirmwareOutcome {
  NotRun,
  Ok,                   // installed, restarted and read back as the file's version
  NoFirmwareFile,       // the package has firmware, but none for the handheld's kind
  NoFirmwareInPackage,  // the package carries configuration data only
  Declined,             // the user said No to the version question
  NotApplicable,        // an article the firmware is not for
  Failed,               // any other end: see FirmwareResult::failure
};

// Where a failed firmware update ended.
enum class FirmwareFailure {
  None,
  BadFile,           // the file is gone, damaged or not in record order
  PageNotWritten,    // a page read back wrong too often
  Command,           // a command got no answer (see `error`)
  RestartAbandoned,  // the user stopped waiting for the restart
  WrongLoco,         // the restarted handheld asked for another loco
  WrongVersion,      // the restarted handheld reports another version
};

struct FirmwareResult {
  FirmwareOutcome outcome = FirmwareOutcome::NotRun;
  FirmwareFailure failure = FirmwareFailure::None;
  std::optional<CommandError> error;
  // The phase a command failed in: 1 staging, 2 the last page, 3 the expected
  // loco, 4 the wake-up after the restart, 5 the new version.
  int phase = 0;
  // Each write of a whole page, those that read back right, and those written
  // again after a wrong read-back.
  int pagesWritten = 0;
  int pagesVerified = 0;
  int pagesRepeated = 0;
  std::string installedVersion;  // read back after an update that ended Ok
  // Whether the configuration may follow: not after the user declined, a bad
  // file or a failed command.
  bool configurationMayFollow = true;
};

// Fills `result` as it goes: a run stopped in the middle (Ctrl-C, the
// interface gone) still knows how many pages were written.
void UpdateHandheldFirmware(Host& host, Handheld& handheld, Description& description,
                            const HandheldIdentity& identity, const std::string& productName,
                            FirmwareResult& result);

}  // namespace skyrelay
