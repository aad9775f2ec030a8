#include "run/report.h"

#include "core/texts.h"

namespace skyrelay {

namespace {

// Said after the verdict when the station never told its identification: it was
// then not put into its update mode, whatever kind it is.
std::string StationIdNote(const RunReport& r) {
  return r.stationIdUnanswered
             ? "; die Zentrale hat ihre Kennung nicht gemeldet und war nicht im Update-Mode"
             : "";
}

// The first error as one line: line breaks and runs of blanks become one blank;
// of a question only its first line; a time-out names its command.
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
  return (notice.kind == NoticeKind::CommandTimeout ? "Timeout bei " : "") + line;
}

}  // namespace

void NoteFirstError(RunReport& report, const Notice& notice, Answer answer) {
  const bool failure =
      IsFailure(notice.kind) || (notice.kind == NoticeKind::RestartWait && answer == Answer::No);
  if (failure && !report.firstError) report.firstError = notice;
}

bool RunSucceeded(const RunReport& r) {
  if (r.end != RunEnd::Finished) return false;
  if (r.release == Release::Unconfirmed) return false;
  const ConfigurationEnd config = r.configuration.end;
  if ((config != ConfigurationEnd::NotRun && config != ConfigurationEnd::Done) ||
      r.configuration.shortfall) {
    return false;
  }
  const FirmwareOutcome f = r.firmware.outcome;
  return f == FirmwareOutcome::Ok || f == FirmwareOutcome::NoFirmwareFile ||
         f == FirmwareOutcome::Declined;
}

std::string RunVerdict(const RunReport& r) {
  if (!RunSucceeded(r)) {
    std::string reason;
    if (r.end == RunEnd::Cancelled) {
      reason = "abgebrochen";
    } else if (!r.unexpectedError.empty()) {
      reason = "Unerwarteter Fehler: " + r.unexpectedError;
    } else if (r.firstError) {
      reason = ErrorLine(*r.firstError);
    } else if (r.release == Release::Unconfirmed) {
      reason = "Zentrale hat die Freigabe nicht bestätigt";
    } else if (r.configuration.shortfall) {
      reason = "Konfiguration unvollständig";
    } else {
      reason = "Fehler beim Update";
    }
    return "Update fehlgeschlagen: " + reason + StationIdNote(r);
  }
  std::string done;
  switch (r.firmware.outcome) {
    case FirmwareOutcome::Ok:
      done = "Firmware " + r.firmware.installedVersion + " geprüft";
      break;
    case FirmwareOutcome::Declined:
      done = "Firmware-Update abgelehnt";
      break;
    default:
      done = "keine Firmware für diesen Handregler";
      break;
  }
  done += r.configuration.end == ConfigurationEnd::Done ? ", Konfiguration geschrieben"
                                                        : ", Konfiguration nicht übertragen";
  return "Update erfolgreich: " + done + StationIdNote(r);
}

}  // namespace skyrelay
