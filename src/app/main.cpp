// skyrelay-update: the desktop program.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/main_win.h"
#include "app/program_end.h"
#include "app/start_up.h"
#include "app/zentrale_form.h"
#include "core/process.h"

namespace {

constexpr const char* kUsage =
    "Aufruf: skyrelay-update [Optionen]\n"
    "\n"
    "Das Update-Programm mit Fenster: Update-Datei wählen (Datei → Update-Datei),\n"
    "Interface und Port einstellen (Datei → Einstellungen) und \"Update\" klicken.\n"
    "\n"
    "Optionen:\n"
    "  --settings FILE     Einstellungsdatei (Vorgabe: neben dem Programm oder ~/.config)\n"
    "  --screenshot FILE   Bild des Hauptfensters als PNG speichern und beenden\n"
    "  --screenshot-settings FILE\n"
    "                      dazu ein Bild des Einstellungsdialogs\n"
    "  --help, --version\n"
    "\n"
    "Dazu die Optionen von Qt, z. B. -platform offscreen.\n";

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: no port may become standard input or output.
  skyrelay::MakeStandardDescriptorsValid();
  // A write to a pipe or terminal that has gone away (Qt writes its warnings to
  // stderr) fails instead of ending the program before it has released the
  // station.
  std::signal(SIGPIPE, SIG_IGN);

  // Answered before Qt starts, so that they work without a display.
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("%s", kUsage);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("skyrelay-update %s (%s)\n", SKYRELAY_VERSION, SKYRELAY_BRAND_CODE);
      return 0;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("skyrelay-update"));
  QApplication::setApplicationVersion(QStringLiteral(SKYRELAY_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("skyrelay-update"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/skyrelay-update.svg")));

  // The standard buttons ("Ja", "Nein", "Abbrechen") in the desktop's language.
  QTranslator qtTranslations;
  if (qtTranslations.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslations);
  }

  skyrelay::app::StartUpOptions options;
  QString screenshot;
  QString settingsShot;
  const QStringList arguments = QApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); i++) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--settings") && i + 1 < arguments.size()) {
      options.settingsPath = arguments[++i].toStdString();
    } else if (a == QLatin1String("--screenshot") && i + 1 < arguments.size()) {
      // Renders the main window into a PNG file after start-up and ends.
      screenshot = arguments[++i];
    } else if (a == QLatin1String("--screenshot-settings") && i + 1 < arguments.size()) {
      settingsShot = arguments[++i];
    } else {
      std::fprintf(stderr, "skyrelay-update: unbekanntes Argument %s\n%s", qPrintable(a), kUsage);
      return 2;
    }
  }

  skyrelay::app::MainWin window;
  // SIGINT, SIGTERM and SIGHUP end the program as closing the window does,
  // without asking; the program then exits with status 1.
  skyrelay::app::QuitSignals quitSignals;
  skyrelay::app::EndOnSignals(quitSignals, window);
  QObject::connect(
      &window, &skyrelay::app::MainWin::closedBySignal, &app, [] { QCoreApplication::exit(1); },
      Qt::QueuedConnection);
  // Qt ends the program with exit(1) when the display connection breaks; a
  // station in its update mode is released first.
  skyrelay::app::ReleaseStationAtExit(&window);
  struct NoReleaseAfterMain {
    ~NoReleaseAfterMain() { skyrelay::app::ReleaseStationAtExit(nullptr); }
  } noReleaseAfterMain;
  skyrelay::app::StartUp(window, options);

  if (!screenshot.isEmpty()) {
    QTimer::singleShot(300, &window, [&window, screenshot, settingsShot] {
      bool saved = window.grab().save(screenshot, "PNG");
      if (saved && !settingsShot.isEmpty()) {
        window.ShowSettingsDialog();
        QCoreApplication::processEvents();
        saved = window.zentraleForm()->grab().save(settingsShot, "PNG");
      }
      if (!saved) std::fprintf(stderr, "skyrelay-update: Bild kann nicht geschrieben werden\n");
      QCoreApplication::exit(saved ? 0 : 1);
    });
  }
  const int status = QApplication::exec();
  return window.endedBySignal() ? 1 : status;
}
