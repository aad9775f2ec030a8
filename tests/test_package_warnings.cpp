// What check warns about: everything the handheld would show differently from
// the package's files. Sound packages, from here or from Windows, give nothing;
// loading keeps accepting the warned packages.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "config_test_files.h"
#include "core/context.h"
#include "package/description.h"
#include "package/package_check.h"
#include "sim/package.h"
#include "support.h"

namespace skyrelay {
namespace {

struct WarningCheck : ::testing::Test {
  std::string Read(const std::string& relative) const {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(dir.Folder() + relative, bytes));
    return bytes;
  }
  testfiles::TempDir dir;
  const std::string description = sim::WriteSamplePackage(dir.Folder());
  const std::string sample = Read("beispiel.tup");

  // The check's listing with the folder left out; problems that are no
  // warnings are marked, so a row that trips one fails.
  std::string Listing(const std::string& path) {
    std::string out;
    for (const PackageProblem& p : CheckPackage(path)) {
      std::string file = p.file;
      if (file.rfind(dir.Folder(), 0) == 0) file.erase(0, dir.Folder().size());
      out +=
          file + ":" + std::to_string(p.line) + ": " + (p.warning ? "" : "FEHLER ") + p.text + "\n";
    }
    return out;
  }
};

TEST_F(WarningCheck, SoundPackagesGiveNoWarning) {
  EXPECT_EQ(Listing(description), "");
  // Made on Windows: names in capitals with backslashes, CR LF, Windows-1252
  // umlauts, a remark with '=' after other text.
  std::string upper = Read("beispiel.tup") + "; Stand: Version=2\r\n";
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
}

TEST_F(WarningCheck, EachWarningWithFileAndLine) {
  const struct {
    const char* descriptionLine;  // added to the description
    const char* german;           // the German text file
    const char* expected;
  } rows[] = {
      {"DEUTCH=texte\\deutsch.txt\r\n", "00: A\r\n",
       "beispiel.tup:13: unbekannter Schlüssel DEUTCH= – meinten Sie DEUTSCH=?\n"},
      {"  Weichenlist = weichen\\liste.bin\r\nSONSTWAS=1\r\n", "00: A\r\n",
       "beispiel.tup:13: unbekannter Schlüssel WEICHENLIST = – meinten Sie WEICHENLISTE=?\n"
       "beispiel.tup:14: unbekannter Schlüssel SONSTWAS=, die Zeile wird nicht gelesen\n"},
      {"", "00: Ok\r\n01: Straße!\r\n02: l'été, (ja)\r\n",
       "texte/deutsch.txt:2: Zeichen „ß“ (U+00DF), „!“ (U+0021) gibt es im Display nicht, sie "
       "werden zum Leerzeichen: „STRAßE!“\n"
       "texte/deutsch.txt:3: Zeichen „'“ (U+0027), „é“ (U+00E9), „,“ (U+002C), „(“ (U+0028), „)“ "
       "(U+0029) gibt es im Display nicht, sie werden zum Leerzeichen: „L'ÉTÉ, (JA)“\n"},
      {"", "00: Fahrstrasse Nummer 12 frei\r\n01: GENAU EINUNDZWANZIG Z\r\n",
       "texte/deutsch.txt:1: Text hat 26 Zeichen, das Display zeigt nur die ersten 21: "
       "„FAHRSTRASSE "
       "NUMMER 12“\n"},
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
    const std::string tup = dir.Write("beispiel.tup", sample + row.descriptionLine);
    dir.Write("texte/deutsch.txt", row.german);
    EXPECT_EQ(Listing(tup), row.expected);

    // Loading, as update and the desktop program do, takes the package as it is.
    test::SimWorld w;
    ParseUpdateDescription(w.ctx, tup);
    EXPECT_TRUE(w.host.messages.empty());
  }
}

}  // namespace
}  // namespace skyrelay
