// Shared pieces of the tests: a scriptable far side of the serial line and a
// fresh world in virtual time.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "config_test_files.h"
#include "device/flash.h"
#include "link/link.h"
#include "run/commands.h"
#include "run/context.h"
#include "run/update_run.h"
#include "sim/package.h"
#include "sim/sim.h"
#include "sim/virtual_host.h"

namespace skyrelay::test {

using Bytes = std::vector<uint8_t>;

// Appends the LocoNet checksum.
inline Bytes WithChecksum(Bytes m) {
  m.push_back(LocoNetChecksum(m));
  return m;
}

// The handheld's and the station's acknowledge 0xB4 0x6D with its value.
inline Bytes Ack(uint8_t value) {
  return WithChecksum({0xB4, 0x6D, value});
}

// The command station's fixed answer to the update-mode request.
inline Bytes StationFixedAnswer() {
  return WithChecksum({0xE5, 0x1F, 0x01, 0x50, 0x43, 0x70, 0x00, 0x7F, 0x7F, 0x7F,
                       0x70, 0x00, 0x00, 0x00, 0x00, 0x30, 0x15, 0x05, 0x11, 0x2C,
                       0x70, 0x09, 0x1A, 0x03, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x00});
}

// A data answer (0xE5 0x1F to the device pair 0x66 0x33) carrying 20 bytes.
inline Bytes DataAnswer(const std::array<int, 20>& data) {
  Bytes m{0xE5, 0x1F, 0x01, 0x66, 0x33};
  for (int g = 0; g < 5; g++) {
    uint8_t flag = 0;
    for (int k = 0; k < 4; k++) flag |= (data[g * 4 + k] & 0x80) ? (1 << k) : 0;
    m.push_back(flag);
    for (int k = 0; k < 4; k++) m.push_back(data[g * 4 + k] & 0x7F);
  }
  return WithChecksum(m);
}

// Every message box shown, in order, as "title|text".
inline std::vector<std::string> Shown(const VirtualHost& host) {
  std::vector<std::string> out;
  for (const RecordedMessage& m : host.messages) out.push_back(m.title + "|" + m.text);
  return out;
}

enum class FarSide { Script, Devices };

// One fresh world on the simulated LocoNet: port open, fast interface, every
// message the PC sends recorded. On the far side the simulated handheld and
// station, or a script (sim.script) that answers nothing until a test sets it.
struct World {
  sim::SimLoNet sim;
  VirtualHost host{&sim};
  Context ctx{host};
  std::vector<std::pair<double, Bytes>> sent;  // with the time each went out
  std::function<void(const Bytes&)> onSent;    // sees each message as it goes out
  bool locoRequested = false;                  // the handheld has asked for its loco
  double locoRequestedAt = -1;                 // when it first did
  testfiles::TempDir dataFolder;               // where the backups go
  explicit World(FarSide far = FarSide::Script) {
    ctx.dataFolder = dataFolder.Folder();
    host.Attach(&ctx.link);
    host.Port().Open();
    ctx.settings.InterfaceKind = 3;
    if (far == FarSide::Script) sim.script = [](const Bytes&) { return std::vector<Bytes>{}; };
    ctx.link.stats.observer = [this](double t, bool out, std::span<const uint8_t> m) {
      if (!out && m[0] == 0xBF && !locoRequested) locoRequestedAt = t;
      locoRequested |= !out && m[0] == 0xBF;
      if (!out) return;
      sent.emplace_back(t, Bytes(m.begin(), m.end()));
      if (onSent) onSent(sent.back().second);
    };
  }
  // The messages sent, without their times.
  std::vector<Bytes> Sent() const {
    std::vector<Bytes> out;
    for (const auto& [t, m] : sent) out.push_back(m);
    return out;
  }
  // Feeds bytes as if the port received them.
  void Receive(const Bytes& bytes) { ctx.link.OnSerialData(bytes); }
  // Hands a message (without its checksum) to the transmitter.
  void Send(const Bytes& m) { ctx.link.Send(m); }
  // Yields until `done` or `seconds` of virtual time have passed.
  void RunFor(double seconds, const std::function<bool()>& done = {}) {
    for (const double end = host.Now() + seconds; host.Now() < end && !(done && done());) {
      host.Yield();
    }
  }
  static bool IsPm01(const Bytes& m) {
    return m.size() == 31 && m[3] == 0x66 && m[5] == 0x70 && m[10] == 0x30;
  }
  // read_info_block: the handheld's version record.
  static bool IsVersionRead(const Bytes& m) {
    return m.size() == 31 && m[3] == 0x66 && m[5] == 0 && m[10] == 0x30;
  }
  // For each send_pm01: the time until the next message, in tenths of a second.
  std::vector<long> Pm01Pauses() const {
    std::vector<long> out;
    for (size_t i = 0; i + 1 < sent.size(); i++) {
      if (IsPm01(sent[i].second)) {
        out.push_back(std::lround(10 * (sent[i + 1].first - sent[i].first)));
      }
    }
    return out;
  }
};

struct SimWorld : World {
  SimWorld() : World(FarSide::Devices) {}
};

// A package in a temporary folder on the simulated LocoNet. Questions are answered
// from `answers` in turn ("Y", "N", or "R": refused by --yes without --force), then Yes; once
// `cancel` is set the run stops at its next safe yield, as Ctrl-C does.
struct RunWorld : SimWorld {
  testfiles::TempDir dir;
  sim::FirmwareSpec firmware;  // 2.1; the handheld has 1.0
  std::vector<std::string> answers;
  bool cancel = false;
  double cancelledAt = -1;
  std::function<void(sim::ByteVector&)> damage;  // done to the firmware file by Load
  RunWorld() {
    host.answerQuestion = [this](const RecordedMessage&) {
      if (answers.empty()) return Answer::Yes;
      const std::string answer = answers.front();
      answers.erase(answers.begin());
      return answer == "Y" ? Answer::Yes : answer == "R" ? Answer::Refused : Answer::No;
    };
    host.afterYield = [this] {
      if (cancel && ctx.link.MayAbandonRun()) throw RunCancelled{};
    };
  }
  void Put(const std::string& name, const sim::ByteVector& b) {
    dir.Write(name, std::string(b.begin(), b.end()));
  }
  void Describe(const std::string& lines) {
    ctx.settings.UpdateFilePath = dir.Write("p.tup", lines);
    LoadUpdateDescription(ctx, ctx.settings.UpdateFilePath);
  }
  // The firmware file (after `damage`) for the radio handhelds, then `more` lines.
  void Load(const std::string& more = "") {
    sim::ByteVector bytes = sim::FirmwareFileBytes(firmware);
    if (damage) damage(bytes);
    Put("fw/funk.tup", bytes);
    Describe("FUNK=fw\\funk.tup\r\nFUNKVERSION=" + std::to_string(firmware.version[0]) + "." +
             std::to_string(firmware.version[1]) + "\r\n" + more);
  }
  // The status texts other than progress and the restart animation.
  std::vector<std::string> Statuses() const {
    std::vector<std::string> out;
    for (const std::string& s : host.statuses)
      if (s.empty() || (s.back() != '%' && s.find("##") == std::string::npos)) out.push_back(s);
    return out;
  }
  bool Showed(const std::string& status) const {
    return std::count(host.statuses.begin(), host.statuses.end(), status) > 0;
  }
  sim::ByteVector Image() const { return sim.flash.Read(FlashImageBase, 497 * 64); }
  // The update run as "Update" runs it once the port is open, keeping the first
  // failure it tells of for the verdict.
  void Run() {
    ctx.report.firstError.reset();
    host.onNotice = [this](const Notice& n, Answer a) { NoteFirstError(ctx.report, n, a); };
    RunUpdate(ctx);
    host.onNotice = nullptr;
  }
};

}  // namespace skyrelay::test
