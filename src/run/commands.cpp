#include "run/commands.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/serial_setup.h"
#include "package/description.h"
#include "package/package_check.h"
#include "run/update_run.h"

namespace skyrelay {

namespace {

// Shows a failed port set-up: its message, then "Fehler" in the status line.
// The report keeps why the port did not open, and which ports there are.
void ShowSetupFailure(Context& ctx, const Notice& notice) {
  RecordSetupFailure(ctx, notice);
  ctx.host.Message(notice);
  ctx.host.SetStatus(StatusLine{StatusKind::Error});
}

// The notice of a problem that ended a load; none for the package check's findings.
std::optional<Notice> LoadProblemNotice(const PackageProblem& problem) {
  switch (problem.kind) {
    case ProblemKind::DescriptionUnreadable:
      return Notice{NoticeKind::DescriptionUnreadable,
                    {problem.file, Tr("Run", "Die Update-Datei kann nicht geöffnet werden!")}};
    case ProblemKind::DescriptionRefused:
      return Notice{NoticeKind::DescriptionUnreadable, {problem.file, problem.detail + "!"}};
    case ProblemKind::NotADescription:
      return Notice{NoticeKind::NoUpdateFile, {problem.file}};
    case ProblemKind::FirmwareMissing:
      return Notice{NoticeKind::FirmwareFileMissing, {}};
    case ProblemKind::FirmwareRefused:
      return Notice{NoticeKind::FirmwareFileProblem, {problem.file, problem.detail}};
    case ProblemKind::FirmwareWrongFormat:
      return Notice{NoticeKind::FirmwareFileFormat, {}};
    case ProblemKind::FirmwareWrongVersion:
      return Notice{NoticeKind::WrongFirmwareVersion, {}};
    default:
      return std::nullopt;
  }
}

void ShowLinkLost(Context& ctx) {
  const Notice notice = LinkLost(ctx.link, ctx.settings);
  ctx.host.SetStatus(StatusLine{StatusKind::Error});
  ctx.host.Message(notice);
}

}  // namespace

std::string MissingPortSetting(const Settings& settings) {
  if (settings.InterfaceKind == 2) return Tr("Run", "Interface 71530 öffnet keinen Port.");
  if (settings.InterfaceKind != 1 && settings.InterfaceKind != 3) {
    return Tr("Run", "Kein Interface gewählt.");
  }
  if (settings.ComPortNumber.empty()) return Tr("Run", "Kein ComPort gewählt.");
  return {};
}

bool LoadUpdateDescription(Context& ctx, const std::string& path) {
  DescriptionLoad load = ParseUpdateDescription(path);
  ctx.desc = std::move(load.description);
  if (load.extraCharacterFilesIgnored) {
    ctx.host.SetStatus(StatusLine{StatusKind::ExtraCharacterFiles});
  }
  for (const PackageProblem& problem : load.problems) {
    if (const std::optional<Notice> notice = LoadProblemNotice(problem)) ctx.host.Message(*notice);
  }
  if (load.versionsShown) {
    ctx.host.SetVersionLabels(load.radioVersionCaption, load.digitalSetVersionCaption);
  }
  return load.problems.empty();
}

void RecordSetupFailure(Context& ctx, const Notice& notice) {
  if (notice.kind == NoticeKind::PortError || notice.kind == NoticeKind::StationPortError) {
    ctx.report.portProblem =
        PortProblem{ctx.host.Port().LastFailure(), PortDeviceForNumber(ctx.settings.ComPortNumber),
                    ctx.host.AvailablePorts()};
  }
  if (!ctx.report.firstError) ctx.report.firstError = notice;
}

bool CheckPackageBeforeRun(Context& ctx) {
  std::vector<PackageProblem> problems = CheckPackage(ctx.settings.UpdateFilePath);
  std::erase_if(problems, [](const PackageProblem& p) { return p.warning; });
  if (problems.empty()) return true;
  Notice notice{NoticeKind::PackageProblems, {}};
  for (const PackageProblem& p : problems) notice.args.push_back(ProblemLine(p));
  ctx.report.packageProblems = std::move(problems);
  if (!ctx.report.firstError) ctx.report.firstError = notice;
  ctx.host.Message(notice);
  return false;
}

bool UpdateCommand(Context& ctx, const std::string& settingsHint) {
  // An earlier run's update mode has been dealt with by that run (or its
  // interface went away); until this run asks the station again, no release is owed.
  ctx.updateModeActive = false;
  ctx.report = RunReport{};
  // The first failure the user is told of, from here on, is the run's.
  RunReport& report = ctx.report;
  const ReportWatch watch(ctx.host, report);

  // Nothing is sent for an update that names nothing or has nowhere to go.
  if (!DescriptionNamesSomething(ctx.desc)) {
    ctx.host.Message(Notice{NoticeKind::NoUpdateFile, {ctx.settings.UpdateFilePath}});
    return false;
  }
  if (const std::string missing = MissingPortSetting(ctx.settings); !missing.empty()) {
    ctx.host.Message(Notice{NoticeKind::SettingMissing, {missing, settingsHint}});
    return false;
  }
  // Every file is checked before the port opens: a file found missing after
  // the firmware would leave the handheld half updated.
  if (!CheckPackageBeforeRun(ctx)) return false;
  // The files as they are now are the files the run writes.
  HoldConfigurationFiles(ctx.desc);
  ctx.host.SetStatus(StatusLine{StatusKind::Start});
  try {
    if (const SetupResult failed = OpenPortForRun(ctx.link, ctx.settings)) {
      ShowSetupFailure(ctx, *failed);
      return false;
    }
  } catch (const RunCancelled&) {
    // Stopped while the interface was being set up: nothing was sent to the station.
    ctx.host.Port().Close();
    ctx.report.end = RunEnd::Cancelled;
    ctx.host.SetStatus(StatusLine{StatusKind::UpdateCancelled});
    return false;
  } catch (const LinkLostError&) {
    ShowLinkLost(ctx);
    return false;
  } catch (const std::exception& e) {
    ctx.host.Port().Close();
    ctx.host.Message(Notice{NoticeKind::PortOpenFailed, {e.what()}});
    return false;
  }
  try {
    RunUpdate(ctx);
  } catch (const LinkLostError&) {
    // The run has recorded its failed end; the station cannot be reached any more.
    ShowLinkLost(ctx);
    return true;
  }
  if (ctx.host.Port().IsOpen()) ctx.host.Port().Close();
  return true;
}

bool PortTestCommand(Context& ctx, bool noWait) {
  bool answered = false;
  try {
    if (!ctx.host.Port().IsOpen()) {
      if (const SetupResult failed = TogglePort(ctx.link, ctx.settings)) {
        ShowSetupFailure(ctx, *failed);
      }
    }
    answered = static_cast<bool>(ctx.handheld.send_pm01(noWait));
  } catch (const LinkLostError&) {
    ShowLinkLost(ctx);
    return false;
  }
  ctx.host.SetStatus(StatusLine{StatusKind::PortTestResult, answered ? 0 : 1});
  return answered;
}

}  // namespace skyrelay
