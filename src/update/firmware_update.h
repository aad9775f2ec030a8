// The firmware update of the handheld: version question, staging the image page
// by page with read-back, installation and restart, version read-back.
#pragma once

#include <string>

#include "core/context.h"

namespace skyrelay {

inline constexpr uint32_t SettingsBlockAddress = 0x3F0000;
// How long the handheld may stay silent after the start of the installation
// before the user is asked whether to go on waiting.
inline constexpr double RestartQuestionSeconds = 70.0;

void UpdateHandheldFirmware(Context& ctx, const std::string& handheldVersionText,
                            const std::string& articleNumber, int& errorFlag);

// The frame of the waiting animation for a clock reading in seconds.
std::string RestartAnimationFrame(double seconds);

}  // namespace skyrelay
