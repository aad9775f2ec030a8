// The whole update run against the simulated LocoNet, in virtual time: what the
// user sees, what goes over the bus, what the handheld ends up holding, and how
// every way out of the run releases the command station.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "config/transfer.h"
#include "run/commands.h"
#include "run/rescue.h"
#include "run/update_run.h"
#include "support.h"
#include "update/firmware_update.h"

namespace skyrelay {
namespace {

using Outcome = FirmwareOutcome;
using Cause = RunCause;
using Strings = std::vector<std::string>;
using test::RunWorld;

const std::string kQuestion =
    "Update|Funk- oder LocoNet-Handregler :\r\rVersion im Handregler: 1.0 vom: 2.1.20\r\rSoll "
    "die Version 2.1 vom 6.12.26 geladen werden?";
const std::string kCurrent =
    "Update|Die Handregler Software ist aktuell!\r\r   Ein Update ist nicht notwendig!\r\r    "
    "Update trotzdem durchführen? ";
const std::string kInstall =
    "Achtung!|     Das Update wird jetzt geladen!            \rBitte den Handregler nicht von "
    "LocoNet trennen\r    und das Ende des Vorgangs abwarten! (ca. 60s)";
const std::string kSuccess =
    "Update 58400|     Firmware-Update ok!      \r\r Jetzt erhält der Handregler u.U. \r  noch "
    "neue Daten, bitte nicht \r          ausschalten!";
const std::string kUnknown =
    "|Handregler konnte nicht erkannt werden!\r\rTrotzdem ein Update versuchen?";
const std::string kLanguage = "DEUTSCH=de.txt\r\n";
std::string LocoNetError(int step) {
  return "Fehler|Fehler bei einer Ausgabe auf LocoNet: " + std::to_string(step);
}
// `s` with DIR/ as the package folder and PRODUCT as the product name.
std::string Fill(const RunWorld& w, std::string s) {
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"DIR/", w.dir.Folder()},
                                   {"PRODUCT", w.ctx.ProductName}}) {
    for (size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, key.size(), value);
  }
  return s;
}
// Every message shown; each is cut to the length of the expected one.
void ExpectShown(const RunWorld& w, Strings expected) {
  Strings shown = test::Shown(w.host);
  for (size_t i = 0; i < expected.size(); i++) {
    expected[i] = Fill(w, expected[i]);
    if (i < shown.size()) shown[i].resize(std::min(shown[i].size(), expected[i].size()));
  }
  EXPECT_EQ(shown, expected);
}

TEST(UpdateRun, OlderRadioHandheldGetsImageAndTextsThenTheStationIsReleased) {
  RunWorld w;
  w.ctx.backupBeforeConfiguration = false;  // the stage list without the backup's lines
  w.sim.handheld.locoAddress = 300;         // both bytes of the address count
  w.sim.ApplyHandheldConfig();
  w.dir.Write("de.txt", sim::LanguageFileText("deutsch", 3, true));
  w.Load(kLanguage);
  // The send_pm01 after the version check waits for nothing: its answer may be lost.
  w.onSent = [&w, lost = false, pm01s = 0](const test::Bytes& m) mutable {
    if (lost || !RunWorld::IsPm01(m) || ++pm01s != 2) return;
    w.sim.faults.dropAnswers = 1;
    lost = true;
  };
  w.Run();
  EXPECT_EQ(w.Image(), sim::FirmwareImage(w.firmware));
  EXPECT_EQ(test::Shown(w.host), (Strings{kQuestion, kInstall, kSuccess}));
  std::vector<Icon> icons;
  for (const RecordedMessage& m : w.host.messages) icons.push_back(m.icon);
  EXPECT_EQ(icons, (std::vector<Icon>{Icon::None, Icon::Stop, Icon::Information}));
  EXPECT_EQ(w.Statuses(), (Strings{"Zentrale Update-Mode", "Lese Version", "Firmware ok!",
                                   "Sprache:0 Txt:0", "Sprache:0 Txt:1", "Sprache:0 Txt:2",
                                   "neue Konfiguration", "Update beendet"}));
  const auto& s = w.host.statuses;
  EXPECT_EQ(std::count_if(s.begin(), s.end(), [](auto& t) { return t.back() == '%'; }), 497);
  EXPECT_TRUE(w.Showed("0%") && w.Showed("50%"));
  EXPECT_EQ(std::count(s.begin(), s.end(), "100%"), 1) << "for the last block only";
  const auto after = std::find_if(w.sent.begin(), w.sent.end(),
                                  [&](const auto& m) { return m.first > w.locoRequestedAt; });
  ASSERT_NE(after, w.sent.end());
  EXPECT_NEAR(after->first - w.locoRequestedAt, 1.0, 0.05) << "a second after the restart";
  const auto clear = std::find_if(w.sent.begin(), w.sent.end(), [](const auto& m) {
    return m.second.size() == 31 && m.second[3] == 0x4E && m.second[15] == 0x30 &&
           m.second[20] == 0x10;  // station_clear
  });
  ASSERT_NE(clear, w.sent.begin());
  EXPECT_NEAR(clear->first - (clear - 1)->first, 1.0, 0.1) << "a second after the boot loader";
  // Phase 4 waits for its answer; phase 6 and the end of the transfer pause a second.
  EXPECT_EQ(w.Pm01Pauses(), (std::vector<long>{0, 10, 10}));
  EXPECT_EQ(w.sim.installs, 1);
  EXPECT_EQ(RunVerdict(w.ctx.report),
            "Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben");
  const FirmwareResult& f = w.ctx.report.firmware;
  EXPECT_EQ(std::vector<int>({f.pagesWritten, f.pagesVerified, f.pagesRepeated}),
            std::vector<int>({63, 63, 0}));
  EXPECT_EQ(w.ctx.report.release, Release::Confirmed);
  const sim::StationLog& log = w.sim.stationLog;
  EXPECT_EQ(std::vector<int>(
                {log.enterRequests, log.finishRequests, log.inUpdateMode, log.finishedWithVersion}),
            std::vector<int>({1, 1, 0, w.sim.station.bootLoaderVersion}));
  EXPECT_EQ(log.values, (std::vector<std::pair<int, int>>{{10, 50}}));
  EXPECT_EQ(log.texts, Strings{"Update " + w.ctx.ProductName});
}

// The kind decides the firmware file and the question; both text pairs give kind 2.
TEST(UpdateRun, IdentificationByArticleAndTexts) {
  const std::string frei21 = "           FREI      ",
                    radio = "Update|Funk- oder LocoNet-Handregler :",
                    set = "Update|Handregler aus Digital-Set :";
  const struct {
    int article;
    std::string text51, text52;
    int kind;
    std::string first;  // the first message shown
  } cases[] = {
      {58400, "FREI", "BELEGT", 1, radio},
      {58400, "FREI ROT", "GRÜN BELEGT", 2, set},
      {58400, "ROT", "GRÜN", 2, set},
      {58400, frei21, "BELEGT", 1, radio},
      {58400, frei21 + "X", "BELEGT", 0, kUnknown},  // a count of 22: no text
      {58400, "FREI", "FREI", 0, kUnknown},
      {58400, "ROT", "BELEGT", 0, kUnknown},
      {58400, "", "", 0, kUnknown},
      {58401, "", "", 1, "|Fehler!"},
      {58402, "", "", 2, "|Fehler!"},
      {58403, "FREI", "BELEGT", 0, kUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.article) + " " + c.text51 + "/" + c.text52);
    RunWorld w;
    w.sim.handheld.articleNumber = c.article;
    w.sim.handheld.text51 = c.text51;
    w.sim.handheld.text52 = c.text52;
    w.sim.ApplyHandheldConfig();
    w.Load("ZENTRALE=fw\\funk.tup\r\nZENTRALEVERSION=2.1\r\n");
    w.answers = {"N"};
    w.Run();
    EXPECT_EQ(static_cast<int>(w.ctx.report.identification.identity.kind), c.kind);
    ExpectShown(w, {c.first});
    EXPECT_EQ(w.Image(), sim::ByteVector(497 * 64, 0xFF));
    EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
    EXPECT_EQ(w.host.status, c.kind == 0 ? "Fehler beim Update" : "Update beendet");
  }
}

