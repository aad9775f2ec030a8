// Identification of the connected handheld: its version record, article number
// and kind.
#pragma once

#include <string>

#include "core/context.h"

namespace skyrelay {

inline constexpr uint32_t LanguageTextBase = 0x120000;

// Reads the handheld's information block and decides ctx.upd.HandheldKind.
// errorFlag: 0 identified (or the user chose to go on), 10 not recognised and
// the user declined, otherwise the failed command's result.
void IdentifyHandheld(Context& ctx, std::string& versionText, std::string& articleNumber,
                      int& errorFlag);

// Text `textNumber` of language `languageNumber` as stored in the handheld's flash.
std::string ReadFlashText(Context& ctx, int languageNumber, int textNumber);

}  // namespace skyrelay
