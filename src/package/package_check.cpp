#include "package/package_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "core/text.h"
#include "core/text_codec.h"
#include "core/translate.h"
#include "package/data_files.h"
#include "package/description.h"
#include "package/display_code.h"
#include "package/firmware_file.h"
#include "package/language_file.h"
#include "package/numbers.h"
#include "package/package_file.h"

namespace skyrelay {

namespace {

std::string WrongFormatText() {
  return Tr("Check", "falsches Format (drittes Zeichen ist kein ':')");
}

class PackageChecker {
 public:
  explicit PackageChecker(const std::string& descriptionPath) : descriptionPath_(descriptionPath) {}

  std::vector<PackageProblem> Run() {
    load_ = ParseUpdateDescription(descriptionPath_);
    for (PackageProblem& problem : load_.problems) {
      switch (problem.kind) {
        case ProblemKind::DescriptionUnreadable:
          problem.text = Tr("Check", "Die Update-Datei kann nicht geöffnet werden");
          return {problem};
        case ProblemKind::DescriptionRefused:
          problem.text = problem.detail;
          return {problem};
        case ProblemKind::NotADescription:
          problem.text = Fill(Tr("Check", "Keine Update-Datei: %1"), {problem.file});
          problem.file.clear();
          return {problem};
        default:  // a firmware file: checked below with the other
          break;
      }
    }
    std::string bytes;
    ReadPackageFile(descriptionPath_, DescriptionFileLimit, bytes);
    const DescriptionScan scan = ScanDescription(bytes);
    if (load_.extraCharacterFilesIgnored) {
      problems_.push_back({ProblemKind::TooManyCharacterFiles, descriptionPath_,
                           scan.firstIgnoredCharacterLine, "",
                           Tr("Status", "Mehr als 100 Zeichendateien: weitere ignoriert")});
    }
    WarnAboutText(descriptionPath_, bytes);
    for (const UnknownKey& unknown : scan.unknownKeys) {
      const std::string text =
          unknown.nearest.empty()
              ? Fill(Tr("Check", "unbekannter Schlüssel %1, die Zeile wird nicht gelesen"),
                     {unknown.key})
              : Fill(Tr("Check", "unbekannter Schlüssel %1 – meinten Sie %2?"),
                     {unknown.key, unknown.nearest});
      Warn(ProblemKind::UnknownKey, descriptionPath_, unknown.line, text);
    }
    SortByLine(0);

    // The load sees the firmware files in this order and stops at the first
    // that fails; the check looks at both.
    CheckFirmware(scan.digitalSetFirmwarePath, scan.digitalSetVersion, "ZENTRALEVERSION=");
    CheckFirmware(scan.radioFirmwarePath, scan.radioVersion, "FUNKVERSION=");

    const Description& desc = load_.description;
    for (const std::string& name : desc.languageFiles) {
      if (!name.empty()) CheckLanguageFile(name);
    }
    CheckTurnoutFile(desc.turnoutSymbolFile, TurnoutSymbolFileSize, TurnoutSymbolFileSize / 2);
    // The assignment's last value is not transferred.
    CheckTurnoutFile(desc.turnoutAssignmentFile, TurnoutAssignmentFileSize,
                     TurnoutAssignmentFileSize / 2 - 1);
    CheckTurnoutFile(desc.turnoutListFile, TurnoutListFileSize, TurnoutListFileSize / 2);
    for (int i = 1; i <= desc.characterFileCount; i++) CheckCharacterFile(desc.characterFiles[i]);
    return problems_;
  }

 private:
  // A firmware file, named as the description writes it: the check the load
  // runs, then every record unless the header is wrong.
  void CheckFirmware(const std::string& name, const std::optional<std::string>& announcedText,
                     const char* versionKey) {
    if (name.empty()) return;
    const std::optional<double> announced =
        announcedText ? std::optional<double>(ReadLeadingNumber(*announcedText)) : std::nullopt;
    std::optional<PackageProblem> problem =
        CheckDescribedFirmware(load_.description, name, announced);
    if (!problem) return CheckFirmwareRecords(DescribedFilePath(load_.description, name));
    switch (problem->kind) {
      case ProblemKind::FirmwareMissing:
        problem->text = Tr("Message", "Updatefile nicht vorhanden!");
        break;
      case ProblemKind::FirmwareRefused:
        problem->text = problem->detail + "!";
        break;
      case ProblemKind::FirmwareWrongFormat:
        problem->text = Tr("Message", "Falsches Fileformat!");
        break;
      default:  // FirmwareWrongVersion
        problem->text = Fill(
            Tr("Check", "Falsche Version! Die Datei trägt Version %1, angekündigt ist %2"),
            {problem->detail,
             announcedText ? Trim(*announcedText, " ")
                           : Fill(Tr("Check", "keine (%1 fehlt, zählt als 0)"), {versionKey})});
        break;
    }
    problems_.push_back(*problem);
    if (problem->kind == ProblemKind::FirmwareWrongVersion) CheckFirmwareRecords(problem->file);
  }

  // Every block record: its block number and whether it is there at all.
  void CheckFirmwareRecords(const std::string& path) {
    std::string bytes;
    if (const FileProblem problem = ReadPackageFile(path, FirmwareFileSize, bytes)) {
      return Fail(ProblemKind::FileUnusable, path, 0, problem.text);
    }
    for (int k = 0; k < BlockRecordCount; k++) {
      const size_t at = static_cast<size_t>(FirstRecordOffset + BlockRecordSize * k);
      if (bytes.size() < at + BlockRecordSize) {
        return Fail(ProblemKind::FirmwareTooShort, path, 0,
                    Fill(Tr("Check", "Datei zu kurz: nur %1 von %2 Blöcken vollständig"),
                         {std::to_string(k), std::to_string(BlockRecordCount)}));
      }
      const int number =
          static_cast<uint8_t>(bytes[at]) * 256 + static_cast<uint8_t>(bytes[at + 1]);
      if (number != k) {
        Fail(ProblemKind::WrongBlockNumber, path, k + 1,
             Fill(Tr("Check", "falsche Blocknummer %1 (erwartet %2)"),
                  {std::to_string(number), std::to_string(k)}));
      }
    }
  }

