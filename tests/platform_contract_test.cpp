// What the program relies on from the platform, checked the same way against
// the simulated Windows (on Linux) and the real Win32 API (under Wine).
//
// Wine is not Windows. Where Wine's profile code and documented Windows
// differ, a test's name says it pins Wine's behaviour: the simulated
// Windows writes as Wine does by default (ProfileWrite::kRewriteFile), so
// such a test holds against both here. Documented Windows edits the named
// section in place and keeps every other byte (ProfileWrite::kInPlace, used
// by the unit tests); the program's check after a rewrite accepts either.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/contract_world.h"

namespace {

const char kSubkey[] = "Software\\DriverRemovalContract\\Service";

class PlatformContract : public ::testing::Test {
 protected:
  void SetUp() override {
    world_ = MakeContractWorld();
    // A profile file of this test's own, so no two tests share one.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    ini_ = std::string("contract_") + info->name() + ".ini";
  }
  void TearDown() override {
    world_->RemoveWindowsFile(ini_);
    world_->RemoveWindowsFile("contract.000");
    world_->RemoveRegistryKey(kSubkey);
  }
  Platform& os() { return world_->platform(); }

  // Reads the section with the given capacity; returns the count and puts
  // the buffer's first capacity characters in *list.
  DWORD Read(const char* section, DWORD capacity, std::string* list) {
    std::vector<char> buffer(capacity + 8, '#');
    const DWORD count = os().ReadProfileSection(section, buffer.data(), capacity, ini_);
    list->assign(buffer.data(), capacity);
    EXPECT_EQ('#', buffer[capacity]) << "wrote past the capacity";
    return count;
  }
  std::string FileBytes(const std::string& name) {
    std::string bytes;
    EXPECT_TRUE(world_->ReadWindowsFile(name, &bytes)) << name;
    return bytes;
  }

