// The LocoNet link: the receive framer and its ring, the one outgoing message
// with its echo, the counters, and the waits every command is built on. The
// link knows nothing of the devices: it hands each received message upward.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "core/host.h"

namespace skyrelay {

// A ring slot: a received message, checksum last, and behind it whatever an
// earlier message left there.
using MessageSlot = std::array<uint8_t, 65>;

// The checksum of bytes: 0xFF XOR all of them.
uint8_t LocoNetChecksum(std::span<const uint8_t> bytes);
// True when a completed message's bytes (checksum last) XOR to 0xFF.
bool ChecksumValid(std::span<const uint8_t> message);

// The interface went away while the port was open. Hosts call Link::CheckLost
// after every yield; it throws this out of the wait, so that a run ends at once
// instead of running into one time-out after another.
struct LinkLostError {};

// Counters and an optional observer of every LocoNet message, for traces and figures.
struct LinkStats {
  long messagesSent = 0;
  long messagesReceived = 0;
  // Sent messages whose echo did not come back in time.
  long echoesMissing = 0;
  // True while the observer is told of a sent message that repeats an unanswered one.
  bool repeating = false;
  // Called with (time, sent?, bytes) for every message written or completed by the
  // framer, damaged ones included.
  std::function<void(double, bool, std::span<const uint8_t>)> observer;
};

// Where a wait tests its time-out within each pass.
enum class TimeTest { BeforeYield, AfterYield };

class Link {
 public:
  explicit Link(Host& host);

  Host& host() { return host_; }

  // How messages go out, told when the port is opened: whole, or byte by byte
  // with clear-to-send (the command station's own serial interface).
  enum class WriteMode { Whole, ByteByByte };
  void SetWriteMode(WriteMode mode) { writeMode_ = mode; }

  // Called for every received message with a valid checksum, before it is
  // compared with the echo that is awaited; the slot may be changed in place.
  std::function<void(MessageSlot&)> onMessage;
  // Called when a sent message's echo did not come within 2 s; the message is
  // then forgotten.
  std::function<void()> onEchoMissing;

  // One tick of the main timer: sends the pending message or times out its
  // echo, then processes at most one received message. A tick that is asked
  // for while one is running does nothing.
  void Tick();
  // Bytes the serial port received, in order.
  void OnSerialData(std::span<const uint8_t> bytes);

  // Makes `message` (without its checksum) the one outgoing message; the next
  // tick completes and writes it. A message still waiting for its echo stays
  // awaited, as the bytes now pending. `repeat` marks a message that repeats
  // an unanswered one, for the counters and the observer.
  void Send(std::span<const uint8_t> message, bool repeat = false);
  // Forgets the outgoing message, sent or not: nothing is pending any more.
  void ForgetPending();
  // Sets every byte of every ring slot to 0; waiting messages stay counted.
  void ClearSlots();
  // Whether a message is pending: not yet written, or written and waiting for its echo.
  bool Pending() const { return lastIndex_ != -1; }
  bool AwaitingEcho() const { return awaitingEcho_; }
  // The opcode of the last request (0xB0, 0xBC, 0xBF, 0xED) whose echo came back.
  uint8_t LastEchoedRequest() const { return lastRequest_; }

  // Takes in everything the port has received and not yet handed over, and
  // processes every message waiting in the ring. Every wait calls it before it
  // decides that its time is up: after a stall of the program (stopped and
  // continued, a paused machine, heavy swapping) the answer may be waiting in
  // the port although the clock says the time is long over.
  void TakeInReceived();

  // Polls `answered`, tests the time-out (strictly more than `timeout`
  // seconds) and yields, until one of them ends it; with TimeTest::AfterYield
  // the time is tested after the yield. True when answered.
  bool Await(double timeout, const std::function<bool()>& answered,
             TimeTest order = TimeTest::BeforeYield);
  // Returns after more than `seconds` seconds, yielding all the while.
  void WaitSeconds(double seconds);

  // Throws LinkLostError when the port reports the device lost; never inside a
  // timer tick (the tick must finish on its own).
  void CheckLost();

  bool InTick() const { return inTick_; }
  // Whether a front end may throw RunCancelled out of a yield now: not inside
  // a timer tick (the tick runs inside the event loop) and not while an
  // exchange that must finish (the station's release) is under way.
  bool MayAbandonRun() const { return !inTick_ && !mustFinish_; }
  void SetMustFinish(bool on) { mustFinish_ = on; }
  bool MustFinish() const { return mustFinish_; }
  // Clears the in-tick flag of a tick that will never return (the program is
  // ending from inside it), so that a last exchange can still tick.
  void EndAbandonedTick() { inTick_ = false; }

  LinkStats stats;

 private:
  void FrameByte(uint8_t b);
  void PumpTransmit();
  void ProcessNextMessage();

  Host& host_;
  WriteMode writeMode_ = WriteMode::Whole;
  bool inTick_ = false;
  bool mustFinish_ = false;
  uint8_t lastRequest_ = 0;

  // Receive ring and framer.
  std::array<MessageSlot, 32> ring_{};
  int writeIndex_ = 0;
  int fillIndex_ = 0;
  int readIndex_ = 0;
  int bytePos_ = 0;
  int expectedLength_ = 0;
  bool inMessage_ = false;
  bool ringEmpty_ = true;

  // The one outgoing message: bytes 0..lastIndex_, its checksum behind them.
  MessageSlot outgoing_{};
  int lastIndex_ = -1;
  bool outgoingRepeat_ = false;
  bool awaitingEcho_ = false;
  double sentAt_ = 0;
};

}  // namespace skyrelay
