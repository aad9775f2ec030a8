// skyrelay-update-cli: the update from a terminal, on the same core as the
// desktop program.
#include <cstdio>
#include <exception>
#include <optional>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/setup.h"
#include "core/process.h"
#include "core/translate.h"
#include "qt/language.h"
#include "run/rescue_note.h"

namespace skyrelay::cli {

namespace {

int Run(int argc, char** argv) {
  // The language comes first: the help and the option errors speak it. A
  // --language that names none is refused by ParseOptions.
  Translations translations;
  const std::optional<std::string_view> named = LanguageArgument(argc, argv);
  const std::optional<Language> chosen = named ? LanguageNamed(*named) : std::nullopt;
  translations.Install(chosen.value_or(LocaleLanguage()));

  Options options;
  if (const std::optional<int> exitStatus = ParseOptions(argc, argv, options)) return *exitStatus;

  InstallSignalHandlers();

  if (options.command == "ports") return RunPortsCommand();
  Session s(options);
  try {
    // Checking reads files only: no world, no port.
    if (options.command == "check") return RunCheckCommand(s);
    if (const int rc = BuildWorld(s, argc, argv); rc != 0) return rc;
    if (const int rc = LoadSettings(s, argv[0]); rc != 0) return rc;
    // The simulated station ends with the program: only a real port's run
    // leaves a note behind, and only such a note concerns this program.
    if (!s.sim) s.ctx->rescueFolder = DefaultRescueFolder();
    // A simulated handheld's backups stay apart from those of real ones, so
    // that none of them is ever taken for a real handheld's.
    if (s.sim) s.ctx->dataFolder = DefaultDataFolder() + "/simuliert";
    if (options.command == "release") return RunReleaseCommand(s);
    if (options.command == "update") return RunUpdateCommand(s);
    if (options.command == "info") return RunInfoCommand(s);
    if (options.command == "backup") return RunBackupCommand(s);
    if (options.command == "restore") return RunRestoreCommand(s);
    return RunPingCommand(s);
  } catch (const std::exception& e) {
    s.console.Finish();
    std::fprintf(stderr, "skyrelay-update-cli: %s\n",
                 Fill(Tr("Cli", "unerwarteter Fehler: %1"), {e.what()}).c_str());
  } catch (const RunCancelled&) {
    s.console.Finish();
    std::fprintf(stderr, "%s\n", Tr("Cli", "Abgebrochen.").c_str());
  }
  if (s.ctx) s.ctx->host.Port().Close();
  return 1;
}

}  // namespace

// A run ended by a signal (once the station is released) says so the usual
// way: 128 and the signal's number. A run that got through all the same keeps
// its success.
int Main(int argc, char** argv) {
  const int status = Run(argc, argv);
  if (const int signal = EndingSignal(); signal != 0 && status == 1) return 128 + signal;
  return status;
}

}  // namespace skyrelay::cli

int main(int argc, char** argv) {
  // Before anything is opened: a port or file must not become standard error.
  skyrelay::MakeStandardDescriptorsValid();
  return skyrelay::cli::Main(argc, argv);
}
