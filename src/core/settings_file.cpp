#include "core/settings_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/brand.h"

namespace skyrelay {

namespace {

std::string Trim(const std::string& s) {
  const size_t begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  const size_t end = s.find_last_not_of(" \t\r\n");
  return s.substr(begin, end - begin + 1);
}

std::string StripLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
  return s;
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

bool WriteSettingsFile(const std::string& path, const Settings& settings) {
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << settings.UpdateFilePath << "\r\n"
        << settings.InterfaceKind << "\r\n"
        << settings.ComPortNumber << "\r\n";
    out.flush();
    if (!out) {
      out.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::remove(temporary.c_str());
    return false;
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
