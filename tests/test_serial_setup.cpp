// Interface set-up in virtual time: a fake serial port that records every
// operation with the time it happened, answers the text commands in scripted
// pieces and fails chosen operations.
#include "link/serial_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/context.h"
#include "core/host.h"

namespace skyrelay {
namespace {

const std::string kDialogueText = "Zeichenübertragung nicht möglich!";
const std::string kErrorText = "Zugriff verweigert";

std::string LineText(const LineSettings& s) {
  return std::to_string(s.baud) + "," + s.parity + "," + std::to_string(s.dataBits) + "," +
         std::to_string(s.stopBits);
}

struct Op {
  double t;
  long yields;  // yields of the host before this operation
  std::string what;
};

// Answer pieces: (seconds after the command's carriage return, text).
using Script = std::vector<std::pair<double, std::string>>;

class FakePort : public SerialPort {
 public:
  FakePort(double& clock, const long& yields) : now_(clock), yields_(yields) {}

  // Answers by command text ("xRT255\r"); commands not listed get `defaultAnswer`.
  std::map<std::string, Script> answers;
  Script defaultAnswer{{0.05, "ok]"}};
  std::function<bool(double)> clearToSend = [](double) { return true; };
  // Operation name -> which call of it (1 = first) fails with kErrorText.
  std::map<std::string, int> failCall;

  std::vector<Op> ops;
  std::map<int, std::string> sentAtBaud;  // text written, by line speed

  bool IsOpen() const override { return open_; }
  bool Write(std::span<const uint8_t> bytes) override {
    const std::string text(bytes.begin(), bytes.end());
    if (!Do("write " + text) || !open_) return false;
    sentAtBaud[line_.baud] += text;
    command_ += text;
    if (!command_.empty() && command_.back() == '\r') {
      auto it = answers.find(command_);
      for (const auto& [delay, piece] : it != answers.end() ? it->second : defaultAnswer) {
        incoming_.emplace(now_ + delay, piece);
      }
      command_.clear();
    }
    return true;
  }
  bool ClearToSend() override { return clearToSend(now_); }
  bool SetPortName(const std::string& name) override { return Do("name " + name); }
  bool SetLineSettings(const LineSettings& s) override {
    if (!Do("line " + LineText(s))) return false;
    line_ = s;
    return true;
  }
  bool SetDtrRts(bool dtr, bool rts) override {
    return Do("dtr/rts " + std::to_string(dtr) + std::to_string(rts));
  }
  bool Open() override { return open_ = Do("open"); }
  void Close() override {
    Do("close");
    open_ = false;
    incoming_.clear();
    arrived_.clear();
  }
  bool SetBreak(bool on) override { return Do(on ? "break on" : "break off"); }
  // Takes a millisecond, like the short blocking wait of a real port.
  size_t BytesWaiting() override {
    now_ += 0.001;
    Arrive();
    return arrived_.size();
  }
  std::vector<uint8_t> Read(size_t maxBytes) override {
    Arrive();
    const std::string text = arrived_.substr(0, maxBytes);
    arrived_.erase(0, text.size());
    Do("read " + text);
    return {text.begin(), text.end()};
  }
  void DiscardOutput() override { Do("discard"); }
  std::string LastError() const override { return error_; }

  // Opens the port behind the set-up's back and forgets that.
  void OpenQuietly() {
    open_ = true;
    ops.clear();
  }

 private:
  // Records the operation; false when it is chosen to fail.
  bool Do(const std::string& what) {
    const std::string name = what.substr(0, what.find(' '));
    const bool fails = ++calls_[name] == failCall[name];
    ops.push_back({now_, yields_, fails ? what + " failed" : what});
    if (fails) error_ = kErrorText;
    return !fails;
  }
  void Arrive() {
    while (!incoming_.empty() && incoming_.begin()->first <= now_) {
      arrived_ += incoming_.begin()->second;
      incoming_.erase(incoming_.begin());
    }
  }

  double& now_;
  const long& yields_;
  bool open_ = false;
  LineSettings line_;
  std::string command_;
  std::multimap<double, std::string> incoming_;
  std::string arrived_;
  std::map<std::string, int> calls_;
  std::string error_;
};

struct Shown {
  double t;
  long yields;
  std::string text;
  std::string title;
  Icon icon;
  Buttons buttons;
};

// Yield jumps to the next 10 ms tick; only the port's waits move time otherwise.
class FakeHost : public Host {
 public:
  double now = 0;
  long yields = 0;
  FakePort port{now, yields};
  std::vector<std::string> statuses;
  std::vector<Shown> shown;

