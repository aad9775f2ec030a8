// Opening and reading the files of an update package. Only regular files are
// opened (a FIFO, a device or a folder is refused at once, without waiting), and
// each kind of file has a size limit; nothing here throws.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "core/file_problem.h"

namespace skyrelay {

// Size limits: text files a few hundred times what a full package needs, the
// binary files exactly what their format holds. A text file of
// this size still loads in a fraction of a second and well under 100 MiB, whatever
// it holds.
inline constexpr size_t DescriptionFileLimit = 256 << 10;  // 256 KiB
inline constexpr size_t LanguageFileLimit = 256 << 10;     // 256 KiB

// Opens the file at path for reading when it is a regular file of at most limit
// bytes: the descriptor (>= 0), or -1 with problem filled in. size gets the
// file's size.
int OpenPackageFile(const std::string& path, size_t limit, FileProblem& problem, size_t& size);

// Reads the whole file into bytes (cleared first) under the same rules.
FileProblem ReadPackageFile(const std::string& path, size_t limit, std::string& bytes);

// A package file read whole, once: the firmware when the description is loaded,
// the configuration files before the port opens for a run. The run stages these
// bytes, so a file changed or removed meanwhile never reaches the handheld.
struct HeldFile {
  size_t limit = 0;     // the size limit it was read under
  FileProblem problem;  // why it could not be read; bytes are then empty
  std::string bytes;
};

// The held files of one loaded package, by the path they were read from.
using HeldFiles = std::map<std::string, HeldFile>;

// ReadPackageFile, once per loaded package: the first call reads the file whole
// and keeps it in `held`; later calls for the same path (and limit) hand out that
// copy, whatever has happened to the file since. A load of a new description
// starts with no copies.
FileProblem ReadHeldFile(HeldFiles& held, const std::string& path, size_t limit,
                         std::string& bytes);

}  // namespace skyrelay
