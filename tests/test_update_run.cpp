// The whole update run against the simulated LocoNet, in virtual time: what the
// user sees and what the handheld ends up holding.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>

#include "package/description.h"
#include "package/display_code.h"
#include "config_test_files.h"
#include "protocol/flash.h"
#include "sim/package.h"
#include "sim/sim.h"
#include "support.h"
#include "update/firmware_update.h"
#include "update/identify.h"
#include "update/update_run.h"

namespace skyrelay {
namespace {

using Outcome = UpdateState::FirmwareOutcome;

struct UpdateWorld : test::SimWorld {
  testfiles::TempDir dir;
  sim::FirmwareSpec firmware;  // 2.1 by default; the handheld has 1.0

  UpdateWorld() {
    BuildDisplayCodeTable(ctx);
    // Page programs of the firmware stage, before the configuration data follows.
    host.onStatus = [this](const std::string& text) {
      if (text == "Firmware ok!" || text == "Fehler") firmwarePrograms = sim.flash.pagePrograms;
    };
  }

  void Texts(const std::string& text51, const std::string& text52) {
    sim.handheld.text51 = text51;
    sim.handheld.text52 = text52;
    sim.ApplyHandheldConfig();
  }

  // Writes the firmware file (optionally damaged) and a description naming it.
  void Load(const std::function<void(sim::ByteVector&)>& damage = {}) {
    sim::ByteVector bytes = sim::FirmwareFileBytes(firmware);
    if (damage) damage(bytes);
    dir.Write("fw/funk.tup", std::string(bytes.begin(), bytes.end()));
    const std::string version =
        std::to_string(firmware.version[0]) + "." + std::to_string(firmware.version[1]);
    const std::string tup =
        dir.Write("paket.tup", "FUNK=fw\\funk.tup\r\nFUNKVERSION=" + version + "\r\n");
    ParseUpdateDescription(ctx, tup);
    ASSERT_TRUE(host.messages.empty()) << host.messages[0].text;
  }

  void Run() {
    const auto cpuStart = std::clock();
    RunUpdate(ctx);
    cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  }

  bool Told(const std::string& text) const {
    return std::any_of(host.messages.begin(), host.messages.end(),
                       [&](const RecordedMessage& m) { return m.text == text; });
  }
  bool ToldStartingWith(const std::string& text) const {
    return std::any_of(host.messages.begin(), host.messages.end(),
                       [&](const RecordedMessage& m) { return m.text.rfind(text, 0) == 0; });
  }
  bool Showed(const std::string& status) const {
    return std::find(host.statuses.begin(), host.statuses.end(), status) != host.statuses.end();
  }
  sim::ByteVector Flash(uint32_t address, size_t count) const {
    return sim.flash.Read(address, count);
  }

