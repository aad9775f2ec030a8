#include "run/report.h"

#include <filesystem>

#include "core/texts.h"
#include "core/translate.h"
#include "package/package_check.h"

namespace skyrelay {

namespace {

// Said after the verdict when the station never told its identification: it was
// then not put into its update mode, whatever kind it is.
std::string StationIdNote(const RunReport& r) {
  return r.stationIdUnanswered
             ? Tr("Verdict",
                  "; die Zentrale hat ihre Kennung nicht gemeldet und war nicht im Update-Mode")
             : "";
}

// A notice as one line: line breaks and runs of blanks become one blank; of a
// question only its first line; a time-out names its command.
std::string ErrorLine(const Notice& notice) {
  const ShownMessage shown = GermanMessage(notice);
  std::string text = shown.text;
  if (shown.buttons == Buttons::YesNo) text = text.substr(0, text.find('\r'));
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return notice.kind == NoticeKind::CommandTimeout ? Fill(Tr("Verdict", "Timeout bei %1"), {line})
                                                   : line;
}

// The link's own reports: a stage that goes on after them decides how it ended.
bool IsLinkReport(NoticeKind kind) {
  return kind == NoticeKind::CommandTimeout || kind == NoticeKind::MessageNotSent;
}

bool IsPackageNotice(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::NoUpdateFile:
    case NoticeKind::DescriptionUnreadable:
    case NoticeKind::FirmwareFileProblem:
    case NoticeKind::FirmwareFileFormat:
    case NoticeKind::FirmwareFileMissing:
    case NoticeKind::WrongFirmwareVersion:
    case NoticeKind::PackageProblems:
      return true;
    default:
      return false;
  }
}

// The first named file of the package check's findings that is not there.
std::string MissingFile(const RunReport& r) {
  for (const PackageProblem& p : r.packageProblems) {
    std::error_code error;
    if (!p.warning && !p.file.empty() && !std::filesystem::exists(p.file, error)) return p.file;
  }
  return {};
}

RunCause FirmwareCause(const RunReport& r) {
  const FirmwareResult& f = r.firmware;
  switch (f.outcome) {
    case FirmwareOutcome::NoFirmwareFile:
      return r.identification.identity.kind == HandheldKind::Unknown ? RunCause::HandheldUnknown
                                                                     : RunCause::NoFirmwareForKind;
    case FirmwareOutcome::NotApplicable:
      return RunCause::NoFirmwareForKind;
    case FirmwareOutcome::Failed:
      switch (f.failure) {
        case FirmwareFailure::BadFile:
          return RunCause::PackageBroken;
        case FirmwareFailure::PageNotWritten:
          return RunCause::PageNotWritten;
        case FirmwareFailure::Command:
          return RunCause::HandheldSilent;
        default:
          return RunCause::RestartProblem;
      }
    default:
      return RunCause::None;
  }
}

}  // namespace

void NoteFirstError(RunReport& report, const Notice& notice, Answer answer) {
  if (answer == Answer::Refused && !report.refused) report.refused = notice;
  const bool failure =
      IsFailure(notice.kind) || (notice.kind == NoticeKind::RestartWait && answer == Answer::No);
  if (failure && !report.firstError) report.firstError = notice;
}

RunCause CauseOf(const RunReport& r) {
  if (r.end == RunEnd::Cancelled) return RunCause::Cancelled;
  if (r.portProblem) {
    switch (r.portProblem->failure) {
      case PortFailure::NotFound:
        return RunCause::PortMissing;
      case PortFailure::NoPermission:
        return RunCause::PortNoPermission;
      case PortFailure::InUse:
        return RunCause::PortInUse;
      default:
        return RunCause::PortUnusable;
    }
  }
  if (!r.packageProblems.empty()) {
    return MissingFile(r).empty() ? RunCause::PackageBroken : RunCause::PackageFileMissing;
  }
  const std::optional<NoticeKind> first =
      r.firstError ? std::optional<NoticeKind>(r.firstError->kind) : std::nullopt;
  if (first == NoticeKind::SettingMissing) return RunCause::SettingMissing;
  if (first && IsPackageNotice(*first)) return RunCause::PackageBroken;
  if (first == NoticeKind::LinkLost) return RunCause::LinkLost;
  if (first == NoticeKind::MessageNotSent || first == NoticeKind::InterfaceDialogue) {
    return RunCause::NoEcho;
  }
  if (r.refused) return RunCause::RefusedWithoutForce;
  if (r.stationError) return RunCause::NoStation;
  if (r.identification.error) return RunCause::NoHandheld;
  if (r.identification.declined) return RunCause::HandheldUnknown;
  if (const RunCause firmware = FirmwareCause(r); firmware != RunCause::None) return firmware;
  if (r.backup.end == BackupEnd::ReadFailed || r.backup.end == BackupEnd::SaveFailed) {
    return RunCause::BackupFailed;
  }
  const ConfigurationResult& c = r.configuration;
  if (c.end == ConfigurationEnd::CommandFailed) return RunCause::HandheldSilent;
  if ((c.end != ConfigurationEnd::NotRun && c.end != ConfigurationEnd::Done) || c.shortfall) {
    return RunCause::ConfigurationIncomplete;
  }
  if (r.release == Release::Unconfirmed) return RunCause::ReleaseUnconfirmed;
  if (RunSucceeded(r)) return RunCause::None;
  if (r.firmware.outcome == FirmwareOutcome::Declined) return RunCause::Declined;
  return RunCause::Other;
}

