#include "package/package_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/translate.h"

namespace skyrelay {

namespace {

FileProblem Problem(FileFailure failure, std::string text) {
  return FileProblem{failure, std::move(text)};
}

FileProblem OpenFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return Problem(FileFailure::Missing, Tr("File", "Datei nicht gefunden"));
    case EACCES:
    case EPERM:
      return Problem(FileFailure::Unreadable,
                     Tr("File", "Datei darf nicht gelesen werden (keine Berechtigung)"));
    case ENAMETOOLONG:
      return Problem(FileFailure::Unreadable, Tr("File", "Dateiname zu lang"));
    default:
      return Problem(FileFailure::Unreadable, Tr("File", "Datei kann nicht gelesen werden"));
  }
}

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return Tr("File", "keine Datei, sondern ein Ordner");
  if (S_ISFIFO(mode)) return Tr("File", "keine Datei, sondern eine FIFO");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return Tr("File", "keine Datei, sondern ein Gerät");
  if (S_ISSOCK(mode)) return Tr("File", "keine Datei, sondern ein Socket");
  return Tr("File", "keine Datei, sondern keine gewöhnliche Datei");
}

FileProblem TooLarge(unsigned long long size, size_t limit) {
  return Problem(FileFailure::TooLarge,
                 Fill(Tr("File", "Datei zu groß: %1 Bytes, höchstens %2 Bytes sind erlaubt"),
                      {std::to_string(size), std::to_string(limit)}));
}

}  // namespace

int OpenPackageFile(const std::string& path, size_t limit, FileProblem& problem, size_t& size) {
  problem = FileProblem{};
  size = 0;
  if (path.empty()) {
    problem = OpenFailure(ENOENT);
    return -1;
  }
  // Without O_NONBLOCK, opening a FIFO waits for a writer; with it the open
  // returns at once and the check below refuses the FIFO.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    problem = OpenFailure(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    problem = OpenFailure(errno);
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    problem = Problem(FileFailure::NotRegular, KindOf(st.st_mode));
    ::close(fd);
    return -1;
  }
  if (static_cast<unsigned long long>(st.st_size) > limit) {
    problem = TooLarge(static_cast<unsigned long long>(st.st_size), limit);
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  size = static_cast<size_t>(st.st_size);
  return fd;
}

FileProblem ReadPackageFile(const std::string& path, size_t limit, std::string& bytes) {
  bytes.clear();
  FileProblem problem;
  size_t size = 0;
  const int fd = OpenPackageFile(path, limit, problem, size);
  if (fd < 0) return problem;
  bytes.reserve(size);
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      problem = OpenFailure(errno);
      break;
    }
    if (got == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (bytes.size() + static_cast<size_t>(got) > limit) {
      problem = TooLarge(bytes.size() + static_cast<size_t>(got), limit);
      break;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  if (problem) bytes.clear();
  return problem;
}

FileProblem ReadHeldFile(HeldFiles& held, const std::string& path, size_t limit,
                         std::string& bytes) {
  auto found = held.find(path);
  if (found == held.end() || found->second.limit != limit) {
    HeldFile file;
    file.limit = limit;
    file.problem = ReadPackageFile(path, limit, file.bytes);
    found = held.insert_or_assign(path, std::move(file)).first;
  }
  bytes = found->second.bytes;
  return found->second.problem;
}

}  // namespace skyrelay
