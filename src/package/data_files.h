// The raw byte files of an update package: turnout symbols, turnout assignment,
// turnout list (16-bit little-endian values, one byte each in the handheld) and
// character definitions (b0, b1, eight definition bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/package_file.h"

namespace skyrelay {

// File sizes the formats need; each is also the file's size limit.
inline constexpr size_t TurnoutSymbolFileSize = 2 * 256 * 2 * 32;  // 16384 values
inline constexpr size_t TurnoutAssignmentFileSize = 2 * 2561;      // values 0..2559 are used
inline constexpr size_t TurnoutListFileSize = 2 * 256;
inline constexpr size_t CharacterFileSize = 10;  // b0, b1, eight definition bytes

// Reads a turnout or character file whole into bytes (its held copy: see
// ReadHeldFile). Empty when the file holds
// exactly `size` bytes; otherwise the German problem, without the path ("Datei
// nicht gefunden", "Datei zu kurz: ...", "Datei zu groß: ...", "keine Datei,
// sondern ein Ordner" ...); bytes are then empty.
std::string ReadDataFile(HeldFiles& held, const std::string& path, size_t size, std::string& bytes);

// Value `index` of a turnout file: 16 bits, low byte first. The handheld takes
// one byte per value, so a value above 255 goes in as its low byte.
inline int TurnoutFileValue(const std::string& bytes, size_t index) {
  return static_cast<uint8_t>(bytes[2 * index]);
}

}  // namespace skyrelay
