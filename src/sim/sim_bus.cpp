// The bus: the PC's LocoNet interface with its echo, the bus timing, the injected
// faults, the traffic of other devices, and the event queue that runs it all.
#include "sim/sim.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "sim/sim_internal.h"

namespace skyrelay::sim {

using internal::Bytes;
using internal::Finish;

namespace {

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

}  // namespace

SimLoNet::SimLoNet(uint32_t seed) : rng_(seed) {
  ApplyHandheldConfig();
}

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
  if (faults.dropAnswers > 0 && answers >= faults.dropAfter) {
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
  } else if (faults.damageEvery > 0 && (answers + faults.damageOffset) % faults.damageEvery == 0) {
    damaged = true;
  }
  if (damaged) damagedAnswers++;
  PutOnBus(now_, std::move(e.bytes), true, damaged);
}

}  // namespace skyrelay::sim
