// The main window's commands against the simulated LocoNet: a whole run from
// the keyboard after the port test "in", the file dialog, and closing the
// window during a run.

#include <algorithm>
#include <set>
#include <tuple>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

#include "app/app_text.h"
#include "app_world.h"
#include "package/intel_hex.h"
#include "run/backup.h"
#include "run/report.h"

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
// them back; the progress bar follows the whole run, its line whole at every
// step but the wait for the restart (there cut at its end), and the status
// line keeps the core's end. Then the file dialog, in the package's folder:
// cancelled, the package is forgotten ("Update" waits for another) but the
// settings file keeps it until the settings are written; a missing file is
// named; a chosen one is loaded and remembered, and the old bar goes.
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
  w.host->onStatus = [&](const std::string& text) {
    duringRun.insert(controls());
    if (text == "24%") {  // the menu commands and the shortcut are refused
      win.updateFileAction()->trigger();
      QTest::keyClick(&win, Qt::Key_O, Qt::ControlModifier);
      win.settingsAction()->trigger();
    }
  };
  std::vector<int> values;  // of the bar, each with its line whole or cut
  std::set<std::pair<ProgressStage, bool>> fits;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
    values.push_back(value);
    const RunProgress& shown = w.host->progressShown.back();
    fits.insert(
        {shown.stage == ProgressStage::Restart ? ProgressStage::Restart : ProgressStage::Firmware,
         win.progressBar()->TextFits()});
    EXPECT_EQ(bar->toolTip().toStdString(), GermanProgress(shown));
  });
  win.updateButton()->setFocus();
  QTest::keyClick(win.updateButton(), Qt::Key_Return);
  EXPECT_EQ(std::tuple(w.Status(), w.host->status, w.sim.installs, bar->isVisible(), bar->value(),
                       win.running(), w.host->Port().IsOpen()),
            std::tuple(QString("Update beendet"), "Update beendet", 1, true, 100, false, false));
  EXPECT_TRUE(RunSucceeded(w.ctx().report));
  EXPECT_TRUE(values.size() > 50 && std::is_sorted(values.begin(), values.end()));
  EXPECT_EQ(fits, (std::set<std::pair<ProgressStage, bool>>{{ProgressStage::Firmware, true},
                                                            {ProgressStage::Restart, false}}));
  EXPECT_EQ(duringRun, (std::set<std::vector<bool>>{std::vector<bool>(6, false)}));
  EXPECT_EQ(controls(), std::vector<bool>(6, true));
  EXPECT_TRUE(w.fileDialogTitle.isEmpty() && !win.interfaceDialog()->isVisible())
      << "no dialog during the run";
  EXPECT_EQ(w.ctx().settings.UpdateFilePath, package);

  const std::string before = w.SettingsFile();
  const QString packageFolder = QString::fromStdString(w.Path("paket"));
  win.updateFileAction()->trigger();  // cancelled
  EXPECT_EQ(w.fileDialogTitle, "TUP-File --> Update-Laden: TUP-File");
  EXPECT_EQ(w.fileDialogFolder, packageFolder);
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  EXPECT_FALSE(win.updateButton()->isEnabled());
  EXPECT_FALSE(win.hintLabel()->isHidden());
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
  EXPECT_EQ(w.fileDialogFolder, packageFolder) << "the last package's, after a cancel";
  win.updateFileAction()->trigger();
  EXPECT_EQ(w.fileDialogFolder, QString::fromStdString(w.Path("")).chopped(1));
  EXPECT_EQ(w.SettingsFile(), w.fileDialogAnswer + "\r\n3\r\n4\r\n");
  EXPECT_EQ(win.packageLabel()->text(), "neu.TUP");
  EXPECT_TRUE(win.updateButton()->isEnabled() && win.hintLabel()->isHidden());
  EXPECT_FALSE(bar->isVisible()) << "the last run's bar went with its package";
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