// Declining writes nothing, sends send_pm01 without waiting and pauses a second;
// an unrecognised handheld updated anyway gets no firmware, the data still goes in.
TEST(UpdateRun, QuestionsAnswered) {
  const struct {
    std::array<uint8_t, 5> installed, file;
    Strings answers, shown, statuses;
    Outcome outcome;
    std::vector<bool> risky;  // of each question asked
    Cause cause;              // None: the run succeeded
  } cases[] = {
      {{2, 1, 6, 12, 26},
       {2, 1},
       {"N"},
       {kCurrent},
       {"Software aktuell!"},
       Outcome::Declined,
       {true},
       Cause::None},
      {{1, 5, 3, 11, 9},
       {1, 50},
       {"N"},
       {kCurrent},
       {"Software aktuell!"},
       Outcome::Declined,
       {true},
       Cause::None},
      {{2, 1, 6, 12, 26},
       {2, 1},
       {"R"},
       {kCurrent},
       {"Software aktuell!"},
       Outcome::Declined,
       {true},
       Cause::RefusedWithoutForce},
      {{2, 1, 6, 12, 26},
       {2, 1},
       {"Y", "N"},
       {kCurrent, "Update|Funk"},
       {""},
       Outcome::Declined,
       {true, false},
       Cause::None},
      {{1, 0, 2, 1, 20}, {2, 1}, {"N"}, {kQuestion}, {""}, Outcome::Declined, {false}, Cause::None},
      // Going back to an older version.
      {{2, 2, 2, 1, 20},
       {2, 1},
       {"R"},
       {"Update|Funk"},
       {""},
       Outcome::Declined,
       {true},
       Cause::RefusedWithoutForce},
      {{1, 0, 2, 1, 20},
       {2, 1},
       {"Y"},
       {kUnknown},
       {"Fehler im Updatefile!", "neue Konfiguration"},
       Outcome::NoFirmwareFile,
       {true},
       Cause::HandheldUnknown},
  };
  for (const auto& c : cases) {
    RunWorld w;
    w.ctx.backupBeforeConfiguration = false;  // the stage list without the backup's lines
    w.sim.handheld.version = c.installed;
    if (c.outcome == Outcome::NoFirmwareFile) w.sim.handheld.text51 = w.sim.handheld.text52 = "";
    w.sim.ApplyHandheldConfig();
    w.firmware.version = {c.file[0], c.file[1], 6, 12, 26};
    w.Load();
    w.answers = c.answers;
    if (c.outcome == Outcome::Declined) {  // that send_pm01 waits for nothing
      w.onSent = [&w](const test::Bytes& m) { w.sim.faults.dropAnswers = RunWorld::IsPm01(m); };
    }
    w.Run();
    ExpectShown(w, c.shown);
    Strings statuses = c.statuses;
    statuses.insert(statuses.begin(), {"Zentrale Update-Mode", "Lese Version"});
    statuses.push_back("Update beendet");
    EXPECT_EQ(w.Statuses(), statuses);
    EXPECT_EQ(w.ctx.report.firmware.outcome, c.outcome);
    std::vector<bool> risky;
    for (const RecordedMessage& m : w.host.messages) risky.push_back(m.risky);
    EXPECT_EQ(risky, c.risky);
    EXPECT_EQ(CauseOf(w.ctx.report), c.cause);
    EXPECT_EQ(RunSucceeded(w.ctx.report), c.cause == Cause::None);
    if (c.cause == Cause::RefusedWithoutForce) {  // says why, and what would do it
      const std::string verdict = RunVerdict(w.ctx.report);
      EXPECT_TRUE(verdict.find("--force") != std::string::npos) << verdict;
      EXPECT_TRUE(verdict.find("Version 2.1, älter als die im Handregler (2.2 vom: 2.1.20)") !=
                      std::string::npos ||
                  c.installed[1] == 1)
          << verdict;
    }
    EXPECT_EQ(w.Image(), sim::ByteVector(497 * 64, 0xFF));
    if (c.outcome == Outcome::NoFirmwareFile) continue;
    EXPECT_EQ(w.ctx.report.configuration.end, ConfigurationEnd::NotRun);
    EXPECT_EQ(w.Pm01Pauses(), std::vector<long>{10});
    EXPECT_TRUE(RunWorld::IsPm01(w.sent[w.sent.size() - 2].second)) << "before the finish";
  }
}

// Pages that read back wrong are sent again, at most five times each; the counters
// start afresh for every page. The last page is verified once, without repetition.
TEST(UpdateRun, PageRepetition) {
  const Strings ok{kQuestion, kInstall, kSuccess};
  const struct {
    uint32_t page;
    int failures;
    uint32_t laterPage;
    int laterFailures;
    Strings shown;
    long programs;
  } cases[] = {
      {0x300200, 2, 0, 0, ok, 63 + 2},
      {0x300200, 4, 0, 0, ok, 63 + 4},
      {0x300200, 2, 0x300600, 4, ok, 63 + 6},
      {0x300200, 5, 0, 0, {kQuestion, "Achtung!|Flash Block kann nicht beschrieben werden!"}, 6},
      {0x300000, 5, 0, 0, {kQuestion, "Achtung!|Flash Block kann nicht beschrieben werden!"}, 5},
      {0x307C00, 1, 0, 0, {kQuestion, LocoNetError(2)}, 63},
  };
  for (const auto& c : cases) {
    RunWorld w;
    w.sim.flash.corruptPage = c.page;
    w.sim.flash.corruptPrograms = c.failures;
    long programs = -1;
    w.host.onStatus = [&](const std::string& s) {
      if (s == "4%" && c.laterFailures > 0 && w.sim.flash.corruptPage == c.page) {
        w.sim.flash.corruptPage = c.laterPage;
        w.sim.flash.corruptPrograms = c.laterFailures;
      }
      if (s == "Firmware ok!" || s == "Fehler") programs = w.sim.flash.pagePrograms;
    };
    w.Load();
    w.Run();
    EXPECT_EQ(test::Shown(w.host), c.shown);
    EXPECT_EQ(programs, c.programs);
    const bool good = c.shown == ok;
    EXPECT_EQ(w.sim.installs, good ? 1 : 0);
    EXPECT_EQ(w.Image() == sim::FirmwareImage(w.firmware), good);
    EXPECT_EQ(RunSucceeded(w.ctx.report), good);
    EXPECT_EQ(w.host.status, "Update beendet");
    EXPECT_EQ(w.Showed("Fehler"), !good);
    EXPECT_EQ(w.ctx.report.firmware.pagesWritten, c.programs);
    EXPECT_EQ(w.ctx.report.firmware.pagesRepeated,
              c.page == 0x307C00 ? 0 : c.failures + c.laterFailures);
    if (c.failures == 2 && c.laterFailures == 0) {  // the progress fell back to block 8
      EXPECT_EQ(std::count(w.host.statuses.begin(), w.host.statuses.end(), "1%"), 3 + 3 * 2);
    }
  }
}

