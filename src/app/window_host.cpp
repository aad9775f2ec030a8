#include "app/window_host.h"

#include "app/main_win.h"

namespace skyrelay::app {

WindowHost::WindowHost(MainWin& window) : window_(window) {
  afterYield = [this] { window_.AfterYield(); };
}

void WindowHost::ShowStatus(const StatusLine& status) {
  if (status.kind == StatusKind::BackupSaved && !outsideEventLoop()) {
    window_.ShowBackupSaved(status.text);
  }
  QtHostBase::ShowStatus(status);
}

void WindowHost::SetStatus(const std::string& text) {
  if (!outsideEventLoop()) window_.ShowStatus(text);
}

Answer WindowHost::Show(const Notice& notice) {
  const ShownMessage shown = GermanMessage(notice);
  if (outsideEventLoop()) return shown.buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  return window_.ShowMessage(shown.text, shown.title, shown.icon, shown.buttons, notice.risky);
}

Answer WindowHost::Message(const std::string& text, const std::string& title, Icon icon,
                           Buttons buttons) {
  if (outsideEventLoop()) return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  return window_.ShowMessage(text, title, icon, buttons);
}

void WindowHost::SetVersionLabels(const std::string& radio, const std::string& digitalSet) {
  if (!outsideEventLoop()) window_.ShowVersionLabels(radio, digitalSet);
}

void WindowHost::ShowProgress(const RunProgress& progress) {
  if (!outsideEventLoop()) window_.ShowProgress(progress);
}

}  // namespace skyrelay::app
