// The LocoNet link: framer and ring, transmitter, receive processing.
#include <gtest/gtest.h>

#include <algorithm>

#include "support.h"

namespace skyrelay {
namespace {

using test::Ack;
using test::Bytes;
using test::WithChecksum;
using test::World;
using Messages = std::vector<Bytes>;

Bytes Counted(uint8_t count) {
  Bytes m{0xE5, count};
  for (int i = 2; i < count - 1; i++) m.push_back(static_cast<uint8_t>(i));
  return WithChecksum(m);
}

// Every message the framer completes, and where the ring's write index ends.
TEST(Framer, CutsStreamsIntoMessagesWholeOrByteByByte) {
  const Bytes ack{0xB4, 0x6D, 0x7F, 0x59}, lone{0x81, 0x7E}, c0{0xA0, 0x01, 0x02, 0x5C};
  Bytes stuck{0xE0, 0x01};  // a count of 1 can never complete: abandoned at position 64
  stuck.resize(102, 0x55);
  const struct {
    std::vector<Bytes> input;
    Messages framed;
  } cases[] = {
      {{ack}, {ack}},
      {{lone, ack, lone}, {lone, ack, lone}},
      {{Counted(15), {0x11, 0x22, 0x33}}, {Counted(15)}},  // bytes outside a message ignored
      {{Counted(64)}, {Counted(64)}},                      // the longest count
      {{Counted(65), lone}, {lone}},                       // a count above 64 is dropped
      {{{0xE5, 0x41, 0x01, 0x02}, {0xE5, 0x00, 0x05}, lone}, {lone}},
      {{{0x12, 0x34}, {0xC0, 0x01, 0x02}, c0}, {c0}},  // an opcode restarts the message
      {{stuck, ack}, {ack}},
  };
  for (const auto& c : cases) {
    for (bool byteByByte : {false, true}) {
      World w;
      Messages framed, handed;
      w.ctx.link.stats.observer = [&](double, bool sent, std::span<const uint8_t> m) {
        if (!sent) framed.emplace_back(m.begin(), m.end());
      };
      std::vector<MessageSlot> slots;
      w.ctx.link.onMessage = [&](MessageSlot& m) { slots.push_back(m); };
      for (const Bytes& chunk : c.input) {
        if (!byteByByte) w.Receive(chunk);
        for (uint8_t b : byteByByte ? chunk : Bytes{}) w.Receive({b});
      }
      EXPECT_EQ(framed, c.framed) << c.input[0].size() << (byteByByte ? " byte by byte" : "");
      EXPECT_EQ(w.ctx.link.stats.messagesReceived, static_cast<long>(framed.size()));
      w.ctx.link.TakeInReceived();
      Messages expected;
      for (const Bytes& m : c.framed)
        if (m[0] != 0x81) expected.push_back(m);  // 0x81 is never handed on
      for (size_t k = 0; k < slots.size() && k < expected.size(); k++)
        handed.emplace_back(slots[k].begin(), slots[k].begin() + expected[k].size());
      EXPECT_EQ(handed, expected);
    }
  }
  World last;  // a stuck message in the ring's last slot stays inside that slot
  for (int i = 0; i < 30; i++) last.Receive(ack), last.ctx.link.Tick();
  last.Receive(stuck);
  last.Receive(ack);
  int acks = 0;
  last.ctx.link.onMessage = [&](MessageSlot& m) { acks += m[0] == 0xB4; };
  last.ctx.link.TakeInReceived();
  EXPECT_EQ(acks, 1);
}

// With 31 messages waiting the ring is full: a message that begins then is dropped,
// even when the processing empties the ring before it ends, and nothing is replayed.
TEST(Ring, FullRingDropsTheNewMessageNeverReplaysAndClearsInPlace) {
  World w;
  for (uint8_t i = 1; i <= 31; i++) w.Receive(WithChecksum({0xBF, 0x00, i}));
  w.Receive({0xBF, 0x00});  // begins while the ring is full
  std::vector<int> seen, expected;
  for (int t = 0; t < 40; t++) {
    if (t == 35) w.Receive({0x63, 0x23, 0xBF, 0x00, 0x40, 0x00});  // ends; another follows
    w.ctx.devices.requestedLoco = -1;
    w.ctx.link.Tick();
    if (w.ctx.devices.requestedLoco != -1) seen.push_back(w.ctx.devices.requestedLoco);
  }
  for (int i = 1; i <= 31; i++) expected.push_back(i);
  expected.push_back(0x40);
  EXPECT_EQ(seen, expected);

  w.Receive(Ack(0x7F));  // cleared slots keep their place in the ring
  w.ctx.link.ClearSlots();
  std::vector<Bytes> handed;
  w.ctx.link.onMessage = [&](MessageSlot& m) { handed.emplace_back(m.begin(), m.begin() + 4); };
  w.ctx.link.TakeInReceived();
  EXPECT_EQ(handed, (std::vector<Bytes>{Bytes(4, 0)}));
}

TEST(Transmit, WritesTheMessageWithItsChecksumWholeOrByteByByte) {
  for (const auto& [kind, request] : {std::pair<int, uint8_t>{3, 0xB0}, {2, 0xBC}, {1, 0xBF}}) {
    World w;
    if (kind == 1) w.ctx.link.SetWriteMode(Link::WriteMode::ByteByByte);
    w.Send({request, 0x01, 0x20});
    w.RunFor(0.5, [&] { return w.ctx.link.LastEchoedRequest() == request; });
    EXPECT_EQ(w.Sent(), Messages{WithChecksum({request, 0x01, 0x20})});
    EXPECT_EQ(w.Sent()[0][3], 0xDE ^ request) << "the checksum";
    EXPECT_EQ(w.host.virtualPort().writes, kind == 1 ? 4 : 1)
        << "the station interface takes bytes";
    EXPECT_EQ(w.ctx.link.LastEchoedRequest(), request) << "freed by its echo";
    w.RunFor(3);
    EXPECT_EQ(w.Sent().size(), 1u) << "sent once";
    EXPECT_TRUE(w.host.messages.empty());
  }
}

// Without an echo the message is dropped after more than 2 seconds with one message;
// an echo up to then frees it silently.
TEST(Transmit, EchoTimeOut) {
  const std::string lost = "LocoNet Fehler|Message kann nicht gesendet werden!";
  const struct {
    double echoAfter;  // < 0: no echo
    bool closedPort, clearToSend;
    std::vector<std::string> shown;
    double freedAfter;  // since the first tick
  } cases[] = {
      {1.99, false, true, {}, 1.99},
      {-1, false, true, {lost}, 2.01},
      {-1, true, true, {lost}, 2.01},
      {-1, false, false, {lost}, 5.01},  // 3 s trying, then 2 s
  };
  for (const auto& c : cases) {
    World w;
    w.sim.faults.dropEchoes = 1000;
    if (!c.clearToSend) w.ctx.link.SetWriteMode(Link::WriteMode::ByteByByte);
    w.host.virtualPort().clearToSend = c.clearToSend;
    if (c.closedPort) w.host.Port().Close();
    w.Send({0x83});
    w.RunFor(0.01);
    if (c.echoAfter >= 0) w.RunFor(c.echoAfter - 0.01), w.Receive({0x83, 0x7C});
    double shownAt = -1;
    w.host.onMessage = [&](const RecordedMessage&) { shownAt = w.host.Now(); };
    w.RunFor(10);
    if (c.echoAfter < 0) {
      EXPECT_NEAR(shownAt - 0.01, c.freedAfter, 0.0101) << c.freedAfter;
    }
    w.RunFor(3);
    EXPECT_EQ(test::Shown(w.host), c.shown) << c.freedAfter;
    EXPECT_EQ(w.host.virtualPort().writes == 0, c.closedPort || !c.clearToSend) << c.freedAfter;
  }
}

// A tick asked for while a tick runs (here: during the echo time-out message) does nothing.
TEST(Transmit, TickIsNotReentered) {
  World w;
  w.sim.faults.dropEchoes = 1000;
  int depth = 0, maxDepth = 0;
  w.host.onMessage = [&](const RecordedMessage&) {
    maxDepth = std::max(maxDepth, ++depth);
    for (int i = 0; i < 300; i++) w.host.Yield();  // a modal box lets the event loop run
    depth--;
  };
  w.Send({0x83});
  w.RunFor(3.0);
  EXPECT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(maxDepth, 1);
}

TEST(Processing, EchoFreesTheBufferAndEnablesTheAcknowledge) {
  World w;
  w.sim.faults.dropEchoes = 1000;
  Bytes request(30, 0);
  std::copy_n(Bytes{0xED, 0x1F, 0x08, 0x66, 0x33}.begin(), 5, request.begin());
  w.Send(request);
  w.ctx.link.Tick();
  w.Receive(Ack(0x7F));  // before the echo: ignored
  w.ctx.link.Tick();
  EXPECT_EQ(w.ctx.devices.replyStatus, 0);
  Bytes other = request;  // the same request with another last byte is no echo
  other.back() = 0x01;
  w.Receive(WithChecksum(other));
  w.ctx.link.Tick();
  EXPECT_NE(w.ctx.link.LastEchoedRequest(), 0xED);
  w.Receive(WithChecksum(request));
  w.ctx.link.Tick();
  EXPECT_EQ(w.ctx.link.LastEchoedRequest(), 0xED);
  w.Receive(Ack(0x7F));
  w.Receive(WithChecksum({0xB4, 0x6E, 0x05}));  // another acknowledge kind
  w.ctx.link.Tick();
  w.ctx.link.Tick();
  EXPECT_EQ(w.ctx.devices.replyStatus, 127);
}

// Every answer variable after one received message: "what=value" for each one set.
std::string AnswerVariables(const World& w) {
  const DeviceLink& a = w.ctx.devices;
  std::string out;
  for (int i = 0; i <= 512; i++)
    if (a.spiBuffer[i] != -1) out += std::to_string(i) + ":" + std::to_string(a.spiBuffer[i]) + " ";
  using std::to_string;
  return out + "reply=" + to_string(a.replyStatus) + " block=" + to_string(a.blockReceived) +
         " id=" + to_string(a.stationId) + " station=" + to_string(a.stationReplyState) +
         " loco=" + to_string(a.requestedLoco) + " ";
}

Bytes IdAnswer(uint8_t code, uint8_t topBits, uint8_t b7) {
  return WithChecksum(
      {0xE5, 0x0F, 0x01, 0x4E, 0x51, code, topBits, b7, 0x34, 0x56, 0x78, 0x12, 0x00, 0x00});
}

// Which message sets which answer variable: only the handheld's own data answer
// fills DataBuf, at the offset with its top bits restored; damaged messages are
// dropped.
TEST(Processing, EachMessageSetsItsAnswerVariables) {
  std::array<int, 20> data{};
  for (int i = 0; i < 20; i++) data[i] = 0xF0 + (i % 16) - 100 * (i % 2);
  const auto listed = [](int offset, const std::array<int, 20>& values) {
    std::string out;
    for (int i = 0; i < 20; i++)
      out += std::to_string(offset + i) + ":" + std::to_string(values[i]) + " ";
    return out;
  };
  std::array<int, 20> fixed = {0, 127, 127, 127, 0, 0, 0, 0, 0x15, 5, 0x11, 0x2C, 9, 0x1A, 3, 11};
  const std::string at40 = listed(40, data), at493 = listed(493, data),
                    fixedData = listed(0, fixed);
  fixed[10] = 0x12;
  const Bytes fixedAnswer = test::StationFixedAnswer();
  Bytes otherCode(fixedAnswer.begin(), fixedAnswer.end() - 1),
      flipped = test::DataAnswer(data), peer{0xE5, 0x10, 0x05, 0x06, 0x07, 0x00};
  otherCode[18] = 0x12;
  flipped[12] ^= 0x04;
  peer.resize(15, 0x41);
  const std::string none = "reply=0 block=0 id=0 station=0 loco=-1 ";
  const struct {
    Bytes message;
    int offset, stationState;
    std::string after;
  } cases[] = {
      {test::DataAnswer(data), 40, 0, at40 + "reply=0 block=1 id=0 station=0 loco=-1 "},
      {test::DataAnswer(data), 493, 0, at493 + "reply=0 block=1 id=0 station=0 loco=-1 "},
      {test::DataAnswer(data), 494, 0, "reply=0 block=1 id=0 station=0 loco=-1 "},
      {fixedAnswer, 0, 0, fixedData + "reply=0 block=1 id=0 station=0 loco=-1 "},
      {fixedAnswer, 0, -1, fixedData + "reply=0 block=1 id=0 station=1 loco=-1 "},
      {WithChecksum(otherCode), 0, -1,
       listed(0, fixed) + "reply=0 block=1 id=0 station=-1 loco=-1 "},
      {IdAnswer(9, 0x00, 0x12), 0, 0, "reply=0 block=0 id=1234567812 station=0 loco=-1 "},
      {IdAnswer(9, 0x01, 0x12), 0, 0, "reply=0 block=0 id=9234567812 station=0 loco=-1 "},
      {IdAnswer(8, 0x00, 0x11), 0, 0, none},  // another request code sets nothing
      {WithChecksum({0xBF, 0x01, 0x05}), 0, 0, "reply=0 block=0 id=0 station=0 loco=133 "},
      {WithChecksum(peer), 0, 0, none},  // a peer message of another device
      {flipped, 0, 0, none},
      {{0xB4, 0x6D, 0x7F, 0x58}, 0, 0, none},
      {{0xBF, 0x01, 0x05, 0x3B}, 0, 0, none},
  };
  for (const auto& c : cases) {
    World w;
    Bytes request(30, 0);  // as after any earlier command
    std::copy_n(Bytes{0xED, 0x1F, 0x08, 0x66, 0x33}.begin(), 5, request.begin());
    w.Send(request);
    w.RunFor(0.05);
    w.ctx.devices.requestedLoco = -1;
    w.ctx.devices.answerOffset = c.offset;
    w.ctx.devices.stationReplyState = c.stationState;
    w.ctx.devices.spiBuffer.fill(-1);
    w.Receive(c.message);
    w.RunFor(0.05);
    EXPECT_EQ(AnswerVariables(w), c.after) << testing::PrintToString(c.message);
  }
}

}  // namespace
}  // namespace skyrelay
