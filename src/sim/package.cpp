#include "sim/package.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/text_codec.h"

namespace skyrelay::sim {

namespace {

constexpr const char* kHeader = "Fennikmoor 58400 Update File Version 1.00";

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

ByteVector Values16(int count, uint32_t seed) {
  ByteVector out;
  out.reserve(count * 2);
  for (int i = 0; i < count; i++) {
    out.push_back(TurnoutValue(seed, i));
    out.push_back(0);
  }
  return out;
}

const char* const kGermanWords[] = {
    "LOK",      "WEICHE", "FAHRSTR.", "MENUE",    "ZURUECK",  "SPEICHERN", "LÖSCHEN",    "ADRESSE",
    "FUNKTION", "STOP",   "GESCHW.",  "RICHTUNG", "PROGRAMM", "ÄNDERN",    "ÜBERNEHMEN", "SPRACHE"};
const char* const kEnglishWords[] = {
    "LOCO",     "TURNOUT", "ROUTE", "MENU",      "BACK",    "SAVE",   "DELETE", "ADDRESS",
    "FUNCTION", "STOP",    "SPEED", "DIRECTION", "PROGRAM", "CHANGE", "ACCEPT", "LANGUAGE"};

}  // namespace

ByteVector FirmwareImage(const FirmwareSpec& spec) {
  ByteVector image(497 * 64);
  for (size_t i = 0; i < image.size(); i++) image[i] = Mix(spec.seed * 1000003u + i) & 0xFF;
  const size_t markerLength = std::strlen(kImageMarker);
  std::memcpy(image.data(), kImageMarker, markerLength);
  image[markerLength] = spec.version[0];
  image[markerLength + 1] = spec.version[1];
  return image;
}

ByteVector FirmwareFileBytes(const FirmwareSpec& spec) {
  ByteVector out;
  out.reserve(46 + 497 * 66);
  for (const char* p = kHeader; *p != '\0'; p++) out.push_back(static_cast<uint8_t>(*p));
  for (uint8_t v : spec.version) out.push_back(v);
  const ByteVector image = FirmwareImage(spec);
  for (int k = 0; k < 497; k++) {
    out.push_back(static_cast<uint8_t>(k >> 8));
    out.push_back(static_cast<uint8_t>(k & 0xFF));
    for (int i = 0; i < 64; i++) out.push_back(image[k * 64 + i]);
  }
  return out;
}

uint8_t TurnoutValue(uint32_t seed, int i) {
  return Mix(seed * 7919u + i) & 0xFF;
}

ByteVector TurnoutSymbolBytes(uint32_t seed) {
  return Values16(16384, seed);
}
ByteVector TurnoutAssignmentBytes(uint32_t seed) {
  return Values16(2561, seed);
}
ByteVector TurnoutListBytes(uint32_t seed) {
  return Values16(256, seed);
}

ByteVector CharacterBytes(uint8_t b0, uint8_t b1, uint32_t seed) {
  ByteVector out{b0, b1};
  for (int i = 0; i < 8; i++) out.push_back(Mix(seed * 31u + i) & 0xFF);
  return out;
}

std::string LanguageText(const std::string& language, int t) {
  const bool german = language == "deutsch";
  if (t == 51) return german ? "Frei" : "Free";
  if (t == 52) return german ? "Belegt" : "Occupied";
  const char* word = german ? kGermanWords[t % 16] : kEnglishWords[t % 16];
  return std::string(word) + " " + std::to_string(t);
}

std::string LanguageFileText(const std::string& language, int count, bool cp1252) {
  std::string out;
  static const char* const kHex = "0123456789ABCDEF";
  for (int t = 0; t < count; t++) {
    out += kHex[(t >> 4) & 15];
    out += kHex[t & 15];
    out += ": " + LanguageText(language, t) + "\r\n";
  }
  return cp1252 ? Utf8ToCp1252(out) : out;
}

void WriteBytes(const std::string& path, const ByteVector& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, ByteVector(text.begin(), text.end()));
}

std::string WriteSamplePackage(const std::string& dir) {
  const std::string d = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  FirmwareSpec radio;
  radio.version = {2, 1, 6, 12, 26};
  radio.seed = 11;
  FirmwareSpec digitalSet;
  digitalSet.version = {2, 1, 6, 12, 26};
  digitalSet.seed = 12;
  WriteBytes(d + "firmware/funk.tup", FirmwareFileBytes(radio));
  WriteBytes(d + "firmware/zentrale.tup", FirmwareFileBytes(digitalSet));
  WriteText(d + "texte/deutsch.txt", LanguageFileText("deutsch", 256, true));
  WriteText(d + "texte/english.txt", LanguageFileText("english", 256, false));
  WriteBytes(d + "weichen/symbole.bin", TurnoutSymbolBytes(1));
  WriteBytes(d + "weichen/zuordnung.bin", TurnoutAssignmentBytes(2));
  WriteBytes(d + "weichen/liste.bin", TurnoutListBytes(3));
  WriteBytes(d + "zeichen/zeichen1.bin", CharacterBytes(0, 1, 1));
  WriteBytes(d + "zeichen/zeichen2.bin", CharacterBytes(1, 5, 2));
  const std::string description =
      "; Beispielpaket für skyrelay-update (erzeugt von make-sample-package)\r\n"
      "FUNK=firmware\\funk.tup\r\n"
      "FUNKVERSION=2.1\r\n"
      "ZENTRALE=firmware\\zentrale.tup\r\n"
      "ZENTRALEVERSION=2.1\r\n"
      "DEUTSCH=texte\\deutsch.txt\r\n"
      "ENGLISCH=texte\\english.txt\r\n"
      "WEICHENSYMBOLE=weichen\\symbole.bin\r\n"
      "WEICHENZUORDNUNG=weichen\\zuordnung.bin\r\n"
      "WEICHENLISTE=weichen\\liste.bin\r\n"
      "ZEICHEN=zeichen\\zeichen1.bin\r\n"
      "ZEICHEN=zeichen\\zeichen2.bin\r\n";
  WriteText(d + "beispiel.tup", Utf8ToCp1252(description));
  return d + "beispiel.tup";
}

}  // namespace skyrelay::sim
