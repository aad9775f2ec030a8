#include "config/turnouts.h"

#include <array>
#include <cstdint>

#include "device/flash.h"
#include "package/data_files.h"

namespace skyrelay {

namespace {

// Reads the whole file through the package layer. A file that cannot be used
// is reported and ends the transfer, so nothing of it reaches the handheld.
bool ReadUsableDataFile(ConfigurationTarget& t, const std::string& path, size_t size,
                        std::string& bytes) {
  const std::string problem = ReadDataFile(t.description.heldFiles, path, size, bytes);
  if (problem.empty()) return true;
  t.host.Message(Notice{NoticeKind::ConfigurationFileUnusable, {path, problem}});
  t.result.end = ConfigurationEnd::FileUnusable;
  return false;
}

// `count` values of the file from `first`.
template <size_t N>
std::array<int, N> Values(const std::string& bytes, size_t first) {
  std::array<int, N> values{};
  for (size_t k = 0; k < N; k++) values[k] = TurnoutFileValue(bytes, first + k);
  return values;
}

}  // namespace

bool TransferTurnoutSymbols(ConfigurationTarget& t, const std::string& path) {
  std::string bytes;
  if (!ReadUsableDataFile(t, path, TurnoutSymbolFileSize, bytes)) return false;

  for (int symbol = 0; symbol < 256; symbol++) {
    t.host.SetStatus(StatusLine{StatusKind::TurnoutSymbol, symbol});
    t.host.Progress(ProgressStage::TurnoutSymbols, symbol, 256);
    for (int row = 0; row < 2; row++) {
      const size_t first = 64 * symbol + 32 * row;
      // The whole row goes into buffer 1 at once: a shorter transfer would
      // leave the row's last values behind.
      if (Done d = WriteBuffer1(t.handheld, first % FlashPageSize, Values<32>(bytes, first), 20);
          !d) {
        return t.Failed(d.error());
      }
    }
    // Eight symbols fill a page, so buffer 1 needs no loading from the page.
    if (symbol % 8 == 7) {
      if (Done d = t.handheld.write_buf1_to_flash(SymbolAreaBase + 64 * symbol); !d) {
        return t.Failed(d.error());
      }
    }
  }
  return true;
}

bool TransferTurnoutAssignment(ConfigurationTarget& t, const std::string& path) {
  std::string bytes;
  if (!ReadUsableDataFile(t, path, TurnoutAssignmentFileSize, bytes)) return false;

  // Values 0 to 2559 fill five pages; the file's last value is not used.
  for (int page = 0; page < 5; page++) {
    for (int section = 0; section < 8; section++) {
      t.host.SetStatus(StatusLine{StatusKind::TurnoutAssignment, 8 * page + section});
      t.host.Progress(ProgressStage::TurnoutAssignment, 8 * page + section, 40);
      if (Done d = WriteBuffer1(t.handheld, 64 * section,
                                Values<64>(bytes, 512 * page + 64 * section), 80);
          !d) {
        return t.Failed(d.error());
      }
    }
    if (Done d = t.handheld.write_buf1_to_flash(AssignmentAreaBase + 512 * page); !d) {
      return t.Failed(d.error());
    }
  }
  return true;
}

bool TransferTurnoutList(ConfigurationTarget& t, const std::string& path) {
  std::string bytes;
  if (!ReadUsableDataFile(t, path, TurnoutListFileSize, bytes)) return false;

  t.host.SetStatus(StatusLine{StatusKind::TurnoutList});
  t.host.Progress(ProgressStage::TurnoutList, 0, 1);
  // The list fills only bytes 8 to 263 of its page; the page goes into buffer 1
  // first so that the bytes around the list keep their content.
  if (Done d = t.handheld.move_spibuf_to_buf1(TurnoutListPage); !d) return t.Failed(d.error());
  for (int section = 0; section < 4; section++) {
    if (Done d = WriteBuffer1(t.handheld, 8 + 64 * section, Values<64>(bytes, 64 * section), 80);
        !d) {
      return t.Failed(d.error());
    }
  }
  if (Done d = t.handheld.write_buf1_to_flash(TurnoutListPage); !d) return t.Failed(d.error());
  return true;
}

bool TransferCharacterFile(ConfigurationTarget& t, const std::string& path) {
  std::string bytes;
  if (!ReadUsableDataFile(t, path, CharacterFileSize, bytes)) return false;

  std::array<int, 8> definition{};
  for (int i = 0; i < 8; i++) definition[i] = static_cast<uint8_t>(bytes[2 + i]);
  const uint32_t b0 = static_cast<uint8_t>(bytes[0]);
  const uint32_t b1 = static_cast<uint8_t>(bytes[1]);
  const uint32_t address = CharacterAreaBase + 512 * b0 + 8 * b1;

  // The page goes into buffer 1 first, so the other characters of the page stay.
  if (Done d = t.handheld.move_spibuf_to_buf1(address); !d) return t.Failed(d.error());
  if (Done d = WriteBuffer1(t.handheld, (8 * b1) % FlashPageSize, definition, 0); !d) {
    return t.Failed(d.error());
  }
  if (Done d = t.handheld.write_buf1_to_flash(address); !d) return t.Failed(d.error());
  return true;
}

}  // namespace skyrelay
