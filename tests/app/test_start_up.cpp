// Start-up: the brand, the settings file and the remembered description; and
// the interface selection dialog with "OK", "Abbrechen" and coming back to it.

#include <QApplication>
#include <QMenu>

#include "app/zentrale_form.h"
#include "app_world.h"
#include "core/settings_file.h"

namespace skyrelay::app::test {
namespace {

TEST(StartUp, BrandCaptionsOfThisBuildFitTheirControls) {
  struct Brand {
    QString title, heading;
    bool zentraleVersionShown;
    QString option2;
    std::string product, configFile;
  };
  const Brand brands[] = {
      {"Sky Relay - Update", "Sky Relay - Update", false, "QX9 oder Interface 71540", "SKY RELAY",
       "SkyRelayUpd.cfg"},
      {"TALON2-Update V1.1", "TALONII - Update", true,
       "Kontrada Basic oder Kontrada 2 oder Interface 71540", "TALON2", "TalonUpd.cfg"}};
  const Brand& b = brands[BrandCode == "FEN" ? 1 : 0];  // else ZB4
  AppWorld w;
  w.Start();
  MainWin& win = *w.window;
  EXPECT_EQ(win.windowTitle(), b.title);
  EXPECT_EQ(win.heading()->text(), b.heading);
  EXPECT_EQ(win.zentraleVersionLabel()->isHidden(), !b.zentraleVersionShown);
  EXPECT_EQ(win.zentraleForm()->option(2)->text(), b.option2);
  EXPECT_EQ(w.ctx().ProductName, b.product);
  EXPECT_EQ(CurrentBrand().ConfigFileName, b.configFile);
  EXPECT_TRUE(win.isVisible());
  const QMenu* menu = win.findChild<QMenu*>("Datei_menu");
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[2]->text(), "&Beenden");
  for (const QLabel* label : win.centralWidget()->findChildren<QLabel*>()) {
    EXPECT_TRUE(label->isHidden() ||
                label->fontMetrics().horizontalAdvance(label->text()) <= label->width())
        << label->objectName().toStdString();
  }
  for (int i = 0; i < 3; i++) {
    const QWidget* option = win.zentraleForm()->option(i);
    EXPECT_TRUE(option->isHidden() || option->sizeHint().width() <= option->width()) << i;
  }
}

TEST(StartUp, SettingsFileCases) {
  struct Case {
    bool file, packageThere;
    const char *kind, *port;
    int wantKind;
    const char *portLabel, *funkLabel;
  };
  for (const Case& c : {Case{false, false, "", "", 0, "---", "---"},
                        Case{true, false, " 3", " 2", 3, "2", "---"},  // blanks, vanished package
                        Case{true, true, "1", "COM4", 1, "COM4", "2,1"}}) {
    SCOPED_TRACE(c.portLabel);
    AppWorld w;
    const std::string package = c.packageThere ? w.WritePackage() : w.Path("weg/paket.tup");
    c.file ? w.Start(package, c.kind, c.port) : w.Start();
    EXPECT_EQ(w.ctx().settings.UpdateFilePath, c.file ? package : "");
    EXPECT_EQ(w.ctx().settings.InterfaceKind, c.wantKind);
    EXPECT_EQ(w.window->comPortLabel()->text(), c.portLabel);
    EXPECT_EQ(w.window->funkVersionLabel()->text(), c.funkLabel);
    EXPECT_TRUE(w.messages.empty());
    EXPECT_EQ(std::filesystem::exists(w.SettingsPath()), c.file);
  }
}

void Send(QWidget& form, QEvent::Type type) {
  QEvent event(type);
  QApplication::sendEvent(&form, &event);
}

// Opens the dialog through the menu and lets it become the active window.
ZentraleForm& Open(AppWorld& w) {
  w.window->settingsAction()->trigger();
  Send(*w.window->zentraleForm(), QEvent::WindowActivate);
  return *w.window->zentraleForm();
}

TEST(ZentraleForm, ShowsTheStoredChoiceOkTakesItOverCancelDoesNot) {
  struct Case {
    const char* kind;
    int checked, click;  // -1: none
    const char* port;
    int wantKind;
  };
  for (const Case& c : {Case{"3", 2, 0, "COM3", 1}, Case{"2", 1, -1, "5", 2},
                        Case{"7", -1, -1, "5", 7}}) {  // outside the options: kept
    SCOPED_TRACE(c.kind);
    AppWorld w;
    w.Start(w.Path("a.tup"), c.kind, "5");
    ZentraleForm& form = Open(w);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isModal());
    EXPECT_EQ(form.windowTitle(), "Auswahl der Zentrale");
    for (int i = 0; i < 3; i++) EXPECT_EQ(form.option(i)->isChecked(), i == c.checked) << i;
    EXPECT_EQ(form.option(1)->isHidden(), c.wantKind != 2);
    EXPECT_EQ(form.portText()->text(), "5");
    if (c.click >= 0) w.Click(form.option(c.click));
    form.portText()->setText(c.port);
    w.Click(form.okButton());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(w.ctx().settings.InterfaceKind, c.wantKind);
    EXPECT_EQ(w.ctx().settings.ComPortNumber, c.port);
    EXPECT_EQ(w.SettingsFile(),
              w.Path("a.tup") + "\r\n" + std::to_string(c.wantKind) + "\r\n" + c.port + "\r\n");
    EXPECT_EQ(w.window->comPortLabel()->text(), c.port);
    const std::string confirmed = w.SettingsFile();

    // A choice not confirmed is refilled when the user comes back to the
    // dialog; "Abbrechen" changes nothing.
    EXPECT_EQ(&Open(w), &form) << "hidden, not destroyed";
    w.Click(form.option(2));
    form.portText()->setText("8");
    Send(form, QEvent::WindowDeactivate);
    Send(form, QEvent::WindowActivate);
    for (int i = 0; i < 3; i++) EXPECT_EQ(form.option(i)->isChecked(), i == c.wantKind - 1) << i;
    EXPECT_EQ(form.portText()->text(), c.port);
    w.Click(form.option(2));
    form.portText()->setText("9");
    w.Click(form.cancelButton());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(w.ctx().settings.InterfaceKind, c.wantKind);
    EXPECT_EQ(w.ctx().settings.ComPortNumber, c.port);
    EXPECT_EQ(w.SettingsFile(), confirmed);
    EXPECT_EQ(w.window->comPortLabel()->text(), c.port);
  }
}

}  // namespace
}  // namespace skyrelay::app::test
