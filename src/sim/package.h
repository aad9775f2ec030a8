// Synthetic update packages: firmware files, language files, turnout and
// character files. Used by the tests and to build the sample package in examples/.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace skyrelay::sim {

using ByteVector = std::vector<uint8_t>;

// Synthetic images start with this marker followed by the major and minor
// version, so the simulated handheld can report the version it installed.
inline constexpr char kImageMarker[] = "SKYRELAY-FW";

struct FirmwareSpec {
  std::array<uint8_t, 5> version{2, 1, 6, 12, 26};  // major, minor, date 1..3
  uint32_t seed = 1;
};

// The 497 x 64 bytes of a synthetic image.
ByteVector FirmwareImage(const FirmwareSpec& spec);
// A whole firmware update file for the image.
ByteVector FirmwareFileBytes(const FirmwareSpec& spec);

// Turnout files: values stored as 16-bit little-endian numbers.
ByteVector TurnoutSymbolBytes(uint32_t seed);      // 16384 values
ByteVector TurnoutAssignmentBytes(uint32_t seed);  // 2561 values
ByteVector TurnoutListBytes(uint32_t seed);        // 256 values
// The value the generators above store at value index i.
uint8_t TurnoutValue(uint32_t seed, int i);
// A character file: page b0, character b1, eight bytes of the definition.
ByteVector CharacterBytes(uint8_t b0, uint8_t b1, uint32_t seed);

// Lines "NN: text" for texts 0..count-1 (Windows-1252 when cp1252 is set,
// else UTF-8), CR LF line ends. Texts 51 and 52 are given, the rest generated.
std::string LanguageFileText(const std::string& language, int count, bool cp1252);
// The text the generator writes as text number t of a language (UTF-8).
std::string LanguageText(const std::string& language, int t);

void WriteBytes(const std::string& path, const ByteVector& bytes);
void WriteText(const std::string& path, const std::string& text);

// Writes the sample package into dir (created if needed); returns the path of
// its description file.
std::string WriteSamplePackage(const std::string& dir);

}  // namespace skyrelay::sim
