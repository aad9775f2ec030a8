// The simulated LocoNet beyond what the end-to-end tests prove: bus timing, the
// DataFlash opcodes and the fault knobs.
#include <gtest/gtest.h>

#include <cmath>

#include "protocol/handheld.h"
#include "protocol/station.h"
#include "sim/sim.h"
#include "support.h"

namespace skyrelay {
namespace {

using sim::kByteTime;
using test::Bytes;
using Messages = std::vector<Bytes>;

const Bytes kPm01 =
    test::WithChecksum({0xED, 0x1F, 0x08, 0x66, 0x33, 0x70, 0, 0, 0, 0, 0x30, 0, 0, 0, 0,
                        0x10, 0,    0,    0,    0,    0x50, 0, 0, 0, 0, 0x60, 0, 0, 0, 0});
const Bytes kAck = test::Ack(0x7F), kSpeed = test::WithChecksum({0xA0, 0x05, 0x20});

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

TEST(SimBus, EchoAfterTheBusTimeThenTheAnswerMessagesQueue) {
  sim::SimLoNet s;
  const double ackAt = 31 * kByteTime + s.handheld.answerDelay + 4 * kByteTime;
  s.PcWrite(0, kPm01);
  EXPECT_NEAR(s.NextEventTime(), 31 * kByteTime, 1e-9);
  s.AdvanceTo(31 * kByteTime - 1e-6);
  EXPECT_TRUE(s.TakePcBytes().empty());
  s.AdvanceTo(ackAt - 1e-3);
  EXPECT_EQ(s.TakePcBytes(), kPm01);
  s.PcWrite(ackAt - 1e-3, kSpeed);  // waits for the answer on the bus
  s.AdvanceTo(ackAt);
  EXPECT_EQ(s.TakePcBytes(), kAck);
  s.AdvanceTo(ackAt + 4 * kByteTime);
  EXPECT_EQ(s.TakePcBytes(), kSpeed);
  EXPECT_TRUE(std::isinf(s.NextEventTime()));
  EXPECT_EQ(s.busMessages, 3);
}

TEST(SimFlash, TransferOpcodesAndCorruptPage) {
  sim::DataFlash f;
  Bytes pattern(16);
  for (int i = 0; i < 16; i++) pattern[i] = static_cast<uint8_t>(0xA0 + i);
  f.Write(0x1001F8, pattern);  // crosses into the next page
  auto run = [&f](Bytes b) {
    f.Transfer(b);
    return b;
  };
  Bytes read{0xE8, 0x10, 0x01, 0xF8, 1, 2, 3, 4};
  read.resize(24, 0x55);
  read = run(read);
  EXPECT_EQ(Bytes(read.begin() + 8, read.end()), pattern);
  run({0x53, 0x10, 0x02, 0x00});  // the page at 0x100200 into buffer 1
  EXPECT_EQ(Bytes(f.buffer1.begin(), f.buffer1.begin() + 8),
            Bytes(pattern.begin() + 8, pattern.end()));
  run({0x84, 0x00, 0x01, 0xFF, 0x11, 0x22});  // buffer address 511 wraps to 0
  EXPECT_EQ(f.buffer1[511] * 256 + f.buffer1[0], 0x1122);
  const Bytes program{0x83, 0x20, 0x00, 0x00};  // buffer 1 into the page at 0x200000
  EXPECT_EQ(run(program), Bytes(4, 0xFF));
  EXPECT_EQ(f.Read(0x200000, 512), Bytes(f.buffer1.begin(), f.buffer1.end()));
  f.corruptPage = 0x200000;  // given as an address
  f.corruptPrograms = 1;
  f.corruptOffset = 5;
  run(program);
  EXPECT_EQ(f.memory[0x200005], f.buffer1[5] ^ 1);
  run(program);
  EXPECT_EQ(f.Read(0x200000, 512), Bytes(f.buffer1.begin(), f.buffer1.end()));
  EXPECT_EQ(f.pagePrograms, 3);
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
