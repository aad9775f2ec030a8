// StartUp: fits the main window to the brand, shows it, prepares the shared
// state, reads the settings file and loads the remembered update description;
// after an interrupted run it offers to release the command station.
#pragma once

#include <string>

#include "app/main_win.h"

namespace skyrelay::app {

struct StartUpOptions {
  // The settings file; empty: the brand's file beside the program, or in the
  // user's configuration folder when the program's folder is not writable.
  std::string settingsPath;
  // Where the note of a run interrupted in the station's update mode is kept;
  // empty: none is read or written.
  std::string rescueFolder;
};

void StartUp(MainWin& window, const StartUpOptions& options = {});

}  // namespace skyrelay::app
