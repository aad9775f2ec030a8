// The LocoNet link: framer and ring, transmitter, receive processing.
#include <gtest/gtest.h>

#include <random>

#include "support.h"

namespace skyrelay {
namespace {

using test::Bytes;
using test::WithChecksum;
using test::World;

Bytes Slot(const Context& ctx, int slot, int length) {
  const auto& s = ctx.rx.RxRing[slot];
  return Bytes(s.begin(), s.begin() + length);
}

// ---------------------------------------------------------------- framer

TEST(Framer, WholeMessageInOneReadOrByteByByte) {
  World a, b;
  const Bytes ack{0xB4, 0x6D, 0x7F, 0x59};
  a.Receive(ack);
  for (uint8_t x : ack) b.Receive({x});
  for (World* w : {&a, &b}) {
    EXPECT_FALSE(w->ctx.rx.RxRingEmpty);
    EXPECT_EQ(w->ctx.rx.RxWriteIndex, 1);
    EXPECT_EQ(Slot(w->ctx, 1, 4), ack);
  }
}

TEST(Framer, CountedMessageAndTrailingBytesIgnored) {
  World w;
  Bytes m{0xE5, 0x0F};
  for (int i = 0; i < 12; i++) m.push_back(static_cast<uint8_t>(i + 1));
  m = WithChecksum(m);
  w.Receive(m);
  w.Receive({0x11, 0x22, 0x33});  // no opcode: ignored
  EXPECT_EQ(w.ctx.rx.RxWriteIndex, 1);
  EXPECT_EQ(Slot(w.ctx, 1, 15), m);
  EXPECT_EQ(w.ctx.rx.RxRing[1][15], 0);
  EXPECT_FALSE(w.ctx.rx.RxInMessage);
}

TEST(Framer, InvalidCountDropsMessageAndNextOneTakesItsSlot) {
  World w;
  w.Receive({0xE5, 0x41, 0x01, 0x02});
  EXPECT_TRUE(w.ctx.rx.RxRingEmpty);
  w.Receive({0xE5, 0x00, 0x05});
  EXPECT_TRUE(w.ctx.rx.RxRingEmpty);
  w.Receive({0x81, 0x7E});
  EXPECT_EQ(w.ctx.rx.RxWriteIndex, 1);
  EXPECT_EQ(Slot(w.ctx, 1, 2), (Bytes{0x81, 0x7E}));
}

TEST(Framer, OpcodeInsideMessageRestartsInSameSlotAndBytesBeforeAnyOpcodeAreIgnored) {
  World w;
  w.Receive({0x12, 0x34});
  w.Receive({0xC0, 0x01, 0x02});
  w.Receive({0xA0, 0x01, 0x02, 0x5C});
  EXPECT_EQ(w.ctx.rx.RxWriteIndex, 1);
  EXPECT_EQ(Slot(w.ctx, 1, 4), (Bytes{0xA0, 0x01, 0x02, 0x5C}));
  w.ctx.Tick();
  EXPECT_TRUE(w.ctx.rx.RxRingEmpty);
}

TEST(Framer, CountByteOfOneIsAbandonedAtPosition64) {
  World w;
  Bytes m{0xE0, 0x01};
  for (int i = 0; i < 100; i++) m.push_back(0x55);
  w.Receive(m);
  EXPECT_TRUE(w.ctx.rx.RxRingEmpty);
  EXPECT_FALSE(w.ctx.rx.RxInMessage);
  EXPECT_EQ(w.ctx.rx.RxRing[1][64], 0x55);
}

TEST(Framer, FullRingDropsNewMessagesUntilProcessingTakesOne) {
  World w;
  for (int i = 0; i < 31; i++) w.Receive(WithChecksum({0xB2, static_cast<uint8_t>(i), 0x00}));
  EXPECT_FALSE(w.ctx.rx.RxRingFull);
  EXPECT_EQ(w.ctx.rx.RxWriteIndex, 31);
  w.Receive(WithChecksum({0xB2, 0x40, 0x00}));  // a 32nd message is dropped
  EXPECT_TRUE(w.ctx.rx.RxRingFull);
  EXPECT_EQ(w.ctx.rx.RxWriteIndex, 31);
  EXPECT_EQ(w.ctx.rx.RxRing[31][1], 30);

  w.ctx.Tick();  // takes slot 1
  EXPECT_FALSE(w.ctx.rx.RxRingFull);
  w.Receive(WithChecksum({0xB2, 0x42, 0x00}));
  EXPECT_EQ(w.ctx.rx.RxWriteIndex, 0);
  EXPECT_EQ(w.ctx.rx.RxRing[0][1], 0x42);
  int taken = 0;
  while (!w.ctx.rx.RxRingEmpty) {
    w.ctx.Tick();
    taken++;
  }
  EXPECT_EQ(taken, 31);
}

TEST(Framer, OtherEventKindsAndClearRxRing) {
  World w;
  const Bytes ack{0xB4, 0x6D, 0x7F, 0x59};
  OnSerialEvent(w.ctx, SerialEvent::Other, ack);
  EXPECT_TRUE(w.ctx.rx.RxRingEmpty);
  w.Receive(ack);
  w.Receive(ack);
  const RxState before = w.ctx.rx;
  ClearRxRing(w.ctx);
  EXPECT_EQ(w.ctx.rx.RxWriteIndex, before.RxWriteIndex);
  EXPECT_EQ(w.ctx.rx.RxReadIndex, before.RxReadIndex);
  EXPECT_FALSE(w.ctx.rx.RxRingEmpty);
  EXPECT_EQ(Slot(w.ctx, 2, 4), (Bytes{0, 0, 0, 0}));
}

// Arbitrary streams never write outside the ring and keep its invariant.
TEST(Framer, RandomStreamsKeepTheRingInvariant) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; round++) {
    World w;
    std::uniform_int_distribution<int> byte(0, 255), chunk(1, 80), ticks(0, 3);
    for (int step = 0; step < 60; step++) {
      Bytes data(chunk(rng));
      for (auto& b : data) b = static_cast<uint8_t>(byte(rng));
      w.Receive(data);
      const RxState& r = w.ctx.rx;
      ASSERT_GE(r.RxBytePos, -1);
      ASSERT_LE(r.RxBytePos, 64);
      ASSERT_TRUE(r.RxFillIndex >= 0 && r.RxFillIndex < 32);
      ASSERT_TRUE(r.RxWriteIndex >= 0 && r.RxWriteIndex < 32);
      if (!r.RxRingEmpty) {
        ASSERT_NE(r.RxWriteIndex, r.RxReadIndex);
      }
      if (r.RxInMessage) {
        ASSERT_NE(r.RxFillIndex, r.RxReadIndex) << "the slot being read is never refilled";
      }
      for (int t = ticks(rng); t > 0; t--) w.ctx.Tick();
    }
  }
}

