// Checks an update package without touching any port: the description and every
// file it names.
#pragma once

#include <string>
#include <vector>

namespace skyrelay {

struct PackageProblem {
  std::string file;  // the file the problem is in
  int line = 0;      // 1-based line (text files) or record number + 1 (firmware); 0: none
  std::string text;  // German, for the user
  // A warning: the package loads and transfers, but the handheld would not show
  // what the file says (unknown key, character outside the display code, text
  // too long, mixed or broken encoding, carriage-return-only line ends).
  bool warning = false;
};

// Loads the description as the programs do and checks what it names: the
// firmware files (header, announced version, every record and block number),
// the language files (every line's format), the turnout files (their sizes) and
// the character files (at least 10 bytes), and warns about everything the
// handheld would show differently from the files. A description that is not
// text or names nothing gives the one problem "Keine Update-Datei: " and the
// path, with an empty file. Empty when the package is sound.
std::vector<PackageProblem> CheckPackage(const std::string& descriptionPath);

}  // namespace skyrelay
