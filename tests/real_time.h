// Helpers of the tests that run the real programs in real time: reading their
// output files and polling for what they do.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace skyrelay::test {

using Clock = std::chrono::steady_clock;

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ostringstream s;
  s << std::ifstream(p, std::ios::binary).rdbuf();
  return s.str();
}

// How often `part` occurs in `text` (overlapping occurrences count).
inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

inline double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Polls `done` every 10 ms for at most `seconds`.
template <class Done>
bool Within(double seconds, Done done) {
  for (const auto start = Clock::now(); !done();
       std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
    if (Since(start) > seconds) return false;
  }
  return true;
}

}  // namespace skyrelay::test
