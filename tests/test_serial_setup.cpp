// Interface set-up in virtual time, against a fake port that logs each operation.
#include "link/serial_setup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "run/context.h"

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

// Owns the clock: BytesWaiting waits 1 ms, the host's Yield jumps to the next 10 ms tick.
class FakePort : public SerialPort {
 public:
  double now = 0;
  long yields = 0;
  std::map<std::string, Script> answers;  // by command; others answer "ok]" after 50 ms
  std::function<bool(double)> cts = [](double) { return true; };
  std::string fail;  // the first operation starting with this fails
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
        incoming_.emplace(now + delay, piece);
      }
      command_.clear();
    }
    return true;
  }
  bool ClearToSend() override { return cts(now); }
  bool SetPortName(const std::string& name) override { return Do("name " + name); }
  bool SetLineSettings(const LineSettings& s) override {
    return Do("line " + std::to_string(s.baud) + "," + s.parity + "," + std::to_string(s.dataBits) +
              "," + std::to_string(s.stopBits));
  }
  bool SetDtrRts(bool dtr, bool rts) override {
    return Do("dtr/rts " + std::to_string(dtr) + std::to_string(rts));
  }
  bool Open() override { return open = Do("open"); }
  void Close() override { open = !Do("close"); }
  bool SetBreak(bool on) override { return Do(on ? "break on" : "break off"); }
  size_t BytesWaiting() override {
    now += 0.001;
    for (; !incoming_.empty() && incoming_.begin()->first <= now;
         incoming_.erase(incoming_.begin()))
      arrived_ += incoming_.begin()->second;
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
    const bool fails = !fail.empty() && what.starts_with(fail);
    if (fails) fail.clear();
    ops.push_back({now, yields, fails ? what + " failed" : what});
    return !fails;
  }
  std::string command_, arrived_;
  std::multimap<double, std::string> incoming_;
};

// The host and the context around the fake port.
struct Rig : Host {
  FakePort port;
  Strings statuses;
  std::vector<Op> shown;  // "title|text"
  Context ctx{*this};

  explicit Rig(int kind, std::string number = "1") {
    ctx.settings.InterfaceKind = kind;
    ctx.settings.ComPortNumber = std::move(number);
  }
  double Now() override { return port.now; }
  void Yield() override {
    port.yields++;
    port.now = (std::floor(port.now * 100 + 1e-6) + 1) / 100;
  }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  Answer Message(const std::string& text, const std::string& title, Icon, Buttons) override {
    shown.push_back({port.now, port.yields, title + "|" + text});
    return Answer::Ok;
  }
  SerialPort& Port() override { return port; }
  bool Quiet() const { return shown.empty() && statuses.empty(); }
  // Operation names, "; " after each; runs of single-character writes joined into one.
  std::string Names() const {
    std::string v, last;
    for (const Op& op : port.ops) {
      if (op.what.starts_with("write ") && last.starts_with("write ")) {
        v.resize(v.size() - 2);
        v += op.what.substr(6) + "; ";
      } else {
        v += op.what + "; ";
      }
      last = op.what;
    }
    return v;
  }
  // The n-th operation (1 = first) starting with `what`.
  const Op& Find(const std::string& what, int n = 1) const {
    for (const Op& op : port.ops) {
      if (op.what.starts_with(what) && --n == 0) return op;
    }
    static const Op kMissing{-1, -1, "missing"};
    ADD_FAILURE() << "no operation " << what;
    return kMissing;
  }
  std::string Written() const {
    std::string text;
    for (const Op& op : port.ops) text += op.what.starts_with("write ") ? op.what.substr(6) : "";
    return text;
  }
  // A failed set-up: this one message, "Fehler", port closed.
  // Opens or closes the port as a command does: a failure is shown with "Fehler"
  // in the status line. 0 done, 1 failed.
  int Toggle() {
    const SetupResult failed = TogglePort(ctx.link, ctx.settings);
    if (!failed) return 0;
    Host::Message(*failed);
    Host::SetStatus(StatusLine{StatusKind::Error});
    return 1;
  }
  void ExpectFailure(const std::string& message) const {
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].what, message);
    EXPECT_EQ(statuses, Strings{"Fehler"});
    EXPECT_FALSE(port.open);
  }
};

