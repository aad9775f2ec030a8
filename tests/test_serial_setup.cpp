// Interface set-up in virtual time, against a fake port that logs each operation.
#include "link/serial_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/context.h"

namespace skyrelay {
namespace {

using Strings = std::vector<std::string>;
const std::string kDialogueError = "Kontrada 1:|Zeichenübertragung nicht möglich!";
const std::string kError = "Zugriff verweigert";

struct Op {
  double t;
  long yields;
  std::string what;
};
using Script = std::vector<std::pair<double, std::string>>;  // (delay after the CR, text)

class FakePort : public SerialPort {
 public:
  FakePort(double& now, const long& yields) : now_(now), yields_(yields) {}
  std::map<std::string, Script> answers;  // by command; others answer "ok]" after 50 ms
  std::function<bool(double)> cts = [](double) { return true; };
  std::string failOp;  // fails on its failNth call
  int failNth = 1;
  std::vector<Op> ops;
  bool open = false;

  bool IsOpen() const override { return open; }
  bool Write(std::span<const uint8_t> bytes) override {
    const std::string text(bytes.begin(), bytes.end());
    if (!Do("write " + text) || !open) return false;
    command_ += text;
    if (command_.back() == '\r') {
      const auto it = answers.find(command_);
      for (const auto& [delay, piece] : it != answers.end() ? it->second : Script{{0.05, "ok]"}}) {
        incoming_.emplace(now_ + delay, piece);
      }
      command_.clear();
    }
    return true;
  }
  bool ClearToSend() override { return cts(now_); }
  bool SetPortName(const std::string& name) override { return Do("name " + name); }
  bool SetLineSettings(const LineSettings& s) override {
    return Do("line " + std::to_string(s.baud) + "," + s.parity + "," + std::to_string(s.dataBits) +
              "," + std::to_string(s.stopBits));
  }
  bool SetDtrRts(bool dtr, bool rts) override {
    return Do("dtr/rts " + std::to_string(dtr) + std::to_string(rts));
  }
  bool Open() override { return open = Do("open"); }
  void Close() override {
    Do("close");
    open = false;
  }
  bool SetBreak(bool on) override { return Do(on ? "break on" : "break off"); }
  size_t BytesWaiting() override {  // a real port's short blocking wait
    now_ += 0.001;
    while (!incoming_.empty() && incoming_.begin()->first <= now_) {
      arrived_ += incoming_.begin()->second;
      incoming_.erase(incoming_.begin());
    }
    return arrived_.size();
  }
  std::vector<uint8_t> Read(size_t) override {
    const std::string text = std::exchange(arrived_, {});
    Do("read " + text);
    return {text.begin(), text.end()};
  }
  void DiscardOutput() override { Do("discard"); }
  std::string LastError() const override { return kError; }

 private:
  bool Do(const std::string& what) {
    const bool fails = what.rfind(failOp + " ", 0) == 0 || what == failOp;
    const bool failsNow = !failOp.empty() && fails && ++failCalls_ == failNth;
    ops.push_back({now_, yields_, failsNow ? what + " failed" : what});
    return !failsNow;
  }
  double& now_;
  const long& yields_;
  int failCalls_ = 0;
  std::string command_, arrived_;
  std::multimap<double, std::string> incoming_;
};

// Yield jumps to the next 10 ms tick; otherwise only the port's waits move time.
class FakeHost : public Host {
 public:
  double now = 0;
  long yields = 0;
  FakePort port{now, yields};
  Strings statuses;
  std::vector<Op> shown;  // "title|text"

  double Now() override { return now; }
  void Yield() override {
    yields++;
    now = (std::floor(now * 100 + 1e-6) + 1) / 100;
  }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  Answer Message(const std::string& text, const std::string& title, Icon, Buttons) override {
    shown.push_back({now, yields, title + "|" + text});
    return Answer::Ok;
  }
  SerialPort& Port() override { return port; }
};

struct Rig {
  FakeHost host;
  Context ctx{host};
  FakePort& port = host.port;

  explicit Rig(int kind, std::string number = "1") {
    ctx.settings.InterfaceKind = kind;
    ctx.settings.ComPortNumber = std::move(number);
  }
  // Operation names, runs of single-character writes joined into one.
  Strings Names() const {
    Strings v;
    for (const Op& op : port.ops) {
      if (op.what.rfind("write ", 0) == 0 && !v.empty() && v.back().rfind("write ", 0) == 0) {
        v.back() += op.what.substr(6);
      } else {
        v.push_back(op.what);
      }
    }
    return v;
  }
  // The n-th operation (1 = first) starting with `what`.
  const Op& Find(const std::string& what, int n = 1) const {
    for (const Op& op : port.ops) {
      if (op.what.rfind(what, 0) == 0 && --n == 0) return op;
    }
    static const Op kMissing{-1, -1, "missing"};
    ADD_FAILURE() << "no operation " << what;
    return kMissing;
  }
  std::string Written() const {
    std::string text;
    for (const Op& op : port.ops) {
      if (op.what.rfind("write ", 0) == 0) text += op.what.substr(6);
    }
    return text;
  }
  bool Quiet() const { return host.shown.empty() && host.statuses.empty(); }
  // A failed set-up: this one message, "Fehler", port closed.
  void ExpectFailure(const std::string& message) const {
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].what, message);
    EXPECT_EQ(host.statuses, Strings{"Fehler"});
    EXPECT_FALSE(port.open);
  }
};

