#include "package/package_check.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "package/description.h"
#include "package/numbers.h"
#include "package/text_codec.h"
#include "config/turnouts.h"
#include "core/context.h"
#include "core/host.h"
#include "package/firmware_file.h"

namespace skyrelay {

namespace {

constexpr int kMaxCharacterFiles = 100;
constexpr const char* kNotFound = "Datei nicht gefunden";

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

// What the description says beyond what the load keeps: the firmware names as
// written (a successful load keeps them joined with the folder), the announced
// versions (held only while a load runs) and where the character list overflows.
struct DescriptionScan {
  std::string zentraleName;
  std::string funkName;
  std::optional<std::string> zentraleVersion;  // the value as written
  std::optional<std::string> funkVersion;
  int firstIgnoredCharacterLine = 0;  // the line of the 101st "ZEICHEN=" key; 0: none
};

// Keys are found in the upper-case copy of each line, as the load does; the
// value is the rest of the line as written. Upper-casing keeps every character
// in place, so the key's character position is the same in both.
DescriptionScan ScanDescription(const std::string& bytes) {
  DescriptionScan scan;
  int characterLines = 0;
  int lineNumber = 0;
  for (const std::string& line : SplitLines(DecodeTextFile(bytes))) {
    lineNumber++;
    const std::string upper = ToUpperText(line);
    auto valueAfter = [&](std::string_view key) -> std::optional<std::string> {
      const size_t at = upper.find(key);
      if (at == std::string::npos) return std::nullopt;
      const std::vector<std::string> characters = Utf8Characters(line);
      std::string value;
      for (size_t i = Utf8Characters(upper.substr(0, at)).size() + key.size();
           i < characters.size(); i++) {
        value += characters[i];
      }
      return value;
    };
    if (auto v = valueAfter("ZENTRALE=")) scan.zentraleName = *v;
    if (auto v = valueAfter("FUNK=")) scan.funkName = *v;
    if (auto v = valueAfter("ZENTRALEVERSION=")) scan.zentraleVersion = v;
    if (auto v = valueAfter("FUNKVERSION=")) scan.funkVersion = v;
    if (valueAfter("ZEICHEN=") && ++characterLines == kMaxCharacterFiles + 1) {
      scan.firstIgnoredCharacterLine = lineNumber;
    }
  }
  return scan;
}

// A message text "path\rtext" as the file and the text; a text without a path
// belongs to fallbackFile.
PackageProblem ProblemFromMessage(const std::string& message, const std::string& fallbackFile) {
  const size_t cr = message.find('\r');
  if (cr == std::string::npos) return {fallbackFile, 0, message};
  return {message.substr(0, cr), 0, message.substr(cr + 1)};
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

class PackageChecker {
 public:
  explicit PackageChecker(const std::string& descriptionPath) : descriptionPath_(descriptionPath) {}

  std::vector<PackageProblem> Run() {
    std::string bytes;
    if (!ReadFileBytes(descriptionPath_, bytes)) {
      return {{descriptionPath_, 0, "Die Update-Datei kann nicht geöffnet werden"}};
    }
    ParseUpdateDescription(ctx_, descriptionPath_);
    scan_ = ScanDescription(bytes);
    loadMessages_ = host_.messages;
    host_.messages.clear();
    for (const std::string& status : host_.statuses) {
      PackageProblem problem{descriptionPath_, 0, status};
      if (scan_.firstIgnoredCharacterLine > 0) problem.line = scan_.firstIgnoredCharacterLine;
      problems_.push_back(problem);
    }

    // The load sees the firmware files in this order and stops at the first
    // that fails; the files it did not reach are checked here the same way.
    CheckFirmware(scan_.zentraleName, scan_.zentraleVersion, "ZENTRALEVERSION=");
    CheckFirmware(scan_.funkName, scan_.funkVersion, "FUNKVERSION=");
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
              (announcedText ? Trimmed(*announcedText)
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
    if (!ReadFileBytes(path, bytes)) {
      problems_.push_back({path, 0, kNotFound});
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

  // Every line must have ':' as its third character; the transfer of the file
  // stops at the first line that does not. Long texts are cut, as designed.
  void CheckLanguageFile(const std::string& name) {
    const std::string path = DescribedFilePath(ctx_, name);
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
      problems_.push_back({path, 0, kNotFound});
      return;
    }
    bool first = true;
    int lineNumber = 0;
    for (const std::string& line : SplitLines(DecodeTextFile(bytes))) {
      lineNumber++;
      const std::vector<std::string> characters = Utf8Characters(line);
      if (characters.size() >= 3 && characters[2] == ":") continue;
      std::string text = "falsches Format (drittes Zeichen ist kein ':')";
      if (first) text += ", die Übertragung der Datei endet hier";
      first = false;
      problems_.push_back({path, lineNumber, text});
    }
  }

  // A turnout file: its size, and values whose high byte is not 0 (the handheld
  // takes only the low byte). usedValues: how many values are transferred.
  void CheckTurnoutFile(const std::string& name, size_t size, size_t usedValues) {
    if (name.empty()) return;
    const std::string path = DescribedFilePath(ctx_, name);
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
      problems_.push_back({path, 0, kNotFound});
      return;
    }
    if (bytes.size() < size) {
      problems_.push_back({path, 0, TooShort(bytes.size(), size)});
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
    if (!ReadFileBytes(path, bytes)) {
      problems_.push_back({path, 0, kNotFound});
    } else if (bytes.size() < CharacterFileSize) {
      problems_.push_back({path, 0, TooShort(bytes.size(), CharacterFileSize)});
    }
  }

  static std::string TooShort(size_t size, size_t needed) {
    return "Datei zu kurz: " + std::to_string(size) + " statt " + std::to_string(needed) + " Bytes";
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
