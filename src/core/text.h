// Small text helpers shared by every layer.
#pragma once

#include <string>
#include <string_view>

namespace skyrelay {

// `text` without the characters of `blanks` at either end.
inline std::string Trim(std::string_view text, std::string_view blanks = " \t\r\n") {
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

}  // namespace skyrelay
