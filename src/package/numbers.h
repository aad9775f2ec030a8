// Numbers as the description file and the firmware files write them.
#pragma once

#include <string>

namespace skyrelay {

// Reads the number at the start of a text: blanks are skipped wherever they
// stand, an optional sign, digits, and the point as the only decimal separator.
// Reading stops at the first character that cannot continue the number, so
// "1,5" reads as 1 and "1.5 vom: 3.11.9" as 1.5; a text without digits reads as 0.
// "1.50" and "1.5" give the same number.
double ReadLeadingNumber(const std::string& text);

// A number in the form the user reads in the main window: the shortest decimal
// form that gives the number back, a comma as decimal separator, no exponent
// (1.50 -> "1,5", 2 -> "2").
std::string FormatUserNumber(double value);

}  // namespace skyrelay
