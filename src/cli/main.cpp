// skyrelay-update-cli: the update from a terminal, on the same core as the
// desktop program.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/options.h"
#include "cli/setup.h"
#include "core/process.h"
#include "core/translate.h"
#include "qt/language.h"
#include "run/rescue_note.h"

namespace skyrelay::cli {

namespace {

int Run(const Options& options, int argc, char** argv, JsonOutput* json) {
  InstallSignalHandlers();

  if (options.command == "ports") return RunPortsCommand(json);
  Session s(options);
  s.json = json;
  if (json) s.console.Observe(json);
  // However the command ends, the final report takes the world as it was left.
  struct HandOver {
    Session& s;
    ~HandOver() {
      if (s.json && s.ctx) s.json->Ended(s.ctx->report, s.ctx->devices.repeats, s.ctx->host.Now());
    }
  } handOver{s};
  try {
    // Checking reads files only: no world, no port.
    if (options.command == "check") return RunCheckCommand(s);
    if (const int rc = BuildWorld(s, argc, argv); rc != 0) return rc;
    if (json) json->Began(s.ctx->host.Now());
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
    if (json) json->Fail("unexpected", e.what());
  } catch (const RunCancelled&) {
    s.console.Finish();
    std::fprintf(stderr, "%s\n", Tr("Cli", "Abgebrochen.").c_str());
    if (json) json->Fail("cancelled", Tr("Cli", "Abgebrochen."));
  }
  if (s.ctx) s.ctx->host.Port().Close();
  return 1;
}

}  // namespace

// A run ended by a signal (once the station is released) says so the usual
// way: 128 and the signal's number. A run that got through all the same keeps
// its success.
int Main(int argc, char** argv) {
  // The language comes first: the help and the option errors speak it. A
  // --language that names none is refused by ParseOptions.
  Translations translations;
  const std::optional<std::string_view> named = LanguageArgument(argc, argv);
  const std::optional<Language> chosen = named ? LanguageNamed(*named) : std::nullopt;
  translations.Install(chosen.value_or(LocaleLanguage()));

  Options options;
  if (const std::optional<int> exitStatus = ParseOptions(argc, argv, options)) {
    // A wrong command line ends the command too; --help and --version run none.
    if (options.json && *exitStatus == 2) JsonOutput(stdout, options.command).Report(2, 0);
    return *exitStatus;
  }
  std::unique_ptr<JsonOutput> json;
  if (options.json) json = JsonOutput::OnStandardOutput(options.command);
  int status = Run(options, argc, argv, json.get());
  const int signal = EndingSignal();
  if (signal != 0 && status == 1) status = 128 + signal;
  if (json) json->Report(status, signal);
  return status;
}

}  // namespace skyrelay::cli

int main(int argc, char** argv) {
  // Before anything is opened: a port or file must not become standard error.
  skyrelay::MakeStandardDescriptorsValid();
  return skyrelay::cli::Main(argc, argv);
}
