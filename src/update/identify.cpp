#include "update/identify.h"

#include "core/text_codec.h"
#include "core/translate.h"
#include "device/flash.h"
#include "package/display_code.h"
#include "package/firmware_file.h"

namespace skyrelay {

namespace {}  // namespace

std::string ReadFlashText(Handheld& handheld, int languageNumber, int textNumber) {
  handheld.read_flash_to_spibuf(TextSlotAddress(languageNumber, textNumber), 32);
  handheld.read_spibuf(0);
  handheld.read_spibuf(20);
  const auto& buf = handheld.devices().spiBuffer;
  const int count = buf[SpiDataOffset];
  if (count >= 22 || count < 0) return "";
  return DisplayCodesToText(buf, SpiDataOffset + 1, count);
}

Identification ReadHandheldIdentity(Host& host, Handheld& handheld) {
  Identification result;
  host.SetStatus(StatusLine{StatusKind::ReadingVersion});
  Result<Block> info = handheld.probe_info_block();
  if (!info) {
    if (Done woke = handheld.send_pm01(false); !woke) {
      result.error = woke.error();
      return result;
    }
    info = handheld.read_info_block();
    if (!info) {
      result.error = info.error();
      return result;
    }
  }
  const Block& buf = info.value();
  const std::string version = FirmwareVersionText(buf[0], buf[1]);
  const std::string date = FirmwareDateText(buf[2], buf[3], buf[4]);
  std::string article;
  for (int i = 5; i <= 9; i++) article += static_cast<char>(buf[i] & 0xFF);
  HandheldIdentity& id = result.identity;
  id.articleNumber = Cp1252ToUtf8(article);

  auto set = [&](HandheldKind kind) {
    id.kind = kind;
    id.kindText = kind == HandheldKind::Radio ? Tr("Identify", "Funk- oder LocoNet-Handregler")
                                              : Tr("Identify", "Handregler aus Digital-Set");
  };
  if (id.articleNumber == "58400") {
    const std::string text51 = ReadFlashText(handheld, 0, 51);
    const std::string text52 = ReadFlashText(handheld, 0, 52);
    if (text52.find("BELEGT") != std::string::npos && text51.find("FREI") != std::string::npos) {
      set(HandheldKind::Radio);
    }
    if (text52.find("GRÜN") != std::string::npos && text51.find("ROT") != std::string::npos) {
      set(HandheldKind::DigitalSet);
    }
  }
  if (id.articleNumber == "58401") set(HandheldKind::Radio);
  if (id.articleNumber == "58402") set(HandheldKind::DigitalSet);

  id.version = version;
  id.versionText = Fill(Tr("Identify", "%1 vom: %2"), {version, date});
  return result;
}

Identification IdentifyHandheld(Host& host, Handheld& handheld) {
  Identification result = ReadHandheldIdentity(host, handheld);
  HandheldIdentity& id = result.identity;
  if (result.error || id.kind != HandheldKind::Unknown) return result;
  // The version record of a handheld not recognised says nothing to the update.
  id.version.clear();
  if (host.Message(Notice{NoticeKind::HandheldUnknown, {}, true}) == Answer::Yes) {
    id.versionText = " ? ";
  } else {
    id.versionText.clear();
    result.declined = true;
  }
  return result;
}

}  // namespace skyrelay
