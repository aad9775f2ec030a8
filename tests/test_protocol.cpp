// The service commands of the handheld and the command station, byte by byte against
// a scripted far side, their waits, and the flash page writer against the simulator.
#include <gtest/gtest.h>

#include <map>

#include "support.h"

namespace skyrelay {
namespace {

using test::Ack;
using test::Bytes;
using test::World;
using Messages = std::vector<Bytes>;
using Strings = std::vector<std::string>;

// A long message as the commands must send it: five 3-bit fields and data bytes
// D1..D20 (full 8-bit values; the top bits go into the group's flag byte).
Bytes Long(uint8_t d1, uint8_t d2, std::array<int, 5> fields, std::map<int, int> data = {}) {
  Bytes m{0xED, 0x1F, 0x08, d1, d2};
  for (int g = 0; g < 5; g++) {
    m.push_back(static_cast<uint8_t>(fields[g] << 4));
    for (int k = 1; k <= 4; k++) {
      const int value = data.count(4 * g + k) ? data[4 * g + k] : 0;
      if (value & 0x80) m[5 + 5 * g] |= static_cast<uint8_t>(1 << (k - 1));
      m.push_back(value & 0x7F);
    }
  }
  return test::WithChecksum(m);
}
Bytes Handheld(std::array<int, 5> fields, std::map<int, int> data = {}) {
  return Long(0x66, 0x33, fields, data);
}
Bytes Station(int f1, int f2, int f3, std::map<int, int> data) {
  return Long(0x4E, 0x57, {7, 7, f1, f2, f3}, data);
}

// The station's identification number 4200000017.
const Bytes kIdAnswer =
    test::WithChecksum({0xE5, 0x0F, 0x01, 0x4E, 0x51, 0x09, 0, 0x42, 0, 0, 0, 0x17, 0, 0});

std::array<int, 20> Twenty(int seed) {
  std::array<int, 20> d{};
  for (int i = 0; i < 20; i++) d[i] = (seed + 37 * i) & 0xFF;
  return d;
}

// Acknowledges every long message with 127 and answers the fetches with Twenty(offset).
void HandheldAnswers(World& w) {
  w.sim.script = [](const Bytes& m) -> Messages {
    if (m[0] != 0xED) return {};
    const int op = (m[10] >> 4) & 7, pm01 = m[5] == 0x70;
    const int offset = ((m[15] >> 4) & 1) * 64 + ((m[20] >> 4) & 7) * 8 + ((m[25] >> 4) & 7);
    if (op == 2 || (op == 3 && !pm01)) return {test::DataAnswer(Twenty(op == 3 ? 0 : offset))};
    return {Ack(0x7F)};
  };
}

// Each command sends exactly its message and stores the answer; unanswered, or
// refused with 0, it is sent three times more and fails after a little more than
// 2 seconds for each try with its message.
TEST(HandheldCommands, MessageAnswerAndTimeOut) {
  std::map<int, int> spi60, spi0, spi120;
  std::array<int, 513> buf{};
  for (int i = 0; i <= 512; i++) buf[i] = (i * 13 + 200) & 0xFF;
  for (int d = 1; d <= 19; d++)
    spi60[d] = buf[59 + d], spi0[d] = buf[d - 1], spi120[d] = buf[119 + d];
  spi60[20] = 68, spi0[20] = buf[19], spi120[20] = 1;
  std::map<int, int> spi500;  // nothing from beyond the buffer's end
  for (int d = 1; d <= 13; d++) spi500[d] = buf[499 + d];
  using Run = std::function<int(Context&)>;
  const auto code = [](const auto& result) { return result ? 0 : 1; };
  const std::span<const int> nothing;
  const std::string none = "-", move = "Timeout|move_spibuf_to_buf1";
  // clang-format off
  const struct {
    Run run;
    Bytes message;
    int answerAt;         // where a data answer lands in DataBuf; -1: none
    std::string timeout;  // shown at a time-out; "": nothing, "-": not tried
  } cases[] = {
      {[&](Context& c) { return code(c.handheld.read_info_block()); }, Handheld({0, 3, 0, 0, 0}), 0, ""},
      {[&](Context& c) { return code(c.handheld.read_spibuf(100)); }, Handheld({0, 2, 1, 4, 4}), 100, "Timeout|read_spibuf"},
      {[&](Context& c) { return code(c.handheld.read_flash_to_spibuf(0x3F0000, 128)); },
       Handheld({0, 1, 0, 0, 0}, {{1, 0xE8}, {2, 0x3F}, {20, 136}}), -1, "Timeout|read_flash_to_spibuf"},
      {[&](Context& c) { return code(c.handheld.read_flash_to_spibuf(0x12345F, 32)); },
       Handheld({0, 1, 0, 0, 0}, {{1, 0xE8}, {2, 0x12}, {3, 0x34}, {4, 0x5F}, {20, 40}}), -1, none},
      {[&](Context& c) { return code(c.handheld.write_to_spibuf(60, nothing, 68)); }, Handheld({0, 1, 0, 7, 4}, spi60), -1, "Timeout|write_to_spibuf"},
      {[&](Context& c) { return code(c.handheld.write_to_spibuf(0, nothing, 0)); }, Handheld({0, 0, 0, 0, 0}, spi0), -1, none},
      {[&](Context& c) { return code(c.handheld.write_to_spibuf(120, nothing, 1)); }, Handheld({0, 1, 1, 7, 0}, spi120), -1, none},
      {[&](Context& c) { return code(c.handheld.write_to_spibuf(500, nothing, 0)); }, Handheld({0, 0, 1, 6, 4}, spi500), -1, none},
      {[&](Context& c) { return code(c.handheld.move_spibuf_to_buf1(0xE07FF)); },
       Handheld({0, 1, 0, 0, 0}, {{1, 0x53}, {2, 0x0E}, {3, 0x06}, {20, 4}}), -1, move},
      {[&](Context& c) { return code(c.handheld.write_buf1_to_flash(0x3F0123)); },
       Handheld({0, 1, 0, 0, 0}, {{1, 0x83}, {2, 0x3F}, {3, 0x00}, {20, 4}}), -1, move},
      {[&](Context& c) { return code(c.handheld.send_pm01(true)); }, Handheld({7, 3, 1, 5, 6}), -1, none},
      {[&](Context& c) { return c.handheld.start_firmware_update(), 0; },
       Handheld({5, 4, 2, 3, 6}, {{14, 0x2B}, {15, 0x06}, {16, 0x4D}}), -1, none},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.message));
    World w;
    HandheldAnswers(w);
    w.ctx.devices.spiBuffer = buf;
    EXPECT_EQ(c.run(w.ctx), 0);
    w.RunFor(0.1);
    EXPECT_EQ(w.Sent(), Messages{c.message});
    std::array<int, 513> expected = buf;
    if (c.answerAt >= 0) {
      const auto data = Twenty(c.answerAt);
      std::copy(data.begin(), data.end(), expected.begin() + c.answerAt);
    }
    EXPECT_EQ(w.ctx.devices.spiBuffer, expected);
    EXPECT_TRUE(w.host.messages.empty());
    for (bool refused : {false, true}) {
      if (c.timeout == none) break;
      World silent;
      if (refused) silent.sim.script = [](const Bytes&) { return Messages{Ack(0)}; };
      EXPECT_EQ(c.run(silent.ctx), 1);
      // Sent four times in all, each try with its own time-out, and one box at the end.
      const Messages sent = silent.Sent();
      ASSERT_FALSE(sent.empty());
      EXPECT_EQ(sent, Messages(4, sent[0]));
      EXPECT_EQ(silent.ctx.devices.repeats, 3);
      EXPECT_GT(silent.host.Now(), 4 * 2.0);
      EXPECT_LT(silent.host.Now(), 4 * 2.011);
      EXPECT_EQ(test::Shown(silent.host), c.timeout.empty() ? Strings{} : Strings{c.timeout});
      for (const RecordedMessage& m : silent.host.messages) EXPECT_EQ(m.icon, Icon::Critical);
    }
  }
}

