#include "update/commands.h"

#include <string>

#include "link/link.h"
#include "link/serial_setup.h"
#include "protocol/handheld.h"
#include "update/update_run.h"

namespace skyrelay {

bool UpdateCommand(Context& ctx) {
  ctx.host.SetStatus("Start");
  bool opened = false;
  try {
    if (OpenPortForRun(ctx) != 0) return false;
    opened = true;
    RunUpdate(ctx);
  } catch (const LinkLostError&) {
    ctx.upd.runEnded = UpdateState::RunEnd::Failed;
    ReportLinkLost(ctx);
    return opened;
  }
  if (ctx.host.Port().IsOpen()) TogglePort(ctx);
  return true;
}

int PortTestCommand(Context& ctx, bool noWait) {
  int result = 0;
  try {
    if (!ctx.host.Port().IsOpen()) result = TogglePort(ctx);
    result = send_pm01(ctx, noWait);
  } catch (const LinkLostError&) {
    ReportLinkLost(ctx);
    return 1;
  }
  ctx.host.SetStatus(std::to_string(result));
  return result;
}

}  // namespace skyrelay
