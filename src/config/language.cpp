#include "config/language.h"

#include <array>
#include <cstdint>

#include "device/flash.h"
#include "package/display_code.h"
#include "package/language_file.h"

namespace skyrelay {

bool TransferLanguageFile(ConfigurationTarget& t, const std::string& path, int languageNumber) {
  LanguageFile file;
  if (const std::string problem = ReadLanguageFile(t.description.heldFiles, path, file);
      !problem.empty()) {
    // A missing language leaves the handheld's texts of that language as they
    // are; the other files still go in, and the run counts as incomplete.
    t.result.shortfall = true;
    t.host.Message(Notice{NoticeKind::ConfigurationFileUnusable, {path, problem}});
    return true;
  }

  // The whole file is parsed before the first text goes out; a line in the wrong
  // format ends it, and only the texts before that line are written.
  for (const LanguageText& text : file.texts) {
    if (!WriteLanguageText(t, languageNumber, text.number, text.text, text.length)) return false;
  }
  if (file.wrongFormatLine != 0) {
    t.result.shortfall = true;
    t.host.Message(Notice{NoticeKind::LanguageFileFormat, {path}});
  }
  return true;
}

bool WriteLanguageText(ConfigurationTarget& t, int languageNumber, int textNumber,
                       const std::string& text, int length) {
  t.host.SetStatus(StatusLine{StatusKind::Language, languageNumber * 1000L + textNumber});
  t.host.Progress(ProgressStage::LanguageTexts, t.textsDone++,
                  t.plan[ProgressStage::LanguageTexts]);
  const uint32_t page = LanguageTextBase + LanguageAreaSize * languageNumber +
                        FlashPageSize * static_cast<uint32_t>(textNumber / 16);
  const uint32_t offset = TextSlotSize * static_cast<uint32_t>(textNumber % 16);

  if (Done d = t.handheld.move_spibuf_to_buf1(page); !d) return t.Failed(d.error());

  // The length, then the codes. The slot's bytes after the last code carry no
  // meaning; they get blanks rather than whatever the buffer held before.
  std::array<int, 513> slot{};
  slot[0] = length;
  for (uint32_t i = 1; i < TextSlotSize; i++) slot[i] = BlankDisplayCode;
  TextToDisplayCodes(text, slot, 1, length);
  if (Done d =
          WriteBuffer1(t.handheld, offset, std::span<const int>(slot.data(), TextSlotSize), 20);
      !d) {
    return t.Failed(d.error());
  }
  if (Done d = t.handheld.write_buf1_to_flash(page); !d) return t.Failed(d.error());
  return true;
}

}  // namespace skyrelay
