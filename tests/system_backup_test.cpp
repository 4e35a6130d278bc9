#include "section/system_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

#include "app/driver_removal_app.h"
#include "services/service_start.h"
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
  std::vector<int> all_but_the_last(kBackupNameCount - 1);
  for (int n = 0; n < kBackupNameCount - 1; ++n) all_but_the_last[n] = n;
  const Case cases[] = {
      {{}, "system.000"},
      {{0, 1}, "system.002"},
      {{1}, "system.000"},
      {{0, 1, 2, 3, 5}, "system.004"},
      {all_but_the_last, "system.998"},
  };
  for (const auto& c : cases) {
    SimulatedWindows sim;
    for (int n : c.present) PutEarlierBackup(sim, n);
    const BackupName backup = FindFreeBackupName(sim);
    EXPECT_EQ(c.expected, backup.name);
    EXPECT_TRUE(backup.free) << c.expected;
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
  EXPECT_EQ(std::vector<Box>({kQuestion, BackedUpTo("system.000"), kSuccess}), BoxesShown(sim_));
}

// On NT with an active driver service the service edit follows the box.
TEST_F(BackupInRun, AllNamesTakenMeansNoWriteAndAnError) {
  const Box all_taken{
      "Error backing up system.ini: system.000 to system.998 are all taken.\n"
      "Delete backups that are no longer needed and try again.\nError code: 80",
      MB_ICONERROR};
  for (const bool nt : {false, true}) {
    if (nt) {
      sim_ = SimulatedWindows();
      sim_.PutWindowsFile("system.ini", before_);
      ActiveDriverService(sim_);
      sim_.answers = {IDYES};
    }
    for (int n = 0; n < kBackupNameCount; ++n) PutEarlierBackup(sim_, n);
    const auto files_before = sim_.files;
    DisableObsoleteDriver(sim_);
    EXPECT_EQ(nt ? std::vector<Box>({kQuestion, OnNt(all_taken), kSuccess})
                 : std::vector<Box>({kQuestion, all_taken}),
              BoxesShown(sim_));
    EXPECT_EQ(files_before, sim_.files);
    EXPECT_EQ(0, sim_.profile_writes);
    EXPECT_EQ(nt ? kStartDemand : 0, StartOf(sim_, kDriverServiceKey));
  }
}

TEST(BackupInNtRun, NothingIsBackedUpWhenTheQuestionCameFromTheServiceAlone) {
  SimulatedWindows sim;
  sim.PutWindowsFile("system.ini", SystemIniWith({"device=c:\\progra~1\\velost~1\\zrq\\x.386"}));
  ActiveDriverService(sim);
  const std::string before = sim.WindowsFile("system.ini");
  sim.answers = {IDYES};
  DisableObsoleteDriver(sim);
  EXPECT_EQ(std::vector<Box>({kQuestion, kSuccess}), BoxesShown(sim));
  EXPECT_FALSE(sim.FileExists(sim.WindowsPath("system.000")));
  EXPECT_EQ(before, sim.WindowsFile("system.ini"));
  EXPECT_EQ(0, sim.profile_writes);
}

enum class Family { kBoth, k9x, kNt };

// A file as the 9x write lays it out: a blank line before every section
// that does not start the file, no line break after the last line.
std::string As9xWrites(const std::string& ini) {
  std::string out;
  bool previous_blank = true;
  for (size_t begin = 0; begin < ini.size();) {
    const size_t end = std::min(ini.find('\n', begin), ini.size() - 1) + 1;
    const std::string line = ini.substr(begin, end - begin);
    const bool blank = line.find_first_not_of("\r\n") == std::string::npos;
    if (line[0] == '[' && !previous_blank) out += "\r\n";
    out += line;
    previous_blank = blank;
    begin = end;
  }
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
  return out;
}

