// The firmware update file: a 41-byte header line, a 5-byte version record
// (major, minor, three date numbers) and 497 block records of 66 bytes (block
// number high byte first, then 64 data bytes). Record k starts at 46 + 66 * k.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "package/package_file.h"
#include "package/package_problem.h"

namespace skyrelay {

inline constexpr std::string_view UpdateFileHeader = "Fennikmoor 58400 Update File Version 1.00";
inline constexpr long UpdateFileHeaderLength = 41;
inline constexpr long VersionRecordLength = 5;
inline constexpr long FirstRecordOffset = UpdateFileHeaderLength + VersionRecordLength;  // 46
inline constexpr long BlockRecordSize = 66;
inline constexpr int BlockDataSize = 64;
inline constexpr int BlockRecordCount = 497;  // blocks 0 to 496
inline constexpr long FirmwareFileSize = FirstRecordOffset + BlockRecordSize * BlockRecordCount;
// How far back one flash page (8 records) lies.
inline constexpr long PageRewindBytes = 8 * BlockRecordSize;  // 528

// "major.minor" and "d1.d2.d3", decimal without leading zeros.
std::string FirmwareVersionText(int major, int minor);
std::string FirmwareDateText(int d1, int d2, int d3);

// What the header check of a firmware file found.
struct FirmwareHeader {
  // FirmwareMissing (cannot be opened or read), FirmwareRefused (a FIFO, a
  // folder, a file larger than an image: detail says which) or
  // FirmwareWrongFormat (header differs, file too short); the texts are then empty.
  std::optional<PackageProblem> problem;
  std::string versionText;
  std::string dateText;
};

// Reads the firmware file at path whole (its held copy: see ReadHeldFile), checks
// its header and gives its version text and date text. Never creates a file.
FirmwareHeader CheckUpdateFile(HeldFiles& held, const std::string& path);

// Hands out a firmware file record by record during the firmware update, from
// the copy read when the package was loaded: the image the user was asked about
// is the image staged.
class FirmwareReader {
 public:
  // Takes the file's held copy (reading it now when the package has none), skips
  // the header without comparing it and reads the version record. False when
  // the file could not be read (missing, not a regular file, larger than an
  // image) or ends within the first 46 bytes; the reader is then closed and
  // Problem() says why.
  bool Open(HeldFiles& held, const std::string& path);
  const FileProblem& Problem() const { return problem_; }
  const std::string& VersionText() const { return versionText_; }
  const std::string& DateText() const { return dateText_; }

  // Reads the next record: its block number (unsigned, high byte first) and its
  // 64 data bytes into data[0..63] (data[64] becomes 0). False when the reader is
  // closed or the file ends before a whole record; blockNumber is then -1, data all 0,
  // and the read position stays where it was.
  bool ReadRecord(int& blockNumber, std::array<int, 65>& data);

  // Moves the read position back by 8 records, so that after reading record k
  // the next record read is record k - 7; never before record 0.
  void Rewind528();

  void Close();

 private:
  bool open_ = false;
  std::string bytes_;
  std::string versionText_;
  std::string dateText_;
  FileProblem problem_;
  long position_ = FirstRecordOffset;
};

}  // namespace skyrelay