// A firmware step that fails is reported with its number; so are a handheld that
// does not come back or comes back wrong, and a damaged file.
TEST(UpdateRun, FailedFirmwareSteps) {
  using test::Bytes;
  const std::string wait = "Achtung|PRODUCT meldet sich nicht zurück!\r     weiter warten?     ",
                    bad =
                        "Fehler|Das Update-File ist nicht in Ordnung\n\r oder passt nicht zum "
                        "Gerät!";
  const auto silentWhen = [](std::function<bool(RunWorld&, const Bytes&)> when) {
    return [when](RunWorld& w) {
      w.onSent = [&w, when](const Bytes& m) { w.sim.handheld.present &= !when(w, m); };
    };
  };
  const auto damage = [](std::function<void(sim::ByteVector&)> d) {
    return [d](RunWorld& w) { w.damage = d; };
  };
  const auto at20 = silentWhen([](RunWorld& w, const Bytes&) { return w.host.status == "20%"; });
  const auto settingsRead = silentWhen([](RunWorld&, const Bytes& m) {
    return m[3] == 0x66 && m[6] == 0x68 && m[7] == 0x3F;  // D1 = 0xE8, D2 = 0x3F
  });
  const auto restarted = silentWhen([](RunWorld& w, const Bytes&) { return w.locoRequested; });
  const auto version = [](RunWorld& w) {
    w.onSent = [&w](const Bytes& m) {
      if (w.locoRequested && RunWorld::IsVersionRead(m)) w.sim.faults.dropAnswers = 1;
    };
  };
  const auto wrongLoco = [](RunWorld& w) { w.sim.handheld.requestWrongLoco = true; };
  const auto textCompare = [](RunWorld& w) {  // 1.5 read back is not the file's 1.50
    w.firmware.version = {1, 50, 1, 1, 1};
    w.sim.handheld.versionAfterUpdate = std::array<uint8_t, 5>{1, 5, 1, 1, 1};
  };
  const auto neverBack = [](RunWorld& w) {
    w.sim.handheld.neverRestart = true;
    w.answers = {"Y", "Y", "Y", "N"};
  };
  const auto slowWrongLoco = [](RunWorld& w) {  // waited for once, then the wrong loco
    w.sim.handheld.restartTime = 75;
    w.sim.handheld.requestWrongLoco = true;
  };
  const std::string loco = "Update 58400|PRODUCT hat die falsche Lok beim Starten angemeldet!",
                    read = "Update 58400|Es wurde die falsche Version nach dem Update gelesen!";
  // clang-format off
  const std::string badLine = "Das Update-File ist nicht in Ordnung oder passt nicht zum Gerät!",
                    lost = "Fehler bei einer Ausgabe auf LocoNet: ";
  const struct {
    std::function<void(RunWorld&)> arm;
    Strings shown;
    int installs;
    long programs;        // -1: not checked
    std::string verdict;  // after "Update fehlgeschlagen: ": the first error
    RunCause cause;       // and the sentence after it
  } cases[] = {
      {at20, {kQuestion, "Timeout|write_to_spibuf", LocoNetError(1)}, 0, -1, "Timeout bei write_to_spibuf", Cause::HandheldSilent},
      {settingsRead, {kQuestion, "Timeout|read_flash_to_spibuf", LocoNetError(3)}, 0, -1,
       "Timeout bei read_flash_to_spibuf", Cause::HandheldSilent},
      {restarted, {kQuestion, kInstall, LocoNetError(4)}, 1, -1, lost + "4", Cause::HandheldSilent},
      {version, {kQuestion, kInstall, LocoNetError(5)}, 1, -1, lost + "5", Cause::HandheldSilent},
      {wrongLoco, {kQuestion, kInstall, loco}, 1, -1, "PRODUCT hat die falsche Lok beim Starten angemeldet!", Cause::RestartProblem},
      {slowWrongLoco, {kQuestion, kInstall, wait, loco}, 1, -1,
       "PRODUCT hat die falsche Lok beim Starten angemeldet!", Cause::RestartProblem},
      {textCompare, {"Update|Funk", kInstall, read}, 1, -1,
       "Es wurde die falsche Version nach dem Update gelesen!", Cause::RestartProblem},
      {neverBack, {kQuestion, kInstall, wait, wait, wait}, 0, -1, "PRODUCT meldet sich nicht zurück!", Cause::RestartProblem},
      {damage([](sim::ByteVector& b) { b[46 + 66 * 100 + 1] = 7; }), {kQuestion, bad}, 0, 12, badLine, Cause::PackageBroken},
      {damage([](sim::ByteVector& b) { b[46] = 0x80; }), {kQuestion, bad}, 0, 0, badLine, Cause::PackageBroken},  // 0x8000
      {damage([](sim::ByteVector& b) { b.resize(46 + 66 * 496 + 30); }), {kQuestion, bad}, 0, 62, badLine, Cause::PackageBroken},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown.back());
    RunWorld w;
    c.arm(w);
    std::vector<double> asked;
    w.host.onMessage = [&](const RecordedMessage&) { asked.push_back(w.host.Now()); };
    w.Load();
    w.Run();
    ExpectShown(w, c.shown);
    EXPECT_EQ(w.ctx.report.firmware.outcome, Outcome::Failed);
    const bool stepError = c.shown.back().starts_with("Fehler|Fehler bei");
    EXPECT_TRUE(!stepError || w.ctx.report.configuration.end == ConfigurationEnd::NotRun);
    EXPECT_EQ(w.sim.installs, c.installs);
    EXPECT_FALSE(w.Showed("Firmware ok!"));
    EXPECT_FALSE(RunSucceeded(w.ctx.report));
    EXPECT_EQ(CauseOf(w.ctx.report), c.cause);
    const std::string reason = "Update fehlgeschlagen: " + Fill(w, c.verdict);
    EXPECT_EQ(RunVerdict(w.ctx.report),
              reason + (reason.ends_with("!") ? " " : ". ") + GermanCause(w.ctx.report));
    EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
    EXPECT_EQ(w.host.statuses[w.host.statuses.size() - 2] == "Fehler",
              c.shown.back().starts_with("Fehler|"));
    EXPECT_EQ(w.host.status, "Update beendet");
    EXPECT_EQ(c.programs < 0 ? -1 : w.sim.flash.pagePrograms, c.programs);
    if (c.shown.back() == wait) {  // asked every 70 s while the user wants to wait
      for (size_t i = 2; i < asked.size(); i++) EXPECT_NEAR(asked[i] - asked[i - 1], 70.0, 0.02);
    }
  }
}

