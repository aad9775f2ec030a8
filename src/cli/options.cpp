#include "cli/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "core/brand.h"
#include "qt/command_line.h"
#include "sim/sim_options.h"

namespace skyrelay::cli {

const char kUsage[] =
    "Aufruf: skyrelay-update-cli [Optionen] update [DATEI.TUP]\n"
    "        skyrelay-update-cli [Optionen] check DATEI.TUP\n"
    "        skyrelay-update-cli [Optionen] ping [--no-wait]\n"
    "        skyrelay-update-cli ports\n"
    "\n"
    "Befehle:\n"
    "  update [DATEI.TUP]  Update wie mit der Schaltfläche \"Update\": Port öffnen, Update,\n"
    "                      Port schließen. Ohne Datei gilt die in den Einstellungen gemerkte.\n"
    "  check DATEI.TUP     Prüft das Update-Paket (Beschreibung, Firmware-, Sprach-, Weichen-\n"
    "                      und Zeichendateien), ohne einen Port zu benutzen.\n"
    "  ping [--no-wait]    Port-Test \"in\" (wartet auf die Antwort) oder \"out\" (--no-wait).\n"
    "  ports               Listet die seriellen Ports mit Beschreibung, Hersteller und\n"
    "                      USB-Kennung, um das LocoNet-Interface zu erkennen.\n"
    "\n"
    "Optionen:\n"
    "  --port DEV          Serieller Port: /dev/ttyUSB0, ttyACM0 oder eine Nummer (1 = "
    "/dev/ttyS0)\n"
    "  --interface 1|2|3   1 Zentrale (seriell), 2 Interface 71530, 3 schnelle Interfaces\n"
    "  --settings FILE     Einstellungsdatei (Vorgabe: neben dem Programm oder ~/.config)\n"
    "  --save              --port/--interface (und die Datei) in die Einstellungen schreiben\n"
    "  --yes, --no         jede Frage mit Ja bzw. Nein beantworten\n"
    "  --trace FILE        jede LocoNet-Nachricht protokollieren\n"
    "  --simulate          gegen das eingebaute simulierte LocoNet (virtuelle Zeit)\n"
    "  --sim-OPTION WERT   Einstellungen der Simulation (siehe unten)\n"
    "  --help, --version\n";

namespace {

// The arguments are bytes: Latin-1 makes each byte one character and back, so
// a file name that is not UTF-8 comes through unchanged.
std::string Bytes(const QString& text) {
  return text.toLatin1().toStdString();
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The program's options (its help is kUsage) and the simulation's knobs as
// "sim-NAME". Any other "--sim-NAME" of `arguments` is read as a switch too:
// the simulation refuses it when it starts, and a run without it ignores it.
QList<QCommandLineOption> KnownOptions(const QStringList& arguments) {
  QList<QCommandLineOption> options = {
      QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
      QCommandLineOption(QStringLiteral("version")),
      QCommandLineOption(QStringLiteral("port"), QString(), QStringLiteral("DEV")),
      QCommandLineOption(QStringLiteral("interface"), QString(), QStringLiteral("1|2|3")),
      QCommandLineOption(QStringLiteral("settings"), QString(), QStringLiteral("FILE")),
      QCommandLineOption(QStringLiteral("save")),
      QCommandLineOption(QStringLiteral("yes")),
      QCommandLineOption(QStringLiteral("no")),
      QCommandLineOption(QStringLiteral("trace"), QString(), QStringLiteral("FILE")),
      QCommandLineOption(QStringLiteral("simulate")),
      QCommandLineOption(QStringLiteral("no-wait")),
  };
  for (const sim::SimOption& knob : sim::SimOptions()) {
    options.append(QCommandLineOption(QStringLiteral("sim-") + FromUtf8(knob.name),
                                      FromUtf8(knob.help), FromUtf8(knob.value)));
  }
  for (const QString& argument : arguments) {
    const QString name = argument.mid(2);
    const bool listed = std::any_of(options.begin(), options.end(), [&](const auto& option) {
      return option.names().contains(name);
    });
    if (argument.startsWith(QLatin1String("--sim-")) && !name.contains(QLatin1Char('=')) &&
        !listed) {
      options.append(QCommandLineOption(name));
    }
  }
  return options;
}

}  // namespace

std::optional<int> ParseOptions(int argc, char** argv, Options& o) {
  QStringList arguments;
  for (int i = 0; i < argc; i++) arguments.append(QString::fromLatin1(argv[i]));
  const QList<QCommandLineOption> options = KnownOptions(arguments);
  const CommandLineParts parts = SplitCommandLine(arguments, options, true);
  QCommandLineParser parser;
  parser.addOptions(options);
  // The options before a wrong argument may end the program first (--help,
  // --version, a wrong --interface).
  parser.parse(parts.options);

  QHash<QString, qsizetype> seen;
  for (const QString& name : parser.optionNames()) {
    const QString value = parser.values(name).value(seen[name]++);
    if (name == QLatin1String("h") || name == QLatin1String("help")) {
      std::printf("%s\nSimulation:\n%s", kUsage, sim::SimOptionsHelp("--sim-").c_str());
      return 0;
    }
    if (name == QLatin1String("version")) {
      std::printf("skyrelay-update-cli %s (%s)\n", SKYRELAY_VERSION,
                  std::string(CurrentBrand().BrandCode).c_str());
      return 0;
    }
    if (name == QLatin1String("interface")) {
      if (value != QLatin1String("1") && value != QLatin1String("2") &&
          value != QLatin1String("3")) {
        std::fprintf(stderr, "skyrelay-update-cli: --interface nimmt 1, 2 oder 3\n");
        return 2;
      }
      o.interfaceKind = value.toInt();
    } else if (name == QLatin1String("yes") || name == QLatin1String("no")) {
      o.answer = name == QLatin1String("yes");
    } else if (name.startsWith(QLatin1String("sim-"))) {
      o.simOptions.emplace_back(Bytes(name.mid(4)), Bytes(value));
    }
  }
  if (const std::optional<UnreadArgument>& unread = parts.unread) {
    if (unread->missingValue) {
      std::fprintf(stderr, "skyrelay-update-cli: %s braucht einen Wert\n",
                   Bytes(unread->text).c_str());
    } else {
      std::fprintf(stderr, "skyrelay-update-cli: unbekannte Option %s\n%s",
                   Bytes(unread->text).c_str(), kUsage);
    }
    return 2;
  }
  if (parser.isSet(QStringLiteral("port"))) o.port = Bytes(parser.value(QStringLiteral("port")));
  o.settingsPath = Bytes(parser.value(QStringLiteral("settings")));
  o.tracePath = Bytes(parser.value(QStringLiteral("trace")));
  o.save = parser.isSet(QStringLiteral("save"));
  o.simulate = parser.isSet(QStringLiteral("simulate"));
  o.noWait = parser.isSet(QStringLiteral("no-wait"));
  for (const QString& word : parts.words) {
    if (o.command.empty()) {
      o.command = Bytes(word);
    } else {
      o.arguments.push_back(Bytes(word));
    }
  }

  if (o.command != "update" && o.command != "check" && o.command != "ping" &&
      o.command != "ports") {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if ((o.command == "check" && o.arguments.size() != 1) ||
      (o.command == "update" && o.arguments.size() > 1) ||
      (o.command == "ping" && !o.arguments.empty()) || (o.noWait && o.command != "ping") ||
      (o.command == "ports" && !o.arguments.empty())) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  return std::nullopt;
}

}  // namespace skyrelay::cli
