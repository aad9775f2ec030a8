// How a run started from the main window ends: closing the window during the
// run, the verdict in the status line, and "Update" without an interface.
#include <gtest/gtest.h>

#include <QTest>
#include <string>

#include "app_world.h"

namespace skyrelay::app::test {
namespace {

TEST(WindowEndings, ClosingAnsweredNoLetsTheRunFinish) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "1");
  QString closeQuestion;
  w.window->SetMessageHandler([&](const QString& text, const QString&, Icon, Buttons buttons) {
    if (text.startsWith(QString::fromUtf8("Update läuft noch"))) {
      closeQuestion = text;
      return Answer::No;
    }
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
  });
  double closedAt = -1;
  w.host->onStatus = [&](const std::string& text) {
    if (text == "50%" && closedAt < 0) {
      closedAt = w.host->Now();
      w.window->close();
    }
  };
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
  EXPECT_EQ(closeQuestion, QString::fromUtf8("Update läuft noch. Wirklich beenden?"));
  EXPECT_TRUE(w.window->isVisible());
  EXPECT_EQ(w.sim.installs, 1);
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
  EXPECT_EQ(
      w.window->statusLabel()->text(),
      QString::fromUtf8("Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben"));
}

TEST(WindowEndings, ClosingAnsweredYesReleasesQuicklyAndClosesAfterTheRun) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "1");
  double closedAt = -1;
  w.host->onStatus = [&](const std::string& text) {
    // During the restart wait: the handheld is installing, the station waits.
    if (text == "##        " && closedAt < 0) {
      closedAt = w.host->Now();
      w.window->close();
      EXPECT_TRUE(w.window->isVisible()) << "the window stays until the station is released";
    }
  };
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
  ASSERT_GE(closedAt, 0);
  EXPECT_LT(w.host->Now() - closedAt, 3.0);
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
  EXPECT_FALSE(w.sim.stationLog.inUpdateMode);
  EXPECT_FALSE(w.window->isVisible());
  EXPECT_FALSE(w.host->Port().IsOpen());
}

TEST(WindowEndings, UpdateWithoutAnInterfaceSaysWhereToChooseIt) {
  for (const char* kind : {"0", "2"}) {
    AppWorld w;
    w.Start(w.WritePackage(), kind, "1");
    QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
    ASSERT_EQ(w.messages.size(), 1u) << kind;
    EXPECT_TRUE(w.messages[0].text.endsWith(
        QString::fromUtf8("\nBitte zuerst unter Datei → Einstellungen Interface und ComPort "
                          "wählen.")))
        << w.messages[0].text.toStdString();
    EXPECT_EQ(w.sim.stationLog.enterRequests, 0);
    EXPECT_EQ(w.host->virtualPort().bytesWritten, 0);
    EXPECT_FALSE(w.host->Port().IsOpen());
  }
}

}  // namespace
}  // namespace skyrelay::app::test
