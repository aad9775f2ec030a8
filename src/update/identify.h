// Identification of the connected handheld: its version record, article number
// and kind.
#pragma once

#include <optional>
#include <string>

#include "core/host.h"
#include "device/handheld.h"

namespace skyrelay {

enum class HandheldKind { Unknown = 0, Radio = 1, DigitalSet = 2 };

struct HandheldIdentity {
  HandheldKind kind = HandheldKind::Unknown;
  std::string kindText;       // as the version question names it
  std::string version;        // "1.2"; empty for an unknown handheld
  std::string versionText;    // "1.2 vom: 3.4.5"; " ? " for an unknown handheld
  std::string articleNumber;  // "58400"
};

struct Identification {
  // The command whose answer never came; empty when the handheld answered.
  std::optional<CommandError> error;
  // The handheld was not recognised and the user chose not to go on.
  bool declined = false;
  HandheldIdentity identity;
  bool ok() const { return !error && !declined; }
};

// Reads the handheld's information block (waking it up once when it does not
// answer) and decides its kind; asks whether to go on with one it does not know.
Identification IdentifyHandheld(Host& host, Handheld& handheld);
// The same reading without the question: writes nothing and asks nothing. The
// version is filled in for a handheld of unknown kind too, as its record says.
Identification ReadHandheldIdentity(Host& host, Handheld& handheld);

// Text `textNumber` of language `languageNumber` as stored in the handheld's
// flash. A read that gets no answer is not evaluated: the codes are taken from
// what the SPI buffer holds.
std::string ReadFlashText(Handheld& handheld, int languageNumber, int textNumber);

}  // namespace skyrelay
