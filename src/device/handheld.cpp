#include "device/handheld.h"

#include <algorithm>

#include "device/long_message.h"

namespace skyrelay {

namespace {

constexpr uint8_t kHandheld1 = 0x66;
constexpr uint8_t kHandheld2 = 0x33;
constexpr double kCommandTimeout = 2.0;
constexpr double kWakeUpTimeout = 1.0;
constexpr int kWakeUpRetries = 20;

}  // namespace

Done Handheld::AwaitAcknowledge(std::span<const uint8_t> message, Command command) {
  DeviceLink& d = devices_;
  d.replyStatus = 0;
  if (d.Exchange(message, command, kCommandTimeout, [&] { return d.replyStatus == 127; })) {
    return Ok();
  }
  return CommandError{command};
}

Result<Block> Handheld::AwaitBlock(std::span<const uint8_t> message, int offset, Command command) {
  DeviceLink& d = devices_;
  d.blockReceived = 0;
  d.answerOffset = offset;
  if (!d.Exchange(message, command, kCommandTimeout, [&] { return d.blockReceived == 1; })) {
    return CommandError{command};
  }
  Block block{};
  if (offset >= 0 && offset + 19 <= 512) {
    std::copy_n(d.spiBuffer.begin() + offset, block.size(), block.begin());
  }
  return block;
}

Done Handheld::PageCommand(uint8_t opcode, uint32_t address, Command command) {
  LongMessage m(kHandheld1, kHandheld2);
  m.SetFields(0, 1, 0, 0, 0);
  m.SetData(1, opcode);
  m.SetData(2, (address >> 16) & 0xFF);
  m.SetData(3, (address >> 8) & 0xFE);
  m.SetData(4, 0);
  m.SetData(20, 4);
  return AwaitAcknowledge(m.Packed(), command);
}

Done Handheld::send_pm01(bool noWait) {
  DeviceLink& d = devices_;
  for (int attempt = 0;; attempt++) {
    LongMessage m(kHandheld1, kHandheld2);
    d.link().ClearSlots();
    m.SetFields(7, 3, 1, 5, 6);
    d.replyStatus = -1;
    d.link().Send(m.Packed());
    if (noWait) return Ok();
    if (d.link().Await(kWakeUpTimeout, [&] { return d.replyStatus == 127; })) return Ok();
    if (d.onWakeUpRetry) d.onWakeUpRetry(attempt);
    if (attempt >= kWakeUpRetries) return CommandError{Command::WakeUp};
  }
}

void Handheld::start_firmware_update() {
  LongMessage m(kHandheld1, kHandheld2);
  m.SetFields(5, 4, 2, 3, 6);
  m[22] = kStartCode[0];
  m[23] = kStartCode[1];
  m[24] = kStartCode[2];
  devices_.link().Send(m.Packed());
}

Result<Block> Handheld::read_info_block() {
  LongMessage m(kHandheld1, kHandheld2);
  m.SetFields(0, 3, 0, 0, 0);
  return AwaitBlock(m.Packed(), 0, Command::InfoBlock);
}

Result<Block> Handheld::probe_info_block() {
  LongMessage m(kHandheld1, kHandheld2);
  m.SetFields(0, 3, 0, 0, 0);
  return AwaitBlock(m.Packed(), 0, Command::InfoBlockProbe);
}

Done Handheld::read_flash_to_spibuf(uint32_t address, int count) {
  LongMessage m(kHandheld1, kHandheld2);
  m.SetFields(0, 1, 0, 0, 0);
  m.SetData(1, 0xE8);
  m.SetData(2, (address >> 16) & 0xFF);
  m.SetData(3, (address >> 8) & 0xFF);
  m.SetData(4, address & 0xFF);
  m.SetData(20, (count + 8) & 0xFF);
  return AwaitAcknowledge(m.Packed(), Command::ReadFlash);
}

Result<Block> Handheld::read_spibuf(int offset) {
  LongMessage m(kHandheld1, kHandheld2);
  m[10] = 2 * 16;
  m.SetSpiOffsetFields(offset);
  return AwaitBlock(m.Packed(), offset, Command::ReadSpiBuffer);
}

Done Handheld::write_to_spibuf(int offset, std::span<const int> data, int length) {
  auto& buf = devices_.spiBuffer;
  for (size_t i = 0; i < data.size(); i++) {
    const long index = offset + static_cast<long>(i);
    if (index >= 0 && index <= 512) buf[index] = data[i];
  }
  LongMessage m(kHandheld1, kHandheld2);
  m[10] = (length != 0 ? 1 : 0) * 16;
  m.SetSpiOffsetFields(offset);
  auto held = [&](int index) { return (index >= 0 && index <= 512) ? (buf[index] & 0xFF) : 0; };
  for (int i = 0; i < 19; i++) m.SetData(i + 1, held(offset + i));
  m.SetData(20, length != 0 ? length & 0xFF : held(offset + 19));
  return AwaitAcknowledge(m.Packed(), Command::WriteSpiBuffer);
}

Done Handheld::move_spibuf_to_buf1(uint32_t address) {
  return PageCommand(0x53, address, Command::MoveToBuffer1);
}

Done Handheld::write_buf1_to_flash(uint32_t address) {
  return PageCommand(0x83, address, Command::WriteBuffer1);
}

}  // namespace skyrelay
