#include "run/backup.h"

#include "core/translate.h"
#include "run/rescue.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>

#include "device/flash.h"
#include "link/serial_setup.h"
#include "run/info.h"
#include "update/identify.h"

namespace skyrelay {

namespace {

bool IsDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsWord(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

// ARTICLE_vVERSION_YYYY-MM-DD_HHMMSS.hex, as BackupFileName gives it, perhaps
// with a number before ".hex" (_2, _3, ...). Fills article, version, date and
// time when the name is of that form; the article is the longest that fits.
bool ParseStem(std::string_view stem, BackupFileInfo& info) {
  constexpr size_t kWhen = 18;  // "_YYYY-MM-DD_HHMMSS"
  if (stem.size() <= kWhen) return false;
  const std::string_view when = stem.substr(stem.size() - kWhen);
  if (when[0] != '_' || !IsDigits(when.substr(1, 4)) || when[5] != '-' ||
      !IsDigits(when.substr(6, 2)) || when[8] != '-' || !IsDigits(when.substr(9, 2)) ||
      when[11] != '_' || !IsDigits(when.substr(12, 6))) {
    return false;
  }
  const std::string_view head = stem.substr(0, stem.size() - kWhen);
  for (size_t v = head.size(); v-- > 0;) {
    if (head[v] != '_' || v + 2 >= head.size() || (head[v + 1] != 'v' && head[v + 1] != 'V')) {
      continue;
    }
    if (!IsWord(head.substr(0, v))) continue;
    info.article = std::string(head.substr(0, v));
    info.version = std::string(head.substr(v + 2));
    info.date = std::string(when.substr(1, 10));
    info.time = std::string(when.substr(12, 2)) + ":" + std::string(when.substr(14, 2)) + ":" +
                std::string(when.substr(16, 2));
    return true;
  }
  return false;
}

void ReadBackupFileName(const std::string& name, BackupFileInfo& info) {
  if (name.size() < 4) return;
  std::string extension = name.substr(name.size() - 4);
  std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  if (extension != ".hex") return;
  const std::string_view stem = std::string_view(name).substr(0, name.size() - 4);
  if (ParseStem(stem, info)) return;
  const size_t number = stem.rfind('_');
  if (number != std::string_view::npos && IsDigits(stem.substr(number + 1))) {
    ParseStem(stem.substr(0, number), info);
  }
}

constexpr uint32_t kTurnoutSymbolSize = 32 * FlashPageSize;
constexpr uint32_t kAssignmentSize = 5 * FlashPageSize;
constexpr uint32_t kLanguageCount = 11;
constexpr uint32_t kCharacterSize = 32 * FlashPageSize;
// A read of the SPI buffer reaches this far behind its command bytes.
constexpr int kReadChunk = 128;
// A page that reads back wrong is written again, this often in all.
constexpr int kPageAttempts = 3;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", value);
  return text;
}

// The page `page` as the image has it: which bytes it covers, and their values.
struct PageContent {
  std::array<int, FlashPageSize> bytes{};
  std::array<bool, FlashPageSize> covered{};
  bool whole() const {
    return std::all_of(covered.begin(), covered.end(), [](bool c) { return c; });
  }
};

std::map<uint32_t, PageContent> Pages(const FlashImage& image) {
  std::map<uint32_t, PageContent> pages;
  for (const auto& [start, bytes] : image) {
    for (size_t i = 0; i < bytes.size(); i++) {
      const uint32_t address = start + static_cast<uint32_t>(i);
      PageContent& page = pages[address - address % FlashPageSize];
      page.bytes[address % FlashPageSize] = bytes[i];
      page.covered[address % FlashPageSize] = true;
    }
  }
  return pages;
}

// Reads the page and compares the bytes the image covers.
Result<bool> PageReadsBack(Handheld& handheld, uint32_t page, const PageContent& content) {
  for (uint32_t offset = 0; offset < FlashPageSize; offset += kReadChunk) {
    const Result<std::vector<int>> read = ReadFlash(handheld, page + offset, kReadChunk);
    if (!read) return read.error();
    for (int k = 0; k < kReadChunk; k++) {
      if (content.covered[offset + k] && read.value()[k] != content.bytes[offset + k]) return false;
    }
  }
  return true;
}

Done WritePage(Handheld& handheld, uint32_t page, const PageContent& content) {
  if (!content.whole()) {
    if (Done d = handheld.move_spibuf_to_buf1(page); !d) return d;
  }
  for (uint32_t offset = 0; offset < FlashPageSize; offset += kReadChunk) {
    // Each run of covered bytes of the chunk goes into buffer 1 at its offset.
    uint32_t from = offset;
    while (from < offset + kReadChunk) {
      if (!content.covered[from]) {
        from++;
        continue;
      }
      uint32_t to = from;
      while (to < offset + kReadChunk && content.covered[to]) to++;
      const std::span<const int> data(content.bytes.data() + from, to - from);
      const int lastWindow = static_cast<int>((4 + data.size()) / 20 * 20);
      if (Done d = WriteBuffer1(handheld, from, data, lastWindow); !d) return d;
      from = to;
    }
  }
  return handheld.write_buf1_to_flash(page);
}

}  // namespace

std::vector<FlashArea> UpdateBackupAreas(const Description& desc) {
  std::vector<FlashArea> areas;
  if (!desc.turnoutAssignmentFile.empty()) areas.push_back({AssignmentAreaBase, kAssignmentSize});
  if (!desc.turnoutSymbolFile.empty()) areas.push_back({SymbolAreaBase, kTurnoutSymbolSize});
  areas.push_back({SettingsBlockAddress, FlashPageSize});
  if (!desc.turnoutListFile.empty()) areas.push_back({TurnoutListPage, FlashPageSize});
  return areas;
}

std::vector<FlashArea> CommandBackupAreas(bool all) {
  std::vector<FlashArea> areas;
  areas.push_back({AssignmentAreaBase, kAssignmentSize});
  areas.push_back({SymbolAreaBase, kTurnoutSymbolSize});
  if (all) {
    areas.push_back({CharacterAreaBase, kCharacterSize});
    areas.push_back({LanguageTextBase, kLanguageCount * LanguageAreaSize});
  }
  areas.push_back({SettingsBlockAddress, FlashPageSize});
  areas.push_back({TurnoutListPage, FlashPageSize});
  return areas;
}

std::string FlashAreaName(uint32_t address) {
  const auto in = [address](uint32_t base, uint32_t size) {
    return address >= base && address < base + size;
  };
  if (in(AssignmentAreaBase, kAssignmentSize)) return Tr("Backup", "Weichenzuordnung");
  if (in(SymbolAreaBase, kTurnoutSymbolSize)) return Tr("Backup", "Weichensymbole");
  if (in(CharacterAreaBase, kCharacterSize)) return Tr("Backup", "Zeichen");
  if (in(LanguageTextBase, kLanguageCount * LanguageAreaSize)) return Tr("Backup", "Sprachtexte");
  if (in(SettingsBlockAddress, FlashPageSize)) return Tr("Backup", "Einstellungen");
  if (in(TurnoutListPage, FlashPageSize)) return Tr("Backup", "Weichenliste");
  return "Flash";
}

FlashAreaKind FlashAreaOf(uint32_t address) {
  const auto in = [address](uint32_t base, uint32_t size) {
    return address >= base && address < base + size;
  };
  if (in(AssignmentAreaBase, kAssignmentSize)) return FlashAreaKind::TurnoutAssignment;
  if (in(SymbolAreaBase, kTurnoutSymbolSize)) return FlashAreaKind::TurnoutSymbols;
  if (in(CharacterAreaBase, kCharacterSize)) return FlashAreaKind::Characters;
  if (in(LanguageTextBase, kLanguageCount * LanguageAreaSize)) return FlashAreaKind::LanguageTexts;
  if (in(SettingsBlockAddress, FlashPageSize)) return FlashAreaKind::Settings;
  if (in(TurnoutListPage, FlashPageSize)) return FlashAreaKind::TurnoutList;
  return FlashAreaKind::Other;
}

std::string BackupFileName(const HandheldIdentity& identity, std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H%M%S", &local);
  const std::string article =
      identity.articleNumber.empty() ? "handregler" : identity.articleNumber;
  const std::string version = identity.version.empty() ? "unbekannt" : identity.version;
  return article + "_v" + version + "_" + stamp + ".hex";
}

int BackupPages(const std::vector<FlashArea>& areas) {
  uint32_t pages = 0;
  for (const FlashArea& area : areas) pages += (area.size + FlashPageSize - 1) / FlashPageSize;
  return static_cast<int>(pages);
}

std::string FreeBackupPath(const std::string& folder, const HandheldIdentity& identity,
                           std::time_t when) {
  const std::filesystem::path first =
      std::filesystem::path(folder) / BackupFileName(identity, when);
  std::filesystem::path path = first;
  // A second backup within the same second gets a number of its own.
  for (int n = 2; std::filesystem::exists(path); n++) {
    path = first;
    path.replace_filename(first.stem().string() + "_" + std::to_string(n) + ".hex");
  }
  return path.string();
}

BackupResult SaveBackup(Host& host, Handheld& handheld, const std::vector<FlashArea>& areas,
                        const std::string& path) {
  BackupResult r;
  r.path = path;
  const double started = host.Now();
  FlashImage image;
  host.SetStatus(StatusLine{StatusKind::BackupReading, 0});
  const int pages = BackupPages(areas);
  int pagesRead = 0;
  host.Progress(ProgressStage::Backup, 0, pages);
  for (const FlashArea& area : areas) {
    std::vector<uint8_t>& bytes = image[area.address];
    for (uint32_t offset = 0; offset < area.size; offset += kReadChunk) {
      if (offset > 0 && offset % FlashPageSize == 0) {
        host.Progress(ProgressStage::Backup, ++pagesRead, pages);
      }
      const Result<std::vector<int>> read = ReadFlash(handheld, area.address + offset, kReadChunk);
      if (!read) {
        r.end = BackupEnd::ReadFailed;
        r.error = read.error();
        r.seconds = host.Now() - started;
        return r;
      }
      for (int b : read.value()) bytes.push_back(static_cast<uint8_t>(b));
    }
    host.Progress(ProgressStage::Backup, ++pagesRead, pages);
  }
  r.bytes = ImageSize(image);
  std::error_code error;
  const std::filesystem::path file(path);
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << WriteIntelHex(image);
  out.close();
  if (!out) {
    r.end = BackupEnd::SaveFailed;
    r.saveProblem =
        error ? error.message() : Tr("Backup", "Die Datei kann nicht geschrieben werden.");
  } else {
    r.end = BackupEnd::Saved;
  }
  r.seconds = host.Now() - started;
  return r;
}

BackupResult BackupBeforeConfiguration(Context& ctx, const HandheldIdentity& identity) {
  // A handheld that does not answer after the firmware is woken first; one that
  // stays silent is left to the configuration, which ends before writing.
  if (!ctx.handheld.read_info_block()) {
    if (!ctx.handheld.send_pm01(false) || !ctx.handheld.read_info_block()) {
      BackupResult skipped;
      skipped.end = BackupEnd::Skipped;
      return skipped;
    }
  }
  const std::string path = FreeBackupPath(ctx.dataFolder, identity, std::time(nullptr));
  BackupResult r = SaveBackup(ctx.host, ctx.handheld, UpdateBackupAreas(ctx.desc), path);
  if (r.end == BackupEnd::Saved) {
    ctx.host.SetStatus(StatusLine{StatusKind::BackupSaved, 0, r.path});
    // After an interruption the next start names the backup to restore.
    NoteBackupInRescueNote(ctx, r.path);
  } else {
    const std::string why = r.end == BackupEnd::ReadFailed
                                ? Tr("Backup", "Der Handregler antwortet nicht.")
                                : r.saveProblem;
    ctx.host.Message(Notice{NoticeKind::BackupFailed, {r.path, why}});
    ctx.host.SetStatus(StatusLine{StatusKind::Error});
  }
  return r;
}

BackupCommandResult BackupCommand(Context& ctx, const std::string& path, bool all,
                                  const std::string& settingsHint) {
  BackupCommandResult result;
  const DeviceInfo info = ReadDeviceInfo(ctx, settingsHint);
  // ReadDeviceInfo closes the port behind it; the backup opens it again.
  result.portFailure = info.portFailure;
  result.cancelled = info.cancelled;
  result.handheldAnswered = info.handheldAnswered;
  result.identity = info.handheld.identity;
  if (info.portFailure || info.cancelled || !info.handheldAnswered) return result;
  try {
    result.portFailure = OpenPortRecorded(ctx);
    if (!result.portFailure) {
      // The display tells the time taken and, once the pace is known, the time left.
      const std::vector<FlashArea> areas = CommandBackupAreas(all);
      ProgressPlan plan;
      plan[ProgressStage::Backup] = BackupPages(areas);
      ctx.host.progress.Start(plan, ctx.host.Now());
      struct EndProgress {
        Host& host;
        ~EndProgress() { host.progress = ProgressTracker{}; }
      } endProgress{ctx.host};
      result.backup = SaveBackup(ctx.host, ctx.handheld, areas, path);
    }
  } catch (const RunCancelled&) {
    result.cancelled = true;
  } catch (const LinkLostError&) {
    ctx.host.Message(LinkLost(ctx.link, ctx.settings));
    result.backup.end = BackupEnd::ReadFailed;
  }
  if (ctx.host.Port().IsOpen()) ctx.host.Port().Close();
  return result;
}

BackupFileInfo ReadBackupFile(const std::string& path) {
  BackupFileInfo info;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    info.problem = Tr("Backup", "Die Datei kann nicht gelesen werden.");
    return info;
  }
  std::ostringstream text;
  text << in.rdbuf();
  IntelHexRead read = ReadIntelHex(text.str());
  if (!read.problem.empty()) {
    info.problem = Fill(Tr("Backup", "Keine Sicherung im Intel-HEX-Format (%1)."), {read.problem});
    return info;
  }
  if (read.image.empty()) {
    info.problem = Tr("Backup", "Die Sicherung enthält keine Daten.");
    return info;
  }
  info.image = std::move(read.image);
  ReadBackupFileName(std::filesystem::path(path).filename().string(), info);
  for (const auto& [address, bytes] : info.image) {
    info.lines.push_back(Fill(
        Tr("Backup", "%1: %2 bis %3 (%4 Bytes)"),
        {FlashAreaName(address), Hex(address),
         Hex(address + static_cast<uint32_t>(bytes.size()) - 1), std::to_string(bytes.size())}));
  }
  return info;
}