TEST(TogglePort, ClosesAnOpenPortAndKindTwoOpensNothing) {
  for (int kind : {1, 2, 3}) {
    Rig r(kind, "abc!");
    r.port.open = true;
    EXPECT_EQ(TogglePort(r.ctx), 0);
    EXPECT_EQ(r.Names(), Strings{"close"}) << kind;
    EXPECT_TRUE(r.Quiet());
  }
  for (int kind : {2, 0, 4}) {
    Rig r(kind);
    EXPECT_EQ(TogglePort(r.ctx), 0);
    EXPECT_TRUE(r.port.ops.empty() && r.Quiet()) << kind;
  }
}

TEST(TogglePort, HighSpeedInterfaceSetsUpAndOpens) {
  Rig r(3, "/dev/ttyUSB0");
  EXPECT_EQ(TogglePort(r.ctx), 0);
  EXPECT_EQ(r.Names(), (Strings{"name /dev/ttyUSB0", "line 115200,n,8,1", "dtr/rts 00", "open"}));
  EXPECT_TRUE(r.port.open && r.Quiet());
  EXPECT_EQ(r.host.yields, 0);
}

TEST(TogglePort, EachErrorIsShownAndEndsTheSetUp) {
  const struct {
    int kind;
    const char* number;
    const char* op;
    int nth;
  } cases[] = {
      {3, "abc!", "", 0},     {1, "0", "", 0},      {3, "1", "name", 1},  {3, "1", "line", 1},
      {3, "1", "dtr/rts", 1}, {3, "1", "open", 1},  {1, "1", "name", 1},  {1, "1", "line", 1},
      {1, "1", "open", 1},    {1, "1", "break", 1}, {1, "1", "break", 2}, {1, "1", "write", 3},
      {1, "1", "line", 2},    {1, "1", "open", 2},  {1, "1", "write", 9}, {1, "1", "open", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + c.op + " " + std::to_string(c.nth));
    Rig r(c.kind, c.number);
    r.port.failOp = c.op;
    r.port.failNth = c.nth;
    EXPECT_EQ(TogglePort(r.ctx), 1);
    const std::string title = c.kind == 3 ? "ComPort Fehler!|" : "Verbindungsfehler:|";
    if (*c.op == '\0') {
      r.ExpectFailure(title + "Ungültiger Portname: \"" + c.number + "\"");
      EXPECT_TRUE(r.port.ops.empty());
      continue;
    }
    r.ExpectFailure(title + kError);
    const auto failed = std::find_if(r.port.ops.begin(), r.port.ops.end(),
                                     [](const Op& o) { return o.what.ends_with(" failed"); });
    ASSERT_NE(failed, r.port.ops.end());
    EXPECT_EQ(failed->what.rfind(c.op, 0), 0u);
    for (auto it = failed + 1; it != r.port.ops.end(); ++it) EXPECT_EQ(it->what, "close");
  }
}

TEST(StationSerialInterface, DialogueOrderLineSettingsAndTiming) {
  Rig r(1, "2");
  EXPECT_EQ(TogglePort(r.ctx), 0);
  EXPECT_EQ(r.Names(), (Strings{"name /dev/ttyS1", "line 2400,n,8,2", "open", "break on",
                                "break off", "discard", "write xB19200\r", "read ok]", "close",
                                "line 19200,n,8,2", "open", "discard", "write xRT255\r", "read ok]",
                                "discard", "write x&LN$3C96\r", "read ok]", "close", "open"}));
  EXPECT_TRUE(r.port.open && r.Quiet());
  const double off = r.Find("break off").t;
  EXPECT_NEAR(off - r.Find("break on").t, 1.01, 0.01);
  EXPECT_NEAR(r.Find("write x").t - off, 0.315, 0.015);  // 0.3 s, then a yield
  EXPECT_NEAR(r.Find("close").t - r.Find("read").t, 0.31, 0.01);
}

