// How the desktop program ends when nobody closes its window: on a signal
// (logout, shutdown, Ctrl-C in the terminal it was started from, the terminal
// going away) and when its display goes away. Either way a station that a run
// has put into its update mode is released first.
#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;

namespace skyrelay::app {

class MainWin;

// Catches SIGINT, SIGTERM and SIGHUP for as long as it lives. The handler
// only writes the signal's number into a pipe; `received` is emitted on the
// thread that owns this object, from its event loop (every yield of a run lets
// the loop run). The destructor restores what was there before. One at a time.
class QuitSignals : public QObject {
  Q_OBJECT
 public:
  explicit QuitSignals(QObject* parent = nullptr);
  ~QuitSignals() override;

  // Whether the handlers are in place (false when no pipe could be made).
  bool active() const { return notifier_ != nullptr; }

 signals:
  void received(int signal);

 private:
  void ReadPipe();

  QSocketNotifier* notifier_ = nullptr;
  struct sigaction previous_[3]{};
};

// Connects the signals to the window: each one ends the program through
// MainWin::EndBySignal.
void EndOnSignals(QuitSignals& quitSignals, MainWin& window);

// From now on a program that exits (std::exit, also from inside the event
// loop, as Qt's display connection does when the display is gone) first
// releases the station if a run of `window` has a release pending, without
// the event loop (MainWin::ReleaseWithoutEventLoop). nullptr: no more; set it
// before the window goes.
void ReleaseStationAtExit(MainWin* window);

}  // namespace skyrelay::app
