// Writing a DataFlash page section by section through buffer 1, and verifying it
// by reading it back.
#pragma once

#include <array>
#include <cstdint>

#include "core/context.h"

namespace skyrelay {

inline constexpr uint32_t FlashImageBase = 0x300000;
inline constexpr int VerifyMismatch = 99;

// Writes 64 bytes as section (blockNumber AND 7) of buffer 1; after section 7
// programs the page and verifies it. Result 0, 1 (time-out) or 99 (mismatch).
int write_flash_section(Context& ctx, int blockNumber, const std::array<int, 65>& data,
                        int& section);
// Reads back sections 0..lastSection of the page and compares them with PageCopy.
int verify_flash_page(Context& ctx, uint32_t pageAddress, int lastSection);

}  // namespace skyrelay
