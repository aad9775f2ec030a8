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
using testfiles::TempDir;

class DescriptionLoad : public ::testing::Test {
 protected:
  DescriptionLoad() {
    host.Attach(&ctx);
    host.funkLabel = "alt";
    host.zentraleLabel = "alt";
  }

  // Writes the description (bytes as given) and loads it.
  void Load(const std::string& bytes, const std::string& name = "paket.tup") {
    ParseUpdateDescription(ctx, dir.Write(name, bytes));
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : host.messages) texts.push_back(m.text);
    return texts;
  }

  TempDir dir;
  VirtualHost host;
  Context ctx{host};
};

using Texts = std::vector<std::string>;

// ---------------------------------------------------------------- keys and values

TEST_F(DescriptionLoad, KeysInAnyCaseAnywhereInTheLine) {
  Load(
      "; Beispiel\r\n"
      "  deutsch=Texte DE.txt \r\n"
      "Bemerkung: Englisch=en.TXT\r\n"
      "XNL=texte.txt\r\n"
      "franzoesisch=fr.txt\r\n"
      "ITALIENISCH=it.txt\r\n"
      "SPANISCH=es.txt\r\n"
      "SCHWEDISCH=se.txt\r\n"
      "DAENISCH=dk.txt\r\n"
      "CATALAN=ca.txt\r\n"
      "TSCHECHISCH=cz.txt\r\n"
      "PolNisch=pl.txt\r\n"
      "weichensymbole=sym.bin\r\n"
      "WEICHENZUORDNUNG=zuord.bin\r\n"
      "WEICHENLISTE=\r\n"
      "\r\n");
  const auto& d = ctx.desc;
  EXPECT_EQ(d.LanguageFiles[0], "Texte DE.txt ");  // blanks as written
  EXPECT_EQ(d.LanguageFiles[1], "en.TXT");
  EXPECT_EQ(d.LanguageFiles[4], "texte.txt");  // "NL=" inside another word
  EXPECT_EQ(d.LanguageFiles[2], "fr.txt");
  EXPECT_EQ(d.LanguageFiles[10], "pl.txt");
  for (int n = 3; n <= 9; n++) EXPECT_FALSE(d.LanguageFiles[n].empty()) << n;
  EXPECT_EQ(d.TurnoutSymbolFile, "sym.bin");
  EXPECT_EQ(d.TurnoutAssignmentFile, "zuord.bin");
  EXPECT_EQ(d.TurnoutListFile, "");
  EXPECT_EQ(d.UpdateFolder, dir.Folder());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DescriptionLoad, EveryKeyIsSearchedInEveryLine) {
  Load(
      "DEUTSCH=alt.txt\n"
      "DEUTSCH=de.txt ENGLISCH=en.txt\n"
      "ZEICHEN=z1.bin WEICHENLISTE=liste.bin\n");
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "de.txt ENGLISCH=en.txt");  // later line wins
  EXPECT_EQ(ctx.desc.LanguageFiles[1], "en.txt");
  EXPECT_EQ(ctx.desc.CharacterFiles[1], "z1.bin WEICHENLISTE=liste.bin");
  EXPECT_EQ(ctx.desc.TurnoutListFile, "liste.bin");
  // The version keys do not count as the firmware keys.
  Load("FUNKVERSION=1.5\nZENTRALEVERSION=2\n");
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, "");
  EXPECT_EQ(ctx.desc.ZentraleFirmwarePath, "");
}

TEST_F(DescriptionLoad, ValueIsTakenAtTheKeysCharacterPosition) {
  // Multi-byte characters before the key (UTF-8 file).
  Load("Grüße ß Ä: DEUTSCH=Straße Ü.txt\n");
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "Straße Ü.txt");
  // The same in Windows-1252: read as the same characters.
  Load(
      "Gr\xFC\xDF"
      "e \xDF \xC4: DEUTSCH=Stra\xDF"
      "e \xDC.txt\r\n");
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "Straße Ü.txt");
  // A byte-order mark is skipped; umlauts in a key's spelling do not make a key.
  Load(
      "\xEF\xBB\xBF"
      "ENGLISCH=ä.txt\nFRANZÖSISCH=fr.txt\n");
  EXPECT_EQ(ctx.desc.LanguageFiles[1], "ä.txt");
  EXPECT_EQ(ctx.desc.LanguageFiles[2], "");
}

