// A simulated LocoNet: the PC's LocoNet interface (echo, bus timing), the
// handheld's boot loader with its AT45-style DataFlash, and the command station,
// with knobs to inject faults. Runs in virtual time (VirtualBus) for the tests and
// the --simulate mode, and in real time behind a pseudo-terminal (skyrelay-sim).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sim/virtual_host.h"

namespace skyrelay::sim {

// 60 us per bit, 10 bits per byte.
inline constexpr double kByteTime = 600e-6;

inline constexpr uint32_t kFlashSize = 4 * 1024 * 1024;
inline constexpr uint32_t kPageSize = 512;

// An AT45-style serial DataFlash: 512-byte pages, one SRAM buffer (buffer 1).
class DataFlash {
 public:
  DataFlash();
  // Runs one SPI transfer over `bytes` (opcode first); bytes clocked back replace
  // them in place. Opcodes: 0xE8 continuous read (3 address bytes, 4 don't-care
  // bytes, then data), 0x53 page to buffer 1, 0x84 buffer 1 write, 0x83 buffer 1 to
  // page with erase. Others are ignored. Apart from the data of a read, every byte
  // comes back as 0xFF (nothing drives the line while the chip listens).
  void Transfer(std::span<uint8_t> bytes);

  std::vector<uint8_t> memory;               // kFlashSize bytes, erased = 0xFF
  std::array<uint8_t, kPageSize> buffer1{};  // 0xFF at power-up; keeps its data after a program
  long pagePrograms = 0;
  // Fault: the next `corruptPrograms` programs of the page at `corruptPage` store
  // one wrong byte. `corruptPage` is a page number (address >> 9); a value of 8192
  // or more is taken as an address and means the page that holds it. The wrong
  // byte is the one at `corruptOffset` within the page (bit 0 inverted).
  uint32_t corruptPage = 0;
  int corruptPrograms = 0;
  uint32_t corruptOffset = 0;

  std::vector<uint8_t> Read(uint32_t address, size_t count) const;
  void Write(uint32_t address, std::span<const uint8_t> bytes);
};

struct HandheldConfig {
  bool present = true;        // false: a silent handheld (no answers at all)
  int articleNumber = 58400;  // 58400, 58401 or 58402 (any five digits)
  // Installed version record: major, minor, date 1, date 2, date 3.
  std::array<uint8_t, 5> version{1, 0, 2, 1, 20};
  // Texts 51 and 52 of language 0; both empty: the slots stay erased (no text).
  std::string text51 = "FREI";
  std::string text52 = "BELEGT";
  uint16_t locoAddress = 3;       // settings block bytes 113 (low 7 bits) and 114 (high 7 bits)
  double answerDelay = 0.002;     // the boot loader's time to answer a command
  double restartTime = 5.0;       // from start_firmware_update to the loco request
  bool neverRestart = false;      // installs nothing and never sends the loco request
  bool requestWrongLoco = false;  // requests locoAddress + 1 after the restart
  // Version record after the restart; unset: the major and minor that a synthetic image staged at
  // 0x300000 carries after its marker (package.h); else the old version, minor + 1.
  // The date bytes stay those of the old version unless given here.
  std::optional<std::array<uint8_t, 5>> versionAfterUpdate;
  bool reportWrongVersion = false;  // after the restart reports minor + 7
  // Between start_firmware_update and the restart the boot loader is busy and
  // answers nothing (with neverRestart: never again). false: it keeps answering.
  bool silentWhileInstalling = true;
};

struct StationConfig {
  bool present = true;            // false: a silent station
  int64_t idNumber = 4200000001;  // ten digits; negative: does not answer read_station_id
  int bootLoaderVersion = 5;
  double answerDelay = 0.003;
  double releaseDelay = 0;  // added to the answer of the release (finish_update_mode)
};

struct Faults {
  int dropEchoes = 0;  // the next N messages of the PC get no echo
  // The next N answers of the devices are lost. Every answering message counts, so
  // the station's fixed answer and its acknowledge are two; the handheld's loco
  // request after the restart is not an answer.
  int dropAnswers = 0;
  // The dropped answers begin after this many answers have gone through.
  long dropAfter = 0;
  int corruptReadbacks = 0;  // the next N SPI-buffer read answers carry one wrong byte
  // One to three random bytes without the top bit reach the PC before every message.
  bool noiseBetweenMessages = false;
  // That many foreign messages (4-byte speed messages with valid checksums) take the
  // bus in a burst right before the next device answer that is not dropped.
  int floodMessages = 0;
  // Line errors on the way to the PC: the next N device answers (or every K-th
  // one) arrive with one bit of one byte after the opcode and count byte flipped;
  // the checksum is left as it was. The devices themselves saw nothing wrong.
  int damageAnswers = 0;
  int damageEvery = 0;
  // Shifts which answers every K-th one is: those whose number plus this is a multiple of K.
  int damageOffset = 0;
  // Other devices on the layout: every `trafficPeriod` seconds one of them talks,
  // in turn a peer message (0xE5, 16 bytes), a sensor report and a speed message,
  // each with its checksum. 0: a quiet bus.
  double trafficPeriod = 0;
  // The interface vanishes (is unplugged) as the PC writes its N-th message;
  // nothing reaches the PC or the bus from then on. 0: never.
  long vanishAfter = 0;
};

// What the station was told, for the tests.
struct StationLog {
  int enterRequests = 0;
  int versionRequests = 0;
  int finishRequests = 0;
  int finishedWithVersion = -1;
  int clears = 0;
  std::vector<std::pair<int, int>> values;
  std::vector<std::string> texts;  // bytes as sent (Windows-1252)
  bool inUpdateMode = false;
};

class SimLoNet : public VirtualBus {
 public:
  explicit SimLoNet(uint32_t seed = 1);

