// The handheld's display character code: 53 characters, codes 0 to 52. Texts
// written into the handheld are turned into codes, texts read from it back into
// text. Characters are UTF-8.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace skyrelay {

// The code of a blank; also the code of every character the display does not know.
inline constexpr int BlankDisplayCode = 39;

// The character of a code: "0" to "9", "A" to "Z", "Ä", "Ö", "Ü", " ", "+", "-", ".",
// ":", "/", "=", "_", "?", "<", ">", "^", "|", "]" for 0 to 52; "&" for any other value.
std::string_view DisplayCharacter(int code);

// The code of one character (a UTF-8 text of one character), compared exactly
// with the characters of the codes 0 to 52; 39 when none matches.
int CharToDisplayCode(std::string_view utf8Char);

// Upper-cases the text (a -> A, ä -> Ä), cuts it to width characters or pads it
// with blanks, and writes exactly width codes to target[start .. start + width - 1],
// which lie inside the array.
void TextToDisplayCodes(const std::string& text, std::array<int, 513>& target, int start,
                        int width);

// The text of the codes at source[start .. start + count - 1], which lie inside
// the array.
std::string DisplayCodesToText(const std::array<int, 513>& source, int start, int count);

}  // namespace skyrelay
