// The 31-byte long message (0xED 0x1F) of the boot-loader and station commands,
// and the packing of the data bytes' top bits into the flag byte at the head of
// each group of four.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace skyrelay {

// The eight fixed values the command station's boot-loader commands carry in D9..D16.
inline constexpr uint8_t kStationCode[8] = {0x15, 0x05, 0x11, 0x2C, 0x09, 0x1A, 0x03, 0x0B};

// Positions of the five flag bytes, and of data byte D1..D20 (index 1..20).
inline constexpr int kGroupHeads[5] = {5, 10, 15, 20, 25};
inline constexpr int DataPosition(int d) {
  return 6 + (d - 1) + (d - 1) / 4;
}

// A long message without its checksum: 30 bytes.
class LongMessage {
 public:
  // The header 0xED 0x1F 0x08 and the device pair; every other byte 0.
  LongMessage(uint8_t device1, uint8_t device2);

  // The five 3-bit fields as the flag bytes (field x 16).
  void SetFields(int f1, int f2, int f3, int f4, int f5);
  // The three offset fields of groups 3 to 5 for an SPI-buffer offset.
  void SetSpiOffsetFields(int offset);
  // Data byte D1..D20, all eight bits (packed when the message is sent).
  void SetData(int d, int value) { bytes_[DataPosition(d)] = static_cast<uint8_t>(value & 0xFF); }
  uint8_t& operator[](int i) { return bytes_[i]; }

  // The bytes as they go out: each data byte's top bit moved into its group's flag byte.
  std::span<const uint8_t> Packed();

 private:
  std::array<uint8_t, 30> bytes_{};
};

// Puts each group's flagged top bits back into its four data bytes, in place.
void UnpackHighBits(std::span<uint8_t> message);

}  // namespace skyrelay
