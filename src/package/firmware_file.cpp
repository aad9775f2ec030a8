#include "package/firmware_file.h"

#include <unistd.h>

#include <cstdint>

#include "package/package_file.h"

namespace skyrelay {

namespace {

constexpr const char* kNotThere = "Updatefile nicht vorhanden!";
constexpr const char* kWrongFormat = "Falsches Fileformat!";
constexpr const char* kAttention = "Achtung!";

// Reads up to n bytes; the number read. A read error reports through ferror.
size_t ReadBytes(std::FILE* f, uint8_t* out, size_t n) {
  return std::fread(out, 1, n, f);
}

void VersionAndDate(const uint8_t (&record)[VersionRecordLength], std::string& versionText,
                    std::string& dateText) {
  versionText = FirmwareVersionText(record[0], record[1]);
  dateText = FirmwareDateText(record[2], record[3], record[4]);
}

}  // namespace

std::string FirmwareVersionText(int major, int minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

std::string FirmwareDateText(int d1, int d2, int d3) {
  return std::to_string(d1) + "." + std::to_string(d2) + "." + std::to_string(d3);
}

void CheckUpdateFile(Context& ctx, const std::string& path, std::string& versionText,
                     std::string& dateText, int& errorFlag) {
  auto fail = [&](const char* text) {
    ctx.host.Message(text, kAttention, Icon::Stop, Buttons::Ok);
    errorFlag = 1;
  };

  FileProblem problem;
  size_t size = 0;
  const int fd = OpenPackageFile(path, FirmwareFileSize, problem, size);
  if (fd < 0) {
    if (problem.failure == FileFailure::Missing || problem.failure == FileFailure::Unreadable) {
      return fail(kNotThere);
    }
    // A FIFO, a folder or a file over the size of an image: named with its problem.
    ctx.host.Message(path + "\r" + problem.text + "!", kAttention, Icon::Stop, Buttons::Ok);
    errorFlag = 1;
    return;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
  if (!file) {
    ::close(fd);
    return fail(kNotThere);
  }

  uint8_t header[UpdateFileHeaderLength];
  const size_t got = ReadBytes(file.get(), header, sizeof header);
  if (std::ferror(file.get())) return fail(kNotThere);
  if (got < sizeof header) return fail(kWrongFormat);
  for (size_t i = 0; i < sizeof header; i++) {
    if (header[i] != static_cast<uint8_t>(UpdateFileHeader[i])) return fail(kWrongFormat);
  }

  uint8_t record[VersionRecordLength];
  const size_t gotRecord = ReadBytes(file.get(), record, sizeof record);
  if (std::ferror(file.get())) return fail(kNotThere);
  // A header without its version record is no firmware file either.
  if (gotRecord < sizeof record) return fail(kWrongFormat);
  VersionAndDate(record, versionText, dateText);
}

bool FirmwareReader::Open(const std::string& path) {
  Close();
  size_t size = 0;
  const int fd = OpenPackageFile(path, FirmwareFileSize, problem_, size);
  if (fd < 0) return false;
  file_.reset(::fdopen(fd, "rb"));
  if (!file_) {
    ::close(fd);
    problem_ = FileProblem{FileFailure::Unreadable, "Datei kann nicht gelesen werden"};
    return false;
  }
  uint8_t header[UpdateFileHeaderLength];
  uint8_t record[VersionRecordLength];
  if (ReadBytes(file_.get(), header, sizeof header) != sizeof header ||
      ReadBytes(file_.get(), record, sizeof record) != sizeof record) {
    Close();
    problem_ = FileProblem{FileFailure::Unreadable, "Datei zu kurz"};
    return false;
  }
  VersionAndDate(record, versionText_, dateText_);
  position_ = FirstRecordOffset;
  return true;
}

bool FirmwareReader::ReadRecord(int& blockNumber, std::array<int, 65>& data) {
  blockNumber = -1;
  data.fill(0);
  if (!file_) return false;
  uint8_t record[BlockRecordSize];
  if (std::fseek(file_.get(), position_, SEEK_SET) != 0) return false;
  if (ReadBytes(file_.get(), record, sizeof record) != sizeof record) {
    std::clearerr(file_.get());
    return false;
  }
  blockNumber = record[0] * 256 + record[1];
  for (int i = 0; i < BlockDataSize; i++) data[i] = record[2 + i];
  position_ += BlockRecordSize;
  return true;
}

void FirmwareReader::Rewind528() {
  position_ -= PageRewindBytes;
  if (position_ < FirstRecordOffset) position_ = FirstRecordOffset;
}

void FirmwareReader::Close() {
  file_.reset();
  position_ = FirstRecordOffset;
}

}  // namespace skyrelay