  std::unique_ptr<ContractWorld> world_;
  std::string ini_;
};

const char kIni[] =
    "[boot]\r\nshell=Explorer.exe\r\n; comment\r\n"
    "[386Enh]\r\n  device = kvtncdrv.386  \r\n; not an entry\r\n\r\nwoafont=dosapp.fon\r\n"
    "empty=\r\n"
    "[Other]\r\nx=1\r\n";
const std::string kList("device=kvtncdrv.386\0woafont=dosapp.fon\0empty=\0\0", 47);

// Wine's read trims the blanks around an entry and its "=".
TEST_F(PlatformContract, ReadsEntriesInOrderTrimmedWithoutComments) {
  world_->PutWindowsFile(ini_, kIni);
  std::string list;
  EXPECT_EQ(kList.size() - 1, Read("386ENH", 200, &list));
  EXPECT_EQ(kList, list.substr(0, kList.size()));
}

// Wine ends a line at a carriage return and an entry at a NUL; the check
// against the file's bytes before the question refuses a driver entry the
// read did not return whole.
TEST_F(PlatformContract, EntriesNeverHoldALineBreakOrANul) {
  world_->PutWindowsFile(
      ini_,
      std::string("[386Enh]\r\na=1\rb=2\r\nc=3\n\rd=4\r\r\ne=x\0y\r\n[x\ry]\r\n[u]v\r\n", 50));
  std::string list;
  const std::string expected("a=1\0b=2\0c=3\0d=4\0e=x\0[x\0y]\0\0", 27);
  EXPECT_EQ(expected.size() - 1, Read("386Enh", 100, &list));
  EXPECT_EQ(expected, list.substr(0, expected.size()));
}

// Wine drops the entry without "="; what documented Windows does with one is
// not documented.
TEST_F(PlatformContract, WinesWriteStoresOnlyKeyValueEntries) {
  world_->PutWindowsFile(ini_, "[386Enh]\r\na=1\r\n");
  EXPECT_EQ(0u, os().WriteProfileSection("386Enh", std::string("bare\0b=2\0", 10), ini_));
  EXPECT_EQ("[386Enh]\r\nb=2\r\n", FileBytes(ini_));
}

TEST_F(PlatformContract, MissingOrEmptySectionIsTheEmptyList) {
  for (const char* ini : {"[boot]\r\na=1\r\n", "[386Enh]\r\n[boot]\r\na=1\r\n", ""}) {
    world_->PutWindowsFile(ini_, ini);
    std::string list;
    EXPECT_EQ(0u, Read("386Enh", 50, &list)) << ini;
    EXPECT_EQ(std::string(2, '\0'), list.substr(0, 2)) << ini;
  }
  world_->RemoveWindowsFile(ini_);
  std::string list;
  EXPECT_EQ(0u, Read("386Enh", 50, &list));
}

TEST_F(PlatformContract, SectionThatDoesNotFitIsCutAndCountsCapacityLessTwo) {
  world_->PutWindowsFile(ini_, "[386Enh]\r\nab=1\r\ncd=2\r\n");
  struct Case {
    DWORD capacity;
    DWORD count;
    std::string list;
  };
  const Case cases[] = {
      {13, 10, std::string("ab=1\0cd=2\0\0", 11)},
      {12, 10, std::string("ab=1\0cd=2\0\0", 11)},
      {11, 9, std::string("ab=1\0cd=2\0\0", 11)},
      {9, 7, std::string("ab=1\0cd\0\0", 9)},
      {4, 2, std::string("ab\0\0", 4)},
  };
  for (const auto& c : cases) {
    std::string list;
    EXPECT_EQ(c.count, Read("386Enh", c.capacity, &list)) << c.capacity;
    EXPECT_EQ(c.list, list.substr(0, c.list.size())) << c.capacity;
  }
}

TEST_F(PlatformContract, WriteReplacesOneSectionAndKeepsTheOthers) {
  const std::string before =
      "[boot]\r\nshell=Explorer.exe\r\n; comment\r\n[386Enh]\r\ndevice=kvtncdrv.386\r\n"
      "woafont=dosapp.fon\r\n[Other]\r\nx=1\r\n";
  world_->PutWindowsFile(ini_, before);
  EXPECT_EQ(0u,
            os().WriteProfileSection("386Enh", std::string("woafont=dosapp.fon\0B=2\0", 23), ini_));
  EXPECT_EQ(
      "[boot]\r\nshell=Explorer.exe\r\n; comment\r\n[386Enh]\r\nwoafont=dosapp.fon\r\nB=2\r\n"
      "[Other]\r\nx=1\r\n",
      FileBytes(ini_));
  EXPECT_EQ(0u, os().WriteProfileSection("386Enh", std::string(), ini_));
  EXPECT_EQ("[boot]\r\nshell=Explorer.exe\r\n; comment\r\n[386Enh]\r\n[Other]\r\nx=1\r\n",
            FileBytes(ini_));
  std::string list;
  EXPECT_EQ(0u, Read("386Enh", 50, &list));
}

// Wine's write serialises the whole file again: a comment line elsewhere
// that holds "=" loses the blanks around its first "=", as an entry does;
// other comment lines and lines starting with "#" keep their form, trimmed.
// Documented Windows keeps those lines byte for byte.
TEST_F(PlatformContract, WinesWriteRewritesCommentsElsewhereLikeEntries) {
  world_->PutWindowsFile(ini_,
                         "[386Enh]\r\na=1\r\n[Other]\r\n; a = b\r\n; no equals sign\r\n"
                         "  ;  spaced = x = y \r\n;=\r\n# c = d\r\n#bare\r\nx=1\r\n");
  EXPECT_EQ(0u, os().WriteProfileSection("386Enh", std::string("b=2\0", 4), ini_));
  EXPECT_EQ(
      "[386Enh]\r\nb=2\r\n[Other]\r\n; a=b\r\n; no equals sign\r\n;  spaced=x = y\r\n;=\r\n"
      "# c=d\r\n#bare\r\nx=1\r\n",
      FileBytes(ini_));
}

TEST_F(PlatformContract, WriteAddsAMissingSectionAtTheEnd) {
  world_->PutWindowsFile(ini_, "[boot]\r\na=1\r\n");
  EXPECT_EQ(0u, os().WriteProfileSection("386Enh", std::string("b=2\0", 4), ini_));
  EXPECT_EQ("[boot]\r\na=1\r\n[386Enh]\r\nb=2\r\n", FileBytes(ini_));
}

TEST_F(PlatformContract, CopyNeverOverwritesAndCopiesBytesExactly) {
  const std::string bytes("[386Enh]\r\n\0\xff binary \x1a\r\n", 21);
  world_->PutWindowsFile(ini_, bytes);
  const std::string dir = os().WindowsDirectory() + "\\";
  EXPECT_FALSE(os().FileExists(dir + "contract.000"));
  EXPECT_EQ(0u, os().CopyFileNoOverwrite(dir + ini_, dir + "contract.000"));
  EXPECT_TRUE(os().FileExists(dir + "contract.000"));
  EXPECT_EQ(bytes, FileBytes("contract.000"));

  world_->PutWindowsFile(ini_, "changed");
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_EXISTS),
            os().CopyFileNoOverwrite(dir + ini_, dir + "contract.000"));
  EXPECT_EQ(bytes, FileBytes("contract.000"));
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_NOT_FOUND),
            os().CopyFileNoOverwrite(dir + "contract_missing.ini", dir + "contract.001"));
}

