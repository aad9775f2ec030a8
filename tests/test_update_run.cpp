// The whole update run against the simulated LocoNet, in virtual time: what the
// user sees, what goes over the bus and what the handheld ends up holding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>

#include "config_test_files.h"
#include "package/description.h"
#include "package/display_code.h"
#include "protocol/flash.h"
#include "sim/package.h"
#include "sim/sim.h"
#include "support.h"
#include "update/commands.h"
#include "update/firmware_update.h"
#include "update/identify.h"
#include "update/update_run.h"

namespace skyrelay {
namespace {

using Outcome = UpdateState::FirmwareOutcome;
using Strings = std::vector<std::string>;

const std::string kQuestion =
    "Update|Funk- oder LocoNet-Handregler :\r\rVersion im Handregler: 1.0 vom: 1.1.20\r\rSoll "
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
const std::string kBadFile =
    "Fehler|Das Update-File ist nicht in Ordnung\n\r oder passt nicht zum Gerät!";
std::string LocoNetError(int step) {
  return "Fehler|Fehler bei einer Ausgabe auf LocoNet: " + std::to_string(step);
}

struct UpdateWorld : test::SimWorld {
  testfiles::TempDir dir;
  sim::FirmwareSpec firmware;  // 2.1 by default; the handheld has 1.0
  Strings answers;             // answers to the questions in turn, "Y" or "N"; then Yes

