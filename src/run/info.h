// "info": what is on the LocoNet, read without changing anything. The port
// opens, the command station tells its identification, the handheld its kind
// and installed version; nothing is written to the handheld and the station is
// never put into its update mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "run/commands.h"
#include "run/context.h"
#include "update/identify.h"

namespace skyrelay {

struct DeviceInfo {
  // The port's set-up failed with this notice (not shown); nothing was read.
  std::optional<Notice> portFailure;
  // The station's identification; none when it answered none of the requests.
  std::optional<int64_t> stationId;
  // Whether a station of that kind is put into its update mode by "Update".
  bool stationNeedsUpdateMode = false;
  // The handheld's identification as read: no question asked, also for one of
  // unknown kind.
  Identification handheld;
  // The handheld told its identification.
  bool handheldAnswered = false;
  bool cancelled = false;
};

// Opens the port as a run does when it is closed. On failure the port is
// closed, ctx.report keeps why (the port problem with the ports there are, and
// the notice as its first error) and the notice is returned, not shown.
std::optional<Notice> OpenPortRecorded(Context& ctx);

// Reads the station's and the handheld's identification (the station asked up
// to three times, the handheld woken once); ctx.report is made afresh and keeps
// what a failure's cause needs (GermanCause). Closes the port again. A missing
// interface or port (with settingsHint: where to set them) is returned as the
// port's failure, not shown.
DeviceInfo ReadDeviceInfo(Context& ctx, const std::string& settingsHint = SettingsHint());

}  // namespace skyrelay