// "Sicherung lesen …" saves the user's data in the data folder, under the
// name of the handheld seen last; an update then changes those areas and
// names its own backup under the status line, also after the run; "Sicherung
// zurückschreiben …", its question answered Yes, writes the menu's backup
// back byte for byte. Both commands need the interface and port and are
// refused during a run, their own included.
TEST(MainWin, BackupAndRestoreFromTheMenu) {
  AppWorld w;
  w.Start(w.Package(), "3", "1");
  MainWin& win = *w.window;
  const auto commands = [&] {
    return std::pair(win.backupAction()->isEnabled(), win.restoreAction()->isEnabled());
  };
  std::set<std::pair<bool, bool>> duringRuns;
  w.host->onStatus = [&](const std::string&) { duringRuns.insert(commands()); };
  EXPECT_EQ(commands(), std::pair(true, true));

  w.fileDialogAnswer = w.Path("data/menu.hex");
  win.backupAction()->trigger();
  EXPECT_EQ(w.fileDialogFolder, QString::fromStdString(w.ctx().dataFolder));
  EXPECT_TRUE(w.saveDialogName.startsWith("handregler_vunbekannt_")) << "no handheld seen yet";
  EXPECT_EQ(w.Status(), QString::fromStdString("Sicherung gespeichert: " + w.fileDialogAnswer));
  std::ostringstream text;
  text << std::ifstream(w.fileDialogAnswer, std::ios::binary).rdbuf();
  const IntelHexRead saved = ReadIntelHex(text.str());
  size_t areaBytes = 0;
  for (const FlashArea& area : CommandBackupAreas(false)) areaBytes += area.size;
  ASSERT_TRUE(saved.problem.empty()) << saved.problem;
  EXPECT_EQ(ImageSize(saved.image), areaBytes);
  EXPECT_TRUE(FlashNow(w, saved.image) == saved.image);

  w.Click(win.updateButton());
  ASSERT_TRUE(RunSucceeded(w.ctx().report));
  const std::string runBackup = w.ctx().report.backup.path;
  EXPECT_TRUE(std::filesystem::exists(runBackup));
  EXPECT_EQ(std::pair(win.backupLabel()->isVisible(), win.backupLabel()->fullText()),
            std::pair(true, QString::fromStdString("Sicherung: " + runBackup)));
  EXPECT_FALSE(FlashNow(w, saved.image) == saved.image) << "the update changed the user's data";

  w.messages.clear();
  win.restoreAction()->trigger();
  EXPECT_TRUE(FlashNow(w, saved.image) == saved.image);
  ASSERT_EQ(w.messages.size(), 1u);
  EXPECT_EQ(w.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(w.Status(), QString::number(static_cast<int>(areaBytes / sim::kPageSize)) +
                            " Seiten zurückgeschrieben");
  EXPECT_FALSE(win.backupLabel()->isVisible()) << "the update's backup went with its run";
  w.fileDialogAnswer.clear();
  win.backupAction()->trigger();  // cancelled: the handheld seen last names the backup
  EXPECT_TRUE(w.saveDialogName.startsWith("58400_v2.1_"));
  EXPECT_EQ(duringRuns, (std::set<std::pair<bool, bool>>{{false, false}}));

  w.ctx().settings.ComPortNumber.clear();
  win.ShowReadiness();
  EXPECT_EQ(commands(), std::pair(false, false));
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
    EXPECT_EQ(std::count_if(w.messages.begin(), w.messages.end(),
                            [](const ShownMessage& m) {
                              return m.text.startsWith(
                                  QString::fromUtf8("Update läuft noch. Wirklich beenden?\n\n"));
                            }),
              1);
    EXPECT_TRUE(c.answer == Answer::No || w.host->Now() - closedAt < 3.0) << "released quickly";
    EXPECT_EQ(std::tuple(w.window->isVisible(), w.host->status, w.sim.installs,
                         w.sim.stationLog.finishRequests, w.sim.stationLog.inUpdateMode,
                         w.window->running(), w.host->Port().IsOpen()),
              std::tuple(c.answer == Answer::No, c.lastStatus, c.installs, 1, false, false, false));
  }
}