std::string GermanCause(const RunReport& r) {
  const std::string port = r.portProblem ? r.portProblem->port : std::string();
  switch (CauseOf(r)) {
    case RunCause::None:
    case RunCause::Declined:
      return "";
    case RunCause::Cancelled:
      if (r.firmware.pagesWritten == 0 && r.configuration.end == ConfigurationEnd::NotRun) {
        return Tr("Cause", "Es wurde nichts in den Handregler geschrieben.");
      }
      return Tr("Cause",
                "Bitte das Update wiederholen, damit der Handregler vollständig beschrieben ist.");
    case RunCause::PortMissing: {
      if (r.portProblem->available.empty()) {
        return Fill(Tr("Cause",
                       "Den Port %1 gibt es nicht, und es wurde kein serieller Port gefunden – ist "
                       "das Interface eingesteckt?"),
                    {port});
      }
      std::string list;
      for (const std::string& p : r.portProblem->available) list += (list.empty() ? "" : ", ") + p;
      return Fill(Tr("Cause", "Den Port %1 gibt es nicht – vorhandene Ports: %2."), {port, list});
    }
    case RunCause::PortNoPermission:
      return Fill(Tr("Cause",
                     "Kein Zugriff auf %1 – der Benutzer muss zur Gruppe „dialout“ gehören (danach "
                     "neu anmelden)."),
                  {port});
    case RunCause::PortInUse:
      return Fill(Tr("Cause", "Den Port %1 benutzt ein anderes Programm – bitte dieses beenden."),
                  {port});
    case RunCause::PortUnusable:
      return Fill(Tr("Cause",
                     "Der Port %1 ließ sich nicht öffnen – bitte Interface und Port in den "
                     "Einstellungen prüfen."),
                  {port});
    case RunCause::SettingMissing:
      return Tr("Cause", "Interface und Port müssen gewählt sein.");
    case RunCause::PackageFileMissing:
      return Fill(Tr("Cause", "Die Datei %1 fehlt – ist das Update-Paket vollständig ausgepackt?"),
                  {MissingFile(r)});
    case RunCause::PackageBroken:
      return Tr("Cause",
                "Das Update-Paket ist fehlerhaft – bitte ein vollständiges, unverändertes Paket "
                "verwenden.");
    case RunCause::NoEcho:
      return Tr("Cause",
                "Das Interface gibt keine Nachricht zurück – ist es am LocoNet angeschlossen, und "
                "passt die Interface-Einstellung?");
    case RunCause::LinkLost:
      return Tr("Cause",
                "Die Verbindung zum Interface ist abgerissen – bitte Kabel und Stecker prüfen und "
                "das Update wiederholen.");
    case RunCause::NoStation:
      return Tr("Cause", "Die Zentrale antwortet nicht – ist sie eingeschaltet und am LocoNet?");
    case RunCause::NoHandheld:
      return Tr("Cause", "Kein Handregler antwortet – ist er am LocoNet eingesteckt?");
    case RunCause::HandheldUnknown:
      return Tr("Cause",
                "Der Handregler wurde nicht erkannt – mit diesem Paket lässt er sich nicht "
                "aktualisieren.");
    case RunCause::NoFirmwareForKind: {
      const HandheldIdentity& id = r.identification.identity;
      return Fill(Tr("Cause",
                     "Das Paket enthält keine Firmware für diesen Handregler (%1) – bitte das "
                     "passende Update-Paket wählen."),
                  {id.articleNumber.empty() ? id.kindText : id.articleNumber});
    }
    case RunCause::RefusedWithoutForce:
      if (r.refused->kind == NoticeKind::HandheldUnknown) {
        return Tr(
            "Cause",
            "Einen nicht erkannten Handregler aktualisiert --yes allein nicht; --force versucht "
            "es trotzdem.");
      }
      return Tr("Cause",
                "Eine schon installierte oder ältere Version lädt --yes allein nicht; --force lädt "
                "sie trotzdem.");
    case RunCause::HandheldSilent:
      if (r.firmware.outcome == FirmwareOutcome::Failed && r.firmware.phase <= 3) {
        return Tr(
            "Cause",
            "Der Handregler antwortet nicht mehr – ist er noch eingesteckt? Er arbeitet weiter "
            "mit seiner bisherigen Firmware; bitte das Update wiederholen.");
      }
      return Tr("Cause",
                "Der Handregler antwortet nicht mehr – ist er noch eingesteckt? Bitte das Update "
                "wiederholen.");
    case RunCause::PageNotWritten:
      return Tr("Cause",
                "Der Flash-Speicher des Handreglers nimmt eine Seite nicht an – er arbeitet weiter "
                "mit seiner bisherigen Firmware; bitte das Update wiederholen.");
    case RunCause::RestartProblem:
      return Tr("Cause",
                "Der Handregler hat sich nach der Installation nicht wie erwartet gemeldet – bitte "
                "ihn kurz ausstecken, wieder einstecken und die Version prüfen.");
    case RunCause::BackupFailed:
      if (r.backup.end == BackupEnd::ReadFailed) {
        return Tr(
            "Cause",
            "Die Sicherung ließ sich nicht aus dem Handregler lesen – die Konfiguration wurde "
            "nicht geschrieben; bitte das Update wiederholen.");
      }
      return Tr(
          "Cause",
          "Die Sicherung ließ sich nicht speichern – die Konfiguration wurde nicht geschrieben; "
          "bitte den Ordner prüfen (oder ohne Sicherung: --no-backup).");
    case RunCause::ConfigurationIncomplete:
      return Tr("Cause",
                "Die Konfiguration wurde nicht vollständig geschrieben – bitte das Update "
                "wiederholen.");
    case RunCause::ReleaseUnconfirmed:
      return Tr(
          "Cause",
          "Die Zentrale hat die Freigabe nicht bestätigt – bitte die Zentrale aus- und wieder "
          "einschalten.");
    case RunCause::Other:
      return Tr("Cause", "Bitte das Update wiederholen.");
  }
  return "";
}

