// The simulated LocoNet: bus timing and echo, the handheld's boot loader and its
// DataFlash, the command station, and the fault knobs.
#include <gtest/gtest.h>

#include <algorithm>
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

// A long message with its fields and data packed as the tool sends them.
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
struct SimWorld {
  SimLoNet sim;
  VirtualHost host{&sim};
  Context ctx{host};
  SimWorld() {
    host.Attach(&ctx);
    host.Port().Open();
    ctx.settings.InterfaceKind = 3;
  }
  void RunUntil(const std::function<bool()>& done, double seconds) {
    const double end = host.Now() + seconds;
    while (host.Now() < end && !done()) host.Yield();
  }
  std::vector<int> Data(int from, int to) const {
    return {ctx.ans.DataBuf.begin() + from, ctx.ans.DataBuf.begin() + to};
  }
};

TEST(SimBus, EchoAfterTheBusTimeAnswerAfterTheDelayMessagesQueue) {
  SimLoNet s;
  const Bytes silent = Long(0x11, 0x22, {0, 0, 0, 0, 0});  // nobody answers it
  s.PcWrite(0, Bytes{0x12, 0x34, 0xED, 0x1F, 0x08});       // junk, then a message cut off
  for (size_t i = 0; i < silent.size(); i++) s.PcWrite(0.001 * i, Bytes{silent[i]});
  const double echoAt = 0.030 + 31 * kByteTime;
  EXPECT_NEAR(s.NextEventTime(), echoAt, 1e-9);
  s.AdvanceTo(echoAt - 1e-6);
  EXPECT_TRUE(s.TakePcBytes().empty());
  s.AdvanceTo(echoAt);
  EXPECT_EQ(s.TakePcBytes(), silent);
  EXPECT_TRUE(std::isinf(s.NextEventTime()));

  // Two messages in one write queue behind each other.
  Bytes two = kSpeed;
  two.insert(two.end(), kSpeed.begin(), kSpeed.end());
  s.PcWrite(0.1, two);
  s.AdvanceTo(0.1 + 4 * kByteTime + 1e-9);
  EXPECT_NEAR(s.NextEventTime(), 0.1 + 8 * kByteTime, 1e-9);
  s.AdvanceTo(1);
  EXPECT_EQ(Split(s.TakePcBytes()), (Messages{kSpeed, kSpeed}));

  // The answer follows the echo after the delay; a PC message meanwhile waits for it.
  const double at = 1, ackAt = at + 31 * kByteTime + s.handheld.answerDelay + 4 * kByteTime;
  s.PcWrite(at, kPm01);
  s.AdvanceTo(ackAt - 1e-3);
  EXPECT_EQ(s.TakePcBytes(), kPm01);
  s.PcWrite(ackAt - 1e-3, kSpeed);
  s.AdvanceTo(ackAt);
  EXPECT_EQ(s.TakePcBytes(), kAck);
  EXPECT_NEAR(s.NextEventTime(), ackAt + 4 * kByteTime, 1e-9);
  s.AdvanceTo(2);
  EXPECT_EQ(s.TakePcBytes(), kSpeed);
  EXPECT_EQ(s.busMessages, 6);
  EXPECT_NEAR(s.busTime, (31 + 8 + 31 + 4 + 4) * kByteTime, 1e-12);
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
  EXPECT_EQ(f.buffer1[511], 0x11);
  EXPECT_EQ(f.buffer1[0], 0x22);

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

TEST(SimHandheld, InformationBlockTextsAndSettingsBlock) {
  SimWorld w;
  w.sim.handheld.version = {1, 5, 3, 11, 9};
  w.sim.handheld.articleNumber = 58401;
  ASSERT_EQ(read_info_block(w.ctx), 0);
  EXPECT_EQ(w.Data(0, 20), (std::vector<int>{1, 5, 3, 11, 9, '5', '8', '4', '0', '1',
                                             0, 0, 0, 0,  0, 0,   0,   0,   0,   0}));

  EXPECT_EQ(w.sim.TextSlot(0, 51), (Bytes{4, 15, 27, 14, 18}));  // FREI
  w.sim.handheld.text51 = "rot";
  w.sim.handheld.text52 = "Grün 5!";
  w.sim.handheld.locoAddress = 300;
  w.sim.ApplyHandheldConfig();
  EXPECT_EQ(w.sim.TextSlot(0, 51), (Bytes{3, 27, 24, 29}));
  EXPECT_EQ(w.sim.TextSlot(0, 52), (Bytes{7, 16, 27, 38, 23, 39, 5, 39}));

  ASSERT_EQ(read_flash_to_spibuf(w.ctx, 0x3F0000, 128), 0);
  for (int offset = 0; offset <= 120; offset += 20) ASSERT_EQ(read_spibuf(w.ctx, offset), 0);
  const auto block = w.sim.flash.Read(0x3F0000, 128);
  EXPECT_EQ(w.Data(8, 136), std::vector<int>(block.begin(), block.end()));
  EXPECT_EQ(block[114] * 128 + block[113], 300) << "loco address";
  EXPECT_EQ(std::count(block.begin(), block.end(), 0xFF), 0);

  w.sim.handheld.text51.clear();
  w.sim.handheld.text52.clear();
  w.sim.ApplyHandheldConfig();
  EXPECT_EQ(w.sim.TextSlot(0, 51), Bytes{0xFF});
  EXPECT_EQ(w.sim.flash.Read(0x120660, 64), Bytes(64, 0xFF));
}

TEST(SimHandheld, SpiBufferAndFlashRoundTrips) {
  SimWorld w;
  auto& buf = w.ctx.ans.DataBuf;
  std::vector<int> sent(20);
  for (int i = 0; i < 20; i++) buf[40 + i] = sent[i] = (i * 37 + 0x80) & 0xFF;  // top bits too
  ASSERT_EQ(write_to_spibuf(w.ctx, 40, 0), 0);
  std::fill(buf.begin() + 40, buf.begin() + 60, -1);
  ASSERT_EQ(read_spibuf(w.ctx, 40), 0);
  EXPECT_EQ(w.Data(40, 60), sent);

  Bytes data(64);
  for (int i = 0; i < 64; i++) data[i] = static_cast<uint8_t>(255 - 3 * i);
  w.sim.flash.Write(0x1001E0, data);  // crosses a page boundary
  ASSERT_EQ(read_flash_to_spibuf(w.ctx, 0x1001E0, 64), 0);
  for (int offset = 0; offset <= 60; offset += 20) ASSERT_EQ(read_spibuf(w.ctx, offset), 0);
  EXPECT_EQ(w.Data(8, 72), std::vector<int>(data.begin(), data.end()));

  ASSERT_EQ(move_spibuf_to_buf1(w.ctx, 0x1001FF), 0);  // the page at 0x100000
  EXPECT_EQ(Bytes(w.sim.flash.buffer1.begin() + 0x1E0, w.sim.flash.buffer1.end()),
            Bytes(data.begin(), data.begin() + 32));
}

TEST(SimHandheld, UnknownBrokenOrUnaddressedCommandsGetOnlyTheEcho) {
  SimLoNet s;
  Bytes badChecksum = kPm01;
  badChecksum.back() ^= 0x01;
  const Bytes unknownOp = Long(0x66, 0x33, {0, 5, 0, 0, 0});
  const Bytes badStart = Long(0x66, 0x33, {5, 4, 2, 3, 6});
  for (const Bytes& m : {unknownOp, badChecksum, badStart}) EXPECT_EQ(Exchange(s, m), Messages{m});
  EXPECT_EQ(s.firmwareStarts, 0);
  s.handheld.present = false;
  EXPECT_EQ(Exchange(s, kPm01), Messages{kPm01});
}

TEST(SimHandheld, FirmwareStartInstallsRestartsAndRequestsTheLoco) {
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
    w.ctx.ans.RequestedLocoAddress = -1;
    start_firmware_update(w.ctx);
    w.RunUntil([&] { return w.sim.firmwareStarts == 1; }, 1);
    const double startedAt = w.host.Now();
    EXPECT_EQ(read_info_block(w.ctx), 1) << "busy installing";
    w.RunUntil([&] { return w.ctx.ans.RequestedLocoAddress != -1; }, 10);
    EXPECT_EQ(w.ctx.ans.RequestedLocoAddress, expected[c][2]);
    EXPECT_NEAR(w.host.Now() - startedAt, w.sim.handheld.restartTime, 0.05);
    EXPECT_EQ(w.sim.installs, 1);
    ASSERT_EQ(read_info_block(w.ctx), 0);
    EXPECT_EQ(w.Data(0, 2), std::vector<int>(expected[c], expected[c] + 2));
  }

  SimWorld never;
  never.sim.handheld.neverRestart = true;
  start_firmware_update(never.ctx);
  never.RunUntil([] { return false; }, 0.1);
  EXPECT_EQ(never.sim.firmwareStarts, 1);
  EXPECT_TRUE(std::isinf(never.sim.NextEventTime()));
  EXPECT_EQ(never.sim.installs, 0);
}

