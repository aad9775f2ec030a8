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

// A long message with its fields and data packed as the tool sends them.
Bytes Long(uint8_t d1, uint8_t d2, std::array<int, 5> fields, std::array<uint8_t, 20> d = {}) {
  Bytes m{0xED, 0x1F, 0x08, d1, d2};
  for (int g = 0; g < 5; g++) {
    uint8_t flag = static_cast<uint8_t>(fields[g] << 4);
    for (int k = 0; k < 4; k++) flag |= ((d[4 * g + k] >> 7) & 1) << k;
    m.push_back(flag);
    for (int k = 0; k < 4; k++) m.push_back(d[4 * g + k] & 0x7F);
  }
  return WithChecksum(m);
}

const Bytes kPm01 = Long(0x66, 0x33, {7, 3, 1, 5, 6});
const Bytes kAck = WithChecksum({0xB4, 0x6D, 0x7F});

// Cuts what reached the PC into messages; bytes outside a message are skipped.
std::vector<Bytes> Messages(const Bytes& stream) {
  std::vector<Bytes> out;
  bool open = false;
  for (uint8_t b : stream) {
    if (b & 0x80) {
      out.push_back({b});
      open = true;
    } else if (open) {
      out.back().push_back(b);
    } else {
      continue;
    }
    const Bytes& m = out.back();
    if (m.size() >= 2 || (m[0] & 0xE0) != 0xE0) {
      open = m.size() < static_cast<size_t>(LocoNetLength(m[0], m.size() >= 2 ? m[1] : 0));
    }
  }
  return out;
}

// Everything the PC receives for `m` written at time `t`, until nothing is pending.
std::vector<Bytes> Exchange(SimLoNet& s, const Bytes& m, double t = 0) {
  s.PcWrite(t, m);
  s.AdvanceTo(t + 1);
  return Messages(s.TakePcBytes());
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
};

// ---------------------------------------------------------------- bus and echo

TEST(SimBus, EchoArrivesWhenTheMessageHasLeftTheBusAndMessagesQueue) {
  SimLoNet s;
  const Bytes silent = Long(0x11, 0x22, {0, 0, 0, 0, 0});  // nobody answers it
  s.PcWrite(0, silent);
  EXPECT_NEAR(s.NextEventTime(), 0.0186, 1e-9);
  s.AdvanceTo(0.0185);
  EXPECT_TRUE(s.TakePcBytes().empty());
  s.AdvanceTo(0.0187);
  EXPECT_EQ(s.TakePcBytes(), silent);
  EXPECT_EQ(s.busMessages, 1);
  EXPECT_NEAR(s.busTime, 31 * kByteTime, 1e-12);
  EXPECT_TRUE(std::isinf(s.NextEventTime()));

  // Byte by byte, with junk before the opcode and a broken message that a new
  // opcode cuts off; two whole messages in one write queue behind each other.
  SimLoNet q;
  q.PcWrite(0, Bytes{0x12, 0x34, 0xED, 0x1F, 0x08});
  for (size_t i = 0; i < silent.size(); i++) q.PcWrite(0.001 * i, Bytes{silent[i]});
  const Bytes speed = WithChecksum({0xA0, 0x05, 0x20});
  Bytes two = speed;
  two.insert(two.end(), speed.begin(), speed.end());
  q.PcWrite(0.030, two);
  q.AdvanceTo(0.030 + 31 * kByteTime + 1e-9);
  EXPECT_EQ(Messages(q.TakePcBytes()), std::vector<Bytes>{silent});
  EXPECT_NEAR(q.NextEventTime(), 0.030 + 35 * kByteTime, 1e-9);
  q.AdvanceTo(1);
  EXPECT_EQ(Messages(q.TakePcBytes()), (std::vector<Bytes>{speed, speed}));
  EXPECT_EQ(q.busMessages, 3);
}

