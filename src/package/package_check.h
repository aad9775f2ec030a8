// Checks an update package without touching any port: the description and every
// file it names.
#pragma once

#include <string>
#include <vector>

#include "package/package_problem.h"

namespace skyrelay {

// Loads the description as the programs do and checks what it names: the
// firmware files (header, announced version, every record and block number),
// the language files (every line's format), the turnout files (their sizes) and
// the character files (at least 10 bytes), and warns about everything the
// handheld would show differently from the files. A description that is not
// text or names nothing gives the one problem "Keine Update-Datei: " and the
// path, with an empty file. Each problem has its German text for the listing.
// Empty when the package is sound.
std::vector<PackageProblem> CheckPackage(const std::string& descriptionPath);

// A problem as the check lists it: "file:line: " (as far as known), "Warnung: "
// for a warning, and its text.
std::string ProblemLine(const PackageProblem& problem);

}  // namespace skyrelay
