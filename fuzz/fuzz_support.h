// Shared pieces of the fuzz targets: the input as a file, and a world with the
// simulated handheld in virtual time.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/transfer.h"
#include "run/context.h"
#include "sim/sim.h"
#include "sim/virtual_host.h"

namespace skyrelay::fuzz {

// Stops the run with a message: libFuzzer then keeps the input as a finding.
#define FUZZ_EXPECT(condition)                                                            \
  do {                                                                                    \
    if (!(condition)) {                                                                   \
      std::fprintf(stderr, "%s:%d: oracle failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)

// A folder of this process for the input files, made once.
inline const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/skyrelay-fuzz-XXXXXX";
    const char* made = ::mkdtemp(name);
    return std::string(made ? made : "/tmp") + "/";
  }();
  return folder;
}

// Writes the input to a file of the folder; its path.
inline std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = Folder() + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  return path;
}

// The simulated handheld on LocoNet, port open, fast interface.
struct SimWorld {
  sim::SimLoNet sim;
  VirtualHost host{&sim};
  Context ctx{host};
  ConfigurationResult result;
  ConfigurationTarget target{host, ctx.handheld, ctx.desc, result};
  SimWorld() {
    host.Attach(&ctx.link);
    host.Port().Open();
    ctx.settings.InterfaceKind = 3;
  }
};

// Whether memory equals before everywhere outside [first, first + length).
inline bool SameOutside(const std::vector<uint8_t>& memory, const std::vector<uint8_t>& before,
                        size_t first, size_t length) {
  if (memory.size() != before.size() || first + length > memory.size()) return false;
  return std::memcmp(memory.data(), before.data(), first) == 0 &&
         std::memcmp(memory.data() + first + length, before.data() + first + length,
                     memory.size() - first - length) == 0;
}

}  // namespace skyrelay::fuzz
