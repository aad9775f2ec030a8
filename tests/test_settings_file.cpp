// The settings file: three lines read forgivingly; written whole, through
// symbolic links to the file they name, with its permissions kept; a read-only
// or unwritable file stays as it was and nothing is left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config_test_files.h"
#include "core/settings_file.h"

#include "core/brand.h"
#include "package/description.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;

std::string Content(const std::string& path) {
  std::string bytes;
  ReadFileBytes(path, bytes);
  return bytes;
}
mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}
long Entries(const testfiles::TempDir& dir) {
  return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator());
}

const Settings kNew{"/home/u/neu.tup", 3, "ttyUSB1"};
const std::string kNewText = "/home/u/neu.tup\r\n3\r\nttyUSB1\r\n";
const std::string kOldText = "/alt.tup\r\n1\r\n4\r\n";

TEST(SettingsFile, ReadsThreeLinesForgivingly) {
  testfiles::TempDir dir;
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Upd\\paket.tup\r\n 3\r\n 2 \r\n", "C:\\Upd\\paket.tup|3|2"},
      {"/a b/p.tup\nx\n", "/a b/p.tup|0|"},  // not a number: no interface chosen
      {"/p.tup\r\n\r\n", "/p.tup|0|"},
  };
  for (const auto& [text, fields] : cases) {
    Settings s{"old", 3, "4"};
    ASSERT_TRUE(ReadSettingsFile(dir.Write("s.cfg", text), s));
    EXPECT_EQ(s.UpdateFilePath + "|" + std::to_string(s.InterfaceKind) + "|" + s.ComPortNumber,
              fields);
  }
  Settings s{"old", 3, "4"};
  EXPECT_FALSE(ReadSettingsFile("/nonexistent/dir/s.cfg", s));
  EXPECT_EQ(s.UpdateFilePath + std::to_string(s.InterfaceKind) + s.ComPortNumber, "0");
}

TEST(SettingsFile, WritesThroughLinksKeepingPermissions) {
  const struct {
    std::vector<std::pair<const char*, const char*>> links;  // link, what it names
    const char* target;
    mode_t mode;  // 0: the file is not there yet
  } cases[] = {
      {{}, "s.cfg", 0640},
      {{{"link.cfg", "s.cfg"}}, "s.cfg", 0600},
      {{{"link.cfg", "sub/s.cfg"}}, "sub/s.cfg", 0664},
      {{{"link.cfg", "link2.cfg"}, {"link2.cfg", "s.cfg"}}, "s.cfg", 0604},
      {{{"link.cfg", "neu.cfg"}}, "neu.cfg", 0},
  };
  for (const auto& c : cases) {
    testfiles::TempDir dir;
    const std::string target = dir.Folder() + c.target;
    ASSERT_EQ(c.mode ? ::chmod(dir.Write(c.target, kOldText).c_str(), c.mode) : 0, 0);
    for (const auto& [link, named] : c.links) fs::create_symlink(named, dir.Folder() + link);
    const std::string path = c.links.empty() ? target : dir.Folder() + c.links[0].first;
    SCOPED_TRACE(path);
    const long before = Entries(dir);
    std::string problem;
    ASSERT_TRUE(WriteSettingsFile(path, kNew, &problem)) << problem;
    EXPECT_EQ(Content(target), kNewText);
    EXPECT_EQ(c.mode ? Mode(target) : mode_t{0}, c.mode);
    EXPECT_EQ(fs::is_symlink(path), !c.links.empty()) << "the link stays a link";
    EXPECT_EQ(Entries(dir), before + (c.mode ? 0 : 1)) << "no temporary file left";
  }
}

TEST(SettingsFile, ReadOnlyOrUnwritableFilesStayAsTheyWere) {
  testfiles::TempDir dir;
  const std::string file = dir.Write("s.cfg", kOldText);
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  fs::create_symlink("s.cfg", dir.Folder() + "link.cfg");
  fs::create_directory(dir.Folder() + "ordner.cfg");
  const std::string readOnly = " ist schreibgeschützt; die Einstellungen werden nicht gespeichert";
  const std::pair<std::string, std::string> cases[] = {
      {"s.cfg", "s.cfg" + readOnly},
      {"link.cfg", "s.cfg" + readOnly},
      {"ordner.cfg", "ordner.cfg ist keine Datei"},
      {"fehlt/s.cfg", "fehlt/s.cfg kann nicht geschrieben werden"},
  };
  for (const auto& [path, message] : cases) {
    std::string problem;
    EXPECT_FALSE(WriteSettingsFile(dir.Folder() + path, kNew, &problem)) << path;
    EXPECT_EQ(problem, dir.Folder() + message);
  }
  EXPECT_EQ(Content(file), kOldText);
  EXPECT_EQ(Mode(file), 0444u);
  EXPECT_EQ(Entries(dir), 3) << "nothing left behind";
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
