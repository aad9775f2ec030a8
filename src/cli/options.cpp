#include "cli/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "core/brand.h"
#include "core/translate.h"
#include "qt/command_line.h"
#include "qt/language.h"
#include "sim/sim_options.h"

namespace skyrelay::cli {

std::string Usage() {
  // clang-format off
  return Tr("Cli",
    "Aufruf: skyrelay-update-cli [Optionen] update [DATEI.TUP]\n"
    "        skyrelay-update-cli [Optionen] check DATEI.TUP\n"
    "        skyrelay-update-cli [Optionen] ping [--no-wait]\n"
    "        skyrelay-update-cli [Optionen] info\n"
    "        skyrelay-update-cli [Optionen] release\n"
    "        skyrelay-update-cli ports\n"
    "        skyrelay-update-cli [Optionen] backup [--all] DATEI.hex\n"
    "        skyrelay-update-cli [Optionen] restore DATEI.hex\n"
    "\n"
    "Befehle:\n"
    "  update [DATEI.TUP]  Update wie mit der Schaltfläche \"Update\": Port öffnen, Update,\n"
    "                      Port schließen. Ohne Datei gilt die in den Einstellungen gemerkte.\n"
    "  check DATEI.TUP     Prüft das Update-Paket (Beschreibung, Firmware-, Sprach-, Weichen-\n"
    "                      und Zeichendateien), ohne einen Port zu benutzen.\n"
    "  ping [--no-wait]    Port-Test \"in\" (wartet auf die Antwort) oder \"out\" (--no-wait).\n"
    "  info                Liest die Kennung der Zentrale und Art und Version des Handreglers,\n"
    "                      ohne etwas zu schreiben und ohne Update-Mode der Zentrale.\n"
    "  release             Nimmt die Zentrale aus dem Update-Mode (nach einem unterbrochenen\n"
    "                      Lauf: am Port und Interface dieses Laufs, wenn --port und\n"
    "                      --interface fehlen).\n"
    "  ports               Listet die seriellen Ports mit Beschreibung, Hersteller und\n"
    "                      USB-Kennung, um das LocoNet-Interface zu erkennen.\n"
    "  backup [--all] DATEI.hex\n"
    "                      Liest Weichendaten und Einstellungsblock des Handreglers in eine\n"
    "                      Sicherung (Intel-HEX), ohne etwas zu schreiben; --all auch\n"
    "                      Sprachtexte und Zeichen.\n"
    "  restore DATEI.hex   Schreibt eine Sicherung Seite für Seite zurück (nach einer Frage).\n"
    "\n"
    "Optionen:\n"
    "  --port DEV          Serieller Port: /dev/ttyUSB0, ttyACM0 oder eine Nummer (1 = "
    "/dev/ttyS0)\n"
    "  --interface 1|2|3   1 Zentrale (seriell), 2 Interface 71530, 3 schnelle Interfaces\n"
    "  --settings FILE     Einstellungsdatei (Vorgabe: neben dem Programm oder ~/.config)\n"
    "  --save              --port/--interface (und die Datei) in die Einstellungen schreiben\n"
    "  --yes, --no         jede Frage mit Ja bzw. Nein beantworten; --yes sagt nicht Ja zu\n"
    "                      einem nicht erkannten Handregler oder einer schon installierten\n"
    "                      oder älteren Version\n"
    "  --force             wie --yes, und auch zu diesen Fragen Ja\n"
    "  --trace FILE        jede LocoNet-Nachricht protokollieren\n"
    "  --no-backup         update: vor der Konfiguration keine Sicherung anlegen (sonst in\n"
    "                      $XDG_DATA_HOME/skyrelay-update bzw. ~/.local/share/skyrelay-update)\n"
    "  --json              für Skripte: je Zeile ein JSON-Objekt auf der Standardausgabe,\n"
    "                      die Texte weiter auf der Fehlerausgabe\n"
    "  --language de|en    Sprache der Texte (Vorgabe: nach LC_ALL, LC_MESSAGES, LANG)\n"
    "  --simulate          gegen das eingebaute simulierte LocoNet (virtuelle Zeit)\n"
    "  --sim-OPTION WERT   Einstellungen der Simulation (siehe unten)\n"
    "  --help, --version\n"
    "\n"
    "Rückgabewert: 0 Erfolg, 1 Fehler, 2 falscher Aufruf, 128 + Signal nach einem Abbruch\n"
    "(130 Strg-C, 143 SIGTERM).\n");
  // clang-format on
}

namespace {
std::string gWrongUsage;
}  // namespace

const std::string& WrongUsageText() {
  return gWrongUsage;
}

int WrongUsage(const std::string& what) {
  gWrongUsage = Fill(Tr("Cli", "%1 (siehe skyrelay-update-cli --help)"), {what});
  std::fprintf(stderr, "skyrelay-update-cli: %s\n", gWrongUsage.c_str());
  return 2;
}

namespace {

// The arguments are bytes: Latin-1 makes each byte one character and back, so
// a file name that is not UTF-8 comes through unchanged.
std::string Bytes(const QString& text) {
  return text.toLatin1().toStdString();
}

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The program's options (its help is Usage()) and the simulation's knobs as
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
      QCommandLineOption(QStringLiteral("force")),
      QCommandLineOption(QStringLiteral("trace"), QString(), QStringLiteral("FILE")),
      QCommandLineOption(QStringLiteral("language"), QString(), QStringLiteral("de|en")),
      QCommandLineOption(QStringLiteral("simulate")),
      QCommandLineOption(QStringLiteral("no-wait")),
      QCommandLineOption(QStringLiteral("no-backup")),
      QCommandLineOption(QStringLiteral("all")),
      QCommandLineOption(QStringLiteral("json")),
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
  // Known before anything can be wrong: a wrong command line has its report too.
  o.json = parser.isSet(QStringLiteral("json"));

