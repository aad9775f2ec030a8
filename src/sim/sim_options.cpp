#include "sim/sim_options.h"

#include <cstdlib>

#include "core/translate.h"

namespace skyrelay::sim {

namespace {

constexpr SimOption kOptions[] = {
    {"article", "N",
     SKYRELAY_TR_NOOP("Sim", "Artikelnummer des Handreglers (58400, 58401, 58402)")},
    {"version", "MAJOR.MINOR",
     SKYRELAY_TR_NOOP("Sim", "installierte Firmware-Version (Vorgabe 1.0)")},
    {"texts", "FREI|ROT|NONE",
     SKYRELAY_TR_NOOP("Sim", "Texte 51/52: FREI/BELEGT, ROT/GRÜN oder keine")},
    {"loco", "N", SKYRELAY_TR_NOOP("Sim", "Lokadresse im Einstellungsblock (Vorgabe 3)")},
    {"restart", SKYRELAY_TR_NOOP("Sim", "SEKUNDEN"),
     SKYRELAY_TR_NOOP("Sim", "Zeit bis zum Neustart nach dem Laden (Vorgabe 5)")},
    {"never-restart", "",
     SKYRELAY_TR_NOOP("Sim", "der Handregler startet nach dem Laden nicht neu")},
    {"wrong-loco", "", SKYRELAY_TR_NOOP("Sim", "meldet nach dem Neustart eine falsche Lok an")},
    {"wrong-version", "", SKYRELAY_TR_NOOP("Sim", "meldet nach dem Neustart eine falsche Version")},
    {"silent-handheld", "", SKYRELAY_TR_NOOP("Sim", "kein Handregler am LocoNet")},
    {"station-id", "N|NONE",
     SKYRELAY_TR_NOOP("Sim", "Kennnummer der Zentrale (zehn Ziffern) oder keine Antwort")},
    {"boot-loader-version", "N", SKYRELAY_TR_NOOP("Sim", "Boot-Loader-Version der Zentrale")},
    {"silent-station", "", SKYRELAY_TR_NOOP("Sim", "keine Zentrale am LocoNet")},
    {"release-delay", SKYRELAY_TR_NOOP("Sim", "SEKUNDEN"),
     SKYRELAY_TR_NOOP("Sim", "die Zentrale bestätigt die Freigabe so viel später (Vorgabe 0)")},
    {"drop-echoes", "N", SKYRELAY_TR_NOOP("Sim", "die nächsten N Nachrichten des PCs ohne Echo")},
    {"drop-answers", "N", SKYRELAY_TR_NOOP("Sim", "die nächsten N Antworten gehen verloren")},
    {"drop-after", "M",
     SKYRELAY_TR_NOOP("Sim", "die verlorenen Antworten beginnen nach M Antworten")},
    {"corrupt-readbacks", "N",
     SKYRELAY_TR_NOOP("Sim", "die nächsten N gelesenen Blöcke mit einem falschen Byte")},
    {"corrupt-page", SKYRELAY_TR_NOOP("Sim", "ADRESSE:N"),
     SKYRELAY_TR_NOOP("Sim", "die Seite wird N-mal falsch programmiert (z.B. 0x300200:2)")},
    {"noise", "", SKYRELAY_TR_NOOP("Sim", "Störbytes zwischen den Nachrichten")},
    {"flood", "N",
     SKYRELAY_TR_NOOP("Sim", "N fremde Nachrichten auf einmal vor der nächsten Antwort")},
    {"damage-answers", "N",
     SKYRELAY_TR_NOOP("Sim",
                      "die nächsten N Antworten mit einem gekippten Bit (Prüfsumme falsch)")},
    {"damage-every", "K",
     SKYRELAY_TR_NOOP("Sim", "jede K-te Antwort mit einem gekippten Bit (Prüfsumme falsch)")},
    {"damage-offset", "N",
     SKYRELAY_TR_NOOP("Sim", "verschiebt, welche Antworten jede K-te sind (Vorgabe 0)")},
    {"traffic", "MS",
     SKYRELAY_TR_NOOP("Sim",
                      "andere Geräte senden alle MS Millisekunden (Peer, Melder, Fahrstufe)")},
    {"vanish-after", "N",
     SKYRELAY_TR_NOOP("Sim", "das Interface verschwindet mit der N-ten Nachricht des PCs")},
};

bool ToLong(const std::string& text, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtoll(text.c_str(), &end, 0);
  return end && *end == '\0';
}

}  // namespace

std::span<const SimOption> SimOptions() {
  return kOptions;
}

const SimOption* FindSimOption(std::string_view name) {
  for (const SimOption& o : kOptions) {
    if (name == o.name) return &o;
  }
  return nullptr;
}

std::string SimOptionsHelp(const std::string& prefix) {
  std::string out;
  for (const SimOption& o : kOptions) {
    std::string left = "  " + prefix + std::string(o.name);
    if (o.TakesValue()) left += " " + Tr("Sim", std::string(o.value).c_str());
    if (left.size() < 34) left.resize(34, ' ');
    out += left + " " + Tr("Sim", std::string(o.help).c_str()) + "\n";
  }
  return out;
}

bool ApplySimOption(SimLoNet& sim, const std::string& name, const std::string& value,
                    std::string& error) {
  if (!FindSimOption(name)) {
    error = Tr("Sim", "unbekannte Option");
    return false;
  }
  long long n = 0;
  const bool numeric = ToLong(value, n);
  auto needNumber = [&](long long min, long long max) {
    if (!numeric || n < min || n > max) {
      error = Fill(Tr("Sim", "ungültiger Wert \"%1\""), {value});
      return false;
    }
    return true;
  };
  double seconds = 0;
  auto needSeconds = [&](double max) {
    char* end = nullptr;
    seconds = std::strtod(value.c_str(), &end);
    if (value.empty() || !end || *end != '\0' || seconds < 0 || seconds > max) {
      error = Fill(Tr("Sim", "ungültige Zeit \"%1\""), {value});
      return false;
    }
    return true;
  };
  HandheldConfig& h = sim.handheld;
  if (name == "article") {
    if (!needNumber(10000, 99999)) return false;
    h.articleNumber = static_cast<int>(n);
  } else if (name == "version") {
    const size_t dot = value.find('.');
    long long major = 0, minor = 0;
    if (dot == std::string::npos || !ToLong(value.substr(0, dot), major) ||
        !ToLong(value.substr(dot + 1), minor) || major < 0 || major > 255 || minor < 0 ||
        minor > 255) {
      error = Fill(Tr("Sim", "ungültige Version \"%1\""), {value});
      return false;
    }
    h.version[0] = static_cast<uint8_t>(major);
    h.version[1] = static_cast<uint8_t>(minor);
  } else if (name == "texts") {
    if (value == "FREI" || value == "frei") {
      h.text51 = "FREI";
      h.text52 = "BELEGT";
    } else if (value == "ROT" || value == "rot") {
      h.text51 = "ROT";
      h.text52 = "GRÜN";
    } else if (value == "NONE" || value == "none") {
      h.text51.clear();
      h.text52.clear();
    } else {
      error = Tr("Sim", "erwartet FREI, ROT oder NONE");
      return false;
    }
  } else if (name == "loco") {
    if (!needNumber(0, 16383)) return false;
    h.locoAddress = static_cast<uint16_t>(n);
  } else if (name == "restart") {
    if (!needSeconds(3600)) return false;
    h.restartTime = seconds;
  } else if (name == "never-restart") {
    h.neverRestart = true;
  } else if (name == "wrong-loco") {
    h.requestWrongLoco = true;
  } else if (name == "wrong-version") {
    h.reportWrongVersion = true;
  } else if (name == "silent-handheld") {
    h.present = false;
  } else if (name == "station-id") {
    if (value == "NONE" || value == "none") {
      sim.station.idNumber = -1;
    } else {
      if (!needNumber(0, 9999999999LL)) return false;
      sim.station.idNumber = n;
    }
  } else if (name == "boot-loader-version") {
    if (!needNumber(0, 127)) return false;
    sim.station.bootLoaderVersion = static_cast<int>(n);
  } else if (name == "silent-station") {
    sim.station.present = false;
  } else if (name == "release-delay") {
    if (!needSeconds(60)) return false;
    sim.station.releaseDelay = seconds;
  } else if (name == "drop-echoes") {
    if (!needNumber(0, 1000000)) return false;
    sim.faults.dropEchoes = static_cast<int>(n);
  } else if (name == "drop-answers") {
    if (!needNumber(0, 1000000)) return false;
    sim.faults.dropAnswers = static_cast<int>(n);
  } else if (name == "drop-after") {
    if (!needNumber(0, 100000000)) return false;
    sim.faults.dropAfter = static_cast<long>(n);
  } else if (name == "corrupt-readbacks") {
    if (!needNumber(0, 1000000)) return false;
    sim.faults.corruptReadbacks = static_cast<int>(n);
  } else if (name == "corrupt-page") {
    const size_t colon = value.find(':');
    long long address = 0, count = 0;
    if (colon == std::string::npos || !ToLong(value.substr(0, colon), address) ||
        !ToLong(value.substr(colon + 1), count) || address < 0 || address >= kFlashSize ||
        count < 0) {
      error = Tr("Sim", "erwartet ADRESSE:ANZAHL");
      return false;
    }
    sim.flash.corruptPage = static_cast<uint32_t>(address) & ~(kPageSize - 1);
    sim.flash.corruptPrograms = static_cast<int>(count);
  } else if (name == "noise") {
    sim.faults.noiseBetweenMessages = true;
  } else if (name == "flood") {
    if (!needNumber(0, 100000)) return false;
    sim.faults.floodMessages = static_cast<int>(n);
  } else if (name == "damage-answers") {
    if (!needNumber(0, 1000000)) return false;
    sim.faults.damageAnswers = static_cast<int>(n);
  } else if (name == "damage-every") {
    if (!needNumber(0, 1000000)) return false;
    sim.faults.damageEvery = static_cast<int>(n);
  } else if (name == "damage-offset") {
    if (!needNumber(0, 1000000)) return false;
    sim.faults.damageOffset = static_cast<int>(n);
  } else if (name == "traffic") {
    if (!needNumber(0, 3600000)) return false;
    sim.faults.trafficPeriod = static_cast<double>(n) / 1000;
  } else if (name == "vanish-after") {
    if (!needNumber(0, 100000000)) return false;
    sim.faults.vanishAfter = static_cast<long>(n);
  }
  sim.ApplyHandheldConfig();
  return true;
}

}  // namespace skyrelay::sim
