// The files of an update package as loaded: the description (keys, values,
// firmware checks, version labels), the firmware file and its record reader, the
// text decoding and number reading, and the display code texts become.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <string>

#include "config_test_files.h"
#include "run/context.h"
#include "package/description.h"
#include "package/display_code.h"
#include "package/firmware_file.h"
#include "package/numbers.h"
#include "core/text_codec.h"
#include "support.h"

namespace skyrelay {
namespace {

using testfiles::FirmwareFile;
using testfiles::ImageByte;
using Codes = std::vector<int>;
using Texts = std::vector<std::string>;

struct DescriptionLoad : ::testing::Test, test::World {
  void Load(const std::string& bytes) {
    host.messages.clear();
    host.funkLabel = host.zentraleLabel = "alt";
    ParseUpdateDescription(ctx, dir.Write("paket.tup", bytes));
  }
  std::string Messages() const { return test::ShownText(host); }
  // `text` with every '@' replaced by the description's folder.
  std::string InFolder(std::string text) const {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir.Folder());
    return text;
  }
  testfiles::TempDir dir;
};

TEST_F(DescriptionLoad, KeysInAnyCaseAnywhereInTheLineWithCrLfOrLfAndUmlauts) {
  const std::string lf =
      "; Beispiel\n  deutsch=Texte DE.txt \nBemerkung: Englisch=en.TXT\nXNL=texte.txt\n"
      "PolNisch=alt.txt\nPOLNISCH=pl.txt WEICHENLISTE=l.bin\nweichensymbole=sym.bin\nZEICHEN=a.bin";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, crlf + "\r"}) {
    Load(text);
    const auto& d = ctx.desc;
    EXPECT_EQ(d.LanguageFiles[0] + "|" + d.LanguageFiles[1] + "|" + d.LanguageFiles[4] + "|" +
                  d.LanguageFiles[10],
              "Texte DE.txt |en.TXT|texte.txt|pl.txt WEICHENLISTE=l.bin");
    EXPECT_EQ(d.TurnoutSymbolFile + "|" + d.TurnoutListFile + "|" + d.CharacterFiles[1],
              "sym.bin|l.bin|a.bin");
    EXPECT_EQ(d.UpdateFolder, dir.Folder());
    EXPECT_TRUE(host.messages.empty() && host.statuses.empty());
  }
  // The value is taken at the key's character position, in Windows-1252 or UTF-8.
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
  std::string many;
  for (int i = 1; i <= 102; i++) many += "ZEICHEN=z" + std::to_string(i) + ".bin\r\n";
  Load(many);
  EXPECT_EQ(ctx.desc.CharacterFileCount, 100);
  EXPECT_EQ(ctx.desc.CharacterFiles[1] + ctx.desc.CharacterFiles[100], "z1.binz100.bin");
  EXPECT_EQ(host.statuses, Texts{"Mehr als 100 Zeichendateien: weitere ignoriert"});
}

TEST_F(DescriptionLoad, ReloadReplacesEverythingAndAMissingFileIsNamed) {
  dir.Write("f.tup", FirmwareFile(1, 5));
  Load("FUNK=f.tup\nFUNKVERSION=1.5\nDEUTSCH=de.txt\nWEICHENLISTE=l.bin\nZEICHEN=1.bin\n");
  ASSERT_EQ(ctx.desc.FunkFirmwarePath, dir.Folder() + "f.tup");
  ParseUpdateDescription(ctx, dir.Write("sub/other.tup", "ENGLISCH=en.txt\r\n"));
  const auto& d = ctx.desc;
  EXPECT_EQ(d.UpdateFolder, dir.Folder() + "sub/");
  EXPECT_EQ(d.LanguageFiles[1], "en.txt");
  EXPECT_EQ(d.FunkFirmwarePath + d.LanguageFiles[0] + d.TurnoutListFile + d.CharacterFiles[1] +
                host.funkLabel,
            "");
  EXPECT_EQ(d.CharacterFileCount, 0);

  Load("DEUTSCH=de.txt\nFUNKVERSION=1.5\n");
  ParseUpdateDescription(ctx, dir.Folder() + "fehlt.tup");
  EXPECT_EQ(Messages(),
            "Fehler!|" + dir.Folder() + "fehlt.tup\rDie Update-Datei kann nicht geöffnet werden!");
  EXPECT_EQ(host.messages[0].icon, Icon::Stop);
  EXPECT_EQ(ctx.desc.LanguageFiles[0], "");
  EXPECT_EQ(host.funkLabel, "1,5") << "the labels are left alone";
}

