#include "update/identify.h"

#include "package/display_code.h"
#include "package/firmware_file.h"
#include "package/text_codec.h"
#include "protocol/handheld.h"

namespace skyrelay {

namespace {
constexpr const char* kRadioKindText = "Funk- oder LocoNet-Handregler";
constexpr const char* kDigitalSetKindText = "Handregler aus Digital-Set";
}  // namespace

std::string ReadFlashText(Context& ctx, int languageNumber, int textNumber) {
  const uint32_t address = LanguageTextBase + 8192 * languageNumber + 32 * textNumber;
  // A failed read is not evaluated: whatever DataBuf holds is decoded.
  read_flash_to_spibuf(ctx, address, 32);
  read_spibuf(ctx, 0);
  read_spibuf(ctx, 20);
  const int count = ctx.ans.DataBuf[8];
  if (count >= 22 || count < 0) return "";
  return DisplayCodesToText(ctx.ans.DataBuf, 9, count);
}

void IdentifyHandheld(Context& ctx, std::string& versionText, std::string& articleNumber,
                      int& errorFlag) {
  ctx.host.SetStatus("Lese Version");
  errorFlag = read_info_block(ctx);
  if (errorFlag != 0) {
    errorFlag = send_pm01(ctx, false);
    if (errorFlag != 0) return;
    errorFlag = read_info_block(ctx);
    if (errorFlag != 0) return;
  }
  const auto& buf = ctx.ans.DataBuf;
  std::string version = FirmwareVersionText(buf[0], buf[1]);
  const std::string date = FirmwareDateText(buf[2], buf[3], buf[4]);
  std::string article;
  for (int i = 5; i <= 9; i++) article += static_cast<char>(buf[i] & 0xFF);
  articleNumber = Cp1252ToUtf8(article);

  ctx.upd.HandheldKind = 0;
  if (articleNumber == "58400") {
    const std::string text51 = ReadFlashText(ctx, 0, 51);
    const std::string text52 = ReadFlashText(ctx, 0, 52);
    if (text52.find("BELEGT") != std::string::npos && text51.find("FREI") != std::string::npos) {
      ctx.upd.HandheldKind = 1;
      ctx.upd.HandheldKindText = kRadioKindText;
    }
    if (text52.find("GRÜN") != std::string::npos && text51.find("ROT") != std::string::npos) {
      ctx.upd.HandheldKind = 2;
      ctx.upd.HandheldKindText = kDigitalSetKindText;
    }
  }
  if (articleNumber == "58401") {
    ctx.upd.HandheldKind = 1;
    ctx.upd.HandheldKindText = kRadioKindText;
  }
  if (articleNumber == "58402") {
    ctx.upd.HandheldKind = 2;
    ctx.upd.HandheldKindText = kDigitalSetKindText;
  }

  if (ctx.upd.HandheldKind == 0) {
    const Answer a = ctx.host.Message(
        "Handregler konnte nicht erkannt werden!\r\rTrotzdem ein Update versuchen?", "", Icon::None,
        Buttons::YesNo);
    if (a == Answer::Yes) {
      errorFlag = 0;
      versionText = " ? ";
    } else {
      errorFlag = 10;
    }
    return;
  }
  errorFlag = 0;
  versionText = version + " vom: " + date;
}

}  // namespace skyrelay
