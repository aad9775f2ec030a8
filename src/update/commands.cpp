#include "update/commands.h"

#include <string>

#include "link/serial_setup.h"
#include "protocol/handheld.h"
#include "update/update_run.h"

namespace skyrelay {

bool UpdateCommand(Context& ctx) {
  ctx.host.SetStatus("Start");
  if (TogglePort(ctx) != 0) return false;
  RunUpdate(ctx);
  if (ctx.host.Port().IsOpen()) TogglePort(ctx);
  return true;
}

int PortTestCommand(Context& ctx, bool noWait) {
  int result = 0;
  if (!ctx.host.Port().IsOpen()) result = TogglePort(ctx);
  result = send_pm01(ctx, noWait);
  ctx.host.SetStatus(std::to_string(result));
  return result;
}

}  // namespace skyrelay
