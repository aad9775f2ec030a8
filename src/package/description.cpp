#include "package/description.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <utility>

#include "package/data_files.h"
#include "package/firmware_file.h"
#include "package/package_file.h"
#include "core/text_codec.h"

namespace skyrelay {

namespace {

constexpr int kMaxCharacterFiles = 100;

enum class Entry {
  DigitalSet,
  Radio,
  DigitalSetVersion,
  RadioVersion,
  Language,
  TurnoutSymbols,
  TurnoutAssignment,
  TurnoutList,
  Character,
};

struct Key {
  std::string_view text;
  Entry entry;
  int language = 0;
};

constexpr Key kKeys[] = {
    {"ZENTRALE=", Entry::DigitalSet},
    {"FUNK=", Entry::Radio},
    {"ZENTRALEVERSION=", Entry::DigitalSetVersion},
    {"FUNKVERSION=", Entry::RadioVersion},
    {"DEUTSCH=", Entry::Language, 0},
    {"ENGLISCH=", Entry::Language, 1},
    {"FRANZOESISCH=", Entry::Language, 2},
    {"ITALIENISCH=", Entry::Language, 3},
    {"NL=", Entry::Language, 4},
    {"SPANISCH=", Entry::Language, 5},
    {"SCHWEDISCH=", Entry::Language, 6},
    {"DAENISCH=", Entry::Language, 7},
    {"CATALAN=", Entry::Language, 8},
    {"TSCHECHISCH=", Entry::Language, 9},
    {"POLNISCH=", Entry::Language, 10},
    {"WEICHENSYMBOLE=", Entry::TurnoutSymbols},
    {"WEICHENZUORDNUNG=", Entry::TurnoutAssignment},
    {"WEICHENLISTE=", Entry::TurnoutList},
    {"ZEICHEN=", Entry::Character},
};

// Upper case for the ASCII letters only: the keys are ASCII, no other character
// upper-cases to an ASCII letter, and every character keeps its byte offset, so
// a key found here starts at the same byte of the line as read.
std::string AsciiUpper(const std::string& line) {
  std::string upper = line;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// Control bytes that no text file holds (tab, line ends, form feed and the
// old end-of-file mark Ctrl-Z are text).
bool LooksLikeText(const std::string& bytes) {
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v' && b != 0x1A) {
      return false;
    }
  }
  return true;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); j++) row[j] = j;
  for (size_t i = 1; i <= a.size(); i++) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); j++) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A line that holds no known key but starts with a word and '=' (blanks
// allowed around the word) is taken as a misspelt key.
std::optional<UnknownKey> UnknownKeyOf(const std::string& line, int lineNumber) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  const size_t first = line.find_first_not_of(" \t");
  if (first == equals) return std::nullopt;
  std::string word = line.substr(first, equals - first);
  while (!word.empty() && (word.back() == ' ' || word.back() == '\t')) word.pop_back();
  if (word.empty() || word.size() > 40) return std::nullopt;
  for (char c : word) {
    const auto b = static_cast<uint8_t>(c);
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || b >= 0x80;
    if (!letter) return std::nullopt;
  }
  UnknownKey unknown{lineNumber, ToUpperText(line.substr(first, equals - first + 1)), ""};
  const std::string upperWord = ToUpperText(word);
  size_t best = std::string::npos;
  for (const Key& key : kKeys) {
    const std::string name(key.text.substr(0, key.text.size() - 1));
    const size_t distance = EditDistance(upperWord, name);
    // Near: at most a third of the key's letters differ (at least one, at most three).
    const size_t allowed = std::clamp<size_t>(name.size() / 3, 1, 3);
    if (distance <= allowed && distance < best) {
      best = distance;
      unknown.nearest = std::string(key.text);
    }
  }
  return unknown;
}

std::string VersionCaption(std::optional<double> version) {
  return version ? FormatUserNumber(*version) : std::string();
}

std::string WithSlashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// The entry of folder (empty: the current folder; else ending in '/') named
// part: part itself when it exists, else the entry whose name differs from it
// only in letter case (the first in name order when there are several).
std::optional<std::string> EntryIgnoringCase(const std::string& folder, const std::string& part) {
  std::error_code error;
  if (std::filesystem::exists(folder + part, error)) return part;
  const std::string wanted = ToUpperText(part);
  std::optional<std::string> found;
  const std::filesystem::directory_iterator end;
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error);
       !error && it != end; it.increment(error)) {
    const std::string entryName = it->path().filename().string();
    if (ToUpperText(entryName) == wanted && (!found || entryName < *found)) found = entryName;
  }
  return found;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
  const size_t last = path.find_last_of("/\\");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::optional<PackageProblem> CheckDescribedFirmware(Description& desc, const std::string& name,
                                                     std::optional<double> announced) {
  const std::string path = DescribedFilePath(desc, name);
  FirmwareHeader header = CheckUpdateFile(desc.heldFiles, path);
  if (header.problem) return header.problem;
  if (ReadLeadingNumber(header.versionText) != announced.value_or(0.0)) {
    return PackageProblem{ProblemKind::FirmwareWrongVersion, path, 0, header.versionText};
  }
  return std::nullopt;
}

