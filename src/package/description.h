// The update description file (TUP): key=value lines naming the firmware files
// with their announced versions and the configuration data files. Loading it
// fills ctx.desc and the two version labels of the main window.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "package/numbers.h"

namespace skyrelay {

// A key of the description that no entry has, and the known key nearest to it.
struct UnknownKey {
  int line = 0;
  std::string key;      // as written up to and including '=', upper case ("DEUTCH=")
  std::string nearest;  // the nearest known key ("DEUTSCH="); empty when none is near
};

// What a description's bytes say, found by the one key scanner that loading and
// the package check share: in every line (upper case), every key anywhere, the
// value the rest of the line as written.
struct DescriptionScan {
  bool isText = true;  // false: control bytes no text file holds (a firmware or other binary file)
  std::string ZentraleFirmwarePath;  // names as written
  std::string FunkFirmwarePath;
  std::optional<std::string> ZentraleVersion;  // values as written
  std::optional<std::string> FunkVersion;
  std::array<std::string, 11> LanguageFiles;
  std::string TurnoutSymbolFile;
  std::string TurnoutAssignmentFile;
  std::string TurnoutListFile;
  std::vector<std::string> CharacterFiles;  // at most 100, in the order of their lines
  int firstIgnoredCharacterLine = 0;        // the line of a 101st "ZEICHEN=" key; 0: none
  std::vector<UnknownKey> unknownKeys;

  // Whether the description names anything the system knows: a firmware file,
  // a language, turnout or character file.
  bool NamesSomething() const;
};

// The same for a loaded description: false when an update with it would do nothing.
bool DescriptionNamesSomething(const Description& desc);

DescriptionScan ScanDescription(const std::string& bytes);

// Loads the description at path: clears ctx.desc, reads every key line, checks
// the "ZENTRALE=" file and then the "FUNK=" file against their announced
// versions, and on success stores the full firmware paths and sets the version
// labels. A firmware file that fails its check, or a version that differs
// ("Falsche Version!"), ends the load with the bare names kept and the labels
// unchanged. A file that cannot be read (missing, not a regular file, larger
// than a description can be) ends it with a message naming the file; so does a
// file that is not text or names nothing the system knows ("Keine Update-Datei: ").
void ParseUpdateDescription(Context& ctx, const std::string& path);

// The path of a file the description names: UpdateFolder followed by the name,
// with every '\' turned into '/', so that names written on Windows (fw\h.tup)
// open here. When that path does not exist, each part of the name is matched
// ignoring letter case, folder by folder (FW\H.TUP finds fw/h.tup); the exact
// name wins when it exists. Every described file is opened through this.
std::string DescribedFilePath(const Context& ctx, const std::string& name);

// Reads every configuration file the loaded description names (language, turnout
// and character files) whole, as the run will use it; called before the port
// opens, so that what reaches the handheld is what was on disk when the run
// began. A file that cannot be read is kept as such and reported by its transfer.
void HoldConfigurationFiles(Context& ctx);

// The path a configuration file name was read from by HoldConfigurationFiles;
// DescribedFilePath when it was not.
std::string HeldFilePath(const Context& ctx, const std::string& name);

// Every file a loaded package consists of: the description at `descriptionPath`
// and every firmware, language, turnout and character file it names, as the
// paths they are opened by. A program must not write to any of them.
std::vector<std::string> PackageFilePaths(const Context& ctx, const std::string& descriptionPath);

// The folder part of a path: up to and including its last '/' or '\'; empty
// when it has neither.
std::string FolderOfPath(const std::string& path);

// Reads a whole regular file of at most 16 MiB as bytes. False when it cannot be
// opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

}  // namespace skyrelay
