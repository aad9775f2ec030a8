// The desktop program's main window on the simulated LocoNet, in virtual time:
// the window, its labels and buttons are the real ones; the host underneath
// jumps the clock instead of waiting, message boxes are answered by the test
// and the file dialog returns what the test chose.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/interface_dialog.h"
#include "app/main_win.h"
#include "app/start_up.h"
#include "config_test_files.h"
#include "package/intel_hex.h"
#include "package/intel_hex.h"
#include "sim/package.h"
#include "sim/sim.h"
#include "sim/virtual_host.h"

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace skyrelay::app::test {

// Lets the layouts take in what changed; nothing waits.
inline void Settle() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

struct ShownMessage {
  QString text, title;
  Icon icon;
  Buttons buttons;
  bool operator==(const ShownMessage&) const = default;
};

// Like the window's own host, it lets Qt's event loop run at every yield (a
// signal's notifier, posted events), and once it has left the loop it shows
// nothing and ends no run.
class SimWindowHost : public VirtualHost {
 public:
  SimWindowHost(sim::SimLoNet* bus, MainWin& window) : VirtualHost(bus), window_(window) {
    afterYield = [this] {
      if (outsideEventLoop) return;
      QCoreApplication::processEvents();
      window_.AfterYield();
    };
  }
  void ShowStatus(const StatusLine& status) override {
    if (status.kind == StatusKind::BackupSaved && !outsideEventLoop) {
      window_.ShowBackupSaved(status.text);
    }
    VirtualHost::ShowStatus(status);
  }
  void SetStatus(const std::string& text) override {
    VirtualHost::SetStatus(text);
    if (!outsideEventLoop) window_.ShowStatus(text);
  }
  Answer Show(const Notice& notice) override {
    risky_ = notice.risky;
    return VirtualHost::Show(notice);
  }
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override {
    const bool risky = std::exchange(risky_, false);
    if (outsideEventLoop) return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    return window_.ShowMessage(text, title, icon, buttons, risky);
  }
  void SetVersionLabels(const std::string& radio, const std::string& digitalSet) override {
    VirtualHost::SetVersionLabels(radio, digitalSet);
    if (!outsideEventLoop) window_.ShowVersionLabels(radio, digitalSet);
  }
  void ShowProgress(const RunProgress& progress) override {
    VirtualHost::ShowProgress(progress);
    if (!outsideEventLoop) window_.ShowProgress(progress);
  }

  bool outsideEventLoop = false;

 private:
  MainWin& window_;
  bool risky_ = false;  // of the notice being shown
};

struct AppWorld {
  AppWorld() {
    window = std::make_unique<MainWin>([this](MainWin& w) {
      auto owned = std::make_unique<SimWindowHost>(&sim, w);
      SimWindowHost* raw = host = owned.get();
      return HostBinding{std::move(owned),
                         [raw](Context* ctx) { raw->Attach(ctx ? &ctx->link : nullptr); },
                         [raw] { raw->outsideEventLoop = true; }};
    });
    window->SetMessageHandler(
        [this](const QString& text, const QString& title, Icon icon, Buttons buttons) {
          messages.push_back({text, title, icon, buttons});
          if (onMessage) onMessage(messages.back());
          return buttons == Buttons::YesNo ? yesNo : Answer::Ok;
        });
    window->SetFileDialog([this](const QString& title, const QString&, const QString& folder) {
      fileDialogTitle = title;
      fileDialogFolder = folder;
      return fileDialogAnswer;
    });
    window->SetSaveDialog([this](const QString& title, const QString& folder, const QString& name) {
      fileDialogTitle = title;
      fileDialogFolder = folder;
      saveDialogName = name;
      return fileDialogAnswer;
    });
  }
  std::string Path(const std::string& relative) const { return (files.path() / relative).string(); }
  std::string SettingsPath() const { return Path("SkyRelayUpd.cfg"); }
  std::string SettingsFile() const {
    std::ostringstream text;
    text << std::ifstream(SettingsPath(), std::ios::binary).rdbuf();
    return text.str();
  }
  // The sample package: firmware 2.1 (the handheld has 1.0), texts, turnouts and characters.
  std::string Package() const { return sim::WriteSamplePackage(Path("paket")); }
  // Starts with this settings file; without arguments, with none.
  void Start(const std::string& updateFile, const std::string& kind, const std::string& port) {
    files.Write("SkyRelayUpd.cfg", updateFile + "\r\n" + kind + "\r\n" + port + "\r\n");
    Start();
  }
  void Start() {
    StartUp(*window, StartUpOptions{SettingsPath(), rescueFolder});
    ctx().dataFolder = Path("data");  // the backups stay in the test's folder
  }
  Context& ctx() { return window->ctx(); }
  QString Status() const { return window->statusLabel()->text(); }
  void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

  testfiles::TempDir files;  // removed after the window is gone
  std::string rescueFolder;  // the note of an interrupted run; none by default
  sim::SimLoNet sim;
  SimWindowHost* host = nullptr;
  std::unique_ptr<MainWin> window;
  std::vector<ShownMessage> messages;
  Answer yesNo = Answer::Yes;                          // the answer to every question
  std::function<void(const ShownMessage&)> onMessage;  // called before it is answered
  std::string fileDialogAnswer;
  QString fileDialogTitle;
  QString fileDialogFolder;
  QString saveDialogName;  // the name the save dialog proposed
};

// The areas of `image` as the simulated handheld's DataFlash has them now.
inline FlashImage FlashNow(const AppWorld& w, const FlashImage& image) {
  FlashImage now;
  for (const auto& [address, bytes] : image) {
    const auto from = w.sim.flash.memory.begin() + address;
    now[address].assign(from, from + static_cast<std::ptrdiff_t>(bytes.size()));
  }
  return now;
}

}  // namespace skyrelay::app::test
