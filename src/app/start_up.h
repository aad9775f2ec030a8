// StartUp: fits the main window to the brand, shows it, prepares the shared
// state, reads the settings file and loads the remembered update description.
#pragma once

#include <string>

#include "app/main_win.h"

namespace skyrelay::app {

struct StartUpOptions {
  // The settings file; empty: the brand's file beside the program, or in the
  // user's configuration folder when the program's folder is not writable.
  std::string settingsPath;
};

void StartUp(MainWin& window, const StartUpOptions& options = {});

}  // namespace skyrelay::app
