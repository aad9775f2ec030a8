// The receive stream: any bytes through the framer into the receive ring and
// through the receive processing, in pieces as the port delivers them. Oracle:
// the ring's indices stay inside the ring and the answer variables inside their
// ranges.
#include "fuzz_support.h"
#include "link/link.h"

using namespace skyrelay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VirtualHost host(nullptr);
  Context ctx(host);
  host.Attach(&ctx);
  size_t at = 0;
  while (at < size) {
    // The first byte of each piece gives its length (1 to 16).
    const size_t piece = std::min<size_t>(1 + data[at] % 16, size - at - 1 + 1);
    at++;
    const size_t n = std::min(piece, size - at);
    ctx.OnSerialData(std::span<const uint8_t>(data + at, n));
    at += n;
    for (int tick = 0; tick < 2; tick++) ctx.Tick();
    FUZZ_EXPECT(ctx.rx.RxWriteIndex >= 0 && ctx.rx.RxWriteIndex < 32);
    FUZZ_EXPECT(ctx.rx.RxReadIndex >= 0 && ctx.rx.RxReadIndex < 32);
    FUZZ_EXPECT(ctx.rx.RxBytePos >= 0 && ctx.rx.RxBytePos <= 65);
  }
  return 0;
}
