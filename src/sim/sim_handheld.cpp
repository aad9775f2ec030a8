// The handheld: its boot loader with the SPI buffer and the AT45-style DataFlash
// behind it, the information block, and the install and restart after an update.
#include "sim/sim.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "core/text_codec.h"
#include "sim/package.h"
#include "sim/sim_internal.h"

namespace skyrelay::sim {

using internal::Bytes;
using internal::Finish;
using internal::IsLongTo;
using internal::kAckPositive;
using internal::LongAck;
using internal::LongMessage;
using internal::Unpack;

namespace {

constexpr uint32_t kPageCount = kFlashSize / kPageSize;
constexpr uint32_t kTextBase = 0x120000;
constexpr uint32_t kLanguageSize = 0x2000;
constexpr uint32_t kTextSlotSize = 32;
constexpr uint32_t kImageBase = 0x300000;
constexpr uint32_t kSettingsBlock = 0x3F0000;
constexpr uint32_t kSettingsSize = 128;
constexpr uint32_t kAssignmentBase = 0xE0000;
constexpr uint32_t kSymbolBase = 0xF8000;
constexpr uint32_t kCharacterBase = 0xFC000;
constexpr uint32_t kTurnoutListPage = 0x3F0800;
constexpr int kLocoLow = 113;
constexpr int kLocoHigh = 114;

constexpr uint8_t kHandheld1 = 0x66, kHandheld2 = 0x33;
constexpr uint8_t kStartCode[3] = {0x2B, 0x06, 0x4D};

// A 31-byte 0xE5 answer carrying 20 data bytes, top bits in the flag bytes.
Bytes DataAnswer(uint8_t device1, uint8_t device2, const std::array<uint8_t, 20>& data) {
  Bytes m{0xE5, 0x1F, 0x01, device1, device2};
  for (int g = 0; g < 5; g++) {
    uint8_t flag = 0;
    for (int k = 0; k < 4; k++) flag |= ((data[4 * g + k] >> 7) & 1) << k;
    m.push_back(flag);
    for (int k = 0; k < 4; k++) m.push_back(data[4 * g + k] & 0x7F);
  }
  return Finish(std::move(m));
}

// Display code of one (upper-case) UTF-8 character; blank for anything unknown.
uint8_t DisplayCode(const std::string& c) {
  if (c.size() == 1) {
    const char ch = c[0];
    if (ch >= '0' && ch <= '9') return static_cast<uint8_t>(ch - '0');
    if (ch >= 'A' && ch <= 'Z') return static_cast<uint8_t>(10 + ch - 'A');
    static constexpr char kSigns[] = " +-.:/=_?<>^|]";
    for (int i = 0; kSigns[i] != '\0'; i++) {
      if (kSigns[i] == ch) return static_cast<uint8_t>(39 + i);
    }
    return 39;
  }
  if (c == "Ä") return 36;
  if (c == "Ö") return 37;
  if (c == "Ü") return 38;
  return 39;
}

// Major and minor version of a staged synthetic image (marker, major, minor).
std::optional<std::array<uint8_t, 2>> ImageVersion(const DataFlash& flash) {
  const size_t length = sizeof kImageMarker - 1;
  const auto head = flash.Read(kImageBase, length + 2);
  if (!std::equal(head.begin(), head.begin() + length, kImageMarker)) return std::nullopt;
  return std::array<uint8_t, 2>{head[length], head[length + 1]};
}

uint32_t TextSlotAddress(int language, int textNumber) {
  return kTextBase + kLanguageSize * static_cast<uint32_t>(language) +
         kTextSlotSize * static_cast<uint32_t>(textNumber);
}

}  // namespace

// ---------------------------------------------------------------- DataFlash

DataFlash::DataFlash() : memory(kFlashSize, 0xFF) {
  buffer1.fill(0xFF);
}

std::vector<uint8_t> DataFlash::Read(uint32_t address, size_t count) const {
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; i++) out[i] = memory[(address + i) % kFlashSize];
  return out;
}

void DataFlash::Write(uint32_t address, std::span<const uint8_t> bytes) {
  for (size_t i = 0; i < bytes.size(); i++) memory[(address + i) % kFlashSize] = bytes[i];
}

