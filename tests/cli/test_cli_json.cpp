// skyrelay-update-cli --json as a script reads it: every line of standard
// output one JSON object (checked by a strict parser of its own here), the
// documented keys in each, exactly one report at the end whose exit is the
// program's; and the run itself the same as without --json (exit status,
// every message on the bus).
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../config_test_files.h"
#include "../real_time.h"
#include "sim/package.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;

// A JSON value as the parser read it.
struct Value {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<Value> array;
  std::map<std::string, Value> object;

  bool Has(const std::string& key) const { return object.count(key) != 0; }
  const Value& operator[](const std::string& key) const {
    static const Value kMissing;
    const auto it = object.find(key);
    return it == object.end() ? kMissing : it->second;
  }
  bool IsNull() const { return kind == Kind::Null; }
};

// Strict RFC 8259 parsing of one line: no trailing text, no duplicate keys,
// strings of valid UTF-8 without raw control characters. An empty `error`
// after Parse: the line is one JSON value.
class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}
  Value Parse() {
    Value v = ParseValue();
    Blanks();
    if (at_ != s_.size()) Fail("text after the value");
    return v;
  }
  std::string error;

 private:
  void Fail(const std::string& what) {
    if (error.empty()) error = what + " at " + std::to_string(at_);
    at_ = s_.size();
  }
  void Blanks() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r')) {
      at_++;
    }
  }
  bool Take(char c) {
    Blanks();
    if (at_ < s_.size() && s_[at_] == c) {
      at_++;
      return true;
    }
    return false;
  }
  bool Word(const char* word) {
    const std::string w = word;
    if (s_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  Value ParseValue() {
    Value v;
    Blanks();
    if (!error.empty() || at_ >= s_.size()) {
      Fail("value expected");
      return v;
    }
    const char c = s_[at_];
    if (c == '{') {
      at_++;
      v.kind = Value::Kind::Object;
      if (Take('}')) return v;
      do {
        Blanks();
        if (at_ >= s_.size() || s_[at_] != '"') {
          Fail("key expected");
          return v;
        }
        const std::string key = ParseString();
        if (!Take(':')) Fail("':' expected");
        if (v.object.count(key)) Fail("duplicate key " + key);
        v.object[key] = ParseValue();
      } while (Take(','));
      if (!Take('}')) Fail("'}' expected");
    } else if (c == '[') {
      at_++;
      v.kind = Value::Kind::Array;
      if (Take(']')) return v;
      do v.array.push_back(ParseValue());
      while (Take(','));
      if (!Take(']')) Fail("']' expected");
    } else if (c == '"') {
      v.kind = Value::Kind::String;
      v.string = ParseString();
    } else if (Word("true") || Word("false")) {
      v.kind = Value::Kind::Bool;
      v.boolean = c == 't';
    } else if (Word("null")) {
      v.kind = Value::Kind::Null;
    } else {
      v.kind = Value::Kind::Number;
      v.number = ParseNumber();
    }
    return v;
  }
  double ParseNumber() {
    const size_t start = at_;
    const auto digits = [&] {
      const size_t from = at_;
      while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) at_++;
      return at_ - from;
    };
    if (at_ < s_.size() && s_[at_] == '-') at_++;
    const size_t whole = at_;
    if (digits() == 0 || (s_[whole] == '0' && at_ - whole > 1)) Fail("bad number");
    if (at_ < s_.size() && s_[at_] == '.') {
      at_++;
      if (digits() == 0) Fail("bad fraction");
    }
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      at_++;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) at_++;
      if (digits() == 0) Fail("bad exponent");
    }
    return error.empty() ? std::stod(s_.substr(start, at_ - start)) : 0;
  }
  static void Utf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  uint32_t Hex4() {
    if (at_ + 4 > s_.size()) {
      Fail("short \\u escape");
      return 0;
    }
    const std::string hex = s_.substr(at_, 4);
    at_ += 4;
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) Fail("bad \\u");
    return error.empty() ? static_cast<uint32_t>(std::stoul(hex, nullptr, 16)) : 0;
  }
  std::string ParseString() {
    std::string out;
    at_++;  // the opening quote
    while (at_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[at_]);
      if (c == '"') {
        at_++;
        return out;
      }
      if (c < 0x20) {
        Fail("raw control character");
        return out;
      }
      if (c == '\\') {
        if (++at_ >= s_.size()) break;
        const char e = s_[at_++];
        const std::string plain = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
        if (const size_t k = plain.find(e); k != std::string::npos) {
          out += meant[k];
        } else if (e == 'u') {
          uint32_t code = Hex4();
          if (code >= 0xD800 && code < 0xDC00) {
            if (!Word("\\u")) Fail("lone surrogate");
            const uint32_t low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("bad surrogate pair");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code <= 0xDFFF) {
            Fail("lone surrogate");
          }
          Utf8(out, code);
        } else {
          Fail("bad escape");
        }
        continue;
      }
      // UTF-8: the length from the first byte, continuation bytes, no overlong
      // form, no surrogate, nothing above U+10FFFF.
      size_t n = c < 0x80             ? 1
                 : (c & 0xE0) == 0xC0 ? 2
                 : (c & 0xF0) == 0xE0 ? 3
                 : (c & 0xF8) == 0xF0 ? 4
                                      : 0;
      if (n == 0 || at_ + n > s_.size()) {
        Fail("not UTF-8");
        return out;
      }
      uint32_t code = n == 1 ? c : c & (0x7F >> n);
      for (size_t k = 1; k < n; k++) {
        const unsigned char b = static_cast<unsigned char>(s_[at_ + k]);
        if ((b & 0xC0) != 0x80) Fail("not UTF-8");
        code = (code << 6) | (b & 0x3F);
      }
      static constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
      if (code < kSmallest[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        Fail("not UTF-8");
      }
      out.append(s_, at_, n);
      at_ += n;
    }
    Fail("unterminated string");
    return out;
  }

  const std::string& s_;
  size_t at_ = 0;
};