  HandheldConfig handheld;
  StationConfig station;
  Faults faults;
  DataFlash flash;
  StationLog stationLog;
  // A scripted far side in place of the handheld and the station: it sees every
  // message of the PC and returns the answers, which follow its echo 2 ms apart.
  std::function<std::vector<std::vector<uint8_t>>(const std::vector<uint8_t>&)> script;

  // Puts the handheld's texts, settings block and information block into the
  // flash from `handheld`; called by the constructor, again after config changes.
  void ApplyHandheldConfig();

  // VirtualBus
  void PcWrite(double t, std::span<const uint8_t> bytes) override;
  double NextEventTime() const override;
  void AdvanceTo(double t) override;
  std::vector<uint8_t> TakePcBytes() override;
  bool Vanished() const override { return vanished_; }
  // Plugs a vanished interface back in.
  void Reconnect() { vanished_ = false; }

  double Now() const { return now_; }

  // Figures: messages on the bus (PC's and devices'), and bus time of all bytes.
  long busMessages = 0;
  double busTime = 0;
  int installs = 0;
  long pcMessages = 0;       // messages of the PC that went out on the bus
  long answers = 0;          // device answers put on the bus
  long damagedAnswers = 0;   // of those, damaged on the way to the PC
  long trafficMessages = 0;  // messages of the other devices

  // Reads the text slot of a language (count byte and codes) as display codes:
  // the count byte, then that many codes (at most 31); an erased slot gives {0xFF}.
  std::vector<uint8_t> TextSlot(int language, int textNumber) const;
  // The 20-byte information block the handheld reports now.
  std::array<uint8_t, 20> InfoBlock() const;
  // True between start_firmware_update and the restart.
  bool Installing() const { return installing_; }

 private:
  enum EventKind { kBusDone, kAnswerReady, kRestart };
  struct Event {
    double time;
    long order;
    int kind;
    std::vector<uint8_t> bytes;
    bool toPc = true;      // kBusDone: the message reaches the PC
    bool damaged = false;  // kBusDone: it reaches the PC with a flipped bit
  };
  void Schedule(double time, int kind, std::vector<uint8_t> bytes, bool toPc = true,
                bool damaged = false);
  // Queues a message behind everything on the bus, from time t on.
  void PutOnBus(double t, std::vector<uint8_t> bytes, bool toPc, bool damaged = false);
  // The next message of the other devices on the layout.
  std::vector<uint8_t> TrafficMessage();
  void Answer(double delay, std::vector<uint8_t> bytes);
  void OnBusDone(const Event& e);
  void OnAnswerReady(Event& e);
  void Restart();
  void HandheldSees(const std::vector<uint8_t>& m);
  void StationSees(const std::vector<uint8_t>& m);
  std::array<uint8_t, 5> ReportedVersion() const;

  // Implementation details are the simulator's own.
  std::vector<Event> events_;
  std::vector<uint8_t> pcIn_;  // PC bytes being collected into a message
  std::vector<uint8_t> toPc_;  // bytes that reached the PC
  // The handheld's SPI buffer: offsets reach byte 146; a transfer of up to 255 fits.
  std::array<uint8_t, 256> spi_{};
  double now_ = 0;
  double busFreeAt_ = 0;
  long order_ = 0;
  std::mt19937 rng_;
  bool installed_ = false;
  bool installing_ = false;
  std::array<uint8_t, 5> installedVersion_{};
  bool vanished_ = false;
  double lastTraffic_ = 0;
  long trafficTurn_ = 0;
};

}  // namespace skyrelay::sim
