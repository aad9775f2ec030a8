#include "config/language.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "package/description.h"
#include "package/display_code.h"
#include "package/text_codec.h"
#include "protocol/handheld.h"
#include "update/identify.h"

namespace skyrelay {

namespace {

constexpr uint32_t kLanguageAreaSize = 0x2000;  // 16 pages of 16 slots
constexpr uint32_t kTextSlotSize = 32;
constexpr uint32_t kPageSize = 512;

struct TextLine {
  int number = 0;
  std::string text;  // upper case, 1 to 21 characters
  int length = 0;
};

int HexDigitValue(const std::string& character) {
  if (character.size() != 1) return -1;
  const char c = character[0];
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Positions 1 and 2 as a hexadecimal number, up to the first character that is
// not a hexadecimal digit; no digit gives 0.
int TextNumber(const std::vector<std::string>& characters) {
  int number = 0;
  for (size_t i = 0; i < 2 && i < characters.size(); i++) {
    const int digit = HexDigitValue(characters[i]);
    if (digit < 0) break;
    number = number * 16 + digit;
  }
  return number;
}

// One line "NN:?text": false when its third character is not ':'.
bool ParseTextLine(const std::string& line, TextLine& out) {
  const std::vector<std::string> characters = Utf8Characters(line);
  if (characters.size() < 3 || characters[2] != ":") return false;
  out.number = TextNumber(characters);
  // Position 4 is the separator and is not read.
  std::string text;
  for (size_t i = 4; i < characters.size(); i++) text += characters[i];
  std::vector<std::string> upper = Utf8Characters(ToUpperText(text));
  if (upper.size() > MaxTextLength) upper.resize(MaxTextLength);
  out.text.clear();
  for (const std::string& c : upper) out.text += c;
  out.length = static_cast<int>(upper.size());
  if (out.length == 0) {
    out.text.assign(MaxTextLength, ' ');
    out.length = MaxTextLength;
  }
  return true;
}

}  // namespace

void TransferLanguageFile(Context& ctx, const std::string& path, int languageNumber,
                          int& errorFlag) {
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) {
    // A missing language leaves the handheld's texts of that language as they
    // are; the other files still go in, and the run counts as incomplete.
    ctx.upd.configurationShortfall = true;
    ctx.host.Message(path + "\r" + "Datei nicht gefunden!", "Fehler!", Icon::Stop, Buttons::Ok);
    return;
  }

  // The whole file is parsed before the first text goes out; a line in the wrong
  // format ends it, and only the texts before that line are written.
  std::vector<TextLine> texts;
  bool wrongFormat = false;
  for (const std::string& line : SplitLines(DecodeTextFile(bytes))) {
    TextLine parsed;
    if (!ParseTextLine(line, parsed)) {
      wrongFormat = true;
      break;
    }
    texts.push_back(std::move(parsed));
  }

  for (const TextLine& t : texts) {
    WriteLanguageText(ctx, languageNumber, t.number, t.text, t.length, errorFlag);
    if (errorFlag != 0) return;
  }
  if (wrongFormat) {
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
  TextToDisplayCodes(ctx, text, buf, 5, length);

  // 36 = opcode, three address bytes and the 32 bytes of the slot.
  if ((errorFlag = write_to_spibuf(ctx, 0, 0)) != 0) return;
  if ((errorFlag = write_to_spibuf(ctx, 20, 36)) != 0) return;
  errorFlag = write_buf1_to_flash(ctx, page);
}

}  // namespace skyrelay