// The keys each object type carries (more may follow).
const std::map<std::string, std::vector<std::string>> kKeys = {
    {"stage", {"stage", "name", "total"}},
    {"progress", {"stage", "done", "total", "percent", "elapsed", "remaining", "text"}},
    {"status", {"kind", "text"}},
    {"message", {"kind", "icon", "title", "text"}},
    {"question", {"kind", "icon", "title", "text", "risky", "answer", "refused"}},
    {"problem", {"code", "warning", "file", "line", "detail", "text"}},
    {"check", {"path", "ok", "problems", "warnings"}},
    {"info", {"station", "handheld_answered", "handheld"}},
    {"ports", {"ports"}},
    {"backup", {"path", "end", "saved", "bytes", "seconds", "handheld", "areas"}},
    {"restore", {"path", "end", "ok", "file", "handheld", "pages_written", "pages_wrong"}},
    {"release", {"confirmed", "port", "interface", "after_interrupted_run"}},
    {"report", {"command", "ok", "exit", "duration", "error", "answers_repeated"}},
};

struct JsonRun {
  int status = -1;
  std::vector<Value> objects;  // every line of standard output
  std::string err, trace;      // standard error, the --trace file
  const Value& report() const { return objects.back(); }
  // The objects of one type.
  std::vector<const Value*> Of(const std::string& type) const {
    std::vector<const Value*> out;
    for (const Value& v : objects) {
      if (v["type"].string == type) out.push_back(&v);
    }
    return out;
  }
};

class CliJson : public ::testing::Test {
 protected:
  testfiles::TempDir dir;
  const std::string sample = sim::WriteSamplePackage(dir.Folder() + "paket");
  int runs = 0;
  std::string language = "de";

