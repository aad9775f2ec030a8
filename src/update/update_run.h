// The whole update as the "Update" command runs it, once the port is open.
#pragma once

#include <string>

#include "core/context.h"

namespace skyrelay {

void EnterStationUpdateMode(Context& ctx, int& errorFlag);
void LeaveStationUpdateMode(Context& ctx);
void RunUpdate(Context& ctx);

// True when the last run ended the way a user would call a success: "Update
// beendet", the station (when it was asked into update mode) confirmed its
// release, the configuration transfer (when it ran) returned 0 and showed no
// message, and the
// firmware stage ended with "Firmware ok!", found no firmware file for the
// handheld's kind, or was declined by the user.
bool LastRunSucceeded(const Context& ctx);

// One line that says how the last run ended: "Update erfolgreich: " and what
// was done, or "Update fehlgeschlagen: " and the first error (firstError: the
// first error message the front end showed during the run, as one line).
std::string RunVerdict(const Context& ctx, const std::string& firstError);

// Keeps the first error a run showed, for RunVerdict: a message box with the
// stop or critical icon (not the notice before the installation), or the
// restart question answered No. Front ends call it for every box they show.
void NoteRunError(std::string& firstError, const std::string& text, const std::string& title,
                  Icon icon, Buttons buttons, Answer answer);

}  // namespace skyrelay
