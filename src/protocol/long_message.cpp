#include "protocol/long_message.h"

#include "link/link.h"

namespace skyrelay {

namespace {

// A wait counts only the time the program runs. One pass of a wait takes a tick
// at most; a pass that took longer than this stood still (stopped and
// continued, a paused machine, heavy swapping), perhaps before its request
// could even go out, and its time does not count...
constexpr double kStallGap = 1.0;
// ... up to this much in one wait, so that a machine too slow to pass in time
// still ends its waits.
constexpr double kStallAllowance = 60.0;

}  // namespace

void PackGroup(Context& ctx, int head) {
  auto& m = ctx.tx.TxMessage;
  for (int k = 1; k <= 4; k++) {
    if (m[head + k] & 0x80) m[head] |= 1 << (k - 1);
  }
  for (int k = 1; k <= 4; k++) m[head + k] &= 0x7F;
}

void PackHighBits(Context& ctx) {
  for (int head : kGroupHeads) PackGroup(ctx, head);
}

void UnpackGroup(Context& ctx, int head) {
  auto& m = ctx.rx.RxRing[ctx.rx.RxReadIndex];
  for (int k = 1; k <= 4; k++) {
    if (m[head] & (1 << (k - 1))) m[head + k] |= 0x80;
  }
}

void UnpackHighBits(Context& ctx) {
  for (int head : kGroupHeads) UnpackGroup(ctx, head);
}

void BeginLongMessage(Context& ctx, uint8_t device1, uint8_t device2) {
  auto& m = ctx.tx.TxMessage;
  m.fill(0);
  m[0] = 0xED;
  m[1] = 0x1F;
  m[2] = 0x08;
  m[3] = device1;
  m[4] = device2;
}

void SetLongMessageFields(Context& ctx, int f1, int f2, int f3, int f4, int f5) {
  const int fields[5] = {f1, f2, f3, f4, f5};
  for (int g = 0; g < 5; g++) ctx.tx.TxMessage[kGroupHeads[g]] = (fields[g] & 7) * 16;
}

void SetSpiOffsetFields(Context& ctx, int offset) {
  auto& m = ctx.tx.TxMessage;
  m[15] = ((offset >> 6) & 1) * 16;
  m[20] = ((offset >> 3) & 7) * 16;
  m[25] = (offset & 7) * 16;
}

int AwaitAnswer(Context& ctx, double timeout, const std::function<bool()>& answered,
                const char* timeoutText, TimeTest order) {
  double start = ctx.host.Now();
  double lastPass = start;
  double excused = 0;
  // Time is up only when nothing received so far answers: after a stall of the
  // program the answer may be waiting in the port.
  auto timedOut = [&] {
    const double now = ctx.host.Now();
    const double pass = now - lastPass;
    lastPass = now;
    if (pass > kStallGap && excused + pass <= kStallAllowance) {
      start += pass;
      excused += pass;
    }
    if (now - start <= timeout) return false;
    TakeInReceived(ctx);
    return !answered();
  };
  for (;;) {
    if (answered()) return 0;
    if (order == TimeTest::BeforeYield && timedOut()) break;
    ctx.host.Yield();
    if (order == TimeTest::AfterYield && timedOut()) break;
  }
  if (timeoutText[0] != '\0') {
    ctx.host.Message(timeoutText, "Timeout", Icon::Critical, Buttons::Ok);
  }
  return 1;
}

}  // namespace skyrelay
