#include "package/language_file.h"

#include "package/package_file.h"
#include "core/text_codec.h"

namespace skyrelay {

namespace {

int HexDigitValue(const std::string& character) {
  if (character.size() != 1) return -1;
  const char c = character[0];
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One line "NN:?text": false when its third character is not ':'.
bool ParseTextLine(const std::string& line, LanguageText& out) {
  // Only the first four characters are taken apart; the text is the rest.
  std::vector<std::string> head;
  size_t at = 0;
  while (head.size() < 4 && at < line.size()) {
    const size_t next = Utf8CharacterEnd(line, at);
    head.push_back(line.substr(at, next - at));
    at = next;
  }
  if (head.size() < 3 || head[2] != ":") return false;
  // Positions 1 and 2 as a hexadecimal number, up to the first character that
  // is not a hexadecimal digit; no digit gives 0.
  out.number = 0;
  for (size_t i = 0; i < 2; i++) {
    const int digit = HexDigitValue(head[i]);
    if (digit < 0) break;
    out.number = out.number * 16 + digit;
  }
  out.written = line.substr(at);
  std::vector<std::string> upper =
      Utf8Characters(ToUpperText(Utf8Prefix(out.written, MaxTextLength)));
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

LanguageFile ParseLanguageFile(const std::string& bytes) {
  LanguageFile file;
  int lineNumber = 0;
  for (const std::string& line : SplitLines(DecodeTextFile(bytes))) {
    lineNumber++;
    LanguageText parsed;
    parsed.line = lineNumber;
    if (!ParseTextLine(line, parsed)) {
      file.wrongFormatLine = lineNumber;
      break;
    }
    file.texts.push_back(std::move(parsed));
  }
  return file;
}

std::string ReadLanguageFile(HeldFiles& held, const std::string& path, LanguageFile& file) {
  file = LanguageFile{};
  std::string bytes;
  if (const FileProblem problem = ReadHeldFile(held, path, LanguageFileLimit, bytes)) {
    return problem.text;
  }
  file = ParseLanguageFile(bytes);
  return std::string();
}

}  // namespace skyrelay