// send_pm01 clears the ring first: an acknowledge left over from before is no answer.
TEST(HandheldCommands, SendPm01TriesTwentyOneTimesOneSecondApart) {
  World w;
  HandheldAnswers(w);
  EXPECT_TRUE(w.ctx.handheld.read_spibuf(0));  // the 0xED request before it was echoed
  w.sim.script = [](const Bytes&) { return Messages{}; };
  w.sent.clear();
  w.Receive(Ack(0x7F));
  const double start = w.host.Now();
  EXPECT_EQ(w.ctx.handheld.send_pm01(false).error(), CommandError{Command::WakeUp});
  EXPECT_EQ(w.Sent(), Messages(21, Handheld({7, 3, 1, 5, 6})));
  EXPECT_NEAR(w.host.Now() - start, 21.0, 0.3);
  Strings progress;
  for (int i = 0; i <= 20; i++) progress.push_back("PM01= " + std::to_string(i));
  EXPECT_EQ(w.host.statuses, progress);
  EXPECT_TRUE(w.host.messages.empty());
}

// A world whose every yield moves the clock by a whole step and runs one tick.
struct Jumps {
  VirtualHost host;
  Context ctx{host};
  explicit Jumps(double step) : host(nullptr, step) { host.Attach(&ctx.link); }
};

