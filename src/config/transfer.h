// Writing the configuration data the description names into the handheld: the
// language texts, the turnout symbols, assignment and list, the character
// definitions, and finally three bytes of the settings block.
#pragma once

#include <cstdint>

#include "core/context.h"

namespace skyrelay {

// Where the configuration data lies in the handheld's DataFlash.
inline constexpr uint32_t AssignmentAreaBase = 0xE0000;  // 2560 bytes, 5 pages
inline constexpr uint32_t SymbolAreaBase = 0xF8000;      // 256 symbols x 64 bytes, 32 pages
inline constexpr uint32_t CharacterAreaBase = 0xFC000;   // + 512 x b0 + 8 x b1, 8 bytes each
inline constexpr uint32_t TurnoutListPage = 0x3F0800;    // the list fills bytes 8 to 263

// Makes sure the handheld answers, then transfers every file the description
// names in the order languages 0 to 10, symbols, assignment, list, characters,
// and ends with WriteNewConfiguration and a send_pm01 without waiting.
// errorFlag: 0 done; otherwise the first failure's flag (1 a command timed out,
// 99 a turnout or character file could not be used), and nothing after it ran.
void TransferConfiguration(Context& ctx, int& errorFlag);

// Rewrites the 128-byte settings block with its bytes 8, 9, 10 set to 0, 1, 0.
void WriteNewConfiguration(Context& ctx, int& errorFlag);

}  // namespace skyrelay