bool RunSucceeded(const RunReport& r) {
  if (r.end != RunEnd::Finished) return false;
  if (r.release == Release::Unconfirmed) return false;
  if (r.refused) return false;
  // A failure the user was shown is never a success; a time-out or a lost echo
  // that the stage got over is decided by how the stage ended.
  if (r.firstError && !IsLinkReport(r.firstError->kind)) return false;
  if (r.backup.end == BackupEnd::ReadFailed || r.backup.end == BackupEnd::SaveFailed) return false;
  const ConfigurationEnd config = r.configuration.end;
  if ((config != ConfigurationEnd::NotRun && config != ConfigurationEnd::Done) ||
      r.configuration.shortfall) {
    return false;
  }
  const FirmwareOutcome f = r.firmware.outcome;
  return f == FirmwareOutcome::Ok || f == FirmwareOutcome::Declined ||
         f == FirmwareOutcome::NoFirmwareInPackage;
}

std::string RunVerdict(const RunReport& r) {
  if (!RunSucceeded(r)) {
    std::string reason;
    if (r.end == RunEnd::Cancelled) {
      reason = Tr("Verdict", "abgebrochen");
    } else if (!r.unexpectedError.empty()) {
      reason = Fill(Tr("Verdict", "Unerwarteter Fehler: %1"), {r.unexpectedError});
    } else if (!r.packageProblems.empty()) {
      const size_t n = r.packageProblems.size();
      reason = n == 1 ? ProblemLine(r.packageProblems[0])
                      : Fill(Tr("Verdict", "%1 Probleme im Update-Paket"), {std::to_string(n)});
    } else if (r.firstError && !(r.refused && IsLinkReport(r.firstError->kind))) {
      reason = ErrorLine(*r.firstError);
    } else if (r.refused && r.refused->kind == NoticeKind::LoadVersion) {
      const std::vector<std::string>& a = r.refused->args;
      reason = Fill(Tr("Verdict", "die Datei bringt Version %1, älter als die im Handregler (%2)"),
                    {a.size() > 2 ? a[2] : "?", a.size() > 1 ? a[1] : "?"});
    } else if (r.refused) {
      reason = ErrorLine(*r.refused);
    } else if (r.firmware.outcome == FirmwareOutcome::NoFirmwareFile) {
      reason = Tr("Verdict", "keine Firmware für diesen Handregler");
    } else if (r.release == Release::Unconfirmed) {
      reason = Tr("Verdict", "Zentrale hat die Freigabe nicht bestätigt");
    } else if (r.configuration.shortfall) {
      reason = Tr("Verdict", "Konfiguration unvollständig");
    } else {
      reason = Tr("Verdict", "Fehler beim Update");
    }
    std::string line =
        Fill(Tr("Verdict", "Update fehlgeschlagen: %1"), {reason}) + StationIdNote(r);
    if (const std::string cause = GermanCause(r); !cause.empty()) {
      const char last = line.back();
      if (last != '.' && last != '!' && last != '?') line += '.';
      line += ' ' + cause;
    }
    return line;
  }
  std::string done;
  if (r.firmware.outcome == FirmwareOutcome::Ok) {
    done = Fill(Tr("Verdict", "Firmware %1 geprüft"), {r.firmware.installedVersion});
  } else if (r.firmware.outcome == FirmwareOutcome::NoFirmwareInPackage) {
    done = Tr("Verdict", "keine Firmware im Paket");
  } else {
    done = Tr("Verdict", "Firmware-Update abgelehnt");
  }
  done += r.configuration.end == ConfigurationEnd::Done
              ? Tr("Verdict", ", Konfiguration geschrieben")
              : Tr("Verdict", ", Konfiguration nicht übertragen");
  return Fill(Tr("Verdict", "Update erfolgreich: %1"), {done}) + StationIdNote(r);
}

}  // namespace skyrelay
