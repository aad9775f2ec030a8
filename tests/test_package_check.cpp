// The package check: a sound package gives nothing, a broken one every fault
// with its file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "config_test_files.h"
#include "package/description.h"
#include "package/firmware_file.h"
#include "package/package_check.h"
#include "sim/package.h"

namespace skyrelay {
namespace {

std::string Listing(const std::vector<PackageProblem>& problems) {
  std::string out;
  for (const PackageProblem& p : problems) {
    out += p.file + ":" + std::to_string(p.line) + ": " + p.text + "\n";
  }
  return out;
}

struct PackageCheck : ::testing::Test {
  std::string Read(const std::string& relative) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(dir.Folder() + relative, bytes)) << relative;
    return bytes;
  }
  // Rewrites a file of the package with `from` replaced by `to`.
  void Edit(const std::string& relative, const std::string& from, const std::string& to) {
    std::string text = Read(relative);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    dir.Write(relative, text.replace(at, from.size(), to));
  }
  testfiles::TempDir dir;
  const std::string description = sim::WriteSamplePackage(dir.Folder());
};

TEST_F(PackageCheck, SoundPackagesGiveNoProblem) {
  EXPECT_EQ(Listing(CheckPackage(description)), "");
  std::string upper = Read("beispiel.tup");  // as written on Windows, names in capitals
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(Listing(CheckPackage(dir.Write("GROSS.TUP", upper))), "");
  EXPECT_EQ(Listing(CheckPackage(dir.Write("leer.tup", "; nichts\r\n"))),
            ":0: Keine Update-Datei: " + dir.Folder() + "leer.tup\n");
}

TEST_F(PackageCheck, DescriptionProblems) {
  EXPECT_EQ(
      Listing(CheckPackage(dir.Folder() + "fehlt.tup")).rfind(dir.Folder() + "fehlt.tup:0: ", 0),
      0u);
  std::string many = "DEUTSCH=texte\\deutsch.txt\r\n";
  for (int i = 0; i < 101; i++) many += "ZEICHEN=zeichen\\zeichen1.bin\r\n";
  const auto tooMany = CheckPackage(dir.Write("viele.tup", many));
  ASSERT_EQ(tooMany.size(), 1u) << Listing(tooMany);
  EXPECT_EQ(tooMany[0].line, 102);
  EXPECT_NE(tooMany[0].text.find("Mehr als 100"), std::string::npos);
}

TEST_F(PackageCheck, BrokenPackageReportsEveryFault) {
  const auto record = [](int k) {
    return static_cast<size_t>(FirstRecordOffset + BlockRecordSize * k);
  };
  Edit("beispiel.tup", "ZENTRALEVERSION=2.1", "ZENTRALEVERSION=2.2");
  dir.Write("firmware/zentrale.tup", Read("firmware/zentrale.tup").substr(0, record(300) + 10));
  std::string funk = Read("firmware/funk.tup");
  funk[record(100)] = 0;
  funk[record(100) + 1] = 7;
  dir.Write("firmware/funk.tup", funk);
  std::filesystem::remove(dir.Folder() + "texte/english.txt");
  Edit("texte/deutsch.txt", "\r\n0B:", "\r\n0B ");        // line 12
  Edit("texte/deutsch.txt", "\r\n13: ", "\r\n\r\n13: ");  // a blank line 20
  dir.Write("weichen/liste.bin", Read("weichen/liste.bin").substr(0, 100));
  std::string symbols = Read("weichen/symbole.bin");
  symbols[1] = 1;  // value 0 above 255
  dir.Write("weichen/symbole.bin", symbols);
  std::filesystem::remove(dir.Folder() + "zeichen/zeichen1.bin");
  dir.Write("zeichen/zeichen2.bin", Read("zeichen/zeichen2.bin").substr(0, 5));

  std::string list = Listing(CheckPackage(description));
  for (size_t at; (at = list.find(dir.Folder())) != std::string::npos;) {
    list.erase(at, dir.Folder().size());
  }
  EXPECT_EQ(
      list,
      "firmware/zentrale.tup:0: Falsche Version! Die Datei trägt Version 2.1, angekündigt ist 2.2\n"
      "firmware/zentrale.tup:0: Datei zu kurz: nur 300 von 497 Blöcken vollständig\n"
      "firmware/funk.tup:101: falsche Blocknummer 7 (erwartet 100)\n"
      "texte/deutsch.txt:12: falsches Format (drittes Zeichen ist kein ':'), die Übertragung der "
      "Datei endet hier\n"
      "texte/deutsch.txt:20: falsches Format (drittes Zeichen ist kein ':')\n"
      "texte/english.txt:0: Datei nicht gefunden\n"
      "weichen/symbole.bin:0: enthält Werte über 255 (erste an Position 0)\n"
      "weichen/liste.bin:0: Datei zu kurz: 100 statt 512 Bytes\n"
      "zeichen/zeichen1.bin:0: Datei nicht gefunden\n"
      "zeichen/zeichen2.bin:0: Datei zu kurz: 5 statt 10 Bytes\n");
}

}  // namespace
}  // namespace skyrelay
