// A host that runs in virtual time: Yield jumps the clock to the next event
// (the next 10 ms tick or the next byte from the bus), so a two-second time-out
// costs microseconds of CPU. Message boxes and status texts are recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/host.h"
#include "link/link.h"

namespace skyrelay {

// The far side of the serial line, in virtual time.
class VirtualBus {
 public:
  virtual ~VirtualBus() = default;
  // The PC wrote these bytes at time t.
  virtual void PcWrite(double t, std::span<const uint8_t> bytes) = 0;
  // When something next happens on the bus (+infinity: nothing pending).
  virtual double NextEventTime() const = 0;
  // Runs everything up to and including time t.
  virtual void AdvanceTo(double t) = 0;
  // Bytes that have reached the PC by now.
  virtual std::vector<uint8_t> TakePcBytes() = 0;
  // The interface has gone away (unplugged): the port cannot be used or opened.
  virtual bool Vanished() const { return false; }
};

struct RecordedMessage {
  std::string text;
  std::string title;
  Icon icon;
  Buttons buttons;
  Answer answer;
  // The notice it shows; none for a box a front end raised with its own text.
  std::optional<NoticeKind> kind;
  bool risky = false;  // a question only --force answers Yes
};

class VirtualPort : public SerialPort {
 public:
  VirtualPort(VirtualBus* bus, const double* clock) : bus_(bus), clock_(clock) {}

  bool IsOpen() const override { return open_; }
  bool Lost() const override { return lost_; }
  bool Write(std::span<const uint8_t> bytes) override;
  bool ClearToSend() override { return clearToSend; }
  bool SetPortName(const std::string& name) override;
  bool SetLineSettings(const LineSettings& settings) override;
  bool SetDtrRts(bool, bool) override { return true; }
  bool Open() override;
  void Close() override {
    open_ = false;
    lost_ = false;
    held_.clear();
  }
  // The interface went away under the open port.
  void MarkLost();
  bool SetBreak(bool) override { return true; }
  // Bytes that arrived while the host stood still and that no receive
  // notification has handed over yet.
  size_t BytesWaiting() override { return held_.size(); }
  std::vector<uint8_t> Read(size_t maxBytes) override;
  void Hold(const std::vector<uint8_t>& bytes) {
    held_.insert(held_.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> TakeHeld() { return Read(0); }
  void DiscardOutput() override {}
  std::string LastError() const override { return error_; }

  bool clearToSend = true;
  bool failOpen = false;
  // Why an open fails (failOpen), as the system would say.
  PortFailure openFailure = PortFailure::NotFound;
  PortFailure LastFailure() const override { return failure_; }
  std::string name;
  LineSettings line;
  long bytesWritten = 0;
  long writes = 0;  // calls of Write that reached the bus

 private:
  VirtualBus* bus_;
  const double* clock_;
  bool open_ = false;
  bool lost_ = false;
  std::string error_;
  PortFailure failure_ = PortFailure::None;
  std::vector<uint8_t> held_;
};

class VirtualHost : public Host {
 public:
  // Ticks every `tickInterval` seconds of virtual time.
  explicit VirtualHost(VirtualBus* bus = nullptr, double tickInterval = 0.01);

  // The world this host drives; set before anything yields.
  void Attach(Link* link) { ctx_ = link; }

  double Now() override { return now_; }
  void Yield() override;
  void SetStatus(const std::string& text) override;
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override;
  Answer Show(const Notice& notice) override;
  void ShowStatus(const StatusLine& status) override;
  using Host::Message;
  using Host::SetStatus;
  SerialPort& Port() override { return port_; }
  void SetVersionLabels(const std::string& radio, const std::string& digitalSet) override {
    radioLabel = radio;
    digitalSetLabel = digitalSet;
  }

  std::vector<std::string> AvailablePorts() override { return ports; }
  // Every progress report, in order.
  void ShowProgress(const RunProgress& shown) override {
    if (progressShown.size() < statusLimit) progressShown.push_back(shown);
  }

  // The program stands still for `seconds` at the next yield (stopped and
  // continued, a paused machine): the clock jumps, what the bus sends meanwhile
  // waits in the port, and the timer's tick comes before the port's receive
  // notification, as it may on a real event loop. With `when` it stands still
  // at the first yield at whose start `when` holds.
  void Stall(double seconds, std::function<bool()> when = {}) {
    stall_ = seconds;
    stallWhen_ = std::move(when);
  }

  VirtualPort& virtualPort() { return port_; }

  // How questions are answered; the default answers Yes.
  std::function<Answer(const RecordedMessage&)> answerQuestion;
  // Called for every status of the core as it is set, before onStatus.
  std::function<void(const StatusLine&)> onStatusLine;
  // Called for every status text as it is set (for example to print progress).
  std::function<void(const std::string&)> onStatus;
  // Called for every message box after it was answered.
  std::function<void(const RecordedMessage&)> onMessage;
  // Called at the end of every yield (a front end may stop the run from here).
  std::function<void()> afterYield;
  // Keeps at most this many status texts (the run's percentage texts are many)
  // and message boxes.
  size_t statusLimit = 100000;
  size_t messageLimit = 100000;

  std::vector<std::string> statuses;
  std::vector<RunProgress> progressShown;
  // The serial ports the host says there are.
  std::vector<std::string> ports;
  std::vector<RecordedMessage> messages;
  std::string status;
  std::string radioLabel;
  std::string digitalSetLabel;

 private:
  Answer Record(RecordedMessage m);
  std::optional<NoticeKind> showing_;
  bool showingRisky_ = false;
  VirtualBus* bus_;
  Link* ctx_ = nullptr;
  VirtualPort port_;
  double now_ = 0;
  double tickInterval_;
  double nextTick_;
  double stall_ = 0;
  std::function<bool()> stallWhen_;
};

}  // namespace skyrelay
