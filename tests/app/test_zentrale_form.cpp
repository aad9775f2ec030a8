// The interface selection dialog: activation, "OK" and "Abbrechen".
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTest>

#include "app/zentrale_form.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

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

TEST(ZentraleForm, ShowsTheStoredChoiceAndOkTakesItOver) {
  AppWorld w;
  w.Start(w.Path("a.tup"), "3", "4");
  ZentraleForm& form = Open(w);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.isModal());
  EXPECT_EQ(form.windowTitle(), "Auswahl der Zentrale");
  EXPECT_TRUE(!form.option(0)->isChecked() && form.option(2)->isChecked());
  EXPECT_TRUE(form.option(1)->isHidden());
  EXPECT_EQ(form.portText()->text(), "4");
  QTest::mouseClick(form.option(0), Qt::LeftButton);
  form.portText()->setText("COM3");
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 1);
  EXPECT_EQ(w.ctx().settings.ComPortNumber, "COM3");
  EXPECT_EQ(w.Read(w.SettingsPath()), w.Path("a.tup") + "\r\n1\r\nCOM3\r\n");
  EXPECT_EQ(w.window->comPortLabel()->text(), "COM3");
  EXPECT_EQ(&Open(w), &form) << "hidden, not destroyed";
}

TEST(ZentraleForm, KindTwoOrOutsideTheOptionsIsShownAsStoredAndKept) {
  for (const char* kind : {"2", "7"}) {
    AppWorld w;
    w.Start("", kind, "5");
    ZentraleForm& form = Open(w);
    for (int i = 0; i < 3; i++) EXPECT_EQ(form.option(i)->isChecked(), i == 1 && *kind == '2');
    EXPECT_EQ(form.option(1)->isHidden(), *kind != '2');
    QTest::mouseClick(form.okButton(), Qt::LeftButton);
    EXPECT_EQ(w.ctx().settings.InterfaceKind, *kind - '0');
    EXPECT_EQ(w.Read(w.SettingsPath()), std::string("\r\n") + kind + "\r\n5\r\n");
  }
}

TEST(ZentraleForm, ActivationRefillsAChoiceNotConfirmedCancelChangesNothing) {
  AppWorld w;
  w.Start(w.Path("a.tup"), "1", "2");
  const std::string before = w.Read(w.SettingsPath());
  ZentraleForm& form = Open(w);
  QTest::mouseClick(form.option(2), Qt::LeftButton);
  form.portText()->setText("8");
  Send(form, QEvent::WindowDeactivate);  // the user goes to the main window and comes back
  Send(form, QEvent::WindowActivate);
  EXPECT_TRUE(form.option(0)->isChecked() && !form.option(2)->isChecked());
  EXPECT_EQ(form.portText()->text(), "2");
  QTest::mouseClick(form.option(2), Qt::LeftButton);
  form.portText()->setText("9");
  QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 1);
  EXPECT_EQ(w.ctx().settings.ComPortNumber, "2");
  EXPECT_EQ(w.Read(w.SettingsPath()), before);
  EXPECT_EQ(w.window->comPortLabel()->text(), "2");
}

}  // namespace
}  // namespace skyrelay::app::test
