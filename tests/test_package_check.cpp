// Reading and checking an update package. Only regular files within the size of
// their kind are read; anything else is refused at once, with the file's name, by
// the load, the transfer and the check alike. The check finds every fault and
// everything the handheld would show differently, with file and line; a sound
// package gives nothing, and loading keeps accepting packages with warnings.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "config/transfer.h"
#include "config_test_files.h"
#include "package/data_files.h"
#include "package/description.h"
#include "package/firmware_file.h"
#include "package/intel_hex.h"
#include "package/package_check.h"
#include "package/package_file.h"
#include "run/commands.h"
#include "sim/package.h"
#include "support.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;
using Problems = std::vector<PackageProblem>;
using K = ProblemKind;

// The check's listing, files named below `folder`; problems that are no
// warnings are marked FEHLER.
std::string Listing(const std::string& path, const std::string& folder) {
  std::string out;
  for (const PackageProblem& p : CheckPackage(path)) {
    const std::string file = p.file.rfind(folder, 0) == 0 ? p.file.substr(folder.size()) : p.file;
    out +=
        file + ":" + std::to_string(p.line) + ": " + (p.warning ? "" : "FEHLER ") + p.text + "\n";
  }
  return out;
}

struct PackageCheck : ::testing::Test {
  std::string Read(const std::string& relative) const {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(dir.Folder() + relative, bytes)) << relative;
    return bytes;
  }
  // Rewrites a file of the package with `from` replaced by `to`.
  void Edit(const std::string& relative, const std::string& from, const std::string& to) {
    std::string text = Read(relative);
    ASSERT_NE(text.find(from), std::string::npos) << from;
    dir.Write(relative, text.replace(text.find(from), from.size(), to));
  }
  std::string Listing(const std::string& path) const {
    return skyrelay::Listing(path, dir.Folder());
  }
  testfiles::TempDir dir;
  const std::string description = sim::WriteSamplePackage(dir.Folder());
  const std::string sample = Read("beispiel.tup");
};

TEST_F(PackageCheck, SoundPackagesGiveNothing) {
  EXPECT_EQ(Listing(description), "");
  // Made on Windows: names in capitals with backslashes, CR LF, Windows-1252
  // umlauts, a remark with '=' after other text, a word too long to be a key.
  std::string upper = sample + "; Stand: Version=2\r\n" + std::string(41, 'x') + "=1\r\n";
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  dir.Write("texte/deutsch.txt", "00: Grün\r\n01: Zurück\r\n02:\r\n1f: ÄÖÜ äöü +-.:/=_?<>^|]\r\n");
  dir.Write("texte/english.txt",
            "00: Gr\xFCn\r\n01: Zur\xFC"
            "ck\r\n02: \xC4\xD6\xDC\r\n");
  EXPECT_EQ(Listing(dir.Write("WINDOWS.TUP", upper)), "");
  // UTF-8 with a byte-order mark and LF line ends.
  dir.Write("texte/deutsch.txt",
            "\xEF\xBB\xBF"
            "00: Grün\n01: Zurück\n");
  EXPECT_EQ(Listing(description), "");
  EXPECT_EQ(Listing(dir.Folder() + "fehlt.tup"),
            "fehlt.tup:0: FEHLER Die Update-Datei kann nicht geöffnet werden\n");
}