  UpdateWorld() {
    BuildDisplayCodeTable(ctx);
    host.answerQuestion = [this](const RecordedMessage&) {
      if (answers.empty()) return Answer::Yes;
      const std::string a = answers.front();
      answers.erase(answers.begin());
      return a == "Y" ? Answer::Yes : Answer::No;
    };
  }
  void Handheld(int article, const std::string& text51, const std::string& text52) {
    sim.handheld.articleNumber = article;
    sim.handheld.text51 = text51;
    sim.handheld.text52 = text52;
    sim.ApplyHandheldConfig();
  }
  // Writes the firmware file (optionally damaged) and a description naming it, for the
  // radio handhelds and, with `zentrale`, the digital-set ones too.
  void Load(const std::function<void(sim::ByteVector&)>& damage = {}, bool zentrale = false) {
    sim::ByteVector bytes = sim::FirmwareFileBytes(firmware);
    if (damage) damage(bytes);
    dir.Write("fw/funk.tup", std::string(bytes.begin(), bytes.end()));
    const std::string version =
        std::to_string(firmware.version[0]) + "." + std::to_string(firmware.version[1]);
    std::string tup = "FUNK=fw\\funk.tup\r\nFUNKVERSION=" + version + "\r\n";
    if (zentrale) tup += "ZENTRALE=fw\\funk.tup\r\nZENTRALEVERSION=" + version + "\r\n";
    ParseUpdateDescription(ctx, dir.Write("paket.tup", tup));
    ASSERT_TRUE(host.messages.empty()) << host.messages[0].text;
  }
  void Run() { RunUpdate(ctx); }
  bool Showed(const std::string& status) const {
    return std::find(host.statuses.begin(), host.statuses.end(), status) != host.statuses.end();
  }
  // The status texts other than progress and the restart animation.
  Strings Statuses() const {
    Strings out;
    for (const std::string& s : host.statuses) {
      if (s.empty() || (s.back() != '%' && s.find("##") == std::string::npos)) out.push_back(s);
    }
    return out;
  }
  sim::ByteVector Image() const { return sim.flash.Read(FlashImageBase, 497 * 64); }
};

TEST(UpdateRun, OlderRadioHandheldGetsTheImageAndTheStationIsReleased) {
  UpdateWorld w;
  w.Load();
  const auto cpuStart = std::clock();
  w.Run();
  const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  EXPECT_EQ(w.Image(), sim::FirmwareImage(w.firmware));
  EXPECT_EQ(test::Shown(w.host), (Strings{kQuestion, kInstall, kSuccess}));
  std::vector<Icon> icons;
  for (const RecordedMessage& m : w.host.messages) icons.push_back(m.icon);
  EXPECT_EQ(icons, (std::vector<Icon>{Icon::None, Icon::Stop, Icon::Information}));
  EXPECT_EQ(w.Statuses(), (Strings{"Zentrale Update-Mode", "Lese Version", "Firmware ok!",
                                   "neue Konfiguration", "Update beendet"}));
  const auto& s = w.host.statuses;
  EXPECT_EQ(std::count_if(s.begin(), s.end(), [](auto& t) { return t.back() == '%'; }), 497);
  EXPECT_TRUE(w.Showed("0%") && w.Showed("50%") && w.Showed("100%"));
  // Phase 4 waits for its answer; phase 6 and the end of the transfer pause a second.
  EXPECT_EQ(w.Pm01Pauses(), (std::vector<long>{0, 10, 10}));
  EXPECT_EQ(w.sim.installs, 1);
  EXPECT_EQ(w.ctx.upd.firmwareOutcome, Outcome::Ok);
  EXPECT_EQ(w.ctx.upd.configurationResult, 0);
  EXPECT_TRUE(LastRunSucceeded(w.ctx));
  const sim::StationLog& log = w.sim.stationLog;
  EXPECT_EQ(std::vector<int>(
                {log.enterRequests, log.finishRequests, log.inUpdateMode, log.finishedWithVersion}),
            std::vector<int>({1, 1, 0, w.sim.station.bootLoaderVersion}));
  EXPECT_EQ(log.values, (std::vector<std::pair<int, int>>{{10, 50}}));
  EXPECT_EQ(log.texts, Strings{"Update " + w.ctx.ProductName});
  std::printf(
      "[ figures ] firmware update: %.1f s virtual, %ld messages sent, %ld received, "
      "%.3f s CPU\n",
      w.host.Now(), w.ctx.stats.messagesSent, w.ctx.stats.messagesReceived, cpu);
}

// The kind decides the firmware file and the question; both text pairs give kind 2.
TEST(UpdateRun, IdentificationByArticleAndTexts) {
  const std::string frei21 = "           FREI      ";  // 21 characters, F as code 12
  const struct {
    int article;
    std::string text51, text52;
    int kind;
    std::string first;  // the first message shown, or the status after "Lese Version"
  } cases[] = {
      {58400, "FREI", "BELEGT", 1, "Update|Funk- oder LocoNet-Handregler :"},
      {58400, "FREI ROT", "GRÜN BELEGT", 2, "Update|Handregler aus Digital-Set :"},
      {58400, "ROT", "GRÜN", 2, "Update|Handregler aus Digital-Set :"},
      {58400, frei21, "BELEGT", 1, "Update|Funk- oder LocoNet-Handregler :"},
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
    UpdateWorld w;
    w.Handheld(c.article, c.text51, c.text52);
    w.Load({}, true);
    w.answers = {"N"};
    w.Run();
    EXPECT_EQ(w.ctx.upd.HandheldKind, c.kind);
    ASSERT_FALSE(w.host.messages.empty());
    EXPECT_EQ(test::Shown(w.host)[0].substr(0, c.first.size()), c.first);
    EXPECT_EQ(w.host.messages.size(), 1u);
    EXPECT_EQ(w.Image(), sim::ByteVector(497 * 64, 0xFF));
    EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
    EXPECT_EQ(w.host.status, c.kind == 0 ? "Fehler beim Update" : "Update beendet");
  }
}

// Declining writes nothing, sends send_pm01 without waiting and pauses a second.
TEST(UpdateRun, QuestionsAnswered) {
  const struct {
    std::array<uint8_t, 5> installed;
    int fileMinor;
    Strings answers;
    Strings shown, statuses;
    Outcome outcome;
  } cases[] = {
      {{2, 1, 6, 12, 26}, 1, {"N"}, {kCurrent}, {"Software aktuell!"}, Outcome::Declined},
      {{1, 5, 3, 11, 9}, 50, {"N"}, {kCurrent}, {"Software aktuell!"}, Outcome::Declined},
      {{2, 1, 6, 12, 26}, 1, {"Y", "N"}, {kCurrent, "Update|Funk"}, {""}, Outcome::Declined},
      {{1, 0, 1, 1, 20}, 1, {"N"}, {kQuestion}, {""}, Outcome::Declined},
  };
  for (const auto& c : cases) {
    UpdateWorld w;
    w.sim.handheld.version = c.installed;
    w.sim.ApplyHandheldConfig();
    w.firmware.version = {2, static_cast<uint8_t>(c.fileMinor), 6, 12, 26};
    if (c.fileMinor == 50) w.firmware.version[0] = 1;
    w.Load();
    w.answers = c.answers;
    w.Run();
    Strings shown = test::Shown(w.host);
    for (size_t i = 0; i < shown.size() && i < c.shown.size(); i++) {
      shown[i] = shown[i].substr(0, c.shown[i].size());
    }
    EXPECT_EQ(shown, c.shown);
    Strings statuses = c.statuses;
    statuses.insert(statuses.begin(), {"Zentrale Update-Mode", "Lese Version"});
    statuses.push_back("Update beendet");
    EXPECT_EQ(w.Statuses(), statuses);
    EXPECT_EQ(w.ctx.upd.firmwareOutcome, c.outcome);
    EXPECT_EQ(w.ctx.upd.configurationResult, -1) << "no configuration transfer";
    EXPECT_TRUE(LastRunSucceeded(w.ctx));
    EXPECT_EQ(w.Pm01Pauses(), std::vector<long>{10});
    EXPECT_TRUE(UpdateWorld::IsPm01(w.sent[w.sent.size() - 2].second)) << "before the finish";
    EXPECT_EQ(w.Image(), sim::ByteVector(497 * 64, 0xFF));
  }

  // An unrecognised handheld updated anyway: no firmware for kind 0, the data still goes in.
  UpdateWorld yes;
  yes.Handheld(58400, "", "");
  yes.Load();
  yes.Run();
  EXPECT_EQ(test::Shown(yes.host), Strings{kUnknown});
  EXPECT_EQ(yes.Statuses(),
            (Strings{"Zentrale Update-Mode", "Lese Version", "Fehler im Updatefile!",
                     "neue Konfiguration", "Update beendet"}));
  EXPECT_EQ(yes.ctx.upd.firmwareOutcome, Outcome::NoFirmwareFile);
  EXPECT_TRUE(LastRunSucceeded(yes.ctx));
}

// Pages that read back wrong are sent again, at most five times each; the counters
// start afresh for every page. The last page is verified once, without repetition.
TEST(UpdateRun, PageRepetition) {
  const struct {
    uint32_t page;
    int failures;
    uint32_t laterPage;
    int laterFailures;
    Strings shown;
    long programs;
  } cases[] = {
      {0x300200, 2, 0, 0, {kQuestion, kInstall, kSuccess}, 63 + 2},
      {0x300200, 4, 0, 0, {kQuestion, kInstall, kSuccess}, 63 + 4},
      {0x300200, 2, 0x300600, 4, {kQuestion, kInstall, kSuccess}, 63 + 6},
      {0x300200, 5, 0, 0, {kQuestion, "Achtung!|Flash Block kann nicht beschrieben werden!"}, 6},
      {0x307C00, 1, 0, 0, {kQuestion, LocoNetError(2)}, 63},
  };
  for (const auto& c : cases) {
    UpdateWorld w;
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
    const bool ok = c.shown.back() == kSuccess;
    EXPECT_EQ(w.sim.installs, ok ? 1 : 0);
    if (ok) {
      EXPECT_EQ(w.Image(), sim::FirmwareImage(w.firmware));
    }
    EXPECT_EQ(LastRunSucceeded(w.ctx), ok);
    EXPECT_EQ(w.host.status, "Update beendet");
    if (c.failures == 2 && c.laterFailures == 0) {  // the progress fell back to block 8
      const auto& s = w.host.statuses;
      EXPECT_EQ(std::count(s.begin(), s.end(), "1%"), 3 + 3 * 2) << "blocks 5..7, 8 and 9 thrice";
    }
  }
}

// A command that fails is reported with the phase it failed in.
TEST(UpdateRun, LocoNetErrorsNameTheirStep) {
  const auto settingsRead = [](const test::Bytes& m) {
    return m[3] == 0x66 && m[6] == 0x68 && m[7] == 0x3F;  // D1 = 0xE8, D2 = 0x3F
  };
  const struct {
    int step;
    std::function<void(UpdateWorld&, const test::Bytes&)> fault;
    Strings shown;
  } cases[] = {
      {1,
       [](UpdateWorld& w, const test::Bytes&) {
         if (w.host.status == "20%") w.sim.handheld.present = false;
       },
       {kQuestion, "Timeout|write_to_spibuf", LocoNetError(1)}},
      {3,
       [&](UpdateWorld& w, const test::Bytes& m) {
         if (settingsRead(m)) w.sim.handheld.present = false;
       },
       {kQuestion, "Timeout|read_flash_to_spibuf", LocoNetError(3)}},
      {4,
       [](UpdateWorld& w, const test::Bytes&) {
         if (w.locoRequested) w.sim.handheld.present = false;
       },
       {kQuestion, kInstall, LocoNetError(4)}},
      {5,
       [](UpdateWorld& w, const test::Bytes& m) {
         if (w.locoRequested && m[5] == 0 && m[10] == 0x30) w.sim.faults.dropAnswers = 1;
       },
       {kQuestion, kInstall, LocoNetError(5)}},
  };
  for (const auto& c : cases) {
    UpdateWorld w;
    w.onSent = [&](const test::Bytes& m) { c.fault(w, m); };
    w.Load();
    w.Run();
    EXPECT_EQ(test::Shown(w.host), c.shown) << c.step;
    EXPECT_EQ(w.host.statuses[w.host.statuses.size() - 2], "Fehler");
    EXPECT_EQ(w.ctx.upd.firmwareOutcome, Outcome::Failed);
    EXPECT_EQ(w.ctx.upd.configurationResult, -1);
    EXPECT_EQ(w.sim.installs, c.step < 4 ? 0 : 1);
    EXPECT_FALSE(LastRunSucceeded(w.ctx));
  }
}

TEST(UpdateRun, RestartProblems) {
  UpdateWorld silent;  // asked every 70 s while the user wants to wait
  silent.sim.handheld.neverRestart = true;
  silent.Load();
  silent.answers = {"Y", "Y", "Y", "N"};
  std::vector<double> asked;
  silent.host.onMessage = [&](const RecordedMessage&) { asked.push_back(silent.host.Now()); };
  silent.Run();
  const std::string wait =
      "Achtung|" + silent.ctx.ProductName + " meldet sich nicht zurück!\r     weiter warten?     ";
  EXPECT_EQ(test::Shown(silent.host), (Strings{kQuestion, kInstall, wait, wait, wait}));
  ASSERT_EQ(asked.size(), 5u);
  for (int i = 2; i < 5; i++) EXPECT_NEAR(asked[i] - asked[i - 1], 70.0, 0.02) << i;
  EXPECT_EQ(silent.ctx.upd.firmwareOutcome, Outcome::Failed);
  EXPECT_EQ(silent.host.status, "Update beendet");
  EXPECT_FALSE(LastRunSucceeded(silent.ctx));

  UpdateWorld loco;
  loco.sim.handheld.requestWrongLoco = true;
  loco.Load();
  loco.Run();
  EXPECT_EQ(test::Shown(loco.host).back(), "Update 58400|" + loco.ctx.ProductName +
                                               " hat die falsche Lok beim Starten angemeldet!");

  // 1.5 read back is not the file's 1.50: the versions are compared as texts.
  UpdateWorld version;
  version.firmware.version = {1, 50, 1, 1, 1};
  version.sim.handheld.versionAfterUpdate = std::array<uint8_t, 5>{1, 5, 1, 1, 1};
  version.Load();
  version.Run();
  EXPECT_EQ(test::Shown(version.host).back(),
            "Update 58400|Es wurde die falsche Version nach dem Update gelesen!");
  EXPECT_FALSE(version.Showed("Firmware ok!"));
  for (UpdateWorld* w : {&loco, &version}) EXPECT_EQ(w->ctx.upd.firmwareOutcome, Outcome::Failed);
}

TEST(UpdateRun, DamagedFirmwareFiles) {
  const struct {
    std::function<void(sim::ByteVector&)> damage;
    long programs;
  } cases[] = {
      {[](sim::ByteVector& b) { b[46 + 66 * 100 + 1] = 0x07; }, 12},   // record 100 numbered 7
      {[](sim::ByteVector& b) { b[46] = 0x80; }, 0},                   // record 0 numbered 0x8000
      {[](sim::ByteVector& b) { b.resize(46 + 66 * 496 + 30); }, 62},  // the last one cut
  };
  for (const auto& c : cases) {
    UpdateWorld w;
    w.Load(c.damage);
    w.Run();
    EXPECT_EQ(test::Shown(w.host), (Strings{kQuestion, kBadFile}));
    EXPECT_EQ(w.sim.flash.pagePrograms, c.programs);
    EXPECT_EQ(w.ctx.upd.firmwareOutcome, Outcome::Failed);
    EXPECT_EQ(w.host.status, "Update beendet");
  }
}

TEST(UpdateRun, StationUpdateModeByIdentificationNumber) {
  const std::pair<int64_t, bool> cases[] = {
      {4212345678, true}, {1299999999, true}, {2412345678, false}, {-1, false}};
  for (const auto& [id, entered] : cases) {
    UpdateWorld w;
    w.sim.station.idNumber = id;
    w.Load();
    w.Run();
    EXPECT_EQ(w.Showed("Zentrale Update-Mode"), entered) << id;
    EXPECT_EQ(w.sim.stationLog.enterRequests + w.sim.stationLog.finishRequests, entered ? 2 : 0);
    EXPECT_EQ(w.sim.stationLog.values.size(), entered ? 1u : 0u);
    EXPECT_TRUE(LastRunSucceeded(w.ctx)) << id;
  }

  UpdateWorld silent;  // a silent handheld ends the run after 21 attempts of send_pm01
  silent.sim.handheld.present = false;
  silent.Load();
  silent.Run();
  EXPECT_EQ(silent.Statuses().back(), "Fehler beim Update");
  EXPECT_EQ(silent.host.statuses[silent.host.statuses.size() - 2], "PM01= 20");
  EXPECT_TRUE(silent.host.messages.empty());
  EXPECT_EQ(silent.sim.stationLog.finishRequests, 1);
  EXPECT_FALSE(LastRunSucceeded(silent.ctx));
}

TEST(Commands, UpdateAndPortTestOpenAndCloseThePort) {
  UpdateWorld w;
  w.ctx.settings.ComPortNumber = "ttyUSB0";
  w.Load();
  w.host.Port().Close();
  EXPECT_TRUE(UpdateCommand(w.ctx));
  EXPECT_EQ(w.host.statuses[0], "Start");
  EXPECT_EQ(w.ctx.upd.firmwareOutcome, Outcome::Ok);
  EXPECT_FALSE(w.host.Port().IsOpen());
  w.host.virtualPort().failOpen = true;
  EXPECT_FALSE(UpdateCommand(w.ctx));
  EXPECT_EQ(w.host.status, "Fehler");

  const std::pair<bool, std::string> tests[] = {{true, "0"}, {false, "1"}};
  for (const auto& [noWait, status] : tests) {
    test::SimWorld t;
    t.sim.handheld.present = false;
    t.host.Port().Close();
    t.ctx.settings.ComPortNumber = "ttyUSB0";
    EXPECT_EQ(PortTestCommand(t.ctx, noWait), noWait ? 0 : 1);
    EXPECT_EQ(t.host.status, status);
    EXPECT_TRUE(t.host.Port().IsOpen());
  }
}

TEST(RestartAnimation, MarksTravelAcrossAndBack) {
  const std::pair<double, const char*> frames[] = {{0.0, "##        "}, {0.25, "  ##      "},
                                                   {1.0, "        ##"}, {1.75, "  ##      "},
                                                   {2.0, "##        "}, {2.6, "    ##    "}};
  for (const auto& [t, frame] : frames) EXPECT_EQ(RestartAnimationFrame(t), frame) << t;
}

}  // namespace
}  // namespace skyrelay
