#include "core/texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace skyrelay {

namespace {

const std::string& Arg(const Notice& n, size_t i) {
  static const std::string kNone;
  return i < n.args.size() ? n.args[i] : kNone;
}

ShownMessage Stop(std::string text, std::string title) {
  return {std::move(text), std::move(title), Icon::Stop, Buttons::Ok};
}

}  // namespace

bool IsQuestion(NoticeKind kind) {
  return kind == NoticeKind::HandheldUnknown || kind == NoticeKind::SoftwareCurrent ||
         kind == NoticeKind::LoadVersion || kind == NoticeKind::RestartWait ||
         kind == NoticeKind::RestoreQuestion;
}

bool IsFailure(NoticeKind kind) {
  switch (kind) {
    // Shown as plain notes, and not taken for the run's failure.
    case NoticeKind::PortError:
    case NoticeKind::StationPortError:
    case NoticeKind::InterfaceDialogue:
    case NoticeKind::Installing:
    case NoticeKind::FirmwareOk:
      return false;
    default:
      return !IsQuestion(kind);
  }
}

ShownMessage GermanMessage(const Notice& n) {
  switch (n.kind) {
    case NoticeKind::MessageNotSent:
      return {"Message kann nicht gesendet werden!", "LocoNet Fehler", Icon::Critical, Buttons::Ok};
    case NoticeKind::CommandTimeout:
      return {Arg(n, 0), "Timeout", Icon::Critical, Buttons::Ok};
    case NoticeKind::PortError:
      return {Arg(n, 0), "ComPort Fehler!", Icon::None, Buttons::Ok};
    case NoticeKind::StationPortError:
      return {Arg(n, 0), "Verbindungsfehler:", Icon::None, Buttons::Ok};
    case NoticeKind::InterfaceDialogue:
      return {"Zeichenübertragung nicht möglich!", "Kontrada 1:", Icon::None, Buttons::Ok};
    case NoticeKind::LinkLost: {
      std::string text = "Die Verbindung zum Interface an " + Arg(n, 0) + " ist unterbrochen.";
      if (!Arg(n, 1).empty()) text += "\r(" + Arg(n, 1) + ")";
      return {text, "ComPort Fehler!", Icon::Critical, Buttons::Ok};
    }
    case NoticeKind::NoUpdateFile:
      return Stop("Keine Update-Datei: " + Arg(n, 0), "Fehler!");
    case NoticeKind::SettingMissing:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1), "Einstellungen");
    case NoticeKind::PortOpenFailed:
      return Stop("Unerwarteter Fehler beim Öffnen des Ports:\r" + Arg(n, 0), "Fehler!");
    case NoticeKind::UnexpectedError:
      return Stop("Unerwarteter Fehler beim Update:\r" + Arg(n, 0), "Fehler!");
    case NoticeKind::HandheldUnknown:
      return {"Handregler konnte nicht erkannt werden!\r\rTrotzdem ein Update versuchen?", "",
              Icon::None, Buttons::YesNo};
    case NoticeKind::NotApplicable:
      return Stop("Fehler!", "");
    case NoticeKind::BadFirmwareFile:
      return Stop("Das Update-File ist nicht in Ordnung\n\r oder passt nicht zum Gerät!", "Fehler");
    case NoticeKind::FirmwareFileMissing:
      return Stop("Updatefile nicht vorhanden!", "Achtung!");
    case NoticeKind::SoftwareCurrent:
      return {
          "Die Handregler Software ist aktuell!\r\r   Ein Update ist nicht notwendig!\r\r    "
          "Update trotzdem durchführen? ",
          "Update", Icon::Information, Buttons::YesNo};
    case NoticeKind::LoadVersion:
      return {Arg(n, 0) + " :\r\rVersion im Handregler: " + Arg(n, 1) + "\r\rSoll die Version " +
                  Arg(n, 2) + " vom " + Arg(n, 3) + " geladen werden?",
              "Update", Icon::None, Buttons::YesNo};
    case NoticeKind::FlashBlockFailed:
      return Stop("Flash Block kann nicht beschrieben werden!", "Achtung!");
    case NoticeKind::LocoNetOutputError:
      return Stop("Fehler bei einer Ausgabe auf LocoNet: " + Arg(n, 0), "Fehler");
    case NoticeKind::Installing:
      return Stop(
          "     Das Update wird jetzt geladen!            \rBitte den Handregler nicht von LocoNet "
          "trennen\r    und das Ende des Vorgangs abwarten! (ca. 60s)",
          "Achtung!");
    case NoticeKind::RestartWait:
      return {Arg(n, 0) + " meldet sich nicht zurück!\r     weiter warten?     ", "Achtung",
              Icon::Stop, Buttons::YesNo};
    case NoticeKind::WrongLoco:
      return Stop(Arg(n, 0) + " hat die falsche Lok beim Starten angemeldet!", "Update 58400");
    case NoticeKind::WrongVersion:
      return Stop("Es wurde die falsche Version nach dem Update gelesen!", "Update 58400");
    case NoticeKind::FirmwareOk:
      return {
          "     Firmware-Update ok!      \r\r Jetzt erhält der Handregler u.U. \r  noch neue "
          "Daten, bitte nicht \r          ausschalten!",
          "Update 58400", Icon::Information, Buttons::Ok};
    case NoticeKind::ConfigurationFileUnusable:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1) + "!", "Fehler!");
    case NoticeKind::LanguageFileFormat:
      return Stop(Arg(n, 0) + "\rFalsche Dateiformat!", "Fehler!");
    case NoticeKind::SettingsNotWritten:
      return Stop("Einstellungen konnten nicht geschrieben werden!", "Fehler");
    case NoticeKind::DescriptionUnreadable:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1), "Fehler!");
    case NoticeKind::FirmwareFileProblem:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1) + "!", "Achtung!");
    case NoticeKind::FirmwareFileFormat:
      return Stop("Falsches Fileformat!", "Achtung!");
    case NoticeKind::WrongFirmwareVersion:
      return Stop("Falsche Version!", "Fehler");
    case NoticeKind::PackageProblems: {
      std::string text = "Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen:";
      for (const std::string& line : n.args) text += "\r" + line;
      return Stop(text, "Fehler!");
    }
    case NoticeKind::BackupFailed:
      return Stop("Die Sicherung konnte nicht angelegt werden:\r" + Arg(n, 0) + "\r" + Arg(n, 1) +
                      "\rEs wird nichts geschrieben.",
                  "Fehler!");
    case NoticeKind::RestoreQuestion: {
      std::string text = "Diese Sicherung in den Handregler zurückschreiben?";
      for (const std::string& line : n.args) text += "\r" + line;
      return {text, "Sicherung zurückschreiben", Icon::None, Buttons::YesNo};
    }
  }
  return {};
}

