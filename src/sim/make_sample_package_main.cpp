// Writes the sample update package: make-sample-package [FOLDER] (default: examples/paket).
#include <cstdio>
#include <exception>

#include "sim/package.h"

int main(int argc, char** argv) {
  const char* folder = argc > 1 ? argv[1] : "examples/paket";
  try {
    const std::string description = skyrelay::sim::WriteSamplePackage(folder);
    std::printf("%s\n", description.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-sample-package: %s\n", e.what());
    return 1;
  }
  return 0;
}
