// The update description file: keys, values, firmware checks, version labels,
// and the text decoding and number reading it relies on.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "config/description.h"
#include "config/numbers.h"
#include "config/text_codec.h"
#include "config_test_files.h"
#include "core/context.h"
#include "sim/virtual_host.h"

namespace skyrelay {
namespace {

using testfiles::FirmwareFile;
using Texts = std::vector<std::string>;

struct DescriptionLoad : ::testing::Test {
  DescriptionLoad() { host.Attach(&ctx); }
  void Load(const std::string& bytes) {
    host.messages.clear();
    host.funkLabel = host.zentraleLabel = "alt";
    ParseUpdateDescription(ctx, dir.Write("paket.tup", bytes));
  }
  std::string Messages() const {
    std::string out;
    for (const auto& m : host.messages) out += m.title + "|" + m.text;
    return out;
  }
  // `text` with every '@' replaced by the description's folder.
  std::string InFolder(std::string text) const {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir.Folder());
    return text;
  }
  testfiles::TempDir dir;
  VirtualHost host;
  Context ctx{host};
};

TEST_F(DescriptionLoad, KeysInAnyCaseAnywhereInTheLineWithCrLfOrLf) {
  const std::string lf =
      "; Beispiel\n  deutsch=Texte DE.txt \nBemerkung: Englisch=en.TXT\nXNL=texte.txt\n"
      "franzoesisch=fr.txt\nITALIENISCH=it.txt\nSPANISCH=es.txt\nSCHWEDISCH=se.txt\n"
      "DAENISCH=dk.txt\nCATALAN=ca.txt\nTSCHECHISCH=cz.txt\nPolNisch=alt.txt\n"
      "POLNISCH=pl.txt WEICHENLISTE=l.bin\nweichensymbole=sym.bin\nWEICHENZUORDNUNG=zu.bin\n"
      "ZEICHEN=a.bin\nZEICHEN=b.bin";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, crlf + "\r\n", crlf + "\r"}) {
    Load(text);
    const auto& d = ctx.desc;
    EXPECT_EQ(Texts(d.LanguageFiles.begin(), d.LanguageFiles.end()),
              (Texts{"Texte DE.txt ", "en.TXT", "fr.txt", "it.txt", "texte.txt", "es.txt", "se.txt",
                     "dk.txt", "ca.txt", "cz.txt", "pl.txt WEICHENLISTE=l.bin"}));
    EXPECT_EQ(d.TurnoutSymbolFile + " " + d.TurnoutAssignmentFile + " " + d.TurnoutListFile,
              "sym.bin zu.bin l.bin");
    EXPECT_EQ(d.CharacterFiles[2], "b.bin");
    EXPECT_EQ(d.UpdateFolder, dir.Folder());
    EXPECT_TRUE(host.messages.empty());
  }
}

TEST_F(DescriptionLoad, ValueIsTakenAtTheKeysCharacterPosition) {
  Load("Grüße ß Ä: DEUTSCH=Straße Ü.txt\n");
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "Straße Ü.txt");
  Load(
      "Gr\xFC\xDF"
      "e \xDF \xC4: DEUTSCH=Stra\xDF"
      "e \xDC.txt\r\n");  // Windows-1252
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "Straße Ü.txt");
  Load(
      "\xEF\xBB\xBF"
      "ENGLISCH=ä.txt\nFRANZÖSISCH=fr.txt\n");
  EXPECT_EQ(ctx.desc.LanguageFiles[1], "ä.txt");
  EXPECT_EQ(ctx.desc.LanguageFiles[2], "");
}

TEST_F(DescriptionLoad, CharacterFilesInLineOrderAtMostAHundred) {
  Load("ZEICHEN=eins.bin\nDEUTSCH=de.txt\nzeichen=zwei.bin\nZEICHEN=drei.bin\n");
  EXPECT_EQ(ctx.desc.CharacterFileCount, 3);
  EXPECT_EQ(ctx.desc.CharacterFiles[1] + ctx.desc.CharacterFiles[2] + ctx.desc.CharacterFiles[3],
            "eins.binzwei.bindrei.bin");
  EXPECT_TRUE(host.statuses.empty());
  std::string many;
  for (int i = 1; i <= 102; i++) many += "ZEICHEN=z" + std::to_string(i) + ".bin\r\n";
  Load(many);
  EXPECT_EQ(ctx.desc.CharacterFileCount, 100);
  EXPECT_EQ(ctx.desc.CharacterFiles[100], "z100.bin");
  EXPECT_EQ(host.statuses, Texts{"Mehr als 100 Zeichendateien: weitere ignoriert"});
}

