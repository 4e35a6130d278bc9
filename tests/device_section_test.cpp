#include "section/device_section.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

TEST(IsDriverEntry, MatchesWholeEntriesThatLoadTheDriver) {
  struct Case {
    const char* entry;
    bool expected;
  };
  const Case cases[] = {
      // The four known forms, in any letter case.
      {"device=kvtncdrv.386", true},
      {"DEVICE=KVTNCDRV.386", true},
      {"device=c:\\progra~1\\velost~1\\zrq\\kvtncdrv.386", true},
      {"Device=C:\\PROGRA~1\\VELOST~1\\ZRQ", true},
      {"device=c:\\program files\\velostrom\\zrq\\kvtncdrv.386", true},
      // The driver's file in any other directory, and blanks around key and value.
      {"device=d:\\old\\kvtncdrv.386", true},
      {"device=\\\\server\\share\\KvtNcDrv.386", true},
      {" device = kvtncdrv.386 ", true},
      // As Windows reads a value: forward slashes, a root, a drive-relative
      // path, trailing dots, a comment, quotes.
      {"device=c:/zrq/kvtncdrv.386", true},
      {"device=\\kvtncdrv.386", true},
      {"device=d:kvtncdrv.386", true},
      {"device=A:kvtncdrv.386", true},
      {"device=z:kvtncdrv.386", true},
      {"device=c:\\x\\kvtncdrv.386.", true},
      {"device=c:\\x\\kvtncdrv.386 ; old driver", true},
      {"device=kvtncdrv.386 ; old ; older", true},  // the comment from the first ";"
      {"device=c:\\a=b\\kvtncdrv.386", true},       // the key up to the first "="
      {"device=\"c:\\x\\kvtncdrv.386\"", true},
      {"device = c:\\progra~1\\velost~1\\zrq\\\t", true},
      {"device=\tkvtncdrv.386", true},
      {"\tdevice=kvtncdrv.386", true},
      // Entries that only begin with a form or mention the driver otherwise.
      {"device=c:\\progra~1\\velost~1\\zrq\\other.386", false},
      {"device=c:\\progra~1\\velost~1\\zrqx", false},
      {"device=C:\\PROGRA~1\\VELOST~1\\ZRQ\\zrqcomm.386", false},
      {"device=c:\\progra~1\\velost~1\\zrq.386", false},
      {"device=c:\\x\\notkvtncdrv.386", false},
      {"device=kvtncdrv.386.bak", false},
      {"device=\"kvtncdrv.386", false},
      {"device=\"kvtncdrv.386x", false},
      {"device=c:\\progra~1\\velost~1\\zrq\\other\\", false},
      {"device=1:kvtncdrv.386", false},
      {"device=`:kvtncdrv.386", false},  // the characters just outside a-z
      {"device={:kvtncdrv.386", false},
      {"device=c_kvtncdrv.386", false},  // a drive letter, but no ":" after it
      {"device=c:\\x:kvtncdrv.386", false},
      // Near misses in the last character.
      {"device=kvtncdrv.387", false},
      {"devicx=kvtncdrv.386", false},
      {"device=c:\\progra~1\\velost~1\\zrx", false},
      {"device=c:\\x\\kvtncdrv.386x", false},
      {"device=c:\\x\\mykvtncdrv.386", false},
      {"device=kvtncdrv.386,vcomm.386", false},
      {"otherdevice=kvtncdrv.386", false},
      {"olddevice=kvtncdrv.386", false},
      {"kvtncdrv.386", false},
      {"device=", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, IsDriverEntry(c.entry)) << c.entry;
}

TEST(FindDriverReference, FindsAnEntryThatRemovalTakes) {
  struct Case {
    const char* section;
    bool expected;
  };
  const Case cases[] = {
      {"a=1\rDEVICE=KVTNCDRV.386\r", true},
      // The usual layout: other virtual devices before the driver's entry.
      {"device=*vmm\rdevice=vcomm.386\rdevice=a.386\rdevice=c:\\x\\kvtncdrv.386\r", true},
      // A marker's anchor before the marker's own offset in it.
      {"a.386\rdevice=kvtncdrv.386\r", true},
      {"~1\\\rdevice=c:\\progra~1\\velost~1\\zrq\r", true},
      {"device = \"c:\\progra~1\\velost~1\\zrq\"\r", true},
      // Mentions that load nothing: no question.
      {"a.386\r", false},
      {"device=c:\\progra~1\\velost~1\\zrq\\other.386\r", false},
      {"x=mention of kvtncdrv.386 elsewhere\r", false},
      {"device=vcomm.386\rdevice=c:\\program files\\velostrom\r", false},
      {"\r", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, FindDriverReference(c.section)) << c.section;
}

TEST(RemoveDriverLines, RemovesEveryDriverEntryAndKeepsTheRest) {
  struct Case {
    const char* before;
    const char* after;
    bool changed;
  };
  const Case cases[] = {
      {"a=1\rDEVICE=KVTNCDRV.386\rB=Two\r", "a=1\rB=Two\r", true},
      {"device=kvtncdrv.386\ra=1\rdevice=kvtncdrv.386\r", "a=1\r", true},
      {"device=c:\\progra~1\\velost~1\\zrq\\kvtncdrv.386\ra=1\r"
       "device=c:\\program files\\velostrom\\zrq\\kvtncdrv.386\r",
       "a=1\r", true},
      {"device=c:\\progra~1\\velost~1\\zrq\rdevice=c:\\progra~1\\velost~1\\zrq\\other.386\r",
       "device=c:\\progra~1\\velost~1\\zrq\\other.386\r", true},
      {"device=kvtncdrv.386\r", "", true},
      {"device=e:\\drivers\\kvtncdrv.386\r", "", true},
      {"device=*vmm\rdevice=vcomm.386\rdevice=c:\\x\\kvtncdrv.386\rwoafont=dosapp.fon\r",
       "device=*vmm\rdevice=vcomm.386\rwoafont=dosapp.fon\r", true},
      {"device=c:\\x\\kvtncdrv.386x\r", "device=c:\\x\\kvtncdrv.386x\r", false},
      // A mention that is no driver entry before one that is.
      {"x=kvtncdrv.386\rdevice=kvtncdrv.386\r", "x=kvtncdrv.386\r", true},
      {"\r", "\r", false},
      {"", "", false},
  };
  for (const auto& c : cases) {
    CString section = c.before;
    EXPECT_EQ(c.changed, RemoveDriverLines(&section)) << c.before;
    EXPECT_EQ(c.after, section) << c.before;
  }
}

TEST(ReadDeviceSection, EndsEveryEntryWithACarriageReturn) {
  SimulatedWindows sim;
  sim.PutWindowsFile("system.ini", SystemIniWith({"A=1", "device = KvtNcDrv.386", "; note"}));
  CString section;
  ASSERT_TRUE(ReadDeviceSection(sim, &section));
  EXPECT_EQ("A=1\rdevice=KvtNcDrv.386\r", section);
}

TEST(ReadDeviceSection, EmptyOrMissingSectionIsOneCarriageReturn) {
  for (const std::string& ini :
       {SystemIniWith({}), std::string("[boot]\r\na=1\r\n"), std::string()}) {
    SimulatedWindows sim;
    if (!ini.empty()) sim.PutWindowsFile("system.ini", ini);
    CString section;
    ASSERT_TRUE(ReadDeviceSection(sim, &section));
    EXPECT_EQ("\r", section);
  }
}

TEST(ReadDeviceSection, ReadsSectionsLargerThanTheFirstBufferWhole) {
  std::vector<std::string> lines;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    lines.push_back("entry" + std::to_string(i) + "=value");
    expected += lines.back() + "\r";
  }
  SimulatedWindows sim;
  sim.PutWindowsFile("system.ini", SystemIniWith(lines));
  CString section;
  ASSERT_TRUE(ReadDeviceSection(sim, &section));
  EXPECT_GT(section.size(), kFirstReadCapacity);
  EXPECT_EQ(expected, section);
  EXPECT_TRUE(sim.boxes.empty());
}

TEST(ReadDeviceSection, RefusesASectionTooLargeToReadWhole) {
  const std::string long_value(kMaxSectionCapacity / 4, 'v');
  SimulatedWindows sim;
  sim.PutWindowsFile("system.ini",
                     SystemIniWith({"a=" + long_value, "b=" + long_value, "c=" + long_value,
                                    "d=" + long_value, "device=kvtncdrv.386"}));
  CString section;
  EXPECT_FALSE(ReadDeviceSection(sim, &section));
  EXPECT_EQ(
      std::vector<Box>({OnNt(
          {"The [386Enh] section of system.ini is too large to edit safely.", MB_ICONERROR})}),
      BoxesShown(sim));
}

// What a section read takes whole on each Windows: the profile calls of the
// 9x family and of NT before 6.1 handle at most 32,767 characters of one
// section, so a list that reaches 32,765 (the limit less its two NULs) is
// too large there. Later Windows read more, but the section write takes a
// list of at most 65,535 bytes, its closing NUL included, on every Windows.
TEST(ReadDeviceSection, ReadsWholeWhatThatWindowsHandlesAndRefusesTheRest) {
  struct Case {
    DWORD platform_id;
    DWORD major;
    DWORD minor;
    size_t list_length;  // the section's entries, each with its NUL
    bool read;
  };
  constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
  constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
  const Case cases[] = {
      {k9x, 4, 10, 32764, true},
      {k9x, 4, 10, 32765, false},
      {k9x, 4, 90, 40000, false},
      {kNt, 4, 0, 32764, true},
      {kNt, 5, 1, 32765, false},
      {kNt, 6, 0, 32765, false},
      {kNt, 6, 1, 40000, true},
      {kNt, 10, 0, 40000, true},
      {kNt, 10, 0, 65534, true},
      {kNt, 10, 0, 65535, false},
      // Between the last growth step and the largest read.
      {kNt, 10, 0, 3 * 1024 * 1024, false},
  };
  for (const auto& c : cases) {
    // One entry "a=vvv...", plus one driver entry of 20 characters.
    const std::string entry = "a=" + std::string(c.list_length - 20 - 3, 'v');
    SimulatedWindows sim;
    sim.platform_id = c.platform_id;
    sim.major_version = c.major;
    sim.minor_version = c.minor;
    sim.PutWindowsFile("system.ini", SystemIniWith({entry, "device=kvtncdrv.386"}));
    CString section;
    const std::string label = std::to_string(c.platform_id) + " " + std::to_string(c.major) + "." +
                              std::to_string(c.minor) + " " + std::to_string(c.list_length);
    EXPECT_EQ(c.read, ReadDeviceSection(sim, &section)) << label;
    if (c.read) {
      EXPECT_EQ(entry + "\rdevice=kvtncdrv.386\r", section) << label;
      EXPECT_TRUE(sim.boxes.empty()) << label;
    } else {
      const Box too_large{"The [386Enh] section of system.ini is too large to edit safely.",
                          MB_ICONERROR};
      EXPECT_EQ(std::vector<Box>({c.platform_id == kNt ? OnNt(too_large) : too_large}),
                BoxesShown(sim))
          << label;
    }
  }
}

TEST(WriteDeviceSection, ReplacesTheSectionAndLeavesTheOthers) {
  SimulatedWindows sim;
  sim.PutWindowsFile("system.ini", SystemIniWith({"device=kvtncdrv.386", "a=1"}));
  EXPECT_EQ(0u, WriteDeviceSection(sim, "a=1\rB=Two\r"));
  EXPECT_EQ(SystemIniWith({"a=1", "B=Two"}), sim.WindowsFile("system.ini"));
  EXPECT_EQ(0u, WriteDeviceSection(sim, ""));
  EXPECT_EQ(SystemIniWith({}), sim.WindowsFile("system.ini"));
  EXPECT_TRUE(sim.boxes.empty());
}

TEST(WriteDeviceSection, AFailedWriteOrOneNotStoredAsGivenReturnsItsStatus) {
  struct Case {
    Status write_status;
    const char* section;
    Status expected;
    std::vector<std::string> mapped = {};  // the section kept in the registry
  };
  const Case cases[] = {
      {5, "b=2\r", 5},
      // The platform keeps only key=value entries.
      {0, "a=1\rbare entry\r", ERROR_INVALID_DATA},
      // A registry mapping keeps one entry a key, and the entries the write
      // does not name: read back as long as written, but other entries.
      {0, "a=1\ra=2\r", ERROR_INVALID_DATA, {"z=1"}},
  };
  for (const auto& c : cases) {
    SimulatedWindows sim;
    sim.PutWindowsFile("system.ini", SystemIniWith({"a=1", "device=kvtncdrv.386"}));
    if (c.write_status != 0) sim.Fail(SimOp::kWriteProfile, "", c.write_status);
    if (!c.mapped.empty()) sim.mapped_sections["386Enh"] = c.mapped;
    EXPECT_EQ(c.expected, WriteDeviceSection(sim, c.section)) << c.section;
    EXPECT_TRUE(sim.boxes.empty());
  }
}

}  // namespace