TEST_F(PackageCheck, EachWarningWithFileAndLine) {
  std::string many;
  for (int i = 0; i < 99; i++) many += "ZEICHEN=zeichen\\zeichen1.bin\r\n";
  const struct {
    std::string descriptionLines;  // added to the description
    const char* german;            // the German text file
    const char* expected;
  } rows[] = {
      {"DEUTCH=texte\\deutsch.txt\r\nFUNC=x\r\n", "00: A\r\n",
       "beispiel.tup:13: unbekannter Schlüssel DEUTCH= – meinten Sie DEUTSCH=?\n"
       "beispiel.tup:14: unbekannter Schlüssel FUNC= – meinten Sie FUNK=?\n"},
      {"  Weichenlist = weichen\\liste.bin\r\nSONSTWAS=1\r\n", "00: A\r\n",
       "beispiel.tup:13: unbekannter Schlüssel WEICHENLIST = – meinten Sie WEICHENLISTE=?\n"
       "beispiel.tup:14: unbekannter Schlüssel SONSTWAS=, die Zeile wird nicht gelesen\n"},
      {"DEUTCH=x\r\n" + many, "00: A\r\n",
       "beispiel.tup:13: unbekannter Schlüssel DEUTCH= – meinten Sie DEUTSCH=?\n"
       "beispiel.tup:112: FEHLER Mehr als 100 Zeichendateien: weitere ignoriert\n"},
      {"; gr\xC3\xBCn\r\n", "00: A\r\n",  // the description is Windows-1252
       "beispiel.tup:1: hier steht ein Byte, das kein UTF-8 ist (Windows-1252)\n"
       "beispiel.tup:13: gemischte Kodierung: UTF-8 („ü“) und Windows-1252 in einer Datei; die "
       "ganze Datei wird als Windows-1252 gelesen, „ü“ wird zu „Ã¼“\n"},
      {"", "00: Ok\r\n01: Straße!\r\n02: 'été, (ja)\r\n",
       "texte/deutsch.txt:2: Zeichen „ß“ (U+00DF), „!“ (U+0021) gibt es im Display nicht, sie "
       "werden zum Leerzeichen: „STRAßE!“\n"
       "texte/deutsch.txt:3: Zeichen „'“ (U+0027), „é“ (U+00E9), „,“ (U+002C), „(“ (U+0028), „)“ "
       "(U+0029) gibt es im Display nicht, sie werden zum Leerzeichen: „'ÉTÉ, (JA)“\n"},
      {"", "00: Fahrstrasse Nummer 12 frei\r\n01: GENAU EINUNDZWANZIG Z\r\n",
       "texte/deutsch.txt:1: Text hat 26 Zeichen, das Display zeigt nur die ersten 21: "
       "„FAHRSTRASSE NUMMER 12“\n"},
      {"",
       "00: Gr\xC3\xBCn\r\n01: Zur\xFC"
       "ck\r\n",
       "texte/deutsch.txt:1: gemischte Kodierung: UTF-8 („ü“) und Windows-1252 in einer Datei; die "
       "ganze Datei wird als Windows-1252 gelesen, „ü“ wird zu „Ã¼“\n"
       "texte/deutsch.txt:1: Zeichen „Ã“ (U+00C3), „¼“ (U+00BC) gibt es im Display nicht, sie "
       "werden zum Leerzeichen: „GRÃ¼N“\n"
       "texte/deutsch.txt:2: hier steht ein Byte, das kein UTF-8 ist (Windows-1252)\n"},
      {"", "00: A\r\n01: B\x81\r\n",
       "texte/deutsch.txt:2: kaputte Kodierung: das Byte 0x81 ist weder in UTF-8 noch in "
       "Windows-1252 ein Zeichen, es wird zu „\xEF\xBF\xBD“\n"
       "texte/deutsch.txt:2: Zeichen „\xEF\xBF\xBD“ (U+FFFD) gibt es im Display nicht, es wird zum "
       "Leerzeichen: „B\xEF\xBF\xBD“\n"},
      {"", "00: A\r01: B\r02: C\r",
       "texte/deutsch.txt:1: Zeilenende nur mit CR (ohne LF): die folgenden Zeilen werden mit "
       "dieser zu einer Zeile\n"
       "texte/deutsch.txt:1: Zeichen Steuerzeichen U+000D gibt es im Display nicht, es wird zum "
       "Leerzeichen: „A\r01: B\r02: C“\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.expected);
    const std::string tup = dir.Write("beispiel.tup", sample + row.descriptionLines);
    dir.Write("texte/deutsch.txt", row.german);
    EXPECT_EQ(Listing(tup), row.expected);
    // Loading, as update and the desktop program do, takes the package as it is.
    EXPECT_EQ(ParseUpdateDescription(tup).problems, Problems{});
  }
}

TEST_F(PackageCheck, BrokenPackageReportsEveryFault) {
  const auto record = [](int k) {
    return static_cast<size_t>(FirstRecordOffset + BlockRecordSize * k);
  };
  Edit("beispiel.tup", "ZENTRALEVERSION=2.1", "ZENTRALEVERSION= 2.2 ");
  dir.Write("firmware/zentrale.tup", Read("firmware/zentrale.tup").substr(0, record(300) + 10));
  std::string funk = Read("firmware/funk.tup");
  funk[record(100)] = 0;
  funk[record(100) + 1] = 7;
  dir.Write("firmware/funk.tup", funk);
  fs::remove(dir.Folder() + "texte/english.txt");
  Edit("texte/deutsch.txt", "\r\n0B:", "\r\n0B ");              // line 12
  Edit("texte/deutsch.txt", "\r\n13: ", "\r\nkaputt\r\n13: ");  // line 20
  dir.Write("weichen/liste.bin", Read("weichen/liste.bin").substr(0, 100));
  std::string symbols = Read("weichen/symbole.bin");
  symbols[1] = 1;  // value 0 above 255
  dir.Write("weichen/symbole.bin", symbols);
  fs::remove(dir.Folder() + "zeichen/zeichen1.bin");
  dir.Write("zeichen/zeichen2.bin", Read("zeichen/zeichen2.bin").substr(0, 5));
  EXPECT_EQ(Listing(description),
            "firmware/zentrale.tup:0: FEHLER Falsche Version! Die Datei trägt Version 2.1, "
            "angekündigt ist 2.2\n"
            "firmware/zentrale.tup:0: FEHLER Datei zu kurz: nur 300 von 497 Blöcken vollständig\n"
            "firmware/funk.tup:101: FEHLER falsche Blocknummer 7 (erwartet 100)\n"
            "texte/deutsch.txt:12: FEHLER falsches Format (drittes Zeichen ist kein ':'), die "
            "Übertragung der Datei endet hier\n"
            "texte/deutsch.txt:20: FEHLER falsches Format (drittes Zeichen ist kein ':')\n"
            "texte/english.txt:0: FEHLER Datei nicht gefunden\n"
            "weichen/symbole.bin:0: FEHLER enthält Werte über 255 (erste an Position 0)\n"
            "weichen/liste.bin:0: FEHLER Datei zu kurz: 100 statt 512 Bytes\n"
            "zeichen/zeichen1.bin:0: FEHLER Datei nicht gefunden\n"
            "zeichen/zeichen2.bin:0: FEHLER Datei zu kurz: 5 statt 10 Bytes\n");
}

enum class Kind { Fifo, Folder, Device, OverLimit, LongName };

// The sample package, with one of its files spoilt.
struct SpoiltPackage {
  testfiles::TempDir dir;
  const std::string description = sim::WriteSamplePackage(dir.Folder());
  SpoiltPackage() { alarm(20); }  // a read that blocks ends the test run instead of hanging it
  ~SpoiltPackage() { alarm(0); }

  // Puts something that is not a usable file where `relative` was; returns its
  // path and what every reader says about it.
  std::pair<std::string, std::string> Spoil(const std::string& relative, Kind kind, size_t limit) {
    std::string path = dir.Folder() + relative;
    fs::remove(path);
    if (kind == Kind::Fifo && mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << path;
    if (kind == Kind::Folder) fs::create_directory(path);
    if (kind == Kind::Device) fs::create_symlink("/dev/zero", path);
    if (kind == Kind::OverLimit) dir.Write(relative, std::string(limit + 1, '0'));
    if (kind == Kind::LongName) path += std::string(300, 'x');
    const char* const refusals[] = {"keine Datei, sondern eine FIFO",
                                    "keine Datei, sondern ein Ordner",
                                    "keine Datei, sondern ein Gerät", "", "Dateiname zu lang"};
    if (kind != Kind::OverLimit) return {path, refusals[static_cast<int>(kind)]};
    return {path, "Datei zu groß: " + std::to_string(limit + 1) + " Bytes, höchstens " +
                      std::to_string(limit) + " Bytes sind erlaubt"};
  }
};

// Each named data file in each unusable form: the check names it, the transfer
// refuses it before any of its bytes go out (a language file is skipped, a
// turnout or character file ends the transfer with 99).
TEST(PackageReads, UnusableDataFilesAreRefusedAtOnce) {
  const struct {
    const char* key;
    const char* file;
    size_t limit;
    ConfigurationEnd end;
  } files[] = {
      {"DEUTSCH=", "texte/deutsch.txt", LanguageFileLimit, ConfigurationEnd::Done},
      {"WEICHENSYMBOLE=", "weichen/symbole.bin", TurnoutSymbolFileSize,
       ConfigurationEnd::FileUnusable},
      {"WEICHENZUORDNUNG=", "weichen/zuordnung.bin", TurnoutAssignmentFileSize,
       ConfigurationEnd::FileUnusable},
      {"WEICHENLISTE=", "weichen/liste.bin", TurnoutListFileSize, ConfigurationEnd::FileUnusable},
      {"ZEICHEN=", "zeichen/zeichen1.bin", CharacterFileSize, ConfigurationEnd::FileUnusable},
  };
  for (const auto& f : files) {
    for (Kind kind : {Kind::Fifo, Kind::Folder, Kind::Device, Kind::OverLimit, Kind::LongName}) {
      SpoiltPackage package;
      const auto [path, refusal] = package.Spoil(f.file, kind, f.limit);
      const std::string folder = package.dir.Folder();
      std::string description = "FUNK=firmware/funk.tup\r\nFUNKVERSION=2.1\r\n";
      description += std::string(f.key) + path.substr(folder.size()) + "\r\n";
      const std::string tup = package.dir.Write("eins.tup", description);
      SCOPED_TRACE(std::string(f.file) + " " + refusal);

      EXPECT_EQ(Listing(tup, folder), path.substr(folder.size()) + ":0: FEHLER " + refusal + "\n");
      test::SimWorld w;
      ASSERT_TRUE(LoadUpdateDescription(w.ctx, tup));
      const std::vector<uint8_t> flashBefore = w.sim.flash.memory;
      const ConfigurationResult result = TransferConfiguration(w.host, w.ctx.handheld, w.ctx.desc);
      EXPECT_EQ(result.end, f.end);
      EXPECT_EQ(result.shortfall, f.end == ConfigurationEnd::Done) << "a language is skipped";
      EXPECT_EQ(test::Shown(w.host),
                std::vector<std::string>{"Fehler!|" + path + "\r" + refusal + "!"});
      if (f.end != ConfigurationEnd::Done) {
        EXPECT_TRUE(w.sim.flash.memory == flashBefore) << "nothing written before the refusal";
      }
    }
  }
}

// The description itself, and a firmware file it names: the load ends with the
// one problem and keeps nothing, so neither update nor check goes further.
TEST(PackageReads, UnusableDescriptionsAndFirmwareFilesEndTheLoad) {
  for (Kind kind : {Kind::Fifo, Kind::Folder, Kind::Device, Kind::OverLimit, Kind::LongName}) {
    SpoiltPackage p;
    auto [path, refusal] = p.Spoil("beispiel.tup", kind, DescriptionFileLimit);
    const DescriptionLoad load = ParseUpdateDescription(path);
    if (kind == Kind::LongName) {
      EXPECT_EQ(load.problems, (Problems{{K::DescriptionUnreadable, path}}));
      refusal = "Die Update-Datei kann nicht geöffnet werden";
    } else {
      EXPECT_EQ(load.problems, (Problems{{K::DescriptionRefused, path, 0, refusal}}));
    }
    EXPECT_EQ(load.description.radioFirmwarePath + load.description.languageFiles[0], "");
    EXPECT_EQ(Listing(path, p.dir.Folder()),
              path.substr(p.dir.Folder().size()) + ":0: FEHLER " + refusal + "\n");
  }
  for (Kind kind : {Kind::Fifo, Kind::Folder, Kind::Device, Kind::OverLimit}) {
    SpoiltPackage p;
    const auto [path, refusal] = p.Spoil("firmware/zentrale.tup", kind, FirmwareFileSize);
    const DescriptionLoad load = ParseUpdateDescription(p.description);
    EXPECT_EQ(load.problems, (Problems{{K::FirmwareRefused, path, 0, refusal}}));
    EXPECT_EQ(load.description.digitalSetFirmwarePath, "firmware\\zentrale.tup")
        << "bare name kept";
    EXPECT_EQ(Listing(p.description, p.dir.Folder()),
              "firmware/zentrale.tup:0: FEHLER " + refusal + "!\n");
  }
  // Run from a script with standard input closed, a package file opens as descriptor 0.
  SpoiltPackage p;
  const int input = dup(0);
  close(0);
  const DescriptionLoad load = ParseUpdateDescription(p.description);
  dup2(input, 0);
  close(input);
  EXPECT_EQ(load.problems, Problems{});
  EXPECT_EQ(load.radioVersionCaption + "/" + load.digitalSetVersionCaption, "2,1/2,1");
}

// Files that are no description: binary bytes, or text naming nothing known.
TEST(PackageReads, FilesThatAreNoDescriptionAreRefusedByName) {
  SpoiltPackage p;
  const std::string cases[] = {
      p.dir.Folder() + "firmware/funk.tup",
      p.dir.Write("nullen.tup", std::string(DescriptionFileLimit, '\0')),
      p.dir.Write("text.tup", "; nur eine Bemerkung\r\nFUNKVERSION=2.1\r\nDEUTCH=de.txt\r\n"),
      p.dir.Write("leer.tup", ""),
      p.dir.Write("steuer.tup", std::string("DEUTSCH=de.txt\r\n\x01\x02", 18)),
  };
  for (const std::string& path : cases) {
    EXPECT_EQ(ParseUpdateDescription(path).problems, (Problems{{K::NotADescription, path}}));
    EXPECT_EQ(Listing(path, p.dir.Folder()), ":0: FEHLER Keine Update-Datei: " + path + "\n");
  }
  // A description with one known entry is one.
  const DescriptionLoad load =
      ParseUpdateDescription(p.dir.Write("eins.tup", "ZEICHEN=zeichen/zeichen1.bin\n"));
  EXPECT_EQ(load.problems, Problems{});
  EXPECT_EQ(load.description.characterFileCount, 1);
}

// A backup's Intel HEX file: bytes above 64 KiB, across a 64 KiB boundary and in
// odd lengths come back as they went in; a damaged line is refused with its number.
TEST(IntelHex, RoundTripAndDamagedLines) {
  const FlashImage image{{0xFFF8, std::vector<uint8_t>(20, 0xA5)},
                         {0x3F0801, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0xFF}}};
  const std::string text = WriteIntelHex(image);
  const IntelHexRead read = ReadIntelHex(text);
  EXPECT_EQ(read.problem, "");
  EXPECT_EQ(read.image, image);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
  ASSERT_EQ(lines.size(), 7u) << text;
  // Replaces the hex digits at `at` and gives the line its right checksum again.
  const auto change = [&](int n, size_t at, const std::string& digits, bool fixSum) {
    std::vector<std::string> copy = lines;
    std::string& line = copy[static_cast<size_t>(n - 1)];
    line.replace(at, digits.size(), digits);
    if (fixSum) {
      int sum = 0;
      for (size_t i = 1; i + 2 < line.size(); i += 2)
        sum += std::stoi(line.substr(i, 2), nullptr, 16);
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", -sum & 0xFF);
      line.replace(line.size() - 2, 2, hex);
    }
    std::string joined;
    for (const std::string& l : copy) joined += l + "\r\n";
    return joined;
  };
  const struct {
    std::string text, problem;
  } damaged[] = {
      {change(3, 9, "00", false), "Zeile 3: falsche Prüfsumme"},
      {change(5, 1, "11", false), "Zeile 5: falsche Satzlänge"},
      {change(6, 7, "02", true), "Zeile 6: unbekannter Satztyp 2"},
      {change(3, 10, "G", false), "Zeile 3: keine Hexadezimalziffer"},
      {text.substr(0, text.rfind(':')), "Zeile 6: der Dateiende-Satz fehlt"},
      {text + lines[2] + "\r\n", "Zeile 8: Daten nach dem Dateiende-Satz"},
  };
  for (const auto& d : damaged) {
    const IntelHexRead r = ReadIntelHex(d.text);
    EXPECT_EQ(r.problem, d.problem) << d.text;
    EXPECT_TRUE(r.image.empty());
  }
}

}  // namespace
}  // namespace skyrelay
