#include "protocol/flash.h"

#include "protocol/handheld.h"

namespace skyrelay {

int write_flash_section(Context& ctx, int blockNumber, const std::array<int, 65>& data,
                        int& section) {
  section = blockNumber & 7;
  auto& buf = ctx.ans.DataBuf;
  buf[0] = 0x84;
  buf[1] = 0x30;
  buf[2] = (section >> 2) & 1;
  buf[3] = (section & 3) * 64;
  for (int i = 0; i < 64; i++) {
    buf[4 + i] = data[i];
    ctx.proto.PageCopy[section][i] = data[i];
  }
  if (write_to_spibuf(ctx, 0, 0) != 0) return 1;
  if (write_to_spibuf(ctx, 20, 0) != 0) return 1;
  if (write_to_spibuf(ctx, 40, 0) != 0) return 1;
  if (write_to_spibuf(ctx, 60, 68) != 0) return 1;
  if (section != 7) return 0;

  const uint32_t page = FlashImageBase + static_cast<uint32_t>(blockNumber & 0x1F8) * 64;
  // A time-out here has shown its message; the read-back decides the result.
  write_buf1_to_flash(ctx, page);
  return verify_flash_page(ctx, page, 7);
}

int verify_flash_page(Context& ctx, uint32_t pageAddress, int lastSection) {
  int failedAttempts = 0;
  for (;;) {
    bool timedOut = false;
    for (int s = 0; s <= lastSection && !timedOut; s++) {
      if (read_flash_to_spibuf(ctx, pageAddress + s * 64, 64) != 0) {
        timedOut = true;
        break;
      }
      for (int offset = 0; offset <= 60; offset += 20) {
        if (read_spibuf(ctx, offset) != 0) {
          timedOut = true;
          break;
        }
      }
      if (timedOut) break;
      for (int j = 0; j < 64; j++) {
        if (ctx.ans.DataBuf[8 + j] != ctx.proto.PageCopy[s][j]) return VerifyMismatch;
      }
    }
    if (!timedOut) return 0;
    failedAttempts++;
    if (failedAttempts > 5) return VerifyMismatch;
  }
}

}  // namespace skyrelay