// The identification is asked up to three times; a station that never answers
// is taken for one without update mode, and the verdict says so.
TEST(UpdateRun, StationUpdateModeByIdentificationNumber) {
  const std::string unanswered =
      "; die Zentrale hat ihre Kennung nicht gemeldet und war nicht im Update-Mode";
  const struct {
    int64_t id;
    int lostAnswers;
    bool entered;
    size_t requests;
  } cases[] = {{4212345678, 0, true, 1},
               {1299999999, 0, true, 1},
               {2412345678, 0, false, 1},
               {4212345678, 2, true, 3},
               {-1, 0, false, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    RunWorld w;
    w.sim.station.idNumber = c.id;
    w.sim.faults.dropAnswers = c.lostAnswers;
    w.Load();
    w.Run();
    EXPECT_EQ(w.Showed("Zentrale Update-Mode"), c.entered);
    EXPECT_EQ(w.sim.stationLog.enterRequests + w.sim.stationLog.finishRequests, c.entered ? 2 : 0);
    EXPECT_EQ(w.sim.stationLog.values.size(), c.entered ? 1u : 0u);
    const auto sent = w.Sent();
    EXPECT_EQ(
        std::count_if(sent.begin(), sent.end(), [](const test::Bytes& m) { return m[1] == 0x0F; }),
        static_cast<long>(c.requests));
    EXPECT_TRUE(RunSucceeded(w.ctx.report));
    const std::string verdict = RunVerdict(w.ctx.report);
    EXPECT_EQ(verdict.ends_with(unanswered), c.id < 0) << verdict;
    LeaveStationUpdateMode(w.ctx);
    EXPECT_EQ(w.Sent().size(), sent.size()) << "nothing is owed after the release";
  }
}

// The files are read whole when the package is loaded (the firmware) and before
// the port opens (the configuration): what the user was asked about is what
// goes in, whatever happens to the files during the run.
TEST(UpdateRun, FilesChangedDuringTheRunDoNotReachTheHandheld) {
  const std::string more = "DEUTSCH=de.txt\r\nWEICHENLISTE=liste.bin\r\nZEICHEN=z.bin\r\n";
  auto run = [&](bool meddle) {
    auto w = std::make_unique<RunWorld>();
    w->dir.Write("de.txt", sim::LanguageFileText("deutsch", 4, true));
    w->Put("liste.bin", sim::TurnoutListBytes(3));
    w->Put("z.bin", sim::CharacterBytes(0, 3, 9));
    w->Load(more);
    w->ctx.settings.InterfaceKind = 3;
    w->ctx.settings.ComPortNumber = "sim";
    RunWorld& r = *w;
    r.host.answerQuestion = [&r, meddle](const RecordedMessage&) {
      if (meddle) {  // another image with the same header and version; other texts and data
        sim::FirmwareSpec other = r.firmware;
        other.seed = 99;
        r.Put("fw/funk.tup", sim::FirmwareFileBytes(other));
        r.dir.Write("de.txt", sim::LanguageFileText("english", 4, true));
        r.Put("liste.bin", sim::TurnoutListBytes(8));
        std::filesystem::remove(r.dir.path() / "z.bin");
      }
      return Answer::Yes;
    };
    EXPECT_TRUE(UpdateCommand(r.ctx, ""));
    EXPECT_TRUE(RunSucceeded(r.ctx.report)) << RunVerdict(r.ctx.report);
    return w;
  };
  const auto quiet = run(false), meddled = run(true);
  EXPECT_EQ(meddled->Image(), sim::FirmwareImage(meddled->firmware));
  EXPECT_TRUE(meddled->sim.flash.memory == quiet->sim.flash.memory) << "the whole DataFlash";
  EXPECT_EQ(test::Shown(meddled->host), test::Shown(quiet->host));

  // The next run (the desktop program's next click) reads the configuration
  // files afresh; the firmware stays as loaded.
  meddled->Put("z.bin", sim::CharacterBytes(0, 3, 9));
  meddled->host.answerQuestion = [](const RecordedMessage&) { return Answer::Yes; };
  EXPECT_TRUE(UpdateCommand(meddled->ctx, ""));
  sim::ByteVector list(256);
  for (int i = 0; i < 256; i++) list[i] = sim::TurnoutValue(8, i);
  EXPECT_EQ(meddled->sim.flash.Read(TurnoutListPage + 8, 256), list);
  EXPECT_EQ(meddled->Image(), sim::FirmwareImage(meddled->firmware));
}

// A program that stands still (stopped and continued) loses that time and
// nothing else: after its request went out (the answer then waits in the port
// and is taken before any wait decides that its time is up), just before (the
// time it stood still does not count), and between the echo and the answer for
// longer than a wait excuses.
TEST(UpdateRun, AStallOfTheProgramCostsNoRun) {
  using Moment = std::function<bool(RunWorld&, const test::Bytes&)>;
  using Stage = std::function<bool(const Context&)>;
  const Moment id = [](RunWorld&, const test::Bytes& m) { return m[1] == 0x0F; };
  const Moment entry = [](RunWorld&, const test::Bytes& m) { return m[3] == 0x4E && m[4] == 0x57; };
  const Moment firmware = [](RunWorld& w, const test::Bytes&) { return w.host.status == "20%"; };
  const Moment text = [](RunWorld& w, const test::Bytes&) {
    return w.host.status.starts_with("Sprache");
  };
  const Stage now;
  const Stage beforeSend = [](const Context& c) {
    return c.link.Pending() && !c.link.AwaitingEcho();
  };
  const Stage afterEcho = [](const Context& c) { return !c.link.Pending(); };
  const struct {
    const char* name;
    Moment when;
    Stage stage;
    double seconds;
  } cases[] = {
      {"after the station identification", id, now, 6},
      {"after the update-mode request", entry, now, 6},
      {"after a firmware write at 20 %", firmware, now, 6},
      {"before a firmware write at 20 %", firmware, beforeSend, 6},
      {"between echo and answer at 20 %", firmware, afterEcho, 90},
      {"after a language text's write", text, now, 6},
      {"before a language text's write", text, beforeSend, 6},
  };
  auto run = [](const Moment* when, const Stage& stage, double seconds) {
    auto w = std::make_unique<RunWorld>();
    w->dir.Write("de.txt", sim::LanguageFileText("deutsch", 3, true));
    w->Load(kLanguage);
    RunWorld& r = *w;
    r.onSent = [&r, when, stage, seconds, stalled = false](const test::Bytes& m) mutable {
      if (stalled || !when || !(*when)(r, m)) return;
      stalled = true;
      r.host.Stall(seconds, stage ? std::function<bool()>([&r, stage] { return stage(r.ctx); })
                                  : std::function<bool()>());
    };
    r.Run();
    return w;
  };
  const auto quiet = run(nullptr, now, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto w = run(&c.when, c.stage, c.seconds);
    EXPECT_TRUE(RunSucceeded(w->ctx.report)) << RunVerdict(w->ctx.report);
    EXPECT_EQ(test::Shown(w->host), test::Shown(quiet->host));
    EXPECT_EQ(w->Sent(), quiet->Sent()) << "nothing sent again";
    EXPECT_TRUE(w->sim.flash.memory == quiet->sim.flash.memory);
    EXPECT_NEAR(w->host.Now() - quiet->host.Now(), c.seconds, 0.1);
  }
}

// Ways to end a run early.
std::function<void(RunWorld&)> StopAt(std::string status, int kind = 3) {
  return [status, kind](RunWorld& w) {
    w.ctx.settings.InterfaceKind = kind;
    w.host.onStatus = [&w, status](const std::string& s) {
      if (s == status && !w.cancel) w.cancel = true, w.cancelledAt = w.host.Now();
    };
  };
}
template <typename E>
void ThrowAtQuestion(RunWorld& w) {
  w.host.answerQuestion = [](const RecordedMessage&) -> Answer { throw E("Speicher voll"); };
}
struct Cancel : RunCancelled {
  explicit Cancel(const char*) {}
};
std::function<void(RunWorld&)> AtStatus(std::string status, std::function<void(RunWorld&)> f) {
  return [status, f](RunWorld& w) {
    w.host.onStatus = [&w, status, f](const std::string& s) {
      if (s == status) f(w);
    };
  };
}

// Once the station was asked into update mode, every way out releases it with a
// bounded wait, and the verdict names the first error.
TEST(RunEndings, EveryWayOutReleasesTheStation) {
  const std::string stopped = "Update abgebrochen", failed = "Fehler beim Update",
                    ended = "Update beendet", cancelled = "abgebrochen",
                    timeout = "Timeout bei enter_boot_loader";
  const Strings upToSuccess{kQuestion, kInstall, kSuccess};
  const auto lose = [](RunWorld& w) { w.sim.faults.dropAnswers = 2; };
  const auto silence = [](RunWorld& w) { w.sim.station.present = false; };
  const auto remove = [](RunWorld& w) { std::filesystem::remove(w.dir.path() / "de.txt"); };
  const auto spoil = [](RunWorld& w) { w.dir.Write("de.txt", "00: GUT\r\nkaputt\r\n"); };
  const Strings missing{kQuestion, kInstall, kSuccess, "Fehler!|DIR/de.txt\rDatei nicht gefunden!"},
      wrong{kQuestion, kInstall, kSuccess, "Fehler!|DIR/de.txt\rFalsche Dateiformat!"};
  // clang-format off
  const struct {
    std::function<void(RunWorld&)> arm;
    std::string status, verdict;
    Strings shown;
    int release;
    RunCause cause;
  } cases[] = {
      {StopAt("Zentrale Update-Mode"), stopped, cancelled, {}, 0, Cause::Cancelled},
      {ThrowAtQuestion<Cancel>, stopped, cancelled, {}, 0, Cause::Cancelled},
      {StopAt("50%"), stopped, cancelled, {kQuestion}, 0, Cause::Cancelled},
      {StopAt("30%", 1), stopped, cancelled, {kQuestion}, 0, Cause::Cancelled},  // byte by byte
      {StopAt("##        "), stopped, cancelled, {kQuestion, kInstall}, 0, Cause::Cancelled},  // restart wait
      {StopAt("Sprache:0 Txt:1"), stopped, cancelled, upToSuccess, 0, Cause::Cancelled},
      {AtStatus("Zentrale Update-Mode", lose), failed, timeout, {"Timeout|enter_boot_loader"}, 0, Cause::NoStation},
      {AtStatus("20%", [](RunWorld& w) { w.sim.handheld.present = false; }), ended,
       "Timeout bei write_to_spibuf", {kQuestion, "Timeout|write_to_spibuf", LocoNetError(1)}, 0, Cause::HandheldSilent},
      {ThrowAtQuestion<std::runtime_error>, failed, "Unerwarteter Fehler: Speicher voll",
       {"Fehler!|Unerwarteter Fehler beim Update:\rSpeicher voll"}, 0, Cause::Other},
      {AtStatus("neue Konfiguration", silence), ended, timeout,
       {kQuestion, kInstall, kSuccess, "Timeout|enter_boot_loader"}, 1, Cause::ReleaseUnconfirmed},
      {remove, ended, "DIR/de.txt Datei nicht gefunden!", missing, 0, Cause::ConfigurationIncomplete},
      {spoil, ended, "DIR/de.txt Falsche Dateiformat!", wrong, 0, Cause::ConfigurationIncomplete},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.verdict + " " + std::to_string(c.shown.size()));
    RunWorld w;
    w.dir.Write("de.txt", sim::LanguageFileText("deutsch", 3, true));
    w.Load(kLanguage);
    c.arm(w);
    double stationLast = -1;
    w.ctx.link.stats.observer = [&](double t, bool sent, std::span<const uint8_t> m) {
      if (sent && m.size() == 31 && m[3] == 0x4E && m[4] == 0x57) stationLast = t;
    };
    w.Run();
    ExpectShown(w, c.shown);
    EXPECT_EQ(w.host.status, c.status);
    EXPECT_EQ(w.Showed(failed), c.status == failed);
    EXPECT_EQ(w.Showed("Zentrale wird aus dem Update-Mode genommen ..."),
              c.status == stopped || c.verdict.starts_with("Unerwartet"));
    EXPECT_EQ(CauseOf(w.ctx.report), c.cause);
    const std::string reason = "Update fehlgeschlagen: " + Fill(w, c.verdict);
    EXPECT_EQ(RunVerdict(w.ctx.report),
              reason + (reason.ends_with("!") ? " " : ". ") + GermanCause(w.ctx.report));
    EXPECT_FALSE(RunSucceeded(w.ctx.report));
    EXPECT_EQ(w.ctx.report.end == RunEnd::Cancelled, c.status == stopped);
    EXPECT_EQ(w.ctx.report.release, c.release ? Release::Unconfirmed : Release::Confirmed);
    EXPECT_EQ(w.sim.stationLog.enterRequests, 1);
    EXPECT_EQ(w.sim.stationLog.finishRequests, 1 - c.release);
    EXPECT_EQ(w.sim.stationLog.inUpdateMode, c.release == 1) << "a silent station stays";
    EXPECT_LT(w.host.Now() - stationLast, 4.0) << "the release is bounded";
    EXPECT_LT(w.host.Now() - (w.cancel ? w.cancelledAt : stationLast), 4.0) << "and comes at once";
  }
  RunWorld w;  // the release failing alone says so
  w.Load();
  w.host.onStatus = [&w](const std::string& s) { w.sim.station.present &= s != "Firmware ok!"; };
  w.Run();
  const std::string remedy =
      ". Die Zentrale hat die Freigabe nicht bestätigt – bitte die Zentrale aus- und wieder "
      "einschalten.";
  EXPECT_EQ(RunVerdict(w.ctx.report),
            "Update fehlgeschlagen: Timeout bei enter_boot_loader" + remedy);
  w.ctx.report.firstError.reset();  // told nothing, it still says why
  EXPECT_EQ(RunVerdict(w.ctx.report),
            "Update fehlgeschlagen: Zentrale hat die Freigabe nicht bestätigt" + remedy);
}

