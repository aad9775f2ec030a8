// The simulated LocoNet beyond what the end-to-end tests prove: bus timing, the
// DataFlash opcodes, the command station's answers, restarts and the fault knobs.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "protocol/flash.h"
#include "protocol/handheld.h"
#include "protocol/station.h"
#include "sim/sim.h"
#include "support.h"

namespace skyrelay {
namespace {

using sim::kByteTime;
using sim::SimLoNet;
using test::Bytes;
using test::WithChecksum;
using Messages = std::vector<Bytes>;

// A long message with its fields packed as the tool sends them.
Bytes Long(uint8_t d1, uint8_t d2, std::array<int, 5> fields) {
  Bytes m{0xED, 0x1F, 0x08, d1, d2};
  for (int f : fields) m.insert(m.end(), {static_cast<uint8_t>(f << 4), 0, 0, 0, 0});
  return WithChecksum(m);
}

const Bytes kPm01 = Long(0x66, 0x33, {7, 3, 1, 5, 6});
const Bytes kAck = WithChecksum({0xB4, 0x6D, 0x7F});
const Bytes kSpeed = WithChecksum({0xA0, 0x05, 0x20});

// Cuts what reached the PC into messages; bytes outside a message are skipped.
Messages Split(const Bytes& stream) {
  Messages out;
  bool open = false;
  for (uint8_t b : stream) {
    if (b & 0x80) {
      out.push_back({b});
    } else if (open) {
      out.back().push_back(b);
    } else {
      continue;
    }
    const Bytes& m = out.back();
    open = (m.size() < 2 && (m[0] & 0xE0) == 0xE0) ||
           m.size() < static_cast<size_t>(LocoNetLength(m[0], m.size() >= 2 ? m[1] : 0));
  }
  return out;
}

// Everything the PC receives for `m` written now.
Messages Exchange(SimLoNet& s, const Bytes& m) {
  const double t = s.Now();
  s.PcWrite(t, m);
  s.AdvanceTo(t + 1);
  return Split(s.TakePcBytes());
}

// The project's own protocol code against the simulator, in virtual time.
using test::SimWorld;
void RunUntil(SimWorld& w, const std::function<bool()>& done, double seconds) {
  for (const double end = w.host.Now() + seconds; w.host.Now() < end && !done();) w.host.Yield();
}

TEST(SimBus, EchoAfterTheBusTimeAnswerAfterTheDelayMessagesQueue) {
  SimLoNet s;
  const Bytes silent = Long(0x11, 0x22, {0, 0, 0, 0, 0});  // 31 bytes nobody answers
  s.PcWrite(0, silent);
  EXPECT_NEAR(s.NextEventTime(), 0.0186, 1e-9);
  s.AdvanceTo(0.0186 - 1e-6);
  EXPECT_TRUE(s.TakePcBytes().empty());
  s.AdvanceTo(0.0186);
  EXPECT_EQ(s.TakePcBytes(), silent);
  EXPECT_TRUE(std::isinf(s.NextEventTime()));

  Bytes two = kSpeed;  // two messages in one write queue behind each other
  two.insert(two.end(), kSpeed.begin(), kSpeed.end());
  s.PcWrite(0.1, two);
  s.AdvanceTo(0.1 + 4 * kByteTime + 1e-9);
  EXPECT_NEAR(s.NextEventTime(), 0.1 + 8 * kByteTime, 1e-9);
  s.AdvanceTo(1);
  EXPECT_EQ(Split(s.TakePcBytes()), (Messages{kSpeed, kSpeed}));

  // The answer follows the echo after the delay; a PC message meanwhile waits for it.
  const double ackAt = 1 + 31 * kByteTime + s.handheld.answerDelay + 4 * kByteTime;
  s.PcWrite(1, kPm01);
  s.AdvanceTo(ackAt - 1e-3);
  EXPECT_EQ(s.TakePcBytes(), kPm01);
  s.PcWrite(ackAt - 1e-3, kSpeed);
  s.AdvanceTo(ackAt);
  EXPECT_EQ(s.TakePcBytes(), kAck);
  EXPECT_NEAR(s.NextEventTime(), ackAt + 4 * kByteTime, 1e-9);
  s.AdvanceTo(2);
  EXPECT_EQ(s.TakePcBytes(), kSpeed);
  EXPECT_EQ(s.busMessages, 6);
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
  const Bytes before = f.memory;
  run({0x9F, 0x20, 0x00, 0x00, 0x00});
  EXPECT_TRUE(f.memory == before) << "unknown opcode";

  f.corruptPage = 0x200000;  // given as an address
  f.corruptPrograms = 1;
  f.corruptOffset = 5;
  run(program);
  EXPECT_NE(f.memory[0x200005], f.buffer1[5]);
  EXPECT_EQ(f.memory[0x200006], f.buffer1[6]);
  run(program);
  EXPECT_EQ(f.memory[0x200005], f.buffer1[5]);
  EXPECT_EQ(f.pagePrograms, 3);
}

TEST(SimHandheld, RestartsAfterTheFirmwareStartWithTheVersionAfterUpdate) {
  // Per case: version major, minor and the loco requested after the restart.
  const int expected[4][3] = {{1, 1, 3}, {2, 4, 3}, {3, 9, 3}, {1, 8, 201}};
  for (int c = 0; c < 4; c++) {
    SCOPED_TRACE(c);
    SimWorld w;
    if (c == 1 || c == 2) w.sim.SetNewVersion(2, 4);
    if (c == 2) w.sim.handheld.versionAfterUpdate = std::array<uint8_t, 5>{3, 9, 1, 2, 21};
    if (c == 3) {
      w.sim.handheld.reportWrongVersion = w.sim.handheld.requestWrongLoco = true;
      w.sim.handheld.locoAddress = 200;
      w.sim.ApplyHandheldConfig();
    }
    w.ctx.ans.RequestedLocoAddress = -1;  // set by the handheld's loco request
    start_firmware_update(w.ctx);
    RunUntil(
        w, [&] { return w.sim.firmwareStarts == 1; }, 1);
    const double startedAt = w.host.Now();
    EXPECT_EQ(read_info_block(w.ctx), 1) << "busy installing";
    RunUntil(
        w, [&] { return w.ctx.ans.RequestedLocoAddress != -1; }, 10);
    EXPECT_EQ(w.ctx.ans.RequestedLocoAddress, expected[c][2]);
    EXPECT_NEAR(w.host.Now() - startedAt, w.sim.handheld.restartTime, 0.05);
    ASSERT_EQ(read_info_block(w.ctx), 0);
    EXPECT_EQ(w.ctx.ans.DataBuf[0] * 10 + w.ctx.ans.DataBuf[1],
              expected[c][0] * 10 + expected[c][1]);
  }

  SimWorld never;
  never.sim.handheld.neverRestart = true;
  start_firmware_update(never.ctx);
  RunUntil(
      never, [] { return false; }, 0.1);
  EXPECT_EQ(never.sim.firmwareStarts + never.sim.installs, 1);
  EXPECT_TRUE(std::isinf(never.sim.NextEventTime()));
}

TEST(SimStation, AnswersTheIdNumberAndLogsEnterAndFinish) {
  SimWorld w;
  w.sim.station.idNumber = 9876543210;  // BCD bytes with the top bit set
  w.sim.station.bootLoaderVersion = 9;
  ASSERT_EQ(read_station_id(w.ctx), 0);
  EXPECT_EQ(w.ctx.ans.StationIdNumber, 9876543210);
  ASSERT_EQ(enter_boot_loader(w.ctx), 0);
  EXPECT_EQ(w.ctx.proto.BootLoaderVersion, 9);
  const sim::StationLog& log = w.sim.stationLog;
  EXPECT_TRUE(log.inUpdateMode);
  ASSERT_EQ(finish_update_mode(w.ctx), 0);
  EXPECT_EQ(std::vector<int>({log.inUpdateMode, log.enterRequests, log.versionRequests,
                              log.finishRequests, log.finishedWithVersion}),
            std::vector<int>({0, 1, 1, 1, 9}));
  w.sim.station.present = false;
  EXPECT_EQ(read_station_id(w.ctx), 1);
}

TEST(SimFaults, EachKnob) {
  SimLoNet s;
  s.faults.dropEchoes = 1;
  EXPECT_EQ(Exchange(s, kPm01), Messages{kAck});
  EXPECT_EQ(Exchange(s, kPm01), (Messages{kPm01, kAck}));

  SimWorld w;
  w.sim.faults.dropAnswers = 1;
  EXPECT_EQ(read_info_block(w.ctx), 1);
  EXPECT_EQ(read_info_block(w.ctx), 0);
  w.sim.faults.dropAnswers = 1;  // the station's fixed answer, its acknowledge is not enough
  EXPECT_EQ(enter_boot_loader(w.ctx), 1);

  for (int i = 0; i < 20; i++) w.ctx.ans.DataBuf[i] = i + 100;
  ASSERT_EQ(write_to_spibuf(w.ctx, 0, 0), 0);
  w.sim.faults.corruptReadbacks = 1;
  ASSERT_EQ(read_spibuf(w.ctx, 0), 0);
  int wrong = 0;
  for (int i = 0; i < 20; i++) wrong += w.ctx.ans.DataBuf[i] != i + 100;
  EXPECT_EQ(wrong, 1);

  SimLoNet noisy(7);
  noisy.faults.noiseBetweenMessages = true;
  noisy.PcWrite(0, kPm01);
  noisy.AdvanceTo(1);
  const Bytes stream = noisy.TakePcBytes();
  EXPECT_LT(stream[0], 0x80);
  EXPECT_EQ(Split(stream), (Messages{kPm01, kAck}));

  SimLoNet flood;
  flood.faults.floodMessages = 5;
  const Messages flooded = Exchange(flood, kPm01);
  ASSERT_EQ(flooded.size(), 7u);
  EXPECT_EQ(flooded.back(), kAck);
  for (int i = 1; i <= 5; i++) {
    EXPECT_EQ(flooded[i], WithChecksum(Bytes{0xA0, flooded[i][1], flooded[i][2]}));
  }
  EXPECT_EQ(Exchange(flood, kPm01).size(), 2u);

  SimWorld both;  // the tool copes with noise and flood at once
  both.sim.faults.noiseBetweenMessages = true;
  both.sim.faults.floodMessages = 10;
  EXPECT_EQ(read_info_block(both.ctx) + read_station_id(both.ctx), 0);
}

}  // namespace
}  // namespace skyrelay
