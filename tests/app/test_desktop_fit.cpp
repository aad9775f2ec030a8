// The main window on a desktop: long names fit or are elided with a tooltip,
// a run cannot be changed under its feet, the keyboard reaches only what is
// shown, and the progress bar follows the stages.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <set>
#include <utility>
#include <vector>

#include "app/zentrale_form.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

// Lets the layouts take in what changed; nothing waits.
void Settle() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

TEST(DesktopFit, PortAndPackageNamesShowWholeOrElidedWithTooltip) {
  const QString longPort = QStringLiteral(
      "/dev/serial/by-id/usb-LocoNet_Interface_Serial_Converter_0123456789ABCDEF-if00-port0");
  struct Case {
    QString port;
    bool elided;
  };
  for (const Case& c :
       {Case{"/dev/ttyUSB0", false}, Case{"/dev/ttyACM12", false}, Case{longPort, true}}) {
    SCOPED_TRACE(c.port.toStdString());
    AppWorld w;
    const std::string package = w.WritePackage("Paket mit langem Namen.tup");
    w.Start(package, "3", c.port.toStdString());
    Settle();
    EXPECT_FALSE(w.window->windowIcon().pixmap(32, 32).isNull()) << "the icon and its SVG engine";
    const ElidedLabel* port = w.window->comPortLabel();
    EXPECT_EQ(port->fullText(), c.port);
    if (!c.elided) {
      EXPECT_EQ(port->text(), c.port);
      EXPECT_TRUE(port->toolTip().isEmpty());
    } else {
      // The start and the end stay readable; the whole name is the tooltip.
      EXPECT_TRUE(port->text().startsWith("/dev/serial/")) << port->text().toStdString();
      EXPECT_TRUE(port->text().endsWith("-if00-port0")) << port->text().toStdString();
      EXPECT_TRUE(port->text().contains(QChar(0x2026)));
      EXPECT_EQ(port->toolTip(), c.port);
    }
    EXPECT_LE(port->fontMetrics().horizontalAdvance(port->text()), port->contentsRect().width());

    // The package by its file name, the whole path as tooltip.
    EXPECT_EQ(w.window->packageLabel()->text(), "Paket mit langem Namen.tup");
    EXPECT_EQ(w.window->packageLabel()->toolTip().toStdString(), package);

    // A window made wide enough shows the whole name, centred as before.
    w.window->resize(w.window->width() + port->fontMetrics().horizontalAdvance(c.port),
                     w.window->height());
    Settle();
    EXPECT_EQ(port->text(), c.port);
    EXPECT_TRUE(port->toolTip().isEmpty());
    const int middle = w.window->centralWidget()->width() / 2;
    const QRect heading = w.window->heading()->geometry();
    EXPECT_NEAR(heading.center().x(), middle, 2);
    const QWidget* button = w.window->updateButton();
    EXPECT_NEAR(button->mapTo(w.window->centralWidget(), button->rect().center()).x(), middle, 2);

    // The settings dialog shows the name whole or scrolls it, with a tooltip.
    w.window->settingsAction()->trigger();
    Settle();
    const QLineEdit* text = w.window->zentraleForm()->portText();
    EXPECT_EQ(text->text(), c.port);
    EXPECT_EQ(text->toolTip(), c.port);
    if (!c.elided) {
      EXPECT_LE(text->fontMetrics().horizontalAdvance(c.port) + 8, text->width());
    }
  }
}

TEST(DesktopFit, PackageAndSettingsCannotChangeDuringARun) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "1");
  const std::string first = w.ctx().settings.UpdateFilePath;
  w.fileDialogAnswer = w.WritePackage("zweites.tup");
  std::set<bool> enabledDuringRun;
  bool tried = false;
  w.host->onStatus = [&](const std::string& text) {
    enabledDuringRun.insert(w.window->updateFileAction()->isEnabled());
    enabledDuringRun.insert(w.window->settingsAction()->isEnabled());
    enabledDuringRun.insert(w.window->zentraleForm()->isEnabled());
    if (text == "24%" && !tried) {
      tried = true;
      // The menu command and its shortcut both.
      w.window->updateFileAction()->trigger();
      QTest::keyClick(w.window.get(), Qt::Key_O, Qt::ControlModifier);
      w.window->settingsAction()->trigger();
    }
  };
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
  ASSERT_TRUE(tried);
  EXPECT_EQ(enabledDuringRun, std::set<bool>{false});
  EXPECT_TRUE(w.fileDialogTitle.isEmpty()) << "no file dialog during the run";
  EXPECT_FALSE(w.window->zentraleForm()->isVisible());
  EXPECT_EQ(w.ctx().settings.UpdateFilePath, first);
  EXPECT_EQ(
      w.window->statusLabel()->text(),
      QString::fromUtf8("Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben"));
  EXPECT_EQ(w.sim.installs, 1);

  // Afterwards both are usable again.
  EXPECT_TRUE(w.window->updateFileAction()->isEnabled());
  EXPECT_TRUE(w.window->settingsAction()->isEnabled());
  EXPECT_TRUE(w.window->zentraleForm()->isEnabled());
  w.window->updateFileAction()->trigger();
  EXPECT_EQ(w.ctx().settings.UpdateFilePath, w.fileDialogAnswer);
  EXPECT_EQ(w.window->packageLabel()->text(), "zweites.tup");
}