// While a run may have the station in its update mode, a note says so on which
// port; a confirmed release removes it, an unconfirmed one keeps it for the
// release at the next start, which names the boot loader version of the note.
TEST(RunEndings, ANoteLastsUntilTheStationConfirmedItsRelease) {
  const auto silence = [](RunWorld& w) { w.sim.station.present = false; };
  const struct {
    const char* name;
    std::function<void(RunWorld&)> arm;
    int64_t stationId;
    bool kept;
  } cases[] = {
      {"a whole run", [](RunWorld&) {}, 4200000001, false},
      {"cancelled after the request", StopAt("Zentrale Update-Mode"), 4200000001, false},
      {"release unconfirmed", AtStatus("neue Konfiguration", silence), 4200000001, true},
      {"a station without update mode", [](RunWorld&) {}, 3300000001, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunWorld w;
    w.ctx.rescueFolder = w.dir.Folder() + "state/skyrelay-update";
    w.ctx.settings.ComPortNumber = "/dev/ttyUSB0";
    w.sim.station.idNumber = c.stationId;
    w.Load();
    c.arm(w);
    std::vector<std::optional<RescueNote>> notes;  // as each station command went out
    w.ctx.link.stats.observer = [&](double, bool sent, std::span<const uint8_t> m) {
      if (sent && m.size() == 31 && m[3] == 0x4E && m[4] == 0x57) {
        notes.push_back(ReadRescueNote(w.ctx.rescueFolder).note);
      }
    };
    w.Run();
    const bool entered = c.stationId == 4200000001;
    ASSERT_EQ(notes.empty(), !entered);
    for (const std::optional<RescueNote>& note : notes) {
      ASSERT_TRUE(note);
      EXPECT_EQ(std::tuple(note->port, note->interfaceKind), std::tuple("/dev/ttyUSB0", 3));
    }
    if (entered) {
      EXPECT_EQ(notes.back()->bootLoaderVersion, w.cancel ? 0 : w.sim.station.bootLoaderVersion);
      // The backup made before the configuration is named for the next start.
      EXPECT_EQ(notes.back()->backupPath.starts_with(w.ctx.dataFolder), !w.cancel)
          << notes.back()->backupPath;
      EXPECT_EQ(std::filesystem::exists(notes.back()->backupPath), !w.cancel);
    }
    const RescueNoteRead after = ReadRescueNote(w.ctx.rescueFolder);
    EXPECT_FALSE(after.damaged);
    EXPECT_EQ(after.note.has_value(), c.kept);
    if (!c.kept) continue;
    // The next start releases the station on the note's port, naming its version.
    RunWorld next;
    next.ctx.rescueFolder = w.ctx.rescueFolder;
    next.host.Port().Close();
    next.host.ports = {"/dev/ttyUSB0"};
    const StationRelease release = ReleaseStation(next.ctx, after.note);
    EXPECT_TRUE(release.confirmed);
    EXPECT_EQ(next.ctx.report.release, Release::Confirmed);
    EXPECT_EQ(next.sim.stationLog.finishRequests, 1);
    EXPECT_EQ(next.sim.stationLog.finishedWithVersion, w.sim.station.bootLoaderVersion);
    EXPECT_EQ(next.Sent().size(), 1u) << "the release and nothing else";
    EXPECT_FALSE(next.host.Port().IsOpen());
    EXPECT_FALSE(ReadRescueNote(next.ctx.rescueFolder).note);
    EXPECT_TRUE(next.ctx.settings.ComPortNumber.empty()) << "the settings stay the user's";
    // A station that does not confirm it keeps the note, and the cause says what to do.
    RunWorld silent;
    silent.ctx.rescueFolder = w.dir.Folder() + "state/skyrelay-update";
    WriteRescueNote(silent.ctx.rescueFolder, *after.note);
    silent.sim.station.present = false;
    silent.host.Port().Close();
    EXPECT_FALSE(ReleaseStation(silent.ctx, after.note).confirmed);
    EXPECT_EQ(CauseOf(silent.ctx.report), Cause::ReleaseUnconfirmed);
    EXPECT_TRUE(ReadRescueNote(silent.ctx.rescueFolder).note);
  }
  // A damaged note is reported and otherwise ignored; a missing one is nothing.
  testfiles::TempDir dir;
  EXPECT_FALSE(ReadRescueNote(dir.Folder() + "fehlt").damaged);
  EXPECT_FALSE(ReadRescueNote("").damaged);
  const std::string header = "skyrelay-update: Zentrale im Update-Mode\n";
  for (const std::string& text :
       {std::string("\x7F"
                    "ELF\x01\x00"),
        header + "port=/dev/ttyUSB0\n", header + "port=/dev/ttyUSB0\ninterface=7\n",
        header + "interface=3\nbootloader=99999999\n", header + "interface=3\nport=x\nKaputt",
        header + std::string(10000, 'x')}) {
    dir.Write("zentrale-im-update-mode", text);
    const RescueNoteRead read = ReadRescueNote(dir.Folder());
    EXPECT_TRUE(read.damaged && !read.note) << text.substr(0, 80);
  }
}

TEST(Commands, UpdateRefusesBeforeThePortOpens) {
  const struct {
    int kind;
    std::string port;
    bool emptyDescription;
    std::string text;
  } cases[] = {
      {3, "1", true, "Keine Update-Datei: /x/leer.tup"},
      {0, "1", false, "Kein Interface gewählt.\rHINWEIS"},
      {2, "1", false, "Interface 71530 öffnet keinen Port.\rHINWEIS"},
      {3, "", false, "Kein ComPort gewählt.\rHINWEIS"},
  };
  for (const auto& c : cases) {
    RunWorld w;
    w.Load();
    w.host.Port().Close();
    if (c.emptyDescription) w.ctx.desc = Description{};
    w.ctx.settings = {"/x/leer.tup", c.kind, c.port};
    EXPECT_FALSE(UpdateCommand(w.ctx, "HINWEIS"));
    ASSERT_EQ(w.host.messages.size(), 1u) << c.text;
    EXPECT_EQ(w.host.messages[0].text, c.text);
    EXPECT_FALSE(w.host.Port().IsOpen());
    EXPECT_EQ(w.host.virtualPort().bytesWritten, 0);
    EXPECT_TRUE(w.host.statuses.empty());
  }
}

// What is missing on the layout is what the verdict names.
TEST(RunEndings, TheCauseNamesWhatIsMissingOnTheLayout) {
  const std::string silent = "Der Handregler antwortet nicht mehr – ist er noch eingesteckt? ";
  const struct {
    std::function<void(RunWorld&)> arm;
    RunCause cause;
    std::string sentence;
  } cases[] = {
      {[](RunWorld& w) { w.sim.faults.dropEchoes = 1000000; }, Cause::NoEcho,
       "Das Interface gibt keine Nachricht zurück – ist es am LocoNet angeschlossen, und passt die "
       "Interface-Einstellung?"},
      {[](RunWorld& w) { w.sim.handheld.present = false; }, Cause::NoHandheld,
       "Kein Handregler antwortet – ist er am LocoNet eingesteckt?"},
      {[](RunWorld& w) { w.sim.handheld.articleNumber = 58402; }, Cause::NoFirmwareForKind,
       "Das Paket enthält keine Firmware für diesen Handregler (58402) – bitte das passende "
       "Update-Paket wählen."},
      {[](RunWorld& w) {
         w.sim.handheld.text51 = w.sim.handheld.text52 = "";
         w.answers = {"R"};
       },
       Cause::RefusedWithoutForce,
       "Einen nicht erkannten Handregler aktualisiert --yes allein nicht; --force versucht es "
       "trotzdem."},
      {AtStatus("20%", [](RunWorld& w) { w.sim.handheld.present = false; }), Cause::HandheldSilent,
       silent + "Er arbeitet weiter mit seiner bisherigen Firmware; bitte das Update wiederholen."},
      {AtStatus("Sprache:0 Txt:1", [](RunWorld& w) { w.sim.handheld.present = false; }),
       Cause::HandheldSilent, silent + "Bitte das Update wiederholen."},
      // Silent when asked for the loco it will request (the installation has not
      // begun), and silent after its restart.
      {[](RunWorld& w) {
         w.onSent = [&w](const test::Bytes& m) {
           if (m[3] == 0x66 && m[6] == 0x68 && m[7] == 0x3F) w.sim.handheld.present = false;
         };
       },
       Cause::HandheldSilent,
       silent + "Er arbeitet weiter mit seiner bisherigen Firmware; bitte das Update wiederholen."},
      {[](RunWorld& w) {
         w.onSent = [&w](const test::Bytes&) { w.sim.handheld.present &= !w.locoRequested; };
       },
       Cause::HandheldSilent, silent + "Bitte das Update wiederholen."},
      {StopAt("Lese Version"), Cause::Cancelled, "Es wurde nichts in den Handregler geschrieben."},
      {StopAt("2%"), Cause::Cancelled,
       "Bitte das Update wiederholen, damit der Handregler vollständig beschrieben ist."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sentence);
    RunWorld w;
    c.arm(w);
    w.sim.ApplyHandheldConfig();
    w.dir.Write("de.txt", sim::LanguageFileText("deutsch", 3, true));
    w.Load(kLanguage);
    w.Run();
    EXPECT_EQ(CauseOf(w.ctx.report), c.cause);
    EXPECT_EQ(GermanCause(w.ctx.report), c.sentence);
    EXPECT_FALSE(RunSucceeded(w.ctx.report));
    EXPECT_TRUE(c.cause != Cause::RefusedWithoutForce ||
                RunVerdict(w.ctx.report) ==
                    "Update fehlgeschlagen: Handregler konnte nicht erkannt werden! " + c.sentence);
  }
}

// The whole package is checked, and the port tried, before anything is sent;
// the report says why the run did not start and what to do.
TEST(Commands, PackageAndPortProblemsStopTheRunBeforeAnythingIsSent) {
  const struct {
    std::function<void(const std::string& folder, test::RunWorld&)> arm;
    RunCause cause;
    std::string remedy;  // the verdict's sentence after the first error
  } cases[] = {
      {[](const std::string& d, test::RunWorld&) {
         std::filesystem::remove(d + "weichen/liste.bin");
       },
       Cause::PackageFileMissing,
       "Die Datei DIR/paket/weichen/liste.bin fehlt – ist das "
       "Update-Paket vollständig ausgepackt?"},
      {[](const std::string& d, test::RunWorld&) {
         std::ofstream(d + "texte/deutsch.txt", std::ios::app) << "kaputt\r\n";
         std::filesystem::resize_file(d + "zeichen/zeichen2.bin", 3);
       },
       Cause::PackageBroken,
       "Das Update-Paket ist fehlerhaft – bitte ein vollständiges, "
       "unverändertes Paket verwenden."},
      {[](const std::string&, test::RunWorld& w) {
         w.host.virtualPort().failOpen = true;
         w.host.ports = {"/dev/ttyS0", "/dev/ttyUSB1"};
       },
       Cause::PortMissing,
       "Den Port /dev/ttyUSB0 gibt es nicht – vorhandene Ports: /dev/ttyS0, "
       "/dev/ttyUSB1."},
      {[](const std::string&, test::RunWorld& w) {
         w.host.virtualPort().failOpen = true;
         w.host.virtualPort().openFailure = PortFailure::NoPermission;
       },
       Cause::PortNoPermission,
       "Kein Zugriff auf /dev/ttyUSB0 – der Benutzer muss zur Gruppe "
       "„dialout“ gehören (danach neu anmelden)."},
  };
  for (const auto& c : cases) {
    test::RunWorld w;
    w.host.Port().Close();
    const std::string folder = w.dir.Folder() + "paket/";
    w.ctx.settings = {sim::WriteSamplePackage(folder), 3, "ttyUSB0"};
    ASSERT_TRUE(LoadUpdateDescription(w.ctx, w.ctx.settings.UpdateFilePath));
    c.arm(folder, w);
    EXPECT_FALSE(UpdateCommand(w.ctx));
    EXPECT_EQ(CauseOf(w.ctx.report), c.cause);
    EXPECT_TRUE(RunVerdict(w.ctx.report).ends_with(". " + Fill(w, c.remedy)))
        << RunVerdict(w.ctx.report);
    EXPECT_FALSE(RunSucceeded(w.ctx.report));
    EXPECT_EQ(w.host.virtualPort().bytesWritten, 0);
    EXPECT_FALSE(w.host.Port().IsOpen());
    const bool packageProblem =
        c.cause == Cause::PackageFileMissing || c.cause == Cause::PackageBroken;
    ASSERT_EQ(w.host.messages.size(), 1u);
    EXPECT_EQ(w.host.messages[0].kind,
              packageProblem ? NoticeKind::PackageProblems : NoticeKind::PortError);
    // Every problem is named, as the package check names them.
    EXPECT_EQ(w.ctx.report.packageProblems.size(), c.cause == Cause::PackageBroken ? 2u
                                                   : packageProblem                ? 1u
                                                                                   : 0u);
  }
}

TEST(Commands, UpdateAndPortTestOpenAndCloseThePort) {
  RunWorld w;
  w.ctx.settings.ComPortNumber = "ttyUSB0";
  w.Load();
  w.host.Port().Close();
  EXPECT_TRUE(UpdateCommand(w.ctx));
  EXPECT_EQ(w.host.statuses[0], "Start");
  EXPECT_EQ(w.ctx.report.firmware.outcome, Outcome::Ok);
  EXPECT_FALSE(w.host.Port().IsOpen());
  w.host.virtualPort().failOpen = true;
  EXPECT_FALSE(UpdateCommand(w.ctx));
  EXPECT_EQ(w.host.status, "Fehler");
  for (const bool noWait : {true, false}) {
    test::SimWorld t;
    t.sim.handheld.present = false;
    t.host.Port().Close();
    t.ctx.settings.ComPortNumber = "ttyUSB0";
    EXPECT_EQ(PortTestCommand(t.ctx, noWait), noWait);
    EXPECT_EQ(t.host.status, noWait ? "0" : "1");
    EXPECT_TRUE(t.host.Port().IsOpen());
  }
  test::SimWorld gone;  // the interface vanishes under the port test
  gone.sim.faults.vanishAfter = 1;
  EXPECT_FALSE(PortTestCommand(gone.ctx, false));
  ASSERT_EQ(test::Shown(gone.host).size(), 1u);
  EXPECT_TRUE(
      test::Shown(gone.host)[0].starts_with("ComPort Fehler!|Die Verbindung zum Interface"));
  EXPECT_FALSE(gone.host.Port().IsOpen());

  RunWorld stopped;  // stopped while the station interface is being set up
  stopped.Load();
  stopped.host.Port().Close();
  stopped.ctx.settings = {stopped.ctx.settings.UpdateFilePath, 1, "1"};
  stopped.cancel = true;
  EXPECT_FALSE(UpdateCommand(stopped.ctx));
  EXPECT_EQ(stopped.host.statuses, (Strings{"Start", "Update abgebrochen"}));
  EXPECT_EQ(stopped.ctx.report.end, RunEnd::Cancelled);
  EXPECT_FALSE(stopped.host.Port().IsOpen());
  EXPECT_EQ(stopped.sim.stationLog.enterRequests, 0);

  RunWorld broken;  // an error while the station interface is being set up
  broken.Load();
  broken.host.Port().Close();
  broken.ctx.settings = {broken.ctx.settings.UpdateFilePath, 1, "1"};
  broken.host.afterYield = [] { throw std::runtime_error("Speicher voll"); };
  EXPECT_FALSE(UpdateCommand(broken.ctx));
  EXPECT_EQ(test::Shown(broken.host),
            Strings{"Fehler!|Unerwarteter Fehler beim Öffnen des Ports:\rSpeicher voll"});
  EXPECT_FALSE(broken.host.Port().IsOpen());
}

// A handheld that never answers ends the run after 21 attempts of send_pm01; one that
// answers send_pm01 but not the version read ends it after the second read.
TEST(UpdateRun, SilentHandheldAndRestartAnimation) {
  for (const bool pm01Answered : {false, true}) {
    RunWorld w;
    w.sim.handheld.present = pm01Answered;
    if (pm01Answered) {
      w.onSent = [&w](const test::Bytes& m) {  // every version read goes unanswered
        if (RunWorld::IsVersionRead(m)) w.sim.faults.dropAnswers = 1;
      };
    }
    w.Load();
    w.Run();
    Strings statuses{"Zentrale Update-Mode", "Lese Version"};
    for (int i = 0; i <= 20 && !pm01Answered; i++) statuses.push_back("PM01= " + std::to_string(i));
    statuses.push_back("Fehler beim Update");
    EXPECT_EQ(w.host.statuses, statuses);
    EXPECT_TRUE(w.host.messages.empty());
    EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
    EXPECT_FALSE(RunSucceeded(w.ctx.report));
  }
  const std::pair<double, const char*> frames[] = {
      {0.0, "##        "}, {0.25, "  ##      "}, {1.0, "        ##"},  {1.75, "  ##      "},
      {2.0, "##        "}, {2.6, "    ##    "},  {-0.25, "  ##      "}};
  for (const auto& [t, frame] : frames) EXPECT_EQ(RestartAnimationFrame(t), frame) << t;
}

}  // namespace
}  // namespace skyrelay