  double Now() override { return now; }
  void Yield() override {
    yields++;
    now = (std::floor(now * 100 + 1e-6) + 1) / 100;
  }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  Answer Message(const std::string& text, const std::string& title, Icon icon,
                 Buttons buttons) override {
    shown.push_back({now, yields, text, title, icon, buttons});
    return Answer::Ok;
  }
  SerialPort& Port() override { return port; }
};

struct Rig {
  FakeHost host;
  Context ctx{host};
  FakePort& port = host.port;

  explicit Rig(int kind, std::string comPort = "1") {
    ctx.settings.InterfaceKind = kind;
    ctx.settings.ComPortNumber = std::move(comPort);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> v;
    for (const Op& op : port.ops) v.push_back(op.what);
    return v;
  }
  // The n-th operation (1 = first) whose text starts with `what`.
  const Op& Find(const std::string& what, int n = 1) const {
    for (const Op& op : port.ops) {
      if (op.what.rfind(what, 0) == 0 && --n == 0) return op;
    }
    static const Op kMissing{-1, -1, "missing"};
    ADD_FAILURE() << "no operation " << what;
    return kMissing;
  }
  // Expects exactly one message box, with OK and no icon.
  void ExpectOneMessage(const std::string& text, const std::string& title) const {
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, text);
    EXPECT_EQ(host.shown[0].title, title);
    EXPECT_EQ(host.shown[0].icon, Icon::None);
    EXPECT_EQ(host.shown[0].buttons, Buttons::Ok);
  }
  // A failed TogglePort: one message, "Fehler", port closed again.
  void ExpectToggleFailure(const std::string& text, const std::string& title) const {
    ExpectOneMessage(text, title);
    EXPECT_EQ(host.statuses, std::vector<std::string>{"Fehler"});
    EXPECT_FALSE(port.IsOpen());
  }
};

std::vector<std::string> Writes(const std::string& text) {
  std::vector<std::string> v;
  for (char c : text) v.push_back(std::string("write ") + c);
  return v;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

// ---- TogglePort ------------------------------------------------------------

TEST(TogglePort, ClosesAnOpenPortWhateverTheKind) {
  for (int kind : {1, 2, 3}) {
    SCOPED_TRACE(kind);
    Rig r(kind, "abc!");
    r.port.OpenQuietly();
    EXPECT_EQ(TogglePort(r.ctx), 0);
    EXPECT_EQ(r.Names(), std::vector<std::string>{"close"});
    EXPECT_TRUE(r.host.shown.empty());
    EXPECT_TRUE(r.host.statuses.empty());
  }
}

TEST(TogglePort, KindTwoAndUnknownKindsOpenNothing) {
  for (int kind : {2, 0, 4}) {
    SCOPED_TRACE(kind);
    Rig r(kind);
    EXPECT_EQ(TogglePort(r.ctx), 0);
    EXPECT_TRUE(r.port.ops.empty());
    EXPECT_FALSE(r.port.IsOpen());
    EXPECT_TRUE(r.host.shown.empty());
    EXPECT_TRUE(r.host.statuses.empty());
  }
}

TEST(TogglePort, InvalidPortNumberFailsBeforeTouchingThePort) {
  for (const auto& [kind, title] : {std::pair<int, std::string>{3, "ComPort Fehler!"},
                                    std::pair<int, std::string>{1, "Verbindungsfehler:"}}) {
    for (std::string number : {"", "0", "-2", "abc!"}) {
      SCOPED_TRACE(std::to_string(kind) + " '" + number + "'");
      Rig r(kind, number);
      EXPECT_EQ(TogglePort(r.ctx), 1);
      EXPECT_TRUE(r.port.ops.empty());
      r.ExpectToggleFailure("Ungültiger Portname: \"" + number + "\"", title);
    }
  }
}

// ---- Interface kind 3 ------------------------------------------------------

TEST(HighSpeedInterface, SetsUpAndOpensInOrder) {
  Rig r(3, "/dev/ttyUSB0");
  EXPECT_EQ(TogglePort(r.ctx), 0);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"name /dev/ttyUSB0", "line 115200,n,8,1",
                                                 "dtr/rts 00", "open"}));
  EXPECT_TRUE(r.port.IsOpen());
  EXPECT_TRUE(r.host.shown.empty());
  EXPECT_TRUE(r.host.statuses.empty());
  EXPECT_EQ(r.host.yields, 0);
}

TEST(HighSpeedInterface, EachPortErrorIsShownAndStopsTheSetUp) {
  for (std::string op : {"name", "line", "dtr/rts", "open"}) {
    SCOPED_TRACE(op);
    Rig r(3, "ttyACM0");
    r.port.failCall[op] = 1;
    EXPECT_EQ(TogglePort(r.ctx), 1);
    EXPECT_EQ(r.port.ops.back().what.rfind(op, 0), 0u) << "nothing after the failure";
    EXPECT_EQ(r.port.ops.back().what.substr(r.port.ops.back().what.size() - 6), "failed");
    r.ExpectToggleFailure(kErrorText, "ComPort Fehler!");
  }
}