// ---------------------------------------------------------------- transmitter

TEST(Transmit, ChecksumAndOneWriteForTheFastInterface) {
  World w;
  auto& t = w.ctx.tx;
  t.TxMessage[0] = 0xB0;
  t.TxMessage[1] = 0x01;
  t.TxMessage[2] = 0x20;
  t.TxLastIndex = 2;
  PumpTransmit(w.ctx);
  EXPECT_EQ(t.TxMessage[3], 0x6E);
  ASSERT_EQ(w.bus.writes.size(), 1u);
  EXPECT_EQ(w.bus.writes[0].second, (Bytes{0xB0, 0x01, 0x20, 0x6E}));
  EXPECT_TRUE(t.TxAwaitingEcho);

  World lone;
  lone.ctx.tx.TxMessage[0] = 0x83;
  lone.ctx.tx.TxLastIndex = 0;
  PumpTransmit(lone.ctx);
  EXPECT_EQ(lone.bus.writes[0].second, (Bytes{0x83, 0x7C}));
}

TEST(Transmit, StationInterfaceWritesByteByByteWhileClearToSend) {
  World w;
  w.ctx.settings.InterfaceKind = 1;
  auto& t = w.ctx.tx;
  t.TxMessage[0] = 0xB0;
  t.TxMessage[1] = 0x01;
  t.TxMessage[2] = 0x20;
  t.TxLastIndex = 2;
  w.RunFor(0.5, [&] { return !t.TxAwaitingEcho && t.TxLastIndex == -1; });
  ASSERT_EQ(w.bus.writes.size(), 4u);
  for (const auto& [time, bytes] : w.bus.writes) EXPECT_EQ(bytes.size(), 1u);
  EXPECT_EQ(t.TxLastIndex, -1) << "echo recognised";
  EXPECT_TRUE(w.host.messages.empty());
}

TEST(Transmit, ClearToSendStayingOffStopsAfterThreeSecondsThenEchoTimesOut) {
  World w;
  w.ctx.settings.InterfaceKind = 1;
  w.host.virtualPort().clearToSend = false;
  w.ctx.tx.TxMessage[0] = 0x83;
  w.ctx.tx.TxLastIndex = 0;
  w.RunFor(4.0);
  EXPECT_TRUE(w.bus.writes.empty());
  EXPECT_TRUE(w.ctx.tx.TxAwaitingEcho);
  EXPECT_TRUE(w.host.messages.empty());
  w.RunFor(2.0);
  ASSERT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(w.host.messages[0].text, "Message kann nicht gesendet werden!");
  EXPECT_EQ(w.host.messages[0].title, "LocoNet Fehler");
  EXPECT_EQ(w.host.messages[0].icon, Icon::Critical);
  EXPECT_EQ(w.ctx.tx.TxLastIndex, -1);
}