TEST_F(DescriptionLoad, ReloadReplacesEverythingAndAMissingFileIsNamed) {
  dir.Write("z.tup", FirmwareFile(2, 0));
  dir.Write("f.tup", FirmwareFile(1, 5));
  Load(
      "ZENTRALE=z.tup\nZENTRALEVERSION=2.0\nFUNK=f.tup\nFUNKVERSION=1.5\nDEUTSCH=de.txt\n"
      "NL=nl.txt\nWEICHENSYMBOLE=s.bin\nWEICHENZUORDNUNG=a.bin\nWEICHENLISTE=l.bin\nZEICHEN=1."
      "bin\n");
  ASSERT_EQ(ctx.desc.ZentraleFirmwarePath, dir.Folder() + "z.tup");
  ParseUpdateDescription(ctx, dir.Write("sub/other.tup", "ENGLISCH=en.txt\r\n"));
  const auto& d = ctx.desc;
  EXPECT_EQ(d.UpdateFolder, dir.Folder() + "sub/");
  EXPECT_EQ(d.LanguageFiles[1], "en.txt");
  EXPECT_EQ(d.ZentraleFirmwarePath + d.FunkFirmwarePath + d.LanguageFiles[0] + d.LanguageFiles[4] +
                d.TurnoutSymbolFile + d.TurnoutAssignmentFile + d.TurnoutListFile +
                d.CharacterFiles[1] + host.funkLabel + host.zentraleLabel,
            "");
  EXPECT_EQ(d.CharacterFileCount, 0);

  Load("DEUTSCH=de.txt\nFUNKVERSION=1.5\n");
  ParseUpdateDescription(ctx, dir.Folder() + "fehlt.tup");
  EXPECT_EQ(Messages(),
            "Fehler!|" + dir.Folder() + "fehlt.tup\rDie Update-Datei kann nicht geöffnet werden!");
  EXPECT_EQ(host.messages[0].icon, Icon::Stop);
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "");
  EXPECT_EQ(ctx.desc.UpdateFolder, dir.Folder());
  EXPECT_EQ(host.funkLabel, "1,5") << "the labels are left alone";
}

