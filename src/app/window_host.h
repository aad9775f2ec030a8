// The desktop program's host: Qt's event loop, the 10 ms main timer and the
// real serial port, with the main window as status line and message boxes.
// Once it has left the event loop (the program is ending without its
// display), it shows nothing: questions are answered No, notes OK.
#pragma once

#include "qt/qt_host.h"

namespace skyrelay::app {

class MainWin;

class WindowHost : public QtHostBase {
  Q_OBJECT
 public:
  explicit WindowHost(MainWin& window);

  // A backup's path stays shown under the status line.
  void ShowStatus(const StatusLine& status) override;
  void SetStatus(const std::string& text) override;
  // The core's notices: a risky question's box defaults to No.
  Answer Show(const Notice& notice) override;
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override;
  void SetVersionLabels(const std::string& radio, const std::string& digitalSet) override;
  void ShowProgress(const RunProgress& progress) override;
  using Host::Message;
  using Host::SetStatus;

 private:
  MainWin& window_;
};

}  // namespace skyrelay::app
