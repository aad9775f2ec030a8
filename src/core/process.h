// Set-up every program does before it opens anything.
#pragma once

namespace skyrelay {

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed, so that
// no file or serial port the program opens later becomes standard input, output
// or error (a program started with "0<&- 1>&- 2>&-" would otherwise write its
// status texts into whatever it opened next).
void MakeStandardDescriptorsValid();

}  // namespace skyrelay
