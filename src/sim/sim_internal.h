// The line format as the simulated devices see it, shared by the bus, the
// handheld and the station (sim_bus.cpp, sim_handheld.cpp, sim_station.cpp).
//
// The simulated devices keep their own copy of the line format and of the
// devices' constants instead of borrowing the tool's: a mistake in the tool then
// shows up as a disagreement in the tests rather than being shared by both sides.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace skyrelay::sim::internal {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kAckPositive = 0x7F;

inline uint8_t Checksum(const Bytes& m) {
  uint8_t sum = 0xFF;
  for (uint8_t b : m) sum ^= b;
  return sum;
}

inline Bytes Finish(Bytes m) {
  m.push_back(Checksum(m));
  return m;
}

inline bool ChecksumOk(const Bytes& m) {
  uint8_t sum = 0;
  for (uint8_t b : m) sum ^= b;
  return sum == 0xFF;
}

// A 31-byte long message taken apart: the five 3-bit fields and D1..D20 with their
// top bits restored from the flag bytes.
struct LongMessage {
  std::array<int, 5> field{};
  std::array<uint8_t, 20> d{};
  uint8_t D(int n) const { return d[n - 1]; }
};

inline bool IsLongTo(const Bytes& m, uint8_t device1, uint8_t device2) {
  return m.size() == 31 && m[0] == 0xED && m[1] == 0x1F && m[3] == device1 && m[4] == device2 &&
         ChecksumOk(m);
}

inline LongMessage Unpack(const Bytes& m) {
  LongMessage l;
  for (int g = 0; g < 5; g++) {
    const uint8_t flag = m[5 + 5 * g];
    l.field[g] = (flag >> 4) & 7;
    for (int k = 0; k < 4; k++) {
      l.d[4 * g + k] = (m[6 + 5 * g + k] & 0x7F) | (((flag >> k) & 1) << 7);
    }
  }
  return l;
}

inline Bytes LongAck(uint8_t value) {
  return Finish({0xB4, 0x6D, static_cast<uint8_t>(value & 0x7F)});
}

}  // namespace skyrelay::sim::internal
