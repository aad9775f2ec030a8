#include "sim/sim.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "package/text_codec.h"
#include "sim/package.h"

namespace skyrelay::sim {

namespace {

// The simulated devices keep their own copy of the line format and of the
// devices' constants instead of borrowing the tool's: a mistake in the tool then
// shows up as a disagreement in the tests rather than being shared by both sides.

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kPageCount = kFlashSize / kPageSize;
constexpr uint32_t kTextBase = 0x120000;
constexpr uint32_t kLanguageSize = 0x2000;
constexpr uint32_t kTextSlotSize = 32;
constexpr uint32_t kImageBase = 0x300000;
constexpr uint32_t kSettingsBlock = 0x3F0000;
constexpr uint32_t kSettingsSize = 128;
constexpr int kLocoLow = 113;
constexpr int kLocoHigh = 114;

constexpr uint8_t kHandheld1 = 0x66, kHandheld2 = 0x33;
constexpr uint8_t kStation1 = 0x4E, kStation2 = 0x57;
constexpr uint8_t kStationShort2 = 0x51;
constexpr uint8_t kStationCode[8] = {0x15, 0x05, 0x11, 0x2C, 0x09, 0x1A, 0x03, 0x0B};
constexpr uint8_t kStartCode[3] = {0x2B, 0x06, 0x4D};
constexpr uint8_t kAckPositive = 0x7F;

uint8_t Checksum(const Bytes& m) {
  uint8_t sum = 0xFF;
  for (uint8_t b : m) sum ^= b;
  return sum;
}

Bytes Finish(Bytes m) {
  m.push_back(Checksum(m));
  return m;
}

bool ChecksumOk(const Bytes& m) {
  uint8_t sum = 0;
  for (uint8_t b : m) sum ^= b;
  return sum == 0xFF;
}

// Total length of a message from its first two bytes; 0 when it cannot be a message.
size_t MessageLength(uint8_t opcode, uint8_t countByte) {
  switch (opcode & 0xE0) {
    case 0x80:
      return 2;
    case 0xA0:
      return 4;
    case 0xC0:
      return 6;
    default:
      return countByte >= 3 ? countByte : 0;
  }
}

// A 31-byte long message taken apart: the five 3-bit fields and D1..D20 with their
// top bits restored from the flag bytes.
struct LongMessage {
  std::array<int, 5> field{};
  std::array<uint8_t, 20> d{};
  uint8_t D(int n) const { return d[n - 1]; }
};

bool IsLongTo(const Bytes& m, uint8_t device1, uint8_t device2) {
  return m.size() == 31 && m[0] == 0xED && m[1] == 0x1F && m[3] == device1 && m[4] == device2 &&
         ChecksumOk(m);
}

LongMessage Unpack(const Bytes& m) {
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

Bytes LongAck(uint8_t value) {
  return Finish({0xB4, 0x6D, static_cast<uint8_t>(value & 0x7F)});
}

// The station's fixed answer to the update-mode request.
Bytes StationUpdateReply() {
  Bytes m{0xE5, 0x1F, 0x01, 0x50, 0x43, 0x70, 0x00, 0x7F,
          0x7F, 0x7F, 0x70, 0x00, 0x00, 0x00, 0x00, 0x30};
  m.insert(m.end(), kStationCode, kStationCode + 4);
  m.push_back(0x70);
  m.insert(m.end(), kStationCode + 4, kStationCode + 8);
  m.insert(m.end(), 5, 0x00);
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

// ---------------------------------------------------------------- SimLoNet

SimLoNet::SimLoNet(uint32_t seed) : rng_(seed) {
  ApplyHandheldConfig();
}

void SimLoNet::ApplyHandheldConfig() {
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

// ---------------------------------------------------------------- events and bus

void SimLoNet::Schedule(double time, int kind, std::vector<uint8_t> bytes, bool toPc,
                        bool damaged) {
  events_.push_back(Event{time, order_++, kind, std::move(bytes), toPc, damaged});
}

void SimLoNet::PutOnBus(double t, std::vector<uint8_t> bytes, bool toPc, bool damaged) {
  const double start = std::max(t, busFreeAt_);
  busFreeAt_ = start + static_cast<double>(bytes.size()) * kByteTime;
  Schedule(busFreeAt_, kBusDone, std::move(bytes), toPc, damaged);
}

std::vector<uint8_t> SimLoNet::TrafficMessage() {
  auto low = [this] {
    return static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 0x7F)(rng_));
  };
  switch (trafficTurn_++ % 3) {
    case 0: {
      // A peer message between two other devices: 0xE5 with 16 bytes.
      Bytes m{0xE5, 0x10};
      for (int i = 0; i < 13; i++) m.push_back(low());
      return Finish(std::move(m));
    }
    case 1:
      return Finish({0xB2, low(), low()});  // a detector reports
    default:
      return Finish({0xA0, low(), low()});  // a throttle sets a speed
  }
}

void SimLoNet::Answer(double delay, std::vector<uint8_t> bytes) {
  Schedule(now_ + delay, kAnswerReady, std::move(bytes));
}

void SimLoNet::PcWrite(double t, std::span<const uint8_t> bytes) {
  if (t > now_) AdvanceTo(t);
  for (uint8_t b : bytes) {
    if (vanished_) return;
    if (b & 0x80) {
      pcIn_.assign(1, b);  // an opcode starts a new message; a broken one is dropped
    } else if (!pcIn_.empty()) {
      pcIn_.push_back(b);
    } else {
      continue;  // a data byte outside any message
    }
    if ((pcIn_[0] & 0xE0) == 0xE0 && pcIn_.size() < 2) continue;
    const size_t length = MessageLength(pcIn_[0], pcIn_.size() >= 2 ? pcIn_[1] : 0);
    if (length == 0) {
      pcIn_.clear();
    } else if (pcIn_.size() == length) {
      bool echo = true;
      if (faults.dropEchoes > 0) {
        faults.dropEchoes--;
        echo = false;
      }
      const std::vector<uint8_t> message = std::exchange(pcIn_, {});
      PutOnBus(now_, message, echo);
      double at = busFreeAt_;
      for (std::vector<uint8_t>& answer : script ? script(message) : std::vector<Bytes>{}) {
        Schedule(at += 0.002, kAnswerReady, std::move(answer));
      }
      if (++pcMessages == faults.vanishAfter) vanished_ = true;
    }
  }
}

double SimLoNet::NextEventTime() const {
  double next = std::numeric_limits<double>::infinity();
  for (const Event& e : events_) next = std::min(next, e.time);
  if (faults.trafficPeriod > 0 && !vanished_) {
    next = std::min(next, std::max(lastTraffic_ + faults.trafficPeriod, now_));
  }
  return next;
}

void SimLoNet::AdvanceTo(double t) {
  for (;;) {
    if (faults.trafficPeriod > 0 && !vanished_) {
      // Traffic that was switched on late starts from now, not from time 0.
      if (lastTraffic_ + faults.trafficPeriod < now_) lastTraffic_ = now_;
      const double at = lastTraffic_ + faults.trafficPeriod;
      double firstEvent = std::numeric_limits<double>::infinity();
      for (const Event& e : events_) firstEvent = std::min(firstEvent, e.time);
      if (at <= t && at < firstEvent) {
        now_ = std::max(now_, at);
        lastTraffic_ = at;
        trafficMessages++;
        PutOnBus(now_, TrafficMessage(), true);
        continue;
      }
    }
    auto due = events_.end();
    for (auto it = events_.begin(); it != events_.end(); ++it) {
      if (it->time > t) continue;
      if (due == events_.end() || it->time < due->time ||
          (it->time == due->time && it->order < due->order)) {
        due = it;
      }
    }
    if (due == events_.end()) break;
    Event e = std::move(*due);
    events_.erase(due);
    now_ = std::max(now_, e.time);
    switch (e.kind) {
      case kBusDone:
        OnBusDone(e);
        break;
      case kAnswerReady:
        OnAnswerReady(e);
        break;
      case kRestart:
        Restart();
        break;
      default:
        break;
    }
  }
  now_ = std::max(now_, t);
}

std::vector<uint8_t> SimLoNet::TakePcBytes() {
  return std::exchange(toPc_, {});
}

void SimLoNet::OnBusDone(const Event& e) {
  busMessages++;
  busTime += static_cast<double>(e.bytes.size()) * kByteTime;
  if (vanished_) return;  // the interface is gone: nothing reaches the PC
  if (e.toPc) {
    if (faults.noiseBetweenMessages) {
      const int count = std::uniform_int_distribution<int>(1, 3)(rng_);
      for (int i = 0; i < count; i++) {
        toPc_.push_back(static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 0x7F)(rng_)));
      }
    }
    const size_t at = toPc_.size();
    toPc_.insert(toPc_.end(), e.bytes.begin(), e.bytes.end());
    if (e.damaged && e.bytes.size() > 2) {
      // Not the opcode or count byte, and never the top bit: the framing survives
      // and only the checksum can tell.
      const size_t byte = std::uniform_int_distribution<size_t>(2, e.bytes.size() - 1)(rng_);
      toPc_[at + byte] ^= static_cast<uint8_t>(1 << std::uniform_int_distribution<int>(0, 6)(rng_));
    }
  }
  if (script) return;
  HandheldSees(e.bytes);
  StationSees(e.bytes);
}

void SimLoNet::OnAnswerReady(Event& e) {
  if (faults.dropAnswers > 0) {
    faults.dropAnswers--;
    return;
  }
  for (; faults.floodMessages > 0; faults.floodMessages--) {
    // A throttle somewhere sets the speed of a slot.
    const auto slot = static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 119)(rng_));
    const auto speed = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 127)(rng_));
    PutOnBus(now_, Finish({0xA0, slot, speed}), true);
  }
  answers++;
  bool damaged = false;
  if (faults.damageAnswers > 0) {
    faults.damageAnswers--;
    damaged = true;
  } else if (faults.damageEvery > 0 && answers % faults.damageEvery == 0) {
    damaged = true;
  }
  if (damaged) damagedAnswers++;
  PutOnBus(now_, std::move(e.bytes), true, damaged);
}

