#include "package/package_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "core/context.h"
#include "core/host.h"
#include "core/text.h"
#include "package/data_files.h"
#include "package/description.h"
#include "package/display_code.h"
#include "package/firmware_file.h"
#include "package/language_file.h"
#include "package/numbers.h"
#include "package/package_file.h"
#include "core/text_codec.h"

namespace skyrelay {

namespace {

constexpr const char* kWrongFormat = "falsches Format (drittes Zeichen ist kein ':')";

// A port that is never open: the check must not reach any device.
class ClosedPort : public SerialPort {
 public:
  bool IsOpen() const override { return false; }
  bool Write(std::span<const uint8_t>) override { return false; }
  bool ClearToSend() override { return true; }
  bool SetPortName(const std::string&) override { return false; }
  bool SetLineSettings(const LineSettings&) override { return false; }
  bool SetDtrRts(bool, bool) override { return false; }
  bool Open() override { return false; }
  void Close() override {}
  bool SetBreak(bool) override { return false; }
  size_t BytesWaiting() override { return 0; }
  std::vector<uint8_t> Read(size_t) override { return {}; }
  void DiscardOutput() override {}
  std::string LastError() const override { return "Bei der Paketprüfung gibt es keinen Anschluss"; }
};

// Records what the load shows instead of showing it; every question is answered No.
class RecordingHost : public Host {
 public:
  double Now() override { return 0; }
  void Yield() override {}
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  Answer Message(const std::string& text, const std::string&, Icon, Buttons buttons) override {
    messages.push_back(text);
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  }
  SerialPort& Port() override { return port_; }

  std::vector<std::string> messages;
  std::vector<std::string> statuses;

 private:
  ClosedPort port_;
};

// A message text "path\rtext" as the file and the text; a text without a path
// belongs to fallbackFile.
PackageProblem ProblemFromMessage(const std::string& message, const std::string& fallbackFile) {
  const size_t cr = message.find('\r');
  if (cr == std::string::npos) return {fallbackFile, 0, message};
  return {message.substr(0, cr), 0, message.substr(cr + 1)};
}

class PackageChecker {
 public:
  explicit PackageChecker(const std::string& descriptionPath) : descriptionPath_(descriptionPath) {}

  std::vector<PackageProblem> Run() {
    std::string bytes;
    if (const FileProblem problem =
            ReadPackageFile(descriptionPath_, DescriptionFileLimit, bytes)) {
      return {{descriptionPath_, 0,
               problem.failure == FileFailure::Missing || problem.failure == FileFailure::Unreadable
                   ? "Die Update-Datei kann nicht geöffnet werden"
                   : problem.text}};
    }
    scan_ = ScanDescription(bytes);
    if (!scan_.isText || !scan_.NamesSomething()) {
      return {{"", 0, "Keine Update-Datei: " + descriptionPath_}};
    }
    BuildDisplayCodeTable(ctx_);
    ParseUpdateDescription(ctx_, descriptionPath_);
    loadMessages_ = host_.messages;
    host_.messages.clear();
    for (const std::string& status : host_.statuses) {
      problems_.push_back({descriptionPath_, scan_.firstIgnoredCharacterLine, status});
    }
    WarnAboutText(descriptionPath_, bytes);
    for (const UnknownKey& unknown : scan_.unknownKeys) {
      std::string text = "unbekannter Schlüssel " + unknown.key;
      text += unknown.nearest.empty() ? ", die Zeile wird nicht gelesen"
                                      : " – meinten Sie " + unknown.nearest + "?";
      Warn(descriptionPath_, unknown.line, text);
    }
    SortByLine(0);

    // The load sees the firmware files in this order and stops at the first
    // that fails; the files it did not reach are checked here the same way.
    CheckFirmware(scan_.ZentraleFirmwarePath, scan_.ZentraleVersion, "ZENTRALEVERSION=");
    CheckFirmware(scan_.FunkFirmwarePath, scan_.FunkVersion, "FUNKVERSION=");
    for (size_t i = nextLoadMessage_; i < loadMessages_.size(); i++) {
      problems_.push_back(ProblemFromMessage(loadMessages_[i], descriptionPath_));
    }

    const Description& desc = ctx_.desc;
    for (const std::string& name : desc.LanguageFiles) {
      if (!name.empty()) CheckLanguageFile(name);
    }
    CheckTurnoutFile(desc.TurnoutSymbolFile, TurnoutSymbolFileSize, TurnoutSymbolFileSize / 2);
    // The assignment's last value is not transferred.
    CheckTurnoutFile(desc.TurnoutAssignmentFile, TurnoutAssignmentFileSize,
                     TurnoutAssignmentFileSize / 2 - 1);
    CheckTurnoutFile(desc.TurnoutListFile, TurnoutListFileSize, TurnoutListFileSize / 2);
    for (int i = 1; i <= desc.CharacterFileCount; i++) CheckCharacterFile(desc.CharacterFiles[i]);
    return problems_;
  }

