// The settings file: three lines, the description file's path, the interface
// kind and the port number as the user typed it.
#pragma once

#include <string>

#include "core/context.h"

namespace skyrelay {

// Reads the three lines; blanks around the numbers are ignored. A missing or
// unreadable file leaves an empty path and no interface chosen (kind 0) and
// returns false.
bool ReadSettingsFile(const std::string& path, Settings& settings);

// Writes the three lines through a temporary file that is then renamed, so a
// crash never leaves a cut file. False when the file cannot be written.
bool WriteSettingsFile(const std::string& path, const Settings& settings);

// Where the settings file lives: beside the program when that folder is
// writable (a portable install), otherwise in the user's configuration folder
// ($XDG_CONFIG_HOME or ~/.config, sub-folder skyrelay-update).
std::string DefaultSettingsPath(const std::string& programFolder);

}  // namespace skyrelay
