// The configuration data transfer against the simulated LocoNet, in virtual
// time: what ends up in the handheld's DataFlash, what the user is told, and
// what happens with bad files and a handheld that stops answering.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "config/description.h"
#include "config/display_code.h"
#include "config/text_codec.h"
#include "config/transfer.h"
#include "config_test_files.h"
#include "protocol/flash.h"
#include "sim/package.h"
#include "sim/sim.h"
#include "update/firmware_update.h"
#include "update/identify.h"
#include "update/update_run.h"

namespace skyrelay {
namespace {

using Bytes = sim::ByteVector;

const char* const kLanguageKeys[11] = {
    "DEUTSCH=",    "ENGLISCH=", "FRANZOESISCH=", "ITALIENISCH=", "NL=",      "SPANISCH=",
    "SCHWEDISCH=", "DAENISCH=", "CATALAN=",      "TSCHECHISCH=", "POLNISCH="};

// Text t of language n in the test files: a letter for the language, then a
// generated word, so that a text in the wrong language area shows.
std::string TestText(int language, int t) {
  return std::string(1, static_cast<char>('A' + language)) +
         sim::LanguageText(language == 0 ? "deutsch" : "english", t);
}

std::string Hex2(int t) {
  char s[3];
  std::snprintf(s, sizeof s, "%02X", t);
  return s;
}

// Lines "NN: text" for the given text numbers; even languages in Windows-1252,
// odd ones in UTF-8.
std::string LanguageLines(int language, const std::vector<int>& numbers) {
  std::string out;
  for (int t : numbers) out += Hex2(t) + ": " + TestText(language, t) + "\r\n";
  return language % 2 == 0 ? Utf8ToCp1252(out) : out;
}

std::vector<int> FirstTexts(int count) {
  std::vector<int> numbers(count);
  for (int t = 0; t < count; t++) numbers[t] = t;
  return numbers;
}

// A pattern for flash areas that must keep their content.
Bytes Pattern(size_t count, int seed) {
  Bytes out(count);
  for (size_t i = 0; i < count; i++) out[i] = static_cast<uint8_t>(seed * 37 + i * 11);
  return out;
}

struct ConfWorld {
  testfiles::TempDir dir;
  sim::SimLoNet sim;
  VirtualHost host{&sim};
  Context ctx{host};

  ConfWorld() {
    host.Attach(&ctx);
    host.Port().Open();
    ctx.settings.InterfaceKind = 3;
    BuildDisplayCodeTable(ctx);
  }

  void Put(const std::string& name, const std::string& bytes) { dir.Write(name, bytes); }
  void Put(const std::string& name, const Bytes& bytes) {
    dir.Write(name, std::string(bytes.begin(), bytes.end()));
  }
  // Writes the description (names written Windows-style) and loads it.
  void Describe(const std::string& lines) {
    ParseUpdateDescription(ctx, dir.Write("paket.tup", lines));
    ASSERT_TRUE(host.messages.empty()) << host.messages[0].text;
  }
  int Transfer() {
    int flag = -1;
    TransferConfiguration(ctx, flag);
    return flag;
  }

