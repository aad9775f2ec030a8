#include "update/firmware_update.h"

#include <cmath>

#include "device/flash.h"
#include "package/firmware_file.h"
#include "package/numbers.h"

namespace skyrelay {

namespace {

constexpr int kLastBlock = 496;
constexpr int kPageRetryLimit = 4;

class FirmwareUpdate {
 public:
  FirmwareUpdate(Host& host, Handheld& handheld, FirmwareResult& result)
      : host_(host), handheld_(handheld), r_(result) {}

  // The version question: false when the user declined.
  bool AskVersion(const HandheldIdentity& identity, const FirmwareReader& reader);
  // Writes the image page by page into the DataFlash, each page read back.
  bool StageImage(FirmwareReader& reader);
  // The loco the handheld will ask for after its restart, from its settings block.
  std::optional<int> ExpectedLoco();
  // Starts the installation and waits for the restarted handheld's loco request.
  bool AwaitRestart(int expectedLoco, const std::string& productName);
  // Wakes the restarted handheld up and reads its new version.
  void CheckNewVersion(const std::string& fileVersion);

  void Decline() {
    handheld_.send_pm01(true);
    handheld_.devices().link().WaitSeconds(1);
    r_.outcome = FirmwareOutcome::Declined;
    r_.configurationMayFollow = false;
  }

  void Fail(FirmwareFailure failure, NoticeKind notice) {
    host_.Message(Notice{notice, {}});
    host_.SetStatus(StatusLine{StatusKind::Error});
    r_.outcome = FirmwareOutcome::Failed;
    r_.failure = failure;
    r_.configurationMayFollow = false;
  }

  // A command of the current phase got no answer: reported, and the sequence ends.
  void CommandFailed(const CommandError& error) {
    host_.Message(Notice{NoticeKind::LocoNetOutputError, {std::to_string(phase_)}});
    host_.SetStatus(StatusLine{StatusKind::Error});
    r_.outcome = FirmwareOutcome::Failed;
    r_.failure = FirmwareFailure::Command;
    r_.error = error;
    r_.phase = phase_;
    r_.configurationMayFollow = false;
  }

  int phase_ = 0;

