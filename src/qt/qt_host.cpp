#include "qt/qt_host.h"

#include <poll.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include "link/link.h"

namespace skyrelay {

QtHostBase::QtHostBase() {
  clock_.start();
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (ctx_) ctx_->Tick();
  });
}

void QtHostBase::Attach(Context* ctx) {
  ctx_ = ctx;
  port_.onReceived = [this](std::span<const uint8_t> bytes) {
    if (ctx_) ctx_->OnSerialData(bytes);
  };
  timer_.start();
}

double QtHostBase::Now() {
  return static_cast<double>(clock_.nsecsElapsed()) / 1e9;
}

void QtHostBase::Yield() {
  QCoreApplication::sendPostedEvents();
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  const bool busy = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
  // Nothing was pending: rest a millisecond instead of spinning.
  if (!busy) ::poll(nullptr, 0, 1);
  // An interface that went away ends the wait (and with it the run) here.
  if (ctx_) CheckLink(*ctx_);
  if (afterYield) afterYield();
}

}  // namespace skyrelay