 private:
  // A firmware file, named as the description writes it.
  void CheckFirmware(const std::string& name, const std::optional<std::string>& announcedText,
                     const char* versionKey) {
    if (name.empty()) return;
    const std::string path = DescribedFilePath(ctx_, name);
    const std::optional<double> announced =
        announcedText ? std::optional<double>(ReadLeadingNumber(*announcedText)) : std::nullopt;

    // The header check the load runs, with its messages.
    std::string versionText;
    std::string dateText;
    int error = 0;
    CheckUpdateFile(ctx_, path, versionText, dateText, error);
    std::vector<std::string> messages = host_.messages;
    host_.messages.clear();
    const bool versionDiffers =
        error == 0 && ReadLeadingNumber(versionText) != announced.value_or(0.0);
    if (versionDiffers) {
      messages.push_back("Falsche Version!");
    }
    if (!messages.empty()) {
      // The load reports the first failing file itself; its messages stand for ours.
      if (nextLoadMessage_ < loadMessages_.size()) {
        messages.assign(loadMessages_.begin() + static_cast<std::ptrdiff_t>(nextLoadMessage_),
                        loadMessages_.end());
        nextLoadMessage_ = loadMessages_.size();
      }
      for (const std::string& message : messages) {
        PackageProblem problem = ProblemFromMessage(message, path);
        if (versionDiffers && problem.text == "Falsche Version!") {
          problem.text +=
              " Die Datei trägt Version " + versionText + ", angekündigt ist " +
              (announcedText ? Trim(*announcedText, " ")
                             : std::string("keine (") + versionKey + " fehlt, zählt als 0)");
        }
        problems_.push_back(problem);
      }
    }
    if (error == 0) CheckFirmwareRecords(path);
  }

  // Every block record: its block number and whether it is there at all.
  void CheckFirmwareRecords(const std::string& path) {
    std::string bytes;
    if (const FileProblem problem = ReadPackageFile(path, FirmwareFileSize, bytes)) {
      problems_.push_back({path, 0, problem.text});
      return;
    }
    for (int k = 0; k < BlockRecordCount; k++) {
      const size_t at = static_cast<size_t>(FirstRecordOffset + BlockRecordSize * k);
      if (bytes.size() < at + BlockRecordSize) {
        problems_.push_back({path, 0,
                             "Datei zu kurz: nur " + std::to_string(k) + " von " +
                                 std::to_string(BlockRecordCount) + " Blöcken vollständig"});
        return;
      }
      const int number =
          static_cast<uint8_t>(bytes[at]) * 256 + static_cast<uint8_t>(bytes[at + 1]);
      if (number != k) {
        problems_.push_back({path, k + 1,
                             "falsche Blocknummer " + std::to_string(number) + " (erwartet " +
                                 std::to_string(k) + ")"});
      }
    }
  }

  // The texts as the transfer reads them (it stops at the first line whose third
  // character is not ':'; the lines after it are checked too), and what the
  // handheld would show of each.
  void CheckLanguageFile(const std::string& name) {
    const std::string path = DescribedFilePath(ctx_, name);
    std::string bytes;
    if (const FileProblem problem = ReadPackageFile(path, LanguageFileLimit, bytes)) {
      problems_.push_back({path, 0, problem.text});
      return;
    }
    const size_t first = problems_.size();
    WarnAboutText(path, bytes);
    const LanguageFile file = ParseLanguageFile(bytes);
    for (const LanguageText& text : file.texts) WarnAboutLanguageText(path, text);
    ReportLanguageFormat(path, bytes, file);
    SortByLine(first);
  }

  // The problems from `first` on, in the order of their lines.
  void SortByLine(size_t first) {
    std::stable_sort(
        problems_.begin() + static_cast<std::ptrdiff_t>(first), problems_.end(),
        [](const PackageProblem& a, const PackageProblem& b) { return a.line < b.line; });
  }