// Faults of a full disk, of the platform's rewrite and of the 9x profile
// cache, each with the box after the question and the files the disk holds
// once the process has ended: system.ini is the original again or the box
// names the backup that holds it, no short backup stays behind, and no
// backup stays when system.ini was not changed. Every row runs with Wine's
// write and with the documented one, in place; a row says where the two
// end differently.
TEST(RewriteFaults, EveryRow) {
  const std::string ini =
      "; kept as it is\r\n[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=kvtncdrv.386\r\n"
      "woafont=dosapp.fon\r\n[Other]\r\nx=1\r\n";
  const std::string cleaned =
      "; kept as it is\r\n[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\nwoafont=dosapp.fon\r\n"
      "[Other]\r\nx=1\r\n";
  const std::string last_enh =
      "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=kvtncdrv.386\r\nwoafont=dosapp.fon\r\n"
      "a=1\r\n";
  const std::string last_enh_cleaned =
      "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\nwoafont=dosapp.fon\r\na=1\r\n";
  // Another program's write of [Other], still in the profile cache.
  const std::string pending = ini.substr(0, ini.size() - 3) + "x=2\r\n";
  // Wine's write drops the entry without "=" and the driver's entry (25
  // bytes) and ends each of the 25 lines left with CR LF: the rewritten
  // file is as long as the original, and the check still sees the change.
  std::string same_length_rewrite = "[386Enh]\ndevice=kvtncdrv.386\nbare\n[Other]\n";
  for (int n = 10; n < 33; ++n) same_length_rewrite += "x" + std::to_string(n) + "=1\n";
  const std::string same_length_in_place =
      "[386Enh]\nbare\r\n" + same_length_rewrite.substr(same_length_rewrite.find("[Other]"));
  const std::string windows = "C:\\WINDOWS\\";
  const std::string write_failed = "Error writing section 386Enh of system.ini.\nError code: ";
  const std::string restored = "\nsystem.ini has been restored from system.000.";
  const std::string not_changed = "\nsystem.ini was not changed.";
  const std::string may_still =
      ", but Windows may still write the change to it; "
      "system.000 holds the original.";
  // What to fix, after a write that left the file as it was.
  const std::string close_it =
      "\nAnother program has system.ini open: close it, then run this program again.";
  const std::string make_writable =
      "\nsystem.ini is read-only: make it writable (attrib -r C:\\WINDOWS\\system.ini), then "
      "run this program again.";
  const std::string denied_9x =
      "\nWindows denied access to system.ini: check that its disk is not write-protected and "
      "that you may write to it on a network drive, then run this program again.";
  const std::string changed_while_asked =
      "Error reading system.ini.\nError code: 13\nAnother program changed system.ini while this "
      "program was waiting for your answer; nothing was written. Run this program again.";
  // Another program, or another run, removed what this run would remove.
  const std::string nothing_written = "<nothing written>";
  // Another program's edit while the question stands, which the backup
  // holds: a driver entry in a later [386Enh], or in the first.
  const std::string later_added = ini + "[386Enh]\r\ndevice=kvtncdrv.386\r\n";
  const std::string no_section = "[boot]\r\nshell=Explorer.exe\r\n[Other]\r\nx=1\r\n";
  std::string first_added = ini;
  first_added.insert(first_added.find("woafont"), "device=c:\\kvtncdrv.386\r\n");
  // Edits of [386Enh] that keep the driver entry.
  std::string other_added = ini;
  other_added.insert(other_added.find("woafont"), "device=other.386\r\n");
  std::string other_changed = ini;
  other_changed.insert(other_changed.find(".fon"), ".fon,another");
  // An edit the profile read cannot see: the profile calls end a line at a
  // NUL.
  const std::string nul_before = "[386Enh]\r\ndevice=kvtncdrv.386\r\nx=1" + std::string(1, '\0');
  const std::string nul_ini = nul_before + "a\r\n[Other]\r\ny=2\r\n";
  const std::string nul_edited = nul_before + "bb\r\n[Other]\r\ny=2\r\n";
  // Another program's write that drops the driver, held in the 9x cache.
  const std::string cache_dropped =
      "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\nwoafont=dosapp.fon\r\n[Other]\r\nx=3\r\n";
  const auto edited_while_asked = [](std::string edited) {
    return [edited](SimulatedWindows& sim) {
      sim.while_shown = [edited](SimulatedWindows& shown) {
        if (shown.boxes.size() == 1) shown.PutWindowsFile("system.ini", edited);
      };
    };
  };
  const std::string backup = "system.000";
  const std::string original = "<original>";  // stands for the file as it was
  const auto read_only = [&](SimulatedWindows& sim) {
    sim.attributes[windows + "system.ini"] = FILE_ATTRIBUTE_READONLY;
  };
  struct Outcome {
    std::string box;  // shown after the question, with MB_ICONERROR
    std::string final_ini;
    std::map<std::string, std::string> backups;  // every system.NNN left
    bool restored;                               // system.ini replaced from the backup
  };
  struct Case {
    const char* name;
    std::string ini;
    std::function<void(SimulatedWindows&)> set_up;
    std::string box;
    std::string final_ini;
    std::map<std::string, std::string> backups;
    bool restored;
    // With the documented write, where it ends otherwise than Wine's.
    std::optional<Outcome> in_place = std::nullopt;
    // Where the row runs: the 9x profile cache, or a setting of one family,
    // decides its outcome.
    Family family = Family::kBoth;
  };
  // Wine's rewrite changes more than [386Enh] and ends restored; the
  // documented write, in place, ends in success with `in_place`.
  const auto WineRestores = [&](const char* name, std::string ini, std::string in_place) {
    return Case{name,     std::move(ini),
                nullptr,  write_failed + "13" + restored,
                original, {{backup, original}},
                true,     Outcome{"", std::move(in_place), {{backup, original}}, false}};
  };
  // Another program's write of [Other], put in the 9x cache by `set_up`: the
  // backup holds it, and the run keeps it beside the cleaned section.
  const auto put_pending = [&](SimulatedWindows& sim) {
    sim.profile_cache[windows + "system.ini"] = pending;
  };
  const auto PendingKept = [&](const char* name, std::function<void(SimulatedWindows&)> set_up) {
    return Case{name,
                ini,
                std::move(set_up),
                "",
                cleaned.substr(0, cleaned.size() - 3) + "x=2\r\n",
                {{backup, pending}},
                false,
                std::nullopt,
                Family::k9x};
  };
  // A write cut short at 10 bytes, then a restore copy that fails with 5
  // after `set_up`: the box names the backup that holds the original.
  const auto RestoreFails = [&](const char* name, std::function<void(SimulatedWindows&)> set_up) {
    return Case{name,
                ini,
                [set_up, &windows](SimulatedWindows& sim) {
                  if (set_up) set_up(sim);
                  sim.FailPartWay(SimOp::kWriteProfile, "", 112, 10);
                  sim.Fail(SimOp::kCopyFile, windows + "system.ini", 5);
                },
                write_failed +
                    "112\nRestoring system.ini from system.000 failed with error code 5; "
                    "system.000 holds the original.",
                ini.substr(0, 10),
                {{backup, original}},
                true};
  };
  const Case cases[] = {
      {"system.ini held open: the write fails before it starts",
       ini,
       [](SimulatedWindows& sim) { sim.Fail(SimOp::kWriteProfile, "", 32); },
       write_failed + "32" + not_changed + close_it,
       original,
       {},
       false},
      {"disk full part-way through the write",
       ini,
       [](SimulatedWindows& sim) { sim.FailPartWay(SimOp::kWriteProfile, "", 112, 40); },
       write_failed + "112" + restored,
       original,
       {{backup, original}},
       true},
      {"write fails after the whole of it reached the cache",
       ini,
       [](SimulatedWindows& sim) { sim.FailPartWay(SimOp::kWriteProfile, "", 5, 1000); },
       write_failed + "5" + restored,
       original,
       {{backup, original}},
       true},
      {"write stops part-way and reports success",
       ini,
       [](SimulatedWindows& sim) { sim.FailPartWay(SimOp::kWriteProfile, "", 0, 40); },
       write_failed + "13" + restored,
       original,
       {{backup, original}},
       true},
      WineRestores("Wine's write drops an entry without =, seen on disk only after a flush",
                   "[386Enh]\r\ndevice=kvtncdrv.386\r\nbare entry\r\n[Other]\r\nx=1\r\n",
                   "[386Enh]\r\nbare entry\r\n[Other]\r\nx=1\r\n"),
      WineRestores("Wine's write empties a later section of the same name",
                   ini + "[386ENH]\r\ndevice=vshare.386\r\n",
                   cleaned + "[386ENH]\r\ndevice=vshare.386\r\n"),
      WineRestores("Wine's write splits a line at a carriage return inside it",
                   "[386Enh]\r\ndevice=kvtncdrv.386\r\n[Other]\r\nx=1\ry=2\r\n",
                   "[386Enh]\r\n[Other]\r\nx=1\ry=2\r\n"),
      WineRestores(
          "Wine's write drops what follows a NUL byte in another section",
          "[386Enh]\r\ndevice=kvtncdrv.386\r\n[Other]\r\nx=1" + std::string(1, '\0') + "junk\r\n",
          "[386Enh]\r\n[Other]\r\nx=1" + std::string(1, '\0') + "junk\r\n"),
      WineRestores(
          "a later [386Enh] after lone carriage returns: Wine's write empties it",
          "[386Enh]\r\ndevice=vcomm.386\r\ndevice=kvtncdrv.386\r\n[boot]\r\nshell=Explorer.exe\r\n"
          "[386Enh]\rdevice=other.386\rdevice=more.386\r\n",
          "[386Enh]\r\ndevice=vcomm.386\r\n[boot]\r\nshell=Explorer.exe\r\n"
          "[386Enh]\rdevice=other.386\rdevice=more.386\r\n"),
      WineRestores(
          "text after a header's ]: Wine's write drops it",
          "[boot] ; keep me\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=kvtncdrv.386\r\na=1\r\n",
          "[boot] ; keep me\r\nshell=Explorer.exe\r\n[386Enh]\r\na=1\r\n"),
      WineRestores("LF line ends rewritten as CR LF, as long as the file was: still restored",
                   same_length_rewrite, same_length_in_place),
      {"9x, system.ini read-only: the write stays in the cache, the flush stores nothing",
       ini,
       read_only,
       write_failed + "13" + not_changed + make_writable,
       original,
       {},
       false,
       std::nullopt,
       Family::k9x},
      {"NT, system.ini read-only: the write fails",
       ini,
       read_only,
       write_failed + "5" + not_changed + make_writable,
       original,
       {},
       false,
       std::nullopt,
       Family::kNt},
      {"a hidden system.ini restored after a disk full part-way through the write",
       ini,
       [&](SimulatedWindows& sim) {
         sim.attributes[windows + "system.ini"] = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
         sim.FailPartWay(SimOp::kWriteProfile, "", 112, 40);
       },
       write_failed + "112" + restored,
       original,
       {{backup, original}},
       true},
      PendingKept("another program's write reaches the cache while the question stands",
                  [&](SimulatedWindows& sim) {
                    sim.while_shown = [&](SimulatedWindows& shown) {
                      if (shown.boxes.size() == 1) put_pending(shown);
                    };
                  }),
      {"the flush after the write stops part-way and keeps the file in the cache: the restore "
       "flushes it before the copy",
       ini,
       [](SimulatedWindows& sim) { sim.FailPartWay(SimOp::kFlushProfile, "", 112, 10, 1); },
       write_failed + "13" + restored,
       original,
       {{backup, original}},
       true,
       std::nullopt,
       Family::k9x},
      {"9x, the flush after the write never finishes: the cache stores the write later",
       ini,
       [](SimulatedWindows& sim) { sim.Fail(SimOp::kFlushProfile, "", 112); },
       write_failed + "13\nsystem.ini is unchanged so far" + may_still +
           "\nOnce Windows has restarted, delete system.000 if system.ini still names "
           "kvtncdrv.386.",
       cleaned,
       {{backup, original}},
       false,
       std::nullopt,
       Family::k9x},
      {"another program names the driver in a later [386Enh] while the question stands",
       ini,
       edited_while_asked(later_added),
       "system.ini has a second [386Enh] section that names the driver.\n"
       "Remove that entry by hand and run this program again.",
       later_added,
       {},
       false},
      {"another program adds a driver entry to [386Enh] while the question stands",
       ini,
       edited_while_asked(first_added),
       changed_while_asked,
       first_added,
       {},
       false},
      {"system.ini cannot be read right after the write: restored all the same",
       ini,
       [&](SimulatedWindows& sim) {
         sim.FailPartWay(SimOp::kWriteProfile, "", 112, 40);
         sim.Fail(SimOp::kReadFile, windows + "system.ini", 32, 3);
       },
       write_failed + "112" + restored,
       original,
       {{backup, original}},
       true},
      {"system.ini cannot be read for the backup",
       ini,
       [&](SimulatedWindows& sim) { sim.Fail(SimOp::kReadFile, windows + "system.ini", 32, 2); },
       "Error backing up system.ini to system.000.\nError code: 32",
       original,
       {},
       false},
      {"a flush that stores nothing",
       ini,
       [](SimulatedWindows& sim) { sim.Fail(SimOp::kFlushProfile, "", 0); },
       write_failed + "13" + not_changed,
       original,
       {},
       false,
       std::nullopt,
       Family::k9x},
      {"the section kept elsewhere: the file as it was",
       ini,
       [](SimulatedWindows& sim) {
         sim.mapped_sections["386Enh"] = {"device=kvtncdrv.386", "woafont=dosapp.fon"};
       },
       write_failed + "13" + not_changed,
       original,
       {},
       false},
      {"system.ini cannot be read back after the write",
       ini,
       // System.ini's bytes are read for the check after the profile read,
       // for the backup, and for the check after the write.
       [&](SimulatedWindows& sim) { sim.Fail(SimOp::kReadFile, windows + "system.ini", 5, 3); },
       write_failed + "5" + restored,
       original,
       {{backup, original}},
       true},
      RestoreFails("restore copy fails", nullptr),
      RestoreFails("restore copy fails onto a hidden system.ini, which keeps its attribute",
                   [&](SimulatedWindows& sim) {
                     sim.attributes[windows + "system.ini"] = FILE_ATTRIBUTE_HIDDEN;
                   }),
      RestoreFails("restore copy fails onto a read-only system.ini written all the same (Wine "
                   "as root)",
                   [&](SimulatedWindows& sim) {
                     read_only(sim);
                     sim.undocumented.read_only_write = ReadOnlyProfileWrite::kWritten;
                   }),
      {"restore copy comes up short",
       ini,
       [&](SimulatedWindows& sim) {
         sim.FailPartWay(SimOp::kWriteProfile, "", 112, 40);
         sim.FailPartWay(SimOp::kCopyFile, windows + "system.ini", 0, 10);
       },
       write_failed +
           "112\nRestoring system.ini from system.000 failed with error code 13; system.000 "
           "holds the original.",
       ini.substr(0, 10),
       {{backup, original}},
       true},
      {"disk full during the backup copy",
       ini,
       [&](SimulatedWindows& sim) { sim.FailPartWay(SimOp::kCopyFile, windows + backup, 112, 0); },
       "Error backing up system.ini to system.000.\nError code: 112",
       original,
       {},
       false},
      {"backup copy comes up short, an earlier backup stays",
       ini,
       [&](SimulatedWindows& sim) {
         sim.PutWindowsFile(backup, "old");
         sim.FailPartWay(SimOp::kCopyFile, windows + "system.001", 0, 10);
       },
       "Error backing up system.ini to system.001.\nError code: 13",
       original,
       {{backup, "old"}},
       false},
      {"backup name taken by another program after the lookup",
       ini,
       [&](SimulatedWindows& sim) {
         sim.PutWindowsFile(backup, "another program's");
         sim.Fail(SimOp::kFindFile, windows + backup, ERROR_FILE_NOT_FOUND);
       },
       "Error backing up system.ini to system.000.\nError code: 80",
       original,
       {{backup, "another program's"}},
       false},
      {"backup cannot be read back",
       ini,
       [&](SimulatedWindows& sim) { sim.Fail(SimOp::kReadFile, windows + backup, 5); },
       "Error backing up system.ini to system.000.\nError code: 5",
       original,
       {},
       false},
      PendingKept("another program's write in the cache before the run", put_pending),
      {"the flush leaves the disk without the section's last entry",
       last_enh,
       [&](SimulatedWindows& sim) {
         sim.FailPartWay(SimOp::kFlushProfile, "", 0,
                         static_cast<int>(last_enh_cleaned.size() - 5));
       },
       write_failed + "13" + restored,
       original,
       {{backup, original}},
       true,
       std::nullopt,
       Family::k9x},
      {"[386Enh] the file's last section",
       last_enh,
       nullptr,
       "",
       last_enh_cleaned,
       {{backup, original}},
       false},
      {"a comment in [386Enh]: Wine's write drops it, the documented one keeps it",
       "[386Enh]\r\n; note\r\ndevice=kvtncdrv.386\r\na=1\r\n[Other]\r\nx=1\r\n",
       nullptr,
       "",
       "[386Enh]\r\na=1\r\n[Other]\r\nx=1\r\n",
       {{backup, original}},
       false,
       Outcome{"", "[386Enh]\r\na=1\r\n; note\r\n[Other]\r\nx=1\r\n", {{backup, original}}, false}},
      {"9x, the flush stores part now and the rest when the process ends: restored, but the "
       "backup named",
       ini,
       [](SimulatedWindows& sim) { sim.undocumented.nine_x_flush = NineXFlush::kStoresPart; },
       write_failed + "13\nsystem.ini has been restored from system.000" + may_still,
       cleaned,
       {{backup, original}},
       true,
       std::nullopt,
       Family::k9x},
      {"another program removes the driver entry while the question stands",
       ini,
       edited_while_asked(cleaned),
       nothing_written,
       cleaned,
       {},
       false},
      {"another program removes [386Enh] while the question stands",
       ini,
       edited_while_asked(no_section),
       nothing_written,
       no_section,
       {},
       false},
      {"an earlier read-only backup identical to system.ini stays as it is: a copy of its own",
       ini,
       [&](SimulatedWindows& sim) {
         sim.PutWindowsFile("system.001", ini);
         sim.attributes[windows + "system.001"] = FILE_ATTRIBUTE_READONLY;
       },
       "",
       cleaned,
       {{backup, original}, {"system.001", original}},
       false},
      {"an earlier read-only backup identical to a read-only system.ini left as it was",
       ini,
       [&](SimulatedWindows& sim) {
         read_only(sim);
         sim.PutWindowsFile("system.001", ini);
         sim.attributes[windows + "system.001"] = FILE_ATTRIBUTE_READONLY;
       },
       write_failed + "5" + not_changed + make_writable,
       original,
       {{"system.001", original}},
       false,
       std::nullopt,
       Family::kNt},
      {"a read-only, hidden system file: attrib clears all three",
       ini,
       [&](SimulatedWindows& sim) {
         sim.attributes[windows + "system.ini"] =
             FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
         sim.undocumented.read_only_write = ReadOnlyProfileWrite::kFails;
       },
       write_failed + "5" + not_changed +
           "\nsystem.ini is read-only: make it writable (attrib -s -h -r C:\\WINDOWS\\system.ini), "
           "then run this program again.",
       original,
       {},
       false},
      {"9x, access denied: no administrators there",
       ini,
       [](SimulatedWindows& sim) { sim.Fail(SimOp::kWriteProfile, "", 5); },
       write_failed + "5" + not_changed + denied_9x,
       original,
       {},
       false,
       std::nullopt,
       Family::k9x},
      {"NT, access denied",
       ini,
       [](SimulatedWindows& sim) { sim.Fail(SimOp::kWriteProfile, "", 5); },
       write_failed + "5" + not_changed +
           "\nWindows denied access to system.ini: run this program as an administrator.",
       original,
       {},
       false,
       std::nullopt,
       Family::kNt},
      {"another program adds an entry to [386Enh] while the question stands",
       ini,
       edited_while_asked(other_added),
       changed_while_asked,
       other_added,
       {},
       false},
      {"another program changes an entry of [386Enh] that is not the driver's",
       ini,
       edited_while_asked(other_changed),
       changed_while_asked,
       other_changed,
       {},
       false},
      {"another program changes what follows a NUL in an entry of [386Enh] while the question "
       "stands: the profile read is the same, the file is not",
       nul_ini,
       edited_while_asked(nul_edited),
       changed_while_asked,
       nul_edited,
       {},
       false},
      {"9x, another program's write that drops the driver stays in the cache: the flush never "
       "finishes",
       ini,
       [&](SimulatedWindows& sim) {
         sim.Fail(SimOp::kFlushProfile, "", 112);
         sim.while_shown = [&](SimulatedWindows& shown) {
           if (shown.boxes.size() == 1) shown.profile_cache[windows + "system.ini"] = cache_dropped;
         };
       },
       changed_while_asked,
       cache_dropped,
       {},
       false,
       std::nullopt,
       Family::k9x},
      {"a NUL in an entry of [386Enh], which the profile calls end there: restored",
       "[386Enh]\r\ndevice=kvtncdrv.386\r\nx=1" + std::string(1, '\0') +
           "junk\r\n[Other]\r\ny=2\r\n",
       nullptr,
       write_failed + "13" + restored,
       original,
       {{backup, original}},
       true},
      {"a lone carriage return in a comment of [386Enh]: cleaned",
       "[386Enh]\r\n; note\r; more\r\ndevice=kvtncdrv.386\r\na=1\r\n",
       nullptr,
       "",
       "[386Enh]\r\na=1\r\n",
       {{backup, original}},
       false,
       Outcome{"", "[386Enh]\r\na=1\r\n; note\r; more\r\n", {{backup, original}}, false}},
      {"a header after a lone carriage return in a comment, read as part of the line: Wine's "
       "write drops it, seen in the reading that ends a line there",
       "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\ndevice=kvtncdrv.386\r\n; c\r[Other]\r\n",
       [](SimulatedWindows& sim) { sim.lone_cr = LoneCarriageReturn::kPartOfLine; },
       write_failed + "13" + restored,
       original,
       {{backup, original}},
       true,
       Outcome{"",
               "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\n; c\r[Other]\r\n",
               {{backup, original}},
               false}},
      {"9x, a driver entry the profile calls end at a NUL, a flush that stores nothing: the "
       "bytes alone look written",
       "[386Enh]\r\ndevice=c:\\x\\kvtncdrv.386" + std::string(1, '\0') + "old\r\na=1\r\n",
       [](SimulatedWindows& sim) { sim.undocumented.nine_x_flush = NineXFlush::kStoresNothing; },
       write_failed + "13" + not_changed,
       original,
       {},
       false,
       std::nullopt,
       Family::k9x},
      {"no fault", ini, nullptr, "", cleaned, {{backup, original}}, false},
  };
  // On NT with an active driver service, the service alone loads the
  // driver: after the same box the service edit runs, and the run ends in
  // success with the files as on the 9x family. Every row runs again under
  // each undocumented variant, where the rules alone are checked.
  std::vector<UndocumentedVariant> variants = UndocumentedVariants();
  variants.insert(variants.begin(), UndocumentedVariant{"", nullptr});
  for (const auto& variant : variants) {
    for (const bool nt : {false, true}) {
      for (const auto& [model, model_name] :
           {std::pair(ProfileWrite::kRewriteFile, ", Wine's write"),
            std::pair(ProfileWrite::kInPlace, ", written in place")}) {
        for (const auto& c : cases) {
          if (c.family == (nt ? Family::k9x : Family::kNt)) continue;
          const std::string name = c.name + std::string(model_name) + (nt ? ", NT" : ", 9x") +
                                   (variant.apply ? ", " : "") + variant.name;
          SimulatedWindows sim;
          sim.platform_id = nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS;
          if (nt) ActiveDriverService(sim);
          sim.profile_write = model;
          sim.PutWindowsFile("system.ini", c.ini);
          if (c.set_up) c.set_up(sim);
          if (variant.apply) variant.apply(sim);
          const DWORD attributes_before = sim.attributes[windows + "system.ini"];
          sim.answers = {IDYES};
          sim.take_snapshots = true;
          const SimulatedWindows at_start = sim;
          DisableObsoleteDriver(sim);
          // What another program wrote meanwhile counts as an original too.
          std::vector<std::string> others = {pending,       later_added,   first_added, other_added,
                                             other_changed, cache_dropped, nul_edited};
          if (c.box == nothing_written) others.push_back(c.final_ini);
          EXPECT_EQ("", BrokenRunRule(at_start, sim, others)) << name;
          if (variant.apply) continue;

          Outcome want{c.box, c.final_ini, c.backups, c.restored};
          if (model == ProfileWrite::kInPlace && c.in_place) want = *c.in_place;
          const auto as_given = [&](const std::string& bytes) {
            return bytes == original ? c.ini : bytes;
          };
          const std::vector<Box> boxes = BoxesShown(sim);
          if (want.box.empty()) {
            EXPECT_EQ(std::vector<Box>({kQuestion, BackedUpTo(backup), kSuccess}), boxes) << name;
          } else if (want.box == nothing_written) {
            EXPECT_EQ(std::vector<Box>({kQuestion, kSuccess}), boxes) << name;
            EXPECT_EQ(0, sim.profile_writes) << name;
          } else if (nt) {
            // A damaged system.ini matters to NT too: no line that says otherwise.
            const Box box{want.box, MB_ICONERROR};
            const bool damaged = want.box.find("\nRestoring ") != std::string::npos;
            EXPECT_EQ(std::vector<Box>({kQuestion, damaged ? box : OnNt(box), kSuccess}), boxes)
                << name;
            EXPECT_EQ(0, sim.boxes.at(1).registry_sets) << name;
          } else {
            EXPECT_EQ(std::vector<Box>({kQuestion, {want.box, MB_ICONERROR}}), boxes) << name;
          }
          if (nt) {
            EXPECT_EQ(kStartDemand, StartOf(sim, kDriverServiceKey)) << name;
            EXPECT_EQ(kStartAutomatic, StartOf(sim, kSerialServiceKey)) << name;
          }
          // The documented 9x write lays the whole file out its own way.
          EXPECT_EQ(attributes_before, sim.attributes[windows + "system.ini"]) << name;
          const bool nine_x_layout = !nt && model == ProfileWrite::kInPlace &&
                                     want.box != nothing_written &&
                                     (want.box.empty() || want.final_ini == cleaned);
          EXPECT_EQ(nine_x_layout ? As9xWrites(want.final_ini) : as_given(want.final_ini),
                    sim.WindowsFile("system.ini"))
              << name;
          std::map<std::string, std::string> backups;
          for (const auto& [path, bytes] : sim.files) {
            const std::string name = path.substr(windows.size());
            if (name != "system.ini") backups[name] = bytes;
          }
          std::map<std::string, std::string> expected;
          for (const auto& [name, bytes] : want.backups) expected[name] = as_given(bytes);
          EXPECT_EQ(expected, backups) << name;

          const auto& calls = sim.file_calls;
          const std::string restore = "replace C:\\WINDOWS\\system.000 C:\\WINDOWS\\system.ini";
          EXPECT_EQ(want.restored, std::find(calls.begin(), calls.end(), restore) != calls.end())
              << name;
        }
      }
    }
  }
}
}  // namespace
