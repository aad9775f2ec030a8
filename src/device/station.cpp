#include "device/station.h"

#include "core/text_codec.h"
#include "device/long_message.h"

namespace skyrelay {

namespace {

constexpr double kStationTimeout = 2.0;
constexpr double kStationPause = 0.5;

}  // namespace

Station::Data Station::BootLoaderData(int d1) {
  Data d{};
  d[1] = d1;
  d[2] = d[3] = d[4] = 0x7F;
  for (int k = 0; k < 8; k++) d[9 + k] = kStationCode[k];
  return d;
}

LongMessage Station::StationMessage(int f1, int f2, int f3, const Data& data) {
  LongMessage m(0x4E, 0x57);
  m.SetFields(7, 7, f1, f2, f3);
  for (int d = 1; d <= 20; d++) m.SetData(d, data[d]);
  return m;
}

void Station::SendAndPause(int f3, const Data& data) {
  devices_.link().Send(StationMessage(3, 1, f3, data).Packed());
  devices_.link().WaitSeconds(kStationPause);
}

Result<int> Station::enter_boot_loader() {
  DeviceLink& a = devices_;
  a.replyStatus = -1;
  a.stationReplyState = -1;
  if (!a.Exchange(StationMessage(3, 7, 0, BootLoaderData(0)).Packed(), Command::EnterBootLoader,
                  kStationTimeout, [&] {
                    return a.replyStatus == 1 || (a.stationReplyState == 1 && a.replyStatus == 127);
                  })) {
    return CommandError{Command::EnterBootLoader};
  }

  a.stationReplyState = 0;
  a.replyStatus = -1;
  if (!a.Exchange(StationMessage(3, 4, 0, BootLoaderData(0)).Packed(), Command::BootLoaderVersion,
                  kStationTimeout, [&] { return a.replyStatus != -1; })) {
    return CommandError{Command::BootLoaderVersion};
  }
  bootLoaderVersion_ = a.replyStatus;
  return bootLoaderVersion_;
}

Done Station::finish_update_mode() {
  DeviceLink& a = devices_;
  a.replyStatus = 0;
  if (a.Exchange(StationMessage(3, 0, 0, BootLoaderData(bootLoaderVersion_)).Packed(),
                 Command::LeaveUpdateMode, kStationTimeout, [&] { return a.replyStatus == 127; })) {
    return Ok();
  }
  return CommandError{Command::LeaveUpdateMode};
}

void Station::station_clear() {
  SendAndPause(0, Data{});
}

void Station::station_set_value(int value, int smallValue) {
  Data d{};
  d[1] = value & 0xFF;
  d[2] = (value >> 8) & 0xFF;
  d[3] = smallValue & 0xFF;
  d[4] = smallValue & 0xFF;
  SendAndPause(1, d);
}

void Station::station_send_text(const std::string& text) {
  Data d{};
  const std::string bytes = Utf8ToCp1252(text);
  for (size_t i = 0; i < bytes.size() && i < 20; i++) d[i + 1] = static_cast<uint8_t>(bytes[i]);
  SendAndPause(3, d);
}

Result<int64_t> Station::read_station_id() {
  DeviceLink& a = devices_;
  static constexpr uint8_t kRequest[14] = {0xED, 0x0F, 0x01, 0x4E, 0x51, 0x07, 0,
                                           0,    0,    0,    0,    0,    0,    0};
  a.stationId = -1;
  if (!a.Exchange(
          kRequest, Command::StationId, kStationTimeout, [&] { return a.stationId != -1; },
          TimeTest::AfterYield)) {
    return CommandError{Command::StationId};
  }
  return a.stationId;
}

}  // namespace skyrelay
