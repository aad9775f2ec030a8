// A temporary folder removed again afterwards, and firmware files built byte by byte.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace skyrelay::testfiles {

class TempDir {
 public:
  // A folder of its own, never one that an earlier run left behind.
  TempDir() {
    std::string name = (std::filesystem::temp_directory_path() /
                        ("skyrelay-" + std::to_string(::getpid()) + "-XXXXXX"))
                           .string();
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp: " + name);
    path_ = name;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string Folder() const { return path_.string() + "/"; }
  // Writes a file below the folder (sub-folders made); returns its full path.
  std::string Write(const std::string& relative, std::string_view bytes) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return file.string();
  }

 private:
  std::filesystem::path path_;
};

inline uint8_t ImageByte(int block, int i) {
  return static_cast<uint8_t>(block * 7 + i * 3 + 1);
}

// Header, version record and `records` block records numbered 0, 1, 2, ...
inline std::string FirmwareFile(
    int major, int minor, int d1 = 3, int d2 = 11, int d3 = 9, int records = 497,
    std::string_view header = "Fennikmoor 58400 Update File Version 1.00") {
  std::string bytes(header);
  for (int v : {major, minor, d1, d2, d3}) bytes += static_cast<char>(v);
  for (int k = 0; k < records; k++) {
    bytes += {static_cast<char>(k >> 8), static_cast<char>(k & 0xFF)};
    for (int i = 0; i < 64; i++) bytes += static_cast<char>(ImageByte(k, i));
  }
  return bytes;
}

}  // namespace skyrelay::testfiles
