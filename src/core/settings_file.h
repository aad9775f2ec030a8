// The settings file: three lines, the description file's path, the interface
// kind and the port number as the user typed it.
#pragma once

#include <string>

namespace skyrelay {

// The user's choices, kept in the settings file.
struct Settings {
  std::string UpdateFilePath;
  int InterfaceKind = 0;
  std::string ComPortNumber;
};

// Reads the three lines; blanks around the numbers are ignored. A missing or
// unreadable file leaves an empty path and no interface chosen (kind 0) and
// returns false.
bool ReadSettingsFile(const std::string& path, Settings& settings);

// Writes the three lines through a temporary file beside the file that is then
// renamed over it, so a crash never leaves a cut file. A symbolic link is
// followed to the file it names (the link stays), and the file keeps its
// permissions. A read-only file is left as it is. False when the file cannot be
// written; problem (when given) then says why, in German, with the path.
bool WriteSettingsFile(const std::string& path, const Settings& settings,
                       std::string* problem = nullptr);

// Where the settings file lives: beside the program when that folder is
// writable (a portable install), otherwise in the user's configuration folder
// ($XDG_CONFIG_HOME or ~/.config, sub-folder skyrelay-update).
std::string DefaultSettingsPath(const std::string& programFolder);

}  // namespace skyrelay
