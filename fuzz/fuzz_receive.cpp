// The receive stream: any bytes through the framer into the receive ring and
// through the receive processing, in pieces as the port delivers them. Oracle:
// nothing reads or writes outside its buffer (the sanitizers), and what the
// answers decode to stays inside its range.
#include "fuzz_support.h"
#include "link/link.h"

using namespace skyrelay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VirtualHost host(nullptr);
  Context ctx(host);
  host.Attach(&ctx.link);
  size_t at = 0;
  while (at < size) {
    // The first byte of each piece gives its length (1 to 16).
    const size_t piece = std::min<size_t>(1 + data[at] % 16, size - at - 1 + 1);
    at++;
    const size_t n = std::min(piece, size - at);
    ctx.link.OnSerialData(std::span<const uint8_t>(data + at, n));
    at += n;
    for (int tick = 0; tick < 2; tick++) ctx.link.Tick();
    const DeviceLink& d = ctx.devices;
    FUZZ_EXPECT(d.requestedLoco >= 0 && d.requestedLoco < 128 * 128);
    FUZZ_EXPECT(d.replyStatus >= 0 && d.replyStatus < 128);
    for (int value : d.spiBuffer) FUZZ_EXPECT(value >= 0 && value <= 255);
  }
  return 0;
}
