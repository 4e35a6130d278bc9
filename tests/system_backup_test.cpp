#include "section/system_backup.h"

#include <gtest/gtest.h>

#include "app/driver_removal_app.h"
#include "tests/test_support.h"

namespace {

// Leaves an earlier backup system.NNN in the Windows directory.
void PutEarlierBackup(SimulatedWindows& sim, int n) {
  char name[16];
  (void)std::snprintf(name, sizeof name, "system.%03d", n);
  sim.PutWindowsFile(name, "old");
}

TEST(FindFreeBackupName, TakesTheLowestFreeNumber) {
  struct Case {
    std::vector<int> present;
    const char* expected;
  };
  const Case cases[] = {
      {{}, "system.000"},
      {{0, 1}, "system.002"},
      {{1}, "system.000"},
      {{0, 1, 2, 3, 5}, "system.004"},
  };
  for (const auto& c : cases) {
    SimulatedWindows sim;
    for (int n : c.present) PutEarlierBackup(sim, n);
    const BackupName backup = FindFreeBackupName(sim);
    EXPECT_EQ(c.expected, backup.name);
    EXPECT_EQ("C:\\WINDOWS\\", backup.directory);
  }
}

TEST(FindFreeBackupName, AddsNoSecondBackslashToADriveRoot) {
  SimulatedWindows sim;
  sim.windows_directory = "C:\\";
  EXPECT_EQ("C:\\", FindFreeBackupName(sim).directory);
}

class BackupInRun : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.platform_id = VER_PLATFORM_WIN32_WINDOWS;
    sim_.PutWindowsFile("system.ini",
                        "; kept as it is\r\n" + SystemIniWith({"device=kvtncdrv.386"}));
    before_ = sim_.WindowsFile("system.ini");
    sim_.answers = {IDYES};
  }
  SimulatedWindows sim_;
  std::string before_;
};

TEST_F(BackupInRun, BackupHoldsTheFileAsItWasBeforeTheRun) {
  sim_.windows_directory = "C:\\";
  sim_.PutWindowsFile("system.ini", before_);
  DisableObsoleteDriver(sim_);
  EXPECT_EQ(before_, sim_.WindowsFile("system.000"));
  EXPECT_NE(before_, sim_.WindowsFile("system.ini"));
  ASSERT_EQ(3u, sim_.boxes.size());
  EXPECT_EQ("System file has been backed up to system.000", sim_.boxes[1].text);
}

TEST_F(BackupInRun, AllNamesTakenMeansNoWriteAndAnError) {
  for (int n = 0; n < kBackupNameCount; ++n) PutEarlierBackup(sim_, n);
  DisableObsoleteDriver(sim_);
  EXPECT_EQ(std::vector<Box>(
                {{sim_.boxes[0].text, MB_YESNO | MB_ICONQUESTION},
                 {"Error backing up system.ini to system.998.\nError code: 80", MB_ICONERROR}}),
            BoxesShown(sim_));
  EXPECT_EQ(before_, sim_.WindowsFile("system.ini"));
  EXPECT_EQ("old", sim_.WindowsFile("system.998"));
  EXPECT_EQ(0, sim_.profile_writes);
}

TEST_F(BackupInRun, FailedWriteIsReportedAndTheBackupStays) {
  sim_.Fail(SimOp::kWriteProfile, "", 1234);
  DisableObsoleteDriver(sim_);
  ASSERT_EQ(2u, sim_.boxes.size());
  EXPECT_EQ((Box{"Error writing section 386Enh of system.ini.\nError code: 1234", MB_ICONERROR}),
            (Box{sim_.boxes[1].text, sim_.boxes[1].style}));
  EXPECT_EQ(before_, sim_.WindowsFile("system.000"));
  EXPECT_EQ(before_, sim_.WindowsFile("system.ini"));
}

TEST_F(BackupInRun, NothingIsBackedUpWhenNothingIsRemoved) {
  sim_.PutWindowsFile("system.ini", SystemIniWith({"device=c:\\progra~1\\velost~1\\zrq\\x.386"}));
  DisableObsoleteDriver(sim_);
  EXPECT_FALSE(sim_.FileExists(sim_.WindowsPath("system.000")));
  EXPECT_TRUE(sim_.boxes.empty());
}

}  // namespace
