#include "link/link.h"

#include <vector>

#include "protocol/long_message.h"

namespace skyrelay {

namespace {

constexpr double kEchoTimeout = 2.0;
constexpr double kSlowWriteLimit = 3.0;
// TakeInReceived reads the port in chunks of this size and empties the ring
// after each, so that even a long stall's worth of traffic never overflows it;
// it stops after this many chunks, so that a port that never falls silent
// cannot hold a wait forever.
constexpr size_t kTakeInChunk = 64;
constexpr int kTakeInChunks = 1024;

// The command station's fixed answer to the update-mode request, by position;
// -1 marks positions that are not compared. 16..19 and 21..24 carry the station code.
constexpr int kStationReplyPattern[26] = {0xE5, 0x1F, 0x01, 0x50, 0x43, 0x70, -1,   0x7F, 0x7F,
                                          0x7F, 0x70, 0x00, 0x00, 0x00, 0x00, 0x30, -1,   -1,
                                          -1,   -1,   0x70, -1,   -1,   -1,   -1,   0x00};

}  // namespace

Context::Context(Host& h) : host(h) {}

void Context::Tick() {
  if (inTick_) return;
  // The flag is reset however the tick ends (a host may abandon a run by
  // throwing from Yield, for example on Ctrl-C).
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{inTick_};
  inTick_ = true;
  PumpTransmit(*this);
  ProcessNextMessage(*this);
}

void Context::OnSerialData(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) FrameByte(*this, b);
}

void FrameByte(Context& ctx, uint8_t b) {
  RxState& r = ctx.rx;
  if (b >= 0x80) {
    if ((r.RxWriteIndex + 1) % 32 == r.RxReadIndex) {
      // No free slot: this message is dropped and the waiting ones stay as they
      // are. (Writing it over the newest waiting one could hand that slot out a
      // second time, and the processing would then replay the whole ring.)
      r.RxRingFull = true;
      r.RxInMessage = false;
      ctx.stats.ringOverflows++;
      return;
    }
    r.RxInMessage = true;
    r.RxFillIndex = (r.RxWriteIndex + 1) % 32;
    r.RxBytePos = -1;
    switch (b & 0xE0) {
      case 0x80:
        r.RxExpectedLength = 2;
        break;
      case 0xA0:
        r.RxExpectedLength = 4;
        break;
      case 0xC0:
        r.RxExpectedLength = 6;
        break;
      default:
        r.RxExpectedLength = -1;
        break;
    }
  }
  if (!r.RxInMessage) return;

  r.RxBytePos++;
  if (r.RxExpectedLength == -1 && r.RxBytePos == 1) {
    r.RxExpectedLength = b;
    if (b > 64 || b == 0) r.RxInMessage = false;
  }
  r.RxRing[r.RxFillIndex][r.RxBytePos] = b;
  if (r.RxBytePos == r.RxExpectedLength - 1) {
    r.RxInMessage = false;
    const std::span<const uint8_t> message(r.RxRing[r.RxFillIndex].data(), r.RxExpectedLength);
    if (ctx.stats.observer) ctx.stats.observer(ctx.host.Now(), false, message);
    if (!ChecksumValid(message)) {
      // Damaged on the line: dropped here, so it can never become an answer. The
      // waiting command runs into its time-out instead.
      ctx.stats.badChecksums++;
      return;
    }
    r.RxWriteIndex = r.RxFillIndex;
    r.RxRingEmpty = false;
    ctx.stats.messagesReceived++;
  } else if (r.RxBytePos >= 64) {
    // Only a count byte of 1 can get here: the message can never complete.
    r.RxInMessage = false;
  }
}

void ClearRxRing(Context& ctx) {
  for (auto& slot : ctx.rx.RxRing) slot.fill(0);
}

bool ChecksumValid(std::span<const uint8_t> message) {
  return !message.empty() && LocoNetChecksum(message.first(message.size() - 1)) == message.back();
}

void ForgetPendingMessage(Context& ctx) {
  ctx.tx.TxLastIndex = -1;
  ctx.tx.TxAwaitingEcho = false;
}

void CheckLink(Context& ctx) {
  if (!ctx.InTick() && ctx.host.Port().Lost()) throw LinkLostError{};
}

uint8_t LocoNetChecksum(std::span<const uint8_t> bytes) {
  uint8_t sum = 0xFF;
  for (uint8_t b : bytes) sum ^= b;
  return sum;
}

void PumpTransmit(Context& ctx) {
  TxState& t = ctx.tx;
  const int n = t.TxLastIndex;
  if (n == -1) return;
  if (t.TxAwaitingEcho) {
    if (ctx.host.Now() - t.TxSentAt > kEchoTimeout) {
      // The echo may have come in while the program stood still.
      TakeInReceived(ctx);
      if (!t.TxAwaitingEcho) return;
      ctx.host.Message("Message kann nicht gesendet werden!", "LocoNet Fehler", Icon::Critical,
                       Buttons::Ok);
      ForgetPendingMessage(ctx);
    }
    return;
  }
  if (n < 0 || n > 63) {
    // Nothing sensible to send; drop it rather than write past the buffer.
    t.TxLastIndex = -1;
    return;
  }
  t.TxMessage[n + 1] = LocoNetChecksum(std::span<const uint8_t>(t.TxMessage.data(), n + 1));
  const std::span<const uint8_t> message(t.TxMessage.data(), n + 2);
  SerialPort& port = ctx.host.Port();
  if (ctx.settings.InterfaceKind != 1) {
    // A closed port (interface kind 2 opens none) gets no write; the echo
    // time-out then tells the user that the message was lost.
    if (port.IsOpen()) port.Write(message);
  } else {
    // A port that goes away in the middle stops the byte-by-byte write at once.
    int j = 0;
    const double start = ctx.host.Now();
    while (j <= n + 1 && !port.Lost()) {
      ctx.host.Yield();
      if (port.IsOpen() && port.ClearToSend()) {
        if (!port.Write(message.subspan(j, 1)) && port.Lost()) break;
        j++;
        continue;
      }
      // Only a byte that could not go out counts against the time.
      if (ctx.host.Now() - start > kSlowWriteLimit) break;
    }
  }
  ctx.stats.messagesSent++;
  if (ctx.stats.observer) ctx.stats.observer(ctx.host.Now(), true, message);
  t.TxAwaitingEcho = true;
  t.TxSentAt = ctx.host.Now();
}

