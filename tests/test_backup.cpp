// The backup of the user's data: before an update writes the configuration, and
// as the commands "backup" and "restore", against the simulated handheld in
// virtual time. What the file holds is compared byte for byte with the flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "run/backup.h"
#include "run/commands.h"
#include "run/update_run.h"
#include "support.h"

namespace skyrelay {
namespace {

namespace fs = std::filesystem;

struct BackupWorld : test::RunWorld {
  // The sample package (or `description` beside its files) as "Update" loads it.
  explicit BackupWorld(const std::string& description = "") {
    host.Port().Close();
    std::string file = sim::WriteSamplePackage(dir.Folder() + "paket/");
    if (!description.empty()) file = dir.Write("paket/eigen.tup", description);
    ctx.settings = {file, 3, "ttyUSB0"};
    EXPECT_TRUE(LoadUpdateDescription(ctx, ctx.settings.UpdateFilePath));
  }
  bool Update() {
    host.onNotice = [this](const Notice& n, Answer a) { NoteFirstError(ctx.report, n, a); };
    const bool started = UpdateCommand(ctx);
    host.onNotice = nullptr;
    return started;
  }
  std::vector<fs::path> Backups() const {
    std::vector<fs::path> out;
    if (fs::is_directory(ctx.dataFolder)) {
      for (const auto& e : fs::directory_iterator(ctx.dataFolder)) out.push_back(e.path());
    }
    return out;
  }
  // The flash as `memory` holds it, for each area.
  // Adjacent areas are one run, as the file reads back.
  static FlashImage Areas(const std::vector<uint8_t>& memory, std::vector<FlashArea> areas) {
    std::sort(areas.begin(), areas.end(),
              [](const FlashArea& a, const FlashArea& b) { return a.address < b.address; });
    FlashImage image;
    for (const FlashArea& a : areas) {
      auto last = image.empty() ? image.end() : std::prev(image.end());
      std::vector<uint8_t>& run =
          last != image.end() && last->first + last->second.size() == a.address ? last->second
                                                                                : image[a.address];
      run.insert(run.end(), memory.begin() + a.address, memory.begin() + a.address + a.size);
    }
    return image;
  }
};

FlashImage FileImage(const std::string& path) {
  const BackupFileInfo info = ReadBackupFile(path);
  EXPECT_EQ(info.problem, "") << path;
  return info.image;
}

// The update saves exactly what it overwrites as it was before, says where, and
// a restore gives it back byte for byte; a page that does not take its bytes is
// named; the progress has a stage of its own for the backup.
TEST(Backup, BeforeTheConfigurationAndRestoredAfterIt) {
  BackupWorld w;
  const std::vector<uint8_t> before = w.sim.flash.memory;
  ASSERT_TRUE(w.Update());
  ASSERT_TRUE(RunSucceeded(w.ctx.report)) << GermanCause(w.ctx.report);
  const BackupResult b = w.ctx.report.backup;  // a restore starts a report of its own
  EXPECT_EQ(b.end, BackupEnd::Saved);
  ASSERT_EQ(w.Backups(), std::vector<fs::path>{b.path});
  EXPECT_TRUE(w.Showed("Sicherung gespeichert: " + b.path));
  const std::vector<FlashArea> areas{{AssignmentAreaBase, 5 * 512},
                                     {SymbolAreaBase, 32 * 512},
                                     {SettingsBlockAddress, 512},
                                     {TurnoutListPage, 512}};
  const FlashImage saved = FileImage(b.path);
  EXPECT_EQ(saved, BackupWorld::Areas(before, areas));
  EXPECT_NE(BackupWorld::Areas(w.sim.flash.memory, areas), saved) << "the update changed them";
  // The name: article, version, date and time.
  const BackupFileInfo info = ReadBackupFile(b.path);
  EXPECT_EQ(info.article, "58400");
  EXPECT_EQ(info.version, "1.0");
  int stages = 0;
  for (const RunProgress& p : w.host.progressShown) {
    if (p.stage == ProgressStage::Backup && p.stageDone == 0) {
      stages++;
      EXPECT_EQ(p.stageTotal, 39);
    }
  }
  EXPECT_EQ(stages, 1);

  // Back as it was, page by page; a page whose program keeps failing is named.
  RestoreResult r = RestoreCommand(w.ctx, b.path);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.pagesWritten, 39);
  EXPECT_EQ(BackupWorld::Areas(w.sim.flash.memory, areas), saved);
  for (const int failing : {1, 3}) {
    w.sim.flash.Write(TurnoutListPage, std::vector<uint8_t>(512, 0x11));
    w.sim.flash.corruptPage = TurnoutListPage;
    w.sim.flash.corruptOffset = 77;
    w.sim.flash.corruptPrograms = failing;
    r = RestoreCommand(w.ctx, b.path);
    EXPECT_EQ(r.end, RestoreEnd::Done);
    EXPECT_EQ(r.pagesWrong,
              failing == 1 ? std::vector<uint32_t>{} : std::vector<uint32_t>{TurnoutListPage});
    EXPECT_EQ(r.ok(), failing == 1) << "a page written once more and then right is restored";
  }
  EXPECT_FALSE(w.host.Port().IsOpen());
}

// A package that names only the turnout list: its page and the settings block's.
// A second backup within the same second gets a name of its own.
TEST(Backup, OnlyWhatThePackageOverwritesAndNeverOverTheLastOne) {
  BackupWorld w("WEICHENLISTE=weichen\\liste.bin\r\n");
  const std::vector<uint8_t> before = w.sim.flash.memory;
  ASSERT_TRUE(w.Update());
  ASSERT_TRUE(RunSucceeded(w.ctx.report)) << GermanCause(w.ctx.report);
  EXPECT_EQ(FileImage(w.ctx.report.backup.path),
            BackupWorld::Areas(before, {{SettingsBlockAddress, 512}, {TurnoutListPage, 512}}));

  HandheldIdentity id;
  id.articleNumber = "58400";
  id.version = "2.1";
  const std::string first = FreeBackupPath(w.ctx.dataFolder, id, 1'800'000'000);
  std::ofstream(first) << WriteIntelHex({{0, {1}}});
  const std::string second = FreeBackupPath(w.ctx.dataFolder, id, 1'800'000'000);
  EXPECT_EQ(second, first.substr(0, first.size() - 4) + "_2.hex");
  std::ofstream(second) << WriteIntelHex({{0, {2}}});
  EXPECT_EQ(ReadBackupFile(second).article, "58400");
  EXPECT_EQ(ReadBackupFile(second).version, "2.1");
}

// A backup that cannot be saved stops the run before the configuration writes a
// byte, with its cause, and the station is released; a handheld that is silent
// before the backup leaves it skipped, never "saved"; --no-backup makes none.
TEST(Backup, NothingWrittenWithoutIt) {
  {
    BackupWorld w;
    const std::string file = w.dir.Write("kein-ordner", "x");
    w.ctx.dataFolder = file;
    ASSERT_TRUE(w.Update());
    const std::vector<FlashArea> areas = UpdateBackupAreas(w.ctx.desc);
    EXPECT_EQ(w.ctx.report.backup.end, BackupEnd::SaveFailed);
    EXPECT_EQ(CauseOf(w.ctx.report), RunCause::BackupFailed);
    EXPECT_EQ(w.ctx.report.configuration.end, ConfigurationEnd::NotRun);
    EXPECT_FALSE(RunSucceeded(w.ctx.report));
    EXPECT_EQ(w.ctx.report.release, Release::Confirmed);
    EXPECT_FALSE(w.sim.stationLog.inUpdateMode);
    ASSERT_TRUE(w.ctx.report.firstError);
    EXPECT_EQ(w.ctx.report.firstError->kind, NoticeKind::BackupFailed);
    sim::SimLoNet fresh;
    EXPECT_EQ(BackupWorld::Areas(w.sim.flash.memory, areas),
              BackupWorld::Areas(fresh.flash.memory, areas));
  }
  {
    BackupWorld w;
    w.host.onStatus = [&w](const std::string& s) {
      if (s == "Firmware ok!") w.sim.handheld.present = false;
    };
    ASSERT_TRUE(w.Update());
    EXPECT_EQ(w.ctx.report.backup.end, BackupEnd::Skipped);
    EXPECT_EQ(w.ctx.report.backup.path, "");
    EXPECT_TRUE(w.Backups().empty());
    EXPECT_FALSE(RunSucceeded(w.ctx.report));
    EXPECT_NE(CauseOf(w.ctx.report), RunCause::BackupFailed);
  }
  {
    BackupWorld w;
    w.ctx.backupBeforeConfiguration = false;
    ASSERT_TRUE(w.Update());
    EXPECT_TRUE(RunSucceeded(w.ctx.report));
    EXPECT_EQ(w.ctx.report.backup.end, BackupEnd::NotRun);
    EXPECT_TRUE(w.Backups().empty());
  }
}

// "backup --all" reads the language texts and characters as well, and writes nothing.
TEST(Backup, TheCommandReadsWithoutWriting) {
  for (const bool all : {false, true}) {
    BackupWorld w;
    const std::string path = w.dir.Folder() + "s/handregler.hex";
    const BackupCommandResult r = BackupCommand(w.ctx, path, all);
    ASSERT_EQ(r.backup.end, BackupEnd::Saved);
    EXPECT_EQ(w.sim.flash.pagePrograms, 0);
    EXPECT_FALSE(w.sim.stationLog.inUpdateMode);
    EXPECT_EQ(FileImage(path), BackupWorld::Areas(w.sim.flash.memory, CommandBackupAreas(all)));
    EXPECT_EQ(ImageSize(FileImage(path)), all ? (39 + 32) * 512 + 11 * LanguageAreaSize : 39 * 512);
  }
}

// What a backup's name tells: article, version, date and time as BackupFileName
// writes them, also with a number for a second backup in the same second; any
// other name tells nothing, and the file is read all the same.
TEST(Backup, TheFileNameNamesHandheldAndTime) {
  testfiles::TempDir dir;
  const std::string content = WriteIntelHex({{SettingsBlockAddress, std::vector<uint8_t>(512, 7)}});
  struct Case {
    const char *name, *article, *version, *date, *time;
  };
  for (const Case& c :
       {Case{"58400_v2.1_2026-12-08_012300.hex", "58400", "2.1", "2026-12-08", "01:23:00"},
        Case{"58400_v2.1_2026-12-08_012300_2.hex", "58400", "2.1", "2026-12-08", "01:23:00"},
        Case{"handregler_vunbekannt_2026-01-31_235959.HEX", "handregler", "unbekannt", "2026-01-31",
             "23:59:59"},
        Case{"alt_v1_v1.0_2026-12-08_012300.hex", "alt_v1", "1.0", "2026-12-08", "01:23:00"},
        Case{"A9Z_V3_2026-12-08_012300.hex", "A9Z", "3", "2026-12-08", "01:23:00"},
        Case{"58400_v2.1_2026-12-08_x12300.hex", "", "", "", ""},
        Case{"58400_v_2026-12-08_012300.hex", "", "", "", ""},
        Case{"58400_v2.1_2026-12-8_012300.hex", "", "", "", ""},
        Case{"58400 x_v2.1_2026-12-08_012300.hex", "", "", "", ""},
        Case{"58400_v2.1_2026-12-08_012300_x.hex", "", "", "", ""},
        Case{"sicherung.hex", "", "", "", ""}}) {
    SCOPED_TRACE(c.name);
    const BackupFileInfo info = ReadBackupFile(dir.Write(c.name, content));
    EXPECT_EQ(info.problem, "");
    EXPECT_EQ(std::vector<std::string>({info.article, info.version, info.date, info.time}),
              std::vector<std::string>({c.article, c.version, c.date, c.time}));
    EXPECT_EQ(ImageSize(info.image), 512u);
  }
}

}  // namespace
}  // namespace skyrelay