  Bytes Flash(uint32_t address, size_t count) const { return sim.flash.Read(address, count); }
  // A text slot decoded back through the display code; "" for an erased slot.
  std::string SlotText(int language, int t) const {
    const Bytes slot = sim.TextSlot(language, t);
    std::array<int, 513> codes{};
    std::copy(slot.begin() + 1, slot.end(), codes.begin());
    return DisplayCodesToText(ctx, codes, 0, static_cast<int>(slot.size()) - 1);
  }
  bool Showed(const std::string& status) const {
    return std::find(host.statuses.begin(), host.statuses.end(), status) != host.statuses.end();
  }
  size_t StatusIndex(const std::string& status) const {
    return std::find(host.statuses.begin(), host.statuses.end(), status) - host.statuses.begin();
  }
};

// What a text becomes in the handheld: upper case, at most 21 characters.
std::string Stored(const std::string& text) {
  std::vector<std::string> chars = Utf8Characters(ToUpperText(text));
  chars.resize(std::min<size_t>(chars.size(), 21));
  std::string out;
  for (const auto& c : chars) out += c;
  return out;
}

// Turnout and character files of a whole package, and their description lines.
std::string PutTurnoutAndCharacterFiles(ConfWorld& w) {
  Bytes symbols = sim::TurnoutSymbolBytes(1);
  symbols[2 * 77 + 1] = 0x01;  // value 77 = 0x100 + low byte: only the low byte goes in
  Bytes assignment = sim::TurnoutAssignmentBytes(2);
  assignment[2 * 2560] = 0x5A;  // the last value is read and not used
  w.Put("weichen/symbole.bin", symbols);
  w.Put("weichen/zuordnung.bin", assignment);
  w.Put("weichen/liste.bin", sim::TurnoutListBytes(3));
  w.Put("zeichen/z1.bin", sim::CharacterBytes(1, 2, 1));
  w.Put("zeichen/z2.bin", sim::CharacterBytes(0, 64, 2));
  w.Put("zeichen/z3.bin", sim::CharacterBytes(1, 1, 3));
  return "WEICHENSYMBOLE=weichen\\symbole.bin\r\nWEICHENZUORDNUNG=weichen\\zuordnung.bin\r\n"
         "WEICHENLISTE=weichen\\liste.bin\r\n"
         "ZEICHEN=zeichen\\z1.bin\r\nZEICHEN=zeichen\\z2.bin\r\nZEICHEN=zeichen\\z3.bin\r\n";
}

// The flash the turnout and character files of PutTurnoutAndCharacterFiles must leave.
void ExpectTurnoutAndCharacterData(const ConfWorld& w, const Bytes& listPageBefore,
                                   const Bytes& characterPageBefore) {
  Bytes symbols(16384);
  for (int i = 0; i < 16384; i++) symbols[i] = sim::TurnoutValue(1, i);
  EXPECT_EQ(w.Flash(SymbolAreaBase, 16384), symbols) << "all 32 values of every row";
  EXPECT_EQ(w.Flash(0xF8260, 1)[0], sim::TurnoutValue(1, 9 * 64 + 32)) << "symbol 9 row 1";

  Bytes assignment(2560);
  for (int v = 0; v < 2560; v++) assignment[v] = sim::TurnoutValue(2, v);
  EXPECT_EQ(w.Flash(AssignmentAreaBase, 2560), assignment);
  EXPECT_EQ(w.Flash(0xE09FF, 1)[0], sim::TurnoutValue(2, 2559));
  EXPECT_EQ(w.Flash(0xE0A00, 512), Bytes(512, 0xFF)) << "value 2560 is never sent";

  Bytes listPage = listPageBefore;
  for (int v = 0; v < 256; v++) listPage[8 + v] = sim::TurnoutValue(3, v);
  EXPECT_EQ(w.Flash(TurnoutListPage, 512), listPage) << "bytes 0-7 and 264-511 kept";

  const Bytes c1 = sim::CharacterBytes(1, 2, 1), c2 = sim::CharacterBytes(0, 64, 2),
              c3 = sim::CharacterBytes(1, 1, 3);
  Bytes characterPage = characterPageBefore;                        // page 1 of the character area
  std::copy(c2.begin() + 2, c2.end(), characterPage.begin());       // 0, 64 is 1, 0: 0xFC200
  std::copy(c3.begin() + 2, c3.end(), characterPage.begin() + 8);   // 0xFC208
  std::copy(c1.begin() + 2, c1.end(), characterPage.begin() + 16);  // 0xFC210
  EXPECT_EQ(w.Flash(CharacterAreaBase + 512, 512), characterPage);
}

TEST(Configuration, EveryLanguageTurnoutsAndCharactersLandInPlace) {
  ConfWorld w;
  std::string tup = "; Konfiguration\r\n";
  std::vector<std::vector<int>> numbers(11, {0, 1, 2, 3, 4, 15, 16, 17});
  numbers[3] = FirstTexts(256);
  numbers[2] = {0, 4, 20};
  for (int n = 0; n < 11; n++) {
    if (n == 1) continue;  // the file with the edge cases, below
    std::string lines = LanguageLines(n, numbers[n]);
    if (n == 10) lines += "FF: Letzter Text\r\n";
    w.Put("texte/" + std::to_string(n) + ".txt", lines);
    tup += std::string(kLanguageKeys[n]) + "texte\\" + std::to_string(n) + ".txt\r\n";
  }
  w.Put("texte/1.txt",
        "0A: Bahnhof\r\n1f:Stop\r\n05:\r\n20: Fünfundzwanzig Zeichen!!!\r\n30: Grün 5\n");
  tup += "ENGLISCH=texte\\1.txt\r\n";
  tup += PutTurnoutAndCharacterFiles(w);
  w.Describe(tup);

  // Areas that must keep what they hold: the pages of language 2, the list page,
  // a page of characters and the rest of the settings page.
  w.sim.flash.Write(LanguageTextBase + 2 * 0x2000, Pattern(1024, 1));
  w.sim.flash.Write(TurnoutListPage, Pattern(512, 2));
  w.sim.flash.Write(CharacterAreaBase + 512, Pattern(512, 3));
  w.sim.flash.Write(SettingsBlockAddress + 128, Pattern(384, 4));
  const Bytes settingsBefore = w.Flash(SettingsBlockAddress, 512);

  EXPECT_EQ(w.Transfer(), 0);
  EXPECT_TRUE(w.host.messages.empty()) << w.host.messages[0].text;

  for (int n = 0; n < 11; n++) {
    if (n == 1) continue;
    for (int t : numbers[n]) EXPECT_EQ(w.SlotText(n, t), Stored(TestText(n, t))) << n << " " << t;
  }
  EXPECT_EQ(w.SlotText(0, 51), "FREI") << "texts the file does not name stay";
  EXPECT_EQ(w.SlotText(4, 5), "");
  // Language 2: texts 0, 4 and 20 written; the rest of their pages untouched.
  const Bytes before = Pattern(1024, 1);
  const Bytes after = w.Flash(LanguageTextBase + 2 * 0x2000, 1024);
  for (int slot = 0; slot < 32; slot++) {
    if (slot == 0 || slot == 4 || slot == 20) continue;
    EXPECT_TRUE(std::equal(after.begin() + 32 * slot, after.begin() + 32 * slot + 32,
                           before.begin() + 32 * slot))
        << "slot " << slot;
  }
  // A slot: length, the codes, blanks after them.
  Bytes slot4(32, BlankDisplayCode);
  const std::string text4 = Stored(TestText(2, 4));
  slot4[0] = static_cast<uint8_t>(Utf8Characters(text4).size());
  for (size_t k = 0; k < slot4[0]; k++) {
    slot4[1 + k] = static_cast<uint8_t>(CharToDisplayCode(w.ctx, Utf8Characters(text4)[k]));
  }
  EXPECT_EQ(w.Flash(LanguageTextBase + 2 * 0x2000 + 4 * 32, 32), slot4);

  // The edge cases of the language file format.
  const uint32_t english = LanguageTextBase + 0x2000;
  EXPECT_EQ(w.SlotText(1, 10), "BAHNHOF");
  EXPECT_EQ(w.Flash(english + 320, 1)[0], 7) << "text 0A at page 0, offset 320";
  EXPECT_EQ(w.SlotText(1, 0x1F), "TOP") << "position 4 is the separator";
  EXPECT_EQ(w.SlotText(1, 5), std::string(21, ' '));
  EXPECT_EQ(w.SlotText(1, 0x20), "FÜNFUNDZWANZIG ZEICHE");
  EXPECT_EQ(w.SlotText(1, 0x30), "GRÜN 5") << "a line ending in LF alone";
  EXPECT_EQ(w.Flash(0x135FE0, 1)[0], 12) << "text FF of language 10";
  EXPECT_EQ(w.SlotText(10, 0xFF), "LETZTER TEXT");
  EXPECT_TRUE(w.Showed("Sprache:1 Txt:10"));
  EXPECT_TRUE(w.Showed("Sprache:10 Txt:255"));

  ExpectTurnoutAndCharacterData(w, Pattern(512, 2), Pattern(512, 3));
  for (const char* s : {"Mag.Sym.:0", "Mag.Sym.:7", "Mag.Sym.:255", "SymZuord:0", "SymZuord:39",
                        "Weichenliste", "neue Konfiguration"}) {
    EXPECT_TRUE(w.Showed(s)) << s;
  }
  EXPECT_LT(w.StatusIndex("Weichenliste"), w.StatusIndex("neue Konfiguration"));

  Bytes settings = settingsBefore;
  settings[8] = 0;
  settings[9] = 1;
  settings[10] = 0;
  EXPECT_EQ(w.Flash(SettingsBlockAddress, 512), settings);
}

TEST(Configuration, LanguagesGoInTheirOrderAndBadLanguageFilesEndOnlyThemselves) {
  ConfWorld w;
  w.Put("en.txt", LanguageLines(1, {1, 2}));
  w.Put("pl.txt", LanguageLines(10, {3}));
  w.Describe("POLNISCH=pl.txt\r\nENGLISCH=en.txt\r\n");
  EXPECT_EQ(w.Transfer(), 0);
  const std::vector<std::string> expected = {"Sprache:1 Txt:1", "Sprache:1 Txt:2",
                                             "Sprache:10 Txt:3", "neue Konfiguration"};
  EXPECT_EQ(w.host.statuses, expected);

  // A blank line ends its file with a message; a missing file is reported; the
  // other files go on and the settings block is still rewritten.
  ConfWorld bad;
  bad.Put("de.txt", LanguageLines(0, {0, 1}) + "\r\n" + LanguageLines(0, {2}));
  bad.Put("fr.txt", "00: Gut\r\n01- Schlecht\r\n02: Nie\r\n");
  bad.Put("it.txt", LanguageLines(3, {7}));
  bad.Describe(
      "DEUTSCH=de.txt\r\nENGLISCH=fehlt.txt\r\nFRANZOESISCH=fr.txt\r\nITALIENISCH=it.txt\r\n");
  EXPECT_EQ(bad.Transfer(), 0);
  ASSERT_EQ(bad.host.messages.size(), 3u);
  const std::string folder = bad.dir.Folder();
  EXPECT_EQ(bad.host.messages[0].text, folder + "de.txt\rFalsche Dateiformat!");
  EXPECT_EQ(bad.host.messages[0].title, "Fehler!");
  EXPECT_EQ(bad.host.messages[0].icon, Icon::Stop);
  EXPECT_EQ(bad.host.messages[1].text, folder + "fehlt.txt\rDatei nicht gefunden!");
  EXPECT_EQ(bad.host.messages[1].title, "Fehler!");
  EXPECT_EQ(bad.host.messages[1].icon, Icon::Stop);
  EXPECT_EQ(bad.host.messages[2].text, folder + "fr.txt\rFalsche Dateiformat!");
  EXPECT_EQ(bad.SlotText(0, 1), Stored(TestText(0, 1)));
  EXPECT_EQ(bad.SlotText(0, 2), "") << "nothing after the blank line";
  EXPECT_EQ(bad.SlotText(2, 0), "GUT");
  EXPECT_EQ(bad.SlotText(2, 2), "");
  EXPECT_EQ(bad.SlotText(3, 7), Stored(TestText(3, 7)));
  EXPECT_EQ(bad.Flash(SettingsBlockAddress + 9, 1)[0], 1);
}

TEST(Configuration, UnusableTurnoutOrCharacterFilesWriteNothingOfThemselves) {
  struct Case {
    const char* key;
    const char* name;
    std::string bytes;  // empty: the file is missing
    std::string message;
    uint32_t untouched;  // an address the file would have written
  };
  const Bytes symbols = sim::TurnoutSymbolBytes(1);
  const Case cases[] = {
      {"WEICHENSYMBOLE=", "s.bin", "", "Datei nicht gefunden!", SymbolAreaBase},
      {"WEICHENSYMBOLE=", "s.bin", std::string(symbols.begin(), symbols.end() - 1),
       "Datei zu kurz: 32767 statt 32768 Bytes!", SymbolAreaBase},
      {"WEICHENZUORDNUNG=", "a.bin", std::string(5121, '\0'),
       "Datei zu kurz: 5121 statt 5122 Bytes!", AssignmentAreaBase},
      {"WEICHENLISTE=", "l.bin", std::string(511, '\0'), "Datei zu kurz: 511 statt 512 Bytes!",
       TurnoutListPage + 8},
      {"ZEICHEN=", "c.bin", "", "Datei nicht gefunden!", CharacterAreaBase + 512 * 2},
      {"ZEICHEN=", "c.bin", std::string("\x02\x00\x01\x02\x03\x04\x05\x06\x07", 9),
       "Datei zu kurz: 9 statt 10 Bytes!", CharacterAreaBase + 512 * 2},
  };
  for (const Case& c : cases) {
    ConfWorld w;
    // Two good character files first: they stay written when the third fails.
    w.Put("z1.bin", sim::CharacterBytes(1, 2, 1));
    w.Put("z2.bin", sim::CharacterBytes(1, 3, 2));
    if (!c.bytes.empty()) w.Put(c.name, c.bytes);
    w.Describe("ZEICHEN=z1.bin\r\nZEICHEN=z2.bin\r\n" + std::string(c.key) + c.name + "\r\n");
    const Bytes settingsBefore = w.Flash(SettingsBlockAddress, 128);
    EXPECT_EQ(w.Transfer(), 99) << c.message;
    ASSERT_EQ(w.host.messages.size(), 1u) << c.message;
    EXPECT_EQ(w.host.messages[0].text, w.dir.Folder() + c.name + "\r" + c.message);
    EXPECT_EQ(w.host.messages[0].title, "Fehler!");
    EXPECT_EQ(w.host.messages[0].icon, Icon::Stop);
    EXPECT_EQ(w.Flash(c.untouched, 8), Bytes(8, 0xFF)) << c.message;
    EXPECT_FALSE(w.Showed("neue Konfiguration")) << c.message;
    EXPECT_EQ(w.Flash(SettingsBlockAddress, 128), settingsBefore);
    if (std::string(c.key) == "ZEICHEN=") {
      EXPECT_EQ(w.sim.flash.pagePrograms, 2) << "the first two characters are written";
      const Bytes z2 = sim::CharacterBytes(1, 3, 2);
      EXPECT_EQ(w.Flash(0xFC218, 8), Bytes(z2.begin() + 2, z2.end()));
    } else {
      EXPECT_EQ(w.sim.flash.pagePrograms, 0) << "turnouts go before the characters";
    }
  }
}

TEST(Configuration, HandheldThatStopsAnsweringEndsWithItsTimeout) {
  ConfWorld w;
  w.Describe(PutTurnoutAndCharacterFiles(w));
  w.host.onStatus = [&](const std::string& s) {
    if (s == "Mag.Sym.:100") w.sim.handheld.present = false;
  };
  EXPECT_EQ(w.Transfer(), 1);
  ASSERT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(w.host.messages[0].text, "write_to_spibuf");
  EXPECT_EQ(w.host.messages[0].title, "Timeout");
  EXPECT_EQ(w.host.status, "Mag.Sym.:100");
  EXPECT_EQ(w.sim.flash.pagePrograms, 12) << "the pages of symbols 0 to 95";
  EXPECT_EQ(w.Flash(SymbolAreaBase + 64 * 96, 64 * 8), Bytes(64 * 8, 0xFF));
  EXPECT_LT(w.host.Now(), 60.0);

  // No handheld from the start: 21 attempts of send_pm01, then flag 1 and no flash touched.
  ConfWorld silent;
  silent.sim.handheld.present = false;
  silent.Describe(PutTurnoutAndCharacterFiles(silent));
  EXPECT_EQ(silent.Transfer(), 1);
  EXPECT_EQ(silent.host.status, "PM01= 20");
  EXPECT_TRUE(silent.host.messages.empty());
  EXPECT_EQ(silent.sim.flash.pagePrograms, 0);
}

TEST(Configuration, DescriptionWithoutConfigurationFilesStillRewritesTheSettings) {
  ConfWorld w;
  w.sim.flash.Write(SettingsBlockAddress + 128, Pattern(384, 5));
  Bytes settings = w.Flash(SettingsBlockAddress, 512);
  w.Describe("; nichts\r\n");
  EXPECT_EQ(w.Transfer(), 0);
  settings[8] = 0;
  settings[9] = 1;
  settings[10] = 0;
  EXPECT_EQ(w.Flash(SettingsBlockAddress, 512), settings);
  EXPECT_EQ(w.host.statuses, std::vector<std::string>{"neue Konfiguration"});
  EXPECT_EQ(w.sim.flash.pagePrograms, 1);
  EXPECT_TRUE(w.host.messages.empty());
}

TEST(Configuration, FullPackageInOneUpdateRun) {
  ConfWorld w;
  sim::FirmwareSpec firmware;
  w.Put("fw/funk.tup", sim::FirmwareFileBytes(firmware));
  std::string tup = "FUNK=fw\\funk.tup\r\nFUNKVERSION=2.1\r\n";
  for (int n = 0; n < 11; n++) {
    w.Put("texte/" + std::to_string(n) + ".txt", LanguageLines(n, FirstTexts(256)));
    tup += std::string(kLanguageKeys[n]) + "texte\\" + std::to_string(n) + ".txt\r\n";
  }
  tup += PutTurnoutAndCharacterFiles(w);
  w.Describe(tup);
  w.sim.flash.Write(TurnoutListPage, Pattern(512, 2));
  w.sim.flash.Write(CharacterAreaBase + 512, Pattern(512, 3));

  // The firmware stage ends with "Firmware ok!"; from there on the figures count
  // the configuration transfer alone.
  const auto cpuStart = std::clock();
  double transferStart = 0;
  long sentBefore = 0, receivedBefore = 0;
  w.host.onStatus = [&](const std::string& s) {
    if (s != "Firmware ok!") return;
    transferStart = w.host.Now();
    sentBefore = w.ctx.stats.messagesSent;
    receivedBefore = w.ctx.stats.messagesReceived;
  };
  RunUpdate(w.ctx);
  std::printf(
      "[ figures ] configuration transfer (11 x 256 texts, all turnout data, 3 characters): "
      "%ld messages sent, %ld received, %.1f s virtual; whole test %.3f s CPU\n",
      w.ctx.stats.messagesSent - sentBefore, w.ctx.stats.messagesReceived - receivedBefore,
      w.host.Now() - transferStart, double(std::clock() - cpuStart) / CLOCKS_PER_SEC);

  EXPECT_EQ(w.ctx.upd.firmwareOutcome, UpdateState::FirmwareOutcome::Ok);
  EXPECT_EQ(w.ctx.upd.configurationResult, 0);
  EXPECT_TRUE(LastRunSucceeded(w.ctx));
  EXPECT_EQ(w.host.status, "Update beendet");
  EXPECT_EQ(w.Flash(FlashImageBase, 497 * 64), sim::FirmwareImage(firmware));
  for (int n = 0; n < 11; n++) {
    for (int t = 0; t < 256; t++) {
      ASSERT_EQ(w.SlotText(n, t), Stored(TestText(n, t))) << n << " " << t;
    }
  }
  ExpectTurnoutAndCharacterData(w, Pattern(512, 2), Pattern(512, 3));
  EXPECT_EQ(w.Flash(SettingsBlockAddress + 8, 3), (Bytes{0, 1, 0}));
}

}  // namespace
}  // namespace skyrelay