// An answer taken in the pass that also passes the time-out counts, whether the
// wait tests the time before its yield or after it (read_station_id): what has
// arrived is handled before the time is up. The time tests are strict.
TEST(Waits, AnswerTestBeforeStrictTimeTest) {
  Jumps info(3.0), id(3.0), silent(1.0), idSilent(1.0), pause(0.5);
  info.ctx.link.OnSerialData(test::DataAnswer(Twenty(1)));
  EXPECT_EQ(info.ctx.handheld.read_info_block().value(), Twenty(1));
  id.ctx.link.OnSerialData(kIdAnswer);
  EXPECT_EQ(id.ctx.station.read_station_id().value(), 4200000017);
  EXPECT_FALSE(silent.ctx.handheld.read_info_block());
  EXPECT_EQ(silent.host.Now(), 3.0) << "2 seconds are not more than 2";
  EXPECT_FALSE(idSilent.ctx.station.read_station_id());
  EXPECT_EQ(idSilent.host.Now(), 3.0);
  pause.ctx.link.WaitSeconds(1.0);
  EXPECT_EQ(pause.host.Now(), 1.5);
}

TEST(StationCommands, SendExactlyTheirMessages) {
  World w;
  w.ctx.station.station_clear();
  w.ctx.station.station_set_value(0x1234, 50);
  w.ctx.station.station_send_text("Update SKY RELAY abÜcdef");  // Ü (0xDC) is the 20th character
  EXPECT_NEAR(w.host.Now(), 1.5, 0.05) << "half a second after each";
  std::map<int, int> text;
  for (int i = 0; i < 20; i++) text[i + 1] = static_cast<uint8_t>("Update SKY RELAY ab\xDC"[i]);
  EXPECT_EQ(w.Sent(), (Messages{Station(3, 1, 0, {}),
                                Station(3, 1, 1, {{1, 0x34}, {2, 0x12}, {3, 50}, {4, 50}}),
                                Station(3, 1, 3, text)}));
  EXPECT_EQ(w.Sent()[0].back(), 0x3C);

  World id;
  id.sim.script = [](const Bytes& m) { return m[1] == 0x0F ? Messages{kIdAnswer} : Messages{}; };
  EXPECT_EQ(id.ctx.station.read_station_id().value(), 4200000017);
  EXPECT_EQ(
      id.Sent(),
      Messages{test::WithChecksum({0xED, 0x0F, 0x01, 0x4E, 0x51, 0x07, 0, 0, 0, 0, 0, 0, 0, 0})});
  World silent;
  EXPECT_EQ(silent.ctx.station.finish_update_mode().error(),
            CommandError{Command::LeaveUpdateMode});
  EXPECT_FALSE(silent.ctx.station.read_station_id());
  EXPECT_EQ(test::Shown(silent.host), Strings{"Timeout|enter_boot_loader"})
      << "read_station_id is silent";
}

// enter_boot_loader needs the fixed answer together with 127, or 1 alone, then takes
// any acknowledge as the boot loader version, which finish_update_mode sends back.
TEST(StationCommands, UpdateModeAnswersAndTimeOuts) {
  const Bytes fixed = test::StationFixedAnswer();
  const struct {
    Messages first, second;
    int version;
    Strings shown;
  } cases[] = {
      {{fixed, Ack(0x7F)}, {Ack(5)}, 5, {}},
      {{Ack(0x01)}, {Ack(9)}, 9, {}},
      {{Ack(0x7F)}, {Ack(5)}, 0, {"Timeout|enter_boot_loader"}},
      {{fixed}, {Ack(5)}, 0, {"Timeout|enter_boot_loader"}},
      {{Ack(0x01)}, {}, 0, {"Timeout|boot_loader_version"}},
  };
  std::map<int, int> code = {{2, 0x7F},  {3, 0x7F},  {4, 0x7F},  {9, 0x15},  {10, 0x05}, {11, 0x11},
                             {12, 0x2C}, {13, 0x09}, {14, 0x1A}, {15, 0x03}, {16, 0x0B}};
  for (const auto& c : cases) {
    World w;
    w.sim.script = [&](const Bytes& m) -> Messages {
      if (m[0] != 0xED) return {};
      const int field2 = (m[20] >> 4) & 7;
      return field2 == 7 ? c.first : field2 == 4 ? c.second : Messages{Ack(0x7F)};
    };
    const Result<int> entered = w.ctx.station.enter_boot_loader();
    EXPECT_EQ(entered ? entered.value() : 0, c.version);
    EXPECT_TRUE(w.ctx.station.finish_update_mode());
    EXPECT_EQ(test::Shown(w.host), c.shown);
    Messages expected{Station(3, 7, 0, code)};  // the update-mode request never twice
    if (c.shown.empty()) expected.push_back(Station(3, 4, 0, code));
    if (!c.shown.empty() && c.shown[0].ends_with("version"))  // a pure read: four tries
      expected.insert(expected.end(), 4, Station(3, 4, 0, code));
    std::map<int, int> finish = code;
    finish[1] = c.version;
    expected.push_back(Station(3, 0, 0, finish));
    EXPECT_EQ(w.Sent(), expected) << c.version;
  }
}