  void ReportLanguageFormat(const std::string& path, const std::string& bytes,
                            const LanguageFile& file) {
    if (file.wrongFormatLine == 0) return;
    problems_.push_back({path, file.wrongFormatLine,
                         std::string(kWrongFormat) + ", die Übertragung der Datei endet hier"});
    const std::vector<std::string> lines = SplitLines(DecodeTextFile(bytes));
    for (size_t i = static_cast<size_t>(file.wrongFormatLine); i < lines.size(); i++) {
      const size_t third = Utf8CharacterEnd(lines[i], Utf8CharacterEnd(lines[i], 0));
      if (lines[i].size() > third && lines[i][third] == ':') continue;
      problems_.push_back({path, static_cast<int>(i + 1), kWrongFormat});
    }
  }

  // Characters the display does not have, and texts it cuts.
  void WarnAboutLanguageText(const std::string& path, const LanguageText& text) {
    const std::vector<std::string> written =
        Utf8Characters(Utf8Prefix(text.written, MaxTextLength));
    const std::vector<std::string> shown = Utf8Characters(text.text);
    std::vector<std::string> missing;
    for (size_t i = 0; i < written.size() && i < shown.size(); i++) {
      if (shown[i] == " " || CharToDisplayCode(ctx_, shown[i]) != BlankDisplayCode) continue;
      const std::string code = CodePointName(written[i]);
      const std::string named = static_cast<uint8_t>(written[i][0]) < 0x20
                                    ? "Steuerzeichen " + code
                                    : "„" + written[i] + "“ (" + code + ")";
      if (std::find(missing.begin(), missing.end(), named) == missing.end()) {
        missing.push_back(named);
      }
    }
    if (!missing.empty()) {
      std::string list;
      for (const std::string& m : missing) list += (list.empty() ? "" : ", ") + m;
      Warn(path, text.line,
           (missing.size() == 1 ? "Zeichen " + list + " gibt es im Display nicht, es wird"
                                : "Zeichen " + list + " gibt es im Display nicht, sie werden") +
               " zum Leerzeichen: „" + text.text + "“");
    }
    const size_t length = Utf8Length(text.written);
    if (length > static_cast<size_t>(MaxTextLength)) {
      Warn(path, text.line,
           "Text hat " + std::to_string(length) + " Zeichen, das Display zeigt nur die ersten " +
               std::to_string(MaxTextLength) + ": „" + text.text + "“");
    }
  }

  // Encodings and line ends of a text file.
  void WarnAboutText(const std::string& path, const std::string& bytes) {
    for (const TextWarning& w : TextFileWarnings(bytes)) Warn(path, w.line, w.text);
  }

  void Warn(const std::string& path, int line, const std::string& text) {
    problems_.push_back({path, line, text, true});
  }

  // "U+00DF" for ß.
  static std::string CodePointName(const std::string& character) {
    uint32_t c = static_cast<uint8_t>(character[0]);
    if (character.size() > 1) {
      c &= 0x3Fu >> (character.size() - 1);
      for (size_t i = 1; i < character.size(); i++) c = (c << 6) | (character[i] & 0x3F);
    }
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
  }

  // A turnout file: its size, and values whose high byte is not 0 (the handheld
  // takes only the low byte). usedValues: how many values are transferred.
  void CheckTurnoutFile(const std::string& name, size_t size, size_t usedValues) {
    if (name.empty()) return;
    const std::string path = DescribedFilePath(ctx_, name);
    std::string bytes;
    if (const std::string problem = ReadDataFile(ctx_, path, size, bytes); !problem.empty()) {
      problems_.push_back({path, 0, problem});
      return;
    }
    for (size_t v = 0; v < usedValues; v++) {
      if (bytes[2 * v + 1] != 0) {
        problems_.push_back(
            {path, 0, "enthält Werte über 255 (erste an Position " + std::to_string(v) + ")"});
        return;
      }
    }
  }

  void CheckCharacterFile(const std::string& name) {
    const std::string path = DescribedFilePath(ctx_, name);
    std::string bytes;
    if (const std::string problem = ReadDataFile(ctx_, path, CharacterFileSize, bytes);
        !problem.empty()) {
      problems_.push_back({path, 0, problem});
    }
  }

  std::string descriptionPath_;
  RecordingHost host_;
  Context ctx_{host_};
  DescriptionScan scan_;
  std::vector<std::string> loadMessages_;
  size_t nextLoadMessage_ = 0;
  std::vector<PackageProblem> problems_;
};

}  // namespace

std::vector<PackageProblem> CheckPackage(const std::string& descriptionPath) {
  return PackageChecker(descriptionPath).Run();
}

}  // namespace skyrelay
