// The firmware update file: the header check and the record reader on any bytes.
// Oracle: the check accepts exactly a file that starts with the header and its
// version record and is no larger than an image; the reader hands out exactly
// the whole records the file holds, numbered as written.
#include <array>
#include <cstring>

#include "fuzz_support.h"
#include "package/firmware_file.h"

using namespace skyrelay;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteInput("firmware.tup", data, size);
  HeldFiles held;
  const FirmwareHeader header = CheckUpdateFile(held, path);
  const bool sound = size >= static_cast<size_t>(FirstRecordOffset) &&
                     size <= static_cast<size_t>(FirmwareFileSize) &&
                     std::memcmp(data, UpdateFileHeader.data(), UpdateFileHeader.size()) == 0;
  FUZZ_EXPECT(!header.problem == sound);
  if (sound) FUZZ_EXPECT(header.versionText == FirmwareVersionText(data[41], data[42]));

  FirmwareReader reader;
  const bool opened = reader.Open(held, path);
  FUZZ_EXPECT(opened == (size >= static_cast<size_t>(FirstRecordOffset) &&
                         size <= static_cast<size_t>(FirmwareFileSize)));
  if (!opened) return 0;
  const size_t whole = (size - FirstRecordOffset) / BlockRecordSize;
  size_t records = 0;
  size_t rewoundAt = 0;
  int block = 0;
  std::array<int, 65> bytes{};
  while (reader.ReadRecord(block, bytes)) {
    const size_t at = FirstRecordOffset + BlockRecordSize * records;
    FUZZ_EXPECT(block == data[at] * 256 + data[at + 1]);
    FUZZ_EXPECT(bytes[63] == data[at + 65] && bytes[64] == 0);
    records++;
    // One page back now and then, as a failing page does (once per page).
    if (records % 8 == 0 && records > rewoundAt && (data[at + 2] & 1)) {
      rewoundAt = records;
      reader.Rewind528();
      records -= 8;
    }
  }
  FUZZ_EXPECT(records == whole);
  return 0;
}
