// Command-line knobs of the simulated LocoNet, shared by skyrelay-sim and the
// --simulate mode of skyrelay-update-cli.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "sim/sim.h"

namespace skyrelay::sim {

// One knob: its name (without leading dashes or prefix), what its value looks
// like in the help ("N", "MAJOR.MINOR"; empty for a switch) and its help line.
struct SimOption {
  std::string_view name;
  std::string_view value;
  std::string_view help;
  bool TakesValue() const { return !value.empty(); }
};

// Every knob, in the order of the help.
std::span<const SimOption> SimOptions();
// The knob of that name; nullptr: none.
const SimOption* FindSimOption(std::string_view name);
// Applies one knob. False with a German error text when the name or value is
// not understood.
bool ApplySimOption(SimLoNet& sim, const std::string& name, const std::string& value,
                    std::string& error);
// One line per knob, each name behind `prefix` ("--" or "--sim-").
std::string SimOptionsHelp(const std::string& prefix);

}  // namespace skyrelay::sim
