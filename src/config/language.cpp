#include "config/language.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "package/display_code.h"
#include "protocol/handheld.h"
#include "update/identify.h"

namespace skyrelay {

namespace {

constexpr uint32_t kLanguageAreaSize = 0x2000;  // 16 pages of 16 slots
constexpr uint32_t kTextSlotSize = 32;
constexpr uint32_t kPageSize = 512;

}  // namespace

void TransferLanguageFile(Context& ctx, const std::string& path, int languageNumber,
                          int& errorFlag) {
  LanguageFile file;
  if (const std::string problem = ReadLanguageFile(ctx.desc.heldFiles, path, file);
      !problem.empty()) {
    // A missing language leaves the handheld's texts of that language as they
    // are; the other files still go in, and the run counts as incomplete.
    ctx.upd.configurationShortfall = true;
    ctx.host.Message(path + "\r" + problem + "!", "Fehler!", Icon::Stop, Buttons::Ok);
    return;
  }

  // The whole file is parsed before the first text goes out; a line in the wrong
  // format ends it, and only the texts before that line are written.
  for (const LanguageText& t : file.texts) {
    WriteLanguageText(ctx, languageNumber, t.number, t.text, t.length, errorFlag);
    if (errorFlag != 0) return;
  }
  if (file.wrongFormatLine != 0) {
    ctx.upd.configurationShortfall = true;
    ctx.host.Message(path + "\r" + "Falsche Dateiformat!", "Fehler!", Icon::Stop, Buttons::Ok);
  }
}

void WriteLanguageText(Context& ctx, int languageNumber, int textNumber, const std::string& text,
                       int length, int& errorFlag) {
  ctx.host.SetStatus("Sprache:" + std::to_string(languageNumber) +
                     " Txt:" + std::to_string(textNumber));
  const uint32_t page = LanguageTextBase + kLanguageAreaSize * languageNumber +
                        kPageSize * static_cast<uint32_t>(textNumber / 16);
  const uint32_t offset = kTextSlotSize * static_cast<uint32_t>(textNumber % 16);

  if ((errorFlag = move_spibuf_to_buf1(ctx, page)) != 0) return;

  auto& buf = ctx.ans.DataBuf;
  buf[0] = 0x84;
  buf[1] = 0x00;
  buf[2] = static_cast<int>(offset / 256);
  buf[3] = static_cast<int>(offset % 256);
  buf[4] = length;
  // The slot's bytes after the last code carry no meaning; they get blanks
  // rather than whatever the buffer held from an earlier command.
  for (int i = 5; i < 4 + static_cast<int>(kTextSlotSize); i++) buf[i] = BlankDisplayCode;
  TextToDisplayCodes(text, buf, 5, length);

  // 36 = opcode, three address bytes and the 32 bytes of the slot.
  if ((errorFlag = write_to_spibuf(ctx, 0, 0)) != 0) return;
  if ((errorFlag = write_to_spibuf(ctx, 20, 36)) != 0) return;
  errorFlag = write_buf1_to_flash(ctx, page);
}

}  // namespace skyrelay
