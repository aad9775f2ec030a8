// The settings file: three lines, read forgivingly, written atomically.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "config_test_files.h"
#include "core/settings_file.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;

TEST(SettingsFile, ReadsThreeLinesWithBlanksAroundNumbers) {
  testfiles::TempDir dir;
  const std::string path = dir.Write("s.cfg", "C:\\Upd\\paket.tup\r\n 3\r\n 2 \r\n");
  Settings s;
  ASSERT_TRUE(ReadSettingsFile(path, s));
  EXPECT_EQ(s.UpdateFilePath, "C:\\Upd\\paket.tup");
  EXPECT_EQ(s.InterfaceKind, 3);
  EXPECT_EQ(s.ComPortNumber, "2");

  const std::string odd = dir.Write("odd.cfg", "/a b/p.tup\nx\n");
  ASSERT_TRUE(ReadSettingsFile(odd, s));
  EXPECT_EQ(s.UpdateFilePath, "/a b/p.tup");
  EXPECT_EQ(s.InterfaceKind, 0) << "not a number: no interface chosen";
  EXPECT_EQ(s.ComPortNumber, "");
}

TEST(SettingsFile, MissingFileGivesEmptyChoices) {
  Settings s;
  s.UpdateFilePath = "old";
  s.InterfaceKind = 3;
  EXPECT_FALSE(ReadSettingsFile("/nonexistent/dir/s.cfg", s));
  EXPECT_EQ(s.UpdateFilePath, "");
  EXPECT_EQ(s.InterfaceKind, 0);
}

TEST(SettingsFile, WritesAtomicallyAndReadsBack) {
  testfiles::TempDir dir;
  const std::string path = (dir.path() / "s.cfg").string();
  Settings s{"/home/u/paket.tup", 1, "ttyUSB0"};
  ASSERT_TRUE(WriteSettingsFile(path, s));
  Settings back;
  ASSERT_TRUE(ReadSettingsFile(path, back));
  EXPECT_EQ(back.UpdateFilePath, s.UpdateFilePath);
  EXPECT_EQ(back.InterfaceKind, 1);
  EXPECT_EQ(back.ComPortNumber, "ttyUSB0");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1) << "no temporary file left behind";
  EXPECT_FALSE(WriteSettingsFile((dir.path() / "missing" / "s.cfg").string(), s));
}

TEST(SettingsFile, BesideTheProgramWhenWritableElseXdg) {
  testfiles::TempDir dir;
  EXPECT_EQ(DefaultSettingsPath(dir.path().string()),
            (dir.path() / std::string(CurrentBrand().ConfigFileName)).string());
  const std::string xdg = (dir.path() / "xdg").string();
  ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  const std::string fallback = DefaultSettingsPath((dir.path() / "gone").string());
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(
      fallback,
      (fs::path(xdg) / "skyrelay-update" / std::string(CurrentBrand().ConfigFileName)).string());
  EXPECT_TRUE(fs::is_directory(fs::path(xdg) / "skyrelay-update"));
}

}  // namespace
}  // namespace skyrelay
