#include "package/numbers.h"

#include <charconv>
#include <cmath>

namespace skyrelay {

double ReadLeadingNumber(const std::string& text) {
  std::string number;  // sign, digits and at most one point, blanks left out
  bool sawDigit = false;
  bool sawPoint = false;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    if ((c == '+' || c == '-') && number.empty()) {
      number += c;
    } else if (c >= '0' && c <= '9') {
      number += c;
      sawDigit = true;
    } else if (c == '.' && !sawPoint) {
      number += c;
      sawPoint = true;
    } else {
      break;
    }
  }
  if (!sawDigit) return 0;

  bool negative = false;
  size_t first = 0;
  if (number[0] == '+' || number[0] == '-') {
    negative = number[0] == '-';
    first = 1;
  }
  // from_chars reads ".5" and "5." as strtod does.
  const std::string digits = number.substr(first);
  double value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                      std::chars_format::fixed);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large, or so small that it underflows: a non-zero digit before the point decides.
    const std::string whole = digits.substr(0, digits.find('.'));
    value = whole.find_first_not_of('0') == std::string::npos ? 0.0 : HUGE_VAL;
  }
  return negative ? -value : value;
}

std::string FormatUserNumber(double value) {
  if (!std::isfinite(value)) return "0";
  if (value == 0) return "0";  // also for -0
  char buffer[400];            // the longest fixed form of a double has about 330 characters
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string text(buffer, result.ptr);
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text;
}

}  // namespace skyrelay
