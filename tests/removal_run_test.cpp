// The whole run, from the framework's entry, against the simulated Windows.

#include <gtest/gtest.h>

#include "app/driver_removal_app.h"
#include "section/device_section.h"
#include "services/service_start.h"
#include "tests/test_support.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

TEST(AppNameFromModulePath, IsTheFileNameWithoutItsExtension) {
  EXPECT_EQ("DriverRemoval", AppNameFromModulePath("C:\\Program Files\\Tools\\DriverRemoval.exe"));
  EXPECT_EQ("Renamed.Copy", AppNameFromModulePath("\\\\server\\share\\Renamed.Copy.EXE"));
  EXPECT_EQ("NoExtension", AppNameFromModulePath("D:NoExtension"));
}

class RemovalRun : public ::testing::Test {
 protected:
  // A Windows 9x system whose system.ini holds the given "386Enh" lines.
  void Windows9x(const std::vector<std::string>& enh_lines) {
    sim_.platform_id = VER_PLATFORM_WIN32_WINDOWS;
    sim_.PutWindowsFile("system.ini", SystemIniWith(enh_lines));
  }
  // A Windows NT system with the driver service at `start` and Serial at 3.
  void WindowsNt(DWORD start, const std::vector<std::string>& enh_lines = {}) {
    sim_.platform_id = VER_PLATFORM_WIN32_NT;
    sim_.PutWindowsFile("system.ini", SystemIniWith(enh_lines));
    sim_.SetDword(kDriverServiceKey, "Start", start);
    sim_.SetDword(kSerialServiceKey, "Start", kStartDemand);
  }
  void Run() {
    EXPECT_EQ(0, AfxWinMain(sim_));
    for (const auto& box : sim_.boxes) EXPECT_EQ("DriverRemoval", box.caption);
    EXPECT_EQ(0, sim_.open_keys());
  }
  DWORD StartOf(const std::string& subkey) { return ::StartOf(sim_, subkey); }

  SimulatedWindows sim_;
};

// Only an entry that loads the driver counts; a mere mention asks nothing.
TEST_F(RemovalRun, Windows9xWithoutReferenceEndsSilently) {
  Windows9x(
      {"device=vcomm.386", "device=c:\\progra~1\\velost~1\\zrq\\other.386", "x=kvtncdrv.386"});
  Run();
  EXPECT_TRUE(sim_.boxes.empty());
  EXPECT_EQ(0, sim_.profile_writes);
  EXPECT_TRUE(sim_.registry_calls.empty());
}

TEST_F(RemovalRun, TypicalWindows9xCaseBacksUpRemovesAndReports) {
  Windows9x({"device=*vmm", "device=c:\\progra~1\\velost~1\\zrq\\kvtncdrv.386", "a=1"});
  const std::string before = sim_.WindowsFile("system.ini");
  sim_.answers = {IDYES};
  Run();
  EXPECT_EQ(std::vector<Box>({kQuestion, BackedUpTo("system.000"), kSuccess}), BoxesShown(sim_));
  EXPECT_EQ(before, sim_.WindowsFile("system.000"));
  EXPECT_EQ(SystemIniWith({"device=*vmm", "a=1"}), sim_.WindowsFile("system.ini"));
  EXPECT_TRUE(sim_.registry_calls.empty());
}

TEST_F(RemovalRun, AnswerNoShowsOnlyTheReminderAndChangesNothing) {
  WindowsNt(2, {"device=kvtncdrv.386"});
  const auto files_before = sim_.files;
  sim_.answers = {IDNO};
  Run();
  EXPECT_EQ(std::vector<Box>({kQuestion, kReminder}), BoxesShown(sim_));
  EXPECT_EQ(files_before, sim_.files);
  EXPECT_EQ(0, sim_.profile_writes);
  for (const auto& call : sim_.registry_calls) {
    EXPECT_NE(0u, call.rfind("set ", 0)) << call;
  }
  EXPECT_EQ(2u, StartOf(kDriverServiceKey));
  EXPECT_EQ(kStartDemand, StartOf(kSerialServiceKey));
}

