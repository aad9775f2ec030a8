#include "package/firmware_file.h"

#include <cstdint>

#include "core/translate.h"
#include "package/package_file.h"

namespace skyrelay {

namespace {

// The version record that follows the header: major, minor and the date.
void VersionAndDate(const std::string& bytes, std::string& versionText, std::string& dateText) {
  const auto byte = [&](long i) { return static_cast<uint8_t>(bytes[UpdateFileHeaderLength + i]); };
  versionText = FirmwareVersionText(byte(0), byte(1));
  dateText = FirmwareDateText(byte(2), byte(3), byte(4));
}

}  // namespace

std::string FirmwareVersionText(int major, int minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

std::string FirmwareDateText(int d1, int d2, int d3) {
  return std::to_string(d1) + "." + std::to_string(d2) + "." + std::to_string(d3);
}

FirmwareHeader CheckUpdateFile(HeldFiles& held, const std::string& path) {
  FirmwareHeader header;
  std::string bytes;
  if (const FileProblem problem = ReadHeldFile(held, path, FirmwareFileSize, bytes)) {
    // A FIFO, a folder or a file over the size of an image is named with its problem.
    const bool missing =
        problem.failure == FileFailure::Missing || problem.failure == FileFailure::Unreadable;
    header.problem = missing ? PackageProblem{ProblemKind::FirmwareMissing, path}
                             : PackageProblem{ProblemKind::FirmwareRefused, path, 0, problem.text};
    return header;
  }
  // A header without its version record is no firmware file either.
  if (bytes.size() < static_cast<size_t>(FirstRecordOffset) ||
      bytes.compare(0, UpdateFileHeader.size(), UpdateFileHeader) != 0) {
    header.problem = PackageProblem{ProblemKind::FirmwareWrongFormat, path};
    return header;
  }
  VersionAndDate(bytes, header.versionText, header.dateText);
  return header;
}

bool FirmwareReader::Open(HeldFiles& held, const std::string& path) {
  Close();
  problem_ = ReadHeldFile(held, path, FirmwareFileSize, bytes_);
  if (problem_) return false;
  if (bytes_.size() < static_cast<size_t>(FirstRecordOffset)) {
    Close();
    problem_ = FileProblem{FileFailure::Unreadable, Tr("File", "Datei zu kurz")};
    return false;
  }
  VersionAndDate(bytes_, versionText_, dateText_);
  open_ = true;
  return true;
}

bool FirmwareReader::ReadRecord(int& blockNumber, std::array<int, 65>& data) {
  blockNumber = -1;
  data.fill(0);
  if (!open_ || bytes_.size() < static_cast<size_t>(position_ + BlockRecordSize)) return false;
  const auto byte = [&](long i) { return static_cast<uint8_t>(bytes_[static_cast<size_t>(i)]); };
  blockNumber = byte(position_) * 256 + byte(position_ + 1);
  for (int i = 0; i < BlockDataSize; i++) data[i] = byte(position_ + 2 + i);
  position_ += BlockRecordSize;
  return true;
}

void FirmwareReader::Rewind528() {
  position_ -= PageRewindBytes;
  if (position_ < FirstRecordOffset) position_ = FirstRecordOffset;
}

void FirmwareReader::Close() {
  open_ = false;
  bytes_.clear();
  position_ = FirstRecordOffset;
}

}  // namespace skyrelay
