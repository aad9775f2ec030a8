// Page write and verify against the simulated handheld.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "protocol/flash.h"
#include "protocol/handheld.h"
#include "sim/sim.h"
#include "support.h"

namespace skyrelay {
namespace {

using test::SimWorld;

std::array<int, 65> Block(int k) {
  std::array<int, 65> data{};
  for (int i = 0; i < 64; i++) data[i] = (k * 31 + i * 7 + (i >> 3)) & 0xFF;
  return data;
}

TEST(FlashPages, SixtyThreePagesRoundTrip) {
  SimWorld w;
  const std::clock_t cpu = std::clock();
  int section = -1;
  for (int k = 0; k <= 496; k++) {
    ASSERT_EQ(write_flash_section(w.ctx, k, Block(k), section), 0) << "block " << k;
    EXPECT_EQ(section, k & 7);
  }
  ASSERT_EQ(section, 0);
  EXPECT_EQ(w.sim.flash.pagePrograms, 62) << "the last page waits in buffer 1";
  const uint32_t last = FlashImageBase + 62 * 512;
  ASSERT_EQ(write_buf1_to_flash(w.ctx, last), 0);
  ASSERT_EQ(verify_flash_page(w.ctx, last, section), 0);
  const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;

  for (int k = 0; k <= 496; k++) {
    const std::vector<uint8_t> got = w.sim.flash.Read(FlashImageBase + 64 * k, 64);
    const std::array<int, 65> want = Block(k);
    for (int i = 0; i < 64; i++) ASSERT_EQ(got[i], want[i]) << "block " << k << " byte " << i;
  }
  EXPECT_TRUE(w.host.messages.empty());
  std::printf(
      "[ figures ] 63-page round trip: %.3f s CPU, %ld messages sent, %ld received, "
      "%.1f s virtual\n",
      cpuSeconds, w.ctx.stats.messagesSent, w.ctx.stats.messagesReceived, w.host.Now());
}

TEST(FlashPages, CorruptedReadBackIsAMismatchWithoutRetry) {
  SimWorld w;
  int section = -1;
  for (int k = 8; k < 15; k++) ASSERT_EQ(write_flash_section(w.ctx, k, Block(k), section), 0);
  w.sim.faults.corruptReadbacks = 1;
  const long before = w.ctx.stats.messagesSent;
  EXPECT_EQ(write_flash_section(w.ctx, 15, Block(15), section), VerifyMismatch);
  // Four writes, the program, then one read and at most four fetches: no second attempt.
  EXPECT_LE(w.ctx.stats.messagesSent - before, 4 + 1 + 5 * 8);
  EXPECT_TRUE(w.host.messages.empty());
}

TEST(FlashPages, SilentHandheldGivesSixReadBackAttempts) {
  SimWorld w;
  w.sim.handheld.present = false;
  w.ctx.proto.PageCopy[0].fill(0);
  EXPECT_EQ(verify_flash_page(w.ctx, 0x307C00, 0), VerifyMismatch);
  ASSERT_EQ(w.host.messages.size(), 6u);
  for (const RecordedMessage& m : w.host.messages) {
    EXPECT_EQ(m.text, "read_flash_to_spibuf");
    EXPECT_EQ(m.title, "Timeout");
  }
}

}  // namespace
}  // namespace skyrelay