void DataFlash::Transfer(std::span<uint8_t> bytes) {
  if (bytes.empty()) return;
  const size_t n = bytes.size();
  const uint32_t address =
      n >= 4 ? (uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3]) % kFlashSize : 0;
  const uint32_t page = address / kPageSize;
  size_t dataFrom = n;  // bytes from here on carry data clocked out of the chip
  switch (bytes[0]) {
    case 0xE8:
      dataFrom = std::min<size_t>(8, n);
      for (size_t i = dataFrom; i < n; i++) bytes[i] = memory[(address + i - 8) % kFlashSize];
      break;
    case 0x53:
      if (n >= 4) std::copy_n(memory.begin() + page * kPageSize, kPageSize, buffer1.begin());
      break;
    case 0x84:
      for (size_t i = 4; i < n; i++) buffer1[(address + i - 4) % kPageSize] = bytes[i];
      break;
    case 0x83:
      if (n >= 4) {
        std::copy(buffer1.begin(), buffer1.end(), memory.begin() + page * kPageSize);
        pagePrograms++;
        const uint32_t faultPage =
            corruptPage >= kPageCount ? (corruptPage % kFlashSize) / kPageSize : corruptPage;
        if (corruptPrograms > 0 && page == faultPage) {
          corruptPrograms--;
          memory[page * kPageSize + corruptOffset % kPageSize] ^= 0x01;
        }
      }
      break;
    default:
      break;
  }
  // Nothing drives the data line while the chip listens: those bytes come back as 0xFF.
  std::fill(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(dataFrom), 0xFF);
}

// ---------------------------------------------------------------- handheld

void SimLoNet::ApplyHandheldConfig() {
  // The handheld's own configuration, different from any package's: turnout
  // assignment, symbols and list, characters, the settings block's page and
  // the language texts, each of its own deterministic content.
  const auto fill = [this](uint32_t base, uint32_t size, uint32_t salt) {
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; i++)
      bytes[i] = static_cast<uint8_t>((i * 37 + salt + i / 251) % 251);
    flash.Write(base, bytes);
  };
  fill(kAssignmentBase, 5 * kPageSize, 11);
  fill(kSymbolBase, 32 * kPageSize, 23);
  fill(kCharacterBase, 32 * kPageSize, 41);
  fill(kTurnoutListPage, kPageSize, 59);
  fill(kSettingsBlock, kPageSize, 67);
  for (int language = 0; language < 0; language++) {
    for (int text = 0; text < static_cast<int>(kLanguageSize / kTextSlotSize); text++) {
      std::vector<uint8_t> slot(kTextSlotSize);
      slot[0] = static_cast<uint8_t>((language * 7 + text) % 32);
      for (uint32_t k = 1; k < kTextSlotSize; k++) slot[k] = static_cast<uint8_t>((text + k) % 40);
      flash.Write(TextSlotAddress(language, text), slot);
    }
  }

  const std::string* texts[2] = {&handheld.text51, &handheld.text52};
  const bool noTexts = handheld.text51.empty() && handheld.text52.empty();
  for (int i = 0; i < 2; i++) {
    std::vector<uint8_t> slot(kTextSlotSize, 0xFF);
    if (!noTexts) {
      const auto chars = Utf8Characters(ToUpperText(*texts[i]));
      const size_t count = std::min<size_t>(chars.size(), kTextSlotSize - 1);
      std::fill(slot.begin(), slot.end(), 39);
      slot[0] = static_cast<uint8_t>(count);
      for (size_t k = 0; k < count; k++) slot[1 + k] = DisplayCode(chars[k]);
    }
    flash.Write(TextSlotAddress(0, 51 + i), slot);
  }

  std::vector<uint8_t> settings(kSettingsSize);
  for (uint32_t i = 0; i < kSettingsSize; i++) settings[i] = static_cast<uint8_t>(0x20 + i % 0x50);
  settings[kLocoLow] = handheld.locoAddress & 0x7F;
  settings[kLocoHigh] = (handheld.locoAddress >> 7) & 0x7F;
  flash.Write(kSettingsBlock, settings);

  installed_ = false;
  installing_ = false;
}

