// The port test "in" leaves the port open; "Update" afterwards must still run
// on a port of its own and update the handheld.
#include <QTest>

#include "app_world.h"

namespace skyrelay::app::test {
namespace {

TEST(MainWin, PortTestInThenUpdateUpdatesTheHandheld) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "1");
  QTest::mouseClick(w.window->inButton(), Qt::LeftButton);
  EXPECT_EQ(w.window->statusLabel()->text(), "0");
  EXPECT_TRUE(w.host->Port().IsOpen());

  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
  EXPECT_EQ(
      w.window->statusLabel()->text(),
      QString::fromUtf8("Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben"));
  EXPECT_EQ(w.sim.installs, 1);
  EXPECT_EQ(w.ctx().upd.firmwareOutcome, UpdateState::FirmwareOutcome::Ok);
  EXPECT_FALSE(w.host->Port().IsOpen());
}

}  // namespace
}  // namespace skyrelay::app::test
