// The files of an update package as loaded: the description (keys, values,
// firmware checks, version captions) and what the programs show of a load, the
// firmware file and its record reader, the text decoding and number reading,
// and the display code texts become.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "config_test_files.h"
#include "core/text_codec.h"
#include "package/description.h"
#include "package/display_code.h"
#include "package/firmware_file.h"
#include "package/numbers.h"
#include "run/commands.h"
#include "support.h"

namespace skyrelay {
namespace {

using testfiles::FirmwareFile;
using testfiles::ImageByte;
using Codes = std::vector<int>;
using Texts = std::vector<std::string>;
using Problems = std::vector<PackageProblem>;
using K = ProblemKind;

struct Describing : ::testing::Test {
  // Loads a description of these bytes; `load` keeps the whole result.
  const Description& Load(const std::string& bytes) {
    load = ParseUpdateDescription(dir.Write("paket.tup", bytes));
    return load.description;
  }
  // `text` with every '@' replaced by the description's folder.
  std::string InFolder(std::string text) const {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir.Folder());
    return text;
  }
  testfiles::TempDir dir;
  DescriptionLoad load;
};

TEST_F(Describing, KeysInAnyCaseAnywhereInTheLineWithCrLfOrLfAndUmlauts) {
  const std::string lf =
      "; Beispiel\n  deutsch=Texte DE.txt \nBemerkung: Englisch=en.TXT\nXNL=texte.txt\n"
      "PolNisch=alt.txt\nPOLNISCH=pl.txt WEICHENLISTE=l.bin\nweichensymbole=sym.bin\nZEICHEN=a.bin";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, crlf + "\r"}) {
    const Description& d = Load(text);
    EXPECT_EQ(d.languageFiles[0] + "|" + d.languageFiles[1] + "|" + d.languageFiles[4] + "|" +
                  d.languageFiles[10],
              "Texte DE.txt |en.TXT|texte.txt|pl.txt WEICHENLISTE=l.bin");
    EXPECT_EQ(d.turnoutSymbolFile + "|" + d.turnoutListFile + "|" + d.characterFiles[1],
              "sym.bin|l.bin|a.bin");
    EXPECT_EQ(d.updateFolder, dir.Folder());
    EXPECT_TRUE(load.problems.empty() && !load.extraCharacterFilesIgnored);
  }
  // The value is taken at the key's character position, in Windows-1252 or UTF-8.
  EXPECT_EQ(Load("Grüße ß Ä: DEUTSCH=Straße Ü.txt\n").languageFiles[0], "Straße Ü.txt");
  EXPECT_EQ(Load("Gr\xFC\xDF"
                 "e \xDF \xC4: DEUTSCH=Stra\xDF"
                 "e \xDC.txt\r\n")  // Windows-1252
                .languageFiles[0],
            "Straße Ü.txt");
  const Description& bom = Load(
      "\xEF\xBB\xBF"
      "ENGLISCH=ä.txt\nFRANZÖSISCH=fr.txt\n");
  EXPECT_EQ(bom.languageFiles[1] + "|" + bom.languageFiles[2], "ä.txt|");
}

TEST_F(Describing, CharacterFilesInLineOrderAtMostAHundred) {
  std::string many;
  for (int i = 1; i <= 102; i++) many += "ZEICHEN=z" + std::to_string(i) + ".bin\r\n";
  const Description& d = Load(many);
  EXPECT_EQ(d.characterFileCount, 100);
  EXPECT_EQ(d.characterFiles[1] + d.characterFiles[100], "z1.binz100.bin");
  EXPECT_TRUE(load.extraCharacterFilesIgnored);
  EXPECT_TRUE(load.problems.empty());
}

