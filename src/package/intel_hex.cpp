#include "package/intel_hex.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <sstream>

#include "core/translate.h"

namespace skyrelay {

namespace {

constexpr int kDataRecord = 0x00;
constexpr int kEndRecord = 0x01;
constexpr int kExtendedLinearAddress = 0x04;
constexpr size_t kRecordLength = 16;

std::string Record(int type, uint16_t address, const uint8_t* data, size_t count) {
  std::string line = ":";
  char hex[3];
  int sum = static_cast<int>(count) + (address >> 8) + (address & 0xFF) + type;
  auto put = [&](int byte) {
    std::snprintf(hex, sizeof hex, "%02X", byte & 0xFF);
    line += hex;
  };
  put(static_cast<int>(count));
  put(address >> 8);
  put(address & 0xFF);
  put(type);
  for (size_t i = 0; i < count; i++) {
    put(data[i]);
    sum += data[i];
  }
  put(-sum);
  return line + "\r\n";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Puts `bytes` at `address` into the image, joining a run that ends there.
void Append(FlashImage& image, uint32_t address, const std::vector<uint8_t>& bytes) {
  if (auto next = image.upper_bound(address); next != image.begin()) {
    auto last = std::prev(next);
    if (last->first + last->second.size() == address) {
      last->second.insert(last->second.end(), bytes.begin(), bytes.end());
      return;
    }
  }
  image[address] = bytes;
}

}  // namespace

std::string WriteIntelHex(const FlashImage& image) {
  std::string text;
  uint32_t upper = 0;
  for (const auto& [start, bytes] : image) {
    for (size_t i = 0; i < bytes.size();) {
      const uint32_t address = start + static_cast<uint32_t>(i);
      if (address >> 16 != upper) {
        upper = address >> 16;
        const uint8_t high[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
        text += Record(kExtendedLinearAddress, 0, high, 2);
      }
      // A record does not cross a 64 KiB boundary.
      const size_t toBoundary = 0x10000 - (address & 0xFFFF);
      const size_t count = std::min({kRecordLength, bytes.size() - i, toBoundary});
      text += Record(kDataRecord, static_cast<uint16_t>(address & 0xFFFF), bytes.data() + i, count);
      i += count;
    }
  }
  return text + Record(kEndRecord, 0, nullptr, 0);
}

IntelHexRead ReadIntelHex(const std::string& text) {
  IntelHexRead read;
  std::istringstream lines(text);
  std::string line;
  uint32_t upper = 0;
  int number = 0;
  bool ended = false;
  auto fail = [&](const std::string& what) {
    read.image.clear();
    read.problem = Fill(Tr("File", "Zeile %1: %2"), {std::to_string(number), what});
    return read;
  };
  while (std::getline(lines, line)) {
    number++;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty()) continue;
    if (ended) return fail(Tr("File", "Daten nach dem Dateiende-Satz"));
    if (line[0] != ':' || line.size() < 11 || line.size() % 2 == 0) {
      return fail(Tr("File", "kein Intel-HEX-Satz"));
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 1; i + 1 < line.size(); i += 2) {
      const int high = HexDigit(line[i]);
      const int low = HexDigit(line[i + 1]);
      if (high < 0 || low < 0) return fail(Tr("File", "keine Hexadezimalziffer"));
      bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    if (bytes.size() != bytes[0] + 5u) return fail(Tr("File", "falsche Satzlänge"));
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    if (sum != 0) return fail(Tr("File", "falsche Prüfsumme"));
    const uint32_t offset = uint32_t{bytes[1]} << 8 | bytes[2];
    const std::vector<uint8_t> data(bytes.begin() + 4, bytes.end() - 1);
    switch (bytes[3]) {
      case kDataRecord:
        if (!data.empty()) Append(read.image, (upper << 16) + offset, data);
        break;
      case kEndRecord:
        ended = true;
        break;
      case kExtendedLinearAddress:
        if (data.size() != 2) return fail(Tr("File", "falsche Länge der Adresse"));
        upper = uint32_t{data[0]} << 8 | data[1];
        break;
      default:
        return fail(Fill(Tr("File", "unbekannter Satztyp %1"), {std::to_string(bytes[3])}));
    }
  }
  if (!ended) return fail(Tr("File", "der Dateiende-Satz fehlt"));
  return read;
}

size_t ImageSize(const FlashImage& image) {
  size_t size = 0;
  for (const auto& [address, bytes] : image) size += bytes.size();
  return size;
}

}  // namespace skyrelay
