// The desktop program itself on a virtual X server (Xvfb), against skyrelay-sim
// behind a pseudo-terminal: "Update" is started with the Return key sent to its
// window; during the configuration transfer the X server is killed or the
// program gets a signal. The simulator's trace shows what reached the bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "config_test_files.h"
#include "core/brand.h"
#include "real_time.h"
#include "sim/package.h"

#ifdef SKYRELAY_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace skyrelay::app::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using skyrelay::test::Count;
using skyrelay::test::ReadAll;
using skyrelay::test::Since;
using skyrelay::test::Spawn;
using skyrelay::test::Wait;
using skyrelay::test::Within;
using namespace std::chrono_literals;

// The release as the simulator's trace shows its echo.
constexpr const char* kRelease = "ED 1F 08 4E 57 70 05 7F 7F 7F 70 00 00 00 00 30";
constexpr const char* kStationAnswer = "B4 6D 7F";
// The trace has this many lines to the PC once the configuration transfer is
// well under way: the station's update mode and the identification take about 20.
constexpr size_t kTransferLines = 80;

// The lines of the simulator's trace that show bytes going to the PC (the
// echoes of what the program sent, and the answers).
std::string ToPc(const std::string& trace) {
  std::istringstream lines(trace);
  std::string result;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" <- ") != std::string::npos) result += line + "\n";
  }
  return result;
}

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

#ifdef SKYRELAY_HAVE_XCB

// A client of the X server that finds the program's main window and presses a
// key in it.
class XClient {
 public:
  explicit XClient(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {}
  ~XClient() { xcb_disconnect(c_); }
  bool Connected() const { return xcb_connection_has_error(c_) == 0; }

  // The shown top-level window with this title, or 0.
  xcb_window_t Find(const std::string& title) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, root), nullptr);
    if (!tree) return 0;
    xcb_window_t found = 0;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; i++) {
      xcb_get_window_attributes_reply_t* attributes =
          xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, children[i]), nullptr);
      const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
      free(attributes);
      if (!shown) continue;
      xcb_get_property_reply_t* name = xcb_get_property_reply(
          c_,
          xcb_get_property(c_, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
          nullptr);
      if (name && std::string(static_cast<const char*>(xcb_get_property_value(name)),
                              static_cast<size_t>(xcb_get_property_value_length(name))) == title) {
        found = children[i];
      }
      free(name);
    }
    free(tree);
    return found;
  }

  // Presses and releases the key that gives `keysym` in `window`.
  void PressKey(xcb_window_t window, uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, static_cast<uint8_t>(count)), nullptr);
    ASSERT_NE(map, nullptr);
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t code = 0;
    for (int k = 0; k < count * map->keysyms_per_keycode && code == 0; k++) {
      if (symbols[k] == keysym) {
        code = static_cast<xcb_keycode_t>(setup->min_keycode + k / map->keysyms_per_keycode);
      }
    }
    free(map);
    ASSERT_NE(code, 0);
    for (const uint8_t type : {XCB_KEY_PRESS, XCB_KEY_RELEASE}) {
      xcb_key_press_event_t event{};
      event.response_type = type;
      event.detail = code;
      event.time = XCB_CURRENT_TIME;
      event.root = xcb_setup_roots_iterator(setup).data->root;
      event.event = window;
      event.same_screen = 1;
      xcb_send_event(c_, 0, window,
                     type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                     reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c_);
  }

 private:
  xcb_connection_t* c_;
};

#endif

// How the program is ended during the configuration transfer: its X server
// killed, or a signal to the program.
struct Ending {
  const char* name;
  int signal;         // 0: the X server is killed
  bool outputClosed;  // stdout and stderr go to a pipe nobody reads
};

void PrintTo(const Ending& e, std::ostream* out) {
  *out << e.name;
}

class RealProgram : public ::testing::TestWithParam<Ending> {
 protected:
  void SetUp() override {
#ifndef SKYRELAY_HAVE_XCB
    GTEST_SKIP() << "built without libxcb";
#endif
    if (std::string(SKYRELAY_XVFB_PATH).empty()) GTEST_SKIP() << "no Xvfb (scripts/setup.sh)";
  }
  void TearDown() override {
    for (pid_t pid : {program_, sim_, xvfb_}) {
      if (pid <= 0) continue;
      kill(pid, SIGTERM);
      Wait(pid, 5);
    }
  }
  fs::path File(const std::string& name) const {
    return dir_.path() / name;
  }

  testfiles::TempDir dir_;
  pid_t xvfb_ = -1, sim_ = -1, program_ = -1;
};