TEST(StationSerialInterface, AnswerSplitOverReadsWithoutYielding) {
  Rig r(1);
  r.port.answers["xB19200\r"] = {{0.02, "B19200 o"}, {0.5, "k]\r\n"}};
  ASSERT_EQ(TogglePort(r.ctx), 0);
  const Op &cr = r.Find("write \r"), &second = r.Find("read", 2);
  EXPECT_EQ(r.Find("read").what, "read B19200 o");
  EXPECT_EQ(second.what, "read k]\r\n");
  EXPECT_NEAR(second.t - cr.t, 0.5, 0.002);
  EXPECT_EQ(second.yields, cr.yields) << "the answer wait must not yield";
  EXPECT_GT(r.Find("close").t - second.t, 0.3);
}

TEST(StationSerialInterface, NoClosingBracketOrClearToSendFailsAfterFiveSeconds) {
  Script chatter;
  for (int i = 1; i <= 100; i++) chatter.emplace_back(0.1 * i, ".");
  for (const Script& answer : {chatter, Script{}}) {
    Rig r(1);
    r.port.answers["xRT255\r"] = answer;
    EXPECT_EQ(TogglePort(r.ctx), 1);
    r.ExpectFailure(kDialogueError);
    const Op& cr = r.Find("write \r", 2);
    EXPECT_NEAR(r.host.shown[0].t - cr.t, 5.005, 0.005);
    EXPECT_EQ(r.host.shown[0].yields, cr.yields);
    EXPECT_EQ(r.Written(), "xB19200\rxRT255\r") << "no further command";
  }

  Rig r(1);
  r.port.cts = [](double) { return false; };
  EXPECT_EQ(TogglePort(r.ctx), 1);
  r.ExpectFailure(kDialogueError);
  const Op& discard = r.Find("discard");
  EXPECT_NEAR(r.host.shown[0].t - discard.t, 5.01, 0.01);
  EXPECT_GT(r.host.shown[0].yields - discard.yields, 400) << "waits yielding";
  EXPECT_EQ(r.Written(), "");
}

TEST(StationSerialInterface, AnAlreadyOpenPortKeepsItsDevice) {
  Rig r(1, "abc!");
  r.port.open = true;
  EXPECT_EQ(OpenStationSerialInterface(r.ctx), 0);
  EXPECT_EQ(r.Names().at(0), "line 2400,n,8,2");
  EXPECT_EQ(r.Names().at(1), "break on");
  EXPECT_TRUE(r.host.shown.empty());
}

TEST(SendTextSlowly, EachCharacterWhileClearToSendWithinFiveSeconds) {
  Rig r(1);
  r.port.open = true;
  r.port.cts = [](double t) { return t >= 2.0; };
  EXPECT_EQ(SendTextSlowly(r.ctx, "ab\r"), 0);
  ASSERT_EQ(r.Names(), (Strings{"discard", "write ab\r"}));
  for (size_t i = 1; i < r.port.ops.size(); i++) {
    EXPECT_GE(r.port.ops[i].t, 2.0);
    EXPECT_GT(r.port.ops[i].yields, r.port.ops[i - 1].yields) << "a yield before each character";
  }

  Rig limit(1);  // five seconds for the whole text, not for each character
  limit.port.open = true;
  limit.port.cts = [](double t) { return t < 0.025 || (t > 4.0 && t < 4.025); };
  EXPECT_EQ(SendTextSlowly(limit.ctx, "abcdef"), 1);
  EXPECT_EQ(limit.Written(), "abcd");
  EXPECT_NEAR(limit.host.now, 5.01, 0.01);
  EXPECT_TRUE(limit.host.shown.empty()) << "the caller reports";

  Rig closed(1);
  EXPECT_EQ(SendTextSlowly(closed.ctx, "x"), 1);
  EXPECT_LT(closed.host.now, 0.02);
}

TEST(PortDeviceForNumber, MapsNumbersNamesAndPaths) {
  EXPECT_EQ(PortDeviceForNumber("1"), "/dev/ttyS0");
  EXPECT_EQ(PortDeviceForNumber(" 12\r"), "/dev/ttyS11");
  EXPECT_EQ(PortDeviceForNumber("COM2"), "/dev/ttyS1");
  EXPECT_EQ(PortDeviceForNumber("com10"), "/dev/ttyS9");
  EXPECT_EQ(PortDeviceForNumber("ttyACM0"), "/dev/ttyACM0");
  EXPECT_EQ(PortDeviceForNumber("/dev/serial/by-id/usb-x"), "/dev/serial/by-id/usb-x");
  for (const char* none :
       {"", "  ", "0", "-1", "+1", "1.5", "COM0", "COMx", "abc!", "tty USB0", "/", "99999999999"}) {
    EXPECT_EQ(PortDeviceForNumber(none), "") << "'" << none << "'";
  }
}

}  // namespace
}  // namespace skyrelay
