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
    DeviceSection section;
    bool expected;
  };
  const Case cases[] = {
      {{"a=1", "DEVICE=KVTNCDRV.386"}, true},
      // The usual layout: other virtual devices before the driver's entry.
      {{"device=*vmm", "device=vcomm.386", "device=a.386", "device=c:\\x\\kvtncdrv.386"}, true},
      {{"device = \"c:\\progra~1\\velost~1\\zrq\""}, true},
      // Mentions that load nothing: no question.
      {{"a.386"}, false},
      {{"device=c:\\progra~1\\velost~1\\zrq\\other.386"}, false},
      {{"x=mention of kvtncdrv.386 elsewhere"}, false},
      {{"device=vcomm.386", "device=c:\\program files\\velostrom"}, false},
      {{}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, FindDriverReference(c.section)) << ::testing::PrintToString(c.section);
  }
}

TEST(RemoveDriverLines, RemovesEveryDriverEntryAndKeepsTheRest) {
  struct Case {
    DeviceSection before;
    DeviceSection after;
    bool changed;
  };
  const Case cases[] = {
      {{"a=1", "DEVICE=KVTNCDRV.386", "B=Two"}, {"a=1", "B=Two"}, true},
      {{"device=kvtncdrv.386", "a=1", "device=kvtncdrv.386"}, {"a=1"}, true},
      {{"device=c:\\progra~1\\velost~1\\zrq\\kvtncdrv.386", "a=1",
        "device=c:\\program files\\velostrom\\zrq\\kvtncdrv.386"},
       {"a=1"},
       true},
      {{"device=c:\\progra~1\\velost~1\\zrq", "device=c:\\progra~1\\velost~1\\zrq\\other.386"},
       {"device=c:\\progra~1\\velost~1\\zrq\\other.386"},
       true},
      {{"device=kvtncdrv.386"}, {}, true},
      {{"device=*vmm", "device=vcomm.386", "device=c:\\x\\kvtncdrv.386", "woafont=dosapp.fon"},
       {"device=*vmm", "device=vcomm.386", "woafont=dosapp.fon"},
       true},
      {{"device=c:\\x\\kvtncdrv.386x"}, {"device=c:\\x\\kvtncdrv.386x"}, false},
      // A mention that is no driver entry before one that is.
      {{"x=kvtncdrv.386", "device=kvtncdrv.386"}, {"x=kvtncdrv.386"}, true},
      {{}, {}, false},
  };
  for (const auto& c : cases) {
    DeviceSection section = c.before;
    EXPECT_EQ(c.changed, RemoveDriverLines(&section)) << ::testing::PrintToString(c.before);
    EXPECT_EQ(c.after, section) << ::testing::PrintToString(c.before);
  }
}

TEST(ReadDeviceSection, ReadsEveryEntryInOrderAndAMissingSectionAsNone) {
  struct Case {
    std::string ini;  // empty: no system.ini
    DeviceSection expected;
  };
  const Case cases[] = {
      {SystemIniWith({"A=1", "device = KvtNcDrv.386", "; note"}), {"A=1", "device=KvtNcDrv.386"}},
      {SystemIniWith({}), {}},
      {"[boot]\r\na=1\r\n", {}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SimulatedWindows sim;
    if (!c.ini.empty()) sim.PutWindowsFile("system.ini", c.ini);
    DeviceSection section = {"left over"};
    ASSERT_TRUE(ReadDeviceSection(sim, &section)) << c.ini;
    EXPECT_EQ(c.expected, section) << c.ini;
  }
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
      {k9x, 4, 10, 32764, true},  {k9x, 4, 10, 32765, false},       {k9x, 4, 90, 40000, false},
      {kNt, 4, 0, 32764, true},   {kNt, 5, 1, 32765, false},        {kNt, 6, 0, 32765, false},
      {kNt, 6, 1, 40000, true},   {kNt, 10, 0, 40000, true},        {kNt, 10, 0, 65534, true},
      {kNt, 10, 0, 65535, false}, {kNt, 10, 0, 1024 * 1024, false},
  };
  for (const auto& c : cases) {
    // One entry "a=vvv...", plus one driver entry of 20 characters.
    const std::string entry = "a=" + std::string(c.list_length - 20 - 3, 'v');
    SimulatedWindows sim;
    sim.platform_id = c.platform_id;
    sim.major_version = c.major;
    sim.minor_version = c.minor;
    sim.PutWindowsFile("system.ini", SystemIniWith({entry, "device=kvtncdrv.386"}));
    DeviceSection section;
    const std::string label = std::to_string(c.platform_id) + " " + std::to_string(c.major) + "." +
                              std::to_string(c.minor) + " " + std::to_string(c.list_length);
    EXPECT_EQ(c.read, ReadDeviceSection(sim, &section)) << label;
    if (c.read) {
      EXPECT_EQ(DeviceSection({entry, "device=kvtncdrv.386"}), section) << label;
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
  EXPECT_EQ(0u, WriteDeviceSection(sim, {"a=1", "B=Two"}));
  EXPECT_EQ(SystemIniWith({"a=1", "B=Two"}), sim.WindowsFile("system.ini"));
  EXPECT_EQ(0u, WriteDeviceSection(sim, {}));
  EXPECT_EQ(SystemIniWith({}), sim.WindowsFile("system.ini"));
  sim.Fail(SimOp::kWriteProfile, "", 5);
  EXPECT_EQ(5u, WriteDeviceSection(sim, {"b=2"}));
  EXPECT_TRUE(sim.boxes.empty());
}

}  // namespace