  double cpuSeconds = 0;
  long firmwarePrograms = -1;
};

TEST(UpdateRun, OlderRadioHandheldGetsTheImageByteForByte) {
  UpdateWorld w;
  w.Load();
  w.Run();
  EXPECT_EQ(w.Flash(FlashImageBase, 497 * 64), sim::FirmwareImage(w.firmware));
  EXPECT_TRUE(w.Showed("Firmware ok!"));
  EXPECT_EQ(w.host.status, "Update beendet");
  EXPECT_TRUE(w.Showed("0%"));
  EXPECT_TRUE(w.Showed("50%"));
  EXPECT_TRUE(w.Showed("100%"));
  EXPECT_TRUE(w.Showed("Zentrale Update-Mode"));
  EXPECT_EQ(w.sim.installs, 1);
  EXPECT_EQ(w.ctx.upd.firmwareOutcome, Outcome::Ok);
  EXPECT_TRUE(LastRunSucceeded(w.ctx));
  // The questions and messages the user saw, in order.
  ASSERT_GE(w.host.messages.size(), 3u);
  EXPECT_EQ(w.host.messages[0].text,
            "Funk- oder LocoNet-Handregler :\r\rVersion im Handregler: 1.0 vom: 1.1.20\r\rSoll "
            "die Version 2.1 vom 6.12.26 geladen werden?");
  EXPECT_EQ(w.host.messages[0].title, "Update");
  EXPECT_EQ(w.host.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(w.host.messages[1].title, "Achtung!");
  EXPECT_TRUE(w.ToldStartingWith("     Firmware-Update ok!"));
  // The station was put into update mode and released again.
  EXPECT_EQ(w.sim.stationLog.enterRequests, 1);
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
  EXPECT_FALSE(w.sim.stationLog.inUpdateMode);
  ASSERT_EQ(w.sim.stationLog.texts.size(), 1u);
  EXPECT_EQ(w.sim.stationLog.texts[0], "Update " + w.ctx.ProductName);

  std::printf(
      "[ figures ] firmware update: %.1f s virtual, %ld messages sent, %ld received, "
      "%.3f s CPU\n",
      w.host.Now(), w.ctx.stats.messagesSent, w.ctx.stats.messagesReceived, w.cpuSeconds);
}

TEST(UpdateRun, CurrentVersionDeclinedSkipsEverythingButReleasesTheStation) {
  UpdateWorld w;
  w.sim.handheld.version = {2, 1, 6, 12, 26};
  w.sim.ApplyHandheldConfig();
  w.Load();
  w.host.answerQuestion = [](const RecordedMessage&) { return Answer::No; };
  w.Run();
  EXPECT_TRUE(w.Told(
      "Die Handregler Software ist aktuell!\r\r   Ein Update ist nicht notwendig!\r\r    Update "
      "trotzdem durchführen? "));
  EXPECT_TRUE(w.Showed("Software aktuell!"));
  EXPECT_EQ(w.ctx.upd.firmwareOutcome, Outcome::Declined);
  EXPECT_EQ(w.ctx.upd.configurationResult, -1) << "no configuration transfer";
  EXPECT_EQ(w.Flash(FlashImageBase, 512), sim::ByteVector(512, 0xFF));
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
  EXPECT_EQ(w.host.status, "Update beendet");
  EXPECT_TRUE(LastRunSucceeded(w.ctx));
}

TEST(UpdateRun, VersionOneFiftyCountsAsOneFive) {
  UpdateWorld w;
  w.sim.handheld.version = {1, 5, 3, 11, 9};
  w.sim.ApplyHandheldConfig();
  w.firmware.version = {1, 50, 1, 1, 1};
  w.Load();
  w.host.answerQuestion = [](const RecordedMessage&) { return Answer::No; };
  w.Run();
  EXPECT_TRUE(w.ToldStartingWith("Die Handregler Software ist aktuell!"));
}

TEST(UpdateRun, UnrecognisedHandheld) {
  UpdateWorld w;
  w.Texts("", "");
  w.Load();
  w.host.answerQuestion = [](const RecordedMessage&) { return Answer::No; };
  w.Run();
  ASSERT_EQ(w.host.messages.size(), 1u);
  EXPECT_EQ(w.host.messages[0].text,
            "Handregler konnte nicht erkannt werden!\r\rTrotzdem ein Update versuchen?");
  EXPECT_EQ(w.host.messages[0].title, "");
  EXPECT_EQ(w.host.status, "Fehler beim Update");
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1) << "released when it was entered";
  EXPECT_FALSE(LastRunSucceeded(w.ctx));

  // Going on anyway: no firmware for kind 0, only the configuration data.
  UpdateWorld yes;
  yes.Texts("", "");
  yes.Load();
  yes.Run();
  EXPECT_TRUE(yes.Showed("Fehler im Updatefile!"));
  EXPECT_EQ(yes.ctx.upd.firmwareOutcome, Outcome::NoFirmwareFile);
  EXPECT_EQ(yes.host.status, "Update beendet");
}

TEST(UpdateRun, DigitalSetTextsAndOtherArticles) {
  UpdateWorld w;
  w.Texts("ROT", "GRÜN");
  w.Load();
  w.Run();
  EXPECT_EQ(w.ctx.upd.HandheldKind, 2);
  EXPECT_TRUE(w.Showed("Fehler im Updatefile!")) << "the package has no digital-set firmware";

  UpdateWorld radio;
  radio.sim.handheld.articleNumber = 58401;
  radio.sim.ApplyHandheldConfig();
  radio.Load();
  radio.Run();
  EXPECT_EQ(radio.ctx.upd.HandheldKind, 1);
  EXPECT_TRUE(radio.Told("Fehler!"));
  EXPECT_EQ(radio.ctx.upd.firmwareOutcome, Outcome::NotApplicable);
  EXPECT_EQ(radio.Flash(FlashImageBase, 512), sim::ByteVector(512, 0xFF));
}

// A run in which the page at 0x300200 is programmed wrongly `failures` times.
std::unique_ptr<UpdateWorld> RunWithBadPage(int failures) {
  auto w = std::make_unique<UpdateWorld>();
  w->sim.flash.corruptPage = 0x300200;
  w->sim.flash.corruptPrograms = failures;
  w->Load();
  w->Run();
  return w;
}

TEST(UpdateRun, PageRepetition) {
  const auto twice = RunWithBadPage(2);
  EXPECT_TRUE(twice->Showed("Firmware ok!"));
  EXPECT_EQ(twice->Flash(FlashImageBase, 497 * 64), sim::FirmwareImage(twice->firmware));
  EXPECT_EQ(twice->firmwarePrograms, 63 + 2);
  // After each failure the progress fell back to block 8.
  const auto& s = twice->host.statuses;
  EXPECT_EQ(std::count(s.begin(), s.end(), "1%"), 3 + 3 * 2) << "blocks 5..7 once, 8 and 9 thrice";

  EXPECT_TRUE(RunWithBadPage(4)->Showed("Firmware ok!"));

  const auto five = RunWithBadPage(5);
  EXPECT_TRUE(five->Told("Flash Block kann nicht beschrieben werden!"));
  EXPECT_FALSE(five->Showed("Firmware ok!"));
  EXPECT_EQ(five->sim.installs, 0);
  EXPECT_EQ(five->ctx.upd.firmwareOutcome, Outcome::Failed);
  EXPECT_EQ(five->host.status, "Update beendet");
  EXPECT_FALSE(LastRunSucceeded(five->ctx));
}

TEST(UpdateRun, StationUpdateModeByIdentificationNumber) {
  struct Case {
    int64_t id;
    bool entered;
  } cases[] = {{4212345678, true}, {1299999999, true}, {2412345678, false}, {-1, false}};
  for (const Case& c : cases) {
    UpdateWorld w;
    w.sim.station.idNumber = c.id;
    w.Load();
    w.Run();
    EXPECT_EQ(w.Showed("Zentrale Update-Mode"), c.entered) << c.id;
    EXPECT_EQ(w.sim.stationLog.enterRequests, c.entered ? 1 : 0) << c.id;
    EXPECT_EQ(w.sim.stationLog.finishRequests, c.entered ? 1 : 0) << c.id;
    EXPECT_FALSE(w.sim.stationLog.inUpdateMode);
    EXPECT_EQ(w.host.status, "Update beendet") << c.id;
    if (c.entered) {
      EXPECT_EQ(w.sim.stationLog.finishedWithVersion, w.sim.station.bootLoaderVersion);
      ASSERT_EQ(w.sim.stationLog.values.size(), 1u);
      EXPECT_EQ(w.sim.stationLog.values[0], std::make_pair(10, 50));
    }
  }
}

TEST(UpdateRun, DamagedFirmwareFiles) {
  UpdateWorld wrongNumber;
  wrongNumber.Load([](sim::ByteVector& b) { b[46 + 66 * 100 + 1] = 0x07; });
  wrongNumber.Run();
  EXPECT_TRUE(
      wrongNumber.Told("Das Update-File ist nicht in Ordnung\n\r oder passt nicht zum Gerät!"));
  EXPECT_EQ(wrongNumber.ctx.upd.firmwareOutcome, Outcome::Failed);
  EXPECT_EQ(wrongNumber.sim.installs, 0);
  EXPECT_EQ(wrongNumber.host.status, "Update beendet");
  EXPECT_EQ(wrongNumber.firmwarePrograms, 12) << "pages before block 100";

  UpdateWorld high;
  high.Load([](sim::ByteVector& b) { b[46] = 0x80; });
  high.Run();
  EXPECT_TRUE(high.ToldStartingWith("Das Update-File ist nicht in Ordnung"));

  UpdateWorld cut;
  cut.Load([](sim::ByteVector& b) { b.resize(46 + 66 * 496 + 30); });
  cut.Run();
  EXPECT_TRUE(cut.ToldStartingWith("Das Update-File ist nicht in Ordnung"));
  EXPECT_EQ(cut.sim.installs, 0);
  EXPECT_EQ(cut.firmwarePrograms, 62);
}

TEST(UpdateRun, RestartProblems) {
  UpdateWorld silent;
  silent.sim.handheld.neverRestart = true;
  silent.Load();
  int asked = 0;
  silent.host.answerQuestion = [&](const RecordedMessage& m) {
    if (m.title != "Achtung") return Answer::Yes;
    return ++asked < 3 ? Answer::Yes : Answer::No;
  };
  silent.Run();
  EXPECT_EQ(asked, 3);
  EXPECT_TRUE(
      silent.Told(silent.ctx.ProductName + " meldet sich nicht zurück!\r     weiter warten?     "));
  EXPECT_EQ(silent.ctx.upd.firmwareOutcome, Outcome::Failed);
  EXPECT_EQ(silent.host.status, "Update beendet");
  EXPECT_FALSE(LastRunSucceeded(silent.ctx));

  UpdateWorld wrongLoco;
  wrongLoco.sim.handheld.requestWrongLoco = true;
  wrongLoco.Load();
  wrongLoco.Run();
  EXPECT_TRUE(
      wrongLoco.Told(wrongLoco.ctx.ProductName + " hat die falsche Lok beim Starten angemeldet!"));

  UpdateWorld wrongVersion;
  wrongVersion.sim.handheld.reportWrongVersion = true;
  wrongVersion.Load();
  wrongVersion.Run();
  EXPECT_TRUE(wrongVersion.Told("Es wurde die falsche Version nach dem Update gelesen!"));
  EXPECT_FALSE(wrongVersion.Showed("Firmware ok!"));
}

TEST(UpdateRun, SilentHandheld) {
  UpdateWorld w;
  w.sim.handheld.present = false;
  w.Load();
  w.Run();
  EXPECT_EQ(w.host.status, "Fehler beim Update");
  EXPECT_EQ(w.host.statuses[w.host.statuses.size() - 2], "PM01= 20");
  EXPECT_TRUE(w.host.messages.empty());
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
}

TEST(RestartAnimation, MarksTravelAcrossAndBack) {
  EXPECT_EQ(RestartAnimationFrame(0.0), "##        ");
  EXPECT_EQ(RestartAnimationFrame(0.25), "  ##      ");
  EXPECT_EQ(RestartAnimationFrame(1.0), "        ##");
  EXPECT_EQ(RestartAnimationFrame(1.75), "  ##      ");
  EXPECT_EQ(RestartAnimationFrame(2.0), "##        ");
}

}  // namespace
}  // namespace skyrelay
