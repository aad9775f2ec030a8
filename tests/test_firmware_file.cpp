// The firmware update file: the check made when a description is loaded and the
// record reader of the firmware update.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "config_test_files.h"
#include "package/firmware_file.h"
#include "support.h"

namespace skyrelay {
namespace {

using testfiles::FirmwareFile;
using testfiles::ImageByte;

TEST(FirmwareFileCheck, VersionDateAndRefusals) {
  testfiles::TempDir dir;
  test::World w;
  VirtualHost& host = w.host;
  std::string version, date;
  auto check = [&](const std::string& path) {
    version = date = "-";
    int flag = 0;
    host.messages.clear();
    CheckUpdateFile(w.ctx, path, version, date, flag);
    return flag;
  };
  EXPECT_EQ(check(dir.Write("a.tup", FirmwareFile(1, 50, 0, 0, 0))), 0);
  EXPECT_EQ(version + " " + date, "1.50 0.0.0");
  EXPECT_EQ(check(dir.Write("b.tup", FirmwareFile(255, 0, 31, 12, 255, 0) + "trailing")), 0);
  EXPECT_EQ(version + " " + date, "255.0 31.12.255");
  EXPECT_TRUE(host.messages.empty());

  const std::string image = FirmwareFile(1, 5), gone = "Updatefile nicht vorhanden!",
                    format = "Falsches Fileformat!";
  const std::pair<std::string, std::string> refused[] = {
      {dir.Folder() + "missing.tup", gone},
      {dir.Folder(), dir.Folder() + "\rkeine Datei, sondern ein Ordner!"},
      {dir.Write("case.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "fennikmoor 58400 update file version 1.00")),
       format},
      {dir.Write("other.tup",
                 FirmwareFile(1, 5, 3, 11, 9, 1, "Fennikmoor 58400 Update File Version 1.01")),
       format},
      {dir.Write("empty.tup", ""), format},
      {dir.Write("header.tup", image.substr(0, 41)), format},
      {dir.Write("cut.tup", image.substr(0, 45)), format}};
  for (const auto& [path, text] : refused) {
    EXPECT_EQ(check(path), 1) << path;
    ASSERT_EQ(host.messages.size(), 1u) << path;
    EXPECT_EQ(host.messages[0].title + "|" + host.messages[0].text, "Achtung!|" + text) << path;
    EXPECT_EQ(version + date, "--") << path;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Folder() + "missing.tup"));
}

// Records in order, a short file ending without handing out bytes beyond it, and the
// rewind by eight records (never before the first).
TEST(FirmwareReader, RecordsRewindAndShortFiles) {
  testfiles::TempDir dir;
  FirmwareReader reader;
  ASSERT_TRUE(reader.Open(dir.Write("h.tup", FirmwareFile(1, 5))));
  EXPECT_EQ(reader.VersionText() + " " + reader.DateText(), "1.5 3.11.9");
  int block = 0;
  std::array<int, 65> data{};
  auto next = [&] {
    EXPECT_TRUE(reader.ReadRecord(block, data));
    return block;
  };
  auto rewound = [&] {
    reader.Rewind528();
    return next();
  };
  EXPECT_EQ(rewound(), 0) << "never before the first record";
  for (int k = 1; k <= 3; k++) EXPECT_EQ(next(), k);
  EXPECT_EQ(rewound(), 0);
  while (block < 15) next();
  EXPECT_EQ(rewound(), 8);
  for (int k = 9; k < BlockRecordCount; k++) {
    ASSERT_EQ(next(), k);
    for (int i : {0, 63}) EXPECT_EQ(data[i], ImageByte(k, i));
    EXPECT_EQ(data[64], 0);
  }
  EXPECT_EQ(reader.Position(), FirmwareFileSize);
  reader.Close();
  EXPECT_FALSE(reader.ReadRecord(block, data));

  const std::string image = FirmwareFile(1, 5, 3, 11, 9, 11);
  ASSERT_TRUE(reader.Open(dir.Write("short.tup", image.substr(0, image.size() - 36))));
  for (int k = 0; k < 10; k++) next();
  const long position = reader.Position();
  data.fill(0x55);
  EXPECT_FALSE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, -1);
  EXPECT_EQ(data, (std::array<int, 65>{}));
  EXPECT_EQ(reader.Position(), position);
  EXPECT_EQ(rewound(), 2);
  EXPECT_FALSE(reader.Open(dir.Write("tiny.tup", image.substr(0, 45))));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_TRUE(reader.Open(dir.Write("other.tup", "x" + image.substr(1))))
      << "the header is not compared again";
}

}  // namespace
}  // namespace skyrelay