TEST(SimBus, AnswerFollowsTheEchoAfterTheDelayAndHoldsTheBus) {
  SimLoNet s;
  s.PcWrite(0, kPm01);
  const double echoAt = 31 * kByteTime;
  const double ackAt = echoAt + s.handheld.answerDelay + 4 * kByteTime;
  s.AdvanceTo(echoAt);
  EXPECT_EQ(s.TakePcBytes(), kPm01);
  EXPECT_NEAR(s.NextEventTime(), echoAt + s.handheld.answerDelay, 1e-9);
  // A message the PC writes while the answer is on the bus waits for it.
  const double writeAt = ackAt - 1e-3;
  s.AdvanceTo(writeAt);
  const Bytes speed = WithChecksum({0xA0, 0x05, 0x20});
  s.PcWrite(writeAt, speed);
  s.AdvanceTo(ackAt);
  EXPECT_EQ(s.TakePcBytes(), kAck);
  EXPECT_NEAR(s.NextEventTime(), ackAt + 4 * kByteTime, 1e-9);
  s.AdvanceTo(1);
  EXPECT_EQ(s.TakePcBytes(), speed);
  EXPECT_EQ(s.busMessages, 3);
  EXPECT_NEAR(s.busTime, 39 * kByteTime, 1e-12);
}

// ---------------------------------------------------------------- DataFlash

