#include "link/serial_setup.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/text.h"
#include "core/translate.h"
#include "link/link.h"

namespace skyrelay {

namespace {

constexpr double kTextLimit = 5.0;  // for sending a text and for its answer

constexpr LineSettings kHighSpeedLine{115200, 'n', 8, 1};
constexpr LineSettings kDialogueLine{2400, 'n', 8, 2};
constexpr LineSettings kStationLine{19200, 'n', 8, 2};

// Characters taken per read while waiting for an answer text.
constexpr size_t kAnswerReadSize = 100;

enum class SendResult { Ok, TimedOut, PortError };

// A whole number of decimal digits only, >= 1; 0 otherwise.
int PositiveNumber(const std::string& s) {
  if (s.empty()) return 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
  }
  int n = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || end != s.data() + s.size()) return 0;
  return n;
}

bool IsDeviceName(const std::string& s) {
  if (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '_' && c != '-' && c != '.') return false;
  }
  return true;
}

// Sets the port's device from the settings; false with the text to show when
// that fails.
bool SetPortFromSettings(SerialPort& port, const Settings& settings, std::string& error) {
  const std::string device = PortDeviceForNumber(settings.ComPortNumber);
  if (device.empty()) {
    error = Fill(Tr("Port", "Ungültiger Portname: \"%1\""), {settings.ComPortNumber});
    return false;
  }
  if (!port.SetPortName(device)) {
    error = port.LastError();
    return false;
  }
  return true;
}

SendResult SendSlowly(Host& host, const std::string& text) {
  SerialPort& port = host.Port();
  port.DiscardOutput();
  const double start = host.Now();
  for (char c : text) {
    const uint8_t byte = static_cast<uint8_t>(c);
    for (;;) {
      host.Yield();
      if (port.ClearToSend()) {
        if (!port.Write(std::span<const uint8_t>(&byte, 1))) return SendResult::PortError;
        break;
      }
      // Only a character that could not go out counts against the time.
      if (host.Now() - start > kTextLimit) return SendResult::TimedOut;
    }
  }
  return SendResult::Ok;
}

// Collects what the interface answers until the answer contains "]"; false
// after 5 seconds without it.
//
// This wait deliberately does not yield: the receive handler must not see the
// answer text, and no timer tick may run in the middle of the dialogue. It still
// must not spin a CPU core, so it relies on the port: a real port's
// BytesWaiting() blocks for a few milliseconds when nothing has arrived yet,
// which keeps this loop idle between characters (and lets a virtual-time port
// move its clock on).
bool AwaitInterfaceAnswer(Host& host) {
  SerialPort& port = host.Port();
  std::string answer;
  const double start = host.Now();
  while (answer.find(']') == std::string::npos) {
    // What has arrived is read before the time is looked at.
    if (port.BytesWaiting() > 0) {
      const std::vector<uint8_t> bytes = port.Read(kAnswerReadSize);
      answer.append(bytes.begin(), bytes.end());
      continue;
    }
    if (host.Now() - start > kTextLimit) return false;
  }
  return true;
}

}  // namespace

std::string PortDeviceForNumber(const std::string& comPortNumber) {
  const std::string s = Trim(comPortNumber);
  if (s.size() > 1 && s[0] == '/') return s;
  if (const int n = PositiveNumber(s); n > 0) return "/dev/ttyS" + std::to_string(n - 1);
  // "COM3" counts like "3".
  if (s.size() >= 3 && (s[0] == 'C' || s[0] == 'c') && (s[1] == 'O' || s[1] == 'o') &&
      (s[2] == 'M' || s[2] == 'm')) {
    const int n = PositiveNumber(s.substr(3));
    return n > 0 ? "/dev/ttyS" + std::to_string(n - 1) : std::string();
  }
  if (IsDeviceName(s)) return "/dev/" + s;
  return {};
}

SetupResult TogglePort(Link& link, const Settings& settings) {
  SerialPort& port = link.host().Port();
  if (port.IsOpen()) {
    port.Close();
    return {};
  }
  // The command station's own serial interface takes its bytes one at a time.
  link.SetWriteMode(settings.InterfaceKind == 1 ? Link::WriteMode::ByteByByte
                                                : Link::WriteMode::Whole);
  SetupResult result;
  switch (settings.InterfaceKind) {
    case 1:
      result = OpenStationSerialInterface(link, settings);
      break;
    case 3:
      result = OpenHighSpeedInterface(link.host(), settings);
      break;
    default:
      // Interface kind 2 (and anything unknown) has no set-up: nothing is opened.
      return {};
  }
  if (result && port.IsOpen()) port.Close();
  return result;
}

SetupResult OpenPortForRun(Link& link, const Settings& settings) {
  // Closing also forgets a device that went away since the last opening.
  link.host().Port().Close();
  return TogglePort(link, settings);
}

Notice LinkLost(Link& link, const Settings& settings) {
  SerialPort& port = link.host().Port();
  std::string device = PortDeviceForNumber(settings.ComPortNumber);
  if (device.empty()) device = settings.ComPortNumber;
  const std::string reason = port.LastError();
  port.Close();
  link.ForgetPending();
  return Notice{NoticeKind::LinkLost, {device, reason}};
}

SetupResult OpenHighSpeedInterface(Host& host, const Settings& settings) {
  SerialPort& port = host.Port();
  std::string error;
  bool ok = SetPortFromSettings(port, settings, error);
  if (ok) {
    ok = port.SetLineSettings(kHighSpeedLine) && port.SetDtrRts(false, false) && port.Open();
    if (!ok) error = port.LastError();
  }
  if (ok) return {};
  return Notice{NoticeKind::PortError, {error}};
}

SetupResult OpenStationSerialInterface(Link& link, const Settings& settings) {
  Host& host = link.host();
  SerialPort& port = host.Port();

  auto portError = [&](const std::string& text) {
    return Notice{NoticeKind::StationPortError, {text}};
  };
  const Notice dialogueError{NoticeKind::InterfaceDialogue, {}};
  // One text command and its answer: nothing when both went through, else the
  // failure to show.
  auto command = [&](const std::string& text) -> SetupResult {
    switch (SendSlowly(host, text)) {
      case SendResult::PortError:
        return portError(port.LastError());
      case SendResult::TimedOut:
        return dialogueError;
      case SendResult::Ok:
        break;
    }
    if (!AwaitInterfaceAnswer(host)) return dialogueError;
    return {};
  };

  if (!port.IsOpen()) {
    std::string error;
    if (!SetPortFromSettings(port, settings, error)) return portError(error);
  }
  if (!port.SetLineSettings(kDialogueLine)) return portError(port.LastError());
  if (!port.IsOpen() && !port.Open()) return portError(port.LastError());

  if (!port.SetBreak(true)) return portError(port.LastError());
  link.WaitSeconds(1);
  if (!port.SetBreak(false)) return portError(port.LastError());
  link.WaitSeconds(0.3);

  if (SetupResult r = command("xB19200\r")) return r;
  link.WaitSeconds(0.3);
  port.Close();
  if (!port.SetLineSettings(kStationLine) || !port.Open()) return portError(port.LastError());

  if (SetupResult r = command("xRT255\r")) return r;
  // Switches the interface into LocoNet mode.
  if (SetupResult r = command("x&LN$3C96\r")) return r;

  // Reopened for the LocoNet traffic, starting with empty buffers.
  port.Close();
  if (!port.Open()) return portError(port.LastError());
  return {};
}

}  // namespace skyrelay
