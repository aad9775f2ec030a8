#include "core/json_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace skyrelay {

namespace {

// The length of the UTF-8 sequence at `i`, or 0 when the bytes there are none
// (a stray continuation byte, a sequence cut short, an overlong form, a
// surrogate, a value above U+10FFFF).
size_t Utf8Length(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t b = byte(i);
  if (b < 0x80) return 1;
  size_t n = 0;
  uint32_t value = 0;
  if ((b & 0xE0) == 0xC0) {
    n = 2;
    value = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3;
    value = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4;
    value = b & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; k++) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!filled_.empty()) {
    if (filled_.back()) out_ += ',';
    filled_.back() = true;
  }
}

void JsonWriter::Quoted(std::string_view s) {
  out_ += '"';
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      // A byte that is no part of a UTF-8 character becomes U+FFFD.
      const size_t n = Utf8Length(s, i);
      if (n == 0) {
        out_ += "\xEF\xBF\xBD";
        i++;
      } else {
        out_.append(s.substr(i, n));
        i += n;
      }
      continue;
    }
    i++;
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out_ += escaped;
        } else {
          out_ += static_cast<char>(c);
        }
    }
  }
  out_ += '"';
}

JsonWriter& JsonWriter::BeginObject() {
  BeforeValue();
  out_ += '{';
  filled_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  out_ += '}';
  filled_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeforeValue();
  out_ += '[';
  filled_.push_back(false);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  out_ += ']';
  filled_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  BeforeValue();
  Quoted(key);
  out_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeforeValue();
  Quoted(text);
  return *this;
}

JsonWriter& JsonWriter::Integer(long long value) {
  BeforeValue();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Number(double value) {
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  // Three decimals without trailing zeros; very large values with an exponent,
  // so that no digit is cut off.
  char text[64];
  const bool large = std::fabs(value) >= 1e15;
  const int n = std::snprintf(text, sizeof text, large ? "%.17g" : "%.3f", value);
  size_t length = n > 0 ? std::min(static_cast<size_t>(n), sizeof text - 1) : 0;
  if (!large) {
    while (length > 0 && text[length - 1] == '0') length--;
    if (length > 0 && text[length - 1] == '.') length--;
  }
  if (length == 2 && text[0] == '-' && text[1] == '0') length = 0;
  if (length == 0) {
    out_.push_back('0');
  } else {
    out_.append(text, length);
  }
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
  return *this;
}

}  // namespace skyrelay
