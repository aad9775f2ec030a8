// The interface selection dialog: activation, "OK" and "Abbrechen".
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTest>

#include "app/zentrale_form.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

// Opens the dialog through the menu and lets it become the active window.
ZentraleForm& Open(AppWorld& w) {
  w.window->settingsAction()->trigger();
  ZentraleForm& form = *w.window->zentraleForm();
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&form, &activate);
  return form;
}

TEST(ZentraleForm, ShowsTheStoredChoice) {
  AppWorld w;
  w.WriteSettings("", "3", "4");
  w.Start();
  ZentraleForm& form = Open(w);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.isModal());
  EXPECT_EQ(form.windowTitle(), "Auswahl der Zentrale");
  EXPECT_FALSE(form.option(0)->isChecked());
  EXPECT_FALSE(form.option(1)->isChecked());
  EXPECT_TRUE(form.option(2)->isChecked());
  EXPECT_TRUE(form.option(1)->isHidden());
  EXPECT_EQ(form.portText()->text(), "4");
  EXPECT_EQ(form.versionLabel()->text(), QStringLiteral("Version: %1.%2.%3")
                                             .arg(SKYRELAY_VERSION_MAJOR)
                                             .arg(SKYRELAY_VERSION_MINOR)
                                             .arg(SKYRELAY_VERSION_PATCH));
  EXPECT_EQ(form.option(0)->text(), "Kontrada 1 oder Duoplex");
  EXPECT_EQ(form.okButton()->text(), "OK");
  EXPECT_EQ(form.cancelButton()->text(), "Abbrechen");
  EXPECT_EQ(form.findChild<QWidget*>("Frame1")->property("title").toString(), "Interface:");
  EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(), "ComPort Nr. :");
}

TEST(ZentraleForm, OkTakesOverWritesTheFileAndShowsThePort) {
  AppWorld w;
  w.WriteSettings(w.Path("a.tup"), "3", "4");
  w.Start();
  ZentraleForm& form = Open(w);
  QTest::mouseClick(form.option(0), Qt::LeftButton);
  form.portText()->setText("COM3");
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 1);
  EXPECT_EQ(w.ctx().settings.ComPortNumber, "COM3");
  EXPECT_EQ(w.Read(w.SettingsPath()), w.Path("a.tup") + "\r\n1\r\nCOM3\r\n");
  EXPECT_EQ(w.window->comPortLabel()->text(), "COM3");
  // Hidden, not destroyed: the next use finds the same dialog.
  EXPECT_EQ(&Open(w), &form);
}

TEST(ZentraleForm, StoredKindTwoIsShownAndKept) {
  AppWorld w;
  w.WriteSettings("", "2", "5");
  w.Start();
  ZentraleForm& form = Open(w);
  EXPECT_FALSE(form.option(1)->isHidden());
  EXPECT_TRUE(form.option(1)->isChecked());
  EXPECT_EQ(form.option(1)->text(), "Interface 71530");
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 2);
  EXPECT_EQ(w.Read(w.SettingsPath()), "\r\n2\r\n5\r\n");
}

TEST(ZentraleForm, KindOutsideTheOptionsShowsNoneAndIsKept) {
  AppWorld w;
  w.WriteSettings("", "7", "1");
  w.Start();
  ZentraleForm& form = Open(w);
  for (int i = 0; i < 3; i++) EXPECT_FALSE(form.option(i)->isChecked()) << i;
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 7);
  EXPECT_EQ(w.Read(w.SettingsPath()), "\r\n7\r\n1\r\n");
}

TEST(ZentraleForm, CancelChangesNothing) {
  AppWorld w;
  w.WriteSettings(w.Path("a.tup"), "3", "4");
  w.Start();
  const std::string before = w.Read(w.SettingsPath());
  ZentraleForm& form = Open(w);
  QTest::mouseClick(form.option(0), Qt::LeftButton);
  form.portText()->setText("9");
  QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(w.ctx().settings.InterfaceKind, 3);
  EXPECT_EQ(w.ctx().settings.ComPortNumber, "4");
  EXPECT_EQ(w.Read(w.SettingsPath()), before);
  EXPECT_EQ(w.window->comPortLabel()->text(), "4");
}

TEST(ZentraleForm, ActivationRefillsAChoiceNotConfirmed) {
  AppWorld w;
  w.WriteSettings("", "1", "2");
  w.Start();
  ZentraleForm& form = Open(w);
  QTest::mouseClick(form.option(2), Qt::LeftButton);
  form.portText()->setText("8");
  // The user goes to the main window and comes back.
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(&form, &deactivate);
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&form, &activate);
  EXPECT_TRUE(form.option(0)->isChecked());
  EXPECT_FALSE(form.option(2)->isChecked());
  EXPECT_EQ(form.portText()->text(), "2");
}

TEST(ZentraleForm, PortListFillsTheTextBox) {
  AppWorld w;
  w.WriteSettings("", "3", "1");
  w.Start();
  ZentraleForm& form = Open(w);
  ASSERT_GE(form.portList()->count(), 1);
  // The first entry only heads the list.
  emit form.portList()->activated(0);
  EXPECT_EQ(form.portText()->text(), "1");
  form.portList()->addItem("ttyUSB7 – Testadapter", QStringLiteral("ttyUSB7"));
  emit form.portList()->activated(form.portList()->count() - 1);
  EXPECT_EQ(form.portText()->text(), "ttyUSB7");
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  EXPECT_EQ(w.ctx().settings.ComPortNumber, "ttyUSB7");
}

TEST(ZentraleForm, OkAfterCancelledFileDialogWritesAnEmptyFirstLine) {
  AppWorld w;
  w.WriteSettings(w.WritePackage(), "3", "4");
  w.Start();
  w.fileDialogAnswer.clear();
  w.window->updateFileAction()->trigger();
  EXPECT_TRUE(w.ctx().settings.UpdateFilePath.empty());
  ZentraleForm& form = Open(w);
  QTest::mouseClick(form.okButton(), Qt::LeftButton);
  EXPECT_EQ(w.Read(w.SettingsPath()), "\r\n3\r\n4\r\n");
}

}  // namespace
}  // namespace skyrelay::app::test