 private:
  Host& host_;
  Handheld& handheld_;
  FirmwareResult& r_;
};

bool FirmwareUpdate::AskVersion(const HandheldIdentity& identity, const FirmwareReader& reader) {
  const double installed = ReadLeadingNumber(identity.version);
  const double offered = ReadLeadingNumber(reader.VersionText());
  if (installed == offered) {
    if (host_.Message(Notice{NoticeKind::SoftwareCurrent, {}, true}) != Answer::Yes) {
      host_.SetStatus(StatusLine{StatusKind::SoftwareCurrent});
      return false;
    }
  }
  // Going back to an older version is the user's decision, never a default.
  const Answer go = host_.Message(
      Notice{NoticeKind::LoadVersion,
             {identity.kindText, identity.versionText, reader.VersionText(), reader.DateText()},
             offered < installed});
  if (go != Answer::Yes) {
    host_.SetStatus(StatusLine{StatusKind::Clear});
    return false;
  }
  return true;
}

bool FirmwareUpdate::StageImage(FirmwareReader& reader) {
  PageImage page{};
  int n = 0;
  int section = 0;
  int lastFailedBlock = 0;
  int pageRetries = 0;
  phase_ = 1;
  std::array<int, 65> data{};
  while (n <= kLastBlock) {
    host_.Progress(ProgressStage::Firmware, n, kLastBlock + 1);
    host_.SetStatus(StatusLine{StatusKind::FirmwarePercent, n * 100 / kLastBlock});
    host_.Yield();
    int blockNumber = -1;
    if (!reader.ReadRecord(blockNumber, data) || blockNumber != n) {
      Fail(FirmwareFailure::BadFile, NoticeKind::BadFirmwareFile);
      return false;
    }
    section = n & 7;
    std::copy_n(data.begin(), 64, page[section].begin());
    Done written = WriteBuffer1(handheld_, static_cast<uint32_t>(section) * 64,
                                std::span<const int>(data.data(), 64), 60, 0x30);
    if (written && section == 7) {
      const uint32_t address = FlashImageBase + static_cast<uint32_t>(n & 0x1F8) * 64;
      // A time-out here has been reported; the read-back decides.
      handheld_.write_buf1_to_flash(address);
      written = VerifyPage(handheld_, address, page, 7);
      r_.pagesWritten++;
      if (written) {
        r_.pagesVerified++;
        lastFailedBlock = 0;
        pageRetries = 0;
      } else {
        // Read back wrong, or not at all: the page is written again.
        r_.pagesRepeated++;
        if (lastFailedBlock == 0) pageRetries = 1;
        if (lastFailedBlock == n && ++pageRetries > kPageRetryLimit) {
          Fail(FirmwareFailure::PageNotWritten, NoticeKind::FlashBlockFailed);
          return false;
        }
        lastFailedBlock = n;
        n -= 8;
        reader.Rewind528();
        n++;
        continue;
      }
    }
    if (!written) {
      CommandFailed(written.error());
      return false;
    }
    n++;
  }

  // The last page holds fewer than eight blocks.
  Done last = Ok();
  if (section != 7) {
    const uint32_t address = FlashImageBase + static_cast<uint32_t>(kLastBlock & 0x1F8) * 64;
    handheld_.write_buf1_to_flash(address);
    last = VerifyPage(handheld_, address, page, section);
    r_.pagesWritten++;
    if (last) r_.pagesVerified++;
  }
  host_.Progress(ProgressStage::Firmware, kLastBlock + 1, kLastBlock + 1);
  phase_ = 2;
  if (!last) {
    CommandFailed(last.error());
    return false;
  }
  return true;
}

std::optional<int> FirmwareUpdate::ExpectedLoco() {
  phase_ = 3;
  const Result<std::vector<int>> settings = ReadFlash(handheld_, SettingsBlockAddress, 128);
  if (!settings) {
    CommandFailed(settings.error());
    return std::nullopt;
  }
  return settings.value()[114] * 128 + settings.value()[113];
}

bool FirmwareUpdate::AwaitRestart(int expectedLoco, const std::string& productName) {
  DeviceLink& devices = handheld_.devices();
  host_.Message(Notice{NoticeKind::Installing, {}});
  handheld_.start_firmware_update();
  devices.requestedLoco = -1;
  const double installStart = host_.Now();
  double waitStart = installStart;
  long shownFrame = -1;
  while (devices.requestedLoco == -1) {
    host_.Yield();
    if (host_.Now() - waitStart > RestartQuestionSeconds) {
      // The request may have come in while the program stood still.
      devices.link().TakeInReceived();
      if (devices.requestedLoco != -1) break;
      if (host_.Message(Notice{NoticeKind::RestartWait, {productName}}) != Answer::Yes) {
        r_.outcome = FirmwareOutcome::Failed;
        r_.failure = FirmwareFailure::RestartAbandoned;
        return false;
      }
      waitStart = host_.Now();
    }
    const long quarter = std::lround(host_.Now() * 4);
    const long frame = ((quarter % 8) + 8) % 8;
    if (frame != shownFrame) {
      host_.SetStatus(StatusLine{StatusKind::RestartWait, quarter});
      // Counted from the installation's start, up to the next question.
      host_.Progress(ProgressStage::Restart, static_cast<int>(host_.Now() - installStart),
                     static_cast<int>(waitStart - installStart + RestartQuestionSeconds));
      shownFrame = frame;
    }
  }
  if (devices.requestedLoco != expectedLoco) {
    host_.Message(Notice{NoticeKind::WrongLoco, {productName}});
    r_.outcome = FirmwareOutcome::Failed;
    r_.failure = FirmwareFailure::WrongLoco;
    return false;
  }
  return true;
}

void FirmwareUpdate::CheckNewVersion(const std::string& fileVersion) {
  phase_ = 4;
  handheld_.devices().link().WaitSeconds(1);
  if (Done woke = handheld_.send_pm01(false); !woke) return CommandFailed(woke.error());
  phase_ = 5;
  const Result<Block> info = handheld_.read_info_block();
  if (!info) return CommandFailed(info.error());
  const std::string newVersion = FirmwareVersionText(info.value()[0], info.value()[1]);
  handheld_.send_pm01(true);
  handheld_.devices().link().WaitSeconds(1);
  if (newVersion != fileVersion) {
    host_.Message(Notice{NoticeKind::WrongVersion, {}});
    r_.outcome = FirmwareOutcome::Failed;
    r_.failure = FirmwareFailure::WrongVersion;
    return;
  }
  host_.Message(Notice{NoticeKind::FirmwareOk, {}});
  host_.SetStatus(StatusLine{StatusKind::FirmwareOk});
  r_.installedVersion = newVersion;
  r_.outcome = FirmwareOutcome::Ok;
}

}  // namespace

void UpdateHandheldFirmware(Host& host, Handheld& handheld, Description& description,
                            const HandheldIdentity& identity, const std::string& productName,
                            FirmwareResult& result) {
  result = FirmwareResult{};
  FirmwareUpdate update(host, handheld, result);

  const std::string& path = identity.kind == HandheldKind::Radio ? description.radioFirmwarePath
                            : identity.kind == HandheldKind::DigitalSet
                                ? description.digitalSetFirmwarePath
                                : std::string();
  if (description.radioFirmwarePath.empty() && description.digitalSetFirmwarePath.empty()) {
    // A package of configuration data only: nothing is missing from it.
    result.outcome = FirmwareOutcome::NoFirmwareInPackage;
    return;
  }
  if (path.empty()) {
    host.SetStatus(StatusLine{StatusKind::NoFirmwareForKind});
    result.outcome = FirmwareOutcome::NoFirmwareFile;
    return;
  }
  FirmwareReader reader;
  const bool opened = reader.Open(description.heldFiles, path);
  if (identity.articleNumber != "58400") {
    host.Message(Notice{NoticeKind::NotApplicable, {}});
    result.outcome = FirmwareOutcome::NotApplicable;
    return;
  }
  if (!opened) {
    // The file was sound when the description was loaded; now it is gone or cut short.
    update.Fail(FirmwareFailure::BadFile, reader.Problem().failure != FileFailure::Missing
                                              ? NoticeKind::BadFirmwareFile
                                              : NoticeKind::FirmwareFileMissing);
    return;
  }

  if (!update.AskVersion(identity, reader)) {
    update.Decline();
    return;
  }
  if (!update.StageImage(reader)) return;
  const std::optional<int> expectedLoco = update.ExpectedLoco();
  if (!expectedLoco) return;
  if (!update.AwaitRestart(*expectedLoco, productName)) return;
  update.CheckNewVersion(reader.VersionText());
}

}  // namespace skyrelay