TEST_F(DescriptionLoad, FirmwareFilesAndVersionsZentraleFirst) {
  dir.Write("h.tup", FirmwareFile(1, 5));
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
      {"FUNK=h1.tup\nFUNKVERSION=1,5\n", "", "1/", "@h1.tup|"},
      {"FUNK=h.tup\nFUNKVERSION=1.05\n", wrong, "alt/alt", "h.tup|"},
      {"FUNK=h.tup\n", wrong, "alt/alt", "h.tup|"},
      {"FUNK=null.tup\nZENTRALEVERSION=3.25\n", "", "/3,25", "@null.tup|"},
      {"FUNKVERSION=2.10\n", "", "2,1/", "|"},
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
  EXPECT_EQ(DescribedFilePath(ctx, "Texte\\.\\..\\TEXTE\\DE.txt"),
            dir.Folder() + "texte/./../texte/de.txt");
  // The exact spelling wins; a part that matches nothing stays as written.
  dir.Write("FW/H.TUP", "");
  for (const char* name : {"fw\\h.tup", "FW\\H.TUP", "FEHLT\\de.txt"}) {
    std::string expected = name;
    expected.replace(expected.find('\\'), 1, "/");
    EXPECT_EQ(DescribedFilePath(ctx, name), dir.Folder() + expected);
  }
  ctx.desc.UpdateFolder = FolderOfPath("C:\\Upd\\paket.tup");
  EXPECT_EQ(DescribedFilePath(ctx, "fw\\h.tup"), "C:/Upd/fw/h.tup");
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

TEST_F(DescriptionLoad, FirmwareFileCheckGivesVersionAndDateOrRefuses) {
  const std::string image = FirmwareFile(1, 5), format = "1 - - Achtung!|Falsches Fileformat!";
  const std::pair<std::string, std::string> cases[] = {
      {dir.Write("a.tup", FirmwareFile(1, 50, 0, 0, 0)), "0 1.50 0.0.0 "},
      {dir.Write("b.tup", FirmwareFile(255, 0, 31, 12, 255, 0) + "trailing"), "0 255.0 31.12.255 "},
      {dir.Folder() + "missing.tup", "1 - - Achtung!|Updatefile nicht vorhanden!"},
      {dir.Folder(), "1 - - Achtung!|" + dir.Folder() + "\rkeine Datei, sondern ein Ordner!"},
      {dir.Write("case.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "fennikmoor 58400 update file version 1.00")),
       format},
      {dir.Write("first.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "Xennikmoor 58400 Update File Version 1.00")),
       format},
      {dir.Write("other.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "Fennikmoor 58400 Update File Version 1.01")),
       format},
      {dir.Write("empty.tup", ""), format},
      {dir.Write("header.tup", image.substr(0, 41)), format},
      {dir.Write("cut.tup", image.substr(0, 45)), format},
      {dir.Write("bare.tup", image.substr(0, 46)), "0 1.5 3.11.9 "}};
  for (const auto& [path, outcome] : cases) {
    host.messages.clear();
    std::string version = "-", date = "-";
    int flag = 0;
    CheckUpdateFile(ctx, path, version, date, flag);
    EXPECT_EQ(std::to_string(flag) + " " + version + " " + date + " " + Messages(), outcome);
  }
}

// Records in order, a short file ending without handing out bytes beyond it, and the
// rewind by eight records (never before the first).
TEST(FirmwareReader, RecordsRewindAndShortFiles) {
  testfiles::TempDir dir;
  test::World world;
  Context& ctx = world.ctx;
  FirmwareReader reader;
  ASSERT_TRUE(reader.Open(ctx, dir.Write("h.tup", FirmwareFile(1, 5))));
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
  EXPECT_EQ(reader.Position(), FirmwareFileSize);
  reader.Close();
  EXPECT_FALSE(reader.ReadRecord(block, data));

  const std::string image = FirmwareFile(1, 5, 3, 11, 9, 11);
  ASSERT_TRUE(reader.Open(ctx, dir.Write("short.tup", image.substr(0, image.size() - 36))));
  for (int k = 0; k < 10; k++) next();
  const long position = reader.Position();
  data.fill(0x55);
  EXPECT_FALSE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, -1);
  EXPECT_EQ(data, (std::array<int, 65>{}));
  EXPECT_EQ(reader.Position(), position);
  EXPECT_EQ(rewound(), 2);
  EXPECT_FALSE(reader.Open(ctx, dir.Write("tiny.tup", image.substr(0, 45))));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_TRUE(reader.Open(ctx, dir.Write("other.tup", "x" + image.substr(1))))
      << "the header is not compared again";
}

struct DisplayCode : ::testing::Test, test::World {
  DisplayCode() { BuildDisplayCodeTable(ctx); }
  // The codes written for a text; nothing around them may change.
  Codes Convert(const std::string& text, int width, int start = 100) {
    buf.fill(-7);
    TextToDisplayCodes(ctx, text, buf, start, width);
    EXPECT_EQ(buf[start - 1], -7);
    EXPECT_EQ(buf[start + std::max(width, 0)], -7);
    return Codes(buf.begin() + start, buf.begin() + start + std::max(width, 0));
  }
  std::array<int, 513> buf{};
};

TEST_F(DisplayCode, TableRoundTripsAndTextsUpperCasedPaddedCutUnknownAsBlank) {
  for (int code = 0; code < 256; code++) buf[code] = code;
  const std::string all = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÜ +-.:/=_?<>^|]";
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 0, 256), all + std::string(203, '&'));
  EXPECT_EQ(ctx.display.LastDisplayCode, 52);
  TextToDisplayCodes(ctx, all, buf, 300, 53);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 53, buf.begin() + 300));
  ctx.display.DisplayCodeTable[5] = "x";
  ctx.display.LastDisplayCode = 3;
  BuildDisplayCodeTable(ctx);
  EXPECT_EQ(ctx.display.DisplayCodeTable[5] + std::to_string(ctx.display.LastDisplayCode), "552");
  EXPECT_EQ(CharToDisplayCode(ctx, "Q"), 26);
  for (const char* c : {"ß", "!", "&", "a", "ä", "€", "", "AB"}) {
    EXPECT_EQ(CharToDisplayCode(ctx, c), BlankDisplayCode) << c;
  }
  EXPECT_EQ(Convert("Grün 5", 6), (Codes{16, 27, 38, 23, 39, 5}));
  EXPECT_EQ(Convert("ab", 5), (Codes{10, 11, 39, 39, 39}));
  EXPECT_EQ(Convert("ß!&x", 3), (Codes{39, 39, 39}));
  EXPECT_EQ(Convert("", 2), (Codes{39, 39}));
  EXPECT_TRUE(Convert("abc", 0).empty());
  EXPECT_TRUE(Convert("abc", -4).empty());
}