TEST(SimFlash, TransferOpcodes) {
  sim::DataFlash f;
  std::vector<uint8_t> pattern(16);
  for (int i = 0; i < 16; i++) pattern[i] = static_cast<uint8_t>(0xA0 + i);
  f.Write(0x1001F8, pattern);  // crosses into the next page

  Bytes read{0xE8, 0x10, 0x01, 0xF8, 1, 2, 3, 4};
  read.resize(8 + 16, 0x55);
  f.Transfer(read);
  EXPECT_EQ(Bytes(read.begin() + 8, read.end()), pattern);

  Bytes toBuffer{0x53, 0x10, 0x02, 0x00};  // the page at 0x100200
  f.Transfer(toBuffer);
  EXPECT_EQ(Bytes(f.buffer1.begin(), f.buffer1.begin() + 8),
            Bytes(pattern.begin() + 8, pattern.end()));

  Bytes write{0x84, 0x00, 0x01, 0xFF, 0x11, 0x22};  // buffer address 511 wraps to 0
  f.Transfer(write);
  EXPECT_EQ(f.buffer1[511], 0x11);
  EXPECT_EQ(f.buffer1[0], 0x22);

  // Buffer 1 into the page at 0x200000. Every transfer clocks bytes back into its
  // buffer, so each one starts from a fresh copy.
  const Bytes program{0x83, 0x20, 0x00, 0x00};
  auto run = [&f](Bytes b) {
    f.Transfer(b);
    return b;
  };
  EXPECT_EQ(run(program), Bytes(4, 0xFF));
  EXPECT_EQ(f.pagePrograms, 1);
  EXPECT_EQ(f.Read(0x200000, 512), Bytes(f.buffer1.begin(), f.buffer1.end()));

  const std::vector<uint8_t> before = f.memory;
  Bytes unknown{0x9F, 0x20, 0x00, 0x00, 0x00};
  f.Transfer(unknown);
  EXPECT_TRUE(f.memory == before);

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

// ---------------------------------------------------------------- handheld

TEST(SimHandheld, InformationBlockTextsAndSettingsBlock) {
  SimWorld w;
  w.sim.handheld.version = {1, 5, 3, 11, 9};
  w.sim.handheld.articleNumber = 58401;
  ASSERT_EQ(read_info_block(w.ctx), 0);
  const int expected[10] = {1, 5, 3, 11, 9, '5', '8', '4', '0', '1'};
  for (int i = 0; i < 10; i++) EXPECT_EQ(w.ctx.ans.DataBuf[i], expected[i]) << i;
  for (int i = 10; i < 20; i++) EXPECT_EQ(w.ctx.ans.DataBuf[i], 0);

  EXPECT_EQ(w.sim.TextSlot(0, 51), (Bytes{4, 15, 27, 14, 18}));          // FREI
  EXPECT_EQ(w.sim.TextSlot(0, 52), (Bytes{6, 11, 14, 21, 14, 16, 29}));  // BELEGT
  w.sim.handheld.text51 = "rot";
  w.sim.handheld.text52 = "Grün 5!";
  w.sim.handheld.locoAddress = 300;
  w.sim.ApplyHandheldConfig();
  EXPECT_EQ(w.sim.TextSlot(0, 51), (Bytes{3, 27, 24, 29}));
  EXPECT_EQ(w.sim.TextSlot(0, 52), (Bytes{7, 16, 27, 38, 23, 39, 5, 39}));

  // The settings block as the update reads it back: loco address in 113/114.
  ASSERT_EQ(read_flash_to_spibuf(w.ctx, 0x3F0000, 128), 0);
  for (int offset = 0; offset <= 120; offset += 20) ASSERT_EQ(read_spibuf(w.ctx, offset), 0);
  EXPECT_EQ(w.ctx.ans.DataBuf[8 + 114] * 128 + w.ctx.ans.DataBuf[8 + 113], 300);
  const auto block = w.sim.flash.Read(0x3F0000, 128);
  for (int i = 0; i < 128; i++) EXPECT_EQ(w.ctx.ans.DataBuf[8 + i], block[i]) << i;
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
  for (int i = 0; i < 20; i++) buf[40 + i] = (i * 37 + 0x80) & 0xFF;  // top bits set too
  ASSERT_EQ(write_to_spibuf(w.ctx, 40, 0), 0);
  for (int i = 0; i < 20; i++) buf[40 + i] = -1;
  ASSERT_EQ(read_spibuf(w.ctx, 40), 0);
  for (int i = 0; i < 20; i++) EXPECT_EQ(buf[40 + i], (i * 37 + 0x80) & 0xFF) << i;

  std::vector<uint8_t> data(64);
  for (int i = 0; i < 64; i++) data[i] = static_cast<uint8_t>(255 - 3 * i);
  w.sim.flash.Write(0x1001E0, data);  // crosses a page boundary
  ASSERT_EQ(read_flash_to_spibuf(w.ctx, 0x1001E0, 64), 0);
  for (int offset = 0; offset <= 60; offset += 20) ASSERT_EQ(read_spibuf(w.ctx, offset), 0);
  for (int i = 0; i < 64; i++) EXPECT_EQ(buf[8 + i], data[i]) << i;

  // A full page through buffer 1, written and verified by the page writer.
  std::vector<uint8_t> page(512);
  int section = -1;
  for (int block = 8; block < 16; block++) {
    std::array<int, 65> d{};
    for (int i = 0; i < 64; i++) d[i] = page[(block - 8) * 64 + i] = (block * 64 + i * 7) & 0xFF;
    ASSERT_EQ(write_flash_section(w.ctx, block, d, section), 0) << block;
  }
  EXPECT_EQ(section, 7);
  EXPECT_EQ(w.sim.flash.pagePrograms, 1);
  EXPECT_EQ(w.sim.flash.Read(0x300200, 512), page);

  // A page that programs wrong is caught by the read-back.
  w.sim.flash.corruptPage = 0x300200 >> 9;
  w.sim.flash.corruptPrograms = 1;
  w.sim.flash.corruptOffset = 200;
  std::array<int, 65> last{};
  for (int i = 0; i < 64; i++) last[i] = page[7 * 64 + i];
  EXPECT_EQ(write_flash_section(w.ctx, 15, last, section), VerifyMismatch);
  EXPECT_EQ(w.sim.flash.corruptPrograms, 0);

  ASSERT_EQ(move_spibuf_to_buf1(w.ctx, 0x1001FF), 0);  // the page at 0x100000
  EXPECT_EQ(Bytes(w.sim.flash.buffer1.begin() + 0x1E0, w.sim.flash.buffer1.end()),
            Bytes(data.begin(), data.begin() + 32));
}

TEST(SimHandheld, UnknownBrokenOrUnaddressedCommandsGetOnlyTheEcho) {
  SimLoNet s;
  const Bytes unknownOp = Long(0x66, 0x33, {0, 5, 0, 0, 0});
  Bytes badChecksum = kPm01;
  badChecksum.back() ^= 0x01;
  const Bytes badStart = Long(0x66, 0x33, {5, 4, 2, 3, 6});  // start code missing
  for (const Bytes& m : {unknownOp, badChecksum, badStart}) {
    EXPECT_EQ(Exchange(s, m, s.Now()), std::vector<Bytes>{m});
  }
  EXPECT_EQ(s.firmwareStarts, 0);
  s.handheld.present = false;
  EXPECT_EQ(Exchange(s, kPm01, s.Now()), std::vector<Bytes>{kPm01});
}

TEST(SimHandheld, FirmwareStartInstallsRestartsAndRequestsTheLoco) {
  struct Case {
    const char* name;
    std::function<void(SimLoNet&)> setup;
    std::array<uint8_t, 2> version;
    int loco;
  };
  const Case cases[] = {
      {"minor+1", [](SimLoNet&) {}, {1, 1}, 3},
      {"SetNewVersion", [](SimLoNet& s) { s.SetNewVersion(2, 4); }, {2, 4}, 3},
      {"versionAfterUpdate",
       [](SimLoNet& s) {
         s.SetNewVersion(2, 4);
         s.handheld.versionAfterUpdate = std::array<uint8_t, 5>{3, 9, 1, 2, 21};
       },
       {3, 9},
       3},
      {"wrong version and loco",
       [](SimLoNet& s) {
         s.handheld.reportWrongVersion = true;
         s.handheld.requestWrongLoco = true;
         s.handheld.locoAddress = 200;
         s.ApplyHandheldConfig();
       },
       {1, 8},
       201},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimWorld w;
    c.setup(w.sim);
    w.ctx.ans.RequestedLocoAddress = -1;
    start_firmware_update(w.ctx);
    w.RunUntil([&] { return w.sim.firmwareStarts == 1; }, 1);
    const double startedAt = w.host.Now();
    EXPECT_TRUE(w.sim.Installing());
    EXPECT_EQ(read_info_block(w.ctx), 1);  // busy installing
    w.RunUntil([&] { return w.ctx.ans.RequestedLocoAddress != -1; }, 10);
    EXPECT_EQ(w.ctx.ans.RequestedLocoAddress, c.loco);
    EXPECT_NEAR(w.host.Now() - startedAt, w.sim.handheld.restartTime, 0.05);
    EXPECT_EQ(w.sim.installs, 1);
    ASSERT_EQ(read_info_block(w.ctx), 0);
    EXPECT_EQ(w.ctx.ans.DataBuf[0], c.version[0]);
    EXPECT_EQ(w.ctx.ans.DataBuf[1], c.version[1]);
  }

  SimWorld never;
  never.sim.handheld.neverRestart = true;
  start_firmware_update(never.ctx);
  never.RunUntil([] { return false; }, 0.1);
  EXPECT_EQ(never.sim.firmwareStarts, 1);
  EXPECT_TRUE(std::isinf(never.sim.NextEventTime()));
  EXPECT_EQ(never.sim.installs, 0);
}

// ---------------------------------------------------------------- command station

TEST(SimStation, IdentificationUpdateModeAndLoggedCommands) {
  SimWorld w;
  w.sim.station.idNumber = 9876543210;  // BCD bytes with the top bit set
  w.sim.station.bootLoaderVersion = 9;
  ASSERT_EQ(read_station_id(w.ctx), 0);
  EXPECT_EQ(w.ctx.ans.StationIdNumber, 9876543210);

  ASSERT_EQ(enter_boot_loader(w.ctx), 0);
  EXPECT_EQ(w.ctx.proto.BootLoaderVersion, 9);
  const sim::StationLog& log = w.sim.stationLog;
  EXPECT_TRUE(log.inUpdateMode);
  EXPECT_EQ(log.enterRequests, 1);
  EXPECT_EQ(log.versionRequests, 1);

  station_clear(w.ctx);
  station_set_value(w.ctx, 0x1234, 50);
  station_send_text(w.ctx, "Update Grün");
  EXPECT_EQ(log.clears, 1);
  EXPECT_EQ(log.values, (std::vector<std::pair<int, int>>{{0x1234, 50}}));
  EXPECT_EQ(log.texts, std::vector<std::string>{"Update Gr\xFCn"});

  ASSERT_EQ(finish_update_mode(w.ctx), 0);
  EXPECT_FALSE(log.inUpdateMode);
  EXPECT_EQ(log.finishRequests, 1);
  EXPECT_EQ(log.finishedWithVersion, 9);
  EXPECT_TRUE(w.host.messages.empty());
}

TEST(SimStation, SilentWhenAbsentOrWithoutIdentification) {
  SimWorld w;
  w.sim.station.idNumber = -1;
  EXPECT_EQ(read_station_id(w.ctx), 1);
  w.sim.station.present = false;
  EXPECT_EQ(enter_boot_loader(w.ctx), 1);
  EXPECT_EQ(w.sim.stationLog.enterRequests, 0);
}

// ---------------------------------------------------------------- faults

TEST(SimFaults, EchoesAndAnswersLost) {
  SimLoNet s;
  s.faults.dropEchoes = 1;
  EXPECT_EQ(Exchange(s, kPm01, 0), std::vector<Bytes>{kAck});  // the handheld still answers
  EXPECT_EQ(Exchange(s, kPm01, s.Now()), (std::vector<Bytes>{kPm01, kAck}));

  SimWorld w;
  w.sim.faults.dropAnswers = 1;
  EXPECT_EQ(read_info_block(w.ctx), 1);
  EXPECT_EQ(read_info_block(w.ctx), 0);
  w.sim.faults.dropAnswers = 1;  // the station's fixed answer is lost, its acknowledge alone
  EXPECT_EQ(enter_boot_loader(w.ctx), 1);  // is not enough
}

TEST(SimFaults, CorruptReadbackChangesOneByteOnce) {
  SimWorld w;
  auto& buf = w.ctx.ans.DataBuf;
  for (int i = 0; i < 20; i++) buf[i] = i + 100;
  ASSERT_EQ(write_to_spibuf(w.ctx, 0, 0), 0);
  w.sim.faults.corruptReadbacks = 1;
  ASSERT_EQ(read_spibuf(w.ctx, 0), 0);
  int wrong = 0;
  for (int i = 0; i < 20; i++) wrong += buf[i] != i + 100;
  EXPECT_EQ(wrong, 1);
  ASSERT_EQ(read_spibuf(w.ctx, 0), 0);
  for (int i = 0; i < 20; i++) EXPECT_EQ(buf[i], i + 100);
}

TEST(SimFaults, NoiseAndFloodAroundMessages) {
  SimLoNet s(7);
  s.faults.noiseBetweenMessages = true;
  s.PcWrite(0, kPm01);
  s.AdvanceTo(1);
  const Bytes stream = s.TakePcBytes();
  ASSERT_GT(stream.size(), 35u);
  EXPECT_LT(stream[0], 0x80);
  EXPECT_EQ(Messages(stream), (std::vector<Bytes>{kPm01, kAck}));

  SimLoNet f;
  f.faults.floodMessages = 5;
  const auto messages = Exchange(f, kPm01);
  ASSERT_EQ(messages.size(), 7u);
  EXPECT_EQ(messages.front(), kPm01);
  EXPECT_EQ(messages.back(), kAck);
  for (int i = 1; i <= 5; i++) {
    EXPECT_EQ(messages[i].size(), 4u);
    EXPECT_EQ(messages[i][0], 0xA0);
    EXPECT_EQ(WithChecksum(Bytes(messages[i].begin(), messages[i].end() - 1)), messages[i]);
  }
  EXPECT_EQ(Exchange(f, kPm01, f.Now()).size(), 2u);

  // The tool copes with both at once.
  SimWorld w;
  w.sim.faults.noiseBetweenMessages = true;
  w.sim.faults.floodMessages = 10;
  EXPECT_EQ(read_info_block(w.ctx), 0);
  EXPECT_EQ(w.ctx.ans.DataBuf[5], '5');
  EXPECT_EQ(read_station_id(w.ctx), 0);
  EXPECT_EQ(w.ctx.ans.StationIdNumber, w.sim.station.idNumber);
}

}  // namespace
}  // namespace skyrelay
