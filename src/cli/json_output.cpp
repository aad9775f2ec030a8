#include "cli/json_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>

#include "cli/options.h"
#include "core/json_writer.h"
#include "core/translate.h"
#include "device/flash.h"
#include "package/package_check.h"

namespace skyrelay::cli {

namespace {

// The stable codes of the typed events and results. Each switch names every
// value, so that a new one cannot go without its code.

const char* StageCode(ProgressStage stage) {
  switch (stage) {
    case ProgressStage::Firmware:
      return "firmware";
    case ProgressStage::Restart:
      return "restart";
    case ProgressStage::Backup:
      return "backup";
    case ProgressStage::LanguageTexts:
      return "language-texts";
    case ProgressStage::TurnoutSymbols:
      return "turnout-symbols";
    case ProgressStage::TurnoutAssignment:
      return "turnout-assignment";
    case ProgressStage::TurnoutList:
      return "turnout-list";
    case ProgressStage::Characters:
      return "characters";
    case ProgressStage::Settings:
      return "settings";
  }
  return "other";
}

const char* StatusCode(StatusKind kind) {
  switch (kind) {
    case StatusKind::Clear:
      return "clear";
    case StatusKind::Start:
      return "start";
    case StatusKind::Error:
      return "error";
    case StatusKind::ReadingVersion:
      return "reading-version";
    case StatusKind::StationUpdateMode:
      return "station-update-mode";
    case StatusKind::ReleasingStation:
      return "releasing-station";
    case StatusKind::UpdateFinished:
      return "update-finished";
    case StatusKind::UpdateFailed:
      return "update-failed";
    case StatusKind::UpdateCancelled:
      return "update-cancelled";
    case StatusKind::NoFirmwareForKind:
      return "no-firmware-for-kind";
    case StatusKind::SoftwareCurrent:
      return "software-current";
    case StatusKind::FirmwarePercent:
      return "firmware-percent";
    case StatusKind::RestartWait:
      return "restart-wait";
    case StatusKind::FirmwareOk:
      return "firmware-ok";
    case StatusKind::WakeUpAttempt:
      return "wake-up-attempt";
    case StatusKind::PortTestResult:
      return "port-test-result";
    case StatusKind::Language:
      return "language";
    case StatusKind::TurnoutSymbol:
      return "turnout-symbol";
    case StatusKind::TurnoutAssignment:
      return "turnout-assignment";
    case StatusKind::TurnoutList:
      return "turnout-list";
    case StatusKind::NewConfiguration:
      return "new-configuration";
    case StatusKind::ExtraCharacterFiles:
      return "extra-character-files";
    case StatusKind::Text:
      return "text";
    case StatusKind::BackupReading:
      return "backup-reading";
    case StatusKind::BackupSaved:
      return "backup-saved";
    case StatusKind::RestorePage:
      return "restore-page";
  }
  return "other";
}

// Whether a status of this kind carries a number.
bool HasNumber(StatusKind kind) {
  switch (kind) {
    case StatusKind::FirmwarePercent:
    case StatusKind::RestartWait:
    case StatusKind::WakeUpAttempt:
    case StatusKind::PortTestResult:
    case StatusKind::Language:
    case StatusKind::TurnoutSymbol:
    case StatusKind::TurnoutAssignment:
    case StatusKind::RestorePage:
      return true;
    default:
      return false;
  }
}

// Statuses that count up ("Mag.Sym.:17") or animate: of a run of them only the
// first and the last are written (the progress objects tell how far the run
// is). The key tells runs apart; empty for other statuses.
std::string CounterKey(const StatusLine& status) {
  switch (status.kind) {
    case StatusKind::Language:
      return "language " + std::to_string(status.number / 1000);
    case StatusKind::FirmwarePercent:
    case StatusKind::RestartWait:
    case StatusKind::WakeUpAttempt:
    case StatusKind::TurnoutSymbol:
    case StatusKind::TurnoutAssignment:
    case StatusKind::RestorePage:
      return StatusCode(status.kind);
    default:
      return "";
  }
}

const char* NoticeCode(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::MessageNotSent:
      return "message-not-sent";
    case NoticeKind::CommandTimeout:
      return "command-timeout";
    case NoticeKind::PortError:
      return "port-error";
    case NoticeKind::StationPortError:
      return "station-port-error";
    case NoticeKind::InterfaceDialogue:
      return "interface-dialogue";
    case NoticeKind::LinkLost:
      return "link-lost";
    case NoticeKind::NoUpdateFile:
      return "no-update-file";
    case NoticeKind::SettingMissing:
      return "setting-missing";
    case NoticeKind::PortOpenFailed:
      return "port-open-failed";
    case NoticeKind::UnexpectedError:
      return "unexpected-error";
    case NoticeKind::HandheldUnknown:
      return "handheld-unknown";
    case NoticeKind::NotApplicable:
      return "not-applicable";
    case NoticeKind::BadFirmwareFile:
      return "bad-firmware-file";
    case NoticeKind::FirmwareFileMissing:
      return "firmware-file-missing";
    case NoticeKind::SoftwareCurrent:
      return "software-current";
    case NoticeKind::LoadVersion:
      return "load-version";
    case NoticeKind::FlashBlockFailed:
      return "flash-block-failed";
    case NoticeKind::LocoNetOutputError:
      return "loconet-output-error";
    case NoticeKind::Installing:
      return "installing";
    case NoticeKind::RestartWait:
      return "restart-wait";
    case NoticeKind::WrongLoco:
      return "wrong-loco";
    case NoticeKind::WrongVersion:
      return "wrong-version";
    case NoticeKind::FirmwareOk:
      return "firmware-ok";
    case NoticeKind::ConfigurationFileUnusable:
      return "configuration-file-unusable";
    case NoticeKind::LanguageFileFormat:
      return "language-file-format";
    case NoticeKind::SettingsNotWritten:
      return "settings-not-written";
    case NoticeKind::DescriptionUnreadable:
      return "description-unreadable";
    case NoticeKind::FirmwareFileProblem:
      return "firmware-file-problem";
    case NoticeKind::FirmwareFileFormat:
      return "firmware-file-format";
    case NoticeKind::WrongFirmwareVersion:
      return "wrong-firmware-version";
    case NoticeKind::PackageProblems:
      return "package-problems";
    case NoticeKind::BackupFailed:
      return "backup-failed";
    case NoticeKind::RestoreQuestion:
      return "restore-question";
  }
  return "other";
}

const char* IconCode(Icon icon) {
  switch (icon) {
    case Icon::None:
      return "none";
    case Icon::Stop:
      return "stop";
    case Icon::Information:
      return "information";
    case Icon::Critical:
      return "critical";
  }
  return "none";
}

const char* CauseCode(RunCause cause) {
  switch (cause) {
    case RunCause::None:
      return "none";
    case RunCause::Cancelled:
      return "cancelled";
    case RunCause::PortMissing:
      return "port-missing";
    case RunCause::PortNoPermission:
      return "port-no-permission";
    case RunCause::PortInUse:
      return "port-in-use";
    case RunCause::PortUnusable:
      return "port-unusable";
    case RunCause::SettingMissing:
      return "setting-missing";
    case RunCause::PackageFileMissing:
      return "file-missing";
    case RunCause::PackageBroken:
      return "package-broken";
    case RunCause::NoEcho:
      return "no-echo";
    case RunCause::LinkLost:
      return "link-lost";
    case RunCause::NoStation:
      return "no-station";
    case RunCause::NoHandheld:
      return "no-handheld";
    case RunCause::HandheldUnknown:
      return "not-recognised";
    case RunCause::NoFirmwareForKind:
      return "no-firmware-for-handheld";
    case RunCause::RefusedWithoutForce:
      return "needs-force";
    case RunCause::Declined:
      return "declined";
    case RunCause::HandheldSilent:
      return "handheld-silent";
    case RunCause::PageNotWritten:
      return "page-not-written";
    case RunCause::RestartProblem:
      return "restart-problem";
    case RunCause::BackupFailed:
      return "backup-failed";
    case RunCause::ConfigurationIncomplete:
      return "configuration-incomplete";
    case RunCause::ReleaseUnconfirmed:
      return "release-unconfirmed";
    case RunCause::Other:
      return "other";
  }
  return "other";
}

const char* ProblemCode(ProblemKind kind) {
  switch (kind) {
    case ProblemKind::DescriptionUnreadable:
      return "description-unreadable";
    case ProblemKind::DescriptionRefused:
      return "description-refused";
    case ProblemKind::NotADescription:
      return "not-a-description";
    case ProblemKind::FirmwareMissing:
      return "firmware-missing";
    case ProblemKind::FirmwareRefused:
      return "firmware-refused";
    case ProblemKind::FirmwareWrongFormat:
      return "firmware-wrong-format";
    case ProblemKind::FirmwareWrongVersion:
      return "firmware-wrong-version";
    case ProblemKind::TooManyCharacterFiles:
      return "too-many-character-files";
    case ProblemKind::FileUnusable:
      return "file-unusable";
    case ProblemKind::FirmwareTooShort:
      return "firmware-too-short";
    case ProblemKind::WrongBlockNumber:
      return "wrong-block-number";
    case ProblemKind::WrongLineFormat:
      return "wrong-line-format";
    case ProblemKind::ValuesOver255:
      return "values-over-255";
    case ProblemKind::UnknownKey:
      return "unknown-key";
    case ProblemKind::TextEncoding:
      return "text-encoding";
    case ProblemKind::CharacterNotOnDisplay:
      return "character-not-on-display";
    case ProblemKind::TextTooLong:
      return "text-too-long";
  }
  return "other";
}

const char* RunEndCode(RunEnd end) {
  switch (end) {
    case RunEnd::NotRun:
      return "not-run";
    case RunEnd::Finished:
      return "finished";
    case RunEnd::Failed:
      return "failed";
    case RunEnd::Cancelled:
      return "cancelled";
  }
  return "other";
}

const char* FirmwareCode(FirmwareOutcome outcome) {
  switch (outcome) {
    case FirmwareOutcome::NotRun:
      return "not-run";
    case FirmwareOutcome::Ok:
      return "ok";
    case FirmwareOutcome::NoFirmwareFile:
      return "no-firmware-for-handheld";
    case FirmwareOutcome::NoFirmwareInPackage:
      return "no-firmware-in-package";
    case FirmwareOutcome::Declined:
      return "declined";
    case FirmwareOutcome::NotApplicable:
      return "not-applicable";
    case FirmwareOutcome::Failed:
      return "failed";
  }
  return "other";
}

const char* ConfigurationCode(ConfigurationEnd end) {
  switch (end) {
    case ConfigurationEnd::NotRun:
      return "not-run";
    case ConfigurationEnd::Done:
      return "done";
    case ConfigurationEnd::CommandFailed:
      return "command-failed";
    case ConfigurationEnd::FileUnusable:
      return "file-unusable";
    case ConfigurationEnd::SettingsNotWritten:
      return "settings-not-written";
  }
  return "other";
}

const char* ReleaseCode(Release release) {
  switch (release) {
    case Release::NotNeeded:
      return "not-needed";
    case Release::Confirmed:
      return "confirmed";
    case Release::Unconfirmed:
      return "unconfirmed";
  }
  return "other";
}

const char* BackupEndCode(BackupEnd end) {
  switch (end) {
    case BackupEnd::NotRun:
      return "not-run";
    case BackupEnd::Saved:
      return "saved";
    case BackupEnd::ReadFailed:
      return "read-failed";
    case BackupEnd::SaveFailed:
      return "save-failed";
    case BackupEnd::Skipped:
      return "skipped";
  }
  return "other";
}

const char* RestoreEndCode(RestoreEnd end) {
  switch (end) {
    case RestoreEnd::NotRun:
      return "not-run";
    case RestoreEnd::FileUnusable:
      return "file-unusable";
    case RestoreEnd::PortFailed:
      return "port-failed";
    case RestoreEnd::NoHandheld:
      return "no-handheld";
    case RestoreEnd::Declined:
      return "declined";
    case RestoreEnd::Failed:
      return "failed";
    case RestoreEnd::Done:
      return "done";
  }
  return "other";
}

const char* HandheldKindCode(HandheldKind kind) {
  switch (kind) {
    case HandheldKind::Unknown:
      return "unknown";
    case HandheldKind::Radio:
      return "radio";
    case HandheldKind::DigitalSet:
      return "digital-set";
  }
  return "unknown";
}

const char* AreaCode(FlashAreaKind area) {
  switch (area) {
    case FlashAreaKind::TurnoutAssignment:
      return "turnout-assignment";
    case FlashAreaKind::TurnoutSymbols:
      return "turnout-symbols";
    case FlashAreaKind::Characters:
      return "characters";
    case FlashAreaKind::LanguageTexts:
      return "language-texts";
    case FlashAreaKind::Settings:
      return "settings";
    case FlashAreaKind::TurnoutList:
      return "turnout-list";
    case FlashAreaKind::Other:
      return "other";
  }
  return "other";
}

// A text with message-box line breaks ("\r", "\n\r") as one line: blanks
// between its parts.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
    line += c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

void Handheld(JsonWriter& w, const HandheldIdentity& id) {
  w.BeginObject()
      .Member("article", id.articleNumber)
      .Member("kind", HandheldKindCode(id.kind))
      .Member("kind_text", id.kindText)
      .Member("version", id.version)
      .Member("version_text", id.versionText)
      .EndObject();
}

// An area of the handheld's flash: its code, its German name, where it lies.
void Area(JsonWriter& w, uint32_t address, size_t size) {
  w.BeginObject()
      .Member("area", AreaCode(FlashAreaOf(address)))
      .Member("name", FlashAreaName(address))
      .Member("address", address)
      .Member("size", static_cast<unsigned long>(size))
      .EndObject();
}

double WallClock() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

JsonOutput::JsonOutput(std::FILE* out, std::string command)
    : out_(out), command_(std::move(command)), wallBegan_(WallClock()) {}

JsonOutput::~JsonOutput() {
  if (out_ != stdout) std::fclose(out_);
}

std::unique_ptr<JsonOutput> JsonOutput::OnStandardOutput(std::string command) {
  std::fflush(stdout);
  // The JSON lines keep the descriptor standard output had; the descriptor 1
  // becomes standard error, so that whatever else is printed there goes to it.
  const int fd = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
  std::FILE* out = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
  if (!out) return std::make_unique<JsonOutput>(stdout, std::move(command));
  ::dup2(2, 1);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return std::make_unique<JsonOutput>(out, std::move(command));
}

void JsonOutput::Write(const std::string& line) {
  // A reader that went away changes nothing for the run.
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void JsonOutput::Emit(const JsonWriter& w) {
  FlushCounter();
  Write(w.text());
}

void JsonOutput::FlushCounter() {
  if (!skippedCounter_.empty()) Write(skippedCounter_);
  skippedCounter_.clear();
}

void JsonOutput::OnStatus(const StatusLine& status) {
  JsonWriter w;
  w.BeginObject().Member("type", "status").Member("kind", StatusCode(status.kind));
  if (HasNumber(status.kind)) w.Member("number", status.number);
  w.Member("text", GermanStatus(status)).EndObject();
  const std::string key = CounterKey(status);
  if (!key.empty() && key == lastCounterKey_) {
    skippedCounter_ = w.text();
    return;
  }
  lastCounterKey_ = key;
  Emit(w);
}

void JsonOutput::OnProgress(const RunProgress& p) {
  const int stage = static_cast<int>(p.stage);
  const bool complete = p.stageTotal > 0 && p.stageDone >= p.stageTotal;
  if (stage != lastStage_) {
    JsonWriter w;
    w.BeginObject()
        .Member("type", "stage")
        .Member("stage", StageCode(p.stage))
        .Member("name", GermanStageName(p.stage))
        .Member("total", p.stageTotal)
        .EndObject();
    Write(w.text());
  } else if (p.percent == lastPercent_ && complete == lastStageComplete_) {
    // A line per percent of the whole run, and the stage's last step.
    return;
  }
  lastStage_ = stage;
  lastPercent_ = p.percent;
  lastStageComplete_ = complete;
  JsonWriter w;
  w.BeginObject()
      .Member("type", "progress")
      .Member("stage", StageCode(p.stage))
      .Member("done", p.stageDone)
      .Member("total", p.stageTotal)
      .Member("percent", p.percent)
      .Member("elapsed", p.elapsed)
      .Member("remaining", p.remaining);
  if (p.stage == ProgressStage::Restart)
    w.Member("waited", p.waited).Member("wait_limit", p.waitLimit);
  w.Member("text", GermanProgress(p)).EndObject();
  Write(w.text());
}

void JsonOutput::OnShown(const ShownMessage& shown, std::optional<NoticeKind> kind,
                         std::string_view ownKind, bool risky, std::optional<Answer> answer) {
  const bool question = shown.buttons == Buttons::YesNo;
  lastCounterKey_.clear();
  JsonWriter w;
  w.BeginObject()
      .Member("type", question ? "question" : "message")
      .Member("kind", kind              ? std::string_view(NoticeCode(*kind))
                      : ownKind.empty() ? std::string_view("program")
                                        : ownKind)
      .Member("icon", IconCode(shown.icon))
      .Member("title", shown.title)
      .Member("text", PlainLines(shown.text));
  if (question) {
    w.Member("risky", risky);
    if (answer) {
      w.Member("answer", *answer == Answer::Yes ? "yes" : "no");
    } else {
      w.NullMember("answer");
    }
    // No given for the user: --yes does not say Yes to a risky question.
    w.Member("refused", answer == Answer::Refused);
  }
  w.EndObject();
  Emit(w);
}

void JsonOutput::Check(const std::string& path, const std::vector<PackageProblem>& problems) {
  int errors = 0, warnings = 0;
  RunReport report;
  for (const PackageProblem& p : problems) {
    (p.warning ? warnings : errors)++;
    if (!p.warning) report.packageProblems.push_back(p);
    JsonWriter w;
    w.BeginObject()
        .Member("type", "problem")
        .Member("code", ProblemCode(p.kind))
        .Member("warning", p.warning)
        .Member("file", p.file);
    if (p.line > 0) {
      w.Member("line", p.line);
    } else {
      w.NullMember("line");
    }
    w.Member("detail", p.detail).Member("text", ProblemLine(p)).EndObject();
    Emit(w);
  }
  JsonWriter w;
  w.BeginObject()
      .Member("type", "check")
      .Member("path", path)
      .Member("ok", problems.empty())
      .Member("problems", errors)
      .Member("warnings", warnings)
      .EndObject();
  Emit(w);
  if (errors > 0) {
    // The package's problems as an update would name them.
    Fail(CauseCode(CauseOf(report)), GermanCause(report));
  } else if (warnings > 0) {
    Fail("package-warnings", Tr("Cli", "Das Update-Paket hat Warnungen."));
  }
}

void JsonOutput::Info(const DeviceInfo& info) {
  JsonWriter w;
  w.BeginObject().Member("type", "info").Key("station");
  if (info.stationId) {
    w.BeginObject()
        .Member("id", static_cast<long long>(*info.stationId))
        .Member("update_mode", info.stationNeedsUpdateMode)
        .EndObject();
  } else {
    w.Null();
  }
  w.Member("handheld_answered", info.handheldAnswered).Key("handheld");
  if (info.handheldAnswered) {
    Handheld(w, info.handheld.identity);
  } else {
    w.Null();
  }
  w.EndObject();
  Emit(w);
}

void JsonOutput::Ports(const std::vector<SerialPortEntry>& ports) {
  const auto usbId = [](JsonWriter& w, const char* key, std::optional<uint16_t> id) {
    if (!id) {
      w.NullMember(key);
      return;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04x", *id);
    w.Member(key, hex);
  };
  JsonWriter w;
  w.BeginObject().Member("type", "ports").Key("ports").BeginArray();
  for (const SerialPortEntry& port : ports) {
    w.BeginObject()
        .Member("device", port.location)
        .Member("name", port.name)
        .Member("description", port.description)
        .Member("manufacturer", port.manufacturer)
        .Member("serial_number", port.serialNumber);
    usbId(w, "vendor_id", port.vendorId);
    usbId(w, "product_id", port.productId);
    w.EndObject();
  }
  w.EndArray().EndObject();
  Emit(w);
}

void JsonOutput::Backup(const std::string& path, const BackupCommandResult& r,
                        const std::vector<FlashArea>& areas) {
  JsonWriter w;
  w.BeginObject()
      .Member("type", "backup")
      .Member("path", path)
      .Member("end", BackupEndCode(r.backup.end))
      .Member("saved", r.backup.end == BackupEnd::Saved)
      .Member("bytes", static_cast<unsigned long>(r.backup.bytes))
      .Member("seconds", r.backup.seconds)
      .Key("handheld");
  Handheld(w, r.identity);
  w.Key("areas").BeginArray();
  for (const FlashArea& area : areas) Area(w, area.address, area.size);
  w.EndArray().EndObject();
  Emit(w);
  if (r.backup.end == BackupEnd::Saved) backupPath_ = path;
}

void JsonOutput::Restore(const std::string& path, const RestoreResult& r) {
  JsonWriter w;
  w.BeginObject()
      .Member("type", "restore")
      .Member("path", path)
      .Member("end", RestoreEndCode(r.end))
      .Member("ok", r.ok())
      .Key("file")
      .BeginObject()
      .Member("article", r.file.article)
      .Member("version", r.file.version)
      .Member("date", r.file.date)
      .Member("time", r.file.time)
      .Key("areas")
      .BeginArray();
  for (const auto& [address, bytes] : r.file.image) Area(w, address, bytes.size());
  w.EndArray().EndObject().Key("handheld");
  if (r.identity.articleNumber.empty()) {
    w.Null();
  } else {
    Handheld(w, r.identity);
  }
  w.Member("pages_written", r.pagesWritten).Key("pages_wrong").BeginArray();
  for (uint32_t page : r.pagesWrong) Area(w, page, FlashPageSize);
  w.EndArray().EndObject();
  Emit(w);
  pagesWritten_ = r.pagesWritten;
}

void JsonOutput::ReleaseResult(const StationRelease& release, const std::string& port,
                               int interfaceKind, bool afterInterruptedRun) {
  JsonWriter w;
  w.BeginObject()
      .Member("type", "release")
      .Member("confirmed", release.confirmed)
      .Member("port", port)
      .Member("interface", interfaceKind)
      .Member("after_interrupted_run", afterInterruptedRun)
      .EndObject();
  Emit(w);
}

void JsonOutput::Fail(std::string code, std::string text) {
  if (!failure_) failure_ = Failure{std::move(code), std::move(text)};
}

void JsonOutput::Ended(const RunReport& report, long answersRepeated, double now) {
  report_ = report;
  answersRepeated_ = answersRepeated;
  ended_ = now;
}

void JsonOutput::Report(int exitStatus, int signal) {
  const bool update = command_ == "update";
  const bool world = report_.has_value();
  // A run ended by a signal says so, whatever it had got to.
  std::optional<Failure> failure;
  if (signal != 0 && exitStatus == 128 + signal) {
    failure = Failure{"cancelled", "Abgebrochen."};
  } else if (exitStatus != 0) {
    failure = failure_;
    if (!failure && exitStatus == 2) failure = Failure{"usage", WrongUsageText()};
    if (!failure && world) {
      if (const RunCause cause = CauseOf(*report_); cause != RunCause::None) {
        failure = Failure{CauseCode(cause), GermanCause(*report_)};
      }
    }
    if (!failure) failure = Failure{"other", ""};
    if (failure->text.empty() && world && update) failure->text = RunVerdict(*report_);
  }
  JsonWriter w;
  w.BeginObject()
      .Member("type", "report")
      .Member("command", command_)
      .Member("ok", exitStatus == 0)
      .Member("exit", exitStatus);
  if (signal != 0) w.Member("signal", signal);
  w.Member("duration", world ? ended_ - began_ : WallClock() - wallBegan_);
  w.Key("error");
  if (failure) {
    w.BeginObject().Member("code", failure->code).Member("text", failure->text);
    if (world && report_->firstError) {
      w.Key("notice")
          .BeginObject()
          .Member("kind", NoticeCode(report_->firstError->kind))
          .Member("text", OneLine(GermanMessage(*report_->firstError).text))
          .EndObject();
    }
    w.EndObject();
  } else {
    w.Null();
  }
  w.Member("answers_repeated", world && update ? report_->answersRepeated : answersRepeated_);
  if (update && world) {
    const RunReport& r = *report_;
    w.Member("end", RunEndCode(r.end))
        .Member("firmware", FirmwareCode(r.firmware.outcome))
        .Member("firmware_version", r.firmware.installedVersion.empty()
                                        ? std::nullopt
                                        : std::optional<std::string>(r.firmware.installedVersion))
        .Member("pages_written", r.firmware.pagesWritten)
        .Member("pages_verified", r.firmware.pagesVerified)
        .Member("pages_repeated", r.firmware.pagesRepeated)
        .Member("configuration", ConfigurationCode(r.configuration.end))
        .Member("configuration_complete", !r.configuration.shortfall)
        .Member("backup", BackupEndCode(r.backup.end));
    if (r.backup.end == BackupEnd::Saved) backupPath_ = r.backup.path;
    w.Member("release", ReleaseCode(r.release))
        .Member("station_id_unanswered", r.stationIdUnanswered)
        .Member("verdict", RunVerdict(r));
  }
  if (update || command_ == "backup") w.Member("backup_path", backupPath_);
  if (command_ == "restore") w.Member("pages_written", pagesWritten_);
  w.EndObject();
  Emit(w);
}

}  // namespace skyrelay::cli
