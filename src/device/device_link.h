// The devices' side of the link: decodes what the handheld and the command
// station answer, and gives every command one typed result.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "link/link.h"

namespace skyrelay {

// Every boot-loader and station command.
enum class Command {
  WakeUp,             // send_pm01
  InfoBlock,          // read_info_block
  InfoBlockProbe,     // probe_info_block: is the boot loader listening?
  ReadFlash,          // read_flash_to_spibuf
  ReadSpiBuffer,      // read_spibuf
  WriteSpiBuffer,     // write_to_spibuf
  MoveToBuffer1,      // move_spibuf_to_buf1
  WriteBuffer1,       // write_buf1_to_flash
  EnterBootLoader,    // enter_boot_loader, its first step
  BootLoaderVersion,  // enter_boot_loader, its second step
  LeaveUpdateMode,    // finish_update_mode
  StationId,          // read_station_id
};

// How often a command goes out in all when its answer does not come (or comes
// damaged, which the link drops): 1 for a command that is never repeated. The
// one place that decides which commands may be repeated, and why.
int CommandTries(Command command);

// Why a command failed: no answer came in time, or (a page read back) the
// handheld holds other bytes than were written.
struct CommandError {
  enum class Kind { NoAnswer, Mismatch };
  Command command;
  Kind kind = Kind::NoAnswer;
  bool operator==(const CommandError&) const = default;
};

// A command's result: its value, or the error that ended it.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: a value is a success
  Result(CommandError error) : error_(error) {}  // NOLINT: an error is a failure
  explicit operator bool() const { return !error_; }
  const T& value() const { return value_; }
  const CommandError& error() const { return *error_; }

 private:
  T value_{};
  std::optional<CommandError> error_;
};

struct Nothing {};
using Done = Result<Nothing>;
inline Done Ok() {
  return Nothing{};
}

// Twenty bytes of the SPI buffer, as one answer carries them.
using Block = std::array<int, 20>;

class DeviceLink {
 public:
  // Decodes every message the link receives from now on.
  explicit DeviceLink(Link& link);
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  Link& link() { return link_; }

  // Told of every command that got no answer in time, once its last try is over
  // (a repeat that got its answer tells nothing).
  std::function<void(const CommandError&)> onNoAnswer;
  // Commands sent again because their answer did not come, since this link was made.
  long repeats = 0;
  // Told of each wake-up request that stayed unanswered, with its number.
  std::function<void(int)> onWakeUpRetry;

  // What the answers said. The acknowledge value of the last 0xB4 0x6D after a
  // long request; 0xE5 answers; the loco a restarted handheld asks for.
  int replyStatus = 0;
  int blockReceived = 0;
  int64_t stationId = 0;
  // -1 while the update-mode request waits for the station's fixed answer, 1 when it came.
  int stationReplyState = 0;
  int requestedLoco = 0;

  // What the handheld's SPI buffer holds as far as this side knows: the bytes
  // last written there and last read back. A write of twenty bytes sends what
  // it does not set itself from here.
  std::array<int, 513> spiBuffer{};
  // Where the next data answer goes in spiBuffer.
  int answerOffset = 0;

  // Sends a message and waits for `answered`, as often as CommandTries allows;
  // reports a time-out of `command` when the last try got no answer. A request
  // whose echo did not come back is not repeated: the interface, not the answer,
  // failed, and the echo time-out tells of that.
  bool Exchange(std::span<const uint8_t> message, Command command, double timeout,
                const std::function<bool()>& answered, TimeTest order = TimeTest::BeforeYield);

 private:
  void Decode(MessageSlot& m);
  void DecodePeer(MessageSlot& m);

  Link& link_;
};

}  // namespace skyrelay
