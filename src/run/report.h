// What an update run did, as data: the verdict line, the exit status and the
// desktop's status line are made from this alone.
#pragma once

#include <optional>
#include <string>

#include "config/transfer.h"
#include "core/events.h"
#include "device/device_link.h"
#include "update/firmware_update.h"
#include "update/identify.h"

namespace skyrelay {

enum class RunEnd { NotRun, Finished, Failed, Cancelled };

// The station's release at the end of a run that asked for its update mode.
enum class Release { NotNeeded, Confirmed, Unconfirmed };

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
  ConfigurationResult configuration;
  Release release = Release::NotNeeded;
  // What ended the run when nothing else should have (an exception).
  std::string unexpectedError;
  // The first failure the run told the user of, and how a question was answered.
  std::optional<Notice> firstError;
  double startedAt = 0;
  double endedAt = 0;
};

// Keeps `notice` as the run's first error when it is the first failure told:
// a failure notice, or the restart question answered No.
void NoteFirstError(RunReport& report, const Notice& notice, Answer answer);

// True when the run ended the way a user would call a success: it finished,
// the station (when it was asked into update mode) confirmed its release, the
// configuration transfer (when it ran) went through without a shortfall, and
// the firmware stage ended Ok, found no firmware file for the handheld's kind,
// or was declined by the user.
bool RunSucceeded(const RunReport& report);

// One line that says how the run ended: "Update erfolgreich: " and what was
// done, or "Update fehlgeschlagen: " and the first error.
std::string RunVerdict(const RunReport& report);

}  // namespace skyrelay
