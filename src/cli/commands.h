// The commands of skyrelay-update-cli; each returns the program's exit status.
#pragma once

#include "cli/setup.h"

namespace skyrelay::cli {

// The update with the package given or remembered, as the "Update" button runs it.
int RunUpdateCommand(Session& s);
// The port test "in", or "out" with --no-wait.
int RunPingCommand(Session& s);
// Reads the station's and the handheld's identification, writing nothing.
int RunInfoCommand(Session& s);
// Takes the command station out of its update mode, as at the end of a run:
// after an interrupted run on that run's port and interface (unless --port or
// --interface are given). 0 when the station confirmed it.
int RunReleaseCommand(Session& s);
// Says what the note of an interrupted run tells (or that it is damaged), at
// the start of update, info, ping and release; `hint`: how to release.
void TellInterruptedRun(Session& s, bool hint);
// Reads the handheld's data into a backup file, writing nothing.
int RunBackupCommand(Session& s);
// Writes a backup file back into the handheld, after a question.
int RunRestoreCommand(Session& s);
// Checks the package named on the command line, without a world or port.
int RunCheckCommand(Session& s);
// The serial ports found, one a line: the device, then what is known about it.
// With --json also as one object.
int RunPortsCommand(JsonOutput* json);

}  // namespace skyrelay::cli
