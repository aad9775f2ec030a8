// The handheld's serial DataFlash: where everything lies, and the operations
// the stages build on (read bytes at an address, write into buffer 1, program
// and verify a page).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "device/handheld.h"

namespace skyrelay {

// The map of the DataFlash.
inline constexpr uint32_t FlashPageSize = 512;
inline constexpr uint32_t FlashImageBase = 0x300000;        // the staged firmware image
inline constexpr uint32_t SettingsBlockAddress = 0x3F0000;  // 128 bytes at the start of its page
inline constexpr uint32_t LanguageTextBase = 0x120000;      // language n at + n x LanguageAreaSize
inline constexpr uint32_t LanguageAreaSize = 0x2000;        // 16 pages of 16 text slots
inline constexpr uint32_t TextSlotSize = 32;                // length byte and 31 display codes
inline constexpr uint32_t AssignmentAreaBase = 0xE0000;     // 2560 bytes, 5 pages
inline constexpr uint32_t SymbolAreaBase = 0xF8000;         // 256 symbols x 64 bytes, 32 pages
inline constexpr uint32_t CharacterAreaBase = 0xFC000;      // + 512 x b0 + 8 x b1, 8 bytes each
inline constexpr uint32_t TurnoutListPage = 0x3F0800;       // the list fills bytes 8 to 263

// The address of text `textNumber` of language `languageNumber`.
inline constexpr uint32_t TextSlotAddress(int languageNumber, int textNumber) {
  return LanguageTextBase + LanguageAreaSize * static_cast<uint32_t>(languageNumber) +
         TextSlotSize * static_cast<uint32_t>(textNumber);
}

// The SPI buffer, as a read leaves it: eight bytes of command, then the data.
inline constexpr int SpiDataOffset = 8;

// Reads `count` bytes from `address`: they are then in the SPI buffer behind
// its command bytes, read out twenty at a time. Stops at the first command
// that gets no answer.
Result<std::vector<int>> ReadFlash(Handheld& handheld, uint32_t address, int count);

// Writes `data` into buffer 1 from `offset`: a buffer write command (0x84,
// `second`, the offset) and the data go into the SPI buffer twenty bytes at a
// time, up to the write at `lastWindow`, which executes the command.
Done WriteBuffer1(Handheld& handheld, uint32_t offset, std::span<const int> data, int lastWindow,
                  int second = 0x00);

// One page of the firmware image as eight sections of 64 bytes.
using PageImage = std::array<std::array<int, 64>, 8>;

// Reads back sections 0..lastSection of the page and compares them with
// `expected`. A mismatch ends it at once (CommandError::Kind::Mismatch), and so
// does a read that stays unanswered after its repeats (Kind::NoAnswer).
Done VerifyPage(Handheld& handheld, uint32_t pageAddress, const PageImage& expected,
                int lastSection);

}  // namespace skyrelay
