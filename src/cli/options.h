// The command line of skyrelay-update-cli: the options, the command and its
// arguments.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace skyrelay::cli {

// The usage, printed with --help and after a wrong command line.
extern const char kUsage[];

struct Options {
  std::string command;
  std::vector<std::string> arguments;
  std::optional<std::string> port;
  std::optional<int> interfaceKind;
  std::string settingsPath;
  bool save = false;
  std::optional<bool> answer;
  std::string tracePath;
  bool simulate = false;
  bool noWait = false;
  // The --sim-NAME options in order: name (without "sim-") and value.
  std::vector<std::pair<std::string, std::string>> simOptions;
};

// Reads the command line into `options`. Where the program ends here, it has
// printed the help, the version or what is wrong, and the exit status is
// returned: 0 after --help and --version, 2 for a wrong command line.
std::optional<int> ParseOptions(int argc, char** argv, Options& options);

}  // namespace skyrelay::cli
