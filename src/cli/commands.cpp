#include "cli/commands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "cli/json_output.h"
#include "core/translate.h"
#include "package/description.h"
#include "package/package_check.h"
#include "qt/serial_ports.h"
#include "run/backup.h"
#include "run/commands.h"
#include "run/info.h"
#include "run/rescue.h"
#include "run/update_run.h"
#include "sim/sim.h"

namespace skyrelay::cli {

namespace {

std::string SettingsHintCli() {
  return Tr("Cli", "Bitte --interface 1 oder 3 und --port angeben (mit --save merken).");
}

// The last lines of an update: the verdict, and for a run that started the
// time taken and the pages.
void PrintVerdict(Session& s) {
  const RunReport& r = s.ctx->report;
  s.console.Finish();
  if (r.end == RunEnd::Cancelled) {
    std::fprintf(stderr, "%s", Tr("Cli", "Abgebrochen.\n").c_str());
    if (r.release == Release::Confirmed)
      std::fprintf(stderr, "%s",
                   Tr("Cli", "Die Zentrale ist aus dem Update-Mode genommen.\n").c_str());
  }
  if (r.release == Release::Unconfirmed) {
    std::fprintf(stderr, "%s",
                 Tr("Cli", "Die Zentrale hat die Freigabe nicht bestätigt!\n").c_str());
  }
  std::fprintf(stderr, "%s\n", RunVerdict(r).c_str());
  if (r.startedAt == 0 && r.endedAt == 0) return;
  std::fprintf(stderr, Tr("Cli", "Dauer: %.1f s\n").c_str(), r.endedAt - r.startedAt);
  if (r.firmware.pagesWritten > 0) {
    std::fprintf(stderr,
                 Tr("Cli", "Firmware: %d Seiten geschrieben, %d geprüft, %d wiederholt\n").c_str(),
                 r.firmware.pagesWritten, r.firmware.pagesVerified, r.firmware.pagesRepeated);
  }
  if (r.answersRepeated > 0) {
    std::fprintf(stderr,
                 (r.answersRepeated == 1 ? Tr("Cli", "%ld Antwort wiederholt\n")
                                         : Tr("Cli", "%ld Antworten wiederholt\n"))
                     .c_str(),
                 r.answersRepeated);
  }
}

// A notice as one line, its line breaks as blanks.
std::string OneLine(const Notice& notice) {
  std::string line;
  for (char c : GermanMessage(notice).text) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// Why a command that needs the port could not use it, in one line: what the
// system said and what to do.
void PrintPortFailure(const std::string& what, const Notice& notice, const RunReport& report) {
  std::string line = what + OneLine(notice);
  // The cause names the ports there are, or what keeps the port from opening.
  if (report.portProblem) line += ' ' + GermanCause(report);
  std::fprintf(stderr, "%s\n", line.c_str());
}

// The package given or remembered, loaded into the world with the notices of
// its problems; the report keeps what the verdict needs. False when it did not
// load cleanly.
bool LoadPackage(Session& s) {
  Context& ctx = *s.ctx;
  const std::string& path = ctx.settings.UpdateFilePath;
  ctx.report = RunReport{};
  RunReport& report = ctx.report;
  ctx.host.onNotice = [&report](const Notice& notice, Answer answer) {
    NoteFirstError(report, notice, answer);
  };
  struct Unwatch {
    Host& host;
    ~Unwatch() { host.onNotice = nullptr; }
  } unwatch{ctx.host};
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    const std::string notFound = Tr("Cli", "Die Update-Datei wurde nicht gefunden!");
    s.console.Show(
        ShownMessage{path + "\r" + notFound, Tr("Cli", "Fehler!"), Icon::Stop, Buttons::Ok},
        NoticeKind::DescriptionUnreadable);
    report.firstError = Notice{NoticeKind::DescriptionUnreadable, {path, notFound}};
    report.packageProblems.push_back(PackageProblem{ProblemKind::DescriptionUnreadable, path});
    return false;
  }
  if (LoadUpdateDescription(ctx, path)) return true;
  for (const PackageProblem& p : CheckPackage(path)) {
    if (!p.warning) report.packageProblems.push_back(p);
  }
  std::fprintf(
      stderr, "%s",
      Tr("Cli", "Das Update-Paket ist nicht in Ordnung; es wird nichts übertragen.\n").c_str());
  return false;
}

// The note of an interrupted run, when there is one that can be read.
std::optional<RescueNote> ReadNote(Session& s) {
  return ReadRescueNote(s.ctx->rescueFolder).note;
}

// A text with message-box line breaks, as lines.
std::string Lines(std::string text) {
  std::replace(text.begin(), text.end(), '\r', '\n');
  return text;
}

// The release with the note's port and interface, unless the command line names
// its own; says how it went. 0 when the station confirmed it.
int ReleaseAndSay(Session& s, std::optional<RescueNote> note) {
  Context& ctx = *s.ctx;
  if (note && s.options.port) note->port = ctx.settings.ComPortNumber;
  if (note && s.options.interfaceKind) note->interfaceKind = ctx.settings.InterfaceKind;
  const StationRelease release = ReleaseStation(ctx, note, SettingsHintCli());
  s.console.Finish();
  if (s.json && !release.cancelled && !release.portFailure) {
    s.json->ReleaseResult(release, note ? note->port : ctx.settings.ComPortNumber,
                          note ? note->interfaceKind : ctx.settings.InterfaceKind,
                          note.has_value());
  }
  if (release.cancelled) {
    std::fprintf(stderr, "%s", Tr("Cli", "Abgebrochen.\n").c_str());
    return 1;
  }
  if (release.portFailure) {
    PrintPortFailure(Tr("Cli", "Freigabe nicht möglich: "), *release.portFailure, ctx.report);
    return 1;
  }
  if (!release.confirmed) {
    std::fprintf(stderr, Tr("Cli", "Die Zentrale hat die Freigabe nicht bestätigt!\n%s\n").c_str(),
                 GermanCause(ctx.report).c_str());
    return 1;
  }
  std::fprintf(stderr, "%s", Tr("Cli", "Die Zentrale ist aus dem Update-Mode genommen.\n").c_str());
  return 0;
}

}  // namespace

void TellInterruptedRun(Session& s, bool hint) {
  const RescueNoteRead read = ReadRescueNote(s.ctx->rescueFolder);
  if (read.damaged) std::fprintf(stderr, "%s\n", DamagedRescueNoteText(read.path).c_str());
  if (!read.note) return;
  std::fprintf(stderr, "%s\n",
               Lines(InterruptedRunText(*read.note, RestoreWay::CommandLine)).c_str());
  if (hint)
    std::fprintf(stderr, "%s", Tr("Cli", "Freigeben mit: skyrelay-update-cli release\n").c_str());
}

int RunReleaseCommand(Session& s) {
  if (const int rc = OpenTrace(s, {}); rc != 0) return rc;
  TellInterruptedRun(s, false);
  return ReleaseAndSay(s, ReadNote(s));
}

int RunUpdateCommand(Session& s) {
  Context& ctx = *s.ctx;
  if (ctx.settings.UpdateFilePath.empty()) {
    return WrongUsage(Tr("Cli", "update braucht DATEI.TUP (keine angegeben und keine gemerkt)"));
  }
  // Nobody could answer a question: the run would say No for the user.
  if (s.options.answers == AnswerPolicy::Ask && ::isatty(0) == 0) {
    std::fprintf(stderr, "%s",
                 Tr("Cli",
                    "skyrelay-update-cli: ohne Terminal kann niemand die Fragen des Updates "
                    "beantworten.\nBitte --yes (jede Frage mit Ja) oder --no (mit Nein) angeben.\n")
                     .c_str());
    if (s.json) {
      s.json->Fail("no-terminal",
                   Tr("Cli",
                      "Ohne Terminal kann niemand die Fragen des Updates beantworten: --yes "
                      "oder --no."));
    }
    return 2;
  }
  TellInterruptedRun(s, false);
  // A package that does not load cleanly is not sent to a handheld.
  if (!LoadPackage(s)) {
    PrintVerdict(s);
    return 1;
  }
  if (const int rc = OpenTrace(s, PackageFilePaths(ctx.desc, ctx.settings.UpdateFilePath));
      rc != 0) {
    return rc;
  }
  // After an interrupted run the station may still be in its update mode. The
  // run would release it at its end all the same; asked first, it is released
  // on the port of the interrupted run, which may not be this one.
  if (const std::optional<RescueNote> note = ReadNote(s)) {
    if (s.console.Show(
            ShownMessage{Tr("Cli", "Die Zentrale jetzt aus dem Update-Mode nehmen?"),
                         Tr("Cli", "Unterbrochener Lauf"), Icon::Information, Buttons::YesNo},
            std::nullopt, false, "release-station") == Answer::Yes) {
      ReleaseAndSay(s, note);
    }
  }
  ctx.backupBeforeConfiguration = !s.options.noBackup;
  const bool started = UpdateCommand(ctx, SettingsHintCli());
  s.console.Finish();
  if (started && s.sim) {
    std::fprintf(stderr,
                 Tr("Cli",
                    "Simulation: %.1f s LocoNet-Zeit, %ld Nachrichten gesendet, %ld empfangen, "
                    "Busbelegung %.1f s\n")
                     .c_str(),
                 ctx.host.Now(), ctx.link.stats.messagesSent, ctx.link.stats.messagesReceived,
                 s.sim->busTime);
  }
  if (ctx.report.backup.end == BackupEnd::Saved) {
    std::fprintf(stderr, Tr("Cli", "Sicherung: %s (%.1f s)\n").c_str(),
                 ctx.report.backup.path.c_str(), ctx.report.backup.seconds);
  } else if (ctx.report.backup.end == BackupEnd::Skipped) {
    std::fprintf(
        stderr, "%s",
        Tr("Cli", "Keine Sicherung: der Handregler antwortete vor der Konfiguration nicht.\n")
            .c_str());
  }
  PrintVerdict(s);
  return RunSucceeded(ctx.report) ? 0 : 1;
}

int RunPingCommand(Session& s) {
  if (const int rc = OpenTrace(s, {}); rc != 0) return rc;
  TellInterruptedRun(s, true);
  Context& ctx = *s.ctx;
  ctx.report = RunReport{};
  // Without a port the test would only report, for many seconds, that no
  // message goes out: it ends at the first failure.
  if (const std::string missing = MissingPortSetting(ctx.settings); !missing.empty()) {
    ctx.report.firstError = Notice{NoticeKind::SettingMissing, {missing, SettingsHintCli()}};
    PrintPortFailure(Tr("Cli", "Port-Test nicht möglich: "), *ctx.report.firstError, ctx.report);
    return 1;
  }
  try {
    if (const std::optional<Notice> failed = OpenPortRecorded(ctx)) {
      PrintPortFailure(Tr("Cli", "Port-Test fehlgeschlagen: "), *failed, ctx.report);
      return 1;
    }
    const bool answered = PortTestCommand(ctx, s.options.noWait);
    s.console.Finish();
    if (s.json && !answered)
      s.json->Fail("no-answer", Tr("Cli", "Der Port-Test bekam keine Antwort."));
    const bool opened = ctx.host.Port().IsOpen();
    ctx.host.Port().Close();
    return answered && opened ? 0 : 1;
  } catch (const RunCancelled&) {
    // The port test puts nothing into update mode; there is nothing to release.
    s.console.Finish();
    std::fprintf(stderr, "%s", Tr("Cli", "Abgebrochen.\n").c_str());
    ctx.host.Port().Close();
    return 1;
  }
}

int RunInfoCommand(Session& s) {
  if (const int rc = OpenTrace(s, {}); rc != 0) return rc;
  TellInterruptedRun(s, true);
  Context& ctx = *s.ctx;
  const DeviceInfo info = ReadDeviceInfo(ctx, SettingsHintCli());
  s.console.Finish();
  if (info.cancelled) {
    std::fprintf(stderr, "%s", Tr("Cli", "Abgebrochen.\n").c_str());
    return 1;
  }
  if (info.portFailure) {
    PrintPortFailure(Tr("Cli", "Info nicht möglich: "), *info.portFailure, ctx.report);
    return 1;
  }
  if (s.json) s.json->Info(info);
  if (info.stationId) {
    std::printf(Tr("Cli", "Zentrale: Kennung %lld%s\n").c_str(),
                static_cast<long long>(*info.stationId),
                info.stationNeedsUpdateMode
                    ? Tr("Cli", " (wird für das Update in den Update-Mode gesetzt)").c_str()
                    : "");
  } else {
    std::printf("%s", Tr("Cli", "Zentrale: keine Kennung gemeldet\n").c_str());
  }
  if (!info.handheldAnswered) {
    std::printf("%s", Tr("Cli", "Handregler: keine Antwort\n").c_str());
    std::fprintf(stderr, "%s\n", GermanCause(ctx.report).c_str());
    return 1;
  }
  const HandheldIdentity& id = info.handheld.identity;
  std::printf(
      Tr("Cli", "Handregler: Artikel %s, %s\n").c_str(), id.articleNumber.c_str(),
      id.kind == HandheldKind::Unknown ? Tr("Cli", "nicht erkannt").c_str() : id.kindText.c_str());
  std::printf(Tr("Cli", "Installierte Firmware: %s\n").c_str(), id.versionText.c_str());
  return 0;
}

int RunBackupCommand(Session& s) {
  if (const int rc = OpenTrace(s, {}); rc != 0) return rc;
  Context& ctx = *s.ctx;
  const std::string& path = s.options.arguments[0];
  const BackupCommandResult r = BackupCommand(ctx, path, s.options.all, SettingsHintCli());
  s.console.Finish();
  if (r.cancelled) {
    std::fprintf(stderr, "%s", Tr("Cli", "Abgebrochen.\n").c_str());
    return 1;
  }
  if (r.portFailure) {
    PrintPortFailure(Tr("Cli", "Sicherung nicht möglich: "), *r.portFailure, ctx.report);
    return 1;
  }
  if (!r.handheldAnswered) {
    std::fprintf(stderr, "%s\n", GermanCause(ctx.report).c_str());
    return 1;
  }
  if (s.json) s.json->Backup(path, r, CommandBackupAreas(s.options.all));
  switch (r.backup.end) {
    case BackupEnd::Saved:
      std::printf(
          Tr("Cli", "Sicherung von Handregler %s (Version %s): %s, %zu Bytes, %.1f s\n").c_str(),
          r.identity.articleNumber.c_str(), r.identity.version.c_str(), path.c_str(),
          r.backup.bytes, r.backup.seconds);
      return 0;
    case BackupEnd::SaveFailed:
      std::fprintf(stderr, Tr("Cli", "Sicherung nicht gespeichert: %s: %s\n").c_str(), path.c_str(),
                   r.backup.saveProblem.c_str());
      if (s.json) s.json->Fail("backup-failed", path + ": " + r.backup.saveProblem);
      return 1;
    default:
      std::fprintf(
          stderr, "%s",
          Tr("Cli", "Sicherung nicht gelesen: der Handregler antwortet nicht mehr.\n").c_str());
      if (s.json)
        s.json->Fail("handheld-silent", Tr("Cli", "Der Handregler antwortet nicht mehr."));
      return 1;
  }
}

namespace {

// The restore's result and, when it did not get through, why: for what the
// world's report cannot tell.
void RestoreForScripts(JsonOutput& json, const std::string& path, const RestoreResult& r) {
  switch (r.end) {
    case RestoreEnd::FileUnusable:
      json.Fail("backup-file-unusable", path + ": " + r.file.problem);
      return;
    case RestoreEnd::NotRun:
    case RestoreEnd::PortFailed:
      return;
    case RestoreEnd::NoHandheld:
      break;
    case RestoreEnd::Declined:
      json.Fail("declined", Tr("Cli", "Nichts zurückgeschrieben."));
      break;
    case RestoreEnd::Failed:
      if (!r.cancelled)
        json.Fail("handheld-silent", Tr("Cli", "Der Handregler antwortet nicht mehr."));
      break;
    case RestoreEnd::Done:
      if (!r.pagesWrong.empty()) {
        json.Fail("pages-wrong", Fill(Tr("Cli", "%1 Seiten wurden falsch zurückgelesen."),
                                      {std::to_string(r.pagesWrong.size())}));
      }
      break;
  }
  json.Restore(path, r);
}

}  // namespace

int RunRestoreCommand(Session& s) {
  if (const int rc = OpenTrace(s, {}); rc != 0) return rc;
  Context& ctx = *s.ctx;
  const std::string& path = s.options.arguments[0];
  const RestoreResult r = RestoreCommand(ctx, path, SettingsHintCli());
  s.console.Finish();
  if (s.json) RestoreForScripts(*s.json, path, r);
  if (r.cancelled) {
    std::fprintf(stderr, "%s", Tr("Cli", "Abgebrochen.\n").c_str());
    return 1;
  }
  switch (r.end) {
    case RestoreEnd::FileUnusable:
      std::fprintf(stderr, "%s: %s\n", path.c_str(), r.file.problem.c_str());
      return 1;
    case RestoreEnd::PortFailed:
      PrintPortFailure(Tr("Cli", "Zurückschreiben nicht möglich: "), *r.portFailure, ctx.report);
      return 1;
    case RestoreEnd::NoHandheld:
      std::fprintf(stderr, "%s\n", GermanCause(ctx.report).c_str());
      return 1;
    case RestoreEnd::Declined:
      std::fprintf(stderr, "%s", Tr("Cli", "Nichts zurückgeschrieben.\n").c_str());
      return 1;
    case RestoreEnd::Failed:
      std::fprintf(stderr,
                   Tr("Cli",
                      "Zurückschreiben abgebrochen: der Handregler antwortet nicht mehr (%d Seiten "
                      "geschrieben).\n")
                       .c_str(),
                   r.pagesWritten);
      return 1;
    default:
      break;
  }
  for (uint32_t page : r.pagesWrong) {
    std::fprintf(stderr, Tr("Cli", "Seite 0x%06X (%s) wurde falsch zurückgelesen!\n").c_str(), page,
                 FlashAreaName(page).c_str());
  }
  std::printf(Tr("Cli", "%d Seiten zurückgeschrieben, %zu davon fehlerhaft.\n").c_str(),
              r.pagesWritten, r.pagesWrong.size());
  return r.ok() ? 0 : 1;
}

int RunCheckCommand(Session& s) {
  const std::vector<PackageProblem> problems = CheckPackage(s.options.arguments[0]);
  if (s.json) s.json->Check(s.options.arguments[0], problems);
  for (const PackageProblem& p : problems) std::printf("%s\n", ProblemLine(p).c_str());
  if (problems.empty())
    std::printf(Tr("Cli", "%s: in Ordnung\n").c_str(), s.options.arguments[0].c_str());
  return problems.empty() ? 0 : 1;
}

// The serial ports found, one a line: the device, then what is known about it.
int RunPortsCommand(JsonOutput* json) {
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  if (json) json->Ports(ports);
  if (ports.empty()) {
    std::printf("%s", Tr("Cli", "Keine seriellen Ports gefunden.\n").c_str());
    return 0;
  }
  size_t width = 0;
  for (const SerialPortEntry& port : ports) width = std::max(width, port.location.size());
  for (const SerialPortEntry& port : ports) {
    const std::string details = DescribeSerialPort(port);
    std::printf("%-*s  %s\n", static_cast<int>(width), port.location.c_str(),
                details.empty() ? Tr("Cli", "(keine Angaben)").c_str() : details.c_str());
  }
  return 0;
}

}  // namespace skyrelay::cli
