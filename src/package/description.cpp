#include "package/description.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "package/text_codec.h"
#include "package/firmware_file.h"

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

// One line, upper-cased character by character, so that a key found in the
// upper-case copy can be mapped back to the same character of the line as read.
class KeyLine {
 public:
  explicit KeyLine(const std::string& line) : characters_(Utf8Characters(line)) {
    for (const std::string& c : characters_) {
      starts_.push_back(upper_.size());
      upper_ += ToUpperText(c);
    }
  }

  // The part of the line after the first occurrence of key, as written.
  std::optional<std::string> ValueAfter(std::string_view key) const {
    const size_t at = upper_.find(key);
    if (at == std::string::npos) return std::nullopt;
    // Keys are ASCII, so a match starts at a character and has one character per byte.
    size_t index = 0;
    while (index < starts_.size() && starts_[index] < at) index++;
    std::string value;
    for (size_t i = index + key.size(); i < characters_.size(); i++) value += characters_[i];
    return value;
  }

 private:
  std::vector<std::string> characters_;
  std::vector<size_t> starts_;  // byte offset of each character in upper_
  std::string upper_;
};

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
  std::error_code ignored;
  if (relative.empty() || std::filesystem::exists(path, ignored)) return path;

  // Packages made on Windows write names in any letter case ("FW\H.TUP" for
  // fw/h.tup). Each part of the name is looked up in its folder, the exact
  // spelling first, then ignoring case; the description's own folder is taken
  // as it is. When a part matches nothing, the path stays as written.
  std::string resolved = folder;
  for (size_t start = 0;;) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    std::string part = relative.substr(start, end - start);
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

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) return false;
  char buffer[8192];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, got);
  return !std::ferror(file.get());
}

void ParseUpdateDescription(Context& ctx, const std::string& path) {
  Description& desc = ctx.desc;
  desc = Description{};
  desc.UpdateFolder = FolderOfPath(path);
  std::optional<double> funkVersion;
  std::optional<double> zentraleVersion;

  std::string bytes;
  if (!ReadFileBytes(path, bytes)) {
    ctx.host.Message(path + "\r" + "Die Update-Datei kann nicht geöffnet werden!", "Fehler!",
                     Icon::Stop, Buttons::Ok);
    return;
  }

  int ignoredCharacterFiles = 0;
  for (const std::string& line : SplitLines(DecodeTextFile(bytes))) {
    const KeyLine keyLine(line);
    for (const Key& key : kKeys) {
      const std::optional<std::string> value = keyLine.ValueAfter(key.text);
      if (!value) continue;
      switch (key.entry) {
        case Entry::Zentrale:
          desc.ZentraleFirmwarePath = *value;
          break;
        case Entry::Funk:
          desc.FunkFirmwarePath = *value;
          break;
        case Entry::ZentraleVersion:
          zentraleVersion = ReadLeadingNumber(*value);
          break;
        case Entry::FunkVersion:
          funkVersion = ReadLeadingNumber(*value);
          break;
        case Entry::Language:
          desc.LanguageFiles[key.language] = *value;
          break;
        case Entry::TurnoutSymbols:
          desc.TurnoutSymbolFile = *value;
          break;
        case Entry::TurnoutAssignment:
          desc.TurnoutAssignmentFile = *value;
          break;
        case Entry::TurnoutList:
          desc.TurnoutListFile = *value;
          break;
        case Entry::Character:
          if (desc.CharacterFileCount < kMaxCharacterFiles) {
            desc.CharacterFiles[++desc.CharacterFileCount] = *value;
          } else {
            ignoredCharacterFiles++;
          }
          break;
      }
    }
  }
  if (ignoredCharacterFiles > 0) {
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
