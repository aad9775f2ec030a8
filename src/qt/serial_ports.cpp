#include "qt/serial_ports.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <cstdio>

namespace skyrelay {

std::vector<SerialPortEntry> ListSerialPorts() {
  std::vector<SerialPortEntry> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    SerialPortEntry port;
    port.name = info.portName().toStdString();
    port.location = info.systemLocation().toStdString();
    port.description = info.description().toStdString();
    port.manufacturer = info.manufacturer().toStdString();
    port.serialNumber = info.serialNumber().toStdString();
    if (info.hasVendorIdentifier()) port.vendorId = info.vendorIdentifier();
    if (info.hasProductIdentifier()) port.productId = info.productIdentifier();
    ports.push_back(std::move(port));
  }
  std::sort(ports.begin(), ports.end(),
            [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.name < b.name; });
  return ports;
}

std::string DescribeSerialPort(const SerialPortEntry& port) {
  std::vector<std::string> parts;
  if (!port.description.empty()) parts.push_back(port.description);
  if (!port.manufacturer.empty() && port.manufacturer != port.description) {
    parts.push_back(port.manufacturer);
  }
  if (port.vendorId || port.productId) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "USB %04x:%04x", port.vendorId.value_or(0),
                  port.productId.value_or(0));
    parts.push_back(ids);
  }
  if (!port.serialNumber.empty()) parts.push_back("Seriennummer " + port.serialNumber);
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

}  // namespace skyrelay
