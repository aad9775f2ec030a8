// Writing the configuration data the description names into the handheld: the
// language texts, the turnout symbols, assignment and list, the character
// definitions, and finally three bytes of the settings block.
#pragma once

#include <optional>

#include "core/host.h"
#include "device/handheld.h"
#include "package/description.h"

namespace skyrelay {

enum class ConfigurationEnd {
  NotRun,
  Done,                // everything named went in (see `shortfall`)
  CommandFailed,       // a command got no answer (see `error`)
  FileUnusable,        // a turnout or character file could not be used
  SettingsNotWritten,  // the settings block read back other than written
};

struct ConfigurationResult {
  ConfigurationEnd end = ConfigurationEnd::NotRun;
  std::optional<CommandError> error;
  // A language file could not be read or ended at a line in the wrong format:
  // less was written than the description names.
  bool shortfall = false;
};

// What the configuration transfer works on, and where it records how it ended.
struct ConfigurationTarget {
  Host& host;
  Handheld& handheld;
  Description& description;
  ConfigurationResult& result;
  // How far the transfer is: the texts of all language files are one count.
  ProgressPlan plan{};
  int textsDone = 0;

  // Records a command that got no answer; false, so that callers can return it.
  bool Failed(const CommandError& error) {
    result.end = ConfigurationEnd::CommandFailed;
    result.error = error;
    return false;
  }
};

// The steps the transfer of the description's files will report: every text of
// the language files that can be read, the turnout symbols, sections and list,
// the character files and the settings block.
ProgressPlan PlanConfiguration(Description& description);

// Makes sure the handheld answers, then transfers every file the description
// names in the order languages 0 to 10, symbols, assignment, list, characters,
// and ends with WriteNewConfiguration and a send_pm01 without waiting. The
// first failure ends it: nothing after it runs.
ConfigurationResult TransferConfiguration(Host& host, Handheld& handheld, Description& description);

// Rewrites the 128-byte settings block with its bytes 8, 9, 10 set to 0, 1, 0.
bool WriteNewConfiguration(ConfigurationTarget& target);

}  // namespace skyrelay