TEST_F(DescriptionLoad, CrLfAndLfLinesGiveTheSameEntries) {
  const std::string lf = "DEUTSCH=de.txt\nZEICHEN=a.bin\nZEICHEN=b.bin\nWEICHENLISTE=l.bin";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, crlf + "\r\n", crlf + "\r"}) {
    Load(text);
    EXPECT_EQ(ctx.desc.LanguageFiles[0], "de.txt");
    EXPECT_EQ(ctx.desc.CharacterFiles[2], "b.bin");
    EXPECT_EQ(ctx.desc.TurnoutListFile, "l.bin");  // no CR left at the end
  }
}

TEST_F(DescriptionLoad, CharacterFilesInLineOrderAtMostAHundred) {
  Load("ZEICHEN=eins.bin\nDEUTSCH=de.txt\nzeichen=zwei.bin\nZEICHEN=drei.bin\n");
  EXPECT_EQ(ctx.desc.CharacterFileCount, 3);
  EXPECT_EQ(ctx.desc.CharacterFiles[1], "eins.bin");
  EXPECT_EQ(ctx.desc.CharacterFiles[2], "zwei.bin");
  EXPECT_EQ(ctx.desc.CharacterFiles[3], "drei.bin");
  EXPECT_TRUE(host.statuses.empty());

  std::string many;
  for (int i = 1; i <= 102; i++) many += "ZEICHEN=z" + std::to_string(i) + ".bin\r\n";
  Load(many);
  EXPECT_EQ(ctx.desc.CharacterFileCount, 100);
  EXPECT_EQ(ctx.desc.CharacterFiles[100], "z100.bin");
  EXPECT_EQ(host.statuses, Texts{"Mehr als 100 Zeichendateien: weitere ignoriert"});
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DescriptionLoad, ReloadReplacesEverything) {
  dir.Write("z.tup", FirmwareFile(2, 0));
  dir.Write("f.tup", FirmwareFile(1, 5));
  Load(
      "ZENTRALE=z.tup\nZENTRALEVERSION=2.0\nFUNK=f.tup\nFUNKVERSION=1.5\n"
      "DEUTSCH=de.txt\nNL=nl.txt\nWEICHENSYMBOLE=s.bin\nWEICHENZUORDNUNG=a.bin\n"
      "WEICHENLISTE=l.bin\nZEICHEN=1.bin\nZEICHEN=2.bin\n");
  ASSERT_EQ(ctx.desc.ZentraleFirmwarePath, dir.Folder() + "z.tup");
  ASSERT_EQ(ctx.desc.CharacterFileCount, 2);

  dir.Write("sub/other.tup", "ENGLISCH=en.txt\r\n");
  ParseUpdateDescription(ctx, (dir.path() / "sub" / "other.tup").string());
  const auto& d = ctx.desc;
  EXPECT_EQ(d.UpdateFolder, dir.Folder() + "sub/");
  EXPECT_EQ(d.ZentraleFirmwarePath, "");
  EXPECT_EQ(d.FunkFirmwarePath, "");
  EXPECT_EQ(d.LanguageFiles[0], "");
  EXPECT_EQ(d.LanguageFiles[1], "en.txt");
  EXPECT_EQ(d.LanguageFiles[4], "");
  EXPECT_EQ(d.TurnoutSymbolFile, "");
  EXPECT_EQ(d.TurnoutAssignmentFile, "");
  EXPECT_EQ(d.TurnoutListFile, "");
  EXPECT_EQ(d.CharacterFileCount, 0);
  EXPECT_EQ(d.CharacterFiles[1], "");
  EXPECT_EQ(host.funkLabel, "");
  EXPECT_EQ(host.zentraleLabel, "");
}