TEST_F(DisplayCode, ConversionsStayInsideTheArrayAndUseTheLowByte) {
  buf.fill(-7);
  TextToDisplayCodes(ctx, "ABCDE", buf, 510, 5);
  EXPECT_EQ(Codes(buf.begin() + 509, buf.end()), (Codes{-7, 10, 11, 12}));
  buf.fill(-7);
  TextToDisplayCodes(ctx, "ABCD", buf, -2, 4);
  EXPECT_EQ(Codes(buf.begin(), buf.begin() + 3), (Codes{12, 13, -7}));
  buf.fill(-7);
  TextToDisplayCodes(ctx, "A", buf, INT_MAX, INT_MAX);
  TextToDisplayCodes(ctx, "A", buf, INT_MIN, 3);
  EXPECT_EQ(std::count(buf.begin(), buf.end(), -7), 513);

  buf.fill(10);
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 511, 5), "AA");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, -1, 2), "A");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, INT_MAX, INT_MAX), "");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, INT_MIN, 2), "");
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 0, -3), "");
  buf[1] = 256 + 17;
  buf[2] = -1;
  buf[3] = 0x1000;
  EXPECT_EQ(DisplayCodesToText(ctx, buf, 1, 3), "H&0");
}

}  // namespace
}  // namespace skyrelay
