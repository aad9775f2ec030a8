// The one door between the core and the outside world.
//
// The core (link, protocol, update, config) never touches a window, a timer or a
// serial device itself. A front end (the desktop program, the command-line
// program, the virtual-time host of the tests) implements Host and SerialPort and
// drives the core's tick and receive handler from its own event loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/events.h"
#include "core/progress.h"
#include "core/texts.h"

namespace skyrelay {

// Thrown out of Host::Yield or Host::Message by a front end when the user stops
// a run (Ctrl-C, SIGTERM, closing the window). The update run catches it,
// releases the command station and ends as a failed run.
struct RunCancelled {};

// Baud rate, parity letter, data bits and stop bits ("115200,n,8,1").
struct LineSettings {
  int baud = 115200;
  char parity = 'n';
  int dataBits = 8;
  int stopBits = 1;
};

// Why a port did not open, as far as the system says.
enum class PortFailure { None, NotFound, NoPermission, InUse, Other };

// The serial port operations the link and the interface set-up need.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual bool IsOpen() const = 0;
  // True when the device went away while the port was open (unplugged, hung up,
  // a write or read that failed): the port then counts as closed. Open and Close
  // clear it.
  virtual bool Lost() const { return false; }
  // Writes all bytes; false when they did not go out (closed, or an error).
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Clear-to-send. A port that cannot report modem lines reports true.
  virtual bool ClearToSend() = 0;

  // Set-up operations. Each returns false on failure and leaves the system's
  // description of the error in LastError().
  virtual bool SetPortName(const std::string& name) = 0;
  virtual bool SetLineSettings(const LineSettings& settings) = 0;
  virtual bool SetDtrRts(bool dtr, bool rts) = 0;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool SetBreak(bool on) = 0;
  // Bytes received and not yet handed to anyone. Reading them here takes them
  // away from the receive handler (used by the interface kind 1 text dialogue).
  virtual size_t BytesWaiting() = 0;
  virtual std::vector<uint8_t> Read(size_t maxBytes) = 0;
  virtual void DiscardOutput() = 0;
  virtual std::string LastError() const = 0;
  // The kind of the last error, for the cause the user is told.
  virtual PortFailure LastFailure() const { return PortFailure::Other; }
};

class Host {
 public:
  virtual ~Host() = default;

  // Monotonic clock in seconds, with fractions.
  virtual double Now() = 0;
  // Lets the event loop run once: timer ticks and serial receive notifications
  // happen only inside Yield. Must not spin a CPU core.
  virtual void Yield() = 0;
  // The core's typed events. Every notice is shown (and, for a question,
  // answered) by Show, then told to onNotice; every status goes to ShowStatus.
  Answer Message(const Notice& notice) {
    const Answer answer = Show(notice);
    if (onNotice) onNotice(notice, answer);
    return answer;
  }
  void SetStatus(const StatusLine& status) { ShowStatus(status); }
  std::function<void(const Notice&, Answer)> onNotice;

  // How a front end shows them: by default as the German texts.
  virtual Answer Show(const Notice& notice) {
    const ShownMessage shown = GermanMessage(notice);
    return Message(shown.text, shown.title, shown.icon, shown.buttons);
  }
  virtual void ShowStatus(const StatusLine& status) { SetStatus(GermanStatus(status)); }

  // The main window's status line.
  virtual void SetStatus(const std::string& text) = 0;
  // A modal message box; returns Ok for an OK box, Yes or No for a question.
  virtual Answer Message(const std::string& text, const std::string& title, Icon icon,
                         Buttons buttons) = 0;
  virtual SerialPort& Port() = 0;
  // Captions of the two version labels of the main window (empty: no version).
  virtual void SetVersionLabels(const std::string& radio, const std::string& digitalSet) {
    (void)radio;
    (void)digitalSet;
  }
  // The serial ports there are, to name them when the chosen one is missing.
  virtual std::vector<std::string> AvailablePorts() { return {}; }

  // How far a stage is: `done` of `total` steps. Once a run has started
  // `progress` with its plan, the display covers the whole run.
  void Progress(ProgressStage stage, int done, int total) {
    if (progress.started()) return ShowProgress(progress.Update(stage, done, total, Now()));
    RunProgress shown;
    shown.stage = stage;
    shown.stageDone = done;
    shown.stageTotal = total;
    shown.percent = total > 0 ? done * 100 / total : 0;
    ShowProgress(shown);
  }
  ProgressTracker progress;
  // A host without a progress display ignores it; the status line carries the
  // stages' own texts.
  virtual void ShowProgress(const RunProgress& progress) { (void)progress; }
};

}  // namespace skyrelay