// Every port operation, message and status of TogglePort, by interface kind and fault.
TEST(TogglePort, OperationsMessagesAndStatus) {
  const std::string kind1 =
                        "name /dev/ttyS0; line 2400,n,8,2; open; break on; break off; discard; ",
                    kind3 = "name /dev/ttyS0; line 115200,n,8,1; dtr/rts 00; open";
  // clang-format off
  const struct {
    int kind;
    std::string number, fail;
    bool wasOpen;
    std::string ops, shown;  // shown: "" for a success
  } cases[] = {
      {3, "/dev/ttyUSB0", "", false, "name /dev/ttyUSB0; line 115200,n,8,1; dtr/rts 00; open; ", ""},
      {3, "1", "", true, "close; ", ""},
      {1, "1", "", true, "close; ", ""},
      {2, "1", "", true, "close; ", ""},
      {2, "1", "", false, "", ""},  // kind 2 opens nothing
      {3, "abc!", "", false, "", "ComPort Fehler!|Ungültiger Portname: \"abc!\""},
      {3, "1", "open", false, kind3 + " failed; ", "ComPort Fehler!|" + kError},
      {1, "1", "write", false, kind1 + "write x failed; close; ", "Verbindungsfehler:|" + kError},
  };
  // clang-format on
  for (const auto& c : cases) {
    Rig r(c.kind, c.number);
    r.port.open = c.wasOpen;
    r.port.fail = c.fail;
    EXPECT_EQ(r.Toggle(), c.shown.empty() ? 0 : 1);
    EXPECT_EQ(r.Names(), c.ops);
    EXPECT_EQ(r.port.open, c.shown.empty() && c.kind != 2 && !c.wasOpen);
    EXPECT_EQ(r.statuses, c.shown.empty() ? Strings{} : Strings{"Fehler"});
    std::string shown;
    for (const Op& m : r.shown) shown += m.what;
    EXPECT_EQ(shown, c.shown);
    EXPECT_TRUE(c.kind == 1 || r.port.yields == 0);
  }
}

// The answer may come in pieces; the wait for it never yields.
TEST(StationSerialInterface, DialogueOrderLineSettingsAndTiming) {
  Rig r(1, "2");
  r.port.answers["xB19200\r"] = {{0.02, "B19200 o"}, {0.5, "k]\r\n"}};
  EXPECT_EQ(r.Toggle(), 0);
  EXPECT_EQ(
      r.Names(),
      "name /dev/ttyS1; line 2400,n,8,2; open; break on; break off; discard; write xB19200\r; "
      "read B19200 o; read k]\r\n; close; line 19200,n,8,2; open; discard; write xRT255\r; "
      "read ok]; discard; write x&LN$3C96\r; read ok]; close; open; ");
  EXPECT_TRUE(r.port.open && r.Quiet());
  const double off = r.Find("break off").t;
  EXPECT_NEAR(off - r.Find("break on").t, 1.01, 0.01);
  EXPECT_NEAR(r.Find("write x").t - off, 0.315, 0.015);  // 0.3 s, then a yield
  EXPECT_NEAR(r.Find("close").t - r.Find("read", 2).t, 0.31, 0.01);
  const Op &cr = r.Find("write \r"), &second = r.Find("read", 2);
  EXPECT_NEAR(second.t - cr.t, 0.5, 0.002);
  EXPECT_EQ(second.yields, cr.yields) << "the answer wait must not yield";
}

TEST(StationSerialInterface, NoClosingBracketOrClearToSendFailsAfterFiveSeconds) {
  Script chatter;
  for (int i = 1; i <= 100; i++) chatter.emplace_back(0.1 * i, ".");
  Rig r(1);
  r.port.answers["xRT255\r"] = chatter;
  EXPECT_EQ(r.Toggle(), 1);
  r.ExpectFailure(kDialogueError);
  const Op& cr = r.Find("write \r", 2);
  EXPECT_NEAR(r.shown[0].t - cr.t, 5.005, 0.005);
  EXPECT_EQ(r.shown[0].yields, cr.yields);
  EXPECT_EQ(r.Written(), "xB19200\rxRT255\r") << "no further command";

  Rig cts(1);
  cts.port.cts = [](double) { return false; };
  EXPECT_EQ(cts.Toggle(), 1);
  cts.ExpectFailure(kDialogueError);
  const Op& discard = cts.Find("discard");
  EXPECT_NEAR(cts.shown[0].t - discard.t, 5.01, 0.01);
  EXPECT_GT(cts.shown[0].yields - discard.yields, 400) << "waits yielding";
  EXPECT_EQ(cts.Written(), "");
}

TEST(PortDeviceForNumber, MapsNumbersNamesAndPaths) {
  const char* const cases[] = {"1",        "/dev/ttyS0", " 12\r",   "/dev/ttyS11",
                               "com10",    "/dev/ttyS9", "ttyACM0", "/dev/ttyACM0",
                               "/dev/x/1", "/dev/x/1",   "0",       "",
                               "COMx",     "",           "xOM3",    "/dev/xOM3",
                               "COM",      "",           "abc!",    "",
                               "tty USB0", "",           "",        ""};
  for (size_t i = 0; i < std::size(cases); i += 2) {
    EXPECT_EQ(PortDeviceForNumber(cases[i]), cases[i + 1]) << "'" << cases[i] << "'";
  }
}

}  // namespace
}  // namespace skyrelay
