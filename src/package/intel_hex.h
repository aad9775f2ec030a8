// A DataFlash image as an Intel HEX file: the bytes at their DataFlash
// addresses, sixteen to a data record, with an extended linear address record
// wherever the upper sixteen bits of the address change.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace skyrelay {

// Runs of bytes by their first address. Runs do not overlap; adjacent ones may
// be joined by the reader.
using FlashImage = std::map<uint32_t, std::vector<uint8_t>>;

// The text of the file: records with CR LF, the end-of-file record last.
std::string WriteIntelHex(const FlashImage& image);

struct IntelHexRead {
  FlashImage image;
  // Empty when the file was read; otherwise the line and what is wrong with it
  // (German, for the user).
  std::string problem;
};

// Reads the text of a file written by WriteIntelHex (or any file of data,
// extended linear address and end-of-file records). Adjacent bytes become one run.
IntelHexRead ReadIntelHex(const std::string& text);

// The number of bytes of the image.
size_t ImageSize(const FlashImage& image);

}  // namespace skyrelay
