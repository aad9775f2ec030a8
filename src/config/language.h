// Language texts: a text file of "NN: text" lines written, text by text, into
// the text area of one language in the handheld's DataFlash.
#pragma once

#include <string>

#include "config/transfer.h"

namespace skyrelay {

// Takes the file as the package layer reads it (ReadLanguageFile) and writes its texts into
// language `languageNumber`. A line whose third character is not ':' (a blank line too) ends the
// file: the texts before it are written, then "Falsche Dateiformat!" is shown. A file that cannot
// be read is reported and skipped. Both count as a shortfall; only a handheld command that gets
// no answer ends the transfer (false).
bool TransferLanguageFile(ConfigurationTarget& target, const std::string& path, int languageNumber);

// Writes one text (UTF-8, `length` characters, 1 to 21) into its slot: the page
// is loaded into buffer 1 first, so the other texts of the page stay.
bool WriteLanguageText(ConfigurationTarget& target, int languageNumber, int textNumber,
                       const std::string& text, int length);

}  // namespace skyrelay
