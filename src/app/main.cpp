// skyrelay-update: the desktop program.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstring>

#include "app/main_win.h"
#include "app/start_up.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("skyrelay-update"));
  QApplication::setApplicationVersion(QStringLiteral(SKYRELAY_VERSION));

  // The standard buttons ("Ja", "Nein", "Abbrechen") in the desktop's language.
  QTranslator qtTranslations;
  if (qtTranslations.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslations);
  }

  skyrelay::app::StartUpOptions options;
  QString screenshot;
  const QStringList arguments = QApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); i++) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--settings") && i + 1 < arguments.size()) {
      options.settingsPath = arguments[++i].toStdString();
    } else if (a == QLatin1String("--screenshot") && i + 1 < arguments.size()) {
      // Renders the main window into a PNG file after start-up and ends.
      screenshot = arguments[++i];
    } else if (a == QLatin1String("--version")) {
      std::printf("skyrelay-update %s (%s)\n", SKYRELAY_VERSION, SKYRELAY_BRAND_CODE);
      return 0;
    } else {
      std::fprintf(stderr, "skyrelay-update: unbekanntes Argument %s\n", qPrintable(a));
      return 2;
    }
  }

  skyrelay::app::MainWin window;
  skyrelay::app::StartUp(window, options);

  if (!screenshot.isEmpty()) {
    QTimer::singleShot(300, &window, [&window, screenshot] {
      const bool saved = window.grab().save(screenshot, "PNG");
      if (!saved)
        std::fprintf(stderr, "skyrelay-update: %s kann nicht geschrieben werden\n",
                     qPrintable(screenshot));
      QCoreApplication::exit(saved ? 0 : 1);
    });
  }
  return QApplication::exec();
}