  void SetUp() override {
    setenv("XDG_STATE_HOME", (dir.Folder() + "state").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir.Folder() + "data").c_str(), 1);
  }

  fs::path File(const std::string& name, int run) const {
    return dir.path() / (name + std::to_string(run));
  }
  // Starts the program with its own settings and trace, standard output and
  // error apart, input from /dev/null. Returns the run's number.
  int Start(const std::string& arguments, pid_t& pid) {
    const int n = runs++;
    pid = test::Spawn(std::string(SKYRELAY_CLI_PATH) + " --language " + language + " --settings '" +
                      dir.Folder() + "s.cfg' --trace '" + File("trace", n).string() + "' " +
                      arguments + " > '" + File("out", n).string() + "' 2> '" +
                      File("err", n).string() + "' < /dev/null");
    return n;
  }
  // Runs the program to its end and checks every line of its standard output.
  JsonRun Run(const std::string& arguments) {
    pid_t pid = -1;
    const int n = Start(arguments, pid);
    return Finish(pid, n);
  }
  JsonRun Finish(pid_t pid, int n) {
    JsonRun r;
    r.status = test::Wait(pid, 30);
    r.err = ReadAll(File("err", n));
    r.trace = ReadAll(File("trace", n));
    std::istringstream lines(ReadAll(File("out", n)));
    for (std::string line; std::getline(lines, line);) {
      Parser parser(line);
      r.objects.push_back(parser.Parse());
      EXPECT_EQ(parser.error, "") << line;
      const Value& v = r.objects.back();
      EXPECT_EQ(v.kind, Value::Kind::Object) << line;
      const auto keys = kKeys.find(v["type"].string);
      if (keys == kKeys.end()) {
        ADD_FAILURE() << "unknown type: " << line;
        continue;
      }
      for (const std::string& key : keys->second) EXPECT_TRUE(v.Has(key)) << key << ": " << line;
    }
    // Exactly one report, the last line, with the program's exit status.
    EXPECT_FALSE(r.objects.empty()) << r.err;
    if (r.objects.empty()) r.objects.emplace_back();
    EXPECT_EQ(r.Of("report").size(), 1u);
    EXPECT_EQ(r.report()["type"].string, "report");
    EXPECT_EQ(r.report()["exit"].number, r.status);
    EXPECT_EQ(r.report()["ok"].boolean, r.status == 0);
    EXPECT_EQ(r.report()["error"].IsNull(), r.status == 0);
    return r;
  }
  // The same without --json: its exit status and trace.
  void ExpectSameRunWithoutJson(const JsonRun& json, const std::string& arguments) {
    const std::string n = std::to_string(runs++);
    const fs::path trace = dir.path() / ("trace" + n);
    const int status =
        test::Wait(test::Spawn(std::string(SKYRELAY_CLI_PATH) + " --language de --settings '" +
                               dir.Folder() + "s.cfg' --trace '" + trace.string() + "' " +
                               arguments + " > /dev/null 2>&1 < /dev/null"),
                   30);
    EXPECT_EQ(status, json.status);
    EXPECT_EQ(ReadAll(trace), json.trace);
  }
  std::string ErrorCode(const JsonRun& r) const { return r.report()["error"]["code"].string; }
};

std::vector<std::string> Strings(const std::vector<const Value*>& values, const std::string& key) {
  std::vector<std::string> out;
  for (const Value* v : values) out.push_back((*v)[key].string);
  return out;
}

