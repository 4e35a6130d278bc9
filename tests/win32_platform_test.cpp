// The real platform's own work, under Wine only: what the simulated Windows
// has no counterpart for (the version and path Windows reports, a path that
// did not fit, the status of a failure that set no error, reading a file
// another program holds open for writing, the size limit of a file read).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win32_platform.h"

namespace {

// An open file handle that closes itself.
struct HeldFile {
  explicit HeldFile(HANDLE handle) : handle(handle) {}
  ~HeldFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  HANDLE handle;
};

class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = platform_.WindowsDirectory() + "\\win32_" + info->name() + ".ini";
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }

  Win32Platform platform_;
  std::string path_;
};

TEST_F(Win32PlatformTest, VersionIsAnNtFamilyWindows7OrLaterByDefault) {
  const WindowsVersion version = platform_.Version();
  EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), version.platform_id);
  EXPECT_TRUE(version.major > 6 || (version.major == 6 && version.minor >= 1))
      << version.major << "." << version.minor;
}

TEST_F(Win32PlatformTest, ModuleFileNameIsAFullPath) {
  const std::string path = platform_.ModuleFileName();
  EXPECT_NE(std::string::npos, path.find(":\\")) << path;
  EXPECT_EQ(".exe", path.substr(path.size() - 4)) << path;
}

TEST_F(Win32PlatformTest, AFailureThatSetNoErrorIsNoSuccess) {
  EXPECT_EQ(static_cast<Status>(ERROR_GEN_FAILURE), FailureStatus(ERROR_SUCCESS));
  EXPECT_EQ(static_cast<Status>(ERROR_SHARING_VIOLATION), FailureStatus(ERROR_SHARING_VIOLATION));
}

// What the DLL search calls were given, by the fakes below.
std::string dll_search_calls;
BOOL WINAPI SetDefaultDllDirectoriesSucceeds(DWORD flags) {
  dll_search_calls += "default " + std::to_string(flags) + ";";
  return TRUE;
}
BOOL WINAPI SetDefaultDllDirectoriesFails(DWORD flags) {
  dll_search_calls += "default " + std::to_string(flags) + ";";
  return FALSE;
}
BOOL WINAPI SetDllDirectoryRecorded(LPCSTR directory) {
  dll_search_calls += "directory \"" + std::string(directory) + "\";";
  return TRUE;
}

// Windows 8 and later; Vista and 7 with the update, where the call may
// fail; XP SP1 to 7 without it; Windows 95 to XP.
TEST_F(Win32PlatformTest, TheDllSearchIsLimitedByWhatKernel32Has) {
  struct Case {
    SetDefaultDllDirectoriesFunction set_default;
    SetDllDirectoryFunction set_directory;
    const char* calls;
  };
  const Case cases[] = {
      {SetDefaultDllDirectoriesSucceeds, SetDllDirectoryRecorded, "default 2048;"},
      {SetDefaultDllDirectoriesFails, SetDllDirectoryRecorded, "default 2048;directory \"\";"},
      {nullptr, SetDllDirectoryRecorded, "directory \"\";"},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    dll_search_calls.clear();
    LimitDllSearch(c.set_default, c.set_directory);
    EXPECT_EQ(c.calls, dll_search_calls);
  }
}

int WINAPI AnswersNo(HWND, LPCSTR, LPCSTR, UINT) { return IDNO; }

TEST_F(Win32PlatformTest, ABoxThatCouldNotBeShownIsNoConsent) {
  EXPECT_EQ(0, MessageBoxAnswer(nullptr, "Disable now?", "DriverRemoval", MB_YESNO));
  EXPECT_EQ(IDNO, MessageBoxAnswer(AnswersNo, "Disable now?", "DriverRemoval", MB_YESNO));
}

TEST_F(Win32PlatformTest, AFileSizeFailsOnlyWithAnErrorSet) {
  EXPECT_EQ(static_cast<Status>(ERROR_ACCESS_DENIED),
            FileSizeStatus(INVALID_FILE_SIZE, ERROR_ACCESS_DENIED));
  EXPECT_EQ(0u, FileSizeStatus(INVALID_FILE_SIZE, NO_ERROR));  // 4 GiB - 1 bytes
  EXPECT_EQ(0u, FileSizeStatus(1234, ERROR_ACCESS_DENIED));    // an earlier call's error
}

TEST_F(Win32PlatformTest, APathThatDidNotFitIsNone) {
  const char buffer[] = "C:\\WINDOWS";
  EXPECT_EQ("C:\\WINDOWS", ReturnedPath(buffer, 10, 11));
  EXPECT_EQ("", ReturnedPath(buffer, 11, 11));  // cut short to the capacity
  EXPECT_EQ("", ReturnedPath(buffer, 12, 11));  // the size it needs
  EXPECT_EQ("", ReturnedPath(buffer, 0, 11));   // failed
}

