// Turnout symbols, turnout assignment, turnout list and character definitions:
// raw byte files placed into their fixed areas of the handheld's DataFlash.
#pragma once

#include <cstddef>
#include <string>

#include "core/context.h"

namespace skyrelay {

// File sizes the formats need. The turnout files hold 16-bit little-endian
// values; each value fills one byte in the handheld (its low byte).
inline constexpr size_t TurnoutSymbolFileSize = 2 * 256 * 2 * 32;  // 16384 values
inline constexpr size_t TurnoutAssignmentFileSize = 2 * 2561;      // values 0..2559 are used
inline constexpr size_t TurnoutListFileSize = 2 * 256;
inline constexpr size_t CharacterFileSize = 10;  // b0, b1, eight definition bytes

// Each reads and checks its whole file first. A file that is missing or shorter
// than its format is reported with a message and gives errorFlag 99 before any
// handheld command; a command that times out gives its flag at once.
void TransferTurnoutSymbols(Context& ctx, const std::string& path, int& errorFlag);
void TransferTurnoutAssignment(Context& ctx, const std::string& path, int& errorFlag);
void TransferTurnoutList(Context& ctx, const std::string& path, int& errorFlag);
void TransferCharacterFile(Context& ctx, const std::string& path, int& errorFlag);

}  // namespace skyrelay