TEST_F(RemovalRun, LargeSectionKeepsEveryOtherEntry) {
  std::vector<std::string> lines;
  for (int i = 0; i < 2000; ++i) lines.push_back("entry" + std::to_string(i) + "=some value");
  std::vector<std::string> with_driver = lines;
  with_driver.insert(with_driver.end() - 3, "DEVICE=KVTNCDRV.386");
  // Windows 10, without the driver service: more than the 32,767
  // characters of a section that older Windows handle.
  sim_.PutWindowsFile("system.ini", SystemIniWith(with_driver));
  sim_.answers = {IDYES};
  Run();
  EXPECT_EQ(SystemIniWith(lines), sim_.WindowsFile("system.ini"));
  EXPECT_EQ(std::vector<Box>({kQuestion, BackedUpTo("system.000"), kSuccess}), BoxesShown(sim_));
}

// The section refused before the question: too large to edit safely, or
// not what system.ini's own bytes hold: a file that cannot be read, a read
// that misses a driver entry the file's first [386Enh] holds, and a driver
// entry in a later [386Enh]. The section is left alone, no backup made. On
// the 9x family, or on NT with no active driver service, the run ends at the
// box; on NT with an active service, which alone loads the driver there, the
// run goes on as if the section named nothing: the question, then the
// service edit, with the registry untouched until the section box is shown.
TEST_F(RemovalRun, TheProfileReadIsCheckedAgainstTheFile) {
  const Box unreadable{"Error reading system.ini.\nError code: 32", MB_ICONERROR};
  const Box missed = kReadMissed;
  const Box too_large{"The [386Enh] section of system.ini is too large to edit safely.",
                      MB_ICONERROR};
  const Box two_readings = TwoReadings("\"a=1\" and \"device=kvtncdrv.386\"");
  const Box second_section = kSecondSection;
  const std::string driver_ini = SystemIniWith({"device=kvtncdrv.386"});
  const std::string too_large_ini =
      SystemIniWith({"a=" + std::string(kOldWindowsSectionCapacity, 'v'), "device=kvtncdrv.386"});
  const std::string ini_path = "C:\\WINDOWS\\system.ini";
  const auto held_open = [&](SimulatedWindows& sim) { sim.holders[ini_path] = FileHolder{}; };
  const auto mapped = [](SimulatedWindows& sim) {
    sim.mapped_sections["386Enh"] = {"device=vcomm.386"};
  };
  const auto lone_cr_in_line = [](SimulatedWindows& sim) {
    sim.lone_cr = LoneCarriageReturn::kPartOfLine;
  };
  // Header names that end at the first "]" in one reading, the last in the
  // other; and a lone carriage return in [386Enh] read two ways.
  const std::string bracket_in_comment =
      "[boot]\r\nshell=x\r\n[386Enh] ; see [notes]\r\ndevice=*vmm\r\ndevice=kvtncdrv.386\r\n"
      "[Other]\r\ny=1\r\n";
  // The box names the joined line in [386Enh], not the earlier one.
  const std::string lone_cr_before_driver =
      "[boot]\r\nx=1\ry=2\r\n[386Enh]\r\ndevice=*vmm\r\na=1\rdevice=kvtncdrv.386\r\nb=2\r\n";
  const auto windows_xp = [](SimulatedWindows& sim) {
    sim.major_version = 5;
    sim.minor_version = 1;
  };
  constexpr DWORD k9x = 0;
  constexpr DWORD kStartSystem = 1;
  struct Case {
    const char* name;
    DWORD driver_start;  // on NT; k9x: Windows 9x
    std::string ini;     // empty: no system.ini
    std::function<void(SimulatedWindows&)> set_up;
    std::vector<Box> boxes;
    int answer = IDYES;
  };
  const Case cases[] = {
      {"9x, held open without sharing", k9x, driver_ini, held_open, {unreadable}},
      {"NT with an active service, held open without sharing",
       kStartAutomatic,
       driver_ini,
       held_open,
       {OnNt(unreadable), kQuestion, kSuccess}},
      {"NT with an active service, held open, answered No",
       kStartAutomatic,
       driver_ini,
       held_open,
       {OnNt(unreadable), kQuestion, kReminder},
       IDNO},
      {"NT with the service at demand start, held open",
       kStartDemand,
       driver_ini,
       held_open,
       {OnNt(unreadable)}},
      {"NT with the service disabled, a mapped section",
       kStartDisabled,
       driver_ini,
       mapped,
       {OnNt(missed)}},
      {"9x, a section too large to edit safely", k9x, too_large_ini, nullptr, {too_large}},
      {"NT with an active service, a section too large on XP",
       kStartSystem,
       too_large_ini,
       windows_xp,
       {OnNt(too_large), kQuestion, kSuccess}},
      {"NT with an active service, system.ini past 64 MiB",
       kStartAutomatic,
       driver_ini,
       [&](SimulatedWindows& sim) { sim.Fail(SimOp::kReadFile, ini_path, 223); },
       {OnNt({"Error reading system.ini.\nError code: 223", MB_ICONERROR}), kQuestion, kSuccess}},
      {"9x, missing", k9x, "", nullptr, {}},
      {"9x, another program's write still in the cache took the driver entry out",
       k9x,
       driver_ini,
       [&](SimulatedWindows& sim) { sim.profile_cache[ini_path] = SystemIniWith({"a=1"}); },
       {}},
      {"NT with an active service, missing", kStartAutomatic, "", nullptr, {kQuestion, kSuccess}},
      {"9x, missing, but the section kept elsewhere names the driver",
       k9x,
       "",
       [](SimulatedWindows& sim) { sim.mapped_sections["386Enh"] = {"device=kvtncdrv.386"}; },
       {kQuestion, kReminder},
       IDNO},
      {"9x, held open by a program that shares reading and writing",
       k9x,
       driver_ini,
       [&](SimulatedWindows& sim) {
         sim.holders[ini_path] = FileHolder{true, false, true, true};
       },
       {missed}},
      {"NT with an active service, a read that returns other entries (a mapped section)",
       kStartAutomatic,
       driver_ini,
       mapped,
       {OnNt(missed), kQuestion, kSuccess}},
      {"the driver entry twice in the file, once in the read",
       k9x,
       SystemIniWith({"device=kvtncdrv.386", "a=1", "device = kvtncdrv.386"}),
       [](SimulatedWindows& sim) {
         sim.mapped_sections["386Enh"] = {"device=kvtncdrv.386", "a=1"};
       },
       {missed}},
      {"a byte order mark before [386Enh] on the first line, which the read does not see",
       k9x,
       "\xEF\xBB\xBF[386Enh]\r\ndevice=kvtncdrv.386\r\n[Other]\r\nx=1\r\n",
       nullptr,
       {missed}},
      {"only the second [386Enh] names the driver",
       k9x,
       SystemIniWith({"a=1"}) + "[386Enh]\r\ndevice=kvtncdrv.386\r\n",
       nullptr,
       {second_section}},
      {"NT with an active service, both [386Enh] sections name the driver",
       kStartAutomatic,
       driver_ini + "[386Enh]\r\ndevice=c:\\zrq\\kvtncdrv.386\r\n",
       nullptr,
       {OnNt(second_section), kQuestion, kSuccess}},
      {"a later [386Enh] that names the driver after lone carriage returns, as NT reads it",
       k9x,
       "[386Enh]\r\ndevice=vcomm.386\r\n[boot]\r\nshell=Explorer.exe\r\n"
       "[386Enh]\rdevice=kvtncdrv.386\r\n",
       nullptr,
       {second_section}},
      {"two driver entries, the read listing them in the other order",
       k9x,
       SystemIniWith({"device=kvtncdrv.386", "device=c:\\kvtncdrv.386"}),
       [](SimulatedWindows& sim) {
         sim.mapped_sections["386Enh"] = {"device=c:\\kvtncdrv.386", "device=kvtncdrv.386"};
       },
       {kQuestion, kReminder},
       IDNO},
      {"blanks around = in the file and in the read",
       k9x,
       SystemIniWith({"device = kvtncdrv.386"}),
       [](SimulatedWindows& sim) { sim.mapped_sections["386Enh"] = {"device = kvtncdrv.386"}; },
       {kQuestion, kReminder},
       IDNO},
      {"as many driver entries in the read, but another one",
       k9x,
       driver_ini,
       [](SimulatedWindows& sim) { sim.mapped_sections["386Enh"] = {"device=\\kvtncdrv.386"}; },
       {missed}},
      {"three [386Enh] sections, only the third naming the driver",
       k9x,
       SystemIniWith({"a=1"}) + "[386Enh]\r\nb=2\r\n[386Enh]\r\ndevice=kvtncdrv.386\r\n",
       nullptr,
       {second_section}},
      {"9x, a [386Enh] header with a second ] after it",
       k9x,
       bracket_in_comment,
       nullptr,
       {missed}},
      {"NT with an active service, a [386Enh] header with a second ] after it",
       kStartAutomatic,
       bracket_in_comment,
       nullptr,
       {OnNt(missed), kQuestion, kSuccess}},
      {"9x, [386Enh]x]", k9x, "[386Enh]x]\r\ndevice=kvtncdrv.386\r\n", nullptr, {missed}},
      {"9x, a later [386Enh]] naming the driver",
       k9x,
       SystemIniWith({"a=1"}) + "[386Enh]]\r\ndevice=kvtncdrv.386\r\n",
       nullptr,
       {second_section}},
      {"9x, a lone carriage return before the driver entry",
       k9x,
       lone_cr_before_driver,
       nullptr,
       {two_readings}},
      {"9x reading a lone carriage return inside a line, before the driver entry",
       k9x,
       lone_cr_before_driver,
       lone_cr_in_line,
       {two_readings}},
      {"NT with an active service, a lone carriage return before the driver entry",
       kStartAutomatic,
       lone_cr_before_driver,
       nullptr,
       {OnNt(two_readings), kQuestion, kSuccess}},
      {"9x, a device after a comment and a lone carriage return",
       k9x,
       "[386Enh]\r\n; c\rdevice=vcomm.386\r\ndevice=kvtncdrv.386\r\n[Other]\r\nx=1\r\n",
       lone_cr_in_line,
       {TwoReadings("\"; c\" and \"device=vcomm.386\"")}},
      {"9x, a lone carriage return ending [386Enh] in one reading only",
       k9x,
       "[386Enh]\r\nx=1\r[boot]\r\ndevice=kvtncdrv.386\r\n",
       nullptr,
       {TwoReadings("\"x=1\" and \"[boot]\"")}},
      {"9x, [386Enh] after a lone carriage return, a header in one reading only",
       k9x,
       "[boot]\r\nx=1\r[386Enh]\r\ndevice=kvtncdrv.386\r\n",
       nullptr,
       {TwoReadings("\"x=1\" and \"[386Enh]\"")}},
      {"9x, both [386Enh] headers after lone carriage returns, the later naming the driver",
       k9x,
       "[boot]\r\nx=1\r[386Enh]\r\na=1\r\ny=2\r[386Enh]\r\ndevice=kvtncdrv.386\r\n",
       nullptr,
       {second_section}},
      {"the section kept elsewhere without the driver, a lone carriage return before the "
       "driver entry in the file",
       k9x,
       "[386Enh]\r\na=1\rdevice=kvtncdrv.386\r\n",
       [](SimulatedWindows& sim) { sim.mapped_sections["386Enh"] = {"a=1"}; },
       {two_readings}},
      {"the section kept elsewhere naming the driver, a lone carriage return in the file",
       k9x,
       "[386Enh]\r\na=1\rb=2\r\n",
       [](SimulatedWindows& sim) { sim.mapped_sections["386Enh"] = {"device=kvtncdrv.386"}; },
       {TwoReadings("\"a=1\" and \"b=2\"")}},
      {"9x, a lone carriage return in a [386Enh] with nothing to remove",
       k9x,
       SystemIniWith({"a=1\rb=2", "device=vcomm.386"}),
       nullptr,
       {}},
      {"the second named in other letter case, with blanks inside the brackets",
       k9x,
       driver_ini + "[ 386ENH ]\r\nDEVICE=KVTNCDRV.386\r\n",
       nullptr,
       {second_section}},
  };
  // Each row again under every undocumented variant, where the rules alone
  // are checked.
  std::vector<UndocumentedVariant> variants = UndocumentedVariants();
  variants.insert(variants.begin(), UndocumentedVariant{"", nullptr});
  for (const auto& variant : variants) {
    for (const auto& c : cases) {
      const std::string name = c.name + std::string(variant.apply ? ", " : "") + variant.name;
      sim_ = SimulatedWindows();
      if (c.driver_start != k9x) {
        WindowsNt(c.driver_start);
      } else {
        sim_.platform_id = VER_PLATFORM_WIN32_WINDOWS;
      }
      sim_.files.clear();
      if (!c.ini.empty()) sim_.PutWindowsFile("system.ini", c.ini);
      if (c.set_up) c.set_up(sim_);
      if (variant.apply) variant.apply(sim_);
      // Another program's pending write reaches the disk in any case.
      auto files_before = sim_.files;
      for (const auto& [path, bytes] : sim_.profile_cache) files_before[path] = bytes;
      // Every box takes an answer: OK for a box before the question.
      sim_.answers = {c.answer};
      if (!c.boxes.empty() && !(c.boxes.front() == kQuestion)) sim_.answers.push_front(IDOK);
      sim_.take_snapshots = true;
      const SimulatedWindows at_start = sim_;
      Run();
      EXPECT_EQ("", BrokenRunRule(at_start, sim_)) << name;
      if (variant.apply) continue;
      EXPECT_EQ(c.boxes, BoxesShown(sim_)) << name;
      EXPECT_EQ(files_before, sim_.files) << name;
      EXPECT_EQ(0, sim_.profile_writes) << name;
      if (c.driver_start == k9x) continue;
      EXPECT_EQ(0, sim_.boxes.front().registry_sets) << name;
      const bool fixed = c.boxes.back() == kSuccess;
      EXPECT_EQ(fixed ? kStartDemand : c.driver_start, StartOf(kDriverServiceKey)) << name;
      EXPECT_EQ(fixed ? kStartAutomatic : kStartDemand, StartOf(kSerialServiceKey)) << name;
    }
  }
}

