#include "run/info.h"

#include <string>

#include "link/serial_setup.h"

namespace skyrelay {

namespace {

// As the update asks: an identification only reads, and one lost answer must
// not hide the station.
constexpr int kStationIdTries = 3;

// The kinds of station that "Update" puts into their update mode (the first
// two digits of the identification).
bool NeedsUpdateMode(int64_t id) {
  const std::string digits = std::to_string(id);
  const long long kind = std::stoll(digits.substr(0, 2));
  return kind == 12 || kind == 42;
}

}  // namespace

std::optional<Notice> OpenPortRecorded(Context& ctx) {
  if (ctx.host.Port().IsOpen()) return std::nullopt;
  const SetupResult failed = OpenPortForRun(ctx.link, ctx.settings);
  if (!failed) return std::nullopt;
  ctx.host.Port().Close();
  if (failed->kind == NoticeKind::PortError || failed->kind == NoticeKind::StationPortError) {
    ctx.report.portProblem =
        PortProblem{ctx.host.Port().LastFailure(), PortDeviceForNumber(ctx.settings.ComPortNumber),
                    ctx.host.AvailablePorts()};
  }
  if (!ctx.report.firstError) ctx.report.firstError = *failed;
  return failed;
}

DeviceInfo ReadDeviceInfo(Context& ctx, const std::string& settingsHint) {
  ctx.report = RunReport{};
  RunReport& report = ctx.report;
  DeviceInfo info;
  struct Watch {
    Host& host;
    ~Watch() { host.onNotice = nullptr; }
  } watch{ctx.host};
  ctx.host.onNotice = [&report](const Notice& notice, Answer answer) {
    NoteFirstError(report, notice, answer);
  };
  report.startedAt = ctx.host.Now();
  if (const std::string missing = MissingPortSetting(ctx.settings); !missing.empty()) {
    info.portFailure = Notice{NoticeKind::SettingMissing, {missing, settingsHint}};
    report.firstError = info.portFailure;
    return info;
  }
  try {
    info.portFailure = OpenPortRecorded(ctx);
    if (info.portFailure) return info;
    std::optional<Result<int64_t>> id;
    for (int i = 0; i < kStationIdTries && !(id && *id); i++) id = ctx.station.read_station_id();
    report.stationIdUnanswered = !*id;
    if (*id) {
      info.stationId = id->value();
      info.stationNeedsUpdateMode = NeedsUpdateMode(id->value());
    }
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
