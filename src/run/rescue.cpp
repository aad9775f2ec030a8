#include "run/rescue.h"

#include "core/translate.h"
#include "link/serial_setup.h"
#include "run/info.h"
#include "run/update_run.h"

namespace skyrelay {

namespace {

void Rewrite(Context& ctx) {
  if (ctx.rescueFolder.empty() || !ctx.rescueNote) return;
  WriteRescueNote(ctx.rescueFolder, *ctx.rescueNote);
}

}  // namespace

void WriteRunRescueNote(Context& ctx) {
  if (ctx.rescueFolder.empty()) return;
  ctx.rescueNote =
      RescueNote{RescueNoteTime(), ctx.settings.ComPortNumber, ctx.settings.InterfaceKind, 0, {}};
  Rewrite(ctx);
}

void NoteBootLoaderInRescueNote(Context& ctx, int version) {
  if (!ctx.rescueNote) return;
  ctx.rescueNote->bootLoaderVersion = version;
  Rewrite(ctx);
}

void NoteBackupInRescueNote(Context& ctx, const std::string& path) {
  if (!ctx.rescueNote) return;
  ctx.rescueNote->backupPath = path;
  Rewrite(ctx);
}

void ClearRescueNote(Context& ctx) {
  ctx.rescueNote.reset();
  RemoveRescueNote(ctx.rescueFolder);
}

StationRelease ReleaseStation(Context& ctx, const std::optional<RescueNote>& note,
                              const std::string& settingsHint) {
  ctx.report = RunReport{};
  RunReport& report = ctx.report;
  const ReportWatch watch(ctx.host, report);
  StationRelease release;
  report.startedAt = ctx.host.Now();
  // The port of the interrupted run; the user's settings stay as they are.
  const Settings kept = ctx.settings;
  if (note) {
    ctx.settings.ComPortNumber = note->port;
    ctx.settings.InterfaceKind = note->interfaceKind;
  }
  struct Restore {
    Context& ctx;
    const Settings& kept;
    ~Restore() { ctx.settings = kept; }
  } restore{ctx, kept};
  if (const std::string missing = MissingPortSetting(ctx.settings); !missing.empty()) {
    release.portFailure = Notice{NoticeKind::SettingMissing, {missing, settingsHint}};
    report.firstError = release.portFailure;
    report.end = RunEnd::Failed;
    return release;
  }
  try {
    release.portFailure = OpenPortRecorded(ctx);
    if (release.portFailure) {
      report.end = RunEnd::Failed;
      return release;
    }
    ctx.station.set_boot_loader_version(note ? note->bootLoaderVersion : 0);
    // Released exactly as at the end of a run; a confirmed release removes the note.
    ctx.stationEntryRequested = true;
    LeaveStationUpdateMode(ctx);
    release.confirmed = report.release == Release::Confirmed;
    report.end = release.confirmed ? RunEnd::Finished : RunEnd::Failed;
  } catch (const RunCancelled&) {
    release.cancelled = true;
    report.end = RunEnd::Cancelled;
  } catch (const LinkLostError&) {
    ctx.host.Message(LinkLost(ctx.link, ctx.settings));
    report.end = RunEnd::Failed;
  }
  report.endedAt = ctx.host.Now();
  if (ctx.host.Port().IsOpen()) ctx.host.Port().Close();
  return release;
}

std::string InterruptedRunText(const RescueNote& note, RestoreWay way) {
  std::string text =
      Fill(Tr("Rescue",
              "Der letzte Lauf wurde unterbrochen (begonnen am %1, Port %2, "
              "Interface %3).\rDie Zentrale ist womöglich noch im Update-Mode; die "
              "Anlage fährt erst wieder, wenn sie freigegeben ist."),
           {note.startedAt, PortDeviceForNumber(note.port), std::to_string(note.interfaceKind)});
  if (!note.backupPath.empty()) {
    text += "\r" + Fill(Tr("Rescue", "Die Sicherung %1 kann zurückgeschrieben werden: %2"),
                        {note.backupPath, way == RestoreWay::Menu
                                              ? Tr("Rescue", "Datei → Sicherung zurückschreiben …")
                                              : "skyrelay-update-cli restore " + note.backupPath});
  }
  return text;
}

std::string DamagedRescueNoteText(const std::string& path) {
  return Fill(Tr("Rescue",
                 "Die Notiz %1 über einen unterbrochenen Lauf ist beschädigt und wird nicht "
                 "beachtet."),
              {path});
}

}  // namespace skyrelay