std::array<int, 64> Block(int k) {
  std::array<int, 64> data{};
  for (int i = 0; i < 64; i++) data[i] = (k * 31 + i * 7 + (i >> 3)) & 0xFF;
  return data;
}

Bytes Blocks(int from, int to) {
  Bytes out;
  for (int k = from; k <= to; k++) {
    const auto data = Block(k);
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

// Blocks from..to into buffer 1, section by section, as the firmware stage writes them.
PageImage Fill(Context& ctx, int from, int to) {
  PageImage page{};
  for (int k = from; k <= to; k++) {
    page[k & 7] = Block(k);
    EXPECT_TRUE(WriteBuffer1(ctx.handheld, (k & 7) * 64, Block(k), 60, 0x30)) << k;
  }
  return page;
}

TEST(FlashPages, PagesAndTheLastPartialPageRoundTrip) {
  test::SimWorld w;
  for (int first : {0, 8, 16}) {
    const PageImage page = Fill(w.ctx, first, std::min(first + 7, 16));
    const uint32_t address = FlashImageBase + first * 64;
    ASSERT_TRUE(w.ctx.handheld.write_buf1_to_flash(address));
    ASSERT_TRUE(VerifyPage(w.ctx.handheld, address, page, first == 16 ? 0 : 7));
  }
  EXPECT_EQ(w.sim.flash.Read(FlashImageBase, 17 * 64), Blocks(0, 16));
  const Result<std::vector<int>> read = ReadFlash(w.ctx.handheld, FlashImageBase + 60, 10);
  const Bytes first = Blocks(0, 1);
  EXPECT_EQ(Bytes(read.value().begin(), read.value().end()),
            Bytes(first.begin() + 60, first.begin() + 70));
  EXPECT_TRUE(w.host.messages.empty());
}

// A page that reads back wrong ends the verify at its first wrong section, without
// a second attempt; a read-back without its answer is repeated by itself, and
// one that never gets it ends the verify with one time-out.
TEST(FlashPages, VerifyOutcomes) {
  using Kind = CommandError::Kind;
  const struct {
    uint32_t wrongByte;  // offset in the page programmed wrongly; 512: none
    long lostAnswer;     // the answer to this message of the verify is lost
    std::optional<Kind> result;
    long messages;  // sent for the verify
    Strings shown;
  } cases[] = {
      {5, 0, Kind::Mismatch, 5, {}},          // the first section is wrong
      {511, 0, Kind::Mismatch, 8 * 5, {}},    // its last byte is wrong
      {512, 2, std::nullopt, 1 + 8 * 5, {}},  // that read alone is repeated
  };
  for (const auto& c : cases) {
    test::SimWorld w;
    const PageImage page = Fill(w.ctx, 8, 15);
    if (c.wrongByte < 512) {
      w.sim.flash.corruptPage = FlashImageBase / 512 + 1;
      w.sim.flash.corruptPrograms = 1;
      w.sim.flash.corruptOffset = c.wrongByte;
    }
    ASSERT_TRUE(w.ctx.handheld.write_buf1_to_flash(FlashImageBase + 512));
    const long before = w.ctx.link.stats.messagesSent;
    w.onSent = [&](const Bytes&) {
      if (w.ctx.link.stats.messagesSent - before == c.lostAnswer) w.sim.faults.dropAnswers = 1;
    };
    const Done verified = VerifyPage(w.ctx.handheld, FlashImageBase + 512, page, 7);
    EXPECT_EQ(verified ? std::nullopt : std::optional<Kind>(verified.error().kind), c.result);
    EXPECT_EQ(w.ctx.link.stats.messagesSent - before, c.messages);
    EXPECT_EQ(test::Shown(w.host), c.shown) << c.messages;
  }

  test::SimWorld silent;  // a verify that gets no answer ends after the read's repeats
  silent.sim.handheld.present = false;
  EXPECT_EQ(VerifyPage(silent.ctx.handheld, 0x307C00, PageImage{}, 0).error(),
            (CommandError{Command::ReadSpiBuffer, CommandError::Kind::NoAnswer}));
  EXPECT_EQ(silent.ctx.link.stats.messagesSent, 4);
  EXPECT_EQ(test::Shown(silent.host), Strings{"Timeout|read_flash_to_spibuf"});
}

}  // namespace
}  // namespace skyrelay
