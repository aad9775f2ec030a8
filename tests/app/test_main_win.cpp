// The main window's commands against the simulated LocoNet: a whole run from
// the keyboard after the port test "in", the file dialog, and closing the
// window during a run.

#include <algorithm>
#include <set>
#include <tuple>

#include "app_world.h"

namespace skyrelay::app::test {
namespace {

// The controls Tab visits, starting at the "Update" button.
std::set<QWidget*> TabReaches(MainWin& window) {
  window.updateButton()->setFocus();
  std::set<QWidget*> visited;
  for (int i = 0; i < 6; i++) {
    visited.insert(window.focusWidget());
    QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
  }
  return visited;
}

// Tab reaches only what is shown. The port test "in" leaves a port open that
// must not stand in the run's way; Enter starts the update only from the
// focused "Update" button. The run takes every control from the user and gives
// them back; the progress bar follows the firmware and the configuration
// transfer. Then the file dialog: cancelled, the package is forgotten but the
// settings file keeps it until the settings are written; a missing file is
// named; a chosen one is loaded and remembered.
TEST(MainWin, WholeRunFromTheKeyboardThenTheFileDialog) {
  AppWorld w;
  const std::string package = w.Package();
  w.Start(package, "3", "4");
  MainWin& win = *w.window;
  Settle();
  EXPECT_EQ(TabReaches(win), std::set<QWidget*>{win.updateButton()});
  EXPECT_FALSE(win.inButton()->isVisible());
  win.resize(win.width(), win.height() + 4 * win.inButton()->sizeHint().height());
  Settle();
  EXPECT_EQ(TabReaches(win),
            (std::set<QWidget*>{win.updateButton(), win.inButton(), win.outButton()}));
  win.inButton()->setFocus();
  QTest::keyClick(win.inButton(), Qt::Key_Return);
  EXPECT_EQ(w.sim.busMessages, 0);
  w.Click(win.inButton());
  EXPECT_EQ(w.Status(), "0");
  EXPECT_TRUE(w.host->Port().IsOpen());

  const QProgressBar* bar = win.progressBar();
  EXPECT_FALSE(bar->isVisible()) << "no bar before a run";
  const auto controls = [&] {
    return std::vector<bool>{win.updateButton()->isEnabled(),   win.inButton()->isEnabled(),
                             win.outButton()->isEnabled(),      win.updateFileAction()->isEnabled(),
                             win.settingsAction()->isEnabled(), win.interfaceDialog()->isEnabled()};
  };
  std::set<std::vector<bool>> duringRun;
  int percentages = 0;
  w.host->onStatus = [&](const std::string& text) {
    duringRun.insert(controls());
    if (text == "24%") {  // the menu commands and the shortcut are refused
      win.updateFileAction()->trigger();
      QTest::keyClick(&win, Qt::Key_O, Qt::ControlModifier);
      win.settingsAction()->trigger();
    }
    if (text.empty() || text.back() != '%') return;
    percentages++;  // the bar shows what the status line shows, beside it
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(std::to_string(bar->value() * 100 / bar->maximum()) + "%", text);
  };
  std::string steps;  // of the configuration transfer
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
    if (bar->format().startsWith("Daten") && value >= 0) {
      steps += std::to_string(value) + "/" + std::to_string(bar->maximum()) + " ";
    }
  });
  win.updateButton()->setFocus();
  QTest::keyClick(win.updateButton(), Qt::Key_Return);
  // Two language files, three turnout files, two character files and the new
  // configuration: eight steps, each shown, the last one done.
  EXPECT_EQ(std::tuple(w.Status(), w.host->status, w.sim.installs, percentages, steps,
                       bar->isVisible(), bar->value(), win.running(), w.host->Port().IsOpen()),
            std::tuple(QString::fromUtf8("Update erfolgreich: Firmware 2.1 geprüft, "
                                         "Konfiguration geschrieben"),
                       "Update beendet", 1, 497, "0/8 1/8 2/8 3/8 4/8 5/8 6/8 7/8 8/8 ", true, 8,
                       false, false));
  EXPECT_EQ(duringRun, (std::set<std::vector<bool>>{std::vector<bool>(6, false)}));
  EXPECT_EQ(controls(), std::vector<bool>(6, true));
  EXPECT_TRUE(w.fileDialogTitle.isEmpty() && !win.interfaceDialog()->isVisible())
      << "no dialog during the run";
  EXPECT_EQ(w.ctx().settings.UpdateFilePath, package);

