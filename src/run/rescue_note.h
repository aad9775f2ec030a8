// The note that a run leaves while the command station is in its update mode:
// when the update-mode request went out, on which port and interface, the boot
// loader version the station reported and a backup made in the run. A run that
// ends in any way the program sees releases the station and removes the note;
// one that was killed leaves it, and the next start offers the release.
#pragma once

#include <optional>
#include <string>

namespace skyrelay {

struct RescueNote {
  std::string startedAt;      // local time as the user reads it: "08.12.2026 01:23"
  std::string port;           // as the settings name it ("/dev/ttyUSB0", or a number)
  int interfaceKind = 0;      // 1 or 3
  int bootLoaderVersion = 0;  // 0 until the station has told it
  std::string backupPath;     // empty when the run made no backup
};

// What reading the note found: nothing, a note, or a file that is no note (the
// program says so and goes on as without one).
struct RescueNoteRead {
  std::optional<RescueNote> note;
  bool damaged = false;
  std::string path;  // the file read
};

// $XDG_STATE_HOME/skyrelay-update, else ~/.local/state/skyrelay-update; empty
// when neither is known.
std::string DefaultRescueFolder();
// The note's file in `folder`.
std::string RescueNotePath(const std::string& folder);
// The current local time as a note keeps it.
std::string RescueNoteTime();

// Writes the note through a temporary file beside it that then replaces it;
// creates the folder. False when it cannot be written.
bool WriteRescueNote(const std::string& folder, const RescueNote& note);
// Reads the note; a file that is too large, not of the note's form or without
// port and interface counts as damaged.
RescueNoteRead ReadRescueNote(const std::string& folder);
void RemoveRescueNote(const std::string& folder);

}  // namespace skyrelay
