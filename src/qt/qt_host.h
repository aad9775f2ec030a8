// A host on Qt's event loop: the 10 ms main timer, the real serial port and a
// yield that lets the event loop run without spinning a core. Front ends add
// the status line and the message boxes.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "link/link.h"
#include "qt/qt_serial_port.h"

namespace skyrelay {

class QtHostBase : public QObject, public Host {
  Q_OBJECT
 public:
  QtHostBase();

  // Connects the timer and the port's receive notification to the world.
  void Attach(Link* link);

  double Now() override;
  void Yield() override;
  SerialPort& Port() override { return port_; }
  // The serial ports found on this computer.
  std::vector<std::string> AvailablePorts() override;
  QtSerialPort& qtPort() { return port_; }

  // From now on the world runs without the event loop, for a last exchange
  // when the loop cannot run any more (the program is ending): Yield lets no
  // event through, waits a few milliseconds on the serial port itself, hands
  // what came to the world and ticks it every 10 ms. After `seconds` Yield
  // throws RunCancelled, so that no wait can hold the end back.
  void LeaveEventLoop(double seconds);
  bool outsideEventLoop() const { return outsideEventLoop_; }

  // Called at the end of every yield on the event loop (the command-line
  // program checks for Ctrl-C).
  std::function<void()> afterYield;

 private:
  void YieldOutsideEventLoop();

  QtSerialPort port_;
  QTimer timer_;
  QElapsedTimer clock_;
  Link* ctx_ = nullptr;
  bool outsideEventLoop_ = false;
  double nextTick_ = 0;
  double deadline_ = 0;
};

}  // namespace skyrelay
