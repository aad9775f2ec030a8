// Language text files: one "NN:?text" line per text (NN the text number in
// hexadecimal, position 4 a separator that is not read). Windows-1252 unless the
// whole file is valid UTF-8, lines ending in CR LF or LF.
#pragma once

#include <string>
#include <vector>

#include "package/package_file.h"

namespace skyrelay {

// Characters a text slot holds at most.
inline constexpr int MaxTextLength = 21;

struct LanguageText {
  int line = 0;         // 1-based line of the file
  int number = 0;       // text number 0 to 255
  std::string written;  // the text as the file writes it (position 5 to the end), UTF-8
  std::string text;     // what goes into the handheld: upper case, cut to 21 characters,
                        // 21 blanks for an empty text
  int length = 0;       // characters of text, 1 to 21
};

struct LanguageFile {
  std::vector<LanguageText> texts;  // the texts before the first line in the wrong format
  int wrongFormatLine = 0;          // that line (third character not ':'); 0: none
};

// The texts of a language file's bytes. Reading stops at the first line whose
// third character is not ':' (a blank line too).
LanguageFile ParseLanguageFile(const std::string& bytes);

// Reads (its held copy: see ReadHeldFile) and parses the file at path. Empty when it could be read;
// otherwise the German problem without the path ("Datei nicht gefunden", "Datei zu groß: ...").
std::string ReadLanguageFile(HeldFiles& held, const std::string& path, LanguageFile& file);

}  // namespace skyrelay
