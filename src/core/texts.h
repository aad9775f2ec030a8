// The texts the user sees, made from the core's typed events. Both programs
// show exactly these; a second language adds its own formatter and changes no
// logic.
#pragma once

#include <string>

#include "core/events.h"
#include "core/progress.h"

namespace skyrelay {

struct ShownMessage {
  std::string text;
  std::string title;
  Icon icon = Icon::None;
  Buttons buttons = Buttons::Ok;
};

ShownMessage GermanMessage(const Notice& notice);
std::string GermanStatus(const StatusLine& status);

// The run's progress as one line: "Firmware 120 von 497 · 23 % · 1:05
// vergangen · noch etwa 3:20"; during the restart what is waited for and how long.
std::string GermanProgress(const RunProgress& progress);
// The name of a stage on the display ("Firmware", "Sprachtexte", "Weichen" ...).
std::string GermanStageName(ProgressStage stage);
// Seconds as "m:ss" (or "h:mm:ss").
std::string ClockText(double seconds);

// The frame of the waiting animation for a clock reading in seconds.
std::string RestartAnimationFrame(double seconds);

}  // namespace skyrelay
