// One program's world: the link and the devices on it, the user's settings, the
// loaded package, the station's update mode and the report of the last run. A
// test builds a fresh world with
//   Context ctx(host);
#pragma once

#include <optional>
#include <string>

#include "core/brand.h"
#include "core/host.h"
#include "core/settings_file.h"
#include "device/device_link.h"
#include "device/handheld.h"
#include "device/station.h"
#include "link/link.h"
#include "package/description.h"
#include "run/report.h"
#include "run/rescue_note.h"

namespace skyrelay {

// $XDG_DATA_HOME/skyrelay-update, else ~/.local/share/skyrelay-update.
std::string DefaultDataFolder();

class Context {
 public:
  explicit Context(Host& host);
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  Host& host;
  std::string ProductName{CurrentBrand().ProductName};

  Link link;
  DeviceLink devices;
  Handheld handheld;
  Station station;

  Settings settings;
  Description desc;

  // From the moment the update-mode request goes out until the station has
  // been released: whether or not the request was answered, the station may
  // be in its boot loader and must be released on every way out.
  bool stationEntryRequested = false;
  // The station took the update mode and shows the update.
  bool updateModeActive = false;
  // Where the note of a station left in its update mode is kept
  // (run/rescue_note.h); empty: no note is written or read.
  std::string rescueFolder;
  // This run's note while the station may be in its update mode.
  std::optional<RescueNote> rescueNote;

  // Where backups go (the user's data folder; tests point it elsewhere), and
  // whether "Update" backs up the user's data before the configuration.
  std::string dataFolder = DefaultDataFolder();
  bool backupBeforeConfiguration = true;
  // How the last "Update" ended.
  RunReport report;
};

}  // namespace skyrelay