TEST_F(DescriptionLoad, FirmwareFilesAndVersionsZentraleFirst) {
  dir.Write("h.tup", FirmwareFile(1, 5));
  dir.Write("h50.tup", FirmwareFile(1, 50));
  dir.Write("h1.tup", FirmwareFile(1, 0));
  dir.Write("null.tup", FirmwareFile(0, 0));
  dir.Write("z.tup", FirmwareFile(2, 0));
  dir.Write("kaputt.tup",
            FirmwareFile(1, 5, 3, 11, 9, 1, "FENNIKMOOR 58400 UPDATE FILE VERSION 1.00"));
  const std::string wrong = "Fehler|Falsche Version!";
  const struct {
    const char* text;
    std::string message;
    const char* labels;  // radio / digital set
    const char* paths;   // radio | digital set, '@' for the folder
  } cases[] = {
      {"funk=h.tup\r\nFUNKVERSION=1.5\r\n", "", "1,5/", "@h.tup|"},
      {"FUNK=h.tup\nFUNKVERSION= 1.50 \n", "", "1,5/", "@h.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=01.5\n", "", "1,5/", "@h.tup|"},
      {"FUNK=h50.tup\nFUNKVERSION=1.5\n", "", "1,5/", "@h50.tup|"},
      {"FUNK=h1.tup\nFUNKVERSION=1,5\n", "", "1/", "@h1.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=1.05\n", wrong, "alt/alt", "h.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=1,5\n", wrong, "alt/alt", "h.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=15\n", wrong, "alt/alt", "h.tup|"},
      {"FUNK=h.tup\n", wrong, "alt/alt", "h.tup|"},
      {"FUNK=null.tup\nZENTRALEVERSION=3.25\n", "", "/3,25", "@null.tup|"},
      {"FUNKVERSION=2.10\n", "", "2,1/", "|"},
      {"FUNK=h.tup\nFUNKVERSION=9\nZENTRALE=z.tup\nZENTRALEVERSION=9\n", wrong, "alt/alt",
       "h.tup|z.tup"},
      {"FUNK=fehlt.tup\nFUNKVERSION=1.5\nZENTRALE=z.tup\nZENTRALEVERSION=2.5\n", wrong, "alt/alt",
       "fehlt.tup|z.tup"},
      {"ZENTRALE=fehlt.tup\nZENTRALEVERSION=0\nFUNK=h.tup\nFUNKVERSION=1.5\n",
       "Achtung!|Updatefile nicht vorhanden!", "alt/alt", "h.tup|fehlt.tup"},
      {"FUNK=kaputt.tup\nFUNKVERSION=1.5\n", "Achtung!|Falsches Fileformat!", "alt/alt",
       "kaputt.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=1.5\nZENTRALE=z.tup\nZENTRALEVERSION=2\n", "", "1,5/2",
       "@h.tup|@z.tup"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Load(std::string(c.text) + "DEUTSCH=de.txt\n");
    EXPECT_EQ(Messages(), c.message);
    EXPECT_EQ(host.funkLabel + "/" + host.zentraleLabel, c.labels);
    EXPECT_EQ(ctx.desc.FunkFirmwarePath + "|" + ctx.desc.ZentraleFirmwarePath, InFolder(c.paths));
    EXPECT_EQ(ctx.desc.LanguageFiles[0], "de.txt");
  }
}

TEST_F(DescriptionLoad, NamesWithBackslashesOpenHereIgnoringCase) {
  dir.Write("fw/h.tup", FirmwareFile(1, 5));
  dir.Write("texte/de.txt", "00: Text\r\n");
  Load("FUNK=FW\\H.TUP\r\nFUNKVERSION=1.5\r\nDEUTSCH=Texte\\DE.txt\r\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "fw/h.tup");
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "Texte\\DE.txt");
  EXPECT_EQ(DescribedFilePath(ctx, ctx.desc.LanguageFiles[0]), dir.Folder() + "texte/de.txt");
  // The exact spelling wins; a part that matches nothing stays as written.
  dir.Write("FW/H.TUP", "");
  for (const char* name : {"fw\\h.tup", "FW\\H.TUP", "texte\\fehlt.txt", "FEHLT\\de.txt"}) {
    std::string expected = name;
    expected.replace(expected.find('\\'), 1, "/");
    EXPECT_EQ(DescribedFilePath(ctx, name), dir.Folder() + expected);
  }
  std::string upperFolder = dir.Folder();  // the description's own folder is taken as it is
  for (char& c : upperFolder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ctx.desc.UpdateFolder = upperFolder;
  EXPECT_EQ(DescribedFilePath(ctx, "texte\\de.txt"), upperFolder + "texte/de.txt");

  ctx.desc.UpdateFolder = FolderOfPath("C:\\Upd\\paket.tup");
  EXPECT_EQ(ctx.desc.UpdateFolder, "C:\\Upd\\");
  EXPECT_EQ(DescribedFilePath(ctx, "fw\\h.tup"), "C:/Upd/fw/h.tup");
  EXPECT_EQ(FolderOfPath("paket.tup"), "");
  EXPECT_EQ(FolderOfPath("/a/b\\c.tup"), "/a/b\\");
  EXPECT_EQ(FolderOfPath("/a\\b/c.tup"), "/a\\b/");
}

TEST(VersionNumber, ReadsTheLeadingNumberAndLabelsItWithAComma) {
  for (const char* v : {"1.5", "1.50", "  1.5  ", "1 . 5", "1.5 vom: 3.11.9", "01.5"}) {
    EXPECT_EQ(ReadLeadingNumber(v), 1.5) << v;
  }
  for (const char* v : {"", " ? ", "abc", ".", "-", "v1.5"})
    EXPECT_EQ(ReadLeadingNumber(v), 0) << v;
  EXPECT_NE(ReadLeadingNumber("1.05"), 1.5);
  EXPECT_EQ(ReadLeadingNumber("1,5"), 1);
  EXPECT_EQ(ReadLeadingNumber("1e3"), 1);
  EXPECT_EQ(ReadLeadingNumber("1.2.3"), 1.2);
  EXPECT_EQ(ReadLeadingNumber(".5"), 0.5);
  EXPECT_EQ(ReadLeadingNumber("-2.5x"), -2.5);
  EXPECT_EQ(ReadLeadingNumber("7\r"), 7);
  EXPECT_EQ(ReadLeadingNumber("0." + std::string(400, '0') + "1"), 0);
  EXPECT_GT(ReadLeadingNumber(std::string(400, '9')), 1e300);

  EXPECT_EQ(FormatUserNumber(1.05), "1,05");
  EXPECT_EQ(FormatUserNumber(0), "0");
  EXPECT_EQ(FormatUserNumber(0.1), "0,1");
  EXPECT_EQ(FormatUserNumber(-1.5), "-1,5");
  EXPECT_EQ(FormatUserNumber(1e20), "100000000000000000000");
}

TEST(TextFiles, DecodingLinesAndUpperCase) {
  EXPECT_EQ(DecodeTextFile("Gr\xFCn \x80"), "Grün €");
  EXPECT_EQ(DecodeTextFile("Grün €"), "Grün €");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFGrün"), "Grün");
  EXPECT_EQ(DecodeTextFile("\xC3\xBC \xFC"), "Ã¼ ü") << "one stray byte: all Windows-1252";
  EXPECT_EQ(Utf8ToCp1252("Grün €Ω"), "Gr\xFCn \x80?");

  EXPECT_EQ(SplitLines("a\r\nb\nc"), (Texts{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (Texts{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\r"), (Texts{"a", "b"}));
  EXPECT_EQ(SplitLines("a\rb\n"), (Texts{"a\rb"}));
  EXPECT_TRUE(SplitLines("").empty());

  EXPECT_EQ(ToUpperText("grün äöü ß 5 œ š ž ÿ é"), "GRÜN ÄÖÜ ß 5 Œ Š Ž Ÿ É");
  EXPECT_EQ(Utf8Characters(ToUpperText("ßäx÷ÿ€a")), (Texts{"ß", "Ä", "X", "÷", "Ÿ", "€", "A"}));
}

}  // namespace
}  // namespace skyrelay
