// Command-line knobs of the simulated LocoNet, shared by skyrelay-sim and the
// --simulate mode of skyrelay-update-cli.
#pragma once

#include <string>

#include "sim/sim.h"

namespace skyrelay::sim {

// Applies one option (name without its leading dashes or prefix). False with a
// German error text when the name or value is not understood.
bool ApplySimOption(SimLoNet& sim, const std::string& name, const std::string& value,
                    std::string& error);
bool SimOptionTakesValue(const std::string& name);
// One line per option, each name behind `prefix` ("--" or "--sim-").
std::string SimOptionsHelp(const std::string& prefix);

}  // namespace skyrelay::sim
