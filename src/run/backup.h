// The user's data in the handheld's DataFlash, saved to and written back from
// an Intel HEX file: before "Update" writes the configuration, and as the
// commands "backup" and "restore". Neither command puts the station into its
// update mode.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "package/intel_hex.h"
#include "run/commands.h"
#include "run/context.h"

namespace skyrelay {

// Whole DataFlash pages from `address`.
struct FlashArea {
  uint32_t address;
  uint32_t size;
};

// The pages of the user's data that an update of `desc` overwrites: the
// turnout symbols, assignment and list (each when the package names its file)
// and the settings block's page (always).
std::vector<FlashArea> UpdateBackupAreas(const Description& desc);
// What the command "backup" reads: the turnout areas and the settings block's
// page; with `all` also the language texts and the character definitions.
std::vector<FlashArea> CommandBackupAreas(bool all);
// The German name of the area an address lies in ("Weichensymbole", ...).
std::string FlashAreaName(uint32_t address);
// The area an address lies in, for programs that read the result.
enum class FlashAreaKind {
  TurnoutAssignment,
  TurnoutSymbols,
  Characters,
  LanguageTexts,
  Settings,
  TurnoutList,
  Other,
};
FlashAreaKind FlashAreaOf(uint32_t address);

// The file name of a backup of this handheld at `when` (local time):
// "58400_v2.1_2026-12-08_013512.hex".
std::string BackupFileName(const HandheldIdentity& identity, std::time_t when);

// The path in `folder` for a backup at `when`: BackupFileName, or with "_2",
// "_3", ... before ".hex" when a backup of the same second is there already.
std::string FreeBackupPath(const std::string& folder, const HandheldIdentity& identity,
                           std::time_t when);

// The pages `areas` cover: the steps of the backup's progress.
int BackupPages(const std::vector<FlashArea>& areas);

// Reads `areas` from the handheld and saves them in the file `path` (its
// folder is made when missing). Nothing is written to the handheld.
BackupResult SaveBackup(Host& host, Handheld& handheld, const std::vector<FlashArea>& areas,
                        const std::string& path);

// Before the configuration: the areas an update of ctx.desc overwrites, saved
// in ctx.dataFolder under BackupFileName. Tells where it went (the status), or
// why it failed (a message box). Saved when the run may write; Skipped when the
// handheld is silent (the configuration then ends before it writes).
BackupResult BackupBeforeConfiguration(Context& ctx, const HandheldIdentity& identity);

// The command "backup": opens the port, identifies the handheld without a
// question, reads and saves, closes the port.
struct BackupCommandResult {
  std::optional<Notice> portFailure;
  bool handheldAnswered = false;
  HandheldIdentity identity;
  BackupResult backup;
  bool cancelled = false;
};
BackupCommandResult BackupCommand(Context& ctx, const std::string& path, bool all,
                                  const std::string& settingsHint = SettingsHint());

// What a backup file holds, as the restore question shows it.
struct BackupFileInfo {
  FlashImage image;
  std::string problem;  // the file cannot be used (German)
  // From the name, when it is one BackupFileName gives: article, version, date and time.
  std::string article, version, date, time;
  // One line an area: its name, addresses and size.
  std::vector<std::string> lines;
};
BackupFileInfo ReadBackupFile(const std::string& path);

enum class RestoreEnd { NotRun, FileUnusable, PortFailed, NoHandheld, Declined, Failed, Done };

struct RestoreResult {
  RestoreEnd end = RestoreEnd::NotRun;
  BackupFileInfo file;
  std::optional<Notice> portFailure;
  HandheldIdentity identity;
  // The command that got no answer (Failed).
  std::optional<CommandError> error;
  int pagesWritten = 0;
  // Pages that did not read back as the file has them, even after repeating.
  std::vector<uint32_t> pagesWrong;
  bool cancelled = false;
  bool ok() const { return end == RestoreEnd::Done && pagesWrong.empty(); }
};

// Writes the pages of `image` back, each read back and compared (a page only
// partly in the image is first loaded into buffer 1).
void WriteBackupImage(Host& host, Handheld& handheld, const FlashImage& image, RestoreResult& r);

// The command "restore": reads the file, opens the port, identifies the
// handheld, asks (RestoreQuestion) and writes the file back page by page.
RestoreResult RestoreCommand(Context& ctx, const std::string& path,
                             const std::string& settingsHint = SettingsHint());

}  // namespace skyrelay