  // The texts as the transfer reads them (it stops at the first line whose third
  // character is not ':'; the lines after it are checked too), and what the
  // handheld would show of each.
  void CheckLanguageFile(const std::string& name) {
    const std::string path = DescribedFilePath(load_.description, name);
    std::string bytes;
    if (const FileProblem problem = ReadPackageFile(path, LanguageFileLimit, bytes)) {
      return Fail(ProblemKind::FileUnusable, path, 0, problem.text);
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
    Fail(ProblemKind::WrongLineFormat, path, file.wrongFormatLine,
         Fill(Tr("Check", "%1, die Übertragung der Datei endet hier"), {WrongFormatText()}));
    const std::vector<std::string> lines = SplitLines(DecodeTextFile(bytes));
    for (size_t i = static_cast<size_t>(file.wrongFormatLine); i < lines.size(); i++) {
      const size_t third = Utf8CharacterEnd(lines[i], Utf8CharacterEnd(lines[i], 0));
      if (lines[i].size() > third && lines[i][third] == ':') continue;
      Fail(ProblemKind::WrongLineFormat, path, static_cast<int>(i + 1), WrongFormatText());
    }
  }

  // Characters the display does not have, and texts it cuts.
  void WarnAboutLanguageText(const std::string& path, const LanguageText& text) {
    const std::vector<std::string> written =
        Utf8Characters(Utf8Prefix(text.written, MaxTextLength));
    const std::vector<std::string> shown = Utf8Characters(text.text);
    std::vector<std::string> missing;
    for (size_t i = 0; i < written.size() && i < shown.size(); i++) {
      if (shown[i] == " " || CharToDisplayCode(shown[i]) != BlankDisplayCode) continue;
      const std::string code = CodePointName(written[i]);
      const std::string named = static_cast<uint8_t>(written[i][0]) < 0x20
                                    ? Fill(Tr("Check", "Steuerzeichen %1"), {code})
                                    : "„" + written[i] + "“ (" + code + ")";
      if (std::find(missing.begin(), missing.end(), named) == missing.end()) {
        missing.push_back(named);
      }
    }
    if (!missing.empty()) {
      std::string list;
      for (const std::string& m : missing) list += (list.empty() ? "" : ", ") + m;
      Warn(ProblemKind::CharacterNotOnDisplay, path, text.line,
           Fill(missing.size() == 1 ? Tr("Check",
                                         "Zeichen %1 gibt es im Display nicht, es wird zum "
                                         "Leerzeichen: „%2“")
                                    : Tr("Check",
                                         "Zeichen %1 gibt es im Display nicht, sie werden zum "
                                         "Leerzeichen: „%2“"),
                {list, text.text}));
    }
    const size_t length = Utf8Length(text.written);
    if (length > static_cast<size_t>(MaxTextLength)) {
      Warn(ProblemKind::TextTooLong, path, text.line,
           Fill(Tr("Check", "Text hat %1 Zeichen, das Display zeigt nur die ersten %2: „%3“"),
                {std::to_string(length), std::to_string(MaxTextLength), text.text}));
    }
  }

  // Encodings and line ends of a text file.
  void WarnAboutText(const std::string& path, const std::string& bytes) {
    for (const TextWarning& w : TextFileWarnings(bytes)) {
      Warn(ProblemKind::TextEncoding, path, w.line, w.text);
    }
  }

  void Fail(ProblemKind kind, const std::string& path, int line, const std::string& text) {
    problems_.push_back({kind, path, line, "", text});
  }
  void Warn(ProblemKind kind, const std::string& path, int line, const std::string& text) {
    problems_.push_back({kind, path, line, "", text, true});
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
    const std::string path = DescribedFilePath(load_.description, name);
    std::string bytes;
    if (const std::string problem = ReadDataFile(load_.description.heldFiles, path, size, bytes);
        !problem.empty()) {
      return Fail(ProblemKind::FileUnusable, path, 0, problem);
    }
    for (size_t v = 0; v < usedValues; v++) {
      if (bytes[2 * v + 1] != 0) {
        return Fail(ProblemKind::ValuesOver255, path, 0,
                    Fill(Tr("Check", "enthält Werte über 255 (erste an Position %1)"),
                         {std::to_string(v)}));
      }
    }
  }

  void CheckCharacterFile(const std::string& name) {
    const std::string path = DescribedFilePath(load_.description, name);
    std::string bytes;
    if (const std::string problem =
            ReadDataFile(load_.description.heldFiles, path, CharacterFileSize, bytes);
        !problem.empty()) {
      Fail(ProblemKind::FileUnusable, path, 0, problem);
    }
  }

  std::string descriptionPath_;
  DescriptionLoad load_;
  std::vector<PackageProblem> problems_;
};

}  // namespace

std::vector<PackageProblem> CheckPackage(const std::string& descriptionPath) {
  return PackageChecker(descriptionPath).Run();
}

std::string ProblemLine(const PackageProblem& p) {
  std::string where = p.file;
  if (!where.empty() && p.line > 0) where += ":" + std::to_string(p.line);
  if (!where.empty()) where += ": ";
  return where + (p.warning ? Tr("Check", "Warnung: ") : "") + p.text;
}

}  // namespace skyrelay