// The whole simulated update: every stage in order, the progress up to 100 %,
// the version question answered, the report with what was done; standard
// output holds the JSON alone, the texts stay on standard error.
TEST_F(CliJson, FullUpdate) {
  const std::string arguments = "--simulate --yes update '" + sample + "'";
  const JsonRun r = Run("--json " + arguments);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Strings(r.Of("stage"), "stage"),
            (std::vector<std::string>{"firmware", "restart", "backup", "language-texts",
                                      "turnout-symbols", "turnout-assignment", "turnout-list",
                                      "characters", "settings"}));
  const std::vector<const Value*> progress = r.Of("progress");
  ASSERT_FALSE(progress.empty());
  for (size_t i = 1; i < progress.size(); i++) {
    EXPECT_GE((*progress[i])["percent"].number, (*progress[i - 1])["percent"].number);
  }
  EXPECT_EQ((*progress.back())["percent"].number, 100);
  EXPECT_TRUE((*progress.front())["remaining"].IsNull());
  EXPECT_EQ(Strings(r.Of("question"), "kind"), std::vector<std::string>{"load-version"});
  EXPECT_EQ((*r.Of("question")[0])["answer"].string, "yes");
  EXPECT_EQ(Strings(r.Of("message"), "kind"),
            (std::vector<std::string>{"installing", "firmware-ok"}));
  const std::vector<std::string> statuses = Strings(r.Of("status"), "kind");
  EXPECT_EQ(std::set<std::string>(statuses.begin(), statuses.end()).count("update-finished"), 1u);

  const Value& report = r.report();
  EXPECT_EQ(report["command"].string, "update");
  EXPECT_EQ(report["end"].string, "finished");
  EXPECT_EQ(report["firmware"].string, "ok");
  EXPECT_EQ(report["firmware_version"].string, "2.1");
  EXPECT_EQ(report["pages_written"].number, 63);
  EXPECT_EQ(report["pages_verified"].number, 63);
  EXPECT_EQ(report["pages_repeated"].number, 0);
  EXPECT_EQ(report["configuration"].string, "done");
  EXPECT_EQ(report["release"].string, "confirmed");
  EXPECT_TRUE(fs::exists(report["backup_path"].string));
  EXPECT_GT(report["duration"].number, 300);
  EXPECT_NE(r.err.find("Update erfolgreich: Firmware 2.1 geprüft"), std::string::npos);
  ExpectSameRunWithoutJson(r, arguments);
}

// A value with the texts for people left out (and the backup's path, which has
// the time of day in its name): what a script decides by.
std::string Skeleton(const Value& v) {
  static const std::set<std::string> kTexts = {"text",    "title",     "name",
                                               "verdict", "kind_text", "version_text",
                                               "detail",  "path",      "backup_path"};
  switch (v.kind) {
    case Value::Kind::Null:
      return "null";
    case Value::Kind::Bool:
      return v.boolean ? "true" : "false";
    case Value::Kind::Number:
      return std::to_string(v.number);
    case Value::Kind::String:
      return '"' + v.string + '"';
    case Value::Kind::Array: {
      std::string out = "[";
      for (const Value& e : v.array) out += Skeleton(e) + ",";
      return out + "]";
    }
    case Value::Kind::Object: {
      std::string out = "{";
      for (const auto& [key, e] : v.object) {
        out += key + ":" + (kTexts.count(key) ? std::string("_") : Skeleton(e)) + ",";
      }
      return out + "}";
    }
  }
  return "";
}

// The same runs in German and in English: the same objects with the same keys,
// codes and figures, the same bus messages and exit status; only the texts
// differ.
TEST_F(CliJson, KeysAndCodesDoNotDependOnTheLanguage) {
  for (const std::string& arguments :
       {"--simulate --yes update '" + sample + "'",
        "--simulate --yes --sim-silent-handheld update '" + sample + "'"}) {
    SCOPED_TRACE(arguments);
    language = "de";
    const JsonRun de = Run("--json " + arguments);
    language = "en";
    const JsonRun en = Run("--json " + arguments);
    EXPECT_EQ(std::pair(de.status, de.trace), std::pair(en.status, en.trace));
    ASSERT_EQ(de.objects.size(), en.objects.size());
    for (size_t i = 0; i < de.objects.size(); i++) {
      EXPECT_EQ(Skeleton(de.objects[i]), Skeleton(en.objects[i])) << i;
    }
    EXPECT_NE(de.report()["verdict"].string, en.report()["verdict"].string);
  }
}