// ---- Interface kind 1 ------------------------------------------------------

TEST(StationSerialInterface, DialogueOrderAndLineSettings) {
  Rig r(1, "2");
  EXPECT_EQ(TogglePort(r.ctx), 0);
  EXPECT_EQ(
      r.Names(),
      Concat({{"name /dev/ttyS1", "line 2400,n,8,2", "open", "break on", "break off", "discard"},
              Writes("xB19200\r"),
              {"read ok]", "close", "line 19200,n,8,2", "open", "discard"},
              Writes("xRT255\r"),
              {"read ok]", "discard"},
              Writes("x&LN$3C96\r"),
              {"read ok]", "close", "open"}}));
  EXPECT_EQ(r.port.sentAtBaud,
            (std::map<int, std::string>{{2400, "xB19200\r"}, {19200, "xRT255\rx&LN$3C96\r"}}));
  EXPECT_TRUE(r.port.IsOpen());
  EXPECT_TRUE(r.host.shown.empty());
  EXPECT_TRUE(r.host.statuses.empty());
}

TEST(StationSerialInterface, BreakAndPauseTiming) {
  Rig r(1);
  ASSERT_EQ(TogglePort(r.ctx), 0);
  const double on = r.Find("break on").t, off = r.Find("break off").t;
  EXPECT_GT(off - on, 1.0);
  EXPECT_LT(off - on, 1.02);
  // 0.3 s after the break, then one yield before the first character.
  EXPECT_GT(r.Find("write x").t - off, 0.3);
  EXPECT_LT(r.Find("write x").t - off, 0.33);
  // 0.3 s between the first answer and the change to 19200 baud.
  EXPECT_GT(r.Find("close").t - r.Find("read").t, 0.3);
  EXPECT_LT(r.Find("close").t - r.Find("read").t, 0.32);
}

TEST(StationSerialInterface, AnswerSplitOverReadsWithoutYielding) {
  Rig r(1);
  r.port.answers["xB19200\r"] = {{0.02, "B19200 o"}, {0.5, "k]\r\n"}};
  ASSERT_EQ(TogglePort(r.ctx), 0);
  const Op& cr = r.Find("write \r");
  const Op& first = r.Find("read", 1);
  const Op& second = r.Find("read", 2);
  EXPECT_EQ(first.what, "read B19200 o");
  EXPECT_EQ(second.what, "read k]\r\n");
  EXPECT_GT(second.t - cr.t, 0.499);
  EXPECT_LT(second.t - cr.t, 0.502);
  EXPECT_EQ(second.yields, cr.yields) << "the answer wait must not yield";
  // The dialogue goes on only after the "]".
  EXPECT_GT(r.Find("close").t - second.t, 0.3);
}

TEST(StationSerialInterface, NoClosingBracketFailsAfterFiveSeconds) {
  Script chatter;
  for (int i = 1; i <= 100; i++) chatter.emplace_back(0.1 * i, ".");
  for (const Script& answer : {chatter, Script{}}) {
    SCOPED_TRACE(answer.size());
    Rig r(1);
    r.port.answers["xRT255\r"] = answer;
    EXPECT_EQ(TogglePort(r.ctx), 1);
    r.ExpectToggleFailure(kDialogueText, "Kontrada 1:");
    const Op& cr = r.Find("write \r", 2);
    EXPECT_GT(r.host.shown[0].t - cr.t, 5.0);
    EXPECT_LT(r.host.shown[0].t - cr.t, 5.01);
    EXPECT_EQ(r.host.shown[0].yields, cr.yields);
    EXPECT_EQ(r.port.sentAtBaud[19200], "xRT255\r") << "no further command";
    EXPECT_EQ(r.port.ops.back().what, "close");
    if (!answer.empty()) {
      const auto dots = std::count_if(r.port.ops.begin(), r.port.ops.end(),
                                      [](const Op& o) { return o.what == "read ."; });
      EXPECT_GE(dots, 49) << "characters kept arriving and were read";
    }
  }
}

TEST(StationSerialInterface, ClearToSendStayingOffFailsAfterFiveSeconds) {
  Rig r(1);
  r.port.clearToSend = [](double) { return false; };
  EXPECT_EQ(TogglePort(r.ctx), 1);
  r.ExpectToggleFailure(kDialogueText, "Kontrada 1:");
  const Op& discard = r.Find("discard");
  EXPECT_GT(r.host.shown[0].t - discard.t, 5.0);
  EXPECT_LT(r.host.shown[0].t - discard.t, 5.02);
  EXPECT_GT(r.host.shown[0].yields - discard.yields, 400) << "waits for clear-to-send yielding";
  EXPECT_TRUE(r.port.sentAtBaud.empty());
}

