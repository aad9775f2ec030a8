#include "run/update_run.h"

#include <exception>
#include <string>

#include "config/transfer.h"
#include "core/translate.h"
#include "run/backup.h"
#include "run/rescue.h"
#include "update/firmware_update.h"
#include "update/identify.h"

namespace skyrelay {

std::optional<int64_t> ReadStationId(Context& ctx) {
  // One lost answer must not make a station that needs its update mode look
  // like one that does not: the identification is repeated (CommandTries).
  const Result<int64_t> id = ctx.station.read_station_id();
  ctx.report.stationIdUnanswered = !id;
  return id ? std::optional<int64_t>(id.value()) : std::nullopt;
}

bool StationNeedsUpdateMode(int64_t id) {
  const std::string digits = std::to_string(id);
  const long long kind = std::stoll(digits.substr(0, 2));
  return kind == 12 || kind == 42;
}

std::optional<CommandError> EnterStationUpdateMode(Context& ctx) {
  const std::optional<int64_t> id = ReadStationId(ctx);
  ctx.updateModeActive = false;
  if (!StationNeedsUpdateMode(id.value_or(0))) return std::nullopt;

  ctx.host.SetStatus(StatusLine{StatusKind::StationUpdateMode});
  // From here the station may be in its boot loader even when no answer comes.
  ctx.stationEntryRequested = true;
  // Until the release, a note tells the next start that the station may be
  // waiting for it.
  WriteRunRescueNote(ctx);
  Result<int> entered = ctx.station.enter_boot_loader();
  if (!entered) return entered.error();
  NoteBootLoaderInRescueNote(ctx, entered.value());
  ctx.link.WaitSeconds(1);
  ctx.station.station_clear();
  ctx.station.station_set_value(10, 50);
  ctx.station.station_send_text("Update " + ctx.ProductName);
  ctx.updateModeActive = true;
  return std::nullopt;
}

void LeaveStationUpdateMode(Context& ctx) {
  if (!ctx.updateModeActive && !ctx.stationEntryRequested) return;
  // The release asks nothing and cannot be abandoned; its wait is the station
  // command's own (a few seconds at most).
  ctx.link.SetMustFinish(true);
  ctx.stationEntryRequested = false;
  // Released (or tried): nothing is owed to the station any more.
  ctx.updateModeActive = false;
  // A message left over from an abandoned step would hold the release back.
  ctx.link.ForgetPending();
  bool confirmed = false;
  try {
    confirmed = static_cast<bool>(ctx.station.finish_update_mode());
  } catch (...) {
    confirmed = false;
  }
  ctx.report.release = confirmed ? Release::Confirmed : Release::Unconfirmed;
  // Unconfirmed, the station may still be waiting: the note stays for the next start.
  if (confirmed) ClearRescueNote(ctx);
  ctx.link.SetMustFinish(false);
}

namespace {

// The stages of the chain, in their order.
void RunStages(Context& ctx) {
  RunReport& r = ctx.report;
  r.stationError = EnterStationUpdateMode(ctx);
  if (!r.stationError) r.identification = IdentifyHandheld(ctx.host, ctx.handheld);
  if (r.stationError || !r.identification.ok()) {
    r.endedBeforeHandheld = true;
    return;
  }
  UpdateHandheldFirmware(ctx.host, ctx.handheld, ctx.desc, r.identification.identity,
                         ctx.ProductName, r.firmware);
  if (r.firmware.configurationMayFollow && ctx.backupBeforeConfiguration) {
    // What the configuration overwrites is saved first; without it nothing is written.
    r.backup = BackupBeforeConfiguration(ctx, r.identification.identity);
    if (r.backup.end == BackupEnd::ReadFailed || r.backup.end == BackupEnd::SaveFailed) return;
  }
  if (r.firmware.configurationMayFollow) {
    r.configuration = TransferConfiguration(ctx.host, ctx.handheld, ctx.desc);
  }
}

}  // namespace

ProgressPlan PlanRun(Description& desc, bool backup) {
  ProgressPlan plan = PlanConfiguration(desc);
  if (backup) plan[ProgressStage::Backup] = BackupPages(UpdateBackupAreas(desc));
  // Only one of the firmware files goes in; which one, the handheld decides.
  if (!desc.radioFirmwarePath.empty() || !desc.digitalSetFirmwarePath.empty()) {
    plan[ProgressStage::Firmware] = 497;
    plan[ProgressStage::Restart] = static_cast<int>(ProgressTracker::kExpectedRestartSeconds);
  }
  return plan;
}

const RunReport& RunUpdate(Context& ctx) {
  RunReport& r = ctx.report;
  // The first error is kept by UpdateCommand, which watches the whole command.
  const std::optional<Notice> firstError = r.firstError;
  r = RunReport{};
  r.firstError = firstError;
  const long repeatsBefore = ctx.devices.repeats;
  ctx.stationEntryRequested = false;
  r.startedAt = ctx.host.Now();
  ctx.host.progress.Start(PlanRun(ctx.desc, ctx.backupBeforeConfiguration), r.startedAt);
  struct EndProgress {
    Host& host;
    ~EndProgress() { host.progress = ProgressTracker{}; }
  } endProgress{ctx.host};

  bool cancelled = false;
  try {
    RunStages(ctx);
  } catch (const RunCancelled&) {
    cancelled = true;
  } catch (const LinkLostError&) {
    // The interface is gone: nothing more can reach the station. The caller
    // shows the one message about the lost connection.
    r.end = RunEnd::Failed;
    r.endedAt = ctx.host.Now();
    r.answersRepeated = ctx.devices.repeats - repeatsBefore;
    throw;
  } catch (const std::exception& e) {
    r.unexpectedError = e.what();
  } catch (...) {
    r.unexpectedError = Tr("Run", "unbekannte Ausnahme");
  }

  // Every way out passes the release.
  const bool failed = r.endedBeforeHandheld;
  if (failed) ctx.host.SetStatus(StatusLine{StatusKind::UpdateFailed});
  if ((cancelled || !r.unexpectedError.empty()) && ctx.stationEntryRequested) {
    ctx.host.SetStatus(StatusLine{StatusKind::ReleasingStation});
  }
  LeaveStationUpdateMode(ctx);
  if (cancelled) {
    ctx.host.SetStatus(StatusLine{StatusKind::UpdateCancelled});
    r.end = RunEnd::Cancelled;
  } else if (!r.unexpectedError.empty()) {
    ctx.host.SetStatus(StatusLine{StatusKind::UpdateFailed});
    r.end = RunEnd::Failed;
    try {
      ctx.host.Message(Notice{NoticeKind::UnexpectedError, {r.unexpectedError}});
    } catch (...) {
      // The run is over either way.
    }
  } else if (failed) {
    r.end = RunEnd::Failed;
  } else {
    ctx.host.SetStatus(StatusLine{StatusKind::UpdateFinished});
    r.end = RunEnd::Finished;
  }
  r.endedAt = ctx.host.Now();
  r.answersRepeated = ctx.devices.repeats - repeatsBefore;
  return r;
}

}  // namespace skyrelay
