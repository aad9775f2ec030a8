#include "cli/commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "package/description.h"
#include "package/package_check.h"
#include "qt/serial_ports.h"
#include "run/commands.h"
#include "run/update_run.h"
#include "sim/sim.h"

namespace skyrelay::cli {

namespace {

// The last lines of an update: the verdict, the time taken and the pages.
void PrintVerdict(Session& s) {
  const RunReport& r = s.ctx->report;
  s.console.Finish();
  if (r.end == RunEnd::Cancelled) {
    std::fprintf(stderr, "Abgebrochen.\n");
    if (r.release == Release::Confirmed)
      std::fprintf(stderr, "Die Zentrale ist aus dem Update-Mode genommen.\n");
  }
  if (r.release == Release::Unconfirmed) {
    std::fprintf(stderr, "Die Zentrale hat die Freigabe nicht bestätigt!\n");
  }
  std::fprintf(stderr, "%s\n", RunVerdict(r).c_str());
  std::fprintf(stderr, "Dauer: %.1f s\n", r.endedAt - r.startedAt);
  if (r.firmware.pagesWritten > 0) {
    std::fprintf(stderr, "Firmware: %d Seiten geschrieben, %d geprüft, %d wiederholt\n",
                 r.firmware.pagesWritten, r.firmware.pagesVerified, r.firmware.pagesRepeated);
  }
}

}  // namespace

int RunUpdateCommand(Session& s) {
  Context& ctx = *s.ctx;
  if (ctx.settings.UpdateFilePath.empty()) {
    std::fprintf(stderr, "skyrelay-update-cli: keine Update-Datei angegeben und keine gemerkt\n%s",
                 kUsage);
    return 2;
  }
  // Nobody could answer a question: the run would say No for the user.
  if (!s.options.answer && ::isatty(0) == 0) {
    std::fprintf(stderr,
                 "skyrelay-update-cli: ohne Terminal kann niemand die Fragen des Updates "
                 "beantworten.\nBitte --yes (jede Frage mit Ja) oder --no (mit Nein) angeben.\n");
    return 2;
  }
  std::error_code error;
  if (!std::filesystem::exists(ctx.settings.UpdateFilePath, error)) {
    s.console.Message(ctx.settings.UpdateFilePath + "\rDie Update-Datei wurde nicht gefunden!",
                      "Fehler!", Icon::Stop, Buttons::Ok);
    return 1;
  }
  // A package that does not load cleanly is not sent to a handheld.
  if (!LoadUpdateDescription(ctx, ctx.settings.UpdateFilePath)) {
    std::fprintf(stderr, "Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen.\n");
    return 1;
  }
  if (const int rc = OpenTrace(s, PackageFilePaths(ctx.desc, ctx.settings.UpdateFilePath));
      rc != 0) {
    return rc;
  }
  const bool started =
      UpdateCommand(ctx, "Bitte --interface 1 oder 3 und --port angeben (mit --save merken).");
  s.console.Finish();
  if (!started) {
    if (ctx.report.end == RunEnd::Cancelled) std::fprintf(stderr, "Abgebrochen.\n");
    return 1;
  }
  if (s.sim) {
    std::fprintf(stderr,
                 "Simulation: %.1f s LocoNet-Zeit, %ld Nachrichten gesendet, %ld empfangen, "
                 "Busbelegung %.1f s\n",
                 ctx.host.Now(), ctx.link.stats.messagesSent, ctx.link.stats.messagesReceived,
                 s.sim->busTime);
  }
  PrintVerdict(s);
  return RunSucceeded(ctx.report) ? 0 : 1;
}

int RunPingCommand(Session& s) {
  if (const int rc = OpenTrace(s, {}); rc != 0) return rc;
  try {
    const bool answered = PortTestCommand(*s.ctx, s.options.noWait);
    s.console.Finish();
    // The test runs even when the port did not open; then it has failed all the same.
    const bool opened = s.ctx->host.Port().IsOpen();
    s.ctx->host.Port().Close();
    return answered && opened ? 0 : 1;
  } catch (const RunCancelled&) {
    // The port test puts nothing into update mode; there is nothing to release.
    s.console.Finish();
    std::fprintf(stderr, "Abgebrochen.\n");
    s.ctx->host.Port().Close();
    return 1;
  }
}

int RunCheckCommand(Session& s) {
  const std::vector<PackageProblem> problems = CheckPackage(s.options.arguments[0]);
  for (const PackageProblem& p : problems) std::printf("%s\n", ProblemLine(p).c_str());
  if (problems.empty()) std::printf("%s: in Ordnung\n", s.options.arguments[0].c_str());
  return problems.empty() ? 0 : 1;
}

// The serial ports found, one a line: the device, then what is known about it.
int RunPortsCommand() {
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  if (ports.empty()) {
    std::printf("Keine seriellen Ports gefunden.\n");
    return 0;
  }
  size_t width = 0;
  for (const SerialPortEntry& port : ports) width = std::max(width, port.location.size());
  for (const SerialPortEntry& port : ports) {
    const std::string details = DescribeSerialPort(port);
    std::printf("%-*s  %s\n", static_cast<int>(width), port.location.c_str(),
                details.empty() ? "(keine Angaben)" : details.c_str());
  }
  return 0;
}

}  // namespace skyrelay::cli
