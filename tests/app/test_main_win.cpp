// The main window's commands against the simulated LocoNet: the file dialog,
// "Update" (also after the port test "in"), closing the window during a run and
// "Update" without an interface.

#include <algorithm>
#include <set>

#include "app/zentrale_form.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

TEST(MainWin, UpdateFileDialogCancelledMissingAndChosen) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "4");
  const std::string before = w.SettingsFile();
  w.window->updateFileAction()->trigger();  // cancelled: forgotten, but the file keeps it
  EXPECT_EQ(w.fileDialogTitle, "TUP-File --> Update-Laden: TUP-File");
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  EXPECT_EQ(w.SettingsFile(), before);
  EXPECT_FALSE(w.ctx().desc.FunkFirmwarePath.empty());
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "2,1");
  w.window->settingsAction()->trigger();
  w.Click(w.window->zentraleForm()->okButton());
  EXPECT_EQ(w.SettingsFile(), "\r\n3\r\n4\r\n");

  w.fileDialogAnswer = w.Path("fehlt.tup");
  w.window->updateFileAction()->trigger();
  const ShownMessage missing{
      QString::fromStdString(w.fileDialogAnswer) +
          QString::fromUtf8("\nDie Update-Datei kann nicht geöffnet werden!"),
      "Fehler!", Icon::Stop, Buttons::Ok};
  EXPECT_EQ(w.messages, std::vector<ShownMessage>{missing});

  w.fileDialogAnswer = w.WritePackage("neu.TUP");
  w.window->updateFileAction()->trigger();
  EXPECT_EQ(w.SettingsFile(), w.fileDialogAnswer + "\r\n3\r\n4\r\n");
  EXPECT_EQ(w.window->packageLabel()->text(), "neu.TUP");
  EXPECT_EQ(w.messages, std::vector<ShownMessage>{missing});
}

// A run takes every control from the user and gives it back afterwards; the
// port test "in" before it leaves a port open that must not stand in its way.
TEST(MainWin, UpdateRunsWholeWithEveryControlDisabled) {
  for (const bool inFirst : {false, true}) {
    SCOPED_TRACE(inFirst ? "after in" : "alone");
    AppWorld w;
    w.StartWithPackage();
    const std::string first = w.ctx().settings.UpdateFilePath;
    w.fileDialogAnswer = w.WritePackage("zweites.tup");
    if (inFirst) {
      w.Click(w.window->inButton());
      EXPECT_EQ(w.Status(), "0");
      EXPECT_TRUE(w.host->Port().IsOpen());
    }
    MainWin& win = *w.window;
    const auto controls = [&] {
      return std::vector<bool>{
          win.updateButton()->isEnabled(),   win.inButton()->isEnabled(),
          win.outButton()->isEnabled(),      win.updateFileAction()->isEnabled(),
          win.settingsAction()->isEnabled(), win.zentraleForm()->isEnabled()};
    };
    std::set<std::vector<bool>> duringRun;
    w.host->onStatus = [&](const std::string& text) {
      duringRun.insert(controls());
      if (text == "24%") {  // the menu commands and the shortcut are refused
        win.updateFileAction()->trigger();
        QTest::keyClick(&win, Qt::Key_O, Qt::ControlModifier);
        win.settingsAction()->trigger();
      }
    };
    w.Click(win.updateButton());

    EXPECT_EQ(w.Status(), Updated());
    EXPECT_EQ(w.host->status, "Update beendet");
    EXPECT_EQ(duringRun, (std::set<std::vector<bool>>{std::vector<bool>(6, false)}));
    EXPECT_EQ(controls(), std::vector<bool>(6, true));
    EXPECT_TRUE(w.fileDialogTitle.isEmpty()) << "no file dialog during the run";
    EXPECT_FALSE(win.zentraleForm()->isVisible());
    EXPECT_EQ(w.ctx().settings.UpdateFilePath, first);
    EXPECT_FALSE(win.running());
    EXPECT_FALSE(w.host->Port().IsOpen());
    EXPECT_EQ(w.sim.installs, 1);
    EXPECT_EQ(w.ctx().upd.firmwareOutcome, UpdateState::FirmwareOutcome::Ok);
    ASSERT_FALSE(w.messages.empty());
    EXPECT_EQ(w.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(w.messages[0].text,
              "Funk- oder LocoNet-Handregler :\n\nVersion im Handregler: 1.0 "
              "vom: 1.1.20\n\nSoll "
              "die Version 2.1 vom 6.12.26 geladen werden?");
    EXPECT_TRUE(std::none_of(w.messages.begin(), w.messages.end(),
                             [](const ShownMessage& m) { return m.text.contains('\r'); }));

    win.updateFileAction()->trigger();  // usable again
    EXPECT_EQ(w.ctx().settings.UpdateFilePath, w.fileDialogAnswer);
  }
}

TEST(MainWin, ClosingDuringARunAsksAndReleasesTheStation) {
  struct Case {
    const char* at;  // the status shown when the window is closed
    Answer answer;
    bool visibleAfter;
    int installs;
    const char* lastStatus;
  };
  for (const Case& c : {Case{"10%", Answer::Yes, false, 0, "Update abgebrochen"},
                        Case{"50%", Answer::No, true, 1, "Update beendet"},
                        // the handheld installs, the station waits for its restart
                        Case{"##        ", Answer::Yes, false, 0, "Update abgebrochen"}}) {
    SCOPED_TRACE(c.at);
    AppWorld w;
    w.StartWithPackage();
    double closedAt = -1;
    w.host->onStatus = [&](const std::string& text) {
      if (text != c.at || closedAt >= 0) return;
      closedAt = w.host->Now();
      w.yesNo = c.answer;
      w.window->close();
      w.yesNo = Answer::Yes;
      EXPECT_TRUE(w.window->isVisible()) << "the window stays until the station is released";
    };
    w.Click(w.window->updateButton());
    ASSERT_GE(closedAt, 0);
    const ShownMessage ask{QString::fromUtf8("Update läuft noch. Wirklich beenden?"), "Achtung!",
                           Icon::Stop, Buttons::YesNo};
    EXPECT_EQ(std::count(w.messages.begin(), w.messages.end(), ask), 1);
    EXPECT_TRUE(c.answer == Answer::No || w.host->Now() - closedAt < 3.0) << "released quickly";
    EXPECT_EQ(w.window->isVisible(), c.visibleAfter);
    EXPECT_EQ(w.host->status, c.lastStatus);
    EXPECT_EQ(w.sim.installs, c.installs);
    EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
    EXPECT_FALSE(w.sim.stationLog.inUpdateMode);
    EXPECT_FALSE(w.window->running());
    EXPECT_FALSE(w.host->Port().IsOpen());
  }
}

TEST(MainWin, UpdateWithoutAnInterfaceSaysWhereToChooseIt) {
  for (const char* kind : {"0", "2"}) {
    AppWorld w;
    w.Start(w.WritePackage(), kind, "1");
    w.Click(w.window->updateButton());
    ASSERT_EQ(w.messages.size(), 1u) << kind;
    EXPECT_TRUE(
        w.messages[0].text.endsWith(QString::fromUtf8("\nBitte zuerst unter Datei → Einstellungen "
                                                      "Interface und ComPort wählen.")));
    EXPECT_EQ(w.sim.stationLog.enterRequests, 0);
    EXPECT_EQ(w.host->virtualPort().bytesWritten, 0);
    EXPECT_FALSE(w.host->Port().IsOpen());
  }
}

}  // namespace
}  // namespace skyrelay::app::test
