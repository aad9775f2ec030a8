// The handheld's display character code: 53 characters, codes 0 to 52. Texts
// written into the handheld are turned into codes, texts read from it back into
// text, both through ctx.display.DisplayCodeTable. Characters are UTF-8.
#pragma once

#include <array>
#include <string>

#include "core/context.h"

namespace skyrelay {

// The code of a blank; also the code of every character the display does not know.
inline constexpr int BlankDisplayCode = 39;

// Fills ctx.display: codes 0 to 52 with their characters, LastDisplayCode = 52,
// codes 53 to 255 with "&". Start-up calls it once, before the first conversion;
// a Context does not fill the table by itself.
void BuildDisplayCodeTable(Context& ctx);

// The code of one character (a UTF-8 text of one character), compared exactly
// with the table entries 0 to LastDisplayCode; 39 when none matches.
int CharToDisplayCode(const Context& ctx, const std::string& utf8Char);

// Upper-cases the text (a -> A, ä -> Ä), cuts it to width characters or pads it
// with blanks, and writes exactly width codes to target[start .. start + width - 1].
// Indexes outside the array are skipped; a width of 0 or less writes nothing.
void TextToDisplayCodes(const Context& ctx, const std::string& text, std::array<int, 513>& target,
                        int start, int width);

// The text of the codes at source[start .. start + count - 1]. A value outside
// 0..255 is taken by its low byte; codes 53 to 255 decode to "&". Indexes
// outside the array are skipped, so the text then has fewer than count characters.
std::string DisplayCodesToText(const Context& ctx, const std::array<int, 513>& source, int start,
                               int count);

}  // namespace skyrelay