// Runs that fail: the report's error code, made from the typed result; the
// run as without --json.
TEST_F(CliJson, FailuresHaveTheirCodes) {
  const std::string broken = sim::WriteSamplePackage(dir.Folder() + "kaputt");
  fs::remove(dir.path() / "kaputt/zeichen/zeichen2.bin");
  const std::string yes = "--simulate --yes ";
  const struct Case {
    std::string arguments;
    int status;
    std::string code;
  } cases[] = {
      {yes + "--sim-silent-handheld update '" + sample + "'", 1, "no-handheld"},
      {yes + "--sim-article 12345 update '" + sample + "'", 1, "needs-force"},
      {yes + "update '" + broken + "'", 1, "file-missing"},
      {"--yes --interface 3 --port /dev/does-not-exist update '" + sample + "'", 1, "port-missing"},
      {"--simulate update '" + sample + "'", 2, "no-terminal"},
      {"--simulate --sim-silent-handheld info", 1, "no-handheld"},
      {"frobnicate", 2, "usage"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const JsonRun r = Run("--json " + c.arguments);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(ErrorCode(r), c.code);
    EXPECT_NE(r.report()["error"]["text"].string, "");
    if (c.code != "usage") ExpectSameRunWithoutJson(r, c.arguments);
  }
  // The refused question says so.
  const JsonRun refused = Run("--json " + yes + "--sim-article 12345 update '" + sample + "'");
  ASSERT_EQ(refused.Of("question").size(), 1u);
  const Value& q = *refused.Of("question")[0];
  EXPECT_EQ(q["kind"].string, "handheld-unknown");
  EXPECT_TRUE(q["risky"].boolean);
  EXPECT_EQ(q["answer"].string, "no");
  EXPECT_TRUE(q["refused"].boolean);
}

// check: each problem with its code and file, then the result.
TEST_F(CliJson, CheckListsEveryProblem) {
  const std::string broken = sim::WriteSamplePackage(dir.Folder() + "kaputt");
  const fs::path missing = dir.path() / "kaputt/zeichen/zeichen2.bin";
  fs::remove(missing);
  const JsonRun bad = Run("--json check '" + broken + "'");
  EXPECT_EQ(bad.status, 1);
  ASSERT_EQ(bad.Of("problem").size(), 1u);
  const Value& p = *bad.Of("problem")[0];
  EXPECT_EQ(p["code"].string, "file-unusable");
  EXPECT_EQ(fs::path(p["file"].string), missing);
  EXPECT_FALSE(p["warning"].boolean);
  ASSERT_EQ(bad.Of("check").size(), 1u);
  EXPECT_FALSE((*bad.Of("check")[0])["ok"].boolean);
  EXPECT_EQ((*bad.Of("check")[0])["problems"].number, 1);
  EXPECT_EQ(ErrorCode(bad), "file-missing");

  // A name that is not UTF-8 comes out as valid UTF-8 all the same.
  const std::string latin1 = dir.Folder() + "k\xe4putt";
  fs::rename(dir.path() / "kaputt", latin1);
  const JsonRun named = Run("--json check '" + latin1 + "/beispiel.tup'");
  EXPECT_EQ(named.status, 1);
  ASSERT_EQ(named.Of("check").size(), 1u);
  EXPECT_EQ((*named.Of("check")[0])["path"].string,
            dir.Folder() + "k\xef\xbf\xbdputt/beispiel.tup");

  const JsonRun good = Run("--json check '" + sample + "'");
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.objects.size(), 2u);
  EXPECT_TRUE((*good.Of("check")[0])["ok"].boolean);
  EXPECT_NE(good.err.find(": in Ordnung\n"), std::string::npos) << "the texts go to stderr";
}

