#include "app/program_end.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/main_win.h"
#include "core/translate.h"

namespace skyrelay::app {

namespace {

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

// The pipe from the signal handler to the event loop: read end, write end.
int gSignalPipe[2] = {-1, -1};

void OnQuitSignal(int signal) {
  const int savedErrno = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  // A full pipe already holds a signal that has not been read: nothing is lost.
  const ssize_t ignored = ::write(gSignalPipe[1], &number, 1);
  (void)ignored;
  errno = savedErrno;
}

MainWin* gExitWindow = nullptr;

void ReleaseAtExit() {
  MainWin* window = std::exchange(gExitWindow, nullptr);
  if (!window || !window->ReleasePending()) return;
  std::fprintf(stderr, "skyrelay-update: %s\n",
               Tr("Status", "Zentrale wird aus dem Update-Mode genommen ...").c_str());
  try {
    window->ReleaseWithoutEventLoop();
  } catch (...) {
    // The program is ending either way.
  }
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    gSignalPipe[0] = gSignalPipe[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::ReadPipe);

  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  // Calls the signal interrupts go on: the event loop learns of it from the pipe.
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kCaught); i++) sigaction(kCaught[i], &action, &previous_[i]);
}

QuitSignals::~QuitSignals() {
  if (!notifier_) return;
  for (size_t i = 0; i < std::size(kCaught); i++) sigaction(kCaught[i], &previous_[i], nullptr);
  delete notifier_;
  notifier_ = nullptr;
  ::close(gSignalPipe[0]);
  ::close(gSignalPipe[1]);
  gSignalPipe[0] = gSignalPipe[1] = -1;
}

void QuitSignals::ReadPipe() {
  unsigned char numbers[16];
  ssize_t n = 0;
  while ((n = ::read(gSignalPipe[0], numbers, sizeof numbers)) > 0) {
    for (ssize_t i = 0; i < n; i++) emit received(numbers[i]);
  }
}

void EndOnSignals(QuitSignals& quitSignals, MainWin& window) {
  QObject::connect(&quitSignals, &QuitSignals::received, &window,
                   [&window] { window.EndBySignal(); });
}

void ReleaseStationAtExit(MainWin* window) {
  static const int registered = std::atexit(ReleaseAtExit);
  (void)registered;
  gExitWindow = window;
}

}  // namespace skyrelay::app
