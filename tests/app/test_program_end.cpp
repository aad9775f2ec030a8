// How the program ends when nobody closes its window, on the simulated LocoNet
// in virtual time: SIGINT, SIGTERM and SIGHUP during a run, at its questions,
// at "Wirklich beenden?" and outside a run; and an exit from inside the event
// loop (as when the display goes away), which still releases the station.

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "app/program_end.h"
#include "app_world.h"

namespace skyrelay::app::test {
namespace {

// The station's release as the PC sends it: fields 3, 0, 0 and D1 = the boot
// loader version 5 of the simulated station.
constexpr const char* kRelease = "ED 1F 08 4E 57 70 05 7F 7F 7F 70 00 00 00 00 30";

std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", b);
    text += digits;
  }
  return text;
}

// Every message the PC sends, as hex.
struct Sent {
  std::vector<std::string> messages;
  void Attach(AppWorld& w) {
    w.ctx().link.stats.observer = [this](double, bool sent, std::span<const uint8_t> bytes) {
      if (sent) messages.push_back(Hex(bytes));
    };
  }
  int Releases() const {
    return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                          [](const auto& m) { return m.starts_with(kRelease); }));
  }
  bool EndsWithRelease() const {
    return !messages.empty() && messages.back().starts_with(kRelease);
  }
};

// What a shown box was, in short.
QString Kind(const QString& text) {
  if (text.contains("Soll die Version")) return "question";
  if (text.contains("Das Update wird jetzt geladen")) return "notice";
  if (text.contains("Wirklich beenden?")) return "confirm";
  if (text.contains("Firmware-Update ok")) return "firmware ok";
  return text;
}

// The real message boxes and file dialog, answered as a user would: the one
// whose kind is `trigger` gets the signal instead of an answer (it stays open
// until the signal closes it); every other box is answered with Yes or OK.
class Boxes : public QObject {
 public:
  Boxes(QString trigger, int signal) : trigger_(std::move(trigger)), signal_(signal) {
    qApp->installEventFilter(this);
  }
  ~Boxes() override { qApp->removeEventFilter(this); }

  QStringList shown;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    QString kind;
    if (auto* box = qobject_cast<QMessageBox*>(watched)) {
      kind = Kind(box->text());
      if (kind != trigger_) {
        QTimer::singleShot(0, box, [box] {
          QAbstractButton* button = box->button(QMessageBox::Yes);
          (button ? button : box->button(QMessageBox::Ok))->click();
        });
      }
    } else if (qobject_cast<QFileDialog*>(watched)) {
      kind = "file dialog";
    } else {
      return false;
    }
    shown << kind;
    if (kind == trigger_) std::raise(signal_);
    return false;
  }

 private:
  QString trigger_;
  int signal_;
};

