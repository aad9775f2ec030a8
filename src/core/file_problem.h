// Why a file of an update package cannot be used.
#pragma once

#include <string>

namespace skyrelay {

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

}  // namespace skyrelay