// A copy carries its source's attributes. (Documented Windows also refuses
// a replacing copy onto a hidden or read-only file with 5; Wine's copy goes
// through: see the documented rows of the simulated Windows.)
TEST_F(PlatformContract, AttributesAreReadChangedAndCopied) {
  constexpr DWORD kGuarding = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  const std::string dir = os().WindowsDirectory() + "\\";
  world_->PutWindowsFile(ini_, "x");
  DWORD attributes = 0;
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_NOT_FOUND),
            os().FileAttributes(dir + "contract_missing.ini", &attributes));
  ASSERT_EQ(0u, os().ChangeFileAttributes(dir + ini_, FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(0u, os().FileAttributes(dir + ini_, &attributes));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), attributes & kGuarding);
  EXPECT_EQ(0u, os().CopyFileNoOverwrite(dir + ini_, dir + "contract.000"));
  EXPECT_EQ(0u, os().FileAttributes(dir + "contract.000", &attributes));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), attributes & kGuarding);
  EXPECT_EQ(0u, os().ChangeFileAttributes(dir + "contract.000", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(0u, os().FileAttributes(dir + "contract.000", &attributes));
  EXPECT_EQ(0u, attributes & kGuarding);
  EXPECT_EQ(0u, os().ChangeFileAttributes(dir + ini_, FILE_ATTRIBUTE_NORMAL));
}

// Documented Windows leaves a later section of the same name as it is.
TEST_F(PlatformContract, WinesWriteEmptiesEveryLaterSectionOfTheSameName) {
  world_->PutWindowsFile(
      ini_, "top=0\r\n[386Enh]\r\na=1\r\n[Other]\r\nx=1\r\n[386ENH]\r\nb=2\r\n; c\r\n");
  std::string list;
  EXPECT_EQ(4u, Read("386Enh", 50, &list));
  EXPECT_EQ(std::string("a=1\0\0", 5), list.substr(0, 5));
  EXPECT_EQ(0u, os().WriteProfileSection("386Enh", std::string("c=3\0", 4), ini_));
  EXPECT_EQ("top=0\r\n[386Enh]\r\nc=3\r\n[Other]\r\nx=1\r\n[386ENH]\r\n", FileBytes(ini_));
}

TEST_F(PlatformContract, FilesAreReadReplacedAndRemovedByteForByte) {
  const std::string bytes("[386Enh]\r\n\0\xff binary \x1a\r\n", 21);
  world_->PutWindowsFile(ini_, bytes);
  world_->PutWindowsFile("contract.000", "older and longer than the file");
  const std::string dir = os().WindowsDirectory() + "\\";
  std::string read;
  EXPECT_EQ(0u, os().ReadFileBytes(dir + ini_, &read));
  EXPECT_EQ(bytes, read);
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_NOT_FOUND),
            os().ReadFileBytes(dir + "contract_missing.ini", &read));

  EXPECT_EQ(0u, os().CopyFileReplacing(dir + ini_, dir + "contract.000"));
  EXPECT_EQ(bytes, FileBytes("contract.000"));
  EXPECT_EQ(0u, os().RemoveFile(dir + "contract.000"));
  EXPECT_FALSE(os().FileExists(dir + "contract.000"));
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_NOT_FOUND), os().RemoveFile(dir + "contract.000"));

  world_->PutWindowsFile(ini_, "");
  EXPECT_EQ(0u, os().ReadFileBytes(dir + ini_, &read));
  EXPECT_EQ("", read);
}

