#include "core/texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/translate.h"

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
      return {Tr("Message", "Message kann nicht gesendet werden!"), Tr("Message", "LocoNet Fehler"),
              Icon::Critical, Buttons::Ok};
    case NoticeKind::CommandTimeout:
      return {Arg(n, 0), Tr("Message", "Timeout"), Icon::Critical, Buttons::Ok};
    case NoticeKind::PortError:
      return {Arg(n, 0), Tr("Message", "ComPort Fehler!"), Icon::None, Buttons::Ok};
    case NoticeKind::StationPortError:
      return {Arg(n, 0), Tr("Message", "Verbindungsfehler:"), Icon::None, Buttons::Ok};
    case NoticeKind::InterfaceDialogue:
      return {Tr("Message", "Zeichenübertragung nicht möglich!"), Tr("Message", "Kontrada 1:"),
              Icon::None, Buttons::Ok};
    case NoticeKind::LinkLost: {
      std::string text =
          Fill(Tr("Message", "Die Verbindung zum Interface an %1 ist unterbrochen."), {Arg(n, 0)});
      if (!Arg(n, 1).empty()) text += "\r(" + Arg(n, 1) + ')';
      return {text, Tr("Message", "ComPort Fehler!"), Icon::Critical, Buttons::Ok};
    }
    case NoticeKind::NoUpdateFile:
      return Stop(Fill(Tr("Message", "Keine Update-Datei: %1"), {Arg(n, 0)}),
                  Tr("Message", "Fehler!"));
    case NoticeKind::SettingMissing:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1), Tr("Message", "Einstellungen"));
    case NoticeKind::PortOpenFailed:
      return Stop(Tr("Message", "Unerwarteter Fehler beim Öffnen des Ports:") + "\r" + Arg(n, 0),
                  Tr("Message", "Fehler!"));
    case NoticeKind::UnexpectedError:
      return Stop(Tr("Message", "Unerwarteter Fehler beim Update:") + "\r" + Arg(n, 0),
                  Tr("Message", "Fehler!"));
    case NoticeKind::HandheldUnknown:
      return {Tr("Message",
                 "Handregler konnte nicht erkannt werden!\r\rTrotzdem ein Update versuchen?"),
              "", Icon::None, Buttons::YesNo};
    case NoticeKind::NotApplicable:
      return Stop(Tr("Message", "Fehler!"), "");
    case NoticeKind::BadFirmwareFile:
      return Stop(
          Tr("Message", "Das Update-File ist nicht in Ordnung\n\r oder passt nicht zum Gerät!"),
          Tr("Message", "Fehler"));
    case NoticeKind::FirmwareFileMissing:
      return Stop(Tr("Message", "Updatefile nicht vorhanden!"), Tr("Message", "Achtung!"));
    case NoticeKind::SoftwareCurrent:
      return {
          Tr("Message",
             "Die Handregler Software ist aktuell!\r\r   Ein Update ist nicht notwendig!\r\r    "
             "Update trotzdem durchführen? "),
          Tr("Message", "Update"), Icon::Information, Buttons::YesNo};
    case NoticeKind::LoadVersion:
      return {Fill(Tr("Message",
                      "%1 :\r\rVersion im Handregler: %2\r\rSoll die Version %3 vom %4 geladen "
                      "werden?"),
                   {Arg(n, 0), Arg(n, 1), Arg(n, 2), Arg(n, 3)}),
              Tr("Message", "Update"), Icon::None, Buttons::YesNo};
    case NoticeKind::FlashBlockFailed:
      return Stop(Tr("Message", "Flash Block kann nicht beschrieben werden!"),
                  Tr("Message", "Achtung!"));
    case NoticeKind::LocoNetOutputError:
      return Stop(Fill(Tr("Message", "Fehler bei einer Ausgabe auf LocoNet: %1"), {Arg(n, 0)}),
                  Tr("Message", "Fehler"));
    case NoticeKind::Installing:
      return Stop(Tr("Message",
                     "     Das Update wird jetzt geladen!            \rBitte den Handregler nicht "
                     "von LocoNet "
                     "trennen\r    und das Ende des Vorgangs abwarten! (ca. 60s)"),
                  Tr("Message", "Achtung!"));
    case NoticeKind::RestartWait:
      return {Fill(Tr("Message", "%1 meldet sich nicht zurück!\r     weiter warten?     "),
                   {Arg(n, 0)}),
              Tr("Message", "Achtung"), Icon::Stop, Buttons::YesNo};
    case NoticeKind::WrongLoco:
      return Stop(
          Fill(Tr("Message", "%1 hat die falsche Lok beim Starten angemeldet!"), {Arg(n, 0)}),
          Tr("Message", "Update 58400"));
    case NoticeKind::WrongVersion:
      return Stop(Tr("Message", "Es wurde die falsche Version nach dem Update gelesen!"),
                  Tr("Message", "Update 58400"));
    case NoticeKind::FirmwareOk:
      return {
          Tr("Message",
             "     Firmware-Update ok!      \r\r Jetzt erhält der Handregler u.U. \r  noch neue "
             "Daten, bitte nicht \r          ausschalten!"),
          Tr("Message", "Update 58400"), Icon::Information, Buttons::Ok};
    case NoticeKind::ConfigurationFileUnusable:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1) + '!', Tr("Message", "Fehler!"));
    case NoticeKind::LanguageFileFormat:
      return Stop(Arg(n, 0) + "\r" + Tr("Message", "Falsche Dateiformat!"),
                  Tr("Message", "Fehler!"));
    case NoticeKind::SettingsNotWritten:
      return Stop(Tr("Message", "Einstellungen konnten nicht geschrieben werden!"),
                  Tr("Message", "Fehler"));
    case NoticeKind::DescriptionUnreadable:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1), Tr("Message", "Fehler!"));
    case NoticeKind::FirmwareFileProblem:
      return Stop(Arg(n, 0) + "\r" + Arg(n, 1) + '!', Tr("Message", "Achtung!"));
    case NoticeKind::FirmwareFileFormat:
      return Stop(Tr("Message", "Falsches Fileformat!"), Tr("Message", "Achtung!"));
    case NoticeKind::WrongFirmwareVersion:
      return Stop(Tr("Message", "Falsche Version!"), Tr("Message", "Fehler"));
    case NoticeKind::PackageProblems: {
      std::string text =
          Tr("Message", "Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen:");
      for (const std::string& line : n.args) text += "\r" + line;
      return Stop(text, Tr("Message", "Fehler!"));
    }
    case NoticeKind::BackupFailed:
      return Stop(Tr("Message", "Die Sicherung konnte nicht angelegt werden:") + "\r" + Arg(n, 0) +
                      "\r" + Arg(n, 1) + "\r" + Tr("Message", "Es wird nichts geschrieben."),
                  Tr("Message", "Fehler!"));
    case NoticeKind::RestoreQuestion: {
      std::string text = Tr("Message", "Diese Sicherung in den Handregler zurückschreiben?");
      for (const std::string& line : n.args) text += "\r" + line;
      return {text, Tr("Message", "Sicherung zurückschreiben"), Icon::None, Buttons::YesNo};
    }
  }
  return {};
}

