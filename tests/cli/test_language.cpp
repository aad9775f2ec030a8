// The command-line program in either language: the locale or --language
// chooses; the texts change, the messages on the bus and the exit status do
// not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../config_test_files.h"
#include "../real_time.h"
#include "sim/package.h"

namespace skyrelay {
namespace {

using test::Ran;

// Runs `command` through the shell with the locale variables as given (unset
// when empty); the program's backups go into `dir`.
Ran RunWith(const std::string& dir, const std::string& lcAll, const std::string& lcMessages,
            const std::string& lang, const std::string& arguments) {
  std::string command = "env -u LC_ALL -u LC_MESSAGES -u LANG XDG_STATE_HOME='" + dir +
                        "state' XDG_DATA_HOME='" + dir + "data'";
  if (!lcAll.empty()) command += " LC_ALL=" + lcAll;
  if (!lcMessages.empty()) command += " LC_MESSAGES=" + lcMessages;
  if (!lang.empty()) command += " LANG=" + lang;
  command += std::string(" ") + SKYRELAY_CLI_PATH + " " + arguments + " 2>&1 < /dev/null";
  return test::RunShell(command);
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// LC_ALL, then LC_MESSAGES, then LANG: German for "de…", English for any other
// value and when none is set; --language overrides all of them.
TEST(Language, TheLocaleOrLanguageOptionChooses) {
  testfiles::TempDir dir;
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* option;
    bool german;
  };
  for (const Case& c :
       {Case{"", "", "", "", false}, Case{"", "", "de_DE.UTF-8", "", true},
        Case{"", "", "C", "", false}, Case{"", "", "POSIX", "", false},
        Case{"", "", "en_GB.UTF-8", "", false}, Case{"de_AT.UTF-8", "", "en_US.UTF-8", "", true},
        Case{"C", "", "de_DE.UTF-8", "", false}, Case{"", "en_US.UTF-8", "de_DE.UTF-8", "", false},
        Case{"", "de_CH.UTF-8", "fr_FR.UTF-8", "", true},
        Case{"en_US.UTF-8", "", "", "--language de", true},
        Case{"de_DE.UTF-8", "", "", "--language en", false}}) {
    SCOPED_TRACE(std::string("LC_ALL=") + c.lcAll + " LC_MESSAGES=" + c.lcMessages +
                 " LANG=" + c.lang + " " + c.option);
    const Ran help =
        RunWith(dir.Folder(), c.lcAll, c.lcMessages, c.lang, std::string(c.option) + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(Has(help.out, "Aufruf: skyrelay-update-cli"), c.german) << help.out;
    EXPECT_EQ(Has(help.out, "Usage: skyrelay-update-cli"), !c.german) << help.out;
    const Ran wrong = RunWith(dir.Folder(), c.lcAll, c.lcMessages, c.lang,
                              std::string(c.option) + " --interface 4 info");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.out, c.german ? "skyrelay-update-cli: --interface nimmt 1, 2 oder 3 (siehe "
                                    "skyrelay-update-cli --help)\n"
                                  : "skyrelay-update-cli: --interface takes 1, 2 or 3 (see "
                                    "skyrelay-update-cli --help)\n");
  }
  const Ran unknown = RunWith(dir.Folder(), "", "", "", "--language fr info");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out,
            "skyrelay-update-cli: --language takes de or en (see skyrelay-update-cli --help)\n");
}

// A whole simulated update, a failing one and refused questions, in German and
// in English: the same messages on the bus (the trace) and the same exit
// status; the English run shows no German text.
TEST(Language, BothLanguagesSendTheSameMessages) {
  testfiles::TempDir dir;
  const std::string package = sim::WriteSamplePackage(dir.Folder() + "paket");
  struct Case {
    const char* name;
    const char* arguments;
    int status;
    const char* english;  // a line the English run shows
  };
  for (const Case& c :
       {Case{"success", "--yes", 0, "Update successful: firmware 2.1 checked"},
        Case{"no firmware for the article", "--yes --sim-article 58401", 1,
             "The package has no firmware for this handheld (58401)"},
        Case{"no handheld", "--yes --sim-silent-handheld", 1, "No handheld answers"},
        Case{"same version refused", "--yes --sim-version 2.1", 1,
             "(y/n) n  (--yes alone does not say yes here; --force does)"},
        Case{"questions answered no", "--no", 0, "(y/n) n"}}) {
    SCOPED_TRACE(c.name);
    std::vector<Ran> runs;
    std::vector<std::string> traces;
    for (const char* language : {"de", "en"}) {
      const std::string trace = dir.Folder() + "trace-" + language;
      runs.push_back(RunWith(dir.Folder() + language, "", "", "",
                             std::string("--language ") + language + " --simulate --trace '" +
                                 trace + "' " + c.arguments + " update '" + package + "'"));
      traces.push_back(test::ReadAll(trace));
    }
    EXPECT_EQ(runs[0].status, c.status) << runs[0].out;
    EXPECT_EQ(runs[1].status, c.status) << runs[1].out;
    EXPECT_FALSE(traces[0].empty());
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_TRUE(Has(runs[1].out, c.english)) << runs[1].out;
    for (const char* german : {"Handregler", "Zentrale", "Fehler", "Sicherung", " nicht ", "(j/n)",
                               "Update erfolgreich", "vergangen"}) {
      EXPECT_FALSE(Has(runs[1].out, german)) << german << "\n" << runs[1].out;
    }
    EXPECT_TRUE(Has(runs[0].out, "Update ")) << runs[0].out;
  }
}

}  // namespace
}  // namespace skyrelay
