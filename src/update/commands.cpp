#include "update/commands.h"

#include <exception>
#include <string>

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
  HoldConfigurationFiles(ctx);
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