// A run that does not succeed, also one that does not start, keeps the core's
// status and adds the likely cause on a line of its own, which the window
// shows whole; the next run starts with an empty status line.
TEST(MainWin, AFailedRunSaysWhyInTheStatusLine) {
  struct Case {
    const char* name;
    RunCause cause;
    bool portOpened;
  };
  for (const Case& c : {Case{"no handheld", RunCause::NoHandheld, true},
                        Case{"no port", RunCause::PortMissing, false},
                        Case{"file missing", RunCause::PackageFileMissing, false}}) {
    SCOPED_TRACE(c.name);
    AppWorld w;
    w.Start(w.Package(), "3", "/dev/ttyUSB7");
    w.host->ports = {"/dev/ttyUSB0", "/dev/ttyACM0"};
    w.Click(w.window->updateButton());  // a good run first
    ASSERT_EQ(w.Status(), "Update beendet");
    w.sim.handheld.present = c.cause != RunCause::NoHandheld;
    w.host->virtualPort().failOpen = c.cause == RunCause::PortMissing;
    if (c.cause == RunCause::PackageFileMissing) {
      std::filesystem::remove(w.Path("paket/weichen/liste.bin"));
    }
    const long written = w.host->virtualPort().bytesWritten;
    w.host->status.clear();
    w.Click(w.window->updateButton());
    const RunReport& report = w.ctx().report;
    const QString cause = QString::fromStdString(GermanCause(report));
    const QString core = QString::fromStdString(w.host->status);
    EXPECT_EQ(std::tuple(CauseOf(report), w.host->virtualPort().bytesWritten > written, w.Status()),
              std::tuple(c.cause, c.portOpened, core.isEmpty() ? cause : core + "\n" + cause));
    EXPECT_FALSE(core.isEmpty() && c.portOpened) << "the core's own status is kept";
    Settle();
    const QLabel* status = w.window->statusLabel();
    EXPECT_LE(status->heightForWidth(status->width()), status->height()) << "every line shows";
    EXPECT_LE(status->geometry().right(), w.window->centralWidget()->width());
  }
}

// Enter (and Escape) answers a risky question No and a routine one Yes, in
// the real message boxes, whose standard buttons speak German; so does the
// question when the window is closed during a run.
TEST(MainWin, RiskyQuestionsDefaultToNo) {
  QTranslator german;
  ASSERT_TRUE(InstallGermanQtTexts(german));
  struct Case {
    const char* name;
    int article;
    uint8_t installedMinor;
    bool closeDuringRun;
    std::vector<bool> defaultsNo;  // of the questions, in order
    int installs;
  };
  for (const Case& c : {Case{"newer version", 58400, 0, false, {false}, 1},
                        Case{"same version", 58400, 1, false, {true}, 0},
                        Case{"older version", 58400, 2, false, {true}, 0},
                        Case{"unknown handheld", 12345, 0, false, {true}, 0},
                        Case{"closed during the run", 58400, 0, true, {false, true}, 1}}) {
    SCOPED_TRACE(c.name);
    AppWorld w;
    w.window->SetMessageHandler({});  // the real boxes
    w.sim.handheld.articleNumber = c.article;
    w.sim.handheld.version = {2, c.installedMinor, 2, 1, 20};
    if (c.installedMinor == 0) w.sim.handheld.version = {1, 0, 2, 1, 20};
    w.sim.ApplyHandheldConfig();
    w.Start(w.Package(), "3", "1");
    std::vector<bool> defaultsNo;
    QStringList buttons;
    int boxes = 0;
    struct Enter : QObject {
      std::function<void(QMessageBox*)> onShow;
      bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && event->type() == QEvent::Show) onShow(box);
        return false;
      }
    } enter;
    enter.onShow = [&](QMessageBox* box) {
      boxes++;
      if (QAbstractButton* no = box->button(QMessageBox::No)) {
        defaultsNo.push_back(box->defaultButton() == no);
        EXPECT_EQ(box->escapeButton(), no);
        buttons = {box->button(QMessageBox::Yes)->text(), no->text()};
      }
      QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Return); });
    };
    qApp->installEventFilter(&enter);
    bool closed = false;
    w.host->onStatus = [&](const std::string& text) {
      if (c.closeDuringRun && text == "50%" && !std::exchange(closed, true)) w.window->close();
    };
    w.Click(w.window->updateButton());
    qApp->removeEventFilter(&enter);
    EXPECT_EQ(std::tuple(defaultsNo, w.sim.installs, w.window->isVisible()),
              std::tuple(c.defaultsNo, c.installs, true));
    EXPECT_EQ(buttons, QStringList({"&Ja", "&Nein"}));
  }
  QCoreApplication::removeTranslator(&german);
}

}  // namespace
}  // namespace skyrelay::app::test
