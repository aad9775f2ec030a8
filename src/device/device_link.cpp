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
  link_.Send(message);
  if (link_.Await(timeout, answered, order)) return true;
  if (onNoAnswer) onNoAnswer(CommandError{command});
  return false;
}

}  // namespace skyrelay
