// The simulator's fault knobs that no end-to-end test shows at work.
#include <gtest/gtest.h>

#include "protocol/handheld.h"
#include "protocol/station.h"
#include "sim/sim.h"
#include "support.h"

namespace skyrelay {
namespace {

using test::Bytes;
using Messages = std::vector<Bytes>;

const Bytes kPm01 =
    test::WithChecksum({0xED, 0x1F, 0x08, 0x66, 0x33, 0x70, 0, 0, 0, 0, 0x30, 0, 0, 0, 0,
                        0x10, 0,    0,    0,    0,    0x50, 0, 0, 0, 0, 0x60, 0, 0, 0, 0});
const Bytes kAck = test::Ack(0x7F);

// Cuts what reached the PC into messages; bytes outside a message are skipped.
Messages Split(const Bytes& stream) {
  Messages out;
  for (uint8_t b : stream) {
    if (b & 0x80) {
      out.push_back({b});
    } else if (!out.empty()) {
      Bytes& m = out.back();
      if (m.size() < size_t(LocoNetLength(m[0], m.size() >= 2 ? m[1] : b))) m.push_back(b);
    }
  }
  return out;
}

// What reaches the PC within a second of writing `m`.
Messages Exchange(sim::SimLoNet& s, const Bytes& m) {
  s.PcWrite(s.Now(), m);
  s.AdvanceTo(s.Now() + 1);
  return Split(s.TakePcBytes());
}

TEST(SimFaults, EachKnob) {
  sim::SimLoNet s;
  s.faults.dropEchoes = 1;
  EXPECT_EQ(Exchange(s, kPm01), Messages{kAck});
  EXPECT_EQ(Exchange(s, kPm01), (Messages{kPm01, kAck}));
  s.faults.dropAnswers = 1;
  EXPECT_EQ(Exchange(s, kPm01), Messages{kPm01});
  s.faults.floodMessages = 5;
  const Messages flooded = Exchange(s, kPm01);
  ASSERT_EQ(flooded.size(), 7u);
  EXPECT_EQ(flooded.back(), kAck);
  for (int i = 1; i <= 5; i++)
    EXPECT_EQ(flooded[i], test::WithChecksum({0xA0, flooded[i][1], flooded[i][2]}));

  sim::SimLoNet noisy(7);
  noisy.faults.noiseBetweenMessages = true;
  noisy.PcWrite(0, kPm01);
  noisy.AdvanceTo(1);
  const Bytes stream = noisy.TakePcBytes();
  EXPECT_LT(stream[0], 0x80);
  EXPECT_EQ(Split(stream), (Messages{kPm01, kAck}));

  test::SimWorld w;
  for (int i = 0; i < 20; i++) w.ctx.ans.DataBuf[i] = i + 100;
  ASSERT_EQ(write_to_spibuf(w.ctx, 0, 0), 0);
  w.sim.faults.corruptReadbacks = 1;
  ASSERT_EQ(read_spibuf(w.ctx, 0), 0);
  int wrong = 0;
  for (int i = 0; i < 20; i++) wrong += w.ctx.ans.DataBuf[i] != i + 100;
  EXPECT_EQ(wrong, 1);
  w.sim.faults.noiseBetweenMessages = true;  // the tool copes with noise and flood at once
  w.sim.faults.floodMessages = 10;
  EXPECT_EQ(read_info_block(w.ctx) + read_station_id(w.ctx), 0);
}

}  // namespace
}  // namespace skyrelay
