// Opening and closing the serial port for the chosen interface, including the
// text dialogue that switches the command station's own serial interface to
// LocoNet at 19200 baud.
#pragma once

#include <optional>
#include <string>

#include "core/events.h"
#include "core/settings_file.h"
#include "link/link.h"

namespace skyrelay {

// Nothing when the set-up went through; otherwise what to tell the user.
using SetupResult = std::optional<Notice>;

// Opens the port for settings.InterfaceKind if it is closed (kind 1: the
// command station's serial interface, written byte by byte; kind 3: the fast
// interfaces; any other kind opens nothing), closes it if it is open. After a
// failed set-up the port is closed.
SetupResult TogglePort(Link& link, const Settings& settings);
// The port opening of an update run: the run always works on a port it opened
// itself, whatever a port test left behind. An open port is closed and opened
// again with TogglePort; a closed one is opened.
SetupResult OpenPortForRun(Link& link, const Settings& settings);
// Ends a run or port test whose interface went away (LinkLostError): the port
// closed and the outgoing message dropped; the notice names the port.
Notice LinkLost(Link& link, const Settings& settings);
// Interface kind 3: 115200 baud, 8 data bits, no parity, 1 stop bit, DTR and
// RTS off.
SetupResult OpenHighSpeedInterface(Host& host, const Settings& settings);
// Interface kind 1: a text dialogue at 2400 baud, then 19200 baud, 8 data bits,
// no parity, 2 stop bits.
SetupResult OpenStationSerialInterface(Link& link, const Settings& settings);
// The serial device for the port number the user typed: a device path
// ("/dev/ttyUSB0") or a device name ("ttyACM0" -> "/dev/ttyACM0") as it stands,
// a number n >= 1 or "COMn" as the n-th serial port ("3" -> "/dev/ttyS2").
// Empty when the text names no port ("", "0", "-1", "abc!").
std::string PortDeviceForNumber(const std::string& comPortNumber);

}  // namespace skyrelay
