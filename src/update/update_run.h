// The whole update as the "Update" command runs it, once the port is open.
#pragma once

#include "core/context.h"

namespace skyrelay {

void EnterStationUpdateMode(Context& ctx, int& errorFlag);
void LeaveStationUpdateMode(Context& ctx);
void RunUpdate(Context& ctx);

// True when the last run ended the way a user would call a success: "Update
// beendet", the configuration transfer (when it ran) returned 0, and the
// firmware stage ended with "Firmware ok!", found no firmware file for the
// handheld's kind, or was declined by the user.
bool LastRunSucceeded(const Context& ctx);

}  // namespace skyrelay
