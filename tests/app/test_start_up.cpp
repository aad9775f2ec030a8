// Start-up: the brand, the settings file and the remembered description.
#include <gtest/gtest.h>

#include <QMenu>

#include "app/zentrale_form.h"
#include "app_world.h"
#include "core/settings_file.h"

namespace skyrelay::app::test {
namespace {

TEST(StartUp, BrandCaptionsOfThisBuildFitTheirControls) {
  AppWorld w;
  w.Start();
  MainWin& win = *w.window;
  if constexpr (BrandCode == "ZB4") {
    EXPECT_EQ(win.windowTitle(), "Sky Relay - Update");
    EXPECT_EQ(win.heading()->text(), "Sky Relay - Update");
    EXPECT_TRUE(win.zentraleVersionLabel()->isHidden());
    EXPECT_EQ(win.zentraleForm()->option(2)->text(), "QX9 oder Interface 71540");
    EXPECT_EQ(w.ctx().ProductName, "SKY RELAY");
    EXPECT_EQ(CurrentBrand().ConfigFileName, "SkyRelayUpd.cfg");
  } else {
    EXPECT_EQ(win.windowTitle(), "TALON2-Update V1.1");
    EXPECT_EQ(win.heading()->text(), "TALONII - Update");
    EXPECT_FALSE(win.zentraleVersionLabel()->isHidden());
    EXPECT_EQ(win.zentraleForm()->option(2)->text(),
              "Kontrada Basic oder Kontrada 2 oder Interface 71540");
    EXPECT_EQ(w.ctx().ProductName, "TALON2");
    EXPECT_EQ(CurrentBrand().ConfigFileName, "TalonUpd.cfg");
  }
  EXPECT_TRUE(win.isVisible());
  EXPECT_EQ(win.updateButton()->text(), "Update");
  const QMenu* menu = win.findChild<QMenu*>("Datei_menu");
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[2]->text(), "&Beenden");
  for (const QLabel* label : win.centralWidget()->findChildren<QLabel*>()) {
    if (label->isHidden()) continue;
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
        << label->objectName().toStdString();
  }
  for (int i = 0; i < 3; i++) {
    const QWidget* option = win.zentraleForm()->option(i);
    EXPECT_TRUE(option->isHidden() || option->sizeHint().width() <= option->width()) << i;
  }
}

TEST(StartUp, VanishedDescriptionAndBlanksAroundTheNumbers) {
  AppWorld w;
  w.Start(w.Path("weg/paket.tup"), " 3", " 2");
  EXPECT_EQ(w.ctx().settings.UpdateFilePath, w.Path("weg/paket.tup"));
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 3);
  EXPECT_EQ(w.ctx().settings.ComPortNumber, "2");
  EXPECT_EQ(w.window->comPortLabel()->text(), "2");
  EXPECT_TRUE(w.messages.empty());
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "---");
}

TEST(StartUp, MissingSettingsFileStartsWithNothingChosen) {
  AppWorld w;
  w.Start();
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 0);
  EXPECT_EQ(w.window->comPortLabel()->text(), "---");
  EXPECT_TRUE(w.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(w.SettingsPath()));
}

}  // namespace
}  // namespace skyrelay::app::test
