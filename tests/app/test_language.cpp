// The desktop program in either language: --language, else the language
// chosen in its menu, else the locale; the window's texts follow it.
#include <gtest/gtest.h>

#include <QDir>
#include <fstream>
#include <string>

#include "../real_time.h"
#include "app/app_text.h"
#include "app_world.h"
#include "qt/language.h"

namespace skyrelay::app::test {
namespace {

using skyrelay::test::Ran;

// The program itself, with only the given locale variable set and the
// remembered language (if any) in `config`; --help and a wrong argument are
// answered before a window opens.
Ran RunProgram(const std::string& config, const std::string& locale, const std::string& arguments) {
  const std::string command = "env -u LC_ALL -u LC_MESSAGES -u LANG XDG_CONFIG_HOME='" + config +
                              "' " + locale + " " + SKYRELAY_APP_PATH + " " + arguments +
                              " 2>&1 < /dev/null";
  return skyrelay::test::RunShell(command);
}

bool German(const Ran& ran) {
  return ran.out.rfind("Aufruf: skyrelay-update", 0) == 0;
}
bool English(const Ran& ran) {
  return ran.out.rfind("Usage: skyrelay-update", 0) == 0;
}

TEST(Language, ProgramFollowsOptionMenuChoiceAndLocale) {
  testfiles::TempDir dir;
  const std::string none = dir.Folder() + "none";
  EXPECT_TRUE(English(RunProgram(none, "", "--help")));
  EXPECT_TRUE(German(RunProgram(none, "LANG=de_DE.UTF-8", "--help")));
  EXPECT_TRUE(English(RunProgram(none, "LC_ALL=C LANG=de_DE.UTF-8", "--help")));
  EXPECT_TRUE(German(RunProgram(none, "LC_MESSAGES=de_DE.UTF-8 LANG=C", "--help")));
  EXPECT_TRUE(English(RunProgram(none, "LANG=de_DE.UTF-8", "--language en --help")));
  EXPECT_TRUE(German(RunProgram(none, "", "--language de --help")));

  // The menu's choice, kept in the configuration folder, comes before the
  // locale; --language before both.
  const std::string remembered = dir.Folder() + "remembered";
  std::filesystem::create_directories(remembered + "/skyrelay-update");
  std::ofstream(remembered + "/skyrelay-update/language.ini") << "[General]\nlanguage=en\n";
  EXPECT_TRUE(English(RunProgram(remembered, "LANG=de_DE.UTF-8", "--help")));
  EXPECT_TRUE(German(RunProgram(remembered, "", "--language de --help")));

  const Ran wrong = RunProgram(none, "", "--language fr");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out.rfind("skyrelay-update: --language takes de or en\nUsage:", 0), 0u)
      << wrong.out;
}

// In English the window, its menus and a run's outcome speak English;
// choosing German in the menu remembers it for the next start (the test's
// configuration folder, see app_test_main.cpp) and says so in German.
TEST(Language, WindowInEnglishAndTheMenuChoice) {
  std::filesystem::remove_all(QDir::tempPath().toStdString() + "/skyrelay-app-tests-config");
  {
    Translations english;
    ASSERT_TRUE(english.Install(Language::English));
    AppWorld w;
    w.window->SetLanguage(Language::English);
    EXPECT_EQ(w.window->updateFileAction()->text(), QStringLiteral("&Update file"));
    EXPECT_EQ(w.window->backupAction()->text(), QString::fromUtf8("&Read backup …"));
    EXPECT_TRUE(w.window->englishAction()->isChecked());
    EXPECT_EQ(w.window->hintLabel()->text(),
              QStringLiteral("No update file chosen (File → Update file).\n"
                             "No interface chosen. Please first choose the interface and COM "
                             "port under File → Settings."));
    EXPECT_FALSE(RememberedLanguage());
    w.window->germanAction()->trigger();
    EXPECT_EQ(RememberedLanguage(), Language::German);
    EXPECT_TRUE(w.window->germanAction()->isChecked());
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_EQ(w.messages[0].text,
              QString::fromUtf8("Die Sprache wechselt beim nächsten Start zu Deutsch."));
    EXPECT_EQ(w.messages[0].title, QStringLiteral("Language"));
  }
  // Without a translator the texts are German again.
  AppWorld w;
  EXPECT_EQ(w.window->updateFileAction()->text(), QStringLiteral("&Update-Datei"));
  std::filesystem::remove_all(QDir::tempPath().toStdString() + "/skyrelay-app-tests-config");
}

}  // namespace
}  // namespace skyrelay::app::test
