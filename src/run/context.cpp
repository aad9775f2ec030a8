#include "run/context.h"

#include <cstdlib>

namespace skyrelay {

namespace {

// The name a command's time-out box shows; none for the commands whose
// time-out the caller deals with quietly.
const char* TimeoutName(Command command) {
  switch (command) {
    case Command::ReadFlash:
      return "read_flash_to_spibuf";
    case Command::ReadSpiBuffer:
      return "read_spibuf";
    case Command::WriteSpiBuffer:
      return "write_to_spibuf";
    case Command::MoveToBuffer1:
    case Command::WriteBuffer1:
      return "move_spibuf_to_buf1";
    case Command::EnterBootLoader:
    case Command::LeaveUpdateMode:
      return "enter_boot_loader";
    case Command::BootLoaderVersion:
      return "boot_loader_version";
    case Command::WakeUp:
    case Command::InfoBlock:
    case Command::InfoBlockProbe:
    case Command::StationId:
      return nullptr;
  }
  return nullptr;
}

}  // namespace

std::string DefaultDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::string(data) + "/skyrelay-update";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.local/share/skyrelay-update";
}

Context::Context(Host& h) : host(h), link(h), devices(link), handheld(devices), station(devices) {
  link.onEchoMissing = [this] { host.Message(Notice{NoticeKind::MessageNotSent, {}}); };
  devices.onNoAnswer = [this](const CommandError& error) {
    if (const char* name = TimeoutName(error.command)) {
      host.Message(Notice{NoticeKind::CommandTimeout, {name}});
    }
  };
  devices.onWakeUpRetry = [this](int attempt) {
    host.SetStatus(StatusLine{StatusKind::WakeUpAttempt, attempt});
  };
}

}  // namespace skyrelay
