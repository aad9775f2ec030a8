// Turnout symbols, turnout assignment, turnout list and character definitions:
// raw byte files placed into their fixed areas of the handheld's DataFlash.
#pragma once

#include <cstddef>
#include <string>

#include "core/context.h"
#include "package/data_files.h"

namespace skyrelay {

// Each takes its file as the package layer reads it (ReadDataFile). A file that
// is missing, shorter or longer than its format is reported with a message and gives errorFlag 99
// before any handheld command; a command that times out gives its flag at once.
void TransferTurnoutSymbols(Context& ctx, const std::string& path, int& errorFlag);
void TransferTurnoutAssignment(Context& ctx, const std::string& path, int& errorFlag);
void TransferTurnoutList(Context& ctx, const std::string& path, int& errorFlag);
void TransferCharacterFile(Context& ctx, const std::string& path, int& errorFlag);

}  // namespace skyrelay
