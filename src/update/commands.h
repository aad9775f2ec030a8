// The user's commands as both programs offer them.
#pragma once

#include "core/context.h"

namespace skyrelay {

// "Update": shows "Start", opens the port afresh (a port test may have left it
// open), runs the update and closes the port. An interface that goes away ends
// the run at once with one message. False when the port could not be opened
// (the run did not start).
bool UpdateCommand(Context& ctx);

// The port test commands "in" (wait for the answer) and "out" (no wait): opens
// the port when it is closed, sends the handheld's wake-up request and shows the
// last result (0 or 1) in the status line. Returns that result.
int PortTestCommand(Context& ctx, bool noWait);

}  // namespace skyrelay
