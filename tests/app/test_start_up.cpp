// Start-up: the brand, how the window fits long names, the settings file and
// the remembered description; "Update" refused for want of them; and the
// interface selection dialog with "OK", "Abbrechen" and coming back to it.

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <tuple>

#include "app_world.h"
#include "package/intel_hex.h"
#include "run/backup.h"
#include "run/rescue_note.h"

namespace skyrelay::app::test {
namespace {

// The brand's captions; every label and option fits its control; a port name
// shows whole or elided in the middle with a tooltip, also in the settings
// dialog; a window made wide enough shows it whole, centred as before.
TEST(StartUp, BrandCaptionsAndLongNamesFitTheirControls) {
  const QString longPort = QStringLiteral(
      "/dev/serial/by-id/usb-LocoNet_Interface_Serial_Converter_0123456789ABCDEF-if00-port0");
  for (const QString& name : {QStringLiteral("/dev/ttyACM12"), longPort}) {
    SCOPED_TRACE(name.toStdString());
    const bool elided = name == longPort;
    AppWorld w;
    const std::string package = w.Package();
    w.Start(package, "3", name.toStdString());
    Settle();
    MainWin& win = *w.window;
    const QMenu* menu = win.findChild<QMenu*>("FileMenu");
    ASSERT_NE(menu, nullptr);
    QStringList shown{win.windowTitle(), win.heading()->text(),
                      win.interfaceDialog()->option(2)->text(),
                      QString::fromStdString(w.ctx().ProductName),
                      QString::fromStdString(std::string(CurrentBrand().ConfigFileName))};
    for (const QAction* action : menu->actions()) shown << action->text();
    const QMenu* help = win.findChild<QMenu*>("HelpMenu");
    ASSERT_NE(help, nullptr);
    shown << help->title();
    for (const QAction* action : help->actions()) shown << action->text();
    const QStringList zb4{"Sky Relay - Update", "Sky Relay - Update", "QX9 oder Interface 71540",
                          "SKY RELAY", "SkyRelayUpd.cfg"};
    const QStringList fen{"TALON2-Update V1.1", "TALONII - Update",
                          "Kontrada Basic oder Kontrada 2 oder Interface 71540", "TALON2",
                          "TalonUpd.cfg"};
    EXPECT_EQ(shown, (BrandCode == "FEN" ? fen : zb4) +
                         QStringList({"&Update-Datei", "&Einstellungen", "",
                                      QString::fromUtf8("Sicherung &lesen …"),
                                      "Sicherung mit &Texten und Zeichen",
                                      QString::fromUtf8("Sicherung &zurückschreiben …"), "",
                                      "&Beenden", "&Hilfe", QString::fromUtf8("Ü&ber")}));
    EXPECT_EQ(win.digitalSetVersionLabel()->isHidden(), BrandCode != "FEN");
    EXPECT_TRUE(win.isVisible());
    EXPECT_FALSE(win.windowIcon().pixmap(32, 32).isNull()) << "the icon and its SVG engine";
    for (const QLabel* label : win.centralWidget()->findChildren<QLabel*>()) {
      EXPECT_TRUE(label->isHidden() || label->fontMetrics().horizontalAdvance(label->text()) <=
                                           label->contentsRect().width())
          << label->objectName().toStdString();
    }
    for (int i = 0; i < 3; i++) {  // each with the line that says what it is for
      const QWidget* option = win.interfaceDialog()->option(i);
      const QLabel* note = win.interfaceDialog()->note(i);
      EXPECT_TRUE(option->isHidden() || option->sizeHint().width() <= option->width()) << i;
      EXPECT_EQ(note->isHidden(), option->isHidden()) << i;
      EXPECT_TRUE(note->isHidden() || note->sizeHint().width() <= note->width()) << i;
    }
    // "Über": the version, the licence and where the description is.
    win.aboutAction()->trigger();
    ASSERT_FALSE(w.messages.empty());
    const ShownMessage about = w.messages.back();
    EXPECT_EQ(std::tuple(about.icon, about.buttons), std::tuple(Icon::Information, Buttons::Ok));
    for (const char* part : {SKYRELAY_VERSION, "Lizenz", SKYRELAY_README_PATH}) {
      EXPECT_TRUE(about.text.contains(QString::fromUtf8(part))) << part;
    }
    const ElidedLabel* port = win.portLabel();
    EXPECT_EQ(QStringList({port->fullText(), port->toolTip()}),
              QStringList({name, elided ? name : ""}));
    // Elided in the middle: the start and the end stay readable.
    EXPECT_TRUE(elided ? port->text().startsWith(name.left(12)) &&
                             port->text().endsWith(name.right(11)) &&
                             port->text().contains(QChar(0x2026))
                       : port->text() == name)
        << port->text().toStdString();
    // The package by its file name, the whole path as tooltip.
    EXPECT_EQ(QStringList({win.packageLabel()->text(), win.packageLabel()->toolTip()}),
              QStringList({"beispiel.tup", QString::fromStdString(package)}));

    win.resize(win.width() + port->fontMetrics().horizontalAdvance(name), win.height());
    Settle();
    EXPECT_EQ(QStringList({port->text(), port->toolTip()}), QStringList({name, ""}));
    const int middle = win.centralWidget()->width() / 2;
    EXPECT_NEAR(win.heading()->geometry().center().x(), middle, 2);
    const QWidget* button = win.updateButton();
    EXPECT_NEAR(button->mapTo(win.centralWidget(), button->rect().center()).x(), middle, 2);

    win.settingsAction()->trigger();
    Settle();
    const QLineEdit* text = win.interfaceDialog()->portText();
    EXPECT_EQ(QStringList({text->text(), text->toolTip()}), QStringList({name, name}));
    EXPECT_TRUE(elided || text->fontMetrics().horizontalAdvance(name) + 8 <= text->width());
  }
}

void Send(QWidget& dialog, QEvent::Type type) {
  QEvent event(type);
  QApplication::sendEvent(&dialog, &event);
}

// Opens the dialog through the menu and lets it become the active window.
InterfaceDialog& Open(AppWorld& w) {
  w.window->settingsAction()->trigger();
  Send(*w.window->interfaceDialog(), QEvent::WindowActivate);
  return *w.window->interfaceDialog();
}

// After a run that was killed with the station in its update mode, start-up
// tells when and on which port, names the backup's way back in the menu and
// asks: Yes releases the station on the note's port, naming its boot loader
// version, and removes the note; No leaves both. A damaged note is said to be.
TEST(StartUp, AnInterruptedRunOffersTheRelease) {
  for (const Answer answer : {Answer::Yes, Answer::No}) {
    SCOPED_TRACE(answer == Answer::Yes ? "Ja" : "Nein");
    AppWorld w;
    w.rescueFolder = w.Path("state");
    ASSERT_TRUE(WriteRescueNote(
        w.rescueFolder, RescueNote{"08.12.2026 01:23", "/dev/ttyUSB7", 3, 5, "/tmp/s.bin"}));
    w.yesNo = answer;
    w.Start(w.Package(), "1", "/dev/ttyS0");
    const bool released = answer == Answer::Yes;
    ASSERT_EQ(w.messages.size(), released ? 2u : 1u);
    const ShownMessage& question = w.messages[0];
    EXPECT_EQ(std::tuple(question.title, question.buttons),
              std::tuple(QStringLiteral("Unterbrochener Lauf"), Buttons::YesNo));
    for (const char* part :
         {"begonnen am 08.12.2026 01:23, Port /dev/ttyUSB7, Interface 3",
          "Die Sicherung /tmp/s.bin kann zurückgeschrieben werden: Datei → Sicherung "
          "zurückschreiben …",
          "Die Zentrale jetzt aus dem Update-Mode nehmen?"}) {
      EXPECT_TRUE(question.text.contains(QString::fromUtf8(part))) << part;
    }
    if (released) {
      EXPECT_EQ(w.messages[1].text,
                QStringLiteral("Die Zentrale ist aus dem Update-Mode genommen."));
    }
    EXPECT_EQ(w.sim.stationLog.finishRequests, released ? 1 : 0);
    EXPECT_EQ(w.sim.stationLog.finishedWithVersion, released ? 5 : -1);
    EXPECT_EQ(ReadRescueNote(w.rescueFolder).note.has_value(), !released);
    EXPECT_EQ(std::tuple(w.ctx().settings.InterfaceKind, w.ctx().settings.ComPortNumber),
              std::tuple(1, std::string("/dev/ttyS0")));
    EXPECT_FALSE(w.host->Port().IsOpen());
  }
  AppWorld w;
  w.rescueFolder = w.Path("state");
  w.files.Write("state/zentrale-im-update-mode", "kaputt");
  w.Start();
  ASSERT_EQ(w.messages.size(), 1u);
  EXPECT_EQ(w.messages[0].buttons, Buttons::Ok);
  EXPECT_TRUE(w.messages[0].text.contains(QStringLiteral("beschädigt")));
  EXPECT_EQ(w.sim.busMessages, 0);
}

// When the interrupted run had made its backup, the release is followed by
// the restore's own question; Yes writes the backup back byte for byte.
TEST(StartUp, AfterTheReleaseTheRunsBackupIsOffered) {
  AppWorld w;
  FlashImage backup;
  for (const FlashArea& area : CommandBackupAreas(false)) {
    std::vector<uint8_t>& bytes = backup[area.address];
    for (uint32_t i = 0; i < area.size; i++) bytes.push_back(static_cast<uint8_t>(i * 7 + 3));
  }
  const std::string path = w.Path("data/58400_v2.1_2026-12-08_012300.hex");
  w.files.Write("data/58400_v2.1_2026-12-08_012300.hex", WriteIntelHex(backup));
  w.rescueFolder = w.Path("state");
  ASSERT_TRUE(
      WriteRescueNote(w.rescueFolder, RescueNote{"08.12.2026 01:23", "/dev/ttyUSB7", 3, 5, path}));
  ASSERT_FALSE(FlashNow(w, backup) == backup);
  w.Start(w.Package(), "3", "1");
  ASSERT_EQ(w.messages.size(), 3u);
  EXPECT_EQ(w.messages[2].buttons, Buttons::YesNo);
  EXPECT_TRUE(w.messages[2].text.contains(QStringLiteral("58400"))) << "names the handheld";
  EXPECT_EQ(w.sim.stationLog.finishRequests, 1);
  EXPECT_TRUE(FlashNow(w, backup) == backup);
  EXPECT_FALSE(ReadRescueNote(w.rescueFolder).note.has_value());
}

// What start-up makes of the settings file; "Update" disabled, and nothing
// sent, where there is no package or no interface, the hint under it saying
// what is missing; the dialog shows the stored choice and "OK" takes over a
// new one, which "Update" follows; a choice not confirmed is refilled when the
// user comes back; "Abbrechen" changes nothing. The file dialog opens in the
// package's folder, or in the home folder when there is none.
TEST(StartUp, SettingsFileUpdateRefusedAndTheDialog) {
  const QString hint =
      QString::fromUtf8(" Bitte zuerst unter Datei → Einstellungen Interface und ComPort wählen.");
  struct Case {
    const char *kind, *port;  // in the settings file; nullptr: no file
    bool packageThere;
    int wantKind;
    const char* shownPort;
    QString missing;     // the hint under "Update"
    int checked, click;  // options of the dialog, -1: none
    const char* newPort;
    int newKind;
  };
  const QString noPackage = QString::fromUtf8("Keine Update-Datei gewählt (Datei → Update-Datei).");
  const QString packageGone =
      QString::fromUtf8("Die Update-Datei ist nicht geladen (Datei → Update-Datei).");
  for (const Case& c :
       {Case{nullptr, nullptr, false, 0, "", noPackage + "\nKein Interface gewählt." + hint, -1, 0,
             "COM3", 1},
        Case{" 3", " 2", false, 3, "2", packageGone, 2, -1, "5", 3},  // blanks, package gone
        Case{"2", "COM4", true, 2, "COM4", "Interface 71530 öffnet keinen Port." + hint, 1, -1, "7",
             2},
        Case{"0", "1", true, 0, "1", "Kein Interface gewählt." + hint, -1, 2, "1", 3},
        Case{"7", "5", true, 7, "5", "Kein Interface gewählt." + hint, -1, -1, "5", 7}}) {
    SCOPED_TRACE(c.shownPort);
    AppWorld w;
    const std::string package = c.packageThere ? w.Package() : w.Path("weg/paket.tup");
    c.kind ? w.Start(package, c.kind, c.port) : w.Start();
    const std::string stored = c.kind ? package : "";
    MainWin& win = *w.window;
    EXPECT_EQ(std::tuple(w.ctx().settings.UpdateFilePath, w.ctx().settings.InterfaceKind,
                         win.portLabel()->text(), win.radioVersionLabel()->text(),
                         std::filesystem::exists(w.SettingsPath()), w.messages.size()),
              std::tuple(stored, c.wantKind, QString(c.kind ? c.shownPort : "---"),
                         QString(c.packageThere ? "2,1" : "---"), c.kind != nullptr, size_t{0}));
    w.Click(win.updateButton());
    EXPECT_EQ(std::tuple(win.updateButton()->isEnabled(), win.hintLabel()->isVisible(),
                         win.hintLabel()->text(), w.messages.size()),
              std::tuple(false, true, c.missing, size_t{0}));
    EXPECT_EQ(std::tuple(w.sim.stationLog.enterRequests, w.host->virtualPort().bytesWritten,
                         w.host->Port().IsOpen()),
              std::tuple(0, 0L, false));

    InterfaceDialog& dialog = Open(w);
    EXPECT_TRUE(dialog.isVisible() && !dialog.isModal());
    EXPECT_EQ(dialog.windowTitle(), "Auswahl der Zentrale");
    EXPECT_EQ(dialog.option(1)->isHidden(), c.wantKind != 2);
    const auto shows = [&](int checked, const QString& port) {
      for (int i = 0; i < 3; i++) EXPECT_EQ(dialog.option(i)->isChecked(), i == checked) << i;
      EXPECT_EQ(dialog.portText()->text(), port);
    };
    shows(c.checked, c.shownPort);
    // On the option's button: its line under it makes the frame wider than its text.
    const auto choose = [](QWidget* option) {
      QTest::mouseClick(option, Qt::LeftButton, {},
                        QPoint(option->height() / 2, option->height() / 2));
    };
    if (c.click >= 0) choose(dialog.option(c.click));
    dialog.portText()->setText(c.newPort);
    const std::string confirmed =
        stored + "\r\n" + std::to_string(c.newKind) + "\r\n" + c.newPort + "\r\n";
    for (const bool ok : {true, false}) {
      w.Click(ok ? dialog.okButton() : dialog.cancelButton());
      EXPECT_EQ(
          std::tuple(dialog.isVisible(), w.ctx().settings.InterfaceKind,
                     w.ctx().settings.ComPortNumber, w.SettingsFile(), win.portLabel()->text()),
          std::tuple(false, c.newKind, c.newPort, confirmed, QString(c.newPort)));
      if (!ok) break;
      EXPECT_EQ(win.updateButton()->isEnabled(),
                c.packageThere && (c.newKind == 1 || c.newKind == 3));
      EXPECT_EQ(win.hintLabel()->isHidden(), win.updateButton()->isEnabled());
      Open(w);
      choose(dialog.option(2));
      dialog.portText()->setText("8");
      Send(dialog, QEvent::WindowDeactivate);
      Send(dialog, QEvent::WindowActivate);
      shows(c.newKind - 1, c.newPort);
      choose(dialog.option(2));
      dialog.portText()->setText("9");
    }
    win.updateFileAction()->trigger();
    EXPECT_EQ(w.fileDialogFolder,
              c.packageThere ? QString::fromStdString(w.Path("paket")) : QDir::homePath());
  }
}

}  // namespace
}  // namespace skyrelay::app::test
