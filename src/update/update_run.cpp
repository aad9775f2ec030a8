#include "update/update_run.h"

#include <cstdio>
#include <exception>
#include <string>

#include "config/transfer.h"
#include "link/link.h"
#include "protocol/station.h"
#include "update/firmware_update.h"
#include "update/identify.h"

namespace skyrelay {

namespace {

// The identification only reads; asked again, it cannot change anything. One
// lost answer must not make a station that needs its update mode look like one
// that does not.
constexpr int kStationIdTries = 3;

}  // namespace

void EnterStationUpdateMode(Context& ctx, int& errorFlag) {
  AnswerState& a = ctx.ans;
  int result = 1;
  for (int i = 0; i < kStationIdTries && result != 0; i++) result = read_station_id(ctx);
  ctx.upd.stationIdUnanswered = result != 0;
  if (result != 0) a.StationIdNumber = 0;
  const std::string digits = std::to_string(a.StationIdNumber);
  a.StationIdNumber = std::stoll(digits.substr(0, 2));
  ctx.upd.UpdateModeActive = 0;
  errorFlag = 0;
  if (a.StationIdNumber != 12 && a.StationIdNumber != 42) return;

  ctx.host.SetStatus("Zentrale Update-Mode");
  // From here the station may be in its boot loader even when no answer comes.
  ctx.upd.StationEntryRequested = 1;
  if ((errorFlag = enter_boot_loader(ctx)) != 0) return;
  WaitSeconds(ctx, 1);
  if ((errorFlag = station_clear(ctx)) != 0) return;
  if ((errorFlag = station_set_value(ctx, 10, 50)) != 0) return;
  if ((errorFlag = station_send_text(ctx, "Update " + ctx.ProductName)) != 0) return;
  ctx.upd.UpdateModeActive = 1;
}

void LeaveStationUpdateMode(Context& ctx) {
  UpdateState& u = ctx.upd;
  if (u.UpdateModeActive != 1 && u.StationEntryRequested != 1) return;
  // The release asks nothing and cannot be abandoned; its wait is the station
  // command's own (a few seconds at most).
  u.StationReleasing = true;
  u.StationEntryRequested = 0;
  // Released (or tried): nothing is owed to the station any more.
  u.UpdateModeActive = 0;
  // A message left over from an abandoned step would hold the release back.
  ForgetPendingMessage(ctx);
  try {
    u.releaseResult = finish_update_mode(ctx);
  } catch (...) {
    u.releaseResult = 1;
  }
  u.StationReleasing = false;
}

namespace {

// The stages of the chain, in their order. Returns whether the chain took the
// failure path (entry or identification failed).
bool RunStages(Context& ctx) {
  int errorFlag = 0;
  std::string versionText;
  std::string articleNumber;
  EnterStationUpdateMode(ctx, errorFlag);
  if (errorFlag == 0) IdentifyHandheld(ctx, versionText, articleNumber, errorFlag);
  if (errorFlag != 0) return true;
  UpdateHandheldFirmware(ctx, versionText, articleNumber, errorFlag);
  if (errorFlag == 0) {
    TransferConfiguration(ctx, errorFlag);
    ctx.upd.configurationResult = errorFlag;
  }
  return false;
}

}  // namespace

void RunUpdate(Context& ctx) {
  UpdateState& u = ctx.upd;
  u.firmwareOutcome = UpdateState::FirmwareOutcome::NotRun;
  u.configurationResult = -1;
  u.configurationShortfall = false;
  u.runEnded = UpdateState::RunEnd::NotRun;
  u.StationEntryRequested = 0;
  u.stationIdUnanswered = false;
  u.releaseResult = -1;
  u.unexpectedError.clear();
  u.pagesWritten = u.pagesVerified = u.pagesRepeated = 0;
  u.installedVersion.clear();
  u.runStartedAt = ctx.host.Now();

  bool failed = false;
  bool cancelled = false;
  try {
    failed = RunStages(ctx);
  } catch (const RunCancelled&) {
    cancelled = true;
  } catch (const LinkLostError&) {
    // The interface is gone: nothing more can reach the station. The caller
    // shows the one message about the lost connection.
    u.runEnded = UpdateState::RunEnd::Failed;
    u.runEndedAt = ctx.host.Now();
    throw;
  } catch (const std::exception& e) {
    u.unexpectedError = e.what();
  } catch (...) {
    u.unexpectedError = "unbekannte Ausnahme";
  }

  // Every way out passes the release.
  if (failed) ctx.host.SetStatus("Fehler beim Update");
  if ((cancelled || !u.unexpectedError.empty()) && u.StationEntryRequested == 1) {
    ctx.host.SetStatus("Zentrale wird aus dem Update-Mode genommen ...");
  }
  LeaveStationUpdateMode(ctx);
  if (cancelled) {
    ctx.host.SetStatus("Update abgebrochen");
    u.runEnded = UpdateState::RunEnd::Cancelled;
  } else if (!u.unexpectedError.empty()) {
    ctx.host.SetStatus("Fehler beim Update");
    u.runEnded = UpdateState::RunEnd::Failed;
    try {
      ctx.host.Message("Unerwarteter Fehler beim Update:\r" + u.unexpectedError, "Fehler!",
                       Icon::Stop, Buttons::Ok);
    } catch (...) {
      // The run is over either way.
    }
  } else if (failed) {
    u.runEnded = UpdateState::RunEnd::Failed;
  } else {
    ctx.host.SetStatus("Update beendet");
    u.runEnded = UpdateState::RunEnd::Finished;
  }
  u.runEndedAt = ctx.host.Now();
}

namespace {

// Said after the verdict when the station never told its identification: it was
// then not put into its update mode, whatever kind it is.
std::string StationIdNote(const UpdateState& u) {
  return u.stationIdUnanswered
             ? "; die Zentrale hat ihre Kennung nicht gemeldet und war nicht im Update-Mode"
             : "";
}

}  // namespace

bool LastRunSucceeded(const Context& ctx) {
  using Outcome = UpdateState::FirmwareOutcome;
  const UpdateState& u = ctx.upd;
  if (u.runEnded != UpdateState::RunEnd::Finished) return false;
  if (u.releaseResult > 0) return false;
  if (u.configurationResult > 0 || u.configurationShortfall) return false;
  return u.firmwareOutcome == Outcome::Ok || u.firmwareOutcome == Outcome::NoFirmwareFile ||
         u.firmwareOutcome == Outcome::Declined;
}

std::string RunVerdict(const Context& ctx, const std::string& firstError) {
  using Outcome = UpdateState::FirmwareOutcome;
  const UpdateState& u = ctx.upd;
  if (!LastRunSucceeded(ctx)) {
    std::string reason = firstError;
    if (u.runEnded == UpdateState::RunEnd::Cancelled) {
      reason = "abgebrochen";
    } else if (!u.unexpectedError.empty()) {
      reason = "Unerwarteter Fehler: " + u.unexpectedError;
    } else if (reason.empty() && u.releaseResult > 0) {
      reason = "Zentrale hat die Freigabe nicht bestätigt";
    } else if (reason.empty() && u.configurationShortfall) {
      reason = "Konfiguration unvollständig";
    } else if (reason.empty()) {
      reason = "Fehler beim Update";
    }
    return "Update fehlgeschlagen: " + reason + StationIdNote(u);
  }
  std::string done;
  switch (u.firmwareOutcome) {
    case Outcome::Ok:
      done = "Firmware " + u.installedVersion + " geprüft";
      break;
    case Outcome::Declined:
      done = "Firmware-Update abgelehnt";
      break;
    default:
      done = "keine Firmware für diesen Handregler";
      break;
  }
  done += u.configurationResult == 0 ? ", Konfiguration geschrieben"
                                     : ", Konfiguration nicht übertragen";
  return "Update erfolgreich: " + done + StationIdNote(u);
}

void NoteRunError(std::string& firstError, const std::string& text, const std::string& title,
                  Icon icon, Buttons buttons, Answer answer) {
  if (!firstError.empty()) return;
  std::string shown = text;
  std::string prefix = title == "Timeout" ? "Timeout bei " : "";
  if (buttons == Buttons::YesNo) {
    if (answer != Answer::No || text.find("weiter warten?") == std::string::npos) return;
    shown = text.substr(0, text.find('\r'));
  } else if ((icon != Icon::Stop && icon != Icon::Critical) ||
             text.find("Das Update wird jetzt geladen!") != std::string::npos) {
    return;
  }
  // One line: line breaks and runs of blanks become one blank.
  std::string line;
  for (char c : shown) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  firstError = prefix + line;
}

}  // namespace skyrelay