std::string DescribedFilePath(const Description& desc, const std::string& name) {
  const std::string folder = WithSlashes(desc.updateFolder);
  const std::string relative = WithSlashes(name);
  const std::string path = folder + relative;
  // A name longer than a path can be names no file; it is not looked for.
  if (relative.empty() || path.size() > 4096) return path;
  std::error_code ignored;
  if (std::filesystem::exists(path, ignored)) return path;

  // Packages made on Windows write names in any letter case ("FW\H.TUP" for
  // fw/h.tup). Each part of the name is looked up in its folder, the exact
  // spelling first, then ignoring case; the description's own folder is taken
  // as it is. When a part matches nothing, the path stays as written.
  std::string resolved = folder;
  for (size_t start = 0;;) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    std::string part = relative.substr(start, end - start);
    if (part.size() > 255) return path;  // longer than any file name
    if (!part.empty() && part != "." && part != "..") {
      const std::optional<std::string> match = EntryIgnoringCase(resolved, part);
      if (!match) return path;
      part = *match;
    }
    resolved += part;
    if (end == relative.size()) break;
    resolved += '/';
    start = end + 1;
  }
  return resolved;
}

std::vector<std::string> PackageFilePaths(const Description& desc,
                                          const std::string& descriptionPath) {
  std::vector<std::string> paths{descriptionPath};
  // The firmware paths are whole once the package has loaded, names otherwise:
  // both readings are listed (a path that names no file harms nobody).
  for (const std::string* firmware : {&desc.digitalSetFirmwarePath, &desc.radioFirmwarePath}) {
    if (firmware->empty()) continue;
    paths.push_back(*firmware);
    paths.push_back(DescribedFilePath(desc, *firmware));
  }
  std::vector<const std::string*> named;
  for (const std::string& name : desc.languageFiles) named.push_back(&name);
  named.insert(named.end(),
               {&desc.turnoutSymbolFile, &desc.turnoutAssignmentFile, &desc.turnoutListFile});
  for (int i = 1; i <= desc.characterFileCount; i++) named.push_back(&desc.characterFiles[i]);
  for (const std::string* name : named) {
    if (!name->empty()) paths.push_back(DescribedFilePath(desc, *name));
  }
  return paths;
}

void HoldConfigurationFiles(Description& desc) {
  desc.heldPaths.clear();
  auto hold = [&](const std::string& name, size_t limit) {
    if (name.empty()) return;
    const std::string path = DescribedFilePath(desc, name);
    // Read afresh for every run; the firmware stays as it was loaded.
    if (path != desc.radioFirmwarePath && path != desc.digitalSetFirmwarePath) {
      desc.heldFiles.erase(path);
    }
    std::string ignored;
    ReadHeldFile(desc.heldFiles, path, limit, ignored);
    desc.heldPaths[name] = path;
  };
  for (const std::string& name : desc.languageFiles) hold(name, LanguageFileLimit);
  hold(desc.turnoutSymbolFile, TurnoutSymbolFileSize);
  hold(desc.turnoutAssignmentFile, TurnoutAssignmentFileSize);
  hold(desc.turnoutListFile, TurnoutListFileSize);
  for (int i = 1; i <= desc.characterFileCount; i++)
    hold(desc.characterFiles[i], CharacterFileSize);
}

std::string HeldFilePath(const Description& desc, const std::string& name) {
  const auto found = desc.heldPaths.find(name);
  return found != desc.heldPaths.end() ? found->second : DescribedFilePath(desc, name);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  return !ReadPackageFile(path, 16 << 20, bytes);
}

namespace {

// Scan and loaded description keep the same file names; only the character
// files are counted differently.
template <class Named>
bool NamesAnyFile(const Named& d, bool anyCharacterFile) {
  if (!d.digitalSetFirmwarePath.empty() || !d.radioFirmwarePath.empty()) return true;
  for (const std::string& name : d.languageFiles) {
    if (!name.empty()) return true;
  }
  return !d.turnoutSymbolFile.empty() || !d.turnoutAssignmentFile.empty() ||
         !d.turnoutListFile.empty() || anyCharacterFile;
}

}  // namespace

bool DescriptionScan::NamesSomething() const {
  return NamesAnyFile(*this, !characterFiles.empty());
}