TEST_F(RemovalRun, NtWithDemandStartOrDisabledServiceAndNoReferenceEndsSilently) {
  for (const DWORD start : {kStartDemand, kStartDisabled}) {
    WindowsNt(start);
    Run();
    EXPECT_TRUE(sim_.boxes.empty());
    EXPECT_EQ(start, StartOf(kDriverServiceKey));
    EXPECT_EQ(kStartDemand, StartOf(kSerialServiceKey));
  }
}

TEST_F(RemovalRun, NtWithReferenceAndDisabledServiceCleansTheSectionAndLeavesTheService) {
  WindowsNt(kStartDisabled, {"device=kvtncdrv.386"});
  sim_.answers = {IDYES};
  Run();
  EXPECT_EQ(std::vector<Box>({kQuestion, BackedUpTo("system.000"), kSuccess}), BoxesShown(sim_));
  EXPECT_EQ(kStartDisabled, StartOf(kDriverServiceKey));
  EXPECT_EQ(kStartDemand, StartOf(kSerialServiceKey));
  EXPECT_EQ(SystemIniWith({}), sim_.WindowsFile("system.ini"));
}

TEST_F(RemovalRun, NtWithoutDriverServiceBehavesAsWindows9x) {
  sim_.PutWindowsFile("system.ini", SystemIniWith({"device=kvtncdrv.386"}));
  sim_.SetDword(kSerialServiceKey, "Start", kStartDemand);
  sim_.answers = {IDYES};
  Run();
  EXPECT_EQ(std::vector<Box>({kQuestion, BackedUpTo("system.000"), kSuccess}), BoxesShown(sim_));
  EXPECT_EQ(kStartDemand, StartOf(kSerialServiceKey));
}

