// Writing the settings file: through a symbolic link to the file it names, with
// the file's permissions kept; a read-only file is left alone; a failed write
// leaves the old file whole and nothing else behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "config_test_files.h"
#include "core/settings_file.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;

std::string Content(const std::string& path) {
  std::string bytes;
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return bytes;
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

size_t Entries(const fs::path& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) n++;
  return n;
}

const Settings kNew{"/home/u/neu.tup", 3, "ttyUSB1"};
const std::string kNewText = "/home/u/neu.tup\r\n3\r\nttyUSB1\r\n";
const std::string kOldText = "/alt.tup\r\n1\r\n4\r\n";

TEST(SettingsWrites, FollowsLinksAndKeepsPermissions) {
  const struct {
    const char* link;    // "" when the path is the file itself
    const char* target;  // as the link names it
    mode_t mode;
  } cases[] = {
      {"", "s.cfg", 0640},
      {"link.cfg", "s.cfg", 0600},       // relative link
      {"link.cfg", "sub/s.cfg", 0664},   // into a sub-folder
      {"chain.cfg", "link2.cfg", 0644},  // a link to a link to the file
  };
  for (const auto& c : cases) {
    testfiles::TempDir dir;
    const std::string target =
        dir.Write(std::string(c.target) == "link2.cfg" ? "s.cfg" : c.target, kOldText);
    if (std::string(c.target) == "link2.cfg")
      fs::create_symlink("s.cfg", dir.Folder() + "link2.cfg");
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
    std::string path = target;
    if (*c.link) {
      path = dir.Folder() + c.link;
      fs::create_symlink(c.target, path);
    }
    SCOPED_TRACE(path);
    const size_t before = Entries(dir.path());
    std::string problem;
    ASSERT_TRUE(WriteSettingsFile(path, kNew, &problem)) << problem;
    EXPECT_EQ(Content(target), kNewText);
    EXPECT_EQ(Mode(target), c.mode);
    EXPECT_EQ(fs::is_symlink(path), *c.link != '\0') << "the link stays a link";
    EXPECT_EQ(Entries(dir.path()), before) << "no temporary file left";
  }
  // A link to a file not yet there creates the file it names.
  testfiles::TempDir dir;
  fs::create_symlink("neu.cfg", dir.Folder() + "link.cfg");
  ASSERT_TRUE(WriteSettingsFile(dir.Folder() + "link.cfg", kNew));
  EXPECT_EQ(Content(dir.Folder() + "neu.cfg"), kNewText);
  EXPECT_TRUE(fs::is_symlink(dir.Folder() + "link.cfg"));
}

TEST(SettingsWrites, ReadOnlyOrUnwritableFilesStayAsTheyWere) {
  testfiles::TempDir dir;
  const std::string file = dir.Write("s.cfg", kOldText);
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  fs::create_symlink("s.cfg", dir.Folder() + "link.cfg");
  for (const std::string& path : {file, dir.Folder() + "link.cfg"}) {
    std::string problem;
    EXPECT_FALSE(WriteSettingsFile(path, kNew, &problem)) << path;
    EXPECT_EQ(problem, file + " ist schreibgeschützt; die Einstellungen werden nicht gespeichert");
    EXPECT_EQ(Content(file), kOldText);
    EXPECT_EQ(Mode(file), 0444u);
  }
  // A folder where the file should be, and a folder that is not there.
  fs::create_directory(dir.Folder() + "ordner.cfg");
  std::string problem;
  EXPECT_FALSE(WriteSettingsFile(dir.Folder() + "ordner.cfg", kNew, &problem));
  EXPECT_EQ(problem, dir.Folder() + "ordner.cfg ist keine Datei");
  EXPECT_FALSE(WriteSettingsFile(dir.Folder() + "fehlt/s.cfg", kNew, &problem));
  EXPECT_EQ(problem, dir.Folder() + "fehlt/s.cfg kann nicht geschrieben werden");
  EXPECT_EQ(Entries(dir.path()), 3u) << "nothing left behind";
}

}  // namespace
}  // namespace skyrelay
