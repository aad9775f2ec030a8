#include "core/text_codec.h"

#include <cstdint>
#include <cstdio>

#include "core/translate.h"

namespace skyrelay {

namespace {

// Windows-1252 0x80..0x9F; 0 marks the five unassigned bytes.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the code points of UTF-8 (an invalid byte gives U+FFFD).
std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    if (b < 0x80) {
      out += b;
      i++;
      continue;
    }
    const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    bool ok = extra > 0 && i + extra < s.size();
    char32_t c = ok ? (b & (0x3F >> extra)) : 0;
    for (int k = 1; ok && k <= extra; k++) {
      const auto cb = static_cast<uint8_t>(s[i + k]);
      ok = (cb & 0xC0) == 0x80;
      c = (c << 6) | (cb & 0x3F);
    }
    if (!ok) {
      out += U'\uFFFD';
      i++;
      continue;
    }
    out += c;
    i += extra + 1;
  }
  return out;
}

}  // namespace

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    int extra;
    char32_t min;
    if (b < 0x80) {
      i++;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    char32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; k++) {
      const auto cb = static_cast<uint8_t>(s[i + k]);
      if ((cb & 0xC0) != 0x80) return false;
      c = (c << 6) | (cb & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::string Cp1252ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    char32_t c = b;
    if (b >= 0x80 && b < 0xA0) c = kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : U'\uFFFD';
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  for (char32_t c : DecodeUtf8(text)) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; k++) {
      if (kCp1252High[k] == c) mapped = static_cast<char>(0x80 + k);
    }
    out += mapped;
  }
  return out;
}

std::string DecodeTextFile(const std::string& bytes) {
  if (IsValidUtf8(bytes)) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return bytes.substr(3);
    return bytes;
  }
  return Cp1252ToUtf8(bytes);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      // A last line cut off after the CR of its CR LF still ends there.
      size_t stop = text.size();
      if (text[stop - 1] == '\r') stop--;
      if (stop > start) lines.push_back(text.substr(start, stop - start));
      break;
    }
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') stop--;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> Utf8Characters(const std::string& text) {
  std::vector<std::string> out;
  for (char32_t c : DecodeUtf8(text)) {
    std::string one;
    AppendUtf8(one, c);
    out.push_back(one);
  }
  return out;
}

size_t Utf8CharacterEnd(const std::string& s, size_t i) {
  if (i >= s.size()) return s.size();
  const auto b = static_cast<uint8_t>(s[i]);
  if (b < 0x80) return i + 1;
  const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + extra >= s.size()) return i + 1;
  for (int k = 1; k <= extra; k++) {
    if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return i + 1;
  }
  return i + extra + 1;
}

std::string Utf8Prefix(const std::string& text, size_t count) {
  size_t at = 0;
  for (size_t n = 0; n < count && at < text.size(); n++) at = Utf8CharacterEnd(text, at);
  return text.substr(0, at);
}

size_t Utf8Length(const std::string& text) {
  size_t n = 0;
  for (size_t at = 0; at < text.size(); at = Utf8CharacterEnd(text, at)) n++;
  return n;
}

std::vector<TextWarning> TextFileWarnings(const std::string& bytes) {
  std::vector<TextWarning> warnings;
  const bool utf8 = IsValidUtf8(bytes);
  int line = 1;
  bool sawUtf8 = false;
  bool sawBroken = false;
  bool sawLoneCr = false;
  int firstStray = 0;  // the line of the first byte that is not UTF-8
  for (size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (b == '\n') line++;
    if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] != '\n' && !sawLoneCr) {
      sawLoneCr = true;
      warnings.push_back({line, Tr("Check",
                                   "Zeilenende nur mit CR (ohne LF): die folgenden Zeilen werden "
                                   "mit dieser zu einer Zeile")});
    }
    if (b < 0x80 || utf8) {
      i = b < 0x80 ? i + 1 : Utf8CharacterEnd(bytes, i);
      continue;
    }
    const size_t end = Utf8CharacterEnd(bytes, i);
    const std::string one = bytes.substr(i, end - i);
    if (end - i > 1 && IsValidUtf8(one)) {
      if (!sawUtf8) {
        sawUtf8 = true;
        warnings.push_back({line, Fill(Tr("Check",
                                          "gemischte Kodierung: UTF-8 („%1“) und Windows-1252 in "
                                          "einer Datei; die ganze Datei wird als Windows-1252 "
                                          "gelesen, „%1“ wird zu „%2“"),
                                       {one, Cp1252ToUtf8(one)})});
      }
    } else {
      if (firstStray == 0) firstStray = line;
      if (b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80] == 0 && !sawBroken) {
        sawBroken = true;
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", b);
        warnings.push_back({line, Fill(Tr("Check",
                                          "kaputte Kodierung: das Byte %1 ist weder in UTF-8 noch "
                                          "in Windows-1252 ein Zeichen, es wird zu „%2“"),
                                       {hex, "\xEF\xBF\xBD"})});
      }
    }
    i = end;
  }
  if (sawUtf8 && firstStray > 0) {
    warnings.push_back(
        {firstStray, Tr("Check", "hier steht ein Byte, das kein UTF-8 ist (Windows-1252)")});
  }
  return warnings;
}

std::string ToUpperText(const std::string& text) {
  std::string out;
  for (char32_t c : DecodeUtf8(text)) {
    if (c >= U'a' && c <= U'z') {
      c -= 32;
    } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
      c -= 32;
    } else if (c == 0xFF) {
      c = 0x178;
    } else if (c == 0x161 || c == 0x153 || c == 0x17E) {
      c -= 1;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace skyrelay
