// Turnout symbols, turnout assignment, turnout list and character definitions:
// raw byte files placed into their fixed areas of the handheld's DataFlash.
#pragma once

#include <string>

#include "config/transfer.h"

namespace skyrelay {

// Each takes its file as the package layer reads it (ReadDataFile). A file that
// is missing, shorter or longer than its format is reported and ends the
// transfer before any handheld command; so does a command that gets no answer.
// True when the transfer goes on.
bool TransferTurnoutSymbols(ConfigurationTarget& target, const std::string& path);
bool TransferTurnoutAssignment(ConfigurationTarget& target, const std::string& path);
bool TransferTurnoutList(ConfigurationTarget& target, const std::string& path);
bool TransferCharacterFile(ConfigurationTarget& target, const std::string& path);

}  // namespace skyrelay
