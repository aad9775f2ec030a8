// The texts the user sees, made from the core's typed events. Both programs
// show exactly these; a second language adds its own formatter and changes no
// logic.
#pragma once

#include <string>

#include "core/events.h"

namespace skyrelay {

struct ShownMessage {
  std::string text;
  std::string title;
  Icon icon = Icon::None;
  Buttons buttons = Buttons::Ok;
};

ShownMessage GermanMessage(const Notice& notice);
std::string GermanStatus(const StatusLine& status);

// The frame of the waiting animation for a clock reading in seconds.
std::string RestartAnimationFrame(double seconds);

}  // namespace skyrelay