namespace skyrelay {
namespace {

// The whole sample package in one display: the share of the run only grows, the
// restart wait says what it waits for, and once the run has measured its pace
// the time left is right within a few percent, the backup before the
// configuration (a minute) included. The simulated handheld restarts
// faster than a real one, which the estimate allows a minute for.
TEST(Progress, OneDisplayWithTheTimeLeft) {
  test::RunWorld w;
  w.host.Port().Close();
  w.ctx.settings = {sim::WriteSamplePackage(w.dir.Folder() + "paket/"), 3, "ttyUSB0"};
  ASSERT_TRUE(LoadUpdateDescription(w.ctx, w.ctx.settings.UpdateFilePath));
  ASSERT_TRUE(UpdateCommand(w.ctx));
  ASSERT_TRUE(RunSucceeded(w.ctx.report));
  const double total = w.ctx.report.endedAt - w.ctx.report.startedAt;
  const double restartAllowance =
      ProgressTracker::kExpectedRestartSeconds - w.sim.handheld.restartTime;
  const std::vector<RunProgress>& shown = w.host.progressShown;
  ASSERT_FALSE(shown.empty());
  int percent = 0;
  bool restarted = false;
  std::vector<ProgressStage> stages;
  for (const RunProgress& p : shown) {
    EXPECT_GE(p.percent, percent);
    percent = p.percent;
    if (stages.empty() || stages.back() != p.stage) stages.push_back(p.stage);
    restarted |= p.stage == ProgressStage::Restart;
    if (p.stage == ProgressStage::Restart) {
      EXPECT_EQ(p.waitLimit, RestartQuestionSeconds);
    }
    if (!p.remaining) {
      EXPECT_LT(p.elapsed, 20) << "the pace is known after a few seconds";
      continue;
    }
    const bool afterRestart = restarted && p.stage != ProgressStage::Restart;
    const double left = total - p.elapsed + (afterRestart ? 0 : restartAllowance);
    EXPECT_NEAR(*p.remaining, left, 2 + 0.05 * left)
        << static_cast<int>(p.stage) << ": " << p.stageDone << " " << p.percent << " % "
        << p.elapsed << " s";
  }
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                          [](const RunProgress& p) { return p.percent == 100; }),
            1)
      << "all done only at the end";
  using S = ProgressStage;
  EXPECT_EQ(stages,
            (std::vector<S>{S::Firmware, S::Restart, S::Backup, S::LanguageTexts, S::TurnoutSymbols,
                            S::TurnoutAssignment, S::TurnoutList, S::Characters, S::Settings}));
  EXPECT_EQ(w.ctx.report.backup.end, BackupEnd::Saved);
  RunProgress restart;
  restart.stage = S::Restart;
  restart.waited = 23;
  restart.waitLimit = 70;
  restart.percent = 61;
  restart.elapsed = 185;
  restart.remaining = 152;
  EXPECT_EQ(GermanProgress(restart),
            "Warte auf den Neustart des Handreglers: 23 s (Nachfrage nach 70 s) · 61 % · 3:05 "
            "vergangen · noch etwa 2:32");
}

