#pragma once
// The real operating system, through the Win32 API. Windows builds only.

#include "platform/platform.h"

// Limits where DLLs are searched for to the system folder, before anything
// can load one: the program runs with administrator rights, and a file named
// like a system DLL beside it (in a Downloads folder, say) would otherwise
// be loaded and run with them. SetDefaultDllDirectories where KERNEL32 has
// it (Windows 8 and later; Vista and 7 with its update), else
// SetDllDirectoryA("") (XP SP1 and later), which takes the program's own
// folder out of the search; both looked up at run time, so that older
// Windows still load the program. Windows 95 to XP without either keep
// their search order; USER32, the one DLL the program loads itself, is
// loaded by its full path everywhere.
void LimitDllSearchToSystemFolder();

// The same with the two functions given, each null where KERNEL32 lacks it.
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);
void LimitDllSearch(SetDefaultDllDirectoriesFunction set_default,
                    SetDllDirectoryFunction set_directory);

// The status of GetFileSize's result, its low part and the last error: its
// documented failure is INVALID_FILE_SIZE with an error set, since that
// number is also the low part of a size over 4 GiB.
Status FileSizeStatus(DWORD low_part, DWORD last_error);

// The status of a call that failed with `last_error` as GetLastError read
// it: never 0, which would read as success (some Windows 9x calls fail
// without setting one).
Status FailureStatus(DWORD last_error);

// The path a call returned into a buffer of `capacity` characters, with
// `length` its result; empty when the call failed (0) or the path did not
// fit (the call then returns the size it needs, or GetModuleFileNameA the
// capacity itself, with the path cut short).
std::string ReturnedPath(const char* buffer, DWORD length, DWORD capacity);

// Reads `size` bytes of an open file through ReadFile into *bytes, or as
// many as there are when the file turns out shorter (it shrank meanwhile).
// Returns 0, or the status of a read that failed: the bytes read until then
// are no file.
using ReadFileFunction = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
Status ReadToEnd(ReadFileFunction read_file, HANDLE file, DWORD size, std::string* bytes);

// MessageBoxA, and the answer of a box shown through it: 0 when USER32 or
// the function could not be loaded, since a box never shown is no consent.
using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
int MessageBoxAnswer(MessageBoxFunction message_box, const std::string& text,
                     const std::string& caption, UINT style);

class Win32Platform : public Platform {
 public:
  WindowsVersion Version() override;
  std::string ModuleFileName() override;
  Status OpenKey(const std::string& subkey, REGSAM access, RegKeyHandle* key) override;
  Status QueryValue(RegKeyHandle key, const std::string& name, DWORD* type, BYTE* data,
                    DWORD* size) override;
  Status SetValue(RegKeyHandle key, const std::string& name, DWORD type, const BYTE* data,
                  DWORD size) override;
  void CloseKey(RegKeyHandle key) override;
  DWORD ReadProfileSection(const std::string& section, char* buffer, DWORD capacity,
                           const std::string& file) override;
  Status WriteProfileSection(const std::string& section, const std::string& entries,
                             const std::string& file) override;
  std::string WindowsDirectory() override;
  bool FileExists(const std::string& path) override;
  Status CopyFileNoOverwrite(const std::string& from, const std::string& to) override;
  Status CopyFileReplacing(const std::string& from, const std::string& to) override;
  Status RemoveFile(const std::string& path) override;
  Status FileAttributes(const std::string& path, DWORD* attributes) override;
  Status ChangeFileAttributes(const std::string& path, DWORD attributes) override;
  Status ReadFileBytes(const std::string& path, std::string* bytes) override;
  void FlushProfileCache(const std::string& file) override;
  int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) override;
};