// Windows NT, the driver service at automatic start, nothing in system.ini:
// what the answer and the service calls decide.
TEST_F(RemovalRun, NtServiceOutcomes) {
  const Box probe_failed{
      "Error querying registry key "
      "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\kvtncdrv.\nError code: 1234",
      MB_ICONERROR};
  const Box driver_not_modified{
      "Unable to modify registry key "
      "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\kvtncdrv.\nError code: 0",
      MB_ICONERROR};
  // A fault on the driver service key; a status of 0 makes its writes store
  // nothing.
  struct DriverFault {
    SimOp op;
    Status status;
    int occurrence;
    REGSAM access;
  };
  struct Case {
    const char* name;
    int answer;
    std::vector<DriverFault> faults;
    std::vector<Box> boxes;
    DWORD driver_start;
    DWORD serial_start;
    std::vector<std::string> enh_lines = {};
  };
  const Case cases[] = {
      {"yes", IDYES, {}, {kQuestion, kSuccess}, kStartDemand, kStartAutomatic},
      {"no", IDNO, {}, {kQuestion, kReminder}, kStartAutomatic, kStartDemand},
      {"question box failed", 0, {}, {kQuestion, kReminder}, kStartAutomatic, kStartDemand},
      {"probe failed",
       IDYES,
       {{SimOp::kQueryValue, 1234, 1, 0}},
       {probe_failed},
       kStartAutomatic,
       kStartDemand},
      {"probe failed with a driver entry in system.ini",
       IDYES,
       {{SimOp::kQueryValue, 1234, 1, 0}},
       {probe_failed},
       kStartAutomatic,
       kStartDemand,
       {"device=kvtncdrv.386"}},
      {"driver edit failed",
       IDYES,
       {{SimOp::kSetValue, 0, 0, 0}},
       {kQuestion, driver_not_modified},
       kStartAutomatic,
       kStartDemand},
      {"driver edit failed after a section box: the run ends there",
       IDYES,
       {{SimOp::kSetValue, 0, 0, 0}},
       {OnNt(kSecondSection), kQuestion, driver_not_modified},
       kStartAutomatic,
       kStartDemand,
       {"a=1", "[386Enh]", "device=kvtncdrv.386"}},
      {"driver key gone before the edit",
       IDYES,
       {{SimOp::kOpenKey, ERROR_FILE_NOT_FOUND, 0, KEY_ALL_ACCESS}},
       {kQuestion, kSuccess},
       kStartAutomatic,
       kStartAutomatic},
  };
  for (const auto& c : cases) {
    sim_ = SimulatedWindows();
    WindowsNt(kStartAutomatic, c.enh_lines);
    const auto files_before = sim_.files;
    for (const auto& fault : c.faults) {
      if (fault.status == 0) sim_.writes_ignored.insert(kDriverServiceKey);
      sim_.Fail(fault.op, kDriverServiceKey, fault.status, fault.occurrence, fault.access);
    }
    sim_.answers = {c.answer};
    if (!(c.boxes.front() == kQuestion)) sim_.answers.push_front(IDOK);
    Run();
    EXPECT_EQ(c.boxes, BoxesShown(sim_)) << c.name;
    EXPECT_EQ(c.driver_start, StartOf(kDriverServiceKey)) << c.name;
    EXPECT_EQ(c.serial_start, StartOf(kSerialServiceKey)) << c.name;
    EXPECT_EQ(files_before, sim_.files) << c.name;
    if (c.serial_start == kStartDemand) {
      for (const auto& call : sim_.registry_calls) {
        EXPECT_EQ(std::string::npos, call.find("Serial")) << c.name << ": " << call;
      }
    }
  }
}

