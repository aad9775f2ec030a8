// The package check: a sound package gives nothing, a broken one every fault
// with its file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "config/description.h"
#include "config/package_check.h"
#include "config_test_files.h"
#include "sim/package.h"
#include "update/firmware_file.h"

namespace skyrelay {
namespace {

using testfiles::FirmwareFile;
using testfiles::TempDir;

// Where record k of a firmware file starts.
size_t RecordOffset(int k) {
  return static_cast<size_t>(FirstRecordOffset + BlockRecordSize * k);
}

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFileBytes(path, bytes)) << path;
  return bytes;
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// Problems that name this file and line and whose text contains part.
long Count(const std::vector<PackageProblem>& problems, const std::string& file, int line,
           const std::string& part) {
  return std::count_if(problems.begin(), problems.end(), [&](const PackageProblem& p) {
    return p.file == file && p.line == line && p.text.find(part) != std::string::npos;
  });
}

std::string Listing(const std::vector<PackageProblem>& problems) {
  std::string out;
  for (const PackageProblem& p : problems) {
    out += p.file + ":" + std::to_string(p.line) + ": " + p.text + "\n";
  }
  return out;
}

class PackageCheck : public ::testing::Test {
 protected:
  std::string File(const std::string& relative) const { return dir.Folder() + relative; }

  TempDir dir;
  const std::string description = sim::WriteSamplePackage(dir.Folder());
};

TEST_F(PackageCheck, SoundPackagesGiveNoProblem) {
  EXPECT_EQ(Listing(CheckPackage(description)), "");

  // The same package as written on Windows, every name in capitals.
  std::string upper = Read(description);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(Listing(CheckPackage(dir.Write("GROSS.TUP", upper))), "");

  // A description that names nothing is sound too.
  EXPECT_EQ(Listing(CheckPackage(dir.Write("leer.tup", "; nichts\r\n"))), "");
}

TEST_F(PackageCheck, DescriptionProblems) {
  const std::vector<PackageProblem> missing = CheckPackage(File("fehlt.tup"));
  ASSERT_EQ(missing.size(), 1u) << Listing(missing);
  EXPECT_EQ(missing[0].file, File("fehlt.tup"));
  EXPECT_EQ(missing[0].line, 0);

  std::string many = "DEUTSCH=texte\\deutsch.txt\r\n";
  for (int i = 0; i < 101; i++) many += "ZEICHEN=zeichen\\zeichen1.bin\r\n";
  const std::vector<PackageProblem> tooMany = CheckPackage(dir.Write("viele.tup", many));
  ASSERT_EQ(tooMany.size(), 1u) << Listing(tooMany);
  EXPECT_EQ(Count(tooMany, File("viele.tup"), 102, "Mehr als 100"), 1) << Listing(tooMany);
}

TEST_F(PackageCheck, EveryFirmwareFileIsChecked) {
  // The load stops at the first failing file; the check goes on to the other.
  std::filesystem::remove(File("firmware/zentrale.tup"));
  dir.Write("firmware/funk.tup",
            FirmwareFile(2, 1, 6, 12, 26, 497, "Fennikmoor 58400 Update File Version 1.01"));
  const std::vector<PackageProblem> problems = CheckPackage(description);
  EXPECT_EQ(problems.size(), 2u) << Listing(problems);
  EXPECT_EQ(Count(problems, File("firmware/zentrale.tup"), 0, "Updatefile nicht vorhanden!"), 1);
  EXPECT_EQ(Count(problems, File("firmware/funk.tup"), 0, "Falsches Fileformat!"), 1);
}

TEST_F(PackageCheck, BrokenPackageReportsEveryFault) {
  // Firmware: a wrong announced version and a file cut after 300 records; a
  // wrong block number in record 100 of the other.
  std::string tup = Read(description);
  Replace(tup, "ZENTRALEVERSION=2.1", "ZENTRALEVERSION=2.2");
  dir.Write("beispiel.tup", tup);
  std::string zentrale = Read(File("firmware/zentrale.tup"));
  zentrale.resize(RecordOffset(300) + 10);
  dir.Write("firmware/zentrale.tup", zentrale);
  std::string funk = Read(File("firmware/funk.tup"));
  funk[RecordOffset(100)] = 0;
  funk[RecordOffset(100) + 1] = 7;
  dir.Write("firmware/funk.tup", funk);

  // Languages: one missing, one with a line without ':' and a blank line.
  std::filesystem::remove(File("texte/english.txt"));
  std::string deutsch = Read(File("texte/deutsch.txt"));
  Replace(deutsch, "\r\n0B:", "\r\n0B ");        // line 12
  Replace(deutsch, "\r\n13: ", "\r\n\r\n13: ");  // a blank line 20
  dir.Write("texte/deutsch.txt", deutsch);

  // Turnouts: a short list, a symbol value above 255 at value 7.
  dir.Write("weichen/liste.bin", Read(File("weichen/liste.bin")).substr(0, 100));
  std::string symbols = Read(File("weichen/symbole.bin"));
  symbols[2 * 7 + 1] = 1;
  dir.Write("weichen/symbole.bin", symbols);

  // Characters: one missing, one of 5 bytes.
  std::filesystem::remove(File("zeichen/zeichen1.bin"));
  dir.Write("zeichen/zeichen2.bin", Read(File("zeichen/zeichen2.bin")).substr(0, 5));

  const std::vector<PackageProblem> problems = CheckPackage(description);
  const std::string list = Listing(problems);
  EXPECT_EQ(problems.size(), 10u) << list;

  const std::string z = File("firmware/zentrale.tup");
  EXPECT_EQ(
      Count(problems, z, 0, "Falsche Version! Die Datei trägt Version 2.1, angekündigt ist 2.2"), 1)
      << list;
  EXPECT_EQ(Count(problems, z, 0, "nur 300 von 497 Blöcken"), 1) << list;
  EXPECT_EQ(Count(problems, File("firmware/funk.tup"), 101, "Blocknummer 7 (erwartet 100)"), 1)
      << list;

  const std::string de = File("texte/deutsch.txt");
  EXPECT_EQ(Count(problems, File("texte/english.txt"), 0, "Datei nicht gefunden"), 1) << list;
  EXPECT_EQ(Count(problems, de, 12, "falsches Format (drittes Zeichen ist kein ':')"), 1)
      << list;
  EXPECT_EQ(Count(problems, de, 12, "endet hier"), 1) << list;
  EXPECT_EQ(Count(problems, de, 20, "falsches Format"), 1) << list;
  EXPECT_EQ(Count(problems, de, 20, "endet hier"), 0) << list;

  EXPECT_EQ(Count(problems, File("weichen/liste.bin"), 0, "Datei zu kurz: 100 statt 512 Bytes"), 1)
      << list;
  EXPECT_EQ(Count(problems, File("weichen/symbole.bin"), 0,
                  "enthält Werte über 255 (erste an Position 7)"),
            1)
      << list;

  EXPECT_EQ(Count(problems, File("zeichen/zeichen1.bin"), 0, "Datei nicht gefunden"), 1) << list;
  EXPECT_EQ(Count(problems, File("zeichen/zeichen2.bin"), 0, "Datei zu kurz: 5 statt 10 Bytes"), 1)
      << list;
}

}  // namespace
}  // namespace skyrelay