// On a link half as fast as the model, the time left is twice the model's from
// the first whole page on; the restart is the handheld's own time and not scaled.
TEST(Progress, TheMeasuredPaceScalesTheRestOfThePlan) {
  using S = ProgressStage;
  ProgressPlan plan;
  plan[S::Firmware] = 40;
  plan[S::Restart] = 60;
  plan[S::Settings] = 1;
  ProgressTracker t;
  t.Start(plan, 100);
  const double block = 2 * ProgressTracker::ModelSeconds(S::Firmware);
  const double settings = 2 * ProgressTracker::ModelSeconds(S::Settings);
  double now = 100;
  RunProgress p;
  for (int n = 0; n <= 40; n++, now += block) {
    // A message box open for two minutes within a page says nothing about the link.
    if (n == 12) now += 120;
    p = t.Update(S::Firmware, n, 40, now);
    EXPECT_EQ(p.remaining.has_value(), n >= 40) << n << ": measured enough only at the end";
  }
  now -= block;
  ASSERT_TRUE(p.remaining);
  EXPECT_NEAR(*p.remaining, 60 + settings, 1e-6);
  const double modelWhole = 40 * ProgressTracker::ModelSeconds(S::Firmware) + 60 +
                            ProgressTracker::ModelSeconds(S::Settings);
  EXPECT_EQ(p.percent,
            static_cast<int>(40 * ProgressTracker::ModelSeconds(S::Firmware) * 100 / modelWhole));
  p = t.Update(S::Restart, 25, 70, now + 25);
  EXPECT_EQ(std::tuple(p.waited, p.waitLimit), std::tuple(25.0, 70.0));
  EXPECT_NEAR(*p.remaining, 35 + settings, 1e-6);
  p = t.Update(S::Restart, 80, 140, now + 80);  // longer than expected: only the rest is left
  EXPECT_NEAR(*p.remaining, settings, 1e-6);
  p = t.Update(S::Settings, 1, 1, now + 90);
  EXPECT_EQ(std::tuple(p.percent, *p.remaining, p.elapsed), std::tuple(100, 0.0, now + 90 - 100));
}

}  // namespace
}  // namespace skyrelay
