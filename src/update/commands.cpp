#include "update/commands.h"

#include <string>

#include "link/link.h"
#include "link/serial_setup.h"
#include "protocol/handheld.h"
#include "update/update_run.h"

namespace skyrelay {

bool UpdateCommand(Context& ctx) {
  ctx.host.SetStatus("Start");
  if (OpenPortForRun(ctx) != 0) return false;
  try {
    RunUpdate(ctx);
  } catch (const LinkLostError&) {
    ctx.upd.runEnded = UpdateState::RunEnd::Failed;
    ReportLinkLost(ctx);
    return true;
  }
  if (ctx.host.Port().IsOpen()) TogglePort(ctx);
  return true;
}

int PortTestCommand(Context& ctx, bool noWait) {
  int result = 0;
  if (!ctx.host.Port().IsOpen()) result = TogglePort(ctx);
  try {
    result = send_pm01(ctx, noWait);
  } catch (const LinkLostError&) {
    ReportLinkLost(ctx);
    return 1;
  }
  ctx.host.SetStatus(std::to_string(result));
  return result;
}

}  // namespace skyrelay
