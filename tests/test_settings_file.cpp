// The settings file: three lines, read forgivingly, written atomically.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "config_test_files.h"
#include "core/settings_file.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;

std::string Fields(const Settings& s) {
  return s.UpdateFilePath + "|" + std::to_string(s.InterfaceKind) + "|" + s.ComPortNumber;
}

TEST(SettingsFile, ReadsWritesAndReadsBack) {
  testfiles::TempDir dir;
  Settings s{"old", 3, "4"};
  ASSERT_TRUE(ReadSettingsFile(dir.Write("s.cfg", "C:\\Upd\\paket.tup\r\n 3\r\n 2 \r\n"), s));
  EXPECT_EQ(Fields(s), "C:\\Upd\\paket.tup|3|2");
  ASSERT_TRUE(ReadSettingsFile(dir.Write("odd.cfg", "/a b/p.tup\nx\n"), s));
  EXPECT_EQ(Fields(s), "/a b/p.tup|0|") << "not a number: no interface chosen";
  EXPECT_FALSE(ReadSettingsFile("/nonexistent/dir/s.cfg", s));
  EXPECT_EQ(Fields(s), "|0|");

  const std::string path = (dir.path() / "new.cfg").string();
  ASSERT_TRUE(WriteSettingsFile(path, Settings{"/home/u/paket.tup", 1, "ttyUSB0"}));
  ASSERT_TRUE(ReadSettingsFile(path, s));
  EXPECT_EQ(Fields(s), "/home/u/paket.tup|1|ttyUSB0");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3)
      << "no temporary file left behind";
  EXPECT_FALSE(WriteSettingsFile((dir.path() / "missing" / "s.cfg").string(), s));
}

TEST(SettingsFile, BesideTheProgramWhenWritableElseXdg) {
  testfiles::TempDir dir;
  const std::string name(CurrentBrand().ConfigFileName);
  EXPECT_EQ(DefaultSettingsPath(dir.path().string()), (dir.path() / name).string());
  const std::string xdg = (dir.path() / "xdg").string();
  ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  const std::string fallback = DefaultSettingsPath((dir.path() / "gone").string());
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(fallback, (fs::path(xdg) / "skyrelay-update" / name).string());
  EXPECT_TRUE(fs::is_directory(fs::path(xdg) / "skyrelay-update"));
}

}  // namespace
}  // namespace skyrelay
