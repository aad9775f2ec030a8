#include "device/flash.h"

#include <algorithm>

namespace skyrelay {

Result<std::vector<int>> ReadFlash(Handheld& handheld, uint32_t address, int count) {
  if (Done d = handheld.read_flash_to_spibuf(address, count); !d) return d.error();
  std::vector<int> bytes;
  for (int offset = 0; offset < SpiDataOffset + count; offset += 20) {
    const Result<Block> block = handheld.read_spibuf(offset);
    if (!block) return block.error();
    bytes.insert(bytes.end(), block.value().begin(), block.value().end());
  }
  bytes.erase(bytes.begin(), bytes.begin() + SpiDataOffset);
  bytes.resize(static_cast<size_t>(count));
  return bytes;
}

Done WriteBuffer1(Handheld& handheld, uint32_t offset, std::span<const int> data, int lastWindow,
                  int second) {
  std::vector<int> command{0x84, second, static_cast<int>(offset / 256),
                           static_cast<int>(offset % 256)};
  command.insert(command.end(), data.begin(), data.end());
  const int length = static_cast<int>(command.size());
  for (int window = 0; window <= lastWindow; window += 20) {
    const std::span<const int> bytes =
        window == 0 ? std::span<const int>(command) : std::span<const int>();
    if (Done d = handheld.write_to_spibuf(window, bytes, window == lastWindow ? length : 0); !d) {
      return d;
    }
  }
  return Ok();
}

Done VerifyPage(Handheld& handheld, uint32_t pageAddress, const PageImage& expected,
                int lastSection) {
  // A lost answer is repeated by the command itself (CommandTries); a read that
  // stays unanswered after that ends the verification.
  for (int s = 0; s <= lastSection; s++) {
    const Result<std::vector<int>> read = ReadFlash(handheld, pageAddress + s * 64, 64);
    if (!read) return CommandError{Command::ReadSpiBuffer, CommandError::Kind::NoAnswer};
    if (!std::equal(expected[s].begin(), expected[s].end(), read.value().begin())) {
      return CommandError{Command::ReadSpiBuffer, CommandError::Kind::Mismatch};
    }
  }
  return Ok();
}

}  // namespace skyrelay