  QHash<QString, qsizetype> seen;
  for (const QString& name : parser.optionNames()) {
    const QString value = parser.values(name).value(seen[name]++);
    if (name == QLatin1String("h") || name == QLatin1String("help")) {
      std::printf("%s\nSimulation:\n%s", Usage().c_str(), sim::SimOptionsHelp("--sim-").c_str());
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
        return WrongUsage(Tr("Cli", "--interface nimmt 1, 2 oder 3"));
      }
      o.interfaceKind = value.toInt();
    } else if (name == QLatin1String("language")) {
      // main has chosen the language already.
      if (!LanguageNamed(Bytes(value))) return WrongUsage(Tr("Cli", "--language nimmt de oder en"));
    } else if (name.startsWith(QLatin1String("sim-"))) {
      o.simOptions.emplace_back(Bytes(name.mid(4)), Bytes(value));
    }
  }
  if (const std::optional<UnreadArgument>& unread = parts.unread) {
    const std::string text = Bytes(unread->text);
    return WrongUsage(Fill(unread->missingValue ? Tr("Cli", "%1 braucht einen Wert")
                                                : Tr("Cli", "unbekannte Option %1"),
                           {text}));
  }
  // Who answers the questions: one of them at most.
  const bool yes = parser.isSet(QStringLiteral("yes"));
  const bool no = parser.isSet(QStringLiteral("no"));
  const bool force = parser.isSet(QStringLiteral("force"));
  if (no && (yes || force)) {
    return WrongUsage(
        Fill(Tr("Cli", "%1 und --no schließen einander aus"), {yes ? "--yes" : "--force"}));
  }
  o.answers = force ? AnswerPolicy::Force
              : yes ? AnswerPolicy::Yes
              : no  ? AnswerPolicy::No
                    : AnswerPolicy::Ask;
  if (parser.isSet(QStringLiteral("port"))) o.port = Bytes(parser.value(QStringLiteral("port")));
  o.settingsPath = Bytes(parser.value(QStringLiteral("settings")));
  o.tracePath = Bytes(parser.value(QStringLiteral("trace")));
  o.save = parser.isSet(QStringLiteral("save"));
  o.simulate = parser.isSet(QStringLiteral("simulate"));
  o.noWait = parser.isSet(QStringLiteral("no-wait"));
  o.noBackup = parser.isSet(QStringLiteral("no-backup"));
  o.all = parser.isSet(QStringLiteral("all"));
  for (const QString& word : parts.words) {
    if (o.command.empty()) {
      o.command = Bytes(word);
    } else {
      o.arguments.push_back(Bytes(word));
    }
  }

  if (o.command.empty()) return WrongUsage(Tr("Cli", "kein Befehl angegeben"));
  if (o.command != "update" && o.command != "check" && o.command != "ping" && o.command != "info" &&
      o.command != "ports" && o.command != "release" && o.command != "backup" &&
      o.command != "restore") {
    return WrongUsage(Fill(Tr("Cli", "unbekannter Befehl %1"), {o.command}));
  }
  if (o.command == "check" && o.arguments.empty()) {
    return WrongUsage(Tr("Cli", "check braucht DATEI.TUP"));
  }
  if ((o.command == "backup" || o.command == "restore") && o.arguments.empty()) {
    return WrongUsage(Fill(Tr("Cli", "%1 braucht DATEI.hex"), {o.command}));
  }
  const size_t allowed = o.command == "check" || o.command == "update" || o.command == "backup" ||
                                 o.command == "restore"
                             ? 1
                             : 0;
  if (o.arguments.size() > allowed) {
    return WrongUsage(
        Fill(Tr("Cli", "überzähliges Argument %1 für %2"), {o.arguments[allowed], o.command}));
  }
  if (o.noWait && o.command != "ping") return WrongUsage(Tr("Cli", "--no-wait gilt nur für ping"));
  if (o.all && o.command != "backup") return WrongUsage(Tr("Cli", "--all gilt nur für backup"));
  if (o.noBackup && o.command != "update") {
    return WrongUsage(Tr("Cli", "--no-backup gilt nur für update"));
  }
  return std::nullopt;
}

}  // namespace skyrelay::cli
