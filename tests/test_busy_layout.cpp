// The link on a real layout, in virtual time: other devices talking, answers
// damaged on the line, a ring that overflows, an interface that is unplugged.
#include <gtest/gtest.h>

#include "run/commands.h"
#include "run/update_run.h"
#include "support.h"

namespace skyrelay {
namespace {

using test::Bytes;

// The sample package on the simulated LocoNet, the port set to "1" (/dev/ttyS0).
struct LayoutWorld : test::RunWorld {
  std::vector<uint8_t> before = sim.flash.memory;
  LayoutWorld() {
    ctx.settings.ComPortNumber = "1";
    ctx.settings.UpdateFilePath = sim::WriteSamplePackage(dir.Folder() + "paket");
    LoadUpdateDescription(ctx, ctx.settings.UpdateFilePath);
  }
};

// A full update of the sample package on a quiet bus, run once.
struct Reference {
  std::vector<uint8_t> flash;
  std::vector<std::string> messages;  // shown
  long pagePrograms = 0;
};
const Reference& Quiet() {
  static const Reference quiet = [] {
    LayoutWorld w;
    EXPECT_TRUE(UpdateCommand(w.ctx));
    EXPECT_TRUE(RunSucceeded(w.ctx.report));
    return Reference{w.sim.flash.memory, test::Shown(w.host), w.sim.flash.pagePrograms};
  }();
  return quiet;
}

// A handheld request the PC sent, by its operation field (2 read_spibuf, 3 read_info_block).
bool IsHandheldRequest(bool sent, std::span<const uint8_t> m, int operation) {
  return sent && m.size() == 31 && m[0] == 0xED && m[3] == 0x66 && ((m[5] >> 4) & 7) == 0 &&
         ((m[10] >> 4) & 7) == operation;
}

// Other devices talking, noise between messages, bursts of foreign messages before
// answers, a page read back wrong once: the update lands byte for byte.
TEST(BusyLayout, UpdateOnABusyOrNoisyLineLandsByteForByte) {
  const Reference& quiet = Quiet();
  const struct {
    const char* what;
    std::function<void(LayoutWorld&)> arm;
    long repeated;  // pages programmed again
  } cases[] = {
      {"other devices every 200 ms", [](LayoutWorld& w) { w.sim.faults.trafficPeriod = 0.2; }, 0},
      {"noise", [](LayoutWorld& w) { w.sim.faults.noiseBetweenMessages = true; }, 0},
      {"bursts",
       [](LayoutWorld& w) {
         w.host.onStatus = [&w](const std::string&) { w.sim.faults.floodMessages = 3; };
       },
       0},
      {"a page read back wrong",
       [](LayoutWorld& w) {
         w.host.onStatus = [&w, armed = false](const std::string& s) mutable {
           if (!armed && s == "11%") armed = true, w.sim.faults.corruptReadbacks = 1;
         };
       },
       1},
  };
  for (const auto& c : cases) {
    LayoutWorld w;
    c.arm(w);
    ASSERT_TRUE(UpdateCommand(w.ctx));
    EXPECT_TRUE(RunSucceeded(w.ctx.report)) << c.what;
    EXPECT_EQ(test::Shown(w.host), quiet.messages) << c.what;
    EXPECT_TRUE(w.sim.flash.memory == quiet.flash) << c.what << ": the DataFlash differs";
    EXPECT_EQ(w.sim.flash.pagePrograms, quiet.pagePrograms + c.repeated) << c.what;
  }
}

// An answer damaged on the line (a time-out, never data) or lost at different
// moments of the run: the command is sent again and the run goes on without a
// box; an answer lost four times ends the command with one time-out. Every
// DataFlash byte ends as before the run or as after a clean one.
TEST(BusyLayout, LostAnswersAreRepeatedAndNeverReachTheDataFlash) {
  const Reference& quiet = Quiet();
  const struct {
    std::string status;  // the status shown when the request goes out; "": any
    int operation;       // of the handheld request: 2 read_spibuf, 3 read_info_block
    int damaged, dropped;
    long repeats;
    const char* timeout;  // the time-out message shown, if any (the run then fails)
  } cases[] = {
      {"", 3, 1, 0, 0, nullptr},     // the first information block: a wake-up instead
      {"11%", 2, 1, 0, 1, nullptr},  // a firmware page read back
      {"neue Konfiguration", 2, 1, 0, 1, nullptr},        // the settings block
      {"neue Konfiguration", 2, 0, 3, 3, nullptr},        // three tries lost, the fourth answered
      {"neue Konfiguration", 2, 0, 4, 3, "read_spibuf"},  // all four lost
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status + " " + std::to_string(c.damaged) + "/" + std::to_string(c.dropped));
    LayoutWorld w;
    bool armed = false;
    w.ctx.link.stats.observer = [&](double, bool sent, std::span<const uint8_t> m) {
      if (!armed && (c.status.empty() || w.host.status == c.status) &&
          IsHandheldRequest(sent, m, c.operation)) {
        armed = true;
        w.sim.faults.damageAnswers = c.damaged;
        w.sim.faults.dropAnswers = c.dropped;
      }
    };
    ASSERT_TRUE(UpdateCommand(w.ctx));
    EXPECT_EQ(w.sim.damagedAnswers, c.damaged);
    EXPECT_EQ(w.ctx.report.answersRepeated, c.repeats);
    EXPECT_EQ(RunSucceeded(w.ctx.report), c.timeout == nullptr);
    int timeouts = 0;
    for (const RecordedMessage& m : w.host.messages) timeouts += m.title == "Timeout";
    EXPECT_EQ(timeouts, c.timeout ? 1 : 0);
    if (!c.timeout) {
      EXPECT_EQ(test::Shown(w.host), quiet.messages);
    }
    size_t foreign = 0;
    for (size_t i = 0; i < w.before.size(); i++) {
      const uint8_t b = w.sim.flash.memory[i];
      foreign += b != w.before[i] && b != quiet.flash[i];
    }
    EXPECT_EQ(foreign, 0u) << "bytes that neither were there nor were meant";
    const size_t settings = 0x3F0000;
    EXPECT_EQ(w.sim.flash.Read(settings, 128) ==
                  std::vector<uint8_t>(quiet.flash.begin() + settings,
                                       quiet.flash.begin() + settings + 128),
              c.timeout == nullptr);
  }
}

// One answer in 50 damaged on the line, in every phase of the count, and a few
// lost on top: every update lands byte for byte as on a quiet bus, with the
// same boxes, and the installation is started exactly once.
TEST(BusyLayout, OneDamagedAnswerInFiftyStillUpdatesByteForByte) {
  const Reference& quiet = Quiet();
  for (int offset : {0, 17, 33}) {
    SCOPED_TRACE(offset);
    LayoutWorld w;
    w.sim.faults.damageEvery = 50;
    w.sim.faults.damageOffset = offset;
    w.sim.faults.dropAfter = 2000 + 1000 * offset;
    w.sim.faults.dropAnswers = 2;
    int starts = 0;
    w.ctx.link.stats.observer = [&](double, bool sent, std::span<const uint8_t> m) {
      starts += sent && m.size() == 31 && m[3] == 0x66 && ((m[5] >> 4) & 7) == 5 &&
                ((m[10] >> 4) & 7) == 4;  // fields 5, 4: start_firmware_update
    };
    ASSERT_TRUE(UpdateCommand(w.ctx));
    EXPECT_TRUE(RunSucceeded(w.ctx.report));
    EXPECT_GT(w.sim.damagedAnswers, 100);
    EXPECT_GE(w.ctx.report.answersRepeated, w.sim.damagedAnswers / 2);
    EXPECT_EQ(test::Shown(w.host), quiet.messages);
    EXPECT_TRUE(w.sim.flash.memory == quiet.flash) << "the DataFlash differs";
    EXPECT_EQ(w.sim.installs, 1);
    EXPECT_EQ(starts, 1) << "start_firmware_update sent once";
  }
}

// A settings block that the handheld stores differently from what was sent is a
// failed transfer, not a success.
TEST(BusyLayout, SettingsBlockNotReadBackAsWrittenFailsTheTransfer) {
  LayoutWorld w;
  w.sim.flash.corruptPage = 0x3F0000;
  w.sim.flash.corruptPrograms = 1;
  w.sim.flash.corruptOffset = 9;
  ASSERT_TRUE(UpdateCommand(w.ctx));
  EXPECT_EQ(w.ctx.report.configuration.end, ConfigurationEnd::SettingsNotWritten);
  EXPECT_FALSE(RunSucceeded(w.ctx.report));
  EXPECT_EQ(test::Shown(w.host).back(), "Fehler|Einstellungen konnten nicht geschrieben werden!");
}

// The interface unplugged in the middle of the firmware: the run ends at once with
// one message naming the port; plugged in again, the next update works.
TEST(BusyLayout, VanishedInterfaceEndsTheRunAtOnceAndTheNextRunWorks) {
  LayoutWorld w;
  w.sim.faults.vanishAfter = 400;
  double vanishedAt = -1;
  w.ctx.link.stats.observer = [&](double t, bool sent, std::span<const uint8_t>) {
    if (sent && vanishedAt < 0 && w.sim.Vanished()) vanishedAt = t;
  };
  ASSERT_TRUE(UpdateCommand(w.ctx));
  ASSERT_TRUE(w.sim.Vanished());
  EXPECT_FALSE(RunSucceeded(w.ctx.report));
  EXPECT_FALSE(w.host.Port().IsOpen());
  EXPECT_EQ(w.host.status, "Fehler");
  ASSERT_EQ(w.host.messages.size(), 2u);  // the version question, then:
  EXPECT_EQ(test::Shown(w.host)[1],
            "ComPort Fehler!|Die Verbindung zum Interface an /dev/ttyS0 ist unterbrochen.\r(Gerät "
            "entfernt oder Leitung getrennt)");
  EXPECT_LT(w.host.Now() - vanishedAt, 0.05) << "ended within one wait";

  w.host.messages.clear();
  w.sim.Reconnect();
  ASSERT_TRUE(UpdateCommand(w.ctx));
  EXPECT_TRUE(RunSucceeded(w.ctx.report));
  EXPECT_TRUE(w.sim.flash.memory == Quiet().flash);
}

}  // namespace
}  // namespace skyrelay
