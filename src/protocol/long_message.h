// The 31-byte long message (0xED 0x1F) and the packing of the data bytes' top
// bits into the flag byte at the head of each group of four.
#pragma once

#include <cstdint>
#include <functional>

#include "core/context.h"

namespace skyrelay {

// The eight fixed values the command station's boot-loader commands carry in D9..D16.
inline constexpr uint8_t kStationCode[8] = {0x15, 0x05, 0x11, 0x2C, 0x09, 0x1A, 0x03, 0x0B};

// Positions of the five flag bytes, and of data byte D1..D20 (index 1..20).
inline constexpr int kGroupHeads[5] = {5, 10, 15, 20, 25};
inline constexpr int DataPosition(int d) {
  return 6 + (d - 1) + (d - 1) / 4;
}

void PackGroup(Context& ctx, int head);
void PackHighBits(Context& ctx);
// Work in place on the ring slot at the current read index.
void UnpackGroup(Context& ctx, int head);
void UnpackHighBits(Context& ctx);

// Clears TxMessage and writes the header 0xED 0x1F 0x08 and the device pair.
void BeginLongMessage(Context& ctx, uint8_t device1, uint8_t device2);
// Writes the five 3-bit fields as the flag bytes (field x 16).
void SetLongMessageFields(Context& ctx, int f1, int f2, int f3, int f4, int f5);
// The three offset fields of groups 3 to 5 for an SPI-buffer offset.
void SetSpiOffsetFields(Context& ctx, int offset);

// Where a service command's wait tests its time-out within each pass.
enum class TimeTest { BeforeYield, AfterYield };

// The wait of every service command: polls `answered`, then tests the time-out
// (strictly more than `timeout` seconds) and yields, until one of them ends it;
// with TimeTest::AfterYield the time is tested after the yield instead. Result 0
// = answered, 1 = time-out; a time-out shows `timeoutText` (unless it is empty)
// with the title "Timeout".
int AwaitAnswer(Context& ctx, double timeout, const std::function<bool()>& answered,
                const char* timeoutText = "", TimeTest order = TimeTest::BeforeYield);

}  // namespace skyrelay
