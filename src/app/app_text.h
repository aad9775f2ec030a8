// Small text helpers of the desktop program.
#pragma once

#include <QString>
#include <string>

namespace skyrelay::app {

// A message text as a label shows it: the "\n\r" and "\r" line breaks of the
// core's texts become plain new lines.
QString DisplayText(const std::string& text);

// "Version: 1.0.0": the program's major, minor and revision number.
QString ProgramVersionText();

// The folder the program was started from.
std::string ProgramFolder();

}  // namespace skyrelay::app
