// The main window on a desktop: long names fit or are elided with a tooltip,
// the keyboard reaches only what is shown, and the progress bar follows the
// stages. (That a run disables the menus is checked with the run itself.)

#include <QLineEdit>
#include <set>
#include <utility>
#include <vector>

#include "app/zentrale_form.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

TEST(DesktopFit, PortAndPackageNamesShowWholeOrElidedWithTooltip) {
  const QString longPort = QStringLiteral(
      "/dev/serial/by-id/usb-LocoNet_Interface_Serial_Converter_0123456789ABCDEF-if00-port0");
  for (const QString& name : {QStringLiteral("/dev/ttyACM12"), longPort}) {
    SCOPED_TRACE(name.toStdString());
    const bool elided = name == longPort;
    AppWorld w;
    const std::string package = w.WritePackage("Paket mit langem Namen.tup");
    w.Start(package, "3", name.toStdString());
    Settle();
    EXPECT_FALSE(w.window->windowIcon().pixmap(32, 32).isNull()) << "the icon and its SVG engine";
    const ElidedLabel* port = w.window->comPortLabel();
    EXPECT_EQ(port->fullText(), name);
    EXPECT_EQ(port->toolTip(), elided ? name : QString());
    // Whole, or elided in the middle: the start and the end stay readable.
    EXPECT_TRUE(elided ? port->text().startsWith(name.left(12)) &&
                             port->text().endsWith(name.right(11)) &&
                             port->text().contains(QChar(0x2026))
                       : port->text() == name)
        << port->text().toStdString();
    EXPECT_LE(port->fontMetrics().horizontalAdvance(port->text()), port->contentsRect().width());

    // The package by its file name, the whole path as tooltip.
    EXPECT_EQ(w.window->packageLabel()->text(), "Paket mit langem Namen.tup");
    EXPECT_EQ(w.window->packageLabel()->toolTip().toStdString(), package);

    // A window made wide enough shows the whole name, centred as before.
    w.window->resize(w.window->width() + port->fontMetrics().horizontalAdvance(name),
                     w.window->height());
    Settle();
    EXPECT_EQ(port->text(), name);
    EXPECT_TRUE(port->toolTip().isEmpty());
    const int middle = w.window->centralWidget()->width() / 2;
    EXPECT_NEAR(w.window->heading()->geometry().center().x(), middle, 2);
    const QWidget* button = w.window->updateButton();
    EXPECT_NEAR(button->mapTo(w.window->centralWidget(), button->rect().center()).x(), middle, 2);

    // The settings dialog shows the name whole or scrolls it, with a tooltip.
    w.window->settingsAction()->trigger();
    Settle();
    const QLineEdit* text = w.window->zentraleForm()->portText();
    EXPECT_EQ(text->text(), name);
    EXPECT_EQ(text->toolTip(), name);
    EXPECT_TRUE(elided || text->fontMetrics().horizontalAdvance(name) + 8 <= text->width());
  }
}

// The controls Tab visits, starting at the "Update" button.
std::set<QWidget*> TabReaches(MainWin& window) {
  window.updateButton()->setFocus();
  std::set<QWidget*> visited;
  for (int i = 0; i < 6; i++) {
    visited.insert(window.focusWidget());
    QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
  }
  return visited;
}

TEST(DesktopFit, KeyboardReachesOnlyWhatIsShown) {
  AppWorld w;
  w.StartWithPackage();
  Settle();
  EXPECT_EQ(TabReaches(*w.window), std::set<QWidget*>{w.window->updateButton()});
  EXPECT_FALSE(w.window->inButton()->isVisible());

  // Enlarged downwards, the window shows the port tests, and Tab reaches them.
  w.window->resize(w.window->width(),
                   w.window->height() + 4 * w.window->inButton()->sizeHint().height());
  Settle();
  ASSERT_TRUE(w.window->inButton()->isVisible());
  EXPECT_EQ(
      TabReaches(*w.window),
      (std::set<QWidget*>{w.window->updateButton(), w.window->inButton(), w.window->outButton()}));

  // Enter starts the update only from the focused "Update" button.
  w.window->inButton()->setFocus();
  QTest::keyClick(w.window->inButton(), Qt::Key_Return);
  EXPECT_EQ(w.Status(), "");
  EXPECT_EQ(w.sim.busMessages, 0);
  w.window->updateButton()->setFocus();
  QTest::keyClick(w.window->updateButton(), Qt::Key_Return);
  EXPECT_EQ(w.Status(), Updated());
  EXPECT_EQ(w.sim.installs, 1);
}

TEST(DesktopFit, ProgressBarFollowsTheFirmwareAndTheConfigurationTransfer) {
  AppWorld w;
  w.Start(sim::WriteSamplePackage(w.Path("paket")), "3", "1");
  const QProgressBar* bar = w.window->progressBar();
  EXPECT_FALSE(bar->isVisible()) << "no bar before a run";
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
  w.Click(w.window->updateButton());
  EXPECT_EQ(w.Status(), Updated());
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