TEST_F(Describing, FirmwareFilesAndVersionsZentraleFirst) {
  dir.Write("h.tup", FirmwareFile(1, 5));
  dir.Write("h1.tup", FirmwareFile(1, 0));
  dir.Write("null.tup", FirmwareFile(0, 0));
  dir.Write("z.tup", FirmwareFile(2, 0));
  dir.Write("kaputt.tup",
            FirmwareFile(1, 5, 3, 11, 9, 1, "FENNIKMOOR 58400 UPDATE FILE VERSION 1.00"));
  const auto problem = [&](K kind, const char* file, const char* detail = "") {
    return std::optional<PackageProblem>({kind, dir.Folder() + file, 0, detail});
  };
  const struct {
    const char* text;
    std::optional<PackageProblem> problem;
    const char* captions;  // radio / digital set; "-": none shown
    const char* paths;     // radio | digital set, '@' for the folder
  } cases[] = {
      {"funk=h.tup\r\nFUNKVERSION=1.5\r\n", {}, "1,5/", "@h.tup|"},
      {"FUNK=h1.tup\nFUNKVERSION=1,5\n", {}, "1/", "@h1.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=1.05\n", problem(K::FirmwareWrongVersion, "h.tup", "1.5"), "-",
       "h.tup|"},
      {"FUNK=h.tup\n", problem(K::FirmwareWrongVersion, "h.tup", "1.5"), "-", "h.tup|"},
      {"FUNK=null.tup\nZENTRALEVERSION=3.25\n", {}, "/3,25", "@null.tup|"},
      {"FUNKVERSION=2.10\n", {}, "2,1/", "|"},
      {"FUNK=fehlt.tup\nFUNKVERSION=1.5\nZENTRALE=z.tup\nZENTRALEVERSION=2.5\n",
       problem(K::FirmwareWrongVersion, "z.tup", "2.0"), "-", "fehlt.tup|z.tup"},
      {"ZENTRALE=fehlt.tup\nZENTRALEVERSION=0\nFUNK=h.tup\nFUNKVERSION=1.5\n",
       problem(K::FirmwareMissing, "fehlt.tup"), "-", "h.tup|fehlt.tup"},
      {"FUNK=kaputt.tup\nFUNKVERSION=1.5\n", problem(K::FirmwareWrongFormat, "kaputt.tup"), "-",
       "kaputt.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=1.5\nZENTRALE=z.tup\nZENTRALEVERSION=2\n", std::nullopt, "1,5/2",
       "@h.tup|@z.tup"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Description& d = Load(std::string(c.text) + "DEUTSCH=de.txt\n");
    EXPECT_EQ(load.problems, c.problem ? Problems{*c.problem} : Problems{});
    EXPECT_EQ(
        load.versionsShown ? load.radioVersionCaption + "/" + load.digitalSetVersionCaption : "-",
        c.captions);
    EXPECT_EQ(d.radioFirmwarePath + "|" + d.digitalSetFirmwarePath, InFolder(c.paths));
    EXPECT_EQ(d.languageFiles[0], "de.txt");
  }
}

TEST_F(Describing, NamesWithBackslashesOpenHereIgnoringCase) {
  dir.Write("fw/h.tup", FirmwareFile(1, 5));
  dir.Write("texte/de.txt", "00: Text\r\n");
  const Description& d = Load("FUNK=FW\\H.TUP\r\nFUNKVERSION=1.5\r\nDEUTSCH=Texte\\DE.txt\r\n");
  EXPECT_TRUE(load.problems.empty());
  EXPECT_EQ(d.radioFirmwarePath, dir.Folder() + "fw/h.tup");
  EXPECT_EQ(d.languageFiles[0], "Texte\\DE.txt");
  EXPECT_EQ(DescribedFilePath(d, d.languageFiles[0]), dir.Folder() + "texte/de.txt");
  EXPECT_EQ(DescribedFilePath(d, "Texte\\.\\..\\TEXTE\\DE.txt"),
            dir.Folder() + "texte/./../texte/de.txt");
  // The exact spelling wins; a part that matches nothing stays as written.
  dir.Write("FW/H.TUP", "");
  for (const char* name : {"fw\\h.tup", "FW\\H.TUP", "FEHLT\\de.txt"}) {
    std::string expected = name;
    expected.replace(expected.find('\\'), 1, "/");
    EXPECT_EQ(DescribedFilePath(d, name), dir.Folder() + expected);
  }
  Description windows;
  windows.updateFolder = FolderOfPath("C:\\Upd\\paket.tup");
  EXPECT_EQ(DescribedFilePath(windows, "fw\\h.tup"), "C:/Upd/fw/h.tup");
}

// What both programs show of a load, in order: the status text for ignored
// character files, then the message box of the problem; the version labels
// change only when the package loaded. The world keeps the last description.
TEST_F(Describing, ProgramsShowTheProblemAsABoxAndTheVersionsOnTheLabels) {
  dir.Write("h.tup", FirmwareFile(1, 5));
  dir.Write("kaputt.tup", FirmwareFile(1, 5, 3, 11, 9, 1, "x"));
  dir.Write("ordner/x", "");
  std::string many;
  for (int i = 0; i < 101; i++) many += "ZEICHEN=z.bin\n";
  const std::string notOpened = "\rDie Update-Datei kann nicht geöffnet werden!";
  const std::pair<std::string, std::string> cases[] = {
      {dir.Write("gut.tup", "FUNK=h.tup\nFUNKVERSION=1.5\nZENTRALEVERSION=2\n"), "1,5/2"},
      {dir.Folder() + "fehlt.tup", "Fehler!|@fehlt.tup" + notOpened},
      {dir.Folder() + "ordner", "Fehler!|@ordner\rkeine Datei, sondern ein Ordner!"},
      {dir.Write("text.tup", "; nichts\n"), "Fehler!|Keine Update-Datei: @text.tup"},
      {dir.Write("z.tup", "ZENTRALE=fehlt.tup\n"), "Achtung!|Updatefile nicht vorhanden!"},
      {dir.Write("o.tup", "FUNK=ordner\n"), "Achtung!|@ordner\rkeine Datei, sondern ein Ordner!"},
      {dir.Write("k.tup", "FUNK=kaputt.tup\n"), "Achtung!|Falsches Fileformat!"},
      {dir.Write("v.tup", many + "FUNK=h.tup\n"),
       "Mehr als 100 Zeichendateien: weitere ignoriert\nFehler|Falsche Version!"},
      {dir.Write("viele.tup", many), "Mehr als 100 Zeichendateien: weitere ignoriert\n/"},
  };
  test::World w;
  std::string shown;
  w.host.onStatus = [&](const std::string& s) { shown += s + "\n"; };
  w.host.onMessage = [&](const RecordedMessage& m) {
    shown += m.title + "|" + m.text;
    EXPECT_EQ(m.icon, Icon::Stop);
  };
  for (const auto& [path, expected] : cases) {
    SCOPED_TRACE(path);
    shown.clear();
    w.host.radioLabel = w.host.digitalSetLabel = "alt";
    const bool loaded = LoadUpdateDescription(w.ctx, path);
    if (loaded) shown += w.host.radioLabel + "/" + w.host.digitalSetLabel;
    EXPECT_EQ(shown, InFolder(expected));
    if (!loaded) {
      EXPECT_EQ(w.host.radioLabel + w.host.digitalSetLabel, "altalt");
    }
    EXPECT_EQ(w.ctx.desc.updateFolder, FolderOfPath(path));
  }
}

TEST(VersionNumber, ReadsTheLeadingNumberAndLabelsItWithAComma) {
  const std::pair<const char*, double> cases[] = {
      {"  1.5  ", 1.5}, {"1 . 5", 1.5},  {"1.5 vom: 3.11.9", 1.5},
      {"1,5", 1},       {"1.05", 1.05},  {"1.2.3", 1.2},
      {".5", 0.5},      {"-2.5x", -2.5}, {"7\r", 7},
      {"", 0},          {"v1.5", 0},     {"+1.5", 1.5},
      {"-.5", -0.5},    {"5.", 5},       {"19.9", 19.9}};
  for (const auto& [text, number] : cases) EXPECT_EQ(ReadLeadingNumber(text), number) << text;
  EXPECT_EQ(ReadLeadingNumber("1" + std::string(400, '0')), HUGE_VAL);
  EXPECT_EQ(ReadLeadingNumber("0." + std::string(400, '0') + "1"), 0);
  EXPECT_EQ(FormatUserNumber(1.05) + " " + FormatUserNumber(0) + " " + FormatUserNumber(-1.5),
            "1,05 0 -1,5");
}

TEST(TextFiles, DecodingLinesAndUpperCase) {
  EXPECT_EQ(DecodeTextFile("Gr\xFCn \x80"), "Grün €");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFGrün €"), "Grün €");
  EXPECT_EQ(DecodeTextFile("\xC3\xBC \xFC"), "Ã¼ ü") << "one stray byte: all Windows-1252";
  const std::pair<const char*, const char*> noUtf8[] = {// overlong, surrogates, too large
                                                        {"\xC0\xAF", "À¯"},
                                                        {"\xED\xA0\x80", "í\u00A0€"},
                                                        {"\xED\xBF\xBF", "í¿¿"},
                                                        {"\xF4\x90\x80\x80", "ô\uFFFD€€"}};
  for (const auto& [bytes, text] : noUtf8) EXPECT_EQ(DecodeTextFile(bytes), text);
  EXPECT_EQ(Utf8Prefix("a\uFFFDあ😀b", 4), "a\uFFFDあ😀") << "cut between characters";
  EXPECT_EQ(Utf8ToCp1252("Grün €Ω"), "Gr\xFCn \x80?");
  EXPECT_EQ(SplitLines("a\r\n\r\nb\nc\r"), (Texts{"a", "", "b", "c"}));
  EXPECT_EQ(SplitLines("a\rb\n"), (Texts{"a\rb"}));
  EXPECT_EQ(ToUpperText("grün äöü ß 5 œ ÿ é þ š ž ÷"), "GRÜN ÄÖÜ ß 5 Œ Ÿ É Þ Š Ž ÷");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF"), "");
  EXPECT_EQ(ToUpperText(DecodeTextFile("a😀\U00010000")), "A😀\U00010000") << "four bytes in UTF-8";

  // Every byte from 0x80 on, and back; the five unassigned ones come back as '?'.
  std::string high;
  for (int b = 0x80; b <= 0xFF; b++) high += static_cast<char>(b);
  std::string latin1 = "\u00A0";
  for (int b = 0xA1; b <= 0xFF; b++) latin1 += {char(0xC0 | b >> 6), char(0x80 | (b & 0x3F))};
  const std::string windows = "€\uFFFD‚ƒ„…†‡ˆ‰Š‹Œ\uFFFDŽ\uFFFD\uFFFD‘’“”•–—˜™š›œ\uFFFDžŸ";
  EXPECT_EQ(DecodeTextFile(high), windows + latin1);
  std::string back = high;
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) back[b - 0x80] = '?';
  EXPECT_EQ(Utf8ToCp1252(windows + latin1), back);
}

