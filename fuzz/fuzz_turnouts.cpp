// Turnout symbol, assignment and list files (the first input byte chooses which),
// transferred into the simulated handheld. Oracles: a file of exactly its size
// goes in whole, any other is refused as unusable before anything is
// written; nothing outside the file's DataFlash area changes.
#include <vector>

#include "config/transfer.h"
#include "config/turnouts.h"
#include "device/flash.h"
#include "fuzz_support.h"
#include "package/data_files.h"

using namespace skyrelay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int kind = data[0] % 3;
  const std::string path = fuzz::WriteInput("weichen.bin", data + 1, size - 1);
  const size_t needed[] = {TurnoutSymbolFileSize, TurnoutAssignmentFileSize, TurnoutListFileSize};
  // The area each kind may change: symbols, assignment, the list's bytes 8 to 263.
  const uint32_t first[] = {SymbolAreaBase, AssignmentAreaBase, TurnoutListPage + 8};
  const uint32_t length[] = {256 * 64, 2560, 256};

  fuzz::SimWorld w;
  const std::vector<uint8_t> before = w.sim.flash.memory;
  bool wentIn = false;
  if (kind == 0) wentIn = TransferTurnoutSymbols(w.target, path);
  if (kind == 1) wentIn = TransferTurnoutAssignment(w.target, path);
  if (kind == 2) wentIn = TransferTurnoutList(w.target, path);
  const bool whole = size - 1 == needed[kind];
  FUZZ_EXPECT(wentIn == whole);
  FUZZ_EXPECT(w.result.end == (whole ? ConfigurationEnd::NotRun : ConfigurationEnd::FileUnusable));
  if (!whole) {
    FUZZ_EXPECT(w.sim.flash.memory == before);
    return 0;
  }
  FUZZ_EXPECT(fuzz::SameOutside(w.sim.flash.memory, before, first[kind], length[kind]));
  // Value v of the file (its low byte) at the area's byte v: for the symbols
  // value k of symbol i row r lies at 64 i + 32 r + k, in file order.
  for (uint32_t v = 0; v < length[kind]; v++) {
    FUZZ_EXPECT(w.sim.flash.memory[first[kind] + v] == data[1 + 2 * v]);
  }
  return 0;
}
