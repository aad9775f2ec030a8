// skyrelay-update: the desktop program.
#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>
#include <QTranslator>
#include <csignal>
#include <cstdio>

#include "app/app_text.h"
#include "app/interface_dialog.h"
#include "app/main_win.h"
#include "app/program_end.h"
#include "app/start_up.h"
#include "core/process.h"
#include "core/translate.h"
#include "qt/command_line.h"
#include "qt/language.h"
#include "run/rescue_note.h"

namespace {

std::string Usage() {
  // clang-format off
  return skyrelay::Tr("App",
    "Aufruf: skyrelay-update [Optionen]\n"
    "\n"
    "Das Update-Programm mit Fenster: Update-Datei wählen (Datei → Update-Datei),\n"
    "Interface und Port einstellen (Datei → Einstellungen) und \"Update\" klicken.\n"
    "\n"
    "Optionen:\n"
    "  --settings FILE     Einstellungsdatei (Vorgabe: neben dem Programm oder ~/.config)\n"
    "  --language de|en    Sprache der Texte (Vorgabe: die im Menü gewählte, sonst nach\n"
    "                      LC_ALL, LC_MESSAGES, LANG)\n"
    "  --screenshot FILE   Bild des Hauptfensters als PNG speichern und beenden\n"
    "  --screenshot-settings FILE\n"
    "                      dazu ein Bild des Einstellungsdialogs\n"
    "  --help, --version\n"
    "\n"
    "Dazu die Optionen von Qt, z. B. -platform offscreen.\n");
  // clang-format on
}

// The program's options; its help is Usage().
QList<QCommandLineOption> KnownOptions() {
  return {
      QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
      QCommandLineOption(QStringLiteral("version")),
      QCommandLineOption(QStringLiteral("settings"), QString(), QStringLiteral("FILE")),
      QCommandLineOption(QStringLiteral("language"), QString(), QStringLiteral("de|en")),
      QCommandLineOption(QStringLiteral("screenshot"), QString(), QStringLiteral("FILE")),
      QCommandLineOption(QStringLiteral("screenshot-settings"), QString(), QStringLiteral("FILE")),
  };
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything is opened: no port may become standard input or output.
  skyrelay::MakeStandardDescriptorsValid();
  // A write to a pipe or terminal that has gone away (Qt writes its warnings to
  // stderr) fails instead of ending the program before it has released the
  // station.
  std::signal(SIGPIPE, SIG_IGN);

  // Answered before Qt starts, so that they work without a display; Qt's own
  // options are unknown to the parser here and change nothing.
  const QList<QCommandLineOption> options = KnownOptions();
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addOptions(options);
  QStringList rawArguments;
  for (int i = 0; i < argc; i++) rawArguments.append(QString::fromLocal8Bit(argv[i]));
  parser.parse(rawArguments);
  // --language, else the language chosen in the menu, else the locale's. The
  // texts of the help and of Qt's own dialogs follow it.
  const std::optional<std::string_view> named = skyrelay::LanguageArgument(argc, argv);
  const std::optional<skyrelay::Language> chosen =
      named ? skyrelay::LanguageNamed(*named) : skyrelay::app::RememberedLanguage();
  const skyrelay::Language language = chosen.value_or(skyrelay::LocaleLanguage());
  skyrelay::Translations translations;
  translations.Install(language);
  if (named && !chosen) {
    std::fprintf(stderr, "skyrelay-update: %s\n%s",
                 skyrelay::Tr("App", "--language nimmt de oder en").c_str(), Usage().c_str());
    return 2;
  }
  for (const QString& name : parser.optionNames()) {
    if (name == QLatin1String("h") || name == QLatin1String("help")) {
      std::printf("%s", Usage().c_str());
      return 0;
    }
    if (name == QLatin1String("version")) {
      std::printf("skyrelay-update %s (%s)\n", SKYRELAY_VERSION, SKYRELAY_BRAND_CODE);
      return 0;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("skyrelay-update"));
  QApplication::setApplicationVersion(QStringLiteral(SKYRELAY_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("skyrelay-update"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/skyrelay-update.svg")));

  // Now into the application too, for Qt's own texts.
  translations.Install(language);

  // QApplication has taken its own options out of the arguments.
  const skyrelay::CommandLineParts parts =
      skyrelay::SplitCommandLine(QApplication::arguments(), options, false);
  if (parts.unread) {
    std::fprintf(stderr, "skyrelay-update: %s\n%s",
                 skyrelay::Fill(skyrelay::Tr("App", "unbekanntes Argument %1"),
                                {parts.unread->text.toStdString()})
                     .c_str(),
                 Usage().c_str());
    return 2;
  }
  parser.parse(parts.options);
  skyrelay::app::StartUpOptions startUp;
  startUp.settingsPath = parser.value(QStringLiteral("settings")).toStdString();
  // Renders the main window into a PNG file after start-up and ends.
  const QString screenshot = parser.value(QStringLiteral("screenshot"));
  const QString settingsShot = parser.value(QStringLiteral("screenshot-settings"));
  // A picture is taken without asking anything.
  if (screenshot.isEmpty()) startUp.rescueFolder = skyrelay::DefaultRescueFolder();

  skyrelay::app::MainWin window;
  window.SetLanguage(language);
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
  skyrelay::app::StartUp(window, startUp);

  if (!screenshot.isEmpty()) {
    QTimer::singleShot(300, &window, [&window, screenshot, settingsShot] {
      bool saved = window.grab().save(screenshot, "PNG");
      if (saved && !settingsShot.isEmpty()) {
        window.ShowSettingsDialog();
        QCoreApplication::processEvents();
        saved = window.interfaceDialog()->grab().save(settingsShot, "PNG");
      }
      if (!saved) {
        std::fprintf(stderr, "skyrelay-update: %s\n",
                     skyrelay::Tr("App", "Bild kann nicht geschrieben werden").c_str());
      }
      QCoreApplication::exit(saved ? 0 : 1);
    });
  }
  const int status = QApplication::exec();
  return window.endedBySignal() ? 1 : status;
}
