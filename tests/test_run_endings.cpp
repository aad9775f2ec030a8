// Every way an update run can end, on the simulated LocoNet in virtual time:
// once the station was asked into update mode it is released, with a bounded
// wait, and the run's verdict says what happened.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "config_test_files.h"
#include "package/description.h"
#include "package/display_code.h"
#include "sim/package.h"
#include "support.h"
#include "update/commands.h"
#include "update/update_run.h"

namespace skyrelay {
namespace {

struct EndingWorld : test::SimWorld {
  testfiles::TempDir dir;
  bool cancel = false;
  double cancelledAt = -1;
  std::string lastStatus;

  EndingWorld() {
    BuildDisplayCodeTable(ctx);
    sim::ByteVector firmware = sim::FirmwareFileBytes(sim::FirmwareSpec{});
    dir.Write("fw/funk.tup", std::string(firmware.begin(), firmware.end()));
    dir.Write("texte/deutsch.txt", sim::LanguageFileText("deutsch", 3, true));
    ParseUpdateDescription(
        ctx, dir.Write("paket.tup",
                       "FUNK=fw\\funk.tup\r\nFUNKVERSION=2.1\r\nDEUTSCH=texte\\deutsch.txt\r\n"));
    EXPECT_TRUE(host.messages.empty());
    // A front end that stops the run at its next safe yield, as Ctrl-C does.
    host.afterYield = [this] {
      if (cancel && ctx.MayAbandonRun()) throw RunCancelled{};
    };
  }
  // Sets the stop flag when the status line first shows `text`.
  void CancelAtStatus(const std::string& text) {
    host.onStatus = [this, text](const std::string& s) {
      if (s == text && !cancel) Cancel();
    };
  }
  void Cancel() {
    cancel = true;
    cancelledAt = host.Now();
  }
  void ExpectReleasedOnce() {
    EXPECT_EQ(sim.stationLog.enterRequests, 1);
    EXPECT_EQ(sim.stationLog.finishRequests, 1);
    EXPECT_FALSE(sim.stationLog.inUpdateMode);
  }
};

TEST(RunEndings, StoppingAtAnyMomentReleasesTheStationAtOnce) {
  struct Case {
    const char* name;
    std::function<void(EndingWorld&)> arm;
    int interfaceKind = 3;
  } cases[] = {
      {"during the pause after the entry",
       [](EndingWorld& w) { w.CancelAtStatus("Zentrale Update-Mode"); }},
      {"at the version question",
       [](EndingWorld& w) {
         w.host.answerQuestion = [&w](const RecordedMessage&) -> Answer { throw RunCancelled{}; };
       }},
      {"during the firmware transfer", [](EndingWorld& w) { w.CancelAtStatus("50%"); }},
      {"during the byte-by-byte writes of interface 1",
       [](EndingWorld& w) { w.CancelAtStatus("30%"); }, 1},
      {"during the restart wait", [](EndingWorld& w) { w.CancelAtStatus("##        "); }},
      {"during the language texts", [](EndingWorld& w) { w.CancelAtStatus("Sprache:0 Txt:1"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EndingWorld w;
    w.ctx.settings.InterfaceKind = c.interfaceKind;
    c.arm(w);
    RunUpdate(w.ctx);
    w.ExpectReleasedOnce();
    EXPECT_EQ(w.ctx.upd.runEnded, UpdateState::RunEnd::Cancelled);
    EXPECT_EQ(w.ctx.upd.releaseResult, 0);
    EXPECT_EQ(w.host.status, "Update abgebrochen");
    EXPECT_FALSE(LastRunSucceeded(w.ctx));
    EXPECT_EQ(RunVerdict(w.ctx, ""), "Update fehlgeschlagen: abgebrochen");
    // The stop flag stays set during the release: the release is not abandoned,
    // and it is quick.
    if (w.cancelledAt >= 0) {
      EXPECT_LT(w.host.Now() - w.cancelledAt, 4.0);
    }
  }
}

TEST(RunEndings, ALostAnswerToTheUpdateModeRequestStillReleases) {
  EndingWorld w;
  // The station obeys; only its two answers are lost on the bus.
  w.host.onStatus = [&w](const std::string& s) {
    if (s == "Zentrale Update-Mode") w.sim.faults.dropAnswers = 2;
  };
  RunUpdate(w.ctx);
  w.ExpectReleasedOnce();
  EXPECT_EQ(w.ctx.upd.UpdateModeActive, 0);
  EXPECT_EQ(w.host.status, "Fehler beim Update");
  ASSERT_FALSE(w.host.messages.empty());
  EXPECT_EQ(w.host.messages[0].text, "enter_boot_loader");
  EXPECT_FALSE(LastRunSucceeded(w.ctx));
  EXPECT_LT(w.host.Now(), 10.0);
}

TEST(RunEndings, AnUnansweredReleaseIsBoundedAndFailsTheRun) {
  EndingWorld w;
  w.host.onStatus = [&w](const std::string& s) {
    if (s == "neue Konfiguration") w.sim.station.present = false;
  };
  double releaseSentAt = -1;
  w.ctx.stats.observer = [&](double t, bool sent, std::span<const uint8_t> m) {
    if (sent && m.size() == 31 && m[0] == 0xED && m[3] == 0x4E && m[4] == 0x57) releaseSentAt = t;
  };
  RunUpdate(w.ctx);
  EXPECT_EQ(w.ctx.upd.releaseResult, 1);
  EXPECT_GT(releaseSentAt, 0);
  EXPECT_LT(w.host.Now() - releaseSentAt, 4.0);
  EXPECT_EQ(w.host.status, "Update beendet");
  EXPECT_FALSE(LastRunSucceeded(w.ctx));
  EXPECT_EQ(RunVerdict(w.ctx, ""),
            "Update fehlgeschlagen: Zentrale hat die Freigabe nicht bestätigt");
}

TEST(RunEndings, AnExceptionBecomesAMessageTheReleaseAndAFailedRun) {
  EndingWorld w;
  w.host.answerQuestion = [](const RecordedMessage&) -> Answer {
    throw std::runtime_error("Speicher voll");
  };
  RunUpdate(w.ctx);
  w.ExpectReleasedOnce();
  ASSERT_FALSE(w.host.messages.empty());
  const RecordedMessage& last = w.host.messages.back();
  EXPECT_EQ(last.text, "Unerwarteter Fehler beim Update:\rSpeicher voll");
  EXPECT_EQ(last.title, "Fehler!");
  EXPECT_EQ(w.ctx.upd.runEnded, UpdateState::RunEnd::Failed);
  EXPECT_EQ(RunVerdict(w.ctx, ""), "Update fehlgeschlagen: Unerwarteter Fehler: Speicher voll");
}

TEST(RunEndings, ShortConfigurationFailsTheRunSuccessSaysWhatWasDone) {
  {
    EndingWorld w;
    RunUpdate(w.ctx);
    EXPECT_TRUE(LastRunSucceeded(w.ctx));
    EXPECT_EQ(RunVerdict(w.ctx, ""),
              "Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben");
    EXPECT_EQ(w.ctx.upd.pagesWritten, 63);
    EXPECT_EQ(w.ctx.upd.pagesVerified, 63);
    EXPECT_EQ(w.ctx.upd.pagesRepeated, 0);
  }
  for (const char* text : {"", "00: GUT\r\nkaputt\r\n"}) {
    EndingWorld w;
    if (*text) {
      w.dir.Write("texte/deutsch.txt", text);
    } else {
      std::filesystem::remove(w.dir.path() / "texte/deutsch.txt");
    }
    RunUpdate(w.ctx);
    EXPECT_EQ(w.host.status, "Update beendet");
    EXPECT_FALSE(LastRunSucceeded(w.ctx)) << text;
    std::string firstError;
    for (const RecordedMessage& m : w.host.messages)
      NoteRunError(firstError, m.text, m.title, m.icon, m.buttons, m.answer);
    const std::string path = (w.dir.path() / "texte/deutsch.txt").string();
    EXPECT_EQ(RunVerdict(w.ctx, firstError),
              "Update fehlgeschlagen: " + path +
                  (*text ? " Falsche Dateiformat!" : " Datei nicht gefunden!"));
  }
}

TEST(RunEndings, UpdateRefusesBeforeThePortOpens) {
  struct Case {
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
  for (const Case& c : cases) {
    EndingWorld w;
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

}  // namespace
}  // namespace skyrelay
