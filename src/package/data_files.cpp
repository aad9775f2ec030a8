#include "package/data_files.h"

#include "core/translate.h"
#include "package/package_file.h"

namespace skyrelay {

std::string ReadDataFile(HeldFiles& held, const std::string& path, size_t size,
                         std::string& bytes) {
  if (const FileProblem problem = ReadHeldFile(held, path, size, bytes)) return problem.text;
  if (bytes.size() < size) {
    const size_t got = bytes.size();
    bytes.clear();
    return Fill(Tr("File", "Datei zu kurz: %1 statt %2 Bytes"),
                {std::to_string(got), std::to_string(size)});
  }
  return std::string();
}

}  // namespace skyrelay
