#include "device/long_message.h"

namespace skyrelay {

LongMessage::LongMessage(uint8_t device1, uint8_t device2) {
  bytes_[0] = 0xED;
  bytes_[1] = 0x1F;
  bytes_[2] = 0x08;
  bytes_[3] = device1;
  bytes_[4] = device2;
}

void LongMessage::SetFields(int f1, int f2, int f3, int f4, int f5) {
  const int fields[5] = {f1, f2, f3, f4, f5};
  for (int g = 0; g < 5; g++) bytes_[kGroupHeads[g]] = static_cast<uint8_t>((fields[g] & 7) * 16);
}

void LongMessage::SetSpiOffsetFields(int offset) {
  bytes_[15] = static_cast<uint8_t>(((offset >> 6) & 1) * 16);
  bytes_[20] = static_cast<uint8_t>(((offset >> 3) & 7) * 16);
  bytes_[25] = static_cast<uint8_t>((offset & 7) * 16);
}

std::span<const uint8_t> LongMessage::Packed() {
  for (int head : kGroupHeads) {
    for (int k = 1; k <= 4; k++) {
      if (bytes_[head + k] & 0x80) bytes_[head] |= static_cast<uint8_t>(1 << (k - 1));
    }
    for (int k = 1; k <= 4; k++) bytes_[head + k] &= 0x7F;
  }
  return bytes_;
}

void UnpackHighBits(std::span<uint8_t> m) {
  for (int head : kGroupHeads) {
    for (int k = 1; k <= 4; k++) {
      if (m[head] & (1 << (k - 1))) m[head + k] |= 0x80;
    }
  }
}

}  // namespace skyrelay