bool DescriptionNamesSomething(const Description& desc) {
  return NamesAnyFile(desc, desc.characterFileCount > 0);
}

DescriptionScan ScanDescription(const std::string& bytes) {
  DescriptionScan scan;
  if (!LooksLikeText(bytes)) {
    scan.isText = false;
    return scan;
  }
  int lineNumber = 0;
  int characterLines = 0;
  for (const std::string& line : SplitLines(DecodeTextFile(bytes))) {
    lineNumber++;
    const std::string upper = AsciiUpper(line);
    bool anyKey = false;
    for (const Key& key : kKeys) {
      const size_t at = upper.find(key.text);
      if (at == std::string::npos) continue;
      anyKey = true;
      std::string value = line.substr(at + key.text.size());
      switch (key.entry) {
        case Entry::DigitalSet:
          scan.digitalSetFirmwarePath = std::move(value);
          break;
        case Entry::Radio:
          scan.radioFirmwarePath = std::move(value);
          break;
        case Entry::DigitalSetVersion:
          scan.digitalSetVersion = std::move(value);
          break;
        case Entry::RadioVersion:
          scan.radioVersion = std::move(value);
          break;
        case Entry::Language:
          scan.languageFiles[key.language] = std::move(value);
          break;
        case Entry::TurnoutSymbols:
          scan.turnoutSymbolFile = std::move(value);
          break;
        case Entry::TurnoutAssignment:
          scan.turnoutAssignmentFile = std::move(value);
          break;
        case Entry::TurnoutList:
          scan.turnoutListFile = std::move(value);
          break;
        case Entry::Character:
          if (++characterLines <= kMaxCharacterFiles) {
            scan.characterFiles.push_back(std::move(value));
          } else if (scan.firstIgnoredCharacterLine == 0) {
            scan.firstIgnoredCharacterLine = lineNumber;
          }
          break;
      }
    }
    if (!anyKey) {
      if (std::optional<UnknownKey> unknown = UnknownKeyOf(line, lineNumber)) {
        scan.unknownKeys.push_back(std::move(*unknown));
      }
    }
  }
  return scan;
}

DescriptionLoad ParseUpdateDescription(const std::string& path) {
  DescriptionLoad load;
  Description& desc = load.description;
  desc.updateFolder = FolderOfPath(path);

  std::string bytes;
  if (const FileProblem problem = ReadPackageFile(path, DescriptionFileLimit, bytes)) {
    const bool unreadable =
        problem.failure == FileFailure::Missing || problem.failure == FileFailure::Unreadable;
    load.problems.push_back(
        unreadable ? PackageProblem{ProblemKind::DescriptionUnreadable, path}
                   : PackageProblem{ProblemKind::DescriptionRefused, path, 0, problem.text});
    return load;
  }

  const DescriptionScan scan = ScanDescription(bytes);
  if (!scan.isText || !scan.NamesSomething()) {
    load.problems.push_back({ProblemKind::NotADescription, path});
    return load;
  }
  desc.digitalSetFirmwarePath = scan.digitalSetFirmwarePath;
  desc.radioFirmwarePath = scan.radioFirmwarePath;
  std::optional<double> digitalSetVersion;
  std::optional<double> radioVersion;
  if (scan.digitalSetVersion) digitalSetVersion = ReadLeadingNumber(*scan.digitalSetVersion);
  if (scan.radioVersion) radioVersion = ReadLeadingNumber(*scan.radioVersion);
  desc.languageFiles = scan.languageFiles;
  desc.turnoutSymbolFile = scan.turnoutSymbolFile;
  desc.turnoutAssignmentFile = scan.turnoutAssignmentFile;
  desc.turnoutListFile = scan.turnoutListFile;
  for (const std::string& name : scan.characterFiles)
    desc.characterFiles[++desc.characterFileCount] = name;
  load.extraCharacterFilesIgnored = scan.firstIgnoredCharacterLine > 0;

  // The digital-set firmware first; after its failure the other is not looked at.
  for (const auto& [name, version] : {std::pair{&desc.digitalSetFirmwarePath, digitalSetVersion},
                                      std::pair{&desc.radioFirmwarePath, radioVersion}}) {
    if (name->empty()) continue;
    if (std::optional<PackageProblem> problem = CheckDescribedFirmware(desc, *name, version)) {
      load.problems.push_back(std::move(*problem));
      return load;
    }
  }
  for (std::string* name : {&desc.digitalSetFirmwarePath, &desc.radioFirmwarePath}) {
    if (!name->empty()) *name = DescribedFilePath(desc, *name);
  }
  load.radioVersionCaption = VersionCaption(radioVersion);
  load.digitalSetVersionCaption = VersionCaption(digitalSetVersion);
  load.versionsShown = true;
  return load;
}

}  // namespace skyrelay