TEST(Transmit, EchoTimeoutOnceAfterTwoSecondsAndLateEchoIsFine) {
  World w;
  w.bus.echo = false;
  w.ctx.tx.TxMessage[0] = 0x83;
  w.ctx.tx.TxLastIndex = 0;
  w.RunFor(0.02);
  const double sentAt = w.ctx.tx.TxSentAt;
  w.RunFor(1.95);
  EXPECT_TRUE(w.host.messages.empty());
  w.RunFor(3.0, [&] { return !w.host.messages.empty(); });
  ASSERT_EQ(w.host.messages.size(), 1u);
  EXPECT_GT(w.host.Now() - sentAt, 2.0);
  EXPECT_LT(w.host.Now() - sentAt, 2.03);
  w.RunFor(3.0);
  EXPECT_EQ(w.host.messages.size(), 1u);

  World late;
  late.bus.echo = false;
  late.ctx.tx.TxMessage[0] = 0x83;
  late.ctx.tx.TxLastIndex = 0;
  late.RunFor(0.02);
  late.bus.Schedule(late.ctx.tx.TxSentAt + 1.9, {0x83, 0x7C});
  late.RunFor(3.0);
  EXPECT_TRUE(late.host.messages.empty());
  EXPECT_EQ(late.ctx.tx.TxLastIndex, -1);
}

TEST(Transmit, ClosedPortSkipsTheWriteAndTheEchoTimeoutReportsIt) {
  World w;
  w.host.Port().Close();
  w.ctx.tx.TxMessage[0] = 0x83;
  w.ctx.tx.TxLastIndex = 0;
  w.RunFor(2.5);
  EXPECT_TRUE(w.bus.writes.empty());
  ASSERT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(w.host.messages[0].title, "LocoNet Fehler");
}

// A tick asked for while a tick runs (here: during the echo time-out message) does nothing.
TEST(Transmit, TickIsNotReentered) {
  World w;
  w.bus.echo = false;
  int depth = 0, maxDepth = 0;
  w.host.onMessage = [&](const RecordedMessage&) {
    depth++;
    maxDepth = std::max(maxDepth, depth);
    for (int i = 0; i < 300; i++) w.host.Yield();  // a modal box lets the event loop run
    depth--;
  };
  w.ctx.tx.TxMessage[0] = 0x83;
  w.ctx.tx.TxLastIndex = 0;
  w.RunFor(3.0);
  EXPECT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(maxDepth, 1);
}

// ---------------------------------------------------------------- receive processing

Bytes LongRequest() {
  Bytes m(30, 0);
  m[0] = 0xED;
  m[1] = 0x1F;
  m[2] = 0x08;
  m[3] = 0x66;
  m[4] = 0x33;
  return m;
}

void Pend(World& w, const Bytes& m) {
  for (size_t i = 0; i < m.size(); i++) w.ctx.tx.TxMessage[i] = m[i];
  w.ctx.tx.TxLastIndex = static_cast<int>(m.size()) - 1;
  PumpTransmit(w.ctx);
}

TEST(Processing, EchoFreesBufferAndEnablesLongAcknowledge) {
  World w;
  const Bytes ack = WithChecksum({0xB4, 0x6D, 0x7F});
  w.Receive(ack);  // before any 0xED echo: ignored
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.ReplyStatus, 0);

  const Bytes req = LongRequest();
  Pend(w, req);
  Bytes echo = WithChecksum(req);
  Bytes wrongChecksum = echo;
  wrongChecksum.back() ^= 1;
  w.Receive(wrongChecksum);
  w.ctx.Tick();
  EXPECT_TRUE(w.ctx.tx.TxAwaitingEcho) << "differs in the checksum only: not the echo";
  w.Receive(echo);
  w.ctx.Tick();
  EXPECT_FALSE(w.ctx.tx.TxAwaitingEcho);
  EXPECT_EQ(w.ctx.tx.TxLastIndex, -1);
  EXPECT_EQ(w.ctx.ans.LastRequestOpcode, 0xED);
  w.Receive(ack);
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.ReplyStatus, 127);
}

TEST(Processing, OpcodeC1MessagesAreSkippedWithoutEchoComparison) {
  World w;
  w.ctx.tx.TxMessage[0] = 0x81;
  w.ctx.tx.TxLastIndex = 0;
  PumpTransmit(w.ctx);
  w.Receive({0x81, 0x7E});
  w.ctx.Tick();
  EXPECT_TRUE(w.ctx.tx.TxAwaitingEcho);
  EXPECT_TRUE(w.ctx.rx.RxRingEmpty);
}

