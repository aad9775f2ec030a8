// Rescuing an interrupted run: while a run has the command station in its
// update mode, a note says so (run/rescue_note.h); the next start of either
// program tells of it and offers the release, which is the same message and
// wait as at the end of a run.
#pragma once

#include <optional>
#include <string>

#include "run/commands.h"
#include "run/context.h"
#include "run/rescue_note.h"

namespace skyrelay {

// Writes the note for the run in ctx (now, the port and interface of its
// settings) when ctx.rescueFolder is set; called as the update-mode request
// goes out.
void WriteRunRescueNote(Context& ctx);
// The station told its boot loader version: the note keeps it for the release.
void NoteBootLoaderInRescueNote(Context& ctx, int version);
// A backup of the handheld's configuration was made in this run: the note
// names it, so that the next start can say how to restore it. Only while this
// run's note exists (the station asked into its update mode, not yet released);
// otherwise there is nothing to rescue and nothing is written.
void NoteBackupInRescueNote(Context& ctx, const std::string& path);
// The station confirmed its release: the note is removed.
void ClearRescueNote(Context& ctx);

struct StationRelease {
  // The port's set-up failed with this notice (not shown); nothing was sent.
  std::optional<Notice> portFailure;
  bool confirmed = false;
  bool cancelled = false;
};

// Opens the port (port and interface as given, else the settings'), sends the
// station's release as at the end of a run (naming the boot loader version of
// the note) and closes the port. ctx.report keeps the release and the port's
// failure for GermanCause; a confirmed release removes the note.
StationRelease ReleaseStation(Context& ctx, const std::optional<RescueNote>& note,
                              const std::string& settingsHint = SettingsHint());

// Where the restore is offered: the command line, or the desktop's menu.
enum class RestoreWay { CommandLine, Menu };
// What the next start says of an interrupted run: when, on which port, that
// the station is still in its update mode, and (when the note names one) how
// the backup is restored. Lines are separated by '\r', as in message boxes.
std::string InterruptedRunText(const RescueNote& note, RestoreWay way);
// Said of a note that cannot be read.
std::string DamagedRescueNoteText(const std::string& path);

}  // namespace skyrelay
