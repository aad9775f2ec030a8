// The main window's commands: the file dialog, "Update" against the simulated
// LocoNet, the port tests and closing the window during a run.
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>

#include "app/app_text.h"
#include "app/zentrale_form.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

TEST(MainWin, CancelledFileDialogKeepsTheLoadedDescription) {
  AppWorld w;
  const std::string tup = w.WritePackage();
  w.WriteSettings(tup, "3", "4");
  w.Start();
  const std::string before = w.Read(w.SettingsPath());
  const std::string firmware = w.ctx().desc.FunkFirmwarePath;
  ASSERT_FALSE(firmware.empty());

  w.fileDialogAnswer.clear();
  w.window->updateFileAction()->trigger();
  EXPECT_EQ(w.fileDialogTitle, "TUP-File --> Update-Laden: TUP-File");
  EXPECT_EQ(w.fileDialogExtension, "TUP");
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  EXPECT_EQ(w.Read(w.SettingsPath()), before);
  EXPECT_EQ(w.ctx().desc.FunkFirmwarePath, firmware);
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "2,1");
}

TEST(MainWin, ChosenFileIsRememberedWithTheLoadedChoice) {
  AppWorld w;
  w.WriteSettings(w.Path("weg.tup"), " 3", " 4");
  w.Start();
  ASSERT_EQ(w.window->funkVersionLabel()->text(), "---");
  w.fileDialogAnswer = w.WritePackage("neu.TUP");
  w.window->updateFileAction()->trigger();
  EXPECT_EQ(w.ctx().settings.UpdateFilePath, w.fileDialogAnswer);
  EXPECT_EQ(w.Read(w.SettingsPath()), w.fileDialogAnswer + "\r\n3\r\n4\r\n");
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "2,1");
  EXPECT_TRUE(w.messages.empty());
}

TEST(MainWin, UnreadableDescriptionIsReportedInAMessageBox) {
  AppWorld w;
  w.Start();
  w.fileDialogAnswer = w.Path("fehlt.tup");
  w.window->updateFileAction()->trigger();
  ASSERT_EQ(w.messages.size(), 1u);
  EXPECT_EQ(w.messages[0].text,
            QString::fromStdString(w.Path("fehlt.tup")) +
                QString::fromUtf8("\nDie Update-Datei kann nicht geöffnet werden!"));
  EXPECT_EQ(w.messages[0].title, "Fehler!");
  EXPECT_EQ(w.messages[0].icon, Icon::Stop);
}

TEST(MainWin, LineBreaksOfMessageTexts) {
  EXPECT_EQ(DisplayText("a\rb\n\rc\r\rd"), "a\nb\nc\n\nd");
}

TEST(MainWin, UpdateClickRunsTheWholeUpdate) {
  AppWorld w;
  w.WriteSettings(w.WritePackage(), "3", "1");
  w.Start();
  bool enabledDuringRun = false;
  bool menuDuringRun = false;
  int statusesDuringRun = 0;
  w.host->onStatus = [&](const std::string&) {
    statusesDuringRun++;
    enabledDuringRun = enabledDuringRun || w.window->updateButton()->isEnabled() ||
                       w.window->inButton()->isEnabled() || w.window->outButton()->isEnabled();
    menuDuringRun = w.window->updateFileAction()->isEnabled() &&
                    w.window->settingsAction()->isEnabled() && w.window->endAction()->isEnabled();
  };
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);

  EXPECT_EQ(w.window->statusLabel()->text(), "Update beendet");
  EXPECT_GT(statusesDuringRun, 10);
  EXPECT_FALSE(enabledDuringRun);
  EXPECT_TRUE(menuDuringRun);
  EXPECT_TRUE(w.window->updateButton()->isEnabled());
  EXPECT_TRUE(w.window->inButton()->isEnabled());
  EXPECT_TRUE(w.window->outButton()->isEnabled());
  EXPECT_FALSE(w.window->running());
  EXPECT_FALSE(w.host->Port().IsOpen());
  EXPECT_EQ(w.sim.installs, 1);
  EXPECT_EQ(w.ctx().upd.firmwareOutcome, UpdateState::FirmwareOutcome::Ok);
  ASSERT_FALSE(w.messages.empty());
  // The question, with its line breaks as the box shows them.
  EXPECT_EQ(w.messages[0].title, "Update");
  EXPECT_EQ(w.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(w.messages[0].text,
            "Funk- oder LocoNet-Handregler :\n\nVersion im Handregler: 1.0 vom: 1.1.20\n\nSoll "
            "die Version 2.1 vom 6.12.26 geladen werden?");
  EXPECT_TRUE(std::none_of(w.messages.begin(), w.messages.end(),
                           [](const ShownMessage& m) { return m.text.contains('\r'); }));
}

TEST(MainWin, PortFailingToOpenEndsWithoutARun) {
  AppWorld w;
  w.WriteSettings(w.WritePackage(), "3", "1");
  w.Start();
  w.host->virtualPort().failOpen = true;
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
  EXPECT_EQ(w.sim.stationLog.enterRequests, 0);
  EXPECT_EQ(w.sim.installs, 0);
  EXPECT_EQ(w.window->statusLabel()->text(), "Fehler");
  EXPECT_TRUE(w.window->updateButton()->isEnabled());
}

TEST(MainWin, PortTestsShowTheirResultAndLeaveThePortOpen) {
  AppWorld w;
  w.WriteSettings("", "3", "1");
  w.Start();
  bool enabledDuringRun = true;
  w.host->onStatus = [&](const std::string&) {
    enabledDuringRun = w.window->updateButton()->isEnabled();
  };
  QTest::mouseClick(w.window->inButton(), Qt::LeftButton);
  EXPECT_EQ(w.window->statusLabel()->text(), "0");
  EXPECT_FALSE(enabledDuringRun);
  EXPECT_TRUE(w.host->Port().IsOpen());
  QTest::mouseClick(w.window->outButton(), Qt::LeftButton);
  EXPECT_EQ(w.window->statusLabel()->text(), "0");
  EXPECT_TRUE(w.window->inButton()->isEnabled());
}

TEST(MainWin, ClosingDuringARunReleasesThePortAndEndsTheRun) {
  AppWorld w;
  w.WriteSettings(w.WritePackage(), "3", "1");
  w.Start();
  std::vector<std::string> afterClose;
  bool closed = false;
  w.host->onStatus = [&](const std::string& text) {
    if (closed) afterClose.push_back(text);
    if (text == "10%" && !closed) {
      closed = true;
      w.window->close();
    }
  };
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
  ASSERT_TRUE(closed);
  EXPECT_TRUE(w.window->quitRequested());
  EXPECT_FALSE(w.window->isVisible());
  EXPECT_FALSE(w.host->Port().IsOpen());
  EXPECT_FALSE(w.window->running());
  EXPECT_TRUE(afterClose.empty()) << afterClose.front();
  EXPECT_NE(w.window->statusLabel()->text(), "Update beendet");
  EXPECT_EQ(w.sim.installs, 0);
}

TEST(MainWin, EndCommandClosesEveryWindow) {
  AppWorld w;
  w.Start();
  w.window->settingsAction()->trigger();
  ASSERT_TRUE(w.window->zentraleForm()->isVisible());
  w.window->endAction()->trigger();
  EXPECT_FALSE(w.window->isVisible());
  EXPECT_FALSE(w.window->zentraleForm()->isVisible());
}

}  // namespace
}  // namespace skyrelay::app::test
