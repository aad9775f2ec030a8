// What is wrong with an update package, as data: loading the description and
// checking the package report their findings this way, and each front end
// decides how to show them.
#pragma once

#include <string>

namespace skyrelay {

enum class ProblemKind {
  // The description itself; each ends the load.
  DescriptionUnreadable,  // missing, or no permission to read it
  DescriptionRefused,     // a folder, FIFO, device, or larger than a description can be
  NotADescription,        // not text, or names nothing the system knows
  // A firmware file the description names; the first ends the load.
  FirmwareMissing,       // missing, or cannot be read
  FirmwareRefused,       // a folder, FIFO, device, or larger than an image
  FirmwareWrongFormat,   // the header differs, or the file ends within it
  FirmwareWrongVersion,  // not the announced version
  // Found by the package check only.
  TooManyCharacterFiles,  // a 101st "ZEICHEN=" line; it and all after it are ignored
  FileUnusable,           // a named file that cannot be read, or is too short
  FirmwareTooShort,       // fewer than 497 whole block records
  WrongBlockNumber,       // a block record out of order
  WrongLineFormat,        // a language file line whose third character is not ':'
  ValuesOver255,          // a turnout file value the handheld takes only the low byte of
  // Warnings: the package loads, but the handheld would not show what the file says.
  UnknownKey,
  TextEncoding,  // mixed or broken encoding, lines ended by a carriage return alone
  CharacterNotOnDisplay,
  TextTooLong,
};

struct PackageProblem {
  ProblemKind kind = ProblemKind::FileUnusable;
  // Every member has an initializer, so that a problem is written with only the
  // members it needs: {ProblemKind::FirmwareMissing, path}.
  std::string file{};  // the file the problem is in
  int line = 0;        // 1-based line (text files) or record number + 1 (firmware); 0: none
  // What the kind needs besides file and line: why a file is refused ("keine
  // Datei, sondern ein Ordner"), or the version a firmware file carries ("2.1").
  std::string detail{};
  std::string text{};  // German, as the package check lists it; the load leaves it empty
  bool warning = false;

  friend bool operator==(const PackageProblem&, const PackageProblem&) = default;
};

}  // namespace skyrelay