TEST_F(RemovalRun, SerialAlreadyAutomaticIsWrittenAgain) {
  WindowsNt(kStartAutomatic);
  sim_.SetDword(kSerialServiceKey, "Start", kStartAutomatic);
  sim_.answers = {IDYES};
  Run();
  EXPECT_EQ(std::vector<Box>({kQuestion, kSuccess}), BoxesShown(sim_));
  EXPECT_EQ(1, std::count(sim_.registry_calls.begin(), sim_.registry_calls.end(),
                          "set System\\CurrentControlSet\\Services\\Serial Start"));
  EXPECT_EQ(kStartAutomatic, StartOf(kSerialServiceKey));
}

TEST_F(RemovalRun, ServiceFailureAfterTheRewriteKeepsTheRewrite) {
  WindowsNt(2, {"device=kvtncdrv.386", "a=1"});
  sim_.Fail(SimOp::kOpenKey, kSerialServiceKey, 5, 0, KEY_ALL_ACCESS);
  sim_.answers = {IDYES};
  Run();
  EXPECT_EQ(std::vector<Box>({kQuestion,
                              BackedUpTo("system.000"),
                              {"The serial port device driver is apparently not running.\n"
                               "It must be enabled, however you do not have sufficient access "
                               "to modify its status.",
                               MB_ICONERROR}}),
            BoxesShown(sim_));
  EXPECT_EQ(SystemIniWith({"a=1"}), sim_.WindowsFile("system.ini"));
  EXPECT_EQ(kStartDemand, StartOf(kDriverServiceKey));
}

}  // namespace
