// Opening and closing the serial port for the chosen interface, including the
// text dialogue that switches the command station's own serial interface to
// LocoNet at 19200 baud.
//
// Every operation returns 0 on success and 1 on failure; a failure has already
// been shown to the user when it returns.
#pragma once

#include <string>

#include "core/context.h"

namespace skyrelay {

// Opens the port for ctx.settings.InterfaceKind if it is closed (kind 1: the
// command station's serial interface, kind 3: the fast interfaces, any other
// kind opens nothing), closes it if it is open. After a failed set-up the port
// is closed and the status line shows "Fehler".
int TogglePort(Context& ctx);

// The port opening of an update run: the run always works on a port it opened
// itself, whatever a port test left behind. An open port is closed and opened
// again with TogglePort; a closed one is opened. Result as TogglePort.
int OpenPortForRun(Context& ctx);

// Ends a run or port test whose interface went away (LinkLostError): the one
// message naming the port, "Fehler" in the status line, the outgoing message
// dropped and the port closed.
void ReportLinkLost(Context& ctx);

// Interface kind 3: 115200 baud, 8 data bits, no parity, 1 stop bit, DTR and
// RTS off.
int OpenHighSpeedInterface(Context& ctx);

// Interface kind 1: a text dialogue at 2400 baud, then 19200 baud, 8 data bits,
// no parity, 2 stop bits.
int OpenStationSerialInterface(Context& ctx);

// The serial device for the port number the user typed: a device path
// ("/dev/ttyUSB0") or a device name ("ttyACM0" -> "/dev/ttyACM0") as it stands,
// a number n >= 1 or "COMn" as the n-th serial port ("3" -> "/dev/ttyS2").
// Empty when the text names no port ("", "0", "-1", "abc!").
std::string PortDeviceForNumber(const std::string& comPortNumber);

}  // namespace skyrelay
