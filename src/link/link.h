// LocoNet link: receive framer and ring, transmit with checksum, receive
// processing into the answer variables, and the responsive wait.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/context.h"

namespace skyrelay {

// Framer: one received byte into the ring.
void FrameByte(Context& ctx, uint8_t b);
// Sets every position of every slot to 0; indices and flags stay.
void ClearRxRing(Context& ctx);

// Completes the pending message with its checksum and writes it, or times out
// its echo after 2 seconds.
void PumpTransmit(Context& ctx);
// The checksum of bytes[0..n]: 0xFF XOR all of them.
uint8_t LocoNetChecksum(std::span<const uint8_t> bytes);

// Takes at most one message from the ring and sets the answer variables.
void ProcessNextMessage(Context& ctx);
void DecodePeerMessage(Context& ctx);
void CheckStationUpdateReply(Context& ctx);
void UnpackShortPeerData(Context& ctx);

// True when a completed message's bytes (checksum last) XOR to 0xFF.
bool ChecksumValid(std::span<const uint8_t> message);

// The interface went away while the port was open. Hosts call CheckLink after
// every yield; it throws this out of the wait, so that a run ends at once instead
// of running into one time-out after another. Caught where a run or a port test
// was started (ReportLinkLost shows the one message).
struct LinkLostError {};
// Throws LinkLostError when the port reports the device lost; never inside a
// timer tick (the tick must finish on its own).
void CheckLink(Context& ctx);

// Takes in everything the port has received and not yet handed over, and
// processes every message waiting in the ring. Every wait calls it before it
// decides that its time is up: after a stall of the program (stopped and
// continued, a paused machine, heavy swapping) the answer may be waiting in the
// port although the clock says the time is long over.
void TakeInReceived(Context& ctx);

// Forgets the outgoing message, sent or not: nothing is pending any more.
void ForgetPendingMessage(Context& ctx);

// Returns after more than `seconds` seconds, yielding all the while.
void WaitSeconds(Context& ctx, double seconds);

}  // namespace skyrelay
