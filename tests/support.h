// Shared pieces of the tests: a scriptable far side of the serial line and a
// fresh world in virtual time.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <span>
#include <vector>

#include "core/context.h"
#include "link/link.h"
#include "sim/sim.h"
#include "sim/virtual_host.h"

namespace skyrelay::test {

using Bytes = std::vector<uint8_t>;

// Appends the LocoNet checksum.
inline Bytes WithChecksum(Bytes m) {
  m.push_back(LocoNetChecksum(m));
  return m;
}

// Echoes every whole message the PC writes (after its bus time) and lets the test
// answer it. Records what the PC wrote.
class ScriptBus : public VirtualBus {
 public:
  // Answers to a message the PC sent; each answer arrives after the echo.
  std::function<std::vector<Bytes>(const Bytes&)> respond;
  bool echo = true;
  std::vector<Bytes> sent;
  std::vector<std::pair<double, Bytes>> writes;  // every Write call, with its time

  void PcWrite(double t, std::span<const uint8_t> bytes) override {
    writes.emplace_back(t, Bytes(bytes.begin(), bytes.end()));
    for (uint8_t b : bytes) {
      if (b & 0x80) {
        pending_.assign(1, b);
      } else if (!pending_.empty()) {
        pending_.push_back(b);
      } else {
        continue;
      }
      const bool knowsLength = pending_.size() >= 2 || (pending_[0] & 0xE0) != 0xE0;
      const size_t len =
          knowsLength ? LocoNetLength(pending_[0], pending_.size() >= 2 ? pending_[1] : 0) : 0;
      if (knowsLength && pending_.size() == len) {
        sent.push_back(pending_);
        double at = t + len * 600e-6;
        if (echo) Schedule(at, pending_);
        if (respond) {
          for (const Bytes& answer : respond(pending_)) {
            at += 0.002 + answer.size() * 600e-6;
            Schedule(at, answer);
          }
        }
        pending_.clear();
      }
    }
  }
  void Schedule(double at, const Bytes& bytes) { queue_.emplace(at, bytes); }
  double NextEventTime() const override {
    return queue_.empty() ? std::numeric_limits<double>::infinity() : queue_.begin()->first;
  }
  void AdvanceTo(double t) override {
    while (!queue_.empty() && queue_.begin()->first <= t) {
      const Bytes& b = queue_.begin()->second;
      ready_.insert(ready_.end(), b.begin(), b.end());
      queue_.erase(queue_.begin());
    }
  }
  Bytes TakePcBytes() override { return std::exchange(ready_, {}); }

 private:
  Bytes pending_;
  std::multimap<double, Bytes> queue_;
  Bytes ready_;
};

// One fresh world: host, context and a scriptable bus, port open.
struct World {
  ScriptBus bus;
  VirtualHost host{&bus};
  Context ctx{host};
  World() {
    host.Attach(&ctx);
    host.Port().Open();
    ctx.settings.InterfaceKind = 3;
  }
  // Feeds bytes as if the port received them.
  void Receive(const Bytes& bytes) { ctx.OnSerialData(bytes); }
  // Runs ticks until `done` or `seconds` of virtual time have passed.
  void RunFor(double seconds, std::function<bool()> done = {}) {
    const double end = host.Now() + seconds;
    while (host.Now() < end && !(done && done())) host.Yield();
  }
};

// One fresh world on the simulated LocoNet: port open, fast interface.
struct SimWorld {
  sim::SimLoNet sim;
  VirtualHost host{&sim};
  Context ctx{host};
  SimWorld() {
    host.Attach(&ctx);
    host.Port().Open();
    ctx.settings.InterfaceKind = 3;
  }
};

}  // namespace skyrelay::test
