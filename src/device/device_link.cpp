#include "device/device_link.h"

#include "device/long_message.h"

namespace skyrelay {

namespace {

// The command station's fixed answer to the update-mode request, by position;
// -1 marks positions that are not compared. 16..19 and 21..24 carry the station code.
constexpr int kStationReplyPattern[26] = {0xE5, 0x1F, 0x01, 0x50, 0x43, 0x70, -1,   0x7F, 0x7F,
                                          0x7F, 0x70, 0x00, 0x00, 0x00, 0x00, 0x30, -1,   -1,
                                          -1,   -1,   0x70, -1,   -1,   -1,   -1,   0x00};

bool IsStationUpdateReply(const MessageSlot& m) {
  static constexpr int kCodePositions[8] = {16, 17, 18, 19, 21, 22, 23, 24};
  for (int p = 0; p < 26; p++) {
    if (kStationReplyPattern[p] >= 0 && m[p] != kStationReplyPattern[p]) return false;
  }
  for (int k = 0; k < 8; k++) {
    if (m[kCodePositions[k]] != kStationCode[k]) return false;
  }
  return true;
}

}  // namespace

int CommandTries(Command command) {
  // A lost answer is repeated up to three times (four tries in all, each with
  // the full time-out); a layout loses a few messages in 100,000, an update
  // sends about 6,300 commands.
  constexpr int kRepeatable = 4;
  switch (command) {
    // Pure reads: asked again, they return the same and change nothing.
    case Command::InfoBlock:
    case Command::ReadSpiBuffer:
    case Command::BootLoaderVersion:
    // The same DataFlash page or address into the SPI buffer or buffer 1 again:
    // the result is the same however often it runs.
    case Command::ReadFlash:
    case Command::MoveToBuffer1:
    // The same twenty bytes into the same place of the SPI buffer; with a length,
    // the same buffer-1 write (0x84) of the same bytes again.
    case Command::WriteSpiBuffer:
    // Buffer 1, unchanged since, into the same page once more: the page ends as
    // after the first program.
    case Command::WriteBuffer1:
      return kRepeatable;
    // A pure read as well, asked three times in all as it always was: a station
    // that never answers it is one that needs no update mode, and each try
    // costs that run its time-out.
    case Command::StationId:
      return 3;
    // Asked once to learn whether the boot loader listens; a silence is answered
    // by the wake-up and a read_info_block, which is its repeat.
    case Command::InfoBlockProbe:
      return 1;
    // Has its own loop of wake-up requests (send_pm01).
    case Command::WakeUp:
      return 1;
    // Changes the station's state: sent twice, the station could take the
    // second request as a new one, whatever became of the first.
    case Command::EnterBootLoader:
      return 1;
    // The release is sent once at the end of every run, as it always was; the
    // run reports an unconfirmed release.
    case Command::LeaveUpdateMode:
      return 1;
  }
  // start_firmware_update is no command here: it goes out once and nothing
  // waits for an answer. Sent twice, the handheld could begin its installation
  // again in the middle of it.
  return 1;
}

DeviceLink::DeviceLink(Link& link) : link_(link) {
  link_.onMessage = [this](MessageSlot& m) { Decode(m); };
}

void DeviceLink::Decode(MessageSlot& m) {
  switch (m[0]) {
    case 0xB4:
      if (link_.LastEchoedRequest() == 0xED && m[1] == 0x6D) replyStatus = m[2];
      break;
    case 0xE5:
      DecodePeer(m);
      break;
    case 0xBF:
      requestedLoco = m[1] * 128 + m[2];
      break;
    default:
      break;
  }
}

void DeviceLink::DecodePeer(MessageSlot& m) {
  if (stationReplyState == -1 && IsStationUpdateReply(m)) stationReplyState = 1;
  if (m[1] == 0x0F) {
    // A short answer: one flag byte for the seven data bytes behind it.
    for (int k = 0; k < 7; k++) {
      if (m[6] & (1 << k)) m[7 + k] |= 0x80;
    }
    if (m[5] == 9) {
      int64_t number = 0;
      for (int i = 7; i <= 11; i++) number = number * 100 + (m[i] >> 4) * 10 + (m[i] & 0x0F);
      stationId = number;
    }
    return;
  }
  // Only the handheld's 31-byte answer carries data. Other devices on the layout
  // send 0xE5 messages of other lengths; they set nothing.
  if (m[1] != 0x1F) return;
  UnpackHighBits(std::span<uint8_t>(m.data(), 30));
  static constexpr int kDataPositions[20] = {6,  7,  8,  9,  11, 12, 13, 14, 16, 17,
                                             18, 19, 21, 22, 23, 24, 26, 27, 28, 29};
  if (answerOffset >= 0 && answerOffset + 19 <= 512) {
    for (int k = 0; k < 20; k++) spiBuffer[answerOffset + k] = m[kDataPositions[k]];
  }
  blockReceived = 1;
}

bool DeviceLink::Exchange(std::span<const uint8_t> message, Command command, double timeout,
                          const std::function<bool()>& answered, TimeTest order) {
  const int tries = CommandTries(command);
  for (int attempt = 0; attempt < tries; attempt++) {
    const long echoesMissing = link_.stats.echoesMissing;
    if (attempt > 0) repeats++;
    link_.Send(message, attempt > 0);
    if (link_.Await(timeout, answered, order)) return true;
    if (link_.AwaitingEcho() || link_.stats.echoesMissing != echoesMissing) break;
  }
  if (onNoAnswer) onNoAnswer(CommandError{command});
  return false;
}

}  // namespace skyrelay
