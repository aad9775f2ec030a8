// Character definition files transferred into the simulated handheld. Oracles:
// a file of exactly 10 bytes changes the eight bytes at 0xFC000 + 512 b0 + 8 b1
// and nothing else; any other is refused as unusable and changes nothing.
#include <vector>

#include "config/transfer.h"
#include "config/turnouts.h"
#include "device/flash.h"
#include "fuzz_support.h"
#include "package/data_files.h"

using namespace skyrelay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("zeichen.bin", data, size);
  fuzz::SimWorld w;
  const std::vector<uint8_t> before = w.sim.flash.memory;
  const bool wentIn = TransferCharacterFile(w.target, path);
  const bool whole = size == CharacterFileSize;
  FUZZ_EXPECT(wentIn == whole);
  FUZZ_EXPECT(w.result.end == (whole ? ConfigurationEnd::NotRun : ConfigurationEnd::FileUnusable));
  const uint32_t address = whole ? CharacterAreaBase + 512u * data[0] + 8u * data[1] : 0;
  if (!whole) {
    FUZZ_EXPECT(w.sim.flash.memory == before);
    return 0;
  }
  FUZZ_EXPECT(fuzz::SameOutside(w.sim.flash.memory, before, address, 8));
  for (uint32_t i = 0; i < 8; i++) FUZZ_EXPECT(w.sim.flash.memory[address + i] == data[2 + i]);
  return 0;
}
