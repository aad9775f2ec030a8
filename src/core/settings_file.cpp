#include "core/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/brand.h"
#include "core/text.h"
#include "core/translate.h"

namespace skyrelay {

namespace {

std::string StripLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
}

// The file a path finally names: symbolic links are followed (a link that
// names a file not yet there names where it will be).
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; hop++) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    char buffer[4096];
    const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return current;
    std::string next(buffer, static_cast<size_t>(n));
    if (next[0] != '/') {
      const size_t slash = current.find_last_of('/');
      if (slash != std::string::npos) next = current.substr(0, slash + 1) + next;
    }
    current = next;
  }
  return current;
}

}  // namespace

bool ReadSettingsFile(const std::string& path, Settings& settings) {
  settings = Settings{};
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  if (std::getline(in, line)) settings.UpdateFilePath = StripLineEnd(line);
  if (std::getline(in, line)) {
    const std::string kind = Trim(line);
    char* end = nullptr;
    const long value = std::strtol(kind.c_str(), &end, 10);
    settings.InterfaceKind = (end && *end == '\0' && !kind.empty()) ? static_cast<int>(value) : 0;
  }
  if (std::getline(in, line)) settings.ComPortNumber = Trim(line);
  return true;
}

bool WriteSettingsFile(const std::string& path, const Settings& settings, std::string* problem) {
  auto fail = [&](const std::string& text) {
    if (problem) *problem = text;
    return false;
  };
  const std::string target = FollowLinks(path);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode))
    return fail(Fill(Tr("Settings", "%1 ist keine Datei"), {target}));
  if (exists && ((st.st_mode & S_IWUSR) == 0 || ::access(target.c_str(), W_OK) != 0)) {
    return fail(
        Fill(Tr("Settings", "%1 ist schreibgeschützt; die Einstellungen werden nicht gespeichert"),
             {target}));
  }

  const std::string temporary = target + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return fail(Fill(Tr("Settings", "%1 kann nicht geschrieben werden"), {target}));
  const std::string text = settings.UpdateFilePath + "\r\n" +
                           std::to_string(settings.InterfaceKind) + "\r\n" +
                           settings.ComPortNumber + "\r\n";
  bool ok = !exists || ::fchmod(fd, st.st_mode & 07777) == 0;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return fail(Fill(Tr("Settings", "%1 kann nicht geschrieben werden"), {target}));
  }
  return true;
}

std::string DefaultSettingsPath(const std::string& programFolder) {
  const std::string name(CurrentBrand().ConfigFileName);
  if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0) {
    return (std::filesystem::path(programFolder) / name).string();
  }
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::filesystem::path(home) / ".config";
  } else {
    std::error_code ignored;
    base = std::filesystem::temp_directory_path(ignored);
    if (base.empty()) base = "/tmp";
  }
  base /= "skyrelay-update";
  std::error_code ignored;
  std::filesystem::create_directories(base, ignored);
  return (base / name).string();
}

}  // namespace skyrelay
