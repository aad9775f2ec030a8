// Opening and reading the files of an update package. Only regular files are
// opened (a FIFO, a device or a folder is refused at once, without waiting), and
// each kind of file has a size limit; nothing here throws.
#pragma once

#include <cstddef>
#include <string>

namespace skyrelay {

// Size limits: text files a few hundred times what a full package needs, the
// binary files exactly what their format holds. A text file of
// this size still loads in a fraction of a second and well under 100 MiB, whatever
// it holds.
inline constexpr size_t DescriptionFileLimit = 256 << 10;  // 256 KiB
inline constexpr size_t LanguageFileLimit = 256 << 10;     // 256 KiB

enum class FileFailure {
  None,
  Missing,     // no such file (or a folder on the way is missing)
  Unreadable,  // no permission, name too long, read error
  NotRegular,  // a folder, FIFO, device or socket
  TooLarge,    // over the limit of its kind
};

struct FileProblem {
  FileFailure failure = FileFailure::None;
  std::string text;  // German, without the path; empty when the file is usable
  explicit operator bool() const { return failure != FileFailure::None; }
};

// Opens the file at path for reading when it is a regular file of at most limit
// bytes: the descriptor (>= 0), or -1 with problem filled in. size gets the
// file's size.
int OpenPackageFile(const std::string& path, size_t limit, FileProblem& problem, size_t& size);

// Reads the whole file into bytes (cleared first) under the same rules.
FileProblem ReadPackageFile(const std::string& path, size_t limit, std::string& bytes);

}  // namespace skyrelay
