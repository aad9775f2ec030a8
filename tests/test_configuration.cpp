// The configuration data transfer against the simulated LocoNet, in virtual time:
// what ends up in the handheld's DataFlash and what the user is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "config/transfer.h"
#include "core/text_codec.h"
#include "package/display_code.h"
#include "run/update_run.h"
#include "support.h"
#include "update/firmware_update.h"
#include "update/identify.h"

namespace skyrelay {
namespace {

using Bytes = sim::ByteVector;
using Texts = std::vector<std::string>;

// Text t of language n, its first letter naming the language so a text in the wrong area shows.
std::string TestText(int language, int t) {
  return static_cast<char>('A' + language) +
         sim::LanguageText(language == 0 ? "deutsch" : "english", t);
}

// Lines "NN: text"; even languages in Windows-1252, odd ones in UTF-8.
std::string LanguageLines(int language, const std::vector<int>& numbers) {
  std::string out;
  char hex[3];
  for (int t : numbers) {
    std::snprintf(hex, sizeof hex, "%02X", t);
    out += hex + (": " + TestText(language, t)) + "\r\n";
  }
  return language % 2 == 0 ? Utf8ToCp1252(out) : out;
}

Bytes Pattern(size_t count, int seed) {
  Bytes out(count);
  for (size_t i = 0; i < count; i++) out[i] = static_cast<uint8_t>(seed * 37 + i * 11);
  return out;
}

// What a text becomes in the handheld: upper case, at most 21 characters.
Texts StoredChars(const std::string& text) {
  Texts chars = Utf8Characters(ToUpperText(text));
  chars.resize(std::min<size_t>(chars.size(), 21));
  return chars;
}

struct ConfWorld : test::RunWorld {
  ConfigurationEnd Transfer() {
    return (ctx.report.configuration = TransferConfiguration(host, ctx.handheld, ctx.desc)).end;
  }
  Bytes Flash(uint32_t address, size_t count) const { return sim.flash.Read(address, count); }
  // A text slot decoded back through the display code; "" for an erased slot.
  std::string SlotText(int language, int t) const {
    const Bytes slot = sim.TextSlot(language, t);
    std::array<int, 513> codes{};
    std::copy(slot.begin() + 1, slot.end(), codes.begin());
    return DisplayCodesToText(codes, 0, static_cast<int>(slot.size()) - 1);
  }
  std::string Stored(int language, int t) const {
    std::string out;
    for (const std::string& c : StoredChars(TestText(language, t))) out += c;
    return out;
  }
};

// Turnout and character files of a whole package; their description lines.
std::string PutTurnoutAndCharacterFiles(ConfWorld& w) {
  Bytes symbols = sim::TurnoutSymbolBytes(1);
  symbols[2 * 77 + 1] = 0x01;  // 0x100 + low byte: only the low byte goes in
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

TEST(Configuration, LanguageFilesInTheirOrderEdgeCasesBadFilesThenTheSettingsBlock) {
  ConfWorld w;
  w.dir.Write("de.txt", LanguageLines(0, {0, 1}) + "\r\n" + LanguageLines(0, {2}));
  w.dir.Write(
      "texte/en.txt",
      "0A: Bahnhof\r\n1f:Stop\r\n05:\r\n20: Fünfundzwanzig Zeichen!!!\r\n7z: Zug\r\n30: Grün 5\n");
  w.dir.Write("fr.txt", "00: Gut\r\n01- Schlecht\r\n02: Nie\r\n");
  w.dir.Write("it.txt", LanguageLines(3, {0, 4, 20}));
  w.dir.Write("pl.txt", LanguageLines(10, {0, 1}) + "FF: Letzter Text\r\n");
  w.Describe(
      "POLNISCH=pl.txt\r\nDEUTSCH=de.txt\r\nENGLISCH=texte\\en.txt\r\nFRANZOESISCH=fr.txt\r\n"
      "ITALIENISCH=it.txt\r\nSPANISCH=fehlt.txt\r\n");
  const uint32_t italian = LanguageTextBase + 3 * 0x2000, dutch = LanguageTextBase + 4 * 0x2000;
  w.sim.flash.Write(italian, Pattern(1024, 1));
  const Bytes dutchBefore = w.Flash(dutch, 0x2000);
  w.sim.flash.Write(SettingsBlockAddress + 128, Pattern(384, 5));
  Bytes settings = w.Flash(SettingsBlockAddress, 512);
  std::copy_n(Bytes{0, 1, 0}.begin(), 3, settings.begin() + 8);
  EXPECT_EQ(w.Transfer(), ConfigurationEnd::Done);
  const Texts& st = w.host.statuses;
  EXPECT_EQ(Texts(st.begin(), st.begin() + 2), (Texts{"Sprache:0 Txt:0", "Sprache:0 Txt:1"}));
  EXPECT_EQ(Texts(st.end() - 2, st.end()), (Texts{"Sprache:10 Txt:255", "neue Konfiguration"}));
  EXPECT_EQ(w.Flash(SettingsBlockAddress, 512), settings) << "the rest of its page kept";
  // The texts of all language files are one count; what cannot be read is not planned.
  const long texts = std::count_if(st.begin(), st.end(),
                                   [](const std::string& s) { return s.starts_with("Sprache:"); });
  const std::vector<RunProgress>& shown = w.host.progressShown;
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front().stageTotal, texts);
  EXPECT_EQ(shown[shown.size() - 3].stageDone, texts - 1);
  EXPECT_EQ(std::tuple(shown.back().stage, shown.back().stageDone, shown.back().stageTotal),
            std::tuple(ProgressStage::Settings, 1, 1));
  const std::string folder = w.dir.Folder();
  EXPECT_EQ(test::Shown(w.host), (Texts{"Fehler!|" + folder + "de.txt\rFalsche Dateiformat!",
                                        "Fehler!|" + folder + "fr.txt\rFalsche Dateiformat!",
                                        "Fehler!|" + folder + "fehlt.txt\rDatei nicht gefunden!"}));
  EXPECT_EQ(w.host.messages[0].icon, Icon::Stop);

  Bytes pages = Pattern(1024, 1);  // slot: length, codes, blanks
  for (int t : {0, 4, 20}) {
    const Texts chars = StoredChars(TestText(3, t));
    std::fill_n(pages.begin() + 32 * t, 32, BlankDisplayCode);
    pages[32 * t] = static_cast<uint8_t>(chars.size());
    for (size_t k = 0; k < chars.size(); k++) {
      pages[32 * t + 1 + k] = static_cast<uint8_t>(CharToDisplayCode(chars[k]));
    }
  }
  EXPECT_EQ(w.Flash(italian, 1024), pages);
  EXPECT_EQ(w.Flash(dutch, 0x2000), dutchBefore) << "undescribed languages stay";
  EXPECT_EQ(w.SlotText(0, 1), w.Stored(0, 1));
  EXPECT_EQ(w.SlotText(0, 2), "") << "nothing after the blank line";
  EXPECT_EQ(w.Flash(LanguageTextBase + 0x2000 + 320, 1)[0], 7) << "text 0A of language 1";
  EXPECT_EQ(w.SlotText(1, 10), "BAHNHOF");
  EXPECT_EQ(w.SlotText(1, 0x1F), "TOP") << "position 4 is the separator";
  EXPECT_EQ(w.SlotText(1, 5), std::string(21, ' '));
  EXPECT_EQ(w.SlotText(1, 0x20), "FÜNFUNDZWANZIG ZEICHE");
  EXPECT_EQ(w.SlotText(1, 0x30), "GRÜN 5") << "a line ending in LF alone";
  EXPECT_EQ(w.SlotText(1, 7), "ZUG") << "the number ends at the first other character";
  EXPECT_EQ(w.SlotText(2, 0) + w.SlotText(2, 2), "GUT");
  EXPECT_EQ(w.Flash(0x135FE0, 1)[0], 12) << "text FF of language 10";
  EXPECT_EQ(w.SlotText(10, 0xFF), "LETZTER TEXT");
}

TEST(Configuration, HandheldThatStopsAnsweringEndsWithItsTimeout) {
  ConfWorld w;
  w.Describe(PutTurnoutAndCharacterFiles(w));
  w.host.onStatus = [&](const std::string& s) {
    if (s == "Mag.Sym.:100") w.sim.handheld.present = false;
  };
  const Bytes symbolsBefore = w.Flash(SymbolAreaBase + 64 * 96, 64 * 8);
  EXPECT_EQ(w.Transfer(), ConfigurationEnd::CommandFailed);
  EXPECT_EQ(test::Shown(w.host), Texts{"Timeout|write_to_spibuf"});
  EXPECT_EQ(w.host.status, "Mag.Sym.:100");
  EXPECT_EQ(w.sim.flash.pagePrograms, 12) << "the pages of symbols 0 to 95";
  EXPECT_EQ(w.Flash(SymbolAreaBase + 64 * 96, 64 * 8), symbolsBefore);
  EXPECT_LT(w.host.Now(), 60.0);
}

// Every language, all turnout data and three characters in one update run: the
// status texts in their order and every area of the DataFlash.
TEST(Configuration, FullPackageInOneUpdateRun) {
  const char* const keys[11] = {
      "DEUTSCH=",    "ENGLISCH=", "FRANZOESISCH=", "ITALIENISCH=", "NL=",      "SPANISCH=",
      "SCHWEDISCH=", "DAENISCH=", "CATALAN=",      "TSCHECHISCH=", "POLNISCH="};
  ConfWorld w;
  w.ctx.backupBeforeConfiguration = false;  // the stage list without the backup's lines
  sim::FirmwareSpec firmware;
  w.Put("fw/funk.tup", sim::FirmwareFileBytes(firmware));
  std::string tup = "FUNK=fw\\funk.tup\r\nFUNKVERSION=2.1\r\n" + PutTurnoutAndCharacterFiles(w);
  std::vector<int> all(256);
  for (int t = 0; t < 256; t++) all[t] = t;
  for (int n = 0; n < 11; n++) {
    w.dir.Write("texte/" + std::to_string(n) + ".txt", LanguageLines(n, all));
    tup += keys[n] + ("texte\\" + std::to_string(n) + ".txt\r\n");
  }
  w.Describe(tup);
  w.sim.flash.Write(TurnoutListPage, Pattern(512, 2));
  w.sim.flash.Write(CharacterAreaBase + 512, Pattern(512, 3));

  Texts statuses;  // from "Firmware ok!" on
  w.host.onStatus = [&](const std::string& s) {
    if (!statuses.empty() || s == "Firmware ok!") statuses.push_back(s);
  };
  w.Run();
  Texts expected{"Firmware ok!"};
  for (int n = 0; n < 11; n++) {
    for (int t = 0; t < 256; t++) {
      expected.push_back("Sprache:" + std::to_string(n) + " Txt:" + std::to_string(t));
    }
  }
  for (int i = 0; i < 256; i++) expected.push_back("Mag.Sym.:" + std::to_string(i));
  for (int i = 0; i < 40; i++) expected.push_back("SymZuord:" + std::to_string(i));
  expected.insert(expected.end(), {"Weichenliste", "neue Konfiguration", "Update beendet"});
  EXPECT_EQ(statuses, expected);
  EXPECT_EQ(w.ctx.report.configuration.end, ConfigurationEnd::Done);
  EXPECT_TRUE(RunSucceeded(w.ctx.report));
  // One display for the whole run: the share only grows, and ends at 100 %.
  const std::vector<RunProgress>& shown = w.host.progressShown;
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(),
                             [](const auto& a, const auto& b) { return a.percent < b.percent; }));
  EXPECT_EQ(shown.back().percent, 100);
  std::vector<std::pair<ProgressStage, int>> totals;
  for (const RunProgress& p : shown) {
    if (totals.empty() || totals.back().first != p.stage) totals.push_back({p.stage, p.stageTotal});
  }
  using S = ProgressStage;
  EXPECT_EQ(totals, (std::vector<std::pair<S, int>>{{S::Firmware, 497},
                                                    {S::Restart, 70},
                                                    {S::LanguageTexts, 11 * 256},
                                                    {S::TurnoutSymbols, 297},
                                                    {S::TurnoutAssignment, 297},
                                                    {S::TurnoutList, 297},
                                                    {S::Characters, 3},
                                                    {S::Settings, 1}}));
  EXPECT_EQ(w.host.messages.size(), 3u);
  for (int n = 0; n < 11; n++) {
    for (int t = 0; t < 256; t++) ASSERT_EQ(w.SlotText(n, t), w.Stored(n, t)) << n << " " << t;
  }
  Bytes symbols(16384), assignment(2560), list = Pattern(512, 2), characters = Pattern(512, 3);
  for (int i = 0; i < 16384; i++) symbols[i] = sim::TurnoutValue(1, i);
  for (int i = 0; i < 2560; i++) assignment[i] = sim::TurnoutValue(2, i);
  for (int i = 0; i < 256; i++) list[8 + i] = sim::TurnoutValue(3, i);
  EXPECT_EQ(w.Flash(SymbolAreaBase, 16384), symbols);
  EXPECT_EQ(w.Flash(AssignmentAreaBase, 2560), assignment);
  EXPECT_EQ(w.Flash(0xE0A00, 512), Bytes(512, 0xFF)) << "value 2560 is never sent";
  EXPECT_EQ(w.Flash(TurnoutListPage, 512), list) << "bytes 0-7 and 264-511 kept";
  const Bytes c1 = sim::CharacterBytes(1, 2, 1), c2 = sim::CharacterBytes(0, 64, 2),
              c3 = sim::CharacterBytes(1, 1, 3);
  std::copy(c2.begin() + 2, c2.end(), characters.begin());       // 0, 64 is 1, 0: 0xFC200
  std::copy(c3.begin() + 2, c3.end(), characters.begin() + 8);   // 0xFC208
  std::copy(c1.begin() + 2, c1.end(), characters.begin() + 16);  // 0xFC210
  EXPECT_EQ(w.Flash(CharacterAreaBase + 512, 512), characters);
}

