// Reading an update package: only regular files within the size of their kind
// are read; everything else is refused at once, with the file's name, by the
// load, the transfer and the check alike.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/transfer.h"
#include "config_test_files.h"
#include "package/data_files.h"
#include "package/description.h"
#include "package/display_code.h"
#include "package/firmware_file.h"
#include "package/package_check.h"
#include "package/package_file.h"
#include "sim/package.h"
#include "support.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;

enum class Kind { Fifo, Folder, Device, OverLimit, LongName };

struct PackageWorld : test::SimWorld {
  testfiles::TempDir dir;
  const std::string description = sim::WriteSamplePackage(dir.Folder());
  PackageWorld() {
    BuildDisplayCodeTable(ctx);
    alarm(20);  // a read that blocks ends the test run instead of hanging it
  }
  ~PackageWorld() { alarm(0); }

  // Puts something that is not a usable file where `relative` was.
  std::string Spoil(const std::string& relative, Kind kind, size_t limit) {
    const std::string path = dir.Folder() + relative;
    fs::remove(path);
    switch (kind) {
      case Kind::Fifo:
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        break;
      case Kind::Folder:
        fs::create_directory(path);
        break;
      case Kind::Device:
        fs::create_symlink("/dev/zero", path);
        break;
      case Kind::OverLimit:
        dir.Write(relative, std::string(limit + 1, '0'));
        break;
      case Kind::LongName:
        return path + std::string(300, 'x');
    }
    return path;
  }
  std::string Messages() const {
    std::string out;
    for (const auto& m : host.messages) out += m.title + "|" + m.text + "\n";
    return out;
  }
  std::string CheckListing(const std::string& path) {
    std::string out;
    for (const PackageProblem& p : CheckPackage(path)) out += p.file + ": " + p.text + "\n";
    return out;
  }
};

std::string Refusal(Kind kind, size_t limit) {
  switch (kind) {
    case Kind::Fifo:
      return "keine Datei, sondern eine FIFO";
    case Kind::Folder:
      return "keine Datei, sondern ein Ordner";
    case Kind::Device:
      return "keine Datei, sondern ein Gerät";
    case Kind::OverLimit:
      return "Datei zu groß: " + std::to_string(limit + 1) + " Bytes, höchstens " +
             std::to_string(limit) + " Bytes sind erlaubt";
    case Kind::LongName:
      return "Dateiname zu lang";
  }
  return "";
}

// Each named data file in each unusable form: the check names it, the transfer
// refuses it before any of its bytes go out (a language file is skipped, a
// turnout or character file ends the transfer with 99).
TEST(PackageReads, UnusableDataFilesAreRefusedAtOnce) {
  const struct {
    const char* key;
    const char* file;
    size_t limit;
    int flag;
  } files[] = {
      {"DEUTSCH=", "texte/deutsch.txt", LanguageFileLimit, 0},
      {"WEICHENSYMBOLE=", "weichen/symbole.bin", TurnoutSymbolFileSize, 99},
      {"WEICHENZUORDNUNG=", "weichen/zuordnung.bin", TurnoutAssignmentFileSize, 99},
      {"WEICHENLISTE=", "weichen/liste.bin", TurnoutListFileSize, 99},
      {"ZEICHEN=", "zeichen/zeichen1.bin", CharacterFileSize, 99},
  };
  for (const auto& f : files) {
    for (Kind kind : {Kind::Fifo, Kind::Folder, Kind::Device, Kind::OverLimit, Kind::LongName}) {
      PackageWorld w;
      const std::string path = w.Spoil(f.file, kind, f.limit);
      const std::string refusal = Refusal(kind, f.limit);
      std::string description = "FUNK=firmware/funk.tup\r\nFUNKVERSION=2.1\r\n";
      description += std::string(f.key) + path.substr(w.dir.Folder().size()) + "\r\n";
      const std::string tup = w.dir.Write("eins.tup", description);
      SCOPED_TRACE(std::string(f.file) + " " + refusal);

      EXPECT_EQ(w.CheckListing(tup), path + ": " + refusal + "\n");
      ParseUpdateDescription(w.ctx, tup);
      ASSERT_EQ(w.Messages(), "");
      const std::vector<uint8_t> flashBefore = w.sim.flash.memory;
      int flag = -1;
      TransferConfiguration(w.ctx, flag);
      EXPECT_EQ(flag, f.flag);
      EXPECT_EQ(w.Messages(), "Fehler!|" + path + "\r" + refusal + "!\n");
      if (f.flag != 0) {
        EXPECT_TRUE(w.sim.flash.memory == flashBefore) << "nothing written before the refusal";
      }
    }
  }
}

// The description itself, and a firmware file it names: the load shows one
// message and keeps nothing, so neither update nor check goes further.
TEST(PackageReads, UnusableDescriptionsAndFirmwareFilesEndTheLoad) {
  for (Kind kind : {Kind::Fifo, Kind::Folder, Kind::Device, Kind::OverLimit, Kind::LongName}) {
    PackageWorld w;
    const std::string path = w.Spoil("beispiel.tup", kind, DescriptionFileLimit);
    const std::string refusal = kind == Kind::LongName
                                    ? "Die Update-Datei kann nicht geöffnet werden"
                                    : Refusal(kind, DescriptionFileLimit);
    ParseUpdateDescription(w.ctx, path);
    EXPECT_EQ(w.Messages(), "Fehler!|" + path + "\r" + refusal + "!\n");
    EXPECT_EQ(w.ctx.desc.FunkFirmwarePath + w.ctx.desc.LanguageFiles[0], "");
    EXPECT_EQ(w.CheckListing(path), path + ": " + refusal + "\n");
  }
  for (Kind kind : {Kind::Fifo, Kind::Folder, Kind::Device, Kind::OverLimit}) {
    PackageWorld w;
    const std::string path = w.Spoil("firmware/zentrale.tup", kind, FirmwareFileSize);
    ParseUpdateDescription(w.ctx, w.description);
    EXPECT_EQ(w.Messages(), "Achtung!|" + path + "\r" + Refusal(kind, FirmwareFileSize) + "!\n");
    EXPECT_EQ(w.ctx.desc.ZentraleFirmwarePath, "firmware\\zentrale.tup") << "bare name kept";
  }
}

// Files that are no description: binary bytes, or text naming nothing known.
TEST(PackageReads, FilesThatAreNoDescriptionAreRefusedByName) {
  PackageWorld w;
  const std::string firmware = w.dir.Folder() + "firmware/funk.tup";
  const std::string cases[] = {
      firmware,
      w.dir.Write("nullen.tup", std::string(DescriptionFileLimit, '\0')),
      w.dir.Write("text.tup", "; nur eine Bemerkung\r\nFUNKVERSION=2.1\r\nDEUTCH=de.txt\r\n"),
      w.dir.Write("leer.tup", ""),
  };
  for (const std::string& path : cases) {
    w.host.messages.clear();
    ParseUpdateDescription(w.ctx, path);
    EXPECT_EQ(w.Messages(), "Fehler!|Keine Update-Datei: " + path + "\n");
    EXPECT_EQ(w.CheckListing(path), ": Keine Update-Datei: " + path + "\n");
  }
  // A description with one known entry is one.
  w.host.messages.clear();
  ParseUpdateDescription(w.ctx, w.dir.Write("eins.tup", "ZEICHEN=zeichen/zeichen1.bin\n"));
  EXPECT_EQ(w.Messages(), "");
  EXPECT_EQ(w.ctx.desc.CharacterFileCount, 1);
}

}  // namespace
}  // namespace skyrelay
