#include "update/commands.h"

#include <exception>
#include <string>
#include <utility>

#include "link/link.h"
#include "link/serial_setup.h"
#include "package/description.h"
#include "protocol/handheld.h"
#include "update/update_run.h"

namespace skyrelay {

std::string MissingPortSetting(const Settings& settings) {
  if (settings.InterfaceKind == 2) return "Interface 71530 öffnet keinen Port.";
  if (settings.InterfaceKind != 1 && settings.InterfaceKind != 3) return "Kein Interface gewählt.";
  if (settings.ComPortNumber.empty()) return "Kein ComPort gewählt.";
  return {};
}

namespace {

// The message box of a problem that ended a load.
void ShowLoadProblem(Host& host, const PackageProblem& problem) {
  const auto show = [&](const std::string& text, const char* title) {
    host.Message(text, title, Icon::Stop, Buttons::Ok);
  };
  switch (problem.kind) {
    case ProblemKind::DescriptionUnreadable:
      return show(problem.file + "\rDie Update-Datei kann nicht geöffnet werden!", "Fehler!");
    case ProblemKind::DescriptionRefused:
      return show(problem.file + "\r" + problem.detail + "!", "Fehler!");
    case ProblemKind::NotADescription:
      return show("Keine Update-Datei: " + problem.file, "Fehler!");
    case ProblemKind::FirmwareMissing:
      return show("Updatefile nicht vorhanden!", "Achtung!");
    case ProblemKind::FirmwareRefused:
      return show(problem.file + "\r" + problem.detail + "!", "Achtung!");
    case ProblemKind::FirmwareWrongFormat:
      return show("Falsches Fileformat!", "Achtung!");
    case ProblemKind::FirmwareWrongVersion:
      return show("Falsche Version!", "Fehler");
    default:  // the package check's findings; a load gives none of them
      return;
  }
}

}  // namespace

bool LoadUpdateDescription(Context& ctx, const std::string& path) {
  DescriptionLoad load = ParseUpdateDescription(path);
  ctx.desc = std::move(load.description);
  if (load.extraCharacterFilesIgnored) {
    ctx.host.SetStatus("Mehr als 100 Zeichendateien: weitere ignoriert");
  }
  for (const PackageProblem& problem : load.problems) ShowLoadProblem(ctx.host, problem);
  if (load.versionsShown) {
    ctx.host.SetVersionLabels(load.radioVersionCaption, load.digitalSetVersionCaption);
  }
  return load.problems.empty();
}

bool UpdateCommand(Context& ctx, const std::string& settingsHint) {
  // An earlier run's update mode has been dealt with by that run (or its
  // interface went away); until this run asks the station again, no release is owed.
  ctx.upd.UpdateModeActive = 0;
  // Nothing is sent for an update that names nothing or has nowhere to go.
  if (!DescriptionNamesSomething(ctx.desc)) {
    ctx.host.Message("Keine Update-Datei: " + ctx.settings.UpdateFilePath, "Fehler!", Icon::Stop,
                     Buttons::Ok);
    return false;
  }
  if (const std::string missing = MissingPortSetting(ctx.settings); !missing.empty()) {
    ctx.host.Message(missing + "\r" + settingsHint, "Einstellungen", Icon::Stop, Buttons::Ok);
    return false;
  }
  // The files as they are now are the files the run writes.
  HoldConfigurationFiles(ctx.desc);
  ctx.host.SetStatus("Start");
  try {
    if (OpenPortForRun(ctx) != 0) return false;
  } catch (const RunCancelled&) {
    // Stopped while the interface was being set up: nothing was sent to the station.
    ctx.host.Port().Close();
    ctx.upd.runEnded = UpdateState::RunEnd::Cancelled;
    ctx.host.SetStatus("Update abgebrochen");
    return false;
  } catch (const LinkLostError&) {
    ReportLinkLost(ctx);
    return false;
  } catch (const std::exception& e) {
    ctx.host.Port().Close();
    ctx.host.Message("Unerwarteter Fehler beim Öffnen des Ports:\r" + std::string(e.what()),
                     "Fehler!", Icon::Stop, Buttons::Ok);
    return false;
  }
  try {
    RunUpdate(ctx);
  } catch (const LinkLostError&) {
    // The run has recorded its failed end; the station cannot be reached any more.
    ReportLinkLost(ctx);
    return true;
  }
  if (ctx.host.Port().IsOpen()) TogglePort(ctx);
  return true;
}

int PortTestCommand(Context& ctx, bool noWait) {
  int result = 0;
  try {
    if (!ctx.host.Port().IsOpen()) result = TogglePort(ctx);
    result = send_pm01(ctx, noWait);
  } catch (const LinkLostError&) {
    ReportLinkLost(ctx);
    return 1;
  }
  ctx.host.SetStatus(std::to_string(result));
  return result;
}

}  // namespace skyrelay
