#include "update/update_run.h"

#include <string>

#include "config/transfer.h"
#include "link/link.h"
#include "protocol/station.h"
#include "update/firmware_update.h"
#include "update/identify.h"

namespace skyrelay {

void EnterStationUpdateMode(Context& ctx, int& errorFlag) {
  AnswerState& a = ctx.ans;
  if (read_station_id(ctx) != 0) a.StationIdNumber = 0;
  const std::string digits = std::to_string(a.StationIdNumber);
  a.StationIdNumber = std::stoll(digits.substr(0, 2));
  ctx.upd.UpdateModeActive = 0;
  errorFlag = 0;
  if (a.StationIdNumber != 12 && a.StationIdNumber != 42) return;

  ctx.host.SetStatus("Zentrale Update-Mode");
  if ((errorFlag = enter_boot_loader(ctx)) != 0) return;
  WaitSeconds(ctx, 1);
  if ((errorFlag = station_clear(ctx)) != 0) return;
  if ((errorFlag = station_set_value(ctx, 10, 50)) != 0) return;
  if ((errorFlag = station_send_text(ctx, "Update " + ctx.ProductName)) != 0) return;
  ctx.upd.UpdateModeActive = 1;
}

void LeaveStationUpdateMode(Context& ctx) {
  if (ctx.upd.UpdateModeActive == 1) finish_update_mode(ctx);
}

void RunUpdate(Context& ctx) {
  ctx.upd.firmwareOutcome = UpdateState::FirmwareOutcome::NotRun;
  ctx.upd.configurationResult = -1;
  ctx.upd.runEnded = UpdateState::RunEnd::NotRun;
  int errorFlag = 0;
  std::string versionText;
  std::string articleNumber;

  EnterStationUpdateMode(ctx, errorFlag);
  if (errorFlag == 0) IdentifyHandheld(ctx, versionText, articleNumber, errorFlag);
  if (errorFlag != 0) {
    ctx.host.SetStatus("Fehler beim Update");
    ctx.upd.runEnded = UpdateState::RunEnd::Failed;
    LeaveStationUpdateMode(ctx);
    return;
  }
  UpdateHandheldFirmware(ctx, versionText, articleNumber, errorFlag);
  if (errorFlag == 0) {
    TransferConfiguration(ctx, errorFlag);
    ctx.upd.configurationResult = errorFlag;
  }
  LeaveStationUpdateMode(ctx);
  ctx.host.SetStatus("Update beendet");
  ctx.upd.runEnded = UpdateState::RunEnd::Finished;
}

bool LastRunSucceeded(const Context& ctx) {
  using Outcome = UpdateState::FirmwareOutcome;
  const UpdateState& u = ctx.upd;
  if (u.runEnded != UpdateState::RunEnd::Finished) return false;
  if (u.configurationResult > 0) return false;
  return u.firmwareOutcome == Outcome::Ok || u.firmwareOutcome == Outcome::NoFirmwareFile ||
         u.firmwareOutcome == Outcome::Declined;
}

}  // namespace skyrelay