// The program exits with status 1. The station is released once, after the end
// began, and the program is gone within a few seconds, also when its output goes
// to a pipe that nobody reads (its warnings then cannot be written).
TEST_P(RealProgram, EndsAfterReleasingTheStation) {
#ifdef SKYRELAY_HAVE_XCB
  const Ending& e = GetParam();
  // The sample package's configuration only: a run without questions.
  sim::WriteSamplePackage(dir_.Folder() + "paket");
  const std::string package = dir_.Write(
      "paket/daten.tup",
      "DEUTSCH=texte\\deutsch.txt\r\nENGLISCH=texte\\english.txt\r\n"
      "WEICHENSYMBOLE=weichen\\symbole.bin\r\nWEICHENZUORDNUNG=weichen\\zuordnung.bin\r\n"
      "WEICHENLISTE=weichen\\liste.bin\r\nZEICHEN=zeichen\\zeichen1.bin\r\n"
      "ZEICHEN=zeichen\\zeichen2.bin\r\n");
  const std::string link = File("loconet").string();
  const std::string settings = dir_.Write("s.cfg", package + "\r\n3\r\n" + link + "\r\n");

  xvfb_ = Spawn(Quote(SKYRELAY_XVFB_PATH) + " -displayfd 1 -nolisten tcp -screen 0 800x600x24 > " +
                Quote(File("display").string()) + " 2> " + Quote(File("xvfb.log").string()));
  std::string display;
  ASSERT_TRUE(Within(10, [&] {
    display = ReadAll(File("display"));
    return display.find('\n') != std::string::npos;
  })) << ReadAll(File("xvfb.log"));
  display = ":" + display.substr(0, display.find('\n'));

  sim_ = Spawn(Quote(SKYRELAY_SIM_PATH) + " --link " + Quote(link) + " --trace > " +
               Quote(File("sim.out").string()) + " 2> " + Quote(File("trace").string()));
  ASSERT_TRUE(Within(5, [&] { return fs::exists(link); }));

  // The note of a run in the station's update mode goes to the test's folder.
  program_ = Spawn(
      "env QT_QPA_PLATFORM=xcb XDG_STATE_HOME=" + Quote(File("state").string()) +
          " XDG_DATA_HOME=" + Quote(File("data").string()) +
          " XDG_CONFIG_HOME=" + Quote(File("config").string()) + " DISPLAY=" + display + " " +
          Quote(SKYRELAY_APP_PATH) + " --language de --settings " + Quote(settings) +
          (e.outputClosed ? "" : " > " + Quote(File("out").string()) + " 2>&1") + " < /dev/null",
      nullptr, false, e.outputClosed);
  XClient x(display);
  ASSERT_TRUE(x.Connected());
  const std::string title(CurrentBrand().MainCaption);
  xcb_window_t window = 0;
  ASSERT_TRUE(Within(10, [&] { return (window = x.Find(title)) != 0; })) << ReadAll(File("out"));

  x.PressKey(window, 0xFF0D);  // Return, on the focused "Update" button
  ASSERT_TRUE(Within(20, [&] {
    return Count(ToPc(ReadAll(File("trace"))), "\n") >= kTransferLines;
  })) << ReadAll(File("trace"));
  const size_t endedAt = ToPc(ReadAll(File("trace"))).size();  // the trace when the end began
  const auto start = Clock::now();
  if (e.signal == 0) {
    kill(xvfb_, SIGTERM);
    Wait(xvfb_, 5);
    xvfb_ = -1;
  } else {
    kill(program_, e.signal);
  }
  const int status = Wait(program_, 10);
  const double seconds = Since(start);
  program_ = -1;

  // The simulator echoes what the program wrote once it has been on the bus;
  // the station's positive answer follows.
  const auto answered = [](const std::string& trace) {
    const size_t release = trace.find(kRelease);
    return release != std::string::npos && trace.find(kStationAnswer, release) != std::string::npos;
  };
  Within(2, [&] { return answered(ToPc(ReadAll(File("trace")))); });
  const std::string trace = ToPc(ReadAll(File("trace")));
  const std::string out = ReadAll(File("out"));
  EXPECT_EQ(status, 1) << out;
  EXPECT_LT(seconds, 3.0) << "to the exit";
  EXPECT_EQ(Count(trace, kRelease), 1u) << trace;
  EXPECT_GT(trace.find(kRelease), endedAt) << "released after the end began";
  EXPECT_TRUE(answered(trace)) << trace.substr(endedAt);
  // Without its display the program says that it releases the station.
  EXPECT_EQ(Count(out, "Zentrale wird aus dem Update-Mode genommen"),
            e.signal == 0 && !e.outputClosed ? 1u : 0u)
      << out;
#endif
}

INSTANTIATE_TEST_SUITE_P(, RealProgram,
                         ::testing::Values(Ending{"DisplayGoneDuringRun", 0, false},
                                           Ending{"DisplayGoneOutputClosed", 0, true},
                                           Ending{"SigtermDuringRun", SIGTERM, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyrelay::app::test
