#include "app/window_host.h"

#include "app/main_win.h"

namespace skyrelay::app {

WindowHost::WindowHost(MainWin& window) : window_(window) {
  afterYield = [this] { window_.AfterYield(); };
}

void WindowHost::SetStatus(const std::string& text) {
  window_.ShowStatus(text);
}

Answer WindowHost::Message(const std::string& text, const std::string& title, Icon icon,
                           Buttons buttons) {
  return window_.ShowMessage(text, title, icon, buttons);
}

void WindowHost::SetVersionLabels(const std::string& funk, const std::string& zentrale) {
  window_.ShowVersionLabels(funk, zentrale);
}

void WindowHost::Progress(ProgressStage stage, int done, int total) {
  window_.ShowProgress(stage, done, total);
}

}  // namespace skyrelay::app