// A signal during a run: at a status, at the run's first question or at an
// open "Wirklich beenden?" (the window closed at `at`). The run ends as
// cancelled, the station is released before the window closes (also when a
// second signal comes during the release), and the program's end is marked
// for exit status 1. Before the update-mode request there is nothing to
// release.
TEST(ProgramEnd, SignalDuringARunReleasesTheStationThenClosesTheWindow) {
  struct Case {
    int signal;
    const char* at;     // the status at which the signal comes, or the window is closed
    const char* box;    // the box open when the signal comes ("": none)
    const char* again;  // the status at which a second signal comes ("": none)
    int releases;       // on the bus
    QStringList shown;  // the boxes, in order
  };
  const char* releasing = "Zentrale wird aus dem Update-Mode genommen ...";
  for (const Case& c : {
           Case{SIGTERM, "10%", "", "", 1, {"question"}},
           Case{SIGHUP, "##        ", "", "", 1, {"question", "notice"}},
           Case{SIGINT, "", "question", "", 1, {"question"}},
           Case{SIGTERM, "50%", "confirm", "", 1, {"question", "confirm"}},
           Case{SIGINT, "24%", "", releasing, 1, {"question"}},
           Case{SIGTERM, "Start", "", "", 0, {}},
       }) {
    SCOPED_TRACE(std::string(c.at) + c.box + " " + std::to_string(c.signal));
    AppWorld w;
    w.Start(w.Package(), "3", "1");
    QuitSignals quitSignals;
    ASSERT_TRUE(quitSignals.active());
    EndOnSignals(quitSignals, *w.window);
    w.window->SetMessageHandler({});  // the real boxes
    Boxes boxes(c.box, c.signal);
    Sent sent;
    sent.Attach(w);
    double signalledAt = -1, closedAt = -1;
    int closed = 0;
    QObject::connect(w.window.get(), &MainWin::closedBySignal, [&] {
      closed++;
      closedAt = w.host->Now();
    });
    bool firstDone = false;
    w.host->onStatus = [&](const std::string& text) {
      if (!firstDone && text == c.at) {
        firstDone = true;
        signalledAt = w.host->Now();
        if (std::string(c.box) == "confirm") {
          w.window->close();  // asks; the signal comes while it asks
        } else {
          std::raise(c.signal);
        }
      } else if (firstDone && text == c.again) {
        std::raise(c.signal);
      }
    };
    if (std::string(c.at).empty()) signalledAt = 0;
    w.Click(w.window->updateButton());
    ASSERT_GE(signalledAt, 0);
    EXPECT_EQ(std::tuple(w.window->isVisible(), w.window->endedBySignal(), closed, w.host->status,
                         w.ctx().report.end, sent.Releases(), sent.EndsWithRelease(),
                         w.sim.stationLog.finishRequests, w.sim.stationLog.inUpdateMode,
                         w.sim.installs, w.window->running(), w.host->Port().IsOpen()),
              std::tuple(false, true, 1, "Update abgebrochen", RunEnd::Cancelled, c.releases,
                         c.releases == 1, c.releases, false, 0, false, false));
    EXPECT_EQ(boxes.shown, c.shown);
    EXPECT_LT(closedAt - signalledAt, 3.0) << "closed soon after the signal";
    EXPECT_EQ(w.ctx().report.release, c.releases == 1 ? Release::Confirmed : Release::NotNeeded);
  }
}

