// The user's commands as both programs offer them.
#pragma once

#include <string>

#include "core/translate.h"
#include "run/context.h"

namespace skyrelay {

// The hint the desktop program gives when the interface or the port is missing.
inline std::string SettingsHint() {
  return Tr("Run", "Bitte zuerst unter Datei → Einstellungen Interface und ComPort wählen.");
}

// Which setting keeps "Update" from opening a port (no interface, interface 2,
// no port), as one sentence; empty when both are set.
std::string MissingPortSetting(const Settings& settings);

// Loads the update description at path into ctx.desc and shows what kept it
// from loading as both programs do: one message box for the problem, the
// status text when character files were ignored, and the two version labels
// when it loaded. True when it loaded without a problem.
bool LoadUpdateDescription(Context& ctx, const std::string& path);

// Keeps in ctx.report why the port set-up failed: the notice as the first
// error and, for a port that did not open, its failure and the ports there are.
void RecordSetupFailure(Context& ctx, const Notice& notice);

// Checks the whole package at ctx.settings.UpdateFilePath as the package check
// does. On a problem (warnings aside) it shows one box naming every problem,
// keeps them in ctx.report and returns false.
bool CheckPackageBeforeRun(Context& ctx);

// "Update": refuses a description that names nothing and a missing interface
// or port (with settingsHint: where to set them) and a package with a problem,
// without opening the port;
// otherwise shows "Start", opens the port afresh (a port test may have left it
// open), runs the update and closes the port. An interface that goes away ends
// the run at once with one message. False when the run did not start; the
// report then says whether it was cancelled. Nothing thrown inside leaves it.
bool UpdateCommand(Context& ctx, const std::string& settingsHint = SettingsHint());

// The port test commands "in" (wait for the answer) and "out" (no wait): opens
// the port when it is closed, sends the handheld's wake-up request and shows the
// result (0 or 1) in the status line. True when it was answered (or sent).
bool PortTestCommand(Context& ctx, bool noWait);

}  // namespace skyrelay
