// The command station: its identification, the update mode, and the values and
// texts it is given, logged for the tests.
#include "sim/sim.h"

#include <algorithm>
#include <utility>

#include "sim/sim_internal.h"

namespace skyrelay::sim {

using internal::Bytes;
using internal::ChecksumOk;
using internal::Finish;
using internal::IsLongTo;
using internal::kAckPositive;
using internal::LongAck;
using internal::LongMessage;
using internal::Unpack;

namespace {

constexpr uint8_t kStation1 = 0x4E, kStation2 = 0x57;
constexpr uint8_t kStationShort2 = 0x51;
constexpr uint8_t kStationCode[8] = {0x15, 0x05, 0x11, 0x2C, 0x09, 0x1A, 0x03, 0x0B};

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

}  // namespace

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
    Answer(delay + station.releaseDelay, LongAck(kAckPositive));
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
