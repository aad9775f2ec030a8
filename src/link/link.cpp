#include "link/link.h"

#include <vector>

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
// A wait counts only the time the program runs. One pass of a wait takes a tick
// at most; a pass that took longer than this stood still (stopped and
// continued, a paused machine, heavy swapping), perhaps before its request
// could even go out, and its time does not count...
constexpr double kStallGap = 1.0;
// ... up to this much in one wait, so that a machine too slow to pass in time
// still ends its waits.
constexpr double kStallAllowance = 60.0;

}  // namespace

uint8_t LocoNetChecksum(std::span<const uint8_t> bytes) {
  uint8_t sum = 0xFF;
  for (uint8_t b : bytes) sum ^= b;
  return sum;
}

bool ChecksumValid(std::span<const uint8_t> message) {
  return !message.empty() && LocoNetChecksum(message.first(message.size() - 1)) == message.back();
}

Link::Link(Host& host) : host_(host) {}

void Link::Tick() {
  if (inTick_) return;
  // The flag is reset however the tick ends (a host may abandon a run by
  // throwing from Yield, for example on Ctrl-C).
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{inTick_};
  inTick_ = true;
  PumpTransmit();
  ProcessNextMessage();
}

void Link::OnSerialData(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) FrameByte(b);
}

void Link::FrameByte(uint8_t b) {
  if (b >= 0x80) {
    if ((writeIndex_ + 1) % 32 == readIndex_) {
      // No free slot: this message is dropped and the waiting ones stay as they
      // are. (Writing it over the newest waiting one could hand that slot out a
      // second time, and the processing would then replay the whole ring.)
      inMessage_ = false;
      return;
    }
    inMessage_ = true;
    fillIndex_ = (writeIndex_ + 1) % 32;
    bytePos_ = -1;
    switch (b & 0xE0) {
      case 0x80:
        expectedLength_ = 2;
        break;
      case 0xA0:
        expectedLength_ = 4;
        break;
      case 0xC0:
        expectedLength_ = 6;
        break;
      default:
        expectedLength_ = -1;
        break;
    }
  }
  if (!inMessage_) return;

  bytePos_++;
  if (expectedLength_ == -1 && bytePos_ == 1) {
    expectedLength_ = b;
    if (b > 64 || b == 0) inMessage_ = false;
  }
  ring_[fillIndex_][bytePos_] = b;
  if (bytePos_ == expectedLength_ - 1) {
    inMessage_ = false;
    const std::span<const uint8_t> message(ring_[fillIndex_].data(), expectedLength_);
    if (stats.observer) stats.observer(host_.Now(), false, message);
    if (!ChecksumValid(message)) {
      // Damaged on the line: dropped here, so it can never become an answer. The
      // waiting command runs into its time-out instead.
      return;
    }
    writeIndex_ = fillIndex_;
    ringEmpty_ = false;
    stats.messagesReceived++;
  } else if (bytePos_ >= 64) {
    // Only a count byte of 1 can get here: the message can never complete.
    inMessage_ = false;
  }
}

void Link::ClearSlots() {
  for (auto& slot : ring_) slot.fill(0);
}

void Link::Send(std::span<const uint8_t> message, bool repeat) {
  if (message.empty() || message.size() > 64) return;
  outgoingRepeat_ = repeat;
  std::copy(message.begin(), message.end(), outgoing_.begin());
  lastIndex_ = static_cast<int>(message.size()) - 1;
}

void Link::ForgetPending() {
  lastIndex_ = -1;
  awaitingEcho_ = false;
}

void Link::CheckLost() {
  if (!inTick_ && host_.Port().Lost()) throw LinkLostError{};
}

void Link::PumpTransmit() {
  const int n = lastIndex_;
  if (n == -1) return;
  if (awaitingEcho_) {
    if (host_.Now() - sentAt_ > kEchoTimeout) {
      // The echo may have come in while the program stood still.
      TakeInReceived();
      if (!awaitingEcho_) return;
      stats.echoesMissing++;
      if (onEchoMissing) onEchoMissing();
      ForgetPending();
    }
    return;
  }
  outgoing_[n + 1] = LocoNetChecksum(std::span<const uint8_t>(outgoing_.data(), n + 1));
  const std::span<const uint8_t> message(outgoing_.data(), n + 2);
  SerialPort& port = host_.Port();
  if (writeMode_ == WriteMode::Whole) {
    // A closed port (interface kind 2 opens none) gets no write; the echo
    // time-out then tells the user that the message was lost.
    if (port.IsOpen()) port.Write(message);
  } else {
    // A port that goes away in the middle stops the byte-by-byte write at once.
    int j = 0;
    const double start = host_.Now();
    while (j <= n + 1 && !port.Lost()) {
      host_.Yield();
      if (port.IsOpen() && port.ClearToSend()) {
        if (!port.Write(message.subspan(j, 1)) && port.Lost()) break;
        j++;
        continue;
      }
      // Only a byte that could not go out counts against the time.
      if (host_.Now() - start > kSlowWriteLimit) break;
    }
  }
  stats.messagesSent++;
  if (stats.observer) {
    stats.repeating = outgoingRepeat_;
    stats.observer(host_.Now(), true, message);
    stats.repeating = false;
  }
  awaitingEcho_ = true;
  sentAt_ = host_.Now();
}

void Link::ProcessNextMessage() {
  if (ringEmpty_) return;
  readIndex_ = (readIndex_ + 1) % 32;
  MessageSlot& m = ring_[readIndex_];

  if (m[0] != 0x81) {
    if (onMessage) onMessage(m);
    if (awaitingEcho_ && lastIndex_ >= 0) {
      bool echo = true;
      for (int i = 0; i <= lastIndex_ + 1; i++) {
        if (m[i] != outgoing_[i]) {
          echo = false;
          break;
        }
      }
      if (echo) {
        awaitingEcho_ = false;
        const uint8_t op = outgoing_[0];
        if (op == 0xB0 || op == 0xBC || op == 0xBF || op == 0xED) lastRequest_ = op;
        lastIndex_ = -1;
      }
    }
  }

  if (writeIndex_ == readIndex_) ringEmpty_ = true;
}

void Link::TakeInReceived() {
  SerialPort& port = host_.Port();
  auto processRing = [&] {
    for (int i = 0; i < 32 && !ringEmpty_; i++) ProcessNextMessage();
  };
  processRing();
  for (int chunk = 0; chunk < kTakeInChunks && port.IsOpen() && port.BytesWaiting() > 0; chunk++) {
    const std::vector<uint8_t> bytes = port.Read(kTakeInChunk);
    if (bytes.empty()) break;
    OnSerialData(bytes);
    processRing();
  }
}

bool Link::Await(double timeout, const std::function<bool()>& answered, TimeTest order) {
  double start = host_.Now();
  double lastPass = start;
  double excused = 0;
  // Time is up only when nothing received so far answers: after a stall of the
  // program the answer may be waiting in the port.
  auto timedOut = [&] {
    const double now = host_.Now();
    const double pass = now - lastPass;
    lastPass = now;
    if (pass > kStallGap && excused + pass <= kStallAllowance) {
      start += pass;
      excused += pass;
    }
    if (now - start <= timeout) return false;
    TakeInReceived();
    return !answered();
  };
  for (;;) {
    if (answered()) return true;
    if (order == TimeTest::BeforeYield && timedOut()) return false;
    host_.Yield();
    if (order == TimeTest::AfterYield && timedOut()) return false;
  }
}

void Link::WaitSeconds(double seconds) {
  const double start = host_.Now();
  while (host_.Now() - start <= seconds) host_.Yield();
}

}  // namespace skyrelay