TEST_F(DescriptionLoad, DescriptionThatCannotBeReadIsNamed) {
  Load("DEUTSCH=de.txt\nFUNKVERSION=1.5\n");
  ASSERT_EQ(host.funkLabel, "1,5");
  const std::string missing = dir.Folder() + "fehlt.tup";
  ParseUpdateDescription(ctx, missing);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, missing + "\rDie Update-Datei kann nicht geöffnet werden!");
  EXPECT_EQ(host.messages[0].title, "Fehler!");
  EXPECT_EQ(host.messages[0].icon, Icon::Stop);
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "");
  EXPECT_EQ(ctx.desc.UpdateFolder, dir.Folder());
  EXPECT_EQ(host.funkLabel, "1,5");  // the labels are left alone
}

// ---------------------------------------------------------------- firmware files

TEST_F(DescriptionLoad, FirmwareVersionsCompareAsNumbers) {
  dir.Write("h.tup", FirmwareFile(1, 5));
  for (const char* announced : {"1.5", "1.50", " 1.5 ", "01.5"}) {
    host.messages.clear();
    Load(std::string("funk=h.tup\r\nFUNKVERSION=") + announced + "\r\n");
    EXPECT_TRUE(host.messages.empty()) << announced;
    EXPECT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "h.tup") << announced;
    EXPECT_EQ(host.funkLabel, "1,5") << announced;
    EXPECT_EQ(host.zentraleLabel, "");
  }

  // A file whose version bytes are 1, 50 also reads as 1.5.
  dir.Write("h50.tup", FirmwareFile(1, 50));
  Load("FUNK=h50.tup\nFUNKVERSION=1.5\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "h50.tup");
}

