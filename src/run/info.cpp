#include "run/info.h"

#include <string>

#include "link/serial_setup.h"
#include "run/update_run.h"

namespace skyrelay {

std::optional<Notice> OpenPortRecorded(Context& ctx) {
  if (ctx.host.Port().IsOpen()) return std::nullopt;
  const SetupResult failed = OpenPortForRun(ctx.link, ctx.settings);
  if (!failed) return std::nullopt;
  ctx.host.Port().Close();
  RecordSetupFailure(ctx, *failed);
  return failed;
}

DeviceInfo ReadDeviceInfo(Context& ctx, const std::string& settingsHint) {
  ctx.report = RunReport{};
  RunReport& report = ctx.report;
  DeviceInfo info;
  const ReportWatch watch(ctx.host, report);
  report.startedAt = ctx.host.Now();
  if (const std::string missing = MissingPortSetting(ctx.settings); !missing.empty()) {
    info.portFailure = Notice{NoticeKind::SettingMissing, {missing, settingsHint}};
    report.firstError = info.portFailure;
    return info;
  }
  try {
    info.portFailure = OpenPortRecorded(ctx);
    if (info.portFailure) return info;
    info.stationId = ReadStationId(ctx);
    info.stationNeedsUpdateMode = info.stationId && StationNeedsUpdateMode(*info.stationId);
    info.handheld = ReadHandheldIdentity(ctx.host, ctx.handheld);
    report.identification = info.handheld;
    info.handheldAnswered = !info.handheld.error;
    report.end = info.handheldAnswered ? RunEnd::Finished : RunEnd::Failed;
  } catch (const RunCancelled&) {
    info.cancelled = true;
    report.end = RunEnd::Cancelled;
  } catch (const LinkLostError&) {
    const Notice lost = LinkLost(ctx.link, ctx.settings);
    ctx.host.Message(lost);
    report.end = RunEnd::Failed;
  }
  report.endedAt = ctx.host.Now();
  if (ctx.host.Port().IsOpen()) ctx.host.Port().Close();
  return info;
}

}  // namespace skyrelay