TEST(Processing, LocoRequestAndStationIdNumber) {
  World w;
  w.Receive(WithChecksum({0xBF, 0x01, 0x05}));
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.RequestedLocoAddress, 133);

  w.Receive(WithChecksum(
      {0xE5, 0x0F, 0x01, 0x4E, 0x51, 0x09, 0x00, 0x12, 0x34, 0x56, 0x78, 0x12, 0x00, 0x00}));
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.StationIdNumber, 1234567812);

  // Bit 0 of byte 6 is the top bit of byte 7: 0x12 reads as 0x92.
  w.Receive(WithChecksum(
      {0xE5, 0x0F, 0x01, 0x4E, 0x51, 0x09, 0x01, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.rx.RxRing[w.ctx.rx.RxReadIndex][7], 0x92);
  EXPECT_EQ(w.ctx.ans.StationIdNumber, 9200000000);

  // Another request code sets nothing.
  w.Receive(WithChecksum(
      {0xE5, 0x0F, 0x01, 0x4E, 0x51, 0x08, 0x00, 0x11, 0x11, 0x11, 0x11, 0x11, 0x00, 0x00}));
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.StationIdNumber, 9200000000);
}

Bytes DataAnswer(const std::array<int, 20>& data) {
  Bytes m{0xE5, 0x1F, 0x01, 0x66, 0x33};
  for (int g = 0; g < 5; g++) {
    uint8_t flag = 0;
    for (int k = 0; k < 4; k++) flag |= (data[g * 4 + k] & 0x80) ? (1 << k) : 0;
    m.push_back(flag);
    for (int k = 0; k < 4; k++) m.push_back(data[g * 4 + k] & 0x7F);
  }
  return WithChecksum(m);
}

TEST(Processing, DataAnswerFillsDataBufAtOffsetWithTopBitsRestored) {
  World w;
  std::array<int, 20> data{};
  for (int i = 0; i < 20; i++) data[i] = 0xF0 + (i % 16) - 100 * (i % 2);
  w.ctx.ans.DataBufOffset = 40;
  w.ctx.ans.DataBuf.fill(-1);
  w.Receive(DataAnswer(data));
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.BlockReceived, 1);
  for (int i = 0; i < 20; i++) EXPECT_EQ(w.ctx.ans.DataBuf[40 + i], data[i]) << i;
  EXPECT_EQ(w.ctx.ans.DataBuf[39], -1);
  EXPECT_EQ(w.ctx.ans.DataBuf[60], -1);

  // An offset past the end of DataBuf stores nothing.
  w.ctx.ans.DataBufOffset = 500;
  w.ctx.ans.BlockReceived = 0;
  w.Receive(DataAnswer(data));
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.BlockReceived, 1);
  EXPECT_EQ(w.ctx.ans.DataBuf[500], -1);
}

Bytes StationFixedAnswer() {
  Bytes m{0xE5, 0x1F, 0x01, 0x50, 0x43, 0x70, 0x00, 0x7F, 0x7F, 0x7F, 0x70, 0x00, 0x00, 0x00, 0x00,
          0x30, 0x15, 0x05, 0x11, 0x2C, 0x70, 0x09, 0x1A, 0x03, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00};
  return WithChecksum(m);
}

TEST(Processing, StationFixedAnswerRecognisedOnlyWhileAwaited) {
  World w;
  w.Receive(StationFixedAnswer());
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.StationReplyState, 0);
  w.ctx.ans.StationReplyState = -1;
  w.ctx.ans.DataBufOffset = 0;
  w.Receive(StationFixedAnswer());
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.StationReplyState, 1);
  EXPECT_EQ(w.ctx.ans.BlockReceived, 1);
  EXPECT_EQ(w.ctx.ans.DataBuf[8], 0x15);

  Bytes other = StationFixedAnswer();
  other[18] = 0x12;  // a different station code
  w.ctx.ans.StationReplyState = -1;
  w.Receive(WithChecksum(Bytes(other.begin(), other.end() - 1)));
  w.ctx.Tick();
  EXPECT_EQ(w.ctx.ans.StationReplyState, -1);
}

TEST(WaitSecondsTest, ReturnsJustAfterTheTime) {
  World w;
  double start = w.host.Now();
  WaitSeconds(w.ctx, 0.3);
  EXPECT_GT(w.host.Now() - start, 0.3);
  EXPECT_LT(w.host.Now() - start, 0.32);
  start = w.host.Now();
  WaitSeconds(w.ctx, 0);
  EXPECT_GT(w.host.Now(), start);
  EXPECT_LT(w.host.Now() - start, 0.011);
}

}  // namespace
}  // namespace skyrelay
