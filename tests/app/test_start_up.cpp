// Start-up: the brand, the settings file and the remembered description.
#include <gtest/gtest.h>

#include <QMenu>

#include "app/zentrale_form.h"
#include "app_world.h"
#include "core/settings_file.h"

namespace skyrelay::app::test {
namespace {

TEST(StartUp, BrandCaptionsOfThisBuild) {
  AppWorld w;
  w.Start();
  MainWin& win = *w.window;
  if constexpr (BrandCode == "ZB4") {
    EXPECT_EQ(win.windowTitle(), "Sky Relay - Update");
    EXPECT_EQ(win.heading()->text(), "Sky Relay - Update");
    EXPECT_TRUE(win.digitalSetLabel()->isHidden());
    EXPECT_TRUE(win.zentraleVersionLabel()->isHidden());
    EXPECT_EQ(win.zentraleForm()->option(2)->text(), "QX9 oder Interface 71540");
    EXPECT_EQ(w.ctx().ProductName, "SKY RELAY");
    EXPECT_EQ(CurrentBrand().ConfigFileName, "SkyRelayUpd.cfg");
  } else {
    EXPECT_EQ(win.windowTitle(), "TALON2-Update V1.1");
    EXPECT_EQ(win.heading()->text(), "TALONII - Update");
    EXPECT_FALSE(win.digitalSetLabel()->isHidden());
    EXPECT_FALSE(win.zentraleVersionLabel()->isHidden());
    EXPECT_EQ(win.zentraleForm()->option(2)->text(),
              "Kontrada Basic oder Kontrada 2 oder Interface 71540");
    EXPECT_EQ(w.ctx().ProductName, "TALON2");
    EXPECT_EQ(CurrentBrand().ConfigFileName, "TalonUpd.cfg");
  }
  EXPECT_TRUE(win.isVisible());
  // The settings file of the brand lies beside the program when that folder is writable.
  const std::string beside = DefaultSettingsPath(w.Path(""));
  EXPECT_EQ(std::filesystem::path(beside).filename().string(), CurrentBrand().ConfigFileName);
  EXPECT_EQ(std::filesystem::path(beside).parent_path(),
            std::filesystem::path(w.Path("x")).parent_path());
}

TEST(StartUp, ControlsCarryTheirDesignNamesAndCaptions) {
  AppWorld w;
  w.Start();
  MainWin& win = *w.window;
  const auto text = [&](const char* name) {
    const QLabel* label = win.findChild<QLabel*>(QString::fromUtf8(name));
    return label ? label->text() : QStringLiteral("<missing>");
  };
  EXPECT_EQ(text("label1_0"), "Handregler - Version:");
  EXPECT_EQ(text("label1_2"), "ComPort:");
  EXPECT_EQ(text("DS_Vers_Lbl"), "Digital Set - Version:");
  EXPECT_EQ(text("VersionFunkLbl"), "---");
  EXPECT_EQ(text("VersionZentraleLbl"), "---");
  EXPECT_EQ(text("UpDLbl"), "");
  ASSERT_NE(win.findChild<QPushButton*>("UpdateBut"), nullptr);
  EXPECT_EQ(win.findChild<QPushButton*>("UpdateBut")->text(), "Update");
  EXPECT_EQ(win.findChild<QPushButton*>("Command1")->text(), "in");
  EXPECT_EQ(win.findChild<QPushButton*>("Command2")->text(), "out");

  // The menu "Datei" with its three commands, in order.
  const QMenu* menu = win.findChild<QMenu*>("Datei_menu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), "Datei");
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "Update-Datei");
  EXPECT_EQ(actions[0]->objectName(), "UpDataMenu");
  EXPECT_EQ(actions[1]->text(), "Einstellungen");
  EXPECT_EQ(actions[1]->objectName(), "Einstellmenu");
  EXPECT_EQ(actions[2]->text(), "Beenden");
  EXPECT_EQ(actions[2]->objectName(), QString::fromUtf8("EndeMenü"));

  // "Update" is the first control the tab key reaches.
  QWidget* first = win.nextInFocusChain();
  while (first != &win && !(first->focusPolicy() & Qt::TabFocus)) first = first->nextInFocusChain();
  EXPECT_EQ(first, win.updateButton());

  // The heading is bold and larger than the other labels.
  EXPECT_TRUE(win.heading()->font().bold());
  EXPECT_GT(win.heading()->font().pointSizeF(), win.statusLabel()->font().pointSizeF());
  // The port test buttons lie below the design client area.
  EXPECT_GT(win.inButton()->geometry().top(), win.updateButton()->geometry().bottom());
  EXPECT_GE(win.maximumHeight(), win.height());
}

TEST(StartUp, LayoutFitsEveryCaption) {
  AppWorld w;
  w.Start();
  for (const QLabel* label : w.window->centralWidget()->findChildren<QLabel*>()) {
    if (label->isHidden() || label->text().isEmpty()) continue;
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    EXPECT_LE(needed, label->width()) << label->objectName().toStdString();
    EXPECT_LE(label->fontMetrics().height(), label->height()) << label->objectName().toStdString();
  }
  const ZentraleForm* form = w.window->zentraleForm();
  for (const QLabel* label : form->findChildren<QLabel*>()) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text());
    EXPECT_LE(needed, label->width()) << label->objectName().toStdString();
  }
  for (int i = 0; i < 3; i++) {
    if (form->option(i)->isHidden()) continue;
    EXPECT_LE(form->option(i)->sizeHint().width(), form->option(i)->width()) << i;
  }
}

TEST(StartUp, VanishedDescriptionAndBlanksAroundTheNumbers) {
  AppWorld w;
  w.WriteSettings(w.Path("weg/paket.tup"), " 3", " 2");
  w.Start();
  EXPECT_EQ(w.ctx().settings.UpdateFilePath, w.Path("weg/paket.tup"));
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 3);
  EXPECT_EQ(w.ctx().settings.ComPortNumber, "2");
  EXPECT_EQ(w.window->comPortLabel()->text(), "2");
  EXPECT_TRUE(w.messages.empty());
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "---");
  EXPECT_TRUE(w.ctx().desc.FunkFirmwarePath.empty());
  // The link starts with nothing to send and the display code table built.
  EXPECT_EQ(w.ctx().tx.TxLastIndex, -1);
  EXPECT_EQ(w.ctx().display.LastDisplayCode, 52);
}

TEST(StartUp, RememberedDescriptionIsLoaded) {
  AppWorld w;
  const std::string tup = w.WritePackage();
  w.WriteSettings(tup, "3", "1");
  w.Start();
  EXPECT_TRUE(w.messages.empty()) << w.messages[0].text.toStdString();
  EXPECT_EQ(w.window->funkVersionLabel()->text(), "2,1");
  EXPECT_FALSE(w.ctx().desc.FunkFirmwarePath.empty());
}

TEST(StartUp, MissingSettingsFileStartsWithNothingChosen) {
  AppWorld w;
  w.Start();
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 0);
  EXPECT_TRUE(w.ctx().settings.ComPortNumber.empty());
  EXPECT_EQ(w.window->comPortLabel()->text(), "---");
  EXPECT_TRUE(w.messages.empty());
  EXPECT_FALSE(std::filesystem::exists(w.SettingsPath()));
  EXPECT_EQ(w.window->settingsPath(), w.SettingsPath());
}

}  // namespace
}  // namespace skyrelay::app::test