TEST_F(DescriptionLoad, WrongVersionKeepsBareNamesAndLabels) {
  dir.Write("h.tup", FirmwareFile(1, 5));
  for (const char* announced : {"1.05", "1,5", "15"}) {
    host.messages.clear();
    Load(std::string("FUNK=h.tup\nFUNKVERSION=") + announced + "\nDEUTSCH=de.txt\n");
    EXPECT_EQ(MessageTexts(), Texts{"Falsche Version!"}) << announced;
    EXPECT_EQ(host.messages[0].title, "Fehler");
    EXPECT_EQ(host.messages[0].icon, Icon::Stop);
    EXPECT_EQ(host.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(ctx.desc.FunkFirmwarePath, "h.tup");
    EXPECT_EQ(ctx.desc.LanguageFiles[0], "de.txt");
    EXPECT_EQ(host.funkLabel, "alt");
  }

  // 1,5 reads as 1, so it announces a file with version bytes 1, 0.
  dir.Write("h1.tup", FirmwareFile(1, 0));
  host.messages.clear();
  Load("FUNK=h1.tup\nFUNKVERSION=1,5\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.funkLabel, "1");
}

TEST_F(DescriptionLoad, MissingVersionCountsAsZero) {
  dir.Write("h.tup", FirmwareFile(1, 5));
  dir.Write("null.tup", FirmwareFile(0, 0));
  Load("FUNK=h.tup\n");
  EXPECT_EQ(MessageTexts(), Texts{"Falsche Version!"});

  host.messages.clear();
  Load("FUNK=null.tup\nZENTRALEVERSION=3.25\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "null.tup");
  EXPECT_EQ(host.funkLabel, "");  // no version given: empty caption
  EXPECT_EQ(host.zentraleLabel, "3,25");

  // Without a "FUNK=" line no file is opened, and the label shows the number.
  Load("FUNKVERSION=2.10\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, "");
  EXPECT_EQ(host.funkLabel, "2,1");
  EXPECT_EQ(host.zentraleLabel, "");
}

TEST_F(DescriptionLoad, ZentraleIsCheckedBeforeFunk) {
  dir.Write("z.tup", FirmwareFile(2, 0));
  dir.Write("f.tup", FirmwareFile(1, 5));
  // Both wrong: only the digital-set file is reported.
  Load("FUNK=f.tup\nFUNKVERSION=9\nZENTRALE=z.tup\nZENTRALEVERSION=9\n");
  EXPECT_EQ(MessageTexts(), Texts{"Falsche Version!"});
  EXPECT_EQ(ctx.desc.ZentraleFirmwarePath, "z.tup");
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, "f.tup");

  // The digital-set file is wrong, the radio file missing: the missing one is not looked at.
  host.messages.clear();
  Load("FUNK=fehlt.tup\nFUNKVERSION=1.5\nZENTRALE=z.tup\nZENTRALEVERSION=2.5\n");
  EXPECT_EQ(MessageTexts(), Texts{"Falsche Version!"});

  // Both right: both paths in full, both labels.
  host.messages.clear();
  Load("FUNK=f.tup\nFUNKVERSION=1.5\nZENTRALE=z.tup\nZENTRALEVERSION=2\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.desc.ZentraleFirmwarePath, dir.Folder() + "z.tup");
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "f.tup");
  EXPECT_EQ(host.funkLabel, "1,5");
  EXPECT_EQ(host.zentraleLabel, "2");
}

TEST_F(DescriptionLoad, FailedFirmwareCheckEndsTheLoadWithItsOwnMessage) {
  dir.Write("f.tup", FirmwareFile(1, 5));
  Load("ZENTRALE=fehlt.tup\nZENTRALEVERSION=0\nFUNK=f.tup\nFUNKVERSION=1.5\n");
  EXPECT_EQ(MessageTexts(), Texts{"Updatefile nicht vorhanden!"});
  EXPECT_EQ(ctx.desc.ZentraleFirmwarePath, "fehlt.tup");
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, "f.tup");
  EXPECT_EQ(host.funkLabel, "alt");

  host.messages.clear();
  dir.Write("kaputt.tup",
            FirmwareFile(1, 5, 3, 11, 9, 497, "FENNIKMOOR 58400 UPDATE FILE VERSION 1.00"));
  Load("FUNK=kaputt.tup\nFUNKVERSION=1.5\n");
  EXPECT_EQ(MessageTexts(), Texts{"Falsches Fileformat!"});
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, "kaputt.tup");
}

TEST_F(DescriptionLoad, NamesWithBackslashesOpenHere) {
  dir.Write("fw/h.tup", FirmwareFile(1, 5));
  Load("FUNK=fw\\h.tup\r\nFUNKVERSION=1.5\r\nDEUTSCH=texte\\de.txt\r\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "fw/h.tup");
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "texte\\de.txt");  // as written
  EXPECT_EQ(DescribedFilePath(ctx, ctx.desc.LanguageFiles[0]), dir.Folder() + "texte/de.txt");

  ctx.desc.UpdateFolder = FolderOfPath("C:\\Upd\\paket.tup");
  EXPECT_EQ(ctx.desc.UpdateFolder, "C:\\Upd\\");
  EXPECT_EQ(DescribedFilePath(ctx, "fw\\h.tup"), "C:/Upd/fw/h.tup");
  EXPECT_EQ(FolderOfPath("paket.tup"), "");
  EXPECT_EQ(FolderOfPath("/a/b\\c.tup"), "/a/b\\");
  EXPECT_EQ(FolderOfPath("/a\\b/c.tup"), "/a\\b/");
}

TEST_F(DescriptionLoad, NamesFromWindowsMatchIgnoringCase) {
  dir.Write("fw/h.tup", FirmwareFile(1, 5));
  dir.Write("texte/de.txt", "00: Text\r\n");
  Load("FUNK=FW\\H.TUP\r\nFUNKVERSION=1.5\r\n");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "fw/h.tup");
  EXPECT_EQ(DescribedFilePath(ctx, "Texte\\DE.txt"), dir.Folder() + "texte/de.txt");

  // The exact spelling wins when it exists; a part that matches nothing leaves
  // the path as written; the description's own folder is not searched for.
  dir.Write("FW/H.TUP", FirmwareFile(1, 5));
  EXPECT_EQ(DescribedFilePath(ctx, "fw\\h.tup"), dir.Folder() + "fw/h.tup");
  EXPECT_EQ(DescribedFilePath(ctx, "FW\\H.TUP"), dir.Folder() + "FW/H.TUP");
  EXPECT_EQ(DescribedFilePath(ctx, "texte\\fehlt.txt"), dir.Folder() + "texte/fehlt.txt");
  EXPECT_EQ(DescribedFilePath(ctx, "FEHLT\\de.txt"), dir.Folder() + "FEHLT/de.txt");
  std::string upperFolder = dir.Folder();
  for (char& c : upperFolder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ctx.desc.UpdateFolder = upperFolder;
  EXPECT_EQ(DescribedFilePath(ctx, "texte\\de.txt"), upperFolder + "texte/de.txt");
}

// ---------------------------------------------------------------- numbers

TEST(VersionNumber, ReadsTheLeadingNumberWithAPoint) {
  EXPECT_EQ(ReadLeadingNumber("1.5"), 1.5);
  EXPECT_EQ(ReadLeadingNumber("1.50"), ReadLeadingNumber("1.5"));
  EXPECT_NE(ReadLeadingNumber("1.05"), ReadLeadingNumber("1.5"));
  EXPECT_EQ(ReadLeadingNumber("1,5"), 1);
  EXPECT_EQ(ReadLeadingNumber("  1.5  "), 1.5);
  EXPECT_EQ(ReadLeadingNumber("1 . 5"), 1.5);  // blanks are skipped
  EXPECT_EQ(ReadLeadingNumber("1.5 vom: 3.11.9"), 1.5);
  EXPECT_EQ(ReadLeadingNumber("1.2.3"), 1.2);
  EXPECT_EQ(ReadLeadingNumber(".5"), 0.5);
  EXPECT_EQ(ReadLeadingNumber("-2.5x"), -2.5);
  EXPECT_EQ(ReadLeadingNumber("7\r"), 7);
  for (const char* none : {"", " ? ", "abc", ".", "-", "v1.5"}) {
    EXPECT_EQ(ReadLeadingNumber(none), 0) << none;
  }
  EXPECT_EQ(ReadLeadingNumber("1e3"), 1);  // no exponents in versions

  EXPECT_EQ(ReadLeadingNumber("0." + std::string(400, '0') + "1"), 0);
  EXPECT_GT(ReadLeadingNumber(std::string(400, '9')), 1e300);
}

TEST(VersionNumber, LabelsUseTheShortestFormWithAComma) {
  EXPECT_EQ(FormatUserNumber(ReadLeadingNumber("1.50")), "1,5");
  EXPECT_EQ(FormatUserNumber(1.05), "1,05");
  EXPECT_EQ(FormatUserNumber(2), "2");
  EXPECT_EQ(FormatUserNumber(10), "10");
  EXPECT_EQ(FormatUserNumber(0), "0");
  EXPECT_EQ(FormatUserNumber(0.1), "0,1");
  EXPECT_EQ(FormatUserNumber(-1.5), "-1,5");
  EXPECT_EQ(FormatUserNumber(1e20), "100000000000000000000");
}

// ---------------------------------------------------------------- text files

TEST(TextFileDecoding, Windows1252UnlessTheWholeFileIsUtf8) {
  EXPECT_EQ(DecodeTextFile("Gr\xFCn \x80"), "Grün €");
  EXPECT_EQ(DecodeTextFile("Grün €"), "Grün €");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFGrün"), "Grün");
  // One byte that is no UTF-8 makes the whole file Windows-1252.
  EXPECT_EQ(DecodeTextFile("\xC3\xBC \xFC"), "Ã¼ ü");
  EXPECT_EQ(Utf8ToCp1252("Grün €"), "Gr\xFCn \x80");
  EXPECT_EQ(Utf8ToCp1252("Ω"), "?");
}

TEST(TextFileDecoding, LinesEndInCrLfOrLf) {
  EXPECT_EQ(SplitLines("a\r\nb\nc"), (Texts{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (Texts{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\r"), (Texts{"a", "b"}));
  EXPECT_EQ(SplitLines("a\rb\n"), (Texts{"a\rb"}));
  EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextFileDecoding, UpperCaseKeepsEveryCharacterInPlace) {
  EXPECT_EQ(ToUpperText("grün äöü ß 5"), "GRÜN ÄÖÜ ß 5");
  EXPECT_EQ(ToUpperText("œ š ž ÿ é"), "Œ Š Ž Ÿ É");
  const std::string text = "ßäx÷ÿ€a";
  EXPECT_EQ(Utf8Characters(ToUpperText(text)).size(), Utf8Characters(text).size());
  EXPECT_EQ(Utf8Characters("aÄ€"), (Texts{"a", "Ä", "€"}));
}

}  // namespace
}  // namespace skyrelay
