#include "update/firmware_update.h"

#include <cmath>

#include "link/link.h"
#include "package/firmware_file.h"
#include "package/numbers.h"
#include "protocol/flash.h"
#include "protocol/handheld.h"

namespace skyrelay {

namespace {

using Outcome = UpdateState::FirmwareOutcome;

constexpr int kLastBlock = 496;
constexpr int kPageRetryLimit = 4;
constexpr const char* kBadFileText =
    "Das Update-File ist nicht in Ordnung\n\r oder passt nicht zum Gerät!";

// Reports a failed LocoNet command of the current phase and ends the sequence.
void ReportLocoNetError(Context& ctx, FirmwareReader& reader, int& errorFlag, int result) {
  ctx.host.Message("Fehler bei einer Ausgabe auf LocoNet: " + std::to_string(ctx.upd.UpdateStep),
                   "Fehler", Icon::Stop, Buttons::Ok);
  ctx.host.SetStatus("Fehler");
  reader.Close();
  errorFlag = result;
  ctx.upd.firmwareOutcome = Outcome::Failed;
}

void Decline(Context& ctx, FirmwareReader& reader, int& errorFlag) {
  reader.Close();
  send_pm01(ctx, true);
  WaitSeconds(ctx, 1);
  errorFlag = 99;
  ctx.upd.firmwareOutcome = Outcome::Declined;
}

}  // namespace

std::string RestartAnimationFrame(double seconds) {
  static const char* const kFrames[8] = {"##        ", "  ##      ", "    ##    ", "      ##  ",
                                         "        ##", "      ##  ", "    ##    ", "  ##      "};
  const long phase = std::lround(seconds * 4) % 8;
  return kFrames[phase < 0 ? phase + 8 : phase];
}

void UpdateHandheldFirmware(Context& ctx, const std::string& handheldVersionText,
                            const std::string& articleNumber, int& errorFlag) {
  Host& host = ctx.host;
  UpdateState& u = ctx.upd;

  // Preparation.
  const std::string& path = u.HandheldKind == 1   ? ctx.desc.radioFirmwarePath
                            : u.HandheldKind == 2 ? ctx.desc.digitalSetFirmwarePath
                                                  : std::string();
  if (path.empty()) {
    host.SetStatus("Fehler im Updatefile!");
    u.firmwareOutcome = Outcome::NoFirmwareFile;
    return;
  }
  FirmwareReader reader;
  const bool opened = reader.Open(ctx.desc.heldFiles, path);
  if (articleNumber != "58400") {
    host.Message("Fehler!", "", Icon::Stop, Buttons::Ok);
    reader.Close();
    u.firmwareOutcome = Outcome::NotApplicable;
    return;
  }
  if (!opened) {
    // The file was sound when the description was loaded; now it is gone or cut short.
    if (reader.Problem().failure != FileFailure::Missing) {
      host.Message(kBadFileText, "Fehler", Icon::Stop, Buttons::Ok);
    } else {
      host.Message("Updatefile nicht vorhanden!", "Achtung!", Icon::Stop, Buttons::Ok);
    }
    host.SetStatus("Fehler");
    errorFlag = 11;
    u.firmwareOutcome = Outcome::Failed;
    return;
  }
  const std::string fileVersion = reader.VersionText();
  const std::string fileDate = reader.DateText();

  // Version comparison.
  const size_t vom = handheldVersionText.find("vom");
  const std::string installedPart =
      vom == std::string::npos ? std::string() : handheldVersionText.substr(0, vom + 1);
  if (ReadLeadingNumber(installedPart) == ReadLeadingNumber(fileVersion)) {
    const Answer a = host.Message(
        "Die Handregler Software ist aktuell!\r\r   Ein Update ist nicht notwendig!\r\r    "
        "Update trotzdem durchführen? ",
        "Update", Icon::Information, Buttons::YesNo);
    if (a != Answer::Yes) {
      host.SetStatus("Software aktuell!");
      Decline(ctx, reader, errorFlag);
      return;
    }
  }
  const Answer go = host.Message(
      u.HandheldKindText + " :\r\rVersion im Handregler: " + handheldVersionText +
          "\r\rSoll die Version " + fileVersion + " vom " + fileDate + " geladen werden?",
      "Update", Icon::None, Buttons::YesNo);
  if (go != Answer::Yes) {
    host.SetStatus("");
    Decline(ctx, reader, errorFlag);
    return;
  }

  // Phase 1: stage the image page by page.
  int n = 0;
  int section = 0;
  u.LastFailedBlock = 0;
  u.PageRetries = 0;
  u.UpdateStep = 1;
  std::array<int, 65> data{};
  while (n <= kLastBlock) {
    host.Progress(ProgressStage::Firmware, n, kLastBlock);
    host.SetStatus(std::to_string(n * 100 / kLastBlock) + "%");
    host.Yield();
    int blockNumber = -1;
    if (!reader.ReadRecord(blockNumber, data) || blockNumber != n) {
      errorFlag = 11;
      host.Message(kBadFileText, "Fehler", Icon::Stop, Buttons::Ok);
      host.SetStatus("Fehler");
      reader.Close();
      u.firmwareOutcome = Outcome::Failed;
      return;
    }
    errorFlag = write_flash_section(ctx, n, data, section);
    if (errorFlag == VerifyMismatch) {
      u.pagesWritten++;
      u.pagesRepeated++;
      if (u.LastFailedBlock == 0) u.PageRetries = 1;
      if (u.LastFailedBlock == n) {
        u.PageRetries++;
        if (u.PageRetries > kPageRetryLimit) {
          host.Message("Flash Block kann nicht beschrieben werden!", "Achtung!", Icon::Stop,
                       Buttons::Ok);
          host.SetStatus("Fehler");
          reader.Close();
          errorFlag = 1;
          u.firmwareOutcome = Outcome::Failed;
          return;
        }
      }
      u.LastFailedBlock = n;
      n -= 8;
      reader.Rewind528();
      errorFlag = 0;
    } else if (section == 7 && errorFlag == 0) {
      u.pagesWritten++;
      u.pagesVerified++;
      u.LastFailedBlock = 0;
      u.PageRetries = 0;
    }
    if (errorFlag != 0) {
      ReportLocoNetError(ctx, reader, errorFlag, errorFlag);
      return;
    }
    n++;
  }

  // Phase 2: the last page holds fewer than eight blocks.
  if (section != 7) {
    const uint32_t lastPage = FlashImageBase + static_cast<uint32_t>(kLastBlock & 0x1F8) * 64;
    write_buf1_to_flash(ctx, lastPage);
    errorFlag = verify_flash_page(ctx, lastPage, section);
    u.pagesWritten++;
    if (errorFlag == 0) u.pagesVerified++;
  }
  u.UpdateStep = 2;
  if (errorFlag != 0) {
    ReportLocoNetError(ctx, reader, errorFlag, errorFlag);
    return;
  }
  reader.Close();

  // Phase 3: the loco the handheld will ask for after its restart.
  u.UpdateStep = 3;
  int result = read_flash_to_spibuf(ctx, SettingsBlockAddress, 128);
  for (int offset = 0; result == 0 && offset <= 120; offset += 20)
    result = read_spibuf(ctx, offset);
  if (result != 0) {
    ReportLocoNetError(ctx, reader, errorFlag, result);
    return;
  }
  const int expectedLoco = ctx.ans.DataBuf[122] * 128 + ctx.ans.DataBuf[121];

  // Installation and restart.
  host.Message(
      "     Das Update wird jetzt geladen!            \rBitte den Handregler nicht von LocoNet "
      "trennen\r    und das Ende des Vorgangs abwarten! (ca. 60s)",
      "Achtung!", Icon::Stop, Buttons::Ok);
  start_firmware_update(ctx);
  ctx.ans.RequestedLocoAddress = -1;
  double waitStart = host.Now();
  std::string shownFrame;
  while (ctx.ans.RequestedLocoAddress == -1) {
    host.Yield();
    if (host.Now() - waitStart > RestartQuestionSeconds) {
      // The request may have come in while the program stood still.
      TakeInReceived(ctx);
      if (ctx.ans.RequestedLocoAddress != -1) break;
      const Answer a =
          host.Message(ctx.ProductName + " meldet sich nicht zurück!\r     weiter warten?     ",
                       "Achtung", Icon::Stop, Buttons::YesNo);
      if (a != Answer::Yes) {
        u.firmwareOutcome = Outcome::Failed;
        return;
      }
      waitStart = host.Now();
    }
    const std::string frame = RestartAnimationFrame(host.Now());
    if (frame != shownFrame) {
      host.SetStatus(frame);
      shownFrame = frame;
    }
  }
  if (ctx.ans.RequestedLocoAddress != expectedLoco) {
    host.Message(ctx.ProductName + " hat die falsche Lok beim Starten angemeldet!", "Update 58400",
                 Icon::Stop, Buttons::Ok);
    u.firmwareOutcome = Outcome::Failed;
    return;
  }

  // Final checks.
  u.UpdateStep = 4;
  WaitSeconds(ctx, 1);
  result = send_pm01(ctx, false);
  if (result != 0) {
    ReportLocoNetError(ctx, reader, errorFlag, result);
    return;
  }
  u.UpdateStep = 5;
  result = read_info_block(ctx);
  if (result != 0) {
    ReportLocoNetError(ctx, reader, errorFlag, result);
    return;
  }
  const std::string newVersion = FirmwareVersionText(ctx.ans.DataBuf[0], ctx.ans.DataBuf[1]);
  u.UpdateStep = 6;
  send_pm01(ctx, true);
  WaitSeconds(ctx, 1);
  if (newVersion != fileVersion) {
    host.Message("Es wurde die falsche Version nach dem Update gelesen!", "Update 58400",
                 Icon::Stop, Buttons::Ok);
    u.firmwareOutcome = Outcome::Failed;
    return;
  }
  host.Message(
      "     Firmware-Update ok!      \r\r Jetzt erhält der Handregler u.U. \r  noch neue Daten, "
      "bitte nicht \r          ausschalten!",
      "Update 58400", Icon::Information, Buttons::Ok);
  host.SetStatus("Firmware ok!");
  u.installedVersion = newVersion;
  errorFlag = 0;
  u.firmwareOutcome = Outcome::Ok;
}

}  // namespace skyrelay