// The controls Tab visits, starting at the "Update" button.
std::vector<QWidget*> TabChain(MainWin& window) {
  window.updateButton()->setFocus();
  std::vector<QWidget*> visited;
  for (int i = 0; i < 6; i++) {
    QWidget* focus = window.focusWidget();
    visited.push_back(focus);
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  return visited;
}

TEST(DesktopFit, KeyboardReachesOnlyWhatIsShown) {
  AppWorld w;
  w.Start(w.WritePackage(), "3", "1");
  Settle();
  for (QWidget* focus : TabChain(*w.window)) {
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus->isVisible()) << focus->objectName().toStdString();
  }
  EXPECT_FALSE(w.window->inButton()->isVisible());

  // Enlarged downwards, the window shows the port tests, and Tab reaches them.
  w.window->resize(w.window->width(),
                   w.window->height() + 4 * w.window->inButton()->sizeHint().height());
  Settle();
  ASSERT_TRUE(w.window->inButton()->isVisible());
  const std::vector<QWidget*> chain = TabChain(*w.window);
  const std::set<QWidget*> reached(chain.begin(), chain.end());
  EXPECT_EQ(reached, (std::set<QWidget*>{w.window->updateButton(), w.window->inButton(),
                                         w.window->outButton()}));

  // Enter starts the update only from the focused "Update" button.
  w.window->inButton()->setFocus();
  QTest::keyClick(w.window->inButton(), Qt::Key_Return);
  EXPECT_EQ(w.window->statusLabel()->text(), "");
  EXPECT_EQ(w.sim.busMessages, 0);
  w.window->updateButton()->setFocus();
  QTest::keyClick(w.window->updateButton(), Qt::Key_Return);
  EXPECT_EQ(
      w.window->statusLabel()->text(),
      QString::fromUtf8("Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben"));
  EXPECT_EQ(w.sim.installs, 1);
}

TEST(DesktopFit, ProgressBarFollowsTheFirmwareAndTheConfigurationTransfer) {
  AppWorld w;
  w.Start(sim::WriteSamplePackage(w.Path("paket")), "3", "1");
  EXPECT_FALSE(w.window->progressBar()->isVisible()) << "no bar before a run";
  const QProgressBar* bar = w.window->progressBar();
  int firmwareStatuses = 0;
  w.host->onStatus = [&](const std::string& text) {
    if (text.empty() || text.back() != '%') return;
    firmwareStatuses++;
    // The bar shows what the status line shows, beside it.
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(std::to_string(bar->value() * 100 / bar->maximum()) + "%", text);
  };
  std::vector<std::pair<int, int>> configuration;  // value, maximum
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
    if (bar->format().startsWith("Daten") && value >= 0) {
      configuration.emplace_back(value, bar->maximum());
    }
  });
  QTest::mouseClick(w.window->updateButton(), Qt::LeftButton);
  EXPECT_EQ(
      w.window->statusLabel()->text(),
      QString::fromUtf8("Update erfolgreich: Firmware 2.1 geprüft, Konfiguration geschrieben"));
  EXPECT_EQ(firmwareStatuses, 497);
  // Two language files, three turnout files, two character files and the
  // new configuration: eight steps, each shown, the last one done.
  std::vector<std::pair<int, int>> expected;
  for (int step = 0; step <= 8; step++) expected.emplace_back(step, 8);
  EXPECT_EQ(configuration, expected);
  EXPECT_EQ(bar->value(), 8);
  EXPECT_TRUE(bar->isVisible());
}

}  // namespace
}  // namespace skyrelay::app::test