  const std::string before = w.SettingsFile();
  win.updateFileAction()->trigger();  // cancelled
  EXPECT_EQ(w.fileDialogTitle, "TUP-File --> Update-Laden: TUP-File");
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  EXPECT_EQ(w.SettingsFile(), before);
  EXPECT_FALSE(w.ctx().desc.radioFirmwarePath.empty());
  EXPECT_EQ(win.radioVersionLabel()->text(), "2,1");
  win.settingsAction()->trigger();
  w.Click(win.interfaceDialog()->okButton());
  EXPECT_EQ(w.SettingsFile(), "\r\n3\r\n4\r\n");
  w.fileDialogAnswer = w.Path("fehlt.tup");
  win.updateFileAction()->trigger();
  w.fileDialogAnswer = w.Path("paket/neu.TUP");
  std::filesystem::rename(package, w.fileDialogAnswer);
  win.updateFileAction()->trigger();
  EXPECT_EQ(w.SettingsFile(), w.fileDialogAnswer + "\r\n3\r\n4\r\n");
  EXPECT_EQ(win.packageLabel()->text(), "neu.TUP");
  EXPECT_EQ(w.messages,
            (std::vector<ShownMessage>{
                {"Funk- oder LocoNet-Handregler :\n\nVersion im Handregler: 1.0 vom: 2.1.20\n\n"
                 "Soll die Version 2.1 vom 6.12.26 geladen werden?",
                 "Update", Icon::None, Buttons::YesNo},
                {"     Das Update wird jetzt geladen!            \nBitte den Handregler nicht von "
                 "LocoNet trennen\n    und das Ende des Vorgangs abwarten! (ca. 60s)",
                 "Achtung!", Icon::Stop, Buttons::Ok},
                {QString::fromUtf8("     Firmware-Update ok!      \n\n Jetzt erhält der "
                                   "Handregler u.U. \n  noch neue Daten, bitte nicht \n"
                                   "          ausschalten!"),
                 "Update 58400", Icon::Information, Buttons::Ok},
                {QString::fromStdString(w.Path("fehlt.tup")) +
                     QString::fromUtf8("\nDie Update-Datei kann nicht geöffnet werden!"),
                 "Fehler!", Icon::Stop, Buttons::Ok}}));
}

// Closing asks; "Ja" ends the run at once and releases the station, also while
// the station waits for the handheld's restart; "Nein" lets the run finish.
TEST(MainWin, ClosingDuringARunAsksAndReleasesTheStation) {
  struct Case {
    const char* at;  // the status shown when the window is closed
    Answer answer;
    int installs;
    const char* lastStatus;
  };
  for (const Case& c : {Case{"10%", Answer::Yes, 0, "Update abgebrochen"},
                        Case{"50%", Answer::No, 1, "Update beendet"},
                        Case{"##        ", Answer::Yes, 0, "Update abgebrochen"}}) {
    SCOPED_TRACE(c.at);
    AppWorld w;
    w.Start(w.Package(), "3", "1");
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
    EXPECT_EQ(std::tuple(w.window->isVisible(), w.host->status, w.sim.installs,
                         w.sim.stationLog.finishRequests, w.sim.stationLog.inUpdateMode,
                         w.window->running(), w.host->Port().IsOpen()),
              std::tuple(c.answer == Answer::No, c.lastStatus, c.installs, 1, false, false, false));
  }
}

}  // namespace
}  // namespace skyrelay::app::test
