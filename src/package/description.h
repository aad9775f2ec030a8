// The update description file (TUP): key=value lines naming the firmware files
// with their announced versions and the configuration data files. Loading it
// gives the description and what keeps it from loading, as data.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "package/numbers.h"
#include "package/package_file.h"
#include "package/package_problem.h"

namespace skyrelay {

// What a loaded update description names. "ZENTRALE=" names the firmware of the
// handhelds of a digital set, "FUNK=" that of the radio and LocoNet handhelds.
struct Description {
  std::string updateFolder;
  std::string digitalSetFirmwarePath;
  std::string radioFirmwarePath;
  std::array<std::string, 11> languageFiles;
  std::string turnoutSymbolFile;
  std::string turnoutAssignmentFile;
  std::string turnoutListFile;
  std::array<std::string, 101> characterFiles;  // entries 1..100
  int characterFileCount = 0;
  HeldFiles heldFiles;  // by the path they were read from
  // The path each configuration file name was read from when the run was prepared.
  std::map<std::string, std::string> heldPaths;
};

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
  std::string digitalSetFirmwarePath;  // names as written
  std::string radioFirmwarePath;
  std::optional<std::string> digitalSetVersion;  // values as written
  std::optional<std::string> radioVersion;
  std::array<std::string, 11> languageFiles;
  std::string turnoutSymbolFile;
  std::string turnoutAssignmentFile;
  std::string turnoutListFile;
  std::vector<std::string> characterFiles;  // at most 100, in the order of their lines
  int firstIgnoredCharacterLine = 0;        // the line of a 101st "ZEICHEN=" key; 0: none
  std::vector<UnknownKey> unknownKeys;

  // Whether the description names anything the system knows: a firmware file,
  // a language, turnout or character file.
  bool NamesSomething() const;
};

// The same for a loaded description: false when an update with it would do nothing.
bool DescriptionNamesSomething(const Description& desc);

DescriptionScan ScanDescription(const std::string& bytes);

// What loading a description gives.
struct DescriptionLoad {
  Description description;
  // At most one: what ended the load (DescriptionUnreadable, DescriptionRefused,
  // NotADescription, or the first firmware file that failed its check).
  std::vector<PackageProblem> problems;
  bool extraCharacterFilesIgnored = false;  // more than 100 "ZEICHEN=" lines
  // The announced versions as the user reads them ("1,5"; empty: none announced),
  // for the version labels; versionsShown is false when the load ended early.
  std::string radioVersionCaption;
  std::string digitalSetVersionCaption;
  bool versionsShown = false;
};

// Loads the description at path: reads every key line, checks the "ZENTRALE="
// file and then the "FUNK=" file against their announced versions, and on
// success gives the full firmware paths and the version captions. A firmware
// file that fails its check, or a version that differs, ends the load with the
// bare names kept. A file that cannot be read (missing, not a regular file,
// larger than a description can be), is not text or names nothing the system
// knows ends it with nothing kept but the folder.
DescriptionLoad ParseUpdateDescription(const std::string& path);

// Checks the firmware file `name` of a description against its announced
// version (absent counts as 0): the problem that ends a load, if any.
std::optional<PackageProblem> CheckDescribedFirmware(Description& desc, const std::string& name,
                                                     std::optional<double> announced);

// The path of a file the description names: updateFolder followed by the name,
// with every '\' turned into '/', so that names written on Windows (fw\h.tup)
// open here. When that path does not exist, each part of the name is matched
// ignoring letter case, folder by folder (FW\H.TUP finds fw/h.tup); the exact
// name wins when it exists. Every described file is opened through this.
std::string DescribedFilePath(const Description& desc, const std::string& name);

// Reads every configuration file the loaded description names (language, turnout
// and character files) whole, as the run will use it; called before the port
// opens, so that what reaches the handheld is what was on disk when the run
// began. A file that cannot be read is kept as such and reported by its transfer.
void HoldConfigurationFiles(Description& desc);

// The path a configuration file name was read from by HoldConfigurationFiles;
// DescribedFilePath when it was not.
std::string HeldFilePath(const Description& desc, const std::string& name);

// Every file a loaded package consists of: the description at `descriptionPath`
// and every firmware, language, turnout and character file it names, as the
// paths they are opened by. A program must not write to any of them.
std::vector<std::string> PackageFilePaths(const Description& desc,
                                          const std::string& descriptionPath);

// The folder part of a path: up to and including its last '/' or '\'; empty
// when it has neither.
std::string FolderOfPath(const std::string& path);

// Reads a whole regular file of at most 16 MiB as bytes. False when it cannot be
// opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

}  // namespace skyrelay
