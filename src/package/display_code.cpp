#include "package/display_code.h"

#include <algorithm>
#include <vector>

#include "core/text_codec.h"

namespace skyrelay {

namespace {

// Codes 36 to 52, after the digits and the letters.
constexpr const char* kSpecialCharacters[] = {
    "\xC3\x84",  // 36 Ä
    "\xC3\x96",  // 37 Ö
    "\xC3\x9C",  // 38 Ü
    " ",         // 39
    "+",        "-", ".", ":", "/", "=", "_", "?", "<", ">", "^",
    "|",  // 51
    "]",  // 52
};

constexpr int kLastCharacterCode = 52;
constexpr int kTableSize = 256;

}  // namespace

void BuildDisplayCodeTable(Context& ctx) {
  auto& table = ctx.display.DisplayCodeTable;
  table.fill(std::string());
  for (int digit = 0; digit <= 9; digit++)
    table[digit] = std::string(1, static_cast<char>('0' + digit));
  for (int letter = 0; letter < 26; letter++) {
    table[10 + letter] = std::string(1, static_cast<char>('A' + letter));
  }
  int code = 36;
  // A fresh string moved into place: assigning the C string directly makes
  // GCC 12 at -O2 report a false -Wrestrict overlap inside std::string.
  for (const char* special : kSpecialCharacters) table[code++] = std::string(special);
  ctx.display.LastDisplayCode = kLastCharacterCode;
  for (int rest = ctx.display.LastDisplayCode + 1; rest < kTableSize; rest++) {
    table[rest] = std::string("&");
  }
}

int CharToDisplayCode(const Context& ctx, const std::string& utf8Char) {
  const auto& table = ctx.display.DisplayCodeTable;
  const int last = std::clamp(ctx.display.LastDisplayCode, -1, kTableSize - 1);
  for (int code = 0; code <= last; code++) {
    if (table[code] == utf8Char) return code;
  }
  return BlankDisplayCode;
}

void TextToDisplayCodes(const Context& ctx, const std::string& text, std::array<int, 513>& target,
                        int start, int width) {
  if (width <= 0) return;
  const std::vector<std::string> characters = Utf8Characters(ToUpperText(text));
  const long long size = static_cast<long long>(target.size());
  for (long long p = 0; p < width; p++) {
    const long long index = static_cast<long long>(start) + p;
    if (index < 0) continue;
    if (index >= size) break;
    const size_t position = static_cast<size_t>(p);
    target[static_cast<size_t>(index)] = position < characters.size()
                                             ? CharToDisplayCode(ctx, characters[position])
                                             : BlankDisplayCode;
  }
}

std::string DisplayCodesToText(const Context& ctx, const std::array<int, 513>& source, int start,
                               int count) {
  std::string text;
  const long long size = static_cast<long long>(source.size());
  const long long first = std::max<long long>(start, 0);
  const long long end = std::min<long long>(static_cast<long long>(start) + count, size);
  for (long long index = first; index < end; index++) {
    const int code = source[static_cast<size_t>(index)] & 0xFF;
    text += ctx.display.DisplayCodeTable[static_cast<size_t>(code)];
  }
  return text;
}

}  // namespace skyrelay