// The other commands' typed results, one object each before the report.
TEST_F(CliJson, EveryCommandHasItsResult) {
  const JsonRun info = Run("--json --simulate info");
  EXPECT_EQ(info.status, 0);
  ASSERT_EQ(info.Of("info").size(), 1u);
  const Value& i = *info.Of("info")[0];
  EXPECT_EQ(i["station"]["id"].number, 4200000001.0);
  EXPECT_TRUE(i["station"]["update_mode"].boolean);
  EXPECT_EQ(i["handheld"]["article"].string, "58400");
  EXPECT_EQ(i["handheld"]["kind"].string, "radio");
  EXPECT_EQ(i["handheld"]["version"].string, "1.0");

  const std::string file = dir.Folder() + "handregler.hex";
  const JsonRun backup = Run("--json --simulate backup '" + file + "'");
  EXPECT_EQ(backup.status, 0);
  ASSERT_EQ(backup.Of("backup").size(), 1u);
  const Value& b = *backup.Of("backup")[0];
  EXPECT_TRUE(b["saved"].boolean);
  EXPECT_EQ(b["areas"].array.size(), 4u);
  EXPECT_EQ(b["areas"].array[0]["area"].string, "turnout-assignment");
  EXPECT_EQ(backup.report()["backup_path"].string, file);
  EXPECT_EQ(Strings(backup.Of("stage"), "stage"), std::vector<std::string>{"backup"});

  const JsonRun restore = Run("--json --simulate --yes restore '" + file + "'");
  EXPECT_EQ(restore.status, 0);
  ASSERT_EQ(restore.Of("restore").size(), 1u);
  EXPECT_EQ((*restore.Of("restore")[0])["end"].string, "done");
  EXPECT_EQ((*restore.Of("restore")[0])["pages_written"].number, 39);
  EXPECT_EQ(Strings(restore.Of("question"), "kind"), std::vector<std::string>{"restore-question"});

  const JsonRun damaged =
      Run("--json --simulate --yes restore '" + dir.Write("kaputt.hex", ":00\n") + "'");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_EQ(ErrorCode(damaged), "backup-file-unusable");
  EXPECT_EQ(damaged.trace, "") << "nothing sent";

  const JsonRun release = Run("--json --simulate release");
  EXPECT_EQ(release.status, 0);
  ASSERT_EQ(release.Of("release").size(), 1u);
  EXPECT_TRUE((*release.Of("release")[0])["confirmed"].boolean);

  const JsonRun ports = Run("--json ports");
  EXPECT_EQ(ports.status, 0);
  ASSERT_EQ(ports.Of("ports").size(), 1u);
  EXPECT_EQ((*ports.Of("ports")[0])["ports"].kind, Value::Kind::Array);
}

// A run ended by SIGTERM on the simulator behind a real pseudo-terminal, during
// the firmware: the station released, exit 143, and the report says so.
TEST_F(CliJson, SignalEndsTheRunWithItsReport) {
  const fs::path link = dir.path() / "loconet";
  const pid_t sim = test::Spawn(std::string(SKYRELAY_SIM_PATH) + " --link '" + link.string() +
                                "' > /dev/null 2>&1");
  ASSERT_TRUE(test::Within(5, [&] { return fs::is_symlink(link); }));
  pid_t pid = -1;
  const int n = Start(
      "--json --yes --interface 3 --port '" + link.string() + "' update '" + sample + "'", pid);
  EXPECT_TRUE(test::Within(20, [&] {
    return ReadAll(File("out", n)).find(R"("type":"stage","stage":"firmware")") !=
           std::string::npos;
  }));
  kill(pid, SIGTERM);
  const JsonRun r = Finish(pid, n);
  kill(sim, SIGTERM);
  test::Wait(sim, 5);
  EXPECT_EQ(r.status, 128 + SIGTERM);
  EXPECT_EQ(ErrorCode(r), "cancelled");
  EXPECT_EQ(r.report()["signal"].number, SIGTERM);
  EXPECT_EQ(r.report()["end"].string, "cancelled");
  EXPECT_EQ(r.report()["release"].string, "confirmed");
}

}  // namespace
}  // namespace skyrelay
