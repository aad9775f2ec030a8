// The command line of skyrelay-update-cli: the options, the command and its
// arguments.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/console.h"

namespace skyrelay::cli {

// The usage, printed with --help, in the chosen language.
std::string Usage();

// Says what is wrong with the command line in one line, with where to look
// ("(siehe skyrelay-update-cli --help)"), and returns the exit status 2.
int WrongUsage(const std::string& what);
// The last line WrongUsage printed (without the program's name), or empty.
const std::string& WrongUsageText();

struct Options {
  std::string command;
  std::vector<std::string> arguments;
  std::optional<std::string> port;
  std::optional<int> interfaceKind;
  std::string settingsPath;
  bool save = false;
  AnswerPolicy answers = AnswerPolicy::Ask;
  std::string tracePath;
  bool simulate = false;
  bool noWait = false;
  bool noBackup = false;  // update: no backup before the configuration
  bool all = false;       // backup: also the language texts and characters
  bool json = false;      // one JSON object a line on standard output, for scripts
  // The --sim-NAME options in order: name (without "sim-") and value.
  std::vector<std::pair<std::string, std::string>> simOptions;
};

// Reads the command line into `options`. Where the program ends here, it has
// printed the help, the version or (in one line) what is wrong, and the exit
// status is returned: 0 after --help and --version, 2 for a wrong command line.
std::optional<int> ParseOptions(int argc, char** argv, Options& options);

}  // namespace skyrelay::cli
