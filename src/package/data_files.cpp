#include "package/data_files.h"

#include "package/package_file.h"

namespace skyrelay {

std::string ReadDataFile(HeldFiles& held, const std::string& path, size_t size,
                         std::string& bytes) {
  if (const FileProblem problem = ReadHeldFile(held, path, size, bytes)) return problem.text;
  if (bytes.size() < size) {
    const size_t got = bytes.size();
    bytes.clear();
    return "Datei zu kurz: " + std::to_string(got) + " statt " + std::to_string(size) + " Bytes";
  }
  return std::string();
}

}  // namespace skyrelay