std::string GermanStageName(ProgressStage stage) {
  switch (stage) {
    case ProgressStage::Firmware:
      return Tr("Stage", "Firmware");
    case ProgressStage::Restart:
      return Tr("Stage", "Neustart");
    case ProgressStage::Backup:
      return Tr("Stage", "Sicherung");
    case ProgressStage::LanguageTexts:
      return Tr("Stage", "Sprachtexte");
    case ProgressStage::TurnoutSymbols:
    case ProgressStage::TurnoutAssignment:
    case ProgressStage::TurnoutList:
      return Tr("Stage", "Weichen");
    case ProgressStage::Characters:
      return Tr("Stage", "Zeichen");
    case ProgressStage::Settings:
      return Tr("Stage", "Einstellungen");
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
    line =
        Fill(Tr("Progress", "Warte auf den Neustart des Handreglers: %1 s (Nachfrage nach %2 s)"),
             {std::to_string(std::lround(p.waited)), std::to_string(std::lround(p.waitLimit))});
  } else {
    line =
        Fill(Tr("Progress", "%1 %2 von %3"),
             {GermanStageName(p.stage), std::to_string(p.stageDone), std::to_string(p.stageTotal)});
  }
  line += Fill(Tr("Progress", " · %1 % · %2 vergangen"),
               {std::to_string(p.percent), ClockText(p.elapsed)});
  if (p.remaining) line += Fill(Tr("Progress", " · noch etwa %1"), {ClockText(*p.remaining)});
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
      return Tr("Status", "Start");
    case StatusKind::Error:
      return Tr("Status", "Fehler");
    case StatusKind::ReadingVersion:
      return Tr("Status", "Lese Version");
    case StatusKind::StationUpdateMode:
      return Tr("Status", "Zentrale Update-Mode");
    case StatusKind::ReleasingStation:
      return Tr("Status", "Zentrale wird aus dem Update-Mode genommen ...");
    case StatusKind::UpdateFinished:
      return Tr("Status", "Update beendet");
    case StatusKind::UpdateFailed:
      return Tr("Status", "Fehler beim Update");
    case StatusKind::UpdateCancelled:
      return Tr("Status", "Update abgebrochen");
    case StatusKind::NoFirmwareForKind:
      return Tr("Status", "Fehler im Updatefile!");
    case StatusKind::SoftwareCurrent:
      return Tr("Status", "Software aktuell!");
    case StatusKind::FirmwarePercent:
      return number + '%';
    case StatusKind::RestartWait:
      return RestartAnimationFrame(static_cast<double>(s.number) / 4.0);
    case StatusKind::FirmwareOk:
      return Tr("Status", "Firmware ok!");
    case StatusKind::WakeUpAttempt:
      return "PM01= " + number;  // the handheld's own name for it
    case StatusKind::PortTestResult:
      return number;
    case StatusKind::Language:
      return Fill(Tr("Status", "Sprache:%1 Txt:%2"),
                  {std::to_string(s.number / 1000), std::to_string(s.number % 1000)});
    case StatusKind::TurnoutSymbol:
      return Fill(Tr("Status", "Mag.Sym.:%1"), {number});
    case StatusKind::TurnoutAssignment:
      return Fill(Tr("Status", "SymZuord:%1"), {number});
    case StatusKind::TurnoutList:
      return Tr("Status", "Weichenliste");
    case StatusKind::NewConfiguration:
      return Tr("Status", "neue Konfiguration");
    case StatusKind::ExtraCharacterFiles:
      return Tr("Status", "Mehr als 100 Zeichendateien: weitere ignoriert");
    case StatusKind::Text:
      return s.text;
    case StatusKind::BackupReading:
      return Tr("Status", "Lese Sicherung");
    case StatusKind::BackupSaved:
      return Fill(Tr("Status", "Sicherung gespeichert: %1"), {s.text});
    case StatusKind::RestorePage:
      return Fill(Tr("Status", "Zurückschreiben: Seite %1"), {number});
  }
  return s.text;
}

}  // namespace skyrelay