TEST_F(PlatformContract, AfterAFlushAProfileReplacedBehindThePlatformIsReadAfresh) {
  world_->PutWindowsFile(ini_, "[386Enh]\r\na=1\r\n");
  EXPECT_EQ(0u, os().WriteProfileSection("386Enh", std::string("b=2\0", 4), ini_));
  os().FlushProfileCache(ini_);
  world_->PutWindowsFile(ini_, "[386Enh]\r\nc=3\r\n");
  std::string list;
  EXPECT_EQ(4u, Read("386Enh", 50, &list));
  EXPECT_EQ(std::string("c=3\0\0", 5), list.substr(0, 5));
  EXPECT_EQ("[386Enh]\r\nc=3\r\n", FileBytes(ini_));
}

TEST_F(PlatformContract, RegistryStatusesTypesAndSizes) {
  RegKeyHandle key = 0;
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_NOT_FOUND),
            os().OpenKey(kSubkey, KEY_QUERY_VALUE, &key));

  const DWORD three = 3;
  world_->PutRegistryValue(kSubkey, "Start", REG_DWORD,
                           std::string(reinterpret_cast<const char*>(&three), 4));
  world_->PutRegistryValue(kSubkey, "Text", REG_SZ, std::string("automatic\0", 10));
  ASSERT_EQ(0u, os().OpenKey(kSubkey, KEY_QUERY_VALUE, &key));
  DWORD type = 0;
  DWORD number = 0;
  DWORD size = 4;
  EXPECT_EQ(0u, os().QueryValue(key, "START", &type, reinterpret_cast<BYTE*>(&number), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(4u, size);
  EXPECT_EQ(3u, number);

  size = 4;
  EXPECT_EQ(static_cast<Status>(ERROR_MORE_DATA),
            os().QueryValue(key, "Text", &type, reinterpret_cast<BYTE*>(&number), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(10u, size);

  size = 4;
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_NOT_FOUND),
            os().QueryValue(key, "Missing", &type, reinterpret_cast<BYTE*>(&number), &size));

  const DWORD two = 2;
  EXPECT_EQ(static_cast<Status>(ERROR_ACCESS_DENIED),
            os().SetValue(key, "Start", REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4));
  os().CloseKey(key);

  ASSERT_EQ(0u, os().OpenKey(kSubkey, KEY_ALL_ACCESS, &key));
  EXPECT_EQ(0u, os().SetValue(key, "Text", REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4));
  size = 4;
  number = 0;
  EXPECT_EQ(0u, os().QueryValue(key, "Text", &type, reinterpret_cast<BYTE*>(&number), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(4u, size);
  EXPECT_EQ(2u, number);
  os().CloseKey(key);
}

}  // namespace