// ---------------------------------------------------------------- handheld

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

// ---------------------------------------------------------------- command station

void SimLoNet::StationSees(const std::vector<uint8_t>& m) {
  if (!station.present) return;
  const double delay = station.answerDelay;

  if (m.size() == 15 && m[0] == 0xED && m[1] == 0x0F && m[3] == kStation1 &&
      m[4] == kStationShort2 && m[5] == 0x07 && ChecksumOk(m)) {
    if (station.idNumber < 0) return;
    int64_t rest = station.idNumber % 10000000000LL;
    std::array<uint8_t, 7> data{};
    for (int i = 4; i >= 0; i--) {
      const int low = static_cast<int>(rest % 10);
      rest /= 10;
      const int high = static_cast<int>(rest % 10);
      rest /= 10;
      data[i] = static_cast<uint8_t>(high << 4 | low);
    }
    Bytes a{0xE5, 0x0F, 0x01, kStation1, kStationShort2, 0x09, 0x00};
    for (int k = 0; k < 7; k++) {
      a[6] |= ((data[k] >> 7) & 1) << k;
      a.push_back(data[k] & 0x7F);
    }
    Answer(delay, Finish(std::move(a)));
    return;
  }

  if (!IsLongTo(m, kStation1, kStation2)) return;
  const LongMessage l = Unpack(m);
  if (l.field[0] != 7 || l.field[1] != 7 || l.field[2] != 3) return;
  const int f2 = l.field[3], f3 = l.field[4];
  StationLog& log = stationLog;

  if (f2 == 7 && f3 == 0) {
    if (!std::equal(kStationCode, kStationCode + 8, l.d.begin() + 8)) return;
    log.enterRequests++;
    log.inUpdateMode = true;
    Answer(delay, StationUpdateReply());
    Answer(delay, LongAck(kAckPositive));
  } else if (f2 == 4 && f3 == 0) {
    log.versionRequests++;
    Answer(delay, LongAck(static_cast<uint8_t>(station.bootLoaderVersion)));
  } else if (f2 == 0 && f3 == 0) {
    log.finishRequests++;
    log.finishedWithVersion = l.D(1);
    log.inUpdateMode = false;
    Answer(delay, LongAck(kAckPositive));
  } else if (f2 == 1 && f3 == 0) {
    log.clears++;
    Answer(delay, LongAck(kAckPositive));
  } else if (f2 == 1 && f3 == 1) {
    log.values.emplace_back(l.D(1) | l.D(2) << 8, l.D(3));
    Answer(delay, LongAck(kAckPositive));
  } else if (f2 == 1 && f3 == 3) {
    std::string text;
    for (int i = 0; i < 20 && l.d[i] != 0; i++) text.push_back(static_cast<char>(l.d[i]));
    log.texts.push_back(text);
    Answer(delay, LongAck(kAckPositive));
  }
}

}  // namespace skyrelay::sim