TEST(StationSerialInterface, EachPortErrorIsShownAsConnectionError) {
  const std::vector<std::pair<std::string, int>> failures = {
      {"name", 1},  {"line", 1}, {"open", 1}, {"break", 1}, {"break", 2},
      {"write", 3}, {"line", 2}, {"open", 2}, {"write", 9}, {"open", 3}};
  for (const auto& [op, call] : failures) {
    SCOPED_TRACE(op + " " + std::to_string(call));
    Rig r(1, "ttyUSB1");
    r.port.failCall[op] = call;
    EXPECT_EQ(TogglePort(r.ctx), 1);
    r.ExpectToggleFailure(kErrorText, "Verbindungsfehler:");
    // Nothing but the closing after the failed operation.
    auto failed = std::find_if(r.port.ops.begin(), r.port.ops.end(), [](const Op& o) {
      return o.what.size() > 6 && o.what.substr(o.what.size() - 6) == "failed";
    });
    ASSERT_NE(failed, r.port.ops.end());
    EXPECT_EQ(failed->what.rfind(op, 0), 0u);
    const auto after = r.port.ops.end() - failed - 1;
    EXPECT_LE(after, 1);
    if (after == 1) {
      EXPECT_EQ(r.port.ops.back().what, "close");
    }
  }
}

TEST(StationSerialInterface, AnAlreadyOpenPortKeepsItsDevice) {
  Rig r(1, "abc!");
  r.port.OpenQuietly();
  EXPECT_EQ(OpenStationSerialInterface(r.ctx), 0);
  const std::vector<std::string> names = r.Names();
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], "line 2400,n,8,2");
  EXPECT_EQ(names[1], "break on");
  EXPECT_TRUE(r.host.shown.empty());
}

// ---- SendTextSlowly --------------------------------------------------------

TEST(SendTextSlowly, WritesEachCharacterOnlyWhileClearToSend) {
  Rig r(1);
  r.port.OpenQuietly();
  r.port.clearToSend = [](double t) { return t >= 2.0; };
  EXPECT_EQ(SendTextSlowly(r.ctx, "ab\r"), 0);
  ASSERT_EQ(r.Names(), Concat({{"discard"}, Writes("ab\r")}));
  long yields = r.port.ops[0].yields;
  for (size_t i = 1; i < r.port.ops.size(); i++) {
    EXPECT_GE(r.port.ops[i].t, 2.0);
    EXPECT_GT(r.port.ops[i].yields, yields) << "a yield before every character";
    yields = r.port.ops[i].yields;
  }
}

TEST(SendTextSlowly, FiveSecondsForTheWholeText) {
  Rig r(1);
  r.port.OpenQuietly();
  r.port.clearToSend = [](double t) { return t < 0.025 || (t > 4.0 && t < 4.025); };
  EXPECT_EQ(SendTextSlowly(r.ctx, "abcdef"), 1);
  EXPECT_EQ(r.port.sentAtBaud[115200], "abcd");
  EXPECT_GT(r.host.now, 5.0);
  EXPECT_LT(r.host.now, 5.02);
  EXPECT_TRUE(r.host.shown.empty()) << "the caller reports";
}

TEST(SendTextSlowly, RefusedWriteFails) {
  Rig r(1);  // port closed
  EXPECT_EQ(SendTextSlowly(r.ctx, "x"), 1);
  EXPECT_LT(r.host.now, 0.02);
}

// ---- Port numbers ----------------------------------------------------------

TEST(PortDeviceForNumber, MapsNumbersNamesAndPaths) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"1", "/dev/ttyS0"},
      {"3", "/dev/ttyS2"},
      {"12", "/dev/ttyS11"},
      {" 4\r", "/dev/ttyS3"},
      {"COM2", "/dev/ttyS1"},
      {"com10", "/dev/ttyS9"},
      {"ttyACM0", "/dev/ttyACM0"},
      {"ttyUSB1", "/dev/ttyUSB1"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/dev/serial/by-id/usb-x", "/dev/serial/by-id/usb-x"},
      {"", ""},
      {"  ", ""},
      {"0", ""},
      {"-1", ""},
      {"+1", ""},
      {"1.5", ""},
      {"COM0", ""},
      {"COM", ""},
      {"COMx", ""},
      {"abc!", ""},
      {"tty USB0", ""},
      {"/", ""},
      {"99999999999", ""},
  };
  for (const auto& [number, device] : cases) {
    EXPECT_EQ(PortDeviceForNumber(number), device) << "'" << number << "'";
  }
}

}  // namespace
}  // namespace skyrelay