TEST_F(Describing, FirmwareFileCheckGivesVersionAndDateOrRefuses) {
  const std::string image = FirmwareFile(1, 5);
  const std::optional<K> format = K::FirmwareWrongFormat;
  const struct {
    std::string path;
    std::optional<K> problem;
    const char* texts;  // version and date
  } cases[] = {
      {dir.Write("a.tup", FirmwareFile(1, 50, 0, 0, 0)), {}, "1.50 0.0.0"},
      {dir.Write("b.tup", FirmwareFile(255, 0, 31, 12, 255, 0) + "trailing"),
       {},
       "255.0 31.12.255"},
      {dir.Write("case.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "fennikmoor 58400 update file version 1.00")),
       format, " "},
      {dir.Write("first.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "Xennikmoor 58400 Update File Version 1.00")),
       format, " "},
      {dir.Write("other.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "Fennikmoor 58400 Update File Version 1.01")),
       format, " "},
      {dir.Write("empty.tup", ""), format, " "},
      {dir.Write("header.tup", image.substr(0, 41)), format, " "},
      {dir.Write("cut.tup", image.substr(0, 45)), format, " "},
      {dir.Write("bare.tup", image.substr(0, 46)), {}, "1.5 3.11.9"}};
  HeldFiles held;
  for (const auto& c : cases) {
    const FirmwareHeader header = CheckUpdateFile(held, c.path);
    EXPECT_EQ(header.problem ? std::optional(header.problem->kind) : std::nullopt, c.problem)
        << c.path;
    EXPECT_EQ(header.problem ? header.problem->file : c.path, c.path);
    EXPECT_EQ(header.versionText + " " + header.dateText, c.texts);
  }
}

// Records in order, a short file ending without handing out bytes beyond it, and the
// rewind by eight records (never before the first).
TEST(FirmwareReader, RecordsRewindAndShortFiles) {
  testfiles::TempDir dir;
  HeldFiles held;
  FirmwareReader reader;
  ASSERT_TRUE(reader.Open(held, dir.Write("h.tup", FirmwareFile(1, 5))));
  EXPECT_EQ(reader.VersionText() + " " + reader.DateText(), "1.5 3.11.9");
  int block = 0;
  std::array<int, 65> data{};
  auto next = [&] {
    EXPECT_TRUE(reader.ReadRecord(block, data));
    return block;
  };
  auto rewound = [&] {
    reader.Rewind528();
    return next();
  };
  EXPECT_EQ(rewound(), 0) << "never before the first record";
  for (int k = 1; k <= 3; k++) EXPECT_EQ(next(), k);
  EXPECT_EQ(rewound(), 0);
  while (block < 15) next();
  EXPECT_EQ(rewound(), 8);
  for (int k = 9; k < BlockRecordCount; k++) {
    ASSERT_EQ(next(), k);
    for (int i : {0, 63}) EXPECT_EQ(data[i], ImageByte(k, i));
    EXPECT_EQ(data[64], 0);
  }
  EXPECT_FALSE(reader.ReadRecord(block, data));

  const std::string image = FirmwareFile(1, 5, 3, 11, 9, 11);
  ASSERT_TRUE(reader.Open(held, dir.Write("short.tup", image.substr(0, image.size() - 36))));
  for (int k = 0; k < 10; k++) next();
  data.fill(0x55);
  EXPECT_FALSE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, -1);
  EXPECT_EQ(data, (std::array<int, 65>{}));
  EXPECT_EQ(rewound(), 2) << "the read position stays where it was";
  reader.Close();
  EXPECT_FALSE(reader.ReadRecord(block, data));
  EXPECT_FALSE(reader.Open(held, dir.Write("tiny.tup", image.substr(0, 45))));
  EXPECT_TRUE(reader.Open(held, dir.Write("other.tup", "x" + image.substr(1))))
      << "the header is not compared again";
}

// The codes written for a text at buf[start ..]; nothing around them may change.
Codes Convert(const std::string& text, int width, int start = 100) {
  std::array<int, 513> buf;
  buf.fill(-7);
  TextToDisplayCodes(text, buf, start, width);
  EXPECT_EQ(buf[start - 1], -7);
  EXPECT_EQ(buf[start + std::max(width, 0)], -7);
  return Codes(buf.begin() + start, buf.begin() + start + std::max(width, 0));
}

TEST(DisplayCode, RoundTripsAndTextsUpperCasedPaddedCutUnknownAsBlank) {
  std::array<int, 513> buf{};
  for (int code = 0; code < 256; code++) buf[code] = code;
  const std::string all = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÜ +-.:/=_?<>^|]";
  EXPECT_EQ(DisplayCodesToText(buf, 0, 256), all + std::string(203, '&'));
  TextToDisplayCodes(all, buf, 300, 53);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 53, buf.begin() + 300));
  for (const char* c : {"ß", "!", "&", "a", "ä", "€", "", "AB"}) {
    EXPECT_EQ(CharToDisplayCode(c), BlankDisplayCode) << c;
  }
  EXPECT_EQ(Convert("Grün 5", 6), (Codes{16, 27, 38, 23, 39, 5}));
  EXPECT_EQ(Convert("ab", 5), (Codes{10, 11, 39, 39, 39}));
  EXPECT_EQ(Convert("ß!&x", 3), (Codes{39, 39, 39}));
  EXPECT_EQ(Convert("", 2), (Codes{39, 39}));
  EXPECT_TRUE(Convert("abc", 0).empty());
}

}  // namespace
}  // namespace skyrelay
