#pragma once
// The operating-system operations the removal run needs, and nothing more.
// Abstract so that the run can be tested against SimulatedWindows; the real
// implementation is Win32Platform (Windows builds only).

#include <cstdint>
#include <string>

#include "platform/win32_values.h"

// A Win32 status number: 0 is success, anything else is shown to the user.
using Status = unsigned long;

// An open registry key as the platform hands it out; own it with RegistryKey.
using RegKeyHandle = std::uintptr_t;

// What GetVersionExA reports.
struct WindowsVersion {
  DWORD platform_id = 0;  // VER_PLATFORM_WIN32_NT (2) on the NT family
  DWORD major = 0;
  DWORD minor = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The platform id and the version number from GetVersionExA.
  virtual WindowsVersion Version() = 0;

  // Full path of the running executable.
  virtual std::string ModuleFileName() = 0;

  // Opens `subkey` below HKEY_LOCAL_MACHINE. Returns 0 with *key set, 2 when the
  // key does not exist, 5 when access is denied, or another status.
  virtual Status OpenKey(const std::string& subkey, REGSAM access, RegKeyHandle* key) = 0;
  // RegQueryValueExA: *size holds the buffer's capacity on entry and the value's
  // size on return; *type gets the value's type.
  virtual Status QueryValue(RegKeyHandle key, const std::string& name, DWORD* type, BYTE* data,
                            DWORD* size) = 0;
  // RegSetValueExA; 5 when the key was opened without write access.
  virtual Status SetValue(RegKeyHandle key, const std::string& name, DWORD type, const BYTE* data,
                          DWORD size) = 0;
  virtual void CloseKey(RegKeyHandle key) = 0;

  // Profile files: a file name without a directory is the file of that name in
  // the Windows directory.
  //
  // GetPrivateProfileSectionA: fills `buffer` with the section's entries in file
  // order, each ended by NUL, the list ended by one more NUL. Returns the number
  // of characters copied without the final NUL; capacity - 2 when the section
  // did not fit and the list was cut short. A missing section is the empty list.
  virtual DWORD ReadProfileSection(const std::string& section, char* buffer, DWORD capacity,
                                   const std::string& file) = 0;
  // WritePrivateProfileSectionA: replaces the section's entries by `entries`,
  // each entry followed by NUL (the list's closing NUL is added here).
  // Returns 0 or the status of the failure.
  virtual Status WriteProfileSection(const std::string& section, const std::string& entries,
                                     const std::string& file) = 0;

  // The Windows directory, as GetWindowsDirectoryA returns it.
  virtual std::string WindowsDirectory() = 0;
  // True when a file of that full path exists.
  virtual bool FileExists(const std::string& path) = 0;
  // CopyFileA with fail-if-exists: never overwrites. Returns 0, or the status
  // (80 when `to` exists already).
  virtual Status CopyFileNoOverwrite(const std::string& from, const std::string& to) = 0;
  // CopyFileA that replaces `to` when it exists. Returns 0 or the status.
  virtual Status CopyFileReplacing(const std::string& from, const std::string& to) = 0;
  // DeleteFileA. Returns 0, or the status (2 when there is no such file; 5
  // when it is read-only).
  virtual Status RemoveFile(const std::string& path) = 0;
  // GetFileAttributesA: 0 with *attributes set (FILE_ATTRIBUTE_*), or the
  // status. A copy carries its source's attributes, and a replacing copy
  // onto a hidden or read-only file fails with 5.
  virtual Status FileAttributes(const std::string& path, DWORD* attributes) = 0;
  // SetFileAttributesA. Returns 0 or the status.
  virtual Status ChangeFileAttributes(const std::string& path, DWORD attributes) = 0;
  // The whole file, read while others may keep it open for reading or
  // writing. Returns 0 with *bytes set, or the status (2 when there is no
  // such file).
  virtual Status ReadFileBytes(const std::string& path, std::string* bytes) = 0;
  // WritePrivateProfileStringA with null section, key and value: writes out
  // the profile file `file` if the platform holds it in memory (Windows 95,
  // 98 and ME cache the most recently used one) and forgets it. Until then
  // the file's bytes, as read or copied, may lack the latest profile writes;
  // and a cached copy could later be written over a file replaced behind
  // the platform's back.
  virtual void FlushProfileCache(const std::string& file) = 0;

  // A modal message box; returns the button pressed (IDYES, IDNO, IDOK).
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) = 0;
};
