#include "cli/options.h"

#include <cstdio>

#include "core/brand.h"
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

std::optional<int> ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "skyrelay-update-cli: %s braucht einen Wert\n", a.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      std::printf("%s\nSimulation:\n%s", kUsage, sim::SimOptionsHelp("--sim-").c_str());
      return 0;
    } else if (a == "--version") {
      std::printf("skyrelay-update-cli %s (%s)\n", SKYRELAY_VERSION,
                  std::string(CurrentBrand().BrandCode).c_str());
      return 0;
    } else if (a == "--port") {
      if (!value(v)) return 2;
      o.port = v;
    } else if (a == "--interface") {
      if (!value(v)) return 2;
      if (v != "1" && v != "2" && v != "3") {
        std::fprintf(stderr, "skyrelay-update-cli: --interface nimmt 1, 2 oder 3\n");
        return 2;
      }
      o.interfaceKind = std::stoi(v);
    } else if (a == "--settings") {
      if (!value(o.settingsPath)) return 2;
    } else if (a == "--trace") {
      if (!value(o.tracePath)) return 2;
    } else if (a == "--save") {
      o.save = true;
    } else if (a == "--yes") {
      o.answer = true;
    } else if (a == "--no") {
      o.answer = false;
    } else if (a == "--simulate") {
      o.simulate = true;
    } else if (a == "--no-wait") {
      o.noWait = true;
    } else if (a.rfind("--sim-", 0) == 0) {
      const std::string name = a.substr(6);
      if (sim::SimOptionTakesValue(name)) {
        if (!value(v)) return 2;
      } else {
        v.clear();
      }
      o.simOptions.emplace_back(name, v);
    } else if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "skyrelay-update-cli: unbekannte Option %s\n%s", a.c_str(), kUsage);
      return 2;
    } else if (o.command.empty()) {
      o.command = a;
    } else {
      o.arguments.push_back(a);
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
