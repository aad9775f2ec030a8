// The handheld boot loader's commands. Each builds its long message, hands it to
// the transmitter and waits (yielding) for its answer. Result 0 = done, 1 = time-out.
#pragma once

#include <cstdint>

#include "core/context.h"

namespace skyrelay {

inline constexpr uint8_t kStartCode[3] = {0x2B, 0x06, 0x4D};

int send_pm01(Context& ctx, bool noWait);
void start_firmware_update(Context& ctx);
int read_info_block(Context& ctx);
int read_flash_to_spibuf(Context& ctx, uint32_t address, int count);
int read_spibuf(Context& ctx, int offset);
int write_to_spibuf(Context& ctx, int offset, int length);
int move_spibuf_to_buf1(Context& ctx, uint32_t address);
int write_buf1_to_flash(Context& ctx, uint32_t address);

}  // namespace skyrelay
