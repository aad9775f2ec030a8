#include "qt/qt_host.h"

#include <poll.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <vector>

#include "link/link.h"
#include "qt/serial_ports.h"

namespace skyrelay {

namespace {

constexpr double kTickInterval = 0.01;

}  // namespace

QtHostBase::QtHostBase() {
  clock_.start();
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (ctx_) ctx_->Tick();
  });
}

void QtHostBase::Attach(Link* ctx) {
  ctx_ = ctx;
  port_.onReceived = [this](std::span<const uint8_t> bytes) {
    if (ctx_) ctx_->OnSerialData(bytes);
  };
  timer_.start();
}

std::vector<std::string> QtHostBase::AvailablePorts() {
  std::vector<std::string> ports;
  for (const SerialPortEntry& port : ListSerialPorts()) ports.push_back(port.location);
  return ports;
}

double QtHostBase::Now() {
  return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

void QtHostBase::LeaveEventLoop(double seconds) {
  outsideEventLoop_ = true;
  timer_.stop();
  nextTick_ = Now();
  deadline_ = Now() + seconds;
}

void QtHostBase::Yield() {
  if (outsideEventLoop_) {
    YieldOutsideEventLoop();
    return;
  }
  QCoreApplication::sendPostedEvents();
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  const bool busy = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
  // Nothing was pending: rest a millisecond instead of spinning.
  if (!busy) ::poll(nullptr, 0, 1);
  // An interface that went away ends the wait (and with it the run) here.
  if (ctx_) ctx_->CheckLost();
  if (afterYield) afterYield();
}

void QtHostBase::YieldOutsideEventLoop() {
  if (Now() > deadline_) throw RunCancelled{};
  if (ctx_ && Now() >= nextTick_) {
    nextTick_ = Now() + kTickInterval;
    ctx_->Tick();
  }
  // BytesWaiting waits up to 2 ms for the device when nothing is buffered.
  const double waitedFrom = Now();
  if (port_.IsOpen() && port_.BytesWaiting() > 0) {
    const std::vector<uint8_t> bytes = port_.Read(0);
    if (ctx_ && !bytes.empty()) ctx_->OnSerialData(bytes);
  }
  // A closed or hung-up port returns at once: rest instead of spinning.
  if (Now() - waitedFrom < 0.001) ::poll(nullptr, 0, 1);
  if (ctx_) ctx_->CheckLost();
}

}  // namespace skyrelay
