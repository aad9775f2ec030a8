// The firmware update file: the check made when a description is loaded and the
// record reader of the firmware update.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "config_test_files.h"
#include "core/context.h"
#include "sim/virtual_host.h"
#include "update/firmware_file.h"

namespace skyrelay {
namespace {

using testfiles::FirmwareFile;
using testfiles::ImageByte;
using testfiles::TempDir;

class FirmwareFileCheck : public ::testing::Test {
 protected:
  FirmwareFileCheck() { host.Attach(&ctx); }

  // Runs the check with the texts preset to "-" and the flag to 0.
  int Check(const std::string& path) {
    version = "-";
    date = "-";
    int flag = 0;
    CheckUpdateFile(ctx, path, version, date, flag);
    return flag;
  }

  void ExpectRefused(const std::string& path, const std::string& text) {
    host.messages.clear();
    EXPECT_EQ(Check(path), 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, text);
    EXPECT_EQ(host.messages[0].title, "Achtung!");
    EXPECT_EQ(host.messages[0].icon, Icon::Stop);
    EXPECT_EQ(host.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(version, "-");
    EXPECT_EQ(date, "-");
  }

  TempDir dir;
  VirtualHost host;
  Context ctx{host};
  std::string version;
  std::string date;
};

TEST_F(FirmwareFileCheck, VersionAndDateAreDecimalWithoutLeadingZeros) {
  EXPECT_EQ(FirmwareFileSize, 32848);
  EXPECT_EQ(Check(dir.Write("a.tup", FirmwareFile(1, 5, 3, 11, 9))), 0);
  EXPECT_EQ(version, "1.5");
  EXPECT_EQ(date, "3.11.9");

  EXPECT_EQ(Check(dir.Write("b.tup", FirmwareFile(1, 50, 0, 0, 0))), 0);
  EXPECT_EQ(version, "1.50");
  EXPECT_EQ(date, "0.0.0");

  EXPECT_EQ(Check(dir.Write("c.tup", FirmwareFile(255, 0, 31, 12, 255))), 0);
  EXPECT_EQ(version, "255.0");
  EXPECT_EQ(date, "31.12.255");

  // The check reads only header and version record; extra bytes change nothing.
  EXPECT_EQ(Check(dir.Write("d.tup", FirmwareFile(2, 1, 1, 1, 1, 0))), 0);
  EXPECT_EQ(Check(dir.Write("e.tup", FirmwareFile(2, 1) + "trailing")), 0);
  EXPECT_EQ(version, "2.1");
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(FirmwareFileCheck, MissingOrUnreadableFileIsNotThere) {
  const std::string missing = (dir.path() / "missing.tup").string();
  ExpectRefused(missing, "Updatefile nicht vorhanden!");
  EXPECT_FALSE(std::filesystem::exists(missing)) << "the check must not create the file";
  ExpectRefused(dir.path().string(), "Updatefile nicht vorhanden!");  // a folder
}

TEST_F(FirmwareFileCheck, WrongOrShortHeaderIsWrongFormat) {
  const std::string image = FirmwareFile(1, 5);
  ExpectRefused(dir.Write("case.tup", FirmwareFile(1, 5, 3, 11, 9, 497,
                                                   "fennikmoor 58400 update file version 1.00")),
                "Falsches Fileformat!");
  ExpectRefused(dir.Write("other.tup", FirmwareFile(1, 5, 3, 11, 9, 497,
                                                    "Fennikmoor 58400 Update File Version 1.01")),
                "Falsches Fileformat!");
  ExpectRefused(dir.Write("empty.tup", ""), "Falsches Fileformat!");
  ExpectRefused(dir.Write("short.tup", image.substr(0, 40)), "Falsches Fileformat!");
  // The header alone, or with a cut version record, is no firmware file either.
  ExpectRefused(dir.Write("header.tup", image.substr(0, 41)), "Falsches Fileformat!");
  ExpectRefused(dir.Write("cut.tup", image.substr(0, 45)), "Falsches Fileformat!");
}

TEST(FirmwareReader, ReadsAllRecordsOfAWholeFile) {
  TempDir dir;
  for (const std::string& extra : {std::string(), std::string(100, '\x55')}) {
    const std::string path = dir.Write("h.tup", FirmwareFile(1, 5, 3, 11, 9) + extra);
    FirmwareReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.VersionText(), "1.5");
    EXPECT_EQ(reader.DateText(), "3.11.9");
    int block = 0;
    std::array<int, 65> data{};
    for (int k = 0; k < BlockRecordCount; k++) {
      if (k == 496) {
        EXPECT_EQ(reader.Position(), 32782);
      }
      ASSERT_TRUE(reader.ReadRecord(block, data)) << "record " << k;
      ASSERT_EQ(block, k);
      EXPECT_EQ(data[0], ImageByte(k, 0));
      EXPECT_EQ(data[63], ImageByte(k, 63));
      EXPECT_EQ(data[64], 0);
    }
    EXPECT_EQ(reader.Position(), FirmwareFileSize);
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(reader.ReadRecord(block, data));
  }
}

TEST(FirmwareReader, ShortFileEndsWithoutHandingOutBytesBeyondIt) {
  TempDir dir;
  // Ten whole records and 30 bytes of the eleventh.
  const std::string image = FirmwareFile(1, 5, 3, 11, 9, 11);
  const std::string path = dir.Write("short.tup", image.substr(0, image.size() - 36));
  FirmwareReader reader;
  ASSERT_TRUE(reader.Open(path));
  int block = 0;
  std::array<int, 65> data{};
  for (int k = 0; k < 10; k++) ASSERT_TRUE(reader.ReadRecord(block, data));
  const long position = reader.Position();
  data.fill(0x55);
  EXPECT_FALSE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, -1);
  for (int v : data) EXPECT_EQ(v, 0);
  EXPECT_EQ(reader.Position(), position);

