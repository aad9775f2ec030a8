// The command station's update-mode commands.
#pragma once

#include <cstdint>
#include <string>

#include "device/device_link.h"
#include "device/long_message.h"

namespace skyrelay {

class Station {
 public:
  explicit Station(DeviceLink& devices) : devices_(devices) {}

  // Asks the station into its boot loader and then for the boot loader's
  // version; the value is the version.
  Result<int> enter_boot_loader();
  // Releases the station from its update mode, naming the boot loader version
  // it reported last.
  Done finish_update_mode();
  // The version a release names when this program did not ask the boot loader
  // itself (the release after an interrupted run).
  void set_boot_loader_version(int version) { bootLoaderVersion_ = version; }
  // The station's display: cleared; a value with a small value; a text (UTF-8,
  // sent in Windows-1252, cut after 20 characters). Each is sent and followed by
  // a half-second pause; no answer is awaited.
  void station_clear();
  void station_set_value(int value, int smallValue);
  void station_send_text(const std::string& text);
  // The station's identification number (decimal digits as the station sends them).
  Result<int64_t> read_station_id();

 private:
  // D1..D20 at index 1..20.
  using Data = std::array<int, 21>;
  static LongMessage StationMessage(int f1, int f2, int f3, const Data& data);
  // A display command (fields 3, 1, f3): sent, then half a second's pause.
  void SendAndPause(int f3, const Data& data);
  static Data BootLoaderData(int d1);

  DeviceLink& devices_;
  // What the station's boot loader reported last; the release names it.
  int bootLoaderVersion_ = 0;
};

}  // namespace skyrelay