// Another program, or the platform's own profile code, may hold the file
// open for writing while sharing it.
TEST_F(Win32PlatformTest, ReadsAFileAnotherProgramHoldsOpenForWriting) {
  const std::string bytes = "[386Enh]\r\ndevice=kvtncdrv.386\r\n";
  const HeldFile holder(CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(INVALID_HANDLE_VALUE, holder.handle);
  DWORD written = 0;
  ASSERT_TRUE(
      WriteFile(holder.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  std::string read;
  EXPECT_EQ(0u, platform_.ReadFileBytes(path_, &read));
  EXPECT_EQ(bytes, read);
}

// ReadFile fakes that honour the size they are asked for: a file of
// "abcdefghijkl", served at most four bytes a call, which grew past the size
// GetFileSize gave; and three bytes, then a failure (a byte range another
// program locked, which Wine does not enforce on reads, measured), with an
// error set.
constexpr char kGrownFile[] = "abcdefghijkl";
size_t grown_file_offset = 0;
BOOL WINAPI ReadsFourBytesAtATime(HANDLE, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED) {
  const size_t left = sizeof kGrownFile - 1 - grown_file_offset;
  *read = static_cast<DWORD>(std::min<size_t>({size, 4, left}));
  std::memcpy(buffer, kGrownFile + grown_file_offset, *read);
  grown_file_offset += *read;
  return TRUE;
}
BOOL WINAPI FailsAfterThreeBytes(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD read,
                                 LPOVERLAPPED overlapped) {
  if (grown_file_offset >= 3) {
    SetLastError(ERROR_LOCK_VIOLATION);
    return FALSE;
  }
  return ReadsFourBytesAtATime(handle, buffer, std::min<DWORD>(size, 3), read, overlapped);
}

TEST_F(Win32PlatformTest, AReadStopsAtTheSizeAndOneThatFailsPartWayIsNoFile) {
  std::string bytes;
  grown_file_offset = 0;
  EXPECT_EQ(0u, ReadToEnd(ReadsFourBytesAtATime, nullptr, 10, &bytes));
  EXPECT_EQ("abcdefghij", bytes);
  grown_file_offset = 8;  // a file that shrank to its last four bytes
  EXPECT_EQ(0u, ReadToEnd(ReadsFourBytesAtATime, nullptr, 10, &bytes));
  EXPECT_EQ("ijkl", bytes);
  grown_file_offset = 0;
  EXPECT_EQ(static_cast<Status>(ERROR_LOCK_VIOLATION),
            ReadToEnd(FailsAfterThreeBytes, nullptr, 10, &bytes));
}

// A file of exactly 64 MiB is read; one byte more is not.
TEST_F(Win32PlatformTest, AFileOver64MiBIsNotRead) {
  {
    const HeldFile file(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, file.handle);
    ASSERT_NE(INVALID_SET_FILE_POINTER,
              SetFilePointer(file.handle, 64 * 1024 * 1024, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.handle));
  }
  std::string whole;
  EXPECT_EQ(0u, platform_.ReadFileBytes(path_, &whole));
  EXPECT_EQ(64u * 1024 * 1024, whole.size());
  {
    const HeldFile file(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, file.handle);
    ASSERT_NE(INVALID_SET_FILE_POINTER,
              SetFilePointer(file.handle, 64 * 1024 * 1024 + 1, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.handle));
  }
  std::string read = "untouched";
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_TOO_LARGE), platform_.ReadFileBytes(path_, &read));
  {
    // Past 4 GiB the size's low part alone would read as one byte.
    const HeldFile file(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, file.handle);
    LONG high = 1;
    ASSERT_NE(INVALID_SET_FILE_POINTER, SetFilePointer(file.handle, 1, &high, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.handle));
  }
  EXPECT_EQ(static_cast<Status>(ERROR_FILE_TOO_LARGE), platform_.ReadFileBytes(path_, &read));
}

// A file that holds fewer bytes than its size says (one cut short while it
// is read) is read up to its end, not waited on. Under Wine a Linux sysfs
// file shows this: its size is a page, its text a few bytes.
TEST_F(Win32PlatformTest, AFileShorterThanItsSizeIsReadToItsEnd) {
  const std::string path = "Z:\\sys\\devices\\system\\cpu\\online";
  const HeldFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.handle == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no " << path << " here";
  const DWORD size = GetFileSize(file.handle, nullptr);
  std::string read;
  EXPECT_EQ(0u, platform_.ReadFileBytes(path, &read));
  EXPECT_LT(read.size(), size);
  EXPECT_FALSE(read.empty());
}

}  // namespace
