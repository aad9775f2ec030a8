// The handheld boot loader's commands. Each sends its long message and waits
// (yielding) for its answer; a command that gets none in time returns the error
// and has told DeviceLink::onNoAnswer.
#pragma once

#include <cstdint>
#include <span>

#include "device/device_link.h"

namespace skyrelay {

inline constexpr uint8_t kStartCode[3] = {0x2B, 0x06, 0x4D};

class Handheld {
 public:
  explicit Handheld(DeviceLink& devices) : devices_(devices) {}

  // The wake-up request, asked up to 21 times (1 s each) until it is
  // acknowledged; with noWait only sent.
  Done send_pm01(bool noWait);
  // Tells the boot loader to install the staged image and restart; not waited for.
  void start_firmware_update();
  // The information block: version, date and article number in its first bytes.
  Result<Block> read_info_block();
  // The same request asked once, to learn whether the boot loader listens; a
  // silence is answered with send_pm01 and read_info_block.
  Result<Block> probe_info_block();
  // Copies `count` bytes from the DataFlash at `address` into the SPI buffer
  // (behind its eight bytes of command).
  Done read_flash_to_spibuf(uint32_t address, int count);
  // Twenty bytes of the SPI buffer from `offset`.
  Result<Block> read_spibuf(int offset);
  // Writes `data` into the SPI buffer at `offset`: twenty bytes go out, those
  // `data` does not cover as the buffer holds them. A `length` other than 0
  // takes the place of the twentieth byte and has the boot loader execute the
  // `length` bytes from the start of the buffer as one DataFlash command.
  Done write_to_spibuf(int offset, std::span<const int> data, int length);
  // The DataFlash page that holds `address` into buffer 1, and buffer 1 into its page.
  Done move_spibuf_to_buf1(uint32_t address);
  Done write_buf1_to_flash(uint32_t address);

  DeviceLink& devices() { return devices_; }

 private:
  Done AwaitAcknowledge(std::span<const uint8_t> message, Command command);
  Result<Block> AwaitBlock(std::span<const uint8_t> message, int offset, Command command);
  Done PageCommand(uint8_t opcode, uint32_t address, Command command);

  DeviceLink& devices_;
};

}  // namespace skyrelay