std::string GermanStageName(ProgressStage stage) {
  switch (stage) {
    case ProgressStage::Firmware:
      return "Firmware";
    case ProgressStage::Restart:
      return "Neustart";
    case ProgressStage::Backup:
      return "Sicherung";
    case ProgressStage::LanguageTexts:
      return "Sprachtexte";
    case ProgressStage::TurnoutSymbols:
    case ProgressStage::TurnoutAssignment:
    case ProgressStage::TurnoutList:
      return "Weichen";
    case ProgressStage::Characters:
      return "Zeichen";
    case ProgressStage::Settings:
      return "Einstellungen";
  }
  return "";
}

std::string ClockText(double seconds) {
  const long total = std::max(0L, std::lround(seconds));
  const long h = total / 3600;
  const long m = total / 60 % 60;
  const long s = total % 60;
  char text[32];
  if (h > 0) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", h, m, s);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", m, s);
  }
  return text;
}

std::string GermanProgress(const RunProgress& p) {
  std::string line;
  if (p.stage == ProgressStage::Restart) {
    line = "Warte auf den Neustart des Handreglers: " + std::to_string(std::lround(p.waited)) +
           " s (Nachfrage nach " + std::to_string(std::lround(p.waitLimit)) + " s)";
  } else {
    line = GermanStageName(p.stage) + " " + std::to_string(p.stageDone) + " von " +
           std::to_string(p.stageTotal);
  }
  line += " · " + std::to_string(p.percent) + " % · " + ClockText(p.elapsed) + " vergangen";
  if (p.remaining) line += " · noch etwa " + ClockText(*p.remaining);
  return line;
}

std::string RestartAnimationFrame(double seconds) {
  static const char* const kFrames[8] = {"##        ", "  ##      ", "    ##    ", "      ##  ",
                                         "        ##", "      ##  ", "    ##    ", "  ##      "};
  const long phase = std::lround(seconds * 4) % 8;
  return kFrames[phase < 0 ? phase + 8 : phase];
}

std::string GermanStatus(const StatusLine& s) {
  const std::string number = std::to_string(s.number);
  switch (s.kind) {
    case StatusKind::Clear:
      return "";
    case StatusKind::Start:
      return "Start";
    case StatusKind::Error:
      return "Fehler";
    case StatusKind::ReadingVersion:
      return "Lese Version";
    case StatusKind::StationUpdateMode:
      return "Zentrale Update-Mode";
    case StatusKind::ReleasingStation:
      return "Zentrale wird aus dem Update-Mode genommen ...";
    case StatusKind::UpdateFinished:
      return "Update beendet";
    case StatusKind::UpdateFailed:
      return "Fehler beim Update";
    case StatusKind::UpdateCancelled:
      return "Update abgebrochen";
    case StatusKind::NoFirmwareForKind:
      return "Fehler im Updatefile!";
    case StatusKind::SoftwareCurrent:
      return "Software aktuell!";
    case StatusKind::FirmwarePercent:
      return number + "%";
    case StatusKind::RestartWait:
      return RestartAnimationFrame(static_cast<double>(s.number) / 4.0);
    case StatusKind::FirmwareOk:
      return "Firmware ok!";
    case StatusKind::WakeUpAttempt:
      return "PM01= " + number;
    case StatusKind::PortTestResult:
      return number;
    case StatusKind::Language:
      return "Sprache:" + std::to_string(s.number / 1000) +
             " Txt:" + std::to_string(s.number % 1000);
    case StatusKind::TurnoutSymbol:
      return "Mag.Sym.:" + number;
    case StatusKind::TurnoutAssignment:
      return "SymZuord:" + number;
    case StatusKind::TurnoutList:
      return "Weichenliste";
    case StatusKind::NewConfiguration:
      return "neue Konfiguration";
    case StatusKind::ExtraCharacterFiles:
      return "Mehr als 100 Zeichendateien: weitere ignoriert";
    case StatusKind::Text:
      return s.text;
    case StatusKind::BackupReading:
      return "Lese Sicherung";
    case StatusKind::BackupSaved:
      return "Sicherung gespeichert: " + s.text;
    case StatusKind::RestorePage:
      return "Zurückschreiben: Seite " + number;
  }
  return s.text;
}

}  // namespace skyrelay
