// The main window's commands: the file dialog, "Update" against the simulated
// LocoNet and closing the window during a run.
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>

#include "app/app_text.h"
#include "app/zentrale_form.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

TEST(MainWin, RememberedDescriptionStaysAfterACancelledFileDialogOkWritesAnEmptyLine) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "4");
  EXPECT_TRUE(w.messages.empty());
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "2,1") << "the remembered description";
  const std::string before = w.Read(w.SettingsPath());
  w.window->updateFileAction()->trigger();
  EXPECT_EQ(w.fileDialogTitle, "TUP-File --> Update-Laden: TUP-File");
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  EXPECT_EQ(w.Read(w.SettingsPath()), before);
  EXPECT_FALSE(w.ctx().desc.FunkFirmwarePath.empty());
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "2,1");

  w.window->settingsAction()->trigger();
  QTest::mouseClick(w.window->zentraleForm()->okButton(), Qt::LeftButton);
  EXPECT_EQ(w.Read(w.SettingsPath()), "\r\n3\r\n4\r\n");
}

TEST(MainWin, UnreadableDescriptionIsReportedAChosenOneRemembered) {
  AppWorld w;
  w.Start(w.Path("weg.tup"), " 3", " 4");
  w.fileDialogAnswer = w.Path("fehlt.tup");
  w.window->updateFileAction()->trigger();
  ASSERT_EQ(w.messages.size(), 1u);
  EXPECT_EQ(w.messages[0].text,
            QString::fromStdString(w.Path("fehlt.tup")) +
                QString::fromUtf8("\nDie Update-Datei kann nicht geöffnet werden!"));
  EXPECT_EQ(w.messages[0].title, "Fehler!");
  EXPECT_EQ(w.messages[0].icon, Icon::Stop);

  w.fileDialogAnswer = w.WritePackage("neu.TUP");
  w.window->updateFileAction()->trigger();
  EXPECT_EQ(w.Read(w.SettingsPath()), w.fileDialogAnswer + "\r\n3\r\n4\r\n");
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "2,1");
  EXPECT_EQ(w.messages.size(), 1u);
  EXPECT_EQ(DisplayText("a\rb\n\rc\r\rd"), "a\nb\nc\n\nd");
}

TEST(MainWin, UpdateClickRunsTheWholeUpdate) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "1");
  bool enabledDuringRun = false;
  int statusesDuringRun = 0;
  w.host->onStatus = [&](const std::string&) {
    statusesDuringRun++;
    enabledDuringRun = enabledDuringRun || w.window->updateButton()->isEnabled() ||
                       w.window->inButton()->isEnabled() || w.window->outButton()->isEnabled();
  };
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);

  EXPECT_EQ(w.window->statusLabel()->text(),
            "Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben");
  EXPECT_EQ(w.host->status, "Update beendet");
  EXPECT_GT(statusesDuringRun, 10);
  EXPECT_FALSE(enabledDuringRun);
  EXPECT_TRUE(w.window->updateButton()->isEnabled() && w.window->inButton()->isEnabled() &&
              w.window->outButton()->isEnabled());
  EXPECT_FALSE(w.window->running());
  EXPECT_FALSE(w.host->Port().IsOpen());
  EXPECT_EQ(w.sim.installs, 1);
  ASSERT_FALSE(w.messages.empty());
  EXPECT_EQ(w.messages[0].buttons, Buttons::YesNo);
  EXPECT_EQ(w.messages[0].text,
            "Funk- oder LocoNet-Handregler :\n\nVersion im Handregler: 1.0 vom: 1.1.20\n\nSoll "
            "die Version 2.1 vom 6.12.26 geladen werden?");
  EXPECT_TRUE(std::none_of(w.messages.begin(), w.messages.end(),
                           [](const ShownMessage& m) { return m.text.contains('\r'); }));
}

TEST(MainWin, ClosingDuringARunAsksThenReleasesTheStationAndEndsTheRun) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "1");
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
  EXPECT_FALSE(w.window->isVisible());
  EXPECT_FALSE(w.host->Port().IsOpen());
  EXPECT_FALSE(w.window->running());
  EXPECT_EQ(afterClose, (std::vector<std::string>{"Zentrale wird aus dem Update-Mode genommen ...",
                                                  "Update abgebrochen"}));
  EXPECT_EQ(w.messages.back().text, QString::fromUtf8("Update läuft noch. Wirklich beenden?"));
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
  EXPECT_FALSE(w.sim.stationLog.inUpdateMode);
  EXPECT_EQ(w.sim.installs, 0);
}

}  // namespace
}  // namespace skyrelay::app::test
