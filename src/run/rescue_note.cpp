#include "run/rescue_note.h"

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace skyrelay {

namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader = "skyrelay-update: Zentrale im Update-Mode";
constexpr const char* kFileName = "zentrale-im-update-mode";
// A note is a handful of short lines; anything larger is not one.
constexpr std::uintmax_t kMaxNoteSize = 8192;

// A value on one line: line breaks would make a second key.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

std::string DefaultRescueFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
    return (fs::path(state) / "skyrelay-update").string();
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return (fs::path(home) / ".local/state/skyrelay-update").string();
  }
  return {};
}

std::string RescueNotePath(const std::string& folder) {
  return (fs::path(folder) / kFileName).string();
}

std::string RescueNoteTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local);
  return text;
}

bool WriteRescueNote(const std::string& folder, const RescueNote& note) {
  std::error_code error;
  fs::create_directories(folder, error);
  const std::string path = RescueNotePath(folder);
  const std::string temporary = path + ".neu." + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << kHeader << "\n"
        << "zeit=" << OneLine(note.startedAt) << "\n"
        << "port=" << OneLine(note.port) << "\n"
        << "interface=" << note.interfaceKind << "\n"
        << "bootloader=" << note.bootLoaderVersion << "\n";
    if (!note.backupPath.empty()) out << "sicherung=" << OneLine(note.backupPath) << "\n";
    out.flush();
    if (!out) {
      fs::remove(temporary, error);
      return false;
    }
  }
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}

RescueNoteRead ReadRescueNote(const std::string& folder) {
  RescueNoteRead read;
  if (folder.empty()) return read;
  read.path = RescueNotePath(folder);
  std::error_code error;
  const fs::file_status status = fs::status(read.path, error);
  if (!fs::exists(status)) return read;
  read.damaged = true;
  if (!fs::is_regular_file(status) || fs::file_size(read.path, error) > kMaxNoteSize || error) {
    return read;
  }
  std::ifstream in(read.path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return read;
  RescueNote note;
  bool interfaceRead = false;
  while (std::getline(in, line)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return read;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "zeit") {
      note.startedAt = value;
    } else if (key == "port") {
      note.port = value;
    } else if (key == "interface") {
      if (value != "1" && value != "3") return read;
      note.interfaceKind = value[0] - '0';
      interfaceRead = true;
    } else if (key == "bootloader") {
      if (value.empty() || value.size() > 3 ||
          value.find_first_not_of("0123456789") != std::string::npos) {
        return read;
      }
      note.bootLoaderVersion = std::stoi(value);
      if (note.bootLoaderVersion > 127) return read;
    } else if (key == "sicherung") {
      note.backupPath = value;
    }
    // Other keys are a later version's: they do not make the note unreadable.
  }
  if (note.port.empty() || !interfaceRead) return read;
  read.damaged = false;
  read.note = note;
  return read;
}

void RemoveRescueNote(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code error;
  fs::remove(RescueNotePath(folder), error);
}

}  // namespace skyrelay