// The transfer starts only when the handheld answers, after send_pm01 if need be,
// and ends with send_pm01 and a pause of a second.
TEST(Configuration, MakesSureTheHandheldAnswersFirst) {
  const struct {
    int dropped;  // answers lost at the start
    bool silent;
    std::vector<bool> startPm01;  // whether the first three messages are send_pm01
    std::vector<long> pauses;     // after each send_pm01 but the last
  } cases[] = {
      {0, false, {false, false, false}, {}},
      {1, false, {false, true, false}, {0}},
      {0, true, {false, true, true}, std::vector<long>(20, 10)},
  };
  for (const auto& c : cases) {
    ConfWorld w;
    w.sim.faults.dropAnswers = c.dropped;
    w.sim.handheld.present = !c.silent;
    const Bytes settings = w.Flash(SettingsBlockAddress, 512);
    EXPECT_EQ(w.Transfer(), c.silent ? ConfigurationEnd::CommandFailed : ConfigurationEnd::Done);
    std::vector<bool> startPm01;
    for (int i = 0; i < 3; i++) startPm01.push_back(test::SimWorld::IsPm01(w.sent[i].second));
    EXPECT_EQ(startPm01, c.startPm01);
    EXPECT_EQ(w.sent[0].second[10], 0x30) << "read_info_block first";
    EXPECT_EQ(w.Pm01Pauses(), c.pauses);
    EXPECT_EQ(w.Flash(SettingsBlockAddress + 8, 3) == Bytes({0, 1, 0}), !c.silent);
    if (c.silent) {
      EXPECT_EQ(w.Flash(SettingsBlockAddress, 512), settings);
    } else {
      EXPECT_EQ(std::lround(10 * (w.host.Now() - w.sent.back().first)), 10);
      EXPECT_TRUE(test::SimWorld::IsPm01(w.sent.back().second));
    }
  }
}

}  // namespace
}  // namespace skyrelay