  // A page repetition after the failed read still reads whole records again.
  reader.Rewind528();
  ASSERT_TRUE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, 2);

  // Files that end within header or version record cannot be opened at all.
  EXPECT_FALSE(reader.Open(dir.Write("tiny.tup", image.substr(0, 45))));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_FALSE(reader.Open((dir.path() / "missing.tup").string()));
  // The header is not compared again when the update reads the file.
  EXPECT_TRUE(
      reader.Open(dir.Write("other.tup", FirmwareFile(1, 5, 3, 11, 9, 1, std::string(41, 'x')))));
}

TEST(FirmwareReader, RewindAfterRecordKContinuesAtRecordKMinus7) {
  TempDir dir;
  const std::string path = dir.Write("h.tup", FirmwareFile(1, 5));
  FirmwareReader reader;
  ASSERT_TRUE(reader.Open(path));
  int block = 0;
  std::array<int, 65> data{};

  for (int k = 0; k <= 15; k++) ASSERT_TRUE(reader.ReadRecord(block, data));
  reader.Rewind528();
  EXPECT_EQ(reader.Position(), FirstRecordOffset + BlockRecordSize * 8);
  ASSERT_TRUE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, 8);
  EXPECT_EQ(data[10], ImageByte(8, 10));

  // Never before the first record.
  reader.Close();
  ASSERT_TRUE(reader.Open(path));
  reader.Rewind528();
  EXPECT_EQ(reader.NextRecordIndex(), 0);
  for (int k = 0; k <= 3; k++) ASSERT_TRUE(reader.ReadRecord(block, data));
  reader.Rewind528();
  ASSERT_TRUE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, 0);

  // The last page: after record 496 the next read is record 489.
  while (reader.ReadRecord(block, data) && block < 496) {
  }
  ASSERT_EQ(block, 496);
  reader.Rewind528();
  ASSERT_TRUE(reader.ReadRecord(block, data));
  EXPECT_EQ(block, 489);
}

}  // namespace
}  // namespace skyrelay
