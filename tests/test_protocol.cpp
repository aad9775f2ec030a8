// Long messages and the service commands, byte by byte, with a scripted far side.
#include <gtest/gtest.h>

#include "protocol/flash.h"
#include "protocol/handheld.h"
#include "protocol/long_message.h"
#include "protocol/station.h"
#include "support.h"

namespace skyrelay {
namespace {

using test::Bytes;
using test::WithChecksum;
using test::World;

Bytes Ack(uint8_t value) {
  return WithChecksum({0xB4, 0x6D, value});
}

// A far side that acknowledges every long message with 127.
void AcknowledgeAll(World& w) {
  w.bus.respond = [](const Bytes& m) -> std::vector<Bytes> {
    if (m[0] == 0xED) return {Ack(0x7F)};
    return {};
  };
}

TEST(LongMessage, PackingAndOffsetFields) {
  World w;
  BeginLongMessage(w.ctx, 0x66, 0x33);
  auto& m = w.ctx.tx.TxMessage;
  m[6] = 0xE8;
  m[7] = 0x30;
  m[8] = 0x7C;
  m[29] = 0xFF;
  PackHighBits(w.ctx);
  EXPECT_EQ(m[5], 0x01);
  EXPECT_EQ(m[6], 0x68);
  EXPECT_EQ(m[7], 0x30);
  EXPECT_EQ(m[8], 0x7C);
  EXPECT_EQ(m[25], 0x08);
  EXPECT_EQ(m[29], 0x7F);

  const int offsets[][4] = {{0, 0x00, 0x00, 0x00},   {20, 0x00, 0x20, 0x40},
                            {60, 0x00, 0x70, 0x40},  {100, 0x10, 0x40, 0x40},
                            {120, 0x10, 0x70, 0x00}, {127, 0x10, 0x70, 0x70},
                            {128, 0x00, 0x00, 0x00}};
  for (const auto& o : offsets) {
    SetSpiOffsetFields(w.ctx, o[0]);
    EXPECT_EQ(m[15], o[1]) << o[0];
    EXPECT_EQ(m[20], o[2]) << o[0];
    EXPECT_EQ(m[25], o[3]) << o[0];
  }
}

TEST(HandheldCommands, MessagesAreByteExact) {
  World w;
  AcknowledgeAll(w);
  ASSERT_EQ(read_flash_to_spibuf(w.ctx, 0x3F0000, 128), 0);
  Bytes m = w.bus.sent.back();
  EXPECT_EQ(Bytes(m.begin() + 5, m.begin() + 11), (Bytes{0x01, 0x68, 0x3F, 0x00, 0x00, 0x10}));
  EXPECT_EQ(m[15], 0x00);
  EXPECT_EQ(m[20], 0x00);
  EXPECT_EQ(m[25], 0x08);
  EXPECT_EQ(m[29], 0x08);
  EXPECT_EQ(m[30], LocoNetChecksum(Bytes(m.begin(), m.begin() + 30)));

  for (int i = 0; i <= 512; i++) w.ctx.ans.DataBuf[i] = i & 0xFF;
  ASSERT_EQ(write_to_spibuf(w.ctx, 60, 68), 0);
  m = w.bus.sent.back();
  EXPECT_EQ(m[10], 0x10);
  EXPECT_EQ(m[15] & 0xF0, 0x00);
  EXPECT_EQ(m[20] & 0xF0, 0x70);
  EXPECT_EQ(m[25] & 0xF0, 0x40);
  EXPECT_EQ(m[6], 60);
  EXPECT_EQ(m[28], 78);
  EXPECT_EQ(m[29], 0x44);

  w.ctx.ans.DataBuf[19] = 0x99;
  ASSERT_EQ(write_to_spibuf(w.ctx, 0, 0), 0);
  m = w.bus.sent.back();
  EXPECT_EQ(m[10], 0x00);
  EXPECT_EQ(m[29], 0x19);
  EXPECT_EQ(m[25], 0x08) << "top bit of 0x99 in the flag byte";

  ASSERT_EQ(move_spibuf_to_buf1(w.ctx, 0xE0600), 0);
  const Bytes a = w.bus.sent.back();
  ASSERT_EQ(move_spibuf_to_buf1(w.ctx, 0xE07FF), 0);
  EXPECT_EQ(a, w.bus.sent.back());
  EXPECT_EQ(Bytes(a.begin() + 5, a.begin() + 10), (Bytes{0x00, 0x53, 0x0E, 0x06, 0x00}));
  EXPECT_EQ(a[29], 4);
  ASSERT_EQ(write_buf1_to_flash(w.ctx, 0xE0600), 0);
  EXPECT_EQ(w.bus.sent.back()[5], 0x01);
  EXPECT_EQ(w.bus.sent.back()[6], 0x03);

  start_firmware_update(w.ctx);
  w.RunFor(0.1);
  m = w.bus.sent.back();
  EXPECT_EQ((Bytes{m[5], m[10], m[15], m[20], m[25]}), (Bytes{0x50, 0x40, 0x20, 0x30, 0x60}));
  EXPECT_EQ((Bytes{m[21], m[22], m[23], m[24]}), (Bytes{0x00, 0x2B, 0x06, 0x4D}));
  EXPECT_TRUE(w.host.messages.empty());
}

TEST(HandheldCommands, TimeOutsAndTheirMessages) {
  World w;  // nobody answers
  double start = w.host.Now();
  EXPECT_EQ(read_info_block(w.ctx), 1);
  EXPECT_GT(w.host.Now() - start, 2.0);
  EXPECT_LT(w.host.Now() - start, 2.05);
  EXPECT_TRUE(w.host.messages.empty());

  EXPECT_EQ(read_spibuf(w.ctx, 0), 1);
  ASSERT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(w.host.messages[0].text, "read_spibuf");
  EXPECT_EQ(w.host.messages[0].title, "Timeout");
  EXPECT_EQ(w.host.messages[0].icon, Icon::Critical);

  // A refusal (0) is no success: the command waits for its time-out.
  w.bus.respond = [](const Bytes& m) -> std::vector<Bytes> {
    return m[0] == 0xED ? std::vector<Bytes>{Ack(0x00)} : std::vector<Bytes>{};
  };
  EXPECT_EQ(write_to_spibuf(w.ctx, 0, 0), 1);
  EXPECT_EQ(w.host.messages.back().text, "write_to_spibuf");
  EXPECT_EQ(write_buf1_to_flash(w.ctx, 0), 1);
  EXPECT_EQ(w.host.messages.back().text, "move_spibuf_to_buf1");
}

TEST(HandheldCommands, SendPm01) {
  World w;
  EXPECT_EQ(send_pm01(w.ctx, true), 0);
  EXPECT_EQ(w.host.Now(), 0);
  w.RunFor(0.05);
  EXPECT_EQ(w.bus.sent.size(), 1u);

  const double start = w.host.Now();
  EXPECT_EQ(send_pm01(w.ctx, false), 1);
  EXPECT_EQ(w.bus.sent.size(), 22u) << "one without waiting, then 21 attempts";
  EXPECT_NEAR(w.host.Now() - start, 21.0, 0.5);
  EXPECT_EQ(w.host.status, "PM01= 20");
  EXPECT_EQ(w.host.statuses[3], "PM01= 3");
  EXPECT_TRUE(w.host.messages.empty());
  const Bytes m = w.bus.sent.back();
  EXPECT_EQ((Bytes{m[5], m[10], m[15], m[20], m[25]}), (Bytes{0x70, 0x30, 0x10, 0x50, 0x60}));

  World answered;
  AcknowledgeAll(answered);
  EXPECT_EQ(send_pm01(answered.ctx, false), 0);
  EXPECT_EQ(answered.bus.sent.size(), 1u);
}

TEST(StationCommands, MessagesAreByteExact) {
  World w;
  station_clear(w.ctx);
  EXPECT_EQ(w.bus.sent.back(),
            (Bytes{0xED, 0x1F, 0x08, 0x4E, 0x57, 0x70, 0, 0, 0, 0, 0x70, 0, 0, 0, 0,   0x30,
                   0,    0,    0,    0,    0x10, 0,    0, 0, 0, 0, 0,    0, 0, 0, 0x3C}));

  station_set_value(w.ctx, 10, 50);
  Bytes m = w.bus.sent.back();
  EXPECT_EQ((Bytes{m[6], m[7], m[8], m[9]}), (Bytes{10, 0, 50, 50}));
  EXPECT_EQ((Bytes{m[15], m[20], m[25]}), (Bytes{0x30, 0x10, 0x10}));

  station_send_text(w.ctx, "Update SKY RELAY abÜcdef");  // Ü (0xDC) is the 20th character
  m = w.bus.sent.back();
  EXPECT_EQ(m[6], 'U');
  EXPECT_EQ(m[29], 0x5C);
  EXPECT_EQ(m[25], 0x38) << "field 3 and the top bit of the twentieth character";
  EXPECT_EQ((Bytes{m[15], m[20]}), (Bytes{0x30, 0x10}));

  World id;
  id.bus.respond = [](const Bytes& req) -> std::vector<Bytes> {
    if (req[0] != 0xED || req[1] != 0x0F) return {};
    return {WithChecksum(
        {0xE5, 0x0F, 0x01, 0x4E, 0x51, 0x09, 0x00, 0x42, 0x00, 0x00, 0x00, 0x17, 0x00, 0x00})};
  };
  EXPECT_EQ(read_station_id(id.ctx), 0);
  EXPECT_EQ(id.bus.sent.back(),
            (Bytes{0xED, 0x0F, 0x01, 0x4E, 0x51, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0x04}));
  EXPECT_EQ(id.ctx.ans.StationIdNumber, 4200000017);

  World silent;
  const double start = silent.host.Now();
  EXPECT_EQ(read_station_id(silent.ctx), 1);
  EXPECT_GT(silent.host.Now() - start, 2.0);
  EXPECT_TRUE(silent.host.messages.empty());
}

Bytes StationFixedAnswer() {
  return WithChecksum({0xE5, 0x1F, 0x01, 0x50, 0x43, 0x70, 0x00, 0x7F, 0x7F, 0x7F,
                       0x70, 0x00, 0x00, 0x00, 0x00, 0x30, 0x15, 0x05, 0x11, 0x2C,
                       0x70, 0x09, 0x1A, 0x03, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00});
}

TEST(StationCommands, EnterBootLoaderNeedsTheFixedAnswerWith127) {
  // 127 alone is not enough: the first step times out.
  World w;
  w.bus.respond = [](const Bytes& m) -> std::vector<Bytes> {
    return m[0] == 0xED ? std::vector<Bytes>{Ack(0x7F)} : std::vector<Bytes>{};
  };
  EXPECT_EQ(enter_boot_loader(w.ctx), 1);
  ASSERT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(w.host.messages[0].text, "enter_boot_loader");

  // The fixed answer and 127, then the version 5; finish sends it back.
  World ok;
  ok.bus.respond = [](const Bytes& m) -> std::vector<Bytes> {
    if (m[0] != 0xED) return {};
    const int field2 = (m[20] >> 4) & 7;
    if (field2 == 7) return {StationFixedAnswer(), Ack(0x7F)};
    if (field2 == 4) return {Ack(0x05)};
    return {Ack(0x7F)};
  };
  EXPECT_EQ(enter_boot_loader(ok.ctx), 0);
  EXPECT_EQ(ok.ctx.proto.BootLoaderVersion, 5);
  EXPECT_EQ(ok.ctx.ans.StationReplyState, 0);
  const Bytes first = ok.bus.sent[0];
  EXPECT_EQ((Bytes{first[16], first[17], first[18], first[19], first[21], first[22], first[23],
                   first[24]}),
            (Bytes{0x15, 0x05, 0x11, 0x2C, 0x09, 0x1A, 0x03, 0x0B}));
  EXPECT_EQ((Bytes{first[7], first[8], first[9]}), (Bytes{0x7F, 0x7F, 0x7F}));
  EXPECT_EQ(finish_update_mode(ok.ctx), 0);
  EXPECT_EQ(ok.bus.sent.back()[6], 5);
  EXPECT_EQ(ok.bus.sent.back()[20], 0x00);
  EXPECT_TRUE(ok.host.messages.empty());

  // An acknowledge with 1 ends the first step by itself.
  World one;
  one.bus.respond = [](const Bytes& m) -> std::vector<Bytes> {
    if (m[0] != 0xED) return {};
    return {Ack(((m[20] >> 4) & 7) == 7 ? 0x01 : 0x09)};
  };
  EXPECT_EQ(enter_boot_loader(one.ctx), 0);
  EXPECT_EQ(one.ctx.proto.BootLoaderVersion, 9);
}

}  // namespace
}  // namespace skyrelay
