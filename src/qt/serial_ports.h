// The serial ports of this computer, as both programs list them for the user
// to tell which one is the LocoNet interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace skyrelay {

struct SerialPortEntry {
  std::string name;      // ttyUSB0
  std::string location;  // /dev/ttyUSB0
  std::string description;
  std::string manufacturer;
  std::string serialNumber;
  std::optional<uint16_t> vendorId;
  std::optional<uint16_t> productId;
};

// Every serial port found, sorted by name.
std::vector<SerialPortEntry> ListSerialPorts();

// "FT232R USB UART, FTDI, USB 0403:6001, Seriennummer A1B2": what is known
// about the port beside its name; empty when nothing is.
std::string DescribeSerialPort(const SerialPortEntry& port);

}  // namespace skyrelay