// Outside a run a signal closes the window at once, also with the settings
// dialog or the file dialog open; nothing goes to the bus.
TEST(ProgramEnd, SignalOutsideARunClosesTheWindow) {
  struct Case {
    int signal;
    const char* open;  // "settings", "file dialog" or ""
    bool ranBefore;    // a whole run has ended before
  };
  for (const Case& c : {Case{SIGTERM, "", false}, Case{SIGHUP, "settings", false},
                        Case{SIGINT, "file dialog", false}, Case{SIGTERM, "", true}}) {
    SCOPED_TRACE(std::string(c.open) + " " + std::to_string(c.signal));
    AppWorld w;
    w.Start(w.Package(), "3", "1");
    QuitSignals quitSignals;
    EndOnSignals(quitSignals, *w.window);
    if (c.ranBefore) {
      w.Click(w.window->updateButton());
      ASSERT_EQ(w.host->status, "Update beendet");
    }
    Sent sent;
    sent.Attach(w);
    int closed = 0;
    QObject::connect(w.window.get(), &MainWin::closedBySignal, [&] { closed++; });
    w.window->SetFileDialog({});  // the real one
    Boxes boxes(c.open, c.signal);
    if (std::string(c.open) == "settings") w.window->settingsAction()->trigger();
    if (std::string(c.open) == "file dialog") {
      w.window->updateFileAction()->trigger();  // returns once the signal closed it
    } else {
      std::raise(c.signal);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(std::tuple(w.window->isVisible(), w.window->interfaceDialog()->isVisible(),
                         QApplication::activeModalWidget() == nullptr, w.window->endedBySignal(),
                         closed, sent.messages.size(), w.host->Port().IsOpen()),
              std::tuple(false, false, true, true, 1, size_t{0}, false));
  }
}

// The program ends with std::exit from inside the event loop (Qt does so when
// the display connection breaks). Where a run has asked the station into its
// update mode and not yet released it, the station is released first, without
// the event loop: during the transfer, at the wait for the restart, inside a
// timer tick (a box of the tick was open) and after the release had gone out
// but before its answer (sent once more). Before the request, after a run that
// released the station and while a second run identifies the station nothing
// is sent. Each case exits in a child process that reports what the bus saw.
AppWorld* gWorld = nullptr;
Sent* gSent = nullptr;
bool gExitInTick = false;

void ReportBus() {
  // What was written reaches the bus although the program has ended.
  gWorld->sim.AdvanceTo(gWorld->host->Now() + 1.0);
  std::fprintf(stderr, "\nexit in tick %d, releases %d, station in update mode %d, last sent %s\n",
               gExitInTick ? 1 : 0, gSent->Releases(), gWorld->sim.stationLog.inUpdateMode ? 1 : 0,
               gSent->messages.empty() ? "nothing" : gSent->messages.back().substr(0, 14).c_str());
}

// Exits as Qt does when the display is gone.
[[noreturn]] void ExitNow(AppWorld& w) {
  gExitInTick = w.ctx().link.InTick();
  std::exit(1);
}

TEST(ProgramEnd, ExitFromInsideTheEventLoopReleasesAPendingStation) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* moment;
    const char* report;  // "exit in tick, releases, station in update mode, last sent"
  };
  for (const Case& c : {
           Case{"10%", "0, releases 1, station in update mode 0, last sent ED 1F 08 4E 57"},
           Case{"##        ", "0, releases 1, station in update mode 0, last sent ED 1F 08 4E 57"},
           Case{"tick box", "1, releases 1, station in update mode 0, last sent ED 1F 08 4E 57"},
           Case{"release sent",
                "1, releases 2, station in update mode 0, last sent ED 1F 08 4E 57"},
           Case{"Start", "0, releases 0, station in update mode 0, last sent nothing"},
           Case{"after the run",
                "0, releases 1, station in update mode 0, last sent ED 1F 08 4E 57"},
           Case{"second run asks",
                "1, releases 1, station in update mode 0, last sent ED 0F 01 4E 51"},
       }) {
    SCOPED_TRACE(c.moment);
    const auto run = [&c] {
      AppWorld w;
      Sent sent;
      gWorld = &w;
      gSent = &sent;
      w.Start(w.Package(), "3", "1");
      std::atexit(ReportBus);  // runs after the release
      ReleaseStationAtExit(w.window.get());
      const std::string moment = c.moment;
      w.host->onStatus = [&](const std::string& text) {
        if (text == moment) ExitNow(w);
        // The next message gets no echo: its box opens inside the timer tick.
        if (moment == "tick box" && text == "10%") w.sim.faults.dropEchoes = 1;
        if (moment == "release sent" && text == "10%") w.window->close();
      };
      w.onMessage = [&](const ShownMessage& m) {
        if (moment == "tick box" && m.text.contains("Message kann nicht gesendet werden")) {
          ExitNow(w);
        }
      };
      bool secondRun = false;
      w.ctx().link.stats.observer = [&](double, bool isSent, std::span<const uint8_t> bytes) {
        if (!isSent) return;
        sent.messages.push_back(Hex(bytes));
        if (moment == "release sent" && sent.messages.back().starts_with(kRelease)) ExitNow(w);
        // The second run's first request: the first run's update mode is over.
        if (secondRun) ExitNow(w);
      };
      w.Click(w.window->updateButton());
      if (moment == "second run asks") {
        secondRun = true;
        w.Click(w.window->updateButton());
      }
      if (moment == "after the run") ExitNow(w);
      std::_Exit(3);  // the moment never came
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(1), std::string("exit in tick ") + c.report);
  }
}

}  // namespace
}  // namespace skyrelay::app::test