void UnpackShortPeerData(Context& ctx) {
  auto& m = ctx.rx.RxRing[ctx.rx.RxReadIndex];
  for (int k = 0; k < 7; k++) {
    if (m[6] & (1 << k)) m[7 + k] |= 0x80;
  }
}

void CheckStationUpdateReply(Context& ctx) {
  const auto& m = ctx.rx.RxRing[ctx.rx.RxReadIndex];
  static constexpr int kCodePositions[8] = {16, 17, 18, 19, 21, 22, 23, 24};
  for (int p = 0; p < 26; p++) {
    if (kStationReplyPattern[p] >= 0 && m[p] != kStationReplyPattern[p]) return;
  }
  for (int k = 0; k < 8; k++) {
    if (m[kCodePositions[k]] != kStationCode[k]) return;
  }
  ctx.ans.StationReplyState = 1;
}

void DecodePeerMessage(Context& ctx) {
  AnswerState& a = ctx.ans;
  auto& m = ctx.rx.RxRing[ctx.rx.RxReadIndex];
  if (a.StationReplyState == -1) CheckStationUpdateReply(ctx);
  if (m[1] == 0x0F) {
    UnpackShortPeerData(ctx);
    if (m[5] == 9) {
      int64_t number = 0;
      for (int i = 7; i <= 11; i++) number = number * 100 + (m[i] >> 4) * 10 + (m[i] & 0x0F);
      a.StationIdNumber = number;
    }
    return;
  }
  // Only the handheld's 31-byte answer carries data. Other devices on the layout
  // send 0xE5 messages of other lengths; they set nothing.
  if (m[1] != 0x1F) return;
  UnpackHighBits(ctx);
  static constexpr int kDataPositions[20] = {6,  7,  8,  9,  11, 12, 13, 14, 16, 17,
                                             18, 19, 21, 22, 23, 24, 26, 27, 28, 29};
  if (a.DataBufOffset >= 0 && a.DataBufOffset + 19 <= 512) {
    for (int k = 0; k < 20; k++) a.DataBuf[a.DataBufOffset + k] = m[kDataPositions[k]];
  }
  a.BlockReceived = 1;
}

void ProcessNextMessage(Context& ctx) {
  RxState& r = ctx.rx;
  if (r.RxRingEmpty) return;
  r.RxReadIndex = (r.RxReadIndex + 1) % 32;
  r.RxRingFull = false;
  auto& m = r.RxRing[r.RxReadIndex];

  if (m[0] != 0x81) {
    switch (m[0]) {
      case 0xB4:
        if (ctx.ans.LastRequestOpcode == 0xED && m[1] == 0x6D) ctx.ans.ReplyStatus = m[2];
        break;
      case 0xE5:
        DecodePeerMessage(ctx);
        break;
      case 0xBF:
        ctx.ans.RequestedLocoAddress = m[1] * 128 + m[2];
        break;
      default:
        break;
    }

    TxState& t = ctx.tx;
    if (t.TxAwaitingEcho && t.TxLastIndex >= 0) {
      bool echo = true;
      for (int i = 0; i <= t.TxLastIndex + 1; i++) {
        if (m[i] != t.TxMessage[i]) {
          echo = false;
          break;
        }
      }
      if (echo) {
        t.TxAwaitingEcho = false;
        const uint8_t op = t.TxMessage[0];
        if (op == 0xB0 || op == 0xBC || op == 0xBF || op == 0xED) ctx.ans.LastRequestOpcode = op;
        t.TxLastIndex = -1;
      }
    }
  }

  if (r.RxWriteIndex == r.RxReadIndex) r.RxRingEmpty = true;
}

void TakeInReceived(Context& ctx) {
  SerialPort& port = ctx.host.Port();
  auto processRing = [&] {
    for (int i = 0; i < 32 && !ctx.rx.RxRingEmpty; i++) ProcessNextMessage(ctx);
  };
  processRing();
  for (int chunk = 0; chunk < kTakeInChunks && port.IsOpen() && port.BytesWaiting() > 0; chunk++) {
    const std::vector<uint8_t> bytes = port.Read(kTakeInChunk);
    if (bytes.empty()) break;
    ctx.OnSerialData(bytes);
    processRing();
  }
}

void WaitSeconds(Context& ctx, double seconds) {
  const double start = ctx.host.Now();
  while (ctx.host.Now() - start <= seconds) ctx.host.Yield();
}

}  // namespace skyrelay