void WriteBackupImage(Host& host, Handheld& handheld, const FlashImage& image, RestoreResult& r) {
  for (const auto& [page, content] : Pages(image)) {
    host.SetStatus(StatusLine{StatusKind::RestorePage, r.pagesWritten});
    bool right = false;
    for (int attempt = 0; attempt < kPageAttempts && !right; attempt++) {
      if (Done d = WritePage(handheld, page, content); !d) {
        r.end = RestoreEnd::Failed;
        r.error = d.error();
        return;
      }
      const Result<bool> read = PageReadsBack(handheld, page, content);
      if (!read) {
        r.end = RestoreEnd::Failed;
        r.error = read.error();
        return;
      }
      right = read.value();
    }
    r.pagesWritten++;
    if (!right) r.pagesWrong.push_back(page);
  }
  r.end = RestoreEnd::Done;
}

RestoreResult RestoreCommand(Context& ctx, const std::string& path,
                             const std::string& settingsHint) {
  RestoreResult r;
  r.file = ReadBackupFile(path);
  if (!r.file.problem.empty()) {
    r.end = RestoreEnd::FileUnusable;
    return r;
  }
  const DeviceInfo info = ReadDeviceInfo(ctx, settingsHint);
  r.portFailure = info.portFailure;
  r.cancelled = info.cancelled;
  r.identity = info.handheld.identity;
  if (info.portFailure || info.cancelled) {
    r.end = RestoreEnd::PortFailed;
    return r;
  }
  if (!info.handheldAnswered) {
    r.end = RestoreEnd::NoHandheld;
    return r;
  }
  std::vector<std::string> lines;
  const std::string from = r.file.article.empty()
                               ? Tr("Backup", "Sicherung unbekannter Herkunft")
                               : Fill(Tr("Backup",
                                         "Sicherung von Handregler %1 (Version %2) vom "
                                         "%3 %4"),
                                      {r.file.article, r.file.version, r.file.date, r.file.time});
  lines.push_back(from);
  lines.insert(lines.end(), r.file.lines.begin(), r.file.lines.end());
  lines.push_back(Fill(Tr("Backup", "Angeschlossen: Handregler %1, Version %2"),
                       {r.identity.articleNumber, r.identity.versionText}));
  if (ctx.host.Message(Notice{NoticeKind::RestoreQuestion, lines}) != Answer::Yes) {
    r.end = RestoreEnd::Declined;
    return r;
  }
  try {
    if ((r.portFailure = OpenPortRecorded(ctx))) {
      r.end = RestoreEnd::PortFailed;
    } else {
      WriteBackupImage(ctx.host, ctx.handheld, r.file.image, r);
    }
  } catch (const RunCancelled&) {
    r.cancelled = true;
    r.end = RestoreEnd::Failed;
  } catch (const LinkLostError&) {
    ctx.host.Message(LinkLost(ctx.link, ctx.settings));
    r.end = RestoreEnd::Failed;
  }
  if (ctx.host.Port().IsOpen()) ctx.host.Port().Close();
  return r;
}

}  // namespace skyrelay