TEST(SimStation, AnswersAndLogsCommandsOrStaysSilent) {
  SimWorld w;
  w.sim.station.idNumber = 9876543210;  // BCD bytes with the top bit set
  w.sim.station.bootLoaderVersion = 9;
  ASSERT_EQ(read_station_id(w.ctx), 0);
  EXPECT_EQ(w.ctx.ans.StationIdNumber, 9876543210);
  ASSERT_EQ(enter_boot_loader(w.ctx), 0);
  EXPECT_EQ(w.ctx.proto.BootLoaderVersion, 9);
  const sim::StationLog& log = w.sim.stationLog;
  EXPECT_TRUE(log.inUpdateMode);
  station_clear(w.ctx);
  station_set_value(w.ctx, 0x1234, 50);
  station_send_text(w.ctx, "Update Grün");
  ASSERT_EQ(finish_update_mode(w.ctx), 0);
  EXPECT_FALSE(log.inUpdateMode);
  EXPECT_EQ(std::vector<int>({log.enterRequests, log.versionRequests, log.clears,
                              log.finishRequests, log.finishedWithVersion}),
            std::vector<int>({1, 1, 1, 1, 9}));
  EXPECT_EQ(log.values, (std::vector<std::pair<int, int>>{{0x1234, 50}}));
  EXPECT_EQ(log.texts, std::vector<std::string>{"Update Gr\xFCn"});
  EXPECT_TRUE(w.host.messages.empty());

  SimWorld silent;
  silent.sim.station.idNumber = -1;
  EXPECT_EQ(read_station_id(silent.ctx), 1);
  silent.sim.station.present = false;
  EXPECT_EQ(enter_boot_loader(silent.ctx), 1);
  EXPECT_EQ(silent.sim.stationLog.enterRequests, 0);
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

  SimWorld c;
  for (int i = 0; i < 20; i++) c.ctx.ans.DataBuf[i] = i + 100;
  const std::vector<int> sent = c.Data(0, 20);
  ASSERT_EQ(write_to_spibuf(c.ctx, 0, 0), 0);
  c.sim.faults.corruptReadbacks = 1;
  ASSERT_EQ(read_spibuf(c.ctx, 0), 0);
  int wrong = 0;
  for (int i = 0; i < 20; i++) wrong += c.Data(0, 20)[i] != sent[i];
  EXPECT_EQ(wrong, 1);
  ASSERT_EQ(read_spibuf(c.ctx, 0), 0);
  EXPECT_EQ(c.Data(0, 20), sent);

  SimLoNet noisy(7);
  noisy.faults.noiseBetweenMessages = true;
  noisy.PcWrite(0, kPm01);
  noisy.AdvanceTo(1);
  const Bytes stream = noisy.TakePcBytes();
  EXPECT_GT(stream.size(), 35u);
  EXPECT_LT(stream[0], 0x80);
  EXPECT_EQ(Split(stream), (Messages{kPm01, kAck}));

  SimLoNet flood;
  flood.faults.floodMessages = 5;
  const Messages flooded = Exchange(flood, kPm01);
  ASSERT_EQ(flooded.size(), 7u);
  EXPECT_EQ(flooded.front(), kPm01);
  EXPECT_EQ(flooded.back(), kAck);
  for (int i = 1; i <= 5; i++) {
    EXPECT_EQ(flooded[i], WithChecksum(Bytes(flooded[i].begin(), flooded[i].end() - 1)));
    EXPECT_EQ(flooded[i].size(), 4u);
    EXPECT_EQ(flooded[i][0], 0xA0);
  }
  EXPECT_EQ(Exchange(flood, kPm01).size(), 2u);

  SimWorld both;  // the tool copes with noise and flood at once
  both.sim.faults.noiseBetweenMessages = true;
  both.sim.faults.floodMessages = 10;
  EXPECT_EQ(read_info_block(both.ctx), 0);
  EXPECT_EQ(read_station_id(both.ctx), 0);
  EXPECT_EQ(both.ctx.ans.StationIdNumber, both.sim.station.idNumber);
}

}  // namespace
}  // namespace skyrelay
