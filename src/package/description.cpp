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
  Zentrale,
  Funk,
  ZentraleVersion,
  FunkVersion,
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
    {"ZENTRALE=", Entry::Zentrale},
    {"FUNK=", Entry::Funk},
    {"ZENTRALEVERSION=", Entry::ZentraleVersion},
    {"FUNKVERSION=", Entry::FunkVersion},
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

// Checks one named firmware file against its announced version (absent counts
// as 0). False when the load must end: the check failed (it showed its own
// message) or the versions differ ("Falsche Version!").
bool FirmwareMatches(Context& ctx, const std::string& name, std::optional<double> announced) {
  std::string versionText;
  std::string dateText;
  int error = 0;
  CheckUpdateFile(ctx, DescribedFilePath(ctx, name), versionText, dateText, error);
  if (error != 0) return false;
  if (ReadLeadingNumber(versionText) != announced.value_or(0.0)) {
    ctx.host.Message("Falsche Version!", "Fehler", Icon::Stop, Buttons::Ok);
    return false;
  }
  return true;
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

std::string DescribedFilePath(const Context& ctx, const std::string& name) {
  const std::string folder = WithSlashes(ctx.desc.UpdateFolder);
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

std::vector<std::string> PackageFilePaths(const Context& ctx, const std::string& descriptionPath) {
  const Description& desc = ctx.desc;
  std::vector<std::string> paths{descriptionPath};
  // The firmware paths are whole once the package has loaded, names otherwise:
  // both readings are listed (a path that names no file harms nobody).
  for (const std::string* firmware : {&desc.ZentraleFirmwarePath, &desc.FunkFirmwarePath}) {
    if (firmware->empty()) continue;
    paths.push_back(*firmware);
    paths.push_back(DescribedFilePath(ctx, *firmware));
  }
  std::vector<const std::string*> named;
  for (const std::string& name : desc.LanguageFiles) named.push_back(&name);
  named.insert(named.end(),
               {&desc.TurnoutSymbolFile, &desc.TurnoutAssignmentFile, &desc.TurnoutListFile});
  for (int i = 1; i <= desc.CharacterFileCount; i++) named.push_back(&desc.CharacterFiles[i]);
  for (const std::string* name : named) {
    if (!name->empty()) paths.push_back(DescribedFilePath(ctx, *name));
  }
  return paths;
}

void HoldConfigurationFiles(Context& ctx) {
  Description& desc = ctx.desc;
  desc.heldPaths.clear();
  auto hold = [&](const std::string& name, size_t limit) {
    if (name.empty()) return;
    const std::string path = DescribedFilePath(ctx, name);
    // Read afresh for every run; the firmware stays as it was loaded.
    if (path != desc.FunkFirmwarePath && path != desc.ZentraleFirmwarePath) {
      desc.heldFiles.erase(path);
    }
    std::string ignored;
    ReadHeldFile(ctx, path, limit, ignored);
    desc.heldPaths[name] = path;
  };
  for (const std::string& name : desc.LanguageFiles) hold(name, LanguageFileLimit);
  hold(desc.TurnoutSymbolFile, TurnoutSymbolFileSize);
  hold(desc.TurnoutAssignmentFile, TurnoutAssignmentFileSize);
  hold(desc.TurnoutListFile, TurnoutListFileSize);
  for (int i = 1; i <= desc.CharacterFileCount; i++)
    hold(desc.CharacterFiles[i], CharacterFileSize);
}

std::string HeldFilePath(const Context& ctx, const std::string& name) {
  const auto found = ctx.desc.heldPaths.find(name);
  return found != ctx.desc.heldPaths.end() ? found->second : DescribedFilePath(ctx, name);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  return !ReadPackageFile(path, 16 << 20, bytes);
}

namespace {

// Scan and loaded description keep the same file names; only the character
// files are counted differently.
template <class Named>
bool NamesAnyFile(const Named& d, bool anyCharacterFile) {
  if (!d.ZentraleFirmwarePath.empty() || !d.FunkFirmwarePath.empty()) return true;
  for (const std::string& name : d.LanguageFiles) {
    if (!name.empty()) return true;
  }
  return !d.TurnoutSymbolFile.empty() || !d.TurnoutAssignmentFile.empty() ||
         !d.TurnoutListFile.empty() || anyCharacterFile;
}

}  // namespace

bool DescriptionScan::NamesSomething() const {
  return NamesAnyFile(*this, !CharacterFiles.empty());
}

bool DescriptionNamesSomething(const Description& desc) {
  return NamesAnyFile(desc, desc.CharacterFileCount > 0);
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
        case Entry::Zentrale:
          scan.ZentraleFirmwarePath = std::move(value);
          break;
        case Entry::Funk:
          scan.FunkFirmwarePath = std::move(value);
          break;
        case Entry::ZentraleVersion:
          scan.ZentraleVersion = std::move(value);
          break;
        case Entry::FunkVersion:
          scan.FunkVersion = std::move(value);
          break;
        case Entry::Language:
          scan.LanguageFiles[key.language] = std::move(value);
          break;
        case Entry::TurnoutSymbols:
          scan.TurnoutSymbolFile = std::move(value);
          break;
        case Entry::TurnoutAssignment:
          scan.TurnoutAssignmentFile = std::move(value);
          break;
        case Entry::TurnoutList:
          scan.TurnoutListFile = std::move(value);
          break;
        case Entry::Character:
          if (++characterLines <= kMaxCharacterFiles) {
            scan.CharacterFiles.push_back(std::move(value));
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

void ParseUpdateDescription(Context& ctx, const std::string& path) {
  Description& desc = ctx.desc;
  desc = Description{};
  desc.UpdateFolder = FolderOfPath(path);
  std::optional<double> funkVersion;
  std::optional<double> zentraleVersion;

  std::string bytes;
  if (const FileProblem problem = ReadPackageFile(path, DescriptionFileLimit, bytes)) {
    const std::string text =
        problem.failure == FileFailure::Missing || problem.failure == FileFailure::Unreadable
            ? std::string("Die Update-Datei kann nicht geöffnet werden!")
            : problem.text + "!";
    ctx.host.Message(path + "\r" + text, "Fehler!", Icon::Stop, Buttons::Ok);
    return;
  }

  const DescriptionScan scan = ScanDescription(bytes);
  if (!scan.isText || !scan.NamesSomething()) {
    ctx.host.Message("Keine Update-Datei: " + path, "Fehler!", Icon::Stop, Buttons::Ok);
    return;
  }
  desc.ZentraleFirmwarePath = scan.ZentraleFirmwarePath;
  desc.FunkFirmwarePath = scan.FunkFirmwarePath;
  if (scan.ZentraleVersion) zentraleVersion = ReadLeadingNumber(*scan.ZentraleVersion);
  if (scan.FunkVersion) funkVersion = ReadLeadingNumber(*scan.FunkVersion);
  desc.LanguageFiles = scan.LanguageFiles;
  desc.TurnoutSymbolFile = scan.TurnoutSymbolFile;
  desc.TurnoutAssignmentFile = scan.TurnoutAssignmentFile;
  desc.TurnoutListFile = scan.TurnoutListFile;
  for (const std::string& name : scan.CharacterFiles)
    desc.CharacterFiles[++desc.CharacterFileCount] = name;
  if (scan.firstIgnoredCharacterLine > 0) {
    ctx.host.SetStatus("Mehr als 100 Zeichendateien: weitere ignoriert");
  }

  // The digital-set firmware first; after its failure the other is not looked at.
  if (!desc.ZentraleFirmwarePath.empty() &&
      !FirmwareMatches(ctx, desc.ZentraleFirmwarePath, zentraleVersion)) {
    return;
  }
  if (!desc.FunkFirmwarePath.empty() && !FirmwareMatches(ctx, desc.FunkFirmwarePath, funkVersion)) {
    return;
  }

  if (!desc.ZentraleFirmwarePath.empty()) {
    desc.ZentraleFirmwarePath = DescribedFilePath(ctx, desc.ZentraleFirmwarePath);
  }
  if (!desc.FunkFirmwarePath.empty()) {
    desc.FunkFirmwarePath = DescribedFilePath(ctx, desc.FunkFirmwarePath);
  }
  ctx.host.SetVersionLabels(VersionCaption(funkVersion), VersionCaption(zentraleVersion));
}

}  // namespace skyrelay
