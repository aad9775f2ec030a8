// The command station's update-mode commands. Result 0 = done, 1 = time-out.
#pragma once

#include <string>

#include "core/context.h"

namespace skyrelay {

int SendStationMessage(Context& ctx);
int enter_boot_loader(Context& ctx);
int finish_update_mode(Context& ctx);
int station_clear(Context& ctx);
int station_set_value(Context& ctx, int value, int smallValue);
// `text` is UTF-8; it is sent in the Windows-1252 code page, cut after 20 characters.
int station_send_text(Context& ctx, const std::string& text);
int read_station_id(Context& ctx);

}  // namespace skyrelay
