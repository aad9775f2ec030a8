#include "package/display_code.h"

#include <vector>

#include "core/text_codec.h"

namespace skyrelay {

namespace {

constexpr std::string_view kDigitsAndLetters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Codes 36 to 52, after the digits and the letters.
constexpr std::string_view kSpecialCharacters[] = {
    "\xC3\x84",  // 36 Ä
    "\xC3\x96",  // 37 Ö
    "\xC3\x9C",  // 38 Ü
    " ",         // 39
    "+",        "-", ".", ":", "/", "=", "_", "?", "<", ">", "^",
    "|",  // 51
    "]",  // 52
};

constexpr int kLastCharacterCode = 52;

}  // namespace

std::string_view DisplayCharacter(int code) {
  if (code < 0 || code > kLastCharacterCode) return "&";
  const auto index = static_cast<size_t>(code);
  if (index < kDigitsAndLetters.size()) return kDigitsAndLetters.substr(index, 1);
  return kSpecialCharacters[index - kDigitsAndLetters.size()];
}

int CharToDisplayCode(std::string_view utf8Char) {
  for (int code = 0; code <= kLastCharacterCode; code++) {
    if (DisplayCharacter(code) == utf8Char) return code;
  }
  return BlankDisplayCode;
}

void TextToDisplayCodes(const std::string& text, std::array<int, 513>& target, int start,
                        int width) {
  const std::vector<std::string> characters = Utf8Characters(ToUpperText(text));
  for (int p = 0; p < width; p++) {
    const auto position = static_cast<size_t>(p);
    target[static_cast<size_t>(start + p)] =
        position < characters.size() ? CharToDisplayCode(characters[position]) : BlankDisplayCode;
  }
}

std::string DisplayCodesToText(const std::array<int, 513>& source, int start, int count) {
  std::string text;
  for (int index = start; index < start + count; index++) {
    text += DisplayCharacter(source[static_cast<size_t>(index)]);
  }
  return text;
}

}  // namespace skyrelay