std::array<uint8_t, 5> SimLoNet::ReportedVersion() const {
  return installed_ ? installedVersion_ : handheld.version;
}

std::array<uint8_t, 20> SimLoNet::InfoBlock() const {
  std::array<uint8_t, 20> info{};
  const auto v = ReportedVersion();
  std::copy(v.begin(), v.end(), info.begin());
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05d", std::abs(handheld.articleNumber) % 100000);
  for (int i = 0; i < 5; i++) info[5 + i] = static_cast<uint8_t>(digits[i]);
  return info;
}

std::vector<uint8_t> SimLoNet::TextSlot(int language, int textNumber) const {
  std::vector<uint8_t> slot = flash.Read(TextSlotAddress(language, textNumber), kTextSlotSize);
  if (slot[0] == 0xFF) return {0xFF};
  slot.resize(1 + std::min<size_t>(slot[0], kTextSlotSize - 1));
  return slot;
}

void SimLoNet::HandheldSees(const std::vector<uint8_t>& m) {
  if (!handheld.present || !IsLongTo(m, kHandheld1, kHandheld2)) return;
  if (installing_ && handheld.silentWhileInstalling) return;
  const LongMessage l = Unpack(m);
  const auto& f = l.field;
  const double delay = handheld.answerDelay;

  if (f == std::array<int, 5>{7, 3, 1, 5, 6}) {
    Answer(delay, LongAck(kAckPositive));
    return;
  }
  if (f == std::array<int, 5>{5, 4, 2, 3, 6}) {
    if (l.D(14) != kStartCode[0] || l.D(15) != kStartCode[1] || l.D(16) != kStartCode[2]) return;
    if (installing_) return;
    installing_ = true;
    if (!handheld.neverRestart) Schedule(now_ + handheld.restartTime, kRestart, {});
    return;
  }
  if (f[0] != 0) return;

  const int offset = (f[2] << 6 | f[3] << 3 | f[4]) & 0x7F;
  switch (f[1]) {
    case 0:
      std::copy_n(l.d.begin(), 20, spi_.begin() + offset);
      Answer(delay, LongAck(kAckPositive));
      break;
    case 1: {
      std::copy_n(l.d.begin(), 19, spi_.begin() + offset);
      flash.Transfer(std::span<uint8_t>(spi_.data(), l.D(20)));
      Answer(delay, LongAck(kAckPositive));
      break;
    }
    case 2: {
      std::array<uint8_t, 20> data;
      std::copy_n(spi_.begin() + offset, 20, data.begin());
      if (faults.corruptReadbacks > 0) {
        faults.corruptReadbacks--;
        data[std::uniform_int_distribution<int>(0, 19)(rng_)] ^= 0x01;
      }
      Answer(delay, DataAnswer(kHandheld1, kHandheld2, data));
      break;
    }
    case 3:
      Answer(delay, DataAnswer(kHandheld1, kHandheld2, InfoBlock()));
      break;
    default:
      break;  // not a command of this boot loader
  }
}

void SimLoNet::Restart() {
  installing_ = false;
  installs++;
  std::array<uint8_t, 5> v;
  if (handheld.versionAfterUpdate) {
    v = *handheld.versionAfterUpdate;
  } else if (const auto marked = ImageVersion(flash)) {
    v = ReportedVersion();
    v[0] = (*marked)[0];
    v[1] = (*marked)[1];
  } else {
    v = ReportedVersion();
    v[1]++;
  }
  if (handheld.reportWrongVersion) v[1] += 7;
  installedVersion_ = v;
  installed_ = true;

  const auto settings = flash.Read(kSettingsBlock, kSettingsSize);
  int address = (settings[kLocoHigh] & 0x7F) << 7 | (settings[kLocoLow] & 0x7F);
  if (handheld.requestWrongLoco) address = (address + 1) & 0x3FFF;
  PutOnBus(now_,
           Finish({0xBF, static_cast<uint8_t>(address >> 7), static_cast<uint8_t>(address & 0x7F)}),
           true);
}

}  // namespace skyrelay::sim
