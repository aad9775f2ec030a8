// The firmware update file: a 41-byte header line, a 5-byte version record
// (major, minor, three date numbers) and 497 block records of 66 bytes (block
// number high byte first, then 64 data bytes). Record k starts at 46 + 66 * k.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/context.h"
#include "package/package_file.h"

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

// Reads the firmware file at path whole (once per loaded package: see
// ReadHeldFile), checks its header and returns its version text and date text. On failure shows
// "Updatefile nicht vorhanden!" (cannot be opened or read), "Falsches Fileformat!" (header differs,
// file too short) or the path and what keeps it from being read (a FIFO, a folder, a file larger
// than an image), title "Achtung!", and sets errorFlag to 1; the texts are then left as they were.
// errorFlag is not touched on success. Never creates a file.
void CheckUpdateFile(Context& ctx, const std::string& path, std::string& versionText,
                     std::string& dateText, int& errorFlag);

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
  bool Open(Context& ctx, const std::string& path);
  const FileProblem& Problem() const { return problem_; }
  bool IsOpen() const { return open_; }
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

  // The byte offset of the next record read, and its record number.
  long Position() const { return position_; }

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
